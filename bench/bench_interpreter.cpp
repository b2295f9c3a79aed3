// Overhead of the macro interpreter: a stack of three macros of the
// program's paint functions (a soft shadow, a gradation fill, a bevel lit by
// a light set) paints a 1000 x 300 outline of glyph-like rings into a 24-bit
// picture through the interpreter, and the raster routines that those
// functions call run alone, in the same order on the same inputs:
//   PlaneMakeForPath2      AllocPlaneRecordForPath
//   NilPlanePaintFillCol   DIBSectionDrawPath (fill, white)
//   PlaneDuplicate         AllocPlaneRecord and a copy of the pixels
//   NilPlaneFilterSize     MakeGaussKernel, BMPVHMaskFilter8
//   NilPlaneMove           the plane's position
//   NilPicturePaintFill2   RecPictureMergeColor through the shadow plane;
//                          AllocPlaneRecordForPath, DIBSectionDrawPath and
//                          RecPictureMergeGradation for the gradation
//   NilPictureLight        RecPictureFilter kind 7 (the lighting)
// The difference is what the interpreter and the functions add: name lists,
// argument binding, reading value texts (pens, fill values, light sets),
// checks. Before timing, both sides paint a fresh picture once and must give
// the same pixels, or the program stops.
// A cached re-run calls only the final lines with the inputs the first run
// kept. Prints, last:
//   ratio InterpreterOverhead <interpreted / routines alone>
//   ratio CachedRerun <cached re-run / full run>
#include "bench_ratio.h"
#include "foundation/numbers.h"
#include "foundation/pen_text.h"
#include "foundation/platform_wrappers.h"
#include "foundation/rec_path.h"
#include "store/picture_store.h"
#include "paint/gradation_object.h"
#include "paint/light_set.h"
#include "paint/macro_interpreter.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "paint/picture_cache.h"
#include "platform/cp932.h"
#include "raster/bmp_filter.h"
#include "raster/draw_path.h"
#include "raster/merge.h"
#include "raster/rec_picture.h"
#include "raster/tone_filters.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdlib.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// The pen of the path fills: width 1, style 0, miter 1.
const char* const PenText = "1,0,1.00";
constexpr int32_t ShadowMargin = 4;
constexpr double ShadowRadius = 6.0;
constexpr int32_t ShadowOffset = 8;
constexpr int32_t ShadowColor = 0x202020;
constexpr int32_t ShadowOpacity = 60; // percent
constexpr int32_t BevelMargin = 4;
constexpr double BevelRadius = 3.0;
constexpr uint8_t LightQuality = 1; // "普通"

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
// The stack as library macros of the program's functions.

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

std::string ColorFill(int32_t Color)
{
    char Buf[16];
    std::snprintf(Buf, sizeof Buf, "1%06X", static_cast<unsigned>(Color) & 0xFFFFFFu);
    return Buf;
}

using TPairs = std::vector<std::pair<std::string, std::string>>;

// A plane of the path's bounds widened by Margin, plus the half-width of the
// Gaussian kernel of BlurSize when there is one (PlaneMakeForPath2).
TPairs PlaneForPathArgs(int32_t Margin, double BlurSize, const std::string& BlurCaption)
{
    const bool Blur = BlurSize > 0;
    return {{"", "*Primary"},          {PenText, ""},
            {"塗りつぶし", ""},        {"0", ""},
            {std::to_string(Margin), ""}, {Num(BlurSize), BlurCaption},
            {Blur ? "ガウス" : "絶対値", ""}, {Blur ? "1" : "0", ""},
            {"0", ""},                 {"0", ""}};
}

// The path filled white into the plane Name (NilPlanePaintFillCol).
TPairs FillPathArgs(const std::string& Name)
{
    return {{Name, ""},   {"", ""},           {"100", ""}, {"", "*Primary"}, {PenText, ""},
            {"255", ""},  {"塗りつぶし", ""}, {"Yes", ""}, {"通常", ""}};
}

TPairs GaussArgs(const std::string& Name, double Size, const std::string& Caption)
{
    return {{Name, ""}, {"", ""}, {"ガウス", ""}, {Num(Size), Caption}, {"1", ""}, {"No", ""}};
}

void WriteLibraries(const std::string& Dir)
{
    const std::string Lights = LightsToStr(BevelLights());
    const std::string Fill = "21" + FillGradation().GradationToStr();
    TTvm W;
    W.Macro("影")
        .Line("PlaneMakeForPath2", 10, "S", PlaneForPathArgs(ShadowMargin, ShadowRadius, "ボカシ量"))
        .Line("NilPlanePaintFillCol", 9, "", FillPathArgs("S"))
        .Line("NilPlaneFilterSize", 6, "", GaussArgs("S", ShadowRadius, "ボカシ量"))
        .Line("NilPlaneMove", 4, "",
              {{"S", ""},
               {"", ""},
               {std::to_string(ShadowOffset), "影のずらし量(X)"},
               {std::to_string(ShadowOffset), "影のずらし量(Y)"}})
        .Line("NilPicturePaintFill2", Final | 9, "",
              {{"PictureBackGround", ""},
               {"S", ""},
               {std::to_string(ShadowOpacity), "不透明度"},
               {"", ""},
               {"", ""},
               {ColorFill(ShadowColor), "色"},
               {"塗りつぶし", ""},
               {"Yes", ""},
               {"通常", ""}})
        .End();
    W.Macro("グラデ")
        .Line("NilPicturePaintFill2", Final | 9, "",
              {{"PictureBackGround", ""},
               {"", ""},
               {"100", ""},
               {"", "*Primary"},
               {PenText, ""},
               {Fill, "塗り方法"},
               {"塗りつぶし", ""},
               {"Yes", ""},
               {"通常", ""}})
        .End();
    W.Macro("ベベル")
        .Line("PlaneMakeForPath2", 10, "M", PlaneForPathArgs(BevelMargin, 0, ""))
        .Line("NilPlanePaintFillCol", 9, "", FillPathArgs("M"))
        .Line("PlaneDuplicate", 5, "B", {{"M", ""}, {"No", ""}, {"8", ""}, {"", ""}, {"No", ""}})
        .Line("NilPlaneFilterSize", 6, "", GaussArgs("B", BevelRadius, "斜辺の幅"))
        .Line("NilPictureLight", Final | 8, "",
              {{"PictureBackGround", ""},
               {"M", ""},
               {"B", ""},
               {Lights, "照明"},
               {"", "*Primary"},
               {"", ""},
               {"0", ""},
               {"普通", ""}})
        .End();
    W.End();
    std::ofstream(Dir + "/Macro.tvm", std::ios::binary) << W.B;
    std::ofstream(Dir + "/MacPath.tvm", std::ios::binary) << TTvm().End().B;
}

// ---------------------------------------------------------------------------
// The routines alone.

struct TPlane {
    TrecPicture P{};
    TPlane() = default;
    TPlane(const TPlane&) = delete;
    TPlane& operator=(const TPlane&) = delete;
    ~TPlane() { RecPictureClear(P); }
};

void Check(int32_t Code, const char* What)
{
    if (Code != 0) {
        std::fprintf(stderr, "%s failed: %d\n", What, Code);
        std::exit(1);
    }
}

// What NilPlanePaintFillCol draws into a plane without a mask at full opacity.
void FillPath(TrecPicture& Plane, const TrecPath& Path, const TrecPenData& WhitePen)
{
    Check(DIBSectionDrawPath(Plane, Path, WhitePen, false, 1.0, true), "DIBSectionDrawPath");
}

// PlaneMakeForPath2 with a fill and no outline: margin 1 plus the kernel's
// half-width for a Gaussian margin 2 (factor 1).
void PlaneForPath(TrecPicture& Plane, const TrecPath& Path, int32_t Margin, double BlurSize)
{
    int32_t M = Margin;
    if (BlurSize > 0) {
        int32_t Shift = 0;
        double Variance = 0;
        M += static_cast<int32_t>(RoundOff(GetGaussKernelSize(BlurSize, Shift, Variance)));
    }
    Check(AllocPlaneRecordForPath(Plane, Path, 8, false, M, M, M, M), "AllocPlaneRecordForPath");
}

// NilPlaneFilterSize "ガウス", one pass, no mask, no wrap.
void Gauss(const TrecPicture& Plane, double Size)
{
    int32_t Length = 0, Shift = 12;
    HGLOBAL Kernel = nullptr;
    MakeGaussKernel(Size, Length, Kernel, Shift);
    if (Length > 0)
        BMPVHMaskFilter8(Plane, nullptr, Kernel, Length, 12, 0, 0);
    GlobalFreeQ(Kernel);
}

struct TScene {
    TrecPath Path = TextLikePath();
    TrecPicture Target{};
    TListRecPict Store{nullptr};
    TMacros Stack;
    TLightsAmb Lights = BevelLights();
    TGradationObject Gradation = FillGradation();
    TrecPenData WhitePen{};
    int32_t FillMargin = 0;

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
        }
        NewTarget(Target);
        StrToPenData(PenText, WhitePen);
        SetPenDataColor(WhitePen, 0xFFFFFF);
        // The fills' mask reaches the pen's width and 3 pixels beyond the bounds.
        FillMargin = static_cast<int32_t>(RoundOff(WhitePen.Width)) + 3;
    }
    ~TScene()
    {
        RecPictureClear(Target);
        FreeMacroLibraries();
    }

    static void NewTarget(TrecPicture& P)
    {
        RecPictureCreate(P, TPoint{-30, -30}, 1060, 360, 24, false);
        RecPictureFillColor(P, 0xF0F0F0);
    }

    TMacroPaintArgs Args(TrecPicture& Into, bool UseCache)
    {
        TMacroPaintArgs A;
        A.Target = &Into;
        A.PrimaryPath = &Path;
        A.Store = &Store;
        A.UseCache = UseCache;
        return A; // Table nil: the program's table
    }

    void PaintInterpreted(TrecPicture& Into, bool UseCache)
    {
        TRect R1, R2;
        Stack.Paint(Args(Into, UseCache), nullptr, nullptr, R1, R2);
    }

    // The raster routines of one full run, called directly.
    void PaintAlone(TrecPicture& Into)
    {
        {   // 影
            TPlane S;
            PlaneForPath(S.P, Path, ShadowMargin, ShadowRadius);
            FillPath(S.P, Path, WhitePen);
            Gauss(S.P, ShadowRadius);
            S.P.iLeft += ShadowOffset;
            S.P.iTop += ShadowOffset;
            RecPictureMergeColor(Into, &S.P, ShadowOpacity * 255 / 100, ShadowColor, 0);
        }
        {   // グラデ
            TPlane G;
            Check(AllocPlaneRecordForPath(G.P, Path, 8, false, FillMargin, FillMargin, FillMargin,
                                          FillMargin),
                  "AllocPlaneRecordForPath");
            FillPath(G.P, Path, WhitePen);
            RecPictureMergeGradation(Into, &G.P, 255, Path.Bounds, Gradation, 0);
        }
        {   // ベベル
            TPlane M, B;
            PlaneForPath(M.P, Path, BevelMargin, 0);
            FillPath(M.P, Path, WhitePen);
            const BITMAPINFOHEADER* H = RecPictureHeader(M.P);
            Check(AllocPlaneRecord(B.P, TPoint{M.P.iLeft, M.P.iTop}, H->biWidth, H->biHeight, 8, false),
                  "AllocPlaneRecord");
            std::memcpy(B.P.pBits, M.P.pBits, static_cast<size_t>(RecPictureGetImageSize(M.P)));
            Gauss(B.P, BevelRadius);
            Check(RecPictureFilter(7, Into, &M.P, static_cast<const void*>(&Lights),
                                   static_cast<const void*>(&B.P), static_cast<const void*>(nullptr), 0,
                                   static_cast<const void*>(&Path.Bounds),
                                   static_cast<const void*>(&LightQuality)),
                  "RecPictureFilter");
        }
    }

    // Both sides on fresh pictures: the same pixels, and not the untouched
    // picture, else the timing compares different work.
    bool SidesAgree()
    {
        TPlane A, B, Fresh;
        NewTarget(A.P);
        NewTarget(B.P);
        NewTarget(Fresh.P);
        PaintInterpreted(A.P, false);
        PaintAlone(B.P);
        const auto Size = static_cast<size_t>(RecPictureGetImageSize(A.P));
        return std::memcmp(A.P.pBits, B.P.pBits, Size) == 0 &&
               std::memcmp(A.P.pBits, Fresh.P.pBits, Size) != 0;
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
    for (auto _ : State) {
        S.PaintInterpreted(S.Target, false);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InterpreterRun)->Unit(benchmark::kMillisecond);

void BM_RasterAlone(benchmark::State& State)
{
    TScene& S = Scene();
    for (auto _ : State) {
        S.PaintAlone(S.Target);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RasterAlone)->Unit(benchmark::kMillisecond);

void BM_CachedRerun(benchmark::State& State)
{
    TScene& S = Scene();
    S.PaintInterpreted(S.Target, true); // the filling run
    for (auto _ : State) {
        S.PaintInterpreted(S.Target, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CachedRerun)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!Scene().SidesAgree()) {
        std::fprintf(stderr, "the routines alone paint other pixels than the interpreted stack\n");
        return 1;
    }
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) {
        R.PrintRatio("InterpreterOverhead", "BM_InterpreterRun", "BM_RasterAlone", "%.4g");
        R.PrintRatio("CachedRerun", "BM_CachedRerun", "BM_InterpreterRun", "%.4g");
    });
}
