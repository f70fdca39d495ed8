#pragma once
// Photos as the detectors read them: OpenCV images, shrunk for speed. Inside the automatic fit
// only; its public headers speak of QImage, Box and Vec2.
#include "autofit/FaceLandmarks.h"

#include <QImage>
#include <opencv2/core.hpp>

namespace vm {

// The photo in grey, scaled down so that its longer side is at most maxSide pixels.
// scale: detection pixels per photo pixel (at most 1).
cv::Mat GreyForDetection(const QImage& photo, int maxSide, double& scale);
// The same for the colour version (3 channels, BGR).
cv::Mat ColourForDetection(const QImage& photo, int maxSide, double& scale);

// A grey image's pixels for the face detector, without copying them.
inline GreyImage GreyOf(const cv::Mat& grey) {
    CV_Assert(grey.type() == CV_8UC1);
    return {grey.data, grey.cols, grey.rows, grey.step};
}

} // namespace vm
