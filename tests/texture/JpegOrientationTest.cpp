#include "texture/JpegOrientation.h"

#include "texture/JpegMetadata.h"
#include "texture/PhotoTexture.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <cstdlib>
#include <gtest/gtest.h>

namespace vm {
namespace {

// A picture whose every turn and mirror looks different: four coloured quarters and a ramp.
QImage Quarters(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            const int ramp = x * 60 / width;
            image.setPixel(x, y,
                           right
                               ? (bottom ? qRgb(30 + ramp, 200, 40) : qRgb(220, 30 + ramp, 40))
                               : (bottom ? qRgb(40, 40, 220 - ramp) : qRgb(230, 230, 230 - ramp)));
        }
    }
    return image;
}

QByteArray Jpeg(const QImage& image) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    EXPECT_TRUE(writer.write(image));
    return buffer.data();
}

// The JPEG with an EXIF block right after the start marker that holds a second tag before the
// orientation (so the tag is not simply the first entry), in either byte order.
QByteArray WithOrientation(const QByteArray& jpeg, int orientation, bool bigEndian) {
    auto u16 = [&](uint32_t v) {
        const char high = char(v >> 8), low = char(v);
        QByteArray out;
        return bigEndian ? out.append(high).append(low) : out.append(low).append(high);
    };
    auto u32 = [&](uint32_t v) {
        return bigEndian ? u16(v >> 16) + u16(v) : u16(v) + u16(v >> 16);
    };
    QByteArray tiff = QByteArray(bigEndian ? "MM" : "II") + u16(42) + u32(8) + u16(2);
    tiff += u16(0x010F) + u16(2) + u32(4) + QByteArray("Cam\0", 4);              // maker
    tiff += u16(0x0112) + u16(3) + u32(1) + u16(uint32_t(orientation)) + u16(0); // orientation
    tiff += u32(0);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
    return QByteArray(jpeg).insert(2, app1);
}

QImage Read(const QByteArray& jpeg, bool autoTransform) {
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(autoTransform);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

QImageIOHandler::Transformations TurnOf(const QByteArray& jpeg) {
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, "jpeg").transformation();
}

// Mean difference per channel of two pictures of the same size.
double MeanDifference(const QImage& a, const QImage& b) {
    EXPECT_EQ(a.size(), b.size());
    if (a.size() != b.size()) {
        return 255;
    }
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

TEST(JpegOrientation, EveryOrientationIsStoredUprightWithoutLossWhereTheBlocksAllow) {
    // 64 x 32 is whole 16-pixel blocks: every turn can be made on the compressed data.
    const QByteArray plain = Jpeg(Quarters(64, 32));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (bool big : {false, true}) {
            SCOPED_TRACE(testing::Message() << "orientation " << orientation << " big " << big);
            const QByteArray file = WithOrientation(plain, orientation, big);
            const ExifOrientationTag tag = FindOrientationTag(file);
            ASSERT_EQ(tag.value, orientation);
            const Photo photo = DecodePhotoData(file);
            const QImage upright = Read(file, true); // the reader's own turn
            if (orientation == 1) {
                // Nothing to turn: the bytes pass through, less the EXIF block.
                EXPECT_EQ(photo.jpegBytes, plain);
                continue;
            }
            const QByteArray image = photo.jpegBytes;
            EXPECT_EQ(FindOrientationTag(image).value, 1);
            // Upright for readers that ignore the tag, and the same picture the reader's turn
            // gives, up to the rounding of the decoder.
            EXPECT_EQ(Read(image, false).size(), upright.size());
            EXPECT_LT(MeanDifference(Read(image, false), upright), 1.0);
            EXPECT_EQ(photo.image.convertToFormat(QImage::Format_RGB32), Read(image, false));
            // The turn moved the compressed blocks; the EXIF block that came along with them
            // is not kept.
            EXPECT_EQ(StripJpegMetadata(TurnJpegLossless(file, TurnOf(file), upright.size())),
                      image);
            EXPECT_FALSE(image.contains("Cam"));
            EXPECT_FALSE(image.contains("Exif"));
        }
    }
}

TEST(JpegOrientation, PicturesOfPartBlocksAreEncodedUprightAtHighQuality) {
    const QByteArray file = WithOrientation(Jpeg(Quarters(70, 45)), 6, false);
    const Photo photo = DecodePhotoData(file);
    const QImage upright = Read(file, true);
    ASSERT_EQ(upright.size(), QSize(45, 70));
    EXPECT_TRUE(
        TurnJpegLossless(file, QImageIOHandler::TransformationRotate90, QSize(45, 70)).isEmpty());
    EXPECT_EQ(Read(photo.jpegBytes, false).size(), QSize(45, 70));
    EXPECT_LT(MeanDifference(Read(photo.jpegBytes, false), upright), 3.0);
    EXPECT_EQ(photo.image.convertToFormat(QImage::Format_RGB32), Read(photo.jpegBytes, false));
    EXPECT_EQ(DecodePhotoData(photo.jpegBytes).jpegBytes, photo.jpegBytes); // now it is stable
}

TEST(JpegOrientation, MalformedExifBlocksNeverReadOutsideTheData) {
    const QByteArray file = WithOrientation(Jpeg(Quarters(16, 16)), 3, true);
    const ExifOrientationTag whole = FindOrientationTag(file);
    ASSERT_EQ(whole.value, 3);
    // Every cut through the header: either no tag, or the tag fully inside what is left.
    for (qsizetype keep = 0; keep < 80; ++keep) {
        const ExifOrientationTag tag = FindOrientationTag(file.left(keep));
        if (tag.offset >= 0) {
            EXPECT_LE(tag.offset + 2, keep) << keep;
        } else {
            EXPECT_EQ(tag.value, 1) << keep;
        }
    }
    // An IFD that points past the block, a wrong type, a JPEG without EXIF.
    QByteArray farIfd = file;
    farIfd[16] = char(0x7F); // the first byte of IFD0's big-endian offset: far away
    EXPECT_EQ(FindOrientationTag(farIfd).offset, -1);
    QByteArray wrongType = file;
    const qsizetype typeAt = whole.offset - 6;
    wrongType[typeAt + 1] = 4; // LONG instead of SHORT
    EXPECT_EQ(FindOrientationTag(wrongType).offset, -1);
    EXPECT_EQ(FindOrientationTag(Jpeg(Quarters(8, 8))).offset, -1);
    EXPECT_EQ(FindOrientationTag(QByteArray()).offset, -1);
}

} // namespace
} // namespace vm
