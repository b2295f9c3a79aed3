#include "raster/png_io.h"

#include "foundation/platform_wrappers.h"
#include "platform/message_box.h"
#include "raster/bmp_conv.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include <png.h>

namespace {

using Bytes = std::vector<uint8_t>;

// ---- PNG files made by bare libpng.

struct TRefPng {
    uint32_t Width = 0, Height = 0;
    int Depth = 8, Type = PNG_COLOR_TYPE_RGB;
    bool Interlace = false;
    std::vector<png_color> Palette;
    std::vector<png_byte> TransAlpha;
    Bytes Rows; // packed PNG rows, top first
};

void RefWriteFn(png_structp Png, png_bytep Data, size_t Len)
{
    auto* Out = static_cast<Bytes*>(png_get_io_ptr(Png));
    Out->insert(Out->end(), Data, Data + Len);
}
void RefFlushFn(png_structp) {}
void RefErrorFn(png_structp Png, png_const_charp) { png_longjmp(Png, 1); }
void RefWarnFn(png_structp, png_const_charp) {}

size_t RefRowBytes(const TRefPng& P)
{
    const int Channels = P.Type == PNG_COLOR_TYPE_RGB ? 3
                         : P.Type == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                         : P.Type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
    return (size_t(P.Width) * P.Depth * Channels + 7) / 8;
}

// No object with a destructor lives in this frame.
int RefWriteCore(const TRefPng* P, Bytes* Out)
{
    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, RefErrorFn, RefWarnFn);
    png_infop Info = png_create_info_struct(Png);
    if (setjmp(png_jmpbuf(Png))) {
        png_destroy_write_struct(&Png, &Info);
        return 1;
    }
    png_set_write_fn(Png, Out, RefWriteFn, RefFlushFn);
    png_set_IHDR(Png, Info, P->Width, P->Height, P->Depth, P->Type,
                 P->Interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!P->Palette.empty())
        png_set_PLTE(Png, Info, P->Palette.data(), int(P->Palette.size()));
    if (!P->TransAlpha.empty())
        png_set_tRNS(Png, Info, P->TransAlpha.data(), int(P->TransAlpha.size()), nullptr);
    png_write_info(Png, Info);
    const int Passes = png_set_interlace_handling(Png);
    const size_t RB = RefRowBytes(*P);
    for (int Pass = 0; Pass < Passes; ++Pass)
        for (uint32_t Y = 0; Y < P->Height; ++Y)
            png_write_row(Png, P->Rows.data() + Y * RB);
    png_write_end(Png, Info);
    png_destroy_write_struct(&Png, &Info);
    return 0;
}

Bytes RefWrite(const TRefPng& P)
{
    Bytes Out;
    EXPECT_EQ(RefWriteCore(&P, &Out), 0);
    return Out;
}

// ---- DIBs in global memory.

struct TDib {
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    TDib() = default;
    TDib(const TDib&) = delete;
    TDib& operator=(const TDib&) = delete;
    ~TDib()
    {
        if (Header)
            GlobalFree(Header);
        if (Bits)
            GlobalFree(Bits);
    }
    BITMAPINFOHEADER* H() const { return static_cast<BITMAPINFOHEADER*>(Header); }
    int64_t Line() const { return GetDIBLineSize(H()->biWidth, H()->biBitCount); }
    // Index (or first byte) of pixel (X, Y), Y = 0 the top row.
    uint32_t Index(int32_t X, int32_t Y) const
    {
        const uint8_t* Row = Bits + (H()->biHeight - 1 - Y) * Line();
        switch (H()->biBitCount) {
        case 1: return (Row[X / 8] >> (7 - X % 8)) & 1;
        case 2: return (Row[X / 4] >> (6 - 2 * (X % 4))) & 3;
        case 4: return (Row[X / 2] >> (X % 2 ? 0 : 4)) & 15;
        default: return Row[X];
        }
    }
    const uint8_t* Pixel24(int32_t X, int32_t Y) const
    {
        return Bits + (H()->biHeight - 1 - Y) * Line() + 3 * X;
    }
    const RGBQUAD& Colour(uint32_t I) const { return DIBColorTable(H())[I]; }
};

// A DIB whose pixel (X, Y) (Y = 0 top) is Fn(X, Y): an index, or for 24 bits
// the colour 0x00RRGGBB.
template <class F>
void MakeDib(TDib& D, int32_t W, int32_t H, int Bits, uint32_t ClrUsed, int TableEntries, F Fn)
{
    D.Header = GlobalAlloc(GPTR, sizeof(BITMAPINFOHEADER) + 4 * size_t(TableEntries));
    BITMAPINFOHEADER* Hd = D.H();
    Hd->biSize = 40;
    Hd->biWidth = W;
    Hd->biHeight = H;
    Hd->biPlanes = 1;
    Hd->biBitCount = uint16_t(Bits);
    Hd->biClrUsed = ClrUsed;
    const int64_t Line = GetDIBLineSize(W, Bits);
    Hd->biSizeImage = uint32_t(Line * H);
    for (int I = 0; I < TableEntries; ++I)
        DIBColorTable(Hd)[I] = RGBQUAD{uint8_t(I * 7), uint8_t(255 - I), uint8_t(I * 3 + 1), 0};
    D.Bits = static_cast<uint8_t*>(GlobalAlloc(GPTR, size_t(Line * H)));
    for (int32_t Y = 0; Y < H; ++Y) {
        uint8_t* Row = D.Bits + (H - 1 - Y) * Line;
        for (int32_t X = 0; X < W; ++X) {
            const uint32_t V = Fn(X, Y);
            switch (Bits) {
            case 1: Row[X / 8] |= uint8_t((V & 1) << (7 - X % 8)); break;
            case 2: Row[X / 4] |= uint8_t((V & 3) << (6 - 2 * (X % 4))); break;
            case 4: Row[X / 2] |= uint8_t((V & 15) << (X % 2 ? 0 : 4)); break;
            case 8: Row[X] = uint8_t(V); break;
            default:
                Row[3 * X] = uint8_t(V);
                Row[3 * X + 1] = uint8_t(V >> 8);
                Row[3 * X + 2] = uint8_t(V >> 16);
            }
        }
    }
}

void Load(const Bytes& Png, TDib& D)
{
    TMemoryStreamWex S;
    S.SetPointer(Png.data(), int64_t(Png.size()));
    bool Cancel = true;
    PNGLoadFromStream(S, D.Header, D.Bits, Cancel);
    EXPECT_FALSE(Cancel);
}

Bytes Save(const TDib& D, int32_t TransCol = -1, bool Interlace = false)
{
    TMemoryStream S;
    bool Cancel = true;
    PNGSaveToStream(S, D.H(), D.Bits, TransCol, Interlace, nullptr, nullptr, Cancel);
    EXPECT_FALSE(Cancel);
    const auto* P = static_cast<const uint8_t*>(S.Memory());
    return Bytes(P, P + S.Size());
}

// IHDR fields of a PNG: bit depth, colour type, interlace.
struct TIhdr {
    uint32_t W, H;
    int Depth, Type, Interlace;
};
TIhdr ReadIhdr(const Bytes& P)
{
    auto U32 = [&](size_t O) { return uint32_t(P[O]) << 24 | uint32_t(P[O + 1]) << 16 | uint32_t(P[O + 2]) << 8 | P[O + 3]; };
    return TIhdr{U32(16), U32(20), P[24], P[25], P[28]};
}

// Chunk start offsets (after the signature) and the total length.
std::vector<size_t> ChunkOffsets(const Bytes& P)
{
    std::vector<size_t> Offs;
    size_t O = 8;
    while (O + 8 <= P.size()) {
        Offs.push_back(O);
        const uint32_t Len = uint32_t(P[O]) << 24 | uint32_t(P[O + 1]) << 16 | uint32_t(P[O + 2]) << 8 | P[O + 3];
        O += 12 + Len;
    }
    return Offs;
}

bool HasChunk(const Bytes& P, const char* Type)
{
    for (size_t O : ChunkOffsets(P))
        if (std::memcmp(&P[O + 4], Type, 4) == 0)
            return true;
    return false;
}

uint32_t Crc32(const uint8_t* D, size_t N)
{
    uint32_t C = 0xFFFFFFFFu;
    for (size_t I = 0; I < N; ++I) {
        C ^= D[I];
        for (int K = 0; K < 8; ++K)
            C = (C >> 1) ^ (0xEDB88320u & (0u - (C & 1)));
    }
    return ~C;
}

// Rewrites the IHDR's CRC after a deliberate change of its fields.
void FixIhdrCrc(Bytes& P)
{
    const uint32_t C = Crc32(&P[12], 17);
    P[29] = uint8_t(C >> 24);
    P[30] = uint8_t(C >> 16);
    P[31] = uint8_t(C >> 8);
    P[32] = uint8_t(C);
}

// A 13 x 5 8-bit RGB picture with distinct channels.
TRefPng RgbRef(bool Interlace)
{
    TRefPng P;
    P.Width = 13;
    P.Height = 5;
    P.Interlace = Interlace;
    for (uint32_t Y = 0; Y < P.Height; ++Y)
        for (uint32_t X = 0; X < P.Width; ++X) {
            P.Rows.push_back(uint8_t(X * 19));
            P.Rows.push_back(uint8_t(Y * 50));
            P.Rows.push_back(uint8_t(X + Y * 13));
        }
    return P;
}

// Load must fail with E and leave the sentinel outputs and the block count alone.
template <class E>
void ExpectLoadFails(const Bytes& Png, const std::string& Message = "")
{
    const size_t Blocks = GlobalBlockCount();
    HGLOBAL Hd = reinterpret_cast<HGLOBAL>(0x1234);
    uint8_t* Bits = reinterpret_cast<uint8_t*>(0x5678);
    TMemoryStreamWex S;
    S.SetPointer(Png.data(), int64_t(Png.size()));
    bool Cancel = true;
    try {
        PNGLoadFromStream(S, Hd, Bits, Cancel);
        ADD_FAILURE() << "no exception for a PNG of " << Png.size() << " bytes";
    } catch (const E& Ex) {
        if (!Message.empty()) {
            EXPECT_EQ(Ex.Message(), Message);
        }
    } catch (const std::exception& Ex) {
        ADD_FAILURE() << "unexpected exception: " << Ex.what();
    }
    EXPECT_EQ(Hd, reinterpret_cast<HGLOBAL>(0x1234));
    EXPECT_EQ(Bits, reinterpret_cast<uint8_t*>(0x5678));
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

// Records message boxes instead of showing them.
struct TBoxRecorder {
    std::vector<std::string> Texts;
    TMessageBoxHandler Old;
    TBoxRecorder()
    {
        Old = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption, uint32_t) {
            EXPECT_EQ(Caption, "エラー");
            Texts.push_back(Text);
            return IDOK;
        });
    }
    ~TBoxRecorder() { SetMessageBoxHandler(Old); }
};

} // namespace

// ---- Reading files written by libpng.

TEST(PngIo, ReadsPaletteWithTransparencyAsItsPalette)
{
    TRefPng P;
    P.Width = 9;
    P.Height = 3;
    P.Depth = 4;
    P.Type = PNG_COLOR_TYPE_PALETTE;
    P.Palette = {{255, 0, 0}, {0, 128, 0}, {1, 2, 3}};
    P.TransAlpha = {0, 255, 100};
    for (uint32_t Y = 0; Y < 3; ++Y)
        for (uint32_t X = 0; X < 9; X += 2) {
            const uint8_t A = uint8_t((X + Y) % 3), B = uint8_t((X + 1 + Y) % 3);
            P.Rows.push_back(uint8_t(A << 4 | (X + 1 < 9 ? B : 0)));
        }
    TDib D;
    Load(RefWrite(P), D);
    ASSERT_EQ(D.H()->biBitCount, 4);
    EXPECT_EQ(D.H()->biClrUsed, 3u);
    EXPECT_EQ(D.H()->biSize, 40u);
    EXPECT_EQ(D.H()->biWidth, 9);
    EXPECT_EQ(D.H()->biHeight, 3);
    EXPECT_EQ(D.H()->biSizeImage, 8u * 3); // 5 bytes of pixels, padded
    EXPECT_EQ(D.Colour(0).rgbRed, 255);
    EXPECT_EQ(D.Colour(1).rgbGreen, 128);
    EXPECT_EQ(D.Colour(2).rgbBlue, 3);
    EXPECT_EQ(D.Colour(2).rgbRed, 1);
    for (int32_t Y = 0; Y < 3; ++Y)
        for (int32_t X = 0; X < 9; ++X)
            EXPECT_EQ(D.Index(X, Y), uint32_t((X + Y) % 3)) << X << "," << Y;
}

TEST(PngIo, ReadsGreyDepthsWithEvenRamps)
{
    for (int Depth : {1, 2, 4, 8}) {
        TRefPng P;
        P.Width = 13;
        P.Height = 4;
        P.Depth = Depth;
        P.Type = PNG_COLOR_TYPE_GRAY;
        const int Levels = 1 << Depth;
        const size_t RB = RefRowBytes(P);
        P.Rows.assign(RB * P.Height, 0);
        auto Value = [&](uint32_t X, uint32_t Y) { return uint32_t(X * 3 + Y) % Levels; };
        for (uint32_t Y = 0; Y < P.Height; ++Y)
            for (uint32_t X = 0; X < P.Width; ++X) {
                const uint32_t Bit = X * Depth;
                P.Rows[Y * RB + Bit / 8] |= uint8_t(Value(X, Y) << (8 - Depth - Bit % 8));
            }
        TDib D;
        Load(RefWrite(P), D);
        // 2-bit grey is widened to one byte per pixel, in a block sized for it.
        const int Expected = Depth == 2 ? 8 : Depth;
        ASSERT_EQ(D.H()->biBitCount, Expected) << Depth;
        EXPECT_EQ(D.H()->biClrUsed, uint32_t(Levels));
        EXPECT_EQ(D.H()->biSizeImage, uint32_t(GetDIBLineSize(13, Expected) * 4));
        EXPECT_GE(GlobalSize(D.Bits), size_t(D.H()->biSizeImage));
        EXPECT_GE(GlobalSize(D.Header), 40u + 4u * (1u << Expected));
        const int Step = 255 / (Levels - 1); // 255, 85, 17, 1
        for (int I = 0; I < Levels; ++I) {
            EXPECT_EQ(D.Colour(I).rgbRed, I * Step);
            EXPECT_EQ(D.Colour(I).rgbGreen, I * Step);
            EXPECT_EQ(D.Colour(I).rgbBlue, I * Step);
        }
        for (int32_t Y = 0; Y < 4; ++Y)
            for (int32_t X = 0; X < 13; ++X)
                ASSERT_EQ(D.Index(X, Y), Value(X, Y)) << Depth << ":" << X << "," << Y;
    }
}

TEST(PngIo, ReadsTwoBitPaletteAsEightBits)
{
    TRefPng P;
    P.Width = 6;
    P.Height = 2;
    P.Depth = 2;
    P.Type = PNG_COLOR_TYPE_PALETTE;
    P.Palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
    P.Rows = {0x1B, 0xE0, 0xE4, 0x10}; // 0 1 2 3 3 2 / 3 2 1 0 0 1
    TDib D;
    Load(RefWrite(P), D);
    ASSERT_EQ(D.H()->biBitCount, 8);
    EXPECT_EQ(D.H()->biClrUsed, 4u);
    const uint32_t Want[2][6] = {{0, 1, 2, 3, 3, 2}, {3, 2, 1, 0, 0, 1}};
    for (int32_t Y = 0; Y < 2; ++Y)
        for (int32_t X = 0; X < 6; ++X)
            EXPECT_EQ(D.Index(X, Y), Want[Y][X]);
    EXPECT_EQ(D.Colour(3).rgbRed, 100);
    EXPECT_EQ(D.Colour(3).rgbBlue, 120);
    // Row padding is cleared.
    EXPECT_EQ(D.Bits[6], 0);
    EXPECT_EQ(D.Bits[7], 0);
}

TEST(PngIo, ReadsRgbBottomUpInBgrOrder)
{
    for (bool Interlace : {false, true}) {
        const TRefPng P = RgbRef(Interlace);
        TDib D;
        Load(RefWrite(P), D);
        ASSERT_EQ(D.H()->biBitCount, 24);
        EXPECT_EQ(D.H()->biClrUsed, 0u);
        EXPECT_EQ(D.H()->biSizeImage, 40u * 5);
        for (int32_t Y = 0; Y < 5; ++Y)
            for (int32_t X = 0; X < 13; ++X) {
                const uint8_t* Px = D.Pixel24(X, Y);
                EXPECT_EQ(Px[2], uint8_t(X * 19));
                EXPECT_EQ(Px[1], uint8_t(Y * 50));
                EXPECT_EQ(Px[0], uint8_t(X + Y * 13));
            }
        // First memory row = bottom picture row.
        EXPECT_EQ(D.Bits[1], 200);
    }
}

TEST(PngIo, StripsAlphaChannels)
{
    TRefPng P;
    P.Width = 3;
    P.Height = 2;
    P.Type = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int I = 0; I < 6; ++I)
        P.Rows.insert(P.Rows.end(), {uint8_t(I * 40), uint8_t(I), uint8_t(255 - I), uint8_t(I * 7)});
    TDib D;
    Load(RefWrite(P), D);
    ASSERT_EQ(D.H()->biBitCount, 24);
    for (int I = 0; I < 6; ++I) {
        const uint8_t* Px = D.Pixel24(I % 3, I / 3);
        EXPECT_EQ(Px[2], I * 40);
        EXPECT_EQ(Px[1], I);
        EXPECT_EQ(Px[0], 255 - I);
    }

    TRefPng G;
    G.Width = 3;
    G.Height = 1;
    G.Type = PNG_COLOR_TYPE_GRAY_ALPHA;
    G.Rows = {10, 0, 20, 99, 30, 255};
    TDib DG;
    Load(RefWrite(G), DG);
    ASSERT_EQ(DG.H()->biBitCount, 8);
    EXPECT_EQ(DG.H()->biClrUsed, 256u);
    EXPECT_EQ(DG.Index(0, 0), 10u);
    EXPECT_EQ(DG.Index(1, 0), 20u);
    EXPECT_EQ(DG.Index(2, 0), 30u);
    EXPECT_EQ(DG.Colour(200).rgbGreen, 200);
}

TEST(PngIo, RefusesSixteenBitsAndOversizedPictures)
{
    TRefPng P;
    P.Width = 2;
    P.Height = 1;
    P.Depth = 16;
    P.Rows.assign(12, 7);
    ExpectLoadFails<EUserError>(RefWrite(P), "PNGLoadFromStream: Not Suppoert (BitDepth = 16)");

    // 20000 x 20000 is past the pixel cap: refused before anything is allocated.
    Bytes Big = RefWrite(RgbRef(false));
    for (int I : {16, 20}) {
        Big[I] = 0;
        Big[I + 1] = 0;
        Big[I + 2] = 0x4E;
        Big[I + 3] = 0x20;
    }
    FixIhdrCrc(Big);
    ExpectLoadFails<EUserError>(Big, "PNGLoadFromStream: Illegal Size");
}

TEST(PngIo, StopsAtTheEndOfThePng)
{
    Bytes Data = RefWrite(RgbRef(false));
    const size_t Len = Data.size();
    Data.insert(Data.end(), {'t', 'a', 'i', 'l'});
    TMemoryStreamWex S;
    S.SetPointer(Data.data(), int64_t(Data.size()));
    TDib D;
    bool Cancel = false;
    PNGLoadFromStream(S, D.Header, D.Bits, Cancel);
    EXPECT_EQ(S.Position(), int64_t(Len));
}

// ---- Broken streams.

TEST(PngIo, TruncatedStreamsFailCleanly)
{
    const Bytes Full = RefWrite(RgbRef(true));
    // Every cut, chunk boundaries included, up to the last byte of IEND.
    for (size_t Cut = 0; Cut < Full.size(); ++Cut)
        ExpectLoadFails<Exception>(Bytes(Full.begin(), Full.begin() + Cut));
    for (size_t O : ChunkOffsets(Full))
        ExpectLoadFails<EReadError>(Bytes(Full.begin(), Full.begin() + O));
}

TEST(PngIo, CorruptStreamsRaiseLongJump)
{
    const std::string Msg = "longjmp が実行されました。\r\n1";
    const Bytes Good = RefWrite(RgbRef(false));

    Bytes BadSig = Good;
    BadSig[1] = 'Q';
    ExpectLoadFails<ELongJump>(BadSig, Msg);

    Bytes BadIhdrCrc = Good;
    BadIhdrCrc[32] ^= 0xFF;
    ExpectLoadFails<ELongJump>(BadIhdrCrc, Msg);

    for (size_t O : ChunkOffsets(Good)) {
        if (std::memcmp(&Good[O + 4], "IDAT", 4) == 0) {
            Bytes BadData = Good;
            BadData[O + 10] ^= 0x55; // CRC no longer matches
            ExpectLoadFails<ELongJump>(BadData, Msg);
        }
    }

    Bytes ZeroWidth = Good;
    ZeroWidth[16] = ZeroWidth[17] = ZeroWidth[18] = ZeroWidth[19] = 0;
    FixIhdrCrc(ZeroWidth);
    ExpectLoadFails<ELongJump>(ZeroWidth, Msg);

    Bytes BadType = Good;
    BadType[25] = 7;
    FixIhdrCrc(BadType);
    ExpectLoadFails<ELongJump>(BadType, Msg);

    Bytes BadDepth = Good;
    BadDepth[24] = 3;
    FixIhdrCrc(BadDepth);
    ExpectLoadFails<ELongJump>(BadDepth, Msg);
}

// ---- Writing.

TEST(PngIo, RoundTripsEveryDepth)
{
    for (int32_t W : {1, 13, 32}) {
        for (int Bits : {1, 2, 4, 8, 24}) {
            const int Entries = Bits <= 8 ? 1 << Bits : 0;
            TDib Src;
            MakeDib(Src, W, 7, Bits, uint32_t(Entries), Entries, [&](int32_t X, int32_t Y) {
                return Bits == 24 ? uint32_t(X * 0x010203 + Y * 0x300701) : uint32_t(X * 5 + Y * 3) % Entries;
            });
            const Bytes Png = Save(Src);
            const TIhdr Ih = ReadIhdr(Png);
            EXPECT_EQ(Ih.Depth, Bits == 24 ? 8 : Bits);
            EXPECT_EQ(Ih.Type, Bits == 24 ? 2 : 3);
            EXPECT_EQ(Ih.Interlace, 0);
            TDib Back;
            Load(Png, Back);
            const int BackBits = Bits == 2 ? 8 : Bits;
            ASSERT_EQ(Back.H()->biBitCount, BackBits);
            ASSERT_EQ(Back.H()->biWidth, W);
            ASSERT_EQ(Back.H()->biHeight, 7);
            if (Bits == 24 || Bits == 1 || Bits == 4 || Bits == 8) {
                // Same bytes, padding included.
                EXPECT_EQ(Back.H()->biSizeImage, Src.H()->biSizeImage);
                EXPECT_EQ(std::memcmp(Back.Bits, Src.Bits, Src.H()->biSizeImage), 0) << W << "/" << Bits;
            }
            for (int32_t Y = 0; Y < 7; ++Y) {
                for (int32_t X = 0; X < W; ++X) {
                    if (Bits <= 8) {
                        ASSERT_EQ(Back.Index(X, Y), Src.Index(X, Y)) << W << "/" << Bits;
                    }
                }
            }
            for (int I = 0; I < Entries; ++I) {
                EXPECT_EQ(Back.Colour(I).rgbRed, Src.Colour(I).rgbRed);
                EXPECT_EQ(Back.Colour(I).rgbGreen, Src.Colour(I).rgbGreen);
                EXPECT_EQ(Back.Colour(I).rgbBlue, Src.Colour(I).rgbBlue);
            }
            if (Bits <= 8) {
                EXPECT_EQ(Back.H()->biClrUsed, uint32_t(Entries));
            }
        }
    }
}

TEST(PngIo, WritesThirtyTwoBitsAsRgb)
{
    TDib Src;
    Src.Header = GlobalAlloc(GPTR, 40);
    BITMAPINFOHEADER* H = Src.H();
    *H = BITMAPINFOHEADER{40, 3, 2, 1, 32, BI_RGB, 24, 0, 0, 0, 0};
    Src.Bits = static_cast<uint8_t*>(GlobalAlloc(GPTR, 24));
    for (int I = 0; I < 6; ++I) {
        Src.Bits[4 * I] = uint8_t(I);          // blue
        Src.Bits[4 * I + 1] = uint8_t(10 * I); // green
        Src.Bits[4 * I + 2] = uint8_t(50 * I); // red
        Src.Bits[4 * I + 3] = 0xEE;            // unused
    }
    const Bytes Png = Save(Src);
    EXPECT_EQ(ReadIhdr(Png).Type, 2);
    TDib Back;
    Load(Png, Back);
    ASSERT_EQ(Back.H()->biBitCount, 24);
    for (int I = 0; I < 6; ++I) {
        const uint8_t* Px = Back.Pixel24(I % 3, 1 - I / 3);
        EXPECT_EQ(Px[0], I);
        EXPECT_EQ(Px[1], 10 * I);
        EXPECT_EQ(Px[2], 50 * I);
    }
}

TEST(PngIo, PacksEightBitPicturesByColourCount)
{
    struct TCase {
        uint32_t ClrUsed;
        int Depth; // in the PNG
    };
    // biClrUsed 0 is the full table: the picture stays 8-bit with 256 entries.
    for (TCase C : {TCase{0, 8}, TCase{2, 1}, TCase{3, 2}, TCase{4, 2}, TCase{10, 4}, TCase{16, 4}, TCase{17, 8}}) {
        const uint32_t Count = C.ClrUsed ? C.ClrUsed : 256;
        TDib Src;
        MakeDib(Src, 11, 3, 8, C.ClrUsed, 256, [&](int32_t X, int32_t Y) { return uint32_t(X * 7 + Y * 29) % Count; });
        const Bytes Png = Save(Src);
        EXPECT_EQ(ReadIhdr(Png).Depth, C.Depth) << C.ClrUsed;
        TDib Back;
        Load(Png, Back);
        EXPECT_EQ(Back.H()->biClrUsed, Count);
        EXPECT_EQ(Back.H()->biBitCount, C.Depth == 2 ? 8 : C.Depth);
        for (int32_t Y = 0; Y < 3; ++Y)
            for (int32_t X = 0; X < 11; ++X)
                ASSERT_EQ(Back.Index(X, Y), Src.Index(X, Y)) << C.ClrUsed;
        for (uint32_t I = 0; I < Count; ++I)
            ASSERT_EQ(std::memcmp(&Back.Colour(I), &Src.Colour(I), 3), 0) << C.ClrUsed << ":" << I;
    }
}

TEST(PngIo, WritesInterlacedAndTransparency)
{
    TDib Rgb;
    MakeDib(Rgb, 17, 9, 24, 0, 0, [](int32_t X, int32_t Y) { return uint32_t(X * 0x0A0B0C ^ Y * 0x112233); });
    const Bytes Png = Save(Rgb, 0x00332211, true);
    EXPECT_EQ(ReadIhdr(Png).Interlace, 1);
    ASSERT_TRUE(HasChunk(Png, "tRNS"));
    for (size_t O : ChunkOffsets(Png))
        if (std::memcmp(&Png[O + 4], "tRNS", 4) == 0) {
            // A COLORREF: red in the low byte.
            const Bytes Want = {0, 0, 0, 6, 't', 'R', 'N', 'S', 0, 0x11, 0, 0x22, 0, 0x33};
            EXPECT_EQ(Bytes(Png.begin() + O, Png.begin() + O + 14), Want);
        }
    TDib Back;
    Load(Png, Back);
    EXPECT_EQ(std::memcmp(Back.Bits, Rgb.Bits, Rgb.H()->biSizeImage), 0);

    TDib Pal;
    MakeDib(Pal, 5, 2, 8, 200, 256, [](int32_t X, int32_t Y) { return uint32_t(X + 100 * Y); });
    EXPECT_FALSE(HasChunk(Save(Pal, -1), "tRNS"));
    const Bytes WithTrans = Save(Pal, 0);
    ASSERT_TRUE(HasChunk(WithTrans, "tRNS"));
    for (size_t O : ChunkOffsets(WithTrans))
        if (std::memcmp(&WithTrans[O + 4], "tRNS", 4) == 0) {
            EXPECT_EQ(WithTrans[O + 3], 1); // one entry
            EXPECT_EQ(WithTrans[O + 8], 0); // alpha 0 for index 0
        }
}

TEST(PngIo, TransparentLastEntryBecomesEntryZero)
{
    // Five colours; pixels of entry 4 must end up at index 0, the others one up.
    TDib Src;
    MakeDib(Src, 6, 2, 4, 5, 16, [](int32_t X, int32_t Y) { return uint32_t(X + Y) % 5; });
    const std::vector<uint8_t> HeaderBefore(static_cast<uint8_t*>(Src.Header), static_cast<uint8_t*>(Src.Header) + 40 + 64);
    const std::vector<uint8_t> BitsBefore(Src.Bits, Src.Bits + Src.H()->biSizeImage);
    const Bytes Png = Save(Src, 5);
    // The caller's picture is not touched.
    EXPECT_EQ(std::memcmp(HeaderBefore.data(), Src.Header, HeaderBefore.size()), 0);
    EXPECT_EQ(std::memcmp(BitsBefore.data(), Src.Bits, BitsBefore.size()), 0);
    EXPECT_TRUE(HasChunk(Png, "tRNS"));
    TDib Back;
    Load(Png, Back);
    ASSERT_EQ(Back.H()->biBitCount, 4);
    for (int32_t Y = 0; Y < 2; ++Y)
        for (int32_t X = 0; X < 6; ++X) {
            const uint32_t Old = uint32_t(X + Y) % 5;
            EXPECT_EQ(Back.Index(X, Y), Old == 4 ? 0u : Old + 1);
        }
    // Entries 1..4 are the old 0..3; entry 0 keeps its colour.
    EXPECT_EQ(std::memcmp(&Back.Colour(0), &Src.Colour(0), 3), 0);
    for (int I = 1; I < 5; ++I)
        EXPECT_EQ(std::memcmp(&Back.Colour(I), &Src.Colour(I - 1), 3), 0) << I;
}

TEST(PngIo, WriterRefusalsWriteNothing)
{
    auto Refuse = [](const BITMAPINFOHEADER* H, const uint8_t* B, int32_t Trans, const std::string& Msg) {
        TMemoryStream S;
        bool Cancel = true;
        try {
            PNGSaveToStream(S, H, B, Trans, false, nullptr, nullptr, Cancel);
            ADD_FAILURE() << "accepted: " << Msg;
        } catch (const EUserError& E) {
            EXPECT_EQ(E.Message(), Msg);
        }
        EXPECT_FALSE(Cancel);
        EXPECT_EQ(S.Size(), 0);
    };
    Refuse(nullptr, nullptr, -1, "PNGSaveToStream: biWidth or biHeight = 0");
    TDib D;
    MakeDib(D, 4, 4, 8, 300, 256, [](int32_t, int32_t) { return 0u; });
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
    TDib D;
    MakeDib(D, 10, 20, 24, 0, 0, [](int32_t X, int32_t Y) { return uint32_t(X * Y * 999); });
    int Token = 0;
    std::vector<int32_t> Seen;
    TConvertProgressEvent Progress = [&](void* Sender, int32_t Percent, const std::string& Msg, bool& Cancel) {
        EXPECT_EQ(Sender, &Token);
        EXPECT_EQ(Msg, "PNG 圧縮中");
        Seen.push_back(Percent);
        (void)Cancel;
    };
    TMemoryStream S;
    bool Cancel = true;
    PNGSaveToStream(S, D.H(), D.Bits, -1, false, &Token, Progress, Cancel);
    EXPECT_FALSE(Cancel);
    EXPECT_EQ(Seen, (std::vector<int32_t>{40, 80})); // rows 8 and 16 of 20; the last 4 silently
    const auto* P = static_cast<const uint8_t*>(S.Memory());
    EXPECT_EQ(Bytes(P, P + S.Size()), Save(D));

    // Interlaced pictures are written in one go, without progress.
    Seen.clear();
    TMemoryStream SI;
    PNGSaveToStream(SI, D.H(), D.Bits, -1, true, &Token, Progress, Cancel);
    EXPECT_TRUE(Seen.empty());

    // Cancel stops at once, leaving a PNG without its end.
    const size_t Blocks = GlobalBlockCount();
    Seen.clear();
    TMemoryStream SC;
    PNGSaveToStream(SC, D.H(), D.Bits, -1, false, &Token,
                    [&](void*, int32_t Percent, const std::string&, bool& C) {
                        Seen.push_back(Percent);
                        C = true;
                    },
                    Cancel);
    EXPECT_TRUE(Cancel);
    EXPECT_EQ(Seen.size(), 1u);
    const auto* PC = static_cast<const uint8_t*>(SC.Memory());
    const Bytes Partial(PC, PC + SC.Size());
    EXPECT_FALSE(HasChunk(Partial, "IEND"));
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
        if (Size() + Count > FRoom)
            return 0;
        return TMemoryStream::Write(Buffer, Count);
    }

private:
    int64_t FRoom;
};
} // namespace

TEST(PngIo, StreamAndLibraryErrorsWhileWriting)
{
    TDib D;
    MakeDib(D, 40, 40, 24, 0, 0, [](int32_t X, int32_t Y) { return uint32_t(X * 7777 + Y * 31); });
    const size_t Blocks = GlobalBlockCount();
    TBoxRecorder Boxes;
    TFullStream S(100);
    bool Cancel = false;
    EXPECT_THROW(PNGSaveToStream(S, D.H(), D.Bits, -1, false, nullptr, nullptr, Cancel), EWriteError);
    EXPECT_TRUE(Boxes.Texts.empty()); // a stream error is not the library's
    EXPECT_EQ(GlobalBlockCount(), Blocks);

    // A stray index past the table is stored as it is, without complaint,
    // and reads back as black from the padded table.
    TDib P;
    MakeDib(P, 4, 1, 8, 20, 256, [](int32_t X, int32_t) { return X == 3 ? 200u : 1u; });
    TDib Back;
    Load(Save(P), Back);
    EXPECT_TRUE(Boxes.Texts.empty());
    EXPECT_EQ(Back.H()->biClrUsed, 20u);
    EXPECT_EQ(Back.Index(3, 0), 200u);
    EXPECT_EQ(Back.Colour(200).rgbRed, 0);
    EXPECT_EQ(Back.Colour(200).rgbGreen, 0);
}

TEST(PngIo, LoadsFromFile)
{
    TDib D;
    MakeDib(D, 3, 3, 24, 0, 0, [](int32_t X, int32_t Y) { return uint32_t(X * 100 + Y); });
    const Bytes Png = Save(D);
    const char* Tmp = std::getenv("TMPDIR");
    const std::string Name = std::string(Tmp ? Tmp : "/tmp") + "/tavro_png_io_test.png";
    {
        TFileStream F(Name, fmCreate);
        F.WriteBuffer(Png.data(), int32_t(Png.size()));
    }
    TDib Back;
    bool Cancel = true;
    PNGLoadFromFile(Name, Back.Header, Back.Bits, Cancel);
    EXPECT_EQ(std::memcmp(Back.Bits, D.Bits, D.H()->biSizeImage), 0);
    std::remove(Name.c_str());
    EXPECT_THROW(PNGLoadFromFile(Name, Back.Header, Back.Bits, Cancel), EFOpenError);
}
