#pragma once
// Checks on texture-space triangles: containment, area and overlap between faces.
#include "platform/mesh/Mesh.h"

#include <array>
#include <cstdint>

namespace vm {

struct UVTriangle {
    std::array<Vec2, 3> corners;
};

UVTriangle FaceUV(const Mesh& mesh, uint32_t face); // modelUV of the face's corners
float SignedArea(const UVTriangle& t);
bool InsideTriangle(const UVTriangle& t, const Vec2& p, float epsilon);
// Whether the interiors of two triangles overlap by more than epsilon (touching edges do not).
bool Overlap(const UVTriangle& a, const UVTriangle& b, float epsilon);
// Pairs of the mesh's faces whose modelUV triangles overlap.
uint64_t CountOverlappingPairs(const Mesh& mesh, float epsilon);

} // namespace vm
