// Automatic fit of a 12-megapixel front photo and a 12-megapixel side photo: target under 1.5 s
// for both together, with the time of each stage.
#include "../tests/autofit/SyntheticHead.h"
#include "autofit/DocumentFit.h"
#include "autofit/FaceLandmarks.h"
#include "autofit/FrontFit.h"
#include "autofit/detail/ProfileSilhouette.h"
#include "autofit/detail/SideFit.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

using namespace vm;

constexpr int kWidth = 4000, kHeight = 3000;

// The document and both camera-sized photos, made once: the portrait enlarged five times on a
// grey 4000 x 3000 canvas, and the generic head drawn in profile at the same size.
struct Photos {
    std::unique_ptr<CVisomorfDoc> doc = std::make_unique<CVisomorfDoc>();
    QImage front, side;

    Photos() {
        doc->OnNewDocument();
        const QImage portrait(
            QStringLiteral(VISOMORF_SOURCE_DIR "/tests/autofit/data/astronaut.jpg"));
        front = QImage(kWidth, kHeight, QImage::Format_RGB32);
        front.fill(qRgb(180, 180, 185));
        QPainter painter(&front);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(700, 200, 2560, 2560), portrait);
        painter.end();
        side = test::RenderProfile(*doc, kWidth, kHeight, 3.5f, 1.0f, 1900, 1450).picture;
        doc->photos[Front] = front;
        doc->photos[Side] = side;
        // Warm up: the landmark model loads once per process and is no part of a fit.
        FaceLandmarker::Instance();
    }
};

Photos& Shared() {
    static Photos photos;
    return photos;
}

void BM_FrontDetectFace(benchmark::State& state) {
    Photos& p = Shared();
    for (auto _ : state) {
        int count = 0;
        benchmark::DoNotOptimize(FindLargestFace(p.front, FaceLandmarker::Instance(), count));
    }
}

void BM_FrontFit(benchmark::State& state) {
    Photos& p = Shared();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            FitFrontPhoto(p.front, p.doc->pointPositions[Front], FaceLandmarker::Instance()));
    }
}

void BM_SideTraceProfile(benchmark::State& state) {
    Photos& p = Shared();
    for (auto _ : state) {
        QString reason;
        benchmark::DoNotOptimize(TraceProfile(p.side, reason));
    }
}

// Includes the check that the side photo shows no face from the front.
void BM_SideFit(benchmark::State& state) {
    Photos& p = Shared();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            FitSidePhoto(p.side, p.doc->pointPositions[Side], false, FaceLandmarker::Instance()));
    }
}

void BM_ApplyBothFits(benchmark::State& state) {
    Photos& p = Shared();
    const PhotoFit front =
        FitFrontPhoto(p.front, p.doc->pointPositions[Front], FaceLandmarker::Instance());
    const PhotoFit side =
        FitSidePhoto(p.side, p.doc->pointPositions[Side], false, FaceLandmarker::Instance());
    UndoSnapshot start;
    p.doc->CaptureState(start);
    for (auto _ : state) {
        ApplyPhotoFit(*p.doc, Front, front);
        ApplyPhotoFit(*p.doc, Side, side);
        p.doc->RebuildDisplayMesh();
        state.PauseTiming();
        p.doc->ApplySnapshot(start);
        state.ResumeTiming();
    }
}

// Everything the command does: both fits, applied as one undo step.
void BM_AutoFitBothPhotos(benchmark::State& state) {
    Photos& p = Shared();
    UndoSnapshot start;
    p.doc->CaptureState(start);
    for (auto _ : state) {
        const DocumentFitReport report = AutoFitDocument(*p.doc, false);
        if (!report.applied) {
            state.SkipWithError("the fit failed");
        }
        state.PauseTiming();
        p.doc->ApplySnapshot(start);
        // The fit keeps an aligned copy of the side photo; the next round starts from the photo.
        p.doc->photos[Side] = p.side;
        p.doc->History().Clear();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_FrontDetectFace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrontFit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SideTraceProfile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SideFit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyBothFits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoFitBothPhotos)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
