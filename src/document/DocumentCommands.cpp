// The document's command handlers and the menu state of each command.
#include "document/DocumentCommands.h"

#include "document/CVisomorfDoc.h"
#include "platform/core/Exceptions.h"

namespace vm {

namespace {

constexpr CommandId kCommandIds[] = {
    CommandId::Undo,
    CommandId::Redo,
    CommandId::Edit3DOn,
    CommandId::Edit3DFixDirection,
    CommandId::Edit3DReset,
    CommandId::Edit3DSettings,
    CommandId::ViewBox,
    CommandId::ViewFeatures,
    CommandId::PointsAll,
    CommandId::PointsMore,
    CommandId::PointsLess,
    CommandId::PointsNo,
    CommandId::ViewBlendZone,
    CommandId::ViewWireframe,
    CommandId::ViewSolid,
    CommandId::ViewLighting,
    CommandId::ViewOrthogonal,
    CommandId::ViewPerspective,
    CommandId::DetailHigh,
    CommandId::DetailMedium,
    CommandId::DetailLow,
    CommandId::DetailHighKey,
    CommandId::DetailMediumKey,
    CommandId::DetailLowKey,
    CommandId::SubdivisionSettings,
    CommandId::LoadFront,
    CommandId::LoadSide,
    CommandId::LeftSide,
};

constexpr int kMaxPointsLevel = 5;
constexpr int kMinPointsLevel = -1;

CommandState Checked(bool on) {
    return {true, on ? CheckMark::Check : CheckMark::None};
}

CommandState Radio(bool on) {
    return {true, on ? CheckMark::Radio : CheckMark::None};
}

} // namespace

const CommandId* DocumentCommandIds(int& count) {
    count = static_cast<int>(std::size(kCommandIds));
    return kCommandIds;
}

bool CVisomorfDoc::ToggleDisplaySwitch(CommandId id) {
    switch (id) {
    case CommandId::ViewBox:
        showBox = !showBox;
        break;
    case CommandId::ViewFeatures:
        showFeatures = !showFeatures;
        break;
    case CommandId::PointsAll:
        pointsLevel = kMaxPointsLevel;
        break;
    case CommandId::PointsMore:
        ++pointsLevel;
        break;
    case CommandId::PointsLess:
        --pointsLevel;
        break;
    case CommandId::PointsNo:
        pointsLevel = kMinPointsLevel;
        break;
    case CommandId::ViewBlendZone:
        showBlendZone = !showBlendZone;
        break;
    case CommandId::ViewWireframe:
    case CommandId::ViewSolid:
        // Both items flip the same switch: Solid while solid is shown turns wireframe on.
        wireframe = !wireframe;
        break;
    case CommandId::ViewLighting:
        lighting = !lighting;
        break;
    case CommandId::ViewOrthogonal:
        orthogonal = true;
        break;
    case CommandId::ViewPerspective:
        orthogonal = false;
        break;
    default:
        return false;
    }
    UpdateAllViews();
    return true;
}

bool CVisomorfDoc::RunEdit3DCommand(CommandId id) {
    CDocumentView* view = Find3DView();
    if (!view) {
        return true; // nothing to act on
    }
    switch (id) {
    case CommandId::Edit3DOn:
        view->SetEditMode(!view->EditMode());
        break;
    case CommandId::Edit3DFixDirection:
        view->FixDirection();
        break;
    case CommandId::Edit3DReset:
        view->ResetModifications();
        break;
    default:
        view->EditModificationSettings();
        break;
    }
    return true;
}

bool CVisomorfDoc::RewindsOrReplacesModel(CommandId id) {
    switch (id) {
    case CommandId::Undo:
    case CommandId::Redo:
    case CommandId::LoadFront:
    case CommandId::LoadSide:
    case CommandId::Edit3DReset:
        return true;
    default:
        return false;
    }
}

bool CVisomorfDoc::OnCommand(CommandId id) {
    if (RewindsOrReplacesModel(id) && IsDragInProgress()) {
        return true; // a drag holds weights and a snapshot of the model as it is now
    }
    switch (id) {
    case CommandId::Undo:
        Undo();
        return true;
    case CommandId::Redo:
        Redo();
        return true;
    case CommandId::DetailHigh:
    case CommandId::DetailHighKey:
        SetModelDetail(High);
        return true;
    case CommandId::DetailMedium:
    case CommandId::DetailMediumKey:
        SetModelDetail(Medium);
        return true;
    case CommandId::DetailLow:
    case CommandId::DetailLowKey:
        SetModelDetail(Low);
        return true;
    case CommandId::SubdivisionSettings:
        RunSubdivisionSettings();
        return true;
    case CommandId::LoadFront:
        RunLoadPhotoCommand(Front);
        return true;
    case CommandId::LoadSide:
        RunLoadPhotoCommand(Side);
        return true;
    case CommandId::LeftSide:
        return true; // the item is always disabled: leftSide comes only from opened documents
    case CommandId::Edit3DOn:
    case CommandId::Edit3DFixDirection:
    case CommandId::Edit3DReset:
    case CommandId::Edit3DSettings:
        return RunEdit3DCommand(id);
    default:
        return ToggleDisplaySwitch(id);
    }
}

bool CVisomorfDoc::RunCommand(CommandId id) {
    try {
        return OnCommand(id);
    } catch (const std::exception& failure) {
        const auto* ours = dynamic_cast<const VisomorfException*>(&failure);
        if (reportFailure && !(ours && ours->IsSilent())) {
            reportFailure(FailureText(failure));
        }
        return true;
    }
}

CommandState CVisomorfDoc::GetCommandState(CommandId id) const {
    if (RewindsOrReplacesModel(id) && IsDragInProgress()) {
        return {false, CheckMark::None};
    }
    switch (id) {
    case CommandId::Undo:
        return {CanUndo(), CheckMark::None};
    case CommandId::Redo:
        return {CanRedo(), CheckMark::None};
    case CommandId::ViewBox:
        return Checked(showBox);
    case CommandId::ViewFeatures:
        return Checked(showFeatures);
    case CommandId::PointsAll:
    case CommandId::PointsMore:
        return {pointsLevel < kMaxPointsLevel, CheckMark::None};
    case CommandId::PointsLess:
    case CommandId::PointsNo:
        return {pointsLevel > kMinPointsLevel, CheckMark::None};
    case CommandId::ViewBlendZone:
        return Checked(showBlendZone);
    case CommandId::ViewWireframe:
        return Checked(wireframe);
    case CommandId::ViewSolid:
        return Radio(!wireframe);
    case CommandId::ViewLighting:
        return Checked(lighting);
    case CommandId::ViewOrthogonal:
        return Radio(orthogonal);
    case CommandId::ViewPerspective:
        return Radio(!orthogonal);
    case CommandId::DetailHigh:
    case CommandId::DetailHighKey:
        return Checked(modelDetail == High);
    case CommandId::DetailMedium:
    case CommandId::DetailMediumKey:
        return Checked(modelDetail == Medium);
    case CommandId::DetailLow:
    case CommandId::DetailLowKey:
        return Checked(modelDetail == Low);
    case CommandId::LeftSide:
        return {false, leftSide ? CheckMark::Check : CheckMark::None};
    case CommandId::Edit3DOn: {
        const CDocumentView* view = Find3DView();
        return Checked(view && view->EditMode());
    }
    default:
        return {};
    }
}

} // namespace vm
