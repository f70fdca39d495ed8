#include "views/photo/PhotoEditSession.h"

#include "views/photo/BlendZoneGeometry.h"
#include "views/photo/DragSteps.h"

namespace vm {

PhotoEditSession::PhotoEditSession(CVisomorfDoc& doc, CDocumentView* owner)
    : m_doc(doc), m_owner(owner) {}

PhotoEditSession::~PhotoEditSession() {
    Abandon();
}

PhotoEditSession::Kind PhotoEditSession::KindFor(int photo, OverlayHit target) {
    switch (target.target) {
    case OverlayTarget::BlendVertex:
        return Kind::BlendVertex;
    case OverlayTarget::BlendLine:
        return target.index == kBlendCentre ? Kind::BlendZone : Kind::BlendWidth;
    case OverlayTarget::BoxPart:
        return target.index == kBoxEdge ? Kind::MoveBox : Kind::ResizeBox;
    case OverlayTarget::Point:
        m_pointWeights.clear();
        m_vertexWeights.clear();
        m_doc.CollectPointWeights(photo, target.index, m_pointWeights);
        m_doc.CollectVertexWeights(photo, m_pointWeights, m_vertexWeights);
        return Kind::MovePoints;
    case OverlayTarget::Feature:
        if (target.index == m_doc.wholeObjectFeature) {
            return Kind::MoveBox; // the head's outline carries the box with everything in it
        }
        m_pointWeights.clear();
        m_vertexWeights.clear();
        m_doc.CollectFeatureWeights(photo, target.index, m_pointWeights);
        m_doc.CollectVertexWeights(photo, m_pointWeights, m_vertexWeights);
        return Kind::MovePoints;
    case OverlayTarget::None:
        break;
    }
    return Kind::None;
}

bool PhotoEditSession::Begin(int photo, OverlayHit target, QPoint mouse) {
    if (Active()) {
        return false;
    }
    const Kind kind = KindFor(photo, target);
    if (kind == Kind::None) {
        return false;
    }
    m_doc.SaveSnapshot();
    m_photo = photo;
    m_grabbed = target.index;
    m_reference = mouse;
    m_changed = false;
    m_kind = kind;
    return true;
}

bool PhotoEditSession::Step(QPoint mouse, float scale) {
    if (!Active()) {
        return false;
    }
    const QPointF delta = DragDelta(mouse, m_reference, scale);
    if (delta.x() == 0 && delta.y() == 0) {
        return false;
    }
    const bool blend =
        m_kind == Kind::BlendVertex || m_kind == Kind::BlendZone || m_kind == Kind::BlendWidth;
    if (blend) {
        StepBlend(mouse, scale);
    } else {
        StepPhoto(mouse, scale);
    }
    m_changed = true;
    m_doc.RebuildDisplayMesh();
    if (blend) {
        m_doc.UpdateBlendZone();
    }
    m_doc.RequestRedraw3D();
    return true;
}

void PhotoEditSession::StepBlend(QPoint mouse, float scale) {
    if (m_kind == Kind::BlendVertex) {
        m_reference = MoveBlendVertexStep(m_doc.blendZone, m_grabbed, mouse, m_reference, scale);
    } else if (m_kind == Kind::BlendZone) {
        m_reference = MoveBlendZoneStep(m_doc.blendZone, mouse, m_reference, scale);
    } else {
        m_reference =
            ChangeBlendWidthStep(m_doc.blendZoneWidth, m_grabbed, mouse, m_reference, scale);
    }
}

void PhotoEditSession::StepPhoto(QPoint mouse, float scale) {
    if (m_kind == Kind::MovePoints) {
        const QPointF delta = DragDelta(mouse, m_reference, scale);
        m_doc.MovePoints(m_photo, m_pointWeights, m_vertexWeights, static_cast<float>(delta.x()),
                         static_cast<float>(delta.y()));
        m_reference = mouse;
        return;
    }
    const Box& box = m_doc.box[m_photo];
    const BoxStep step = m_kind == Kind::MoveBox
                             ? MoveBoxStep(box, mouse, m_reference, scale)
                             : ResizeBoxStep(box, m_grabbed, mouse, m_reference, scale);
    m_reference = step.reference;
    m_doc.SetBox(m_photo, step.box.left, step.box.top, step.box.right, step.box.bottom);
}

bool PhotoEditSession::End() {
    if (!Active()) {
        return false;
    }
    const bool changed = m_changed;
    Close();
    if (!changed) {
        m_doc.RestoreSnapshot();
        return false;
    }
    m_doc.CommitChange();
    m_doc.SetModifiedFlag(true);
    m_doc.UpdateAllViews(m_owner);
    return true;
}

bool PhotoEditSession::Cancel() {
    if (!Active()) {
        return false;
    }
    Close();
    // Restoring also brings the side texture's blend back when the zone or width moved.
    m_doc.RestoreSnapshot();
    m_doc.RebuildDisplayMesh();
    m_doc.RequestRedraw3D();
    m_doc.UpdateAllViews(m_owner);
    return true;
}

void PhotoEditSession::Abandon() noexcept {
    if (!Active()) {
        return;
    }
    Close();
    try {
        m_doc.RestoreSnapshot();
    } catch (const std::exception&) {
        // The document keeps the last step; there is no one to tell.
    }
}

// The session is over before the model is restored or committed: a failure there must not
// leave a drag that nothing can end.
void PhotoEditSession::Close() {
    m_kind = Kind::None;
    m_pointWeights.clear();
    m_vertexWeights.clear();
}

} // namespace vm
