// Outline tracing of a 2000 x 2000 black-and-white scan of large lettering
// (TraceOutline) against potrace (potrace_trace, default parameters) on the
// same 8-bit picture. Each side starts from the grey picture inside the timed
// loop: ours converts and thresholds it itself (only the copy that it
// overwrites is made outside the timing); potrace gets its bitmap packed.
// Counters: Segments (ours: line and Bezier pieces; potrace: curve segments,
// a corner counting as one, as it is stored), Curves, Outlines. Prints
// "ratio Trace <time ours/peer>" and "ratio TraceSegments <ours/peer>" last.
// potrace (libpotrace-dev) is loaded at run time; without it only our side
// is timed.
#include "bench_ratio.h"
#include "model/bitmap_trace.h"
#include "raster/bmp_conv.h"
#include "raster/rec_picture.h"

#include <benchmark/benchmark.h>

#if __has_include(<potracelib.h>)
#include <dlfcn.h>
#include <potracelib.h>
#define TAVRO_BENCH_POTRACE 1
#else
#define TAVRO_BENCH_POTRACE 0
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr int32_t PicW = 2000;
constexpr int32_t PicH = 2000;

// ---------------------------------------------------------------- lettering

struct TPt {
    double X, Y;
};

// Glyph strokes in cell units (0..1 across, 0..1 down), drawn with a stroke
// width in the same units.
struct TStroke {
    enum { Line, Arc, Box } Kind;
    TPt A, B;        // line ends; box corners
    TPt C;           // arc centre
    double RX, RY;   // arc radii
    double From, To; // arc angles, degrees, clockwise from east (y down)
};

struct TGlyph {
    std::vector<TStroke> Strokes;
};

TStroke Ln(double X1, double Y1, double X2, double Y2) { return {TStroke::Line, {X1, Y1}, {X2, Y2}, {}, 0, 0, 0, 0}; }
TStroke Bx(double X1, double Y1, double X2, double Y2) { return {TStroke::Box, {X1, Y1}, {X2, Y2}, {}, 0, 0, 0, 0}; }
TStroke Ar(double CX, double CY, double RX, double RY, double From, double To)
{
    return {TStroke::Arc, {}, {}, {CX, CY}, RX, RY, From, To};
}

std::map<char, TGlyph> Glyphs()
{
    std::map<char, TGlyph> G;
    G['A'] = {{Ln(0.12, 0.95, 0.5, 0.05), Ln(0.5, 0.05, 0.88, 0.95), Bx(0.28, 0.58, 0.72, 0.68)}};
    G['B'] = {{Bx(0.15, 0.05, 0.27, 0.95), Bx(0.15, 0.05, 0.55, 0.15), Bx(0.15, 0.45, 0.6, 0.55),
               Bx(0.15, 0.85, 0.6, 0.95), Ar(0.55, 0.3, 0.25, 0.2, -90, 90),
               Ar(0.6, 0.7, 0.28, 0.2, -90, 90)}};
    G['C'] = {{Ar(0.52, 0.5, 0.38, 0.45, 40, 320)}};
    G['D'] = {{Bx(0.15, 0.05, 0.27, 0.95), Bx(0.15, 0.05, 0.45, 0.15), Bx(0.15, 0.85, 0.45, 0.95),
               Ar(0.45, 0.5, 0.4, 0.4, -90, 90)}};
    G['O'] = {{Ar(0.5, 0.5, 0.38, 0.45, 0, 360)}};
    G['P'] = {{Bx(0.15, 0.05, 0.27, 0.95), Bx(0.15, 0.05, 0.55, 0.15), Bx(0.15, 0.5, 0.55, 0.6),
               Ar(0.55, 0.325, 0.3, 0.225, -90, 90)}};
    G['R'] = {{Bx(0.15, 0.05, 0.27, 0.95), Bx(0.15, 0.05, 0.55, 0.15), Bx(0.15, 0.5, 0.55, 0.6),
               Ar(0.55, 0.325, 0.3, 0.225, -90, 90), Ln(0.45, 0.58, 0.85, 0.95)}};
    G['S'] = {{Ar(0.5, 0.28, 0.3, 0.21, 90, 330), Ar(0.5, 0.7, 0.32, 0.21, -90, 150)}};
    G['e'] = {{Ar(0.5, 0.6, 0.36, 0.34, 40, 360), Bx(0.16, 0.56, 0.84, 0.64)}};
    G['g'] = {{Ar(0.48, 0.35, 0.3, 0.28, 0, 360), Bx(0.74, 0.08, 0.84, 0.7),
               Ar(0.5, 0.7, 0.34, 0.25, 0, 160)}};
    G['T'] = {{Bx(0.08, 0.05, 0.92, 0.16), Bx(0.44, 0.05, 0.56, 0.95)}};
    G['V'] = {{Ln(0.1, 0.05, 0.5, 0.95), Ln(0.5, 0.95, 0.9, 0.05)}};
    return G;
}

double Hash01(uint32_t X)
{
    X ^= X >> 16;
    X *= 0x7feb352dU;
    X ^= X >> 15;
    X *= 0x846ca68bU;
    X ^= X >> 16;
    return (X & 0xFFFFFF) / double(0x1000000);
}

// Whether cell point P lies on a stroke of half width H (cell units).
bool OnStroke(const TStroke& S, TPt P, double HX, double HY)
{
    switch (S.Kind) {
    case TStroke::Box:
        return P.X >= S.A.X && P.X <= S.B.X && P.Y >= S.A.Y && P.Y <= S.B.Y;
    case TStroke::Line: {
        // Measured in a frame where the stroke is round.
        const double AX = S.A.X / HX, AY = S.A.Y / HY, BX = S.B.X / HX, BY = S.B.Y / HY;
        const double PX = P.X / HX, PY = P.Y / HY;
        const double DX = BX - AX, DY = BY - AY;
        const double T = std::clamp(((PX - AX) * DX + (PY - AY) * DY) / (DX * DX + DY * DY), 0.0, 1.0);
        const double EX = PX - AX - T * DX, EY = PY - AY - T * DY;
        return EX * EX + EY * EY <= 1.0;
    }
    case TStroke::Arc: {
        const double DX = (P.X - S.C.X) / S.RX, DY = (P.Y - S.C.Y) / S.RY;
        const double R = std::sqrt(DX * DX + DY * DY);
        const double Width = std::abs(R - 1.0) * std::min(S.RX / HX, S.RY / HY);
        if (Width > 1.0)
            return false;
        double A = std::atan2(DY, DX) * 180 / std::numbers::pi;
        for (double Turn = -720; Turn <= 720; Turn += 360)
            if (A + Turn >= S.From && A + Turn <= S.To)
                return true;
        return false;
    }
    }
    return false;
}

// Grey scan: ink 0 on paper 255, three rows of four letters, edges moved by
// up to about half a pixel at random as a scanner would.
std::vector<uint8_t> MakeLettering()
{
    const std::map<char, TGlyph> G = Glyphs();
    const char* Lines[3] = {"ABCD", "OPRS", "eTgV"};
    const double CellW = 460, CellH = 600, Left = 80, Top = 70, GapY = 40;
    const double HX = 0.085 / 2, HY = 0.065 * CellW / CellH; // stroke half widths, cell units
    std::vector<uint8_t> Grey(static_cast<size_t>(PicW) * PicH, 255);
    for (int32_t Y = 0; Y < PicH; ++Y)
        for (int32_t X = 0; X < PicW; ++X) {
            const uint32_t Id = static_cast<uint32_t>(Y) * PicW + X;
            const double JX = (Hash01(Id * 2) - 0.5) * 1.1;
            const double JY = (Hash01(Id * 2 + 1) - 0.5) * 1.1;
            const double PX = X + JX - Left, PY = Y + JY - Top;
            const int Row = static_cast<int>(std::floor(PY / (CellH + GapY)));
            const int Col = static_cast<int>(std::floor(PX / CellW));
            if (Row < 0 || Row > 2 || Col < 0 || Col > 3)
                continue;
            const TPt P{(PX - Col * CellW) / CellW, (PY - Row * (CellH + GapY)) / CellH};
            for (const TStroke& S : G.at(Lines[Row][Col]).Strokes)
                if (OnStroke(S, P, HX, HY)) {
                    Grey[Id] = 0;
                    break;
                }
        }
    return Grey;
}

const std::vector<uint8_t>& Lettering()
{
    static const std::vector<uint8_t> L = MakeLettering();
    return L;
}

// The scan as an 8-bit grey picture record.
struct TSource {
    TrecPicture P;
    TSource()
    {
        RecPictureCreate(P, TPoint{0, 0}, PicW, PicH, 8, false);
        const std::vector<uint8_t>& L = Lettering();
        for (int32_t Y = 0; Y < PicH; ++Y)
            std::copy_n(&L[static_cast<size_t>(Y) * PicW], PicW,
                        GetDIBPixelPtr(RecPictureHeader(P), P.pBits, 0, Y));
    }
    ~TSource() { RecPictureClear(P); }
};

// ---------------------------------------------------------------- ours

void BM_Trace_Ours(benchmark::State& State)
{
    TSource Source;
    TrecPicture Work;
    int64_t Segments = 0, Curves = 0, Outlines = 0;
    for (auto _ : State) {
        State.PauseTiming();
        RecPictureCopy(Work, Source.P, false);
        std::vector<std::unique_ptr<TrecPolyLine>> Paths;
        std::vector<uint32_t> Colors;
        TTraceProgress Progress;
        State.ResumeTiming();

        TraceOutline(Work, Paths, Colors, Progress, {});
        benchmark::DoNotOptimize(Paths.data());

        State.PauseTiming();
        Segments = Curves = 0;
        Outlines = static_cast<int64_t>(Paths.size());
        for (const auto& Path : Paths)
            for (int32_t I = 1; I < Path->Count; ++I) {
                const uint8_t Kind = PathPointKind(Path->pabType[I]);
                if (Kind == PT_LINETO) {
                    ++Segments;
                } else if (Kind == PT_BEZIERTO) {
                    I += 2;
                    ++Segments;
                    ++Curves;
                }
            }
        Paths.clear();
        State.ResumeTiming();
    }
    RecPictureClear(Work);
    State.counters["Segments"] = static_cast<double>(Segments);
    State.counters["Curves"] = static_cast<double>(Curves);
    State.counters["Outlines"] = static_cast<double>(Outlines);
}
BENCHMARK(BM_Trace_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------- potrace

#if TAVRO_BENCH_POTRACE
// The library is loaded at run time, so the program builds and links the
// same with or without it (the header only gives the types).
struct TPotrace {
    decltype(&::potrace_param_default) ParamDefault = nullptr;
    decltype(&::potrace_param_free) ParamFree = nullptr;
    decltype(&::potrace_trace) Trace = nullptr;
    decltype(&::potrace_state_free) StateFree = nullptr;

    TPotrace()
    {
        void* Lib = dlopen("libpotrace.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!Lib)
            return;
        ParamDefault = reinterpret_cast<decltype(ParamDefault)>(dlsym(Lib, "potrace_param_default"));
        ParamFree = reinterpret_cast<decltype(ParamFree)>(dlsym(Lib, "potrace_param_free"));
        Trace = reinterpret_cast<decltype(Trace)>(dlsym(Lib, "potrace_trace"));
        StateFree = reinterpret_cast<decltype(StateFree)>(dlsym(Lib, "potrace_state_free"));
    }
    bool Usable() const { return ParamDefault && ParamFree && Trace && StateFree; }
};

void BM_Trace_Peer(benchmark::State& State)
{
    static const TPotrace Potrace;
    if (!Potrace.Usable()) {
        State.SkipWithError("libpotrace.so.0 not found (libpotrace-dev)");
        return;
    }
    const std::vector<uint8_t>& Grey = Lettering();
    constexpr int32_t WordBits = 8 * sizeof(potrace_word);
    const int32_t Dy = (PicW + WordBits - 1) / WordBits;
    std::vector<potrace_word> Map(static_cast<size_t>(Dy) * PicH);
    potrace_param_t* Param = Potrace.ParamDefault();
    int64_t Segments = 0, Curves = 0, Outlines = 0;
    for (auto _ : State) {
        // Ink is set; potrace's rows count from the bottom, which does not
        // change the outlines' number or shape.
        std::fill(Map.begin(), Map.end(), potrace_word{0});
        for (int32_t Y = 0; Y < PicH; ++Y) {
            const uint8_t* Row = &Grey[static_cast<size_t>(Y) * PicW];
            potrace_word* Out = &Map[static_cast<size_t>(PicH - 1 - Y) * Dy];
            for (int32_t X = 0; X < PicW; ++X)
                if (Row[X] <= 128)
                    Out[X / WordBits] |= potrace_word{1} << (WordBits - 1 - X % WordBits);
        }
        potrace_bitmap_t Bitmap{PicW, PicH, Dy, Map.data()};
        potrace_state_t* St = Potrace.Trace(Param, &Bitmap);
        if (!St || St->status != POTRACE_STATUS_OK) {
            if (St)
                Potrace.StateFree(St);
            State.SkipWithError("potrace_trace failed");
            break;
        }
        State.PauseTiming();
        Segments = Curves = Outlines = 0;
        for (const potrace_path_t* P = St->plist; P; P = P->next) {
            ++Outlines;
            Segments += P->curve.n;
            for (int I = 0; I < P->curve.n; ++I)
                Curves += P->curve.tag[I] == POTRACE_CURVETO;
        }
        State.ResumeTiming();
        Potrace.StateFree(St);
    }
    Potrace.ParamFree(Param);
    State.counters["Segments"] = static_cast<double>(Segments);
    State.counters["Curves"] = static_cast<double>(Curves);
    State.counters["Outlines"] = static_cast<double>(Outlines);
}
BENCHMARK(BM_Trace_Peer)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) {
        R.PrintRatio("Trace", "BM_Trace_Ours", "BM_Trace_Peer");
        R.PrintCounterRatio("TraceSegments", "BM_Trace_Ours", "BM_Trace_Peer", "Segments");
    });
}
