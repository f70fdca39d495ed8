#include "autofit/SmoothWarp.h"

#include <cmath>
#include <opencv2/core.hpp>
#include <stdexcept>

namespace vm {

namespace {

// Least squares: the affine map that best carries the sources onto the targets.
void FitAffine(const std::vector<Vec2>& sources, const std::vector<Vec2>& targets,
               double affine[2][3]) {
    const int n = static_cast<int>(sources.size());
    cv::Mat a(n, 3, CV_64F), bx(n, 1, CV_64F), by(n, 1, CV_64F);
    for (int i = 0; i < n; ++i) {
        a.at<double>(i, 0) = sources[i].x;
        a.at<double>(i, 1) = sources[i].y;
        a.at<double>(i, 2) = 1;
        bx.at<double>(i) = targets[i].x;
        by.at<double>(i) = targets[i].y;
    }
    cv::Mat rowX, rowY;
    if (!cv::solve(a, bx, rowX, cv::DECOMP_SVD) || !cv::solve(a, by, rowY, cv::DECOMP_SVD))
        throw std::invalid_argument("the warp's anchors are degenerate");
    for (int c = 0; c < 3; ++c) {
        affine[0][c] = rowX.at<double>(c);
        affine[1][c] = rowY.at<double>(c);
    }
}

} // namespace

SmoothWarp::SmoothWarp(const std::vector<Vec2>& sources, const std::vector<Vec2>& targets,
                       float radius)
    : m_sources(sources), m_twoRadiusSquared(2.0 * radius * radius) {
    if (sources.size() != targets.size() || sources.size() < 3 || radius <= 0)
        throw std::invalid_argument("a warp needs three or more anchors and a positive radius");
    FitAffine(sources, targets, m_affine);
    const int n = static_cast<int>(sources.size());
    cv::Mat kernel(n, n, CV_64F), residualX(n, 1, CV_64F), residualY(n, 1, CV_64F);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            kernel.at<double>(i, j) = Kernel(sources[i], sources[j]);
        // A little stiffness keeps two anchors that nearly coincide from fighting.
        kernel.at<double>(i, i) += 1e-6;
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
