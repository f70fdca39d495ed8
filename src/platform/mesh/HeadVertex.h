#pragma once
// The vertex of every head mesh: flexible vertex format 0x352 (position, normal, diffuse and
// three 2-D texture coordinate sets), 52 bytes, laid out exactly as stored in mesh files.
#include "platform/core/VMath.h"

#include <cstdint>
#include <type_traits>

namespace vm {

// Flexible-vertex-format bits that this program reads and writes.
enum FvfBits : uint32_t {
    FVF_XYZ = 0x002,
    FVF_NORMAL = 0x010,
    FVF_DIFFUSE = 0x040,
    FVF_SPECULAR = 0x080,
    FVF_TEXCOUNT_MASK = 0xF00,
    FVF_TEXCOUNT_SHIFT = 8,
};

constexpr uint32_t kHeadVertexFvf = 0x352;

struct HeadVertex {
    Vec3 position;    // model units
    Vec3 normal;      // unit length once normals are computed
    uint32_t diffuse; // ARGB
    Vec2 frontUV;     // place in the front photo / photo size
    Vec2 sideUV;      // place in the side photo / photo size
    Vec2 modelUV;     // the generic head's own texture layout
};
static_assert(sizeof(HeadVertex) == 52, "HeadVertex must match the 52-byte stored layout");
static_assert(std::is_trivially_copyable_v<HeadVertex>);

// Size in bytes of one vertex of the given flexible vertex format (0 for formats with bits we
// do not know).
uint32_t FvfVertexSize(uint32_t fvf);

} // namespace vm
