#include "texture/JpegMetadata.h"

#include <cstdint>
#include <cstring>

namespace vm {

namespace {

constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kApp0 = 0xE0;
constexpr uint8_t kApp2 = 0xE2;
constexpr uint8_t kApp14 = 0xEE;
constexpr uint8_t kApp15 = 0xEF;
constexpr uint8_t kCom = 0xFE;

constexpr char kIccId[] = "ICC_PROFILE"; // with its terminating zero: 12 bytes

bool IsRestart(uint8_t marker) {
    return marker >= 0xD0 && marker <= 0xD7;
}

// Whether a segment with this marker and payload is needed to decode the picture.
bool Keeps(uint8_t marker, const uint8_t* payload, qsizetype payloadSize) {
    if (marker == kCom) {
        return false;
    }
    if (marker < kApp0 || marker > kApp15) {
        return true; // tables, frame, scan headers, restart interval and the like
    }
    if (marker == kApp0 || marker == kApp14) {
        return true;
    }
    if (marker == kApp2) {
        return payloadSize >= qsizetype(sizeof kIccId) &&
               std::memcmp(payload, kIccId, sizeof kIccId) == 0;
    }
    return false;
}

// The end of the entropy-coded data that starts at pos: the position of the 0xFF that begins
// the next marker, or -1 when the data ends first.
qsizetype EndOfScan(const uint8_t* d, qsizetype size, qsizetype pos) {
    while (pos < size) {
        if (d[pos] != 0xFF) {
            ++pos;
            continue;
        }
        if (pos + 1 >= size) {
            return -1;
        }
        const uint8_t next = d[pos + 1];
        if (next == 0x00 || IsRestart(next)) {
            pos += 2; // a stuffed 0xFF or a restart marker belong to the scan
        } else if (next == 0xFF) {
            ++pos; // fill bytes before a marker
        } else {
            return pos;
        }
    }
    return -1;
}

} // namespace

QByteArray StripJpegMetadata(const QByteArray& jpeg) {
    const auto* d = reinterpret_cast<const uint8_t*>(jpeg.constData());
    const qsizetype size = jpeg.size();
    if (size < 4 || d[0] != 0xFF || d[1] != kSoi) {
        return {};
    }
    QByteArray out;
    out.reserve(size);
    out.append(jpeg.constData(), 2);
    qsizetype pos = 2;
    while (pos < size) {
        const qsizetype start = pos; // fill bytes before a marker go with it
        if (d[pos] != 0xFF) {
            return {};
        }
        while (pos + 1 < size && d[pos + 1] == 0xFF) {
            ++pos;
        }
        if (pos + 1 >= size) {
            return {};
        }
        const uint8_t marker = d[pos + 1];
        if (marker == kEoi) {
            out.append(jpeg.constData() + start, pos + 2 - start);
            return out; // whatever follows is not part of this picture
        }
        if (marker == kSoi || marker == 0x00) {
            return {};
        }
        if (marker == 0x01 || IsRestart(marker)) { // markers without a length
            out.append(jpeg.constData() + start, pos + 2 - start);
            pos += 2;
            continue;
        }
        if (pos + 4 > size) {
            return {};
        }
        const qsizetype length = qsizetype(d[pos + 2]) << 8 | d[pos + 3];
        if (length < 2 || length > size - (pos + 2)) {
            return {};
        }
        const qsizetype end = pos + 2 + length;
        if (Keeps(marker, d + pos + 4, length - 2)) {
            out.append(jpeg.constData() + start, end - start);
        }
        pos = end;
        if (marker == kSos) {
            const qsizetype scanEnd = EndOfScan(d, size, pos);
            if (scanEnd < 0) {
                return {};
            }
            out.append(jpeg.constData() + pos, scanEnd - pos);
            pos = scanEnd;
        }
    }
    return {};
}

} // namespace vm
