#include "views/photo/CFrontView.h"

namespace vm {

CFrontView::CFrontView(CVisomorfDoc& doc, QWidget* parent) : CImageView(doc, parent) {
    setWindowTitle(QStringLiteral("Front View"));
}

} // namespace vm
