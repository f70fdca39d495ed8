#pragma once
// Writes a HeadVertex mesh as a DirectX .x file.
//
// Layout of a full write: template declarations, then one unnamed Mesh (positions and
// triangles) with the children MeshNormals (one normal per vertex, indexed like the faces),
// MeshTextureCoords (frontUV), MeshVertexColors (diffuse of every vertex), MeshMaterialList
// (only when the mesh uses more than one material) and FVFData (format XYZ|TEX2: sideUV and
// modelUV of every vertex as raw float bits). Reading the file back gives the same 52 bytes
// per vertex, the same triangles and the same material ids.
#include "platform/mesh/Mesh.h"
#include "platform/xfile/XFileFormat.h"

#include <QByteArray>

namespace vm {

struct XFileWriteOptions {
    XFileFormat format = XFileFormat::CompressedBinary;
    // "0064": binary float lists hold 8-byte values (text files only carry the flag).
    bool doubleFloats = false;
    // Only positions, triangles and texture set 0 (frontUV) in MeshTextureCoords, with the
    // five templates they need: the form of the generic head resource.
    bool positionsAndFirstTextureSetOnly = false;
    // Compressed formats: each 32 KiB block uses the previous block as its deflate
    // dictionary. Independent blocks (false) also suit readers that keep no history.
    bool chainBlocks = true;
    // Compressed formats: zlib's level, 0 (blocks stored as they are, fastest) to 9.
    int compressionLevel = 6;
};

// Throws CDXException(D3DERR_INVALIDCALL) for a mesh that no reader could take back: no
// vertices or faces, an index beyond the vertices, a material id beyond the material count,
// or attributes that do not match the faces.
QByteArray WriteXFile(const Mesh& mesh, const XFileWriteOptions& options = {});

} // namespace vm
