// --auto-fit and --auto-fit-optional, run through the program as a script would.
#include "support/ProgramRun.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

using test::ProgramRun;

ProgramRun Visomorf(const QStringList& arguments, const QString& landmarkModel = {}) {
    test::RunOptions options;
    if (!landmarkModel.isEmpty()) {
        options.environment.insert(QStringLiteral("VISOMORF_LANDMARK_MODEL"), landmarkModel);
    }
    return test::Visomorf(arguments, options);
}

const QString kPortrait = QStringLiteral(VISOMORF_SOURCE_DIR "/tests/autofit/data/astronaut.jpg");

TEST(AutoFitCommandLine, FitsTheFrontPhotoBeforeSaving) {
    QTemporaryDir dir;
    const QString fitted = dir.filePath("fitted.vmf"), plain = dir.filePath("plain.vmf");
    const ProgramRun run = Visomorf({"--save", fitted, "--front", kPortrait, "--auto-fit"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(Visomorf({"--save", plain, "--front", kPortrait}).status, 0);
    // The fitted document differs from the unfitted one only by the fit.
    QFile a(fitted), b(plain);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_NE(a.readAll(), b.readAll());
    const ProgramRun info = Visomorf({"--info", fitted, "--auto-fit"});
    EXPECT_EQ(info.status, 0) << info.err.toStdString();
}

TEST(AutoFitCommandLine, APhotoWithoutAFaceFailsTheCommandUnlessTheFitIsOptional) {
    QTemporaryDir dir;
    QImage plain(640, 480, QImage::Format_RGB32);
    plain.fill(qRgb(90, 120, 150));
    const QString photo = dir.filePath("plain.png");
    ASSERT_TRUE(plain.save(photo));
    const QString out = dir.filePath("head.obj");
    const ProgramRun strict = Visomorf({"--export", out, "--front", photo, "--auto-fit"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_TRUE(strict.err.contains("cannot fit the front photo: no face found in the front photo"))
        << strict.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
    const ProgramRun optional =
        Visomorf({"--export", out, "--front", photo, "--auto-fit-optional"});
    EXPECT_EQ(optional.status, 0) << optional.err.toStdString();
    EXPECT_TRUE(optional.err.contains("no face found")) << optional.err.toStdString();
    EXPECT_TRUE(QFile::exists(out));
    // Nothing to fit at all.
    const ProgramRun nothing = Visomorf({"--save", dir.filePath("new.vmf"), "--auto-fit"});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_TRUE(nothing.err.contains("needs a photo")) << nothing.err.toStdString();
}

TEST(AutoFitCommandLine, AMissingLandmarkModelIsNamedAndWritesNothing) {
    QTemporaryDir dir;
    const QString model = dir.filePath("missing.dat"), out = dir.filePath("head.vmf");
    const ProgramRun run =
        Visomorf({"--save", out, "--front", kPortrait, "--auto-fit-optional"}, model);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(model + " is missing")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("libdlib-data")) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

} // namespace
} // namespace vm
