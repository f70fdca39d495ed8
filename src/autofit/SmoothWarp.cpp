#include "autofit/SmoothWarp.h"

#include <cmath>
#include <opencv2/core.hpp>
#include <stdexcept>

namespace vm {

namespace {

// Anchors land within about this fraction of their correction of their targets.
constexpr double kStiffness = 1e-3;

// Least squares: the map of scale, turn and shift that best carries the sources onto the
// targets. It keeps the head's proportions, so the crown and the ears, which no anchor places,
// grow with the face as a whole rather than with its height or width alone.
void FitSimilarity(const std::vector<Vec2>& sources, const std::vector<Vec2>& targets,
                   double affine[2][3]) {
    const int n = static_cast<int>(sources.size());
    cv::Mat a(2 * n, 4, CV_64F), b(2 * n, 1, CV_64F);
    for (int i = 0; i < n; ++i) {
        const double x = sources[i].x, y = sources[i].y;
        const double rows[2][4] = {{x, -y, 1, 0}, {y, x, 0, 1}};
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 4; ++c) {
                a.at<double>(2 * i + r, c) = rows[r][c];
            }
        }
        b.at<double>(2 * i) = targets[i].x;
        b.at<double>(2 * i + 1) = targets[i].y;
    }
    cv::Mat m;
    if (!cv::solve(a, b, m, cv::DECOMP_SVD)) {
        throw std::invalid_argument("the warp's anchors are degenerate");
    }
    const double scaleCos = m.at<double>(0), scaleSin = m.at<double>(1);
    affine[0][0] = scaleCos;
    affine[0][1] = -scaleSin;
    affine[0][2] = m.at<double>(2);
    affine[1][0] = scaleSin;
    affine[1][1] = scaleCos;
    affine[1][2] = m.at<double>(3);
}

// Least squares, each axis on its own: x' = a x + b, y' = c y + d.
void FitAxisScales(const std::vector<Vec2>& sources, const std::vector<Vec2>& targets,
                   double affine[2][3]) {
    const int n = static_cast<int>(sources.size());
    for (int axis = 0; axis < 2; ++axis) {
        cv::Mat a(n, 2, CV_64F), b(n, 1, CV_64F);
        for (int i = 0; i < n; ++i) {
            a.at<double>(i, 0) = axis == 0 ? sources[i].x : sources[i].y;
            a.at<double>(i, 1) = 1;
            b.at<double>(i) = axis == 0 ? targets[i].x : targets[i].y;
        }
        cv::Mat m;
        if (!cv::solve(a, b, m, cv::DECOMP_SVD)) {
            throw std::invalid_argument("the warp's anchors are degenerate");
        }
        affine[axis][0] = axis == 0 ? m.at<double>(0) : 0;
        affine[axis][1] = axis == 1 ? m.at<double>(0) : 0;
        affine[axis][2] = m.at<double>(1);
    }
}

} // namespace

SmoothWarp::SmoothWarp(const std::vector<Vec2>& sources, const std::vector<Vec2>& targets,
                       float radius, FarField farField)
    : m_sources(sources), m_twoRadiusSquared(2.0 * radius * radius) {
    if (sources.size() != targets.size() || sources.size() < 3 || radius <= 0) {
        throw std::invalid_argument("a warp needs three or more anchors and a positive radius");
    }
    if (farField == FarField::Similarity) {
        FitSimilarity(sources, targets, m_affine);
    } else {
        FitAxisScales(sources, targets, m_affine);
    }
    const int n = static_cast<int>(sources.size());
    cv::Mat kernel(n, n, CV_64F), residualX(n, 1, CV_64F), residualY(n, 1, CV_64F);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            kernel.at<double>(i, j) = Kernel(sources[i], sources[j]);
        }
        // A little stiffness keeps two anchors that nearly coincide from fighting with huge
        // opposite bumps whose leftovers would reach across the whole head.
        kernel.at<double>(i, i) += kStiffness;
        residualX.at<double>(i) = targets[i].x - (m_affine[0][0] * sources[i].x +
                                                  m_affine[0][1] * sources[i].y + m_affine[0][2]);
        residualY.at<double>(i) = targets[i].y - (m_affine[1][0] * sources[i].x +
                                                  m_affine[1][1] * sources[i].y + m_affine[1][2]);
    }
    cv::Mat cx, cy;
    cv::solve(kernel, residualX, cx, cv::DECOMP_SVD);
    cv::solve(kernel, residualY, cy, cv::DECOMP_SVD);
    m_bumpX.assign(cx.begin<double>(), cx.end<double>());
    m_bumpY.assign(cy.begin<double>(), cy.end<double>());
}

double SmoothWarp::Kernel(const Vec2& a, const Vec2& b) const {
    const double dx = a.x - b.x, dy = a.y - b.y;
    return std::exp(-(dx * dx + dy * dy) / m_twoRadiusSquared);
}

Vec2 SmoothWarp::Map(const Vec2& source) const {
    double x = m_affine[0][0] * source.x + m_affine[0][1] * source.y + m_affine[0][2];
    double y = m_affine[1][0] * source.x + m_affine[1][1] * source.y + m_affine[1][2];
    for (size_t i = 0; i < m_sources.size(); ++i) {
        const double k = Kernel(source, m_sources[i]);
        x += m_bumpX[i] * k;
        y += m_bumpY[i] * k;
    }
    return {static_cast<float>(x), static_cast<float>(y)};
}

} // namespace vm
