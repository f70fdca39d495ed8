#include "views/view3d/Camera3D.h"

#include <algorithm>
#include <cmath>

namespace vm {

namespace {
constexpr float kQuarterPi = 0.7853982f;
} // namespace

Vec3 Camera3D::TrackballVector(int x, int y, int width, int height) const {
    const int halfWidth = width / 2, halfHeight = height / 2;
    float px =
        static_cast<float>(halfWidth - x) / (static_cast<float>(width) * m_fTrackballRadius * 0.5f);
    float py = static_cast<float>(y - halfHeight) /
               (static_cast<float>(height) * m_fTrackballRadius * 0.5f);
    const float d = px * px + py * py;
    if (d > 1) {
        const float length = std::sqrt(d);
        return {px / length, py / length, 0};
    }
    return {px, py, std::sqrt(1 - d)};
}

void Camera3D::BeginRotate(int x, int y, int width, int height) {
    m_vDragStart = TrackballVector(x, y, width, height);
    m_qDragStart = m_qRotation;
}

void Camera3D::RotateTo(int x, int y, int width, int height) {
    const Vec3 v = TrackballVector(x, y, width, height);
    const Vec3& s = m_vDragStart;
    const Vec3 axis = Cross(s, v);
    const Quaternion q{axis.x, axis.y, axis.z, Dot(s, v)};
    SetRotation(QuaternionMultiply(m_qDragStart, q));
}

void Camera3D::SetRotation(const Quaternion& rotation) {
    m_qRotation = rotation;
    m_mRotation = MatrixRotationQuaternion(rotation);
}

void Camera3D::BeginPanZoom(int x, int y) {
    m_lastX = x;
    m_lastY = y;
}

void Camera3D::PanZoomTo(int x, int y, int width, int height, bool middleHeld,
                         bool rightButtonMoving) {
    const float dx =
        static_cast<float>(m_lastX - x) * m_fZoom * m_fPanScale / static_cast<float>(width);
    const float dy =
        static_cast<float>(m_lastY - y) * m_fZoom * m_fPanScale / static_cast<float>(height);
    if (middleHeld == rightButtonMoving) {
        SetZoomWithinBounds(m_fZoom * std::exp(dy / 500));
    } else {
        m_mPan = MatrixMultiply(m_mPan, MatrixTranslation(-2 * dx, 2 * dy, 0));
    }
    m_lastX = x;
    m_lastY = y;
}

void Camera3D::Wheel(int delta) {
    if (delta == 0) {
        return;
    }
    // Whole notches one by one, exactly as single notches zoom; past the bounds nothing more
    // changes, so the count is capped well above the steps between them.
    constexpr int kNotchCap = 1000;
    const int notches = std::clamp(delta / kNotchDelta, -kNotchCap, kNotchCap);
    for (int i = 0; i < std::abs(notches); ++i) {
        SetZoomWithinBounds(notches < 0 ? m_fZoom * kWheelFactor : m_fZoom / kWheelFactor);
    }
    const int rest = delta % kNotchDelta;
    if (rest != 0) {
        const double factor =
            std::pow(static_cast<double>(kWheelFactor), -static_cast<double>(rest) / kNotchDelta);
        SetZoomWithinBounds(static_cast<float>(m_fZoom * factor));
    }
}

float Camera3D::FramingZoom(bool orthogonal, float aspect) {
    const double a = aspect > 0 && std::isfinite(aspect) ? aspect : 1.0;
    double zoom = 1;
    if (orthogonal) {
        // The picture is 2 radius * zoom high and that times the aspect wide.
        zoom = std::max(1.0, 1.0 / a);
    } else {
        // The eye is 2 radius from the centre: the sphere fills a half-angle of asin(1/2).
        const double half = std::asin(0.5);
        const double vertical = std::max(half, std::atan(std::tan(half) / a));
        zoom = 2 * vertical / static_cast<double>(kQuarterPi);
    }
    return static_cast<float>(std::min(zoom, static_cast<double>(kMaxZoom)));
}

void Camera3D::Frame(bool orthogonal, int width, int height) {
    m_mPan = Matrix();
    const float aspect =
        static_cast<float>(std::max(1, width)) / static_cast<float>(std::max(1, height));
    m_fZoom = FramingZoom(orthogonal, aspect);
}

void Camera3D::SetZoomWithinBounds(float zoom) {
    if (zoom <= kMaxZoom && zoom >= kMinZoom) {
        m_fZoom = zoom;
    }
}

Matrix Camera3D::World(const Vec3& centre) const {
    return MatrixMultiply(
        MatrixMultiply(MatrixTranslation(-centre.x, -centre.y, -centre.z), m_mRotation), m_mPan);
}

Matrix Camera3D::View(float radius) const {
    return MatrixLookAtLH({0, 0, -2 * radius}, {0, 0, 0}, {0, 1, 0});
}

Matrix Camera3D::Projection(bool orthogonal, float radius, int width, int height) const {
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    if (orthogonal) {
        const float e = radius * m_fZoom, d = e * aspect;
        return MatrixOrthoOffCenterLH(-d, d, -e, e, -100000, 100000);
    }
    return MatrixPerspectiveFovLH(m_fZoom * kQuarterPi, aspect, radius * 0.015625f, radius * 200);
}

SceneTransforms Camera3D::Transforms(const Vec3& centre, float radius, bool orthogonal, int width,
                                     int height) const {
    SceneTransforms t;
    t.world = World(centre);
    t.view = View(radius);
    t.projection = Projection(orthogonal, radius, width, height);
    t.viewport = {0, 0, static_cast<float>(width), static_cast<float>(height), 0, 1};
    return t;
}

Matrix Camera3D::ToGLClip(const Matrix& projection) {
    // z_gl = 2 z - w: the depth range 0..w becomes -w..w, x, y and w stay.
    Matrix depthRange;
    depthRange.m[2][2] = 2;
    depthRange.m[3][2] = -1;
    return MatrixMultiply(projection, depthRange);
}

} // namespace vm
