#include "autofit/detail/SideFit.h"

#include "autofit/FrontFit.h"
#include "autofit/SmoothWarp.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace vm {

namespace {

using namespace sidepoints;

int Clamp(int v, int low, int high) {
    return std::max(low, std::min(v, high));
}

// The row in [from, to) whose edge value is largest (sign +1) or smallest (sign -1). An outline
// often runs straight up and down at its extreme for several rows; the middle of that run is
// the landmark, not its first row.
int ExtremeRow(const std::vector<int>& edge, int from, int to, int sign) {
    from = Clamp(from, 0, static_cast<int>(edge.size()) - 1);
    to = Clamp(to, from + 1, static_cast<int>(edge.size()));
    int best = -1;
    for (int y = from; y < to; ++y) {
        const int v = edge[static_cast<size_t>(y)];
        if (v >= 0 && (best < 0 || sign * v > sign * edge[static_cast<size_t>(best)])) {
            best = y;
        }
    }
    if (best < 0) {
        return best;
    }
    const int extreme = edge[static_cast<size_t>(best)];
    auto onRun = [&](int y) {
        const int v = edge[static_cast<size_t>(y)];
        return v >= 0 && std::abs(v - extreme) <= 1;
    };
    int first = best, last = best;
    while (first - 1 >= from && onRun(first - 1)) {
        --first;
    }
    while (last + 1 < to && onRun(last + 1)) {
        ++last;
    }
    return (first + last) / 2;
}

// The middle of the run of rows around `best` whose score lies within 1 of its score.
int MiddleOfRun(const std::vector<float>& score, int from, int to, int best) {
    auto onRun = [&](int y) {
        return score[static_cast<size_t>(y)] >= score[static_cast<size_t>(best)] - 1.0f;
    };
    int first = best, last = best;
    while (first - 1 >= from && onRun(first - 1)) {
        --first;
    }
    while (last + 1 < to && onRun(last + 1)) {
        ++last;
    }
    return (first + last) / 2;
}

// The row in [from, to) that lies deepest behind the straight line from the outline at row
// `chordFrom` to the outline at row `chordTo`: a profile's bend, whether it dips into a hollow
// (a deep-set nasion) or only turns from a steep forehead onto the slope of the nose. -1 when
// no row lies a whole pixel behind the line, as on an outline without a bend.
// sign -1 looks for the row farthest in front of the line instead: a corner such as the chin
// above the jaw's underside.
int DeepestBehindChord(const std::vector<int>& edge, int chordFrom, int chordTo, int from, int to,
                       int sign = 1) {
    const int rows = static_cast<int>(edge.size());
    chordFrom = Clamp(chordFrom, 0, rows - 1);
    chordTo = Clamp(chordTo, 0, rows - 1);
    from = Clamp(from, chordFrom, chordTo);
    to = Clamp(to, from + 1, chordTo + 1);
    const int x0 = edge[static_cast<size_t>(chordFrom)], x1 = edge[static_cast<size_t>(chordTo)];
    if (x0 < 0 || x1 < 0 || chordTo <= chordFrom) {
        return -1;
    }
    std::vector<float> depth(edge.size(), -1e9f);
    int best = -1;
    for (int y = from; y < to; ++y) {
        const int x = edge[static_cast<size_t>(y)];
        if (x < 0) {
            continue;
        }
        const float line =
            static_cast<float>(x0) + static_cast<float>((x1 - x0) * (y - chordFrom)) /
                                         static_cast<float>(chordTo - chordFrom);
        depth[static_cast<size_t>(y)] = static_cast<float>(sign) * (line - static_cast<float>(x));
        if (best < 0 || depth[static_cast<size_t>(y)] > depth[static_cast<size_t>(best)]) {
            best = y;
        }
    }
    if (best < 0 || depth[static_cast<size_t>(best)] < 1.0f) {
        return -1;
    }
    return MiddleOfRun(depth, from, to, best);
}

// The deepest hollow of the outline between rows from and to, at or below row `lowest`: the
// row that the most water would stand over if the outline were a vessel open to the front.
// Unlike the hindmost row, it cannot be the start of a slope that runs on backwards (under the
// chin into the neck). -1 without any hollow.
int DeepestHollow(const std::vector<int>& edge, int from, int lowest, int to) {
    from = Clamp(from, 0, static_cast<int>(edge.size()) - 1);
    to = Clamp(to, from + 1, static_cast<int>(edge.size()));
    std::vector<float> depth(edge.size(), -1e9f);
    std::vector<int> aboveMax(edge.size(), -1);
    int highest = -1;
    for (int y = from; y < to; ++y) {
        highest = std::max(highest, edge[static_cast<size_t>(y)]);
        aboveMax[static_cast<size_t>(y)] = highest;
    }
    int best = -1, belowMax = -1;
    for (int y = to - 1; y >= from; --y) {
        const int x = edge[static_cast<size_t>(y)];
        belowMax = std::max(belowMax, x);
        if (x < 0 || y < lowest) {
            continue;
        }
        depth[static_cast<size_t>(y)] =
            static_cast<float>(std::min(aboveMax[static_cast<size_t>(y)], belowMax) - x);
        if (best < 0 || depth[static_cast<size_t>(y)] > depth[static_cast<size_t>(best)]) {
            best = y;
        }
    }
    if (best < 0 || depth[static_cast<size_t>(best)] < 1.0f) {
        return -1;
    }
    return MiddleOfRun(depth, from, to, best);
}

cv::Point At(const std::vector<int>& edge, int row) {
    return {edge[static_cast<size_t>(row)], row};
}

Vec2 ToPhoto(const ProfileSilhouette& s, float x, float y) {
    return SilhouetteToPhoto(s, x, y);
}

float EdgeAt(const std::vector<int>& edge, float position) {
    const int i =
        Clamp(static_cast<int>(std::lround(position)), 0, static_cast<int>(edge.size()) - 1);
    return static_cast<float>(edge[static_cast<size_t>(i)]);
}

} // namespace

std::optional<ProfileLandmarks> FindProfileLandmarks(const ProfileSilhouette& s, float noseDrop) {
    const int rows = static_cast<int>(s.front.size());
    int bottom = rows - 1;
    while (bottom > s.topRow && s.front[static_cast<size_t>(bottom)] < 0) {
        --bottom;
    }
    const int height = bottom - s.topRow;
    if (height < 40) {
        return std::nullopt;
    }
    ProfileLandmarks l;
    // The nose tip is the foremost point of the face: in the upper part of the skin that seeded
    // the head (below it come the neck, a bare chest or clothes of skin colour), or without it
    // of the head's middle band; u, the distance from the crown down to it, scales every other
    // search window (the generic head's proportions).
    const bool seeded = s.skinTop >= 0 && s.skinBottom > s.skinTop;
    const int skinHeight = s.skinBottom - s.skinTop;
    const int tip = ExtremeRow(
        s.front,
        seeded ? std::max(s.skinTop, s.topRow + height * 15 / 100) : s.topRow + height * 35 / 100,
        seeded ? std::min(s.skinTop + skinHeight * 6 / 10, s.topRow + height * 8 / 10)
               : s.topRow + height * 8 / 10,
        1);
    if (tip < 0) {
        return std::nullopt;
    }
    // Hair piled high or cut away by the background can make the outline's top a poor crown;
    // then a known drop (from the front photo of the same sitting) is better.
    const int known = static_cast<int>(std::lround(noseDrop * s.scale));
    const int own = tip - s.topRow;
    // Within what hair can do to the crown (a third lower to two and a half times higher); past
    // that the photos differ in scale and the outline's own crown is the better guess.
    const bool hairy = own > known * 3 / 2 && own < known * 5 / 2;
    const bool shorn = own < known * 7 / 10 && own > known * 3 / 10;
    const int u = known > 0 && (hairy || shorn) ? known : own;
    const int crown = tip - u;
    l.noseTip = At(s.front, tip);
    // The nasion is where the forehead's outline bends onto the nose: behind the line from the
    // forehead to the nose tip, whether or not the brow juts out above it.
    const int nasion = DeepestBehindChord(s.front, crown + u * 45 / 100, tip, crown + u * 55 / 100,
                                          tip - u * 8 / 100);
    const int subnasale = ExtremeRow(s.front, tip + u * 2 / 100, tip + u * 15 / 100, -1);
    if (nasion < 0 || subnasale < 0) {
        return std::nullopt;
    }
    l.nasion = At(s.front, nasion);
    l.subnasale = At(s.front, subnasale);
    // A profile's nose stands out from both hollows; a head seen from the front or from behind
    // has no such step.
    const int step = std::min(l.noseTip.x - l.nasion.x, l.noseTip.x - l.subnasale.x);
    if (step < std::max(2, u * 4 / 100)) {
        return std::nullopt;
    }
    const int lip = ExtremeRow(s.front, subnasale + 1, tip + u * 28 / 100, 1);
    if (lip < 0) {
        return std::nullopt;
    }
    l.upperLip = At(s.front, lip);
    // Below the chin the outline runs back under the jaw to the neck, far behind the face: the
    // chin and the hollow above it are looked for only above that.
    // The underside of the chin is where the outline runs back much faster than it runs down;
    // far behind the nose the outline is neck whatever its slope.
    const int run = std::max(2, u * 3 / 100);
    int neck = lip + 1;
    const int lowest = std::min(rows, tip + u * 60 / 100);
    while (neck < lowest && s.front[static_cast<size_t>(neck)] >= 0) {
        const int x = s.front[static_cast<size_t>(neck)];
        const int above = s.front[static_cast<size_t>(std::max(lip, neck - run))];
        if (x < l.noseTip.x - u * 40 / 100 ||
            (neck > lip + u * 10 / 100 && above >= 0 && x < above - 3 * run / 2)) {
            break;
        }
        ++neck;
    }
    // The hollow under the lower lip and the chin below it; on a soft profile, where the outline
    // only slopes back from the lip to the neck, the chin is the corner above the jaw's underside
    // and the hollow the outline's deepest place between lip and chin.
    int hollow = DeepestHollow(s.front, lip, lip + u * 5 / 100, neck);
    int chin = hollow < 0 ? -1 : ExtremeRow(s.front, hollow + 1, neck, 1);
    if (hollow < 0 || chin < 0) {
        chin = DeepestBehindChord(s.front, lip, neck, lip + u * 10 / 100, neck, -1);
        if (chin < 0) {
            return std::nullopt;
        }
        hollow = DeepestBehindChord(s.front, lip, chin, lip + 1, chin);
        hollow = hollow >= 0 ? hollow : (lip + chin) / 2;
    }
    l.labiomental = At(s.front, hollow);
    l.chin = At(s.front, chin);
    // The crown: the middle of the topmost row's run.
    int first = -1, last = -1;
    for (int x = 0; x < s.width; ++x) {
        if (s.top[static_cast<size_t>(x)] == s.topRow) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    l.top = {(first + last) / 2, s.topRow};
    return l;
}

PhotoFit FitSideSilhouette(const ProfileSilhouette& s, const std::vector<Vec2>& current,
                           bool leftSide) {
    if (current.size() != kGenericSidePointCount) {
        return PhotoFit::Failed(
            QStringLiteral("the document's side feature points are not the generic head's "
                           "(%1 points instead of %2)")
                .arg(current.size())
                .arg(kGenericSidePointCount));
    }
    if (s.facesRight == leftSide) {
        return PhotoFit::Failed(
            s.facesRight ? QStringLiteral("the face in the side photo looks to the right, but "
                                          "this document's side photo must look to the left")
                         : QStringLiteral("the face in the side photo looks to the left; mirror "
                                          "the photo so that the face looks to the right"));
    }
    const std::optional<ProfileLandmarks> l = FindProfileLandmarks(s);
    if (!l) {
        return PhotoFit::Failed(QStringLiteral("the side photo does not look like a profile"));
    }
    // Work in the silhouette's turned image, where the generic layout's face looks right.
    std::vector<Vec2> sources;
    for (const Vec2& p : current) {
        sources.push_back(PhotoToSilhouette(s, p.x, p.y));
    }
    const std::pair<int, cv::Point> anchors[] = {
        {kTop, l->top},           {kNasion, l->nasion},
        {kNoseTip, l->noseTip},   {kBelowNose, l->subnasale},
        {kUpperLip, l->upperLip}, {kLabiomental, l->labiomental},
        {kChin, l->chin}};
    std::vector<Vec2> from, to;
    std::set<int> anchored; // one anchor per point: two on one source would pull apart
    for (const auto& [point, place] : anchors) {
        from.push_back(sources[static_cast<size_t>(point)]);
        to.push_back({static_cast<float>(place.x), static_cast<float>(place.y)});
        anchored.insert(point);
    }
    const float radius = 0.12f * static_cast<float>(l->chin.y - l->top.y);
    const SmoothWarp first(from, to, radius, SmoothWarp::FarField::AxisScales);
    auto snap = [&](const int* points, size_t count, bool sideways, const std::vector<int>& edge) {
        for (size_t i = 0; i < count; ++i) {
            if (!anchored.insert(points[i]).second) {
                continue;
            }
            const Vec2 source = sources[static_cast<size_t>(points[i])];
            // Outline points closer together than the warp can bend between add nothing but
            // strain: the nearer anchor already decides there.
            const bool crowded = std::any_of(from.begin(), from.end(), [&](const Vec2& a) {
                return std::hypot(a.x - source.x, a.y - source.y) < 0.3f * radius;
            });
            if (crowded) {
                continue;
            }
            Vec2 warped = first.Map(source);
            const float edgeValue = EdgeAt(edge, sideways ? warped.y : warped.x);
            if (edgeValue < 0) {
                continue;
            }
            (sideways ? warped.x : warped.y) = edgeValue;
            from.push_back(source);
            to.push_back(warped);
        }
    };
    snap(kFaceOutline, std::size(kFaceOutline), true, s.front);
    snap(kBackOutline, std::size(kBackOutline), true, s.back);
    snap(kTopOutline, std::size(kTopOutline), false, s.top);
    const SmoothWarp warp(from, to, radius, SmoothWarp::FarField::AxisScales);
    PhotoFit fit;
    for (const Vec2& source : sources) {
        const Vec2 turned = warp.Map(source);
        fit.targets.push_back(ToPhoto(s, turned.x, turned.y));
    }
    fit.box = BoundingBox(fit.targets);
    fit.confidence = 0.6f;
    fit.fitted = true;
    return fit;
}

namespace {

// The outline's landmarks when its nose is skin (hair behind a head can have a bump like one).
std::optional<ProfileLandmarks> NoseOfSkin(const ProfileSilhouette& s, float noseDrop) {
    std::optional<ProfileLandmarks> l = FindProfileLandmarks(s, noseDrop);
    if (!l || s.skinAtFront.empty()) {
        return l;
    }
    int skin = 0, rows = 0;
    for (int y = l->nasion.y; y <= l->subnasale.y; ++y, ++rows) {
        skin += s.skinAtFront[static_cast<size_t>(y)];
    }
    return 2 * skin >= rows ? l : std::nullopt;
}

// A profile whose nose, lips and chin the outline does not show clearly (a head turned a little
// towards the camera, hair across the face): the foremost point of the face is taken for the
// nose tip and the rest placed at an adult head's proportions of the drop from the crown to it,
// as the front photo measured it. Nothing without that drop.
std::optional<ProfileLandmarks> LandmarksFromProportions(const ProfileSilhouette& s,
                                                         float noseDrop) {
    const int u = static_cast<int>(std::lround(noseDrop * s.scale));
    if (u < 20 || s.skinTop < 0) {
        return std::nullopt;
    }
    const int tip = ExtremeRow(s.front, s.skinTop, s.skinTop + u * 7 / 10, 1);
    const int rows = static_cast<int>(s.front.size());
    auto at = [&](int offsetPercent) -> std::optional<cv::Point> {
        const int y = tip + u * offsetPercent / 100;
        if (y < 0 || y >= rows || s.front[static_cast<size_t>(y)] < 0) {
            return std::nullopt;
        }
        return At(s.front, y);
    };
    if (tip < 0) {
        return std::nullopt;
    }
    const auto nasion = at(-30), subnasale = at(8), lip = at(16), hollow = at(33), chin = at(42);
    if (!nasion || !subnasale || !lip || !hollow || !chin) {
        return std::nullopt;
    }
    return ProfileLandmarks{{s.front[static_cast<size_t>(tip)], std::max(0, tip - u)},
                            *nasion,
                            At(s.front, tip),
                            *subnasale,
                            *lip,
                            *hollow,
                            *chin};
}

} // namespace

std::optional<ProfileReading> ReadProfile(const QImage& photo, const FaceLandmarker& landmarker,
                                          QString& reason, float noseDrop) {
    QString traceReason;
    std::optional<ProfileSilhouette> traced =
        photo.isNull() ? std::nullopt : TraceProfile(photo, traceReason);
    return ReadTracedProfile(photo, traced, traceReason, landmarker, reason, noseDrop);
}

std::optional<ProfileReading> ReadTracedProfile(const QImage& photo,
                                                const std::optional<ProfileSilhouette>& traced,
                                                const QString& traceReason,
                                                const FaceLandmarker& landmarker, QString& reason,
                                                float noseDrop) {
    if (photo.isNull()) {
        reason = QStringLiteral("there is no side photo");
        return std::nullopt;
    }
    if (std::min(photo.width(), photo.height()) < 64) {
        reason = QStringLiteral("the side photo is too small (%1 x %2 pixels) to find a head in")
                     .arg(photo.width())
                     .arg(photo.height());
        return std::nullopt;
    }
    // A face seen from the front, with both eyes either side of the nose, is no profile. A
    // quick look is enough: a front photo given by mistake shows its face large.
    int faceCount = 0;
    if (const auto face = FindLargestFace(photo, landmarker, faceCount, false)) {
        const Vec2 eyeLeft = face->landmarks[36], eyeRight = face->landmarks[45];
        const Vec2 nose = face->landmarks[30];
        const float eyes = std::hypot(eyeRight.x - eyeLeft.x, eyeRight.y - eyeLeft.y);
        const float offCentre = std::abs(nose.x - 0.5f * (eyeLeft.x + eyeRight.x));
        if (eyes > 0.3f * face->box.Width() && offCentre < 0.15f * eyes) {
            reason = QStringLiteral("the side photo shows a face from the front, not a profile");
            return std::nullopt;
        }
    }
    if (!traced) {
        reason = traceReason;
        return std::nullopt;
    }
    // The skin's guess of the facing first; the outline's nose, which is skin, has the last word.
    const ProfileSilhouette mirrored = Mirrored(*traced);
    const std::optional<ProfileLandmarks> asGuessed = NoseOfSkin(*traced, noseDrop);
    const std::optional<ProfileLandmarks> otherWay = NoseOfSkin(mirrored, noseDrop);
    if (!asGuessed && !otherWay) {
        if (const std::optional<ProfileSilhouette> plain = TraceOnPlainBackground(photo)) {
            const ProfileSilhouette turned = Mirrored(*plain);
            if (const auto l = FindProfileLandmarks(*plain, noseDrop)) {
                return ProfileReading{*plain, *l};
            }
            if (const auto l = FindProfileLandmarks(turned, noseDrop)) {
                return ProfileReading{turned, *l};
            }
        }
        if (const std::optional<ProfileLandmarks> l = LandmarksFromProportions(*traced, noseDrop)) {
            return ProfileReading{*traced, *l, true};
        }
        reason = QStringLiteral("the side photo does not look like a profile");
        return std::nullopt;
    }
    if (asGuessed) {
        return ProfileReading{*traced, *asGuessed};
    }
    return ProfileReading{mirrored, *otherWay};
}

Vec2 ProfileToPhoto(const ProfileSilhouette& s, const cv::Point& place) {
    return ToPhoto(s, static_cast<float>(place.x), static_cast<float>(place.y));
}

PhotoFit FitSidePhoto(const QImage& photo, const std::vector<Vec2>& current, bool leftSide,
                      const FaceLandmarker& landmarker) {
    QString reason;
    const std::optional<ProfileReading> reading = ReadProfile(photo, landmarker, reason);
    if (!reading) {
        return PhotoFit::Failed(reason);
    }
    return FitSideSilhouette(reading->silhouette, current, leftSide);
}

} // namespace vm
