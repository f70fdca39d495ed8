// The plain kernels, one pixel at a time, and the choice among all of them.
#include "export/bake/ShadeKernels.h"

namespace vm::bake {

namespace {

struct ScalarLanes {
    static void RunOfEight(const ShadeTarget& target, const AtlasTriangle& t, int x, int y) {
        RunOfFour(target, t, x, y);
        RunOfFour(target, t, x + 4, y);
    }
    static void RunOfFour(const ShadeTarget& target, const AtlasTriangle& t, int x, int y) {
        uint32_t* const row = target.Row(y);
        for (int i = x; i < x + 4; ++i) {
            row[i] = ShadePixel(target, t, i, y);
        }
    }
    static void Group(const ShadeTarget& target, const AtlasTriangle& t, PixelGroup& group) {
        for (int i = 0; i < group.count; ++i) {
            target.Row(group.y[i])[group.x[i]] = ShadePixel(target, t, group.x[i], group.y[i]);
        }
    }
};

} // namespace

const ShadeKernels& ScalarKernels() {
    static const ShadeKernels kernels{"scalar", false, WalkTriangle<ScalarLanes>};
    return kernels;
}

const ShadeKernels& ChosenKernels() {
    static const ShadeKernels& chosen = []() -> const ShadeKernels& {
        if (const ShadeKernels* avx2 = Avx2Kernels()) {
            return *avx2;
        }
        if (const ShadeKernels* sse2 = Sse2Kernels()) {
            return *sse2;
        }
        return ScalarKernels();
    }();
    return chosen;
}

bool EightLanesReach(const TextureSampler& photo) {
    return uint64_t{photo.Height()} * photo.Pitch() < (uint64_t{1} << 31);
}

} // namespace vm::bake
