#include "texture/BlendZone.h"

#include "platform/core/Exceptions.h"
#include "platform/raster/SoftwareDevice.h"
#include "texture/PhotoTexture.h"

#include <QSizeF>
#include <gtest/gtest.h>
#include <limits>

namespace vm {
namespace {

const QSizeF kNoPhoto(600, 800);

std::vector<Vec2> StraightZone(float x) {
    return {{x, 0}, {x, 200}, {x, 400}, {x, 600}, {x, 800}};
}

// Alpha bits of texel (x, y), read from the raw texel layout.
uint32_t AlphaAt(const Texture& texture, uint32_t x, uint32_t y) {
    const uint8_t* texel = texture.Row(y) + x * BytesPerTexel(texture.Format());
    switch (texture.Format()) {
    case TextureFormat::A8R8G8B8:
    case TextureFormat::A8B8G8R8:
        return texel[3];
    case TextureFormat::A4R4G4B4:
        return texel[1] >> 4;
    case TextureFormat::A2B10G10R10:
        return texel[3] >> 6;
    default:
        ADD_FAILURE() << "no alpha in this format";
        return 0;
    }
}

// The texel's word with its alpha bits cleared.
uint32_t ColourBits(const Texture& texture, uint32_t x, uint32_t y) {
    const uint32_t size = BytesPerTexel(texture.Format());
    const uint8_t* texel = texture.Row(y) + x * size;
    uint32_t word = 0;
    for (uint32_t i = 0; i < size; ++i) {
        word |= uint32_t{texel[i]} << (8 * i);
    }
    switch (texture.Format()) {
    case TextureFormat::A4R4G4B4:
        return word & 0x0FFFu;
    case TextureFormat::A2B10G10R10:
        return word & 0x3FFFFFFFu;
    default:
        return word & 0x00FFFFFFu;
    }
}

std::vector<uint32_t> AlphaRow(const Texture& texture, uint32_t y) {
    std::vector<uint32_t> row(texture.Width());
    for (uint32_t x = 0; x < texture.Width(); ++x) {
        row[x] = AlphaAt(texture, x, y);
    }
    return row;
}

struct Fixture {
    explicit Fixture(TextureFormat format = TextureFormat::A8R8G8B8, uint32_t width = 600,
                     uint32_t height = 800)
        : device([&] {
              DeviceCaps caps;
              caps.textureFormat = format;
              return caps;
          }()) {
        texture = device.CreateTexture(width, height);
    }
    SoftwareDevice device;
    std::shared_ptr<Texture> texture;
};

TEST(BlendZone, DefaultZoneRampsAcrossItsWidthOnEveryRow) {
    Fixture f;
    UpdateBlendZone(*f.texture, StraightZone(350), 100, false, kNoPhoto);
    const std::vector<uint32_t> first = AlphaRow(*f.texture, 0);
    for (uint32_t x = 0; x <= 300; ++x) {
        ASSERT_EQ(first[x], 255u) << x;
    }
    // A1 = 255 - floor(255 * 1/100) at 301, A2 = 255 - floor(255 * 99/100) at 399.
    EXPECT_EQ(first[301], 253u);
    EXPECT_EQ(first[302], 250u);
    EXPECT_EQ(first[350], 128u);
    EXPECT_EQ(first[399], 3u);
    for (uint32_t x = 302; x < 400; ++x) {
        ASSERT_LE(first[x], first[x - 1]) << x;
    }
    for (uint32_t x = 400; x < 600; ++x) {
        ASSERT_EQ(first[x], 0u) << x;
    }
    for (uint32_t y = 1; y < 800; ++y) {
        ASSERT_EQ(AlphaRow(*f.texture, y), first) << "row " << y;
    }
}

TEST(BlendZone, FractionalZoneEdgesShiftTheRampEnds) {
    Fixture f;
    UpdateBlendZone(*f.texture, StraightZone(350.5f), 100, false, kNoPhoto);
    EXPECT_EQ(AlphaAt(*f.texture, 300, 10), 255u);
    EXPECT_EQ(AlphaAt(*f.texture, 301, 10), 254u);
    EXPECT_EQ(AlphaAt(*f.texture, 399, 10), 4u);
    EXPECT_EQ(AlphaAt(*f.texture, 400, 10), 0u);
}

TEST(BlendZone, ZonesOutsideThePhotoGiveOneWeightToTheWholeRow) {
    Fixture f;
    UpdateBlendZone(*f.texture, StraightZone(-100), 100, false, kNoPhoto);
    EXPECT_EQ(AlphaRow(*f.texture, 400), std::vector<uint32_t>(600, 0));
    UpdateBlendZone(*f.texture, StraightZone(800), 100, false, kNoPhoto);
    EXPECT_EQ(AlphaRow(*f.texture, 400), std::vector<uint32_t>(600, 255));
    // A zone reaching past the left edge starts its ramp at texel 0.
    UpdateBlendZone(*f.texture, StraightZone(0), 100, false, kNoPhoto);
    EXPECT_EQ(AlphaAt(*f.texture, 0, 0), 255u);
    EXPECT_EQ(AlphaAt(*f.texture, 1, 0), 255u - 255u * 51u / 100u);
    EXPECT_EQ(AlphaAt(*f.texture, 50, 0), 0u);
}

TEST(BlendZone, ZonesNarrowerThanATexel) {
    Fixture f;
    // xl = 100, xr = 101: texel 100 is the side photo's, 101 the front's.
    UpdateBlendZone(*f.texture, StraightZone(100.7f), 1, false, kNoPhoto);
    EXPECT_EQ(AlphaAt(*f.texture, 99, 5), 255u);
    EXPECT_EQ(AlphaAt(*f.texture, 100, 5), 255u);
    EXPECT_EQ(AlphaAt(*f.texture, 101, 5), 0u);
    // Both edges in one texel: the step lies at that texel.
    UpdateBlendZone(*f.texture, StraightZone(100.5f), 0.8f, false, kNoPhoto);
    EXPECT_EQ(AlphaAt(*f.texture, 99, 5), 255u);
    EXPECT_EQ(AlphaAt(*f.texture, 100, 5), 0u);
    // A fall of one texel takes A1 = 255 - floor(255 * (101 - 100.25) / 2) = 160.
    UpdateBlendZone(*f.texture, StraightZone(101.25f), 2, false, kNoPhoto);
    EXPECT_EQ(AlphaAt(*f.texture, 100, 5), 255u);
    EXPECT_EQ(AlphaAt(*f.texture, 101, 5), 160u);
    EXPECT_EQ(AlphaAt(*f.texture, 102, 5), 0u);
}

TEST(BlendZone, LeftSideMirrorsTheZoneButKeepsTheSidePhotoOnTheLeft) {
    Fixture f;
    UpdateBlendZone(*f.texture, StraightZone(350), 100, true, QSizeF(600, 800));
    const std::vector<uint32_t> row = AlphaRow(*f.texture, 123);
    EXPECT_EQ(row[200], 255u);
    EXPECT_EQ(row[201], 253u);
    EXPECT_EQ(row[299], 3u);
    EXPECT_EQ(row[300], 0u);
    // The mirror uses the photo's width, not the texture's.
    Fixture wide(TextureFormat::A8R8G8B8, 1024, 1024);
    UpdateBlendZone(*wide.texture, StraightZone(350), 100, true, QSizeF(800, 600));
    EXPECT_EQ(AlphaAt(*wide.texture, 400, 0), 255u);
    EXPECT_EQ(AlphaAt(*wide.texture, 500, 0), 0u);
}

TEST(BlendZone, RowsFollowThePolylineAndContinueItsEndsVertically) {
    Fixture f;
    const std::vector<Vec2> zone{{300, 200}, {400, 600}};
    UpdateBlendZone(*f.texture, zone, 2, false, kNoPhoto);
    // Centre x at row y: 300 above row 200, 400 below row 600, linear between.
    auto firstFront = [&](uint32_t y) {
        uint32_t x = 0;
        while (x < 600 && AlphaAt(*f.texture, x, y) != 0) {
            ++x;
        }
        return x;
    };
    EXPECT_EQ(firstFront(0), 301u);
    EXPECT_EQ(firstFront(200), 301u);
    EXPECT_EQ(firstFront(400), 351u);
    EXPECT_EQ(firstFront(600), 401u);
    EXPECT_EQ(firstFront(799), 401u);
}

TEST(BlendZone, RowsInNoSegmentReuseThePreviousRowsClampedPosition) {
    Fixture f(TextureFormat::A8R8G8B8, 600, 10);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Rows 1 .. 8 lie in no segment. Row 0 has L = -50, R = 50; the rows after it reuse the
    // clamped positions 0 and 50, so their ramp is steeper.
    UpdateBlendZone(*f.texture, {{0, 0}, {nan, nan}, {0, 9}}, 100, false, kNoPhoto);
    EXPECT_EQ(AlphaAt(*f.texture, 1, 0), 125u);
    for (uint32_t y = 1; y <= 8; ++y) {
        EXPECT_EQ(AlphaAt(*f.texture, 1, y), 250u) << y;
        EXPECT_EQ(AlphaAt(*f.texture, 50, y), 0u) << y;
    }
    EXPECT_EQ(AlphaAt(*f.texture, 1, 9), 125u);
}

TEST(BlendZone, NonFinitePositionsPaintWithoutUndefinedConversions) {
    Fixture f(TextureFormat::A8R8G8B8, 600, 10);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    UpdateBlendZone(*f.texture, {{nan, 0}}, 10, false, kNoPhoto);
    EXPECT_EQ(AlphaRow(*f.texture, 4), std::vector<uint32_t>(600, 0));
    const float inf = std::numeric_limits<float>::infinity();
    UpdateBlendZone(*f.texture, {{300, 0}}, inf, false, kNoPhoto);
    EXPECT_EQ(AlphaRow(*f.texture, 4), std::vector<uint32_t>(600, 0));
}

struct FormatCase {
    TextureFormat format;
    uint32_t maximum;
    std::vector<uint32_t> around301; // alpha at 300 .. 303
};

class BlendZoneFormats : public testing::TestWithParam<FormatCase> {};

TEST_P(BlendZoneFormats, AlphaWidthFollowsTheFormatAndColourBitsStay) {
    Fixture f(GetParam().format);
    f.texture = CreateBlankTexture(f.device);
    const uint32_t blank = ColourBits(*f.texture, 0, 7);
    UpdateBlendZone(*f.texture, StraightZone(350), 100, false, kNoPhoto);
    const uint32_t m = GetParam().maximum;
    EXPECT_EQ(AlphaAt(*f.texture, 0, 7), m);
    for (uint32_t x = 300; x < 304; ++x) {
        EXPECT_EQ(AlphaAt(*f.texture, x, 7), GetParam().around301[x - 300]) << x;
    }
    EXPECT_EQ(AlphaAt(*f.texture, 400, 7), 0u);
    // A viewer sees the format's maximum as full weight.
    EXPECT_EQ(qAlpha(TextureToImage(*f.texture).pixel(0, 7)), 255);
    // Colour bits of texels left of, inside and right of the ramp are those of the blank.
    for (uint32_t x : {0u, 350u, 599u}) {
        EXPECT_EQ(ColourBits(*f.texture, x, 7), blank) << x;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BlendZoneFormats,
    testing::Values(FormatCase{TextureFormat::A8R8G8B8, 255, {255, 253, 250, 247}},
                    FormatCase{TextureFormat::A8B8G8R8, 255, {255, 253, 250, 247}},
                    FormatCase{TextureFormat::A4R4G4B4, 15, {15, 15, 14, 14}},
                    FormatCase{TextureFormat::A2B10G10R10, 3, {3, 3, 2, 2}}),
    [](const auto& param) { return std::string(TextureFormatName(param.param.format)); });

TEST(BlendZone, TexturesWithoutAlphaAndLockedTexturesStayAsTheyWere) {
    for (TextureFormat format : {TextureFormat::X8R8G8B8, TextureFormat::R5G6B5}) {
        Fixture f(format);
        UpdateBlendZone(*f.texture, StraightZone(350), 100, false, kNoPhoto);
        EXPECT_EQ(f.texture->Row(0)[3], 0) << TextureFormatName(format);
        EXPECT_EQ(f.texture->Revision(), 0u);
    }
    Fixture f;
    TextureLock lock(*f.texture);
    EXPECT_NO_THROW(UpdateBlendZone(*f.texture, StraightZone(350), 100, false, kNoPhoto));
    EXPECT_EQ(lock.Row(0)[3], 0);
    EXPECT_TRUE(f.texture->IsLocked());
}

TEST(BlendZone, EmptyZoneIsAnInvalidArgumentAndLeavesTheTextureUnlocked) {
    Fixture f;
    EXPECT_THROW(UpdateBlendZone(*f.texture, {}, 100, false, kNoPhoto), InvalidArgumentException);
    EXPECT_FALSE(f.texture->IsLocked());
    EXPECT_EQ(f.texture->Row(0)[3], 0);
}

// A viewer of the texture learns exactly which texels a step changed: comparing a copy from
// before the step with the texture after it finds no change outside the recorded spans and a
// change at both ends of every span.
TEST(BlendZone, StepsRecordTheTexelsTheyChange) {
    Fixture f;
    UpdateBlendZone(*f.texture, StraightZone(350), 100, false, kNoPhoto);
    const uint64_t seen = f.texture->Revision();
    std::vector<std::vector<uint32_t>> before;
    for (uint32_t y = 0; y < 800; ++y) {
        before.push_back(AlphaRow(*f.texture, y));
    }
    std::vector<Vec2> zone = StraightZone(350);
    zone[2].x = 380; // the middle of the zone moves right: rows 200..600 change
    UpdateBlendZone(*f.texture, zone, 100, false, kNoPhoto);
    const std::vector<RowSpan>* spans = f.texture->ChangedSince(seen);
    ASSERT_NE(spans, nullptr);
    ASSERT_EQ(spans->size(), 800u);
    int changedRows = 0;
    for (uint32_t y = 0; y < 800; ++y) {
        const RowSpan span = (*spans)[y];
        const std::vector<uint32_t> after = AlphaRow(*f.texture, y);
        for (uint32_t x = 0; x < 600; ++x) {
            if (x < span.begin || x >= span.end) {
                ASSERT_EQ(after[x], before[y][x]) << x << "," << y;
            }
        }
        if (span.begin < span.end) {
            ++changedRows;
            EXPECT_NE(after[span.begin], before[y][span.begin]) << y;
            EXPECT_NE(after[span.end - 1], before[y][span.end - 1]) << y;
        }
    }
    EXPECT_GT(changedRows, 300);
    EXPECT_LT(changedRows, 400); // the rows near the moved point only
    // Two steps since the viewer's revision: it must take everything.
    UpdateBlendZone(*f.texture, StraightZone(200), 100, false, kNoPhoto);
    EXPECT_EQ(f.texture->ChangedSince(seen), nullptr);
    // A plain unlock records no spans.
    const uint64_t latest = f.texture->Revision();
    f.texture->Lock();
    f.texture->Unlock();
    EXPECT_EQ(f.texture->ChangedSince(latest), nullptr);
}

} // namespace
} // namespace vm
