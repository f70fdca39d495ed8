// The Window menu's seven layouts: the step sequences against the visible views of each layout,
// from every state, on a model of the splitters and on the real main window.
#include "app/WindowLayouts.h"

#include "AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CSplitterWndEx.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <set>

namespace vm {
namespace {

enum ViewName { Front, SwitchSide, InnerSide, View3D };
using Visible = std::set<ViewName>;

struct LayoutCase {
    uint32_t id;
    Visible visible;
};

// The views each layout shows.
const LayoutCase kLayouts[] = {
    {layout::kFront, {Front}},
    {layout::kFrontAndSide, {Front, InnerSide}},
    {layout::kSide, {InnerSide}},
    {layout::kFrontAnd3D, {Front, View3D}},
    {layout::kSideAnd3D, {SwitchSide, View3D}},
    {layout::k3D, {View3D}},
    {layout::kAll, {Front, InnerSide, View3D}},
};

// The two splitters as plain state, with the hide and show guards of the real ones.
class SplitterModel : public LayoutTarget {
public:
    int HiddenPane(SplitterId s) const override { return hidden[Index(s)]; }
    void HidePane(SplitterId s, int pane) override {
        ASSERT_EQ(hidden[Index(s)], -1) << "hide with a pane already hidden";
        hidden[Index(s)] = pane;
    }
    void ShowHiddenPane(SplitterId s) override {
        ASSERT_NE(hidden[Index(s)], -1) << "show with nothing hidden";
        hidden[Index(s)] = -1;
    }
    void SwitchOuterView(int view) override { current = view; }

    Visible Shown() const {
        Visible shown;
        if (hidden[0] != 0) {
            shown.insert(current == 0 ? Front : SwitchSide);
        }
        if (hidden[0] != 1) {
            if (hidden[1] != 0) {
                shown.insert(InnerSide);
            }
            if (hidden[1] != 1) {
                shown.insert(View3D);
            }
        }
        return shown;
    }

    int hidden[2] = {-1, -1};
    int current = 0;

private:
    static int Index(SplitterId s) { return s == SplitterId::Outer ? 0 : 1; }
};

TEST(WindowLayouts, EveryLayoutFromEveryReachableStateShowsItsViews) {
    // Each "from" layout is itself reached from each layout, so every splitter state the menu
    // can produce is a starting point.
    for (const LayoutCase& before : kLayouts) {
        for (const LayoutCase& from : kLayouts) {
            for (const LayoutCase& to : kLayouts) {
                SplitterModel model;
                ApplyLayout(before.id, model);
                ApplyLayout(from.id, model);
                ApplyLayout(to.id, model);
                EXPECT_EQ(model.Shown(), to.visible)
                    << before.id << " -> " << from.id << " -> " << to.id;
                const SplitterModel once = model;
                ApplyLayout(to.id, model);
                EXPECT_EQ(model.hidden[0], once.hidden[0]) << "twice " << to.id;
                EXPECT_EQ(model.hidden[1], once.hidden[1]) << "twice " << to.id;
                EXPECT_EQ(model.current, once.current) << "twice " << to.id;
            }
        }
    }
    EXPECT_FALSE(IsLayoutCommand(32800));
    EXPECT_TRUE(LayoutSteps(32771).empty());
}

class MainFrameLayouts : public ::testing::Test {
protected:
    void SetUp() override {
        frame = std::make_unique<CMainFrame>(doc, test::TestViews());
        frame->resize(800, 600);
        frame->show();
        QApplication::processEvents();
    }

    Visible Shown() const {
        Visible shown;
        const std::pair<QWidget*, ViewName> views[] = {{frame->FrontView(), Front},
                                                       {frame->SideView(), SwitchSide},
                                                       {frame->InnerSideView(), InnerSide},
                                                       {frame->View3D(), View3D}};
        for (const auto& [view, name] : views) {
            if (view->isVisible() && view->width() > 0 && view->height() > 0) {
                shown.insert(name);
            }
        }
        return shown;
    }

    test::ScratchSettings settings;
    CVisomorfDoc doc;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(MainFrameLayouts, StartsInAllAndReachesEachLayoutFromEachOther) {
    EXPECT_EQ(Shown(), (Visible{Front, InnerSide, View3D}));
    EXPECT_EQ(frame->Activation().Active(), frame->FrontView());
    for (const LayoutCase& from : kLayouts) {
        for (const LayoutCase& to : kLayouts) {
            frame->OnCommand(from.id);
            frame->OnCommand(to.id);
            QApplication::processEvents();
            EXPECT_EQ(Shown(), to.visible) << from.id << " -> " << to.id;
            // The active view is always one the user can see.
            QWidget* active = frame->Activation().Active();
            ASSERT_NE(active, nullptr) << from.id << " -> " << to.id;
            EXPECT_TRUE(active->isVisible()) << from.id << " -> " << to.id;
        }
    }
}

TEST_F(MainFrameLayouts, HidingTheActiveViewActivatesTheRemainingPane) {
    frame->Activation().Activate(frame->View3D());
    frame->OnCommand(layout::kFrontAndSide); // the inner splitter hides the 3D row
    EXPECT_EQ(frame->Activation().Active(), frame->InnerSideView());

    frame->OnCommand(layout::kAll);
    frame->Activation().Activate(frame->FrontView());
    frame->OnCommand(layout::k3D); // the outer splitter hides the front column
    EXPECT_EQ(frame->Activation().Active(), frame->View3D());

    // The inactive side view stays inactive when its column comes back.
    frame->OnCommand(layout::kAll);
    EXPECT_EQ(frame->Activation().Active(), frame->View3D());
}

TEST_F(MainFrameLayouts, PaneCyclingVisitsTheVisibleViewsInOrder) {
    frame->Activation().Activate(frame->FrontView());
    const uint32_t next = 57680, previous = 57681;
    frame->OnCommand(next);
    EXPECT_EQ(frame->Activation().Active(), frame->InnerSideView());
    frame->OnCommand(next);
    EXPECT_EQ(frame->Activation().Active(), frame->View3D());
    frame->OnCommand(next);
    EXPECT_EQ(frame->Activation().Active(), frame->FrontView());
    frame->OnCommand(previous);
    EXPECT_EQ(frame->Activation().Active(), frame->View3D());
    frame->OnCommand(layout::kFrontAnd3D); // the side view is out of the cycle
    frame->OnCommand(next);
    EXPECT_EQ(frame->Activation().Active(), frame->FrontView());
}

TEST_F(MainFrameLayouts, MagnifierTogglesInEveryLayoutWithItsCheckMark) {
    QAction* item = frame->Action(32789);
    ASSERT_NE(item, nullptr);
    for (const LayoutCase& layoutCase : kLayouts) {
        frame->OnCommand(layoutCase.id);
        frame->OnCommand(32789);
        EXPECT_TRUE(frame->Magnifier()->isVisible()) << layoutCase.id;
        EXPECT_TRUE(item->isChecked());
        frame->OnCommand(32789);
        EXPECT_FALSE(frame->Magnifier()->isVisible()) << layoutCase.id;
        EXPECT_FALSE(item->isChecked());
    }
}

} // namespace
} // namespace vm
