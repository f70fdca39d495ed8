#include "views/photo/CSideView.h"

#include <QPainter>

namespace vm {

CSideView::CSideView(CVisomorfDoc& doc, QWidget* parent) : CImageView(doc, parent) {
    setWindowTitle(QStringLiteral("Side View"));
}

void CSideView::DrawContent(QPainter& surface, int ax, int ay, float scale) {
    CImageView::DrawContent(surface, ax, ay, scale);
    const CVisomorfDoc& doc = Document();
    if (!doc.showBlendZone) {
        return;
    }
    OverlayPainter overlay(surface, QPoint(ax, ay), scale);
    overlay.DrawBlendZone(doc.blendZone, doc.blendZoneWidth, HotBlendVertex(), HotBlendLine());
}

OverlayLayers CSideView::Layers() const {
    OverlayLayers layers = CImageView::Layers();
    const CVisomorfDoc& doc = Document();
    if (doc.showBlendZone) {
        layers.blendZone = &doc.blendZone;
        layers.blendWidth = doc.blendZoneWidth;
    }
    return layers;
}

} // namespace vm
