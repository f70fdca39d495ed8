#include "texture/PhotoTexture.h"

#include "platform/core/Exceptions.h"
#include "platform/raster/SoftwareDevice.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zlib.h>

namespace vm {
namespace {

SoftwareDevice DeviceAnswering(TextureFormat format, uint32_t maxSide = 16384,
                               bool powerOfTwo = false) {
    DeviceCaps caps;
    caps.textureFormat = format;
    caps.maxTextureWidth = maxSide;
    caps.maxTextureHeight = maxSide;
    caps.powerOfTwoOnly = powerOfTwo;
    return SoftwareDevice(caps);
}

std::vector<uint8_t> TexelBytes(const Texture& texture, uint32_t x, uint32_t y) {
    const uint32_t size = BytesPerTexel(texture.Format());
    const uint8_t* texel = texture.Row(y) + x * size;
    return {texel, texel + size};
}

// Colour and alpha of an A8R8G8B8 texel.
QRgb Argb(const Texture& texture, uint32_t x, uint32_t y) {
    EXPECT_EQ(texture.Format(), TextureFormat::A8R8G8B8);
    const uint8_t* t = texture.Row(y) + x * 4;
    return qRgba(t[2], t[1], t[0], t[3]);
}

QString MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const MessageException& failure) {
        return failure.Message();
    }
    return QStringLiteral("(no failure)");
}

TEST(PhotoTexture, PhotosUpToTheMaximumTextureSizeLoadAndLargerOnesAreRefused) {
    SoftwareDevice device = DeviceAnswering(TextureFormat::A8R8G8B8, 64);
    QImage fits(64, 64, QImage::Format_RGB32);
    fits.fill(Qt::white);
    EXPECT_EQ(CreatePhotoTexture(device, fits)->Width(), 64u);
    const QString tooHigh = QStringLiteral("Image resolution is too high (hardware restriction)");
    for (const QSize size : {QSize(65, 64), QSize(64, 65)}) {
        QImage photo(size, QImage::Format_RGB32);
        photo.fill(Qt::white);
        EXPECT_EQ(MessageOf([&] { CreatePhotoTexture(device, photo); }), tooHigh);
    }
    EXPECT_EQ(device.TextureMemoryInUse(), 0u); // nothing was left behind
}

TEST(PhotoTexture, EmptyImageIsAnUnsupportedFormat) {
    SoftwareDevice device;
    EXPECT_EQ(MessageOf([&] { CreatePhotoTexture(device, QImage()); }),
              QStringLiteral("Unsupported image format"));
}

struct ConversionCase {
    TextureFormat format;
    std::vector<uint8_t> texel; // of colour (200, 100, 50)
    QRgb viewed;                // the texel widened back to 8 bits per channel
};

class PhotoConversion : public testing::TestWithParam<ConversionCase> {};

TEST_P(PhotoConversion, TexelsTakeTheActualFormatWithAlphaZero) {
    SoftwareDevice device = DeviceAnswering(GetParam().format, 16384, true);
    QImage photo(5, 3, QImage::Format_ARGB32);
    photo.fill(qRgba(200, 100, 50, 255));
    const auto texture = CreatePhotoTexture(device, photo);
    ASSERT_EQ(texture->Width(), 8u);
    ASSERT_EQ(texture->Height(), 4u);
    EXPECT_FALSE(texture->IsLocked());
    EXPECT_EQ(TexelBytes(*texture, 0, 0), GetParam().texel);
    EXPECT_EQ(TexelBytes(*texture, 4, 2), GetParam().texel);
    // Texels beyond the photo in the enlarged texture are not written.
    const std::vector<uint8_t> zero(BytesPerTexel(texture->Format()), 0);
    EXPECT_EQ(TexelBytes(*texture, 5, 0), zero);
    EXPECT_EQ(TexelBytes(*texture, 0, 3), zero);
    EXPECT_EQ(TextureToImage(*texture).pixel(4, 2), GetParam().viewed);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PhotoConversion,
    testing::Values(
        ConversionCase{TextureFormat::A8R8G8B8, {50, 100, 200, 0}, qRgba(200, 100, 50, 0)},
        ConversionCase{TextureFormat::A8B8G8R8, {200, 100, 50, 0}, qRgba(200, 100, 50, 0)},
        // 0x0C63: each channel shifted right by 4
        ConversionCase{TextureFormat::A4R4G4B4, {0x63, 0x0C}, qRgba(204, 102, 51, 0)},
        // 50 << 22 | 100 << 12 | 200 << 2 = 0x0C864320
        ConversionCase{
            TextureFormat::A2B10G10R10, {0x20, 0x43, 0x86, 0x0C}, qRgba(200, 100, 50, 0)},
        ConversionCase{TextureFormat::X8R8G8B8, {0, 0, 0, 0}, qRgba(0, 0, 0, 255)},
        ConversionCase{TextureFormat::R5G6B5, {0, 0}, qRgba(0, 0, 0, 255)}),
    [](const auto& param) { return std::string(TextureFormatName(param.param.format)); });

TEST(PhotoTexture, OneBitPhotosUseTheirColourTableMostSignificantBitFirst) {
    SoftwareDevice device;
    for (QImage::Format format : {QImage::Format_Mono, QImage::Format_MonoLSB}) {
        QImage photo(10, 2, format);
        photo.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        photo.fill(0);
        photo.setPixel(0, 0, 1);
        photo.setPixel(9, 1, 1);
        const auto texture = CreatePhotoTexture(device, photo);
        EXPECT_EQ(Argb(*texture, 0, 0), qRgba(255, 255, 255, 0)) << format;
        EXPECT_EQ(Argb(*texture, 1, 0), qRgba(0, 0, 0, 0)) << format;
        EXPECT_EQ(Argb(*texture, 8, 1), qRgba(0, 0, 0, 0)) << format;
        EXPECT_EQ(Argb(*texture, 9, 1), qRgba(255, 255, 255, 0)) << format;
    }
    // The table decides the colours, whatever they are.
    QImage coloured(3, 1, QImage::Format_Indexed8);
    coloured.setColorTable({qRgb(10, 20, 30), qRgb(40, 50, 60)});
    coloured.setPixel(0, 0, 1);
    coloured.setPixel(1, 0, 0);
    coloured.setPixel(2, 0, 1);
    const auto texture = CreatePhotoTexture(device, coloured);
    EXPECT_EQ(Argb(*texture, 0, 0), qRgba(40, 50, 60, 0));
    EXPECT_EQ(Argb(*texture, 1, 0), qRgba(10, 20, 30, 0));
}

TEST(PhotoTexture, EveryPixelLayoutGivesTheSameColours) {
    // 70 rows so that layouts converted in strips cross several strip boundaries.
    QImage reference(7, 70, QImage::Format_ARGB32);
    for (int y = 0; y < reference.height(); ++y) {
        for (int x = 0; x < reference.width(); ++x) {
            reference.setPixel(x, y, qRgba(x * 36, y * 3, 255 - y * 3, 255));
        }
    }
    SoftwareDevice device;
    for (QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_BGR888,
          QImage::Format_RGBA8888, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBX64}) {
        const auto texture = CreatePhotoTexture(device, reference.convertToFormat(format));
        for (int y = 0; y < reference.height(); ++y) {
            for (int x = 0; x < reference.width(); ++x) {
                const QRgb expected = reference.pixel(x, y) & 0x00FFFFFFu;
                ASSERT_EQ(Argb(*texture, uint32_t(x), uint32_t(y)), expected)
                    << "format " << format << " at " << x << "," << y;
            }
        }
    }
}

TEST(PhotoTexture, FiveBitChannelsWidenToTheFullRange) {
    SoftwareDevice device;
    QImage photo(2, 1, QImage::Format_RGB555);
    auto* words = reinterpret_cast<quint16*>(photo.scanLine(0));
    words[0] = 0x7FFF;                         // 31, 31, 31
    words[1] = quint16(16 << 10 | 1 << 5 | 0); // 16, 1, 0
    const auto texture = CreatePhotoTexture(device, photo);
    EXPECT_EQ(Argb(*texture, 0, 0), qRgba(255, 255, 255, 0));
    EXPECT_EQ(Argb(*texture, 1, 0), qRgba(132, 8, 0, 0));
}

TEST(PhotoTexture, AlphaOfThePhotoIsDroppedAndItsColoursKept) {
    SoftwareDevice device;
    QImage photo(2, 1, QImage::Format_ARGB32);
    photo.setPixel(0, 0, qRgba(90, 80, 70, 0));
    photo.setPixel(1, 0, qRgba(10, 20, 30, 128));
    const auto texture = CreatePhotoTexture(device, photo);
    EXPECT_EQ(Argb(*texture, 0, 0), qRgba(90, 80, 70, 0));
    EXPECT_EQ(Argb(*texture, 1, 0), qRgba(10, 20, 30, 0));
}

class PhotoFiles : public testing::Test {
protected:
    QString Write(const QImage& image, const char* name, const char* format) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QImageWriter writer(path, format);
        EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
        return path;
    }
    QString WriteBytes(const QByteArray& bytes, const char* name) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir;
    SoftwareDevice device;
};

TEST_F(PhotoFiles, OneBitFilesGiveBlackAndWhiteTextures) {
    QImage mono(9, 3, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(0);
    mono.setPixel(8, 2, 1);
    for (const char* format : {"png", "bmp"}) {
        const QImage photo =
            DecodePhoto(Write(mono, format == QByteArray("png") ? "m.png" : "m.bmp", format));
        ASSERT_EQ(photo.size(), QSize(9, 3)) << format;
        const auto texture = CreatePhotoTexture(device, photo);
        EXPECT_EQ(Argb(*texture, 8, 2), qRgba(255, 255, 255, 0)) << format;
        EXPECT_EQ(Argb(*texture, 7, 2), qRgba(0, 0, 0, 0)) << format;
    }
}

TEST_F(PhotoFiles, ThirtyTwoBitFileWithAlphaGivesAlphaZero) {
    QImage argb(4, 4, QImage::Format_ARGB32);
    argb.fill(qRgba(200, 150, 100, 77));
    const Photo photo = DecodePhotoFile(Write(argb, "a.png", "png"));
    EXPECT_TRUE(photo.jpegBytes.isEmpty());
    const auto texture = CreatePhotoTexture(device, photo.image);
    EXPECT_EQ(Argb(*texture, 3, 3), qRgba(200, 150, 100, 0));
}

// A JPEG whose stored pixels need a quarter turn clockwise to be upright (orientation 6).
// thumbnail: bytes appended to the orientation block, as cameras append a small JPEG there.
QByteArray JpegWithOrientation6(const QImage& stored, const QByteArray& thumbnail = {}) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    EXPECT_TRUE(writer.write(stored));
    QByteArray jpeg = buffer.data();
    const QByteArray tiff = QByteArray("II*\0\x08\0\0\0", 8) +
                            QByteArray("\x01\0", 2) +                              // one entry
                            QByteArray("\x12\x01\x03\0\x01\0\0\0\x06\0\0\0", 12) + // orientation
                            QByteArray("\0\0\0\0", 4);                             // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff + thumbnail;
    const int length = int(payload.size()) + 2;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
    jpeg.insert(2, app1); // right after the start-of-image marker
    return jpeg;
}

TEST_F(PhotoFiles, OrientedJpegIsUprightAndKeptAsUprightJpegData) {
    QImage stored(40, 20, QImage::Format_RGB32);
    stored.fill(qRgb(255, 0, 0));
    for (int y = 0; y < 20; ++y) {
        for (int x = 20; x < 40; ++x) {
            stored.setPixel(x, y, qRgb(0, 0, 255));
        }
    }
    const QByteArray bytes = JpegWithOrientation6(stored);
    const Photo photo = DecodePhotoFile(WriteBytes(bytes, "camera.jpg"));
    ASSERT_EQ(photo.image.size(), QSize(20, 40));
    // The stored left half (red) is the top after the turn.
    EXPECT_GT(qRed(photo.image.pixel(10, 5)), 200);
    EXPECT_LT(qBlue(photo.image.pixel(10, 5)), 60);
    EXPECT_GT(qBlue(photo.image.pixel(10, 35)), 200);
    EXPECT_LT(qRed(photo.image.pixel(10, 35)), 60);
    // The kept data is upright itself: a reader that ignores the orientation tag sees the
    // same picture, and decoding it again gives exactly the photo.
    QBuffer kept;
    kept.setData(photo.jpegBytes);
    kept.open(QIODevice::ReadOnly);
    QImageReader unturned(&kept);
    unturned.setAutoTransform(false);
    EXPECT_EQ(unturned.read().convertToFormat(QImage::Format_RGB32),
              photo.image.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(DecodePhotoData(photo.jpegBytes).image, photo.image);
}

TEST_F(PhotoFiles, LargePhotosDecodeAsTheReaderAloneDecodesThem) {
    // Large enough to be decoded into memory of our own rather than the reader's.
    QImage stored(1400, 900, QImage::Format_RGB32);
    for (int y = 0; y < stored.height(); ++y) {
        for (int x = 0; x < stored.width(); ++x) {
            stored.setPixel(x, y, qRgb(x & 255, y & 255, (x * y) & 255));
        }
    }
    const QByteArray oriented = JpegWithOrientation6(stored);
    const QString paths[] = {Write(stored, "large.jpg", "jpeg"), Write(stored, "large.png", "png"),
                             WriteBytes(oriented, "turned.jpg")};
    for (const QString& path : paths) {
        const Photo photo = DecodePhotoFile(path);
        // A turned photo is what its upright data decodes to.
        QBuffer upright;
        upright.setData(photo.jpegBytes);
        QImageReader plain(path);
        if (path.endsWith("turned.jpg")) {
            plain.setDevice(&upright);
        }
        plain.setAutoTransform(true);
        const QImage expected = plain.read();
        EXPECT_EQ(photo.image, expected) << path.toStdString();
        const auto texture = CreatePhotoTexture(device, photo.image);
        const QRgb corner = expected.pixel(expected.width() - 1, expected.height() - 1);
        EXPECT_EQ(Argb(*texture, uint32_t(expected.width() - 1), uint32_t(expected.height() - 1)),
                  corner & 0x00FFFFFFu);
    }
}

QStringList g_logged;

QByteArray PngChunk(const QByteArray& type, const QByteArray& data) {
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly); // big-endian, as PNG wants
    stream << quint32(data.size());
    out += type + data;
    const QByteArray crcOf = type + data;
    stream.device()->seek(out.size());
    stream << quint32(
        crc32(0, reinterpret_cast<const Bytef*>(crcOf.constData()), uInt(crcOf.size())));
    return out;
}

void Collect(QtMsgType, const QMessageLogContext& context, const QString& text) {
    g_logged << QString::fromLatin1(context.category) + ": " + text;
}

TEST_F(PhotoFiles, DecoderNotesStayOffTheLogWhileOtherWarningsPass) {
    // A PNG whose colour profile libpng refuses with a warning; the picture itself is fine.
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(qRgb(128, 64, 32));
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(picture.save(&buffer, "PNG"));
    }
    QByteArray profile(256, '\0');
    profile[2] = char(1); // declares its 256 bytes
    profile[8] = char(2);
    profile.replace(12, 4, "mntr").replace(16, 4, "RGB ").replace(20, 4, "XYZ ");
    profile.replace(36, 4, "acsp");
    const QByteArray iccp = QByteArray("bogus\0\0", 7) + qCompress(profile).mid(4);
    png.insert(8 + 25, PngChunk("iCCP", iccp)); // behind the signature and the header chunk
    g_logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Collect);
    const Photo photo = DecodePhotoData(png);
    qWarning("a warning of the program's own");
    qInstallMessageHandler(previous);
    EXPECT_EQ(photo.image.size(), QSize(4, 4));
    EXPECT_EQ(g_logged.join('\n').toStdString(), "default: a warning of the program's own");
}

TEST_F(PhotoFiles, FailuresNameTheDecodersReasonAndTheFullPath) {
    const QString missing = dir.filePath(QStringLiteral("missing.jpg"));
    const QString message = MessageOf([&] { DecodePhoto(missing); });
    EXPECT_TRUE(message.endsWith(QStringLiteral("\r\n") + QDir::toNativeSeparators(missing)))
        << message.toStdString();
    EXPECT_GT(message.indexOf(u'\r'), 0);

    const QString junk = WriteBytes(QByteArray(100, 'x'), "junk.png");
    const QString junkMessage = MessageOf([&] { DecodePhoto(junk); });
    EXPECT_TRUE(junkMessage.endsWith(QStringLiteral("\r\n") + QDir::toNativeSeparators(junk)))
        << junkMessage.toStdString();
    EXPECT_GT(junkMessage.indexOf(u'\r'), 0);
}

TEST_F(PhotoFiles, JpegCutShortIsRefusedNotShownHalfGrey) {
    QImage image(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            image.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) & 255));
        }
    }
    // The orientation block carries a thumbnail-like end marker of its own: it must not count.
    const QByteArray whole = JpegWithOrientation6(image, QByteArray("\xFF\xD8\xFF\xD9", 4));
    EXPECT_NO_THROW(DecodePhotoData(whole));
    EXPECT_NO_THROW(DecodePhotoData(whole + QByteArray(16, '\0'))); // trailing padding is fine
    for (qsizetype keep : {qsizetype(40), whole.size() / 2, whole.size() - 2}) {
        EXPECT_THROW(DecodePhotoData(whole.left(keep)), MessageException) << keep;
    }
    const QString cut = WriteBytes(whole.left(whole.size() - 2), "cut.jpg");
    EXPECT_TRUE(MessageOf([&] {
                    DecodePhoto(cut);
                }).endsWith(QStringLiteral("\r\n") + QDir::toNativeSeparators(cut)));
}

TEST_F(PhotoFiles, SuffixDecidesForFormatsWithoutASignature) {
    // An uncompressed 3 x 2 true-colour TGA, top row first, pixels blue, green, red.
    QByteArray tga("\0\0\x02\0\0\0\0\0\0\0\0\0\x03\0\x02\0\x18\x20", 18);
    for (int i = 0; i < 6; ++i) {
        tga.append("\x03\x02\x01", 3);
    }
    // TGA 2.0 footer: no extension or developer area, then the signature.
    tga.append(QByteArray(8, '\0')).append("TRUEVISION-XFILE.", 17).append('\0');
    // The bytes alone do not reveal the format; the file name does.
    EXPECT_THROW(DecodePhotoData(tga), MessageException);
    const Photo photo = DecodePhotoFile(WriteBytes(tga, "picture.tga"));
    EXPECT_EQ(photo.image.size(), QSize(3, 2));
    EXPECT_EQ(photo.image.pixel(2, 1) & 0xFFFFFFu, qRgb(1, 2, 3) & 0xFFFFFFu);
}

TEST(PhotoFileFilter, AllImageFilesFirstThenOneEntryPerTypeEndingInTwoBars) {
    const QString filter = PhotoFileFilter();
    ASSERT_TRUE(filter.startsWith(QStringLiteral("All Image Files|")));
    ASSERT_TRUE(filter.endsWith(QStringLiteral("||")));
    const QStringList fields = filter.chopped(2).split(u'|');
    ASSERT_EQ(fields.size() % 2, 0);
    const QStringList all = fields[1].split(u';');
    EXPECT_TRUE(all.contains(QStringLiteral("*.jpg")));
    EXPECT_TRUE(all.contains(QStringLiteral("*.png")));
    EXPECT_TRUE(all.contains(QStringLiteral("*.bmp")));
    EXPECT_EQ(QStringList(all).removeDuplicates(), 0);
    bool jpegEntry = false;
    for (qsizetype i = 2; i < fields.size(); i += 2) {
        const QString& description = fields[i];
        const QString& patterns = fields[i + 1];
        ASSERT_FALSE(patterns.isEmpty());
        EXPECT_TRUE(description.endsWith(QStringLiteral(" (") + patterns + u')'))
            << description.toStdString();
        for (const QString& pattern : patterns.split(u';')) {
            EXPECT_TRUE(all.contains(pattern)) << pattern.toStdString();
        }
        jpegEntry = jpegEntry || patterns.split(u';').contains(QStringLiteral("*.jpeg"));
    }
    EXPECT_TRUE(jpegEntry);
    EXPECT_EQ(PhotoNameFilters().size(), fields.size() / 2);
    EXPECT_TRUE(PhotoNameFilters().front().startsWith(QStringLiteral("All Image Files (*.")));
}

} // namespace
} // namespace vm
