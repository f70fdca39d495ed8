#pragma once
// The glTF 2.0 export: the same export mesh and baked texture as the OBJ export, in one binary
// ".glb" file, or as a ".gltf" JSON file with its ".bin" buffer and ".jpg" texture beside it.
//
// Axes and units: our model is left-handed in model units (photo pixels), y up, the face towards
// -z. glTF is right-handed in metres, y up, and a model faces +z. A model position (x, y, z)
// becomes (x, y, -z) * GltfMetresPerUnit: mirroring z alone turns the handedness and the face
// together, and keeps the head's left and right where a viewer in front of it sees them. The
// mirror also reverses each triangle's turn, so every triangle (a, b, c) is written (a, c, b)
// to stay counter-clockwise seen from outside, as glTF's front faces are. Texture v runs
// downwards in glTF: v' = 1 - v.
#include "platform/core/VMath.h"
#include "platform/mesh/Mesh.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace vm {

// The height from crown to chin that the exported head is scaled to, in metres (an average
// adult's). The generic head ends under the chin, so this is the mesh's vertical extent.
inline constexpr float kGltfHeadHeightMetres = 0.23f;

enum class ExportFormat { Obj, GltfBinary, GltfText };

inline constexpr const char* kUnknownExportTypeText = "Unknown export file type:";
inline constexpr const char* kKnownExportTypesText =
    "The known types are .obj (with .mtl and .jpg), .glb, and .gltf (with .bin and .jpg).";

// The format a path asks for by its extension (case-insensitive): ".obj", ".glb" or ".gltf".
// Any other name throws FileException(kUnknownExportTypeText, path, kKnownExportTypesText).
ExportFormat ExportFormatOf(const QString& path);

// Metres per model unit that give the mesh's vertical extent kGltfHeadHeightMetres. Throws
// GeneralFailureException for a mesh without height.
float GltfMetresPerUnit(const Mesh& mesh);

// A model position (model units) as a glTF position (metres), and a model normal as a unit glTF
// normal.
Vec3 GltfPosition(const Vec3& modelPosition, float metresPerUnit);
Vec3 GltfNormal(const Vec3& modelNormal);

// The mesh's binary data in the order the JSON describes it: positions, normals, texture
// coordinates (each tightly packed float32), then the 16-bit indices (two corners of each
// triangle swapped) padded to four bytes.
struct GltfGeometry {
    QByteArray bytes;
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    Vec3 minPosition; // metres, exactly the float values stored
    Vec3 maxPosition;
};

// Throws CDXException when the mesh needs indices above 16 bits (the export mesh never does).
GltfGeometry BuildGltfGeometry(const Mesh& mesh);

// Where the buffer and the texture live: an empty uri puts them into the GLB's binary chunk (the
// texture after the geometry), otherwise they are files named by the (relative) uri.
struct GltfUris {
    QString buffer;
    QString image;
};

// The glTF JSON for the geometry and a JPEG texture of jpegSize bytes.
QJsonObject GltfJson(const GltfGeometry& geometry, qsizetype jpegSize, const GltfUris& uris);

// A complete GLB file: header, JSON chunk (padded with spaces), binary chunk (padded with zeros).
QByteArray GlbFile(const QJsonObject& json, const QByteArray& binary);

// Writes the export at path: ".glb" as one file; ".gltf" with "<base>.bin" and "<base>.jpg"
// beside it, written in that order before the ".gltf". Each file replaces its previous version
// only once complete. jpeg holds the encoded texture. Failures: FileException naming the file.
void WriteGltf(const QString& path, ExportFormat format, const GltfGeometry& geometry,
               const QByteArray& jpeg);

} // namespace vm
