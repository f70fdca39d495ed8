#include "document/Subdivision.h"

#include "platform/core/Exceptions.h"

#include <cmath>

namespace vm {

namespace {

// A bound rule table: every index is checked before it is used.
class StageView {
public:
    StageView(const SubdivisionStage& stage, uint32_t inputVertexCount)
        : m_stage(stage), m_inputCount(inputVertexCount) {}

    const VertexRule& Vertex(uint32_t i) const { return m_vertexRules[i]; }

    void DecodeVertexRules() {
        if (m_stage.rules.size() < m_inputCount) {
            throw InvalidArgumentException();
        }
        m_vertexRules.resize(m_inputCount);
        // Every list cell serves one vertex, so the valences together cannot exceed the cells;
        // a larger valence with a looping list would otherwise keep a walk going for billions
        // of steps.
        uint64_t cells = 0;
        for (uint32_t i = 0; i < m_inputCount; ++i) {
            m_vertexRules[i] = DecodeVertexRule(m_stage.rules[i]);
            cells += m_vertexRules[i].valence & 0x7FFFFFFFu;
        }
        if (cells > m_stage.links.size()) {
            throw InvalidArgumentException();
        }
    }

    // The neighbour in list cell `cell`, validated.
    uint32_t Neighbour(uint32_t cell) const {
        if (cell >= m_stage.links.size() || m_stage.links[cell].vertex >= m_inputCount) {
            throw InvalidArgumentException();
        }
        return m_stage.links[cell].vertex;
    }

    uint32_t Next(uint32_t cell) const { return m_stage.links[cell].next; }

    void CheckInput(uint32_t vertex) const {
        if (vertex >= m_inputCount) {
            throw InvalidArgumentException();
        }
    }

private:
    const SubdivisionStage& m_stage;
    uint32_t m_inputCount;
    std::vector<VertexRule> m_vertexRules;
};

// out += w * v: floats scaled and summed; colour bytes summed modulo 256 from truncated
// products, alpha cleared.
void AddWeighted(HeadVertex& out, float w, const HeadVertex& v) {
    out.position = {out.position.x + w * v.position.x, out.position.y + w * v.position.y,
                    out.position.z + w * v.position.z};
    out.normal = {out.normal.x + w * v.normal.x, out.normal.y + w * v.normal.y,
                  out.normal.z + w * v.normal.z};
    out.frontUV = {out.frontUV.x + w * v.frontUV.x, out.frontUV.y + w * v.frontUV.y};
    out.sideUV = {out.sideUV.x + w * v.sideUV.x, out.sideUV.y + w * v.sideUV.y};
    out.modelUV = {out.modelUV.x + w * v.modelUV.x, out.modelUV.y + w * v.modelUV.y};
    uint32_t colour = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const auto outByte = static_cast<uint32_t>((out.diffuse >> shift) & 0xFF);
        const auto inByte = static_cast<float>((v.diffuse >> shift) & 0xFF);
        const auto sum = (outByte + static_cast<uint32_t>(w * inByte)) & 0xFF;
        colour |= sum << shift;
    }
    out.diffuse = colour;
}

// Loop's smooth weight for valence n, every intermediate held in single precision so that
// the result does not depend on the compiler's choice of precision.
float SmoothWeight(uint32_t valence) {
    const float angle = 6.2831855f / static_cast<float>(valence);
    const float cosine = std::cos(angle);
    const float sum = 3.0f + 2.0f * cosine;
    const float t = (40.0f - sum * sum) / 64.0f;
    return t;
}

void MixSmoothVertex(const StageView& view, const VertexRule& rule, const Mesh& input, uint32_t i,
                     HeadVertex& out) {
    const uint32_t valence = rule.valence & 0x7FFFFFFFu;
    out = HeadVertex{};
    if (valence == 0) {
        // A vertex without neighbours keeps its place; the formula would divide by zero.
        AddWeighted(out, 1.0f, input.vertices[i]);
        return;
    }
    const float t = SmoothWeight(valence);
    const float share = t / static_cast<float>(valence);
    AddWeighted(out, 1.0f - t, input.vertices[i]);
    uint32_t cell = rule.firstLink;
    for (uint32_t k = 0; k < valence; ++k) {
        if (cell == 0) {
            throw InvalidArgumentException(); // the list is shorter than its valence
        }
        AddWeighted(out, share, input.vertices[view.Neighbour(cell)]);
        cell = view.Next(cell);
    }
}

// Boundary and crease vertices follow their two sharp neighbours; false when the list holds
// fewer than two, and the smooth rule applies instead.
bool MixSharpVertex(const StageView& view, const VertexRule& rule, const Mesh& input, uint32_t i,
                    HeadVertex& out) {
    const uint32_t valence = rule.valence & 0x7FFFFFFFu;
    out = HeadVertex{};
    AddWeighted(out, 0.75f, input.vertices[i]);
    int found = 0;
    uint32_t cell = rule.firstLink;
    // The walk stops after valence cells even if the links form a loop.
    for (uint32_t k = 0; k < valence && cell != 0; ++k) {
        const uint32_t neighbour = view.Neighbour(cell);
        if (view.Vertex(neighbour).flags & kRuleSharp) {
            AddWeighted(out, 0.125f, input.vertices[neighbour]);
            if (++found == 2) {
                return true;
            }
        }
        cell = view.Next(cell);
    }
    return false;
}

void MixEdgeVertex(const StageView& view, const EdgeRule& rule, const Mesh& input,
                   HeadVertex& out) {
    view.CheckInput(rule.a);
    view.CheckInput(rule.b);
    const HeadVertex& a = input.vertices[rule.a];
    const HeadVertex& b = input.vertices[rule.b];
    if (rule.c == rule.d) {
        AddWeighted(out, 0.5f, a);
        AddWeighted(out, 0.5f, b);
        return;
    }
    view.CheckInput(rule.c);
    view.CheckInput(rule.d);
    AddWeighted(out, 0.375f, a);
    AddWeighted(out, 0.375f, b);
    AddWeighted(out, 0.125f, input.vertices[rule.c]);
    AddWeighted(out, 0.125f, input.vertices[rule.d]);
}

} // namespace

Mesh ApplySubdivisionStage(const SubdivisionStage& stage, const Mesh& input) {
    const uint32_t inputCount = input.VertexCount();
    const auto ruleCount = static_cast<uint32_t>(stage.rules.size());
    const uint32_t faceCount = 4 * input.FaceCount();
    // The index list must fill exactly the 4F triangles of the output; anything else means the
    // table was made for another mesh.
    if (stage.indices.size() != 3 * static_cast<size_t>(faceCount) || ruleCount > 0x10000) {
        throw InvalidArgumentException();
    }
    StageView view(stage, inputCount);
    view.DecodeVertexRules();

    Mesh output;
    output.vertices.assign(ruleCount, HeadVertex{});
    output.fvf = kHeadVertexFvf;
    output.options = MESH_SYSTEMMEM;
    output.numMaterials = input.numMaterials;
    for (uint32_t i = 0; i < inputCount; ++i) {
        const VertexRule& rule = view.Vertex(i);
        HeadVertex& out = output.vertices[i];
        if (!(rule.flags & kRuleSharp) || !MixSharpVertex(view, rule, input, i, out)) {
            MixSmoothVertex(view, rule, input, i, out);
        }
    }
    for (uint32_t i = inputCount; i < ruleCount; ++i) {
        MixEdgeVertex(view, DecodeEdgeRule(stage.rules[i]), input, output.vertices[i]);
    }
    output.indices.reserve(stage.indices.size());
    for (uint16_t index : stage.indices) {
        if (index >= ruleCount) {
            throw InvalidArgumentException();
        }
        output.indices.push_back(index);
    }
    output.attributes.assign(faceCount, 0);
    return output;
}

} // namespace vm
