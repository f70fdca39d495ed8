#include "platform/core/ReplacingFile.h"

#include "platform/core/Exceptions.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vm {
namespace {

using test::ReadAll;

mode_t ModeOf(const QString& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0);
    return status.st_mode;
}

TEST(ReplacingFile, ReplacesTheTargetWholeKeepingItsPermissionsAndLinks) {
    QTemporaryDir dir;
    const QString target = dir.filePath("doc.vmf"), link = dir.filePath("link.vmf");
    WriteFileReplacing(target, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(target, link));
    {
        ReplacingFile file(link);
        ASSERT_EQ(file.Device().write("new"), 3);
        EXPECT_EQ(ReadAll(target), "old"); // until the commit
        file.Commit();
    }
    EXPECT_EQ(ReadAll(target), "new");
    EXPECT_TRUE(S_ISLNK(ModeOf(link))); // the link stays, the file it names is replaced
    EXPECT_EQ(ModeOf(target) & 07777, 0640u);
    { ReplacingFile abandoned(target); } // never committed: nothing changes, nothing is left
    // A name as long as a name may be leaves no room for a longer one beside it.
    WriteFileReplacing(dir.filePath(QString(251, QLatin1Char('n')) + ".obj"), "v");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    EXPECT_EQ(ReadAll(target), "new");
}

TEST(ReplacingFile, RefusesTargetsThatAreNotRegularFilesAndLeavesThemAlone) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("null")));
    const std::pair<QString, const char*> cases[] = {
        {dir.path(), "It is a folder"},
        {fifo, "FIFO"},
        {"/dev/null", "It is a device"},
        {dir.filePath("null"), "It is a device"}, // a link to a device
        {dir.filePath("missing/a.vmf"), "No such file or directory"},
    };
    for (const auto& [path, reason] : cases) {
        try {
            WriteFileReplacing(path, "x");
            ADD_FAILURE() << "written: " << path.toStdString();
        } catch (const FileException& e) {
            EXPECT_EQ(e.Message(), e.Text() + "\r\n" + path + "\r\n" + e.Reason());
            EXPECT_TRUE(e.Reason().contains(reason)) << e.Reason().toStdString();
        }
    }
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
}

} // namespace
} // namespace vm
