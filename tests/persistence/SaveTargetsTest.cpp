// Where a save may go, what a failed save leaves, and what of a photo a saved document shares.
#include "document/CVisomorfDoc.h"
#include "persistence/DocumentIO.h"
#include "platform/Exceptions.h"
#include "support/SmallDisk.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vm {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Saving : ::testing::Test {
    QTemporaryDir dir;
    CVisomorfDoc doc;
    QStringList reports;
    void SetUp() override {
        doc.reportFailure = [this](const QString& text) { reports << text; };
        ASSERT_TRUE(doc.OnNewDocument());
    }
};

TEST_F(Saving, SpecialFilesAreRefusedWithTheirPathOnceAndStayWhatTheyWere) {
    const QString fifo = dir.filePath("pipe.vmf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    doc.SetModifiedFlag(true);
    for (const QString& target : {fifo, QStringLiteral("/dev/null"), dir.path()}) {
        reports.clear();
        EXPECT_FALSE(OnSaveDocument(doc, target)) << target.toStdString();
        ASSERT_EQ(reports.size(), 1);
        EXPECT_EQ(reports[0].count(target), 1) << reports[0].toStdString();
        EXPECT_TRUE(reports[0].contains("not a") || reports[0].contains("folder"))
            << reports[0].toStdString();
    }
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    ASSERT_EQ(::stat("/dev/null", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
    // The document is still the unsaved, modified one.
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.GetPathName().isEmpty());
}

TEST_F(Saving, AFullDiskNamesTheReasonAndKeepsThePreviousDocument) {
    test::SmallDisk disk(2 * 1024 * 1024);
    if (!disk.Ready())
        GTEST_SKIP() << disk.Why();
    const QString path = disk.FilePath("head.vmf");
    ASSERT_TRUE(OnSaveDocument(doc, path));
    const QByteArray previous = ReadAll(path);
    ASSERT_FALSE(previous.isEmpty());
    ASSERT_TRUE(disk.FillLeaving(previous.size() / 2));
    doc.SetModifiedFlag(true);
    EXPECT_FALSE(OnSaveDocument(doc, path));
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0], "Error writing file:\r\n" + path + "\r\nNo space left on device");
    EXPECT_EQ(ReadAll(path), previous);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(disk.Names(), QStringList{"head.vmf"});
}

QByteArray CameraJpeg() {
    QImage image(32, 24, QImage::Format_RGB32);
    image.fill(qRgb(120, 80, 60));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, "jpeg").write(image));
    const QByteArray payload = QByteArray("Exif\0\0II*\0\x08\0\0\0\0\0\0\0\0\0", 20) +
                               "GPS 48.8584N 2.2945E of Jane Doe";
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((payload.size() + 2) >> 8)).append(char(payload.size() + 2)).append(payload);
    return QByteArray(buffer.data()).insert(2, app1);
}

TEST_F(Saving, DocumentsThatHoldACameraPhotoStillOpenAndAreSavedWithoutItsMetadata) {
    // Written as documents were before photos lost their metadata.
    DocumentContent content = GatherDocumentContent(doc);
    content.photos[Front].jpegBytes = CameraJpeg();
    content.photos[Front].image = QImage(32, 24, QImage::Format_RGB32);
    QFile file(dir.filePath("old.vmf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    WriteDocument(file, content);
    file.close();
    ASSERT_TRUE(ReadAll(dir.filePath("old.vmf")).contains("Jane Doe"));

    OpenDocument(doc, dir.filePath("old.vmf"));
    EXPECT_EQ(doc.photos[Front].size(), QSize(32, 24));
    EXPECT_EQ(qRed(doc.photos[Front].pixel(5, 5)), qRed(QImage::fromData(CameraJpeg()).pixel(5, 5)));
    SaveDocument(doc, dir.filePath("new.vmf"));
    const QByteArray saved = ReadAll(dir.filePath("new.vmf"));
    EXPECT_FALSE(saved.contains("Jane Doe"));
    EXPECT_FALSE(saved.contains("Exif"));
    EXPECT_TRUE(saved.contains(CameraJpeg().mid(2 + 4 + 52))); // the picture itself, unchanged
}

} // namespace
} // namespace vm
