#include "views/photo/OverlayPainter.h"

#include "views/photo/BlendZoneGeometry.h"
#include "views/photo/OverlayHitTest.h"
#include "views/photo/PhotoViewport.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace vm {

namespace {
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);

// Window y where the blend zone's extensions end: beyond any surface.
constexpr int kWindowTop = -32768;
constexpr int kWindowBottom = 32767;

// Photo range [first, last) whose pixels cover window range [0, extent) on one axis, for a
// photo of `size` pixels drawn `scaled` pixels long starting at window position -origin.
std::pair<int, int> VisiblePhotoRange(int origin, int extent, int size, int scaled) {
    const double perWindowPixel = static_cast<double>(size) / scaled;
    const int first = static_cast<int>(std::floor(std::max(0, origin) * perWindowPixel));
    const int last = static_cast<int>(std::ceil((origin + extent) * perWindowPixel));
    return {std::clamp(first, 0, size), std::clamp(last, 0, size)};
}
} // namespace

OverlayPainter::OverlayPainter(QPainter& painter, QPoint origin, float scale)
    : m_painter(painter), m_origin(origin), m_scale(scale) {}

QPoint OverlayPainter::Map(Vec2 photoPoint) const {
    return MapPhotoToWindow(QPointF(photoPoint.x, photoPoint.y), m_origin, m_scale);
}

void OverlayPainter::DrawPhoto(const QImage& photo, QSize photoSize) {
    const QSize scaled(static_cast<int>(std::trunc(photoSize.width() * m_scale)),
                       static_cast<int>(std::trunc(photoSize.height() * m_scale)));
    const QRect target(-m_origin, scaled);
    if (photo.isNull()) {
        m_painter.fillRect(target, kWhite);
        return;
    }
    if (scaled.isEmpty()) {
        return;
    }
    // Stretching only the visible part keeps a paint of a 24-megapixel photo cheap; the
    // fractional target rectangle puts each photo pixel exactly where the whole stretch would.
    const QRect surface = m_painter.window();
    const auto [x0, x1] =
        VisiblePhotoRange(m_origin.x(), surface.width(), photo.width(), scaled.width());
    const auto [y0, y1] =
        VisiblePhotoRange(m_origin.y(), surface.height(), photo.height(), scaled.height());
    if (x1 <= x0 || y1 <= y0) {
        return;
    }
    const double sx = static_cast<double>(scaled.width()) / photo.width();
    const double sy = static_cast<double>(scaled.height()) / photo.height();
    const QRectF drawn(-m_origin.x() + x0 * sx, -m_origin.y() + y0 * sy, (x1 - x0) * sx,
                       (y1 - y0) * sy);
    m_painter.save();
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_painter.setClipRect(target, Qt::IntersectClip);
    m_painter.drawImage(drawn, photo, QRectF(x0, y0, x1 - x0, y1 - y0));
    m_painter.restore();
}

void OverlayPainter::DottedLine(QPoint a, QPoint b, const QColor& colour) {
    // The gaps are painted white first, so the dots stay visible on any photo.
    m_painter.setPen(QPen(kWhite, 1, Qt::SolidLine, Qt::FlatCap));
    m_painter.drawLine(a, b);
    m_painter.setPen(QPen(colour, 1, Qt::DotLine, Qt::FlatCap));
    m_painter.drawLine(a, b);
}

void OverlayPainter::Marker(QPoint centre, const QColor& fill) {
    m_painter.fillRect(QRect(centre.x() - 2, centre.y() - 2, 5, 5), kWhite);
    m_painter.fillRect(QRect(centre.x() - 1, centre.y() - 1, 3, 3), fill);
}

void OverlayPainter::DrawBox(const Box& box, const Feature* firstFeature,
                             const std::vector<Vec2>& positions, int hotHandle) {
    if (firstFeature) {
        for (const auto& [a, b] : firstFeature->segments) {
            DottedLine(Map(PointPosition(positions, a)), Map(PointPosition(positions, b)), kBlack);
        }
    }
    const QColor outline = hotHandle == kBoxEdge ? kRed : kBlack;
    const QPoint corners[] = {Map({box.left, box.top}), Map({box.right, box.top}),
                              Map({box.right, box.bottom}), Map({box.left, box.bottom})};
    for (int i = 0; i < 4; ++i) {
        DottedLine(corners[i], corners[(i + 1) % 4], outline);
    }
    for (int handle = 0; handle < kBoxHandleCount; ++handle) {
        const bool hot = handle == hotHandle || hotHandle == kBoxEdge;
        Marker(Map(BoxHandlePosition(box, handle)), hot ? kRed : kBlack);
    }
}

void OverlayPainter::DrawFeatures(const std::vector<Feature>& features,
                                  const std::vector<FeaturePoint>& points,
                                  const std::vector<Vec2>& positions, int pointsLevel,
                                  const OverlayHover& hover) {
    for (size_t f = 0; f < features.size(); ++f) {
        if (features[f].level > pointsLevel) {
            continue;
        }
        const QColor colour = static_cast<int>(f) == hover.feature ? kRed : kBlack;
        for (const auto& [a, b] : features[f].segments) {
            DottedLine(Map(PointPosition(positions, a)), Map(PointPosition(positions, b)), colour);
        }
    }
    // A hovered feature shows its own points red; its children's stay black.
    std::vector<bool> hotPoints(points.size(), false);
    if (hover.feature >= 0 && static_cast<size_t>(hover.feature) < features.size()) {
        for (const auto& [a, b] : features[static_cast<size_t>(hover.feature)].segments) {
            for (int32_t end : {a, b}) {
                if (end >= 0 && static_cast<size_t>(end) < hotPoints.size()) {
                    hotPoints[static_cast<size_t>(end)] = true;
                }
            }
        }
    }
    for (size_t i = 0; i < points.size(); ++i) {
        if (points[i].level > pointsLevel) {
            continue;
        }
        const bool hot = static_cast<int>(i) == hover.point || hotPoints[i];
        Marker(Map(PointPosition(positions, static_cast<int32_t>(i))), hot ? kRed : kBlack);
    }
}

void OverlayPainter::DrawBlendZone(const std::vector<Vec2>& zone, float width, int hotVertex,
                                   int hotLine) {
    const int n = static_cast<int>(zone.size());
    if (n == 0) {
        return; // a damaged document: there is nothing to extend
    }
    const QColor centre = hotLine == kBlendCentre ? kRed : kBlack;
    const QColor edges = hotLine != -1 ? kRed : kBlack;
    for (int s = 0; s <= n; ++s) {
        const BlendSegment seg = BlendZoneSegment(zone, s, 0.0f, 0.0f);
        QPoint a = Map(seg.a), b = Map(seg.b);
        const QPoint al = Map({seg.a.x - width, seg.a.y}), bl = Map({seg.b.x - width, seg.b.y});
        const QPoint ar = Map({seg.a.x + width, seg.a.y}), br = Map({seg.b.x + width, seg.b.y});
        QPoint ends[] = {a, b, al, bl, ar, br};
        // The extensions end in window pixels, beyond any surface.
        if (s == 0) {
            for (int i : {0, 2, 4}) {
                ends[i].setY(kWindowTop);
            }
        }
        if (s == n) {
            for (int i : {1, 3, 5}) {
                ends[i].setY(kWindowBottom);
            }
        }
        DottedLine(ends[0], ends[1], centre);
        DottedLine(ends[2], ends[3], edges);
        DottedLine(ends[4], ends[5], edges);
    }
    for (int k = 0; k < n; ++k) {
        const bool hot = k == hotVertex || hotLine == kBlendCentre;
        Marker(Map(zone[static_cast<size_t>(k)]), hot ? kRed : kBlack);
    }
}

} // namespace vm
