#include "platform/mesh/MeshServices.h"

#include "platform/core/Exceptions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numeric>
#include <unordered_map>

namespace vm {

namespace {

[[noreturn]] void FailInvalidCall() {
    throw CDXException(hr::kInvalidCall);
}

constexpr uint32_t kMax16BitVertices = 0xFFFF;
constexpr uint32_t kStorableBits = FVF_XYZ | FVF_NORMAL | FVF_DIFFUSE | FVF_TEXCOUNT_MASK;

uint32_t TexCount(uint32_t fvf) {
    return (fvf & FVF_TEXCOUNT_MASK) >> FVF_TEXCOUNT_SHIFT;
}

// Formats whose every component has a place in HeadVertex.
bool IsStorableFormat(uint32_t fvf) {
    return FvfVertexSize(fvf) != 0 && (fvf & ~kStorableBits) == 0 && (fvf & FVF_XYZ) != 0 &&
           TexCount(fvf) <= 3;
}

void CheckVertexCount(uint32_t vertexCount, uint32_t options) {
    if (!(options & MESH_32BIT) && vertexCount > kMax16BitVertices) {
        FailInvalidCall();
    }
}

void CheckIndices(const Mesh& mesh) {
    const uint32_t count = mesh.VertexCount();
    if (mesh.indices.size() % 3 != 0) {
        FailInvalidCall();
    }
    for (uint32_t index : mesh.indices) {
        if (index >= count) {
            FailInvalidCall();
        }
    }
}

// Positions closer than epsilon are one point: each vertex gets the index of the first vertex
// of its point. A uniform grid of epsilon-sized cells keeps the search to 27 cells; the grid is
// an open-addressing table of per-cell lists threaded through one array, so a weld costs no
// allocation per vertex (it runs on every drag step through the normals).
class PointWelder {
public:
    explicit PointWelder(float epsilon) : m_epsilon(std::max(epsilon, 0.0f)) {}

    std::vector<uint32_t> Weld(const std::vector<HeadVertex>& vertices) {
        size_t capacity = 16;
        while (capacity < vertices.size() * 2) {
            capacity *= 2;
        }
        m_slots.assign(capacity, Slot{});
        m_next.assign(vertices.size(), kNoNeighbour);
        std::vector<uint32_t> point(vertices.size());
        for (uint32_t i = 0; i < vertices.size(); ++i) {
            point[i] = FindOrAdd(vertices, i);
        }
        return point;
    }

private:
    struct CellKey {
        int64_t x = 0, y = 0, z = 0;
        bool operator==(const CellKey&) const = default;
    };
    struct Slot {
        CellKey key;
        uint32_t head = kNoNeighbour; // first representative in the cell; none = empty slot
    };

    static size_t Hash(const CellKey& k) {
        uint64_t h = static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<uint64_t>(k.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
        h ^= static_cast<uint64_t>(k.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
        return static_cast<size_t>(h ^ (h >> 29));
    }

    Slot& SlotOf(const CellKey& key) {
        const size_t mask = m_slots.size() - 1;
        for (size_t at = Hash(key) & mask;; at = (at + 1) & mask) {
            Slot& slot = m_slots[at];
            if (slot.head == kNoNeighbour || slot.key == key) {
                return slot;
            }
        }
    }

    int64_t Cell(float coordinate) const {
        if (m_epsilon == 0) {
            // Exact matching: the key is the value itself (with -0 folded onto +0).
            const float folded = coordinate + 0.0f;
            uint32_t bits = 0;
            std::memcpy(&bits, &folded, sizeof bits);
            return bits;
        }
        const double cell = std::floor(static_cast<double>(coordinate) / m_epsilon);
        if (std::isnan(cell)) {
            return 0; // any cell will do: a NaN position is close to nothing
        }
        return static_cast<int64_t>(std::clamp(cell, -4.0e18, 4.0e18));
    }

    CellKey KeyOf(const Vec3& p) const { return {Cell(p.x), Cell(p.y), Cell(p.z)}; }

    bool Close(const Vec3& a, const Vec3& b) const {
        if (m_epsilon == 0) {
            return a.x == b.x && a.y == b.y && a.z == b.z;
        }
        const Vec3 d = a - b;
        return Dot(d, d) <= m_epsilon * m_epsilon;
    }

    uint32_t FindOrAdd(const std::vector<HeadVertex>& vertices, uint32_t i) {
        const Vec3& p = vertices[i].position;
        const CellKey home = KeyOf(p);
        const int reach = m_epsilon == 0 ? 0 : 1;
        for (int dx = -reach; dx <= reach; ++dx) {
            for (int dy = -reach; dy <= reach; ++dy) {
                for (int dz = -reach; dz <= reach; ++dz) {
                    const Slot& slot = SlotOf({home.x + dx, home.y + dy, home.z + dz});
                    for (uint32_t c = slot.head; c != kNoNeighbour; c = m_next[c]) {
                        if (Close(vertices[c].position, p)) {
                            return c;
                        }
                    }
                }
            }
        }
        Slot& slot = SlotOf(home);
        slot.key = home;
        m_next[i] = slot.head;
        slot.head = i;
        return i;
    }

    float m_epsilon;
    std::vector<Slot> m_slots;
    std::vector<uint32_t> m_next;
};

struct EdgeEntry {
    uint64_t key;  // the two point ids, smaller first
    uint32_t slot; // face * 3 + edge
    bool forward;  // the face runs from the smaller point id to the larger
};

std::vector<EdgeEntry> CollectEdges(const Mesh& mesh, const std::vector<uint32_t>& point) {
    std::vector<EdgeEntry> edges;
    edges.reserve(mesh.indices.size());
    for (uint32_t slot = 0; slot < mesh.indices.size(); ++slot) {
        const uint32_t face = slot / 3;
        const uint32_t a = point[mesh.indices[slot]];
        const uint32_t b = point[mesh.indices[face * 3 + (slot + 1) % 3]];
        if (a == b) {
            continue; // a collapsed edge joins nothing
        }
        const uint64_t lo = std::min(a, b), hi = std::max(a, b);
        edges.push_back({(lo << 32) | hi, slot, a < b});
    }
    std::sort(edges.begin(), edges.end(), [](const EdgeEntry& x, const EdgeEntry& y) {
        return x.key != y.key ? x.key < y.key : x.slot < y.slot;
    });
    return edges;
}

// Within a run of faces on one edge, a face takes the first other face that runs the edge the
// other way round, and failing that the first other face at all.
void LinkEdgeGroup(const EdgeEntry* begin, const EdgeEntry* end, std::vector<uint32_t>& adjacency) {
    for (const EdgeEntry* e = begin; e != end; ++e) {
        const uint32_t face = e->slot / 3;
        uint32_t fallback = kNoNeighbour;
        for (const EdgeEntry* o = begin; o != end; ++o) {
            const uint32_t other = o->slot / 3;
            if (other == face) {
                continue;
            }
            if (o->forward != e->forward) {
                fallback = other;
                break;
            }
            if (fallback == kNoNeighbour) {
                fallback = other;
            }
        }
        adjacency[e->slot] = fallback;
    }
}

// Union-find over vertex indices.
struct VertexGroups {
    explicit VertexGroups(size_t count) : parent(count) {
        std::iota(parent.begin(), parent.end(), 0u);
    }
    uint32_t Find(uint32_t v) {
        while (parent[v] != v) {
            parent[v] = parent[parent[v]];
            v = parent[v];
        }
        return v;
    }
    void Join(uint32_t a, uint32_t b) {
        a = Find(a);
        b = Find(b);
        if (a != b) {
            parent[std::max(a, b)] = std::min(a, b);
        }
    }
    std::vector<uint32_t> parent;
};

uint32_t NearestCorner(const Mesh& mesh, uint32_t face, const Vec3& p) {
    uint32_t best = mesh.indices[face * 3];
    float bestDistance = INFINITY;
    for (uint32_t k = 0; k < 3; ++k) {
        const uint32_t v = mesh.indices[face * 3 + k];
        const Vec3 d = mesh.vertices[v].position - p;
        const float distance = Dot(d, d);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = v;
        }
    }
    return best;
}

// Vertices at exactly the same position fall into one group, and so do the vertices that the
// adjacency says are one point (the ends of a shared edge, which may differ by up to the
// adjacency's epsilon): a group gets one normal, so no seam shows in the lighting.
VertexGroups GroupSharedVertices(const Mesh& mesh, const std::vector<uint32_t>& adjacency) {
    VertexGroups groups(mesh.vertices.size());
    const std::vector<uint32_t> point = PointWelder(0).Weld(mesh.vertices);
    for (uint32_t v = 0; v < point.size(); ++v) {
        groups.Join(v, point[v]);
    }
    const uint32_t faceCount = mesh.FaceCount();
    for (uint32_t slot = 0; slot < adjacency.size(); ++slot) {
        const uint32_t other = adjacency[slot];
        if (other == kNoNeighbour) {
            continue;
        }
        if (other >= faceCount) {
            FailInvalidCall();
        }
        const uint32_t face = slot / 3;
        if (other < face && std::find(&adjacency[other * 3], &adjacency[other * 3] + 3, face) !=
                                &adjacency[other * 3] + 3) {
            continue; // the pair was joined from the other face's side
        }
        for (uint32_t end : {mesh.indices[slot], mesh.indices[face * 3 + (slot + 1) % 3]}) {
            groups.Join(end, NearestCorner(mesh, other, mesh.vertices[end].position));
        }
    }
    return groups;
}

float AngleBetweenUnits(const Vec3& a, const Vec3& b) {
    return std::acos(std::clamp(Dot(a, b), -1.0f, 1.0f));
}

// Each corner adds its face's unit normal weighted by the corner's angle, so the result does not
// depend on how finely the surface around a vertex is cut.
void AccumulateFace(const Mesh& mesh, uint32_t face, const std::vector<uint32_t>& root,
                    std::vector<Vec3>& sums) {
    const uint32_t* corner = &mesh.indices[face * 3];
    const Vec3& p0 = mesh.vertices[corner[0]].position;
    const Vec3& p1 = mesh.vertices[corner[1]].position;
    const Vec3& p2 = mesh.vertices[corner[2]].position;
    const Vec3 faceNormal = Normalize(Cross(p1 - p0, p2 - p0));
    if (faceNormal == Vec3{}) {
        return; // degenerate: no direction to give
    }
    const Vec3 e01 = Normalize(p1 - p0), e12 = Normalize(p2 - p1), e20 = Normalize(p0 - p2);
    const float angles[3] = {AngleBetweenUnits(e01, e20 * -1.0f),
                             AngleBetweenUnits(e12, e01 * -1.0f),
                             AngleBetweenUnits(e20, e12 * -1.0f)};
    for (int k = 0; k < 3; ++k) {
        Vec3& sum = sums[root[corner[k]]];
        sum = sum + faceNormal * angles[k];
    }
}

} // namespace

Mesh CreateMesh(uint32_t faceCount, uint32_t vertexCount, uint32_t options, uint32_t fvf) {
    if (faceCount == 0 || vertexCount == 0 || !IsStorableFormat(fvf)) {
        FailInvalidCall();
    }
    CheckVertexCount(vertexCount, options);
    Mesh mesh;
    mesh.vertices.assign(vertexCount, HeadVertex{});
    mesh.indices.assign(static_cast<size_t>(faceCount) * 3, 0);
    mesh.attributes.assign(faceCount, 0);
    mesh.options = options;
    mesh.fvf = fvf;
    return mesh;
}

Mesh CloneMesh(const Mesh& mesh, uint32_t options, uint32_t fvf) {
    if (!IsStorableFormat(fvf)) {
        FailInvalidCall();
    }
    CheckVertexCount(mesh.VertexCount(), options);
    Mesh clone = mesh;
    clone.options = options;
    clone.fvf = fvf;
    // A component that either format lacks has no value in the clone.
    const uint32_t kept = mesh.fvf & fvf;
    const uint32_t texSets = std::min(TexCount(mesh.fvf), TexCount(fvf));
    for (HeadVertex& v : clone.vertices) {
        if (!(kept & FVF_NORMAL)) {
            v.normal = {};
        }
        if (!(kept & FVF_DIFFUSE)) {
            v.diffuse = 0;
        }
        Vec2* sets[3] = {&v.frontUV, &v.sideUV, &v.modelUV};
        for (uint32_t s = texSets; s < 3; ++s) {
            *sets[s] = {};
        }
    }
    return clone;
}

std::vector<uint32_t> ComputeAdjacency(const Mesh& mesh, float epsilon) {
    CheckIndices(mesh);
    if (!(epsilon >= 0)) {
        FailInvalidCall(); // negative or NaN
    }
    const std::vector<uint32_t> point = PointWelder(epsilon).Weld(mesh.vertices);
    const std::vector<EdgeEntry> edges = CollectEdges(mesh, point);
    std::vector<uint32_t> adjacency(mesh.indices.size(), kNoNeighbour);
    size_t start = 0;
    while (start < edges.size()) {
        size_t stop = start + 1;
        while (stop < edges.size() && edges[stop].key == edges[start].key) {
            ++stop;
        }
        LinkEdgeGroup(edges.data() + start, edges.data() + stop, adjacency);
        start = stop;
    }
    return adjacency;
}

void ComputeNormals(Mesh& mesh, const std::vector<uint32_t>& adjacency) {
    NormalPlan(mesh, adjacency).Apply(mesh);
}

NormalPlan::NormalPlan(const Mesh& mesh, const std::vector<uint32_t>& adjacency)
    : m_indices(mesh.indices), m_adjacency(adjacency) {
    CheckIndices(mesh);
    if (!adjacency.empty() && adjacency.size() != mesh.indices.size()) {
        FailInvalidCall();
    }
    VertexGroups groups = GroupSharedVertices(mesh, adjacency);
    m_root.resize(mesh.vertices.size());
    for (uint32_t v = 0; v < m_root.size(); ++v) {
        m_root[v] = groups.Find(v);
    }
}

bool NormalPlan::Fits(const Mesh& mesh, const std::vector<uint32_t>& adjacency) const {
    return m_root.size() == mesh.vertices.size() && m_indices == mesh.indices &&
           m_adjacency == adjacency;
}

void NormalPlan::Apply(Mesh& mesh) {
    if (m_root.size() != mesh.vertices.size() || m_indices.size() != mesh.indices.size()) {
        FailInvalidCall();
    }
    m_sums.assign(mesh.vertices.size(), Vec3{});
    for (uint32_t face = 0; face < mesh.FaceCount(); ++face) {
        AccumulateFace(mesh, face, m_root, m_sums);
    }
    for (uint32_t v = 0; v < mesh.vertices.size(); ++v) {
        mesh.vertices[v].normal = Normalize(m_sums[m_root[v]]);
    }
}

void ComputeBoundingBox(const HeadVertex* vertices, uint32_t count, Vec3& min, Vec3& max) {
    if (vertices == nullptr || count == 0) {
        FailInvalidCall();
    }
    min = max = vertices[0].position;
    for (uint32_t i = 1; i < count; ++i) {
        const Vec3& p = vertices[i].position;
        min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
        max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
    }
}

void ComputeBoundingSphere(const HeadVertex* vertices, uint32_t count, Vec3& centre,
                           float& radius) {
    if (vertices == nullptr || count == 0) {
        FailInvalidCall();
    }
    double sx = 0, sy = 0, sz = 0;
    for (uint32_t i = 0; i < count; ++i) {
        sx += vertices[i].position.x;
        sy += vertices[i].position.y;
        sz += vertices[i].position.z;
    }
    centre = {static_cast<float>(sx / count), static_cast<float>(sy / count),
              static_cast<float>(sz / count)};
    float largest = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const Vec3 d = vertices[i].position - centre;
        largest = std::max(largest, Dot(d, d));
    }
    radius = std::sqrt(largest);
}

namespace {

// The vertex as 13 words, with -0 folded onto +0 so that equal values compare equal.
using VertexWords = std::array<uint32_t, 13>;

VertexWords WordsOf(const HeadVertex& v) {
    HeadVertex folded = v;
    float* floats[] = {&folded.position.x, &folded.position.y, &folded.position.z,
                       &folded.normal.x,   &folded.normal.y,   &folded.normal.z,
                       &folded.frontUV.x,  &folded.frontUV.y,  &folded.sideUV.x,
                       &folded.sideUV.y,   &folded.modelUV.x,  &folded.modelUV.y};
    for (float* f : floats) {
        *f += 0.0f;
    }
    VertexWords words;
    std::memcpy(words.data(), &folded, sizeof folded);
    return words;
}

struct WordsHash {
    size_t operator()(const VertexWords& w) const {
        uint64_t h = 1469598103934665603ull;
        for (uint32_t word : w) {
            h = (h ^ word) * 1099511628211ull;
        }
        return static_cast<size_t>(h);
    }
};

} // namespace

std::vector<uint32_t> WeldVertices(Mesh& mesh) {
    CheckIndices(mesh);
    std::unordered_map<VertexWords, uint32_t, WordsHash> firstOf;
    firstOf.reserve(mesh.vertices.size());
    std::vector<uint32_t> remap(mesh.vertices.size());
    std::vector<HeadVertex> kept;
    kept.reserve(mesh.vertices.size());
    for (uint32_t v = 0; v < mesh.vertices.size(); ++v) {
        const auto [it, added] =
            firstOf.try_emplace(WordsOf(mesh.vertices[v]), static_cast<uint32_t>(kept.size()));
        if (added) {
            kept.push_back(mesh.vertices[v]);
        }
        remap[v] = it->second;
    }
    for (uint32_t& index : mesh.indices) {
        index = remap[index];
    }
    mesh.vertices = std::move(kept);
    return remap;
}

std::optional<RayHit> Intersect(const Mesh& mesh, const Vec3& rayPos, const Vec3& rayDir) {
    CheckIndices(mesh);
    std::optional<RayHit> nearest;
    for (uint32_t face = 0; face < mesh.FaceCount(); ++face) {
        const Vec3& p0 = mesh.vertices[mesh.indices[face * 3]].position;
        const Vec3 edge1 = mesh.vertices[mesh.indices[face * 3 + 1]].position - p0;
        const Vec3 edge2 = mesh.vertices[mesh.indices[face * 3 + 2]].position - p0;
        const Vec3 pvec = Cross(rayDir, edge2);
        const float det = Dot(edge1, pvec);
        if (det == 0) {
            continue; // ray parallel to the triangle, or a degenerate triangle
        }
        const float inverse = 1.0f / det;
        const Vec3 tvec = rayPos - p0;
        const float u = Dot(tvec, pvec) * inverse;
        if (u < 0 || u > 1) {
            continue;
        }
        const Vec3 qvec = Cross(tvec, edge1);
        const float v = Dot(rayDir, qvec) * inverse;
        if (v < 0 || u + v > 1) {
            continue;
        }
        const float t = Dot(edge2, qvec) * inverse;
        if (t >= 0 && (!nearest || t < nearest->distance)) {
            nearest = RayHit{face, u, v, t};
        }
    }
    return nearest;
}

} // namespace vm
