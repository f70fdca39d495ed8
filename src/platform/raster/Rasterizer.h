#pragma once
// A headless triangle rasteriser: ARGB colour plus float depth, pixel shading by a callable.
//
// Conventions (the same as the graphics device the program once targeted):
// - Pixel (i, j) covers [i, i+1) x [j, j+1) in render-target pixels, y downwards; a triangle
//   covers a pixel when it contains the pixel's centre (i + 0.5, j + 0.5).
// - Top-left fill rule: a centre exactly on an edge belongs to the triangle only when the edge
//   is a top edge (horizontal, interior below) or a left edge, so triangles sharing an edge
//   never draw a pixel twice and never leave a gap.
// - Vertex positions snap to 1/256 pixel first, so coverage is decided exactly with integers.
// - Attributes ("varyings") are interpolated perspective-correctly using each vertex's clip w;
//   with w = 1 at every vertex (orthographic projections, texture bakes) that is the plain
//   affine interpolation in screen space. Depth is interpolated affinely in screen space.
#include <QImage>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vm {

// The colour and depth buffers of one render target; row 0 is the top row.
class RenderTarget {
public:
    RenderTarget(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }

    void Clear(uint32_t argb, float depth = 1.0f);

    uint32_t* Row(int y) { return m_colour.data() + static_cast<size_t>(y) * Stride(); }
    const uint32_t* Row(int y) const { return m_colour.data() + static_cast<size_t>(y) * Stride(); }
    float* DepthRow(int y) { return m_depth.data() + static_cast<size_t>(y) * Stride(); }
    uint32_t Pixel(int x, int y) const { return Row(y)[x]; }
    float Depth(int x, int y) const { return m_depth[static_cast<size_t>(y) * Stride() + x]; }

    // A copy as a 32-bit ARGB image.
    QImage ToImage() const;

private:
    size_t Stride() const { return static_cast<size_t>(m_width); }
    int m_width;
    int m_height;
    std::vector<uint32_t> m_colour;
    std::vector<float> m_depth;
};

constexpr int kMaxVaryings = 12;

struct RasterVertex {
    float x = 0, y = 0; // render-target pixels
    float z = 0;        // depth, 0 (near) .. 1 (far)
    float w = 1;        // clip-space w, must be positive
    float varyings[kMaxVaryings] = {};
};

enum class DepthTest { Off, Less, LessEqual };
// Which screen-space winding is dropped; clockwise as seen on the screen (y downwards).
enum class CullMode { None, Clockwise, CounterClockwise };

struct RasterState {
    DepthTest depthTest = DepthTest::LessEqual;
    bool depthWrite = true;
    CullMode cull = CullMode::None;
    int varyingCount = 0; // how many varyings to interpolate (up to kMaxVaryings)
};

// Pixels of one triangle in scan order; each pixel's interpolated depth and varyings.
class TriangleSetup {
public:
    // False when nothing is to be drawn: culled, degenerate, w not positive or not finite.
    bool Prepare(const RasterState& state, const RasterVertex& v0, const RasterVertex& v1,
                 const RasterVertex& v2, int targetWidth, int targetHeight);

    // Calls visit(x, y) for every covered pixel (x, y) of the target, rows top to bottom.
    template <class Visit> void ForEachPixel(Visit&& visit) const;

    // Calls visit(y, xBegin, xEnd) for every row y in [rowBegin, rowEnd) that the triangle
    // covers, its covered pixels being x in [xBegin, xEnd): exactly the pixels ForEachPixel
    // visits in those rows, found per row with a few integer steps instead of a test per pixel.
    template <class Visit> void ForEachSpan(int rowBegin, int rowEnd, Visit&& visit) const;

    // Interpolated depth and varyings at the centre of pixel (x, y).
    float DepthAt(int x, int y) const;
    void VaryingsAt(int x, int y, float* out) const;

private:
    void Barycentric(int x, int y, float& b0, float& b1, float& b2) const;

    const RasterVertex* m_v[3] = {};
    int m_varyingCount = 0;
    int64_t m_px[3] = {}, m_py[3] = {}; // positions in 1/256 pixel
    int64_t m_area = 0;                 // twice the signed area, positive after reordering
    int64_t m_bias[3] = {};             // 0 for top-left edges, -1 otherwise
    int m_minX = 0, m_maxX = -1, m_minY = 0, m_maxY = -1;
};

// Draws one triangle. shade(const float* varyings) returns the pixel's ARGB colour, which
// replaces the target's when the depth test passes.
template <class Shade>
void DrawTriangle(RenderTarget& target, const RasterState& state, const RasterVertex& v0,
                  const RasterVertex& v1, const RasterVertex& v2, Shade&& shade);

// Draws a one-pixel line from v0 to v1 (varyings unused) in one colour. Along the major axis
// every pixel whose centre lies in [start, end) is drawn once, in the row or column the line
// crosses at that centre, so that lines joined end to end draw their shared pixel once.
// Depth is interpolated linearly and tested like triangles.
void DrawLine(RenderTarget& target, const RasterState& state, const RasterVertex& v0,
              const RasterVertex& v1, uint32_t argb);

// A 32-bit texture in memory: texels are little-endian ARGB words, rows pitch bytes apart.
struct TextureView {
    const uint8_t* bits = nullptr;
    size_t pitch = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

enum class TextureAddress { Wrap, Clamp };

// Linear filtering between the four nearest texel centres; texel (i, j) has its centre at
// ((i + 0.5) / width, (j + 0.5) / height). Each channel is rounded to the nearest byte.
uint32_t SampleBilinear(const TextureView& texture, float u, float v,
                        TextureAddress address = TextureAddress::Wrap);

// ---------------------------------------------------------------------------------------------

namespace raster_detail {

inline int64_t FloorDiv(int64_t n, int64_t d) { // d > 0
    const int64_t q = n / d;
    return n % d < 0 ? q - 1 : q;
}

// floor(n / d) for a numerator that changes by the same step on every row, kept exact with a
// remainder so that a row costs no division. d > 0.
class SteppedQuotient {
public:
    SteppedQuotient() = default;
    SteppedQuotient(int64_t n, int64_t step, int64_t d)
        : m_q(FloorDiv(n, d)), m_r(n - m_q * d), m_d(d), m_qStep(FloorDiv(step, d)),
          m_rStep(step - m_qStep * d) {}
    int64_t Value() const { return m_q; }
    void Advance() { // without a branch: whether the remainder carries is anybody's guess
        m_r += m_rStep;
        const bool carry = m_r >= m_d;
        m_q += m_qStep + static_cast<int64_t>(carry);
        m_r -= carry ? m_d : 0;
    }

private:
    int64_t m_q = 0, m_r = 0, m_d = 1, m_qStep = 0, m_rStep = 0;
};

} // namespace raster_detail

template <class Visit> void TriangleSetup::ForEachPixel(Visit&& visit) const {
    constexpr int64_t kOne = 256;
    for (int y = m_minY; y <= m_maxY; ++y) {
        const int64_t cy = y * kOne + kOne / 2;
        const int64_t cx = m_minX * kOne + kOne / 2;
        int64_t e[3], step[3];
        for (int k = 0; k < 3; ++k) {
            const int a = (k + 1) % 3, b = (k + 2) % 3; // edge opposite vertex k
            const int64_t dx = m_px[b] - m_px[a], dy = m_py[b] - m_py[a];
            e[k] = dx * (cy - m_py[a]) - dy * (cx - m_px[a]) + m_bias[k];
            step[k] = -dy * kOne;
        }
        for (int x = m_minX; x <= m_maxX; ++x) {
            if ((e[0] | e[1] | e[2]) >= 0) {
                visit(x, y);
            }
            e[0] += step[0];
            e[1] += step[1];
            e[2] += step[2];
        }
    }
}

template <class Visit>
void TriangleSetup::ForEachSpan(int rowBegin, int rowEnd, Visit&& visit) const {
    using raster_detail::SteppedQuotient;
    constexpr int64_t kOne = 256;
    const int first = std::max(rowBegin, m_minY), last = std::min(rowEnd - 1, m_maxY);
    if (first > last) {
        return;
    }
    const int64_t cy = first * kOne + kOne / 2;
    const int64_t cx = m_minX * kOne + kOne / 2;
    // Each edge function, at pixel k of a row (counted from m_minX), is e + perPixel * k, and e
    // grows by perRow from one row to the next. Rising edges bound k from below, falling ones
    // from above, level ones admit a row entirely or not at all.
    SteppedQuotient lower[3], upper[3];
    int lowerCount = 0, upperCount = 0, levelCount = 0;
    int64_t level[3], levelStep[3];
    for (int k = 0; k < 3; ++k) {
        const int a = (k + 1) % 3, b = (k + 2) % 3; // edge opposite vertex k
        const int64_t dx = m_px[b] - m_px[a], dy = m_py[b] - m_py[a];
        const int64_t e = dx * (cy - m_py[a]) - dy * (cx - m_px[a]) + m_bias[k];
        const int64_t perPixel = -dy * kOne, perRow = dx * kOne;
        if (perPixel > 0) { // e + perPixel * k >= 0  <=>  k >= ceil(-e / perPixel)
            lower[lowerCount++] = SteppedQuotient(perPixel - 1 - e, -perRow, perPixel);
        } else if (perPixel < 0) { // k <= floor(e / -perPixel)
            upper[upperCount++] = SteppedQuotient(e, perRow, -perPixel);
        } else {
            level[levelCount] = e;
            levelStep[levelCount++] = perRow;
        }
    }
    const int64_t widest = m_maxX - m_minX;
    for (int y = first; y <= last; ++y) {
        int64_t from = 0, to = widest;
        for (int i = 0; i < lowerCount; ++i) {
            from = std::max(from, lower[i].Value());
            lower[i].Advance();
        }
        for (int i = 0; i < upperCount; ++i) {
            to = std::min(to, upper[i].Value());
            upper[i].Advance();
        }
        for (int i = 0; i < levelCount; ++i) {
            if (level[i] < 0) {
                to = -1;
            }
            level[i] += levelStep[i];
        }
        if (from <= to) {
            visit(y, m_minX + static_cast<int>(from), m_minX + static_cast<int>(to) + 1);
        }
    }
}

template <class Shade>
void DrawTriangle(RenderTarget& target, const RasterState& state, const RasterVertex& v0,
                  const RasterVertex& v1, const RasterVertex& v2, Shade&& shade) {
    TriangleSetup setup;
    if (!setup.Prepare(state, v0, v1, v2, target.Width(), target.Height())) {
        return;
    }
    float varyings[kMaxVaryings];
    setup.ForEachPixel([&](int x, int y) {
        const float z = setup.DepthAt(x, y);
        float& stored = target.DepthRow(y)[x];
        if ((state.depthTest == DepthTest::Less && !(z < stored)) ||
            (state.depthTest == DepthTest::LessEqual && !(z <= stored))) {
            return;
        }
        setup.VaryingsAt(x, y, varyings);
        target.Row(y)[x] = shade(static_cast<const float*>(varyings));
        if (state.depthWrite) {
            stored = z;
        }
    });
}

} // namespace vm
