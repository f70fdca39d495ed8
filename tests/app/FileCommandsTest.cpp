// The File commands: nothing modified is discarded without asking, a drag blocks replacing the
// document, a failed open keeps the open document, saving names the document, and the recent
// files keep the last four.
#include "app/FileCommands.h"

#include "AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/RecentFileList.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace vm {
namespace {

using Answer = FileCommands::SaveAnswer;

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        doc.reportFailure = [this](const QString& text) { settings.failures << text; };
        files.askSaveChanges = [this](const QString& title) {
            asked << title;
            return answer;
        };
        files.chooseSavePath = [this](const QString&) { return savePath; };
        files.chooseOpenPath = [this] { return openPath; };
    }

    // A change the user would lose: the front box moved, as a committed drag leaves it.
    void Edit() {
        doc.SaveSnapshot();
        const Box b = doc.box[0];
        doc.SetBox(0, b.left + 7, b.top, b.right + 7, b.bottom);
        doc.CommitChange();
        doc.SetModifiedFlag(true);
    }

    QString Garbage(const char* name) {
        const QString path = settings.Path(QLatin1String(name));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("not a document at all");
        return path;
    }

    test::ScratchSettings settings;
    CVisomorfDoc doc;
    RecentFileList recent;
    FileCommands files{doc, recent};
    Answer answer = Answer::Cancel;
    QStringList asked;
    QString savePath, openPath;
};

TEST_F(FileCommandsTest, NewAsksForAModifiedDocumentAndHonoursEachAnswer) {
    EXPECT_TRUE(files.New()); // unmodified: no question
    EXPECT_TRUE(asked.isEmpty());
    Edit();
    const float edited = doc.box[0].left;
    answer = Answer::Cancel;
    EXPECT_FALSE(files.New());
    EXPECT_EQ(asked, QStringList{"Untitled"});
    EXPECT_EQ(doc.box[0].left, edited);
    EXPECT_TRUE(doc.IsModified());

    // Yes, but the save is cancelled in its file dialog: still nothing is lost.
    answer = Answer::Yes;
    EXPECT_FALSE(files.New());
    EXPECT_EQ(doc.box[0].left, edited);

    // Yes with a file: saved first, then the new document.
    savePath = settings.Path(QStringLiteral("kept"));
    EXPECT_TRUE(files.New());
    EXPECT_TRUE(QFile::exists(savePath + ".vmf"));
    EXPECT_NE(doc.box[0].left, edited);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.GetPathName().isEmpty());
    EXPECT_FALSE(doc.CanUndo());

    Edit();
    answer = Answer::No;
    EXPECT_TRUE(files.New());
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(FileCommandsTest, FailedOpenLeavesTheDocumentAsItWas) {
    savePath = settings.Path(QStringLiteral("mine.vmf"));
    ASSERT_TRUE(files.SaveAs());
    Edit();
    const float edited = doc.box[0].left;
    answer = Answer::No;
    for (const QString& bad : {Garbage("bad.vmf"), settings.Path(QStringLiteral("none.vmf"))}) {
        settings.failures.clear();
        EXPECT_FALSE(files.OpenPath(bad));
        ASSERT_EQ(settings.failures.size(), 1) << bad.toStdString();
        EXPECT_TRUE(settings.failures[0].endsWith(bad)) << settings.failures[0].toStdString();
        EXPECT_EQ(doc.box[0].left, edited);
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.GetPathName(), savePath);
        EXPECT_TRUE(doc.CanUndo());
    }
    EXPECT_EQ(recent.Entries(), QStringList{savePath});
}

TEST_F(FileCommandsTest, SaveAsNamesTheDocumentAndOpenBringsItBack) {
    Edit();
    const Box edited = doc.box[0];
    savePath = settings.Path(QStringLiteral("head"));
    EXPECT_TRUE(files.Save()); // untitled: Save asks for a name
    EXPECT_EQ(doc.GetPathName(), savePath + ".vmf");
    EXPECT_EQ(files.Title(), "head.vmf");
    EXPECT_FALSE(doc.IsModified());

    EXPECT_TRUE(files.New());
    EXPECT_NE(doc.box[0].left, edited.left);
    openPath = savePath + ".vmf";
    EXPECT_TRUE(files.Open());
    EXPECT_EQ(doc.box[0].left, edited.left);
    EXPECT_EQ(doc.box[0].right, edited.right);
    EXPECT_EQ(doc.GetPathName(), openPath);
    EXPECT_TRUE(asked.isEmpty());

    // Save with a name writes there without asking for one.
    Edit();
    savePath.clear();
    EXPECT_TRUE(files.Save());
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(FileCommandsTest, NothingReplacesTheDocumentWhileAViewDrags) {
    test::TestView view(doc, QStringLiteral("Front View"), 0, false, nullptr);
    view.dragging = true;
    Edit();
    answer = Answer::No;
    savePath = settings.Path(QStringLiteral("a.vmf"));
    openPath = savePath;
    EXPECT_FALSE(files.CanReplaceDocument());
    EXPECT_FALSE(files.New());
    EXPECT_FALSE(files.Open());
    EXPECT_FALSE(files.OpenPath(savePath));
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(doc.IsModified());
    view.dragging = false;
    EXPECT_TRUE(files.New());
}

TEST_F(FileCommandsTest, RecentFilesKeepTheLastFourNewestFirstAndSurvive) {
    QStringList saved;
    for (int i = 0; i < 5; ++i) {
        savePath = settings.Path(QStringLiteral("doc%1.vmf").arg(i));
        ASSERT_TRUE(files.SaveAs());
        saved.prepend(savePath);
    }
    EXPECT_EQ(recent.Entries(), saved.mid(0, 4));
    openPath = saved[2];
    ASSERT_TRUE(files.Open());
    const QStringList reordered = {saved[2], saved[0], saved[1], saved[3]};
    EXPECT_EQ(recent.Entries(), reordered);
    EXPECT_EQ(RecentFileList().Entries(), reordered); // kept in the user's settings

    // An entry that no longer opens leaves the list; a cancelled question keeps it.
    QFile::remove(saved[1]);
    Edit();
    answer = Answer::Cancel;
    EXPECT_FALSE(files.OpenRecent(2));
    EXPECT_EQ(recent.Entries().size(), 4);
    answer = Answer::No;
    EXPECT_FALSE(files.OpenRecent(2));
    EXPECT_EQ(recent.Entries(), (QStringList{saved[2], saved[0], saved[3]}));
    EXPECT_TRUE(files.OpenRecent(1));
    EXPECT_EQ(doc.GetPathName(), saved[0]);
    EXPECT_FALSE(files.OpenRecent(7));
}

class MainFrameFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        frame = std::make_unique<CMainFrame>(doc, test::TestViews());
        frame->Files().askSaveChanges = [this](const QString&) {
            ++questions;
            return answer;
        };
        frame->show();
        QApplication::processEvents();
    }

    test::ScratchSettings settings;
    CVisomorfDoc doc;
    std::unique_ptr<CMainFrame> frame;
    Answer answer = Answer::Cancel;
    int questions = 0;
};

TEST_F(MainFrameFiles, ClosingOrExitingAsksAndCancelKeepsTheWindow) {
    EXPECT_EQ(frame->windowTitle(), "Untitled[*] - Visomorf");
    doc.SetModifiedFlag(true);
    frame->UpdateCommandUI();
    EXPECT_TRUE(frame->isWindowModified());
    frame->OnCommand(57665); // Exit
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(frame->isVisible());
    frame->close();
    EXPECT_EQ(questions, 2);
    EXPECT_TRUE(frame->isVisible());
    // Not while a view drags: the drag holds the model as it is.
    answer = Answer::No;
    auto* view = dynamic_cast<test::TestView*>(frame->View3D());
    view->dragging = true;
    frame->close();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(questions, 2);
    view->dragging = false;
    frame->close();
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(MainFrameFiles, DroppedFileOpensAsByOpenAndTheRecentMenuListsIt) {
    const QString path = settings.Path(QStringLiteral("dropped.vmf"));
    frame->Files().chooseSavePath = [&path](const QString&) { return path; };
    frame->OnCommand(57604); // Save As
    ASSERT_TRUE(QFile::exists(path)) << settings.failures.join(' ').toStdString();
    frame->OnCommand(57600); // New
    ASSERT_TRUE(doc.GetPathName().isEmpty());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &drop);
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(frame->windowTitle(), "dropped.vmf[*] - Visomorf");
    QAction* first = frame->Action(57616);
    EXPECT_EQ(first->text(), "&1 dropped.vmf");
    EXPECT_TRUE(first->isEnabled());
    EXPECT_FALSE(frame->Action(57617)->isVisible());
    EXPECT_EQ(questions, 0);
}

// The real Save As dialog: ".vmf" is added before the dialog looks for an existing file, so its
// question names the file that would be replaced.
TEST(SaveAsDialog, AsksBeforeReplacingTheFileWithTheAddedExtension) {
    QTemporaryDir dir;
    QFile(dir.filePath("head.vmf")).open(QIODevice::WriteOnly);
    // Types a name into a new Save As dialog and presses Save; answers its question, if any.
    // Gives the question and the chosen file (empty when the dialog stayed open).
    auto save = [&dir](const char* typed, QMessageBox::StandardButton answer) {
        QFileDialog dialog;
        CMainFrame::PrepareSaveAsDialog(dialog, dir.filePath("Untitled.vmf"));
        EXPECT_EQ(dialog.defaultSuffix(), "vmf");
        dialog.show();
        dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
        QString question;
        QTimer::singleShot(0, [&question, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                question = box->text();
                box->button(answer)->click();
            }
        });
        static_cast<QDialog&>(dialog).accept(); // what the Save button does
        const bool chosen = dialog.result() == QDialog::Accepted;
        return std::make_pair(question, chosen ? dialog.selectedFiles().value(0) : QString());
    };
    auto [question, file] = save("head", QMessageBox::No);
    EXPECT_TRUE(question.contains("head.vmf")) << question.toStdString();
    EXPECT_TRUE(file.isEmpty()); // No: the dialog stays for another name
    std::tie(question, file) = save("head", QMessageBox::Yes);
    EXPECT_EQ(file, dir.filePath("head.vmf"));
    std::tie(question, file) = save("fresh", QMessageBox::No);
    EXPECT_TRUE(question.isEmpty()); // a new name: no question
    EXPECT_EQ(file, dir.filePath("fresh.vmf"));
}

} // namespace
} // namespace vm
