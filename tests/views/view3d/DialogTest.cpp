// The modification settings, subdivision settings and export dialogs, driven as a user would.
#include "document/CVisomorfDoc.h"
#include "views/FailureReport.h"
#include "views/export/CExportDlg.h"
#include "views/export/ExportCommand.h"
#include "views/view3d/C3DModificationSettingsDlg.h"
#include "views/view3d/C3DView.h"
#include "views/view3d/CSubdivisionSettingsDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace vm {
namespace {

// Runs act on the modal dialog of type T once it is open; the caller then starts the dialog.
template <class T> void WhenOpen(std::function<void(T&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

// Collects what the failure path would show instead of opening message boxes.
class FailureMessages {
public:
    FailureMessages() {
        m_previous = SetFailureSink([this](const QString& text) { texts.push_back(text); });
    }
    ~FailureMessages() { SetFailureSink(m_previous); }
    QStringList texts;

private:
    FailureSink m_previous;
};

void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

class DialogTest : public ::testing::Test {
protected:
    CVisomorfDoc doc;
};

TEST_F(DialogTest, ModificationSettingsShowTheViewsValuesAndApplyOnOk) {
    C3DView view(doc);
    WhenOpen<C3DModificationSettingsDlg>([](C3DModificationSettingsDlg& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "3D Modification Settings");
        EXPECT_EQ(dialog.FarEdit()->text(), "60");
        EXPECT_EQ(dialog.NearEdit()->text(), "30");
        EXPECT_EQ(dialog.ShiftEdit()->text(), "2");
        Type(dialog.FarEdit(), "80");
        Type(dialog.NearEdit(), "20");
        Type(dialog.ShiftEdit(), "5");
        dialog.accept();
    });
    doc.OnCommand(CommandId::Edit3DSettings);
    EXPECT_EQ(view.Editor().m_fFarDistance, 80);
    EXPECT_EQ(view.Editor().m_fNearDistance, 20);
    EXPECT_EQ(view.Editor().m_fShift, 5);
}

TEST_F(DialogTest, ModificationSettingsCancelKeepsTheValues) {
    C3DView view(doc);
    view.Editor().m_fShift = 0.1f;
    WhenOpen<C3DModificationSettingsDlg>([](C3DModificationSettingsDlg& dialog) {
        Type(dialog.FarEdit(), "5");
        dialog.reject();
    });
    doc.OnCommand(CommandId::Edit3DSettings);
    EXPECT_EQ(view.Editor().m_fFarDistance, 60);
    // OK without changes keeps a float that is not exact in decimal.
    WhenOpen<C3DModificationSettingsDlg>(
        [](C3DModificationSettingsDlg& dialog) { dialog.accept(); });
    doc.OnCommand(CommandId::Edit3DSettings);
    EXPECT_EQ(view.Editor().m_fShift, 0.1f);
}

TEST_F(DialogTest, ModificationSettingsRefuseTextThatIsNotANumber) {
    FailureMessages failures;
    C3DModificationSettingsDlg dialog;
    dialog.SetValues(60, 30, 2);
    dialog.show();
    Type(dialog.NearEdit(), "ten");
    Type(dialog.ShiftEdit(), "-3.5");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
    ASSERT_EQ(failures.texts.size(), 1);
    EXPECT_EQ(failures.texts[0], C3DModificationSettingsDlg::NotANumberMessage());
    EXPECT_EQ(dialog.focusWidget(), dialog.NearEdit());
    EXPECT_EQ(dialog.NearDistance(), 30); // nothing taken over yet

    // Negative numbers and r2 above r1 are accepted.
    Type(dialog.NearEdit(), "90");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.NearDistance(), 90);
    EXPECT_EQ(dialog.Shift(), -3.5);
}

TEST_F(DialogTest, ModificationSettingsRefuseNonFiniteAndAbsurdNumbers) {
    FailureMessages failures;
    C3DModificationSettingsDlg dialog;
    dialog.SetValues(60, 30, 2);
    dialog.show();
    // Qt's parser reads all of these as numbers; none is a distance.
    for (const char* text : {"nan", "inf", "-inf", "1e300", "-2000000"}) {
        Type(dialog.ShiftEdit(), QString::fromLatin1(text));
        dialog.accept();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << text;
        EXPECT_EQ(failures.texts.takeLast(), C3DModificationSettingsDlg::OutOfRangeMessage());
        EXPECT_EQ(dialog.focusWidget(), dialog.ShiftEdit());
        EXPECT_EQ(dialog.Shift(), 2); // nothing taken over
    }
    Type(dialog.ShiftEdit(), "-1000000"); // the limit itself is fine
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Shift(), -1e6);
}

TEST_F(DialogTest, SubdivisionDialogEditsTheDocumentsOptions) {
    ASSERT_TRUE(doc.OnNewDocument());
    QWidget owner;
    InstallSubdivisionDialog(doc, &owner);
    doc.SetModelDetail(Medium);
    WhenOpen<CSubdivisionSettingsDlg>([](CSubdivisionSettingsDlg& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Subdivision settings");
        EXPECT_FALSE(dialog.NoseBox()->isChecked());
        EXPECT_EQ(dialog.LipsBox()->text(), "Sharpen lips");
        dialog.LipsBox()->setChecked(true);
        dialog.accept();
    });
    doc.OnCommand(CommandId::SubdivisionSettings);
    EXPECT_EQ(doc.GetSubdivisionOptions(), (SubdivisionOptions{false, true, false}));

    WhenOpen<CSubdivisionSettingsDlg>([](CSubdivisionSettingsDlg& dialog) {
        EXPECT_TRUE(dialog.LipsBox()->isChecked());
        dialog.NoseBox()->setChecked(true);
        dialog.reject();
    });
    doc.OnCommand(CommandId::SubdivisionSettings);
    EXPECT_EQ(doc.GetSubdivisionOptions(), (SubdivisionOptions{false, true, false}));
}

TEST_F(DialogTest, ExportDialogDefaults) {
    CExportDlg dialog{QString()};
    EXPECT_EQ(dialog.DetailList()->count(), 3);
    EXPECT_EQ(dialog.DetailList()->currentText(), "Medium");
    EXPECT_EQ(dialog.SizeList()->count(), 6);
    EXPECT_EQ(dialog.SizeList()->itemText(5), "2048x2048");
    EXPECT_EQ(dialog.SizeList()->currentText(), "1024x1024");
    EXPECT_EQ(dialog.QualitySlider()->minimum(), 0);
    EXPECT_EQ(dialog.QualitySlider()->maximum(), 100);
    EXPECT_EQ(dialog.QualitySlider()->tickInterval(), 10);
    const ExportOptions options = ChosenExportOptions(dialog);
    EXPECT_EQ(options.width, 1024u);
    EXPECT_EQ(options.height, 1024u);
    EXPECT_EQ(options.quality, 80u);
    EXPECT_TRUE(options.dilate);
}

TEST_F(DialogTest, ExportDialogAppendsTheChosenTypesExtension) {
    QTemporaryDir dir;
    CExportDlg dialog{dir.filePath(QStringLiteral("head"))};
    EXPECT_EQ(QFileInfo(dialog.PathName()).fileName(), "head.obj");
    const QString glb = QStringLiteral("glTF Binary (*.glb)");
    ASSERT_TRUE(dialog.nameFilters().contains(glb))
        << dialog.nameFilters().join(u'|').toStdString();
    dialog.selectNameFilter(glb);
    emit dialog.filterSelected(glb); // what the file type box sends when the user picks it
    dialog.selectFile(dir.filePath(QStringLiteral("head")));
    EXPECT_EQ(QFileInfo(dialog.PathName()).fileName(), "head.glb");
}

TEST_F(DialogTest, ExportWithTheDefaultsWritesMediumAndRestoresTheDetail) {
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetModelDetail(High);
    doc.SetModifiedFlag(false);
    QTemporaryDir dir;
    const QString stem = dir.filePath("head"); // no extension: ".obj" is appended
    WhenOpen<CExportDlg>([stem](CExportDlg& dialog) {
        dialog.selectFile(stem);
        static_cast<QDialog&>(dialog).accept();
    });
    FailureMessages failures;
    RunExportCommand(doc, nullptr);
    EXPECT_TRUE(failures.texts.isEmpty()) << failures.texts.join('\n').toStdString();
    QFile obj(stem + ".obj");
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    EXPECT_EQ(obj.readAll().count("\r\nf "), 3664); // Medium's triangles
    EXPECT_EQ(QImageReader(stem + ".jpg").size(), QSize(1024, 1024));
    EXPECT_EQ(doc.modelDetail, High);
    EXPECT_EQ(doc.displayedMesh->VertexCount(), 7373u);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(DialogTest, ExportFailureIsShownAndTheDetailStillRestored) {
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetModelDetail(Low);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("face.jpg"); // a folder where the texture should go
    const QString path = dir.filePath("face.obj");
    WhenOpen<CExportDlg>([path](CExportDlg& dialog) {
        dialog.SizeList()->setCurrentIndex(0);
        dialog.selectFile(path);
        static_cast<QDialog&>(dialog).accept();
    });
    FailureMessages failures;
    RunExportCommand(doc, nullptr);
    ASSERT_EQ(failures.texts.size(), 1);
    EXPECT_TRUE(failures.texts[0].startsWith("Error saving texture:"))
        << failures.texts[0].toStdString();
    EXPECT_EQ(doc.modelDetail, Low);
    EXPECT_EQ(doc.displayedMesh.get(), doc.editableMesh.get());
}

} // namespace
} // namespace vm
