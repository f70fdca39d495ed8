#pragma once
// The pane of the frontal photo.
#include "views/photo/CImageView.h"

namespace vm {

class CFrontView : public CImageView {
    Q_OBJECT
public:
    explicit CFrontView(CVisomorfDoc& doc, QWidget* parent = nullptr);
    int GetPhotoIndex() const override { return Front; }
};

} // namespace vm
