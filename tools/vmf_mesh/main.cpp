// vmf_mesh DOCUMENT.vmf OUT.x: copies a document's mesh block (a compressed .x file) out, so
// that other programs can look at the mesh a document holds, and prints its counts: faces,
// vertices, and the vertices a reader sees that takes only the standard templates (position,
// normal, colour, first texture set) and not FVFData.
#include "persistence/DocumentFile.h"
#include "platform/core/Exceptions.h"
#include "platform/xfile/XFileReader.h"

#include <cstring>
#include <set>
#include <string>

namespace {

size_t StandardVertexCount(const vm::Mesh& mesh) {
    std::set<std::string> distinct;
    for (const vm::HeadVertex& v : mesh.vertices) {
        std::string key(sizeof(float) * 8 + sizeof(uint32_t), '\0');
        std::memcpy(key.data(), &v.position, 12);
        std::memcpy(key.data() + 12, &v.normal, 12);
        std::memcpy(key.data() + 24, &v.frontUV, 8);
        std::memcpy(key.data() + 32, &v.diffuse, 4);
        distinct.insert(key);
    }
    return distinct.size();
}

} // namespace

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
        const vm::XFileMesh decoded = vm::ReadXFile(mesh);
        QTextStream(stdout) << "faces " << decoded.mesh.FaceCount() << " vertices "
                            << decoded.mesh.VertexCount() << " standard-vertices "
                            << StandardVertexCount(decoded.mesh) << "\n";
    } catch (const std::exception& failure) {
        err << args[1] << ": " << vm::FailureText(failure) << "\n";
        return 1;
    }
    return 0;
}
