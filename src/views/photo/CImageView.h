#pragma once
// The pane that shows one of the document's photos with its box, feature lines and points, and
// lets the user edit them with the mouse. Zoom, scroll and mapping rules live in PhotoViewport,
// what lies under the mouse in OverlayHitTest, and a drag's changes to the model, its undo step
// and its cancel in PhotoEditSession; this class routes events, holds the capture, sets the
// cursor and paints.
#include "document/CVisomorfDoc.h"
#include "views/photo/OverlayHitTest.h"
#include "views/photo/OverlayPainter.h"
#include "views/photo/PhotoEditSession.h"
#include "views/photo/PhotoViewport.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <exception>

class QPainter;

namespace vm {

class CMagnifierDlg;

class CImageView : public QAbstractScrollArea, public CDocumentView {
    Q_OBJECT
public:
    // Attaches to the document; the destructor detaches.
    explicit CImageView(CVisomorfDoc& doc, QWidget* parent = nullptr);
    ~CImageView() override;

    // Front or Side.
    virtual int GetPhotoIndex() const = 0;
    // Draws the photo and its overlays with photo pixel (0, 0) at window position (-ax, -ay)
    // and the given scale (surface pixels per photo pixel). The pane and the magnifier call it.
    virtual void DrawContent(QPainter& surface, int ax, int ay, float scale);

    // The magnifier this view repaints; nullptr for none.
    void SetMagnifier(CMagnifierDlg* magnifier);
    void InvalidateMagnifier();

    // CDocumentView
    void OnUpdate(CDocumentView* sender, int hint) override;
    void FitToWindow() override;
    int PhotoViewIndex() const override { return GetPhotoIndex(); }
    bool IsDragging() const override { return m_edit.Active(); }

    const PhotoViewport& Viewport() const { return m_viewport; }
    // View > Zoom In (notches > 0) and Zoom Out: whole wheel notches about the pane's middle.
    void ZoomByNotches(int notches);
    // clientPoint: window pixels of the viewport -> photo pixels.
    QPointF WindowToPhoto(QPoint clientPoint) const {
        return m_viewport.WindowToPhoto(clientPoint);
    }
    // The box part, point and feature under the mouse, for the colours.
    OverlayHover Hover() const;
    // Whatever lies under the mouse, the blend zone included.
    OverlayHit HoverHit() const { return m_hover; }
    bool IsPanning() const { return m_bPanning; }
    CVisomorfDoc& Document() const { return m_doc; }

protected:
    // The overlays shown on this photo, as the hit test sees them.
    virtual OverlayLayers Layers() const;
    // Recomputes what lies under clientPoint (window pixels) and sets the cursor; false when
    // nothing is hovered and the default cursor applies.
    bool UpdateHover(QPoint clientPoint);
    // Ends any drag in progress as a cancel: the model returns to its state before the press.
    void CancelEditing();
    // Called when the view may have lost the mouse capture (hidden, deactivated, popup).
    void OnCaptureLost();

    Vec2 PhotoPosition(QPoint clientPoint) const;
    float Tolerance() const;
    OverlayHit HitTest(QPoint clientPoint) const;
    void ClearOverlayHover();
    void RepaintWithMagnifier();
    // Scroll bars brought up to date with the photo size, pane size and zoom.
    void ResetScrollSizes();
    static bool CaptureHeld() { return QWidget::mouseGrabber() != nullptr; }
    void Capture();
    void ReleaseCapture();
    // A failure in an edit: shown to the user, and any drag is cancelled.
    void ReportEditFailure(const std::exception& failure);
    void HandleMouseMoveIdle(QPoint clientPoint);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The mouse left the viewport.
    void OnMouseLeave();

private:
    bool BeginDrag(QPoint clientPoint);
    void DragTo(QPoint clientPoint);
    void EndDrag();
    void CancelDrag();
    void StartPanning(QPoint clientPoint);
    void PanStep(QPoint clientPoint);
    void EndPanning();
    void RefreshGeometry();
    // clientPoint: window pixels of the viewport where the wheel turned.
    void ZoomByWheel(int wheelDelta, QPoint clientPoint);
    const QImage& PaintablePhoto();

    CVisomorfDoc& m_doc;
    PhotoViewport m_viewport;
    QPointer<CMagnifierDlg> m_pMagnifier;

    PhotoEditSession m_edit;
    OverlayHit m_hover;
    QPoint m_ptPanLast; // window pixels
    bool m_bPanning = false;
    bool m_bSyncingBars = false;

    // The photo in a format the painter stretches without converting it whole on every paint.
    QImage m_paintablePhoto;
    qint64 m_paintablePhotoKey = 0;
};

} // namespace vm
