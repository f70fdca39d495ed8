// Feeds arbitrary bytes to the document file reader: it must refuse them cleanly, never crash,
// hang or allocate beyond what the bytes can justify.
#include "persistence/DocumentFile.h"
#include "platform/core/Exceptions.h"

#include <QBuffer>
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv); // image plugins for the photo sections
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    try {
        vm::ReadDocument(buffer);
    } catch (const vm::VisomorfException&) {
        // Refusing the bytes is the expected outcome.
    }
    return 0;
}
