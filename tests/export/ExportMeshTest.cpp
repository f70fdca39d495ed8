#include "export/ExportMesh.h"

#include "export/UVGeometry.h"

#include <gtest/gtest.h>
#include <map>

namespace vm {
namespace {

HeadVertex At(float x, float y, float u, float v) {
    HeadVertex vertex;
    vertex.position = {x, y, 0};
    vertex.modelUV = {u, v};
    vertex.diffuse = 0xFFFFFFFF;
    return vertex;
}

// A square cut along its diagonal by a texture seam: triangle 0 lies on the left of the
// texture, triangle 1 on the right; vertices 3 and 4 repeat 0 and 2 with the other side's
// coordinates.
Mesh SeamSquare() {
    Mesh mesh;
    mesh.vertices = {At(0, 0, 0.0f, 0.0f), At(1, 0, 0.4f, 0.0f), At(1, 1, 0.4f, 0.4f),
                     At(0, 0, 0.6f, 0.6f), At(1, 1, 1.0f, 1.0f), At(0, 1, 0.6f, 1.0f)};
    mesh.indices = {0, 1, 2, 3, 4, 5};
    mesh.attributes = {0, 0};
    return mesh;
}

// One refinement as the shared tables do it: topology by position (so the seam is welded), the
// new vertices mixed from whichever side comes first. This is the fault to be mended.
Mesh RefineAcrossSeams(const Mesh& base) {
    Mesh out;
    out.vertices = base.vertices;
    std::map<std::pair<std::pair<float, float>, std::pair<float, float>>, uint32_t> edges;
    auto key = [&](uint32_t v) {
        return std::make_pair(base.vertices[v].position.x, base.vertices[v].position.y);
    };
    auto edge = [&](uint32_t a, uint32_t b) {
        const auto ka = key(a), kb = key(b);
        const auto k = std::minmax(ka, kb);
        auto found = edges.find({k.first, k.second});
        if (found != edges.end())
            return found->second;
        HeadVertex mid = base.vertices[a];
        const HeadVertex& other = base.vertices[b];
        mid.position = (mid.position + other.position) * 0.5f;
        mid.modelUV = {(mid.modelUV.x + other.modelUV.x) / 2,
                       (mid.modelUV.y + other.modelUV.y) / 2};
        out.vertices.push_back(mid);
        const uint32_t index = static_cast<uint32_t>(out.vertices.size() - 1);
        edges[{k.first, k.second}] = index;
        return index;
    };
    for (uint32_t f = 0; f < base.FaceCount(); ++f) {
        const uint32_t p = base.indices[f * 3], q = base.indices[f * 3 + 1],
                       r = base.indices[f * 3 + 2];
        const uint32_t pq = edge(p, q), qr = edge(q, r), rp = edge(r, p);
        for (uint32_t i : {p, pq, rp, pq, q, qr, qr, r, rp, qr, rp, pq})
            out.indices.push_back(i);
    }
    // The table rule's smoothing moves the original corners' coordinates too.
    for (uint32_t i = 0; i < base.VertexCount(); ++i)
        out.vertices[i].modelUV.x += 0.01f;
    out.attributes.assign(out.FaceCount(), 0);
    return out;
}

TEST(RefinedCornerWeights, FollowTheFourWaySplit) {
    using W = std::array<float, 3>;
    EXPECT_EQ(RefinedCornerWeights(7, 1, 0), (W{0, 1, 0}));
    EXPECT_EQ(RefinedCornerWeights(0, 1, 1), (W{0.5f, 0.5f, 0}));
    EXPECT_EQ(RefinedCornerWeights(3, 0, 1), (W{0, 0.5f, 0.5f}));
    EXPECT_EQ(RefinedCornerWeights(6, 1, 1), (W{0, 0, 1})); // base face 1, child 2, corner r
    // Second level: child 1 of child 0 of base face 0, its corner q is the base's p-q midpoint.
    EXPECT_EQ(RefinedCornerWeights(1, 1, 2), (W{0.5f, 0.5f, 0}));
    EXPECT_EQ(RefinedCornerWeights(1, 0, 2), (W{0.75f, 0.25f, 0}));
}

TEST(BuildExportMesh, RefinedTrianglesStayInsideTheirBaseTriangle) {
    const Mesh base = SeamSquare();
    const Mesh medium = RefineAcrossSeams(base);
    const Mesh high = RefineAcrossSeams(medium);
    for (const Mesh* displayed : {&base, &medium, &high}) {
        const int level = RefinementLevel(*displayed, base);
        const Mesh out = BuildExportMesh(*displayed, base);
        ASSERT_EQ(out.FaceCount(), displayed->FaceCount());
        for (uint32_t f = 0; f < out.FaceCount(); ++f) {
            const uint32_t baseFace = f >> (2 * level);
            const UVTriangle place = FaceUV(base, baseFace);
            const UVTriangle piece = FaceUV(out, f);
            for (const Vec2& corner : piece.corners)
                EXPECT_TRUE(InsideTriangle(place, corner, 1e-6f))
                    << "level " << level << " face " << f;
            // The piece keeps its share of the base triangle's area: nothing is a sliver.
            EXPECT_NEAR(SignedArea(piece), SignedArea(place) / (1 << (2 * level)), 1e-6f);
        }
        EXPECT_EQ(CountOverlappingPairs(out, 1e-6f), 0u) << "level " << level;
    }
}

TEST(BuildExportMesh, SeamCopiesKeepTheirOwnCoordinatesAndTheRestWelds) {
    const Mesh base = SeamSquare();
    const Mesh out = BuildExportMesh(RefineAcrossSeams(base), base);
    // 3 corners + 3 edge points per side; the diagonal's midpoint exists on both sides.
    EXPECT_EQ(out.VertexCount(), 12u);
    int diagonalMidpoints = 0;
    for (const HeadVertex& v : out.vertices)
        if (v.position.x == 0.5f && v.position.y == 0.5f)
            ++diagonalMidpoints;
    EXPECT_EQ(diagonalMidpoints, 2);
}

TEST(BuildExportMesh, DropsTrianglesWithARepeatedIndex) {
    Mesh base = SeamSquare();
    base.indices = {0, 1, 2, 3, 4, 4, 3, 4, 5};
    base.attributes = {0, 0, 0};
    const Mesh out = BuildExportMesh(base, base);
    EXPECT_EQ(out.FaceCount(), 2u);
    for (uint32_t f = 0; f < out.FaceCount(); ++f) {
        const uint32_t* c = &out.indices[f * 3];
        EXPECT_TRUE(c[0] != c[1] && c[1] != c[2] && c[0] != c[2]);
    }
}

TEST(BuildExportMesh, WeldsVerticesEqualInEveryComponent) {
    Mesh base = SeamSquare();
    base.vertices.push_back(base.vertices[1]); // an exact duplicate of vertex 1
    base.indices = {0, 6, 2, 3, 4, 5};
    const Mesh out = BuildExportMesh(base, base);
    EXPECT_EQ(out.VertexCount(), 6u);
}

TEST(BuildExportMesh, RefusesAMeshThatIsNoRefinementOfTheBase) {
    const Mesh base = SeamSquare();
    Mesh odd = base;
    odd.indices.insert(odd.indices.end(), {0, 1, 5});
    EXPECT_ANY_THROW(BuildExportMesh(odd, base));
}

} // namespace
} // namespace vm
