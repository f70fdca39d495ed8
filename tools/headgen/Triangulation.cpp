#include "Triangulation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

namespace vm::headgen {

namespace {

bool InCircumcircle(const D2& a, const D2& b, const D2& c, const D2& p) {
    const double ax = a.x - p.x, ay = a.y - p.y;
    const double bx = b.x - p.x, by = b.y - p.y;
    const double cx = c.x - p.x, cy = c.y - p.y;
    const double det = (ax * ax + ay * ay) * (bx * cy - cx * by) -
                       (bx * bx + by * by) * (ax * cy - cx * ay) +
                       (cx * cx + cy * cy) * (ax * by - bx * ay);
    const double scale = ax * ax + ay * ay + bx * bx + by * by + cx * cx + cy * cy;
    return det > 1e-12 * scale * scale;
}

// Edge -> the (up to two) triangles that use it.
using EdgeMap = std::map<Edge, std::vector<int>>;

EdgeMap BuildEdgeMap(const std::vector<Triangle>& tris) {
    EdgeMap map;
    for (int t = 0; t < static_cast<int>(tris.size()); ++t) {
        for (int k = 0; k < 3; ++k) {
            map[MakeEdge(tris[t][k], tris[t][(k + 1) % 3])].push_back(t);
        }
    }
    return map;
}

int Opposite(const Triangle& t, const Edge& e) {
    for (int v : t) {
        if (v != e.first && v != e.second) {
            return v;
        }
    }
    return -1;
}

// Replaces the edge shared by triangles t0 and t1 with the other diagonal of their quad.
void Flip(std::vector<Triangle>& tris, int t0, int t1, const Edge& e) {
    const int r = Opposite(tris[t0], e);
    const int s = Opposite(tris[t1], e);
    // Keep t0's orientation: it runs p -> q -> r for some order of the edge's ends.
    int p = e.first, q = e.second;
    for (int k = 0; k < 3; ++k) {
        if (tris[t0][k] == r) {
            p = tris[t0][(k + 1) % 3];
            q = tris[t0][(k + 2) % 3];
        }
    }
    tris[t0] = {r, p, s};
    tris[t1] = {s, q, r};
}

bool ConvexQuad(const std::vector<D2>& chart, int p, int s, int q, int r) {
    // The quad p, s, q, r in this cyclic order, counter-clockwise, must turn left everywhere.
    const double eps = 1e-12;
    return Orient(chart[p], chart[s], chart[q]) > eps &&
           Orient(chart[s], chart[q], chart[r]) > eps &&
           Orient(chart[q], chart[r], chart[p]) > eps && Orient(chart[r], chart[p], chart[s]) > eps;
}

// The ordered quad around an edge: t0 = (p, q, r) counter-clockwise, s beyond the edge.
struct Quad {
    int p, q, r, s;
};

Quad QuadOf(const std::vector<Triangle>& tris, int t0, int t1, const Edge& e) {
    const int r = Opposite(tris[t0], e);
    const int s = Opposite(tris[t1], e);
    Quad quad{e.first, e.second, r, s};
    for (int k = 0; k < 3; ++k) {
        if (tris[t0][k] == r) {
            quad.p = tris[t0][(k + 1) % 3];
            quad.q = tris[t0][(k + 2) % 3];
        }
    }
    return quad;
}

bool SegmentsCross(const D2& a, const D2& b, const D2& c, const D2& d) {
    const double o1 = Orient(a, b, c), o2 = Orient(a, b, d);
    const double o3 = Orient(c, d, a), o4 = Orient(c, d, b);
    return ((o1 > 0 && o2 < 0) || (o1 < 0 && o2 > 0)) && ((o3 > 0 && o4 < 0) || (o3 < 0 && o4 > 0));
}

double AngleAt(const D3& apex, const D3& a, const D3& b) {
    const D3 u = Unit(a - apex), v = Unit(b - apex);
    return std::acos(std::clamp(Dot(u, v), -1.0, 1.0));
}

} // namespace

namespace {

// Splits the triangle containing point i (or the two sharing the edge it lies on) into triangles
// that all have i as a corner.
void InsertPoint(std::vector<Triangle>& tris, const std::vector<D2>& chart, int i) {
    const D2& p = chart[i];
    for (int t = 0; t < static_cast<int>(tris.size()); ++t) {
        const Triangle tri = tris[t];
        double o[3];
        for (int k = 0; k < 3; ++k) {
            o[k] = Orient(chart[tri[k]], chart[tri[(k + 1) % 3]], p);
        }
        if (o[0] < 0 || o[1] < 0 || o[2] < 0) {
            continue;
        }
        int onEdge = -1;
        for (int k = 0; k < 3; ++k) {
            if (o[k] == 0) {
                onEdge = k;
            }
        }
        if (onEdge < 0) {
            tris[t] = {tri[0], tri[1], i};
            tris.push_back({tri[1], tri[2], i});
            tris.push_back({tri[2], tri[0], i});
            return;
        }
        const int a = tri[onEdge], b = tri[(onEdge + 1) % 3], c = tri[(onEdge + 2) % 3];
        tris[t] = {b, c, i};
        tris.push_back({c, a, i});
        for (int u = 0; u < static_cast<int>(tris.size()); ++u) {
            const Triangle& other = tris[u];
            for (int k = 0; k < 3; ++k) {
                if (other[k] == b && other[(k + 1) % 3] == a) {
                    const int d = other[(k + 2) % 3];
                    tris[u] = {a, d, i};
                    tris.push_back({d, b, i});
                    return;
                }
            }
        }
        throw std::runtime_error("triangulation: point on the outer boundary");
    }
    throw std::runtime_error("triangulation: point outside the outer boundary");
}

} // namespace

std::vector<Triangle> Delaunay(const std::vector<D2>& chart, const std::vector<int>& hull) {
    std::vector<Triangle> tris;
    std::vector<bool> onHull(chart.size(), false);
    for (size_t k = 0; k < hull.size(); ++k) {
        onHull[hull[k]] = true;
        if (k >= 2) {
            tris.push_back({hull[0], hull[k - 1], hull[k]});
        }
        if (k >= 2 && Orient(chart[hull[0]], chart[hull[k - 1]], chart[hull[k]]) <= 0) {
            throw std::runtime_error(
                "triangulation: outer boundary not convex and counter-clockwise");
        }
    }
    for (int i = 0; i < static_cast<int>(chart.size()); ++i) {
        if (!onHull[i]) {
            InsertPoint(tris, chart, i);
        }
    }
    // Lawson flips towards the Delaunay triangulation of the chart.
    for (int pass = 0; pass < 1000; ++pass) {
        bool changed = false;
        const EdgeMap map = BuildEdgeMap(tris);
        std::vector<bool> touched(tris.size(), false);
        for (const auto& [e, ts] : map) {
            if (ts.size() != 2 || touched[ts[0]] || touched[ts[1]]) {
                continue;
            }
            const Quad q = QuadOf(tris, ts[0], ts[1], e);
            if (InCircumcircle(chart[q.p], chart[q.q], chart[q.r], chart[q.s]) &&
                ConvexQuad(chart, q.p, q.s, q.q, q.r)) {
                Flip(tris, ts[0], ts[1], e);
                touched[ts[0]] = touched[ts[1]] = true;
                changed = true;
            }
        }
        if (!changed) {
            break;
        }
    }
    return tris;
}

void ForceEdges(std::vector<Triangle>& tris, const std::vector<D2>& chart,
                const std::vector<Edge>& required) {
    const std::set<Edge> keep(required.begin(), required.end());
    for (const Edge& want : required) {
        for (int round = 0;; ++round) {
            if (round > 2000) {
                throw std::runtime_error("triangulation: cannot force a required edge");
            }
            const EdgeMap map = BuildEdgeMap(tris);
            if (map.count(want)) {
                break;
            }
            bool flipped = false;
            for (const auto& [e, ts] : map) {
                // An edge forced in earlier stays.
                if (ts.size() != 2 || keep.count(e) || e.first == want.first ||
                    e.first == want.second || e.second == want.first || e.second == want.second) {
                    continue;
                }
                if (!SegmentsCross(chart[want.first], chart[want.second], chart[e.first],
                                   chart[e.second])) {
                    continue;
                }
                const Quad quad = QuadOf(tris, ts[0], ts[1], e);
                if (ConvexQuad(chart, quad.p, quad.s, quad.q, quad.r)) {
                    Flip(tris, ts[0], ts[1], e);
                    flipped = true;
                    break;
                }
            }
            if (!flipped) {
                throw std::runtime_error(
                    "triangulation: no flippable edge crosses a required edge " +
                    std::to_string(want.first) + "-" + std::to_string(want.second));
            }
        }
    }
}

void ImproveOnSurface(std::vector<Triangle>& tris, const std::vector<D2>& chart,
                      const std::vector<D3>& surface, const std::vector<Edge>& required) {
    const std::set<Edge> fixed(required.begin(), required.end());
    for (int pass = 0; pass < 200; ++pass) {
        bool changed = false;
        const EdgeMap map = BuildEdgeMap(tris);
        std::set<int> touched;
        for (const auto& [e, ts] : map) {
            if (ts.size() != 2 || fixed.count(e) || touched.count(ts[0]) || touched.count(ts[1])) {
                continue;
            }
            const Quad quad = QuadOf(tris, ts[0], ts[1], e);
            const double sum = AngleAt(surface[quad.r], surface[quad.p], surface[quad.q]) +
                               AngleAt(surface[quad.s], surface[quad.p], surface[quad.q]);
            if (sum <= kPi + 1e-6 || map.count(MakeEdge(quad.r, quad.s)) ||
                !ConvexQuad(chart, quad.p, quad.s, quad.q, quad.r)) {
                continue;
            }
            Flip(tris, ts[0], ts[1], e);
            touched.insert(ts[0]);
            touched.insert(ts[1]);
            changed = true;
        }
        if (!changed) {
            return;
        }
    }
}

} // namespace vm::headgen
