#pragma once
// The automatic fit's tests share this: a new document from the embedded head, and photos loaded
// from a temporary file as the user would load them.
#include "document/CVisomorfDoc.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace vm::test {

inline const QString kFitData = QStringLiteral(VISOMORF_SOURCE_DIR "/tests/autofit/data/");

inline std::unique_ptr<CVisomorfDoc> NewFitDocument() {
    auto doc = std::make_unique<CVisomorfDoc>();
    doc->reportFailure = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
    EXPECT_TRUE(doc->OnNewDocument());
    return doc;
}

inline void LoadPhoto(CVisomorfDoc& doc, int photo, const QImage& image) {
    QTemporaryDir dir;
    const QString path = dir.filePath("photo.png");
    ASSERT_TRUE(image.save(path));
    doc.LoadPhoto(photo, path);
}

} // namespace vm::test
