// Visomorf: turns a front and a side photograph into a textured 3D head.
#include "app/CVisomorfApp.h"
#include "app/Settings.h"
#include "autofit/FaceLandmarks.h"
#include "cli/CommandLine.h"

#include <QCoreApplication>
#include <QTextStream>
#include <exception>
#include <thread>

namespace {

// Reads the face landmark model (about a second) beside other work: the window's first Fit
// Automatically, or the command line's photo decoding, then finds it loaded. A missing model is
// reported where the fit asks for it.
class ModelPreload {
public:
    explicit ModelPreload(bool wanted) {
        if (wanted) {
            m_thread = std::thread([] {
                try {
                    vm::FaceLandmarker::Instance();
                } catch (const std::exception&) {
                }
            });
        }
    }
    ~ModelPreload() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    ModelPreload(const ModelPreload&) = delete;
    ModelPreload& operator=(const ModelPreload&) = delete;

private:
    std::thread m_thread;
};

// The command line works without a display, so it must be recognised before any window
// system connection is made.
int RunWithoutWindows(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vendal");
    QCoreApplication::setApplicationName("Visomorf");
    QCoreApplication::setApplicationVersion(VISOMORF_VERSION);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const vm::Settings settings;
    const ModelPreload preload(app.arguments().contains(QStringLiteral("--auto-fit")));
    return vm::RunCommandLine(app.arguments().mid(1), settings.initialModelDetail(), out, err);
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (vm::WantsCommandLine(arguments)) {
        return RunWithoutWindows(argc, argv);
    }
    vm::CVisomorfApp app(argc, argv);
    int status = 0;
    if (!app.InitInstance(status)) {
        return status;
    }
    const ModelPreload preload(qEnvironmentVariableIsEmpty("VISOMORF_EXIT_WHEN_READY"));
    return app.exec();
}
