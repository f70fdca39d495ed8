// The command line's refusals of outputs and arguments, its exit statuses, and its messages for
// files that fail.
#include "cli/CommandLine.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vm {
namespace {

struct Outcome {
    int status = -1;
    QString out, err;
};

Outcome Visomorf(const QStringList& arguments, const QString& workingDir = {}) {
    QProcess process;
    process.setProgram(QStringLiteral(VISOMORF_EXE));
    process.setArguments(arguments);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start();
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Photo(const QString& path) {
    QImage image(60, 80, QImage::Format_RGB32);
    image.fill(qRgb(150, 110, 90));
    EXPECT_TRUE(image.save(path));
    return path;
}

TEST(CommandLineFiles, OutputsThatAreInputsOrSpecialFilesExitWithTwoAndWriteNothing) {
    QTemporaryDir dir;
    const QString photo = Photo(dir.filePath("photo.jpg"));
    const QString mine = dir.filePath("mine.vmf");
    ASSERT_EQ(Visomorf({"--save", mine}).status, 0);
    ASSERT_TRUE(QDir().mkdir(dir.filePath("sub")));
    ASSERT_TRUE(QFile::link(photo, dir.filePath("sub/alias.jpg")));
    const QString fifo = dir.filePath("pipe.vmf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QByteArray photoBytes = ReadAll(photo), mineBytes = ReadAll(mine);
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System);

    struct Case {
        QStringList arguments;
        const char* message;
    } cases[] = {
        // The texture of photo.obj would be photo.jpg, the front photo.
        {{"--export", dir.filePath("photo.obj"), "--front", photo}, "same file as the input"},
        {{"--export", dir.filePath("photo.gltf"), "--side", dir.filePath("sub/alias.jpg")},
         "same file as the input"},
        {{"--save", mine, mine}, "same file as the input"},
        {{"--save", dir.filePath("sub/../mine.vmf"), "--front", photo, mine},
         "same file as the input"},
        {{"--save", dir.filePath("sub/../photo.jpg"), "--front", photo}, "same file"},
        {{"--save", fifo}, "FIFO"},
        {{"--save", "/dev/null"}, "device"},
        {{"--export", "/dev/null/x.glb"}, ""}, // not refused here: fails as an operation
    };
    for (const Case& c : cases) {
        const Outcome run = Visomorf(c.arguments);
        const bool refused = QByteArray(c.message).size() > 0;
        EXPECT_EQ(run.status, refused ? 2 : 1) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        if (refused) {
            EXPECT_TRUE(run.err.contains("Nothing was written")) << run.err.toStdString();
        }
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    EXPECT_EQ(ReadAll(photo), photoBytes);
    EXPECT_EQ(ReadAll(mine), mineBytes);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System), before);
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST(CommandLineFiles, UnusableArgumentsExitWithTwoAsTheHelpSays) {
    QTemporaryDir dir;
    const Outcome help = Visomorf({"--help"});
    ASSERT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("2 for unusable arguments"));
    struct Case {
        QStringList arguments;
        const char* message;
    } cases[] = {
        {{"--export", dir.filePath("a.stl")}, ".obj"},
        {{"--export", dir.filePath("a")}, ".glb"},
        {{"--export", dir.filePath("a.vmf")}, ".gltf"},
        {{"--export", dir.filePath("a.obj"), "--quality", "5", "--quality", "7"},
         "--quality is given more than once"},
        {{"--save", dir.filePath("a.vmf"), "--front", "x.jpg", "-front", "y.jpg"},
         "-front is given more than once"},
        {{"--info", "--info"}, "--info is given more than once"},
        {{"--save", dir.filePath("a.vmf"), "--auto-fit", "--auto-fit-optional"},
         "Choose one of --auto-fit and --auto-fit-optional"},
    };
    for (const Case& c : cases) {
        const Outcome run = Visomorf(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("--help")) << run.err.toStdString();
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(CommandLineFiles, AnOptionalFitWithoutPhotosIsANoteNotAFailure) {
    QTemporaryDir dir;
    const QString out = dir.filePath("new.vmf");
    const Outcome run = Visomorf({"--save", out, "--auto-fit-optional"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith("visomorf: note: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("no photo")) << run.err.toStdString();
    EXPECT_TRUE(QFile::exists(out));
}

TEST(CommandLineFiles, FailuresNameEachFileOnceWithTheSystemsReason) {
    QTemporaryDir dir;
    // A photo cut short, and one that is not there.
    QByteArray png = ReadAll(Photo(dir.filePath("whole.png")));
    QFile cut(dir.filePath("cut.png"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(png.left(png.size() / 2));
    cut.close();
    for (const char* name : {"cut.png", "gone.png"}) {
        const Outcome run = Visomorf({"--save", dir.filePath("a.vmf"), "--front", dir.filePath(name)});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.count(name), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("visomorf: cannot load the front photo " + dir.filePath(name) + ": "))
            << run.err.toStdString();
    }
    // A folder in the way of the texture.
    ASSERT_TRUE(QDir().mkdir(dir.filePath("head.jpg")));
    const Outcome texture = Visomorf({"--export", dir.filePath("head.obj")});
    EXPECT_EQ(texture.status, 2);
    EXPECT_EQ(texture.err.count("head.jpg"), 1) << texture.err.toStdString();

    test::SmallDisk disk(256 * 1024);
    if (!disk.Ready())
        GTEST_SKIP() << disk.Why();
    ASSERT_TRUE(disk.FillLeaving(8 * 1024));
    const QString out = disk.FilePath("head.vmf");
    const Outcome full = Visomorf({"--save", out});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "visomorf: " + out + ": Error writing file: No space left on device\n");
    const Outcome fullExport = Visomorf({"--export", disk.FilePath("head.glb")});
    EXPECT_EQ(fullExport.status, 1);
    EXPECT_TRUE(fullExport.err.endsWith("head.glb: Error opening file for writing: No space left "
                                        "on device\n") ||
                fullExport.err.endsWith("head.glb: Error writing file: No space left on device\n"))
        << fullExport.err.toStdString();
    EXPECT_EQ(disk.Names(), QStringList());
}

} // namespace
} // namespace vm
