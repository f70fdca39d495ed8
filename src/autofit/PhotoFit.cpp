#include "autofit/PhotoFit.h"

#include <algorithm>
#include <stdexcept>

namespace vm {

Box BoundingBox(const std::vector<Vec2>& positions) {
    if (positions.empty()) {
        throw std::invalid_argument("no positions to bound");
    }
    Box box{positions[0].x, positions[0].y, positions[0].x, positions[0].y};
    for (const Vec2& p : positions) {
        box.left = std::min(box.left, p.x);
        box.top = std::min(box.top, p.y);
        box.right = std::max(box.right, p.x);
        box.bottom = std::max(box.bottom, p.y);
    }
    return box;
}

} // namespace vm
