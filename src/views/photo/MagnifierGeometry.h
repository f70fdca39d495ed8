#pragma once
// Which part of a photo the magnifier shows.
#include <QPoint>
#include <QPointF>
#include <QSize>

namespace vm {

// The drawing origin (magnifier pixels) that puts photoPoint (photo pixels) in the middle of a
// magnifier of the given size at the given magnification (magnifier pixels per photo pixel).
QPoint MagnifierOrigin(QPointF photoPoint, float magnification, QSize magnifierSize);

} // namespace vm
