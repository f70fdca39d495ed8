#include "document/FeatureSetBlock.h"
#include "document/HeadResources.h"
#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"
#include "platform/xfile/XFileReader.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace vm {
namespace {

TEST(HeadResourcesLoader, BaseMeshTakesTheFileCoordinatesAndWhite) {
    const BaseMesh base = LoadBaseMesh();
    const XFileMesh file = ReadXFile(ReadResource(kHeadMeshResource));
    ASSERT_EQ(base.mesh.VertexCount(), 479u);
    ASSERT_EQ(base.mesh.FaceCount(), 916u);
    EXPECT_EQ(base.numMaterials, 1u);
    EXPECT_EQ(base.mesh.fvf, kHeadVertexFvf);
    for (uint32_t i = 0; i < 479; ++i) {
        const HeadVertex& v = base.mesh.vertices[i];
        EXPECT_EQ(v.diffuse, 0xFFFFFFFFu);
        EXPECT_EQ(v.modelUV.x, file.mesh.vertices[i].frontUV.x);
        EXPECT_EQ(v.modelUV.y, file.mesh.vertices[i].frontUV.y);
        EXPECT_EQ(v.frontUV.x, v.modelUV.x); // until the fitting computes photo coordinates
        EXPECT_EQ(v.position, file.mesh.vertices[i].position);
    }
    // Faces meet across the texture seam; only the 16 edges of the neck opening stay open.
    ASSERT_EQ(base.adjacency.size(), 3u * 916u);
    EXPECT_EQ(std::count(base.adjacency.begin(), base.adjacency.end(), kNoNeighbour), 16);
}

TEST(HeadResourcesLoader, DefaultFeatureSetIsReadWholeAndWrittenBack) {
    const QByteArray block = ReadResource(kFeatureSetResource);
    ASSERT_EQ(block.size(), 3172);
    const FeatureSet set = LoadDefaultFeatureSet();
    EXPECT_EQ(set.points[Front].size(), 157u);
    EXPECT_EQ(set.points[Side].size(), 124u);
    EXPECT_EQ(set.features[Front].size(), 19u);
    EXPECT_EQ(set.features[Side].size(), 13u);
    EXPECT_EQ(set.features[Front][0].children.size(), 11u); // 1, 2, 3 and 11 .. 18
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Archive archive(buffer, Archive::Mode::Store);
    WriteFeatureSetBlock(archive, set);
    EXPECT_EQ(buffer.data(), block);

    // The loader insists on the block ending with the bytes, and on every byte being there.
    EXPECT_THROW(LoadFeatureSet(block + QByteArray(1, '\0')), ArchiveException);
    try {
        LoadFeatureSet(block.left(block.size() - 1));
        ADD_FAILURE();
    } catch (const ArchiveException& e) {
        EXPECT_EQ(e.GetCause(), ArchiveException::Cause::EndOfFile);
    }
}

TEST(HeadResourcesLoader, MissingResourceIsAResultFailure) {
    try {
        ReadResource(QStringLiteral(":/data/no-such-table.bin"));
        ADD_FAILURE();
    } catch (const ResultException& e) {
        EXPECT_EQ(e.Code(), kResourceNotFound);
    }
}

} // namespace
} // namespace vm
