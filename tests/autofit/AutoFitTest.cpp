#include "FitDocument.h"
#include "SyntheticHead.h"
#include "autofit/DocumentFit.h"
#include "autofit/FaceLandmarks.h"
#include "autofit/FrontFit.h"
#include "autofit/SmoothWarp.h"
#include "autofit/detail/ProfileSilhouette.h"
#include "autofit/detail/SideFit.h"
#include "document/CVisomorfDoc.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <set>

namespace vm {
namespace {

const QString kData = test::kFitData;

struct Reference {
    QString name;
    int point;
    Vec2 position;       // photo pixels
    int otherPoint = -1; // when set, the reference is the middle of point and this one
};

// Where a fit puts a reference's point (or the middle of its two points).
Vec2 Fitted(const std::vector<Vec2>& targets, const Reference& r) {
    const Vec2 a = targets[static_cast<size_t>(r.point)];
    if (r.otherPoint < 0) {
        return a;
    }
    const Vec2 b = targets[static_cast<size_t>(r.otherPoint)];
    return {0.5f * (a.x + b.x), 0.5f * (a.y + b.y)};
}

std::vector<Reference> ReadReferences() {
    QFile file(kData + "astronaut_reference.txt");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    std::vector<Reference> references;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(' ', Qt::SkipEmptyParts);
        if (parts.size() == 4 && !parts[0].startsWith('#')) {
            const QStringList points = parts[1].split('+');
            references.push_back({parts[0],
                                  points[0].toInt(),
                                  {parts[2].toFloat(), parts[3].toFloat()},
                                  points.size() > 1 ? points[1].toInt() : -1});
        }
    }
    return references;
}

float Distance(const Vec2& a, const Vec2& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

bool Same(const std::vector<Vec2>& a, const std::vector<Vec2>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Vec2& p, const Vec2& q) { return p.x == q.x && p.y == q.y; });
}

std::unique_ptr<CVisomorfDoc> NewDocument() {
    return test::NewFitDocument();
}

void Load(CVisomorfDoc& doc, int photo, const QImage& image) {
    test::LoadPhoto(doc, photo, image);
}

const FaceLandmarker& Landmarker() {
    return FaceLandmarker::Instance();
}

TEST(FaceLandmarker, NamesAMissingOrUnreadableModelFile) {
    QTemporaryDir dir;
    try {
        FaceLandmarker missing(dir.filePath("none.dat"));
        ADD_FAILURE() << "a missing model loaded";
    } catch (const std::runtime_error& failure) {
        EXPECT_NE(std::string(failure.what()).find("is missing"), std::string::npos);
    }
    QFile broken(dir.filePath("broken.dat"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a model");
    broken.close();
    try {
        FaceLandmarker unreadable(broken.fileName());
        ADD_FAILURE() << "a broken model loaded";
    } catch (const std::runtime_error& failure) {
        EXPECT_NE(std::string(failure.what()).find("cannot be read"), std::string::npos);
    }
}

// ---- The warp --------------------------------------------------------------------------

TEST(SmoothWarp, CarriesAnchorsExactlyAndKeepsASimilarityFarAway) {
    // Anchors that a pure scale-turn-shift relates: the warp is that map everywhere.
    const std::vector<Vec2> sources = {{0, 0}, {100, 0}, {0, 100}, {60, 70}};
    auto similarity = [](const Vec2& p) {
        return Vec2{1.5f * p.x - 0.3f * p.y + 20, 0.3f * p.x + 1.5f * p.y - 7};
    };
    std::vector<Vec2> targets;
    for (const Vec2& s : sources) {
        targets.push_back(similarity(s));
    }
    const SmoothWarp exact(sources, targets, 30);
    for (const Vec2 p : {Vec2{-300, 50}, Vec2{45, 45}, Vec2{800, -200}}) {
        EXPECT_LT(Distance(exact.Map(p), similarity(p)), 1e-2f);
    }
    // One anchor off the similarity lands on its target; far away the map still only scales,
    // turns and shifts: a far triangle keeps its shape.
    targets[3].y += 12;
    const SmoothWarp bent(sources, targets, 30);
    for (size_t i = 0; i < sources.size(); ++i) {
        EXPECT_LT(Distance(bent.Map(sources[i]), targets[i]), 0.1f) << i;
    }
    const Vec2 a = bent.Map({600, 600}), b = bent.Map({900, 600}), c = bent.Map({600, 1000});
    EXPECT_NEAR(Distance(a, b) / Distance(a, c), 300.0f / 400.0f, 1e-3f);
    EXPECT_NEAR(Distance(b, c) / Distance(a, c), 500.0f / 400.0f, 1e-3f);
    EXPECT_THROW(SmoothWarp({{0, 0}, {1, 1}}, {{0, 0}, {1, 1}}, 5), std::invalid_argument);
}

// ---- Front photo -------------------------------------------------------------------------

struct FrontCase {
    const char* name;
    QImage photo;
    std::vector<Reference> references; // in this photo's pixels
};

// The portrait as it is, mirrored, in grey, and enlarged onto a 12-megapixel canvas.
std::vector<FrontCase> FrontCases() {
    const QImage portrait(kData + "astronaut.jpg");
    const std::vector<Reference> references = ReadReferences();
    std::vector<FrontCase> cases;
    cases.push_back({"portrait", portrait, references});
    std::vector<Reference> mirrored;
    const float right = static_cast<float>(portrait.width() - 1);
    for (const Reference& r : references) {
        static const std::map<int, int> swap = {{49, 50}, {50, 49},   {51, 52},
                                                {52, 51}, {124, 125}, {125, 124}};
        const auto it = swap.find(r.point);
        mirrored.push_back({r.name,
                            it == swap.end() ? r.point : it->second,
                            {right - r.position.x, r.position.y},
                            r.otherPoint});
    }
    cases.push_back({"mirrored", portrait.mirrored(true, false), mirrored});
    cases.push_back({"grey", portrait.convertToFormat(QImage::Format_Grayscale8), references});
    // 4000 x 3000 with the portrait enlarged five times at (700, 200).
    QImage large(4000, 3000, QImage::Format_RGB32);
    large.fill(qRgb(180, 180, 185));
    {
        QPainter painter(&large);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(700, 200, 2560, 2560), portrait);
    }
    std::vector<Reference> enlarged;
    for (const Reference& r : references) {
        enlarged.push_back(
            {r.name,
             r.point,
             {700 + (r.position.x + 0.5f) * 5 - 0.5f, 200 + (r.position.y + 0.5f) * 5 - 0.5f},
             r.otherPoint});
    }
    cases.push_back({"12 MP", large, enlarged});
    return cases;
}

TEST(FrontFit, PlacesEyesNoseMouthAndChinWithinFivePerCentOfTheEyeDistance) {
    const auto doc = NewDocument();
    double sum = 0, worst = 0;
    int count = 0;
    std::map<QString, double> byName; // summed error per reference place
    for (const FrontCase& c : FrontCases()) {
        // The document's points as they are right after loading this photo.
        Load(*doc, Front, c.photo);
        const PhotoFit fit = FitFrontPhoto(c.photo, doc->pointPositions[Front], Landmarker());
        ASSERT_TRUE(fit.fitted) << c.name << ": " << fit.failure.toStdString();
        EXPECT_TRUE(fit.notes.isEmpty()) << c.name;
        ASSERT_EQ(fit.targets.size(), doc->pointPositions[Front].size());
        const float eyes = Distance(c.references[0].position, c.references[3].position);
        double caseSum = 0, caseWorst = 0;
        for (const Reference& r : c.references) {
            const double error = 100.0 * Distance(Fitted(fit.targets, r), r.position) / eyes;
            caseSum += error;
            caseWorst = std::max(caseWorst, error);
            byName[r.name] += error;
        }
        std::printf("front %-9s mean %.2f %% worst %.2f %% of the eye distance\n", c.name,
                    caseSum / static_cast<double>(c.references.size()), caseWorst);
        sum += caseSum;
        count += static_cast<int>(c.references.size());
        worst = std::max(worst, caseWorst);
        // The box holds every point and the head stands upright over the face.
        EXPECT_EQ(fit.box, BoundingBox(fit.targets));
        EXPECT_LT(fit.targets[0].y, fit.targets[49].y) << c.name; // crown above the eyes
        EXPECT_GT(fit.confidence, 0.3f);
    }
    for (const auto& [name, total] : byName) {
        std::printf("front %-16s mean %.2f %%\n", qPrintable(name), total / 4);
    }
    std::printf("front all       mean %.2f %% worst %.2f %%\n", sum / count, worst);
    EXPECT_LT(sum / count, 5.0);
    EXPECT_LT(worst, 10.0);
}

TEST(FrontFit, SaysWhyAPhotoCannotBeFitted) {
    const auto doc = NewDocument();
    const std::vector<Vec2>& current = doc->pointPositions[Front];
    QImage plain(640, 480, QImage::Format_RGB32);
    plain.fill(qRgb(120, 140, 160));
    EXPECT_EQ(FitFrontPhoto(plain, current, Landmarker()).failure,
              "no face found in the front photo");
    const QImage tiny = QImage(kData + "astronaut.jpg").scaled(48, 48);
    EXPECT_TRUE(FitFrontPhoto(tiny, current, Landmarker()).failure.contains("too small"));
    EXPECT_FALSE(FitFrontPhoto(QImage(), current, Landmarker()).fitted);
    // Points of another feature set than the one the landmark table describes.
    const std::vector<Vec2> other(current.begin(), current.end() - 1);
    EXPECT_TRUE(FitFrontPhoto(QImage(kData + "astronaut.jpg"), other, Landmarker())
                    .failure.contains("not the generic head's"));
}

TEST(FrontFit, TakesTheLargestOfTwoFacesAndSaysSo) {
    const auto doc = NewDocument();
    const QImage portrait(kData + "astronaut.jpg");
    QImage pair(1100, 560, QImage::Format_RGB32);
    pair.fill(Qt::white);
    {
        QPainter painter(&pair);
        painter.drawImage(QRectF(0, 0, 512, 512), portrait);
        painter.drawImage(QRectF(560, 0, 540, 540), portrait); // the larger one, on the right
    }
    Load(*doc, Front, pair);
    const PhotoFit fit = FitFrontPhoto(pair, doc->pointPositions[Front], Landmarker());
    ASSERT_TRUE(fit.fitted) << fit.failure.toStdString();
    ASSERT_EQ(fit.notes.size(), 1);
    EXPECT_TRUE(fit.notes[0].startsWith("2 faces found in the front photo"))
        << fit.notes[0].toStdString();
    // The nose tip lands on the larger portrait's nose.
    const Vec2 nose = fit.targets[86];
    EXPECT_NEAR(nose.x, 560 + 223.5f * 540 / 512, 8.0f);
    EXPECT_NEAR(nose.y, 127.0f * 540 / 512, 8.0f);
}

// ---- Side photo --------------------------------------------------------------------------

// Outline points of the side photo (the whole-object feature): every point its segments name.
std::vector<int> OutlinePoints(const CVisomorfDoc& doc) {
    std::set<int> points;
    for (const auto& [a, b] : doc.features[Side][0].segments) {
        points.insert(a);
        points.insert(b);
    }
    return {points.begin(), points.end()};
}

struct ProfileCase {
    const char* name;
    int width, height;
    float scale, depth, centreX, centreY;
};

const ProfileCase kProfiles[] = {
    {"as drawn", 900, 1200, 1.3f, 1.0f, 430, 560},
    {"deep, low", 1000, 1000, 1.0f, 1.15f, 520, 560},
    {"shallow", 1200, 900, 0.95f, 0.9f, 650, 440},
};

TEST(SideFit, FollowsTheOutlineOfASyntheticProfileWithinThreePerCentOfTheBoxHeight) {
    double sum = 0, worst = 0;
    int count = 0;
    for (const ProfileCase& c : kProfiles) {
        const auto doc = NewDocument();
        const test::SyntheticProfile profile =
            test::RenderProfile(*doc, c.width, c.height, c.scale, c.depth, c.centreX, c.centreY);
        Load(*doc, Side, profile.picture);
        const PhotoFit fit =
            FitSidePhoto(profile.picture, doc->pointPositions[Side], false, Landmarker());
        ASSERT_TRUE(fit.fitted) << c.name << ": " << fit.failure.toStdString();
        const float height = BoundingBox(profile.truth).Height();
        double caseSum = 0, caseWorst = 0;
        const std::vector<int> outline = OutlinePoints(*doc);
        for (int p : outline) {
            const double error = 100.0 *
                                 Distance(fit.targets[static_cast<size_t>(p)],
                                          profile.truth[static_cast<size_t>(p)]) /
                                 height;
            caseSum += error;
            caseWorst = std::max(caseWorst, error);
        }
        std::printf("side %-10s mean %.2f %% worst %.2f %% of the box height (%zu outline "
                    "points)%s\n",
                    c.name, caseSum / static_cast<double>(outline.size()), caseWorst,
                    outline.size(), fit.notes.isEmpty() ? "" : " (outline alone)");
        sum += caseSum;
        count += static_cast<int>(outline.size());
        worst = std::max(worst, caseWorst);
    }
    std::printf("side all        mean %.2f %% worst %.2f %%\n", sum / count, worst);
    EXPECT_LT(sum / count, 3.0);
    EXPECT_LT(worst, 6.0);
}

// A profile drawn row by row from knots (row, foremost x), turned to look right, with the back
// of the head at x = 20 and a flat crown.
ProfileSilhouette SilhouetteThrough(const std::vector<std::pair<int, int>>& knots) {
    ProfileSilhouette s;
    s.width = 400;
    s.topRow = 0;
    s.front.assign(400, -1);
    s.back.assign(400, 20);
    s.top.assign(400, -1);
    for (size_t k = 0; k + 1 < knots.size(); ++k) {
        const auto [y0, x0] = knots[k];
        const auto [y1, x1] = knots[k + 1];
        for (int y = y0; y <= y1; ++y) {
            s.front[static_cast<size_t>(y)] = x0 + (x1 - x0) * (y - y0) / std::max(1, y1 - y0);
        }
    }
    for (int x = 100; x <= 200; ++x) {
        s.top[static_cast<size_t>(x)] = 0;
    }
    return s;
}

TEST(SideFit, FindsTheNasionWithoutADentAndTheChinAboveTheNeck) {
    // A forehead that runs straight onto the nose (no hollow at the nasion, only a bend at row
    // 150), a groove under the nose at 228, parted lips, the hollow above the chin at 258, the
    // chin at 270, and below it the neck far behind the face.
    const ProfileSilhouette s = SilhouetteThrough({{0, 200},
                                                   {100, 280},
                                                   {150, 285},
                                                   {210, 310},
                                                   {222, 290},
                                                   {228, 287},
                                                   {236, 293},
                                                   {241, 289},
                                                   {246, 292},
                                                   {258, 282},
                                                   {270, 288},
                                                   {285, 283},
                                                   {290, 230},
                                                   {399, 230}});
    const std::optional<ProfileLandmarks> l = FindProfileLandmarks(s);
    ASSERT_TRUE(l.has_value());
    EXPECT_NEAR(l->noseTip.y, 210, 2);
    EXPECT_NEAR(l->nasion.y, 150, 4);
    EXPECT_NEAR(l->subnasale.y, 228, 2);
    EXPECT_NEAR(l->upperLip.y, 236, 2);
    EXPECT_NEAR(l->labiomental.y, 258, 3);
    EXPECT_NEAR(l->chin.y, 270, 3);
    EXPECT_EQ(l->top, cv::Point(150, 0));
    // Without the bend the outline is no profile: forehead and nose on one straight line.
    std::vector<std::pair<int, int>> straight = {{0, 200}, {210, 310}, {222, 290}, {399, 230}};
    EXPECT_FALSE(FindProfileLandmarks(SilhouetteThrough(straight)).has_value());
}

TEST(SideFit, TellsAProfileLookingTheOtherWayAndRefusesWhatIsNoProfile) {
    const auto doc = NewDocument();
    const test::SyntheticProfile profile = test::RenderProfile(*doc, 900, 1200, 1.3f, 1, 430, 560);
    const std::vector<Vec2>& current = doc->pointPositions[Side];
    // Looking left: found, and named, whether the document expects the other way or not.
    const QImage left = profile.picture.mirrored(true, false);
    const PhotoFit wrongWay = FitSidePhoto(left, current, false, Landmarker());
    EXPECT_FALSE(wrongWay.fitted);
    EXPECT_TRUE(wrongWay.failure.contains("looks to the left")) << wrongWay.failure.toStdString();
    const PhotoFit rightWay = FitSidePhoto(profile.picture, current, true, Landmarker());
    EXPECT_TRUE(rightWay.failure.contains("looks to the right")) << rightWay.failure.toStdString();
    // A document whose side photo looks left (its points mirrored) fits the mirrored picture
    // as the mirror image of the fit of the picture as drawn.
    const float right = static_cast<float>(left.width() - 1);
    std::vector<Vec2> mirroredPoints;
    for (const Vec2& p : current) {
        mirroredPoints.push_back({right - p.x, p.y});
    }
    const PhotoFit asDrawn = FitSidePhoto(profile.picture, current, false, Landmarker());
    const PhotoFit mirrored = FitSidePhoto(left, mirroredPoints, true, Landmarker());
    ASSERT_TRUE(asDrawn.fitted && mirrored.fitted) << mirrored.failure.toStdString();
    for (size_t i = 0; i < current.size(); ++i) {
        EXPECT_LT(
            Distance(mirrored.targets[i], {right - asDrawn.targets[i].x, asDrawn.targets[i].y}),
            4.0f)
            << i;
    }
    // A front photo given as the side photo.
    const PhotoFit front =
        FitSidePhoto(QImage(kData + "astronaut.jpg"), current, false, Landmarker());
    EXPECT_EQ(front.failure, "the side photo shows a face from the front, not a profile");
    // A plain picture has no head at all; a round blob has no nose.
    QImage plain(600, 800, QImage::Format_RGB32);
    plain.fill(qRgb(60, 110, 150));
    EXPECT_FALSE(FitSidePhoto(plain, current, false, Landmarker()).fitted);
    QImage blob = plain;
    {
        QPainter painter(&blob);
        painter.setBrush(QColor(230, 190, 160));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRectF(150, 150, 300, 420));
    }
    EXPECT_EQ(FitSidePhoto(blob, current, false, Landmarker()).failure,
              "the side photo does not look like a profile");
}

// A head cut from a photo looking left is turned to look right; the skin just inside its edges
// turns with it, so the face's edge is skin and the back of the head hair either way round.
TEST(SideFit, TurnsTheSkinAlongTheOutlineWithTheHead) {
    cv::Mat head = cv::Mat::zeros(200, 200, CV_8UC1);
    cv::ellipse(head, cv::Point(100, 100), cv::Size(60, 80), 0, 0, 360, cv::Scalar(255), -1);
    const cv::Point nose[] = {{155, 90}, {178, 112}, {155, 118}};
    cv::fillConvexPoly(head, nose, 3, cv::Scalar(255));
    cv::Mat skin = head.clone();
    skin.colRange(0, 110).setTo(0); // hair behind the face
    cv::Mat headLeft, skinLeft;
    cv::flip(head, headLeft, 1);
    cv::flip(skin, skinLeft, 1);
    const std::optional<ProfileSilhouette> right =
        TurnedOutline(head, skin, cv::boundingRect(skin), true);
    const std::optional<ProfileSilhouette> left =
        TurnedOutline(headLeft, skinLeft, cv::boundingRect(skinLeft), false);
    ASSERT_TRUE(right && left);
    EXPECT_TRUE(right->facesRight);
    EXPECT_FALSE(left->facesRight);
    for (const ProfileSilhouette* s : {&*right, &*left}) {
        EXPECT_EQ(s->front, right->front);
        EXPECT_EQ(s->back, right->back);
        EXPECT_TRUE(s->skinAtFront[110]); // beside the nose
        EXPECT_FALSE(s->skinAtBack[110]);
        EXPECT_EQ(s->skinAtFront, right->skinAtFront);
        EXPECT_EQ(s->skinAtBack, right->skinAtBack);
    }
}

// ---- Applying a fit to the document ------------------------------------------------------

TEST(AutoFitDocument, AppliesBothPhotosAsOneUndoStepWithTheTextureGluedOn) {
    const auto doc = NewDocument();
    Load(*doc, Front, QImage(kData + "astronaut.jpg"));
    const test::SyntheticProfile profile = test::RenderProfile(*doc, 900, 1200, 1.3f, 1, 430, 560);
    Load(*doc, Side, profile.picture);
    doc->SetModifiedFlag(false);
    UndoSnapshot before;
    doc->CaptureState(before);
    const DocumentFitReport report = AutoFitDocument(*doc, false);
    ASSERT_TRUE(report.photos[Front].fitted && report.photos[Side].fitted);
    EXPECT_TRUE(report.applied);
    EXPECT_TRUE(doc->IsModified());
    for (int p = 0; p < kPhotoCount; ++p) {
        const QSize size = doc->GetPhotoSize(p);
        for (size_t i = 0; i < doc->points[p].size(); ++i) {
            const Vec2 at = doc->pointPositions[p][i];
            EXPECT_LT(Distance(at, report.photos[p].targets[i]), 0.05f) << p << " " << i;
            // The bound vertex's own texture coordinates still show the point's photo pixel.
            const HeadVertex& v = doc->editableMesh->vertices[doc->points[p][i].vertexIndex];
            const Vec2 uv = p == Front ? v.frontUV : v.sideUV;
            EXPECT_NEAR(uv.x * size.width(), at.x, 0.1f) << p << " " << i;
            EXPECT_NEAR(uv.y * size.height(), at.y, 0.1f) << p << " " << i;
        }
    }
    // One Undo brings back everything from before the fit.
    ASSERT_TRUE(doc->CanUndo());
    doc->Undo();
    UndoSnapshot undone;
    doc->CaptureState(undone);
    EXPECT_TRUE(Same(undone.pointPositions[Front], before.pointPositions[Front]));
    EXPECT_TRUE(Same(undone.pointPositions[Side], before.pointPositions[Side]));
    EXPECT_EQ(undone.vertices, before.vertices);
    EXPECT_FALSE(doc->CanUndo());
}

TEST(AutoFitDocument, LeavesTheDocumentAloneWhenAPhotoFailsUnlessPartialFitsAreWanted) {
    const auto doc = NewDocument();
    Load(*doc, Front, QImage(kData + "astronaut.jpg"));
    QImage plain(600, 800, QImage::Format_RGB32);
    plain.fill(qRgb(60, 110, 150));
    Load(*doc, Side, plain);
    doc->SetModifiedFlag(false);
    const std::vector<Vec2> front = doc->pointPositions[Front];
    const DocumentFitReport strict = AutoFitDocument(*doc, false);
    EXPECT_FALSE(strict.applied);
    EXPECT_FALSE(strict.photos[Side].failure.isEmpty());
    EXPECT_TRUE(Same(doc->pointPositions[Front], front));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(doc->CanUndo());
    const DocumentFitReport partial = AutoFitDocument(*doc, true);
    EXPECT_TRUE(partial.applied);
    EXPECT_FALSE(Same(doc->pointPositions[Front], front));
    EXPECT_TRUE(doc->IsModified());
}

} // namespace
} // namespace vm
