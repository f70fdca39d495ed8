// Visomorf: turns a front and a side photograph into a textured 3D head.
#include "autofit/CommandLineFit.h"
#include "cli/AutoFitStep.h"
#include "cli/CommandLine.h"
#include "platform/Settings.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vendal");
    QCoreApplication::setApplicationName("Visomorf");
    QCoreApplication::setApplicationVersion(VISOMORF_VERSION);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = app.arguments().mid(1);
    if (vm::WantsCommandLine(arguments)) {
        vm::SetDocumentAutoFitter(vm::AutoFitForCommandLine);
        const vm::Settings settings;
        return vm::RunCommandLine(arguments, settings.initialModelDetail(), out, err);
    }
    // The windows come later; until then the program explains its command line.
    err << vm::CommandLineHelp();
    return 2;
}
