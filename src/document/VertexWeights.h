#pragma once
// How strongly each vertex follows one feature point.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace vm {

// Vertex index -> weight, in vertex order and in one block of memory: a drag and a save walk
// whole lists, a new document builds them in vertex order, and a file may repeat an index.
class VertexWeights {
public:
    using value_type = std::pair<uint32_t, float>;
    using const_iterator = std::vector<value_type>::const_iterator;

    VertexWeights() = default;
    VertexWeights(std::initializer_list<value_type> entries) {
        for (const auto& [vertex, weight] : entries) {
            Set(vertex, weight);
        }
    }

    // Sets the weight of a vertex, replacing an earlier one. Cheap when vertices come in order.
    void Set(uint32_t vertex, float weight);

    const_iterator begin() const { return m_entries.begin(); }
    const_iterator end() const { return m_entries.end(); }
    const_iterator find(uint32_t vertex) const;
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    size_t count(uint32_t vertex) const { return find(vertex) == end() ? 0 : 1; }
    // Throws std::out_of_range for a vertex without a weight.
    float at(uint32_t vertex) const;
    void clear() { m_entries.clear(); }
    void reserve(size_t count) { m_entries.reserve(count); }

    bool operator==(const VertexWeights&) const = default;

private:
    std::vector<value_type> m_entries; // ascending vertex index, each once
};

} // namespace vm
