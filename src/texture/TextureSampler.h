#pragma once
// A texture read the way the picture code reads it: as 32-bit ARGB texels (the texture's own
// memory when it already has that layout, else a converted copy kept here), filtered linearly
// between the four nearest texel centres, coordinates wrapping around.
//
// Two filters share the texels and the addressing and differ only in how they round, because
// their callers promise different pictures: the 3D view's software picture matches its OpenGL
// shaders (exact weights, each channel rounded to the nearest byte), the export's atlas matches
// what graphics hardware bakes (8-bit weights, truncated).
#include "platform/raster/Rasterizer.h"

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace vm {

class Texture;

class TextureSampler {
public:
    // A null texture, or one without texels, leaves the sampler unbound.
    explicit TextureSampler(const Texture* texture);
    TextureSampler(const TextureSampler&) = delete;
    TextureSampler& operator=(const TextureSampler&) = delete;

    bool Bound() const { return m_view.bits != nullptr; }
    uint32_t Width() const { return m_view.width; }
    uint32_t Height() const { return m_view.height; }
    size_t Pitch() const { return m_view.pitch; }
    const uint8_t* Row(uint32_t y) const { return m_view.bits + y * m_view.pitch; }

    // Exact weights, each channel rounded to the nearest byte; 0 unbound or for coordinates
    // that are not finite.
    uint32_t SampleRounded(float u, float v) const;

    // 8-bit weights, each channel truncated; 0 unbound or for coordinates that are not finite.
    // Coordinates within a few wraps of the texture, which is all a head uses, take integer
    // steps; everything else the general way, which gives the same texel for the former.
    uint32_t SampleTruncated(float u, float v) const;

private:
    uint32_t TruncatedAnywhere(float u, float v) const;
    uint32_t Filter(uint32_t fx, uint32_t fy, uint32_t ix0, uint32_t iy0) const;

    QImage m_copy;
    TextureView m_view;
};

} // namespace vm
