// The magnifier's source, magnification and picture; loading photos through the views.
#include "PhotoViewFixture.h"
#include "views/photo/CFrontView.h"
#include "views/photo/CMagnifierDlg.h"
#include "views/photo/CSideView.h"
#include "views/photo/MagnifierGeometry.h"

#include <QPainter>
#include <QTemporaryDir>

namespace vm::test {
namespace {

using MagnifierTest = PhotoViewFixture;
using PhotoLoadingTest = PhotoViewFixture;

TEST_F(MagnifierTest, WheelStepsFromTheInitialMagnification) {
    CMagnifierDlg up, down;
    EXPECT_FLOAT_EQ(up.Magnification(), 1.0f);
    auto wheel = [](CMagnifierDlg& magnifier, int delta) {
        QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&magnifier, &event);
    };
    wheel(up, 120);
    EXPECT_EQ(up.ZoomStep(), 12);
    EXPECT_NEAR(up.Magnification(), 1.1023f, 1e-4f);
    wheel(down, -120);
    EXPECT_EQ(down.ZoomStep(), 10);
    EXPECT_NEAR(down.Magnification(), 0.7389f, 1e-4f);
    wheel(down, -120 * 40);
    EXPECT_EQ(down.ZoomStep(), 0);
    for (int i = 0; i < 15; ++i) {
        wheel(up, 8); // a touchpad's deltas add up here too
    }
    EXPECT_EQ(up.ZoomStep(), 13);
}

TEST_F(MagnifierTest, TheCaptureDecidesTheSource) {
    auto front = Show<CFrontView>();
    auto side = Show<CSideView>();
    side->move(800, 0);
    ShowFeaturesOnly();
    const int point = GrabbablePoint(*front, Front);
    ASSERT_GE(point, 0);
    const QPoint at = At(*front, doc.pointPositions[Front][point]);
    Press(*front, at);
    // Wherever the cursor is, even over the side view, the dragging front view is the source.
    EXPECT_EQ(CMagnifierDlg::SourceView(side->viewport()->mapToGlobal(QPoint(10, 10))),
              front.get());
    Release(*front, at);

    QWidget other;
    other.show();
    other.grabMouse(); // say, a drag in the 3D view
    EXPECT_EQ(CMagnifierDlg::SourceView(front->viewport()->mapToGlobal(at)), nullptr);
    other.releaseMouse();
}

TEST_F(MagnifierTest, ShowsPhotoPixelsOneToOneWhateverTheViewZoom) {
    auto front = Show<CFrontView>();
    doc.photos[Front] = QImage(600, 800, QImage::Format_RGB32);
    doc.photos[Front].fill(qRgb(90, 90, 90));
    doc.showFeatures = false;
    Wheel(*front, front->viewport()->rect().center(), 4 * 120);
    ASSERT_GT(front->Viewport().Scale(), 1.5f);
    const Box& box = doc.box[Front];
    const QPoint cursor = At(*front, {box.left, box.top}); // on handle 0
    CMagnifierDlg magnifier;
    QImage image(601, 401, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        magnifier.Render(painter, image.size(), *front, cursor);
    }
    // Handle 4 (the top middle) lies half the box width to the right, in photo pixels.
    const QPointF cursorPhoto = front->WindowToPhoto(cursor);
    const QPoint origin = MagnifierOrigin(cursorPhoto, 1.0f, image.size());
    const QPoint handle4(static_cast<int>(box.left + box.Width() * 0.5f) - origin.x(),
                         static_cast<int>(box.top) - origin.y());
    ASSERT_TRUE(image.rect().contains(handle4));
    EXPECT_EQ(image.pixel(handle4) | 0xFF000000u, qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(handle4 + QPoint(2, 0)) | 0xFF000000u, qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(handle4 + QPoint(0, -3)) | 0xFF000000u, qRgb(90, 90, 90));
    // The cursor cross marks the middle.
    EXPECT_EQ(image.pixel(300 + 5, 200) | 0xFF000000u, qRgb(0, 0, 0));
}

TEST_F(PhotoLoadingTest, FailedLoadShowsTheMessageAndChangesNothing) {
    auto side = Show<CSideView>();
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("broken.jpg"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an image");
    file.close();
    doc.choosePhotoFile = [&](int) { return bad; };
    Wheel(*side, {100, 100}, 120); // a zoom that a refit would discard
    const float scale = side->Viewport().Scale();
    const ModelState before = State();
    doc.RunCommand(CommandId::LoadSide);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains(bad)) << failures[0].toStdString();
    EXPECT_TRUE(State() == before);
    EXPECT_TRUE(doc.photos[Side].isNull());
    EXPECT_FLOAT_EQ(side->Viewport().Scale(), scale);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(PhotoLoadingTest, LoadedPhotoRefitsOnlyTheViewsOfThatPhoto) {
    auto front = Show<CFrontView>();
    auto side = Show<CSideView>();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("profile.png"));
    QImage photo(1200, 1600, QImage::Format_RGB32);
    photo.fill(qRgb(200, 150, 120));
    ASSERT_TRUE(photo.save(path));
    doc.choosePhotoFile = [&](int photoIndex) {
        EXPECT_EQ(photoIndex, Side);
        return path;
    };
    const float frontScale = front->Viewport().Scale();
    const float sideScale = side->Viewport().Scale();
    doc.RunCommand(CommandId::LoadSide);
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_EQ(side->Viewport().PhotoSize(), QSize(1200, 1600));
    const QSize client = side->viewport()->size();
    const double fit = std::min(client.width() / 1300.0, client.height() / 1700.0);
    EXPECT_FLOAT_EQ(side->Viewport().Scale(), static_cast<float>(fit));
    EXPECT_LT(side->Viewport().Scale(), sideScale);
    EXPECT_FLOAT_EQ(front->Viewport().Scale(), frontScale);
    EXPECT_TRUE(doc.IsModified());

    // The stretched photo is what the pane shows.
    QImage image(side->viewport()->size(), QImage::Format_RGB32);
    QPainter painter(&image);
    const QPoint origin = side->Viewport().Origin();
    doc.showBlendZone = doc.showBox = false;
    side->DrawContent(painter, origin.x(), origin.y(), side->Viewport().Scale());
    EXPECT_EQ(image.pixel(image.rect().center()) | 0xFF000000u, qRgb(200, 150, 120));
}

} // namespace
} // namespace vm::test
