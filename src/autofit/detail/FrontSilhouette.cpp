#include "autofit/detail/FrontSilhouette.h"

#include "autofit/detail/DetectionImage.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace vm {

namespace {

// Small enough for GrabCut to take tens of milliseconds, large enough for an ear's edge.
constexpr int kMaskSide = 400;

std::vector<cv::Point> Scaled(const std::vector<cv::Point2f>& points, cv::Point2f middle,
                              float grow, double scale) {
    std::vector<cv::Point> out;
    for (const cv::Point2f& p : points) {
        const cv::Point2f q = middle + (p - middle) * grow;
        out.emplace_back(cvRound(q.x * scale), cvRound(q.y * scale));
    }
    return out;
}

} // namespace

std::function<bool(const Vec2&)> FrontHeadMask(const QImage& photo,
                                               const std::vector<Vec2>& landmarks) {
    if (photo.isNull() || landmarks.size() < 68) {
        return {};
    }
    double scale = 1;
    const cv::Mat colour = ColourForDetection(photo, kMaskSide, scale);
    std::vector<cv::Point2f> face;
    for (const Vec2& p : landmarks) {
        face.emplace_back(p.x, p.y);
    }
    std::vector<cv::Point2f> hull;
    cv::convexHull(face, hull);
    cv::Point2f middle(0, 0);
    for (const cv::Point2f& p : hull) {
        middle += p;
    }
    middle *= 1.0f / static_cast<float>(hull.size());

    // The inner face is head for sure; twice its size, with the forehead and the hair above
    // it, probably head; everything else probably not, and the photo's borders not at all.
    cv::Mat mask(colour.size(), CV_8UC1, cv::Scalar(cv::GC_PR_BGD));
    cv::fillConvexPoly(mask, Scaled(hull, middle, 2.0f, scale), cv::Scalar(cv::GC_PR_FGD));
    cv::fillConvexPoly(mask, Scaled(hull, middle, 0.9f, scale), cv::Scalar(cv::GC_FGD));
    const int band = std::max(2, colour.cols / 50);
    mask.rowRange(0, band).setTo(cv::GC_BGD);
    mask.colRange(0, band).setTo(cv::GC_BGD);
    mask.colRange(colour.cols - band, colour.cols).setTo(cv::GC_BGD);
    cv::Mat background, foreground;
    cv::theRNG().state = 0x5EED; // the same cut for the same photo, every time
    cv::grabCut(colour, mask, cv::Rect(), background, foreground, 3, cv::GC_INIT_WITH_MASK);
    const cv::Mat head = (mask == cv::GC_FGD) | (mask == cv::GC_PR_FGD);
    return [head, scale](const Vec2& p) {
        const int x = static_cast<int>(std::floor(p.x * scale));
        const int y = static_cast<int>(std::floor(p.y * scale));
        return x >= 0 && y >= 0 && x < head.cols && y < head.rows && head.at<uint8_t>(y, x) != 0;
    };
}

} // namespace vm
