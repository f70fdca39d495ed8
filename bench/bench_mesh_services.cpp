// Mesh services at the sizes the program meets: the 479-vertex base head (normals on every
// drag step) and the twice-refined head of about 7,400 vertices and 14,700 faces (adjacency and
// normals at export). Targets: adjacency of 15,000 faces well under 10 ms; normals of the base
// head well under 1 ms.
#include "platform/mesh/MeshServices.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

// A closed latitude-longitude sphere whose first meridian is a texture seam: its vertices are
// duplicated, as the head's seams are.
vm::Mesh SeamSphere(int rings, int segments) {
    vm::Mesh mesh;
    auto id = [&](int ring, int seg) { return static_cast<uint32_t>(ring * (segments + 1) + seg); };
    for (int ring = 0; ring <= rings; ++ring) {
        const float theta = 3.14159265f * ring / rings;
        for (int seg = 0; seg <= segments; ++seg) { // the last column copies the first
            const float phi = 6.2831853f * (seg % segments) / segments;
            vm::HeadVertex v{};
            v.position = {200 * std::sin(theta) * std::cos(phi), 300 * std::cos(theta),
                          250 * std::sin(theta) * std::sin(phi)};
            v.modelUV = {float(seg) / segments, float(ring) / rings};
            mesh.vertices.push_back(v);
        }
    }
    for (int ring = 0; ring < rings; ++ring) {
        for (int seg = 0; seg < segments; ++seg) {
            const uint32_t a = id(ring, seg), b = id(ring + 1, seg), c = id(ring + 1, seg + 1),
                           d = id(ring, seg + 1);
            mesh.indices.insert(mesh.indices.end(), {a, b, c, a, c, d});
        }
    }
    mesh.attributes.assign(mesh.FaceCount(), 0);
    mesh.options |= vm::MESH_32BIT;
    return mesh;
}

void BM_AdjacencyRefinedHead(benchmark::State& state) {
    const vm::Mesh mesh = SeamSphere(86, 86); // 14,792 faces, 7,569 vertices
    for (auto _ : state) {
        benchmark::DoNotOptimize(vm::ComputeAdjacency(mesh, 0.01f));
    }
}
BENCHMARK(BM_AdjacencyRefinedHead)->Unit(benchmark::kMillisecond);

void BM_NormalsBaseHead(benchmark::State& state) {
    vm::Mesh mesh = SeamSphere(21, 22); // 924 faces, 506 vertices
    const std::vector<uint32_t> adjacency = vm::ComputeAdjacency(mesh, 0.01f);
    for (auto _ : state) {
        vm::ComputeNormals(mesh, adjacency);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_NormalsBaseHead)->Unit(benchmark::kMicrosecond);

void BM_NormalsRefinedHead(benchmark::State& state) {
    vm::Mesh mesh = SeamSphere(86, 86);
    const std::vector<uint32_t> adjacency = vm::ComputeAdjacency(mesh, 0.01f);
    for (auto _ : state) {
        vm::ComputeNormals(mesh, adjacency);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_NormalsRefinedHead)->Unit(benchmark::kMillisecond);

void BM_IntersectRefinedHead(benchmark::State& state) {
    const vm::Mesh mesh = SeamSphere(86, 86);
    for (auto _ : state) {
        benchmark::DoNotOptimize(vm::Intersect(mesh, {10, 20, -1000}, {0, 0, 1}));
    }
}
BENCHMARK(BM_IntersectRefinedHead)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
