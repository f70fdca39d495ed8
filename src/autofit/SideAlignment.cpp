#include "autofit/SideAlignment.h"

#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace vm {

namespace {

double MirroredX(double x, QSize photo, bool mirror) {
    return mirror ? photo.width() - 1 - x : x;
}

} // namespace

void CompleteAlignment(SideAlignment& a, QSize photo, int frontHeight) {
    const double c = a.scale * std::cos(a.roll), s = a.scale * std::sin(a.roll);
    // The turned photo's corners decide how wide the canvas must be.
    double minX = 1e300, maxX = -1e300;
    for (double x : {0.0, photo.width() - 1.0}) {
        for (double y : {0.0, photo.height() - 1.0}) {
            const double turned = c * x - s * y;
            minX = std::min(minX, turned);
            maxX = std::max(maxX, turned);
        }
    }
    // Unless asked for another shift across, the canvas holds the whole turned photo.
    const double shiftX = a.shiftX.value_or(-minX);
    a.size = QSize(std::max(1, static_cast<int>(std::ceil(maxX + shiftX)) + 1), frontHeight);
    // x' = c * xm - s * y + shiftX, y' = s * xm + c * y + shiftY, xm the mirrored x.
    double(&m)[2][3] = a.transform.m;
    if (a.mirror) {
        const double last = photo.width() - 1;
        m[0][0] = -c, m[0][1] = -s, m[0][2] = c * last + shiftX;
        m[1][0] = -s, m[1][1] = c, m[1][2] = s * last + a.shiftY;
    } else {
        m[0][0] = c, m[0][1] = -s, m[0][2] = shiftX;
        m[1][0] = s, m[1][1] = c, m[1][2] = a.shiftY;
    }
}

std::optional<SideAlignment> EstimateSideAlignment(const std::vector<HeightPair>& pairs,
                                                   QSize photo, int frontHeight, bool mirror) {
    if (pairs.size() < 2 || photo.isEmpty() || frontHeight <= 0) {
        return std::nullopt;
    }
    const bool pinned = std::any_of(pairs.begin(), pairs.end(),
                                    [](const HeightPair& p) { return p.alignedX.has_value(); });
    // Unknowns: s sin(roll), s cos(roll), the vertical shift and, when pinned, the shift across.
    const int unknowns = pinned ? 4 : 3;
    std::vector<double> rows, values;
    auto addRow = [&](std::initializer_list<double> row, double value, double weight) {
        const double w = std::sqrt(weight);
        for (double r : row) {
            rows.push_back(w * r);
        }
        values.push_back(w * value);
    };
    double sumW = 0, meanX = 0, minY = 1e300, maxY = -1e300;
    for (const HeightPair& p : pairs) {
        sumW += p.weight;
        meanX += p.weight * MirroredX(p.side.x, photo, mirror);
        minY = std::min(minY, static_cast<double>(p.frontY));
        maxY = std::max(maxY, static_cast<double>(p.frontY));
    }
    if (!(sumW > 0) || !(maxY - minY > 1)) {
        return std::nullopt;
    }
    meanX /= sumW;
    double spreadX = 0;
    for (const HeightPair& p : pairs) {
        const double x = MirroredX(p.side.x, photo, mirror), y = p.side.y;
        spreadX += p.weight * (x - meanX) * (x - meanX);
        if (pinned) {
            addRow({x, y, 1, 0}, p.frontY, p.weight);
            if (p.alignedX) {
                addRow({-y, x, 0, 1}, *p.alignedX, p.weight);
            }
        } else {
            addRow({x, y, 1}, p.frontY, p.weight);
        }
    }
    // Heights alone see the roll only through the places' spread across (the nose stands out a
    // little from the lips and the brow): half of what they suggest is taken.
    if (!pinned) {
        addRow({1, 0, 0}, 0, spreadX > 0 ? spreadX : sumW);
    }
    const int count = static_cast<int>(values.size());
    const cv::Mat a(count, unknowns, CV_64F, rows.data());
    const cv::Mat b(count, 1, CV_64F, values.data());
    cv::Mat solution;
    if (!cv::solve(a, b, solution, cv::DECOMP_SVD)) {
        return std::nullopt;
    }
    const double sinPart = solution.at<double>(0), cosPart = solution.at<double>(1);
    SideAlignment alignment;
    alignment.mirror = mirror;
    alignment.scale = std::hypot(sinPart, cosPart);
    alignment.roll = std::atan2(sinPart, cosPart);
    alignment.shiftY = solution.at<double>(2);
    if (!(alignment.scale >= kSmallestScale && alignment.scale <= kLargestScale) ||
        std::abs(alignment.roll) > kLargestRoll) {
        return std::nullopt;
    }
    // Places that disagree by more than a tenth of their span are misread, not aligned.
    double worst = 0;
    for (const HeightPair& p : pairs) {
        const double x = MirroredX(p.side.x, photo, mirror);
        worst = std::max(worst,
                         std::abs(sinPart * x + cosPart * p.side.y + alignment.shiftY - p.frontY));
    }
    if (worst > 0.1 * (maxY - minY) + 2) {
        return std::nullopt;
    }
    if (pinned) {
        alignment.shiftX = solution.at<double>(3);
    }
    CompleteAlignment(alignment, photo, frontHeight);
    return alignment;
}

SideAlignment AlignmentFromBoxes(const Box& front, const Box& side, QSize photo, int frontHeight,
                                 bool mirror) {
    SideAlignment a;
    a.mirror = mirror;
    a.scale = side.Height() > 0 ? front.Height() / side.Height() : 1.0;
    a.shiftY = front.top - a.scale * side.top;
    CompleteAlignment(a, photo, frontHeight);
    return a;
}

QImage ResampleSidePhoto(const QImage& side, const SideAlignment& a) {
    const QImage rgb = side.convertToFormat(QImage::Format_RGB888);
    const cv::Mat source(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                         static_cast<size_t>(rgb.bytesPerLine()));
    cv::Matx23d m(a.transform.m[0][0], a.transform.m[0][1], a.transform.m[0][2],
                  a.transform.m[1][0], a.transform.m[1][1], a.transform.m[1][2]);
    cv::Mat shrunk = source;
    // Bilinear sampling aliases when it shrinks; average the pixels down first, then only turn.
    const double scale = a.transform.Scale();
    if (scale < 0.9) {
        cv::resize(source, shrunk, cv::Size(), scale, scale, cv::INTER_AREA);
        const double kx = static_cast<double>(source.cols) / shrunk.cols;
        const double ky = static_cast<double>(source.rows) / shrunk.rows;
        m = cv::Matx23d(m(0, 0) * kx, m(0, 1) * ky, m(0, 2), m(1, 0) * kx, m(1, 1) * ky, m(1, 2));
    }
    QImage out(a.size, QImage::Format_RGB888);
    cv::Mat target(out.height(), out.width(), CV_8UC3, out.bits(),
                   static_cast<size_t>(out.bytesPerLine()));
    cv::warpAffine(shrunk, target, m, target.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return out.convertToFormat(QImage::Format_RGB32);
}

PhotoTransform PointTransform(const SideAlignment& a) {
    PhotoTransform t = a.transform;
    if (a.mirror) {
        const double last = a.size.width() - 1;
        for (int c = 0; c < 3; ++c) {
            t.m[0][c] = -t.m[0][c];
        }
        t.m[0][2] += last;
    }
    return t;
}

} // namespace vm
