// Hit tests of the box, points and features, and the order between overlapping targets; box
// resize steps with their limit.
#include "views/photo/OverlayHitTest.h"

#include "platform/core/Exceptions.h"
#include "views/photo/BlendZoneGeometry.h"
#include "views/photo/DragSteps.h"

#include <gtest/gtest.h>

namespace vm {
namespace {

TEST(SegmentHit, BandIsTWideOnStraightAndTRootTwoOnDiagonalSegments) {
    const float t = 2.0f;
    // Horizontal: inside the band (strict), outside on its border.
    EXPECT_TRUE(SegmentHit(t, {5, 1.9f}, {0, 0}, {10, 0}));
    EXPECT_FALSE(SegmentHit(t, {5, 2.0f}, {0, 0}, {10, 0}));
    // Beyond an end: only the bounds grown by t count.
    EXPECT_TRUE(SegmentHit(t, {11.9f, 0}, {0, 0}, {10, 0}));
    EXPECT_FALSE(SegmentHit(t, {12.1f, 0}, {0, 0}, {10, 0}));
    // Diagonal: a perpendicular distance of 2.7 < 2 * sqrt 2 is still a hit.
    EXPECT_TRUE(SegmentHit(t, {5 + 1.9f, 5 - 1.9f}, {0, 0}, {10, 10}));
    EXPECT_FALSE(SegmentHit(t, {5 + 2.1f, 5 - 2.1f}, {0, 0}, {10, 10}));
    // Coinciding ends are never hit.
    EXPECT_FALSE(SegmentHit(t, {3, 3}, {3, 3}, {3, 3}));
}

TEST(HitTestBox, HandlesBeforeEdgesBoundsIncluded) {
    const Box box{100, 50, 300, 250};
    const float t = HitTolerance(0.5f); // 5 photo pixels
    EXPECT_EQ(HitTestBox(box, {105, 55}, t), 0);
    EXPECT_EQ(HitTestBox(box, {300, 50}, t), 1);
    EXPECT_EQ(HitTestBox(box, {296, 254}, t), 2);
    EXPECT_EQ(HitTestBox(box, {100, 250}, t), 3);
    EXPECT_EQ(HitTestBox(box, {200, 45}, t), 4);
    EXPECT_EQ(HitTestBox(box, {305, 150}, t), 5);
    EXPECT_EQ(HitTestBox(box, {200, 255}, t), 6);
    EXPECT_EQ(HitTestBox(box, {95, 150}, t), 7);
    EXPECT_EQ(HitTestBox(box, {150, 54}, t), kBoxEdge);
    EXPECT_EQ(HitTestBox(box, {150, 44.9f}, t), -1);
    EXPECT_EQ(HitTestBox(box, {200, 150}, t), -1); // inside the box is not the box
    EXPECT_EQ(BoxPartCursor(0), Qt::SizeFDiagCursor);
    EXPECT_EQ(BoxPartCursor(3), Qt::SizeBDiagCursor);
    EXPECT_EQ(BoxPartCursor(kBoxEdge), Qt::SizeAllCursor);
}

struct PointsAndFeatures {
    std::vector<FeaturePoint> points;
    std::vector<Vec2> positions;
    std::vector<Feature> features;
};

// Points 0 (level 2) and 1 (level 0) at the same place; feature 0 (level 1) joins 2 and 3.
PointsAndFeatures Sample() {
    PointsAndFeatures s;
    s.points.resize(4);
    s.points[0].level = 2;
    s.positions = {{10, 10}, {10, 10}, {0, 50}, {40, 50}};
    Feature line;
    line.level = 1;
    line.segments = {{2, 3}};
    Feature empty;
    s.features = {line, empty};
    return s;
}

TEST(HitTestPoint, SkipsHiddenLevelsAndRefusesIndicesOutsideThePositions) {
    PointsAndFeatures s = Sample();
    EXPECT_EQ(HitTestPoint(s.points, s.positions, 5, {11, 9}, 2), 0);
    EXPECT_EQ(HitTestPoint(s.points, s.positions, 0, {11, 9}, 2), 1);
    EXPECT_EQ(HitTestPoint(s.points, s.positions, -1, {11, 9}, 2), -1);
    s.positions.resize(1);
    EXPECT_THROW(HitTestPoint(s.points, s.positions, 0, {11, 9}, 2), InvalidArgumentException);
}

TEST(HitTestFeature, SkipsHiddenLevelsAndRefusesSegmentEndsOutsideThePositions) {
    PointsAndFeatures s = Sample();
    EXPECT_EQ(HitTestFeature(s.features, s.positions, 1, {20, 51}, 2), 0);
    EXPECT_EQ(HitTestFeature(s.features, s.positions, 0, {20, 51}, 2), -1);
    s.features[0].segments.push_back({3, 7});
    EXPECT_EQ(HitTestFeature(s.features, s.positions, 1, {20, 51}, 2), 0); // hit before it
    EXPECT_THROW(HitTestFeature(s.features, s.positions, 1, {90, 90}, 2), InvalidArgumentException);
}

// Every kind of target lies on (100, 100); taking them away one by one shows the order a
// hover and a press both follow, and the cursor each gets.
TEST(HitTestOverlay, BlendZoneThenBoxThenPointsThenFeaturesAndHiddenLayersAreSkipped) {
    std::vector<Vec2> zone{{100, 100}, {100, 160}};
    Box box{100, 100, 300, 300};
    std::vector<FeaturePoint> points(3);
    const std::vector<Vec2> positions{{100, 100}, {90, 100}, {110, 100}};
    std::vector<Feature> features(1);
    features[0].segments = {{1, 2}};
    OverlayLayers layers{&box, &points, &features, &positions, 0, &zone, 40};
    const Vec2 p{100, 100};
    const float t = HitTolerance(1.0f);
    const auto expectHit = [&](OverlayTarget target, int index, Qt::CursorShape cursor) {
        const OverlayHit hit = HitTestOverlay(layers, p, t);
        EXPECT_EQ(hit, (OverlayHit{target, index}));
        EXPECT_EQ(OverlayCursor(hit), cursor);
    };

    expectHit(OverlayTarget::BlendVertex, 0, Qt::SizeAllCursor);
    zone = {{100, 40}, {100, 160}}; // the centre line still runs through p
    expectHit(OverlayTarget::BlendLine, kBlendCentre, Qt::SizeAllCursor);
    zone = {{140, 40}, {140, 160}}; // now the left edge at 140 - 40
    expectHit(OverlayTarget::BlendLine, kBlendLeftEdge, Qt::SizeHorCursor);
    layers.blendZone = nullptr;
    expectHit(OverlayTarget::BoxPart, 0, Qt::SizeFDiagCursor);
    box.top = 0; // p on the left edge, away from its handles
    expectHit(OverlayTarget::BoxPart, kBoxEdge, Qt::SizeAllCursor);
    layers.box = nullptr;
    expectHit(OverlayTarget::Point, 0, Qt::SizeAllCursor);
    points[0].level = 1; // above the shown level
    expectHit(OverlayTarget::Feature, 0, Qt::SizeAllCursor);
    features[0].level = 1;
    expectHit(OverlayTarget::None, -1, Qt::ArrowCursor);
    features[0].level = points[0].level = 0;
    layers.points = nullptr; // features hidden: neither points nor segments count
    expectHit(OverlayTarget::None, -1, Qt::ArrowCursor);
}

TEST(ResizeBoxStep, LeftEdgeStopsTenPixelsShortAndWaitsForTheMouse) {
    const float scale = 2.0f;
    Box box{100, 50, 200, 150};
    QPoint reference(200, 100); // the left edge on screen (100 * 2)
    // Far past the right edge: the left edge stops at 190, the reference moves onto it.
    BoxStep step = ResizeBoxStep(box, 7, {500, 100}, reference, scale);
    EXPECT_FLOAT_EQ(step.box.left, 190);
    EXPECT_EQ(step.reference, QPoint(380, 100));
    box = step.box;
    // Coming back, but still right of the edge: nothing moves.
    step = ResizeBoxStep(box, 7, {450, 100}, step.reference, scale);
    EXPECT_FLOAT_EQ(step.box.left, 190);
    EXPECT_EQ(step.reference, QPoint(380, 100));
    // Left of the edge: it follows again.
    step = ResizeBoxStep(box, 7, {370, 100}, step.reference, scale);
    EXPECT_FLOAT_EQ(step.box.left, 185);
    EXPECT_EQ(step.reference, QPoint(370, 100));
}

TEST(ResizeBoxStep, CornerMovesTwoEdgesAndEachStopsOnItsOwn) {
    const Box box{100, 50, 200, 150};
    // Handle 2 (right, bottom) pulled up-left past the top: bottom stops, right follows.
    const BoxStep step = ResizeBoxStep(box, 2, {180, 0}, {200, 150}, 1.0f);
    EXPECT_FLOAT_EQ(step.box.right, 180);
    EXPECT_FLOAT_EQ(step.box.bottom, 60);
    EXPECT_FLOAT_EQ(step.box.left, 100);
    EXPECT_FLOAT_EQ(step.box.top, 50);
    EXPECT_EQ(step.reference, QPoint(180, 150 - 90));
    // Handle 4 moves the top only; a fractional delta still moves it.
    const BoxStep top = ResizeBoxStep(box, 4, {0, 1}, {0, 0}, 4.0f);
    EXPECT_EQ(top.box, (Box{100, 50.25f, 200, 150}));
    EXPECT_THROW(ResizeBoxStep(box, 8, {0, 1}, {0, 0}, 1.0f), InvalidArgumentException);
}

} // namespace
} // namespace vm
