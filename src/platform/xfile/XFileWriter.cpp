#include "platform/xfile/XFileWriter.h"

#include "platform/xfile/XFileCompression.h"

#include <QList>
#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace vm {
namespace {

// --- Templates --------------------------------------------------------------------------------

struct TemplateDef {
    const char* name;
    const char* guid;
    const char* members; // member declarations in text form, one per ';'
};

const TemplateDef kVector = {"Vector", "3d82ab5e-62da-11cf-ab39-0020af71e433",
                             "FLOAT x; FLOAT y; FLOAT z;"};
const TemplateDef kMeshFace = {
    "MeshFace", "3d82ab5f-62da-11cf-ab39-0020af71e433",
    "DWORD nFaceVertexIndices; array DWORD faceVertexIndices[nFaceVertexIndices];"};
const TemplateDef kMesh = {"Mesh", "3d82ab44-62da-11cf-ab39-0020af71e433",
                           "DWORD nVertices; array Vector vertices[nVertices]; DWORD nFaces; "
                           "array MeshFace faces[nFaces]; [...]"};
const TemplateDef kCoords2d = {"Coords2d", "f6f23f44-7686-11cf-8f52-0040333594a3",
                               "FLOAT u; FLOAT v;"};
const TemplateDef kMeshTextureCoords = {
    "MeshTextureCoords", "f6f23f40-7686-11cf-8f52-0040333594a3",
    "DWORD nTextureCoords; array Coords2d textureCoords[nTextureCoords];"};
const TemplateDef kColorRGBA = {"ColorRGBA", "35ff44e0-6c7c-11cf-8f52-0040333594a3",
                                "FLOAT red; FLOAT green; FLOAT blue; FLOAT alpha;"};
const TemplateDef kColorRGB = {"ColorRGB", "d3e16e81-7835-11cf-8f52-0040333594a3",
                               "FLOAT red; FLOAT green; FLOAT blue;"};
const TemplateDef kIndexedColor = {"IndexedColor", "1630b820-7842-11cf-8f52-0040333594a3",
                                   "DWORD index; ColorRGBA indexColor;"};
const TemplateDef kMeshVertexColors = {
    "MeshVertexColors", "1630b821-7842-11cf-8f52-0040333594a3",
    "DWORD nVertexColors; array IndexedColor vertexColors[nVertexColors];"};
const TemplateDef kMeshNormals = {"MeshNormals", "f6f23f43-7686-11cf-8f52-0040333594a3",
                                  "DWORD nNormals; array Vector normals[nNormals]; "
                                  "DWORD nFaceNormals; array MeshFace faceNormals[nFaceNormals];"};
const TemplateDef kMaterial = {"Material", "3d82ab4d-62da-11cf-ab39-0020af71e433",
                               "ColorRGBA faceColor; FLOAT power; ColorRGB specularColor; "
                               "ColorRGB emissiveColor; [...]"};
const TemplateDef kMeshMaterialList = {
    "MeshMaterialList", "f6f23f42-7686-11cf-8f52-0040333594a3",
    "DWORD nMaterials; DWORD nFaceIndexes; array DWORD faceIndexes[nFaceIndexes]; "
    "[Material <3d82ab4d-62da-11cf-ab39-0020af71e433>]"};
const TemplateDef kFVFData = {"FVFData", "b6e70a0e-8ef9-4e83-94ad-ecc8b0c04897",
                              "DWORD dwFVF; DWORD nDWords; array DWORD data[nDWords];"};

std::vector<const TemplateDef*> TemplatesFor(bool full, bool materials) {
    std::vector<const TemplateDef*> list = {&kVector, &kMeshFace, &kMesh, &kCoords2d,
                                            &kMeshTextureCoords};
    if (full) {
        list.insert(list.end(),
                    {&kColorRGBA, &kIndexedColor, &kMeshVertexColors, &kMeshNormals, &kFVFData});
    }
    if (full && materials) {
        list.insert(list.end(), {&kColorRGB, &kMaterial, &kMeshMaterialList});
    }
    return list;
}

// Member declarations split at ';' (a trailing option "[...]" stays a piece of its own).
std::vector<QByteArray> MemberLines(const TemplateDef& t) {
    std::vector<QByteArray> lines;
    for (const QByteArray& piece : QByteArray(t.members).split(';')) {
        const QByteArray line = piece.trimmed();
        if (line.isEmpty()) {
            continue;
        }
        lines.push_back(line.startsWith('[') ? line : line + ';');
    }
    return lines;
}

// --- Little-endian output ---------------------------------------------------------------------

static_assert(std::endian::native == std::endian::little, "values are copied as stored");

void PutU16(QByteArray& out, uint32_t v) {
    const auto value = static_cast<uint16_t>(v);
    out.append(reinterpret_cast<const char*>(&value), 2);
}

void PutU32(QByteArray& out, uint32_t v) {
    out.append(reinterpret_cast<const char*>(&v), 4);
}

void PutName(QByteArray& out, const QByteArray& name) {
    PutU16(out, xfile::TOKEN_NAME);
    PutU32(out, static_cast<uint32_t>(name.size()));
    out.append(name);
}

// GUID record: Data1 (uint32), Data2, Data3 (uint16), then Data4's 8 bytes as written.
void PutGuid(QByteArray& out, const QByteArray& text) {
    const QList<QByteArray> parts = text.split('-');
    PutU16(out, xfile::TOKEN_GUID);
    PutU32(out, static_cast<uint32_t>(parts[0].toULong(nullptr, 16)));
    PutU16(out, parts[1].toUInt(nullptr, 16));
    PutU16(out, parts[2].toUInt(nullptr, 16));
    out.append(QByteArray::fromHex(parts[3] + parts[4]));
}

uint16_t TypeToken(const QByteArray& word) {
    static const char* const kTypes[] = {"WORD", "DWORD",  "FLOAT",   "DOUBLE",
                                         "CHAR", "UCHAR",  "SWORD",   "SDWORD",
                                         "VOID", "STRING", "UNICODE", "CSTRING"};
    for (uint16_t i = 0; i < std::size(kTypes); ++i) {
        if (word == kTypes[i]) {
            return static_cast<uint16_t>(xfile::TOKEN_WORD + i);
        }
    }
    return 0;
}

// One member declaration ("array DWORD data[nDWords];", "[...]", "[Material <guid>]") as
// binary tokens.
void PutMemberTokens(QByteArray& out, const QByteArray& line) {
    qsizetype i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ') {
            ++i;
        } else if (c == '<') {
            const qsizetype end = line.indexOf('>', i);
            PutGuid(out, line.mid(i + 1, end - i - 1));
            i = end + 1;
        } else if (std::isalnum(static_cast<unsigned char>(c))) {
            qsizetype end = i;
            while (end < line.size() && std::isalnum(static_cast<unsigned char>(line[end]))) {
                ++end;
            }
            const QByteArray word = line.mid(i, end - i);
            if (word == "array") {
                PutU16(out, xfile::TOKEN_ARRAY);
            } else if (const uint16_t type = TypeToken(word)) {
                PutU16(out, type);
            } else {
                PutName(out, word);
            }
            i = end;
        } else {
            static const char kPunct[] = "[].;";
            static const uint16_t kTokens[] = {xfile::TOKEN_OBRACKET, xfile::TOKEN_CBRACKET,
                                               xfile::TOKEN_DOT, xfile::TOKEN_SEMICOLON};
            PutU16(out, kTokens[std::strchr(kPunct, c) - kPunct]);
            ++i;
        }
    }
}

// --- Data sinks ---------------------------------------------------------------------------

// Receives the data of the objects in the shape of their templates, so that the text form can
// place its separators and the binary form can gather its number lists.
class DataSink {
public:
    virtual ~DataSink() = default;
    virtual void Templates(const std::vector<const TemplateDef*>& list) = 0;
    virtual void BeginObject(const char* type) = 0;
    virtual void EndObject() = 0;
    // A DWORD member.
    virtual void Dword(uint32_t value) = 0;
    // An array of DWORD.
    virtual void DwordArray(const std::vector<uint32_t>& values) = 0;
    // One element of an array of a struct with float members (Vector, Coords2d).
    virtual void FloatElement(std::initializer_list<float> values, bool last) = 0;
    // One MeshFace element.
    virtual void TriangleElement(const uint32_t* corners, bool last) = 0;
    // One IndexedColor element.
    virtual void ColourElement(uint32_t index, const std::array<float, 4>& rgba, bool last) = 0;
    // The members of a Material (face colour RGBA, power, specular RGB, emissive RGB).
    virtual void MaterialMembers(const std::array<float, 11>& values) = 0;
};

class BinarySink : public DataSink {
public:
    BinarySink(QByteArray& out, bool doubleFloats) : m_out(out), m_doubleFloats(doubleFloats) {}

    void Templates(const std::vector<const TemplateDef*>& list) override {
        for (const TemplateDef* t : list) {
            PutU16(m_out, xfile::TOKEN_TEMPLATE);
            PutName(m_out, t->name);
            PutU16(m_out, xfile::TOKEN_OBRACE);
            PutGuid(m_out, t->guid);
            for (const QByteArray& line : MemberLines(*t)) {
                PutMemberTokens(m_out, line);
            }
            PutU16(m_out, xfile::TOKEN_CBRACE);
        }
    }
    void BeginObject(const char* type) override {
        Flush();
        PutName(m_out, type);
        PutU16(m_out, xfile::TOKEN_OBRACE);
    }
    void EndObject() override {
        Flush();
        PutU16(m_out, xfile::TOKEN_CBRACE);
    }
    void Dword(uint32_t value) override { Int(value); }
    void DwordArray(const std::vector<uint32_t>& values) override {
        for (uint32_t v : values) {
            Int(v);
        }
    }
    void FloatElement(std::initializer_list<float> values, bool) override {
        for (float v : values) {
            Float(v);
        }
    }
    void TriangleElement(const uint32_t* corners, bool) override {
        Int(3);
        for (int k = 0; k < 3; ++k) {
            Int(corners[k]);
        }
    }
    void ColourElement(uint32_t index, const std::array<float, 4>& rgba, bool) override {
        Int(index);
        for (float v : rgba) {
            Float(v);
        }
    }
    void MaterialMembers(const std::array<float, 11>& values) override {
        for (float v : values) {
            Float(v);
        }
    }

private:
    // Consecutive numbers of one kind travel as one list, across member boundaries.
    void Int(uint32_t v) {
        if (!m_floats.empty()) {
            Flush();
        }
        m_ints.push_back(v);
    }
    void Float(float v) {
        if (!m_ints.empty()) {
            Flush();
        }
        m_floats.push_back(v);
    }
    void Flush() {
        if (!m_ints.empty()) {
            PutU16(m_out, xfile::TOKEN_INTEGER_LIST);
            PutU32(m_out, static_cast<uint32_t>(m_ints.size()));
            for (uint32_t v : m_ints) {
                PutU32(m_out, v);
            }
            m_ints.clear();
        }
        if (!m_floats.empty()) {
            PutU16(m_out, xfile::TOKEN_FLOAT_LIST);
            PutU32(m_out, static_cast<uint32_t>(m_floats.size()));
            for (float v : m_floats) {
                if (m_doubleFloats) {
                    const auto bits = std::bit_cast<uint64_t>(static_cast<double>(v));
                    PutU32(m_out, static_cast<uint32_t>(bits));
                    PutU32(m_out, static_cast<uint32_t>(bits >> 32));
                } else {
                    PutU32(m_out, std::bit_cast<uint32_t>(v));
                }
            }
            m_floats.clear();
        }
    }

    QByteArray& m_out;
    bool m_doubleFloats;
    std::vector<uint32_t> m_ints;
    std::vector<float> m_floats;
};

// Shortest digits that read back as the same float, never in exponent form (not every reader
// takes exponents), with at least six decimals like the classic "%f" output. Text cannot carry
// NaN or infinities; they are written as 0.
QByteArray FormatFloat(float value) {
    if (!std::isfinite(value)) {
        value = 0.0f;
    }
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    QByteArray text(buffer, r.ptr - buffer);
    qsizetype dot = text.indexOf('.');
    if (dot < 0) {
        dot = text.size();
        text.append('.');
    }
    while (text.size() - dot - 1 < 6) {
        text.append('0');
    }
    return text;
}

class TextSink : public DataSink {
public:
    explicit TextSink(QByteArray& out) : m_out(out) {}

    void Templates(const std::vector<const TemplateDef*>& list) override {
        for (const TemplateDef* t : list) {
            m_out += QByteArray("template ") + t->name + " {\n <" + t->guid + ">\n";
            for (const QByteArray& line : MemberLines(*t)) {
                m_out += " " + line + "\n";
            }
            m_out += "}\n\n";
        }
    }
    void BeginObject(const char* type) override {
        m_out += "\n" + Indent() + type + " {\n";
        ++m_depth;
    }
    void EndObject() override {
        --m_depth;
        m_out += Indent() + "}\n";
    }
    void Dword(uint32_t value) override { m_out += Indent() + QByteArray::number(value) + ";\n"; }
    void DwordArray(const std::vector<uint32_t>& values) override {
        for (size_t i = 0; i < values.size(); ++i) {
            m_out +=
                Indent() + QByteArray::number(values[i]) + (i + 1 == values.size() ? ";\n" : ",\n");
        }
    }
    void FloatElement(std::initializer_list<float> values, bool last) override {
        m_out += Indent();
        for (float v : values) {
            m_out += FormatFloat(v) + ';';
        }
        m_out += last ? ";\n" : ",\n";
    }
    void TriangleElement(const uint32_t* corners, bool last) override {
        m_out += Indent() + "3;" + QByteArray::number(corners[0]) + ',' +
                 QByteArray::number(corners[1]) + ',' + QByteArray::number(corners[2]) + ';' +
                 (last ? ";\n" : ",\n");
    }
    void ColourElement(uint32_t index, const std::array<float, 4>& rgba, bool last) override {
        m_out += Indent() + QByteArray::number(index) + ';';
        for (float v : rgba) {
            m_out += FormatFloat(v) + ';';
        }
        m_out += last ? ";;\n" : ";,\n";
    }
    void MaterialMembers(const std::array<float, 11>& v) override {
        auto group = [&](int from, int count) {
            m_out += Indent();
            for (int i = from; i < from + count; ++i) {
                m_out += FormatFloat(v[i]) + ';';
            }
            m_out += count > 1 ? ";\n" : "\n";
        };
        group(0, 4);
        group(4, 1);
        group(5, 3);
        group(8, 3);
    }

private:
    QByteArray Indent() const { return QByteArray(m_depth, ' '); }

    QByteArray& m_out;
    int m_depth = 0;
};

// --- Mesh -------------------------------------------------------------------------------------

void Refuse() {
    throw CDXException(hr::kInvalidCall);
}

bool UsesMaterialList(const Mesh& mesh) {
    if (mesh.numMaterials > 1) {
        return true;
    }
    for (uint32_t id : mesh.attributes) {
        if (id != 0) {
            return true;
        }
    }
    return false;
}

void CheckMesh(const Mesh& mesh) {
    const uint32_t vertexCount = mesh.VertexCount();
    if (vertexCount == 0 || mesh.indices.empty() || mesh.indices.size() % 3 != 0) {
        Refuse();
    }
    for (uint32_t index : mesh.indices) {
        if (index >= vertexCount) {
            Refuse();
        }
    }
    if (!mesh.attributes.empty() && mesh.attributes.size() != mesh.FaceCount()) {
        Refuse();
    }
    for (uint32_t id : mesh.attributes) {
        if (id >= std::max(mesh.numMaterials, 1u)) {
            Refuse();
        }
    }
}

void WritePositionsAndFaces(DataSink& sink, const Mesh& mesh) {
    const uint32_t n = mesh.VertexCount();
    sink.Dword(n);
    for (uint32_t i = 0; i < n; ++i) {
        const Vec3& p = mesh.vertices[i].position;
        sink.FloatElement({p.x, p.y, p.z}, i + 1 == n);
    }
    const uint32_t faces = mesh.FaceCount();
    sink.Dword(faces);
    for (uint32_t f = 0; f < faces; ++f) {
        sink.TriangleElement(&mesh.indices[3 * f], f + 1 == faces);
    }
}

void WriteNormals(DataSink& sink, const Mesh& mesh) {
    sink.BeginObject("MeshNormals");
    const uint32_t n = mesh.VertexCount();
    sink.Dword(n);
    for (uint32_t i = 0; i < n; ++i) {
        const Vec3& v = mesh.vertices[i].normal;
        sink.FloatElement({v.x, v.y, v.z}, i + 1 == n);
    }
    const uint32_t faces = mesh.FaceCount();
    sink.Dword(faces);
    for (uint32_t f = 0; f < faces; ++f) {
        sink.TriangleElement(&mesh.indices[3 * f], f + 1 == faces);
    }
    sink.EndObject();
}

void WriteTextureCoords(DataSink& sink, const Mesh& mesh) {
    sink.BeginObject("MeshTextureCoords");
    const uint32_t n = mesh.VertexCount();
    sink.Dword(n);
    for (uint32_t i = 0; i < n; ++i) {
        const Vec2& uv = mesh.vertices[i].frontUV;
        sink.FloatElement({uv.x, uv.y}, i + 1 == n);
    }
    sink.EndObject();
}

void WriteColours(DataSink& sink, const Mesh& mesh) {
    sink.BeginObject("MeshVertexColors");
    const uint32_t n = mesh.VertexCount();
    sink.Dword(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t c = mesh.vertices[i].diffuse;
        auto channel = [c](int shift) { return static_cast<float>((c >> shift) & 0xFF) / 255.0f; };
        sink.ColourElement(i, {channel(16), channel(8), channel(0), channel(24)}, i + 1 == n);
    }
    sink.EndObject();
}

// The mesh carries material ids only: each material is written as plain opaque white.
void WriteMaterialList(DataSink& sink, const Mesh& mesh) {
    sink.BeginObject("MeshMaterialList");
    const uint32_t materials = std::max(mesh.numMaterials, 1u);
    sink.Dword(materials);
    sink.Dword(mesh.FaceCount());
    std::vector<uint32_t> ids = mesh.attributes;
    ids.resize(mesh.FaceCount(), 0);
    sink.DwordArray(ids);
    for (uint32_t m = 0; m < materials; ++m) {
        sink.BeginObject("Material");
        sink.MaterialMembers({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0});
        sink.EndObject();
    }
    sink.EndObject();
}

// Texture sets 1 and 2 as the rest of an XYZ|TEX3 vertex after set 0.
void WriteFvfData(DataSink& sink, const Mesh& mesh) {
    constexpr uint32_t kRestFvf = FVF_XYZ | (2u << FVF_TEXCOUNT_SHIFT);
    sink.BeginObject("FVFData");
    sink.Dword(kRestFvf);
    std::vector<uint32_t> data;
    data.reserve(4 * mesh.vertices.size());
    for (const HeadVertex& v : mesh.vertices) {
        for (float f : {v.sideUV.x, v.sideUV.y, v.modelUV.x, v.modelUV.y}) {
            data.push_back(std::bit_cast<uint32_t>(f));
        }
    }
    sink.Dword(static_cast<uint32_t>(data.size()));
    sink.DwordArray(data);
    sink.EndObject();
}

QByteArray HeaderFor(const XFileWriteOptions& options) {
    static const char* const kFormats[] = {"txt ", "bin ", "tzip", "bzip"};
    return QByteArray("xof 0303") + kFormats[static_cast<int>(options.format)] +
           (options.doubleFloats ? "0064" : "0032");
}

} // namespace

QByteArray WriteXFile(const Mesh& mesh, const XFileWriteOptions& options) {
    CheckMesh(mesh);
    const bool full = !options.positionsAndFirstTextureSetOnly;
    const bool materials = full && UsesMaterialList(mesh);
    const bool text =
        options.format == XFileFormat::Text || options.format == XFileFormat::CompressedText;
    QByteArray body;
    std::unique_ptr<DataSink> sink;
    if (text) {
        body = "\n";
        sink = std::make_unique<TextSink>(body);
    } else {
        sink = std::make_unique<BinarySink>(body, options.doubleFloats);
    }
    sink->Templates(TemplatesFor(full, materials));
    sink->BeginObject("Mesh");
    WritePositionsAndFaces(*sink, mesh);
    if (full) {
        WriteNormals(*sink, mesh);
    }
    WriteTextureCoords(*sink, mesh);
    if (full) {
        WriteColours(*sink, mesh);
        if (materials) {
            WriteMaterialList(*sink, mesh);
        }
        WriteFvfData(*sink, mesh);
    }
    sink->EndObject();
    const bool compressed = options.format == XFileFormat::CompressedText ||
                            options.format == XFileFormat::CompressedBinary;
    return HeaderFor(options) +
           (compressed ? DeflateXFileBody(body, options.chainBlocks, options.compressionLevel)
                       : body);
}

} // namespace vm
