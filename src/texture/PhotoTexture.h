#pragma once
// Photos: decoding image files, and turning photos into textures of the graphics device.
// Every function here only makes new objects and never touches the caller's state, so a
// caller replaces its photo and texture only after all of them succeeded.
#include "platform/raster/SoftwareDevice.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <memory>

class QIODevice;

namespace vm {

// Message shown when a photo is larger than the textures the device can make.
inline constexpr const char* kImageTooLargeMessage =
    "Image resolution is too high (hardware restriction)";
// Message shown when a photo's pixel layout cannot be converted.
inline constexpr const char* kUnsupportedImageMessage = "Unsupported image format";

// A decoded photo. When it was decoded from a JPEG file, jpegBytes holds JPEG data stored
// upright: the file's bytes when it asks for no turn, else the file turned upright (see
// JpegOrientation.h), in both cases without the metadata a picture does not need (GPS, dates,
// serial numbers and the like, see JpegMetadata.h); image is what jpegBytes decode to.
// Otherwise jpegBytes is empty.
struct Photo {
    QImage image;
    QByteArray jpegBytes;
};

// Decodes an image file, turned upright where the file records the camera's orientation.
// Throws FileException with the decoder's text and the full path (its message: the text, "\r\n",
// the path). Data cut short (JPEG, PNG, GIF) is refused, not shown half grey. The first decode
// silences the image plug-ins' log notes (categories qt.gui.imageio* and qt.gui.icc) for the rest
// of the process: failures arrive as exceptions instead.
Photo DecodePhotoFile(const QString& path);
QImage DecodePhoto(const QString& path);
// Decodes image bytes (for instance the JPEG of a document file). Throws MessageException with
// the decoder's text.
Photo DecodePhotoData(const QByteArray& bytes);

// The photo as a texture of the device's actual format, texel (x, y) = pixel (x, y), alpha 0.
// Throws MessageException(kImageTooLargeMessage) when the device cannot make a texture that
// holds the whole photo, MessageException(kUnsupportedImageMessage) for an empty or invalid
// image, CDXException when the device fails.
std::shared_ptr<Texture> CreatePhotoTexture(SoftwareDevice& device, const QImage& photo);

// The 600 x 800 placeholder texture for an empty photo slot: grey 64, alpha 0.
std::shared_ptr<Texture> CreateBlankTexture(SoftwareDevice& device);

// Writes colour (8 bits per channel) into one texel of the given format with alpha 0.
// Formats without a conversion are left untouched; returns whether the texel was written.
bool WriteTexelColour(uint8_t* texel, TextureFormat format, uint8_t red, uint8_t green,
                      uint8_t blue);

// The texture's texels as an ARGB32 image, every channel widened to 8 bits (alpha scaled so
// that the format's maximum is 255; formats without alpha read as opaque).
QImage TextureToImage(const Texture& texture);

// File-type filter for an open-file dialog: "All Image Files|<all patterns>" first, then per
// image type "<description> (<patterns>)|<patterns>"; entries joined by "|", ending in "||".
// Patterns within an entry are joined by ";".
QString PhotoFileFilter();
// The same entries in the form QFileDialog::setNameFilters takes ("<description> (*.a *.b)").
QStringList PhotoNameFilters();

} // namespace vm
