#pragma once
// Exporting the head: the OBJ mesh, its MTL file and the baked JPEG texture side by side, or the
// same mesh and texture as glTF 2.0 (see GltfWriter.h).
#include <QString>
#include <QStringList>
#include <cstdint>

namespace vm {

class CVisomorfDoc;

struct ExportOptions {
    uint32_t width = 1024;  // texture pixels: 64, 128, 256, 512, 1024 or 2048
    uint32_t height = 1024; // equal to width
    uint32_t quality = 80;  // JPEG quality 0..100
    bool dilate = true;     // enlarge the triangles in the texture
};

// The texture side for a row of the export dialog's size list (0: 64 .. 4: 1024, else 2048).
uint32_t ExportTextureSize(int sizeIndex);

// The files an export to path writes, the named one first: "x.obj" with "x.mtl" and "x.jpg",
// "x.gltf" with "x.bin" and "x.jpg", "x.glb" alone. Throws FileException for a name whose
// extension is none of these (see ExportFormatOf).
QStringList ExportOutputs(const QString& path);

// Throws FileException, before anything is written, when the extension is unknown or one of the
// export's files exists but is not a regular file (a folder, device or FIFO) or has no folder.
void RequireExportTargets(const QString& path);

// Writes the document's displayed mesh at path in the format its extension names: ".obj" an OBJ
// with the MTL and JPEG files beside it, ".glb" one binary glTF file, ".gltf" a glTF file with
// its ".bin" and ".jpg" beside it. The targets are checked first (RequireExportTargets); then
// the texture is baked and encoded, and the files are written texture first and the named file
// last, each replacing its previous version only once complete: a failed or killed export leaves
// the previous export whole. The document is not changed. Failures: FileException for the files,
// MessageException for the codec, CDXException for mesh and bake failures.
void ExportModel(const QString& path, const CVisomorfDoc& doc, const ExportOptions& options);

// The export command once the user has chosen: the document shows `detail` for the export and
// its own level of detail again afterwards, also when the export fails (the failure then goes
// on to the caller). The modified flag is left as it was.
void ExportDocument(CVisomorfDoc& doc, const QString& path, int32_t detail,
                    const ExportOptions& options);

} // namespace vm
