#pragma once
// A direct Loop subdivision step written from the textbook rules, independent of the tables:
// co-located vertices are one vertex, boundary vertices and edges use the crease rules.
#include "platform/mesh/Mesh.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace vm::test {

class LoopOracle {
public:
    explicit LoopOracle(const Mesh& mesh) {
        for (const HeadVertex& v : mesh.vertices) {
            m_id.push_back(Weld(v.position));
        }
        for (size_t f = 0; f < mesh.FaceCount(); ++f) {
            for (int k = 0; k < 3; ++k) {
                const uint32_t a = m_id[mesh.indices[3 * f + k]];
                const uint32_t b = m_id[mesh.indices[3 * f + (k + 1) % 3]];
                const uint32_t c = m_id[mesh.indices[3 * f + (k + 2) % 3]];
                m_opposite[Key(a, b)].push_back(c);
                m_neighbours[a].insert(b);
                m_neighbours[b].insert(a);
            }
        }
    }

    // The refined place of input vertex i.
    Vec3 VertexPoint(uint32_t i) const {
        const uint32_t v = m_id[i];
        std::vector<uint32_t> rim;
        for (uint32_t w : m_neighbours.at(v)) {
            if (m_opposite.at(Key(v, w)).size() == 1) {
                rim.push_back(w);
            }
        }
        if (!rim.empty()) {
            return Mix({{v, 0.75}, {rim.at(0), 0.125}, {rim.at(1), 0.125}});
        }
        const double n = static_cast<double>(m_neighbours.at(v).size());
        const double c = 3.0 + 2.0 * std::cos(2.0 * M_PI / n);
        const double t = (40.0 - c * c) / 64.0;
        std::vector<std::pair<uint32_t, double>> parts{{v, 1.0 - t}};
        for (uint32_t w : m_neighbours.at(v)) {
            parts.push_back({w, t / n});
        }
        return Mix(parts);
    }

    // The new vertex on the edge between input vertices i and j.
    Vec3 EdgePoint(uint32_t i, uint32_t j) const {
        const uint32_t a = m_id[i], b = m_id[j];
        const auto& wings = m_opposite.at(Key(a, b));
        if (wings.size() == 1) {
            return Mix({{a, 0.5}, {b, 0.5}});
        }
        return Mix({{a, 0.375}, {b, 0.375}, {wings.at(0), 0.125}, {wings.at(1), 0.125}});
    }

    size_t WeldedCount() const { return m_positions.size(); }

private:
    uint32_t Weld(const Vec3& p) {
        for (uint32_t k = 0; k < m_positions.size(); ++k) {
            if (m_positions[k] == p) {
                return k;
            }
        }
        m_positions.push_back(p);
        return static_cast<uint32_t>(m_positions.size() - 1);
    }

    static std::pair<uint32_t, uint32_t> Key(uint32_t a, uint32_t b) {
        return a < b ? std::make_pair(a, b) : std::make_pair(b, a);
    }

    Vec3 Mix(const std::vector<std::pair<uint32_t, double>>& parts) const {
        double x = 0, y = 0, z = 0;
        for (auto [v, w] : parts) {
            x += w * m_positions[v].x;
            y += w * m_positions[v].y;
            z += w * m_positions[v].z;
        }
        return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    }

    std::vector<Vec3> m_positions;
    std::vector<uint32_t> m_id;
    std::map<std::pair<uint32_t, uint32_t>, std::vector<uint32_t>> m_opposite;
    std::map<uint32_t, std::set<uint32_t>> m_neighbours;
};

inline void ExpectNear(const Vec3& actual, const Vec3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// Table-driven refinement must agree with the direct rules at every vertex rule and at the
// three edge vertices of every face.
inline void ExpectMatchesOracle(const Mesh& input, const Mesh& output, float tolerance) {
    LoopOracle oracle(input);
    ASSERT_EQ(output.FaceCount(), 4 * input.FaceCount());
    for (uint32_t i = 0; i < input.VertexCount(); ++i) {
        ExpectNear(output.vertices[i].position, oracle.VertexPoint(i), tolerance);
    }
    for (uint32_t f = 0; f < input.FaceCount(); ++f) {
        const uint32_t p = input.indices[3 * f], q = input.indices[3 * f + 1],
                       r = input.indices[3 * f + 2];
        const uint32_t* out = &output.indices[12 * f];
        EXPECT_EQ(out[0], p);
        EXPECT_EQ(out[4], q);
        EXPECT_EQ(out[7], r);
        ExpectNear(output.vertices[out[1]].position, oracle.EdgePoint(p, q), tolerance);
        ExpectNear(output.vertices[out[5]].position, oracle.EdgePoint(q, r), tolerance);
        ExpectNear(output.vertices[out[2]].position, oracle.EdgePoint(r, p), tolerance);
    }
}

} // namespace vm::test
