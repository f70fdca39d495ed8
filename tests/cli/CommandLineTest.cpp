#include "cli/CommandLine.h"

#include "document/HeadResources.h"
#include "support/Files.h"
#include "support/ProgramRun.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

using test::ProgramRun;
using test::ReadAll;
using test::Visomorf;

QString Picture(const QString& path, int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(200 - y * 100 / h, 120 + x * 60 / w, 90));
        }
    }
    EXPECT_TRUE(image.save(path));
    return path;
}

int CountLines(const QByteArray& text, const QByteArray& prefix) {
    int count = 0;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith(prefix)) {
            ++count;
        }
    }
    return count;
}

TEST(ParseCommandLine, RefusesWhatMakesNoSense) {
    CommandLineOptions options;
    QString error;
    const QStringList bad[] = {
        {},
        {"--export"},
        {"--export", "a.obj", "--quality", "101"},
        {"--export", "a.obj", "--quality", "-1"},
        {"--export", "a.obj", "--texture-size", "100"},
        {"--export", "a.obj", "--texture-size", "4096"},
        {"--export", "a.obj", "--detail", "ultra"},
        {"--export", "a.obj", "--save", "b.vmf"},
        {"--save", "b.vmf", "--quality", "50"},
        {"--info", "--front", "x.jpg"},
        {"--info", "a.vmf", "b.vmf"},
        {"--export", "a.obj", "--bogus"},
    };
    for (const QStringList& arguments : bad) {
        EXPECT_FALSE(ParseCommandLine(arguments, options, error))
            << arguments.join(' ').toStdString();
    }

    ASSERT_TRUE(ParseCommandLine({"--export", "o.obj", "--detail", "High", "--texture-size", "64",
                                  "--quality", "0", "--side", "s.png", "doc.vmf"},
                                 options, error));
    EXPECT_EQ(options.action, CommandLineOptions::Action::Export);
    EXPECT_EQ(options.detail, 2);
    EXPECT_EQ(options.textureSize, 64u);
    EXPECT_EQ(options.quality, 0u);
    EXPECT_EQ(options.photos[1], "s.png");
    EXPECT_EQ(options.document, "doc.vmf");
    ASSERT_TRUE(ParseCommandLine({"--export", "o.obj"}, options, error));
    EXPECT_EQ(options.detail, 1); // the export dialog's defaults
    EXPECT_EQ(options.textureSize, 1024u);
    EXPECT_EQ(options.quality, 80u);
}

TEST(CommandLine, HelpListsEveryCommandAndBadArgumentsExitWithTwo) {
    const ProgramRun help = Visomorf({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"--export", "--save", "--info", "--detail", "--texture-size",
                             "--quality", "--front", "--side"}) {
        EXPECT_TRUE(help.out.contains(word)) << word;
    }
    const ProgramRun bad = Visomorf({"--export", "x.obj", "--quality", "500"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.contains("--quality")) << bad.err.toStdString();
}

TEST(CommandLine, ExportsANewDocumentWithTheDialogDefaults) {
    QTemporaryDir dir;
    const ProgramRun run = Visomorf({"--export", dir.filePath("face.obj")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QByteArray obj = ReadAll(dir.filePath("face.obj"));
    EXPECT_TRUE(obj.startsWith("mtllib face.mtl\r\n"));
    EXPECT_EQ(CountLines(obj, "v "), CountLines(obj, "vt "));
    EXPECT_EQ(CountLines(obj, "f "), 3664); // Medium
    EXPECT_EQ(CountLines(obj, "usemtl head"), 3664);
    EXPECT_TRUE(ReadAll(dir.filePath("face.mtl")).endsWith("map_Kd face.jpg\r\n"));
    QImageReader jpeg(dir.filePath("face.jpg"));
    EXPECT_EQ(jpeg.format(), "jpeg");
    EXPECT_EQ(jpeg.size(), QSize(1024, 1024));
}

TEST(CommandLine, SaveOpenSaveIsByteIdenticalAndExportUsesTheDocument) {
    QTemporaryDir dir;
    const QString front = Picture(dir.filePath("front.jpg"), 480, 640);
    const QString side = Picture(dir.filePath("side.png"), 300, 400);
    ProgramRun run = Visomorf({"--save", dir.filePath("a.vmf"), "--front", front, "--side", side});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QByteArray a = ReadAll(dir.filePath("a.vmf"));
    EXPECT_EQ(a.mid(2, 3172), ReadResource(kFeatureSetResource));
    EXPECT_TRUE(a.contains(ReadAll(front)));
    run = Visomorf({"--save", dir.filePath("b.vmf"), dir.filePath("a.vmf")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(ReadAll(dir.filePath("b.vmf")), a);

    run = Visomorf({"--info", dir.filePath("a.vmf")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_FALSE(QJsonDocument::fromJson(run.out.toUtf8()).isNull()) << run.out.toStdString();

    run = Visomorf({"--export", dir.filePath("out/../high.obj"), "--detail", "high",
                    "--texture-size", "64", "--quality", "0", dir.filePath("a.vmf")});
    EXPECT_NE(run.status, 0); // the folder "out" does not exist
    QDir().mkdir(dir.filePath("out"));
    run = Visomorf({"--export", dir.filePath("out/h.i.obj"), "--detail", "high", "--texture-size",
                    "64", "--quality", "0", dir.filePath("a.vmf")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(CountLines(ReadAll(dir.filePath("out/h.i.obj")), "f "), 14656);
    EXPECT_EQ(QImageReader(dir.filePath("out/h.i.jpg")).size(), QSize(64, 64));
    EXPECT_TRUE(QFile::exists(dir.filePath("out/h.i.mtl")));
}

TEST(CommandLine, FailuresSayWhatWentWrongAndExitWithOne) {
    QTemporaryDir dir;
    QFile(dir.filePath("empty.vmf")).open(QIODevice::WriteOnly);
    QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
    struct Case {
        QStringList arguments;
        const char* message;
    } cases[] = {
        {{"--info", dir.filePath("empty.vmf")}, "empty"},
        {{"--info", dir.filePath("missing.vmf")}, "missing.vmf"},
        {{"--export", dir.filePath("plain/face.obj")}, "Error opening file for writing:"},
        {{"--save", dir.filePath("plain/a.vmf")}, "a.vmf"},
        {{"--save", dir.filePath("a.vmf"), "--front", dir.filePath("none.jpg")}, "front photo"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = Visomorf(c.arguments);
        EXPECT_EQ(run.status, 1) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("a.vmf")));
}

TEST(CommandLine, AnObjWithoutFolderKeepsItsCompanionsBesideIt) {
    QTemporaryDir dir;
    test::RunOptions inDir;
    inDir.workingDir = dir.path();
    const ProgramRun run = Visomorf({"--export", "bare.obj", "--texture-size", "64"}, inDir);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    for (const char* name : {"bare.obj", "bare.mtl", "bare.jpg"}) {
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name;
    }
}

} // namespace
} // namespace vm
