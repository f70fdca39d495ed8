// A new document from the embedded generic head: placement, fitted boxes, refinement counts,
// sharpening, and what survives File > New.
#include "document/HeadResources.h"
#include "document/Subdivision.h"
#include "support/DocumentFixture.h"

#include <gtest/gtest.h>

namespace vm {
namespace {

void ExpectBox(const Box& actual, const Box& expected, float tolerance) {
    EXPECT_NEAR(actual.left, expected.left, tolerance);
    EXPECT_NEAR(actual.top, expected.top, tolerance);
    EXPECT_NEAR(actual.right, expected.right, tolerance);
    EXPECT_NEAR(actual.bottom, expected.bottom, tolerance);
}

class NewDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.reportFailure = [this](const QString& text) { failures << text; };
        doc.requestRedraw3D = [this] { ++redraws; };
        doc.AddView(&front);
        doc.AddView(&view3d);
        doc.AddView(&side);
        ASSERT_TRUE(doc.OnNewDocument()) << failures.join("\n").toStdString();
    }

    CVisomorfDoc doc;
    QStringList failures;
    int redraws = 0;
    test::RecordingView front{Front}, side{Side}, view3d{-1, true};
};

TEST_F(NewDocumentTest, PointsAndOffsetsComeFromTheHeadsBounds) {
    EXPECT_EQ(doc.points[Front].size(), 157u);
    EXPECT_EQ(doc.points[Side].size(), 124u);
    EXPECT_EQ(doc.editableMesh->VertexCount(), 479u);
    EXPECT_EQ(doc.editableMesh->FaceCount(), 916u);
    EXPECT_NEAR(doc.modelOffset[Front].x, 238.3998f, 1e-3f);
    EXPECT_NEAR(doc.modelOffset[Front].y, 342.09637f, 1e-3f);
    EXPECT_NEAR(doc.modelOffset[Side].x, 289.88235f, 1e-3f);
    EXPECT_NEAR(doc.modelOffset[Side].y, 342.09637f, 1e-3f);

    // Before fitting, the points span the head's outline in each photo.
    CVisomorfDoc unfitted;
    const FeatureSet set = LoadDefaultFeatureSet();
    for (int p = 0; p < kPhotoCount; ++p) {
        unfitted.points[p] = set.points[p];
    }
    unfitted.editableMesh = std::make_shared<Mesh>(LoadBaseMesh().mesh);
    unfitted.PlacePointsFromMesh();
    ExpectBox(unfitted.box[Front], {0, 0, 476.80f, 684.19f}, 0.01f);
    ExpectBox(unfitted.box[Side], {0, 0, 579.77f, 684.19f}, 0.01f);
}

TEST_F(NewDocumentTest, BoxesAreFittedIntoTheDefaultPhotoSize) {
    ExpectBox(doc.box[Front], {71.25f, 50, 528.75f, 750}, 0.01f);
    ExpectBox(doc.box[Side], {50, 95.96f, 550, 704.04f}, 0.01f);
    // The head follows its boxes: every bound vertex's texture place is its point's place.
    for (int p = 0; p < kPhotoCount; ++p) {
        for (size_t i = 0; i < doc.points[p].size(); ++i) {
            const HeadVertex& v = doc.editableMesh->vertices[doc.points[p][i].vertexIndex];
            const Vec2 uv = p == Front ? v.frontUV : v.sideUV;
            EXPECT_NEAR(uv.x * 600, doc.pointPositions[p][i].x, 0.01f) << p << " " << i;
            EXPECT_NEAR(uv.y * 800, doc.pointPositions[p][i].y, 0.01f) << p << " " << i;
        }
    }
}

TEST_F(NewDocumentTest, FreshStateAndViews) {
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_EQ(doc.blendZone.size(), 5u);
    EXPECT_EQ(doc.blendZone[4].y, 800.0f);
    EXPECT_EQ(doc.blendZoneWidth, 100.0f);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.displayedMesh, doc.editableMesh);
    ASSERT_TRUE(doc.textures[Side]);
    EXPECT_EQ(doc.textures[Side]->Width(), 600u);
    EXPECT_EQ(doc.textures[Side]->Row(0)[3], 0); // no blend until the first zone update
    EXPECT_EQ(front.fits, 1);
    EXPECT_EQ(side.fits, 1);
    EXPECT_EQ(view3d.fits, 0);
    EXPECT_GT(doc.boundingRadius, 300.0f);
    // Dense weights: a point reaches every vertex but the other points' own vertices.
    const FeaturePoint& nose = doc.points[Front][0];
    EXPECT_EQ(nose.weights.at(nose.vertexIndex), 1.0f);
    EXPECT_GT(nose.weights.size(), 479u - 157u);
}

TEST_F(NewDocumentTest, RefinementCountsAndColours) {
    doc.OnCommand(CommandId::DetailMedium);
    EXPECT_EQ(doc.displayedMesh->VertexCount(), 1861u);
    EXPECT_EQ(doc.displayedMesh->FaceCount(), 3664u);
    // White base mesh: crease and boundary edge vertices 2 x 127, inner ones 2 x 95 + 2 x 31.
    int boundary = 0, inner = 0;
    for (uint32_t i = 479; i < 1861; ++i) {
        const uint32_t colour = doc.displayedMesh->vertices[i].diffuse;
        boundary += colour == 0x00FEFEFE ? 1 : 0;
        inner += colour == 0x00FCFCFC ? 1 : 0;
    }
    EXPECT_EQ(boundary, 16);
    EXPECT_EQ(inner, 1382 - 16);
    EXPECT_EQ(view3d.updates, 1);

    doc.OnCommand(CommandId::DetailHighKey);
    EXPECT_EQ(doc.displayedMesh->VertexCount(), 7373u);
    EXPECT_EQ(doc.displayedMesh->FaceCount(), 14656u);
    EXPECT_EQ(doc.displayedMesh->vertices[5000].diffuse >> 24, 0u);
    EXPECT_EQ(doc.SubdivideMesh().VertexCount(), 7373u);
}

TEST_F(NewDocumentTest, SharpenLipsCreasesEveryEdgeAtTheLipVertices) {
    doc.SetModelDetail(Medium);
    doc.editSubdivisionOptions = [](const SubdivisionOptions&) {
        return std::optional<SubdivisionOptions>(SubdivisionOptions{false, true, false});
    };
    doc.OnCommand(CommandId::SubdivisionSettings);
    EXPECT_TRUE(doc.sharpenLips);
    EXPECT_EQ(redraws, 1);
    EXPECT_TRUE(doc.stage1Loaded);
    const std::vector<HeadVertex>& base = doc.editableMesh->vertices;
    const std::vector<HeadVertex>& refined = doc.displayedMesh->vertices;
    int creased = 0;
    for (uint32_t i = 479; i < doc.stage1.rules.size(); ++i) {
        const EdgeRule rule = DecodeEdgeRule(doc.stage1.rules[i]);
        bool touches = false;
        for (const int32_t* v = kSharpenLipsList; *v >= 0; ++v) {
            touches = touches || rule.a == *v || rule.b == *v;
        }
        if (!touches) {
            continue;
        }
        ++creased;
        const Vec3 mid = base[rule.a].position * 0.5f + base[rule.b].position * 0.5f;
        EXPECT_EQ(refined[i].position, mid) << "edge vertex " << i;
        EXPECT_EQ(refined[i].diffuse, 0x00FEFEFEu);
    }
    EXPECT_GT(creased, 14);

    // Turning the option off reads stage 1 again without the creases.
    doc.SetSubdivisionOptions({});
    EXPECT_EQ(redraws, 2);
    int crease = 0;
    for (uint32_t i = 479; i < doc.stage1.rules.size(); ++i) {
        const EdgeRule rule = DecodeEdgeRule(doc.stage1.rules[i]);
        crease += rule.c == rule.d ? 1 : 0;
    }
    EXPECT_EQ(crease, 16);
}

TEST_F(NewDocumentTest, SwitchesSurviveFileNewAndLeftSideMirrorsSidePoints) {
    doc.OnCommand(CommandId::ViewWireframe);
    doc.OnCommand(CommandId::DetailMedium);
    const std::vector<Vec2> plain = doc.pointPositions[Side];
    doc.SaveSnapshot();
    doc.CommitChange();
    doc.leftSide = true;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.wireframe);
    EXPECT_EQ(doc.modelDetail, Medium);
    EXPECT_EQ(doc.displayedMesh->VertexCount(), 1861u);
    EXPECT_TRUE(doc.History().Empty());
    // Mirrored about the side box: the box is the same, each x reflected within it.
    ExpectBox(doc.box[Side], {50, 95.96f, 550, 704.04f}, 0.01f);
    const Box& b = doc.box[Side];
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_NEAR(doc.pointPositions[Side][i].x, b.left + b.right - plain[i].x, 0.01f);
    }
}

} // namespace
} // namespace vm
