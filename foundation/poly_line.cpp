#include "foundation/poly_line.h"

#include "foundation/bezier.h"
#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "foundation/wrap_int.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr int32_t MaxInt32 = std::numeric_limits<int32_t>::max();

// Hit tests search Bezier distances to this precision.
constexpr double NearestPointEps = 2.0;

inline uint8_t Kind(uint8_t Type)
{
    return PathPointKind(Type);
}

// Squares of coordinate differences, each difference capped at 2^31 - 1 so
// that the sum of two squares stays inside int64 (a capped distance is far
// beyond any tolerance anyway).
inline int64_t CappedSqr(int64_t D)
{
    D = D < 0 ? -D : D;
    D = std::min<int64_t>(D, MaxInt32);
    return D * D;
}

inline int64_t SqrDist64(const TPoint& A, const TPoint& B)
{
    return CappedSqr(int64_t{A.X} - B.X) + CappedSqr(int64_t{A.Y} - B.Y);
}

// Squared distance from P to the bounding box of N points. Every point of a
// segment or of a Bezier (its control hull), and every rounded point on them,
// lies in that box, so no distance to them can be smaller.
inline int64_t BoxSqrDist(const TPoint& P, const TPoint* Pts, int N)
{
    int32_t MinX = Pts[0].X, MaxX = Pts[0].X, MinY = Pts[0].Y, MaxY = Pts[0].Y;
    for (int K = 1; K < N; ++K) {
        MinX = std::min(MinX, Pts[K].X);
        MaxX = std::max(MaxX, Pts[K].X);
        MinY = std::min(MinY, Pts[K].Y);
        MaxY = std::max(MaxY, Pts[K].Y);
    }
    int64_t Dx = 0, Dy = 0;
    if (P.X < MinX)
        Dx = int64_t{MinX} - P.X;
    else if (P.X > MaxX)
        Dx = int64_t{P.X} - MaxX;
    if (P.Y < MinY)
        Dy = int64_t{MinY} - P.Y;
    else if (P.Y > MaxY)
        Dy = int64_t{P.Y} - MaxY;
    return CappedSqr(Dx) + CappedSqr(Dy); // a lower bound still
}

// In 64 bits: an int32 squared distance wraps for points more than about
// 46000 units apart and could pass a far segment as a near one.
inline int64_t SegmentSqrDist(const TPoint& P, const TPoint& A, const TPoint& B, TPoint* Nearest)
{
    return NearestPointOnSegment64(P, A, B, Nearest);
}

int64_t CurveSqrDist(const TPoint& P, const TPoint* Curve, double FlatTolerance, TPoint* Nearest,
                     double* T)
{
    double CurveT = 0.0;
    TPoint N;
    int64_t D = 0;
    BezierNearestPoint(P, Curve, FlatTolerance, NearestPointEps, &CurveT, &N, &D);
    if (Nearest)
        *Nearest = N;
    if (T)
        *T = CurveT;
    return D;
}

// Wraps a 64-bit result into int32 the way 32-bit arithmetic would.
inline int32_t Low32(int64_t V)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(V)));
}

// Rough number of line points BezierFlatten makes for one curve: from the
// second differences of its control points (how far it bends) and, below a
// tolerance of one unit where pieces shrink to single steps, from the length
// of its control polygon.
int64_t FlattenEstimate(const TPoint* C, double Tolerance)
{
    const double Ax = double(C[0].X) - 2.0 * C[1].X + C[2].X;
    const double Ay = double(C[0].Y) - 2.0 * C[1].Y + C[2].Y;
    const double Bx = double(C[1].X) - 2.0 * C[2].X + C[3].X;
    const double By = double(C[1].Y) - 2.0 * C[2].Y + C[3].Y;
    const double M = std::sqrt(std::max(Ax * Ax + Ay * Ay, Bx * Bx + By * By));
    double N = std::ceil(std::sqrt(0.75 * M / std::max(std::sqrt(std::max(Tolerance, 0.0)), 1.0)));
    if (Tolerance < 1.0) {
        double Length = 0.0;
        for (int K = 0; K < 3; ++K)
            Length += std::hypot(double(C[K + 1].X) - C[K].X, double(C[K + 1].Y) - C[K].Y);
        N = std::max(N, 0.35 * Length);
    }
    return N < 1.0 ? 1 : (N > 1048576.0 ? 1048576 : static_cast<int64_t>(N));
}

} // namespace

// The record.

TrecPolyLine::TrecPolyLine(TrecPolyLine&& Other) noexcept
    : Count(Other.Count), pabType(std::move(Other.pabType)), Points(std::move(Other.Points))
{
    Other.Count = 0;
    Other.pabType.clear();
    Other.Points.clear();
}

TrecPolyLine& TrecPolyLine::operator=(TrecPolyLine&& Other) noexcept
{
    if (this != &Other) {
        Count = Other.Count;
        pabType = std::move(Other.pabType);
        Points = std::move(Other.Points);
        Other.Count = 0;
        Other.pabType.clear();
        Other.Points.clear();
    }
    return *this;
}

void RecPolyLineClear(TrecPolyLine& Path)
{
    Path.Count = 0;
    std::vector<uint8_t>().swap(Path.pabType);
    std::vector<TPoint>().swap(Path.Points);
}

void RecPolyLineSetCount(TrecPolyLine& Path, int32_t N)
{
    if (N < 0)
        throw EListError("RecPolyLineSetCount: 点の数が不正です (%d)", N);
    if (N > Path.Count) {
        const size_t Need = static_cast<size_t>(N);
        if (Path.pabType.size() < Need)
            Path.pabType.resize(Need);
        if (Path.Points.size() < Need)
            Path.Points.resize(Need);
    }
    Path.Count = N;
}

void RecPolyLineAssign(TrecPolyLine& Dest, const TrecPolyLine& Source, bool Keep)
{
    if (&Dest == &Source)
        return;
    const size_t N = static_cast<size_t>(Source.Count);
    if (!Keep) {
        // A fresh copy: exactly Source's count, no leftover capacity.
        std::vector<uint8_t> Types(Source.pabType.begin(), Source.pabType.begin() + N);
        std::vector<TPoint> Points(Source.Points.begin(), Source.Points.begin() + N);
        Dest.pabType = std::move(Types);
        Dest.Points = std::move(Points);
    } else {
        if (Dest.pabType.size() < N)
            Dest.pabType.resize(N);
        if (Dest.Points.size() < N)
            Dest.Points.resize(N);
        std::copy_n(Source.pabType.begin(), N, Dest.pabType.begin());
        std::copy_n(Source.Points.begin(), N, Dest.Points.begin());
    }
    Dest.Count = Source.Count;
}

void RecPolyLineAppend(TrecPolyLine& A, const TrecPolyLine& B)
{
    const size_t NA = static_cast<size_t>(A.Count);
    const size_t NB = static_cast<size_t>(B.Count);
    if (NB == 0)
        return;
    if (NA + NB > static_cast<size_t>(MaxInt32))
        throw EOutOfResources("RecPolyLineAppend: 点の数が多すぎます");
    // Resizing first keeps this right when B is A itself.
    A.pabType.resize(std::max(A.pabType.size(), NA + NB));
    A.Points.resize(std::max(A.Points.size(), NA + NB));
    std::copy_n(B.pabType.begin(), NB, A.pabType.begin() + NA);
    std::copy_n(B.Points.begin(), NB, A.Points.begin() + NA);
    A.Count = static_cast<int32_t>(NA + NB);
}

void RecPolyLineOffset(TrecPolyLine& Path, int32_t DX, int32_t DY)
{
    TPoint* Pts = Path.Points.data();
    for (int32_t I = 0; I < Path.Count; ++I) {
        Pts[I].X = WrapAdd(Pts[I].X, DX);
        Pts[I].Y = WrapAdd(Pts[I].Y, DY);
    }
}

void RecPolyLineScale(TrecPolyLine& Path, int32_t CX, int32_t CY, int32_t SX, int32_t SY)
{
    TPoint* Pts = Path.Points.data();
    for (int32_t I = 0; I < Path.Count; ++I) {
        Pts[I].X = WrapAdd(CX, WrapMul(WrapSub(Pts[I].X, CX), SX) / 1024);
        Pts[I].Y = WrapAdd(CY, WrapMul(WrapSub(Pts[I].Y, CY), SY) / 1024);
    }
}

void RecPolyLineRotate(TrecPolyLine& Path, int32_t CX, int32_t CY, double Angle)
{
    if (Angle == 0.0)
        return;
    const double C = std::cos(Angle);
    const double S = std::sin(Angle);
    TPoint* Pts = Path.Points.data();
    for (int32_t I = 0; I < Path.Count; ++I) {
        const double X = double(Pts[I].X) - CX;
        const double Y = double(Pts[I].Y) - CY;
        Pts[I].X = Low32(RoundOff(X * C - Y * S + CX));
        Pts[I].Y = Low32(RoundOff(X * S + Y * C + CY));
    }
}

void RecPolyLineMaxPoint(const TrecPolyLine& Path, TPoint& P)
{
    const TPoint* Pts = Path.Points.data();
    for (int32_t I = 0; I < Path.Count; ++I) {
        P.X = std::max(P.X, Pts[I].X);
        P.Y = std::max(P.Y, Pts[I].Y);
    }
}

void RecPolyLineGetFigureRange(const TrecPolyLine& Path, int32_t I, int32_t& First, int32_t& Last)
{
    if (I < 0 || I >= Path.Count) {
        First = -1;
        Last = -2;
        return;
    }
    const uint8_t* Types = Path.pabType.data();
    First = I;
    while (First > 0 && Kind(Types[First]) != PT_MOVETO)
        --First;
    Last = I + 1;
    while (Last < Path.Count && Kind(Types[Last]) != PT_MOVETO)
        ++Last;
    --Last;
}

namespace {

// Walks the types of Types[0 .. N - 1] and tells where one differs from the
// walkable type it stands for; Out (nil to compare only, else Types itself)
// gets those types. True when one differed. Each entry is read before it is
// written.
bool WalkableTypes(const uint8_t* Types, int32_t N, uint8_t* Out)
{
    bool Differs = false;
    const auto Put = [&](int32_t I, uint8_t Type) {
        if (Types[I] == Type)
            return;
        Differs = true;
        if (Out)
            Out[I] = Type;
    };
    for (int32_t I = 0; I < N;) {
        const uint8_t T = Types[I];
        const uint8_t K = Kind(T);
        if (I == 0 || K == PT_MOVETO) {
            Put(I++, PT_MOVETO);
        } else if (K == PT_BEZIERTO && I + 2 < N && Kind(Types[I + 1]) == PT_BEZIERTO &&
                   Kind(Types[I + 2]) == PT_BEZIERTO) {
            Put(I, PT_BEZIERTO);
            Put(I + 1, PT_BEZIERTO);
            I += 3;
        } else if (K == PT_BEZIERTO || K == PT_LINETO) {
            Put(I++, static_cast<uint8_t>(PT_LINETO | (T & PT_CLOSEFIGURE)));
        } else {
            Put(I++, PT_LINETO);
        }
    }
    return Differs;
}

} // namespace

bool RecPolyLineWalkable(const TrecPolyLine& Path)
{
    return Path.Count >= 0 && Path.pabType.size() >= size_t(Path.Count) &&
           !WalkableTypes(Path.pabType.data(), Path.Count, nullptr);
}

bool RecPolyLineMendTypes(TrecPolyLine& Path)
{
    return WalkableTypes(Path.pabType.data(), std::max(Path.Count, 0), Path.pabType.data());
}

void RecPolyLineCloseFigures(TrecPolyLine& Path)
{
    const int32_t N = Path.Count;
    const TPoint* Pts = Path.Points.data();
    const uint8_t* Types = Path.pabType.data();

    // A path that does not begin with a move starts its first figure at its
    // first point rather than at a point far off the page.
    const auto InitialStart = [&] {
        return N > 0 ? Pts[0] : TPoint{MaxInt32, MaxInt32};
    };

    // First pass: the exact new count.
    int64_t NewCount = 0;
    TPoint Start = InitialStart();
    for (int32_t I = 0; I < N; ++I) {
        const uint8_t T = Types[I];
        if ((T & PT_CLOSEFIGURE) && !(Pts[I] == Start)) {
            NewCount += 2;
        } else {
            ++NewCount;
            if (T == PT_MOVETO)
                Start = Pts[I];
        }
    }
    if (NewCount > MaxInt32)
        throw EOutOfResources("RecPolyLineCloseFigures: 点の数が多すぎます");

    std::vector<TPoint> NewPts(static_cast<size_t>(NewCount));
    std::vector<uint8_t> NewTypes(static_cast<size_t>(NewCount));
    size_t J = 0;
    Start = InitialStart();
    for (int32_t I = 0; I < N; ++I) {
        const uint8_t T = Types[I];
        if ((T & PT_CLOSEFIGURE) && !(Pts[I] == Start)) {
            NewPts[J] = Pts[I];
            NewTypes[J++] = static_cast<uint8_t>(T & ~PT_CLOSEFIGURE);
            NewPts[J] = Start;
            NewTypes[J++] = PT_LINETO | PT_CLOSEFIGURE;
        } else {
            if (T == PT_MOVETO) {
                if (J > 0)
                    NewTypes[J - 1] |= PT_CLOSEFIGURE;
                Start = Pts[I];
            }
            NewPts[J] = Pts[I];
            NewTypes[J++] = T;
        }
    }
    Path.Points = std::move(NewPts);
    Path.pabType = std::move(NewTypes);
    Path.Count = static_cast<int32_t>(NewCount);
}

void RecPolyLineReverseFigure(TrecPolyLine& Path, int32_t I)
{
    int32_t First = 0, Last = 0;
    RecPolyLineGetFigureRange(Path, I, First, Last);
    if (First < 0)
        return;
    TPoint* Pts = Path.Points.data();
    uint8_t* Types = Path.pabType.data();
    const bool Closed = (Types[Last] & PT_CLOSEFIGURE) != 0;

    std::reverse(Pts + First, Pts + Last + 1);
    std::reverse(Types + First, Types + Last + 1);
    // Each type describes the segment that ends at its point: after the
    // reversal the types belong one place further on.
    for (int32_t K = Last; K > First; --K)
        Types[K] = Types[K - 1];
    Types[First] = PT_MOVETO;
    if (Closed) {
        if (First < Last)
            Types[First + 1] &= static_cast<uint8_t>(~PT_CLOSEFIGURE);
        Types[Last] |= PT_CLOSEFIGURE;
    }
}

void RecPolyLineSubdivide(const TrecPolyLine& Source, TrecPolyLine& Dest, int32_t Step,
                          std::vector<int32_t>& Map)
{
    if (Step <= 0)
        throw EUserError("RecPolyLineSubdivide: Step <= 0");
    const int32_t N = Source.Count;
    const TPoint* Pts = Source.Points.data();
    const uint8_t* Types = Source.pabType.data();

    std::vector<int32_t> NewMap(static_cast<size_t>(N) + 1, 0);
    std::vector<TPoint> DPts;
    std::vector<uint8_t> DTypes;
    DPts.reserve(static_cast<size_t>(N) * 3 + 1);
    DTypes.reserve(static_cast<size_t>(N) * 3 + 1);

    // A few long segments at a fine step would ask for billions of points;
    // no real outline comes near this many.
    constexpr int64_t MaxPoints = int64_t{1} << 24;
    const auto Room = [&](int64_t More) {
        if (static_cast<int64_t>(DPts.size()) + More > MaxPoints)
            throw EOutOfResources("RecPolyLineSubdivide: 点の数が多すぎます");
    };

    for (int32_t I = 0; I < N; ++I) {
        NewMap[static_cast<size_t>(I)] = static_cast<int32_t>(DPts.size());
        const uint8_t T = Types[I];
        const uint8_t K = Kind(T);
        if (K == PT_BEZIERTO && I >= 1 && I + 2 < N) {
            const size_t Before = DPts.size();
            BezierSubdivideByStepAppend(&Pts[I - 1], Step, DPts);
            Room(0);
            if (DPts.size() > Before) {
                DTypes.resize(DPts.size(), PT_BEZIERTO);
                DTypes.back() |= static_cast<uint8_t>(Types[I + 2] & PT_CLOSEFIGURE);
            }
            I += 2;
        } else if ((K == PT_LINETO || K == PT_BEZIERTO) && I >= 1) {
            // A straight segment becomes a Bezier run along the line. Its
            // length is taken in doubles: the squares of differences of up
            // to 2^32 do not fit in 64 bits.
            const TPoint From = Pts[I - 1];
            const int64_t Dx = int64_t{Pts[I].X} - From.X;
            const int64_t Dy = int64_t{Pts[I].Y} - From.Y;
            const auto L = static_cast<int64_t>(std::hypot(static_cast<double>(Dx), static_cast<double>(Dy)));
            const int64_t Pieces = (L / Step + 1) * 3;
            Room(Pieces);
            for (int64_t Kx = 1; Kx <= Pieces; ++Kx) {
                DPts.push_back(TPoint{Low32(From.X + Dx * Kx / Pieces),
                                      Low32(From.Y + Dy * Kx / Pieces)});
                DTypes.push_back(PT_BEZIERTO);
            }
            DTypes.back() |= static_cast<uint8_t>(T & PT_CLOSEFIGURE);
        } else {
            Room(1);
            DPts.push_back(Pts[I]);
            DTypes.push_back(T);
        }
    }
    NewMap[static_cast<size_t>(N)] = static_cast<int32_t>(DPts.size());

    Dest.Count = static_cast<int32_t>(DPts.size());
    Dest.Points = std::move(DPts);
    Dest.pabType = std::move(DTypes);
    Map = std::move(NewMap);
}

void RecPolyLineFlatten(const TrecPolyLine& Source, TrecPolyLine& Dest, bool CloseOpen,
                        double Tolerance)
{
    if (&Source == &Dest) {
        TrecPolyLine Flat;
        RecPolyLineFlatten(Source, Flat, CloseOpen, Tolerance);
        Dest = std::move(Flat);
        return;
    }
    const int32_t N = Source.Count;
    const TPoint* Pts = Source.Points.data();
    const uint8_t* Types = Source.pabType.data();

    // Dest's arrays are reused; they grow once to an estimate of the result.
    Dest.Count = 0;
    std::vector<TPoint>& DPts = Dest.Points;
    std::vector<uint8_t>& DTypes = Dest.pabType;
    DPts.clear();
    DTypes.clear();
    {
        int64_t Estimate = 1;
        for (int32_t I = 0; I < N; ++I) {
            const uint8_t K = Kind(Types[I]);
            if (K == PT_BEZIERTO && I >= 1 && I + 2 < N) {
                Estimate += FlattenEstimate(&Pts[I - 1], Tolerance);
                I += 2;
            } else {
                Estimate += K == PT_MOVETO ? 2 : 1; // room for a closing point
            }
        }
        Estimate += Estimate / 4;
        if (static_cast<int64_t>(DPts.capacity()) < Estimate) {
            DPts.reserve(static_cast<size_t>(Estimate));
            DTypes.reserve(static_cast<size_t>(Estimate));
        }
    }

    bool HasFigure = false;
    bool Closed = true;
    TPoint Start{};
    for (int32_t I = 0; I < N; ++I) {
        const uint8_t T = Types[I];
        const uint8_t K = Kind(T);
        if (K == PT_MOVETO) {
            if (CloseOpen && HasFigure && !Closed) {
                DPts.push_back(Start);
                DTypes.push_back(PT_LINETO | PT_CLOSEFIGURE);
            }
            // Every figure keeps its start, also one that follows a closed figure.
            Start = Pts[I];
            HasFigure = true;
            Closed = (T & PT_CLOSEFIGURE) != 0;
            DPts.push_back(Pts[I]);
            DTypes.push_back(T);
            continue;
        }
        if (!HasFigure) {
            Start = Pts[I];
            HasFigure = true;
        }
        if (K == PT_BEZIERTO && I >= 1 && I + 2 < N) {
            const size_t Before = DPts.size();
            BezierFlattenAppend(&Pts[I - 1], Tolerance, DPts);
            if (DPts.size() == Before)
                DPts.push_back(Pts[I + 2]);
            DTypes.resize(DPts.size(), PT_LINETO);
            const uint8_t Close = static_cast<uint8_t>(Types[I + 2] & PT_CLOSEFIGURE);
            DTypes.back() |= Close;
            Closed = Close != 0;
            I += 2;
        } else {
            DPts.push_back(Pts[I]);
            DTypes.push_back(K == PT_BEZIERTO ? static_cast<uint8_t>(PT_LINETO | (T & 1)) : T);
            Closed = (T & PT_CLOSEFIGURE) != 0;
        }
    }
    if (CloseOpen && HasFigure && !Closed) {
        DPts.push_back(Start);
        DTypes.push_back(PT_LINETO | PT_CLOSEFIGURE);
    }
    if (DPts.size() > static_cast<size_t>(MaxInt32)) {
        DPts.clear();
        DTypes.clear();
        throw EOutOfResources("RecPolyLineFlatten: 点の数が多すぎます");
    }
    Dest.Count = static_cast<int32_t>(DPts.size());
}

bool RecPolyLineHitTest(const TrecPolyLine& Path, const TPoint& P, int32_t Tolerance,
                        double FlatTolerance)
{
    const int32_t N = Path.Count;
    const TPoint* Pts = Path.Points.data();
    const uint8_t* Types = Path.pabType.data();
    const int64_t Limit = int64_t{Tolerance} * Tolerance;
    for (int32_t I = 0; I < N - 1; ++I) {
        const uint8_t K = Kind(Types[I + 1]);
        if (K == PT_BEZIERTO && I + 3 < N) {
            if (BoxSqrDist(P, &Pts[I], 4) <= Limit &&
                CurveSqrDist(P, &Pts[I], FlatTolerance, nullptr, nullptr) <= Limit)
                return true;
            I += 2;
        } else if (K == PT_LINETO || K == PT_BEZIERTO) {
            if (BoxSqrDist(P, &Pts[I], 2) <= Limit &&
                SegmentSqrDist(P, Pts[I], Pts[I + 1], nullptr) <= Limit)
                return true;
        }
    }
    return false;
}

void RecPolyLineNearestPoint(const TrecPolyLine& Path, const TPoint& P, double FlatTolerance,
                             int64_t* SqrDistance, TPoint* Nearest, double* T, int32_t* Index)
{
    const int32_t N = Path.Count;
    const TPoint* Pts = Path.Points.data();
    const uint8_t* Types = Path.pabType.data();
    int64_t Best = MaxInt32;
    int32_t BestIndex = -1;
    TPoint BestPoint = P;
    double BestT = 0.0;
    for (int32_t I = 0; I < N - 1; ++I) {
        const uint8_t K = Kind(Types[I + 1]);
        TPoint Q;
        if (K == PT_BEZIERTO && I + 3 < N) {
            if (BoxSqrDist(P, &Pts[I], 4) < Best) {
                double CurveT = 0.0;
                const int64_t D = CurveSqrDist(P, &Pts[I], FlatTolerance, &Q, &CurveT);
                if (D < Best) {
                    Best = D;
                    BestIndex = I;
                    BestPoint = Q;
                    BestT = CurveT;
                }
            }
            I += 2;
        } else if (K == PT_LINETO || K == PT_BEZIERTO) {
            if (BoxSqrDist(P, &Pts[I], 2) < Best) {
                const int64_t D = SegmentSqrDist(P, Pts[I], Pts[I + 1], &Q);
                if (D < Best) {
                    Best = D;
                    BestIndex = I;
                    BestPoint = Q;
                    BestT = 0.0;
                }
            }
        }
    }
    if (SqrDistance)
        *SqrDistance = Best;
    if (Nearest && BestIndex >= 0)
        *Nearest = BestPoint;
    if (T)
        *T = BestT;
    if (Index)
        *Index = BestIndex;
}

bool RecPolyLineSnapPoint(const TrecPolyLine& Path, TPoint& P, int64_t SquaredRadius)
{
    const int32_t N = Path.Count;
    const TPoint* Pts = Path.Points.data();
    const uint8_t* Types = Path.pabType.data();
    TPoint Prev{0, 0};
    for (int32_t I = 0; I < N; ++I) {
        uint8_t K = Kind(Types[I]);
        bool Line = K == PT_LINETO;
        if (K == PT_BEZIERTO) {
            if (I + 2 < N) {
                I += 2; // to the triple's end point; control points never attract
                Line = Kind(Types[I]) == PT_LINETO;
            } else {
                Line = true; // a triple cut short: its points are line points
            }
        }
        if (SqrDist64(Pts[I], P) <= SquaredRadius) {
            P = Pts[I];
            return true;
        }
        if (Line) {
            const TPoint Mid{static_cast<int32_t>((int64_t{Prev.X} + Pts[I].X) / 2),
                             static_cast<int32_t>((int64_t{Prev.Y} + Pts[I].Y) / 2)};
            if (SqrDist64(Mid, P) <= SquaredRadius) {
                P = Mid;
                return true;
            }
        }
        Prev = Pts[I];
    }
    return false;
}
