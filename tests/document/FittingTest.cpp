// Point moves, box maps and box fitting on the hand-made strip document.
#include "platform/core/Exceptions.h"
#include "support/DocumentFixture.h"

#include <gtest/gtest.h>

namespace vm {
namespace {

class FittingTest : public ::testing::Test {
protected:
    void SetUp() override { test::MakeStripDocument(doc); }
    const HeadVertex& Vertex(uint32_t i) const { return doc.editableMesh->vertices[i]; }
    void ExpectAllFinite() const {
        for (const HeadVertex& v : doc.editableMesh->vertices) {
            for (float f : {v.position.x, v.position.y, v.position.z, v.frontUV.x, v.frontUV.y,
                            v.sideUV.x, v.sideUV.y}) {
                ASSERT_TRUE(std::isfinite(f));
            }
        }
        for (const auto& positions : doc.pointPositions) {
            for (const Vec2& p : positions) {
                ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
            }
        }
    }
    CVisomorfDoc doc;
};

TEST_F(FittingTest, FrontMoveShiftsBoundVertexFullyInXAndHalfInY) {
    PointWeightMap points;
    doc.CollectPointWeights(Front, 2, points);
    VertexWeightMap vertices;
    doc.CollectVertexWeights(Front, points, vertices);
    const HeadVertex before = Vertex(2);
    doc.MovePoints(Front, points, vertices, 6.0f, 8.0f);

    EXPECT_FLOAT_EQ(doc.pointPositions[Front][2].x, 26.0f);
    EXPECT_FLOAT_EQ(doc.pointPositions[Front][2].y, 8.0f);
    EXPECT_FLOAT_EQ(Vertex(2).position.x, before.position.x + 6.0f);
    EXPECT_FLOAT_EQ(Vertex(2).position.y, before.position.y - 4.0f);
    EXPECT_EQ(Vertex(2).position.z, before.position.z);
    // No photo: the texture coordinates move by the delta over 600 x 800.
    EXPECT_FLOAT_EQ(Vertex(2).frontUV.x, before.frontUV.x + 6.0f / 600.0f);
    EXPECT_FLOAT_EQ(Vertex(2).frontUV.y, before.frontUV.y + 8.0f / 800.0f);
    EXPECT_EQ(Vertex(2).sideUV.x, before.sideUV.x);
    // The box follows the points.
    EXPECT_FLOAT_EQ(doc.box[Front].bottom, 8.0f);
}

TEST_F(FittingTest, SideMoveChangesOnlyDepthAndMirrorsWithLeftSide) {
    const PointWeightMap points{{0, 1.0f}};
    VertexWeightMap vertices;
    doc.CollectVertexWeights(Side, points, vertices);
    const HeadVertex before = Vertex(0);
    doc.MovePoints(Side, points, vertices, 5.0f, 0.0f);
    EXPECT_FLOAT_EQ(Vertex(0).position.z, before.position.z - 5.0f);
    EXPECT_EQ(Vertex(0).position.x, before.position.x);
    EXPECT_EQ(Vertex(0).position.y, before.position.y);
    EXPECT_EQ(Vertex(0).frontUV.x, before.frontUV.x);

    doc.leftSide = true;
    doc.MovePoints(Side, points, vertices, 5.0f, 0.0f);
    EXPECT_FLOAT_EQ(Vertex(0).position.z, before.position.z);
}

TEST_F(FittingTest, BadMapMovesNothing) {
    const auto positions = doc.pointPositions[Front];
    const auto vertices = doc.editableMesh->vertices;
    EXPECT_THROW(doc.MovePoints(Front, {{0, 1.0f}}, {{0, 1.0f}, {12, 1.0f}}, 3, 3),
                 InvalidArgumentException);
    EXPECT_THROW(doc.MovePoints(Front, {{8, 1.0f}}, {}, 3, 3), InvalidArgumentException);
    EXPECT_EQ(doc.pointPositions[Front][0].x, positions[0].x);
    EXPECT_EQ(doc.editableMesh->vertices[0].position.x, vertices[0].position.x);
}

TEST_F(FittingTest, SettingTheSameBoxChangesNothing) {
    const auto positions = doc.pointPositions[Side];
    const auto vertices = doc.editableMesh->vertices;
    for (int p = 0; p < kPhotoCount; ++p) {
        const Box b = doc.box[p];
        doc.SetBox(p, b.left, b.top, b.right, b.bottom);
    }
    for (size_t i = 0; i < vertices.size(); ++i) {
        const HeadVertex& v = doc.editableMesh->vertices[i];
        EXPECT_EQ(v.position, vertices[i].position);
        EXPECT_EQ(v.frontUV.x, vertices[i].frontUV.x);
        EXPECT_EQ(v.sideUV.y, vertices[i].sideUV.y);
    }
    EXPECT_EQ(doc.pointPositions[Side][2].x, positions[2].x);
}

TEST_F(FittingTest, SideBoxWidthScalesDepthAndHeightShrinksIt) {
    // Depth about the centre of the bounding box (z from 0 to 10: centre 5).
    const Box b = doc.box[Side];
    doc.SetBox(Side, b.left, b.top, b.left + 2 * b.Width(), b.bottom);
    EXPECT_FLOAT_EQ(Vertex(11).position.z, 15.0f);
    EXPECT_FLOAT_EQ(Vertex(0).position.z, -5.0f);
    EXPECT_EQ(Vertex(11).position.x, 50.0f); // width and height stay with the front photo

    const Box wide = doc.box[Side];
    doc.SetBox(Side, wide.left, wide.top, wide.right, wide.top + 2 * wide.Height());
    EXPECT_FLOAT_EQ(Vertex(11).position.z, 10.0f);
    EXPECT_FLOAT_EQ(Vertex(0).position.z, 0.0f);
}

TEST_F(FittingTest, FitBoxToPhotoCentresTheBoxWithAMargin) {
    // Front points span 40 x 20 pixels: k = min(600 / 40, 800 / 20) = 15.
    doc.FitBoxToPhoto(Front);
    const Box& b = doc.box[Front];
    EXPECT_FLOAT_EQ(b.Width(), 500.0f);
    EXPECT_FLOAT_EQ(b.Height(), 200.0f);
    EXPECT_FLOAT_EQ(b.left, 50.0f);
    EXPECT_FLOAT_EQ(b.top, 300.0f);
    // The points were mapped with the box.
    EXPECT_FLOAT_EQ(doc.pointPositions[Front][4].x, 550.0f);
}

TEST_F(FittingTest, TinyPhotoKeepsABoxOfTenPixels) {
    doc.photos[Front] = QImage(40, 30, QImage::Format_RGB32);
    doc.FitBoxToPhoto(Front);
    EXPECT_GE(doc.box[Front].Width(), 10.0f);
    EXPECT_GE(doc.box[Front].Height(), 10.0f);
    ExpectAllFinite();
}

TEST_F(FittingTest, CollapsedPointsNeverDivideByZero) {
    for (Vec2& p : doc.pointPositions[Side]) {
        p = {7, 9};
    }
    doc.UpdateBoxFromPoints(Side);
    doc.FitBoxToPhoto(Side);
    EXPECT_GE(doc.box[Side].Width(), 10.0f);
    EXPECT_GE(doc.box[Side].Height(), 10.0f);
    ExpectAllFinite();
    // A box without extent is refused rather than set.
    const Box before = doc.box[Side];
    EXPECT_THROW(doc.SetBox(Side, 5, 5, 5, 20), InvalidArgumentException);
    EXPECT_EQ(doc.box[Side], before);
}

TEST_F(FittingTest, TextureCoordinatesUseTheDefaultPhotoSizeAndLeftSide) {
    const HeadVertex& v = Vertex(11); // (50, 20, 10)
    EXPECT_FLOAT_EQ(v.frontUV.x, (50.0f + doc.modelOffset[Front].x) / 600.0f);
    EXPECT_FLOAT_EQ(v.frontUV.y, (doc.modelOffset[Front].y - 20.0f) / 800.0f);
    EXPECT_FLOAT_EQ(v.sideUV.x, (doc.modelOffset[Side].x - 10.0f) / 600.0f);
    doc.leftSide = true;
    doc.ComputeTextureCoords(doc.editableMesh->vertices.data(), doc.editableMesh->VertexCount());
    EXPECT_FLOAT_EQ(Vertex(11).sideUV.x, (doc.modelOffset[Side].x + 10.0f) / 600.0f);
}

} // namespace
} // namespace vm
