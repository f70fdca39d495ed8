// The document's side of undo and redo: capturing and restoring the snapshots the history keeps.
#include "document/CVisomorfDoc.h"
#include "platform/core/Exceptions.h"
#include "texture/PhotoTexture.h"

#include <algorithm>

namespace vm {

void CVisomorfDoc::CaptureState(UndoSnapshot& snapshot) const {
    for (int p = 0; p < kPhotoCount; ++p) {
        snapshot.boxes[p] = box[p];
        snapshot.pointPositions[p] = pointPositions[p];
    }
    const size_t count = editableMesh ? editableMesh->vertices.size() : 0;
    snapshot.vertices.resize(count * kFloatsPerSnapshotVertex);
    float* out = snapshot.vertices.data();
    for (size_t i = 0; i < count; ++i) {
        const HeadVertex& v = editableMesh->vertices[i];
        *out++ = v.position.x;
        *out++ = v.position.y;
        *out++ = v.position.z;
        *out++ = v.frontUV.x;
        *out++ = v.frontUV.y;
        *out++ = v.sideUV.x;
        *out++ = v.sideUV.y;
    }
    snapshot.blendZone = blendZone;
    snapshot.blendZoneWidth = blendZoneWidth;
    snapshot.displacements = displacements;
    for (int p = 0; p < kPhotoCount; ++p) {
        snapshot.photos[p] = photos[p];
        snapshot.photoJpegBytes[p] = photoJpegBytes[p];
    }
}

void CVisomorfDoc::ApplySnapshot(const UndoSnapshot& snapshot) {
    const size_t count = editableMesh ? editableMesh->vertices.size() : 0;
    for (int p = 0; p < kPhotoCount; ++p) {
        if (snapshot.pointPositions[p].size() < points[p].size() ||
            pointPositions[p].size() < points[p].size()) {
            throw InvalidArgumentException();
        }
    }
    if (snapshot.vertices.size() < count * kFloatsPerSnapshotVertex) {
        throw InvalidArgumentException();
    }
    for (int p = 0; p < kPhotoCount; ++p) {
        box[p] = snapshot.boxes[p];
        std::copy_n(snapshot.pointPositions[p].begin(), points[p].size(),
                    pointPositions[p].begin());
    }
    const float* in = snapshot.vertices.data();
    for (size_t i = 0; i < count; ++i) {
        HeadVertex& v = editableMesh->vertices[i];
        v.position = {in[0], in[1], in[2]};
        v.frontUV = {in[3], in[4]};
        v.sideUV = {in[5], in[6]};
        in += kFloatsPerSnapshotVertex;
    }
    blendZone = snapshot.blendZone;
    blendZoneWidth = snapshot.blendZoneWidth;
    displacements = snapshot.displacements;
}

namespace {

bool SameZone(const std::vector<Vec2>& a, const std::vector<Vec2>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Vec2& p, const Vec2& q) { return p.x == q.x && p.y == q.y; });
}

} // namespace

// Puts back the photos a step replaced (an aligned side photo); true when the side photo
// changed. A snapshot without a photo never held one that a step replaced: loading a photo
// rewrites the history's photos, so undo never takes back a load.
bool CVisomorfDoc::RestorePhotos(const UndoSnapshot& snapshot) {
    bool sideChanges = false;
    for (int p = 0; p < kPhotoCount; ++p) {
        const QImage& image = snapshot.photos[p];
        if (image.isNull() || image.cacheKey() == photos[p].cacheKey()) {
            continue;
        }
        if (!device) {
            throw GeneralFailureException();
        }
        textures[p] = CreatePhotoTexture(*device, image);
        photos[p] = image;
        photoJpegBytes[p] = snapshot.photoJpegBytes[p];
        sideChanges |= p == Side;
    }
    return sideChanges;
}

// Restores a snapshot; when that moves the blend zone, the side texture's blend follows, so
// the 3D view never shows a blend other than the zone on the photo.
void CVisomorfDoc::RestoreState(const UndoSnapshot& snapshot) {
    const bool zoneMoves =
        snapshot.blendZoneWidth != blendZoneWidth || !SameZone(snapshot.blendZone, blendZone);
    const bool sidePhotoChanges = RestorePhotos(snapshot);
    ApplySnapshot(snapshot);
    if (zoneMoves || sidePhotoChanges) {
        UpdateBlendZone();
    }
}

void CVisomorfDoc::SaveSnapshot() {
    if (m_history.AtNewest()) {
        CaptureState(m_history.EditStart());
    }
}

void CVisomorfDoc::CommitChange() {
    m_history.Commit();
}

void CVisomorfDoc::RestoreSnapshot() {
    RestoreState(m_history.CancelPoint());
}

bool CVisomorfDoc::CanUndo() const {
    return m_history.CanUndo();
}

bool CVisomorfDoc::CanRedo() const {
    return m_history.CanRedo();
}

void CVisomorfDoc::Undo() {
    UndoSnapshot live;
    if (m_history.AtNewest() && m_history.CanUndo()) {
        CaptureState(live);
    }
    RestoreState(m_history.StepBack(std::move(live)));
    RebuildDisplayMesh();
    UpdateAllViews();
}

void CVisomorfDoc::Redo() {
    RestoreState(m_history.StepForward());
    RebuildDisplayMesh();
    UpdateAllViews();
}

} // namespace vm
