// Photos and their textures: the device, loading a photo, the blank placeholders and the side
// texture's blend.
#include "document/CVisomorfDoc.h"
#include "platform/core/Exceptions.h"
#include "platform/raster/SoftwareDevice.h"
#include "texture/BlendZone.h"
#include "texture/PhotoTexture.h"

namespace vm {

void CVisomorfDoc::CreateDevice() {
    device = std::make_shared<SoftwareDevice>(deviceCaps);
    hardwareNPatches = device->Caps().nPatches;
}

void CVisomorfDoc::MakeBlankTexture(int photo) {
    CheckPhoto(photo);
    if (!device) {
        throw GeneralFailureException();
    }
    textures[photo] = CreateBlankTexture(*device);
}

void CVisomorfDoc::LoadPhoto(int photo, const QString& path) {
    CheckPhoto(photo);
    if (!device || !editableMesh) {
        throw GeneralFailureException();
    }
    // Decode and convert before anything is replaced: a photo that cannot be read, is too
    // large for the device or cannot be converted leaves the document as it was.
    Photo decoded = DecodePhotoFile(path);
    std::shared_ptr<Texture> texture = CreatePhotoTexture(*device, decoded.image);
    const QSize oldSize = GetPhotoSize(photo);
    photos[photo] = std::move(decoded.image);
    photoJpegBytes[photo] = std::move(decoded.jpegBytes);
    textures[photo] = std::move(texture);
    RescalePhotoCoordinates(photo, oldSize, photos[photo].size());
    KeepPhotoInHistory(photo);
    FitBoxToPhoto(photo);
    RebuildDisplayMesh();
    UpdateBlendZone();
    // The head now has the new photo's size and place: the 3D view frames it anew.
    UpdateBounds();
    SetModifiedFlag(true);
}

void CVisomorfDoc::ReplacePhoto(int photo, const QImage& image, const QByteArray& jpegBytes,
                                const PhotoTransform& pointTransform) {
    CheckPhoto(photo);
    if (!device || !editableMesh || image.isNull() || photos[photo].isNull() ||
        pointTransform.Mirrors() || !(pointTransform.Scale() > 0)) {
        throw InvalidArgumentException();
    }
    std::shared_ptr<Texture> texture = CreatePhotoTexture(*device, image);
    const QSize oldSize = GetPhotoSize(photo);
    const auto oldW = static_cast<float>(oldSize.width()),
               oldH = static_cast<float>(oldSize.height());
    const auto newW = static_cast<float>(image.width()), newH = static_cast<float>(image.height());
    for (Vec2& p : pointPositions[photo]) {
        pointTransform.Map(p.x, p.y, p.x, p.y);
    }
    for (HeadVertex& v : editableMesh->vertices) {
        Vec2& uv = photo == Front ? v.frontUV : v.sideUV;
        pointTransform.Map(uv.x * oldW, uv.y * oldH, uv.x, uv.y);
        uv.x /= newW;
        uv.y /= newH;
    }
    if (photo == Side) {
        for (Vec2& p : blendZone) {
            pointTransform.Map(p.x, p.y, p.x, p.y);
        }
    }
    photos[photo] = image;
    photoJpegBytes[photo] = jpegBytes;
    textures[photo] = std::move(texture);
    UpdateBoxFromPoints(photo);
    RebuildDisplayMesh();
    UpdateBlendZone();
}

// Loading a photo is no step of the history: every recorded state takes the new photo, so that
// undoing a fit made before the load cannot bring back the photo the load replaced.
void CVisomorfDoc::KeepPhotoInHistory(int photo) {
    m_history.KeepPhoto(photo, photos[photo], photoJpegBytes[photo]);
}

// The vertices keep their place in photo pixels; only the normalisation by the photo's size
// changes. The blend zone keeps its place relative to the side photo.
void CVisomorfDoc::RescalePhotoCoordinates(int photo, QSize oldSize, QSize newSize) {
    const auto oldW = static_cast<float>(oldSize.width());
    const auto oldH = static_cast<float>(oldSize.height());
    const auto newW = static_cast<float>(newSize.width());
    const auto newH = static_cast<float>(newSize.height());
    for (HeadVertex& v : editableMesh->vertices) {
        Vec2& uv = photo == Front ? v.frontUV : v.sideUV;
        uv.x = oldW * uv.x / newW;
        uv.y = oldH * uv.y / newH;
    }
    if (photo == Side) {
        for (Vec2& point : blendZone) {
            point.x = point.x / oldW * newW;
            point.y = point.y / oldH * newH;
        }
    }
}

void CVisomorfDoc::RunLoadPhotoCommand(int photo) {
    const QString path = choosePhotoFile ? choosePhotoFile(photo) : QString();
    if (!path.isEmpty()) {
        LoadPhoto(photo, path);
    }
    UpdateAllViews();
    FitPhotoViewsToWindow(photo);
}

void CVisomorfDoc::UpdateBlendZone() {
    if (!textures[Side]) {
        return;
    }
    if (blendZone.empty()) {
        throw InvalidArgumentException();
    }
    const QSize size = GetPhotoSize(Side);
    vm::UpdateBlendZone(*textures[Side], blendZone, blendZoneWidth, leftSide,
                        QSizeF(size.width(), size.height()));
}

} // namespace vm
