#pragma once
// Where a photo lies in a pane: zoom, centring, scroll position and the mapping between window
// pixels (the pane's client area) and photo pixels. The widget owns one and only forwards sizes,
// wheel deltas and mouse movements to it.
#include "views/photo/ZoomLaw.h"

#include <QPoint>
#include <QPointF>
#include <QSize>

namespace vm {

class PhotoViewport {
public:
    // photoSize: photo pixels (600 x 800 when no photo is loaded).
    void SetPhotoSize(QSize photoSize);
    QSize PhotoSize() const { return m_photoSize; }
    // clientSize: window pixels of the area the photo is drawn in, scroll bars excluded.
    void SetClientSize(QSize clientSize);
    QSize ClientSize() const { return m_clientSize; }

    // Window pixels per photo pixel; always positive.
    float Scale() const { return m_scale; }
    int ZoomStep() const { return m_zoomStep; }

    // Fits the photo with a margin of 100 photo pixels per dimension. An empty client area keeps
    // the current scale, so the pane is usable again when it reappears.
    void Fit();
    // Zooms by a signed wheel delta (120 per notch), keeping the middle of the pane in place.
    // Deltas smaller than a notch add up until they make one.
    void WheelZoom(int wheelDelta);
    // Zooms by whole notches (Zoom In and Out), keeping the middle of the pane in place.
    void ZoomByNotches(int notches);

    // Window pixels.
    QSize ScaledSize() const { return ScaledSizeAt(m_scale); }
    QSize ScaledSizeAt(float scale) const;
    QPoint CentringOffset() const;
    // The window position of photo pixel (0, 0), negated: (sx - ox, sy - oy).
    QPoint Origin() const { return m_scroll - CentringOffset(); }

    // Scroll positions and limits, window pixels.
    QPoint ScrollPosition() const { return m_scroll; }
    QPoint ScrollLimit() const;
    // An axis gets an enabled bar when the photo overflows it; a pane too small to hold bars
    // at all has both disabled.
    bool HorizontalBarEnabled() const {
        return !m_clientSize.isEmpty() && ScaledSize().width() > m_clientSize.width();
    }
    bool VerticalBarEnabled() const {
        return !m_clientSize.isEmpty() && ScaledSize().height() > m_clientSize.height();
    }
    // Clamped to 0..limit on each axis.
    void ScrollTo(QPoint position);
    // Adds a delta on the axes that have a bar; returns whether the position changed.
    bool ScrollBy(QPoint delta);
    // Moves the photo with the mouse like a sheet of paper; mouseDelta in window pixels. An axis
    // on which the photo fits keeps its position.
    void PanBy(QPoint mouseDelta);

    // clientPoint: window pixels -> photo pixels.
    QPointF WindowToPhoto(QPoint clientPoint) const;
    // photoPoint: photo pixels -> window pixels (the product is truncated before the origin is
    // subtracted, as every overlay is placed).
    QPoint PhotoToWindow(QPointF photoPoint) const;

private:
    int NewScrollOnAxis(int position, int client, int oldExtent, int newExtent, float oldScale,
                        float newScale) const;

    QSize m_photoSize{600, 800};
    QSize m_clientSize;
    // Before the first fit: the scale and step the magnifier also starts with.
    float m_scale = 1.0f;
    int m_zoomStep = 11;
    QPoint m_scroll;
    WheelNotches m_wheel;
};

// Photo to window mapping for a given origin (ax, ay) and scale, as DrawContent uses it:
// trunc(p * scale) - origin. photoPoint in photo pixels, origin and result in window pixels.
QPoint MapPhotoToWindow(QPointF photoPoint, QPoint origin, float scale);

} // namespace vm
