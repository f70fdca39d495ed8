#pragma once
// The pane of the profile photo. Adds the blend zone, which takes the mouse before the box,
// points and features whenever it is shown.
#include "views/photo/CImageView.h"

namespace vm {

class CSideView : public CImageView {
    Q_OBJECT
public:
    explicit CSideView(CVisomorfDoc& doc, QWidget* parent = nullptr);
    ~CSideView() override;

    int GetPhotoIndex() const override { return Side; }
    void OnUpdate(CDocumentView* sender, int hint) override;
    void DrawContent(QPainter& surface, int ax, int ay, float scale) override;
    bool IsDragging() const override { return m_bBlendDrag || CImageView::IsDragging(); }

    int HotBlendVertex() const { return m_nHotBlendVertex; }
    int HotBlendLine() const { return m_nHotBlendLine; }

protected:
    bool UpdateHover(QPoint clientPoint) override;
    void CancelEditing() override;
    void OnMouseLeave() override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool BlendPress(QPoint clientPoint);
    void BlendStep(QPoint clientPoint);
    void EndBlendDrag();
    void CancelBlendDrag();

    int m_nHotBlendVertex = -1;
    int m_nHotBlendLine = -1;
    bool m_bBlendDrag = false;
    // What the blend drag moves, fixed at the press (a wheel zoom may change the hover).
    int m_nBlendDragVertex = -1;
    int m_nBlendDragLine = -1;
    QPoint m_ptBlendLast; // window pixels
    bool m_bBlendChanged = false;
};

} // namespace vm
