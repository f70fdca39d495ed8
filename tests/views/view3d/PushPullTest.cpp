// Push/pull on a flat grid facing the camera, where distances from the hit are easy to count:
// the falloff, the fixed direction, reset, and undo/redo keeping the record in step.
#include "document/CVisomorfDoc.h"
#include "platform/mesh/MeshServices.h"
#include "views/view3d/PushPullEditor.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace vm {
namespace {

constexpr int kWindow = 400; // square client area, window pixels
constexpr int kSteps = 12;   // grid of (kSteps + 1)^2 vertices, 15 units apart
constexpr float kSpacing = 15;

// A grid in the plane z = 0 centred on the origin, facing the camera at -z.
void MakeGridDocument(CVisomorfDoc& doc) {
    auto mesh = std::make_shared<Mesh>();
    const float half = kSteps * kSpacing / 2;
    for (int j = 0; j <= kSteps; ++j) {
        for (int i = 0; i <= kSteps; ++i) {
            HeadVertex v{};
            v.position = {i * kSpacing - half, j * kSpacing - half, 0};
            v.diffuse = 0xFFFFFFFF;
            mesh->vertices.push_back(v);
        }
    }
    const auto at = [](int i, int j) { return static_cast<uint32_t>(j * (kSteps + 1) + i); };
    for (int j = 0; j < kSteps; ++j) {
        for (int i = 0; i < kSteps; ++i) {
            mesh->indices.insert(mesh->indices.end(), {at(i, j), at(i, j + 1), at(i + 1, j + 1),
                                                       at(i, j), at(i + 1, j + 1), at(i + 1, j)});
        }
    }
    mesh->attributes.assign(mesh->FaceCount(), 0);
    doc.editableMesh = mesh;
    doc.adjacency = ComputeAdjacency(*mesh, 0.01f);
    doc.numMaterials = 1;
    doc.modelDetail = Low;
    doc.boundingCentre = {0, 0, 0};
    doc.boundingRadius = 100;
    doc.RebuildDisplayMesh();
}

uint32_t VertexAt(float x, float y) {
    const float half = kSteps * kSpacing / 2;
    return static_cast<uint32_t>(std::lround((y + half) / kSpacing) * (kSteps + 1) +
                                 std::lround((x + half) / kSpacing));
}

class PushPullTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeGridDocument(doc);
        original = doc.editableMesh->vertices;
    }
    SceneTransforms Transforms() const {
        return camera.Transforms(doc.boundingCentre, doc.boundingRadius, true, kWindow, kWindow);
    }
    // Click at the window centre, which looks at the origin.
    bool Click(bool push) {
        return editor.PushPull(doc, Transforms(), kWindow / 2.0f, kWindow / 2.0f, push);
    }
    Vec3 Moved(uint32_t vertex) const {
        return doc.editableMesh->vertices[vertex].position - original[vertex].position;
    }

    CVisomorfDoc doc;
    Camera3D camera;
    PushPullEditor editor;
    std::vector<HeadVertex> original;
};

TEST_F(PushPullTest, PickFindsThePointUnderTheMouse) {
    const auto hit = PushPullEditor::Pick(doc, Transforms(), 200 + 30, 200 - 45);
    ASSERT_TRUE(hit.has_value());
    // The ortho view shows 200 units across 400 pixels: 2 pixels per unit, y up.
    EXPECT_NEAR(hit->point.x, 15, 1e-3f);
    EXPECT_NEAR(hit->point.y, 22.5f, 1e-3f);
    EXPECT_NEAR(hit->point.z, 0, 1e-3f);
    EXPECT_NEAR(Length(hit->direction), 1, 1e-5f);
    EXPECT_FALSE(PushPullEditor::Pick(doc, Transforms(), 2, 2).has_value()); // beyond the grid
}

TEST_F(PushPullTest, DefaultFalloffMovesByTwoOneAndNothing) {
    EXPECT_EQ(editor.Weight(0), 1);
    EXPECT_EQ(editor.Weight(29.9f), 1);
    EXPECT_FLOAT_EQ(editor.Weight(45), 0.5f);
    EXPECT_EQ(editor.Weight(60), 0);
    EXPECT_EQ(editor.Weight(75), 0);

    ASSERT_TRUE(Click(true));
    // Away from the viewer is +z, the direction fixed from the view at the first click.
    EXPECT_NEAR(Moved(VertexAt(0, 0)).z, 2, 1e-5f);
    EXPECT_NEAR(Moved(VertexAt(30, 0)).z, 2, 1e-5f);
    EXPECT_NEAR(Moved(VertexAt(0, 45)).z, 1, 1e-5f);
    EXPECT_NEAR(Moved(VertexAt(-45, 0)).z, 1, 1e-5f);
    EXPECT_EQ(Moved(VertexAt(60, 0)).z, 0);
    EXPECT_EQ(Moved(VertexAt(45, 45)).z, 0); // 63.6 units away
    EXPECT_EQ(Moved(VertexAt(0, 0)).x, 0);

    ASSERT_TRUE(Click(false)); // pull takes it back
    EXPECT_NEAR(Moved(VertexAt(0, 0)).z, 0, 1e-5f);
    EXPECT_NEAR(Moved(VertexAt(0, 45)).z, 0, 2e-3f); // the second hit lies 2 units nearer
}

TEST_F(PushPullTest, NearBeyondFarMovesEverythingWithinFarFully) {
    editor.m_fFarDistance = 40;
    editor.m_fNearDistance = 80;
    editor.m_fShift = 5;
    ASSERT_TRUE(Click(true));
    EXPECT_NEAR(Moved(VertexAt(30, 0)).z, 5, 1e-5f);
    EXPECT_NEAR(Moved(VertexAt(30, 15)).z, 5, 1e-5f); // 33.5 units
    EXPECT_EQ(Moved(VertexAt(45, 0)).z, 0);
    // Equal distances: no ramp to divide by, a full move up to r1.
    editor.m_fNearDistance = 40;
    ASSERT_TRUE(Click(true));
    EXPECT_NEAR(Moved(VertexAt(30, 15)).z, 10, 1e-5f);
}

TEST_F(PushPullTest, FirstClickFixesTheDirectionAndATurnKeepsIt) {
    EXPECT_FALSE(editor.HasFixedDirection());
    ASSERT_TRUE(Click(true));
    ASSERT_TRUE(editor.HasFixedDirection());
    EXPECT_NEAR(editor.FixedDirection().z, 1, 1e-5f);

    camera.SetRotation(QuaternionRotationAxis({0, 1, 0}, 0.5f));
    ASSERT_TRUE(Click(true));
    EXPECT_NEAR(Moved(VertexAt(0, 0)).z, 4, 1e-4f);
    EXPECT_NEAR(Moved(VertexAt(0, 0)).x, 0, 1e-4f);

    // Fix direction takes the view's direction now, in model coordinates.
    editor.FixDirection(Transforms());
    EXPECT_NEAR(editor.FixedDirection().x, -std::sin(0.5f), 1e-4f);
    EXPECT_NEAR(editor.FixedDirection().z, std::cos(0.5f), 1e-4f);
}

TEST_F(PushPullTest, EachClickIsOneUndoStepAndMarksTheDocument) {
    ASSERT_TRUE(Click(true));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.CanUndo());
    ASSERT_TRUE(Click(true));
    EXPECT_NEAR(Moved(VertexAt(0, 0)).z, 4, 1e-5f);

    doc.Undo();
    EXPECT_NEAR(Moved(VertexAt(0, 0)).z, 2, 1e-5f);
    EXPECT_NEAR(doc.displacements[VertexAt(0, 0)].z, 2, 1e-5f);
    doc.Undo();
    EXPECT_EQ(Moved(VertexAt(0, 0)).z, 0);
    EXPECT_FALSE(doc.CanUndo());
    // Reset after undoing everything must not move a vertex that undo already put back.
    EXPECT_FALSE(editor.ResetModifications(doc));
    EXPECT_EQ(Moved(VertexAt(0, 0)).z, 0);

    doc.Redo();
    doc.Redo();
    EXPECT_NEAR(Moved(VertexAt(0, 0)).z, 4, 1e-5f);
    EXPECT_NEAR(doc.displacements[VertexAt(0, 0)].z, 4, 1e-5f);
    // The displayed mesh follows the editable one.
    EXPECT_NEAR(doc.displayedMesh->vertices[VertexAt(0, 0)].position.z, 4, 1e-5f);
}

TEST_F(PushPullTest, ResetReturnsEveryVertexAndASecondResetDoesNothing) {
    ASSERT_TRUE(Click(true));
    camera.SetRotation(QuaternionRotationAxis({1, 0, 0}, 0.3f));
    editor.m_fShift = 3;
    ASSERT_TRUE(Click(false));
    ASSERT_TRUE(editor.ResetModifications(doc));
    for (size_t i = 0; i < original.size(); ++i) {
        EXPECT_NEAR(Length(Moved(static_cast<uint32_t>(i))), 0, 1e-4f) << "vertex " << i;
    }
    const std::vector<HeadVertex> afterReset = doc.editableMesh->vertices;
    EXPECT_FALSE(editor.ResetModifications(doc));
    EXPECT_EQ(std::memcmp(afterReset.data(), doc.editableMesh->vertices.data(),
                          afterReset.size() * sizeof(HeadVertex)),
              0);
    // The reset itself can be undone, bringing back the pushed head and its record.
    doc.Undo();
    EXPECT_GT(Length(Moved(VertexAt(0, 0))), 0.5f);
    ASSERT_TRUE(editor.ResetModifications(doc));
    EXPECT_NEAR(Length(Moved(VertexAt(0, 0))), 0, 1e-4f);
}

TEST_F(PushPullTest, MissOrNothingInReachChangesNothing) {
    EXPECT_FALSE(editor.PushPull(doc, Transforms(), 1, 1, true));
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.IsModified());
    // Hit between vertices with a far distance that reaches none of them.
    editor.m_fFarDistance = 1;
    editor.m_fNearDistance = 0;
    EXPECT_FALSE(editor.PushPull(doc, Transforms(), 200 + 15, 200 + 15, true));
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.IsModified());
}

} // namespace
} // namespace vm
