#include "persistence/DocumentFile.h"

#include "platform/core/Exceptions.h"
#include "platform/xfile/XFileReader.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace vm {
namespace {

QByteArray JpegOf(const QImage& image, int quality = 90) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return bytes;
}

QImage Picture(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    for (int x = 0; x < w; ++x) {
        image.setPixel(x, x % h, qRgb(x * 7 % 256, 30, 200));
    }
    return image;
}

FeaturePoint Point(uint32_t vertex, int32_t level, VertexWeights weights) {
    FeaturePoint p;
    p.vertexIndex = vertex;
    p.level = level;
    p.weights = std::move(weights);
    return p;
}

// A small but complete document: a tetrahedron, three front points, two side points.
DocumentContent SmallDocument() {
    DocumentContent c;
    c.mesh.vertices.resize(4);
    const float positions[4][3] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}};
    for (int i = 0; i < 4; ++i) {
        HeadVertex& v = c.mesh.vertices[i];
        v.position = {positions[i][0], positions[i][1], positions[i][2]};
        v.normal = {0, 0, -1};
        v.diffuse = 0xFFFFFFFF;
        v.frontUV = {0.1f * i, 0.2f};
        v.sideUV = {0.3f, 0.05f * i};
        v.modelUV = {0.25f * i, 1.0f - 0.25f * i};
    }
    c.mesh.indices = {0, 1, 2, 0, 3, 1, 0, 2, 3, 1, 3, 2};
    c.mesh.attributes = {0, 0, 0, 0};
    c.featureSet.points[0] = {Point(0, 0, {{0, 1.0f}, {1, 0.5f}}), Point(1, 2, {{1, 0.25f}}),
                              Point(2, 1, {})};
    c.featureSet.points[1] = {Point(3, 0, {{3, 1.0f}, {2, 0.125f}}), Point(2, 4, {{2, 1.0f}})};
    Feature whole;
    whole.name = "Whole object";
    whole.segments = {{0, 1}, {1, 2}};
    Feature eye;
    eye.name = "Eye";
    eye.parent = 0;
    eye.segments = {{2, 0}};
    c.featureSet.features[0] = {whole, eye};
    whole.segments = {{0, 1}};
    c.featureSet.features[1] = {whole};
    for (int p = 0; p < 2; ++p) {
        c.modelOffset[p] = {238.4f + p, 342.1f};
        c.box[p] = {71.25f, 50, 528.75f, 750};
        for (size_t i = 0; i < c.featureSet.points[p].size(); ++i) {
            c.pointPositions[p].push_back({100.5f + i, 200.25f - i});
        }
    }
    c.blendZone = {{350, 0}, {350, 200}, {350, 400}, {350, 600}, {350, 800}};
    c.blendZoneWidth = 100;
    return c;
}

QByteArray Write(const DocumentContent& content) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    WriteDocument(buffer, content);
    return bytes;
}

DocumentContent Read(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return ReadDocument(buffer);
}

// Where the front photo section begins: behind version, feature-set block and mesh block.
qsizetype FrontSectionOffset(const QByteArray& file) {
    QByteArray copy = file;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    ExtractMeshBlock(buffer);
    return static_cast<qsizetype>(buffer.pos());
}

QByteArray Le32(uint32_t v) {
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray LeFloat(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return Le32(bits);
}

TEST(DocumentFile, RoundTripKeepsEveryFieldAndIsByteIdentical) {
    DocumentContent original = SmallDocument();
    original.photos[0].image = Picture(40, 30, qRgb(10, 200, 30));
    original.photos[0].jpegBytes = JpegOf(original.photos[0].image);
    original.photos[1].image = Picture(20, 50, qRgb(90, 20, 230)); // not from JPEG data
    original.leftSide = true;
    const QByteArray first = Write(original);
    const DocumentContent back = Read(first);
    EXPECT_EQ(Write(back), first);

    EXPECT_EQ(back.mesh.VertexCount(), 4u);
    EXPECT_EQ(0, std::memcmp(back.mesh.vertices.data(), original.mesh.vertices.data(), 4 * 52));
    EXPECT_EQ(back.mesh.indices, original.mesh.indices);
    for (int p = 0; p < 2; ++p) {
        ASSERT_EQ(back.featureSet.points[p].size(), original.featureSet.points[p].size());
        for (size_t i = 0; i < back.featureSet.points[p].size(); ++i) {
            EXPECT_EQ(back.featureSet.points[p][i].weights,
                      original.featureSet.points[p][i].weights);
        }
        EXPECT_EQ(back.box[p], original.box[p]);
        EXPECT_EQ(back.modelOffset[p].x, original.modelOffset[p].x);
        ASSERT_EQ(back.pointPositions[p].size(), original.pointPositions[p].size());
        EXPECT_EQ(back.pointPositions[p][1].y, original.pointPositions[p][1].y);
        EXPECT_EQ(back.photos[p].image.size(), original.photos[p].image.size());
    }
    // The JPEG photo travels unchanged; the other one was encoded once and is kept as such.
    EXPECT_EQ(back.photos[0].jpegBytes, original.photos[0].jpegBytes);
    EXPECT_FALSE(back.photos[1].jpegBytes.isEmpty());
    EXPECT_EQ(back.blendZone.size(), 5u);
    EXPECT_TRUE(back.leftSide);
}

TEST(DocumentFile, ViewsWithoutPhotoStoreOneZeroByte) {
    const DocumentContent content = SmallDocument();
    const QByteArray file = Write(content);
    // The side section ends with its has-photo byte 0, then the blend zone and left side.
    const qsizetype tail = 4 + 2 + 5 * 8 + 1;
    EXPECT_EQ(file.at(file.size() - tail - 1), '\0');
    EXPECT_EQ(file.mid(file.size() - tail, 4), LeFloat(100));
    EXPECT_EQ(file.back(), '\0');
    const DocumentContent back = Read(file);
    EXPECT_TRUE(back.photos[0].image.isNull());
    EXPECT_TRUE(back.photos[1].image.isNull());
}

TEST(DocumentFile, OnlyVersionOneIsRead) {
    QByteArray file = Write(SmallDocument());
    file[0] = 2;
    try {
        Read(file);
        FAIL();
    } catch (const ArchiveException& e) {
        EXPECT_TRUE(e.Message().contains("version 2"));
    }
    // The long form of the count 1 is still version 1.
    QByteArray longForm = Write(SmallDocument());
    longForm.replace(0, 2, QByteArray("\xFF\xFF\x01\x00\x00\x00", 6));
    EXPECT_NO_THROW(Read(longForm));
    // Files of other kinds are named as such, not by a version made of their first bytes.
    for (const QByteArray& start : {QByteArray("glTF\x02\0\0\0", 8), QByteArray("hello\n"),
                                    QByteArray("\xFF\xD8\xFF\xE0", 4), QByteArray(8, '\0')}) {
        try {
            Read(start + Write(SmallDocument()).mid(2));
            ADD_FAILURE() << start.toHex().toStdString();
        } catch (const ArchiveException& e) {
            EXPECT_TRUE(e.Message().contains("not a Visomorf document"))
                << e.Message().toStdString();
            EXPECT_FALSE(e.Message().contains("version")) << e.Message().toStdString();
        }
    }
}

TEST(DocumentFile, AFileThatEndsInsideAnySectionIsRefused) {
    DocumentContent content = SmallDocument();
    content.photos[0].image = Picture(16, 16, qRgb(1, 2, 3));
    content.photos[0].jpegBytes = JpegOf(content.photos[0].image);
    const QByteArray file = Write(content);
    std::vector<qsizetype> cuts;
    for (qsizetype n = 0; n < file.size(); n += (n < 64 || n > file.size() - 64) ? 1 : 7) {
        cuts.push_back(n);
    }
    for (qsizetype n : cuts) {
        EXPECT_THROW(Read(file.left(n)), VisomorfException) << "cut at " << n;
    }
    EXPECT_NO_THROW(Read(file));
    EXPECT_NO_THROW(Read(file + "trailing bytes are not looked at"));
}

TEST(DocumentFile, ARepeatedWeightIndexReplacesTheEarlierValue) {
    const QByteArray file = Write(SmallDocument());
    const qsizetype front = FrontSectionOffset(file);
    // Front point 0 stores 2 weights: (0, 1.0) and (1, 0.5). Make it three, vertex 1 twice.
    QByteArray edited = file;
    edited.replace(front, 2, QByteArray("\x03\x00", 2));
    edited.insert(front + 2 + 12, QByteArray("\x01\x00", 2) + LeFloat(0.75f));
    const DocumentContent back = Read(edited);
    const VertexWeights expected{{0, 1.0f}, {1, 0.75f}};
    EXPECT_EQ(back.featureSet.points[0][0].weights, expected);
}

// Replaces `length` bytes at `offset` of the written small document.
QByteArray Patched(qsizetype offset, qsizetype length, const QByteArray& with) {
    QByteArray file = Write(SmallDocument());
    file.replace(offset, length, with);
    return file;
}

void ExpectRefused(const QByteArray& file, const char* wording) {
    try {
        Read(file);
        FAIL() << "accepted; expected: " << wording;
    } catch (const VisomorfException& e) {
        EXPECT_TRUE(e.Message().contains(QLatin1String(wording), Qt::CaseInsensitive))
            << e.Message().toStdString();
    }
}

TEST(DocumentFile, ContentTheProgramCannotUseIsRefusedWithAClearMessage) {
    const QByteArray file = Write(SmallDocument());
    const qsizetype front = FrontSectionOffset(file);
    // Front weights: (2+6+6) + (2+6) + 2 bytes; then offset 8, box 16, count 2, positions.
    const qsizetype offsetAt = front + 14 + 8 + 2;
    const qsizetype boxAt = offsetAt + 8;
    const qsizetype countAt = boxAt + 16;
    ExpectRefused(Patched(front + 2, 2, QByteArray("\x09\x00", 2)), "weight names vertex 9");
    ExpectRefused(Patched(boxAt + 8, 4, LeFloat(71.25f)), "box has no width");
    ExpectRefused(Patched(boxAt + 12, 4, LeFloat(50)), "box has no width or no height");
    ExpectRefused(Patched(offsetAt, 4, LeFloat(NAN)), "not finite");
    ExpectRefused(Patched(boxAt, 4, LeFloat(INFINITY)), "not finite");
    ExpectRefused(Patched(countAt, 2, QByteArray("\x02\x00", 2)), "2 point positions for 3");
    ExpectRefused(Patched(countAt + 2, 4, LeFloat(NAN)), "not finite");
    // Blend zone: no points.
    QByteArray empty = file;
    empty.replace(file.size() - 1 - 40 - 2, 2, QByteArray("\x00\x00", 2));
    empty.remove(file.size() - 1 - 40, 40);
    ExpectRefused(empty, "blend zone has no points");
    ExpectRefused(Patched(file.size() - 1 - 40 - 2 - 4, 4, LeFloat(NAN)), "not finite");
    ExpectRefused(QByteArray(), "empty");
}

TEST(DocumentFile, CountsBeyondTheFileAreRefusedBeforeAllocating) {
    const QByteArray file = Write(SmallDocument());
    const qsizetype front = FrontSectionOffset(file);
    const QByteArray huge("\xFF\xFF\xFF\xFF\xFF\x7F", 6);
    ExpectRefused(Patched(front, 2, huge), "end of the file"); // weights
    // Mesh block length: just past the feature-set block.
    QByteArray copy = file;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray mesh = ExtractMeshBlock(buffer);
    const qsizetype meshCountAt = front - mesh.size() - (mesh.size() < 0xFFFF ? 2 : 6);
    ExpectRefused(Patched(meshCountAt, 2, huge), "end of the file");
    // Blend zone count.
    ExpectRefused(Patched(file.size() - 1 - 40 - 2, 2, huge), "end of the file");
}

TEST(DocumentFile, MeshBytesThatDoNotDecodeAreRefused) {
    QByteArray file = Write(SmallDocument());
    const qsizetype front = FrontSectionOffset(file);
    QByteArray copy = file;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray mesh = ExtractMeshBlock(buffer);
    EXPECT_TRUE(mesh.startsWith("xof 0303bzip0032"));
    EXPECT_NO_THROW(ReadXFile(mesh));
    file[front - mesh.size() + 4] = '9'; // "xof 9303": no version a reader knows
    EXPECT_THROW(Read(file), VisomorfException);
}

// A front photo of `data` with length field L = data.size().
QByteArray WithFrontPhoto(const QByteArray& data) {
    QByteArray file = Write(SmallDocument());
    const qsizetype hasPhotoAt = FrontSectionOffset(file) + 24 + 8 + 16 + 2 + 3 * 8;
    EXPECT_EQ(file.at(hasPhotoAt), '\0');
    file.replace(hasPhotoAt, 1, QByteArray("\x01", 1) + Le32(data.size()) + Le32(0) + data);
    return file;
}

TEST(DocumentFile, PhotoDataIsReadWithinItsLength) {
    const QByteArray jpeg = JpegOf(Picture(24, 24, qRgb(50, 60, 70)));
    // Bytes the decoder does not look at, inside L: the next section is still found.
    const DocumentContent padded = Read(WithFrontPhoto(jpeg + QByteArray(100, '\x7F')));
    EXPECT_EQ(padded.photos[0].image.size(), QSize(24, 24));
    EXPECT_EQ(padded.blendZone.size(), 5u);
    // JPEG data shorter than the decoder wants.
    ExpectRefused(WithFrontPhoto(jpeg.left(jpeg.size() / 2)), "incomplete");
    ExpectRefused(WithFrontPhoto(QByteArray("not a picture at all")), "incomplete");
    // A length beyond the file.
    QByteArray file = WithFrontPhoto(jpeg);
    const qsizetype lengthAt = file.indexOf(jpeg) - 8;
    file.replace(lengthAt, 8, Le32(0xFFFFFFF0u) + Le32(7));
    ExpectRefused(file, "end of the file");
}

TEST(JpegDataComplete, FollowsTheMarkersToTheEnd) {
    const QByteArray jpeg = JpegOf(Picture(64, 48, qRgb(5, 5, 5)));
    EXPECT_TRUE(JpegDataComplete(jpeg));
    EXPECT_TRUE(JpegDataComplete(jpeg + "tail"));
    EXPECT_FALSE(JpegDataComplete(jpeg.left(jpeg.size() - 2)));
    EXPECT_FALSE(JpegDataComplete(jpeg.left(jpeg.size() / 2)));
    EXPECT_FALSE(JpegDataComplete(QByteArray("\xFF\xD8", 2)));
    EXPECT_FALSE(JpegDataComplete(QByteArray()));
}

} // namespace
} // namespace vm
