#include "texture/JpegOrientation.h"

#include "platform/core/Exceptions.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <cstring>
#include <turbojpeg.h>

namespace vm {

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kTypeShort = 3;

// The orientation tag inside a TIFF structure (the EXIF payload behind "Exif\0\0") of `size`
// bytes that starts at `tiff` in the data.
ExifOrientationTag TagInTiff(const uint8_t* data, qsizetype tiff, qsizetype size) {
    if (size < 8) {
        return {};
    }
    bool big = false;
    if (data[tiff] == 'M' && data[tiff + 1] == 'M') {
        big = true;
    } else if (!(data[tiff] == 'I' && data[tiff + 1] == 'I')) {
        return {};
    }
    const uint8_t* t = data + tiff;
    auto u16 = [&](qsizetype at) -> uint32_t {
        return big ? uint32_t(t[at]) << 8 | t[at + 1] : uint32_t(t[at + 1]) << 8 | t[at];
    };
    auto u32 = [&](qsizetype at) -> uint32_t {
        return big ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at);
    };
    if (u16(2) != 42) {
        return {};
    }
    const qsizetype ifd = u32(4);
    if (ifd < 8 || ifd > size - 2) {
        return {};
    }
    const qsizetype count = u16(ifd);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype entry = ifd + 2 + 12 * i;
        if (entry + 12 > size) {
            return {};
        }
        if (u16(entry) != kOrientationTag) {
            continue;
        }
        if (u16(entry + 2) != kTypeShort || u32(entry + 4) != 1) {
            return {};
        }
        // A single short sits in the first two bytes of the value field in either byte order.
        return {static_cast<int>(u16(entry + 8)), tiff + entry + 8, big};
    }
    return {};
}

int TransformOp(QImageIOHandler::Transformations turn) {
    switch (turn) {
    case QImageIOHandler::TransformationMirror:
        return TJXOP_HFLIP;
    case QImageIOHandler::TransformationFlip:
        return TJXOP_VFLIP;
    case QImageIOHandler::TransformationRotate180:
        return TJXOP_ROT180;
    case QImageIOHandler::TransformationRotate90:
        return TJXOP_ROT90;
    case QImageIOHandler::TransformationRotate270:
        return TJXOP_ROT270;
    case QImageIOHandler::TransformationFlipAndRotate90:
        return TJXOP_TRANSPOSE;
    case QImageIOHandler::TransformationMirrorAndRotate90:
        return TJXOP_TRANSVERSE;
    default:
        return TJXOP_NONE;
    }
}

// Whether the image reader takes the data as it is stored, at the given size.
bool DecodesUprightAs(const QByteArray& jpeg, QSize size) {
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, QByteArrayLiteral("jpeg"));
    return reader.transformation() == QImageIOHandler::TransformationNone && reader.size() == size;
}

} // namespace

ExifOrientationTag FindOrientationTag(const QByteArray& jpeg) {
    const auto* d = reinterpret_cast<const uint8_t*>(jpeg.constData());
    const qsizetype size = jpeg.size();
    if (size < 4 || d[0] != 0xFF || d[1] != 0xD8) {
        return {};
    }
    qsizetype pos = 2;
    while (pos + 4 <= size) {
        if (d[pos] != 0xFF) {
            return {};
        }
        const uint8_t marker = d[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) { // image data or its end: no EXIF block follows
            return {};
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // markers without length
            pos += 2;
            continue;
        }
        const qsizetype length = qsizetype(d[pos + 2]) << 8 | d[pos + 3];
        if (length < 2 || pos + 2 + length > size) {
            return {};
        }
        const qsizetype payload = pos + 4;
        if (marker == 0xE1 && length - 2 >= 6 && std::memcmp(d + payload, "Exif\0\0", 6) == 0) {
            return TagInTiff(d, payload + 6, length - 2 - 6);
        }
        pos += 2 + length;
    }
    return {};
}

QSize TurnedSize(QSize stored, QImageIOHandler::Transformations turn) {
    return turn.testFlag(QImageIOHandler::TransformationRotate90) ? stored.transposed() : stored;
}

QByteArray TurnJpegLossless(const QByteArray& jpeg, QImageIOHandler::Transformations turn,
                            QSize uprightSize) {
    const int op = TransformOp(turn);
    if (op == TJXOP_NONE) {
        return {};
    }
    tjhandle handle = tjInitTransform();
    if (!handle) {
        return {};
    }
    tjtransform transform{};
    transform.op = op;
    // Without this the library would drop or trim the edge blocks it cannot move exactly,
    // which changes the picture's size and moves everything measured on it.
    transform.options = TJXOPT_PERFECT;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int result =
        tjTransform(handle, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                    static_cast<unsigned long>(jpeg.size()), 1, &out, &outSize, &transform, 0);
    QByteArray turned;
    if (result == 0 && out) {
        turned = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
    }
    tjFree(out);
    tjDestroy(handle);
    // The EXIF block travels with the data; its tag must no longer ask for a turn.
    const ExifOrientationTag tag = FindOrientationTag(turned);
    if (tag.offset >= 0) {
        turned[tag.offset] = tag.bigEndian ? 0 : 1;
        turned[tag.offset + 1] = tag.bigEndian ? 1 : 0;
    }
    if (turned.isEmpty() || !DecodesUprightAs(turned, uprightSize)) {
        return {};
    }
    return turned;
}

QByteArray EncodeUprightJpeg(const QImage& upright) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArrayLiteral("jpeg"));
    writer.setQuality(kUprightJpegQuality);
    if (!writer.write(upright)) {
        throw MessageException(QStringLiteral("Error saving photo: %1").arg(writer.errorString()));
    }
    return buffer.data();
}

} // namespace vm
