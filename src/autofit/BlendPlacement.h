#pragma once
// Where the side photo gives way to the front photo on a fitted head.
namespace vm {

class CVisomorfDoc;

// Places the blend zone on the side photo between the face and the side of the head: at each
// height, where the fitted surface turns further than `turn` radians from the front camera
// towards the side camera, and narrows the ramp to a fraction of the head's height, so that
// the front photo covers the whole face and the side photo the side and the back. Rows without
// such surface keep their neighbours' place. Updates the side texture; records no history.
void PlaceBlendZone(CVisomorfDoc& doc, float turn);

} // namespace vm
