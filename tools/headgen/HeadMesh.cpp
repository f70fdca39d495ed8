#include "HeadMesh.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

namespace vm::headgen {

namespace {

std::map<Edge, int> EdgeUse(const std::vector<Triangle>& tris) {
    std::map<Edge, int> use;
    for (const Triangle& t : tris) {
        for (int k = 0; k < 3; ++k) {
            ++use[MakeEdge(t[k], t[(k + 1) % 3])];
        }
    }
    return use;
}

// The chart looks at the head from inside towards the neck; turn the triangles so that their
// normals point out of the head.
void OrientOutwards(WeldedHead& head) {
    const D3 top = head.layout.positions[head.layout.Tag("crown")];
    double outward = 0;
    for (const Triangle& t : head.triangles) {
        const D3 a = head.layout.positions[t[0]], b = head.layout.positions[t[1]],
                 c = head.layout.positions[t[2]];
        const D3 centroid = (a + b + c) / 3.0;
        outward += Dot(Cross(b - a, c - a), centroid - D3{0, top.y * 0 + 20, 25});
    }
    if (outward < 0) {
        for (Triangle& t : head.triangles) {
            std::swap(t[1], t[2]);
        }
    }
}

} // namespace

WeldedHead TriangulateHead(const HeadLayout& layout) {
    WeldedHead head{layout, {}};
    const std::vector<D2> chart = ChartOf(layout);
    std::vector<int> hull = layout.neckLoop;
    if (Orient(chart[hull[0]], chart[hull[1]], chart[hull[2]]) < 0) {
        std::reverse(hull.begin(), hull.end());
    }
    head.triangles = Delaunay(chart, hull);
    ForceEdges(head.triangles, chart, layout.required);
    ImproveOnSurface(head.triangles, chart, layout.positions, layout.required);
    OrientOutwards(head);
    return head;
}

std::vector<std::string> CheckWeldedHead(const WeldedHead& head) {
    std::vector<std::string> problems;
    const auto use = EdgeUse(head.triangles);
    std::set<Edge> boundary;
    for (const auto& [e, n] : use) {
        if (n == 1) {
            boundary.insert(e);
        } else if (n != 2) {
            problems.push_back("edge used by more than two triangles");
        }
    }
    const auto& loop = head.layout.neckLoop;
    std::set<Edge> wantBoundary;
    for (size_t i = 0; i < loop.size(); ++i) {
        wantBoundary.insert(MakeEdge(loop[i], loop[(i + 1) % loop.size()]));
    }
    if (boundary != wantBoundary) {
        problems.push_back("boundary is not the neck opening (" + std::to_string(boundary.size()) +
                           " boundary edges)");
    }
    for (const Edge& e : head.layout.required) {
        if (!use.count(e)) {
            problems.push_back("required edge missing");
        }
    }
    // The texture cut needs a regular grid: six neighbours up the back midline, four at the neck.
    std::map<int, std::set<int>> neighbours;
    for (const auto& [e, n] : use) {
        neighbours[e.first].insert(e.second);
        neighbours[e.second].insert(e.first);
    }
    for (size_t k = 0; k < head.layout.back.size(); ++k) {
        const size_t want = k + 1 == head.layout.back.size() ? 4 : 6;
        if (neighbours[head.layout.back[k]].size() != want) {
            problems.push_back("irregular grid at back midline vertex " + std::to_string(k + 1));
        }
    }
    const int v = static_cast<int>(head.layout.positions.size());
    const int e = static_cast<int>(use.size());
    const int f = static_cast<int>(head.triangles.size());
    if (v - e + f != 1) {
        problems.push_back("not a disk: V - E + F = " + std::to_string(v - e + f));
    }
    return problems;
}

} // namespace vm::headgen
