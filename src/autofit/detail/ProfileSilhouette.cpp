#include "autofit/detail/ProfileSilhouette.h"

#include "autofit/PhotoFit.h"
#include "autofit/detail/DetectionImage.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace vm {

namespace {

// The skin is first looked for in a copy of this size; the head is then cut from a crop of the
// photo around it, scaled so that the skin measures about kSkinSize pixels (its width, or 0.6 of
// its height when that is more: a face with its neck is about twice as high as deep): the
// profile's small hollows (under the lower lip) need a few pixels, and GrabCut's cost grows with
// the pixel count.
constexpr int kOverviewSide = 400;
// A head on a plain background is cut from the whole photo at this size.
constexpr int kPlainSide = 360;
constexpr double kSkinSize = 170;

// Broad skin colours (YCrCb): light and dark skin under warm or cool light, clearly redder than
// blue (which a purple or pink cloth is not). Only a seed: the head's edge itself comes from
// GrabCut, so beards, lips and hair in front of the face stay on the head.
cv::Mat SkinMask(const cv::Mat& bgr) {
    cv::Mat ycc, skin;
    cv::cvtColor(bgr, ycc, cv::COLOR_BGR2YCrCb);
    cv::inRange(ycc, cv::Scalar(60, 136, 77), cv::Scalar(255, 180, 130), skin);
    cv::Mat channels[3];
    cv::split(ycc, channels);
    skin &= (channels[1] - channels[2]) > 15;
    cv::morphologyEx(skin, skin, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    return skin;
}

// The largest 8-connected region of a mask (255 inside), or an empty mask.
cv::Mat LargestRegion(const cv::Mat& mask, cv::Rect& bounds) {
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8);
    int largest = 0;
    for (int i = 1; i < count; ++i) {
        if (largest == 0 ||
            stats.at<int>(i, cv::CC_STAT_AREA) > stats.at<int>(largest, cv::CC_STAT_AREA)) {
            largest = i;
        }
    }
    if (largest == 0) {
        bounds = cv::Rect();
        return cv::Mat::zeros(mask.size(), CV_8UC1);
    }
    bounds = cv::Rect(
        stats.at<int>(largest, cv::CC_STAT_LEFT), stats.at<int>(largest, cv::CC_STAT_TOP),
        stats.at<int>(largest, cv::CC_STAT_WIDTH), stats.at<int>(largest, cv::CC_STAT_HEIGHT));
    return labels == largest;
}

// The region of the mask that holds the pixel, or the largest when the pixel lies outside.
cv::Mat RegionAt(const cv::Mat& mask, cv::Point at) {
    cv::Mat labels;
    cv::connectedComponents(mask, labels, 8);
    const int label = labels.at<int>(at);
    if (label > 0) {
        return labels == label;
    }
    cv::Rect unused;
    return LargestRegion(mask, unused);
}

// The photo's background colours, learnt from its top and side borders (where a portrait has
// no head): a few clusters in Lab, and how far from them a colour may lie and still be one.
class BackgroundColours {
public:
    explicit BackgroundColours(const cv::Mat& bgr) {
        cv::cvtColor(bgr, m_lab, cv::COLOR_BGR2Lab);
        m_lab.convertTo(m_lab, CV_32FC3);
        const int band = std::max(2, std::min(bgr.rows, bgr.cols) / 20);
        std::vector<cv::Vec3f> samples;
        auto take = [&](const cv::Rect& r) {
            for (int y = r.y; y < r.y + r.height; y += 2) {
                for (int x = r.x; x < r.x + r.width; x += 2) {
                    samples.push_back(m_lab.at<cv::Vec3f>(y, x));
                }
            }
        };
        take({0, 0, bgr.cols, band});
        take({0, band, band, bgr.rows / 2});
        take({bgr.cols - band, band, band, bgr.rows / 2});
        cv::Mat labels;
        cv::kmeans(cv::Mat(samples).reshape(1), kClusters, labels,
                   cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 10, 1.0), 2,
                   cv::KMEANS_PP_CENTERS, m_centres);
    }
    bool IsBackground(int x, int y) const {
        const cv::Vec3f c = m_lab.at<cv::Vec3f>(y, x);
        for (int k = 0; k < kClusters; ++k) {
            const cv::Vec3f d = c - cv::Vec3f(m_centres.ptr<float>(k));
            if (d.dot(d) < kNear * kNear) {
                return true;
            }
        }
        return false;
    }

private:
    static constexpr int kClusters = 5;
    static constexpr float kNear = 14; // Lab units: a fold of the cloth, not hair or skin
    cv::Mat m_lab, m_centres;
};

// Which way the skin's face looks: the face is skin up to the background, the back of the head
// has hair or an ear beside the skin. Counts the skin's rows whose edge meets background.
bool SkinLooksRight(const cv::Mat& skin, const cv::Rect& bounds, const BackgroundColours& bg) {
    int right = 0, left = 0;
    const int gap = std::max(2, bounds.height / 60);
    for (int y = bounds.y; y < bounds.y + bounds.height; ++y) {
        const uchar* row = skin.ptr<uchar>(y);
        int first = -1, last = -1;
        for (int x = bounds.x; x < bounds.x + bounds.width; ++x) {
            if (row[x]) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        if (first < 0) {
            continue;
        }
        right += last + gap < skin.cols && bg.IsBackground(last + gap, y);
        left += first - gap >= 0 && bg.IsBackground(first - gap, y);
    }
    return right >= left;
}

// Head against background: GrabCut seeded with the skin as head and, as background, the
// photo's top and side borders, what lies in front of the face beyond a beard's or a fringe's
// reach, and everything more than about a head's size from the skin, so that folds of a
// curtain or a lamp across the room never join the head.
cv::Mat CutHead(const cv::Mat& colour, const cv::Mat& skin, const cv::Rect& skinBounds,
                bool looksRight) {
    cv::Mat mask(colour.size(), CV_8UC1, cv::Scalar(cv::GC_PR_BGD));
    const int reach = std::max(skinBounds.width, skinBounds.height);
    cv::Mat distance;
    cv::distanceTransform(255 - skin, distance, cv::DIST_L2, 3);
    mask.setTo(cv::GC_PR_FGD, distance < 0.12 * reach);
    mask.setTo(cv::GC_BGD, distance > 0.8 * reach);
    const int margin = skinBounds.height / 4;
    if (looksRight) {
        mask.colRange(std::min(colour.cols, skinBounds.br().x + margin), colour.cols)
            .setTo(cv::GC_BGD);
    } else {
        mask.colRange(0, std::max(0, skinBounds.x - margin)).setTo(cv::GC_BGD);
    }
    const int band = std::max(2, std::min(colour.cols, colour.rows) / 60);
    mask.rowRange(0, band).setTo(cv::GC_BGD);
    mask.colRange(0, band).setTo(cv::GC_BGD);
    mask.colRange(colour.cols - band, colour.cols).setTo(cv::GC_BGD);
    cv::Mat core;
    cv::erode(skin, core, cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(5, 5)));
    mask.setTo(cv::GC_FGD, core);
    cv::Mat background, foreground;
    cv::grabCut(colour, mask, cv::Rect(), background, foreground, 3, cv::GC_INIT_WITH_MASK);
    const cv::Mat head = (mask == cv::GC_FGD) | (mask == cv::GC_PR_FGD);
    cv::Mat closed;
    // Shadows under the nose or the chin can leave notches a few pixels wide in the cut; the
    // profile's own hollows are far wider.
    cv::morphologyEx(head, closed, cv::MORPH_CLOSE,
                     cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(7, 7)));
    return RegionAt(closed, (skinBounds.tl() + skinBounds.br()) / 2);
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
            if (!row[x]) {
                continue;
            }
            if (s.back[static_cast<size_t>(y)] < 0) {
                s.back[static_cast<size_t>(y)] = x;
            }
            s.front[static_cast<size_t>(y)] = x;
            if (s.top[static_cast<size_t>(x)] < 0) {
                s.top[static_cast<size_t>(x)] = y;
            }
            if (s.topRow < 0) {
                s.topRow = y;
            }
        }
    }
    return s;
}

// Where the skin is, in photo pixels, and which way its face looks, from a small copy.
struct SkinOverview {
    QRect bounds;
    bool looksRight = true;
};

std::optional<SkinOverview> LookForSkin(const QImage& photo) {
    double scale = 1;
    const cv::Mat colour = ColourForDetection(photo, kOverviewSide, scale);
    cv::Rect bounds;
    const cv::Mat skin = LargestRegion(SkinMask(colour), bounds);
    if (bounds.area() == 0 || cv::countNonZero(skin) < 0.002 * colour.rows * colour.cols) {
        return std::nullopt;
    }
    const double k = 1 / scale;
    return SkinOverview{QRect(static_cast<int>(bounds.x * k), static_cast<int>(bounds.y * k),
                              static_cast<int>(std::ceil(bounds.width * k)),
                              static_cast<int>(std::ceil(bounds.height * k))),
                        SkinLooksRight(skin, bounds, BackgroundColours(colour))};
}

// The crop the head is traced in: the skin with room for hair above and behind it, and a
// little in front of the face; photo pixels.
QRect HeadCrop(const QImage& photo, const SkinOverview& skin) {
    const QRect& b = skin.bounds;
    const int behind = b.width() * 9 / 10, before = b.width() * 7 / 10;
    QRect crop(b.left() - (skin.looksRight ? behind : before), b.top() - b.width() * 7 / 10,
               b.width() + behind + before, b.height() + b.width() * 7 / 10);
    return crop & photo.rect();
}

// Per row, whether the head is skin just inside its right edge (or its left one), in the
// outline as traced, before any turn.
std::vector<bool> SkinInsideEdge(const ProfileSilhouette& s, const cv::Mat& skin, bool rightEdge) {
    std::vector<bool> result(s.front.size());
    for (size_t y = 0; y < s.front.size(); ++y) {
        const int edge = rightEdge ? s.front[y] : s.back[y];
        if (edge < 0) {
            continue;
        }
        const int inside = std::clamp(edge + (rightEdge ? -2 : 2), 0, skin.cols - 1);
        result[y] = skin.at<uchar>(static_cast<int>(y), inside) != 0;
    }
    return result;
}

} // namespace

Vec2 SilhouetteToPhoto(const ProfileSilhouette& s, float x, float y) {
    if (!s.facesRight) {
        x = static_cast<float>(s.width - 1) - x;
    }
    const auto k = static_cast<float>(1.0 / s.scale);
    return {(x + 0.5f) * k - 0.5f + s.originX, (y + 0.5f) * k - 0.5f + s.originY};
}

Vec2 PhotoToSilhouette(const ProfileSilhouette& s, float x, float y) {
    const auto k = static_cast<float>(s.scale);
    Vec2 p{(x - s.originX + 0.5f) * k - 0.5f, (y - s.originY + 0.5f) * k - 0.5f};
    if (!s.facesRight) {
        p.x = static_cast<float>(s.width - 1) - p.x;
    }
    return p;
}

std::optional<ProfileSilhouette> TraceProfile(const QImage& photo, QString& reason) {
    // k-means (the background's colours, GrabCut's colour models) starts from random centres:
    // the same photo must always give the same outline.
    cv::theRNG().state = 0x5EED;
    const std::optional<SkinOverview> overview = LookForSkin(photo);
    if (!overview) {
        reason = QStringLiteral("no head found in the side photo");
        return std::nullopt;
    }
    const QRect crop = HeadCrop(photo, *overview);
    const double skinSize =
        std::max(overview->bounds.width() * 1.0, overview->bounds.height() * 0.6);
    const double scale = std::min(1.0, kSkinSize / std::max(1.0, skinSize));
    cv::Mat colour;
    {
        double unused = 1;
        const int longer = static_cast<int>(std::max(crop.width(), crop.height()) * scale);
        colour = ColourForDetection(photo.copy(crop), std::max(16, longer), unused);
    }
    const double scaleX = static_cast<double>(colour.cols) / crop.width();
    cv::Rect skinBounds;
    const cv::Mat skin = LargestRegion(SkinMask(colour), skinBounds);
    if (skinBounds.area() == 0) {
        reason = QStringLiteral("no head found in the side photo");
        return std::nullopt;
    }
    const bool looksRight = overview->looksRight;
    std::optional<ProfileSilhouette> s =
        TurnedOutline(CutHead(colour, skin, skinBounds, looksRight), skin, skinBounds, looksRight);
    if (!s) {
        reason = QStringLiteral("no head found against the background of the side photo");
        return std::nullopt;
    }
    s->scale = scaleX;
    s->originX = static_cast<float>(crop.x());
    s->originY = static_cast<float>(crop.y());
    return s;
}

std::optional<ProfileSilhouette> TurnedOutline(const cv::Mat& head, const cv::Mat& skin,
                                               const cv::Rect& skinBounds, bool looksRight) {
    ProfileSilhouette s = Outline(head);
    if (s.topRow < 0) {
        return std::nullopt;
    }
    // The crown stands above the skin (face, ear and neck), not above whatever dark cloth the
    // cut may have joined to the hair behind the head.
    int crown = -1;
    for (int x = skinBounds.x; x < skinBounds.br().x; ++x) {
        const int top = s.top[static_cast<size_t>(x)];
        if (top >= 0 && (crown < 0 || top < crown)) {
            crown = top;
        }
    }
    s.topRow = crown >= 0 ? crown : s.topRow;
    s.skinTop = skinBounds.y;
    s.skinBottom = skinBounds.y + skinBounds.height;
    // Front and back as traced, the right edge and the left one; turning the outline swaps them.
    s.skinAtFront = SkinInsideEdge(s, skin, true);
    s.skinAtBack = SkinInsideEdge(s, skin, false);
    // Traced as the photo is; turned when the skin says the face looks left. The fit checks the
    // outline's nose both ways round before it believes this.
    return looksRight ? s : Mirrored(s);
}

std::optional<ProfileSilhouette> TraceOnPlainBackground(const QImage& photo) {
    double scale = 1;
    const cv::Mat colour = ColourForDetection(photo, kPlainSide, scale);
    cv::Mat mask(colour.size(), CV_8UC1, cv::Scalar(cv::GC_PR_FGD));
    const int band = std::max(2, std::min(colour.cols, colour.rows) / 40);
    mask.rowRange(0, band).setTo(cv::GC_BGD);
    mask.colRange(0, band).setTo(cv::GC_BGD);
    mask.colRange(colour.cols - band, colour.cols).setTo(cv::GC_BGD);
    cv::theRNG().state = 0x5EED;
    cv::Mat background, foreground;
    cv::grabCut(colour, mask, cv::Rect(), background, foreground, 3, cv::GC_INIT_WITH_MASK);
    cv::Rect bounds;
    ProfileSilhouette s =
        Outline(LargestRegion((mask == cv::GC_FGD) | (mask == cv::GC_PR_FGD), bounds));
    if (s.topRow < 0) {
        return std::nullopt;
    }
    s.scale = scale;
    return s;
}

ProfileSilhouette Mirrored(const ProfileSilhouette& s) {
    ProfileSilhouette m = s;
    m.facesRight = !s.facesRight;
    const int last = s.width - 1;
    for (size_t y = 0; y < s.front.size(); ++y) {
        m.front[y] = s.back[y] < 0 ? -1 : last - s.back[y];
        m.back[y] = s.front[y] < 0 ? -1 : last - s.front[y];
    }
    std::reverse(m.top.begin(), m.top.end());
    std::swap(m.skinAtFront, m.skinAtBack);
    return m;
}

} // namespace vm
