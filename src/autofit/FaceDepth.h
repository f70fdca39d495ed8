#pragma once
// The face's curve across, which neither photo shows.
namespace vm {

class CVisomorfDoc;

// How far the face's edges lie behind its middle, in head half-widths, on an average adult face
// (the outer eye corners about a fifth of the half-width behind the nose bridge, the cheekbones
// twice that): the generic head's face is flatter, and a flat face turned by 45 degrees shows
// its far cheek beside the nose and both eyes whole.
inline constexpr float kFaceCurve = 1.0f;

// Bends the fitted face back towards its sides: every vertex in front of the ears moves back by
// curve * halfWidth * (x / halfWidth)^2, fading to nothing at the ears, with its side photo
// place, so that the side photo shows the same skin there. The front photo sees nothing move.
// The feature points follow their vertices. Records no history.
void BendFaceBack(CVisomorfDoc& doc, float curve);

} // namespace vm
