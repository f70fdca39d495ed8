#pragma once
// Services on Mesh: creation, cloning, adjacency, normals, bounds, welding and picking.
#include "platform/mesh/Mesh.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vm {

constexpr uint32_t kNoNeighbour = 0xFFFFFFFF;

// A mesh of faceCount triangles and vertexCount zeroed vertices, every attribute 0.
// Every service below raises CDXException(D3DERR_INVALIDCALL) for what the graphics library
// would refuse: zero counts, more than 65535 vertices without MESH_32BIT, a vertex format with
// components HeadVertex cannot hold, indices beyond the vertices, adjacency of the wrong size.
Mesh CreateMesh(uint32_t faceCount, uint32_t vertexCount, uint32_t options, uint32_t fvf);

// A copy with other options and format. Components that the source or the target format lacks
// are zero in the copy (texture sets are the HeadVertex sets in order: front, side, model).
Mesh CloneMesh(const Mesh& mesh, uint32_t options, uint32_t fvf);

// Three entries per face: the face across edge (v0,v1), (v1,v2), (v2,v0), or kNoNeighbour.
// Vertices whose positions lie within epsilon of each other count as one vertex, so faces on
// both sides of a texture seam are neighbours.
std::vector<uint32_t> ComputeAdjacency(const Mesh& mesh, float epsilon);

// Unit vertex normals from the angle-weighted face normals. Vertices at the same position, and
// vertices the adjacency joins (the ends of shared edges), get the same normal. An empty
// adjacency is allowed. Vertices of no face (or only degenerate faces) get the zero vector.
void ComputeNormals(Mesh& mesh, const std::vector<uint32_t>& adjacency);

// The grouping of vertices that share one normal, worked out once for a mesh and its adjacency
// and reused while only the positions change (every drag step recomputes normals).
class NormalPlan {
public:
    NormalPlan() = default;
    NormalPlan(const Mesh& mesh, const std::vector<uint32_t>& adjacency);
    // True when the plan was made for this mesh's topology and this adjacency.
    bool Fits(const Mesh& mesh, const std::vector<uint32_t>& adjacency) const;
    // Same result as ComputeNormals(mesh, adjacency) for the mesh the plan was made from.
    void Apply(Mesh& mesh);

private:
    std::vector<uint32_t> m_root; // vertex -> representative of its group
    std::vector<uint32_t> m_indices;
    std::vector<uint32_t> m_adjacency;
    std::vector<Vec3> m_sums; // scratch reused between calls
};

void ComputeBoundingBox(const HeadVertex* vertices, uint32_t count, Vec3& min, Vec3& max);
// Centre = mean of the positions, radius = largest distance from it.
void ComputeBoundingSphere(const HeadVertex* vertices, uint32_t count, Vec3& centre, float& radius);

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
