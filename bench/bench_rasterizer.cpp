// Rasteriser throughput: a texture-bake-sized target filled by a grid of small triangles with
// two bilinear texture reads per pixel, as the export's atlas bake does.
#include "platform/raster/Rasterizer.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

using namespace vm;

void BM_BakeGrid(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const int cells = 64; // 2 x 64 x 64 triangles, about the High model's face count
    std::vector<uint32_t> texels(512 * 512);
    for (size_t i = 0; i < texels.size(); ++i) {
        texels[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    }
    const TextureView texture{reinterpret_cast<const uint8_t*>(texels.data()), 512 * 4, 512, 512};
    RenderTarget target(size, size);
    const RasterState raster{DepthTest::Off, false, CullMode::None, 4};
    auto corner = [&](int i, int j) {
        RasterVertex v;
        v.x = static_cast<float>(i) * size / cells;
        v.y = static_cast<float>(j) * size / cells;
        v.varyings[0] = v.varyings[2] = static_cast<float>(i) / cells;
        v.varyings[1] = v.varyings[3] = static_cast<float>(j) / cells;
        return v;
    };
    auto shade = [&](const float* uv) {
        const uint32_t a = SampleBilinear(texture, uv[0], uv[1]);
        const uint32_t b = SampleBilinear(texture, uv[2], uv[3]);
        return (a & 0xFF00FF00u) | (b & 0x00FF00FFu);
    };
    for (auto _ : state) {
        target.Clear(0xFFFFFFFF);
        for (int j = 0; j < cells; ++j) {
            for (int i = 0; i < cells; ++i) {
                DrawTriangle(target, raster, corner(i, j), corner(i + 1, j), corner(i, j + 1),
                             shade);
                DrawTriangle(target, raster, corner(i + 1, j), corner(i + 1, j + 1),
                             corner(i, j + 1), shade);
            }
        }
        benchmark::DoNotOptimize(target.Pixel(0, 0));
    }
    state.SetItemsProcessed(state.iterations() * size * size);
}
BENCHMARK(BM_BakeGrid)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
