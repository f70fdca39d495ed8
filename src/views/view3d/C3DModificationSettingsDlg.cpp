#include "views/view3d/C3DModificationSettingsDlg.h"

#include "views/FailureReport.h"
#include "views/view3d/PushPullEditor.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>

namespace vm {

namespace {

// Enough digits that a float widened to double shows exactly what it holds.
QString FormatNumber(double value) {
    return QString::number(value, 'g', 15);
}

bool ParseNumber(const QString& text, double& value) {
    bool ok = false;
    const double parsed = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok) {
        const double local = QLocale().toDouble(text.trimmed(), &ok);
        if (!ok) {
            return false;
        }
        value = local;
        return true;
    }
    value = parsed;
    return true;
}

} // namespace

C3DModificationSettingsDlg::C3DModificationSettingsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("3D Modification Settings"));
    auto* form = new QFormLayout;
    const char* labels[3] = {"Far distance (r1)", "Near distance (r2)", "Shift"};
    for (int i = 0; i < 3; ++i) {
        m_edits[i] = new QLineEdit(this);
        form->addRow(QString::fromLatin1(labels[i]), m_edits[i]);
    }
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Weight = (r1 - r) / (r1 - r2)"), this), 0,
                      Qt::AlignRight);
    layout->addWidget(buttons);
    SetValues(0, 0, 0);
}

QString C3DModificationSettingsDlg::NotANumberMessage() {
    return QStringLiteral("Please enter a number.");
}

QString C3DModificationSettingsDlg::OutOfRangeMessage() {
    const QString limit = QString::number(PushPullEditor::kMaxSetting, 'f', 0);
    return QStringLiteral("Please enter a number between -%1 and %1.").arg(limit);
}

void C3DModificationSettingsDlg::SetValues(double farDistance, double nearDistance, double shift) {
    m_dFarDistance = farDistance;
    m_dNearDistance = nearDistance;
    m_dShift = shift;
    m_edits[0]->setText(FormatNumber(farDistance));
    m_edits[1]->setText(FormatNumber(nearDistance));
    m_edits[2]->setText(FormatNumber(shift));
}

void C3DModificationSettingsDlg::accept() {
    double values[3] = {};
    for (int i = 0; i < 3; ++i) {
        const bool number = ParseNumber(m_edits[i]->text(), values[i]);
        // Qt's parser reads "nan" and "inf" as numbers, and "1e300" would become infinity
        // as a float: neither is a distance.
        if (!number || !PushPullEditor::IsUsableSetting(values[i])) {
            ReportFailure(number ? OutOfRangeMessage() : NotANumberMessage(), this);
            m_edits[i]->setFocus();
            m_edits[i]->selectAll();
            return;
        }
    }
    m_dFarDistance = values[0];
    m_dNearDistance = values[1];
    m_dShift = values[2];
    QDialog::accept();
}

} // namespace vm
