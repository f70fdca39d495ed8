#include "autofit/DocumentFit.h"

#include "autofit/BlendPlacement.h"
#include "autofit/FaceDepth.h"
#include "autofit/FaceLandmarks.h"
#include "autofit/FrontFit.h"
#include "autofit/detail/FrontSilhouette.h"
#include "autofit/detail/JointFit.h"
#include "autofit/detail/SideFit.h"
#include "document/CVisomorfDoc.h"

#include <cmath>
#include <future>

namespace vm {

namespace {

// SetBox divides by the old box's size; the photo views keep boxes at least this large.
constexpr float kSmallestBox = 10;
// How far the surface turns from the front camera where the side photo takes over: the front
// photo is sharper and better placed than the side photo almost up to the ear, whose photo
// places the fit knows only from the head's proportions.
constexpr float kBlendTurn = 1.4f; // 80 degrees

void ApplyBox(CVisomorfDoc& doc, int photo, const Box& box) {
    if (box.Width() >= kSmallestBox && box.Height() >= kSmallestBox && doc.box[photo].Width() > 0 &&
        doc.box[photo].Height() > 0) {
        doc.SetBox(photo, box.left, box.top, box.right, box.bottom);
    }
}

// Whether the profile in the photo looks the other way than the document's side photo must.
bool NeedsMirror(const CVisomorfDoc& doc, const ProfileReading& profile) {
    return profile.silhouette.facesRight == doc.leftSide;
}

bool ChangesNothing(const SideAlignment& a) {
    return !a.mirror && std::abs(a.scale - 1) < 1e-3 && std::abs(a.roll) < 1e-3 &&
           std::abs(a.shiftY) < 0.5 && std::abs(a.transform.m[0][2]) < 0.5;
}

// The side photo mirrored when its face looks the wrong way, otherwise left as it is.
SideAlignment MirrorOnly(const CVisomorfDoc& doc, bool mirror) {
    SideAlignment a;
    a.mirror = mirror;
    const QSize size = doc.photos[Side].size();
    CompleteAlignment(a, size, size.height());
    return a;
}

// The side photo at the front photo's heights, from the landmarks both photos see; when they
// disagree the photo keeps its size (mirrored if need be).
SideAlignment AlignToFront(const CVisomorfDoc& doc, const PhotoFit& front,
                           const ProfileReading& profile, PhotoFit& sideReport) {
    const bool mirror = NeedsMirror(doc, profile);
    const QSize sideSize = doc.photos[Side].size();
    const int frontHeight = doc.photos[Front].height();
    if (const std::optional<SideAlignment> a = EstimateSideAlignment(
            SharedHeights(profile, front.landmarks), sideSize, frontHeight, mirror)) {
        return *a;
    }
    sideReport.notes << QStringLiteral(
        "the profile's nose, lips and chin did not match the front photo's; the side photo was "
        "left at its own size");
    return MirrorOnly(doc, mirror);
}

// A profile read from the photo as it was, for the photo once mirrored: the turned outline is
// the same, only the way the photo itself looks changes.
ProfileReading ForMirroredPhoto(ProfileReading profile) {
    profile.silhouette.facesRight = !profile.silhouette.facesRight;
    return profile;
}

// How far the nose tip lies below the crown in the front photo, for a profile of the same
// sitting: about 1.1 times the nasion's height above the chin on an adult head. 0 without a
// front fit.
float NoseDrop(const PhotoFit& front) {
    if (!front.fitted || front.landmarks.size() < 68) {
        return 0;
    }
    return 1.1f * (front.landmarks[8].y - front.landmarks[27].y);
}

void FitSideAlone(CVisomorfDoc& doc, const ProfileReading& profile, PhotoFit& report) {
    const PhotoFit fit =
        FitSideSilhouette(profile.silhouette, doc.pointPositions[Side], doc.leftSide);
    if (!fit.fitted) {
        report = fit;
        return;
    }
    const std::vector<Vec2> before = doc.pointPositions[Side];
    ApplyPhotoFit(doc, Side, fit);
    BlendZoneFollows(doc, before);
}

} // namespace

void ApplyPhotoFit(CVisomorfDoc& doc, int photo, const PhotoFit& fit) {
    if (!fit.fitted || fit.targets.size() != doc.pointPositions[photo].size()) {
        throw std::invalid_argument("the fit does not match the document's feature points");
    }
    // The box first: its affine map carries points, depth or size and texture coordinates at
    // once; the points' own moves are then small corrections.
    ApplyBox(doc, photo, fit.box);
    MovePointsTo(doc, photo, fit.targets);
}

DocumentFitReport AutoFitDocument(CVisomorfDoc& doc, bool applyPartial) {
    DocumentFitReport report;
    // The side photo's outline is traced while the landmark model loads and the front is fitted.
    struct Tracing {
        std::optional<ProfileSilhouette> silhouette;
        QString reason;
    };
    std::future<Tracing> tracing;
    if (!doc.photos[Side].isNull()) {
        tracing = std::async(std::launch::async, [photo = doc.photos[Side]] {
            Tracing t;
            t.silhouette = TraceProfile(photo, t.reason);
            return t;
        });
    }
    const FaceLandmarker& landmarker = FaceLandmarker::Instance();
    PhotoFit& front = report.photos[Front];
    PhotoFit& side = report.photos[Side];
    std::optional<ProfileReading> profile;
    if (!doc.photos[Front].isNull()) {
        report.attempted[Front] = true;
        front = FitFrontPhoto(doc.photos[Front], doc.pointPositions[Front], landmarker);
    }
    if (!doc.photos[Side].isNull()) {
        report.attempted[Side] = true;
        QString reason;
        // Photos of one sitting frame the head alike: the front's measure, scaled to the side
        // photo's size.
        const float drop =
            NoseDrop(front) * static_cast<float>(doc.photos[Side].height()) /
            static_cast<float>(doc.photos[Front].isNull() ? 1 : doc.photos[Front].height());
        const Tracing traced = tracing.get();
        profile = ReadTracedProfile(doc.photos[Side], traced.silhouette, traced.reason, landmarker,
                                    reason, drop);
        side = profile ? PhotoFit() : PhotoFit::Failed(reason);
        side.fitted = profile.has_value();
        if (profile && profile->guessed) {
            side.notes << QStringLiteral(
                "the side photo's outline shows no clear nose, lips and chin; they were placed "
                "at the front photo's proportions");
        }
    }
    const bool anyFailed =
        (report.attempted[Front] && !front.fitted) || (report.attempted[Side] && !profile);
    if ((!front.fitted && !profile) || (anyFailed && !applyPartial)) {
        return report;
    }
    doc.SaveSnapshot();
    std::vector<Vec3> reference;
    for (const HeadVertex& v : doc.editableMesh->vertices) {
        reference.push_back(v.position);
    }
    try {
        SideAlignment alignment;
        const std::optional<ProfileReading> asPhotographed = profile;
        if (profile) {
            alignment = front.fitted ? AlignToFront(doc, front, *profile, side)
                                     : MirrorOnly(doc, NeedsMirror(doc, *profile));
            if (alignment.mirror) {
                side.notes << QStringLiteral(
                    "the face in the side photo looks the other way than this document's side "
                    "photo; the photo was mirrored");
                profile = ForMirroredPhoto(*profile);
            }
            if (!ChangesNothing(alignment)) {
                ApplySideAlignment(doc, alignment);
            }
        }
        if (front.fitted) {
            ApplyBox(doc, Front, front.box);
        }
        if (front.fitted && profile) {
            if (!FitBothPhotos(doc, front.targets,
                               AlignProfile(*asPhotographed, alignment.transform))) {
                side.notes << QStringLiteral("the side photo's head could not be brought to the "
                                             "front photo's size; each photo was fitted alone");
                MovePointsTo(doc, Front, front.targets);
                // The profile as the document now holds its photo (aligned, mirrored).
                QString reason;
                const std::optional<ProfileReading> held =
                    ReadProfile(doc.photos[Side], landmarker, reason);
                if (held) {
                    FitSideAlone(doc, *held, side);
                } else {
                    side = PhotoFit::Failed(reason);
                }
            }
        } else if (front.fitted) {
            MovePointsTo(doc, Front, front.targets);
        } else {
            FitSideAlone(doc, *profile, side);
        }
        if (front.fitted) {
            BendFaceBack(doc, kFaceCurve);
        }
        if (UnfoldTriangles(doc, reference) < 0) {
            (front.fitted ? front : side).notes
                << QStringLiteral("some of the head's triangles stay folded; drag the "
                                  "points near them apart");
        }
        if (side.fitted) {
            PlaceBlendZone(doc, kBlendTurn,
                           front.fitted ? FrontHeadMask(doc.photos[Front], front.landmarks)
                                        : std::function<bool(const Vec2&)>());
        }
    } catch (...) {
        doc.RestoreSnapshot();
        doc.RebuildDisplayMesh();
        throw;
    }
    // Where the points ended: the unfolding and the side's heights move them past the photos'
    // own targets.
    for (int p = 0; p < kPhotoCount; ++p) {
        if (report.photos[p].fitted) {
            report.photos[p].targets = doc.pointPositions[p];
            report.photos[p].box = doc.box[p];
        }
    }
    doc.CommitChange();
    doc.SetModifiedFlag(true);
    doc.RebuildDisplayMesh();
    report.applied = true;
    return report;
}

SideMatch MatchSidePhotoToFront(CVisomorfDoc& doc) {
    if (doc.photos[Front].isNull() || doc.photos[Side].isNull()) {
        throw std::invalid_argument("both photos are needed");
    }
    SideMatch match;
    SideAlignment alignment = AlignmentFromBoxes(
        doc.box[Front], doc.box[Side], doc.photos[Side].size(), doc.photos[Front].height(), false);
    try {
        const FaceLandmarker& landmarker = FaceLandmarker::Instance();
        const PhotoFit front =
            FitFrontPhoto(doc.photos[Front], doc.pointPositions[Front], landmarker);
        QString reason;
        const std::optional<ProfileReading> profile =
            front.fitted ? ReadProfile(doc.photos[Side], landmarker, reason) : std::nullopt;
        // Only a profile that looks the document's way: mirroring the photo under the points a
        // person placed by hand would leave them on the wrong side of the face.
        if (profile && !NeedsMirror(doc, *profile)) {
            if (const std::optional<SideAlignment> a = EstimateSideAlignment(
                    SharedHeights(*profile, front.landmarks), doc.photos[Side].size(),
                    doc.photos[Front].height(), false)) {
                alignment = *a;
                match.byLandmarks = true;
            }
        }
    } catch (const std::runtime_error&) {
        // Without the landmark model the boxes still tell the heights.
    }
    match.scale = alignment.scale;
    match.roll = alignment.roll;
    doc.SaveSnapshot();
    try {
        ApplySideAlignment(doc, alignment);
    } catch (...) {
        doc.RestoreSnapshot();
        doc.RebuildDisplayMesh();
        throw;
    }
    doc.CommitChange();
    doc.SetModifiedFlag(true);
    doc.RebuildDisplayMesh();
    return match;
}

} // namespace vm
