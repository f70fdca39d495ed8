// Writing a mesh and reading it back, in every encoding the reader takes.
#include "platform/core/Exceptions.h"
#include "platform/xfile/XFileCompression.h"
#include "platform/xfile/XFileReader.h"
#include "platform/xfile/XFileTestMeshes.h"
#include "platform/xfile/XFileWriter.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace vm {
namespace {

void ExpectSameMesh(const Mesh& expected, const XFileMesh& actual) {
    ASSERT_EQ(actual.mesh.vertices.size(), expected.vertices.size());
    for (size_t i = 0; i < expected.vertices.size(); ++i) {
        ASSERT_TRUE(test::SameVertexBytes(expected.vertices[i], actual.mesh.vertices[i]))
            << "vertex " << i;
    }
    EXPECT_EQ(actual.mesh.indices, expected.indices);
    EXPECT_EQ(actual.mesh.attributes, expected.attributes);
    EXPECT_EQ(actual.numMaterials, expected.numMaterials);
    EXPECT_EQ(actual.mesh.numMaterials, expected.numMaterials);
    EXPECT_EQ(actual.mesh.fvf, kHeadVertexFvf);
}

struct Variant {
    XFileFormat format;
    bool doubleFloats;
    const char* header;
};

class XFileRoundTrip : public ::testing::TestWithParam<Variant> {};

TEST_P(XFileRoundTrip, EveryVertexByteFaceAndMaterialSurvives) {
    const Variant v = GetParam();
    const Mesh mesh = test::GridMesh(9, 7, 3);
    XFileWriteOptions options;
    options.format = v.format;
    options.doubleFloats = v.doubleFloats;
    const QByteArray file = WriteXFile(mesh, options);
    ASSERT_EQ(file.left(16), QByteArray(v.header));
    const XFileMesh read = ReadXFile(file);
    ExpectSameMesh(mesh, read);
    EXPECT_EQ(read.fileFvf, kHeadVertexFvf);
}

INSTANTIATE_TEST_SUITE_P(
    AllEncodings, XFileRoundTrip,
    ::testing::Values(Variant{XFileFormat::Text, false, "xof 0303txt 0032"},
                      Variant{XFileFormat::Text, true, "xof 0303txt 0064"},
                      Variant{XFileFormat::Binary, false, "xof 0303bin 0032"},
                      Variant{XFileFormat::Binary, true, "xof 0303bin 0064"},
                      Variant{XFileFormat::CompressedText, false, "xof 0303tzip0032"},
                      Variant{XFileFormat::CompressedText, true, "xof 0303tzip0064"},
                      Variant{XFileFormat::CompressedBinary, false, "xof 0303bzip0032"},
                      Variant{XFileFormat::CompressedBinary, true, "xof 0303bzip0064"}));

TEST(XFileRoundTripTest, SingleMaterialMeshWritesNoMaterialListAndReadsAsOne) {
    const Mesh mesh = test::GridMesh(4, 4, 1);
    XFileWriteOptions options;
    options.format = XFileFormat::Text;
    const QByteArray text = WriteXFile(mesh, options);
    EXPECT_FALSE(text.contains("MeshMaterialList"));
    ExpectSameMesh(mesh, ReadXFile(text));
}

TEST(XFileRoundTripTest, MultiBlockCompressionChainedAndIndependentAtEveryLevel) {
    const Mesh mesh = test::GridMesh(60, 50); // about 300 KiB of binary body
    for (int level : {0, 1, 6, 9}) {
        for (bool chain : {true, false}) {
            XFileWriteOptions options;
            options.chainBlocks = chain;
            options.compressionLevel = level;
            const QByteArray file = WriteXFile(mesh, options);
            ExpectSameMesh(mesh, ReadXFile(file));
            // The size field counts the header and the whole inflated body.
            options.format = XFileFormat::Binary;
            const QByteArray plain = WriteXFile(mesh, options);
            ASSERT_GT(plain.size(), 4 * 32768);
            const QByteArray body = InflateXFileBody(file.constData() + 16, file.size() - 16);
            EXPECT_EQ(body, plain.mid(16)) << "chain " << chain << " level " << level;
            if (level == 0) {
                EXPECT_GT(file.size(), plain.size()); // stored, not squeezed
            }
        }
    }
    XFileWriteOptions beyond;
    beyond.compressionLevel = 10;
    EXPECT_THROW(WriteXFile(mesh, beyond), CDXException);
}

TEST(XFileRoundTripTest, IndependentBlocksDecodeWithoutHistory) {
    const Mesh mesh = test::GridMesh(60, 50);
    XFileWriteOptions options;
    options.chainBlocks = false;
    const QByteArray file = WriteXFile(mesh, options);
    // Every block stands alone: re-wrap the second block as a one-block file body.
    const auto* p = reinterpret_cast<const unsigned char*>(file.constData()) + 20;
    const int firstPacked = p[2] | (p[3] << 8);
    const unsigned char* second = p + 4 + firstPacked;
    const int outSize = second[0] | (second[1] << 8);
    const int packed = second[2] | (second[3] << 8);
    QByteArray single;
    const uint32_t total = 16 + outSize;
    single.append(reinterpret_cast<const char*>(&total), 4);
    single.append(reinterpret_cast<const char*>(second), 4 + packed);
    EXPECT_EQ(InflateXFileBody(single.constData(), single.size()).size(), outSize);
}

// The generic head resource: positions, triangles and one texture set, nothing else.
TEST(XFileRoundTripTest, PositionsAndFirstTextureSetOnly) {
    const Mesh mesh = test::GridMesh(5, 4);
    XFileWriteOptions options;
    options.positionsAndFirstTextureSetOnly = true;
    options.format = XFileFormat::Text;
    const QByteArray text = WriteXFile(mesh, options);
    for (const char* absent : {"MeshNormals", "MeshVertexColors", "MeshMaterialList", "FVFData"}) {
        EXPECT_FALSE(text.contains(absent)) << absent;
    }
    for (XFileFormat format : {XFileFormat::Text, XFileFormat::CompressedBinary}) {
        options.format = format;
        const XFileMesh read = ReadXFile(WriteXFile(mesh, options));
        ASSERT_EQ(read.mesh.vertices.size(), mesh.vertices.size());
        EXPECT_EQ(read.fileFvf, FVF_XYZ | 0x100u);
        EXPECT_EQ(read.numMaterials, 1u);
        EXPECT_EQ(read.mesh.indices, mesh.indices);
        for (size_t i = 0; i < mesh.vertices.size(); ++i) {
            HeadVertex expected{};
            expected.position = mesh.vertices[i].position;
            expected.frontUV = mesh.vertices[i].frontUV;
            expected.diffuse = 0xFFFFFFFF;
            EXPECT_TRUE(test::SameVertexBytes(expected, read.mesh.vertices[i])) << i;
        }
    }
}

// The head resource's binary body is 24,876 bytes for 479 vertices and 916 triangles: the five
// templates and the unnamed mesh must take exactly that room.
TEST(XFileRoundTripTest, HeadResourceLayoutHasTheKnownSize) {
    Mesh mesh;
    mesh.vertices.resize(479);
    for (uint32_t f = 0; f < 916; ++f) {
        mesh.indices.insert(mesh.indices.end(), {f % 479, (f + 1) % 479, (f + 2) % 479});
    }
    XFileWriteOptions options;
    options.positionsAndFirstTextureSetOnly = true;
    options.format = XFileFormat::Binary;
    EXPECT_EQ(WriteXFile(mesh, options).size(), 24892);
    options.format = XFileFormat::CompressedBinary;
    const QByteArray compressed = WriteXFile(mesh, options);
    const auto* size = reinterpret_cast<const unsigned char*>(compressed.constData()) + 16;
    EXPECT_EQ(size[0] | (size[1] << 8) | (size[2] << 16), 24892);
}

// Other writers may cut short blocks that refer further back than the previous block: the
// reader keeps the last 32 KiB of all output as history.
TEST(XFileRoundTripTest, ShortBlocksReferIntoTheWholeRecentHistory) {
    QByteArray body;
    for (int i = 0; body.size() < 20000; ++i) {
        body += "3;" + QByteArray::number(i % 97) + "," + QByteArray::number(i % 89) + ";,";
    }
    QByteArray container;
    const uint32_t total = 16 + static_cast<uint32_t>(body.size());
    container.append(reinterpret_cast<const char*>(&total), 4);
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    constexpr int kBlock = 1000;
    for (qsizetype start = 0; start < body.size(); start += kBlock) {
        const auto size = static_cast<uInt>(std::min<qsizetype>(kBlock, body.size() - start));
        deflateReset(&z);
        if (start > 0) {
            const auto history = static_cast<uInt>(std::min<qsizetype>(start, 32768));
            deflateSetDictionary(
                &z, reinterpret_cast<const Bytef*>(body.constData()) + start - history, history);
        }
        Bytef out[4096];
        z.next_in = reinterpret_cast<Bytef*>(body.data() + start);
        z.avail_in = size;
        z.next_out = out;
        z.avail_out = sizeof out;
        ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        const uint16_t sizes[2] = {static_cast<uint16_t>(size),
                                   static_cast<uint16_t>(z.total_out + 2)};
        container.append(reinterpret_cast<const char*>(sizes), 4).append("CK", 2);
        container.append(reinterpret_cast<const char*>(out), static_cast<qsizetype>(z.total_out));
    }
    deflateEnd(&z);
    EXPECT_EQ(InflateXFileBody(container.constData(), container.size()), body);
}

// The children and codes the classic writer uses for a mesh of this vertex format.
TEST(XFileRoundTripTest, FullWriteUsesTheClassicChildrenInOrder) {
    XFileWriteOptions options;
    options.format = XFileFormat::Text;
    const QByteArray text = WriteXFile(test::GridMesh(3, 3, 2), options);
    qsizetype last = text.indexOf("\nMesh {");
    ASSERT_GE(last, 0);
    for (const char* child : {"MeshNormals {", "MeshTextureCoords {", "MeshVertexColors {",
                              "MeshMaterialList {", "FVFData {\n  514;\n  36;"}) {
        const qsizetype at = text.indexOf(child, last);
        EXPECT_GT(at, last) << child;
        last = at;
    }
    EXPECT_EQ(text.count("\n  Material {"), 2);
    EXPECT_EQ(text.count("template "), 13);
}

TEST(XFileRoundTripTest, MoreThan65535VerticesNeedWideIndices) {
    const Mesh small = test::GridMesh(4, 4);
    EXPECT_EQ(ReadXFile(WriteXFile(small)).mesh.options & MESH_32BIT, 0u);
    XFileWriteOptions options;
    options.format = XFileFormat::Binary;
    const Mesh large = test::GridMesh(300, 220); // 66,000 vertices
    const XFileMesh read = ReadXFile(WriteXFile(large, options));
    EXPECT_EQ(read.mesh.VertexCount(), 66000u);
    EXPECT_NE(read.mesh.options & MESH_32BIT, 0u);
    EXPECT_EQ(read.mesh.indices, large.indices);
}

TEST(XFileRoundTripTest, WriterRefusesMeshesNoReaderCouldTakeBack) {
    const Mesh good = test::GridMesh(3, 3, 2);
    Mesh badIndex = good;
    badIndex.indices[4] = good.VertexCount();
    Mesh badMaterial = good;
    badMaterial.attributes[0] = 2;
    Mesh badAttributeCount = good;
    badAttributeCount.attributes.pop_back();
    Mesh empty;
    for (const Mesh* mesh : {&badIndex, &badMaterial, &badAttributeCount, &empty}) {
        try {
            WriteXFile(*mesh);
            ADD_FAILURE() << "accepted a broken mesh";
        } catch (const CDXException& e) {
            EXPECT_EQ(e.Code(), hr::kInvalidCall);
        }
    }
}

} // namespace
} // namespace vm
