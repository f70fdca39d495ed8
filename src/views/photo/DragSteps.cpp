#include "views/photo/DragSteps.h"

#include "platform/core/Exceptions.h"

#include <cmath>

namespace vm {

namespace {
enum Edge { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8 };

int EdgesOfHandle(int handle) {
    static constexpr int kEdges[] = {kLeft | kTop, kRight | kTop, kRight | kBottom, kLeft | kBottom,
                                     kTop,         kRight,        kBottom,          kLeft};
    if (handle < 0 || handle >= static_cast<int>(std::size(kEdges))) {
        throw InvalidArgumentException();
    }
    return kEdges[handle];
}

// How far the reference point moves when an edge stops at the limit, window pixels.
int StopShift(float extent, float scale) {
    return static_cast<int>(std::trunc((extent - kMinimumGap) * scale));
}
} // namespace

QPointF DragDelta(QPoint mouse, QPoint reference, float scale) {
    return {static_cast<float>(mouse.x() - reference.x()) / scale,
            static_cast<float>(mouse.y() - reference.y()) / scale};
}

BoxStep MoveBoxStep(const Box& box, QPoint mouse, QPoint reference, float scale) {
    const QPointF d = DragDelta(mouse, reference, scale);
    const auto dx = static_cast<float>(d.x());
    const auto dy = static_cast<float>(d.y());
    return {{box.left + dx, box.top + dy, box.right + dx, box.bottom + dy}, mouse};
}

BoxStep ResizeBoxStep(const Box& box, int handle, QPoint mouse, QPoint reference, float scale) {
    const int edges = EdgesOfHandle(handle);
    const QPointF d = DragDelta(mouse, reference, scale);
    const auto dx = static_cast<float>(d.x());
    const auto dy = static_cast<float>(d.y());
    const float w = box.Width();
    const float h = box.Height();
    BoxStep step{box, mouse};
    Box& b = step.box;
    if (edges & kLeft) {
        b.left = box.left + dx;
        if (box.right - b.left < kMinimumGap) {
            b.left = box.right - kMinimumGap;
            step.reference.setX(reference.x() + StopShift(w, scale));
        }
    }
    if (edges & kTop) {
        b.top = box.top + dy;
        if (box.bottom - b.top < kMinimumGap) {
            b.top = box.bottom - kMinimumGap;
            step.reference.setY(reference.y() + StopShift(h, scale));
        }
    }
    if (edges & kRight) {
        b.right = box.right + dx;
        if (b.right - box.left < kMinimumGap) {
            b.right = box.left + kMinimumGap;
            step.reference.setX(reference.x() - StopShift(w, scale));
        }
    }
    if (edges & kBottom) {
        b.bottom = box.bottom + dy;
        if (b.bottom - box.top < kMinimumGap) {
            b.bottom = box.top + kMinimumGap;
            step.reference.setY(reference.y() - StopShift(h, scale));
        }
    }
    return step;
}

} // namespace vm
