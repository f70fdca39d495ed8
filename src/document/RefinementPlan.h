#pragma once
// A subdivision stage flattened for the drag loop: for every output vertex the list of
// (input vertex, weight) terms in the order the stage's rules add them, so that refining is one
// pass of multiply-adds with the same single-precision arithmetic as the rules themselves, and
// needs no allocation once the output buffers exist.
#include "document/SubdivisionStage.h"
#include "platform/mesh/Mesh.h"

#include <cstdint>
#include <vector>

namespace vm {

// The twelve floats of a vertex that refinement mixes: position, normal and the three texture
// sets, packed without the colour so that the mixing loop runs over contiguous floats.
struct RefineLane {
    float f[12];
};

class RefinementPlan {
public:
    RefinementPlan() = default;
    // Validates the stage against an input mesh of inputVertexCount vertices (InvalidArgument
    // for a list cell, neighbour, edge end or vertex number out of range).
    RefinementPlan(const SubdivisionStage& stage, uint32_t inputVertexCount);

    bool IsEmpty() const { return m_begin.empty(); }
    uint32_t InputCount() const { return m_inputCount; }
    uint32_t OutputCount() const { return static_cast<uint32_t>(m_begin.size()) - 1; }
    const std::vector<uint16_t>& Indices() const { return m_indices; }
    // Distinct for every plan built, so caches can tell a re-read stage from the old one.
    uint64_t Id() const { return m_id; }

    void Refine(const std::vector<RefineLane>& in, std::vector<RefineLane>& out) const;
    // Writes the mixed floats into out's OutputCount() vertices; their colours stay.
    void Refine(const std::vector<RefineLane>& in, HeadVertex* out) const;
    // Byte-wise colour mixing: red, green and blue add the integer part of weight x byte modulo
    // 256, alpha ends 0.
    void RefineColours(const uint32_t* in, uint32_t* out) const;

private:
    struct Term {
        uint32_t source;
        float weight;
    };
    template <typename Store> void Mix(const RefineLane* in, Store store) const;
    void AddVertexRule(const SubdivisionStage& stage, uint32_t i);
    void AddEdgeRule(const EdgeRule& rule);

    uint64_t m_id = 0;
    uint32_t m_inputCount = 0;
    std::vector<uint32_t> m_begin; // output i uses terms m_begin[i] .. m_begin[i+1]-1
    std::vector<Term> m_terms;
    std::vector<uint16_t> m_indices;
};

// Loop's smooth-vertex weight t for valence n, with every intermediate held in single precision.
float LoopVertexWeight(uint32_t valence);

void PackLanes(const std::vector<HeadVertex>& vertices, std::vector<RefineLane>& lanes);

// Refines a mesh by one or two stages into out, reusing out's buffers and the scratch lanes.
// The colours are mixed again only when the input colours changed since the last call.
class MeshRefiner {
public:
    void Refine(const Mesh& in, const RefinementPlan* const* plans, int planCount, Mesh& out);

private:
    std::vector<RefineLane> m_lanes[2];
    std::vector<uint32_t> m_colours[2];
    std::vector<uint32_t> m_inputColours;
    uint64_t m_colourPlanIds[2] = {};
    int m_colourPlanCount = -1;
    std::vector<uint32_t> m_outputColours;
    uint64_t m_indicesPlanId = 0;
    const Mesh* m_indicesTarget = nullptr;
};

} // namespace vm
