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

// The JPEG data turned by `turn` (as the image reader reports it for the data) without decoding
// it, the orientation tag set to 1. Empty when the turn cannot be exact (image sides that are
// not whole blocks where the turn moves them) or the data cannot be transformed.
QByteArray TurnJpegLossless(const QByteArray& jpeg, QImageIOHandler::Transformations turn);

// JPEG data that decodes upright with no turn to apply: the lossless turn where it is exact,
// otherwise `upright` (the data decoded and turned) encoded at kUprightJpegQuality. lossless
// tells which. Throws MessageException when even the encode fails.
QByteArray UprightJpeg(const QByteArray& jpeg, QImageIOHandler::Transformations turn,
                       const QImage& upright, bool* lossless = nullptr);

} // namespace vm
