#include "model/poly_line_obj.h"

#include "foundation/bezier.h"
#include "foundation/geometry.h"
#include "foundation/platform_wrappers.h"
#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/anchors.h"
#include "model/draw_group.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUndoDataError = "TPolyLineObj.Undo: Illegal Data.";
// Places farther than this (squared) are no place on the path.
constexpr int64_t kNearestLimit = 1073741824;

std::unique_ptr<TDrawItem> NewPolyLine(TPageLink* Page, int32_t ID)
{
    return std::make_unique<TPolyLineObj>(Page, ID);
}

void CheckIndex(int32_t Index, int32_t Count)
{
    if (Index < 0 || Index >= Count)
        throw EListError("List index out of bounds (%d)", Index);
}

}  // namespace

// A working copy of the points, types and node kinds: the node commands
// build the new state here and store it only when it is complete.
struct TPolyLineObj::TWork {
    std::vector<TPoint> P;
    std::vector<uint8_t> T;
    std::vector<uint8_t> K;

    int32_t N() const { return static_cast<int32_t>(P.size()); }
    uint8_t Kind(int32_t I) const { return PathPointKind(T[size_t(I)]); }
    bool Closed(int32_t Last) const { return (T[size_t(Last)] & PT_CLOSEFIGURE) != 0; }

    void Range(int32_t I, int32_t& First, int32_t& Last) const
    {
        First = I;
        while (First > 0 && Kind(First) != PT_MOVETO)
            --First;
        Last = I;
        while (Last + 1 < N() && Kind(Last + 1) != PT_MOVETO)
            ++Last;
    }
    // A whole Bezier triple J, J+1, J+2 within the figure ending at Last.
    bool CurveAt(int32_t J, int32_t Last) const
    {
        return J >= 1 && J + 2 <= Last && Kind(J) == PT_BEZIERTO && Kind(J + 1) == PT_BEZIERTO &&
               Kind(J + 2) == PT_BEZIERTO;
    }
    std::vector<bool> Nodes() const
    {
        std::vector<bool> R(P.size(), false);
        int32_t I = 0;
        while (I < N()) {
            int32_t First, Last;
            Range(I, First, Last);
            R[size_t(First)] = true;
            int32_t J = First + 1;
            while (J <= Last) {
                if (CurveAt(J, Last)) {
                    R[size_t(J + 2)] = true;
                    J += 3;
                } else {
                    R[size_t(J)] = true;
                    ++J;
                }
            }
            I = Last + 1;
        }
        return R;
    }
    void Insert(int32_t At, const TPoint& Pt, uint8_t Kind, uint8_t Type)
    {
        P.insert(P.begin() + At, Pt);
        T.insert(T.begin() + At, Type);
        K.insert(K.begin() + At, Kind);
    }
    void Erase(int32_t At, int32_t Count)
    {
        P.erase(P.begin() + At, P.begin() + At + Count);
        T.erase(T.begin() + At, T.begin() + At + Count);
        K.erase(K.begin() + At, K.begin() + At + Count);
    }

    int32_t CloseFigure(int32_t First, int32_t Last)
    {
        if (Closed(Last) || Last - First < 2)
            return -1;
        if (PointsEqual(P[size_t(First)], P[size_t(Last)])) {
            T[size_t(Last)] |= PT_CLOSEFIGURE;
            return -1;
        }
        Insert(Last + 1, P[size_t(First)], nkSmooth, PT_LINETO | PT_CLOSEFIGURE);
        return Last + 1;
    }

    // Returns the change of the point count.
    int32_t LineToCurve(int32_t First, int32_t Last)
    {
        int32_t Added = 0;
        for (int32_t J = std::max(First, 1); J <= Last + Added; ++J) {
            if (Kind(J) != PT_LINETO)
                continue;
            const TPoint S = P[size_t(J - 1)];
            const TPoint E = P[size_t(J)];
            auto Third = [](int32_t A, int32_t B) {
                return static_cast<int32_t>((2.0 * A + B) / 3.0 + 0.5);
            };
            const uint8_t Close = T[size_t(J)] & PT_CLOSEFIGURE;
            Insert(J, {Third(E.X, S.X), Third(E.Y, S.Y)}, nkSharp, PT_BEZIERTO);
            Insert(J, {Third(S.X, E.X), Third(S.Y, E.Y)}, nkSharp, PT_BEZIERTO);
            T[size_t(J + 2)] = PT_BEZIERTO | Close;
            if (K[size_t(J - 1)] == nkSymmetric)
                K[size_t(J - 1)] = nkSmooth;
            if (K[size_t(J + 2)] == nkSymmetric)
                K[size_t(J + 2)] = nkSmooth;
            Added += 2;
            J += 2;
        }
        return Added;
    }

    int32_t CurveToLine(int32_t First, int32_t Last)
    {
        // Walk whole segments from the node at or before First, so that a
        // range starting inside a triple never pairs points of two curves.
        const std::vector<bool> IsNode = Nodes();
        int32_t J = std::max(First, 0);
        while (J > 0 && !IsNode[size_t(J)])
            --J;
        ++J;
        int32_t Removed = 0;
        while (J <= Last - Removed && J < N()) {
            int32_t F, L;
            Range(J, F, L);
            if (J == F || !CurveAt(J, L)) {
                ++J;
                continue;
            }
            if (J < First || J + 2 > Last - Removed) {
                J += 3;
                continue;
            }
            const uint8_t Close = T[size_t(J + 2)] & PT_CLOSEFIGURE;
            Erase(J, 2);
            T[size_t(J)] = PT_LINETO | Close;
            K[size_t(J)] = nkSharp;
            Removed += 2;
            ++J;
        }
        return -Removed;
    }

    // The node I between its two segments (not a figure's end).
    void DeleteMiddle(int32_t I, int32_t First, int32_t Last)
    {
        const bool InCurve = I - 2 > First && CurveAt(I - 2, Last) && I - 2 >= First + 1;
        const bool OutCurve = CurveAt(I + 1, Last);
        if (InCurve && OutCurve) {
            Erase(I - 1, 3);
        } else if (InCurve) {
            P[size_t(I - 1)] = InterpolatePoint(P[size_t(I)], P[size_t(I + 1)], 1, 2);
            T[size_t(I + 1)] = PT_BEZIERTO | (T[size_t(I + 1)] & PT_CLOSEFIGURE);
            Erase(I, 1);
        } else if (OutCurve) {
            P[size_t(I + 1)] = InterpolatePoint(P[size_t(I)], P[size_t(I - 1)], 1, 2);
            Erase(I, 1);
        } else {
            Erase(I, 1);
        }
    }

    void DeleteNode(int32_t I)
    {
        int32_t First, Last;
        Range(I, First, Last);
        if (Closed(Last) && First < Last) {
            // A closed figure repeats its start as its last point.
            if (!PointsEqual(P[size_t(First)], P[size_t(Last)])) {
                T[size_t(Last)] &= static_cast<uint8_t>(~PT_CLOSEFIGURE);
                Insert(Last + 1, P[size_t(First)], K[size_t(First)], PT_LINETO | PT_CLOSEFIGURE);
                ++Last;
            }
            if (I == First || I == Last) {
                // Start the figure at the node before the closing segment, so
                // that the deleted node lies between two segments.
                const int32_t Before = CurveAt(Last - 2, Last) ? Last - 3 : Last - 1;
                if (Before <= First) {
                    Erase(First, Last - First + 1);
                    return;
                }
                TWork R;
                R.Insert(0, P[size_t(Before)], K[size_t(Before)], PT_MOVETO);
                for (int32_t J = Before + 1; J <= Last; ++J)
                    R.Insert(R.N(), P[size_t(J)], K[size_t(J)], T[size_t(J)]);
                R.T.back() &= static_cast<uint8_t>(~PT_CLOSEFIGURE);
                for (int32_t J = First + 1; J <= Before; ++J)
                    R.Insert(R.N(), P[size_t(J)], K[size_t(J)], T[size_t(J)]);
                R.T.back() |= PT_CLOSEFIGURE;
                std::copy(R.P.begin(), R.P.end(), P.begin() + First);
                std::copy(R.T.begin(), R.T.end(), T.begin() + First);
                std::copy(R.K.begin(), R.K.end(), K.begin() + First);
                DeleteMiddle(First + (Last - Before), First, Last);
                return;
            }
            DeleteMiddle(I, First, Last);
            return;
        }
        if (I == First) {
            if (First == Last) {
                Erase(First, 1);
            } else {
                Erase(First, CurveAt(First + 1, Last) ? 3 : 1);
                T[size_t(First)] = PT_MOVETO;
            }
        } else if (I == Last) {
            if (Last - 2 > First && CurveAt(Last - 2, Last))
                Erase(Last - 2, 3);
            else
                Erase(Last, 1);
        } else {
            DeleteMiddle(I, First, Last);
        }
    }

    bool Same(const TrecPath& Path, const std::vector<uint8_t>& Kinds) const
    {
        if (N() != Path.Count || K != Kinds)
            return false;
        for (int32_t I = 0; I < N(); ++I)
            if (P[size_t(I)] != Path.Points[size_t(I)] || T[size_t(I)] != Path.pabType[size_t(I)])
                return false;
        return true;
    }
};

const TDrawItemClass TPolyLineObj::ClassInfo{"TPolyLineObj", &TLineObject::ClassInfo, &NewPolyLine};

TPolyLineObj::TPolyLineObj(TPageLink* APage, int32_t AID) : TLineObject(APage, AID) {}

TPolyLineObj::~TPolyLineObj() = default;

void RegisterPolyLineObjType()
{
    RegisterDrawItemType(doftPolyLine, &NewPolyLine);
}

// ---------------------------------------------------------------------------
// State

void TPolyLineObj::SyncKinds()
{
    FNodeKinds.resize(size_t(std::max(FBasePath.Count, 0)), 0);
}

void TPolyLineObj::LoadWork(TWork& W)
{
    EnsureBasePath();
    SyncKinds();
    const size_t N = size_t(FBasePath.Count);
    W.P.assign(FBasePath.Points.begin(), FBasePath.Points.begin() + N);
    W.T.assign(FBasePath.pabType.begin(), FBasePath.pabType.begin() + N);
    W.K = FNodeKinds;
}

void TPolyLineObj::ApplyWork(TWork& W)
{
    Invalidate(true);
    RecPolyLineSetCount(FBasePath, W.N());
    std::copy(W.P.begin(), W.P.end(), FBasePath.Points.begin());
    std::copy(W.T.begin(), W.T.end(), FBasePath.pabType.begin());
    FNodeKinds = W.K;
    RecPathCalcBounds(FBasePath);
    SetPathState(1);
    SetOutputPathState(0);
    DeclareAnchorsInvalid();
    SetModified();
}

bool TPolyLineObj::Commit(TWork& W)
{
    if (W.Same(FBasePath, FNodeKinds))
        return false;
    RecordBasePath(0);
    ApplyWork(W);
    return true;
}

void TPolyLineObj::RecordBasePath(uint8_t Kind)
{
    if (!CanRecord())
        return;
    SyncKinds();
    RecPathCalcBounds(FBasePath);
    TMemoryStream S;
    RecPathWriteToStream(FBasePath, S);
    if (!FNodeKinds.empty())
        S.WriteBuffer(FNodeKinds.data(), static_cast<int32_t>(FNodeKinds.size()));
    AddHistory(Kind, PolyLineUndoCode, S.Memory(), static_cast<int32_t>(S.Size()));
}

void TPolyLineObj::RestoreRecord(const void* Data, int32_t Size)
{
    if (!Data || Size <= 0)
        return;
    TMemoryStreamWex S;
    S.SetPointer(Data, Size);
    TrecPath Path;
    std::vector<uint8_t> Kinds;
    bool Bad = false;
    try {
        RecPathReadFromStream(Path, S);
        Kinds.resize(size_t(Path.Count));
        if (!Kinds.empty())
            S.ReadBuffer(Kinds.data(), Path.Count);
    } catch (const Exception&) {
        Bad = true;
    }
    if (Bad)
        throw EUserError(kUndoDataError);
    Invalidate(true);
    RecPathAssign(FBasePath, Path);
    FNodeKinds = std::move(Kinds);
    SetPathState(2);
    SetOutputPathState(0);
    DeclareAnchorsInvalid();
}

void TPolyLineObj::Undo(int32_t Command, const void* Data, int32_t Size)
{
    if ((Command & 0x7F) == PolyLineUndoCode)
        RestoreRecord(Data, Size);
    else
        TLineObject::Undo(Command, Data, Size);
}

void TPolyLineObj::Redo(int32_t Command, const void* Data, int32_t Size)
{
    if ((Command & 0x7F) == PolyLineUndoCode)
        RestoreRecord(Data, Size);
    else
        TLineObject::Redo(Command, Data, Size);
}

void TPolyLineObj::NodesChanged()
{
    RecPathCalcBounds(FBasePath);
    SetPathState(1);
    SetOutputPathState(0);
    SetModified();
}

// ---------------------------------------------------------------------------
// Stream forms: the node kinds are counted by the base path in every form.

void TPolyLineObj::WriteToStream(TStream& Stream)
{
    // The stored bounds are those of the points, however lazily the path
    // state would have computed them.
    RecPathCalcBounds(FBasePath);
    Stream.WriteBuffer(&doftPolyLine, 1);
    TLineObject::WriteToStream(Stream);
    SyncKinds();
    if (!FNodeKinds.empty())
        Stream.WriteBuffer(FNodeKinds.data(), static_cast<int32_t>(FNodeKinds.size()));
}

void TPolyLineObj::ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TLineObject::ReadFromStream(Stream, IDMap, Version);
    std::vector<uint8_t> Kinds(size_t(FBasePath.Count), 0);
    if (!Kinds.empty())
        Stream.ReadBuffer(Kinds.data(), FBasePath.Count);
    FNodeKinds = std::move(Kinds);
}

void TPolyLineObj::WriteToStreamAsText(TStream& Stream)
{
    RecPathCalcBounds(FBasePath);
    StreamWriteln(Stream, std::to_string(doftPolyLine));
    TLineObject::WriteToStreamAsText(Stream);
    SyncKinds();
    for (uint8_t K : FNodeKinds)
        StreamWriteln(Stream, std::to_string(K));
}

void TPolyLineObj::ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TLineObject::ReadFromStreamAsText(Stream, IDMap, Version);
    std::vector<uint8_t> Kinds(size_t(FBasePath.Count), 0);
    for (uint8_t& K : Kinds)
        K = ReadByteLine(Stream, "TPolyLineObj.ReadFromStreamAsText");
    FNodeKinds = std::move(Kinds);
}

// ---------------------------------------------------------------------------

void TPolyLineObj::Assign(TDrawItem* Source)
{
    auto* S = dynamic_cast<TPolyLineObj*>(Source);
    if (!S)
        throw EConvertError("TPolyLineObj.Assign: DrawItemSrc is not TPolyLineObj");
    TLineObject::Assign(Source);
    if (S == this)
        return;
    S->SyncKinds();
    FNodeKinds = S->FNodeKinds;
    SyncKinds();
}

bool TPolyLineObj::ValuesDrawable(int32_t Dpi) const
{
    const size_t N = std::min(FBasePath.Points.size(), size_t(std::max(FBasePath.Count, 0)));
    int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    for (size_t I = 0; I < N; ++I) {
        const int64_t X = FBasePath.Points[I].X, Y = FBasePath.Points[I].Y;
        if (!WithinItemReach(X) || !WithinItemReach(Y))
            return false;
        Left = I ? std::min(Left, X) : X;
        Right = I ? std::max(Right, X) : X;
        Top = I ? std::min(Top, Y) : Y;
        Bottom = I ? std::max(Bottom, Y) : Y;
    }
    return BoxWithinPicture(Right - Left, Bottom - Top) && RecPolyLineWalkable(FBasePath) &&
           std::all_of(FNodeKinds.begin(), FNodeKinds.end(), [](uint8_t K) { return K <= nkSymmetric; }) &&
           TLineObject::ValuesDrawable(Dpi);
}

namespace {

// The points brought within the item reach, and a line whose box is too
// large to draw scaled down about its box's top-left corner by one factor
// on both axes, so that it keeps its shape, until its box is one that
// paints (BoxHeldToPaint). True when a point moved.
bool HoldLinePoints(TrecPolyLine& Path)
{
    const size_t N = std::min(Path.Points.size(), size_t(std::max(Path.Count, 0)));
    if (N == 0)
        return false;
    bool Changed = false;
    for (size_t I = 0; I < N; ++I) {
        TPoint& P = Path.Points[I];
        const TPoint Was = P;
        P.X = std::clamp(P.X, -MaxItemReach, MaxItemReach);
        P.Y = std::clamp(P.Y, -MaxItemReach, MaxItemReach);
        Changed = Changed || P.X != Was.X || P.Y != Was.Y;
    }
    int64_t Left = Path.Points[0].X, Top = Path.Points[0].Y, Right = Left, Bottom = Top;
    for (size_t I = 1; I < N; ++I) {
        Left = std::min<int64_t>(Left, Path.Points[I].X);
        Right = std::max<int64_t>(Right, Path.Points[I].X);
        Top = std::min<int64_t>(Top, Path.Points[I].Y);
        Bottom = std::max<int64_t>(Bottom, Path.Points[I].Y);
    }
    const int64_t W = Right - Left, H = Bottom - Top;
    if (BoxWithinPicture(W, H))
        return Changed;
    const std::vector<TPoint> Original(Path.Points.begin(), Path.Points.begin() + long(N));
    double Factor = std::min({double(MaxHeldItemSide) / double(std::max<int64_t>(W, 1)),
                              double(MaxHeldItemSide) / double(std::max<int64_t>(H, 1)),
                              std::sqrt(double(MaxPicturePixels) / (double(std::max<int64_t>(W, 1)) *
                                                                    double(std::max<int64_t>(H, 1))))});
    for (;;) {
        // Scaled towards the corner, each point stays within the box and so
        // within the reach.
        // A hair is added before the floor so that a length the factor
        // makes whole in exact arithmetic stays whole.
        const auto Part = [Factor](int64_t Length) { return static_cast<int64_t>(std::floor(double(Length) * Factor + 1e-7)); };
        for (size_t I = 0; I < N; ++I)
            Path.Points[I] = TPoint{static_cast<int32_t>(Left + Part(Original[I].X - Left)),
                                    static_cast<int32_t>(Top + Part(Original[I].Y - Top))};
        if (BoxHeldToPaint(Part(W), Part(H)))
            return true;
        Factor *= 0.999;
    }
}

} // namespace

void TPolyLineObj::BringValuesIntoRange(int32_t Dpi)
{
    SyncKinds();
    if (HoldLinePoints(FBasePath)) {
        RecPathCalcBounds(FBasePath);
        SetPathState(1);
        SetOutputPathState(0);
    }
    for (uint8_t& K : FNodeKinds)
        if (K > nkSymmetric)
            K = nkSharp;
    if (RecPolyLineMendTypes(FBasePath)) {
        SetPathState(1);
        SetOutputPathState(0);
    }
    TLineObject::BringValuesIntoRange(Dpi);
}

void TPolyLineObj::MoveBy(int32_t DX, int32_t DY)
{
    if (DX == 0 && DY == 0)
        return;
    EnsureBasePath();
    Invalidate(true);
    RecPathOffset(FBasePath, DX, DY);
    SetOutputPathState(0);
    TLineObject::MoveBy(DX, DY);
}

void TPolyLineObj::SetPathRecord(const TrecPath& Path)
{
    TLineObject::SetPathRecord(Path);
    FNodeKinds.assign(size_t(FBasePath.Count), 0);
}

void TPolyLineObj::SetNodeKindRaw(int32_t Index, uint8_t Kind)
{
    SyncKinds();
    CheckIndex(Index, FBasePath.Count);
    FNodeKinds[size_t(Index)] = Kind;
}

void TPolyLineObj::SetNodePointRaw(int32_t Index, const TPoint& Point)
{
    CheckIndex(Index, FBasePath.Count);
    FBasePath.Points[size_t(Index)] = Point;
}

uint8_t TPolyLineObj::GetNodeKind(int32_t Index) const
{
    CheckIndex(Index, FBasePath.Count);
    return size_t(Index) < FNodeKinds.size() ? FNodeKinds[size_t(Index)] : 0;
}

TPoint TPolyLineObj::GetNodePoint(int32_t Index) const
{
    CheckIndex(Index, FBasePath.Count);
    return FBasePath.Points[size_t(Index)];
}

uint8_t TPolyLineObj::GetPointType(int32_t Index) const
{
    CheckIndex(Index, FBasePath.Count);
    return FBasePath.pabType[size_t(Index)];
}

bool TPolyLineObj::IsNode(int32_t Index) const
{
    if (Index < 0 || Index >= FBasePath.Count)
        return false;
    TWork W;
    W.P.assign(FBasePath.Points.begin(), FBasePath.Points.begin() + FBasePath.Count);
    W.T.assign(FBasePath.pabType.begin(), FBasePath.pabType.begin() + FBasePath.Count);
    return W.Nodes()[size_t(Index)];
}

// ---------------------------------------------------------------------------
// Primitives

void TPolyLineObj::AppendLine(TLineObject& Other)
{
    EnsureBasePath();
    SyncKinds();
    Invalidate(true);
    TrecPath Add;
    RecPathAssign(Add, Other.GetBasePath());
    std::vector<uint8_t> Kinds(size_t(Add.Count), 0);
    if (auto* Poly = dynamic_cast<TPolyLineObj*>(&Other)) {
        Poly->SyncKinds();
        Kinds = Poly->FNodeKinds;
    }
    RecPathAppend(FBasePath, Add);
    RecPathCalcBounds(FBasePath);
    FNodeKinds.insert(FNodeKinds.end(), Kinds.begin(), Kinds.end());
    SetPathState(1);
    SetOutputPathState(0);
    DeclareAnchorsInvalid();
    SetModified();
}

int32_t TPolyLineObj::CountNodes(int32_t First, int32_t Last) const
{
    int32_t Count = 0;
    const int32_t End = std::min(Last, FBasePath.Count - 1);
    for (int32_t I = std::max(First, 0); I <= End; ++I) {
        ++Count;
        if (PathPointKind(FBasePath.pabType[size_t(I)]) == PT_BEZIERTO)
            I += 2;
    }
    return Count;
}

bool TPolyLineObj::RemoveDegenerateFigures()
{
    TWork W;
    LoadWork(W);
    TWork Kept;
    bool Dropped = false;
    for (int32_t I = 0; I < W.N();) {
        int32_t First, Last;
        W.Range(I, First, Last);
        const int32_t Nodes = CountNodes(First, Last);
        const bool Keep = Nodes >= 4 || (Nodes >= 2 && !W.Closed(Last));
        if (Keep)
            for (int32_t J = First; J <= Last; ++J)
                Kept.Insert(Kept.N(), W.P[size_t(J)], W.K[size_t(J)], W.T[size_t(J)]);
        else
            Dropped = true;
        I = Last + 1;
    }
    if (Dropped)
        Commit(Kept);
    return Dropped;
}

bool TPolyLineObj::SetNodeKind(int32_t Index, uint8_t Kind, TStream* UndoStream)
{
    EnsureBasePath();
    SyncKinds();
    if (Index < 0 || Index >= FBasePath.Count)
        throw EUserError("TPolyLineObj.SetNodeSmooth: iIndex incorrect");
    const uint8_t Old = FNodeKinds[size_t(Index)];
    if (Old == Kind)
        return false;
    if (UndoStream) {
        uint8_t Rec[PointChangeRecordSize] = {};
        const int32_t ID = ObjID();
        std::memcpy(Rec, &ID, 4);
        std::memcpy(Rec + 4, &Index, 4);
        Rec[8] = 0;
        Rec[9] = Old;
        UndoStream->WriteBuffer(Rec, PointChangeRecordSize);
    }
    Invalidate(true);
    FNodeKinds[size_t(Index)] = Kind;
    SetOutputPathState(0);
    SetModified();
    return true;
}

void TPolyLineObj::InsertPoint(int32_t Index, const TPoint& Point, uint8_t NodeKind, uint8_t Type)
{
    TWork W;
    LoadWork(W);
    if (Index < 0 || Index > W.N())
        throw EListError("List index out of bounds (%d)", Index);
    W.Insert(Index, Point, NodeKind, Type);
    ApplyWork(W);
}

void TPolyLineObj::DeletePoints(int32_t Start, int32_t N)
{
    TWork W;
    LoadWork(W);
    if (N < 0 || Start < 0 || int64_t(Start) + N > W.N())
        throw EListError("List index out of bounds (%d)", Start);
    if (N == 0)
        return;
    W.Erase(Start, N);
    ApplyWork(W);
}

void TPolyLineObj::MovePoints(int32_t From, int32_t To, int32_t N)
{
    TWork W;
    LoadWork(W);
    if (N < 0 || From < 0 || To < 0 || int64_t(From) + N > W.N() || int64_t(To) + N > W.N())
        throw EListError("List index out of bounds (%d)", From < 0 || int64_t(From) + N > W.N() ? From : To);
    if (N == 0 || From == To)
        return;
    std::memmove(W.P.data() + To, W.P.data() + From, size_t(N) * sizeof(TPoint));
    std::memmove(W.T.data() + To, W.T.data() + From, size_t(N));
    std::memmove(W.K.data() + To, W.K.data() + From, size_t(N));
    ApplyWork(W);
}

int32_t TPolyLineObj::CloseFigure(int32_t First, int32_t Last)
{
    TWork W;
    LoadWork(W);
    if (First < 0 || Last >= W.N() || First > Last)
        throw EListError("List index out of bounds (%d)", First < 0 || First > Last ? First : Last);
    const int32_t R = W.CloseFigure(First, Last);
    if (!W.Same(FBasePath, FNodeKinds))
        ApplyWork(W);
    return R;
}

int32_t TPolyLineObj::CloseFigureAt(int32_t Index)
{
    EnsureBasePath();
    CheckIndex(Index, FBasePath.Count);
    int32_t First, Last;
    RecPolyLineGetFigureRange(FBasePath, Index, First, Last);
    return CloseFigure(First, Last);
}

void TPolyLineObj::LineToCurve(int32_t First, int32_t Last)
{
    TWork W;
    LoadWork(W);
    if (First < 0 || Last >= W.N())
        throw EListError("List index out of bounds (%d)", First < 0 ? First : Last);
    W.LineToCurve(First, Last);
    if (!W.Same(FBasePath, FNodeKinds))
        ApplyWork(W);
}

void TPolyLineObj::CurveToLine(int32_t First, int32_t Last)
{
    TWork W;
    LoadWork(W);
    if (First < 0 || Last >= W.N())
        throw EListError("List index out of bounds (%d)", First < 0 ? First : Last);
    W.CurveToLine(First, Last);
    if (!W.Same(FBasePath, FNodeKinds))
        ApplyWork(W);
}

void TPolyLineObj::ReverseFigure(int32_t Index)
{
    EnsureBasePath();
    SyncKinds();
    CheckIndex(Index, FBasePath.Count);
    int32_t First, Last;
    RecPolyLineGetFigureRange(FBasePath, Index, First, Last);
    if (First >= Last)
        return;
    Invalidate(true);
    RecPolyLineReverseFigure(FBasePath, Index);
    std::reverse(FNodeKinds.begin() + First, FNodeKinds.begin() + Last + 1);
    SetPathState(1);
    SetOutputPathState(0);
    DeclareAnchorsInvalid();
    SetModified();
}

// ---------------------------------------------------------------------------
// Recorded node commands

int32_t TPolyLineObj::InsertNode(const TPoint& Point)
{
    TWork W;
    LoadWork(W);
    int64_t Dist = 0;
    TPoint Near = Point;
    double T = 0.0;
    int32_t I = -1;
    RecPolyLineNearestPoint(FBasePath, Point, 1.0, &Dist, &Near, &T, &I);
    if (I < 0 || Dist >= kNearestLimit)
        return -1;
    int32_t First, Last;
    W.Range(I + 1, First, Last);
    int32_t Result;
    if (W.CurveAt(I + 1, Last)) {
        TPoint Q[4];
        TPoint R[4];
        BezierSplitAt(&W.P[size_t(I)], T, Q, R);
        const uint8_t EndKind = W.K[size_t(I + 3)];
        W.Insert(I + 1, Q[3], EndKind, PT_BEZIERTO);
        W.Insert(I + 1, Q[2], nkSmooth, PT_BEZIERTO);
        W.Insert(I + 1, Q[1], nkSmooth, PT_BEZIERTO);
        W.P[size_t(I + 4)] = R[1];
        W.P[size_t(I + 5)] = R[2];
        W.K[size_t(I)] = nkSmooth;
        Result = I + 3;
    } else {
        W.Insert(I + 1, Near, nkSymmetric, PT_LINETO);
        Result = I + 1;
    }
    Commit(W);
    return Result;
}

namespace {

// Sorted, unique, every index a node; EUserError naming the caller otherwise.
std::vector<int32_t> CheckedNodes(const std::vector<bool>& Nodes, std::vector<int32_t> Selected,
                                  const char* Caller)
{
    std::sort(Selected.begin(), Selected.end());
    Selected.erase(std::unique(Selected.begin(), Selected.end()), Selected.end());
    for (int32_t I : Selected)
        if (I < 0 || size_t(I) >= Nodes.size() || !Nodes[size_t(I)])
            throw EUserError(std::string(Caller) + ": iIndex incorrect (" + std::to_string(I) + ")");
    return Selected;
}

}  // namespace

void TPolyLineObj::ToLine(std::vector<int32_t>& Selected)
{
    TWork W;
    LoadWork(W);
    std::vector<int32_t> Sel = CheckedNodes(W.Nodes(), Selected, "TPolyLineObj.ToLine");
    for (size_t N = 0; N + 1 < Sel.size(); ++N) {
        const int32_t A = Sel[N];
        const int32_t B = Sel[N + 1];
        int32_t First, Last;
        W.Range(B, First, Last);
        if (A < First || B != A + 3 || !W.CurveAt(A + 1, Last))
            continue;
        if (A == First && W.Kind(A) != PT_MOVETO && A != 0)
            throw EUserError("ToLine: iIndex1 <> iStart");
        const int32_t Delta = W.CurveToLine(A + 1, B);
        for (int32_t& S : Sel)
            if (S >= B)
                S += Delta;
        Last += Delta;
        if (A == First && W.Closed(Last))
            W.K[size_t(Last)] = W.K[size_t(First)];
    }
    Commit(W);
    Selected = Sel;
}

void TPolyLineObj::ToCurve(std::vector<int32_t>& Selected)
{
    TWork W;
    LoadWork(W);
    std::vector<int32_t> Sel = CheckedNodes(W.Nodes(), Selected, "TPolyLineObj.ToCurve");
    for (size_t N = 0; N + 1 < Sel.size(); ++N) {
        const int32_t A = Sel[N];
        const int32_t B = Sel[N + 1];
        int32_t First, Last;
        W.Range(B, First, Last);
        if (A < First || B != A + 1 || W.Kind(B) != PT_LINETO)
            continue;
        if (A == First && W.Kind(A) != PT_MOVETO && A != 0)
            throw EUserError("ToLine: iIndex1 <> iStart");
        const int32_t Delta = W.LineToCurve(B, B);
        for (int32_t& S : Sel)
            if (S >= B)
                S += Delta;
        Last += Delta;
        if (A == First && W.Closed(Last))
            W.K[size_t(Last)] = W.K[size_t(First)];
    }
    Commit(W);
    Selected = Sel;
}

void TPolyLineObj::DeletePoint(const std::vector<int32_t>& Selected)
{
    TWork W;
    LoadWork(W);
    const std::vector<bool> Nodes = W.Nodes();
    std::vector<int32_t> Sel;
    for (int32_t I : Selected) {
        if (I < 0 || I >= W.N() || !Nodes[size_t(I)]) {
            ErrorMessageBox("TPolyLineObj.DeletePoint: iIndexDel incorrect !");
            return;
        }
        // The last point of a closed figure is its start node again.
        int32_t First, Last;
        W.Range(I, First, Last);
        if (I == Last && First < Last && W.Closed(Last) &&
            PointsEqual(W.P[size_t(First)], W.P[size_t(Last)]))
            I = First;
        Sel.push_back(I);
    }
    std::sort(Sel.begin(), Sel.end());
    Sel.erase(std::unique(Sel.begin(), Sel.end()), Sel.end());
    for (auto It = Sel.rbegin(); It != Sel.rend(); ++It)
        W.DeleteNode(*It);
    Commit(W);
}

void TPolyLineObj::SplitFigures(std::vector<TPolyLineObj*>* Result)
{
    TWork W;
    LoadWork(W);
    std::vector<std::pair<int32_t, int32_t>> Figures;
    for (int32_t I = 0; I < W.N();) {
        int32_t First, Last;
        W.Range(I, First, Last);
        Figures.emplace_back(First, Last);
        I = Last + 1;
    }
    if (Figures.size() < 2)
        return;
    TDrawGroup* Group = Parent();
    if (!Group)
        throw EUserError("TPolyLineObj.SplitFigures: (Parent = nil)");
    std::vector<std::unique_ptr<TPolyLineObj>> Pieces;
    for (size_t F = 1; F < Figures.size(); ++F) {
        auto Piece = std::make_unique<TPolyLineObj>(Page(), -1);
        Piece->Assign(this);
        TWork PW;
        for (int32_t J = Figures[F].first; J <= Figures[F].second; ++J)
            PW.Insert(PW.N(), W.P[size_t(J)], W.K[size_t(J)], W.T[size_t(J)]);
        RecPolyLineSetCount(Piece->FBasePath, PW.N());
        std::copy(PW.P.begin(), PW.P.end(), Piece->FBasePath.Points.begin());
        std::copy(PW.T.begin(), PW.T.end(), Piece->FBasePath.pabType.begin());
        Piece->FNodeKinds = PW.K;
        RecPathCalcBounds(Piece->FBasePath);
        RecPathAssign(Piece->FOutputPath, Piece->FBasePath);
        Piece->FbBasePathState = 2;
        Piece->FbOutputPathState = 2;
        Piece->ResetExtents();
        Pieces.push_back(std::move(Piece));
    }
    W.Erase(Figures[0].second + 1, W.N() - Figures[0].second - 1);
    Commit(W);
    for (auto& Piece : Pieces) {
        TPolyLineObj* P = Piece.get();
        Group->AddChild(std::move(Piece), -1);
        if (Result)
            Result->push_back(P);
    }
}

void TPolyLineObj::JoinEndNodes(int32_t Index1, TPolyLineObj& Other, int32_t Index2,
                                int32_t& JoinA, int32_t& JoinB)
{
    const bool SameObj = &Other == this;
    TWork W1;
    LoadWork(W1);
    TWork W2Own;
    if (!SameObj)
        Other.LoadWork(W2Own);
    TWork& W2 = SameObj ? W1 : W2Own;
    auto CheckEnd = [](const TWork& W, int32_t I, int32_t& First, int32_t& Last) {
        if (I < 0 || I >= W.N())
            throw EUserError("TPolyLineObj.JoinEndNodes: iIndex incorrect (" + std::to_string(I) + ")");
        W.Range(I, First, Last);
        if ((I != First && I != Last) || W.Closed(Last))
            throw EUserError("TPolyLineObj.JoinEndNodes: not an end node of an open figure (" +
                             std::to_string(I) + ")");
    };
    int32_t F1, L1, F2, L2;
    CheckEnd(W1, Index1, F1, L1);
    CheckEnd(W2, Index2, F2, L2);

    auto Reverse = [](TWork& W, int32_t First, int32_t Last) {
        TrecPolyLine Path;
        RecPolyLineSetCount(Path, W.N());
        std::copy(W.P.begin(), W.P.end(), Path.Points.begin());
        std::copy(W.T.begin(), W.T.end(), Path.pabType.begin());
        RecPolyLineReverseFigure(Path, First);
        std::copy(Path.Points.begin(), Path.Points.begin() + W.N(), W.P.begin());
        std::copy(Path.pabType.begin(), Path.pabType.begin() + W.N(), W.T.begin());
        std::reverse(W.K.begin() + First, W.K.begin() + Last + 1);
    };

    if (SameObj && F1 == F2) {
        if (Index1 == Index2 || L1 - F1 < 1)
            throw EUserError("TPolyLineObj.JoinEndNodes: one node cannot be joined to itself");
        W1.CloseFigure(F1, L1);
        W1.Range(F1, F1, L1);
        Commit(W1);
        JoinA = F1;
        JoinB = L1;
        return;
    }
    if (Index1 == F1 && F1 != L1)
        Reverse(W1, F1, L1);
    if (Index2 == L2 && F2 != L2)
        Reverse(W2, F2, L2);
    TWork Piece;
    for (int32_t J = F2; J <= L2; ++J)
        Piece.Insert(Piece.N(), W2.P[size_t(J)], W2.K[size_t(J)], W2.T[size_t(J)]);
    W2.Erase(F2, L2 - F2 + 1);
    if (SameObj && F2 < F1) {
        F1 -= L2 - F2 + 1;
        L1 -= L2 - F2 + 1;
    }
    JoinA = L1;
    if (PointsEqual(W1.P[size_t(L1)], Piece.P[0])) {
        Piece.Erase(0, 1);
        JoinB = L1;
    } else {
        Piece.T[0] = PT_LINETO;
        JoinB = L1 + 1;
    }
    for (int32_t J = 0; J < Piece.N(); ++J)
        W1.Insert(L1 + 1 + J, Piece.P[size_t(J)], Piece.K[size_t(J)], Piece.T[size_t(J)]);
    Commit(W1);
    if (!SameObj)
        Other.Commit(W2);
}

// ---------------------------------------------------------------------------

void TPolyLineObj::AddNodeAnchors(TAnchors& Anchors)
{
    if (Anchors.Owner() && !Anchors.Owner()->IsItemSelected(this))
        return;
    for (int32_t I = 0; I < Anchors.GetCount(); ++I)
        if (auto* N = dynamic_cast<TNodeAnchor*>(Anchors.GetNodeAnchor(I)); N && N->Owner == this)
            throw EUserError("SetNodeAnchorSub: NodeAnchor Already Added.");
    EnsureBasePath();
    SyncKinds();
    const int32_t Count = FBasePath.Count;
    const auto& T = FBasePath.pabType;
    bool PrevCurve = false;
    for (int32_t I = 0; I < Count;) {
        const uint8_t K = PathPointKind(T[size_t(I)]);
        if (K == PT_BEZIERTO && I + 2 < Count && PathPointKind(T[size_t(I + 1)]) == PT_BEZIERTO &&
            PathPointKind(T[size_t(I + 2)]) == PT_BEZIERTO && I > 0) {
            Anchors.AddNodeAnchor(akControl, I, this, PrevCurve, T[size_t(I)], 3);
            Anchors.AddNodeAnchor(akControl, I + 1, this, false, T[size_t(I + 1)], 1);
            Anchors.AddNodeAnchor(akNode, I + 2, this, true, T[size_t(I + 2)], 2);
            PrevCurve = true;
            I += 3;
        } else {
            Anchors.AddNodeAnchor(akNode, I, this, false, T[size_t(I)], 0);
            PrevCurve = false;
            ++I;
        }
    }
    if (Anchors.Owner()) {
        const TRect& B = GetPath().Bounds;
        Anchors.Owner()->InvalidatePageRect(B);
    }
}
