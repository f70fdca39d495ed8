#pragma once
// The generic head as stored: exact bounds, final vertex numbers, the texture cut along the back
// midline and the model texture layout.
#include "HeadMesh.h"
#include "platform/core/VMath.h"

#include <map>
#include <vector>

namespace vm::headgen {

// Exact extremes of the stored head, in model units.
constexpr float kHalfWidth = 238.3998f;
constexpr float kHalfHeight = 342.09637f;
constexpr float kHalfDepth = 289.88235f;
constexpr float kNoseTipY = -107.79f;

// Scales the welded head per axis so that its float positions reach the exact extremes, with
// the midline at x = 0 and mirror pairs at exactly mirrored places.
std::vector<Vec3> ScaleToBounds(const WeldedHead& head);

struct StoredHead {
    std::vector<Vec3> positions; // per stored vertex
    std::vector<Vec2> modelUV;   // per stored vertex
    std::vector<uint32_t> indices;
    std::vector<int> storedOfWelded; // welded vertex -> its stored number (the copy excluded)
    std::vector<int> weldedOfStored;
};

// Numbers the welded vertices (pins: welded vertex -> stored number), stores the second copies
// of the back-midline vertices below the crown last, and lays out the model texture.
StoredHead StoreHead(const WeldedHead& head, const std::vector<Vec3>& scaled,
                     const std::map<int, int>& pins);

} // namespace vm::headgen
