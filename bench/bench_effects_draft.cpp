// Draft quality against normal quality for every effect of the catalogue:
// each effect paints the word "Tavro 文字" (IPA Gothic, 120 px; a star of the
// same size when the font is missing) into a 24-bit picture over a coloured
// backdrop, once at normal quality and once at draft quality (its "_Low"
// variant), through the interpreter as a document paints it. A draft is
// meant to be a cheaper, coarser picture. Prints, last, per effect:
//   ratio Draft_<effect> <draft / normal>
// The catalogue is read where the build compiles it. Each ratio is one of
// medians of five repetitions unless the command line asks otherwise.
#include "bench_ratio.h"
#include "foundation/rec_path.h"
#include "paint/macro_interpreter.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"
#include "platform/fonts.h"
#include "platform/glyph_outline.h"
#include "raster/rec_picture.h"
#include "store/picture_store.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#ifndef TAVRO_CATALOGUE_FOLDER
#define TAVRO_CATALOGUE_FOLDER ""
#endif

namespace {

constexpr int32_t TextSize = 120;
constexpr int32_t Margin = 40; // room for shadows and glows around the object

void AddPoint(TrecPath& P, int32_t X, int32_t Y, uint8_t Type)
{
    P.Points.push_back(TPoint{X, Y});
    P.pabType.push_back(Type);
    ++P.Count;
}

// The word's outline, or a five-pointed star when no font can be loaded.
TrecPath ObjectPath()
{
    TrecPath P;
    TLogFont Lf;
    Lf.lfHeight = -TextSize;
    Lf.lfWeight = FW_NORMAL;
    SetLogFontFaceName(Lf, "IPAGothic");
    if (auto Font = TGlyphFont::Create(Lf)) {
        TGlyphPath G;
        int32_t X = 0;
        for (const char32_t C : std::u32string(U"Tavro 文字"))
            X += Font->AppendGlyph(static_cast<uint32_t>(C), X, 0, G);
        for (size_t I = 0; I < G.Points.size(); ++I)
            AddPoint(P, G.Points[I].X, G.Points[I].Y, G.Types[I]);
    }
    if (P.Count == 0) {
        std::fprintf(stderr, "bench_effects_draft: IPAGothic not found, painting a star\n");
        for (int32_t I = 0; I < 10; ++I) {
            const double R = I % 2 == 0 ? TextSize / 2.0 : TextSize / 4.5;
            const double A = -M_PI / 2 + I * M_PI / 5;
            AddPoint(P, static_cast<int32_t>(std::lround(R * std::cos(A))),
                     static_cast<int32_t>(std::lround(R * std::sin(A))), I == 0 ? PT_MOVETO : PT_LINETO);
        }
        P.pabType.back() |= PT_CLOSEFIGURE;
    }
    RecPathCalcBounds(P);
    RecPathOffset(P, Margin - P.Bounds.Left, Margin - P.Bounds.Top);
    P.Flag = 1; // filled, as text is
    return P;
}

struct TScene {
    TrecPath Path;
    TrecPicture Backdrop; // blue to orange, left to right, with the object's fill beneath
    TScene()
    {
        Path = ObjectPath();
        const int32_t W = Path.Bounds.Right + Margin, H = Path.Bounds.Bottom + Margin;
        RecPictureCreate(Backdrop, TPoint{0, 0}, W, H, 24, false);
        for (int32_t Y = 0; Y < H; ++Y)
            for (int32_t X = 0; X < W; ++X) {
                uint8_t* P = RecPictureGetPixelPtr(Backdrop, X, Y);
                P[0] = static_cast<uint8_t>(224 - 192 * X / W);
                P[1] = static_cast<uint8_t>(96 + 64 * Y / H);
                P[2] = static_cast<uint8_t>(32 + 192 * X / W);
            }
    }
    ~TScene() { RecPictureClear(Backdrop); }
};

TScene& Scene()
{
    static TScene S;
    return S;
}

// One paint of Effect at Quality onto a fresh copy of the backdrop.
void PaintOnce(const TMacro& Effect, int32_t Quality, TrecPicture& Target, TListRecPict& Store)
{
    const TScene& S = Scene();
    std::memcpy(Target.pBits, S.Backdrop.pBits, static_cast<size_t>(RecPictureGetImageSize(Target)));
    TrecPath Path;
    RecPathAssign(Path, S.Path);
    TMacroPaintArgs Args;
    Args.Target = &Target;
    Args.PrimaryPath = &Path;
    Args.Quality = Quality;
    Args.Store = &Store;
    TRect R1, R2;
    MacroPaint(Effect, nullptr, Args, R1, R2);
}

void BM_Effect(benchmark::State& State, const TMacro* Effect, int32_t Quality)
{
    TrecPicture Target;
    RecPictureCopy(Target, Scene().Backdrop, false);
    TListRecPict Store(nullptr);
    for (auto _ : State) {
        PaintOnce(*Effect, Quality, Target, Store);
        benchmark::DoNotOptimize(Target.pBits);
    }
    RecPictureClear(Target);
}

bool IsVariant(const std::string& Name)
{
    return Name.ends_with("_Low") || Name.ends_with("_Mid");
}

} // namespace

int main(int argc, char** argv)
{
    const std::string Folder = TAVRO_CATALOGUE_FOLDER;
    LoadMacroLibraries(Folder);
    std::vector<std::string> Effects;
    for (int32_t I = 0; I < gMacroLibrary->Count(); ++I) {
        const std::string& Name = gMacroLibrary->Strings(I);
        if (IsVariant(Name) || gMacroLibrary->IndexOf(Name + "_Low") < 0)
            continue;
        Effects.push_back(Name);
        const TMacro* Effect = gMacroLibrary->Objects(I);
        benchmark::RegisterBenchmark(("BM_Normal_" + Name).c_str(), BM_Effect, Effect, cPaintQualityNormal)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Draft_" + Name).c_str(), BM_Effect, Effect, cPaintQualityLow)
            ->Unit(benchmark::kMillisecond);
    }
    Scene();
    // Two paints of a few milliseconds each on a shared machine: each ratio
    // is one of medians of five short repetitions by default. Arguments
    // given on the command line come later and win.
    std::vector<char*> Args{argv[0]};
    std::string Defaults[] = {"--benchmark_repetitions=5", "--benchmark_min_time=0.1",
                              "--benchmark_display_aggregates_only=true"};
    for (std::string& D : Defaults)
        Args.push_back(D.data());
    Args.insert(Args.end(), argv + 1, argv + argc);
    int Count = static_cast<int>(Args.size());
    Args.push_back(nullptr);
    return RunBenchmarksWithRatios(Count, Args.data(), [&](const TRatioReporter& R) {
        for (const std::string& Name : Effects)
            R.PrintRatio(("Draft_" + Name).c_str(), "BM_Draft_" + Name, "BM_Normal_" + Name);
    });
}
