#include "texture/TextureSampler.h"

#include "platform/raster/SoftwareDevice.h"
#include "texture/PhotoTexture.h"

#include <cmath>
#include <cstring>

namespace vm {

namespace {

// floor(value) for |value| < 2^30, where the integer conversion is exact after the correction;
// false elsewhere (and for NaN).
bool FloorNearZero(float value, int32_t& floor) {
    if (!(std::fabs(value) < 1073741824.0f)) {
        return false;
    }
    floor = static_cast<int32_t>(value);
    if (static_cast<float>(floor) > value) {
        --floor;
    }
    return true;
}

uint32_t Wrap(float index, uint32_t size) {
    if (index >= 0 && index < static_cast<float>(size)) {
        return static_cast<uint32_t>(index);
    }
    const double wrapped = std::fmod(static_cast<double>(index), static_cast<double>(size));
    return static_cast<uint32_t>(wrapped < 0 ? wrapped + size : wrapped) % size;
}

uint32_t WrapIndex(int32_t index, uint32_t size) {
    if (index >= -1 && index < static_cast<int64_t>(size)) {
        return index < 0 ? size - 1 : static_cast<uint32_t>(index);
    }
    return Wrap(static_cast<float>(index), size);
}

uint32_t Weight(float fraction) {
    return static_cast<uint32_t>(fraction * 256.0f);
}

uint32_t Texel(const uint8_t* row, uint32_t x) {
    uint32_t texel;
    std::memcpy(&texel, row + x * 4, 4);
    return texel;
}

// a + (b - a) * f / 256 in each of the four bytes at once.
uint32_t Lerp(uint32_t a, uint32_t b, uint32_t f) {
    const uint32_t g = 256 - f;
    const uint32_t rb = (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
    const uint32_t ag = (((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u;
    return rb | ag;
}

} // namespace

TextureSampler::TextureSampler(const Texture* texture) {
    if (!texture || texture->Width() == 0 || texture->Height() == 0) {
        return;
    }
    if (texture->Format() == TextureFormat::A8R8G8B8) {
        m_view = {texture->Bits(), texture->Pitch(), texture->Width(), texture->Height()};
        return;
    }
    m_copy = TextureToImage(*texture).convertToFormat(QImage::Format_ARGB32);
    if (m_copy.isNull()) {
        return;
    }
    m_view = {m_copy.constBits(), static_cast<size_t>(m_copy.bytesPerLine()),
              static_cast<uint32_t>(m_copy.width()), static_cast<uint32_t>(m_copy.height())};
}

uint32_t TextureSampler::SampleRounded(float u, float v) const {
    return SampleBilinear(m_view, u, v);
}

uint32_t TextureSampler::SampleTruncated(float u, float v) const {
    if (!Bound()) {
        return 0;
    }
    const float x = u * static_cast<float>(m_view.width) - 0.5f;
    const float y = v * static_cast<float>(m_view.height) - 0.5f;
    int32_t x0, y0;
    if (!FloorNearZero(x, x0) || !FloorNearZero(y, y0)) {
        return TruncatedAnywhere(u, v);
    }
    return Filter(Weight(x - static_cast<float>(x0)), Weight(y - static_cast<float>(y0)),
                  WrapIndex(x0, m_view.width), WrapIndex(y0, m_view.height));
}

uint32_t TextureSampler::TruncatedAnywhere(float u, float v) const {
    if (!std::isfinite(u) || !std::isfinite(v)) {
        return 0;
    }
    const float x = u * m_view.width - 0.5f, y = v * m_view.height - 0.5f;
    const float x0 = std::floor(x), y0 = std::floor(y);
    return Filter(Weight(x - x0), Weight(y - y0), Wrap(x0, m_view.width), Wrap(y0, m_view.height));
}

// Texel (ix0, iy0) and its right, lower and diagonal neighbours, weighed by fx / 256 and
// fy / 256.
uint32_t TextureSampler::Filter(uint32_t fx, uint32_t fy, uint32_t ix0, uint32_t iy0) const {
    const uint32_t ix1 = ix0 + 1 == m_view.width ? 0 : ix0 + 1;
    const uint32_t iy1 = iy0 + 1 == m_view.height ? 0 : iy0 + 1;
    const uint8_t* const row0 = Row(iy0);
    const uint8_t* const row1 = Row(iy1);
    const uint32_t top = Lerp(Texel(row0, ix0), Texel(row0, ix1), fx);
    const uint32_t bottom = Lerp(Texel(row1, ix0), Texel(row1, ix1), fx);
    return Lerp(top, bottom, fy);
}

} // namespace vm
