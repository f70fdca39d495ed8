#include "platform/mesh/HeadVertex.h"

namespace vm {

uint32_t FvfVertexSize(uint32_t fvf) {
    constexpr uint32_t kPositionMask = 0x00E;
    constexpr uint32_t kKnownBits =
        kPositionMask | FVF_NORMAL | FVF_DIFFUSE | FVF_SPECULAR | FVF_TEXCOUNT_MASK;
    if ((fvf & ~kKnownBits) != 0 || (fvf & kPositionMask) != FVF_XYZ) {
        return 0;
    }
    uint32_t size = 12;
    if (fvf & FVF_NORMAL) {
        size += 12;
    }
    if (fvf & FVF_DIFFUSE) {
        size += 4;
    }
    if (fvf & FVF_SPECULAR) {
        size += 4;
    }
    const uint32_t texCount = (fvf & FVF_TEXCOUNT_MASK) >> FVF_TEXCOUNT_SHIFT;
    if (texCount > 8) {
        return 0;
    }
    return size + texCount * 8; // two floats per set: the only set size we use
}

} // namespace vm
