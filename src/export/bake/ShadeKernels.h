#pragma once
// The atlas's pixel shading for one instruction set: plain C++, four SSE2 lanes, or eight AVX2
// lanes. Every kernel gives, lane by lane, the very operations of ShadePixel, so the same
// colours; the program picks the widest the processor runs, once.
#include "export/bake/AtlasTriangle.h"

namespace vm::bake {

struct ShadeKernels {
    const char* name;
    // Pixels x to x + 3 of row y.
    void (*runOfFour)(const ShadeTarget&, const AtlasTriangle&, int x, int y);
    // Pixels x to x + 7 of row y; null where the kernel has no eight lanes. It addresses photo
    // texels with 32-bit byte offsets: only for photos below 2 GiB (EightLanesReach).
    void (*runOfEight)(const ShadeTarget&, const AtlasTriangle&, int x, int y);
    // The group's pixels; the group's unused lanes may be overwritten.
    void (*group)(const ShadeTarget&, const AtlasTriangle&, PixelGroup&);
};

const ShadeKernels& ScalarKernels();
// Null where the program was built without them or the processor lacks the instructions.
const ShadeKernels* Sse2Kernels();
const ShadeKernels* Avx2Kernels();

// The widest kernels this processor runs, chosen on first use.
const ShadeKernels& ChosenKernels();

// Whether runOfEight can reach every texel of the photo.
bool EightLanesReach(const TextureSampler& photo);

} // namespace vm::bake
