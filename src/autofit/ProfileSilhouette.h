#pragma once
// The head's outline in a profile photo, turned so that the face looks to the right.
#include <QImage>
#include <QString>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

namespace vm {

struct ProfileSilhouette {
    bool facesRight = true;    // which way the face looks in the photo itself
    bool cascadeFound = false; // the profile detector saw the face (else the outline alone told)
    double scale = 1;          // silhouette pixels per photo pixel
    int width = 0;             // silhouette image width (to turn positions back)
    // Per row of the silhouette image, the foremost and hindmost head pixel (x in the turned
    // image, where the face looks right), or -1 on rows without head.
    std::vector<int> front, back;
    // Per column, the topmost head pixel, or -1.
    std::vector<int> top;
    int topRow = -1; // first row with head
    // Rows of the profile detector's face box (silhouette pixels), or -1 without a detection:
    // where the nose tip is looked for, so that shoulders or a chin thrust forward cannot pass
    // for it.
    int faceTop = -1, faceBottom = -1;
};

// Finds the profile and its silhouette; nothing with a reason when the photo shows no profile.
// The reason names the photo as "the side photo".
std::optional<ProfileSilhouette> TraceProfile(const QImage& photo, QString& reason);

// Where the profile detector's model is looked for: $VISOMORF_PROFILE_CASCADE when set, else the
// place Debian's opencv-data installs it.
QString ProfileCascadePath();

} // namespace vm
