#include "views/export/ExportCommand.h"

#include "document/CVisomorfDoc.h"
#include "export/ExportModel.h"
#include "views/FailureReport.h"
#include "views/export/CExportDlg.h"

#include <QApplication>
#include <QFileInfo>
#include <QProgressDialog>
#include <exception>

namespace vm {

namespace {

// The document's path without its extension; empty for a document never saved.
QString InitialName(const CVisomorfDoc& doc) {
    const QString path = doc.GetPathName();
    if (path.isEmpty()) {
        return {};
    }
    const QFileInfo info(path);
    return info.path() + QLatin1Char('/') + info.completeBaseName();
}

// Shows that the export is under way for as long as it lasts; the export runs on this thread,
// so the dialog is painted once before it starts.
class ExportProgress {
public:
    explicit ExportProgress(QWidget* parent)
        : m_dialog(QStringLiteral("Exporting the model..."), QString(), 0, 0, parent) {
        m_dialog.setWindowTitle(QStringLiteral("Export"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setValue(0);
        m_dialog.show();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    ~ExportProgress() {
        QApplication::restoreOverrideCursor();
        m_dialog.close();
    }
    ExportProgress(const ExportProgress&) = delete;
    ExportProgress& operator=(const ExportProgress&) = delete;

private:
    QProgressDialog m_dialog;
};

} // namespace

ExportOptions ChosenExportOptions(const CExportDlg& dialog) {
    ExportOptions options;
    options.width = options.height = ExportTextureSize(dialog.SizeIndex());
    options.quality = static_cast<uint32_t>(dialog.Quality());
    options.dilate = true;
    return options;
}

void RunExportCommand(CVisomorfDoc& doc, QWidget* parent) {
    CExportDlg dialog(InitialName(doc), parent);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString path = dialog.PathName();
    if (path.isEmpty()) {
        return;
    }
    const ExportOptions options = ChosenExportOptions(dialog);
    const int detail = dialog.DetailIndex();
    try {
        ExportProgress progress(parent);
        ExportDocument(doc, path, detail, options);
    } catch (const std::exception& failure) {
        ReportFailure(failure, parent);
    }
    doc.RequestRedraw3D();
}

} // namespace vm
