// Blend-zone repaint on a camera-sized side photo: runs on every mouse move of a zone drag,
// target under 30 ms. Also the one-off conversion of such a photo into a texture.
#include "platform/raster/SoftwareDevice.h"
#include "texture/BlendZone.h"
#include "texture/PhotoTexture.h"

#include <QImage>
#include <benchmark/benchmark.h>

namespace {

constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;

vm::SoftwareDevice DeviceIn(vm::TextureFormat format) {
    vm::DeviceCaps caps;
    caps.textureFormat = format;
    return vm::SoftwareDevice(caps);
}

// The default zone after loading a 4000 x 3000 photo: scaled from 600 x 800, slightly bent.
std::vector<vm::Vec2> CameraZone() {
    return {{2333, 0}, {2300, 750}, {2400, 1500}, {2350, 2250}, {2333, 3000}};
}

void BM_UpdateBlendZone(benchmark::State& state) {
    const auto format = static_cast<vm::TextureFormat>(state.range(0));
    vm::SoftwareDevice device = DeviceIn(format);
    const auto side = device.CreateTexture(kPhotoWidth, kPhotoHeight);
    const std::vector<vm::Vec2> zone = CameraZone();
    const QSizeF photoSize(kPhotoWidth, kPhotoHeight);
    float width = 666;
    for (auto _ : state) {
        vm::UpdateBlendZone(*side, zone, width, state.range(1) != 0, photoSize);
        width = width == 666 ? 667 : 666; // as during a drag: a slightly different zone each time
        benchmark::ClobberMemory();
    }
    state.SetLabel(vm::TextureFormatName(format));
    state.SetItemsProcessed(state.iterations() * kPhotoWidth * kPhotoHeight);
}
BENCHMARK(BM_UpdateBlendZone)
    ->Args({int(vm::TextureFormat::A8R8G8B8), 0})
    ->Args({int(vm::TextureFormat::A8R8G8B8), 1})
    ->Args({int(vm::TextureFormat::A4R4G4B4), 0})
    ->Args({int(vm::TextureFormat::A2B10G10R10), 0})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

void BM_CreatePhotoTexture(benchmark::State& state) {
    vm::SoftwareDevice device = DeviceIn(vm::TextureFormat::A8R8G8B8);
    QImage photo(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
    photo.fill(qRgb(120, 90, 60));
    if (state.range(0) != 0) {
        photo = photo.convertToFormat(QImage::Format_RGB888);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(vm::CreatePhotoTexture(device, photo));
    }
    state.SetLabel(state.range(0) != 0 ? "RGB888 photo" : "RGB32 photo");
}
BENCHMARK(BM_CreatePhotoTexture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
