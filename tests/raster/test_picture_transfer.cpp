#include "raster/picture_transfer.h"

#include "bmp_conv_test_util.h"
#include "foundation/numbers.h"
#include "platform/device_context.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A picture record freed at the end of the test.
struct TPic {
    TrecPicture P;
    TPic() = default;
    TPic(int32_t W, int32_t H, int32_t Bits, int32_t Left = 0, int32_t Top = 0, bool Section = false)
    {
        RecPictureCreate(P, TPoint{Left, Top}, W, H, Bits, Section);
        std::memset(P.pBits, 0, static_cast<size_t>(RecPictureGetImageSize(P)));
    }
    ~TPic() { RecPictureClear(P); }
    int32_t Width() const { return RecPictureHeader(P)->biWidth; }
    int32_t Height() const { return RecPictureHeader(P)->biHeight; }
    // Pixel (X, Y) counted from the top-left of the picture.
    uint8_t* At(int32_t X, int32_t Y)
    {
        const BITMAPINFOHEADER* Hd = RecPictureHeader(P);
        return P.pBits + (int64_t{Hd->biHeight} - 1 - Y) * GetDIBLineSize(Hd->biWidth, Hd->biBitCount) +
               int64_t{X} * Hd->biBitCount / 8;
    }
    void Set24(int32_t X, int32_t Y, uint32_t Rgb)
    {
        SetBmpBGR(At(X, Y), uint8_t(Rgb >> 16), uint8_t(Rgb >> 8), uint8_t(Rgb));
    }
    uint32_t Pixel(int32_t X, int32_t Y) { return uint32_t{At(X, Y)[2]} << 16 | At(X, Y)[1] << 8 | At(X, Y)[0]; }
    std::tuple<int32_t, int32_t, int32_t, int32_t> Place() { return {P.iLeft, P.iTop, Width(), Height()}; }
};

// Every pixel of a surface or 24-bit picture against Want(X, Y).
template <class D, class F>
void ExpectDC(D& DC, F Want)
{
    for (int Y = 0; Y < DC.Height(); ++Y)
        for (int X = 0; X < DC.Width(); ++X)
            EXPECT_EQ(DC.Pixel(X, Y), uint32_t(Want(X, Y))) << X << "," << Y;
}

uint32_t Colour(int32_t X, int32_t Y)
{
    return 0x010000u * uint32_t(10 + X) + 0x100u * uint32_t(100 + Y) + 7u;
}

void Fill(TPic& P)
{
    for (int Y = 0; Y < P.Height(); ++Y)
        for (int X = 0; X < P.Width(); ++X)
            P.Set24(X, Y, Colour(X, Y));
}

} // namespace

TEST(MemoryDC, BlitsWithRasterOperationsInsideTheClip)
{
    TMemoryDC DC(4, 3);
    const uint8_t Row[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_TRUE(DC.BitBlt(-1, 1, 4, Row, SRCCOPY)); // first pixel falls off the left
    EXPECT_EQ(std::tuple(DC.Pixel(0, 1), DC.Pixel(2, 1), DC.Pixel(3, 1)), std::tuple(0x060504u, 0x0C0B0Au, 0u));
    EXPECT_TRUE(DC.BitBlt(0, 1, 2, Row, SRCINVERT));
    EXPECT_EQ(DC.Pixel(0, 1), 0x060504u ^ 0x030201u);
    EXPECT_TRUE(DC.BitBlt(0, 0, 1, Row, NOTSRCCOPY));
    EXPECT_EQ(DC.Pixel(0, 0), 0xFCFDFEu);
    EXPECT_TRUE(DC.BitBlt(0, 0, 1, Row + 3, SRCAND));
    EXPECT_TRUE(DC.BitBlt(0, 0, 1, Row, SRCPAINT));
    EXPECT_EQ(DC.Pixel(0, 0), (0xFCFDFEu & 0x060504u) | 0x030201u);
    EXPECT_FALSE(DC.BitBlt(0, 0, 1, Row, 0x12345678));
    DC.SetClip(TDCClip{1, 0, 2, 3});
    EXPECT_TRUE(DC.BitBlt(0, 2, 4, Row, SRCCOPY));
    EXPECT_EQ(std::tuple(DC.Pixel(0, 2), DC.Pixel(1, 2), DC.Pixel(2, 2)), std::tuple(0u, 0x060504u, 0u));
    EXPECT_EQ(DC.BlitCount(), 6);
}

TEST(RecPictureStretchBlt, RowsConvertedOnceBlitPerRowAlongTheLineSteps)
{
    TPic P(5, 4, 24);
    Fill(P);
    TMemoryDC DC(7, 6);
    RecPictureStretchBlt(P.P, DC, 1, 2, 5, 4, 0, 0, 5, 4, SRCCOPY, nullptr);
    ExpectDC(DC, [](int X, int Y) { return X >= 1 && X < 6 && Y >= 2 ? Colour(X - 1, Y - 2) : 0u; });
    EXPECT_EQ(DC.BlitCount(), 4);
    EXPECT_EQ(RecPictureStretchBltRowsConverted(), 4);
    TPic One(1, 1, 24);
    One.Set24(0, 0, 0xA1B2C3);
    TMemoryDC E(12, 12);
    RecPictureStretchBlt(One.P, E, 1, 1, 10, 10, 0, 0, 1, 1, SRCCOPY, nullptr);
    EXPECT_EQ(E.BlitCount(), 10);
    EXPECT_EQ(RecPictureStretchBltRowsConverted(), 1);
    ExpectDC(E, [](int X, int Y) { return X >= 1 && X <= 10 && Y >= 1 && Y <= 10 ? 0xA1B2C3u : 0u; });
    // Clip (2, 3)-(5, 6): rows 3, 4 come from source row 0, rows 5, 6 from row 1.
    TMemoryDC F(10, 10);
    const TRect Clip{2, 3, 5, 6};
    RecPictureStretchBlt(One.P, F, 0, 0, 10, 10, 0, 0, 1, 1, SRCCOPY, &Clip);
    ExpectDC(F, [](int X, int Y) { return X >= 2 && X <= 5 && Y >= 3 && Y <= 6 ? 0xA1B2C3u : 0u; });
    EXPECT_EQ(F.BlitCount(), 4);
    TMemoryDC G(10, 10);
    RecPictureStretchBlt(P.P, G, 0, 0, 10, 10, 0, 0, 2, 2, SRCCOPY, &Clip);
    EXPECT_EQ(RecPictureStretchBltRowsConverted(), 2);
    TPic L(10, 1, 24);
    for (int X = 0; X < 10; ++X)
        L.Set24(X, 0, uint32_t(X * 10 + 1));
    // 3 columns over 7: the line steps of (0, 0)-(6, 2).
    int32_t Steps[8];
    MakeLineSteps(0, 6, 0, 2, Steps, true);
    const int32_t Want[7] = {0, 0, 0, 1, 1, 2, 2};
    EXPECT_TRUE(std::equal(Want, Want + 7, Steps));
    TMemoryDC H(7, 1), K(10, 1);
    RecPictureStretchBlt(L.P, H, 0, 0, 7, 1, 4, 0, 3, 1, SRCCOPY, nullptr);
    ExpectDC(H, [&](int X, int) { return (4 + Want[X]) * 10 + 1; });
    // x = -5, width 10: 5 columns from column 0, still spread over the 10 destination columns.
    RecPictureStretchBlt(L.P, K, 0, 0, 10, 1, -5, 0, 10, 1, SRCCOPY, nullptr);
    ExpectDC(K, [](int X, int) { return (X / 2) * 10 + 1; });
}

TEST(RecPictureStretchBlt, PaletteDepthsOtherDepthsAndEmptyPictures)
{
    TPic P8(3, 2, 8);
    RGBQUAD* T8 = DIBColorTable(RecPictureHeader(P8.P));
    T8[5] = RGBQUAD{0x11, 0x22, 0x33, 0};
    T8[200] = RGBQUAD{0xAA, 0xBB, 0xCC, 0};
    P8.At(0, 0)[0] = 5;
    P8.At(2, 1)[0] = 200;
    TMemoryDC DC(3, 2);
    RecPictureStretchBlt(P8.P, DC, 0, 0, 3, 2, 0, 0, 3, 2, SRCCOPY, nullptr);
    // Index 0 of the grey table is black.
    EXPECT_EQ(std::tuple(DC.Pixel(0, 0), DC.Pixel(2, 1), DC.Pixel(1, 0)), std::tuple(0x332211u, 0xCCBBAAu, 0u));
    // 4 bits, high nibble first, odd width: pixels 3, 12, 7.
    TPic P4(3, 1, 4);
    for (int I = 0; I < 16; ++I)
        DIBColorTable(RecPictureHeader(P4.P))[I] = RGBQUAD{uint8_t(I), uint8_t(16 * I), uint8_t(255 - I), 0};
    P4.At(0, 0)[0] = 0x3C;
    P4.At(0, 0)[1] = 0x70;
    TMemoryDC E(6, 1);
    RecPictureStretchBlt(P4.P, E, 0, 0, 6, 1, 0, 0, 3, 1, SRCCOPY, nullptr);
    ExpectDC(E, [](int X, int) {
        const uint32_t I = X < 2 ? 3 : X < 4 ? 12 : 7;
        return (255 - I) << 16 | 16 * I << 8 | I;
    });
    TPic P16(2, 2, 16), Q(2, 2, 24);
    TMemoryDC F(2, 2);
    EXPECT_EQ(BmpMessageOf([&] { RecPictureStretchBlt(P16.P, F, 0, 0, 2, 2, 0, 0, 2, 2, SRCCOPY, nullptr); }),
              "RecPictureStretchBlt: biBitCount not in [4, 8, 24]");
    TrecPicture Empty;
    RecPictureStretchBlt(Empty, F, 0, 0, 2, 2, 0, 0, 2, 2, SRCCOPY, nullptr);
    RecPictureStretchBlt(Q.P, F, 0, 0, 2, 2, 5, 0, 2, 2, SRCCOPY, nullptr); // source outside
    EXPECT_EQ(F.BlitCount(), 0);
}

TEST(RecPictureStretchDraw, PageCoordinatesAndProportionalClipping)
{
    TPic D(10, 10, 24, 100, 200), S(4, 4, 24, -50, -60);
    Fill(S);
    RecPictureStretchDraw(D.P, 102, 201, 8, 8, S.P, -50, -60, 4, 4, nullptr, 0, 0, 0);
    ExpectDC(D, [](int X, int Y) { return X >= 2 && Y >= 1 && Y < 9 ? Colour((X - 2) / 2, (Y - 1) / 2) : 0u; });
    // Starting 4 left of D: those 4 columns go, and 4 x 4 div 8 = 2 source columns.
    TPic E(10, 10, 24, 100, 200);
    RecPictureStretchDraw(E.P, 96, 200, 8, 4, S.P, -50, -60, 4, 2, nullptr, 0, 0, 0);
    ExpectDC(E, [](int X, int Y) { return X < 4 && Y < 4 ? Colour(2 + X / 2, Y / 2) : 0u; });
    // A companion of S's size is the mask: all 0 leaves D alone.
    TPic M(4, 4, 8, -50, -60), F(4, 4, 24, 100, 200), Small(3, 4, 8);
    RecPictureStretchDraw(F.P, 100, 200, 4, 4, S.P, -50, -60, 4, 4, &M.P, 0, 0, 0);
    ExpectDC(F, [](int, int) { return 0u; });
    EXPECT_EQ(BmpMessageOf([&] { RecPictureStretchDraw(F.P, 100, 200, 4, 4, S.P, -50, -60, 4, 4, &Small.P, 0, 0, 0); }),
              "StretchDIB: Illegal Mask Size");
}

TEST(RecPictureStretch, PositionScalesAboutTheReferencePoint)
{
    TPic S(4, 4, 24, 30, -40);
    Fill(S);
    TPic D;
    RecPictureStretch(D.P, S.P, TPoint{0, 0}, 8, 8, 0, 0, 0);
    EXPECT_EQ(D.Place(), std::tuple(60, -80, 8, 8));
    EXPECT_EQ(D.Pixel(7, 5), Colour(3, 2));
    EXPECT_EQ(D.P.hDIBSection, nullptr);
    // Division truncates toward zero: (-6 - 1) x 6 div 4 = -10; (5 - 2) x 10 div 4 = 7.
    TPic T(4, 4, 24, -6, 5, true);
    RecPictureStretch(D.P, T.P, TPoint{1, 2}, 6, 10, 1, 1, 0);
    EXPECT_EQ(D.Place(), std::tuple(-9, 9, 6, 10));
    EXPECT_NE(D.P.hDIBSection, nullptr);
    RecPictureStretch(S.P, S.P, TPoint{0, 0}, 2, 2, 0, 0, 0); // into itself
    EXPECT_EQ(S.Place(), std::tuple(15, -20, 2, 2));
    EXPECT_EQ(S.Pixel(1, 1), Colour(2, 2));
}

TEST(RecPictureFillChecker, CellsFromTheFirstMemoryRow)
{
    TPic P(20, 17, 24);
    RecPictureFillChecker(P.P, 8, 0x112233, 0xA0B0C0);
    const int64_t Line = GetDIBLineSize(20, 24);
    for (int R = 0; R < 17; ++R)
        for (int X = 0; X < 20; ++X) {
            const bool First = ((X / 8) & 1) == ((R / 8) & 1);
            EXPECT_EQ(std::memcmp(P.P.pBits + R * Line + X * 3, First ? "\x33\x22\x11" : "\xC0\xB0\xA0", 3), 0);
        }
    // A cell size of 0 counts as 1: neighbours differ.
    RecPictureFillChecker(P.P, 0, 0x000001, 0x000002);
    EXPECT_EQ(std::tuple(P.P.pBits[0], P.P.pBits[3], P.P.pBits[Line]), std::tuple(1, 2, 2));
    TPic G(4, 4, 8);
    EXPECT_EQ(BmpMessageOf([&] { RecPictureFillChecker(G.P, 8, 0, 1); }), "RecPictureFillChecker: biBitCount <> 24");
}

TEST(RecPictureRotate, ZeroAngleAndQuarterTurnByHand)
{
    TPic S(4, 3, 24, 70, 80);
    Fill(S);
    // Centre (12, 21), rectangle (10, 20)-(13, 22): sx starts at 4/2 - 1.5 + 0.5 = 1,
    // sy at 3/2 - 0.5 + 0.5 = 1.5.
    TPic D, Q;
    RecPictureRotate(D.P, S.P, TPoint{12, 21}, TRect{10, 20, 13, 22}, 0.0, 0.0, 0.0, false);
    ASSERT_EQ(D.Place(), std::tuple(10, 20, 4, 3));
    ExpectDC(D, [](int I, int J) { return Colour((1 + I) % 4, (1 + J) % 3); });
    // Centre (0, 0), rectangle 3 wide, 4 high, offsets 0.25, corners in any order:
    // sx = 2 - 0.25 + 0.5 + 0.5 + J = 2.75 + J, sy = 1.5 - 0.25 - 0.5 + 0.5 - I = 1.25 - I.
    RecPictureRotate(Q.P, S.P, TPoint{0, 0}, TRect{2, 3, 0, 0}, std::numbers::pi / 2, 0.25, 0.25, false);
    ASSERT_EQ(Q.Place(), std::tuple(0, 0, 3, 4));
    ExpectDC(Q, [](int I, int J) { return Colour((2 + J) % 4, ((1 - I) % 3 + 3) % 3); });
}

TEST(RecPictureRotate, FarOffsetsWrapSmoothingWrapsAndBadNumbersAreRefused)
{
    TPic S(4, 3, 24);
    std::mt19937 Rng(1);
    for (int Y = 0; Y < 3; ++Y)
        for (int X = 0; X < 4; ++X)
            S.Set24(X, Y, Rng() & 0xFFFFFF);
    const TRect R{-5, -7, 9, 6};
    // Whole periods (width 4, height 3) added to the offsets change nothing.
    const double P40 = std::ldexp(1.0, 40);
    auto Rot = [&](double A, double OX, double OY, bool Smooth) {
        TPic T;
        RecPictureRotate(T.P, S.P, TPoint{1, 2}, R, A, OX, OY, Smooth);
        return std::vector<uint8_t>(T.P.pBits, T.P.pBits + RecPictureGetImageSize(T.P));
    };
    EXPECT_EQ(Rot(0.3, 1.5, 0.75, true), Rot(0.3, 1.5 + 4 * P40, 0.75 + 3 * P40, true));
    EXPECT_EQ(Rot(0.3, 1.5 - 4, 0.75 - 3, true), Rot(0.3, 1.5 - 4 * P40, 0.75 - 3 * P40, true));
    EXPECT_EQ(Rot(2.0, 0, 0, false), Rot(2.0, -4e20, 3e20, false));
    EXPECT_NE(Rot(0.3, 1.5, 0.75, true), Rot(2.0, 0, 0, false)); // the comparison can fail
    // Far beyond any whole number: still a picture (15 x 14), no error.
    EXPECT_EQ(Rot(1.0, 1e300, -1e300, false).size(), 48u * 14u);
    TPic Near;
    RecPictureRotate(Near.P, S.P, TPoint{1, 2}, R, 0.3, 1.5, 0.75, true);
    uint8_t* Before = Near.P.pBits;
    const double Nan = std::numeric_limits<double>::quiet_NaN();
    const double Inf = std::numeric_limits<double>::infinity();
    const std::string Msg = "RecPictureRotate: Illegal Param (angle or offset not finite)";
    EXPECT_EQ(BmpMessageOf([&] { RecPictureRotate(Near.P, S.P, TPoint{}, R, Nan, 0, 0, false); }), Msg);
    EXPECT_EQ(BmpMessageOf([&] { RecPictureRotate(Near.P, S.P, TPoint{}, R, 0, Inf, 0, false); }), Msg);
    EXPECT_EQ(BmpMessageOf([&] { RecPictureRotate(Near.P, S.P, TPoint{}, R, 0, 0, -Inf, true); }), Msg);
    EXPECT_EQ(Near.P.pBits, Before);
    TPic S2(2, 1, 8);
    S2.At(1, 0)[0] = 100;
    // sx = 1 + 0.25 + 0.5 - 0.5 = 1.25: pixel 1 (3/4) and pixel 0 wrapped (1/4);
    // both rows are row 0 (height 1). Then sx = 2.25: pixel 0 (3/4) and pixel 1 (1/4).
    TPic D;
    RecPictureRotate(D.P, S2.P, TPoint{0, 0}, TRect{0, 0, 1, 0}, 0.0, -0.25, 0.0, true);
    EXPECT_EQ(std::pair(D.At(0, 0)[0], D.At(1, 0)[0]), (std::pair<uint8_t, uint8_t>(75, 25)));
    TPic F(2, 2, 4);
    EXPECT_EQ(BmpMessageOf([&] { RecPictureRotate(D.P, F.P, TPoint{}, TRect{0, 0, 1, 1}, 0, 0, 0, false); }),
              "RecPictureRotate: Illegal biBitCount");
}
