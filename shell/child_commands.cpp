// The document window's editing commands on the selection: node and segment
// commands, line conversions, stacking order and grouping, alignment and
// equal spacing of items or nodes, the arrow keys, and the selection-state
// enabling of the frame's commands. Every change is one history command;
// one that raises is rolled back, one that changes nothing leaves none.
#include "shell/child_form.h"
#include "shell/history_bracket.h"
#include "shell/node_move.h"

#include "foundation/platform_wrappers.h"
#include "foundation/streams.h"
#include "model/anchors.h"
#include "model/document.h"
#include "model/draw_group.h"
#include "model/draw_object.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "model/selection.h"
#include "model/selection_commands.h"
#include "model/text_object.h"
#include "editors/frm_obj_property.h"
#include "ui/paint_box_wex.h"

#include <QTextEdit>
#include <QAction>
#include <QKeyEvent>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

const char* const CaptionOneUp = "１つ手前に";
const char* const CaptionOneDown = "１つ後ろへ";
const char* const CaptionTop = "１番手前に";
const char* const CaptionBottom = "１番後ろへ";
const char* const CaptionGroup = "グループ化";
const char* const CaptionDivide = "分割";
const char* const CaptionToLine = "直線化";
const char* const CaptionToCurve = "曲線化";
const char* const CaptionMoveNodes = "選択ノードの移動";

// Moves every selected node to the point NewPoint gives, its control points
// by the same amount, and records the moves as one node-change pair.
bool MoveSelectedNodes(TSelectedObjects& Sel, TPage& Page,
                       const std::function<TPoint(const TNodeAnchor&)>& NewPoint)
{
    TAnchors& A = Sel.GetAnchors();
    A.StoreStartPoints();
    bool Moved = false;
    for (TNodeAnchor* N : Sel.OrderedNodeAnchors()) {
        if (N->Kind != akNode || !N->Selected)
            continue;
        const TPoint Old = N->Point();
        const TPoint New = NewPoint(*N);
        if (New == Old)
            continue;
        Moved = true;
        for (TNodeAnchor* C : {N->Link1, N->Link2})
            if (C) {
                const TPoint P = C->Point();
                A.MoveNodeAnchor(C, {P.X + New.X - Old.X, P.Y + New.Y - Old.Y}, nullptr, nullptr);
            }
        A.MoveNodeAnchor(N, New, nullptr, nullptr);
    }
    return Moved && RecordNodeMoves(Page, A);
}

// The most derived class every leaf of Items (groups walked) inherits from;
// nil when there is no leaf.
const TDrawItemClass* CommonLeafClass(const std::vector<TDrawItem*>& Items)
{
    const TDrawItemClass* Common = nullptr;
    std::function<void(TDrawItem*)> Walk = [&](TDrawItem* Item) {
        if (auto* G = dynamic_cast<TDrawGroup*>(Item)) {
            for (int32_t I = 0; I < G->GetCount(); ++I)
                Walk(G->GetItem(I));
            return;
        }
        if (!Common) {
            Common = &Item->GetClass();
            return;
        }
        while (!Item->InheritsFrom(*Common))
            Common = Common->Parent;
    };
    for (TDrawItem* I : Items)
        Walk(I);
    return Common;
}

bool InNodeMode(const TSelectedObjects& Sel)
{
    return Sel.GetEditMode() == 1;
}

} // namespace

// ---------------------------------------------------------------------------
// Node commands

void TfrmChild::actNodeSymExecute()
{
    if (TSelectedObjects* Sel = Selection())
        Sel->CommandSetNodeType(2);
    UpdateActionStates();
}

void TfrmChild::actNodeSmoothExecute()
{
    if (TSelectedObjects* Sel = Selection())
        Sel->CommandSetNodeType(1);
    UpdateActionStates();
}

void TfrmChild::actNodeSharpExecute()
{
    if (TSelectedObjects* Sel = Selection())
        Sel->CommandSetNodeType(0);
    UpdateActionStates();
}

void TfrmChild::actNodeConnectExecute()
{
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    std::string Message;
    Sel->JoinEndNodes(Message);
    if (!Message.empty())
        ErrorMessageBox(this, Message);
    UpdateActionStates();
}

void TfrmChild::actNodeDivideExecute()
{
    TSelectedObjects* Sel = Selection();
    if (!Sel || Sel->Count() != 1)
        return;
    RunReported(FDocument ? FDocument->History() : nullptr, CaptionDivide, [&] {
        Sel->CommandSetSegmentType(0);
        return true;
    });
    UpdateActionStates();
}

void TfrmChild::actBezierToLineExecute()
{
    if (TSelectedObjects* Sel = Selection())
        RunReported(FDocument ? FDocument->History() : nullptr, CaptionToLine, [&] {
            Sel->CommandSetSegmentType(1);
            return true;
        });
    UpdateActionStates();
}

void TfrmChild::actLineToBezierExecute()
{
    if (TSelectedObjects* Sel = Selection())
        RunReported(FDocument ? FDocument->History() : nullptr, CaptionToCurve, [&] {
            Sel->CommandSetSegmentType(2);
            return true;
        });
    UpdateActionStates();
}

// ---------------------------------------------------------------------------
// Line conversions

void TfrmChild::actToPolyLineExecute()
{
    if (TSelectedObjects* Sel = Selection())
        Sel->CommandToPolyLine();
    SelectionChanged(true);
}

void TfrmChild::actMergeExecute()
{
    if (TSelectedObjects* Sel = Selection())
        Sel->MergeLines();
    SelectionChanged(true);
}

void TfrmChild::actUnMergeExecute()
{
    if (TSelectedObjects* Sel = Selection())
        Sel->UnmergeLines();
    SelectionChanged(true);
}

// ---------------------------------------------------------------------------
// Stacking order and grouping

void TfrmChild::StepSelectedItem(const char* Caption, bool Up)
{
    TSelectedObjects* Sel = Selection();
    if (!Sel || Sel->Count() != 1 || !Sel->GetItem(0)->Parent())
        return;
    TDrawItem* Item = Sel->GetItem(0);
    RunReported(FDocument->History(), Caption, [&] {
        Up ? Item->Parent()->OneUp(Item) : Item->Parent()->OneDown(Item);
        return true;
    });
    pboxkClient->update();
}

void TfrmChild::StackSelection(const char* Caption, bool Top)
{
    TSelectedObjects* Sel = Selection();
    TPage* P = DrawingPage();
    if (!Sel || !P || Sel->Count() == 0)
        return;
    RunReported(FDocument->History(), Caption, [&] {
        Top ? P->RootGroup().ToTop(Sel->Items()) : P->RootGroup().ToBottom(Sel->Items());
        return true;
    });
    pboxkClient->update();
}

void TfrmChild::act1UpExecute() { StepSelectedItem(CaptionOneUp, true); }
void TfrmChild::act1DownExecute() { StepSelectedItem(CaptionOneDown, false); }
void TfrmChild::actTopExecute() { StackSelection(CaptionTop, true); }
void TfrmChild::actBottomExecute() { StackSelection(CaptionBottom, false); }

void TfrmChild::actGroupExecute()
{
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    try {
        Sel->GroupCommand(CaptionGroup);
    } catch (...) {
        // Rolled back by the selection; nothing of it stays.
        ShowEventException(std::current_exception());
    }
    SelectionChanged(true);
}

void TfrmChild::actTextWithPathExecute()
{
    TSelectedObjects* Sel = Selection();
    if (!Sel || Sel->Count() != 2)
        return;
    TTextObj* Text = nullptr;
    TDrawItem* Path = nullptr;
    for (int32_t I : {1, 0}) {
        auto* T = dynamic_cast<TTextObj*>(Sel->GetItem(I));
        TDrawItem* Other = Sel->GetItem(1 - I);
        if (T && dynamic_cast<TDrawObject*>(Other)) {
            Text = T;
            Path = Other;
        }
    }
    if (!Text)
        return;
    Text->SetLinkedPath(Path);
    pboxkClient->update();
}

void TfrmChild::actUngroupExecute()
{
    if (TSelectedObjects* Sel = Selection())
        Sel->Ungroup();
    SelectionChanged(true);
}

// ---------------------------------------------------------------------------
// Alignment and equal spacing

void TfrmChild::AlignSelection(const char* Caption, int32_t Kind, bool Vertical)
{
    TSelectedObjects* Sel = Selection();
    TPage* P = DrawingPage();
    if (!Sel || !P || !FDocument)
        return;
    const int32_t PageExtent = Vertical ? P->Height() : P->Width();
    auto Low = [Vertical](const TRect& R) { return Vertical ? R.Top : R.Left; };
    auto High = [Vertical](const TRect& R) { return Vertical ? R.Bottom : R.Right; };
    if (InNodeMode(*Sel)) {
        TRect B;
        Sel->GetAnchors().GetSelectedBounds(B);
        if (B.Left > B.Right)
            return;
        const int32_t To = Kind == 0 ? Low(B) : Kind == 1 ? High(B) : Kind == 2 ? (Low(B) + High(B)) >> 1 : PageExtent >> 1;
        RunReported(FDocument->History(), Caption, [&] {
            return MoveSelectedNodes(*Sel, *P, [&](const TNodeAnchor& N) {
                const TPoint Old = N.Point();
                return Vertical ? TPoint{Old.X, To} : TPoint{To, Old.Y};
            });
        });
    } else {
        if (Sel->Count() == 0)
            return;
        const TRect Ref = Sel->GetBounds();
        RunReported(FDocument->History(), Caption, [&] {
            bool Moved = false;
            for (TDrawItem* Item : Sel->Items()) {
                const TRect B = Item->GetBounds();
                const int32_t Size = High(B) - Low(B);
                const int32_t D = Kind == 0   ? Low(Ref) - Low(B)
                                  : Kind == 1 ? High(Ref) - High(B)
                                  : Kind == 2 ? ((High(Ref) - Low(Ref) - Size) >> 1) + (Low(Ref) - Low(B))
                                              : ((PageExtent - Size) >> 1) - Low(B);
                if (D == 0)
                    continue;
                Vertical ? Item->MoveBy(0, D) : Item->MoveBy(D, 0);
                Moved = true;
            }
            return Moved;
        });
    }
    Sel->CalcBounds();
    SelectionChanged(true);
}

void TfrmChild::SpaceSelection(const char* Caption, bool Vertical)
{
    TSelectedObjects* Sel = Selection();
    TPage* P = DrawingPage();
    if (!Sel || !P || !FDocument)
        return;
    if (InNodeMode(*Sel)) {
        std::vector<TNodeAnchor*> Nodes;
        for (TNodeAnchor* N : Sel->OrderedNodeAnchors())
            if (N->Kind == akNode && N->Selected)
                Nodes.push_back(N);
        if (Nodes.size() < 2)
            return;
        auto Key = [Vertical](const TNodeAnchor* N) { return Vertical ? N->Point().Y : N->Point().X; };
        std::stable_sort(Nodes.begin(), Nodes.end(),
                         [&](const TNodeAnchor* A, const TNodeAnchor* B) { return Key(A) < Key(B); });
        TRect B;
        Sel->GetAnchors().GetSelectedBounds(B);
        const int64_t Low = Vertical ? B.Top : B.Left;
        const int64_t Span = (Vertical ? B.Bottom : B.Right) - Low;
        const int64_t Last = int64_t(Nodes.size()) - 1;
        RunReported(FDocument->History(), Caption, [&] {
            TAnchors& A = Sel->GetAnchors();
            A.StoreStartPoints();
            bool Moved = false;
            for (int64_t I = 0; I <= Last; ++I) {
                TNodeAnchor* N = Nodes[size_t(I)];
                const TPoint Old = N->Point();
                const int32_t To = int32_t(Low + Span * I / Last);
                const TPoint New = Vertical ? TPoint{Old.X, To} : TPoint{To, Old.Y};
                if (New == Old)
                    continue;
                A.MoveNodeAnchor(N, New, nullptr, nullptr);
                Moved = true;
            }
            return Moved && RecordNodeMoves(*P, A);
        });
    } else {
        if (Sel->Count() < 3)
            return;
        std::vector<TDrawItem*> Items = Sel->Items();
        std::vector<std::pair<int32_t, TDrawItem*>> Sorted;
        for (TDrawItem* I : Items) {
            const TRect R = I->GetBounds();
            Sorted.push_back({Vertical ? R.Top : R.Left, I});
        }
        std::stable_sort(Sorted.begin(), Sorted.end(),
                         [](const auto& A, const auto& B) { return A.first < B.first; });
        const int64_t L0 = Sorted.front().first;
        const int64_t Ln = Sorted.back().first;
        const int64_t Last = int64_t(Sorted.size()) - 1;
        RunReported(FDocument->History(), Caption, [&] {
            bool Moved = false;
            for (int64_t I = 1; I < Last; ++I) {
                const auto& [Edge, Item] = Sorted[size_t(I)];
                const int32_t D = int32_t((Ln - L0) * I / Last + (L0 - Edge));
                if (D == 0)
                    continue;
                Vertical ? Item->MoveBy(0, D) : Item->MoveBy(D, 0);
                Moved = true;
            }
            return Moved;
        });
    }
    Sel->CalcBounds();
    SelectionChanged(true);
}

void TfrmChild::actArngLeftExecute() { AlignSelection("左寄せ配置", 0, false); }
void TfrmChild::actArngRightExecute() { AlignSelection("右寄せ配置", 1, false); }
void TfrmChild::actCenterHExecute() { AlignSelection("水平に中央配置", 2, false); }
void TfrmChild::actImgCenterHExecute() { AlignSelection("水平に画像中央配置", 3, false); }
void TfrmChild::actArngTopExecute() { AlignSelection("上寄せ配置", 0, true); }
void TfrmChild::actArngBottomExecute() { AlignSelection("下寄せ配置", 1, true); }
void TfrmChild::actCenterVExecute() { AlignSelection("垂直に中央配置", 2, true); }
void TfrmChild::actImgCenterVExecute() { AlignSelection("垂直に画像中央配置", 3, true); }
void TfrmChild::actEqualHExecute() { SpaceSelection("水平に均等配置", false); }
void TfrmChild::actEqualVExecute() { SpaceSelection("垂直に均等配置", true); }

// ---------------------------------------------------------------------------
// Arrow keys

bool TfrmChild::NudgeSelection(int Key, Qt::KeyboardModifiers Modifiers)
{
    int32_t DX = 0, DY = 0;
    switch (Key) {
    case Qt::Key_Left: DX = -1; break;
    case Qt::Key_Right: DX = 1; break;
    case Qt::Key_Up: DY = -1; break;
    case Qt::Key_Down: DY = 1; break;
    default: return false;
    }
    TSelectedObjects* Sel = Selection();
    TPage* P = DrawingPage();
    if (!Sel || !P || !FDocument)
        return true;
    const int32_t Step = (Modifiers & Qt::ShiftModifier) ? 5 : 1;
    Sel->InvalidateView();
    if (InNodeMode(*Sel)) {
        // Exactly what a drag of the nodes by one step does, neighbouring
        // curve handles included.
        TAnchors& A = Sel->GetAnchors();
        StartNodeMove(A);
        try {
            RunRolledBack(FDocument->History(), CaptionMoveNodes, [&] {
                MoveSelectedNodesFromStart(A, DX * Step, DY * Step);
                UpdateGroupLinePaths(P->RootGroup());
                return RecordNodeMoves(*P, A);
            });
        } catch (...) {
            // The moves are recorded only at the end: rolling the command
            // back cannot bring them back, the start points do.
            const std::exception_ptr Failure = std::current_exception();
            try {
                ::RestoreNodeStarts(A);
                UpdateGroupLinePaths(P->RootGroup());
            } catch (...) {
            }
            ShowEventException(Failure);
        }
    } else if (Sel->Count() > 0) {
        try {
            if (Modifiers & Qt::ControlModifier) {
                const TRect B = Sel->GetBounds();
                const double W = B.Right - B.Left + 1;
                const double H = B.Bottom - B.Top + 1;
                Sel->ScaleCommand(B.Left, B.Top, 1024.0 + DX * Step / W * 1024.0,
                                  1024.0 + DY * Step / H * 1024.0);
            } else {
                Sel->MoveCommand(DX * Step, DY * Step);
            }
        } catch (...) {
            // Rolled back by the selection; nothing of it stays.
            ShowEventException(std::current_exception());
        }
    }
    Sel->CalcBounds();
    SelectionChanged(true);
    return true;
}

// ---------------------------------------------------------------------------
// Selection state

void TfrmChild::ReloadPanel()
{
    TSelectedObjects* Sel = Selection();
    TPage* P = DrawingPage();
    // A panel not made yet loads the active window's selection when it is.
    TfrmObjProperty* Panel = frmObjProperty.Made();
    if (!Panel || !Sel || !P || !ShowsFrameState())
        return;
    // A value the panel shows live is committed to the items it was typed
    // for before the panel takes its copies of any.
    Panel->CommitPending();
    Panel->SetParam(Sel->Items(), this, P->DPI());
    if (Sel->Count() == 1 && dynamic_cast<TTextObj*>(Sel->Items().front()) && Panel->RichEdit)
        Panel->RichEdit->selectAll();
}

void TfrmChild::RefreshSelection(bool ReloadPanelFlag)
{
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    Sel->CalcBounds();
    if (ReloadPanelFlag)
        ReloadPanel();
    ShowSelectionStatus();
    UpdateActionStates();
    pboxkClient->update();
}

void TfrmChild::SelectionEdited()
{
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    Sel->CalcBounds();
    Sel->RebuildAnchors();
    RefreshSelection(false);
}

void TfrmChild::SetHandlesHidden(bool Hidden)
{
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    QAction* Show = Action(FrameCommand::actDispAnchor);
    Sel->SetAnchorsVisible(!Hidden && (!Show || Show->isChecked()));
    Sel->InvalidateView();
    pboxkClient->update();
}

void TfrmChild::RepaintView()
{
    pboxkClient->update();
}

void TfrmChild::ShowSelectionStatus()
{
    if (!ShowsFrameState())
        return;
    TSelectedObjects* Sel = Selection();
    std::string Text;
    auto Degrees = [](float Radians) {
        return QString::number(double(Radians) * 180.0 / M_PI, 'f', 1).toStdString();
    };
    if (Sel && !InNodeMode(*Sel)) {
        if (Sel->Count() == 1) {
            // In 64 bits: a frame near the ends of int32 must not overflow.
            if (auto* P = dynamic_cast<TParamObj*>(Sel->GetItem(0)))
                Text = "中心=(" + std::to_string(int64_t{P->X()} + P->Width() / 2) + "," +
                       std::to_string(int64_t{P->Y()} + P->Height() / 2) + ")," + "回転角=" +
                       Degrees(P->Angle()) + "'";
            else if (auto* T = dynamic_cast<TTextObj*>(Sel->GetItem(0)))
                Text = "回転角=" + Degrees(T->Angle()) + "'";
        } else if (Sel->Count() >= 2) {
            Text = std::to_string(Sel->Count()) + "個の図形を選択中";
        }
    }
    FFrame.SetStatusText(1, Text);
}

void TfrmChild::UpdateActionStates()
{
    HistoryChanged();
    if (!ShowsFrameState())
        return;
    UpdateGridActions();
    TSelectedObjects* Sel = Selection();
    auto Enable = [this](int32_t Index, bool On) {
        if (QAction* A = Action(Index))
            A->setEnabled(On);
    };
    using namespace FrameCommand;
    const bool NodeMode = Sel && InNodeMode(*Sel);
    uint8_t S = 0, G = 0;
    bool Joinable = false;
    int32_t Nodes = 0;
    if (NodeMode) {
        Sel->GetAnchors().GetSeletedState(S, G, Joinable);
        for (TNodeAnchor* N : Sel->OrderedNodeAnchors())
            Nodes += N->Kind == akNode && N->Selected;
    }
    Enable(actNodeSmooth, NodeMode && (S == 3 || S == 4 || S == 5));
    Enable(actNodeSharp, NodeMode && (S == 2 || S == 4 || S == 5));
    Enable(actNodeSym, NodeMode && (S == 2 || S == 3 || S == 5));
    Enable(actNodeDivide, NodeMode && S >= 2);
    Enable(actNodeConnect, NodeMode && Joinable);
    Enable(actBezierToLine, NodeMode && (G == 2 || G == 3));
    Enable(actLineToBezier, NodeMode && (G == 1 || G == 3));

    const int32_t N = Sel && !NodeMode ? Sel->Count() : 0;
    bool CommonPoly = false;
    bool OneLine = false;
    if (N > 0) {
        CommonPoly = CommonLeafClass(Sel->Items()) == &TPolyLineObj::ClassInfo;
        TDrawItem* First = Sel->GetItem(0);
        OneLine = N == 1 && First->InheritsFrom(TLineObject::ClassInfo) &&
                  !First->InheritsFrom(TPolyLineObj::ClassInfo);
    }
    for (int32_t I : {actCut, actCopy, actDup})
        Enable(I, N >= 1);
    Enable(actDel, NodeMode ? Nodes > 0 : N >= 1);
    Enable(actMerge, N >= 2 && CommonPoly);
    Enable(actUnMerge, CommonPoly);
    Enable(actToPolyLine, N >= 2 || OneLine);
    Enable(act1Up, N == 1);
    Enable(act1Down, N == 1);
    Enable(actTop, N >= 1);
    Enable(actBottom, N >= 1);

    const int32_t M = NodeMode ? Nodes : N;
    Enable(actImgCenterH, M >= 1);
    Enable(actImgCenterV, M >= 1);
    for (int32_t I : {actArngLeft, actArngRight, actArngTop, actArngBottom, actCenterH, actCenterV, actEqualH,
                      actEqualV})
        Enable(I, M >= 2);
}
