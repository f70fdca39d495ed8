#include "views/photo/MagnifierGeometry.h"

#include <cmath>

namespace vm {

QPoint MagnifierOrigin(QPointF photoPoint, float magnification, QSize magnifierSize) {
    const auto x = static_cast<int>(std::trunc(static_cast<float>(photoPoint.x()) * magnification));
    const auto y = static_cast<int>(std::trunc(static_cast<float>(photoPoint.y()) * magnification));
    return {x - magnifierSize.width() / 2, y - magnifierSize.height() / 2};
}

} // namespace vm
