#include "foundation/bezier.h"

#include "foundation/geometry.h"
#include "foundation/user_error.h"
#include "foundation/wrap_int.h"

#include <algorithm>
#include <cmath>

namespace {

// Halving depth at which a piece is taken as flat whatever its shape. Integer
// rounding can make a piece split into a half equal to an ancestor, and
// a double piece under a zero tolerance only flattens in rounding noise.
constexpr int MaxDepth = 32;

// Tolerance floor of the double flattener, relative to the curve's largest
// coordinate: deviations below it are rounding noise, so a tolerance of 0
// still ends after about 15 levels instead of 2^26 pieces.
constexpr double DMinTolRel = 1e-9;

struct TIPiece {
    TPoint P[4];
};

struct TDPiece {
    TDPoint P[4];
};

// Rounded integer halving: (sum + divisor / 2) divided by the divisor and
// floored, so that halves round up on both sides of zero. Truncating toward
// zero instead would move negative coordinates by one unit at every split (a
// degenerate curve at x = -4 would come back at -3); for non-negative sums the
// two agree. Sums are taken in 64 bits so that no coordinate wraps.
inline int32_t FloorShift(int64_t Sum, int Shift)
{
    return static_cast<int32_t>(Sum >> Shift); // arithmetic shift: floor division
}

inline int32_t Half2(int64_t A, int64_t B)
{
    return FloorShift(A + B + 1, 1);
}

inline int32_t Half4(int64_t A, int64_t B, int64_t C)
{
    return FloorShift(A + 2 * B + C + 2, 2);
}

inline int32_t Half8(int64_t A, int64_t B, int64_t C, int64_t D)
{
    return FloorShift(A + 3 * B + 3 * C + D + 4, 3);
}

inline void SplitHalfI(const TPoint* P, TPoint* Q, TPoint* R)
{
    TPoint Q1{Half2(P[0].X, P[1].X), Half2(P[0].Y, P[1].Y)};
    TPoint Q2{Half4(P[0].X, P[1].X, P[2].X), Half4(P[0].Y, P[1].Y, P[2].Y)};
    TPoint M{Half8(P[0].X, P[1].X, P[2].X, P[3].X), Half8(P[0].Y, P[1].Y, P[2].Y, P[3].Y)};
    TPoint R1{Half4(P[1].X, P[2].X, P[3].X), Half4(P[1].Y, P[2].Y, P[3].Y)};
    TPoint R2{Half2(P[2].X, P[3].X), Half2(P[2].Y, P[3].Y)};
    TPoint P0 = P[0];
    TPoint P3 = P[3];
    Q[0] = P0;
    Q[1] = Q1;
    Q[2] = Q2;
    Q[3] = M;
    R[0] = M;
    R[1] = R1;
    R[2] = R2;
    R[3] = P3;
}

inline void SplitHalfD(const TDPoint* P, TDPoint* Q, TDPoint* R)
{
    TDPoint Q1{(P[0].X + P[1].X) / 2, (P[0].Y + P[1].Y) / 2};
    TDPoint Q2{(P[0].X + 2 * P[1].X + P[2].X) / 4, (P[0].Y + 2 * P[1].Y + P[2].Y) / 4};
    TDPoint M{(P[0].X + 3 * P[1].X + 3 * P[2].X + P[3].X) / 8,
              (P[0].Y + 3 * P[1].Y + 3 * P[2].Y + P[3].Y) / 8};
    TDPoint R1{(P[1].X + 2 * P[2].X + P[3].X) / 4, (P[1].Y + 2 * P[2].Y + P[3].Y) / 4};
    TDPoint R2{(P[2].X + P[3].X) / 2, (P[2].Y + P[3].Y) / 2};
    TDPoint P0 = P[0];
    TDPoint P3 = P[3];
    Q[0] = P0;
    Q[1] = Q1;
    Q[2] = Q2;
    Q[3] = M;
    R[0] = M;
    R[1] = R1;
    R[2] = R2;
    R[3] = P3;
}

int64_t PointSqrDist64(const TPoint& A, const TPoint& B)
{
    return SqrDist64(int64_t{B.X} - A.X, int64_t{B.Y} - A.Y);
}

// Subdivision by chord length.
void SubdivideRec(const TIPiece& C, int64_t StepSq, int Depth, std::vector<TPoint>& Out)
{
    if (Depth >= MaxDepth || PointSqrDist64(C.P[0], C.P[3]) <= StepSq) {
        Out.push_back(C.P[1]);
        Out.push_back(C.P[2]);
        Out.push_back(C.P[3]);
        return;
    }
    TIPiece Q, R;
    SplitHalfI(C.P, Q.P, R.P);
    SubdivideRec(Q, StepSq, Depth + 1, Out);
    SubdivideRec(R, StepSq, Depth + 1, Out);
}

// Integer flatness: both control points within TolSq (a squared distance) of
// the chord segment. 64-bit distances, so that long chords do not wrap.
inline bool IsFlatI(const TPoint* P, double TolSq)
{
    return NearestPointOnSegment64(P[1], P[0], P[3], nullptr) <= TolSq &&
           NearestPointOnSegment64(P[2], P[0], P[3], nullptr) <= TolSq;
}

void FlattenRec(const TIPiece& C, double TolSq, int Depth, std::vector<TPoint>& Out)
{
    if (Depth >= MaxDepth || IsFlatI(C.P, TolSq)) {
        Out.push_back(C.P[3]);
        return;
    }
    TIPiece Q, R;
    SplitHalfI(C.P, Q.P, R.P);
    FlattenRec(Q, TolSq, Depth + 1, Out);
    FlattenRec(R, TolSq, Depth + 1, Out);
}

struct TPolyCtx {
    double TolSq;
    double Param;
};

void PolyLineRec(const TIPiece& C, double W, int Depth, TPolyCtx& Ctx, std::vector<TPoint>& Pts,
                 std::vector<double>& Params)
{
    if (Depth >= MaxDepth || IsFlatI(C.P, Ctx.TolSq)) {
        Ctx.Param += W;
        Pts.push_back(C.P[3]);
        Params.push_back(Ctx.Param);
        return;
    }
    TIPiece Q, R;
    SplitHalfI(C.P, Q.P, R.P);
    PolyLineRec(Q, W / 2, Depth + 1, Ctx, Pts, Params);
    PolyLineRec(R, W / 2, Depth + 1, Ctx, Pts, Params);
}

void DPolyLineRec(const TDPiece& C, double W, int Depth, TPolyCtx& Ctx,
                  std::vector<TDPoint>& Pts, std::vector<double>& Params)
{
    double D1, D2;
    DNearestPointOnSegment(C.P[1], C.P[0], C.P[3], nullptr, &D1);
    DNearestPointOnSegment(C.P[2], C.P[0], C.P[3], nullptr, &D2);
    // Written so that a NaN distance counts as flat.
    if (Depth >= MaxDepth || !(D1 > Ctx.TolSq || D2 > Ctx.TolSq)) {
        Ctx.Param += W;
        Pts.push_back(C.P[3]);
        Params.push_back(Ctx.Param);
        return;
    }
    TDPiece Q, R;
    SplitHalfD(C.P, Q.P, R.P);
    DPolyLineRec(Q, W / 2, Depth + 1, Ctx, Pts, Params);
    DPolyLineRec(R, W / 2, Depth + 1, Ctx, Pts, Params);
}

// A negative or NaN tolerance would make no piece flat.
inline double SaneTol(double TolSq)
{
    return TolSq > 0.0 ? TolSq : 0.0;
}

inline TIPiece MakePiece(const TPoint P[4])
{
    return TIPiece{{P[0], P[1], P[2], P[3]}};
}

} // namespace

TPoint BezierPoint(const TPoint P[4], double T)
{
    double S = 1.0 - T;
    double B0 = S * S * S;
    double B1 = 3 * T * S * S;
    double B2 = 3 * T * T * S;
    double B3 = T * T * T;
    return TPoint{RoundEven32(B0 * P[0].X + B1 * P[1].X + B2 * P[2].X + B3 * P[3].X),
                  RoundEven32(B0 * P[0].Y + B1 * P[1].Y + B2 * P[2].Y + B3 * P[3].Y)};
}

TDPoint DBezierPoint(const TDPoint P[4], double T)
{
    double S = 1.0 - T;
    double B0 = S * S * S;
    double B1 = 3 * T * S * S;
    double B2 = 3 * T * T * S;
    double B3 = T * T * T;
    return TDPoint{B0 * P[0].X + B1 * P[1].X + B2 * P[2].X + B3 * P[3].X,
                   B0 * P[0].Y + B1 * P[1].Y + B2 * P[2].Y + B3 * P[3].Y};
}

void BezierSplitHalf(const TPoint P[4], TPoint Q[4], TPoint R[4])
{
    SplitHalfI(P, Q, R);
}

void DBezierSplitHalf(const TDPoint P[4], TDPoint Q[4], TDPoint R[4])
{
    SplitHalfD(P, Q, R);
}

void BezierSplitAt(const TPoint P[4], double T, TPoint Q[4], TPoint R[4])
{
    double S = 1.0 - T;
    auto Lin = [](double A, double B, double Pa, double Pb) { return RoundEven32(A * Pa + B * Pb); };
    auto Quad = [](double A, double B, double C, double Pa, double Pb, double Pc) {
        return RoundEven32(A * Pa + B * Pb + C * Pc);
    };
    double S2 = S * S;
    double TS2 = 2 * T * S;
    double T2 = T * T;
    TPoint P0 = P[0];
    TPoint P3 = P[3];
    TPoint Q1{Lin(S, T, P[0].X, P[1].X), Lin(S, T, P[0].Y, P[1].Y)};
    TPoint Q2{Quad(S2, TS2, T2, P[0].X, P[1].X, P[2].X), Quad(S2, TS2, T2, P[0].Y, P[1].Y, P[2].Y)};
    TPoint M = BezierPoint(P, T);
    TPoint R1{Quad(S2, TS2, T2, P[1].X, P[2].X, P[3].X), Quad(S2, TS2, T2, P[1].Y, P[2].Y, P[3].Y)};
    TPoint R2{Lin(S, T, P[2].X, P[3].X), Lin(S, T, P[2].Y, P[3].Y)};
    Q[0] = P0;
    Q[1] = Q1;
    Q[2] = Q2;
    Q[3] = M;
    R[0] = M;
    R[1] = R1;
    R[2] = R2;
    R[3] = P3;
}

void BezierSubdivideByStepAppend(const TPoint P[4], int32_t Step, std::vector<TPoint>& Out)
{
    SubdivideRec(MakePiece(P), int64_t{Step} * Step, 0, Out);
}

std::vector<TPoint> BezierSubdivideByStep(const TPoint P[4], int32_t Step)
{
    std::vector<TPoint> Out;
    Out.reserve(10);
    Out.push_back(P[0]);
    BezierSubdivideByStepAppend(P, Step, Out);
    return Out;
}

void BezierFlattenAppend(const TPoint P[4], double Tol, std::vector<TPoint>& Out)
{
    FlattenRec(MakePiece(P), SaneTol(Tol), 0, Out);
}

std::vector<TPoint> BezierFlatten(const TPoint P[4], double Tol)
{
    std::vector<TPoint> Out;
    Out.reserve(5);
    Out.push_back(P[0]);
    BezierFlattenAppend(P, Tol, Out);
    return Out;
}

void BezierToPolyLineAppend(const TPoint P[4], double Tol, std::vector<TPoint>& Points,
                            std::vector<double>& Params)
{
    TPolyCtx Ctx{SaneTol(Tol * Tol), 0.0};
    PolyLineRec(MakePiece(P), 1.0, 0, Ctx, Points, Params);
}

TBezierPolyLine BezierToPolyLine(const TPoint P[4], double Tol)
{
    TBezierPolyLine R;
    R.Points.reserve(5);
    R.Params.reserve(5);
    R.Points.push_back(P[0]);
    R.Params.push_back(0.0);
    BezierToPolyLineAppend(P, Tol, R.Points, R.Params);
    return R;
}

void DBezierToPolyLineAppend(const TDPoint P[4], double Tol, std::vector<TDPoint>& Points,
                             std::vector<double>& Params)
{
    double Mag = 0.0;
    for (int I = 0; I < 4; ++I)
        Mag = std::max({Mag, std::fabs(P[I].X), std::fabs(P[I].Y)});
    double Floor = DMinTolRel * Mag;
    TPolyCtx Ctx{std::max(SaneTol(Tol * Tol), Floor * Floor), 0.0};
    DPolyLineRec(TDPiece{{P[0], P[1], P[2], P[3]}}, 1.0, 0, Ctx, Points, Params);
}

TDBezierPolyLine DBezierToPolyLine(const TDPoint P[4], double Tol)
{
    TDBezierPolyLine R;
    R.Points.reserve(5);
    R.Params.reserve(5);
    R.Points.push_back(P[0]);
    R.Params.push_back(0.0);
    DBezierToPolyLineAppend(P, Tol, R.Points, R.Params);
    return R;
}

void BezierNearestPoint(const TPoint& Pt, const TPoint P[4], double Tol, double Eps,
                        double* T, TPoint* Nearest, int64_t* SqrDist)
{
    // Reused between calls: hit tests run this for every curve of a path.
    thread_local std::vector<TPoint> Points;
    thread_local std::vector<double> Params;
    Points.clear();
    Params.clear();
    Points.push_back(P[0]);
    Params.push_back(0.0);
    BezierToPolyLineAppend(P, Tol, Points, Params);

    size_t Best = 0;
    int64_t BestDist = 0;
    for (size_t K = 0; K + 1 < Points.size(); ++K) {
        int64_t D = NearestPointOnSegment64(Pt, Points[K], Points[K + 1], nullptr);
        if (K == 0 || D < BestDist) {
            BestDist = D;
            Best = K;
        }
    }
    double Ta = Params[Best];
    double Tb = Params[Best + 1];

    // Bisection; bounded, as a zero or negative Eps would never be met.
    double EpsSq = Eps * Eps;
    for (int I = 0; I < 64; ++I) {
        TPoint Pa = BezierPoint(P, Ta);
        TPoint Pb = BezierPoint(P, Tb);
        if (static_cast<double>(PointSqrDist64(Pa, Pb)) < EpsSq)
            break;
        double Tm = (Ta + Tb) / 2;
        if (!(Ta < Tm && Tm < Tb))
            break;
        if (PointSqrDist64(Pa, Pt) <= PointSqrDist64(Pb, Pt))
            Tb = Tm;
        else
            Ta = Tm;
    }
    double Tr = (Ta + Tb) / 2;
    TPoint N = BezierPoint(P, Tr);
    if (T)
        *T = Tr;
    if (Nearest)
        *Nearest = N;
    if (SqrDist)
        *SqrDist = PointSqrDist64(N, Pt);
}

TDPoint DBezierGetTanT(const TDPoint P[4], double T)
{
    // The fallback chords are weighted sums of differences from the end
    // point rather than a curve point minus the end point: the Bernstein
    // weights do not sum to exactly 1 in doubles, so a curve whose points
    // coincide would otherwise get a chord of rounding noise instead of 0.
    TDPoint V;
    if (T == 0.0) {
        V = TDPoint{P[1].X - P[0].X, P[1].Y - P[0].Y};
        if (V.X == 0.0 && V.Y == 0.0) {
            const double U = 0.01, S = 1.0 - U;
            const double C1 = 3 * U * S * S, C2 = 3 * U * U * S, C3 = U * U * U;
            V = TDPoint{C1 * (P[1].X - P[0].X) + C2 * (P[2].X - P[0].X) + C3 * (P[3].X - P[0].X),
                        C1 * (P[1].Y - P[0].Y) + C2 * (P[2].Y - P[0].Y) + C3 * (P[3].Y - P[0].Y)};
        }
    } else if (T == 1.0) {
        V = TDPoint{P[3].X - P[2].X, P[3].Y - P[2].Y};
        if (V.X == 0.0 && V.Y == 0.0) {
            const double U = 0.99, S = 1.0 - U;
            const double C0 = S * S * S, C1 = 3 * U * S * S, C2 = 3 * U * U * S;
            V = TDPoint{C0 * (P[3].X - P[0].X) + C1 * (P[3].X - P[1].X) + C2 * (P[3].X - P[2].X),
                        C0 * (P[3].Y - P[0].Y) + C1 * (P[3].Y - P[1].Y) + C2 * (P[3].Y - P[2].Y)};
        }
    } else {
        double S = 1.0 - T;
        double C0 = S * S * S - S * S;
        double C1 = (3 * S * S - 2 * S) * T;
        double C2 = (3 * S - 1) * T * T;
        double C3 = T * T * T;
        return TDPoint{C0 * P[0].X + C1 * P[1].X + C2 * P[2].X + C3 * P[3].X,
                       C0 * P[0].Y + C1 * P[1].Y + C2 * P[2].Y + C3 * P[3].Y};
    }
    if (V.X == 0.0 && V.Y == 0.0)
        throw EUserError("DBezierGetTanT: Can't Get Tangent");
    return V;
}

bool MakeCornerBezier(const TPoint& A, const TPoint& B, const TPoint& C, const TPoint& T,
                      TPoint Out[4])
{
    TDPoint Ad{static_cast<double>(A.X), static_cast<double>(A.Y)};
    TDPoint Bd{static_cast<double>(B.X), static_cast<double>(B.Y)};
    TDPoint Cd{static_cast<double>(C.X), static_cast<double>(C.Y)};
    TDPoint Td{static_cast<double>(T.X), static_cast<double>(T.Y)};

    double D1, D2;
    DNearestPointOnSegment(Td, Ad, Bd, nullptr, &D1);
    DNearestPointOnSegment(Td, Bd, Cd, nullptr, &D2);
    bool NearIsA = D1 <= D2;
    TDPoint NearEnd = NearIsA ? Ad : Cd;
    TDPoint FarEnd = NearIsA ? Cd : Ad;

    // Tangent point on the near leg and the radius line through it.
    TDPoint F, L1a, L1b;
    DNearestPointOnLine(Td, NearEnd, Bd, &F, nullptr);
    DPerpendicularLine(F, NearEnd, Bd, L1a, L1b);

    TDPoint U{NearEnd.X - Bd.X, NearEnd.Y - Bd.Y};
    TDPoint W{FarEnd.X - Bd.X, FarEnd.Y - Bd.Y};
    DNormalizeVector(U);
    DNormalizeVector(W);
    TDPoint Dir{U.X + W.X, U.Y + W.Y};
    TDPoint BisEnd{Bd.X + Dir.X, Bd.Y + Dir.Y};

    TDPoint X;   // the centre of the circle tangent to both legs
    if (!DLineIntersection(Bd, BisEnd, L1a, L1b, &X))
        return false;
    TDPoint G;   // the tangent point on the far leg
    DNearestPointOnLine(X, Bd, FarEnd, &G, nullptr);
    TDPoint Y;   // the chord's midpoint on the bisector
    if (!DLineIntersection(Bd, BisEnd, Td, G, &Y))
        return false;
    double DirLen = std::sqrt(Dir.X * Dir.X + Dir.Y * Dir.Y);
    if (DirLen == 0.0)
        return false;
    double K = (DPointDistance(X, Td) - DPointDistance(X, Y)) * 4.0 / 3.0 / DirLen;
    TDPoint Z{Y.X - Dir.X * K, Y.Y - Dir.Y * K};
    TDPoint ZEnd{Z.X + Dir.Y, Z.Y - Dir.X};
    TDPoint H1, H2;
    if (!DLineIntersection(Z, ZEnd, NearEnd, Bd, &H1))
        return false;
    if (!DLineIntersection(Z, ZEnd, Bd, FarEnd, &H2))
        return false;

    TPoint Ti{RoundEven32(Td.X), RoundEven32(Td.Y)};
    TPoint H1i{RoundEven32(H1.X), RoundEven32(H1.Y)};
    TPoint H2i{RoundEven32(H2.X), RoundEven32(H2.Y)};
    TPoint Gi{RoundEven32(G.X), RoundEven32(G.Y)};
    if (NearIsA) {
        Out[0] = Ti;
        Out[1] = H1i;
        Out[2] = H2i;
        Out[3] = Gi;
    } else {
        Out[0] = Gi;
        Out[1] = H2i;
        Out[2] = H1i;
        Out[3] = Ti;
    }
    return true;
}

void SmoothBezierNode(TPoint P[7])
{
    TPoint V{WrapSub(P[6].X, P[0].X), WrapSub(P[6].Y, P[0].Y)};
    NormalizeVector(V);
    int32_t M = std::min(RoundEven32(PointDistance(P[3], P[0])),
                         RoundEven32(PointDistance(P[6], P[3])));
    V.X = static_cast<int32_t>(int64_t{V.X} * M / 3 / 1000);
    V.Y = static_cast<int32_t>(int64_t{V.Y} * M / 3 / 1000);
    P[4] = TPoint{WrapAdd(P[3].X, V.X), WrapAdd(P[3].Y, V.Y)};
    P[2] = MirrorPoint(P[4], P[3]);
    TPoint S1, S2;
    PerpendicularBisector(P[3], P[6], S1, S2);
    P[5] = ReflectPointOnLine(P[4], S1, S2);
}

void SmoothBezierNodeBoth(TPoint P[7])
{
    SmoothBezierNode(P);
    TPoint S1, S2;
    PerpendicularBisector(P[0], P[3], S1, S2);
    P[1] = ReflectPointOnLine(P[2], S1, S2);
}
