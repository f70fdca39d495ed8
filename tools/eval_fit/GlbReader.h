#pragma once
// Reads a binary glTF file (.glb) as our export writes it: one triangle mesh with positions,
// texture coordinates and indices, and its base colour texture embedded in the binary chunk.
// It reads the file as any other program would, so what it shows is what an export hands on.
// Every offset and index is checked against the file: a damaged file gives an error message,
// never a read outside the data.
#include "platform/core/VMath.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace vm {

struct GlbMesh {
    std::vector<Vec3> positions;   // metres, y up, the face towards +z
    std::vector<Vec2> uvs;         // texture coordinates, v = 0 at the top of the texture
    std::vector<uint32_t> indices; // three per triangle, counter-clockwise seen from outside
    QImage texture;                // ARGB32
};

// The first triangle primitive of the first mesh, with its material's base colour texture.
// On failure: nullopt and error says what is wrong.
std::optional<GlbMesh> ReadGlb(const QByteArray& data, QString& error);
std::optional<GlbMesh> ReadGlbFile(const QString& path, QString& error);

} // namespace vm
