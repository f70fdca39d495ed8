#pragma once
// Draws an exported head as a camera far away would see it (orthographic), turned about its
// vertical axis, with the texture's colours as they are: the photos already carry their light.
#include "GlbReader.h"

#include <QImage>

namespace vm {

struct HeadView {
    // Degrees about the vertical axis; positive turns the face towards the right of the picture.
    float yawDegrees = 0;
    int width = 400;
    int height = 480;
    QRgb background = qRgb(128, 128, 128);
    // The head's height from crown to chin in the picture, as a fraction of its height; the
    // head's centre of its extents sits in the middle of the picture.
    float fill = 0.85f;
};

QImage RenderHead(const GlbMesh& mesh, const HeadView& view);

} // namespace vm
