#pragma once
// The side texture's alpha channel: the weight of the side photo against the front photo.
#include "platform/core/VMath.h"
#include "platform/raster/SoftwareDevice.h"

#include <QSizeF>
#include <vector>

namespace vm {

// A polyline ordered by increasing y (photo pixels), read as a function x(y).
class BlendLine {
public:
    BlendLine(const std::vector<Vec2>& zone, float shiftX);
    // x of the line at row y; rows above the first and below the last point take that point's
    // x. Returns false when no segment contains y (the points are not ordered by y).
    bool Evaluate(float y, float& x) const;
    // Mirror about the vertical line x = width / 2.
    void Mirror(float width);

private:
    std::vector<Vec2> m_points;
};

// Paints the alpha of every texel of the side texture from the blend zone: the format's
// maximum (side photo) left of the zone, 0 (front photo) right of it, a ramp across it.
// zone: the centre line in side-photo pixels; width: the ramp width in photo pixels;
// leftSide: the zone is mirrored about the centre of a photo of photoSize.width() pixels.
// Only alpha bits change. Formats without alpha, and a texture that is already locked, are
// left as they are. Throws InvalidArgumentException for an empty zone.
void UpdateBlendZone(Texture& side, const std::vector<Vec2>& zone, float width, bool leftSide,
                     QSizeF photoSize);

} // namespace vm
