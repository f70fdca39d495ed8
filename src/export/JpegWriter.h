#pragma once
// JPEG encoding of the baked texture with the export's quality.
#include <QImage>
#include <QString>

namespace vm {

inline constexpr const char* kJpegCodecMessage = "Error accessing image/jpeg codec parameters";

// Encodes the image as JPEG at quality 0..100 into path. Throws MessageException with
// kJpegCodecMessage when no JPEG encoder is installed, and "Error saving texture:\r\n<path>" when
// encoding or writing fails (no partial file is left behind).
void SaveJpeg(const QImage& image, int quality, const QString& path);

} // namespace vm
