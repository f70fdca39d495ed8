#pragma once
// A view that draws nothing but its background: what a pane shows where the program has no
// view of its own to put.
#include "document/CVisomorfDoc.h"

#include <QWidget>

namespace vm {

class CVisomorfView : public QWidget, public CDocumentView {
    Q_OBJECT
public:
    CVisomorfView(CVisomorfDoc& doc, const QString& title, QWidget* parent = nullptr);
    ~CVisomorfView() override;

    void OnUpdate(CDocumentView* sender, int hint) override;

private:
    CVisomorfDoc& m_doc;
};

} // namespace vm
