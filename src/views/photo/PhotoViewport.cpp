#include "views/photo/PhotoViewport.h"

#include "views/photo/ZoomLaw.h"

#include <algorithm>
#include <cmath>

namespace vm {

namespace {
constexpr int kFitMarginPhotoPixels = 100;

int CentreOnAxis(int client, int scaled) {
    return scaled < client ? (client - scaled) / 2 : 0;
}
} // namespace

QPoint MapPhotoToWindow(QPointF photoPoint, QPoint origin, float scale) {
    const auto x = static_cast<int>(std::trunc(static_cast<float>(photoPoint.x()) * scale));
    const auto y = static_cast<int>(std::trunc(static_cast<float>(photoPoint.y()) * scale));
    return QPoint(x, y) - origin;
}

void PhotoViewport::SetPhotoSize(QSize photoSize) {
    m_photoSize = photoSize;
    ScrollTo(m_scroll);
}

void PhotoViewport::SetClientSize(QSize clientSize) {
    m_clientSize = clientSize.expandedTo(QSize(0, 0));
    ScrollTo(m_scroll);
}

void PhotoViewport::Fit() {
    const int cw = m_clientSize.width();
    const int ch = m_clientSize.height();
    if (cw <= 0 || ch <= 0) {
        return; // the formula would give scale 0 and step minus infinity
    }
    const double fx = static_cast<double>(cw) / (m_photoSize.width() + kFitMarginPhotoPixels);
    const double fy = static_cast<double>(ch) / (m_photoSize.height() + kFitMarginPhotoPixels);
    m_scale = static_cast<float>(std::min(fx, fy));
    m_zoomStep = StepForScale(m_scale);
    m_wheel.Reset();
    ScrollTo(m_scroll);
}

void PhotoViewport::WheelZoom(int wheelDelta) {
    ZoomByNotches(m_wheel.Add(wheelDelta));
}

void PhotoViewport::ZoomByNotches(int notches) {
    // Far more notches than the whole range of steps from any fitted step: clamping them keeps
    // the product within int and changes no result.
    constexpr int kNotchLimit = 100000;
    m_zoomStep = WheelZoomStep(m_zoomStep,
                               std::clamp(notches, -kNotchLimit, kNotchLimit) * kWheelDeltaPerStep);
    // Recomputed even for less than a notch: the fitted scale snaps onto the step grid.
    const float newScale = ScaleForStep(m_zoomStep);
    const QSize oldSize = ScaledSizeAt(m_scale);
    const QSize newSize = ScaledSizeAt(newScale);
    const int x = NewScrollOnAxis(m_scroll.x(), m_clientSize.width(), oldSize.width(),
                                  newSize.width(), m_scale, newScale);
    const int y = NewScrollOnAxis(m_scroll.y(), m_clientSize.height(), oldSize.height(),
                                  newSize.height(), m_scale, newScale);
    m_scale = newScale;
    ScrollTo(QPoint(x, y));
}

int PhotoViewport::NewScrollOnAxis(int position, int client, int oldExtent, int newExtent,
                                   float oldScale, float newScale) const {
    if (client >= newExtent) {
        return 0;
    }
    if (client > oldExtent) {
        return (newExtent - client) / 2; // the photo used to fit: show its middle
    }
    // Keep the photo point in the middle of the pane where it is.
    const int half = client / 2;
    return static_cast<int>(
        std::trunc(static_cast<float>(position + half) / oldScale * newScale - half));
}

QSize PhotoViewport::ScaledSizeAt(float scale) const {
    return {static_cast<int>(std::trunc(static_cast<float>(m_photoSize.width()) * scale)),
            static_cast<int>(std::trunc(static_cast<float>(m_photoSize.height()) * scale))};
}

QPoint PhotoViewport::CentringOffset() const {
    const QSize scaled = ScaledSize();
    return {CentreOnAxis(m_clientSize.width(), scaled.width()),
            CentreOnAxis(m_clientSize.height(), scaled.height())};
}

QPoint PhotoViewport::ScrollLimit() const {
    const QSize scaled = ScaledSize();
    return {std::max(0, scaled.width() - m_clientSize.width()),
            std::max(0, scaled.height() - m_clientSize.height())};
}

void PhotoViewport::ScrollTo(QPoint position) {
    const QPoint limit = ScrollLimit();
    m_scroll = {std::clamp(position.x(), 0, limit.x()), std::clamp(position.y(), 0, limit.y())};
}

bool PhotoViewport::ScrollBy(QPoint delta) {
    const QPoint before = m_scroll;
    ScrollTo(m_scroll +
             QPoint(HorizontalBarEnabled() ? delta.x() : 0, VerticalBarEnabled() ? delta.y() : 0));
    return m_scroll != before;
}

void PhotoViewport::PanBy(QPoint mouseDelta) {
    const QSize scaled = ScaledSize();
    QPoint target = m_scroll - mouseDelta;
    if (scaled.width() < m_clientSize.width()) {
        target.setX(m_scroll.x());
    }
    if (scaled.height() < m_clientSize.height()) {
        target.setY(m_scroll.y());
    }
    ScrollTo(target);
}

QPointF PhotoViewport::WindowToPhoto(QPoint clientPoint) const {
    const QPoint origin = Origin();
    return {static_cast<float>(clientPoint.x() + origin.x()) / m_scale,
            static_cast<float>(clientPoint.y() + origin.y()) / m_scale};
}

QPoint PhotoViewport::PhotoToWindow(QPointF photoPoint) const {
    return MapPhotoToWindow(photoPoint, Origin(), m_scale);
}

} // namespace vm
