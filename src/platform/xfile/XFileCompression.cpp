#include "platform/xfile/XFileCompression.h"

#include "platform/core/Exceptions.h"
#include "platform/xfile/XFileFormat.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <zlib.h>

namespace vm {
namespace {

constexpr int kRawDeflate = -15; // window bits: no zlib or gzip wrapper
constexpr int kWindowSize = 32768;

uint16_t GetU16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GetU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutU16(QByteArray& out, uint32_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>((v >> 8) & 0xFF));
}

void PutU32(QByteArray& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

struct InflateStream {
    z_stream z{};
    InflateStream() {
        if (inflateInit2(&z, kRawDeflate) != Z_OK) {
            throw MemoryException();
        }
    }
    ~InflateStream() { inflateEnd(&z); }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
};

struct DeflateStream {
    z_stream z{};
    explicit DeflateStream(int level) {
        if (deflateInit2(&z, level, Z_DEFLATED, kRawDeflate, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw MemoryException();
        }
    }
    ~DeflateStream() { deflateEnd(&z); }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;
};

// Sets the last (up to) 32 KiB of what was decoded so far as the history of the next block.
void PrimeWithHistory(z_stream& z, const QByteArray& output) {
    if (output.isEmpty()) {
        return;
    }
    const qsizetype historySize = std::min<qsizetype>(output.size(), kWindowSize);
    const auto* history =
        reinterpret_cast<const Bytef*>(output.constData() + output.size() - historySize);
    if (inflateSetDictionary(&z, history, static_cast<uInt>(historySize)) != Z_OK) {
        throw XFileException(QStringLiteral("cannot set the deflate history"));
    }
}

void InflateBlock(InflateStream& stream, const unsigned char* in, uint32_t inSize, uint32_t outSize,
                  QByteArray& output) {
    z_stream& z = stream.z;
    if (inflateReset(&z) != Z_OK) {
        throw XFileException(QStringLiteral("cannot reset the inflater"));
    }
    PrimeWithHistory(z, output);
    const qsizetype start = output.size();
    output.resize(start + outSize);
    // One spare byte shows whether the block would produce more than it announced.
    unsigned char spare = 0;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = inSize;
    z.next_out = reinterpret_cast<Bytef*>(output.data() + start);
    z.avail_out = outSize;
    int rc = inflate(&z, Z_FINISH);
    if (rc == Z_BUF_ERROR && z.avail_out == 0) {
        z.next_out = &spare;
        z.avail_out = 1;
        rc = inflate(&z, Z_FINISH);
    }
    if (rc != Z_STREAM_END) {
        throw XFileException(QStringLiteral("corrupt or truncated deflate block"));
    }
    if (z.total_out != outSize) {
        throw XFileException(QStringLiteral("deflate block size differs from its header"));
    }
}

} // namespace

QByteArray InflateXFileBody(const char* data, qsizetype size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    if (size < 4) {
        throw XFileException(QStringLiteral("compressed file ends before its size field"));
    }
    const uint32_t totalSize = GetU32(p);
    if (totalSize < xfile::kHeaderSize) {
        throw XFileException(QStringLiteral("compressed file size below the header size"));
    }
    const uint64_t expected = totalSize - xfile::kHeaderSize;
    qsizetype pos = 4;
    QByteArray output;
    InflateStream stream;
    while (pos < size) {
        if (size - pos < xfile::kBlockHeaderSize) {
            throw XFileException(QStringLiteral("truncated compressed block header"));
        }
        const uint32_t outSize = GetU16(p + pos);
        const uint32_t packedSize = GetU16(p + pos + 2);
        if (outSize > xfile::kMaxBlockSize || packedSize < 2 ||
            packedSize > static_cast<uint64_t>(size - pos - 4)) {
            throw XFileException(QStringLiteral("compressed block sizes out of range"));
        }
        if (p[pos + 4] != 'C' || p[pos + 5] != 'K') {
            throw XFileException(QStringLiteral("compressed block without its CK signature"));
        }
        if (output.size() + static_cast<uint64_t>(outSize) > expected) {
            throw XFileException(QStringLiteral("compressed data longer than its size field"));
        }
        InflateBlock(stream, p + pos + 6, packedSize - 2, outSize, output);
        pos += 4 + packedSize;
    }
    if (static_cast<uint64_t>(output.size()) != expected) {
        throw XFileException(QStringLiteral("compressed data shorter than its size field"));
    }
    return output;
}

QByteArray DeflateXFileBody(const QByteArray& body, bool chainBlocks, int level) {
    if (level < 0 || level > 9) {
        throw CDXException(hr::kInvalidCall);
    }
    QByteArray out;
    PutU32(out, static_cast<uint32_t>(body.size() + xfile::kHeaderSize));
    DeflateStream stream(level);
    z_stream& z = stream.z;
    std::unique_ptr<Bytef[]> buffer(new Bytef[deflateBound(&z, xfile::kMaxBlockSize)]);
    for (qsizetype start = 0; start < body.size(); start += xfile::kMaxBlockSize) {
        const auto blockSize =
            static_cast<uInt>(std::min<qsizetype>(xfile::kMaxBlockSize, body.size() - start));
        const auto* block = reinterpret_cast<const Bytef*>(body.constData() + start);
        deflateReset(&z);
        // Stored blocks never refer back, so they need no history.
        if (chainBlocks && start > 0 && level > 0) {
            deflateSetDictionary(&z, block - kWindowSize, kWindowSize);
        }
        z.next_in = const_cast<Bytef*>(block);
        z.avail_in = blockSize;
        z.next_out = buffer.get();
        z.avail_out = deflateBound(&z, xfile::kMaxBlockSize);
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
            throw MemoryException();
        }
        PutU16(out, blockSize);
        PutU16(out, static_cast<uint32_t>(z.total_out + 2));
        out.append("CK", 2);
        out.append(reinterpret_cast<const char*>(buffer.get()),
                   static_cast<qsizetype>(z.total_out));
    }
    return out;
}

} // namespace vm
