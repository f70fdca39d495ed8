#include "platform/raster/Rasterizer.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace vm {
namespace {

RasterVertex At(float x, float y, float z = 0.5f) {
    RasterVertex v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

// The fill convention restated from its definition: inside strictly, or on an edge that is a
// top edge (horizontal, third corner below it) or a left edge (third corner to its right).
bool ReferenceCovers(const RasterVertex* v, double px, double py) {
    const double area =
        (v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[1].y - v[0].y) * (v[2].x - v[0].x);
    if (area == 0) {
        return false;
    }
    for (int k = 0; k < 3; ++k) {
        const RasterVertex& a = v[k];
        const RasterVertex& b = v[(k + 1) % 3];
        const RasterVertex& c = v[(k + 2) % 3];
        const double side = (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
        const double third = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if (side * third < 0) {
            return false;
        }
        if (side == 0) {
            const bool top = a.y == b.y && c.y > a.y;
            bool left = false;
            if (a.y != b.y) {
                const double edgeXAtThird = a.x + (b.x - a.x) * (c.y - a.y) / (b.y - a.y);
                left = c.x > edgeXAtThird;
            }
            if (!top && !left) {
                return false;
            }
        }
    }
    return true;
}

TEST(Rasterizer, CoverageMatchesPerPixelReference) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> quarter(-8, 56); // quarter pixels around a 12 x 12 target
    for (int round = 0; round < 400; ++round) {
        RasterVertex v[3];
        for (auto& vertex : v) {
            vertex = At(quarter(random) / 4.0f, quarter(random) / 4.0f);
        }
        if (round % 3 == 0) {
            v[1].y = v[0].y; // horizontal edges and shared rows need the tie rule
        }
        RenderTarget target(12, 12);
        target.Clear(0);
        DrawTriangle(target, {DepthTest::Off, false, CullMode::None, 0}, v[0], v[1], v[2],
                     [](const float*) { return 1u; });
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 12; ++x) {
                ASSERT_EQ(target.Pixel(x, y) == 1u, ReferenceCovers(v, x + 0.5, y + 0.5))
                    << "round " << round << " pixel " << x << "," << y;
            }
        }
    }
}

TEST(Rasterizer, SpansCoverExactlyThePixelsOfThePerPixelScan) {
    // Slivers, level edges, corners on pixel centres and far off-target corners, scanned in
    // row ranges that cut the triangle or miss it.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> eighth(-400, 800), pick(0, 5);
    const int size = 64;
    const RasterState state{DepthTest::Off, false, CullMode::None, 0};
    for (int round = 0; round < 600; ++round) {
        RasterVertex v[3];
        for (auto& vertex : v) {
            vertex = At(eighth(random) / 8.0f, eighth(random) / 8.0f);
        }
        switch (pick(random)) {
        case 0:
            v[1].y = v[0].y;
            break;
        case 1:
            v[2].x = v[0].x;
            break;
        case 2:
            v[0] = At(std::floor(v[0].x) + 0.5f, std::floor(v[0].y) + 0.5f);
            v[1] = At(v[0].x + 7, v[0].y + 3); // edge through pixel centres
            break;
        case 3:
            v[2] = At(v[2].x * 1000.0f, v[2].y * 1000.0f);
            break;
        default:
            break;
        }
        TriangleSetup setup;
        if (!setup.Prepare(state, v[0], v[1], v[2], size, size)) {
            continue;
        }
        std::vector<int> scanned(size * size, 0);
        setup.ForEachPixel([&](int x, int y) { scanned[y * size + x] = 1; });
        const int rowBegin = round % 4 == 0 ? 0 : (round * 7) % size;
        const int rowEnd = round % 4 == 0 ? size : rowBegin + (round * 13) % size;
        std::vector<int> spanned(size * size, 0);
        int lastRow = -1;
        setup.ForEachSpan(rowBegin, rowEnd, [&](int y, int xBegin, int xEnd) {
            ASSERT_GT(y, lastRow) << "round " << round;
            ASSERT_LT(xBegin, xEnd);
            lastRow = y;
            for (int x = xBegin; x < xEnd; ++x) {
                spanned[y * size + x] += 1;
            }
        });
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const int expected = y >= rowBegin && y < rowEnd ? scanned[y * size + x] : 0;
                ASSERT_EQ(spanned[y * size + x], expected)
                    << "round " << round << " pixel " << x << "," << y;
            }
        }
    }
}

TEST(Rasterizer, TrianglesSharingEdgesDrawEachPixelOnce) {
    // A fan around a pixel centre, with spokes through pixel centres and corners.
    const float cx = 8.5f, cy = 8.5f;
    const float rim[][2] = {{0.5f, 0.5f}, {8.5f, 0},  {16, 0.5f}, {16.5f, 8.5f},
                            {16, 16},     {8.5f, 17}, {1, 16},    {0.5f, 8.5f}};
    std::vector<int> writes(18 * 18, 0);
    const RasterState state{DepthTest::Off, false, CullMode::None, 0};
    for (int k = 0; k < 8; ++k) {
        const auto& a = rim[k];
        const auto& b = rim[(k + 1) % 8];
        RenderTarget one(18, 18);
        one.Clear(0);
        DrawTriangle(one, state, At(cx, cy), At(a[0], a[1]), At(b[0], b[1]),
                     [&](const float*) { return 1u; });
        for (int i = 0; i < 18 * 18; ++i) {
            writes[i] += static_cast<int>(one.Pixel(i % 18, i / 18));
        }
    }
    int covered = 0;
    for (int i = 0; i < 18 * 18; ++i) {
        EXPECT_LE(writes[i], 1) << "pixel " << i % 18 << "," << i / 18;
        covered += writes[i];
    }
    EXPECT_GT(covered, 200);
    // The centre pixel lies on every spoke and still belongs to exactly one triangle.
    EXPECT_EQ(writes[8 * 18 + 8], 1);
}

TEST(Rasterizer, InterpolatesAttributesAffinelyAndPerspectiveCorrectly) {
    RasterVertex v[3] = {At(1, 1, 0.2f), At(30, 4, 0.4f), At(6, 28, 0.9f)};
    for (auto& vertex : v) {
        vertex.varyings[0] = 2 * vertex.x + 3 * vertex.y; // a linear function of the place
    }
    RenderTarget target(32, 32);
    target.Clear(0, 1.0f);
    std::vector<float> seen(32 * 32, -1);
    DrawTriangle(target, {DepthTest::LessEqual, true, CullMode::None, 1}, v[0], v[1], v[2],
                 [](const float* varyings) { return static_cast<uint32_t>(varyings[0] * 16); });
    int drawn = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (target.Depth(x, y) < 1.0f) {
                ++drawn;
                const double expected = 2 * (x + 0.5) + 3 * (y + 0.5);
                EXPECT_NEAR(target.Pixel(x, y) / 16.0, expected, 0.1);
            }
        }
    }
    EXPECT_GT(drawn, 250);

    // With clip w, attributes follow 1/w: the reference divides attribute / w and 1 / w.
    v[0].w = 1, v[1].w = 4, v[2].w = 2;
    v[0].varyings[0] = 0, v[1].varyings[0] = 100, v[2].varyings[0] = 50;
    TriangleSetup setup;
    ASSERT_TRUE(
        setup.Prepare({DepthTest::Off, false, CullMode::None, 1}, v[0], v[1], v[2], 32, 32));
    int checked = 0;
    setup.ForEachPixel([&](int x, int y) {
        const double px = x + 0.5, py = y + 0.5;
        auto e = [&](const RasterVertex& a, const RasterVertex& b) {
            return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
        };
        const double area = e(v[0], v[1]) == 0 ? 1
                                               : (v[1].x - v[0].x) * (v[2].y - v[0].y) -
                                                     (v[1].y - v[0].y) * (v[2].x - v[0].x);
        const double l0 = e(v[1], v[2]) / area, l1 = e(v[2], v[0]) / area, l2 = 1 - l0 - l1;
        const double expected = (l1 * 100 / 4 + l2 * 50 / 2) / (l0 / 1 + l1 / 4 + l2 / 2);
        float out[kMaxVaryings];
        setup.VaryingsAt(x, y, out);
        EXPECT_NEAR(out[0], expected, 1e-3);
        EXPECT_NEAR(setup.DepthAt(x, y), l0 * 0.2 + l1 * 0.4 + l2 * 0.9, 1e-5);
        ++checked;
    });
    EXPECT_EQ(checked, drawn);
}

TEST(Rasterizer, DepthTestCullingAndRefusedTriangles) {
    RenderTarget target(8, 8);
    target.Clear(0xFFFFFFFF);
    const RasterState less{DepthTest::Less, true, CullMode::None, 0};
    auto square = [&](float z, uint32_t colour, const RasterState& state) {
        DrawTriangle(target, state, At(0, 0, z), At(8, 0, z), At(0, 8, z),
                     [=](const float*) { return colour; });
        DrawTriangle(target, state, At(8, 0, z), At(8, 8, z), At(0, 8, z),
                     [=](const float*) { return colour; });
    };
    square(0.3f, 1, less);
    square(0.6f, 2, less); // behind: hidden
    EXPECT_EQ(target.Pixel(3, 3), 1u);
    square(0.3f, 3, less); // equal depth fails "less"
    EXPECT_EQ(target.Pixel(3, 3), 1u);
    square(0.3f, 4, {DepthTest::LessEqual, true, CullMode::None, 0});
    EXPECT_EQ(target.Pixel(7, 7), 4u);
    EXPECT_FLOAT_EQ(target.Depth(7, 7), 0.3f);

    // (0,0) -> (8,0) -> (0,8) runs clockwise on a y-down screen.
    const RasterState cullCw{DepthTest::Off, false, CullMode::Clockwise, 0};
    DrawTriangle(target, cullCw, At(0, 0), At(8, 0), At(0, 8), [](const float*) { return 5u; });
    EXPECT_EQ(target.Pixel(1, 1), 4u);
    DrawTriangle(target, cullCw, At(0, 0), At(0, 8), At(8, 0), [](const float*) { return 6u; });
    EXPECT_EQ(target.Pixel(1, 1), 6u);

    const RasterState plain{DepthTest::Off, false, CullMode::None, 0};
    RasterVertex behind = At(8, 8);
    behind.w = 0;
    DrawTriangle(target, plain, At(0, 0), At(8, 0), behind, [](const float*) { return 7u; });
    DrawTriangle(target, plain, At(0, 0), At(NAN, 0), At(0, 8), [](const float*) { return 7u; });
    DrawTriangle(target, plain, At(0, 0), At(4, 4), At(8, 8), [](const float*) { return 7u; });
    // Far outside the target, and huge: clipped to the target, no overflow.
    DrawTriangle(target, plain, At(-1e6f, -1e6f), At(1e6f, -1e6f), At(0, 3e6f),
                 [](const float*) { return 8u; });
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(target.Pixel(x, y), 8u);
        }
    }
}

TEST(Rasterizer, BilinearSamplingBetweenTexelCentres) {
    // 2 x 2 texels: black, white / red, blue (ARGB words).
    const uint32_t texels[4] = {0xFF000000, 0xFFFFFFFF, 0xFFFF0000, 0x800000FF};
    TextureView t{reinterpret_cast<const uint8_t*>(texels), 8, 2, 2};
    EXPECT_EQ(SampleBilinear(t, 0.25f, 0.25f), 0xFF000000u);
    EXPECT_EQ(SampleBilinear(t, 0.75f, 0.75f), 0x800000FFu);
    EXPECT_EQ(SampleBilinear(t, 0.5f, 0.25f), 0xFF808080u); // 127.5 rounds up
    EXPECT_EQ(SampleBilinear(t, 0.5f, 0.5f), 0xDF804080u);
    // At u = 0 the left texel meets the right one wrapped around, or only itself clamped.
    EXPECT_EQ(SampleBilinear(t, 0.0f, 0.25f), 0xFF808080u);
    EXPECT_EQ(SampleBilinear(t, 0.0f, 0.25f, TextureAddress::Clamp), 0xFF000000u);
    EXPECT_EQ(SampleBilinear(t, 1.25f, 0.25f), 0xFF000000u);
}

} // namespace
} // namespace vm
