// Gaussian blur of a 4000 x 3000 24-bit picture at radius 2, 10 and 30
// (BMPGaussBlur8) against libvips gaussblur at the same sigma
// (r / sqrt(2 ln 10), its default kernel extent), and the median (rank) of
// an 8-bit 4000 x 3000 plane over 5 x 5 and 15 x 15 windows (BMPBufFilter
// type 6) against libvips rank. libvips runs on one thread without its
// operation cache and writes a new memory image; ours filters in place and
// first restores the source, both inside the timed loop. Prints
// "ratio <name> <ours/peer>" lines (real time) last. Without libvips only
// our side is timed.
#include "bench_ratio.h"
#include "raster/bmp_filter.h"
#include "raster/rec_picture.h"

#include <benchmark/benchmark.h>

#if __has_include(<vips/vips.h>)
#include <vips/vips.h>
#define TAVRO_BENCH_VIPS 1
#else
#define TAVRO_BENCH_VIPS 0
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t PicW = 4000;
constexpr int32_t PicH = 3000;

// Photo-like content: smooth gradations, hard-edged shapes and noise of a
// few levels (a median of pure noise or of flat areas would flatter it).
void FillPicture(uint8_t* Bits, int64_t Line, int32_t Bpp)
{
    uint32_t Seed = 12345;
    for (int32_t Y = 0; Y < PicH; ++Y) {
        uint8_t* P = Bits + Line * Y;
        for (int32_t X = 0; X < PicW; ++X, P += Bpp) {
            Seed = Seed * 1664525u + 1013904223u;
            const bool Shape = ((X / 250) + (Y / 200)) % 3 == 0;
            const int32_t Noise = int32_t((Seed >> 24) & 15) - 8;
            const int32_t V[3] = {Shape ? 40 : X * 255 / PicW, Shape ? 200 : Y * 255 / PicH,
                                  (X + Y) * 255 / (PicW + PicH)};
            for (int32_t C = 0; C < Bpp; ++C)
                P[C] = static_cast<uint8_t>(std::clamp(V[C] + Noise, 0, 255));
        }
    }
}

struct TSource {
    TrecPicture Pic;     // the picture filtered in place
    std::vector<uint8_t> Original;
    explicit TSource(int32_t Bits)
    {
        RecPictureCreate(Pic, TPoint{0, 0}, PicW, PicH, Bits, false);
        const int64_t Line = int64_t{PicW} * (Bits / 8); // no row padding at this width
        FillPicture(Pic.pBits, Line, Bits / 8);
        Original.assign(Pic.pBits, Pic.pBits + Line * PicH);
    }
    void Restore() { std::memcpy(Pic.pBits, Original.data(), Original.size()); }
};

TSource& Source(int32_t Bits)
{
    static TSource S24(24);
    static TSource S8(8);
    return Bits == 24 ? S24 : S8;
}

double SigmaOf(double Radius)
{
    return Radius / std::sqrt(2 * std::log(10.0));
}

void RunGaussOurs(benchmark::State& State, double Radius)
{
    TSource& S = Source(24);
    for (auto _ : State) {
        S.Restore();
        BMPGaussBlur8(S.Pic, nullptr, 0, Radius);
        benchmark::DoNotOptimize(S.Pic.pBits);
    }
    State.SetItemsProcessed(State.iterations() * int64_t{PicW} * PicH);
}

void RunMedianOurs(benchmark::State& State, int32_t Size)
{
    TSource& S = Source(8);
    for (auto _ : State) {
        S.Restore();
        BMPBufFilter(6, S.Pic.pBIHeader, S.Pic.pBits, nullptr, Size, nullptr, 0, 0, Size * Size / 2, nullptr,
                     nullptr, 0, 0);
        benchmark::DoNotOptimize(S.Pic.pBits);
    }
    State.SetItemsProcessed(State.iterations() * int64_t{PicW} * PicH);
}

#if TAVRO_BENCH_VIPS
VipsImage* PeerSource(int32_t Bits)
{
    static VipsImage* Img24 = nullptr;
    static VipsImage* Img8 = nullptr;
    VipsImage*& Img = Bits == 24 ? Img24 : Img8;
    if (!Img) {
        const TSource& S = Source(Bits);
        Img = vips_image_new_from_memory(S.Original.data(), S.Original.size(), PicW, PicH, Bits / 8,
                                         VIPS_FORMAT_UCHAR);
    }
    return Img;
}

template <class F>
void RunPeer(benchmark::State& State, int32_t Bits, F Op)
{
    VipsImage* In = PeerSource(Bits);
    for (auto _ : State) {
        VipsImage* Out = nullptr;
        if (Op(In, &Out) != 0) {
            State.SkipWithError(vips_error_buffer());
            break;
        }
        size_t Size = 0;
        void* Mem = vips_image_write_to_memory(Out, &Size);
        g_object_unref(Out);
        if (!Mem) {
            State.SkipWithError(vips_error_buffer());
            break;
        }
        benchmark::DoNotOptimize(Mem);
        g_free(Mem);
    }
    State.SetItemsProcessed(State.iterations() * int64_t{PicW} * PicH);
}

void RunGaussPeer(benchmark::State& State, double Radius)
{
    RunPeer(State, 24, [Radius](VipsImage* In, VipsImage** Out) {
        return vips_gaussblur(In, Out, SigmaOf(Radius), nullptr);
    });
}

void RunMedianPeer(benchmark::State& State, int32_t Size)
{
    RunPeer(State, 8, [Size](VipsImage* In, VipsImage** Out) {
        return vips_rank(In, Out, Size, Size, Size * Size / 2, nullptr);
    });
}
#endif

void BM_GaussBlurR2_Ours(benchmark::State& State) { RunGaussOurs(State, 2); }
void BM_GaussBlurR10_Ours(benchmark::State& State) { RunGaussOurs(State, 10); }
void BM_GaussBlurR30_Ours(benchmark::State& State) { RunGaussOurs(State, 30); }
void BM_Median5_Ours(benchmark::State& State) { RunMedianOurs(State, 5); }
void BM_Median15_Ours(benchmark::State& State) { RunMedianOurs(State, 15); }

BENCHMARK(BM_GaussBlurR2_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GaussBlurR10_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GaussBlurR30_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Median5_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Median15_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

#if TAVRO_BENCH_VIPS
void BM_GaussBlurR2_Peer(benchmark::State& State) { RunGaussPeer(State, 2); }
void BM_GaussBlurR10_Peer(benchmark::State& State) { RunGaussPeer(State, 10); }
void BM_GaussBlurR30_Peer(benchmark::State& State) { RunGaussPeer(State, 30); }
void BM_Median5_Peer(benchmark::State& State) { RunMedianPeer(State, 5); }
void BM_Median15_Peer(benchmark::State& State) { RunMedianPeer(State, 15); }

BENCHMARK(BM_GaussBlurR2_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GaussBlurR10_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GaussBlurR30_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Median5_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Median15_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

} // namespace

int main(int argc, char** argv)
{
#if TAVRO_BENCH_VIPS
    if (VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "bench_blur: libvips did not start: %s\n", vips_error_buffer());
        return 1;
    }
    // One thread, and no operation cache: every iteration really computes.
    vips_concurrency_set(1);
    vips_cache_set_max(0);
#endif
    const int Result = RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) { R.PrintPairRatios(); });
#if TAVRO_BENCH_VIPS
    vips_shutdown();
#endif
    return Result;
}
