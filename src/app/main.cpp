// Visomorf: turns a front and a side photograph into a textured 3D head.
#include "cli/DocumentInfo.h"
#include "platform/Settings.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

const char* const kUsage = "Usage: visomorf [OPTIONS] [DOCUMENT.vmf]\n"
                           "\n"
                           "  --info       print a JSON summary of a new document\n"
                           "  --help       show this help\n"
                           "  --version    show the program version\n";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vendal");
    QCoreApplication::setApplicationName("Visomorf");
    QCoreApplication::setApplicationVersion(VISOMORF_VERSION);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.contains("--version")) {
        out << "visomorf " << VISOMORF_VERSION << "\n";
        return 0;
    }
    if (args.contains("--info")) {
        return vm::RunInfoCommand(vm::Settings().initialModelDetail());
    }
    out << kUsage;
    return args.contains("--help") ? 0 : 2;
}
