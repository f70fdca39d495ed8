// The 3D camera's wheel for deltas of any size, and Frame Head showing the whole head wherever a
// fit or a drag has put it.
#include "document/CVisomorfDoc.h"
#include "views/view3d/Camera3D.h"

#include <QRectF>
#include <cmath>
#include <gtest/gtest.h>

namespace vm {
namespace {

TEST(CameraWheel, ZoomFollowsTheSizeOfTheDelta) {
    Camera3D twice, touchpad, half;
    twice.Wheel(-240); // two notches at once are two exact steps
    EXPECT_EQ(twice.Zoom(), 1.0f * 1.1f * 1.1f);
    for (int i = 0; i < 15; ++i) {
        touchpad.Wheel(-8); // one swipe of 120 in all: one notch, not fifteen
    }
    EXPECT_NEAR(touchpad.Zoom(), 1.1f, 1e-5f);
    half.Wheel(60);
    EXPECT_NEAR(half.Zoom(), 1 / std::sqrt(1.1f), 1e-6f);
    half.Wheel(-32768);
    EXPECT_LE(half.Zoom(), Camera3D::kMaxZoom);
}

TEST(Framing, FrameHeadShowsTheWholeMovedHeadTurnedAsItWas) {
    CVisomorfDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    // The whole head moved far and made four times as large, as a fit to a large photo does.
    PointWeightMap points;
    VertexWeightMap vertices;
    doc.CollectFeatureWeights(Front, doc.wholeObjectFeature, points);
    doc.CollectVertexWeights(Front, points, vertices);
    doc.MovePoints(Front, points, vertices, 4000, -2500);
    const Box b = doc.box[Front];
    doc.SetBox(Front, b.left, b.top, b.right + 3 * (b.right - b.left),
               b.bottom + 3 * (b.bottom - b.top));
    const Vec3 staleCentre = doc.boundingCentre;
    const float staleRadius = doc.boundingRadius;
    doc.UpdateBounds();

    const Quaternion turn = QuaternionRotationAxis({0.3f, 1, 0.2f}, 0.9f);
    for (const bool orthogonal : {true, false}) {
        for (const QSize window : {QSize(400, 400), QSize(800, 300), QSize(250, 700)}) {
            SCOPED_TRACE(testing::Message()
                         << orthogonal << " " << window.width() << "x" << window.height());
            Camera3D camera;
            camera.SetRotation(turn);
            camera.BeginPanZoom(0, 0);
            camera.PanZoomTo(150, -90, window.width(), window.height(), false, false);
            auto footprint = [&](const Vec3& centre, float radius) {
                const SceneTransforms t =
                    camera.Transforms(centre, radius, orthogonal, window.width(), window.height());
                QRectF area;
                for (const HeadVertex& v : doc.displayedMesh->vertices) {
                    const Vec3 w =
                        Vec3Project(v.position, t.viewport, t.projection, t.view, t.world);
                    area |= QRectF(w.x, w.y, 1e-3, 1e-3);
                }
                return area;
            };
            const QRectF client(QPointF(0, 0), window);
            EXPECT_FALSE(client.contains(footprint(staleCentre, staleRadius)));
            camera.Frame(orthogonal, window.width(), window.height());
            const QRectF framed = footprint(doc.boundingCentre, doc.boundingRadius);
            EXPECT_TRUE(client.contains(framed));
            // Not a speck either.
            EXPECT_GT(std::max(framed.width() / window.width(), framed.height() / window.height()),
                      0.4);
            EXPECT_EQ(camera.Rotation().x, turn.x);
            EXPECT_EQ(camera.Rotation().w, turn.w);
        }
    }
}

} // namespace
} // namespace vm
