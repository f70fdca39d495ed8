// Blend zone hit tests (with the extensions) and drag steps with their limits.
#include "views/photo/BlendZoneGeometry.h"

#include "platform/core/Exceptions.h"

#include <gtest/gtest.h>

namespace vm {
namespace {

std::vector<Vec2> NewZone() {
    return {{350, 0}, {350, 200}, {350, 400}, {350, 600}, {350, 800}};
}

TEST(BlendZoneHit, VerticesThenLinesInOrderWithExtensions) {
    const std::vector<Vec2> zone = NewZone();
    const float t = 2.5f;
    EXPECT_EQ(HitTestBlendVertex(zone, {351, 401}, t), 2);
    EXPECT_EQ(HitTestBlendVertex(zone, {351, 300}, t), -1);
    EXPECT_EQ(HitTestBlendLine(zone, 100, {351, 300}, t), kBlendCentre);
    EXPECT_EQ(HitTestBlendLine(zone, 100, {249, 300}, t), kBlendLeftEdge);
    EXPECT_EQ(HitTestBlendLine(zone, 100, {451, 300}, t), kBlendRightEdge);
    EXPECT_EQ(HitTestBlendLine(zone, 100, {300, 300}, t), -1);
    // Above the first and below the last vertex, far outside the photo.
    EXPECT_EQ(HitTestBlendLine(zone, 100, {250, -20000}, t), kBlendLeftEdge);
    EXPECT_EQ(HitTestBlendLine(zone, 100, {450, 30000}, t), kBlendRightEdge);
    // A narrow band: the centre wins over the left edge within the same segment.
    EXPECT_EQ(HitTestBlendLine(zone, 1, {349.5f, 300}, t), kBlendCentre);
}

TEST(BlendZoneHit, EmptyZoneIsNeverHit) {
    const std::vector<Vec2> empty;
    EXPECT_EQ(HitTestBlendVertex(empty, {0, 0}, 1e6f), -1);
    EXPECT_EQ(HitTestBlendLine(empty, 100, {0, 0}, 1e6f), -1);
    EXPECT_THROW(BlendZoneSegment(empty, 0), InvalidArgumentException);
}

TEST(MoveBlendVertexStep, KeepsTenPixelsFromNeighboursButEndsAreFree) {
    const float scale = 2.0f;
    std::vector<Vec2> zone = NewZone();
    // Vertex 2 (y 400, on screen y 800) dragged up past vertex 1: stops at 210.
    QPoint reference = MoveBlendVertexStep(zone, 2, {710, 0}, {700, 800}, scale);
    EXPECT_FLOAT_EQ(zone[2].x, 355);
    EXPECT_FLOAT_EQ(zone[2].y, 210);
    EXPECT_EQ(reference, QPoint(710, 800 - 380));
    // Back down to the stopped vertex's screen position: it stays, then follows.
    reference = MoveBlendVertexStep(zone, 2, {710, 419}, reference, scale);
    EXPECT_FLOAT_EQ(zone[2].y, 210); // 209.5 would be too close to vertex 1
    reference = MoveBlendVertexStep(zone, 2, {710, 440}, reference, scale);
    EXPECT_FLOAT_EQ(zone[2].y, 220);
    // The first vertex goes up and the last down without limit.
    MoveBlendVertexStep(zone, 0, {0, -2000}, {0, 0}, 1.0f);
    MoveBlendVertexStep(zone, 4, {0, 5000}, {0, 0}, 1.0f);
    EXPECT_FLOAT_EQ(zone[0].y, -2000);
    EXPECT_FLOAT_EQ(zone[4].y, 5800);
    EXPECT_THROW(MoveBlendVertexStep(zone, 5, {0, 1}, {0, 0}, 1.0f), InvalidArgumentException);
}

TEST(ChangeBlendWidthStep, EdgesMoveSymmetricallyAndWidthStopsAtTen) {
    float width = 100;
    QPoint reference = ChangeBlendWidthStep(width, kBlendRightEdge, {120, 5}, {100, 0}, 2.0f);
    EXPECT_FLOAT_EQ(width, 110);
    EXPECT_EQ(reference, QPoint(120, 5));
    // The left edge dragged right far past the centre: width 10, reference onto the edge.
    reference = ChangeBlendWidthStep(width, kBlendLeftEdge, {900, 7}, {100, 0}, 2.0f);
    EXPECT_FLOAT_EQ(width, 10);
    EXPECT_EQ(reference, QPoint(100 + 200, 7));
    // Moving the centre line moves every vertex.
    std::vector<Vec2> zone = NewZone();
    MoveBlendZoneStep(zone, {3, 4}, {1, 0}, 2.0f);
    EXPECT_FLOAT_EQ(zone[0].x, 351);
    EXPECT_FLOAT_EQ(zone[4].y, 802);
}

} // namespace
} // namespace vm
