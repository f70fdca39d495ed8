// One-pixel lines: which pixels a line covers, joined lines, depth and clipping.
#include "platform/raster/Rasterizer.h"

#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <utility>

namespace vm {
namespace {

RasterVertex At(float x, float y, float z = 0.5f) {
    RasterVertex v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

std::set<std::pair<int, int>> Drawn(const RenderTarget& target) {
    std::set<std::pair<int, int>> drawn;
    for (int y = 0; y < target.Height(); ++y) {
        for (int x = 0; x < target.Width(); ++x) {
            if (target.Pixel(x, y) != kWhite) {
                drawn.insert({x, y});
            }
        }
    }
    return drawn;
}

TEST(RasterizerLine, OnePixelPerColumnOrRowAlongTheMajorAxis) {
    RenderTarget target(16, 16);
    target.Clear(kWhite);
    const RasterState state;
    DrawLine(target, state, At(1.5f, 2.5f), At(9.5f, 6.5f), kBlack); // x-major, slope 1/2
    const auto drawn = Drawn(target);
    EXPECT_EQ(drawn.size(), 8u); // centres 1.5 .. 8.5, the end excluded
    for (int x = 1; x <= 8; ++x) {
        const int y = static_cast<int>(2.5f + (x - 1) * 0.5f);
        EXPECT_TRUE(drawn.count({x, y})) << x;
    }
    // The same line drawn backwards covers the same pixels but its own start.
    RenderTarget back(16, 16);
    back.Clear(kWhite);
    DrawLine(back, state, At(9.5f, 6.5f), At(1.5f, 2.5f), kBlack);
    EXPECT_EQ(Drawn(back), drawn);

    RenderTarget steep(16, 16);
    steep.Clear(kWhite);
    DrawLine(steep, state, At(3.5f, 0.5f), At(5.5f, 12.5f), kBlack); // y-major
    EXPECT_EQ(Drawn(steep).size(), 12u);
}

TEST(RasterizerLine, JoinedLinesShareTheirCornerOnce) {
    RenderTarget target(16, 16);
    target.Clear(kWhite);
    RasterState state;
    state.depthTest = DepthTest::Less; // a second write at equal depth would be refused
    DrawLine(target, state, At(1.5f, 1.5f), At(8.5f, 1.5f), kBlack);
    DrawLine(target, state, At(8.5f, 1.5f), At(8.5f, 9.5f), kBlack);
    EXPECT_EQ(Drawn(target).size(), 15u);
    EXPECT_TRUE(Drawn(target).count({8, 1}));
}

TEST(RasterizerLine, DepthTestHidesLinesBehindAndClipsToTheTarget) {
    RenderTarget target(8, 8);
    target.Clear(kWhite);
    const RasterState state;
    DrawLine(target, state, At(0, 3.5f, 0.2f), At(8, 3.5f, 0.2f), 0xFF0000FF);
    DrawLine(target, state, At(3.5f, 0, 0.8f), At(3.5f, 8, 0.8f), kBlack); // behind
    EXPECT_EQ(target.Pixel(3, 3), 0xFF0000FFu);
    EXPECT_EQ(target.Pixel(3, 5), kBlack);
    // Depth is interpolated along the line.
    DrawLine(target, state, At(-20, 6.5f, 0), At(28, 6.5f, 0.96f), kBlack);
    EXPECT_NEAR(target.Depth(4, 6), (24.5f / 48) * 0.96f, 1e-5f);
    // A point-length or non-finite line draws nothing.
    RenderTarget empty(8, 8);
    empty.Clear(kWhite);
    DrawLine(empty, state, At(2, 2), At(2, 2), kBlack);
    DrawLine(empty, state, At(2, 2), At(std::numeric_limits<float>::quiet_NaN(), 5), kBlack);
    EXPECT_TRUE(Drawn(empty).empty());
}

} // namespace
} // namespace vm
