#pragma once
// Profile pictures of the generic head drawn with the software rasteriser, on a plain
// background, with the exact photo-pixel place of every side feature point's bound vertex:
// the ground truth for the side fit.
#include "document/CVisomorfDoc.h"
#include "platform/raster/Rasterizer.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <vector>

namespace vm::test {

struct SyntheticProfile {
    QImage picture;
    std::vector<Vec2> truth; // photo pixels of each side point's bound vertex
};

// The head seen from its left, face looking right: picture x = centreX - depth * z * scale,
// y = centreY - y * scale (model units to pixels). depth stretches the head front to back.
inline SyntheticProfile RenderProfile(const CVisomorfDoc& doc, int width, int height, float scale,
                                      float depth, float centreX, float centreY) {
    const Mesh& mesh = *doc.editableMesh;
    auto place = [&](const Vec3& p) {
        return Vec2{centreX - depth * p.z * scale, centreY - p.y * scale};
    };
    std::vector<RasterVertex> projected;
    for (const HeadVertex& v : mesh.vertices) {
        const Vec2 at = place(v.position);
        RasterVertex r;
        r.x = at.x;
        r.y = at.y;
        r.z = (v.position.x + 1000.0f) / 2000.0f; // nearest to a viewer on the head's left
        const Vec3 n = Normalize(Vec3{v.normal.x, v.normal.y, v.normal.z / depth});
        r.varyings[0] = -n.x;
        r.varyings[1] = n.y;
        r.varyings[2] = -n.z;
        projected.push_back(r);
    }
    RenderTarget target(width, height);
    target.Clear(0xFF3A6E9Au); // a plain blue-grey studio background
    const RasterState state{DepthTest::LessEqual, true, CullMode::None, 3};
    auto shade = [](const float* n) {
        const Vec3 normal = Normalize({n[0], n[1], n[2]});
        const Vec3 key = Normalize({0.3f, 0.5f, 0.8f});
        const float light = 0.35f + 0.6f * std::max(0.0f, Dot(normal, key));
        const auto r = static_cast<uint32_t>(std::lround(235 * std::min(1.0f, light)));
        const auto g = static_cast<uint32_t>(std::lround(190 * std::min(1.0f, light)));
        const auto b = static_cast<uint32_t>(std::lround(160 * std::min(1.0f, light)));
        return 0xFF000000u | r << 16 | g << 8 | b;
    };
    for (size_t f = 0; f < mesh.FaceCount(); ++f) {
        DrawTriangle(target, state, projected[mesh.indices[3 * f]],
                     projected[mesh.indices[3 * f + 1]], projected[mesh.indices[3 * f + 2]], shade);
    }
    SyntheticProfile result{target.ToImage().convertToFormat(QImage::Format_RGB32), {}};
    for (const FeaturePoint& point : doc.points[Side]) {
        result.truth.push_back(place(mesh.vertices.at(point.vertexIndex).position));
    }
    return result;
}

} // namespace vm::test
