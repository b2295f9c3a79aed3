// Compositing: mode 0 through an 8-bit mask of one 4000 x 3000 24-bit
// picture over another, against a plain memcpy of the same pixel bytes.
// Prints "ratio Merge0Mask <ours/peer>" as its last line.
#include "bench_ratio.h"
#include "raster/merge.h"
#include "raster/rec_picture.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

namespace {

constexpr int32_t Width = 4000;
constexpr int32_t Height = 3000;

struct TPictures {
    TrecPicture Dest, Src, Mask, SoftMask;
    TPictures()
    {
        RecPictureCreate(Dest, TPoint{0, 0}, Width, Height, 24, false);
        RecPictureCreate(Src, TPoint{0, 0}, Width, Height, 24, false);
        RecPictureCreate(Mask, TPoint{0, 0}, Width, Height, 8, false);
        RecPictureCreate(SoftMask, TPoint{0, 0}, Width, Height, 8, false);
        std::mt19937 Rng(3);
        for (TrecPicture* P : {&Dest, &Src}) {
            const int64_t N = RecPictureGetImageSize(*P);
            for (int64_t I = 0; I < N; ++I)
                P->pBits[I] = uint8_t(Rng());
        }
        // An artwork-like mask: wide runs of 0 and 255 with soft edges of
        // every value between, about a third of the pixels partly covered.
        const int64_t Line = RecPictureGetImageSize(Mask) / Height;
        for (int32_t Y = 0; Y < Height; ++Y)
            for (int32_t X = 0; X < Width; ++X) {
                const int32_t Phase = (X + Y / 3) % 384;
                uint8_t V = Phase < 128 ? 0 : Phase < 256 ? 255 : uint8_t((Phase - 256) * 2);
                Mask.pBits[Y * Line + X] = V;
                // Every pixel partly covered: the worst case, no block skipped.
                SoftMask.pBits[Y * Line + X] = uint8_t(1 + (X + Y) % 254);
            }
    }
    ~TPictures()
    {
        RecPictureClear(Dest);
        RecPictureClear(Src);
        RecPictureClear(Mask);
        RecPictureClear(SoftMask);
    }
};

TPictures& Pictures()
{
    static TPictures P;
    return P;
}

void SetBytes(benchmark::State& State)
{
    State.SetBytesProcessed(int64_t(State.iterations()) * RecPictureGetImageSize(Pictures().Dest));
}

void BM_Merge0Mask_Ours(benchmark::State& State)
{
    TPictures& P = Pictures();
    for (auto _ : State) {
        RecPictureMerge(P.Dest, P.Src, &P.Mask, 255, 0);
        benchmark::ClobberMemory();
    }
    SetBytes(State);
}
BENCHMARK(BM_Merge0Mask_Ours)->Unit(benchmark::kMillisecond);

void BM_Merge0Mask_Peer(benchmark::State& State)
{
    TPictures& P = Pictures();
    const size_t N = size_t(RecPictureGetImageSize(P.Dest));
    for (auto _ : State) {
        std::memcpy(P.Dest.pBits, P.Src.pBits, N);
        benchmark::ClobberMemory();
    }
    SetBytes(State);
}
BENCHMARK(BM_Merge0Mask_Peer)->Unit(benchmark::kMillisecond);

void BM_Merge0SoftMask_Ours(benchmark::State& State)
{
    TPictures& P = Pictures();
    for (auto _ : State) {
        RecPictureMerge(P.Dest, P.Src, &P.SoftMask, 255, 0);
        benchmark::ClobberMemory();
    }
    SetBytes(State);
}
BENCHMARK(BM_Merge0SoftMask_Ours)->Unit(benchmark::kMillisecond);

void BM_Merge0SoftMask_Peer(benchmark::State& State)
{
    BM_Merge0Mask_Peer(State);
}
BENCHMARK(BM_Merge0SoftMask_Peer)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) { R.PrintPairRatios("%.4g"); });
}
