#pragma once
// The 3D view's camera: trackball rotation, pan and zoom drags, the wheel, and the world, view
// and projection matrices. Row-vector, left-handed matrices with depth 0..1 as the model's math
// uses them; ToGLClip turns a projection into OpenGL's clip space without changing the picture.
#include "platform/core/VMath.h"

namespace vm {

// Everything a frame was drawn with; picking unprojects through the same transforms.
struct SceneTransforms {
    Matrix world, view, projection;
    Viewport viewport; // window pixels
};

class Camera3D {
public:
    static constexpr float kMaxZoom = 3.9f;
    // Endless wheel steps in must not make the projection degenerate.
    static constexpr float kMinZoom = 0.01f;
    static constexpr float kWheelFactor = 1.1f;
    static constexpr int kNotchDelta = 120;

    // Unit trackball vector of window point (x, y) in a client area of width x height pixels.
    Vec3 TrackballVector(int x, int y, int width, int height) const;

    // Rotate drag: the press at window point (x, y), then each mouse move.
    void BeginRotate(int x, int y, int width, int height);
    void RotateTo(int x, int y, int width, int height);

    // Pan or zoom drag: the press remembers the window point; each move steps from it.
    void BeginPanZoom(int x, int y);
    // middleHeld: the middle button is down; rightButtonMoving: the setting that makes the
    // right button pan and the middle button zoom.
    void PanZoomTo(int x, int y, int width, int height, bool middleHeld, bool rightButtonMoving);

    // Wheel delta in eighths of a degree; negative (towards the user) shows more of the scene.
    // The zoom changes by kWheelFactor per notch of 120 and in proportion for any other delta
    // (a factor of 1.1^(-delta / 120)), so that a touchpad's many small deltas zoom as
    // smoothly as a wheel's notches. A step that would leave the bounds is not taken.
    void Wheel(int delta);

    // The zoom that shows the whole bounding sphere (centre, radius) in a window of the given
    // aspect ratio (width / height) with the projection chosen.
    static float FramingZoom(bool orthogonal, float aspect);
    // Shows the whole head: the pan is undone and the zoom becomes the framing zoom; the
    // rotation stays as it is.
    void Frame(bool orthogonal, int width, int height);

    // Model centred on centre (model units), turned, then panned.
    Matrix World(const Vec3& centre) const;
    // Eye at (0, 0, -2 radius) looking at the origin, y up.
    Matrix View(float radius) const;
    Matrix Projection(bool orthogonal, float radius, int width, int height) const;
    SceneTransforms Transforms(const Vec3& centre, float radius, bool orthogonal, int width,
                               int height) const;

    // The same picture in OpenGL's clip space (depth -w..w instead of 0..w).
    static Matrix ToGLClip(const Matrix& projection);

    float Zoom() const { return m_fZoom; }
    void SetZoom(float zoom) { m_fZoom = zoom; }
    const Quaternion& Rotation() const { return m_qRotation; }
    void SetRotation(const Quaternion& rotation);
    const Matrix& Pan() const { return m_mPan; }

    float m_fTrackballRadius = 0.85f; // fraction of half the client width and height
    float m_fPanScale = 500;

private:
    // A new zoom within the bounds, else the previous value stays.
    void SetZoomWithinBounds(float zoom);

    float m_fZoom = 1.0f;
    Quaternion m_qDragStart;
    Quaternion m_qRotation;
    Matrix m_mRotation;
    Matrix m_mPan;
    int m_lastX = 0, m_lastY = 0; // window pixels of the previous pan or zoom step
    Vec3 m_vDragStart;
};

} // namespace vm
