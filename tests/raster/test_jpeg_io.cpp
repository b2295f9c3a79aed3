#include "raster/jpeg_io.h"

#include "foundation/platform_wrappers.h"
#include "raster/bmp_conv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

using Bytes = std::vector<uint8_t>;

struct TRefErr {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};

void RefErrorExit(j_common_ptr C)
{
    std::longjmp(reinterpret_cast<TRefErr*>(C->err)->Jump, 1);
}

// ---- JPEG files made by libjpeg's compressor.

struct TRefJpeg {
    int W = 0, H = 0, Components = 3;
    J_COLOR_SPACE In = JCS_RGB;
    J_COLOR_SPACE Jpeg = JCS_UNKNOWN; // JCS_UNKNOWN: the library's default for In
    bool Progressive = false;
    int Quality = 95;
    Bytes Pixels; // top row first, Components bytes per pixel
};

// No object with a destructor lives in this frame.
int RefCompressCore(const TRefJpeg* P, unsigned char** Out, unsigned long* OutLen)
{
    jpeg_compress_struct C;
    TRefErr E;
    C.err = jpeg_std_error(&E.Pub);
    E.Pub.error_exit = RefErrorExit;
    if (setjmp(E.Jump)) {
        jpeg_destroy_compress(&C);
        return 1;
    }
    jpeg_create_compress(&C);
    jpeg_mem_dest(&C, Out, OutLen);
    C.image_width = JDIMENSION(P->W);
    C.image_height = JDIMENSION(P->H);
    C.input_components = P->Components;
    C.in_color_space = P->In;
    jpeg_set_defaults(&C);
    if (P->Jpeg != JCS_UNKNOWN || P->In == JCS_UNKNOWN)
        jpeg_set_colorspace(&C, P->Jpeg);
    jpeg_set_quality(&C, P->Quality, TRUE);
    if (P->Progressive)
        jpeg_simple_progression(&C);
    jpeg_start_compress(&C, TRUE);
    while (C.next_scanline < C.image_height) {
        JSAMPROW Row = const_cast<JSAMPROW>(P->Pixels.data() + size_t(C.next_scanline) * P->W * P->Components);
        jpeg_write_scanlines(&C, &Row, 1);
    }
    jpeg_finish_compress(&C);
    jpeg_destroy_compress(&C);
    return 0;
}

Bytes RefCompress(const TRefJpeg& P)
{
    unsigned char* Out = nullptr;
    unsigned long Len = 0;
    EXPECT_EQ(RefCompressCore(&P, &Out, &Len), 0);
    Bytes R(Out, Out + Len);
    std::free(Out);
    return R;
}

// ---- Reference decoding with bare libjpeg (no smoothing, as ours).

struct TRefImage {
    int W = 0, H = 0, Components = 0;
    unsigned char* Data = nullptr; // malloc'ed, top row first
};

int RefDecodeCore(const Bytes* Src, int Shift, J_COLOR_SPACE Out, int Fast, int Quantise, TRefImage* R)
{
    jpeg_decompress_struct C;
    TRefErr E;
    C.err = jpeg_std_error(&E.Pub);
    E.Pub.error_exit = RefErrorExit;
    R->Data = nullptr;
    if (setjmp(E.Jump)) {
        jpeg_destroy_decompress(&C);
        std::free(R->Data);
        R->Data = nullptr;
        return 1;
    }
    jpeg_create_decompress(&C);
    jpeg_mem_src(&C, Src->data(), static_cast<unsigned long>(Src->size()));
    jpeg_read_header(&C, TRUE);
    C.scale_num = 1;
    C.scale_denom = 1u << Shift;
    C.do_block_smoothing = FALSE;
    if (Fast) {
        C.dct_method = JDCT_IFAST;
        C.dither_mode = JDITHER_ORDERED;
    }
    if (Quantise) {
        C.quantize_colors = TRUE;
        C.desired_number_of_colors = 256;
    }
    if (Out != JCS_UNKNOWN)
        C.out_color_space = Out;
    jpeg_start_decompress(&C);
    R->W = int(C.output_width);
    R->H = int(C.output_height);
    R->Components = C.output_components;
    R->Data = static_cast<unsigned char*>(std::malloc(size_t(R->W) * R->H * R->Components));
    while (C.output_scanline < C.output_height) {
        JSAMPROW Row = R->Data + size_t(C.output_scanline) * R->W * R->Components;
        jpeg_read_scanlines(&C, &Row, 1);
    }
    jpeg_finish_decompress(&C);
    jpeg_destroy_decompress(&C);
    return 0;
}

struct TRef {
    int W = 0, H = 0, Components = 0;
    Bytes Data;
    const uint8_t* At(int X, int Y) const { return &Data[(size_t(Y) * W + X) * Components]; }
};

TRef RefDecode(const Bytes& Src, int Shift = 0, J_COLOR_SPACE Out = JCS_UNKNOWN, bool Fast = false,
               bool Quantise = false)
{
    TRefImage I;
    EXPECT_EQ(RefDecodeCore(&Src, Shift, Out, Fast ? 1 : 0, Quantise ? 1 : 0, &I), 0);
    TRef R;
    R.W = I.W;
    R.H = I.H;
    R.Components = I.Components;
    if (I.Data)
        R.Data.assign(I.Data, I.Data + size_t(I.W) * I.H * I.Components);
    std::free(I.Data);
    return R;
}

// ---- Our decoder.

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
    const uint8_t* At(int X, int Y) const
    {
        const int64_t Line = GetDIBLineSize(H()->biWidth, H()->biBitCount);
        return Bits + (H()->biHeight - 1 - Y) * Line + X * (H()->biBitCount / 8);
    }
};

void Decode(const Bytes& Src, TDib& D, int Shift = 0, bool Preview = false, bool Fast = false,
            const TConvertProgressEvent& Progress = nullptr, void* Sender = nullptr, bool* CancelOut = nullptr)
{
    TMemoryStreamWex S;
    S.SetPointer(Src.data(), int64_t(Src.size()));
    bool Cancel = true;
    JpegLoadFromStream(S, D.Header, D.Bits, Preview, Shift, false, Fast, Sender, Progress, Cancel);
    if (CancelOut)
        *CancelOut = Cancel;
    else
        EXPECT_FALSE(Cancel);
}

// A smooth picture with some detail: JPEG keeps it within a few levels.
TRefJpeg Photo(int W, int H, int Components, J_COLOR_SPACE In)
{
    TRefJpeg P;
    P.W = W;
    P.H = H;
    P.Components = Components;
    P.In = In;
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            for (int C = 0; C < Components; ++C)
                P.Pixels.push_back(uint8_t(20 * C + X * (60 + 50 * C) / W + Y * (100 - 30 * C) / H));
    return P;
}

// Mean and largest absolute difference of our picture from the source, channel by channel.
void ExpectNear(const TDib& D, const TRefJpeg& Src, int MaxMean, int MaxAbs)
{
    int64_t Sum = 0, N = 0;
    int Worst = 0;
    for (int Y = 0; Y < Src.H; ++Y)
        for (int X = 0; X < Src.W; ++X)
            for (int C = 0; C < Src.Components; ++C) {
                const int Want = Src.Pixels[(size_t(Y) * Src.W + X) * Src.Components + C];
                const int Got = Src.Components == 3 ? D.At(X, Y)[2 - C] : D.At(X, Y)[0];
                const int Diff = std::abs(Want - Got);
                Sum += Diff;
                ++N;
                Worst = std::max(Worst, Diff);
            }
    EXPECT_LE(Sum / N, MaxMean);
    EXPECT_LE(Worst, MaxAbs);
}

std::string ErrorText(int Code)
{
    return "uLibJPeg Error #" + std::to_string(Code);
}

// Decoding must fail with E (and Message, when given), leaving the caller's
// variables and the block count alone.
template <class E>
void ExpectDecodeFails(const Bytes& Src, const std::string& Message, int Shift = 0)
{
    const size_t Blocks = GlobalBlockCount();
    HGLOBAL Hd = nullptr;
    uint8_t* Bits = nullptr;
    TMemoryStreamWex S;
    S.SetPointer(Src.data(), int64_t(Src.size()));
    bool Cancel = true;
    try {
        JpegLoadFromStream(S, Hd, Bits, false, Shift, false, false, nullptr, nullptr, Cancel);
        ADD_FAILURE() << "no exception for " << Src.size() << " bytes";
    } catch (const E& Ex) {
        if (!Message.empty()) {
            EXPECT_EQ(Ex.Message(), Message);
        }
    } catch (const std::exception& Ex) {
        ADD_FAILURE() << "unexpected exception: " << Ex.what();
    }
    EXPECT_EQ(Hd, nullptr);
    EXPECT_EQ(Bits, nullptr);
    EXPECT_FALSE(Cancel);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

// Offset of the SOF marker's height field.
size_t SofHeightOffset(const Bytes& J)
{
    for (size_t I = 2; I + 9 < J.size(); ++I)
        if (J[I] == 0xFF && (J[I + 1] == 0xC0 || J[I + 1] == 0xC1 || J[I + 1] == 0xC2))
            return I + 5;
    ADD_FAILURE() << "no SOF";
    return 0;
}

} // namespace

TEST(JpegIo, RgbDecodesToBgrRowsBottomUp)
{
    const TRefJpeg Src = Photo(61, 37, 3, JCS_RGB);
    const Bytes J = RefCompress(Src);
    TDib D;
    Decode(J, D);
    const BITMAPINFOHEADER* H = D.H();
    ASSERT_EQ(H->biBitCount, 24);
    EXPECT_EQ(H->biSize, 40u);
    EXPECT_EQ(H->biWidth, 61);
    EXPECT_EQ(H->biHeight, 37);
    EXPECT_EQ(H->biPlanes, 1);
    EXPECT_EQ(H->biCompression, BI_RGB);
    EXPECT_EQ(H->biClrUsed, 0u);
    EXPECT_EQ(H->biSizeImage, 184u * 37); // 183 bytes of pixels, padded
    ExpectNear(D, Src, 2, 12);
    // Exactly what bare libjpeg makes, in blue-green-red order.
    const TRef R = RefDecode(J);
    for (int Y = 0; Y < 37; ++Y)
        for (int X = 0; X < 61; ++X)
            for (int C = 0; C < 3; ++C)
                ASSERT_EQ(D.At(X, Y)[2 - C], R.At(X, Y)[C]) << X << "," << Y;
}

TEST(JpegIo, GreyIsQuantisedWithAGreyRamp)
{
    const TRefJpeg Src = Photo(40, 24, 1, JCS_GRAYSCALE);
    const Bytes J = RefCompress(Src);
    for (bool Fast : {false, true}) {
        TDib D;
        Decode(J, D, 0, false, Fast);
        ASSERT_EQ(D.H()->biBitCount, 8);
        EXPECT_EQ(D.H()->biClrUsed, 256u);
        EXPECT_EQ(D.H()->biSizeImage, 40u * 24);
        const RGBQUAD* Pal = DIBColorTable(D.H());
        for (int I = 0; I < 256; ++I) {
            EXPECT_EQ(Pal[I].rgbRed, I);
            EXPECT_EQ(Pal[I].rgbGreen, I);
            EXPECT_EQ(Pal[I].rgbBlue, I);
            EXPECT_EQ(Pal[I].rgbReserved, 0);
        }
        ExpectNear(D, Src, 2, 12);
        // The index is the decoded grey level, dithered by libjpeg's
        // 256-level quantiser (Floyd-Steinberg, or ordered when fast).
        const TRef Q = RefDecode(J, 0, JCS_UNKNOWN, Fast, true);
        const TRef R = RefDecode(J, 0, JCS_UNKNOWN, Fast);
        for (int Y = 0; Y < 24; ++Y)
            for (int X = 0; X < 40; ++X) {
                ASSERT_EQ(D.At(X, Y)[0], Q.At(X, Y)[0]) << Fast << ":" << X << "," << Y;
                ASSERT_LE(std::abs(D.At(X, Y)[0] - R.At(X, Y)[0]), 1) << Fast << ":" << X << "," << Y;
            }
    }
}

TEST(JpegIo, AdobeCmykBecomesBgr)
{
    TRefJpeg Src;
    Src.W = 32;
    Src.H = 16;
    Src.Components = 4;
    Src.In = JCS_CMYK;
    // Left half k = 255 (no black in Adobe's inverted form), right half k = 100.
    for (int Y = 0; Y < 16; ++Y)
        for (int X = 0; X < 32; ++X)
            Src.Pixels.insert(Src.Pixels.end(), {uint8_t(60 + X * 4), uint8_t(200 - Y * 5), uint8_t(120), uint8_t(X < 16 ? 255 : 100)});
    const Bytes J = RefCompress(Src);
    TDib D;
    Decode(J, D);
    ASSERT_EQ(D.H()->biBitCount, 24);
    const TRef R = RefDecode(J);
    ASSERT_EQ(R.Components, 4);
    for (int Y = 0; Y < 16; ++Y)
        for (int X = 0; X < 32; ++X) {
            const uint8_t* K = R.At(X, Y);
            const uint8_t* P = D.At(X, Y);
            EXPECT_EQ(P[0], std::max(0, K[2] + K[3] - 255));
            EXPECT_EQ(P[1], std::max(0, K[1] + K[3] - 255));
            EXPECT_EQ(P[2], std::max(0, K[0] + K[3] - 255));
        }
    // k = 255 keeps c, m, y as red, green, blue.
    const uint8_t* P = D.At(5, 8);
    EXPECT_NEAR(P[2], 60 + 5 * 4, 6);
    EXPECT_NEAR(P[1], 200 - 8 * 5, 6);
    EXPECT_NEAR(P[0], 120, 6);
    // k = 100: red = c + 100 - 255 clipped at 0.
    EXPECT_NEAR(D.At(24, 8)[2], 60 + 24 * 4 - 155, 8);
    EXPECT_EQ(D.At(20, 8)[0], 0);
}

TEST(JpegIo, ProgressiveFileAndPreview)
{
    TRefJpeg Src = Photo(64, 48, 3, JCS_RGB);
    Src.Progressive = true;
    const Bytes J = RefCompress(Src);
    TDib Full;
    Decode(J, Full);
    ExpectNear(Full, Src, 2, 12);
    const TRef R = RefDecode(J);
    for (int Y = 0; Y < 48; ++Y)
        for (int X = 0; X < 64; ++X)
            ASSERT_EQ(Full.At(X, Y)[0], R.At(X, Y)[2]);

    // The preview shows only the first scan: rough, but the right size.
    TDib Rough;
    Decode(J, Rough, 0, true);
    ASSERT_EQ(Rough.H()->biWidth, 64);
    ASSERT_EQ(Rough.H()->biHeight, 48);
    ASSERT_EQ(Rough.H()->biBitCount, 24);
    ExpectNear(Rough, Src, 12, 80);
    EXPECT_NE(std::memcmp(Rough.Bits, Full.Bits, Full.H()->biSizeImage), 0);

    // A single-scan file ignores the preview flag.
    const Bytes Base = RefCompress(Photo(64, 48, 3, JCS_RGB));
    TDib A, B;
    Decode(Base, A);
    Decode(Base, B, 0, true);
    EXPECT_EQ(std::memcmp(A.Bits, B.Bits, A.H()->biSizeImage), 0);
}

TEST(JpegIo, ScaledDecodeSizes)
{
    const Bytes J = RefCompress(Photo(800, 600, 3, JCS_RGB));
    const int Want[4][2] = {{800, 600}, {400, 300}, {200, 150}, {100, 75}};
    for (int Shift = 0; Shift <= 3; ++Shift) {
        TDib D;
        Decode(J, D, Shift);
        EXPECT_EQ(D.H()->biWidth, Want[Shift][0]);
        EXPECT_EQ(D.H()->biHeight, Want[Shift][1]);
        const TRef R = RefDecode(J, Shift);
        ASSERT_EQ(R.W, Want[Shift][0]);
        for (int Y = 0; Y < R.H; Y += 7)
            for (int X = 0; X < R.W; X += 3)
                ASSERT_EQ(D.At(X, Y)[1], R.At(X, Y)[1]) << Shift;
    }
    // Odd sizes round up.
    const Bytes Odd = RefCompress(Photo(101, 77, 1, JCS_GRAYSCALE));
    TDib D;
    Decode(Odd, D, 1);
    EXPECT_EQ(D.H()->biWidth, 51);
    EXPECT_EQ(D.H()->biHeight, 39);
    EXPECT_EQ(D.H()->biSizeImage, 52u * 39);
    ExpectDecodeFails<EUserError>(Odd, "JpegLoadFromStream: Illegal ScaleShift(4)", 4);
}

TEST(JpegIo, ProgressAndCancel)
{
    const Bytes J = RefCompress(Photo(96, 64, 3, JCS_RGB));
    int Token = 0;
    std::vector<int32_t> Seen;
    auto Record = [&](void* Sender, int32_t Percent, const std::string& Msg, bool&) {
        EXPECT_EQ(Sender, &Token);
        EXPECT_EQ(Msg, "JPEG 展開中");
        Seen.push_back(Percent);
    };
    TDib D;
    Decode(J, D, 0, false, false, Record, &Token);
    ASSERT_GE(Seen.size(), 2u);
    EXPECT_EQ(Seen[0], 0);
    for (size_t I = 1; I < Seen.size(); ++I) {
        EXPECT_GT(Seen[I], Seen[I - 1]);
        EXPECT_LE(Seen[I], 100);
    }

    // Cancelled at the first report after the start: the decode stops
    // between rows and returns what it has, with the flag set. The caller's
    // block is big enough, so it is filled in place; the bottom rows stay
    // as they were.
    TDib C;
    const size_t Size = size_t(GetDIBLineSize(96, 24) * 64);
    C.Bits = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, Size));
    std::memset(C.Bits, 0xAB, Size);
    uint8_t* const Mine = C.Bits;
    bool Cancel = false;
    Decode(J, C, 0, false, false,
           [](void*, int32_t Percent, const std::string&, bool& Stop) {
               if (Percent > 0)
                   Stop = true;
           },
           nullptr, &Cancel);
    EXPECT_TRUE(Cancel);
    EXPECT_EQ(C.Bits, Mine);
    ASSERT_NE(C.Header, nullptr);
    EXPECT_EQ(C.H()->biHeight, 64);
    EXPECT_EQ(C.Bits[0], 0xAB);                     // bottom row not reached
    EXPECT_EQ(std::memcmp(C.At(0, 0), D.At(0, 0), 3 * 96), 0); // top row decoded

    // An exception of the progress method comes out as it is, and nothing leaks.
    struct TStop {};
    const size_t Blocks = GlobalBlockCount();
    HGLOBAL Hd = nullptr;
    uint8_t* Bits = nullptr;
    TMemoryStreamWex S;
    S.SetPointer(J.data(), int64_t(J.size()));
    bool Flag = false;
    EXPECT_THROW(JpegLoadFromStream(S, Hd, Bits, false, 0, false, false, nullptr,
                                    [](void*, int32_t Percent, const std::string&, bool&) {
                                        if (Percent > 0)
                                            throw TStop{};
                                    },
                                    Flag),
                 TStop);
    EXPECT_EQ(Hd, nullptr);
    EXPECT_EQ(Bits, nullptr);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(JpegIo, ReusesLargeEnoughBlocksAndReplacesSmallOnes)
{
    const Bytes J = RefCompress(Photo(20, 10, 1, JCS_GRAYSCALE));
    TDib D;
    D.Header = GlobalAlloc(GPTR, 2000);
    D.Bits = static_cast<uint8_t*>(GlobalAlloc(GPTR, 5000));
    HGLOBAL const OldHeader = D.Header;
    uint8_t* const OldBits = D.Bits;
    Decode(J, D);
    EXPECT_EQ(D.Header, OldHeader);
    EXPECT_EQ(D.Bits, OldBits);

    const size_t Blocks = GlobalBlockCount();
    TDib Small;
    Small.Header = GlobalAlloc(GPTR, 40); // no room for the grey palette
    Small.Bits = static_cast<uint8_t*>(GlobalAlloc(GPTR, 16));
    Decode(J, Small);
    EXPECT_GE(GlobalSize(Small.Header), 1064u);
    EXPECT_GE(GlobalSize(Small.Bits), 200u);
    EXPECT_EQ(GlobalBlockCount(), Blocks + 2); // the small blocks were freed
}

TEST(JpegIo, BrokenDataGivesLibraryErrors)
{
    const Bytes J = RefCompress(Photo(48, 32, 3, JCS_RGB));
    const std::string Eof = ErrorText(JERR_INPUT_EOF);
    for (size_t Cut : {size_t(0), size_t(1), size_t(2), size_t(100), J.size() / 2, J.size() - 2, J.size() - 1})
        ExpectDecodeFails<EJPEG>(Bytes(J.begin(), J.begin() + Cut), Eof);

    ExpectDecodeFails<EJPEG>(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}, ErrorText(JERR_NO_SOI));

    Bytes Empty = J;
    const size_t Sof = SofHeightOffset(Empty);
    Empty[Sof + 2] = Empty[Sof + 3] = 0; // width 0
    ExpectDecodeFails<EJPEG>(Empty, ErrorText(JERR_EMPTY_IMAGE));

    // 60000 x 60000 passes libjpeg's limits but not ours.
    Bytes Huge = J;
    Huge[Sof] = Huge[Sof + 2] = 0xEA;
    Huge[Sof + 1] = Huge[Sof + 3] = 0x60;
    ExpectDecodeFails<EUserError>(Huge, "JpegLoadFromStream: Picture Too Large (60000 x 60000)");

    // Two components: neither grey, nor RGB, nor CMYK.
    TRefJpeg Two;
    Two.W = 16;
    Two.H = 16;
    Two.Components = 2;
    Two.In = JCS_UNKNOWN;
    Two.Pixels.assign(16 * 16 * 2, 77);
    ExpectDecodeFails<EUserError>(RefCompress(Two), "JpegLoadFromStream: Not Support Color Space:0");
}

TEST(JpegIo, LoadsFromFile)
{
    const TRefJpeg Src = Photo(30, 20, 3, JCS_RGB);
    const Bytes J = RefCompress(Src);
    const char* Tmp = std::getenv("TMPDIR");
    const std::string Name = std::string(Tmp ? Tmp : "/tmp") + "/tavro_jpeg_io_test.jpg";
    {
        TFileStream F(Name, fmCreate);
        F.WriteBuffer(J.data(), int32_t(J.size()));
    }
    TDib D;
    bool Cancel = true;
    JpegLoadFromFile(Name, D.Header, D.Bits, false, 0, false, false, nullptr, nullptr, Cancel);
    EXPECT_FALSE(Cancel);
    ExpectNear(D, Src, 2, 12);
    std::remove(Name.c_str());
    EXPECT_THROW(JpegLoadFromFile(Name, D.Header, D.Bits, false, 0, false, false, nullptr, nullptr, Cancel),
                 EFOpenError);
}
