// An independent reader takes our compressed files: the asset importer's command-line tool.
// The tool is installed with the build dependencies, so its absence is a failure, not a skip.
#include "platform/xfile/XFileTestMeshes.h"
#include "platform/xfile/XFileWriter.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

struct ImporterReport {
    long vertices = -1;
    long faces = -1;
    Vec3 min, max;
};

Vec3 ParsePoint(const QString& output, const char* label) {
    const QRegularExpression re(QStringLiteral("%1\\s+\\(([-0-9.e]+) ([-0-9.e]+) ([-0-9.e]+)\\)")
                                    .arg(QLatin1String(label)));
    const QRegularExpressionMatch m = re.match(output);
    if (!m.hasMatch()) {
        ADD_FAILURE() << "no " << label << " in: " << output.toStdString();
        return {};
    }
    return {m.captured(1).toFloat(), m.captured(2).toFloat(), m.captured(3).toFloat()};
}

long ParseCount(const QString& output, const char* label) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("\\n%1:\\s+(\\d+)").arg(QLatin1String(label)))
            .match(output);
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

// "-r": raw import, without the post-processing that joins and splits vertices.
ImporterReport RunImporter(const QString& path) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("assimp"));
    if (tool.isEmpty()) {
        ADD_FAILURE() << "the assimp command-line tool is not installed (assimp-utils)";
        return {};
    }
    QProcess process;
    process.start(tool, {QStringLiteral("info"), path, QStringLiteral("-r")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << "assimp failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    ImporterReport report;
    report.vertices = ParseCount(output, "Vertices");
    report.faces = ParseCount(output, "Faces");
    report.min = ParsePoint(output, "Minimum point");
    report.max = ParsePoint(output, "Maximum point");
    return report;
}

TEST(XFileAssimpTest, ImporterReadsOurMultiBlockCompressedFile) {
    // Large enough for several chained 32 KiB blocks.
    const Mesh mesh = test::GridMesh(60, 50);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("grid.x"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray bytes = WriteXFile(mesh);
    ASSERT_GT(bytes.size(), 2 * 32768);
    file.write(bytes);
    file.close();

    const ImporterReport report = RunImporter(path);
    EXPECT_EQ(report.faces, static_cast<long>(mesh.FaceCount()));
    // The importer keeps one vertex per face corner, so its count is three per triangle, not
    // ours; the positions' bounds are comparable instead. It turns the left-handed file
    // right-handed by negating z.
    EXPECT_EQ(report.vertices, 3L * mesh.FaceCount());
    Vec3 min = mesh.vertices[0].position, max = min;
    for (const HeadVertex& v : mesh.vertices) {
        min = {std::min(min.x, v.position.x), std::min(min.y, v.position.y),
               std::min(min.z, v.position.z)};
        max = {std::max(max.x, v.position.x), std::max(max.y, v.position.y),
               std::max(max.z, v.position.z)};
    }
    constexpr float kPrinted = 1e-3f; // six decimals in the tool's output
    EXPECT_NEAR(report.min.x, min.x, kPrinted);
    EXPECT_NEAR(report.min.y, min.y, kPrinted);
    EXPECT_NEAR(report.min.z, -max.z, kPrinted);
    EXPECT_NEAR(report.max.x, max.x, kPrinted);
    EXPECT_NEAR(report.max.y, max.y, kPrinted);
    EXPECT_NEAR(report.max.z, -min.z, kPrinted);
}

} // namespace
} // namespace vm
