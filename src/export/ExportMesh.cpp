#include "export/ExportMesh.h"

#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"

#include <algorithm>

namespace vm {

namespace {

using Weights = std::array<float, 3>;

// One refinement step splits triangle (p, q, r) into these four; each corner as weights of p,
// q and r. The edge points are the midpoints of (p, q), (q, r) and (r, p).
constexpr Weights kP{1, 0, 0}, kQ{0, 1, 0}, kR{0, 0, 1};
constexpr Weights kPQ{0.5f, 0.5f, 0}, kQR{0, 0.5f, 0.5f}, kRP{0.5f, 0, 0.5f};
constexpr std::array<std::array<Weights, 3>, 4> kChildCorners{{
    {kP, kPQ, kRP},
    {kPQ, kQ, kQR},
    {kQR, kR, kRP},
    {kQR, kRP, kPQ},
}};

// Weights in the parent of a point given by weights in child `child` of that parent.
Weights ToParent(const Weights& inChild, uint32_t child) {
    Weights out{0, 0, 0};
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 3; ++k) {
            out[k] += inChild[c] * kChildCorners[child][c][k];
        }
    }
    return out;
}

bool Degenerate(uint32_t a, uint32_t b, uint32_t c) {
    return a == b || b == c || a == c;
}

// modelUV at the given weights of base face `baseFace`. The terms are summed in the order of
// their vertex indices so that a point on an edge gets the same bits from both of its faces.
Vec2 InterpolateModelUV(const Mesh& base, uint32_t baseFace, const Weights& weights) {
    std::array<std::pair<uint32_t, float>, 3> terms{};
    for (int k = 0; k < 3; ++k) {
        terms[k] = {base.indices[baseFace * 3 + k], weights[k]};
    }
    std::sort(terms.begin(), terms.end());
    Vec2 uv{0, 0};
    for (const auto& [vertex, weight] : terms) {
        if (weight == 0) {
            continue;
        }
        uv.x += weight * base.vertices[vertex].modelUV.x;
        uv.y += weight * base.vertices[vertex].modelUV.y;
    }
    return uv;
}

bool SameUV(const Vec2& a, const Vec2& b) {
    return a.x == b.x && a.y == b.y;
}

} // namespace

int RefinementLevel(const Mesh& displayed, const Mesh& base) {
    const uint64_t baseFaces = base.FaceCount();
    const uint64_t faces = displayed.FaceCount();
    if (baseFaces == 0) {
        return -1;
    }
    for (int level = 0, factor = 1; level <= 2; ++level, factor *= 4) {
        if (faces == baseFaces * static_cast<uint64_t>(factor)) {
            return level;
        }
    }
    return -1;
}

std::array<float, 3> RefinedCornerWeights(uint32_t face, int corner, int level) {
    Weights weights{0, 0, 0};
    weights[corner] = 1;
    for (int step = 0; step < level; ++step) {
        weights = ToParent(weights, face % 4);
        face /= 4;
    }
    return weights;
}

Mesh BuildExportMesh(const Mesh& displayed, const Mesh& base) {
    const int level = RefinementLevel(displayed, base);
    if (level < 0) {
        throw GeneralFailureException();
    }
    Mesh out;
    out.vertices = displayed.vertices;
    out.options = MESH_SYSTEMMEM;
    std::vector<bool> assigned(displayed.vertices.size(), false);
    const uint32_t groupSize = 1u << (2 * level);
    for (uint32_t f = 0; f < displayed.FaceCount(); ++f) {
        const uint32_t* corners = &displayed.indices[f * 3];
        if (Degenerate(corners[0], corners[1], corners[2])) {
            continue;
        }
        const uint32_t baseFace = f / groupSize;
        for (int c = 0; c < 3; ++c) {
            const uint32_t vertex = corners[c];
            if (vertex >= displayed.vertices.size()) {
                throw InvalidArgumentException();
            }
            const Vec2 uv = InterpolateModelUV(base, baseFace, RefinedCornerWeights(f, c, level));
            if (!assigned[vertex]) {
                out.vertices[vertex].modelUV = uv;
                assigned[vertex] = true;
                out.indices.push_back(vertex);
            } else if (SameUV(out.vertices[vertex].modelUV, uv)) {
                out.indices.push_back(vertex);
            } else {
                // A corner on the other side of a texture seam: its own copy (welded later).
                HeadVertex copy = displayed.vertices[vertex];
                copy.modelUV = uv;
                out.indices.push_back(static_cast<uint32_t>(out.vertices.size()));
                out.vertices.push_back(copy);
            }
        }
    }
    out.attributes.assign(out.indices.size() / 3, 0);
    WeldVertices(out);
    if (out.vertices.size() > 0xFFFF) {
        throw CDXException(hr::kInvalidCall);
    }
    return out;
}

} // namespace vm
