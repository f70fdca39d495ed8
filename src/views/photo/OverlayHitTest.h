#pragma once
// What lies under the mouse on a photo: the blend zone, box handles and edges, feature points
// and feature segments. Every position here is in photo pixels; the tolerance t is 2.5 window
// pixels expressed in photo pixels.
#include "document/DocumentTypes.h"
#include "document/FeatureSet.h"
#include "platform/core/VMath.h"

#include <Qt>
#include <vector>

namespace vm {

// Box parts: 0..7 the handles (corners clockwise from top-left, then the edge middles from
// the top clockwise), 8 an edge (the whole box), -1 none.
constexpr int kBoxHandleCount = 8;
constexpr int kBoxEdge = 8;

// Tolerance in photo pixels for a scale in window pixels per photo pixel.
float HitTolerance(float scale);
// True when p lies in the square of half-side t around centre, bounds included.
bool InSquare(Vec2 p, Vec2 centre, float t);
// True when the line through a-b passes through the square of half-side t around p and p lies
// in the segment's bounds grown by t. A segment whose ends coincide is never hit.
bool SegmentHit(float t, Vec2 p, Vec2 a, Vec2 b);

Vec2 BoxHandlePosition(const Box& box, int handle);
int HitTestBox(const Box& box, Vec2 p, float t);
// The cursor shape of a box part (0..8).
Qt::CursorShape BoxPartCursor(int part);

// The position of a point, or InvalidArgumentException when the index lies outside the list.
Vec2 PointPosition(const std::vector<Vec2>& positions, int32_t index);

// The first shown point whose square contains p, or -1.
int HitTestPoint(const std::vector<FeaturePoint>& points, const std::vector<Vec2>& positions,
                 int pointsLevel, Vec2 p, float t);
// The first shown feature with a segment hit at p, or -1.
int HitTestFeature(const std::vector<Feature>& features, const std::vector<Vec2>& positions,
                   int pointsLevel, Vec2 p, float t);

// The overlays of one photo as shown; a null pointer is an overlay that is hidden.
struct OverlayLayers {
    const Box* box = nullptr;
    const std::vector<FeaturePoint>* points = nullptr; // with features and positions
    const std::vector<Feature>* features = nullptr;
    const std::vector<Vec2>* positions = nullptr;
    int pointsLevel = 0;
    const std::vector<Vec2>* blendZone = nullptr; // the side photo only
    float blendWidth = 0;
};

enum class OverlayTarget { None, BlendVertex, BlendLine, BoxPart, Point, Feature };

struct OverlayHit {
    OverlayTarget target = OverlayTarget::None;
    // The blend vertex, BlendLine value, box part (0..8), point or feature; -1 for None.
    int index = -1;
    bool operator==(const OverlayHit&) const = default;
};

// What a press at p would grab, which is also what hovering shows: the blend zone's vertices,
// then its lines, then the box's handles and edge, then points, then features.
OverlayHit HitTestOverlay(const OverlayLayers& layers, Vec2 p, float t);
// The cursor over a target; Qt::ArrowCursor over nothing.
Qt::CursorShape OverlayCursor(OverlayHit hit);

} // namespace vm
