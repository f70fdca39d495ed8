#pragma once
// JPEG encoding of the baked texture with the export's quality.
#include <QImage>
#include <QString>

namespace vm {

inline constexpr const char* kJpegCodecMessage = "Error accessing image/jpeg codec parameters";

// Encodes the image as JPEG at quality 0..100 into path. Throws MessageException with
// kJpegCodecMessage when no JPEG encoder is installed, and FileException "Error saving texture:"
// with the path (and the system's reason for a failed write) when encoding or writing fails; the
// previous file at path then stays as it was.
void SaveJpeg(const QImage& image, int quality, const QString& path);

// The two halves of SaveJpeg, so that encoding can run beside other work: EncodeJpeg returns the
// file's bytes (path only names the file in its message), WriteJpegFile puts them in place.
QByteArray EncodeJpeg(const QImage& image, int quality, const QString& path);
void WriteJpegFile(const QByteArray& bytes, const QString& path);

} // namespace vm
