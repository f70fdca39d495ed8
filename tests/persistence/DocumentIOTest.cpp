#include "persistence/DocumentIO.h"

#include "document/CVisomorfDoc.h"
#include "document/HeadResources.h"
#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"
#include "platform/raster/SoftwareDevice.h"
#include "support/Files.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vm {
namespace {

using test::ReadAll;
using test::WriteAll;

QString SavePicture(const QString& path, int w, int h, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) % 256));
        }
    }
    EXPECT_TRUE(image.save(path, format, 92));
    return path;
}

struct Fixture : ::testing::Test {
    QTemporaryDir dir;
    CVisomorfDoc doc;
    QStringList reports;
    void SetUp() override {
        doc.reportFailure = [this](const QString& text) { reports << text; };
        ASSERT_TRUE(doc.OnNewDocument());
    }
    QString Path(const char* name) const { return dir.filePath(name); }
};

using DocumentIO = Fixture;

TEST_F(DocumentIO, ANewDocumentBeginsWithVersionOneAndTheDefaultFeatureSet) {
    SaveDocument(doc, Path("new.vmf"));
    const QByteArray file = ReadAll(Path("new.vmf"));
    const QByteArray block = ReadResource(kFeatureSetResource);
    ASSERT_EQ(block.size(), 3172);
    EXPECT_EQ(file.left(2), QByteArray("\x01\x00", 2));
    EXPECT_EQ(file.mid(2, block.size()), block);
}

TEST_F(DocumentIO, StoreLoadStoreIsByteIdenticalAndKeepsTheJpegBytes) {
    doc.LoadPhoto(Front, SavePicture(Path("front.jpg"), 300, 400, "JPG"));
    doc.LoadPhoto(Side, SavePicture(Path("side.png"), 200, 300, "PNG"));
    doc.blendZoneWidth = 77;
    SaveDocument(doc, Path("a.vmf"));
    const QByteArray first = ReadAll(Path("a.vmf"));
    // The front photo's own file is inside, byte for byte.
    EXPECT_TRUE(first.contains(ReadAll(Path("front.jpg"))));

    CVisomorfDoc reopened;
    OpenDocument(reopened, Path("a.vmf"));
    SaveDocument(reopened, Path("b.vmf"));
    EXPECT_EQ(ReadAll(Path("b.vmf")), first);
    EXPECT_EQ(reopened.photos[Front].size(), QSize(300, 400));
    EXPECT_EQ(reopened.photos[Side].size(), QSize(200, 300));
    EXPECT_EQ(reopened.blendZoneWidth, 77.0f);
    EXPECT_EQ(reopened.GetPathName(), Path("a.vmf"));
    EXPECT_FALSE(reopened.IsModified());
    // The derived data is rebuilt: textures from the photos, a displayed mesh, a bounding sphere.
    ASSERT_TRUE(reopened.textures[Front] && reopened.textures[Side]);
    EXPECT_EQ(reopened.textures[Front]->Width(), 300u);
    EXPECT_TRUE(reopened.displayedMesh != nullptr);
    Vec3 centre;
    float radius = 0;
    ComputeBoundingSphere(doc.editableMesh->vertices.data(), doc.editableMesh->VertexCount(),
                          centre, radius);
    EXPECT_EQ(reopened.boundingRadius, radius);
    EXPECT_EQ(reopened.adjacency.size(), reopened.editableMesh->FaceCount() * 3);
}

TEST_F(DocumentIO, OpeningKeepsTheDisplayStateAndGivesBlankTexturesToViewsWithoutPhoto) {
    SaveDocument(doc, Path("new.vmf"));
    CVisomorfDoc other(3);
    ASSERT_TRUE(other.OnNewDocument());
    other.wireframe = true;
    other.pointsLevel = 4;
    other.SaveSnapshot();
    other.CommitChange();
    OpenDocument(other, Path("new.vmf"));
    EXPECT_EQ(other.modelDetail, High);
    EXPECT_TRUE(other.wireframe);
    EXPECT_EQ(other.pointsLevel, 4);
    EXPECT_TRUE(other.History().Empty());
    ASSERT_TRUE(other.textures[Side]);
    EXPECT_EQ(other.textures[Side]->Width(), 600u);
    EXPECT_EQ(other.textures[Side]->Row(10)[0], 64); // the blank grey
    EXPECT_EQ(other.displayedMesh->VertexCount(), 7373u);
}

TEST_F(DocumentIO, AFileThatCannotBeReadLeavesTheDocumentAsItWas) {
    doc.LoadPhoto(Front, SavePicture(Path("front.jpg"), 120, 160, "JPG"));
    doc.SetPathName("/somewhere/before.vmf");
    SaveDocument(doc, Path("good.vmf"));
    const QByteArray good = ReadAll(Path("good.vmf"));
    WriteAll(Path("cut.vmf"), good.left(good.size() - 5));
    WriteAll(Path("empty.vmf"), QByteArray());
    const auto mesh = doc.editableMesh;
    for (const char* name : {"cut.vmf", "empty.vmf", "missing.vmf"}) {
        reports.clear();
        EXPECT_FALSE(OnOpenDocument(doc, Path(name)));
        ASSERT_EQ(reports.size(), 1) << name;
        EXPECT_TRUE(reports[0].endsWith("\r\n" + Path(name))) << reports[0].toStdString();
        EXPECT_EQ(doc.editableMesh, mesh);
        EXPECT_EQ(doc.photos[Front].size(), QSize(120, 160));
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.GetPathName(), "/somewhere/before.vmf");
    }
    EXPECT_TRUE(reports[0].contains("No such file"));
}

TEST_F(DocumentIO, APhotoTheDeviceCannotHoldLeavesTheDocumentAsItWas) {
    doc.LoadPhoto(Front, SavePicture(Path("front.jpg"), 300, 200, "JPG"));
    SaveDocument(doc, Path("big.vmf"));
    CVisomorfDoc small;
    ASSERT_TRUE(small.OnNewDocument());
    DeviceCaps caps = small.device->Caps();
    caps.maxTextureWidth = caps.maxTextureHeight = 256;
    small.device->SetCaps(caps);
    const auto mesh = small.editableMesh;
    try {
        OpenDocument(small, Path("big.vmf"));
        FAIL();
    } catch (const MessageException& e) {
        EXPECT_EQ(e.Message(), "Image resolution is too high (hardware restriction)");
    }
    EXPECT_EQ(small.editableMesh, mesh);
    EXPECT_TRUE(small.photos[Front].isNull());
}

TEST_F(DocumentIO, AFailedSaveLeavesThePreviousFileIntact) {
    WriteAll(Path("keep.vmf"), "previous content");
    doc.editableMesh->indices[0] = 100000; // a mesh the .x writer refuses, after a part is out
    EXPECT_FALSE(OnSaveDocument(doc, Path("keep.vmf")));
    EXPECT_EQ(ReadAll(Path("keep.vmf")), QByteArray("previous content"));
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary file left
}

TEST_F(DocumentIO, AFailureWhileRebuildingLeavesANewDocument) {
    // A file whose mesh the subdivision tables do not fit: readable, but not displayable at
    // Medium detail.
    DocumentContent content = GatherDocumentContent(doc);
    content.mesh.vertices.resize(3);
    content.mesh.indices = {0, 1, 2};
    content.mesh.attributes = {0};
    for (auto& points : content.featureSet.points) {
        for (FeaturePoint& point : points) {
            point.vertexIndex = 0;
            point.weights.clear();
        }
    }
    QFile file(Path("odd.vmf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    WriteDocument(file, content);
    file.close();
    doc.modelDetail = Medium;
    doc.SetPathName("/before.vmf");
    EXPECT_FALSE(OnOpenDocument(doc, Path("odd.vmf")));
    EXPECT_EQ(reports.size(), 1);
    ASSERT_TRUE(doc.editableMesh && doc.displayedMesh);
    EXPECT_EQ(doc.editableMesh->VertexCount(), 479u);
    EXPECT_EQ(doc.displayedMesh->VertexCount(), 1861u);
    EXPECT_TRUE(doc.GetPathName().isEmpty());
}

TEST_F(DocumentIO, ASuccessfulSaveClearsTheModifiedFlagAndTakesThePath) {
    doc.SetModifiedFlag(true);
    ASSERT_TRUE(OnSaveDocument(doc, Path("saved.vmf")));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), Path("saved.vmf"));
}

// A camera JPEG: pixels stored w x h with an EXIF orientation 6 (turn a quarter clockwise).
QByteArray SidewaysJpeg(int w, int h) {
    QImage stored(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            stored.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, x < w / 2 ? 40 : 200));
        }
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(stored.save(&buffer, "JPG", 92));
    const QByteArray exif("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0",
                          32);
    QByteArray app1("\xFF\xE1\0\x22", 4);
    return QByteArray(buffer.data()).insert(2, app1 + exif);
}

QSize StoredSize(const QByteArray& jpeg) {
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    return reader.size();
}

TEST_F(DocumentIO, ASidewaysCameraPhotoIsSavedUprightAndReopensAsTheSamePicture) {
    const QByteArray camera = SidewaysJpeg(320, 240);
    WriteAll(Path("camera.jpg"), camera);
    doc.LoadPhoto(Front, Path("camera.jpg"));
    ASSERT_EQ(doc.photos[Front].size(), QSize(240, 320));
    SaveDocument(doc, Path("a.vmf"));
    const QByteArray file = ReadAll(Path("a.vmf"));
    // Whatever reads the file sees the upright picture in the JPEG data itself.
    EXPECT_FALSE(file.contains(camera));
    ASSERT_TRUE(file.contains(doc.photoJpegBytes[Front]));
    EXPECT_EQ(StoredSize(doc.photoJpegBytes[Front]), QSize(240, 320));

    CVisomorfDoc reopened;
    OpenDocument(reopened, Path("a.vmf"));
    EXPECT_EQ(reopened.photos[Front], doc.photos[Front]);
    EXPECT_EQ(reopened.box[Front].right, doc.box[Front].right);
    EXPECT_EQ(reopened.box[Front].bottom, doc.box[Front].bottom);
    ASSERT_EQ(reopened.pointPositions[Front].size(), doc.pointPositions[Front].size());
    for (size_t i = 0; i < doc.pointPositions[Front].size(); ++i) {
        EXPECT_EQ(reopened.pointPositions[Front][i].x, doc.pointPositions[Front][i].x) << i;
    }
    for (size_t v = 0; v < doc.editableMesh->vertices.size(); ++v) {
        ASSERT_EQ(reopened.editableMesh->vertices[v].frontUV.y,
                  doc.editableMesh->vertices[v].frontUV.y)
            << v;
    }
}

TEST_F(DocumentIO, ADocumentThatStoredASidewaysPhotoOpensUprightAndIsSavedUpright) {
    // Files written before photos were turned hold the camera's bytes; the coordinates were
    // measured on the upright picture, so that is what opening gives.
    DocumentContent content = GatherDocumentContent(doc);
    content.photos[Front].jpegBytes = SidewaysJpeg(160, 128);
    content.photos[Front].image = QImage(128, 160, QImage::Format_RGB32);
    QFile file(Path("old.vmf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    WriteDocument(file, content);
    file.close();
    OpenDocument(doc, Path("old.vmf"));
    EXPECT_EQ(doc.photos[Front].size(), QSize(128, 160));
    EXPECT_EQ(StoredSize(doc.photoJpegBytes[Front]), QSize(128, 160));
}

TEST_F(DocumentIO, SpecialFilesAreRefusedWithTheirPathOnceAndStayWhatTheyWere) {
    const QString fifo = Path("pipe.vmf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    doc.SetModifiedFlag(true);
    for (const QString& target : {fifo, QStringLiteral("/dev/null"), dir.path()}) {
        reports.clear();
        EXPECT_FALSE(OnSaveDocument(doc, target)) << target.toStdString();
        ASSERT_EQ(reports.size(), 1);
        EXPECT_EQ(reports[0].count(target), 1) << reports[0].toStdString();
        EXPECT_TRUE(reports[0].contains(", not a")) << reports[0].toStdString();
    }
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    ASSERT_EQ(::stat("/dev/null", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
    EXPECT_TRUE(doc.IsModified()); // still the unsaved document
    EXPECT_TRUE(doc.GetPathName().isEmpty());
}

TEST_F(DocumentIO, DocumentsThatHoldACameraPhotoStillOpenAndAreSavedWithoutItsMetadata) {
    // Written as documents were before photos lost their metadata.
    const QByteArray plain = ReadAll(SavePicture(Path("plain.jpg"), 32, 24, "JPG"));
    const QByteArray exif =
        QByteArray("Exif\0\0II*\0\x08\0\0\0\0\0\0\0\0\0", 20) + "GPS 48.8584N 2.2945E of Jane Doe";
    const QByteArray app1 = QByteArray("\xFF\xE1\0", 3) + char(exif.size() + 2) + exif;
    DocumentContent content = GatherDocumentContent(doc);
    content.photos[Front].jpegBytes = QByteArray(plain).insert(2, app1);
    content.photos[Front].image = QImage(32, 24, QImage::Format_RGB32);
    QFile file(Path("old.vmf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    WriteDocument(file, content);
    file.close();

    OpenDocument(doc, Path("old.vmf"));
    EXPECT_EQ(doc.photos[Front], QImage::fromData(plain));
    SaveDocument(doc, Path("new.vmf"));
    const QByteArray saved = ReadAll(Path("new.vmf"));
    EXPECT_FALSE(saved.contains("Jane Doe"));
    EXPECT_TRUE(saved.contains(plain)); // the picture itself, unchanged
}

} // namespace
} // namespace vm
