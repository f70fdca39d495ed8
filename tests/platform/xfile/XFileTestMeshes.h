#pragma once
// Meshes for the .x codec tests: every field of every vertex distinct, so that a value landing
// in the wrong place shows.
#include "platform/mesh/Mesh.h"

#include <cstring>

namespace vm::test {

// A grid of columns x rows vertices (two triangles per cell) whose vertices differ in every
// component, including negative zero and values with long decimal expansions.
inline Mesh GridMesh(uint32_t columns, uint32_t rows, uint32_t numMaterials = 1) {
    Mesh mesh;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c) {
            const auto i = static_cast<float>(r * columns + c);
            HeadVertex v{};
            v.position = {static_cast<float>(c) * 1.1f - 238.3998f, 342.09637f - r * 0.7f,
                          (r + c == 0) ? -0.0f : i / 3.0f};
            v.normal = {0.267261f, -0.534522f + i * 1e-7f, 0.801784f};
            v.diffuse = 0x80000000u ^ (static_cast<uint32_t>(i) * 2654435761u);
            v.frontUV = {i / 7.0f, 1.0f - i / 11.0f};
            v.sideUV = {i / 13.0f + 0.5f, -i / 17.0f};
            v.modelUV = {1e-30f * i, 3.0e7f + i};
            mesh.vertices.push_back(v);
        }
    }
    for (uint32_t r = 0; r + 1 < rows; ++r) {
        for (uint32_t c = 0; c + 1 < columns; ++c) {
            const uint32_t a = r * columns + c, b = a + 1, d = a + columns, e = d + 1;
            mesh.indices.insert(mesh.indices.end(), {a, b, e, a, e, d});
        }
    }
    mesh.numMaterials = numMaterials;
    mesh.attributes.resize(mesh.FaceCount());
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        mesh.attributes[f] = (f * 7 / 3) % numMaterials;
    }
    return mesh;
}

inline bool SameVertexBytes(const HeadVertex& a, const HeadVertex& b) {
    return std::memcmp(&a, &b, sizeof(HeadVertex)) == 0;
}

} // namespace vm::test
