#include "foundation/pen_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

namespace {

using F = std::tuple<uint32_t, int32_t, double>;

TrecPenData Pen(uint32_t Style, int32_t Width, double MiterLimit)
{
    TrecPenData P;
    std::memset(&P, 0, sizeof P);
    P.Style = Style;
    P.Width = Width;
    P.MiterLimit = MiterLimit;
    return P;
}

F Fields(const TrecPenData& P)
{
    const double Miter = P.MiterLimit; // packed: copied, never bound by reference
    return {P.Style, P.Width, Miter};
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
    const uint8_t Expected[36] = {
        0x00, 0x22, 0x00, 0x00,                         // style
        0xFF, 0xFF, 0xFF, 0xFF,                         // width -1
        0x01, 0x02, 0x03, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, // words 2..4
        0, 0, 0, 0, 0xDD, 0xCC, 0xBB, 0xAA,             // words 5..6
        0, 0, 0, 0, 0, 0, 0x04, 0x40,                   // 2.5 = 0x4004000000000000
    };
    EXPECT_EQ(std::memcmp(&P, Expected, 36), 0);
}

TEST(PenText, StrToPenDataDefaultsAndMergeTakesOnlyWhatTheTextSets)
{
    TrecPenData P = Pen(7, 7, 7.0);
    P.Reserved[2] = 99;
    EXPECT_FALSE(StrToPenData("-1,65280,-1.00", P));
    EXPECT_EQ(Fields(P), F(65280, -1, -1.0));
    EXPECT_EQ(P.Reserved[2], 0u);   // zero-filled
    EXPECT_TRUE(StrToPenData("0,0,2.50", P));
    EXPECT_EQ(Fields(P), F(0, 0, 2.5));
    EXPECT_FALSE(StrToPenData("5", P));
    EXPECT_EQ(Fields(P), F(65280, 5, -1.0));
    EXPECT_FALSE(StrToPenData("x,y,z", P));
    EXPECT_EQ(Fields(P), F(65280, -1, -1.0));
    P = Pen(0x10000 | 0x1200 | 0x05, 2, 4.0);
    MergePenDataStr(P, "5,65280,-1.00");
    EXPECT_EQ(Fields(P), F(0x11205, 5, 4.0));
    // 0x0200: end cap flat, join field 0 (round); the other bits stay.
    MergePenDataStr(P, "-1,512,-1.00");
    EXPECT_EQ(Fields(P), F(0x10205, 5, 4.0));
    // End cap all ones (0x1F00) keeps the cap; join bevel is taken.
    MergePenDataStr(P, "-1,7936,3.5");
    EXPECT_EQ(Fields(P), F(0x11205, 5, 3.5));
}

TEST(PenText, PenDataToStrRoundsToTwoDecimals)
{
    EXPECT_EQ(Text(Pen(0xFF00, -1, -1.0)), "-1,65280,-1.00");
    EXPECT_EQ(Text(Pen(0x2200, 3, 10.0)), "3,8704,10.00");
    EXPECT_EQ(Text(Pen(0, 1, 0.125)), "1,0,0.13");         // exact half: away from zero
    EXPECT_EQ(Text(Pen(0, 1, 2.675)), "1,0,2.67");         // stored just below 2.675
    EXPECT_EQ(Text(Pen(0, 1, -0.001)), "1,0,0.00");        // no "-0.00"
    EXPECT_EQ(Text(Pen(0, 1, 12345.678)), "1,0,12345.70"); // six significant digits
    TrecPenData Back;
    EXPECT_TRUE(StrToPenData(Text(Pen(0x1100, 12, 6.25)), Back));
    EXPECT_EQ(Fields(Back), Fields(Pen(0x1100, 12, 6.25)));
}
