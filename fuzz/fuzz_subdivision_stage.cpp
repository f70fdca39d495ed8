// Subdivision tables from arbitrary bytes applied to a small mesh: decoding either succeeds or
// raises an archive failure, and refinement either succeeds or refuses the table with an
// invalid-argument failure; it never reads outside the mesh or the table.
#include "document/Subdivision.h"
#include "platform/core/Exceptions.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte sizes the input mesh; the rest is the table.
    const uint32_t vertexCount = 1 + data[0] % 32;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    vm::SubdivisionStage stage;
    try {
        vm::DecodeSubdivisionStage(bytes, stage);
    } catch (const vm::ArchiveException&) {
        return 0;
    }
    vm::Mesh mesh;
    mesh.vertices.resize(vertexCount);
    for (uint32_t i = 0; i < vertexCount; ++i) {
        mesh.vertices[i].position = {static_cast<float>(i), 1.0f, -1.0f};
        mesh.vertices[i].diffuse = 0xFF808080u;
    }
    // As many faces as the index list would need, so that refinement gets past the count check.
    mesh.indices.assign(stage.indices.size() / 12 * 3, 0);
    try {
        const vm::Mesh out = vm::ApplySubdivisionStage(stage, mesh);
        (void)out;
    } catch (const vm::InvalidArgumentException&) {
    }
    return 0;
}
