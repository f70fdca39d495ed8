// Recovery copies: when they are written and removed, which copies another start may offer,
// and that their files are written safely.
#include "persistence/RecoveryCopy.h"

#include "document/CVisomorfDoc.h"
#include "persistence/DocumentIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

using Action = RecoverySchedule::Action;
constexpr qint64 kInterval = RecoverySchedule::kIntervalMs;

TEST(RecoverySchedule, CopiesEveryIntervalWhileModifiedAndRemovesThemOnceSaved) {
    RecoverySchedule schedule;
    EXPECT_EQ(schedule.Poll(0, false), Action::None); // nothing to keep, nothing to remove
    // Modified at 10 s: the first copy one interval later, not at once.
    EXPECT_EQ(schedule.Poll(10000, true), Action::None);
    EXPECT_EQ(schedule.Poll(10000 + kInterval - 1, true), Action::None);
    EXPECT_EQ(schedule.Poll(10000 + kInterval, true), Action::Write);
    // One write at a time: a write still under way holds the next one back.
    EXPECT_EQ(schedule.Poll(10000 + 3 * kInterval, true), Action::None);
    schedule.WriteFinished();
    EXPECT_EQ(schedule.Poll(10000 + 3 * kInterval, true), Action::Write);
    schedule.WriteFinished();
    EXPECT_EQ(schedule.Poll(10000 + 3 * kInterval + 1000, true), Action::None);
    // Saved: the copy goes, once.
    EXPECT_EQ(schedule.Poll(10000 + 3 * kInterval + 2000, false), Action::Remove);
    EXPECT_EQ(schedule.Poll(10000 + 3 * kInterval + 3000, false), Action::None);
    // Modified again: counting starts afresh from that moment.
    const qint64 again = 20 * kInterval;
    EXPECT_EQ(schedule.Poll(again, true), Action::None);
    EXPECT_EQ(schedule.Poll(again + kInterval / 2, true), Action::None);
    EXPECT_EQ(schedule.Poll(again + kInterval, true), Action::Write);
}

TEST(RecoverySchedule, LargeOperationsWriteAtOnceButOnlyForModifiedWork) {
    RecoverySchedule schedule;
    schedule.WriteSoon();
    EXPECT_EQ(schedule.Poll(5, false), Action::None); // a fit that changed nothing
    // The request does not outlive the unmodified poll: later changes wait the interval.
    EXPECT_EQ(schedule.Poll(6, true), Action::None);
    schedule.WriteSoon();
    EXPECT_EQ(schedule.Poll(7, true), Action::Write);
    schedule.WriteSoon(); // while the write runs
    EXPECT_EQ(schedule.Poll(8, true), Action::None);
    schedule.WriteFinished();
    EXPECT_EQ(schedule.Poll(9, true), Action::Write); // the request waited, it was not lost
    schedule.WriteFinished();
    // The next regular copy counts from the last write.
    EXPECT_EQ(schedule.Poll(9 + kInterval - 1, true), Action::None);
    EXPECT_EQ(schedule.Poll(9 + kInterval, true), Action::Write);
    // A removal asked for while a write runs comes after it (the worker keeps the order).
    EXPECT_EQ(schedule.Poll(10 + kInterval, false), Action::Remove);

    RecoverySchedule restored;
    restored.CopyExists();
    EXPECT_EQ(restored.Poll(1, false), Action::Remove); // restored work saved at once
}

TEST(RecoveryQuestion, NamesTheCopysTimeOnATwentyFourHourClock) {
    const QDateTime afternoon(QDate(2026, 3, 4), QTime(14, 32, 59));
    EXPECT_EQ(RestoreQuestion(afternoon),
              "Visomorf closed unexpectedly. Restore the unsaved work from 14:32?");
    EXPECT_EQ(RestoreQuestion(QDateTime(QDate(2026, 3, 4), QTime(7, 5))),
              "Visomorf closed unexpectedly. Restore the unsaved work from 07:05?");
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// A lock file as a process that has ended leaves it: its id is no longer running.
void WriteDeadLock(const QString& path) {
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted(10000));
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished(10000));
    WriteAll(path, QByteArray::number(pid) + "\nvisomorf\n" +
                       QSysInfo::machineHostName().toUtf8() + "\n" +
                       QSysInfo::machineUniqueId() + "\n" + QSysInfo::bootUniqueId() + "\n");
}

class RecoveryStoreTest : public ::testing::Test {
protected:
    QString Folder() const { return dir.filePath("recovery"); }
    // A copy left by a crashed process: the copy and its stale lock, written at time.
    QString Crashed(const QString& id, const QByteArray& bytes, const QDateTime& time) {
        const QString copy = QDir(Folder()).filePath(id + ".vmf");
        WriteAll(copy, bytes);
        WriteDeadLock(QDir(Folder()).filePath(id + ".lock"));
        QFile file(copy);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
        return copy;
    }

    QTemporaryDir dir;
};

TEST_F(RecoveryStoreTest, OffersTheNewestCopyOfAnEndedProcessToOneInstanceOnly) {
    RecoveryStore running(Folder(), "visomorf-1-1");
    ASSERT_TRUE(running.Open()) << running.Error().toStdString();
    WriteAll(running.CopyPath(), "work of a running instance");
    const QDateTime now = QDateTime::currentDateTime();
    Crashed("visomorf-2-2", "older", now.addSecs(-600));
    const QString newer = Crashed("visomorf-3-3", "newer", now.addSecs(-60));

    RecoveryStore first(Folder(), "visomorf-4-4");
    ASSERT_TRUE(first.Open());
    std::optional<OrphanCopy> claimed = first.ClaimOrphan();
    ASSERT_TRUE(claimed.has_value());
    EXPECT_EQ(claimed->path, newer);
    EXPECT_EQ(claimed->written.toSecsSinceEpoch(), now.addSecs(-60).toSecsSinceEpoch());

    // A second instance starting meanwhile gets the other orphan, never the claimed one nor
    // the running instance's copy.
    RecoveryStore second(Folder(), "visomorf-5-5");
    ASSERT_TRUE(second.Open());
    std::optional<OrphanCopy> other = second.ClaimOrphan();
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(QFileInfo(other->path).fileName(), "visomorf-2-2.vmf");
    RecoveryStore third(Folder(), "visomorf-6-6");
    ASSERT_TRUE(third.Open());
    EXPECT_FALSE(third.ClaimOrphan().has_value());

    // Declined: the copy and its lock are gone. Released unanswered: offered again.
    RecoveryStore::Discard(*claimed);
    EXPECT_FALSE(QFileInfo::exists(newer));
    EXPECT_FALSE(QFileInfo::exists(QDir(Folder()).filePath("visomorf-3-3.lock")));
    other.reset();
    std::optional<OrphanCopy> again = third.ClaimOrphan();
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(ReadAll(again->path), "older");
    EXPECT_EQ(ReadAll(running.CopyPath()), "work of a running instance");
}

TEST_F(RecoveryStoreTest, RestoredCopyBecomesOursAndACleanEndRemovesIt) {
    const QString orphanPath = [&] {
        QDir().mkpath(Folder());
        return Crashed("visomorf-7-7", "restored work", QDateTime::currentDateTime());
    }();
    {
        RecoveryStore store(Folder(), "visomorf-8-8");
        ASSERT_TRUE(store.Open());
        std::optional<OrphanCopy> orphan = store.ClaimOrphan();
        ASSERT_TRUE(orphan.has_value());
        ASSERT_TRUE(store.Adopt(*orphan));
        EXPECT_FALSE(QFileInfo::exists(orphanPath));
        EXPECT_EQ(ReadAll(store.CopyPath()), "restored work");
        // Ours now: a store of another instance does not offer it while we run.
        RecoveryStore other(Folder(), "visomorf-9-9");
        ASSERT_TRUE(other.Open());
        EXPECT_FALSE(other.ClaimOrphan().has_value());
        store.Close();
        other.Close();
    }
    EXPECT_TRUE(QDir(Folder()).entryList(QDir::Files).isEmpty())
        << QDir(Folder()).entryList(QDir::Files).join(' ').toStdString();
}

TEST_F(RecoveryStoreTest, UnreadableCopyIsKeptAsideAndNotOfferedAgain) {
    QDir().mkpath(Folder());
    const QString orphanPath = Crashed("visomorf-10-10", "not a document", QDateTime::currentDateTime());
    RecoveryStore store(Folder(), "visomorf-11-11");
    ASSERT_TRUE(store.Open());
    std::optional<OrphanCopy> orphan = store.ClaimOrphan();
    ASSERT_TRUE(orphan.has_value());
    CVisomorfDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    QStringList failures;
    doc.reportFailure = [&failures](const QString& text) { failures << text; };
    EXPECT_FALSE(OnOpenDocument(doc, orphan->path));
    RecoveryStore::SetAside(*orphan);
    EXPECT_EQ(ReadAll(orphanPath + ".unreadable"), "not a document"); // nothing lost
    EXPECT_FALSE(store.ClaimOrphan().has_value());
    EXPECT_EQ(failures.size(), 1);
}

TEST_F(RecoveryStoreTest, FolderThatCannotBeMadeLeavesTheStoreUnused) {
    WriteAll(dir.filePath("file"), "x");
    RecoveryStore store(dir.filePath("file/recovery"), "visomorf-12-12");
    EXPECT_FALSE(store.Open());
    EXPECT_TRUE(store.Error().contains(dir.filePath("file/recovery"))) << store.Error().toStdString();
}

TEST(RecoveryFiles, SafeWriteReplacesWholeOrLeavesThePreviousFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("copy.vmf");
    EXPECT_EQ(WriteFileSafely(path, "first"), "");
    EXPECT_EQ(WriteFileSafely(path, "second, longer"), "");
    EXPECT_EQ(ReadAll(path), "second, longer");
    // A target that cannot be replaced: the reason comes back, the folder is as it was.
    QDir(dir.path()).mkdir("taken.vmf");
    EXPECT_NE(WriteFileSafely(dir.filePath("taken.vmf"), "x"), "");
    EXPECT_TRUE(QFileInfo(dir.filePath("taken.vmf")).isDir());
    EXPECT_NE(WriteFileSafely(dir.filePath("missing/copy.vmf"), "x"), "");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"copy.vmf"});
}

TEST(RecoveryFiles, SerialisedDocumentOpensAsTheSameWork) {
    CVisomorfDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetBox(Front, 120, 140, 480, 700);
    const QByteArray bytes = SerialiseDocument(doc);
    QTemporaryDir dir;
    const QString path = dir.filePath("copy.vmf");
    ASSERT_EQ(WriteFileSafely(path, bytes), "");
    CVisomorfDoc reopened;
    ASSERT_TRUE(OnOpenDocument(reopened, path));
    EXPECT_EQ(reopened.box[Front].left, doc.box[Front].left);
    EXPECT_EQ(reopened.box[Front].bottom, doc.box[Front].bottom);
    EXPECT_EQ(reopened.editableMesh->vertices.size(), doc.editableMesh->vertices.size());
}

} // namespace
} // namespace vm
