#include "foundation/bezier.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include "platform/test_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using TCurve = std::vector<TPoint>;
using TDCurve = std::array<TDPoint, 4>;
using THalves = std::pair<TCurve, TCurve>;
const double NaN = std::numeric_limits<double>::quiet_NaN();

TDPoint ToD(const TPoint& P) { return TDPoint{double(P.X), double(P.Y)}; }
TDCurve ToD(const TCurve& C) { return {ToD(C[0]), ToD(C[1]), ToD(C[2]), ToD(C[3])}; }

TCurve RandomCurve(std::mt19937& Rng, int32_t Max)
{
    std::uniform_int_distribution<int32_t> U(0, Max);
    TCurve C(4);
    for (TPoint& P : C)
        P = TPoint{U(Rng), U(Rng)};
    return C;
}

template <class F>
THalves Split(TCurve P, F Fn)
{
    TPoint Q[4], R[4];
    Fn(P.data(), Q, R);
    return {TCurve(Q, Q + 4), TCurve(R, R + 4)};
}

// Halving depth of a flattened piece from its parameter width 2^-k.
int DepthOf(double Width) { return static_cast<int>(std::lround(-std::log2(Width))); }

// Bound on the distance from the exact curve to the chord of an integer piece
// at depth K: a control point passes the flatness test up to sqrt(Tol^2 + 0.5)
// from the chord, and each integer split moves points by at most 0.5 per
// coordinate, an error that later averaging never enlarges.
double IntAllowance(double Tol, int K) { return std::sqrt(Tol * Tol + 0.5) + 0.5 * std::sqrt(2.0) * K; }

// Largest distance from the exact curve (times Scale) to the chord of the
// piece whose parameter interval holds each sample, minus Allow(depth).
template <class TPt, class TAllow>
double WorstExcess(const TDCurve& D, double Scale, const std::vector<TPt>& Pts, const std::vector<double>& Params,
                   TAllow Allow)
{
    double Worst = -1e300;
    size_t K = 0;
    for (int S = 0; S <= 500; ++S) {
        const double T = S / 500.0;
        while (K + 2 < Params.size() && Params[K + 1] < T)
            ++K;
        const TDPoint Q = DBezierPoint(D.data(), T);
        TDPoint A, B;
        if constexpr (std::is_same_v<TPt, TPoint>)
            A = ToD(Pts[K]), B = ToD(Pts[K + 1]);
        else
            A = Pts[K], B = Pts[K + 1];
        double Sq;
        DNearestPointOnSegment(TDPoint{Q.X * Scale, Q.Y * Scale}, A, B, nullptr, &Sq);
        Worst = std::max(Worst, std::sqrt(Sq) - Allow(DepthOf(Params[K + 1] - Params[K])));
    }
    return Worst;
}

} // namespace

TEST(Bezier, EvaluateAndSplit)
{
    const TPoint L[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    EXPECT_EQ(BezierPoint(L, 0.5), (TPoint{2, 0})); // 1.5 to even
    const TPoint H[4] = {{0, 0}, {0, 0}, {1, -1}, {1, -1}};
    EXPECT_EQ(BezierPoint(H, 0.5), (TPoint{0, 0})); // 0.5 and -0.5 to even
    const TDPoint D[4] = {{0, 0}, {0, 3}, {3, 3}, {3, 0}};
    EXPECT_EQ(DBezierPoint(D, 0.5), (TDPoint{1.5, 2.25}));
    // Halving rounds halves up on both sides of zero (-0.5, -1.5, -2.5 here),
    // so a degenerate curve at negative coordinates stays where it is.
    EXPECT_EQ(Split({{0, 0}, {1, 0}, {2, 0}, {3, 0}}, BezierSplitHalf),
              THalves({{0, 0}, {1, 0}, {1, 0}, {2, 0}}, {{2, 0}, {2, 0}, {3, 0}, {3, 0}}));
    EXPECT_EQ(Split({{0, 0}, {-1, 0}, {-2, 0}, {-3, 0}}, BezierSplitHalf),
              THalves({{0, 0}, {0, 0}, {-1, 0}, {-1, 0}}, {{-1, 0}, {-2, 0}, {-2, 0}, {-3, 0}}));
    const TCurve Dot(4, TPoint{-4, -7});
    EXPECT_EQ(Split(Dot, BezierSplitHalf), THalves(Dot, Dot));
    TPoint N[4] = {{0, 0}, {-1, 0}, {-2, 0}, {-3, 0}}, R[4];
    BezierSplitHalf(N, N, R); // in place
    EXPECT_EQ(TCurve(N, N + 4), (TCurve{{0, 0}, {0, 0}, {-1, 0}, {-1, 0}}));
    const TDPoint DL[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    TDPoint DQ[4], DR[4];
    DBezierSplitHalf(DL, DQ, DR);
    EXPECT_EQ(std::tuple(DQ[1], DQ[3], DR[2]), std::tuple(TDPoint{0.5, 0}, TDPoint{1.5, 0}, TDPoint{2.5, 0}));
    auto At = [](double T) { return [T](const TPoint* P, TPoint* Q, TPoint* R) { BezierSplitAt(P, T, Q, R); }; };
    EXPECT_EQ(Split({{0, 0}, {0, 8}, {8, 8}, {8, 0}}, At(0.5)),
              THalves({{0, 0}, {0, 4}, {2, 6}, {4, 6}}, {{4, 6}, {6, 6}, {8, 4}, {8, 0}}));
    // Unlike the halving, ties go to even: Q1 = 0.5 -> 0, Q3 = 1.5 -> 2, R2 = 2.5 -> 2.
    EXPECT_EQ(Split({{0, 0}, {1, 0}, {2, 0}, {3, 0}}, At(0.5)),
              THalves({{0, 0}, {0, 0}, {1, 0}, {2, 0}}, {{2, 0}, {2, 0}, {2, 0}, {3, 0}}));
    // Off the middle, so the weights of the two sides cannot be swapped.
    EXPECT_EQ(Split({{0, 0}, {4, 0}, {8, 0}, {12, 0}}, At(0.25)),
              THalves({{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {{3, 0}, {6, 0}, {9, 0}, {12, 0}}));
}

TEST(Bezier, SubdivideByStep)
{
    const TPoint P[4] = {{0, 0}, {10, 0}, {20, 0}, {30, 0}};
    EXPECT_EQ(BezierSubdivideByStep(P, 30), TCurve(P, P + 4));
    // Chords 30 and 15 split, 8 and 7 do not (halving by hand).
    std::vector<int32_t> Xs;
    for (const TPoint& Q : BezierSubdivideByStep(P, 10))
        Xs.push_back(Q.X);
    EXPECT_EQ(Xs, (std::vector<int32_t>{0, 3, 5, 8, 10, 13, 15, 18, 20, 23, 25, 28, 30}));
    std::mt19937 Rng(11);
    for (int N = 0; N < 20; ++N) {
        const TCurve C = RandomCurve(Rng, 3000);
        const TCurve S = BezierSubdivideByStep(C.data(), 100);
        ASSERT_EQ(S.size() % 3, 1u);
        EXPECT_EQ(std::pair(S.front(), S.back()), std::pair(C[0], C[3]));
        for (size_t I = 3; I < S.size(); I += 3)
            EXPECT_LE(PointSqrDistance(S[I - 3], S[I]), 100 * 100);
        // The append form adds what follows P0 to the caller's buffer.
        TCurve Buf{{9, 9}};
        BezierSubdivideByStepAppend(C.data(), 100, Buf);
        EXPECT_TRUE(Buf[0] == (TPoint{9, 9}) && Buf.size() == S.size() && std::equal(S.begin() + 1, S.end(), Buf.begin() + 1));
    }
    // Across the whole coordinate range: chord squares beyond int64 still split.
    const TPoint Wide[4] = {{INT32_MIN, INT32_MIN}, {-1000, 0}, {1000, 0}, {INT32_MAX, INT32_MAX}};
    const TCurve W = BezierSubdivideByStep(Wide, 1 << 26);
    for (size_t I = 3; I < W.size(); I += 3) {
        const double Dx = double(W[I].X) - W[I - 3].X, Dy = double(W[I].Y) - W[I - 3].Y;
        ASSERT_LE(Dx * Dx + Dy * Dy, std::pow(double(1 << 26), 2)) << I;
    }
    EXPECT_EQ(std::pair(W.front(), W.back()), std::pair(Wide[0], Wide[3]));
}

TEST(Bezier, FlattenStraightAndAppend)
{
    const TPoint S[4] = {{0, 0}, {10, 5}, {20, 10}, {30, 15}};
    EXPECT_EQ(BezierFlatten(S, 0), (TCurve{{0, 0}, {30, 15}}));
    const TDPoint D[4] = {{0, 0}, {10, 5}, {20, 10}, {30, 15}};
    const TDBezierPolyLine DL = DBezierToPolyLine(D, 0);
    EXPECT_EQ(DL.Points, (std::vector<TDPoint>{{0, 0}, {30, 15}}));
    EXPECT_EQ(DL.Params, (std::vector<double>{0.0, 1.0}));
    // The append forms add what follows P0 to the caller's buffer.
    const TPoint C[4] = {{0, 0}, {0, 400}, {400, 400}, {400, 0}};
    const TCurve Whole = BezierFlatten(C, 2.0);
    ASSERT_GT(Whole.size(), 3u);
    TCurve Buf{{-5, -5}};
    BezierFlattenAppend(C, 2.0, Buf);
    BezierFlattenAppend(C, 2.0, Buf);
    ASSERT_EQ(Buf.size(), 1 + 2 * (Whole.size() - 1));
    EXPECT_TRUE(std::equal(Whole.begin() + 1, Whole.end(), Buf.begin() + 1));
    const TBezierPolyLine PL = BezierToPolyLine(C, 1.0);
    std::vector<TPoint> Pts{{1, 1}};
    std::vector<double> Ts{0.5};
    BezierToPolyLineAppend(C, 1.0, Pts, Ts);
    Pts[0] = PL.Points[0];
    Ts[0] = 0;
    EXPECT_EQ(Pts, PL.Points);
    EXPECT_EQ(Ts, PL.Params);
}

TEST(Bezier, FlatteningAlwaysEnds)
{
    // This curve's second half's first half equals the curve again: below a
    // tolerance of 1 the halving never flattens it.
    const TPoint Cyc[4] = {{2, 1}, {2, 1}, {2, 0}, {3, 0}};
    for (double Tol : {0.0, 0.25, -1.0, NaN}) {
        const TCurve F = BezierFlatten(Cyc, Tol);
        EXPECT_LE(F.size(), 64u) << Tol;
        EXPECT_EQ(F.back(), (TPoint{3, 0}));
        for (const TPoint& Q : F)
            EXPECT_TRUE(PointInRectIncl(Q, TRect{2, 0, 3, 1}));
        const TBezierPolyLine L = BezierToPolyLine(Cyc, Tol);
        EXPECT_LE(L.Points.size(), 64u);
        EXPECT_EQ(L.Params.back(), 1.0);
    }
    const TCurve S = BezierSubdivideByStep(Cyc, 0);
    EXPECT_LE(S.size(), 200u);
    EXPECT_EQ(S.back(), (TPoint{3, 0}));
    EXPECT_EQ(BezierFlatten(Cyc, -1.0), BezierFlatten(Cyc, 0.0)); // below 0 is 0
    // Double curves with no tolerance stop at rounding noise.
    const TDPoint D[4] = {{0, 0}, {0, 3000}, {3000, 3000}, {3000, 0}};
    for (double Tol : {0.0, NaN}) {
        const TDBezierPolyLine L = DBezierToPolyLine(D, Tol);
        EXPECT_GT(L.Points.size(), 1000u);
        EXPECT_LT(L.Points.size(), 200000u);
        EXPECT_EQ(L.Points.back(), (TDPoint{3000, 0}));
    }
}

TEST(Bezier, FlattenStaysWithinToleranceOfExactCurve)
{
    std::mt19937 Rng(20240611);
    for (int N = 0; N < 150; ++N) {
        const TCurve C = RandomCurve(Rng, 4000);
        const TDCurve D = ToD(C);
        for (double Tol : {0.5, 1.0, 4.0}) {
            SCOPED_TRACE(testing::Message() << "curve " << N << " Tol " << Tol);
            const TBezierPolyLine L = BezierToPolyLine(C.data(), Tol);
            ASSERT_EQ(L.Points.size(), L.Params.size());
            ASSERT_EQ(std::pair(L.Points.front(), L.Points.back()), std::pair(C[0], C[3]));
            ASSERT_EQ(L.Params.back(), 1.0);
            ASSERT_EQ(BezierFlatten(C.data(), Tol * Tol), L.Points); // same routine, squared
            auto Allow = [](double T) { return [T](int K) { return IntAllowance(T, K) + 1e-6; }; };
            ASSERT_LE(WorstExcess(D, 1, L.Points, L.Params, Allow(Tol)), 0);
            // At 1000 times the size the bound is nearly tight, and distances
            // no longer fit an int32.
            TCurve Big = C;
            for (TPoint& Q : Big)
                Q = TPoint{Q.X * 1000, Q.Y * 1000};
            const TBezierPolyLine BL = BezierToPolyLine(Big.data(), Tol * 1000);
            ASSERT_LE(WorstExcess(D, 1000, BL.Points, BL.Params, Allow(Tol * 1000)), 0);
            const TDBezierPolyLine DL = DBezierToPolyLine(D.data(), Tol);
            ASSERT_EQ(DL.Points.size(), DL.Params.size());
            ASSERT_LE(WorstExcess(D, 1, DL.Points, DL.Params, [&](int) { return Tol + 1e-9; }), 0);
        }
    }
}

TEST(Bezier, NearestPoint)
{
    const TPoint L[4] = {{0, 0}, {10, 0}, {20, 0}, {30, 0}};
    for (double Eps : {2.0, 0.0, -1.0}) { // Eps <= 0 must end too
        double T = -1;
        TPoint N;
        int64_t D = -1;
        BezierNearestPoint({12, 5}, L, 1.0, Eps, &T, &N, &D);
        EXPECT_NEAR(T, 0.4, 0.05) << Eps;
        EXPECT_EQ(N, BezierPoint(L, T));
        EXPECT_EQ(D, PointSqrDistance(N, {12, 5}));
        EXPECT_LE(D, 25 + (Eps > 1 ? 4 : 0)) << Eps;
        BezierNearestPoint({12, 5}, L, 1.0, Eps, nullptr, nullptr, nullptr);
    }
    // A square distance beyond int64 saturates.
    const TPoint Far[4] = {{INT32_MAX, INT32_MAX}, {INT32_MAX, INT32_MAX}, {INT32_MAX, INT32_MAX}, {INT32_MAX, INT32_MAX}};
    int64_t FarSq = 0;
    BezierNearestPoint({INT32_MIN, INT32_MIN}, Far, 1.0, 1.0, nullptr, nullptr, &FarSq);
    EXPECT_EQ(FarSq, INT64_MAX);
    // Against brute force: the nearest chord is within the flattening bound of
    // the true nearest point, the arc over it within that bound of the chord;
    // the bisection stops at Eps, and the result is rounded (0.71).
    std::mt19937 Rng(4242);
    std::uniform_int_distribution<int32_t> U(0, 2000);
    for (auto [Tol, Eps] : {std::pair(1.0, 2.0), std::pair(4.0, 0.0)}) {
        for (int N = 0; N < 40; ++N) {
            const TCurve C = RandomCurve(Rng, 2000);
            const TDCurve D = ToD(C);
            const TPoint P{U(Rng), U(Rng)};
            TPoint Near;
            double T;
            int64_t Sq;
            BezierNearestPoint(P, C.data(), Tol, Eps, &T, &Near, &Sq);
            ASSERT_EQ(Near, BezierPoint(C.data(), T));
            ASSERT_EQ(Sq, PointSqrDistance(Near, P));
            const TBezierPolyLine PL = BezierToPolyLine(C.data(), Tol);
            double Flat = 0, Best = 1e300;
            for (size_t K = 0; K + 1 < PL.Params.size(); ++K)
                Flat = std::max(Flat, IntAllowance(Tol, DepthOf(PL.Params[K + 1] - PL.Params[K])));
            for (int S = 0; S <= 20000; ++S) {
                const TDPoint Q = DBezierPoint(D.data(), S / 20000.0);
                Best = std::min(Best, std::hypot(Q.X - P.X, Q.Y - P.Y));
            }
            const double Got = std::sqrt(static_cast<double>(Sq));
            EXPECT_GE(Got, Best - 0.75);
            EXPECT_LE(Got, Best + 2 * Flat + Eps + 0.75) << "curve " << N << " Tol " << Tol;
        }
    }
}

TEST(Bezier, Tangent)
{
    const TDPoint A[4] = {{0, 0}, {0, 0}, {3, 0}, {3, 0}};
    EXPECT_EQ(DBezierGetTanT(A, 0.5), (TDPoint{0.75, 0}));
    // Zero handles: the chord to B(0.01), x = 3 (3 t^2 s + t^3) = 0.000894.
    for (double T : {0.0, 1.0}) {
        EXPECT_NEAR(DBezierGetTanT(A, T).X, 0.000894, 1e-12) << T;
        EXPECT_EQ(DBezierGetTanT(A, T).Y, 0.0);
    }
    const TDPoint B[4] = {{1, 2}, {4, 6}, {5, 5}, {9, 1}};
    EXPECT_EQ(DBezierGetTanT(B, 0.0), (TDPoint{3, 4}));
    EXPECT_EQ(DBezierGetTanT(B, 1.0), (TDPoint{4, -4}));
    // Four coincident points have no tangent at either end wherever they
    // lie, also where the curve's own point at 0.01 is not exactly the point.
    for (const TDPoint At : {TDPoint{7, 7}, TDPoint{1, 1}, TDPoint{0.1, 0.3}, TDPoint{-123.456, 1e6}}) {
        const TDPoint Z[4] = {At, At, At, At};
        EXPECT_EQ(DBezierGetTanT(Z, 0.5), (TDPoint{0, 0})) << At.X;
        for (double T : {0.0, 1.0})
            EXPECT_EQ(MessageOf<EUserError>([&] { DBezierGetTanT(Z, T); }), "DBezierGetTanT: Can't Get Tangent")
                << At.X << " " << T;
    }
}

TEST(Bezier, MakeCornerBezier)
{
    // Right angle at the origin rounded from 30 units out: centre (30, 30),
    // handles 0.5523 * 30 from the ends, i.e. 13.43 from the corner. T on
    // either leg gives the same curve, from the A side to the C side.
    TPoint Out[4];
    for (TPoint T : {TPoint{0, 30}, TPoint{30, 0}}) {
        ASSERT_TRUE(MakeCornerBezier({0, 100}, {0, 0}, {100, 0}, T, Out));
        EXPECT_EQ(TCurve(Out, Out + 4), (TCurve{{0, 30}, {0, 13}, {13, 0}, {30, 0}}));
    }
    // 60 degrees: ends and handles on the legs, tangent points equally far.
    ASSERT_TRUE(MakeCornerBezier({1000, 0}, {0, 0}, {500, 866}, {200, 0}, Out));
    EXPECT_EQ(Out[0], (TPoint{200, 0}));
    EXPECT_EQ(Out[1].Y, 0);
    EXPECT_LE(std::abs(866 * Out[2].X - 500 * Out[2].Y), 1000);
    EXPECT_LE(std::abs(866 * Out[3].X - 500 * Out[3].Y), 1000);
    EXPECT_NEAR(std::hypot(Out[3].X, Out[3].Y), 200.0, 1.5);
    // A straight "corner" has no rounding; the output is left alone.
    TPoint Keep[4] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
    EXPECT_FALSE(MakeCornerBezier({-100, 0}, {0, 0}, {100, 0}, {-30, 0}, Keep));
    EXPECT_EQ(TCurve(Keep, Keep + 4), (TCurve{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));
}

TEST(Bezier, SmoothBezierNode)
{
    // V = (200, 100) -> length Round(223.6) = 224 -> (892, 446); m = min(100,
    // 141) = 100; V = (892 * 100 div 3 div 1000, 446 * 100 div 3 div 1000) =
    // (29, 14). P5 mirrors P4 across the bisector of P3-P6, the line through
    // (100, 100) and (200, 0): foot (157, 43) with truncation, so (185, 72).
    // Both: P1 mirrors P2 = (71, -14) across x = 50.
    using TSmooth = void (*)(TPoint*);
    for (auto [Fn, P1] : {std::pair<TSmooth, TPoint>(SmoothBezierNode, {1, 1}), {SmoothBezierNodeBoth, {29, -14}}}) {
        TPoint P[7] = {{0, 0}, {1, 1}, {2, 2}, {100, 0}, {3, 3}, {4, 4}, {200, 100}};
        Fn(P);
        EXPECT_EQ(TCurve(P, P + 7), (TCurve{{0, 0}, P1, {71, -14}, {100, 0}, {129, 14}, {185, 72}, {200, 100}}));
    }
    // P2, P3, P4 stay collinear on any curves.
    std::mt19937 Rng(5);
    for (int N = 0; N < 50; ++N) {
        TCurve C = RandomCurve(Rng, 5000), E = RandomCurve(Rng, 5000);
        C.insert(C.end(), E.begin(), E.begin() + 3);
        SmoothBezierNodeBoth(C.data());
        EXPECT_EQ(int64_t{C[2].X - C[3].X} * (C[4].Y - C[3].Y), int64_t{C[2].Y - C[3].Y} * (C[4].X - C[3].X));
    }
}
