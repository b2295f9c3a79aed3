#include "raster/rec_picture.h"

#include "bmp_conv_test_util.h"
#include "foundation/stream_text.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Every test starts and ends with the same number of live blocks and sections.
class RecPicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Blocks = GlobalBlockCount();
        Sections = DIBSectionCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(GlobalBlockCount(), Blocks);
        EXPECT_EQ(DIBSectionCount(), Sections);
    }
    size_t Blocks = 0;
    size_t Sections = 0;
};

bool IsClear(const TrecPicture& P)
{
    return !P.hDIBSection && !P.pBIHeader && !P.pBits && P.iLeft == 0 && P.iTop == 0;
}

Bytes PixelBytes(const TrecPicture& P) { return {P.pBits, P.pBits + RecPictureGetImageSize(P)}; }

// A picture whose every pixel and colour differs from its neighbours; row
// padding and the unused bits of the last byte are zero so whole blocks compare.
TrecPicture MakePicture(int32_t Bits, int32_t W, int32_t H, bool Dib, TPoint Pt = {-5, 7})
{
    TrecPicture P;
    RecPictureCreate(P, Pt, W, H, Bits, Dib);
    for (int I = 0; Bits <= 8 && I < (1 << Bits); ++I)
        DIBColorTable(RecPictureHeader(P))[I] = RGBQUAD{uint8_t(I * 7), uint8_t(255 - I), uint8_t(I * 13 + 1), 0};
    std::memset(P.pBits, 0, size_t(RecPictureGetImageSize(P)));
    const int64_t Line = GetDIBLineSize(W, Bits), Used = (int64_t(W) * Bits + 7) / 8;
    for (int32_t Y = 0; Y < H; ++Y) {
        uint8_t* Row = P.pBits + Y * Line;
        for (int64_t X = 0; X < Used; ++X)
            Row[X] = uint8_t((X * 31 + Y * 17 + 3) & (Bits == 16 && X % 2 ? 0x7F : 0xFF));
        Row[Used - 1] &= uint8_t(0xFF << (8 - (W * Bits) % 8) % 8);
    }
    return P;
}

void ExpectSamePicture(const TrecPicture& A, const TrecPicture& B, int32_t Colours)
{
    const BITMAPINFOHEADER* HA = RecPictureHeader(A);
    const BITMAPINFOHEADER* HB = RecPictureHeader(B);
    ASSERT_TRUE(HA && HB);
    EXPECT_EQ(std::pair(A.iLeft, A.iTop), std::pair(B.iLeft, B.iTop));
    std::vector<int64_t> SA = BmpShape(HA), SB = BmpShape(HB);
    SA.pop_back(); // biClrUsed may differ: the PNG forms state the count
    SB.pop_back();
    EXPECT_EQ(SA, SB);
    EXPECT_EQ(PixelBytes(A), PixelBytes(B));
    EXPECT_EQ(std::memcmp(DIBColorTable(HA), DIBColorTable(HB), 4 * size_t(Colours)), 0);
}

Bytes StreamBytes(TMemoryStream& S)
{
    auto* M = static_cast<uint8_t*>(S.Memory());
    return {M, M + S.Size()};
}

Bytes Header(int32_t W, int32_t H, uint16_t Bits, uint32_t Compression, uint32_t SizeImage, uint32_t BiSize = 40,
             uint16_t Planes = 1)
{
    Bytes B(40);
    WriteBitmapInfoHeader(BITMAPINFOHEADER{BiSize, W, H, Planes, Bits, Compression, SizeImage, 0, 0, 0, 0}, B.data());
    return B;
}

// Old binary form: position, header, pixels.
Bytes OldBinary(int32_t Left, int32_t Top, const Bytes& Hd, const Bytes& Pixels)
{
    Bytes Out;
    for (int32_t V : {Left, Top})
        for (int S = 0; S < 32; S += 8)
            Out.push_back(uint8_t(uint32_t(V) >> S));
    Out.insert(Out.end(), Hd.begin(), Hd.end());
    Out.insert(Out.end(), Pixels.begin(), Pixels.end());
    return Out;
}

Bytes OldText(int32_t Left, int32_t Top, const Bytes& Hd, const Bytes& Pixels)
{
    TMemoryStream S;
    StreamWriteln(S, std::to_string(Left));
    StreamWriteln(S, std::to_string(Top));
    StreamWritelnBin(S, Hd.data(), int32_t(Hd.size()), 0);
    StreamWritelnBin(S, Pixels.data(), int32_t(Pixels.size()), 1);
    return StreamBytes(S);
}

using TLoader = void (*)(TrecPicture&, TStream&);

void LoadBytes(TLoader Load, TrecPicture& P, const Bytes& B, size_t Length)
{
    TMemoryStreamWex S;
    S.SetPointer(B.data(), int64_t(Length));
    Load(P, S);
}

} // namespace

TEST_F(RecPicture, CreateMessagesAndHeaderLayout)
{
    TrecPicture P;
    auto Create = [&](int32_t W, int32_t H, int32_t Bits) {
        return BmpMessageOf([&] { RecPictureCreate(P, {}, W, H, Bits, false); });
    };
    EXPECT_EQ(Create(0, 5, 24), "RecPictureCreate(): (iWidth  <= 0)");
    EXPECT_EQ(Create(5, -1, 24), "RecPictureCreate(): (iHeight <= 0)");
    EXPECT_EQ(Create(5, 5, 0), "RecPictureCreate(): Illegal iBitCount(0)");
    EXPECT_EQ(Create(70000, 70000, 24), "メモリが足りません"); // more than biSizeImage can describe
    // Sizes whose row times height passes 64 bits are refused as well, with
    // no product computed that overflows.
    constexpr int32_t Max = std::numeric_limits<int32_t>::max();
    for (const auto& [W, H, Bits] : {std::tuple{Max, Max, 32}, std::tuple{Max, Max, 24}, std::tuple{Max, 1, 32},
                                     std::tuple{1, Max, 32}, std::tuple{Max / 4, Max, 32}})
        EXPECT_EQ(Create(W, H, Bits), "メモリが足りません") << W << " x " << H << " x " << Bits;
    EXPECT_TRUE(IsClear(P));
    // The image size of any header counts without overflowing: up to the
    // largest int64.
    RecPictureCreate(P, {}, 3, 2, 24, false);
    BITMAPINFOHEADER* Hd = RecPictureHeader(P);
    const struct {
        int32_t W, H;
        uint16_t Bits;
        int64_t Size;
    } Sizes[] = {{3, 2, 24, 24},
                 {Max, Max, 32, std::numeric_limits<int64_t>::max()},
                 {Max, Max, 0xFFFF, std::numeric_limits<int64_t>::max()},
                 {Max, 1, 32, int64_t{Max} * 4},
                 {1, Max, 8, int64_t{Max} * 4}};
    for (const auto& C : Sizes) {
        Hd->biWidth = C.W;
        Hd->biHeight = C.H;
        Hd->biBitCount = C.Bits;
        EXPECT_EQ(RecPictureGetImageSize(P), C.Size) << C.W << " x " << C.H << " x " << C.Bits;
    }
    Hd->biWidth = 3;
    Hd->biHeight = 2;
    Hd->biBitCount = 24;
    RecPictureClear(P);
    RecPictureCreate(P, {}, 5, 3, 8, true);
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    EXPECT_EQ(GlobalSize(P.pBIHeader), 1064u);
    EXPECT_EQ(std::vector<int64_t>({H->biSize, H->biPlanes, H->biCompression}), std::vector<int64_t>({40, 1, BI_RGB}));
    EXPECT_EQ(BmpShape(H), (std::vector<int64_t>{5, 3, 8, 8 * 3, 0})); // rows of 5 bytes padded to 8
    for (int I : {0, 128, 255})
        EXPECT_EQ(std::memcmp(&DIBColorTable(H)[I], Bytes{uint8_t(I), uint8_t(I), uint8_t(I)}.data(), 3), 0);
    RecPictureClear(P);
    EXPECT_TRUE(IsClear(P));
    const struct {
        int32_t Bits;
        size_t Block;
        uint32_t Masks[3];
    } Cases[] = {{1, 48, {}}, {4, 104, {}}, {24, 40, {}}, {16, 52, {0x7C00, 0x3E0, 0x1F}},
                 {32, 52, {0xFF0000, 0xFF00, 0xFF}}};
    for (const auto& C : Cases) {
        RecPictureCreate(P, {}, 3, 2, C.Bits, false);
        EXPECT_EQ(GlobalSize(P.pBIHeader), C.Block);
        if (C.Bits >= 16) {
            EXPECT_EQ(RecPictureHeader(P)->biCompression, C.Bits == 24 ? BI_RGB : BI_BITFIELDS);
            EXPECT_TRUE(C.Bits == 24 || std::memcmp(DIBColorTable(RecPictureHeader(P)), C.Masks, 12) == 0);
        }
        RecPictureClear(P);
    }
}

TEST_F(RecPicture, CreateWithSameShapeOnlyMovesAndCopyIsIndependent)
{
    TrecPicture P = MakePicture(24, 4, 3, true);
    const auto Pixels = PixelBytes(P);
    uint8_t* Bits = P.pBits;
    const size_t Live = GlobalBlockCount();
    RecPictureCreate(P, {100, -200}, 4, 3, 24, true);
    EXPECT_EQ(P.pBits, Bits);
    EXPECT_EQ(PixelBytes(P), Pixels);
    EXPECT_EQ(std::pair(P.iLeft, P.iTop), std::pair(100, -200));
    EXPECT_EQ(GlobalBlockCount(), Live);
    RecPictureCreate(P, {0, 0}, 4, 3, 24, false); // another DIB-section state makes new pixels
    EXPECT_EQ(P.hDIBSection, nullptr);
    EXPECT_NE(P.pBits, nullptr);
    RecPictureClear(P);
    TrecPicture Src = MakePicture(8, 5, 3, true);
    TrecPicture Dst = MakePicture(24, 9, 9, false);
    RecPictureCopy(Dst, Src, false);
    EXPECT_NE(Dst.pBIHeader, Src.pBIHeader);
    EXPECT_NE(Dst.pBits, Src.pBits);
    EXPECT_EQ(Dst.hDIBSection, nullptr);
    ASSERT_GE(GlobalSize(Dst.pBIHeader), GlobalSize(Src.pBIHeader));
    EXPECT_EQ(0, std::memcmp(Dst.pBIHeader, Src.pBIHeader, GlobalSize(Src.pBIHeader)));
    ExpectSamePicture(Dst, Src, 256);
    RecPictureClear(Src);
    RecPictureClear(Dst);
}

TEST_F(RecPicture, ConvertTo24OfA24BitSourceSharesTheHandles)
{
    TrecPicture Src = MakePicture(24, 3, 2, true);
    TrecPicture Dst = MakePicture(8, 4, 4, false); // freed by the hand-over
    RecPictureConvertTo24(Dst, Src, false);
    EXPECT_TRUE(Dst.pBIHeader == Src.pBIHeader && Dst.pBits == Src.pBits && Dst.hDIBSection == Src.hDIBSection);
    EXPECT_EQ(Dst.iLeft, Src.iLeft);
    // RecPictureCopy detects the shared handles and makes a real copy.
    RecPictureCopy(Dst, Src, false);
    EXPECT_NE(Dst.pBIHeader, Src.pBIHeader);
    ExpectSamePicture(Dst, Src, 0);
    RecPictureClear(Dst);
    // One record is cleared, the other forgotten: nothing leaks, nothing is freed twice.
    RecPictureConvertTo24(Dst, Src, true);
    RecPictureClear(Src);
    Dst = TrecPicture{};
}

TEST_F(RecPicture, ConvertTo24ExpandsEveryDepth)
{
    TrecPicture P, D;
    RecPictureCreate(P, {1, 2}, 2, 1, 8, false); // 8 bits through the colour table
    DIBColorTable(RecPictureHeader(P))[9] = RGBQUAD{10, 20, 30, 0};
    P.pBits[0] = 9;
    P.pBits[1] = 200; // grey table entry
    RecPictureConvertTo24(D, P, true);
    EXPECT_NE(D.hDIBSection, nullptr);
    EXPECT_EQ(RecPictureHeader(D)->biBitCount, 24);
    EXPECT_EQ(std::pair(D.iLeft, D.iTop), std::pair(1, 2));
    EXPECT_EQ(Bytes(D.pBits, D.pBits + 6), (Bytes{10, 20, 30, 200, 200, 200}));
    RecPictureCreate(P, {}, 1, 1, 16, false); // 5-5-5: pure red is 0x7C00 and gives 248
    P.pBits[0] = 0x00;
    P.pBits[1] = 0x7C;
    RecPictureConvertTo24(D, P, false);
    EXPECT_EQ(Bytes(D.pBits, D.pBits + 3), (Bytes{0, 0, 248}));
    RecPictureCreate(P, {}, 2, 1, 2, false);
    EXPECT_EQ(BmpMessageOf([&] { RecPictureConvertTo24(D, P, false); }),
              "RecPictureConvertTo24: Not Supprot Format:2");
    RecPictureClear(P);
    RecPictureClear(D);
}

TEST_F(RecPicture, Geometry)
{
    TrecPath Path;
    Path.Bounds = TRect{10, 20, 19, 24};
    TrecPicture P;
    RecPictureCreateForRect(P, Path, 24, 1, 2, 3, 4, false);
    TRect R;
    RecPictureGetRect(P, R);
    // Width 19 - 10 + 1 + 1 + 3 = 14, height 24 - 20 + 1 + 2 + 4 = 11.
    EXPECT_EQ(R, (TRect{9, 18, 9 + 14 - 1, 18 + 11 - 1}));
    TrecPicture Q = MakePicture(4, 3, 2, false, {20, 27});
    EXPECT_TRUE(RecPictureIntersectRect(P, Q, R));
    EXPECT_EQ(R, (TRect{20, 27, 22, 28}));
    EXPECT_TRUE(RecPictureIntersectWithRect(P, TRect{0, 0, 9, 18}, R));
    EXPECT_EQ(R, (TRect{9, 18, 9, 18}));
    EXPECT_FALSE(RecPictureIntersectWithRect(P, TRect{0, 0, 8, 100}, R));
    EXPECT_EQ(R, (TRect{-1, -1, -2, -2}));
    // (iLeft, iTop) is the first pixel of the last memory row; 4-bit column 2 is byte 1.
    EXPECT_EQ(RecPictureGetPixelPtr(Q, 20, 27), Q.pBits + 4);
    EXPECT_EQ(RecPictureGetPixelPtr(Q, 22, 28), Q.pBits + 1);
    EXPECT_EQ(RecPictureGetPixelPtr(Q, 23, 27), nullptr);
    EXPECT_EQ(RecPictureGetPixelPtr(Q, 20, 26), nullptr);
    uint8_t* Px = nullptr;
    int32_t RowSize = 0;
    RecPictureGetTilePixelPtr(Q, {19, 27}, Px, RowSize); // x = iLeft - 1: last column
    EXPECT_EQ(Px, Q.pBits + 4 + 1);
    EXPECT_EQ(RowSize, 4);
    RecPictureGetTilePixelPtr(Q, {20 + 3 * 5, 27 - 2 * 7 + 1}, Px, RowSize);
    EXPECT_EQ(Px, Q.pBits);
    TrecPicture Empty;
    RecPictureGetTilePixelPtr(Empty, {0, 0}, Px, RowSize);
    EXPECT_EQ(Px, nullptr);
    EXPECT_EQ(RecPictureGetPixelPtr(Empty, 0, 0), nullptr);
    EXPECT_FALSE(RecPictureIntersectRect(Empty, Q, R));
    RecPictureClear(P);
    RecPictureClear(Q);
}

TEST_F(RecPicture, BinaryTextAndClipboardFormsRoundTripEveryDepth)
{
    for (int32_t Bits : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(Bits);
        TrecPicture P = MakePicture(Bits, 7, 5, true);
        TrecPicture Want; // 16 and 32 bits come back from PNG as their 24-bit expansion
        if (Bits == 16 || Bits == 32)
            RecPictureConvertTo24(Want, P, false);
        else
            RecPictureCopy(Want, P, false);
        const int32_t Colours = Bits <= 8 ? 1 << Bits : 0;
        TMemoryStream Bin, Text;
        RecPictureSaveToStream(P, Bin);
        const auto B = StreamBytes(Bin);
        ASSERT_GT(B.size(), 16u);
        EXPECT_EQ(Bytes(B.begin(), B.begin() + 12), (Bytes{0xFB, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0, 0x89, 'P', 'N', 'G'}));
        TrecPicture L = MakePicture(8, 2, 2, true); // whatever it held is freed
        Bin.SetPosition(0);
        RecPictureLoadFromStream(L, Bin);
        EXPECT_EQ(L.hDIBSection, nullptr);
        ExpectSamePicture(L, Want, Colours);
        RecPictureSaveToTextStream(P, Text);
        Text.SetPosition(0);
        RecPictureLoadFromTextStream(L, Text);
        EXPECT_EQ(L.hDIBSection, nullptr);
        ExpectSamePicture(L, Want, Colours);
        // Text layout: position lines, the byte count, then a JIS7 block whose
        // length line repeats it and whose data is the binary form's PNG.
        const Bytes Png(B.begin() + 8, B.end());
        Text.SetPosition(0);
        const std::string N = std::to_string(Png.size());
        for (const std::string& Line : std::vector<std::string>{"-5", "7", N, "JIS7", N})
            EXPECT_EQ(StreamReadln(Text), Line);
        Bytes Data(Png.size());
        size_t Done = 0;
        while (Done < Data.size())
            Done += size_t(DecodeBinText(StreamReadln(Text), Data.data() + Done, int32_t(Data.size() - Done)));
        EXPECT_EQ(Data, Png);
        EXPECT_EQ(Text.Position(), Text.Size());
        // The clipboard keeps every depth as it is, header part included.
        for (bool Dib : {false, true}) {
            uint16_t Format = 0;
            HGLOBAL Data = nullptr;
            RecPictureSaveToClipboardFormat(P, Format, Data);
            EXPECT_EQ(Format, CF_DIB);
            const size_t HeaderPart = Bits <= 8 ? 40 + 4 * size_t(Colours) : Bits == 24 ? 40 : 52;
            EXPECT_EQ(GlobalSize(Data), HeaderPart + size_t(RecPictureGetImageSize(P)));
            EXPECT_EQ(0, std::memcmp(Data, P.pBIHeader, HeaderPart));
            RecPictureLoadFromClipboardFormat(L, Format, Data, Dib);
            GlobalFree(Data);
            EXPECT_EQ(L.hDIBSection != nullptr, Dib);
            EXPECT_EQ(L.iLeft, 0);
            EXPECT_EQ(0, std::memcmp(L.pBIHeader, P.pBIHeader, HeaderPart));
            EXPECT_EQ(PixelBytes(L), PixelBytes(P));
        }
        RecPictureClear(L);
        RecPictureClear(Want);
        RecPictureClear(P);
    }
}

TEST_F(RecPicture, ClipboardRefusalsLeaveTheRecordUnchanged)
{
    TrecPicture P = MakePicture(24, 3, 2, true);
    const TrecPicture Before = P;
    const auto Pixels = PixelBytes(P);
    auto Expect = [&](Bytes B, size_t Size, const std::string& Text) {
        B.resize(Size);
        HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE, B.size());
        std::memcpy(GlobalLock(H), B.data(), B.size());
        GlobalUnlock(H);
        if (Text.empty())
            RecPictureLoadFromClipboardFormat(P, CF_DIB, H, true);
        else
            EXPECT_EQ(BmpMessageOf([&] { RecPictureLoadFromClipboardFormat(P, CF_DIB, H, true); }),
                      "RecPictureLoadFromClipboardFormat: " + Text);
        GlobalFree(H);
        EXPECT_EQ(P.pBIHeader, Before.pBIHeader);
        EXPECT_EQ(P.pBits, Before.pBits);
        EXPECT_EQ(P.iLeft, Before.iLeft);
        EXPECT_EQ(PixelBytes(P), Pixels);
    };
    Expect(Header(2, 2, 24, BI_RGB, 16, 12), 56, ""); // not a BITMAPINFOHEADER: ignored
    Expect(Header(2, 2, 24, BI_RGB, 16), 55, "データが足りません(55/56 バイト)");
    Expect(Header(2, 2, 8, BI_RGB, 8), 1071, "データが足りません(1071/1072 バイト)");
    Expect(Header(2, 2, 8, BI_RLE8, 6), 1100, "圧縮された DIB(biCompression = 1)には対応していません");
    Expect(Header(20000, -20000, 24, BI_RGB, 0), 40, "画像が大きすぎます(20000 x 20000)");
    Bytes OneColour = Header(2, 2, 24, BI_RGB, 16);
    OneColour[32] = 1; // biClrUsed 1: a header part the 24-bit header block cannot hold
    Expect(OneColour, 60, "pBIHeader Too Small");
    Expect(OneColour, 30, "ヘッダーが途中で終わっています(30 バイト)");
    for (const std::pair<uint16_t, HGLOBAL>& Case : {std::pair<uint16_t, HGLOBAL>{1, P.pBIHeader}, {CF_DIB, nullptr}})
        EXPECT_EQ(BmpMessageOf([&] { RecPictureLoadFromClipboardFormat(P, Case.first, Case.second, true); }),
                  "RecPictureLoadFromClipboardFormat: Invalid Param");
    RecPictureClear(P);
}

TEST_F(RecPicture, ClipboardTopDownIsFlipped)
{
    Bytes D = Header(1, -3, 8, BI_RGB, 0);
    D[32] = 2; // biClrUsed 2
    D.insert(D.end(), {1, 2, 3, 0, 4, 5, 6, 0});                   // table
    D.insert(D.end(), {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});       // rows, top first
    HGLOBAL H = GlobalAlloc(GMEM_FIXED, D.size());
    std::memcpy(H, D.data(), D.size());
    TrecPicture P;
    RecPictureLoadFromClipboardFormat(P, CF_DIB, H, false);
    GlobalFree(H);
    const BITMAPINFOHEADER* Hd = RecPictureHeader(P);
    EXPECT_EQ(BmpShape(Hd), (std::vector<int64_t>{1, 3, 8, 12, 2}));
    EXPECT_GE(GlobalSize(P.pBIHeader), 1064u); // indices beyond the table stay inside the block
    EXPECT_EQ(Bytes(P.pBits, P.pBits + 12), (Bytes{0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(DIBColorTable(Hd)[1].rgbRed, 6);
    RecPictureClear(P);
}

TEST_F(RecPicture, OldFormsFromHandBuiltBytes)
{
    Bytes Px(24);
    for (size_t I = 0; I < Px.size(); ++I)
        Px[I] = uint8_t(I + 1);
    const Bytes Hd24 = Header(3, 2, 24, BI_RGB, 24);
    for (TLoader Load : {&RecPictureLoadFromStreamRaw, &RecPictureLoadFromTextStreamRaw}) {
        const auto B = Load == &RecPictureLoadFromStreamRaw ? OldBinary(-2, 9, Hd24, Px) : OldText(-2, 9, Hd24, Px);
        TrecPicture P = MakePicture(8, 4, 4, false);
        LoadBytes(Load, P, B, B.size());
        EXPECT_NE(P.hDIBSection, nullptr);
        EXPECT_EQ(std::pair(P.iLeft, P.iTop), std::pair(-2, 9));
        EXPECT_EQ(RecPictureHeader(P)->biWidth, 3);
        EXPECT_EQ(PixelBytes(P), Px);
        RecPictureClear(P);
    }
    // biSizeImage 0 is computed; 4 bits get a grey ramp, 16-bit BI_RGB means 5-5-5.
    const auto Bytes4 = OldBinary(0, 0, Header(2, 1, 4, BI_RGB, 0), {0x1F, 0, 0, 0});
    TrecPicture P, D;
    LoadBytes(&RecPictureLoadFromStreamRaw, P, Bytes4, Bytes4.size());
    EXPECT_EQ(RecPictureHeader(P)->biSizeImage, 4u);
    RecPictureConvertTo24(D, P, false);
    EXPECT_EQ(Bytes(D.pBits, D.pBits + 6), (Bytes{17, 17, 17, 255, 255, 255}));
    const auto Bytes16 = OldText(0, 0, Header(1, 1, 16, BI_RGB, 4), {0xE0, 0x03, 0, 0});
    LoadBytes(&RecPictureLoadFromTextStreamRaw, P, Bytes16, Bytes16.size());
    RecPictureConvertTo24(D, P, false);
    EXPECT_EQ(Bytes(D.pBits, D.pBits + 3), (Bytes{0, 248, 0}));
    RecPictureClear(D);
    RecPictureClear(P);
}

TEST_F(RecPicture, OldFormsRefuseBadHeadersAndLeaveTheRecordClear)
{
    const Bytes Px(64, 0);
    const struct {
        Bytes Hd;
        std::string Text;
    } Cases[] = {
        {Header(2, 2, 24, BI_RGB, 16, 12), "ヘッダーの大きさ(biSize = 12)が不正です"},
        {Header(0, 2, 24, BI_RGB, 16), "画像の大きさ(0 x 2)が不正です"},
        {Header(2, -2, 24, BI_RGB, 16), "画像の大きさ(2 x -2)が不正です"},
        {Header(2, 2, 24, BI_RGB, 16, 40, 2), "biPlanes(2)が不正です"},
        {Header(2, 2, 2, BI_RGB, 8), "この色数(biBitCount = 2)には対応していません"},
        {Header(2, 2, 8, BI_RLE8, 8), "圧縮された DIB(biCompression = 1)には対応していません"},
        {Header(2, 2, 24, BI_BITFIELDS, 16), "この圧縮形式(biCompression = 3)には対応していません"},
        {Header(16385, 16385, 1, BI_RGB, 0), "画像が大きすぎます(16385 x 16385)"},
        {Header(2, 2, 24, BI_RGB, 20), "biSizeImage(20)が画像の大きさ(16 バイト)と一致しません"},
        {Header(5, 5, 24, BI_RGB, 80), "画素データが途中で終わっています(64/80 バイト)"},
    };
    for (const auto& C : Cases) {
        TrecPicture P = MakePicture(24, 2, 2, true);
        const auto Bin = OldBinary(1, 1, C.Hd, Px);
        EXPECT_EQ(BmpMessageOf<EReadError>([&] { LoadBytes(&RecPictureLoadFromStreamRaw, P, Bin, Bin.size()); }),
                  "RecPictureLoadFromStreamRaw: " + C.Text);
        EXPECT_TRUE(IsClear(P));
        // The text form's pixel block is at least as long as its bytes.
        if (C.Text.find("途中") == std::string::npos) {
            const auto Text = OldText(1, 1, C.Hd, Px);
            P = MakePicture(24, 2, 2, true);
            EXPECT_EQ(BmpMessageOf<EReadError>([&] { LoadBytes(&RecPictureLoadFromTextStreamRaw, P, Text, Text.size()); }),
                      "RecPictureLoadFromTextStreamRaw: " + C.Text);
            EXPECT_TRUE(IsClear(P));
        }
    }
    // A pixel block shorter than the header says is refused, not taken in part.
    const auto Short = OldText(0, 0, Header(2, 2, 24, BI_RGB, 16), Bytes(12, 5));
    TrecPicture P;
    EXPECT_THROW(LoadBytes(&RecPictureLoadFromTextStreamRaw, P, Short, Short.size()), EReadError);
    EXPECT_TRUE(IsClear(P));
}

TEST_F(RecPicture, TruncatedStreamsFailCleanly)
{
    TrecPicture Src = MakePicture(8, 6, 3, true);
    TMemoryStream Bin, Text;
    RecPictureSaveToStream(Src, Bin);
    RecPictureSaveToTextStream(Src, Text);
    const Bytes Hd = Header(6, 3, 8, BI_RGB, 24), Px(24, 9);
    const struct {
        TLoader Load;
        Bytes B;
        size_t Tail; // the final line end may be missing
    } Forms[] = {{&RecPictureLoadFromStream, StreamBytes(Bin), 0},
                 {&RecPictureLoadFromTextStream, StreamBytes(Text), 2},
                 {&RecPictureLoadFromStreamRaw, OldBinary(3, 4, Hd, Px), 0},
                 {&RecPictureLoadFromTextStreamRaw, OldText(3, 4, Hd, Px), 2}};
    for (const auto& F : Forms) {
        for (size_t Len = 0; Len + F.Tail < F.B.size(); ++Len) {
            SCOPED_TRACE(Len);
            TrecPicture P = MakePicture(24, 2, 2, true);
            if (F.Load == &RecPictureLoadFromStreamRaw) {
                EXPECT_THROW(LoadBytes(F.Load, P, F.B, Len), EReadError);
            } else {
                EXPECT_THROW(LoadBytes(F.Load, P, F.B, Len), Exception);
            }
            EXPECT_TRUE(IsClear(P));
        }
        TrecPicture P;
        LoadBytes(F.Load, P, F.B, F.B.size() - F.Tail);
        EXPECT_EQ(RecPictureHeader(P)->biWidth, 6);
        RecPictureClear(P);
    }
    RecPictureClear(Src);
}

TEST_F(RecPicture, TextFormByteCountIsBounded)
{
    auto Load = [](const std::string& S) {
        TrecPicture P;
        TMemoryStream M;
        M.WriteBuffer(S.data(), int32_t(S.size()));
        M.SetPosition(0);
        RecPictureLoadFromTextStream(P, M);
    };
    const std::string Who = "RecPictureLoadFromTextStream: ";
    auto Msg = [&](const std::string& S) { return BmpMessageOf<EReadError>([&] { Load(S); }); };
    EXPECT_EQ(Msg("1\r\n2\r\n-8\r\nJIS7\r\n-8\r\n"), Who + "PNG のバイト数(-8)が不正です");
    EXPECT_EQ(Msg("1\r\n2\r\n2000000000\r\nJIS7\r\n2000000000\r\n"),
              Who + "PNG のバイト数(2000000000)がストリームの残り(18 バイト)を超えています");
    EXPECT_EQ(Msg("1\r\n2\r\n3\r\n16\r\n2\r\n0101\r\n"), Who + "PNG のバイト数(3)とデータの長さ(2)が一致しません");
    EXPECT_THROW(Load("1\r\nx\r\n3\r\n"), EConvertError);
}

TEST_F(RecPicture, DIBPictureObject)
{
    auto D = std::make_unique<TDIBPicture>();
    EXPECT_EQ(GlobalSize(D->FrecPicture.pBIHeader), 1064u);
    EXPECT_EQ(D->FrecPicture.pBits, nullptr);
    EXPECT_EQ(DIBColorTable(RecPictureHeader(D->FrecPicture))[77].rgbGreen, 77);
    D->SetSize(5, 4, 24);
    EXPECT_NE(D->FrecPicture.hDIBSection, nullptr);
    EXPECT_EQ(RecPictureHeader(D->FrecPicture)->biSizeImage, 16u * 4);
    EXPECT_EQ(GlobalSize(D->FrecPicture.pBIHeader), 1064u); // the block is reused
}
