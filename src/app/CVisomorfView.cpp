#include "app/CVisomorfView.h"

namespace vm {

CVisomorfView::CVisomorfView(CVisomorfDoc& doc, const QString& title, QWidget* parent)
    : QWidget(parent), m_doc(doc) {
    setWindowTitle(title);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    m_doc.AddView(this);
}

CVisomorfView::~CVisomorfView() {
    m_doc.RemoveView(this);
}

void CVisomorfView::OnUpdate(CDocumentView*, int) {
    update();
}

} // namespace vm
