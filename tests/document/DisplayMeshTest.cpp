// The flattened refinement against the rule-by-rule stage, and the displayed mesh's rebuilds.
#include "document/RefinementPlan.h"
#include "document/SeamedDisk.h"
#include "document/Subdivision.h"
#include "platform/core/Exceptions.h"
#include "subdivgen/SubdivisionTableBuilder.h"
#include "support/DocumentFixture.h"

#include <cstring>
#include <gtest/gtest.h>

namespace vm {
namespace {

std::vector<uint32_t> Weld(const Mesh& mesh) {
    std::vector<Vec3> positions;
    for (const HeadVertex& v : mesh.vertices) {
        positions.push_back(v.position);
    }
    return WeldByPosition(positions);
}

// Every vertex different in every field, colours included, so that a term taken from the wrong
// vertex or in the wrong order shows.
Mesh VariedDisk() {
    Mesh mesh = test::MakeSeamedDisk(4, 7).mesh;
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        HeadVertex& v = mesh.vertices[i];
        const auto f = static_cast<float>(i);
        v.normal = {0.1f * f, 1.0f / (f + 1), -0.3f};
        v.frontUV = {0.01f * f, 0.7f - 0.003f * f};
        v.sideUV = {0.5f + 0.002f * f, 1.0f / (f + 3)};
        v.diffuse = 0xFF000000u | static_cast<uint32_t>((i * 0x2F1B7) & 0xFFFFFF);
    }
    return mesh;
}

void ExpectBitwiseEqual(const Mesh& actual, const Mesh& expected) {
    ASSERT_EQ(actual.vertices.size(), expected.vertices.size());
    for (size_t i = 0; i < actual.vertices.size(); ++i) {
        ASSERT_EQ(std::memcmp(&actual.vertices[i], &expected.vertices[i], sizeof(HeadVertex)), 0)
            << "vertex " << i;
    }
    EXPECT_EQ(actual.indices, expected.indices);
    EXPECT_EQ(actual.numMaterials, expected.numMaterials);
}

class RefinementPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        input = VariedDisk();
        stage1 = BuildSubdivisionStage(Weld(input), input.indices);
        m1 = ApplySubdivisionStage(stage1.stage, input);
        const std::vector<uint32_t> indices(m1.indices.begin(), m1.indices.end());
        stage2 = BuildSubdivisionStage(stage1.outputWeld, indices).stage;
        m2 = ApplySubdivisionStage(stage2, m1);
    }
    Mesh input, m1, m2;
    BuiltStage stage1;
    SubdivisionStage stage2;
};

TEST_F(RefinementPlanTest, OneAndTwoStagesMatchTheRulesBitForBit) {
    const RefinementPlan plan1(stage1.stage, input.VertexCount());
    const RefinementPlan plan2(stage2, m1.VertexCount());
    MeshRefiner refiner;
    Mesh out;
    const RefinementPlan* plans[] = {&plan1, &plan2};
    refiner.Refine(input, plans, 1, out);
    ExpectBitwiseEqual(out, m1);
    refiner.Refine(input, plans, 2, out);
    ExpectBitwiseEqual(out, m2);
}

TEST_F(RefinementPlanTest, RefiningAgainReusesTheBuffersAndFollowsNewPositions) {
    const RefinementPlan plan1(stage1.stage, input.VertexCount());
    const RefinementPlan* plans[] = {&plan1};
    MeshRefiner refiner;
    Mesh out;
    refiner.Refine(input, plans, 1, out);
    const HeadVertex* storage = out.vertices.data();
    input.vertices[5].position.z += 3.0f;
    input.vertices[5].frontUV.x += 0.25f;
    refiner.Refine(input, plans, 1, out);
    EXPECT_EQ(out.vertices.data(), storage);
    ExpectBitwiseEqual(out, ApplySubdivisionStage(stage1.stage, input));
}

TEST_F(RefinementPlanTest, ColoursFollowChangedInputColoursAndCreases) {
    const RefinementPlan plain(stage1.stage, input.VertexCount());
    const RefinementPlan* plans[] = {&plain};
    MeshRefiner refiner;
    Mesh out;
    refiner.Refine(input, plans, 1, out);
    input.vertices[3].diffuse = 0xFF102030;
    refiner.Refine(input, plans, 1, out);
    ExpectBitwiseEqual(out, ApplySubdivisionStage(stage1.stage, input));

    // The same refiner with a re-read, creased stage must mix the colours again.
    static const int32_t kCrease[] = {1, 4, -1};
    SubdivisionStage creased;
    creased.creaseLists[0] = kCrease;
    creased.creaseListCount = 1;
    LoadSubdivisionStage(EncodeSubdivisionStage(stage1.stage), creased, input.VertexCount());
    const RefinementPlan sharp(creased, input.VertexCount());
    const RefinementPlan* sharpPlans[] = {&sharp};
    refiner.Refine(input, sharpPlans, 1, out);
    ExpectBitwiseEqual(out, ApplySubdivisionStage(creased, input));
}

TEST_F(RefinementPlanTest, TablesThatDoNotBelongToTheMeshAreRefused) {
    SubdivisionStage broken = stage1.stage;
    broken.links[1].vertex = static_cast<uint16_t>(input.VertexCount());
    EXPECT_THROW(RefinementPlan(broken, input.VertexCount()), InvalidArgumentException);
    broken = stage1.stage;
    broken.indices[0] = static_cast<uint16_t>(broken.rules.size());
    EXPECT_THROW(RefinementPlan(broken, input.VertexCount()), InvalidArgumentException);
    EXPECT_THROW(RefinementPlan(stage1.stage, static_cast<uint32_t>(stage1.stage.rules.size()) + 1),
                 InvalidArgumentException);

    // A plan for the right vertex count but another triangle list leaves the output alone.
    const RefinementPlan plan(stage1.stage, input.VertexCount());
    const RefinementPlan* plans[] = {&plan};
    Mesh fewer = input;
    fewer.indices.resize(fewer.indices.size() - 3);
    MeshRefiner refiner;
    Mesh out;
    EXPECT_THROW(refiner.Refine(fewer, plans, 1, out), InvalidArgumentException);
    EXPECT_TRUE(out.vertices.empty());
}

TEST(LoopVertexWeight, ValenceSixKeepsFiveEighths) {
    EXPECT_EQ(LoopVertexWeight(6), 0.375f);
    EXPECT_NEAR(LoopVertexWeight(3), 0.5625f, 1e-6f); // (40 - 4) / 64
}

TEST(DisplayMesh, LowDrawsTheEditableMeshAndRecomputesItsNormals) {
    CVisomorfDoc doc;
    test::MakeStripDocument(doc);
    for (HeadVertex& v : doc.editableMesh->vertices) {
        v.normal = {};
    }
    doc.RebuildDisplayMesh();
    EXPECT_EQ(doc.displayedMesh, doc.editableMesh);
    EXPECT_NEAR(Length(doc.editableMesh->vertices[3].normal), 1.0f, 1e-5f);
}

TEST(DisplayMesh, DeviceRefinementDrawsACopyMarkedForNPatches) {
    CVisomorfDoc doc;
    test::MakeStripDocument(doc);
    doc.hardwareNPatches = true;
    doc.modelDetail = High;
    doc.RebuildDisplayMesh();
    ASSERT_NE(doc.displayedMesh, doc.editableMesh);
    EXPECT_TRUE(doc.displayedMesh->options & MESH_NPATCHES);
    EXPECT_EQ(doc.displayedMesh->VertexCount(), doc.editableMesh->VertexCount());
    EXPECT_FALSE(doc.stage1Loaded); // the tables are not needed
}

} // namespace
} // namespace vm
