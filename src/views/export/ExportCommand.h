#pragma once
// File > Export: asks for the file and the options, then writes the OBJ, MTL and JPEG files at
// the chosen detail and puts the document's own detail back.
class QWidget;

namespace vm {

class CVisomorfDoc;

void RunExportCommand(CVisomorfDoc& doc, QWidget* parent);

} // namespace vm
