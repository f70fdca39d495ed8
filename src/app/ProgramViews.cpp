// The binding of the main window to the program's views and dialogs.
#include "app/MainFrameViews.h"
#include "app/Settings.h"
#include "views/autofit/AutoFitCommand.h"
#include "views/export/ExportCommand.h"
#include "views/photo/CFrontView.h"
#include "views/photo/CMagnifierDlg.h"
#include "views/photo/CSideView.h"
#include "views/photo/PhotoFileDialog.h"
#include "views/view3d/C3DView.h"
#include "views/view3d/CSubdivisionSettingsDlg.h"

namespace vm {

MainFrameViews ProgramViews(const Settings& settings) {
    MainFrameViews views;
    views.createFront = [](CVisomorfDoc& doc, QWidget* parent) -> QWidget* {
        return new CFrontView(doc, parent);
    };
    views.createSide = [](CVisomorfDoc& doc, QWidget* parent) -> QWidget* {
        return new CSideView(doc, parent);
    };
    const bool rightButtonMoving = settings.rightButtonMoving();
    views.create3D = [rightButtonMoving](CVisomorfDoc& doc, QWidget* parent) -> QWidget* {
        auto* view = new C3DView(doc, parent);
        view->SetRightButtonMoving(rightButtonMoving);
        return view;
    };
    views.createMagnifier = [](QWidget* frame) -> QWidget* { return new CMagnifierDlg(frame); };
    views.attachMagnifier = [](QWidget* photoView, QWidget* magnifier) {
        if (auto* view = qobject_cast<CImageView*>(photoView)) {
            view->SetMagnifier(qobject_cast<CMagnifierDlg*>(magnifier));
        }
    };
    views.installDialogs = [](CVisomorfDoc& doc, QWidget* frame) {
        InstallPhotoFileDialog(doc, frame);
        InstallSubdivisionDialog(doc, frame);
    };
    views.exportCommand = [](CVisomorfDoc& doc, QWidget* frame) { RunExportCommand(doc, frame); };
    views.autoFitCommand = [](CVisomorfDoc& doc, QWidget* frame) { RunAutoFitCommand(doc, frame); };
    views.matchSideCommand = [](CVisomorfDoc& doc, QWidget* frame) {
        RunMatchSideCommand(doc, frame);
    };
    views.zoomView = [](QWidget* view, int notches) {
        if (auto* photo = qobject_cast<CImageView*>(view)) {
            photo->ZoomByNotches(notches);
            return true;
        }
        if (auto* view3D = qobject_cast<C3DView*>(view)) {
            view3D->ZoomByNotches(notches);
            return true;
        }
        return false;
    };
    views.frameHead = [](QWidget* view) {
        if (auto* view3D = qobject_cast<C3DView*>(view)) {
            view3D->FrameHead();
        }
    };
    return views;
}

} // namespace vm
