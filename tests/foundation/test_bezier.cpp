#include "foundation/bezier.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using TCurve = std::vector<TPoint>;

TDPoint ToD(const TPoint& P)
{
    return TDPoint{static_cast<double>(P.X), static_cast<double>(P.Y)};
}

double DistToSegment(const TDPoint& P, const TDPoint& A, const TDPoint& B)
{
    double D;
    DNearestPointOnSegment(P, A, B, nullptr, &D);
    return std::sqrt(D);
}

TCurve RandomCurve(std::mt19937& Rng, int32_t Max)
{
    std::uniform_int_distribution<int32_t> U(0, Max);
    TCurve C(4);
    for (TPoint& P : C)
        P = TPoint{U(Rng), U(Rng)};
    return C;
}

// Halving depth of a flattened piece from its parameter width 2^-k.
int DepthOf(double Width)
{
    return static_cast<int>(std::lround(-std::log2(Width)));
}

// Bound on the distance from the exact curve to the chord of an integer
// piece at depth K. The flatness test accepts RoundOff(d^2) <= Tol^2, so a
// control point may lie up to sqrt(Tol^2 + 0.5) from the chord, and the
// piece's curve with it (convex hull). Each integer split rounds every new
// point by at most 0.5 per coordinate (sums are positive here), and the
// averaging of later splits never enlarges an earlier error, so after K
// splits the piece's control points, hence its curve, are at most
// 0.5 * sqrt(2) * K from the exact sub-curve.
double IntAllowance(double Tol, int K)
{
    return std::sqrt(Tol * Tol + 0.5) + 0.5 * std::sqrt(2.0) * K;
}

} // namespace

TEST(Bezier, Evaluation)
{
    const TPoint L[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    EXPECT_EQ(BezierPoint(L, 0.5), (TPoint{2, 0}));   // 1.5 to even
    const TPoint H[4] = {{0, 0}, {0, 0}, {1, -1}, {1, -1}};
    EXPECT_EQ(BezierPoint(H, 0.5), (TPoint{0, 0}));   // 0.5 and -0.5 to even
    EXPECT_EQ(BezierPoint(H, 1.0), (TPoint{1, -1}));
    const TDPoint D[4] = {{0, 0}, {0, 3}, {3, 3}, {3, 0}};
    EXPECT_EQ(DBezierPoint(D, 0.5), (TDPoint{1.5, 2.25}));
    EXPECT_EQ(DBezierPoint(D, 0.0), (TDPoint{0, 0}));
}

TEST(Bezier, SplitHalf)
{
    const TPoint P[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    TPoint Q[4], R[4];
    BezierSplitHalf(P, Q, R);
    EXPECT_EQ(TCurve(Q, Q + 4), (TCurve{{0, 0}, {1, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(TCurve(R, R + 4), (TCurve{{2, 0}, {2, 0}, {3, 0}, {3, 0}}));

    // Halves round up on both sides of zero (exact: -0.5, -1, -1.5, -2, -2.5).
    TPoint N[4] = {{0, 0}, {-1, 0}, {-2, 0}, {-3, 0}};
    BezierSplitHalf(N, N, R);   // in place
    EXPECT_EQ(TCurve(N, N + 4), (TCurve{{0, 0}, {0, 0}, {-1, 0}, {-1, 0}}));
    EXPECT_EQ(TCurve(R, R + 4), (TCurve{{-1, 0}, {-2, 0}, {-2, 0}, {-3, 0}}));

    // A degenerate curve stays where it is, and moving a curve by a multiple
    // of 8 moves its halves by the same amount, wherever zero lies.
    const TPoint Dot[4] = {{-4, -7}, {-4, -7}, {-4, -7}, {-4, -7}};
    BezierSplitHalf(Dot, Q, R);
    for (int I = 0; I < 4; ++I) {
        EXPECT_EQ(Q[I], (TPoint{-4, -7}));
        EXPECT_EQ(R[I], (TPoint{-4, -7}));
    }
    const TPoint A[4] = {{3, 5}, {17, -2}, {9, 11}, {1, 4}};
    TPoint B[4], QA[4], RA[4];
    for (int I = 0; I < 4; ++I)
        B[I] = TPoint{A[I].X - 800, A[I].Y - 808};
    BezierSplitHalf(A, QA, RA);
    BezierSplitHalf(B, Q, R);
    for (int I = 0; I < 4; ++I) {
        EXPECT_EQ(Q[I], (TPoint{QA[I].X - 800, QA[I].Y - 808}));
        EXPECT_EQ(R[I], (TPoint{RA[I].X - 800, RA[I].Y - 808}));
    }

    const TDPoint D[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    TDPoint DQ[4], DR[4];
    DBezierSplitHalf(D, DQ, DR);
    EXPECT_EQ(DQ[1], (TDPoint{0.5, 0}));
    EXPECT_EQ(DQ[2], (TDPoint{1, 0}));
    EXPECT_EQ(DQ[3], (TDPoint{1.5, 0}));
    EXPECT_EQ(DR[0], (TDPoint{1.5, 0}));
    EXPECT_EQ(DR[1], (TDPoint{2, 0}));
    EXPECT_EQ(DR[2], (TDPoint{2.5, 0}));
}

TEST(Bezier, SplitAt)
{
    const TPoint A[4] = {{0, 0}, {0, 8}, {8, 8}, {8, 0}};
    TPoint Q[4], R[4];
    BezierSplitAt(A, 0.5, Q, R);
    EXPECT_EQ(TCurve(Q, Q + 4), (TCurve{{0, 0}, {0, 4}, {2, 6}, {4, 6}}));
    EXPECT_EQ(TCurve(R, R + 4), (TCurve{{4, 6}, {6, 6}, {8, 4}, {8, 0}}));
    // Unlike the halving, ties go to even: Q1 = 0.5 -> 0, Q3 = 1.5 -> 2, R2 = 2.5 -> 2.
    const TPoint L[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    BezierSplitAt(L, 0.5, Q, R);
    EXPECT_EQ(TCurve(Q, Q + 4), (TCurve{{0, 0}, {0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(TCurve(R, R + 4), (TCurve{{2, 0}, {2, 0}, {2, 0}, {3, 0}}));
    const TPoint M[4] = {{0, 0}, {4, 0}, {8, 0}, {12, 0}};
    BezierSplitAt(M, 0.25, Q, R);
    EXPECT_EQ(TCurve(Q, Q + 4), (TCurve{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(TCurve(R, R + 4), (TCurve{{3, 0}, {6, 0}, {9, 0}, {12, 0}}));
}

TEST(Bezier, SubdivideByStep)
{
    const TPoint P[4] = {{0, 0}, {10, 0}, {20, 0}, {30, 0}};
    EXPECT_EQ(BezierSubdivideByStep(P, 30), TCurve(P, P + 4));
    EXPECT_EQ(BezierSubdivideByStep(P, 1000), TCurve(P, P + 4));
    // Chords 30 and 15 split, 8 and 7 do not (halving by hand).
    std::vector<int32_t> Xs;
    for (const TPoint& Q : BezierSubdivideByStep(P, 10))
        Xs.push_back(Q.X);
    EXPECT_EQ(Xs, (std::vector<int32_t>{0, 3, 5, 8, 10, 13, 15, 18, 20, 23, 25, 28, 30}));

    std::mt19937 Rng(11);
    for (int N = 0; N < 200; ++N) {
        TCurve C = RandomCurve(Rng, 3000);
        TCurve S = BezierSubdivideByStep(C.data(), 100);
        ASSERT_EQ(S.size() % 3, 1u);
        EXPECT_EQ(S.front(), C[0]);
        EXPECT_EQ(S.back(), C[3]);
        for (size_t I = 3; I < S.size(); I += 3)
            EXPECT_LE(PointSqrDistance(S[I - 3], S[I]), 100 * 100);
    }
}

TEST(Bezier, FlattenStraightAndAppend)
{
    const TPoint S[4] = {{0, 0}, {10, 5}, {20, 10}, {30, 15}};
    EXPECT_EQ(BezierFlatten(S, 0), (TCurve{{0, 0}, {30, 15}}));
    const TDPoint D[4] = {{0, 0}, {10, 5}, {20, 10}, {30, 15}};
    TDBezierPolyLine DL = DBezierToPolyLine(D, 0);
    ASSERT_EQ(DL.Points.size(), 2u);
    EXPECT_EQ(DL.Points[1], (TDPoint{30, 15}));
    EXPECT_EQ(DL.Params, (std::vector<double>{0.0, 1.0}));

    // The append form adds what follows P0, into the caller's buffer.
    const TPoint C[4] = {{0, 0}, {0, 400}, {400, 400}, {400, 0}};
    TCurve Whole = BezierFlatten(C, 2.0);
    ASSERT_GT(Whole.size(), 3u);
    TCurve Buf;
    Buf.reserve(1000);
    Buf.push_back({-5, -5});
    const TPoint* Data = Buf.data();
    BezierFlattenAppend(C, 2.0, Buf);
    BezierFlattenAppend(C, 2.0, Buf);
    EXPECT_EQ(Buf.data(), Data);   // no reallocation of a reserved buffer
    ASSERT_EQ(Buf.size(), 1 + 2 * (Whole.size() - 1));
    EXPECT_TRUE(std::equal(Whole.begin() + 1, Whole.end(), Buf.begin() + 1));

    TBezierPolyLine PL = BezierToPolyLine(C, 1.0);
    std::vector<TPoint> Pts{{1, 1}};
    std::vector<double> Ts{0.5};
    BezierToPolyLineAppend(C, 1.0, Pts, Ts);
    EXPECT_TRUE(std::equal(PL.Points.begin() + 1, PL.Points.end(), Pts.begin() + 1));
    EXPECT_TRUE(std::equal(PL.Params.begin() + 1, PL.Params.end(), Ts.begin() + 1));

    TCurve Sub = BezierSubdivideByStep(C, 50);
    TCurve SubBuf{{9, 9}};
    BezierSubdivideByStepAppend(C, 50, SubBuf);
    EXPECT_TRUE(std::equal(Sub.begin() + 1, Sub.end(), SubBuf.begin() + 1));
    EXPECT_EQ(SubBuf.size(), Sub.size());
}

TEST(Bezier, FlatteningAlwaysEnds)
{
    // This curve's second half's first half equals the curve again: below a
    // tolerance of 1 the halving never flattens it.
    const TPoint Cyc[4] = {{2, 1}, {2, 1}, {2, 0}, {3, 0}};
    for (double Tol : {0.0, 0.25, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        TCurve F = BezierFlatten(Cyc, Tol);
        EXPECT_LE(F.size(), 64u) << Tol;
        EXPECT_EQ(F.back(), (TPoint{3, 0}));
        for (const TPoint& Q : F)
            EXPECT_TRUE(PointInRectIncl(Q, TRect{2, 0, 3, 1}));
        TBezierPolyLine L = BezierToPolyLine(Cyc, Tol);
        EXPECT_LE(L.Points.size(), 64u);
        EXPECT_EQ(L.Params.back(), 1.0);
    }
    TCurve S = BezierSubdivideByStep(Cyc, 0);
    EXPECT_LE(S.size(), 200u);
    EXPECT_EQ(S.back(), (TPoint{3, 0}));
    EXPECT_EQ(BezierFlatten(Cyc, -1.0), BezierFlatten(Cyc, 0.0));   // below 0 is 0

    // Double curves with no tolerance stop at rounding noise.
    const TDPoint D[4] = {{0, 0}, {0, 3000}, {3000, 3000}, {3000, 0}};
    for (double Tol : {0.0, std::numeric_limits<double>::quiet_NaN()}) {
        TDBezierPolyLine L = DBezierToPolyLine(D, Tol);
        EXPECT_GT(L.Points.size(), 1000u);
        EXPECT_LT(L.Points.size(), 200000u);
        EXPECT_EQ(L.Points.back(), (TDPoint{3000, 0}));
    }
}

TEST(Bezier, FlattenDifferential)
{
    std::mt19937 Rng(20240611);
    const int Samples = 1000;
    for (int N = 0; N < 3000; ++N) {
        TCurve C = RandomCurve(Rng, 4000);
        TDPoint D[4];
        for (int I = 0; I < 4; ++I)
            D[I] = ToD(C[I]);
        for (double Tol : {0.5, 1.0, 4.0}) {
            TBezierPolyLine L = BezierToPolyLine(C.data(), Tol);
            ASSERT_EQ(L.Points.size(), L.Params.size());
            ASSERT_EQ(L.Points.front(), C[0]);
            ASSERT_EQ(L.Points.back(), C[3]);
            ASSERT_EQ(L.Params.back(), 1.0);
            // The squared-distance form is the same routine.
            ASSERT_EQ(BezierFlatten(C.data(), Tol * Tol), L.Points);
            // Each exact curve point lies near the chord of the piece whose
            // parameter interval holds it.
            size_t K = 0;
            for (int S = 0; S <= Samples; ++S) {
                double T = static_cast<double>(S) / Samples;
                while (K + 2 < L.Params.size() && L.Params[K + 1] < T)
                    ++K;
                int Depth = DepthOf(L.Params[K + 1] - L.Params[K]);
                ASSERT_LT(Depth, 32);
                double Dist = DistToSegment(DBezierPoint(D, T), ToD(L.Points[K]),
                                            ToD(L.Points[K + 1]));
                ASSERT_LE(Dist, IntAllowance(Tol, Depth) + 1e-9)
                    << "curve " << N << " Tol " << Tol << " t " << T;
            }

            // At 1000 times the size and tolerance the rounding allowance is
            // small beside the tolerance, so the bound is nearly tight; it
            // also needs distances wider than an int32.
            TCurve Big = C;
            for (TPoint& Q : Big)
                Q = TPoint{Q.X * 1000, Q.Y * 1000};
            TBezierPolyLine BL = BezierToPolyLine(Big.data(), Tol * 1000);
            K = 0;
            for (int S = 0; S <= Samples; ++S) {
                double T = static_cast<double>(S) / Samples;
                while (K + 2 < BL.Params.size() && BL.Params[K + 1] < T)
                    ++K;
                int Depth = DepthOf(BL.Params[K + 1] - BL.Params[K]);
                TDPoint Q = DBezierPoint(D, T);
                double Dist = DistToSegment(TDPoint{Q.X * 1000, Q.Y * 1000}, ToD(BL.Points[K]),
                                            ToD(BL.Points[K + 1]));
                ASSERT_LE(Dist, IntAllowance(Tol * 1000, Depth) + 1e-6)
                    << "curve " << N << " Tol " << Tol << " t " << T;
            }

            TDBezierPolyLine DL = DBezierToPolyLine(D, Tol);
            ASSERT_EQ(DL.Points.size(), DL.Params.size());
            K = 0;
            for (int S = 0; S <= Samples; ++S) {
                double T = static_cast<double>(S) / Samples;
                while (K + 2 < DL.Params.size() && DL.Params[K + 1] < T)
                    ++K;
                double Dist = DistToSegment(DBezierPoint(D, T), DL.Points[K], DL.Points[K + 1]);
                ASSERT_LE(Dist, Tol + 1e-9) << "curve " << N << " Tol " << Tol << " t " << T;
            }
        }
    }
}

TEST(Bezier, NearestPoint)
{
    const TPoint L[4] = {{0, 0}, {10, 0}, {20, 0}, {30, 0}};
    for (double Eps : {2.0, 0.5, 0.0, -1.0}) {
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

    // Against brute force. The nearest chord is within the flattening bound
    // of the true nearest point, and the arc over that chord within it of the
    // chord, so the arc holds a point within twice that bound; the bisection
    // stops with ends closer than Eps, and the result is rounded (0.71).
    std::mt19937 Rng(4242);
    std::uniform_int_distribution<int32_t> U(0, 2000);
    for (double Tol : {1.0, 4.0}) {
        for (double Eps : {2.0, 0.0}) {
            for (int N = 0; N < 300; ++N) {
                TCurve C = RandomCurve(Rng, 2000);
                TDPoint D[4];
                for (int I = 0; I < 4; ++I)
                    D[I] = ToD(C[I]);
                TPoint P{U(Rng), U(Rng)};
                double T;
                TPoint Near;
                int64_t Sq;
                BezierNearestPoint(P, C.data(), Tol, Eps, &T, &Near, &Sq);
                ASSERT_EQ(Near, BezierPoint(C.data(), T));
                ASSERT_EQ(Sq, PointSqrDistance(Near, P));

                TBezierPolyLine PL = BezierToPolyLine(C.data(), Tol);
                double Flat = 0;
                for (size_t K = 0; K + 1 < PL.Params.size(); ++K)
                    Flat = std::max(Flat, IntAllowance(Tol, DepthOf(PL.Params[K + 1] - PL.Params[K])));
                double Best = 1e300;
                for (int S = 0; S <= 20000; ++S) {
                    TDPoint Q = DBezierPoint(D, S / 20000.0);
                    Best = std::min(Best, std::hypot(Q.X - P.X, Q.Y - P.Y));
                }
                double Got = std::sqrt(static_cast<double>(Sq));
                EXPECT_GE(Got, Best - 0.75);
                EXPECT_LE(Got, Best + 2 * Flat + std::max(Eps, 0.0) + 0.75)
                    << "curve " << N << " Tol " << Tol << " Eps " << Eps;
            }
        }
    }
}

TEST(Bezier, Tangent)
{
    const TDPoint A[4] = {{0, 0}, {0, 0}, {3, 0}, {3, 0}};
    TDPoint V = DBezierGetTanT(A, 0.5);
    EXPECT_DOUBLE_EQ(V.X, 0.75);
    EXPECT_EQ(V.Y, 0.0);
    // Zero handles: the chord to B(0.01), x = 3 (3 t^2 s + t^3) = 0.000894.
    V = DBezierGetTanT(A, 0.0);
    EXPECT_NEAR(V.X, 0.000894, 1e-12);
    EXPECT_EQ(V.Y, 0.0);
    V = DBezierGetTanT(A, 1.0);
    EXPECT_NEAR(V.X, 0.000894, 1e-12);
    const TDPoint B[4] = {{1, 2}, {4, 6}, {5, 5}, {9, 1}};
    EXPECT_EQ(DBezierGetTanT(B, 0.0), (TDPoint{3, 4}));
    EXPECT_EQ(DBezierGetTanT(B, 1.0), (TDPoint{4, -4}));

    const TDPoint Z[4] = {{7, 7}, {7, 7}, {7, 7}, {7, 7}};
    EXPECT_EQ(DBezierGetTanT(Z, 0.5), (TDPoint{0, 0}));
    for (double T : {0.0, 1.0}) {
        try {
            DBezierGetTanT(Z, T);
            ADD_FAILURE() << "no error at " << T;
        } catch (const EUserError& E) {
            EXPECT_STREQ(E.what(), "DBezierGetTanT: Can't Get Tangent");
        }
    }
}

TEST(Bezier, MakeCornerBezier)
{
    // Right angle at the origin, legs up the y axis and along the x axis,
    // rounded from 30 units out: centre (30, 30), handles 0.5523 * 30 from the
    // ends, i.e. at 13.43 from the corner.
    TPoint Out[4];
    ASSERT_TRUE(MakeCornerBezier({0, 100}, {0, 0}, {100, 0}, {0, 30}, Out));
    EXPECT_EQ(TCurve(Out, Out + 4), (TCurve{{0, 30}, {0, 13}, {13, 0}, {30, 0}}));
    TDPoint D[4];
    for (int I = 0; I < 4; ++I)
        D[I] = ToD(Out[I]);
    TDPoint Mid = DBezierPoint(D, 0.5);
    EXPECT_NEAR(std::hypot(Mid.X - 30, Mid.Y - 30), 30.0, 0.5);

    // T on the other leg: the same curve, still from the A side to the C side.
    ASSERT_TRUE(MakeCornerBezier({0, 100}, {0, 0}, {100, 0}, {30, 0}, Out));
    EXPECT_EQ(TCurve(Out, Out + 4), (TCurve{{0, 30}, {0, 13}, {13, 0}, {30, 0}}));

    // 60 degrees: ends and handles on the legs.
    ASSERT_TRUE(MakeCornerBezier({1000, 0}, {0, 0}, {500, 866}, {200, 0}, Out));
    EXPECT_EQ(Out[0], (TPoint{200, 0}));
    EXPECT_EQ(Out[1].Y, 0);
    EXPECT_LE(std::abs(866 * Out[2].X - 500 * Out[2].Y), 1000);   // on the C leg, to rounding
    EXPECT_LE(std::abs(866 * Out[3].X - 500 * Out[3].Y), 1000);
    EXPECT_NEAR(std::hypot(Out[3].X, Out[3].Y), 200.0, 1.5);        // tangent points equally far

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
    TPoint P[7] = {{0, 0}, {1, 1}, {2, 2}, {100, 0}, {3, 3}, {4, 4}, {200, 100}};
    SmoothBezierNode(P);
    EXPECT_EQ(TCurve(P, P + 7),
              (TCurve{{0, 0}, {1, 1}, {71, -14}, {100, 0}, {129, 14}, {185, 72}, {200, 100}}));
    // P2, P3, P4 collinear, P3 in the middle.
    int64_t Cross = int64_t{P[2].X - P[3].X} * (P[4].Y - P[3].Y) -
                    int64_t{P[2].Y - P[3].Y} * (P[4].X - P[3].X);
    EXPECT_EQ(Cross, 0);
    EXPECT_EQ(P[2].X + P[4].X, 2 * P[3].X);

    // Both: P1 mirrors P2 = (71, -14) across x = 50.
    TPoint Q[7] = {{0, 0}, {1, 1}, {2, 2}, {100, 0}, {3, 3}, {4, 4}, {200, 100}};
    SmoothBezierNodeBoth(Q);
    EXPECT_EQ(TCurve(Q, Q + 7),
              (TCurve{{0, 0}, {29, -14}, {71, -14}, {100, 0}, {129, 14}, {185, 72}, {200, 100}}));

    std::mt19937 Rng(5);
    for (int N = 0; N < 200; ++N) {
        TCurve C = RandomCurve(Rng, 5000);
        TCurve E = RandomCurve(Rng, 5000);
        C.insert(C.end(), E.begin(), E.begin() + 3);
        SmoothBezierNodeBoth(C.data());
        int64_t X = int64_t{C[2].X - C[3].X} * (C[4].Y - C[3].Y) -
                    int64_t{C[2].Y - C[3].Y} * (C[4].X - C[3].X);
        EXPECT_EQ(X, 0);
    }
}
