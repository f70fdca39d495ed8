#pragma once
// A smooth map of the plane that carries a few anchor positions exactly onto their targets: the
// best scale-turn-shift of the anchors plus Gaussian bumps that absorb what it leaves. Far from
// every anchor the map only scales, turns and shifts, so the head's outline keeps the generic
// head's proportions.
#include "platform/core/VMath.h"

#include <vector>

namespace vm {

class SmoothWarp {
public:
    // What the map does far from the anchors. Similarity: scale, turn and shift (a face seen
    // from the front keeps the head's proportions). AxisScales: its own scale along x and y and a
    // shift (a profile's depth and height vary independently from head to head).
    enum class FarField { Similarity, AxisScales };

    // sources and targets: equal-length anchor lists in one coordinate space (photo pixels);
    // at least three anchors not on one line. radius: how far (in source units) one anchor's
    // correction reaches.
    SmoothWarp(const std::vector<Vec2>& sources, const std::vector<Vec2>& targets, float radius,
               FarField farField = FarField::Similarity);

    Vec2 Map(const Vec2& source) const;

private:
    double Kernel(const Vec2& a, const Vec2& b) const;

    std::vector<Vec2> m_sources;
    double m_affine[2][3] = {{1, 0, 0}, {0, 1, 0}}; // target = A * (x, y, 1)
    std::vector<double> m_bumpX, m_bumpY;           // Gaussian coefficients per anchor
    double m_twoRadiusSquared = 1;
};

} // namespace vm
