#pragma once
// The 3D pane: the document's displayed mesh drawn with OpenGL, turned, panned and zoomed with
// the mouse, and pushed and pulled with Ctrl+clicks in edit mode. The camera and editing rules
// live in Camera3D and PushPullEditor; this widget routes events and paints.
#include "document/CVisomorfDoc.h"
#include "views/view3d/Camera3D.h"
#include "views/view3d/PushPullEditor.h"
#include "views/view3d/SceneRendererGL.h"

#include <QOpenGLWidget>
#include <QString>

class QLabel;

namespace vm {

class C3DView : public QOpenGLWidget, public CDocumentView {
    Q_OBJECT
public:
    explicit C3DView(CVisomorfDoc& doc, QWidget* parent = nullptr);
    ~C3DView() override;

    // The surface format the view asks for: OpenGL 3.3 core with a depth buffer.
    static QSurfaceFormat RequiredFormat();

    // ---- CDocumentView ----
    void OnUpdate(CDocumentView* sender, int hint) override;
    bool Is3DView() const override { return true; }
    bool IsDragging() const override { return m_bDragging; }
    bool EditMode() const override { return m_bEditMode; }
    void SetEditMode(bool on) override { m_bEditMode = on; }
    void FixDirection() override;
    void ResetModifications() override;
    void EditModificationSettings() override;

    // The settings value "Right button moving": the right button pans, the middle one zooms.
    void SetRightButtonMoving(bool on) { m_bRightButtonMoving = on; }
    bool RightButtonMoving() const { return m_bRightButtonMoving; }

    // View > Frame Head: the bounds measured again and the whole head shown, turned as it is.
    void FrameHead();
    // View > Zoom In (notches > 0) and Zoom Out: as many wheel notches away from the user.
    void ZoomByNotches(int notches);

    // Push or pull at window point (x, y) in widget pixels, as a Ctrl+click does.
    void PushPull(int x, int y, bool push);

    Camera3D& Camera() { return m_camera; }
    PushPullEditor& Editor() { return m_editor; }
    // The transforms a frame drawn now would use (window pixels of the widget).
    SceneTransforms CurrentTransforms() const;
    // Empty while OpenGL works; otherwise what the pane shows instead of the head.
    const QString& UnavailableMessage() const { return m_unavailable; }
    const SceneRendererGL& Renderer() const { return m_renderer; }

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Asks for one repaint: through the application's idle-time redraw when it has set one,
    // else through a zero timer of our own.
    void RequestRedraw();
    void Render();
    // Shows the message in a plain child widget: without OpenGL nothing can be painted here.
    void ShowUnavailable(const QString& message);
    void ReleaseGL();
    // Runs a document change; a failure reaches the user through the one failure path.
    template <class Action> void Guarded(Action&& action);

    CVisomorfDoc& m_doc;
    Camera3D m_camera;
    PushPullEditor m_editor;
    SceneRendererGL m_renderer;
    SceneTransforms m_lastTransforms;
    bool m_bHaveTransforms = false;
    bool m_bDragging = false;
    bool m_bEditMode = false;
    bool m_bRightButtonMoving = false;
    bool m_bRedrawPending = false;
    bool m_bGLReady = false;
    QString m_unavailable;
    QLabel* m_message = nullptr;
};

} // namespace vm
