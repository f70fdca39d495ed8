#include "app/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace vm {

namespace {

const char* const kProductText =
    "<b>Visomorf</b> version " VISOMORF_VERSION "<br>Released December 2026<br><br>"
    "Visomorf turns a photograph of a head from the front and one from the side into a "
    "textured 3D head model.<br><br>"
    "You may use this program and the models you make with it freely, for any purpose. It "
    "comes without warranty of any kind; you use it at your own risk.";

const char* const kMakerText = "Visomorf is a trademark of Vendal.<br>Vendal, Visomorf team<br>"
                               "Write to us through the project's issue tracker.";

QLabel* TextBlock(const char* html, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(html), parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Visomorf"));
    setObjectName(QStringLiteral("aboutDialog"));
    setFixedSize(370, 350); // 246 x 215 dialog units
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/data/visomorf.png")).pixmap(48, 48));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0);
    grid->addWidget(TextBlock(kProductText, this), 0, 1);
    grid->addWidget(TextBlock(kMakerText, this), 1, 1);
    grid->setRowStretch(2, 1);
    grid->addWidget(buttons, 3, 0, 1, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
}

} // namespace vm
