#include "subdivgen/SubdivisionTableBuilder.h"

#include "platform/core/Exceptions.h"

#include <algorithm>
#include <bit>
#include <map>
#include <tuple>

namespace vm {

namespace {

struct EdgeRecord {
    uint32_t faces[2] = {};
    int faceCount = 0;
    uint32_t a = 0, b = 0; // input indices of the ends as the first face holds them
};

// Edges keyed by their welded ends, numbered in order of first appearance.
struct EdgeTable {
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> index;
    std::vector<EdgeRecord> edges;

    uint32_t Find(uint32_t weldedA, uint32_t weldedB) const {
        return index.at(std::minmax(weldedA, weldedB));
    }
};

uint32_t Corner(const std::vector<uint32_t>& triangles, uint32_t face, int corner) {
    return triangles[3 * face + static_cast<uint32_t>(corner)];
}

EdgeTable CollectEdges(const std::vector<uint32_t>& weld, const std::vector<uint32_t>& triangles) {
    EdgeTable table;
    const auto faceCount = static_cast<uint32_t>(triangles.size() / 3);
    for (uint32_t f = 0; f < faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            const uint32_t p = Corner(triangles, f, k);
            const uint32_t q = Corner(triangles, f, (k + 1) % 3);
            const auto key = std::minmax(weld[p], weld[q]);
            if (key.first == key.second) {
                throw InvalidArgumentException(); // a degenerate face has no edge to split
            }
            auto [it, added] = table.index.emplace(key, static_cast<uint32_t>(table.edges.size()));
            if (added) {
                table.edges.push_back(EdgeRecord{{f, 0}, 0, p, q});
            }
            EdgeRecord& edge = table.edges[it->second];
            if (edge.faceCount == 2) {
                throw InvalidArgumentException(); // not a manifold surface
            }
            edge.faces[edge.faceCount++] = f;
        }
    }
    return table;
}

// The corner of face f that is not on the edge with welded ends wa, wb.
uint32_t OppositeCorner(const std::vector<uint32_t>& weld, const std::vector<uint32_t>& triangles,
                        uint32_t f, uint32_t wa, uint32_t wb) {
    for (int k = 0; k < 3; ++k) {
        const uint32_t v = Corner(triangles, f, k);
        if (weld[v] != wa && weld[v] != wb) {
            return v;
        }
    }
    throw InvalidArgumentException();
}

struct NeighbourEntry {
    bool boundary = false; // joined by a boundary edge: such neighbours come first
    uint32_t welded = 0;
    uint32_t stored = 0; // the copy the list names: the one in the edge's first face
};

// Neighbour lists per welded vertex, and which welded vertices lie on the boundary.
std::vector<std::vector<NeighbourEntry>> CollectNeighbours(const std::vector<uint32_t>& weld,
                                                           const EdgeTable& table,
                                                           std::vector<bool>& boundary) {
    std::vector<std::vector<NeighbourEntry>> lists(weld.size());
    boundary.assign(weld.size(), false);
    for (const EdgeRecord& edge : table.edges) {
        const bool open = edge.faceCount == 1;
        const uint32_t wa = weld[edge.a], wb = weld[edge.b];
        lists[wa].push_back({open, wb, edge.b});
        lists[wb].push_back({open, wa, edge.a});
        if (open) {
            boundary[wa] = boundary[wb] = true;
        }
    }
    for (auto& list : lists) {
        std::sort(list.begin(), list.end(), [](const NeighbourEntry& x, const NeighbourEntry& y) {
            return std::tie(y.boundary, x.welded) < std::tie(x.boundary, y.welded);
        });
    }
    return lists;
}

void AddVertexRules(const std::vector<uint32_t>& weld,
                    const std::vector<std::vector<NeighbourEntry>>& lists,
                    const std::vector<bool>& boundary, SubdivisionStage& stage) {
    stage.links.assign(1, NeighbourLink{}); // cell 0 is never used: 0 ends a list
    for (uint32_t i = 0; i < weld.size(); ++i) {
        const auto& list = lists[weld[i]];
        VertexRule rule;
        rule.firstLink = list.empty() ? 0 : static_cast<uint32_t>(stage.links.size());
        rule.valence = static_cast<uint32_t>(list.size());
        rule.flags = boundary[weld[i]] ? kRuleSharp : 0;
        rule.self = i;
        for (size_t k = 0; k < list.size(); ++k) {
            const bool last = k + 1 == list.size();
            const auto next = static_cast<uint32_t>(stage.links.size() + 1);
            stage.links.push_back({static_cast<uint16_t>(list[k].stored), 0, last ? 0 : next});
        }
        stage.rules.push_back(EncodeVertexRule(rule));
    }
}

void AddEdgeRules(const std::vector<uint32_t>& weld, const std::vector<uint32_t>& triangles,
                  const EdgeTable& table, SubdivisionStage& stage) {
    for (const EdgeRecord& edge : table.edges) {
        EdgeRule rule;
        rule.a = static_cast<uint16_t>(edge.a);
        rule.b = static_cast<uint16_t>(edge.b);
        rule.c = rule.d = kNoWing;
        if (edge.faceCount == 2) {
            const uint32_t wa = weld[edge.a], wb = weld[edge.b];
            rule.c = static_cast<uint16_t>(OppositeCorner(weld, triangles, edge.faces[0], wa, wb));
            rule.d = static_cast<uint16_t>(OppositeCorner(weld, triangles, edge.faces[1], wa, wb));
        }
        rule.self = static_cast<uint32_t>(stage.rules.size());
        stage.rules.push_back(EncodeEdgeRule(rule));
    }
}

void AddIndices(const std::vector<uint32_t>& weld, const std::vector<uint32_t>& triangles,
                const EdgeTable& table, SubdivisionStage& stage) {
    const auto n = static_cast<uint32_t>(weld.size());
    auto e = [&](uint32_t x, uint32_t y) {
        return static_cast<uint16_t>(n + table.Find(weld[x], weld[y]));
    };
    for (size_t f = 0; f < triangles.size() / 3; ++f) {
        const auto p = static_cast<uint16_t>(triangles[3 * f]);
        const auto q = static_cast<uint16_t>(triangles[3 * f + 1]);
        const auto r = static_cast<uint16_t>(triangles[3 * f + 2]);
        const uint16_t pq = e(p, q), qr = e(q, r), rp = e(r, p);
        stage.indices.insert(stage.indices.end(), {p, pq, rp, pq, q, qr, qr, r, rp, qr, rp, pq});
    }
}

} // namespace

std::vector<uint32_t> WeldByPosition(const std::vector<Vec3>& positions) {
    std::map<std::tuple<uint32_t, uint32_t, uint32_t>, uint32_t> first;
    std::vector<uint32_t> weld(positions.size());
    for (uint32_t i = 0; i < positions.size(); ++i) {
        const Vec3& p = positions[i];
        // Bit patterns, so that only truly identical positions meet (and -0 stays apart
        // from +0, which a mesh never relies on).
        const auto key = std::make_tuple(std::bit_cast<uint32_t>(p.x), std::bit_cast<uint32_t>(p.y),
                                         std::bit_cast<uint32_t>(p.z));
        weld[i] = first.emplace(key, i).first->second;
    }
    return weld;
}

BuiltStage BuildSubdivisionStage(const std::vector<uint32_t>& weld,
                                 const std::vector<uint32_t>& triangles) {
    const auto n = static_cast<uint32_t>(weld.size());
    for (uint32_t i = 0; i < n; ++i) {
        if (weld[i] > i || weld[weld[i]] != weld[i]) {
            throw InvalidArgumentException();
        }
    }
    for (uint32_t v : triangles) {
        if (v >= n) {
            throw InvalidArgumentException();
        }
    }
    const EdgeTable table = CollectEdges(weld, triangles);
    if (n + table.edges.size() > 0x10000) {
        throw InvalidArgumentException(); // output vertex numbers are 16-bit
    }
    std::vector<bool> boundary;
    const auto lists = CollectNeighbours(weld, table, boundary);

    BuiltStage built;
    AddVertexRules(weld, lists, boundary, built.stage);
    AddEdgeRules(weld, triangles, table, built.stage);
    AddIndices(weld, triangles, table, built.stage);
    built.outputWeld = weld;
    for (uint32_t e = 0; e < table.edges.size(); ++e) {
        built.outputWeld.push_back(n + e);
    }
    return built;
}

} // namespace vm
