// Gradation rendering: RecPictureRenderGradation of a 2000 x 2000 colour and
// opacity picture pair for each of the six shapes, with four colour stops,
// two opacity stops and three repeats. Reports Mpx/s; there is no peer.
#include "raster/gradation_picture.h"
#include "raster/rec_picture.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

constexpr int32_t Size = 2000;

TrecGradation BenchGradation(uint8_t Shape)
{
    TrecGradation G;
    G.bShape = Shape;
    G.iOpacity = 255;
    G.iRepeatCount = 3;
    G.bRepetition = GradRepeatReflect;
    G.iX1 = 6000;
    G.iY1 = 7000;
    G.iX2 = 13000;
    G.iY2 = 11000;
    G.ColStops = {{0, 0x102030}, {300, 0x40C0F0}, {700, 0xF08010}, {1023, 0x203040}};
    G.TransStops = {{0, 255}, {1023, 96}};
    return G;
}

void BM_RenderGradation(benchmark::State& State)
{
    const TrecGradation G = BenchGradation(static_cast<uint8_t>(State.range(0)));
    TDIBPicture C, A;
    for (auto _ : State) {
        RecPictureRenderGradation(TRect{0, 0, Size - 1, Size - 1}, Size, Size, C.FrecPicture,
                                  A.FrecPicture, G);
        benchmark::ClobberMemory();
    }
    State.counters["Mpx"] = benchmark::Counter(double(Size) * Size * double(State.iterations()) / 1e6,
                                                 benchmark::Counter::kIsRate);
    static const char* const Names[] = {"linear", "angle", "ellipse", "circle", "rectangle", "square"};
    State.SetLabel(Names[State.range(0)]);
}
BENCHMARK(BM_RenderGradation)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

} // namespace
