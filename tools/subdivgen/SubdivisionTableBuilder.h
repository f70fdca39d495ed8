#pragma once
// Derives a table-driven Loop subdivision stage from a triangle mesh's topology. Co-located
// copies of a vertex (texture seams) count as one vertex, so the refined surface stays closed
// across a seam: both copies get the same neighbour list, and each seam edge one new vertex.
#include "document/SubdivisionStage.h"
#include "platform/core/VMath.h"

#include <cstdint>
#include <vector>

namespace vm {

// For each vertex, the lowest index of a vertex at exactly the same position (model units).
std::vector<uint32_t> WeldByPosition(const std::vector<Vec3>& positions);

struct BuiltStage {
    SubdivisionStage stage;
    // For each output vertex, the lowest-index output vertex it is a copy of: the input
    // welding carried over to the vertex rules; every edge vertex is its own.
    std::vector<uint32_t> outputWeld;
};

// weld: one entry per input vertex (see WeldByPosition); triangles: 3 input indices per face.
// Throws InvalidArgumentException for an edge shared by more than two faces, a weld entry that
// is not a lowest-index copy, or an output too large for 16-bit vertex numbers.
BuiltStage BuildSubdivisionStage(const std::vector<uint32_t>& weld,
                                 const std::vector<uint32_t>& triangles);

} // namespace vm
