#pragma once
// The pane that shows one of the document's photos with its box, feature lines and points, and
// lets the user edit them with the mouse. Zoom, scroll and mapping rules live in PhotoViewport,
// hit tests and drag steps in OverlayHitTest and DragSteps; this class routes events and paints.
#include "document/CVisomorfDoc.h"
#include "views/photo/OverlayPainter.h"
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
    bool IsDragging() const override { return m_nDragMode != kNoDrag; }

    const PhotoViewport& Viewport() const { return m_viewport; }
    // View > Zoom In (notches > 0) and Zoom Out: whole wheel notches about the pane's middle.
    void ZoomByNotches(int notches);
    // clientPoint: window pixels of the viewport -> photo pixels.
    QPointF WindowToPhoto(QPoint clientPoint) const {
        return m_viewport.WindowToPhoto(clientPoint);
    }
    OverlayHover Hover() const { return {m_nHotHandle, m_nHotPoint, m_nHotFeature}; }
    bool IsPanning() const { return m_bPanning; }
    CVisomorfDoc& Document() const { return m_doc; }

protected:
    // Recomputes what lies under clientPoint (window pixels) and sets the cursor; false when
    // nothing is hovered and the default cursor applies.
    virtual bool UpdateHover(QPoint clientPoint);
    // Ends any drag in progress as a cancel: the model returns to its state before the press.
    virtual void CancelEditing();
    // Called when the view may have lost the mouse capture (hidden, deactivated, popup).
    virtual void OnCaptureLost();

    Vec2 PhotoPosition(QPoint clientPoint) const;
    float Tolerance() const;
    void SetHoverCursor(Qt::CursorShape shape);
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
    virtual void OnMouseLeave();

private:
    enum DragMode { kNoDrag = -1, kMoveBox = 0, kResizeBox = 1, kMovePoints = 2 };

    int ChooseDragMode(QPoint clientPoint);
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

    int m_nHotHandle = -1;
    int m_nHotPoint = -1;
    int m_nHotFeature = -1;
    int m_nDragMode = kNoDrag;
    // The handle a resize drag moves, fixed at the press: a wheel zoom during the drag may
    // change the hovered handle.
    int m_nDragHandle = -1;
    QPoint m_ptLast; // window pixels
    bool m_bDragChanged = false;
    bool m_bPanning = false;
    bool m_bSyncingBars = false;
    PointWeightMap m_pointWeights;
    VertexWeightMap m_vertexWeights;

    // The photo in a format the painter stretches without converting it whole on every paint.
    QImage m_paintablePhoto;
    qint64 m_paintablePhotoKey = 0;
};

} // namespace vm
