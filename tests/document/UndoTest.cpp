// Snapshots, the history's browsing rules and the blend refresh on restore.
#include "platform/core/Exceptions.h"
#include "support/DocumentFixture.h"

#include <gtest/gtest.h>

namespace vm {
namespace {

class UndoTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::MakeStripDocument(doc);
        test::AddTextures(doc);
    }
    // One committed drag of front point 0 by (dx, 0).
    void Drag(float dx) {
        doc.SaveSnapshot();
        PointWeightMap points;
        doc.CollectPointWeights(Front, 0, points);
        VertexWeightMap vertices;
        doc.CollectVertexWeights(Front, points, vertices);
        doc.MovePoints(Front, points, vertices, dx, 0);
        doc.RebuildDisplayMesh();
        doc.CommitChange();
    }
    float PointX() const { return doc.pointPositions[Front][0].x; }
    float VertexX() const { return doc.editableMesh->vertices[0].position.x; }
    uint8_t SideAlpha(uint32_t x) const { return doc.textures[Side]->Row(0)[4 * x + 3]; }
    std::vector<uint8_t> SideRow() const {
        const uint8_t* row = doc.textures[Side]->Row(0);
        return {row, row + 4 * doc.textures[Side]->Width()};
    }

    CVisomorfDoc doc;
};

TEST_F(UndoTest, UndoAfterOneDragKeepsBothStatesForRedo) {
    EXPECT_FALSE(doc.CanUndo());
    Drag(5);
    EXPECT_TRUE(doc.CanUndo());
    EXPECT_FALSE(doc.CanRedo());

    doc.Undo();
    EXPECT_EQ(doc.History().Size(), 2u);
    EXPECT_EQ(doc.History().Position(), 0);
    EXPECT_EQ(PointX(), 0.0f);
    EXPECT_EQ(VertexX(), 0.0f);
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_TRUE(doc.CanRedo());

    doc.Redo();
    EXPECT_EQ(PointX(), 5.0f);
    EXPECT_EQ(VertexX(), 5.0f);
    EXPECT_FALSE(doc.CanRedo());
    EXPECT_TRUE(doc.CanUndo());
}

TEST_F(UndoTest, DragAfterUndoDiscardsTheRedoBranch) {
    Drag(5);
    doc.Undo();
    Drag(3);
    EXPECT_EQ(doc.History().Position(), -1);
    EXPECT_EQ(doc.History().Size(), 1u);
    EXPECT_EQ(PointX(), 3.0f);
    doc.Undo();
    EXPECT_EQ(PointX(), 0.0f);
    doc.Redo();
    EXPECT_EQ(PointX(), 3.0f);
}

TEST_F(UndoTest, PressWithoutMoveRestoresAndRecordsNothing) {
    Drag(5);
    doc.SaveSnapshot();
    PointWeightMap points{{0, 1.0f}};
    doc.MovePoints(Front, points, {}, 2, 2); // a cancelled drag that did move
    doc.RestoreSnapshot();
    EXPECT_EQ(PointX(), 5.0f);
    EXPECT_EQ(doc.pointPositions[Front][0].y, 0.0f);
    EXPECT_EQ(doc.History().Size(), 1u);

    // While browsing, the current entry is what a cancelled drag returns to.
    doc.Undo();
    doc.MovePoints(Front, points, {}, 2, 2);
    doc.RestoreSnapshot();
    EXPECT_EQ(PointX(), 0.0f);
}

TEST_F(UndoTest, UndoRestoresTheBlendZoneWidthAndRepaintsTheSideBlend) {
    doc.UpdateBlendZone();
    const std::vector<uint8_t> wideRamp = SideRow();
    EXPECT_GT(SideAlpha(310), 0); // inside the 100-pixel ramp
    EXPECT_LT(SideAlpha(310), 255);
    doc.SaveSnapshot();
    doc.blendZoneWidth = 20;
    doc.UpdateBlendZone();
    EXPECT_EQ(SideAlpha(310), 255); // left of the narrow ramp
    doc.CommitChange();

    doc.Undo();
    EXPECT_EQ(doc.blendZoneWidth, 100.0f);
    EXPECT_EQ(SideRow(), wideRamp);
    doc.Redo();
    EXPECT_EQ(doc.blendZoneWidth, 20.0f);
    EXPECT_EQ(SideAlpha(310), 255);
}

TEST_F(UndoTest, CancelledZoneDragRepaintsTheBlendItRestores) {
    doc.UpdateBlendZone();
    const std::vector<uint8_t> ramp = SideRow();
    doc.SaveSnapshot();
    for (Vec2& p : doc.blendZone) {
        p.x = 100;
    }
    doc.UpdateBlendZone();
    EXPECT_EQ(SideAlpha(310), 0);
    doc.RestoreSnapshot();
    EXPECT_EQ(doc.blendZone[0].x, 350.0f);
    EXPECT_EQ(SideRow(), ramp);
}

TEST_F(UndoTest, RestoreOfAnUnchangedZoneLeavesTheBlankSideTextureAlone) {
    // A new document's side texture has no blend yet; undoing a point drag must not paint one.
    Drag(5);
    doc.Undo();
    EXPECT_EQ(SideAlpha(10), 0);
}

TEST_F(UndoTest, HistoryEndsAndShortSnapshotsAreRefused) {
    EXPECT_THROW(doc.Undo(), GeneralFailureException);
    EXPECT_THROW(doc.Redo(), GeneralFailureException);
    UndoSnapshot small;
    doc.CaptureState(small);
    small.vertices.pop_back();
    EXPECT_THROW(doc.ApplySnapshot(small), InvalidArgumentException);
}

TEST_F(UndoTest, EmptyingTheDocumentClearsTheHistory) {
    Drag(5);
    doc.Undo();
    doc.DeleteContents();
    EXPECT_TRUE(doc.History().Empty());
    EXPECT_EQ(doc.History().Position(), -1);
    EXPECT_FALSE(doc.GetCommandState(CommandId::Undo).enabled);
    EXPECT_FALSE(doc.GetCommandState(CommandId::Redo).enabled);
}

// The push/pull record travels with the vertex positions it describes.
TEST_F(UndoTest, SnapshotsCarryThePushPullRecordWithThePositions) {
    const size_t n = doc.editableMesh->vertices.size();
    doc.SaveSnapshot();
    doc.displacements.assign(n, Vec3{});
    doc.displacements[3] = {0, 0, 2};
    doc.editableMesh->vertices[3].position.z += 2;
    doc.CommitChange();
    Drag(5); // a photo drag after the push keeps the record as it is

    doc.Undo();
    ASSERT_EQ(doc.displacements.size(), n);
    EXPECT_EQ(doc.displacements[3].z, 2);
    doc.Undo(); // before the push: no record at all
    EXPECT_TRUE(doc.displacements.empty());
    doc.Redo();
    EXPECT_EQ(doc.displacements[3].z, 2);

    doc.DeleteContents(); // a record never outlives the mesh it was made for
    EXPECT_TRUE(doc.displacements.empty());
}

} // namespace
} // namespace vm
