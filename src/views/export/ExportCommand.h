#pragma once
// File > Export: asks for the file and the options, then writes the OBJ, MTL and JPEG files at
// the chosen detail and puts the document's own detail back.
#include "export/ExportModel.h"

class QWidget;

namespace vm {

class CVisomorfDoc;
class CExportDlg;

// What the dialog's choices ask of the export: texture side from the size row, JPEG quality from
// the slider, triangles enlarged in the texture.
ExportOptions ChosenExportOptions(const CExportDlg& dialog);

void RunExportCommand(CVisomorfDoc& doc, QWidget* parent);

} // namespace vm
