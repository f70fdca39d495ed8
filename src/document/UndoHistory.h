#pragma once
// The undo history: whole snapshots of the state an edit changes, and where the user is in them.
#include "document/DocumentTypes.h"
#include "document/FeatureSet.h"
#include "platform/core/VMath.h"

#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <vector>

namespace vm {

// The state one undo step restores: everything a photo drag or the automatic fit can change.
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

// Knows nothing of the document: the document captures and restores the snapshots, the history
// decides which one an edit, an undo or a redo goes back to. While the user browses back, the
// newest entry is the state that was live before the first undo, so that redo can return to it.
class UndoHistory {
public:
    size_t Size() const { return m_steps.size(); }
    bool Empty() const { return m_steps.empty(); }
    // The entry the document shows while browsing back; -1 when the live state is the newest.
    int Position() const { return m_position; }
    bool AtNewest() const { return m_position < 0; }
    bool CanUndo() const;
    bool CanRedo() const;

    // Where an edit keeps the state it started from while the live state is the newest (while
    // browsing, the browsed entry is that state). Reused from edit to edit.
    UndoSnapshot& EditStart() { return m_editStart; }
    // The state a cancelled edit goes back to.
    const UndoSnapshot& CancelPoint() const;
    // Records the finished edit: its start state becomes a step, or, while browsing, the steps
    // after the browsed one are dropped.
    void Commit();

    // One step back; live is the state as it is now, kept as the newest entry when leaving the
    // newest state and ignored otherwise. Returns the state to restore. Throws
    // GeneralFailureException when there is nothing to undo.
    const UndoSnapshot& StepBack(UndoSnapshot live);
    // One step forward; throws GeneralFailureException when there is nothing to redo.
    const UndoSnapshot& StepForward();

    void Clear();
    // A photo load is no step: every recorded state takes the new photo.
    void KeepPhoto(int photo, const QImage& image, const QByteArray& jpegBytes);

private:
    std::vector<UndoSnapshot> m_steps;
    UndoSnapshot m_editStart;
    int m_position = -1;
};

} // namespace vm
