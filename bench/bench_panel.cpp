// The object property panel: loading a selection, and a quick parameter
// dragged in the paint-macro grid.
//
// SetParamOne loads one shape painted with three catalogue effects into the
// panel (every page and the macro grid); SetParamGroup20 loads a selection
// of twenty such shapes (their properties merged). Both are set against
// FillPreview, the 64 x 64 gradation preview the fill button paints in a
// macro grid cell, redrawn from its fill value: "ratio SetParamOne" and
// "ratio SetParamGroup20" (goal: at most 20, so that selecting feels
// instant). Each load is timed against previews painted right after it in
// the same iteration (the counters "load_s" and "preview_s", both the
// processor time of the thread, which does all of that work itself): a
// peer of about 50 microseconds timed apart, on the wall clock, at other
// moments of a busy machine, gave SetParamOne anywhere between 16 and 46 in
// runs of an hour. FillPreview times the preview alone.
//
// QuickParamDragStep drags the fill's opacity of a 600 x 400 text painted
// with three effects over 30 steps, each a live change through the macro
// page and the page's rendering of what it left dirty, as the document
// window renders when it repaints; QuickParamFullRender renders that text
// whole (its effects' cached pictures cleared, the object invalidated) as
// often. "ratio QuickParamDragStep" is their time per step (goal: at most
// 1.1: a live step costs no more than rendering the object).
#include "bench_ratio.h"
#include "bench_sandbox.h"
#include "editors/frm_obj_property.h"
#include "editors/macro_paint_page.h"
#include "editors/obj_property_doc_link.h"
#include "model/document.h"
#include "model/document_file.h"
#include "model/draw_group.h"
#include "model/page.h"
#include "model/page_views.h"
#include "model/param_shapes.h"
#include "model/text_model.h"
#include "model/text_object.h"
#include "model/text_outline.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/panel_button.h"

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int gArgc = 1;
char gArg0[] = "bench_panel";
char* gArgv[] = {gArg0, nullptr};

// The document window's side: the benchmark renders the page itself.
struct TQuietDocLink : TObjPropertyDocLink {
    void SelectionEdited() override {}
    void SetHandlesHidden(bool) override {}
    void RepaintView() override {}
};

const char* const Effects[] = {"塗り（影）", "塗り(ボカシ)", "縁取り（外側）"};
constexpr int32_t FilledEffect = 1; // 塗り(ボカシ): its opacity is dragged
constexpr int32_t DragSteps = 30;

void AddEffects(TDrawObject& Object)
{
    for (const char* Name : Effects) {
        auto M = std::make_unique<TMacro>();
        if (!M->LoadFromLibrary(Name)) {
            std::fprintf(stderr, "macro %s missing from the catalogue\n", Name);
            std::exit(1);
        }
        Object.Macros().Insert(Object.Macros().Count(), std::move(M));
    }
}

// A 1600 x 1200 page with twenty rectangles and one text of about 600 x 400,
// all painted with the three effects and rendered once; the panel beside it.
struct TScene {
    TDocuments Docs{"画像", "srn", nullptr, "4.0", "DirData", DocumentFileHeader};
    std::unique_ptr<TDocument> Doc;
    TPage* Page = nullptr;
    TSilentFormDoc View;
    std::vector<TDrawItem*> Shapes;
    TTextObj* Text = nullptr;
    TQuietDocLink Link;
    std::unique_ptr<TfrmObjProperty> Panel;

    TScene()
    {
        RegisterParamShapeTypes();
        RegisterTextObjType();
        Docs.SetDocumentClass(&NewDocumentTDocument);
        Doc = std::make_unique<TDocument>(nullptr, &Docs);
        Page = static_cast<TPage*>(Doc->AddPage(NewPageTPage(Doc->History())));
        Page->SetPageSize(1600, 1200);
        Page->AddForm(&View);
        for (int32_t I = 0; I < 20; ++I) {
            auto R = std::make_unique<TRectObj>(Page, -1);
            R->SetFrame(40 + (I % 5) * 300, 40 + (I / 5) * 150, 220, 110);
            R->SetFillPath(1);
            AddEffects(*R);
            Shapes.push_back(Page->RootGroup().AddChild(std::move(R), -1));
        }
        auto T = std::make_unique<TTextObj>(Page, -1);
        T->SetPosition(500, 700);
        T->SetFillPath(1);
        AddEffects(*T);
        Text = static_cast<TTextObj*>(Page->RootGroup().AddChild(std::move(T), -1));
        TrecCharAttr Attr;
        std::string Face;
        uint8_t CharSet = 0;
        ValidateFontName("IPAGothic", Face, CharSet);
        SetCharAttrFaceName(Attr, Face);
        Attr.CharSet = CharSet;
        Attr.Size = 150;
        Text->TypeText(0, Utf8ToCp932("装飾文字\r\nTavro\r\nロゴ"), Attr);
        Doc->History()->ClearHistory();
        Page->InvalidateRect(nullptr, false);
        Page->Update();

        Panel = std::make_unique<TfrmObjProperty>();
        Panel->RestoreDispPage();
    }
    ~TScene()
    {
        Panel->SetParam({}, nullptr);
        Panel.reset();
        Page->RemoveForm(&View);
    }

    // Grid row of the fill's opacity.
    int OpacityRow() const
    {
        TMacroPaintPage& P = *Panel->MacroPage;
        for (int R = 1; R < P.cgridMacroPaint->RowCount(); ++R)
            if (P.RowCaption(FilledEffect, R) == "不透明度")
                return R;
        return -1;
    }
};

// Made at first use, gone before the application object.
std::unique_ptr<TScene> gScene;

TScene& Scene()
{
    if (!gScene)
        gScene = std::make_unique<TScene>();
    return *gScene;
}

// What the program's event loop does between two selections, untimed: the
// grid's old cell controls are deleted later and repaints are posted, and
// without a loop they pile up and slow every later load.
void Idle(benchmark::State& State)
{
    State.PauseTiming();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    State.ResumeTiming();
}

// The fill button of a grid cell, its face 64 x 64 inside the bevel,
// repainting its gradation preview after a new value.
struct TFillPreview {
    TPanelPaintFillButton Button;
    QImage Image;
    int64_t N = 0;

    TFillPreview()
    {
        Button.SetKinds(1u << ppfbkMono | 1u << ppfbkGrad);
        Button.resize(68, 68);
        Image = QImage(Button.size(), QImage::Format_RGB32);
    }
    void Paint()
    {
        static const std::string Values[] = {
            "210000255,1,8192,0,8192,16384,3,0,4251903,512,1073392,1023,2109664,0,0,0,100,0,100",
            "210000255,1,8192,0,8192,16384,3,0,4251904,512,1073392,1023,2109664,0,0,0,100,0,100"};
        Button.SetFillValue(Values[N++ % 2]);
        Button.render(&Image);
        benchmark::DoNotOptimize(Image.constBits());
    }
    // A gradation from blue: the middle of the face is no plain face colour.
    bool Painted() const { return Image.pixel(34, 34) != Image.pixel(1, 34); }
};

// Previews painted after each load, so that the peer's time is about a
// tenth of the load's own.
constexpr int PreviewsPerLoad = 4;

// Loads Items into the panel each iteration, timed by the thread's processor
// time, and paints the previews right after: their mean times per load and
// per preview are the counters "load_s" and "preview_s".
void SetParamAgainstPreviews(benchmark::State& State, const std::vector<TDrawItem*>& Items)
{
    TScene& S = Scene();
    TFillPreview Preview;
    double Load = 0, Previews = 0;
    for (auto _ : State) {
        const double T0 = ThreadCpuSeconds();
        S.Panel->SetParam(Items, &S.Link);
        const double T1 = ThreadCpuSeconds();
        for (int I = 0; I < PreviewsPerLoad; ++I)
            Preview.Paint();
        const double T2 = ThreadCpuSeconds();
        State.SetIterationTime(T1 - T0);
        Load += T1 - T0;
        Previews += T2 - T1;
        Idle(State);
    }
    const double Count = double(std::max<int64_t>(State.iterations(), 1));
    State.counters["load_s"] = Load / Count;
    State.counters["preview_s"] = Previews / (Count * PreviewsPerLoad);
    if (S.Panel->MacroPage->BufMacros() == nullptr || S.Panel->MacroPage->BufMacros()->Count() != 3)
        State.SkipWithError("the macro grid did not load the three effects");
    else if (!Preview.Painted())
        State.SkipWithError("the fill button painted no gradation");
    S.Panel->SetParam({}, nullptr);
}

void BM_SetParamOne(benchmark::State& State)
{
    SetParamAgainstPreviews(State, std::vector<TDrawItem*>{Scene().Shapes[7]});
}

void BM_SetParamGroup20(benchmark::State& State)
{
    SetParamAgainstPreviews(State, Scene().Shapes);
}

void BM_FillPreview(benchmark::State& State)
{
    TFillPreview Preview;
    for (auto _ : State) {
        const TThreadCpuIteration Timed(State);
        Preview.Paint();
    }
    if (!Preview.Painted())
        State.SkipWithError("the fill button painted no gradation");
}

// The text loaded alone, the opacity row found, the page rendered.
struct TDragSetup {
    TScene& S = Scene();
    int Row = -1;
    TDragSetup()
    {
        S.Panel->SetParam(std::vector<TDrawItem*>{S.Text}, &S.Link);
        Row = S.OpacityRow();
        S.Page->Update();
    }
    ~TDragSetup()
    {
        S.Panel->MacroPage->RevertLive();
        S.Page->Update();
        S.Panel->SetParam({}, nullptr);
    }
};

void BM_QuickParamDragStep(benchmark::State& State)
{
    TDragSetup D;
    if (D.Row < 0) {
        State.SkipWithError("no opacity row in the macro grid");
        return;
    }
    TScene& S = D.S;
    const int Col = 2 * FilledEffect + 1;
    for (auto _ : State) {
        for (int32_t I = 0; I < DragSteps; ++I) {
            S.Panel->MacroPage->SetQuickParam(Col, D.Row, std::to_string(99 - I * 2), true);
            S.Page->Update();
        }
        State.PauseTiming();
        S.Panel->MacroPage->RevertLive();
        S.Page->Update();
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * DragSteps);
}

void BM_QuickParamFullRender(benchmark::State& State)
{
    TDragSetup D;
    TScene& S = D.S;
    for (auto _ : State) {
        for (int32_t I = 0; I < DragSteps; ++I) {
            TDrawItem::ClearMacrosPictCache(*S.Text, -1);
            S.Page->Update();
        }
        // The same pause as the drag's, so that both pay its overhead.
        State.PauseTiming();
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * DragSteps);
    const TRect B = S.Text->GetBounds();
    State.counters["text_w"] = B.Right - B.Left;
    State.counters["text_h"] = B.Bottom - B.Top;
}

} // namespace

BENCHMARK(BM_SetParamOne)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(BM_SetParamGroup20)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(BM_FillPreview)->Unit(benchmark::kMicrosecond)->UseManualTime();
BENCHMARK(BM_QuickParamDragStep)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QuickParamFullRender)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    const TBenchSandbox Sandbox("tavro_bench_panel");
    QApplication App(gArgc, gArgv);
    LoadMacroLibraries(TAVRO_CATALOGUE_FOLDER);
    const int Result = RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) {
        R.PrintCountersRatio("SetParamOne", "BM_SetParamOne", "load_s", "preview_s");
        R.PrintCountersRatio("SetParamGroup20", "BM_SetParamGroup20", "load_s", "preview_s");
        R.PrintRatio("QuickParamDragStep", "BM_QuickParamDragStep", "BM_QuickParamFullRender");
    });
    gScene.reset();
    return Result;
}
