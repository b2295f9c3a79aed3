// Point paths: flattening and hit-testing a path of 10,000 random Bezier
// segments, reported as time per segment. No peer: these set the baseline.
#include "foundation/poly_line.h"
#include "foundation/rec_path.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr int32_t Segments = 10000;
constexpr double FlatTolerance = 1.0;

// One figure of Bezier segments wandering over a 200000-unit page, each
// segment's points within 1000 units of its start (glyph and shape sized).
const TrecPath& BezierPath()
{
    static const TrecPath Path = [] {
        std::mt19937 Rng(20240601);
        std::uniform_int_distribution<int32_t> Step(-1000, 1000);
        TrecPath P;
        RecPolyLineSetCount(P, 1 + 3 * Segments);
        TPoint Cur{100000, 100000};
        P.Points[0] = Cur;
        P.pabType[0] = PT_MOVETO;
        for (int32_t S = 0; S < Segments; ++S) {
            for (int K = 1; K <= 3; ++K) {
                const TPoint Q{std::clamp(Cur.X + Step(Rng), 0, 200000),
                               std::clamp(Cur.Y + Step(Rng), 0, 200000)};
                P.Points[3 * S + K] = Q;
                P.pabType[3 * S + K] = PT_BEZIERTO;
            }
            Cur = P.Points[3 * S + 3];
        }
        RecPathCalcBounds(P);
        return P;
    }();
    return Path;
}

void SetPerSegment(benchmark::State& State)
{
    State.counters["per_segment"] = benchmark::Counter(
        Segments, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Dest reused between runs, as the fill reuses its buffer.
void BM_PathFlatten(benchmark::State& State)
{
    const TrecPath& Path = BezierPath();
    TrecPolyLine Dest;
    for (auto _ : State) {
        RecPolyLineFlatten(Path, Dest, true, FlatTolerance);
        benchmark::DoNotOptimize(Dest.Points.data());
    }
    SetPerSegment(State);
    State.counters["points"] = Dest.Count;
}
BENCHMARK(BM_PathFlatten)->Unit(benchmark::kMicrosecond);

// A fresh Dest every run: the allocation is part of the time.
void BM_PathFlattenFresh(benchmark::State& State)
{
    const TrecPath& Path = BezierPath();
    for (auto _ : State) {
        TrecPolyLine Dest;
        RecPolyLineFlatten(Path, Dest, true, FlatTolerance);
        benchmark::DoNotOptimize(Dest.Points.data());
    }
    SetPerSegment(State);
}
BENCHMARK(BM_PathFlattenFresh)->Unit(benchmark::kMicrosecond);

// Random points inside the path's bounds; most miss, so the walk covers the
// whole path.
void BM_PathHitTest(benchmark::State& State)
{
    const TrecPath& Path = BezierPath();
    std::mt19937 Rng(7);
    std::uniform_int_distribution<int32_t> X(Path.Bounds.Left, Path.Bounds.Right);
    std::uniform_int_distribution<int32_t> Y(Path.Bounds.Top, Path.Bounds.Bottom);
    std::vector<TPoint> Probes(256);
    for (TPoint& Q : Probes)
        Q = TPoint{X(Rng), Y(Rng)};
    size_t I = 0;
    int64_t Hits = 0;
    for (auto _ : State) {
        Hits += RecPathHitTest(Path, Probes[I], 20, FlatTolerance) ? 1 : 0;
        I = (I + 1) % Probes.size();
    }
    benchmark::DoNotOptimize(Hits);
    SetPerSegment(State);
}
BENCHMARK(BM_PathHitTest)->Unit(benchmark::kMicrosecond);

// Points on the curves' ends: every test ends in a curve distance search.
void BM_PathNearestPoint(benchmark::State& State)
{
    const TrecPath& Path = BezierPath();
    std::mt19937 Rng(11);
    std::vector<TPoint> Probes(256);
    for (TPoint& Q : Probes)
        Q = Path.Points[1 + 3 * (Rng() % Segments)];
    size_t I = 0;
    for (auto _ : State) {
        int64_t D = 0;
        int32_t Index = 0;
        RecPolyLineNearestPoint(Path, Probes[I], FlatTolerance, &D, nullptr, nullptr, &Index);
        benchmark::DoNotOptimize(D);
        I = (I + 1) % Probes.size();
    }
    SetPerSegment(State);
}
BENCHMARK(BM_PathNearestPoint)->Unit(benchmark::kMicrosecond);

} // namespace
