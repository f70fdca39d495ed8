#pragma once
// Where the front photo shows the head (face, hair, ears) rather than what lies beside it.
#include "platform/core/VMath.h"

#include <QImage>
#include <functional>
#include <vector>

namespace vm {

// The head cut from the front photo's background, seeded with the face's 68 landmarks as head
// and the photo's borders as background. Answers for photo pixels; outside the photo, false.
// An empty answer (no landmarks, no photo) takes every place for head.
std::function<bool(const Vec2&)> FrontHeadMask(const QImage& photo,
                                               const std::vector<Vec2>& landmarks);

} // namespace vm
