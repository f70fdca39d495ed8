#include "document/CVisomorfDoc.h"

#include "document/HeadResources.h"
#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"

#include <algorithm>

namespace vm {

namespace {

constexpr int kDefaultPhotoWidth = 600;
constexpr int kDefaultPhotoHeight = 800;

std::vector<Vec2> DefaultBlendZone() {
    return {{350, 0}, {350, 200}, {350, 400}, {350, 600}, {350, 800}};
}

} // namespace

CVisomorfDoc::CVisomorfDoc(int initialModelDetail) : modelDetail(initialModelDetail - 1) {
    blendZone = DefaultBlendZone();
}

CVisomorfDoc::~CVisomorfDoc() = default;

QSize CVisomorfDoc::GetPhotoSize(int photo) const {
    CheckPhoto(photo);
    if (photos[photo].isNull()) {
        return {kDefaultPhotoWidth, kDefaultPhotoHeight};
    }
    return photos[photo].size();
}

void CVisomorfDoc::CheckPhoto(int photo) const {
    if (photo != Front && photo != Side) {
        throw InvalidArgumentException();
    }
}

void CVisomorfDoc::DeleteContents() {
    for (int p = 0; p < kPhotoCount; ++p) {
        photos[p] = QImage();
        photoJpegBytes[p].clear();
        points[p].clear();
        features[p].clear();
        textures[p].reset();
    }
    m_history.Clear();
    displacements.clear();
    editableMesh.reset();
    displayedMesh.reset();
    m_refinedMesh.reset();
    device.reset();
    adjacency.clear();
    m_modified = false;
    m_pathName.clear();
}

bool CVisomorfDoc::OnNewDocument() {
    DeleteContents();
    try {
        NewDocumentSteps();
    } catch (const std::exception& failure) {
        const QString text = FailureText(failure);
        const auto* ours = dynamic_cast<const VisomorfException*>(&failure);
        if (reportFailure && !(ours && ours->IsSilent())) {
            reportFailure(text);
        }
        return false;
    }
    return true;
}

void CVisomorfDoc::UpdateBounds() {
    if (!editableMesh || editableMesh->vertices.empty()) {
        return;
    }
    ComputeBoundingSphere(editableMesh->vertices.data(), editableMesh->VertexCount(),
                          boundingCentre, boundingRadius);
}

void CVisomorfDoc::NewDocumentSteps() {
    LoadDefaultFeatureSet();
    CreateDevice();
    LoadHeadMesh();
    std::vector<HeadVertex>& vertices = editableMesh->vertices;
    ComputeVertexWeights(vertices.data(), editableMesh->VertexCount());
    PlacePointsFromMesh();
    if (leftSide) {
        const Box& side = box[Side];
        for (Vec2& position : pointPositions[Side]) {
            position.x = side.left + side.right - position.x;
        }
    }
    ComputeTextureCoords(vertices.data(), editableMesh->VertexCount());
    UpdateBounds();
    for (int p = 0; p < kPhotoCount; ++p) {
        MakeBlankTexture(p);
        FitBoxToPhoto(p);
    }
    RebuildDisplayMesh();
    blendZoneWidth = 100;
    blendZone = DefaultBlendZone();
    FitPhotoViewsToWindow(-1);
}

void CVisomorfDoc::LoadDefaultFeatureSet() {
    FeatureSet set = vm::LoadDefaultFeatureSet();
    for (int p = 0; p < kPhotoCount; ++p) {
        points[p] = std::move(set.points[p]);
        features[p] = std::move(set.features[p]);
    }
}

void CVisomorfDoc::LoadHeadMesh() {
    BaseMesh base = vm::LoadBaseMesh();
    editableMesh = std::make_shared<Mesh>(std::move(base.mesh));
    adjacency = std::move(base.adjacency);
    numMaterials = base.numMaterials;
}

// Model offsets from the mesh's bounds, then every point at its bound vertex's photo place.
void CVisomorfDoc::PlacePointsFromMesh() {
    const std::vector<HeadVertex>& vertices = editableMesh->vertices;
    Vec3 min, max;
    ComputeBoundingBox(vertices.data(), editableMesh->VertexCount(), min, max);
    modelOffset[Front] = {-min.x, -min.y};
    modelOffset[Side] = {-min.z, -min.y};
    for (int p = 0; p < kPhotoCount; ++p) {
        pointPositions[p].resize(points[p].size());
        for (size_t i = 0; i < points[p].size(); ++i) {
            const uint32_t v = points[p][i].vertexIndex;
            if (v >= vertices.size()) {
                throw InvalidArgumentException();
            }
            const Vec3& pos = vertices[v].position;
            const float x = p == Front ? modelOffset[p].x + pos.x : modelOffset[p].x - pos.z;
            pointPositions[p][i] = {x, modelOffset[p].y - pos.y};
        }
        UpdateBoxFromPoints(p);
    }
}

void CVisomorfDoc::AddView(CDocumentView* view) {
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end()) {
        m_views.push_back(view);
    }
}

void CVisomorfDoc::RemoveView(CDocumentView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

void CVisomorfDoc::UpdateAllViews(CDocumentView* sender, int hint) {
    // A view may detach itself while being updated: walk a copy.
    const std::vector<CDocumentView*> views = m_views;
    for (CDocumentView* view : views) {
        if (view != sender) {
            view->OnUpdate(sender, hint);
        }
    }
}

bool CVisomorfDoc::IsDragInProgress() const {
    return std::any_of(m_views.begin(), m_views.end(),
                       [](const CDocumentView* view) { return view->IsDragging(); });
}

CDocumentView* CVisomorfDoc::Find3DView() const {
    for (CDocumentView* view : m_views) {
        if (view->Is3DView()) {
            return view;
        }
    }
    return nullptr;
}

void CVisomorfDoc::FitPhotoViewsToWindow(int photo) {
    const std::vector<CDocumentView*> views = m_views;
    for (CDocumentView* view : views) {
        const int shown = view->PhotoViewIndex();
        if (shown >= 0 && (photo < 0 || shown == photo)) {
            view->FitToWindow();
        }
    }
}

void CVisomorfDoc::RequestRedraw3D() {
    if (requestRedraw3D) {
        requestRedraw3D();
    }
}

} // namespace vm
