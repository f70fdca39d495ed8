#include "persistence/DocumentIO.h"

#include "document/CVisomorfDoc.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ReplacingFile.h"
#include "platform/mesh/MeshServices.h"
#include "platform/raster/SoftwareDevice.h"
#include "texture/BlendZone.h"

#include <QFile>

namespace vm {

namespace {

QString WithPath(const QString& text, const QString& path) {
    return text + QStringLiteral("\r\n") + path;
}

// The derived data a document needs besides its file's content, made before the document is
// touched so that most failures leave it as it was.
struct Rebuilt {
    std::shared_ptr<SoftwareDevice> device;
    std::shared_ptr<Texture> textures[kPhotoCount];
};

QSize PhotoSize(const Photo& photo) {
    return photo.image.isNull() ? QSize(600, 800) : photo.image.size();
}

Rebuilt RebuildTextures(const CVisomorfDoc& doc, const DocumentContent& content) {
    Rebuilt out;
    out.device = std::make_shared<SoftwareDevice>(doc.device ? doc.device->Caps() : DeviceCaps{});
    for (int p = 0; p < kPhotoCount; ++p) {
        const QImage& image = content.photos[p].image;
        out.textures[p] = image.isNull() ? CreateBlankTexture(*out.device)
                                         : CreatePhotoTexture(*out.device, image);
    }
    UpdateBlendZone(*out.textures[Side], content.blendZone, content.blendZoneWidth,
                    content.leftSide, QSizeF(PhotoSize(content.photos[Side])));
    return out;
}

void MoveContentIn(CVisomorfDoc& doc, DocumentContent&& content, Rebuilt&& rebuilt) {
    doc.DeleteContents();
    doc.device = std::move(rebuilt.device);
    for (int p = 0; p < kPhotoCount; ++p) {
        doc.photos[p] = std::move(content.photos[p].image);
        doc.photoJpegBytes[p] = std::move(content.photos[p].jpegBytes);
        doc.points[p] = std::move(content.featureSet.points[p]);
        doc.features[p] = std::move(content.featureSet.features[p]);
        doc.pointPositions[p] = std::move(content.pointPositions[p]);
        doc.modelOffset[p] = content.modelOffset[p];
        doc.box[p] = content.box[p];
        doc.textures[p] = std::move(rebuilt.textures[p]);
    }
    doc.blendZone = std::move(content.blendZone);
    doc.blendZoneWidth = content.blendZoneWidth;
    doc.leftSide = content.leftSide;
    doc.numMaterials = content.numMaterials;
    doc.editableMesh = std::make_shared<Mesh>(std::move(content.mesh));
}

void RebuildDerived(CVisomorfDoc& doc) {
    Mesh& mesh = *doc.editableMesh;
    doc.adjacency = ComputeAdjacency(mesh, 0.01f);
    ComputeBoundingSphere(mesh.vertices.data(), mesh.VertexCount(), doc.boundingCentre,
                          doc.boundingRadius);
    doc.RebuildDisplayMesh();
}

DocumentContent ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw MessageException(file.errorString());
    }
    return ReadDocument(file);
}

} // namespace

DocumentContent GatherDocumentContent(const CVisomorfDoc& doc) {
    if (!doc.editableMesh) {
        throw GeneralFailureException();
    }
    DocumentContent content;
    for (int p = 0; p < kPhotoCount; ++p) {
        content.featureSet.points[p] = doc.points[p];
        content.featureSet.features[p] = doc.features[p];
        content.modelOffset[p] = doc.modelOffset[p];
        content.box[p] = doc.box[p];
        content.pointPositions[p] = doc.pointPositions[p];
        content.photos[p].image = doc.photos[p];
        content.photos[p].jpegBytes = doc.photoJpegBytes[p];
    }
    content.mesh = *doc.editableMesh;
    content.numMaterials = doc.numMaterials;
    content.blendZoneWidth = doc.blendZoneWidth;
    content.blendZone = doc.blendZone;
    content.leftSide = doc.leftSide;
    return content;
}

DocumentSource SourceOf(const CVisomorfDoc& doc) {
    if (!doc.editableMesh) {
        throw GeneralFailureException();
    }
    return {doc.points,
            doc.features,
            *doc.editableMesh,
            doc.numMaterials,
            doc.modelOffset,
            doc.box,
            doc.pointPositions,
            {&doc.photos[Front], &doc.photos[Side]},
            {&doc.photoJpegBytes[Front], &doc.photoJpegBytes[Side]},
            doc.blendZoneWidth,
            doc.blendZone,
            doc.leftSide};
}

void SaveDocument(const CVisomorfDoc& doc, const QString& path) {
    const DocumentSource source = SourceOf(doc);
    ReplacingFile file(path);
    try {
        WriteDocument(file.Device(), source);
    } catch (...) {
        // A write of the file itself failed: the system's reason, with the file's name, rather
        // than whatever the layer above made of it.
        const QString reason = file.WriteFailure();
        if (!reason.isEmpty()) {
            throw FileException(QString::fromLatin1(kWritingText), path, reason);
        }
        throw;
    }
    file.Commit();
}

void OpenDocument(CVisomorfDoc& doc, const QString& path) {
    DocumentContent content = ReadFile(path);
    Rebuilt rebuilt = RebuildTextures(doc, content);
    MoveContentIn(doc, std::move(content), std::move(rebuilt));
    try {
        RebuildDerived(doc);
    } catch (...) {
        // Never leave a half-built document behind: start afresh, then report.
        const auto report = std::move(doc.reportFailure);
        doc.reportFailure = nullptr;
        doc.OnNewDocument();
        doc.reportFailure = report;
        throw;
    }
    doc.SetPathName(path);
    doc.SetModifiedFlag(false);
    doc.FitPhotoViewsToWindow(-1);
    doc.UpdateAllViews();
}

namespace {

bool Report(CVisomorfDoc& doc, const std::exception& failure, const QString& path) {
    if (const auto* own = dynamic_cast<const VisomorfException*>(&failure);
        own && own->IsSilent()) {
        return false;
    }
    // A file failure names its file already.
    const bool named = dynamic_cast<const FileException*>(&failure) != nullptr;
    if (doc.reportFailure) {
        doc.reportFailure(named ? FailureText(failure) : WithPath(FailureText(failure), path));
    }
    return false;
}

} // namespace

bool OnOpenDocument(CVisomorfDoc& doc, const QString& path) {
    try {
        OpenDocument(doc, path);
        return true;
    } catch (const std::exception& failure) {
        return Report(doc, failure, path);
    }
}

bool OnSaveDocument(CVisomorfDoc& doc, const QString& path) {
    // The model of a drag in progress is half-way; the file would keep what Escape undoes.
    if (doc.IsDragInProgress()) {
        return false;
    }
    try {
        SaveDocument(doc, path);
    } catch (const std::exception& failure) {
        return Report(doc, failure, path);
    }
    doc.SetPathName(path);
    doc.SetModifiedFlag(false);
    return true;
}

} // namespace vm
