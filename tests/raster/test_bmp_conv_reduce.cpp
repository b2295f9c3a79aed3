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

using Bytes = std::vector<uint8_t>;
using TColour = std::tuple<int, int, int>; // red, green, blue

TColour EntryColour(const RGBQUAD& E) { return {E.rgbRed, E.rgbGreen, E.rgbBlue}; }

const TColour Magenta{255, 0, 255}; // the transparent colour of these tests

// Table entries 0..N-1, or with Pixels the colours of the first N pixels of an 8-bit row.
std::vector<TColour> Colours(const TBmpTestDib& D, int N, bool Pixels = false)
{
    std::vector<TColour> V;
    for (int I = 0; I < N; ++I)
        V.push_back(EntryColour(D.Table()[Pixels ? D.Bits[I] : I]));
    return V;
}

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
    for (size_t I = 0; I < Colours.size(); ++I)
        SetBmpBGR(D.Bits + I * 3, uint8_t(std::get<0>(Colours[I])), uint8_t(std::get<1>(Colours[I])),
                  uint8_t(std::get<2>(Colours[I])));
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
            const uint8_t* P = Src.Row(Y) + X * 3;
            Sum += std::abs(P[2] - T[I].rgbRed) + std::abs(P[1] - T[I].rgbGreen) + std::abs(P[0] - T[I].rgbBlue);
        }
    return Sum / (3.0 * H->biWidth * H->biHeight);
}

using TReduced = TBmpTestDib; // the reduction's result blocks

void High(TReduced& R, const TBmpTestDib& Src, int32_t N, bool Dither = false, bool Transparent = false,
          const uint8_t* Mask = nullptr, int32_t Stride = 0, const uint32_t* Fixed = nullptr, int32_t FixedCount = 0,
          const TConvertProgressEvent& Progress = {}, int32_t cpType = 1)
{
    BmpConv24toNHigh(R.Header, R.Bits, Src.H(), Src.Bits, N, cpType, Dither, false, Transparent, Mask, Stride,
                     0x00FF00FF, Fixed, FixedCount, nullptr, Progress);
}

const std::vector<TColour> SixColours = {{255, 0, 0},     {0, 255, 0}, {0, 0, 255},
                                         {255, 255, 255}, {0, 0, 0},   {128, 64, 32}};

} // namespace

TEST(BmpConvHistogram, FewColoursExactly)
{
    const size_t Blocks = GlobalBlockCount();
    {
        // Six colours on a 4 x 3 grid: one entry per 5-6-5 cell, so 8 -> 24
        // gives the very same pixels back.
        TBmpTestDib D;
        MakeBmpTestDib(D, 4, 3, 24);
        for (int I = 0; I < 12; ++I)
            SetBmpBGR(D.Row(I / 4) + I % 4 * 3, uint8_t(std::get<0>(SixColours[I * 5 % 6])),
                      uint8_t(std::get<1>(SixColours[I * 5 % 6])), uint8_t(std::get<2>(SixColours[I * 5 % 6])));
        const Bytes Before(D.Bits, D.Bits + 36);
        ConvBmpTo8(D.Header, D.Bits);
        EXPECT_EQ(GlobalSize(D.Header), 1064u);
        EXPECT_EQ(BmpShape(D.H()), (std::vector<int64_t>{4, 3, 8, 12, 6}));
        ConvBmpTo24(D.Header, D.Bits);
        EXPECT_EQ(Bytes(D.Bits, D.Bits + 36), Before);
        // The 4-bit twin: first pixel of a pair in the high nibble.
        TBmpTestDib Four;
        MakeRow(Four, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
        uint8_t* Bits = BmpConv24to4B(Four.Header, Four.Bits);
        EXPECT_EQ(BmpShape(Four.H()), (std::vector<int64_t>{3, 1, 4, 4, 3}));
        const RGBQUAD* T = Four.Table();
        const std::vector<TColour> Got = {EntryColour(T[Bits[0] >> 4]), EntryColour(T[Bits[0] & 15]),
                                          EntryColour(T[Bits[1] >> 4])};
        EXPECT_EQ(Got, (std::vector<TColour>{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}));
        EXPECT_EQ(Bits[1] & 15, 0);
        GlobalFree(Bits);
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
    HGLOBAL Header = GlobalAlloc(GMEM_FIXED, 40), Header2 = GlobalAlloc(GMEM_FIXED, 40);
    std::memcpy(Header, D.Header, 40);
    std::memcpy(Header2, D.Header, 40);
    uint8_t* Bits = BmpConv24to8C(Header, D.Bits);
    uint8_t* Bits2 = BmpConv24to8C(Header2, D.Bits);
    const auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    EXPECT_EQ(H->biClrUsed, 256u);
    std::set<int> Used;
    // 256 boxes over 4096 colours on a plane: about 4 x 4 colours 4 levels
    // apart per box, so a few levels of error per channel on average.
    EXPECT_LT(MeanError(D, H, Bits, Used), 6.0);
    EXPECT_EQ(Used.size(), 256u);
    // Deterministic: the same picture gives the same pixels.
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
    auto Node = [&](int I) {
        const TDivideNode& N = Tree.Nodes[static_cast<size_t>(I)];
        return std::vector<int>{N.DivideID, N.Threshold, N.Lower, N.Upper, N.PaletteIndex};
    };
    auto Reds = [&](int N) {
        std::vector<int> V;
        for (int I = 0; I < N; ++I)
            V.push_back(Table[I].rgbRed);
        return V;
    };
    GetReducedColorsHigh(D.H(), D.Bits, Count, Table, Tree, 2, {}, 1, false, nullptr, 0, 0, nullptr, Abort);
    // Root splits red at the mean 137; the upper child is built first.
    EXPECT_EQ(Count, 4);
    EXPECT_EQ(Tree.Count, 7);
    EXPECT_EQ(Node(0), (std::vector<int>{0, 137, 4, 1, 0}));
    EXPECT_EQ(std::vector<int>({Node(1)[1], Node(4)[1], Node(2)[0], Node(2)[4], Node(6)[4]}),
              std::vector<int>({225, 50, 3, 0, 3}));
    EXPECT_EQ(Reds(4), (std::vector<int>{250, 200, 100, 0}));
    // Full palette and a transparent entry: the pair split by the smallest
    // spread (200 | 250, range 50) is merged.
    GetReducedColorsHigh(D.H(), D.Bits, Count, Table, Tree, 2, {}, 1, true, nullptr, 0, 0x00FF00FF, nullptr, Abort);
    EXPECT_EQ(Count, 3);
    EXPECT_EQ(Reds(3), (std::vector<int>{225, 0, 100}));
    EXPECT_EQ(EntryColour(Table[3]), Magenta);
    EXPECT_EQ(std::pair(Node(3)[4], Node(6)[4]), std::pair(0, 1));
    // The same through the converter: the transparent colour ends as entry 0.
    Bytes Mask(4, 0);
    TReduced R;
    High(R, D, 4, false, true, Mask.data(), 4);
    EXPECT_EQ(R.H()->biClrUsed, 4u);
    EXPECT_EQ(EntryColour(R.Table()[0]), Magenta);
    EXPECT_EQ(Bytes(R.Bits, R.Bits + 4), (Bytes{1, 2, 3, 3}));
    EXPECT_EQ(R.Table()[3].rgbRed, 225);
    TReduced Bad;
    EXPECT_EQ(BmpMessageOf([&] { High(Bad, D, 1, false, true, Mask.data(), 4); }),
              "GetReducedColorsHigh: Invalid Index");
    EXPECT_TRUE(!Bad.Header && !Bad.Bits);
}

TEST(BmpConvHigh, ColourCounts)
{
    TBmpTestDib G;
    MakeGradient(G);
    for (int32_t cpType : {0, 1}) {
        // 64 boxes of about 8 x 8 colours 4 levels apart: about 8 levels per
        // channel; asked for 200, depth 8 halves an even grid into 256 full boxes.
        for (auto [N, Want, MaxError] : {std::tuple{64, 64u, 12.0}, std::tuple{200, 256u, 6.0}}) {
            TReduced R;
            High(R, G, N, false, false, nullptr, 0, nullptr, 0, {}, cpType);
            EXPECT_EQ(R.H()->biClrUsed, Want);
            std::set<int> Used;
            EXPECT_LT(MeanError(G, R.H(), R.Bits, Used), MaxError);
            EXPECT_EQ(Used.size(), Want);
        }
    }
    TBmpTestDib Six, One;
    MakeRow(Six, SixColours);
    MakeRow(One, {{5, 6, 7}, {5, 6, 7}, {5, 6, 7}});
    TReduced R, R1;
    High(R, Six, 64);
    High(R1, One, 64);
    EXPECT_EQ(R.H()->biClrUsed, 6u);
    EXPECT_EQ(Colours(R, 6, true), SixColours);
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
    EXPECT_EQ(Bytes(Plain.Bits, Plain.Bits + 4), (Bytes{1, 1, 1, 1}));
    EXPECT_EQ(Bytes(Dith.Bits, Dith.Bits + 4), (Bytes{1, 0, 1, 0}));
    // One column: the whole lower share (1/8 + 1/4 + 1/8) lands on the pixel
    // below, rows going from the top down.
    TBmpTestDib Col;
    MakeBmpTestDib(Col, 1, 2, 24);
    std::memset(Col.Bits, 128, 7);
    TReduced C;
    High(C, Col, 2, true, false, nullptr, 0, BW, 2);
    // Top white; bottom 128 - 127/2: black.
    EXPECT_EQ(std::pair(C.Bits[4], C.Bits[0]), (std::pair<uint8_t, uint8_t>(1, 0)));
}

TEST(BmpConvHigh, TransparentEntry)
{
    // Top row red, red, green, (yellow masked); bottom row blue, (yellow masked), green, red.
    const TColour Px[2][4] = {{{255, 0, 0}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}},
                              {{0, 0, 255}, {255, 255, 0}, {0, 255, 0}, {255, 0, 0}}};
    TBmpTestDib D;
    MakeBmpTestDib(D, 4, 2, 24);
    for (int I = 0; I < 8; ++I)
        SetBmpBGR(D.Row(I / 4) + I % 4 * 3, uint8_t(std::get<0>(Px[I / 4][I % 4])),
                  uint8_t(std::get<1>(Px[I / 4][I % 4])), uint8_t(std::get<2>(Px[I / 4][I % 4])));
    const uint8_t Mask[8] = {0, 1, 0, 0, /* top row: */ 0, 0, 0, 1}; // bottom-up like the picture
    for (bool Dither : {false, true}) {
        TReduced R;
        High(R, D, 64, Dither, true, Mask + 4, 4);
        EXPECT_EQ(R.H()->biClrUsed, 4u);
        EXPECT_EQ(EntryColour(R.Table()[0]), Magenta);
        for (int I = 0; I < 8; ++I) {
            const int Index = *GetDIBPixelPtr(R.H(), R.Bits, I % 4, I / 4);
            if (Px[I / 4][I % 4] == TColour{255, 255, 0}) {
                EXPECT_EQ(Index, 0);
            } else if (!Dither) {
                EXPECT_EQ(EntryColour(R.Table()[Index]), Px[I / 4][I % 4]);
            }
        }
    }
}

// A transparent request without a mask: the entry is made, no pixel uses it.
TEST(BmpConvFaults, TransparentWithoutMask)
{
    TBmpTestDib D;
    MakeRow(D, SixColours);
    TReduced R;
    High(R, D, 64, true, true, nullptr, 0);
    EXPECT_EQ(std::pair(R.H()->biClrUsed, EntryColour(R.Table()[0])), std::pair(7u, Magenta));
    EXPECT_EQ(Colours(R, 6, true), SixColours);
    EXPECT_EQ(std::count(R.Bits, R.Bits + 6, 0), 0);
}

// Fixed colours that fit replace the reduction; pixels take the nearest.
TEST(BmpConvHigh, FixedPalette)
{
    TBmpTestDib D;
    MakeRow(D, SixColours);
    const uint32_t Rgb[3] = {0x0000FF, 0x00FF00, 0xFF0000}; // COLORREF: red in the low byte
    TReduced R, T, Small;
    High(R, D, 64, false, false, nullptr, 0, Rgb, 3);
    EXPECT_EQ(R.H()->biClrUsed, 3u);
    EXPECT_EQ(Colours(R, 3), (std::vector<TColour>{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}));
    // White and black are equally far from all three: the lowest index wins.
    EXPECT_EQ(Bytes(R.Bits, R.Bits + 6), (Bytes{0, 1, 2, 0, 0, 0}));
    // With the transparent entry after them, then moved to entry 0.
    High(T, D, 64, false, true, nullptr, 0, Rgb, 3);
    EXPECT_EQ(T.H()->biClrUsed, 4u);
    EXPECT_EQ(Colours(T, 4), (std::vector<TColour>{Magenta, {0, 255, 0}, {0, 0, 255}, {255, 0, 0}}));
    EXPECT_EQ(Bytes(T.Bits, T.Bits + 6), (Bytes{3, 1, 2, 3, 3, 3}));
    High(Small, D, 2, false, false, nullptr, 0, Rgb, 3); // N below the fixed count: reduced as usual
    EXPECT_EQ(Small.H()->biClrUsed, 2u);
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
        EXPECT_EQ((std::vector{Calls[0], Calls[3], Calls[4], Calls[67], Calls[68]}),
                  (std::vector<std::pair<std::string, int32_t>>{
                      {"パレット作成中", 25}, {"パレット作成中", 100}, {"画像生成中", 1}, {"画像生成中", 100}, {"画像生成中", 100}}));
        for (int32_t Stop : {2, 10}) { // in the palette, then in the pixels
            Calls.clear();
            StopAt = Stop;
            TReduced A;
            High(A, G, 4, false, false, nullptr, 0, nullptr, 0, Record);
            EXPECT_TRUE(!A.Header && !A.Bits);
            EXPECT_EQ(static_cast<int32_t>(Calls.size()), Stop);
        }
        TReduced E, F, Bad;
        EXPECT_EQ(BmpMessageOf([&] { High(E, G, 4, false, false, nullptr, 0, nullptr, 0, {}, 2); }),
                  "CutPixels: Invalid cpType");
        EXPECT_TRUE(!E.Header && !E.Bits);
        E.Bits = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, 1));
        EXPECT_EQ(BmpMessageOf([&] { High(E, G, 4); }), "BmpConv24toNHigh: Parameter Error");
        EXPECT_EQ(BmpMessageOf([&] { High(Bad, G, 257); }), "BmpConv24toNHigh: Parameter Error");
        TBmpTestDib Eight;
        MakeBmpTestDib(Eight, 2, 2, 8);
        EXPECT_EQ(BmpMessageOf([&] { High(F, Eight, 4); }), "BmpConv24toNHigh: biBitCount <> 24");
    }
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}
