// Page rendering: a 1600 x 1200 page holding 20 shapes, each painted with the
// catalogue's drop shadow under its soft fill. FullRenderCold renders the
// page with every effect's cached pictures cleared, FullRenderStill with
// them kept. One shape moves by 10 pixels every iteration of the last two;
// FullRender then renders the whole page, DirtyRender only
// the dirty rectangle the move leaves (widened over the effects it touches).
// The work per item is the same, so the time ratio should follow the area.
//
// The last lines are "ratio DirtyRender <dirty/full>" (real time) and
// "ratio DirtyArea <rendered area/page area>" for comparison.
#include "bench_ratio.h"
#include "foundation/poly_line.h"
#include "foundation/rec_path.h"
#include "model/line_object.h"
#include "model/page.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr int32_t PageW = 1600;
constexpr int32_t PageH = 1200;

// A closed line path that moves its own geometry.
class TBenchShape : public TLineObject {
public:
    using TLineObject::TLineObject;
    void MoveBy(int32_t DX, int32_t DY) override
    {
        if (DX == 0 && DY == 0)
            return;
        EnsureBasePath();
        Invalidate(true);
        RecPathOffset(FBasePath, DX, DY);
        SetOutputPathState(0);
        TLineObject::MoveBy(DX, DY);
    }
};

// An ellipse of 48 points inside R.
TrecPath Ellipse(const TRect& R)
{
    TrecPath P;
    constexpr int32_t N = 48;
    RecPolyLineSetCount(P, N);
    const double CX = (R.Left + R.Right) / 2.0, CY = (R.Top + R.Bottom) / 2.0;
    const double RX = (R.Right - R.Left) / 2.0, RY = (R.Bottom - R.Top) / 2.0;
    for (int32_t I = 0; I < N; ++I) {
        const double A = 2 * std::numbers::pi * I / N;
        P.Points[size_t(I)] = {int32_t(std::lround(CX + RX * std::cos(A))),
                               int32_t(std::lround(CY + RY * std::sin(A)))};
        P.pabType[size_t(I)] = I == 0 ? PT_MOVETO : PT_LINETO;
    }
    P.pabType[N - 1] |= PT_CLOSEFIGURE;
    RecPathCalcBounds(P);
    return P;
}

// Records the rectangles each rendering repaints.
class TAreaView : public TSilentFormDoc {
public:
    // The last call of a rendering is its own repaint of what it rendered.
    void InvalidatePageRect(const TRect* R) override
    {
        LastArea = R ? double(R->Right - R->Left + 1) * double(R->Bottom - R->Top + 1)
                     : double(PageW) * PageH;
    }
    double LastArea = 0;
};

struct TScene {
    THistoryCommand History;
    std::unique_ptr<TPage> Page;
    std::vector<TBenchShape*> Shapes;
    TAreaView View;
    int32_t Step = 0;

    TScene()
    {
        Page = std::make_unique<TPage>(&History);
        Page->SetPageSize(PageW, PageH);
        for (int32_t I = 0; I < 20; ++I) {
            const int32_t X = 60 + (I % 5) * 300 + (I / 5) * 23;
            const int32_t Y = 60 + (I / 5) * 280 + (I % 5) * 11;
            auto S = std::make_unique<TBenchShape>(Page.get(), -1);
            S->SetPathRecord(Ellipse({X, Y, X + 230 - I * 3, Y + 190 - I * 2}));
            S->SetFillPath(1);
            for (const char* Name : {"塗り（影）", "塗り(ボカシ)"}) {
                auto M = std::make_unique<TMacro>();
                if (!M->LoadFromLibrary(Name)) {
                    std::fprintf(stderr, "macro %s missing\n", Name);
                    std::exit(1);
                }
                S->Macros().Insert(S->Macros().Count(), std::move(M));
            }
            Shapes.push_back(static_cast<TBenchShape*>(Page->RootGroup().AddChild(std::move(S), -1)));
        }
        Page->AddForm(&View);
        Page->Update();
    }
    ~TScene() { Page->RemoveForm(&View); }

    // Shape 7 (in the middle of the page) moves right, then back.
    void MoveOne()
    {
        Shapes[7]->MoveBy(Step % 2 == 0 ? 10 : -10, 0);
        ++Step;
    }
};

TScene& Scene()
{
    static TScene S;
    return S;
}

double gDirtyArea = 0;

// Every run has the counter "area", the rendered share of the page (CSV
// output needs the same counters in every run): all of it for the full
// renders.
void SetWholeArea(benchmark::State& State)
{
    State.counters["area"] = 1.0;
}

// The first rendering of the page: no effect has a cached picture.
void BM_FullRenderCold(benchmark::State& State)
{
    TScene& S = Scene();
    for (auto _ : State) {
        TDrawItem::ClearMacrosPictCache(S.Page->RootGroup(), -1);
        S.Page->InvalidateRect(nullptr, false);
        S.Page->Update();
    }
    SetWholeArea(State);
}

// The whole page again, nothing changed: every effect comes from its cache.
void BM_FullRenderStill(benchmark::State& State)
{
    TScene& S = Scene();
    for (auto _ : State) {
        S.Page->InvalidateRect(nullptr, false);
        S.Page->Update();
    }
    SetWholeArea(State);
}

void BM_FullRender(benchmark::State& State)
{
    TScene& S = Scene();
    for (auto _ : State) {
        S.MoveOne();
        S.Page->InvalidateRect(nullptr, false);
        S.Page->Update();
    }
    SetWholeArea(State);
}

void BM_DirtyRender(benchmark::State& State)
{
    TScene& S = Scene();
    double Area = 0;
    int64_t Count = 0;
    for (auto _ : State) {
        S.MoveOne();
        S.Page->Update();
        Area += S.View.LastArea;
        ++Count;
    }
    gDirtyArea = Count ? Area / double(Count) : 0;
    State.counters["area"] = gDirtyArea / (double(PageW) * PageH);
}

BENCHMARK(BM_FullRenderCold)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullRenderStill)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullRender)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DirtyRender)->Unit(benchmark::kMillisecond)->UseRealTime();

// Macro.tvm lies beside the program and the test programs.
void LoadCatalogue()
{
    const std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    for (const std::filesystem::path& Dir : {Exe, Exe / "../tests", Exe / "../shell", Exe / "../paint"})
        if (std::filesystem::exists(Dir / "Macro.tvm")) {
            LoadMacroLibraries(Dir.string());
            return;
        }
    std::fprintf(stderr, "Macro.tvm not found beside %s\n", Exe.c_str());
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    LoadCatalogue();
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) {
        R.PrintRatio("DirtyRender", "BM_DirtyRender", "BM_FullRender");
        if (gDirtyArea > 0)
            std::printf("ratio DirtyArea %.3f\n", gDirtyArea / (double(PageW) * PageH));
    });
}
