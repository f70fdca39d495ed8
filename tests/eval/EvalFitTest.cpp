// The measuring parts of the evaluation on real photos: if these are wrong, every figure the
// evaluation reports is wrong with them.
#include "EvalReport.h"
#include "FaceCompare.h"
#include "GlbReader.h"
#include "HeadRender.h"
#include "document/CVisomorfDoc.h"
#include "export/ExportModel.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <random>

namespace vm {
namespace {

Landmarks RandomLandmarks(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> coordinate(100, 300);
    Landmarks points;
    for (Vec2& p : points) {
        p = {coordinate(random), coordinate(random)};
    }
    return points;
}

std::vector<Vec2> Vector(const Landmarks& l) {
    return {l.begin(), l.end()};
}

TEST(SimilarityAlignment, RecoversAKnownScaleRotationAndShift) {
    const Landmarks from = RandomLandmarks(1);
    const double scale = 1.7, angle = 12.0 * M_PI / 180.0;
    Similarity truth{scale * std::cos(angle), scale * std::sin(angle), 30, -40};
    Landmarks to;
    for (size_t i = 0; i < from.size(); ++i) {
        to[i] = truth.Apply(from[i]);
    }
    const Similarity fitted = FitSimilarity(Vector(from), Vector(to));
    EXPECT_NEAR(fitted.Scale(), 1.7, 1e-5);
    EXPECT_NEAR(fitted.AngleDegrees(), 12.0, 1e-4);
    EXPECT_NEAR(fitted.tx, 30, 1e-3);
    EXPECT_NEAR(fitted.ty, -40, 1e-3);
    EXPECT_NEAR(MeanLandmarkError(to, from, fitted), 0.0, 1e-3);

    // A mirror image cannot be explained by a similarity: it stays far off.
    Landmarks mirrored = to;
    for (Vec2& p : mirrored) {
        p.x = 400 - p.x;
    }
    const Similarity best = FitSimilarity(Vector(from), Vector(mirrored));
    EXPECT_GT(MeanLandmarkError(mirrored, from, best), 10.0);

    // Points all in one place, or pairs that do not pair up, fit nothing.
    EXPECT_THROW(FitSimilarity(std::vector<Vec2>(3, Vec2{5, 5}), std::vector<Vec2>(3)),
                 std::invalid_argument);
    EXPECT_THROW(FitSimilarity(Vector(from), std::vector<Vec2>(3)), std::invalid_argument);
}

TEST(SimilarityAlignment, ErrorIsInPercentOfTheOuterEyeCornerDistance) {
    Landmarks photo = RandomLandmarks(2);
    photo[36] = {100, 200};
    photo[45] = {200, 200}; // 100 pixels apart
    Landmarks render;
    for (size_t i = 0; i < photo.size(); ++i) {
        render[i] = {photo[i].x + 3, photo[i].y + 4}; // 5 pixels off each, unaligned
    }
    EXPECT_NEAR(MeanLandmarkError(photo, render, Similarity{}), 5.0, 1e-4);
    // Aligned, the same shift costs nothing.
    EXPECT_NEAR(MeanLandmarkError(photo, render, FitSimilarity(Vector(render), Vector(photo))), 0.0,
                1e-3);
}

cv::Mat TestPicture() {
    cv::Mat picture(240, 320, CV_8UC1);
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            picture.at<uchar>(y, x) = static_cast<uchar>(
                128 + 60 * std::sin(x * 0.07) * std::cos(y * 0.05) + 40 * std::sin((x + y) * 0.02));
        }
    }
    return picture;
}

TEST(FaceCorrelation, IsOneWithItselfMinusOneWithItsNegativeAndCountsOnlyTheMask) {
    const cv::Mat a = TestPicture();
    cv::Mat mask = cv::Mat::zeros(a.size(), CV_8UC1);
    cv::rectangle(mask, cv::Rect(50, 40, 200, 150), cv::Scalar(255), cv::FILLED);
    EXPECT_NEAR(MaskedCorrelation(a, a, mask), 1.0, 1e-9);
    cv::Mat negative = 255 - a;
    EXPECT_NEAR(MaskedCorrelation(a, negative, mask), -1.0, 1e-9);

    // Outside the mask anything goes.
    cv::Mat scribbled = a.clone();
    scribbled(cv::Rect(0, 0, 40, 40)).setTo(cv::Scalar(0));
    EXPECT_NEAR(MaskedCorrelation(a, scribbled, mask), 1.0, 1e-9);
    // A flat picture or an empty mask has no correlation at all.
    EXPECT_TRUE(std::isnan(MaskedCorrelation(a, cv::Mat(a.size(), CV_8UC1, cv::Scalar(90)), mask)));
    EXPECT_TRUE(std::isnan(MaskedCorrelation(a, a, cv::Mat::zeros(a.size(), CV_8UC1))));
}

// A picture with landmarks inside it, and a copy moved, turned and scaled by `move` with its
// landmarks carried along.
struct WarpedPair {
    cv::Mat photo, copy;
    Landmarks photoMarks, copyMarks;
};

WarpedPair WarpedCopy(unsigned seed, const Similarity& move) {
    WarpedPair pair;
    pair.photo = TestPicture();
    pair.photoMarks = RandomLandmarks(seed);
    for (Vec2& p : pair.photoMarks) {
        p = {p.x * 0.8f - 20, p.y * 0.5f + 20}; // inside the picture
    }
    cv::warpAffine(pair.photo, pair.copy, move.Matrix(), cv::Size(480, 400), cv::INTER_CUBIC,
                   cv::BORDER_REFLECT);
    for (size_t i = 0; i < pair.photoMarks.size(); ++i) {
        pair.copyMarks[i] = move.Apply(pair.photoMarks[i]);
    }
    return pair;
}

// A picture and a copy of it moved, turned and scaled: comparing them by their landmarks warps
// the copy back onto the picture, so they agree pixel for pixel inside the face.
TEST(FaceCorrelation, ComparingAWarpedCopyUndoesTheWarp) {
    const auto [photo, copy, photoMarks, copyMarks] =
        WarpedCopy(3, {1.3 * std::cos(0.2), 1.3 * std::sin(0.2), 15, -25});

    const FaceComparison same = CompareFaces(photo, photoMarks, copy, copyMarks);
    EXPECT_NEAR(same.errorPercent, 0.0, 1e-3);
    EXPECT_GT(same.correlation, 0.97);
    EXPECT_EQ(same.warped.size(), photo.size());

    // Landmarks that disagree cost error and correlation.
    Landmarks shifted = copyMarks;
    for (Vec2& p : shifted) {
        p.x += 12;
    }
    const FaceComparison off = CompareFaces(photo, photoMarks, copy, shifted);
    EXPECT_LT(off.correlation, same.correlation - 0.1);
}

// The front photo carried through the landmarks onto a moved, turned and scaled copy of itself
// is that copy inside the landmarks' hull, and the background outside it; landmarks that belong
// elsewhere tear the picture apart.
TEST(FaceCorrelation, APictureCarriedThroughItsLandmarksOntoAWarpedCopyIsThatCopy) {
    const auto [photo, copy, photoMarks, copyMarks] =
        WarpedCopy(4, {1.2 * std::cos(-0.3), 1.2 * std::sin(-0.3), 40, 60});
    EXPECT_GT(FrontPhotoCeiling(photo, photoMarks, copy, copyMarks), 0.97);
    const cv::Mat carried = WarpThroughLandmarks(photo, photoMarks, copyMarks, copy.size(), 77);
    EXPECT_EQ(carried.at<uchar>(2, 2), 77);
    EXPECT_EQ(carried.at<uchar>(397, 477), 77);

    Landmarks swapped = photoMarks;
    std::reverse(swapped.begin() + 17, swapped.end());
    EXPECT_LT(FrontPhotoCeiling(photo, swapped, copy, copyMarks), 0.8);
}

struct GlbFromExport : ::testing::Test {
    CVisomorfDoc doc;
    QTemporaryDir dir;
    QByteArray file;
    std::vector<Vec3> objPositions; // model units
    std::vector<Vec2> objUvs;       // v = 0 at the bottom
    std::vector<uint32_t> objIndices;
    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        ExportOptions options;
        options.width = options.height = 128;
        ExportDocument(doc, dir.filePath("h.glb"), Medium, options);
        ExportDocument(doc, dir.filePath("h.obj"), Medium, options);
        QFile glb(dir.filePath("h.glb")), obj(dir.filePath("h.obj"));
        ASSERT_TRUE(glb.open(QIODevice::ReadOnly) && obj.open(QIODevice::ReadOnly));
        file = glb.readAll();
        for (const QByteArray& line : obj.readAll().split('\n')) {
            const QList<QByteArray> f = line.trimmed().split(' ');
            if (f[0] == "v") {
                objPositions.push_back({f[1].toFloat(), f[2].toFloat(), f[3].toFloat()});
            } else if (f[0] == "vt") {
                objUvs.push_back({f[1].toFloat(), f[2].toFloat()});
            } else if (f[0] == "f") {
                for (int c = 1; c <= 3; ++c) {
                    objIndices.push_back(f[c].split('/')[0].toUInt() - 1);
                }
            }
        }
    }
};

// The reader gives back the exporter's mesh: the OBJ's positions in glTF's axes and metres
// (0.23 m from crown to chin), its texture coordinates with v turned downwards, its triangles
// and its texture.
TEST_F(GlbFromExport, ReadsTheExportersMeshAndTexture) {
    QString error;
    const std::optional<GlbMesh> mesh = ReadGlb(file, error);
    ASSERT_TRUE(mesh) << error.toStdString();
    ASSERT_EQ(mesh->positions.size(), objPositions.size());
    ASSERT_EQ(mesh->indices.size(), objIndices.size());
    float low = 1e30f, high = -1e30f;
    for (const Vec3& p : objPositions) {
        low = std::min(low, p.y), high = std::max(high, p.y);
    }
    const float metres = 0.23f / (high - low);
    for (size_t i = 0; i < objPositions.size(); ++i) {
        EXPECT_NEAR(mesh->positions[i].x, objPositions[i].x * metres, 1e-4);
        EXPECT_NEAR(mesh->positions[i].y, objPositions[i].y * metres, 1e-4);
        EXPECT_NEAR(mesh->positions[i].z, -objPositions[i].z * metres, 1e-4);
        EXPECT_NEAR(mesh->uvs[i].x, objUvs[i].x, 1e-4);
        EXPECT_NEAR(mesh->uvs[i].y, 1.0f - objUvs[i].y, 1e-4);
    }
    for (size_t f = 0; f < objIndices.size(); f += 3) { // turned for glTF's front faces
        EXPECT_EQ(mesh->indices[f], objIndices[f]);
        EXPECT_EQ(mesh->indices[f + 1], objIndices[f + 2]);
        EXPECT_EQ(mesh->indices[f + 2], objIndices[f + 1]);
    }
    EXPECT_EQ(mesh->texture.size(), QSize(128, 128));
}

// A damaged file is refused with a reason, wherever it is cut or however it points astray.
TEST_F(GlbFromExport, RefusesDamagedFilesWithAReason) {
    QString error;
    for (qsizetype length :
         {qsizetype(0), qsizetype(11), qsizetype(40), file.size() / 2, file.size() - 1}) {
        EXPECT_FALSE(ReadGlb(file.left(length), error)) << length;
        EXPECT_FALSE(error.isEmpty());
    }
    QByteArray magic = file;
    magic[0] = 'X';
    EXPECT_FALSE(ReadGlb(magic, error));

    // Point the first triangle at a vertex that does not exist: the index data is the geometry's
    // last block, before the texture.
    QByteArray badIndex = file;
    const qsizetype binStart = 12 + 8 + qFromLittleEndian<uint32_t>(file.constData() + 12) + 8;
    const qsizetype indexStart = binStart + 32 * qsizetype(objPositions.size());
    qToLittleEndian<uint16_t>(uint16_t(60000), badIndex.data() + indexStart);
    EXPECT_FALSE(ReadGlb(badIndex, error));
    EXPECT_TRUE(error.contains("vertex")) << error.toStdString();
}

// Two plates, one in front (z = +1, the top of the texture: red) and one behind (z = -1,
// the bottom: blue), both 1 wide and 2 high.
GlbMesh TwoPlates() {
    GlbMesh mesh;
    for (float z : {1.0f, -1.0f}) {
        const float v = z > 0 ? 0.25f : 0.75f;
        for (auto [x, y] : {std::pair{-0.5f, -1.0f}, {0.5f, -1.0f}, {0.5f, 1.0f}, {-0.5f, 1.0f}}) {
            mesh.positions.push_back({x, y, z});
            mesh.uvs.push_back({0.5f, v});
        }
        const uint32_t b = static_cast<uint32_t>(mesh.positions.size()) - 4;
        mesh.indices.insert(mesh.indices.end(), {b, b + 1, b + 2, b, b + 2, b + 3});
    }
    mesh.texture = QImage(1, 2, QImage::Format_ARGB32);
    mesh.texture.setPixel(0, 0, qRgb(255, 0, 0));
    mesh.texture.setPixel(0, 1, qRgb(0, 0, 255));
    return mesh;
}

TEST(HeadRendering, ShowsTheNearSideAndTurnsTheFaceToThePicturesRightForPositiveYaw) {
    const GlbMesh plates = TwoPlates();
    HeadView view;
    view.width = 200;
    view.height = 200;
    const QImage front = RenderHead(plates, view);
    EXPECT_EQ(front.pixel(100, 100), qRgb(255, 0, 0)); // the front plate hides the back one
    EXPECT_EQ(front.pixel(2, 2), view.background);

    view.yawDegrees = 45;
    const QImage turned = RenderHead(plates, view);
    // The front plate's centre moves to x = +0.71, the back plate's to -0.71.
    auto colourAt = [&](int x) { return turned.pixel(x, 100); };
    int firstRed = -1, firstBlue = -1;
    for (int x = 0; x < view.width; ++x) {
        if (firstRed < 0 && colourAt(x) == qRgb(255, 0, 0)) {
            firstRed = x;
        }
        if (firstBlue < 0 && colourAt(x) == qRgb(0, 0, 255)) {
            firstBlue = x;
        }
    }
    ASSERT_GE(firstRed, 0);
    ASSERT_GE(firstBlue, 0);
    EXPECT_GT(firstRed, view.width / 2);
    EXPECT_LT(firstBlue, view.width / 2);
}

TEST(EvalReport, MediansSkipMissingValues) {
    EXPECT_EQ(Median({3, 1, 2}), 2);
    EXPECT_EQ(Median({4, 1, 3, 2}), 2.5);
    EXPECT_EQ(Median({NAN, 5, 1}), 3);
    EXPECT_TRUE(std::isnan(Median({})));
}

Summary Passing(int people) {
    Summary s;
    s.people = s.fitted = s.frontFound = s.angledFound = people;
    s.frontError = 2.0, s.frontCorrelation = 0.95;
    s.angledError = 3.0, s.angledCorrelation = 0.7;
    return s;
}

bool AllMet(const Summary& s) {
    for (const Target& t : Targets(s)) {
        if (!t.met) {
            return false;
        }
    }
    return true;
}

// The targets: 19 of 20 fits, every fitted head's front found, 17 of 20 angled faces, and the
// medians' bounds, each of which alone fails the evaluation.
TEST(EvalReport, TargetsHoldExactlyAtTheirBounds) {
    EXPECT_TRUE(AllMet(Passing(20)));
    Summary s = Passing(20);
    s.fitted = s.frontFound = 19, s.angledFound = 17;
    EXPECT_TRUE(AllMet(s));
    s.fitted = s.frontFound = 18;
    EXPECT_FALSE(AllMet(s));
    s = Passing(20), s.frontFound = 19;
    EXPECT_FALSE(AllMet(s));
    s = Passing(20), s.angledFound = 16;
    EXPECT_FALSE(AllMet(s));
    s = Passing(20), s.frontError = 2.5;
    EXPECT_FALSE(AllMet(s));
    s = Passing(20), s.frontCorrelation = NAN;
    EXPECT_FALSE(AllMet(s));
    s = Passing(20), s.angledError = 4.0;
    EXPECT_FALSE(AllMet(s));
    s = Passing(20), s.angledCorrelation = 0.65;
    EXPECT_FALSE(AllMet(s));
    // Fewer people: the same shares, rounded up; nothing fitted never passes.
    s = Passing(10), s.fitted = s.frontFound = 9;
    EXPECT_FALSE(AllMet(s));
    s = Passing(0);
    EXPECT_FALSE(AllMet(s));
}

// Splits one CSV line into fields, honouring quotes and doubled quotes inside them.
QStringList CsvFields(const QString& line) {
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.last() += c, ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.append(QString());
        } else {
            fields.last() += c;
        }
    }
    return fields;
}

// Programs read the results: every CSV row has the header's columns whatever the program said
// on failure, and values that do not exist are empty in CSV and null in JSON (never NaN, which
// is not JSON).
TEST(EvalReport, WritesRowsProgramsCanRead) {
    PersonResult failed;
    failed.id = "001";
    failed.exitStatus = 1;
    failed.fitMessage = "visomorf: cannot fit \"side.jpg\", a profile, here";
    PersonResult fitted;
    fitted.id = "002";
    fitted.exitStatus = 0;
    fitted.fitted = true;
    fitted.front = {true, true, 0, 2.5, 0.91};
    fitted.angled = {true, false, 0, 0, 0};
    const std::vector<PersonResult> people{failed, fitted};

    const QStringList lines = FormatCsv(people).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    const QStringList header = CsvFields(lines[0]);
    for (const QString& line : lines) {
        EXPECT_EQ(CsvFields(line).size(), header.size()) << line.toStdString();
    }
    EXPECT_EQ(CsvFields(lines[1]).last(), failed.fitMessage);
    EXPECT_EQ(CsvFields(lines[2])[header.indexOf("front_correlation")], "0.9100");
    EXPECT_EQ(CsvFields(lines[2])[header.indexOf("angled_error_percent")], "");

    const Summary summary = Summarise(people);
    EXPECT_EQ(summary.fitted, 1);
    EXPECT_EQ(summary.frontFound, 1);
    const QJsonObject json = FormatJson(people, summary, Targets(summary));
    const QByteArray text = QJsonDocument(json).toJson();
    EXPECT_FALSE(text.contains("nan")) << text.toStdString();
    const QJsonObject reread = QJsonDocument::fromJson(text).object();
    EXPECT_TRUE(reread["medians"].toObject()["angled_error_percent"].isNull());
    EXPECT_DOUBLE_EQ(reread["medians"].toObject()["front_correlation"].toDouble(), 0.91);
    EXPECT_FALSE(reread["targets_met"].toBool());
}

} // namespace
} // namespace vm
