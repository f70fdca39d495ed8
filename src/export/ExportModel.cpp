#include "export/ExportModel.h"

#include "document/CVisomorfDoc.h"
#include "export/ExportMesh.h"
#include "export/JpegWriter.h"
#include "export/ObjWriter.h"
#include "export/TextureAtlas.h"
#include "platform/Exceptions.h"

#include <future>
#include <system_error>

namespace vm {

uint32_t ExportTextureSize(int sizeIndex) {
    return sizeIndex >= 0 && sizeIndex <= 4 ? 64u << sizeIndex : 2048u;
}

void ExportModel(const QString& objPath, const CVisomorfDoc& doc, const ExportOptions& options) {
    if (!doc.displayedMesh || !doc.editableMesh)
        throw GeneralFailureException();
    const ExportNames names = MakeExportNames(objPath);
    // The atlas memory is put in place while the export mesh is built.
    std::future<QImage> canvas;
    try {
        canvas = std::async(std::launch::async, NewAtlasCanvas, options.width, options.height);
    } catch (const std::system_error&) {
        // No thread to spare: the bake makes its own.
    }
    const Mesh mesh = BuildExportMesh(*doc.displayedMesh, *doc.editableMesh);
    auto writeTextFiles = [&] {
        WriteObj(mesh, objPath, names.mtlName);
        WriteMtl(names.mtlPath, names.jpegName);
    };
    // The bake has every core to itself. The text files are then written while the texture is
    // encoded, which takes one core; the texture file comes last, and only once the text files
    // are there, so their failures are reported first, as when the files are made in turn.
    QImage atlas;
    try {
        atlas = RenderTextureAtlas(mesh, doc.textures[Front].get(), doc.textures[Side].get(),
                                   options.width, options.height,
                                   DilationFactor(doc.modelDetail, options.dilate),
                                   canvas.valid() ? canvas.get() : QImage());
    } catch (...) {
        writeTextFiles();
        throw;
    }
    std::future<void> textFiles;
    try {
        textFiles = std::async(std::launch::async, writeTextFiles);
    } catch (const std::system_error&) {
        writeTextFiles(); // no thread to spare: one after the other
    }
    QByteArray jpeg;
    try {
        jpeg = EncodeJpeg(atlas, static_cast<int>(options.quality), names.jpegPath);
    } catch (...) {
        if (textFiles.valid())
            textFiles.get();
        throw;
    }
    if (textFiles.valid())
        textFiles.get();
    WriteJpegFile(jpeg, names.jpegPath);
}

namespace {

// Puts the document's own level of detail back however the export ends.
class DetailRestorer {
public:
    explicit DetailRestorer(CVisomorfDoc& doc) : m_doc(doc), m_saved(doc.modelDetail) {}
    ~DetailRestorer() {
        if (m_doc.modelDetail == m_saved)
            return;
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

void ExportDocument(CVisomorfDoc& doc, const QString& objPath, int32_t detail,
                    const ExportOptions& options) {
    DetailRestorer restorer(doc);
    if (detail != doc.modelDetail) {
        doc.modelDetail = detail;
        doc.RebuildDisplayMesh();
    }
    ExportModel(objPath, doc, options);
}

} // namespace vm
