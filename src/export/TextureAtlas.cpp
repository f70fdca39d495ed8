#include "export/TextureAtlas.h"

#include "platform/core/Exceptions.h"
#include "platform/raster/PixelMemory.h"
#include "platform/raster/Rasterizer.h"
#include "platform/raster/SoftwareDevice.h"
#include "texture/PhotoTexture.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
// Eight pixels at once where the processor has AVX2 (asked at run time; the program itself is
// built for the plain x86-64 instruction set).
#if defined(__GNUC__) && defined(__x86_64__)
#define VM_ATLAS_AVX2 1
#include <immintrin.h>
#define VM_AVX2 __attribute__((target("avx2")))
#endif
#endif

namespace vm {

namespace {

// Threads for the bake: one per core.
int WorkerCount() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
}

} // namespace

float DilationFactor(int32_t modelDetail, bool dilate) {
    if (!dilate)
        return 1.0f;
    switch (modelDetail) {
    case 0:
        return 1.2f;
    case 1:
        return 1.4f;
    case 2:
        return 1.8f;
    default:
        return 1.0f;
    }
}

std::vector<Vec2> DilatedAtlasPositions(const Mesh& mesh, float factor) {
    std::vector<Vec2> positions(mesh.vertices.size());
    for (size_t v = 0; v < mesh.vertices.size(); ++v)
        positions[v] = mesh.vertices[v].modelUV;
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        const uint32_t a = mesh.indices[f * 3], b = mesh.indices[f * 3 + 1],
                       c = mesh.indices[f * 3 + 2];
        const Vec2 &ua = mesh.vertices[a].modelUV, &ub = mesh.vertices[b].modelUV,
                   &uc = mesh.vertices[c].modelUV;
        const Vec2 centroid{((ub.x + ua.x) + uc.x) * 0.33333334f,
                            ((ub.y + ua.y) + uc.y) * 0.33333334f};
        for (uint32_t corner : {a, b, c}) {
            const Vec2& uv = mesh.vertices[corner].modelUV;
            positions[corner] = {centroid.x + factor * (uv.x - centroid.x),
                                 centroid.y + factor * (uv.y - centroid.y)};
        }
    }
    return positions;
}

namespace {

// A photo texture seen as 32-bit ARGB texels (the texture's own memory when it already has that
// layout, else a converted copy), filtered linearly between the four nearest texel centres with
// 8-bit weights, as graphics hardware does; coordinates wrap around.
class PhotoSampler {
public:
    explicit PhotoSampler(const Texture* texture) {
        if (!texture)
            return;
        if (texture->Format() == TextureFormat::A8R8G8B8) {
            Bind(texture->Bits(), texture->Pitch(), texture->Width(), texture->Height());
        } else {
            m_copy = TextureToImage(*texture).convertToFormat(QImage::Format_ARGB32);
            Bind(m_copy.constBits(), static_cast<size_t>(m_copy.bytesPerLine()),
                 static_cast<uint32_t>(m_copy.width()), static_cast<uint32_t>(m_copy.height()));
        }
    }

    // ARGB at texture coordinates (u, v); 0 without a texture. Coordinates within a few
    // wraps of the photo, which is all a head uses, take integer steps; everything else (huge,
    // infinite, not a number) the general way, which gives the same texel for the former.
    uint32_t Sample(float u, float v) const {
        if (!m_bits)
            return 0;
        const float x = u * static_cast<float>(m_width) - 0.5f;
        const float y = v * static_cast<float>(m_height) - 0.5f;
        int32_t x0, y0;
        if (!FloorNearZero(x, x0) || !FloorNearZero(y, y0))
            return SampleAnywhere(u, v);
        return Filter(Weight(x - static_cast<float>(x0)), Weight(y - static_cast<float>(y0)),
                      WrapIndex(x0, m_width), WrapIndex(y0, m_height));
    }

    // What Sample gives where u * width - 0.5 lies between x0 and x0 + 1 with fraction
    // fx / 256 and the same for v, for |x0|, |y0| < 2^30.
    uint32_t SampleNear(int32_t x0, int32_t y0, uint32_t fx, uint32_t fy) const {
        if (!m_bits)
            return 0;
        return Filter(fx, fy, WrapIndex(x0, m_width), WrapIndex(y0, m_height));
    }

    bool Bound() const { return m_bits != nullptr; }
    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    const uint8_t* Row(uint32_t y) const { return m_bits + y * m_pitch; }
    size_t Pitch() const { return m_pitch; }

private:
    void Bind(const uint8_t* bits, size_t pitch, uint32_t width, uint32_t height) {
        if (width == 0 || height == 0)
            return;
        m_bits = bits, m_pitch = pitch, m_width = width, m_height = height;
    }

    uint32_t SampleAnywhere(float u, float v) const {
        if (!std::isfinite(u) || !std::isfinite(v))
            return 0;
        const float x = u * m_width - 0.5f, y = v * m_height - 0.5f;
        const float x0 = std::floor(x), y0 = std::floor(y);
        return Filter(Weight(x - x0), Weight(y - y0), Wrap(x0, m_width), Wrap(y0, m_height));
    }

    // floor(value) for |value| < 2^30, where the integer conversion is exact after the
    // correction; false elsewhere (and for NaN).
    static bool FloorNearZero(float value, int32_t& floor) {
        if (!(std::fabs(value) < 1073741824.0f))
            return false;
        floor = static_cast<int32_t>(value);
        if (static_cast<float>(floor) > value)
            --floor;
        return true;
    }
    static uint32_t WrapIndex(int32_t index, uint32_t size) {
        if (index >= -1 && index < static_cast<int64_t>(size))
            return index < 0 ? size - 1 : static_cast<uint32_t>(index);
        return Wrap(static_cast<float>(index), size);
    }
    static uint32_t Wrap(float index, uint32_t size) {
        if (index >= 0 && index < static_cast<float>(size))
            return static_cast<uint32_t>(index);
        const double wrapped = std::fmod(static_cast<double>(index), static_cast<double>(size));
        return static_cast<uint32_t>(wrapped < 0 ? wrapped + size : wrapped) % size;
    }

    static uint32_t Weight(float fraction) { return static_cast<uint32_t>(fraction * 256.0f); }

    // Texel (ix0, iy0) and its right, lower and diagonal neighbours, weighed by fx / 256 and
    // fy / 256.
    uint32_t Filter(uint32_t fx, uint32_t fy, uint32_t ix0, uint32_t iy0) const {
        const uint32_t ix1 = ix0 + 1 == m_width ? 0 : ix0 + 1;
        const uint32_t iy1 = iy0 + 1 == m_height ? 0 : iy0 + 1;
        const uint8_t* const row0 = m_bits + iy0 * m_pitch;
        const uint8_t* const row1 = m_bits + iy1 * m_pitch;
        const uint32_t top = Lerp(Texel(row0, ix0), Texel(row0, ix1), fx);
        const uint32_t bottom = Lerp(Texel(row1, ix0), Texel(row1, ix1), fx);
        return Lerp(top, bottom, fy);
    }
    static uint32_t Texel(const uint8_t* row, uint32_t x) {
        uint32_t texel;
        std::memcpy(&texel, row + x * 4, 4);
        return texel;
    }
    // a + (b - a) * f / 256 in each of the four bytes at once.
    static uint32_t Lerp(uint32_t a, uint32_t b, uint32_t f) {
        const uint32_t g = 256 - f;
        const uint32_t rb = (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
        const uint32_t ag =
            (((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u;
        return rb | ag;
    }

    QImage m_copy;
    const uint8_t* m_bits = nullptr;
    size_t m_pitch = 0;
    uint32_t m_width = 0, m_height = 0;
};

enum Varying { FrontU, FrontV, SideU, SideV, Red, Green, Blue, VaryingCount };

// The varyings of one triangle as planes over the target: value = at0 + x * perX + y * perY.
// The atlas projection is orthographic, so this affine form is exact. white: every corner's
// colour is white, so the colour planes are 255 everywhere.
struct AtlasTriangle {
    float at0[VaryingCount], perX[VaryingCount], perY[VaryingCount];
    bool white;
    // Roughly how far (in bytes) the front and the side photo places move in the few target
    // rows a prefetch looks ahead.
    int64_t ahead[2];
};

RasterVertex AtlasVertex(const HeadVertex& vertex, const Vec2& place, uint32_t width,
                         uint32_t height) {
    RasterVertex out;
    // v = 0 is the bottom row, as OBJ texture coordinates expect.
    out.x = place.x * static_cast<float>(width);
    out.y = (1.0f - place.y) * static_cast<float>(height);
    out.z = 0.5f;
    out.varyings[FrontU] = vertex.frontUV.x;
    out.varyings[FrontV] = vertex.frontUV.y;
    out.varyings[SideU] = vertex.sideUV.x;
    out.varyings[SideV] = vertex.sideUV.y;
    out.varyings[Red] = static_cast<float>((vertex.diffuse >> 16) & 0xFF);
    out.varyings[Green] = static_cast<float>((vertex.diffuse >> 8) & 0xFF);
    out.varyings[Blue] = static_cast<float>(vertex.diffuse & 0xFF);
    return out;
}

bool MakeTriangle(const RasterVertex& v0, const RasterVertex& v1, const RasterVertex& v2,
                  AtlasTriangle& out) {
    const double e1x = v1.x - v0.x, e1y = v1.y - v0.y;
    const double e2x = v2.x - v0.x, e2y = v2.y - v0.y;
    const double det = e1x * e2y - e2x * e1y;
    if (det == 0)
        return false;
    for (int k = 0; k < VaryingCount; ++k) {
        const double d1 = v1.varyings[k] - v0.varyings[k];
        const double d2 = v2.varyings[k] - v0.varyings[k];
        const double perX = (d1 * e2y - d2 * e1y) / det, perY = (e1x * d2 - e2x * d1) / det;
        out.perX[k] = static_cast<float>(perX);
        out.perY[k] = static_cast<float>(perY);
        out.at0[k] = static_cast<float>(v0.varyings[k] - perX * v0.x - perY * v0.y);
    }
    out.white = true;
    for (const RasterVertex* v : {&v0, &v1, &v2})
        for (int k = Red; k <= Blue; ++k)
            out.white = out.white && v->varyings[k] == 255.0f;
    return true;
}

uint32_t Channel(uint32_t argb, int shift) {
    return (argb >> shift) & 0xFF;
}

constexpr int kShifts[3] = {16, 8, 0};

// Photo colour times the vertex colour, opaque.
uint32_t LightTexel(const float (&mixed)[3], const float* rgb) {
    uint32_t out = 0xFF000000u;
    for (int k = 0; k < 3; ++k) {
        const float lit = mixed[k] * std::clamp(rgb[k], 0.0f, 255.0f) / 255.0f;
        out |= static_cast<uint32_t>(std::clamp(lit, 0.0f, 255.0f) + 0.5f) << kShifts[k];
    }
    return out;
}

// One photo's texel times the vertex colour: what BlendTexel gives for side alpha 0 or 255.
uint32_t LightPhotoTexel(uint32_t texel, const float* rgb) {
    const float mixed[3] = {static_cast<float>(Channel(texel, 16)),
                            static_cast<float>(Channel(texel, 8)),
                            static_cast<float>(Channel(texel, 0))};
    return LightTexel(mixed, rgb);
}

// Side colour weighed by the side alpha against the front colour, times the vertex colour.
uint32_t BlendTexel(uint32_t front, uint32_t side, const float* rgb) {
    const float a = static_cast<float>(Channel(side, 24)) / 255.0f;
    float mixed[3];
    for (int k = 0; k < 3; ++k)
        mixed[k] = static_cast<float>(Channel(side, kShifts[k])) * a +
                   static_cast<float>(Channel(front, kShifts[k])) * (1.0f - a);
    return LightTexel(mixed, rgb);
}

// Pixels a face may touch, inclusive: a pixel more on every side than its corners, for the
// snapping. Empty (left > right) for corners that are not numbers.
struct PixelBox {
    int left, top, right, bottom;
};

// The triangles of one draw: every vertex placed on the target, and every face's box.
struct AtlasPass {
    std::vector<RasterVertex> vertices;
    std::vector<PixelBox> boxes;

    AtlasPass(const Mesh& mesh, const std::vector<Vec2>& places, uint32_t width, uint32_t height)
        : vertices(mesh.vertices.size()), boxes(mesh.FaceCount()) {
        for (size_t v = 0; v < vertices.size(); ++v)
            vertices[v] = AtlasVertex(mesh.vertices[v], places[v], width, height);
        for (uint32_t f = 0; f < mesh.FaceCount(); ++f)
            boxes[f] = Box(vertices[mesh.indices[f * 3]], vertices[mesh.indices[f * 3 + 1]],
                           vertices[mesh.indices[f * 3 + 2]], width, height);
    }

    static PixelBox Box(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                        uint32_t width, uint32_t height) {
        for (const RasterVertex* v : {&a, &b, &c})
            if (!std::isfinite(v->x) || !std::isfinite(v->y))
                return {0, 0, -1, -1};
        auto edge = [](double value, uint32_t size) {
            return static_cast<int>(std::clamp(value, -1.0, static_cast<double>(size)));
        };
        return {edge(std::floor(std::min({a.x, b.x, c.x})) - 1, width),
                edge(std::floor(std::min({a.y, b.y, c.y})) - 1, height),
                edge(std::ceil(std::max({a.x, b.x, c.x})) + 1, width),
                edge(std::ceil(std::max({a.y, b.y, c.y})) + 1, height)};
    }
};

// The planes of one triangle in every lane of a vector, for shading four pixels at once.
struct TrianglePlanes {
    const AtlasTriangle& triangle;
#if defined(__SSE2__)
    __m128 start[VaryingCount], across[VaryingCount], down[VaryingCount];
#endif
    explicit TrianglePlanes(const AtlasTriangle& t) : triangle(t) {
#if defined(__SSE2__)
        for (int k = 0; k < VaryingCount; ++k) {
            start[k] = _mm_set1_ps(t.at0[k]);
            across[k] = _mm_set1_ps(t.perX[k]);
            down[k] = _mm_set1_ps(t.perY[k]);
        }
#endif
    }
};

// Pixels of one triangle waiting to be shaded together, from the ends of its spans.
struct PixelGroup {
    int32_t x[4], y[4];
    int count = 0;
};

// Bakes the atlas band by band; every pixel is decided within its own row, so bands are
// independent. Within a band the triangles are drawn from the last to the first, the exact
// ones before the enlarged ones, and a pixel, once written, keeps its colour: that is the
// picture of drawing the enlarged triangles and then the exact ones in mesh order, each
// over the other, with every pixel shaded once.
class AtlasBake {
public:
    AtlasBake(const Mesh& mesh, const PhotoSampler& front, const PhotoSampler& side, QImage& image,
              float dilationFactor)
        : m_mesh(mesh), m_front(front), m_side(side), m_width(image.width()),
          m_height(image.height()), m_bits(image.bits()),
          m_pitch(static_cast<size_t>(image.bytesPerLine())),
          m_written(static_cast<size_t>(m_width) * static_cast<size_t>(m_height)) {
        const auto width = static_cast<uint32_t>(m_width), height = static_cast<uint32_t>(m_height);
        std::vector<Vec2> exact(mesh.vertices.size());
        for (size_t v = 0; v < mesh.vertices.size(); ++v)
            exact[v] = mesh.vertices[v].modelUV;
        m_passes.emplace_back(mesh, exact, width, height);
        if (dilationFactor != 1.0f)
            m_passes.emplace_back(mesh, DilatedAtlasPositions(mesh, dilationFactor), width, height);
#if defined(VM_ATLAS_AVX2)
        // The eight-lane look-up addresses texels with 32-bit byte offsets.
        auto addressable = [](const PhotoSampler& photo) {
            return uint64_t{photo.Height()} * photo.Pitch() < (uint64_t{1} << 31);
        };
        m_eightLanes =
            __builtin_cpu_supports("avx2") && addressable(m_front) && addressable(m_side);
#endif
    }

    void BakeRows(int rowBegin, int rowEnd) {
        std::memset(Written(rowBegin), 0,
                    static_cast<size_t>(rowEnd - rowBegin) * static_cast<size_t>(m_width));
        DrawPass(m_passes.front(), rowBegin, rowEnd, nullptr);
        if (m_passes.size() > 1) {
            const WrittenTiles tiles(*this, rowBegin, rowEnd);
            DrawPass(m_passes.back(), rowBegin, rowEnd, &tiles);
        }
        for (int y = rowBegin; y < rowEnd; ++y) {
            const uint8_t* written = Written(y);
            uint8_t* row = m_bits + static_cast<size_t>(y) * m_pitch;
            for (int x = 0; x < m_width; ++x) {
                if (x % 8 == 0 && x + 8 <= m_width && AllWritten(written + x)) {
                    x += 7;
                    continue;
                }
                if (!written[x])
                    std::memcpy(row + static_cast<size_t>(x) * 4, &kWhite, 4);
            }
        }
    }

private:
    static constexpr uint32_t kWhite = 0xFFFFFFFFu;
    static constexpr float kRowsAhead = 4;

    // Which 8 x 8 tiles of a band are written all over: an enlarged triangle whose box lies in
    // such tiles only has nothing left to draw, which inside the head is nearly every one.
    class WrittenTiles {
    public:
        WrittenTiles(const AtlasBake& bake, int rowBegin, int rowEnd)
            : m_rowBegin(rowBegin), m_rowEnd(rowEnd), m_columns((bake.m_width + kSize - 1) / kSize),
              m_full(static_cast<size_t>((rowEnd - rowBegin + kSize - 1) / kSize) *
                         static_cast<size_t>(m_columns),
                     1) {
            for (int y = rowBegin; y < rowEnd; ++y) {
                const uint8_t* written = bake.Written(y);
                uint8_t* full = &m_full[static_cast<size_t>((y - rowBegin) / kSize) *
                                        static_cast<size_t>(m_columns)];
                int x = 0;
                for (; x + kSize <= bake.m_width; x += kSize)
                    full[x / kSize] &= static_cast<uint8_t>(AllWritten(written + x));
                for (; x < bake.m_width; ++x)
                    full[x / kSize] &= written[x];
            }
        }
        bool Covers(const PixelBox& box) const {
            const int top = std::max(box.top, m_rowBegin),
                      bottom = std::min(box.bottom, m_rowEnd - 1);
            const int left = std::max(box.left, 0) / kSize;
            const int right = std::min(box.right / kSize, m_columns - 1);
            for (int ty = (top - m_rowBegin) / kSize; ty <= (bottom - m_rowBegin) / kSize; ++ty)
                for (int tx = left; tx <= right; ++tx)
                    if (!m_full[static_cast<size_t>(ty) * static_cast<size_t>(m_columns) +
                                static_cast<size_t>(tx)])
                        return false;
            return true;
        }

    private:
        static constexpr int kSize = 8;
        int m_rowBegin, m_rowEnd, m_columns;
        std::vector<uint8_t> m_full;
    };

    uint8_t* Written(int y) {
        return m_written.data() + static_cast<size_t>(y) * static_cast<size_t>(m_width);
    }
    const uint8_t* Written(int y) const {
        return m_written.data() + static_cast<size_t>(y) * static_cast<size_t>(m_width);
    }

    void DrawPass(const AtlasPass& pass, int rowBegin, int rowEnd, const WrittenTiles* tiles) {
        for (uint32_t f = m_mesh.FaceCount(); f-- > 0;) {
            const PixelBox& box = pass.boxes[f];
            if (box.left > box.right || box.bottom < rowBegin || box.top >= rowEnd)
                continue;
            if (tiles && tiles->Covers(box))
                continue;
            DrawFace(pass, f, rowBegin, rowEnd);
        }
    }

    void DrawFace(const AtlasPass& pass, uint32_t f, int rowBegin, int rowEnd) {
        const RasterVertex& v0 = pass.vertices[m_mesh.indices[f * 3]];
        const RasterVertex& v1 = pass.vertices[m_mesh.indices[f * 3 + 1]];
        const RasterVertex& v2 = pass.vertices[m_mesh.indices[f * 3 + 2]];
        RasterState state;
        state.depthTest = DepthTest::Off;
        state.depthWrite = false;
        state.cull = CullMode::None;
        TriangleSetup setup;
        AtlasTriangle triangle;
        if (!setup.Prepare(state, v0, v1, v2, m_width, m_height) ||
            !MakeTriangle(v0, v1, v2, triangle))
            return;
        const PhotoSampler* photos[2] = {&m_front, &m_side};
        for (int p = 0; p < 2; ++p) {
            auto texels = [&](int k, uint32_t size) {
                const float steps = triangle.perY[k] * static_cast<float>(size) * kRowsAhead;
                return std::isfinite(steps) ? static_cast<int64_t>(std::clamp(steps, -1e5f, 1e5f))
                                            : 0;
            };
            triangle.ahead[p] = texels(FrontU + 2 * p, photos[p]->Width()) * 4 +
                                texels(FrontV + 2 * p, photos[p]->Height()) *
                                    static_cast<int64_t>(photos[p]->Pitch());
        }
        const TrianglePlanes planes(triangle);
        PixelGroup pending;
        setup.ForEachSpan(rowBegin, rowEnd, [&](int y, int xBegin, int xEnd) {
            DrawSpan(planes, y, xBegin, xEnd, pending);
        });
        if (pending.count > 0)
            ShadeGroup(planes, pending);
    }

    // Shades the pixels of the span nothing has written yet: four side by side at once, the
    // odd ones together with those of the triangle's next spans.
    void DrawSpan(const TrianglePlanes& planes, int y, int xBegin, int xEnd, PixelGroup& pending) {
        uint8_t* const written = Written(y);
        int x = SkipWritten(written, xBegin, xEnd);
        while (x < xEnd) {
            uint64_t eight = 1;
            if (m_eightLanes && x + 8 <= xEnd)
                std::memcpy(&eight, written + x, 8);
            uint32_t four = 1;
            if (x + 4 <= xEnd)
                std::memcpy(&four, written + x, 4);
            if (eight == 0) {
                constexpr uint64_t kEightWritten = 0x0101010101010101u;
                std::memcpy(written + x, &kEightWritten, 8);
                ShadeRunOfEight(planes, x, y);
                x += 8;
            } else if (four == 0) {
                constexpr uint32_t kFourWritten = 0x01010101u;
                std::memcpy(written + x, &kFourWritten, 4);
                ShadeRun(planes, x, y);
                x += 4;
            } else {
                written[x] = 1;
                pending.x[pending.count] = x;
                pending.y[pending.count] = y;
                if (++pending.count == 4) {
                    ShadeGroup(planes, pending);
                    pending.count = 0;
                }
                ++x;
            }
            if (x < xEnd && written[x])
                x = SkipWritten(written, x, xEnd);
        }
    }

    uint32_t* Row(int y) const {
        return reinterpret_cast<uint32_t*>(m_bits + static_cast<size_t>(y) * m_pitch);
    }

    // Shade for pixel (x, y) alone.
    uint32_t ShadePixel(const AtlasTriangle& t, int x, int y) const {
        const float cy = static_cast<float>(y) + 0.5f;
        float rowTerm[VaryingCount];
        for (int k = 0; k < VaryingCount; ++k)
            rowTerm[k] = cy * t.perY[k];
        return Shade(t, static_cast<float>(x) + 0.5f, rowTerm);
    }

    // Whether the eight pixels from written on are all written.
    static bool AllWritten(const uint8_t* written) {
        uint64_t eight;
        std::memcpy(&eight, written, 8);
        return eight == 0x0101010101010101u;
    }

    // The first pixel at or after x that no triangle has written yet, or end.
    static int SkipWritten(const uint8_t* written, int x, int end) {
        while (x + 8 <= end && AllWritten(written + x))
            x += 8;
        while (x < end && written[x])
            ++x;
        return x;
    }

#if defined(__SSE2__)
#if defined(VM_ATLAS_AVX2)
    // Pixels x to x + 7 of row y: ShadeLanes with eight lanes, the same operations lane by
    // lane, so the same colours.
    VM_AVX2 void ShadeRunOfEight(const TrianglePlanes& planes, int x, int y) const {
        const AtlasTriangle& t = planes.triangle;
        const __m256 cx =
            _mm256_add_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(
                              _mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))),
                          _mm256_set1_ps(0.5f));
        const __m256 cy = _mm256_set1_ps(static_cast<float>(y) + 0.5f);
        WidePlace sideAt, frontAt;
        if (!LocateWide(m_side, At(t, SideU, cx, cy), At(t, SideV, cx, cy), sideAt))
            return ShadeRunsOfFour(planes, x, y);
        const __m256i side = FetchWide(m_side, sideAt, t.ahead[1]);
        const __m256i alpha = _mm256_srli_epi32(side, 24);
        __m256i front = _mm256_setzero_si256();
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, _mm256_set1_epi32(255))) != -1) {
            if (!LocateWide(m_front, At(t, FrontU, cx, cy), At(t, FrontV, cx, cy), frontAt))
                return ShadeRunsOfFour(planes, x, y);
            front = FetchWide(m_front, frontAt, t.ahead[0]);
        }
        const __m256 full = _mm256_set1_ps(255.0f), zero = _mm256_setzero_ps();
        const __m256 a = _mm256_div_ps(_mm256_cvtepi32_ps(alpha), full);
        const __m256 rest = _mm256_sub_ps(_mm256_set1_ps(1.0f), a);
        __m256i colours = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
        const int shifts[3] = {16, 8, 0};
        for (int k = 0; k < 3; ++k) {
            const __m128i shift = _mm_cvtsi32_si128(shifts[k]);
            const __m256 mixed = _mm256_add_ps(_mm256_mul_ps(ChannelWide(side, shift), a),
                                               _mm256_mul_ps(ChannelWide(front, shift), rest));
            const __m256 weight =
                t.white ? full : _mm256_min_ps(full, _mm256_max_ps(zero, At(t, Red + k, cx, cy)));
            const __m256 lit = _mm256_div_ps(_mm256_mul_ps(mixed, weight), full);
            const __m256 rounded =
                _mm256_add_ps(_mm256_min_ps(full, _mm256_max_ps(zero, lit)), _mm256_set1_ps(0.5f));
            const __m256i value =
                _mm256_and_si256(_mm256_cvttps_epi32(rounded),
                                 _mm256_castps_si256(_mm256_cmp_ps(rounded, rounded, _CMP_ORD_Q)));
            colours = _mm256_or_si256(colours, _mm256_sll_epi32(value, shift));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Row(y) + x), colours);
    }

    void ShadeRunsOfFour(const TrianglePlanes& planes, int x, int y) const {
        ShadeRun(planes, x, y);
        ShadeRun(planes, x + 4, y);
    }

    VM_AVX2 static __m256 At(const AtlasTriangle& t, int k, __m256 cx, __m256 cy) {
        return _mm256_add_ps(
            _mm256_add_ps(_mm256_set1_ps(t.at0[k]), _mm256_mul_ps(cx, _mm256_set1_ps(t.perX[k]))),
            _mm256_mul_ps(cy, _mm256_set1_ps(t.perY[k])));
    }

    // As QuadPlace, for eight samples.
    struct WidePlace {
        __m256i x0, x1, y0, y1, fx, fy;
    };

    VM_AVX2 static bool LocateWide(const PhotoSampler& photo, __m256 u, __m256 v,
                                   WidePlace& place) {
        if (!photo.Bound())
            return true;
        const __m256 half = _mm256_set1_ps(0.5f);
        const __m256 x = _mm256_sub_ps(
            _mm256_mul_ps(u, _mm256_set1_ps(static_cast<float>(photo.Width()))), half);
        const __m256 y = _mm256_sub_ps(
            _mm256_mul_ps(v, _mm256_set1_ps(static_cast<float>(photo.Height()))), half);
        return NearWide(x, photo.Width(), place.x0, place.x1, place.fx) &&
               NearWide(y, photo.Height(), place.y0, place.y1, place.fy);
    }

    // As Near, for eight positions.
    VM_AVX2 static bool NearWide(__m256 position, uint32_t size, __m256i& first, __m256i& second,
                                 __m256i& weight) {
        __m256i floor = _mm256_cvttps_epi32(position);
        floor = _mm256_add_epi32(floor, _mm256_castps_si256(_mm256_cmp_ps(_mm256_cvtepi32_ps(floor),
                                                                          position, _CMP_GT_OQ)));
        weight = _mm256_cvttps_epi32(_mm256_mul_ps(
            _mm256_sub_ps(position, _mm256_cvtepi32_ps(floor)), _mm256_set1_ps(256.0f)));
        const __m256i limit = _mm256_set1_epi32(static_cast<int32_t>(size));
        const __m256i inside = _mm256_and_si256(_mm256_cmpgt_epi32(floor, _mm256_set1_epi32(-2)),
                                                _mm256_cmpgt_epi32(limit, floor));
        if (_mm256_movemask_epi8(inside) != -1)
            return false;
        const __m256i before = _mm256_cmpgt_epi32(_mm256_setzero_si256(), floor);
        first = _mm256_blendv_epi8(floor, _mm256_sub_epi32(limit, _mm256_set1_epi32(1)), before);
        second = _mm256_add_epi32(first, _mm256_set1_epi32(1));
        second = _mm256_andnot_si256(_mm256_cmpeq_epi32(second, limit), second);
        return true;
    }

    // As Fetch, for eight samples, the texels gathered by byte offset.
    VM_AVX2 static __m256i FetchWide(const PhotoSampler& photo, const WidePlace& place,
                                     int64_t ahead) {
        if (!photo.Bound())
            return _mm256_setzero_si256();
        const __m256i pitch = _mm256_set1_epi32(static_cast<int32_t>(photo.Pitch()));
        const __m256i upper = _mm256_mullo_epi32(place.y0, pitch);
        const __m256i lower = _mm256_mullo_epi32(place.y1, pitch);
        const __m256i left = _mm256_slli_epi32(place.x0, 2), right = _mm256_slli_epi32(place.x1, 2);
        const auto* base = reinterpret_cast<const int*>(photo.Row(0));
        const __m256i upperLeft = _mm256_add_epi32(upper, left);
        const __m256i lowerLeft = _mm256_add_epi32(lower, left);
        // Only a hint: an address outside the photo is never read.
        const auto start = reinterpret_cast<uintptr_t>(base) + static_cast<uintptr_t>(ahead);
        for (const __m256i& offsets : {upperLeft, lowerLeft}) {
            _mm_prefetch(reinterpret_cast<const char*>(
                             start + static_cast<uint32_t>(_mm256_extract_epi32(offsets, 0))),
                         _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(
                             start + static_cast<uint32_t>(_mm256_extract_epi32(offsets, 7))),
                         _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(
                             start + static_cast<uint32_t>(_mm256_extract_epi32(offsets, 4))),
                         _MM_HINT_T0);
        }
        const __m256i top =
            LerpWide(_mm256_i32gather_epi32(base, upperLeft, 1),
                     _mm256_i32gather_epi32(base, _mm256_add_epi32(upper, right), 1), place.fx);
        const __m256i bottom =
            LerpWide(_mm256_i32gather_epi32(base, lowerLeft, 1),
                     _mm256_i32gather_epi32(base, _mm256_add_epi32(lower, right), 1), place.fx);
        return LerpWide(top, bottom, place.fy);
    }

    // As Lerp, for eight texels.
    VM_AVX2 static __m256i LerpWide(__m256i a, __m256i b, __m256i f) {
        const __m256i f2 = _mm256_or_si256(f, _mm256_slli_epi32(f, 16));
        const __m256i g2 = _mm256_sub_epi16(_mm256_set1_epi16(256), f2);
        const __m256i low = _mm256_set1_epi32(0x00FF00FF);
        const __m256i rb =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(a, low), g2),
                                               _mm256_mullo_epi16(_mm256_and_si256(b, low), f2)),
                              8);
        const __m256i ag = _mm256_andnot_si256(
            low, _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(a, 8), g2),
                                  _mm256_mullo_epi16(_mm256_srli_epi16(b, 8), f2)));
        return _mm256_or_si256(rb, ag);
    }

    VM_AVX2 static __m256 ChannelWide(__m256i argb, __m128i shift) {
        return _mm256_cvtepi32_ps(
            _mm256_and_si256(_mm256_srl_epi32(argb, shift), _mm256_set1_epi32(0xFF)));
    }
#else
    void ShadeRunOfEight(const TrianglePlanes& planes, int x, int y) const {
        ShadeRun(planes, x, y);
        ShadeRun(planes, x + 4, y);
    }
#endif

    // Pixels x to x + 3 of row y.
    void ShadeRun(const TrianglePlanes& planes, int x, int y) const {
        const __m128 cx = _mm_add_ps(
            _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, 1, 2, 3))),
            _mm_set1_ps(0.5f));
        const __m128 cy = _mm_set1_ps(static_cast<float>(y) + 0.5f);
        uint32_t* const row = Row(y);
        __m128i colours;
        if (ShadeLanes(planes, cx, cy, colours)) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), colours);
            return;
        }
        for (int i = x; i < x + 4; ++i)
            row[i] = ShadePixel(planes.triangle, i, y);
    }

    // The pixels of the group; lanes past its count repeat its last pixel.
    void ShadeGroup(const TrianglePlanes& planes, PixelGroup& group) const {
        for (int i = group.count; i < 4; ++i)
            group.x[i] = group.x[group.count - 1], group.y[i] = group.y[group.count - 1];
        const __m128 half = _mm_set1_ps(0.5f);
        const __m128 cx = _mm_add_ps(
            _mm_cvtepi32_ps(_mm_setr_epi32(group.x[0], group.x[1], group.x[2], group.x[3])), half);
        const __m128 cy = _mm_add_ps(
            _mm_cvtepi32_ps(_mm_setr_epi32(group.y[0], group.y[1], group.y[2], group.y[3])), half);
        __m128i colours;
        if (!ShadeLanes(planes, cx, cy, colours)) {
            for (int i = 0; i < group.count; ++i)
                Row(group.y[i])[group.x[i]] = ShadePixel(planes.triangle, group.x[i], group.y[i]);
            return;
        }
        alignas(16) uint32_t out[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(out), colours);
        for (int i = 0; i < group.count; ++i)
            Row(group.y[i])[group.x[i]] = out[i];
    }

    // The colours of the pixel centres (cx, cy), one pixel in each lane: lane by lane the very
    // operations of Shade, so the same colours. False, and nothing shaded, where a photo place
    // is far outside the photo (or not a number): Shade itself then has to do it.
    bool ShadeLanes(const TrianglePlanes& planes, __m128 cx, __m128 cy, __m128i& colours) const {
        const AtlasTriangle& t = planes.triangle;
        auto at = [&](int k) {
            return _mm_add_ps(_mm_add_ps(planes.start[k], _mm_mul_ps(cx, planes.across[k])),
                              _mm_mul_ps(cy, planes.down[k]));
        };
        QuadPlace sideAt, frontAt;
        if (!Locate(m_side, at(SideU), at(SideV), sideAt))
            return false;
        const __m128i side = Fetch(m_side, sideAt, t.ahead[1]);
        const __m128i alpha = _mm_srli_epi32(side, 24);
        // The front photo does not show where the side alpha is 255; its texel then only
        // meets a weight of 0.
        __m128i front = _mm_setzero_si128();
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_set1_epi32(255))) != 0xFFFF) {
            if (!Locate(m_front, at(FrontU), at(FrontV), frontAt))
                return false;
            front = Fetch(m_front, frontAt, t.ahead[0]);
        }
        const __m128 full = _mm_set1_ps(255.0f), zero = _mm_setzero_ps();
        const __m128 a = _mm_div_ps(_mm_cvtepi32_ps(alpha), full);
        const __m128 rest = _mm_sub_ps(_mm_set1_ps(1.0f), a);
        colours = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
        const int shifts[3] = {16, 8, 0};
        for (int k = 0; k < 3; ++k) {
            const __m128 mixed = _mm_add_ps(_mm_mul_ps(Channel(side, shifts[k]), a),
                                            _mm_mul_ps(Channel(front, shifts[k]), rest));
            // max(lo, v) and min(hi, v) pick as std::clamp does, even for NaN.
            const __m128 weight = t.white ? full : _mm_min_ps(full, _mm_max_ps(zero, at(Red + k)));
            const __m128 lit = _mm_div_ps(_mm_mul_ps(mixed, weight), full);
            const __m128 rounded =
                _mm_add_ps(_mm_min_ps(full, _mm_max_ps(zero, lit)), _mm_set1_ps(0.5f));
            // A NaN channel ends as 0, as the scalar conversion leaves it.
            const __m128i value = _mm_and_si128(_mm_cvttps_epi32(rounded),
                                                _mm_castps_si128(_mm_cmpord_ps(rounded, rounded)));
            colours = _mm_or_si128(colours, _mm_slli_epi32(value, shifts[k]));
        }
        return true;
    }

    // Where four samples lie in a photo: texel columns and rows to either side (wrapped) and
    // the 8-bit weights of the second ones.
    struct QuadPlace {
        __m128i x0, x1, y0, y1, fx, fy;
    };

    // False where Shade would take other steps than the vector code: texel positions beyond
    // +-2^30 or not numbers, or more than a texel outside the photo.
    static bool Locate(const PhotoSampler& photo, __m128 u, __m128 v, QuadPlace& place) {
        if (!photo.Bound())
            return true;
        const __m128 x = _mm_sub_ps(_mm_mul_ps(u, _mm_set1_ps(static_cast<float>(photo.Width()))),
                                    _mm_set1_ps(0.5f));
        const __m128 y = _mm_sub_ps(_mm_mul_ps(v, _mm_set1_ps(static_cast<float>(photo.Height()))),
                                    _mm_set1_ps(0.5f));
        return Near(x, photo.Width(), place.x0, place.x1, place.fx) &&
               Near(y, photo.Height(), place.y0, place.y1, place.fy);
    }

    // floor(position) wrapped into [0, size), its neighbour and the weight, for floors from -1
    // to size - 1. Positions that are no numbers, or beyond the 32-bit integers, convert to
    // -2^31 (or, corrected, 2^31 - 1) and so fail the test as well.
    static bool Near(__m128 position, uint32_t size, __m128i& first, __m128i& second,
                     __m128i& weight) {
        __m128i floor = _mm_cvttps_epi32(position);
        floor = _mm_add_epi32(floor, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(floor),
                                                                   position))); // -1 if above
        weight = _mm_cvttps_epi32(
            _mm_mul_ps(_mm_sub_ps(position, _mm_cvtepi32_ps(floor)), _mm_set1_ps(256.0f)));
        const __m128i limit = _mm_set1_epi32(static_cast<int32_t>(size));
        const __m128i inside = _mm_and_si128(_mm_cmpgt_epi32(floor, _mm_set1_epi32(-2)),
                                             _mm_cmplt_epi32(floor, limit));
        if (_mm_movemask_epi8(inside) != 0xFFFF)
            return false;
        const __m128i before = _mm_cmplt_epi32(floor, _mm_setzero_si128());
        first = _mm_or_si128(_mm_and_si128(before, _mm_sub_epi32(limit, _mm_set1_epi32(1))),
                             _mm_andnot_si128(before, floor));
        second = _mm_add_epi32(first, _mm_set1_epi32(1));
        second = _mm_andnot_si128(_mm_cmpeq_epi32(second, limit), second);
        return true;
    }

    // The four filtered samples; 0 without a photo.
    // The four filtered samples; 0 without a photo. Also asks the memory for the texels the
    // same pixels will want a few rows further down, where the triangle's next spans go:
    // photo texels are read all over the place, and would otherwise be waited for.
    static __m128i Fetch(const PhotoSampler& photo, const QuadPlace& place, int64_t ahead) {
        if (!photo.Bound())
            return _mm_setzero_si128();
        alignas(16) int32_t x0[4], x1[4], y0[4], y1[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(x0), place.x0);
        _mm_store_si128(reinterpret_cast<__m128i*>(x1), place.x1);
        _mm_store_si128(reinterpret_cast<__m128i*>(y0), place.y0);
        _mm_store_si128(reinterpret_cast<__m128i*>(y1), place.y1);
        const uint8_t* upper[4];
        const uint8_t* lower[4];
        for (int i = 0; i < 4; ++i) {
            upper[i] = photo.Row(static_cast<uint32_t>(y0[i]));
            lower[i] = photo.Row(static_cast<uint32_t>(y1[i]));
        }
        // Only a hint: an address outside the photo is never read.
        for (int i : {0, 3})
            for (const uint8_t* row : {upper[i], lower[i]})
                _mm_prefetch(reinterpret_cast<const char*>(
                                 reinterpret_cast<uintptr_t>(row + static_cast<size_t>(x0[i]) * 4) +
                                 static_cast<uintptr_t>(ahead)),
                             _MM_HINT_T0);
        auto texels = [](const uint8_t* const(&rows)[4], const int32_t(&columns)[4]) {
            auto texel = [&](int i) {
                int32_t value;
                std::memcpy(&value, rows[i] + static_cast<size_t>(columns[i]) * 4, 4);
                return value;
            };
            return _mm_setr_epi32(texel(0), texel(1), texel(2), texel(3));
        };
        const __m128i top = Lerp(texels(upper, x0), texels(upper, x1), place.fx);
        const __m128i bottom = Lerp(texels(lower, x0), texels(lower, x1), place.fx);
        return Lerp(top, bottom, place.fy);
    }

    // PhotoSampler's a + (b - a) * f / 256 per byte, for four texels: the 16-bit halves of
    // each word are the lanes, so products and sums stay below 2^16 as they do there.
    static __m128i Lerp(__m128i a, __m128i b, __m128i f) {
        const __m128i f2 = _mm_or_si128(f, _mm_slli_epi32(f, 16));
        const __m128i g2 = _mm_sub_epi16(_mm_set1_epi16(256), f2);
        const __m128i low = _mm_set1_epi32(0x00FF00FF);
        const __m128i rb = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(a, low), g2),
                                                        _mm_mullo_epi16(_mm_and_si128(b, low), f2)),
                                          8);
        const __m128i ag =
            _mm_andnot_si128(low, _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(a, 8), g2),
                                                _mm_mullo_epi16(_mm_srli_epi16(b, 8), f2)));
        return _mm_or_si128(rb, ag);
    }

    static __m128 Channel(__m128i argb, int shift) {
        return _mm_cvtepi32_ps(
            _mm_and_si128(_mm_srl_epi32(argb, _mm_cvtsi32_si128(shift)), _mm_set1_epi32(0xFF)));
    }
#else
    void ShadeRun(const TrianglePlanes& planes, int x, int y) const {
        for (int i = x; i < x + 4; ++i)
            Row(y)[i] = ShadePixel(planes.triangle, i, y);
    }
    void ShadeRunOfEight(const TrianglePlanes& planes, int x, int y) const {
        ShadeRun(planes, x, y);
        ShadeRun(planes, x + 4, y);
    }
    void ShadeGroup(const TrianglePlanes& planes, const PixelGroup& group) const {
        for (int i = 0; i < group.count; ++i)
            Row(group.y[i])[group.x[i]] = ShadePixel(planes.triangle, group.x[i], group.y[i]);
    }
#endif

    // The colour at the pixel centre (cx, y + 0.5). The side photo goes first: where its alpha
    // is 0 or 255 only one photo shows, and the blend gives that photo's colour exactly.
    uint32_t Shade(const AtlasTriangle& t, float cx, const float* rowTerm) const {
        auto at = [&](int k) { return t.at0[k] + cx * t.perX[k] + rowTerm[k]; };
        const uint32_t side = m_side.Sample(at(SideU), at(SideV));
        const uint32_t alpha = side >> 24;
        if (t.white && alpha == 255)
            return side | 0xFF000000u;
        const uint32_t front = alpha == 255 ? 0 : m_front.Sample(at(FrontU), at(FrontV));
        if (t.white && alpha == 0)
            return front | 0xFF000000u;
        static constexpr float kWhiteRgb[3] = {255.0f, 255.0f, 255.0f};
        float rgb[3];
        if (!t.white)
            rgb[0] = at(Red), rgb[1] = at(Green), rgb[2] = at(Blue);
        const float* colour = t.white ? kWhiteRgb : rgb;
        if (alpha == 255 || alpha == 0)
            return LightPhotoTexel(alpha == 255 ? side : front, colour);
        return BlendTexel(front, side, colour);
    }

    const Mesh& m_mesh;
    const PhotoSampler& m_front;
    const PhotoSampler& m_side;
    const int m_width, m_height;
    uint8_t* const m_bits;
    const size_t m_pitch;
    PixelBuffer m_written;           // 1 where a triangle has drawn
    std::vector<AtlasPass> m_passes; // exact first
    bool m_eightLanes = false;       // ShadeRunOfEight may be used
};

// Runs bake(band) for every band in [0, bandCount), spread over the processor's cores; the
// first failure of any band reaches the caller once every worker has stopped.
void BakeBandsInParallel(int bandCount, const std::function<void(int)>& bake) {
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::mutex failureLock;
    std::exception_ptr failure;
    auto work = [&] {
        try {
            for (int band; !failed && (band = next++) < bandCount;)
                bake(band);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure)
                failure = std::current_exception();
            failed = true;
        }
    };
    const int helpers = std::min(WorkerCount(), bandCount) - 1;
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(std::max(helpers, 0)));
    try {
        for (int i = 0; i < helpers; ++i)
            threads.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads than cores: the bands left over are baked all the same.
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

namespace {

bool ValidAtlasSize(uint32_t width, uint32_t height) {
    return width > 0 && height > 0 && width <= 16384 && height <= 16384;
}

// Fresh memory of this size costs more to fault in page by page than the drawing itself.
QImage NewAtlasImage(uint32_t width, uint32_t height) {
    return NewPixelImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
}

} // namespace

QImage NewAtlasCanvas(uint32_t width, uint32_t height) {
    if (!ValidAtlasSize(width, height))
        return {};
    QImage canvas = NewAtlasImage(width, height);
    canvas.fill(0xFFFFFFFFu); // puts every page in place
    return canvas;
}

QImage RenderTextureAtlas(const Mesh& mesh, const Texture* front, const Texture* side,
                          uint32_t width, uint32_t height, float dilationFactor, QImage canvas) {
    if (!ValidAtlasSize(width, height))
        throw CDXException(hr::kInvalidCall);
    for (uint32_t index : mesh.indices)
        if (index >= mesh.vertices.size())
            throw InvalidArgumentException();
    const bool fits = canvas.format() == QImage::Format_RGB32 &&
                      canvas.size() == QSize(static_cast<int>(width), static_cast<int>(height));
    QImage image = fits ? std::move(canvas) : NewAtlasImage(width, height);
    if (image.isNull())
        throw CDXException(hr::kOutOfMemory);
    const PhotoSampler frontSampler(front), sideSampler(side);
    AtlasBake bake(mesh, frontSampler, sideSampler, image, dilationFactor);
    // Several bands per core keep the cores busy to the end although the head covers some
    // rows more densely than others.
    const int rows = static_cast<int>(height);
    const int bandRows = std::max(8, (rows + WorkerCount() * 8 - 1) / (WorkerCount() * 8));
    const int bandCount = (rows + bandRows - 1) / bandRows;
    BakeBandsInParallel(bandCount, [&](int band) {
        bake.BakeRows(band * bandRows, std::min(rows, (band + 1) * bandRows));
    });
    return image;
}

} // namespace vm
