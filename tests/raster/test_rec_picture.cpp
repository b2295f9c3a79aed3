#include "raster/rec_picture.h"

#include "foundation/stream_text.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

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

template <class E>
void ExpectThrowText(const std::function<void()>& F, const std::string& Text)
{
    try {
        F();
        ADD_FAILURE() << "no exception, expected: " << Text;
    } catch (const E& Ex) {
        EXPECT_EQ(std::string(Ex.what()), Text);
    }
}

bool IsClear(const TrecPicture& P)
{
    return !P.hDIBSection && !P.pBIHeader && !P.pBits && P.iLeft == 0 && P.iTop == 0;
}

// A picture whose every pixel and colour differs from its neighbours; row
// padding is zero so whole blocks compare.
TrecPicture MakePicture(int32_t Bits, int32_t W, int32_t H, bool Dib, TPoint Pt = {-5, 7})
{
    TrecPicture P;
    RecPictureCreate(P, Pt, W, H, Bits, Dib);
    BITMAPINFOHEADER* Hd = RecPictureHeader(P);
    if (Bits <= 8) {
        RGBQUAD* T = DIBColorTable(Hd);
        for (int I = 0; I < (1 << Bits); ++I)
            T[I] = RGBQUAD{uint8_t(I * 7), uint8_t(255 - I), uint8_t(I * 13 + 1), 0};
    }
    std::memset(P.pBits, 0, size_t(RecPictureGetImageSize(P)));
    const int64_t Line = GetDIBLineSize(W, Bits);
    for (int32_t Y = 0; Y < H; ++Y) {
        uint8_t* Row = P.pBits + Y * Line;
        const int64_t Used = (int64_t(W) * Bits + 7) / 8;
        for (int64_t X = 0; X < Used; ++X)
            Row[X] = uint8_t(X * 31 + Y * 17 + 3);
        if (Bits == 16)
            for (int64_t X = 1; X < Used; X += 2)
                Row[X] &= 0x7F;
        if ((W * Bits) % 8)
            Row[Used - 1] &= uint8_t(0xFF << (8 - (W * Bits) % 8));
    }
    return P;
}

std::vector<uint8_t> PixelBytes(const TrecPicture& P)
{
    return {P.pBits, P.pBits + RecPictureGetImageSize(P)};
}

void ExpectSamePicture(const TrecPicture& A, const TrecPicture& B, int32_t Colours)
{
    const BITMAPINFOHEADER* HA = RecPictureHeader(A);
    const BITMAPINFOHEADER* HB = RecPictureHeader(B);
    ASSERT_TRUE(HA && HB);
    EXPECT_EQ(A.iLeft, B.iLeft);
    EXPECT_EQ(A.iTop, B.iTop);
    EXPECT_EQ(HA->biWidth, HB->biWidth);
    EXPECT_EQ(HA->biHeight, HB->biHeight);
    EXPECT_EQ(HA->biBitCount, HB->biBitCount);
    EXPECT_EQ(HA->biSizeImage, HB->biSizeImage);
    // The bits of every pixel; row padding carries nothing.
    const int64_t Line = GetDIBLineSize(HA->biWidth, HA->biBitCount);
    const int64_t Bits = int64_t(HA->biWidth) * HA->biBitCount;
    for (int32_t Y = 0; Y < HA->biHeight && Y < HB->biHeight; ++Y) {
        const uint8_t* RA = A.pBits + Y * Line;
        const uint8_t* RB = B.pBits + Y * Line;
        EXPECT_EQ(0, std::memcmp(RA, RB, size_t(Bits / 8))) << "row " << Y;
        if (Bits % 8) {
            const auto Mask = uint8_t(0xFF << (8 - Bits % 8));
            EXPECT_EQ(RA[Bits / 8] & Mask, RB[Bits / 8] & Mask) << "row " << Y;
        }
    }
    for (int32_t I = 0; I < Colours; ++I) {
        const RGBQUAD& CA = DIBColorTable(HA)[I];
        const RGBQUAD& CB = DIBColorTable(HB)[I];
        EXPECT_EQ(CA.rgbBlue, CB.rgbBlue) << I;
        EXPECT_EQ(CA.rgbGreen, CB.rgbGreen) << I;
        EXPECT_EQ(CA.rgbRed, CB.rgbRed) << I;
    }
}

// What a round trip through the PNG forms must give back: 16 and 32 bits come
// back as their 24-bit expansion.
TrecPicture Expected(const TrecPicture& P)
{
    TrecPicture E;
    if (RecPictureHeader(P)->biBitCount == 16 || RecPictureHeader(P)->biBitCount == 32)
        RecPictureConvertTo24(E, P, false);
    else
        RecPictureCopy(E, P, false);
    return E;
}

std::vector<uint8_t> StreamBytes(TMemoryStream& S)
{
    auto* M = static_cast<uint8_t*>(S.Memory());
    return {M, M + S.Size()};
}

void PutHeader(std::vector<uint8_t>& Out, int32_t W, int32_t H, uint16_t Bits, uint32_t Compression,
               uint32_t SizeImage, uint32_t BiSize = 40, uint16_t Planes = 1)
{
    BITMAPINFOHEADER Hd{BiSize, W, H, Planes, Bits, Compression, SizeImage, 0, 0, 0, 0};
    uint8_t B[40];
    WriteBitmapInfoHeader(Hd, B);
    Out.insert(Out.end(), B, B + 40);
}

// Old binary form: position, header, pixels.
std::vector<uint8_t> OldBinary(int32_t Left, int32_t Top, const std::vector<uint8_t>& Header,
                               const std::vector<uint8_t>& Pixels)
{
    std::vector<uint8_t> Out;
    for (int32_t V : {Left, Top})
        for (int S = 0; S < 32; S += 8)
            Out.push_back(uint8_t(uint32_t(V) >> S));
    Out.insert(Out.end(), Header.begin(), Header.end());
    Out.insert(Out.end(), Pixels.begin(), Pixels.end());
    return Out;
}

std::vector<uint8_t> OldText(int32_t Left, int32_t Top, const std::vector<uint8_t>& Header,
                             const std::vector<uint8_t>& Pixels)
{
    TMemoryStream S;
    StreamWriteln(S, std::to_string(Left));
    StreamWriteln(S, std::to_string(Top));
    StreamWritelnBin(S, Header.data(), int32_t(Header.size()), 0);
    StreamWritelnBin(S, Pixels.data(), int32_t(Pixels.size()), 1);
    return StreamBytes(S);
}

using TLoader = void (*)(TrecPicture&, TStream&);

void LoadBytes(TLoader Load, TrecPicture& P, const std::vector<uint8_t>& Bytes, size_t Length)
{
    TMemoryStreamWex S;
    S.SetPointer(Bytes.data(), int64_t(Length));
    Load(P, S);
}

} // namespace

TEST_F(RecPicture, CreateMessagesAndHeaderLayout)
{
    TrecPicture P;
    ExpectThrowText<EUserError>([&] { RecPictureCreate(P, {}, 0, 5, 24, false); },
                                "RecPictureCreate(): (iWidth  <= 0)");
    ExpectThrowText<EUserError>([&] { RecPictureCreate(P, {}, 5, -1, 24, true); },
                                "RecPictureCreate(): (iHeight <= 0)");
    ExpectThrowText<EUserError>([&] { RecPictureCreate(P, {}, 5, 5, 0, true); },
                                "RecPictureCreate(): Illegal iBitCount(0)");
    // More than biSizeImage can describe.
    ExpectThrowText<EUserError>([&] { RecPictureCreate(P, {}, 70000, 70000, 24, false); },
                                "メモリが足りません");
    EXPECT_TRUE(IsClear(P));

    RecPictureCreate(P, {3, 4}, 1, 1, 24, false);
    EXPECT_EQ(GlobalSize(P.pBIHeader), 40u);
    EXPECT_EQ(RecPictureHeader(P)->biSizeImage, 4u);
    EXPECT_EQ(RecPictureGetImageSize(P), 4);
    RecPictureClear(P);
    EXPECT_TRUE(IsClear(P));

    RecPictureCreate(P, {}, 5, 3, 8, true);
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    EXPECT_EQ(GlobalSize(P.pBIHeader), 1064u);
    EXPECT_EQ(H->biSize, 40u);
    EXPECT_EQ(H->biPlanes, 1);
    EXPECT_EQ(H->biCompression, BI_RGB);
    EXPECT_EQ(H->biClrUsed, 0u);
    EXPECT_EQ(H->biSizeImage, 8u * 3); // rows of 5 bytes padded to 8
    for (int I : {0, 1, 128, 255}) {
        EXPECT_EQ(DIBColorTable(H)[I].rgbBlue, I);
        EXPECT_EQ(DIBColorTable(H)[I].rgbGreen, I);
        EXPECT_EQ(DIBColorTable(H)[I].rgbRed, I);
    }
    RecPictureClear(P);

    const struct {
        int32_t Bits;
        size_t Block;
        uint32_t Masks[3];
    } Cases[] = {{1, 48, {}}, {4, 104, {}}, {16, 52, {0x7C00, 0x3E0, 0x1F}},
                 {32, 52, {0xFF0000, 0xFF00, 0xFF}}};
    for (const auto& C : Cases) {
        RecPictureCreate(P, {}, 3, 2, C.Bits, false);
        EXPECT_EQ(GlobalSize(P.pBIHeader), C.Block);
        if (C.Bits >= 16) {
            EXPECT_EQ(RecPictureHeader(P)->biCompression, BI_BITFIELDS);
            EXPECT_EQ(0, std::memcmp(DIBColorTable(RecPictureHeader(P)), C.Masks, 12));
        }
        RecPictureClear(P);
    }
}

TEST_F(RecPicture, CreateWithSameShapeOnlyMoves)
{
    TrecPicture P = MakePicture(24, 4, 3, true);
    const auto Pixels = PixelBytes(P);
    uint8_t* Bits = P.pBits;
    const size_t Live = GlobalBlockCount();
    RecPictureCreate(P, {100, -200}, 4, 3, 24, true);
    EXPECT_EQ(P.pBits, Bits);
    EXPECT_EQ(PixelBytes(P), Pixels);
    EXPECT_EQ(P.iLeft, 100);
    EXPECT_EQ(P.iTop, -200);
    EXPECT_EQ(GlobalBlockCount(), Live);
    // Another DIB-section state makes new pixels.
    RecPictureCreate(P, {0, 0}, 4, 3, 24, false);
    EXPECT_EQ(P.hDIBSection, nullptr);
    EXPECT_NE(P.pBits, nullptr);
    RecPictureClear(P);
}

TEST_F(RecPicture, CopyIsIndependent)
{
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
    EXPECT_EQ(Dst.pBIHeader, Src.pBIHeader);
    EXPECT_EQ(Dst.pBits, Src.pBits);
    EXPECT_EQ(Dst.hDIBSection, Src.hDIBSection);
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
    EXPECT_EQ(GlobalBlockCount(), Blocks);
    EXPECT_EQ(DIBSectionCount(), Sections);
}

TEST_F(RecPicture, ConvertTo24ExpandsEveryDepth)
{
    TrecPicture P;
    TrecPicture D;
    // 8 bits through the colour table.
    RecPictureCreate(P, {1, 2}, 2, 1, 8, false);
    DIBColorTable(RecPictureHeader(P))[9] = RGBQUAD{10, 20, 30, 0};
    P.pBits[0] = 9;
    P.pBits[1] = 200; // grey table entry
    RecPictureConvertTo24(D, P, true);
    EXPECT_NE(D.hDIBSection, nullptr);
    EXPECT_EQ(RecPictureHeader(D)->biBitCount, 24);
    EXPECT_EQ(D.iLeft, 1);
    EXPECT_EQ(D.iTop, 2);
    const std::vector<uint8_t> Want8{10, 20, 30, 200, 200, 200};
    EXPECT_EQ(std::vector<uint8_t>(D.pBits, D.pBits + 6), Want8);
    // 16 bits, 5-5-5: pure red is 0x7C00 and gives 248.
    RecPictureCreate(P, {}, 1, 1, 16, false);
    P.pBits[0] = 0x00;
    P.pBits[1] = 0x7C;
    RecPictureConvertTo24(D, P, false);
    EXPECT_EQ(D.pBits[0], 0);
    EXPECT_EQ(D.pBits[1], 0);
    EXPECT_EQ(D.pBits[2], 248);
    RecPictureCreate(P, {}, 2, 1, 2, false);
    ExpectThrowText<EUserError>([&] { RecPictureConvertTo24(D, P, false); },
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
    EXPECT_EQ(R, (TRect{9, 18, 9 + 14 - 1, 18 + 11 - 1}));
    EXPECT_EQ(RecPictureHeader(P)->biWidth, 14);  // 19 - 10 + 1 + 3 + 1
    EXPECT_EQ(RecPictureHeader(P)->biHeight, 11); // 24 - 20 + 2 + 4 + 1

    TrecPicture Q = MakePicture(4, 3, 2, false, {20, 27});
    EXPECT_TRUE(RecPictureIntersectRect(P, Q, R));
    EXPECT_EQ(R, (TRect{20, 27, 22, 28}));
    EXPECT_TRUE(RecPictureIntersectWithRect(P, TRect{0, 0, 9, 18}, R));
    EXPECT_EQ(R, (TRect{9, 18, 9, 18}));
    EXPECT_FALSE(RecPictureIntersectWithRect(P, TRect{0, 0, 8, 100}, R));
    EXPECT_EQ(R, (TRect{-1, -1, -2, -2}));

    // (iLeft, iTop) is the first pixel of the last memory row; 4-bit column 2 is byte 1.
    const int64_t Line = 4;
    EXPECT_EQ(RecPictureGetPixelPtr(Q, 20, 27), Q.pBits + Line);
    EXPECT_EQ(RecPictureGetPixelPtr(Q, 22, 28), Q.pBits + 1);
    EXPECT_EQ(RecPictureGetPixelPtr(Q, 23, 27), nullptr);
    EXPECT_EQ(RecPictureGetPixelPtr(Q, 20, 26), nullptr);
    uint8_t* Px = nullptr;
    int32_t RowSize = 0;
    RecPictureGetTilePixelPtr(Q, {19, 27}, Px, RowSize); // x = iLeft - 1: last column
    EXPECT_EQ(Px, Q.pBits + Line + 1);
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

TEST_F(RecPicture, BinaryAndTextFormsRoundTripEveryDepth)
{
    for (int32_t Bits : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(Bits);
        TrecPicture P = MakePicture(Bits, 7, 5, true);
        TrecPicture Want = Expected(P);
        const int32_t Colours = Bits <= 8 ? 1 << Bits : 0;

        TMemoryStream Bin;
        RecPictureSaveToStream(P, Bin);
        const auto B = StreamBytes(Bin);
        ASSERT_GT(B.size(), 16u);
        EXPECT_EQ(std::vector<uint8_t>(B.begin(), B.begin() + 12),
                  (std::vector<uint8_t>{0xFB, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0, 0x89, 'P', 'N', 'G'}));
        TrecPicture L = MakePicture(8, 2, 2, true); // whatever it held is freed
        Bin.SetPosition(0);
        RecPictureLoadFromStream(L, Bin);
        EXPECT_EQ(L.hDIBSection, nullptr);
        ExpectSamePicture(L, Want, Colours);

        TMemoryStream Text;
        RecPictureSaveToTextStream(P, Text);
        Text.SetPosition(0);
        RecPictureLoadFromTextStream(L, Text);
        EXPECT_EQ(L.hDIBSection, nullptr);
        ExpectSamePicture(L, Want, Colours);

        // Text layout: position lines, the byte count, then a JIS7 block whose
        // length line repeats it and whose data is the binary form's PNG.
        const std::vector<uint8_t> Png(B.begin() + 8, B.end());
        Text.SetPosition(0);
        EXPECT_EQ(StreamReadln(Text), "-5");
        EXPECT_EQ(StreamReadln(Text), "7");
        EXPECT_EQ(StreamReadln(Text), std::to_string(Png.size()));
        EXPECT_EQ(StreamReadln(Text), "JIS7");
        EXPECT_EQ(StreamReadln(Text), std::to_string(Png.size()));
        std::vector<uint8_t> Data(Png.size());
        size_t Done = 0;
        while (Done < Data.size())
            Done += size_t(DecodeBinText(StreamReadln(Text), Data.data() + Done, int32_t(Data.size() - Done)));
        EXPECT_EQ(Data, Png);
        EXPECT_EQ(Text.Position(), Text.Size());

        RecPictureClear(L);
        RecPictureClear(Want);
        RecPictureClear(P);
    }
}

TEST_F(RecPicture, ClipboardRoundTripEveryDepth)
{
    for (int32_t Bits : {1, 4, 8, 16, 24, 32}) {
        for (bool Dib : {false, true}) {
            SCOPED_TRACE(std::to_string(Bits) + (Dib ? " section" : " memory"));
            TrecPicture P = MakePicture(Bits, 7, 5, !Dib);
            uint16_t Format = 0;
            HGLOBAL Data = nullptr;
            RecPictureSaveToClipboardFormat(P, Format, Data);
            EXPECT_EQ(Format, CF_DIB);
            const size_t HeaderPart = Bits <= 8 ? 40 + 4 * (size_t(1) << Bits) : Bits == 24 ? 40 : 52;
            EXPECT_EQ(GlobalSize(Data), HeaderPart + size_t(RecPictureGetImageSize(P)));
            EXPECT_EQ(0, std::memcmp(Data, P.pBIHeader, HeaderPart));

            TrecPicture L = MakePicture(24, 1, 1, true);
            RecPictureLoadFromClipboardFormat(L, Format, Data, Dib);
            EXPECT_EQ(L.hDIBSection != nullptr, Dib);
            P.iLeft = P.iTop = 0;
            ExpectSamePicture(L, P, Bits <= 8 ? 1 << Bits : 0);
            EXPECT_EQ(0, std::memcmp(L.pBIHeader, P.pBIHeader, HeaderPart));
            GlobalFree(Data);
            RecPictureClear(L);
            RecPictureClear(P);
        }
    }
}

TEST_F(RecPicture, ClipboardRefusalsLeaveTheRecordUnchanged)
{
    TrecPicture P = MakePicture(24, 3, 2, true);
    const TrecPicture Before = P;
    const auto Pixels = PixelBytes(P);
    auto Block = [](const std::vector<uint8_t>& Bytes) {
        HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE, Bytes.size());
        std::memcpy(GlobalLock(H), Bytes.data(), Bytes.size());
        GlobalUnlock(H);
        return H;
    };
    auto Expect = [&](const std::vector<uint8_t>& Bytes, const std::string& Text) {
        HGLOBAL H = Block(Bytes);
        if (Text.empty())
            RecPictureLoadFromClipboardFormat(P, CF_DIB, H, true);
        else
            ExpectThrowText<EUserError>([&] { RecPictureLoadFromClipboardFormat(P, CF_DIB, H, true); }, Text);
        GlobalFree(H);
        EXPECT_EQ(P.pBIHeader, Before.pBIHeader);
        EXPECT_EQ(P.pBits, Before.pBits);
        EXPECT_EQ(P.iLeft, Before.iLeft);
        EXPECT_EQ(PixelBytes(P), Pixels);
    };
    const std::string Who = "RecPictureLoadFromClipboardFormat: ";
    std::vector<uint8_t> D;
    PutHeader(D, 2, 2, 24, BI_RGB, 16, 12);
    D.resize(56);
    Expect(D, ""); // not a BITMAPINFOHEADER: ignored
    D.clear();
    PutHeader(D, 2, 2, 24, BI_RGB, 16);
    D.resize(40 + 15);
    Expect(D, Who + "データが足りません(55/56 バイト)");
    D.clear();
    PutHeader(D, 2, 2, 8, BI_RGB, 8);
    D.resize(40 + 1024 + 7);
    Expect(D, Who + "データが足りません(1071/1072 バイト)");
    D.clear();
    PutHeader(D, 2, 2, 8, BI_RLE8, 6);
    D.resize(1100);
    Expect(D, Who + "圧縮された DIB(biCompression = 1)には対応していません");
    D.clear();
    PutHeader(D, 20000, -20000, 24, BI_RGB, 0);
    Expect(D, Who + "画像が大きすぎます(20000 x 20000)");
    D.clear();
    PutHeader(D, 2, 2, 24, BI_RGB, 16);
    D.resize(40 + 16);
    D[32] = 1; // biClrUsed 1: a header part the 24-bit header block cannot hold
    D.resize(40 + 4 + 16);
    Expect(D, Who + "pBIHeader Too Small");
    D.resize(30);
    Expect(D, Who + "ヘッダーが途中で終わっています(30 バイト)");

    ExpectThrowText<EUserError>([&] { RecPictureLoadFromClipboardFormat(P, 1, P.pBIHeader, true); },
                                Who + "Invalid Param");
    ExpectThrowText<EUserError>([&] { RecPictureLoadFromClipboardFormat(P, CF_DIB, nullptr, true); },
                                Who + "Invalid Param");
    RecPictureClear(P);
}

TEST_F(RecPicture, ClipboardTopDownIsFlipped)
{
    std::vector<uint8_t> D;
    PutHeader(D, 1, -3, 8, BI_RGB, 0);
    D[32] = 2; // biClrUsed 2
    const uint8_t Table[8] = {1, 2, 3, 0, 4, 5, 6, 0};
    D.insert(D.end(), Table, Table + 8);
    const uint8_t Rows[12] = {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}; // top row first
    D.insert(D.end(), Rows, Rows + 12);
    D[48 + 4] = 1; // middle row
    D[48 + 8] = 0;
    HGLOBAL H = GlobalAlloc(GMEM_FIXED, D.size());
    std::memcpy(H, D.data(), D.size());
    TrecPicture P;
    RecPictureLoadFromClipboardFormat(P, CF_DIB, H, false);
    GlobalFree(H);
    const BITMAPINFOHEADER* Hd = RecPictureHeader(P);
    EXPECT_EQ(Hd->biHeight, 3);
    EXPECT_EQ(Hd->biSizeImage, 12u);
    EXPECT_EQ(Hd->biClrUsed, 2u);
    EXPECT_GE(GlobalSize(P.pBIHeader), 1064u); // indices beyond the table stay inside the block
    EXPECT_EQ(*RecPictureGetPixelPtr(P, 0, 0), 1);
    EXPECT_EQ(*RecPictureGetPixelPtr(P, 0, 1), 1);
    EXPECT_EQ(*RecPictureGetPixelPtr(P, 0, 2), 0);
    EXPECT_EQ(DIBColorTable(Hd)[1].rgbRed, 6);
    // The 8-bit grey picture on the clipboard carries 256 entries.
    TrecPicture G;
    RecPictureCreate(G, {}, 2, 2, 8, true);
    HGLOBAL C = RecPictureSaveToClipboardFormat(G);
    EXPECT_EQ(GlobalSize(C), 40u + 1024 + 8);
    EXPECT_EQ(reinterpret_cast<const RGBQUAD*>(static_cast<uint8_t*>(C) + 40)[255].rgbRed, 255);
    GlobalFree(C);
    RecPictureClear(G);
    RecPictureClear(P);
}

TEST_F(RecPicture, OldFormsFromHandBuiltBytes)
{
    std::vector<uint8_t> Hd24;
    PutHeader(Hd24, 3, 2, 24, BI_RGB, 24);
    std::vector<uint8_t> Px(24);
    for (size_t I = 0; I < Px.size(); ++I)
        Px[I] = uint8_t(I + 1);
    for (TLoader Load : {&RecPictureLoadFromStreamRaw, &RecPictureLoadFromTextStreamRaw}) {
        const auto Bytes = Load == &RecPictureLoadFromStreamRaw ? OldBinary(-2, 9, Hd24, Px)
                                                                : OldText(-2, 9, Hd24, Px);
        TrecPicture P = MakePicture(8, 4, 4, false);
        LoadBytes(Load, P, Bytes, Bytes.size());
        EXPECT_NE(P.hDIBSection, nullptr);
        EXPECT_EQ(P.iLeft, -2);
        EXPECT_EQ(P.iTop, 9);
        EXPECT_EQ(RecPictureHeader(P)->biWidth, 3);
        EXPECT_EQ(PixelBytes(P), Px);
        RecPictureClear(P);
    }
    // biSizeImage 0 is computed; 4 bits get a grey ramp, 16-bit BI_RGB means 5-5-5.
    std::vector<uint8_t> Hd4;
    PutHeader(Hd4, 2, 1, 4, BI_RGB, 0);
    const auto Bytes4 = OldBinary(0, 0, Hd4, {0x1F, 0, 0, 0});
    TrecPicture P;
    LoadBytes(&RecPictureLoadFromStreamRaw, P, Bytes4, Bytes4.size());
    EXPECT_EQ(RecPictureHeader(P)->biSizeImage, 4u);
    TrecPicture D;
    RecPictureConvertTo24(D, P, false);
    EXPECT_EQ(std::vector<uint8_t>(D.pBits, D.pBits + 6), (std::vector<uint8_t>{17, 17, 17, 255, 255, 255}));
    std::vector<uint8_t> Hd16;
    PutHeader(Hd16, 1, 1, 16, BI_RGB, 4);
    const auto Bytes16 = OldText(0, 0, Hd16, {0xE0, 0x03, 0, 0});
    LoadBytes(&RecPictureLoadFromTextStreamRaw, P, Bytes16, Bytes16.size());
    RecPictureConvertTo24(D, P, false);
    EXPECT_EQ(std::vector<uint8_t>(D.pBits, D.pBits + 3), (std::vector<uint8_t>{0, 248, 0}));
    RecPictureClear(D);
    RecPictureClear(P);
}

TEST_F(RecPicture, OldFormsRefuseBadHeadersAndLeaveTheRecordClear)
{
    const std::vector<uint8_t> Px(64, 0);
    struct TCase {
        int32_t W, H;
        uint16_t Bits;
        uint32_t Compression, SizeImage, BiSize;
        uint16_t Planes;
        std::string Text;
    };
    const TCase Cases[] = {
        {2, 2, 24, BI_RGB, 16, 12, 1, "ヘッダーの大きさ(biSize = 12)が不正です"},
        {0, 2, 24, BI_RGB, 16, 40, 1, "画像の大きさ(0 x 2)が不正です"},
        {2, -2, 24, BI_RGB, 16, 40, 1, "画像の大きさ(2 x -2)が不正です"},
        {2, 2, 24, BI_RGB, 16, 40, 2, "biPlanes(2)が不正です"},
        {2, 2, 2, BI_RGB, 8, 40, 1, "この色数(biBitCount = 2)には対応していません"},
        {2, 2, 8, BI_RLE8, 8, 40, 1, "圧縮された DIB(biCompression = 1)には対応していません"},
        {2, 2, 24, BI_BITFIELDS, 16, 40, 1, "この圧縮形式(biCompression = 3)には対応していません"},
        {16385, 16385, 1, BI_RGB, 0, 40, 1, "画像が大きすぎます(16385 x 16385)"},
        {2, 2, 24, BI_RGB, 20, 40, 1, "biSizeImage(20)が画像の大きさ(16 バイト)と一致しません"},
        {5, 5, 24, BI_RGB, 80, 40, 1, "画素データが途中で終わっています(64/80 バイト)"},
    };
    for (const TCase& C : Cases) {
        std::vector<uint8_t> Hd;
        PutHeader(Hd, C.W, C.H, C.Bits, C.Compression, C.SizeImage, C.BiSize, C.Planes);
        TrecPicture P = MakePicture(24, 2, 2, true);
        const auto Bin = OldBinary(1, 1, Hd, Px);
        ExpectThrowText<EReadError>([&] { LoadBytes(&RecPictureLoadFromStreamRaw, P, Bin, Bin.size()); },
                                    "RecPictureLoadFromStreamRaw: " + C.Text);
        EXPECT_TRUE(IsClear(P));
        const auto Text = OldText(1, 1, Hd, Px);
        // The text form's pixel block is at least as long as its bytes.
        if (C.Text.find("途中") == std::string::npos) {
            P = MakePicture(24, 2, 2, true);
            ExpectThrowText<EReadError>(
                [&] { LoadBytes(&RecPictureLoadFromTextStreamRaw, P, Text, Text.size()); },
                "RecPictureLoadFromTextStreamRaw: " + C.Text);
            EXPECT_TRUE(IsClear(P));
        }
    }
    // A pixel block shorter than the header says is refused, not taken in part.
    std::vector<uint8_t> Hd;
    PutHeader(Hd, 2, 2, 24, BI_RGB, 16);
    const auto Short = OldText(0, 0, Hd, std::vector<uint8_t>(12, 5));
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
    std::vector<uint8_t> Hd;
    PutHeader(Hd, 6, 3, 8, BI_RGB, 24);
    const std::vector<uint8_t> Px(24, 9);
    const struct {
        TLoader Load;
        std::vector<uint8_t> Bytes;
        size_t Tail; // the final line end may be missing
    } Forms[] = {{&RecPictureLoadFromStream, StreamBytes(Bin), 0},
                 {&RecPictureLoadFromTextStream, StreamBytes(Text), 2},
                 {&RecPictureLoadFromStreamRaw, OldBinary(3, 4, Hd, Px), 0},
                 {&RecPictureLoadFromTextStreamRaw, OldText(3, 4, Hd, Px), 2}};
    for (const auto& F : Forms) {
        for (size_t Len = 0; Len + F.Tail < F.Bytes.size(); ++Len) {
            SCOPED_TRACE(Len);
            TrecPicture P = MakePicture(24, 2, 2, true);
            EXPECT_THROW(LoadBytes(F.Load, P, F.Bytes, Len), Exception);
            EXPECT_TRUE(IsClear(P));
            if (F.Load == &RecPictureLoadFromStreamRaw) {
                EXPECT_THROW(LoadBytes(F.Load, P, F.Bytes, Len), EReadError);
            }
        }
        TrecPicture P;
        LoadBytes(F.Load, P, F.Bytes, F.Bytes.size() - F.Tail);
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
    ExpectThrowText<EReadError>([&] { Load("1\r\n2\r\n-8\r\nJIS7\r\n-8\r\n"); },
                                Who + "PNG のバイト数(-8)が不正です");
    ExpectThrowText<EReadError>([&] { Load("1\r\n2\r\n2000000000\r\nJIS7\r\n2000000000\r\n"); },
                                Who + "PNG のバイト数(2000000000)がストリームの残り(18 バイト)を超えています");
    ExpectThrowText<EReadError>([&] { Load("1\r\n2\r\n3\r\n16\r\n2\r\n0101\r\n"); },
                                Who + "PNG のバイト数(3)とデータの長さ(2)が一致しません");
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
    D.reset();
}
