#include "views/photo/CImageView.h"

#include "views/FailureReport.h"
#include "views/photo/CMagnifierDlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cstdint>

namespace vm {

CImageView::CImageView(CVisomorfDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent), m_doc(doc), m_edit(doc, this) {
    // Both bars always visible; they are disabled, never hidden, when not needed.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    horizontalScrollBar()->setEnabled(false);
    verticalScrollBar()->setEnabled(false);
    // The paint covers the whole viewport: no erase, so drags and zooms do not flicker.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // The wheel zooms wherever it turns over the pane, the bars included; it never scrolls.
    horizontalScrollBar()->installEventFilter(this);
    verticalScrollBar()->installEventFilter(this);
    m_doc.AddView(this);
}

CImageView::~CImageView() {
    m_edit.Abandon();
    m_doc.RemoveView(this);
}

void CImageView::SetMagnifier(CMagnifierDlg* magnifier) {
    m_pMagnifier = magnifier;
}

void CImageView::InvalidateMagnifier() {
    if (m_pMagnifier && m_pMagnifier->isVisible()) {
        m_pMagnifier->update();
    }
}

void CImageView::RepaintWithMagnifier() {
    viewport()->update();
    InvalidateMagnifier();
}

// ---- Document notifications ----

void CImageView::OnUpdate(CDocumentView* sender, int /*hint*/) {
    if (sender != this) {
        // A drag holds weights, a snapshot and indices of the model as it was: it cannot go on.
        CancelEditing();
        ClearOverlayHover();
    }
    ResetScrollSizes();
    RepaintWithMagnifier();
}

void CImageView::FitToWindow() {
    RefreshGeometry();
    m_viewport.Fit();
    ResetScrollSizes();
    RepaintWithMagnifier();
}

void CImageView::RefreshGeometry() {
    m_viewport.SetPhotoSize(m_doc.GetPhotoSize(GetPhotoIndex()));
    m_viewport.SetClientSize(viewport()->size());
}

void CImageView::ResetScrollSizes() {
    RefreshGeometry();
    const QScopedValueRollback<bool> guard(m_bSyncingBars, true);
    const QSize scaled = m_viewport.ScaledSize();
    const QSize client = m_viewport.ClientSize();
    const QPoint limit = m_viewport.ScrollLimit();
    const QPoint position = m_viewport.ScrollPosition();
    struct Axis {
        QScrollBar* bar;
        int limit, page, total, position;
        bool enabled;
    };
    const Axis axes[] = {
        {horizontalScrollBar(), limit.x(), client.width(), scaled.width(), position.x(),
         m_viewport.HorizontalBarEnabled()},
        {verticalScrollBar(), limit.y(), client.height(), scaled.height(), position.y(),
         m_viewport.VerticalBarEnabled()},
    };
    for (const Axis& axis : axes) {
        axis.bar->setRange(0, axis.limit);
        axis.bar->setPageStep(std::max(1, axis.page));
        // A line is a tenth of a page of a tenth of the photo.
        axis.bar->setSingleStep(std::max(1, axis.total / 100));
        axis.bar->setValue(axis.position);
        axis.bar->setEnabled(axis.enabled);
    }
    viewport()->update();
}

void CImageView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    if (m_bSyncingBars) {
        return;
    }
    m_viewport.ScrollTo(QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
    RepaintWithMagnifier();
}

// ---- Painting ----

void CImageView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Button));
    const QPoint origin = m_viewport.Origin();
    DrawContent(painter, origin.x(), origin.y(), m_viewport.Scale());
}

const QImage& CImageView::PaintablePhoto() {
    const QImage& photo = m_doc.photos[GetPhotoIndex()];
    const QImage::Format format = photo.format();
    if (photo.isNull() || format == QImage::Format_RGB32 ||
        format == QImage::Format_ARGB32_Premultiplied) {
        return photo;
    }
    // Other formats would be converted whole inside every stretch: convert once per photo.
    if (m_paintablePhotoKey != photo.cacheKey() || m_paintablePhoto.isNull()) {
        m_paintablePhoto = photo.convertToFormat(
            photo.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        m_paintablePhotoKey = photo.cacheKey();
    }
    return m_paintablePhoto;
}

void CImageView::DrawContent(QPainter& surface, int ax, int ay, float scale) {
    const int i = GetPhotoIndex();
    OverlayPainter overlay(surface, QPoint(ax, ay), scale);
    overlay.DrawPhoto(PaintablePhoto(), m_doc.GetPhotoSize(i));
    try {
        if (m_doc.showBox) {
            const Feature* outline = m_doc.features[i].empty() ? nullptr : &m_doc.features[i][0];
            overlay.DrawBox(m_doc.box[i], outline, m_doc.pointPositions[i], Hover().handle);
        }
        if (m_doc.showFeatures) {
            overlay.DrawFeatures(m_doc.features[i], m_doc.points[i], m_doc.pointPositions[i],
                                 m_doc.pointsLevel, Hover());
        }
    } catch (const std::exception&) {
        // A damaged feature set: the overlays stop at the bad index; a paint stays silent.
    }
}

// ---- Zoom and size ----

void CImageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    ResetScrollSizes();
    // A zoom chosen with the wheel lasts until the pane is resized.
    FitToWindow();
}

void CImageView::wheelEvent(QWheelEvent* event) {
    event->accept();
    ZoomByWheel(event->angleDelta().y(), event->position().toPoint());
}

bool CImageView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel &&
        (watched == horizontalScrollBar() || watched == verticalScrollBar())) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint global = wheel->globalPosition().toPoint();
        ZoomByWheel(wheel->angleDelta().y(), viewport()->mapFromGlobal(global));
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CImageView::ZoomByNotches(int notches) {
    RefreshGeometry();
    m_viewport.ZoomByNotches(notches);
    ResetScrollSizes();
    RepaintWithMagnifier();
}

void CImageView::ZoomByWheel(int wheelDelta, QPoint clientPoint) {
    RefreshGeometry();
    m_viewport.WheelZoom(static_cast<int16_t>(wheelDelta));
    ResetScrollSizes();
    HandleMouseMoveIdle(clientPoint);
    RepaintWithMagnifier();
}

// ---- Hover ----

Vec2 CImageView::PhotoPosition(QPoint clientPoint) const {
    const QPointF p = m_viewport.WindowToPhoto(clientPoint);
    return {static_cast<float>(p.x()), static_cast<float>(p.y())};
}

float CImageView::Tolerance() const {
    return HitTolerance(m_viewport.Scale());
}

OverlayHover CImageView::Hover() const {
    const auto indexOf = [this](OverlayTarget target) {
        return m_hover.target == target ? m_hover.index : -1;
    };
    return {indexOf(OverlayTarget::BoxPart), indexOf(OverlayTarget::Point),
            indexOf(OverlayTarget::Feature)};
}

OverlayLayers CImageView::Layers() const {
    const int i = GetPhotoIndex();
    OverlayLayers layers;
    if (m_doc.showBox) {
        layers.box = &m_doc.box[i];
    }
    if (m_doc.showFeatures) {
        layers.points = &m_doc.points[i];
        layers.features = &m_doc.features[i];
        layers.positions = &m_doc.pointPositions[i];
        layers.pointsLevel = m_doc.pointsLevel;
    }
    return layers;
}

OverlayHit CImageView::HitTest(QPoint clientPoint) const {
    return HitTestOverlay(Layers(), PhotoPosition(clientPoint), Tolerance());
}

void CImageView::ClearOverlayHover() {
    m_hover = {};
}

bool CImageView::UpdateHover(QPoint clientPoint) {
    const OverlayHit hit = HitTest(clientPoint);
    if (!(hit == m_hover)) {
        m_hover = hit;
        RepaintWithMagnifier();
    }
    if (hit.target == OverlayTarget::None) {
        return false;
    }
    viewport()->setCursor(OverlayCursor(hit));
    return true;
}

void CImageView::HandleMouseMoveIdle(QPoint clientPoint) {
    bool hovered = false;
    try {
        hovered = UpdateHover(clientPoint);
    } catch (const std::exception&) {
        // An index outside the point list is refused; hovering shows nothing rather than a
        // message on every mouse move.
        ClearOverlayHover();
        RepaintWithMagnifier();
    }
    if (!hovered) {
        viewport()->unsetCursor();
    }
    InvalidateMagnifier();
}

bool CImageView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) {
        OnMouseLeave();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CImageView::OnMouseLeave() {
    ClearOverlayHover();
    RepaintWithMagnifier();
}

// ---- Mouse and keys ----

void CImageView::Capture() {
    viewport()->grabMouse();
}

void CImageView::ReleaseCapture() {
    if (QWidget::mouseGrabber() == viewport()) {
        viewport()->releaseMouse();
    }
}

void CImageView::ReportEditFailure(const std::exception& failure) {
    CancelEditing();
    ReportFailure(failure, this);
}

void CImageView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        if (IsDragging()) {
            CancelEditing();
        } else if (m_bPanning) {
            EndPanning();
        }
        return;
    }
    if (event->button() != Qt::LeftButton || CaptureHeld() || IsDragging() || m_bPanning) {
        return; // a press while any window holds the mouse is not an edit
    }
    setFocus(Qt::MouseFocusReason);
    try {
        if (!BeginDrag(pos)) {
            StartPanning(pos);
        }
    } catch (const std::exception& failure) {
        ReportEditFailure(failure);
    }
}

void CImageView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (IsDragging()) {
        try {
            DragTo(pos);
        } catch (const std::exception& failure) {
            ReportEditFailure(failure);
        }
    } else if (m_bPanning) {
        PanStep(pos);
    } else {
        HandleMouseMoveIdle(pos);
    }
}

void CImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint pos = event->position().toPoint();
    if (IsDragging()) {
        try {
            DragTo(pos);
            EndDrag();
        } catch (const std::exception& failure) {
            ReportEditFailure(failure);
        }
    } else if (m_bPanning) {
        PanStep(pos);
        EndPanning();
    }
}

void CImageView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && (IsDragging() || m_bPanning)) {
        if (IsDragging()) {
            CancelEditing();
        } else {
            EndPanning();
        }
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CImageView::OnCaptureLost() {
    if (IsDragging()) {
        CancelEditing();
    }
    if (m_bPanning) {
        EndPanning();
    }
}

void CImageView::hideEvent(QHideEvent* event) {
    OnCaptureLost();
    QAbstractScrollArea::hideEvent(event);
}

void CImageView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        OnCaptureLost();
    }
    QAbstractScrollArea::changeEvent(event);
}

void CImageView::focusOutEvent(QFocusEvent* event) {
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) {
        OnCaptureLost();
    }
    QAbstractScrollArea::focusOutEvent(event);
}

// ---- Drags of the box, points, features and blend zone ----

bool CImageView::BeginDrag(QPoint clientPoint) {
    // What the press grabs is what the hover shows there.
    m_hover = HitTest(clientPoint);
    if (!m_edit.Begin(GetPhotoIndex(), m_hover, clientPoint)) {
        return false;
    }
    Capture();
    return true;
}

void CImageView::DragTo(QPoint clientPoint) {
    if (m_edit.Step(clientPoint, m_viewport.Scale())) {
        RepaintWithMagnifier();
    }
}

void CImageView::EndDrag() {
    ReleaseCapture();
    ResetScrollSizes();
    m_edit.End();
}

void CImageView::CancelDrag() {
    if (!m_edit.Active()) {
        return;
    }
    ReleaseCapture();
    ResetScrollSizes();
    m_edit.Cancel();
    RepaintWithMagnifier();
}

void CImageView::CancelEditing() {
    try {
        CancelDrag();
    } catch (const std::exception& failure) {
        ReportFailure(failure, this);
    }
}

// ---- Panning ----

void CImageView::StartPanning(QPoint clientPoint) {
    if (CaptureHeld()) {
        return;
    }
    m_bPanning = true;
    m_ptPanLast = clientPoint;
    Capture();
}

void CImageView::PanStep(QPoint clientPoint) {
    m_viewport.PanBy(clientPoint - m_ptPanLast);
    m_ptPanLast = clientPoint;
    ResetScrollSizes();
    RepaintWithMagnifier();
}

void CImageView::EndPanning() {
    m_bPanning = false;
    ReleaseCapture();
}

} // namespace vm
