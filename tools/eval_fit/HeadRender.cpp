#include "HeadRender.h"

#include "platform/raster/Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vm {

QImage RenderHead(const GlbMesh& mesh, const HeadView& view) {
    RenderTarget target(view.width, view.height);
    target.Clear(0xFF000000u | view.background, 1.0f);
    if (mesh.positions.empty()) {
        return target.ToImage();
    }

    // Turning by yaw moves the face direction +z towards +x, the picture's right.
    const float angle = view.yawDegrees * std::numbers::pi_v<float> / 180.0f;
    const float c = std::cos(angle), s = std::sin(angle);
    std::vector<Vec3> turned(mesh.positions.size());
    Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (size_t i = 0; i < turned.size(); ++i) {
        const Vec3& p = mesh.positions[i];
        turned[i] = {c * p.x + s * p.z, p.y, -s * p.x + c * p.z};
        lo = {std::min(lo.x, turned[i].x), std::min(lo.y, turned[i].y),
              std::min(lo.z, turned[i].z)};
        hi = {std::max(hi.x, turned[i].x), std::max(hi.y, turned[i].y),
              std::max(hi.z, turned[i].z)};
    }
    const float extentY = std::max(hi.y - lo.y, 1e-6f);
    const float scale = std::min(view.fill * view.height / extentY,
                                 view.fill * view.width / std::max(hi.x - lo.x, 1e-6f));
    const float depthRange = std::max(hi.z - lo.z, 1e-6f);

    const TextureView texture{
        mesh.texture.constBits(), static_cast<size_t>(mesh.texture.bytesPerLine()),
        static_cast<uint32_t>(mesh.texture.width()), static_cast<uint32_t>(mesh.texture.height())};
    RasterState state;
    state.varyingCount = 2;
    for (size_t f = 0; f + 2 < mesh.indices.size(); f += 3) {
        RasterVertex corners[3];
        for (int k = 0; k < 3; ++k) {
            const uint32_t index = mesh.indices[f + size_t(k)];
            const Vec3& p = turned[index];
            RasterVertex& v = corners[k];
            v.x = view.width / 2.0f + (p.x - (lo.x + hi.x) / 2) * scale;
            v.y = view.height / 2.0f - (p.y - (lo.y + hi.y) / 2) * scale;
            v.z = (hi.z - p.z) / depthRange; // the viewer looks from +z: nearer is smaller
            v.varyings[0] = mesh.uvs[index].x;
            v.varyings[1] = mesh.uvs[index].y;
        }
        if (texture.bits == nullptr) {
            DrawTriangle(target, state, corners[0], corners[1], corners[2],
                         [](const float*) { return 0xFFC0C0C0u; });
            continue;
        }
        DrawTriangle(target, state, corners[0], corners[1], corners[2], [&](const float* uv) {
            return 0xFF000000u | SampleBilinear(texture, uv[0], uv[1], TextureAddress::Clamp);
        });
    }
    return target.ToImage();
}

} // namespace vm
