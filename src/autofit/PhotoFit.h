#pragma once
// What an automatic fit of one photo finds: where each of the photo's feature points belongs,
// or why the photo could not be fitted.
#include "document/DocumentTypes.h"
#include "platform/core/VMath.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <vector>

namespace vm {

struct PhotoFit {
    bool fitted = false;
    QString failure;             // why not, when not fitted ("no face found in the front photo")
    std::vector<Vec2> targets;   // photo pixels, one per feature point of the photo, in order
    Box box;                     // photo pixels: the bounding rectangle of the targets
    float confidence = 0;        // 0 .. 1
    QStringList notes;           // what the user should know about a fit that succeeded
    std::vector<Vec2> landmarks; // front photo: the face's 68 landmarks (photo pixels)

    static PhotoFit Failed(const QString& reason) {
        PhotoFit fit;
        fit.failure = reason;
        return fit;
    }
};

// Bounding rectangle of positions (photo pixels); at least one is required.
Box BoundingBox(const std::vector<Vec2>& positions);

} // namespace vm
