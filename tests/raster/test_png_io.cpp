#include "raster/png_io.h"

#include "bmp_conv_test_util.h"
#include "foundation/platform_wrappers.h"
#include "platform/message_box.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

namespace {

using Bytes = std::vector<uint8_t>;

void PutChunk(Bytes& Out, const char* Type, const Bytes& Data)
{
    const auto Be = [&](uint32_t V) {
        Out.insert(Out.end(), {uint8_t(V >> 24), uint8_t(V >> 16), uint8_t(V >> 8), uint8_t(V)});
    };
    Be(uint32_t(Data.size()));
    const size_t Start = Out.size();
    Out.insert(Out.end(), Type, Type + 4);
    Out.insert(Out.end(), Data.begin(), Data.end());
    Be(uint32_t(crc32(0, &Out[Start], uInt(Out.size() - Start))));
}

// IHDR, PLTE and tRNS when given, one IDAT of Raw (the filtered rows,
// compressed here), IEND.
Bytes PngOf(uint32_t W, uint32_t H, uint8_t Depth, uint8_t Type, uint8_t Interlace, const Bytes& Raw,
            const Bytes& Plte = {}, const Bytes& Trns = {})
{
    Bytes Out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, Z(compressBound(uLong(Raw.size())));
    PutChunk(Out, "IHDR", {uint8_t(W >> 24), uint8_t(W >> 16), uint8_t(W >> 8), uint8_t(W), uint8_t(H >> 24),
                           uint8_t(H >> 16), uint8_t(H >> 8), uint8_t(H), Depth, Type, 0, 0, Interlace});
    if (!Plte.empty())
        PutChunk(Out, "PLTE", Plte);
    if (!Trns.empty())
        PutChunk(Out, "tRNS", Trns);
    uLongf ZLen = uLongf(Z.size());
    EXPECT_EQ(compress2(Z.data(), &ZLen, Raw.data(), uLong(Raw.size()), 6), Z_OK);
    Z.resize(ZLen);
    PutChunk(Out, "IDAT", Z);
    PutChunk(Out, "IEND", {});
    return Out;
}

// The same of the packed rows (top first), each with filter byte 0.
Bytes MakePng(uint32_t W, uint32_t H, uint8_t Depth, uint8_t Type, const Bytes& Rows, const Bytes& Plte = {},
              const Bytes& Trns = {})
{
    Bytes Raw;
    const size_t RB = Rows.size() / H;
    for (uint32_t Y = 0; Y < H; ++Y) {
        Raw.push_back(0);
        Raw.insert(Raw.end(), Rows.begin() + Y * RB, Rows.begin() + (Y + 1) * RB);
    }
    return PngOf(W, H, Depth, Type, 0, Raw, Plte, Trns);
}

// The filtered rows of a picture whose channel C of pixel (X, Y) is
// Sample(X, Y, C) (Y = 0 the top row), in Adam7's passes when asked. Row R
// (counted over all passes) is stored with filter (R + First) % 5; the bits
// past a row's last pixel are set.
template <class F>
Bytes FilteredRows(uint32_t W, uint32_t H, int Depth, int Channels, bool Adam7, uint32_t First, F Sample)
{
    static const uint32_t Passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static const uint32_t Whole[1][4] = {{0, 0, 1, 1}};
    const size_t Bpp = std::max(1, Depth * Channels / 8);
    Bytes Raw;
    uint32_t R = First;
    for (const auto& P : Adam7 ? std::vector<const uint32_t*>(std::begin(Passes), std::end(Passes))
                               : std::vector<const uint32_t*>{Whole[0]}) {
        const uint32_t PW = W > P[0] ? (W - P[0] + P[2] - 1) / P[2] : 0;
        const uint32_t PH = H > P[1] ? (H - P[1] + P[3] - 1) / P[3] : 0;
        const size_t RowBytes = (size_t(PW) * Depth * Channels + 7) / 8;
        Bytes Prev(RowBytes, 0);
        for (uint32_t Y = 0; PW > 0 && Y < PH; ++Y, ++R) {
            Bytes Row(RowBytes, 0);
            size_t Bit = 0;
            for (uint32_t X = 0; X < PW; ++X)
                for (int C = 0; C < Channels; ++C, Bit += Depth)
                    Row[Bit / 8] |= uint8_t(Sample(P[0] + X * P[2], P[1] + Y * P[3], C) << (8 - Depth - Bit % 8));
            if (Bit % 8)
                Row.back() |= uint8_t(0xFF >> (Bit % 8));
            const uint8_t Filter = uint8_t(R % 5);
            Raw.push_back(Filter);
            for (size_t I = 0; I < Row.size(); ++I) {
                const int A = I >= Bpp ? Row[I - Bpp] : 0, B = Prev[I], C = I >= Bpp ? Prev[I - Bpp] : 0;
                const int Pa = std::abs(B - C), Pb = std::abs(A - C), Pc = std::abs(A + B - 2 * C);
                const int Predict[5] = {0, A, B, (A + B) / 2, Pa <= Pb && Pa <= Pc ? A : Pb <= Pc ? B : C};
                Raw.push_back(uint8_t(Row[I] - Predict[Filter]));
            }
            Prev = Row;
        }
    }
    return Raw;
}

// A 13 x 5 8-bit RGB picture with distinct channels.
Bytes RgbPng()
{
    Bytes Rows;
    for (uint32_t Y = 0; Y < 5; ++Y)
        for (uint32_t X = 0; X < 13; ++X)
            Rows.insert(Rows.end(), {uint8_t(X * 19), uint8_t(Y * 50), uint8_t(X + Y * 13)});
    return MakePng(13, 5, 8, PNG_COLOR_TYPE_RGB, Rows);
}

// Rows of W samples of Depth (<= 8) bits, top first, sample (X, Y) Fn(X, Y).
template <class F>
Bytes Pack(uint32_t W, uint32_t H, int Depth, F Fn)
{
    const size_t RB = (W * Depth + 7) / 8;
    Bytes Rows(RB * H, 0);
    for (uint32_t Y = 0; Y < H; ++Y)
        for (uint32_t X = 0; X < W; ++X)
            Rows[Y * RB + X * Depth / 8] |= uint8_t(Fn(X, Y) << (8 - Depth - X * Depth % 8));
    return Rows;
}

// Index of pixel (X, Y), Y = 0 the top row, or for 24 bits its colour 0xRRGGBB.
uint32_t Pixel(const TBmpTestDib& D, int32_t X, int32_t Y)
{
    const int B = D.H()->biBitCount;
    const uint8_t* Row = D.Row(Y);
    if (B == 24)
        return uint32_t{Row[3 * X + 2]} << 16 | uint32_t{Row[3 * X + 1]} << 8 | Row[3 * X];
    return Row[X * B / 8] >> (8 - B - X * B % 8) & ((1u << B) - 1);
}

// Every pixel of D against Want(X, Y).
template <class F>
void ExpectPixels(const TBmpTestDib& D, F Want)
{
    for (int32_t Y = 0; Y < D.H()->biHeight; ++Y)
        for (int32_t X = 0; X < D.H()->biWidth; ++X)
            ASSERT_EQ(Pixel(D, X, Y), uint32_t(Want(X, Y))) << X << "," << Y;
}

// The colour of table entry I as 0xRRGGBB.
uint32_t Entry(const TBmpTestDib& D, uint32_t I)
{
    const RGBQUAD& C = D.Table()[I];
    return uint32_t{C.rgbRed} << 16 | uint32_t{C.rgbGreen} << 8 | C.rgbBlue;
}

// A DIB whose pixel (X, Y) (Y = 0 top) is Fn(X, Y): an index, or for 24 bits
// the colour 0x00RRGGBB; table entry I is (I * 3 + 1, 255 - I, I * 7).
template <class F>
void MakeDib(TBmpTestDib& D, int32_t W, int32_t H, uint16_t Bits, uint32_t ClrUsed, int TableEntries, F Fn)
{
    MakeBmpTestDib(D, W, H, Bits, ClrUsed, 4 * size_t(TableEntries));
    for (int I = 0; I < TableEntries; ++I)
        D.Table()[I] = RGBQUAD{uint8_t(I * 7), uint8_t(255 - I), uint8_t(I * 3 + 1), 0};
    for (int32_t Y = 0; Y < H; ++Y)
        for (int32_t X = 0; X < W; ++X) {
            const uint32_t V = Fn(X, Y);
            if (Bits == 24)
                SetBmpBGR(D.Row(Y) + 3 * X, uint8_t(V >> 16), uint8_t(V >> 8), uint8_t(V));
            else
                D.Row(Y)[X * Bits / 8] |= uint8_t((V & ((1u << Bits) - 1)) << (8 - Bits - X * Bits % 8));
        }
}

void Load(const Bytes& Png, TBmpTestDib& D)
{
    TMemoryStreamWex S;
    S.SetPointer(Png.data(), int64_t(Png.size()));
    bool Cancel = true;
    PNGLoadFromStream(S, D.Header, D.Bits, Cancel);
    EXPECT_FALSE(Cancel);
}

// Cancel is checked false unless CancelOut takes it.
Bytes Save(const TBmpTestDib& D, int32_t TransCol = -1, bool Interlace = false,
           const TConvertProgressEvent& Progress = nullptr, void* Sender = nullptr, bool* CancelOut = nullptr)
{
    TMemoryStream S;
    bool Cancel = true;
    PNGSaveToStream(S, D.H(), D.Bits, TransCol, Interlace, Sender, Progress, Cancel);
    if (CancelOut)
        *CancelOut = Cancel;
    else
        EXPECT_FALSE(Cancel);
    const auto* P = static_cast<const uint8_t*>(S.Memory());
    return Bytes(P, P + S.Size());
}

uint32_t Be32(const Bytes& P, size_t O) { return uint32_t(P[O]) << 24 | P[O + 1] << 16 | P[O + 2] << 8 | P[O + 3]; }

// The chunk of the given type (length, type, data, CRC); empty when missing.
Bytes Chunk(const Bytes& P, const char* Type)
{
    for (size_t O = 8; O + 8 <= P.size(); O += 12 + Be32(P, O))
        if (std::memcmp(&P[O + 4], Type, 4) == 0)
            return Bytes(P.begin() + O, P.begin() + std::min(P.size(), O + 12 + Be32(P, O)));
    return {};
}

// Sets IHDR byte At (16.. 28) and rewrites the CRC.
void PatchIhdr(Bytes& P, size_t At, std::initializer_list<uint8_t> Values)
{
    std::copy(Values.begin(), Values.end(), P.begin() + At);
    const uint32_t C = uint32_t(crc32(0, &P[12], 17));
    for (int I = 0; I < 4; ++I)
        P[29 + I] = uint8_t(C >> (24 - 8 * I));
}

// Load must fail with E (and Message, when given) and leave the sentinel
// outputs and the block count alone.
template <class E>
void ExpectLoadFails(const Bytes& Png, const std::string& Message = "")
{
    const size_t Blocks = GlobalBlockCount();
    HGLOBAL Hd = reinterpret_cast<HGLOBAL>(0x1234);
    uint8_t* Bits = reinterpret_cast<uint8_t*>(0x5678);
    TMemoryStreamWex S;
    S.SetPointer(Png.data(), int64_t(Png.size()));
    bool Cancel = true;
    const std::string Got = BmpMessageOf<E>([&] { PNGLoadFromStream(S, Hd, Bits, Cancel); });
    EXPECT_TRUE(Message.empty() ? Got != "(nothing raised)" : Got == Message) << Got << " at " << Png.size();
    EXPECT_TRUE(Hd == reinterpret_cast<HGLOBAL>(0x1234) && Bits == reinterpret_cast<uint8_t*>(0x5678));
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

} // namespace

TEST(PngIo, ReadsPalettesGreyRgbAndAlphaBottomUp)
{
    auto Mod3 = [](uint32_t X, uint32_t Y) { return (X + Y) % 3; };
    TBmpTestDib P, D, DA, DG;
    Load(MakePng(9, 3, 4, PNG_COLOR_TYPE_PALETTE, Pack(9, 3, 4, Mod3), {255, 0, 0, 0, 128, 0, 1, 2, 3}, {0, 255, 100}),
         P);
    EXPECT_EQ(P.H()->biSize, 40u); // tRNS is ignored
    ASSERT_EQ(BmpShape(P.H()), (std::vector<int64_t>{9, 3, 4, 8 * 3, 3})); // 5 bytes of pixels, padded
    EXPECT_EQ(std::vector<uint32_t>({Entry(P, 0), Entry(P, 1), Entry(P, 2)}),
              std::vector<uint32_t>({0xFF0000, 0x008000, 0x010203}));
    ExpectPixels(P, Mod3);
    for (uint8_t Depth : {1, 2, 4, 8}) {
        const int Levels = 1 << Depth;
        auto Value = [&](uint32_t X, uint32_t Y) { return uint32_t(X * 3 + Y) % Levels; };
        TBmpTestDib D;
        Load(MakePng(13, 4, Depth, PNG_COLOR_TYPE_GRAY, Pack(13, 4, Depth, Value)), D);
        // 2-bit grey is widened to one byte per pixel, in a block sized for it.
        const int Expected = Depth == 2 ? 8 : Depth;
        ASSERT_EQ(BmpShape(D.H()), (std::vector<int64_t>{13, 4, Expected, GetDIBLineSize(13, Expected) * 4, Levels}));
        EXPECT_GE(GlobalSize(D.Bits), size_t(D.H()->biSizeImage));
        EXPECT_GE(GlobalSize(D.Header), 40u + 4u * (1u << Expected));
        const uint32_t Step = 255 / (Levels - 1); // 255, 85, 17, 1
        for (int I = 0; I < Levels; ++I)
            EXPECT_EQ(Entry(D, I), I * Step * 0x010101u);
        SCOPED_TRACE(Depth);
        ExpectPixels(D, Value);
    }
    Load(RgbPng(), D);
    ASSERT_EQ(BmpShape(D.H()), (std::vector<int64_t>{13, 5, 24, 40 * 5, 0}));
    ExpectPixels(D, [](int32_t X, int32_t Y) { return X * 19 % 256 << 16 | Y * 50 << 8 | (X + Y * 13); });
    EXPECT_EQ(D.Bits[1], 200); // first memory row = bottom picture row
    Bytes Rgba;
    for (int I = 0; I < 6; ++I)
        Rgba.insert(Rgba.end(), {uint8_t(I * 40), uint8_t(I), uint8_t(255 - I), uint8_t(I * 7)});
    Load(MakePng(3, 2, 8, PNG_COLOR_TYPE_RGB_ALPHA, Rgba), DA);
    ASSERT_EQ(DA.H()->biBitCount, 24);
    ExpectPixels(DA, [](int32_t X, int32_t Y) { return (Y * 3 + X) * 40 << 16 | (Y * 3 + X) << 8 | (255 - 3 * Y - X); });
    Load(MakePng(3, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, {10, 0, 20, 99, 30, 255}), DG);
    ASSERT_EQ(BmpShape(DG.H()), (std::vector<int64_t>{3, 1, 8, 4, 256}));
    EXPECT_EQ(Bytes(DG.Bits, DG.Bits + 3), (Bytes{10, 20, 30}));
    EXPECT_EQ(Entry(DG, 200), 0xC8C8C8u);
}

TEST(PngIo, RefusesSixteenBitsAndOversizedPicturesAndStopsAtIend)
{
    ExpectLoadFails<EUserError>(MakePng(2, 1, 16, PNG_COLOR_TYPE_RGB, Bytes(12, 7)),
                                "PNGLoadFromStream: Not Suppoert (BitDepth = 16)");
    // 20000 x 20000 is past the pixel cap: refused before anything is allocated.
    Bytes Big = RgbPng();
    PatchIhdr(Big, 16, {0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20});
    ExpectLoadFails<EUserError>(Big, "PNGLoadFromStream: Illegal Size");
    Bytes Data = RgbPng();
    const size_t Len = Data.size();
    Data.insert(Data.end(), {'t', 'a', 'i', 'l'});
    TMemoryStreamWex S;
    S.SetPointer(Data.data(), int64_t(Data.size()));
    TBmpTestDib D;
    bool Cancel = false;
    PNGLoadFromStream(S, D.Header, D.Bits, Cancel);
    EXPECT_EQ(S.Position(), int64_t(Len));
}

TEST(PngIo, TruncatedStreamsFailCleanlyCorruptOnesLongJump)
{
    const Bytes Full = RgbPng();
    // Every cut, chunk boundaries included, up to the last byte of IEND.
    for (size_t Cut = 0; Cut < Full.size(); ++Cut)
        ExpectLoadFails<Exception>(Bytes(Full.begin(), Full.begin() + Cut));
    for (size_t O = 8; O < Full.size(); O += 12 + Be32(Full, O))
        ExpectLoadFails<EReadError>(Bytes(Full.begin(), Full.begin() + O));
    // Corrupt streams raise the library's long jump.
    const std::string Msg = "longjmp が実行されました。\r\n1";
    const Bytes& Good = Full;
    std::vector<Bytes> Bad(6, Good);
    Bad[0][1] = 'Q';                          // signature
    Bad[1][32] ^= 0xFF;                       // IHDR CRC
    PatchIhdr(Bad[2], 16, {0, 0, 0, 0});      // width 0
    PatchIhdr(Bad[3], 25, {7});               // colour type
    PatchIhdr(Bad[4], 24, {3});               // bit depth
    const size_t Idat = size_t(std::search(Good.begin(), Good.end(), "IDAT", "IDAT" + 4) - Good.begin());
    Bad[5][Idat + 6] ^= 0x55;                 // data no longer matches its CRC
    for (const Bytes& B : Bad)
        ExpectLoadFails<ELongJump>(B, Msg);
}

// Each colour type and depth, plain and interlaced, through every filter:
// the DIB holds the stored samples (RGB as BGR, alpha dropped, 2 bits one per
// byte) and nothing past a row's last pixel.
TEST(PngIo, ReadsEveryFilterAndPassIntoTheDibRows)
{
    struct TCase {
        uint8_t Type, Depth;
        int Channels;
        uint16_t DibBits;
    };
    const TCase Cases[] = {{PNG_COLOR_TYPE_GRAY, 1, 1, 1},      {PNG_COLOR_TYPE_GRAY, 2, 1, 8},
                           {PNG_COLOR_TYPE_GRAY, 4, 1, 4},      {PNG_COLOR_TYPE_GRAY, 8, 1, 8},
                           {PNG_COLOR_TYPE_PALETTE, 1, 1, 1},   {PNG_COLOR_TYPE_PALETTE, 2, 1, 8},
                           {PNG_COLOR_TYPE_PALETTE, 4, 1, 4},   {PNG_COLOR_TYPE_PALETTE, 8, 1, 8},
                           {PNG_COLOR_TYPE_RGB, 8, 3, 24},      {PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2, 8},
                           {PNG_COLOR_TYPE_RGB_ALPHA, 8, 4, 24}};
    for (const TCase& K : Cases)
        for (const bool Adam7 : {false, true})
            for (const auto& [W, H] : {std::pair(1u, 1u), {5u, 9u}, {13u, 4u}, {33u, 17u}, {1u, 70u}, {2u, 41u}, {3u, 23u}}) {
                SCOPED_TRACE(std::to_string(K.Type) + "/" + std::to_string(K.Depth) + " " + std::to_string(W) + "x" +
                             std::to_string(H) + (Adam7 ? " Adam7" : ""));
                // Scattered values, so that Paeth's ties come up.
                const auto Sample = [&](uint32_t X, uint32_t Y, int C) {
                    return ((X * 73856093u) ^ (Y * 19349663u) ^ (uint32_t(C) * 83492791u)) >> 11 & ((1u << K.Depth) - 1);
                };
                const Bytes Plte(K.Type == PNG_COLOR_TYPE_PALETTE ? 3u << K.Depth : 0, 9);
                TBmpTestDib D, Want;
                Load(PngOf(W, H, K.Depth, K.Type, Adam7,
                           FilteredRows(W, H, K.Depth, K.Channels, Adam7, W + H + K.Type, Sample), Plte),
                     D);
                ASSERT_EQ(D.H()->biBitCount, K.DibBits);
                MakeDib(Want, int32_t(W), int32_t(H), K.DibBits, 0, 0, [&](int32_t X, int32_t Y) {
                    return K.DibBits == 24 ? Sample(X, Y, 0) << 16 | Sample(X, Y, 1) << 8 | Sample(X, Y, 2)
                                           : Sample(X, Y, 0);
                });
                EXPECT_EQ(Bytes(D.Bits, D.Bits + D.H()->biSizeImage), Bytes(Want.Bits, Want.Bits + Want.H()->biSizeImage));
            }
    // Paeth between left (22) and upper left (10), equally near 22 + 4 - 10:
    // the left one wins.
    const uint8_t Grey[2][2] = {{10, 4}, {22, 0}};
    const auto Tie = [&](uint32_t X, uint32_t Y, int) { return uint32_t{Grey[Y][X]}; };
    TBmpTestDib T;
    Load(PngOf(2, 2, 8, PNG_COLOR_TYPE_GRAY, 0, FilteredRows(2, 2, 8, 1, false, 3, Tie)), T);
    EXPECT_EQ(Bytes(T.Bits, T.Bits + 2), (Bytes{22, 0}));
}

// A picture of one column or one row reads like any other (libpng's row by
// row reading made a column of a hundred million pixels take seconds).
TEST(PngIo, ReadsOneColumnAndOneRowPictures)
{
    const auto Sample = [](uint32_t X, uint32_t Y, int C) { return ((X + Y) * 3 + uint32_t(C) * 100) & 0xFF; };
    for (const auto& [W, H] : {std::pair(1u, 100000u), {100000u, 1u}}) {
        TBmpTestDib D, Want;
        Load(PngOf(W, H, 8, PNG_COLOR_TYPE_RGB, 0, FilteredRows(W, H, 8, 3, false, 0, Sample)), D);
        MakeDib(Want, int32_t(W), int32_t(H), 24, 0, 0, [&](int32_t X, int32_t Y) {
            return Sample(X, Y, 0) << 16 | Sample(X, Y, 1) << 8 | Sample(X, Y, 2);
        });
        ASSERT_EQ(BmpShape(D.H()), BmpShape(Want.H()));
        EXPECT_EQ(std::memcmp(D.Bits, Want.Bits, Want.H()->biSizeImage), 0) << W << "x" << H;
    }
}

// The image data may come in several IDAT chunks and be followed by
// ancillary chunks, whose CRC errors only drop them; everything else wrong
// with it or after it is refused with the library's long jump.
TEST(PngIo, RefusesDamagedImageDataAndCriticalChunksAfterIt)
{
    const auto Sample = [](uint32_t X, uint32_t Y, int C) { return (X * 40 + Y * 7 + uint32_t(C)) & 0xFF; };
    const Bytes Raw = FilteredRows(6, 4, 8, 3, false, 0, Sample);
    const Bytes Good = PngOf(6, 4, 8, PNG_COLOR_TYPE_RGB, 0, Raw);
    TBmpTestDib Want;
    Load(Good, Want);
    const Bytes Head(Good.begin(), Good.begin() + 33); // signature and IHDR
    const Bytes Idat = Chunk(Good, "IDAT"), Z(Idat.begin() + 8, Idat.end() - 4);
    // Head, then the chunks given, then IEND.
    const auto Build = [&](std::initializer_list<std::pair<const char*, Bytes>> Chunks) {
        Bytes Out = Head;
        for (const auto& [Type, Data] : Chunks)
            PutChunk(Out, Type, Data);
        PutChunk(Out, "IEND", {});
        return Out;
    };
    Bytes BadCrc = Build({{"IDAT", Bytes(Z.begin(), Z.begin() + 5)}, {"IDAT", Bytes(Z.begin() + 5, Z.end())},
                          {"tEXt", {'a', 0, 'b'}}});
    BadCrc[BadCrc.size() - 13] ^= 1; // the tEXt chunk's CRC
    for (const Bytes& P : {BadCrc, Build({{"IDAT", Z}, {"IDAT", {}}, {"zzzz", Bytes(100, 1)}})}) {
        TBmpTestDib D;
        Load(P, D);
        EXPECT_EQ(std::memcmp(D.Bits, Want.Bits, Want.H()->biSizeImage), 0);
    }
    const auto Compressed = [](Bytes R) {
        Bytes Out(compressBound(uLong(R.size())));
        uLongf N = uLongf(Out.size());
        EXPECT_EQ(compress2(Out.data(), &N, R.data(), uLong(R.size()), 6), Z_OK);
        Out.resize(N);
        return Out;
    };
    Bytes BadBlock = Z, BadFilter = Raw;
    BadBlock[2] |= 0x06; // the first deflate block of the reserved type
    BadFilter[19] = 5;   // the second row's filter
    const std::string Msg = "longjmp が実行されました。\r\n1";
    for (const Bytes& P : {Build({{"IDAT", Compressed(Bytes(Raw.begin(), Raw.end() - 19))}}), // a row short
                           Build({{"IDAT", BadBlock}}), Build({{"IDAT", Compressed(BadFilter)}}),
                           Build({{"IDAT", Z}, {"tEXt", {'a', 0}}, {"IDAT", {}}}), Build({{"IDAT", Z}, {"PLTE", {1, 2, 3}}}),
                           Build({{"IDAT", Z}, {"ZZZZ", {}}}), Build({{"IDAT", Z}, {"t3Xt", {}}})})
        ExpectLoadFails<ELongJump>(P, Msg);
}

TEST(PngIo, RoundTripsEveryDepth)
{
    for (int32_t W : {1, 13, 32})
        for (uint16_t Bits : {1, 2, 4, 8, 24}) {
            SCOPED_TRACE(std::to_string(W) + "/" + std::to_string(Bits));
            const int Entries = Bits <= 8 ? 1 << Bits : 0;
            TBmpTestDib Src, Back;
            MakeDib(Src, W, 7, Bits, uint32_t(Entries), Entries, [&](int32_t X, int32_t Y) {
                return Bits == 24 ? uint32_t(X * 0x010203 + Y * 0x300701) : uint32_t(X * 5 + Y * 3) % Entries;
            });
            const Bytes Png = Save(Src);
            // IHDR depth, colour type, compression, filter, interlace.
            EXPECT_EQ(Bytes(Png.begin() + 24, Png.begin() + 29),
                      (Bytes{uint8_t(Bits == 24 ? 8 : Bits), uint8_t(Bits == 24 ? 2 : 3), 0, 0, 0}));
            Load(Png, Back);
            const int64_t Depth = Bits == 2 ? 8 : Bits;
            ASSERT_EQ(BmpShape(Back.H()), (std::vector<int64_t>{W, 7, Depth, GetDIBLineSize(W, Depth) * 7, Entries}));
            ExpectPixels(Back, [&](int32_t X, int32_t Y) { return Pixel(Src, X, Y); });
            // Same bytes, padding included.
            EXPECT_TRUE(Bits == 2 || std::memcmp(Back.Bits, Src.Bits, Src.H()->biSizeImage) == 0);
            for (int I = 0; I < Entries; ++I)
                EXPECT_EQ(Entry(Back, I), Entry(Src, I));
        }
}

TEST(PngIo, PacksEightBitPicturesByColourCount)
{
    // biClrUsed 0 is the full table: the picture stays 8-bit with 256 entries.
    using TCase = std::pair<uint32_t, int>;
    for (auto [ClrUsed, Depth] : {TCase{0, 8}, TCase{2, 1}, TCase{3, 2}, TCase{16, 4}, TCase{17, 8}}) {
        SCOPED_TRACE(ClrUsed);
        const uint32_t Count = ClrUsed ? ClrUsed : 256;
        TBmpTestDib Src, Back;
        MakeDib(Src, 11, 3, 8, ClrUsed, 256, [&](int32_t X, int32_t Y) { return uint32_t(X * 7 + Y * 29) % Count; });
        const Bytes Png = Save(Src);
        EXPECT_EQ(Png[24], Depth);
        Load(Png, Back);
        EXPECT_EQ(std::pair(Back.H()->biClrUsed, int(Back.H()->biBitCount)),
                  std::pair(Count, Depth == 2 ? 8 : Depth));
        ExpectPixels(Back, [&](int32_t X, int32_t Y) { return Pixel(Src, X, Y); });
        for (uint32_t I = 0; I < Count; ++I)
            ASSERT_EQ(Entry(Back, I), Entry(Src, I)) << I;
    }
}

TEST(PngIo, WritesInterlacedAndTransparency)
{
    TBmpTestDib Rgb, Back, Pal;
    MakeDib(Rgb, 17, 9, 24, 0, 0, [](int32_t X, int32_t Y) { return uint32_t(X * 0x0A0B0C ^ Y * 0x112233); });
    const Bytes Png = Save(Rgb, 0x00332211, true);
    EXPECT_EQ(Png[28], 1);
    // A COLORREF: red in the low byte.
    const Bytes Rgb6 = Chunk(Png, "tRNS");
    ASSERT_EQ(Rgb6.size(), 18u);
    EXPECT_EQ(Bytes(Rgb6.begin(), Rgb6.begin() + 14),
              (Bytes{0, 0, 0, 6, 't', 'R', 'N', 'S', 0, 0x11, 0, 0x22, 0, 0x33}));
    Load(Png, Back);
    EXPECT_EQ(std::memcmp(Back.Bits, Rgb.Bits, Rgb.H()->biSizeImage), 0);
    MakeDib(Pal, 5, 2, 8, 200, 256, [](int32_t X, int32_t Y) { return uint32_t(X + 100 * Y); });
    EXPECT_TRUE(Chunk(Save(Pal, -1), "tRNS").empty());
    const Bytes Trns = Chunk(Save(Pal, 0), "tRNS");
    ASSERT_EQ(Trns.size(), 13u);
    EXPECT_EQ(std::pair(Trns[3], Trns[8]), (std::pair<uint8_t, uint8_t>(1, 0))); // one entry: alpha 0 for index 0
}

TEST(PngIo, TransparentLastEntryBecomesEntryZero)
{
    // Five colours; pixels of entry 4 must end up at index 0, the others one up.
    TBmpTestDib Src, Back;
    MakeDib(Src, 6, 2, 4, 5, 16, [](int32_t X, int32_t Y) { return uint32_t(X + Y) % 5; });
    const Bytes HeaderBefore(static_cast<uint8_t*>(Src.Header), static_cast<uint8_t*>(Src.Header) + 40 + 64);
    const Bytes BitsBefore(Src.Bits, Src.Bits + Src.H()->biSizeImage);
    const Bytes Png = Save(Src, 5);
    // The caller's picture is not touched.
    EXPECT_EQ(std::memcmp(HeaderBefore.data(), Src.Header, HeaderBefore.size()), 0);
    EXPECT_EQ(std::memcmp(BitsBefore.data(), Src.Bits, BitsBefore.size()), 0);
    EXPECT_FALSE(Chunk(Png, "tRNS").empty());
    Load(Png, Back);
    ASSERT_EQ(Back.H()->biBitCount, 4);
    ExpectPixels(Back, [](int32_t X, int32_t Y) { return (X + Y + 1) % 5; });
    // Entries 1..4 are the old 0..3; entry 0 keeps its colour.
    for (uint32_t I = 0; I < 5; ++I)
        EXPECT_EQ(Entry(Back, I), Entry(Src, I ? I - 1 : 0)) << I;
}

TEST(PngIo, WriterRefusalsWriteNothing)
{
    auto Refuse = [](const BITMAPINFOHEADER* H, const uint8_t* B, int32_t Trans, const std::string& Msg) {
        TMemoryStream S;
        bool Cancel = true;
        EXPECT_EQ(BmpMessageOf([&] { PNGSaveToStream(S, H, B, Trans, false, nullptr, nullptr, Cancel); }), Msg);
        EXPECT_FALSE(Cancel);
        EXPECT_EQ(S.Size(), 0);
    };
    Refuse(nullptr, nullptr, -1, "PNGSaveToStream: biWidth or biHeight = 0");
    TBmpTestDib D;
    MakeBmpTestDib(D, 4, 4, 8, 300);
    const size_t Blocks = GlobalBlockCount();
    Refuse(D.H(), D.Bits, -1, "pBInfoTmp.bmiHeader.biBitCount");
    D.H()->biClrUsed = 20;
    Refuse(D.H(), D.Bits, 19, "WritePngFile: Illegal iTransCol");
    D.H()->biBitCount = 0;
    Refuse(D.H(), D.Bits, -1, "pBInfoTmp.bmiHeader.biBitCount = 0");
    D.H()->biBitCount = 8;
    D.H()->biWidth = 0;
    Refuse(D.H(), D.Bits, -1, "PNGSaveToStream: biWidth or biHeight = 0");
    D.H()->biWidth = 4;
    D.H()->biHeight = -4;
    Refuse(D.H(), D.Bits, -1, "PNGSaveToStream: Illegal Size");
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(PngIo, ProgressEveryEightRowsAndCancel)
{
    TBmpTestDib D;
    MakeDib(D, 10, 20, 24, 0, 0, [](int32_t X, int32_t Y) { return uint32_t(X * Y * 999); });
    int Token = 0;
    std::vector<int32_t> Seen;
    bool StopNow = false;
    TConvertProgressEvent Progress = [&](void* Sender, int32_t Percent, const std::string& Msg, bool& Cancel) {
        EXPECT_EQ(Sender, &Token);
        EXPECT_EQ(Msg, "PNG 圧縮中");
        Seen.push_back(Percent);
        Cancel = StopNow;
    };
    EXPECT_EQ(Save(D, -1, false, Progress, &Token), Save(D));
    EXPECT_EQ(Seen, (std::vector<int32_t>{40, 80})); // rows 8 and 16 of 20; the last 4 silently
    Seen.clear();
    Save(D, -1, true, Progress, &Token); // interlaced pictures are written in one go, without progress
    EXPECT_TRUE(Seen.empty());
    // Cancel stops at once, leaving a PNG without its end.
    const size_t Blocks = GlobalBlockCount();
    StopNow = true;
    bool Cancel = false;
    const Bytes Partial = Save(D, -1, false, Progress, &Token, &Cancel);
    EXPECT_TRUE(Cancel);
    EXPECT_EQ(Seen.size(), 1u);
    EXPECT_TRUE(Chunk(Partial, "IEND").empty());
    EXPECT_EQ(GlobalBlockCount(), Blocks);
    ExpectLoadFails<Exception>(Partial);
}

namespace {
// A stream that refuses to take more than Room bytes.
class TFullStream : public TMemoryStream {
public:
    explicit TFullStream(int64_t Room) : FRoom(Room) {}
    int32_t Write(const void* Buffer, int32_t Count) override
    {
        return Size() + Count > FRoom ? 0 : TMemoryStream::Write(Buffer, Count);
    }

private:
    int64_t FRoom;
};
} // namespace

TEST(PngIo, FilesStreamErrorsAndStrayIndices)
{
    TBmpTestDib D, P, Back, FromFile;
    MakeDib(D, 40, 40, 24, 0, 0, [](int32_t X, int32_t Y) { return uint32_t(X * 7777 + Y * 31); });
    const Bytes Png = Save(D);
    TTempDir Dir;
    Dir.Put("a.png", std::string(Png.begin(), Png.end()));
    bool Cancel = true;
    PNGLoadFromFile(Dir / "a.png", FromFile.Header, FromFile.Bits, Cancel);
    EXPECT_EQ(std::memcmp(FromFile.Bits, D.Bits, D.H()->biSizeImage), 0);
    EXPECT_THROW(PNGLoadFromFile(Dir / "b.png", Back.Header, Back.Bits, Cancel), EFOpenError);
    const size_t Blocks = GlobalBlockCount();
    std::vector<std::string> Boxes;
    const TMessageBoxHandler Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&,
                                                            uint32_t) {
        Boxes.push_back(Text);
        return IDOK;
    });
    TFullStream S(100);
    EXPECT_THROW(PNGSaveToStream(S, D.H(), D.Bits, -1, false, nullptr, nullptr, Cancel), EWriteError);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
    // A stray index past the table is stored as it is, without complaint,
    // and reads back as black from the padded table.
    MakeDib(P, 4, 1, 8, 20, 256, [](int32_t X, int32_t) { return X == 3 ? 200u : 1u; });
    Load(Save(P), Back);
    EXPECT_EQ(Back.H()->biClrUsed, 20u);
    EXPECT_EQ(Pixel(Back, 3, 0), 200u);
    EXPECT_EQ(Entry(Back, 200), 0u);
    EXPECT_TRUE(Boxes.empty()); // a stream error is not the library's
    SetMessageBoxHandler(Old);
}
