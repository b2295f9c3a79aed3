// Dragging a selection in the document window.
//
// The scene: a 1600 x 1200 page of 50 shapes in a 10 x 5 grid, each with two
// catalogue effects (a soft shadow and a blurred fill, from Macro.tvm in the
// program's folder as the program loads it), shown at 100 % in a view of
// about 1000 x 700; the five middle shapes of the third row are selected. A
// drag presses on the first of them and moves 60 times through the window's
// own mouse handlers (synthetic QMouseEvents sent to the view), 120 x 90
// pixels in all, then releases; the next drag goes back.
//
// DragMove_Ours times one mouse move: the handler erasing and drawing the
// selection's XOR outline on the overlay, and the repaint that shows it; the
// first move of each drag also takes the view's picture for the overlay (its
// counter "view_paints" counts those paints of the view per move).
// DragMove_Peer times one QPainter::drawImage of an image the size of the
// view onto another. DragMoveHandler_Ours times the handler alone.
//
// DropRender_Ours times the page's Update after a drop (the dirty rectangle
// the move left, the old and new places of the five shapes), DropRender_Full
// the same Update with the whole page dirty. Its counter "dirty_share" is the
// dirty rectangle's part of the page.
//
// The last lines: "ratio DragMove" and "ratio DragMoveHandler" (ours / peer),
// "ratio DropRender" (ours / full) and "ratio DropRenderGoal" (the dirty
// share + 0.2, the most DropRender should be), over the medians of the
// repetitions.
#include "bench_doc_window.h"
#include "bench_ratio.h"
#include "bench_sandbox.h"
#include "foundation/app_environment.h"
#include "model/document.h"
#include "model/draw_group.h"
#include "model/page.h"
#include "model/page_views.h"
#include "model/param_shapes.h"
#include "model/selection.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "shell/child_form.h"
#include "shell/tavro_program.h"
#include "ui/paint_box_wex.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int32_t PageW = 1600;
constexpr int32_t PageH = 1200;
constexpr int32_t ViewW = 1000;
constexpr int32_t ViewH = 700;
constexpr int32_t Columns = 10;
constexpr int32_t Rows = 5;
constexpr int32_t CellW = PageW / Columns;  // 160
constexpr int32_t CellH = PageH / Rows;     // 240
constexpr int32_t ShapeSide = 100;
constexpr int32_t Moves = 60;
// Drags per repetition of the move benchmarks: a move takes tens of
// microseconds, so fewer drags leave the medians to the machine's noise.
constexpr int32_t DragsPerRepetition = 16;
constexpr int32_t DragX = 120;
constexpr int32_t DragY = 90;
const std::vector<const char*> Effects = {"ソフトシャドウ", "塗り(ボカシ)"};

// The document window of the scene, its page rendered and five shapes
// selected.
struct TDragSetup : TBenchDocWindow {
    TPoint Grip{};  // where a drag presses, in page pixels
    int32_t Drags = 0;

    TDragSetup() : TBenchDocWindow(PageW, PageH, ViewW, ViewH)
    {
        if (!Error.empty())
            return;
        if (Window->SnapObj())
            Window->actSnapObjExecute();
        TrecGrid G = Page->Grid();
        G.SnapGrid = 0;
        Page->SetGridOption(G);
        const QSize V = Window->pboxkClient->size();
        Window->SetViewOrigin(PageW / 2 - V.width() / 2, PageH / 2 - V.height() / 2);

        TDrawGroup& Root = Page->RootGroup();
        for (int32_t R = 0; R < Rows; ++R)
            for (int32_t C = 0; C < Columns; ++C) {
                std::unique_ptr<TParamObj> Shape;
                if ((R + C) % 2 == 0)
                    Shape = std::make_unique<TRectObj>(Page, -1);
                else
                    Shape = std::make_unique<TEllipseObj>(Page, -1);
                Shape->SetFrame(C * CellW + (CellW - ShapeSide) / 2, R * CellH + (CellH - ShapeSide) / 2, ShapeSide,
                                ShapeSide);
                if (!AddEffects(*Shape, Effects))
                    return;
                Root.AddChild(std::move(Shape), -1);
            }
        // The five middle shapes of the middle row, all in the view.
        auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
        for (int32_t C = 3; C < 8; ++C)
            Sel->AddItem(Root.GetItem(2 * Columns + C));
        Grip = {3 * CellW + CellW / 2, 2 * CellH + CellH / 2};
        Page->InvalidateRect(nullptr, true);
        Settle();
    }

    void Send(QEvent::Type Type, const TPoint& P)
    {
        const TPoint V = Window->DocToView(P);
        const QPointF At(V.X, V.Y);
        const Qt::MouseButton B = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent E(Type, At, Window->pboxkClient->mapToGlobal(At), B, Held, Qt::NoModifier);
        QApplication::sendEvent(Window->pboxkClient, &E);
    }
    // The press of the next drag (they go there and back) and its settled
    // repaint.
    TPoint Press()
    {
        const TPoint From = Drags % 2 == 0 ? Grip : TPoint{Grip.X + DragX, Grip.Y + DragY};
        Send(QEvent::MouseButtonPress, From);
        Settle();
        return From;
    }
    // Point I (1..Moves) of the drag from From.
    TPoint MovePoint(const TPoint& From, int32_t I) const
    {
        const int32_t Sign = Drags % 2 == 0 ? 1 : -1;
        return {From.X + Sign * DragX * I / Moves, From.Y + Sign * DragY * I / Moves};
    }
    // The release at the drag's end; the page is not rendered yet.
    void Release(const TPoint& From)
    {
        Send(QEvent::MouseButtonRelease, MovePoint(From, Moves));
        ++Drags;
    }
};

// The dirty rectangle's part of the page at the last drop (the same at every
// drop: the drags go there and back).
double gDirtyShare = 0;

double Seconds(TClock::time_point Start)
{
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

// Counts the paint events of one widget while armed.
class TPaintCounter : public QObject {
public:
    bool Armed = false;
    int64_t Count = 0;
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Armed && Event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

// Each iteration one mouse move of a drag; the press and the release between
// drags are not timed. With Repaint the move's repaint is part of it. The
// counter "view_paints" is the view's own paints (those draw the page
// picture) per move.
void DragMove(benchmark::State& State, bool Repaint)
{
    TDragSetup S;
    if (!S.Error.empty()) {
        State.SkipWithError(S.Error.c_str());
        return;
    }
    TPaintCounter ViewPaints;
    S.Window->pboxkClient->installEventFilter(&ViewPaints);
    TPoint From = S.Press();
    int32_t I = 0;
    for (auto _ : State) {
        if (I == Moves) {
            S.Release(From);
            S.Settle();
            From = S.Press();
            I = 0;
        }
        ++I;
        const TPoint P = S.MovePoint(From, I);
        ViewPaints.Armed = true;
        const TClock::time_point Start = TClock::now();
        S.Send(QEvent::MouseMove, P);
        if (Repaint)
            S.Settle();
        State.SetIterationTime(Seconds(Start));
        if (!Repaint)
            S.Settle();
        ViewPaints.Armed = false;
    }
    S.Release(From);
    S.Settle();
    State.counters["view_paints"] = double(ViewPaints.Count) / double(State.iterations());
}

void BM_DragMove_Ours(benchmark::State& State) { DragMove(State, true); }
void BM_DragMoveHandler_Ours(benchmark::State& State) { DragMove(State, false); }

void DragMovePeer(benchmark::State& State)
{
    TDragSetup S;
    if (!S.Error.empty()) {
        State.SkipWithError(S.Error.c_str());
        return;
    }
    QImage Picture(S.Window->pboxkClient->size(), QImage::Format_RGB32);
    S.Window->pboxkClient->render(&Picture);
    QImage Image(Picture.size(), QImage::Format_RGB32);
    for (auto _ : State) {
        const TClock::time_point Start = TClock::now();
        QPainter DC(&Image);
        DC.drawImage(QPoint(0, 0), Picture);
        DC.end();
        benchmark::DoNotOptimize(Image.constBits());
        State.SetIterationTime(Seconds(Start));
    }
}

void BM_DragMove_Peer(benchmark::State& State) { DragMovePeer(State); }
void BM_DragMoveHandler_Peer(benchmark::State& State) { DragMovePeer(State); }

// Each iteration one whole drag, untimed, and then the timed Update: of the
// rectangle the drop left dirty (Full false) or of the whole page.
void DropRender(benchmark::State& State, bool Full)
{
    TDragSetup S;
    if (!S.Error.empty()) {
        State.SkipWithError(S.Error.c_str());
        return;
    }
    double Share = 0;
    for (auto _ : State) {
        const TPoint From = S.Press();
        for (int32_t I = 1; I <= Moves; ++I) {
            S.Send(QEvent::MouseMove, S.MovePoint(From, I));
            S.Settle();
        }
        S.Release(From);
        const TRect D = S.Page->DirtyRect();
        Share = D.Left <= D.Right ? double(D.Right - D.Left + 1) * (D.Bottom - D.Top + 1) / (double(PageW) * PageH)
                                  : 0;
        if (Full)
            S.Page->InvalidateRect(nullptr, false);
        const TClock::time_point Start = TClock::now();
        S.Page->Update();
        State.SetIterationTime(Seconds(Start));
        S.Settle();
    }
    if (!Full) {
        State.counters["dirty_share"] = Share;
        gDirtyShare = Share;
    }
}

void BM_DropRender_Ours(benchmark::State& State) { DropRender(State, false); }
void BM_DropRender_Full(benchmark::State& State) { DropRender(State, true); }

}  // namespace

BENCHMARK(BM_DragMove_Ours)->UseManualTime()->Iterations(Moves * DragsPerRepetition)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragMove_Peer)->UseManualTime()->Iterations(Moves * DragsPerRepetition)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragMoveHandler_Ours)->UseManualTime()->Iterations(Moves * DragsPerRepetition)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragMoveHandler_Peer)->UseManualTime()->Iterations(Moves * DragsPerRepetition)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DropRender_Ours)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DropRender_Full)->UseManualTime()->Iterations(4)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    const TBenchSandbox Sandbox("tavro_bench_drag");
    const int Result = RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) {
        R.PrintPairRatios();
        R.PrintRatio("DropRender", "BM_DropRender_Ours", "BM_DropRender_Full");
        // The goal DropRender is measured against: the dirty share + 0.2.
        if (R.Time("BM_DropRender_Ours") > 0)
            std::printf("ratio DropRenderGoal %.3f\n", gDirtyShare + 0.2);
    });
    return Result;
}
