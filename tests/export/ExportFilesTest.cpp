// How an export puts its files on the disk: which files, in which order, what it refuses, and
// what a failure leaves behind.
#include "document/CVisomorfDoc.h"
#include "export/ExportModel.h"
#include "platform/core/Exceptions.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vm {
namespace {

QByteArrayList Read(const QStringList& paths) {
    QByteArrayList files;
    for (const QString& path : paths) {
        QFile file(path);
        files << (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return files;
}

struct ExportFiles : ::testing::Test {
    CVisomorfDoc doc;
    QTemporaryDir dir;
    ExportOptions small;
    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        small.width = small.height = 64;
    }
    QStringList Entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    }
};

TEST_F(ExportFiles, UnknownTypesAndSpecialTargetsAreRefusedBeforeAnythingIsWritten) {
    for (const char* name : {"head.stl", "head", "head.vmf", "head.jpg"}) {
        try {
            ExportModel(dir.filePath(name), doc, small);
            ADD_FAILURE() << "exported " << name;
        } catch (const FileException& e) {
            for (const char* known : {".obj", ".glb", ".gltf"}) {
                EXPECT_TRUE(e.Reason().contains(known)) << e.Reason().toStdString();
            }
        }
    }
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("h.mtl")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("n.glb")));
    const std::pair<const char*, const char*> cases[] = {{"h.obj", "h.mtl"}, {"n.glb", "n.glb"}};
    for (const auto& [name, refused] : cases) {
        try {
            ExportModel(dir.filePath(name), doc, small);
            ADD_FAILURE() << "exported " << name;
        } catch (const FileException& e) {
            EXPECT_EQ(e.Path(), dir.filePath(refused));
            EXPECT_TRUE(e.Reason().contains("not a regular file")) << e.Reason().toStdString();
        }
    }
    EXPECT_EQ(Entries(), QStringList({"h.mtl", "n.glb"}));
}

TEST_F(ExportFiles, AFullDiskLeavesThePreviousExportComplete) {
    test::SmallDisk disk(6 * 1024 * 1024);
    if (!disk.Ready()) {
        GTEST_SKIP() << disk.Why();
    }
    ExportOptions large;
    large.width = large.height = 2048;
    large.quality = 100;
    // Little room: nothing new fits, every file stays as it was. Room for the new texture (about
    // 250 KB) but not for the mesh: the texture, written first, is the new one, and the file that
    // names it still the previous one.
    for (const qint64 room : {4 * 1024, 300 * 1024}) {
        for (const char* name : {"head.obj", "head.gltf", "head.glb"}) {
            const QStringList outputs = ExportOutputs(disk.FilePath(name));
            ExportDocument(doc, outputs[0], Low, small);
            const QByteArrayList before = Read(outputs);
            ASSERT_TRUE(disk.FillLeaving(room));
            try {
                ExportDocument(doc, outputs[0], High, large);
                ADD_FAILURE() << "the large export fitted: " << name;
            } catch (const FileException& e) {
                EXPECT_EQ(e.Reason(), "No space left on device") << e.Message().toStdString();
            }
            const QByteArrayList after = Read(outputs);
            EXPECT_EQ(after[0], before[0]) << name;
            if (outputs.size() == 3) {
                EXPECT_EQ(after[2] == before[2], room < 8 * 1024) << name;
                EXPECT_TRUE(after[2].endsWith("\xFF\xD9")) << name; // whole, old or new
            }
            QFile::remove(disk.FilePath("filler"));
        }
    }
    // Nothing but the exports: no new file stayed behind.
    EXPECT_EQ(disk.Names(), QStringList({"head.bin", "head.glb", "head.gltf", "head.jpg",
                                         "head.mtl", "head.obj"}));
}

} // namespace
} // namespace vm
