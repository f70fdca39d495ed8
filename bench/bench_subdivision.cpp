// One table-driven refinement step of the embedded head, as every drag step at Medium and High
// detail runs it: stage 1 on the 479-vertex head, stage 2 on stage 1's 1,861 vertices.
#include "document/HeadResources.h"
#include "document/Subdivision.h"
#include "platform/core/Exceptions.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

using namespace vm;

struct Head {
    Mesh low, medium;
    SubdivisionStage stage1, stage2;
};

const Head* LoadHead() {
    static std::unique_ptr<Head> head = [] {
        auto h = std::make_unique<Head>();
        h->low = LoadBaseMesh().mesh;
        LoadSubdivisionStage(kStage1Resource, h->stage1, h->low.VertexCount());
        h->medium = ApplySubdivisionStage(h->stage1, h->low);
        LoadSubdivisionStage(kStage2Resource, h->stage2, h->medium.VertexCount());
        return h;
    }();
    return head.get();
}

void Refine(benchmark::State& state, bool second) {
    const Head* head = nullptr;
    try {
        head = LoadHead();
    } catch (const VisomorfException& e) {
        state.SkipWithError(qPrintable(e.Message()));
        return;
    }
    for (auto _ : state) {
        Mesh out = second ? ApplySubdivisionStage(head->stage2, head->medium)
                          : ApplySubdivisionStage(head->stage1, head->low);
        benchmark::DoNotOptimize(out.vertices.data());
    }
}

void BM_Stage1(benchmark::State& state) {
    Refine(state, false);
}
void BM_Stage2(benchmark::State& state) {
    Refine(state, true);
}
BENCHMARK(BM_Stage1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stage2)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
