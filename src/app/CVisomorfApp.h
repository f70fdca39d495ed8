#pragma once
// The application object: reads the settings at construction, shows the splash while starting,
// creates the document and the main window, carries out the command line (nothing: a new
// document; a path: that document) and turns 3D redraw requests into one repaint per idle period.
#include "app/Settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <memory>

namespace vm {

class CMainFrame;
class CrashRecovery;
class CVisomorfDoc;
class IdleRedraw3D;

class CVisomorfApp : public QApplication {
    Q_OBJECT
public:
    // The splash stays at least this long from the start, unless VISOMORF_SPLASH_MS says other.
    static constexpr int kSplashMs = 3000;

    CVisomorfApp(int& argc, char** argv);
    ~CVisomorfApp() override;

    // Starts the program. False: end the process with exitStatus (1 when the document could
    // not be made or opened, 2 for unusable arguments).
    bool InitInstance(int& exitStatus);

    const Settings& GetSettings() const { return m_settings; }
    CMainFrame* MainFrame() const { return m_frame.get(); }

    // How long the splash must still stay after elapsedMs of start-up; 0 when already long
    // enough.
    static int SplashWaitMs(qint64 elapsedMs, int minimumMs);

private:
    bool CarryOutCommandLine(const QStringList& arguments);
    void WaitForSplash();
    void ExitWhenReady();
    void StartRecovery();

    QElapsedTimer m_start;
    Settings m_settings;
    std::unique_ptr<CVisomorfDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<IdleRedraw3D> m_redraw;
    std::unique_ptr<CrashRecovery> m_recovery;
};

} // namespace vm
