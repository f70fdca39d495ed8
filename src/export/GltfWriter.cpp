#include "export/GltfWriter.h"

#include "export/JpegWriter.h"
#include "export/ObjWriter.h"
#include "platform/core/Exceptions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace vm {

namespace {

// glTF's numeric constants.
constexpr int kFloat = 5126;
constexpr int kUnsignedShort = 5123;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kTriangles = 4;
constexpr int kLinear = 9729;
constexpr int kLinearMipmapLinear = 9987;
constexpr int kClampToEdge = 33071;

// GLB container.
constexpr uint32_t kGlbMagic = 0x46546C67; // "glTF"
constexpr uint32_t kGlbVersion = 2;
constexpr uint32_t kChunkJson = 0x4E4F534A; // "JSON"
constexpr uint32_t kChunkBin = 0x004E4942;  // "BIN\0"

constexpr const char* kUnlit = "KHR_materials_unlit";

void AppendU32(QByteArray& out, uint32_t value) {
    const uint32_t le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

void AppendU16(QByteArray& out, uint16_t value) {
    const uint16_t le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

void AppendFloat(QByteArray& out, float value) {
    AppendU32(out, std::bit_cast<uint32_t>(value));
}

void AppendVec3(QByteArray& out, const Vec3& v) {
    AppendFloat(out, v.x);
    AppendFloat(out, v.y);
    AppendFloat(out, v.z);
}

void PadTo4(QByteArray& out, char fill) {
    while (out.size() % 4 != 0) {
        out.append(fill);
    }
}

QJsonArray Array3(const Vec3& v) {
    return QJsonArray{double(v.x), double(v.y), double(v.z)};
}

QJsonObject BufferView(qsizetype offset, qsizetype length, int target) {
    QJsonObject view{{"buffer", 0}, {"byteOffset", double(offset)}, {"byteLength", double(length)}};
    if (target != 0) {
        view.insert("target", target);
    }
    return view;
}

QJsonObject Accessor(int view, int componentType, uint32_t count, const char* type) {
    return QJsonObject{{"bufferView", view},
                       {"componentType", componentType},
                       {"count", double(count)},
                       {"type", QLatin1String(type)}};
}

// A file name as a relative URI (spaces and the like percent-encoded).
QString RelativeUri(const QString& fileName) {
    return QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

} // namespace

ExportFormat ExportFormatOf(const QString& path) {
    if (path.endsWith(QLatin1String(".glb"), Qt::CaseInsensitive)) {
        return ExportFormat::GltfBinary;
    }
    if (path.endsWith(QLatin1String(".gltf"), Qt::CaseInsensitive)) {
        return ExportFormat::GltfText;
    }
    if (path.endsWith(QLatin1String(".obj"), Qt::CaseInsensitive)) {
        return ExportFormat::Obj;
    }
    throw FileException(QString::fromLatin1(kUnknownExportTypeText), path,
                        QString::fromLatin1(kKnownExportTypesText));
}

float GltfMetresPerUnit(const Mesh& mesh) {
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    for (const HeadVertex& v : mesh.vertices) {
        low = std::min(low, v.position.y);
        high = std::max(high, v.position.y);
    }
    const float height = high - low;
    if (!(height > 0) || !std::isfinite(height)) {
        throw GeneralFailureException();
    }
    return kGltfHeadHeightMetres / height;
}

Vec3 GltfPosition(const Vec3& modelPosition, float metresPerUnit) {
    return Vec3{modelPosition.x, modelPosition.y, -modelPosition.z} * metresPerUnit;
}

Vec3 GltfNormal(const Vec3& modelNormal) {
    const Vec3 n{modelNormal.x, modelNormal.y, -modelNormal.z};
    const float length = Length(n);
    // glTF readers expect unit normals; a vertex without a usable one faces the viewer.
    if (!(length > 0) || !std::isfinite(length)) {
        return Vec3{0, 0, 1};
    }
    return n * (1.0f / length);
}

GltfGeometry BuildGltfGeometry(const Mesh& mesh) {
    if (mesh.vertices.size() > 65535 ||
        std::any_of(mesh.indices.begin(), mesh.indices.end(),
                    [](uint32_t index) { return index > 0xFFFF; })) {
        throw CDXException(hr::kInvalidCall);
    }
    GltfGeometry geometry;
    geometry.vertexCount = mesh.VertexCount();
    geometry.indexCount = static_cast<uint32_t>(mesh.indices.size());
    QByteArray& out = geometry.bytes;
    out.reserve(qsizetype(mesh.vertices.size()) * 32 + qsizetype(mesh.indices.size()) * 2 + 4);
    const float scale = GltfMetresPerUnit(mesh);
    const float inf = std::numeric_limits<float>::infinity();
    geometry.minPosition = {inf, inf, inf};
    geometry.maxPosition = {-inf, -inf, -inf};
    for (const HeadVertex& v : mesh.vertices) {
        const Vec3 p = GltfPosition(v.position, scale);
        geometry.minPosition = {std::min(geometry.minPosition.x, p.x),
                                std::min(geometry.minPosition.y, p.y),
                                std::min(geometry.minPosition.z, p.z)};
        geometry.maxPosition = {std::max(geometry.maxPosition.x, p.x),
                                std::max(geometry.maxPosition.y, p.y),
                                std::max(geometry.maxPosition.z, p.z)};
        AppendVec3(out, p);
    }
    for (const HeadVertex& v : mesh.vertices) {
        AppendVec3(out, GltfNormal(v.normal));
    }
    for (const HeadVertex& v : mesh.vertices) {
        AppendFloat(out, v.modelUV.x);
        AppendFloat(out, 1.0f - v.modelUV.y);
    }
    // Mirroring z turns each triangle's turn as seen from outside; swapping two corners turns
    // it back to glTF's counter-clockwise front faces.
    for (size_t f = 0; f + 2 < mesh.indices.size(); f += 3) {
        AppendU16(out, static_cast<uint16_t>(mesh.indices[f]));
        AppendU16(out, static_cast<uint16_t>(mesh.indices[f + 2]));
        AppendU16(out, static_cast<uint16_t>(mesh.indices[f + 1]));
    }
    PadTo4(out, '\0');
    return geometry;
}

QJsonObject GltfJson(const GltfGeometry& geometry, qsizetype jpegSize, const GltfUris& uris) {
    const qsizetype n = geometry.vertexCount;
    const qsizetype positions = 0, normals = 12 * n, texcoords = 24 * n, indices = 32 * n;
    const qsizetype indexBytes = qsizetype(geometry.indexCount) * 2;
    QJsonArray views{BufferView(positions, 12 * n, kArrayBuffer),
                     BufferView(normals, 12 * n, kArrayBuffer),
                     BufferView(texcoords, 8 * n, kArrayBuffer),
                     BufferView(indices, indexBytes, kElementArrayBuffer)};
    QJsonObject position = Accessor(0, kFloat, geometry.vertexCount, "VEC3");
    position.insert("min", Array3(geometry.minPosition));
    position.insert("max", Array3(geometry.maxPosition));
    const QJsonArray accessors{position, Accessor(1, kFloat, geometry.vertexCount, "VEC3"),
                               Accessor(2, kFloat, geometry.vertexCount, "VEC2"),
                               Accessor(3, kUnsignedShort, geometry.indexCount, "SCALAR")};

    QJsonObject buffer{{"byteLength", double(geometry.bytes.size())}};
    QJsonObject image;
    if (uris.image.isEmpty()) {
        // The texture follows the geometry in the same buffer; the geometry ends on 4 bytes.
        views.append(BufferView(geometry.bytes.size(), jpegSize, 0));
        buffer.insert("byteLength", double(geometry.bytes.size() + jpegSize));
        image = QJsonObject{{"bufferView", 4}, {"mimeType", "image/jpeg"}};
    } else {
        image = QJsonObject{{"uri", uris.image}, {"mimeType", "image/jpeg"}};
    }
    if (!uris.buffer.isEmpty()) {
        buffer.insert("uri", uris.buffer);
    }

    const QJsonObject primitive{
        {"attributes", QJsonObject{{"POSITION", 0}, {"NORMAL", 1}, {"TEXCOORD_0", 2}}},
        {"indices", 3},
        {"material", 0},
        {"mode", kTriangles}};
    // The photos already hold their lighting: viewers that know the unlit extension show the
    // texture as it is; the others fall back to a plain rough, non-metallic material.
    const QJsonObject material{
        {"name", "head"},
        {"pbrMetallicRoughness", QJsonObject{{"baseColorTexture", QJsonObject{{"index", 0}}},
                                             {"metallicFactor", 0},
                                             {"roughnessFactor", 1}}},
        {"extensions", QJsonObject{{kUnlit, QJsonObject()}}}};
    return QJsonObject{
        {"asset", QJsonObject{{"version", "2.0"},
                              {"generator", QStringLiteral("Visomorf " VISOMORF_VERSION)}}},
        {"extensionsUsed", QJsonArray{kUnlit}},
        {"scene", 0},
        {"scenes", QJsonArray{QJsonObject{{"nodes", QJsonArray{0}}}}},
        {"nodes", QJsonArray{QJsonObject{{"name", "head"}, {"mesh", 0}}}},
        {"meshes",
         QJsonArray{QJsonObject{{"name", "head"}, {"primitives", QJsonArray{primitive}}}}},
        {"materials", QJsonArray{material}},
        {"textures", QJsonArray{QJsonObject{{"sampler", 0}, {"source", 0}}}},
        {"samplers", QJsonArray{QJsonObject{{"magFilter", kLinear},
                                            {"minFilter", kLinearMipmapLinear},
                                            {"wrapS", kClampToEdge},
                                            {"wrapT", kClampToEdge}}}},
        {"images", QJsonArray{image}},
        {"buffers", QJsonArray{buffer}},
        {"bufferViews", views},
        {"accessors", accessors}};
}

QByteArray GlbFile(const QJsonObject& json, const QByteArray& binary) {
    QByteArray jsonChunk = QJsonDocument(json).toJson(QJsonDocument::Compact);
    PadTo4(jsonChunk, ' ');
    QByteArray binChunk = binary;
    PadTo4(binChunk, '\0');
    const qsizetype total = 12 + 8 + jsonChunk.size() + 8 + binChunk.size();
    if (total > qsizetype(std::numeric_limits<uint32_t>::max())) {
        throw MemoryException();
    }
    QByteArray out;
    out.reserve(total);
    AppendU32(out, kGlbMagic);
    AppendU32(out, kGlbVersion);
    AppendU32(out, static_cast<uint32_t>(total));
    AppendU32(out, static_cast<uint32_t>(jsonChunk.size()));
    AppendU32(out, kChunkJson);
    out.append(jsonChunk);
    AppendU32(out, static_cast<uint32_t>(binChunk.size()));
    AppendU32(out, kChunkBin);
    out.append(binChunk);
    return out;
}

void WriteGltf(const QString& path, ExportFormat format, const GltfGeometry& geometry,
               const QByteArray& jpeg) {
    if (format == ExportFormat::GltfBinary) {
        WriteExportFile(path, GlbFile(GltfJson(geometry, jpeg.size(), {}), geometry.bytes + jpeg));
        return;
    }
    const ExportNames names = MakeExportNames(path);
    const QString& binName = names.binName;
    const QString& binPath = names.binPath;
    const QJsonObject json =
        GltfJson(geometry, jpeg.size(), {RelativeUri(binName), RelativeUri(names.jpegName)});
    // The file that names the others comes last: until it is replaced, the previous export's
    // JSON still describes a complete set (its buffer and texture are replaced whole).
    WriteJpegFile(jpeg, names.jpegPath);
    WriteExportFile(binPath, geometry.bytes);
    WriteExportFile(path, QJsonDocument(json).toJson(QJsonDocument::Indented));
}

} // namespace vm
