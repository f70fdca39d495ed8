// Mouse editing on the real front and side views of a new document: drags of points, features,
// the box and the blend zone, clicks, cancels, panning and wheel zoom.
#include "PhotoViewFixture.h"
#include "views/photo/BlendZoneGeometry.h"
#include "views/photo/CFrontView.h"
#include "views/photo/CSideView.h"

#include <QPainter>

namespace vm::test {
namespace {

using PhotoViewEditing = PhotoViewFixture;

TEST_F(PhotoViewEditing, PointDragMovesThePointAndCommitsOneStep) {
    auto view = Show<CFrontView>();
    ShowFeaturesOnly();
    const int point = GrabbablePoint(*view, Front);
    ASSERT_GE(point, 0);
    const Vec2 before = doc.pointPositions[Front][point];
    const size_t steps = doc.History().Size();
    const QPoint from = At(*view, before);

    Press(*view, from);
    EXPECT_TRUE(view->IsDragging());
    EXPECT_EQ(QWidget::mouseGrabber(), view->viewport());
    EXPECT_FALSE(doc.GetCommandState(CommandId::Undo).enabled);
    Move(*view, from + QPoint(12, 6));
    Release(*view, from + QPoint(12, 6));

    const float s = view->Viewport().Scale();
    EXPECT_FALSE(view->IsDragging());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_NEAR(doc.pointPositions[Front][point].x, before.x + 12 / s, 1e-3);
    EXPECT_NEAR(doc.pointPositions[Front][point].y, before.y + 6 / s, 1e-3);
    EXPECT_EQ(doc.History().Size(), steps + 1);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.GetCommandState(CommandId::Undo).enabled);
}

TEST_F(PhotoViewEditing, ClickWithoutMovementIsNotAnEdit) {
    auto front = Show<CFrontView>();
    ShowFeaturesOnly();
    const int point = GrabbablePoint(*front, Front);
    ASSERT_GE(point, 0);
    const ModelState before = State();
    const QPoint at = At(*front, doc.pointPositions[Front][point]);
    Press(*front, at);
    Move(*front, at);
    Release(*front, at);
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(doc.History().Empty());
    EXPECT_FALSE(doc.IsModified());

    auto side = Show<CSideView>();
    const QPoint vertex = At(*side, doc.blendZone[2]);
    Press(*side, vertex);
    EXPECT_TRUE(side->IsDragging());
    Release(*side, vertex);
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(doc.History().Empty());
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(PhotoViewEditing, FeatureDragMovesItsPointsAndThoseOfItsChildren) {
    auto view = Show<CFrontView>();
    ShowFeaturesOnly();
    int feature = -1;
    QPoint grab;
    for (size_t f = 1; f < doc.features[Front].size() && feature < 0; ++f) {
        if (static_cast<int>(f) != doc.wholeObjectFeature &&
            !doc.features[Front][f].children.empty()) {
            grab = GrabbableSegment(*view, Front, static_cast<int>(f));
            feature = grab.x() >= 0 ? static_cast<int>(f) : -1;
        }
    }
    ASSERT_GE(feature, 0) << "no feature with children can be grabbed";
    const int child = doc.features[Front][feature].children.front();
    const int ownPoint = doc.features[Front][feature].segments.front().first;
    const int childPoint = doc.features[Front][child].segments.front().first;
    const Vec2 own = doc.pointPositions[Front][ownPoint];
    const Vec2 childBefore = doc.pointPositions[Front][childPoint];

    Drag(*view, grab, {10, 0});
    EXPECT_GT(doc.pointPositions[Front][ownPoint].x, own.x + 1);
    EXPECT_GT(doc.pointPositions[Front][childPoint].x, childBefore.x + 1);
    EXPECT_EQ(doc.History().Size(), 1u);
}

TEST_F(PhotoViewEditing, WholeObjectOutlineMovesTheBoxWithEverything) {
    auto view = Show<CFrontView>();
    ShowFeaturesOnly();
    const QPoint grab = GrabbableSegment(*view, Front, doc.wholeObjectFeature);
    ASSERT_GE(grab.x(), 0);
    const Box before = doc.box[Front];
    Drag(*view, grab, {8, 4});
    const float s = view->Viewport().Scale();
    EXPECT_NEAR(doc.box[Front].left, before.left + 8 / s, 1e-3);
    EXPECT_NEAR(doc.box[Front].bottom, before.bottom + 4 / s, 1e-3);
    EXPECT_NEAR(doc.box[Front].Width(), before.Width(), 1e-3);
}

TEST_F(PhotoViewEditing, BoxHandleHasPriorityAndResizesItsEdges) {
    auto view = Show<CFrontView>();
    doc.showFeatures = true;
    doc.pointsLevel = 5;
    // Put a point right on handle 2: the handle still wins.
    const Box before = doc.box[Front];
    doc.pointPositions[Front][0] = {before.right, before.bottom};
    const QPoint handle = At(*view, {before.right, before.bottom});
    Move(*view, handle, Qt::NoButton);
    EXPECT_EQ(view->Hover().handle, 2);
    EXPECT_EQ(view->Hover().point, -1);
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::SizeFDiagCursor);

    Drag(*view, handle, {10, 20});
    const float s = view->Viewport().Scale();
    EXPECT_NEAR(doc.box[Front].right, before.right + 10 / s, 1e-3);
    EXPECT_NEAR(doc.box[Front].bottom, before.bottom + 20 / s, 1e-3);
    EXPECT_EQ(doc.box[Front].left, before.left);
    EXPECT_EQ(doc.box[Front].top, before.top);
}

TEST_F(PhotoViewEditing, EscapeRightButtonAndLostCaptureRestoreEverything) {
    auto front = Show<CFrontView>();
    ShowFeaturesOnly();
    const int point = GrabbablePoint(*front, Front);
    ASSERT_GE(point, 0);
    const ModelState before = State();
    const QPoint at = At(*front, doc.pointPositions[Front][point]);

    Press(*front, at);
    Move(*front, at + QPoint(15, -9));
    ASSERT_FALSE(State() == before);
    Key(*front, Qt::Key_Escape);
    EXPECT_FALSE(front->IsDragging());
    EXPECT_TRUE(State() == before);
    Release(*front, at + QPoint(15, -9)); // the release after a cancel changes nothing
    EXPECT_TRUE(State() == before);

    Press(*front, at);
    Move(*front, at + QPoint(-7, 3));
    Press(*front, at + QPoint(-7, 3), Qt::RightButton);
    EXPECT_FALSE(front->IsDragging());
    EXPECT_TRUE(State() == before);

    Press(*front, at);
    Move(*front, at + QPoint(4, 4));
    front->hide(); // the pane goes away under the mouse: the capture is lost
    EXPECT_FALSE(front->IsDragging());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(doc.History().Empty());
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(PhotoViewEditing, DocumentChangeDuringDragCancelsIt) {
    auto front = Show<CFrontView>();
    ShowFeaturesOnly();
    const int point = GrabbablePoint(*front, Front);
    ASSERT_GE(point, 0);
    const ModelState before = State();
    const QPoint at = At(*front, doc.pointPositions[Front][point]);
    Press(*front, at);
    Move(*front, at + QPoint(5, 5));
    EXPECT_TRUE(doc.OnCommand(CommandId::Undo)); // refused, not run
    EXPECT_FALSE(doc.GetCommandState(CommandId::LoadFront).enabled);
    doc.OnCommand(CommandId::ViewBlendZone); // a change from elsewhere reaches the view
    EXPECT_FALSE(front->IsDragging());
    EXPECT_TRUE(State() == before);
    Move(*front, at + QPoint(30, 30));
    Release(*front, at + QPoint(30, 30));
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(doc.History().Empty());
}

TEST_F(PhotoViewEditing, BlendEdgeDragWidensAndEscapeRestores) {
    auto side = Show<CSideView>();
    const float w = doc.blendZoneWidth;
    const Vec2 a = doc.blendZone[1], b = doc.blendZone[2];
    const QPoint edge = At(*side, {(a.x + b.x) / 2 + w, (a.y + b.y) / 2});
    Move(*side, edge, Qt::NoButton);
    EXPECT_EQ(side->HotBlendLine(), kBlendRightEdge);
    EXPECT_EQ(side->viewport()->cursor().shape(), Qt::SizeHorCursor);

    const ModelState before = State();
    Press(*side, edge);
    Move(*side, edge + QPoint(10, 3));
    Key(*side, Qt::Key_Escape);
    EXPECT_TRUE(State() == before);

    Drag(*side, edge, {10, 3});
    EXPECT_NEAR(doc.blendZoneWidth, w + 10 / side->Viewport().Scale(), 1e-3);
    EXPECT_EQ(doc.History().Size(), 1u);
    EXPECT_TRUE(doc.IsModified());
    // The width is part of the step: undo brings the old band back.
    doc.OnCommand(CommandId::Undo);
    EXPECT_FLOAT_EQ(doc.blendZoneWidth, w);
}

TEST_F(PhotoViewEditing, BlendZoneTakesThePressBeforeBoxAndPoints) {
    auto side = Show<CSideView>();
    ShowFeaturesOnly();
    doc.showBox = true;
    doc.pointPositions[Side][0] = doc.blendZone[3];
    doc.box[Side].left = doc.blendZone[2].x; // a handle under a vertex
    doc.box[Side].top = doc.blendZone[2].y;
    const QPoint vertex = At(*side, doc.blendZone[3]);
    Move(*side, vertex, Qt::NoButton);
    EXPECT_EQ(side->HotBlendVertex(), 3);
    EXPECT_EQ(side->Hover().point, -1);
    Drag(*side, At(*side, doc.blendZone[2]), {6, 0});
    EXPECT_GT(doc.blendZone[2].x, 350.0f);
    EXPECT_EQ(doc.box[Side].top, 400.0f);

    // Switched off, the zone is neither hovered nor grabbed.
    doc.OnCommand(CommandId::ViewBlendZone);
    Move(*side, vertex, Qt::NoButton);
    EXPECT_EQ(side->HotBlendVertex(), -1);
    EXPECT_EQ(side->Hover().handle, kBoxEdge); // the moved box's left edge runs through it
}

TEST_F(PhotoViewEditing, EmptyBlendZoneIsIgnored) {
    auto side = Show<CSideView>();
    doc.showBox = false;
    doc.blendZone.clear();
    doc.UpdateAllViews();
    Move(*side, {350, 300}, Qt::NoButton);
    Press(*side, {350, 300});
    EXPECT_FALSE(side->IsDragging());
    Release(*side, {350, 300});
    QImage image(200, 200, QImage::Format_RGB32);
    QPainter painter(&image);
    side->DrawContent(painter, 0, 0, 0.25f); // must not index past the empty zone
    EXPECT_TRUE(failures.isEmpty());
}

TEST_F(PhotoViewEditing, PanningMovesTheSheetAndWheelZoomsUntilTheNextResize) {
    auto view = Show<CFrontView>();
    doc.showBox = false;
    const float fitted = view->Viewport().Scale();
    const int step = view->Viewport().ZoomStep();
    const QPoint middle = view->viewport()->rect().center();
    Wheel(*view, middle, 3 * 120);
    EXPECT_EQ(view->Viewport().ZoomStep(), step + 3);
    EXPECT_GT(view->Viewport().Scale(), fitted);
    EXPECT_TRUE(view->horizontalScrollBar()->isEnabled());
    EXPECT_TRUE(view->verticalScrollBar()->isEnabled());

    const QPoint scroll = view->Viewport().ScrollPosition();
    Press(*view, middle);
    EXPECT_TRUE(view->IsPanning());
    EXPECT_FALSE(view->IsDragging());
    Move(*view, middle + QPoint(-30, -20));
    Release(*view, middle + QPoint(-30, -20));
    EXPECT_FALSE(view->IsPanning());
    EXPECT_EQ(view->Viewport().ScrollPosition(), scroll + QPoint(30, 20));
    EXPECT_EQ(view->horizontalScrollBar()->value(), scroll.x() + 30);

    // Over a scroll bar the wheel zooms too.
    QWheelEvent onBar(QPointF(5, 5), view->horizontalScrollBar()->mapToGlobal(QPointF(5, 5)),
                      QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(view->horizontalScrollBar(), &onBar);
    EXPECT_EQ(view->Viewport().ZoomStep(), step + 4);

    view->resize(760, 900);
    QApplication::processEvents();
    EXPECT_LT(view->Viewport().Scale(), fitted + 0.01f);
    EXPECT_EQ(view->Viewport().ScrollPosition(), QPoint(0, 0));
    EXPECT_FALSE(view->horizontalScrollBar()->isEnabled());
    EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
}

TEST_F(PhotoViewEditing, ViewsAttachAndDetachAndTwoSideViewsShareTheData) {
    auto front = Show<CFrontView>();
    auto side = Show<CSideView>();
    {
        auto second = Show<CSideView>();
        EXPECT_EQ(doc.Views().size(), 3u);
        EXPECT_EQ(second->windowTitle(), QStringLiteral("Side View"));
        const QPoint vertex = At(*second, doc.blendZone[1]);
        Drag(*second, vertex, {0, 12});
        EXPECT_EQ(doc.History().Size(), 1u);
    }
    EXPECT_EQ(doc.Views().size(), 2u);
    EXPECT_EQ(front->windowTitle(), QStringLiteral("Front View"));
    EXPECT_EQ(front->PhotoViewIndex(), Front);
    EXPECT_EQ(side->PhotoViewIndex(), Side);
}

} // namespace
} // namespace vm::test

namespace vm::test {
namespace {

TEST_F(PhotoViewEditing, SegmentEndOutsideThePointsIsRefusedNotRead) {
    auto view = Show<CFrontView>();
    ShowFeaturesOnly();
    doc.features[Front][1].segments.push_back({0, 100000});
    const QPoint empty(5, 5); // nothing there: every feature is tried
    Move(*view, empty, Qt::NoButton);
    EXPECT_EQ(view->Hover().feature, -1);
    EXPECT_TRUE(failures.isEmpty()); // hovering stays quiet
    QImage image(view->viewport()->size(), QImage::Format_RGB32);
    {
        QPainter painter(&image);
        const QPoint origin = view->Viewport().Origin();
        view->DrawContent(painter, origin.x(), origin.y(), view->Viewport().Scale());
    }
    const ModelState before = State();
    Press(*view, empty);
    EXPECT_EQ(failures.size(), 1);
    EXPECT_FALSE(view->IsDragging());
    EXPECT_FALSE(view->IsPanning());
    Release(*view, empty);
    EXPECT_TRUE(State() == before);
}

TEST_F(PhotoViewEditing, WheelDuringResizeKeepsTheGrabbedHandle) {
    auto view = Show<CFrontView>();
    const Box before = doc.box[Front];
    const QPoint handle = At(*view, {before.right, before.bottom});
    Press(*view, handle);
    ASSERT_TRUE(view->IsDragging());
    Wheel(*view, handle, -120); // the handle slides away from under the mouse
    EXPECT_NE(view->Hover().handle, 2);
    Move(*view, handle + QPoint(-4, -4));
    Release(*view, handle + QPoint(-4, -4));
    EXPECT_LT(doc.box[Front].right, before.right);
    EXPECT_LT(doc.box[Front].bottom, before.bottom);
    EXPECT_EQ(doc.box[Front].left, before.left);
    EXPECT_EQ(doc.box[Front].top, before.top);
}

} // namespace
} // namespace vm::test
