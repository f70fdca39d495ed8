#include "views/export/CExportDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QToolTip>

namespace vm {

CExportDlg::CExportDlg(const QString& initialName, QWidget* parent) : QFileDialog(parent) {
    // Qt's own dialog, so that the options can sit inside it.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setDefaultSuffix(QStringLiteral("obj"));
    setNameFilters({QStringLiteral("Alias Wavefront OBJ Files (*.obj)"),
                    QStringLiteral("glTF Binary (*.glb)"), QStringLiteral("Any file (*)")});
    // The export's format follows the name's extension; a name typed without one takes the
    // chosen type's.
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& filter) {
        setDefaultSuffix(filter.contains(QStringLiteral("*.glb")) ? QStringLiteral("glb")
                                                                  : QStringLiteral("obj"));
    });
    setWindowTitle(QStringLiteral("Export"));
    if (!initialName.isEmpty()) {
        selectFile(initialName);
    }
    AddOptionRows();
}

void CExportDlg::AddOptionRows() {
    m_detail = new QComboBox(this);
    m_detail->addItems({QStringLiteral("Low"), QStringLiteral("Medium"), QStringLiteral("High")});
    m_detail->setCurrentIndex(1);
    m_size = new QComboBox(this);
    m_size->addItems({QStringLiteral("64x64"), QStringLiteral("128x128"), QStringLiteral("256x256"),
                      QStringLiteral("512x512"), QStringLiteral("1024x1024"),
                      QStringLiteral("2048x2048")});
    m_size->setCurrentIndex(4);
    m_quality = new QSlider(Qt::Horizontal, this);
    m_quality->setRange(0, 100);
    m_quality->setValue(80);
    m_quality->setTickInterval(10);
    m_quality->setTickPosition(QSlider::TicksBelow);
    m_quality->setToolTip(QString::number(m_quality->value()));
    connect(m_quality, &QSlider::sliderMoved, this, [this](int value) {
        m_quality->setToolTip(QString::number(value));
        QToolTip::showText(QCursor::pos(), QString::number(value), m_quality);
    });
    connect(m_quality, &QSlider::valueChanged, this,
            [this](int value) { m_quality->setToolTip(QString::number(value)); });

    // Qt's dialog keeps its file name and file type rows in a grid: the options go below them,
    // lined up with the same columns.
    auto* grid = qobject_cast<QGridLayout*>(layout());
    const std::pair<const char*, QWidget*> rows[] = {
        {"Model detail:", m_detail}, {"Texture size:", m_size}, {"Texture quality:", m_quality}};
    for (const auto& [text, control] : rows) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setBuddy(control);
        if (grid) {
            const int row = grid->rowCount();
            grid->addWidget(label, row, 0);
            grid->addWidget(control, row, 1);
        }
    }
}

int CExportDlg::DetailIndex() const {
    return m_detail->currentIndex();
}
int CExportDlg::SizeIndex() const {
    return m_size->currentIndex();
}
int CExportDlg::Quality() const {
    return m_quality->value();
}

QString CExportDlg::PathName() const {
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

} // namespace vm
