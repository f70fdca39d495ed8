// The two photos fitted together: the side photo aligned to the front's heights, the heights
// both photos give every vertex, folds, left-facing profiles, and Match Side Photo to Front.
#include "autofit/detail/JointFit.h"

#include "FitDocument.h"
#include "SyntheticHead.h"
#include "autofit/DocumentFit.h"
#include "autofit/FaceLandmarks.h"
#include "autofit/SideAlignment.h"
#include "autofit/detail/SideFit.h"
#include "document/CVisomorfDoc.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace vm {
namespace {

const QString kData = test::kFitData;

std::unique_ptr<CVisomorfDoc> NewDocument() {
    return test::NewFitDocument();
}

void Load(CVisomorfDoc& doc, int photo, const QImage& image) {
    test::LoadPhoto(doc, photo, image);
}

// Triangles whose corners turn the other way round in a projection than they do on the generic
// head: a fold. front: (x, y); side: (z, y). A triangle seen nearly edge-on (its projection less
// than a third of its area) shows no face to turn over and is not counted.
int FlippedTriangles(const Mesh& generic, const Mesh& fitted, bool side) {
    auto corner = [side](const Mesh& m, size_t f, int c) {
        const Vec3& v = m.vertices[m.indices[3 * f + c]].position;
        return side ? Vec2{v.z, v.y} : Vec2{v.x, v.y};
    };
    auto projected = [&](const Mesh& m, size_t f) {
        const Vec2 a = corner(m, f, 0), b = corner(m, f, 1), c = corner(m, f, 2);
        return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    };
    auto whole = [](const Mesh& m, size_t f) {
        const Vec3& a = m.vertices[m.indices[3 * f]].position;
        const Vec3& b = m.vertices[m.indices[3 * f + 1]].position;
        const Vec3& c = m.vertices[m.indices[3 * f + 2]].position;
        const Vec3 n = Cross(b - a, c - a);
        return std::sqrt(Dot(n, n));
    };
    int flips = 0;
    for (size_t f = 0; f < generic.FaceCount(); ++f) {
        const float before = projected(generic, f);
        if (std::abs(before) > 0.35f * whole(generic, f) && before * projected(fitted, f) < 0) {
            ++flips;
        }
    }
    return flips;
}

TEST(SideAlignment, RecoversScaleRollAndShiftOfAPhotoResampledByHand) {
    const auto doc = NewDocument();
    const test::SyntheticProfile drawn = test::RenderProfile(*doc, 900, 1200, 1.3f, 1, 430, 560);
    SideAlignment known;
    known.scale = 0.8;
    known.roll = 0.06;
    known.shiftY = 70;
    CompleteAlignment(known, drawn.picture.size(), 1100);
    const QImage resampled = ResampleSidePhoto(drawn.picture, known);
    ASSERT_EQ(resampled.size(), known.size);
    QString reason;
    const auto original = ReadProfile(drawn.picture, FaceLandmarker::Instance(), reason);
    const auto moved = ReadProfile(resampled, FaceLandmarker::Instance(), reason);
    ASSERT_TRUE(original && moved) << reason.toStdString();
    // The resampled photo's landmarks, pinned where the drawn photo has them, give back the
    // inverse of the resampling.
    std::vector<HeightPair> pairs;
    const ProfileLandmarks& a = original->landmarks;
    const ProfileLandmarks& b = moved->landmarks;
    for (const auto& [from, to] : {std::pair{b.nasion, a.nasion},
                                   {b.noseTip, a.noseTip},
                                   {b.subnasale, a.subnasale},
                                   {b.upperLip, a.upperLip},
                                   {b.chin, a.chin},
                                   {b.top, a.top}}) {
        const Vec2 target = ProfileToPhoto(original->silhouette, to);
        pairs.push_back({ProfileToPhoto(moved->silhouette, from), target.y, 1, target.x});
    }
    const auto back = EstimateSideAlignment(pairs, resampled.size(), 1200, false);
    ASSERT_TRUE(back.has_value());
    EXPECT_NEAR(back->scale, 1 / known.scale, 0.03);
    // Landmarks found on an outline slide along it as the photo turns, so the roll comes back to
    // within about two degrees.
    EXPECT_NEAR(back->roll, -known.roll, 0.04);
    // Heights alone (the front photo tells no place across) find scale and shift of a photo
    // that is not rolled; misread places are refused rather than believed.
    std::vector<HeightPair> heights;
    for (const HeightPair& p : pairs) {
        heights.push_back({{p.side.x, p.side.y * 0.8f + 40}, p.side.y, 1, std::nullopt});
    }
    const auto upright = EstimateSideAlignment(heights, resampled.size(), 1200, false);
    ASSERT_TRUE(upright.has_value());
    EXPECT_NEAR(upright->scale, 1.25, 0.01);
    EXPECT_NEAR(upright->roll, 0, 0.01);
    EXPECT_NEAR(upright->shiftY, -50, 1.5);
    heights.back().frontY += 400;
    EXPECT_FALSE(EstimateSideAlignment(heights, resampled.size(), 1200, false).has_value());
}

TEST(JointFit, BothPhotosGiveEveryVertexOneHeightAndNoTriangleFolds) {
    const auto doc = NewDocument();
    const Mesh generic = *doc->editableMesh;
    Load(*doc, Front, QImage(kData + "astronaut.jpg"));
    // The profile smaller and lower in its photo than the face in the front photo, as another
    // camera distance and height would show it.
    const test::SyntheticProfile profile = test::RenderProfile(*doc, 900, 1200, 0.9f, 1, 450, 700);
    Load(*doc, Side, profile.picture);
    const DocumentFitReport report = AutoFitDocument(*doc, false);
    ASSERT_TRUE(report.applied) << report.photos[Side].failure.toStdString();
    EXPECT_NE(doc->photos[Side].size(), profile.picture.size()); // resampled to the front's heights
    const float frontHeight = doc->photos[Front].height();
    const float sideHeight = doc->photos[Side].height();
    const float headHeight = doc->box[Front].Height();
    std::vector<double> gaps;
    for (const HeadVertex& v : doc->editableMesh->vertices) {
        gaps.push_back(
            100 *
            std::abs(static_cast<double>(v.frontUV.y * frontHeight - v.sideUV.y * sideHeight)) /
            headHeight);
    }
    std::sort(gaps.begin(), gaps.end());
    const double typical = gaps[gaps.size() / 2], most = gaps[gaps.size() * 95 / 100];
    std::printf("joint heights: photos disagree by %.2f %% of the head's height (median), "
                "%.2f %% (95th percentile), %.2f %% at worst\n",
                typical, most, gaps.back());
    // The side points give the heights of the vertices between them only as well as their
    // weights spread; the rest is the unfolding's smoothing.
    EXPECT_LT(typical, 1.0);
    EXPECT_LT(most, 4.0);
    // The model's heights follow the front photo's pixels one to one (the half-moves agreed).
    double sum = 0, sumSq = 0;
    const auto& vertices = doc->editableMesh->vertices;
    for (const HeadVertex& v : vertices) {
        const double offset = v.position.y + v.frontUV.y * frontHeight;
        sum += offset;
        sumSq += offset * offset;
    }
    const double n = static_cast<double>(vertices.size());
    EXPECT_LT(std::sqrt(sumSq / n - (sum / n) * (sum / n)), 0.02 * headHeight);
    EXPECT_EQ(FlippedTriangles(generic, *doc->editableMesh, false), 0);
    EXPECT_EQ(FlippedTriangles(generic, *doc->editableMesh, true), 0);
}

// A patch of the face pushed through the surface folds the triangles around it; unfolding
// opens every fold, leaves the rest of the head where it was and carries the photos along.
TEST(JointFit, UnfoldingOpensAFoldedPatchAndLeavesTheRestOfTheHeadAlone) {
    const auto doc = NewDocument();
    Mesh& mesh = *doc->editableMesh;
    std::vector<Vec3> reference;
    for (const HeadVertex& v : mesh.vertices) {
        reference.push_back(v.position);
    }
    // The vertex nearest the middle of the cheek, its ring of neighbours, and a second ring.
    uint32_t centre = 0;
    for (uint32_t v = 0; v < mesh.vertices.size(); ++v) {
        const Vec3& p = mesh.vertices[v].position;
        const Vec3& c = mesh.vertices[centre].position;
        if (p.z < 0 &&
            std::abs(p.x - 35) + std::abs(p.y + 40) < std::abs(c.x - 35) + std::abs(c.y + 40)) {
            centre = v;
        }
    }
    std::vector<bool> patch(mesh.vertices.size());
    patch[centre] = true;
    for (int ring = 0; ring < 2; ++ring) {
        std::vector<bool> wider = patch;
        for (size_t f = 0; f < mesh.FaceCount(); ++f) {
            bool touches = false;
            for (int c = 0; c < 3; ++c) {
                touches = touches || patch[mesh.indices[3 * f + c]];
            }
            for (int c = 0; c < 3 && touches; ++c) {
                wider[mesh.indices[3 * f + c]] = true;
            }
        }
        patch = std::move(wider);
    }
    // Pushed far up and across: the triangles at the patch's edge turn over in both projections.
    for (uint32_t v = 0; v < mesh.vertices.size(); ++v) {
        if (patch[v]) {
            mesh.vertices[v].position = mesh.vertices[v].position + Vec3{-30, 45, 30};
        }
    }
    ASSERT_FALSE(FoldedTriangles(mesh, reference).empty());
    const std::vector<HeadVertex> folded = mesh.vertices;
    EXPECT_GE(UnfoldTriangles(*doc, reference), 0);
    EXPECT_TRUE(FoldedTriangles(mesh, reference).empty());
    // Only the patch and a ring or two around it move; the photo places move with each vertex,
    // at the boxes' scales (a front photo's u grows with x, its v falls as y rises).
    size_t moved = 0, most = 0;
    for (uint32_t v = 0; v < mesh.vertices.size(); ++v) {
        const float d = Length(mesh.vertices[v].position - folded[v].position);
        moved += d > 1e-4f;
        most = d > Length(mesh.vertices[most].position - folded[most].position) ? v : most;
    }
    EXPECT_LT(moved, mesh.vertices.size() / 8);
    const Vec3 step = mesh.vertices[most].position - folded[most].position;
    const Vec2 frontStep{mesh.vertices[most].frontUV.x - folded[most].frontUV.x,
                         mesh.vertices[most].frontUV.y - folded[most].frontUV.y};
    EXPECT_GT(frontStep.x * step.x, 0.0f);
    EXPECT_LT(frontStep.y * step.y, 0.0f);
}

TEST(JointFit, ALeftFacingProfileIsMirroredIntoTheDocumentAndOneUndoBringsItBack) {
    const auto doc = NewDocument();
    Load(*doc, Front, QImage(kData + "astronaut.jpg"));
    const test::SyntheticProfile profile = test::RenderProfile(*doc, 900, 1200, 1.3f, 1, 430, 560);
    Load(*doc, Side, profile.picture.mirrored(true, false));
    const QImage loaded = doc->photos[Side];
    const QByteArray loadedBytes = doc->photoJpegBytes[Side];
    const std::vector<Vec2> points = doc->pointPositions[Side];
    doc->SetModifiedFlag(false);
    const DocumentFitReport report = AutoFitDocument(*doc, false);
    ASSERT_TRUE(report.applied) << report.photos[Side].failure.toStdString();
    EXPECT_TRUE(report.photos[Side].notes.join(' ').contains("mirrored"));
    EXPECT_FALSE(doc->leftSide);
    QString reason;
    const auto stored = ReadProfile(doc->photos[Side], FaceLandmarker::Instance(), reason);
    ASSERT_TRUE(stored.has_value()) << reason.toStdString();
    EXPECT_TRUE(stored->silhouette.facesRight);
    EXPECT_FALSE(doc->photoJpegBytes[Side].isEmpty()); // saved without encoding again
    EXPECT_TRUE(doc->IsModified());
    doc->Undo();
    EXPECT_EQ(doc->photos[Side].cacheKey(), loaded.cacheKey());
    EXPECT_EQ(doc->photoJpegBytes[Side], loadedBytes);
    EXPECT_EQ(doc->textures[Side]->Width(), static_cast<uint32_t>(loaded.width()));
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(doc->pointPositions[Side][i].x, points[i].x) << i;
    }
    doc->Redo();
    EXPECT_NE(doc->photos[Side].cacheKey(), loaded.cacheKey());
}

TEST(MatchSidePhotoToFront, WithoutFacesTheBoxesHeightsAgreeAndThePointsStayOnThePhoto) {
    const auto doc = NewDocument();
    QImage front(600, 800, QImage::Format_RGB32), side(900, 1200, QImage::Format_RGB32);
    front.fill(qRgb(60, 110, 150));
    side.fill(qRgb(90, 90, 90));
    Load(*doc, Front, front);
    Load(*doc, Side, side);
    doc->SetModifiedFlag(false);
    const Box before = doc->box[Side];
    const Vec2 point = doc->pointPositions[Side][40];
    const HeadVertex& v = doc->editableMesh->vertices[doc->points[Side][40].vertexIndex];
    const std::vector<float> uv = {v.sideUV.x, v.sideUV.y};
    const SideMatch match = MatchSidePhotoToFront(*doc);
    EXPECT_FALSE(match.byLandmarks);
    EXPECT_NEAR(doc->box[Side].top, doc->box[Front].top, 0.5f);
    EXPECT_NEAR(doc->box[Side].bottom, doc->box[Front].bottom, 0.5f);
    EXPECT_EQ(doc->photos[Side].height(), doc->photos[Front].height());
    // The point keeps its place on the photo: scaled with it, and its vertex's texture
    // coordinate with it.
    const double k = match.scale;
    EXPECT_NEAR(doc->pointPositions[Side][40].y, (point.y - before.top) * k + doc->box[Front].top,
                0.5);
    const HeadVertex& after = doc->editableMesh->vertices[doc->points[Side][40].vertexIndex];
    EXPECT_NEAR(after.sideUV.y * doc->photos[Side].height(), doc->pointPositions[Side][40].y, 0.5);
    EXPECT_TRUE(doc->IsModified());
    doc->Undo();
    EXPECT_EQ(doc->box[Side], before);
    EXPECT_EQ(doc->photos[Side].size(), QSize(900, 1200));
    EXPECT_NEAR(after.sideUV.x, uv[0], 1e-6);
    EXPECT_FALSE(doc->CanUndo());
}

} // namespace
} // namespace vm
