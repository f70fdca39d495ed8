// The committed default feature set (resources/featureset.bin) against the generic head: sizes,
// the two feature tables, the fixed first rows, the bindings to the mesh and the point spans a
// new document gets from them.
#include "HeadResourceFixture.h"
#include "document/HeadResources.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>

namespace vm::test {
namespace {

const FeatureSet& Committed() {
    static const FeatureSet set = LoadFeatureSet(ReadCommittedResource("featureset.bin"));
    return set;
}

struct FeatureRow {
    const char* name;
    int parent;
    size_t segments;
};

const FeatureRow kFrontFeatures[] = {{"Whole object", -1, 18},
                                     {"Lefteye", 0, 8},
                                     {"Browridge", 0, 10},
                                     {"Lips", 0, 12},
                                     {"Rightcheek", 3, 4},
                                     {"Lipline", 3, 6},
                                     {"Leftcheek", 3, 4},
                                     {"Rightcheek crease", 3, 2},
                                     {"Leftcheek crease", 3, 2},
                                     {"Rightcheek bone", 3, 3},
                                     {"Leftcheek bone", 3, 3},
                                     {"Nostrils", 0, 22},
                                     {"Righteye", 0, 8},
                                     {"Rightear jawline", 0, 14},
                                     {"Leftear jawline", 0, 14},
                                     {"Hairline", 0, 10},
                                     {"Hairline widowspeak", 0, 4},
                                     {"Forehead right", 0, 1},
                                     {"Forehead left", 0, 1}};

const FeatureRow kSideFeatures[] = {
    {"Whole object", -1, 45}, {"Browridge", 0, 5},    {"Lips", 0, 6},     {"Cheek", 2, 4},
    {"Cheek crease", 2, 2},   {"Cheek bone", 2, 3},   {"Nostrils", 0, 9}, {"Eye", 0, 8},
    {"Hair volume", 0, 12},   {"Ear jawline", 0, 14}, {"Hairline", 0, 5}, {"Untitled", 0, 3},
    {"Forehead", 0, 1}};

TEST(FeatureSetResource, HasTheDocumentedSizeAndOpening) {
    const QByteArray bytes = ReadCommittedResource("featureset.bin");
    EXPECT_EQ(bytes.size(), 3172);
    const QByteArray opening("\x9D\x00\x00\x00\x00\x00\x09\x00\x02\x00", 10);
    EXPECT_EQ(bytes.left(10), opening);
    // The loader refuses bytes left over, so reading succeeds only when all 3,172 are used.
    EXPECT_NO_THROW(LoadFeatureSet(bytes));
}

void ExpectFeatures(const std::vector<Feature>& features, const FeatureRow* rows, size_t count,
                    size_t totalSegments) {
    ASSERT_EQ(features.size(), count);
    size_t segments = 0;
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(features[i].name, QString::fromLatin1(rows[i].name));
        EXPECT_EQ(features[i].parent, rows[i].parent) << rows[i].name;
        EXPECT_EQ(features[i].segments.size(), rows[i].segments) << rows[i].name;
        EXPECT_EQ(features[i].level, 0) << rows[i].name;
        segments += features[i].segments.size();
    }
    EXPECT_EQ(segments, totalSegments);
}

std::map<int, int> LevelCounts(const std::vector<FeaturePoint>& points) {
    std::map<int, int> counts;
    for (const FeaturePoint& p : points) {
        ++counts[p.level];
    }
    return counts;
}

TEST(FeatureSetResource, MatchesTheFeatureTablesOfBothPhotos) {
    const FeatureSet& set = Committed();
    EXPECT_EQ(set.points[Front].size(), 157u);
    EXPECT_EQ(set.points[Side].size(), 124u);
    EXPECT_EQ(LevelCounts(set.points[Front]), (std::map<int, int>{{0, 40}, {1, 59}, {2, 58}}));
    EXPECT_EQ(LevelCounts(set.points[Side]),
              (std::map<int, int>{{0, 28}, {1, 43}, {2, 52}, {4, 1}}));
    ExpectFeatures(set.features[Front], kFrontFeatures, std::size(kFrontFeatures), 146);
    ExpectFeatures(set.features[Side], kSideFeatures, std::size(kSideFeatures), 117);
    EXPECT_EQ(set.points[Side][55].vertexIndex, 238u);
    EXPECT_EQ(set.points[Side][55].level, 4);
}

TEST(FeatureSetResource, FirstRowsAreTheDocumentedOnes) {
    const FeatureSet& set = Committed();
    const std::pair<uint32_t, int> front[] = {{0, 0}, {9, 2}, {10, 2}, {15, 1}, {16, 2}, {17, 2}};
    const std::pair<uint32_t, int> side[] = {{0, 0}, {2, 1}, {6, 1}, {15, 2}, {18, 0}, {20, 2}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(set.points[Front][i].vertexIndex, front[i].first) << "front row " << i;
        EXPECT_EQ(set.points[Front][i].level, front[i].second) << "front row " << i;
        EXPECT_EQ(set.points[Side][i].vertexIndex, side[i].first) << "side row " << i;
        EXPECT_EQ(set.points[Side][i].level, side[i].second) << "side row " << i;
    }
    const std::vector<std::pair<int32_t, int32_t>> rootStart{{0, 1}, {0, 2},  {1, 6},
                                                             {2, 7}, {6, 19}, {7, 20}};
    const auto& root = set.features[Front][0].segments;
    ASSERT_GE(root.size(), rootStart.size());
    EXPECT_TRUE(std::equal(rootStart.begin(), rootStart.end(), root.begin()));
}

// Code and tests name front points by number (eye corners, nose tip, lip corners, chin, neck),
// so a change of the head's shape must leave each landmark at its row.
TEST(FeatureSetResource, FaceLandmarksKeepTheirPointNumbers) {
    const FeatureSet& set = Committed();
    const auto& features = set.features[Front];
    const auto& leftEye = features[1].segments; // inner corner first, outer corner fifth
    const auto& rightEye = features[12].segments;
    EXPECT_EQ(leftEye.at(0).first, 51);
    EXPECT_EQ(leftEye.at(4).first, 49);
    EXPECT_EQ(rightEye.at(0).first, 52);
    EXPECT_EQ(rightEye.at(4).first, 50);
    EXPECT_EQ(set.points[Front][86].vertexIndex, 293u); // the nose tip
    const auto& lips = features[3].segments; // from the left corner over the top to the right
    EXPECT_EQ(lips.at(0).first, 124);
    EXPECT_EQ(lips.at(6).first, 125);
    EXPECT_EQ(features[14].segments.back().second, 150); // the jaw lines end under the chin
    EXPECT_EQ(features[13].segments.back().second, 151);
    EXPECT_EQ(features[0].segments.back().second, 156); // the outline ends at the neck's front
}

TEST(FeatureSetResource, EveryPointIsBoundToItsOwnVertexAndUsed) {
    const FeatureSet& set = Committed();
    for (int photo : {Front, Side}) {
        std::set<uint32_t> vertices;
        for (size_t i = 0; i < set.points[photo].size(); ++i) {
            const FeaturePoint& p = set.points[photo][i];
            EXPECT_LT(p.vertexIndex, 479u);
            EXPECT_TRUE(vertices.insert(p.vertexIndex).second)
                << "photo " << photo << " point " << i;
            EXPECT_FALSE(p.segmentsByFeature.empty()) << "photo " << photo << " point " << i;
        }
    }
}

TEST(FeatureSetResource, LeftAndRightFeaturesMirrorEachOtherAndFollowTheCreases) {
    const FeatureSet& set = Committed();
    const auto& vertices = CommittedHead().mesh.vertices;
    auto place = [&](int photo, int point) {
        return vertices[set.points[photo][point].vertexIndex].position;
    };
    // Front features named Left... and Right... bind mirrored vertices, segment by segment.
    const std::pair<int, int> pairs[] = {{1, 12}, {6, 4}, {8, 7}, {10, 9}, {14, 13}, {18, 17}};
    for (const auto& [left, right] : pairs) {
        const auto& a = set.features[Front][left].segments;
        const auto& b = set.features[Front][right].segments;
        ASSERT_EQ(a.size(), b.size());
        for (size_t s = 0; s < a.size(); ++s) {
            for (const auto& [p, q] :
                 {std::pair{a[s].first, b[s].first}, std::pair{a[s].second, b[s].second}}) {
                const Vec3 l = place(Front, p), r = place(Front, q);
                EXPECT_EQ(l, (Vec3{-r.x, r.y, r.z}))
                    << set.features[Front][left].name.toStdString();
                EXPECT_LT(l.x, 0.0f);
            }
        }
    }
    // The lip line follows the lips crease list from corner to corner.
    const uint32_t lipLine[] = {411, 413, 416, 415, 417, 414, 412};
    const auto& lips = set.features[Front][5].segments;
    for (size_t s = 0; s < lips.size(); ++s) {
        EXPECT_EQ(set.points[Front][lips[s].first].vertexIndex, lipLine[s]);
        EXPECT_EQ(set.points[Front][lips[s].second].vertexIndex, lipLine[s + 1]);
    }
}

// Photo-plane coordinates of a vertex: front (x, y), side (y, z).
std::pair<float, float> PlaneOf(int photo, const Vec3& p) {
    return photo == Front ? std::pair{p.x, p.y} : std::pair{p.y, p.z};
}

TEST(FeatureSetResource, PointsSpanTheHeadAndOwnTheirPlaceInThePhotoPlane) {
    const FeatureSet& set = Committed();
    const auto& vertices = CommittedHead().mesh.vertices;
    float minX = 1e9f, minY = 1e9f, minZ = 1e9f;
    for (const HeadVertex& v : vertices) {
        minX = std::min(minX, v.position.x), minY = std::min(minY, v.position.y);
        minZ = std::min(minZ, v.position.z);
    }
    for (int photo : {Front, Side}) {
        // Where a new document puts the points on a photo, from the model's offset.
        float lo[2] = {1e9f, 1e9f}, hi[2] = {-1e9f, -1e9f};
        for (const FeaturePoint& point : set.points[photo]) {
            const Vec3 p = vertices[point.vertexIndex].position;
            const float px = photo == Front ? -minX + p.x : -minZ - p.z;
            const float py = -minY - p.y;
            lo[0] = std::min(lo[0], px), lo[1] = std::min(lo[1], py);
            hi[0] = std::max(hi[0], px), hi[1] = std::max(hi[1], py);
        }
        EXPECT_EQ(lo[0], 0.0f);
        EXPECT_EQ(lo[1], 0.0f);
        EXPECT_NEAR(hi[0], photo == Front ? 476.80f : 579.77f, 0.01f);
        EXPECT_NEAR(hi[1], 684.19f, 0.01f);

        // A vertex exactly at a bound vertex's place would follow that point fully. Only the
        // vertex's own copy on the texture cut may share it, and on the side photo its mirror
        // partner, which lies at the same place in the side plane by symmetry.
        for (const FeaturePoint& point : set.points[photo]) {
            const Vec3 bound = vertices[point.vertexIndex].position;
            for (size_t v = 0; v < vertices.size(); ++v) {
                const Vec3 p = vertices[v].position;
                const bool sameVertex = p == bound;
                const bool mirror = photo == Side && p == Vec3{-bound.x, bound.y, bound.z};
                if (!sameVertex && !mirror) {
                    EXPECT_NE(PlaneOf(photo, p), PlaneOf(photo, bound))
                        << "photo " << photo << ": vertex " << v << " at the place of vertex "
                        << point.vertexIndex;
                }
            }
        }
    }
}

} // namespace
} // namespace vm::test
