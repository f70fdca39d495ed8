#pragma once
// The MSZIP container of compressed .x files: the bytes after the 16-byte header.
#include <QByteArray>

namespace vm {

// Inflates the container that follows the header (starting with the uint32 total size, which
// counts the header). Each block may refer back into the output before it, so the last 32 KiB
// of output prime every block; independent blocks decode the same way.
// Throws XFileException on truncated, corrupt or inconsistent data.
QByteArray InflateXFileBody(const char* data, qsizetype size);

// Deflates the bytes that follow the header into the container, 32 KiB per block. With
// chainBlocks each block uses the previous block's output as its dictionary (better ratio,
// readable only by readers that keep the history); without it every block stands alone.
// level is zlib's: 0 stores the blocks as they are (fastest), 9 compresses hardest.
QByteArray DeflateXFileBody(const QByteArray& body, bool chainBlocks, int level = 6);

} // namespace vm
