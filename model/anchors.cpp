#include "model/anchors.h"

#include "foundation/geometry.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/cursor_service.h"
#include "model/draw_group.h"
#include "model/draw_object.h"
#include "model/poly_line_obj.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t MaxInt = 2147483647;

const char* const kCursorNames[12] = {"",        "CSIZEALL", "CSIZEV",   "CSIZEH",
                                      "CSIZEH",  "CSIZEV",   "CSIZNWSE", "CSIZNESW",
                                      "CSIZNESW", "CSIZNWSE", "CROTCTR",  "CROTTGT"};
int32_t gCursorStarts = 0;
int32_t gCursors[12] = {};

int32_t Mid(int32_t A, int32_t B)
{
    return static_cast<int32_t>((int64_t(A) + B) / 2);
}

// Distances in doubles: the int32 square of far-apart points would wrap.
double Length(double DX, double DY)
{
    return std::sqrt(DX * DX + DY * DY);
}

double Distance(const TPoint& A, const TPoint& B)
{
    return Length(double(B.X) - A.X, double(B.Y) - A.Y);
}

void WritePointRecord(TStream& S, const TNodeAnchor& A, const TPoint& P)
{
    uint8_t Rec[PointChangeRecordSize] = {};
    const int32_t ID = A.Owner->ObjID();
    std::memcpy(Rec, &ID, 4);
    std::memcpy(Rec + 4, &A.Index, 4);
    Rec[8] = 1;
    std::memcpy(Rec + 12, &P.X, 4);
    std::memcpy(Rec + 16, &P.Y, 4);
    S.WriteBuffer(Rec, PointChangeRecordSize);
}

int32_t SaturateToInt(double V)
{
    return RoundEven32(V);
}

}  // namespace

const char* const gcAnchorBitmapNames[10] = {"BMH",      "BMV",      "BMRT",   "BMLT",
                                             "BMROTCTR", "BMROTTGT", "BMNODE", "BMNODESEL",
                                             "BMCTRL",   "BMCTRLSEL"};

const char* AnchorBitmapName(uint8_t Kind, bool Selected)
{
    switch (Kind) {
    case akTop:
    case akBottom:
        return "BMV";
    case akLeft:
    case akRight:
        return "BMH";
    case akTopLeft:
    case akBottomRight:
        return "BMLT";
    case akTopRight:
    case akBottomLeft:
        return "BMRT";
    case akRotCenter:
        return "BMROTCTR";
    case akRotTarget:
        return "BMROTTGT";
    case akNode:
        return Selected ? "BMNODESEL" : "BMNODE";
    case akControl:
        return Selected ? "BMCTRLSEL" : "BMCTRL";
    default:
        return "";
    }
}

const char* AnchorCursorName(uint8_t HitKind)
{
    return HitKind >= 1 && HitKind <= 11 ? kCursorNames[HitKind] : "";
}

void AnchorsStartup(TCursorService& Service)
{
    if (gCursorStarts > 0) {
        ++gCursorStarts;
        return;
    }
    int32_t Cursors[12] = {};
    for (uint8_t K = 1; K <= 11; ++K)
        Cursors[K] = Service.SetCursorByResource(nullptr, kCursorNames[K]);
    std::memcpy(gCursors, Cursors, sizeof(gCursors));
    ++gCursorStarts;
}

void AnchorsShutdown()
{
    if (gCursorStarts > 0 && --gCursorStarts == 0)
        std::memset(gCursors, 0, sizeof(gCursors));
}

int32_t AnchorCursor(uint8_t HitKind)
{
    return HitKind <= 11 ? gCursors[HitKind] : 0;
}

// ---------------------------------------------------------------------------
// TCustomAnchor

bool TCustomAnchor::HitTest(int32_t X, int32_t Y, int32_t Tolerance)
{
    const TPoint P = Point();
    return std::llabs(int64_t(X) - P.X) <= Tolerance && std::llabs(int64_t(Y) - P.Y) <= Tolerance;
}

void TCustomAnchor::Draw(TAnchorCanvas& Canvas, int32_t /*Size*/)
{
    const char* Name = AnchorBitmapName(Kind, IsSelected() != 0);
    if (!*Name)
        return;
    const TPoint D = Canvas.LPtoDP(Point());
    Canvas.BeginDeviceMapping();
    const int32_t W = Canvas.GetBitmapWidth(Name);
    Canvas.DrawBitmap(Name, D.X - W / 2, D.Y - W / 2);
    Canvas.EndDeviceMapping();
}

void TCustomAnchor::Invalidate(TAnchorCanvas& Canvas, int32_t HalfSize)
{
    const TPoint P = Point();
    const TPoint A = Canvas.LPtoDP({P.X - HalfSize, P.Y - HalfSize});
    const TPoint B = Canvas.LPtoDP({P.X + HalfSize, P.Y + HalfSize});
    Canvas.InvalidateDeviceRect({A.X, A.Y, B.X + 1, B.Y + 1});
}

// ---------------------------------------------------------------------------
// TNodeAnchor

void TNodeAnchor::SetPoint(const TPoint& P)
{
    Owner->SetNodePointRaw(Index, P);
}

void TNodeAnchor::GetPoint(TPoint& P) const
{
    P = Owner->GetNodePoint(Index);
}

void TNodeAnchor::SetX(int32_t Value)
{
    TPoint P = Owner->GetNodePoint(Index);
    P.X = Value;
    Owner->SetNodePointRaw(Index, P);
}

int32_t TNodeAnchor::GetX() const
{
    return Owner->GetNodePoint(Index).X;
}

void TNodeAnchor::SetY(int32_t Value)
{
    TPoint P = Owner->GetNodePoint(Index);
    P.Y = Value;
    Owner->SetNodePointRaw(Index, P);
}

int32_t TNodeAnchor::GetY() const
{
    return Owner->GetNodePoint(Index).Y;
}

void TNodeAnchor::Draw(TAnchorCanvas& Canvas, int32_t Size)
{
    Canvas.SetPenColor(0);
    Canvas.SetBrushColor(0);
    Canvas.SetBrushSolid();
    TCustomAnchor::Draw(Canvas, Size);
}

uint8_t TNodeAnchor::GetNodeKind() const
{
    return Owner->GetNodeKind(Index);
}

void TNodeAnchor::StoreStartPoint()
{
    const TPoint P = Point();
    StartX = P.X;
    StartY = P.Y;
}

void TNodeAnchor::RecordMove(TStream* UndoStream, TStream* RedoStream)
{
    const TPoint P = Point();
    if (P.X == StartX && P.Y == StartY)
        return;
    if (UndoStream)
        WritePointRecord(*UndoStream, *this, {StartX, StartY});
    if (RedoStream)
        WritePointRecord(*RedoStream, *this, P);
}

bool TNodeAnchor::GetNeighbourPoint(TPoint& P) const
{
    if (NeighbourIndex < 0 || NeighbourIndex >= Owner->PointCount())
        return false;
    P = Owner->GetNodePoint(NeighbourIndex);
    return true;
}

// ---------------------------------------------------------------------------
// TAnchors

TAnchors::TAnchors(TAnchorsOwner* AOwner) : FOwner(AOwner) {}

TAnchors::~TAnchors() = default;

void TAnchors::Clear()
{
    FList.clear();
    FRotationCenter = nullptr;
    FHitAnchor = nullptr;
}

TCustomAnchor* TAnchors::GetNodeAnchor(int32_t Index) const
{
    if (Index < 0 || Index >= GetCount())
        throw EListError("List index out of bounds (%d)", Index);
    return FList[static_cast<size_t>(Index)].get();
}

TNodeAnchor* TAnchors::GetFirstSelected() const
{
    for (const auto& A : FList)
        if (auto* N = dynamic_cast<TNodeAnchor*>(A.get()); N && N->Selected)
            return N;
    return nullptr;
}

int32_t TAnchors::GetSelectedCount() const
{
    int32_t Count = 0;
    for (const auto& A : FList)
        if (auto* N = dynamic_cast<TNodeAnchor*>(A.get()); N && N->Selected)
            ++Count;
    return Count;
}

void TAnchors::GetSelectedBounds(TRect& Rect) const
{
    Rect = AnchorsEmptyRect;
    for (const auto& A : FList) {
        auto* N = dynamic_cast<TNodeAnchor*>(A.get());
        if (!N || !N->Selected)
            continue;
        const TPoint P = N->Point();
        Rect.Left = std::min(Rect.Left, P.X);
        Rect.Top = std::min(Rect.Top, P.Y);
        Rect.Right = std::max(Rect.Right, P.X);
        Rect.Bottom = std::max(Rect.Bottom, P.Y);
    }
}

void TAnchors::SetHandleRect(const TRect& Rect)
{
    Clear();
    FRect = Rect;
    const int32_t CX = Mid(Rect.Left, Rect.Right);
    const int32_t CY = Mid(Rect.Top, Rect.Bottom);
    AddHandle(akTopRight, Rect.Right, Rect.Top);
    AddHandle(akTopLeft, Rect.Left, Rect.Top);
    AddHandle(akBottomLeft, Rect.Left, Rect.Bottom);
    AddHandle(akBottomRight, Rect.Right, Rect.Bottom);
    AddHandle(akTop, CX, Rect.Top);
    AddHandle(akLeft, Rect.Left, CY);
    AddHandle(akRight, Rect.Right, CY);
    AddHandle(akBottom, CX, Rect.Bottom);
}

void TAnchors::UnionItemBounds(TDrawItem& Item, TRect& R)
{
    if (auto* Group = dynamic_cast<TDrawGroup*>(&Item)) {
        for (int32_t I = 0; I < Group->GetCount(); ++I)
            UnionItemBounds(*Group->GetItem(I), R);
        return;
    }
    auto* Obj = dynamic_cast<TDrawObject*>(&Item);
    if (!Obj)
        return;
    const TRect& B = Obj->GetPath().Bounds;
    if (B.Left > B.Right || B.Top > B.Bottom)
        return;
    R.Left = std::min(R.Left, B.Left);
    R.Top = std::min(R.Top, B.Top);
    R.Right = std::max(R.Right, B.Right);
    R.Bottom = std::max(R.Bottom, B.Bottom);
}

void TAnchors::SetHandlesForItems(const std::vector<TDrawItem*>& Items, uint8_t NodeMode)
{
    Clear();
    FRect = AnchorsEmptyRect;
    if (NodeMode != 0)
        return;
    TRect R = AnchorsEmptyRect;
    for (TDrawItem* Item : Items)
        if (Item)
            UnionItemBounds(*Item, R);
    if (R.Left == MaxInt)
        return;
    SetHandleRect(R);
    const int32_t CX = Mid(R.Left, R.Right);
    const int32_t CY = Mid(R.Top, R.Bottom);
    FRotationCenter = AddHandle(akRotCenter, CX, CY);
    AddHandle(akRotTarget, CX, static_cast<int32_t>(CY - (int64_t(R.Bottom) - R.Top) / 4));
}

TAnchor* TAnchors::AddHandle(uint8_t Kind, int32_t X, int32_t Y)
{
    auto A = std::make_unique<TAnchor>(Kind, X, Y);
    TAnchor* P = A.get();
    FList.push_back(std::move(A));
    return P;
}

TNodeAnchor* TAnchors::AddNodeAnchor(uint8_t Kind, int32_t Index, TPolyLineObj* Owner,
                                     bool AfterCurve, uint8_t PointType, uint8_t AddType)
{
    try {
        if (!Owner)
            throw EUserError("TAnchors.AddNodeAnchor: Owner is nil");
        if (AddType > 3)
            throw EUserError("TAnchors.AddNodeAnchor: AddAnchorType Illegal");
        const TrecPath& Path = Owner->BasePath();
        int32_t First = 0;
        int32_t Last = 0;
        RecPolyLineGetFigureRange(Path, Index, First, Last);
        if (First < 0)
            throw EListError("List index out of bounds (%d)", Index);
        auto A = std::make_unique<TNodeAnchor>(Kind, Owner, Index, PointType);
        const TPoint Here = Owner->GetNodePoint(Index);
        // The anchors added just before, when they belong to this figure.
        auto Back = [&](size_t N) -> TNodeAnchor* {
            if (FList.size() < N)
                return nullptr;
            auto* B = dynamic_cast<TNodeAnchor*>(FList[FList.size() - N].get());
            return B && B->Owner == Owner ? B : nullptr;
        };
        TNodeAnchor* Prev = Index - First >= 1 ? Back(1) : nullptr;
        TNodeAnchor* Prev2 = Index - First >= 2 ? Back(2) : nullptr;
        const bool Closes = (PointType & PT_CLOSEFIGURE) != 0;

        if (AddType == 2 && Prev) {
            Prev->Link1 = A.get();
            A->Link1 = Prev;
            Prev->HandleLength = Distance(Prev->Point(), Here);
            if (Closes && First + 1 < Path.Count &&
                PathPointKind(Path.pabType[size_t(First + 1)]) == PT_BEZIERTO) {
                if (TNodeAnchor* C = FindNodeAnchor(Owner, First + 1)) {
                    C->Link2 = Prev;
                    Prev->Link2 = C;
                }
            }
        } else if (AddType == 3 && Prev) {
            A->Link1 = Prev;
            if (AfterCurve) {
                Prev->Link2 = A.get();
                if (Prev2) {
                    Prev2->Link2 = A.get();
                    A->Link2 = Prev2;
                }
            } else {
                Prev->Link1 = A.get();
            }
            A->HandleLength = Distance(Prev->Point(), Here);
        }

        const uint8_t Kind0 = PathPointKind(PointType);
        if (AddType == 0 && Prev && Kind0 == PT_LINETO) {
            A->NeighbourIndex = Prev->Index;
            Prev->NeighbourIndex = Index;
            if (Closes)
                if (TNodeAnchor* F = FindNodeAnchor(Owner, First))
                    F->NeighbourIndex = Prev->Index;
        } else if (AddType == 2 && Closes && First + 1 < Path.Count &&
                   PathPointKind(Path.pabType[size_t(First + 1)]) == PT_LINETO) {
            A->NeighbourIndex = First + 1;
        }
        TNodeAnchor* P = A.get();
        FList.push_back(std::move(A));
        return P;
    } catch (const Exception&) {
        throw EUserError("TAnchors.AddNodeAnchor: Failed");
    }
}

uint8_t TAnchors::HitTest(int32_t X, int32_t Y, int32_t ZoomPercent)
{
    FHitAnchor = nullptr;
    if (ZoomPercent < 1)
        return 0;
    const int32_t Tolerance = 700 / ZoomPercent;
    for (const auto& A : FList)
        if (A->Kind == akControl && A->HitTest(X, Y, Tolerance)) {
            FHitAnchor = A.get();
            return A->Kind;
        }
    for (const auto& A : FList)
        if (A->HitTest(X, Y, Tolerance)) {
            FHitAnchor = A.get();
            return A->Kind;
        }
    return 0;
}

void TAnchors::Draw(TAnchorCanvas* Canvas, int32_t ZoomPercent)
{
    if (!Canvas || Visible == 0 || ZoomPercent < 1)
        return;
    Canvas->SetPenColor(0);
    Canvas->SetBrushColor(0);
    for (const auto& A : FList) {
        auto* C = dynamic_cast<TNodeAnchor*>(A.get());
        if (!C || C->Kind != akControl || !C->Link1)
            continue;
        const TPoint P1 = Canvas->LPtoDP(C->Point());
        const TPoint P2 = Canvas->LPtoDP(C->Link1->Point());
        Canvas->BeginDeviceMapping();
        Canvas->MoveTo(P1.X, P1.Y);
        Canvas->LineTo(P2.X, P2.Y);
        Canvas->EndDeviceMapping();
    }
    const int32_t Size = 700 / ZoomPercent;
    for (const auto& A : FList)
        A->Draw(*Canvas, Size);
}

TNodeAnchor* TAnchors::FindNodeAnchor(const TPolyLineObj* Owner, int32_t Index) const
{
    for (const auto& A : FList)
        if (auto* N = dynamic_cast<TNodeAnchor*>(A.get()); N && N->Owner == Owner && N->Index == Index)
            return N;
    return nullptr;
}

void TAnchors::SetSelectedSub(TNodeAnchor* Anchor, uint8_t Selected, TStream* Records)
{
    if (Anchor->Selected != Selected) {
        if (Records) {
            StreamWriteInt32(*Records, Anchor->Owner->ObjID());
            StreamWriteInt32(*Records, Anchor->Index);
            Records->WriteBuffer(&Anchor->Selected, 1);
        }
        Anchor->Selected = Selected;
    }
}

void TAnchors::RecordSelection(TStream* Records, int32_t Code)
{
    auto* M = dynamic_cast<TMemoryStream*>(Records);
    if (M && M->Size() > 0 && FOwner) {
        FOwner->AnchorsAddHistory(0, Code, M->Memory(), static_cast<int32_t>(M->Size()));
        FOwner->AnchorsAddHistory(1, Code, M->Memory(), static_cast<int32_t>(M->Size()));
    }
    if (FOwner)
        FOwner->InvalidateAnchorViews();
}

void TAnchors::SetNodeSelected(TNodeAnchor* Anchor, uint8_t Selected, int32_t Code)
{
    if (!Anchor)
        return;
    TMemoryStream Records;
    TStream* S = Code >= 0 ? &Records : nullptr;
    SetSelectedSub(Anchor, Selected, S);
    if (Anchor->PointType & PT_CLOSEFIGURE) {
        int32_t First = 0;
        int32_t Last = 0;
        RecPolyLineGetFigureRange(Anchor->Owner->BasePath(), Anchor->Index, First, Last);
        if (First >= 0 && First != Anchor->Index)
            if (TNodeAnchor* F = FindNodeAnchor(Anchor->Owner, First))
                SetSelectedSub(F, Selected, S);
    }
    RecordSelection(S, Code);
}

void TAnchors::SetNodeSelectedByIndex(int32_t ListIndex, uint8_t Selected, int32_t Code)
{
    SetNodeSelected(dynamic_cast<TNodeAnchor*>(GetNodeAnchor(ListIndex)), Selected, Code);
}

void TAnchors::ClearNodeSelection(int32_t Code)
{
    TMemoryStream Records;
    TStream* S = Code >= 0 ? &Records : nullptr;
    for (const auto& A : FList)
        if (auto* N = dynamic_cast<TNodeAnchor*>(A.get()); N && N->Selected == 1)
            SetSelectedSub(N, 0, S);
    RecordSelection(S, Code);
}

void TAnchors::SelectNodesInRect(const TRect& Rect, int32_t Code)
{
    TMemoryStream Records;
    TStream* S = Code >= 0 ? &Records : nullptr;
    for (const auto& A : FList) {
        auto* N = dynamic_cast<TNodeAnchor*>(A.get());
        if (!N || N->Kind != akNode || !PointInRectIncl(N->Point(), Rect))
            continue;
        SetSelectedSub(N, 1, S);
        if (N->PointType & PT_CLOSEFIGURE) {
            int32_t First = 0;
            int32_t Last = 0;
            RecPolyLineGetFigureRange(N->Owner->BasePath(), N->Index, First, Last);
            if (First >= 0 && First != N->Index)
                if (TNodeAnchor* F = FindNodeAnchor(N->Owner, First))
                    SetSelectedSub(F, 1, S);
        }
    }
    RecordSelection(S, Code);
}

void TAnchors::MoveNodeAnchor(TCustomAnchor* Anchor, const TPoint& NewPoint, TStream* UndoStream,
                              TStream* RedoStream)
{
    if (!Anchor)
        return;
    const TPoint Old = Anchor->Point();
    if (Old == NewPoint)
        return;
    auto* N = dynamic_cast<TNodeAnchor*>(Anchor);
    if (N && UndoStream) {
        WritePointRecord(*UndoStream, *N, Old);
        if (RedoStream)
            WritePointRecord(*RedoStream, *N, NewPoint);
    }
    if (N)
        N->Owner->Invalidate(true);
    Anchor->SetPoint(NewPoint);
    if (N)
        N->Owner->NodesChanged();
}

void TAnchors::StoreStartPoints()
{
    for (const auto& A : FList)
        if (auto* N = dynamic_cast<TNodeAnchor*>(A.get()))
            N->StoreStartPoint();
}

void TAnchors::RecordMovedNodes(TStream* UndoStream, TStream* RedoStream)
{
    for (const auto& A : FList)
        if (auto* N = dynamic_cast<TNodeAnchor*>(A.get()))
            N->RecordMove(UndoStream, RedoStream);
}

bool TAnchors::ApplyNodeType(uint8_t NodeType, TStream* Stream)
{
    bool Result = false;
    std::vector<TPolyLineObj*> Changed;
    for (size_t I = 0; I < FList.size(); ++I) {
        auto* N = dynamic_cast<TNodeAnchor*>(FList[I].get());
        if (!N || N->Kind != akNode || !N->Selected)
            continue;
        if (!N->Owner->SetNodeKind(N->Index, NodeType, Stream))
            continue;
        Result = true;
        if (std::find(Changed.begin(), Changed.end(), N->Owner) == Changed.end())
            Changed.push_back(N->Owner);
        if (NodeType != nkSmooth && NodeType != nkSymmetric)
            continue;
        const TPoint P = N->Point();
        TNodeAnchor* A = N->Link1;
        TNodeAnchor* B = A ? A->Link2 : nullptr;
        TPoint Q;
        const bool HasNeighbour = N->GetNeighbourPoint(Q);
        if (A && B && !HasNeighbour) {
            const TPoint PA = A->Point();
            const TPoint PB = B->Point();
            const double DX = double(PB.X) - PA.X;
            const double DY = double(PB.Y) - PA.Y;
            const double L = Length(DX, DY);
            // Both controls on one spot give no direction: nothing moves.
            if (L == 0.0)
                continue;
            TPoint NewA;
            TPoint NewB;
            if (NodeType == nkSmooth) {
                NewB = {SaturateToInt(P.X + std::nearbyint(DX * B->HandleLength / L)),
                        SaturateToInt(P.Y + std::nearbyint(DY * B->HandleLength / L))};
                NewA = {SaturateToInt(P.X - std::nearbyint(DX * A->HandleLength / L)),
                        SaturateToInt(P.Y - std::nearbyint(DY * A->HandleLength / L))};
            } else {
                const int64_t HX = (int64_t(PB.X) - PA.X + 1) / 2;
                const int64_t HY = (int64_t(PB.Y) - PA.Y + 1) / 2;
                NewB = {SaturateToInt(double(P.X + HX)), SaturateToInt(double(P.Y + HY))};
                NewA = {SaturateToInt(double(P.X - HX)), SaturateToInt(double(P.Y - HY))};
                A->HandleLength = L;
                B->HandleLength = L;
            }
            MoveNodeAnchor(B, NewB, Stream, nullptr);
            MoveNodeAnchor(A, NewA, Stream, nullptr);
        } else if (A && HasNeighbour) {
            const double DX = 4.0 * (double(P.X) - Q.X);
            const double DY = 4.0 * (double(P.Y) - Q.Y);
            const double L = Length(DX, DY);
            if (L != 0.0)
                MoveNodeAnchor(A,
                               {SaturateToInt(P.X + std::nearbyint(DX * A->HandleLength / L)),
                                SaturateToInt(P.Y + std::nearbyint(DY * A->HandleLength / L))},
                               Stream, nullptr);
        }
    }
    for (TPolyLineObj* Obj : Changed)
        Obj->NodesChanged();
    return Result;
}

void TAnchors::GetSeletedState(uint8_t& NodeState, uint8_t& SegmentState, bool& Joinable) const
{
    NodeState = 0;
    SegmentState = 0;
    int32_t Count = 0;
    const TNodeAnchor* PrevSel = nullptr;
    for (const auto& Item : FList) {
        auto* A = dynamic_cast<TNodeAnchor*>(Item.get());
        if (!A || !A->Selected)
            continue;
        ++Count;
        const TrecPath& Path = A->Owner->BasePath();
        int32_t First = 0;
        int32_t Last = 0;
        RecPolyLineGetFigureRange(Path, A->Index, First, Last);
        const bool Open = Last >= 0 && (Path.pabType[size_t(Last)] & PT_CLOSEFIGURE) == 0;
        if (Open && (A->Index == First || A->Index == Last)) {
            if (NodeState == 0)
                NodeState = 1;
        } else {
            const uint8_t T = A->GetNodeKind();
            const uint8_t S = NodeState;
            if (T == nkSharp) {
                if (S < 2)
                    NodeState = 3;
                else if (S == 2 || S == 4)
                    NodeState = 5;
            } else if (T == nkSmooth) {
                if (S < 2)
                    NodeState = 2;
                else if (S == 3 || S == 4)
                    NodeState = 5;
            } else if (T == nkSymmetric) {
                if (S < 2)
                    NodeState = 4;
                else if (S == 2 || S == 3)
                    NodeState = 5;
            }
        }
        const uint8_t P = PathPointKind(A->PointType);
        if (A->Index > 0 && P != PT_MOVETO && PrevSel && PrevSel->Owner == A->Owner) {
            if (P == PT_LINETO && PrevSel->Index == A->Index - 1) {
                if (SegmentState == 0)
                    SegmentState = 1;
                else if (SegmentState == 2)
                    SegmentState = 3;
            } else if (P == PT_BEZIERTO && PrevSel->Index == A->Index - 3) {
                if (SegmentState == 0)
                    SegmentState = 2;
                else if (SegmentState == 1)
                    SegmentState = 3;
            }
        }
        PrevSel = A;
    }
    Joinable = NodeState == 1 && Count == 2;
}
