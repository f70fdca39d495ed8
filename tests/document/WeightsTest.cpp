// Vertex weights (inverse fourth power of the distance) and the drag weights of points,
// hidden-point chains and features.
#include "platform/core/Exceptions.h"
#include "support/DocumentFixture.h"

#include <gtest/gtest.h>

namespace vm {
namespace {

class WeightsTest : public ::testing::Test {
protected:
    void SetUp() override { test::MakeStripDocument(doc); }
    void SetLevels(int photo, std::vector<int32_t> levels) {
        for (size_t i = 0; i < levels.size(); ++i) {
            doc.points[photo][i].level = levels[i];
        }
    }
    CVisomorfDoc doc;
};

TEST_F(WeightsTest, EveryVertexWeightsSumToOneAndBoundVerticesFollowOnlyTheirPoint) {
    for (int p = 0; p < kPhotoCount; ++p) {
        for (uint32_t v = 0; v < doc.editableMesh->VertexCount(); ++v) {
            double sum = 0;
            for (const FeaturePoint& point : doc.points[p]) {
                const auto found = point.weights.find(v);
                sum += found == point.weights.end() ? 0.0 : found->second;
            }
            EXPECT_NEAR(sum, 1.0, 1e-5) << "photo " << p << " vertex " << v;
        }
    }
    // Front vertex 2 is point 2's own vertex: weight 1 there, none elsewhere.
    EXPECT_EQ(doc.points[Front][2].weights.at(2), 1.0f);
    EXPECT_EQ(doc.points[Front][1].weights.count(2), 0u);
    // On the side photo vertex 1 (10, 0, 0) lies on vertex 0's place in the (y, z) plane.
    EXPECT_EQ(doc.points[Side][0].weights.at(1), 1.0f);
    EXPECT_EQ(doc.points[Side][1].weights.count(1), 0u);
}

TEST_F(WeightsTest, VertexWeightsFallWithTheFourthPowerOfTheDistance) {
    // Vertex 5 (50, 0) on the front photo: points at distances 50, 40, 30, 20, 10 on the
    // bottom row; compare the two nearest.
    const float w4 = doc.points[Front][4].weights.at(5); // distance 10
    const float w3 = doc.points[Front][3].weights.at(5); // distance 20
    EXPECT_NEAR(w4 / w3, 16.0f, 1e-3f);
}

TEST_F(WeightsTest, ShownNeighboursLeaveTheDraggedPointAlone) {
    PointWeightMap map;
    doc.CollectPointWeights(Front, 1, map);
    EXPECT_EQ(map, (PointWeightMap{{1, 1.0f}}));
}

TEST_F(WeightsTest, HiddenPointsAlongTheChainFallOffByArcLength) {
    SetLevels(Front, {0, 2, 0, 0, 0});
    PointWeightMap half;
    doc.CollectPointWeights(Front, 0, half);
    EXPECT_EQ(half, (PointWeightMap{{0, 1.0f}, {1, 0.5f}}));

    SetLevels(Front, {0, 2, 2, 0, 0});
    PointWeightMap thirds;
    doc.CollectPointWeights(Front, 0, thirds);
    ASSERT_EQ(thirds.size(), 3u);
    EXPECT_NEAR(thirds[1], 2.0f / 3.0f, 1e-6f);
    EXPECT_NEAR(thirds[2], 1.0f / 3.0f, 1e-6f);
}

TEST_F(WeightsTest, HiddenDeadEndStaysWhereItIs) {
    // Point 4 ends feature 1's polyline: its chain is [4] alone, and the last point gets nothing.
    SetLevels(Front, {0, 0, 0, 0, 2});
    PointWeightMap map;
    doc.CollectPointWeights(Front, 3, map);
    EXPECT_EQ(map, (PointWeightMap{{3, 1.0f}}));
}

TEST_F(WeightsTest, ClosedLoopOfHiddenPointsEnds) {
    doc.pointsLevel = -1; // every point hidden: the loop 5-6-7 would never reach a shown point
    PointWeightMap map;
    doc.CollectPointWeights(Front, 5, map);
    EXPECT_EQ(map.at(5), 1.0f);
    ASSERT_EQ(map.size(), 3u);
    for (int32_t point : {6, 7}) {
        EXPECT_GT(map.at(point), 0.0f);
        EXPECT_LE(map.at(point), 1.0f);
    }
}

TEST_F(WeightsTest, FeatureDragMovesItsPointsAndItsChildrensFully) {
    SetLevels(Front, {0, 0, 0, 0, 3});
    PointWeightMap map;
    doc.CollectFeatureWeights(Front, 0, map);
    // Feature 0 holds points 0..3, its child feature 1 adds the hidden point 4.
    EXPECT_EQ(map, (PointWeightMap{{0, 1.0f}, {1, 1.0f}, {2, 1.0f}, {3, 1.0f}, {4, 1.0f}}));
}

TEST_F(WeightsTest, ChainWeightsFromBothSidesAddUp) {
    // Dragging feature 1 (points 3, 4) with point 2 hidden: 2 lies between the shown 1 and 3.
    SetLevels(Front, {0, 0, 2, 0, 0});
    PointWeightMap map;
    doc.CollectPointWeights(Front, 1, map);
    doc.CollectPointWeights(Front, 3, map);
    EXPECT_EQ(map.at(2), 1.0f); // 0.5 from each side
}

TEST_F(WeightsTest, VertexMapScalesEachPointsWeights) {
    PointWeightMap points{{1, 0.5f}, {2, 1.0f}};
    VertexWeightMap vertices;
    doc.CollectVertexWeights(Front, points, vertices);
    // Bound vertices of other points (0, 3, 4, 6, 7, 8) follow only their own points.
    EXPECT_EQ(vertices.size(), 6u);
    EXPECT_EQ(vertices.count(0), 0u);
    // Vertex 1 follows only point 1, vertex 2 only point 2.
    EXPECT_EQ(vertices.at(1), 0.5f);
    EXPECT_EQ(vertices.at(2), 1.0f);
    const float expected =
        0.5f * doc.points[Front][1].weights.at(5) + doc.points[Front][2].weights.at(5);
    EXPECT_FLOAT_EQ(vertices.at(5), expected);
}

TEST_F(WeightsTest, IndicesOutsideTheListsAreRefused) {
    PointWeightMap map;
    EXPECT_THROW(doc.CollectPointWeights(Front, 8, map), InvalidArgumentException);
    EXPECT_THROW(doc.CollectPointWeights(Side, -1, map), InvalidArgumentException);
    EXPECT_THROW(doc.CollectFeatureWeights(Front, 3, map), InvalidArgumentException);
    EXPECT_THROW(doc.CollectPointWeights(2, 0, map), InvalidArgumentException);
    VertexWeightMap vertices;
    EXPECT_THROW(doc.CollectVertexWeights(Side, {{3, 1.0f}}, vertices), InvalidArgumentException);
}

TEST_F(WeightsTest, ParentCycleInADamagedFeatureSetDoesNotRecurseForEver) {
    doc.features[Side].push_back(test::MakeFeature(-1, {{1, 2}}));
    doc.features[Side][0].children.push_back(1);
    doc.features[Side][1].children.push_back(0);
    PointWeightMap map;
    doc.CollectFeatureWeights(Side, 0, map);
    EXPECT_EQ(map.size(), 3u);
}

TEST(VertexWeights, KeepVertexOrderAndOneWeightPerVertexWhateverTheOrderOfSetting) {
    VertexWeights weights{{7, 0.5f}, {2, 0.25f}, {9, 1.0f}, {2, 0.75f}, {0, 0.125f}};
    const std::vector<VertexWeights::value_type> expected{
        {0, 0.125f}, {2, 0.75f}, {7, 0.5f}, {9, 1.0f}};
    EXPECT_EQ(std::vector<VertexWeights::value_type>(weights.begin(), weights.end()), expected);
    EXPECT_EQ(weights.at(2), 0.75f);
    EXPECT_EQ(weights.count(3), 0u);
    EXPECT_THROW(static_cast<void>(weights.at(3)), std::out_of_range);
    weights.Set(3, 0.0f);
    EXPECT_EQ(weights.find(3) - weights.begin(), 2);
}

} // namespace
} // namespace vm
