#include "document/CVisomorfDoc.h"
#include "export/ExportModel.h"
#include "export/GltfWriter.h"
#include "platform/core/Exceptions.h"
#include "support/Files.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace vm {
namespace {

using test::ReadAll;

uint32_t U32At(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<uint32_t>(bytes.constData() + offset);
}

float FloatAt(const QByteArray& bytes, qsizetype offset) {
    return std::bit_cast<float>(U32At(bytes, offset));
}

// A GLB file taken apart by its own header, failing the test where the container is wrong.
struct Glb {
    QJsonObject json;
    QByteArray bin;
};

Glb ParseGlb(const QByteArray& file) {
    Glb glb;
    EXPECT_GE(file.size(), 28);
    EXPECT_EQ(file.left(4), QByteArray("glTF"));
    EXPECT_EQ(U32At(file, 4), 2u);
    EXPECT_EQ(U32At(file, 8), uint32_t(file.size()));
    const uint32_t jsonLength = U32At(file, 12);
    EXPECT_EQ(file.mid(16, 4), QByteArray("JSON"));
    EXPECT_EQ(jsonLength % 4, 0u);
    const QByteArray jsonText = file.mid(20, jsonLength);
    QJsonParseError error;
    glb.json = QJsonDocument::fromJson(jsonText, &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const qsizetype binAt = 20 + jsonLength;
    const uint32_t binLength = U32At(file, binAt);
    EXPECT_EQ(file.mid(binAt + 4, 4), QByteArray("BIN\0", 4));
    EXPECT_EQ(binLength % 4, 0u);
    EXPECT_EQ(binAt + 8 + binLength, file.size());
    glb.bin = file.mid(binAt + 8, binLength);
    return glb;
}

QByteArray ViewBytes(const QJsonObject& json, const QByteArray& buffer, int view) {
    const QJsonObject v = json["bufferViews"].toArray()[view].toObject();
    return buffer.mid(v["byteOffset"].toInteger(), v["byteLength"].toInteger());
}

struct ObjData {
    std::vector<Vec3> positions;
    std::vector<Vec2> uvs;
    std::vector<uint32_t> indices; // 0-based
};

ObjData ParseObj(const QByteArray& text) {
    ObjData obj;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> f = line.trimmed().split(' ');
        if (f[0] == "v") {
            obj.positions.push_back({f[1].toFloat(), f[2].toFloat(), f[3].toFloat()});
        } else if (f[0] == "vt") {
            obj.uvs.push_back({f[1].toFloat(), f[2].toFloat()});
        } else if (f[0] == "f") {
            for (int c = 1; c <= 3; ++c) {
                obj.indices.push_back(f[c].split('/')[0].toUInt() - 1);
            }
        }
    }
    return obj;
}

struct GltfExport : ::testing::Test {
    CVisomorfDoc doc;
    QTemporaryDir dir;
    ExportOptions options;
    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        options.width = options.height = 128;
    }
    QString PathOf(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

// The glTF export carries the OBJ export's geometry and texture: positions after the axis and
// unit change, texture coordinates with v turned, the same triangles, the same JPEG.
TEST_F(GltfExport, CarriesTheObjGeometryAndTextureAfterTheAxisAndUnitChange) {
    for (int32_t detail : {Low, Medium, High}) {
        SCOPED_TRACE(detail);
        ExportDocument(doc, PathOf("h.obj"), detail, options);
        ExportDocument(doc, PathOf("h.glb"), detail, options);
        const ObjData obj = ParseObj(ReadAll(PathOf("h.obj")));
        const Glb glb = ParseGlb(ReadAll(PathOf("h.glb")));
        const QJsonArray accessors = glb.json["accessors"].toArray();
        const size_t n = obj.positions.size();
        ASSERT_EQ(accessors[0].toObject()["count"].toInteger(), qint64(n));
        ASSERT_EQ(accessors[3].toObject()["count"].toInteger(), qint64(obj.indices.size()));

        const auto [low, high] =
            std::minmax_element(obj.positions.begin(), obj.positions.end(),
                                [](const Vec3& a, const Vec3& b) { return a.y < b.y; });
        const float scale = kGltfHeadHeightMetres / (high->y - low->y);
        const QByteArray positions = ViewBytes(glb.json, glb.bin, 0);
        const QByteArray uvs = ViewBytes(glb.json, glb.bin, 2);
        const QByteArray indices = ViewBytes(glb.json, glb.bin, 3);
        float minY = INFINITY, maxY = -INFINITY;
        for (size_t i = 0; i < n; ++i) {
            const Vec3 m = obj.positions[i];
            const Vec3 g{FloatAt(positions, 12 * i), FloatAt(positions, 12 * i + 4),
                         FloatAt(positions, 12 * i + 8)};
            // The OBJ prints six significant digits.
            const float tolerance = 2e-5f * 0.23f;
            ASSERT_NEAR(g.x, m.x * scale, tolerance) << i;
            ASSERT_NEAR(g.y, m.y * scale, tolerance) << i;
            ASSERT_NEAR(g.z, -m.z * scale, tolerance) << i;
            ASSERT_NEAR(FloatAt(uvs, 8 * i), obj.uvs[i].x, 1e-6f) << i;
            ASSERT_NEAR(FloatAt(uvs, 8 * i + 4), 1.0f - obj.uvs[i].y, 1e-6f) << i;
            minY = std::min(minY, g.y);
            maxY = std::max(maxY, g.y);
        }
        EXPECT_NEAR(maxY - minY, 0.23f, 1e-6f);
        // The same triangles, each with its turn reversed by the mirror.
        for (size_t k = 0; k < obj.indices.size(); ++k) {
            const size_t swapped = k % 3 == 0 ? k : k % 3 == 1 ? k + 1 : k - 1;
            ASSERT_EQ(qFromLittleEndian<uint16_t>(indices.constData() + 2 * swapped),
                      obj.indices[k])
                << k;
        }
        EXPECT_EQ(ViewBytes(glb.json, glb.bin, 4), ReadAll(PathOf("h.jpg")));
    }
}

// Viewers cull glTF's clockwise triangles and light by the normals: both must face outwards,
// and the face must look towards +z.
TEST_F(GltfExport, TrianglesAndNormalsFaceOutwardsAndTheFaceLooksTowardsPlusZ) {
    ExportDocument(doc, PathOf("h.glb"), Medium, options);
    const Glb glb = ParseGlb(ReadAll(PathOf("h.glb")));
    const QByteArray positions = ViewBytes(glb.json, glb.bin, 0);
    const QByteArray normals = ViewBytes(glb.json, glb.bin, 1);
    const QByteArray indices = ViewBytes(glb.json, glb.bin, 3);
    auto vec = [](const QByteArray& bytes, uint32_t i) {
        return Vec3{FloatAt(bytes, 12 * i), FloatAt(bytes, 12 * i + 4), FloatAt(bytes, 12 * i + 8)};
    };
    const auto count = uint32_t(positions.size() / 12);
    uint32_t front = 0; // the vertex furthest along +z: the nose tip
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_NEAR(Length(vec(normals, i)), 1.0f, 1e-5f) << i;
        if (vec(positions, i).z > vec(positions, front).z) {
            front = i;
        }
    }
    EXPECT_NEAR(vec(positions, front).x, 0.0f, 1e-4f);
    EXPECT_GT(vec(normals, front).z, 0.9f);
    uint32_t outwards = 0;
    const auto faces = uint32_t(indices.size() / 6);
    for (uint32_t f = 0; f < faces; ++f) {
        uint32_t c[3];
        for (int k = 0; k < 3; ++k) {
            c[k] = qFromLittleEndian<uint16_t>(indices.constData() + 6 * f + 2 * k);
        }
        const Vec3 a = vec(positions, c[0]);
        const Vec3 winding = Cross(vec(positions, c[1]) - a, vec(positions, c[2]) - a);
        const Vec3 normal = vec(normals, c[0]) + vec(normals, c[1]) + vec(normals, c[2]);
        outwards += Dot(winding, normal) > 0 ? 1 : 0;
    }
    EXPECT_GT(outwards, faces * 99 / 100);
}

TEST_F(GltfExport, MarksTheTexturedMaterialUnlitWithThePlainOneAsFallback) {
    ExportDocument(doc, PathOf("h.glb"), Low, options);
    const QJsonObject json = ParseGlb(ReadAll(PathOf("h.glb"))).json;
    EXPECT_EQ(json["asset"]["generator"].toString(), "Visomorf " VISOMORF_VERSION);
    const QJsonObject material = json["materials"][0].toObject();
    EXPECT_TRUE(material["extensions"].toObject().contains("KHR_materials_unlit"));
    EXPECT_FALSE(json.contains("extensionsRequired"));
    const QJsonObject pbr = material["pbrMetallicRoughness"].toObject();
    EXPECT_EQ(pbr["metallicFactor"].toDouble(), 0.0);
    EXPECT_EQ(pbr["roughnessFactor"].toDouble(), 1.0);
}

TEST_F(GltfExport, TextFormKeepsItsBufferAndTextureBesideItUnderEncodedNames) {
    ExportDocument(doc, PathOf("a.b c.gltf"), Low, options);
    ExportDocument(doc, PathOf("same.glb"), Low, options);
    QFile file(PathOf("a.b c.gltf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(json["buffers"][0]["uri"].toString(), "a.b%20c.bin");
    EXPECT_EQ(json["images"][0]["uri"].toString(), "a.b%20c.jpg");
    const QByteArray bin = ReadAll(PathOf("a.b c.bin"));
    EXPECT_EQ(json["buffers"][0]["byteLength"].toInteger(), bin.size());
    // The same buffer and texture as the binary form, only in files of their own.
    const Glb glb = ParseGlb(ReadAll(PathOf("same.glb")));
    EXPECT_EQ(bin, glb.bin.left(bin.size()));
    EXPECT_EQ(ReadAll(PathOf("a.b c.jpg")), ViewBytes(glb.json, glb.bin, 4));
}

TEST_F(GltfExport, FileThatCannotBeMadeIsReportedWithItsPath) {
    for (const char* name : {"missing/h.glb", "missing/h.gltf"}) {
        const QString path = PathOf(name);
        try {
            ExportModel(path, doc, options);
            ADD_FAILURE() << "no failure for " << name;
        } catch (const MessageException& e) {
            EXPECT_EQ(e.Message(), "Error opening file for writing:\r\n" + path +
                                       "\r\nNo such file or directory");
        }
    }
}

} // namespace
} // namespace vm
