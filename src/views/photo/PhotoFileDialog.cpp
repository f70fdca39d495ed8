#include "views/photo/PhotoFileDialog.h"

#include "document/CVisomorfDoc.h"
#include "texture/PhotoTexture.h"

#include <QFileDialog>
#include <QPointer>

namespace vm {

QString ChoosePhotoFile(const CVisomorfDoc& /*doc*/, int photo, QWidget* parent) {
    QFileDialog dialog(parent,
                       photo == Front ? QStringLiteral("Load Front") : QStringLiteral("Load Side"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(PhotoNameFilters());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void InstallPhotoFileDialog(CVisomorfDoc& doc, QWidget* parent) {
    const QPointer<QWidget> owner(parent);
    doc.choosePhotoFile = [&doc, owner](int photo) {
        return ChoosePhotoFile(doc, photo, owner.data());
    };
}

} // namespace vm
