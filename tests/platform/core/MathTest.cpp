#include "platform/core/VMath.h"

#include <gtest/gtest.h>
#include <numbers>

namespace vm {
namespace {

constexpr float kTol = 1e-5f;
constexpr float kHalfRoot2 = 0.70710678f;

void ExpectMatrixNear(const Matrix& actual, const float (&expected)[4][4], float tol = kTol) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(actual.m[r][c], expected[r][c], tol) << "row " << r << " column " << c;
        }
    }
}

void ExpectVecNear(const Vec3& actual, const Vec3& expected, float tol = kTol) {
    EXPECT_NEAR(actual.x, expected.x, tol);
    EXPECT_NEAR(actual.y, expected.y, tol);
    EXPECT_NEAR(actual.z, expected.z, tol);
}

TEST(VMath, LookAtFromTheSideIsLeftHanded) {
    // Eye on +x looking at the origin with y up: +z is to the right, -x is straight ahead.
    const Matrix view = MatrixLookAtLH({10, 0, 0}, {0, 0, 0}, {0, 1, 0});
    const float expected[4][4] = {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 10, 1}};
    ExpectMatrixNear(view, expected);
    ExpectVecNear(Vec3TransformCoord({0, 0, -1}, view), {-1, 0, 10});
}

TEST(VMath, OrthoOffCenterMapsTheBoxOntoTheUnitCube) {
    const Matrix ortho = MatrixOrthoOffCenterLH(-100, 300, -50, 150, 1, 11);
    const float expected[4][4] = {
        {0.005f, 0, 0, 0}, {0, 0.01f, 0, 0}, {0, 0, 0.1f, 0}, {-0.5f, -0.5f, -0.1f, 1}};
    ExpectMatrixNear(ortho, expected);
    ExpectVecNear(Vec3TransformCoord({-100, -50, 1}, ortho), {-1, -1, 0});
    ExpectVecNear(Vec3TransformCoord({300, 150, 11}, ortho), {1, 1, 1});
}

TEST(VMath, PerspectiveFovPutsNearAndFarAtZeroAndOne) {
    const Matrix proj = MatrixPerspectiveFovLH(std::numbers::pi_v<float> / 2, 2.0f, 1, 101);
    const float expected[4][4] = {
        {0.5f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1.01f, 1}, {0, 0, -1.01f, 0}};
    ExpectMatrixNear(proj, expected);
    EXPECT_NEAR(Vec3TransformCoord({0, 0, 1}, proj).z, 0, kTol);
    EXPECT_NEAR(Vec3TransformCoord({0, 0, 101}, proj).z, 1, kTol);
    ExpectVecNear(Vec3TransformCoord({2, 1, 2}, proj), {0.5f, 0.5f, 0.5f * 1.01f * 1});
}

TEST(VMath, QuaternionRotationMatchesTheAxisRotationMatrix) {
    const float a = 0.3f, c = std::cos(a), s = std::sin(a);
    // Rotation about y in a left-handed frame, row-vector form.
    const float aboutY[4][4] = {{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}};
    ExpectMatrixNear(MatrixRotationQuaternion(QuaternionRotationAxis({0, 3, 0}, a)), aboutY);
    const float aboutX[4][4] = {{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}};
    ExpectMatrixNear(MatrixRotationQuaternion(QuaternionRotationAxis({1, 0, 0}, a)), aboutX);
}

TEST(VMath, QuaternionMultiplyAppliesTheFirstRotationFirst) {
    const float quarter = std::numbers::pi_v<float> / 2;
    const Quaternion q1 = QuaternionRotationAxis({1, 0, 0}, quarter);
    const Quaternion q2 = QuaternionRotationAxis({0, 1, 0}, quarter);
    const Quaternion q = QuaternionMultiply(q1, q2);
    EXPECT_NEAR(q.x, 0.5f, kTol);
    EXPECT_NEAR(q.y, 0.5f, kTol);
    EXPECT_NEAR(q.z, -0.5f, kTol);
    EXPECT_NEAR(q.w, 0.5f, kTol);
    const Matrix product =
        MatrixMultiply(MatrixRotationQuaternion(q1), MatrixRotationQuaternion(q2));
    float expected[4][4];
    std::copy(&product.m[0][0], &product.m[0][0] + 16, &expected[0][0]);
    ExpectMatrixNear(MatrixRotationQuaternion(q), expected);
    // y up turns to +z about x, then stays on z's image about y: +x.
    ExpectVecNear(Vec3TransformNormal({0, 1, 0}, MatrixRotationQuaternion(q)), {1, 0, 0});
}

TEST(VMath, InverseUndoesAndRefusesSingularMatrices) {
    const Matrix m = MatrixMultiply(MatrixLookAtLH({3, 4, -20}, {1, 0, 0}, {0, 1, 0}),
                                    MatrixPerspectiveFovLH(0.8f, 1.5f, 2, 500));
    Matrix inverse;
    ASSERT_TRUE(MatrixInverse(m, inverse));
    const float identity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    ExpectMatrixNear(MatrixMultiply(m, inverse), identity, 1e-4f);

    Matrix flat = MatrixIdentity();
    flat.m[2][2] = 0;
    Matrix untouched = MatrixTranslation(1, 2, 3);
    EXPECT_FALSE(MatrixInverse(flat, untouched));
    EXPECT_EQ(untouched.m[3][1], 2);
}

TEST(VMath, ProjectAndUnprojectThroughTheViewport) {
    const Viewport viewport{10, 20, 200, 100, 0, 1};
    const Matrix ortho = MatrixOrthoOffCenterLH(0, 200, 0, 100, 0, 1);
    const Matrix world = MatrixTranslation(5, 0, 0);
    ExpectVecNear(Vec3Project({0, 0, 0.5f}, viewport, ortho, MatrixIdentity(), world),
                  {15, 120, 0.5f}, 1e-4f);
    ExpectVecNear(Vec3Unproject({15, 120, 0.5f}, viewport, ortho, MatrixIdentity(), world),
                  {0, 0, 0.5f}, 1e-4f);

    // Perspective: the top-right window corner at depth 0 lies on the near plane's corner.
    const Viewport screen{0, 0, 200, 100, 0, 1};
    const Matrix proj = MatrixPerspectiveFovLH(std::numbers::pi_v<float> / 2, 2.0f, 1, 101);
    ExpectVecNear(Vec3Unproject({200, 0, 0}, screen, proj, MatrixIdentity(), MatrixIdentity()),
                  {2, 1, 1}, 1e-4f);
    ExpectVecNear(Vec3Unproject({100, 50, 1}, screen, proj, MatrixIdentity(), MatrixIdentity()),
                  {0, 0, 101}, 1e-2f);
}

TEST(VMath, VectorHelpers) {
    ExpectVecNear(Cross({1, 0, 0}, {0, 1, 0}), {0, 0, 1});
    ExpectVecNear(Normalize({3, 0, 4}), {0.6f, 0, 0.8f});
    EXPECT_EQ(Normalize({0, 0, 0}), (Vec3{0, 0, 0}));
    const Quaternion n = QuaternionNormalize({0, 2, 0, 2});
    EXPECT_NEAR(n.y, kHalfRoot2, kTol);
    EXPECT_NEAR(n.w, kHalfRoot2, kTol);
}

} // namespace
} // namespace vm
