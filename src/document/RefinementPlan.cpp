#include "document/RefinementPlan.h"

#include "platform/core/Exceptions.h"

#include <atomic>
#include <cmath>
#include <cstring>

namespace vm {

namespace {

std::atomic<uint64_t> g_nextPlanId{1};

constexpr uint32_t kValenceMask = 0x7FFFFFFF;

bool IsSharp(const SubdivisionStage& stage, uint32_t vertex) {
    return (DecodeVertexRule(stage.rules[vertex]).flags & kRuleSharp) != 0;
}

// Offsets, in floats, of the mixed fields inside HeadVertex (the colour sits at float 6).
constexpr int kLaneToVertex[12] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12};

} // namespace

float LoopVertexWeight(uint32_t valence) {
    const float twoPi = 6.2831855f;
    const float angle = twoPi / static_cast<float>(valence);
    const float cosine = std::cos(angle);
    const float base = 3.0f + 2.0f * cosine;
    const float t = (40.0f - base * base) / 64.0f;
    return t;
}

RefinementPlan::RefinementPlan(const SubdivisionStage& stage, uint32_t inputVertexCount)
    : m_id(g_nextPlanId++), m_inputCount(inputVertexCount) {
    const auto ruleCount = static_cast<uint32_t>(stage.rules.size());
    // Output vertex numbers are 16-bit.
    if (inputVertexCount > ruleCount || ruleCount > 0x10000) {
        throw InvalidArgumentException();
    }
    m_begin.reserve(ruleCount + 1);
    m_terms.reserve(ruleCount * 5);
    for (uint32_t i = 0; i < ruleCount; ++i) {
        m_begin.push_back(static_cast<uint32_t>(m_terms.size()));
        if (i < inputVertexCount) {
            AddVertexRule(stage, i);
        } else {
            AddEdgeRule(DecodeEdgeRule(stage.rules[i]));
        }
    }
    m_begin.push_back(static_cast<uint32_t>(m_terms.size()));
    for (uint16_t index : stage.indices) {
        if (index >= ruleCount) {
            throw InvalidArgumentException();
        }
    }
    m_indices = stage.indices;
}

void RefinementPlan::AddVertexRule(const SubdivisionStage& stage, uint32_t i) {
    const VertexRule rule = DecodeVertexRule(stage.rules[i]);
    const uint32_t valence = rule.valence & kValenceMask;
    // Walk the neighbour list once, validating every cell; cell 0 ends a list.
    std::vector<uint32_t> neighbours;
    neighbours.reserve(valence);
    uint32_t cell = rule.firstLink;
    for (uint32_t k = 0; k < valence && cell != 0; ++k) {
        if (cell >= stage.links.size()) {
            throw InvalidArgumentException();
        }
        const uint32_t neighbour = stage.links[cell].vertex;
        if (neighbour >= m_inputCount) {
            throw InvalidArgumentException();
        }
        neighbours.push_back(neighbour);
        cell = stage.links[cell].next;
    }
    if (rule.flags & kRuleSharp) {
        uint32_t sharpNeighbours[2];
        int found = 0;
        for (uint32_t n : neighbours) {
            if (IsSharp(stage, n)) {
                sharpNeighbours[found++] = n;
                if (found == 2) {
                    break;
                }
            }
        }
        if (found == 2) {
            m_terms.push_back({i, 0.75f});
            m_terms.push_back({sharpNeighbours[0], 0.125f});
            m_terms.push_back({sharpNeighbours[1], 0.125f});
            return;
        }
    }
    if (valence == 0) {
        // No neighbours: the smooth rule would divide by zero; the vertex keeps its place.
        m_terms.push_back({i, 1.0f});
        return;
    }
    if (neighbours.size() < valence) {
        throw InvalidArgumentException(); // the list is shorter than its valence
    }
    const float t = LoopVertexWeight(valence);
    m_terms.push_back({i, 1.0f - t});
    const float share = t / static_cast<float>(valence);
    for (uint32_t n : neighbours) {
        m_terms.push_back({n, share});
    }
}

void RefinementPlan::AddEdgeRule(const EdgeRule& rule) {
    const bool crease = rule.c == rule.d;
    if (rule.a >= m_inputCount || rule.b >= m_inputCount ||
        (!crease && (rule.c >= m_inputCount || rule.d >= m_inputCount))) {
        throw InvalidArgumentException();
    }
    if (crease) {
        m_terms.push_back({rule.a, 0.5f});
        m_terms.push_back({rule.b, 0.5f});
        return;
    }
    m_terms.push_back({rule.a, 0.375f});
    m_terms.push_back({rule.b, 0.375f});
    m_terms.push_back({rule.c, 0.125f});
    m_terms.push_back({rule.d, 0.125f});
}

namespace {

// Four floats mixed at once; each lane does exactly the scalar multiply and add.
using Float4 = float __attribute__((vector_size(16)));

Float4 Load4(const float* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

template <typename Store> void RefinementPlan::Mix(const RefineLane* in, Store store) const {
    const uint32_t count = OutputCount();
    const Term* terms = m_terms.data();
    const uint32_t* begin = m_begin.data();
    for (uint32_t i = 0; i < count; ++i) {
        Float4 a0 = {}, a1 = {}, a2 = {};
        for (uint32_t k = begin[i]; k < begin[i + 1]; ++k) {
            const float w = terms[k].weight;
            const Float4 w4 = {w, w, w, w};
            const float* src = in[terms[k].source].f;
            a0 += w4 * Load4(src);
            a1 += w4 * Load4(src + 4);
            a2 += w4 * Load4(src + 8);
        }
        float mixed[12];
        std::memcpy(mixed, &a0, sizeof a0);
        std::memcpy(mixed + 4, &a1, sizeof a1);
        std::memcpy(mixed + 8, &a2, sizeof a2);
        store(i, mixed);
    }
}

void RefinementPlan::Refine(const std::vector<RefineLane>& in, std::vector<RefineLane>& out) const {
    out.resize(OutputCount());
    RefineLane* target = out.data();
    Mix(in.data(), [target](uint32_t i, const float* mixed) {
        std::memcpy(target[i].f, mixed, sizeof target[i].f);
    });
}

void RefinementPlan::Refine(const std::vector<RefineLane>& in, HeadVertex* out) const {
    Mix(in.data(), [out](uint32_t i, const float* f) {
        HeadVertex& v = out[i];
        v.position = {f[0], f[1], f[2]};
        v.normal = {f[3], f[4], f[5]};
        v.frontUV = {f[6], f[7]};
        v.sideUV = {f[8], f[9]};
        v.modelUV = {f[10], f[11]};
    });
}

void RefinementPlan::RefineColours(const uint32_t* in, uint32_t* out) const {
    const uint32_t count = OutputCount();
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t r = 0, g = 0, b = 0;
        for (uint32_t k = m_begin[i]; k < m_begin[i + 1]; ++k) {
            const float w = m_terms[k].weight;
            const uint32_t c = in[m_terms[k].source];
            r = (r + static_cast<uint32_t>(static_cast<int32_t>(w * float((c >> 16) & 0xFF)))) &
                0xFF;
            g = (g + static_cast<uint32_t>(static_cast<int32_t>(w * float((c >> 8) & 0xFF)))) &
                0xFF;
            b = (b + static_cast<uint32_t>(static_cast<int32_t>(w * float(c & 0xFF)))) & 0xFF;
        }
        out[i] = (r << 16) | (g << 8) | b;
    }
}

void PackLanes(const std::vector<HeadVertex>& vertices, std::vector<RefineLane>& lanes) {
    lanes.resize(vertices.size());
    for (size_t i = 0; i < vertices.size(); ++i) {
        float raw[13];
        std::memcpy(raw, &vertices[i], sizeof raw);
        for (int j = 0; j < 12; ++j) {
            lanes[i].f[j] = raw[kLaneToVertex[j]];
        }
    }
}

void MeshRefiner::Refine(const Mesh& in, const RefinementPlan* const* plans, int planCount,
                         Mesh& out) {
    // Each stage's index list must fill exactly four triangles per input triangle; a table made
    // for another mesh is refused before anything is written.
    size_t inputFaces = in.FaceCount();
    for (int s = 0; s < planCount; ++s) {
        if (plans[s]->Indices().size() != 12 * inputFaces ||
            plans[s]->InputCount() != (s == 0 ? in.VertexCount() : plans[s - 1]->OutputCount())) {
            throw InvalidArgumentException();
        }
        inputFaces = plans[s]->Indices().size() / 3;
    }
    const RefinementPlan& last = *plans[planCount - 1];
    const uint32_t outCount = last.OutputCount();

    bool coloursValid = m_colourPlanCount == planCount && m_outputColours.size() == outCount &&
                        m_inputColours.size() == in.vertices.size();
    for (int s = 0; coloursValid && s < planCount; ++s) {
        coloursValid = m_colourPlanIds[s] == plans[s]->Id();
    }
    for (size_t i = 0; coloursValid && i < in.vertices.size(); ++i) {
        coloursValid = m_inputColours[i] == in.vertices[i].diffuse;
    }
    if (!coloursValid) {
        m_inputColours.resize(in.vertices.size());
        for (size_t i = 0; i < in.vertices.size(); ++i) {
            m_inputColours[i] = in.vertices[i].diffuse;
        }
        const uint32_t* source = m_inputColours.data();
        for (int s = 0; s < planCount; ++s) {
            auto& target = (s == planCount - 1) ? m_outputColours : m_colours[s & 1];
            target.resize(plans[s]->OutputCount());
            plans[s]->RefineColours(source, target.data());
            source = target.data();
            m_colourPlanIds[s] = plans[s]->Id();
        }
        m_colourPlanCount = planCount;
    }

    const bool reshaped = out.vertices.size() != outCount ||
                          out.indices.size() != last.Indices().size() || out.fvf != kHeadVertexFvf;
    if (reshaped) {
        out.vertices.assign(outCount, HeadVertex{});
        out.indices.resize(last.Indices().size());
        out.attributes.assign(out.indices.size() / 3, 0);
        out.fvf = kHeadVertexFvf;
        out.options = MESH_SYSTEMMEM;
    }
    // The triangle list only changes with the stage; copy it when the stage or the mesh did.
    if (reshaped || m_indicesPlanId != last.Id() || m_indicesTarget != &out) {
        std::copy(last.Indices().begin(), last.Indices().end(), out.indices.begin());
        m_indicesPlanId = last.Id();
        m_indicesTarget = &out;
    }
    out.numMaterials = in.numMaterials;
    // Intermediate stages mix packed lanes; the last one writes the output vertices directly.
    PackLanes(in.vertices, m_lanes[0]);
    int current = 0;
    for (int s = 0; s + 1 < planCount; ++s) {
        plans[s]->Refine(m_lanes[current], m_lanes[1 - current]);
        current = 1 - current;
    }
    last.Refine(m_lanes[current], out.vertices.data());
    for (uint32_t i = 0; i < outCount; ++i) {
        out.vertices[i].diffuse = m_outputColours[i];
    }
}

} // namespace vm
