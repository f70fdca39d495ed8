// What the automatic fit decides beyond the photos' points: where the side photo gives way to the
// front photo, and the face's curve across that neither photo shows.
#include "FitDocument.h"
#include "SyntheticHead.h"
#include "autofit/BlendPlacement.h"
#include "autofit/DocumentFit.h"
#include "autofit/FaceDepth.h"
#include "autofit/FaceLandmarks.h"
#include "autofit/FrontFit.h"
#include "autofit/detail/FrontSilhouette.h"
#include "document/CVisomorfDoc.h"
#include "texture/BlendZone.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace vm {
namespace {

// A front photo and a smaller, lower profile fitted together.
std::unique_ptr<CVisomorfDoc> FittedPair() {
    auto doc = test::NewFitDocument();
    test::LoadPhoto(*doc, Front, QImage(test::kFitData + "astronaut.jpg"));
    const test::SyntheticProfile profile = test::RenderProfile(*doc, 900, 1200, 0.9f, 1, 450, 700);
    test::LoadPhoto(*doc, Side, profile.picture);
    const DocumentFitReport report = AutoFitDocument(*doc, false);
    EXPECT_TRUE(report.applied) << report.photos[Side].failure.toStdString();
    return doc;
}

struct DepthRange {
    float front = 1e30f, back = -1e30f;
};

DepthRange Depths(const Mesh& mesh) {
    DepthRange r;
    for (const HeadVertex& v : mesh.vertices) {
        r.front = std::min(r.front, v.position.z), r.back = std::max(r.back, v.position.z);
    }
    return r;
}

// Which photo colours a vertex: +1 the front photo, -1 the side photo, 0 the ramp between.
int PhotoOf(const CVisomorfDoc& doc, const HeadVertex& v) {
    const float x = v.sideUV.x * static_cast<float>(doc.photos[Side].width());
    const float y = v.sideUV.y * static_cast<float>(doc.photos[Side].height());
    float line = 0;
    EXPECT_TRUE(BlendLine(doc.blendZone, 0).Evaluate(y, line));
    if (x > line + 0.5f * doc.blendZoneWidth) {
        return 1;
    }
    return x < line - 0.5f * doc.blendZoneWidth ? -1 : 0;
}

TEST(BlendPlacement, TheFrontPhotoColoursTheFaceAndTheSidePhotoTheBackAndOneUndoRestoresTheZone) {
    auto doc = test::NewFitDocument();
    test::LoadPhoto(*doc, Front, QImage(test::kFitData + "astronaut.jpg"));
    const test::SyntheticProfile profile = test::RenderProfile(*doc, 900, 1200, 0.9f, 1, 450, 700);
    test::LoadPhoto(*doc, Side, profile.picture);
    const std::vector<Vec2> zone = doc->blendZone;
    const float width = doc->blendZoneWidth;
    ASSERT_TRUE(AutoFitDocument(*doc, false).applied);

    const DepthRange depth = Depths(*doc->editableMesh);
    const float span = depth.back - depth.front;
    int face = 0, faceFront = 0, back = 0, backSide = 0;
    for (const HeadVertex& v : doc->editableMesh->vertices) {
        if (v.position.z < depth.front + 0.2f * span) {
            ++face;
            faceFront += PhotoOf(*doc, v) == 1;
        } else if (v.position.z > depth.back - 0.25f * span) {
            ++back;
            backSide += PhotoOf(*doc, v) == -1;
        }
    }
    ASSERT_GT(face, 20);
    ASSERT_GT(back, 20);
    EXPECT_GE(faceFront, face * 95 / 100) << faceFront << " of " << face;
    EXPECT_GE(backSide, back * 95 / 100) << backSide << " of " << back;
    // The ramp is narrow beside the head, not the default zone's hundred pixels.
    EXPECT_LT(doc->blendZoneWidth, 0.1f * doc->box[Side].Height());

    doc->Undo();
    EXPECT_EQ(doc->blendZoneWidth, width);
    ASSERT_EQ(doc->blendZone.size(), zone.size());
    for (size_t i = 0; i < zone.size(); ++i) {
        EXPECT_EQ(doc->blendZone[i].x, zone[i].x) << i;
        EXPECT_EQ(doc->blendZone[i].y, zone[i].y) << i;
    }
}

TEST(BlendPlacement, ALeftSideDocumentGetsTheMirroredZone) {
    auto doc = FittedPair();
    PlaceBlendZone(*doc, 1.4f);
    const std::vector<Vec2> right = doc->blendZone;
    // The same head with the side photo's places mirrored, as a left-side document holds them.
    const float photoWidth = static_cast<float>(doc->photos[Side].width());
    doc->leftSide = true;
    for (HeadVertex& v : doc->editableMesh->vertices) {
        v.sideUV.x = 1.0f - v.sideUV.x;
    }
    PlaceBlendZone(*doc, 1.4f);
    ASSERT_EQ(doc->blendZone.size(), right.size());
    for (size_t i = 0; i < right.size(); ++i) {
        // The stored zone is the right-facing one; the texture mirrors it for a left side.
        EXPECT_NEAR(doc->blendZone[i].x, right[i].x, 0.5f) << i << " of " << photoWidth;
        EXPECT_NEAR(doc->blendZone[i].y, right[i].y, 0.5f) << i;
    }
}

TEST(BlendPlacement, SurfaceWhoseFrontPhotoPlaceShowsNoHeadGoesToTheSidePhoto) {
    auto doc = FittedPair();
    PlaceBlendZone(*doc, 1.4f, [](const Vec2&) { return false; });
    int front = 0;
    for (const HeadVertex& v : doc->editableMesh->vertices) {
        front += PhotoOf(*doc, v) == 1;
    }
    EXPECT_EQ(front, 0);
}

TEST(FrontHeadMask, FindsTheHeadAroundTheFaceAndNotTheBackgroundBesideIt) {
    const QImage photo(test::kFitData + "astronaut.jpg");
    const auto doc = test::NewFitDocument();
    const PhotoFit fit =
        FitFrontPhoto(photo, doc->pointPositions[Front], FaceLandmarker::Instance());
    ASSERT_TRUE(fit.fitted) << fit.failure.toStdString();
    const auto head = FrontHeadMask(photo, fit.landmarks);
    ASSERT_TRUE(head);
    for (int i : {8, 27, 30, 36, 45, 51}) { // chin, nose, eyes, mouth
        EXPECT_TRUE(head(fit.landmarks[size_t(i)])) << i;
    }
    const float w = static_cast<float>(photo.width()), h = static_cast<float>(photo.height());
    for (const Vec2& corner : {Vec2{2, 2}, Vec2{w - 3, 2}, Vec2{-5, 10}, Vec2{w + 5, h / 2}}) {
        EXPECT_FALSE(head(corner)) << corner.x << ", " << corner.y;
    }
    EXPECT_FALSE(FrontHeadMask(photo, {}));
}

TEST(FaceDepth, BendingMovesTheFaceEdgesBackUnseenByTheFrontPhotoAndTheSidePhotoFollows) {
    auto doc = FittedPair();
    const Mesh before = *doc->editableMesh;
    const DepthRange depth = Depths(before);
    float minX = 1e30f, maxX = -1e30f;
    for (const HeadVertex& v : before.vertices) {
        minX = std::min(minX, v.position.x), maxX = std::max(maxX, v.position.x);
    }
    const float half = 0.5f * (maxX - minX);
    const float sideWidth = static_cast<float>(doc->photos[Side].width());
    BendFaceBack(*doc, 1.0f);

    const Mesh& after = *doc->editableMesh;
    const float earZ = 0.5f * (depth.front + depth.back);
    float widest = 0;
    double pixelsPerDepth = 0;
    for (size_t i = 0; i < before.vertices.size(); ++i) {
        const HeadVertex &b = before.vertices[i], &a = after.vertices[i];
        // The front photo sees nothing move.
        ASSERT_EQ(a.position.x, b.position.x) << i;
        ASSERT_EQ(a.position.y, b.position.y) << i;
        ASSERT_EQ(a.frontUV.x, b.frontUV.x) << i;
        ASSERT_EQ(a.frontUV.y, b.frontUV.y) << i;
        const float back = a.position.z - b.position.z;
        ASSERT_GE(back, 0.0f) << i;
        if (b.position.z >= earZ) {
            EXPECT_EQ(back, 0.0f) << "behind the ears " << i;
        }
        widest = std::max(widest, back);
        // The side photo place moves with the depth at the side box's one scale.
        if (back > 0.05f * half) {
            const double ratio = (a.sideUV.x - b.sideUV.x) * sideWidth / back;
            if (pixelsPerDepth == 0) {
                pixelsPerDepth = ratio;
            }
            EXPECT_NEAR(ratio, pixelsPerDepth, 1e-3 * std::abs(pixelsPerDepth)) << i;
        }
    }
    EXPECT_GT(widest, 0.15f * half);
    EXPECT_NE(pixelsPerDepth, 0.0);
    // The feature points stay on their vertices' photo places.
    for (size_t k = 0; k < doc->points[Side].size(); ++k) {
        const HeadVertex& v = after.vertices[doc->points[Side][k].vertexIndex];
        EXPECT_NEAR(doc->pointPositions[Side][k].x, v.sideUV.x * sideWidth, 0.01f) << k;
    }
}

} // namespace
} // namespace vm
