#include "model/curve_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

// Inner points this close (squared) to the chord make a run a straight segment.
constexpr double StraightTolerance = 0.7;
// Smaller least-squares handle lengths fall back to a third of the chord.
constexpr double MinAlpha = 1e-6;
// The curve block grows by whole multiples of this many segments.
constexpr int32_t CurveGrowSegments = 128;

// Tangent grid: 9 x 9 rotations by 11.25 degrees, then 7 x 7 by 2.8125.
constexpr int32_t CoarseSteps = 4;
constexpr double CoarseAngle = 11.25 * std::numbers::pi / 180.0;
constexpr int32_t FineSteps = 3;
constexpr double FineAngle = 2.8125 * std::numbers::pi / 180.0;

constexpr int32_t ReparameterizePasses = 2;

// Cosine and sine of the grid rotations, index step + Steps.
struct TRotationTable {
    double Cos[2 * CoarseSteps + 1];
    double Sin[2 * CoarseSteps + 1];
};

TRotationTable MakeRotationTable(int32_t Steps, double Angle)
{
    TRotationTable T{};
    for (int32_t A = -Steps; A <= Steps; ++A) {
        T.Cos[A + Steps] = std::cos(A * Angle);
        T.Sin[A + Steps] = std::sin(A * Angle);
    }
    return T;
}

const TRotationTable& CoarseRotations()
{
    static const TRotationTable T = MakeRotationTable(CoarseSteps, CoarseAngle);
    return T;
}

const TRotationTable& FineRotations()
{
    static const TRotationTable T = MakeRotationTable(FineSteps, FineAngle);
    return T;
}

// V2Rotate with the cosine and sine already known (same arithmetic).
inline TDPoint RotateCS(const TDPoint& V, double C, double S)
{
    return TDPoint{V.X * C - V.Y * S, V.X * S + V.Y * C};
}

inline double SqrDist(const TDPoint& A, const TDPoint& B)
{
    const double DX = A.X - B.X;
    const double DY = A.Y - B.Y;
    return DX * DX + DY * DY;
}

// De Casteljau on a copy: for I = 1 .. Degree, V[J] := (1-t) V[J] + t V[J+1].
inline void DeCasteljauSteps(TDPoint* V, int32_t Degree, double T)
{
    const double S = 1.0 - T;
    for (int32_t I = 1; I <= Degree; ++I)
        for (int32_t J = 0; J <= Degree - I; ++J) {
            V[J].X = S * V[J].X + T * V[J + 1].X;
            V[J].Y = S * V[J].Y + T * V[J + 1].Y;
        }
}

template <int32_t Degree>
inline TDPoint DeCasteljau(const TDPoint* V, double T)
{
    TDPoint Temp[Degree + 1];
    for (int32_t I = 0; I <= Degree; ++I)
        Temp[I] = V[I];
    DeCasteljauSteps(Temp, Degree, T);
    return Temp[0];
}

// The cubic from P0 to P3 at one parameter, split into the part its ends fix
// and the weights of its two handles: Q = Base + B1 (P1 - P0) + B2 (P2 - P3),
// the Bernstein form regrouped. Every evaluation here goes through it, so
// that the same parameter and curve always give the same bits.
struct TCurveTerm {
    double BaseX = 0.0;
    double BaseY = 0.0;
    double B1 = 0.0;
    double B2 = 0.0;
};

inline TCurveTerm MakeCurveTerm(const TDPoint& P0, const TDPoint& P3, double U)
{
    const double B1 = Bernstein1(U);
    const double B2 = Bernstein2(U);
    const double E0 = Bernstein0(U) + B1;
    const double E3 = B2 + Bernstein3(U);
    return TCurveTerm{P0.X * E0 + P3.X * E3, P0.Y * E0 + P3.Y * E3, B1, B2};
}

// D1 = P1 - P0, D2 = P2 - P3.
inline TDPoint CurveAt(const TCurveTerm& T, const TDPoint& D1, const TDPoint& D2)
{
    return TDPoint{T.BaseX + T.B1 * D1.X + T.B2 * D2.X, T.BaseY + T.B1 * D1.Y + T.B2 * D2.Y};
}

// The parts of the least-squares system that do not depend on the end
// tangents: with unit tangents e1, e2, C11 = S11 e1.e1, C12 = S12 e1.e2,
// C22 = S22 e2.e2, X1 = e1.V1, X2 = e2.V2. The tangent search then solves each
// trial in constant time.
struct TFitSums {
    double S11 = 0.0;
    double S12 = 0.0;
    double S22 = 0.0;
    TDPoint V1;
    TDPoint V2;
};

void AccumulateFitSums(const TDPoint* P, int32_t First, int32_t Last, const TCurveTerm* T,
                       TFitSums& S)
{
    S = TFitSums{};
    const int32_t N = Last - First + 1;
    for (int32_t K = 0; K < N; ++K, ++T) {
        const double B1 = T->B1;
        const double B2 = T->B2;
        S.S11 += B1 * B1;
        S.S12 += B1 * B2;
        S.S22 += B2 * B2;
        const TDPoint& Pk = P[First + K];
        const double TX = Pk.X - T->BaseX;
        const double TY = Pk.Y - T->BaseY;
        S.V1.X += B1 * TX;
        S.V1.Y += B1 * TY;
        S.V2.X += B2 * TX;
        S.V2.Y += B2 * TY;
    }
}

// An end tangent with what every trial fit needs of it: its length and the
// unit vector (as V2SetLength makes them).
struct TTangent {
    TDPoint T;
    double Len = 0.0;
    TDPoint E;
    double EE = 0.0;

    TTangent() = default;
    explicit TTangent(const TDPoint& V) : T(V), Len(V2Length(V)), E(V)
    {
        if (Len != 0.0)
            E = TDPoint{V.X * 1.0 / Len, V.Y * 1.0 / Len};
        EE = V2Dot(E, E);
    }
    // V2SetLength(T, L).
    TDPoint Scaled(double L) const
    {
        return Len == 0.0 ? T : TDPoint{T.X * L / Len, T.Y * L / Len};
    }
};

void SolveFitBezier(const TDPoint& P0, const TDPoint& P3, const TFitSums& S, const TTangent& T1,
                    const TTangent& T2, TDPoint Bez[4])
{
    const double C11 = S.S11 * T1.EE;
    const double C12 = S.S12 * V2Dot(T1.E, T2.E);
    const double C22 = S.S22 * T2.EE;
    const double X1 = V2Dot(T1.E, S.V1);
    const double X2 = V2Dot(T2.E, S.V2);

    double Det = C11 * C22 - C12 * C12;
    const double DetXC2 = X1 * C22 - X2 * C12;
    const double DetC1X = C11 * X2 - C12 * X1;
    if (Det == 0.0)
        Det = C11 * C22 * 1e-11;
    const double AlphaL = DetXC2 == 0.0 ? 0.0 : DetXC2 / Det;
    const double AlphaR = DetC1X == 0.0 ? 0.0 : DetC1X / Det;

    Bez[0] = P0;
    Bez[3] = P3;
    if (AlphaL >= MinAlpha && AlphaR >= MinAlpha) {
        Bez[1] = V2Add(P0, T1.Scaled(AlphaL));
        Bez[2] = V2Add(P3, T2.Scaled(AlphaR));
    } else {
        const double Dist = V2DistanceBetween2Points(P3, P0) / 3.0;
        Bez[1] = V2Add(P0, T1.Scaled(Dist));
        Bez[2] = V2Add(P3, T2.Scaled(Dist));
    }
}

// The state of one FitCurve call. The scratch arrays belong to the run being
// fitted; a run is done with them before its halves are fitted.
struct TFitWork {
    const TDPoint* P = nullptr;
    double Error = 0.0;
    std::vector<TDPoint>* Curve = nullptr;
    int32_t* Count = nullptr;
    TdaDouble U;
    std::vector<TCurveTerm> Terms; // per point, at its parameter
    std::vector<TDPoint> Q;        // the current trial curve at each parameter
};

void AppendSegment(TFitWork& Work, const TDPoint& P0, const TDPoint& P1, const TDPoint& P2,
                   const TDPoint& P3)
{
    std::vector<TDPoint>& Curve = *Work.Curve;
    const int32_t Count = *Work.Count;
    if (Count % CurveGrowSegments == 0) {
        // Whole steps of 128 segments, at least doubling so that long fits
        // do not copy the block over and over.
        const size_t Need = static_cast<size_t>(Count) + CurveGrowSegments;
        if (Curve.capacity() < Need * 4) {
            size_t Segments = std::max(Need, static_cast<size_t>(Count) * 2);
            Segments = (Segments + CurveGrowSegments - 1) / CurveGrowSegments * CurveGrowSegments;
            Curve.reserve(Segments * 4);
        }
    }
    Curve.push_back(P0);
    Curve.push_back(P1);
    Curve.push_back(P2);
    Curve.push_back(P3);
    *Work.Count = Count + 1;
}

bool IsStraightRun(const TDPoint* P, int32_t First, int32_t Last)
{
    const TDPoint A = P[First];
    const double DX = P[Last].X - A.X;
    const double DY = P[Last].Y - A.Y;
    const double L2 = DX * DX + DY * DY;
    for (int32_t I = First + 1; I < Last; ++I) {
        const double PX = P[I].X - A.X;
        const double PY = P[I].Y - A.Y;
        double T = 0.0;
        if (L2 > 0.0)
            T = std::clamp((PX * DX + PY * DY) / L2, 0.0, 1.0);
        const double EX = PX - T * DX;
        const double EY = PY - T * DY;
        if (!(EX * EX + EY * EY <= StraightTolerance))
            return false;
    }
    return true;
}

void ComputeTerms(TFitWork& Work, int32_t First, int32_t Last)
{
    const int32_t N = Last - First + 1;
    Work.Terms.resize(static_cast<size_t>(N));
    for (int32_t K = 0; K < N; ++K)
        Work.Terms[K] = MakeCurveTerm(Work.P[First], Work.P[Last], Work.U[K]);
}

// The fit error of Bez over the current run (see MaxFitError), or some value
// of at least Limit as soon as the error is known to reach it. Worst is a
// point to look at first, and receives the worst point of a complete
// evaluation. The result of a complete evaluation equals MaxFitError's.
double FitErrorLimited(TFitWork& Work, int32_t First, int32_t Last, const TDPoint Bez[4],
                       double Limit, int32_t& Worst)
{
    const TDPoint* P = Work.P + First;
    const int32_t N = Last - First + 1;
    const TCurveTerm* T = Work.Terms.data();
    TDPoint* Q = Work.Q.data();
    const TDPoint D1 = V2Sub(Bez[1], Bez[0]);
    const TDPoint D2 = V2Sub(Bez[2], Bez[3]);

    // The point that was worst for the best fit so far usually rules a worse
    // trial out at once: all of its window must reach the limit.
    if (Worst > 0 && Worst < N - 1) {
        const int32_t J0 = std::max(0, Worst - 2);
        const int32_t J1 = std::min(N - 1, Worst + 2);
        double Min = Limit;
        for (int32_t J = J0; J <= J1; ++J) {
            const double D = SqrDist(P[Worst], CurveAt(T[J], D1, D2));
            if (!(D >= Limit)) {
                Min = -1.0;
                break;
            }
            Min = std::min(Min, D);
        }
        if (Min >= Limit)
            return Min;
    }

    double MaxDist = -1.0;
    int32_t MaxAt = -1;
    int32_t Done = 0; // Q[0 .. Done-1] hold the curve points
    for (int32_t K = 1; K <= N - 2; ++K) {
        const int32_t Need = std::min(N, K + 3);
        for (; Done < Need; ++Done)
            Q[Done] = CurveAt(T[Done], D1, D2);
        const int32_t J0 = std::max(0, K - 2);
        double Min = SqrDist(P[K], Q[J0]);
        for (int32_t J = J0 + 1; J <= K + 2 && J < N; ++J) {
            const double D = SqrDist(P[K], Q[J]);
            if (D < Min)
                Min = D;
        }
        if (Min > MaxDist) {
            MaxDist = Min;
            MaxAt = K;
            if (MaxDist >= Limit)
                return MaxDist;
        }
    }
    Worst = MaxAt;
    return MaxDist;
}

void FitCubic(TFitWork& Work, int32_t First, int32_t Last, TDPoint T1, TDPoint T2)
{
    const TDPoint* P = Work.P;
    const int32_t N = Last - First + 1;
    const double Error = Work.Error;

    if (N == 2) {
        const double Dist = V2DistanceBetween2Points(P[Last], P[First]) / 3.0;
        AppendSegment(Work, P[First], V2Add(P[First], V2Scale(T1, Dist)),
                      V2Add(P[Last], V2Scale(T2, Dist)), P[Last]);
        return;
    }
    if (IsStraightRun(P, First, Last)) {
        const TDPoint A = P[First];
        const TDPoint B = P[Last];
        AppendSegment(Work, A, TDPoint{(2.0 * A.X + B.X) / 3.0, (2.0 * A.Y + B.Y) / 3.0},
                      TDPoint{(A.X + 2.0 * B.X) / 3.0, (A.Y + 2.0 * B.Y) / 3.0}, B);
        return;
    }

    ChordLengthParameterize(P, First, Last, Work.U);
    ComputeTerms(Work, First, Last);
    Work.Q.resize(static_cast<size_t>(N));
    TFitSums Sums;
    AccumulateFitSums(P, First, Last, Work.Terms.data(), Sums);

    TDPoint S[4];
    SolveFitBezier(P[First], P[Last], Sums, TTangent(T1), TTangent(T2), S);
    int32_t Worst = -1;
    double Best = FitErrorLimited(Work, First, Last, S, std::numeric_limits<double>::infinity(), Worst);

    // Tangent grid, coarse then fine; each grid rotates the tangents it
    // started from.
    auto Search = [&](const TRotationTable& R, int32_t Steps) {
        const TDPoint Base1 = T1;
        const TDPoint Base2 = T2;
        TDPoint Trial[4];
        TTangent Rotated2[2 * CoarseSteps + 1];
        for (int32_t B = -Steps; B <= Steps; ++B)
            Rotated2[B + Steps] = TTangent(RotateCS(Base2, R.Cos[B + Steps], R.Sin[B + Steps]));
        for (int32_t A = -Steps; A <= Steps; ++A) {
            const TTangent R1(RotateCS(Base1, R.Cos[A + Steps], R.Sin[A + Steps]));
            for (int32_t B = -Steps; B <= Steps; ++B) {
                if (A == 0 && B == 0)
                    continue; // the fit it started from: never strictly better
                const TTangent& R2 = Rotated2[B + Steps];
                SolveFitBezier(P[First], P[Last], Sums, R1, R2, Trial);
                int32_t TrialWorst = Worst;
                const double E = FitErrorLimited(Work, First, Last, Trial, Best, TrialWorst);
                if (E < Best) {
                    Best = E;
                    Worst = TrialWorst;
                    T1 = R1.T;
                    T2 = R2.T;
                    std::copy(Trial, Trial + 4, S);
                }
            }
        }
    };
    Search(CoarseRotations(), CoarseSteps);
    Search(FineRotations(), FineSteps);

    if (Best < Error * Error || Best < Error) {
        for (int32_t Pass = 0; Pass < ReparameterizePasses; ++Pass) {
            Reparameterize(P, First, Last, Work.U, S);
            ComputeTerms(Work, First, Last);
            AccumulateFitSums(P, First, Last, Work.Terms.data(), Sums);
            SolveFitBezier(P[First], P[Last], Sums, TTangent(T1), TTangent(T2), S);
            Worst = -1;
            Best = FitErrorLimited(Work, First, Last, S, std::numeric_limits<double>::infinity(), Worst);
        }
    }

    if (Best < Error) {
        AppendSegment(Work, S[0], S[1], S[2], S[3]);
        return;
    }
    const int32_t Center = (First + Last) / 2;
    const TDPoint CenterTangent = ComputeCenterTangent(P, Center);
    FitCubic(Work, First, Center, ComputeLeftTangent(P, First), CenterTangent);
    FitCubic(Work, Center, Last, V2Normalize(V2Sub(P[Center + 1], P[Center])),
             ComputeRightTangent(P, Last));
}

} // namespace

double V2Length(const TDPoint& V)
{
    return std::sqrt(V2SquaredLength(V));
}

double V2DistanceBetween2Points(const TDPoint& A, const TDPoint& B)
{
    return V2Length(V2Sub(A, B));
}

TDPoint V2Normalize(const TDPoint& V)
{
    const double Len = V2Length(V);
    if (Len == 0.0)
        return V;
    return TDPoint{V.X / Len, V.Y / Len};
}

TDPoint V2SetLength(const TDPoint& V, double NewLength)
{
    const double Len = V2Length(V);
    if (Len == 0.0)
        return V;
    return TDPoint{V.X * NewLength / Len, V.Y * NewLength / Len};
}

TDPoint V2Rotate(const TDPoint& V, double Angle)
{
    return RotateCS(V, std::cos(Angle), std::sin(Angle));
}

TDPoint BezierAt(int32_t Degree, const TDPoint* V, double T)
{
    if (Degree < 0 || !V)
        return TDPoint{};
    switch (Degree) {
    case 0:
        return V[0];
    case 1:
        return DeCasteljau<1>(V, T);
    case 2:
        return DeCasteljau<2>(V, T);
    case 3:
        return DeCasteljau<3>(V, T);
    default:
        break;
    }
    std::vector<TDPoint> Temp(V, V + Degree + 1);
    DeCasteljauSteps(Temp.data(), Degree, T);
    return Temp[0];
}

TDPoint ComputeLeftTangent(const TDPoint* P, int32_t I)
{
    return V2Normalize(V2Sub(P[I + 1], P[I]));
}

TDPoint ComputeRightTangent(const TDPoint* P, int32_t I)
{
    return V2Normalize(V2Sub(P[I - 1], P[I]));
}

TDPoint ComputeCenterTangent(const TDPoint* P, int32_t I)
{
    return V2Normalize(V2Sub(P[I - 1], P[I]));
}

void ChordLengthParameterize(const TDPoint* P, int32_t First, int32_t Last, TdaDouble& U)
{
    const int32_t N = Last - First + 1;
    U.resize(static_cast<size_t>(std::max(N, 0)));
    if (N <= 0)
        return;
    U[0] = 0.0;
    for (int32_t K = 1; K < N; ++K)
        U[K] = U[K - 1] + V2DistanceBetween2Points(P[First + K], P[First + K - 1]);
    const double Total = U[N - 1];
    for (int32_t K = 1; K < N; ++K)
        U[K] = U[K] / Total;
}

void MakeFitBezier(const TDPoint* P, int32_t First, int32_t Last, const TdaDouble& U,
                   const TDPoint& T1, const TDPoint& T2, TDPoint Bez[4])
{
    const int32_t N = Last - First + 1;
    std::vector<TCurveTerm> Terms(static_cast<size_t>(N));
    for (int32_t K = 0; K < N; ++K)
        Terms[K] = MakeCurveTerm(P[First], P[Last], U[K]);
    TFitSums Sums;
    AccumulateFitSums(P, First, Last, Terms.data(), Sums);
    SolveFitBezier(P[First], P[Last], Sums, TTangent(T1), TTangent(T2), Bez);
}

double MaxFitError(const TDPoint* P, int32_t First, int32_t Last, const TDPoint Bez[4],
                   const TdaDouble& U)
{
    const TDPoint D1 = V2Sub(Bez[1], Bez[0]);
    const TDPoint D2 = V2Sub(Bez[2], Bez[3]);
    double MaxDist = -1.0;
    for (int32_t I = First + 1; I <= Last - 1; ++I) {
        const int32_t J0 = std::max(First, I - 2);
        const int32_t J1 = std::min(Last, I + 2);
        double Min = 0.0;
        for (int32_t J = J0; J <= J1; ++J) {
            const TCurveTerm T = MakeCurveTerm(Bez[0], Bez[3], U[J - First]);
            const double D = SqrDist(P[I], CurveAt(T, D1, D2));
            if (J == J0 || D < Min)
                Min = D;
        }
        if (Min > MaxDist)
            MaxDist = Min;
    }
    return MaxDist;
}

double NewtonRaphsonRootFind(const TDPoint Q[4], const TDPoint& Pt, double U)
{
    TDPoint Q1[3];
    TDPoint Q2[2];
    for (int32_t I = 0; I <= 2; ++I)
        Q1[I] = V2Scale(V2Sub(Q[I + 1], Q[I]), 3.0);
    for (int32_t I = 0; I <= 1; ++I)
        Q2[I] = V2Scale(V2Sub(Q1[I + 1], Q1[I]), 2.0);
    const TDPoint QU = DeCasteljau<3>(Q, U);
    const TDPoint Q1U = DeCasteljau<2>(Q1, U);
    const TDPoint Q2U = DeCasteljau<1>(Q2, U);
    const TDPoint D = V2Sub(QU, Pt);
    const double Numerator = V2Dot(D, Q1U);
    const double Denominator = V2Dot(Q1U, Q1U) + V2Dot(D, Q2U);
    if (Denominator == 0.0)
        return U;
    return U - Numerator / Denominator;
}

void Reparameterize(const TDPoint* P, int32_t First, int32_t Last, TdaDouble& U,
                    const TDPoint Bez[4])
{
    for (int32_t I = First; I <= Last; ++I)
        U[I - First] = NewtonRaphsonRootFind(Bez, P[I], U[I - First]);
}

void FitCurve(const TDPoint* P, int32_t N, std::vector<TDPoint>& Curve, double Error,
              int32_t& Count)
{
    Curve.clear();
    Count = 0;
    if (!P || N < 2)
        return;
    TFitWork Work;
    Work.P = P;
    Work.Error = Error;
    Work.Curve = &Curve;
    Work.Count = &Count;
    FitCubic(Work, 0, N - 1, ComputeLeftTangent(P, 0), ComputeRightTangent(P, N - 1));
}
