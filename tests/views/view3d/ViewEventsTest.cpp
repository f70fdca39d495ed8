// How the view routes the mouse and the document's updates: drags versus push/pull clicks,
// the wheel, and the deferred redraw.
#include "document/CVisomorfDoc.h"
#include "views/view3d/C3DView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace vm {
namespace {

class ViewEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        view = std::make_unique<C3DView>(doc);
        view->resize(300, 300);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    QPoint Centre() const { return {150, 150}; }

    CVisomorfDoc doc;
    std::unique_ptr<C3DView> view;
};

TEST_F(ViewEventsTest, CtrlClickPushesOnlyInEditMode) {
    EXPECT_EQ(doc.Find3DView(), view.get());
    // Editing off: Ctrl+left starts an ordinary rotate drag, which blocks undo meanwhile.
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::ControlModifier, Centre());
    EXPECT_TRUE(view->IsDragging());
    EXPECT_FALSE(doc.GetCommandState(CommandId::Edit3DReset).enabled);
    QTest::mouseMove(view.get(), Centre() + QPoint(40, 0));
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::ControlModifier, Centre() + QPoint(40, 0));
    EXPECT_FALSE(view->IsDragging());
    EXPECT_GT(std::fabs(view->Camera().Rotation().y), 0.05f);
    EXPECT_FALSE(doc.CanUndo());

    view->Camera().SetRotation({});
    doc.OnCommand(CommandId::Edit3DOn);
    EXPECT_TRUE(view->EditMode());
    EXPECT_EQ(doc.GetCommandState(CommandId::Edit3DOn).mark, CheckMark::Check);
    const std::vector<HeadVertex> before = doc.editableMesh->vertices;
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::ControlModifier, Centre());
    EXPECT_FALSE(view->IsDragging()); // a click, not a drag
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::ControlModifier, Centre());
    EXPECT_TRUE(doc.CanUndo());
    EXPECT_TRUE(doc.IsModified());
    float largest = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        const Vec3 moved = doc.editableMesh->vertices[i].position - before[i].position;
        EXPECT_NEAR(Length(moved - doc.displacements[i]), 0, 1e-4f);
        largest = std::max(largest, Length(moved));
    }
    EXPECT_NEAR(largest, 2, 1e-4f); // the default shift, away from the viewer
    // Pulling at the same place takes the push back, up to the 2 units the hit moved.
    QTest::mousePress(view.get(), Qt::RightButton, Qt::ControlModifier, Centre());
    QTest::mouseRelease(view.get(), Qt::RightButton, Qt::ControlModifier, Centre());
    largest = 0;
    for (const Vec3& d : doc.displacements) {
        largest = std::max(largest, Length(d));
    }
    EXPECT_LT(largest, 0.2f);

    doc.OnCommand(CommandId::Edit3DOn);
    EXPECT_FALSE(view->EditMode());
}

TEST_F(ViewEventsTest, RightDragZoomsAndMiddleDragPansUnlessSwapped) {
    QTest::mousePress(view.get(), Qt::RightButton, Qt::NoModifier, Centre());
    // QTest moves carry no buttons; send a real drag move.
    QMouseEvent move(QEvent::MouseMove, QPointF(150, 120), QPointF(150, 120), Qt::NoButton,
                     Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &move);
    QTest::mouseRelease(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(150, 120));
    EXPECT_NEAR(view->Camera().Zoom(), std::exp(30 * 500 / 300.0f / 500), 1e-4f);
    EXPECT_EQ(view->Camera().Pan().m[3][1], 0);

    view->SetRightButtonMoving(true);
    QTest::mousePress(view.get(), Qt::RightButton, Qt::NoModifier, Centre());
    QMouseEvent pan(QEvent::MouseMove, QPointF(150, 120), QPointF(150, 120), Qt::NoButton,
                    Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &pan);
    QTest::mouseRelease(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(150, 120));
    EXPECT_GT(view->Camera().Pan().m[3][1], 0); // mouse up, model up
}

TEST_F(ViewEventsTest, WheelTowardsTheUserShowsMore) {
    QWheelEvent wheel(QPointF(150, 150), view->mapToGlobal(QPointF(150, 150)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.get(), &wheel);
    EXPECT_EQ(view->Camera().Zoom(), 1.1f);
}

TEST_F(ViewEventsTest, UpdatesGoThroughTheApplicationsRedrawWhenItHasOne) {
    int requests = 0;
    doc.requestRedraw3D = [&requests] { ++requests; };
    doc.UpdateAllViews();
    doc.UpdateAllViews();
    EXPECT_EQ(requests, 2); // the application coalesces them into one repaint
    // Without one, a burst of updates becomes a single repaint of the view itself.
    doc.requestRedraw3D = nullptr;
    QApplication::processEvents();
    const int uploadsBefore = view->Renderer().MeshUploads();
    doc.SetModelDetail(Medium);
    doc.UpdateAllViews();
    doc.UpdateAllViews();
    EXPECT_FALSE(doc.requestRedraw3D); // the view does not install a hook of its own
    QTest::qWait(50);
    EXPECT_EQ(view->Renderer().MeshUploads(), uploadsBefore + 1);
}

TEST_F(ViewEventsTest, AnEmptiedDocumentLeavesAnEmptyPane) {
    doc.DeleteContents();
    const QImage frame = view->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < frame.height(); y += 7) {
        for (int x = 0; x < frame.width(); x += 7) {
            ASSERT_EQ(frame.pixel(x, y) & 0xFFFFFF, 0xFFFFFFu) << x << "," << y;
        }
    }
}

} // namespace
} // namespace vm
