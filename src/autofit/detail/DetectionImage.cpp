#include "autofit/detail/DetectionImage.h"

#include <QSysInfo>
#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace vm {

namespace {

double ScaleFor(const QImage& photo, int maxSide) {
    const int longer = std::max(photo.width(), photo.height());
    return longer > maxSide ? static_cast<double>(maxSide) / longer : 1.0;
}

// Area averaging: a 24-megapixel photo shrinks in tens of milliseconds without aliasing.
cv::Mat Shrink(const cv::Mat& full, double scale) {
    if (scale >= 1.0) {
        return full.clone();
    }
    cv::Mat small;
    cv::resize(full, small, cv::Size(), scale, scale, cv::INTER_AREA);
    return small;
}

} // namespace

cv::Mat GreyForDetection(const QImage& photo, int maxSide, double& scale) {
    scale = ScaleFor(photo, maxSide);
    const QImage grey = photo.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat view(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                       static_cast<size_t>(grey.bytesPerLine()));
    return Shrink(view, scale);
}

cv::Mat ColourForDetection(const QImage& photo, int maxSide, double& scale) {
    scale = ScaleFor(photo, maxSide);
    // Photos are held as 32-bit pixels, blue first in memory: shrink them as they are and
    // convert only the small copy, rather than converting all of a large photo.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian &&
        (photo.format() == QImage::Format_RGB32 || photo.format() == QImage::Format_ARGB32)) {
        const cv::Mat view(photo.height(), photo.width(), CV_8UC4,
                           const_cast<uchar*>(photo.constBits()),
                           static_cast<size_t>(photo.bytesPerLine()));
        cv::Mat small = Shrink(view, scale);
        cv::cvtColor(small, small, cv::COLOR_BGRA2BGR);
        return small;
    }
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB888);
    const cv::Mat view(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.constBits()),
                       static_cast<size_t>(rgb.bytesPerLine()));
    cv::Mat small = Shrink(view, scale);
    cv::cvtColor(small, small, cv::COLOR_RGB2BGR);
    return small;
}

} // namespace vm
