#pragma once
// How the main window gets its views, the magnifier and the commands that belong to them: a set
// of functions, so that the window does not depend on the view classes and tests can give it
// views of their own. Every view widget is also a CDocumentView and has its caption text as
// windowTitle() ("Front View", "Side View", "3D View").
#include <QWidget>
#include <functional>

namespace vm {

class CVisomorfDoc;
class Settings;

struct MainFrameViews {
    using ViewCreator = std::function<QWidget*(CVisomorfDoc& doc, QWidget* parent)>;
    ViewCreator createFront;
    ViewCreator createSide; // called twice: the switchable pane's and the inner splitter's
    ViewCreator create3D;
    // The floating magnifier, created hidden with the frame as parent; unset: no magnifier.
    std::function<QWidget*(QWidget* frame)> createMagnifier;
    // Lets a photo view feed the magnifier.
    std::function<void(QWidget* photoView, QWidget* magnifier)> attachMagnifier;
    // Installs the document's dialogs (photo file, subdivision settings) with frame as owner.
    std::function<void(CVisomorfDoc& doc, QWidget* frame)> installDialogs;
    // File > Export; unset disables the menu item.
    std::function<void(CVisomorfDoc& doc, QWidget* frame)> exportCommand;
    // Model > Fit Automatically; unset disables the menu item.
    std::function<void(CVisomorfDoc& doc, QWidget* frame)> autoFitCommand;
    std::function<void(CVisomorfDoc& doc, QWidget* frame)> matchSideCommand;
    // View > Zoom In (notches > 0) and Zoom Out (< 0) on a view, as that many wheel notches
    // away from the user would; false when the view does not zoom. Unset disables both items.
    std::function<bool(QWidget* view, int notches)> zoomView;
    // View > Frame Head on the 3D view; unset disables the item.
    std::function<void(QWidget* view3D)> frameHead;
};

// The program's own views and dialogs.
MainFrameViews ProgramViews(const Settings& settings);

} // namespace vm
