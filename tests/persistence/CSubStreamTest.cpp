#include "persistence/CSubStream.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

namespace vm {
namespace {

QByteArray Digits(int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        bytes.append(static_cast<char>('a' + i % 26));
    }
    return bytes;
}

struct Window {
    QByteArray data = Digits(30);
    QBuffer buffer{&data};
    Window() { buffer.open(QIODevice::ReadWrite); }
};

TEST(CSubStream, ReadStopsAtTheWindowEndAndPositionsAreRelative) {
    Window w;
    w.buffer.seek(10);
    CSubStream window(w.buffer, 5);
    ASSERT_TRUE(window.open(QIODevice::ReadOnly));
    EXPECT_EQ(window.size(), 5);
    EXPECT_EQ(window.readAll(), QByteArray("klmno"));
    EXPECT_EQ(window.pos(), 5);
    EXPECT_EQ(w.buffer.pos(), 15);
    EXPECT_TRUE(window.atEnd());
    EXPECT_EQ(window.read(4), QByteArray());
}

TEST(CSubStream, SeekRulesOfABoundedWindow) {
    Window w;
    w.buffer.seek(10);
    CSubStream window(w.buffer, 8);
    ASSERT_TRUE(window.open(QIODevice::ReadOnly));
    using O = CSubStream::Origin;
    EXPECT_EQ(window.Seek(-3, O::Begin), 0u); // before the start: the base
    EXPECT_EQ(window.Seek(3, O::Begin), 3u);
    EXPECT_EQ(w.buffer.pos(), 13);
    EXPECT_EQ(window.Seek(50, O::Begin), 8u); // held at the end
    EXPECT_EQ(window.Seek(-100, O::Current), 0u);
    EXPECT_EQ(window.Seek(4, O::Current), 4u);
    EXPECT_EQ(window.Seek(20, O::Current), 8u);
    EXPECT_EQ(window.Seek(2, O::End), 6u); // counted back from the end
    EXPECT_EQ(window.Seek(0, O::End), 8u);
    EXPECT_EQ(window.Seek(99, O::End), 0u); // not before the base
    EXPECT_EQ(window.Seek(-1, O::End), 8u); // a negative offset lands on the end
    EXPECT_TRUE(window.seek(2));
    EXPECT_EQ(window.read(2), QByteArray("mn"));
}

TEST(CSubStream, SeekRulesOfAWindowWithoutEnd) {
    Window w;
    w.buffer.seek(10);
    CSubStream window(w.buffer);
    ASSERT_TRUE(window.open(QIODevice::ReadWrite));
    using O = CSubStream::Origin;
    EXPECT_FALSE(window.HasEnd());
    EXPECT_EQ(window.size(), 20);
    EXPECT_EQ(window.Seek(-5, O::End), 15u);
    EXPECT_EQ(window.Seek(-50, O::End), 0u);
    EXPECT_EQ(window.Seek(-50, O::Current), 0u);
    EXPECT_EQ(window.Seek(100, O::Begin), 100u); // no end to hold it
}

TEST(CSubStream, WritesPassThroughAndGrowABoundedWindow) {
    Window w;
    w.buffer.seek(28);
    CSubStream window(w.buffer, 1);
    ASSERT_TRUE(window.open(QIODevice::ReadWrite));
    EXPECT_EQ(window.write("XYZW"), 4);
    EXPECT_EQ(window.Length(), 4u);
    EXPECT_EQ(w.data.size(), 32);
    EXPECT_EQ(w.data.right(4), QByteArray("XYZW"));
    EXPECT_EQ(window.Seek(0, CSubStream::Origin::End), 4u);
}

TEST(CSubStream, ImageCodecReadsOnlyItsWindow) {
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(qRgb(200, 40, 10));
    QByteArray jpeg;
    {
        QBuffer out(&jpeg);
        out.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&out, "JPG"));
    }
    QByteArray file = QByteArray(7, 'P') + jpeg + QByteArray(9, 'T');
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);

    buffer.seek(7);
    CSubStream whole(buffer, static_cast<quint64>(jpeg.size()));
    whole.open(QIODevice::ReadOnly);
    QImageReader reader(&whole, "jpeg");
    const QImage decoded = reader.read();
    EXPECT_EQ(decoded.size(), image.size());
    EXPECT_LE(buffer.pos(), 7 + jpeg.size());

    buffer.seek(7);
    CSubStream cut(buffer, static_cast<quint64>(jpeg.size() / 3));
    cut.open(QIODevice::ReadOnly);
    QImageReader shortReader(&cut, "jpeg");
    QImage partial;
    shortReader.read(&partial);
    // Whatever the decoder makes of the cut data, it never reads past the window.
    EXPECT_LE(buffer.pos(), 7 + jpeg.size() / 3);
}

} // namespace
} // namespace vm
