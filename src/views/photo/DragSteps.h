#pragma once
// One mouse move of a drag on a photo, turned into the change it makes. Mouse positions are
// window pixels; boxes and deltas are photo pixels.
#include "document/DocumentTypes.h"

#include <QPoint>
#include <QPointF>

namespace vm {

// Neither edge of a box nor the blend zone's width gets closer than this, in photo pixels.
constexpr float kMinimumGap = 10.0f;

// The mouse movement since the reference point, in photo pixels (single precision).
QPointF DragDelta(QPoint mouse, QPoint reference, float scale);

// A step's result: the new box, and the reference point the next step measures from.
struct BoxStep {
    Box box;
    QPoint reference; // window pixels
};

// Moves the whole box by the mouse movement since reference.
BoxStep MoveBoxStep(const Box& box, QPoint mouse, QPoint reference, float scale);
// Moves the edges of a handle (0..7). An edge stops 10 photo pixels from the opposite edge, and
// the reference point then moves to where that edge lies on screen, so the edge follows the
// mouse again only once the mouse is back over it.
BoxStep ResizeBoxStep(const Box& box, int handle, QPoint mouse, QPoint reference, float scale);

} // namespace vm
