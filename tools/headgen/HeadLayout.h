#pragma once
// Where the generic head's vertices go: the midline, the neck opening, the regular grid beside
// the back midline, hand-placed face and ear vertices, and an even fill of the rest.
#include "Geometry.h"
#include "Triangulation.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace vm::headgen {

constexpr int kMidlineFront = 26; // below the crown, down to the front of the neck
constexpr int kMidlineBack = 12;  // below the crown, down to the back of the neck
constexpr int kNeckLoop = 16;
constexpr int kSideVertices = 214; // on each side of the midline

struct HeadLayout {
    // Welded vertices (one per distinct position), model units before the final scaling:
    // [0] crown, then the front midline, the back midline, the left side (x < 0) and the right
    // side, where right vertex i mirrors left vertex i.
    std::vector<D3> positions;
    std::vector<int> front;    // front midline, crown side first (kMidlineFront)
    std::vector<int> back;     // back midline, crown side first (kMidlineBack); last on the neck
    std::vector<int> neckLoop; // the neck opening in order, starting at the front of the neck
    std::vector<Edge> required;
    std::map<std::string, int> tags; // named left-side or midline vertices
    std::set<int> ear;               // the left ear's vertices

    int LeftBegin() const { return 1 + kMidlineFront + kMidlineBack; }
    bool IsLeft(int v) const { return v >= LeftBegin() && v < LeftBegin() + kSideVertices; }
    bool IsRight(int v) const { return v >= LeftBegin() + kSideVertices; }
    int MirrorOf(int v) const {
        return IsLeft(v) ? v + kSideVertices : IsRight(v) ? v - kSideVertices : v;
    }
    int Tag(const std::string& name) const;
};

HeadLayout BuildLayout();

// A vertex tag with a number, such as "f14". (Built by appending: "f" + std::to_string(n) trips
// a false alarm of the optimising compiler.)
template <typename Number> std::string Numbered(const char* stem, Number n) {
    std::string tag(stem);
    tag += std::to_string(n);
    return tag;
}

// Flat chart of the surface used to triangulate: a stereographic view from the neck opening,
// so that the opening becomes the outer boundary.
std::vector<D2> ChartOf(const HeadLayout& layout);

} // namespace vm::headgen
