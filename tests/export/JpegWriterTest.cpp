#include "export/JpegWriter.h"

#include "platform/core/Exceptions.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

QImage Gradient(int size) {
    QImage image(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            image.setPixel(x, y, qRgb(x * 255 / size, y * 255 / size, 128));
        }
    }
    return image;
}

TEST(SaveJpeg, SmallestAtQualityZeroAndLargestAtHundredBothWork) {
    QTemporaryDir dir;
    const QString small = dir.filePath("small.jpg"), large = dir.filePath("large.jpg");
    SaveJpeg(Gradient(64), 0, small);
    SaveJpeg(Gradient(2048), 100, large);
    QImageReader smallReader(small), largeReader(large);
    EXPECT_EQ(smallReader.format(), "jpeg");
    EXPECT_EQ(smallReader.size(), QSize(64, 64));
    EXPECT_EQ(largeReader.size(), QSize(2048, 2048));
    // The quality reaches the encoder: at 100 the picture survives almost unchanged.
    const QImage back = largeReader.read();
    const QRgb pixel = back.pixel(1024, 512);
    EXPECT_NEAR(qRed(pixel), 127, 3);
    EXPECT_NEAR(qGreen(pixel), 63, 3);
}

TEST(SaveJpeg, UnwritablePlaceGivesTheMessageAndLeavesNoFile) {
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath("plain");
    QFile(notAFolder).open(QIODevice::WriteOnly);
    const QString path = notAFolder + "/face.jpg";
    try {
        SaveJpeg(Gradient(64), 80, path);
        FAIL() << "no failure";
    } catch (const MessageException& e) {
        EXPECT_EQ(e.Message(), "Error saving texture:\r\n" + path + "\r\nNot a directory");
    }
}

} // namespace
} // namespace vm
