#include "views/photo/BlendZoneGeometry.h"

#include "platform/core/Exceptions.h"
#include "views/photo/DragSteps.h"
#include "views/photo/OverlayHitTest.h"

#include <cmath>

namespace vm {

namespace {
Vec2 Shifted(Vec2 v, float dx) {
    return {v.x + dx, v.y};
}

int Trunc(float value) {
    return static_cast<int>(std::trunc(value));
}
} // namespace

BlendSegment BlendZoneSegment(const std::vector<Vec2>& zone, int s, float topY, float bottomY) {
    const int n = static_cast<int>(zone.size());
    if (n == 0 || s < 0 || s > n) {
        throw InvalidArgumentException();
    }
    const Vec2 a = s == 0 ? Vec2{zone.front().x, topY} : zone[static_cast<size_t>(s - 1)];
    const Vec2 b = s == n ? Vec2{zone.back().x, bottomY} : zone[static_cast<size_t>(s)];
    return {a, b};
}

int HitTestBlendVertex(const std::vector<Vec2>& zone, Vec2 p, float t) {
    for (size_t k = 0; k < zone.size(); ++k) {
        if (InSquare(p, zone[k], t)) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

int HitTestBlendLine(const std::vector<Vec2>& zone, float width, Vec2 p, float t) {
    const int n = static_cast<int>(zone.size());
    if (n == 0) {
        return -1;
    }
    for (int s = 0; s <= n; ++s) {
        const BlendSegment seg = BlendZoneSegment(zone, s);
        if (SegmentHit(t, p, seg.a, seg.b)) {
            return kBlendCentre;
        }
        if (SegmentHit(t, p, Shifted(seg.a, -width), Shifted(seg.b, -width))) {
            return kBlendLeftEdge;
        }
        if (SegmentHit(t, p, Shifted(seg.a, width), Shifted(seg.b, width))) {
            return kBlendRightEdge;
        }
    }
    return -1;
}

QPoint MoveBlendVertexStep(std::vector<Vec2>& zone, int k, QPoint mouse, QPoint reference,
                           float scale) {
    const int n = static_cast<int>(zone.size());
    if (k < 0 || k >= n) {
        throw InvalidArgumentException();
    }
    const QPointF d = DragDelta(mouse, reference, scale);
    Vec2& v = zone[static_cast<size_t>(k)];
    const float y0 = v.y;
    v.x += static_cast<float>(d.x());
    v.y += static_cast<float>(d.y());
    bool limited = false;
    if (k > 0 && v.y < zone[static_cast<size_t>(k - 1)].y + kMinimumGap) {
        v.y = zone[static_cast<size_t>(k - 1)].y + kMinimumGap;
        limited = true;
    }
    if (k < n - 1 && v.y > zone[static_cast<size_t>(k + 1)].y - kMinimumGap) {
        v.y = zone[static_cast<size_t>(k + 1)].y - kMinimumGap;
        limited = true;
    }
    if (limited) {
        // The vertex stopped: measure the next step from where it lies on screen.
        return {mouse.x(), reference.y() + Trunc((v.y - y0) * scale)};
    }
    return mouse;
}

QPoint MoveBlendZoneStep(std::vector<Vec2>& zone, QPoint mouse, QPoint reference, float scale) {
    const QPointF d = DragDelta(mouse, reference, scale);
    for (Vec2& v : zone) {
        v.x += static_cast<float>(d.x());
        v.y += static_cast<float>(d.y());
    }
    return mouse;
}

QPoint ChangeBlendWidthStep(float& width, int edge, QPoint mouse, QPoint reference, float scale) {
    if (edge != kBlendLeftEdge && edge != kBlendRightEdge) {
        throw InvalidArgumentException();
    }
    const auto dx = static_cast<float>(DragDelta(mouse, reference, scale).x());
    const float before = width;
    width = edge == kBlendLeftEdge ? before - dx : before + dx;
    if (width >= kMinimumGap) {
        return mouse;
    }
    width = kMinimumGap;
    const int shift = Trunc((before - kMinimumGap) * scale);
    return {edge == kBlendLeftEdge ? reference.x() + shift : reference.x() - shift, mouse.y()};
}

} // namespace vm
