#include "foundation/pen_text.h"
#include "foundation/text_fields.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

namespace {

TrecPenData Pen(uint32_t Style, int32_t Width, double MiterLimit)
{
    TrecPenData P;
    std::memset(&P, 0, sizeof P);
    P.Style = Style;
    P.Width = Width;
    P.MiterLimit = MiterLimit;
    return P;
}

std::string Text(const TrecPenData& P)
{
    std::string S;
    PenDataToStr(P, S);
    return S;
}

} // namespace

TEST(PenText, RecordByteLayout)
{
    TrecPenData P = Pen(0x2200, -1, 2.5);
    P.Reserved[0] = 0x04030201;
    P.Reserved[4] = 0xAABBCCDD;
    uint8_t B[36];
    static_assert(sizeof B == sizeof P);
    std::memcpy(B, &P, sizeof B);
    const uint8_t Expected[36] = {
        0x00, 0x22, 0x00, 0x00,                         // style
        0xFF, 0xFF, 0xFF, 0xFF,                         // width -1
        0x01, 0x02, 0x03, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, // words 2..4
        0, 0, 0, 0, 0xDD, 0xCC, 0xBB, 0xAA,             // words 5..6
        0, 0, 0, 0, 0, 0, 0x04, 0x40,                   // 2.5 = 0x4004000000000000
    };
    EXPECT_EQ(std::memcmp(B, Expected, 36), 0);
}

TEST(PenText, StrToPenData)
{
    TrecPenData P = Pen(7, 7, 7.0);
    P.Reserved[2] = 99;
    EXPECT_FALSE(StrToPenData("-1,65280,-1.00", P));
    EXPECT_EQ(P.Width, -1);
    EXPECT_EQ(P.Style, 65280u);
    EXPECT_EQ(double(P.MiterLimit), -1.0);
    EXPECT_EQ(P.Reserved[2], 0u);

    EXPECT_TRUE(StrToPenData("0,0,2.50", P));
    EXPECT_EQ(P.Width, 0);
    EXPECT_EQ(P.Style, 0u);
    EXPECT_EQ(double(P.MiterLimit), 2.5);

    EXPECT_FALSE(StrToPenData("5", P));
    EXPECT_EQ(P.Width, 5);
    EXPECT_EQ(P.Style, 65280u);
    EXPECT_EQ(double(P.MiterLimit), -1.0);

    EXPECT_FALSE(StrToPenData("x,y,z", P));
    EXPECT_EQ(P.Width, -1);
    EXPECT_EQ(P.Style, 65280u);
    EXPECT_EQ(double(P.MiterLimit), -1.0);
}

TEST(PenText, MergePenDataStrTakesOnlyWhatTheTextSets)
{
    TrecPenData P = Pen(0x10000 | 0x1200 | 0x05, 2, 4.0);
    MergePenDataStr(P, "5,65280,-1.00");
    EXPECT_EQ(P.Style, 0x10000u | 0x1200u | 0x05u);
    EXPECT_EQ(P.Width, 5);
    EXPECT_EQ(double(P.MiterLimit), 4.0);

    // 0x0200: end cap flat, join field 0 (round); the other bits stay.
    MergePenDataStr(P, "-1,512,-1.00");
    EXPECT_EQ(P.Style, 0x10000u | 0x0200u | 0x05u);
    EXPECT_EQ(P.Width, 5);

    // End cap all ones keeps the cap; join bevel is taken.
    MergePenDataStr(P, "-1,7936,3.5"); // 0x1F00
    EXPECT_EQ(P.Style, 0x10000u | 0x1200u | 0x05u);
    EXPECT_EQ(double(P.MiterLimit), 3.5);
}

TEST(PenText, PenDataToStr)
{
    EXPECT_EQ(Text(Pen(0xFF00, -1, -1.0)), "-1,65280,-1.00");
    EXPECT_EQ(Text(Pen(0x2200, 3, 10.0)), "3,8704,10.00");
    EXPECT_EQ(Text(Pen(0, 1, 0.125)), "1,0,0.13");       // exact half: away from zero
    EXPECT_EQ(Text(Pen(0, 1, 2.675)), "1,0,2.67");       // stored just below 2.675
    EXPECT_EQ(Text(Pen(0, 1, -0.001)), "1,0,0.00");      // no "-0.00"
    EXPECT_EQ(Text(Pen(0, 1, 12345.678)), "1,0,12345.70"); // six significant digits
    EXPECT_EQ(Text(Pen(0, 1, 0.0)), "1,0,0.00");

    TrecPenData Back;
    const TrecPenData P = Pen(0x1100, 12, 6.25);
    EXPECT_TRUE(StrToPenData(Text(P), Back));
    EXPECT_EQ(Back.Style, P.Style);
    EXPECT_EQ(Back.Width, P.Width);
    EXPECT_EQ(double(Back.MiterLimit), double(P.MiterLimit));
}

TEST(PenText, IgnoresTheUsersLocale)
{
    const char* Old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string Saved = Old != nullptr ? Old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const std::string Written = Text(Pen(0, 1, 2.5));
    const double Read = StrToFloatDef("2.50", -1.0);
    std::setlocale(LC_NUMERIC, Saved.c_str());
    EXPECT_EQ(Written, "1,0,2.50");
    EXPECT_EQ(Read, 2.5);
}
