#pragma once
// The committed generic-head resources, read once per test program, and the welded view of the
// mesh (co-located vertices joined) that topology checks need.
#include "platform/xfile/XFileReader.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace vm::test {

inline QByteArray ReadCommittedResource(const char* name) {
    QFile file(QString(VISOMORF_SOURCE_DIR "/resources/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot open resources/" << name;
        return {};
    }
    return file.readAll();
}

// The file's only texture set (which the reader puts in frontUV) is the model texture layout.
inline const XFileMesh& CommittedHead() {
    static const XFileMesh head = [] {
        XFileMesh h = ReadXFile(ReadCommittedResource("head.x"));
        for (HeadVertex& v : h.mesh.vertices) {
            v.modelUV = v.frontUV;
        }
        return h;
    }();
    return head;
}

// Stored vertices joined by exact position, as the subdivision tables and the adjacency see them.
struct WeldedMesh {
    std::vector<int> weldOf;               // stored vertex -> welded vertex
    std::vector<std::vector<int>> copies;  // welded vertex -> its stored vertices
    std::vector<std::array<int, 3>> faces; // welded corners
    std::map<std::pair<int, int>, int> edgeUse;
    std::vector<std::set<int>> neighbours;

    bool HasEdge(int storedA, int storedB) const {
        const int a = weldOf[storedA], b = weldOf[storedB];
        return edgeUse.count({std::min(a, b), std::max(a, b)}) > 0;
    }
};

inline WeldedMesh Weld(const Mesh& mesh) {
    WeldedMesh w;
    std::map<std::tuple<float, float, float>, int> byPosition;
    for (const HeadVertex& v : mesh.vertices) {
        const auto key = std::make_tuple(v.position.x, v.position.y, v.position.z);
        const auto [it, added] = byPosition.emplace(key, static_cast<int>(w.copies.size()));
        if (added) {
            w.copies.emplace_back();
        }
        w.copies[it->second].push_back(static_cast<int>(w.weldOf.size()));
        w.weldOf.push_back(it->second);
    }
    w.neighbours.resize(w.copies.size());
    for (size_t f = 0; f < mesh.indices.size(); f += 3) {
        std::array<int, 3> face{};
        for (int k = 0; k < 3; ++k) {
            face[k] = w.weldOf[mesh.indices[f + k]];
        }
        for (int k = 0; k < 3; ++k) {
            const int a = face[k], b = face[(k + 1) % 3];
            ++w.edgeUse[{std::min(a, b), std::max(a, b)}];
            w.neighbours[a].insert(b);
            w.neighbours[b].insert(a);
        }
        w.faces.push_back(face);
    }
    return w;
}

} // namespace vm::test
