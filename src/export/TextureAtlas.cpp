#include "export/TextureAtlas.h"

#include "export/bake/AtlasBake.h"
#include "platform/core/Exceptions.h"
#include "platform/raster/PixelMemory.h"
#include "texture/TextureSampler.h"

#include <utility>

namespace vm {

float DilationFactor(int32_t modelDetail, bool dilate) {
    if (!dilate) {
        return 1.0f;
    }
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
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        positions[v] = mesh.vertices[v].modelUV;
    }
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

bool ValidAtlasSize(uint32_t width, uint32_t height) {
    return width > 0 && height > 0 && width <= 16384 && height <= 16384;
}

// Fresh memory of this size costs more to fault in page by page than the drawing itself.
QImage NewAtlasImage(uint32_t width, uint32_t height) {
    return NewPixelImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
}

} // namespace

QImage NewAtlasCanvas(uint32_t width, uint32_t height) {
    if (!ValidAtlasSize(width, height)) {
        return {};
    }
    QImage canvas = NewAtlasImage(width, height);
    canvas.fill(0xFFFFFFFFu); // puts every page in place
    return canvas;
}

QImage RenderTextureAtlas(const Mesh& mesh, const Texture* front, const Texture* side,
                          uint32_t width, uint32_t height, float dilationFactor, QImage canvas) {
    if (!ValidAtlasSize(width, height)) {
        throw CDXException(hr::kInvalidCall);
    }
    for (uint32_t index : mesh.indices) {
        if (index >= mesh.vertices.size()) {
            throw InvalidArgumentException();
        }
    }
    const bool fits = canvas.format() == QImage::Format_RGB32 &&
                      canvas.size() == QSize(static_cast<int>(width), static_cast<int>(height));
    QImage image = fits ? std::move(canvas) : NewAtlasImage(width, height);
    if (image.isNull()) {
        throw CDXException(hr::kOutOfMemory);
    }
    const TextureSampler frontSampler(front), sideSampler(side);
    bake::BakeAtlas(mesh, frontSampler, sideSampler, image, dilationFactor, bake::ChosenKernels());
    return image;
}

} // namespace vm
