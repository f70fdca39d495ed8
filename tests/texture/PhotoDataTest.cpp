// What of a photo file is kept (the picture, not who took it where) and which files are refused
// (data cut short).
#include "platform/core/Exceptions.h"
#include "texture/ImageCompleteness.h"
#include "texture/JpegMetadata.h"
#include "texture/PhotoTexture.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

QByteArray Encoded(const QImage& image, const char* format) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return buffer.data();
}

QImage Ramp(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x * y) & 255));
        }
    }
    return image;
}

QImage Decoded(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).read();
}

QByteArray Segment(uint8_t marker, const QByteArray& payload) {
    const int length = int(payload.size()) + 2;
    QByteArray out("\xFF", 1);
    return out.append(char(marker)).append(char(length >> 8)).append(char(length)).append(payload);
}

// What a phone puts into its JPEG besides the picture.
struct CameraJpeg {
    QByteArray plain; // the encoder's own file
    QByteArray icc;   // the colour profile segment, which decoding uses
    QByteArray file;  // the plain file with the camera's metadata around it
};

CameraJpeg MakeCameraJpeg() {
    CameraJpeg c;
    c.plain = Encoded(Ramp(48, 32), "jpeg");
    const QByteArray exif =
        QByteArray("Exif\0\0II*\0\x08\0\0\0\x01\0\x25\x88\x04\0\x01\0\0\0\x1A\0\0\0\0\0\0\0", 32) +
        "GPS 51.4778N 0.0015W serial 0042 owner Jane Doe";
    c.icc = Segment(0xE2, QByteArray("ICC_PROFILE\0\x01\x01", 14) + QByteArray(40, '\x11'));
    QByteArray head("\xFF\xD8", 2);
    head += Segment(0xE1, exif);
    head += Segment(0xE1, "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta>Jane at home</x:xmpmeta>");
    head += c.icc;
    head += Segment(0xE2, QByteArray("MPF\0", 4) + "more pictures follow");
    head += QByteArray("\xFF\xFF", 2); // fill bytes before the next marker
    head += Segment(0xED, "Photoshop 3.0\0008BIM creator Jane Doe");
    head += Segment(0xEB, "JUMBF credentials of Jane Doe");
    head += Segment(0xFE, "taken by Jane Doe");
    // A comment after the scan as well, and a second picture after the end of the first.
    QByteArray rest = c.plain.mid(2);
    EXPECT_TRUE(rest.endsWith("\xFF\xD9"));
    rest.insert(rest.size() - 2, Segment(0xFE, "Jane Doe again"));
    c.file = head + rest + "\xFF\xD8 depth map with GPS of Jane Doe \xFF\xD9";
    return c;
}

TEST(JpegMetadata, KeepsThePictureByteForByteAndNothingAboutThePerson) {
    const CameraJpeg c = MakeCameraJpeg();
    ASSERT_EQ(Decoded(c.file).size(), QSize(48, 32)); // the reader takes the camera's file
    const QByteArray kept = StripJpegMetadata(c.file);
    // Start marker, colour profile, then the encoder's file unchanged.
    EXPECT_EQ(kept, QByteArray("\xFF\xD8", 2) + c.icc + c.plain.mid(2));
    for (const char* personal : {"Jane", "GPS", "Exif", "xmpmeta", "8BIM", "MPF", "JUMBF"}) {
        EXPECT_FALSE(kept.contains(personal)) << personal;
    }
    EXPECT_EQ(StripJpegMetadata(kept), kept);
    EXPECT_EQ(StripJpegMetadata(c.plain), c.plain); // nothing to drop: the same bytes

    // Data that cannot be walked gives nothing: cut anywhere before the end of the first
    // picture, a segment longer than the data or shorter than its length field, a byte where a
    // marker belongs, a second start marker.
    const qsizetype end = c.file.indexOf("\xFF\xD8 depth");
    for (qsizetype keep = 0; keep < end; ++keep) {
        ASSERT_TRUE(StripJpegMetadata(c.file.left(keep)).isEmpty()) << keep;
    }
    QByteArray tooLong = c.file, tooShort = c.file, noMarker = c.file;
    tooLong[4] = '\x7F';
    tooShort[4] = 0;
    tooShort[5] = 1;
    noMarker[2] = 0x12;
    for (const QByteArray& bad :
         {tooLong, tooShort, noMarker, QByteArray("\xFF\xD8", 2) + c.file}) {
        EXPECT_TRUE(StripJpegMetadata(bad).isEmpty());
    }
}

struct PhotoFileData : ::testing::Test {
    QTemporaryDir dir;
    QString Write(const QByteArray& bytes, const QString& name) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
};

TEST_F(PhotoFileData, ACameraPhotoIsKeptWithoutItsMetadata) {
    const CameraJpeg c = MakeCameraJpeg();
    const Photo photo = DecodePhotoFile(Write(c.file, "camera.jpg"));
    EXPECT_EQ(photo.jpegBytes, QByteArray("\xFF\xD8", 2) + c.icc + c.plain.mid(2));
    EXPECT_EQ(photo.image.convertToFormat(QImage::Format_RGB32),
              Decoded(photo.jpegBytes).convertToFormat(QImage::Format_RGB32));
    // Data whose segments cannot be walked but which the reader takes (stray bytes before the
    // end marker) is encoded again, so that its metadata cannot travel on either.
    QByteArray odd = c.file;
    odd.insert(odd.indexOf("\xFF\xD8 depth") - 2, QByteArray("\x00\x00", 2));
    ASSERT_TRUE(StripJpegMetadata(odd).isEmpty());
    const Photo encoded = DecodePhotoData(odd);
    EXPECT_EQ(encoded.image.size(), QSize(48, 32));
    EXPECT_FALSE(encoded.jpegBytes.isEmpty());
    EXPECT_FALSE(encoded.jpegBytes.contains("Jane"));
    EXPECT_EQ(StripJpegMetadata(encoded.jpegBytes), encoded.jpegBytes);
}

// A GIF whose LZW data is written as plain codes: a clear code before every two pixels keeps
// every code three bits wide. Four colours.
QByteArray Gif(int w, int h) {
    QByteArray gif("GIF89a");
    auto u16 = [&gif](int v) { gif.append(char(v & 0xFF)).append(char(v >> 8)); };
    u16(w);
    u16(h);
    gif.append("\x81\x00\x00", 3); // global colour table of four entries
    gif.append("\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 12);
    gif.append('\x2C');
    u16(0);
    u16(0);
    u16(w);
    u16(h);
    gif.append('\x00');
    gif.append('\x02'); // LZW minimum code size
    QByteArray data;
    uint32_t bits = 0;
    int count = 0;
    auto put = [&](uint32_t code) {
        bits |= code << count;
        count += 3;
        while (count >= 8) {
            data.append(char(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    for (int i = 0; i < w * h; ++i) {
        if (i % 2 == 0) {
            put(4); // clear
        }
        put(uint32_t((i % w + i / w) % 4));
    }
    put(5); // end of information
    if (count > 0) {
        data.append(char(bits & 0xFF));
    }
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        gif.append(char(block.size())).append(block);
    }
    gif.append('\x00');
    gif.append('\x3B');
    return gif;
}

TEST_F(PhotoFileData, PngAndGifCutShortAreRefusedNamingTheFileOnce) {
    const QByteArray png = Encoded(Ramp(64, 48), "png"), gif = Gif(40, 30);
    EXPECT_TRUE(GifIsComplete(gif.chopped(1))); // no trailer, but every block whole
    QByteArray hugeChunk = png;
    hugeChunk[8] = '\x7F'; // a length past the end is caught, not followed
    EXPECT_FALSE(PngIsComplete(hugeChunk));
    const std::pair<QByteArray, QString> cases[] = {{png, "p.png"}, {gif, "g.gif"}};
    for (const auto& [whole, name] : cases) {
        EXPECT_EQ(DecodePhotoFile(Write(whole, name)).image.width(), name == "p.png" ? 64 : 40);
        // Cut in the middle of the pixel data, and just before the end.
        for (const qsizetype cut : {whole.size() / 2, whole.size() - 3}) {
            const QString path = Write(whole.left(cut), "short_" + name);
            try {
                DecodePhotoFile(path);
                ADD_FAILURE() << name.toStdString() << " cut at " << cut << " was accepted";
            } catch (const FileException& e) {
                EXPECT_EQ(e.Message().count("short_" + name), 1) << e.Message().toStdString();
            }
        }
    }
}

} // namespace
} // namespace vm
