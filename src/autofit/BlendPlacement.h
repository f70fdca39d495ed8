#pragma once
// Where the side photo gives way to the front photo on a fitted head.
#include "platform/core/VMath.h"

#include <functional>

namespace vm {

class CVisomorfDoc;

// Places the blend zone on the side photo between the face and the side of the head, and
// narrows the ramp to a fraction of the head's height, so that the front photo covers the whole
// face and the side photo the side and the back. At each height the zone parts the surface the
// front photo shows well from the rest: surface turned less than `turn` radians from the front
// camera, at a front photo place where `frontShowsHead` (front photo pixels; empty: anywhere)
// finds the head rather than what lies beside it. The ramp lies on the front photo's side of
// that parting, so that none of it fades in what the front photo does not show. Rows without
// face keep their neighbours' place. Updates the side texture; records no history.
void PlaceBlendZone(CVisomorfDoc& doc, float turn,
                    const std::function<bool(const Vec2&)>& frontShowsHead = {});

} // namespace vm
