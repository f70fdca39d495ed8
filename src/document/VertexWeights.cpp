#include "document/VertexWeights.h"

#include <algorithm>
#include <stdexcept>

namespace vm {

namespace {

bool VertexLess(const VertexWeights::value_type& entry, uint32_t vertex) {
    return entry.first < vertex;
}

} // namespace

void VertexWeights::Set(uint32_t vertex, float weight) {
    if (m_entries.empty() || m_entries.back().first < vertex) {
        m_entries.emplace_back(vertex, weight);
        return;
    }
    const auto place = std::lower_bound(m_entries.begin(), m_entries.end(), vertex, VertexLess);
    if (place != m_entries.end() && place->first == vertex) {
        place->second = weight;
        return;
    }
    m_entries.insert(place, {vertex, weight});
}

VertexWeights::const_iterator VertexWeights::find(uint32_t vertex) const {
    const auto place = std::lower_bound(m_entries.begin(), m_entries.end(), vertex, VertexLess);
    return place != m_entries.end() && place->first == vertex ? place : m_entries.end();
}

float VertexWeights::at(uint32_t vertex) const {
    const auto place = find(vertex);
    if (place == end()) {
        throw std::out_of_range("vertex has no weight");
    }
    return place->second;
}

} // namespace vm
