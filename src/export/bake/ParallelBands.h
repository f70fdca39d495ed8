#pragma once
// Work split into bands spread over the processor's cores. Kept apart from Qt's headers, whose
// keyword macros the parallel library's headers do not survive.
#include <functional>

namespace vm::bake {

// How many threads the bands may run on at once, at least 1.
int BandWorkers();

// Runs bake(band) for every band in [0, bandCount), in parallel; the first failure of any band
// reaches the caller once every band has stopped.
void ForEachBand(int bandCount, const std::function<void(int)>& bake);

} // namespace vm::bake
