#include "views/photo/OverlayHitTest.h"

#include "platform/core/Exceptions.h"
#include "views/photo/BlendZoneGeometry.h"

#include <algorithm>
#include <cmath>

namespace vm {

namespace {
struct Rect {
    float left, top, right, bottom;
    bool Contains(Vec2 p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
};

Rect Grown(Vec2 a, Vec2 b, float t) {
    return {std::min(a.x, b.x) - t, std::min(a.y, b.y) - t, std::max(a.x, b.x) + t,
            std::max(a.y, b.y) + t};
}
} // namespace

float HitTolerance(float scale) {
    return 2.5f / scale;
}

bool InSquare(Vec2 p, Vec2 centre, float t) {
    return Grown(centre, centre, t).Contains(p);
}

bool SegmentHit(float t, Vec2 p, Vec2 a, Vec2 b) {
    if (!Grown(a, b, t).Contains(p)) {
        return false;
    }
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    return std::fabs(dy * (p.x - a.x) - dx * (p.y - a.y)) < t * (std::fabs(dx) + std::fabs(dy));
}

Vec2 BoxHandlePosition(const Box& box, int handle) {
    const float mx = box.left + (box.right - box.left) * 0.5f;
    const float my = box.top + (box.bottom - box.top) * 0.5f;
    switch (handle) {
    case 0:
        return {box.left, box.top};
    case 1:
        return {box.right, box.top};
    case 2:
        return {box.right, box.bottom};
    case 3:
        return {box.left, box.bottom};
    case 4:
        return {mx, box.top};
    case 5:
        return {box.right, my};
    case 6:
        return {mx, box.bottom};
    case 7:
        return {box.left, my};
    default:
        throw InvalidArgumentException();
    }
}

int HitTestBox(const Box& box, Vec2 p, float t) {
    for (int handle = 0; handle < kBoxHandleCount; ++handle) {
        if (InSquare(p, BoxHandlePosition(box, handle), t)) {
            return handle;
        }
    }
    const Vec2 topLeft{box.left, box.top}, topRight{box.right, box.top};
    const Vec2 bottomRight{box.right, box.bottom}, bottomLeft{box.left, box.bottom};
    if (Grown(topLeft, topRight, t).Contains(p) || Grown(topRight, bottomRight, t).Contains(p) ||
        Grown(bottomLeft, bottomRight, t).Contains(p) ||
        Grown(topLeft, bottomLeft, t).Contains(p)) {
        return kBoxEdge;
    }
    return -1;
}

Qt::CursorShape BoxPartCursor(int part) {
    switch (part) {
    case 0:
    case 2:
        return Qt::SizeFDiagCursor; // north-west to south-east
    case 1:
    case 3:
        return Qt::SizeBDiagCursor; // north-east to south-west
    case 4:
    case 6:
        return Qt::SizeVerCursor;
    case 5:
    case 7:
        return Qt::SizeHorCursor;
    default:
        return Qt::SizeAllCursor;
    }
}

Vec2 PointPosition(const std::vector<Vec2>& positions, int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= positions.size()) {
        throw InvalidArgumentException();
    }
    return positions[static_cast<size_t>(index)];
}

int HitTestPoint(const std::vector<FeaturePoint>& points, const std::vector<Vec2>& positions,
                 int pointsLevel, Vec2 p, float t) {
    for (size_t i = 0; i < points.size(); ++i) {
        if (points[i].level > pointsLevel) {
            continue;
        }
        if (InSquare(p, PointPosition(positions, static_cast<int32_t>(i)), t)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int HitTestFeature(const std::vector<Feature>& features, const std::vector<Vec2>& positions,
                   int pointsLevel, Vec2 p, float t) {
    for (size_t f = 0; f < features.size(); ++f) {
        if (features[f].level > pointsLevel) {
            continue;
        }
        for (const auto& [first, second] : features[f].segments) {
            if (SegmentHit(t, p, PointPosition(positions, first),
                           PointPosition(positions, second))) {
                return static_cast<int>(f);
            }
        }
    }
    return -1;
}

OverlayHit HitTestOverlay(const OverlayLayers& layers, Vec2 p, float t) {
    if (layers.blendZone) {
        if (const int v = HitTestBlendVertex(*layers.blendZone, p, t); v != -1) {
            return {OverlayTarget::BlendVertex, v};
        }
        if (const int l = HitTestBlendLine(*layers.blendZone, layers.blendWidth, p, t); l != -1) {
            return {OverlayTarget::BlendLine, l};
        }
    }
    if (layers.box) {
        if (const int part = HitTestBox(*layers.box, p, t); part != -1) {
            return {OverlayTarget::BoxPart, part};
        }
    }
    if (layers.points) {
        const auto& positions = *layers.positions;
        const int level = layers.pointsLevel;
        if (const int i = HitTestPoint(*layers.points, positions, level, p, t); i != -1) {
            return {OverlayTarget::Point, i};
        }
        if (const int f = HitTestFeature(*layers.features, positions, level, p, t); f != -1) {
            return {OverlayTarget::Feature, f};
        }
    }
    return {};
}

Qt::CursorShape OverlayCursor(OverlayHit hit) {
    switch (hit.target) {
    case OverlayTarget::BoxPart:
        return BoxPartCursor(hit.index);
    case OverlayTarget::BlendLine:
        return hit.index == kBlendCentre ? Qt::SizeAllCursor : Qt::SizeHorCursor;
    case OverlayTarget::BlendVertex:
    case OverlayTarget::Point:
    case OverlayTarget::Feature:
        return Qt::SizeAllCursor;
    case OverlayTarget::None:
        break;
    }
    return Qt::ArrowCursor;
}

} // namespace vm
