#include "platform/core/Archive.h"

#include "platform/core/Exceptions.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace vm {

namespace {

constexpr uint8_t kLongLengthByte = 0xFF;
constexpr uint16_t kWideMarker = 0xFFFE;
constexpr uint16_t kLongLengthWord = 0xFFFF;
constexpr uint32_t kLongCount = 0xFFFF;

// Sequential devices cannot say how much is left, so long texts are read in pieces: memory then
// only grows as far as real data arrives.
constexpr qint64 kReadChunk = 64 * 1024;

// Bytes 0x80..0x9F of Windows-1252; the rest of the code page equals Latin-1. Five bytes are
// unassigned and map to the same-numbered control character, as the system converter does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString DecodeWindows1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        out[i] = (byte >= 0x80 && byte < 0xA0) ? QChar(kCp1252High[byte - 0x80]) : QChar(byte);
    }
    return text;
}

} // namespace

// --- Writing ----------------------------------------------------------------------------------

namespace {

// Writes up to this size are collected before they reach the device.
constexpr qint64 kCollectLimit = 64 * 1024;

void WriteToDevice(QIODevice& device, const char* data, qint64 size) {
    if (device.write(data, size) != size) {
        throw ArchiveException(ArchiveException::Cause::Generic, device.errorString());
    }
}

} // namespace

Archive::~Archive() {
    try {
        Flush();
    } catch (...) { // NOLINT(bugprone-empty-catch): a destructor cannot report; Flush can
    }
}

QIODevice& Archive::Device() {
    Flush();
    return m_device;
}

void Archive::Flush() {
    if (m_pendingSize == 0) {
        return;
    }
    // Emptied even when the device refuses, so the destructor does not offer it again.
    const auto size = static_cast<qint64>(std::exchange(m_pendingSize, 0));
    WriteToDevice(m_device, m_pending.data(), size);
}

void Archive::WriteBytes(const void* data, qint64 size) {
    if (size <= 0) {
        return;
    }
    const auto* bytes = static_cast<const char*>(data);
    if (!m_collect) {
        WriteToDevice(m_device, bytes, size);
        return;
    }
    if (static_cast<qint64>(m_pendingSize) + size > kCollectLimit) {
        Flush();
        if (size >= kCollectLimit) {
            WriteToDevice(m_device, bytes, size);
            return;
        }
    }
    if (m_pending.empty()) {
        m_pending.resize(kCollectLimit);
    }
    std::memcpy(m_pending.data() + m_pendingSize, bytes, static_cast<size_t>(size));
    m_pendingSize += static_cast<size_t>(size);
}

void Archive::WriteU8(uint8_t v) {
    WriteBytes(&v, 1);
}

void Archive::WriteU16(uint16_t v) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    WriteBytes(bytes, 2);
}

void Archive::WriteU32(uint32_t v) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                              static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    WriteBytes(bytes, 4);
}

void Archive::WriteI32(int32_t v) {
    WriteU32(static_cast<uint32_t>(v));
}

void Archive::WriteFloat(float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    WriteU32(bits);
}

void Archive::WriteCount(uint32_t count) {
    if (count < kLongCount) {
        WriteU16(static_cast<uint16_t>(count));
        return;
    }
    WriteU16(0xFFFF);
    WriteU32(count);
}

void Archive::WriteString(const QString& text) {
    // Always UTF-16, so every character survives; the marker tells readers so.
    WriteU8(kLongLengthByte);
    WriteU16(kWideMarker);
    const auto length = static_cast<uint32_t>(text.size());
    if (length < 0xFF) {
        WriteU8(static_cast<uint8_t>(length));
    } else if (length < 0xFFFE) {
        WriteU8(kLongLengthByte);
        WriteU16(static_cast<uint16_t>(length));
    } else {
        WriteU8(kLongLengthByte);
        WriteU16(kLongLengthWord);
        WriteU32(length);
    }
    for (QChar unit : text) {
        WriteU16(unit.unicode());
    }
}

// --- Reading ----------------------------------------------------------------------------------

qint64 Archive::BytesLeft() const {
    if (m_device.isSequential()) {
        return m_device.bytesAvailable();
    }
    return std::max<qint64>(0, m_device.size() - m_device.pos());
}

void Archive::ReadBytes(void* data, qint64 size) {
    if (size <= 0) {
        return;
    }
    auto* out = static_cast<char*>(data);
    qint64 done = 0;
    while (done < size) {
        const qint64 got = m_device.read(out + done, size - done);
        if (got <= 0) {
            throw ArchiveException(ArchiveException::Cause::EndOfFile);
        }
        done += got;
    }
}

uint8_t Archive::ReadU8() {
    uint8_t v = 0;
    ReadBytes(&v, 1);
    return v;
}

uint16_t Archive::ReadU16() {
    uint8_t b[2];
    ReadBytes(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t Archive::ReadU32() {
    uint8_t b[4];
    ReadBytes(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

int32_t Archive::ReadI32() {
    return static_cast<int32_t>(ReadU32());
}

float Archive::ReadFloat() {
    const uint32_t bits = ReadU32();
    float v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

uint32_t Archive::ReadCount() {
    const uint16_t shortCount = ReadU16();
    return shortCount != 0xFFFF ? shortCount : ReadU32();
}

namespace {

// The string length prefix after its first byte was found to be 0xFF and the word after it
// not to be the wide marker.
uint32_t ReadLongLength(Archive& archive, uint16_t word) {
    return word != kLongLengthWord ? word : archive.ReadU32();
}

} // namespace

QString Archive::ReadString() {
    bool wide = false;
    uint32_t length = ReadU8();
    if (length == kLongLengthByte) {
        uint16_t word = ReadU16();
        if (word == kWideMarker) {
            wide = true;
            length = ReadU8();
            if (length == kLongLengthByte) {
                length = ReadLongLength(*this, ReadU16());
            }
        } else {
            length = ReadLongLength(*this, word);
        }
    }
    const qint64 byteCount = static_cast<qint64>(length) * (wide ? 2 : 1);
    const QByteArray bytes = ReadBlock(byteCount);
    if (!wide) {
        return DecodeWindows1252(bytes);
    }
    QString text(static_cast<qsizetype>(length), Qt::Uninitialized);
    QChar* out = text.data();
    for (uint32_t i = 0; i < length; ++i) {
        const auto lo = static_cast<uint8_t>(bytes[2 * i]);
        const auto hi = static_cast<uint8_t>(bytes[2 * i + 1]);
        out[i] = QChar(static_cast<char16_t>(lo | (hi << 8)));
    }
    return text;
}

QByteArray Archive::ReadBlock(qint64 size) {
    // A damaged length must not make us reserve memory the data cannot fill.
    if (!m_device.isSequential() && size > BytesLeft()) {
        throw ArchiveException(ArchiveException::Cause::EndOfFile);
    }
    QByteArray block;
    while (block.size() < size) {
        const qint64 piece = std::min(kReadChunk, size - block.size());
        const qsizetype start = block.size();
        block.resize(start + piece);
        ReadBytes(block.data() + start, piece);
    }
    return block;
}

} // namespace vm
