#pragma once
// How closely one face picture matches another, given 68 landmarks on each (the common 68-point
// annotation): the landmarks are aligned by the similarity (scale, rotation, shift) that fits
// them best in the least-squares sense, then compared point by point and, inside the inner
// face, pixel by pixel.
#include "platform/core/VMath.h"

#include <array>
#include <opencv2/core.hpp>
#include <vector>

namespace vm {

using Landmarks = std::array<Vec2, 68>;

// q = scale * R(angle) * p + shift, as a 2x3 matrix for OpenCV's warps.
struct Similarity {
    double a = 1, b = 0; // scale * cos(angle), scale * sin(angle)
    double tx = 0, ty = 0;

    Vec2 Apply(const Vec2& p) const;
    double Scale() const;
    double AngleDegrees() const;
    cv::Mat Matrix() const;
};

// The similarity that maps from onto to with the least sum of squared distances; mirror images
// are not allowed. Needs at least two distinct points in from.
Similarity FitSimilarity(const std::vector<Vec2>& from, const std::vector<Vec2>& to);

// The mean distance between mapped render landmarks and photo landmarks, in percent of the
// photo's outer-eye-corner distance (points 36 and 45).
double MeanLandmarkError(const Landmarks& photo, const Landmarks& render, const Similarity& map);

// The inner face: the convex hull of landmarks 17 to 67 (brows, nose, eyes, mouth), filled,
// 255 inside, in a picture of the given size.
cv::Mat InnerFaceMask(const Landmarks& landmarks, cv::Size size);

// Pearson's correlation of two grey pictures of one size (CV_8UC1) over the mask's non-zero
// pixels; NaN when fewer than two pixels count or either picture is flat there.
double MaskedCorrelation(const cv::Mat& a, const cv::Mat& b, const cv::Mat& mask);

struct FaceComparison {
    Similarity renderToPhoto;
    double errorPercent = 0;
    double correlation = 0;
    cv::Mat warped; // the render in the photo's frame (grey), for looking at
};

// Aligns the render's landmarks to the photo's, measures the landmark error and the correlation
// of the render warped onto the photo inside the photo's inner face. background fills what the
// render does not cover. Both pictures are grey (CV_8UC1).
FaceComparison CompareFaces(const cv::Mat& photo, const Landmarks& photoLandmarks,
                            const cv::Mat& render, const Landmarks& renderLandmarks,
                            int background = 128);

// The picture `from` carried onto another face: each triangle of the landmarks (a Delaunay
// triangulation of `to`) is mapped affinely from its place in `from` to its place in `to`.
// Only the landmarks' hull is filled; the rest is `background`. Grey pictures (CV_8UC1).
cv::Mat WarpThroughLandmarks(const cv::Mat& from, const Landmarks& fromLandmarks,
                             const Landmarks& toLandmarks, cv::Size size, int background = 128);

// What a head textured from the front photo can score at most against a turned photo: the front
// photo itself, carried through the 68 landmarks onto the turned photo's, compared inside the
// turned photo's inner face. It has every landmark in place, so only the shading and what lies
// between the landmarks differ from the turned photo.
double FrontPhotoCeiling(const cv::Mat& front, const Landmarks& frontLandmarks,
                         const cv::Mat& turned, const Landmarks& turnedLandmarks,
                         int background = 128);

} // namespace vm
