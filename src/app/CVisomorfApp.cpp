#include "app/CVisomorfApp.h"

#include "app/CMainFrame.h"
#include "app/CrashRecovery.h"
#include "app/FileCommands.h"
#include "app/HelpPaths.h"
#include "app/IdleRedraw3D.h"
#include "app/MainFrameViews.h"
#include "document/CVisomorfDoc.h"

#include <QEventLoop>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QSplashScreen>
#include <QTextStream>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace vm {

namespace {

int MinimumSplashMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VISOMORF_SPLASH_MS", &ok);
    return ok && ms >= 0 ? ms : CVisomorfApp::kSplashMs;
}

// The window takes no options of its own: anything that looks like one is a mistake.
QString ArgumentProblem(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('-'))) {
            return QStringLiteral("Unknown option \"%1\".").arg(argument);
        }
    }
    if (arguments.size() > 1) {
        return QStringLiteral("Only one document can be given (\"%1\" and \"%2\").")
            .arg(arguments[0], arguments[1]);
    }
    return {};
}

} // namespace

CVisomorfApp::CVisomorfApp(int& argc, char** argv) : QApplication(argc, argv) {
    m_start.start();
    setOrganizationName(QStringLiteral("Vendal"));
    setApplicationName(QStringLiteral("Visomorf"));
    setApplicationVersion(QStringLiteral(VISOMORF_VERSION));
    setDesktopFileName(QStringLiteral("org.vendal.Visomorf"));
    setWindowIcon(QIcon(QStringLiteral(":/data/visomorf.png")));
}

CVisomorfApp::~CVisomorfApp() {
    // The views detach from the document as they go, so the window goes first. The recovery
    // copy goes with a clean end.
    if (m_frame) {
        m_frame->afterLargeOperation = nullptr;
        m_frame->Files().saved = nullptr;
    }
    m_recovery.reset();
    m_redraw.reset();
    m_frame.reset();
    m_doc.reset();
}

int CVisomorfApp::SplashWaitMs(qint64 elapsedMs, int minimumMs) {
    return static_cast<int>(std::max<qint64>(0, minimumMs - elapsedMs));
}

bool CVisomorfApp::InitInstance(int& exitStatus) {
    const QStringList arguments = QApplication::arguments().mid(1);
    if (const QString problem = ArgumentProblem(arguments); !problem.isEmpty()) {
        QTextStream(stderr) << "visomorf: " << problem << "\nTry \"visomorf --help\".\n";
        exitStatus = 2;
        return false;
    }
    QSplashScreen splash(QPixmap(QStringLiteral(":/data/splash.jpg")));
    splash.show();
    splash.repaint();
    processEvents();

    m_doc = std::make_unique<CVisomorfDoc>(m_settings.initialModelDetail());
    m_frame = std::make_unique<CMainFrame>(*m_doc, ProgramViews(m_settings));
    m_frame->SetHelpPaths(
        ComputeHelpPaths(applicationFilePath(), FindHelpDir(applicationDirPath())));
    m_redraw = std::make_unique<IdleRedraw3D>(*m_doc);

    // A failure's message must not hide behind the splash.
    auto report = m_doc->reportFailure;
    m_doc->reportFailure = [&splash, report](const QString& text) {
        splash.hide();
        if (report) {
            report(text);
        }
    };
    const bool carriedOut = CarryOutCommandLine(arguments);
    m_doc->reportFailure = report;
    if (!carriedOut) {
        exitStatus = 1;
        return false;
    }
    WaitForSplash();
    if (const QScreen* screen = primaryScreen()) {
        m_frame->setGeometry(CMainFrame::DefaultGeometry(screen->availableGeometry()));
    }
    m_frame->show();
    splash.finish(m_frame.get());
    if (qEnvironmentVariableIsSet("VISOMORF_EXIT_WHEN_READY")) {
        // A start-up measurement: no question in the way, and no copies of its own.
        QTimer::singleShot(0, this, &CVisomorfApp::ExitWhenReady);
    } else {
        StartRecovery();
    }
    return true;
}

// Start-up measurements: once the window is on the screen and painted, say so and end.
void CVisomorfApp::ExitWhenReady() {
    const QWindow* window = m_frame->windowHandle();
    if (!window || !window->isExposed()) {
        QTimer::singleShot(5, this, &CVisomorfApp::ExitWhenReady);
        return;
    }
    processEvents(); // the paints the exposure asked for
    QTextStream(stdout) << "ready " << m_start.elapsed() << " ms\n";
    quit();
}

// Offers what a crashed run left, then keeps a copy of this run's unsaved work.
void CVisomorfApp::StartRecovery() {
    m_recovery = std::make_unique<CrashRecovery>(*m_doc);
    m_recovery->OfferRestore([this](const QString& question) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Visomorf"), question,
                        QMessageBox::Yes | QMessageBox::No, m_frame.get());
        box.setObjectName(QStringLiteral("restoreQuestion"));
        box.setDefaultButton(QMessageBox::Yes);
        const int answer = box.exec();
        // A box closed by anything but its two buttons (the program asked to quit) keeps
        // the copy for the next start.
        return answer == QMessageBox::Yes  ? CrashRecovery::Answer::Restore
               : answer == QMessageBox::No ? CrashRecovery::Answer::Discard
                                           : CrashRecovery::Answer::Later;
    });
    m_frame->UpdateCommandUI();
    CrashRecovery* recovery = m_recovery.get();
    m_frame->afterLargeOperation = [recovery] { recovery->WriteSoon(); };
    m_frame->Files().saved = [recovery] { recovery->Poll(); };
}

bool CVisomorfApp::CarryOutCommandLine(const QStringList& arguments) {
    FileCommands& files = m_frame->Files();
    const bool done = arguments.isEmpty() ? files.New() : files.OpenPath(arguments.first());
    m_frame->UpdateCommandUI();
    return done;
}

void CVisomorfApp::WaitForSplash() {
    const int wait = SplashWaitMs(m_start.elapsed(), MinimumSplashMs());
    if (wait <= 0) {
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(wait, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace vm
