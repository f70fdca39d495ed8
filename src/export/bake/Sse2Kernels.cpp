// The SSE2 kernels, which every x86-64 processor runs.
#include "export/bake/ShadeKernels.h"

#if defined(__SSE2__)
#include "export/bake/Sse2Lanes.h"
#endif

namespace vm::bake {

const ShadeKernels* Sse2Kernels() {
#if defined(__SSE2__)
    static const ShadeKernels kernels{"sse2", false, WalkTriangle<sse2::Lanes>};
    return &kernels;
#else
    return nullptr;
#endif
}

} // namespace vm::bake
