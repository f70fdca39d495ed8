#pragma once
// The 3D view's picture of a document drawn by the software rasteriser: the same scene, camera
// and rules as the OpenGL frame, without a graphics card (for comparisons and measurements).
#include "views/view3d/Camera3D.h"

#include <QImage>

namespace vm {

class CVisomorfDoc;

// transforms.viewport gives the picture's size in pixels.
QImage RenderSceneSoftware(const CVisomorfDoc& doc, const SceneTransforms& transforms);

} // namespace vm
