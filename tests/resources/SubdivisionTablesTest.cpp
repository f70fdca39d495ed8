#include "document/HeadResources.h"
#include "document/Subdivision.h"
#include "support/LoopOracle.h"

#include <gtest/gtest.h>
#include <set>

namespace vm {
namespace {

struct TableFacts {
    const QString& resource;
    qsizetype bytes;
    size_t links, rules, inputVertices, indices;
    int sharp, boundaryEdges;
};

void ExpectTable(const TableFacts& facts) {
    const QByteArray bytes = ReadResource(facts.resource);
    EXPECT_EQ(bytes.size(), facts.bytes);
    SubdivisionStage stage;
    DecodeSubdivisionStage(bytes, stage);
    EXPECT_EQ(stage.links.size(), facts.links);
    EXPECT_EQ(stage.rules.size(), facts.rules);
    EXPECT_EQ(stage.indices.size(), facts.indices);
    // Cell 0 is never part of a list, so 0 can end one.
    EXPECT_EQ(stage.links[0].vertex, 0);
    EXPECT_EQ(stage.links[0].next, 0u);
    int sharp = 0, open = 0;
    size_t listed = 0;
    for (uint32_t i = 0; i < facts.inputVertices; ++i) {
        const VertexRule rule = DecodeVertexRule(stage.rules[i]);
        EXPECT_EQ(rule.self, i);
        sharp += (rule.flags & kRuleSharp) ? 1 : 0;
        listed += rule.valence;
        std::set<uint32_t> seen;
        for (uint32_t cell = rule.firstLink; cell != 0; cell = stage.links[cell].next) {
            ASSERT_TRUE(seen.insert(cell).second) << "list of " << i << " loops";
            ASSERT_LT(cell, stage.links.size());
            EXPECT_LT(stage.links[cell].vertex, facts.inputVertices);
        }
        EXPECT_EQ(seen.size(), rule.valence);
    }
    EXPECT_EQ(listed + 1, facts.links); // every cell but cell 0 belongs to exactly one list
    for (size_t i = facts.inputVertices; i < facts.rules; ++i) {
        const EdgeRule rule = DecodeEdgeRule(stage.rules[i]);
        EXPECT_EQ(rule.self, i);
        open += rule.c == kNoWing && rule.d == kNoWing ? 1 : 0;
    }
    EXPECT_EQ(sharp, facts.sharp);
    EXPECT_EQ(open, facts.boundaryEdges);
}

TEST(SubdivisionTables, CountsAndSizesOfBothStages) {
    ExpectTable({kStage1Resource, 74452, 2835, 1861, 479, 10992, 17, 16});
    ExpectTable({kStage2Resource, 294676, 11095, 7373, 1861, 43968, 33, 32});
}

class HeadRefinement : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        base = new BaseMesh(LoadBaseMesh());
        LoadSubdivisionStage(kStage1Resource, stage1, base->mesh.VertexCount());
        medium = new Mesh(ApplySubdivisionStage(stage1, base->mesh));
        LoadSubdivisionStage(kStage2Resource, stage2, medium->VertexCount());
    }
    static void TearDownTestSuite() {
        delete base;
        delete medium;
    }
    static BaseMesh* base;
    static Mesh* medium;
    static SubdivisionStage stage1, stage2;
};
BaseMesh* HeadRefinement::base = nullptr;
Mesh* HeadRefinement::medium = nullptr;
SubdivisionStage HeadRefinement::stage1;
SubdivisionStage HeadRefinement::stage2;

TEST_F(HeadRefinement, BothStagesGiveTheStatedSizesAndFollowLoopsRules) {
    EXPECT_EQ(medium->VertexCount(), 1861u);
    EXPECT_EQ(medium->FaceCount(), 3664u);
    const Mesh high = ApplySubdivisionStage(stage2, *medium);
    EXPECT_EQ(high.VertexCount(), 7373u);
    EXPECT_EQ(high.FaceCount(), 14656u);
    test::ExpectMatchesOracle(base->mesh, *medium, 2e-3f);
    test::ExpectMatchesOracle(*medium, high, 2e-3f);
}

TEST_F(HeadRefinement, FirstRowsFollowTheFirstFace) {
    const uint32_t p = base->mesh.indices[0], q = base->mesh.indices[1], r = base->mesh.indices[2];
    // Vertex 0, the crown, is an interior vertex whose list starts in cell 1.
    const VertexRule crown = DecodeVertexRule(stage1.rules[0]);
    EXPECT_EQ(crown.firstLink, 1u);
    EXPECT_FALSE(crown.flags & kRuleSharp);
    // The first edge rule is the first face's first edge; the face's 12 indices follow it.
    const EdgeRule first = DecodeEdgeRule(stage1.rules[479]);
    EXPECT_EQ(std::minmax<uint32_t>(first.a, first.b), std::minmax(p, q));
    EXPECT_EQ(first.c, r);
    const std::vector<uint16_t> head(stage1.indices.begin(), stage1.indices.begin() + 12);
    EXPECT_EQ(head[0], p);
    EXPECT_EQ(head[1], 479);
    EXPECT_EQ(head[4], q);
    EXPECT_EQ(head[7], r);
    EXPECT_EQ(head[9], head[5]);
    EXPECT_EQ(head[10], head[2]);
    EXPECT_EQ(head[11], head[1]);
}

TEST_F(HeadRefinement, WhiteHeadGivesTruncatedEdgeColoursWithoutAlpha) {
    for (uint32_t i = 479; i < medium->VertexCount(); ++i) {
        const EdgeRule rule = DecodeEdgeRule(stage1.rules[i]);
        const uint32_t expected = rule.c == rule.d ? 0x00FEFEFEu : 0x00FCFCFCu;
        ASSERT_EQ(medium->vertices[i].diffuse, expected) << "edge vertex " << i;
    }
    for (uint32_t i = 0; i < 479; ++i) {
        ASSERT_EQ(medium->vertices[i].diffuse >> 24, 0u);
    }
}

TEST_F(HeadRefinement, CopiesOfSeamVerticesStayTogether) {
    const auto& v = base->mesh.vertices;
    int pairs = 0;
    for (uint32_t i = 0; i < v.size(); ++i) {
        for (uint32_t j = i + 1; j < v.size(); ++j) {
            if (v[i].position == v[j].position) {
                ++pairs;
                EXPECT_EQ(medium->vertices[i].position, medium->vertices[j].position);
            }
        }
    }
    EXPECT_EQ(pairs, 12);
}

TEST_F(HeadRefinement, LipsCreaseMarksEveryEdgeTouchingTheLipLine) {
    SubdivisionStage lips;
    lips.creaseLists[1] = kSharpenLipsList;
    lips.creaseListCount = 3;
    LoadSubdivisionStage(kStage1Resource, lips, 479);
    const std::set<uint32_t> lipVertices(kSharpenLipsList, kSharpenLipsList + 7);
    int creased = 0;
    for (uint32_t i = 479; i < lips.rules.size(); ++i) {
        const EdgeRule plain = DecodeEdgeRule(stage1.rules[i]);
        const EdgeRule marked = DecodeEdgeRule(lips.rules[i]);
        const bool touches = lipVertices.count(plain.a) + lipVertices.count(plain.b) > 0;
        EXPECT_EQ(marked.c == marked.d, touches || plain.c == plain.d) << "edge rule " << i;
        creased += touches ? 1 : 0;
    }
    // Each lip vertex has at least 4 edges; the 6 edges along the line are counted twice.
    EXPECT_GE(creased, 7 * 4 - 6);
    for (uint32_t v : lipVertices) {
        EXPECT_TRUE(DecodeVertexRule(lips.rules[v]).flags & kRuleSharp);
    }
    // Inside the line a lip vertex follows only its two lip neighbours.
    const Mesh refined = ApplySubdivisionStage(lips, base->mesh);
    const auto& in = base->mesh.vertices;
    for (int k = 1; k < 6; ++k) {
        const auto v = static_cast<uint32_t>(kSharpenLipsList[k]);
        const auto before = static_cast<uint32_t>(kSharpenLipsList[k - 1]);
        const auto after = static_cast<uint32_t>(kSharpenLipsList[k + 1]);
        const Vec3 expected =
            in[v].position * 0.75f + (in[before].position + in[after].position) * 0.125f;
        test::ExpectNear(refined.vertices[v].position, expected, 1e-3f);
    }
}

} // namespace
} // namespace vm
