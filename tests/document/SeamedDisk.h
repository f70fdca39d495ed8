#pragma once
// A small curved disk cut from its rim to its centre, with the cut vertices stored twice (same
// position, different texture coordinates): the same kind of surface as the generic head,
// whose texture layout is cut from the neck opening to the crown.
#include "platform/mesh/Mesh.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace vm::test {

struct SeamedDisk {
    Mesh mesh;
    uint32_t weldedVertices = 0;
    uint32_t edges = 0;
    uint32_t boundaryEdges = 0;
    uint32_t copies = 0;
};

// rings x sectors grid around a centre vertex; the cut runs along sector 0.
inline SeamedDisk MakeSeamedDisk(int rings = 3, int sectors = 8) {
    SeamedDisk disk;
    auto add = [&](float r, int s, float u) {
        HeadVertex v;
        const float angle = 6.2831853f * static_cast<float>(s) / static_cast<float>(sectors);
        v.position = {r * std::cos(angle), r * std::sin(angle),
                      0.3f * r * r + 0.1f * std::sin(2 * angle)};
        v.diffuse = 0xFFFFFFFF;
        v.modelUV = {u, r / static_cast<float>(rings)};
        v.frontUV = v.modelUV;
        disk.mesh.vertices.push_back(v);
        return static_cast<uint32_t>(disk.mesh.vertices.size() - 1);
    };
    add(0, 0, 0.5f);
    // index[ring][sector], sector `sectors` is the cut copy of sector 0
    std::vector<std::vector<uint32_t>> index(static_cast<size_t>(rings) + 1);
    index[0].assign(static_cast<size_t>(sectors) + 1, 0);
    for (int r = 1; r <= rings; ++r) {
        for (int s = 0; s <= sectors; ++s) {
            const float u = static_cast<float>(s) / static_cast<float>(sectors);
            index[r].push_back(add(static_cast<float>(r), s % sectors, u));
        }
    }
    auto tri = [&](uint32_t a, uint32_t b, uint32_t c) {
        disk.mesh.indices.insert(disk.mesh.indices.end(), {a, b, c});
    };
    for (int s = 0; s < sectors; ++s) {
        tri(0, index[1][s], index[1][s + 1]);
        for (int r = 1; r < rings; ++r) {
            tri(index[r][s], index[r + 1][s], index[r + 1][s + 1]);
            tri(index[r][s], index[r + 1][s + 1], index[r][s + 1]);
        }
    }
    disk.mesh.attributes.assign(disk.mesh.FaceCount(), 0);
    disk.copies = static_cast<uint32_t>(rings);
    disk.weldedVertices = disk.mesh.VertexCount() - disk.copies;
    disk.boundaryEdges = static_cast<uint32_t>(sectors);
    // A disk has Euler characteristic 1: V - E + F = 1.
    disk.edges = disk.weldedVertices + disk.mesh.FaceCount() - 1;
    return disk;
}

} // namespace vm::test
