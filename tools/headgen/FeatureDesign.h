#pragma once
// The default feature set: which head vertices the feature points of the front and side photos
// are bound to, at which detail level, and the named outlines (features) joining them.
#include "HeadMesh.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vm::headgen {

struct DraftFeature {
    std::string name;
    int parent = -1;
    std::vector<std::pair<int, int>> segments; // point indices of the view
};

struct DraftView {
    std::vector<int> vertex; // welded vertex of each point
    std::vector<int> level;
    std::vector<DraftFeature> features;
    // Point positions in the stored list that must hold a given welded vertex; the other points
    // follow in the order of their stored vertex numbers.
    std::map<int, int> fixedRows;
};

struct DraftFeatureSet {
    DraftView views[2]; // front, side
    // Welded vertices whose stored numbers the feature set's first rows and the crease lists fix.
    std::map<int, int> pins;
};

DraftFeatureSet DesignFeatureSet(const WeldedHead& head);

} // namespace vm::headgen
