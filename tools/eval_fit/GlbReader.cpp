#include "GlbReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <cstring>

namespace vm {

namespace {

constexpr uint32_t kMagic = 0x46546C67;     // "glTF"
constexpr uint32_t kChunkJson = 0x4E4F534A; // "JSON"
constexpr uint32_t kChunkBin = 0x004E4942;  // "BIN\0"
constexpr int kByte = 5121, kShort = 5123, kInt = 5125, kFloat = 5126;
constexpr int kTriangles = 4;

uint32_t U32At(const QByteArray& data, qsizetype offset) {
    return qFromLittleEndian<uint32_t>(data.constData() + offset);
}

// One accessor's elements, checked against its buffer view and the binary chunk.
struct Elements {
    const char* first = nullptr; // the first element's first component
    qsizetype stride = 0;        // bytes from one element to the next
    qsizetype count = 0;
    int componentType = 0;
    int components = 0;
};

class Reader {
public:
    Reader(const QJsonObject& json, const QByteArray& bin) : m_json(json), m_bin(bin) {}

    QString error;

    // The object at index in the top-level array name, or an empty object and an error.
    QJsonObject Item(const char* name, const QJsonValue& index) {
        const QJsonArray array = m_json.value(QLatin1String(name)).toArray();
        const int i = index.toInt(-1);
        if (!index.isDouble() || i < 0 || i >= array.size()) {
            Fail(QStringLiteral("%1 %2 does not exist").arg(QLatin1String(name)).arg(i));
            return {};
        }
        return array[i].toObject();
    }

    // The bytes of a buffer view inside the binary chunk.
    bool View(const QJsonValue& index, qsizetype& offset, qsizetype& length, qsizetype& stride) {
        const QJsonObject view = Item("bufferViews", index);
        if (!error.isEmpty()) {
            return false;
        }
        if (view.value("buffer").toInt(-1) != 0 || view.contains("uri")) {
            return Fail(QStringLiteral("a buffer view outside the embedded buffer"));
        }
        const double start = view.value("byteOffset").toDouble(0);
        const double size = view.value("byteLength").toDouble(-1);
        if (start < 0 || size < 0 || start + size > double(m_bin.size())) {
            return Fail(QStringLiteral("a buffer view reaches past the binary chunk"));
        }
        offset = qsizetype(start);
        length = qsizetype(size);
        stride = view.value("byteStride").toInt(0);
        return true;
    }

    std::optional<Elements> Accessor(const QJsonValue& index) {
        const QJsonObject accessor = Item("accessors", index);
        if (!error.isEmpty()) {
            return std::nullopt;
        }
        Elements e;
        e.componentType = accessor.value("componentType").toInt();
        const QString type = accessor.value("type").toString();
        e.components = type == "SCALAR" ? 1 : type == "VEC2" ? 2 : type == "VEC3" ? 3 : 0;
        const int componentSize = e.componentType == kByte                                 ? 1
                                  : e.componentType == kShort                              ? 2
                                  : (e.componentType == kInt || e.componentType == kFloat) ? 4
                                                                                           : 0;
        if (e.components == 0 || componentSize == 0) {
            Fail(QStringLiteral("an accessor of an unsupported type"));
            return std::nullopt;
        }
        const double count = accessor.value("count").toDouble(-1);
        if (count < 0 || count > 1e8) {
            Fail(QStringLiteral("an accessor without a sensible count"));
            return std::nullopt;
        }
        e.count = qsizetype(count);
        qsizetype viewOffset = 0, viewLength = 0, viewStride = 0;
        if (!View(accessor.value("bufferView"), viewOffset, viewLength, viewStride)) {
            return std::nullopt;
        }
        const qsizetype elementSize = qsizetype(componentSize) * e.components;
        e.stride = viewStride > 0 ? viewStride : elementSize;
        const double start = accessor.value("byteOffset").toDouble(0);
        if (start < 0 || e.stride < elementSize) {
            Fail(QStringLiteral("an accessor with a bad offset or stride"));
            return std::nullopt;
        }
        const double end =
            e.count == 0 ? start : start + double(e.stride) * double(e.count - 1) + elementSize;
        if (end > double(viewLength)) {
            Fail(QStringLiteral("an accessor reaches past its buffer view"));
            return std::nullopt;
        }
        e.first = m_bin.constData() + viewOffset + qsizetype(start);
        return e;
    }

    bool Fail(const QString& message) {
        if (error.isEmpty()) {
            error = message;
        }
        return false;
    }

private:
    const QJsonObject& m_json;
    const QByteArray& m_bin;
};

float FloatAt(const char* p) {
    const uint32_t bits = qFromLittleEndian<uint32_t>(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t IndexAt(const Elements& e, qsizetype i) {
    const char* p = e.first + i * e.stride;
    switch (e.componentType) {
    case kByte:
        return static_cast<uint8_t>(*p);
    case kShort:
        return qFromLittleEndian<uint16_t>(p);
    default:
        return qFromLittleEndian<uint32_t>(p);
    }
}

} // namespace

std::optional<GlbMesh> ReadGlb(const QByteArray& data, QString& error) {
    error.clear();
    if (data.size() < 20 || U32At(data, 0) != kMagic) {
        error = QStringLiteral("not a binary glTF file");
        return std::nullopt;
    }
    if (U32At(data, 4) != 2) {
        error = QStringLiteral("glTF container version %1, not 2").arg(U32At(data, 4));
        return std::nullopt;
    }
    if (U32At(data, 8) > uint32_t(data.size())) {
        error = QStringLiteral("the file is shorter than its header says (truncated)");
        return std::nullopt;
    }
    // Chunks: JSON first, then the binary chunk.
    QByteArray jsonBytes, bin;
    qsizetype at = 12;
    const qsizetype end = U32At(data, 8);
    while (at + 8 <= end) {
        const qsizetype length = U32At(data, at);
        const uint32_t type = U32At(data, at + 4);
        if (length > end - at - 8) {
            error = QStringLiteral("a chunk reaches past the end of the file");
            return std::nullopt;
        }
        if (type == kChunkJson && jsonBytes.isNull()) {
            jsonBytes = data.mid(at + 8, length);
        } else if (type == kChunkBin && bin.isNull()) {
            bin = data.mid(at + 8, length);
        }
        at += 8 + length;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(jsonBytes, &parseError);
    if (jsonBytes.isNull() || !document.isObject()) {
        error = QStringLiteral("the JSON chunk is missing or unreadable: %1")
                    .arg(parseError.errorString());
        return std::nullopt;
    }
    const QJsonObject json = document.object();
    Reader reader(json, bin);

    const QJsonObject mesh = reader.Item("meshes", 0);
    const QJsonObject primitive = mesh.value("primitives").toArray().at(0).toObject();
    if (!reader.error.isEmpty() || primitive.isEmpty()) {
        error = QStringLiteral("no mesh primitive");
        return std::nullopt;
    }
    if (primitive.value("mode").toInt(kTriangles) != kTriangles) {
        error = QStringLiteral("the primitive is not made of triangles");
        return std::nullopt;
    }
    const QJsonObject attributes = primitive.value("attributes").toObject();
    const auto positions = reader.Accessor(attributes.value("POSITION"));
    const auto uvs = reader.Accessor(attributes.value("TEXCOORD_0"));
    const auto indices = reader.Accessor(primitive.value("indices"));
    if (!positions || !uvs || !indices) {
        error = reader.error;
        return std::nullopt;
    }
    if (positions->componentType != kFloat || positions->components != 3 ||
        uvs->componentType != kFloat || uvs->components != 2 || uvs->count != positions->count ||
        indices->components != 1 || indices->componentType == kFloat || indices->count % 3 != 0) {
        error = QStringLiteral("the mesh's accessors do not fit together");
        return std::nullopt;
    }

    GlbMesh out;
    out.positions.resize(size_t(positions->count));
    out.uvs.resize(size_t(uvs->count));
    for (qsizetype i = 0; i < positions->count; ++i) {
        const char* p = positions->first + i * positions->stride;
        out.positions[size_t(i)] = {FloatAt(p), FloatAt(p + 4), FloatAt(p + 8)};
        const char* t = uvs->first + i * uvs->stride;
        out.uvs[size_t(i)] = {FloatAt(t), FloatAt(t + 4)};
    }
    out.indices.resize(size_t(indices->count));
    for (qsizetype i = 0; i < indices->count; ++i) {
        const uint32_t index = IndexAt(*indices, i);
        if (index >= uint32_t(positions->count)) {
            error =
                QStringLiteral("a triangle names vertex %1 of %2").arg(index).arg(positions->count);
            return std::nullopt;
        }
        out.indices[size_t(i)] = index;
    }

    // material -> base colour texture -> image -> buffer view holding the encoded picture
    const QJsonObject material = reader.Item("materials", primitive.value("material"));
    const QJsonValue textureIndex = material.value("pbrMetallicRoughness")
                                        .toObject()
                                        .value("baseColorTexture")
                                        .toObject()
                                        .value("index");
    const QJsonObject texture = reader.Item("textures", textureIndex);
    const QJsonObject image = reader.Item("images", texture.value("source"));
    qsizetype offset = 0, length = 0, stride = 0;
    if (!reader.error.isEmpty() ||
        !reader.View(image.value("bufferView"), offset, length, stride)) {
        error = QStringLiteral("no embedded texture: %1").arg(reader.error);
        return std::nullopt;
    }
    out.texture = QImage::fromData(bin.mid(offset, length)).convertToFormat(QImage::Format_ARGB32);
    if (out.texture.isNull()) {
        error = QStringLiteral("the embedded texture cannot be decoded");
        return std::nullopt;
    }
    return out;
}

std::optional<GlbMesh> ReadGlbFile(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    std::optional<GlbMesh> mesh = ReadGlb(file.readAll(), error);
    if (!mesh) {
        error = QStringLiteral("%1: %2").arg(path, error);
    }
    return mesh;
}

} // namespace vm
