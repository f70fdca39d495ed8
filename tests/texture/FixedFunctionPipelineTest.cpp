// The fixed-function rules of the 3D picture: lighting, the two texture stages, and a drawn
// frame of a known quad.
#include "texture/FixedFunctionPipeline.h"

#include "platform/raster/SoftwareDevice.h"

#include <cmath>
#include <gtest/gtest.h>

namespace vm {
namespace {

TEST(FixedFunctionPipeline, LightingAddsAmbientToTheDiffuseCosine) {
    // Facing the viewer (-z): fully lit, clamped at 1.
    const ColourRGBA full = LitVertexColour({0, 0, -3}, 0xFF804020, true);
    EXPECT_NEAR(full.r, kAmbientLevel + 128 / 255.0f, 1e-6f);
    EXPECT_NEAR(full.g, kAmbientLevel + 64 / 255.0f, 1e-6f);
    EXPECT_NEAR(full.b, kAmbientLevel + 32 / 255.0f, 1e-6f);
    EXPECT_EQ(LitVertexColour({0, 0, -1}, 0xFFFFFFFF, true).r, 1.0f);
    // At 60 degrees half the diffuse colour; facing away only the ambient light.
    const ColourRGBA slanted = LitVertexColour({std::sqrt(3.0f), 0, -1}, 0xFFFFFFFF, true);
    EXPECT_NEAR(slanted.g, kAmbientLevel + 0.5f, 1e-5f);
    EXPECT_NEAR(LitVertexColour({0, 0, 1}, 0xFFFFFFFF, true).b, kAmbientLevel, 1e-6f);
    EXPECT_NEAR(LitVertexColour({0, 0, 0}, 0xFFFFFFFF, true).b, kAmbientLevel, 1e-6f);
    // Unlit: the vertex colour itself, alpha included.
    const ColourRGBA unlit = LitVertexColour({0, 0, 1}, 0x00FC7F00, false);
    EXPECT_NEAR(unlit.r, 252 / 255.0f, 1e-6f);
    EXPECT_NEAR(unlit.g, 127 / 255.0f, 1e-6f);
    EXPECT_EQ(unlit.a, 0);
}

TEST(FixedFunctionPipeline, SideBlendsOverFrontByItsAlphaThenTimesTheVertexColour) {
    const ColourRGBA white{1, 1, 1, 1};
    EXPECT_EQ(CombineTextureStages(0x00102030, 0x00FFFFFF, white), 0xFF102030u); // alpha 0
    EXPECT_EQ(CombineTextureStages(0x00102030, 0xFF405060, white), 0xFF405060u); // alpha 1
    // Half alpha (128): (0 * 127 + 255 * 128) / 255 = 128.
    EXPECT_EQ(CombineTextureStages(0x00000000, 0x80FFFFFF, white) & 0xFF, 128u);
    const ColourRGBA half{0.5f, 1, 0, 1};
    EXPECT_EQ(CombineTextureStages(0x00C8C8C8, 0x00000000, half), 0xFF64C800u);
}

TEST(FixedFunctionPipeline, DrawsAQuadLitTexturedAndAsWireframe) {
    SoftwareDevice device;
    auto front = device.CreateTexture(2, 2), side = device.CreateTexture(2, 2);
    {
        TextureLock lock(*front);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 2; ++x) {
                reinterpret_cast<uint32_t*>(lock.Row(y))[x] = 0x00C04020; // one colour
            }
        }
    }
    Mesh mesh;
    for (const Vec2 p : {Vec2{-1, -1}, Vec2{-1, 1}, Vec2{1, 1}, Vec2{1, -1}}) {
        HeadVertex v{};
        v.position = {p.x, p.y, 0};
        v.normal = {0, 0, -1};
        v.diffuse = 0xFFFFFFFF;
        v.frontUV = {(p.x + 1) / 2, (1 - p.y) / 2};
        mesh.vertices.push_back(v);
    }
    mesh.indices = {0, 1, 2, 0, 2, 3};
    FixedFunctionScene scene;
    scene.projection = MatrixOrthoOffCenterLH(-2, 2, -2, 2, -10, 10);
    scene.front = front.get();
    scene.side = side.get(); // all zero: alpha 0 lets the front through
    scene.lighting = true;
    RenderTarget target(40, 40);
    target.Clear(0xFFFFFFFF);
    DrawFixedFunction(target, mesh, scene);
    EXPECT_EQ(target.Pixel(20, 20), 0xFFC04020u); // lit fully, clamped
    EXPECT_EQ(target.Pixel(5, 5), 0xFFFFFFFFu);   // outside the quad
    // Turned away from the light: ambient only.
    scene.world = MatrixRotationQuaternion(QuaternionRotationAxis({0, 1, 0}, 3.14159265f));
    target.Clear(0xFFFFFFFF);
    DrawFixedFunction(target, mesh, scene);
    const uint32_t red = (target.Pixel(20, 20) >> 16) & 0xFF;
    EXPECT_EQ(red, static_cast<uint32_t>(std::lround(0xC0 * kAmbientLevel)));

    scene.wireframe = true;
    target.Clear(0xFFFFFFFF);
    DrawFixedFunction(target, mesh, scene);
    EXPECT_EQ(target.Pixel(20, 20), 0xFF000000u); // on the diagonal
    EXPECT_EQ(target.Pixel(25, 15), 0xFFFFFFFFu); // inside a face, no fill
    EXPECT_EQ(target.Pixel(10, 20), 0xFF000000u); // on the left edge x = -1
}

} // namespace
} // namespace vm
