#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "foundation/user_error.h"

TEST(EUserError, MessageAloneOutsideAnExceptionHandler)
{
    EXPECT_STREQ(EUserError("OffsetLine: dLength <= 0").what(), "OffsetLine: dLength <= 0");
    try {
        throw Exception("inner");
    } catch (const Exception&) {
    }
    EXPECT_EQ(EUserError("X").Message(), "X");   // the handler is over: nothing to chain
    try {
        throw std::runtime_error("Y");
    } catch (const std::exception&) {
        EXPECT_EQ(EUserError("X").Message(), "X");   // not one of ours
    }
}

TEST(EUserError, ChainsTheHandledExceptionsWithTheirAddresses)
{
    std::string Expected;
    try {
        try {
            throw EListError("リストの個数を超えました (%d)", 7);
        } catch (const Exception& A) {
            Expected = "リストの個数を超えました (7):" + FormatErrorAddress(A.Address()) + "\r\n";
            EXPECT_EQ(EUserParamError("Z").Message(), Expected + "Z");
            throw EUserError("B");
        }
    } catch (const Exception& B) {
        Expected += "B:" + FormatErrorAddress(B.Address()) + "\r\nC";
        EXPECT_EQ(EUserError("C").Message(), Expected);
    }
    EXPECT_EQ(FormatErrorAddress(0x1A2B), "00001A2B");
    EXPECT_EQ(FormatErrorAddress(0xDEADBEEFu), "DEADBEEF");
    EXPECT_EQ(EListError("(%d)", -134217728).Message(), "(-134217728)");
}
