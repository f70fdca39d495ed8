#include "export/TextureAtlas.h"

#include "platform/Exceptions.h"
#include "platform/Rasterizer.h"
#include "platform/SoftwareDevice.h"
#include "texture/PhotoTexture.h"

#include <cmath>
#include <optional>

namespace vm {

float DilationFactor(int32_t modelDetail, bool dilate) {
    if (!dilate)
        return 1.0f;
    switch (modelDetail) {
    case 0:
        return 1.2f;
    case 1:
        return 1.4f;
    case 2:
        return 1.8f;
    default:
        return 1.0f;
    }
}

std::vector<Vec2> DilatedAtlasPositions(const Mesh& mesh, float factor) {
    std::vector<Vec2> positions(mesh.vertices.size());
    for (size_t v = 0; v < mesh.vertices.size(); ++v)
        positions[v] = mesh.vertices[v].modelUV;
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        const uint32_t a = mesh.indices[f * 3], b = mesh.indices[f * 3 + 1],
                       c = mesh.indices[f * 3 + 2];
        const Vec2 &ua = mesh.vertices[a].modelUV, &ub = mesh.vertices[b].modelUV,
                   &uc = mesh.vertices[c].modelUV;
        const Vec2 centroid{((ub.x + ua.x) + uc.x) * 0.33333334f,
                            ((ub.y + ua.y) + uc.y) * 0.33333334f};
        for (uint32_t corner : {a, b, c}) {
            const Vec2& uv = mesh.vertices[corner].modelUV;
            positions[corner] = {centroid.x + factor * (uv.x - centroid.x),
                                 centroid.y + factor * (uv.y - centroid.y)};
        }
    }
    return positions;
}

namespace {

// A photo texture seen as 32-bit ARGB texels: the texture's own memory when it already has
// that layout, else a converted copy.
class PhotoSampler {
public:
    explicit PhotoSampler(const Texture* texture) {
        if (!texture)
            return;
        if (texture->Format() == TextureFormat::A8R8G8B8) {
            m_view = {texture->Bits(), texture->Pitch(), texture->Width(), texture->Height()};
        } else {
            m_copy = TextureToImage(*texture).convertToFormat(QImage::Format_ARGB32);
            m_view = {m_copy.constBits(), static_cast<size_t>(m_copy.bytesPerLine()),
                      static_cast<uint32_t>(m_copy.width()),
                      static_cast<uint32_t>(m_copy.height())};
        }
    }
    uint32_t Sample(float u, float v) const {
        return m_view.bits ? SampleBilinear(m_view, u, v, TextureAddress::Wrap) : 0u;
    }

private:
    QImage m_copy;
    TextureView m_view;
};

enum Varying { FrontU, FrontV, SideU, SideV, Red, Green, Blue, VaryingCount };

RasterVertex AtlasVertex(const HeadVertex& vertex, const Vec2& place, uint32_t width,
                         uint32_t height) {
    RasterVertex out;
    // v = 0 is the bottom row, as OBJ texture coordinates expect.
    out.x = place.x * static_cast<float>(width);
    out.y = (1.0f - place.y) * static_cast<float>(height);
    out.z = 0.5f;
    out.varyings[FrontU] = vertex.frontUV.x;
    out.varyings[FrontV] = vertex.frontUV.y;
    out.varyings[SideU] = vertex.sideUV.x;
    out.varyings[SideV] = vertex.sideUV.y;
    out.varyings[Red] = static_cast<float>((vertex.diffuse >> 16) & 0xFF);
    out.varyings[Green] = static_cast<float>((vertex.diffuse >> 8) & 0xFF);
    out.varyings[Blue] = static_cast<float>(vertex.diffuse & 0xFF);
    return out;
}

uint32_t Channel(uint32_t argb, int shift) {
    return (argb >> shift) & 0xFF;
}

// Side colour weighed by the side alpha against the front colour, times the vertex colour.
uint32_t BlendTexel(uint32_t front, uint32_t side, const float* varyings) {
    const float a = static_cast<float>(Channel(side, 24)) / 255.0f;
    uint32_t out = 0xFF000000u;
    const int shifts[3] = {16, 8, 0};
    for (int k = 0; k < 3; ++k) {
        const float mixed = static_cast<float>(Channel(side, shifts[k])) * a +
                            static_cast<float>(Channel(front, shifts[k])) * (1.0f - a);
        const float lit = mixed * std::clamp(varyings[Red + k], 0.0f, 255.0f) / 255.0f;
        out |= static_cast<uint32_t>(std::lround(std::clamp(lit, 0.0f, 255.0f))) << shifts[k];
    }
    return out;
}

void DrawPass(RenderTarget& target, const Mesh& mesh, const std::vector<Vec2>& places,
              const PhotoSampler& front, const PhotoSampler& side) {
    RasterState state;
    state.depthTest = DepthTest::Off;
    state.depthWrite = false;
    state.cull = CullMode::None;
    state.varyingCount = VaryingCount;
    const auto width = static_cast<uint32_t>(target.Width());
    const auto height = static_cast<uint32_t>(target.Height());
    auto shade = [&](const float* v) {
        return BlendTexel(front.Sample(v[FrontU], v[FrontV]), side.Sample(v[SideU], v[SideV]), v);
    };
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        RasterVertex corners[3];
        for (int c = 0; c < 3; ++c) {
            const uint32_t index = mesh.indices[f * 3 + c];
            corners[c] = AtlasVertex(mesh.vertices[index], places[index], width, height);
        }
        DrawTriangle(target, state, corners[0], corners[1], corners[2], shade);
    }
}

} // namespace

QImage RenderTextureAtlas(const Mesh& mesh, const Texture* front, const Texture* side,
                          uint32_t width, uint32_t height, float dilationFactor) {
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        throw CDXException(hr::kInvalidCall);
    for (uint32_t index : mesh.indices)
        if (index >= mesh.vertices.size())
            throw InvalidArgumentException();
    RenderTarget target(static_cast<int>(width), static_cast<int>(height));
    target.Clear(0xFFFFFFFFu);
    const PhotoSampler frontSampler(front), sideSampler(side);
    std::vector<Vec2> exact(mesh.vertices.size());
    for (size_t v = 0; v < mesh.vertices.size(); ++v)
        exact[v] = mesh.vertices[v].modelUV;
    if (dilationFactor != 1.0f)
        DrawPass(target, mesh, DilatedAtlasPositions(mesh, dilationFactor), frontSampler,
                 sideSampler);
    DrawPass(target, mesh, exact, frontSampler, sideSampler);
    return target.ToImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace vm
