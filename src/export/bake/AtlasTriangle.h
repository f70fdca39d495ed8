#pragma once
// One triangle of the atlas as the shading kernels see it: every value it carries across the
// target as a plane, and the colour of a single pixel worked out the plain way, which every
// kernel must give lane by lane.
#include "platform/mesh/Mesh.h"
#include "platform/raster/Rasterizer.h"
#include "texture/TextureSampler.h"

#include <cstddef>
#include <cstdint>

namespace vm::bake {

enum Varying { FrontU, FrontV, SideU, SideV, Red, Green, Blue, VaryingCount };

// The varyings of one triangle as planes over the target: value = at0 + x * perX + y * perY.
// The atlas projection is orthographic, so this affine form is exact. white: every corner's
// colour is white, so the colour planes are 255 everywhere.
struct AtlasTriangle {
    float at0[VaryingCount], perX[VaryingCount], perY[VaryingCount];
    // The same planes four times over, ready for four-lane loads.
    alignas(16) float start[VaryingCount][4];
    alignas(16) float across[VaryingCount][4];
    alignas(16) float down[VaryingCount][4];
    bool white;
    // Roughly how far (in bytes) the front and the side photo places move in the few target
    // rows a prefetch looks ahead.
    int64_t ahead[2];
};

// The vertex on a width x height target at its texture-layout place (v = 0 the bottom row, as
// OBJ texture coordinates expect).
RasterVertex AtlasVertex(const HeadVertex& vertex, const Vec2& place, uint32_t width,
                         uint32_t height);

// The planes of the triangle v0 v1 v2; false for one without area.
bool MakeTriangle(const RasterVertex& v0, const RasterVertex& v1, const RasterVertex& v2,
                  AtlasTriangle& out);

// Where the kernels read the photos and write the pixels.
struct ShadeTarget {
    const TextureSampler& front;
    const TextureSampler& side;
    uint8_t* bits;
    size_t pitch;

    uint32_t* Row(int y) const {
        return reinterpret_cast<uint32_t*>(bits + static_cast<size_t>(y) * pitch);
    }
};

// The colour of pixel (x, y): the side photo over the front one by the side alpha, times the
// vertex colour, opaque.
uint32_t ShadePixel(const ShadeTarget& target, const AtlasTriangle& t, int x, int y);

// Pixels of one triangle waiting to be shaded together, from the ends of its spans.
struct PixelGroup {
    int32_t x[4], y[4];
    int count = 0;
};

} // namespace vm::bake
