// Zoom law, fit, wheel zoom, scroll and pan rules of a photo pane, without widgets.
#include "views/photo/PhotoViewport.h"
#include "views/photo/ZoomLaw.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace vm {
namespace {

PhotoViewport FittedViewport(QSize photo, QSize client) {
    PhotoViewport viewport;
    viewport.SetPhotoSize(photo);
    viewport.SetClientSize(client);
    viewport.Fit();
    return viewport;
}

TEST(ZoomLaw, StepScalesInSinglePrecision) {
    EXPECT_FLOAT_EQ(ScaleForStep(0), 0.1f);
    EXPECT_NEAR(ScaleForStep(11), 0.9025f, 1e-4f);
    EXPECT_NEAR(ScaleForStep(12), 1.1023f, 1e-4f);
    EXPECT_NEAR(ScaleForStep(29), 33.03f, 1e-2f);
    EXPECT_EQ(StepForScale(1.0f), 11);
}

TEST(ZoomLaw, WheelStepsTruncateAndClamp) {
    EXPECT_EQ(WheelZoomStep(11, 60), 11);
    EXPECT_EQ(WheelZoomStep(11, -119), 11);
    EXPECT_EQ(WheelZoomStep(11, 240), 13);
    EXPECT_EQ(WheelZoomStep(29, 120), 29);
    EXPECT_EQ(WheelZoomStep(0, -360), 0);
    // A fitted step outside the wheel's range is pulled into it by the first wheel event.
    EXPECT_EQ(WheelZoomStep(-4, 0), 0);
    EXPECT_EQ(WheelZoomStep(35, 0), 29);
}

TEST(ZoomLaw, SmallDeltasAddUpToWholeNotchesAndKeepTheRest) {
    WheelNotches wheel;
    int notches = 0;
    for (int i = 0; i < 15; ++i) {
        notches += wheel.Add(8); // a touchpad
    }
    EXPECT_EQ(notches, 1);
    EXPECT_EQ(wheel.Add(3 * 120 + 7), 3);
    EXPECT_EQ(wheel.Remainder(), 7);
    EXPECT_EQ(wheel.Add(-100), 0); // turning back: the first notch back is a full one
    EXPECT_EQ(wheel.Add(-20), -1);
    EXPECT_EQ(wheel.Add(std::numeric_limits<int>::min()), std::numeric_limits<int>::min() / 120);

    // The pane zooms as the notches it was given add up to; a refit forgets a part-notch.
    PhotoViewport notch = FittedViewport({600, 800}, {700, 900}), touchpad = notch;
    notch.WheelZoom(2 * 120);
    for (int i = 0; i < 30; ++i) {
        touchpad.WheelZoom(8);
    }
    EXPECT_EQ(touchpad.ZoomStep(), notch.ZoomStep());
    EXPECT_EQ(touchpad.ScrollPosition(), notch.ScrollPosition());
    touchpad.WheelZoom(100);
    touchpad.Fit();
    touchpad.WheelZoom(100);
    EXPECT_EQ(touchpad.ZoomStep(), 11);
}

TEST(PhotoViewport, FitOfEmptyPhotoInPortraitPane) {
    PhotoViewport viewport = FittedViewport({600, 800}, {700, 900});
    EXPECT_FLOAT_EQ(viewport.Scale(), 1.0f);
    EXPECT_EQ(viewport.ZoomStep(), 11);
    EXPECT_EQ(viewport.ScaledSize(), QSize(600, 800));
    EXPECT_EQ(viewport.CentringOffset(), QPoint(50, 50));

    PhotoViewport up = viewport;
    up.WheelZoom(120);
    EXPECT_EQ(up.ZoomStep(), 12);
    EXPECT_NEAR(up.Scale(), 1.1023f, 1e-4f);

    PhotoViewport down = viewport;
    down.WheelZoom(-120);
    EXPECT_EQ(down.ZoomStep(), 10);
    EXPECT_NEAR(down.Scale(), 0.7389f, 1e-4f);

    // Less than a notch keeps the step but snaps the fitted scale onto the step grid.
    PhotoViewport half = viewport;
    half.WheelZoom(60);
    EXPECT_EQ(half.ZoomStep(), 11);
    EXPECT_FLOAT_EQ(half.Scale(), ScaleForStep(11));
}

TEST(PhotoViewport, EmptyClientAreaKeepsAUsableScale) {
    PhotoViewport viewport = FittedViewport({600, 800}, {700, 900});
    viewport.SetClientSize({0, 900});
    viewport.Fit();
    EXPECT_FLOAT_EQ(viewport.Scale(), 1.0f);
    EXPECT_EQ(viewport.ZoomStep(), 11);
    const QPointF p = viewport.WindowToPhoto({10, 10});
    EXPECT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y()));
    EXPECT_FALSE(viewport.HorizontalBarEnabled());
    EXPECT_FALSE(viewport.VerticalBarEnabled());

    PhotoViewport never;
    never.SetClientSize({0, 0});
    never.Fit();
    EXPECT_GT(never.Scale(), 0.0f);
    // Shown again: the next fit works as usual.
    never.SetClientSize({700, 900});
    never.Fit();
    EXPECT_FLOAT_EQ(never.Scale(), 1.0f);
}

TEST(PhotoViewport, ZoomCentresAPhotoThatUsedToFitThenKeepsTheMiddle) {
    PhotoViewport viewport = FittedViewport({600, 800}, {700, 900});
    viewport.WheelZoom(240); // step 13: 807 x 1077, larger than the pane on both axes
    const QSize scaled = viewport.ScaledSize();
    ASSERT_GT(scaled.width(), 700);
    EXPECT_EQ(viewport.ScrollPosition(),
              QPoint((scaled.width() - 700) / 2, (scaled.height() - 900) / 2));

    viewport.ScrollTo({20, 30});
    const QPoint middle(350, 450);
    const QPointF before = viewport.WindowToPhoto(middle);
    viewport.WheelZoom(120);
    const QPointF after = viewport.WindowToPhoto(middle);
    // Within one window pixel of the new scale.
    EXPECT_NEAR(after.x(), before.x(), 1.0 / viewport.Scale());
    EXPECT_NEAR(after.y(), before.y(), 1.0 / viewport.Scale());

    viewport.WheelZoom(-20 * 120); // back to step 0: fits again, scroll at the origin
    EXPECT_EQ(viewport.ZoomStep(), 0);
    EXPECT_EQ(viewport.ScrollPosition(), QPoint(0, 0));
}

TEST(PhotoViewport, OnlyTheOverflowingAxisScrollsAndPans) {
    PhotoViewport viewport = FittedViewport({1200, 400}, {700, 900});
    viewport.WheelZoom(120);
    ASSERT_GT(viewport.ScaledSize().width(), 700);
    ASSERT_LT(viewport.ScaledSize().height(), 900);
    EXPECT_TRUE(viewport.HorizontalBarEnabled());
    EXPECT_FALSE(viewport.VerticalBarEnabled());
    const int limit = viewport.ScaledSize().width() - 700;
    EXPECT_EQ(viewport.ScrollLimit(), QPoint(limit, 0));

    viewport.ScrollTo({0, 0});
    viewport.PanBy({-5, -40}); // dragging the sheet left and up
    EXPECT_EQ(viewport.ScrollPosition(), QPoint(5, 0));
    viewport.PanBy({-10000, 0});
    EXPECT_EQ(viewport.ScrollPosition(), QPoint(limit, 0));
    EXPECT_FALSE(viewport.ScrollBy({1, 50})); // at the limit, and no vertical bar
    EXPECT_TRUE(viewport.ScrollBy({-3, 0}));
    EXPECT_EQ(viewport.ScrollPosition(), QPoint(limit - 3, 0));
}

} // namespace
} // namespace vm
