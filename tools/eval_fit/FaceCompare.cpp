#include "FaceCompare.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <opencv2/imgproc.hpp>
#include <stdexcept>

namespace vm {

Vec2 Similarity::Apply(const Vec2& p) const {
    return {static_cast<float>(a * p.x - b * p.y + tx), static_cast<float>(b * p.x + a * p.y + ty)};
}

double Similarity::Scale() const {
    return std::hypot(a, b);
}

double Similarity::AngleDegrees() const {
    return std::atan2(b, a) * 180.0 / std::numbers::pi;
}

cv::Mat Similarity::Matrix() const {
    return (cv::Mat_<double>(2, 3) << a, -b, tx, b, a, ty);
}

Similarity FitSimilarity(const std::vector<Vec2>& from, const std::vector<Vec2>& to) {
    if (from.size() != to.size() || from.size() < 2) {
        throw std::invalid_argument("a similarity needs two or more pairs of points");
    }
    const double n = static_cast<double>(from.size());
    double fx = 0, fy = 0, gx = 0, gy = 0;
    for (size_t i = 0; i < from.size(); ++i) {
        fx += from[i].x, fy += from[i].y;
        gx += to[i].x, gy += to[i].y;
    }
    fx /= n, fy /= n, gx /= n, gy /= n;
    // With both sets centred, the best a and b are the projections of the targets onto the
    // sources and onto the sources turned by 90 degrees.
    double dot = 0, cross = 0, norm = 0;
    for (size_t i = 0; i < from.size(); ++i) {
        const double px = from[i].x - fx, py = from[i].y - fy;
        const double qx = to[i].x - gx, qy = to[i].y - gy;
        dot += px * qx + py * qy;
        cross += px * qy - py * qx;
        norm += px * px + py * py;
    }
    if (!(norm > 0)) {
        throw std::invalid_argument("a similarity needs two distinct points");
    }
    Similarity s;
    s.a = dot / norm;
    s.b = cross / norm;
    s.tx = gx - (s.a * fx - s.b * fy);
    s.ty = gy - (s.b * fx + s.a * fy);
    return s;
}

double MeanLandmarkError(const Landmarks& photo, const Landmarks& render, const Similarity& map) {
    const double eyes = std::hypot(photo[45].x - photo[36].x, photo[45].y - photo[36].y);
    if (!(eyes > 0)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    double sum = 0;
    for (size_t i = 0; i < photo.size(); ++i) {
        const Vec2 q = map.Apply(render[i]);
        sum += std::hypot(q.x - photo[i].x, q.y - photo[i].y);
    }
    return 100.0 * sum / static_cast<double>(photo.size()) / eyes;
}

cv::Mat InnerFaceMask(const Landmarks& landmarks, cv::Size size) {
    std::vector<cv::Point> points;
    for (size_t i = 17; i < landmarks.size(); ++i) {
        points.emplace_back(cvRound(landmarks[i].x), cvRound(landmarks[i].y));
    }
    std::vector<cv::Point> hull;
    cv::convexHull(points, hull);
    cv::Mat mask = cv::Mat::zeros(size, CV_8UC1);
    cv::fillConvexPoly(mask, hull, cv::Scalar(255));
    return mask;
}

double MaskedCorrelation(const cv::Mat& a, const cv::Mat& b, const cv::Mat& mask) {
    CV_Assert(a.type() == CV_8UC1 && b.type() == CV_8UC1 && mask.type() == CV_8UC1);
    CV_Assert(a.size() == b.size() && a.size() == mask.size());
    double n = 0, sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (int y = 0; y < a.rows; ++y) {
        const uchar* pa = a.ptr<uchar>(y);
        const uchar* pb = b.ptr<uchar>(y);
        const uchar* pm = mask.ptr<uchar>(y);
        for (int x = 0; x < a.cols; ++x) {
            if (pm[x] == 0) {
                continue;
            }
            const double va = pa[x], vb = pb[x];
            n += 1, sa += va, sb += vb;
            saa += va * va, sbb += vb * vb, sab += va * vb;
        }
    }
    if (n < 2) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const double covariance = sab - sa * sb / n;
    const double varianceA = saa - sa * sa / n, varianceB = sbb - sb * sb / n;
    if (!(varianceA > 0) || !(varianceB > 0)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return covariance / std::sqrt(varianceA * varianceB);
}

FaceComparison CompareFaces(const cv::Mat& photo, const Landmarks& photoLandmarks,
                            const cv::Mat& render, const Landmarks& renderLandmarks,
                            int background) {
    FaceComparison result;
    result.renderToPhoto =
        FitSimilarity(std::vector<Vec2>(renderLandmarks.begin(), renderLandmarks.end()),
                      std::vector<Vec2>(photoLandmarks.begin(), photoLandmarks.end()));
    result.errorPercent = MeanLandmarkError(photoLandmarks, renderLandmarks, result.renderToPhoto);
    cv::warpAffine(render, result.warped, result.renderToPhoto.Matrix(), photo.size(),
                   cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(background));
    result.correlation =
        MaskedCorrelation(photo, result.warped, InnerFaceMask(photoLandmarks, photo.size()));
    return result;
}

cv::Mat WarpThroughLandmarks(const cv::Mat& from, const Landmarks& fromLandmarks,
                             const Landmarks& toLandmarks, cv::Size size, int background) {
    CV_Assert(from.type() == CV_8UC1);
    cv::Mat out(size, CV_8UC1, cv::Scalar(background));
    // The triangulation needs its points inside its rectangle; landmarks may lie a little
    // outside the picture, so the rectangle spans them all.
    float left = 0, top = 0, right = static_cast<float>(size.width),
          bottom = static_cast<float>(size.height);
    for (const Vec2& p : toLandmarks) {
        left = std::min(left, p.x - 1), top = std::min(top, p.y - 1);
        right = std::max(right, p.x + 1), bottom = std::max(bottom, p.y + 1);
    }
    cv::Subdiv2D subdivision(
        cv::Rect(cvFloor(left), cvFloor(top), cvCeil(right - left) + 1, cvCeil(bottom - top) + 1));
    // Vertex ids of the subdivision start after its four outer corners.
    constexpr int kFirstId = 4;
    for (const Vec2& p : toLandmarks) {
        subdivision.insert(cv::Point2f(p.x, p.y));
    }
    std::vector<cv::Vec6f> triangles;
    subdivision.getTriangleList(triangles);
    for (const cv::Vec6f& t : triangles) {
        cv::Point2f source[3], target[3];
        bool inside = true;
        for (int k = 0; k < 3 && inside; ++k) {
            int id = 0, edge = 0;
            const cv::Point2f corner(t[2 * k], t[2 * k + 1]);
            if (subdivision.locate(corner, edge, id) != cv::Subdiv2D::PTLOC_VERTEX ||
                id < kFirstId) {
                inside = false;
                break;
            }
            const size_t index = static_cast<size_t>(id - kFirstId);
            target[k] = {toLandmarks[index].x, toLandmarks[index].y};
            source[k] = {fromLandmarks[index].x, fromLandmarks[index].y};
        }
        if (!inside) {
            continue;
        }
        // Only the triangle's own rectangle is warped.
        const cv::Rect box = cv::boundingRect(std::vector<cv::Point2f>(target, target + 3)) &
                             cv::Rect(0, 0, size.width, size.height);
        if (box.empty()) {
            continue;
        }
        cv::Point2f local[3];
        cv::Point corners[3];
        for (int k = 0; k < 3; ++k) {
            local[k] =
                target[k] - cv::Point2f(static_cast<float>(box.x), static_cast<float>(box.y));
            corners[k] = {cvRound(local[k].x), cvRound(local[k].y)};
        }
        cv::Mat warped;
        cv::warpAffine(from, warped, cv::getAffineTransform(source, local), box.size(),
                       cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(background));
        cv::Mat triangle = cv::Mat::zeros(box.size(), CV_8UC1);
        cv::fillConvexPoly(triangle, corners, 3, cv::Scalar(255));
        cv::Mat part = out(box);
        warped.copyTo(part, triangle);
    }
    return out;
}

double FrontPhotoCeiling(const cv::Mat& front, const Landmarks& frontLandmarks,
                         const cv::Mat& turned, const Landmarks& turnedLandmarks, int background) {
    const cv::Mat carried =
        WarpThroughLandmarks(front, frontLandmarks, turnedLandmarks, turned.size(), background);
    return MaskedCorrelation(turned, carried, InnerFaceMask(turnedLandmarks, turned.size()));
}

} // namespace vm
