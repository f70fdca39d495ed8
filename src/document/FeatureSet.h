#pragma once
// Feature points and features of one photo, and the feature-set block that stores both photos'.
#include "document/VertexWeights.h"

#include <QString>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace vm {

enum PhotoIndex : int { Front = 0, Side = 1 };
constexpr int kPhotoCount = 2;

struct FeaturePoint {
    uint32_t vertexIndex = 0; // editable-mesh vertex the point is bound to
    int32_t level = 0;        // shown and draggable while level <= the document's pointsLevel
    // feature index -> indices of that feature's segments that end at this point
    std::map<int32_t, std::vector<int32_t>> segmentsByFeature;
    VertexWeights weights;
};

struct Feature {
    QString name;
    int32_t parent = -1; // feature index in the same photo, or -1
    int32_t level = 0;
    std::vector<std::pair<int32_t, int32_t>> segments; // point index pairs
    std::vector<int32_t> children;                     // rebuilt from the parents
};

// Both photos' points and features, as the feature-set block holds them.
struct FeatureSet {
    std::vector<FeaturePoint> points[kPhotoCount];
    std::vector<Feature> features[kPhotoCount];
};

} // namespace vm
