#pragma once
// The atlas's pixel shading for one instruction set: plain C++, four SSE2 lanes, or eight AVX2
// lanes. Every kernel gives, lane by lane, the very operations of ShadePixel, so the same
// colours; the program picks the widest the processor runs, once.
#include "export/bake/SpanWalk.h"

namespace vm::bake {

struct ShadeKernels {
    const char* name;
    // Whether the kernel shades eight pixels at once. It addresses photo texels with 32-bit
    // byte offsets: only for photos below 2 GiB (EightLanesReach).
    bool eightLanes;
    // Shades the pixels of the triangle in rows [rowBegin, rowEnd) that flags show unwritten
    // and marks them written; eightLanes: the eight-pixel shading may be used.
    void (*shadeTriangle)(const ShadeTarget&, const AtlasTriangle&, const TriangleSetup&,
                          const WrittenFlags& flags, int rowBegin, int rowEnd, bool eightLanes);
};

const ShadeKernels& ScalarKernels();
// Null where the program was built without them or the processor lacks the instructions.
const ShadeKernels* Sse2Kernels();
const ShadeKernels* Avx2Kernels();

// The widest kernels this processor runs, chosen on first use.
const ShadeKernels& ChosenKernels();

// Whether eight-lane shading can reach every texel of the photo.
bool EightLanesReach(const TextureSampler& photo);

} // namespace vm::bake
