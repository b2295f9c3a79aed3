// Overhead of the macro interpreter: a stack of three macros (a soft shadow,
// a bevel lit by a light set, a gradation fill) paints a 1000 x 300 outline of
// glyph-like rings into a 24-bit picture through the interpreter, and the
// same raster routines run alone, in the same order on the same inputs. The
// functions of the run are thin ones over the real raster routines
// (plane making and DIBSectionDrawPath, BMPGaussBlur8, RecPictureMergeColor,
// RecPictureLight, RecPictureMergeGradation), so the difference is what the
// interpreter adds: name lists, argument binding, value texts, checks.
// A cached re-run calls only the final lines with the inputs the first run
// kept. Prints, last:
//   ratio InterpreterOverhead <interpreted / routines alone>
//   ratio CachedRerun <cached re-run / full run>
#include "foundation/pen_text.h"
#include "foundation/rec_path.h"
#include "model/store/picture_store.h"
#include "paint/gradation_object.h"
#include "paint/light_set.h"
#include "paint/macro_interpreter.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_function_table.h"
#include "paint/paint_macro.h"
#include "paint/picture_cache.h"
#include "platform/cp932.h"
#include "raster/bmp_filter.h"
#include "raster/draw_path.h"
#include "raster/lighting.h"
#include "raster/merge.h"
#include "raster/rec_picture.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdlib.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double FlatTolerance = 2.0;
constexpr int32_t ShadowMargin = 16;
constexpr double ShadowRadius = 6.0;
constexpr int32_t ShadowOffset = 8;
constexpr int32_t ShadowColor = 0x202020;
constexpr int32_t ShadowOpacity = 60; // percent
constexpr int32_t BevelMargin = 4;
constexpr double BevelRadius = 3.0;

// ---------------------------------------------------------------------------
// The outline: eight glyph-like rings with a bar, 1000 x 300.

void AddPoint(TrecPath& P, double X, double Y, uint8_t Type)
{
    P.Points.push_back(TPoint{static_cast<int32_t>(std::lround(X)), static_cast<int32_t>(std::lround(Y))});
    P.pabType.push_back(Type);
    ++P.Count;
}

void AddEllipse(TrecPath& P, double Cx, double Cy, double Rx, double Ry)
{
    const double K = 0.5522847498;
    AddPoint(P, Cx + Rx, Cy, PT_MOVETO);
    const double Q[4][6] = {{Cx + Rx, Cy + K * Ry, Cx + K * Rx, Cy + Ry, Cx, Cy + Ry},
                            {Cx - K * Rx, Cy + Ry, Cx - Rx, Cy + K * Ry, Cx - Rx, Cy},
                            {Cx - Rx, Cy - K * Ry, Cx - K * Rx, Cy - Ry, Cx, Cy - Ry},
                            {Cx + K * Rx, Cy - Ry, Cx + Rx, Cy - K * Ry, Cx + Rx, Cy}};
    for (int I = 0; I < 4; ++I)
        for (int J = 0; J < 3; ++J)
            AddPoint(P, Q[I][2 * J], Q[I][2 * J + 1], static_cast<uint8_t>(PT_BEZIERTO | (I == 3 && J == 2)));
}

void AddBar(TrecPath& P, double X0, double Y0, double X1, double Y1)
{
    AddPoint(P, X0, Y0, PT_MOVETO);
    AddPoint(P, X1, Y0, PT_LINETO);
    AddPoint(P, X1, Y1, PT_LINETO);
    AddPoint(P, X0, Y1, PT_LINETO | PT_CLOSEFIGURE);
}

TrecPath TextLikePath()
{
    TrecPath P;
    for (int I = 0; I < 8; ++I) {
        const double Cx = 62.5 + 125.0 * I;
        AddEllipse(P, Cx, 150, 55, 140);
        AddEllipse(P, Cx, 150, 28, 100);
        AddBar(P, Cx - 50, 140 + 6 * (I % 3), Cx + 50, 160 + 6 * (I % 3));
    }
    RecPathCalcBounds(P);
    return P;
}

// ---------------------------------------------------------------------------
// Thin paint functions over the raster routines, with the argument reading of
// the real ones.

int32_t IntArg(void* Arg, int32_t Default)
{
    return ReadIntArg(static_cast<const char*>(Arg), Default).Value;
}

double RealArg(void* Arg, double Default)
{
    return ReadRealArg(static_cast<const char*>(Arg), Default).Value;
}

TrecPenData WhitePen()
{
    TrecPenData Pen{};
    Pen.Width = 1;
    SetPenDataColor(Pen, 0xFFFFFF);
    return Pen;
}

int32_t PlaneForPath(const TrecPath& Path, int32_t Margin, TrecPicture& Plane, bool MeasureOnly)
{
    const int32_t Code = AllocPlaneRecordForPath(Plane, Path, 8, MeasureOnly, Margin, Margin, Margin, Margin);
    if (Code != 0 || MeasureOnly)
        return Code;
    return DIBSectionDrawPath(Plane, Path, WhitePen(), false, FlatTolerance, true);
}

// Plane covering the path with a margin, the path filled white.
int32_t BenchPlaneForPath(void*& Result, void* const* Args, const uint8_t*, TRect&, TRect& Rect2, bool MeasureOnly)
{
    Result = nullptr;
    if (const int32_t Missing = CheckRequiredArgs(ArgNumbers({1, 2}), std::span<void* const>(Args, 3)))
        return Missing;
    auto Plane = std::make_unique<TrecPicture>();
    const int32_t Code = PlaneForPath(*static_cast<const TrecPath*>(Args[0]), IntArg(Args[1], 0), *Plane, MeasureOnly);
    if (Code != 0) {
        RecPictureClear(*Plane);
        return Code;
    }
    RecPictureGetRect(*Plane, Rect2);
    Result = Plane.release();
    return 0;
}

int32_t BenchBlur(void*&, void* const* Args, const uint8_t*, TRect&, TRect& Rect2, bool MeasureOnly)
{
    if (const int32_t Missing = CheckRequiredArgs(ArgNumbers({1, 2}), std::span<void* const>(Args, 3)))
        return Missing;
    auto& Plane = *static_cast<TrecPicture*>(Args[0]);
    if (!MeasureOnly)
        BMPGaussBlur8(Plane, nullptr, 0, RealArg(Args[1], 0.0));
    RecPictureGetRect(Plane, Rect2);
    return 0;
}

int32_t BenchMove(void*&, void* const* Args, const uint8_t*, TRect&, TRect&, bool)
{
    if (const int32_t Missing = CheckRequiredArgs(ArgNumbers({1, 2, 3}), std::span<void* const>(Args, 4)))
        return Missing;
    auto& Plane = *static_cast<TrecPicture*>(Args[0]);
    Plane.iLeft += IntArg(Args[1], 0);
    Plane.iTop += IntArg(Args[2], 0);
    return 0;
}

int32_t BenchMergeColor(void*&, void* const* Args, const uint8_t*, TRect&, TRect& Rect2, bool MeasureOnly)
{
    if (const int32_t Missing = CheckRequiredArgs(ArgNumbers({1, 3, 4}), std::span<void* const>(Args, 5)))
        return Missing;
    auto& Dest = *static_cast<TrecPicture*>(Args[0]);
    const auto* Mask = static_cast<const TrecPicture*>(Args[1]);
    if (!MeasureOnly)
        RecPictureMergeColor(Dest, Mask, IntArg(Args[3], 100) * 255 / 100, IntArg(Args[2], 0), 0);
    if (!Mask || !RecPictureIntersectRect(Dest, *Mask, Rect2))
        RecPictureGetRect(Dest, Rect2);
    return 0;
}

int32_t BenchLight(void*&, void* const* Args, const uint8_t*, TRect&, TRect& Rect2, bool MeasureOnly)
{
    if (const int32_t Missing = CheckRequiredArgs(ArgNumbers({1, 4}), std::span<void* const>(Args, 5)))
        return Missing;
    auto& Dest = *static_cast<TrecPicture*>(Args[0]);
    const auto* Mask = static_cast<const TrecPicture*>(Args[1]);
    TLightsAmb Lights;
    if (!StrToLights(Lights, static_cast<const char*>(Args[3])))
        return 1;
    if (!MeasureOnly)
        if (const int32_t Code = RecPictureLight(Dest, Mask, &Lights, static_cast<const TrecPicture*>(Args[2]),
                                                 nullptr, 0, nullptr, nullptr))
            return Code;
    if (!Mask || !RecPictureIntersectRect(Dest, *Mask, Rect2))
        RecPictureGetRect(Dest, Rect2);
    return 0;
}

int32_t BenchGradation(void*&, void* const* Args, const uint8_t*, TRect&, TRect& Rect2, bool MeasureOnly)
{
    if (const int32_t Missing = CheckRequiredArgs(ArgNumbers({1, 2, 3}), std::span<void* const>(Args, 4)))
        return Missing;
    auto& Dest = *static_cast<TrecPicture*>(Args[0]);
    const auto& Mask = *static_cast<const TrecPicture*>(Args[1]);
    const std::string Fill = static_cast<const char*>(Args[2]);
    TGradationObject Gradation;
    if (Fill.size() < 3 || Fill[0] != '2' || !Gradation.StrToGradation(Fill.substr(2)))
        return PaintArgRefused(3);
    TRect Area;
    RecPictureGetRect(Mask, Area);
    if (!MeasureOnly)
        RecPictureMergeGradation(Dest, &Mask, 255, Area, Gradation, 0);
    if (!RecPictureIntersectRect(Dest, Mask, Rect2))
        Rect2 = TRect{-1, -1, -2, -2};
    return 0;
}

const TIntParamRange AnyInt{-99999, 99999, 0, 0, 0};
const TFloatParamRange AnyReal{0, 100, 0, 0, 0, 0, 0, 0};
const TPaintParamDesc PlaneForPathParams[] = {{"Path", pkPath, {}}, {"Margin", pkInteger, {.Int = &AnyInt}}};
const TPaintParamDesc BlurParams[] = {{"Plane", pkPlane, {}}, {"Radius", pkReal, {.Real = &AnyReal}}};
const TPaintParamDesc MoveParams[] = {
    {"Plane", pkPlane, {}}, {"Dx", pkInteger, {.Int = &AnyInt}}, {"Dy", pkInteger, {.Int = &AnyInt}}};
const TPaintParamDesc MergeColorParams[] = {{"Dest", pkPicture, {}},
                                            {"Mask", pkPlane, {}},
                                            {"Color", pkColor, {}},
                                            {"Opacity", pkInteger, {.Int = &AnyInt}}};
const TPaintParamDesc LightParams[] = {
    {"Dest", pkPicture, {}}, {"Mask", pkPlane, {}}, {"Bump", pkPlane, {}}, {"Lights", pkLights, {}}};
const TPaintParamDesc GradationParams[] = {{"Dest", pkPicture, {}}, {"Mask", pkPlane, {}}, {"Fill", pkFill, {}}};

const TPaintFunctionRec BenchTable[] = {
    {"PlaneForPath", rkPlane, 2, PlaneForPathParams, BenchPlaneForPath, {}},
    {"Blur", rkNone, 2, BlurParams, BenchBlur, {}},
    {"Move", rkNone, 3, MoveParams, BenchMove, {}},
    {"MergeColor", rkNone, 4, MergeColorParams, BenchMergeColor, {}},
    {"Light", rkNone, 4, LightParams, BenchLight, {}},
    {"Gradation", rkNone, 3, GradationParams, BenchGradation, {}},
    {nullptr, rkNone, 0, nullptr, nullptr, {}},
};

TLightsAmb BevelLights()
{
    TLightsAmb L;
    L.Dp = 40;
    L.Ks = 30;
    L.Sh = 12;
    L.M = 20;
    L.Color[0] = L.Color[1] = L.Color[2] = 255;
    TrecLightUnion Ambient;
    Ambient.Name = "amb";
    Ambient.Color[0] = Ambient.Color[1] = Ambient.Color[2] = 255;
    Ambient.Intensity = 30;
    Ambient.Kind = LightKindAmbient;
    TrecLightUnion Parallel = Ambient;
    Parallel.Name = "sun";
    Parallel.Intensity = 80;
    Parallel.Kind = LightKindParallel;
    Parallel.Shape[0] = 0.2;
    Parallel.Shape[1] = 0.2;
    Parallel.Shape[2] = 0.5;
    Parallel.Shape[3] = 0.5;
    L.Lights = {Ambient, Parallel};
    return L;
}

TGradationObject FillGradation()
{
    TGradationObject G;
    G.iOpacity = 255;
    G.iRepeatCount = 1;
    G.iX1 = 0;
    G.iY1 = 0;
    G.iX2 = 16384;
    G.iY2 = 16384;
    G.SetColStop(0, 0x2060E0);
    G.SetColStop(1023, 0xE0C020);
    return G;
}

// ---------------------------------------------------------------------------
// The stack as library macros.

struct TTvm {
    std::string B = std::string("tvm\0\1\0", 6);
    void Str(const std::string& S) { B += Utf8ToCp932(S) + '\0'; }
    TTvm& Macro(const std::string& Name)
    {
        B += '\0';
        Str(Name);
        return *this;
    }
    TTvm& Line(const std::string& Func, uint32_t Word, const std::string& Result,
               const std::vector<std::pair<std::string, std::string>>& Pairs)
    {
        B += '\0';
        Str(Func);
        for (int S = 0; S < 32; S += 8)
            B += static_cast<char>(Word >> S);
        Str(Result);
        for (const auto& [Value, Caption] : Pairs) {
            B += '\0';
            Str(Value);
            Str(Caption);
        }
        B += '\1';
        return *this;
    }
    TTvm& End()
    {
        B += '\1';
        return *this;
    }
};

constexpr uint32_t Final = 0x10000;

std::string Num(double V)
{
    char Buf[32];
    std::snprintf(Buf, sizeof Buf, "%g", V);
    return Buf;
}

void WriteLibraries(const std::string& Dir)
{
    const std::string Lights = LightsToStr(BevelLights());
    const std::string Fill = "21" + FillGradation().GradationToStr();
    TTvm W;
    W.Macro("影")
        .Line("PlaneForPath", 2, "S", {{"", "*Primary"}, {std::to_string(ShadowMargin), "広がり"}})
        .Line("Blur", 2, "", {{"S", ""}, {Num(ShadowRadius), "ボカシ量"}})
        .Line("Move", 3, "", {{"S", ""}, {std::to_string(ShadowOffset), "影のずらし量(X)"}, {std::to_string(ShadowOffset), "影のずらし量(Y)"}})
        .Line("MergeColor", Final | 4, "",
              {{"PictureBackGround", ""}, {"S", ""}, {std::to_string(ShadowColor), "色"}, {std::to_string(ShadowOpacity), "不透明度"}})
        .End();
    W.Macro("ベベル")
        .Line("PlaneForPath", 2, "M", {{"", "*Primary"}, {std::to_string(BevelMargin), ""}})
        .Line("PlaneForPath", 2, "B", {{"", "*Primary"}, {std::to_string(BevelMargin), ""}})
        .Line("Blur", 2, "", {{"B", ""}, {Num(BevelRadius), "斜辺の幅"}})
        .Line("Light", Final | 4, "", {{"PictureBackGround", ""}, {"M", ""}, {"B", ""}, {Lights, "照明"}})
        .End();
    W.Macro("グラデ")
        .Line("PlaneForPath", 2, "G", {{"", "*Primary"}, {"1", ""}})
        .Line("Gradation", Final | 3, "", {{"PictureBackGround", ""}, {"G", ""}, {Fill, "塗り方法"}})
        .End();
    W.End();
    std::ofstream(Dir + "/Macro.tvm", std::ios::binary) << W.B;
    std::ofstream(Dir + "/MacPath.tvm", std::ios::binary) << TTvm().End().B;
}

struct TScene {
    TrecPath Path = TextLikePath();
    TrecPicture Target{};
    TListRecPict Store{nullptr};
    TMacros Stack;
    std::vector<std::unique_ptr<TPictureCache>> Caches;
    TLightsAmb Lights = BevelLights();
    TGradationObject Gradation = FillGradation();

    TScene()
    {
        const char* Tmp = std::getenv("TMPDIR");
        std::string Dir = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/tavro_bench_interp_XXXXXX";
        if (!mkdtemp(Dir.data()))
            std::abort();
        WriteLibraries(Dir);
        LoadMacroLibraries(Dir);
        std::filesystem::remove_all(Dir);
        for (const char* Name : {"影", "グラデ", "ベベル"}) {
            auto M = std::make_unique<TMacro>();
            if (!M->LoadFromLibrary(Name))
                std::abort();
            Stack.Add(std::move(M));
            Caches.push_back(std::make_unique<TPictureCache>());
        }
        RecPictureCreate(Target, TPoint{-30, -30}, 1060, 360, 24, false);
        RecPictureFillColor(Target, 0xF0F0F0);
    }
    ~TScene()
    {
        Caches.clear();
        RecPictureClear(Target);
        FreeMacroLibraries();
    }

    TMacroPaintArgs Args(bool UseCache)
    {
        TMacroPaintArgs A;
        A.Target = &Target;
        A.PrimaryPath = &Path;
        A.Store = &Store;
        A.UseCache = UseCache;
        A.Table = BenchTable;
        return A;
    }

    // The raster routines of one full run, called directly.
    void PaintAlone()
    {
        TrecPicture S{}, M{}, B{}, G{};
        PlaneForPath(Path, ShadowMargin, S, false);
        BMPGaussBlur8(S, nullptr, 0, ShadowRadius);
        S.iLeft += ShadowOffset;
        S.iTop += ShadowOffset;
        RecPictureMergeColor(Target, &S, ShadowOpacity * 255 / 100, ShadowColor, 0);
        PlaneForPath(Path, 1, G, false);
        TRect Area;
        RecPictureGetRect(G, Area);
        RecPictureMergeGradation(Target, &G, 255, Area, Gradation, 0);
        PlaneForPath(Path, BevelMargin, M, false);
        PlaneForPath(Path, BevelMargin, B, false);
        BMPGaussBlur8(B, nullptr, 0, BevelRadius);
        RecPictureLight(Target, &M, &Lights, &B, nullptr, 0, nullptr, nullptr);
        for (TrecPicture* P : {&S, &M, &B, &G})
            RecPictureClear(*P);
    }
};

TScene& Scene()
{
    static TScene S;
    return S;
}

void BM_InterpreterRun(benchmark::State& State)
{
    TScene& S = Scene();
    const TMacroPaintArgs A = S.Args(false);
    TRect R1, R2;
    for (auto _ : State) {
        S.Stack.Paint(A, nullptr, nullptr, R1, R2);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InterpreterRun)->Unit(benchmark::kMillisecond);

void BM_RasterAlone(benchmark::State& State)
{
    TScene& S = Scene();
    for (auto _ : State) {
        S.PaintAlone();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RasterAlone)->Unit(benchmark::kMillisecond);

void BM_CachedRerun(benchmark::State& State)
{
    TScene& S = Scene();
    const TMacroPaintArgs A = S.Args(true);
    TRect R1, R2;
    for (int32_t I = 0; I < S.Stack.Count(); ++I) // the filling run
        MacroPaint(*S.Stack.GetMacro(I), S.Caches[static_cast<size_t>(I)].get(), A, R1, R2);
    for (auto _ : State) {
        for (int32_t I = 0; I < S.Stack.Count(); ++I)
            MacroPaint(*S.Stack.GetMacro(I), S.Caches[static_cast<size_t>(I)].get(), A, R1, R2);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CachedRerun)->Unit(benchmark::kMillisecond);

// Keeps the real time of every benchmark (the median when repeated).
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Times;
    std::map<std::string, double> Medians;
    void ReportRuns(const std::vector<Run>& Runs) override
    {
        for (const Run& R : Runs) {
            if (R.error_occurred)
                continue;
            if (R.run_type == Run::RT_Iteration)
                Times[R.run_name.str()] = R.GetAdjustedRealTime();
            else if (R.aggregate_name == "median")
                Medians[R.run_name.str()] = R.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(Runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TRatioReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    benchmark::Shutdown();
    for (const auto& [Name, Time] : Reporter.Medians)
        Reporter.Times[Name] = Time;
    auto Ratio = [&](const char* Label, const char* A, const char* B) {
        const auto X = Reporter.Times.find(A);
        const auto Y = Reporter.Times.find(B);
        if (X != Reporter.Times.end() && Y != Reporter.Times.end() && Y->second > 0)
            std::printf("ratio %s %.4g\n", Label, X->second / Y->second);
    };
    Ratio("InterpreterOverhead", "BM_InterpreterRun", "BM_RasterAlone");
    Ratio("CachedRerun", "BM_CachedRerun", "BM_InterpreterRun");
    return 0;
}
