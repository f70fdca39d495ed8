#pragma once
// A floating tool window that shows the neighbourhood of the mouse cursor on a photo view, at
// its own magnification, with everything the view draws over the photo. The views repaint it;
// it has no timer of its own.
#include "views/photo/ZoomLaw.h"

#include <QPoint>
#include <QWidget>

class QPainter;

namespace vm {

class CImageView;

class CMagnifierDlg : public QWidget {
    Q_OBJECT
public:
    explicit CMagnifierDlg(QWidget* parent = nullptr);

    int ZoomStep() const { return m_nZoomStep; }
    // Magnifier pixels per photo pixel.
    float Magnification() const { return m_fMagnification; }

    // The photo view whose picture lies under the cursor (globalCursor: screen pixels): the view
    // holding the mouse capture, else the view whose client area is under the cursor; nullptr
    // when that window is not a photo view.
    static CImageView* SourceView(QPoint globalCursor);
    // Draws onto a surface of the given size what the magnifier shows for a cursor at
    // sourcePoint (window pixels of the source view's client area).
    void Render(QPainter& surface, QSize size, CImageView& source, QPoint sourcePoint) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_nZoomStep = 11;
    float m_fMagnification = 1.0f;
    WheelNotches m_wheel;
};

} // namespace vm
