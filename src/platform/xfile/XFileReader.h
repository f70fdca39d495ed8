#pragma once
// Reads DirectX .x mesh files (text, binary and their compressed forms, 32- or 64-bit floats)
// into one HeadVertex mesh.
//
// What the vertices receive:
// - position from Mesh; normal from MeshNormals (a vertex that gets different normals on
//   different faces is split, the copies appended in the order they are met); diffuse from
//   MeshVertexColors; texture set 0 (frontUV) from MeshTextureCoords; sets 1 and 2 (sideUV,
//   modelUV) from FVFData or DeclData (FVFData's texture sets follow the MeshTextureCoords set
//   when there is one).
// - Components the file does not give are zero, except diffuse, which is opaque white
//   (0xFFFFFFFF) for vertices without a colour: a mesh without colours is drawn unchanged by
//   the vertex colour.
// - Polygons with more than three corners become fans: (a,b,c,d) -> (a,b,c), (a,c,d).
// - Every Mesh of the file, at the top level or inside Frames (whose matrices apply), joins
//   the one result; each mesh's material ids follow those of the meshes before it.
#include "platform/mesh/Mesh.h"
#include "platform/xfile/XFileFormat.h"

#include <QByteArray>
#include <cstdint>

namespace vm {

struct XFileMesh {
    Mesh mesh;                 // vertex format 0x352; attributes hold one material id per face
    uint32_t numMaterials = 1; // a mesh without a material list counts as one material
    uint32_t fileFvf = 0;      // the vertex components the file itself carried
};

// Throws XFileException (a CDXException with D3DXERR_INVALIDDATA) for a malformed file: bad
// header, truncated or corrupt compressed data, counts beyond the data, indices out of range,
// objects nested too deep, or no mesh with faces at all.
XFileMesh ReadXFile(const QByteArray& bytes);

} // namespace vm
