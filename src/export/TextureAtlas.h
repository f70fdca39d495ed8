#pragma once
// The export's texture: every triangle drawn at its place in the generic head's texture layout
// (modelUV), coloured from both photos exactly as the 3D view blends them.
#include "platform/core/VMath.h"
#include "platform/mesh/Mesh.h"

#include <QImage>
#include <cstdint>
#include <vector>

namespace vm {

class Texture;

// How much each triangle is enlarged around its centroid for the first draw, so that texels
// just outside the exact triangles (which a viewer's filtering reaches) get the colour of the
// nearest surface instead of the white clear colour.
float DilationFactor(int32_t modelDetail, bool dilate);

// Texture-space position (modelUV units) of every vertex for the enlarged draw: each triangle's
// corners moved away from its modelUV centroid by the factor. A vertex shared by several
// triangles keeps the position the last of them gives it.
std::vector<Vec2> DilatedAtlasPositions(const Mesh& mesh, float factor);

// An opaque white width x height image for RenderTextureAtlas to draw into, its memory already
// in place: made beside other work, it spares the bake the cost of fresh memory. A null image
// for an impossible size or when memory is short.
QImage NewAtlasCanvas(uint32_t width, uint32_t height);

// The baked texture, width x height pixels, opaque white where no triangle lies. Pixel rows
// run from v = 1 (top) to v = 0 (bottom). With a factor above 1 the enlarged triangles are
// drawn first and the exact ones over them. front and side are the photo textures; the side
// texture's alpha weighs the side photo against the front photo. A missing texture reads as
// black with alpha 0. canvas: an image from NewAtlasCanvas to draw into; one of another size or
// a null image is not used.
QImage RenderTextureAtlas(const Mesh& mesh, const Texture* front, const Texture* side,
                          uint32_t width, uint32_t height, float dilationFactor,
                          QImage canvas = {});

} // namespace vm
