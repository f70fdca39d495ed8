// The command line's refusals of outputs and arguments, its exit statuses, and its messages for
// files that fail.
#include "support/Files.h"
#include "support/ProgramRun.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vm {
namespace {

using test::ProgramRun;
using test::ReadAll;
using test::Visomorf;

QString Photo(const QString& path) {
    QImage image(60, 80, QImage::Format_RGB32);
    image.fill(qRgb(150, 110, 90));
    EXPECT_TRUE(image.save(path));
    return path;
}

QStringList Entries(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

TEST(CommandLineFiles, OutputsThatAreInputsOrSpecialFilesExitWithTwoAndWriteNothing) {
    QTemporaryDir dir;
    const QString photo = Photo(dir.filePath("photo.jpg")), mine = dir.filePath("mine.vmf");
    ASSERT_EQ(Visomorf({"--save", mine}).status, 0);
    ASSERT_TRUE(QFile::link(photo, dir.filePath("alias.jpg")));
    const QString fifo = dir.filePath("pipe.vmf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QByteArray photoBytes = ReadAll(photo), mineBytes = ReadAll(mine);
    const QStringList before = Entries(dir);
    const std::pair<QStringList, const char*> cases[] = {
        // The texture of photo.obj would be photo.jpg, the front photo.
        {{"--export", dir.filePath("photo.obj"), "--front", photo}, "same file as the input"},
        {{"--export", dir.filePath("alias.gltf"), "--side", photo}, "same file as the input"},
        {{"--save", dir.filePath("./mine.vmf"), "--front", photo, mine}, "same file"},
        {{"--save", fifo}, "FIFO"},
        {{"--save", "/dev/null"}, "device"},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramRun run = Visomorf(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(message) && run.err.contains("Nothing was written"))
            << run.err.toStdString();
    }
    EXPECT_EQ(ReadAll(photo), photoBytes);
    EXPECT_EQ(ReadAll(mine), mineBytes);
    EXPECT_EQ(Entries(dir), before);
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST(CommandLineFiles, UnusableArgumentsExitWithTwoAsTheHelpSays) {
    QTemporaryDir dir;
    EXPECT_TRUE(Visomorf({"--help"}).out.contains("2 for unusable arguments"));
    const QString out = dir.filePath("a.vmf");
    const std::pair<QStringList, const char*> cases[] = {
        {{"--export", dir.filePath("a.stl")}, ".obj (with .mtl and .jpg), .glb, and .gltf"},
        {{"--export", dir.filePath("a")}, ".glb"},
        {{"--export", dir.filePath("a.obj"), "--quality", "5", "--quality", "7"},
         "--quality is given more than once"},
        {{"--save", out, "--front", "x.jpg", "-front", "y.jpg"}, "front is given more than once"},
        {{"--save", out, "--auto-fit", "--auto-fit-optional"},
         "Choose one of --auto-fit and --auto-fit-optional"},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramRun run = Visomorf(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
    }
    EXPECT_TRUE(Entries(dir).isEmpty());
    // An optional fit never fails the command: without a photo it is a note, and the save goes on.
    const ProgramRun optional = Visomorf({"--save", out, "--auto-fit-optional"});
    EXPECT_EQ(optional.status, 0);
    EXPECT_TRUE(optional.err.startsWith("visomorf: note: ")) << optional.err.toStdString();
    EXPECT_TRUE(QFile::exists(out));
}

TEST(CommandLineFiles, FailuresNameEachFileOnceWithTheSystemsReason) {
    QTemporaryDir dir;
    const QByteArray png = ReadAll(Photo(dir.filePath("whole.png")));
    QFile cut(dir.filePath("cut.png"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly) && cut.write(png.left(png.size() / 2)) > 0);
    cut.close();
    for (const char* name : {"cut.png", "gone.png"}) {
        const ProgramRun run =
            Visomorf({"--save", dir.filePath("a.vmf"), "--front", dir.filePath(name)});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.count(name), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("cannot load the front photo " + dir.filePath(name) + ": "))
            << run.err.toStdString();
    }

    test::SmallDisk disk(2 * 1024 * 1024);
    if (!disk.Ready()) {
        GTEST_SKIP() << disk.Why();
    }
    const QString out = disk.FilePath("head.vmf");
    ASSERT_EQ(Visomorf({"--save", out}).status, 0);
    const QByteArray previous = ReadAll(out);
    ASSERT_TRUE(disk.FillLeaving(8 * 1024));
    const ProgramRun full = Visomorf({"--save", out, "--front", Photo(dir.filePath("p.png"))});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "visomorf: " + out + ": Error writing file: No space left on device\n");
    EXPECT_EQ(ReadAll(out), previous);
    EXPECT_EQ(disk.Names(), QStringList{"head.vmf"});
}

} // namespace
} // namespace vm
