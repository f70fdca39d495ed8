#pragma once
// Image readers fill a picture whose data was cut short (an interrupted copy or download) with
// grey or transparent rows instead of failing. Such a photo must be refused, not measured and
// textured half empty, so the data's own structure is walked to see whether it reaches its end.
#include <QByteArray>

namespace vm {

// PNG: every chunk is whole, up to and including IEND.
bool PngIsComplete(const QByteArray& png);

// GIF: the header, colour tables and every block, with its chain of data sub-blocks, are whole.
// Data ending at a block boundary counts as complete also without the trailer byte, which some
// writers leave out; data that stops inside a block does not.
bool GifIsComplete(const QByteArray& gif);

} // namespace vm
