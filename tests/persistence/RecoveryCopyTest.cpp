// Recovery copies: when they are written and removed, and which copies another start may offer.
#include "persistence/RecoveryCopy.h"

#include "document/CVisomorfDoc.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

using test::WriteAll;

using Action = RecoverySchedule::Action;
constexpr qint64 kI = RecoverySchedule::kIntervalMs;

TEST(RecoverySchedule, IntervalsLargeOperationsOneWriteAtATimeAndRemoval) {
    RecoverySchedule s;
    EXPECT_EQ(s.Poll(0, false), Action::None);
    EXPECT_EQ(s.Poll(10, true), Action::None); // modified now: the first copy one interval on
    EXPECT_EQ(s.Poll(10 + kI - 1, true), Action::None);
    EXPECT_EQ(s.Poll(10 + kI, true), Action::Write);
    s.WriteSoon(); // a photo load while the write runs: it waits, and is not lost
    EXPECT_EQ(s.Poll(20 + kI, true), Action::None);
    s.WriteFinished();
    EXPECT_EQ(s.Poll(30 + kI, true), Action::Write);
    s.WriteFinished();
    EXPECT_EQ(s.Poll(29 + 2 * kI, true), Action::None);    // counted from the last write
    EXPECT_EQ(s.Poll(40 + 2 * kI, false), Action::Remove); // saved
    EXPECT_EQ(s.Poll(50 + 2 * kI, false), Action::None);
    s.WriteSoon(); // a fit that left the document unmodified
    EXPECT_EQ(s.Poll(60 + 2 * kI, false), Action::None);
    EXPECT_EQ(s.Poll(70 + 2 * kI, true), Action::None);
    EXPECT_EQ(RestoreQuestion(QDateTime(QDate(2026, 3, 4), QTime(7, 5, 59))),
              "Visomorf closed unexpectedly. Restore the unsaved work from 07:05?");
}

TEST(RecoveryCopy, PhotoEncodedOnceHoldsWhatASaveWrites) {
    QTemporaryDir dir;
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(qRgb(10, 120, 200));
    ASSERT_TRUE(image.save(dir.filePath("side.png")));
    CVisomorfDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.LoadPhoto(Side, dir.filePath("side.png"));
    PhotoJpegCache cache;
    const QByteArray plain = SerialiseDocument(doc);
    EXPECT_EQ(SerialiseDocument(doc, &cache), plain);
    EXPECT_EQ(SerialiseDocument(doc, &cache), plain); // from the cache
    doc.LoadPhoto(Side, dir.filePath("side.png"));    // a new photo is encoded anew
    doc.photos[Side].setPixel(0, 0, qRgb(255, 0, 0));
    EXPECT_EQ(SerialiseDocument(doc, &cache), SerialiseDocument(doc));
}

// A copy and the lock of a process that has ended, the copy written at time.
void LeaveCrashed(const QString& folder, const QString& id, const QDateTime& time) {
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted(10000));
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished(10000));
    WriteAll(QDir(folder).filePath(id + ".lock"),
             QByteArray::number(pid) + "\nvisomorf\n" + QSysInfo::machineHostName().toUtf8() +
                 "\n" + QSysInfo::machineUniqueId() + "\n" + QSysInfo::bootUniqueId() + "\n");
    WriteAll(QDir(folder).filePath(id + ".vmf"), id.toUtf8());
    QFile copy(QDir(folder).filePath(id + ".vmf"));
    ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
    ASSERT_TRUE(copy.setFileTime(time, QFileDevice::FileModificationTime));
}

TEST(RecoveryStore, OffersTheNewestOrphanToOneInstanceAndNeverALiveOnesCopy) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("recovery");
    RecoveryStore running(folder, "visomorf-1-1");
    ASSERT_TRUE(running.Open()) << running.Error().toStdString();
    WriteAll(running.CopyPath(), "live work");
    const QDateTime now = QDateTime::currentDateTime();
    LeaveCrashed(folder, "visomorf-2-2", now.addSecs(-600));
    LeaveCrashed(folder, "visomorf-3-3", now.addSecs(-60));

    RecoveryStore first(folder, "visomorf-4-4"), second(folder, "visomorf-5-5");
    ASSERT_TRUE(first.Open() && second.Open());
    std::optional<OrphanCopy> newest = first.ClaimOrphan();
    ASSERT_TRUE(newest.has_value());
    EXPECT_TRUE(newest->path.endsWith("visomorf-3-3.vmf"));
    EXPECT_EQ(newest->written.toSecsSinceEpoch(), now.addSecs(-60).toSecsSinceEpoch());
    // An instance starting meanwhile gets the other orphan only.
    std::optional<OrphanCopy> older = second.ClaimOrphan();
    ASSERT_TRUE(older.has_value());
    EXPECT_TRUE(older->path.endsWith("visomorf-2-2.vmf"));
    EXPECT_FALSE(second.ClaimOrphan().has_value());

    RecoveryStore::Discard(*newest); // declined: gone with its lock
    older.reset();                   // left unanswered: offered again
    std::optional<OrphanCopy> again = second.ClaimOrphan();
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(again->path.endsWith("visomorf-2-2.vmf"));
    ASSERT_TRUE(second.Adopt(*again)); // restored: it becomes the instance's own copy
    first.Close();
    running.Close();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              (QStringList{"visomorf-5-5.lock", "visomorf-5-5.vmf"}));
    second.Close();
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

} // namespace
} // namespace vm
