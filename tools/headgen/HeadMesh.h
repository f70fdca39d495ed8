#pragma once
// The generic head's surface: vertices from the layout, triangulated into a disk whose only
// boundary is the neck opening.
#include "HeadLayout.h"
#include "Triangulation.h"

#include <string>
#include <vector>

namespace vm::headgen {

struct WeldedHead {
    HeadLayout layout;
    std::vector<Triangle> triangles; // cross(b - a, c - a) points out of the head
};

WeldedHead TriangulateHead(const HeadLayout& layout);

// Human-readable problems with the welded head's topology (empty when it is sound).
std::vector<std::string> CheckWeldedHead(const WeldedHead& head);

} // namespace vm::headgen
