// The captioned splitter: its geometry rules as a plain class, then the widget's switchable
// pane, hiding, caption clicks and bar drags.
#include "app/CSplitterWndEx.h"
#include "app/CViewActivation.h"
#include "app/SplitterLayout.h"
#include "platform/core/Exceptions.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace vm {
namespace {

constexpr int kCaption = SplitterLayout::kCaptionHeight;
constexpr int kBar = SplitterLayout::kBarWidth;

TEST(SplitterLayout, OnlyOnePaneHidesAndShowingNeedsAHiddenPane) {
    SplitterLayout layout(true);
    EXPECT_FALSE(layout.Show()); // nothing hidden: nothing changes
    EXPECT_EQ(layout.HiddenPane(), -1);
    EXPECT_TRUE(layout.Hide(1));
    EXPECT_FALSE(layout.Hide(0)); // column 1 stays the hidden one
    EXPECT_EQ(layout.HiddenPane(), 1);
    EXPECT_TRUE(layout.IsPaneVisible(0));
    EXPECT_TRUE(layout.Show());
    EXPECT_EQ(layout.HiddenPane(), -1);
    EXPECT_FALSE(layout.Hide(2));
}

TEST(SplitterLayout, ViewPanesLieUnderTheirEighteenPixelCaption) {
    const QSize size(401, 300);
    SplitterLayout columns(true);
    columns.SetHoldsView(1, false); // a nested splitter fills its whole cell
    EXPECT_EQ(columns.Cell(0, size), QRect(0, 0, 200, 300)); // half, integer division
    EXPECT_EQ(columns.BarRect(size), QRect(200, 0, kBar, 300));
    EXPECT_EQ(columns.Cell(1, size), QRect(200 + kBar, 0, 401 - 200 - kBar, 300));
    EXPECT_EQ(columns.CaptionRect(0, size), QRect(0, 0, 200, kCaption));
    EXPECT_EQ(columns.PaneRect(0, size), QRect(0, kCaption, 200, 300 - kCaption));
    EXPECT_TRUE(columns.CaptionRect(1, size).isNull());
    EXPECT_EQ(columns.PaneRect(1, size), columns.Cell(1, size));

    // One pane hidden: the other takes everything, without a bar.
    columns.Hide(0);
    EXPECT_EQ(columns.Cell(1, size), QRect(QPoint(0, 0), size));
    EXPECT_TRUE(columns.Cell(0, size).isNull());
    EXPECT_TRUE(columns.BarRect(size).isNull());

    SplitterLayout rows(false);
    rows.SetIdealSize(100);
    EXPECT_EQ(rows.PaneRect(0, size), QRect(0, kCaption, 401, 100 - kCaption));
    EXPECT_EQ(rows.CaptionRect(1, size), QRect(0, 100 + kBar, 401, kCaption));
    // A first pane larger than the room leaves the bar and an empty last pane.
    rows.SetIdealSize(1000);
    EXPECT_EQ(rows.BarRect(size), QRect(0, 300 - kBar, 401, kBar));
    EXPECT_EQ(rows.Cell(1, size).height(), 0);
}

TEST(SplitterLayout, CaptionHitsFindTheViewPaneIncludingItsCaption) {
    const QSize size(400, 300);
    SplitterLayout rows(false);
    rows.SetIdealSize(150);
    EXPECT_EQ(rows.ViewPaneAt({10, 5}, size), 0);
    EXPECT_EQ(rows.ViewPaneAt({10, 150 + kBar + 5}, size), 1);
    EXPECT_EQ(rows.ViewPaneAt({10, 152}, size), -1); // on the bar
    EXPECT_TRUE(rows.IsOnBar({10, 152}, size));
    rows.SetHoldsView(1, false);
    EXPECT_EQ(rows.ViewPaneAt({10, 200}, size), -1);
}

TEST(SplitterLayout, RowBarBelowTheMinimumHidesTheRowContent) {
    const QSize size(400, 300);
    SplitterLayout rows(false);
    // The drag counts in the pane's client space, under the caption bar.
    rows.TrackBar(kCaption + 50);
    EXPECT_EQ(rows.IdealSize(), kCaption + 50);
    rows.TrackBar(kCaption + SplitterLayout::kMinimumPaneSize);
    EXPECT_EQ(rows.IdealSize(), kCaption + SplitterLayout::kMinimumPaneSize);
    rows.TrackBar(kCaption + SplitterLayout::kMinimumPaneSize - 1);
    EXPECT_EQ(rows.IdealSize(), 0);
    EXPECT_EQ(rows.Cell(0, size).height(), 0);
    EXPECT_TRUE(rows.PaneRect(0, size).isEmpty());
    EXPECT_TRUE(rows.CaptionRect(0, size).isEmpty());
    EXPECT_EQ(rows.Cell(1, size), QRect(0, kBar, 400, 300 - kBar));
    rows.TrackBar(-40); // dragged above the splitter
    EXPECT_EQ(rows.IdealSize(), 0);

    // Columns have no caption to the side: the position itself is the size.
    SplitterLayout columns(true);
    columns.TrackBar(SplitterLayout::kMinimumPaneSize);
    EXPECT_EQ(columns.IdealSize(), SplitterLayout::kMinimumPaneSize);
    columns.TrackBar(SplitterLayout::kMinimumPaneSize - 1);
    EXPECT_EQ(columns.IdealSize(), 0);
}

QWidget* Titled(QWidget* parent, const char* title) {
    auto* view = new QWidget(parent);
    view->setWindowTitle(QLatin1String(title));
    view->setFocusPolicy(Qt::ClickFocus);
    return view;
}

class SplitterWidget : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(600, 400);
        splitter = new CSplitterWndEx(true, activation, &window);
        splitter->setGeometry(0, 0, 600, 400);
        splitter->AddView([](QWidget* p) { return Titled(p, "Front View"); });
        splitter->AddView([](QWidget* p) { return Titled(p, "Side View"); });
        inner = splitter->CreateNested([](QWidget* p) { return Titled(p, "Side View"); },
                                       [](QWidget* p) { return Titled(p, "3D View"); });
        splitter->SwitchView(0);
        window.show();
        QApplication::processEvents();
    }

    QWidget window;
    CViewActivation activation;
    CSplitterWndEx* splitter = nullptr;
    CSplitterWndEx* inner = nullptr;
};

TEST_F(SplitterWidget, SwitchablePaneShowsExactlyOneViewAndRefusesBadIndexes) {
    QWidget* front = splitter->View(0);
    QWidget* side = splitter->View(1);
    EXPECT_TRUE(front->isVisible());
    EXPECT_FALSE(side->isVisible());
    EXPECT_EQ(front->geometry(), QRect(0, kCaption, 300, 400 - kCaption));
    splitter->SwitchView(1);
    EXPECT_FALSE(front->isVisible());
    EXPECT_TRUE(side->isVisible());
    EXPECT_EQ(side->geometry(), QRect(0, kCaption, 300, 400 - kCaption));
    splitter->SwitchView(1); // the view it already shows stays
    EXPECT_TRUE(side->isVisible());
    EXPECT_THROW(splitter->SwitchView(2), InvalidArgumentException);
    EXPECT_THROW(splitter->SwitchView(-1), InvalidArgumentException);
    EXPECT_EQ(splitter->CurrentView(), 1);
    // A view that cannot be made changes nothing.
    EXPECT_EQ(splitter->AddView([](QWidget*) -> QWidget* { return nullptr; }), -1);
    EXPECT_EQ(splitter->CurrentView(), 1);
    EXPECT_TRUE(side->isVisible());
    // The nested splitter fills its cell; its views sit under their captions.
    EXPECT_EQ(inner->geometry(), QRect(300 + kBar, 0, 300 - kBar, 400));
    EXPECT_EQ(inner->PaneWidget(0)->geometry().top(), kCaption);
}

TEST_F(SplitterWidget, HidingAColumnMovesTheActivationAndShowingDoesNotTakeIt) {
    activation.Activate(splitter->View(0));
    splitter->HideColumn(0);
    EXPECT_FALSE(splitter->View(0)->isVisible());
    EXPECT_EQ(activation.Active(), inner->PaneWidget(0)); // first view of the other column
    EXPECT_EQ(inner->geometry(), QRect(0, 0, 600, 400));
    splitter->HideColumn(1); // one hidden already
    EXPECT_TRUE(inner->isVisible());
    splitter->ShowColumn();
    EXPECT_TRUE(splitter->View(0)->isVisible());
    EXPECT_EQ(activation.Active(), inner->PaneWidget(0));
    // Switching away from the active view hands the activation to the view shown instead.
    activation.Activate(splitter->View(0));
    splitter->SwitchView(1);
    EXPECT_EQ(activation.Active(), splitter->View(1));
}

TEST_F(SplitterWidget, CaptionClickActivatesItsViewAndRepaintsInActiveColours) {
    activation.Activate(splitter->View(0));
    QWidget* view3D = inner->PaneWidget(1);
    const QRect caption = inner->CaptionRect(1);
    ASSERT_EQ(caption.height(), kCaption);
    auto captionColour = [&] {
        QApplication::processEvents();
        return inner->grab().toImage().pixelColor(caption.center());
    };
    const QColor inactive = captionColour();
    QTest::mouseClick(inner, Qt::LeftButton, {}, caption.center() + QPoint(40, 0));
    EXPECT_EQ(activation.Active(), view3D);
    EXPECT_TRUE(view3D->hasFocus() || !window.isActiveWindow());
    const QColor active = captionColour();
    EXPECT_EQ(active, inner->palette().color(QPalette::Highlight));
    EXPECT_NE(active, inactive);
}

TEST_F(SplitterWidget, RowBarDraggedAboveTheMinimumCollapsesTheUpperView) {
    QWidget* upper = inner->PaneWidget(0);
    QWidget* lower = inner->PaneWidget(1);
    const QRect bar = inner->Layout().BarRect(inner->size());
    QTest::mousePress(inner, Qt::LeftButton, {}, bar.center());
    QMouseEvent move(QEvent::MouseMove, QPointF(bar.center().x(), kCaption + 3),
                     inner->mapToGlobal(QPointF(bar.center().x(), kCaption + 3)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(inner, &move);
    QTest::mouseRelease(inner, Qt::LeftButton, {}, QPoint(bar.center().x(), kCaption + 3));
    EXPECT_EQ(inner->Layout().IdealSize(), 0);
    EXPECT_FALSE(upper->isVisible());
    EXPECT_TRUE(inner->CaptionRect(0).isEmpty());
    EXPECT_EQ(lower->geometry().top(), kBar + kCaption);
    EXPECT_EQ(lower->geometry().bottom(), inner->height() - 1);

    // Dragged down again, the row and its view come back.
    QTest::mousePress(inner, Qt::LeftButton, {}, QPoint(bar.center().x(), kBar / 2));
    QTest::mouseRelease(inner, Qt::LeftButton, {}, QPoint(bar.center().x(), 150));
    EXPECT_TRUE(upper->isVisible());
    EXPECT_EQ(upper->geometry(), QRect(0, kCaption, inner->width(), 150 - kCaption));
}

} // namespace
} // namespace vm
