// Eight pixels at once where the processor has AVX2, asked at run time: the program itself is
// built for the plain x86-64 instruction set, so only these functions may use AVX2.
#include "export/bake/ShadeKernels.h"

#if defined(__SSE2__) && defined(__GNUC__) && defined(__x86_64__)
#include "export/bake/Sse2Lanes.h"

#include <immintrin.h>

#define VM_AVX2 __attribute__((target("avx2")))

namespace vm::bake {

namespace {

// As the four-lane QuadPlace, for eight samples.
struct WidePlace {
    __m256i x0, x1, y0, y1, fx, fy;
};

VM_AVX2 inline __m256 At(const AtlasTriangle& t, int k, __m256 cx, __m256 cy) {
    return _mm256_add_ps(
        _mm256_add_ps(_mm256_set1_ps(t.at0[k]), _mm256_mul_ps(cx, _mm256_set1_ps(t.perX[k]))),
        _mm256_mul_ps(cy, _mm256_set1_ps(t.perY[k])));
}

// floor(position) wrapped into [0, size), its neighbour and the weight, for eight positions
// whose floors lie from -1 to size - 1; false for any other.
VM_AVX2 inline bool NearWide(__m256 position, uint32_t size, __m256i& first, __m256i& second,
                             __m256i& weight) {
    __m256i floor = _mm256_cvttps_epi32(position);
    floor = _mm256_add_epi32(
        floor, _mm256_castps_si256(_mm256_cmp_ps(_mm256_cvtepi32_ps(floor), position, _CMP_GT_OQ)));
    weight = _mm256_cvttps_epi32(
        _mm256_mul_ps(_mm256_sub_ps(position, _mm256_cvtepi32_ps(floor)), _mm256_set1_ps(256.0f)));
    const __m256i limit = _mm256_set1_epi32(static_cast<int32_t>(size));
    const __m256i inside = _mm256_and_si256(_mm256_cmpgt_epi32(floor, _mm256_set1_epi32(-2)),
                                            _mm256_cmpgt_epi32(limit, floor));
    if (_mm256_movemask_epi8(inside) != -1) {
        return false;
    }
    const __m256i before = _mm256_cmpgt_epi32(_mm256_setzero_si256(), floor);
    first = _mm256_blendv_epi8(floor, _mm256_sub_epi32(limit, _mm256_set1_epi32(1)), before);
    second = _mm256_add_epi32(first, _mm256_set1_epi32(1));
    second = _mm256_andnot_si256(_mm256_cmpeq_epi32(second, limit), second);
    return true;
}

VM_AVX2 inline bool LocateWide(const TextureSampler& photo, __m256 u, __m256 v, WidePlace& place) {
    if (!photo.Bound()) {
        return true;
    }
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 x =
        _mm256_sub_ps(_mm256_mul_ps(u, _mm256_set1_ps(static_cast<float>(photo.Width()))), half);
    const __m256 y =
        _mm256_sub_ps(_mm256_mul_ps(v, _mm256_set1_ps(static_cast<float>(photo.Height()))), half);
    return NearWide(x, photo.Width(), place.x0, place.x1, place.fx) &&
           NearWide(y, photo.Height(), place.y0, place.y1, place.fy);
}

// The sampler's truncating lerp for eight texels, 16-bit halves of each word as lanes.
VM_AVX2 inline __m256i LerpWide(__m256i a, __m256i b, __m256i f) {
    const __m256i f2 = _mm256_or_si256(f, _mm256_slli_epi32(f, 16));
    const __m256i g2 = _mm256_sub_epi16(_mm256_set1_epi16(256), f2);
    const __m256i low = _mm256_set1_epi32(0x00FF00FF);
    const __m256i rb =
        _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(a, low), g2),
                                           _mm256_mullo_epi16(_mm256_and_si256(b, low), f2)),
                          8);
    const __m256i ag =
        _mm256_andnot_si256(low, _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(a, 8), g2),
                                                  _mm256_mullo_epi16(_mm256_srli_epi16(b, 8), f2)));
    return _mm256_or_si256(rb, ag);
}

// The eight filtered samples, the texels gathered by byte offset, with the same prefetch of
// the rows further down as the four-lane kernel.
VM_AVX2 inline __m256i FetchWide(const TextureSampler& photo, const WidePlace& place,
                                 int64_t ahead) {
    if (!photo.Bound()) {
        return _mm256_setzero_si256();
    }
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

VM_AVX2 inline __m256 ChannelWide(__m256i argb, __m128i shift) {
    return _mm256_cvtepi32_ps(
        _mm256_and_si256(_mm256_srl_epi32(argb, shift), _mm256_set1_epi32(0xFF)));
}

void RunsOfFour(const ShadeTarget& target, const AtlasTriangle& t, int x, int y) {
    sse2::Lanes::RunOfEight(target, t, x, y);
}

// The four-lane kernel's operations with eight lanes, so the same colours; where a photo place
// lies far outside, the four-lane kernel decides.
VM_AVX2 void ShadeEight(const ShadeTarget& target, const AtlasTriangle& t, int x, int y) {
    const __m256 cx =
        _mm256_add_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(
                          _mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))),
                      _mm256_set1_ps(0.5f));
    const __m256 cy = _mm256_set1_ps(static_cast<float>(y) + 0.5f);
    WidePlace sideAt, frontAt;
    if (!LocateWide(target.side, At(t, SideU, cx, cy), At(t, SideV, cx, cy), sideAt)) {
        return RunsOfFour(target, t, x, y);
    }
    const __m256i side = FetchWide(target.side, sideAt, t.ahead[1]);
    const __m256i alpha = _mm256_srli_epi32(side, 24);
    __m256i front = _mm256_setzero_si256();
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(alpha, _mm256_set1_epi32(255))) != -1) {
        if (!LocateWide(target.front, At(t, FrontU, cx, cy), At(t, FrontV, cx, cy), frontAt)) {
            return RunsOfFour(target, t, x, y);
        }
        front = FetchWide(target.front, frontAt, t.ahead[0]);
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
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target.Row(y) + x), colours);
}

// Eight lanes where the run is eight pixels long, the four-lane steps elsewhere.
struct Lanes {
    static void RunOfEight(const ShadeTarget& target, const AtlasTriangle& t, int x, int y) {
        ShadeEight(target, t, x, y);
    }
    static void RunOfFour(const ShadeTarget& target, const AtlasTriangle& t, int x, int y) {
        sse2::Lanes::RunOfFour(target, t, x, y);
    }
    static void Group(const ShadeTarget& target, const AtlasTriangle& t, PixelGroup& group) {
        sse2::Lanes::Group(target, t, group);
    }
};

} // namespace

const ShadeKernels* Avx2Kernels() {
    static const ShadeKernels kernels{"avx2", true, WalkTriangle<Lanes>};
    static const bool runs = __builtin_cpu_supports("avx2");
    return runs ? &kernels : nullptr;
}

} // namespace vm::bake

#else

namespace vm::bake {

const ShadeKernels* Avx2Kernels() {
    return nullptr;
}

} // namespace vm::bake

#endif
