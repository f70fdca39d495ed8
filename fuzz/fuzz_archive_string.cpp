// libFuzzer target: the archive's count and string readers on arbitrary bytes. The first byte
// of each step picks the reader, so sequences of both are explored.
#include "platform/core/Archive.h"
#include "platform/core/Exceptions.h"

#include <QBuffer>
#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    vm::Archive archive(buffer, vm::Archive::Mode::Load);
    try {
        while (archive.BytesLeft() > 0) {
            if (archive.ReadU8() & 1) {
                archive.ReadString();
            } else {
                archive.ReadCount();
            }
        }
    } catch (const vm::VisomorfException&) {
    }
    return 0;
}
