#include "platform/xfile/XFileReader.h"

#include "platform/xfile/XFileCompression.h"
#include "platform/xfile/XFileParser.h"
#include "platform/xfile/XFileTokenizer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace vm {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kNoColour = 0xFFFFFFFF;

[[noreturn]] void Fail(const QString& what) {
    throw XFileException(what);
}

bool IsType(const XObject& object, const char* type) {
    return object.type.compare(type, Qt::CaseInsensitive) == 0;
}

// --- Header -----------------------------------------------------------------------------

struct XHeader {
    bool binary = false;
    bool compressed = false;
    bool doubleFloats = false;
};

XHeader ParseHeader(const QByteArray& bytes) {
    if (bytes.size() < xfile::kHeaderSize || !bytes.startsWith("xof ")) {
        Fail(QStringLiteral("not a .x file: header missing"));
    }
    const QByteArray version = bytes.mid(4, 4);
    if (version != "0302" && version != "0303") {
        Fail(QStringLiteral("unsupported .x version"));
    }
    XHeader header;
    const QByteArray format = bytes.mid(8, 4);
    if (format == "txt " || format == "tzip") {
        header.binary = false;
    } else if (format == "bin " || format == "bzip") {
        header.binary = true;
    } else {
        Fail(QStringLiteral("unknown .x format"));
    }
    header.compressed = format.endsWith("zip");
    const QByteArray floatSize = bytes.mid(12, 4);
    if (floatSize != "0032" && floatSize != "0064") {
        Fail(QStringLiteral("unknown .x float size"));
    }
    header.doubleFloats = floatSize == "0064";
    return header;
}

// --- Reading numbers of an object ---------------------------------------------------------

class Values {
public:
    explicit Values(const XObject& object) : m_values(object.values), m_type(object.type) {}

    uint32_t Dword() {
        const XValue& v = Take();
        if (!v.isInteger) {
            Fail(QStringLiteral("%1: a whole number was expected").arg(Type()));
        }
        return static_cast<uint32_t>(v.number);
    }
    float Float() { return Take().single; }
    // A 32-bit value whose bits are a float (FVFData and DeclData).
    float FloatBits() { return std::bit_cast<float>(Dword()); }
    // Refuses counts that the numbers left cannot fill before anything is sized by them.
    void Require(uint64_t count, uint64_t numbersEach) const {
        if (count * numbersEach > m_values.size() - m_pos) {
            Fail(QStringLiteral("%1: count exceeds the data").arg(Type()));
        }
    }
    QString Type() const { return QString::fromLatin1(m_type); }

private:
    const XValue& Take() {
        if (m_pos >= m_values.size()) {
            Fail(QStringLiteral("%1: data ends early").arg(Type()));
        }
        return m_values[m_pos++];
    }

    const std::vector<XValue>& m_values;
    const QByteArray& m_type;
    size_t m_pos = 0;
};

// --- One Mesh object ------------------------------------------------------------------------

struct Polygons {
    std::vector<uint32_t> corners; // vertex index of every corner, polygon after polygon
    std::vector<uint32_t> sizes;   // corners per polygon
};

struct MeshPiece {
    std::vector<HeadVertex> vertices;
    Polygons polygons;
    std::vector<uint32_t> polygonMaterial;
    uint32_t numMaterials = 1;
    uint32_t fvf = FVF_XYZ;
    uint32_t textureSets = 0;
    // Normals by corner, from MeshNormals.
    std::vector<Vec3> normals;
    std::vector<uint32_t> cornerNormal;
};

Vec2* TextureSet(HeadVertex& v, uint32_t set) {
    switch (set) {
    case 0:
        return &v.frontUV;
    case 1:
        return &v.sideUV;
    case 2:
        return &v.modelUV;
    default:
        return nullptr;
    }
}

void NoteTextureSet(MeshPiece& piece, uint32_t set) {
    piece.textureSets = std::max(piece.textureSets, set + 1);
}

Polygons ReadPolygons(Values& in, uint32_t indexLimit) {
    Polygons p;
    const uint32_t count = in.Dword();
    in.Require(count, 4); // a corner count and three indices at least
    p.sizes.reserve(count);
    p.corners.reserve(static_cast<size_t>(count) * 3);
    for (uint32_t f = 0; f < count; ++f) {
        const uint32_t size = in.Dword();
        if (size < 3) {
            Fail(QStringLiteral("%1: a face has fewer than three corners").arg(in.Type()));
        }
        in.Require(size, 1);
        p.sizes.push_back(size);
        for (uint32_t k = 0; k < size; ++k) {
            const uint32_t index = in.Dword();
            if (index >= indexLimit) {
                Fail(QStringLiteral("%1: index out of range").arg(in.Type()));
            }
            p.corners.push_back(index);
        }
    }
    return p;
}

std::vector<Vec3> ReadVectors(Values& in, uint32_t count) {
    in.Require(count, 3);
    std::vector<Vec3> out(count);
    for (Vec3& v : out) {
        v.x = in.Float();
        v.y = in.Float();
        v.z = in.Float();
    }
    return out;
}

void ReadNormals(const XObject& object, MeshPiece& piece) {
    Values in(object);
    piece.normals = ReadVectors(in, in.Dword());
    Polygons faces = ReadPolygons(in, static_cast<uint32_t>(piece.normals.size()));
    if (faces.sizes != piece.polygons.sizes) {
        Fail(QStringLiteral("MeshNormals: faces differ from the mesh's faces"));
    }
    piece.cornerNormal = std::move(faces.corners);
    piece.fvf |= FVF_NORMAL;
}

void ReadTextureCoords(const XObject& object, MeshPiece& piece) {
    Values in(object);
    const uint32_t count = in.Dword();
    if (count != piece.vertices.size()) {
        Fail(QStringLiteral("MeshTextureCoords: count differs from the vertex count"));
    }
    in.Require(count, 2);
    for (HeadVertex& v : piece.vertices) {
        v.frontUV.x = in.Float();
        v.frontUV.y = in.Float();
    }
    NoteTextureSet(piece, 0);
}

uint32_t ColourChannel(float value) {
    const float clamped = std::clamp(value, 0.0f, 1.0f); // NaN stays NaN here
    return clamped >= 0.0f ? static_cast<uint32_t>(clamped * 255.0f + 0.5f) : 0;
}

void ReadVertexColours(const XObject& object, MeshPiece& piece) {
    Values in(object);
    const uint32_t count = in.Dword();
    in.Require(count, 5);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t index = in.Dword();
        if (index >= piece.vertices.size()) {
            Fail(QStringLiteral("MeshVertexColors: index out of range"));
        }
        const uint32_t r = ColourChannel(in.Float());
        const uint32_t g = ColourChannel(in.Float());
        const uint32_t b = ColourChannel(in.Float());
        const uint32_t a = ColourChannel(in.Float());
        piece.vertices[index].diffuse = (a << 24) | (r << 16) | (g << 8) | b;
    }
    piece.fvf |= FVF_DIFFUSE;
}

// Per-face material ids. Lists shorter than the face count (an old writer's habit, often a
// single id) repeat their last id.
void ReadMaterialList(const XObject& object, MeshPiece& piece) {
    Values in(object);
    const uint32_t numMaterials = in.Dword();
    const uint32_t count = in.Dword();
    const auto faceCount = static_cast<uint32_t>(piece.polygons.sizes.size());
    if (count > faceCount) {
        Fail(QStringLiteral("MeshMaterialList: more ids than faces"));
    }
    in.Require(count, 1);
    uint64_t materials = object.references;
    for (const XObject& child : object.children) {
        materials += IsType(child, "Material") ? 1 : 0;
    }
    if (materials < numMaterials) {
        Fail(QStringLiteral("MeshMaterialList: fewer materials than its count"));
    }
    const uint32_t limit = std::max(numMaterials, 1u);
    piece.polygonMaterial.assign(faceCount, 0);
    for (uint32_t f = 0; f < faceCount; ++f) {
        const uint32_t id = f < count ? in.Dword() : (f > 0 ? piece.polygonMaterial[f - 1] : 0);
        if (id >= limit) {
            Fail(QStringLiteral("MeshMaterialList: material id out of range"));
        }
        piece.polygonMaterial[f] = id;
    }
    piece.numMaterials = limit;
}

// Floats per texture set of a flexible vertex format (2, 3, 4 or 1).
uint32_t FvfTextureSize(uint32_t fvf, uint32_t set) {
    static const uint32_t kSizes[] = {2, 3, 4, 1};
    return kSizes[(fvf >> (16 + 2 * set)) & 3];
}

// FVFData: the vertex data of a flexible vertex format without the positions.
void ReadFvfData(const XObject& object, MeshPiece& piece, uint32_t firstSet) {
    Values in(object);
    const uint32_t fvf = in.Dword();
    const uint32_t count = in.Dword();
    constexpr uint32_t kPsize = 0x020;
    constexpr uint32_t kKnown = FVF_XYZ | FVF_NORMAL | kPsize | FVF_DIFFUSE | FVF_SPECULAR |
                                FVF_TEXCOUNT_MASK | 0xFFFF0000u;
    const uint32_t texCount = (fvf & FVF_TEXCOUNT_MASK) >> FVF_TEXCOUNT_SHIFT;
    if ((fvf & ~kKnown) != 0 || texCount > 8) {
        return; // a layout this program cannot place: the extra data is not used
    }
    uint64_t stride = (fvf & FVF_NORMAL ? 3 : 0) + (fvf & kPsize ? 1 : 0) +
                      (fvf & FVF_DIFFUSE ? 1 : 0) + (fvf & FVF_SPECULAR ? 1 : 0);
    for (uint32_t s = 0; s < texCount; ++s) {
        stride += FvfTextureSize(fvf, s);
    }
    if (count != stride * piece.vertices.size()) {
        Fail(QStringLiteral("FVFData: size differs from the vertex count"));
    }
    in.Require(count, 1);
    for (HeadVertex& v : piece.vertices) {
        if (fvf & FVF_NORMAL) {
            v.normal = {in.FloatBits(), in.FloatBits(), in.FloatBits()};
        }
        if (fvf & kPsize) {
            in.Dword();
        }
        if (fvf & FVF_DIFFUSE) {
            v.diffuse = in.Dword();
        }
        if (fvf & FVF_SPECULAR) {
            in.Dword();
        }
        for (uint32_t s = 0; s < texCount; ++s) {
            const uint32_t size = FvfTextureSize(fvf, s);
            Vec2 uv;
            uv.x = in.FloatBits();
            uv.y = size > 1 ? in.FloatBits() : 0.0f;
            for (uint32_t k = 2; k < size; ++k) {
                in.Dword();
            }
            if (Vec2* target = TextureSet(v, firstSet + s)) {
                *target = uv;
            }
        }
    }
    piece.fvf |= fvf & (FVF_NORMAL | FVF_DIFFUSE);
    if (texCount > 0) {
        NoteTextureSet(piece, firstSet + texCount - 1);
    }
}

struct DeclElement {
    uint32_t type, usage, usageIndex, bytes;
};

// DeclData: vertex elements, then the elements of every vertex interleaved.
void ReadDeclData(const XObject& object, MeshPiece& piece) {
    static const uint32_t kTypeBytes[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8, 0};
    Values in(object);
    const uint32_t elementCount = in.Dword();
    in.Require(elementCount, 4);
    std::vector<DeclElement> elements;
    uint64_t strideBytes = 0;
    for (uint32_t i = 0; i < elementCount; ++i) {
        DeclElement e{};
        e.type = in.Dword();
        in.Dword(); // method
        e.usage = in.Dword();
        e.usageIndex = in.Dword();
        if (e.type > xfile::DECLTYPE_UNUSED) {
            Fail(QStringLiteral("DeclData: unknown element type"));
        }
        e.bytes = kTypeBytes[e.type];
        strideBytes += e.bytes;
        elements.push_back(e);
    }
    const uint32_t count = in.Dword();
    if (count != strideBytes / 4 * piece.vertices.size()) {
        Fail(QStringLiteral("DeclData: size differs from the vertex count"));
    }
    in.Require(count, 1);
    for (HeadVertex& v : piece.vertices) {
        for (const DeclElement& e : elements) {
            const uint32_t dwords = e.bytes / 4;
            uint32_t used = 0;
            const bool floats = e.type <= xfile::DECLTYPE_FLOAT4;
            if (e.usage == xfile::DECLUSAGE_TEXCOORD && floats && TextureSet(v, e.usageIndex)) {
                Vec2* uv = TextureSet(v, e.usageIndex);
                uv->x = in.FloatBits();
                uv->y = dwords > 1 ? in.FloatBits() : 0.0f;
                used = std::min(dwords, 2u);
                NoteTextureSet(piece, e.usageIndex);
            } else if (e.usage == xfile::DECLUSAGE_NORMAL && e.type == xfile::DECLTYPE_FLOAT3) {
                v.normal = {in.FloatBits(), in.FloatBits(), in.FloatBits()};
                used = 3;
                piece.fvf |= FVF_NORMAL;
            } else if (e.usage == xfile::DECLUSAGE_COLOR && e.type == xfile::DECLTYPE_D3DCOLOR &&
                       e.usageIndex == 0) {
                v.diffuse = in.Dword();
                used = 1;
                piece.fvf |= FVF_DIFFUSE;
            }
            for (uint32_t k = used; k < dwords; ++k) {
                in.Dword();
            }
        }
    }
}

// Gives each corner its normal; a vertex whose corners disagree is copied for each other
// normal it meets.
void ApplyCornerNormals(MeshPiece& piece) {
    if (piece.cornerNormal.empty()) {
        return;
    }
    std::vector<uint32_t> assigned(piece.vertices.size(), kNone);
    std::unordered_map<uint64_t, uint32_t> copies;
    for (size_t i = 0; i < piece.polygons.corners.size(); ++i) {
        const uint32_t v = piece.polygons.corners[i];
        const uint32_t n = piece.cornerNormal[i];
        const Vec3& normal = piece.normals[n];
        if (assigned[v] == kNone) {
            assigned[v] = n;
            piece.vertices[v].normal = normal;
            continue;
        }
        const Vec3& current = piece.normals[assigned[v]];
        if (std::memcmp(&current, &normal, sizeof(Vec3)) == 0) {
            continue;
        }
        const uint64_t key = (static_cast<uint64_t>(v) << 32) | n;
        auto [it, isNew] = copies.try_emplace(key, static_cast<uint32_t>(piece.vertices.size()));
        if (isNew) {
            HeadVertex copy = piece.vertices[v];
            copy.normal = normal;
            piece.vertices.push_back(copy);
        }
        piece.polygons.corners[i] = it->second;
    }
}

MeshPiece ReadMeshObject(const XObject& object) {
    MeshPiece piece;
    Values in(object);
    const uint32_t vertexCount = in.Dword();
    const std::vector<Vec3> positions = ReadVectors(in, vertexCount);
    HeadVertex blank{};
    blank.diffuse = kNoColour;
    piece.vertices.assign(vertexCount, blank);
    for (uint32_t i = 0; i < vertexCount; ++i) {
        piece.vertices[i].position = positions[i];
    }
    piece.polygons = ReadPolygons(in, vertexCount);
    piece.polygonMaterial.assign(piece.polygons.sizes.size(), 0);
    const XObject* fvfData = nullptr;
    for (const XObject& child : object.children) {
        if (IsType(child, "MeshNormals")) {
            ReadNormals(child, piece);
        } else if (IsType(child, "MeshTextureCoords")) {
            ReadTextureCoords(child, piece);
        } else if (IsType(child, "MeshVertexColors")) {
            ReadVertexColours(child, piece);
        } else if (IsType(child, "MeshMaterialList")) {
            ReadMaterialList(child, piece);
        } else if (IsType(child, "DeclData")) {
            ReadDeclData(child, piece);
        } else if (IsType(child, "FVFData")) {
            fvfData = &child;
        }
    }
    if (fvfData) {
        ReadFvfData(*fvfData, piece, piece.textureSets > 0 ? 1 : 0);
    }
    ApplyCornerNormals(piece);
    return piece;
}

// --- Frames and the joined result -----------------------------------------------------------

struct Transform {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    bool identity = true;
};

// a then b, for row vectors.
Transform Combine(const Transform& a, const Transform& b) {
    if (a.identity) {
        return b;
    }
    if (b.identity) {
        return a;
    }
    Transform r;
    r.identity = false;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a.m[i][k] * b.m[k][j];
            }
            r.m[i][j] = sum;
        }
    }
    return r;
}

Vec3 Apply(const Transform& t, const Vec3& v, float w) {
    Vec3 r;
    r.x = v.x * t.m[0][0] + v.y * t.m[1][0] + v.z * t.m[2][0] + w * t.m[3][0];
    r.y = v.x * t.m[0][1] + v.y * t.m[1][1] + v.z * t.m[2][1] + w * t.m[3][1];
    r.z = v.x * t.m[0][2] + v.y * t.m[1][2] + v.z * t.m[2][2] + w * t.m[3][2];
    return r;
}

void TransformPiece(MeshPiece& piece, const Transform& t) {
    if (t.identity) {
        return;
    }
    for (HeadVertex& v : piece.vertices) {
        v.position = Apply(t, v.position, 1.0f);
        const Vec3 n = Apply(t, v.normal, 0.0f);
        const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        v.normal = length > 0 ? n * (1.0f / length) : n;
    }
}

class MeshJoiner {
public:
    void AddObject(const XObject& object, const Transform& parent) {
        if (IsType(object, "Mesh")) {
            MeshPiece piece = ReadMeshObject(object);
            TransformPiece(piece, parent);
            Append(piece);
        } else if (IsType(object, "Frame")) {
            Transform local = FrameMatrix(object);
            const Transform world = Combine(local, parent);
            for (const XObject& child : object.children) {
                AddObject(child, world);
            }
        }
    }

    XFileMesh Finish() {
        if (m_result.mesh.indices.empty()) {
            Fail(QStringLiteral("the file holds no mesh with faces"));
        }
        m_result.mesh.numMaterials = m_result.numMaterials;
        m_result.mesh.fvf = kHeadVertexFvf;
        const bool wide = m_result.mesh.vertices.size() > 0xFFFF;
        m_result.mesh.options = MESH_SYSTEMMEM | (wide ? uint32_t{MESH_32BIT} : 0u);
        m_result.fileFvf |= std::min(m_textureSets, 8u) << FVF_TEXCOUNT_SHIFT;
        return std::move(m_result);
    }

private:
    static Transform FrameMatrix(const XObject& frame) {
        Transform t;
        for (const XObject& child : frame.children) {
            if (IsType(child, "FrameTransformMatrix")) {
                Values in(child);
                in.Require(16, 1);
                for (auto& row : t.m) {
                    for (float& value : row) {
                        value = in.Float();
                    }
                }
                const Transform identity;
                t.identity = std::memcmp(t.m, identity.m, sizeof t.m) == 0;
            }
        }
        return t;
    }

    void Append(const MeshPiece& piece) {
        Mesh& mesh = m_result.mesh;
        const auto base = static_cast<uint32_t>(mesh.vertices.size());
        const uint32_t materialBase = m_first ? 0 : m_result.numMaterials;
        mesh.vertices.insert(mesh.vertices.end(), piece.vertices.begin(), piece.vertices.end());
        size_t corner = 0;
        for (size_t f = 0; f < piece.polygons.sizes.size(); ++f) {
            const uint32_t* c = piece.polygons.corners.data() + corner;
            for (uint32_t k = 1; k + 1 < piece.polygons.sizes[f]; ++k) {
                mesh.indices.insert(mesh.indices.end(),
                                    {base + c[0], base + c[k], base + c[k + 1]});
                mesh.attributes.push_back(materialBase + piece.polygonMaterial[f]);
            }
            corner += piece.polygons.sizes[f];
        }
        m_result.numMaterials = materialBase + piece.numMaterials;
        m_result.fileFvf |= piece.fvf;
        m_textureSets = std::max(m_textureSets, piece.textureSets);
        m_first = false;
    }

    XFileMesh m_result;
    uint32_t m_textureSets = 0;
    bool m_first = true;
};

} // namespace

XFileMesh ReadXFile(const QByteArray& bytes) {
    const XHeader header = ParseHeader(bytes);
    QByteArray inflated;
    const char* body = bytes.constData() + xfile::kHeaderSize;
    qsizetype bodySize = bytes.size() - xfile::kHeaderSize;
    if (header.compressed) {
        inflated = InflateXFileBody(body, bodySize);
        body = inflated.constData();
        bodySize = inflated.size();
    }
    XFileTokenizer tokens(body, bodySize, header.binary, header.doubleFloats);
    const std::vector<XObject> objects = ParseXFileBody(tokens);
    MeshJoiner joiner;
    for (const XObject& object : objects) {
        joiner.AddObject(object, Transform{});
    }
    return joiner.Finish();
}

} // namespace vm
