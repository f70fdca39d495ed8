#pragma once
// Exporting the head: the OBJ mesh, its MTL file and the baked JPEG texture, side by side.
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

// Writes the document's displayed mesh at objPath with the MTL and JPEG files beside it. The
// document is not changed. Failures: MessageException for the file and codec messages,
// CDXException for mesh and bake failures; files written before the failure stay.
void ExportModel(const QString& objPath, const CVisomorfDoc& doc, const ExportOptions& options);

// The export command once the user has chosen: the document shows `detail` for the export and
// its own level of detail again afterwards, also when the export fails (the failure then goes
// on to the caller). The modified flag is left as it was.
void ExportDocument(CVisomorfDoc& doc, const QString& objPath, int32_t detail,
                    const ExportOptions& options);

} // namespace vm
