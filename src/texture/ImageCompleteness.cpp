#include "texture/ImageCompleteness.h"

#include <cstdint>
#include <cstring>

namespace vm {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr qsizetype kGifHeader = 6 + 7; // "GIF89a" and the logical screen descriptor

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The size of the colour table a packed field announces (0 when it has none).
qsizetype ColourTableSize(uint8_t packed) {
    return (packed & 0x80) ? 3 * (qsizetype(1) << ((packed & 7) + 1)) : 0;
}

// Skips a chain of data sub-blocks at pos; returns the position behind its zero-length end, or
// -1 when the data ends first.
qsizetype SkipSubBlocks(const uint8_t* d, qsizetype size, qsizetype pos) {
    while (pos < size) {
        const qsizetype length = d[pos];
        ++pos;
        if (length == 0) {
            return pos;
        }
        if (length > size - pos) {
            return -1;
        }
        pos += length;
    }
    return -1;
}

} // namespace

bool PngIsComplete(const QByteArray& png) {
    const auto* d = reinterpret_cast<const uint8_t*>(png.constData());
    const qsizetype size = png.size();
    if (size < 8 || std::memcmp(d, kPngSignature, 8) != 0) {
        return false;
    }
    qsizetype pos = 8;
    // Each chunk: length, type, data, CRC.
    while (size - pos >= 12) {
        const qsizetype length = BigEndian32(d + pos);
        if (length > size - pos - 12) {
            return false;
        }
        if (std::memcmp(d + pos + 4, "IEND", 4) == 0) {
            return true;
        }
        pos += 12 + length;
    }
    return false;
}

bool GifIsComplete(const QByteArray& gif) {
    const auto* d = reinterpret_cast<const uint8_t*>(gif.constData());
    const qsizetype size = gif.size();
    if (size < kGifHeader || std::memcmp(d, "GIF", 3) != 0) {
        return false;
    }
    qsizetype pos = kGifHeader + ColourTableSize(d[10]);
    if (pos > size) {
        return false;
    }
    while (pos < size) {
        const uint8_t introducer = d[pos++];
        if (introducer == 0x3B) { // trailer
            return true;
        }
        if (introducer == 0x21) { // extension: a label, then sub-blocks
            if (pos >= size) {
                return false;
            }
            pos = SkipSubBlocks(d, size, pos + 1);
        } else if (introducer == 0x2C) { // image: descriptor, local colour table, LZW data
            if (size - pos < 9) {
                return false;
            }
            pos += 9 + ColourTableSize(d[pos + 8]);
            if (pos >= size) { // the LZW code size byte at least must follow
                return false;
            }
            pos = SkipSubBlocks(d, size, pos + 1);
        } else {
            // Not a block: the reader has stopped before here, with what it read so far whole.
            return true;
        }
        if (pos < 0) {
            return false;
        }
    }
    return true; // ends at a block boundary
}

} // namespace vm
