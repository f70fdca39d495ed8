#pragma once
// Model > Fit Automatically: fits the loaded photos, as one undoable step; Model > Match Side
// Photo to Front: the side photo resampled to the front photo's heights, as one undoable step.
class QWidget;

namespace vm {

class CVisomorfDoc;

// Shows a busy cursor while the detectors run; a photo that cannot be fitted is reported
// through the windows' failure path while the other photo's fit is still applied.
void RunAutoFitCommand(CVisomorfDoc& doc, QWidget* parent);
void RunMatchSideCommand(CVisomorfDoc& doc, QWidget* parent);

} // namespace vm
