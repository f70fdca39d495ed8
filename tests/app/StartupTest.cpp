// Start-up rules: the splash's minimum time, the help pages' places, and one 3D repaint however
// many requests come before the loop goes idle.
#include "AppTestSupport.h"
#include "app/CVisomorfApp.h"
#include "app/HelpPaths.h"
#include "app/IdleRedraw3D.h"

#include <QDir>
#include <QEventLoop>
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

} // namespace
} // namespace vm
