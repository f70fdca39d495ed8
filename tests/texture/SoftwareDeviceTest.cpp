#include "platform/raster/SoftwareDevice.h"

#include "platform/core/Exceptions.h"
#include "texture/PhotoTexture.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace vm {
namespace {

uint32_t CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CDXException& failure) {
        return failure.Code();
    }
    return hr::kOk;
}

TEST(SoftwareDevice, RequirementsClampEnlargeAndReportTheDeviceFormat) {
    SoftwareDevice device;
    TextureRequirements offered = device.CheckTextureRequirements(16384, 16385);
    EXPECT_EQ(offered.width, 16384u);
    EXPECT_EQ(offered.height, 16384u);
    EXPECT_EQ(offered.format, TextureFormat::A8R8G8B8);

    DeviceCaps caps;
    caps.maxTextureWidth = 1024;
    caps.maxTextureHeight = 512;
    caps.powerOfTwoOnly = true;
    caps.textureFormat = TextureFormat::A4R4G4B4;
    device.SetCaps(caps);
    offered = device.CheckTextureRequirements(600, 300);
    EXPECT_EQ(offered.width, 1024u);
    EXPECT_EQ(offered.height, 512u);
    EXPECT_EQ(offered.format, TextureFormat::A4R4G4B4);
    // Enlarging must never pass the maximum.
    offered = device.CheckTextureRequirements(1000, 600);
    EXPECT_EQ(offered.width, 1024u);
    EXPECT_EQ(offered.height, 512u);
}

TEST(SoftwareDevice, CreatedTexturesHaveTheActualLayoutAndStartZeroed) {
    DeviceCaps caps;
    caps.textureFormat = TextureFormat::A4R4G4B4;
    caps.powerOfTwoOnly = true;
    SoftwareDevice device(caps);
    const auto texture = device.CreateTexture(5, 3);
    EXPECT_EQ(texture->Width(), 8u);
    EXPECT_EQ(texture->Height(), 4u);
    EXPECT_EQ(texture->Format(), TextureFormat::A4R4G4B4);
    EXPECT_EQ(texture->Pitch(), 16u);
    for (uint32_t y = 0; y < texture->Height(); ++y) {
        for (size_t i = 0; i < texture->Pitch(); ++i) {
            ASSERT_EQ(texture->Row(y)[i], 0) << y << "," << i;
        }
    }
    // Photo-sized textures come from elsewhere; they start zeroed too, also in memory that a
    // texture before them filled.
    for (int round = 0; round < 2; ++round) {
        SoftwareDevice large;
        const auto photo = large.CreateTexture(2000, 1100);
        const uint8_t* bits = photo->Bits();
        EXPECT_TRUE(
            std::all_of(bits, bits + photo->SizeInBytes(), [](uint8_t b) { return b == 0; }));
        TextureLock lock(*photo);
        std::memset(lock.Row(0), 0xAB, photo->SizeInBytes());
    }
}

TEST(SoftwareDevice, ImpossibleRequestsRaiseDeviceFailures) {
    DeviceCaps caps;
    caps.textureMemory = 600 * 800 * 4;
    SoftwareDevice device(caps);
    EXPECT_EQ(CodeOf([&] { device.CreateTexture(0, 10); }), hr::kInvalidCall);
    {
        const auto first = device.CreateTexture(600, 800);
        EXPECT_EQ(device.TextureMemoryInUse(), 600u * 800u * 4u);
        EXPECT_EQ(CodeOf([&] { device.CreateTexture(1, 1); }), kOutOfVideoMemory);
    }
    // The memory of a released texture is available again.
    EXPECT_EQ(device.TextureMemoryInUse(), 0u);
    EXPECT_EQ(CodeOf([&] { device.CreateTexture(600, 800); }), hr::kOk);
}

TEST(SoftwareDevice, LockIsExclusiveAndUnlockCountsRevisions) {
    SoftwareDevice device;
    const auto texture = device.CreateTexture(4, 4);
    const uint64_t before = texture->Revision();
    {
        TextureLock lock(*texture);
        EXPECT_TRUE(texture->IsLocked());
        EXPECT_EQ(CodeOf([&] { texture->Lock(); }), hr::kInvalidCall);
        lock.Row(3)[15] = 7;
    }
    EXPECT_FALSE(texture->IsLocked());
    EXPECT_EQ(texture->Revision(), before + 1);
    EXPECT_EQ(texture->Row(3)[15], 7);
}

// Raw bytes of texel (x, y).
std::vector<uint8_t> TexelBytes(const Texture& texture, uint32_t x, uint32_t y) {
    const uint32_t size = BytesPerTexel(texture.Format());
    const uint8_t* texel = texture.Row(y) + x * size;
    return {texel, texel + size};
}

struct BlankCase {
    TextureFormat format;
    std::vector<uint8_t> texel;
};

class BlankTexture : public testing::TestWithParam<BlankCase> {};

TEST_P(BlankTexture, EveryTexelIsGrey64WithAlphaZeroInTheActualFormat) {
    DeviceCaps caps;
    caps.textureFormat = GetParam().format;
    SoftwareDevice device(caps);
    const auto texture = CreateBlankTexture(device);
    ASSERT_EQ(texture->Width(), 600u);
    ASSERT_EQ(texture->Height(), 800u);
    EXPECT_FALSE(texture->IsLocked());
    for (uint32_t y = 0; y < 800; y += 7) {
        for (uint32_t x = 0; x < 600; x += 13) {
            ASSERT_EQ(TexelBytes(*texture, x, y), GetParam().texel) << x << "," << y;
        }
    }
    EXPECT_EQ(TexelBytes(*texture, 599, 799), GetParam().texel);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BlankTexture,
    testing::Values(BlankCase{TextureFormat::A8R8G8B8, {64, 64, 64, 0}},
                    BlankCase{TextureFormat::A8B8G8R8, {64, 64, 64, 0}},
                    // 0x0444: 4 in each colour nibble
                    BlankCase{TextureFormat::A4R4G4B4, {0x44, 0x04}},
                    // 256 in each 10-bit field: 0x10040100
                    BlankCase{TextureFormat::A2B10G10R10, {0x00, 0x01, 0x04, 0x10}},
                    // formats without a conversion are left as created
                    BlankCase{TextureFormat::R5G6B5, {0, 0}},
                    BlankCase{TextureFormat::X8R8G8B8, {0, 0, 0, 0}}),
    [](const auto& param) { return std::string(TextureFormatName(param.param.format)); });

TEST(BlankTextureOnEnlargingDevice, FillsTheWholeEnlargedTexture) {
    DeviceCaps caps;
    caps.powerOfTwoOnly = true;
    SoftwareDevice device(caps);
    const auto texture = CreateBlankTexture(device);
    ASSERT_EQ(texture->Width(), 1024u);
    ASSERT_EQ(texture->Height(), 1024u);
    EXPECT_EQ(TexelBytes(*texture, 1023, 1023), (std::vector<uint8_t>{64, 64, 64, 0}));
}

} // namespace
} // namespace vm
