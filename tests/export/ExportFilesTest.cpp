// How an export puts its files on the disk: which files, in which order, what it refuses, and
// what a failure leaves behind.
#include "document/CVisomorfDoc.h"
#include "export/ExportModel.h"
#include "platform/Exceptions.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace vm {
namespace {

using Snapshot = std::map<QString, QByteArray>;

Snapshot Read(const QStringList& paths) {
    Snapshot files;
    for (const QString& path : paths) {
        QFile file(path);
        files[path] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    return files;
}

struct ExportFiles : ::testing::Test {
    CVisomorfDoc doc;
    ExportOptions small;
    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        small.width = small.height = 64;
    }
};

TEST_F(ExportFiles, EachTypeNamesItsFilesAndUnknownTypesAreRefusedWithTheKnownOnes) {
    QTemporaryDir dir;
    const QString base = dir.filePath("a.b");
    EXPECT_EQ(ExportOutputs(base + ".obj"), QStringList({base + ".obj", base + ".mtl", base + ".jpg"}));
    EXPECT_EQ(ExportOutputs(base + ".GLTF"),
              QStringList({base + ".GLTF", base + ".bin", base + ".jpg"}));
    EXPECT_EQ(ExportOutputs(base + ".glb"), QStringList{base + ".glb"});
    for (const char* name : {"head.stl", "head", "head.vmf", "head.obj.txt", "head.jpg"}) {
        try {
            ExportModel(dir.filePath(name), doc, small);
            ADD_FAILURE() << "exported " << name;
        } catch (const FileException& e) {
            EXPECT_EQ(e.Path(), dir.filePath(name));
            for (const char* known : {".obj", ".glb", ".gltf"})
                EXPECT_TRUE(e.Reason().contains(known)) << e.Reason().toStdString();
        }
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ExportFiles, TheTextureComesFirstAndTheNamedFileLast) {
    QTemporaryDir dir;
    for (const char* name : {"h.obj", "h.gltf"}) {
        const QString path = dir.filePath(name);
        ExportModel(path, doc, small);
        const QStringList outputs = ExportOutputs(path); // named file, companion, texture
        struct stat named {}, companion {}, texture {};
        ASSERT_EQ(::stat(QFile::encodeName(outputs[0]).constData(), &named), 0);
        ASSERT_EQ(::stat(QFile::encodeName(outputs[1]).constData(), &companion), 0);
        ASSERT_EQ(::stat(QFile::encodeName(outputs[2]).constData(), &texture), 0);
        auto ns = [](const struct stat& s) {
            return qint64(s.st_mtim.tv_sec) * 1000000000 + s.st_mtim.tv_nsec;
        };
        EXPECT_LE(ns(texture), ns(companion)) << name;
        EXPECT_LE(ns(companion), ns(named)) << name;
    }
}

TEST_F(ExportFiles, SpecialTargetsAreRefusedBeforeAnythingIsWritten) {
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("h.mtl")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("n.glb")));
    struct Case {
        const char* name;
        const char* refused;
        const char* reason;
    } cases[] = {{"h.obj", "h.mtl", "FIFO"}, {"n.glb", "n.glb", "device"}};
    for (const Case& c : cases) {
        try {
            ExportModel(dir.filePath(c.name), doc, small);
            ADD_FAILURE() << "exported " << c.name;
        } catch (const FileException& e) {
            EXPECT_EQ(e.Path(), dir.filePath(c.refused));
            EXPECT_TRUE(e.Reason().contains(c.reason)) << e.Reason().toStdString();
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                         QDir::NoDotAndDotDot),
              QStringList({"h.mtl", "n.glb"}));
}

TEST_F(ExportFiles, AFullDiskLeavesThePreviousExportComplete) {
    test::SmallDisk disk(6 * 1024 * 1024);
    if (!disk.Ready())
        GTEST_SKIP() << disk.Why();
    ExportOptions large;
    large.width = large.height = 2048;
    large.quality = 100;
    // Little room: nothing new fits and every file stays as it was. More room: the texture may
    // be replaced (whole), but the file that names it stays the previous one.
    for (const qint64 room : {qint64(4 * 1024), qint64(200 * 1024)}) {
        for (const char* name : {"head.obj", "head.gltf", "head.glb"}) {
            const QString path = disk.FilePath(name);
            ExportDocument(doc, path, Low, small);
            const QStringList outputs = ExportOutputs(path);
            const Snapshot before = Read(outputs);
            ASSERT_TRUE(disk.FillLeaving(room));
            try {
                ExportDocument(doc, path, High, large);
                ADD_FAILURE() << "the large export fitted: " << name;
            } catch (const FileException& e) {
                EXPECT_EQ(e.Reason(), "No space left on device") << e.Message().toStdString();
            }
            const Snapshot after = Read(outputs);
            if (room < 8 * 1024) {
                EXPECT_EQ(after, before) << name;
            } else {
                EXPECT_EQ(after.at(path), before.at(path)) << name;
                for (const QString& output : outputs)
                    EXPECT_FALSE(after.at(output).isEmpty()) << output.toStdString();
                if (outputs.size() == 3) { // the texture, old or new, is a whole JPEG
                    EXPECT_TRUE(after.at(outputs[2]).endsWith("\xFF\xD9")) << name;
                }
            }
            QFile::remove(disk.FilePath("filler"));
        }
    }
    // Only the exports themselves: no temporary file stayed behind.
    EXPECT_EQ(disk.Names(), QStringList({"head.bin", "head.glb", "head.gltf", "head.jpg",
                                         "head.mtl", "head.obj"}));
}

} // namespace
} // namespace vm
