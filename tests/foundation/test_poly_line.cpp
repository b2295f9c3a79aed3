#include "foundation/poly_line.h"
#include "foundation/bezier.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <type_traits>
#include <vector>

namespace {

struct TP {
    int32_t X, Y;
    uint8_t Type;
};

// Arrays of exactly Count entries, so that a sanitizer build sees any read
// past the end.
TrecPolyLine MakePath(const std::vector<TP>& Pts)
{
    TrecPolyLine P;
    RecPolyLineSetCount(P, static_cast<int32_t>(Pts.size()));
    for (size_t I = 0; I < Pts.size(); ++I) {
        P.Points[I] = TPoint{Pts[I].X, Pts[I].Y};
        P.pabType[I] = Pts[I].Type;
    }
    return P;
}

std::vector<TP> Items(const TrecPolyLine& P)
{
    std::vector<TP> R;
    for (int32_t I = 0; I < P.Count; ++I)
        R.push_back(TP{P.Points[I].X, P.Points[I].Y, P.pabType[I]});
    return R;
}

void ExpectItems(const TrecPolyLine& P, const std::vector<TP>& Want)
{
    const std::vector<TP> Got = Items(P);
    ASSERT_EQ(Got.size(), Want.size());
    for (size_t I = 0; I < Want.size(); ++I) {
        EXPECT_EQ(Got[I].X, Want[I].X) << "point " << I;
        EXPECT_EQ(Got[I].Y, Want[I].Y) << "point " << I;
        EXPECT_EQ(Got[I].Type, Want[I].Type) << "point " << I;
    }
}

TDPoint Bernstein(const TPoint* C, double T)
{
    const double S = 1.0 - T;
    const double A = S * S * S, B = 3 * T * S * S, D = 3 * T * T * S, E = T * T * T;
    return TDPoint{A * C[0].X + B * C[1].X + D * C[2].X + E * C[3].X,
                   A * C[0].Y + B * C[1].Y + D * C[2].Y + E * C[3].Y};
}

double SegDist(double Px, double Py, double Ax, double Ay, double Bx, double By)
{
    const double Dx = Bx - Ax, Dy = By - Ay;
    const double L2 = Dx * Dx + Dy * Dy;
    double T = L2 > 0 ? ((Px - Ax) * Dx + (Py - Ay) * Dy) / L2 : 0.0;
    T = std::clamp(T, 0.0, 1.0);
    const double Fx = Ax + Dx * T - Px, Fy = Ay + Dy * T - Py;
    return std::sqrt(Fx * Fx + Fy * Fy);
}

// Distance from P to a well-formed path: lines exactly, curves by dense sampling.
double BruteDistance(const TrecPolyLine& Path, TPoint P)
{
    double Best = 1e300;
    for (int32_t I = 0; I + 1 < Path.Count; ++I) {
        const uint8_t K = PathPointKind(Path.pabType[I + 1]);
        if (K == PT_LINETO) {
            Best = std::min(Best, SegDist(P.X, P.Y, Path.Points[I].X, Path.Points[I].Y,
                                          Path.Points[I + 1].X, Path.Points[I + 1].Y));
        } else if (K == PT_BEZIERTO) {
            TDPoint Prev = Bernstein(&Path.Points[I], 0.0);
            for (int S = 1; S <= 400; ++S) {
                const TDPoint Q = Bernstein(&Path.Points[I], S / 400.0);
                Best = std::min(Best, SegDist(P.X, P.Y, Prev.X, Prev.Y, Q.X, Q.Y));
                Prev = Q;
            }
            I += 2;
        }
    }
    return Best;
}

} // namespace

TEST(PolyLine, RecordCountAndOwnership)
{
    static_assert(!std::is_copy_constructible_v<TrecPolyLine>);
    static_assert(!std::is_copy_assignable_v<TrecPolyLine>);

    TrecPolyLine P;
    EXPECT_EQ(P.Count, 0);
    RecPolyLineSetCount(P, 3);
    EXPECT_EQ(P.Count, 3);
    EXPECT_EQ(P.Points[2], (TPoint{0, 0}));
    P.Points[2] = TPoint{7, 8};
    RecPolyLineSetCount(P, 1); // shrinking keeps the arrays
    EXPECT_EQ(P.Count, 1);
    EXPECT_GE(P.Points.size(), 3u);
    RecPolyLineSetCount(P, 3);
    EXPECT_EQ(P.Points[2], (TPoint{7, 8}));
    EXPECT_THROW(RecPolyLineSetCount(P, -1), EListError);
    EXPECT_EQ(P.Count, 3);

    TrecPolyLine Q(std::move(P));
    EXPECT_EQ(Q.Count, 3);
    EXPECT_EQ(P.Count, 0); // NOLINT: moved-from is an empty path
    EXPECT_TRUE(P.Points.empty());

    RecPolyLineClear(Q);
    EXPECT_EQ(Q.Count, 0);
    EXPECT_EQ(Q.Points.capacity(), 0u);
    EXPECT_EQ(Q.pabType.capacity(), 0u);
}

TEST(PolyLine, AssignAndAppend)
{
    const TrecPolyLine Src = MakePath({{1, 2, 6}, {3, 4, 2}});
    TrecPolyLine Big = MakePath({{9, 9, 6}, {9, 9, 2}, {9, 9, 2}, {9, 9, 3}});
    RecPolyLineAssign(Big, Src, true);
    ExpectItems(Big, {{1, 2, 6}, {3, 4, 2}});
    EXPECT_GE(Big.Points.size(), 4u); // kept its larger arrays

    TrecPolyLine Fresh = MakePath({{5, 5, 6}});
    RecPolyLineAssign(Fresh, Src, false);
    ExpectItems(Fresh, {{1, 2, 6}, {3, 4, 2}});

    TrecPolyLine A = MakePath({{0, 0, 6}, {1, 0, 2}});
    RecPolyLineAppend(A, Src);
    ExpectItems(A, {{0, 0, 6}, {1, 0, 2}, {1, 2, 6}, {3, 4, 2}});
    RecPolyLineAppend(A, A);
    EXPECT_EQ(A.Count, 8);
    EXPECT_EQ(A.Points[7], (TPoint{3, 4}));
    EXPECT_EQ(A.pabType[4], 6);
}

TEST(PolyLine, OffsetScaleRotate)
{
    TrecPolyLine P = MakePath({{-3, 3, 6}, {2147483647, 5, 2}});
    RecPolyLineOffset(P, 1, -1);
    EXPECT_EQ(P.Points[0], (TPoint{-2, 2}));
    EXPECT_EQ(P.Points[1], (TPoint{-2147483647 - 1, 4})); // 32-bit wrap

    TrecPolyLine S = MakePath({{-3, 3, 6}, {1001, -7, 2}, {-5, 12345, 2}});
    RecPolyLineScale(S, 0, 0, 1024, 1024);
    ExpectItems(S, {{-3, 3, 6}, {1001, -7, 2}, {-5, 12345, 2}});
    RecPolyLineScale(S, 0, 0, 512, 512);
    EXPECT_EQ(S.Points[0], (TPoint{-1, 1})); // -1.5 and 1.5 truncate toward zero
    EXPECT_EQ(S.Points[1], (TPoint{500, -3}));
    // About a centre: x = 10 + ((5 - 10) * 1536) div 1024 = 10 + (-7680 div 1024) = 3.
    TrecPolyLine C = MakePath({{5, 5, 6}});
    RecPolyLineScale(C, 10, 0, 1536, 1024);
    EXPECT_EQ(C.Points[0], (TPoint{3, 5}));
    // The product is 32-bit: 3000000 * 1024 wraps to -1222967296; div 1024 = -1194304.
    TrecPolyLine W = MakePath({{3000000, 0, 6}});
    RecPolyLineScale(W, 0, 0, 1024, 1024);
    EXPECT_EQ(W.Points[0].X, -1194304);

    TrecPolyLine R = MakePath({{10, 0, 6}, {7, -3, 2}});
    RecPolyLineRotate(R, 123, 456, 0.0);
    ExpectItems(R, {{10, 0, 6}, {7, -3, 2}});
    RecPolyLineRotate(R, 0, 0, std::numbers::pi / 2);
    EXPECT_EQ(R.Points[0], (TPoint{0, 10}));
    EXPECT_EQ(R.Points[1], (TPoint{3, 7}));
    // About (10, 10) by pi: (11, 13) -> (9, 7).
    TrecPolyLine R2 = MakePath({{11, 13, 6}});
    RecPolyLineRotate(R2, 10, 10, std::numbers::pi);
    EXPECT_EQ(R2.Points[0], (TPoint{9, 7}));
    // (1, 0) by 60 degrees is (0.5000000000000001, 0.866): both round away from 0.
    TrecPolyLine R3 = MakePath({{1, 0, 6}, {-1, 0, 2}});
    RecPolyLineRotate(R3, 0, 0, std::numbers::pi / 3);
    EXPECT_EQ(R3.Points[0], (TPoint{1, 1}));
    EXPECT_EQ(R3.Points[1], (TPoint{-1, -1}));
}

TEST(PolyLine, MaxPointAndFigureRange)
{
    const TrecPolyLine P =
        MakePath({{0, 5, 6}, {10, 0, 2}, {3, 12, 3}, {-4, 0, 6}, {2, 2, 2}, {1, 1, 2}});
    TPoint M{-100, 100};
    RecPolyLineMaxPoint(P, M);
    EXPECT_EQ(M, (TPoint{10, 100}));

    int32_t F = 0, L = 0;
    RecPolyLineGetFigureRange(P, 0, F, L);
    EXPECT_EQ(F, 0);
    EXPECT_EQ(L, 2);
    RecPolyLineGetFigureRange(P, 2, F, L);
    EXPECT_EQ(F, 0);
    EXPECT_EQ(L, 2);
    RecPolyLineGetFigureRange(P, 3, F, L);
    EXPECT_EQ(F, 3);
    EXPECT_EQ(L, 5);
    RecPolyLineGetFigureRange(P, 5, F, L);
    EXPECT_EQ(F, 3);
    EXPECT_EQ(L, 5);
    RecPolyLineGetFigureRange(P, P.Count, F, L);
    EXPECT_EQ(F, -1);
    EXPECT_EQ(L, -2);
    RecPolyLineGetFigureRange(P, -1, F, L);
    EXPECT_EQ(F, -1);
    EXPECT_EQ(L, -2);
    // A path that does not start with a move: the first figure starts at 0.
    const TrecPolyLine Q = MakePath({{0, 0, 2}, {1, 1, 2}, {2, 2, 7}, {3, 3, 2}});
    RecPolyLineGetFigureRange(Q, 1, F, L);
    EXPECT_EQ(F, 0);
    EXPECT_EQ(L, 1);
    RecPolyLineGetFigureRange(Q, 3, F, L); // a move with its close bit still moves
    EXPECT_EQ(F, 2);
    EXPECT_EQ(L, 3);
}

TEST(PolyLine, CloseFigures)
{
    // Closed triangle, an open figure, a figure already closed on its start.
    TrecPolyLine P = MakePath({{0, 0, 6}, {10, 0, 2}, {10, 10, 3},
                               {20, 0, 6}, {30, 0, 2},
                               {40, 0, 6}, {50, 0, 2}, {40, 0, 3},
                               {60, 0, 6}, {70, 0, 2}});
    RecPolyLineCloseFigures(P);
    ExpectItems(P, {{0, 0, 6}, {10, 0, 2}, {10, 10, 2}, {0, 0, 3},
                    {20, 0, 6}, {30, 0, 3},
                    {40, 0, 6}, {50, 0, 2}, {40, 0, 3},
                    {60, 0, 6}, {70, 0, 2}}); // the last figure stays open
    EXPECT_EQ(P.Points.size(), 11u);

    // A Bezier end with its close bit gets a closing line.
    TrecPolyLine B = MakePath({{0, 0, 6}, {5, 5, 4}, {10, 5, 4}, {10, 0, 5}});
    RecPolyLineCloseFigures(B);
    ExpectItems(B, {{0, 0, 6}, {5, 5, 4}, {10, 5, 4}, {10, 0, 4}, {0, 0, 3}});

    // Without a leading move the first figure starts at the first point.
    TrecPolyLine M = MakePath({{5, 5, 2}, {6, 6, 3}});
    RecPolyLineCloseFigures(M);
    ExpectItems(M, {{5, 5, 2}, {6, 6, 2}, {5, 5, 3}});

    TrecPolyLine E;
    RecPolyLineCloseFigures(E);
    EXPECT_EQ(E.Count, 0);
}

TEST(PolyLine, ReverseFigure)
{
    TrecPolyLine T = MakePath({{0, 0, 6}, {10, 0, 2}, {10, 10, 3}});
    RecPolyLineReverseFigure(T, 1);
    ExpectItems(T, {{10, 10, 6}, {10, 0, 2}, {0, 0, 3}});

    // Only the figure holding I changes; a Bezier stays a Bezier.
    TrecPolyLine P = MakePath({{1, 1, 6}, {2, 2, 2},
                               {0, 0, 6}, {1, 5, 4}, {4, 5, 4}, {5, 0, 4}, {9, 0, 2},
                               {7, 7, 6}});
    RecPolyLineReverseFigure(P, 4);
    ExpectItems(P, {{1, 1, 6}, {2, 2, 2},
                    {9, 0, 6}, {5, 0, 2}, {4, 5, 4}, {1, 5, 4}, {0, 0, 4},
                    {7, 7, 6}});
    // Reversing twice restores the figure.
    RecPolyLineReverseFigure(P, 2);
    ExpectItems(P, {{1, 1, 6}, {2, 2, 2},
                    {0, 0, 6}, {1, 5, 4}, {4, 5, 4}, {5, 0, 4}, {9, 0, 2},
                    {7, 7, 6}});

    // A one-point figure with a close bit does not touch the next figure.
    TrecPolyLine One = MakePath({{1, 1, 7}, {2, 2, 6}, {3, 3, 3}});
    RecPolyLineReverseFigure(One, 0);
    ExpectItems(One, {{1, 1, 7}, {2, 2, 6}, {3, 3, 3}});

    TrecPolyLine Out = MakePath({{1, 1, 6}, {2, 2, 3}});
    RecPolyLineReverseFigure(Out, 2);
    RecPolyLineReverseFigure(Out, -1);
    ExpectItems(Out, {{1, 1, 6}, {2, 2, 3}});
}

TEST(PolyLine, SubdivideAndMap)
{
    // A line of 30000 with Step 10000: (30000 div 10000 + 1) * 3 = 12 points.
    // The Bezier's chord (100) is within Step: its three points come as they are.
    const TrecPolyLine P = MakePath({{0, 0, 6}, {30000, 0, 2},
                                     {30000, 100, 4}, {30100, 100, 4}, {30100, 0, 5}});
    TrecPolyLine D;
    std::vector<int32_t> Map{99};
    RecPolyLineSubdivide(P, D, 10000, Map);
    ASSERT_EQ(D.Count, 16);
    EXPECT_EQ(Map, (std::vector<int32_t>{0, 1, 13, 0, 0, 16}));
    EXPECT_EQ(D.Points[0], (TPoint{0, 0}));
    EXPECT_EQ(D.pabType[0], 6);
    for (int K = 1; K <= 12; ++K) {
        EXPECT_EQ(D.Points[K], (TPoint{2500 * K, 0}));
        EXPECT_EQ(D.pabType[K], 4);
    }
    EXPECT_EQ(D.Points[13], (TPoint{30000, 100}));
    EXPECT_EQ(D.Points[15], (TPoint{30100, 0}));
    EXPECT_EQ(D.pabType[15], 5);

    // A line too long for 32-bit squares (50000^2 * 2 wraps): L = 70710, 24 points.
    const TrecPolyLine Long = MakePath({{0, 0, 6}, {50000, 50000, 3}});
    RecPolyLineSubdivide(Long, D, 10000, Map);
    ASSERT_EQ(D.Count, 25);
    EXPECT_EQ(Map, (std::vector<int32_t>{0, 1, 25}));
    EXPECT_EQ(D.Points[24], (TPoint{50000, 50000}));
    EXPECT_EQ(D.pabType[24], 5);

    // A long Bezier comes back as a run of triples with short chords.
    const TrecPolyLine C = MakePath({{0, 0, 6}, {0, 40000, 4}, {40000, 40000, 4}, {40000, 0, 4}});
    RecPolyLineSubdivide(C, D, 10000, Map);
    EXPECT_EQ((D.Count - 1) % 3, 0);
    EXPECT_GT(D.Count, 4);
    EXPECT_EQ(D.Points[D.Count - 1], (TPoint{40000, 0}));
    for (int32_t I = 1; I < D.Count; ++I)
        EXPECT_EQ(D.pabType[I], 4);

    EXPECT_THROW(RecPolyLineSubdivide(P, D, 0, Map), EUserError);
}

TEST(PolyLine, FlattenCloseOpenOnMultiFigurePaths)
{
    // Straight Beziers with tolerance 0 flatten to their end points alone.
    const TrecPolyLine P = MakePath({{0, 0, 6}, {10, 0, 2}, {10, 10, 3},       // closed
                                     {20, 0, 6}, {30, 0, 2},                    // open, after a closed one
                                     {40, 0, 6}, {50, 0, 4}, {60, 0, 4}, {70, 0, 4}}); // open Bezier
    TrecPolyLine D;
    RecPolyLineFlatten(P, D, true, 0.0);
    ExpectItems(D, {{0, 0, 6}, {10, 0, 2}, {10, 10, 3},
                    {20, 0, 6}, {30, 0, 2}, {20, 0, 3},
                    {40, 0, 6}, {70, 0, 2}, {40, 0, 3}});
    RecPolyLineFlatten(P, D, false, 0.0);
    ExpectItems(D, {{0, 0, 6}, {10, 0, 2}, {10, 10, 3},
                    {20, 0, 6}, {30, 0, 2},
                    {40, 0, 6}, {70, 0, 2}});

    // The close bit of a triple's end lands on its last line point.
    const TrecPolyLine B = MakePath({{0, 0, 6}, {0, 100, 4}, {100, 100, 4}, {100, 0, 5},
                                     {200, 0, 6}, {200, 50, 2}});
    RecPolyLineFlatten(B, D, true, 1.0);
    ASSERT_GT(D.Count, 6);
    int32_t Close = -1;
    for (int32_t I = 1; I < D.Count; ++I) {
        EXPECT_NE(PathPointKind(D.pabType[I]), PT_BEZIERTO);
        if (D.Points[I] == (TPoint{100, 0}))
            Close = I;
    }
    ASSERT_GT(Close, 0);
    EXPECT_EQ(D.pabType[Close], 3);
    EXPECT_EQ(D.Points[Close + 1], (TPoint{200, 0}));
    EXPECT_EQ(D.Points[D.Count - 1], (TPoint{200, 0}));
    EXPECT_EQ(D.pabType[D.Count - 1], 3);

    // Dest's arrays are reused: a second run into the same record keeps them.
    const TPoint* Before = D.Points.data();
    RecPolyLineFlatten(B, D, true, 1.0);
    EXPECT_EQ(D.Points.data(), Before);

    // Dest may be Source.
    TrecPolyLine Same = MakePath({{0, 0, 6}, {10, 0, 4}, {20, 0, 4}, {30, 0, 4}});
    RecPolyLineFlatten(Same, Same, true, 0.0);
    ExpectItems(Same, {{0, 0, 6}, {30, 0, 2}, {0, 0, 3}});
}

TEST(PolyLine, FlattenJoinsTheCurveFlattenings)
{
    // Random multi-figure paths, with the expected result built alongside:
    // each Bezier becomes its BezierFlatten points after the start, as lines.
    std::mt19937 Rng(12345);
    std::uniform_int_distribution<int32_t> Coord(-5000, 5000);
    for (int N = 0; N < 300; ++N) {
        const double Tol = (N % 3) * 2.0 + 0.5;
        std::vector<TP> Src, Want;
        const int Figures = 1 + static_cast<int>(Rng() % 3);
        for (int F = 0; F < Figures; ++F) {
            const TP Start{Coord(Rng), Coord(Rng), 6};
            Src.push_back(Start);
            Want.push_back(Start);
            const int Segs = 1 + static_cast<int>(Rng() % 4);
            bool Closed = false;
            for (int S = 0; S < Segs; ++S) {
                const uint8_t Close = (S == Segs - 1 && Rng() % 2) ? 1 : 0;
                Closed = Close != 0;
                if (Rng() % 3 == 0) {
                    const TP L{Coord(Rng), Coord(Rng), static_cast<uint8_t>(2 | Close)};
                    Src.push_back(L);
                    Want.push_back(L);
                } else {
                    TPoint C[4] = {{Src.back().X, Src.back().Y},
                                   {Coord(Rng), Coord(Rng)}, {Coord(Rng), Coord(Rng)},
                                   {Coord(Rng), Coord(Rng)}};
                    Src.push_back({C[1].X, C[1].Y, 4});
                    Src.push_back({C[2].X, C[2].Y, 4});
                    Src.push_back({C[3].X, C[3].Y, static_cast<uint8_t>(4 | Close)});
                    const std::vector<TPoint> Flat = BezierFlatten(C, Tol);
                    for (size_t K = 1; K < Flat.size(); ++K)
                        Want.push_back({Flat[K].X, Flat[K].Y, 2});
                    Want.back().Type |= Close;
                }
            }
            if (!Closed)
                Want.push_back({Start.X, Start.Y, 3});
        }
        const TrecPolyLine P = MakePath(Src);
        TrecPolyLine D;
        RecPolyLineFlatten(P, D, true, Tol);
        ExpectItems(D, Want);
        if (HasFailure())
            FAIL() << "path " << N;
    }
}

TEST(PolyLine, HitTestEdges)
{
    const TrecPolyLine L = MakePath({{0, 0, 6}, {100, 0, 2}});
    EXPECT_TRUE(RecPolyLineHitTest(L, TPoint{50, 5}, 5, 1.0)); // 25 <= 25
    EXPECT_FALSE(RecPolyLineHitTest(L, TPoint{50, 5}, 4, 1.0));
    EXPECT_TRUE(RecPolyLineHitTest(L, TPoint{103, 4}, 5, 1.0));
    EXPECT_FALSE(RecPolyLineHitTest(L, TPoint{104, 4}, 5, 1.0));

    // The jump between figures and the implicit closing edge are no segments.
    const TrecPolyLine J = MakePath({{0, 0, 6}, {10, 0, 2}, {100, 0, 6}, {110, 0, 2}});
    EXPECT_FALSE(RecPolyLineHitTest(J, TPoint{50, 0}, 5, 1.0));
    const TrecPolyLine T = MakePath({{0, 0, 6}, {100, 0, 2}, {100, 100, 3}});
    EXPECT_FALSE(RecPolyLineHitTest(T, TPoint{50, 50}, 5, 1.0));
    EXPECT_TRUE(RecPolyLineHitTest(T, TPoint{100, 50}, 0, 1.0));

    const TrecPolyLine One = MakePath({{0, 0, 6}});
    EXPECT_FALSE(RecPolyLineHitTest(One, TPoint{0, 0}, 10, 1.0));
    EXPECT_FALSE(RecPolyLineHitTest(TrecPolyLine{}, TPoint{0, 0}, 10, 1.0));

    // Far apart points: a 32-bit squared distance would wrap to a near one.
    const TrecPolyLine F = MakePath({{0, 0, 6}, {200000, 200000, 2}});
    EXPECT_FALSE(RecPolyLineHitTest(F, TPoint{0, 65536}, 10, 1.0));

    // Opposite corners of the coordinate range: no overflow, no hit.
    const int32_t Lo = -2147483647 - 1, Hi = 2147483647;
    const TrecPolyLine X = MakePath({{Lo, Lo, 6}, {Lo, Lo + 10, 2}, {Lo, Lo, 4}, {Lo, Lo, 4}, {Lo, Lo, 4}});
    EXPECT_FALSE(RecPolyLineHitTest(X, TPoint{Hi, Hi}, Hi, 1.0));
    TPoint Far{Hi, Hi};
    EXPECT_FALSE(RecPolyLineSnapPoint(X, Far, int64_t{Hi} * Hi));

    // A Bezier triple cut short at the end: its points count as line points.
    const TrecPolyLine Cut = MakePath({{0, 0, 6}, {100, 0, 4}, {100, 100, 4}});
    EXPECT_TRUE(RecPolyLineHitTest(Cut, TPoint{100, 50}, 0, 1.0));
    EXPECT_FALSE(RecPolyLineHitTest(Cut, TPoint{50, 50}, 5, 1.0));
}

TEST(PolyLine, HitTestAgainstSampling)
{
    std::mt19937 Rng(777);
    std::uniform_int_distribution<int32_t> Coord(0, 2000);
    std::uniform_int_distribution<int32_t> Step(-300, 300);
    int Hits = 0, Misses = 0;
    for (int N = 0; N < 60; ++N) {
        std::vector<TP> V{{Coord(Rng), Coord(Rng), 6}};
        for (int S = 0; S < 12; ++S) {
            const TP Last = V.back();
            const int Pick = static_cast<int>(Rng() % 5);
            if (Pick == 0) {
                V.push_back({Coord(Rng), Coord(Rng), 6});
            } else if (Pick == 1) {
                V.push_back({Last.X + Step(Rng), Last.Y + Step(Rng), 2});
            } else {
                V.push_back({Last.X + Step(Rng), Last.Y + Step(Rng), 4});
                V.push_back({Last.X + Step(Rng), Last.Y + Step(Rng), 4});
                V.push_back({Last.X + Step(Rng), Last.Y + Step(Rng), 5});
            }
        }
        const TrecPolyLine P = MakePath(V);
        for (int K = 0; K < 200; ++K) {
            const TPoint Q{Coord(Rng), Coord(Rng)};
            const int32_t Tol = 20;
            const double D = BruteDistance(P, Q);
            const bool Hit = RecPolyLineHitTest(P, Q, Tol, 1.0);
            // Curve distances come from a flattening and a search to within
            // 2 units: only clear cases are judged.
            if (D <= Tol - 4) {
                EXPECT_TRUE(Hit) << "path " << N << " distance " << D;
                ++Hits;
            } else if (D >= Tol + 4) {
                EXPECT_FALSE(Hit) << "path " << N << " distance " << D;
                ++Misses;
            }
        }
    }
    EXPECT_GT(Hits, 100);
    EXPECT_GT(Misses, 1000);
}

TEST(PolyLine, NearestPoint)
{
    const TrecPolyLine P = MakePath({{0, 0, 6}, {100, 0, 2}, {100, 100, 2}});
    int64_t D = 0;
    TPoint N{};
    double T = -1;
    int32_t I = -5;
    RecPolyLineNearestPoint(P, TPoint{50, 10}, 1.0, &D, &N, &T, &I);
    EXPECT_EQ(D, 100);
    EXPECT_EQ(N, (TPoint{50, 0}));
    EXPECT_EQ(I, 0);
    EXPECT_EQ(T, 0.0);
    RecPolyLineNearestPoint(P, TPoint{110, 50}, 1.0, &D, &N, nullptr, &I);
    EXPECT_EQ(D, 100);
    EXPECT_EQ(N, (TPoint{100, 50}));
    EXPECT_EQ(I, 1);
    // Equally near to both segments (their shared end): the first stays.
    RecPolyLineNearestPoint(P, TPoint{110, -10}, 1.0, &D, &N, nullptr, &I);
    EXPECT_EQ(D, 200);
    EXPECT_EQ(I, 0);

    // A straight Bezier along the x axis: the middle at t = 0.5.
    const TrecPolyLine B = MakePath({{0, 0, 6}, {30, 0, 4}, {60, 0, 4}, {90, 0, 4}});
    RecPolyLineNearestPoint(B, TPoint{45, 20}, 1.0, &D, &N, &T, &I);
    EXPECT_EQ(I, 0);
    EXPECT_NEAR(T, 0.5, 0.03);
    EXPECT_NEAR(N.X, 45, 2);
    EXPECT_EQ(N.Y, 0);
    EXPECT_GE(D, 400);
    EXPECT_LE(D, 404);

    N = TPoint{7, 7};
    RecPolyLineNearestPoint(MakePath({{1, 1, 6}}), TPoint{0, 0}, 1.0, &D, &N, &T, &I);
    EXPECT_EQ(I, -1);
    EXPECT_EQ(D, 2147483647);
    EXPECT_EQ(N, (TPoint{7, 7}));
    RecPolyLineNearestPoint(P, TPoint{0, 0}, 1.0, nullptr, nullptr, nullptr, nullptr);
}

TEST(PolyLine, SnapPoint)
{
    const TrecPolyLine P = MakePath({{0, 0, 6}, {10, 0, 2}});
    TPoint Q{3, 4};
    EXPECT_TRUE(RecPolyLineSnapPoint(P, Q, 25)); // exactly at the radius
    EXPECT_EQ(Q, (TPoint{0, 0}));
    Q = TPoint{3, 4};
    EXPECT_FALSE(RecPolyLineSnapPoint(P, Q, 19)); // (0,0) at 25, midpoint (5,0) at 20
    EXPECT_EQ(Q, (TPoint{3, 4}));
    Q = TPoint{5, 2};
    EXPECT_TRUE(RecPolyLineSnapPoint(P, Q, 4)); // the line's midpoint
    EXPECT_EQ(Q, (TPoint{5, 0}));

    // Midpoints truncate toward zero: (0,0)-(-3,-3) gives (-1,-1).
    const TrecPolyLine M = MakePath({{0, 0, 6}, {-3, -3, 2}});
    Q = TPoint{-1, -1};
    EXPECT_TRUE(RecPolyLineSnapPoint(M, Q, 0));
    EXPECT_EQ(Q, (TPoint{-1, -1}));

    // Control points never attract; the Bezier end does, with no midpoint.
    const TrecPolyLine B = MakePath({{0, 0, 6}, {50, 50, 4}, {60, 50, 4}, {100, 0, 4}});
    Q = TPoint{50, 50};
    EXPECT_FALSE(RecPolyLineSnapPoint(B, Q, 1));
    Q = TPoint{50, 1};
    EXPECT_FALSE(RecPolyLineSnapPoint(B, Q, 1));
    Q = TPoint{101, 0};
    EXPECT_TRUE(RecPolyLineSnapPoint(B, Q, 1));
    EXPECT_EQ(Q, (TPoint{100, 0}));

    // The first hit in path order wins.
    const TrecPolyLine Two = MakePath({{10, 0, 6}, {0, 0, 2}});
    Q = TPoint{4, 0};
    EXPECT_TRUE(RecPolyLineSnapPoint(Two, Q, 100));
    EXPECT_EQ(Q, (TPoint{10, 0}));
}

TEST(PolyLine, MalformedPathsStayInBounds)
{
    // Random type bytes and counts: no walk may read outside 0..Count-1 (the
    // arrays are exactly Count long, so a sanitizer build would catch it),
    // and the results must be consistent records.
    std::mt19937 Rng(4242);
    const uint8_t Types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 255};
    for (int N = 0; N < 4000; ++N) {
        std::vector<TP> V(Rng() % 9);
        for (TP& E : V)
            E = TP{static_cast<int32_t>(Rng() % 200), static_cast<int32_t>(Rng() % 200),
                   Types[Rng() % 10]};
        const TrecPolyLine P = MakePath(V);
        const TPoint Q{static_cast<int32_t>(Rng() % 200), static_cast<int32_t>(Rng() % 200)};

        RecPolyLineHitTest(P, Q, 5, 1.0);
        int64_t D;
        int32_t Index;
        RecPolyLineNearestPoint(P, Q, 1.0, &D, nullptr, nullptr, &Index);
        EXPECT_LT(Index, P.Count - 1 > 0 ? P.Count - 1 : 1);
        TPoint S = Q;
        RecPolyLineSnapPoint(P, S, 100);

        TrecPolyLine F;
        RecPolyLineFlatten(P, F, (N & 1) != 0, 1.0);
        ASSERT_LE(static_cast<size_t>(F.Count), F.Points.size());
        ASSERT_LE(static_cast<size_t>(F.Count), F.pabType.size());
        for (int32_t I = 0; I < F.Count; ++I)
            EXPECT_NE(PathPointKind(F.pabType[I]), PT_BEZIERTO);

        TrecPolyLine Sub;
        std::vector<int32_t> Map;
        RecPolyLineSubdivide(P, Sub, 50, Map);
        ASSERT_EQ(Map.size(), V.size() + 1);
        EXPECT_EQ(Map.back(), Sub.Count);

        TrecPolyLine C;
        RecPolyLineAssign(C, P, false);
        RecPolyLineCloseFigures(C);
        ASSERT_LE(static_cast<size_t>(C.Count), C.Points.size());

        TrecPolyLine R;
        RecPolyLineAssign(R, P, false);
        for (int32_t I = -1; I <= P.Count; ++I) {
            int32_t First, Last;
            RecPolyLineGetFigureRange(R, I, First, Last);
            if (I >= 0 && I < P.Count) {
                EXPECT_LE(First, I);
                EXPECT_GE(Last, I);
                EXPECT_LT(Last, P.Count);
            }
            RecPolyLineReverseFigure(R, I);
        }
    }
}
