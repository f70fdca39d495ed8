#include "views/photo/CSideView.h"

#include "views/FailureReport.h"
#include "views/photo/BlendZoneGeometry.h"
#include "views/photo/DragSteps.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vm {

CSideView::CSideView(CVisomorfDoc& doc, QWidget* parent) : CImageView(doc, parent) {
    setWindowTitle(QStringLiteral("Side View"));
}

CSideView::~CSideView() {
    if (m_bBlendDrag) {
        try {
            Document().RestoreSnapshot();
        } catch (const std::exception&) {
            // Nothing can be shown from a destructor; the document keeps the last step.
        }
    }
}

void CSideView::OnUpdate(CDocumentView* sender, int hint) {
    if (sender != this) {
        m_nHotBlendVertex = m_nHotBlendLine = -1; // the zone may have other vertices now
    }
    CImageView::OnUpdate(sender, hint);
}

void CSideView::DrawContent(QPainter& surface, int ax, int ay, float scale) {
    CImageView::DrawContent(surface, ax, ay, scale);
    const CVisomorfDoc& doc = Document();
    if (!doc.showBlendZone) {
        return;
    }
    OverlayPainter overlay(surface, QPoint(ax, ay), scale);
    overlay.DrawBlendZone(doc.blendZone, doc.blendZoneWidth, m_nHotBlendVertex, m_nHotBlendLine);
}

bool CSideView::UpdateHover(QPoint clientPoint) {
    const CVisomorfDoc& doc = Document();
    const int oldVertex = m_nHotBlendVertex;
    const int oldLine = m_nHotBlendLine;
    m_nHotBlendVertex = m_nHotBlendLine = -1;
    if (doc.showBlendZone) {
        const Vec2 p = PhotoPosition(clientPoint);
        const float t = Tolerance();
        m_nHotBlendVertex = HitTestBlendVertex(doc.blendZone, p, t);
        if (m_nHotBlendVertex != -1) {
            SetHoverCursor(Qt::SizeAllCursor);
        } else {
            m_nHotBlendLine = HitTestBlendLine(doc.blendZone, doc.blendZoneWidth, p, t);
            if (m_nHotBlendLine != -1) {
                SetHoverCursor(m_nHotBlendLine == kBlendCentre ? Qt::SizeAllCursor
                                                               : Qt::SizeHorCursor);
            }
        }
    }
    if (m_nHotBlendVertex != oldVertex || m_nHotBlendLine != oldLine) {
        RepaintWithMagnifier();
    }
    if (m_nHotBlendVertex != -1 || m_nHotBlendLine != -1) {
        ClearOverlayHover();
        return true;
    }
    return CImageView::UpdateHover(clientPoint);
}

void CSideView::OnMouseLeave() {
    if (m_nHotBlendVertex != -1 || m_nHotBlendLine != -1) {
        m_nHotBlendVertex = m_nHotBlendLine = -1;
        viewport()->update();
    }
    CImageView::OnMouseLeave();
}

void CSideView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && m_bBlendDrag) {
        CancelEditing();
        return;
    }
    if (event->button() == Qt::LeftButton && !CaptureHeld() && !IsDragging() && !IsPanning()) {
        try {
            if (BlendPress(event->position().toPoint())) {
                setFocus(Qt::MouseFocusReason);
                return;
            }
        } catch (const std::exception& failure) {
            ReportEditFailure(failure);
            return;
        }
    }
    CImageView::mousePressEvent(event);
}

void CSideView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bBlendDrag) {
        CImageView::mouseMoveEvent(event);
        return;
    }
    try {
        BlendStep(event->position().toPoint());
    } catch (const std::exception& failure) {
        ReportEditFailure(failure);
    }
}

void CSideView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_bBlendDrag || event->button() != Qt::LeftButton) {
        CImageView::mouseReleaseEvent(event);
        return;
    }
    try {
        BlendStep(event->position().toPoint());
        EndBlendDrag();
    } catch (const std::exception& failure) {
        ReportEditFailure(failure);
    }
}

void CSideView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_bBlendDrag) {
        CancelEditing();
        return;
    }
    CImageView::keyPressEvent(event);
}

void CSideView::CancelEditing() {
    try {
        CancelBlendDrag();
    } catch (const std::exception& failure) {
        ReportFailure(failure, this);
    }
    CImageView::CancelEditing();
}

bool CSideView::BlendPress(QPoint clientPoint) {
    CVisomorfDoc& doc = Document();
    if (!doc.showBlendZone) {
        return false;
    }
    const Vec2 p = PhotoPosition(clientPoint);
    const float t = Tolerance();
    m_nHotBlendVertex = HitTestBlendVertex(doc.blendZone, p, t);
    m_nHotBlendLine =
        m_nHotBlendVertex == -1 ? HitTestBlendLine(doc.blendZone, doc.blendZoneWidth, p, t) : -1;
    if (m_nHotBlendVertex == -1 && m_nHotBlendLine == -1) {
        return false;
    }
    doc.SaveSnapshot();
    m_nBlendDragVertex = m_nHotBlendVertex;
    m_nBlendDragLine = m_nHotBlendLine;
    m_bBlendChanged = false;
    m_ptBlendLast = clientPoint;
    m_bBlendDrag = true;
    Capture();
    return true;
}

void CSideView::BlendStep(QPoint clientPoint) {
    const float scale = Viewport().Scale();
    const QPointF delta = DragDelta(clientPoint, m_ptBlendLast, scale);
    if (delta.x() == 0 && delta.y() == 0) {
        return;
    }
    CVisomorfDoc& doc = Document();
    if (m_nBlendDragVertex != -1) {
        m_ptBlendLast = MoveBlendVertexStep(doc.blendZone, m_nBlendDragVertex, clientPoint,
                                            m_ptBlendLast, scale);
    } else if (m_nBlendDragLine == kBlendCentre) {
        m_ptBlendLast = MoveBlendZoneStep(doc.blendZone, clientPoint, m_ptBlendLast, scale);
    } else {
        m_ptBlendLast = ChangeBlendWidthStep(doc.blendZoneWidth, m_nBlendDragLine, clientPoint,
                                             m_ptBlendLast, scale);
    }
    m_bBlendChanged = true;
    doc.RebuildDisplayMesh();
    doc.UpdateBlendZone();
    RepaintWithMagnifier();
    doc.RequestRedraw3D();
}

void CSideView::EndBlendDrag() {
    CVisomorfDoc& doc = Document();
    const bool changed = m_bBlendChanged;
    m_bBlendDrag = false;
    ReleaseCapture();
    ResetScrollSizes();
    if (!changed) {
        doc.RestoreSnapshot();
        return;
    }
    doc.CommitChange();
    doc.SetModifiedFlag(true);
    doc.UpdateAllViews(this);
}

void CSideView::CancelBlendDrag() {
    if (!m_bBlendDrag) {
        return;
    }
    CVisomorfDoc& doc = Document();
    m_bBlendDrag = false;
    ReleaseCapture();
    ResetScrollSizes();
    // Restoring also brings the side texture's blend back when the zone or width moved.
    doc.RestoreSnapshot();
    doc.RebuildDisplayMesh();
    RepaintWithMagnifier();
    doc.RequestRedraw3D();
    doc.UpdateAllViews(this);
}

} // namespace vm
