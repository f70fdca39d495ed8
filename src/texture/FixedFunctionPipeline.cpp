#include "texture/FixedFunctionPipeline.h"

#include "platform/raster/SoftwareDevice.h"
#include "texture/TextureSampler.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vm {

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr int kColour = 0, kFrontUV = 3, kSideUV = 5, kVaryingCount = 7;

float Channel(uint32_t argb, int shift) {
    return static_cast<float>((argb >> shift) & 0xFF) / 255;
}

uint32_t ToByte(float value) {
    return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255));
}

// A missing texture reads as opaque white with no alpha, as an unset stage passes colour on.
uint32_t StageTexel(const TextureSampler& texture, float u, float v) {
    return texture.Bound() ? texture.SampleRounded(u, v) : 0x00FFFFFFu;
}

std::vector<RasterVertex> TransformVertices(const Mesh& mesh, const FixedFunctionScene& scene,
                                            int width, int height) {
    const Matrix worldViewProjection =
        MatrixMultiply(MatrixMultiply(scene.world, scene.view), scene.projection);
    std::vector<RasterVertex> out(mesh.vertices.size());
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const HeadVertex& v = mesh.vertices[i];
        const Matrix& m = worldViewProjection;
        const Vec3& p = v.position;
        float clip[4];
        for (int c = 0; c < 4; ++c) {
            clip[c] = p.x * m.m[0][c] + p.y * m.m[1][c] + p.z * m.m[2][c] + m.m[3][c];
        }
        RasterVertex& r = out[i];
        r.w = clip[3];
        r.x = (clip[0] / clip[3] + 1) * 0.5f * static_cast<float>(width);
        r.y = (1 - clip[1] / clip[3]) * 0.5f * static_cast<float>(height);
        r.z = clip[2] / clip[3];
        const ColourRGBA colour =
            LitVertexColour(Vec3TransformNormal(v.normal, scene.world), v.diffuse, scene.lighting);
        r.varyings[kColour] = colour.r;
        r.varyings[kColour + 1] = colour.g;
        r.varyings[kColour + 2] = colour.b;
        r.varyings[kFrontUV] = v.frontUV.x;
        r.varyings[kFrontUV + 1] = v.frontUV.y;
        r.varyings[kSideUV] = v.sideUV.x;
        r.varyings[kSideUV + 1] = v.sideUV.y;
    }
    return out;
}

} // namespace

ColourRGBA LitVertexColour(const Vec3& worldNormal, uint32_t diffuseArgb, bool lighting) {
    const ColourRGBA diffuse{Channel(diffuseArgb, 16), Channel(diffuseArgb, 8),
                             Channel(diffuseArgb, 0), Channel(diffuseArgb, 24)};
    if (!lighting) {
        return diffuse;
    }
    // The light travels along +z, so a surface facing -z (towards the viewer) is lit fully.
    const float cosine = std::max(0.0f, -Normalize(worldNormal).z);
    return {std::min(1.0f, kAmbientLevel + diffuse.r * cosine),
            std::min(1.0f, kAmbientLevel + diffuse.g * cosine),
            std::min(1.0f, kAmbientLevel + diffuse.b * cosine), diffuse.a};
}

uint32_t CombineTextureStages(uint32_t frontArgb, uint32_t sideArgb, const ColourRGBA& colour) {
    const float alpha = Channel(sideArgb, 24);
    auto stage = [&](int shift, float vertex) {
        const float blended =
            Channel(sideArgb, shift) * alpha + Channel(frontArgb, shift) * (1 - alpha);
        return ToByte(blended * vertex) << shift;
    };
    return kBlack | stage(16, colour.r) | stage(8, colour.g) | stage(0, colour.b);
}

void DrawFixedFunction(RenderTarget& target, const Mesh& mesh, const FixedFunctionScene& scene) {
    const std::vector<RasterVertex> vertices =
        TransformVertices(mesh, scene, target.Width(), target.Height());
    RasterState state;
    state.depthTest = DepthTest::LessEqual;
    state.cull = CullMode::None;
    state.varyingCount = kVaryingCount;
    const size_t faces = mesh.FaceCount();
    if (scene.wireframe) {
        for (size_t f = 0; f < faces; ++f) {
            for (int e = 0; e < 3; ++e) {
                DrawLine(target, state, vertices[mesh.indices[3 * f + e]],
                         vertices[mesh.indices[3 * f + (e + 1) % 3]], kBlack);
            }
        }
        return;
    }
    const TextureSampler front(scene.front), side(scene.side);
    auto shade = [&](const float* varying) {
        const ColourRGBA colour{varying[kColour], varying[kColour + 1], varying[kColour + 2], 1};
        return CombineTextureStages(StageTexel(front, varying[kFrontUV], varying[kFrontUV + 1]),
                                    StageTexel(side, varying[kSideUV], varying[kSideUV + 1]),
                                    colour);
    };
    for (size_t f = 0; f < faces; ++f) {
        DrawTriangle(target, state, vertices[mesh.indices[3 * f]],
                     vertices[mesh.indices[3 * f + 1]], vertices[mesh.indices[3 * f + 2]], shade);
    }
}

} // namespace vm
