// The photo view's paint of a fitted 24-megapixel photo with every overlay, against a bare
// drawImage of the same visible region; and one drag step end to end (mouse move, MovePoints,
// the High-detail rebuild, the pane's and the magnifier's repaint).
#include "document/CVisomorfDoc.h"
#include "views/photo/CFrontView.h"
#include "views/photo/CMagnifierDlg.h"
#include "views/photo/OverlayHitTest.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr QSize kPhotoSize(6000, 4000);
constexpr QSize kPaneSize(1000, 800);

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_ui_photo";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static QApplication app(argc, argv);
    return app;
}

QImage MakePhoto() {
    // A smooth gradient with texture, as the decoder delivers a JPEG (RGB32).
    QImage photo(kPhotoSize, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            row[x] = qRgb((x / 24) & 255, (y / 16) & 255, (x ^ y) & 255);
        }
    }
    return photo;
}

struct PhotoScene {
    vm::CVisomorfDoc doc;
    std::unique_ptr<vm::CMagnifierDlg> magnifier;
    std::unique_ptr<vm::CFrontView> view;
    bool ok = false;

    PhotoScene() {
        App();
        if (!doc.OnNewDocument()) {
            return;
        }
        doc.photos[vm::Front] = MakePhoto();
        doc.FitBoxToPhoto(vm::Front);
        doc.showBox = doc.showFeatures = true;
        doc.pointsLevel = 5;
        magnifier = std::make_unique<vm::CMagnifierDlg>();
        view = std::make_unique<vm::CFrontView>(doc);
        view->SetMagnifier(magnifier.get());
        view->resize(kPaneSize);
        view->show();
        magnifier->show();
        QApplication::processEvents();
        view->FitToWindow();
        ok = true;
    }
};

void BM_PaintFittedPhoto(benchmark::State& state) {
    PhotoScene scene;
    if (!scene.ok) {
        state.SkipWithError("the embedded head could not be loaded");
        return;
    }
    QImage surface(scene.view->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const QPoint origin = scene.view->Viewport().Origin();
    const float scale = scene.view->Viewport().Scale();
    for (auto _ : state) {
        QPainter painter(&surface);
        painter.fillRect(surface.rect(), Qt::lightGray);
        scene.view->DrawContent(painter, origin.x(), origin.y(), scale);
    }
    state.counters["scale"] = scale;
}
BENCHMARK(BM_PaintFittedPhoto)->Unit(benchmark::kMillisecond);

// The floor: the same visible region stretched once by nearest neighbour, nothing else.
void BM_BareDrawImage(benchmark::State& state) {
    PhotoScene scene;
    if (!scene.ok) {
        state.SkipWithError("the embedded head could not be loaded");
        return;
    }
    QImage surface(scene.view->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const QPoint origin = scene.view->Viewport().Origin();
    const QSize scaled = scene.view->Viewport().ScaledSize();
    const QImage& photo = scene.doc.photos[vm::Front];
    for (auto _ : state) {
        QPainter painter(&surface);
        painter.drawImage(QRect(-origin, scaled), photo);
    }
}
BENCHMARK(BM_BareDrawImage)->Unit(benchmark::kMillisecond);

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void BM_DragStepEndToEnd(benchmark::State& state) {
    PhotoScene scene;
    if (!scene.ok) {
        state.SkipWithError("the embedded head could not be loaded");
        return;
    }
    scene.doc.SetModelDetail(vm::High);
    scene.doc.showBox = false; // grab a point, not the box
    const auto& positions = scene.doc.pointPositions[vm::Front];
    const float t = vm::HitTolerance(scene.view->Viewport().Scale());
    int point = -1;
    QPoint press;
    for (size_t i = 0; i < positions.size() && point < 0; ++i) {
        press = scene.view->Viewport().PhotoToWindow(QPointF(positions[i].x, positions[i].y));
        const QPointF p = scene.view->WindowToPhoto(press);
        const int hit =
            vm::HitTestPoint(scene.doc.points[vm::Front], positions, scene.doc.pointsLevel,
                             {static_cast<float>(p.x()), static_cast<float>(p.y())}, t);
        point = hit == static_cast<int>(i) ? hit : -1;
    }
    QWidget* viewport = scene.view->viewport();
    SendMouse(viewport, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
    if (point < 0 || !scene.view->IsDragging()) {
        state.SkipWithError("no point to drag");
        return;
    }
    int64_t step = 0;
    for (auto _ : state) {
        // Back and forth, so that the point does not wander off during a long run.
        const QPoint at = press + QPoint((step++ & 1) ? 0 : 1, 0);
        SendMouse(viewport, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
        QApplication::processEvents(); // the pane's and the magnifier's paint
    }
    SendMouse(viewport, QEvent::MouseButtonRelease, press, Qt::LeftButton, Qt::NoButton);
    state.counters["vertices"] = scene.doc.displayedMesh->VertexCount();
}
BENCHMARK(BM_DragStepEndToEnd)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
