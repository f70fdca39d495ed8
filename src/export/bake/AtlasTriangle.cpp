#include "export/bake/AtlasTriangle.h"

#include <algorithm>

namespace vm::bake {

namespace {

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
    for (int k = 0; k < 3; ++k) {
        mixed[k] = static_cast<float>(Channel(side, kShifts[k])) * a +
                   static_cast<float>(Channel(front, kShifts[k])) * (1.0f - a);
    }
    return LightTexel(mixed, rgb);
}

} // namespace

RasterVertex AtlasVertex(const HeadVertex& vertex, const Vec2& place, uint32_t width,
                         uint32_t height) {
    RasterVertex out;
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
    if (det == 0) {
        return false;
    }
    for (int k = 0; k < VaryingCount; ++k) {
        const double d1 = v1.varyings[k] - v0.varyings[k];
        const double d2 = v2.varyings[k] - v0.varyings[k];
        const double perX = (d1 * e2y - d2 * e1y) / det, perY = (e1x * d2 - e2x * d1) / det;
        out.perX[k] = static_cast<float>(perX);
        out.perY[k] = static_cast<float>(perY);
        out.at0[k] = static_cast<float>(v0.varyings[k] - perX * v0.x - perY * v0.y);
        std::fill_n(out.start[k], 4, out.at0[k]);
        std::fill_n(out.across[k], 4, out.perX[k]);
        std::fill_n(out.down[k], 4, out.perY[k]);
    }
    out.white = true;
    for (const RasterVertex* v : {&v0, &v1, &v2}) {
        for (int k = Red; k <= Blue; ++k) {
            out.white = out.white && v->varyings[k] == 255.0f;
        }
    }
    return true;
}

// The side photo goes first: where its alpha is 0 or 255 only one photo shows, and the blend
// gives that photo's colour exactly.
uint32_t ShadePixel(const ShadeTarget& target, const AtlasTriangle& t, int x, int y) {
    const float cx = static_cast<float>(x) + 0.5f, cy = static_cast<float>(y) + 0.5f;
    auto at = [&](int k) { return t.at0[k] + cx * t.perX[k] + cy * t.perY[k]; };
    const uint32_t side = target.side.SampleTruncated(at(SideU), at(SideV));
    const uint32_t alpha = side >> 24;
    if (t.white && alpha == 255) {
        return side | 0xFF000000u;
    }
    const uint32_t front = alpha == 255 ? 0 : target.front.SampleTruncated(at(FrontU), at(FrontV));
    if (t.white && alpha == 0) {
        return front | 0xFF000000u;
    }
    static constexpr float kWhiteRgb[3] = {255.0f, 255.0f, 255.0f};
    float rgb[3];
    if (!t.white) {
        rgb[0] = at(Red), rgb[1] = at(Green), rgb[2] = at(Blue);
    }
    const float* colour = t.white ? kWhiteRgb : rgb;
    if (alpha == 255 || alpha == 0) {
        return LightPhotoTexel(alpha == 255 ? side : front, colour);
    }
    return BlendTexel(front, side, colour);
}

} // namespace vm::bake
