#include "raster/palette_reduce.h"

#include "bmp_conv_test_util.h"
#include "raster/bmp_conv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>
#include <tuple>
#include <vector>

namespace {

using TColour = std::tuple<int, int, int>; // red, green, blue

TColour EntryColour(const RGBQUAD& E) { return {E.rgbRed, E.rgbGreen, E.rgbBlue}; }
TColour PixelColour(const uint8_t* P) { return {P[2], P[1], P[0]}; }

// A 64 x 64 picture of 4096 different colours.
void MakeGradient(TBmpTestDib& D)
{
    MakeBmpTestDib(D, 64, 64, 24);
    for (int Y = 0; Y < 64; ++Y)
        for (int X = 0; X < 64; ++X)
            SetBmpBGR(D.Row(Y) + X * 3, static_cast<uint8_t>(X * 4), static_cast<uint8_t>(Y * 4),
                      static_cast<uint8_t>(X * 2 + Y * 2));
}

// A picture of the given colours, one pixel each, on one row.
void MakeRow(TBmpTestDib& D, const std::vector<TColour>& Colours)
{
    MakeBmpTestDib(D, static_cast<int32_t>(Colours.size()), 1, 24);
    for (size_t I = 0; I < Colours.size(); ++I) {
        const auto [R, G, B] = Colours[I];
        SetBmpBGR(D.Bits + I * 3, static_cast<uint8_t>(R), static_cast<uint8_t>(G), static_cast<uint8_t>(B));
    }
}

// Per-channel mean absolute difference between a 24-bit source and an
// 8-bit palette picture of the same size; also the set of indices used.
double MeanError(const TBmpTestDib& Src, const BITMAPINFOHEADER* H, const uint8_t* Bits, std::set<int>& Used)
{
    const RGBQUAD* T = DIBColorTable(H);
    double Sum = 0;
    for (int Y = 0; Y < H->biHeight; ++Y)
        for (int X = 0; X < H->biWidth; ++X) {
            const int I = *GetDIBPixelPtr(H, Bits, X, Y);
            Used.insert(I);
            const auto [R, G, B] = PixelColour(Src.Row(Y) + X * 3);
            Sum += std::abs(R - T[I].rgbRed) + std::abs(G - T[I].rgbGreen) + std::abs(B - T[I].rgbBlue);
        }
    return Sum / (3.0 * H->biWidth * H->biHeight);
}

struct TReduced {
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    ~TReduced()
    {
        if (Bits)
            GlobalFree(Bits);
        if (Header)
            GlobalFree(Header);
    }
    const BITMAPINFOHEADER* H() const { return static_cast<BITMAPINFOHEADER*>(Header); }
    const RGBQUAD* Table() const { return DIBColorTable(H()); }
};

void High(TReduced& R, const TBmpTestDib& Src, int32_t N, bool Dither = false, bool Transparent = false,
          const uint8_t* Mask = nullptr, int32_t Stride = 0, const uint32_t* Fixed = nullptr, int32_t FixedCount = 0,
          const TConvertProgressEvent& Progress = {}, int32_t cpType = 1)
{
    BmpConv24toNHigh(R.Header, R.Bits, Src.H(), Src.Bits, N, cpType, Dither, false, Transparent, Mask, Stride,
                     0x00FF00FF, Fixed, FixedCount, nullptr, Progress);
}

const std::vector<TColour> SixColours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {0, 0, 0}, {128, 64, 32}};

} // namespace

TEST(BmpConvHistogram, FewColoursExactly)
{
    const size_t Blocks = GlobalBlockCount();
    {
        TBmpTestDib D;
        MakeBmpTestDib(D, 4, 3, 24);
        for (int I = 0; I < 12; ++I) {
            const auto [R, G, B] = SixColours[static_cast<size_t>(I * 5 % 6)];
            SetBmpBGR(D.Row(I / 4) + I % 4 * 3, static_cast<uint8_t>(R), static_cast<uint8_t>(G), static_cast<uint8_t>(B));
        }
        std::vector<TColour> Expected;
        for (int Y = 0; Y < 3; ++Y)
            for (int X = 0; X < 4; ++X)
                Expected.push_back(PixelColour(D.Row(Y) + X * 3));
        uint8_t* Bits = BmpConv24to8C(D.Header, D.Bits);
        EXPECT_EQ(GlobalSize(D.Header), 1064u);
        EXPECT_EQ(D.H()->biBitCount, 8);
        EXPECT_EQ(D.H()->biClrUsed, 6u); // one entry per 5-6-5 cell
        EXPECT_EQ(D.H()->biCompression, BI_RGB);
        EXPECT_EQ(D.H()->biSizeImage, 12u);
        for (int Y = 0; Y < 3; ++Y)
            for (int X = 0; X < 4; ++X)
                EXPECT_EQ(EntryColour(D.Table()[*GetDIBPixelPtr(D.H(), Bits, X, Y)]),
                          Expected[static_cast<size_t>(Y * 4 + X)]);
        GlobalFree(Bits);

        TBmpTestDib One;
        MakeBmpTestDib(One, 5, 5, 24);
        for (int Y = 0; Y < 5; ++Y)
            for (int X = 0; X < 5; ++X)
                SetBmpBGR(One.Row(Y) + X * 3, 10, 20, 30);
        Bits = BmpConv24to8C(One.Header, One.Bits);
        EXPECT_EQ(One.H()->biClrUsed, 1u);
        EXPECT_EQ(EntryColour(One.Table()[0]), (TColour{10, 20, 30}));
        GlobalFree(Bits);

        // The 4-bit twin: first pixel of a pair in the high nibble.
        TBmpTestDib Four;
        MakeRow(Four, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
        Bits = BmpConv24to4B(Four.Header, Four.Bits);
        EXPECT_EQ(Four.H()->biBitCount, 4);
        EXPECT_EQ(Four.H()->biClrUsed, 3u);
        EXPECT_EQ(Four.H()->biSizeImage, 4u);
        EXPECT_EQ(EntryColour(Four.Table()[Bits[0] >> 4]), (TColour{255, 0, 0}));
        EXPECT_EQ(EntryColour(Four.Table()[Bits[0] & 15]), (TColour{0, 255, 0}));
        EXPECT_EQ(EntryColour(Four.Table()[Bits[1] >> 4]), (TColour{0, 0, 255}));
        EXPECT_EQ(Bits[1] & 15, 0);
        GlobalFree(Bits);

        // Round trip through the in-place wrappers.
        TBmpTestDib Trip;
        MakeRow(Trip, SixColours);
        const std::vector<uint8_t> Before(Trip.Bits, Trip.Bits + 20);
        ConvBmpTo8(Trip.Header, Trip.Bits);
        EXPECT_EQ(Trip.H()->biBitCount, 8);
        ConvBmpTo24(Trip.Header, Trip.Bits);
        EXPECT_EQ(std::vector<uint8_t>(Trip.Bits, Trip.Bits + 20), Before);

        TBmpTestDib Eight;
        MakeBmpTestDib(Eight, 2, 2, 8, 5);
        HGLOBAL Kept = Eight.Header;
        EXPECT_EQ(BmpMessageOf([&] { BmpConv24to8C(Eight.Header, Eight.Bits); }),
                  "BmpConv24to8C/ConvertTo8BitRGB: pBInfo^.biBitCount <> 24");
        EXPECT_EQ(BmpMessageOf([&] { BmpConv24to4B(Eight.Header, Eight.Bits); }),
                  "BmpConv24to4B/ConvertTo8BitRGB: pBInfo^.biBitCount <> 24");
        EXPECT_EQ(Eight.Header, Kept);
        EXPECT_EQ(Eight.H()->biClrUsed, 5u);
    }
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(BmpConvHistogram, ManyColours)
{
    TBmpTestDib D;
    MakeGradient(D);
    HGLOBAL Header = GlobalAlloc(GMEM_FIXED, 40);
    std::memcpy(Header, D.Header, 40);
    uint8_t* Bits = BmpConv24to8C(Header, D.Bits);
    const auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    EXPECT_EQ(H->biClrUsed, 256u);
    std::set<int> Used;
    // 256 boxes over 4096 colours on a plane: about 4 x 4 colours 4 levels
    // apart per box, so a few levels of error per channel on average.
    EXPECT_LT(MeanError(D, H, Bits, Used), 6.0);
    EXPECT_EQ(Used.size(), 256u);

    // Deterministic: the same picture gives the same pixels.
    HGLOBAL Header2 = GlobalAlloc(GMEM_FIXED, 40);
    std::memcpy(Header2, D.Header, 40);
    uint8_t* Bits2 = BmpConv24to8C(Header2, D.Bits);
    EXPECT_EQ(std::memcmp(Bits, Bits2, 64 * 64), 0);
    EXPECT_EQ(std::memcmp(Header, Header2, 1064), 0);
    for (HGLOBAL B : {Header, Header2, static_cast<HGLOBAL>(Bits), static_cast<HGLOBAL>(Bits2)})
        GlobalFree(B);
}

TEST(BmpConvHigh, DivisionTreeAndMerge)
{
    TBmpTestDib D;
    MakeRow(D, {{0, 0, 0}, {100, 0, 0}, {200, 0, 0}, {250, 0, 0}});
    RGBQUAD Table[256];
    TDivideTree Tree;
    int32_t Count = -1;
    bool Abort = false;
    GetReducedColorsHigh(D.H(), D.Bits, Count, Table, Tree, 2, {}, 1, false, nullptr, 0, 0, nullptr, Abort);
    // Root splits red at the mean 137; the upper child is built first.
    EXPECT_EQ(Count, 4);
    EXPECT_EQ(Tree.Count, 7);
    EXPECT_EQ(Tree.Nodes[0].DivideID, 0);
    EXPECT_EQ(Tree.Nodes[0].Threshold, 137);
    EXPECT_EQ(Tree.Nodes[0].Upper, 1);
    EXPECT_EQ(Tree.Nodes[0].Lower, 4);
    EXPECT_EQ(Tree.Nodes[1].Threshold, 225);
    EXPECT_EQ(Tree.Nodes[4].Threshold, 50);
    EXPECT_EQ(Tree.Nodes[2].DivideID, 3);
    EXPECT_EQ(Tree.Nodes[2].PaletteIndex, 0);
    EXPECT_EQ(Tree.Nodes[6].PaletteIndex, 3);
    const int Reds[4] = {250, 200, 100, 0};
    for (int I = 0; I < 4; ++I)
        EXPECT_EQ(Table[I].rgbRed, Reds[I]);

    // Full palette and a transparent entry: the pair split by the smallest
    // spread (200 | 250, range 50) is merged.
    GetReducedColorsHigh(D.H(), D.Bits, Count, Table, Tree, 2, {}, 1, true, nullptr, 0, 0x00FF00FF, nullptr, Abort);
    EXPECT_EQ(Count, 3);
    EXPECT_EQ(Table[0].rgbRed, 225);
    EXPECT_EQ(Table[1].rgbRed, 0);
    EXPECT_EQ(Table[2].rgbRed, 100);
    EXPECT_EQ(EntryColour(Table[3]), (TColour{255, 0, 255}));
    EXPECT_EQ(Tree.Nodes[3].PaletteIndex, 0);
    EXPECT_EQ(Tree.Nodes[6].PaletteIndex, 1);

    // The same through the converter: the transparent colour ends as entry 0.
    std::vector<uint8_t> Mask(4, 0);
    TReduced R;
    High(R, D, 4, false, true, Mask.data(), 4);
    EXPECT_EQ(R.H()->biClrUsed, 4u);
    EXPECT_EQ(EntryColour(R.Table()[0]), (TColour{255, 0, 255}));
    EXPECT_EQ(std::vector<uint8_t>(R.Bits, R.Bits + 4), (std::vector<uint8_t>{1, 2, 3, 3}));
    EXPECT_EQ(R.Table()[3].rgbRed, 225);

    TReduced Bad;
    EXPECT_EQ(BmpMessageOf([&] { High(Bad, D, 1, false, true, Mask.data(), 4); }),
              "GetReducedColorsHigh: Invalid Index");
    EXPECT_EQ(Bad.Header, nullptr);
    EXPECT_EQ(Bad.Bits, nullptr);
}

TEST(BmpConvHigh, ColourCounts)
{
    TBmpTestDib G;
    MakeGradient(G);
    for (int32_t cpType : {0, 1}) {
        TReduced R64;
        High(R64, G, 64, false, false, nullptr, 0, nullptr, 0, {}, cpType);
        EXPECT_EQ(R64.H()->biClrUsed, 64u);
        EXPECT_EQ(R64.H()->biBitCount, 8);
        std::set<int> Used;
        // 64 boxes of about 8 x 8 colours 4 levels apart: about 8 levels per channel.
        EXPECT_LT(MeanError(G, R64.H(), R64.Bits, Used), 12.0);
        EXPECT_EQ(Used.size(), 64u);
        TReduced R200;
        High(R200, G, 200, false, false, nullptr, 0, nullptr, 0, {}, cpType);
        // Depth 8; halving an even grid of colours leaves no box empty.
        EXPECT_EQ(R200.H()->biClrUsed, 256u);
        Used.clear();
        EXPECT_LT(MeanError(G, R200.H(), R200.Bits, Used), 6.0);
        EXPECT_EQ(Used.size(), R200.H()->biClrUsed);
    }

    TBmpTestDib Six;
    MakeRow(Six, SixColours);
    TReduced R;
    High(R, Six, 64);
    EXPECT_EQ(R.H()->biClrUsed, 6u);
    for (int X = 0; X < 6; ++X)
        EXPECT_EQ(EntryColour(R.Table()[R.Bits[X]]), SixColours[static_cast<size_t>(X)]);
    TBmpTestDib One;
    MakeRow(One, {{5, 6, 7}, {5, 6, 7}, {5, 6, 7}});
    TReduced R1;
    High(R1, One, 64);
    EXPECT_EQ(R1.H()->biClrUsed, 1u);
}

TEST(BmpConvHigh, DitheringByHand)
{
    // Grey 128 against black and white: 128 -> white (error -127), then the
    // carried half of the error pulls the next pixel to black, and so on.
    TBmpTestDib D;
    MakeRow(D, {{128, 128, 128}, {128, 128, 128}, {128, 128, 128}, {128, 128, 128}});
    const uint32_t BW[2] = {0x000000, 0xFFFFFF};
    TReduced Plain, Dith;
    High(Plain, D, 2, false, false, nullptr, 0, BW, 2);
    High(Dith, D, 2, true, false, nullptr, 0, BW, 2);
    EXPECT_EQ(Plain.H()->biClrUsed, 2u);
    EXPECT_EQ(std::vector<uint8_t>(Plain.Bits, Plain.Bits + 4), (std::vector<uint8_t>{1, 1, 1, 1}));
    EXPECT_EQ(std::vector<uint8_t>(Dith.Bits, Dith.Bits + 4), (std::vector<uint8_t>{1, 0, 1, 0}));

    // One column: the whole lower share (1/8 + 1/4 + 1/8) lands on the pixel
    // below, rows going from the top down.
    TBmpTestDib Col;
    MakeBmpTestDib(Col, 1, 2, 24);
    SetBmpBGR(Col.Bits, 128, 128, 128);
    SetBmpBGR(Col.Bits + 4, 128, 128, 128);
    TReduced C;
    High(C, Col, 2, true, false, nullptr, 0, BW, 2);
    EXPECT_EQ(C.Bits[4], 1); // top: white
    EXPECT_EQ(C.Bits[0], 0); // bottom: 128 - 127/2 -> black

    TBmpTestDib G;
    MakeGradient(G);
    TReduced A, B, N;
    High(A, G, 16, true);
    High(B, G, 16, true);
    High(N, G, 16, false);
    EXPECT_EQ(std::memcmp(A.Bits, B.Bits, 64 * 64), 0);
    EXPECT_NE(std::memcmp(A.Bits, N.Bits, 64 * 64), 0);
}

TEST(BmpConvHigh, TransparentEntry)
{
    // Top row red, red, green, (yellow masked); bottom row blue, (yellow masked), green, red.
    TBmpTestDib D;
    MakeBmpTestDib(D, 4, 2, 24);
    const TColour Px[2][4] = {{{255, 0, 0}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}},
                              {{0, 0, 255}, {255, 255, 0}, {0, 255, 0}, {255, 0, 0}}};
    for (int Y = 0; Y < 2; ++Y)
        for (int X = 0; X < 4; ++X) {
            const auto [R, G, B] = Px[Y][X];
            SetBmpBGR(D.Row(Y) + X * 3, static_cast<uint8_t>(R), static_cast<uint8_t>(G), static_cast<uint8_t>(B));
        }
    const uint8_t Mask[8] = {0, 1, 0, 0, /* top row: */ 0, 0, 0, 1}; // bottom-up like the picture
    for (bool Dither : {false, true}) {
        TReduced R;
        High(R, D, 64, Dither, true, Mask + 4, 4);
        EXPECT_EQ(R.H()->biClrUsed, 4u);
        EXPECT_EQ(EntryColour(R.Table()[0]), (TColour{255, 0, 255}));
        for (int Y = 0; Y < 2; ++Y)
            for (int X = 0; X < 4; ++X) {
                const int I = *GetDIBPixelPtr(R.H(), R.Bits, X, Y);
                if (std::get<0>(Px[Y][X]) == 255 && std::get<1>(Px[Y][X]) == 255) {
                    EXPECT_EQ(I, 0);
                } else if (!Dither) {
                    EXPECT_EQ(EntryColour(R.Table()[I]), Px[Y][X]);
                }
            }
    }

    // Full palette: only the merged pair changes; the others keep their colours.
    TBmpTestDib G;
    MakeGradient(G);
    std::vector<uint8_t> Clear(64 * 64, 0);
    TReduced Full, Trans;
    High(Full, G, 8);
    High(Trans, G, 8, false, true, Clear.data() + 63 * 64, 64);
    ASSERT_EQ(Full.H()->biClrUsed, 8u);
    ASSERT_EQ(Trans.H()->biClrUsed, 8u);
    EXPECT_EQ(EntryColour(Trans.Table()[0]), (TColour{255, 0, 255}));
    std::multiset<TColour> Before, After;
    for (int I = 0; I < 8; ++I)
        Before.insert(EntryColour(Full.Table()[I]));
    for (int I = 1; I < 8; ++I)
        After.insert(EntryColour(Trans.Table()[I]));
    std::vector<TColour> Gone, New;
    std::set_difference(Before.begin(), Before.end(), After.begin(), After.end(), std::back_inserter(Gone));
    std::set_difference(After.begin(), After.end(), Before.begin(), Before.end(), std::back_inserter(New));
    ASSERT_EQ(Gone.size(), 2u);
    ASSERT_EQ(New.size(), 1u);
    EXPECT_EQ(std::get<0>(New[0]), (std::get<0>(Gone[0]) + std::get<0>(Gone[1])) >> 1);
    EXPECT_EQ(std::get<1>(New[0]), (std::get<1>(Gone[0]) + std::get<1>(Gone[1])) >> 1);
    std::set<int> Used;
    MeanError(G, Trans.H(), Trans.Bits, Used);
    EXPECT_EQ(Used.count(0), 0u); // nothing is masked
}

// Fixed colours that fit replace the reduction; pixels take the nearest.
TEST(BmpConvHigh, FixedPalette)
{
    TBmpTestDib D;
    MakeRow(D, SixColours);
    const uint32_t Rgb[3] = {0x0000FF, 0x00FF00, 0xFF0000}; // COLORREF: red in the low byte
    TReduced R;
    High(R, D, 64, false, false, nullptr, 0, Rgb, 3);
    EXPECT_EQ(R.H()->biClrUsed, 3u);
    EXPECT_EQ(EntryColour(R.Table()[0]), (TColour{255, 0, 0}));
    EXPECT_EQ(EntryColour(R.Table()[2]), (TColour{0, 0, 255}));
    // White and black are equally far from all three: the lowest index wins.
    EXPECT_EQ(std::vector<uint8_t>(R.Bits, R.Bits + 6), (std::vector<uint8_t>{0, 1, 2, 0, 0, 0}));
    TReduced T; // with the transparent entry after them, then moved to entry 0
    High(T, D, 64, false, true, nullptr, 0, Rgb, 3);
    EXPECT_EQ(T.H()->biClrUsed, 4u);
    EXPECT_EQ(EntryColour(T.Table()[0]), (TColour{255, 0, 255}));
    EXPECT_EQ(EntryColour(T.Table()[3]), (TColour{255, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(T.Bits, T.Bits + 6), (std::vector<uint8_t>{3, 1, 2, 3, 3, 3}));
    TReduced Small; // N below the fixed count: reduced as usual
    High(Small, D, 2, false, false, nullptr, 0, Rgb, 3);
    EXPECT_EQ(Small.H()->biClrUsed, 2u);
}

// A transparent request without a mask: the entry is made, no pixel uses it.
TEST(BmpConvFaults, TransparentWithoutMask)
{
    TBmpTestDib D;
    MakeRow(D, SixColours);
    TReduced R;
    High(R, D, 64, true, true, nullptr, 0);
    EXPECT_EQ(R.H()->biClrUsed, 7u);
    EXPECT_EQ(EntryColour(R.Table()[0]), (TColour{255, 0, 255}));
    for (int X = 0; X < 6; ++X) {
        EXPECT_NE(R.Bits[X], 0);
        EXPECT_EQ(EntryColour(R.Table()[R.Bits[X]]), SixColours[static_cast<size_t>(X)]);
    }
}

TEST(BmpConvHigh, ProgressAbortAndErrors)
{
    const size_t Blocks = GlobalBlockCount();
    {
        TBmpTestDib G;
        MakeGradient(G);
        std::vector<std::pair<std::string, int32_t>> Calls;
        int32_t StopAt = -1;
        const TConvertProgressEvent Record = [&](void*, int32_t Percent, const std::string& Msg, bool& Cancel) {
            Calls.emplace_back(Msg, Percent);
            Cancel = static_cast<int32_t>(Calls.size()) == StopAt;
        };
        TReduced R;
        High(R, G, 4, false, false, nullptr, 0, nullptr, 0, Record);
        ASSERT_EQ(Calls.size(), 4u + 64u + 1u);
        EXPECT_EQ(Calls[0], (std::pair<std::string, int32_t>{"パレット作成中", 25}));
        EXPECT_EQ(Calls[3], (std::pair<std::string, int32_t>{"パレット作成中", 100}));
        EXPECT_EQ(Calls[4], (std::pair<std::string, int32_t>{"画像生成中", 1}));
        EXPECT_EQ(Calls[67], (std::pair<std::string, int32_t>{"画像生成中", 100}));
        EXPECT_EQ(Calls[68], (std::pair<std::string, int32_t>{"画像生成中", 100}));

        for (int32_t Stop : {2, 10}) { // in the palette, then in the pixels
            Calls.clear();
            StopAt = Stop;
            TReduced A;
            High(A, G, 4, false, false, nullptr, 0, nullptr, 0, Record);
            EXPECT_EQ(A.Header, nullptr);
            EXPECT_EQ(A.Bits, nullptr);
            EXPECT_EQ(static_cast<int32_t>(Calls.size()), Stop);
        }

        TReduced E;
        EXPECT_EQ(BmpMessageOf([&] { High(E, G, 4, false, false, nullptr, 0, nullptr, 0, {}, 2); }),
                  "CutPixels: Invalid cpType");
        EXPECT_EQ(E.Header, nullptr);
        EXPECT_EQ(E.Bits, nullptr);
        E.Bits = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, 1));
        EXPECT_EQ(BmpMessageOf([&] { High(E, G, 4); }), "BmpConv24toNHigh: Parameter Error");
        TBmpTestDib Eight;
        MakeBmpTestDib(Eight, 2, 2, 8);
        TReduced F;
        EXPECT_EQ(BmpMessageOf([&] { High(F, Eight, 4); }), "BmpConv24toNHigh: biBitCount <> 24");
        TReduced Bad;
        EXPECT_EQ(BmpMessageOf([&] { High(Bad, G, 257); }), "BmpConv24toNHigh: Parameter Error");
    }
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}
