#include "views/view3d/PushPullEditor.h"

#include "document/CVisomorfDoc.h"
#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vm {

namespace {

bool AllZero(const std::vector<Vec3>& record) {
    return std::all_of(record.begin(), record.end(), [](const Vec3& d) { return d == Vec3{}; });
}

// A change to the editable mesh becomes one undo step; the document is then modified.
template <class Change> bool AsUndoStep(CVisomorfDoc& doc, Change&& change) {
    doc.SaveSnapshot();
    if (!change()) {
        return false;
    }
    doc.CommitChange();
    doc.SetModifiedFlag();
    doc.RebuildDisplayMesh();
    doc.RequestRedraw3D();
    return true;
}

} // namespace

PickRay PushPullEditor::MakePickRay(const SceneTransforms& t, float x, float y) {
    const Vec3 nearPoint = Vec3Unproject({x, y, 0}, t.viewport, t.projection, t.view, t.world);
    const Vec3 farPoint = Vec3Unproject({x, y, 1}, t.viewport, t.projection, t.view, t.world);
    return {nearPoint, farPoint - nearPoint};
}

std::optional<PickResult> PushPullEditor::Pick(const CVisomorfDoc& doc, const SceneTransforms& t,
                                               float x, float y) {
    if (!doc.displayedMesh) {
        return std::nullopt;
    }
    const Mesh& mesh = *doc.displayedMesh;
    const PickRay ray = MakePickRay(t, x, y);
    const std::optional<RayHit> hit = Intersect(mesh, ray.origin, ray.direction);
    if (!hit) {
        return std::nullopt;
    }
    PickResult r;
    r.face = hit->face;
    const float u = hit->u, v = hit->v, w0 = 1 - u - v;
    r.corner = (w0 > u && w0 > v) ? 0 : (u > v ? 1 : 2);
    for (int k = 0; k < 3; ++k) {
        r.indices[k] = mesh.indices.at(3 * static_cast<size_t>(hit->face) + k);
    }
    const HeadVertex& a = mesh.vertices.at(r.indices[0]);
    const HeadVertex& b = mesh.vertices.at(r.indices[1]);
    const HeadVertex& c = mesh.vertices.at(r.indices[2]);
    r.distance = hit->distance;
    r.point = a.position + (b.position - a.position) * u + (c.position - a.position) * v;
    r.normal = a.normal + (b.normal - a.normal) * u + (c.normal - a.normal) * v;
    r.direction = Normalize(ray.direction);
    return r;
}

float PushPullEditor::Weight(float r) const {
    const float r1 = m_fFarDistance, r2 = m_fNearDistance;
    if (r > r1) {
        return 0;
    }
    // r2 >= r1 leaves no ramp: everything within r1 moves fully (also r = r1 = r2, where the
    // ramp formula would divide by zero).
    if (r < r2 || r2 >= r1) {
        return 1;
    }
    return (r1 - r) / (r1 - r2);
}

void PushPullEditor::FixDirection(const SceneTransforms& t) {
    const int centreX = static_cast<int>(t.viewport.width) / 2;
    const int centreY = static_cast<int>(t.viewport.height) / 2;
    const Vec3 direction = Normalize(
        MakePickRay(t, static_cast<float>(centreX), static_cast<float>(centreY)).direction);
    if (std::isfinite(direction.x) && std::isfinite(direction.y) && std::isfinite(direction.z)) {
        m_vFixedDirection = direction;
    }
}

bool PushPullEditor::HasFixedDirection() const {
    return m_vFixedDirection.x != std::numeric_limits<float>::max();
}

bool PushPullEditor::PushPull(CVisomorfDoc& doc, const SceneTransforms& t, float x, float y,
                              bool push) {
    if (!doc.editableMesh) {
        return false;
    }
    if (!HasFixedDirection()) {
        FixDirection(t);
        if (!HasFixedDirection()) {
            return false;
        }
    }
    std::optional<PickResult> hit = Pick(doc, t, x, y);
    if (!hit) {
        return false;
    }
    m_pick = hit;
    const Vec3 hitPoint = hit->point;
    return AsUndoStep(doc, [&] {
        std::vector<HeadVertex>& vertices = doc.editableMesh->vertices;
        if (doc.displacements.size() != vertices.size()) {
            doc.displacements.assign(vertices.size(), Vec3{});
        }
        const float shift = push ? m_fShift : -m_fShift;
        bool moved = false;
        for (size_t i = 0; i < vertices.size(); ++i) {
            const float w = Weight(Length(vertices[i].position - hitPoint));
            if (w == 0) {
                continue;
            }
            const Vec3 delta = m_vFixedDirection * (w * shift);
            vertices[i].position = vertices[i].position + delta;
            doc.displacements[i] = doc.displacements[i] + delta;
            moved = moved || !(delta == Vec3{});
        }
        return moved;
    });
}

bool PushPullEditor::ResetModifications(CVisomorfDoc& doc) const {
    if (!doc.editableMesh || AllZero(doc.displacements)) {
        return false;
    }
    return AsUndoStep(doc, [&] {
        std::vector<HeadVertex>& vertices = doc.editableMesh->vertices;
        if (doc.displacements.size() != vertices.size()) {
            throw InvalidArgumentException();
        }
        for (size_t i = 0; i < vertices.size(); ++i) {
            vertices[i].position = vertices[i].position - doc.displacements[i];
        }
        std::fill(doc.displacements.begin(), doc.displacements.end(), Vec3{});
        return true;
    });
}

bool PushPullEditor::IsUsableSetting(double value) {
    return std::isfinite(value) && std::abs(value) <= kMaxSetting;
}

} // namespace vm
