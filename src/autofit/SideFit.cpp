#include "autofit/SideFit.h"

#include "autofit/FrontFit.h"
#include "autofit/SmoothWarp.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace vm {

namespace {

// Side feature points of the default set that the profile's landmarks place.
// The hollow under the nose is the philtrum's groove just below the columella (85), not the
// columella's base (79), which sits higher on the slope of the nose's underside.
constexpr int kTop = 0, kNasion = 23, kNoseTip = 72, kBelowNose = 85, kUpperLip = 92,
              kLabiomental = 100, kChin = 107;
// The face's outline from the forehead to below the chin, snapped sideways onto the profile.
const int kFaceOutline[] = {24, 30, 35, 23, 28, 33, 44, 52, 55,  60,
                            68, 72, 79, 85, 88, 92, 93, 97, 100, 107};
// The back of the head, snapped sideways onto the silhouette's back edge.
const int kBackOutline[] = {6, 4, 16, 32, 37, 57, 74, 84};
// The crown, snapped upwards onto the silhouette's top edge.
const int kTopOutline[] = {3, 1, 0, 5, 2};

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
        if (v >= 0 && (best < 0 || sign * v > sign * edge[static_cast<size_t>(best)]))
            best = y;
    }
    if (best < 0)
        return best;
    const int extreme = edge[static_cast<size_t>(best)];
    auto onRun = [&](int y) {
        const int v = edge[static_cast<size_t>(y)];
        return v >= 0 && std::abs(v - extreme) <= 1;
    };
    int first = best, last = best;
    while (first - 1 >= from && onRun(first - 1))
        --first;
    while (last + 1 < to && onRun(last + 1))
        ++last;
    return (first + last) / 2;
}

// The middle of the run of rows around `best` whose score lies within 1 of its score.
int MiddleOfRun(const std::vector<float>& score, int from, int to, int best) {
    auto onRun = [&](int y) {
        return score[static_cast<size_t>(y)] >= score[static_cast<size_t>(best)] - 1.0f;
    };
    int first = best, last = best;
    while (first - 1 >= from && onRun(first - 1))
        --first;
    while (last + 1 < to && onRun(last + 1))
        ++last;
    return (first + last) / 2;
}

// The row in [from, to) that lies deepest behind the straight line from the outline at row
// `chordFrom` to the outline at row `chordTo`: a profile's bend, whether it dips into a hollow
// (a deep-set nasion) or only turns from a steep forehead onto the slope of the nose. -1 when
// no row lies a whole pixel behind the line, as on an outline without a bend.
int DeepestBehindChord(const std::vector<int>& edge, int chordFrom, int chordTo, int from, int to) {
    const int rows = static_cast<int>(edge.size());
    chordFrom = Clamp(chordFrom, 0, rows - 1);
    chordTo = Clamp(chordTo, 0, rows - 1);
    from = Clamp(from, chordFrom, chordTo);
    to = Clamp(to, from + 1, chordTo + 1);
    const int x0 = edge[static_cast<size_t>(chordFrom)], x1 = edge[static_cast<size_t>(chordTo)];
    if (x0 < 0 || x1 < 0 || chordTo <= chordFrom)
        return -1;
    std::vector<float> depth(edge.size(), -1e9f);
    int best = -1;
    for (int y = from; y < to; ++y) {
        const int x = edge[static_cast<size_t>(y)];
        if (x < 0)
            continue;
        const float line =
            static_cast<float>(x0) + static_cast<float>((x1 - x0) * (y - chordFrom)) /
                                         static_cast<float>(chordTo - chordFrom);
        depth[static_cast<size_t>(y)] = line - static_cast<float>(x);
        if (best < 0 || depth[static_cast<size_t>(y)] > depth[static_cast<size_t>(best)])
            best = y;
    }
    if (best < 0 || depth[static_cast<size_t>(best)] < 1.0f)
        return -1;
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
        if (x < 0 || y < lowest)
            continue;
        depth[static_cast<size_t>(y)] =
            static_cast<float>(std::min(aboveMax[static_cast<size_t>(y)], belowMax) - x);
        if (best < 0 || depth[static_cast<size_t>(y)] > depth[static_cast<size_t>(best)])
            best = y;
    }
    if (best < 0 || depth[static_cast<size_t>(best)] < 1.0f)
        return -1;
    return MiddleOfRun(depth, from, to, best);
}

cv::Point At(const std::vector<int>& edge, int row) {
    return {edge[static_cast<size_t>(row)], row};
}

// Photo pixels of a silhouette position (turned image) in the photo as it is.
Vec2 ToPhoto(const ProfileSilhouette& s, float x, float y) {
    if (!s.facesRight)
        x = static_cast<float>(s.width - 1) - x;
    const auto k = static_cast<float>(1.0 / s.scale);
    return {(x + 0.5f) * k - 0.5f, (y + 0.5f) * k - 0.5f};
}

float EdgeAt(const std::vector<int>& edge, float position) {
    const int i =
        Clamp(static_cast<int>(std::lround(position)), 0, static_cast<int>(edge.size()) - 1);
    return static_cast<float>(edge[static_cast<size_t>(i)]);
}

} // namespace

ProfileSilhouette Mirrored(const ProfileSilhouette& s) {
    ProfileSilhouette m = s;
    m.facesRight = !s.facesRight;
    const int last = s.width - 1;
    for (size_t y = 0; y < s.front.size(); ++y) {
        m.front[y] = s.back[y] < 0 ? -1 : last - s.back[y];
        m.back[y] = s.front[y] < 0 ? -1 : last - s.front[y];
    }
    std::reverse(m.top.begin(), m.top.end());
    return m;
}

std::optional<ProfileLandmarks> FindProfileLandmarks(const ProfileSilhouette& s) {
    const int rows = static_cast<int>(s.front.size());
    int bottom = rows - 1;
    while (bottom > s.topRow && s.front[static_cast<size_t>(bottom)] < 0)
        --bottom;
    const int height = bottom - s.topRow;
    if (height < 40)
        return std::nullopt;
    ProfileLandmarks l;
    // The nose tip is the foremost point of the detected face, or without a detection of the
    // head's middle band; u, the distance from the crown down to it, scales every other search
    // window (the generic head's proportions).
    const bool detected = s.faceTop >= 0;
    const int tip = ExtremeRow(s.front, detected ? s.faceTop : s.topRow + height * 35 / 100,
                               detected ? s.faceBottom : s.topRow + height * 8 / 10, 1);
    if (tip < 0)
        return std::nullopt;
    const int u = tip - s.topRow;
    l.noseTip = At(s.front, tip);
    // The nasion is where the forehead's outline bends onto the nose: behind the line from the
    // forehead to the nose tip, whether or not the brow juts out above it.
    const int nasion = DeepestBehindChord(s.front, s.topRow + u * 45 / 100, tip,
                                          s.topRow + u * 55 / 100, tip - u * 8 / 100);
    const int subnasale = ExtremeRow(s.front, tip + u * 2 / 100, tip + u * 15 / 100, -1);
    if (nasion < 0 || subnasale < 0)
        return std::nullopt;
    l.nasion = At(s.front, nasion);
    l.subnasale = At(s.front, subnasale);
    // A profile's nose stands out from both hollows; a head seen from the front or from behind
    // has no such step.
    const int step = std::min(l.noseTip.x - l.nasion.x, l.noseTip.x - l.subnasale.x);
    if (step < std::max(2, u * 4 / 100))
        return std::nullopt;
    const int lip = ExtremeRow(s.front, subnasale + 1, tip + u * 28 / 100, 1);
    if (lip < 0)
        return std::nullopt;
    l.upperLip = At(s.front, lip);
    // Below the chin the outline runs back under the jaw to the neck, far behind the face: the
    // chin and the hollow above it are looked for only above that.
    int neck = lip + 1;
    while (neck < std::min(rows, tip + u * 52 / 100) && s.front[static_cast<size_t>(neck)] >= 0 &&
           s.front[static_cast<size_t>(neck)] > l.noseTip.x - u * 28 / 100)
        ++neck;
    const int hollow = DeepestHollow(s.front, lip, lip + u * 5 / 100, neck);
    if (hollow < 0)
        return std::nullopt;
    l.labiomental = At(s.front, hollow);
    const int chin = ExtremeRow(s.front, hollow + 1, neck, 1);
    if (chin < 0)
        return std::nullopt;
    l.chin = At(s.front, chin);
    // The crown: the middle of the topmost row's run.
    int first = -1, last = -1;
    for (int x = 0; x < s.width; ++x)
        if (s.top[static_cast<size_t>(x)] == s.topRow) {
            first = first < 0 ? x : first;
            last = x;
        }
    l.top = {(first + last) / 2, s.topRow};
    return l;
}

PhotoFit FitSideSilhouette(const ProfileSilhouette& s, const QSize& photoSize,
                           const std::vector<Vec2>& current, bool leftSide) {
    if (current.size() != kGenericSidePointCount)
        return PhotoFit::Failed(
            QStringLiteral("the document's side feature points are not the generic head's "
                           "(%1 points instead of %2)")
                .arg(current.size())
                .arg(kGenericSidePointCount));
    if (s.facesRight == leftSide)
        return PhotoFit::Failed(
            s.facesRight ? QStringLiteral("the face in the side photo looks to the right, but "
                                          "this document's side photo must look to the left")
                         : QStringLiteral("the face in the side photo looks to the left; mirror "
                                          "the photo so that the face looks to the right"));
    const std::optional<ProfileLandmarks> l = FindProfileLandmarks(s);
    if (!l)
        return PhotoFit::Failed(QStringLiteral("the side photo does not look like a profile"));
    // Work in the silhouette's turned image, where the generic layout's face looks right.
    std::vector<Vec2> sources;
    for (const Vec2& p : current) {
        Vec2 q = p;
        if (leftSide)
            q.x = static_cast<float>(photoSize.width() - 1) - q.x;
        const auto k = static_cast<float>(s.scale);
        sources.push_back({(q.x + 0.5f) * k - 0.5f, (q.y + 0.5f) * k - 0.5f});
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
            if (!anchored.insert(points[i]).second)
                continue;
            const Vec2 source = sources[static_cast<size_t>(points[i])];
            // Outline points closer together than the warp can bend between add nothing but
            // strain: the nearer anchor already decides there.
            const bool crowded = std::any_of(from.begin(), from.end(), [&](const Vec2& a) {
                return std::hypot(a.x - source.x, a.y - source.y) < 0.3f * radius;
            });
            if (crowded)
                continue;
            Vec2 warped = first.Map(source);
            const float edgeValue = EdgeAt(edge, sideways ? warped.y : warped.x);
            if (edgeValue < 0)
                continue;
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
    fit.confidence = s.cascadeFound ? 0.8f : 0.4f;
    if (!s.cascadeFound)
        fit.notes << QStringLiteral(
            "the profile detector did not recognise the side photo's face; the fit follows the "
            "head's outline alone");
    fit.fitted = true;
    return fit;
}

PhotoFit FitSidePhoto(const QImage& photo, const std::vector<Vec2>& current, bool leftSide,
                      const FaceLandmarker& landmarker) {
    if (photo.isNull())
        return PhotoFit::Failed(QStringLiteral("there is no side photo"));
    if (std::min(photo.width(), photo.height()) < 64)
        return PhotoFit::Failed(
            QStringLiteral("the side photo is too small (%1 x %2 pixels) to find a head in")
                .arg(photo.width())
                .arg(photo.height()));
    // A face seen from the front, with both eyes either side of the nose, is no profile. A
    // quick look is enough: a front photo given by mistake shows its face large.
    int faceCount = 0;
    if (const auto face = FindLargestFace(photo, landmarker, faceCount, false)) {
        const Vec2 eyeLeft = face->landmarks[36], eyeRight = face->landmarks[45];
        const Vec2 nose = face->landmarks[30];
        const float eyes = std::hypot(eyeRight.x - eyeLeft.x, eyeRight.y - eyeLeft.y);
        const float offCentre = std::abs(nose.x - 0.5f * (eyeLeft.x + eyeRight.x));
        if (eyes > 0.3f * face->box.width && offCentre < 0.15f * eyes)
            return PhotoFit::Failed(
                QStringLiteral("the side photo shows a face from the front, not a profile"));
    }
    QString reason;
    std::optional<ProfileSilhouette> s = TraceProfile(photo, reason);
    if (!s)
        return PhotoFit::Failed(reason);
    // Without the detector, the outline tells which way the face looks.
    if (!s->cascadeFound && !FindProfileLandmarks(*s)) {
        const ProfileSilhouette mirrored = Mirrored(*s);
        if (FindProfileLandmarks(mirrored))
            s = mirrored;
    }
    return FitSideSilhouette(*s, photo.size(), current, leftSide);
}

} // namespace vm
