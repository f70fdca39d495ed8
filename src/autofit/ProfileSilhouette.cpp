#include "autofit/ProfileSilhouette.h"

#include "autofit/PhotoFit.h"

#include <QFileInfo>
#include <algorithm>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>
#include <stdexcept>

namespace vm {

namespace {

// The silhouette is cut at this size: GrabCut's cost grows with the pixel count, and the
// outline's landmarks need no more.
constexpr int kSilhouetteSide = 360;
constexpr int kCascadeSide = 480;

const cv::CascadeClassifier& ProfileCascade() {
    static cv::CascadeClassifier cascade;
    static std::mutex guard;
    const std::lock_guard<std::mutex> lock(guard);
    if (cascade.empty()) {
        const QString path = ProfileCascadePath();
        if (!QFileInfo(path).isFile() || !cascade.load(path.toStdString()))
            throw std::runtime_error(
                QStringLiteral("the profile face detector %1 is missing or unreadable (install "
                               "the package opencv-data)")
                    .arg(path)
                    .toStdString());
    }
    return cascade;
}

// The largest profile the cascade finds in a grey image; the cascade knows faces that look to
// the left of the picture.
std::optional<cv::Rect> FindProfile(const cv::Mat& grey) {
    std::vector<cv::Rect> found;
    const_cast<cv::CascadeClassifier&>(ProfileCascade())
        .detectMultiScale(grey, found, 1.1, 4, 0, cv::Size(grey.cols / 8, grey.cols / 8));
    if (found.empty())
        return std::nullopt;
    return *std::max_element(found.begin(), found.end(), [](const cv::Rect& a, const cv::Rect& b) {
        return a.area() < b.area();
    });
}

// Head against background: GrabCut seeded with the photo's border as background and, when the
// detector saw the face, the middle of the face as head. Returns the largest head region.
cv::Mat CutHead(const cv::Mat& colour, const std::optional<cv::Rect>& face) {
    cv::Mat mask(colour.size(), CV_8UC1, cv::Scalar(cv::GC_PR_FGD));
    const int band = std::max(2, std::min(colour.cols, colour.rows) / 40);
    mask.rowRange(0, band).setTo(cv::GC_BGD);
    mask.colRange(0, band).setTo(cv::GC_BGD);
    mask.colRange(colour.cols - band, colour.cols).setTo(cv::GC_BGD);
    if (face) {
        const cv::Rect core(face->x + face->width / 4, face->y + face->height / 4, face->width / 2,
                            face->height / 2);
        mask(core & cv::Rect(0, 0, colour.cols, colour.rows)).setTo(cv::GC_FGD);
    }
    cv::Mat background, foreground;
    cv::grabCut(colour, mask, cv::Rect(), background, foreground, 3, cv::GC_INIT_WITH_MASK);
    cv::Mat head = (mask == cv::GC_FGD) | (mask == cv::GC_PR_FGD);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(head, labels, stats, centroids, 8);
    int largest = 0;
    for (int i = 1; i < count; ++i)
        if (largest == 0 ||
            stats.at<int>(i, cv::CC_STAT_AREA) > stats.at<int>(largest, cv::CC_STAT_AREA))
            largest = i;
    return largest == 0 ? cv::Mat::zeros(head.size(), CV_8UC1) : cv::Mat(labels == largest);
}

ProfileSilhouette Outline(const cv::Mat& head) {
    ProfileSilhouette s;
    s.width = head.cols;
    s.front.assign(static_cast<size_t>(head.rows), -1);
    s.back.assign(static_cast<size_t>(head.rows), -1);
    s.top.assign(static_cast<size_t>(head.cols), -1);
    for (int y = 0; y < head.rows; ++y) {
        const uchar* row = head.ptr<uchar>(y);
        for (int x = 0; x < head.cols; ++x) {
            if (!row[x])
                continue;
            if (s.back[static_cast<size_t>(y)] < 0)
                s.back[static_cast<size_t>(y)] = x;
            s.front[static_cast<size_t>(y)] = x;
            if (s.top[static_cast<size_t>(x)] < 0)
                s.top[static_cast<size_t>(x)] = y;
            if (s.topRow < 0)
                s.topRow = y;
        }
    }
    return s;
}

} // namespace

QString ProfileCascadePath() {
    const QByteArray overridden = qgetenv("VISOMORF_PROFILE_CASCADE");
    if (!overridden.isEmpty())
        return QString::fromLocal8Bit(overridden);
    return QStringLiteral("/usr/share/opencv4/haarcascades/haarcascade_profileface.xml");
}

std::optional<ProfileSilhouette> TraceProfile(const QImage& photo, QString& reason) {
    double cascadeScale = 1;
    cv::Mat grey = GreyForDetection(photo, kCascadeSide, cascadeScale);
    cv::equalizeHist(grey, grey);
    cv::Mat mirrored;
    cv::flip(grey, mirrored, 1);
    const std::optional<cv::Rect> asIs = FindProfile(grey);
    const std::optional<cv::Rect> turned = FindProfile(mirrored);
    double scale = 1;
    cv::Mat colour = ColourForDetection(photo, kSilhouetteSide, scale);
    // The cascade's faces look left; one found in the mirror image looks right.
    std::optional<cv::Rect> face;
    bool facesRight = true;
    if (asIs || turned) {
        const bool useMirror = turned && (!asIs || turned->area() >= asIs->area());
        cv::Rect r = useMirror ? *turned : *asIs;
        facesRight = useMirror;
        const double k = scale / cascadeScale;
        r = cv::Rect(static_cast<int>(r.x * k), static_cast<int>(r.y * k),
                     static_cast<int>(r.width * k), static_cast<int>(r.height * k));
        // In the turned image (face looking right) the box is mirrored when the photo's face
        // looks left.
        if (!facesRight)
            r.x = colour.cols - r.x - r.width;
        face = r;
    }
    // Work in an image where the face looks right, whichever way it looks in the photo; a
    // photo without detection is traced as it is and judged by its outline below.
    if (face && !facesRight)
        cv::flip(colour, colour, 1);
    ProfileSilhouette s = Outline(CutHead(colour, face));
    if (s.topRow < 0) {
        reason = QStringLiteral("no head found against the background of the side photo");
        return std::nullopt;
    }
    s.facesRight = facesRight;
    s.cascadeFound = face.has_value();
    if (face) {
        s.faceTop = face->y;
        s.faceBottom = face->y + face->height;
    }
    s.scale = scale;
    return s;
}

} // namespace vm
