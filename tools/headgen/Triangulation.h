#pragma once
// Triangulation of the head's vertices: Delaunay in a flat chart of the surface, required edges
// forced in by flips, then flips that improve the triangles on the real surface.
#include "Geometry.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace vm::headgen {

using Triangle = std::array<int, 3>;
using Edge = std::pair<int, int>; // smaller index first

inline Edge MakeEdge(int a, int b) {
    return a < b ? Edge{a, b} : Edge{b, a};
}

// Delaunay triangulation (counter-clockwise triangles) of the chart points inside the convex,
// counter-clockwise outer loop `hull`. Throws std::runtime_error when a point lies outside it.
std::vector<Triangle> Delaunay(const std::vector<D2>& chart, const std::vector<int>& hull);

// Makes every required edge an edge of the triangulation by flipping the edges that cross it.
// Throws std::runtime_error when an edge cannot be forced in.
void ForceEdges(std::vector<Triangle>& tris, const std::vector<D2>& chart,
                const std::vector<Edge>& required);

// Flips edges (never the required ones) while the two angles facing an edge on the surface add
// up to more than pi, keeping the triangulation valid in the chart.
void ImproveOnSurface(std::vector<Triangle>& tris, const std::vector<D2>& chart,
                      const std::vector<D3>& surface, const std::vector<Edge>& required);

} // namespace vm::headgen
