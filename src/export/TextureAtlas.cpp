#include "export/TextureAtlas.h"

#include "platform/Exceptions.h"
#include "platform/Rasterizer.h"
#include "platform/SoftwareDevice.h"
#include "texture/PhotoTexture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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

// A photo texture seen as 32-bit ARGB texels (the texture's own memory when it already has that
// layout, else a converted copy), filtered linearly between the four nearest texel centres with
// 8-bit weights, as graphics hardware does; coordinates wrap around.
class PhotoSampler {
public:
    explicit PhotoSampler(const Texture* texture) {
        if (!texture)
            return;
        if (texture->Format() == TextureFormat::A8R8G8B8) {
            Bind(texture->Bits(), texture->Pitch(), texture->Width(), texture->Height());
        } else {
            m_copy = TextureToImage(*texture).convertToFormat(QImage::Format_ARGB32);
            Bind(m_copy.constBits(), static_cast<size_t>(m_copy.bytesPerLine()),
                 static_cast<uint32_t>(m_copy.width()), static_cast<uint32_t>(m_copy.height()));
        }
    }

    // ARGB at texture coordinates (u, v); 0 without a texture.
    uint32_t Sample(float u, float v) const {
        if (!m_bits || !std::isfinite(u) || !std::isfinite(v))
            return 0;
        const float x = u * m_width - 0.5f, y = v * m_height - 0.5f;
        const float x0 = std::floor(x), y0 = std::floor(y);
        const auto fx = static_cast<uint32_t>((x - x0) * 256.0f);
        const auto fy = static_cast<uint32_t>((y - y0) * 256.0f);
        const uint32_t ix0 = Wrap(x0, m_width), iy0 = Wrap(y0, m_height);
        const uint32_t ix1 = ix0 + 1 == m_width ? 0 : ix0 + 1;
        const uint32_t iy1 = iy0 + 1 == m_height ? 0 : iy0 + 1;
        const uint32_t top = Lerp(Texel(ix0, iy0), Texel(ix1, iy0), fx);
        const uint32_t bottom = Lerp(Texel(ix0, iy1), Texel(ix1, iy1), fx);
        return Lerp(top, bottom, fy);
    }

private:
    void Bind(const uint8_t* bits, size_t pitch, uint32_t width, uint32_t height) {
        m_bits = bits, m_pitch = pitch, m_width = width, m_height = height;
    }
    static uint32_t Wrap(float index, uint32_t size) {
        if (index >= 0 && index < static_cast<float>(size))
            return static_cast<uint32_t>(index);
        const double wrapped = std::fmod(static_cast<double>(index), static_cast<double>(size));
        return static_cast<uint32_t>(wrapped < 0 ? wrapped + size : wrapped) % size;
    }
    uint32_t Texel(uint32_t x, uint32_t y) const {
        uint32_t texel;
        std::memcpy(&texel, m_bits + y * m_pitch + x * 4, 4);
        return texel;
    }
    // a + (b - a) * f / 256 in each of the four bytes at once.
    static uint32_t Lerp(uint32_t a, uint32_t b, uint32_t f) {
        const uint32_t g = 256 - f;
        const uint32_t rb = (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
        const uint32_t ag =
            (((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u;
        return rb | ag;
    }

    QImage m_copy;
    const uint8_t* m_bits = nullptr;
    size_t m_pitch = 0;
    uint32_t m_width = 0, m_height = 0;
};

enum Varying { FrontU, FrontV, SideU, SideV, Red, Green, Blue, VaryingCount };

// The varyings of one triangle as planes over the target: value = at0 + x * perX + y * perY.
// The atlas projection is orthographic, so this affine form is exact.
struct VaryingPlanes {
    float at0[VaryingCount], perX[VaryingCount], perY[VaryingCount];
};

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

bool MakePlanes(const RasterVertex (&v)[3], VaryingPlanes& planes) {
    const double e1x = v[1].x - v[0].x, e1y = v[1].y - v[0].y;
    const double e2x = v[2].x - v[0].x, e2y = v[2].y - v[0].y;
    const double det = e1x * e2y - e2x * e1y;
    if (det == 0)
        return false;
    for (int k = 0; k < VaryingCount; ++k) {
        const double d1 = v[1].varyings[k] - v[0].varyings[k];
        const double d2 = v[2].varyings[k] - v[0].varyings[k];
        const double perX = (d1 * e2y - d2 * e1y) / det, perY = (e1x * d2 - e2x * d1) / det;
        planes.perX[k] = static_cast<float>(perX);
        planes.perY[k] = static_cast<float>(perY);
        planes.at0[k] = static_cast<float>(v[0].varyings[k] - perX * v[0].x - perY * v[0].y);
    }
    return true;
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
        out |= static_cast<uint32_t>(std::clamp(lit, 0.0f, 255.0f) + 0.5f) << shifts[k];
    }
    return out;
}

struct AtlasTarget {
    QImage image;               // RGB32, row 0 at the top (v = 1)
    std::vector<uint8_t> exact; // 1 where an exact triangle has drawn
};

// Draws every triangle at the given texture-space places. The exact pass marks what it covers;
// the enlarged pass, drawn after it, only fills what no exact triangle covers, which leaves the
// same picture as drawing the enlarged triangles first and the exact ones over them.
void DrawPass(AtlasTarget& target, const Mesh& mesh, const std::vector<Vec2>& places,
              const PhotoSampler& front, const PhotoSampler& side, bool exactPass) {
    RasterState state;
    state.depthTest = DepthTest::Off;
    state.depthWrite = false;
    state.cull = CullMode::None;
    const int width = target.image.width(), height = target.image.height();
    uint8_t* const bits = target.image.bits();
    const auto pitch = static_cast<size_t>(target.image.bytesPerLine());
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        RasterVertex corners[3];
        for (int c = 0; c < 3; ++c) {
            const uint32_t index = mesh.indices[f * 3 + c];
            corners[c] = AtlasVertex(mesh.vertices[index], places[index],
                                     static_cast<uint32_t>(width), static_cast<uint32_t>(height));
        }
        TriangleSetup setup;
        VaryingPlanes planes;
        if (!setup.Prepare(state, corners[0], corners[1], corners[2], width, height) ||
            !MakePlanes(corners, planes))
            continue;
        setup.ForEachPixel([&](int x, int y) {
            uint8_t& covered = target.exact[static_cast<size_t>(y) * width + x];
            if (!exactPass && covered)
                return;
            covered = exactPass ? 1 : covered;
            const float cx = x + 0.5f, cy = y + 0.5f;
            float v[VaryingCount];
            for (int k = 0; k < VaryingCount; ++k)
                v[k] = planes.at0[k] + cx * planes.perX[k] + cy * planes.perY[k];
            const uint32_t colour =
                BlendTexel(front.Sample(v[FrontU], v[FrontV]), side.Sample(v[SideU], v[SideV]), v);
            std::memcpy(bits + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * 4, &colour,
                        4);
        });
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
    AtlasTarget target{
        QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32),
        std::vector<uint8_t>(static_cast<size_t>(width) * height, 0)};
    if (target.image.isNull())
        throw CDXException(hr::kOutOfMemory);
    target.image.fill(0xFFFFFFFFu);
    const PhotoSampler frontSampler(front), sideSampler(side);
    std::vector<Vec2> exact(mesh.vertices.size());
    for (size_t v = 0; v < mesh.vertices.size(); ++v)
        exact[v] = mesh.vertices[v].modelUV;
    DrawPass(target, mesh, exact, frontSampler, sideSampler, true);
    if (dilationFactor != 1.0f)
        DrawPass(target, mesh, DilatedAtlasPositions(mesh, dilationFactor), frontSampler,
                 sideSampler, false);
    return target.image;
}

} // namespace vm
