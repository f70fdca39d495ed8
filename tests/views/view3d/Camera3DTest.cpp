// The camera's drags, wheel and matrices against the numbers of their formulas.
#include "views/view3d/Camera3D.h"

#include <cmath>
#include <gtest/gtest.h>

namespace vm {
namespace {

constexpr float kEps = 1e-5f;

Vec3 Apply(const Vec3& p, const Matrix& m) {
    return Vec3TransformCoord(p, m);
}

TEST(Camera3D, TrackballVectorInsideAndOutsideTheCircle) {
    Camera3D camera;
    // 400 x 300 client: half sizes 200, 150; radius 0.85 -> 170 and 127.5 pixels.
    const Vec3 centre = camera.TrackballVector(200, 150, 400, 300);
    EXPECT_NEAR(centre.x, 0, kEps);
    EXPECT_NEAR(centre.y, 0, kEps);
    EXPECT_NEAR(centre.z, 1, kEps);

    // Left of centre gives positive x, below gives positive y.
    const Vec3 inside = camera.TrackballVector(200 - 85, 150 + 51, 400, 300);
    EXPECT_NEAR(inside.x, 0.5f, kEps);
    EXPECT_NEAR(inside.y, 0.4f, kEps);
    EXPECT_NEAR(inside.z, std::sqrt(1 - 0.25f - 0.16f), kEps);

    // Far right: onto the rim, pz = 0.
    const Vec3 outside = camera.TrackballVector(400, 150 + 255, 400, 300);
    const float px = -200.0f / 170, py = 2.0f, length = std::sqrt(px * px + py * py);
    EXPECT_NEAR(outside.x, px / length, kEps);
    EXPECT_NEAR(outside.y, py / length, kEps);
    EXPECT_EQ(outside.z, 0);
    EXPECT_NEAR(Length(outside), 1, kEps);

    // Odd sizes halve with truncation: 401 / 2 = 200.
    EXPECT_NEAR(camera.TrackballVector(200, 150, 401, 301).x, 0, kEps);
}

TEST(Camera3D, RotateDragDependsOnlyOnPressAndCurrentPoint) {
    Camera3D camera;
    camera.BeginRotate(120, 90, 400, 300);
    camera.RotateTo(300, 40, 400, 300);
    camera.RotateTo(10, 280, 400, 300);
    camera.RotateTo(120, 90, 400, 300); // back to the press point
    EXPECT_NEAR(camera.Rotation().x, 0, kEps);
    EXPECT_NEAR(camera.Rotation().y, 0, kEps);
    EXPECT_NEAR(camera.Rotation().z, 0, kEps);
    EXPECT_NEAR(camera.Rotation().w, 1, kEps);

    camera.BeginRotate(200, 150, 400, 300);
    camera.RotateTo(50, 150, 400, 300);
    const Quaternion direct = camera.Rotation();
    Camera3D detour;
    detour.BeginRotate(200, 150, 400, 300);
    detour.RotateTo(380, 20, 400, 300);
    detour.RotateTo(50, 150, 400, 300);
    EXPECT_NEAR(detour.Rotation().y, direct.y, kEps);
    EXPECT_NEAR(detour.Rotation().w, direct.w, kEps);

    // Dragging from the centre to the left turns about +y by twice the angle between the two
    // trackball vectors.
    const Vec3 s = camera.TrackballVector(200, 150, 400, 300);
    const Vec3 v = camera.TrackballVector(50, 150, 400, 300);
    const float angle = 2 * std::acos(Dot(s, v));
    EXPECT_NEAR(direct.y, std::sin(angle / 2), kEps);
    EXPECT_NEAR(direct.w, std::cos(angle / 2), kEps);
}

TEST(Camera3D, RotationFollowsTheDragStartRotation) {
    Camera3D camera;
    camera.BeginRotate(200, 150, 400, 300);
    camera.RotateTo(150, 150, 400, 300);
    const Quaternion first = camera.Rotation();
    camera.BeginRotate(200, 150, 400, 300);
    camera.RotateTo(200, 100, 400, 300);
    Camera3D second;
    second.BeginRotate(200, 150, 400, 300);
    second.RotateTo(200, 100, 400, 300);
    const Quaternion expected = QuaternionMultiply(first, second.Rotation());
    EXPECT_NEAR(camera.Rotation().x, expected.x, kEps);
    EXPECT_NEAR(camera.Rotation().y, expected.y, kEps);
    EXPECT_NEAR(camera.Rotation().z, expected.z, kEps);
    EXPECT_NEAR(camera.Rotation().w, expected.w, kEps);
}

TEST(Camera3D, PanAndZoomStepsScaleWithZoomAndWindow) {
    Camera3D camera;
    camera.SetZoom(2);
    camera.BeginPanZoom(100, 100);
    // Middle button with the setting off pans: dx = (100 - 110) * 2 * 500 / 400 = -25,
    // dy = (100 - 94) * 2 * 500 / 300 = 20; translation (-2 dx, 2 dy) = (50, 40).
    camera.PanZoomTo(110, 94, 400, 300, true, false);
    EXPECT_NEAR(camera.Pan().m[3][0], 50, 1e-3f);
    EXPECT_NEAR(camera.Pan().m[3][1], 40, 1e-3f);
    EXPECT_EQ(camera.Zoom(), 2);

    // Right button (middle not held) with the setting off zooms from the last point:
    // dy = (94 - 64) * 2 * 500 / 300 = 100, zoom = 2 e^(100 / 500).
    camera.PanZoomTo(110, 64, 400, 300, false, false);
    EXPECT_NEAR(camera.Zoom(), 2 * std::exp(0.2f), 1e-5f);
    EXPECT_NEAR(camera.Pan().m[3][1], 40, 1e-3f);

    // The setting swaps the buttons: the right button pans, the middle button zooms.
    Camera3D swapped;
    swapped.BeginPanZoom(0, 0);
    swapped.PanZoomTo(-4, 0, 400, 300, false, true); // mouse left, model left
    EXPECT_NEAR(swapped.Pan().m[3][0], -2 * 4 * 500 / 400.0f, 1e-4f);
    swapped.PanZoomTo(-4, 30, 400, 300, true, true);
    EXPECT_NEAR(swapped.Zoom(), std::exp(-30 * 500 / 300.0f / 500), 1e-5f);
    EXPECT_NEAR(swapped.Pan().m[3][0], -2 * 4 * 500 / 400.0f, 1e-4f);
}

TEST(Camera3D, ZoomStaysBetweenItsBounds) {
    Camera3D camera;
    camera.Wheel(-120);
    EXPECT_EQ(camera.Zoom(), 1.0f * 1.1f);
    camera.Wheel(120);
    EXPECT_EQ(camera.Zoom(), 1.0f * 1.1f / 1.1f);
    for (int i = 0; i < 50; ++i) {
        camera.Wheel(-120);
    }
    // Stops at the last value not above 3.9: 1.1^14 = 3.797.
    EXPECT_LE(camera.Zoom(), Camera3D::kMaxZoom);
    EXPECT_GT(camera.Zoom() * 1.1f, Camera3D::kMaxZoom);
    for (int i = 0; i < 2000; ++i) {
        camera.Wheel(120);
    }
    EXPECT_GE(camera.Zoom(), Camera3D::kMinZoom);
    EXPECT_LT(camera.Zoom() / 1.1f, Camera3D::kMinZoom);
    // A zoom drag is held by the same bounds.
    camera.BeginPanZoom(0, 0);
    camera.PanZoomTo(0, 100000, 400, 300, false, false);
    EXPECT_GE(camera.Zoom(), Camera3D::kMinZoom);
}

TEST(Camera3D, WorldCentresTurnsThenPans) {
    Camera3D camera;
    camera.SetRotation(QuaternionRotationAxis({0, 1, 0}, 3.14159265f / 2));
    camera.BeginPanZoom(0, 0);
    camera.PanZoomTo(-40, 0, 400, 300, true, false); // pan x by -2 * 40 * 500 / 400 = -100
    const Matrix world = camera.World({10, 20, 30});
    // The centre lands on the pan offset whatever the rotation.
    const Vec3 centre = Apply({10, 20, 30}, world);
    EXPECT_NEAR(centre.x, -100, 1e-3f);
    EXPECT_NEAR(centre.y, 0, 1e-3f);
    EXPECT_NEAR(centre.z, 0, 1e-3f);
    // A point 1 unit along +x of the centre turns a quarter about y (left-handed: to -z).
    const Vec3 turned = Apply({11, 20, 30}, world);
    EXPECT_NEAR(turned.x, -100, 1e-3f);
    EXPECT_NEAR(turned.z, -1, 1e-3f);
}

TEST(Camera3D, ProjectionsFollowTheirFormulas) {
    Camera3D camera;
    camera.SetZoom(0.5f);
    const float radius = 200;
    // Orthogonal: e = 100, d = 100 * 4 / 3.
    const Matrix ortho = camera.Projection(true, radius, 400, 300);
    const float e = 100, d = e * 400 / 300.0f;
    EXPECT_NEAR(ortho.m[0][0], 2 / (2 * d), kEps);
    EXPECT_NEAR(ortho.m[1][1], 2 / (2 * e), kEps);
    EXPECT_NEAR(ortho.m[2][2], 1 / 200000.0f, 1e-9f);
    EXPECT_NEAR(ortho.m[3][2], 0.5f, kEps);
    // Perspective: fov = zoom * pi / 4, near R / 64, far 200 R.
    const Matrix persp = camera.Projection(false, radius, 400, 300);
    const float yScale = 1 / std::tan(0.5f * 0.7853982f / 2);
    EXPECT_NEAR(persp.m[1][1], yScale, 1e-4f);
    EXPECT_NEAR(persp.m[0][0], yScale * 300 / 400, 1e-4f);
    const float zn = radius / 64, zf = radius * 200;
    EXPECT_NEAR(persp.m[2][2], zf / (zf - zn), kEps);
    EXPECT_NEAR(persp.m[3][2], -zn * zf / (zf - zn), 1e-2f);
    EXPECT_EQ(persp.m[2][3], 1);
    // The eye sits at (0, 0, -2R) looking at the origin.
    const Vec3 origin = Apply({0, 0, 0}, camera.View(radius));
    EXPECT_NEAR(origin.z, 2 * radius, kEps);
}

} // namespace
} // namespace vm
