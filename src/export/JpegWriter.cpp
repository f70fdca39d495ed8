#include "export/JpegWriter.h"

#include "platform/core/Exceptions.h"
#include "platform/core/ReplacingFile.h"

#include <QBuffer>
#include <QImageWriter>

namespace vm {

namespace {

bool HasJpegEncoder() {
    return QImageWriter::supportedMimeTypes().contains(QByteArrayLiteral("image/jpeg"));
}

constexpr const char* kSaveFailure = "Error saving texture:";

} // namespace

QByteArray EncodeJpeg(const QImage& image, int quality, const QString& path) {
    if (!HasJpegEncoder()) {
        throw MessageException(QString::fromLatin1(kJpegCodecMessage));
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArrayLiteral("jpeg"));
    writer.setQuality(quality);
    if (image.isNull() || !writer.write(image)) {
        throw FileException(QString::fromLatin1(kSaveFailure), path);
    }
    return buffer.data();
}

void WriteJpegFile(const QByteArray& bytes, const QString& path) {
    WriteFileReplacing(path, bytes, QString::fromLatin1(kSaveFailure),
                       QString::fromLatin1(kSaveFailure));
}

void SaveJpeg(const QImage& image, int quality, const QString& path) {
    WriteJpegFile(EncodeJpeg(image, quality, path), path);
}

} // namespace vm
