#pragma once
// Help > About: the program's icon, name, version and terms, closed with OK.
#include <QDialog>

namespace vm {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace vm
