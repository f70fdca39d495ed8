#include "export/TextureAtlas.h"

#include "platform/SoftwareDevice.h"

#include <QColor>
#include <gtest/gtest.h>

namespace vm {
namespace {

// A texture of one colour per column band: texel x gets colours[x * count / width].
std::shared_ptr<Texture> MakeTexture(SoftwareDevice& device, uint32_t width, uint32_t height,
                                     std::vector<QRgb> colours, uint8_t alpha = 0) {
    auto texture = device.CreateTexture(width, height);
    TextureLock lock(*texture);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const QRgb c = colours[x * colours.size() / width];
            uint8_t* texel = lock.Row(y) + x * 4;
            texel[0] = static_cast<uint8_t>(qBlue(c));
            texel[1] = static_cast<uint8_t>(qGreen(c));
            texel[2] = static_cast<uint8_t>(qRed(c));
            texel[3] = alpha;
        }
    return texture;
}

HeadVertex Corner(float u, float v, float photoU = 0.5f, uint32_t diffuse = 0xFFFFFFFF) {
    HeadVertex vertex;
    vertex.modelUV = {u, v};
    vertex.frontUV = {photoU, 0.5f};
    vertex.sideUV = {photoU, 0.5f};
    vertex.diffuse = diffuse;
    return vertex;
}

Mesh OneTriangle(HeadVertex a, HeadVertex b, HeadVertex c) {
    Mesh mesh;
    mesh.vertices = {a, b, c};
    mesh.indices = {0, 1, 2};
    mesh.attributes = {0};
    return mesh;
}

struct Photos {
    SoftwareDevice device;
    std::shared_ptr<Texture> front, side;
    Photos(QRgb frontColour, QRgb sideColour, uint8_t sideAlpha)
        : front(MakeTexture(device, 8, 8, {frontColour})),
          side(MakeTexture(device, 8, 8, {sideColour}, sideAlpha)) {}
};

TEST(RenderTextureAtlas, UncoveredTexelsStayOpaqueWhite) {
    Photos photos(qRgb(255, 0, 0), qRgb(0, 0, 255), 0);
    Mesh empty;
    const QImage image =
        RenderTextureAtlas(empty, photos.front.get(), photos.side.get(), 64, 64, 1.4f);
    ASSERT_EQ(image.size(), QSize(64, 64));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255));
}

TEST(RenderTextureAtlas, SideAlphaWeighsTheSidePhotoAgainstTheFront) {
    const Mesh mesh = OneTriangle(Corner(0, 0), Corner(1, 0), Corner(1, 1));
    for (auto [alpha, expected] : {std::pair<uint8_t, QRgb>{0, qRgb(200, 0, 0)},
                                   {255, qRgb(0, 0, 100)},
                                   {51, qRgb(160, 0, 20)}}) {
        Photos photos(qRgb(200, 0, 0), qRgb(0, 0, 100), alpha);
        const QImage image =
            RenderTextureAtlas(mesh, photos.front.get(), photos.side.get(), 32, 32, 1.0f);
        EXPECT_EQ(image.pixel(28, 28), expected) << int(alpha); // inside, bottom right
        EXPECT_EQ(image.pixel(3, 3), qRgb(255, 255, 255));      // outside, top left
    }
}

TEST(RenderTextureAtlas, VZeroIsTheBottomRow) {
    Photos photos(qRgb(10, 20, 30), qRgb(0, 0, 0), 0);
    const Mesh mesh = OneTriangle(Corner(0, 0), Corner(1, 0), Corner(0, 0.25f));
    const QImage image =
        RenderTextureAtlas(mesh, photos.front.get(), photos.side.get(), 16, 16, 1.0f);
    EXPECT_EQ(image.pixel(0, 15), qRgb(10, 20, 30));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
}

TEST(RenderTextureAtlas, VertexColourDarkensAndPhotosAreFilteredLinearly) {
    SoftwareDevice device;
    // Front photo: left half black, right half white; side fully transparent.
    auto front = MakeTexture(device, 2, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)});
    auto side = MakeTexture(device, 2, 1, {qRgb(0, 0, 0)}, 0);
    // Every corner samples the photo exactly between the two texel centres.
    const Mesh mesh = OneTriangle(Corner(0, 0, 0.5f, 0xFF808080), Corner(1, 0, 0.5f, 0xFF808080),
                                  Corner(1, 1, 0.5f, 0xFF808080));
    const QImage image = RenderTextureAtlas(mesh, front.get(), side.get(), 16, 16, 1.0f);
    const QRgb pixel = image.pixel(14, 14);
    EXPECT_NEAR(qRed(pixel), 64, 1); // grey 128 from the filter, times 128/255
    EXPECT_EQ(qRed(pixel), qGreen(pixel));
}

TEST(RenderTextureAtlas, DilatedCopyFillsTheMarginAndTheExactDrawWinsInside) {
    SoftwareDevice device;
    auto front = MakeTexture(
        device, 4, 1, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)});
    auto side = MakeTexture(device, 4, 1, {qRgb(0, 0, 0)}, 0);
    const Mesh mesh = OneTriangle(Corner(0.25f, 0.25f, 0.125f), Corner(0.75f, 0.25f, 0.375f),
                                  Corner(0.5f, 0.75f, 0.625f));
    const QImage exact = RenderTextureAtlas(mesh, front.get(), side.get(), 64, 64, 1.0f);
    const QImage dilated = RenderTextureAtlas(mesh, front.get(), side.get(), 64, 64, 1.8f);
    // Just below the triangle's lower edge (v = 0.25 is row 48): white without dilation.
    EXPECT_EQ(exact.pixel(32, 50), qRgb(255, 255, 255));
    EXPECT_NE(dilated.pixel(32, 50), qRgb(255, 255, 255));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if (exact.pixel(x, y) != qRgb(255, 255, 255)) {
                ASSERT_EQ(dilated.pixel(x, y), exact.pixel(x, y)) << x << "," << y;
            }
}

TEST(DilatedAtlasPositions, CornersMoveFromTheCentroidAndTheLastTriangleWins) {
    Mesh mesh;
    mesh.vertices = {Corner(0, 0), Corner(0.3f, 0), Corner(0, 0.3f), Corner(0.3f, 0.3f)};
    mesh.indices = {0, 1, 2, 1, 3, 2};
    const std::vector<Vec2> places = DilatedAtlasPositions(mesh, 1.5f);
    const float c1 = (0.3f + 0.0f + 0.0f) * 0.33333334f; // first triangle's centroid
    EXPECT_FLOAT_EQ(places[0].x, c1 + 1.5f * (0 - c1));
    const float c2u = (0.3f + 0.3f + 0.0f) * 0.33333334f; // second triangle, which owns 1 and 2
    EXPECT_FLOAT_EQ(places[1].x, c2u + 1.5f * (0.3f - c2u));
    EXPECT_FLOAT_EQ(places[2].x, c2u + 1.5f * (0.0f - c2u));
    EXPECT_FLOAT_EQ(DilationFactor(0, true), 1.2f);
    EXPECT_FLOAT_EQ(DilationFactor(1, true), 1.4f);
    EXPECT_FLOAT_EQ(DilationFactor(2, true), 1.8f);
    EXPECT_FLOAT_EQ(DilationFactor(7, true), 1.0f);
    EXPECT_FLOAT_EQ(DilationFactor(2, false), 1.0f);
}

} // namespace
} // namespace vm
