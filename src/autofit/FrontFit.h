#pragma once
// The automatic fit of the front photo: a frontal face's landmarks carry the generic head's
// front feature points onto the face.
#include "autofit/FaceLandmarks.h"
#include "autofit/PhotoFit.h"

#include <optional>

namespace vm {

// Number of front feature points of the generic head, the set the landmark table describes.
constexpr size_t kGenericFrontPointCount = 157;

// current: the photo's feature point positions now (photo pixels, the generic head's layout);
// the fit warps them so that the mapped points land on their landmarks.
PhotoFit FitFrontPhoto(const QImage& photo, const std::vector<Vec2>& current,
                       const FaceLandmarker& landmarker);

// The landmarks of the largest frontal face in a photo, in photo pixels; the number of faces
// found goes to faceCount. Empty when there is none. thorough: when the first, quick search
// finds nothing, search again at twice the size for faces that fill little of the photo.
std::optional<DetectedFace> FindLargestFace(const QImage& photo, const FaceLandmarker& landmarker,
                                            int& faceCount, bool thorough = true);

// The target positions for a face's landmarks (photo pixels), exposed for the evaluation.
PhotoFit FitFrontLandmarks(const DetectedFace& face, const std::vector<Vec2>& current);

} // namespace vm
