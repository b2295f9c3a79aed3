// Scaling a 4000 x 3000 24-bit picture into a new picture: our averaging
// reduction to 1000 x 750 (whole factor 4) and area averaging to 1500 x 1125
// (factor 8/3), and our cubic enlargement to 8000 x 6000, each against
// libvips on one thread doing its nearest kernel (box shrink, linear reduce,
// bicubic affine) into a new memory image. Prints "ratio <name> <ours/peer>"
// lines (real time) last.
#include "bench_ratio.h"
#include "raster/rec_picture.h"
#include "raster/picture_transfer.h"

#include <benchmark/benchmark.h>
#include <vips/vips.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t SrcW = 4000;
constexpr int32_t SrcH = 3000;

// Artwork-like content: smooth gradations with hard-edged shapes and a
// little noise.
void FillPicture(uint8_t* Bits, int64_t Line)
{
    uint32_t Seed = 12345;
    for (int32_t Y = 0; Y < SrcH; ++Y) {
        uint8_t* P = Bits + Line * Y;
        for (int32_t X = 0; X < SrcW; ++X, P += 3) {
            Seed = Seed * 1664525u + 1013904223u;
            const bool Shape = ((X / 250) + (Y / 200)) % 3 == 0;
            const uint8_t Noise = static_cast<uint8_t>((Seed >> 24) & 7);
            P[0] = static_cast<uint8_t>(Shape ? 30 + Noise : (X * 255 / SrcW) ^ Noise);
            P[1] = static_cast<uint8_t>(Shape ? 200 : (Y * 255 / SrcH) + Noise / 2);
            P[2] = static_cast<uint8_t>(((X + Y) * 255 / (SrcW + SrcH)) | Noise);
        }
    }
}

const TrecPicture& Source()
{
    static TrecPicture P = [] {
        TrecPicture R;
        RecPictureCreate(R, TPoint{0, 0}, SrcW, SrcH, 24, false);
        FillPicture(R.pBits, int64_t{SrcW} * 3);
        return R;
    }();
    return P;
}

// The same pixels as a libvips memory image (rows have no padding at this width).
VipsImage* PeerSource()
{
    static VipsImage* Img = [] {
        const TrecPicture& S = Source();
        return vips_image_new_from_memory(S.pBits, size_t(SrcW) * SrcH * 3, SrcW, SrcH, 3,
                                          VIPS_FORMAT_UCHAR);
    }();
    return Img;
}

void RunOurs(benchmark::State& State, int32_t W, int32_t H, uint8_t Expand, uint8_t Reduce)
{
    const TrecPicture& S = Source();
    for (auto _ : State) {
        TrecPicture D;
        RecPictureStretch(D, S, TPoint{0, 0}, W, H, Expand, Reduce, 0);
        benchmark::DoNotOptimize(D.pBits);
        RecPictureClear(D);
    }
    State.SetItemsProcessed(State.iterations() * int64_t{W} * H);
}

// Runs Op on the source and makes its pixels in a new memory block.
template <class F>
void RunPeer(benchmark::State& State, int64_t OutPixels, F Op)
{
    VipsImage* In = PeerSource();
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
    State.SetItemsProcessed(State.iterations() * OutPixels);
}

void BM_ShrinkAverage_Ours(benchmark::State& State)
{
    RunOurs(State, 1000, 750, 2, 1);
}
void BM_ShrinkAverage_Peer(benchmark::State& State)
{
    RunPeer(State, 1000 * 750, [](VipsImage* In, VipsImage** Out) {
        return vips_shrink(In, Out, 4.0, 4.0, nullptr);
    });
}

void BM_ShrinkArea_Ours(benchmark::State& State)
{
    RunOurs(State, 1500, 1125, 2, 1);
}
void BM_ShrinkArea_Peer(benchmark::State& State)
{
    RunPeer(State, 1500 * 1125, [](VipsImage* In, VipsImage** Out) {
        return vips_reduce(In, Out, 8.0 / 3, 8.0 / 3, "kernel", VIPS_KERNEL_LINEAR, nullptr);
    });
}

void BM_EnlargeCubic_Ours(benchmark::State& State)
{
    RunOurs(State, 8000, 6000, 2, 1);
}
void BM_EnlargeCubic_Peer(benchmark::State& State)
{
    RunPeer(State, int64_t{8000} * 6000, [](VipsImage* In, VipsImage** Out) {
        return vips_resize(In, Out, 2.0, "kernel", VIPS_KERNEL_CUBIC, nullptr);
    });
}

BENCHMARK(BM_ShrinkAverage_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShrinkAverage_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShrinkArea_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShrinkArea_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EnlargeCubic_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EnlargeCubic_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "bench_scale: libvips did not start: %s\n", vips_error_buffer());
        return 1;
    }
    // One thread, and no operation cache: every iteration really computes.
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    const int Result = RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) { R.PrintPairRatios(); });
    vips_shutdown();
    return Result;
}
