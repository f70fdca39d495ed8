// The OpenGL frame of the view against the software pipeline's picture of the same scene: the
// software picture is the reference for lighting, texture stages, projections and wireframe.
#include "document/CVisomorfDoc.h"
#include "platform/raster/SoftwareDevice.h"
#include "views/view3d/C3DView.h"
#include "views/view3d/SoftwareScene.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace vm {
namespace {

constexpr int kWidth = 320, kHeight = 260;

// Colourful photos, so that a texture read from the wrong place or stage shows.
QString WritePhoto(const QTemporaryDir& dir, const char* name, bool stripes) {
    QImage image(300, 400, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int y = 0; y < image.height(); y += 20) {
        for (int x = 0; x < image.width(); x += 20) {
            const int hue = stripes ? (y * 3) % 360 : ((x + y) * 2) % 360;
            painter.fillRect(x, y, 20, 20,
                             QColor::fromHsv(hue, 200, ((x / 20 + y / 20) % 2) ? 230 : 140));
        }
    }
    painter.end();
    const QString path = dir.filePath(QString::fromLatin1(name));
    image.save(path);
    return path;
}

struct Mismatch {
    double share = 0; // of the pixels that either picture covers
    QImage difference;
};

// Pixels whose channels differ by more than tolerance, as a share of the drawn area.
Mismatch CompareSolid(const QImage& gl, const QImage& soft, int tolerance) {
    Mismatch result;
    result.difference = QImage(gl.size(), QImage::Format_RGB32);
    long drawn = 0, bad = 0;
    for (int y = 0; y < gl.height(); ++y) {
        for (int x = 0; x < gl.width(); ++x) {
            const QRgb a = gl.pixel(x, y), b = soft.pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b))});
            drawn += (a & 0xFFFFFF) != 0xFFFFFF || (b & 0xFFFFFF) != 0xFFFFFF;
            bad += d > tolerance;
            result.difference.setPixel(x, y,
                                       qRgb(d > tolerance ? 255 : d, d > tolerance ? 0 : d, 0));
        }
    }
    result.share = drawn ? static_cast<double>(bad) / static_cast<double>(drawn) : 1.0;
    return result;
}

bool DarkNear(const QImage& image, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < image.width() && py < image.height() &&
                qGray(image.pixel(px, py)) < 128) {
                return true;
            }
        }
    }
    return false;
}

// Lines may fall one pixel apart where two rasterisers round differently: a line pixel of
// either picture counts as matched when the other has a line pixel within one pixel.
Mismatch CompareLines(const QImage& gl, const QImage& soft) {
    Mismatch result;
    result.difference = QImage(gl.size(), QImage::Format_RGB32);
    result.difference.fill(Qt::white);
    long dark = 0, unmatched = 0;
    for (int y = 0; y < gl.height(); ++y) {
        for (int x = 0; x < gl.width(); ++x) {
            const bool a = qGray(gl.pixel(x, y)) < 128, b = qGray(soft.pixel(x, y)) < 128;
            dark += a || b;
            const bool lost = (a && !DarkNear(soft, x, y)) || (b && !DarkNear(gl, x, y));
            unmatched += lost;
            if (lost) {
                result.difference.setPixel(x, y, qRgb(255, 0, 0));
            } else if (a || b) {
                result.difference.setPixel(x, y, qRgb(0, 0, 0));
            }
        }
    }
    result.share = dark ? static_cast<double>(unmatched) / static_cast<double>(dark) : 1.0;
    return result;
}

class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_photos = new QTemporaryDir;
        s_front = WritePhoto(*s_photos, "front.png", false);
        s_side = WritePhoto(*s_photos, "side.png", true);
    }
    static void TearDownTestSuite() {
        delete s_photos;
        s_photos = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        doc.LoadPhoto(Front, s_front);
        doc.LoadPhoto(Side, s_side);
        view = std::make_unique<C3DView>(doc);
        view->resize(kWidth, kHeight);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->Camera().SetRotation(QuaternionRotationAxis(Normalize({0.3f, 1, 0.1f}), 0.6f));
        view->Camera().SetZoom(0.45f); // the head fills the picture
    }

    QImage Frame() {
        const QImage frame = view->grabFramebuffer();
        EXPECT_TRUE(view->UnavailableMessage().isEmpty())
            << view->UnavailableMessage().toStdString();
        return frame.convertToFormat(QImage::Format_RGB32);
    }

    QImage Software() const {
        return RenderSceneSoftware(doc, view->CurrentTransforms())
            .convertToFormat(QImage::Format_RGB32);
    }

    // Writes both pictures and the difference where a failing comparison can be looked at.
    static void KeepPictures(const char* name, const QImage& gl, const QImage& soft,
                             const Mismatch& mismatch) {
        const QString dir = QDir::temp().filePath(QStringLiteral("view3d_render_failures"));
        QDir().mkpath(dir);
        const QString stem = QDir(dir).filePath(QString::fromLatin1(name));
        gl.save(stem + QStringLiteral("_opengl.png"));
        soft.save(stem + QStringLiteral("_software.png"));
        mismatch.difference.save(stem + QStringLiteral("_difference.png"));
        ADD_FAILURE() << name << ": " << mismatch.share * 100
                      << "% of the drawn pixels differ; pictures in " << stem.toStdString()
                      << "_*.png";
    }

    void ExpectSolidMatches(const char* name) {
        const QImage gl = Frame(), soft = Software();
        const Mismatch mismatch = CompareSolid(gl, soft, 12);
        if (mismatch.share > 0.02) {
            KeepPictures(name, gl, soft, mismatch);
        }
    }

    CVisomorfDoc doc;
    std::unique_ptr<C3DView> view;
    static QTemporaryDir* s_photos;
    static QString s_front, s_side;
};

QTemporaryDir* RenderTest::s_photos = nullptr;
QString RenderTest::s_front, RenderTest::s_side;

TEST_F(RenderTest, SolidLitOrthogonalMatchesSoftware) {
    doc.lighting = true;
    doc.orthogonal = true;
    ExpectSolidMatches("solid_lit_ortho");
}

TEST_F(RenderTest, SolidUnlitMatchesSoftware) {
    doc.lighting = false;
    doc.SetModelDetail(Medium); // refined vertices carry a diffuse colour below white
    ExpectSolidMatches("solid_unlit");
}

TEST_F(RenderTest, PerspectivePannedAndZoomedMatchesSoftware) {
    doc.lighting = true;
    doc.orthogonal = false;
    view->Camera().SetZoom(0.7f);
    view->Camera().BeginPanZoom(0, 0);
    view->Camera().PanZoomTo(-10, 6, kWidth, kHeight, true, false);
    ExpectSolidMatches("solid_lit_perspective");
}

TEST_F(RenderTest, WireframeMatchesSoftwareWhateverTheLighting) {
    doc.wireframe = true;
    doc.lighting = true;
    const QImage gl = Frame(), soft = Software();
    const Mismatch mismatch = CompareLines(gl, soft);
    if (mismatch.share > 0.03) {
        KeepPictures("wireframe", gl, soft, mismatch);
    }
    // Black on white only.
    for (int y = 0; y < gl.height(); y += 3) {
        for (int x = 0; x < gl.width(); x += 3) {
            const QRgb p = gl.pixel(x, y);
            ASSERT_TRUE((p & 0xFFFFFF) == 0xFFFFFF || (p & 0xFFFFFF) == 0) << x << "," << y;
        }
    }
}

TEST_F(RenderTest, ModelRightSideAppearsOnTheScreensRight) {
    // With no turn, a vertex on the model's +x side lands right of the centre on screen in
    // both pictures: the GL frame is not mirrored.
    view->Camera().SetRotation({});
    doc.lighting = true;
    const QImage gl = Frame();
    const QImage soft = Software();
    EXPECT_LT(CompareSolid(gl, soft, 24).share, 0.02);
    const QImage mirrored = soft.mirrored(true, false);
    EXPECT_GT(CompareSolid(gl, mirrored, 24).share, 0.05);
}

TEST_F(RenderTest, UploadsOnlyWhatChanged) {
    Frame();
    const int meshUploads = view->Renderer().MeshUploads();
    const int textureUploads = view->Renderer().TextureUploads();
    view->Camera().Wheel(120); // camera only
    Frame();
    EXPECT_EQ(view->Renderer().MeshUploads(), meshUploads);
    EXPECT_EQ(view->Renderer().TextureUploads(), textureUploads);

    doc.blendZoneWidth = 40; // a blend zone step repaints the side texture only
    doc.UpdateBlendZone();
    doc.blendZone[1].x += 30; // a second step before the next frame
    doc.UpdateBlendZone();
    ExpectSolidMatches("after_blend_steps"); // the changed rows reached the GL texture
    EXPECT_EQ(view->Renderer().TextureUploads(), textureUploads + 1);
    EXPECT_EQ(view->Renderer().MeshUploads(), meshUploads);
    doc.blendZone[1].x -= 60; // one step: only the changed rows are sent
    doc.UpdateBlendZone();
    ExpectSolidMatches("after_partial_upload");

    doc.SetModelDetail(High);
    Frame();
    EXPECT_EQ(view->Renderer().MeshUploads(), meshUploads + 1);
}

TEST_F(RenderTest, ContextTextureLimitReachesTheDocument) {
    Frame();
    EXPECT_GE(doc.deviceCaps.maxTextureWidth, 2048u);
    EXPECT_LE(doc.deviceCaps.maxTextureWidth, 16384u * 4);
    EXPECT_EQ(doc.device->Caps().maxTextureWidth, doc.deviceCaps.maxTextureWidth);
}

} // namespace
} // namespace vm
