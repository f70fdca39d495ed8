// subdivgen HEAD.x OUT_DIR: derives the two subdivision tables of the generic head from its
// topology and writes OUT_DIR/stage1.bin (refining the head) and OUT_DIR/stage2.bin (refining
// stage 1's output). The output depends only on the head file, byte for byte.
#include "document/Subdivision.h"
#include "platform/core/Exceptions.h"
#include "platform/xfile/XFileReader.h"
#include "subdivgen/SubdivisionTableBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <exception>

namespace {

using namespace vm;

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        throw MessageException(QStringLiteral("cannot write %1").arg(path));
    }
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw MessageException(QStringLiteral("cannot read %1").arg(path));
    }
    return file.readAll();
}

void Report(const char* name, const SubdivisionStage& stage, uint32_t inputCount, qsizetype bytes) {
    int sharp = 0, open = 0;
    for (uint32_t i = 0; i < stage.rules.size(); ++i) {
        if (i < inputCount) {
            sharp += (DecodeVertexRule(stage.rules[i]).flags & kRuleSharp) ? 1 : 0;
        } else {
            const EdgeRule e = DecodeEdgeRule(stage.rules[i]);
            open += (e.c == kNoWing && e.d == kNoWing) ? 1 : 0;
        }
    }
    std::printf("%s: %lld bytes, L %zu, R %zu (%u + %zu), I %zu, sharp %d, boundary edges %d\n",
                name, static_cast<long long>(bytes), stage.links.size(), stage.rules.size(),
                inputCount, stage.rules.size() - inputCount, stage.indices.size(), sharp, open);
}

void Generate(const QString& headPath, const QString& outDir) {
    const XFileMesh head = ReadXFile(ReadFile(headPath));
    std::vector<Vec3> positions;
    for (const HeadVertex& v : head.mesh.vertices) {
        positions.push_back(v.position);
    }
    const BuiltStage first = BuildSubdivisionStage(WeldByPosition(positions), head.mesh.indices);
    // Stage 1's output keeps the head's seam copies (its first vertices) and adds one vertex
    // per edge, so its welding is carried over rather than found again from positions.
    const std::vector<uint32_t> refined(first.stage.indices.begin(), first.stage.indices.end());
    const BuiltStage second = BuildSubdivisionStage(first.outputWeld, refined);

    QDir().mkpath(outDir);
    const QByteArray stage1 = EncodeSubdivisionStage(first.stage);
    const QByteArray stage2 = EncodeSubdivisionStage(second.stage);
    WriteFile(QDir(outDir).filePath(QStringLiteral("stage1.bin")), stage1);
    WriteFile(QDir(outDir).filePath(QStringLiteral("stage2.bin")), stage2);
    Report("stage1.bin", first.stage, head.mesh.VertexCount(), stage1.size());
    Report("stage2.bin", second.stage, static_cast<uint32_t>(first.outputWeld.size()),
           stage2.size());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: subdivgen HEAD.x OUT_DIR\n");
        return 2;
    }
    try {
        Generate(args[1], args[2]);
    } catch (const vm::VisomorfException& e) {
        std::fprintf(stderr, "subdivgen: %s\n", qPrintable(e.Message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "subdivgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
