#include "document/SubdivisionStage.h"

#include "document/HeadResources.h"
#include "document/Subdivision.h"
#include "platform/core/Exceptions.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <iterator>

namespace vm {

const int32_t kSharpenNoseList[] = {89, 110, 139, 192, 223, 238, 259, 280, 293, 320, -1};
const int32_t kSharpenLipsList[] = {411, 413, 416, 415, 417, 414, 412, -1};
const int32_t kSharpenEyebrowList[] = {83, 81, 85, 87, 102, 84, 82, 86, 88, 103, -1};

namespace {

uint16_t Get16(const uint8_t* p) {
    return qFromLittleEndian<uint16_t>(p);
}
uint32_t Get32(const uint8_t* p) {
    return qFromLittleEndian<uint32_t>(p);
}
void Put16(uint8_t* p, uint16_t v) {
    qToLittleEndian(v, p);
}
void Put32(uint8_t* p, uint32_t v) {
    qToLittleEndian(v, p);
}

// Reads little-endian fields from a byte block; running past its end is an archive failure.
class ByteReader {
public:
    explicit ByteReader(const QByteArray& bytes)
        : m_data(reinterpret_cast<const uint8_t*>(bytes.constData())),
          m_size(static_cast<size_t>(bytes.size())) {}

    uint32_t U32() { return Get32(Take(4)); }

    // A count of items of itemSize bytes, checked against what is left before anything is
    // allocated for it: a corrupt count must not allocate gigabytes.
    uint32_t Count(size_t itemSize) {
        const uint32_t count = U32();
        if (static_cast<uint64_t>(count) * itemSize > Left()) {
            throw ArchiveException(ArchiveException::Cause::EndOfFile);
        }
        return count;
    }

    const uint8_t* Take(size_t size) {
        if (size > Left()) {
            throw ArchiveException(ArchiveException::Cause::EndOfFile);
        }
        const uint8_t* p = m_data + m_pos;
        m_pos += size;
        return p;
    }

    size_t Left() const { return m_size - m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

void AppendU32(QByteArray& out, uint32_t v) {
    uint8_t b[4];
    Put32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}

bool ListHolds(const int32_t* list, uint32_t vertex) {
    for (const int32_t* v = list; *v != -1; ++v) {
        if (static_cast<uint32_t>(*v) == vertex) {
            return true;
        }
    }
    return false;
}

} // namespace

VertexRule DecodeVertexRule(const SubdivisionRule& rule) {
    VertexRule r;
    r.firstLink = Get32(rule.bytes);
    r.valence = Get32(rule.bytes + 4);
    r.flags = rule.bytes[8];
    r.self = Get32(rule.bytes + 12);
    return r;
}

EdgeRule DecodeEdgeRule(const SubdivisionRule& rule) {
    EdgeRule r;
    r.a = Get16(rule.bytes);
    r.b = Get16(rule.bytes + 2);
    r.c = Get16(rule.bytes + 4);
    r.d = Get16(rule.bytes + 6);
    r.self = Get32(rule.bytes + 12);
    return r;
}

SubdivisionRule EncodeVertexRule(const VertexRule& rule) {
    SubdivisionRule r;
    Put32(r.bytes, rule.firstLink);
    Put32(r.bytes + 4, rule.valence);
    r.bytes[8] = rule.flags;
    Put32(r.bytes + 12, rule.self);
    return r;
}

SubdivisionRule EncodeEdgeRule(const EdgeRule& rule) {
    SubdivisionRule r;
    Put16(r.bytes, rule.a);
    Put16(r.bytes + 2, rule.b);
    Put16(r.bytes + 4, rule.c);
    Put16(r.bytes + 6, rule.d);
    Put32(r.bytes + 12, rule.self);
    return r;
}

void DecodeSubdivisionStage(const QByteArray& bytes, SubdivisionStage& stage) {
    ByteReader in(bytes);
    std::vector<NeighbourLink> links(in.Count(sizeof(NeighbourLink)));
    for (NeighbourLink& link : links) {
        const uint8_t* p = in.Take(8);
        link.vertex = Get16(p);
        link.zero = Get16(p + 2);
        link.next = Get32(p + 4);
    }
    std::vector<SubdivisionRule> rules(in.Count(sizeof(SubdivisionRule)));
    for (SubdivisionRule& rule : rules) {
        std::memcpy(rule.bytes, in.Take(sizeof rule.bytes), sizeof rule.bytes);
    }
    std::vector<uint16_t> indices(in.Count(sizeof(uint16_t)));
    for (uint16_t& index : indices) {
        index = Get16(in.Take(2));
    }
    if (in.Left() != 0) {
        throw ArchiveException(ArchiveException::Cause::BadFormat,
                               QStringLiteral("subdivision table longer than its counts"));
    }
    stage.links = std::move(links);
    stage.rules = std::move(rules);
    stage.indices = std::move(indices);
}

QByteArray EncodeSubdivisionStage(const SubdivisionStage& stage) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(12 + stage.links.size() * 8 + stage.rules.size() * 16 +
                                       stage.indices.size() * 2));
    AppendU32(out, static_cast<uint32_t>(stage.links.size()));
    for (const NeighbourLink& link : stage.links) {
        uint8_t b[8];
        Put16(b, link.vertex);
        Put16(b + 2, link.zero);
        Put32(b + 4, link.next);
        out.append(reinterpret_cast<const char*>(b), 8);
    }
    AppendU32(out, static_cast<uint32_t>(stage.rules.size()));
    for (const SubdivisionRule& rule : stage.rules) {
        out.append(reinterpret_cast<const char*>(rule.bytes), sizeof rule.bytes);
    }
    AppendU32(out, static_cast<uint32_t>(stage.indices.size()));
    for (uint16_t index : stage.indices) {
        uint8_t b[2];
        Put16(b, index);
        out.append(reinterpret_cast<const char*>(b), 2);
    }
    return out;
}

void ApplyCreaseLists(SubdivisionStage& stage, uint32_t inputVertexCount) {
    const auto ruleCount = static_cast<uint32_t>(stage.rules.size());
    for (int k = 0; k < stage.creaseListCount && k < 10; ++k) {
        const int32_t* list = stage.creaseLists[k];
        if (list == nullptr) {
            continue; // an option that is switched off leaves its slot empty
        }
        for (const int32_t* v = list; *v != -1; ++v) {
            if (static_cast<uint32_t>(*v) >= ruleCount) {
                throw InvalidArgumentException();
            }
            stage.rules[static_cast<uint32_t>(*v)].bytes[8] |= kRuleSharp;
        }
        for (uint32_t i = inputVertexCount; i < ruleCount; ++i) {
            EdgeRule edge = DecodeEdgeRule(stage.rules[i]);
            if (ListHolds(list, edge.a) || ListHolds(list, edge.b)) {
                // Only wing c changes, so the rule's other bytes stay as stored.
                Put16(stage.rules[i].bytes + 4, edge.d);
            }
        }
    }
}

void LoadSubdivisionStage(const QByteArray& bytes, SubdivisionStage& stage,
                          uint32_t inputVertexCount) {
    // Built aside so that a refused table leaves the stage as it was.
    SubdivisionStage loaded;
    std::copy(std::begin(stage.creaseLists), std::end(stage.creaseLists), loaded.creaseLists);
    loaded.creaseListCount = stage.creaseListCount;
    DecodeSubdivisionStage(bytes, loaded);
    ApplyCreaseLists(loaded, inputVertexCount);
    stage = std::move(loaded);
}

void LoadSubdivisionStage(const QString& resourcePath, SubdivisionStage& stage,
                          uint32_t inputVertexCount) {
    LoadSubdivisionStage(ReadResource(resourcePath), stage, inputVertexCount);
}

} // namespace vm
