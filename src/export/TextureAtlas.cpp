#include "export/TextureAtlas.h"

#include "platform/Exceptions.h"
#include "platform/Rasterizer.h"
#include "platform/SoftwareDevice.h"
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

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }

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
// colour is white, so the colour planes are 255 everywhere. The same planes once more in the
// order of the vector code: photo places (front u, v, side u, v) and colours (blue, green, red,
// nothing), as at0, perX, perY.
struct AtlasTriangle {
    float at0[VaryingCount], perX[VaryingCount], perY[VaryingCount];
    bool white;
    alignas(16) float places[3][4];
    alignas(16) float colours[3][4];
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
    const float* planes[3] = {out.at0, out.perX, out.perY};
    for (int p = 0; p < 3; ++p) {
        std::copy(planes[p] + FrontU, planes[p] + SideV + 1, out.places[p]);
        const float colours[4] = {planes[p][Blue], planes[p][Green], planes[p][Red], 0.0f};
        std::copy(colours, colours + 4, out.colours[p]);
    }
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

// The triangles of one draw: every vertex placed on the target, and for every face the rows
// it may touch (a row more on either side than its corners, for the snapping).
struct AtlasPass {
    std::vector<RasterVertex> vertices;
    std::vector<std::pair<int, int>> faceRows; // first and last row

    AtlasPass(const Mesh& mesh, const std::vector<Vec2>& places, uint32_t width, uint32_t height)
        : vertices(mesh.vertices.size()), faceRows(mesh.FaceCount()) {
        for (size_t v = 0; v < vertices.size(); ++v)
            vertices[v] = AtlasVertex(mesh.vertices[v], places[v], width, height);
        for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
            double top = std::numeric_limits<double>::infinity(), bottom = -top;
            for (int c = 0; c < 3; ++c) {
                const float y = vertices[mesh.indices[f * 3 + c]].y;
                if (!std::isfinite(y)) {
                    top = 1, bottom = 0; // not drawn at all
                    break;
                }
                top = std::min<double>(top, y), bottom = std::max<double>(bottom, y);
            }
            const double limit = static_cast<double>(height) + 1;
            faceRows[f] = {static_cast<int>(std::clamp(std::floor(top) - 1, -1.0, limit)),
                           static_cast<int>(std::clamp(std::ceil(bottom) + 1, -1.0, limit))};
        }
    }
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
          m_written(new uint8_t[static_cast<size_t>(m_width) * static_cast<size_t>(m_height)]) {
        const auto width = static_cast<uint32_t>(m_width), height = static_cast<uint32_t>(m_height);
        std::vector<Vec2> exact(mesh.vertices.size());
        for (size_t v = 0; v < mesh.vertices.size(); ++v)
            exact[v] = mesh.vertices[v].modelUV;
        m_passes.emplace_back(mesh, exact, width, height);
        if (dilationFactor != 1.0f)
            m_passes.emplace_back(mesh, DilatedAtlasPositions(mesh, dilationFactor), width, height);
    }

    void BakeRows(int rowBegin, int rowEnd) {
        std::memset(Written(rowBegin), 0,
                    static_cast<size_t>(rowEnd - rowBegin) * static_cast<size_t>(m_width));
        for (const AtlasPass& pass : m_passes)
            for (uint32_t f = m_mesh.FaceCount(); f-- > 0;) {
                const auto [first, last] = pass.faceRows[f];
                if (last >= rowBegin && first < rowEnd)
                    DrawFace(pass, f, rowBegin, rowEnd);
            }
        for (int y = rowBegin; y < rowEnd; ++y) {
            const uint8_t* written = Written(y);
            uint8_t* row = m_bits + static_cast<size_t>(y) * m_pitch;
            for (int x = 0; x < m_width; ++x)
                if (!written[x])
                    std::memcpy(row + static_cast<size_t>(x) * 4, &kWhite, 4);
        }
    }

private:
    static constexpr uint32_t kWhite = 0xFFFFFFFFu;

    uint8_t* Written(int y) const {
        return m_written.get() + static_cast<size_t>(y) * static_cast<size_t>(m_width);
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
        setup.ForEachSpan(rowBegin, rowEnd, [&](int y, int xBegin, int xEnd) {
            DrawSpan(triangle, y, xBegin, xEnd);
        });
    }

    void DrawSpan(const AtlasTriangle& t, int y, int xBegin, int xEnd) {
        uint8_t* const written = Written(y);
        int x = SkipWritten(written, xBegin, xEnd);
        if (x == xEnd)
            return;
        uint8_t* const row = m_bits + static_cast<size_t>(y) * m_pitch;
        const float cy = static_cast<float>(y) + 0.5f;
        float rowTerm[VaryingCount];
        for (int k = 0; k < VaryingCount; ++k)
            rowTerm[k] = cy * t.perY[k];
#if defined(__SSE2__)
        const __m128 down = _mm_set1_ps(cy);
        const __m128 placesRow = _mm_mul_ps(down, _mm_load_ps(t.places[2]));
        const __m128 coloursRow = _mm_mul_ps(down, _mm_load_ps(t.colours[2]));
#endif
        for (; x < xEnd; ++x) {
            if (written[x]) {
                x = SkipWritten(written, x, xEnd) - 1;
                continue;
            }
            written[x] = 1;
            const float cx = static_cast<float>(x) + 0.5f;
#if defined(__SSE2__)
            const uint32_t colour = ShadeVector(t, cx, placesRow, coloursRow, rowTerm);
#else
            const uint32_t colour = Shade(t, cx, rowTerm);
#endif
            std::memcpy(row + static_cast<size_t>(x) * 4, &colour, 4);
        }
    }

    // The first pixel at or after x that no triangle has written yet, or end.
    static int SkipWritten(const uint8_t* written, int x, int end) {
        constexpr uint64_t kAllWritten = 0x0101010101010101u;
        for (uint64_t eight; x + 8 <= end; x += 8) {
            std::memcpy(&eight, written + x, 8);
            if (eight != kAllWritten)
                break;
        }
        while (x < end && written[x])
            ++x;
        return x;
    }

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

#if defined(__SSE2__)
    // Shade with the four photo coordinates in one vector and the three colour channels in
    // another: lane by lane the very operations of Shade, so the same colour. Photo places far
    // outside the photos (or not numbers) go through Shade itself.
    uint32_t ShadeVector(const AtlasTriangle& t, float cx, __m128 placesRow, __m128 coloursRow,
                         const float* rowTerm) const {
        const __m128 across = _mm_set1_ps(cx);
        const __m128 places = _mm_add_ps(
            _mm_add_ps(_mm_load_ps(t.places[0]), _mm_mul_ps(across, _mm_load_ps(t.places[1]))),
            placesRow);
        const __m128 texels = _mm_sub_ps(_mm_mul_ps(places, m_photoSizes), _mm_set1_ps(0.5f));
        const __m128 magnitude = _mm_and_ps(texels, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
        if (_mm_movemask_ps(_mm_cmplt_ps(magnitude, _mm_set1_ps(1073741824.0f))) != 0xF)
            return Shade(t, cx, rowTerm);
        __m128i floors = _mm_cvttps_epi32(texels);
        floors = _mm_add_epi32(
            floors, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(floors), texels))); // -1
        const __m128i weights = _mm_cvttps_epi32(
            _mm_mul_ps(_mm_sub_ps(texels, _mm_cvtepi32_ps(floors)), _mm_set1_ps(256.0f)));
        alignas(16) int32_t at[4], weight[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(at), floors);
        _mm_store_si128(reinterpret_cast<__m128i*>(weight), weights);
        const uint32_t side = m_side.SampleNear(at[2], at[3], static_cast<uint32_t>(weight[2]),
                                                static_cast<uint32_t>(weight[3]));
        const uint32_t alpha = side >> 24;
        if (t.white && alpha == 255)
            return side | 0xFF000000u;
        const uint32_t front =
            alpha == 255 ? 0
                         : m_front.SampleNear(at[0], at[1], static_cast<uint32_t>(weight[0]),
                                              static_cast<uint32_t>(weight[1]));
        if (t.white && alpha == 0)
            return front | 0xFF000000u;
        const __m128 colour =
            t.white ? _mm_set1_ps(255.0f)
                    : _mm_add_ps(_mm_add_ps(_mm_load_ps(t.colours[0]),
                                            _mm_mul_ps(across, _mm_load_ps(t.colours[1]))),
                                 coloursRow);
        if (alpha == 255 || alpha == 0)
            return LightVector(Channels(alpha == 255 ? side : front), colour);
        const float a = static_cast<float>(alpha) / 255.0f;
        return LightVector(_mm_add_ps(_mm_mul_ps(Channels(side), _mm_set1_ps(a)),
                                      _mm_mul_ps(Channels(front), _mm_set1_ps(1.0f - a))),
                           colour);
    }

    // Blue, green, red and alpha as floats.
    static __m128 Channels(uint32_t argb) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i bytes = _mm_cvtsi32_si128(static_cast<int32_t>(argb));
        return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
    }

    // LightTexel on vectors. max(lo, v) and min(hi, v) pick as std::clamp does, even for NaN;
    // a NaN channel ends as 0, as the scalar conversion leaves it.
    static uint32_t LightVector(__m128 mixed, __m128 rgb) {
        const __m128 zero = _mm_setzero_ps(), full = _mm_set1_ps(255.0f);
        const __m128 weight = _mm_min_ps(full, _mm_max_ps(zero, rgb));
        const __m128 lit = _mm_div_ps(_mm_mul_ps(mixed, weight), full);
        const __m128 rounded =
            _mm_add_ps(_mm_min_ps(full, _mm_max_ps(zero, lit)), _mm_set1_ps(0.5f));
        __m128i bytes = _mm_and_si128(_mm_cvttps_epi32(rounded),
                                      _mm_castps_si128(_mm_cmpord_ps(rounded, rounded)));
        bytes = _mm_packus_epi16(_mm_packs_epi32(bytes, bytes), bytes);
        return (static_cast<uint32_t>(_mm_cvtsi128_si32(bytes)) & 0x00FFFFFFu) | 0xFF000000u;
    }
#endif

    const Mesh& m_mesh;
    const PhotoSampler& m_front;
    const PhotoSampler& m_side;
    const int m_width, m_height;
    uint8_t* const m_bits;
    const size_t m_pitch;
    std::unique_ptr<uint8_t[]> m_written; // 1 where a triangle has drawn
    std::vector<AtlasPass> m_passes;      // exact first
#if defined(__SSE2__)
    const __m128 m_photoSizes =
        _mm_setr_ps(static_cast<float>(m_front.Width()), static_cast<float>(m_front.Height()),
                    static_cast<float>(m_side.Width()), static_cast<float>(m_side.Height()));
#endif
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

QImage RenderTextureAtlas(const Mesh& mesh, const Texture* front, const Texture* side,
                          uint32_t width, uint32_t height, float dilationFactor) {
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        throw CDXException(hr::kInvalidCall);
    for (uint32_t index : mesh.indices)
        if (index >= mesh.vertices.size())
            throw InvalidArgumentException();
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
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
