// Archive reads on arbitrary bytes: every read either succeeds or raises ArchiveException, and a
// damaged length never reserves more memory than the input could fill.
#include "platform/core/Archive.h"
#include "platform/core/Exceptions.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    vm::Archive archive(buffer, vm::Archive::Mode::Load);
    try {
        // The first byte picks the order of primitives, as the document reader mixes them.
        const uint8_t plan = archive.ReadU8();
        for (int step = 0; step < 64; ++step) {
            switch ((plan >> (step % 4 * 2)) & 3) {
            case 0:
                archive.ReadString();
                break;
            case 1:
                archive.ReadCount();
                break;
            case 2:
                archive.ReadFloat();
                break;
            default:
                archive.ReadBlock(archive.ReadU32());
                break;
            }
        }
    } catch (const vm::ArchiveException&) {
    }
    return 0;
}
