#include "views/autofit/AutoFitCommand.h"

#include "support/DocumentFixture.h"
#include "views/FailureReport.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

// Collects what the user would be shown instead of showing a message box.
struct CapturedFailures {
    QStringList texts;
    FailureSink previous;
    CapturedFailures() {
        previous = SetFailureSink([this](const QString& text) { texts << text; });
    }
    ~CapturedFailures() { SetFailureSink(previous); }
};

void Load(CVisomorfDoc& doc, int photo, const QImage& image) {
    QTemporaryDir dir;
    const QString path = dir.filePath("photo.png");
    ASSERT_TRUE(image.save(path));
    doc.LoadPhoto(photo, path);
}

TEST(RunAutoFitCommand, AppliesWhatFitsReportsWhatDoesNotAndPutsTheCursorBack) {
    CVisomorfDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    test::RecordingView view;
    doc.AddView(&view);
    CapturedFailures failures;
    RunAutoFitCommand(doc, nullptr);
    ASSERT_EQ(failures.texts.size(), 1);
    EXPECT_TRUE(failures.texts[0].startsWith("Load a front or side photo"));
    EXPECT_FALSE(doc.CanUndo());

    Load(doc, Front,
         QImage(QStringLiteral(VISOMORF_SOURCE_DIR "/tests/autofit/data/astronaut.jpg")));
    QImage plain(600, 800, QImage::Format_RGB32);
    plain.fill(qRgb(60, 110, 150));
    Load(doc, Side, plain);
    doc.SetModifiedFlag(false);
    const int updates = view.updates;
    RunAutoFitCommand(doc, nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The front fitted and is one undo step; the side's reason reaches the user as a sentence.
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.CanUndo());
    EXPECT_GT(view.updates, updates);
    ASSERT_EQ(failures.texts.size(), 2);
    EXPECT_TRUE(failures.texts[1].startsWith("No head found") ||
                failures.texts[1].startsWith("The side photo"))
        << failures.texts[1].toStdString();

    // While a view drags, the command does nothing.
    view.dragging = true;
    const size_t history = doc.History().Size();
    RunAutoFitCommand(doc, nullptr);
    EXPECT_EQ(doc.History().Size(), history);
    EXPECT_EQ(failures.texts.size(), 2);
    view.dragging = false;
    doc.RemoveView(&view);
}

} // namespace
} // namespace vm
