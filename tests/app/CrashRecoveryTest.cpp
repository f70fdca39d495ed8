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

bool WaitFor(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    for (; !condition(); QThread::msleep(100)) {
        if (clock.elapsed() > 60000) {
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

// Keys as the user presses them, into that window.
void Keys(const QString& window, const QStringList& keys) {
    Xdotool({"windowfocus", "--sync", window});
    if (!keys.isEmpty()) {
        Xdotool(QStringList{"key", "--delay", "80"} + keys);
    }
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
    const QString main = WaitForWindow("^Untitled - Visomorf$");
    ASSERT_FALSE(main.isEmpty());
    Keys(main, {"F3"});
    const QString chooser = WaitForWindow("^Load Front$");
    ASSERT_FALSE(chooser.isEmpty());
    Keys(chooser, {});
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
    second.start(QStringLiteral(VISOMORF_EXE), {});
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

    // Saved under a name typed without extension: the copy goes at once. Then File > Exit
    // asks nothing, and the clean end leaves no lock either.
    Keys(restored, {"ctrl+s"});
    const QString saveAs = WaitForWindow("^Save As$");
    ASSERT_FALSE(saveAs.isEmpty());
    Keys(saveAs, {"ctrl+a"});
    Xdotool({"type", "--delay", "20", dir.filePath("restored")});
    Keys(saveAs, {"Return"});
    EXPECT_TRUE(WaitFor([&folder] { return Copies(folder).isEmpty(); }));
    EXPECT_TRUE(QFile::exists(dir.filePath("restored.vmf")));
    Keys(WaitForWindow("^restored.vmf - Visomorf$"), {"alt+f", "x"});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty())
        << QDir(folder).entryList(QDir::Files).join(' ').toStdString();
}

} // namespace
} // namespace vm
