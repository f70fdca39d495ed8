#include "persistence/DocumentFile.h"

#include "document/FeatureSetBlock.h"
#include "persistence/CSubStream.h"
#include "platform/core/Archive.h"
#include "platform/core/Exceptions.h"
#include "platform/xfile/XFileReader.h"
#include "platform/xfile/XFileWriter.h"

#include <QImageWriter>
#include <bit>
#include <cmath>

namespace vm {

namespace {

const char* const kPhotoNames[kPhotoCount] = {"front", "side"};

[[noreturn]] void Refuse(const QString& detail) {
    throw ArchiveException(ArchiveException::Cause::BadFormat, detail);
}

// A count of items that each take at least minItemBytes: more than the file can still hold
// means the file is damaged, and nothing is allocated for it.
uint32_t ReadCheckedCount(Archive& ar, qint64 minItemBytes) {
    const uint32_t count = ar.ReadCount();
    if (static_cast<qint64>(count) * minItemBytes > ar.BytesLeft()) {
        throw ArchiveException(ArchiveException::Cause::EndOfFile);
    }
    return count;
}

float ReadFiniteFloat(Archive& ar, const char* what) {
    const float value = ar.ReadFloat();
    if (!std::isfinite(value)) {
        Refuse(
            QStringLiteral("The %1 holds a number that is not finite.").arg(QLatin1String(what)));
    }
    return value;
}

Vec2 ReadPoint(Archive& ar, const char* what) {
    const float x = ReadFiniteFloat(ar, what);
    return {x, ReadFiniteFloat(ar, what)};
}

bool Finite(const Vec2& v) {
    return std::isfinite(v.x) && std::isfinite(v.y);
}
bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// ---- Mesh block --------------------------------------------------------------------------

void WriteMeshBlock(Archive& ar, const Mesh& mesh) {
    // Stored rather than squeezed: compressing would save a few dozen kilobytes of a file that
    // mostly holds photos, and would make every save several times slower.
    XFileWriteOptions options;
    options.compressionLevel = 0;
    const QByteArray xfile = WriteXFile(mesh, options);
    ar.WriteCount(static_cast<uint32_t>(xfile.size()));
    ar.WriteBytes(xfile.constData(), xfile.size());
}

QByteArray ReadMeshBytes(Archive& ar) {
    const uint32_t size = ReadCheckedCount(ar, 1);
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    ar.ReadBytes(bytes.data(), size);
    return bytes;
}

void ReadMeshBlock(Archive& ar, DocumentContent& content) {
    XFileMesh decoded = ReadXFile(ReadMeshBytes(ar));
    if (decoded.numMaterials == 0) {
        throw GeneralFailureException();
    }
    for (const HeadVertex& v : decoded.mesh.vertices) {
        if (!Finite(v.position) || !Finite(v.normal) || !Finite(v.frontUV) || !Finite(v.sideUV) ||
            !Finite(v.modelUV)) {
            Refuse(QStringLiteral("The head mesh holds a number that is not finite."));
        }
    }
    content.mesh = std::move(decoded.mesh);
    content.numMaterials = decoded.numMaterials;
}

// ---- Photo sections ----------------------------------------------------------------------

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// The whole list is encoded first and written at once: a document holds tens of thousands of
// weights, too many for a call to the archive each.
void WriteWeights(Archive& ar, const FeaturePoint& point) {
    ar.WriteCount(static_cast<uint32_t>(point.weights.size()));
    std::vector<uint8_t> encoded;
    encoded.reserve(point.weights.size() * 10);
    for (const auto& [vertex, weight] : point.weights) {
        if (vertex < 0xFFFF) {
            PutLittleEndian(encoded, vertex, 2);
        } else {
            PutLittleEndian(encoded, 0xFFFF, 2);
            PutLittleEndian(encoded, vertex, 4);
        }
        PutLittleEndian(encoded, std::bit_cast<uint32_t>(weight), 4);
    }
    ar.WriteBytes(encoded.data(), static_cast<qint64>(encoded.size()));
}

// Encodes the photo as JPEG after an 8-byte length that is filled in once the size is known.
void EncodePhoto(Archive& ar, const QImage& image) {
    QIODevice& file = ar.Device();
    const qint64 start = file.pos();
    ar.WriteBytes("\0\0\0\0\0\0\0\0", 8);
    ar.Flush();
    {
        CSubStream window(file);
        window.open(QIODevice::WriteOnly);
        QImageWriter writer(&window, QByteArrayLiteral("jpeg"));
        if (!writer.write(image)) {
            throw MessageException(
                QStringLiteral("Error saving photo: %1").arg(writer.errorString()));
        }
    }
    const qint64 end = file.size();
    if (!file.seek(start)) {
        throw ArchiveException(ArchiveException::Cause::Generic);
    }
    const quint64 length = static_cast<quint64>(end - start - 8);
    ar.WriteU32(static_cast<uint32_t>(length));
    ar.WriteU32(static_cast<uint32_t>(length >> 32));
    ar.Flush();
    if (!file.seek(end)) {
        throw ArchiveException(ArchiveException::Cause::Generic);
    }
}

void WritePhoto(Archive& ar, const QImage& image, const QByteArray& jpegBytes) {
    ar.WriteU8(image.isNull() ? 0 : 1);
    if (image.isNull()) {
        return;
    }
    if (jpegBytes.isEmpty()) {
        EncodePhoto(ar, image);
        return;
    }
    const quint64 length = static_cast<quint64>(jpegBytes.size());
    ar.WriteU32(static_cast<uint32_t>(length));
    ar.WriteU32(static_cast<uint32_t>(length >> 32));
    ar.WriteBytes(jpegBytes.constData(), jpegBytes.size());
}

void WritePhotoSection(Archive& ar, const DocumentSource& source, int p) {
    for (const FeaturePoint& point : source.points[p]) {
        WriteWeights(ar, point);
    }
    ar.WriteFloat(source.modelOffset[p].x);
    ar.WriteFloat(source.modelOffset[p].y);
    const Box& box = source.box[p];
    for (float edge : {box.left, box.top, box.right, box.bottom}) {
        ar.WriteFloat(edge);
    }
    ar.WriteCount(static_cast<uint32_t>(source.pointPositions[p].size()));
    for (const Vec2& position : source.pointPositions[p]) {
        ar.WriteFloat(position.x);
        ar.WriteFloat(position.y);
    }
    WritePhoto(ar, *source.photos[p], *source.jpegBytes[p]);
}

void ReadWeights(Archive& ar, FeaturePoint& point, uint32_t vertexCount, int p) {
    const uint32_t count = ReadCheckedCount(ar, 6);
    point.weights.clear();
    point.weights.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t vertex = ar.ReadCount();
        const float weight = ReadFiniteFloat(ar, "weight list");
        if (vertex >= vertexCount) {
            Refuse(QStringLiteral("A %1 point's weight names vertex %2; the mesh has %3.")
                       .arg(QLatin1String(kPhotoNames[p]))
                       .arg(vertex)
                       .arg(vertexCount));
        }
        point.weights.Set(vertex, weight); // a repeated vertex replaces the earlier value
    }
}

Photo ReadPhoto(Archive& ar, int p) {
    const uint64_t low = ar.ReadU32();
    const uint64_t length = low | uint64_t{ar.ReadU32()} << 32;
    if (length > static_cast<uint64_t>(ar.BytesLeft())) {
        throw ArchiveException(ArchiveException::Cause::EndOfFile);
    }
    QIODevice& file = ar.Device();
    const qint64 start = file.pos();
    QByteArray bytes;
    {
        CSubStream window(file, length);
        window.open(QIODevice::ReadOnly);
        bytes = window.readAll();
    }
    if (static_cast<uint64_t>(bytes.size()) != length) {
        throw ArchiveException(ArchiveException::Cause::EndOfFile);
    }
    if (!JpegDataComplete(bytes)) {
        throw MessageException(QStringLiteral("The %1 photo's JPEG data is incomplete.")
                                   .arg(QLatin1String(kPhotoNames[p])));
    }
    Photo photo = DecodePhotoData(bytes);
    // Behind the photo, however much of it the decoder looked at.
    if (!file.seek(start + static_cast<qint64>(length))) {
        throw ArchiveException(ArchiveException::Cause::EndOfFile);
    }
    return photo;
}

void ReadPhotoSection(Archive& ar, DocumentContent& content, int p) {
    const QLatin1String name(kPhotoNames[p]);
    for (FeaturePoint& point : content.featureSet.points[p]) {
        ReadWeights(ar, point, content.mesh.VertexCount(), p);
    }
    content.modelOffset[p] = ReadPoint(ar, "model offset");
    Box& box = content.box[p];
    box.left = ReadFiniteFloat(ar, "box");
    box.top = ReadFiniteFloat(ar, "box");
    box.right = ReadFiniteFloat(ar, "box");
    box.bottom = ReadFiniteFloat(ar, "box");
    if (box.Width() == 0 || box.Height() == 0) {
        Refuse(QStringLiteral("The %1 photo's box has no width or no height.").arg(name));
    }
    const uint32_t count = ReadCheckedCount(ar, 8);
    if (count != content.featureSet.points[p].size()) {
        Refuse(QStringLiteral("The %1 photo has %2 point positions for %3 feature points.")
                   .arg(name)
                   .arg(count)
                   .arg(content.featureSet.points[p].size()));
    }
    content.pointPositions[p].resize(count);
    for (Vec2& position : content.pointPositions[p]) {
        position = ReadPoint(ar, "point position list");
    }
    if (ar.ReadU8() != 0) {
        content.photos[p] = ReadPhoto(ar, p);
    }
}

// ---- Whole file --------------------------------------------------------------------------

// Versions a later program might write. Any other number in the first bytes (the start of a
// photo, a text or a glTF file) says that the file is no document of ours at all, which is
// what the user needs to hear rather than a version number made of its first two characters.
constexpr uint32_t kHighestPlausibleVersion = 255;

void ReadVersion(Archive& ar) {
    const uint32_t version = ar.ReadCount();
    if (version == kDocumentVersion) {
        return;
    }
    if (version == 0 || version > kHighestPlausibleVersion) {
        throw ArchiveException(ArchiveException::Cause::BadFormat,
                               QStringLiteral("This is not a Visomorf document."));
    }
    throw ArchiveException(
        ArchiveException::Cause::Generic,
        QStringLiteral("The document version %1 is not supported.").arg(version));
}

void CheckPointsAgainstMesh(const DocumentContent& content) {
    for (int p = 0; p < kPhotoCount; ++p) {
        for (const FeaturePoint& point : content.featureSet.points[p]) {
            if (point.vertexIndex >= content.mesh.VertexCount()) {
                Refuse(QStringLiteral("A %1 feature point is bound to vertex %2; the mesh has %3.")
                           .arg(QLatin1String(kPhotoNames[p]))
                           .arg(point.vertexIndex)
                           .arg(content.mesh.VertexCount()));
            }
        }
    }
}

} // namespace

DocumentSource SourceOf(const DocumentContent& content) {
    return {content.featureSet.points,
            content.featureSet.features,
            content.mesh,
            content.numMaterials,
            content.modelOffset,
            content.box,
            content.pointPositions,
            {&content.photos[Front].image, &content.photos[Side].image},
            {&content.photos[Front].jpegBytes, &content.photos[Side].jpegBytes},
            content.blendZoneWidth,
            content.blendZone,
            content.leftSide};
}

void WriteDocument(QIODevice& file, const DocumentSource& source) {
    Archive ar(file, Archive::Mode::Store, true);
    ar.WriteCount(kDocumentVersion);
    WriteFeatureSetBlock(ar, source.points, source.features);
    WriteMeshBlock(ar, source.mesh);
    for (int p = 0; p < kPhotoCount; ++p) {
        WritePhotoSection(ar, source, p);
    }
    ar.WriteFloat(source.blendZoneWidth);
    ar.WriteCount(static_cast<uint32_t>(source.blendZone.size()));
    for (const Vec2& point : source.blendZone) {
        ar.WriteFloat(point.x);
        ar.WriteFloat(point.y);
    }
    ar.WriteU8(source.leftSide ? 1 : 0);
    ar.Flush();
}

void WriteDocument(QIODevice& file, const DocumentContent& content) {
    WriteDocument(file, SourceOf(content));
}

DocumentContent ReadDocument(QIODevice& file) {
    if (file.size() == 0) {
        throw ArchiveException(ArchiveException::Cause::BadFormat,
                               QStringLiteral("The file is empty."));
    }
    Archive ar(file, Archive::Mode::Load);
    DocumentContent content;
    ReadVersion(ar);
    ReadFeatureSetBlock(ar, content.featureSet);
    ReadMeshBlock(ar, content);
    CheckPointsAgainstMesh(content);
    for (int p = 0; p < kPhotoCount; ++p) {
        ReadPhotoSection(ar, content, p);
    }
    content.blendZoneWidth = ReadFiniteFloat(ar, "blend zone");
    const uint32_t count = ReadCheckedCount(ar, 8);
    if (count == 0) {
        Refuse(QStringLiteral("The blend zone has no points."));
    }
    content.blendZone.resize(count);
    for (Vec2& point : content.blendZone) {
        point = ReadPoint(ar, "blend zone");
    }
    content.leftSide = ar.ReadU8() != 0;
    return content;
}

QByteArray ExtractMeshBlock(QIODevice& file) {
    Archive ar(file, Archive::Mode::Load);
    ReadVersion(ar);
    FeatureSet ignored;
    ReadFeatureSetBlock(ar, ignored);
    return ReadMeshBytes(ar);
}

bool JpegDataComplete(const QByteArray& bytes) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 4 || b[0] != 0xFF || b[1] != 0xD8) {
        return false;
    }
    qsizetype i = 2;
    while (i + 1 < size) {
        if (b[i] != 0xFF) {
            return false;
        }
        const uint8_t marker = b[i + 1];
        i += 2;
        if (marker == 0xFF) { // fill byte before a marker
            --i;
            continue;
        }
        if (marker == 0xD9) {
            return true;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue;
        }
        if (i + 2 > size) {
            return false;
        }
        const qsizetype length = qsizetype{b[i]} << 8 | b[i + 1];
        if (length < 2 || i + length > size) {
            return false;
        }
        i += length;
        if (marker != 0xDA) {
            continue;
        }
        // Entropy-coded data runs to the next marker that is neither a stuffed byte nor a
        // restart marker.
        while (i + 1 < size &&
               !(b[i] == 0xFF && b[i + 1] != 0x00 && !(b[i + 1] >= 0xD0 && b[i + 1] <= 0xD7))) {
            ++i;
        }
    }
    return false;
}

} // namespace vm
