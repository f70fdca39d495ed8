#include "platform/raster/Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vm {

namespace {

constexpr double kSubpixels = 256.0;
// Larger coordinates could overflow the 64-bit edge functions; such triangles are dropped.
constexpr double kMaxCoordinate = 4194304.0; // 2^22 pixels

bool Usable(const RasterVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && v.w > 0 &&
           std::isfinite(v.w) && std::abs(v.x) <= kMaxCoordinate && std::abs(v.y) <= kMaxCoordinate;
}

int64_t Snap(float coordinate) {
    return std::llround(static_cast<double>(coordinate) * kSubpixels);
}

uint32_t Channel(uint32_t texel, int shift) {
    return (texel >> shift) & 0xFF;
}

uint32_t Wrap(int64_t i, uint32_t size, TextureAddress address) {
    const auto n = static_cast<int64_t>(size);
    if (address == TextureAddress::Clamp) {
        return static_cast<uint32_t>(std::clamp<int64_t>(i, 0, n - 1));
    }
    return static_cast<uint32_t>(((i % n) + n) % n);
}

uint32_t Texel(const TextureView& t, uint32_t x, uint32_t y) {
    uint32_t texel;
    std::memcpy(&texel, t.bits + y * t.pitch + x * 4, 4);
    return texel; // little-endian host: bytes B, G, R, A make the word ARGB
}

} // namespace

RenderTarget::RenderTarget(int width, int height)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_colour(static_cast<size_t>(m_width) * static_cast<size_t>(m_height)),
      m_depth(m_colour.size(), 1.0f) {}

void RenderTarget::Clear(uint32_t argb, float depth) {
    std::fill(m_colour.begin(), m_colour.end(), argb);
    std::fill(m_depth.begin(), m_depth.end(), depth);
}

QImage RenderTarget::ToImage() const {
    QImage image(m_width, m_height, QImage::Format_ARGB32);
    for (int y = 0; y < m_height; ++y) {
        std::memcpy(image.scanLine(y), Row(y), Stride() * sizeof(uint32_t));
    }
    return image;
}

bool TriangleSetup::Prepare(const RasterState& state, const RasterVertex& v0,
                            const RasterVertex& v1, const RasterVertex& v2, int targetWidth,
                            int targetHeight) {
    if (!Usable(v0) || !Usable(v1) || !Usable(v2)) {
        return false;
    }
    m_v[0] = &v0;
    m_v[1] = &v1;
    m_v[2] = &v2;
    m_varyingCount = std::clamp(state.varyingCount, 0, kMaxVaryings);
    for (int k = 0; k < 3; ++k) {
        m_px[k] = Snap(m_v[k]->x);
        m_py[k] = Snap(m_v[k]->y);
    }
    // Positive for triangles that run clockwise on the screen (y downwards).
    m_area = (m_px[1] - m_px[0]) * (m_py[2] - m_py[0]) - (m_py[1] - m_py[0]) * (m_px[2] - m_px[0]);
    if (m_area == 0 || (state.cull == CullMode::Clockwise && m_area > 0) ||
        (state.cull == CullMode::CounterClockwise && m_area < 0)) {
        return false;
    }
    if (m_area < 0) {
        std::swap(m_v[1], m_v[2]);
        std::swap(m_px[1], m_px[2]);
        std::swap(m_py[1], m_py[2]);
        m_area = -m_area;
    }
    for (int k = 0; k < 3; ++k) {
        const int a = (k + 1) % 3, b = (k + 2) % 3;
        const int64_t dx = m_px[b] - m_px[a], dy = m_py[b] - m_py[a];
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        m_bias[k] = topLeft ? 0 : -1;
    }
    const auto [minX, maxX] = std::minmax({m_px[0], m_px[1], m_px[2]});
    const auto [minY, maxY] = std::minmax({m_py[0], m_py[1], m_py[2]});
    m_minX = static_cast<int>(std::max(0.0, std::floor(minX / kSubpixels)));
    m_minY = static_cast<int>(std::max(0.0, std::floor(minY / kSubpixels)));
    m_maxX = static_cast<int>(std::min<double>(targetWidth - 1, std::ceil(maxX / kSubpixels)));
    m_maxY = static_cast<int>(std::min<double>(targetHeight - 1, std::ceil(maxY / kSubpixels)));
    return m_minX <= m_maxX && m_minY <= m_maxY;
}

void TriangleSetup::Barycentric(int x, int y, float& b0, float& b1, float& b2) const {
    const int64_t cx = static_cast<int64_t>(x) * 256 + 128;
    const int64_t cy = static_cast<int64_t>(y) * 256 + 128;
    auto edge = [&](int a, int b) {
        return (m_px[b] - m_px[a]) * (cy - m_py[a]) - (m_py[b] - m_py[a]) * (cx - m_px[a]);
    };
    const double area = static_cast<double>(m_area);
    b0 = static_cast<float>(static_cast<double>(edge(1, 2)) / area);
    b1 = static_cast<float>(static_cast<double>(edge(2, 0)) / area);
    b2 = 1.0f - b0 - b1;
}

float TriangleSetup::DepthAt(int x, int y) const {
    float b0, b1, b2;
    Barycentric(x, y, b0, b1, b2);
    return b0 * m_v[0]->z + b1 * m_v[1]->z + b2 * m_v[2]->z;
}

void TriangleSetup::VaryingsAt(int x, int y, float* out) const {
    float b0, b1, b2;
    Barycentric(x, y, b0, b1, b2);
    const float q0 = b0 / m_v[0]->w, q1 = b1 / m_v[1]->w, q2 = b2 / m_v[2]->w;
    const float inverse = 1.0f / (q0 + q1 + q2);
    for (int i = 0; i < m_varyingCount; ++i) {
        out[i] = (q0 * m_v[0]->varyings[i] + q1 * m_v[1]->varyings[i] + q2 * m_v[2]->varyings[i]) *
                 inverse;
    }
}

uint32_t SampleBilinear(const TextureView& texture, float u, float v, TextureAddress address) {
    if (texture.bits == nullptr || texture.width == 0 || texture.height == 0 || !std::isfinite(u) ||
        !std::isfinite(v)) {
        return 0;
    }
    const double x = static_cast<double>(u) * texture.width - 0.5;
    const double y = static_cast<double>(v) * texture.height - 0.5;
    const double fx0 = std::floor(x), fy0 = std::floor(y);
    const double fx = x - fx0, fy = y - fy0;
    const auto ix = static_cast<int64_t>(fx0), iy = static_cast<int64_t>(fy0);
    const uint32_t x0 = Wrap(ix, texture.width, address), x1 = Wrap(ix + 1, texture.width, address);
    const uint32_t y0 = Wrap(iy, texture.height, address),
                   y1 = Wrap(iy + 1, texture.height, address);
    const uint32_t t00 = Texel(texture, x0, y0), t10 = Texel(texture, x1, y0);
    const uint32_t t01 = Texel(texture, x0, y1), t11 = Texel(texture, x1, y1);
    uint32_t result = 0;
    for (int shift = 0; shift <= 24; shift += 8) {
        const double top = Channel(t00, shift) * (1 - fx) + Channel(t10, shift) * fx;
        const double bottom = Channel(t01, shift) * (1 - fx) + Channel(t11, shift) * fx;
        const auto value = static_cast<uint32_t>(std::lround(top * (1 - fy) + bottom * fy));
        result |= std::min<uint32_t>(value, 255) << shift;
    }
    return result;
}

namespace {

bool DepthPasses(DepthTest test, float z, float stored) {
    return test == DepthTest::Off || (test == DepthTest::Less && z < stored) ||
           (test == DepthTest::LessEqual && z <= stored);
}

} // namespace

void DrawLine(RenderTarget& target, const RasterState& state, const RasterVertex& v0,
              const RasterVertex& v1, uint32_t argb) {
    const float dx = v1.x - v0.x, dy = v1.y - v0.y;
    if (!std::isfinite(dx) || !std::isfinite(dy) || (dx == 0 && dy == 0)) {
        return;
    }
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    // Walk the major axis upwards whatever the line's direction.
    const RasterVertex& a = (xMajor ? dx : dy) >= 0 ? v0 : v1;
    const RasterVertex& b = &a == &v0 ? v1 : v0;
    const float major0 = xMajor ? a.x : a.y, major1 = xMajor ? b.x : b.y;
    const float minor0 = xMajor ? a.y : a.x, minor1 = xMajor ? b.y : b.x;
    const float slope = (minor1 - minor0) / (major1 - major0);
    const float depthSlope = (b.z - a.z) / (major1 - major0);
    const int majorLimit = xMajor ? target.Width() : target.Height();
    const int minorLimit = xMajor ? target.Height() : target.Width();
    const int first = std::max(0, static_cast<int>(std::ceil(major0 - 0.5f)));
    const int last = std::min(majorLimit, static_cast<int>(std::ceil(major1 - 0.5f)));
    for (int i = first; i < last; ++i) {
        const float centre = static_cast<float>(i) + 0.5f;
        const int minor = static_cast<int>(std::floor(minor0 + (centre - major0) * slope));
        if (minor < 0 || minor >= minorLimit) {
            continue;
        }
        const int x = xMajor ? i : minor, y = xMajor ? minor : i;
        const float z = a.z + (centre - major0) * depthSlope;
        float& stored = target.DepthRow(y)[x];
        if (!DepthPasses(state.depthTest, z, stored)) {
            continue;
        }
        target.Row(y)[x] = argb;
        if (state.depthWrite) {
            stored = z;
        }
    }
}

} // namespace vm
