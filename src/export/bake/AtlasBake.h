#pragma once
// The atlas drawn band by band over the processor's cores, the shading left to one set of
// kernels.
#include "export/bake/ShadeKernels.h"
#include "platform/mesh/Mesh.h"
#include "texture/TextureSampler.h"

#include <QImage>

namespace vm::bake {

// Draws every triangle of the mesh into image (32-bit, its indices already checked) at its
// texture-layout place, enlarged by dilationFactor first when that is not 1, and turns every
// pixel no triangle covers white. The first failure of any band reaches the caller.
void BakeAtlas(const Mesh& mesh, const TextureSampler& front, const TextureSampler& side,
               QImage& image, float dilationFactor, const ShadeKernels& kernels);

} // namespace vm::bake
