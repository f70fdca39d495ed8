#pragma once
// Small hand-made documents whose weights and distances can be worked out on paper, and
// recording views for the view registry.
#include "document/CVisomorfDoc.h"
#include "platform/mesh/MeshServices.h"
#include "platform/raster/SoftwareDevice.h"
#include "texture/PhotoTexture.h"

#include <QFile>
#include <cmath>
#include <vector>

namespace vm::test {

// Rebuilds what the feature-set reader derives: children and per-point segment lists.
inline void IndexFeatures(std::vector<FeaturePoint>& points, std::vector<Feature>& features) {
    for (size_t f = 0; f < features.size(); ++f) {
        if (features[f].parent >= 0) {
            features[features[f].parent].children.push_back(static_cast<int32_t>(f));
        }
        for (size_t k = 0; k < features[f].segments.size(); ++k) {
            const auto [a, b] = features[f].segments[k];
            points[a].segmentsByFeature[static_cast<int32_t>(f)].push_back(static_cast<int32_t>(k));
            points[b].segmentsByFeature[static_cast<int32_t>(f)].push_back(static_cast<int32_t>(k));
        }
    }
}

inline Feature MakeFeature(int32_t parent, std::vector<std::pair<int32_t, int32_t>> segments) {
    Feature feature;
    feature.parent = parent;
    feature.segments = std::move(segments);
    return feature;
}

// A strip of two rows of six vertices: bottom row (10 i, 0, 0), top row (10 i, 20, 5 + i).
// Front points 0..4 sit on bottom vertices 0..4 joined in a line (feature 0, with child feature
// 1 holding the last segment); front points 5, 6, 7 on top vertices 6, 7, 8 form a closed loop
// (feature 2). Side points 0, 1, 2 on vertices 0, 6 and 11 form a line (feature 0).
inline void MakeStripDocument(CVisomorfDoc& doc) {
    auto mesh = std::make_shared<Mesh>();
    for (int row = 0; row < 2; ++row) {
        for (int i = 0; i < 6; ++i) {
            HeadVertex v{};
            v.position = {10.0f * i, 20.0f * row, row ? 5.0f + i : 0.0f};
            v.diffuse = 0xFFFFFFFF;
            mesh->vertices.push_back(v);
        }
    }
    for (uint32_t i = 0; i < 5; ++i) {
        mesh->indices.insert(mesh->indices.end(), {i, i + 6, i + 7, i, i + 7, i + 1});
    }
    mesh->attributes.assign(mesh->FaceCount(), 0);
    doc.editableMesh = mesh;
    doc.adjacency = ComputeAdjacency(*mesh, 0.01f);
    doc.numMaterials = 1;

    const uint32_t frontVertices[] = {0, 1, 2, 3, 4, 6, 7, 8};
    for (uint32_t v : frontVertices) {
        FeaturePoint point;
        point.vertexIndex = v;
        doc.points[Front].push_back(point);
    }
    doc.features[Front] = {MakeFeature(-1, {{0, 1}, {1, 2}, {2, 3}}), MakeFeature(0, {{3, 4}}),
                           MakeFeature(-1, {{5, 6}, {6, 7}, {7, 5}})};
    for (uint32_t v : {0u, 6u, 11u}) {
        FeaturePoint point;
        point.vertexIndex = v;
        doc.points[Side].push_back(point);
    }
    doc.features[Side] = {MakeFeature(-1, {{0, 1}, {1, 2}})};
    for (int p = 0; p < kPhotoCount; ++p) {
        IndexFeatures(doc.points[p], doc.features[p]);
    }
    doc.ComputeVertexWeights(mesh->vertices.data(), mesh->VertexCount());
    doc.PlacePointsFromMesh();
    doc.ComputeTextureCoords(mesh->vertices.data(), mesh->VertexCount());
    doc.RebuildDisplayMesh();
}

// The strip document with a device and blank textures, as a new document has them.
inline void AddTextures(CVisomorfDoc& doc) {
    doc.device = std::make_shared<SoftwareDevice>();
    for (int p = 0; p < kPhotoCount; ++p) {
        doc.textures[p] = CreateBlankTexture(*doc.device);
    }
}

inline bool HaveHeadResources() {
    return QFile::exists(":/data/head.x") && QFile::exists(":/data/featureset.bin") &&
           QFile::exists(":/data/stage1.bin") && QFile::exists(":/data/stage2.bin");
}

class RecordingView : public CDocumentView {
public:
    explicit RecordingView(int photo = -1, bool is3D = false) : m_photo(photo), m_is3D(is3D) {}
    void OnUpdate(CDocumentView* sender, int hint) override {
        ++updates;
        lastSender = sender;
        lastHint = hint;
    }
    void FitToWindow() override { ++fits; }
    int PhotoViewIndex() const override { return m_photo; }
    bool Is3DView() const override { return m_is3D; }
    bool EditMode() const override { return editMode; }
    void SetEditMode(bool on) override { editMode = on; }
    void FixDirection() override { ++fixes; }
    void ResetModifications() override { ++resets; }
    void EditModificationSettings() override { ++settings; }
    bool IsDragging() const override { return dragging; }

    bool dragging = false;
    int updates = 0, fits = 0, fixes = 0, resets = 0, settings = 0;
    CDocumentView* lastSender = nullptr;
    int lastHint = -1;
    bool editMode = false;

private:
    int m_photo;
    bool m_is3D;
};

} // namespace vm::test
