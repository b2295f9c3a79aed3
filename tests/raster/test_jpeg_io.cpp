#include "raster/jpeg_io.h"

#include "bmp_conv_test_util.h"
#include "foundation/platform_wrappers.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
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

void RefErrorExit(j_common_ptr C) { std::longjmp(reinterpret_cast<TRefErr*>(C->err)->Jump, 1); }

// ---- JPEG files made by libjpeg's compressor.

struct TRefJpeg {
    int W = 0, H = 0, Components = 3;
    J_COLOR_SPACE In = JCS_RGB;
    bool Progressive = false;
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
    jpeg_set_quality(&C, 95, TRUE);
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

struct TRef {
    int W = 0, H = 0, Components = 0;
    Bytes Data; // top row first
    const uint8_t* At(int X, int Y) const { return &Data[(size_t(Y) * W + X) * Components]; }
};

// No object with a destructor lives in this frame; R is the caller's.
int RefDecodeCore(const Bytes* Src, int Shift, int Fast, int Quantise, TRef* R)
{
    jpeg_decompress_struct C;
    TRefErr E;
    C.err = jpeg_std_error(&E.Pub);
    E.Pub.error_exit = RefErrorExit;
    if (setjmp(E.Jump)) {
        jpeg_destroy_decompress(&C);
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
    jpeg_start_decompress(&C);
    R->W = int(C.output_width);
    R->H = int(C.output_height);
    R->Components = C.output_components;
    R->Data.resize(size_t(R->W) * R->H * R->Components);
    while (C.output_scanline < C.output_height) {
        JSAMPROW Row = R->Data.data() + size_t(C.output_scanline) * R->W * R->Components;
        jpeg_read_scanlines(&C, &Row, 1);
    }
    jpeg_finish_decompress(&C);
    jpeg_destroy_decompress(&C);
    return 0;
}

TRef RefDecode(const Bytes& Src, int Shift = 0, bool Fast = false, bool Quantise = false)
{
    TRef R;
    EXPECT_EQ(RefDecodeCore(&Src, Shift, Fast, Quantise, &R), 0);
    return R;
}

// ---- Our decoder.

// Pixel (X, Y) of a 24- or 8-bit DIB, Y = 0 the top row.
const uint8_t* At(const TBmpTestDib& D, int X, int Y) { return D.Row(Y) + X * (D.H()->biBitCount / 8); }

void Decode(const Bytes& Src, TBmpTestDib& D, int Shift = 0, bool Preview = false, bool Fast = false,
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
    TRefJpeg P{W, H, Components, In, false, {}};
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            for (int C = 0; C < Components; ++C)
                P.Pixels.push_back(uint8_t(20 * C + X * (60 + 50 * C) / W + Y * (100 - 30 * C) / H));
    return P;
}

// Our picture is the same as bare libjpeg's, in blue-green-red order, and
// within MaxMean / MaxAbs of the source.
void ExpectDecoded(const TBmpTestDib& D, const TRef& R, const TRefJpeg& Src, int MaxMean, int MaxAbs)
{
    ASSERT_EQ(D.H()->biWidth, R.W);
    ASSERT_EQ(D.H()->biHeight, R.H);
    int64_t Sum = 0;
    int Worst = 0;
    for (int Y = 0; Y < R.H; ++Y)
        for (int X = 0; X < R.W; ++X)
            for (int C = 0; C < R.Components; ++C) {
                const int Got = At(D, X, Y)[R.Components == 3 ? 2 - C : 0];
                ASSERT_EQ(Got, R.At(X, Y)[C]) << X << "," << Y;
                const int Diff = std::abs(Src.Pixels[(size_t(Y) * Src.W + X) * Src.Components + C] - Got);
                Sum += Diff;
                Worst = std::max(Worst, Diff);
            }
    EXPECT_LE(Sum / (R.W * R.H * R.Components), MaxMean);
    EXPECT_LE(Worst, MaxAbs);
}

std::string ErrorText(int Code) { return "uLibJPeg Error #" + std::to_string(Code); }

// Decoding must fail with E and Message, leaving the caller's variables and
// the block count alone.
template <class E>
void ExpectDecodeFails(const Bytes& Src, const std::string& Message, int Shift = 0)
{
    const size_t Blocks = GlobalBlockCount();
    HGLOBAL Hd = nullptr;
    uint8_t* Bits = nullptr;
    TMemoryStreamWex S;
    S.SetPointer(Src.data(), int64_t(Src.size()));
    bool Cancel = true;
    EXPECT_EQ(BmpMessageOf<E>([&] {
                  JpegLoadFromStream(S, Hd, Bits, false, Shift, false, false, nullptr, nullptr, Cancel);
              }),
              Message);
    EXPECT_EQ(Hd, nullptr);
    EXPECT_EQ(Bits, nullptr);
    EXPECT_FALSE(Cancel);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

} // namespace

TEST(JpegIo, RgbDecodesToBgrRowsBottomUpFromStreamAndFile)
{
    const TRefJpeg Src = Photo(61, 37, 3, JCS_RGB);
    const Bytes J = RefCompress(Src);
    TBmpTestDib D, F;
    Decode(J, D);
    EXPECT_EQ(std::vector<int64_t>({D.H()->biSize, D.H()->biPlanes, D.H()->biCompression}),
              std::vector<int64_t>({40, 1, BI_RGB}));
    ASSERT_EQ(BmpShape(D.H()), (std::vector<int64_t>{61, 37, 24, 184 * 37, 0})); // 183 bytes of pixels, padded
    ExpectDecoded(D, RefDecode(J), Src, 2, 12);
    TTempDir Dir;
    Dir.Put("a.jpg", std::string(J.begin(), J.end()));
    bool Cancel = true;
    JpegLoadFromFile(Dir / "a.jpg", F.Header, F.Bits, false, 0, false, false, nullptr, nullptr, Cancel);
    EXPECT_FALSE(Cancel);
    ExpectDecoded(F, RefDecode(J), Src, 2, 12);
    EXPECT_THROW(JpegLoadFromFile(Dir / "b.jpg", F.Header, F.Bits, false, 0, false, false, nullptr, nullptr, Cancel),
                 EFOpenError);
}

TEST(JpegIo, GreyIsQuantisedWithAGreyRamp)
{
    const TRefJpeg Src = Photo(40, 24, 1, JCS_GRAYSCALE);
    const Bytes J = RefCompress(Src);
    for (bool Fast : {false, true}) {
        TBmpTestDib D;
        Decode(J, D, 0, false, Fast);
        ASSERT_EQ(BmpShape(D.H()), (std::vector<int64_t>{40, 24, 8, 40 * 24, 256}));
        for (int I = 0; I < 256; ++I)
            EXPECT_EQ(std::memcmp(&D.Table()[I], Bytes{uint8_t(I), uint8_t(I), uint8_t(I), 0}.data(), 4), 0) << I;
        // The index is the decoded grey level, dithered by libjpeg's
        // 256-level quantiser (Floyd-Steinberg, or ordered when fast).
        ExpectDecoded(D, RefDecode(J, 0, Fast, true), Src, 2, 12);
        const TRef R = RefDecode(J, 0, Fast);
        for (int Y = 0; Y < 24; ++Y)
            for (int X = 0; X < 40; ++X)
                ASSERT_LE(std::abs(At(D, X, Y)[0] - R.At(X, Y)[0]), 1) << Fast << ":" << X << "," << Y;
    }
}

TEST(JpegIo, AdobeCmykBecomesBgr)
{
    // Left half k = 255 (no black in Adobe's inverted form), right half k = 100.
    TRefJpeg Src{32, 16, 4, JCS_CMYK, false, {}};
    for (int Y = 0; Y < 16; ++Y)
        for (int X = 0; X < 32; ++X)
            Src.Pixels.insert(Src.Pixels.end(),
                              {uint8_t(60 + X * 4), uint8_t(200 - Y * 5), 120, uint8_t(X < 16 ? 255 : 100)});
    const Bytes J = RefCompress(Src);
    TBmpTestDib D;
    Decode(J, D);
    ASSERT_EQ(D.H()->biBitCount, 24);
    const TRef R = RefDecode(J);
    ASSERT_EQ(R.Components, 4);
    for (int Y = 0; Y < 16; ++Y)
        for (int X = 0; X < 32; ++X)
            for (int C = 0; C < 3; ++C)
                EXPECT_EQ(At(D, X, Y)[2 - C], std::max(0, R.At(X, Y)[C] + R.At(X, Y)[3] - 255));
    // k = 255 keeps c, m, y as red, green, blue; k = 100: red = c + 100 - 255 clipped at 0.
    EXPECT_NEAR(At(D, 5, 8)[2], 60 + 5 * 4, 6);
    EXPECT_NEAR(At(D, 5, 8)[1], 200 - 8 * 5, 6);
    EXPECT_NEAR(At(D, 24, 8)[2], 60 + 24 * 4 - 155, 8);
    EXPECT_EQ(At(D, 20, 8)[0], 0);
}

TEST(JpegIo, ProgressiveFileAndPreview)
{
    TRefJpeg Src = Photo(64, 48, 3, JCS_RGB);
    Src.Progressive = true;
    const Bytes J = RefCompress(Src);
    TBmpTestDib Full, Rough, A, B;
    Decode(J, Full);
    ExpectDecoded(Full, RefDecode(J), Src, 2, 12);
    // The preview shows only the first scan: rough, but the right size.
    Decode(J, Rough, 0, true);
    ASSERT_EQ(BmpShape(Rough.H()), BmpShape(Full.H()));
    EXPECT_NE(std::memcmp(Rough.Bits, Full.Bits, Full.H()->biSizeImage), 0);
    // A single-scan file ignores the preview flag.
    const Bytes Base = RefCompress(Photo(64, 48, 3, JCS_RGB));
    Decode(Base, A);
    Decode(Base, B, 0, true);
    EXPECT_EQ(std::memcmp(A.Bits, B.Bits, A.H()->biSizeImage), 0);
}

TEST(JpegIo, ScaledDecodeSizes)
{
    const TRefJpeg Src = Photo(200, 120, 3, JCS_RGB);
    const Bytes J = RefCompress(Src);
    for (int Shift = 0; Shift <= 3; ++Shift) {
        TBmpTestDib D;
        Decode(J, D, Shift);
        EXPECT_EQ(std::pair(D.H()->biWidth, D.H()->biHeight), std::pair(200 >> Shift, 120 >> Shift));
        const TRef R = RefDecode(J, Shift);
        ASSERT_EQ(R.W, 200 >> Shift);
        for (int Y = 0; Y < R.H; ++Y)
            for (int X = 0; X < R.W; ++X)
                ASSERT_EQ(At(D, X, Y)[1], R.At(X, Y)[1]) << Shift;
    }
    // Odd sizes round up.
    const Bytes Odd = RefCompress(Photo(101, 77, 1, JCS_GRAYSCALE));
    TBmpTestDib D;
    Decode(Odd, D, 1);
    EXPECT_EQ(BmpShape(D.H()), (std::vector<int64_t>{51, 39, 8, 52 * 39, 256}));
    ExpectDecodeFails<EUserError>(Odd, "JpegLoadFromStream: Illegal ScaleShift(4)", 4);
}

TEST(JpegIo, ProgressAndCancel)
{
    const Bytes J = RefCompress(Photo(96, 64, 3, JCS_RGB));
    int Token = 0;
    std::vector<int32_t> Seen;
    TBmpTestDib D, C;
    Decode(J, D, 0, false, false,
           [&](void* Sender, int32_t Percent, const std::string& Msg, bool&) {
               EXPECT_EQ(Sender, &Token);
               EXPECT_EQ(Msg, "JPEG 展開中");
               Seen.push_back(Percent);
           },
           &Token);
    ASSERT_GE(Seen.size(), 2u);
    EXPECT_EQ(Seen[0], 0);
    EXPECT_TRUE(std::is_sorted(Seen.begin(), Seen.end()) && std::adjacent_find(Seen.begin(), Seen.end()) == Seen.end());
    EXPECT_LE(Seen.back(), 100);
    // Cancelled at the first report after the start: the decode stops
    // between rows and returns what it has, with the flag set. The caller's
    // block is big enough, so it is filled in place; the bottom rows stay
    // as they were.
    const size_t Size = size_t(GetDIBLineSize(96, 24) * 64);
    C.Bits = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, Size));
    std::memset(C.Bits, 0xAB, Size);
    uint8_t* const Mine = C.Bits;
    bool Cancel = false;
    Decode(J, C, 0, false, false, [](void*, int32_t Percent, const std::string&, bool& Stop) { Stop = Percent > 0; },
           nullptr, &Cancel);
    EXPECT_TRUE(Cancel);
    EXPECT_EQ(C.Bits, Mine);
    ASSERT_NE(C.Header, nullptr);
    EXPECT_EQ(C.Bits[0], 0xAB);                                  // bottom row not reached
    EXPECT_EQ(std::memcmp(At(C, 0, 0), At(D, 0, 0), 3 * 96), 0); // top row decoded
    // An exception of the progress method comes out as it is, and nothing leaks.
    struct TStop {};
    const size_t Blocks = GlobalBlockCount();
    TBmpTestDib E;
    EXPECT_THROW(Decode(J, E, 0, false, false,
                        [](void*, int32_t Percent, const std::string&, bool&) {
                            if (Percent > 0)
                                throw TStop{};
                        }),
                 TStop);
    EXPECT_TRUE(!E.Header && !E.Bits);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(JpegIo, ReusesLargeEnoughBlocksAndReplacesSmallOnes)
{
    const Bytes J = RefCompress(Photo(21, 10, 1, JCS_GRAYSCALE));
    TBmpTestDib D, Small;
    D.Header = GlobalAlloc(GPTR, 2000);
    D.Bits = static_cast<uint8_t*>(GlobalAlloc(GPTR, 5000));
    std::memset(D.Bits, 0xAA, 5000);
    const std::pair<HGLOBAL, uint8_t*> Old(D.Header, D.Bits);
    Decode(J, D);
    EXPECT_EQ(std::pair(D.Header, D.Bits), Old);
    // Rows of 21 bytes padded to 24: the padding is zero, not what the block held.
    for (int Y = 0; Y < 10; ++Y)
        EXPECT_EQ(std::vector<uint8_t>(D.Row(Y) + 21, D.Row(Y) + 24), std::vector<uint8_t>(3, 0)) << Y;
    Small.Header = GlobalAlloc(GPTR, 40); // no room for the grey palette
    Small.Bits = static_cast<uint8_t*>(GlobalAlloc(GPTR, 16));
    const size_t Blocks = GlobalBlockCount();
    Decode(J, Small);
    EXPECT_GE(GlobalSize(Small.Header), 1064u);
    EXPECT_GE(GlobalSize(Small.Bits), 240u);
    EXPECT_EQ(GlobalBlockCount(), Blocks); // the small blocks were freed
}

TEST(JpegIo, BrokenDataGivesLibraryErrors)
{
    const Bytes J = RefCompress(Photo(48, 32, 3, JCS_RGB));
    for (size_t Cut : {size_t(0), size_t(2), size_t(100), J.size() / 2, J.size() - 1})
        ExpectDecodeFails<EJPEG>(Bytes(J.begin(), J.begin() + Cut), ErrorText(JERR_INPUT_EOF));
    ExpectDecodeFails<EJPEG>(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}, ErrorText(JERR_NO_SOI));
    const uint8_t SofMarker[2] = {0xFF, 0xC0};
    const size_t Sof = size_t(std::search(J.begin(), J.end(), SofMarker, SofMarker + 2) - J.begin()) + 5; // height
    Bytes Empty = J;
    Empty[Sof + 2] = Empty[Sof + 3] = 0; // width 0
    ExpectDecodeFails<EJPEG>(Empty, ErrorText(JERR_EMPTY_IMAGE));
    // 60000 x 60000 passes libjpeg's limits but not ours.
    Bytes Huge = J;
    Huge[Sof] = Huge[Sof + 2] = 0xEA;
    Huge[Sof + 1] = Huge[Sof + 3] = 0x60;
    ExpectDecodeFails<EUserError>(Huge, "JpegLoadFromStream: Picture Too Large (60000 x 60000)");
    // Two components: neither grey, nor RGB, nor CMYK.
    const Bytes Two = RefCompress(TRefJpeg{16, 16, 2, JCS_UNKNOWN, false, Bytes(16 * 16 * 2, 77)});
    ExpectDecodeFails<EUserError>(Two, "JpegLoadFromStream: Not Support Color Space:0");
}
