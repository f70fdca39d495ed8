#pragma once
// One precomputed Loop subdivision step: for every output vertex, the rule that mixes it from
// input vertices, and the output triangle list.
#include <cstdint>
#include <vector>

namespace vm {

#pragma pack(push, 1)
struct NeighbourLink {
    uint16_t vertex = 0; // input vertex index
    uint16_t zero = 0;
    uint32_t next = 0; // next cell of the same list; 0 ends the list (cell 0 is never used)
};
static_assert(sizeof(NeighbourLink) == 8);

// The 16 bytes of a rule as stored; the first N rules are vertex rules, the rest edge rules.
struct SubdivisionRule {
    uint8_t bytes[16] = {};
};
static_assert(sizeof(SubdivisionRule) == 16);
#pragma pack(pop)

struct VertexRule {
    uint32_t firstLink = 0;
    uint32_t valence = 0; // bit 31 is ignored
    uint8_t flags = 0;    // bit 0: sharp (boundary or crease)
    uint32_t self = 0;
};
constexpr uint8_t kRuleSharp = 0x01;

struct EdgeRule {
    uint16_t a = 0, b = 0; // edge ends
    uint16_t c = 0, d = 0; // wings: vertices opposite the edge; c == d makes it a crease
    uint32_t self = 0;
};
constexpr uint16_t kNoWing = 0xFFFF;

VertexRule DecodeVertexRule(const SubdivisionRule& rule);
EdgeRule DecodeEdgeRule(const SubdivisionRule& rule);
SubdivisionRule EncodeVertexRule(const VertexRule& rule);
SubdivisionRule EncodeEdgeRule(const EdgeRule& rule);

struct SubdivisionStage {
    std::vector<NeighbourLink> links;
    std::vector<SubdivisionRule> rules;
    std::vector<uint16_t> indices;
    // Crease lists (base-mesh vertex lists ended by -1) attached by the subdivision options.
    const int32_t* creaseLists[10] = {};
    int creaseListCount = 0;
};

} // namespace vm
