#include "platform/mesh/MeshServices.h"

#include "platform/core/Exceptions.h"

#include <gtest/gtest.h>
#include <random>

namespace vm {
namespace {

constexpr uint32_t N = kNoNeighbour;
constexpr float kHalfRoot2 = 0.70710678f;

HeadVertex At(float x, float y, float z, Vec2 modelUV = {}) {
    HeadVertex v{};
    v.position = {x, y, z};
    v.modelUV = modelUV;
    return v;
}

Mesh MakeMesh(std::vector<HeadVertex> vertices, std::vector<uint32_t> indices) {
    Mesh mesh;
    mesh.vertices = std::move(vertices);
    mesh.indices = std::move(indices);
    mesh.attributes.assign(mesh.indices.size() / 3, 0);
    return mesh;
}

void ExpectVecNear(const Vec3& actual, const Vec3& expected, float tol = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tol);
    EXPECT_NEAR(actual.y, expected.y, tol);
    EXPECT_NEAR(actual.z, expected.z, tol);
}

void ExpectInvalidCall(auto call) {
    try {
        call();
        ADD_FAILURE() << "no failure raised";
    } catch (const CDXException& e) {
        EXPECT_EQ(e.Code(), hr::kInvalidCall);
    }
}

// Two triangles of the unit square sharing the diagonal 0-2.
Mesh Square() {
    return MakeMesh({At(0, 0, 0), At(0, 1, 0), At(1, 1, 0), At(1, 0, 0)}, {0, 1, 2, 0, 2, 3});
}

// The same square cut along the diagonal by a texture seam: the second triangle has its own
// copies of the diagonal's ends, offset in position by `offset`.
Mesh SeamSquare(float offset) {
    return MakeMesh({At(0, 0, 0, {0, 0}), At(0, 1, 0, {0, 1}), At(1, 1, 0, {1, 1}),
                     At(1, 0, 0, {1, 0}), At(offset, 0, 0, {0.5f, 0}),
                     At(1, 1 + offset, 0, {0.5f, 1})},
                    {0, 1, 2, 4, 5, 3});
}

// A grid of size x size quads on a wavy surface, with every vertex of column `seam` duplicated
// so that the faces right of it use the copies (as a texture seam does).
Mesh SeamGrid(int size, int seam) {
    Mesh mesh;
    const int side = size + 1;
    auto id = [&](int i, int j) { return static_cast<uint32_t>(j * side + i); };
    for (int j = 0; j < side; ++j) {
        for (int i = 0; i < side; ++i) {
            mesh.vertices.push_back(
                At(float(i), float(j), std::sin(i * 0.7f) * std::cos(j * 0.4f)));
        }
    }
    std::vector<uint32_t> copyOf(mesh.vertices.size(), N);
    for (int j = 0; j < side; ++j) {
        copyOf[id(seam, j)] = mesh.VertexCount();
        mesh.vertices.push_back(mesh.vertices[id(seam, j)]);
        mesh.vertices.back().modelUV = {1, 0};
    }
    for (int j = 0; j < size; ++j) {
        for (int i = 0; i < size; ++i) {
            uint32_t q[4] = {id(i, j), id(i, j + 1), id(i + 1, j + 1), id(i + 1, j)};
            if (i == seam) {
                q[0] = copyOf[q[0]];
                q[1] = copyOf[q[1]];
            }
            mesh.indices.insert(mesh.indices.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
        }
    }
    mesh.attributes.assign(mesh.FaceCount(), 0);
    return mesh;
}

// Obvious quadratic adjacency: two faces meet on an edge whose ends lie within epsilon.
std::vector<uint32_t> BruteAdjacency(const Mesh& mesh, float epsilon) {
    auto same = [&](uint32_t a, uint32_t b) {
        const Vec3 d = mesh.vertices[a].position - mesh.vertices[b].position;
        return Dot(d, d) <= epsilon * epsilon;
    };
    std::vector<uint32_t> adjacency(mesh.indices.size(), N);
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        for (uint32_t k = 0; k < 3; ++k) {
            const uint32_t a = mesh.indices[f * 3 + k], b = mesh.indices[f * 3 + (k + 1) % 3];
            for (uint32_t g = 0; g < mesh.FaceCount() && adjacency[f * 3 + k] == N; ++g) {
                for (uint32_t m = 0; m < 3 && g != f; ++m) {
                    const uint32_t c = mesh.indices[g * 3 + m],
                                   d = mesh.indices[g * 3 + (m + 1) % 3];
                    if ((same(a, d) && same(b, c)) || (same(a, c) && same(b, d))) {
                        adjacency[f * 3 + k] = g;
                    }
                }
            }
        }
    }
    return adjacency;
}

TEST(MeshServices, CreateAndCloneCheckCountsAndFormats) {
    const Mesh mesh = CreateMesh(2, 4, MESH_SYSTEMMEM, kHeadVertexFvf);
    EXPECT_EQ(mesh.FaceCount(), 2u);
    EXPECT_EQ(mesh.VertexCount(), 4u);
    EXPECT_EQ(mesh.attributes, std::vector<uint32_t>(2, 0));
    EXPECT_EQ(mesh.vertices[3].position, (Vec3{0, 0, 0}));
    ExpectInvalidCall([] { CreateMesh(0, 4, MESH_SYSTEMMEM, kHeadVertexFvf); });
    ExpectInvalidCall([] { CreateMesh(1, 70000, MESH_SYSTEMMEM, kHeadVertexFvf); });
    EXPECT_EQ(CreateMesh(1, 70000, MESH_SYSTEMMEM | MESH_32BIT, kHeadVertexFvf).VertexCount(),
              70000u);
    ExpectInvalidCall([] { CreateMesh(1, 3, MESH_SYSTEMMEM, 0x0C2); }); // specular has no place

    Mesh loaded = SeamSquare(0);
    loaded.fvf = FVF_XYZ | FVF_NORMAL | (1u << FVF_TEXCOUNT_SHIFT);
    loaded.vertices[1].frontUV = {0.25f, 0.75f};
    loaded.vertices[1].diffuse = 0x12345678;
    const Mesh clone = CloneMesh(loaded, MESH_SYSTEMMEM | MESH_NPATCHES, kHeadVertexFvf);
    EXPECT_EQ(clone.fvf, kHeadVertexFvf);
    EXPECT_EQ(clone.options, MESH_SYSTEMMEM | MESH_NPATCHES);
    EXPECT_EQ(clone.indices, loaded.indices);
    EXPECT_EQ(clone.vertices[1].frontUV.y, 0.75f); // texture set 0 survives
    EXPECT_EQ(clone.vertices[1].diffuse, 0u);      // the source had no colours
    EXPECT_EQ(clone.vertices[2].modelUV.x, 0.0f);  // nor a third texture set

    Mesh big = CreateMesh(1, 70000, MESH_32BIT, kHeadVertexFvf);
    ExpectInvalidCall([&] { CloneMesh(big, MESH_SYSTEMMEM, kHeadVertexFvf); });
}

TEST(MeshServices, AdjacencyOfTwoTrianglesSharingAnEdge) {
    EXPECT_EQ(ComputeAdjacency(Square(), 0.01f), (std::vector<uint32_t>{N, N, 1, 0, N, N}));
}

TEST(MeshServices, AdjacencyJoinsSeamCopiesWithinEpsilonOnly) {
    const std::vector<uint32_t> joined{N, N, 1, 0, N, N};
    const std::vector<uint32_t> apart(6, N);
    EXPECT_EQ(ComputeAdjacency(SeamSquare(0), 0), joined);
    EXPECT_EQ(ComputeAdjacency(SeamSquare(0.005f), 0.01f), joined);
    EXPECT_EQ(ComputeAdjacency(SeamSquare(0.005f), 0.001f), apart);
    EXPECT_EQ(ComputeAdjacency(SeamSquare(0.05f), 0.01f), apart);
}

TEST(MeshServices, AdjacencyAcrossGridCellBoundaries) {
    // 0.0195 and 0.0205 lie in different epsilon cells but within epsilon of each other.
    Mesh mesh = SeamSquare(0);
    mesh.vertices[0].position.x = 0.0195f;
    mesh.vertices[4].position.x = 0.0205f;
    EXPECT_EQ(ComputeAdjacency(mesh, 0.01f), (std::vector<uint32_t>{N, N, 1, 0, N, N}));
    ExpectInvalidCall([&] { ComputeAdjacency(mesh, -1); });
    // Positions that are not numbers join nothing (and must not upset the grid).
    mesh.vertices[2].position.z = std::nanf("");
    mesh.vertices[3].position.y = INFINITY;
    EXPECT_EQ(ComputeAdjacency(mesh, 0.01f), std::vector<uint32_t>(6, N));
}

TEST(MeshServices, AdjacencyMatchesTheQuadraticOracleOnASeamGrid) {
    Mesh mesh = SeamGrid(12, 5);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-0.003f, 0.003f);
    for (HeadVertex& v : mesh.vertices) {
        v.position.x += jitter(random); // copies drift apart by less than epsilon
    }
    const std::vector<uint32_t> adjacency = ComputeAdjacency(mesh, 0.01f);
    EXPECT_EQ(adjacency, BruteAdjacency(mesh, 0.01f));
    EXPECT_EQ(std::count(adjacency.begin(), adjacency.end(), N), 4 * 12);
}

TEST(MeshServices, NormalsAreUnitAndEqualAcrossASeam) {
    // Two faces folded at a right angle along the y axis; the fold is a seam.
    Mesh mesh = MakeMesh({At(0, 0, 0), At(0, 1, 0), At(1, 0, 0), At(0, 0, 0, {1, 0}), At(0, 0, 1),
                          At(0, 1, 0, {1, 1})},
                         {0, 1, 2, 3, 4, 5});
    ComputeNormals(mesh, ComputeAdjacency(mesh, 0.01f));
    const Vec3 fold{-kHalfRoot2, 0, -kHalfRoot2};
    ExpectVecNear(mesh.vertices[0].normal, fold);
    ExpectVecNear(mesh.vertices[3].normal, fold);
    ExpectVecNear(mesh.vertices[1].normal, fold);
    ExpectVecNear(mesh.vertices[5].normal, fold);
    ExpectVecNear(mesh.vertices[2].normal, {0, 0, -1});
    ExpectVecNear(mesh.vertices[4].normal, {-1, 0, 0});

    // Copies that differ by less than the adjacency's epsilon still share one normal.
    mesh.vertices[3].position.y = 0.004f;
    ComputeNormals(mesh, ComputeAdjacency(mesh, 0.01f));
    ExpectVecNear(mesh.vertices[3].normal, mesh.vertices[0].normal);
}

TEST(MeshServices, NormalsDoNotDependOnHowAFaceIsCut) {
    // The x = 0 side is cut into two triangles at the shared corner; the corner's normal stays
    // halfway between the two planes.
    Mesh mesh = MakeMesh({At(0, 0, 0), At(0, 1, 0), At(1, 0, 0), At(0, 0, 1), At(0, 1, 1)},
                         {0, 1, 2, 0, 3, 4, 0, 4, 1});
    ComputeNormals(mesh, {});
    ExpectVecNear(mesh.vertices[0].normal, {-kHalfRoot2, 0, -kHalfRoot2});
}

TEST(MeshServices, NormalsOnAGridAreUnitLengthAndSeamless) {
    Mesh mesh = SeamGrid(10, 4);
    ComputeNormals(mesh, ComputeAdjacency(mesh, 0.01f));
    for (const HeadVertex& v : mesh.vertices) {
        EXPECT_NEAR(Length(v.normal), 1.0f, 1e-5f);
    }
    const uint32_t firstCopy = 11 * 11;
    for (uint32_t j = 0; j <= 10; ++j) {
        EXPECT_EQ(mesh.vertices[firstCopy + j].normal, mesh.vertices[j * 11 + 4].normal);
    }
    Mesh broken = Square();
    broken.indices[5] = 9;
    ExpectInvalidCall([&] { ComputeNormals(broken, {}); });
    ExpectInvalidCall([&] { ComputeNormals(mesh, {0, 1}); });
}

TEST(MeshServices, BoundingBoxAndSphere) {
    const std::vector<HeadVertex> points{At(0, 0, 0), At(2, 0, 0), At(0, 4, 0), At(0, 0, 6)};
    Vec3 min, max, centre;
    float radius = 0;
    ComputeBoundingBox(points.data(), 4, min, max);
    EXPECT_EQ(min, (Vec3{0, 0, 0}));
    EXPECT_EQ(max, (Vec3{2, 4, 6}));
    ComputeBoundingSphere(points.data(), 4, centre, radius);
    ExpectVecNear(centre, {0.5f, 1, 1.5f});
    EXPECT_NEAR(radius, std::sqrt(21.5f), 1e-5f);
    ExpectInvalidCall([&] { ComputeBoundingBox(points.data(), 0, min, max); });
}

TEST(MeshServices, WeldMergesOnlyVerticesEqualInEveryComponent) {
    Mesh mesh = MakeMesh({At(0, 0, 0), At(1, 0, 0), At(0, 1, 0), At(1, 0, 0),
                          At(0, 1, 0, {0.5f, 0}), At(-0.0f, 0, 0)},
                         {0, 1, 2, 5, 3, 4});
    const std::vector<uint32_t> remap = WeldVertices(mesh);
    EXPECT_EQ(remap, (std::vector<uint32_t>{0, 1, 2, 1, 3, 0}));
    EXPECT_EQ(mesh.VertexCount(), 4u);
    EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{0, 1, 2, 0, 1, 3}));
    EXPECT_EQ(mesh.vertices[3].modelUV.x, 0.5f);
}

TEST(MeshServices, IntersectFindsTheNearestHitFromEitherSide) {
    // Two squares facing the viewer at z = 5 and z = 3.
    Mesh mesh = MakeMesh({At(-1, -1, 5), At(-1, 1, 5), At(1, 1, 5), At(1, -1, 5), At(-1, -1, 3),
                          At(-1, 1, 3), At(1, 1, 3), At(1, -1, 3)},
                         {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7});
    const auto front = Intersect(mesh, {0.5f, -0.5f, 0}, {0, 0, 2});
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->face, 3u);
    EXPECT_FLOAT_EQ(front->distance, 1.5f); // in lengths of the direction
    // The barycentric coordinates rebuild the hit point: v0 + u (v1 - v0) + v (v2 - v0).
    const Vec3 p0 = mesh.vertices[4].position;
    const Vec3 hit = p0 + (mesh.vertices[6].position - p0) * front->u +
                     (mesh.vertices[7].position - p0) * front->v;
    ExpectVecNear(hit, {0.5f, -0.5f, 3});

    const auto back = Intersect(mesh, {-0.5f, 0.5f, 10}, {0, 0, -1});
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->face, 0u);
    EXPECT_FLOAT_EQ(back->distance, 5);

    EXPECT_FALSE(Intersect(mesh, {0, 0, 0}, {0, 0, -1}).has_value());
    EXPECT_FALSE(Intersect(mesh, {3, 0, 0}, {0, 0, 1}).has_value());
}

} // namespace
} // namespace vm
