// The 3D view's costs: one frame of the head at High detail, solid and lit, 1280 x 960, drawn
// by OpenGL (finished, not just queued) and the same scene drawn by the software pipeline; and
// the upload after one blend zone step on a 4000 x 3000 side photo (the side texture and the
// mesh buffers' check), or after one photo drag step at High detail (the buffers refilled).
// Run under xvfb-run: the OpenGL parts need a display.
#include "document/CVisomorfDoc.h"
#include "views/view3d/C3DView.h"
#include "views/view3d/SceneRendererGL.h"
#include "views/view3d/SoftwareScene.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QTemporaryDir>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

using namespace vm;

constexpr int kWidth = 1280, kHeight = 960;

// A new document at High detail with the given photos loaded (empty path: no photo).
std::unique_ptr<CVisomorfDoc> MakeDocument(const QString& front, const QString& side) {
    auto doc = std::make_unique<CVisomorfDoc>(3);
    if (!doc->OnNewDocument()) {
        return nullptr;
    }
    if (!front.isEmpty()) {
        doc->LoadPhoto(Front, front);
    }
    if (!side.isEmpty()) {
        doc->LoadPhoto(Side, side);
    }
    doc->lighting = true;
    return doc;
}

QString WritePhoto(const QTemporaryDir& dir, const char* name, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int y = 0; y < height; y += 50) {
        for (int x = 0; x < width; x += 50) {
            painter.fillRect(x, y, 50, 50, QColor::fromHsv((x + y) / 7 % 360, 180, 200));
        }
    }
    painter.end();
    const QString path = dir.filePath(QString::fromLatin1(name));
    image.save(path, "BMP"); // quick to write and read
    return path;
}

struct Scene {
    QTemporaryDir dir;
    std::unique_ptr<CVisomorfDoc> doc;
    std::unique_ptr<C3DView> view;
    bool Open(int sideWidth, int sideHeight) {
        doc = MakeDocument(WritePhoto(dir, "front.bmp", 800, 1000),
                           WritePhoto(dir, "side.bmp", sideWidth, sideHeight));
        if (!doc) {
            return false;
        }
        view = std::make_unique<C3DView>(*doc);
        view->resize(kWidth, kHeight);
        view->show();
        QElapsedTimer waited;
        waited.start();
        while (!(view->windowHandle() && view->windowHandle()->isExposed()) &&
               waited.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        view->Camera().SetRotation(QuaternionRotationAxis({0, 1, 0}, 0.5f));
        view->Camera().SetZoom(0.6f);
        view->repaint();
        return view->UnavailableMessage().isEmpty();
    }
};

// grabFramebuffer draws the frame (the widget's paint) and reads it back, so this is an upper
// bound of a frame: the read-back of 1280 x 960 pixels is included.
void BM_OpenGLFrameHighSolidLit(benchmark::State& state) {
    Scene scene;
    if (!scene.Open(1200, 1600)) {
        state.SkipWithError("no OpenGL 3.3 view");
        return;
    }
    for (auto _ : state) {
        const QImage frame = scene.view->grabFramebuffer();
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.counters["triangles"] = scene.doc->displayedMesh->FaceCount();
}
BENCHMARK(BM_OpenGLFrameHighSolidLit)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The frame's drawing alone: the same scene drawn into an off-screen framebuffer of the same
// size and finished, without the widget's composition and without reading pixels back.
void BM_OpenGLDrawHighSolidLit(benchmark::State& state) {
    Scene scene;
    if (!scene.Open(1200, 1600)) {
        state.SkipWithError("no OpenGL 3.3 view");
        return;
    }
    scene.view->makeCurrent();
    QOpenGLFramebufferObject target(kWidth, kHeight, QOpenGLFramebufferObject::Depth);
    SceneRendererGL renderer;
    if (!target.isValid() || !renderer.Initialize()) {
        state.SkipWithError("no off-screen framebuffer");
        return;
    }
    CVisomorfDoc& doc = *scene.doc;
    renderer.UpdateMesh(*doc.displayedMesh);
    renderer.UpdateTexture(0, doc.textures[Front]);
    renderer.UpdateTexture(1, doc.textures[Side]);
    const SceneTransforms t = scene.view->CurrentTransforms();
    SceneDrawState draw;
    draw.world = t.world;
    draw.viewProjectionGL = MatrixMultiply(t.view, Camera3D::ToGLClip(t.projection));
    draw.lighting = true;
    state.SetLabel(reinterpret_cast<const char*>(
        scene.view->context()->functions()->glGetString(GL_RENDERER)));
    target.bind();
    renderer.SetViewport(kWidth, kHeight);
    for (auto _ : state) {
        renderer.Draw(draw);
        scene.view->context()->functions()->glFinish();
    }
    target.release();
    renderer.Release();
    scene.view->doneCurrent();
}
BENCHMARK(BM_OpenGLDrawHighSolidLit)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void BM_SoftwareFrameHighSolidLit(benchmark::State& state) {
    Scene scene;
    if (!scene.Open(1200, 1600)) {
        state.SkipWithError("no OpenGL 3.3 view");
        return;
    }
    const SceneTransforms transforms = scene.view->CurrentTransforms();
    for (auto _ : state) {
        const QImage picture = RenderSceneSoftware(*scene.doc, transforms);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_SoftwareFrameHighSolidLit)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// A document with photos of the given size and a renderer of its own, current on the view's
// context; false (and the benchmark skipped) when OpenGL 3.3 cannot be had.
bool OpenWithRenderer(Scene& scene, SceneRendererGL& renderer, int width, int height,
                      benchmark::State& state) {
    if (!scene.Open(width, height)) {
        state.SkipWithError("no OpenGL 3.3 view");
        return false;
    }
    scene.view->makeCurrent();
    if (!renderer.Initialize()) {
        state.SkipWithError("renderer");
        return false;
    }
    return true;
}

// The uploads a frame after one blend zone step makes: the side texture changed, the mesh
// compared and found unchanged. Argument 0: the zone's width changes by 4 pixels; 1: the
// middle point of the zone moves sideways by 4 pixels.
void BM_BlendZoneStepUpload(benchmark::State& state) {
    Scene scene;
    SceneRendererGL renderer;
    if (!OpenWithRenderer(scene, renderer, 4000, 3000, state)) {
        return;
    }
    CVisomorfDoc& doc = *scene.doc;
    renderer.UpdateMesh(*doc.displayedMesh);
    renderer.UpdateTexture(0, doc.textures[Front]);
    renderer.UpdateTexture(1, doc.textures[Side]);
    int64_t step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const float delta = (step++ & 1) ? -4.0f : 4.0f;
        if (state.range(0) == 0) {
            doc.blendZoneWidth += delta;
        } else {
            doc.blendZone[doc.blendZone.size() / 2].x += delta;
        }
        doc.UpdateBlendZone();
        state.ResumeTiming();
        renderer.UpdateMesh(*doc.displayedMesh);
        renderer.UpdateTexture(0, doc.textures[Front]);
        renderer.UpdateTexture(1, doc.textures[Side]);
        scene.view->context()->functions()->glFinish();
    }
    state.counters["texture_uploads"] = renderer.TextureUploads();
    renderer.Release();
    scene.view->doneCurrent();
}
BENCHMARK(BM_BlendZoneStepUpload)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The buffers refilled after a photo drag step moved the head at High detail.
void BM_DragStepBufferUpload(benchmark::State& state) {
    Scene scene;
    SceneRendererGL renderer;
    if (!OpenWithRenderer(scene, renderer, 1200, 1600, state)) {
        return;
    }
    CVisomorfDoc& doc = *scene.doc;
    int64_t step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        doc.editableMesh->vertices[0].position.x += (step++ & 1) ? -0.5f : 0.5f;
        doc.RebuildDisplayMesh();
        state.ResumeTiming();
        renderer.UpdateMesh(*doc.displayedMesh);
        scene.view->context()->functions()->glFinish();
    }
    state.counters["buffer_uploads"] = renderer.MeshUploads();
    renderer.Release();
    scene.view->doneCurrent();
}
BENCHMARK(BM_DragStepBufferUpload)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
