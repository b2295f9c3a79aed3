// Fill values, picture-fill parameters and the jittered point lattices.
#include "paint/fill_value.h"

#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "store/picture_store.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// The system generator written out: seed := seed * 134775813 + 1, value
// seed / 2^32.
struct THandRandom {
    uint32_t Seed;
    double Next()
    {
        Seed = Seed * 134775813u + 1u;
        return Seed / 4294967296.0;
    }
};

const std::string GradText = "0000255,1,0,8192,16384,8192,2,0,0,1023,16777215,0,0,0,100,0,100";
const double CX = 10 * std::sqrt(3.0) / 2; // column step of hexagons of size 10

} // namespace

TEST(TFillPictParam, TextFormShortAndMalformedTexts)
{
    EXPECT_EQ(FillPictParamToStr(TFillPictParam{}), "1,0,0,0,0,0,-1,0,0");
    TFillPictParam P;
    StrToFillPictParam("2,10,-20,640,480,12.5,7,1,3", P);
    EXPECT_EQ(P, (TFillPictParam{10, -20, 640, 480, 12.5, 2, 1, 3, 7})); // kind 2, handle 7
    EXPECT_EQ(FillPictParamToStr(P), "2,10,-20,640,480,12.5,7,1,3");
    P.dAngle = -1.0 / 3;
    TFillPictParam Back;
    StrToFillPictParam(FillPictParamToStr(P), Back);
    EXPECT_EQ(Back, P);
    // Missing option fields keep their value; they are read leniently.
    StrToFillPictParam("1,0,0,100,50,0,3,2", P);
    EXPECT_EQ(P, (TFillPictParam{0, 0, 100, 50, 0.0, 1, 2, 3, 3}));
    StrToFillPictParam("1,0,0,100,50,0,3,zz,4", P);
    EXPECT_EQ(std::pair(P.bOption1, P.bOption2), (std::pair<uint8_t, uint8_t>{0, 4}));
    StrToFillPictParam("", P); // the reset set
    EXPECT_EQ(P, (TFillPictParam{0, 0, 0, 0, 0.0, 1, 2, 0, -1}));
    // Malformed texts raise, keeping the fields read before.
    for (const std::string Text : {"1,5,x,0,0,0,-1,0,0", "1,5", "1,5,0,0,0,turn,-1", "1,5,0,0,0,0,"}) {
        TFillPictParam Q;
        Q.iOffsetY = 99;
        EXPECT_EQ(MessageOf<EUserError>([&] { StrToFillPictParam(Text, Q); }),
                  "TGradationObject.StrToRecGradParam Error!");
        EXPECT_EQ(Q.iOffsetX, 5) << Text;
    }
}

TEST(TFillValue, EveryMethodParsesAndPrints)
{
    for (const std::string& Text : {std::string("0"), std::string("5"), std::string("10080FF"), "20" + GradText,
                                    "21" + GradText, std::string("411,0,0,0,0,0,-1,0,0"),
                                    std::string("403,-5,6,320,240,45,2,1,0")}) {
        TFillValue V;
        ASSERT_TRUE(StrToFillValue(Text, V)) << Text;
        EXPECT_EQ(FillValueToStr(V), Text);
    }
    TFillValue V;
    ASSERT_TRUE(StrToFillValue("1ff", V));
    EXPECT_EQ(V.Color, 0xFF);
    EXPECT_EQ(FillValueToStr(V), "10000FF"); // written with six digits
    ASSERT_TRUE(StrToFillValue("21" + GradText, V));
    EXPECT_EQ(V.Method, FillMethodGradation);
    EXPECT_EQ(V.Option, '1');
    EXPECT_EQ(V.Gradation.iY1, 8192);
    ASSERT_TRUE(StrToFillValue("403,-5,6,320,240,45,2,1,0", V));
    EXPECT_EQ(V.Option, '0');
    EXPECT_EQ(V.PictParam.iHandle, 2);
    ASSERT_TRUE(StrToFillValue("41", V)); // an empty picture-fill text is the reset set
    EXPECT_EQ(V.PictParam.bOption1, 2);
    EXPECT_EQ(V.PictParam.iHandle, -1);
    // Malformed values leave the value.
    ASSERT_TRUE(StrToFillValue("1123456", V));
    for (const std::string Text : {"", "3", "1", "1XYZ", "1123456789", "2", "200x", "4", "41x", "411,0,0"}) {
        EXPECT_FALSE(StrToFillValue(Text, V)) << Text;
        EXPECT_EQ(V.Method, FillMethodColor) << Text;
        EXPECT_EQ(V.Color, 0x123456) << Text;
    }
}

TEST(TFillValue, GetFillPictParamPicture)
{
    TListRecPict Store(nullptr);
    TrecPicture Pic{};
    RecPictureCreate(Pic, TPoint{}, 4, 2, 24, false);
    std::memset(Pic.pBits, 0x5A, static_cast<size_t>(RecPictureGetImageSize(Pic)));
    const int32_t Handle = Store.AddPicture(-1, 0, 0, 0.0, TPoint{}, 0, 0, 0, Pic, "");
    const auto Value = [](int32_t H) { return "411,0,0,4,2,0," + std::to_string(H) + ",0,0"; };
    EXPECT_EQ(GetFillPictParamPicture(Value(Handle), Store), &Store.GetItemByHandle(Handle)->Picture);
    EXPECT_EQ(GetFillPictParamPicture(Value(Handle + 1), Store), nullptr);
    EXPECT_EQ(GetFillPictParamPicture("20" + GradText, Store), nullptr);
    EXPECT_EQ(GetFillPictParamPicture("41", Store), nullptr);
    EXPECT_THROW(GetFillPictParamPicture("41x", Store), EUserError);
}

TEST(MakeRectPoint, ExactGridJitterAndRefusals)
{
    std::vector<TDPoint> Pts;
    int32_t Cols = 0, Rows = 0;
    MakeRectPoint(10, 20, 5, false, Pts, Cols, Rows, 0.0, 30, 40, 7);
    EXPECT_EQ(Cols, 10); // 30 div 10 + 6, plus one
    EXPECT_EQ(Rows, 9);  // 40 div 20 + 6, plus one
    ASSERT_EQ(Pts.size(), 90u);
    for (int32_t J = 0; J < Rows; ++J)
        for (int32_t I = 0; I < Cols; ++I)
            ASSERT_EQ(Pts[J * Cols + I], (TDPoint{10.0 * (I - 3) + 5, 20.0 * (J - 3) + 7}));
    // Offsets are kept within two cells.
    MakeRectPoint(10, 20, 100, false, Pts, Cols, Rows, 0.0, 30, 40, -100);
    EXPECT_EQ(Pts[33], (TDPoint{20, -40}));
    // Jitter draws two numbers a point, in order.
    RandomSeed = 4711;
    MakeRectPoint(10, 10, 0, false, Pts, Cols, Rows, 1.0, 0, 0, 0);
    ASSERT_EQ(Cols, 7);
    ASSERT_EQ(Rows, 7);
    THandRandom R{4711};
    for (int32_t K = 0; K < 49; ++K) {
        const double R1 = R.Next(), R2 = R.Next();
        ASSERT_DOUBLE_EQ(Pts[K].X, (R1 - 0.5) * 9.0 + 10.0 * (K % 7 - 3)) << K;
        ASSERT_DOUBLE_EQ(Pts[K].Y, (R2 - 0.5) * 9.0 + 10.0 * (K / 7 - 3)) << K;
    }
    EXPECT_EQ(RandomSeed, R.Seed);
    // A cell size of nothing counts as one.
    std::vector<TDPoint> Zero, One;
    MakeRectPoint(0, -5, 0, false, Zero, Cols, Rows, 0.0, 4, 3, 0);
    EXPECT_EQ(Cols, 11);
    EXPECT_EQ(Rows, 10);
    MakeRectPoint(1, 1, 0, false, One, Cols, Rows, 0.0, 4, 3, 0);
    EXPECT_EQ(Zero, One);
    EXPECT_EQ(MessageOf<EUserError>([&] { MakeRectPoint(10, 10, 0, true, Zero, Cols, Rows, 0.0, 4, 3, 0); }),
              "MakeRectPoint: boolLoop Not Implememt");
}

TEST(MakeHexPoint, LatticesWithoutJitterWithJitterAndWrapping)
{
    std::vector<TDPoint> Pts;
    int32_t Cols = 0, Rows = 0;
    MakeHexPoint(10, 0, 3, false, Pts, Cols, Rows, 0.0, 0, 0, 4);
    EXPECT_EQ(Cols, 14);
    EXPECT_EQ(Rows, 9);
    ASSERT_EQ(Pts.size(), 126u);
    // Column 0 of row 0 at index 4 * 14 + 6; even cells half a shift down.
    EXPECT_EQ(Pts[62], (TDPoint{3, 4 + 2.5}));
    EXPECT_DOUBLE_EQ(Pts[63].X, 3 + CX);
    EXPECT_DOUBLE_EQ(Pts[63].Y, 4 - 2.5);
    EXPECT_DOUBLE_EQ(Pts[76].Y, 4 + 15 - 2.5);
    EXPECT_DOUBLE_EQ(Pts[0].X, 3 - 6 * CX);
    EXPECT_DOUBLE_EQ(Pts[0].Y, 4 - 60 + 2.5);
    // Area 100 x 60: trunc(60 / 15) + 9 rows, trunc(100 / 8.66) + 14 columns.
    MakeHexPoint(10, 0, 100, false, Pts, Cols, Rows, 0.0, 100, 60, 0);
    EXPECT_EQ(Rows, 13);
    EXPECT_EQ(Cols, 25);
    EXPECT_DOUBLE_EQ(Pts[4 * 25 + 6].X, 40); // offsets within four cells
    // A cell size of nothing counts as one, also when wrapping.
    std::vector<TDPoint> Zero, One;
    for (bool Loop : {false, true}) {
        MakeHexPoint(Loop ? -3 : 0, 0, 0, Loop, Zero, Cols, Rows, 0.0, 5, 5, 0);
        MakeHexPoint(1, 0, 0, Loop, One, Cols, Rows, 0.0, 5, 5, 0);
        EXPECT_EQ(Zero, One) << Loop;
    }
    RandomSeed = 99;
    MakeHexPoint(10, 0, 0, false, Pts, Cols, Rows, 0.5, 0, 0, 0);
    ASSERT_EQ(Cols, 14);
    ASSERT_EQ(Rows, 9);
    // Each row draws one pair more than it keeps.
    THandRandom R{99};
    for (int32_t J = -4; J <= Rows - 5; ++J)
        for (int32_t I = -6; I <= Cols - 6; ++I) {
            const double R1 = R.Next(), R2 = R.Next();
            if (I == Cols - 6)
                continue;
            const bool Odd = ((I + J) & 1) != 0;
            const TDPoint& P = Pts[(J + 4) * Cols + (I + 6)];
            ASSERT_DOUBLE_EQ(P.X, (R1 - 0.5) * CX * 0.5 + I * CX);
            ASSERT_NEAR(P.Y, (R2 - (Odd ? 0.66667 : 0.33333)) * 10 * 0.5 * 1.4 * 0.5 + J * 15.0 + (Odd ? -2.5 : 2.5),
                        1e-9);
        }
    EXPECT_EQ(RandomSeed, R.Seed);
    RandomSeed = 7;
    MakeHexPoint(10, 0, 2, true, Pts, Cols, Rows, 0.8, 100, 60, -3);
    // 100 / 8.66 is nearest to 12 even cells, 60 / 15 to 4.
    ASSERT_EQ(Cols, 12 + 14);
    ASSERT_EQ(Rows, 4 + 9);
    for (int32_t J = 0; J < Rows; ++J)
        for (int32_t I = 0; I < Cols; ++I) {
            const TDPoint& A = Pts[J * Cols + I];
            if (I + 12 < Cols) {
                ASSERT_NEAR(Pts[J * Cols + I + 12].X - A.X, 100, 1e-9);
                ASSERT_NEAR(Pts[J * Cols + I + 12].Y - A.Y, 0, 1e-9);
            }
            if (J + 4 < Rows) {
                ASSERT_NEAR(Pts[(J + 4) * Cols + I].X - A.X, 0, 1e-9);
                ASSERT_NEAR(Pts[(J + 4) * Cols + I].Y - A.Y, 60, 1e-9);
            }
        }
    // Jitter moves points off the exact lattice, and the seed fixes how.
    EXPECT_NE(Pts[4 * Cols + 6].X, 2.0);
    std::vector<TDPoint> Again;
    RandomSeed = 7;
    MakeHexPoint(10, 0, 2, true, Again, Cols, Rows, 0.8, 100, 60, -3);
    EXPECT_EQ(Again, Pts);
}
