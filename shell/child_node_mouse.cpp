// The document window's node tools: picking and selecting nodes, dragging
// nodes and control points with the smooth and symmetric rules, and adding
// nodes. A drag moves the real nodes (the anchors name points of the items'
// paths) and records them once at the release; whatever goes wrong puts the
// nodes back where the drag found them.
#include "shell/child_form.h"
#include "shell/history_bracket.h"
#include "shell/node_move.h"
#include "shell/xor_overlay.h"

#include "foundation/geometry.h"
#include "foundation/platform_wrappers.h"
#include "foundation/poly_line.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/anchors.h"
#include "model/document.h"
#include "model/draw_group.h"
#include "model/drag_frame_dc.h"
#include "model/page.h"
#include "model/poly_line_obj.h"
#include "model/selection.h"
#include "platform/qt/qt_drawing.h"
#include "platform/qt/qt_services.h"
#include "store/history.h"
#include "ui/paint_box_wex.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr uint32_t NodeOutlineColour = 0xFFFFFF;

TPoint Rounded(double X, double Y)
{
    return {int32_t(std::lround(X)), int32_t(std::lround(Y))};
}

double Distance(const TPoint& A, const TPoint& B)
{
    return std::hypot(double(B.X) - A.X, double(B.Y) - A.Y);
}

TPoint StartOf(const TNodeAnchor& A)
{
    return {A.StartX, A.StartY};
}

// The node after the segment that starts at node Index.
int32_t SegmentEnd(const TrecPath& Path, int32_t Index)
{
    int32_t First = 0;
    int32_t Last = 0;
    RecPolyLineGetFigureRange(Path, Index, First, Last);
    if (Index >= Last)
        return First;
    return PathPointKind(Path.pabType[size_t(Index + 1)]) == PT_BEZIERTO ? Index + 3 : Index + 1;
}

// A line whose path macros reshape its output path shows a path that its
// nodes no longer describe, so the node tools leave it alone.
bool NodesEditable(const TPolyLineObj& Line)
{
    return Line.PathMacroFlag() == 0;
}

} // namespace

void StartNodeMove(TAnchors& A)
{
    A.StoreStartPoints();
    for (int32_t I = 0; I < A.GetCount(); ++I)
        if (auto* C = dynamic_cast<TNodeAnchor*>(A.GetNodeAnchor(I)); C && C->Kind == akControl && C->Link1)
            C->HandleLength = Distance(C->Point(), C->Link1->Point());
}

void MoveSelectedNodesFromStart(TAnchors& A, int32_t DX, int32_t DY)
{
    for (int32_t I = 0; I < A.GetCount(); ++I) {
        auto* N = dynamic_cast<TNodeAnchor*>(A.GetNodeAnchor(I));
        if (!N || N->Kind != akNode || !N->Selected)
            continue;
        A.MoveNodeAnchor(N, {N->StartX + DX, N->StartY + DY}, nullptr, nullptr);
        for (TNodeAnchor* C : {N->Link1, N->Link2})
            if (C)
                A.MoveNodeAnchor(C, {C->StartX + DX, C->StartY + DY}, nullptr, nullptr);
    }
    for (int32_t I = 0; I < A.GetCount(); ++I) {
        auto* N = dynamic_cast<TNodeAnchor*>(A.GetNodeAnchor(I));
        if (!N || N->Kind != akNode || !N->Link1 || N->NeighbourIndex < 0 || N->GetNodeKind() == nkSharp)
            continue;
        TNodeAnchor* O = A.FindNodeAnchor(N->Owner, N->NeighbourIndex);
        if (!O || O->Selected == N->Selected)
            continue;
        TNodeAnchor* C = N->Link1;
        const TPoint NP = N->Point();
        const TPoint OP = O->Point();
        const double L = Distance(OP, NP);
        if (C->HandleLength <= 0 || L == 0)
            continue;
        const double K = C->HandleLength / L;
        A.MoveNodeAnchor(C, Rounded(NP.X - (OP.X - NP.X) * K, NP.Y - (OP.Y - NP.Y) * K), nullptr, nullptr);
    }
}

void RestoreNodeStarts(TAnchors& A)
{
    for (int32_t I = 0; I < A.GetCount(); ++I)
        if (auto* N = dynamic_cast<TNodeAnchor*>(A.GetNodeAnchor(I)))
            A.MoveNodeAnchor(N, StartOf(*N), nullptr, nullptr);
}

bool RecordNodeMoves(TPage& Page, TAnchors& A)
{
    TMemoryStream U;
    TMemoryStream R;
    A.RecordMovedNodes(&U, &R);
    if (U.Size() == 0)
        return false;
    if (THistoryCommand* H = Page.HistoryCommand(); H && !H->IsLockAddHistory()) {
        Page.AddHistory(0, TPage::CmdNodeChange, U.Memory(), int32_t(U.Size()));
        Page.AddHistory(1, TPage::CmdNodeChange, R.Memory(), int32_t(R.Size()));
    }
    return true;
}

void TfrmChild::NodeDown(const TPoint& P)
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    if (Page->MouseMode() == 13) {
        AddNodeAt(P);
        return;
    }
    const uint8_t Hit = Sel->HitTest(P.X, P.Y, FiZoom);
    Page->SetMouseMode(Hit == akNode ? 9 : Hit == akControl ? 11 : 7);
}

void TfrmChild::AddNodeAt(const TPoint& P)
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    THistoryCommand* H = FDocument ? FDocument->History() : nullptr;
    const int32_t Tol = PickTolerance();
    RunRolledBack(H, "ノード追加", [&] {
        int32_t Distance = 0;
        TDrawItem* Item = nullptr;
        FindTopItemNearPoint(Page->RootGroup(), P, Tol, Distance, Item);
        auto* Line = Distance <= Tol ? dynamic_cast<TPolyLineObj*>(Item) : nullptr;
        if (Line && !NodesEditable(*Line))
            Line = nullptr;
        if (!Line) {
            Sel->ClearSelection();
        } else if (Sel->IsSelected(Line)) {
            Sel->ClearNodeSelection();
            Sel->RemoveItem(Line);
            Line->RecordBasePath(0);
            const int32_t Index = Line->InsertNode(P);
            Line->RecordBasePath(1);
            Sel->AddItem(Line);
            TAnchors& A = Sel->GetAnchors();
            if (TNodeAnchor* N = Index >= 0 ? A.FindNodeAnchor(Line, Index) : nullptr)
                A.SetNodeSelected(N, 1, NodeSelectCode);
            ShowSelectionStatus();
            UpdateActionStates();
        } else {
            Sel->ClearSelection();
            Sel->AddItem(Line);
            Sel->GetAnchors();
        }
    });
    Sel->InvalidateView();
    pboxkClient->update();
}

void TfrmChild::NodeMove(uint8_t Shift, const TPoint& Point)
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    const uint8_t Mode = Page->MouseMode();
    FDragShift = Shift;
    if (Mode == 7 || Mode == 9 || Mode == 11) {
        const int64_t DX = int64_t(Point.X) - FptMouseDown.X;
        const int64_t DY = int64_t(Point.Y) - FptMouseDown.Y;
        const int32_t Tol = PickTolerance();
        if (DX * DX + DY * DY <= int64_t(Tol) * Tol)
            return;
        auto* Hit = dynamic_cast<TNodeAnchor*>(Sel->GetAnchors().HitAnchor());
        if (Mode == 9 && (!Hit || !Hit->Selected))
            return;
        if (Mode != 7) {
            Sel->InvalidateView();
            StartNodeMove(Sel->GetAnchors());
        }
        pboxkClient->repaint();
        FOverlay->Begin();
        Page->SetMouseMode(Mode + 1);
        FptDragPoint = Mode == 7 ? Point : SnapPoint(Point);
        if (Mode == 7) {
            DrawDragOutline();
            return;
        }
        try {
            NodeDragGeometry(FptDragPoint);
            DrawNodeOutline();
        } catch (const std::exception& E) {
            EndNodeDrag(E.what());
        }
        return;
    }
    if (Mode == 8) {
        DrawDragOutline();
        FptDragPoint = Point;
        DrawDragOutline();
        return;
    }
    // 10, 12: the outline of the moved nodes follows the mouse.
    try {
        DrawNodeOutline();
        FptDragPoint = SnapPoint(Point);
        NodeDragGeometry(FptDragPoint);
        DrawNodeOutline();
    } catch (const std::exception& E) {
        EndNodeDrag(E.what());
    }
}

void TfrmChild::DrawNodeOutline()
{
    TSelectedObjects* Sel = Selection();
    FOverlay->Draw(NodeOutlineColour, [&](QPainter& DC) {
        TOverlayFrameDC FrameDC(DC);
        SetViewMapping(DC, 0, 0);
        Sel->DrawDragOutline(FrameDC);
    });
}

void TfrmChild::RestoreNodeStarts()
{
    ::RestoreNodeStarts(Selection()->GetAnchors());
    UpdateGroupLinePaths(DrawingPage()->RootGroup());
}

// A drag that cannot go on: the nodes go back, the drag ends, and the
// message is shown this once (the capture ends with the drag, so no later
// move repeats it).
void TfrmChild::EndNodeDrag(const std::string& Message)
{
    TPage* Page = DrawingPage();
    FbCaptured = false;
    Page->SetMouseMode(6);
    FOverlay->End();
    try {
        RestoreNodeStarts();
    } catch (...) {
    }
    Selection()->InvalidateView();
    pboxkClient->update();
    ErrorMessageBox(this, Message);
}

void TfrmChild::NodeDragGeometry(const TPoint& P)
{
    TPage* Page = DrawingPage();
    TAnchors& A = Selection()->GetAnchors();
    auto* Hit = dynamic_cast<TNodeAnchor*>(A.HitAnchor());
    if (!Hit)
        return;
    if (Hit->Kind == akNode) {
        MoveSelectedNodesFromStart(A, P.X - Hit->StartX, P.Y - Hit->StartY);
    } else {
        TNodeAnchor* N = Hit->Link1;
        if (!N)
            throw EUserError("TfrmChild.MMNodeCalcSub: FNodeAnchor1 = nil");
        TNodeAnchor* Opp = Hit->Link2;
        if (N->Kind != akNode || (Opp && Opp->Kind != akControl))
            throw EUserError("TfrmChild.MMNodeCalcSub Error!");
        const TPoint NP = N->Point();
        const uint8_t Type = N->GetNodeKind();
        TPoint Q;
        if (!Opp && N->GetNeighbourPoint(Q)) {
            // The node joins a straight segment: a smooth or symmetric node
            // keeps the control on that segment's line.
            TPoint C = P;
            if (Type != nkSharp) {
                int64_t D = 0;
                NearestPointOnLine(P, NP, Q, &C, &D);
            }
            A.MoveNodeAnchor(Hit, C, nullptr, nullptr);
        } else {
            A.MoveNodeAnchor(Hit, P, nullptr, nullptr);
            Hit->HandleLength = Distance(P, NP);
            if (Opp && Hit->HandleLength > 0 && (Type == nkSmooth || Type == nkSymmetric)) {
                TPoint D;
                if (Type == nkSmooth) {
                    const double K = Opp->HandleLength / Hit->HandleLength;
                    D = Rounded(NP.X - (P.X - NP.X) * K, NP.Y - (P.Y - NP.Y) * K);
                } else {
                    D = {2 * NP.X - P.X, 2 * NP.Y - P.Y};
                }
                A.MoveNodeAnchor(Opp, D, nullptr, nullptr);
                Opp->HandleLength = Distance(D, NP);
            }
        }
    }
    UpdateGroupLinePaths(Page->RootGroup());
}

void TfrmChild::NodeUp(uint8_t Shift, const TPoint& P)
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    const uint8_t Mode = Page->MouseMode();
    Page->SetMouseMode(6);
    if (!Sel)
        return;
    THistoryCommand* H = FDocument ? FDocument->History() : nullptr;
    TDrawGroup& Root = Page->RootGroup();
    if (Mode == 7) {
        RunRolledBack(H, "ノードの選択／解除", [&] {
            const int32_t Tol = PickTolerance();
            for (int32_t I = 0; I < Root.GetCount(); ++I) {
                auto* Line = dynamic_cast<TPolyLineObj*>(Root.GetItem(I));
                if (!Line || !NodesEditable(*Line) || !Line->HitTest(P, Tol))
                    continue;
                if (!Sel->IsSelected(Line)) {
                    if (!(Shift & ssShift))
                        Sel->ClearSelection();
                    Sel->AddItem(Line);
                    Sel->InvalidateView();
                } else {
                    if (!(Shift & ssShift))
                        Sel->ClearNodeSelection();
                    int32_t Index = -1;
                    RecPolyLineNearestPoint(Line->BasePath(), P, 1.0, nullptr, nullptr, nullptr, &Index);
                    TAnchors& A = Sel->GetAnchors();
                    if (Index >= 0)
                        for (int32_t J : {Index, SegmentEnd(Line->BasePath(), Index)})
                            if (TNodeAnchor* N = A.FindNodeAnchor(Line, J))
                                A.SetNodeSelected(N, 1, NodeSelectCode);
                }
                return;
            }
            if (!(Shift & ssShift))
                Sel->ClearSelection();
        });
    } else if (Mode == 8) {
        DrawDragOutline();  // erase
        FOverlay->End();
        const TRect R{std::min(FptMouseDown.X, FptDragPoint.X), std::min(FptMouseDown.Y, FptDragPoint.Y),
                      std::max(FptMouseDown.X, FptDragPoint.X), std::max(FptMouseDown.Y, FptDragPoint.Y)};
        Sel->BeginUpdate();
        try {
            RunRolledBack(H, "ノードの選択･解除", [&] {
                Sel->ClearNodeSelection();
                if (!(Shift & ssShift))
                    Sel->ClearSelection();
                Sel->SelectNodesInRect(R, NodeSelectCode, Root);
                Sel->SetAnchorsValid(true);
            });
        } catch (...) {
            Sel->EndUpdate();
            throw;
        }
        Sel->EndUpdate();
    } else if (Mode == 9) {
        auto* Hit = dynamic_cast<TNodeAnchor*>(Sel->GetAnchors().HitAnchor());
        if (Hit)
            RunRolledBack(H, "ノードの選択／解除", [&] {
                Sel->InvalidateView();
                TAnchors& A = Sel->GetAnchors();
                if (Shift & ssShift) {
                    A.SetNodeSelected(Hit, Hit->Selected ? 0 : 1, NodeSelectCode);
                } else {
                    A.ClearNodeSelection(NodeSelectCode);
                    A.SetNodeSelected(Hit, 1, NodeSelectCode);
                }
            });
        UpdateActionStates();
    } else if (Mode == 10 || Mode == 12) {
        CommitNodeDrag(Shift, P);
    }
    ShowSelectionStatus();
    Sel->InvalidateView();
    pboxkClient->update();
}

void TfrmChild::CommitNodeDrag(uint8_t Shift, const TPoint& P)
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    FDragShift = Shift;
    THistoryCommand* H = FDocument ? FDocument->History() : nullptr;
    try {
        DrawNodeOutline();  // erase
        FOverlay->End();
        RunRolledBack(H, "ノードの移動", [&] {
            FptDragPoint = SnapPoint(P);
            NodeDragGeometry(FptDragPoint);
            RecordNodeMoves(*Page, Sel->GetAnchors());
        });
    } catch (const std::exception& E) {
        // The moves themselves were never recorded: undoing the command
        // cannot bring them back, the stored start points do.
        try {
            RestoreNodeStarts();
        } catch (...) {
        }
        FOverlay->End();
        ErrorMessageBox(this, E.what());
    }
    // A drag that moved nothing leaves an empty command, which the history
    // drops; the anchors follow the paths again.
    UpdateGroupLinePaths(Page->RootGroup());
}
