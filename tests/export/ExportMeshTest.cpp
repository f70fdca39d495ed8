#include "export/ExportMesh.h"

#include <gtest/gtest.h>

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
