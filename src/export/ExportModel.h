#pragma once
// Exporting the head: the OBJ mesh, its MTL file and the baked JPEG texture side by side, or the
// same mesh and texture as glTF 2.0 (see GltfWriter.h).
#include <QString>
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

// Writes the document's displayed mesh at path in the format its extension names: ".glb" one
// binary glTF file, ".gltf" a glTF file with its ".bin" and ".jpg" beside it, anything else an
// OBJ with the MTL and JPEG files beside it. The document is not changed. Failures:
// MessageException for the file and codec messages, CDXException for mesh and bake failures;
// OBJ files written before the failure stay, glTF files are written only once all is ready.
void ExportModel(const QString& path, const CVisomorfDoc& doc, const ExportOptions& options);

// The export command once the user has chosen: the document shows `detail` for the export and
// its own level of detail again afterwards, also when the export fails (the failure then goes
// on to the caller). The modified flag is left as it was.
void ExportDocument(CVisomorfDoc& doc, const QString& path, int32_t detail,
                    const ExportOptions& options);

} // namespace vm
