#include "model/curve_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

namespace {

using TPoints = std::vector<TDPoint>;

// Squared distance from Pt to the nearest of 2001 samples of each segment.
double SqrDistToCurve(const TDPoint& Pt, const std::vector<TDPoint>& Curve)
{
    double Best = 1e300;
    for (size_t S = 0; S + 3 < Curve.size(); S += 4)
        for (int32_t K = 0; K <= 2000; ++K) {
            const TDPoint Q = BezierAt(3, &Curve[S], K / 2000.0);
            const double D = (Q.X - Pt.X) * (Q.X - Pt.X) + (Q.Y - Pt.Y) * (Q.Y - Pt.Y);
            Best = std::min(Best, D);
        }
    return Best;
}

struct TFit {
    std::vector<TDPoint> Curve;
    int32_t Count = -1;
};

TFit Fit(const TPoints& P, double Error = 0.5)
{
    TFit F;
    FitCurve(P.data(), static_cast<int32_t>(P.size()), F.Curve, Error, F.Count);
    return F;
}

// Segments follow each other and run from the first point to the last.
void ExpectChain(const TPoints& P, const TFit& F)
{
    ASSERT_GT(F.Count, 0);
    ASSERT_EQ(F.Curve.size(), static_cast<size_t>(F.Count) * 4);
    EXPECT_EQ(F.Curve.front(), P.front());
    EXPECT_EQ(F.Curve.back(), P.back());
    for (size_t I = 4; I < F.Curve.size(); I += 4)
        EXPECT_EQ(F.Curve[I], F.Curve[I - 1]) << I;
}

// FitCurve written plainly from the public routines: every trial fit of the
// tangent grid fully evaluated, no shortcut.
void ReferenceFitCubic(const TPoints& P, int32_t First, int32_t Last, TDPoint T1, TDPoint T2,
                       double Error, std::vector<TDPoint>& Out)
{
    auto Append = [&](TDPoint A, TDPoint B, TDPoint C, TDPoint D) {
        Out.insert(Out.end(), {A, B, C, D});
    };
    if (Last - First + 1 == 2) {
        const double Dist = V2DistanceBetween2Points(P[Last], P[First]) / 3;
        Append(P[First], V2Add(P[First], V2Scale(T1, Dist)), V2Add(P[Last], V2Scale(T2, Dist)), P[Last]);
        return;
    }
    bool Straight = true;
    for (int32_t I = First + 1; I < Last; ++I) {
        const double DX = P[Last].X - P[First].X, DY = P[Last].Y - P[First].Y;
        const double PX = P[I].X - P[First].X, PY = P[I].Y - P[First].Y;
        const double L2 = DX * DX + DY * DY;
        const double T = L2 > 0 ? std::clamp((PX * DX + PY * DY) / L2, 0.0, 1.0) : 0.0;
        const double EX = PX - T * DX, EY = PY - T * DY;
        Straight = Straight && EX * EX + EY * EY <= 0.7;
    }
    if (Straight) {
        const TDPoint A = P[First], B = P[Last];
        Append(A, TDPoint{(2 * A.X + B.X) / 3, (2 * A.Y + B.Y) / 3},
               TDPoint{(A.X + 2 * B.X) / 3, (A.Y + 2 * B.Y) / 3}, B);
        return;
    }
    TdaDouble U;
    ChordLengthParameterize(P.data(), First, Last, U);
    TDPoint S[4];
    MakeFitBezier(P.data(), First, Last, U, T1, T2, S);
    double Best = MaxFitError(P.data(), First, Last, S, U);
    for (auto [Steps, Degrees] : {std::pair{4, 11.25}, std::pair{3, 2.8125}}) {
        const double Angle = Degrees * std::numbers::pi / 180.0;
        const TDPoint B1 = T1, B2 = T2;
        for (int A = -Steps; A <= Steps; ++A)
            for (int B = -Steps; B <= Steps; ++B) {
                const TDPoint R1 = V2Rotate(B1, A * Angle), R2 = V2Rotate(B2, B * Angle);
                TDPoint Trial[4];
                MakeFitBezier(P.data(), First, Last, U, R1, R2, Trial);
                const double E = MaxFitError(P.data(), First, Last, Trial, U);
                if (E < Best) {
                    Best = E;
                    T1 = R1;
                    T2 = R2;
                    std::copy(Trial, Trial + 4, S);
                }
            }
    }
    if (Best < Error * Error || Best < Error)
        for (int Pass = 0; Pass < 2; ++Pass) {
            Reparameterize(P.data(), First, Last, U, S);
            MakeFitBezier(P.data(), First, Last, U, T1, T2, S);
            Best = MaxFitError(P.data(), First, Last, S, U);
        }
    if (Best < Error) {
        Append(S[0], S[1], S[2], S[3]);
        return;
    }
    const int32_t C = (First + Last) / 2;
    ReferenceFitCubic(P, First, C, ComputeLeftTangent(P.data(), First),
                      ComputeCenterTangent(P.data(), C), Error, Out);
    ReferenceFitCubic(P, C, Last, V2Normalize(V2Sub(P[C + 1], P[C])),
                      ComputeRightTangent(P.data(), Last), Error, Out);
}

} // namespace

TEST(CurveFit, VectorOperationsBezierAtAndParameters)
{
    // A zero vector keeps its length 0 instead of dividing by it.
    EXPECT_EQ(V2Normalize(TDPoint{0, 0}), (TDPoint{0, 0}));
    EXPECT_EQ(V2SetLength(TDPoint{0, 0}, 5), (TDPoint{0, 0}));
    // (0,0) (1,2) (3,2) (4,0) at 1/2: weights 1/8, 3/8, 3/8, 1/8.
    const TDPoint C[4] = {{0, 0}, {1, 2}, {3, 2}, {4, 0}};
    EXPECT_EQ(BezierAt(3, C, 0.5), (TDPoint{2, 1.5}));
    // Tangents from the neighbours; a repeated point gives none.
    const TPoints P = {{0, 0}, {0, 0}, {3, 4}, {6, 4}};
    EXPECT_EQ(ComputeLeftTangent(P.data(), 0), (TDPoint{0, 0}));
    EXPECT_EQ(ComputeLeftTangent(P.data(), 1), (TDPoint{0.6, 0.8}));
    EXPECT_EQ(ComputeRightTangent(P.data(), 3), (TDPoint{-1, 0}));
    EXPECT_EQ(ComputeCenterTangent(P.data(), 2), (TDPoint{-0.6, -0.8}));
    const TPoints Q = {{9, 9}, {0, 0}, {3, 4}, {3, 9}, {6, 13}, {9, 9}};
    TdaDouble U;
    ChordLengthParameterize(Q.data(), 1, 4, U);
    EXPECT_EQ(U, (TdaDouble{0.0, 5.0 / 15, 10.0 / 15, 1.0}));
}

TEST(CurveFit, MakeFitBezierRecoversACubicAndZeroTangentsNeedNoDivision)
{
    // Points of a known cubic at their true parameters give it back.
    const TDPoint C[4] = {{0, 0}, {1, 3}, {4, 3}, {5, 0}};
    TPoints P;
    TdaDouble U;
    for (int K = 0; K <= 10; ++K) {
        U.push_back(K / 10.0);
        P.push_back(BezierAt(3, C, K / 10.0));
    }
    TDPoint Bez[4];
    MakeFitBezier(P.data(), 0, 10, U, V2Normalize(TDPoint{1, 3}), V2Normalize(TDPoint{-1, 3}), Bez);
    for (int I = 0; I < 4; ++I) {
        EXPECT_NEAR(Bez[I].X, C[I].X, 1e-9) << I;
        EXPECT_NEAR(Bez[I].Y, C[I].Y, 1e-9) << I;
    }
    EXPECT_NEAR(MaxFitError(P.data(), 0, 10, Bez, U), 0, 1e-18);
    // Both alphas stay 0: the control points fall back to a third of the
    // chord along the tangents, the zero one landing on its end point.
    const TPoints Z = {{0, 0}, {2, 3}, {5, 4}, {9, 0}};
    ChordLengthParameterize(Z.data(), 0, 3, U);
    MakeFitBezier(Z.data(), 0, 3, U, TDPoint{0, 0}, TDPoint{-1, 0}, Bez);
    EXPECT_EQ(Bez[1], Z[0]);
    EXPECT_EQ(Bez[2], (TDPoint{6, 0}));
    // FitCurve on a run that starts with a repeated point.
    const TPoints Q = {{0, 0}, {0, 0}, {4, 6}, {10, 7}, {16, 3}, {20, 0}};
    const TFit F = Fit(Q);
    ExpectChain(Q, F);
    for (const TDPoint& Pt : F.Curve)
        EXPECT_TRUE(std::isfinite(Pt.X) && std::isfinite(Pt.Y));
    // Two equal points: one segment collapsed onto them.
    const TFit Same = Fit({{3, 4}, {3, 4}});
    ASSERT_EQ(Same.Count, 1);
    EXPECT_EQ(Same.Curve, (std::vector<TDPoint>(4, TDPoint{3, 4})));
}

TEST(CurveFit, MaxFitErrorAndNewtonRaphsonStep)
{
    // Evenly paced line (0,0)-(2,0).
    const TDPoint Line[4] = {{0, 0}, {2.0 / 3, 0}, {4.0 / 3, 0}, {2, 0}};
    const TPoints P = {{0, 0}, {1, 1}, {2, 0}};
    EXPECT_DOUBLE_EQ(MaxFitError(P.data(), 0, 2, Line, TdaDouble{0, 0.5, 1}), 1.0);
    // At its own parameter the middle point is 1.64 away; the last point's
    // parameter reaches (1, 0), one away.
    EXPECT_DOUBLE_EQ(MaxFitError(P.data(), 0, 2, Line, TdaDouble{0, 0.9, 1}), 1.64);
    EXPECT_DOUBLE_EQ(MaxFitError(P.data(), 0, 2, Line, TdaDouble{0, 0.9, 0.5}), 1.0);
    EXPECT_EQ(MaxFitError(P.data(), 0, 1, Line, TdaDouble{0, 1}), -1.0);
    // Q(t) = (3t, 0): from u = 0.2 the point (1.5, 2) pulls u to 0.5 in one step.
    const TDPoint Q[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    EXPECT_NEAR(NewtonRaphsonRootFind(Q, TDPoint{1.5, 2}, 0.2), 0.5, 1e-15);
    // A curve collapsed to a point has no denominator: u stays.
    const TDPoint Dot[4] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}};
    EXPECT_EQ(NewtonRaphsonRootFind(Dot, TDPoint{5, 5}, 0.3), 0.3);
    const TPoints R = {{0, 0}, {1.5, 2}, {3, 0}};
    TdaDouble U = {0, 0.2, 1};
    Reparameterize(R.data(), 0, 2, U, Q);
    EXPECT_EQ(U[0], 0.0);
    EXPECT_NEAR(U[1], 0.5, 1e-15);
    EXPECT_EQ(U[2], 1.0);
}

TEST(CurveFit, ShortAndStraightRuns)
{
    // Two points: thirds along the tangents; one point: nothing.
    const TPoints P = {{0, 0}, {9, 0}};
    const std::vector<TDPoint> Third = {{0, 0}, {3, 0}, {6, 0}, {9, 0}};
    std::vector<TDPoint> Curve = {{7, 7}};
    int32_t Count = 5;
    FitCurve(P.data(), 2, Curve, 0.5, Count);
    ASSERT_EQ(Count, 1);
    EXPECT_EQ(Curve, Third);
    FitCurve(P.data(), 1, Curve, 0.5, Count);
    EXPECT_EQ(Count, 0);
    EXPECT_TRUE(Curve.empty());
    // Inner points within squared distance 0.7 of the chord: one line.
    const TFit S = Fit({{0, 0}, {1, 0.8}, {2, -0.8}, {3, 0.3}, {5, 0}, {8, -0.5}, {9, 0}});
    ASSERT_EQ(S.Count, 1);
    EXPECT_EQ(S.Curve, Third);
    // One point beyond it makes the run a curve fit.
    const TPoints Q = {{0, 0}, {1, 0.8}, {2, -0.9}, {3, 0.3}, {9, 0}};
    const TFit F = Fit(Q);
    ExpectChain(Q, F);
    EXPECT_FALSE(F.Count == 1 && F.Curve[1] == (TDPoint{3, 0}));
}

TEST(CurveFit, CornerIsKept)
{
    // 30 steps along x, then 10 along y: the corner (30, 0) stays a joint
    // between a segment along x and one along y.
    TPoints P;
    for (int X = 0; X <= 30; ++X)
        P.push_back(TDPoint{double(X), 0});
    for (int Y = 1; Y <= 10; ++Y)
        P.push_back(TDPoint{30, double(Y)});
    const TFit F = Fit(P);
    ExpectChain(P, F);
    int32_t Joint = -1;
    for (int32_t S = 0; S < F.Count; ++S)
        if (F.Curve[static_cast<size_t>(S) * 4 + 3] == (TDPoint{30, 0}))
            Joint = S;
    ASSERT_GE(Joint, 0);
    ASSERT_LT(Joint, F.Count - 1);
    for (size_t I = 0; I < F.Curve.size(); ++I) {
        if (int32_t(I / 4) <= Joint)
            EXPECT_EQ(F.Curve[I].Y, 0) << I;
        else
            EXPECT_EQ(F.Curve[I].X, 30) << I;
    }
    for (const TDPoint& Pt : P)
        EXPECT_LT(SqrDistToCurve(Pt, F.Curve), 1e-12);
}

TEST(CurveFit, ManySegmentsKeepEveryPoint)
{
    // A saw tooth no cubic follows: more than 128 segments, all kept in order.
    TPoints P;
    for (int I = 0; I < 601; ++I)
        P.push_back(TDPoint{I * 2.0, (I % 2) * 10.0 + (I % 3)});
    const TFit F = Fit(P);
    ExpectChain(P, F);
    EXPECT_GT(F.Count, 128);
    for (size_t I = 0; I < P.size(); I += 37)
        EXPECT_LE(SqrDistToCurve(P[I], F.Curve), 0.5) << I;
}

TEST(CurveFit, QuarterCircleAndRandomRunsStayWithinTolerance)
{
    // A quarter circle takes at most two segments.
    constexpr double Degree = std::numbers::pi / 180;
    TPoints Arc;
    for (double D = 0; D <= 90; ++D)
        Arc.push_back(TDPoint{100 * std::cos(D * Degree), 100 * std::sin(D * Degree)});
    const TFit ArcFit = Fit(Arc);
    ExpectChain(Arc, ArcFit);
    EXPECT_LE(ArcFit.Count, 2);
    for (const TDPoint& Pt : Arc)
        EXPECT_LT(SqrDistToCurve(Pt, ArcFit.Curve), 0.5);
    // Every point lies within the tolerance of the result (0.7 for a run
    // that was taken as straight).
    std::mt19937 Rng(11);
    std::normal_distribution<double> Jitter(0, 0.6);
    for (int Trial = 0; Trial < 8; ++Trial) {
        TPoints P;
        const double R = 20 + Trial * 3;
        for (int K = 0; K < 60; ++K) {
            const double A = K * 0.08 + Trial;
            P.push_back(TDPoint{R * std::cos(A) + K + Jitter(Rng), R * std::sin(2 * A) + Jitter(Rng)});
        }
        const TFit F = Fit(P);
        ExpectChain(P, F);
        for (const TDPoint& Pt : P)
            EXPECT_LE(SqrDistToCurve(Pt, F.Curve), 0.7 + 1e-6) << Trial;
    }
}

TEST(CurveFit, SearchShortcutsChangeNothing)
{
    // The fitter skips trial fits it can already rule out; the result must
    // be the one of evaluating every trial in full, bit for bit.
    std::mt19937 Rng(5);
    std::normal_distribution<double> Jitter(0, 0.4);
    for (int Trial = 0; Trial < 16; ++Trial) {
        TPoints P;
        const int N = 5 + Trial * 7;
        for (int K = 0; K < N; ++K) {
            const double A = K * (0.05 + 0.01 * (Trial % 5));
            P.push_back(TDPoint{30 * std::cos(A) + Jitter(Rng), 20 * std::sin(A * 1.7) + Jitter(Rng)});
        }
        for (double Error : {0.5, 4.0}) {
            const TFit F = Fit(P, Error);
            std::vector<TDPoint> Want;
            ReferenceFitCubic(P, 0, N - 1, ComputeLeftTangent(P.data(), 0),
                              ComputeRightTangent(P.data(), N - 1), Error, Want);
            EXPECT_EQ(F.Curve, Want) << Trial;
            EXPECT_EQ(F.Curve.size(), static_cast<size_t>(F.Count) * 4);
        }
    }
}
