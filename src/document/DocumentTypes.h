#pragma once
// Small value types shared by the document, its views and its file formats.
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

// Drag weights, made when a drag starts: point index -> weight, vertex index -> weight.
using PointWeightMap = std::map<int32_t, float>;
using VertexWeightMap = std::map<uint32_t, float>;

// Number of segments per triangle edge that a device with N-patches is asked to make.
inline int PatchSegments(int32_t modelDetail) {
    return modelDetail == Low ? 1 : modelDetail == Medium ? 2 : 4;
}

} // namespace vm
