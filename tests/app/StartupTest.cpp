// Start-up rules: the splash's minimum time, the help pages' places, and one 3D repaint however
// many requests come before the loop goes idle.
#include "AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CVisomorfApp.h"
#include "app/HelpPaths.h"
#include "app/IdleRedraw3D.h"
#include "support/ProgramRun.h"

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

namespace vm {
namespace {

TEST(Startup, SplashWaitsOnlyForWhatIsLeftOfItsMinimum) {
    EXPECT_EQ(CVisomorfApp::SplashWaitMs(0, 3000), 3000);
    EXPECT_EQ(CVisomorfApp::SplashWaitMs(1200, 3000), 1800);
    EXPECT_EQ(CVisomorfApp::SplashWaitMs(3000, 3000), 0);
    EXPECT_EQ(CVisomorfApp::SplashWaitMs(4500, 3000), 0); // a slow start does not wait more
}

TEST(Startup, HelpPagesBelongToAProgramCalledVisomorf) {
    HelpPaths paths = ComputeHelpPaths("/opt/Tools/bin/Visomorf", "/opt/Tools/share/help");
    EXPECT_EQ(paths.helpFile, "/opt/Tools/share/help/visomorf.htm");
    EXPECT_EQ(paths.tutorial, "/opt/Tools/share/help/tutorial.htm");
    paths = ComputeHelpPaths("/opt/Tools/bin/headmaker", "/opt/Tools/share/help");
    EXPECT_EQ(paths.helpFile, "/opt/Tools/bin/headmaker.hlp");
    EXPECT_TRUE(paths.tutorial.isEmpty());

    QTemporaryDir dir;
    EXPECT_EQ(FindHelpDir(dir.filePath("bin")),
              QDir::cleanPath(dir.filePath("share/visomorf/help")));
    QDir(dir.path()).mkpath("bin/help");
    EXPECT_EQ(FindHelpDir(dir.filePath("bin")), dir.filePath("bin/help"));
}

TEST(Startup, MainWindowOpensOnThreeQuartersOfTheScreenCentred) {
    EXPECT_EQ(CMainFrame::DefaultGeometry(QRect(0, 0, 1280, 1024)), QRect(160, 128, 960, 768));
    // A free area that does not start at the origin (a panel on the left, a second screen).
    EXPECT_EQ(CMainFrame::DefaultGeometry(QRect(1920, 30, 1600, 870)), QRect(2120, 139, 1200, 652));
}

void RunUntilIdle() {
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(Startup, ManyRedrawRequestsBeforeIdleCostOneRepaint) {
    CVisomorfDoc doc;
    test::TestView view3D(doc, QStringLiteral("3D View"), -1, true, nullptr);
    view3D.resize(200, 200);
    view3D.show();
    IdleRedraw3D redraw(doc);
    RunUntilIdle();
    view3D.paints = 0;
    for (int i = 0; i < 5; ++i) {
        doc.RequestRedraw3D();
    }
    EXPECT_TRUE(redraw.Pending());
    RunUntilIdle();
    EXPECT_EQ(view3D.paints, 1);
    EXPECT_FALSE(redraw.Pending());
    RunUntilIdle();
    EXPECT_EQ(view3D.paints, 1); // no request, no repaint
}

using test::ProgramRun;

// The real program, with a short splash, ending as soon as its window is up; its user settings
// (recent files) go to a scratch folder.
ProgramRun Visomorf(const QStringList& arguments, int splashMs = 0) {
    QTemporaryDir config;
    test::RunOptions options;
    options.environment.insert("XDG_CONFIG_HOME", config.path());
    options.environment.insert("VISOMORF_EXIT_WHEN_READY", "1");
    options.environment.insert("VISOMORF_SPLASH_MS", QString::number(splashMs));
    options.timeoutMs = 60000;
    return test::Visomorf(arguments, options);
}

int ReadyMs(const ProgramRun& run) {
    return run.out.section(' ', 1, 1).toInt();
}

TEST(Program, StartsWithANewOrAGivenDocumentAndRefusesStrayArguments) {
    QTemporaryDir dir;
    const QString document = dir.filePath("head.vmf");
    QProcess save;
    save.start(QStringLiteral(VISOMORF_EXE), {"--save", document});
    ASSERT_TRUE(save.waitForFinished(60000));
    ASSERT_EQ(save.exitCode(), 0);

    ProgramRun run = Visomorf({}, 700);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("ready")) << run.out.toStdString();
    EXPECT_GE(ReadyMs(run), 700); // the splash's minimum time
    run = Visomorf({document});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("ready"));

    run = Visomorf({document, document});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("Only one document")) << run.err.toStdString();
    run = Visomorf({"-x"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("\"-x\"")) << run.err.toStdString();
}

} // namespace
} // namespace vm
