// Loading a photo into the document: rescaled coordinates, the blend zone, and failures that
// leave the document as it was.
#include "platform/core/Exceptions.h"
#include "support/DocumentFixture.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

class LoadPhotoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        test::MakeStripDocument(doc);
        test::AddTextures(doc);
    }
    QString WritePhoto(int width, int height, const char* name = "photo.png") {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(10, 200, 30));
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
    struct State {
        std::vector<HeadVertex> vertices;
        std::vector<Vec2> points[kPhotoCount];
        Box boxes[kPhotoCount];
        std::vector<Vec2> zone;
        std::shared_ptr<Texture> textures[kPhotoCount];
    };
    State Capture() const {
        State s{doc.editableMesh->vertices, {}, {}, doc.blendZone, {}};
        for (int p = 0; p < kPhotoCount; ++p) {
            s.points[p] = doc.pointPositions[p];
            s.boxes[p] = doc.box[p];
            s.textures[p] = doc.textures[p];
        }
        return s;
    }
    void ExpectUnchanged(const State& s) const {
        ASSERT_EQ(doc.editableMesh->vertices.size(), s.vertices.size());
        for (size_t i = 0; i < s.vertices.size(); ++i) {
            EXPECT_EQ(
                std::memcmp(&doc.editableMesh->vertices[i], &s.vertices[i], sizeof(HeadVertex)), 0);
        }
        for (int p = 0; p < kPhotoCount; ++p) {
            EXPECT_TRUE(doc.photos[p].isNull());
            EXPECT_EQ(doc.textures[p], s.textures[p]);
            EXPECT_EQ(doc.box[p], s.boxes[p]);
            EXPECT_EQ(doc.pointPositions[p].size(), s.points[p].size());
        }
        EXPECT_EQ(doc.blendZone.size(), s.zone.size());
        EXPECT_FALSE(doc.IsModified());
    }

    QTemporaryDir dir;
    CVisomorfDoc doc;
};

TEST_F(LoadPhotoTest, SidePhotoTwiceTheSizeDoublesTheBlendZone) {
    doc.LoadPhoto(Side, WritePhoto(1200, 1600));
    EXPECT_EQ(doc.GetPhotoSize(Side), QSize(1200, 1600));
    ASSERT_EQ(doc.blendZone.size(), 5u);
    for (size_t i = 0; i < doc.blendZone.size(); ++i) {
        EXPECT_EQ(doc.blendZone[i].x, 700.0f);
        EXPECT_EQ(doc.blendZone[i].y, 400.0f * static_cast<float>(i));
    }
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.textures[Side]->Width(), 1200u);
    // The blend ramp is painted: the side photo's weight is full left of the zone.
    EXPECT_EQ(doc.textures[Side]->Row(0)[3], 255);
    EXPECT_EQ(doc.textures[Side]->Row(0)[4 * 1199 + 3], 0);
}

TEST_F(LoadPhotoTest, FrontPhotoRescalesItsCoordinatesAndRefitsTheBox) {
    // The strip's bottom-left vertex sits on the box's left edge; after loading, its texture
    // coordinate must still point at the box's left edge in the new photo.
    doc.LoadPhoto(Front, WritePhoto(300, 200));
    const Box& b = doc.box[Front];
    // Points span 40 x 20: k = min(300 / 40, 200 / 20) = 7.5, box 200 x 50 centred.
    EXPECT_FLOAT_EQ(b.left, 50.0f);
    EXPECT_FLOAT_EQ(b.top, 75.0f);
    EXPECT_FLOAT_EQ(b.right, 250.0f);
    EXPECT_FLOAT_EQ(b.bottom, 125.0f);
    const HeadVertex& corner = doc.editableMesh->vertices[0];
    EXPECT_NEAR(corner.frontUV.x * 300.0f, b.left, 1e-3f);
    EXPECT_NEAR(corner.frontUV.y * 200.0f, doc.pointPositions[Front][0].y, 1e-3f);
    EXPECT_EQ(doc.blendZone[0].x, 350.0f); // only a side photo moves the zone
}

TEST_F(LoadPhotoTest, PhotoOnePixelOverTheTextureLimitLeavesTheDocumentUnchanged) {
    DeviceCaps caps;
    caps.maxTextureWidth = 64;
    caps.maxTextureHeight = 48;
    doc.device->SetCaps(caps);
    const State before = Capture();
    try {
        doc.LoadPhoto(Front, WritePhoto(65, 48));
        FAIL() << "a photo wider than the device's textures was accepted";
    } catch (const MessageException& failure) {
        EXPECT_EQ(failure.Message(), "Image resolution is too high (hardware restriction)");
    }
    EXPECT_THROW(doc.LoadPhoto(Side, WritePhoto(64, 49, "tall.png")), MessageException);
    ExpectUnchanged(before);

    doc.LoadPhoto(Front, WritePhoto(64, 48, "fits.png"));
    EXPECT_EQ(doc.GetPhotoSize(Front), QSize(64, 48));
}

TEST_F(LoadPhotoTest, UnreadableFileLeavesTheDocumentUnchanged) {
    doc.LoadPhoto(Side, WritePhoto(300, 400));
    doc.SetModifiedFlag(false);
    const QImage loaded = doc.photos[Side];
    const std::shared_ptr<Texture> texture = doc.textures[Side];
    const QString path = dir.filePath("broken.png");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture at all");
    file.close();

    EXPECT_THROW(doc.LoadPhoto(Side, path), MessageException);
    EXPECT_THROW(doc.LoadPhoto(Side, dir.filePath("missing.jpg")), MessageException);
    EXPECT_EQ(doc.photos[Side], loaded);
    EXPECT_EQ(doc.textures[Side], texture);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(LoadPhotoTest, FailedLoadCommandIsReportedAndSkipsTheRefit) {
    test::RecordingView view(Front);
    doc.AddView(&view);
    QString reported;
    doc.reportFailure = [&reported](const QString& text) { reported = text; };
    doc.choosePhotoFile = [this](int) { return dir.filePath("missing.jpg"); };
    EXPECT_TRUE(doc.RunCommand(CommandId::LoadFront));
    EXPECT_TRUE(reported.contains("missing.jpg"));
    EXPECT_EQ(view.fits, 0);
    EXPECT_EQ(view.updates, 0);
}

} // namespace
} // namespace vm
