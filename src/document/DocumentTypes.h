#pragma once
// Small value types shared by the document, its views and its file formats.
#include <cmath>
#include <cstdint>
#include <map>

namespace vm {

enum ModelDetail : int32_t { Low = 0, Medium = 1, High = 2 };

// A photo's box, in photo pixels.
struct Box {
    float left = 0, top = 0, right = 0, bottom = 0;
    float Width() const { return right - left; }
    float Height() const { return bottom - top; }
    bool operator==(const Box&) const = default;
};

// A map of photo pixels onto the pixels of another version of the photo (scaled, turned,
// shifted or mirrored): x' = m[0] . (x, y, 1), y' = m[1] . (x, y, 1).
struct PhotoTransform {
    double m[2][3] = {{1, 0, 0}, {0, 1, 0}};
    void Map(float x, float y, float& outX, float& outY) const {
        outX = static_cast<float>(m[0][0] * x + m[0][1] * y + m[0][2]);
        outY = static_cast<float>(m[1][0] * x + m[1][1] * y + m[1][2]);
    }
    // Scale of lengths (the square root of the determinant's size).
    double Scale() const { return std::sqrt(std::abs(m[0][0] * m[1][1] - m[0][1] * m[1][0])); }
    bool Mirrors() const { return m[0][0] * m[1][1] - m[0][1] * m[1][0] < 0; }
};

// Drag weights, made when a drag starts: point index -> weight, vertex index -> weight.
using PointWeightMap = std::map<int32_t, float>;
using VertexWeightMap = std::map<uint32_t, float>;

// Number of segments per triangle edge that a device with N-patches is asked to make.
inline int PatchSegments(int32_t modelDetail) {
    return modelDetail == Low ? 1 : modelDetail == Medium ? 2 : 4;
}

} // namespace vm
