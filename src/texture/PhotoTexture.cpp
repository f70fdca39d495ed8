#include "texture/PhotoTexture.h"

#include "platform/core/Exceptions.h"
#include "platform/raster/PixelMemory.h"
#include "texture/ImageCompleteness.h"
#include "texture/JpegMetadata.h"
#include "texture/JpegOrientation.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QMimeDatabase>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace vm {

namespace {

// The reader refuses images above this many megabytes; large enough for a photo of the
// default maximum texture size (16384 x 16384 texels of 4 bytes) decoded to 32 bits.
constexpr int kDecodeLimitMegabytes = 1100;

constexpr uint32_t kBlankWidth = 600;
constexpr uint32_t kBlankHeight = 800;
constexpr uint8_t kBlankGrey = 64;

// Rows converted at a time for pixel layouts that are read through a conversion.
constexpr int kStripRows = 32;

void StoreWord16(uint8_t* texel, uint32_t word) {
    texel[0] = static_cast<uint8_t>(word);
    texel[1] = static_cast<uint8_t>(word >> 8);
}

void StoreWord32(uint8_t* texel, uint32_t word) {
    texel[0] = static_cast<uint8_t>(word);
    texel[1] = static_cast<uint8_t>(word >> 8);
    texel[2] = static_cast<uint8_t>(word >> 16);
    texel[3] = static_cast<uint8_t>(word >> 24);
}

uint32_t LoadWord16(const uint8_t* texel) {
    return uint32_t{texel[0]} | uint32_t{texel[1]} << 8;
}

uint32_t LoadWord32(const uint8_t* texel) {
    return uint32_t{texel[0]} | uint32_t{texel[1]} << 8 | uint32_t{texel[2]} << 16 |
           uint32_t{texel[3]} << 24;
}

uint8_t Widen5(uint32_t v) {
    return static_cast<uint8_t>((v << 3) | (v >> 2));
}

// One photo row as 0x??RRGGBB values (the top byte is ignored).
using RgbRow = std::vector<QRgb>;

bool IsIndexed(QImage::Format format) {
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
           format == QImage::Format_Indexed8;
}

// Whether a row of this layout is read directly rather than through a conversion.
bool IsDirect(QImage::Format format) {
    switch (format) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_RGB555:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return true;
    default:
        return false;
    }
}

uint32_t PixelIndex(const uchar* line, QImage::Format format, int x) {
    switch (format) {
    case QImage::Format_Mono: // most significant bit first
        return (line[x >> 3] >> (7 - (x & 7))) & 1u;
    case QImage::Format_MonoLSB:
        return (line[x >> 3] >> (x & 7)) & 1u;
    default:
        return line[x];
    }
}

// Reads row y of a photo whose layout IsDirect accepts.
void ReadDirectRow(const QImage& photo, const QList<QRgb>& table, int y, RgbRow& row) {
    const uchar* line = photo.constScanLine(y);
    const int width = photo.width();
    const QImage::Format format = photo.format();
    if (IsIndexed(format)) {
        for (int x = 0; x < width; ++x) {
            const uint32_t index = PixelIndex(line, format, x);
            row[x] = index < static_cast<uint32_t>(table.size()) ? table[index] : 0u;
        }
        return;
    }
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        std::memcpy(row.data(), line, size_t(width) * 4);
        return;
    case QImage::Format_RGB555:
        for (int x = 0; x < width; ++x) {
            const uint32_t word = LoadWord16(line + 2 * x);
            row[x] = qRgb(Widen5((word >> 10) & 31), Widen5((word >> 5) & 31), Widen5(word & 31));
        }
        return;
    case QImage::Format_RGB888: // bytes red, green, blue
        for (int x = 0; x < width; ++x) {
            row[x] = qRgb(line[3 * x], line[3 * x + 1], line[3 * x + 2]);
        }
        return;
    default: // Format_BGR888: bytes blue, green, red
        for (int x = 0; x < width; ++x) {
            row[x] = qRgb(line[3 * x + 2], line[3 * x + 1], line[3 * x]);
        }
        return;
    }
}

// Writes one row of colours into texels of the given format, alpha 0. The format is chosen
// once per row: this loop runs for every pixel of every photo loaded.
template <typename WriteTexel>
void WriteRowAs(const RgbRow& row, uint8_t* texels, uint32_t step, int count, WriteTexel write) {
    for (int x = 0; x < count; ++x, texels += step) {
        write(texels, row[size_t(x)]);
    }
}

void WriteRow(const RgbRow& row, uint8_t* texels, TextureFormat format, int count) {
    const uint32_t step = BytesPerTexel(format);
    switch (format) {
    case TextureFormat::A8R8G8B8:
        WriteRowAs(row, texels, step, count,
                   [](uint8_t* t, QRgb c) { StoreWord32(t, c & 0x00FFFFFFu); });
        return;
    case TextureFormat::A8B8G8R8:
        WriteRowAs(row, texels, step, count, [](uint8_t* t, QRgb c) {
            StoreWord32(t, uint32_t(qBlue(c)) << 16 | uint32_t(qGreen(c)) << 8 | uint32_t(qRed(c)));
        });
        return;
    default:
        WriteRowAs(row, texels, step, count, [format](uint8_t* t, QRgb c) {
            WriteTexelColour(t, format, static_cast<uint8_t>(qRed(c)),
                             static_cast<uint8_t>(qGreen(c)), static_cast<uint8_t>(qBlue(c)));
        });
        return;
    }
}

bool IsPaintedFormat(TextureFormat format) {
    uint8_t probe[4] = {};
    return WriteTexelColour(probe, format, 0, 0, 0);
}

// The common case: 32-bit photo pixels into 32-bit texels of the same byte order, alpha 0.
bool ConvertWordsDirectly(const QImage& photo, TextureLock& lock, TextureFormat format) {
    const QImage::Format layout = photo.format();
    if (format != TextureFormat::A8R8G8B8 ||
        (layout != QImage::Format_RGB32 && layout != QImage::Format_ARGB32) ||
        QSysInfo::ByteOrder != QSysInfo::LittleEndian) {
        return false;
    }
    const int width = photo.width();
    for (int y = 0; y < photo.height(); ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(photo.constScanLine(y));
        uint8_t* out = lock.Row(uint32_t(y));
        for (int x = 0; x < width; ++x) {
            const uint32_t texel = in[x] & 0x00FFFFFFu;
            std::memcpy(out + size_t(x) * 4, &texel, 4);
        }
    }
    return true;
}

void ConvertPhoto(const QImage& photo, TextureLock& lock, TextureFormat format) {
    if (ConvertWordsDirectly(photo, lock, format)) {
        return;
    }
    const int width = photo.width();
    RgbRow row(size_t(width), 0);
    if (IsDirect(photo.format())) {
        const QList<QRgb> table = photo.colorTable();
        for (int y = 0; y < photo.height(); ++y) {
            ReadDirectRow(photo, table, y, row);
            WriteRow(row, lock.Row(uint32_t(y)), format, width);
        }
        return;
    }
    // Other layouts go through non-premultiplied 32-bit colour a strip at a time, so a
    // large photo is never held twice.
    const QList<QRgb> noTable;
    for (int top = 0; top < photo.height(); top += kStripRows) {
        const int rows = std::min(kStripRows, photo.height() - top);
        const QImage strip = photo.copy(0, top, width, rows).convertToFormat(QImage::Format_ARGB32);
        if (strip.isNull()) {
            throw MemoryException();
        }
        for (int y = 0; y < rows; ++y) {
            ReadDirectRow(strip, noTable, y, row);
            WriteRow(row, lock.Row(uint32_t(top + y)), format, width);
        }
    }
}

// A failure of the photo file: the reason, then the full path on a line of its own.
FileException FileFailure(const QString& text, const QString& path) {
    return FileException(text, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

// Whether JPEG bytes reach their end-of-image marker. The reader fills a JPEG that was cut
// short with grey instead of failing; such a photo must be refused, not shown half grey.
bool JpegIsComplete(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype pos = 2; // behind the start-of-image marker
    // Walk the header segments up to the first scan; embedded thumbnails live inside them.
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF) {
            return false;
        }
        const uint8_t marker = data[pos + 1];
        if (marker == 0xFF) {
            ++pos; // fill byte
            continue;
        }
        if (marker == 0xDA) {
            return bytes.indexOf(QByteArrayView("\xFF\xD9", 2), pos) >= 0;
        }
        pos += 2 + (qsizetype(data[pos + 2]) << 8 | data[pos + 3]);
    }
    return false;
}

// An image of the size and layout the reader announces, in pixel memory, for the reader to
// decode into; the reader makes its own when it decodes something else.
QImage PreparedTarget(QImageReader& reader) {
    const QSize size = reader.size();
    const QImage::Format format = reader.imageFormat();
    if (!size.isValid() || format == QImage::Format_Invalid ||
        qint64(size.width()) * size.height() * 4 > qint64(kDecodeLimitMegabytes) << 20) {
        return {};
    }
    return NewPixelImage(size.width(), size.height(), format);
}

// The image plug-ins log what they read past (colour profiles they cannot use, extra bytes) as
// warnings on standard error. A decode that fails comes back through the reader's error and is
// reported as such, so these notes only bury the command line's own messages.
QLoggingCategory::CategoryFilter g_previousCategoryFilter = nullptr;

void QuietDecoderNotes(QLoggingCategory* category) {
    if (g_previousCategoryFilter) {
        g_previousCategoryFilter(category);
    }
    const QByteArrayView name(category->categoryName());
    if (name.startsWith("qt.gui.imageio") || name.startsWith("qt.gui.icc")) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
        category->setEnabled(QtWarningMsg, false);
    }
}

void InstallQuietDecoderNotes() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_previousCategoryFilter = QLoggingCategory::installFilter(QuietDecoderNotes);
    });
}

// Decodes bytes; formatHint is a format name to try when the content alone does not tell.
bool DecodeBytes(const QByteArray& bytes, const QByteArray& formatHint, Photo& photo,
                 QString& error) {
    InstallQuietDecoderNotes();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, formatHint);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kDecodeLimitMegabytes);
    const QByteArray format = reader.format();
    const bool isJpeg = format == "jpeg" || format == "jpg";
    // A JPEG is kept as upright data, and the photo is what that data decodes to, so that the
    // picture measured now is the one every reader of a saved document sees.
    const QImageIOHandler::Transformations turn =
        isJpeg ? reader.transformation() : QImageIOHandler::TransformationNone;
    if (turn != QImageIOHandler::TransformationNone && JpegIsComplete(bytes)) {
        // Turning the compressed data needs no decode of its own.
        const QByteArray turned = TurnJpegLossless(bytes, turn, TurnedSize(reader.size(), turn));
        if (!turned.isEmpty()) {
            return DecodeBytes(turned, QByteArrayLiteral("jpeg"), photo, error);
        }
    }
    // The kept data holds only what the picture needs (JpegMetadata.h), and the photo is what
    // that data decodes to.
    QByteArray kept;
    if (isJpeg && turn == QImageIOHandler::TransformationNone) {
        kept = StripJpegMetadata(bytes);
        if (!kept.isEmpty() && kept.size() != bytes.size()) {
            return DecodeBytes(kept, QByteArrayLiteral("jpeg"), photo, error);
        }
    }
    QImage image = PreparedTarget(reader);
    if (!reader.read(&image)) {
        error = reader.errorString();
        return false;
    }
    const char* const cutShort = isJpeg && !JpegIsComplete(bytes)           ? "JPEG"
                                 : format == "png" && !PngIsComplete(bytes) ? "PNG"
                                 : format == "gif" && !GifIsComplete(bytes) ? "GIF"
                                                                            : nullptr;
    if (cutShort) {
        error = QStringLiteral("Unable to read image data: the %1 data ends too early")
                    .arg(QLatin1String(cutShort));
        return false;
    }
    if (turn != QImageIOHandler::TransformationNone || (isJpeg && kept.isEmpty())) {
        // The turn could not be made on the compressed data, or the data's segments could not
        // be walked to keep only the picture's: the upright picture is encoded.
        try {
            return DecodeBytes(EncodeUprightJpeg(image), QByteArrayLiteral("jpeg"), photo, error);
        } catch (const MessageException& e) {
            error = e.Message();
            return false;
        }
    }
    photo.image = std::move(image);
    photo.jpegBytes = isJpeg ? bytes : QByteArray();
    return true;
}

} // namespace

bool WriteTexelColour(uint8_t* texel, TextureFormat format, uint8_t red, uint8_t green,
                      uint8_t blue) {
    switch (format) {
    case TextureFormat::A8R8G8B8:
        texel[0] = blue;
        texel[1] = green;
        texel[2] = red;
        texel[3] = 0;
        return true;
    case TextureFormat::A8B8G8R8:
        texel[0] = red;
        texel[1] = green;
        texel[2] = blue;
        texel[3] = 0;
        return true;
    case TextureFormat::A4R4G4B4:
        StoreWord16(texel, uint32_t(red >> 4) << 8 | uint32_t(green >> 4) << 4 | (blue >> 4));
        return true;
    case TextureFormat::A2B10G10R10:
        StoreWord32(texel, uint32_t(blue) << 22 | uint32_t(green) << 12 | uint32_t(red) << 2);
        return true;
    case TextureFormat::X8R8G8B8:
    case TextureFormat::R5G6B5:
        return false;
    }
    return false;
}

QImage TextureToImage(const Texture& texture) {
    QImage image(int(texture.Width()), int(texture.Height()), QImage::Format_ARGB32);
    const TextureFormat format = texture.Format();
    const uint32_t step = BytesPerTexel(format);
    for (uint32_t y = 0; y < texture.Height(); ++y) {
        const uint8_t* texel = texture.Row(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (uint32_t x = 0; x < texture.Width(); ++x, texel += step) {
            uint32_t w = 0;
            switch (format) {
            case TextureFormat::A8R8G8B8:
                out[x] = qRgba(texel[2], texel[1], texel[0], texel[3]);
                break;
            case TextureFormat::X8R8G8B8:
                out[x] = qRgb(texel[2], texel[1], texel[0]);
                break;
            case TextureFormat::A8B8G8R8:
                out[x] = qRgba(texel[0], texel[1], texel[2], texel[3]);
                break;
            case TextureFormat::A4R4G4B4:
                w = LoadWord16(texel);
                out[x] = qRgba(int((w >> 8) & 15) * 17, int((w >> 4) & 15) * 17, int(w & 15) * 17,
                               int(w >> 12) * 17);
                break;
            case TextureFormat::A2B10G10R10:
                w = LoadWord32(texel);
                out[x] = qRgba(int((w >> 2) & 255), int((w >> 12) & 255), int((w >> 22) & 255),
                               int(w >> 30) * 85);
                break;
            case TextureFormat::R5G6B5:
                w = LoadWord16(texel);
                out[x] = qRgb(Widen5(w >> 11), int(((w >> 5) & 63) << 2 | ((w >> 9) & 3)),
                              Widen5(w & 31));
                break;
            }
        }
    }
    return image;
}

Photo DecodePhotoData(const QByteArray& bytes) {
    Photo photo;
    QString error;
    if (!DecodeBytes(bytes, QByteArray(), photo, error)) {
        throw MessageException(error);
    }
    return photo;
}

Photo DecodePhotoFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw FileFailure(file.errorString(), path);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw FileFailure(file.errorString(), path);
    }
    Photo photo;
    QString error;
    if (DecodeBytes(bytes, QByteArray(), photo, error)) {
        return photo;
    }
    // Some formats cannot be recognised from their bytes alone: let the file's suffix decide.
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    QString suffixError;
    if (!suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix) &&
        DecodeBytes(bytes, suffix, photo, suffixError)) {
        return photo;
    }
    throw FileFailure(error, path);
}

QImage DecodePhoto(const QString& path) {
    return DecodePhotoFile(path).image;
}

std::shared_ptr<Texture> CreatePhotoTexture(SoftwareDevice& device, const QImage& photo) {
    if (photo.isNull() || photo.format() == QImage::Format_Invalid) {
        throw MessageException(kUnsupportedImageMessage);
    }
    const auto width = uint32_t(photo.width());
    const auto height = uint32_t(photo.height());
    const TextureRequirements offered = device.CheckTextureRequirements(width, height);
    if (offered.width < width || offered.height < height) {
        throw MessageException(kImageTooLargeMessage);
    }
    std::shared_ptr<Texture> texture = device.CreateTexture(width, height, TextureFormat::A8R8G8B8);
    if (IsPaintedFormat(texture->Format())) {
        TextureLock lock(*texture);
        ConvertPhoto(photo, lock, texture->Format());
    }
    return texture;
}

std::shared_ptr<Texture> CreateBlankTexture(SoftwareDevice& device) {
    std::shared_ptr<Texture> texture =
        device.CreateTexture(kBlankWidth, kBlankHeight, TextureFormat::A8R8G8B8);
    const TextureFormat format = texture->Format();
    if (!IsPaintedFormat(format)) {
        return texture;
    }
    TextureLock lock(*texture);
    const uint32_t step = BytesPerTexel(format);
    for (uint32_t y = 0; y < texture->Height(); ++y) {
        uint8_t* texel = lock.Row(y);
        for (uint32_t x = 0; x < texture->Width(); ++x, texel += step) {
            WriteTexelColour(texel, format, kBlankGrey, kBlankGrey, kBlankGrey);
        }
    }
    return texture;
}

namespace {

struct FilterEntry {
    QString description;
    QStringList patterns;
};

std::vector<FilterEntry> FilterEntries() {
    std::vector<FilterEntry> entries;
    const QMimeDatabase mimeDatabase;
    for (const QByteArray& name : QImageReader::supportedMimeTypes()) {
        const QMimeType mime = mimeDatabase.mimeTypeForName(QString::fromLatin1(name));
        if (!mime.isValid() || mime.globPatterns().isEmpty()) {
            continue;
        }
        const QString description = mime.comment().isEmpty() ? mime.name() : mime.comment();
        entries.push_back({description, mime.globPatterns()});
    }
    return entries;
}

QStringList AllPatterns(const std::vector<FilterEntry>& entries) {
    QStringList all;
    for (const FilterEntry& entry : entries) {
        for (const QString& pattern : entry.patterns) {
            if (!all.contains(pattern)) {
                all.append(pattern);
            }
        }
    }
    return all;
}

} // namespace

QString PhotoFileFilter() {
    const std::vector<FilterEntry> entries = FilterEntries();
    QString filter = QStringLiteral("All Image Files|") + AllPatterns(entries).join(u';');
    for (const FilterEntry& entry : entries) {
        const QString patterns = entry.patterns.join(u';');
        filter += u'|' + entry.description + QStringLiteral(" (") + patterns +
                  QStringLiteral(")|") + patterns;
    }
    return filter + QStringLiteral("||");
}

QStringList PhotoNameFilters() {
    const std::vector<FilterEntry> entries = FilterEntries();
    QStringList filters{QStringLiteral("All Image Files (") + AllPatterns(entries).join(u' ') +
                        u')'};
    for (const FilterEntry& entry : entries) {
        filters.append(entry.description + QStringLiteral(" (") + entry.patterns.join(u' ') + u')');
    }
    return filters;
}

} // namespace vm
