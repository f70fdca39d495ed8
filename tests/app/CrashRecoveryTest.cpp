// Crash recovery through the real program: killed with SIGKILL after a photo load, then
// started again and asked to restore.
#include "document/CVisomorfDoc.h"
#include "persistence/DocumentIO.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace vm {
namespace {

QStringList Copies(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.vmf")}, QDir::Files);
}

// xdotool's exit status and output; -1 when it hangs.
std::pair<int, QString> Xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {-1, {}};
    }
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed()};
}

bool WaitFor(const std::function<bool()>& condition, qint64 timeoutMs = 60000) {
    QElapsedTimer clock;
    clock.start();
    for (; !condition(); QThread::msleep(100)) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
    }
    return true;
}

// The visible window whose title matches the pattern, once it is there.
QString WaitForWindow(const QString& pattern) {
    QString id;
    WaitFor([&] {
        id = Xdotool({"search", "--onlyvisible", "--name", pattern}).second.section('\n', -1);
        return !id.isEmpty();
    });
    return id;
}

bool Shown(const QString& pattern) {
    return Xdotool({"search", "--onlyvisible", "--name", pattern}).first == 0;
}

// Presses keys (a path is typed) in the window titled pattern until done() holds. On a busy
// machine keys can reach a new window before it takes them: then nothing happened, and they
// are pressed again.
bool PressUntil(const QString& pattern, const QStringList& keys,
                const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString window = WaitForWindow(pattern);
        QThread::msleep(300);
        Xdotool({"windowfocus", "--sync", window});
        for (const QString& key : keys) {
            Xdotool(key.startsWith('/') ? QStringList{"type", "--delay", "30", key}
                                        : QStringList{"key", key});
        }
        if (WaitFor(done, 10000)) {
            return true;
        }
    }
    return false;
}

TEST(RecoveryOfTheProgram, WorkSurvivesKillNineAndIsOfferedAtTheNextStart) {
    ASSERT_EQ(Xdotool({"version"}).first, 0) << "xdotool is needed (scripts/install-deps.sh)";
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
    QProcess first, second;
    for (QProcess* run : {&first, &second}) {
        run->setProcessEnvironment(environment);
    }

    // First run: a photo loaded through Model > Load Front (F3) and its file dialog.
    first.start(QStringLiteral(VISOMORF_EXE), {});
    ASSERT_TRUE(PressUntil("^Untitled - Visomorf$", {"F3"}, [] { return Shown("^Load Front$"); }));
    ASSERT_TRUE(PressUntil("^Load Front$", {"ctrl+a", photo, "Return"},
                           [] { return !Shown("^Load Front$"); }));
    // A photo load is a large operation: its copy comes at once, not after two minutes.
    ASSERT_TRUE(WaitFor([&folder] { return Copies(folder).size() == 1; }))
        << "no recovery copy in " << folder.toStdString();
    const QString crashedCopy = Copies(folder).constFirst();
    first.kill(); // SIGKILL: no clean end
    ASSERT_TRUE(first.waitForFinished());
    ASSERT_EQ(Copies(folder), QStringList{crashedCopy});

    // Second run: the question, answered Yes with the Return key; the restored work is
    // untitled and modified (the title's mark).
    second.start(QStringLiteral(VISOMORF_EXE), {});
    ASSERT_TRUE(
        PressUntil("^Visomorf$", {"Return"}, [] { return Shown("^Untitled\\* - Visomorf$"); }));
    // The crashed run's copy became this run's copy, with the photo in it.
    ASSERT_TRUE(WaitFor([&] {
        const QStringList copies = Copies(folder);
        return copies.size() == 1 && copies[0] != crashedCopy;
    }));
    CVisomorfDoc reread;
    ASSERT_TRUE(OnOpenDocument(reread, QDir(folder).filePath(Copies(folder).constFirst())));
    EXPECT_EQ(reread.photos[Front].size(), picture.size());

    // Saved under a name typed without extension: the copy goes at once. Then File > Exit
    // asks nothing, and the clean end leaves no lock either.
    ASSERT_TRUE(
        PressUntil("^Untitled\\* - Visomorf$", {"ctrl+s"}, [] { return Shown("^Save As$"); }));
    ASSERT_TRUE(PressUntil("^Save As$", {"ctrl+a", dir.filePath("restored"), "Return"},
                           [] { return !Shown("^Save As$"); }));
    EXPECT_TRUE(WaitFor([&folder] { return Copies(folder).isEmpty(); }));
    EXPECT_TRUE(QFile::exists(dir.filePath("restored.vmf")));
    ASSERT_TRUE(PressUntil("^restored.vmf - Visomorf$", {"alt+f", "x"},
                           [&second] { return second.waitForFinished(100); }));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty())
        << QDir(folder).entryList(QDir::Files).join(' ').toStdString();
}

} // namespace
} // namespace vm
