#pragma once
// Whole files in and out, for tests that compare what a command wrote or left alone.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace vm::test {

// The file's bytes; empty when it cannot be read (a missing file reads as nothing written).
inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
}

} // namespace vm::test
