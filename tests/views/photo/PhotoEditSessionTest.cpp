// A drag's edit session on a new document, without any widget: what ending and cancelling do
// to the model, the history and the other views, and what each step rebuilds.
#include "views/photo/PhotoEditSession.h"

#include "PhotoViewFixture.h"
#include "views/photo/BlendZoneGeometry.h"

namespace vm::test {
namespace {

// Counts the notifications the document sends it.
class RecordingView : public CDocumentView {
public:
    void OnUpdate(CDocumentView*, int) override { ++updates; }
    int updates = 0;
};

class PhotoEditSessionTest : public PhotoViewFixture {
protected:
    void SetUp() override {
        PhotoViewFixture::SetUp();
        doc.AddView(&owner);
        doc.AddView(&other);
        doc.requestRedraw3D = [this] { ++redraws; };
    }
    void TearDown() override {
        doc.RemoveView(&other);
        doc.RemoveView(&owner);
        PhotoViewFixture::TearDown();
    }

    // A press at (200, 200) and two moves, at one window pixel per photo pixel.
    void TwoSteps(PhotoEditSession& session, int photo, OverlayHit target) {
        ASSERT_TRUE(session.Begin(photo, target, {200, 200}));
        EXPECT_TRUE(session.Step({215, 190}, 1.0f));
        EXPECT_TRUE(session.Step({230, 170}, 1.0f));
    }

    RecordingView owner, other;
    int redraws = 0;
};

TEST_F(PhotoEditSessionTest, EndCommitsOneUndoStepOnlyWhenAStepChangedTheModel) {
    PhotoEditSession session(doc, &owner);
    const ModelState before = State();

    // A click, and a move that does not leave the press: no step, no entry, not modified.
    ASSERT_TRUE(session.Begin(Front, {OverlayTarget::BoxPart, kBoxEdge}, {200, 200}));
    EXPECT_TRUE(session.Active());
    EXPECT_FALSE(session.Step({200, 200}, 1.0f));
    EXPECT_FALSE(session.End());
    EXPECT_FALSE(session.Active());
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(doc.History().Empty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(other.updates, 0);

    // Two steps make one entry; the other views hear of it, the owner does not.
    TwoSteps(session, Front, {OverlayTarget::BoxPart, kBoxEdge});
    EXPECT_TRUE(session.End());
    EXPECT_EQ(doc.History().Size(), 1u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(other.updates, 1);
    EXPECT_EQ(owner.updates, 0);
    EXPECT_FLOAT_EQ(doc.box[Front].left, before.snapshot.boxes[Front].left + 30);
    EXPECT_FLOAT_EQ(doc.box[Front].top, before.snapshot.boxes[Front].top - 30);
    doc.Undo();
    EXPECT_TRUE(State() == before);

    // Nothing to grab, or a second press during a drag, starts nothing.
    EXPECT_FALSE(session.Begin(Front, {}, {200, 200}));
    EXPECT_FALSE(session.Active());
    ASSERT_TRUE(session.Begin(Front, {OverlayTarget::BoxPart, 2}, {200, 200}));
    EXPECT_FALSE(session.Begin(Front, {OverlayTarget::Point, 0}, {200, 200}));
    EXPECT_TRUE(session.Cancel());
    EXPECT_FALSE(session.Cancel());
    EXPECT_FALSE(session.End());
    EXPECT_FALSE(session.Step({300, 300}, 1.0f));
}

TEST_F(PhotoEditSessionTest, CancelRestoresEveryKindOfDragExactly) {
    ASSERT_GT(doc.features[Side].size(), 1u);
    ASSERT_FALSE(doc.points[Side].empty());
    const int feature = doc.wholeObjectFeature == 0 ? 1 : 0;
    const OverlayHit targets[] = {
        {OverlayTarget::BoxPart, kBoxEdge},
        {OverlayTarget::BoxPart, 2},
        {OverlayTarget::Point, 0},
        {OverlayTarget::Feature, feature},
        {OverlayTarget::Feature, doc.wholeObjectFeature},
        {OverlayTarget::BlendVertex, 2},
        {OverlayTarget::BlendLine, kBlendCentre},
        {OverlayTarget::BlendLine, kBlendRightEdge},
    };
    const ModelState before = State();
    for (const OverlayHit& target : targets) {
        SCOPED_TRACE(static_cast<int>(target.target) * 100 + target.index);
        PhotoEditSession session(doc, &owner);
        other.updates = 0;
        TwoSteps(session, Side, target);
        EXPECT_FALSE(State() == before);
        EXPECT_TRUE(session.Cancel());
        EXPECT_TRUE(State() == before);
        EXPECT_TRUE(doc.History().Empty());
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(other.updates, 1);
    }

    // A session that goes away open takes its steps back without telling anyone.
    other.updates = 0;
    {
        PhotoEditSession session(doc, &owner);
        TwoSteps(session, Side, {OverlayTarget::Point, 0});
    }
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(doc.History().Empty());
    EXPECT_EQ(other.updates, 0);
}

TEST_F(PhotoEditSessionTest, EveryStepRebuildsTheDisplayedMeshAndAsksForA3DRedraw) {
    doc.SetModelDetail(Medium); // the displayed mesh is then a refinement, not the mesh itself
    ASSERT_NE(doc.displayedMesh, doc.editableMesh);
    const auto displayed = [this] {
        std::vector<Vec3> positions;
        for (const HeadVertex& v : doc.displayedMesh->vertices) {
            positions.push_back(v.position);
        }
        return positions;
    };
    const auto same = [](const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](Vec3 u, Vec3 v) { return u.x == v.x && u.y == v.y && u.z == v.z; });
    };

    PhotoEditSession session(doc, &owner);
    ASSERT_TRUE(session.Begin(Front, {OverlayTarget::Point, 0}, {200, 200}));
    const QPoint moves[] = {{200, 200}, {207, 203}, {207, 203}, {190, 215}};
    int steps = 0;
    for (const QPoint& mouse : moves) {
        const std::vector<Vec3> previous = displayed();
        const bool stepped = session.Step(mouse, 1.0f);
        steps += stepped ? 1 : 0;
        EXPECT_EQ(redraws, steps);
        const std::vector<Vec3> shown = displayed();
        EXPECT_EQ(same(shown, previous), !stepped);
        doc.RebuildDisplayMesh();
        EXPECT_TRUE(same(shown, displayed())) << "the step left a stale displayed mesh";
    }
    EXPECT_EQ(steps, 2);
    EXPECT_TRUE(session.End());
}

} // namespace
} // namespace vm::test
