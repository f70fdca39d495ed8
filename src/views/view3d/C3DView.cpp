#include "views/view3d/C3DView.h"

#include "views/FailureReport.h"
#include "views/view3d/C3DModificationSettingsDlg.h"

#include <QLabel>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QTimer>
#include <QWheelEvent>
#include <exception>

namespace vm {

C3DView::C3DView(CVisomorfDoc& doc, QWidget* parent) : QOpenGLWidget(parent), m_doc(doc) {
    setFormat(RequiredFormat());
    setWindowTitle(QStringLiteral("3D View"));
    setMinimumSize(16, 16);
    m_doc.AddView(this);
}

C3DView::~C3DView() {
    m_doc.RemoveView(this);
    ReleaseGL();
}

QSurfaceFormat C3DView::RequiredFormat() {
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    format.setSwapInterval(0); // present at once, no wait for the retrace
    return format;
}

void C3DView::ReleaseGL() {
    if (!m_bGLReady || !context()) {
        return;
    }
    makeCurrent();
    m_renderer.Release();
    doneCurrent();
    m_bGLReady = false;
}

void C3DView::OnUpdate(CDocumentView*, int) {
    RequestRedraw();
}

void C3DView::RequestRedraw() {
    if (m_doc.requestRedraw3D) {
        m_doc.RequestRedraw3D();
        return;
    }
    if (!m_bRedrawPending) {
        m_bRedrawPending = true;
        QTimer::singleShot(0, this, [this] {
            m_bRedrawPending = false;
            update();
        });
    }
}

void C3DView::initializeGL() {
    const QOpenGLContext* gl = context();
    const QSurfaceFormat actual = gl ? gl->format() : QSurfaceFormat();
    if (!gl || !gl->isValid() || actual.version() < qMakePair(3, 3)) {
        ShowUnavailable(QStringLiteral("The 3D view needs OpenGL 3.3, which this display does "
                                       "not offer. The photo views work as usual."));
        return;
    }
    if (!m_renderer.Initialize()) {
        ShowUnavailable(m_renderer.Error());
        return;
    }
    m_bGLReady = true;
    // Photos loaded from now on fit what this context can hold.
    const auto maxSize = static_cast<uint32_t>(m_renderer.MaxTextureSize());
    if (maxSize > 0) {
        m_doc.deviceCaps.maxTextureWidth = m_doc.deviceCaps.maxTextureHeight = maxSize;
        if (m_doc.device) {
            DeviceCaps caps = m_doc.device->Caps();
            caps.maxTextureWidth = caps.maxTextureHeight = maxSize;
            m_doc.device->SetCaps(caps);
        }
    }
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { ReleaseGL(); });
}

SceneTransforms C3DView::CurrentTransforms() const {
    return m_camera.Transforms(m_doc.boundingCentre, m_doc.boundingRadius, m_doc.orthogonal,
                               std::max(1, width()), std::max(1, height()));
}

void C3DView::paintGL() {
    if (!m_bGLReady) {
        return;
    }
    // A failing paint shows nothing and is tried again at the next repaint.
    try {
        Render();
    } catch (const std::exception&) {
    }
}

void C3DView::Render() {
    m_lastTransforms = CurrentTransforms();
    m_bHaveTransforms = true;
    const int ratioWidth = static_cast<int>(width() * devicePixelRatioF());
    const int ratioHeight = static_cast<int>(height() * devicePixelRatioF());
    m_renderer.SetViewport(ratioWidth, ratioHeight);
    // An emptied document shows an empty pane, not the last head.
    m_renderer.UpdateMesh(m_doc.displayedMesh ? *m_doc.displayedMesh : Mesh{});
    m_renderer.UpdateTexture(0, m_doc.textures[Front]);
    m_renderer.UpdateTexture(1, m_doc.textures[Side]);
    SceneDrawState state;
    state.world = m_lastTransforms.world;
    state.viewProjectionGL =
        MatrixMultiply(m_lastTransforms.view, Camera3D::ToGLClip(m_lastTransforms.projection));
    state.wireframe = m_doc.wireframe;
    state.lighting = m_doc.lighting;
    m_renderer.Draw(state);
}

void C3DView::ShowUnavailable(const QString& message) {
    m_unavailable = message;
    if (!m_message) {
        m_message = new QLabel(this);
        m_message->setAlignment(Qt::AlignCenter);
        m_message->setWordWrap(true);
        m_message->setMargin(12);
        m_message->setAutoFillBackground(true);
        QPalette palette = m_message->palette();
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        m_message->setPalette(palette);
    }
    m_message->setText(message);
    m_message->setGeometry(rect());
    // Not from inside the paint that found the failure.
    QMetaObject::invokeMethod(m_message, &QWidget::show, Qt::QueuedConnection);
}

void C3DView::resizeEvent(QResizeEvent* event) {
    QOpenGLWidget::resizeEvent(event);
    if (m_message) {
        m_message->setGeometry(rect());
    }
}

template <class Action> void C3DView::Guarded(Action&& action) {
    try {
        action();
    } catch (const std::exception& failure) {
        ReportFailure(failure, this);
    }
}

void C3DView::FixDirection() {
    m_editor.FixDirection(m_bHaveTransforms ? m_lastTransforms : CurrentTransforms());
}

void C3DView::ResetModifications() {
    Guarded([this] {
        if (m_editor.ResetModifications(m_doc)) {
            m_doc.UpdateAllViews(this);
            update();
        }
    });
}

void C3DView::PushPull(int x, int y, bool push) {
    Guarded([&] {
        const SceneTransforms transforms =
            m_bHaveTransforms ? m_lastTransforms : CurrentTransforms();
        if (m_editor.PushPull(m_doc, transforms, static_cast<float>(x), static_cast<float>(y),
                              push)) {
            m_doc.UpdateAllViews(this);
            update();
        }
    });
}

void C3DView::FrameHead() {
    m_doc.UpdateBounds();
    m_camera.Frame(m_doc.orthogonal, width(), height());
    update();
}

void C3DView::ZoomByNotches(int notches) {
    m_camera.Wheel(notches * Camera3D::kNotchDelta);
    update();
}

void C3DView::EditModificationSettings() {
    C3DModificationSettingsDlg dialog(this);
    dialog.SetValues(m_editor.m_fFarDistance, m_editor.m_fNearDistance, m_editor.m_fShift);
    if (dialog.exec() == QDialog::Accepted) {
        m_editor.m_fFarDistance = static_cast<float>(dialog.FarDistance());
        m_editor.m_fNearDistance = static_cast<float>(dialog.NearDistance());
        m_editor.m_fShift = static_cast<float>(dialog.Shift());
    }
}

void C3DView::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    const bool editClick = m_bEditMode && (event->modifiers() & Qt::ControlModifier) &&
                           (button == Qt::LeftButton || button == Qt::RightButton);
    if (editClick) {
        PushPull(p.x(), p.y(), button == Qt::LeftButton);
        return;
    }
    if (button == Qt::LeftButton) {
        m_camera.BeginRotate(p.x(), p.y(), width(), height());
    } else if (button == Qt::RightButton || button == Qt::MiddleButton) {
        m_camera.BeginPanZoom(p.x(), p.y());
    } else {
        QOpenGLWidget::mousePressEvent(event);
        return;
    }
    m_bDragging = true;
}

void C3DView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bDragging) {
        QOpenGLWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    const Qt::MouseButtons held = event->buttons();
    if (!(held & (Qt::LeftButton | Qt::MiddleButton | Qt::RightButton))) {
        m_bDragging = false; // the release went elsewhere (another window took the mouse)
        return;
    }
    if (held & Qt::LeftButton) {
        m_camera.RotateTo(p.x(), p.y(), width(), height());
    } else {
        m_camera.PanZoomTo(p.x(), p.y(), width(), height(), (held & Qt::MiddleButton) != 0,
                           m_bRightButtonMoving);
    }
    update();
}

void C3DView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_bDragging) {
        QOpenGLWidget::mouseReleaseEvent(event);
        return;
    }
    // Any of the three buttons ends the drag, as the press of any of them began it.
    m_bDragging = false;
}

void C3DView::wheelEvent(QWheelEvent* event) {
    if (event->angleDelta().y() == 0) { // a sideways wheel
        QOpenGLWidget::wheelEvent(event);
        return;
    }
    m_camera.Wheel(event->angleDelta().y());
    update();
    event->accept();
}

} // namespace vm
