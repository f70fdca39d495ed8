#pragma once
// The state one undo step restores: everything a photo drag or the automatic fit can change.
#include "document/DocumentTypes.h"
#include "document/FeatureSet.h"
#include "platform/core/VMath.h"

#include <QByteArray>
#include <QImage>
#include <vector>

namespace vm {

struct UndoSnapshot {
    Box boxes[kPhotoCount];
    std::vector<Vec2> pointPositions[kPhotoCount]; // photo pixels
    // Per editable-mesh vertex: position x, y, z (model units), frontUV u, v, sideUV u, v.
    std::vector<float> vertices;
    std::vector<Vec2> blendZone; // side-photo pixels
    // Kept with the zone so that an undone width change cannot leave a blend that differs from
    // the zone drawn on the photo.
    float blendZoneWidth = 100;
    // The push/pull record that goes with these vertex positions, so that undo and redo never
    // leave a record that Reset modifications would subtract from positions it does not match.
    std::vector<Vec3> displacements; // model units, per editable-mesh vertex or empty
    // The photos, which the fit may replace by aligned versions. Both types share their data
    // with the document's until one side changes, so a drag's snapshot copies no pixels.
    QImage photos[kPhotoCount];
    QByteArray photoJpegBytes[kPhotoCount];
};

constexpr int kFloatsPerSnapshotVertex = 7;

} // namespace vm
