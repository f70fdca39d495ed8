// The 3D view's framing: the wheel's zoom for deltas of any size, and Frame Head showing the
// whole head wherever the fit or a drag has put it.
#include "document/CVisomorfDoc.h"
#include "views/view3d/C3DView.h"
#include "views/view3d/Camera3D.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>

namespace vm {
namespace {

TEST(CameraWheel, ZoomFollowsTheSizeOfTheDelta) {
    // A notch keeps its exact factor; two notches at once are two steps.
    Camera3D notch;
    notch.Wheel(-120);
    EXPECT_EQ(notch.Zoom(), 1.0f * 1.1f);
    Camera3D twice;
    twice.Wheel(-240);
    EXPECT_EQ(twice.Zoom(), 1.0f * 1.1f * 1.1f);

    // A touchpad: fifteen deltas of -8 zoom as far as one notch, give or take rounding.
    Camera3D touchpad;
    for (int i = 0; i < 15; ++i) {
        touchpad.Wheel(-8);
    }
    EXPECT_NEAR(touchpad.Zoom(), 1.1f, 1e-5f);
    // Half a notch is the square root of the factor, in both directions.
    Camera3D half;
    half.Wheel(60);
    EXPECT_NEAR(half.Zoom(), 1 / std::sqrt(1.1f), 1e-6f);
    half.Wheel(-60);
    EXPECT_NEAR(half.Zoom(), 1.0f, 1e-6f);

    // One swipe of many small deltas does not jump to the limit as it did at 10 % each.
    Camera3D swipe;
    for (int i = 0; i < 30; ++i) {
        swipe.Wheel(-4);
    }
    EXPECT_NEAR(swipe.Zoom(), 1.1f, 1e-5f);
    // Huge deltas stay within the bounds.
    swipe.Wheel(-32768);
    EXPECT_LE(swipe.Zoom(), Camera3D::kMaxZoom);
    swipe.Wheel(32767);
    swipe.Wheel(32767);
    EXPECT_GE(swipe.Zoom(), Camera3D::kMinZoom);
}

// The window rectangle that the mesh's vertices cover, in window pixels.
QRectF Footprint(const CVisomorfDoc& doc, const SceneTransforms& t) {
    double left = 1e30, top = 1e30, right = -1e30, bottom = -1e30;
    for (const HeadVertex& v : doc.displayedMesh->vertices) {
        const Vec3 w = Vec3Project(v.position, t.viewport, t.projection, t.view, t.world);
        left = std::min(left, double(w.x));
        right = std::max(right, double(w.x));
        top = std::min(top, double(w.y));
        bottom = std::max(bottom, double(w.y));
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// The whole head, moved far and made larger as a fit to a large photo does.
void MoveHeadFar(CVisomorfDoc& doc) {
    PointWeightMap points;
    VertexWeightMap vertices;
    doc.CollectFeatureWeights(Front, doc.wholeObjectFeature, points);
    doc.CollectVertexWeights(Front, points, vertices);
    doc.MovePoints(Front, points, vertices, 4000, -2500);
    const Box& box = doc.box[Front];
    doc.SetBox(Front, box.left, box.top, box.right + 3 * (box.right - box.left),
               box.bottom + 3 * (box.bottom - box.top));
}

TEST(Framing, FrameHeadShowsTheWholeMovedHeadTurnedAsItWas) {
    CVisomorfDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    MoveHeadFar(doc);
    const Vec3 staleCentre = doc.boundingCentre;
    const float staleRadius = doc.boundingRadius;
    doc.UpdateBounds();
    const Quaternion turn = QuaternionRotationAxis({0.3f, 1, 0.2f}, 0.9f);
    struct Window {
        int width, height;
    };
    for (const bool orthogonal : {true, false}) {
        for (const Window window : {Window{400, 400}, Window{800, 300}, Window{250, 700}}) {
            SCOPED_TRACE(testing::Message() << (orthogonal ? "orthogonal " : "perspective ")
                                            << window.width << " x " << window.height);
            const QRectF client(0, 0, window.width, window.height);
            Camera3D camera;
            camera.SetRotation(turn);
            camera.BeginPanZoom(0, 0);
            camera.PanZoomTo(150, -90, window.width, window.height, false, false); // a pan
            // The old bounds no longer frame the head.
            const SceneTransforms stale = camera.Transforms(staleCentre, staleRadius, orthogonal,
                                                            window.width, window.height);
            EXPECT_FALSE(client.contains(Footprint(doc, stale)));

            camera.Frame(orthogonal, window.width, window.height);
            const SceneTransforms framed = camera.Transforms(
                doc.boundingCentre, doc.boundingRadius, orthogonal, window.width, window.height);
            const QRectF footprint = Footprint(doc, framed);
            EXPECT_TRUE(client.contains(footprint))
                << footprint.left() << " " << footprint.top() << " " << footprint.right() << " "
                << footprint.bottom();
            // Not a speck either: the head fills a good part of the window's smaller side.
            EXPECT_GT(std::max(footprint.width() / window.width,
                               footprint.height() / window.height),
                      0.4);
            const Quaternion& kept = camera.Rotation();
            EXPECT_EQ(kept.x, turn.x);
            EXPECT_EQ(kept.w, turn.w);
        }
    }
}

TEST(Framing, PhotoLoadsFitsNewAndOpenMeasureTheHeadAgain) {
    CVisomorfDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    const float newRadius = doc.boundingRadius;
    MoveHeadFar(doc);
    // A drag alone leaves the bounds, so the view stays still under the user's hand.
    EXPECT_EQ(doc.boundingRadius, newRadius);
    doc.UpdateBounds();
    EXPECT_GT(doc.boundingRadius, 2 * newRadius);
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.boundingRadius, newRadius);
}

class FrameHeadCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        view = std::make_unique<C3DView>(doc);
        view->resize(320, 240);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    CVisomorfDoc doc;
    std::unique_ptr<C3DView> view;
};

TEST_F(FrameHeadCommand, UndoesPanAndZoomAndKeepsTheTurn) {
    const Quaternion turn = QuaternionRotationAxis({0, 1, 0}, 0.5f);
    view->Camera().SetRotation(turn);
    view->ZoomByNotches(-3); // three notches out
    EXPECT_NEAR(view->Camera().Zoom(), 1.1f * 1.1f * 1.1f, 1e-5f);
    MoveHeadFar(doc);
    view->FrameHead();
    EXPECT_EQ(view->Camera().Zoom(), Camera3D::FramingZoom(true, 320.0f / 240.0f));
    EXPECT_EQ(view->Camera().Pan().m[3][0], 0);
    EXPECT_EQ(view->Camera().Rotation().y, turn.y);
    const QRectF footprint = Footprint(doc, view->CurrentTransforms());
    EXPECT_TRUE(QRectF(0, 0, 320, 240).contains(footprint));

    // The wheel over the view: small deltas, proportional zoom.
    QWheelEvent wheel(QPointF(100, 100), view->mapToGlobal(QPointF(100, 100)), QPoint(),
                      QPoint(0, -60), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    const float before = view->Camera().Zoom();
    QApplication::sendEvent(view.get(), &wheel);
    EXPECT_NEAR(view->Camera().Zoom(), before * std::sqrt(1.1f), 1e-5f);
}

} // namespace
} // namespace vm
