#include "views/view3d/CSubdivisionSettingsDlg.h"

#include "document/CVisomorfDoc.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPointer>
#include <QVBoxLayout>

namespace vm {

CSubdivisionSettingsDlg::CSubdivisionSettingsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Subdivision settings"));
    auto* group = new QGroupBox(QStringLiteral("Stage 1"), this);
    m_nose = new QCheckBox(QStringLiteral("Sharpen nose"), group);
    m_lips = new QCheckBox(QStringLiteral("Sharpen lips"), group);
    m_eyebrow = new QCheckBox(QStringLiteral("Sharpen eyebrow"), group);
    auto* boxes = new QVBoxLayout(group);
    boxes->addWidget(m_nose);
    boxes->addWidget(m_lips);
    boxes->addWidget(m_eyebrow);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

void CSubdivisionSettingsDlg::SetOptions(const SubdivisionOptions& options) {
    m_nose->setChecked(options.sharpenNose);
    m_lips->setChecked(options.sharpenLips);
    m_eyebrow->setChecked(options.sharpenEyebrow);
}

SubdivisionOptions CSubdivisionSettingsDlg::Options() const {
    return {m_nose->isChecked(), m_lips->isChecked(), m_eyebrow->isChecked()};
}

void InstallSubdivisionDialog(CVisomorfDoc& doc, QWidget* parent) {
    QPointer<QWidget> owner(parent);
    doc.editSubdivisionOptions =
        [owner](const SubdivisionOptions& current) -> std::optional<SubdivisionOptions> {
        CSubdivisionSettingsDlg dialog(owner.data());
        dialog.SetOptions(current);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.Options();
    };
}

} // namespace vm
