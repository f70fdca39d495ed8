// libFuzzer target: the .x reader on arbitrary bytes. Malformed input must end in the reader's
// own failure; anything else (crash, leak, hang, other exception) is a finding.
#include "platform/core/Exceptions.h"
#include "platform/xfile/XFileReader.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const vm::XFileMesh read = vm::ReadXFile(bytes);
        // A mesh that was accepted must be self-consistent.
        for (uint32_t index : read.mesh.indices) {
            if (index >= read.mesh.VertexCount()) {
                __builtin_trap();
            }
        }
        if (read.mesh.attributes.size() != read.mesh.FaceCount()) {
            __builtin_trap();
        }
        for (uint32_t id : read.mesh.attributes) {
            if (id >= read.numMaterials) {
                __builtin_trap();
            }
        }
    } catch (const vm::VisomorfException&) {
    }
    return 0;
}
