// Feature points and model fitting: vertex weights, drag weights, point and box moves.
#include "document/CVisomorfDoc.h"
#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vm {

namespace {

// A vertex's place in a photo's plane: (x, y) for the front photo, (y, z) for the side.
Vec2 PlaneCoords(int photo, const Vec3& p) {
    return photo == Front ? Vec2{p.x, p.y} : Vec2{p.y, p.z};
}

float Distance(const Vec2& a, const Vec2& b) {
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

int32_t OtherEnd(const std::pair<int32_t, int32_t>& segment, int32_t from) {
    return segment.first == from ? segment.second : segment.first;
}

const std::pair<int32_t, int32_t>& SegmentAt(const std::vector<Feature>& features, int32_t feature,
                                             int32_t segment) {
    if (feature < 0 || static_cast<size_t>(feature) >= features.size()) {
        throw InvalidArgumentException();
    }
    const auto& segments = features[feature].segments;
    if (segment < 0 || static_cast<size_t>(segment) >= segments.size()) {
        throw InvalidArgumentException();
    }
    return segments[segment];
}

} // namespace

void CVisomorfDoc::ComputeVertexWeights(const HeadVertex* vertices, uint32_t count) {
    for (int p = 0; p < kPhotoCount; ++p) {
        std::vector<FeaturePoint>& list = points[p];
        std::vector<Vec2> bound(list.size());
        for (size_t k = 0; k < list.size(); ++k) {
            if (list[k].vertexIndex >= count) {
                throw InvalidArgumentException();
            }
            bound[k] = PlaneCoords(p, vertices[list[k].vertexIndex].position);
            list[k].weights.clear();
        }
        std::vector<float> inverse(list.size());
        for (uint32_t j = 0; j < count; ++j) {
            const Vec2 place = PlaneCoords(p, vertices[j].position);
            bool exact = false;
            double sum = 0;
            for (size_t k = 0; k < list.size(); ++k) {
                const float d = Distance(place, bound[k]);
                if (d == 0) {
                    exact = true;
                    list[k].weights.Set(j, 1.0f);
                }
                const float d2 = d * d;
                inverse[k] = d == 0 ? 0 : 1.0f / (d2 * d2);
                sum += inverse[k];
            }
            if (exact || sum == 0) {
                continue;
            }
            for (size_t k = 0; k < list.size(); ++k) {
                const auto w = static_cast<float>(inverse[k] / sum);
                if (w > 0) {
                    list[k].weights.Set(j, w);
                }
            }
        }
    }
}

void CVisomorfDoc::ComputeTextureCoords(HeadVertex* vertices, uint32_t count) {
    const QSize front = GetPhotoSize(Front);
    const QSize side = GetPhotoSize(Side);
    const auto fw = static_cast<float>(front.width()), fh = static_cast<float>(front.height());
    const auto sw = static_cast<float>(side.width()), sh = static_cast<float>(side.height());
    for (uint32_t i = 0; i < count; ++i) {
        HeadVertex& v = vertices[i];
        v.frontUV = {(v.position.x + modelOffset[Front].x) / fw,
                     (modelOffset[Front].y - v.position.y) / fh};
        const float sideX =
            leftSide ? modelOffset[Side].x + v.position.z : modelOffset[Side].x - v.position.z;
        v.sideUV = {sideX / sw, (modelOffset[Side].y - v.position.y) / sh};
    }
}

void CVisomorfDoc::UpdateBoxFromPoints(int photo) {
    CheckPhoto(photo);
    const std::vector<Vec2>& positions = pointPositions[photo];
    if (positions.empty()) {
        throw InvalidArgumentException();
    }
    Box b{positions[0].x, positions[0].y, positions[0].x, positions[0].y};
    for (const Vec2& pos : positions) {
        b.left = std::min(b.left, pos.x);
        b.top = std::min(b.top, pos.y);
        b.right = std::max(b.right, pos.x);
        b.bottom = std::max(b.bottom, pos.y);
    }
    box[photo] = b;
}

bool CVisomorfDoc::IsPointShown(int photo, int32_t point) const {
    return points[photo][point].level <= pointsLevel;
}

void CVisomorfDoc::CollectPointWeights(int photo, int32_t point,
                                       PointWeightMap& pointWeights) const {
    CheckPhoto(photo);
    const std::vector<FeaturePoint>& list = points[photo];
    const std::vector<Vec2>& positions = pointPositions[photo];
    if (point < 0 || static_cast<size_t>(point) >= list.size() || positions.size() < list.size()) {
        throw InvalidArgumentException();
    }
    pointWeights[point] = 1;
    std::vector<int32_t> chain;
    std::vector<bool> passed(list.size());
    for (const auto& [feature, segmentList] : list[point].segmentsByFeature) {
        for (int32_t startSegment : segmentList) {
            const int32_t first =
                OtherEnd(SegmentAt(features[photo], feature, startSegment), point);
            if (first < 0 || static_cast<size_t>(first) >= list.size()) {
                throw InvalidArgumentException();
            }
            if (IsPointShown(photo, first)) {
                continue;
            }
            // Follow the feature's polyline through hidden points up to the first shown one. A
            // loop of hidden points ends where it comes back to a point already passed.
            chain.assign(1, first);
            std::fill(passed.begin(), passed.end(), false);
            passed[point] = true;
            passed[first] = true;
            int32_t current = first;
            int32_t arrival = startSegment;
            for (;;) {
                const auto found = list[current].segmentsByFeature.find(feature);
                if (found == list[current].segmentsByFeature.end()) {
                    break;
                }
                const auto next = std::find_if(found->second.begin(), found->second.end(),
                                               [arrival](int32_t s) { return s != arrival; });
                if (next == found->second.end()) {
                    break;
                }
                const int32_t reached =
                    OtherEnd(SegmentAt(features[photo], feature, *next), current);
                if (reached < 0 || static_cast<size_t>(reached) >= list.size()) {
                    throw InvalidArgumentException();
                }
                chain.push_back(reached);
                if (IsPointShown(photo, reached) || passed[reached]) {
                    break;
                }
                passed[reached] = true;
                current = reached;
                arrival = *next;
            }
            // Linear falloff by arc length; the chain's last point stays where it is.
            std::vector<float> running(chain.size());
            float length = 0;
            Vec2 previous = positions[point];
            for (size_t i = 0; i < chain.size(); ++i) {
                length += Distance(positions[chain[i]], previous);
                running[i] = length;
                previous = positions[chain[i]];
            }
            for (size_t i = 0; i + 1 < chain.size(); ++i) {
                // A chain of coincident points moves with the dragged point.
                const float w = length > 0 ? 1 - running[i] / length : 1.0f;
                auto [entry, inserted] = pointWeights.try_emplace(chain[i], w);
                if (!inserted) {
                    entry->second = std::min(entry->second + w, 1.0f);
                }
            }
        }
    }
}

void CVisomorfDoc::CollectFeatureWeights(int photo, int32_t feature,
                                         PointWeightMap& pointWeights) const {
    CheckPhoto(photo);
    std::vector<bool> visited(features[photo].size());
    CollectFeatureWeights(photo, feature, pointWeights, visited);
}

void CVisomorfDoc::CollectFeatureWeights(int photo, int32_t feature, PointWeightMap& pointWeights,
                                         std::vector<bool>& visitedFeatures) const {
    const std::vector<Feature>& list = features[photo];
    if (feature < 0 || static_cast<size_t>(feature) >= list.size()) {
        throw InvalidArgumentException();
    }
    // A parent cycle in a damaged feature set must not recurse for ever.
    if (visitedFeatures[feature]) {
        return;
    }
    visitedFeatures[feature] = true;
    std::vector<bool> handled(points[photo].size());
    for (const auto& [a, b] : list[feature].segments) {
        for (int32_t end : {a, b}) {
            if (end < 0 || static_cast<size_t>(end) >= handled.size()) {
                throw InvalidArgumentException();
            }
            if (!handled[end]) {
                handled[end] = true;
                CollectPointWeights(photo, end, pointWeights);
            }
        }
    }
    for (int32_t child : list[feature].children) {
        CollectFeatureWeights(photo, child, pointWeights, visitedFeatures);
    }
}

void CVisomorfDoc::CollectVertexWeights(int photo, const PointWeightMap& pointWeights,
                                        VertexWeightMap& vertexWeights) const {
    CheckPhoto(photo);
    for (const auto& [point, pointWeight] : pointWeights) {
        if (point < 0 || static_cast<size_t>(point) >= points[photo].size()) {
            throw InvalidArgumentException();
        }
        for (const auto& [vertex, vertexWeight] : points[photo][point].weights) {
            vertexWeights[vertex] += pointWeight * vertexWeight;
        }
    }
}

void CVisomorfDoc::MovePoints(int photo, const PointWeightMap& pointWeights,
                              const VertexWeightMap& vertexWeights, float dx, float dy) {
    CheckPhoto(photo);
    std::vector<Vec2>& positions = pointPositions[photo];
    // Check the maps' largest keys first, so that a bad map moves nothing.
    if (!pointWeights.empty() &&
        (pointWeights.begin()->first < 0 ||
         static_cast<size_t>(pointWeights.rbegin()->first) >= positions.size())) {
        throw InvalidArgumentException();
    }
    if (!vertexWeights.empty() &&
        (!editableMesh || vertexWeights.rbegin()->first >= editableMesh->VertexCount())) {
        throw InvalidArgumentException();
    }
    for (const auto& [point, w] : pointWeights) {
        positions[point].x += w * dx;
        positions[point].y += w * dy;
    }
    UpdateBoxFromPoints(photo);
    if (vertexWeights.empty()) {
        return;
    }
    const QSize size = GetPhotoSize(photo);
    const auto width = static_cast<float>(size.width());
    const auto height = static_cast<float>(size.height());
    HeadVertex* vertices = editableMesh->vertices.data();
    for (const auto& [vertex, w] : vertexWeights) {
        HeadVertex& v = vertices[vertex];
        const float fx = w * dx;
        const float fy = w * dy;
        if (photo == Front) {
            v.position.x += fx;
        } else if (leftSide) {
            v.position.z += fx;
        } else {
            v.position.z -= fx;
        }
        v.position.y -= fy * 0.5f;
        Vec2& uv = photo == Front ? v.frontUV : v.sideUV;
        uv.x += fx / width;
        uv.y += fy / height;
    }
}

namespace {

// Growth of one box dimension less one; a box without extent in that direction cannot be
// scaled, only moved.
float Growth(float oldLow, float oldHigh, float dLow, float dHigh) {
    const float extent = oldHigh - oldLow;
    return extent != 0 ? (dHigh - dLow) / extent : 0.0f;
}

} // namespace

void CVisomorfDoc::SetBox(int photo, float left, float top, float right, float bottom) {
    CheckPhoto(photo);
    if (!(right > left) || !(bottom > top) || !editableMesh || editableMesh->vertices.empty()) {
        throw InvalidArgumentException();
    }
    const Box old = box[photo];
    const float dL = left - old.left, dT = top - old.top;
    const float dR = right - old.right, dB = bottom - old.bottom;
    const float sx = Growth(old.left, old.right, dL, dR);
    const float sy = Growth(old.top, old.bottom, dT, dB);
    for (Vec2& pos : pointPositions[photo]) {
        pos.x += dL + sx * (pos.x - old.left);
        pos.y += dT + sy * (pos.y - old.top);
    }
    std::vector<HeadVertex>& vertices = editableMesh->vertices;
    Vec3 min, max;
    ComputeBoundingBox(vertices.data(), editableMesh->VertexCount(), min, max);
    const Vec3 c{(min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f, (min.z + max.z) * 0.5f};
    float uMin = std::numeric_limits<float>::max(), vMin = std::numeric_limits<float>::max();
    for (const HeadVertex& v : vertices) {
        const Vec2& uv = photo == Front ? v.frontUV : v.sideUV;
        uMin = std::min(uMin, uv.x);
        vMin = std::min(vMin, uv.y);
    }
    const QSize size = GetPhotoSize(photo);
    const float shiftU = dL / static_cast<float>(size.width());
    const float shiftV = dT / static_cast<float>(size.height());
    for (HeadVertex& v : vertices) {
        Vec3& p = v.position;
        if (photo == Front) {
            p.x += sx * (p.x - c.x);
            p.y += sy * (p.y - c.y);
            p.z += sy * (p.z - c.z);
        } else {
            const float z1 = c.z - (c.z - p.z) / (1 + sy);
            p.z = z1 - sx * (c.z - z1);
        }
        Vec2& uv = photo == Front ? v.frontUV : v.sideUV;
        uv.x += (uv.x - uMin) * sx + shiftU;
        uv.y += (uv.y - vMin) * sy + shiftV;
    }
    box[photo] = {left, top, right, bottom};
}

void CVisomorfDoc::FitBoxToPhoto(int photo) {
    CheckPhoto(photo);
    constexpr float kMargin = 100;
    // Smallest box the photo views let the user make; a tiny photo must not leave less.
    constexpr float kMinimumSide = 10;
    const QSize size = GetPhotoSize(photo);
    const auto W = static_cast<float>(size.width());
    const auto H = static_cast<float>(size.height());
    const float w = box[photo].Width();
    const float h = box[photo].Height();
    const float kx = w > 0 ? W / w : std::numeric_limits<float>::infinity();
    const float ky = h > 0 ? H / h : std::numeric_limits<float>::infinity();
    float k = std::min(kx, ky);
    if (std::isinf(k)) {
        k = 1;
    }
    const float newWidth = std::max(w * k - kMargin, kMinimumSide);
    const float newHeight = std::max(h * k - kMargin, kMinimumSide);
    const float left = (W - newWidth) * 0.5f;
    const float top = (H - newHeight) * 0.5f;
    SetBox(photo, left, top, left + newWidth, top + newHeight);
}

} // namespace vm
