#pragma once
// Photos travel inside documents, and documents are shared. A camera's JPEG carries much more
// than the picture: the place it was taken (GPS), dates, the camera's and lens's serial numbers,
// the owner's name, maker notes, a thumbnail, XMP and IPTC records, comments, and with some
// phones further pictures after the end of the first. None of it is needed to show the picture.
//
// The photo's JPEG data is therefore kept with only the segments that decoding uses: the JFIF
// header (APP0), the colour profile (APP2 "ICC_PROFILE"), the Adobe colour transform (APP14) and
// the tables, frame and scans themselves, each byte for byte. Orientation needs no tag: the data
// is stored upright (JpegOrientation.h), which is what a missing tag says.
#include <QByteArray>

namespace vm {

// The data without every other APPn segment (EXIF, XMP, IPTC, vendor blocks), without comments
// (COM) and without the bytes after the end-of-image marker. Empty when the data is not a JPEG
// whose segments can be walked to that marker (truncated, or bytes where a marker must be):
// such data is never passed on as it is. Every length is checked against the data.
QByteArray StripJpegMetadata(const QByteArray& jpeg);

} // namespace vm
