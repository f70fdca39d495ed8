#pragma once
// A triangle mesh of HeadVertex held in system memory, with one attribute (subset id) per face.
#include "platform/mesh/HeadVertex.h"

#include <cstdint>
#include <vector>

namespace vm {

enum MeshOptions : uint32_t {
    MESH_32BIT = 0x001,     // indices may exceed 65535
    MESH_NPATCHES = 0x4000, // drawn with device N-patch refinement
    MESH_SYSTEMMEM = 0x110, // vertex and index data in system memory
};

struct Mesh {
    std::vector<HeadVertex> vertices;
    std::vector<uint32_t> indices;    // 3 per face; below 65536 unless MESH_32BIT is set
    std::vector<uint32_t> attributes; // one subset id per face
    uint32_t numMaterials = 1;
    uint32_t options = MESH_SYSTEMMEM;
    uint32_t fvf = kHeadVertexFvf;

    uint32_t VertexCount() const { return static_cast<uint32_t>(vertices.size()); }
    uint32_t FaceCount() const { return static_cast<uint32_t>(indices.size() / 3); }
};

} // namespace vm
