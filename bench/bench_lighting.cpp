// Lighting: a 2000x2000 24-bit picture lit by a point, a parallel and a spot
// light with highlights over an 8-bit bump plane, reported in Mpx/s. No peer.
#include "raster/lighting.h"
#include "raster/rec_picture.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t Side = 2000;

void BM_Lighting(benchmark::State& State)
{
    TrecPicture Pic, Bump;
    RecPictureCreate(Pic, TPoint{0, 0}, Side, Side, 24, false);
    RecPictureCreate(Bump, TPoint{0, 0}, Side, Side, 8, false);
    const int64_t PicBytes = RecPictureGetImageSize(Pic);
    for (int32_t Y = 0; Y < Side; ++Y) {
        uint8_t* P = RecPictureGetPixelPtr(Pic, 0, Y);
        uint8_t* B = RecPictureGetPixelPtr(Bump, 0, Y);
        for (int32_t X = 0; X < Side; ++X) {
            P[3 * X] = static_cast<uint8_t>(X);
            P[3 * X + 1] = static_cast<uint8_t>(Y);
            P[3 * X + 2] = static_cast<uint8_t>(X + Y);
            // Rolling hills: every pixel has a slope.
            B[X] = static_cast<uint8_t>(127.5 + 127.5 * std::sin(X * 0.05) * std::cos(Y * 0.03));
        }
    }
    const std::vector<uint8_t> Original(Pic.pBits, Pic.pBits + PicBytes);

    TLightsAmb Set;
    Set.Ks = 60;
    Set.Sh = 20;
    Set.M = 30;
    Set.Dp = 40;
    Set.Color[0] = 200;
    Set.Color[1] = 220;
    Set.Color[2] = 255;
    TrecLightUnion L;
    L.Kind = LightKindPoint;
    L.Color[0] = L.Color[1] = L.Color[2] = 255;
    L.Intensity = 80;
    const double PointShape[] = {0.3, 0.3, 0.6, 0.3};
    std::memcpy(L.Shape, PointShape, sizeof PointShape);
    Set.Lights.push_back(L);
    L.Kind = LightKindParallel;
    L.Intensity = 40;
    const double ParallelShape[] = {0.2, 0.2, 0.5, 0.6};
    std::memcpy(L.Shape, ParallelShape, sizeof ParallelShape);
    Set.Lights.push_back(L);
    L.Kind = LightKindSpot;
    L.Intensity = 60;
    const double SpotShape[] = {0.5, 0.6, 0.4, 0.3, 0.4, 0.2};
    std::memcpy(L.Shape, SpotShape, sizeof SpotShape);
    Set.Lights.push_back(L);

    for (auto _ : State) {
        State.PauseTiming();
        std::memcpy(Pic.pBits, Original.data(), Original.size());
        State.ResumeTiming();
        const int32_t Result = RecPictureLight(Pic, nullptr, &Set, &Bump, nullptr, 0, nullptr, nullptr);
        benchmark::DoNotOptimize(Result);
        benchmark::ClobberMemory();
    }
    // Megapixels per iteration, as a rate.
    State.counters["Mpx/s"] =
        benchmark::Counter(Side * static_cast<double>(Side) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    RecPictureClear(Pic);
    RecPictureClear(Bump);
}
BENCHMARK(BM_Lighting)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
