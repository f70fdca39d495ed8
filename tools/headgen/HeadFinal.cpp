#include "HeadFinal.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace vm::headgen {

namespace {

// Spring strength on the face, against 1 elsewhere: weak enough that the face takes more than
// half of the texture, strong enough that the features keep their shape.
constexpr double kFaceSpring = 0.05;

int ArgExtreme(const std::vector<Vec3>& p, float Vec3::*axis, bool largest) {
    int best = 0;
    for (int i = 1; i < static_cast<int>(p.size()); ++i) {
        if (largest ? p[i].*axis > p[best].*axis : p[i].*axis < p[best].*axis) {
            best = i;
        }
    }
    return best;
}

void RequireExtreme(const std::vector<Vec3>& p, int v, float Vec3::*axis, bool largest,
                    const char* what) {
    for (int i = 0; i < static_cast<int>(p.size()); ++i) {
        if (i != v && (largest ? p[i].*axis >= p[v].*axis : p[i].*axis <= p[v].*axis)) {
            throw std::runtime_error(std::string("head: ") + what + " is not the only extreme");
        }
    }
}

} // namespace

std::vector<Vec3> ScaleToBounds(const WeldedHead& head) {
    const HeadLayout& layout = head.layout;
    const auto& src = layout.positions;
    double maxX = 0, minY = 1e9, maxY = -1e9, minZ = 1e9, maxZ = -1e9;
    for (const D3& p : src) {
        maxX = std::max(maxX, std::abs(p.x));
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        minZ = std::min(minZ, p.z), maxZ = std::max(maxZ, p.z);
    }
    const double sx = kHalfWidth / maxX;
    const double sy = 2 * kHalfHeight / (maxY - minY), cy = (minY + maxY) * 0.5;
    const double sz = 2 * kHalfDepth / (maxZ - minZ), cz = (minZ + maxZ) * 0.5;
    std::vector<Vec3> out(src.size());
    for (size_t i = 0; i < src.size(); ++i) {
        const D3& p = src[i];
        out[i] = {layout.IsLeft(static_cast<int>(i)) ? static_cast<float>(p.x * sx) : 0.0f,
                  static_cast<float>((p.y - cy) * sy), static_cast<float>((p.z - cz) * sz)};
    }
    for (int v = 0; v < static_cast<int>(src.size()); ++v) {
        if (layout.IsRight(v)) {
            const Vec3& m = out[layout.MirrorOf(v)];
            out[v] = {-m.x, m.y, m.z};
        }
    }
    const int widest = ArgExtreme(out, &Vec3::x, false);
    out[widest].x = -kHalfWidth;
    out[layout.MirrorOf(widest)].x = kHalfWidth;
    const int crown = layout.Tag("crown");
    const int neck = layout.Tag("f26");
    const int tip = layout.Tag("f14");
    const int backMost = ArgExtreme(out, &Vec3::z, true);
    out[crown].y = kHalfHeight;
    out[neck].y = -kHalfHeight;
    out[tip].z = -kHalfDepth;
    out[tip].y = kNoseTipY;
    out[backMost].z = kHalfDepth;
    RequireExtreme(out, crown, &Vec3::y, true, "the crown");
    RequireExtreme(out, neck, &Vec3::y, false, "the front of the neck");
    RequireExtreme(out, tip, &Vec3::z, false, "the nose tip");
    if (out[backMost].x != 0.0f) {
        throw std::runtime_error("head: the back of the head is not on the midline");
    }
    return out;
}

namespace {

std::vector<int> NumberVertices(const WeldedHead& head, const std::vector<Vec3>& scaled,
                                const std::map<int, int>& pins) {
    const int n = static_cast<int>(scaled.size());
    std::vector<int> number(n, -1);
    std::vector<bool> taken(n, false);
    for (const auto& [welded, stored] : pins) {
        if (stored < 0 || stored >= n || taken[stored] || number[welded] >= 0) {
            throw std::runtime_error("head: conflicting vertex numbers");
        }
        number[welded] = stored;
        taken[stored] = true;
    }
    // The rest from the top of the head down, left before right.
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        if (scaled[a].y != scaled[b].y) {
            return scaled[a].y > scaled[b].y;
        }
        if (scaled[a].x != scaled[b].x) {
            return scaled[a].x < scaled[b].x;
        }
        return scaled[a].z < scaled[b].z;
    });
    int next = 0;
    for (int v : order) {
        if (number[v] >= 0) {
            continue;
        }
        while (taken[next]) {
            ++next;
        }
        number[v] = next;
        taken[next] = true;
    }
    (void)head;
    return number;
}

struct BoundaryLoop {
    std::vector<int> vertices; // stored numbers, in the direction the triangles run
};

BoundaryLoop FindBoundary(const std::vector<uint32_t>& indices, int start) {
    std::map<std::pair<int, int>, int> directed;
    for (size_t f = 0; f < indices.size(); f += 3) {
        for (int k = 0; k < 3; ++k) {
            directed[{static_cast<int>(indices[f + k]),
                      static_cast<int>(indices[f + (k + 1) % 3])}]++;
        }
    }
    std::map<int, int> next;
    for (const auto& [e, count] : directed) {
        if (!directed.count({e.second, e.first})) {
            next[e.first] = e.second;
        }
    }
    BoundaryLoop loop;
    int v = start;
    do {
        loop.vertices.push_back(v);
        if (!next.count(v) || loop.vertices.size() > next.size()) {
            throw std::runtime_error("head: texture cut does not open the head into a disk");
        }
        v = next[v];
    } while (v != start);
    if (loop.vertices.size() != next.size()) {
        throw std::runtime_error("head: more than one boundary after the texture cut");
    }
    return loop;
}

// Solves the dense system a * x = b (in place) by elimination with partial pivoting.
void Solve(std::vector<std::vector<double>>& a, std::vector<std::vector<double>>& b) {
    const size_t n = a.size();
    for (size_t col = 0; col < n; ++col) {
        size_t pivot = col;
        for (size_t r = col + 1; r < n; ++r) {
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) {
                pivot = r;
            }
        }
        std::swap(a[col], a[pivot]);
        std::swap(b[col], b[pivot]);
        for (size_t r = col + 1; r < n; ++r) {
            const double f = a[r][col] / a[col][col];
            if (f == 0) {
                continue;
            }
            for (size_t c = col; c < n; ++c) {
                a[r][c] -= f * a[col][c];
            }
            for (size_t k = 0; k < b[r].size(); ++k) {
                b[r][k] -= f * b[col][k];
            }
        }
    }
    for (size_t col = n; col-- > 0;) {
        for (size_t k = 0; k < b[col].size(); ++k) {
            double s = b[col][k];
            for (size_t c = col + 1; c < n; ++c) {
                s -= a[col][c] * b[c][k];
            }
            b[col][k] = s / a[col][col];
        }
    }
}

double FaceWeight(const Vec3& p) {
    // Springs on the face (in front of the ears, brow to chin) are weaker, so the face spreads
    // over more of the texture; they strengthen gradually beyond it, so that the texture's
    // density does not jump at the brow, below the mouth or in front of the ears. The chin and
    // the neck give way to the eyes, the nose and the mouth, where a retouch needs the texels.
    const double outside = std::max({0.0, static_cast<double>(p.z), p.y - 80.0, -210.0 - p.y});
    return kFaceSpring + (1.0 - kFaceSpring) * std::min(1.0, outside / 240.0);
}

// The place on the outline at fraction t of the way round, starting at the top middle and
// running towards the left: a rounded square (superellipse of degree 4), strictly convex so
// that no three outline vertices fall on a line, filling most of the texture square.
std::pair<double, double> SquareOutline(double t) {
    auto bend = [](double c) { return c < 0 ? -std::sqrt(-c) : std::sqrt(c); };
    const double angle = 2 * kPi * t;
    return {0.5 - 0.49 * bend(std::sin(angle)), 0.5 + 0.49 * bend(std::cos(angle))};
}

// Convex-boundary barycentric embedding: the boundary loop goes round a rounded square, every other
// vertex sits at the weighted mean of its neighbours, so no triangle can fold or overlap. The
// crown sits at the top (v = 1, the top row of the baked texture, where v grows upwards) and
// the head's left (x < 0) on the left, so the face reads upright and unmirrored in the texture.
std::vector<Vec2> LayOutTexture(const StoredHead& head) {
    const int n = static_cast<int>(head.positions.size());
    BoundaryLoop loop = FindBoundary(head.indices, 0);
    // Walk from the crown down the head's left copy of the cut first.
    if (loop.vertices[1] >= n - kMidlineBack) { // the copies belong to the right half
        std::reverse(loop.vertices.begin() + 1, loop.vertices.end());
    }
    std::vector<double> arc{0};
    for (size_t i = 0; i < loop.vertices.size(); ++i) {
        const Vec3 a = head.positions[loop.vertices[i]];
        const Vec3 b = head.positions[loop.vertices[(i + 1) % loop.vertices.size()]];
        const double d = std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                                   (a.z - b.z) * (a.z - b.z));
        arc.push_back(arc.back() + d);
    }
    std::vector<double> u(n, 0), v(n, 0);
    std::vector<int> unknown(n, -1);
    std::vector<bool> fixed(n, false);
    for (size_t i = 0; i < loop.vertices.size(); ++i) {
        const auto [pu, pv] = SquareOutline(arc[i] / arc.back());
        u[loop.vertices[i]] = pu;
        v[loop.vertices[i]] = pv;
        fixed[loop.vertices[i]] = true;
    }
    int m = 0;
    for (int i = 0; i < n; ++i) {
        if (!fixed[i]) {
            unknown[i] = m++;
        }
    }
    std::vector<std::vector<double>> a(m, std::vector<double>(m, 0.0));
    std::vector<std::vector<double>> b(m, std::vector<double>(2, 0.0));
    std::map<std::pair<int, int>, bool> seen;
    for (size_t f = 0; f < head.indices.size(); f += 3) {
        for (int k = 0; k < 3; ++k) {
            const int p = static_cast<int>(head.indices[f + k]);
            const int q = static_cast<int>(head.indices[f + (k + 1) % 3]);
            const auto key = std::minmax(p, q);
            if (seen[{key.first, key.second}]) {
                continue;
            }
            seen[{key.first, key.second}] = true;
            const Vec3 mid{(head.positions[p].x + head.positions[q].x) * 0.5f,
                           (head.positions[p].y + head.positions[q].y) * 0.5f,
                           (head.positions[p].z + head.positions[q].z) * 0.5f};
            const double w = FaceWeight(mid);
            for (const auto& [i, j] : {std::pair{p, q}, std::pair{q, p}}) {
                if (unknown[i] < 0) {
                    continue;
                }
                a[unknown[i]][unknown[i]] += w;
                if (unknown[j] >= 0) {
                    a[unknown[i]][unknown[j]] -= w;
                } else {
                    b[unknown[i]][0] += w * u[j];
                    b[unknown[i]][1] += w * v[j];
                }
            }
        }
    }
    Solve(a, b);
    std::vector<Vec2> uv(n);
    for (int i = 0; i < n; ++i) {
        uv[i] = unknown[i] < 0 ? Vec2{static_cast<float>(u[i]), static_cast<float>(v[i])}
                               : Vec2{static_cast<float>(b[unknown[i]][0]),
                                      static_cast<float>(b[unknown[i]][1])};
    }
    return uv;
}

} // namespace

StoredHead StoreHead(const WeldedHead& head, const std::vector<Vec3>& scaled,
                     const std::map<int, int>& pins) {
    const HeadLayout& layout = head.layout;
    StoredHead out;
    out.storedOfWelded = NumberVertices(head, scaled, pins);
    const int welded = static_cast<int>(scaled.size());
    const int total = welded + kMidlineBack;
    out.positions.resize(total);
    out.weldedOfStored.resize(total);
    for (int w = 0; w < welded; ++w) {
        out.positions[out.storedOfWelded[w]] = scaled[w];
        out.weldedOfStored[out.storedOfWelded[w]] = w;
    }
    std::map<int, int> copyOf; // welded back-midline vertex -> stored number of its copy
    for (int k = 0; k < kMidlineBack; ++k) {
        const int w = layout.back[k];
        copyOf[w] = welded + k;
        out.positions[welded + k] = scaled[w];
        out.weldedOfStored[welded + k] = w;
    }
    // Triangles right of the back midline use the copies, so the texture opens along it.
    for (const Triangle& t : head.triangles) {
        const double cx = scaled[t[0]].x + scaled[t[1]].x + scaled[t[2]].x;
        for (int k = 0; k < 3; ++k) {
            const auto it = copyOf.find(t[k]);
            const bool useCopy = it != copyOf.end() && cx > 0;
            out.indices.push_back(
                static_cast<uint32_t>(useCopy ? it->second : out.storedOfWelded[t[k]]));
        }
    }
    out.modelUV = LayOutTexture(out);
    return out;
}

} // namespace vm::headgen
