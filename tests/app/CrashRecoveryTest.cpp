// Crash recovery: the window's keeper of recovery copies with a real document, and the real
// program killed with SIGKILL after a photo load, then started again and asked to restore.
#include "app/CrashRecovery.h"

#include "document/CVisomorfDoc.h"
#include "persistence/DocumentIO.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace vm {
namespace {

QStringList Copies(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.vmf")}, QDir::Files);
}

// The front box moved, as a committed drag leaves it.
void Edit(CVisomorfDoc& doc) {
    doc.SaveSnapshot();
    const Box b = doc.box[Front];
    doc.SetBox(Front, b.left + 9, b.top, b.right + 9, b.bottom);
    doc.CommitChange();
    doc.SetModifiedFlag(true);
}

class CrashRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(doc.OnNewDocument()); }
    QString Folder() const { return dir.filePath("recovery"); }

    QTemporaryDir dir;
    CVisomorfDoc doc;
};

TEST_F(CrashRecoveryTest, CopyFollowsTheWorkAndGoesWithASaveAndACleanEnd) {
    {
        CrashRecovery recovery(doc, Folder(), nullptr, 60000);
        ASSERT_TRUE(recovery.IsActive());
        const QString copy = recovery.Store().CopyPath();
        recovery.WriteSoon(); // unmodified: nothing to keep
        recovery.WaitForWorker();
        EXPECT_FALSE(QFileInfo::exists(copy));

        Edit(doc);
        recovery.WriteSoon(); // as after a photo load
        recovery.WaitForWorker();
        ASSERT_TRUE(QFileInfo::exists(copy));
        CVisomorfDoc reread;
        EXPECT_TRUE(OnOpenDocument(reread, copy));
        EXPECT_EQ(reread.box[Front].left, doc.box[Front].left);

        // Saved: the copy goes.
        ASSERT_TRUE(OnSaveDocument(doc, dir.filePath("saved.vmf")));
        recovery.Poll();
        recovery.WaitForWorker();
        EXPECT_FALSE(QFileInfo::exists(copy));

        // Modified again and left unsaved; the clean end removes the copy and the lock too.
        Edit(doc);
        recovery.WriteSoon();
        recovery.WaitForWorker();
        EXPECT_TRUE(QFileInfo::exists(copy));
    }
    EXPECT_TRUE(QDir(Folder()).entryList(QDir::Files).isEmpty())
        << QDir(Folder()).entryList(QDir::Files).join(' ').toStdString();
}

TEST_F(CrashRecoveryTest, RestoredWorkIsUntitledModifiedAndKeptAsThisRunsCopy) {
    // What a crashed run left: a copy of edited work and the lock of a process that is gone.
    Edit(doc);
    const float edited = doc.box[Front].left;
    QDir().mkpath(Folder());
    SaveDocument(doc, QDir(Folder()).filePath("visomorf-1-1.vmf"));
    // The lock names a process of this machine that has ended.
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted(10000));
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished(10000));
    QFile lock(QDir(Folder()).filePath("visomorf-1-1.lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid) + "\nvisomorf\n" +
               QSysInfo::machineHostName().toUtf8() + "\n" + QSysInfo::machineUniqueId() + "\n" +
               QSysInfo::bootUniqueId() + "\n");
    lock.close();

    CVisomorfDoc fresh;
    ASSERT_TRUE(fresh.OnNewDocument());
    fresh.SetPathName(dir.filePath("opened.vmf"));
    CrashRecovery recovery(fresh, Folder());
    QStringList questions;
    // Asked later: nothing changes, the copy stays for another start.
    EXPECT_FALSE(recovery.OfferRestore([&questions](const QString& question) {
        questions << question;
        return CrashRecovery::Answer::Later;
    }));
    EXPECT_TRUE(QFileInfo::exists(QDir(Folder()).filePath("visomorf-1-1.vmf")));
    EXPECT_NE(fresh.box[Front].left, edited);

    EXPECT_TRUE(recovery.OfferRestore([&questions](const QString& question) {
        questions << question;
        return CrashRecovery::Answer::Restore;
    }));
    ASSERT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions[1].startsWith("Visomorf closed unexpectedly. Restore the unsaved work "
                                        "from "))
        << questions[1].toStdString();
    EXPECT_EQ(fresh.box[Front].left, edited);
    EXPECT_TRUE(fresh.IsModified());
    EXPECT_TRUE(fresh.GetPathName().isEmpty());
    // The crashed run's files are gone; the copy is this run's now, so a crash right away
    // still loses nothing.
    EXPECT_EQ(Copies(Folder()),
              QStringList{QFileInfo(recovery.Store().CopyPath()).fileName()});
    EXPECT_FALSE(QFileInfo::exists(QDir(Folder()).filePath("visomorf-1-1.lock")));
    // Nothing more to offer.
    EXPECT_FALSE(recovery.OfferRestore([](const QString&) { return CrashRecovery::Answer::Restore; }));
}

TEST_F(CrashRecoveryTest, DeclinedCopyIsRemoved) {
    QDir().mkpath(Folder());
    SaveDocument(doc, QDir(Folder()).filePath("visomorf-2-2.vmf"));
    CrashRecovery recovery(doc, Folder());
    EXPECT_FALSE(recovery.OfferRestore([](const QString&) { return CrashRecovery::Answer::Discard; }));
    EXPECT_TRUE(Copies(Folder()).isEmpty());
}

// ---- The real program ----

struct Run {
    int status = -1;
    QString out;
};

Run Xdotool(const QStringList& arguments, int timeoutMs = 30000) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed()};
}

// The id of the visible window whose title matches the pattern, waiting for it to appear.
QString WaitForWindow(const QString& pattern) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000) {
        const Run found = Xdotool({"search", "--onlyvisible", "--name", pattern}, 10000);
        if (found.status == 0 && !found.out.isEmpty()) {
            return found.out.section(QLatin1Char('\n'), -1);
        }
        QThread::msleep(200);
    }
    return {};
}

// Keys as the user presses them, into the window that gets the focus first.
void Keys(const QString& window, const QStringList& keys) {
    Xdotool({"windowfocus", "--sync", window});
    Xdotool(QStringList{"key", "--delay", "80"} + keys);
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

TEST(RecoveryOfTheProgram, WorkSurvivesKillNineAndIsOfferedAtTheNextStart) {
    ASSERT_EQ(Xdotool({"version"}).status, 0) << "xdotool is needed (scripts/install-deps.sh)";
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dir.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    environment.insert("VISOMORF_SPLASH_MS", "0");
    const QString folder = dir.filePath("data/Vendal/Visomorf/recovery");
    const QString photo = dir.filePath("front.png");
    QImage picture(320, 400, QImage::Format_RGB32);
    picture.fill(qRgb(200, 150, 120));
    ASSERT_TRUE(picture.save(photo));

    // First run: a photo loaded through Model > Load Front (F3) and its file dialog.
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QStringLiteral(VISOMORF_EXE), {});
    ASSERT_TRUE(first.waitForStarted());
    const QString main = WaitForWindow("^Untitled - Visomorf$");
    ASSERT_FALSE(main.isEmpty());
    Keys(main, {"F3"});
    const QString chooser = WaitForWindow("^Load Front$");
    ASSERT_FALSE(chooser.isEmpty());
    Xdotool({"windowfocus", "--sync", chooser});
    Xdotool({"type", "--delay", "20", photo});
    Keys(chooser, {"Return"});
    // A photo load is a large operation: its copy comes at once, not after two minutes.
    ASSERT_TRUE(WaitFor([&folder] { return Copies(folder).size() == 1; }))
        << "no recovery copy in " << folder.toStdString();
    const QString crashedCopy = Copies(folder).constFirst();
    first.kill(); // SIGKILL: no clean end
    ASSERT_TRUE(first.waitForFinished());
    ASSERT_EQ(Copies(folder), QStringList{crashedCopy});

    // Second run: the question, answered Yes with the Return key.
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(VISOMORF_EXE), {});
    ASSERT_TRUE(second.waitForStarted());
    const QString question = WaitForWindow("^Visomorf$");
    ASSERT_FALSE(question.isEmpty());
    Keys(question, {"Return"});
    // The restored work: untitled and modified (the title's mark).
    const QString restored = WaitForWindow("^Untitled\\* - Visomorf$");
    ASSERT_FALSE(restored.isEmpty());
    // The crashed run's copy became this run's copy, with the photo in it.
    ASSERT_TRUE(WaitFor([&] {
        const QStringList copies = Copies(folder);
        return copies.size() == 1 && copies[0] != crashedCopy;
    }));
    CVisomorfDoc reread;
    ASSERT_TRUE(OnOpenDocument(reread, QDir(folder).filePath(Copies(folder).constFirst())));
    EXPECT_EQ(reread.photos[Front].size(), picture.size());

    // File > Exit, "Save changes to Untitled?" No: a clean end leaves no copy and no lock.
    Keys(restored, {"alt+f", "x"});
    const QString saveQuestion = WaitForWindow("^Visomorf$");
    ASSERT_FALSE(saveQuestion.isEmpty());
    Keys(saveQuestion, {"n"});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty())
        << QDir(folder).entryList(QDir::Files).join(' ').toStdString();
}

} // namespace
} // namespace vm
