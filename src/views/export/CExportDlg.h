#pragma once
// The save-file dialog of File > Export with the three export options below the file type:
// model detail, texture size and JPEG quality.
#include <QFileDialog>

class QComboBox;
class QSlider;

namespace vm {

class CExportDlg : public QFileDialog {
    Q_OBJECT
public:
    // initialName: the proposed path without extension (may be empty).
    CExportDlg(const QString& initialName, QWidget* parent = nullptr);

    // The choices as they stand (their defaults until the user changes them).
    int DetailIndex() const; // 0 Low, 1 Medium, 2 High
    int SizeIndex() const;   // 0: 64x64 .. 5: 2048x2048
    int Quality() const;     // 0..100
    // The confirmed file, ".obj" appended when the name had no extension.
    QString PathName() const;

    QComboBox* DetailList() const { return m_detail; }
    QComboBox* SizeList() const { return m_size; }
    QSlider* QualitySlider() const { return m_quality; }

private:
    void AddOptionRows();

    QComboBox* m_detail = nullptr;
    QComboBox* m_size = nullptr;
    QSlider* m_quality = nullptr;
};

} // namespace vm
