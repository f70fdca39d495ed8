#include "export/ObjWriter.h"

#include "platform/core/Exceptions.h"
#include "platform/core/ReplacingFile.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string_view>

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
    names.binName = names.base + QStringLiteral(".bin");
    names.binPath = prefix + names.binName;
    return names;
}

namespace {

// Room for any number FormatG writes ("-1.23457e-308" and the like).
constexpr size_t kNumberRoom = 32;

// FormatG's text of value written at out; returns its end.
char* WriteG(char* out, float value) {
    char* end = std::to_chars(out, out + kNumberRoom, static_cast<double>(value),
                              std::chars_format::general, 6)
                    .ptr;
    char* const e = std::find(out, end, 'e');
    if (e == end) {
        return end;
    }
    // The exponent is "e", a sign and at least two digits; widen it to three.
    const ptrdiff_t digits = end - (e + 2);
    if (digits < 3) {
        const ptrdiff_t pad = 3 - digits;
        std::memmove(e + 2 + pad, e + 2, static_cast<size_t>(digits));
        std::fill(e + 2, e + 2 + pad, '0');
        end += pad;
    }
    return end;
}

char* WriteText(char* out, std::string_view text) {
    return std::copy(text.begin(), text.end(), out);
}

} // namespace

QByteArray FormatG(float value) {
    std::array<char, kNumberRoom> buffer{};
    return QByteArray(buffer.data(),
                      static_cast<qsizetype>(WriteG(buffer.data(), value) - buffer.data()));
}

namespace {

void AppendLine(QByteArray& out, std::initializer_list<QByteArrayView> parts) {
    for (const QByteArrayView& part : parts) {
        out.append(part);
    }
    out.append("\r\n");
}

} // namespace

void WriteExportFile(const QString& path, const QByteArray& text) {
    WriteFileReplacing(path, text);
}

QByteArray ObjText(const Mesh& mesh, const QString& mtlName) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(mesh.vertices.size()) * 64 +
                static_cast<qsizetype>(mesh.FaceCount()) * 48 + 64);
    AppendLine(out, {"mtllib ", QFile::encodeName(mtlName)});
    // Lines are put together in a buffer of their own: a head has tens of thousands of them.
    std::array<char, 4 * kNumberRoom> line;
    auto append = [&](const char* end) {
        out.append(line.data(), static_cast<qsizetype>(end - line.data()));
    };
    for (const HeadVertex& v : mesh.vertices) {
        char* end = WriteG(WriteText(line.data(), "v "), v.position.x);
        end = WriteG(WriteText(end, " "), v.position.y);
        end = WriteG(WriteText(end, " "), v.position.z);
        append(WriteText(end, "\r\n"));
    }
    for (const HeadVertex& v : mesh.vertices) {
        char* end = WriteG(WriteText(line.data(), "vt "), v.modelUV.x);
        end = WriteG(WriteText(end, " "), v.modelUV.y);
        append(WriteText(end, "\r\n"));
    }
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        char* end = WriteText(line.data(), "usemtl head\r\nf");
        for (int corner = 0; corner < 3; ++corner) {
            char index[16];
            char* const indexEnd = std::to_chars(index, index + sizeof index,
                                                 uint64_t{mesh.indices[f * 3 + corner]} + 1)
                                       .ptr;
            const std::string_view number(index, static_cast<size_t>(indexEnd - index));
            end = WriteText(WriteText(WriteText(WriteText(end, " "), number), "/"), number);
        }
        append(WriteText(end, "\r\n"));
    }
    return out;
}

QByteArray MtlText(const QString& jpegName) {
    QByteArray out;
    for (const char* line :
         {"newmtl head", "Ka 0 0 0", "Kd 1 1 1", "Ks 0 0 0", "illum 2", "Ns 8"}) {
        AppendLine(out, {line});
    }
    AppendLine(out, {"map_Kd ", QFile::encodeName(jpegName)});
    return out;
}

void WriteObj(const Mesh& mesh, const QString& objPath, const QString& mtlName) {
    WriteExportFile(objPath, ObjText(mesh, mtlName));
}

void WriteMtl(const QString& mtlPath, const QString& jpegName) {
    WriteExportFile(mtlPath, MtlText(jpegName));
}

} // namespace vm
