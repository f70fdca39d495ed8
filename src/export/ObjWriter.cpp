#include "export/ObjWriter.h"

#include "platform/Exceptions.h"

#include <QFile>
#include <array>
#include <charconv>

namespace vm {

ExportNames MakeExportNames(const QString& objPath) {
    ExportNames names;
    const qsizetype sep = objPath.lastIndexOf(QLatin1Char('/'));
    QString fileName = objPath;
    if (sep >= 0) {
        names.folder = objPath.left(sep);
        fileName = objPath.mid(sep + 1);
    }
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    names.base = dot >= 0 ? fileName.left(dot) : fileName;
    names.mtlName = names.base + QStringLiteral(".mtl");
    names.jpegName = names.base + QStringLiteral(".jpg");
    // Without a folder the companions go beside the OBJ, in the current directory, not at the
    // file-system root.
    const QString prefix = sep >= 0 ? names.folder + QLatin1Char('/') : QString();
    names.mtlPath = prefix + names.mtlName;
    names.jpegPath = prefix + names.jpegName;
    return names;
}

QByteArray FormatG(float value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                      static_cast<double>(value), std::chars_format::general, 6);
    QByteArray text(buffer.data(), static_cast<qsizetype>(result.ptr - buffer.data()));
    const qsizetype e = text.indexOf('e');
    if (e < 0)
        return text;
    // The exponent is "e", a sign and at least two digits; widen it to three.
    const qsizetype digits = text.size() - (e + 2);
    if (digits < 3)
        text.insert(e + 2, QByteArray(3 - digits, '0'));
    return text;
}

namespace {

void AppendLine(QByteArray& out, std::initializer_list<QByteArrayView> parts) {
    for (const QByteArrayView& part : parts)
        out.append(part);
    out.append("\r\n");
}

QString OpenFailure(const QString& path) {
    return QStringLiteral("Error opening file for writing:\r\n%1").arg(path);
}

void WriteTextFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw MessageException(OpenFailure(path));
    const bool written = file.write(text) == text.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        throw MessageException(QStringLiteral("Error writing file:\r\n%1").arg(path));
}

} // namespace

QByteArray ObjText(const Mesh& mesh, const QString& mtlName) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(mesh.vertices.size()) * 64 +
                static_cast<qsizetype>(mesh.FaceCount()) * 48 + 64);
    AppendLine(out, {"mtllib ", QFile::encodeName(mtlName)});
    for (const HeadVertex& v : mesh.vertices)
        AppendLine(out, {"v ", FormatG(v.position.x), " ", FormatG(v.position.y), " ",
                         FormatG(v.position.z)});
    for (const HeadVertex& v : mesh.vertices)
        AppendLine(out, {"vt ", FormatG(v.modelUV.x), " ", FormatG(v.modelUV.y)});
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        out.append("usemtl head\r\nf");
        for (int corner = 0; corner < 3; ++corner) {
            const QByteArray index = QByteArray::number(mesh.indices[f * 3 + corner] + 1);
            out.append(' ').append(index).append('/').append(index);
        }
        out.append("\r\n");
    }
    return out;
}

QByteArray MtlText(const QString& jpegName) {
    QByteArray out;
    for (const char* line : {"newmtl head", "Ka 0 0 0", "Kd 1 1 1", "Ks 0 0 0", "illum 2", "Ns 8"})
        AppendLine(out, {line});
    AppendLine(out, {"map_Kd ", QFile::encodeName(jpegName)});
    return out;
}

void WriteObj(const Mesh& mesh, const QString& objPath, const QString& mtlName) {
    WriteTextFile(objPath, ObjText(mesh, mtlName));
}

void WriteMtl(const QString& mtlPath, const QString& jpegName) {
    WriteTextFile(mtlPath, MtlText(jpegName));
}

} // namespace vm
