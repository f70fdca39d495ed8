#pragma once
// The pane of the profile photo. Adds the blend zone, which takes the mouse before the box,
// points and features whenever it is shown.
#include "views/photo/CImageView.h"

namespace vm {

class CSideView : public CImageView {
    Q_OBJECT
public:
    explicit CSideView(CVisomorfDoc& doc, QWidget* parent = nullptr);

    int GetPhotoIndex() const override { return Side; }
    void DrawContent(QPainter& surface, int ax, int ay, float scale) override;

    int HotBlendVertex() const { return HotIndex(OverlayTarget::BlendVertex); }
    int HotBlendLine() const { return HotIndex(OverlayTarget::BlendLine); }

protected:
    OverlayLayers Layers() const override;

private:
    int HotIndex(OverlayTarget target) const {
        return HoverHit().target == target ? HoverHit().index : -1;
    }
};

} // namespace vm
