#pragma once
// The open-file dialog of Load Front and Load Side.
#include <QString>

class QWidget;

namespace vm {

class CVisomorfDoc;

// Asks for a photo file with the image filter ("All Image Files" first); the chosen path, or
// an empty string when the user cancels.
QString ChoosePhotoFile(const CVisomorfDoc& doc, int photo, QWidget* parent);
// Makes the document ask with ChoosePhotoFile when a photo is loaded.
void InstallPhotoFileDialog(CVisomorfDoc& doc, QWidget* parent);

} // namespace vm
