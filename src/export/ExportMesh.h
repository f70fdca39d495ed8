#pragma once
// The mesh an export writes: the displayed mesh without degenerate triangles, its texture
// coordinates taken from the generic head's layout, duplicates welded.
#include "platform/mesh/Mesh.h"

#include <array>
#include <cstdint>

namespace vm {

// How many times the displayed mesh was refined from the base mesh (0, 1 or 2), judged from the
// face counts (each refinement splits every triangle in four); -1 when it is none of these.
int RefinementLevel(const Mesh& displayed, const Mesh& base);

// Where corner `corner` (0..2) of displayed triangle `face` lies within its base triangle
// (base face face / 4^level), as weights of the base triangle's three corners.
std::array<float, 3> RefinedCornerWeights(uint32_t face, int corner, int level);

// The export mesh. Every refined corner gets the modelUV interpolated within its base triangle
// (from the base mesh's modelUV), so the refined triangles of each base triangle tile exactly
// that triangle's place in the texture, and copies on either side of a texture seam keep their
// own coordinates. Triangles with a repeated index are dropped; equal vertices are welded.
// Throws CDXException when the result needs more than 16-bit indices.
Mesh BuildExportMesh(const Mesh& displayed, const Mesh& base);

} // namespace vm
