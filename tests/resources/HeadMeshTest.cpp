// The committed generic head (resources/head.x): counts, exact bounds, symmetry, the disk
// topology with its neck opening, the texture cut along the back midline, the crease paths and
// the model texture layout.
#include "HeadResourceFixture.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>

namespace vm::test {
namespace {

constexpr float kHalfWidth = 238.3998f;
constexpr float kHalfHeight = 342.09637f;
constexpr float kHalfDepth = 289.88235f;

const std::vector<HeadVertex>& Vertices() {
    return CommittedHead().mesh.vertices;
}

TEST(HeadMeshResource, IsACompressedMeshWithPositionsAndTextureCoordinatesOnly) {
    const QByteArray bytes = ReadCommittedResource("head.x");
    ASSERT_GE(bytes.size(), 16);
    EXPECT_EQ(bytes.left(16), QByteArray("xof 0303bzip0032"));
    const XFileMesh head = ReadXFile(bytes);
    EXPECT_EQ(head.mesh.VertexCount(), 479u);
    EXPECT_EQ(head.mesh.FaceCount(), 916u);
    EXPECT_EQ(head.numMaterials, 1u);
    EXPECT_EQ(head.fileFvf & (FVF_NORMAL | FVF_DIFFUSE | FVF_SPECULAR), 0u);
    EXPECT_EQ((head.fileFvf & FVF_TEXCOUNT_MASK) >> FVF_TEXCOUNT_SHIFT, 1u);
    EXPECT_EQ(CommittedHead().numMaterials, 1u);
}

TEST(HeadMeshResource, SpansTheExactBoundsWithCrownAndNoseTipAtTheirPlaces) {
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (const HeadVertex& v : Vertices()) {
        minX = std::min(minX, v.position.x), maxX = std::max(maxX, v.position.x);
        minY = std::min(minY, v.position.y), maxY = std::max(maxY, v.position.y);
        minZ = std::min(minZ, v.position.z), maxZ = std::max(maxZ, v.position.z);
    }
    EXPECT_EQ(minX, -kHalfWidth);
    EXPECT_EQ(maxX, kHalfWidth);
    EXPECT_EQ(minY, -kHalfHeight);
    EXPECT_EQ(maxY, kHalfHeight);
    EXPECT_EQ(minZ, -kHalfDepth);
    EXPECT_EQ(maxZ, kHalfDepth);

    const Vec3 crown = Vertices()[0].position;
    EXPECT_EQ(crown.x, 0.0f);
    EXPECT_EQ(crown.y, kHalfHeight);
    const Vec3 tip = Vertices()[293].position;
    EXPECT_EQ(tip, (Vec3{0.0f, -107.79f, -kHalfDepth}));
    for (size_t i = 0; i < Vertices().size(); ++i) {
        if (i != 0) {
            EXPECT_LT(Vertices()[i].position.y, crown.y) << "vertex " << i;
        }
        if (i != 293) {
            EXPECT_GT(Vertices()[i].position.z, tip.z) << "vertex " << i;
        }
    }
}

TEST(HeadMeshResource, IsMirrorSymmetricVertexForVertex) {
    int left = 0, right = 0, middle = 0;
    std::multiset<std::tuple<float, float, float>> places;
    for (const HeadVertex& v : Vertices()) {
        (v.position.x < 0 ? left : v.position.x > 0 ? right : middle)++;
        places.insert({v.position.x, v.position.y, v.position.z});
    }
    EXPECT_EQ(left, 214);
    EXPECT_EQ(right, 214);
    EXPECT_EQ(middle, 51);
    for (const HeadVertex& v : Vertices()) {
        const auto mirrored = std::make_tuple(-v.position.x, v.position.y, v.position.z);
        EXPECT_EQ(places.count(mirrored), places.count({v.position.x, v.position.y, v.position.z}))
            << v.position.x << " " << v.position.y << " " << v.position.z;
    }
}

TEST(HeadMeshResource, IsADiskWhoseOnlyBoundaryIsTheNeckOpening) {
    const WeldedMesh w = Weld(CommittedHead().mesh);
    EXPECT_EQ(w.copies.size(), 467u);
    EXPECT_EQ(w.edgeUse.size(), 1382u);
    std::map<int, std::vector<int>> boundaryNeighbours;
    for (const auto& [edge, uses] : w.edgeUse) {
        ASSERT_LE(uses, 2) << "edge used by more than two triangles";
        if (uses == 1) {
            boundaryNeighbours[edge.first].push_back(edge.second);
            boundaryNeighbours[edge.second].push_back(edge.first);
        }
    }
    // 16 boundary edges forming one loop, all low on the neck.
    ASSERT_EQ(boundaryNeighbours.size(), 16u);
    for (const auto& [v, nb] : boundaryNeighbours) {
        EXPECT_EQ(nb.size(), 2u);
        EXPECT_LT(Vertices()[w.copies[v][0]].position.y, -250.0f);
    }
    int previous = -1, current = boundaryNeighbours.begin()->first, steps = 0;
    do {
        const auto& nb = boundaryNeighbours[current];
        const int next = nb[0] != previous ? nb[0] : nb[1];
        previous = current, current = next, ++steps;
    } while (current != boundaryNeighbours.begin()->first && steps <= 16);
    EXPECT_EQ(steps, 16);
    const long euler = static_cast<long>(w.copies.size()) - static_cast<long>(w.edgeUse.size()) +
                       static_cast<long>(w.faces.size());
    EXPECT_EQ(euler, 1);
    for (const auto& f : w.faces) {
        EXPECT_TRUE(f[0] != f[1] && f[1] != f[2] && f[0] != f[2]) << "collapsed triangle";
    }
}

TEST(HeadMeshResource, TextureCutRunsUpTheBackMidlineWithARegularGrid) {
    const WeldedMesh w = Weld(CommittedHead().mesh);
    std::vector<int> cut;
    for (int v = 0; v < static_cast<int>(w.copies.size()); ++v) {
        if (w.copies[v].size() > 1) {
            ASSERT_EQ(w.copies[v].size(), 2u);
            const Vec3 p = Vertices()[w.copies[v][0]].position;
            EXPECT_EQ(p.x, 0.0f);
            EXPECT_GT(p.z, 0.0f) << "cut vertex not on the back";
            const Vec2 a = Vertices()[w.copies[v][0]].modelUV,
                       b = Vertices()[w.copies[v][1]].modelUV;
            EXPECT_TRUE(a.x != b.x || a.y != b.y) << "copies share their texture place";
            cut.push_back(v);
        }
    }
    ASSERT_EQ(cut.size(), 12u);
    std::sort(cut.begin(), cut.end(), [&](int a, int b) {
        return Vertices()[w.copies[a][0]].position.y < Vertices()[w.copies[b][0]].position.y;
    });
    // The lowest copy lies on the neck opening with four neighbours, the others have six, and
    // the cut is a path of edges from there up to the crown.
    EXPECT_EQ(w.neighbours[cut[0]].size(), 4u);
    for (size_t k = 1; k < cut.size(); ++k) {
        EXPECT_EQ(w.neighbours[cut[k]].size(), 6u) << "cut vertex " << k;
        EXPECT_TRUE(w.neighbours[cut[k]].count(cut[k - 1]));
    }
    EXPECT_TRUE(w.neighbours[cut.back()].count(w.weldOf[0]));
}

void ExpectPath(const WeldedMesh& w, const std::vector<int>& path) {
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        EXPECT_TRUE(w.HasEdge(path[i], path[i + 1]))
            << "no edge between " << path[i] << " and " << path[i + 1];
    }
}

TEST(HeadMeshResource, CreaseListsFollowConnectedPaths) {
    const WeldedMesh w = Weld(CommittedHead().mesh);
    const std::vector<int> nose{89, 110, 139, 192, 223, 238, 259, 280, 293, 320};
    ExpectPath(w, nose);
    for (size_t i = 0; i < nose.size(); ++i) {
        const Vec3 p = Vertices()[nose[i]].position;
        EXPECT_EQ(p.x, 0.0f);
        if (i > 0) {
            EXPECT_LT(p.y, Vertices()[nose[i - 1]].position.y) << "nose path turns upwards";
        }
        if (i > 0 && i < 9) {
            EXPECT_LT(p.z, Vertices()[nose[i - 1]].position.z) << "bridge does not run to the tip";
        }
    }
    EXPECT_GT(Vertices()[320].position.z, Vertices()[293].position.z);

    const std::vector<int> lips{411, 413, 416, 415, 417, 414, 412};
    ExpectPath(w, lips);
    EXPECT_EQ(Vertices()[415].position.x, 0.0f);
    for (int k = 0; k < 3; ++k) {
        const Vec3 a = Vertices()[lips[k]].position, b = Vertices()[lips[6 - k]].position;
        EXPECT_EQ(a.x, -b.x);
        EXPECT_EQ(a.y, b.y);
        EXPECT_LT(a.x, Vertices()[lips[k + 1]].position.x) << "lip line not corner to corner";
    }

    const std::vector<int> brow{83, 81, 85, 87, 102};
    const std::vector<int> mirrorBrow{84, 82, 86, 88, 103};
    ExpectPath(w, brow);
    ExpectPath(w, mirrorBrow);
    for (size_t k = 0; k < brow.size(); ++k) {
        const Vec3 a = Vertices()[brow[k]].position, b = Vertices()[mirrorBrow[k]].position;
        EXPECT_EQ(a, (Vec3{-b.x, b.y, b.z}));
        EXPECT_GT(a.y, Vertices()[89].position.y) << "eyebrow below the top of the nose";
    }
}

TEST(HeadMeshResource, TrianglesFaceOutOfTheHead) {
    // Closing the neck opening with a fan to its centre gives a closed surface whose signed
    // volume is positive only when every triangle's cross(b - a, c - a) points outwards.
    const Mesh& mesh = CommittedHead().mesh;
    const WeldedMesh w = Weld(mesh);
    auto volume = [](const Vec3& a, const Vec3& b, const Vec3& c) {
        return (double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) -
                double(a.y) * (double(b.x) * c.z - double(b.z) * c.x) +
                double(a.z) * (double(b.x) * c.y - double(b.y) * c.x)) /
               6.0;
    };
    double total = 0;
    for (size_t f = 0; f < mesh.indices.size(); f += 3) {
        total += volume(mesh.vertices[mesh.indices[f]].position,
                        mesh.vertices[mesh.indices[f + 1]].position,
                        mesh.vertices[mesh.indices[f + 2]].position);
    }
    std::map<int, int> nextOnBoundary;
    Vec3 centre{};
    for (const auto& face : w.faces) {
        for (int k = 0; k < 3; ++k) {
            const int a = face[k], b = face[(k + 1) % 3];
            if (w.edgeUse.at({std::min(a, b), std::max(a, b)}) == 1) {
                nextOnBoundary[b] = a; // the cap runs the other way round
                centre = centre + Vertices()[w.copies[a][0]].position * (1.0f / 16);
            }
        }
    }
    for (const auto& [a, b] : nextOnBoundary) {
        total += volume(Vertices()[w.copies[a][0]].position, Vertices()[w.copies[b][0]].position,
                        centre);
    }
    // A head of about 477 x 684 x 580 units holds well over 50 million cubic units.
    EXPECT_GT(total, 5e7);
}

double SignedArea(const Vec2& a, const Vec2& b, const Vec2& c) {
    return 0.5 *
           ((double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x));
}

TEST(HeadMeshResource, ModelTextureLayoutHasNoOverlapsAndGivesTheFaceItsShare) {
    const Mesh& mesh = CommittedHead().mesh;
    for (const HeadVertex& v : mesh.vertices) {
        EXPECT_TRUE(v.modelUV.x >= 0 && v.modelUV.x <= 1 && v.modelUV.y >= 0 && v.modelUV.y <= 1);
    }
    // Every triangle keeps a clear area and the common orientation.
    double total = 0, face = 0;
    int positive = 0;
    for (size_t f = 0; f < mesh.indices.size(); f += 3) {
        const HeadVertex& a = mesh.vertices[mesh.indices[f]];
        const HeadVertex& b = mesh.vertices[mesh.indices[f + 1]];
        const HeadVertex& c = mesh.vertices[mesh.indices[f + 2]];
        const double area = SignedArea(a.modelUV, b.modelUV, c.modelUV);
        EXPECT_GT(std::abs(area), 1e-7) << "degenerate texture triangle " << f / 3;
        positive += area > 0;
        total += std::abs(area);
        const float cy = (a.position.y + b.position.y + c.position.y) / 3;
        const float cz = (a.position.z + b.position.z + c.position.z) / 3;
        if (cz < 0 && cy > -330 && cy < 80) { // in front of the ears, brow to chin
            face += std::abs(area);
        }
    }
    EXPECT_TRUE(positive == 0 || positive == static_cast<int>(mesh.FaceCount()))
        << "folded triangles";
    EXPECT_GE(face / total, 0.5);
    EXPECT_GE(total, 0.7) << "the layout leaves too much of the texture unused";

    // No texel centre is covered by two triangles.
    const int size = 1024;
    std::vector<int> owner(size * size, -1);
    int clashes = 0;
    for (size_t f = 0; f < mesh.indices.size(); f += 3) {
        Vec2 p[3];
        for (int k = 0; k < 3; ++k) {
            p[k] = mesh.vertices[mesh.indices[f + k]].modelUV;
            p[k] = {p[k].x * size, p[k].y * size};
        }
        const double area = SignedArea(p[0], p[1], p[2]);
        const int x0 = std::max(0, int(std::floor(std::min({p[0].x, p[1].x, p[2].x}))));
        const int x1 = std::min(size - 1, int(std::ceil(std::max({p[0].x, p[1].x, p[2].x}))));
        const int y0 = std::max(0, int(std::floor(std::min({p[0].y, p[1].y, p[2].y}))));
        const int y1 = std::min(size - 1, int(std::ceil(std::max({p[0].y, p[1].y, p[2].y}))));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const Vec2 c{x + 0.5f, y + 0.5f};
                const double w0 = SignedArea(p[1], p[2], c) / area;
                const double w1 = SignedArea(p[2], p[0], c) / area;
                const double w2 = SignedArea(p[0], p[1], c) / area;
                if (w0 > 1e-9 && w1 > 1e-9 && w2 > 1e-9) {
                    int& o = owner[y * size + x];
                    clashes += o >= 0;
                    o = static_cast<int>(f / 3);
                }
            }
        }
    }
    EXPECT_EQ(clashes, 0);
}

// The baked texture is drawn with v growing upwards (the OBJ convention), and an artist opening
// it expects the face as the front photo shows it: forehead up, the head's left (x < 0) left.
TEST(HeadMeshResource, ModelTextureShowsTheFaceUprightAndUnmirrored) {
    const Vec2 crown = Vertices()[0].modelUV, tip = Vertices()[293].modelUV;
    EXPECT_GT(crown.y, tip.y);
    int checked = 0;
    for (const HeadVertex& v : Vertices()) {
        const Vec3 p = v.position;
        if (p.z > -150) {
            continue; // only the face, whose place around the nose tip is clear
        }
        if (p.y > tip.y + 120 || p.y < tip.y - 120) {
            EXPECT_EQ(v.modelUV.y > tip.y, p.y > tip.y) << p.x << " " << p.y << " " << p.z;
        }
        if (std::abs(p.x) > 40) {
            EXPECT_EQ(v.modelUV.x > tip.x, p.x > 0) << p.x << " " << p.y << " " << p.z;
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
}

} // namespace
} // namespace vm::test
