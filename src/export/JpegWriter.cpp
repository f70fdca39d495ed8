#include "export/JpegWriter.h"

#include "platform/Exceptions.h"

#include <QImageWriter>
#include <QSaveFile>

namespace vm {

namespace {

bool HasJpegEncoder() {
    return QImageWriter::supportedMimeTypes().contains(QByteArrayLiteral("image/jpeg"));
}

} // namespace

void SaveJpeg(const QImage& image, int quality, const QString& path) {
    if (!HasJpegEncoder())
        throw MessageException(QString::fromLatin1(kJpegCodecMessage));
    const QString failure = QStringLiteral("Error saving texture:\r\n%1").arg(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw MessageException(failure);
    QImageWriter writer(&file, QByteArrayLiteral("jpeg"));
    writer.setQuality(quality);
    if (image.isNull() || !writer.write(image)) {
        file.cancelWriting();
        throw MessageException(failure);
    }
    if (!file.commit())
        throw MessageException(failure);
}

} // namespace vm
