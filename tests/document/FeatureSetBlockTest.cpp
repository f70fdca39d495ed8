#include "document/FeatureSetBlock.h"

#include "platform/core/Exceptions.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace vm {
namespace {

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(text);
}

// Front: 3 points, a root feature "Ab" with segments (0,1), (1,2), (2,2) and a child "C"
// with (0,2). Side: 1 point of level 65535, no features.
QByteArray SampleBlock() {
    return Hex("0300" // 3 front points
               "00000000"
               "07000100"
               "09000200" // (0,0) (7,1) (9,2)
               "0200"     // 2 features
               "FFFEFF02"
               "41006200" // "Ab" as UTF-16
               "FFFFFFFFFFFF"
               "0000" // no parent, level 0
               "0300"
               "00000100"
               "01000200"
               "02000200"
               "FFFEFF01"
               "4300"
               "0000"
               "0000" // "C", parent 0, level 0
               "0100"
               "00000200"
               "0100"
               "0500"
               "FFFFFFFF0000" // side point: vertex 5, level 65535
               "0000");
}

FeatureSet Read(const QByteArray& bytes, FeatureSet set = {}) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Archive archive(buffer, Archive::Mode::Load);
    ReadFeatureSetBlock(archive, set);
    EXPECT_EQ(archive.BytesLeft(), 0);
    return set;
}

QByteArray Write(const FeatureSet& set) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Archive archive(buffer, Archive::Mode::Store);
    WriteFeatureSetBlock(archive, set);
    return buffer.data();
}

TEST(FeatureSetBlock, ReadsRebuildsLinksAndWritesTheSameBytes) {
    const FeatureSet set = Read(SampleBlock());
    ASSERT_EQ(set.points[Front].size(), 3u);
    EXPECT_EQ(set.points[Front][2].vertexIndex, 9u);
    EXPECT_EQ(set.points[Front][2].level, 2);
    ASSERT_EQ(set.features[Front].size(), 2u);
    EXPECT_EQ(set.features[Front][0].name, QStringLiteral("Ab"));
    EXPECT_EQ(set.features[Front][0].parent, -1);
    EXPECT_EQ(set.features[Front][1].parent, 0);
    EXPECT_EQ(set.features[Front][0].children, std::vector<int32_t>{1});
    EXPECT_TRUE(set.features[Front][1].children.empty());
    // Segment k of feature j is listed under j in both its ends; a loop lists it twice.
    const auto& p2 = set.points[Front][2].segmentsByFeature;
    EXPECT_EQ(p2.at(0), (std::vector<int32_t>{1, 2, 2}));
    EXPECT_EQ(p2.at(1), (std::vector<int32_t>{0}));
    EXPECT_EQ(set.points[Front][0].segmentsByFeature.at(0), (std::vector<int32_t>{0}));
    ASSERT_EQ(set.points[Side].size(), 1u);
    EXPECT_EQ(set.points[Side][0].level, 65535);
    EXPECT_TRUE(set.features[Side].empty());

    EXPECT_EQ(Write(set), SampleBlock());
}

TEST(FeatureSetBlock, ReplacesWhatWasThere) {
    FeatureSet old;
    old.points[Side].resize(40);
    old.features[Side].resize(4);
    const FeatureSet set = Read(SampleBlock(), old);
    EXPECT_EQ(set.points[Side].size(), 1u);
    EXPECT_TRUE(set.features[Side].empty());
}

void ExpectRefused(const QByteArray& bytes) {
    FeatureSet set;
    set.points[Front].resize(11);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Archive archive(buffer, Archive::Mode::Load);
    EXPECT_THROW(ReadFeatureSetBlock(archive, set), InvalidArgumentException);
    EXPECT_EQ(set.points[Front].size(), 11u); // nothing lost
}

TEST(FeatureSetBlock, RefusesParentsAndSegmentEndsOutOfRange) {
    const QByteArray good = SampleBlock();
    const qsizetype childParent = good.indexOf(Hex("4300")) + 2;
    QByteArray parentTooLarge = good;
    parentTooLarge[childParent] = 2; // only features 0 and 1 exist
    ExpectRefused(parentTooLarge);
    QByteArray parentNegative = good;
    parentNegative.replace(childParent, 2, Hex("FFFFFEFFFFFF")); // -2
    ExpectRefused(parentNegative);
    QByteArray endTooLarge = good;
    endTooLarge.replace(good.indexOf(Hex("02000200")), 4, Hex("02000300")); // point 3 of 3
    ExpectRefused(endTooLarge);
}

TEST(FeatureSetBlock, EveryEarlyEndIsAnEndOfFileFailure) {
    const QByteArray good = SampleBlock();
    for (qsizetype size = 0; size < good.size(); ++size) {
        try {
            Read(good.left(size));
            ADD_FAILURE() << "accepted " << size << " bytes";
        } catch (const ArchiveException& e) {
            EXPECT_EQ(e.GetCause(), ArchiveException::Cause::EndOfFile) << size;
        }
    }
    // A count that the bytes cannot back is refused before anything is reserved.
    try {
        Read(Hex("FFFFF0FFFFFF00000000"));
        ADD_FAILURE();
    } catch (const ArchiveException& e) {
        EXPECT_EQ(e.GetCause(), ArchiveException::Cause::EndOfFile);
    }
}

} // namespace
} // namespace vm
