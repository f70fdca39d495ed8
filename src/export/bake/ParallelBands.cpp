#include "export/bake/ParallelBands.h"

#include <algorithm>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>

namespace vm::bake {

int BandWorkers() {
    return std::max(1, tbb::this_task_arena::max_concurrency());
}

void ForEachBand(int bandCount, const std::function<void(int)>& bake) {
    // One band a task: the bands are already sized to keep every core busy, and the head's
    // rows differ too much in work for larger chunks to even out.
    tbb::parallel_for(
        tbb::blocked_range<int>(0, bandCount, 1),
        [&](const tbb::blocked_range<int>& bands) {
            for (int band = bands.begin(); band != bands.end(); ++band) {
                bake(band);
            }
        },
        tbb::simple_partitioner());
}

} // namespace vm::bake
