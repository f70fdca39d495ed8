#include "views/photo/CMagnifierDlg.h"

#include "views/photo/CImageView.h"
#include "views/photo/MagnifierGeometry.h"
#include "views/photo/ZoomLaw.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QWheelEvent>
#include <cstdint>

namespace vm {

namespace {
// Dialog units of the window: 200 x 160.
constexpr int kWidthDialogUnits = 200;
constexpr int kHeightDialogUnits = 160;
// Half the length of the cursor cross drawn at the centre, magnifier pixels.
constexpr int kCrossHalf = 7;

CImageView* PhotoViewOfViewport(QWidget* widget) {
    if (!widget) {
        return nullptr;
    }
    auto* view = qobject_cast<CImageView*>(widget->parentWidget());
    return view && view->viewport() == widget ? view : nullptr;
}

// The cursor's image at the centre: a black cross with a white rim, visible on any photo.
void DrawCursorCross(QPainter& surface, QPoint centre) {
    const QColor white(255, 255, 255), black(0, 0, 0);
    surface.fillRect(centre.x() - kCrossHalf - 1, centre.y() - 1, 2 * kCrossHalf + 3, 3, white);
    surface.fillRect(centre.x() - 1, centre.y() - kCrossHalf - 1, 3, 2 * kCrossHalf + 3, white);
    surface.fillRect(centre.x() - kCrossHalf, centre.y(), 2 * kCrossHalf + 1, 1, black);
    surface.fillRect(centre.x(), centre.y() - kCrossHalf, 1, 2 * kCrossHalf + 1, black);
}
} // namespace

CMagnifierDlg::CMagnifierDlg(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral("Magnifier"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_ShowWithoutActivating);
    const QFontMetrics metrics(font());
    resize(kWidthDialogUnits * metrics.averageCharWidth() / 4,
           kHeightDialogUnits * metrics.height() / 8);
}

CImageView* CMagnifierDlg::SourceView(QPoint globalCursor) {
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        return PhotoViewOfViewport(grabber); // the capture decides, whatever lies under it
    }
    CImageView* view = PhotoViewOfViewport(QApplication::widgetAt(globalCursor));
    if (view && !view->viewport()->rect().contains(view->viewport()->mapFromGlobal(globalCursor))) {
        return nullptr;
    }
    return view;
}

void CMagnifierDlg::Render(QPainter& surface, QSize size, CImageView& source,
                           QPoint sourcePoint) const {
    const QPoint origin =
        MagnifierOrigin(source.WindowToPhoto(sourcePoint), m_fMagnification, size);
    surface.save();
    source.DrawContent(surface, origin.x(), origin.y(), m_fMagnification);
    surface.restore();
    DrawCursorCross(surface, QPoint(size.width() / 2, size.height() / 2));
}

void CMagnifierDlg::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    const QPoint cursor = QCursor::pos();
    if (CImageView* view = SourceView(cursor)) {
        Render(painter, size(), *view, view->viewport()->mapFromGlobal(cursor));
    }
}

void CMagnifierDlg::wheelEvent(QWheelEvent* event) {
    event->accept();
    const int notches = m_wheel.Add(static_cast<int16_t>(event->angleDelta().y()));
    m_nZoomStep = WheelZoomStep(m_nZoomStep, notches * kWheelDeltaPerStep);
    m_fMagnification = ScaleForStep(m_nZoomStep);
    update();
}

} // namespace vm
