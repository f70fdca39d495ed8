#include "platform/ReplacingFile.h"

#include "platform/Exceptions.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vm {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList Names(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
}

mode_t ModeOf(const QString& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0);
    return status.st_mode;
}

TEST(ReplacingFile, ReplacesTheTargetWholeKeepingItsPermissionsAndLinks) {
    QTemporaryDir dir;
    const QString target = dir.filePath("doc.vmf"), link = dir.filePath("link.vmf");
    Put(target, "old contents");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(target, link));

    // Written through the link: the file it names is replaced, the link stays a link.
    WriteFileReplacing(link, "new");
    EXPECT_EQ(ReadAll(target), "new");
    EXPECT_TRUE(S_ISLNK(ModeOf(link)));
    EXPECT_EQ(ModeOf(target) & 07777, 0640u);

    // Seeks back into what was written, as the document writer does.
    {
        ReplacingFile file(target);
        QIODevice& device = file.Device();
        ASSERT_EQ(device.write("0123456789"), 10);
        ASSERT_TRUE(device.seek(2));
        ASSERT_EQ(device.write("ab"), 2);
        ASSERT_TRUE(device.seek(device.size()));
        ASSERT_EQ(device.write("!"), 1);
        // Until the commit the previous file is what readers see.
        EXPECT_EQ(ReadAll(target), "new");
        file.Commit();
    }
    EXPECT_EQ(ReadAll(target), "01ab456789!");
    // No temporary file is left behind, committed or not.
    { ReplacingFile abandoned(target); }
    EXPECT_EQ(Names(dir), QStringList({"doc.vmf", "link.vmf"}));
    EXPECT_EQ(ReadAll(target), "01ab456789!");

    // A name as long as the folder allows leaves no room for a longer one beside it.
    const QString longest = dir.filePath(QString(251, QLatin1Char('n')) + ".obj");
    WriteFileReplacing(longest, "v 0 0 0");
    EXPECT_EQ(ReadAll(longest), "v 0 0 0");
}

TEST(ReplacingFile, RefusesTargetsThatAreNotRegularFilesAndLeavesThemAlone) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("folder"), fifo = dir.filePath("fifo");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("null")));
    struct Case {
        QString path;
        const char* reason;
    } cases[] = {
        {folder, "It is a folder"},
        {fifo, "FIFO"},
        {"/dev/null", "It is a device"},
        {dir.filePath("null"), "It is a device"}, // a link to a device
        {dir.filePath("missing/a.vmf"), "No such file or directory"},
    };
    for (const Case& c : cases) {
        try {
            WriteFileReplacing(c.path, "x");
            ADD_FAILURE() << "written: " << c.path.toStdString();
        } catch (const FileException& e) {
            EXPECT_EQ(e.Path(), c.path);
            EXPECT_TRUE(e.Reason().contains(c.reason)) << e.Reason().toStdString();
            EXPECT_EQ(e.Message(), e.Text() + "\r\n" + c.path + "\r\n" + e.Reason());
        }
    }
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
    EXPECT_TRUE(S_ISDIR(ModeOf(folder)));
    EXPECT_TRUE(NonRegularFileReason(dir.filePath("new.obj")).isEmpty());
    EXPECT_FALSE(NonRegularFileReason(dir.filePath("null")).isEmpty());
}

TEST(ReplacingFile, SameFileComparesIdentityNotSpelling) {
    QTemporaryDir dir;
    const QString photo = dir.filePath("photo.jpg");
    Put(photo, "picture");
    Put(dir.filePath("other.jpg"), "picture");
    ASSERT_TRUE(QDir().mkdir(dir.filePath("sub")));
    ASSERT_TRUE(QFile::link(photo, dir.filePath("sub/alias.jpg")));
    ASSERT_EQ(::link(QFile::encodeName(photo).constData(),
                     QFile::encodeName(dir.filePath("hard.jpg")).constData()),
              0);

    EXPECT_TRUE(SameFile(photo, dir.filePath("sub/../photo.jpg")));
    EXPECT_TRUE(SameFile(photo, dir.filePath("sub/alias.jpg")));
    EXPECT_TRUE(SameFile(photo, dir.filePath("hard.jpg")));
    EXPECT_FALSE(SameFile(photo, dir.filePath("other.jpg"))); // equal bytes, another file
    EXPECT_FALSE(SameFile(photo, dir.filePath("missing.jpg")));
    EXPECT_FALSE(SameFile(photo, QString()));

    const QStringList outputs = {dir.filePath("head.obj"), dir.filePath("sub/alias.jpg")};
    try {
        RequireDistinctFromInputs(outputs, {QString(), photo});
        ADD_FAILURE() << "an output that is an input passed";
    } catch (const FileException& e) {
        EXPECT_EQ(e.Path(), outputs[1]);
        EXPECT_TRUE(e.Reason().contains(photo)) << e.Reason().toStdString();
    }
    EXPECT_NO_THROW(RequireDistinctFromInputs(outputs, {dir.filePath("other.jpg")}));
}

TEST(ReplacingFile, AFullDiskSaysSoAndLeavesThePreviousFileWhole) {
    test::SmallDisk disk(64 * 1024);
    if (!disk.Ready())
        GTEST_SKIP() << disk.Why();
    const QString target = disk.FilePath("doc.vmf");
    const QByteArray previous(20 * 1024, 'p');
    WriteFileReplacing(target, previous);
    ASSERT_EQ(ReadAll(target), previous);

    try {
        WriteFileReplacing(target, QByteArray(80 * 1024, 'n'));
        ADD_FAILURE() << "80 KiB fitted on a 64 KiB disk";
    } catch (const FileException& e) {
        EXPECT_EQ(e.Text(), QString::fromLatin1(kWritingText));
        EXPECT_EQ(e.Reason(), "No space left on device");
    }
    EXPECT_EQ(ReadAll(target), previous);
    EXPECT_EQ(disk.Names(), QStringList{"doc.vmf"});

    // The device of a ReplacingFile keeps the reason for the layers that write through it.
    ReplacingFile file(target);
    EXPECT_TRUE(file.WriteFailure().isEmpty());
    EXPECT_EQ(file.Device().write(QByteArray(80 * 1024, 'n')), -1);
    EXPECT_EQ(file.WriteFailure(), "No space left on device");
    EXPECT_EQ(file.Device().errorString(), "No space left on device");
    EXPECT_THROW(file.Commit(), FileException);
    EXPECT_EQ(ReadAll(target), previous);
}

} // namespace
} // namespace vm
