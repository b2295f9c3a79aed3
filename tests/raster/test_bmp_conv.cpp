#include "raster/bmp_conv.h"

#include "bmp_conv_test_util.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {

namespace fs = std::filesystem;

uint32_t Le32(const std::vector<uint8_t>& B, size_t At)
{
    return uint32_t{B[At]} | uint32_t{B[At + 1]} << 8 | uint32_t{B[At + 2]} << 16 | uint32_t{B[At + 3]} << 24;
}
uint16_t Le16(const std::vector<uint8_t>& B, size_t At)
{
    return static_cast<uint16_t>(B[At] | B[At + 1] << 8);
}

std::vector<uint8_t> ReadAll(const fs::path& P)
{
    std::ifstream F(P, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(F), {});
}

// Expected BGR of pixel X in a 24-bit row.
void ExpectPixel(const uint8_t* Row, int X, uint8_t R, uint8_t G, uint8_t B)
{
    EXPECT_EQ(Row[X * 3 + 0], B) << "pixel " << X;
    EXPECT_EQ(Row[X * 3 + 1], G) << "pixel " << X;
    EXPECT_EQ(Row[X * 3 + 2], R) << "pixel " << X;
}

class BmpConvSaveFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string T = (fs::temp_directory_path() / "tavro-bmp-XXXXXX").string();
        ASSERT_NE(mkdtemp(T.data()), nullptr);
        Dir = T;
    }
    void TearDown() override
    {
        std::error_code Ec;
        fs::remove_all(Dir, Ec);
    }
    fs::path Dir;
};

} // namespace

TEST(BmpConvGeometry, RowSizesAndPixelAddresses)
{
    EXPECT_EQ(GetDIBLineSize(1, 1), 4);
    EXPECT_EQ(GetDIBLineSize(32, 1), 4);
    EXPECT_EQ(GetDIBLineSize(33, 1), 8);
    EXPECT_EQ(GetDIBLineSize(9, 4), 8);
    EXPECT_EQ(GetDIBLineSize(3, 16), 8);
    EXPECT_EQ(GetDIBLineSize(5, 24), 16);
    // Beyond 32 bits: no wrap.
    EXPECT_EQ(GetDIBLineSize(0x7FFFFFFF, 32), int64_t{0x7FFFFFFF} * 4);
    BITMAPINFOHEADER Big{40, 65536, 65536, 1, 8, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(GetDIBImageSize(&Big), int64_t{1} << 32);

    uint8_t Buf[64] = {};
    BITMAPINFOHEADER H24{40, 3, 2, 1, 24, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(GetDIBPixelPtr(&H24, Buf, 0, 0), Buf + 12); // top row is the last in memory
    EXPECT_EQ(GetDIBPixelPtr(&H24, Buf, 2, 1), Buf + 6);
    EXPECT_EQ(GetDIBPixelPtr(&H24, Buf, 3, 0), nullptr);
    EXPECT_EQ(GetDIBPixelPtr(&H24, Buf, -1, 0), nullptr);
    EXPECT_EQ(GetDIBPixelPtr(&H24, Buf, 0, 2), nullptr);
    BITMAPINFOHEADER H4{40, 5, 3, 1, 4, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(GetDIBPixelPtr(&H4, Buf, 3, 0), Buf + 2 * 4 + 1);
    BITMAPINFOHEADER H1{40, 10, 3, 1, 1, 0, 0, 0, 0, 0, 0};
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
}

TEST(BmpConvGeometry, IntersectPlacedRects)
{
    TPoint P;
    int32_t W = 0, H = 0;
    IntersectPlacedRects(TPoint{0, 0}, 10, 10, TPoint{5, -3}, 10, 5, P, W, H);
    EXPECT_EQ(P, (TPoint{5, 0}));
    EXPECT_EQ(W, 5);
    EXPECT_EQ(H, 2);
    IntersectPlacedRects(TPoint{0, 0}, 4, 4, TPoint{10, 10}, 2, 2, P, W, H);
    EXPECT_EQ(P, (TPoint{10, 10}));
    EXPECT_EQ(W, -6);
    EXPECT_EQ(H, -6);
    IntersectPlacedRects(TPoint{2147483000, 0}, 1000, 1, TPoint{2147483000, 0}, 1000, 1, P, W, H);
    EXPECT_EQ(W, 1000);
}

TEST(BmpConvHeader, ResizeAndPalette)
{
    const size_t Blocks = GlobalBlockCount();
    HGLOBAL Header = GlobalAlloc(GPTR, 48);
    auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    *H = BITMAPINFOHEADER{40, 7, 3, 1, 8, 0, 0, 0, 0, 3, 0};
    ResizeDIBHeader(Header, 1064);
    EXPECT_EQ(GlobalSize(Header), 1064u);
    H = static_cast<BITMAPINFOHEADER*>(Header);
    EXPECT_EQ(H->biWidth, 7);
    EXPECT_EQ(H->biClrUsed, 3u);
    RGBQUAD* T = DIBColorTable(H);
    T[0] = RGBQUAD{0, 0, 0, 9};
    T[1] = RGBQUAD{255, 255, 255, 0};
    T[2] = RGBQUAD{0, 0, 200, 0};
    auto Pal = CreateDIBPalette(H);
    ASSERT_TRUE(Pal);
    EXPECT_EQ(Pal->Count, 3);
    EXPECT_EQ(Pal->Entries[2].rgbRed, 200);
    EXPECT_EQ(Pal->Entries[0].rgbReserved, 0); // flags 0
    EXPECT_EQ(GetNearestPaletteIndex(*Pal, 150, 0, 0), 2u);
    EXPECT_EQ(GetNearestPaletteIndex(*Pal, 200, 255, 255), 1u);
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

TEST(BmpConvExpand, OneBitRowsBitsAndTable)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 10, 2, 1);
    D.Table()[0] = RGBQUAD{0, 0, 255, 0}; // red
    D.Table()[1] = RGBQUAD{255, 0, 0, 0}; // blue
    // Top row 1010000011, bottom row 0000000001; leftmost pixel in bit 7.
    D.Row(0)[0] = 0xA0;
    D.Row(0)[1] = 0xC0;
    D.Row(1)[1] = 0x40;
    std::vector<uint8_t> Dst(64, 0xEE);
    BmpConv1to24(D.H(), D.Bits, Dst.data());
    const uint8_t* Top = Dst.data() + 32; // bottom-up: the top row is the second in memory
    const uint8_t* Bottom = Dst.data();
    ExpectPixel(Top, 0, 0, 0, 255);
    ExpectPixel(Top, 1, 255, 0, 0);
    ExpectPixel(Top, 2, 0, 0, 255);
    ExpectPixel(Top, 7, 255, 0, 0);
    ExpectPixel(Top, 8, 0, 0, 255);
    ExpectPixel(Top, 9, 0, 0, 255);
    ExpectPixel(Bottom, 8, 255, 0, 0);
    ExpectPixel(Bottom, 9, 0, 0, 255);
    EXPECT_EQ(Top[30], 0); // padding of 30-byte rows
    EXPECT_EQ(Top[31], 0);

    D.H()->biClrUsed = 1; // a one-entry table draws white
    BmpConv1to24(D.H(), D.Bits, Dst.data());
    ExpectPixel(Top, 0, 255, 255, 255);
    ExpectPixel(Top, 1, 255, 255, 255);
}

TEST(BmpConvExpand, FourEightSixteenThirtyTwoBits)
{
    TBmpTestDib D4;
    MakeBmpTestDib(D4, 3, 1, 4);
    for (int I = 0; I < 16; ++I)
        D4.Table()[I] = RGBQUAD{static_cast<uint8_t>(255 - I), static_cast<uint8_t>(I), static_cast<uint8_t>(I * 16), 0};
    D4.Bits[0] = 0x12;
    D4.Bits[1] = 0x3F; // odd width: the last pixel is the high nibble
    std::vector<uint8_t> Dst(12, 0xEE);
    BmpConv4to24(D4.H(), D4.Bits, Dst.data());
    ExpectPixel(Dst.data(), 0, 16, 1, 254);
    ExpectPixel(Dst.data(), 1, 32, 2, 253);
    ExpectPixel(Dst.data(), 2, 48, 3, 252);
    EXPECT_EQ(Dst[9], 0);

    TBmpTestDib D16;
    MakeBmpTestDib(D16, 3, 1, 16);
    const uint16_t P555[3] = {0x7C00, 0x03E0, 0x7FFF};
    std::memcpy(D16.Bits, P555, 6);
    BmpConv16to24(D16.H(), D16.Bits, Dst.data());
    ExpectPixel(Dst.data(), 0, 248, 0, 0);
    ExpectPixel(Dst.data(), 1, 0, 248, 0);
    ExpectPixel(Dst.data(), 2, 248, 248, 248);

    D16.H()->biCompression = BI_BITFIELDS;
    const uint32_t M565[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(D16.Table(), M565, 12);
    const uint16_t P565[3] = {0xFFFF, 0x0821, 0x07E0};
    std::memcpy(D16.Bits, P565, 6);
    BmpConv16to24(D16.H(), D16.Bits, Dst.data());
    ExpectPixel(Dst.data(), 0, 248, 252, 248); // no low bits filled in
    ExpectPixel(Dst.data(), 1, 8, 4, 8);       // red >> 8, green >> 3, blue << 3
    ExpectPixel(Dst.data(), 2, 0, 252, 0);
    const uint32_t Zero[3] = {0xF800, 0, 0x001F}; // a zero mask means 5-5-5
    std::memcpy(D16.Table(), Zero, 12);
    const uint16_t Red555 = 0x7C00;
    std::memcpy(D16.Bits, &Red555, 2);
    BmpConv16to24(D16.H(), D16.Bits, Dst.data());
    ExpectPixel(Dst.data(), 0, 248, 0, 0);
    D16.H()->biBitCount = 8;
    EXPECT_EQ(BmpMessageOf([&] { BmpConv16to24(D16.H(), D16.Bits, Dst.data()); }),
              "BmpConv16to24: (biBitCount <> 16)");

    TBmpTestDib D32;
    MakeBmpTestDib(D32, 1, 2, 32);
    for (int I = 0; I < 8; ++I)
        D32.Bits[I] = static_cast<uint8_t>(I + 1);
    std::vector<uint8_t> Dst32(8, 0xEE);
    BmpConv32to24(D32.H(), D32.Bits, Dst32.data());
    EXPECT_EQ(Dst32, (std::vector<uint8_t>{1, 2, 3, 0, 5, 6, 7, 0}));
}

// The expansions against a plain per-pixel loop on odd widths and random data.
TEST(BmpConvExpand, MatchReferenceLoop)
{
    std::mt19937 Rng(7);
    for (uint16_t Bits : {1, 4, 8}) {
        TBmpTestDib D;
        MakeBmpTestDib(D, 13, 5, Bits);
        for (int I = 0; I < 256; ++I)
            D.Table()[I] = RGBQUAD{static_cast<uint8_t>(Rng()), static_cast<uint8_t>(Rng()),
                                   static_cast<uint8_t>(Rng()), 0};
        for (int64_t I = 0; I < D.Line() * 5; ++I)
            D.Bits[I] = static_cast<uint8_t>(Rng());
        const int64_t Line24 = GetDIBLineSize(13, 24);
        std::vector<uint8_t> Fast(static_cast<size_t>(Line24 * 5), 0xEE);
        std::vector<uint8_t> Ref(Fast.size(), 0);
        for (int Y = 0; Y < 5; ++Y)
            for (int X = 0; X < 13; ++X) {
                const uint8_t P = *GetDIBPixelPtr(D.H(), D.Bits, X, Y);
                const int Index = Bits == 8 ? P : Bits == 4 ? (X % 2 ? P & 15 : P >> 4) : (P >> (7 - X % 8)) & 1;
                const RGBQUAD C = D.Table()[Index];
                SetBmpBGR(Ref.data() + (4 - Y) * Line24 + X * 3, C.rgbRed, C.rgbGreen, C.rgbBlue);
            }
        if (Bits == 1)
            BmpConv1to24(D.H(), D.Bits, Fast.data());
        else if (Bits == 4)
            BmpConv4to24(D.H(), D.Bits, Fast.data());
        else
            BmpConv8to24(D.H(), D.Bits, Fast.data());
        EXPECT_EQ(Fast, Ref) << "depth " << Bits;
    }
    TBmpTestDib D8;
    MakeBmpTestDib(D8, 4, 1, 8);
    std::vector<uint8_t> Dst(12);
    EXPECT_EQ(BmpMessageOf([&] { BmpConv1to24(D8.H(), D8.Bits, Dst.data()); }), "BmpConv1to24: Illegal BitCount");
}

// Indices beyond the declared or stored table read black, never past the block.
TEST(BmpConvFaults, IndicesBeyondTableReadBlack)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 3, 1, 8, 2, 8); // header block holds two entries only
    D.Table()[1] = RGBQUAD{30, 20, 10, 0};
    D.Bits[0] = 1;
    D.Bits[1] = 200;
    D.Bits[2] = 2;
    std::vector<uint8_t> Dst(12, 0xEE);
    BmpConv8to24(D.H(), D.Bits, Dst.data());
    ExpectPixel(Dst.data(), 0, 10, 20, 30);
    ExpectPixel(Dst.data(), 1, 0, 0, 0);
    ExpectPixel(Dst.data(), 2, 0, 0, 0);
    D.H()->biClrUsed = 0; // claims 256 entries in an 8-byte table
    BmpConv8to24(D.H(), D.Bits, Dst.data());
    ExpectPixel(Dst.data(), 0, 10, 20, 30);
    ExpectPixel(Dst.data(), 1, 0, 0, 0);
    std::array<RGBQUAD, 256> T;
    EXPECT_EQ(GetDIBPaddedColorTable(D.H(), T), 256);
    EXPECT_EQ(T[1].rgbRed, 10);
    EXPECT_EQ(T[2].rgbRed, 0);

    TBmpTestDib D4; // 4-bit with a 3-entry table: nibble 15 reads black
    MakeBmpTestDib(D4, 2, 1, 4, 3);
    D4.Table()[2] = RGBQUAD{1, 2, 3, 0};
    D4.Table()[15] = RGBQUAD{99, 99, 99, 0}; // beyond biClrUsed: not part of the table
    D4.Bits[0] = 0x2F;
    BmpConv4to24(D4.H(), D4.Bits, Dst.data());
    ExpectPixel(Dst.data(), 0, 3, 2, 1);
    ExpectPixel(Dst.data(), 1, 0, 0, 0);
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

TEST(BmpConvPack, UnpackAndPackSubByteDepths)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 10, 2, 1);
    D.Row(0)[0] = 0xA0;
    D.Row(0)[1] = 0xC0;
    uint8_t* B8 = BmpConv1to8(D.H(), D.Bits);
    EXPECT_EQ(D.H()->biBitCount, 8);
    EXPECT_EQ(D.H()->biSizeImage, 24u);
    EXPECT_EQ(D.H()->biClrUsed, 2u); // the 1-bit table keeps its two entries
    const std::vector<uint8_t> Top(B8 + 12, B8 + 24);
    EXPECT_EQ(Top, (std::vector<uint8_t>{1, 0, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0}));
    GlobalFree(D.Bits);
    D.Bits = B8;

    // 8 -> 1: non-zero is 1, the trailing group left-aligned.
    D.Row(0)[1] = 5;
    D.Row(0)[2] = 0;
    uint8_t* B1 = BmpConv8to1(D.H(), D.Bits);
    EXPECT_EQ(D.H()->biBitCount, 1);
    EXPECT_EQ(D.H()->biSizeImage, 8u);
    EXPECT_EQ(B1[4], 0xC0); // top row 1100000011
    EXPECT_EQ(B1[5], 0xC0);
    EXPECT_EQ(B1[6], 0);
    GlobalFree(B1);

    TBmpTestDib E;
    MakeBmpTestDib(E, 5, 1, 8);
    const uint8_t Row[5] = {1, 2, 3, 0, 3};
    std::memcpy(E.Bits, Row, 5);
    E.Bits[5] = 0xFF; // row padding must not leak into the pixels
    uint8_t* B2 = BmpConv8to2(E.H(), E.Bits);
    EXPECT_EQ(E.H()->biBitCount, 2);
    EXPECT_EQ(E.H()->biSizeImage, 4u);
    EXPECT_EQ(B2[0], 0x6C);
    EXPECT_EQ(B2[1], 0xC0);
    GlobalFree(B2);
    E.H()->biBitCount = 8;
    uint8_t* B4 = BmpConv8to4(E.H(), E.Bits);
    EXPECT_EQ(E.H()->biBitCount, 4);
    EXPECT_EQ(B4[0], 0x12);
    EXPECT_EQ(B4[1], 0x30);
    EXPECT_EQ(B4[2], 0x30);
    uint8_t* Back = BmpConv4to8(E.H(), B4);
    EXPECT_EQ(std::vector<uint8_t>(Back, Back + 5), std::vector<uint8_t>(Row, Row + 5));
    GlobalFree(B4);
    GlobalFree(Back);
}

TEST(BmpConvPack, InPlaceWrappers)
{
    const size_t Blocks = GlobalBlockCount();
    {
        TBmpTestDib D;
        MakeBmpTestDib(D, 3, 2, 8, 4);
        D.Table()[3] = RGBQUAD{7, 8, 9, 0};
        D.Row(0)[2] = 3;
        ConvBmpTo24(D.Header, D.Bits);
        EXPECT_EQ(D.H()->biBitCount, 24);
        EXPECT_EQ(D.H()->biSizeImage, 24u);
        EXPECT_EQ(D.H()->biClrUsed, 4u); // table untouched
        ExpectPixel(D.Row(0), 2, 9, 8, 7);
        ExpectPixel(D.Row(1), 0, 0, 0, 0);

        uint8_t* Before = D.Bits;
        ConvBmpTo1(D.Header, D.Bits); // 24-bit: nothing to do
        ConvBmpTo2(D.Header, D.Bits);
        EXPECT_EQ(D.Bits, Before);
        EXPECT_EQ(D.H()->biBitCount, 24);

        TBmpTestDib D16;
        MakeBmpTestDib(D16, 2, 2, 16);
        Before = D16.Bits;
        ConvBmpTo24(D16.Header, D16.Bits);
        EXPECT_EQ(D16.Bits, Before);
        EXPECT_EQ(D16.H()->biBitCount, 16);

        TBmpTestDib D1;
        MakeBmpTestDib(D1, 2, 2, 1);
        EXPECT_EQ(BmpMessageOf([&] { ConvBmpTo4(D1.Header, D1.Bits); }), "ConvBmpTo4: Illegal BitCount");
        ConvBmpTo8(D1.Header, D1.Bits);
        EXPECT_EQ(D1.H()->biBitCount, 8);
        ConvBmpTo4(D1.Header, D1.Bits);
        EXPECT_EQ(D1.H()->biBitCount, 4);
    }
    EXPECT_EQ(GlobalBlockCount(), Blocks); // old blocks freed
}

TEST(BmpConvGrey, WeightsHeaderAndSameBuffer)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 4, 2, 24);
    SetBmpBGR(D.Row(0) + 0, 255, 0, 0);
    SetBmpBGR(D.Row(0) + 3, 0, 255, 0);
    SetBmpBGR(D.Row(0) + 6, 0, 0, 255);
    SetBmpBGR(D.Row(0) + 9, 255, 255, 255);
    SetBmpBGR(D.Row(1) + 0, 10, 200, 30);
    HGLOBAL GH = nullptr;
    uint8_t* GB = nullptr;
    BmpConv24to8Gray(D.H(), D.Bits, GH, GB, false, false);
    ASSERT_NE(GB, D.Bits);
    auto* H = static_cast<BITMAPINFOHEADER*>(GH);
    EXPECT_EQ(GlobalSize(GH), 1064u);
    EXPECT_EQ(H->biWidth, 4);
    EXPECT_EQ(H->biBitCount, 8);
    EXPECT_EQ(H->biClrUsed, 256u);
    EXPECT_EQ(H->biSizeImage, 8u);
    EXPECT_EQ(DIBColorTable(H)[7].rgbRed, 7);
    EXPECT_EQ(DIBColorTable(H)[7].rgbBlue, 7);
    EXPECT_EQ(DIBColorTable(H)[7].rgbReserved, 0);
    // Top row (second in memory): red, green, blue, white.
    EXPECT_EQ(std::vector<uint8_t>(GB + 4, GB + 8), (std::vector<uint8_t>{76, 149, 29, 255}));
    EXPECT_EQ(GB[0], (1225 * 10 + 2404 * 200 + 467 * 30) >> 12);

    HGLOBAL GH2 = nullptr;
    uint8_t* GB2 = nullptr;
    BmpConv24to8Gray(D.H(), D.Bits, GH2, GB2, true, false); // in place
    EXPECT_EQ(GB2, D.Bits);
    EXPECT_EQ(std::vector<uint8_t>(GB2, GB2 + 8), std::vector<uint8_t>(GB, GB + 8));
    GlobalFree(GH2);

    EXPECT_EQ(BmpMessageOf([&] { BmpConv24to8Gray(D.H(), nullptr, GH2, GB2, false, false); }),
              "BmpConv24to8Gray: (pbDataSrc = nil)");
    D.H()->biBitCount = 8;
    EXPECT_EQ(BmpMessageOf([&] { BmpConv24to8Gray(D.H(), D.Bits, GH2, GB2, false, false); }),
              "BmpConv24to8Gray: biBitCount <> 24");
    GlobalFree(GH);
    GlobalFree(GB);
}

TEST(BmpConvGrey, SixteenBitSamples)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 6, 1, 16);
    const uint16_t S[6] = {127, 128, 383, 65151, 65408, 65535};
    std::memcpy(D.Bits, S, 12);
    HGLOBAL GH = nullptr;
    uint8_t* GB = nullptr;
    BmpConv16to8Gray(D.H(), D.Bits, GH, GB, false);
    EXPECT_EQ(std::vector<uint8_t>(GB, GB + 8), (std::vector<uint8_t>{0, 1, 1, 254, 255, 255, 0, 0}));
    EXPECT_EQ(static_cast<BITMAPINFOHEADER*>(GH)->biClrUsed, 256u);
    GlobalFree(GH);
    GlobalFree(GB);
    D.H()->biBitCount = 24;
    EXPECT_EQ(BmpMessageOf([&] { BmpConv16to8Gray(D.H(), D.Bits, GH, GB, false); }),
              "BmpConv24to8Gray: Illegal Param");
}

TEST_F(BmpConvSaveFile, TwentyFourBitLayout)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 2, 2, 24);
    for (int I = 0; I < 16; ++I)
        D.Bits[I] = static_cast<uint8_t>(0x10 + I);
    D.H()->biXPelsPerMeter = 2835;
    const fs::path P = Dir / "a.bmp";
    ASSERT_TRUE(SaveBmpFile(P.string(), D.H(), D.Bits, false));
    const std::vector<uint8_t> B = ReadAll(P);
    ASSERT_EQ(B.size(), 70u);
    EXPECT_EQ(B[0], 0x42);
    EXPECT_EQ(B[1], 0x4D);
    EXPECT_EQ(Le32(B, 2), 70u);
    EXPECT_EQ(Le16(B, 6), 0);
    EXPECT_EQ(Le16(B, 8), 0);
    EXPECT_EQ(Le32(B, 10), 54u);
    EXPECT_EQ(Le32(B, 14), 40u);
    EXPECT_EQ(Le32(B, 18), 2u);
    EXPECT_EQ(Le32(B, 22), 2u);
    EXPECT_EQ(Le16(B, 26), 1);
    EXPECT_EQ(Le16(B, 28), 24);
    EXPECT_EQ(Le32(B, 30), 0u);
    EXPECT_EQ(Le32(B, 34), 16u);
    EXPECT_EQ(Le32(B, 38), 2835u);
    EXPECT_EQ(Le32(B, 46), 0u);
    EXPECT_EQ(std::vector<uint8_t>(B.begin() + 54, B.end()), std::vector<uint8_t>(D.Bits, D.Bits + 16));
    EXPECT_FALSE(SaveBmpFile((Dir / "missing" / "a.bmp").string(), D.H(), D.Bits, false));
}

TEST_F(BmpConvSaveFile, EightBitTableLayout)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 2, 2, 8, 2);
    D.Table()[0] = RGBQUAD{1, 2, 3, 0};
    D.Table()[1] = RGBQUAD{4, 5, 6, 0};
    D.Table()[2] = RGBQUAD{7, 7, 7, 0}; // outside biClrUsed
    const uint8_t Px[8] = {0, 1, 0, 0, 1, 1, 0, 0};
    std::memcpy(D.Bits, Px, 8);
    const fs::path P = Dir / "b.bmp";
    ASSERT_TRUE(SaveBmpFile(P.string(), D.H(), D.Bits, false));
    std::vector<uint8_t> B = ReadAll(P);
    ASSERT_EQ(B.size(), 70u);
    EXPECT_EQ(Le32(B, 2), 70u);
    EXPECT_EQ(Le32(B, 10), 62u);
    EXPECT_EQ(Le16(B, 28), 8);
    EXPECT_EQ(Le32(B, 46), 2u);
    EXPECT_EQ(std::vector<uint8_t>(B.begin() + 54, B.begin() + 62), (std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
    EXPECT_EQ(std::vector<uint8_t>(B.begin() + 62, B.end()), std::vector<uint8_t>(Px, Px + 8));

    D.H()->biClrUsed = 16; // the full table: 256 entries, header as held
    ASSERT_TRUE(SaveBmpFile(P.string(), D.H(), D.Bits, true));
    B = ReadAll(P);
    ASSERT_EQ(B.size(), 1086u);
    EXPECT_EQ(Le32(B, 10), 1078u);
    EXPECT_EQ(Le32(B, 46), 16u);
    EXPECT_EQ(B[54 + 8], 7);

    TBmpTestDib Short; // biClrUsed 0 in a two-entry block: the rest is written as zeros
    MakeBmpTestDib(Short, 2, 2, 8, 0, 8);
    Short.Table()[1] = RGBQUAD{9, 9, 9, 0};
    ASSERT_TRUE(SaveBmpFile(P.string(), Short.H(), Short.Bits, false));
    B = ReadAll(P);
    ASSERT_EQ(B.size(), 1086u);
    EXPECT_EQ(B[58], 9);
    EXPECT_EQ(B[62], 0);
}

// BITFIELDS files carry their three masks after the header.
TEST_F(BmpConvSaveFile, BitfieldsMasksWritten)
{
    TBmpTestDib D;
    MakeBmpTestDib(D, 2, 2, 16, 0, 12);
    D.H()->biCompression = BI_BITFIELDS;
    const uint32_t M[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(D.Table(), M, 12);
    const uint16_t Px[4] = {0xF800, 0x001F, 0x07E0, 0xFFFF};
    std::memcpy(D.Bits, Px, 8);
    const fs::path P = Dir / "c.bmp";
    ASSERT_TRUE(SaveBmpFile(P.string(), D.H(), D.Bits, false));
    const std::vector<uint8_t> B = ReadAll(P);
    ASSERT_EQ(B.size(), 74u);
    EXPECT_EQ(Le32(B, 2), 74u);
    EXPECT_EQ(Le32(B, 10), 66u);
    EXPECT_EQ(Le16(B, 28), 16);
    EXPECT_EQ(Le32(B, 30), BI_BITFIELDS);
    EXPECT_EQ(Le32(B, 54), 0xF800u);
    EXPECT_EQ(Le32(B, 58), 0x07E0u);
    EXPECT_EQ(Le32(B, 62), 0x001Fu);
    EXPECT_EQ(Le16(B, 66), 0xF800);
    EXPECT_EQ(Le16(B, 72), 0xFFFF);

    TBmpTestDib D32; // a 32-bit BITFIELDS header without stored masks gets the 8-8-8 ones
    MakeBmpTestDib(D32, 1, 1, 32, 0, 0);
    D32.H()->biCompression = BI_BITFIELDS;
    ASSERT_TRUE(SaveBmpFile(P.string(), D32.H(), D32.Bits, true));
    const std::vector<uint8_t> B32 = ReadAll(P);
    ASSERT_EQ(B32.size(), 70u);
    EXPECT_EQ(Le32(B32, 10), 66u);
    EXPECT_EQ(Le32(B32, 54), 0xFF0000u);
    EXPECT_EQ(Le32(B32, 62), 0xFFu);
}
