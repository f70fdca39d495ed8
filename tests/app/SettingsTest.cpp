#include "app/Settings.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vm {
namespace {

Settings FromText(const QByteArray& text) {
    QByteArray data = text;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return Settings(buffer);
}

void WriteFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST(Settings, DetailValuesAndTheirRange) {
    EXPECT_EQ(FromText("Initial model detail=3\n").initialModelDetail(), 3);
    EXPECT_EQ(FromText("Initial model detail=7\n").initialModelDetail(), 1);
    EXPECT_EQ(FromText("Initial model detail=0\n").initialModelDetail(), 1);
    EXPECT_EQ(FromText("Initial model detail = -2\n").initialModelDetail(), 1);
    EXPECT_EQ(FromText("Initial model detail\n").initialModelDetail(), 1);
    EXPECT_EQ(FromText("Initial model detail =\t +2abc\r\n").initialModelDetail(), 2);
    EXPECT_EQ(FromText("Initial model detail = 99999999999999999999\n").initialModelDetail(), 1);
    // Without "=" the text right after the key is read; with one, only what follows it.
    EXPECT_EQ(FromText("Initial model detail 2").initialModelDetail(), 2);
    EXPECT_EQ(FromText("Initial model detail 2 = 3").initialModelDetail(), 3);
    EXPECT_EQ(FromText("Initial model detail 2 = x").initialModelDetail(), 1);
}

TEST(Settings, ButtonFlagAndExactKeys) {
    EXPECT_FALSE(FromText("").rightButtonMoving());
    EXPECT_TRUE(FromText("Right button moving = 2\n").rightButtonMoving());
    EXPECT_TRUE(FromText("Right button moving=-1").rightButtonMoving());
    EXPECT_TRUE(FromText("Right button moving = 4294967296\n").rightButtonMoving());
    EXPECT_FALSE(FromText("Right button moving = 0\n").rightButtonMoving());
    EXPECT_FALSE(FromText("Right button moving = on\n").rightButtonMoving());
    EXPECT_FALSE(FromText("right button moving = 1\n").rightButtonMoving());
    EXPECT_FALSE(FromText(" Right button moving = 1\n").rightButtonMoving());
    // The key must begin the line: the second key on a line is only text.
    const Settings both = FromText("Right button moving = 1 Initial model detail = 3\n");
    EXPECT_TRUE(both.rightButtonMoving());
    EXPECT_EQ(both.initialModelDetail(), 1);
}

TEST(Settings, LastOccurrenceWins) {
    const Settings settings = FromText("Initial model detail = 3\r\nRight button moving = 1\r\n"
                                       "Initial model detail = 2\r\nRight button moving = 0\r\n");
    EXPECT_EQ(settings.initialModelDetail(), 2);
    EXPECT_FALSE(settings.rightButtonMoving());
    // An out-of-range last value falls back to the default, not to the earlier value.
    EXPECT_EQ(FromText("Initial model detail=3\nInitial model detail=9\n").initialModelDetail(), 1);
}

TEST(Settings, LongLinesAreReadIn511CharacterPieces) {
    // A key right after 511 characters starts a piece of its own and counts.
    EXPECT_EQ(FromText(QByteArray(511, 'x') + "Initial model detail=3\n").initialModelDetail(), 3);
    EXPECT_EQ(FromText(QByteArray(510, 'x') + "Initial model detail=3\n").initialModelDetail(), 1);
    // CR LF counts as one character, as in text-mode reading.
    EXPECT_EQ(FromText(QByteArray(509, 'x') + "\r\nInitial model detail=2\n").initialModelDetail(),
              2);
    // The value of a key near the end of a piece is cut where the piece ends.
    const QByteArray key = "Initial model detail = ";
    const QByteArray cut = key + QByteArray(511 - key.size() - 1, ' ') + "23\n";
    EXPECT_EQ(FromText(cut).initialModelDetail(), 2);
    // Text after a NUL byte is not part of the line.
    EXPECT_EQ(FromText(QByteArray("Initial model detail\0=3\n", 24)).initialModelDetail(), 1);
}

TEST(Settings, FileInTheCurrentDirectoryAndMissingFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteFile(dir.filePath("visomorf.ini"), "Right button moving =1\nInitial model detail =2\n");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const Settings settings;
    QDir::setCurrent(previous);
    EXPECT_EQ(QFileInfo(settings.path()).canonicalFilePath(),
              QFileInfo(dir.filePath("visomorf.ini")).canonicalFilePath());
    EXPECT_TRUE(settings.rightButtonMoving());
    EXPECT_EQ(settings.initialModelDetail(), 2);

    const Settings missing(dir.filePath("absent.ini"));
    EXPECT_FALSE(missing.rightButtonMoving());
    EXPECT_EQ(missing.initialModelDetail(), 1);
    const Settings directory(dir.path());
    EXPECT_EQ(directory.initialModelDetail(), 1);
}

TEST(Settings, RemovedCurrentDirectoryReadsNoFileAtTheRoot) {
    const QString previous = QDir::currentPath();
    {
        QTemporaryDir dir;
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    const Settings settings;
    QDir::setCurrent(previous);
    EXPECT_NE(settings.path(), "/visomorf.ini");
    EXPECT_EQ(settings.initialModelDetail(), 1);
}

} // namespace
} // namespace vm
