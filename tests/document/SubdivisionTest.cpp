#include "document/Subdivision.h"

#include "document/SeamedDisk.h"
#include "platform/core/Exceptions.h"
#include "subdivgen/SubdivisionTableBuilder.h"
#include "support/LoopOracle.h"

#include <QByteArray>
#include <algorithm>
#include <gtest/gtest.h>

namespace vm {
namespace {

using test::ExpectMatchesOracle;
using test::LoopOracle;
using test::MakeSeamedDisk;

std::vector<uint32_t> Weld(const Mesh& mesh) {
    std::vector<Vec3> positions;
    for (const HeadVertex& v : mesh.vertices) {
        positions.push_back(v.position);
    }
    return WeldByPosition(positions);
}

int CountSharp(const SubdivisionStage& stage, uint32_t n) {
    int sharp = 0;
    for (uint32_t i = 0; i < n; ++i) {
        sharp += (DecodeVertexRule(stage.rules[i]).flags & kRuleSharp) ? 1 : 0;
    }
    return sharp;
}

TEST(SubdivisionTableBuilder, SeamedDiskCountsAndLayout) {
    const auto disk = MakeSeamedDisk();
    const uint32_t n = disk.mesh.VertexCount();
    const BuiltStage built = BuildSubdivisionStage(Weld(disk.mesh), disk.mesh.indices);
    const SubdivisionStage& stage = built.stage;

    EXPECT_EQ(stage.rules.size(), n + disk.edges);
    EXPECT_EQ(stage.indices.size(), 12 * disk.mesh.FaceCount());
    // Every welded edge is listed from both ends; each cut copy repeats its vertex's list.
    uint32_t copyValence = 0;
    const auto weld = Weld(disk.mesh);
    for (uint32_t i = 0; i < n; ++i) {
        if (weld[i] != i) {
            copyValence += DecodeVertexRule(stage.rules[i]).valence;
        }
    }
    EXPECT_EQ(stage.links.size(), 1 + 2 * disk.edges + copyValence);
    EXPECT_EQ(stage.links[0].vertex, 0);
    EXPECT_EQ(stage.links[0].next, 0u);
    // The rim's vertices plus the second copy of the cut vertex on the rim.
    EXPECT_EQ(CountSharp(stage, n), static_cast<int>(disk.boundaryEdges + 1));
    int open = 0;
    for (size_t i = n; i < stage.rules.size(); ++i) {
        const EdgeRule e = DecodeEdgeRule(stage.rules[i]);
        EXPECT_EQ(e.self, i);
        open += (e.c == kNoWing && e.d == kNoWing) ? 1 : 0;
    }
    EXPECT_EQ(open, static_cast<int>(disk.boundaryEdges));
}

TEST(SubdivisionTableBuilder, NeighbourListsPutRimFirstAndMatchAcrossTheCut) {
    const auto disk = MakeSeamedDisk();
    const auto weld = Weld(disk.mesh);
    const SubdivisionStage stage = BuildSubdivisionStage(weld, disk.mesh.indices).stage;
    auto list = [&](uint32_t i) {
        std::vector<uint16_t> out;
        const VertexRule rule = DecodeVertexRule(stage.rules[i]);
        for (uint32_t cell = rule.firstLink; cell != 0; cell = stage.links[cell].next) {
            out.push_back(stage.links[cell].vertex);
        }
        EXPECT_EQ(out.size(), rule.valence);
        return out;
    };
    for (uint32_t i = 0; i < weld.size(); ++i) {
        if (weld[i] != i) {
            EXPECT_EQ(list(i), list(weld[i])) << "copy " << i;
        }
        if (DecodeVertexRule(stage.rules[i]).flags & kRuleSharp) {
            // The first two neighbours are sharp (on the rim) too.
            const auto l = list(i);
            ASSERT_GE(l.size(), 2u);
            EXPECT_TRUE(DecodeVertexRule(stage.rules[l[0]]).flags & kRuleSharp);
            EXPECT_TRUE(DecodeVertexRule(stage.rules[l[1]]).flags & kRuleSharp);
        }
    }
}

TEST(SubdivisionTableBuilder, TwoStagesAgreeWithDirectLoopSubdivision) {
    const auto disk = MakeSeamedDisk(4, 7);
    const BuiltStage first = BuildSubdivisionStage(Weld(disk.mesh), disk.mesh.indices);
    const Mesh m1 = ApplySubdivisionStage(first.stage, disk.mesh);
    ExpectMatchesOracle(disk.mesh, m1, 1e-4f);

    // Both copies of a cut vertex land on exactly the same place, so the second stage can
    // be built from the welding the first one carries over.
    EXPECT_EQ(Weld(m1), first.outputWeld);
    std::vector<uint32_t> indices(m1.indices.begin(), m1.indices.end());
    const BuiltStage second = BuildSubdivisionStage(first.outputWeld, indices);
    const Mesh m2 = ApplySubdivisionStage(second.stage, m1);
    ExpectMatchesOracle(m1, m2, 1e-4f);
    EXPECT_EQ(CountSharp(second.stage, m1.VertexCount()), 2 * 7 + 1);
}

TEST(SubdivisionTableBuilder, RefusesNonManifoldAndBadWelding) {
    const std::vector<uint32_t> weld{0, 1, 2, 3, 4};
    const std::vector<uint32_t> fan{0, 1, 2, 0, 1, 3, 0, 1, 4};
    EXPECT_THROW(BuildSubdivisionStage(weld, fan), InvalidArgumentException);
    EXPECT_THROW(BuildSubdivisionStage({0, 1, 0, 1}, {0, 1, 2}), InvalidArgumentException);
    EXPECT_THROW(BuildSubdivisionStage({0, 1, 2}, {0, 1, 3}), InvalidArgumentException);
}

// A hand-made stage: input vertex 0 in the middle of a hexagon 1..6, plus an edge rule.
struct Hexagon {
    Mesh mesh;
    SubdivisionStage stage;
};

Hexagon MakeHexagon() {
    Hexagon h;
    h.mesh.vertices.resize(7);
    for (int i = 0; i < 7; ++i) {
        h.mesh.vertices[i].position = {static_cast<float>(i), static_cast<float>(10 * i), 1.0f};
        h.mesh.vertices[i].diffuse = 0xFFFFFFFF;
    }
    for (uint32_t k = 0; k < 6; ++k) {
        h.mesh.indices.insert(h.mesh.indices.end(), {0, 1 + k, 1 + (k + 1) % 6});
    }
    h.stage.links.resize(1);
    for (uint16_t v = 1; v <= 6; ++v) {
        h.stage.links.push_back({v, 0, v == 6 ? 0u : static_cast<uint32_t>(v + 1)});
    }
    h.stage.rules.push_back(EncodeVertexRule({1, 6, 0, 0}));
    for (uint32_t i = 1; i < 7; ++i) {
        h.stage.rules.push_back(EncodeVertexRule({0, 0, 0, i}));
    }
    h.stage.rules.push_back(EncodeEdgeRule({0, 1, 2, 6, 7}));
    h.stage.rules.push_back(EncodeEdgeRule({1, 2, kNoWing, kNoWing, 8}));
    // 24 output triangles: only the counts and bounds matter here.
    h.stage.indices.assign(72, 7);
    return h;
}

TEST(ApplySubdivisionStage, SmoothValenceSixKeepsFiveEighths) {
    Hexagon h = MakeHexagon();
    h.stage.rules[1] = EncodeVertexRule({0, 0, 0, 1});
    const Mesh out = ApplySubdivisionStage(h.stage, h.mesh);
    ASSERT_EQ(out.VertexCount(), 9u);
    // 5/8 of vertex 0 (at x = 0) and 1/16 of each neighbour: x = (1+...+6)/16.
    EXPECT_FLOAT_EQ(out.vertices[0].position.x, 21.0f / 16.0f);
    EXPECT_FLOAT_EQ(out.vertices[0].position.y, 210.0f / 16.0f);
    EXPECT_FLOAT_EQ(out.vertices[0].position.z, 1.0f);
    // Colour bytes sum truncated products: 159 + 6 * 15; alpha is cleared.
    EXPECT_EQ(out.vertices[0].diffuse, 0x00F9F9F9u);
    // Interior edge 3/8, 3/8, 1/8, 1/8 and boundary edge midpoint.
    EXPECT_FLOAT_EQ(out.vertices[7].position.x, 0.375f * 1 + 0.125f * (2 + 6));
    EXPECT_EQ(out.vertices[7].diffuse, 0x00FCFCFCu);
    EXPECT_FLOAT_EQ(out.vertices[8].position.x, 1.5f);
    EXPECT_EQ(out.vertices[8].diffuse, 0x00FEFEFEu);
}

TEST(ApplySubdivisionStage, SharpVertexNeedsTwoSharpNeighbours) {
    Hexagon h = MakeHexagon();
    h.stage.rules[0] = EncodeVertexRule({1, 6, kRuleSharp, 0});
    h.stage.rules[3] = EncodeVertexRule({0, 0, kRuleSharp, 3});
    const float smoothX = ApplySubdivisionStage(h.stage, h.mesh).vertices[0].position.x;
    EXPECT_FLOAT_EQ(smoothX, 21.0f / 16.0f); // one sharp neighbour: smooth rule

    h.stage.rules[5] = EncodeVertexRule({0, 0, kRuleSharp, 5});
    h.stage.rules[6] = EncodeVertexRule({0, 0, kRuleSharp, 6});
    const Mesh out = ApplySubdivisionStage(h.stage, h.mesh);
    // 3/4 of itself and 1/8 of the first two sharp neighbours in list order (3 and 5).
    EXPECT_FLOAT_EQ(out.vertices[0].position.x, 0.125f * 3 + 0.125f * 5);
    EXPECT_FLOAT_EQ(out.vertices[0].position.z, 1.0f);
    EXPECT_EQ(out.vertices[0].diffuse, 0x00FDFDFDu); // 191 + 31 + 31
}

TEST(ApplySubdivisionStage, RefusesRulesOutsideTheMesh) {
    const Mesh mesh = MakeHexagon().mesh;
    auto refused = [&](auto change) {
        Hexagon h = MakeHexagon();
        change(h.stage);
        EXPECT_THROW(ApplySubdivisionStage(h.stage, mesh), InvalidArgumentException);
    };
    refused([](SubdivisionStage& s) { s.links[3].next = 99; });  // cell beyond L
    refused([](SubdivisionStage& s) { s.links[2].vertex = 7; }); // neighbour beyond N
    refused([](SubdivisionStage& s) { s.links[6].next = 0, s.links[5].next = 0; }); // short list
    refused([](SubdivisionStage& s) { s.rules[7] = EncodeEdgeRule({0, 9, 2, 6, 7}); });
    refused([](SubdivisionStage& s) { s.rules[7] = EncodeEdgeRule({0, 1, 2, 7, 7}); });
    refused([](SubdivisionStage& s) { s.indices[5] = 9; });     // vertex beyond R
    refused([](SubdivisionStage& s) { s.indices.pop_back(); }); // not 4F triangles
    refused([](SubdivisionStage& s) { s.rules.resize(5); });    // fewer rules than N
    // A looping list ends after its valence instead of running forever...
    Hexagon h = MakeHexagon();
    h.stage.links[6].next = 1;
    EXPECT_NO_THROW(ApplySubdivisionStage(h.stage, mesh));
    // ...and a valence beyond the table's cells is refused rather than walked for billions of
    // steps around such a loop.
    h.stage.rules[0] = EncodeVertexRule({1, 0x7FFFFFF0, kRuleSharp, 0});
    EXPECT_THROW(ApplySubdivisionStage(h.stage, mesh), InvalidArgumentException);
    h.stage.rules[0] = EncodeVertexRule({1, 0x80000006, 0, 0}); // bit 31 is not part of it
    EXPECT_NO_THROW(ApplySubdivisionStage(h.stage, mesh));
}

TEST(SubdivisionStageCodec, RoundTripAndDamagedTables) {
    const auto disk = MakeSeamedDisk();
    const SubdivisionStage stage = BuildSubdivisionStage(Weld(disk.mesh), disk.mesh.indices).stage;
    const QByteArray bytes = EncodeSubdivisionStage(stage);
    EXPECT_EQ(bytes.size(),
              static_cast<qsizetype>(12 + 8 * stage.links.size() + 16 * stage.rules.size() +
                                     2 * stage.indices.size()));
    SubdivisionStage read;
    DecodeSubdivisionStage(bytes, read);
    EXPECT_EQ(EncodeSubdivisionStage(read), bytes);

    auto cause = [](const QByteArray& damaged) {
        SubdivisionStage s;
        s.links.resize(3);
        try {
            DecodeSubdivisionStage(damaged, s);
        } catch (const ArchiveException& e) {
            EXPECT_EQ(s.links.size(), 3u); // a refused table changes nothing
            return e.GetCause();
        }
        return ArchiveException::Cause::Generic;
    };
    EXPECT_EQ(cause(bytes.left(bytes.size() - 1)), ArchiveException::Cause::EndOfFile);
    EXPECT_EQ(cause(bytes + QByteArray(1, '\0')), ArchiveException::Cause::BadFormat);
    QByteArray lying = bytes;
    lying[3] = '\x7F'; // L near 2^31: refused before allocating
    EXPECT_EQ(cause(lying), ArchiveException::Cause::EndOfFile);
}

TEST(SubdivisionStageCreases, ListedVerticesSharpAndTouchingEdgesCreased) {
    const auto disk = MakeSeamedDisk();
    const uint32_t n = disk.mesh.VertexCount();
    const QByteArray bytes =
        EncodeSubdivisionStage(BuildSubdivisionStage(Weld(disk.mesh), disk.mesh.indices).stage);
    static const int32_t kList[] = {1, 4, -1};
    SubdivisionStage stage;
    stage.creaseLists[1] = kList; // slot 0 empty, as for an option that is off
    stage.creaseListCount = 3;
    LoadSubdivisionStage(bytes, stage, n);
    SubdivisionStage plain;
    DecodeSubdivisionStage(bytes, plain);

    EXPECT_TRUE(DecodeVertexRule(stage.rules[1]).flags & kRuleSharp);
    EXPECT_TRUE(DecodeVertexRule(stage.rules[4]).flags & kRuleSharp);
    EXPECT_FALSE(DecodeVertexRule(stage.rules[2]).flags & kRuleSharp);
    int creased = 0;
    for (uint32_t i = n; i < stage.rules.size(); ++i) {
        const EdgeRule before = DecodeEdgeRule(plain.rules[i]);
        const EdgeRule after = DecodeEdgeRule(stage.rules[i]);
        const bool touches = before.a == 1 || before.b == 1 || before.a == 4 || before.b == 4;
        EXPECT_EQ(after.c == after.d, touches || before.c == before.d) << "edge rule " << i;
        EXPECT_EQ(after.d, before.d);
        creased += touches ? 1 : 0;
    }
    EXPECT_GT(creased, 6);

    static const int32_t kTooFar[] = {2, 100000, -1};
    stage.creaseLists[2] = kTooFar;
    const auto rulesBefore = stage.rules.size();
    EXPECT_THROW(LoadSubdivisionStage(bytes, stage, n), InvalidArgumentException);
    EXPECT_EQ(stage.rules.size(), rulesBefore);
}

} // namespace
} // namespace vm
