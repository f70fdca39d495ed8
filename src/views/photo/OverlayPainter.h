#pragma once
// Draws a photo and its overlays onto any QPainter surface (a pane, the magnifier, a test
// image): nearest-neighbour photo stretching, one-pixel dotted lines with white gaps and the
// 5 x 5 square markers. The origin is in window pixels: photo pixel (0, 0) lands at -origin.
#include "document/DocumentTypes.h"
#include "document/FeatureSet.h"
#include "platform/core/VMath.h"

#include <QColor>
#include <QPoint>
#include <QSize>
#include <vector>

class QImage;
class QPainter;

namespace vm {

// What lies under the mouse, for the colours (-1: none).
struct OverlayHover {
    int handle = -1;  // 0..7 a box handle, 8 the box edge (see OverlayHitTest.h)
    int point = -1;   // feature point index
    int feature = -1; // feature index
};

class OverlayPainter {
public:
    OverlayPainter(QPainter& painter, QPoint origin, float scale);

    // The photo stretched by nearest neighbour, only the part that falls on the surface; a
    // null photo is a white area of photoSize (photo pixels).
    void DrawPhoto(const QImage& photo, QSize photoSize);
    // The whole-object outline (firstFeature, may be null), the box and its handles.
    void DrawBox(const Box& box, const Feature* firstFeature, const std::vector<Vec2>& positions,
                 int hotHandle);
    // Feature lines, then the shown points on top.
    void DrawFeatures(const std::vector<Feature>& features, const std::vector<FeaturePoint>& points,
                      const std::vector<Vec2>& positions, int pointsLevel,
                      const OverlayHover& hover);
    // Centre polyline and edges with their extensions, then the vertex markers. hotLine is a
    // BlendLine or -1; nothing is drawn for an empty zone.
    void DrawBlendZone(const std::vector<Vec2>& zone, float width, int hotVertex, int hotLine);

    // photoPoint in photo pixels.
    QPoint Map(Vec2 photoPoint) const;
    // A dotted one-pixel line between window positions, white between the dots.
    void DottedLine(QPoint a, QPoint b, const QColor& colour);
    // The 5 x 5 marker centred on a window position: white outline, 3 x 3 fill.
    void Marker(QPoint centre, const QColor& fill);

private:
    QPainter& m_painter;
    QPoint m_origin;
    float m_scale;
};

} // namespace vm
