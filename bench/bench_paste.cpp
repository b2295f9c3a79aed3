// A paste in the document window as the page fills up.
//
// Three shapes carry five catalogue effects between them (a star with a soft
// shadow and a blurred fill, an ellipse with a lit bevel and an outer glow, a
// rectangle of refracting glass), on an 800 x 600 page shown at 100 %. The
// three are copied to the clipboard (Ctrl+C). On the full page they are then
// duplicated 99 times (Ctrl+D, which leaves each copy where its original
// stands), 300 effect-laden shapes in all.
//
// PasteFull_Ours times one Ctrl+V of the three onto that page and the repaint
// that shows it (the window's own command and paint); PasteFull_Peer the same
// paste onto an empty page. The paste is undone after each iteration,
// untimed, so every iteration pastes onto the same page.
//
// The last line is "ratio PasteFull" (ours / peer), over the medians of the
// repetitions.
#include "bench_doc_window.h"
#include "bench_ratio.h"
#include "bench_sandbox.h"
#include "model/draw_group.h"
#include "model/selection.h"
#include "shell/child_form.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int32_t PageW = 800;
constexpr int32_t PageH = 600;
constexpr int32_t Duplicates = 99;

struct TShapeSpec {
    int32_t Kind; // 0 star, 1 ellipse, 2 rectangle
    TRect Frame;  // left, top, width, height
    std::vector<const char*> Effects;
};

const TShapeSpec Shapes[] = {
    {0, {180, 160, 220, 200}, {"ソフトシャドウ", "塗り(ボカシ)"}},
    {1, {340, 220, 240, 160}, {"ベベル（照明）", "光彩（外側）"}},
    {2, {260, 300, 280, 140}, {"ガラス（屈折）"}},
};

// The document window of one page, the three shapes on the clipboard.
struct TPasteSetup : TBenchDocWindow {
    // Full: the page keeps the three and their copies; otherwise it is
    // emptied after the copy.
    explicit TPasteSetup(bool Full) : TBenchDocWindow(PageW, PageH, PageW, PageH)
    {
        if (!Error.empty())
            return;
        TDrawGroup& Root = Page->RootGroup();
        auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
        for (const TShapeSpec& Spec : Shapes) {
            std::unique_ptr<TParamObj> Shape;
            if (Spec.Kind == 0) {
                // A star made bare has no points; a paste refuses such a star.
                auto Star = std::make_unique<TStarObj>(Page, -1);
                Star->SetParam(TrecStarParam{});
                Shape = std::move(Star);
            } else if (Spec.Kind == 1) {
                Shape = std::make_unique<TEllipseObj>(Page, -1);
            } else {
                Shape = std::make_unique<TRectObj>(Page, -1);
            }
            Shape->SetFrame(Spec.Frame.Left, Spec.Frame.Top, Spec.Frame.Right, Spec.Frame.Bottom);
            if (!AddEffects(*Shape, Spec.Effects))
                return;
            Sel->AddItem(Root.AddChild(std::move(Shape), -1));
        }
        Settle();
        Window->actCopyExecute();
        if (Full) {
            for (int32_t I = 0; I < Duplicates; ++I)
                Window->actDupExecute();
        } else {
            Window->actDelExecute();
        }
        Page->InvalidateRect(nullptr, true);
        Settle();
    }
};

double Seconds(TClock::time_point Start)
{
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

void Paste(benchmark::State& State, bool Full)
{
    TPasteSetup S(Full);
    if (!S.Error.empty()) {
        State.SkipWithError(S.Error.c_str());
        return;
    }
    const int32_t Before = S.Page->RootGroup().GetCount();
    for (auto _ : State) {
        const TClock::time_point Start = TClock::now();
        S.Window->actPasteExecute();
        S.Settle();
        State.SetIterationTime(Seconds(Start));
        if (S.Page->RootGroup().GetCount() != Before + 3) {
            State.SkipWithError("the paste did not add the three shapes");
            return;
        }
        S.Window->actUndoExecute();
        S.Settle();
    }
    State.counters["items"] = Before;
}

void BM_PasteFull_Ours(benchmark::State& State) { Paste(State, true); }
void BM_PasteFull_Peer(benchmark::State& State) { Paste(State, false); }

} // namespace

BENCHMARK(BM_PasteFull_Ours)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteFull_Peer)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    const TBenchSandbox Sandbox("tavro_bench_paste");
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) { R.PrintPairRatios(); });
}
