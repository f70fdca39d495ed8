#include "platform/core/Archive.h"

#include "platform/core/Exceptions.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace vm {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) {
        out.append(static_cast<char>(v));
    }
    return out;
}

template <typename Fn> QByteArray Stored(Fn write) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    Archive archive(buffer, Archive::Mode::Store);
    write(archive);
    return data;
}

struct Loader {
    explicit Loader(const QByteArray& bytes)
        : data(bytes), buffer(&data), archive(buffer, Archive::Mode::Load) {
        buffer.open(QIODevice::ReadOnly);
    }
    QByteArray data;
    QBuffer buffer;
    Archive archive;
};

TEST(Archive, IntegersAndFloatsAreLittleEndian) {
    const QByteArray data = Stored([](Archive& ar) {
        ar.WriteU16(0x1234);
        ar.WriteU32(0xA1B2C3D4);
        ar.WriteI32(-2);
        ar.WriteFloat(1.0f);
    });
    EXPECT_EQ(data, Bytes({0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                           0x80, 0x3F}));
    Loader in(data);
    EXPECT_EQ(in.archive.ReadU16(), 0x1234);
    EXPECT_EQ(in.archive.ReadU32(), 0xA1B2C3D4u);
    EXPECT_EQ(in.archive.ReadI32(), -2);
    EXPECT_EQ(in.archive.ReadFloat(), 1.0f);
    EXPECT_EQ(in.archive.BytesLeft(), 0);
}

TEST(Archive, CountUsesTwoBytesBelowFFFFAndSixFromIt) {
    struct Case {
        uint32_t value;
        QByteArray bytes;
    };
    const Case cases[] = {
        {0, Bytes({0x00, 0x00})},
        {157, Bytes({0x9D, 0x00})},
        {0xFFFE, Bytes({0xFE, 0xFF})},
        {0xFFFF, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
        {0x12345678, Bytes({0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12})},
        {0xFFFFFFFF, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
    };
    for (const Case& c : cases) {
        const QByteArray data = Stored([&](Archive& ar) { ar.WriteCount(c.value); });
        EXPECT_EQ(data.toHex(' '), c.bytes.toHex(' ')) << c.value;
        Loader in(data);
        EXPECT_EQ(in.archive.ReadCount(), c.value);
    }
}

TEST(Archive, WideStringEncodingByLength) {
    const QByteArray shortText = Stored([](Archive& ar) { ar.WriteString("Whole object"); });
    QByteArray expected = Bytes({0xFF, 0xFE, 0xFF, 0x0C});
    for (char c : QByteArray("Whole object")) {
        expected.append(c).append('\0');
    }
    EXPECT_EQ(shortText, expected);

    EXPECT_EQ(Stored([](Archive& ar) { ar.WriteString(QString()); }),
              Bytes({0xFF, 0xFE, 0xFF, 0x00}));
    // 254 units still fit the single length byte; 255 needs the word form.
    EXPECT_EQ(Stored([](Archive& ar) { ar.WriteString(QString(254, 'a')); }).left(4),
              Bytes({0xFF, 0xFE, 0xFF, 0xFE}));
    EXPECT_EQ(Stored([](Archive& ar) { ar.WriteString(QString(255, 'a')); }).left(6),
              Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}));
    const QByteArray huge = Stored([](Archive& ar) { ar.WriteString(QString(0xFFFE, 'a')); });
    EXPECT_EQ(huge.left(10), Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(huge.size(), 10 + 2 * 0xFFFE);
}

TEST(Archive, WideStringsRoundTripEveryLengthFormAndNonLatinText) {
    const QString texts[] = {QString(), QStringLiteral("Lefteye"),
                             QString::fromUtf8("Stirn \u00e9\u4e2d \U0001F600"), QString(300, 'x'),
                             QString(70000, 'y')};
    for (const QString& text : texts) {
        Loader in(Stored([&](Archive& ar) { ar.WriteString(text); }));
        EXPECT_EQ(in.archive.ReadString(), text);
        EXPECT_EQ(in.archive.BytesLeft(), 0);
    }
}

TEST(Archive, ReadsEightBitStringsAsWindows1252) {
    Loader shortForm(Bytes({0x04, 'a', 0x80, 0xE9, 0x9F}));
    EXPECT_EQ(shortForm.archive.ReadString(), QString::fromUtf8("a\u20ac\u00e9\u0178"));

    QByteArray wordForm = Bytes({0xFF, 0x2C, 0x01});
    wordForm.append(QByteArray(300, 'q'));
    Loader word(wordForm);
    EXPECT_EQ(word.archive.ReadString(), QString(300, 'q'));

    Loader dwordForm(Bytes({0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 'o', 'k'}));
    EXPECT_EQ(dwordForm.archive.ReadString(), QStringLiteral("ok"));
}

TEST(Archive, ReadingPastTheEndThrowsEndOfFile) {
    auto expectEof = [](const QByteArray& data, auto read) {
        Loader in(data);
        try {
            read(in.archive);
            ADD_FAILURE() << "no exception for " << data.toHex().constData();
        } catch (const ArchiveException& e) {
            EXPECT_EQ(e.GetCause(), ArchiveException::Cause::EndOfFile);
        }
    };
    expectEof(Bytes({0x01}), [](Archive& ar) { ar.ReadU16(); });
    expectEof(Bytes({0x01, 0x02, 0x03}), [](Archive& ar) { ar.ReadFloat(); });
    expectEof(Bytes({0xFF, 0xFF, 0x01}), [](Archive& ar) { ar.ReadCount(); });
    expectEof(Bytes({0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0}),
              [](Archive& ar) { ar.ReadString(); });
    expectEof(Bytes({0xFF, 0xFE}), [](Archive& ar) { ar.ReadString(); });
}

TEST(Archive, AbsurdStringLengthIsRefusedWithoutAllocating) {
    // Claims four thousand million UTF-16 units in a 12-byte file.
    Loader in(Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 'a', 0}));
    EXPECT_THROW(in.archive.ReadString(), ArchiveException);
    Loader block(Bytes({1, 2, 3}));
    EXPECT_THROW(block.archive.ReadBlock(qint64(1) << 40), ArchiveException);
}

TEST(Archive, WriteToAFullOrClosedDeviceFails) {
    QBuffer closed;
    Archive archive(closed, Archive::Mode::Store);
    EXPECT_THROW(archive.WriteU32(1), ArchiveException);
}

TEST(Archive, CollectedWritesKeepTheirOrderAndReachTheDeviceOnFlush) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    const QByteArray large(100 * 1024, 'x'); // more than is ever collected
    {
        Archive archive(buffer, Archive::Mode::Store, true);
        archive.WriteU16(0x0201);
        EXPECT_TRUE(data.isEmpty());
        archive.WriteBytes(large.constData(), large.size());
        archive.WriteU8(3);
        EXPECT_EQ(data.size(), 2 + large.size()); // the small write before the large one went first
        archive.Flush();
        EXPECT_EQ(data.size(), 3 + large.size());
        archive.WriteU8(4);
        EXPECT_EQ(archive.Device().size(), 4 + large.size()); // the device is handed everything
        archive.WriteU8(5);
    }
    ASSERT_EQ(data.size(), 5 + large.size());
    EXPECT_EQ(data.left(2), Bytes({1, 2}));
    EXPECT_EQ(data.right(3), Bytes({3, 4, 5}));

    QBuffer closed;
    Archive refused(closed, Archive::Mode::Store, true);
    refused.WriteU32(1);
    EXPECT_THROW(refused.Flush(), ArchiveException);
    EXPECT_NO_THROW(refused.Flush()); // what was refused is not offered again
}

} // namespace
} // namespace vm
