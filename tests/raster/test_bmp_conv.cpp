#include "raster/bmp_conv.h"

#include "bmp_conv_test_util.h"
#include "foundation/user_error.h"
#include "platform/hostile_files.h"
#include "platform/regular_file.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace {

using Bytes = std::vector<uint8_t>;

// Pixel X of a 24-bit row as 0xRRGGBB.
uint32_t Px(const uint8_t* Row, int X)
{
    return uint32_t{Row[X * 3 + 2]} << 16 | uint32_t{Row[X * 3 + 1]} << 8 | Row[X * 3];
}

// Saves D to a file of the temporary folder and reads the bytes back.
Bytes SavedBytes(const TBmpTestDib& D, bool FullTable)
{
    TTempDir Dir;
    EXPECT_TRUE(SaveBmpFile(Dir / "a.bmp", D.H(), D.Bits, FullTable));
    const std::string B = Dir.Get("a.bmp");
    return Bytes(B.begin(), B.end());
}

uint32_t Le32(const Bytes& B, size_t At)
{
    return B[At] | B[At + 1] << 8 | B[At + 2] << 16 | uint32_t{B[At + 3]} << 24;
}

} // namespace

TEST(BmpConvGeometry, RowSizesAddressesAndPlacedRects)
{
    EXPECT_EQ(GetDIBLineSize(33, 1), 8);
    EXPECT_EQ(GetDIBLineSize(9, 4), 8);
    EXPECT_EQ(GetDIBLineSize(5, 24), 16);
    EXPECT_EQ(GetDIBLineSize(0x7FFFFFFF, 32), int64_t{0x7FFFFFFF} * 4); // no wrap beyond 32 bits
    BITMAPINFOHEADER Big{40, 65536, 65536, 1, 8, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(GetDIBImageSize(&Big), int64_t{1} << 32);
    uint8_t Buf[64] = {};
    BITMAPINFOHEADER H24{40, 3, 2, 1, 24, 0, 0, 0, 0, 0, 0}, H4{40, 5, 3, 1, 4, 0, 0, 0, 0, 0, 0},
        H1{40, 10, 3, 1, 1, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(GetDIBPixelPtr(&H24, Buf, 0, 0), Buf + 12); // top row is the last in memory
    EXPECT_EQ(GetDIBPixelPtr(&H24, Buf, 2, 1), Buf + 6);
    for (TPoint Out : {TPoint{3, 0}, TPoint{-1, 0}, TPoint{0, 2}})
        EXPECT_EQ(GetDIBPixelPtr(&H24, Buf, Out.X, Out.Y), nullptr);
    EXPECT_EQ(GetDIBPixelPtr(&H4, Buf, 3, 0), Buf + 2 * 4 + 1);
    EXPECT_EQ(GetDIBPixelPtr(&H1, Buf, 9, 2), Buf + 1);
    uint8_t* Addr = nullptr;
    int64_t Line = 0;
    GetDIBTilePixelPtr(TPoint{10, 20}, &H24, Buf, TPoint{8, 20}, Addr, Line);
    EXPECT_EQ(Line, 12);
    EXPECT_EQ(Addr, Buf + 12 + 3); // dx = -2 mod 3 = 1, dy = 0
    GetDIBTilePixelPtr(TPoint{10, 20}, &H24, Buf, TPoint{13, 23}, Addr, Line);
    EXPECT_EQ(Addr, Buf); // dx = 0, dy = 1
    BITMAPINFOHEADER Empty{40, 0, 2, 1, 24, 0, 0, 0, 0, 0, 0};
    GetDIBTilePixelPtr(TPoint{0, 0}, &Empty, Buf, TPoint{5, 5}, Addr, Line);
    EXPECT_EQ(Addr, nullptr);
    TPoint P;
    int32_t W = 0, H = 0;
    IntersectPlacedRects(TPoint{0, 0}, 10, 10, TPoint{5, -3}, 10, 5, P, W, H);
    EXPECT_EQ(std::tuple(P.X, P.Y, W, H), std::tuple(5, 0, 5, 2));
    IntersectPlacedRects(TPoint{2147483000, 0}, 1000, 1, TPoint{2147483000, 0}, 1000, 1, P, W, H);
    EXPECT_EQ(W, 1000);
}

TEST(BmpConvHeader, ResizeAndPalette)
{
    const size_t Blocks = GlobalBlockCount();
    HGLOBAL Header = GlobalAlloc(GPTR, 48);
    *static_cast<BITMAPINFOHEADER*>(Header) = BITMAPINFOHEADER{40, 7, 3, 1, 8, 0, 0, 0, 0, 3, 0};
    ResizeDIBHeader(Header, 1064);
    EXPECT_EQ(GlobalSize(Header), 1064u);
    auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    EXPECT_EQ(BmpShape(H), (std::vector<int64_t>{7, 3, 8, 0, 3}));
    RGBQUAD* T = DIBColorTable(H);
    T[0] = RGBQUAD{0, 0, 0, 9};
    T[1] = RGBQUAD{255, 255, 255, 0};
    T[2] = RGBQUAD{0, 0, 200, 0};
    auto Pal = CreateDIBPalette(H);
    ASSERT_TRUE(Pal);
    EXPECT_EQ(std::pair(Pal->Count, Pal->Entries[0].rgbReserved), std::pair(3, uint8_t(0))); // flags 0
    EXPECT_EQ(std::pair(GetNearestPaletteIndex(*Pal, 150, 0, 0), GetNearestPaletteIndex(*Pal, 200, 255, 255)),
              std::pair(2u, 1u));
    T[2] = T[1];
    EXPECT_EQ(GetNearestPaletteIndex(*CreateDIBPalette(H), 250, 250, 250), 1u); // ties: lowest index
    H->biClrUsed = 300;
    EXPECT_FALSE(CreateDIBPalette(H));
    H->biClrUsed = 0;
    H->biBitCount = 24;
    EXPECT_FALSE(CreateDIBPalette(H)); // no table
    GlobalFree(Header);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

// The expansions of 1, 4 and 8 bits against a plain per-pixel loop on an odd width.
TEST(BmpConvExpand, MatchReferenceLoop)
{
    std::mt19937 Rng(7);
    for (uint16_t Bits : {1, 4, 8}) {
        TBmpTestDib D;
        MakeBmpTestDib(D, 13, 5, Bits);
        for (int I = 0; I < 256; ++I)
            D.Table()[I] = RGBQUAD{uint8_t(Rng()), uint8_t(Rng()), uint8_t(Rng()), 0};
        for (int64_t I = 0; I < D.Line() * 5; ++I)
            D.Bits[I] = uint8_t(Rng());
        Bytes Fast(40 * 5, 0xEE), Ref(Fast.size(), 0);
        for (int Y = 0; Y < 5; ++Y)
            for (int X = 0; X < 13; ++X) {
                const uint8_t P = *GetDIBPixelPtr(D.H(), D.Bits, X, Y);
                const int I = Bits == 8 ? P : Bits == 4 ? (X % 2 ? P & 15 : P >> 4) : (P >> (7 - X % 8)) & 1;
                const RGBQUAD C = D.Table()[I];
                SetBmpBGR(Ref.data() + (4 - Y) * 40 + X * 3, C.rgbRed, C.rgbGreen, C.rgbBlue);
            }
        (Bits == 1 ? BmpConv1to24 : Bits == 4 ? BmpConv4to24 : BmpConv8to24)(D.H(), D.Bits, Fast.data());
        EXPECT_EQ(Fast, Ref) << "depth " << Bits;
    }
}

TEST(BmpConvExpand, OneEntryTableSixteenAndThirtyTwoBits)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 10, 1, 1, 1); // a one-entry table draws white, whatever the index
    D.Table()[0] = RGBQUAD{0, 0, 255, 0};
    D.Bits[0] = 0x40;
    Bytes Dst(32, 0xEE);
    BmpConv1to24(D.H(), D.Bits, Dst.data());
    EXPECT_EQ(Px(Dst.data(), 0) & Px(Dst.data(), 1), 0xFFFFFFu);
    EXPECT_EQ(Dst[30] | Dst[31], 0); // padding of 30-byte rows
    D.H()->biBitCount = 8;
    EXPECT_EQ(BmpMessageOf([&] { BmpConv1to24(D.H(), D.Bits, Dst.data()); }), "BmpConv1to24: Illegal BitCount");
    TBmpTestDib D16;
    MakeBmpTestDib(D16, 3, 1, 16);
    const uint16_t P16[3] = {0xFFFF, 0x0821, 0x07E0};
    std::memcpy(D16.Bits, P16, 6);
    BmpConv16to24(D16.H(), D16.Bits, Dst.data()); // 5-5-5
    EXPECT_EQ(Px(Dst.data(), 0), 0xF8F8F8u);
    EXPECT_EQ(Px(Dst.data(), 2), 0x08F800u);
    D16.H()->biCompression = BI_BITFIELDS;
    const uint32_t M565[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(D16.Table(), M565, 12);
    BmpConv16to24(D16.H(), D16.Bits, Dst.data());
    // No low bits filled in; red >> 8, green >> 3, blue << 3.
    EXPECT_EQ(std::tuple(Px(Dst.data(), 0), Px(Dst.data(), 1), Px(Dst.data(), 2)),
              std::tuple(0xF8FCF8u, 0x080408u, 0x00FC00u));
    D16.Table()[1] = RGBQUAD{0, 0, 0, 0}; // a zero mask means 5-5-5
    BmpConv16to24(D16.H(), D16.Bits, Dst.data());
    EXPECT_EQ(Px(Dst.data(), 0), 0xF8F8F8u);
    D16.H()->biBitCount = 8;
    EXPECT_EQ(BmpMessageOf([&] { BmpConv16to24(D16.H(), D16.Bits, Dst.data()); }), "BmpConv16to24: (biBitCount <> 16)");
    TBmpTestDib D32;
    MakeBmpTestDib(D32, 1, 2, 32);
    for (int I = 0; I < 8; ++I)
        D32.Bits[I] = uint8_t(I + 1);
    BmpConv32to24(D32.H(), D32.Bits, Dst.data());
    EXPECT_EQ(Bytes(Dst.begin(), Dst.begin() + 8), (Bytes{1, 2, 3, 0, 5, 6, 7, 0}));
}

// Indices beyond the declared or stored table read black, never past the block.
TEST(BmpConvFaults, IndicesBeyondTableReadBlack)
{
    TBmpTestDib D, D4;
    MakeBmpTestDib(D, 3, 1, 8, 2, 8); // header block holds two entries only
    D.Table()[1] = RGBQUAD{30, 20, 10, 0};
    const uint8_t Pixels[3] = {1, 200, 2};
    std::memcpy(D.Bits, Pixels, 3);
    for (uint32_t ClrUsed : {2u, 0u}) { // 0 claims 256 entries in an 8-byte table
        D.H()->biClrUsed = ClrUsed;
        Bytes Dst(12, 0xEE);
        BmpConv8to24(D.H(), D.Bits, Dst.data());
        EXPECT_EQ(Bytes(Dst.begin(), Dst.begin() + 9), (Bytes{30, 20, 10, 0, 0, 0, 0, 0, 0}));
    }
    std::array<RGBQUAD, 256> T;
    EXPECT_EQ(GetDIBPaddedColorTable(D.H(), T), 256);
    EXPECT_EQ(T[1].rgbRed + T[2].rgbRed, 10);
    MakeBmpTestDib(D4, 2, 1, 4, 3); // 4-bit with a 3-entry table: nibble 15 reads black
    D4.Table()[2] = RGBQUAD{1, 2, 3, 0};
    D4.Table()[15] = RGBQUAD{99, 99, 99, 0}; // beyond biClrUsed: not part of the table
    D4.Bits[0] = 0x2F;
    Bytes Dst(8, 0xEE);
    BmpConv4to24(D4.H(), D4.Bits, Dst.data());
    EXPECT_EQ(Bytes(Dst.begin(), Dst.begin() + 6), (Bytes{1, 2, 3, 0, 0, 0}));
}

TEST(BmpConvFaults, SizesAreCheckedIn64Bits)
{
    HGLOBAL Small = GlobalAlloc(GPTR, 64);
    uint8_t* Bits = static_cast<uint8_t*>(Small);
    HGLOBAL Header = GlobalAlloc(GPTR, 1064);
    auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    *H = BITMAPINFOHEADER{40, 16385, 16384, 1, 8, 0, 0, 0, 0, 0, 0}; // one row above 2^28 pixels
    EXPECT_EQ(BmpMessageOf([&] { ConvBmpTo24(Header, Bits); }), "ConvBmpTo24: Illegal Size");
    EXPECT_EQ(Bits, Small);
    EXPECT_EQ(H->biBitCount, 8);
    *H = BITMAPINFOHEADER{40, 65536, 65536, 1, 24, 0, 0, 0, 0, 0, 0}; // 2^32 bytes of grey: wraps to 0 in 32 bits
    HGLOBAL GreyHeader = nullptr;
    uint8_t* GreyBits = nullptr;
    EXPECT_EQ(BmpMessageOf([&] { BmpConv24to8Gray(H, Bits, GreyHeader, GreyBits, false, false); }),
              "BmpConv24to8Gray: Illegal Size");
    EXPECT_EQ(GreyHeader, nullptr);
    EXPECT_EQ(BmpMessageOf([&] { BmpConv24to8C(Header, Bits); }), "BmpConv24to8C: Illegal Size");
    EXPECT_EQ(Header, static_cast<HGLOBAL>(H)); // header kept on failure
    *H = BITMAPINFOHEADER{40, 4, -4, 1, 24, 0, 0, 0, 0, 0, 0}; // top-down rows are refused
    EXPECT_EQ(BmpMessageOf([&] { BmpConv24to8C(Header, Bits); }), "BmpConv24to8C: Illegal Size");
    GlobalFree(Header);
    GlobalFree(Small);
}

TEST(BmpConvPack, UnpackPackAndInPlaceWrappers)
{
    const size_t Blocks = GlobalBlockCount();
    {
        TBmpTestDib D, E, W, D1;
        MakeBmpTestDib(D, 10, 2, 1);
        D.Row(0)[0] = 0xA0;
        D.Row(0)[1] = 0xC0;
        uint8_t* B8 = BmpConv1to8(D.H(), D.Bits);
        EXPECT_EQ(BmpShape(D.H()), (std::vector<int64_t>{10, 2, 8, 24, 2})); // the table keeps its two entries
        EXPECT_EQ(Bytes(B8 + 12, B8 + 24), (Bytes{1, 0, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0}));
        GlobalFree(D.Bits);
        D.Bits = B8;
        D.Row(0)[1] = 5; // 8 -> 1: non-zero is 1, the trailing group left-aligned
        D.Row(0)[2] = 0;
        uint8_t* B1 = BmpConv8to1(D.H(), D.Bits);
        EXPECT_EQ(BmpShape(D.H()), (std::vector<int64_t>{10, 2, 1, 8, 2}));
        EXPECT_EQ(Bytes(B1 + 4, B1 + 7), (Bytes{0xC0, 0xC0, 0})); // top row 1100000011
        GlobalFree(B1);
        MakeBmpTestDib(E, 5, 1, 8);
        const uint8_t Row[6] = {1, 2, 3, 0, 3, 0xFF}; // row padding must not leak into the pixels
        std::memcpy(E.Bits, Row, 6);
        uint8_t* B2 = BmpConv8to2(E.H(), E.Bits);
        EXPECT_EQ(BmpShape(E.H()), (std::vector<int64_t>{5, 1, 2, 4, 0}));
        EXPECT_EQ(Bytes(B2, B2 + 2), (Bytes{0x6C, 0xC0}));
        E.H()->biBitCount = 8;
        uint8_t* B4 = BmpConv8to4(E.H(), E.Bits);
        EXPECT_EQ(Bytes(B4, B4 + 3), (Bytes{0x12, 0x30, 0x30}));
        uint8_t* Back = BmpConv4to8(E.H(), B4);
        EXPECT_EQ(Bytes(Back, Back + 5), Bytes(Row, Row + 5));
        for (uint8_t* B : {B2, B4, Back})
            GlobalFree(B);
        MakeBmpTestDib(W, 3, 2, 8, 4);
        W.Table()[3] = RGBQUAD{7, 8, 9, 0};
        W.Row(0)[2] = 3;
        ConvBmpTo24(W.Header, W.Bits);
        EXPECT_EQ(BmpShape(W.H()), (std::vector<int64_t>{3, 2, 24, 24, 4})); // table untouched
        EXPECT_EQ(Px(W.Row(0), 2), 0x090807u);
        uint8_t* Before = W.Bits;
        ConvBmpTo1(W.Header, W.Bits); // 24-bit: nothing to do
        EXPECT_EQ(W.Bits, Before);
        EXPECT_EQ(W.H()->biBitCount, 24);
        MakeBmpTestDib(D1, 2, 2, 1);
        EXPECT_EQ(BmpMessageOf([&] { ConvBmpTo4(D1.Header, D1.Bits); }), "ConvBmpTo4: Illegal BitCount");
    }
    EXPECT_EQ(GlobalBlockCount(), Blocks); // old blocks freed
}

TEST(BmpConvGrey, WeightsHeaderSameBufferAndSixteenBitSamples)
{
    TBmpTestDib D, S, G, G2;
    MakeBmpTestDib(D, 4, 2, 24);
    const uint8_t Top[12] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255}; // red, green, blue, white
    std::memcpy(D.Row(0), Top, 12);
    SetBmpBGR(D.Row(1), 10, 200, 30);
    BmpConv24to8Gray(D.H(), D.Bits, G.Header, G.Bits, false, false);
    ASSERT_NE(G.Bits, D.Bits);
    EXPECT_EQ(GlobalSize(G.Header), 1064u);
    EXPECT_EQ(BmpShape(G.H()), (std::vector<int64_t>{4, 2, 8, 8, 256}));
    EXPECT_EQ(std::memcmp(&G.Table()[7], "\7\7\7\0", 4), 0);
    EXPECT_EQ(Bytes(G.Bits + 4, G.Bits + 8), (Bytes{76, 149, 29, 255})); // (1225 R + 2404 G + 467 B) shr 12
    EXPECT_EQ(G.Bits[0], (1225 * 10 + 2404 * 200 + 467 * 30) >> 12);
    BmpConv24to8Gray(D.H(), D.Bits, G2.Header, G2.Bits, true, false); // in place
    EXPECT_EQ(G2.Bits, D.Bits);
    EXPECT_EQ(Bytes(D.Bits, D.Bits + 8), Bytes(G.Bits, G.Bits + 8));
    G2.Bits = nullptr; // D's block
    EXPECT_EQ(BmpMessageOf([&] { BmpConv24to8Gray(D.H(), nullptr, G2.Header, G2.Bits, false, false); }),
              "BmpConv24to8Gray: (pbDataSrc = nil)");
    D.H()->biBitCount = 8;
    EXPECT_EQ(BmpMessageOf([&] { BmpConv24to8Gray(D.H(), D.Bits, G2.Header, G2.Bits, false, false); }),
              "BmpConv24to8Gray: biBitCount <> 24");
    // 16-bit samples: min((s + 128) div 256, 255).
    TBmpTestDib Out;
    MakeBmpTestDib(S, 6, 1, 16);
    const uint16_t Samples[6] = {127, 128, 383, 65151, 65408, 65535};
    std::memcpy(S.Bits, Samples, 12);
    BmpConv16to8Gray(S.H(), S.Bits, Out.Header, Out.Bits, false);
    EXPECT_EQ(Bytes(Out.Bits, Out.Bits + 8), (Bytes{0, 1, 1, 254, 255, 255, 0, 0}));
    EXPECT_EQ(Out.H()->biClrUsed, 256u);
    S.H()->biBitCount = 24;
    EXPECT_EQ(BmpMessageOf([&] { BmpConv16to8Gray(S.H(), S.Bits, G2.Header, G2.Bits, false); }),
              "BmpConv24to8Gray: Illegal Param");
}

TEST(BmpConvSaveFile, LayoutsOfEveryKind)
{
    TBmpTestDib D, P, Short, F, F32;
    MakeBmpTestDib(D, 2, 2, 24);
    for (int I = 0; I < 16; ++I)
        D.Bits[I] = uint8_t(0x10 + I);
    D.H()->biXPelsPerMeter = 2835;
    Bytes B = SavedBytes(D, false);
    ASSERT_EQ(B.size(), 70u);
    const Bytes Head = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, // file header
                        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,
                        0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(B.begin(), B.begin() + 54), Head);
    EXPECT_EQ(Bytes(B.begin() + 54, B.end()), Bytes(D.Bits, D.Bits + 16));
    EXPECT_FALSE(SaveBmpFile(TTempDir() / "missing-folder/a.bmp", D.H(), D.Bits, false));
    // 8 bits: biClrUsed entries (not the third) before the pixels.
    MakeBmpTestDib(P, 2, 2, 8, 2);
    const uint8_t Table[12] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 7, 7, 0};
    std::memcpy(P.Table(), Table, 12);
    const uint8_t Pixels[8] = {0, 1, 0, 0, 1, 1, 0, 0};
    std::memcpy(P.Bits, Pixels, 8);
    B = SavedBytes(P, false);
    ASSERT_EQ(B.size(), 70u);
    EXPECT_EQ(std::tuple(Le32(B, 2), Le32(B, 10), B[28], Le32(B, 46)), std::tuple(70u, 62u, uint8_t(8), 2u));
    EXPECT_EQ(Bytes(B.begin() + 54, B.end()), (Bytes{1, 2, 3, 0, 4, 5, 6, 0, 0, 1, 0, 0, 1, 1, 0, 0}));
    P.H()->biClrUsed = 16; // the full table: 256 entries, header as held
    B = SavedBytes(P, true);
    ASSERT_EQ(B.size(), 1086u);
    EXPECT_EQ(std::tuple(Le32(B, 10), Le32(B, 46), B[54 + 8]), std::tuple(1078u, 16u, uint8_t(7)));
    MakeBmpTestDib(Short, 2, 2, 8, 0, 8); // biClrUsed 0 in a two-entry block: the rest is written as zeros
    Short.Table()[1] = RGBQUAD{9, 9, 9, 0};
    B = SavedBytes(Short, false);
    ASSERT_EQ(B.size(), 1086u);
    EXPECT_EQ(std::pair(B[58], B[62]), std::pair(uint8_t(9), uint8_t(0)));
    // BITFIELDS files carry their three masks after the header; 32 bits without
    // stored masks get the 8-8-8 ones.
    MakeBmpTestDib(F, 2, 2, 16, 0, 12);
    F.H()->biCompression = BI_BITFIELDS;
    const uint32_t M[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(F.Table(), M, 12);
    const uint16_t P16[4] = {0xF800, 0x001F, 0x07E0, 0xFFFF};
    std::memcpy(F.Bits, P16, 8);
    B = SavedBytes(F, false);
    ASSERT_EQ(B.size(), 74u);
    EXPECT_EQ(std::tuple(Le32(B, 2), Le32(B, 10), Le32(B, 30)), std::tuple(74u, 66u, uint32_t(BI_BITFIELDS)));
    EXPECT_EQ(Bytes(B.begin() + 54, B.end()),
              (Bytes{0, 0xF8, 0, 0, 0xE0, 7, 0, 0, 0x1F, 0, 0, 0, 0, 0xF8, 0x1F, 0, 0xE0, 7, 0xFF, 0xFF}));
    MakeBmpTestDib(F32, 1, 1, 32, 0, 0);
    F32.H()->biCompression = BI_BITFIELDS;
    B = SavedBytes(F32, true);
    ASSERT_EQ(B.size(), 70u);
    EXPECT_EQ(std::tuple(Le32(B, 10), Le32(B, 54), Le32(B, 58), Le32(B, 62)),
              std::tuple(66u, 0xFF0000u, 0xFF00u, 0xFFu));
}

// A saved picture replaces only a regular file (through a link to one): a
// pipe, device, socket or folder in its place gives false and is left as it
// was, never waited on; a full disk keeps the old picture whole.
TEST(BmpFile, SavesOverAFileOnlyAndLosesNothingOnAFullDisk)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 2, 2, 24);
    const std::string Whole = [&] {
        const Bytes B = SavedBytes(D, false);
        return std::string(B.begin(), B.end());
    }();
    for (const THostileRow& Row : HostileRows(ErrNotRegularFile)) {
        SCOPED_TRACE(Row.What);
        TTempDir Dir;
        std::vector<std::string> Pipes;
        MakeHostile(Dir.Dir, "a.bmp", Row.Kind, Pipes);
        const auto Before = FolderPrint(Dir.Dir);
        const bool Saved = WithinDeadline([&] { return SaveBmpFile(Dir / "a.bmp", D.H(), D.Bits, false); }, Pipes,
                                          "SaveBmpFile");
        EXPECT_EQ(Saved, Row.WriteError == 0);
        if (!Saved) {
            EXPECT_EQ(FolderPrint(Dir.Dir), Before);
            continue;
        }
        EXPECT_EQ(Dir.Get("a.bmp"), Whole);
        EXPECT_EQ(std::filesystem::is_symlink(Dir / "a.bmp"), Row.Kind == THostileKind::LinkToFile);
    }
    TTempDir Dir;
    Dir.Put("a.bmp", "old");
    {
        TFileSizeLimit Full(Whole.size() - 1);
        EXPECT_THROW(SaveBmpFile(Dir / "a.bmp", D.H(), D.Bits, false), EWriteError);
    }
    EXPECT_EQ(Dir.Get("a.bmp"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Dir), std::filesystem::directory_iterator()), 1);
}
