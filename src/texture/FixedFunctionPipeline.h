#pragma once
// The head as the 3D view shows it, drawn without a graphics card: the classic fixed-function
// picture of one directional light, vertex colours as material and two texture stages. The
// OpenGL view's shaders reproduce exactly these rules, and its tests compare against this.
#include "platform/core/VMath.h"
#include "platform/mesh/Mesh.h"
#include "platform/raster/Rasterizer.h"

#include <cstdint>

namespace vm {

class Texture;

// Global ambient light, of which the material's white ambient colour reflects all.
constexpr float kAmbientLevel = 32.0f / 255.0f;

struct FixedFunctionScene {
    // Row-vector matrices; the projection gives depth 0 (near) .. 1 (far).
    Matrix world, view, projection;
    bool wireframe = false;
    bool lighting = false;
    const Texture* front = nullptr; // stage 0, sampled at frontUV
    const Texture* side = nullptr;  // stage 1, sampled at sideUV, over stage 0 by its alpha
};

struct ColourRGBA {
    float r = 0, g = 0, b = 0, a = 0; // 0..1
};

// The vertex colour after lighting. worldNormal: the vertex normal turned into world space (any
// length). Lit: ambient plus the diffuse colour times the cosine to the light, which shines
// along +z of the world (the viewing direction), clamped to 1. Unlit: the diffuse colour itself.
ColourRGBA LitVertexColour(const Vec3& worldNormal, uint32_t diffuseArgb, bool lighting);

// One pixel of the solid picture: side over front by the side texel's alpha, times the vertex
// colour; opaque ARGB.
uint32_t CombineTextureStages(uint32_t frontArgb, uint32_t sideArgb, const ColourRGBA& colour);

// Draws every face of the mesh over the whole target (which the caller has cleared): solid with
// textures, or black edges for wireframe. Depth test less-or-equal, no culling.
void DrawFixedFunction(RenderTarget& target, const Mesh& mesh, const FixedFunctionScene& scene);

} // namespace vm
