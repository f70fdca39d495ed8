#include "autofit/BlendPlacement.h"

#include "document/CVisomorfDoc.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace vm {

namespace {

// The blend's ramp across, in head heights: a ramp as wide as the default zone's on a head a few
// hundred pixels high would fade the side photo in across the whole cheek.
constexpr float kRampOfHeadHeight = 0.08f;

// One triangle of the face as the side photo shows it.
struct FaceSample {
    float x, y;      // centroid, side-photo pixels, in the frame where the face looks right
    bool frontShows; // the front photo shows it well
};

float Cross(const Vec2& p, const Vec2& q, const Vec2& r) {
    return (q.x - p.x) * (r.y - p.y) - (r.x - p.x) * (q.y - p.y);
}

// The triangles that face the front camera, with how far each turns towards the side: the
// ratio of its side to its front projected area is the tangent of that turn.
std::vector<FaceSample> FaceSamples(const CVisomorfDoc& doc, float turn,
                                    const std::function<bool(const Vec2&)>& frontShowsHead) {
    const Mesh& mesh = *doc.editableMesh;
    const float width = static_cast<float>(doc.photos[Side].width());
    const float height = static_cast<float>(doc.photos[Side].height());
    const QSize frontSize = doc.GetPhotoSize(Front);
    std::vector<float> frontAreas;
    std::vector<FaceSample> samples;
    // Which turn of the front projection faces the camera: the one of most of the area.
    double signedTotal = 0;
    for (size_t f = 0; f + 2 < mesh.indices.size(); f += 3) {
        const Vec3& a = mesh.vertices[mesh.indices[f]].position;
        const Vec3& b = mesh.vertices[mesh.indices[f + 1]].position;
        const Vec3& c = mesh.vertices[mesh.indices[f + 2]].position;
        frontAreas.push_back(Cross({a.x, a.y}, {b.x, b.y}, {c.x, c.y}));
        signedTotal += frontAreas.back();
    }
    const float facing = signedTotal >= 0 ? 1.0f : -1.0f;
    for (size_t f = 0, t = 0; f + 2 < mesh.indices.size(); f += 3, ++t) {
        const float front = facing * frontAreas[t];
        if (front <= 0) {
            continue;
        }
        const HeadVertex* v[3] = {&mesh.vertices[mesh.indices[f]],
                                  &mesh.vertices[mesh.indices[f + 1]],
                                  &mesh.vertices[mesh.indices[f + 2]]};
        const float side = std::abs(Cross({v[0]->position.z, v[0]->position.y},
                                          {v[1]->position.z, v[1]->position.y},
                                          {v[2]->position.z, v[2]->position.y}));
        FaceSample s;
        s.x = (v[0]->sideUV.x + v[1]->sideUV.x + v[2]->sideUV.x) / 3 * width;
        s.y = (v[0]->sideUV.y + v[1]->sideUV.y + v[2]->sideUV.y) / 3 * height;
        if (doc.leftSide) {
            s.x = width - s.x;
        }
        const Vec2 onFront{(v[0]->frontUV.x + v[1]->frontUV.x + v[2]->frontUV.x) / 3 *
                               static_cast<float>(frontSize.width()),
                           (v[0]->frontUV.y + v[1]->frontUV.y + v[2]->frontUV.y) / 3 *
                               static_cast<float>(frontSize.height())};
        s.frontShows =
            std::atan2(side, front) < turn && (!frontShowsHead || frontShowsHead(onFront));
        samples.push_back(s);
    }
    return samples;
}

// The x that best parts the samples the front photo shows (to its right) from the others.
// Nothing when the row holds no face.
std::optional<float> PartingX(std::vector<FaceSample> row) {
    if (row.size() < 3) {
        return std::nullopt;
    }
    std::sort(row.begin(), row.end(),
              [](const FaceSample& a, const FaceSample& b) { return a.x < b.x; });
    // Misplaced samples with the line just left of sample i: the front's samples left of it
    // and the side's samples right of it.
    int sideRight = 0;
    for (const FaceSample& s : row) {
        sideRight += !s.frontShows;
    }
    int frontLeft = 0, best = sideRight, bestIndex = 0;
    for (size_t i = 0; i < row.size(); ++i) {
        frontLeft += row[i].frontShows;
        sideRight -= !row[i].frontShows;
        if (frontLeft + sideRight < best) {
            best = frontLeft + sideRight;
            bestIndex = static_cast<int>(i) + 1;
        }
    }
    if (bestIndex == 0) {
        return row.front().x;
    }
    if (bestIndex == static_cast<int>(row.size())) {
        return row.back().x;
    }
    return 0.5f * (row[size_t(bestIndex) - 1].x + row[size_t(bestIndex)].x);
}

} // namespace

void PlaceBlendZone(CVisomorfDoc& doc, float turn,
                    const std::function<bool(const Vec2&)>& frontShowsHead) {
    if (doc.photos[Side].isNull() || !doc.editableMesh || doc.blendZone.size() < 2) {
        return;
    }
    const std::vector<FaceSample> samples = FaceSamples(doc, turn, frontShowsHead);
    const Box box = doc.box[Side];
    const size_t n = doc.blendZone.size();
    const float step = box.Height() / static_cast<float>(n - 1);
    std::vector<std::optional<float>> xs(n);
    for (size_t k = 0; k < n; ++k) {
        const float y = box.top + step * static_cast<float>(k);
        std::vector<FaceSample> row;
        for (const FaceSample& s : samples) {
            if (std::abs(s.y - y) <= 0.75f * step) {
                row.push_back(s);
            }
        }
        xs[k] = PartingX(row);
    }
    // Rows without face take the nearest row's place.
    std::optional<float> last;
    for (size_t k = 0; k < n; ++k) {
        if (xs[k]) {
            last = xs[k];
        }
    }
    if (!last) {
        return;
    }
    for (size_t k = n; k-- > 0;) {
        if (xs[k]) {
            last = xs[k];
        } else {
            xs[k] = last;
        }
    }
    for (size_t k = 0; k < n; ++k) {
        if (xs[k]) {
            last = xs[k];
        } else {
            xs[k] = last;
        }
    }
    // The zone is kept as for a right-facing photo; the texture mirrors it for a left side.
    doc.blendZoneWidth = kRampOfHeadHeight * box.Height();
    const float onFrontSide = 0.5f * doc.blendZoneWidth;
    for (size_t k = 0; k < n; ++k) {
        doc.blendZone[k] = {*xs[k] + onFrontSide, box.top + step * static_cast<float>(k)};
    }
    doc.UpdateBlendZone();
}

} // namespace vm
