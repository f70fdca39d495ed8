// Reading hand-written .x files: the forms other writers produce.
#include "platform/xfile/XFileReader.h"

#include <cstring>
#include <gtest/gtest.h>

namespace vm {
namespace {

// A cube: 8 corners, 6 quads, one normal per side, two vertex colours, two materials (one
// inline with a texture name holding a ';', one by reference), comments and a Header object.
const char* const kCube = R"(xof 0303txt 0032
# a comment
template Vector {
 < 3D82AB5E-62DA-11CF-AB39-0020AF71E433 >
 FLOAT x; FLOAT y; FLOAT z;
}
Header { 1; 0; 1; }
Material Blue { 0.0;0.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
Mesh Cube {
 8;
 -1.0;-1.0;-1.0;, 1.0;-1.0;-1.0;, 1.0;1.0;-1.0;, -1.0;1.0;-1.0;,
 -1.0;-1.0;1.0;, 1.0;-1.0;1.0;, 1.0;1.0;1.0;, -1.0;1.0;1.0;;
 6;
 4;0,3,2,1;,  // -z
 4;4,5,6,7;,  // +z
 4;0,1,5,4;,  // -y
 4;3,7,6,2;,  // +y
 4;0,4,7,3;,  // -x
 4;1,2,6,5;;  // +x
 MeshNormals {
  6;
  0.0;0.0;-1.0;, 0.0;0.0;1.0;, 0.0;-1.0;0.0;, 0.0;1.0;0.0;, -1.0;0.0;0.0;, 1.0;0.0;0.0;;
  6;
  4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;;
 }
 MeshVertexColors { 2; 0;1.0;0.0;0.0;1.0;;, 6;0.1;0.5;2.0;-1.0;;; }
 MeshMaterialList {
  2; 6; 0,1,0,1,0,1;
  Material Red { 1.0;0.0;0.0;1.0;; 5.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;
   TextureFilename { "red;tex.png"; }
  }
  { Blue }
 }
})";

QByteArray Text(const char* body) {
    return QByteArray("xof 0303txt 0032\n") + body;
}

TEST(XFileReaderTest, CubeSplitsVerticesByNormalAndFansQuads) {
    const XFileMesh read = ReadXFile(QByteArray(kCube));
    const Mesh& mesh = read.mesh;
    // Each corner meets three sides with different normals: 8 originals + 16 copies.
    ASSERT_EQ(mesh.VertexCount(), 24u);
    ASSERT_EQ(mesh.FaceCount(), 12u);
    EXPECT_EQ(read.numMaterials, 2u);
    EXPECT_EQ(read.fileFvf, FVF_XYZ | FVF_NORMAL | FVF_DIFFUSE);
    EXPECT_EQ(mesh.attributes, (std::vector<uint32_t>{0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1}));
    // Originals come first and keep the first normal they meet; the fan starts at corner 0.
    EXPECT_EQ((std::vector<uint32_t>(mesh.indices.begin(), mesh.indices.begin() + 6)),
              (std::vector<uint32_t>{0, 3, 2, 0, 2, 1}));
    const Vec3 sideNormals[] = {{0, 0, -1}, {0, 0, 1},  {0, -1, 0},
                                {0, 1, 0},  {-1, 0, 0}, {1, 0, 0}};
    for (uint32_t f = 0; f < 12; ++f) {
        for (int k = 0; k < 3; ++k) {
            const HeadVertex& v = mesh.vertices[mesh.indices[3 * f + k]];
            EXPECT_EQ(v.normal, sideNormals[f / 2]) << "triangle " << f;
            EXPECT_EQ(std::abs(v.position.x), 1.0f);
        }
    }
    // Colours: clamped and rounded; copies share the original's colour; others white.
    for (const HeadVertex& v : mesh.vertices) {
        const Vec3 p = v.position;
        uint32_t expected = 0xFFFFFFFF;
        if (p == Vec3{-1, -1, -1}) {
            expected = 0xFFFF0000;
        } else if (p == Vec3{1, 1, 1}) {
            expected = 0x001A80FF;
        }
        EXPECT_EQ(v.diffuse, expected);
    }
}

TEST(XFileReaderTest, DeclDataFillsExtraTextureSetsAndNormals) {
    const XFileMesh read = ReadXFile(Text(R"(
Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
 MeshTextureCoords { 3; 0.1;0.2;, 0.3;0.4;, 0.5;0.6;; }
 DeclData { 3; 1;0;5;1;, 2;0;3;0;, 1;0;5;2;;
  21;
  1065353216,1073741824, 0,0,1065353216, 1077936128,1082130432,
  0,0, 0,1065353216,0, 0,0,
  0,0, 1065353216,0,0, 0,1056964608;
 }
})"));
    const Mesh& mesh = read.mesh;
    ASSERT_EQ(mesh.VertexCount(), 3u);
    EXPECT_EQ(read.fileFvf, FVF_XYZ | FVF_NORMAL | 0x300u);
    EXPECT_EQ(mesh.vertices[0].frontUV.y, 0.2f);
    EXPECT_EQ(mesh.vertices[0].sideUV.x, 1.0f);
    EXPECT_EQ(mesh.vertices[0].sideUV.y, 2.0f);
    EXPECT_EQ(mesh.vertices[0].normal, (Vec3{0, 0, 1}));
    EXPECT_EQ(mesh.vertices[0].modelUV.x, 3.0f);
    EXPECT_EQ(mesh.vertices[0].modelUV.y, 4.0f);
    EXPECT_EQ(mesh.vertices[1].normal, (Vec3{0, 1, 0}));
    EXPECT_EQ(mesh.vertices[2].modelUV.y, 0.5f);
}

TEST(XFileReaderTest, FramesTransformAndMeshesJoinWithMaterialOffsets) {
    const XFileMesh read = ReadXFile(Text(R"(
Frame Root {
 FrameTransformMatrix { 2.0,0,0,0, 0,2.0,0,0, 0,0,2.0,0, 10.0,0,0,1.0;; }
 Frame Child {
  FrameTransformMatrix { 1.0,0,0,0, 0,1.0,0,0, 0,0,1.0,0, 0,5.0,0,1.0;; }
  Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;;
   MeshNormals { 1; 0;0;3;; 1; 3;0,0,0;; }
  }
 }
}
Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;2,1,0;;
 MeshMaterialList { 2; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }
})"));
    const Mesh& mesh = read.mesh;
    ASSERT_EQ(mesh.VertexCount(), 6u);
    // Child then parent: (1,0,0) + (0,5,0), scaled by 2, moved by 10 in x.
    EXPECT_EQ(mesh.vertices[0].position, (Vec3{12, 10, 0}));
    EXPECT_EQ(mesh.vertices[2].position, (Vec3{10, 10, 2}));
    EXPECT_EQ(mesh.vertices[0].normal, (Vec3{0, 0, 1})); // transformed, then unit length
    EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 5, 4, 3}));
    // The first mesh has one (default) material; the second's ids follow it, and its short
    // id list repeats its last id.
    EXPECT_EQ(mesh.attributes, (std::vector<uint32_t>{0, 2, 2}));
    EXPECT_EQ(read.numMaterials, 3u);
}

TEST(XFileReaderTest, TolerantTextForms) {
    // 0064 header, no templates, "0;;" list ends, exponents, the NaN spelling, stray
    // separators, and an empty material list that still counts as one material.
    const XFileMesh read = ReadXFile(QByteArray("xof 0302txt 0064") + R"(Mesh{3;;
 1.5e1;-2.5E-1;-1.#IND00;, 0;0;0;, 1;1;1;;;
 1;
 3;0,1,2;;,
 MeshMaterialList { 0; 0;; }
})");
    const Mesh& mesh = read.mesh;
    ASSERT_EQ(mesh.VertexCount(), 3u);
    EXPECT_EQ(mesh.vertices[0].position, (Vec3{15.0f, -0.25f, 0.0f}));
    EXPECT_EQ(read.numMaterials, 1u);
    EXPECT_EQ(mesh.attributes, (std::vector<uint32_t>{0}));
    EXPECT_EQ(mesh.vertices[1].diffuse, 0xFFFFFFFFu);
}

// Binary as other writers produce it: zero-length names, single INTEGER records followed by
// separators, a string record, mixed lists.
TEST(XFileReaderTest, BinaryRecordForms) {
    QByteArray b("xof 0303bin 0032");
    auto u16 = [&](uint32_t v) { b.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    auto name = [&](const QByteArray& n) { u16(1), u32(uint32_t(n.size())), b.append(n); };
    auto floats = [&](std::initializer_list<float> values) {
        u16(7), u32(uint32_t(values.size()));
        for (float f : values) {
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            u32(bits);
        }
    };
    name("Mesh"), name(""), u16(10);
    u16(3), u32(3), u16(20); // INTEGER 3 ;
    floats({0, 0, 0, 1, 0, 0, 0, 1, 0});
    u16(6), u32(5), u32(1), u32(3), u32(0), u32(1), u32(2); // faces
    name("Unknown"), u16(10), u16(2), u32(3), b.append("abc"), u16(20), u16(11);
    name("MeshTextureCoords"), u16(10), u16(6), u32(1), u32(3);
    floats({0.25f, 0.5f, 0.75f, 1, 0, 0});
    u16(11), u16(11);
    const XFileMesh read = ReadXFile(b);
    ASSERT_EQ(read.mesh.VertexCount(), 3u);
    EXPECT_EQ(read.mesh.vertices[1].position, (Vec3{1, 0, 0}));
    EXPECT_EQ(read.mesh.vertices[1].frontUV.x, 0.75f);
    EXPECT_EQ(read.mesh.indices, (std::vector<uint32_t>{0, 1, 2}));
}

} // namespace
} // namespace vm
