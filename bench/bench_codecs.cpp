// PNG and JPEG front ends against bare libpng and libjpeg doing the same work
// in the same run, and the zlib level of stored pictures: size and time of
// levels 1, 3 and 6 on an artwork-like picture.
//   BM_PngSave_Ours / _Peer: a 2000 x 2000 24-bit picture saved at the stored
//     documents' level, default filters, rows handed over in BGR order.
//   BM_PngLevel/<level>: the same picture through bare libpng at that level.
//   BM_JpegDecode_Ours / _Peer: a 2000 x 2000 photo-like JPEG (quality 90)
//     decoded into a new bottom-up BGR block each time.
//   BM_PngLoadSquare_Ours / _Peer: the artwork's PNG read into a new
//     bottom-up BGR block each time; the peer reads row by row.
//   BM_PngLoadTall_Ours / _Peer: the same 4,000,000 pixels as a 1 x 4,000,000
//     picture (the artwork's rows one after the other). The line "ratio
//     PngLoadTallPerSquare" is our tall time over our square time: reading
//     must cost about the same per pixel whatever the picture's shape.
//     The line comes from BM_PngLoadTallPerSquare, which reads the square
//     and the tall picture one after the other in each iteration (counters
//     "square_s" and "tall_s"), so that both are read at the same moments of
//     a busy machine, for at least a second a repetition. The reading
//     benchmarks are timed by the processor time of their thread (the
//     reading is all its own work): timed apart on the wall clock, runs of
//     a few tens of milliseconds gave this ratio anywhere between 0.86 and
//     1.6.
// Every run has the counter "bytes": the size of the PNG or JPEG written
// or read (BM_PngLoadTallPerSquare: of both).
// The last lines are "ratio <name> <ours/peer>" per pair (the time each
// reports: the processor time of the reading ones, else real time), <name>
// without the BM_ prefix.
#include "bench_ratio.h"
#include "foundation/platform_wrappers.h"
#include "foundation/streams.h"
#include "raster/bmp_conv.h"
#include "raster/jpeg_io.h"
#include "raster/png_io.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace {

constexpr int32_t Side = 2000;

struct TPicture {
    BITMAPINFOHEADER Header{};
    std::vector<uint8_t> Bits;
    int64_t Line = 0;
    uint8_t* Px(int32_t X, int32_t Y) { return Bits.data() + (Side - 1 - Y) * Line + 3 * X; }
};

void Blend(uint8_t* P, double Cover, uint8_t R, uint8_t G, uint8_t B)
{
    if (Cover <= 0)
        return;
    Cover = std::min(Cover, 1.0);
    P[0] = uint8_t(std::lround(P[0] + (B - P[0]) * Cover));
    P[1] = uint8_t(std::lround(P[1] + (G - P[1]) * Cover));
    P[2] = uint8_t(std::lround(P[2] + (R - P[2]) * Cover));
}

// Flat fields, linear and radial gradients, anti-aliased strokes and rings
// like lettering, and a noisy photo-like patch.
const TPicture& Artwork()
{
    static const TPicture Pic = [] {
        TPicture P;
        P.Header.biSize = 40;
        P.Header.biWidth = Side;
        P.Header.biHeight = Side;
        P.Header.biPlanes = 1;
        P.Header.biBitCount = 24;
        P.Line = GetDIBLineSize(Side, 24);
        P.Header.biSizeImage = uint32_t(P.Line * Side);
        P.Bits.assign(size_t(P.Header.biSizeImage), 0);
        for (int32_t Y = 0; Y < Side; ++Y)
            for (int32_t X = 0; X < Side; ++X) {
                uint8_t* Q = P.Px(X, Y);
                if (Y < 700) { // flat fields
                    const bool Left = X < 1100;
                    Q[0] = Left ? 240 : 30;
                    Q[1] = Left ? 236 : 60;
                    Q[2] = Left ? 228 : 150;
                } else if (Y < 1200) { // linear gradient
                    Q[0] = uint8_t(X * 255 / Side);
                    Q[1] = uint8_t(120 + (Y - 700) * 100 / 500);
                    Q[2] = uint8_t(255 - X * 255 / Side);
                } else { // radial gradient
                    const double D = std::hypot(X - 1000.0, Y - 1600.0) / 1100.0;
                    const uint8_t V = uint8_t(std::clamp(255.0 * (1 - D), 0.0, 255.0));
                    Q[0] = V;
                    Q[1] = uint8_t(V / 2 + 40);
                    Q[2] = uint8_t(200 - V / 3);
                }
            }
        std::mt19937 Rng(7);
        // Strokes: anti-aliased thick segments, clustered like text lines.
        std::uniform_real_distribution<double> U(0, 1);
        for (int S = 0; S < 900; ++S) {
            const double X0 = 60 + (S % 30) * 62 + U(Rng) * 20, Y0 = 80 + (S / 30) * 60 + U(Rng) * 10;
            const double X1 = X0 + (U(Rng) - 0.5) * 50, Y1 = Y0 + (U(Rng) - 0.3) * 45;
            const double Half = 2 + U(Rng) * 4;
            const uint8_t C = uint8_t(U(Rng) * 80);
            const int32_t Bx0 = int32_t(std::min(X0, X1) - Half - 2), Bx1 = int32_t(std::max(X0, X1) + Half + 2);
            const int32_t By0 = int32_t(std::min(Y0, Y1) - Half - 2), By1 = int32_t(std::max(Y0, Y1) + Half + 2);
            const double Dx = X1 - X0, Dy = Y1 - Y0, L2 = Dx * Dx + Dy * Dy;
            for (int32_t Y = std::max(By0, 0); Y <= std::min(By1, Side - 1); ++Y)
                for (int32_t X = std::max(Bx0, 0); X <= std::min(Bx1, Side - 1); ++X) {
                    const double T = std::clamp(((X - X0) * Dx + (Y - Y0) * Dy) / L2, 0.0, 1.0);
                    const double D = std::hypot(X - (X0 + T * Dx), Y - (Y0 + T * Dy));
                    Blend(P.Px(X, Y), Half + 0.5 - D, C, C, uint8_t(C + 40));
                }
        }
        // Rings (letter bowls) over the gradients.
        for (int S = 0; S < 120; ++S) {
            const double Cx = 100 + U(Rng) * 1800, Cy = 750 + U(Rng) * 1200, R = 15 + U(Rng) * 40, Half = 3;
            for (int32_t Y = int32_t(Cy - R - 6); Y <= int32_t(Cy + R + 6); ++Y)
                for (int32_t X = int32_t(Cx - R - 6); X <= int32_t(Cx + R + 6); ++X) {
                    if (X < 0 || Y < 0 || X >= Side || Y >= Side)
                        continue;
                    const double D = std::fabs(std::hypot(X - Cx, Y - Cy) - R);
                    Blend(P.Px(X, Y), Half + 0.5 - D, 250, 250, 250);
                }
        }
        // A photo-like patch: smooth shapes with sensor noise.
        std::normal_distribution<double> Noise(0, 9);
        for (int32_t Y = 1250; Y < 1850; ++Y)
            for (int32_t X = 200; X < 800; ++X) {
                uint8_t* Q = P.Px(X, Y);
                const double Base = 128 + 60 * std::sin(X / 37.0) * std::cos(Y / 53.0);
                for (int C = 0; C < 3; ++C)
                    Q[C] = uint8_t(std::clamp(Base + 25 * C + Noise(Rng), 0.0, 255.0));
            }
        return P;
    }();
    return Pic;
}

// ---- Bare libpng at the same settings.

struct TPeerOut {
    std::vector<uint8_t> Data;
};

void PeerWrite(png_structp Png, png_bytep D, size_t N)
{
    auto* Out = static_cast<TPeerOut*>(png_get_io_ptr(Png));
    Out->Data.insert(Out->Data.end(), D, D + N);
}
void PeerFlush(png_structp) {}

int PeerPngSave(const TPicture* P, int Level, TPeerOut* Out)
{
    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop Info = png_create_info_struct(Png);
    if (setjmp(png_jmpbuf(Png))) {
        png_destroy_write_struct(&Png, &Info);
        return 1;
    }
    png_set_write_fn(Png, Out, PeerWrite, PeerFlush);
    png_set_compression_level(Png, Level);
    png_set_IHDR(Png, Info, Side, Side, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(Png, Info);
    png_set_bgr(Png);
    for (int32_t Y = 0; Y < Side; ++Y)
        png_write_row(Png, P->Bits.data() + (Side - 1 - Y) * P->Line);
    png_write_end(Png, Info);
    png_destroy_write_struct(&Png, &Info);
    return 0;
}

void BM_PngSave_Ours(benchmark::State& State)
{
    const TPicture& P = Artwork();
    int64_t Size = 0;
    for (auto _ : State) {
        TMemoryStream S;
        bool Cancel = false;
        PNGSaveToStream(S, &P.Header, P.Bits.data(), -1, false, nullptr, nullptr, Cancel);
        Size = S.Size();
        benchmark::DoNotOptimize(S.Memory());
    }
    State.counters["bytes"] = double(Size);
}

void BM_PngSave_Peer(benchmark::State& State)
{
    const TPicture& P = Artwork();
    int64_t Size = 0;
    for (auto _ : State) {
        TPeerOut Out;
        if (PeerPngSave(&P, PngCompressionLevel, &Out) != 0)
            State.SkipWithError("libpng failed");
        Size = int64_t(Out.Data.size());
        benchmark::DoNotOptimize(Out.Data.data());
    }
    State.counters["bytes"] = double(Size);
}

void BM_PngLevel(benchmark::State& State)
{
    const TPicture& P = Artwork();
    int64_t Size = 0;
    for (auto _ : State) {
        TPeerOut Out;
        if (PeerPngSave(&P, int(State.range(0)), &Out) != 0)
            State.SkipWithError("libpng failed");
        Size = int64_t(Out.Data.size());
    }
    State.counters["bytes"] = double(Size);
}

// ---- PNG reading.

// The artwork's pixels as a PNG of Width x Height (Width * Height = Side^2),
// taken in the artwork's row order, at the stored documents' level.
std::vector<uint8_t> ArtworkPng(int32_t Width, int32_t Height)
{
    const TPicture& P = Artwork();
    TPeerOut Out;
    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop Info = png_create_info_struct(Png);
    if (setjmp(png_jmpbuf(Png)))
        std::abort();
    png_set_write_fn(Png, &Out, PeerWrite, PeerFlush);
    png_set_user_limits(Png, 0x7fffffff, 0x7fffffff);
    png_set_compression_level(Png, PngCompressionLevel);
    png_set_IHDR(Png, Info, png_uint_32(Width), png_uint_32(Height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(Png, Info);
    png_set_bgr(Png);
    std::vector<uint8_t> Row(size_t(Width) * 3);
    size_t Taken = 0; // pixels of the artwork, top row first
    for (int32_t Y = 0; Y < Height; ++Y) {
        for (int32_t X = 0; X < Width; ++X, ++Taken) {
            const uint8_t* Q = P.Bits.data() + (Side - 1 - int64_t(Taken / Side)) * P.Line + 3 * (Taken % Side);
            std::memcpy(&Row[3 * size_t(X)], Q, 3);
        }
        png_write_row(Png, Row.data());
    }
    png_write_end(Png, Info);
    png_destroy_write_struct(&Png, &Info);
    return Out.Data;
}

const std::vector<uint8_t>& SquarePng()
{
    static const std::vector<uint8_t> P = ArtworkPng(Side, Side);
    return P;
}

const std::vector<uint8_t>& TallPng()
{
    static const std::vector<uint8_t> P = ArtworkPng(1, Side * Side);
    return P;
}

struct TPeerIn {
    const uint8_t* Data;
    size_t Left;
};

void PeerRead(png_structp Png, png_bytep D, size_t N)
{
    auto* In = static_cast<TPeerIn*>(png_get_io_ptr(Png));
    if (N > In->Left)
        png_error(Png, "short");
    std::memcpy(D, In->Data, N);
    In->Data += N;
    In->Left -= N;
}

// Bare libpng: the picture into a new bottom-up BGR block, row by row.
int PeerPngLoad(const std::vector<uint8_t>* Png, uint8_t** Bits)
{
    TPeerIn In{Png->data(), Png->size()};
    png_structp P = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop Info = png_create_info_struct(P);
    *Bits = nullptr;
    if (setjmp(png_jmpbuf(P))) {
        png_destroy_read_struct(&P, &Info, nullptr);
        return 1;
    }
    png_set_read_fn(P, &In, PeerRead);
    png_set_user_limits(P, 0x7fffffff, 0x7fffffff);
    png_read_info(P, Info);
    png_set_bgr(P);
    png_read_update_info(P, Info);
    const png_uint_32 W = png_get_image_width(P, Info), H = png_get_image_height(P, Info);
    const int64_t Line = GetDIBLineSize(int32_t(W), 24);
    *Bits = static_cast<uint8_t*>(std::calloc(size_t(Line) * H, 1));
    for (png_uint_32 Y = 0; Y < H; ++Y)
        png_read_row(P, *Bits + (int64_t(H) - 1 - Y) * Line, nullptr);
    png_read_end(P, nullptr);
    png_destroy_read_struct(&P, &Info, nullptr);
    return 0;
}

// Our reading of Png into a new block, freed again.
void PngLoadOnce(const std::vector<uint8_t>& Png)
{
    TMemoryStreamWex S;
    S.SetPointer(Png.data(), int64_t(Png.size()));
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    bool Cancel = false;
    PNGLoadFromStream(S, Header, Bits, Cancel);
    benchmark::DoNotOptimize(Bits);
    GlobalFreeQ(Header);
    HGLOBAL B = Bits;
    GlobalFreeQ(B);
}

void PngLoadOurs(benchmark::State& State, const std::vector<uint8_t>& Png)
{
    for (auto _ : State) {
        const TThreadCpuIteration Timed(State);
        PngLoadOnce(Png);
    }
    State.counters["bytes"] = double(Png.size());
}

void PngLoadPeer(benchmark::State& State, const std::vector<uint8_t>& Png)
{
    for (auto _ : State) {
        const TThreadCpuIteration Timed(State);
        uint8_t* Bits = nullptr;
        if (PeerPngLoad(&Png, &Bits) != 0)
            State.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(Bits);
        std::free(Bits);
    }
    State.counters["bytes"] = double(Png.size());
}

void BM_PngLoadSquare_Ours(benchmark::State& State) { PngLoadOurs(State, SquarePng()); }
void BM_PngLoadSquare_Peer(benchmark::State& State) { PngLoadPeer(State, SquarePng()); }
void BM_PngLoadTall_Ours(benchmark::State& State) { PngLoadOurs(State, TallPng()); }
void BM_PngLoadTall_Peer(benchmark::State& State) { PngLoadPeer(State, TallPng()); }

// Both pictures read in each iteration, the tall one timed against the
// square one read just before it.
void BM_PngLoadTallPerSquare(benchmark::State& State)
{
    const std::vector<uint8_t>& Square = SquarePng();
    const std::vector<uint8_t>& Tall = TallPng();
    double SquareTime = 0, TallTime = 0;
    for (auto _ : State) {
        const double T0 = ThreadCpuSeconds();
        PngLoadOnce(Square);
        const double T1 = ThreadCpuSeconds();
        PngLoadOnce(Tall);
        const double T2 = ThreadCpuSeconds();
        State.SetIterationTime(T2 - T0);
        SquareTime += T1 - T0;
        TallTime += T2 - T1;
    }
    const double Count = double(std::max<int64_t>(State.iterations(), 1));
    State.counters["bytes"] = double(Square.size() + Tall.size());
    State.counters["square_s"] = SquareTime / Count;
    State.counters["tall_s"] = TallTime / Count;
}

// ---- JPEG.

struct TJpegErr {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};

void JpegErrExit(j_common_ptr C)
{
    std::longjmp(reinterpret_cast<TJpegErr*>(C->err)->Jump, 1);
}

int CompressPhoto(const TPicture* P, unsigned char** Out, unsigned long* Len)
{
    jpeg_compress_struct C;
    TJpegErr E;
    C.err = jpeg_std_error(&E.Pub);
    E.Pub.error_exit = JpegErrExit;
    if (setjmp(E.Jump)) {
        jpeg_destroy_compress(&C);
        return 1;
    }
    jpeg_create_compress(&C);
    jpeg_mem_dest(&C, Out, Len);
    C.image_width = Side;
    C.image_height = Side;
    C.input_components = 3;
    C.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&C);
    jpeg_set_quality(&C, 90, TRUE);
    jpeg_start_compress(&C, TRUE);
    while (C.next_scanline < C.image_height) {
        JSAMPROW Row = const_cast<JSAMPROW>(P->Bits.data() + (Side - 1 - C.next_scanline) * P->Line);
        jpeg_write_scanlines(&C, &Row, 1);
    }
    jpeg_finish_compress(&C);
    jpeg_destroy_compress(&C);
    return 0;
}

// The artwork with noise over all of it: a photo's worth of detail.
const std::vector<uint8_t>& PhotoJpeg()
{
    static const std::vector<uint8_t> J = [] {
        TPicture P = Artwork();
        std::mt19937 Rng(11);
        std::normal_distribution<double> Noise(0, 6);
        for (uint8_t& B : P.Bits)
            B = uint8_t(std::clamp(B + Noise(Rng), 0.0, 255.0));
        unsigned char* Out = nullptr;
        unsigned long Len = 0;
        if (CompressPhoto(&P, &Out, &Len) != 0)
            std::abort();
        std::vector<uint8_t> R(Out, Out + Len);
        std::free(Out);
        return R;
    }();
    return J;
}

int PeerJpegDecode(const std::vector<uint8_t>* J, uint8_t* Bits, int64_t Line)
{
    jpeg_decompress_struct C;
    TJpegErr E;
    C.err = jpeg_std_error(&E.Pub);
    E.Pub.error_exit = JpegErrExit;
    if (setjmp(E.Jump)) {
        jpeg_destroy_decompress(&C);
        return 1;
    }
    jpeg_create_decompress(&C);
    jpeg_mem_src(&C, J->data(), static_cast<unsigned long>(J->size()));
    jpeg_read_header(&C, TRUE);
    C.do_block_smoothing = FALSE;
    C.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&C);
    while (C.output_scanline < C.output_height) {
        JSAMPROW Row = Bits + (int64_t(C.output_height) - 1 - C.output_scanline) * Line;
        jpeg_read_scanlines(&C, &Row, 1);
    }
    jpeg_finish_decompress(&C);
    jpeg_destroy_decompress(&C);
    return 0;
}

void BM_JpegDecode_Ours(benchmark::State& State)
{
    const std::vector<uint8_t>& J = PhotoJpeg();
    for (auto _ : State) {
        TMemoryStreamWex S;
        S.SetPointer(J.data(), int64_t(J.size()));
        HGLOBAL Header = nullptr;
        uint8_t* Bits = nullptr;
        bool Cancel = false;
        JpegLoadFromStream(S, Header, Bits, false, 0, false, false, nullptr, nullptr, Cancel);
        benchmark::DoNotOptimize(Bits);
        GlobalFreeQ(Header);
        HGLOBAL B = Bits;
        GlobalFreeQ(B);
    }
    State.counters["bytes"] = double(J.size());
}

void BM_JpegDecode_Peer(benchmark::State& State)
{
    const std::vector<uint8_t>& J = PhotoJpeg();
    const int64_t Line = GetDIBLineSize(Side, 24);
    for (auto _ : State) {
        auto* Bits = static_cast<uint8_t*>(std::malloc(size_t(Line * Side)));
        if (PeerJpegDecode(&J, Bits, Line) != 0)
            State.SkipWithError("libjpeg failed");
        benchmark::DoNotOptimize(Bits);
        std::free(Bits);
    }
    State.counters["bytes"] = double(J.size());
}

BENCHMARK(BM_PngSave_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngSave_Peer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLevel)->Arg(1)->Arg(3)->Arg(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecode_Peer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLoadSquare_Ours)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_PngLoadSquare_Peer)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_PngLoadTall_Ours)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_PngLoadTall_Peer)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_PngLoadTallPerSquare)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) {
        R.PrintPairRatios();
        R.PrintCountersRatio("PngLoadTallPerSquare", "BM_PngLoadTallPerSquare", "tall_s", "square_s");
    });
}
