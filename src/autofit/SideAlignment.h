#pragma once
// Bringing the side photo to the front photo's heights. Real photo pairs differ in distance,
// zoom, camera height and a little roll; the document, though, moves the head's vertices by
// half of each photo's vertical moves, so the two photos must agree on where the crown, the
// eyes, the nose and the chin are before both can be fitted. The side photo is resampled so that
// they do (and mirrored when the face looks the other way than the document's side photo).
#include "document/DocumentTypes.h"
#include "platform/core/VMath.h"

#include <QImage>
#include <QSize>
#include <optional>
#include <vector>

namespace vm {

// One place of the head seen in the side photo (pixels of the photo as it is), with its height
// in the front photo, and, when known, where it belongs across (side pixels after alignment).
struct HeightPair {
    Vec2 side;
    float frontY = 0;
    float weight = 1;
    std::optional<float> alignedX; // pins the roll as well, when the place across is known
};

struct SideAlignment {
    double scale = 1;             // front pixels per side pixel
    double roll = 0;              // radians, the side photo turned clockwise on screen by this much
    double shiftY = 0;            // aligned y of the side photo's origin before rolling
    std::optional<double> shiftX; // the same across; unset: the canvas starts at the photo's left
    bool mirror = false;
    // Side photo pixels to aligned pixels, and the aligned photo's size.
    PhotoTransform transform;
    QSize size;
};

// The largest roll the alignment believes; a larger one is a misread landmark, not a camera.
constexpr double kLargestRoll = 0.17; // about 10 degrees
// The range of scales between the two photos' heads that the alignment accepts.
constexpr double kSmallestScale = 0.2, kLargestScale = 5;

// Least squares: the scale, roll and vertical shift that bring the side places to their front
// heights. Places without alignedX say nothing of the roll but through their spread across, so
// the roll is drawn towards zero there. Nothing when there are fewer than two places, the
// scale is out of range, or the places disagree beyond what a camera explains.
std::optional<SideAlignment> EstimateSideAlignment(const std::vector<HeightPair>& pairs,
                                                   QSize sidePhoto, int frontHeight, bool mirror);

// The alignment that brings the side box's top and bottom to the front box's.
SideAlignment AlignmentFromBoxes(const Box& front, const Box& side, QSize sidePhoto,
                                 int frontHeight, bool mirror);

// The aligned photo's transform and size from scale, roll, shift and mirror: the canvas is as
// high as the front photo and as wide as the turned side photo.
void CompleteAlignment(SideAlignment& alignment, QSize sidePhoto, int frontHeight);

// The side photo resampled by the alignment (area-averaged when it shrinks).
QImage ResampleSidePhoto(const QImage& side, const SideAlignment& alignment);

// The map of the document's side points for the aligned photo: the alignment without its
// mirror, so a layout made for the document's side stays that way round.
PhotoTransform PointTransform(const SideAlignment& alignment);

} // namespace vm
