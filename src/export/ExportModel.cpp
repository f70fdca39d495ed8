#include "export/ExportModel.h"

#include "document/CVisomorfDoc.h"
#include "export/ExportMesh.h"
#include "export/GltfWriter.h"
#include "export/JpegWriter.h"
#include "export/ObjWriter.h"
#include "export/TextureAtlas.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ReplacingFile.h"

#include <functional>
#include <future>
#include <system_error>

namespace vm {

uint32_t ExportTextureSize(int sizeIndex) {
    return sizeIndex >= 0 && sizeIndex <= 4 ? 64u << sizeIndex : 2048u;
}

namespace {

// The atlas memory is put in place while the export mesh is built.
std::future<QImage> StartAtlasCanvas(const ExportOptions& options) {
    try {
        return std::async(std::launch::async, NewAtlasCanvas, options.width, options.height);
    } catch (const std::system_error&) {
        return {}; // no thread to spare: the bake makes its own
    }
}

QImage BakeAtlas(const Mesh& mesh, const CVisomorfDoc& doc, const ExportOptions& options,
                 std::future<QImage>& canvas) {
    return RenderTextureAtlas(
        mesh, doc.textures[Front].get(), doc.textures[Side].get(), options.width, options.height,
        DilationFactor(doc.modelDetail, options.dilate), canvas.valid() ? canvas.get() : QImage());
}

// Runs work beside the caller; on a machine without a thread to spare, at once.
std::future<void> Beside(const std::function<void()>& work) {
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        work();
        return {};
    }
}

void ExportObj(const QString& objPath, const Mesh& mesh, const CVisomorfDoc& doc,
               const ExportOptions& options, std::future<QImage>& canvas) {
    const ExportNames names = MakeExportNames(objPath);
    // The bake has every core to itself; the OBJ text is then made while the texture is encoded,
    // which takes one core.
    const QImage atlas = BakeAtlas(mesh, doc, options, canvas);
    QByteArray objText;
    std::future<void> text = Beside([&] { objText = ObjText(mesh, names.mtlName); });
    QByteArray jpeg;
    try {
        jpeg = EncodeJpeg(atlas, static_cast<int>(options.quality), names.jpegPath);
    } catch (...) {
        if (text.valid()) {
            text.wait();
        }
        throw;
    }
    if (text.valid()) {
        text.get();
    }
    // The texture first and the OBJ last: each file replaces its previous version whole, and
    // until the OBJ is replaced, the previous OBJ with the files it names is a complete set.
    WriteJpegFile(jpeg, names.jpegPath);
    WriteMtl(names.mtlPath, names.jpegName);
    WriteExportFile(objPath, objText);
}

// The glTF files are written once everything is ready: a failed bake or encode leaves none.
void ExportGltf(const QString& path, ExportFormat format, const Mesh& mesh, const CVisomorfDoc& doc,
                const ExportOptions& options, std::future<QImage>& canvas) {
    const QImage atlas = BakeAtlas(mesh, doc, options, canvas);
    GltfGeometry geometry;
    std::future<void> built = Beside([&] { geometry = BuildGltfGeometry(mesh); });
    QByteArray jpeg;
    try {
        // A .glb carries the texture inside: its failures name the .glb.
        const QString imagePath =
            format == ExportFormat::GltfBinary ? path : MakeExportNames(path).jpegPath;
        jpeg = EncodeJpeg(atlas, static_cast<int>(options.quality), imagePath);
    } catch (...) {
        if (built.valid()) {
            built.wait();
        }
        throw;
    }
    if (built.valid()) {
        built.get();
    }
    WriteGltf(path, format, geometry, jpeg);
}

} // namespace

QStringList ExportOutputs(const QString& path) {
    const ExportFormat format = ExportFormatOf(path);
    if (format == ExportFormat::GltfBinary) {
        return {path};
    }
    const ExportNames names = MakeExportNames(path);
    return {path, format == ExportFormat::Obj ? names.mtlPath : names.binPath, names.jpegPath};
}

void RequireExportTargets(const QString& path) {
    const QStringList outputs = ExportOutputs(path);
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        // The third file is the texture, whose failures say so.
        RequireRegularTarget(outputs[i], i == 2 ? QStringLiteral("Error saving texture:")
                                                : QString::fromLatin1(kOpenForWritingText));
    }
}

void ExportModel(const QString& path, const CVisomorfDoc& doc, const ExportOptions& options) {
    if (!doc.displayedMesh || !doc.editableMesh) {
        throw GeneralFailureException();
    }
    const ExportFormat format = ExportFormatOf(path);
    RequireExportTargets(path);
    std::future<QImage> canvas = StartAtlasCanvas(options);
    const Mesh mesh = BuildExportMesh(*doc.displayedMesh, *doc.editableMesh);
    if (format == ExportFormat::Obj) {
        ExportObj(path, mesh, doc, options, canvas);
    } else {
        ExportGltf(path, format, mesh, doc, options, canvas);
    }
}

namespace {

// Puts the document's own level of detail back however the export ends.
class DetailRestorer {
public:
    explicit DetailRestorer(CVisomorfDoc& doc) : m_doc(doc), m_saved(doc.modelDetail) {}
    ~DetailRestorer() {
        if (m_doc.modelDetail == m_saved) {
            return;
        }
        m_doc.modelDetail = m_saved;
        try {
            m_doc.RebuildDisplayMesh();
        } catch (...) {
            // The mesh at the user's own detail was built before; should rebuilding it fail
            // now, the level at least names the user's choice again.
        }
    }
    DetailRestorer(const DetailRestorer&) = delete;
    DetailRestorer& operator=(const DetailRestorer&) = delete;

private:
    CVisomorfDoc& m_doc;
    int32_t m_saved;
};

} // namespace

void ExportDocument(CVisomorfDoc& doc, const QString& path, int32_t detail,
                    const ExportOptions& options) {
    DetailRestorer restorer(doc);
    if (detail != doc.modelDetail) {
        doc.modelDetail = detail;
        doc.RebuildDisplayMesh();
    }
    ExportModel(path, doc, options);
}

} // namespace vm
