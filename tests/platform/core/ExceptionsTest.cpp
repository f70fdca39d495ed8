#include "platform/core/Exceptions.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>

namespace vm {
namespace {

TEST(Exceptions, ResultCodesHaveTheirTextsAndNames) {
    EXPECT_EQ(CDXException(hr::kDeviceLost).Message(),
              "Access to the device has been lost.  It must be re-acquired.");
    EXPECT_EQ(ResultCodeName(hr::kDeviceLost), "D3DERR_DEVICELOST");
    EXPECT_EQ(ResultCodeName(hr::kInvalidCall), "D3DERR_INVALIDCALL");
    EXPECT_EQ(ResultCodeName(0x88760B55), "D3DXERR_INVALIDMESH");
    EXPECT_EQ(ResultCodeName(0x8876017C), "D3DERR_OUTOFVIDEOMEMORY");
    EXPECT_EQ(GeneralFailureException().Message(), "Unspecified error");
    EXPECT_EQ(InvalidArgumentException().Message(), "The parameter is incorrect.");
    EXPECT_EQ(InvalidArgumentException().Code(), 0x80070057u);
    EXPECT_FALSE(MemoryException().Message().isEmpty());
    // Every name in the table has a description, and the table finds both ends.
    EXPECT_EQ(ResultCodeName(0x00000000), "S_OK");
    EXPECT_EQ(ResultCodeName(0x88760B5C), "D3DXERR_CANNOTREMOVELASTITEM");
}

TEST(Exceptions, UnknownCodesSayTheirNumber) {
    EXPECT_EQ(ResultCodeDescription(0x80040000), QString());
    EXPECT_EQ(ResultCodeName(0x80040000), QString());
    EXPECT_EQ(CDXException(0x80040000).Message(), "Unknown error 0x80040000.");
    EXPECT_EQ(ResultException(0x0000ABCD).Message(), "Unknown error 0x0000ABCD.");
}

TEST(Exceptions, ArchiveFailuresDescribeTheirCauseAndDetail) {
    const ArchiveException eof(ArchiveException::Cause::EndOfFile);
    const ArchiveException bad(ArchiveException::Cause::BadFormat, "Feature 3 has no parent 40.");
    EXPECT_NE(eof.Message(), bad.Message());
    EXPECT_TRUE(eof.Message().contains("end of the file"));
    EXPECT_TRUE(bad.Message().startsWith("The file has an unexpected format."));
    EXPECT_TRUE(bad.Message().endsWith("Feature 3 has no parent 40."));
}

TEST(Exceptions, FailureTextCoversEveryKindAndIsCutTo254) {
    EXPECT_EQ(FailureText(std::bad_alloc()), MemoryException().Message());
    EXPECT_EQ(FailureText(std::runtime_error("disk on fire")), "disk on fire");
    EXPECT_EQ(FailureText(CDXException(hr::kInvalidCall)), ResultCodeDescription(hr::kInvalidCall));
    EXPECT_TRUE(FailureText(UserCancelledException()).isEmpty());
    EXPECT_TRUE(UserCancelledException().IsSilent());

    EXPECT_EQ(FailureText(MessageException(QString(254, 'x'))).size(), 254);
    EXPECT_EQ(FailureText(MessageException(QString(600, 'x'))), QString(254, 'x'));
    // A cut must not split a surrogate pair in two.
    const QString emoji = QString::fromUtf8("\U0001F600");
    const QString text = QString(253, 'x') + emoji;
    EXPECT_EQ(FailureText(MessageException(text)), QString(253, 'x'));
}

TEST(Exceptions, WhatIsTheUtf8Message) {
    const MessageException failure(QString::fromUtf8("K\u00f6pfe"));
    const std::exception& base = failure;
    EXPECT_STREQ(base.what(), "K\xc3\xb6pfe");
    try {
        throw CDXException(hr::kDeviceLost);
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Access to the device has been lost.  It must be re-acquired.");
    }
}

} // namespace
} // namespace vm
