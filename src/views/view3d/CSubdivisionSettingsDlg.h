#pragma once
// The three sharpening options of the first refinement stage.
#include "document/DocumentCommands.h"

#include <QDialog>

class QCheckBox;
class QWidget;

namespace vm {

class CVisomorfDoc;

class CSubdivisionSettingsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSubdivisionSettingsDlg(QWidget* parent = nullptr);

    void SetOptions(const SubdivisionOptions& options);
    SubdivisionOptions Options() const;

    QCheckBox* NoseBox() const { return m_nose; }
    QCheckBox* LipsBox() const { return m_lips; }
    QCheckBox* EyebrowBox() const { return m_eyebrow; }

private:
    QCheckBox* m_nose = nullptr;
    QCheckBox* m_lips = nullptr;
    QCheckBox* m_eyebrow = nullptr;
};

// Makes the document's subdivision settings command open the dialog over parent.
void InstallSubdivisionDialog(CVisomorfDoc& doc, QWidget* parent);

} // namespace vm
