#pragma once
// Compares a drawn picture with the expected one kept beside the tests. On a mismatch (or when
// the expected picture is missing) the actual picture is written next to it as
// NAME.actual.png and its path is printed, so the difference can be looked at.
#include <QImage>
#include <QString>
#include <gtest/gtest.h>

namespace vm::test {

inline ::testing::AssertionResult SamePicture(const QImage& actual, const QString& name) {
    const QString expectedPath =
        QStringLiteral(VISOMORF_SOURCE_DIR "/tests/views/photo/pictures/") + name + ".png";
    const QImage expected(expectedPath);
    const QImage drawn = actual.convertToFormat(QImage::Format_RGB32);
    if (!expected.isNull() && expected.convertToFormat(QImage::Format_RGB32) == drawn) {
        return ::testing::AssertionSuccess();
    }
    QString actualPath = expectedPath;
    actualPath.replace(QStringLiteral(".png"), QStringLiteral(".actual.png"));
    drawn.save(actualPath);
    return ::testing::AssertionFailure()
           << (expected.isNull() ? "no expected picture " : "picture differs from ")
           << expectedPath.toStdString() << "; actual written to " << actualPath.toStdString();
}

} // namespace vm::test
