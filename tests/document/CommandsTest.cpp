// The document's commands, their menu states and the view registry.
#include "platform/core/Exceptions.h"
#include "support/DocumentFixture.h"

#include <gtest/gtest.h>

namespace vm {
namespace {

using test::RecordingView;

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::MakeStripDocument(doc);
        doc.AddView(&front);
        doc.AddView(&side);
        doc.AddView(&view3d);
    }
    CommandState State(CommandId id) const { return doc.GetCommandState(id); }

    CVisomorfDoc doc;
    RecordingView front{Front}, side{Side}, view3d{-1, true};
};

TEST_F(CommandsTest, DefaultsAndModelDetailFromTheSettingsValue) {
    CVisomorfDoc fresh(3);
    EXPECT_EQ(fresh.modelDetail, High);
    EXPECT_TRUE(fresh.showBox);
    EXPECT_FALSE(fresh.showFeatures);
    EXPECT_EQ(fresh.pointsLevel, 0);
    EXPECT_TRUE(fresh.orthogonal);
    EXPECT_EQ(fresh.blendZone.size(), 5u);
    EXPECT_EQ(fresh.blendZoneWidth, 100.0f);
    EXPECT_EQ(fresh.GetPhotoSize(Side), QSize(600, 800));
}

TEST_F(CommandsTest, PointsLevelStaysWithinItsRangeThroughTheEnabledStates) {
    for (int i = 0; i < 4; ++i) {
        doc.OnCommand(CommandId::PointsMore);
    }
    EXPECT_EQ(doc.pointsLevel, 4);
    EXPECT_TRUE(State(CommandId::PointsMore).enabled);
    doc.OnCommand(CommandId::PointsMore);
    EXPECT_FALSE(State(CommandId::PointsMore).enabled);
    EXPECT_FALSE(State(CommandId::PointsAll).enabled);

    doc.OnCommand(CommandId::PointsNo);
    EXPECT_EQ(doc.pointsLevel, -1);
    EXPECT_FALSE(State(CommandId::PointsLess).enabled);
    EXPECT_FALSE(State(CommandId::PointsNo).enabled);
    doc.OnCommand(CommandId::PointsAll);
    EXPECT_EQ(doc.pointsLevel, 5);
}

TEST_F(CommandsTest, WireframeAndSolidFlipTheSameSwitch) {
    EXPECT_EQ(State(CommandId::ViewSolid).mark, CheckMark::Radio);
    EXPECT_EQ(State(CommandId::ViewWireframe).mark, CheckMark::None);
    doc.OnCommand(CommandId::ViewSolid); // solid shown: choosing it turns wireframe on
    EXPECT_TRUE(doc.wireframe);
    EXPECT_EQ(State(CommandId::ViewWireframe).mark, CheckMark::Check);
    EXPECT_EQ(State(CommandId::ViewSolid).mark, CheckMark::None);

    doc.OnCommand(CommandId::ViewPerspective);
    EXPECT_FALSE(doc.orthogonal);
    EXPECT_EQ(State(CommandId::ViewPerspective).mark, CheckMark::Radio);
    EXPECT_EQ(State(CommandId::ViewOrthogonal).mark, CheckMark::None);
}

TEST_F(CommandsTest, SwitchCommandsUpdateEveryViewWithoutMarkingTheDocument) {
    doc.OnCommand(CommandId::ViewLighting);
    doc.OnCommand(CommandId::ViewBox);
    EXPECT_TRUE(doc.lighting);
    EXPECT_FALSE(doc.showBox);
    EXPECT_EQ(front.updates, 2);
    EXPECT_EQ(view3d.updates, 2);
    EXPECT_EQ(view3d.lastHint, 0);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(CommandsTest, DetailCommandsAndTheirKeyIdsShareHandlers) {
    doc.OnCommand(CommandId::DetailLowKey);
    EXPECT_EQ(doc.modelDetail, Low);
    EXPECT_EQ(State(CommandId::DetailLow).mark, CheckMark::Check);
    EXPECT_EQ(State(CommandId::DetailLowKey).mark, CheckMark::Check);
    EXPECT_EQ(State(CommandId::DetailHigh).mark, CheckMark::None);
    EXPECT_EQ(doc.displayedMesh, doc.editableMesh); // Low draws the editable mesh itself
    EXPECT_EQ(side.updates, 1);
}

TEST_F(CommandsTest, LeftSideIsAlwaysDisabledAndShowsTheFlag) {
    EXPECT_EQ(State(CommandId::LeftSide), (CommandState{false, CheckMark::None}));
    doc.leftSide = true;
    EXPECT_EQ(State(CommandId::LeftSide), (CommandState{false, CheckMark::Check}));
    EXPECT_TRUE(doc.OnCommand(CommandId::LeftSide));
    EXPECT_TRUE(doc.leftSide);
}

TEST_F(CommandsTest, EditIn3DCommandsGoToTheFirst3DView) {
    RecordingView second3d{-1, true};
    doc.AddView(&second3d);
    EXPECT_EQ(doc.Find3DView(), &view3d);
    doc.OnCommand(CommandId::Edit3DOn);
    EXPECT_TRUE(view3d.editMode);
    EXPECT_EQ(State(CommandId::Edit3DOn).mark, CheckMark::Check);
    doc.OnCommand(CommandId::Edit3DOn);
    EXPECT_FALSE(view3d.editMode);
    doc.OnCommand(CommandId::Edit3DFixDirection);
    doc.OnCommand(CommandId::Edit3DReset);
    doc.OnCommand(CommandId::Edit3DSettings);
    EXPECT_EQ(view3d.fixes + view3d.resets + view3d.settings, 3);
    EXPECT_EQ(second3d.fixes, 0);
    EXPECT_EQ(view3d.updates, 0); // these commands redraw the 3D view themselves

    doc.RemoveView(&view3d);
    EXPECT_EQ(doc.Find3DView(), &second3d);
    doc.RemoveView(&second3d);
    EXPECT_EQ(doc.Find3DView(), nullptr);
    EXPECT_TRUE(doc.OnCommand(CommandId::Edit3DOn)); // nothing to act on, and no failure
}

TEST_F(CommandsTest, UpdateAllViewsSkipsTheSender) {
    doc.UpdateAllViews(&front, 7);
    EXPECT_EQ(front.updates, 0);
    EXPECT_EQ(side.updates, 1);
    EXPECT_EQ(side.lastSender, &front);
    EXPECT_EQ(side.lastHint, 7);
}

TEST_F(CommandsTest, UndoFailureAtTheHistoryEndIsReported) {
    QString reported;
    doc.reportFailure = [&reported](const QString& text) { reported = text; };
    EXPECT_FALSE(State(CommandId::Undo).enabled);
    EXPECT_THROW(doc.OnCommand(CommandId::Undo), GeneralFailureException);
    EXPECT_TRUE(doc.RunCommand(CommandId::Undo));
    EXPECT_FALSE(reported.isEmpty());
}

TEST_F(CommandsTest, SubdivisionSettingsCancelChangesNothing) {
    int asked = 0;
    doc.editSubdivisionOptions = [&asked](const SubdivisionOptions& current) {
        ++asked;
        EXPECT_EQ(current, SubdivisionOptions{});
        return std::optional<SubdivisionOptions>{};
    };
    doc.OnCommand(CommandId::SubdivisionSettings);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(doc.sharpenLips);
    EXPECT_EQ(doc.stage1.creaseListCount, 0);
}

TEST_F(CommandsTest, CommandsThatRewindOrReplaceTheModelWaitWhileAViewDrags) {
    doc.SaveSnapshot();
    doc.MovePoints(Front, {{0, 1.0f}}, {}, 5, 0);
    doc.CommitChange();
    int asked = 0;
    doc.choosePhotoFile = [&asked](int) {
        ++asked;
        return QString();
    };
    side.dragging = true;
    const Vec2 moved = doc.pointPositions[Front][0];
    for (CommandId id : {CommandId::Undo, CommandId::Redo, CommandId::LoadFront,
                         CommandId::LoadSide, CommandId::Edit3DReset}) {
        EXPECT_FALSE(State(id).enabled) << static_cast<int>(id);
        EXPECT_TRUE(doc.OnCommand(id));
    }
    EXPECT_EQ(doc.pointPositions[Front][0].x, moved.x);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(view3d.resets, 0);
    EXPECT_TRUE(State(CommandId::ViewBox).enabled); // display switches stay usable

    side.dragging = false;
    EXPECT_TRUE(State(CommandId::Undo).enabled);
    doc.OnCommand(CommandId::Undo);
    EXPECT_NE(doc.pointPositions[Front][0].x, moved.x);
}

TEST_F(CommandsTest, LoadPhotoCommandRefitsOnlyThatPhotosViewsEvenWhenCancelled) {
    doc.choosePhotoFile = [](int) { return QString(); };
    doc.OnCommand(CommandId::LoadSide);
    EXPECT_EQ(side.fits, 1);
    EXPECT_EQ(front.fits, 0);
    EXPECT_EQ(front.updates, 1);
    EXPECT_FALSE(doc.IsModified());
}

} // namespace
} // namespace vm
