#pragma once
// Services on Mesh: creation, cloning, adjacency, normals, bounds, welding and picking.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Mesh.h"

namespace vm {

constexpr uint32_t kNoNeighbour = 0xFFFFFFFF;

// A mesh of faceCount triangles and vertexCount zeroed vertices, every attribute 0.
// Throws InvalidArgument for zero counts or for more than 65535 vertices without MESH_32BIT.
Mesh CreateMesh(uint32_t faceCount, uint32_t vertexCount, uint32_t options, uint32_t fvf);

// A copy with other options (the vertex format stays 0x352; other formats are refused).
Mesh CloneMesh(const Mesh& mesh, uint32_t options, uint32_t fvf);

// Three entries per face: the face across edge (v0,v1), (v1,v2), (v2,v0), or kNoNeighbour.
// Vertices whose positions lie within epsilon of each other count as one vertex, so faces on
// both sides of a texture seam are neighbours.
std::vector<uint32_t> ComputeAdjacency(const Mesh& mesh, float epsilon);

// Unit vertex normals from the face normals; vertices that share a position through the
// adjacency get the same normal.
void ComputeNormals(Mesh& mesh, const std::vector<uint32_t>& adjacency);

void ComputeBoundingBox(const HeadVertex* vertices, uint32_t count, Vec3& min, Vec3& max);
// Centre = mean of the positions, radius = largest distance from it.
void ComputeBoundingSphere(const HeadVertex* vertices, uint32_t count, Vec3& centre,
                           float& radius);

// Merges vertices that are equal in every component and remaps the indices. Returns, for each
// old vertex, its new index.
std::vector<uint32_t> WeldVertices(Mesh& mesh);

struct RayHit {
    uint32_t face = 0;
    float u = 0, v = 0; // barycentric: point = v0 + u (v1 - v0) + v (v2 - v0)
    float distance = 0; // along the (not necessarily unit) direction, in direction lengths
};

// Nearest hit of the ray with any triangle, from either side.
std::optional<RayHit> Intersect(const Mesh& mesh, const Vec3& rayPos, const Vec3& rayDir);

} // namespace vm
