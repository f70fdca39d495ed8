#pragma once
// The blend zone as the side view sees it: a polyline of vertices in side-photo pixels, run on
// straight up from the first vertex and straight down from the last, with an edge line at -w
// and +w of every vertex. Hit tests and drag steps; mouse positions are window pixels, all else
// photo pixels.
#include "platform/core/VMath.h"

#include <QPoint>
#include <QPointF>
#include <vector>

namespace vm {

// Blend lines: the centre polyline and the two edges.
enum BlendLine : int { kBlendCentre = 0, kBlendLeftEdge = 1, kBlendRightEdge = 2 };

// Where the extensions end for hit testing, photo pixels.
constexpr float kBlendTopExtent = -32768.0f;
constexpr float kBlendBottomExtent = 32767.0f;

struct BlendSegment {
    Vec2 a, b;
};

// Segment s of 0..n (n vertices): s = 0 is the extension above the first vertex and s = n the
// one below the last, ending at topY and bottomY. The zone must not be empty.
BlendSegment BlendZoneSegment(const std::vector<Vec2>& zone, int s, float topY = kBlendTopExtent,
                              float bottomY = kBlendBottomExtent);

// The first vertex whose square of half-side t contains p, or -1.
int HitTestBlendVertex(const std::vector<Vec2>& zone, Vec2 p, float t);
// The first line hit at p (earlier segments first; centre, then left, then right), or -1.
// An empty zone is never hit.
int HitTestBlendLine(const std::vector<Vec2>& zone, float width, Vec2 p, float t);

// Moves vertex k by the mouse movement since reference, keeping it 10 photo pixels below its
// upper and above its lower neighbour. Returns the reference point for the next step.
QPoint MoveBlendVertexStep(std::vector<Vec2>& zone, int k, QPoint mouse, QPoint reference,
                           float scale);
// Moves every vertex by the mouse movement. Returns the next reference point (the mouse).
QPoint MoveBlendZoneStep(std::vector<Vec2>& zone, QPoint mouse, QPoint reference, float scale);
// Widens or narrows the band by the horizontal movement of an edge (kBlendLeftEdge or
// kBlendRightEdge); the width never falls below 10. Returns the next reference point.
QPoint ChangeBlendWidthStep(float& width, int edge, QPoint mouse, QPoint reference, float scale);

} // namespace vm
