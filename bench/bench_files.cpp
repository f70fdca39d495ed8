// Document files and export, against what Qt alone needs for the same photos:
// - open a document holding two 12-megapixel JPEG photos vs decoding those two JPEGs;
// - save it vs reading and writing the two JPEG files;
// - export at High detail with a 2048 x 2048 texture at quality 80 vs encoding that JPEG.
// Targets: open and save within 1.5x, export within 4x of their baseline.
// The export's texture bake alone, at High detail and 2048 x 2048, is measured beside them.
#include "document/CVisomorfDoc.h"
#include "export/ExportMesh.h"
#include "export/ExportModel.h"
#include "export/TextureAtlas.h"
#include "persistence/DocumentIO.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// A photo-like picture: smooth shading with fine texture, so that it compresses like a photo.
QImage PhotoLike(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    uint32_t noise = 2463534242u + static_cast<uint32_t>(seed);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
            const int grain = static_cast<int>(noise & 15);
            row[x] = qRgb((x * 255 / width + grain) & 255, (y * 200 / height + grain) & 255,
                          ((x + y) / 16 + seed * 40) & 255);
        }
    }
    return image;
}

struct Setup {
    QTemporaryDir dir;
    QString photos[2];
    QString document;
    std::unique_ptr<vm::CVisomorfDoc> doc;
    QImage atlas;

    Setup() {
        for (int p = 0; p < 2; ++p) {
            photos[p] = dir.filePath(p == 0 ? "front.jpg" : "side.jpg");
            PhotoLike(4000, 3000, p).save(photos[p], "JPG", 90);
        }
        doc = std::make_unique<vm::CVisomorfDoc>();
        doc->OnNewDocument();
        doc->LoadPhoto(vm::Front, photos[0]);
        doc->LoadPhoto(vm::Side, photos[1]);
        document = dir.filePath("two-photos.vmf");
        vm::SaveDocument(*doc, document);
        vm::ExportOptions options;
        options.width = options.height = 2048;
        vm::ExportDocument(*doc, dir.filePath("baseline.obj"), vm::High, options);
        atlas = QImage(dir.filePath("baseline.jpg")).convertToFormat(QImage::Format_RGB32);
    }
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

void BM_QtDecodeTwoJpegs(benchmark::State& state) {
    Setup& s = Shared();
    for (auto _ : state) {
        for (const QString& photo : s.photos) {
            QImage image = QImageReader(photo).read();
            benchmark::DoNotOptimize(image.constBits());
        }
    }
}

void BM_OpenDocumentWithTwoPhotos(benchmark::State& state) {
    Setup& s = Shared();
    vm::CVisomorfDoc doc;
    doc.OnNewDocument();
    for (auto _ : state) {
        vm::OpenDocument(doc, s.document);
    }
}

void BM_QtReadAndWriteTwoJpegs(benchmark::State& state) {
    Setup& s = Shared();
    for (auto _ : state) {
        for (int p = 0; p < 2; ++p) {
            QFile in(s.photos[p]);
            in.open(QIODevice::ReadOnly);
            const QByteArray bytes = in.readAll();
            QFile out(s.dir.filePath(QStringLiteral("copy%1.jpg").arg(p)));
            out.open(QIODevice::WriteOnly);
            out.write(bytes);
        }
    }
}

void BM_SaveDocumentWithTwoPhotos(benchmark::State& state) {
    Setup& s = Shared();
    for (auto _ : state) {
        vm::SaveDocument(*s.doc, s.dir.filePath("saved.vmf"));
    }
}

// The same file written through a plain QFile: what the save costs without the flush to disk
// that makes a finished save survive a power cut.
void BM_WriteDocumentWithTwoPhotosUnsynced(benchmark::State& state) {
    Setup& s = Shared();
    for (auto _ : state) {
        QFile file(s.dir.filePath("written.vmf"));
        file.open(QIODevice::WriteOnly);
        vm::WriteDocument(file, vm::SourceOf(*s.doc));
    }
}

void BM_QtEncodeJpeg2048(benchmark::State& state) {
    Setup& s = Shared();
    for (auto _ : state) {
        QImageWriter writer(s.dir.filePath("encoded.jpg"), "jpeg");
        writer.setQuality(80);
        writer.write(s.atlas);
    }
}

void BM_ExportHigh2048Quality80(benchmark::State& state) {
    Setup& s = Shared();
    vm::ExportOptions options;
    options.width = options.height = 2048;
    options.quality = 80;
    for (auto _ : state) {
        vm::ExportDocument(*s.doc, s.dir.filePath("head.obj"), vm::High, options);
    }
}

// The same export as one binary glTF file: the bake and the encode are shared with the OBJ
// export, so this must take no longer than BM_ExportHigh2048Quality80.
void BM_ExportGlbHigh2048Quality80(benchmark::State& state) {
    Setup& s = Shared();
    vm::ExportOptions options;
    options.width = options.height = 2048;
    options.quality = 80;
    for (auto _ : state) {
        vm::ExportDocument(*s.doc, s.dir.filePath("head.glb"), vm::High, options);
    }
}

// The bake on its own, the mesh and the canvas made beforehand as the export makes them.
void BM_BakeAtlasHigh2048(benchmark::State& state) {
    Setup& s = Shared();
    vm::CVisomorfDoc doc;
    doc.OnNewDocument();
    doc.LoadPhoto(vm::Front, s.photos[0]);
    doc.LoadPhoto(vm::Side, s.photos[1]);
    doc.modelDetail = vm::High;
    doc.RebuildDisplayMesh();
    const vm::Mesh mesh = vm::BuildExportMesh(*doc.displayedMesh, *doc.editableMesh);
    const float factor = vm::DilationFactor(vm::High, true);
    for (auto _ : state) {
        state.PauseTiming();
        QImage canvas = vm::NewAtlasCanvas(2048, 2048);
        state.ResumeTiming();
        benchmark::DoNotOptimize(vm::RenderTextureAtlas(mesh, doc.textures[vm::Front].get(),
                                                        doc.textures[vm::Side].get(), 2048, 2048,
                                                        factor, std::move(canvas)));
    }
}

BENCHMARK(BM_QtDecodeTwoJpegs)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_OpenDocumentWithTwoPhotos)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_QtReadAndWriteTwoJpegs)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SaveDocumentWithTwoPhotos)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WriteDocumentWithTwoPhotosUnsynced)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_QtEncodeJpeg2048)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportHigh2048Quality80)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportGlbHigh2048Quality80)->Unit(benchmark::kMillisecond)->MinTime(2);
// Process time: the CPU column is the work of every thread of the bake.
BENCHMARK(BM_BakeAtlasHigh2048)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(2);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
