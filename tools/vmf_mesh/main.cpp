// vmf_mesh DOCUMENT.vmf OUT.x: copies a document's mesh block (a compressed .x file) out, so
// that other programs can look at the mesh a document holds.
#include "persistence/DocumentFile.h"
#include "platform/Exceptions.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "Usage: vmf_mesh DOCUMENT.vmf OUT.x\n";
        return 2;
    }
    QFile document(args[1]);
    if (!document.open(QIODevice::ReadOnly)) {
        err << args[1] << ": " << document.errorString() << "\n";
        return 1;
    }
    try {
        const QByteArray mesh = vm::ExtractMeshBlock(document);
        QFile out(args[2]);
        if (!out.open(QIODevice::WriteOnly) || out.write(mesh) != mesh.size()) {
            err << args[2] << ": " << out.errorString() << "\n";
            return 1;
        }
    } catch (const std::exception& failure) {
        err << args[1] << ": " << vm::FailureText(failure) << "\n";
        return 1;
    }
    return 0;
}
