#pragma once
// Edits the three numbers of push/pull editing: the far distance r1, the near distance r2 and
// the shift. Any finite number of a sensible size is accepted; anything else keeps the dialog
// open with a message.
#include <QDialog>

class QLineEdit;

namespace vm {

class C3DModificationSettingsDlg : public QDialog {
    Q_OBJECT
public:
    explicit C3DModificationSettingsDlg(QWidget* parent = nullptr);

    // Model units.
    void SetValues(double farDistance, double nearDistance, double shift);
    double FarDistance() const { return m_dFarDistance; }
    double NearDistance() const { return m_dNearDistance; }
    double Shift() const { return m_dShift; }

    QLineEdit* FarEdit() const { return m_edits[0]; }
    QLineEdit* NearEdit() const { return m_edits[1]; }
    QLineEdit* ShiftEdit() const { return m_edits[2]; }

    // The message shown for text that is not a number.
    static QString NotANumberMessage();
    // The message shown for "nan", "inf" and numbers too large to be a distance.
    static QString OutOfRangeMessage();

public slots:
    // Reads the three fields; a field that is not a number is reported and focused, and the
    // dialog stays open.
    void accept() override;

private:
    double m_dFarDistance = 0;
    double m_dNearDistance = 0;
    double m_dShift = 0;
    QLineEdit* m_edits[3] = {};
};

} // namespace vm
