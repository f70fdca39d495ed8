// One drag step on the front photo: MovePoints with the weights of a whole-feature drag, then
// the displayed mesh rebuilt at each level of detail. For comparison, the same step with the
// refinement done by OpenSubdiv's Loop scheme (topology built once, positions and all texture
// sets interpolated two levels per step).
#include "document/CVisomorfDoc.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

#ifdef VISOMORF_HAVE_OPENSUBDIV
#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>
#endif

namespace {

// The front feature with its child features: the lips (index 3) and their cheeks and creases.
constexpr int32_t kDraggedFeature = 3;

struct DragSetup {
    vm::CVisomorfDoc doc;
    vm::PointWeightMap points;
    vm::VertexWeightMap vertices;
    bool ok = false;

    DragSetup() {
        ok = doc.OnNewDocument();
        if (ok) {
            doc.CollectFeatureWeights(vm::Front, kDraggedFeature, points);
            doc.CollectVertexWeights(vm::Front, points, vertices);
        }
    }
    // Back and forth, so that the head does not wander off during a long run.
    void Move(int64_t step) {
        const float d = (step & 1) ? -0.5f : 0.5f;
        doc.MovePoints(vm::Front, points, vertices, d, d);
    }
};

void BM_DragStep(benchmark::State& state) {
    DragSetup setup;
    if (!setup.ok) {
        state.SkipWithError("the embedded head could not be loaded");
        return;
    }
    setup.doc.SetModelDetail(static_cast<int32_t>(state.range(0)));
    int64_t step = 0;
    for (auto _ : state) {
        setup.Move(step++);
        setup.doc.RebuildDisplayMesh();
        benchmark::DoNotOptimize(setup.doc.displayedMesh->vertices.data());
    }
    state.counters["vertices"] = setup.doc.displayedMesh->VertexCount();
}
BENCHMARK(BM_DragStep)->Arg(vm::Low)->Arg(vm::Medium)->Arg(vm::High)->Unit(benchmark::kMicrosecond);

// The same step without the normals: only the two table-driven stages, as the OpenSubdiv
// variant below does only its two levels.
void BM_DragStepRefinementOnly(benchmark::State& state) {
    DragSetup setup;
    if (!setup.ok) {
        state.SkipWithError("the embedded head could not be loaded");
        return;
    }
    setup.doc.SetModelDetail(vm::High); // loads both stages
    const vm::RefinementPlan stage1(setup.doc.stage1, setup.doc.editableMesh->VertexCount());
    const vm::RefinementPlan stage2(setup.doc.stage2, stage1.OutputCount());
    const vm::RefinementPlan* plans[] = {&stage1, &stage2};
    vm::MeshRefiner refiner;
    vm::Mesh refined;
    int64_t step = 0;
    for (auto _ : state) {
        setup.Move(step++);
        refiner.Refine(*setup.doc.editableMesh, plans, 2, refined);
        benchmark::DoNotOptimize(refined.vertices.data());
    }
    state.counters["vertices"] = refined.VertexCount();
}
BENCHMARK(BM_DragStepRefinementOnly)->Unit(benchmark::kMicrosecond);

#ifdef VISOMORF_HAVE_OPENSUBDIV
using namespace OpenSubdiv;

// Position and the three texture sets of one vertex.
struct OsdVertex {
    float f[9];
    void Clear(void* = nullptr) {
        for (float& x : f) {
            x = 0;
        }
    }
    void AddWithWeight(const OsdVertex& src, float weight) {
        for (int i = 0; i < 9; ++i) {
            f[i] += weight * src.f[i];
        }
    }
};

std::unique_ptr<Far::TopologyRefiner>
BuildRefiner(const vm::Mesh& mesh, std::vector<int>& faceSizes, std::vector<int>& faceIndices) {
    faceSizes.assign(mesh.FaceCount(), 3);
    faceIndices.assign(mesh.indices.begin(), mesh.indices.end());
    Far::TopologyDescriptor descriptor;
    descriptor.numVertices = static_cast<int>(mesh.VertexCount());
    descriptor.numFaces = static_cast<int>(mesh.FaceCount());
    descriptor.numVertsPerFace = faceSizes.data();
    descriptor.vertIndicesPerFace = faceIndices.data();
    Sdc::Options options;
    options.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_ONLY);
    using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
    std::unique_ptr<Far::TopologyRefiner> refiner(
        Factory::Create(descriptor, Factory::Options(Sdc::SCHEME_LOOP, options)));
    refiner->RefineUniform(Far::TopologyRefiner::UniformOptions(2));
    return refiner;
}

void BM_DragStepOpenSubdiv(benchmark::State& state) {
    DragSetup setup;
    if (!setup.ok) {
        state.SkipWithError("the embedded head could not be loaded");
        return;
    }
    setup.doc.SetModelDetail(vm::Low);
    const vm::Mesh& mesh = *setup.doc.editableMesh;
    std::vector<int> faceSizes, faceIndices;
    const std::unique_ptr<Far::TopologyRefiner> refiner =
        BuildRefiner(mesh, faceSizes, faceIndices);
    const Far::PrimvarRefiner primvars(*refiner);
    std::vector<OsdVertex> buffer(static_cast<size_t>(refiner->GetNumVerticesTotal()));
    int64_t step = 0;
    for (auto _ : state) {
        setup.Move(step++);
        for (size_t i = 0; i < mesh.vertices.size(); ++i) {
            const vm::HeadVertex& v = mesh.vertices[i];
            buffer[i] = {{v.position.x, v.position.y, v.position.z, v.frontUV.x, v.frontUV.y,
                          v.sideUV.x, v.sideUV.y, v.modelUV.x, v.modelUV.y}};
        }
        OsdVertex* source = buffer.data();
        for (int level = 1; level <= refiner->GetMaxLevel(); ++level) {
            OsdVertex* target = source + refiner->GetLevel(level - 1).GetNumVertices();
            primvars.Interpolate(level, source, target);
            source = target;
        }
        benchmark::DoNotOptimize(source);
    }
    state.counters["vertices"] = refiner->GetLevel(refiner->GetMaxLevel()).GetNumVertices();
}
BENCHMARK(BM_DragStepOpenSubdiv)->Unit(benchmark::kMicrosecond);
#endif

} // namespace

BENCHMARK_MAIN();
