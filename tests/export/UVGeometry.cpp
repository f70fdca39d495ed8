#include "export/UVGeometry.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vm {

UVTriangle FaceUV(const Mesh& mesh, uint32_t face) {
    UVTriangle t;
    for (int c = 0; c < 3; ++c) {
        t.corners[c] = mesh.vertices[mesh.indices[face * 3 + c]].modelUV;
    }
    return t;
}

float SignedArea(const UVTriangle& t) {
    const Vec2 &a = t.corners[0], &b = t.corners[1], &c = t.corners[2];
    return 0.5f * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
}

namespace {

float Cross(const Vec2& a, const Vec2& b, const Vec2& p) {
    return (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y);
}

// Separated along the normal of edge (a, b) of one triangle?
bool Separates(const Vec2& a, const Vec2& b, const UVTriangle& s, const UVTriangle& t,
               float epsilon) {
    // In double, so that the two ends of a shared edge project to the same value.
    const double nx = static_cast<double>(a.y) - b.y, ny = static_cast<double>(b.x) - a.x;
    const double length = std::hypot(nx, ny);
    if (length == 0) {
        return false;
    }
    auto project = [&](const UVTriangle& tri, double& lo, double& hi) {
        lo = 1e300, hi = -1e300;
        for (const Vec2& c : tri.corners) {
            const double d = (c.x * nx + c.y * ny) / length;
            lo = std::min(lo, d);
            hi = std::max(hi, d);
        }
    };
    double sLo, sHi, tLo, tHi;
    project(s, sLo, sHi);
    project(t, tLo, tHi);
    return sHi <= tLo + epsilon || tHi <= sLo + epsilon;
}

} // namespace

bool InsideTriangle(const UVTriangle& t, const Vec2& p, float epsilon) {
    const float sign = SignedArea(t) >= 0 ? 1.0f : -1.0f;
    for (int i = 0; i < 3; ++i) {
        const Vec2& a = t.corners[i];
        const Vec2& b = t.corners[(i + 1) % 3];
        const float length = std::hypot(b.x - a.x, b.y - a.y);
        if (sign * Cross(a, b, p) < -epsilon * std::max(length, 1e-12f)) {
            return false;
        }
    }
    return true;
}

bool Overlap(const UVTriangle& a, const UVTriangle& b, float epsilon) {
    for (const UVTriangle* tri : {&a, &b}) {
        for (int i = 0; i < 3; ++i) {
            if (Separates(tri->corners[i], tri->corners[(i + 1) % 3], a, b, epsilon)) {
                return false;
            }
        }
    }
    return true;
}

uint64_t CountOverlappingPairs(const Mesh& mesh, float epsilon) {
    constexpr int kGrid = 128;
    const uint32_t faces = mesh.FaceCount();
    std::vector<UVTriangle> triangles(faces);
    float minU = 1e30f, minV = 1e30f, maxU = -1e30f, maxV = -1e30f;
    for (uint32_t f = 0; f < faces; ++f) {
        triangles[f] = FaceUV(mesh, f);
        for (const Vec2& c : triangles[f].corners) {
            minU = std::min(minU, c.x), maxU = std::max(maxU, c.x);
            minV = std::min(minV, c.y), maxV = std::max(maxV, c.y);
        }
    }
    const float spanU = std::max(maxU - minU, 1e-6f), spanV = std::max(maxV - minV, 1e-6f);
    auto cell = [&](float value, float lo, float span) {
        return std::clamp(static_cast<int>((value - lo) / span * kGrid), 0, kGrid - 1);
    };
    std::vector<std::vector<uint32_t>> grid(kGrid * kGrid);
    std::vector<std::array<int, 4>> cells(faces);
    for (uint32_t f = 0; f < faces; ++f) {
        const auto& c = triangles[f].corners;
        const float lu = std::min({c[0].x, c[1].x, c[2].x}),
                    hu = std::max({c[0].x, c[1].x, c[2].x});
        const float lv = std::min({c[0].y, c[1].y, c[2].y}),
                    hv = std::max({c[0].y, c[1].y, c[2].y});
        cells[f] = {cell(lu, minU, spanU), cell(hu, minU, spanU), cell(lv, minV, spanV),
                    cell(hv, minV, spanV)};
        for (int y = cells[f][2]; y <= cells[f][3]; ++y) {
            for (int x = cells[f][0]; x <= cells[f][1]; ++x) {
                grid[y * kGrid + x].push_back(f);
            }
        }
    }
    uint64_t pairs = 0;
    for (int y = 0; y < kGrid; ++y) {
        for (int x = 0; x < kGrid; ++x) {
            const auto& list = grid[y * kGrid + x];
            for (size_t i = 0; i < list.size(); ++i) {
                for (size_t j = i + 1; j < list.size(); ++j) {
                    const uint32_t a = list[i], b = list[j];
                    // Count each pair once: in the first cell both share.
                    const int firstX = std::max(cells[a][0], cells[b][0]);
                    const int firstY = std::max(cells[a][2], cells[b][2]);
                    if (x != firstX || y != firstY) {
                        continue;
                    }
                    if (SignedArea(triangles[a]) != 0 && SignedArea(triangles[b]) != 0 &&
                        Overlap(triangles[a], triangles[b], epsilon)) {
                        ++pairs;
                    }
                }
            }
        }
    }
    return pairs;
}

} // namespace vm
