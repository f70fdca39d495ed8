#include "export/JpegWriter.h"

#include "platform/Exceptions.h"

#include <QBuffer>
#include <QImageWriter>
#include <QSaveFile>

namespace vm {

namespace {

bool HasJpegEncoder() {
    return QImageWriter::supportedMimeTypes().contains(QByteArrayLiteral("image/jpeg"));
}

QString SaveFailure(const QString& path) {
    return QStringLiteral("Error saving texture:\r\n%1").arg(path);
}

} // namespace

QByteArray EncodeJpeg(const QImage& image, int quality, const QString& path) {
    if (!HasJpegEncoder())
        throw MessageException(QString::fromLatin1(kJpegCodecMessage));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArrayLiteral("jpeg"));
    writer.setQuality(quality);
    if (image.isNull() || !writer.write(image))
        throw MessageException(SaveFailure(path));
    return buffer.data();
}

void WriteJpegFile(const QByteArray& bytes, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw MessageException(SaveFailure(path));
}

void SaveJpeg(const QImage& image, int quality, const QString& path) {
    WriteJpegFile(EncodeJpeg(image, quality, path), path);
}

} // namespace vm
