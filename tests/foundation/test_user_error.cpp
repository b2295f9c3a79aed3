#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "foundation/user_error.h"

TEST(EUserError, MessageAloneOutsideAHandler)
{
    EUserError E("OffsetLine: dLength <= 0");
    EXPECT_EQ(E.Message(), "OffsetLine: dLength <= 0");
    EXPECT_STREQ(E.what(), "OffsetLine: dLength <= 0");
    try {
        throw Exception("inner");
    } catch (const Exception&) {
    }
    // The handler is over: nothing to chain.
    EXPECT_EQ(EUserError("X").Message(), "X");
}

TEST(EUserError, ChainsTheHandledException)
{
    try {
        throw Exception("Y");
    } catch (const Exception& Inner) {
        EUserError E("X");
        EXPECT_EQ(E.Message(), "Y:" + FormatErrorAddress(Inner.Address()) + "\r\nX");
        EUserParamError P("Z");
        EXPECT_EQ(P.Message(), "Y:" + FormatErrorAddress(Inner.Address()) + "\r\nZ");
    }
}

TEST(EUserError, NestedTwiceCarriesTheWholeChain)
{
    std::string Expected;
    try {
        try {
            throw EListError("リストの個数を超えました (%d)", 7);
        } catch (const Exception& A) {
            Expected = "リストの個数を超えました (7):" + FormatErrorAddress(A.Address()) + "\r\n";
            throw EUserError("B");
        }
    } catch (const Exception& B) {
        Expected += "B:" + FormatErrorAddress(B.Address()) + "\r\nC";
        EXPECT_EQ(EUserError("C").Message(), Expected);
    }
}

TEST(EUserError, NonExceptionHandlerIsNotChained)
{
    try {
        throw std::runtime_error("Y");
    } catch (const std::exception&) {
        EXPECT_EQ(EUserError("X").Message(), "X");
    }
}

TEST(EUserError, AddressFormat)
{
    EXPECT_EQ(FormatErrorAddress(0x1A2B), "00001A2B");
    EXPECT_EQ(FormatErrorAddress(0xDEADBEEFu), "DEADBEEF");
    EXPECT_EQ(FormatErrorAddress(0), "00000000");
}

TEST(EListError, FillsTheNumber)
{
    EXPECT_EQ(EListError("リストの容量が超えました (%d)", -3).Message(), "リストの容量が超えました (-3)");
    EXPECT_EQ(EListError("(%d)", 134217728).Message(), "(134217728)");
}
