#pragma once
// Four pixels at once with SSE2, which every x86-64 processor has: the lanes of the SSE2
// kernels, and the four-pixel steps of the AVX2 ones.
#include "export/bake/AtlasTriangle.h"

#include <cstring>
#include <emmintrin.h>

namespace vm::bake::sse2 {

// Where four samples lie in a photo: texel columns and rows to either side (wrapped) and the
// 8-bit weights of the second ones.
struct QuadPlace {
    __m128i x0, x1, y0, y1, fx, fy;
};

// floor(position) wrapped into [0, size), its neighbour and the weight, for floors from -1 to
// size - 1. Positions that are no numbers, or beyond the 32-bit integers, convert to -2^31 (or,
// corrected, 2^31 - 1) and so fail the test as well.
inline bool Near(__m128 position, uint32_t size, __m128i& first, __m128i& second, __m128i& weight) {
    __m128i floor = _mm_cvttps_epi32(position);
    floor = _mm_add_epi32(floor, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(floor),
                                                               position))); // -1 if above
    weight = _mm_cvttps_epi32(
        _mm_mul_ps(_mm_sub_ps(position, _mm_cvtepi32_ps(floor)), _mm_set1_ps(256.0f)));
    const __m128i limit = _mm_set1_epi32(static_cast<int32_t>(size));
    const __m128i inside =
        _mm_and_si128(_mm_cmpgt_epi32(floor, _mm_set1_epi32(-2)), _mm_cmplt_epi32(floor, limit));
    if (_mm_movemask_epi8(inside) != 0xFFFF) {
        return false;
    }
    const __m128i before = _mm_cmplt_epi32(floor, _mm_setzero_si128());
    first = _mm_or_si128(_mm_and_si128(before, _mm_sub_epi32(limit, _mm_set1_epi32(1))),
                         _mm_andnot_si128(before, floor));
    second = _mm_add_epi32(first, _mm_set1_epi32(1));
    second = _mm_andnot_si128(_mm_cmpeq_epi32(second, limit), second);
    return true;
}

// False where ShadePixel would take other steps than the vector code: texel positions beyond
// +-2^30 or not numbers, or more than a texel outside the photo.
inline bool Locate(const TextureSampler& photo, __m128 u, __m128 v, QuadPlace& place) {
    if (!photo.Bound()) {
        return true;
    }
    const __m128 x = _mm_sub_ps(_mm_mul_ps(u, _mm_set1_ps(static_cast<float>(photo.Width()))),
                                _mm_set1_ps(0.5f));
    const __m128 y = _mm_sub_ps(_mm_mul_ps(v, _mm_set1_ps(static_cast<float>(photo.Height()))),
                                _mm_set1_ps(0.5f));
    return Near(x, photo.Width(), place.x0, place.x1, place.fx) &&
           Near(y, photo.Height(), place.y0, place.y1, place.fy);
}

// The sampler's truncating a + (b - a) * f / 256 per byte, for four texels: the 16-bit halves
// of each word are the lanes, so products and sums stay below 2^16 as they do there.
inline __m128i Lerp(__m128i a, __m128i b, __m128i f) {
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

// The four filtered samples; 0 without a photo. Also asks the memory for the texels the same
// pixels will want a few rows further down, where the triangle's next spans go: photo texels
// are read all over the place, and would otherwise be waited for.
inline __m128i Fetch(const TextureSampler& photo, const QuadPlace& place, int64_t ahead) {
    if (!photo.Bound()) {
        return _mm_setzero_si128();
    }
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
    for (int i : {0, 3}) {
        for (const uint8_t* row : {upper[i], lower[i]}) {
            _mm_prefetch(reinterpret_cast<const char*>(
                             reinterpret_cast<uintptr_t>(row + static_cast<size_t>(x0[i]) * 4) +
                             static_cast<uintptr_t>(ahead)),
                         _MM_HINT_T0);
        }
    }
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

inline __m128 Channel(__m128i argb, int shift) {
    return _mm_cvtepi32_ps(
        _mm_and_si128(_mm_srl_epi32(argb, _mm_cvtsi32_si128(shift)), _mm_set1_epi32(0xFF)));
}

// The colours of the pixel centres (cx, cy), one pixel in each lane. False, and nothing
// shaded, where a photo place is far outside the photo (or not a number): ShadePixel itself
// then has to do it.
inline bool ShadeLanes(const ShadeTarget& target, const AtlasTriangle& t, __m128 cx, __m128 cy,
                       __m128i& colours) {
    auto at = [&](int k) {
        return _mm_add_ps(
            _mm_add_ps(_mm_load_ps(t.start[k]), _mm_mul_ps(cx, _mm_load_ps(t.across[k]))),
            _mm_mul_ps(cy, _mm_load_ps(t.down[k])));
    };
    QuadPlace sideAt, frontAt;
    if (!Locate(target.side, at(SideU), at(SideV), sideAt)) {
        return false;
    }
    const __m128i side = Fetch(target.side, sideAt, t.ahead[1]);
    const __m128i alpha = _mm_srli_epi32(side, 24);
    // The front photo does not show where the side alpha is 255; its texel then only meets a
    // weight of 0.
    __m128i front = _mm_setzero_si128();
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_set1_epi32(255))) != 0xFFFF) {
        if (!Locate(target.front, at(FrontU), at(FrontV), frontAt)) {
            return false;
        }
        front = Fetch(target.front, frontAt, t.ahead[0]);
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

struct Lanes {
    static void RunOfEight(const ShadeTarget& target, const AtlasTriangle& t, int x, int y) {
        RunOfFour(target, t, x, y);
        RunOfFour(target, t, x + 4, y);
    }

    static void RunOfFour(const ShadeTarget& target, const AtlasTriangle& t, int x, int y) {
        const __m128 cx = _mm_add_ps(
            _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, 1, 2, 3))),
            _mm_set1_ps(0.5f));
        const __m128 cy = _mm_set1_ps(static_cast<float>(y) + 0.5f);
        uint32_t* const row = target.Row(y);
        __m128i colours;
        if (ShadeLanes(target, t, cx, cy, colours)) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), colours);
            return;
        }
        for (int i = x; i < x + 4; ++i) {
            row[i] = ShadePixel(target, t, i, y);
        }
    }

    // Lanes past the group's count repeat its last pixel.
    static void Group(const ShadeTarget& target, const AtlasTriangle& t, PixelGroup& group) {
        for (int i = group.count; i < 4; ++i) {
            group.x[i] = group.x[group.count - 1], group.y[i] = group.y[group.count - 1];
        }
        const __m128 half = _mm_set1_ps(0.5f);
        const __m128 cx = _mm_add_ps(
            _mm_cvtepi32_ps(_mm_setr_epi32(group.x[0], group.x[1], group.x[2], group.x[3])), half);
        const __m128 cy = _mm_add_ps(
            _mm_cvtepi32_ps(_mm_setr_epi32(group.y[0], group.y[1], group.y[2], group.y[3])), half);
        __m128i colours;
        if (!ShadeLanes(target, t, cx, cy, colours)) {
            for (int i = 0; i < group.count; ++i) {
                target.Row(group.y[i])[group.x[i]] = ShadePixel(target, t, group.x[i], group.y[i]);
            }
            return;
        }
        alignas(16) uint32_t out[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(out), colours);
        for (int i = 0; i < group.count; ++i) {
            target.Row(group.y[i])[group.x[i]] = out[i];
        }
    }
};

} // namespace vm::bake::sse2
