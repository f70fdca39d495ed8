#pragma once
// The automatic fit of the side photo: the landmarks of the head's profile outline (nose tip,
// the hollows above and below it, lips, chin, the crown; the back of the head) carry the generic
// head's side feature points onto the photo.
#include "autofit/FaceLandmarks.h"
#include "autofit/PhotoFit.h"
#include "autofit/ProfileSilhouette.h"

namespace vm {

constexpr size_t kGenericSidePointCount = 124;

// Places on a profile outline, in silhouette pixels of the turned image (face looking right).
struct ProfileLandmarks {
    cv::Point top, nasion, noseTip, subnasale, upperLip, labiomental, chin;
};

// The outline's landmarks, or nothing when the outline has no nose that stands out.
std::optional<ProfileLandmarks> FindProfileLandmarks(const ProfileSilhouette& silhouette);

// The same silhouette as seen in the mirror.
ProfileSilhouette Mirrored(const ProfileSilhouette& silhouette);

// current: the side feature point positions now (photo pixels, the generic head's layout).
// leftSide: the document's Left Side setting (its side photo shows a face looking left).
// landmarker: used to refuse a photo that shows a face from the front.
PhotoFit FitSidePhoto(const QImage& photo, const std::vector<Vec2>& current, bool leftSide,
                      const FaceLandmarker& landmarker);

// The fit for a silhouette already traced (photo pixels out), for tests and the evaluation.
PhotoFit FitSideSilhouette(const ProfileSilhouette& silhouette, const QSize& photoSize,
                           const std::vector<Vec2>& current, bool leftSide);

} // namespace vm
