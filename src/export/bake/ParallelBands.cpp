#include "export/bake/ParallelBands.h"

#include <algorithm>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

namespace vm::bake {

int BandWorkers() {
    return std::max(1, tbb::this_task_arena::max_concurrency());
}

void ForEachBand(int bandCount, const std::function<void(int)>& bake) {
    tbb::parallel_for(0, bandCount, [&](int band) { bake(band); });
}

} // namespace vm::bake
