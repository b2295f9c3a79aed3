#include "foundation/poly_line.h"
#include "foundation/bezier.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>
#include <random>
#include <sstream>
#include <tuple>
#include <vector>

#include "platform/test_support.h"

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

// Paths written "x,y,type x,y,type ...".
TrecPolyLine Path(const std::string& Text)
{
    std::vector<TP> V;
    std::istringstream In(Text);
    int X, Y, T;
    char C;
    while (In >> X >> C >> Y >> C >> T)
        V.push_back({X, Y, static_cast<uint8_t>(T)});
    return MakePath(V);
}

std::string Dump(const TrecPolyLine& P)
{
    std::ostringstream Out;
    for (int32_t I = 0; I < P.Count; ++I)
        Out << (I ? " " : "") << P.Points[I].X << "," << P.Points[I].Y << "," << int(P.pabType[I]);
    return Out.str();
}

template <class F>
std::string After(const std::string& Text, F Op)
{
    TrecPolyLine P = Path(Text);
    Op(P);
    return Dump(P);
}

} // namespace

TEST(PolyLine, RecordCountAssignAndAppend)
{
    TrecPolyLine P;
    RecPolyLineSetCount(P, 2);
    EXPECT_EQ(Dump(P), "0,0,0 0,0,0");
    P.Points[1] = TPoint{7, 8};
    RecPolyLineSetCount(P, 1); // shrinking keeps the arrays
    RecPolyLineSetCount(P, 2);
    EXPECT_EQ(Dump(P), "0,0,0 7,8,0");
    EXPECT_THROW(RecPolyLineSetCount(P, -1), EListError);
    TrecPolyLine Q(std::move(P));
    EXPECT_EQ(Q.Count + P.Count, 2); // NOLINT: moved-from is an empty path
    EXPECT_TRUE(P.Points.empty());
    RecPolyLineClear(Q);
    EXPECT_EQ(Q.Count + Q.Points.capacity() + Q.pabType.capacity(), 0u);
    const TrecPolyLine Src = Path("1,2,6 3,4,2");
    TrecPolyLine Big = Path("9,9,6 9,9,2 9,9,2 9,9,3");
    RecPolyLineAssign(Big, Src, true);
    EXPECT_EQ(Dump(Big), "1,2,6 3,4,2");
    EXPECT_GE(Big.Points.size(), 4u); // kept its larger arrays
    TrecPolyLine A = Path("0,0,6");
    RecPolyLineAppend(A, Src);
    RecPolyLineAppend(A, A);   // a path appended to itself doubles
    EXPECT_EQ(Dump(A), "0,0,6 1,2,6 3,4,2 0,0,6 1,2,6 3,4,2");
}

TEST(PolyLine, OffsetScaleRotateRound)
{
    EXPECT_EQ(After("-3,3,6 2147483647,5,2", [](auto& P) { RecPolyLineOffset(P, 1, -1); }),
              "-2,2,6 -2147483648,4,2"); // 32-bit wrap
    // -1.5 and 1.5 truncate toward zero; the product is 32-bit: 3000000 * 1024
    // wraps to -1222967296, div 1024 = -1194304.
    EXPECT_EQ(After("-3,3,6 1001,-7,2", [](auto& P) { RecPolyLineScale(P, 0, 0, 512, 512); }),
              "-1,1,6 500,-3,2");
    EXPECT_EQ(After("3000000,0,6", [](auto& P) { RecPolyLineScale(P, 0, 0, 1024, 1024); }),
              "-1194304,0,6");
    // About a centre: x = 10 + ((5 - 10) * 1536) div 1024 = 10 + (-7680 div 1024) = 3.
    EXPECT_EQ(After("5,5,6", [](auto& P) { RecPolyLineScale(P, 10, 0, 1536, 1024); }), "3,5,6");
    EXPECT_EQ(After("11,13,6", [](auto& P) { RecPolyLineRotate(P, 10, 10, std::numbers::pi); }),
              "9,7,6");
    // (1, 0) by 60 degrees is (0.5000000000000001, 0.866): both round away from 0.
    EXPECT_EQ(After("1,0,6 -1,0,2", [](auto& P) { RecPolyLineRotate(P, 0, 0, std::numbers::pi / 3); }),
              "1,1,6 -1,-1,2");
}

TEST(PolyLine, MaxPointAndFigureRange)
{
    const TrecPolyLine P = Path("0,5,6 10,0,2 3,12,3 -4,0,6 2,2,2 1,1,2");
    TPoint M{-100, 100};
    RecPolyLineMaxPoint(P, M);
    EXPECT_EQ(M, (TPoint{10, 100}));
    auto Range = [](const TrecPolyLine& Path, int32_t I) {
        int32_t F = 0, L = 0;
        RecPolyLineGetFigureRange(Path, I, F, L);
        return std::to_string(F) + ".." + std::to_string(L);
    };
    EXPECT_EQ(Range(P, 0) + " " + Range(P, 2) + " " + Range(P, 3) + " " + Range(P, 5), "0..2 0..2 3..5 3..5");
    EXPECT_EQ(Range(P, P.Count) + " " + Range(P, -1), "-1..-2 -1..-2");
    // Without a leading move the first figure starts at 0; a move with its
    // close bit still moves.
    const TrecPolyLine Q = Path("0,0,2 1,1,2 2,2,7 3,3,2");
    EXPECT_EQ(Range(Q, 1) + " " + Range(Q, 3), "0..1 2..3");
}

TEST(PolyLine, CloseAndReverseFigures)
{
    auto Close = [](auto& P) { RecPolyLineCloseFigures(P); };
    // Closed triangle, an open figure, one already closed on its start, an
    // open last figure (stays open).
    EXPECT_EQ(After("0,0,6 10,0,2 10,10,3 20,0,6 30,0,2 40,0,6 50,0,2 40,0,3 60,0,6 70,0,2", Close),
              "0,0,6 10,0,2 10,10,2 0,0,3 20,0,6 30,0,3 40,0,6 50,0,2 40,0,3 60,0,6 70,0,2");
    EXPECT_EQ(After("0,0,6 5,5,4 10,5,4 10,0,5", Close), "0,0,6 5,5,4 10,5,4 10,0,4 0,0,3");
    EXPECT_EQ(After("5,5,2 6,6,3", Close), "5,5,2 6,6,2 5,5,3");
    auto Reverse = [](int32_t I) { return [I](auto& P) { RecPolyLineReverseFigure(P, I); }; };
    EXPECT_EQ(After("0,0,6 10,0,2 10,10,3", Reverse(1)), "10,10,6 10,0,2 0,0,3");
    // Only the figure holding I changes; a Bezier stays a Bezier.
    EXPECT_EQ(After("1,1,6 2,2,2 0,0,6 1,5,4 4,5,4 5,0,4 9,0,2 7,7,6", Reverse(4)),
              "1,1,6 2,2,2 9,0,6 5,0,2 4,5,4 1,5,4 0,0,4 7,7,6");
    // A one-point figure with a close bit does not touch the next figure.
    EXPECT_EQ(After("1,1,7 2,2,6 3,3,3", Reverse(0)), "1,1,7 2,2,6 3,3,3");
    EXPECT_EQ(After("1,1,6 2,2,3", Reverse(2)), "1,1,6 2,2,3");
    EXPECT_EQ(After("1,1,6 2,2,3", Reverse(-1)), "1,1,6 2,2,3");
}

TEST(PolyLine, SubdivideAndMap)
{
    // A line of 30000 with Step 10000: (30000 div 10000 + 1) * 3 = 12 points.
    // The Bezier's chord (100) is within Step: its three points come as they are.
    const TrecPolyLine P = Path("0,0,6 30000,0,2 30000,100,4 30100,100,4 30100,0,5");
    TrecPolyLine D;
    std::vector<int32_t> Map{99};
    RecPolyLineSubdivide(P, D, 10000, Map);
    EXPECT_EQ(Map, (std::vector<int32_t>{0, 1, 13, 0, 0, 16}));
    std::string Want = "0,0,6";
    for (int K = 1; K <= 12; ++K)
        Want += " " + std::to_string(2500 * K) + ",0,4";
    EXPECT_EQ(Dump(D), Want + " 30000,100,4 30100,100,4 30100,0,5");
    // A line too long for 32-bit squares (50000^2 * 2 wraps): L = 70710, 24 points.
    RecPolyLineSubdivide(Path("0,0,6 50000,50000,3"), D, 10000, Map);
    EXPECT_EQ(Map, (std::vector<int32_t>{0, 1, 25}));
    EXPECT_EQ(Dump(D).substr(Dump(D).rfind(' ')), " 50000,50000,5");
    // Corner to corner of the coordinate range: squares beyond 64 bits.
    // L = 2^32 * sqrt(2) = 6074001000, 6074001000 / 2^30 = 5 -> 18 points.
    RecPolyLineSubdivide(Path("-2147483648,-2147483648,6 2147483647,2147483647,3"), D, 1 << 30, Map);
    EXPECT_EQ(Map, (std::vector<int32_t>{0, 1, 19}));
    EXPECT_EQ(Dump(D).substr(Dump(D).rfind(' ')), " 2147483647,2147483647,5");
    // At a fine step the same line would need 3 * 6074001 points: refused, Dest kept.
    const int32_t Kept = D.Count;
    EXPECT_EQ(MessageOf<EOutOfResources>([&] {
                  RecPolyLineSubdivide(Path("-2147483648,-2147483648,6 2147483647,2147483647,3"), D, 1000, Map);
              }),
              "RecPolyLineSubdivide: 点の数が多すぎます");
    EXPECT_EQ(D.Count, Kept);
    // A long Bezier comes back as its BezierSubdivideByStep triples.
    const TPoint C[4] = {{0, 0}, {0, 40000}, {40000, 40000}, {40000, 0}};
    RecPolyLineSubdivide(Path("0,0,6 0,40000,4 40000,40000,4 40000,0,4"), D, 10000, Map);
    ASSERT_EQ(std::vector<TPoint>(D.Points.begin(), D.Points.begin() + D.Count), BezierSubdivideByStep(C, 10000));
    EXPECT_EQ(D.pabType[D.Count - 1], 4);
    EXPECT_THROW(RecPolyLineSubdivide(P, D, 0, Map), EUserError);
}

TEST(PolyLine, FlattenJoinsTheCurveFlattenings)
{
    // Straight Beziers with tolerance 0 flatten to their end points alone:
    // a closed figure, an open one after it, an open Bezier.
    const TrecPolyLine P = Path("0,0,6 10,0,2 10,10,3 20,0,6 30,0,2 40,0,6 50,0,4 60,0,4 70,0,4");
    TrecPolyLine D;
    RecPolyLineFlatten(P, D, true, 0.0);
    EXPECT_EQ(Dump(D), "0,0,6 10,0,2 10,10,3 20,0,6 30,0,2 20,0,3 40,0,6 70,0,2 40,0,3");
    RecPolyLineFlatten(P, D, false, 0.0);
    EXPECT_EQ(Dump(D), "0,0,6 10,0,2 10,10,3 20,0,6 30,0,2 40,0,6 70,0,2");
    EXPECT_EQ(After("0,0,6 10,0,4 20,0,4 30,0,4", [](auto& S) { RecPolyLineFlatten(S, S, true, 0.0); }),
              "0,0,6 30,0,2 0,0,3");   // Dest may be Source
    // Random multi-figure paths, the expected result built alongside: each
    // Bezier becomes its BezierFlatten points after the start, as lines.
    std::mt19937 Rng(12345);
    std::uniform_int_distribution<int32_t> Coord(-5000, 5000);
    const auto Rnd = [&] { return TPoint{Coord(Rng), Coord(Rng)}; };
    const auto Add = [](std::vector<TP>& V, TPoint Q, int Type) { V.push_back({Q.X, Q.Y, uint8_t(Type)}); };
    for (int N = 0; N < 60; ++N) {
        const double Tol = (N % 3) * 2.0 + 0.5;
        std::vector<TP> Src, Want;
        for (int F = 0, Figures = 1 + Rng() % 3; F < Figures; ++F) {
            const TPoint Start = Rnd();
            Add(Src, Start, 6);
            Add(Want, Start, 6);
            int Close = 0;
            for (int S = 0, Segs = 1 + Rng() % 4; S < Segs; ++S) {
                Close = S == Segs - 1 ? Rng() % 2 : 0;
                TPoint C[4] = {{Src.back().X, Src.back().Y}, Rnd(), Rnd(), Rnd()};
                if (Rng() % 3 == 0) {
                    Add(Src, C[3], 2 | Close);
                    Add(Want, C[3], 2 | Close);
                    continue;
                }
                for (int K = 1; K <= 3; ++K)
                    Add(Src, C[K], 4 | (K == 3 ? Close : 0));
                const std::vector<TPoint> Flat = BezierFlatten(C, Tol);
                for (size_t K = 1; K < Flat.size(); ++K)
                    Add(Want, Flat[K], K + 1 == Flat.size() ? 2 | Close : 2);
            }
            if (!Close)
                Add(Want, Start, 3);
        }
        RecPolyLineFlatten(MakePath(Src), D, true, Tol);
        ASSERT_EQ(Dump(D), Dump(MakePath(Want))) << "path " << N;
    }
}

TEST(PolyLine, HitTestEdges)
{
    const TrecPolyLine L = Path("0,0,6 100,0,2");
    EXPECT_TRUE(RecPolyLineHitTest(L, TPoint{103, 4}, 5, 1.0)); // 25 <= 25
    EXPECT_FALSE(RecPolyLineHitTest(L, TPoint{50, 5}, 4, 1.0));
    // The jump between figures and the implicit closing edge are no segments.
    EXPECT_FALSE(RecPolyLineHitTest(Path("0,0,6 10,0,2 100,0,6 110,0,2"), TPoint{50, 0}, 5, 1.0));
    const TrecPolyLine T = Path("0,0,6 100,0,2 100,100,3");
    EXPECT_FALSE(RecPolyLineHitTest(T, TPoint{50, 50}, 5, 1.0));
    EXPECT_TRUE(RecPolyLineHitTest(T, TPoint{100, 50}, 0, 1.0));
    EXPECT_FALSE(RecPolyLineHitTest(Path("0,0,6"), TPoint{0, 0}, 10, 1.0));
    // A curve is hit along the curve (B(0.5) = (50, 75)), not along its control polygon.
    const TrecPolyLine B = Path("0,0,6 0,100,4 100,100,4 100,0,4");
    EXPECT_TRUE(RecPolyLineHitTest(B, TPoint{50, 72}, 5, 1.0));
    EXPECT_FALSE(RecPolyLineHitTest(B, TPoint{50, 100}, 5, 1.0));
    // Far apart points: a 32-bit squared distance would wrap to a near one.
    EXPECT_FALSE(RecPolyLineHitTest(Path("0,0,6 200000,200000,2"), TPoint{0, 65536}, 10, 1.0));
    // Opposite corners of the coordinate range: no overflow, no hit.
    const int32_t Lo = -2147483647 - 1, Hi = 2147483647;
    const TrecPolyLine X = MakePath({{Lo, Lo, 6}, {Lo, Lo + 10, 2}, {Lo, Lo, 4}, {Lo, Lo, 4}, {Lo, Lo, 4}});
    EXPECT_FALSE(RecPolyLineHitTest(X, TPoint{Hi, Hi}, Hi, 1.0));
    TPoint Far{Hi, Hi};
    EXPECT_FALSE(RecPolyLineSnapPoint(X, Far, int64_t{Hi} * Hi));
    // A Bezier triple cut short at the end: its points count as line points.
    const TrecPolyLine Cut = Path("0,0,6 100,0,4 100,100,4");
    EXPECT_TRUE(RecPolyLineHitTest(Cut, TPoint{100, 50}, 0, 1.0));
}

TEST(PolyLine, NearestPoint)
{
    const TrecPolyLine P = Path("0,0,6 100,0,2 100,100,2");
    int64_t D = 0;
    TPoint N{};
    double T = -1;
    int32_t I = -5;
    RecPolyLineNearestPoint(P, TPoint{50, 10}, 1.0, &D, &N, &T, &I);
    EXPECT_EQ(std::tuple(D, N, I, T), std::tuple(100, TPoint{50, 0}, 0, 0.0));
    RecPolyLineNearestPoint(P, TPoint{110, 50}, 1.0, &D, &N, nullptr, &I);
    EXPECT_EQ(std::tuple(D, N, I), std::tuple(100, TPoint{100, 50}, 1));
    // Equally near to both segments (their shared end): the first stays.
    RecPolyLineNearestPoint(P, TPoint{110, -10}, 1.0, &D, &N, nullptr, &I);
    EXPECT_EQ(std::tuple(D, I), std::tuple(200, 0));
    // A straight Bezier along the x axis: the middle at t = 0.5.
    RecPolyLineNearestPoint(Path("0,0,6 30,0,4 60,0,4 90,0,4"), TPoint{45, 20}, 1.0, &D, &N, &T, &I);
    EXPECT_EQ(std::tuple(I, N.Y), std::tuple(0, 0));
    EXPECT_NEAR(T, 0.5, 0.03);
    EXPECT_NEAR(N.X, 45, 2);
    EXPECT_NEAR(D, 402, 2);
    N = TPoint{7, 7};
    RecPolyLineNearestPoint(Path("1,1,6"), TPoint{0, 0}, 1.0, &D, &N, &T, &I);
    EXPECT_EQ(std::tuple(D, N, I), std::tuple(2147483647, TPoint{7, 7}, -1));
    RecPolyLineNearestPoint(P, TPoint{0, 0}, 1.0, nullptr, nullptr, nullptr, nullptr);
}

TEST(PolyLine, SnapPoint)
{
    // The new point, or "none" with P unchanged.
    auto Snap = [](const std::string& Text, TPoint Q, int64_t R2) {
        const TPoint Was = Q;
        const bool Hit = RecPolyLineSnapPoint(Path(Text), Q, R2);
        return Hit ? std::to_string(Q.X) + "," + std::to_string(Q.Y) : Q == Was ? "none" : "moved";
    };
    EXPECT_EQ(Snap("0,0,6 10,0,2", {3, 4}, 25), "0,0");   // exactly at the radius
    EXPECT_EQ(Snap("0,0,6 10,0,2", {3, 4}, 19), "none");  // (0,0) at 25, midpoint (5,0) at 20
    EXPECT_EQ(Snap("0,0,6 10,0,2", {5, 2}, 4), "5,0");    // the line's midpoint
    EXPECT_EQ(Snap("0,0,6 -3,-3,2", {-1, -1}, 0), "-1,-1"); // midpoints truncate toward zero
    // Control points never attract; the Bezier end does, with no midpoint.
    EXPECT_EQ(Snap("0,0,6 50,50,4 60,50,4 100,0,4", {50, 50}, 1), "none");
    EXPECT_EQ(Snap("0,0,6 50,50,4 60,50,4 100,0,4", {101, 0}, 1), "100,0");
    EXPECT_EQ(Snap("10,0,6 0,0,2", {4, 0}, 100), "10,0"); // the first hit in path order wins
}

TEST(PolyLine, MalformedPathsStayInBounds)
{
    // Random type bytes and counts: no walk may read outside 0..Count-1 (the
    // arrays are exactly Count long, so a sanitizer build would catch it),
    // and the results must be consistent records.
    std::mt19937 Rng(4242);
    const uint8_t Types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 255};
    for (int N = 0; N < 1000; ++N) {
        std::vector<TP> V(Rng() % 9);
        for (TP& E : V)
            E = TP{static_cast<int32_t>(Rng() % 200), static_cast<int32_t>(Rng() % 200), Types[Rng() % 10]};
        const TrecPolyLine P = MakePath(V);
        TPoint Q{static_cast<int32_t>(Rng() % 200), static_cast<int32_t>(Rng() % 200)};
        RecPolyLineHitTest(P, Q, 5, 1.0);
        int64_t D;
        int32_t Index;
        RecPolyLineNearestPoint(P, Q, 1.0, &D, nullptr, nullptr, &Index);
        EXPECT_LT(Index, std::max(P.Count - 1, 1));
        RecPolyLineSnapPoint(P, Q, 100);
        TrecPolyLine F;
        RecPolyLineFlatten(P, F, (N & 1) != 0, 1.0);
        ASSERT_LE(static_cast<size_t>(F.Count), std::min(F.Points.size(), F.pabType.size()));
        for (int32_t I = 0; I < F.Count; ++I)
            EXPECT_NE(PathPointKind(F.pabType[I]), PT_BEZIERTO);
        std::vector<int32_t> Map;
        RecPolyLineSubdivide(P, F, 50, Map);
        ASSERT_EQ(Map.size(), V.size() + 1);
        EXPECT_EQ(Map.back(), F.Count);
        RecPolyLineAssign(F, P, false);
        RecPolyLineCloseFigures(F);
        ASSERT_LE(static_cast<size_t>(F.Count), F.Points.size());
        RecPolyLineAssign(F, P, false);
        for (int32_t I = -1; I <= P.Count; ++I) {
            int32_t First, Last;
            RecPolyLineGetFigureRange(F, I, First, Last);
            EXPECT_TRUE(I < 0 || I >= P.Count || (First <= I && I <= Last && Last < P.Count)) << First << ".." << Last;
            RecPolyLineReverseFigure(F, I);
        }
    }
}
