#include "autofit/FrontFit.h"

#include "autofit/SmoothWarp.h"
#include "autofit/detail/DetectionImage.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace vm {

namespace {

// Detection runs on a copy whose longer side is this many pixels, so that a 24-megapixel photo
// costs what a small one does; a second, larger try finds faces that fill little of the photo.
constexpr int kDetectionSide = 800;
constexpr int kSecondTrySide = 1600;
constexpr float kSmallestFace = 80; // photo pixels of face width that the landmarks need
constexpr int kSmallestPhoto = 64;

// A front feature point of the generic head and the landmarks whose mean is its place.
struct LandmarkAnchor {
    int point;
    std::initializer_list<int> landmarks;
};

// The table of front points that a landmark places (indices of the default feature set; the
// left eye is the one on the left of the photo, as the landmarks count too).
const LandmarkAnchor kAnchors[] = {
    // Left eye: outer and inner corner, middle of the upper and lower lid.
    {49, {36}},
    {51, {39}},
    {41, {37, 38}},
    {63, {40, 41}},
    // Right eye.
    {52, {42}},
    {50, {45}},
    {42, {43, 44}},
    {64, {46, 47}},
    // Brow ridge: outer ends, middles, inner ends and the middle between the brows.
    {32, {17}},
    {24, {19}},
    {22, {21}},
    {36, {21, 22}},
    {23, {22}},
    {25, {24}},
    {33, {26}},
    // Nose: tip, the point below it, and the wings.
    {86, {30}},
    {102, {33}},
    {100, {31}},
    {101, {35}},
    // Lips: corners, top and bottom middle; the lip line between them.
    {124, {48}},
    {125, {54}},
    {113, {51}},
    {132, {57}},
    {137, {60}},
    {138, {64}},
    {141, {62, 66}},
    // The chin: the ends of the jaw lines either side of its middle (below them the head runs
    // on into the neck, which no landmark sees).
    {150, {7, 8}},
    {151, {8, 9}},
};

// Outline points of the lower face that the jaw contour (landmarks 0 .. 16) places: left of the
// photo, then right.
const int kLeftOutline[] = {98, 122, 146};
const int kRightOutline[] = {99, 123, 147};

Vec2 MeanOf(const DetectedFace& face, std::initializer_list<int> landmarks) {
    Vec2 sum;
    for (int l : landmarks) {
        sum.x += face.landmarks[static_cast<size_t>(l)].x;
        sum.y += face.landmarks[static_cast<size_t>(l)].y;
    }
    const auto n = static_cast<float>(landmarks.size());
    return {sum.x / n, sum.y / n};
}

float Distance(const Vec2& a, const Vec2& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The point of the polyline of landmarks first .. last nearest to p (photo pixels). Nearest
// rather than level with p: towards the chin the contour turns nearly flat, where a point's
// height says little about how far out it belongs.
Vec2 NearestOnContour(const DetectedFace& face, int first, int last, const Vec2& p) {
    const int step = last > first ? 1 : -1;
    Vec2 best = face.landmarks[static_cast<size_t>(first)];
    for (int i = first; i != last; i += step) {
        const Vec2 a = face.landmarks[static_cast<size_t>(i)];
        const Vec2 b = face.landmarks[static_cast<size_t>(i + step)];
        const float dx = b.x - a.x, dy = b.y - a.y;
        const float length = dx * dx + dy * dy;
        const float t = length > 0
                            ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0f, 1.0f)
                            : 0.0f;
        const Vec2 q{a.x + t * dx, a.y + t * dy};
        if (Distance(q, p) < Distance(best, p)) {
            best = q;
        }
    }
    return best;
}

Box Translated(const Box& r, double scale) {
    const auto s = static_cast<float>(1.0 / scale);
    return {r.left * s, r.top * s, r.right * s, r.bottom * s};
}

} // namespace

std::optional<DetectedFace> FindLargestFace(const QImage& photo, const FaceLandmarker& landmarker,
                                            int& faceCount, bool thorough) {
    faceCount = 0;
    for (int side : {kDetectionSide, kSecondTrySide}) {
        double scale = 1;
        const cv::Mat grey = GreyForDetection(photo, side, scale);
        std::vector<DetectedFace> faces = landmarker.Detect(GreyOf(grey));
        if (!faces.empty()) {
            faceCount = static_cast<int>(faces.size());
            DetectedFace face = faces.front();
            const auto s = static_cast<float>(1.0 / scale);
            face.box = Translated(face.box, scale);
            for (Vec2& p : face.landmarks) {
                p = {(p.x + 0.5f) * s - 0.5f, (p.y + 0.5f) * s - 0.5f};
            }
            return face;
        }
        if (scale >= 1.0 || !thorough) {
            break; // the photo was searched at full size already
        }
    }
    return std::nullopt;
}

PhotoFit FitFrontLandmarks(const DetectedFace& face, const std::vector<Vec2>& current) {
    if (current.size() != kGenericFrontPointCount) {
        return PhotoFit::Failed(
            QStringLiteral("the document's front feature points are not the generic head's "
                           "(%1 points instead of %2)")
                .arg(current.size())
                .arg(kGenericFrontPointCount));
    }
    std::vector<Vec2> sources, targets;
    for (const LandmarkAnchor& anchor : kAnchors) {
        sources.push_back(current[static_cast<size_t>(anchor.point)]);
        targets.push_back(MeanOf(face, anchor.landmarks));
    }
    // The corrections reach about one eye width: enough to bend the face between its features,
    // too little to disturb the head's outline.
    const float radius = 0.35f * Distance(current[49], current[50]);
    const SmoothWarp first(sources, targets, radius);
    // Second pass: the lower face's outline points move onto the jaw contour.
    const std::pair<const int*, int> sides[] = {{kLeftOutline, 0}, {kRightOutline, 16}};
    for (const auto& [points, contourStart] : sides) {
        for (int k = 0; k < 3; ++k) {
            const Vec2 source = current[static_cast<size_t>(points[k])];
            sources.push_back(source);
            targets.push_back(NearestOnContour(face, contourStart, 8, first.Map(source)));
        }
    }
    const SmoothWarp warp(sources, targets, radius);
    PhotoFit fit;
    for (const Vec2& p : current) {
        fit.targets.push_back(warp.Map(p));
    }
    fit.box = BoundingBox(fit.targets);
    fit.landmarks.assign(face.landmarks.begin(), face.landmarks.end());
    fit.confidence = static_cast<float>(std::clamp(face.score / 2.0, 0.05, 1.0));
    fit.fitted = true;
    return fit;
}

PhotoFit FitFrontPhoto(const QImage& photo, const std::vector<Vec2>& current,
                       const FaceLandmarker& landmarker) {
    if (photo.isNull()) {
        return PhotoFit::Failed(QStringLiteral("there is no front photo"));
    }
    if (std::min(photo.width(), photo.height()) < kSmallestPhoto) {
        return PhotoFit::Failed(
            QStringLiteral("the front photo is too small (%1 x %2 pixels) to find a face in")
                .arg(photo.width())
                .arg(photo.height()));
    }
    int faceCount = 0;
    const std::optional<DetectedFace> face = FindLargestFace(photo, landmarker, faceCount);
    if (!face) {
        return PhotoFit::Failed(QStringLiteral("no face found in the front photo"));
    }
    if (face->box.Width() < kSmallestFace) {
        return PhotoFit::Failed(QStringLiteral("the face in the front photo is too small (%1 "
                                               "pixels wide; at least %2 are needed)")
                                    .arg(std::lround(face->box.Width()))
                                    .arg(kSmallestFace));
    }
    PhotoFit fit = FitFrontLandmarks(*face, current);
    if (fit.fitted && faceCount > 1) {
        fit.notes << QStringLiteral("%1 faces found in the front photo; the largest was used")
                         .arg(faceCount);
    }
    return fit;
}

} // namespace vm
