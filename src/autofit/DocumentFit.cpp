#include "autofit/DocumentFit.h"

#include "autofit/FaceLandmarks.h"
#include "autofit/FrontFit.h"
#include "autofit/SideFit.h"
#include "document/CVisomorfDoc.h"

namespace vm {

namespace {

// SetBox divides by the old box's size; the photo views keep boxes at least this large.
constexpr float kSmallestBox = 10;

} // namespace

void ApplyPhotoFit(CVisomorfDoc& doc, int photo, const PhotoFit& fit) {
    std::vector<Vec2>& positions = doc.pointPositions[photo];
    if (!fit.fitted || fit.targets.size() != positions.size())
        throw std::invalid_argument("the fit does not match the document's feature points");
    // The box first: its affine map carries points, depth or size and texture coordinates at
    // once; the points' own moves are then small corrections.
    const Box& box = fit.box;
    if (box.Width() >= kSmallestBox && box.Height() >= kSmallestBox && doc.box[photo].Width() > 0 &&
        doc.box[photo].Height() > 0)
        doc.SetBox(photo, box.left, box.top, box.right, box.bottom);
    for (size_t i = 0; i < positions.size(); ++i) {
        const float dx = fit.targets[i].x - positions[i].x;
        const float dy = fit.targets[i].y - positions[i].y;
        if (dx == 0 && dy == 0)
            continue;
        // One point at full weight: every point gets its own target, so the hidden
        // neighbours a hand drag would pull along are placed by their own moves.
        PointWeightMap points{{static_cast<int32_t>(i), 1.0f}};
        VertexWeightMap vertices;
        doc.CollectVertexWeights(photo, points, vertices);
        doc.MovePoints(photo, points, vertices, dx, dy);
    }
}

DocumentFitReport AutoFitDocument(CVisomorfDoc& doc, bool applyPartial) {
    DocumentFitReport report;
    const FaceLandmarker& landmarker = FaceLandmarker::Instance();
    if (!doc.photos[Front].isNull()) {
        report.attempted[Front] = true;
        report.photos[Front] =
            FitFrontPhoto(doc.photos[Front], doc.pointPositions[Front], landmarker);
    }
    if (!doc.photos[Side].isNull()) {
        report.attempted[Side] = true;
        report.photos[Side] =
            FitSidePhoto(doc.photos[Side], doc.pointPositions[Side], doc.leftSide, landmarker);
    }
    bool anyFailed = false, anyFitted = false;
    for (int p = 0; p < kPhotoCount; ++p) {
        anyFailed |= report.attempted[p] && !report.photos[p].fitted;
        anyFitted |= report.photos[p].fitted;
    }
    if (!anyFitted || (anyFailed && !applyPartial))
        return report;
    doc.SaveSnapshot();
    try {
        for (int p = 0; p < kPhotoCount; ++p)
            if (report.photos[p].fitted)
                ApplyPhotoFit(doc, p, report.photos[p]);
    } catch (...) {
        doc.RestoreSnapshot();
        doc.RebuildDisplayMesh();
        throw;
    }
    doc.CommitChange();
    doc.SetModifiedFlag(true);
    doc.RebuildDisplayMesh();
    report.applied = true;
    return report;
}

} // namespace vm
