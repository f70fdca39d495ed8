#pragma once
// The automatic fit of the side photo: the landmarks of the head's profile outline (nose tip,
// the hollows above and below it, lips, chin, the crown; the back of the head) carry the generic
// head's side feature points onto the photo.
#include "autofit/FaceLandmarks.h"
#include "autofit/PhotoFit.h"
#include "autofit/detail/ProfileSilhouette.h"

namespace vm {

constexpr size_t kGenericSidePointCount = 124;

namespace sidepoints {
// Side feature points of the default set that the profile's landmarks place.
// The hollow under the nose is the philtrum's groove just below the columella (85), not the
// columella's base (79), which sits higher on the slope of the nose's underside.
inline constexpr int kTop = 0, kNasion = 23, kNoseTip = 72, kBelowNose = 85, kUpperLip = 92,
                     kLabiomental = 100, kChin = 107;
// The face's outline from the forehead to below the chin, snapped sideways onto the profile.
inline constexpr int kFaceOutline[] = {24, 30, 35, 23, 28, 33, 44, 52, 55,  60,
                                       68, 72, 79, 85, 88, 92, 93, 97, 100, 107};
// The back of the head, snapped sideways onto the silhouette's back edge.
inline constexpr int kBackOutline[] = {6, 4, 16, 32, 37, 57, 74, 84};
// The crown, snapped upwards onto the silhouette's top edge.
inline constexpr int kTopOutline[] = {3, 1, 0, 5, 2};
} // namespace sidepoints

// Places on a profile outline, in silhouette pixels of the turned image (face looking right).
struct ProfileLandmarks {
    cv::Point top, nasion, noseTip, subnasale, upperLip, labiomental, chin;
};

// The outline's landmarks, or nothing when the outline has no nose that stands out. noseDrop:
// how far the nose tip lies below the crown (photo pixels) when known, else 0.
std::optional<ProfileLandmarks> FindProfileLandmarks(const ProfileSilhouette& silhouette,
                                                     float noseDrop = 0);

// A profile found in a photo: its outline (turned so that the face looks right) and landmarks.
struct ProfileReading {
    ProfileSilhouette silhouette;
    ProfileLandmarks landmarks;
    bool guessed = false; // the landmarks come from the head's proportions, not the outline
};

// Finds the profile in a side photo, either way round; nothing with the reason when the photo
// shows none. landmarker: used to refuse a photo that shows a face from the front. noseDrop: as
// for FindProfileLandmarks.
std::optional<ProfileReading> ReadProfile(const QImage& photo, const FaceLandmarker& landmarker,
                                          QString& reason, float noseDrop = 0);
// The same for a profile traced already (TraceProfile, with its reason when it found none), so
// that the costly tracing can run beside other work.
std::optional<ProfileReading> ReadTracedProfile(const QImage& photo,
                                                const std::optional<ProfileSilhouette>& traced,
                                                const QString& traceReason,
                                                const FaceLandmarker& landmarker, QString& reason,
                                                float noseDrop = 0);

// A place of the silhouette (turned image) in pixels of the photo as it is.
Vec2 ProfileToPhoto(const ProfileSilhouette& silhouette, const cv::Point& place);

// current: the side feature point positions now (photo pixels, the generic head's layout).
// leftSide: the document's Left Side setting (its side photo shows a face looking left).
// landmarker: used to refuse a photo that shows a face from the front.
PhotoFit FitSidePhoto(const QImage& photo, const std::vector<Vec2>& current, bool leftSide,
                      const FaceLandmarker& landmarker);

// The fit for a silhouette already traced (photo pixels out), for tests and the evaluation.
PhotoFit FitSideSilhouette(const ProfileSilhouette& silhouette, const std::vector<Vec2>& current,
                           bool leftSide);

} // namespace vm
