#include "export/TextureAtlas.h"

#include "document/CVisomorfDoc.h"
#include "export/ExportMesh.h"
#include "export/bake/AtlasBake.h"
#include "export/bake/ParallelBands.h"
#include "platform/raster/Rasterizer.h"
#include "platform/raster/SoftwareDevice.h"

#include <QColor>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <stdexcept>
#include <tuple>

namespace vm {
namespace {

// A texture of one colour per column band: texel x gets colours[x * count / width].
std::shared_ptr<Texture> MakeTexture(SoftwareDevice& device, uint32_t width, uint32_t height,
                                     std::vector<QRgb> colours, uint8_t alpha = 0) {
    auto texture = device.CreateTexture(width, height);
    TextureLock lock(*texture);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const QRgb c = colours[x * colours.size() / width];
            uint8_t* texel = lock.Row(y) + x * 4;
            texel[0] = static_cast<uint8_t>(qBlue(c));
            texel[1] = static_cast<uint8_t>(qGreen(c));
            texel[2] = static_cast<uint8_t>(qRed(c));
            texel[3] = alpha;
        }
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
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255));
        }
    }
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
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (exact.pixel(x, y) != qRgb(255, 255, 255)) {
                ASSERT_EQ(dilated.pixel(x, y), exact.pixel(x, y)) << x << "," << y;
            }
        }
    }
    // A canvas made beforehand gives the same picture; one of another size is not drawn into.
    QImage canvas = NewAtlasCanvas(64, 64);
    canvas.setPixel(0, 0, qRgb(1, 2, 3)); // nothing of what was there survives
    EXPECT_EQ(RenderTextureAtlas(mesh, front.get(), side.get(), 64, 64, 1.8f, canvas), dilated);
    const QImage small = NewAtlasCanvas(32, 64);
    EXPECT_EQ(RenderTextureAtlas(mesh, front.get(), side.get(), 64, 64, 1.8f, small), dilated);
    EXPECT_EQ(small.pixel(31, 50), qRgb(255, 255, 255));
    EXPECT_TRUE(NewAtlasCanvas(0, 64).isNull());
}

// ---------------------------------------------------------------------------------------------
// The atlas drawn the plain way, as the graphics device would: white, every enlarged triangle in
// mesh order, then every exact one over them, each covered pixel shaded from scratch. However
// the bake is organised, it must give exactly this picture.
namespace plain {

uint32_t Wrap(float index, uint32_t size) {
    const double wrapped = std::fmod(static_cast<double>(index), static_cast<double>(size));
    return static_cast<uint32_t>(wrapped < 0 ? wrapped + size : wrapped) % size;
}

uint32_t Lerp(uint32_t a, uint32_t b, uint32_t f) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= (((ca * (256 - f) + cb * f) >> 8) & 0xFF) << shift;
    }
    return out;
}

uint32_t Sample(const Texture* texture, float u, float v) {
    if (!texture || !std::isfinite(u) || !std::isfinite(v)) {
        return 0;
    }
    const uint32_t width = texture->Width(), height = texture->Height();
    const float x = u * width - 0.5f, y = v * height - 0.5f;
    const float x0 = std::floor(x), y0 = std::floor(y);
    const auto fx = static_cast<uint32_t>((x - x0) * 256.0f);
    const auto fy = static_cast<uint32_t>((y - y0) * 256.0f);
    const uint32_t ix[2] = {Wrap(x0, width), (Wrap(x0, width) + 1) % width};
    const uint32_t iy[2] = {Wrap(y0, height), (Wrap(y0, height) + 1) % height};
    auto texel = [&](int i, int j) {
        uint32_t argb;
        std::memcpy(&argb, texture->Row(iy[j]) + ix[i] * 4, 4);
        return argb;
    };
    return Lerp(Lerp(texel(0, 0), texel(1, 0), fx), Lerp(texel(0, 1), texel(1, 1), fx), fy);
}

uint32_t Shade(uint32_t front, uint32_t side, const float* rgb) {
    const float a = static_cast<float>(side >> 24) / 255.0f;
    uint32_t out = 0xFF000000u;
    for (int k = 0; k < 3; ++k) {
        const int shift = 16 - 8 * k;
        const float mixed = static_cast<float>((side >> shift) & 0xFF) * a +
                            static_cast<float>((front >> shift) & 0xFF) * (1.0f - a);
        const float lit = mixed * std::clamp(rgb[k], 0.0f, 255.0f) / 255.0f;
        out |= static_cast<uint32_t>(std::clamp(lit, 0.0f, 255.0f) + 0.5f) << shift;
    }
    return out;
}

void Draw(QImage& image, const Mesh& mesh, const std::vector<Vec2>& places, const Texture* front,
          const Texture* side) {
    const RasterState state{DepthTest::Off, false, CullMode::None, 0};
    const int width = image.width(), height = image.height();
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        RasterVertex v[3];
        float values[3][7];
        for (int c = 0; c < 3; ++c) {
            const HeadVertex& vertex = mesh.vertices[mesh.indices[f * 3 + c]];
            const Vec2& place = places[mesh.indices[f * 3 + c]];
            v[c].x = place.x * static_cast<float>(width);
            v[c].y = (1.0f - place.y) * static_cast<float>(height);
            const float corner[7] = {vertex.frontUV.x,
                                     vertex.frontUV.y,
                                     vertex.sideUV.x,
                                     vertex.sideUV.y,
                                     static_cast<float>((vertex.diffuse >> 16) & 0xFF),
                                     static_cast<float>((vertex.diffuse >> 8) & 0xFF),
                                     static_cast<float>(vertex.diffuse & 0xFF)};
            std::copy(corner, corner + 7, values[c]);
        }
        // Each varying as a plane over the target, solved in double precision.
        const double e1x = v[1].x - v[0].x, e1y = v[1].y - v[0].y;
        const double e2x = v[2].x - v[0].x, e2y = v[2].y - v[0].y;
        const double det = e1x * e2y - e2x * e1y;
        TriangleSetup setup;
        if (!setup.Prepare(state, v[0], v[1], v[2], width, height) || det == 0) {
            continue;
        }
        float at0[7], perX[7], perY[7];
        for (int k = 0; k < 7; ++k) {
            const double d1 = values[1][k] - values[0][k], d2 = values[2][k] - values[0][k];
            const double px = (d1 * e2y - d2 * e1y) / det, py = (e1x * d2 - e2x * d1) / det;
            perX[k] = static_cast<float>(px);
            perY[k] = static_cast<float>(py);
            at0[k] = static_cast<float>(values[0][k] - px * v[0].x - py * v[0].y);
        }
        setup.ForEachPixel([&](int x, int y) {
            const float cx = x + 0.5f, cy = y + 0.5f;
            float at[7];
            for (int k = 0; k < 7; ++k) {
                at[k] = at0[k] + cx * perX[k] + cy * perY[k];
            }
            image.setPixel(x, y,
                           Shade(Sample(front, at[0], at[1]), Sample(side, at[2], at[3]), at + 4));
        });
    }
}

QImage Atlas(const Mesh& mesh, const Texture* front, const Texture* side, int width, int height,
             float factor) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(0xFFFFFFFFu);
    if (factor != 1.0f) {
        Draw(image, mesh, DilatedAtlasPositions(mesh, factor), front, side);
    }
    std::vector<Vec2> exact;
    for (const HeadVertex& vertex : mesh.vertices) {
        exact.push_back(vertex.modelUV);
    }
    Draw(image, mesh, exact, front, side);
    return image;
}

} // namespace plain

// Photos with fine detail everywhere; the side photo's alpha is 0 on its left, 255 on its right
// and ramps in between, with a little noise, so every way of mixing the photos occurs.
struct DetailedPhotos {
    SoftwareDevice device;
    std::shared_ptr<Texture> front, side;
    explicit DetailedPhotos(uint32_t size)
        : front(device.CreateTexture(size, size)), side(device.CreateTexture(size, size)) {
        std::mt19937 random(5);
        for (Texture* texture : {front.get(), side.get()}) {
            TextureLock lock(*texture);
            for (uint32_t y = 0; y < size; ++y) {
                for (uint32_t x = 0; x < size; ++x) {
                    uint32_t argb = random() & 0x00FFFFFFu;
                    if (texture == side.get()) {
                        const int ramp = std::clamp(static_cast<int>(x * 765 / size) - 255, 0, 255);
                        const int noise = static_cast<int>(random() % 9) - 4;
                        argb |= static_cast<uint32_t>(ramp == 0 || ramp == 255
                                                          ? ramp
                                                          : std::clamp(ramp + noise, 1, 254))
                                << 24;
                    }
                    std::memcpy(lock.Row(y) + x * 4, &argb, 4);
                }
            }
        }
    }
};

int CountDifferences(const QImage& a, const QImage& b) {
    int differences = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            differences += a.pixel(x, y) != b.pixel(x, y);
        }
    }
    return differences;
}

class AtlasOfTheHead : public ::testing::Test {
protected:
    CVisomorfDoc doc;
    DetailedPhotos photos{256};
    void SetUp() override { ASSERT_TRUE(doc.OnNewDocument()); }
    Mesh ExportMeshAt(int32_t detail) {
        doc.modelDetail = detail;
        doc.RebuildDisplayMesh();
        return BuildExportMesh(*doc.displayedMesh, *doc.editableMesh);
    }
    void ExpectSameAsPlainDrawing(const Mesh& mesh, int width, int height, float factor,
                                  const char* what) {
        const QImage baked =
            RenderTextureAtlas(mesh, photos.front.get(), photos.side.get(),
                               static_cast<uint32_t>(width), static_cast<uint32_t>(height), factor);
        const QImage drawn =
            plain::Atlas(mesh, photos.front.get(), photos.side.get(), width, height, factor);
        ASSERT_EQ(baked.size(), drawn.size());
        EXPECT_EQ(CountDifferences(baked.convertToFormat(QImage::Format_RGB32), drawn), 0)
            << what << ", factor " << factor << ", " << width << " x " << height;
    }
};

TEST_F(AtlasOfTheHead, BakeEqualsThePlainDrawingAtEveryDetail) {
    for (int32_t detail : {Low, Medium, High}) {
        const Mesh mesh = ExportMeshAt(detail);
        for (float factor : {1.0f, DilationFactor(detail, true)}) {
            ExpectSameAsPlainDrawing(mesh, 256, 256, factor, "head");
        }
    }
    ExpectSameAsPlainDrawing(ExportMeshAt(Medium), 200, 72, 1.4f, "head, odd size");
}

TEST_F(AtlasOfTheHead, BakeEqualsThePlainDrawingForUnusualColoursAndPhotoPlaces) {
    Mesh mesh = ExportMeshAt(Medium);
    std::mt19937 random(3);
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        HeadVertex& vertex = mesh.vertices[v];
        // White corners on most triangles, some with other colours among them.
        vertex.diffuse = v % 5 == 0 ? random() : 0xFFFFFFFFu;
        // Photo places far outside the photo wrap around it.
        vertex.sideUV = {(vertex.sideUV.x - 0.5f) * 7.0f, vertex.sideUV.y * -3.0f};
    }
    mesh.vertices[10].frontUV.x = 3.0e9f;
    mesh.vertices[20].sideUV.y = -1.0e12f;
    mesh.vertices[30].frontUV.x = std::numeric_limits<float>::quiet_NaN();
    mesh.vertices[40].sideUV.x = std::numeric_limits<float>::infinity();
    ExpectSameAsPlainDrawing(mesh, 256, 256, 1.4f, "unusual head");
}

// An artist opens the baked texture to retouch it and expects the photo's way up and its left
// and right: the front photo's top half (red, green) must bake above its bottom half (blue,
// yellow), and its left half (red, blue) left of its right half.
TEST_F(AtlasOfTheHead, BakesThePhotoUprightAndUnmirrored) {
    const QRgb quarters[2][2] = {{qRgb(255, 0, 0), qRgb(0, 255, 0)},
                                 {qRgb(0, 0, 255), qRgb(255, 255, 0)}};
    const uint32_t size = 64;
    auto front = photos.device.CreateTexture(size, size);
    {
        TextureLock lock(*front);
        for (uint32_t y = 0; y < size; ++y) {
            for (uint32_t x = 0; x < size; ++x) {
                const QRgb c = quarters[y * 2 / size][x * 2 / size];
                uint8_t* texel = lock.Row(y) + x * 4;
                texel[0] = static_cast<uint8_t>(qBlue(c));
                texel[1] = static_cast<uint8_t>(qGreen(c));
                texel[2] = static_cast<uint8_t>(qRed(c));
                texel[3] = 0;
            }
        }
    }
    auto side = MakeTexture(photos.device, 8, 8, {qRgb(0, 0, 0)}, 0); // alpha 0: front only
    const QImage atlas =
        RenderTextureAtlas(ExportMeshAt(Low), front.get(), side.get(), 256, 256, 1.0f);
    double rows[2] = {0, 0}, columns[2] = {0, 0}, counts[2][2] = {{0, 0}, {0, 0}};
    for (int y = 0; y < atlas.height(); ++y) {
        for (int x = 0; x < atlas.width(); ++x) {
            for (int half = 0; half < 2; ++half) {
                const QRgb p = atlas.pixel(x, y);
                // Top half against bottom half, then left half against right half.
                const bool top = p == quarters[half][0] || p == quarters[half][1];
                const bool left = p == quarters[0][half] || p == quarters[1][half];
                rows[half] += top ? y : 0;
                counts[0][half] += top;
                columns[half] += left ? x : 0;
                counts[1][half] += left;
            }
        }
    }
    ASSERT_GT(counts[0][0] * counts[0][1] * counts[1][0] * counts[1][1], 0);
    EXPECT_LT(rows[0] / counts[0][0] + 20, rows[1] / counts[0][1]) << "photo top baked low";
    EXPECT_LT(columns[0] / counts[1][0] + 20, columns[1] / counts[1][1]) << "photo mirrored";
}

// Each instruction set's kernels on their own, the ones the processor would not pick included:
// a fault in a kernel the test machine does not choose must show as well.
TEST_F(AtlasOfTheHead, EveryInstructionSetBakesThePlainDrawing) {
    Mesh mesh = ExportMeshAt(High);
    for (size_t v = 0; v < mesh.vertices.size(); v += 3) {
        mesh.vertices[v].diffuse = 0xFF000000u | static_cast<uint32_t>(v * 2654435761u >> 8);
    }
    mesh.vertices[7].sideUV = {-5.5f, 9.25f};
    mesh.vertices[11].frontUV.y = 2.0e10f;
    mesh.vertices[13].sideUV.x = std::numeric_limits<float>::quiet_NaN();
    std::vector<const bake::ShadeKernels*> kernels = {&bake::ScalarKernels(), bake::Sse2Kernels(),
                                                      bake::Avx2Kernels()};
    kernels.erase(std::remove(kernels.begin(), kernels.end(), nullptr), kernels.end());
    EXPECT_NE(std::find(kernels.begin(), kernels.end(), &bake::ChosenKernels()), kernels.end());
    const TextureSampler front(photos.front.get()), side(photos.side.get());
    for (auto [width, height, factor] : {std::tuple{256, 256, 1.8f}, std::tuple{203, 61, 1.0f}}) {
        const QImage drawn =
            plain::Atlas(mesh, photos.front.get(), photos.side.get(), width, height, factor);
        for (const bake::ShadeKernels* set : kernels) {
            QImage baked =
                NewAtlasCanvas(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
            bake::BakeAtlas(mesh, front, side, baked, factor, *set);
            EXPECT_EQ(CountDifferences(baked, drawn), 0)
                << set->name << ", " << width << " x " << height;
        }
    }
}

TEST(ForEachBand, RunsEveryBandOnceAndHandsAFailureToTheCaller) {
    std::vector<std::atomic<int>> runs(1000);
    bake::ForEachBand(1000, [&](int band) { ++runs[static_cast<size_t>(band)]; });
    EXPECT_TRUE(std::all_of(runs.begin(), runs.end(), [](const auto& n) { return n == 1; }));
    try {
        bake::ForEachBand(1000, [](int band) {
            if (band == 617) {
                throw std::runtime_error("band 617");
            }
        });
        ADD_FAILURE() << "the failure was lost";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "band 617");
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
