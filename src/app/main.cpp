// Visomorf: turns a front and a side photograph into a textured 3D head.
#include "app/CVisomorfApp.h"
#include "autofit/CommandLineFit.h"
#include "cli/AutoFitStep.h"
#include "cli/CommandLine.h"
#include "platform/Settings.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

// The command line works without a display, so it must be recognised before any window
// system connection is made.
int RunWithoutWindows(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vendal");
    QCoreApplication::setApplicationName("Visomorf");
    QCoreApplication::setApplicationVersion(VISOMORF_VERSION);
    QTextStream out(stdout);
    QTextStream err(stderr);
    vm::SetDocumentAutoFitter(vm::AutoFitForCommandLine);
    const vm::Settings settings;
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
    return app.exec();
}
