#pragma once
// Photos from cameras and phones often store their pixels sideways and say in an EXIF
// orientation tag how to turn them. Everything we measure on a photo (points, box, texture
// coordinates) is measured on the upright picture, and the document file defines the photo's
// frame by its JPEG pixels alone, so a photo is kept upright in its JPEG data, with no turn left
// for a reader to apply.
#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>

namespace vm {

// Quality of the encode used when the JPEG data cannot be turned without decoding it.
inline constexpr int kUprightJpegQuality = 95;

// The orientation tag of the EXIF block (APP1 "Exif") of JPEG data.
struct ExifOrientationTag {
    int value = 1;          // 1 .. 8 as stored; 1 when there is no tag
    qsizetype offset = -1;  // byte offset of the tag's 16-bit value in the data; -1: no tag
    bool bigEndian = false; // the EXIF block's byte order
};

// Looks for the tag in IFD0 of the first EXIF block before the image data. Bounds are checked
// against the data and the segment; malformed blocks count as having no tag.
ExifOrientationTag FindOrientationTag(const QByteArray& jpeg);

// The picture's size once `turn` is applied to a picture stored at `stored` size.
QSize TurnedSize(QSize stored, QImageIOHandler::Transformations turn);

// The JPEG data turned by `turn` (as the image reader reports it for the data) without decoding
// it, the orientation tag set to 1. The image reader has the last word: the result must be data
// it takes as stored, at uprightSize. Empty when the turn cannot be exact (image sides that are
// not whole blocks where the turn moves them) or the data cannot be transformed.
QByteArray TurnJpegLossless(const QByteArray& jpeg, QImageIOHandler::Transformations turn,
                            QSize uprightSize);

// The upright picture encoded at kUprightJpegQuality, for data the lossless turn cannot serve.
// Throws MessageException when the encoder fails.
QByteArray EncodeUprightJpeg(const QImage& upright);

} // namespace vm
