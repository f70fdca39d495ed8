#pragma once
// Constants of the DirectX .x mesh file format shared by the reader and the writer.
#include "platform/core/Exceptions.h"

#include <QString>
#include <cstdint>

namespace vm {

// A malformed .x file: the graphics layer's invalid-data failure, plus what was wrong (for
// diagnostics and tests; the message box shows the code's description).
class XFileException : public CDXException {
public:
    explicit XFileException(QString detail)
        : CDXException(hr::kXInvalidData), m_detail(std::move(detail)) {}
    const QString& Detail() const { return m_detail; }

private:
    QString m_detail;
};

// The four encodings of a .x file: the header's format field.
enum class XFileFormat {
    Text,             // "txt "
    Binary,           // "bin "
    CompressedText,   // "tzip": MSZIP blocks over text
    CompressedBinary, // "bzip": MSZIP blocks over binary
};

namespace xfile {

constexpr int kHeaderSize = 16;
// Compressed files: uint32 total size after the header, then blocks of
// uint16 uncompressed size, uint16 compressed size (counting "CK"), "CK", raw deflate.
constexpr int kMaxBlockSize = 32768;
constexpr int kBlockHeaderSize = 6;

// Binary token ids (little-endian uint16).
enum Token : uint16_t {
    TOKEN_NAME = 1,
    TOKEN_STRING = 2,
    TOKEN_INTEGER = 3,
    TOKEN_GUID = 5,
    TOKEN_INTEGER_LIST = 6,
    TOKEN_FLOAT_LIST = 7,
    TOKEN_OBRACE = 10,
    TOKEN_CBRACE = 11,
    TOKEN_OPAREN = 12,
    TOKEN_CPAREN = 13,
    TOKEN_OBRACKET = 14,
    TOKEN_CBRACKET = 15,
    TOKEN_OANGLE = 16,
    TOKEN_CANGLE = 17,
    TOKEN_DOT = 18,
    TOKEN_COMMA = 19,
    TOKEN_SEMICOLON = 20,
    TOKEN_TEMPLATE = 31,
    TOKEN_WORD = 40,
    TOKEN_DWORD = 41,
    TOKEN_FLOAT = 42,
    TOKEN_DOUBLE = 43,
    TOKEN_CHAR = 44,
    TOKEN_UCHAR = 45,
    TOKEN_SWORD = 46,
    TOKEN_SDWORD = 47,
    TOKEN_VOID = 48,
    TOKEN_LPSTR = 49,
    TOKEN_UNICODE = 50,
    TOKEN_CSTRING = 51,
    TOKEN_ARRAY = 52,
};

// Vertex declaration constants (DeclData elements).
enum DeclType : uint32_t {
    DECLTYPE_FLOAT1 = 0,
    DECLTYPE_FLOAT2 = 1,
    DECLTYPE_FLOAT3 = 2,
    DECLTYPE_FLOAT4 = 3,
    DECLTYPE_D3DCOLOR = 4,
    DECLTYPE_UNUSED = 17,
};
enum DeclUsage : uint32_t {
    DECLUSAGE_POSITION = 0,
    DECLUSAGE_NORMAL = 3,
    DECLUSAGE_TEXCOORD = 5,
    DECLUSAGE_COLOR = 10,
};

} // namespace xfile
} // namespace vm
