#pragma once
// The head's outline in a profile photo, turned so that the face looks to the right.
#include "platform/core/VMath.h"

#include <QImage>
#include <QString>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

namespace vm {

struct ProfileSilhouette {
    bool facesRight = true; // which way the face looks in the photo itself
    double scale = 1;       // silhouette pixels per photo pixel
    int width = 0;          // silhouette image width (to turn positions back)
    // Photo pixels of the silhouette image's corner: the head is traced in a crop of the photo.
    float originX = 0, originY = 0;
    // Per row of the silhouette image, the foremost and hindmost head pixel (x in the turned
    // image, where the face looks right), or -1 on rows without head.
    std::vector<int> front, back;
    // Per column, the topmost head pixel, or -1.
    std::vector<int> top;
    int topRow = -1; // first row with head
    // Rows of the skin region that seeded the head (the face, often with neck and ears), or -1:
    // where the nose tip is looked for, so that hair, shoulders or clothes cannot pass for it.
    int skinTop = -1, skinBottom = -1;
    // Per row, whether the head is skin just inside its front edge: true along a face's nose,
    // hardly ever along hair at the back of a head.
    std::vector<bool> skinAtFront, skinAtBack;
};

// Photo pixels of a silhouette position (turned image) in the photo as it is, and back.
Vec2 SilhouetteToPhoto(const ProfileSilhouette& silhouette, float x, float y);
Vec2 PhotoToSilhouette(const ProfileSilhouette& silhouette, float x, float y);

// Finds the profile and its silhouette; nothing with a reason when the photo shows no profile.
// The reason names the photo as "the side photo".
std::optional<ProfileSilhouette> TraceProfile(const QImage& photo, QString& reason);

// The head cut from the whole photo against a plain background, as the photo is (facing right
// assumed), without the skin's help: for heads whose colours are no skin's, such as renders.
std::optional<ProfileSilhouette> TraceOnPlainBackground(const QImage& photo);

// The outline of a head cut from a photo (head and skin: masks of one size, 255 inside; skin
// bounds: the skin's rectangle), turned to look right when the face looks left, with where the
// skin meets its edges. Scale and origin stay at their defaults. Nothing without a head.
std::optional<ProfileSilhouette> TurnedOutline(const cv::Mat& head, const cv::Mat& skin,
                                               const cv::Rect& skinBounds, bool looksRight);

// The same silhouette as seen in the mirror.
ProfileSilhouette Mirrored(const ProfileSilhouette& silhouette);

} // namespace vm
