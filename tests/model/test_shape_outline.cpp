#include "model/shape_outline.h"

#include "foundation/bezier.h"
#include "model/draw_item.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

namespace {

using TPt = std::tuple<int32_t, int32_t, int>; // x, y, type
using TPts = std::vector<TPt>;
constexpr int32_t MaxInt = std::numeric_limits<int32_t>::max();

TPts PointsOf(const TrecPolyLine& Path)
{
    TPts R;
    for (int32_t I = 0; I < Path.Count; ++I)
        R.emplace_back(Path.Points[I].X, Path.Points[I].Y, Path.pabType[I]);
    return R;
}

TPts Rect(const TRect& R, uint8_t Bevel, int32_t Radius, uint16_t Count, uint16_t Pos)
{
    TrecPolyLine Path;
    EXPECT_TRUE(MakeRectPath(R, TrecRectParam{Bevel, {0, 0, 0}, Radius, Count, Pos}, Path));
    return PointsOf(Path);
}

TPts Polygon(const TRect& R, TrecPolygonParam P)
{
    TrecPolyLine Path;
    MakePolygonPath(R, P, Path);
    return PointsOf(Path);
}

TrecStarParam Star(int32_t Count, double Ratio, int32_t Seed = 0)
{
    TrecStarParam P{Ratio, Count};
    P.Seed = Seed;
    return P;
}

// Seed parts s1 = 1, s2 = 2, s3 = 3.
constexpr int32_t Seed123 = 1 | (2 << 10) | (3 << 20);

// Side of the chord P0-P3 that a point lies on (sign of the cross product).
int64_t Side(const TPoint& A, const TPoint& B, const TPoint& P)
{
    return (int64_t{B.X} - A.X) * (int64_t{P.Y} - A.Y) - (int64_t{B.Y} - A.Y) * (int64_t{P.X} - A.X);
}

} // namespace

TEST(ShapeOutline, ShapeRandomIsWichmannHill)
{
    SetShapeRandomSeed(Seed123);
    // s1 = 171, s2 = 344, s3 = 510.
    EXPECT_DOUBLE_EQ(ShapeRandom(), 171 / 30269.0 + 344 / 30307.0 + 510 / 30323.0);
    // s1 = 29241, s2 = 28861, s3 = 26054; the sum minus 2.
    EXPECT_DOUBLE_EQ(ShapeRandom(), 29241 / 30269.0 + 28861 / 30307.0 + 26054 / 30323.0 - 2);
    // A zero part keeps its term 0: only s1 = 5 -> 855, then 25129.
    SetShapeRandomSeed(5);
    EXPECT_DOUBLE_EQ(ShapeRandom(), 855 / 30269.0);
    EXPECT_DOUBLE_EQ(ShapeRandom(), 25129 / 30269.0);
    SetShapeRandomSeed(0);
    EXPECT_EQ(ShapeRandom(), 0.0);
}

TEST(ShapeOutline, EllipsePointsAndLargeShapesDoNotOverflow)
{
    TrecPolyLine Path;
    GetEllipsePath(TRect{0, 0, 100, 100}, Path);
    // (100 shl 16) div 118664 = 55, halved 27.
    EXPECT_EQ(PointsOf(Path), (TPts{{50, 0, 6},    {77, 0, 4},   {100, 23, 4}, {100, 50, 4},
                                    {100, 77, 4},  {77, 100, 4}, {50, 100, 4}, {23, 100, 4},
                                    {0, 77, 4},    {0, 50, 4},   {0, 23, 4},   {23, 0, 4},
                                    {50, 0, 5}}));
    // w shl 16 needs more than 32 bits from a width of 32768 on.
    GetEllipsePath(TRect{0, 0, 100000, 100000}, Path);
    EXPECT_EQ(Path.Points[1], (TPoint{50000 + 27614, 0}));
    EXPECT_EQ(Path.Points[2], (TPoint{100000, 50000 - 27614}));
    GetEllipsePath(TRect{-2000000000, -2000000000, 2000000000, 2000000000}, Path);
    // (4e9 x 65536) div 118664 div 2 = 1104564147; the centre is 0.
    EXPECT_EQ(Path.Points[0], (TPoint{0, -2000000000}));
    EXPECT_EQ(Path.Points[1], (TPoint{1104564147, -2000000000}));
    EXPECT_EQ(Path.Points[8], (TPoint{-2000000000, 1104564147}));
}

TEST(ShapeOutline, PlainFourBevelledAndRoundedCorners)
{
    EXPECT_EQ(Rect(TRect{10, 20, 110, 80}, 0, 0, 4, 0),
              (TPts{{10, 20, 6}, {110, 20, 2}, {110, 80, 2}, {10, 80, 2}, {10, 20, 3}}));
    const TRect R{0, 0, 100, 60};
    // c = ((16384 x 60 + 65535) div 2) div 32768 = 15.
    EXPECT_EQ(Rect(R, 1, 16384, 4, 0),
              (TPts{{15, 0, 6}, {85, 0, 2}, {100, 15, 2}, {100, 45, 2}, {85, 60, 2},
                    {15, 60, 2}, {0, 45, 2}, {0, 15, 2}, {15, 0, 3}}));
    // k = (15 x 36194) shr 16 = 8.
    EXPECT_EQ(Rect(R, 0, 16384, 4, 0),
              (TPts{{15, 0, 6},   {85, 0, 2},  {93, 0, 4},  {100, 7, 4},  {100, 15, 4},
                    {100, 45, 2}, {100, 53, 4}, {93, 60, 4}, {85, 60, 4}, {15, 60, 2},
                    {7, 60, 4},   {0, 53, 4},  {0, 45, 4},  {0, 15, 2},   {0, 7, 4},
                    {7, 0, 4},    {15, 0, 5}}));
    // Concave: controls A + (c - k) v and B - (c - k) u, c - k = 7.
    const TPts Concave = Rect(R, 0, -16384, 4, 0);
    ASSERT_EQ(Concave.size(), 17u);
    EXPECT_EQ(TPts(Concave.begin() + 1, Concave.begin() + 5),
              (TPts{{85, 0, 2}, {85, 7, 4}, {93, 15, 4}, {100, 15, 4}}));
    // A negative radius bevels like the positive one.
    EXPECT_EQ(Rect(R, 1, -16384, 4, 0), Rect(R, 1, 16384, 4, 0));
    // One corner with radius 32768: the shorter side; four corners: half of it,
    // ((32768 x 60 + 65535) div 2) div 32768 = 30.
    EXPECT_EQ(Rect(R, 1, 32768, 1, 2),
              (TPts{{0, 0, 6}, {100, 0, 2}, {100, 0, 2}, {40, 60, 2}, {0, 60, 2}, {0, 0, 3}}));
    EXPECT_EQ(std::get<0>(Rect(R, 1, 32768, 4, 0)[0]), 30);
}

TEST(ShapeOutline, OneAndTwoCornerStartPoints)
{
    const TRect R{0, 0, 100, 60};
    // c = (16384 x 60 + 16384) div 32768 = 30; k = (30 x 36194) shr 16 = 16.
    EXPECT_EQ(Rect(R, 1, 16384, 1, 0),
              (TPts{{100, 0, 6}, {100, 60, 2}, {0, 60, 2}, {0, 30, 2}, {30, 0, 2}, {100, 0, 3}}));
    EXPECT_EQ(Rect(R, 0, 16384, 1, 1),
              (TPts{{0, 0, 6}, {70, 0, 2}, {86, 0, 4}, {100, 14, 4}, {100, 30, 4},
                    {100, 60, 2}, {0, 60, 2}, {0, 0, 3}}));
    EXPECT_EQ(Rect(R, 1, 16384, 1, 3),
              (TPts{{0, 0, 6}, {100, 0, 2}, {100, 60, 2}, {30, 60, 2}, {0, 30, 2}, {0, 0, 3}}));
    // Top pair: h < w div 2 fails, c = ((32768 x 100 + 32768) div 2) div 32768 = 50, k = 27.
    EXPECT_EQ(Rect(R, 0, 32768, 2, 0),
              (TPts{{50, 0, 6},  {50, 0, 2},  {77, 0, 4},  {100, 23, 4}, {100, 50, 4},
                    {100, 60, 2}, {0, 60, 2}, {0, 50, 2},  {0, 23, 4},   {23, 0, 4}, {50, 0, 5}}));
    EXPECT_EQ(Rect(R, 1, 32768, 2, 0), (TPts{{0, 60, 6}, {0, 50, 2}, {50, 0, 2}, {50, 0, 2},
                                             {100, 50, 2}, {100, 60, 2}, {0, 60, 3}}));
    // Left pair: w <= h div 2 fails, c = ((16384 x 60 + 32768) div 2) div 32768 = 15.
    EXPECT_EQ(Rect(R, 1, 16384, 2, 3), (TPts{{100, 60, 6}, {15, 60, 2}, {0, 45, 2}, {0, 15, 2},
                                             {15, 0, 2}, {100, 0, 2}, {100, 60, 3}}));
    // Rounded, the same pair starts at TR; k = (15 x 36194) shr 16 = 8.
    EXPECT_EQ(Rect(R, 0, 16384, 2, 3),
              (TPts{{100, 0, 6}, {100, 60, 2}, {15, 60, 2}, {7, 60, 4}, {0, 53, 4}, {0, 45, 4},
                    {0, 15, 2}, {0, 7, 4}, {7, 0, 4}, {15, 0, 4}, {100, 0, 3}}));
    // Right and bottom pairs: 7 bevelled points, 11 rounded.
    const TPts Right = Rect(R, 1, 16384, 2, 1);
    EXPECT_EQ(Right.size(), 7u);
    EXPECT_EQ(Right.front(), TPt(0, 0, 6));
    const TPts Bottom = Rect(R, 0, 16384, 2, 2);
    EXPECT_EQ(Bottom.size(), 11u);
    EXPECT_EQ(Bottom.front(), TPt(100, 0, 6));
    EXPECT_EQ(Bottom.back(), TPt(100, 0, 3));
}

TEST(ShapeOutline, OddCornerCountsAndPositionsAreExplicit)
{
    const TRect R{0, 0, 100, 60};
    // Counts other than 1 and 2 (0, 3, the 65535 sentinel) make four corners.
    for (uint16_t Count : {0, 3, 5, 65535}) {
        EXPECT_EQ(RectCornerCount(TrecRectParam{0, {}, 16384, Count, 0}), 4);
        EXPECT_EQ(Rect(R, 0, 16384, Count, 0), Rect(R, 0, 16384, 4, 0));
        EXPECT_EQ(Rect(R, 1, 16384, Count, 2), Rect(R, 1, 16384, 4, 0));
    }
    // Positions above 3 are position 0.
    EXPECT_EQ(RectCornerPosition(TrecRectParam{0, {}, 1, 1, 7}), 0);
    EXPECT_EQ(Rect(R, 1, 16384, 1, 7), Rect(R, 1, 16384, 1, 0));
    EXPECT_EQ(Rect(R, 0, 16384, 2, 65535), Rect(R, 0, 16384, 2, 0));
}

TEST(ShapeOutline, LargeRectanglesDoNotOverflow)
{
    // r x m = 32768 x 100000 leaves int32; c = ((r m + 65535) div 2) div 32768 = 50000.
    const TPts P = Rect(TRect{0, 0, 200000, 100000}, 1, 32768, 4, 0);
    EXPECT_EQ(P[0], TPt(50000, 0, 6));
    EXPECT_EQ(P[2], TPt(200000, 50000, 2));
    // A MinInt radius asks for a corner far beyond the page: points saturate.
    const TPts Big = Rect(TRect{0, 0, 100000, 100000}, 1, std::numeric_limits<int32_t>::min(), 1, 0);
    ASSERT_EQ(Big.size(), 6u);
    EXPECT_EQ(Big[3], TPt(0, MaxInt, 2));
    EXPECT_EQ(Big[4], TPt(MaxInt, 0, 2));
    // c = ((32768 x 4e9 + 65535) div 2) div 32768 = 2e9.
    const TPts Round = Rect(TRect{-2000000000, -2000000000, 2000000000, 2000000000}, 0, 32768, 4, 0);
    EXPECT_EQ(Round[0], TPt(0, -2000000000, 6));
    EXPECT_EQ(Round.size(), 17u);
}

TEST(ShapeOutline, CountsBelowThreeAndTooLarge)
{
    TrecPolyLine Path, StarPath;
    for (int32_t N : {0, 1, 2, -1}) {
        TrecPolygonParam P{N, 0, 0, 0, 0, 0.0};
        TrecStarParam S = Star(N, 0.5);
        MakePolygonPath(TRect{0, 0, 100, 60}, P, Path);
        MakeStarPath(TRect{0, 0, 100, 100}, S, StarPath);
        EXPECT_EQ(std::tuple(P.Count, Path.Count, S.Count, StarPath.Count), std::tuple(3, 4, 3, 8));
    }
    // 4n + 2 (polygon) and 8n + 2 (star) no longer overflow: the count is
    // bounded and written back.
    TrecPolygonParam P{MaxInt, 0, 0, 0, 0, 0.0};
    TrecStarParam S = Star(MaxInt, 0.5);
    MakePolygonPath(TRect{0, 0, 10000000, 10000000}, P, Path);
    MakeStarPath(TRect{0, 0, 10000000, 10000000}, S, StarPath);
    constexpr int32_t M = MaxShapeVertexCount;
    EXPECT_EQ(std::tuple(P.Count, Path.Count, S.Count, StarPath.Count),
              std::tuple(M, M + 1, M, 2 * M + 2));
    // GetPolygonPath raises the copy, not the caller's record.
    const TrecPolygonParam Orig{1, 0, 0, 0, 0, 0.0};
    TrecPolygonParam Copy;
    EXPECT_TRUE(GetPolygonPath(TRect{0, 0, 100, 60}, Orig, Copy, Path));
    EXPECT_EQ(Orig.Count, 1);
    EXPECT_EQ(Copy.Count, 3);
}

TEST(ShapeOutline, DoublesThatAreNoNumbersDrawAsZero)
{
    // A start angle or inner ratio that is infinite or NaN, as a stored
    // record may hold it, draws as 0 instead of collapsing every vertex.
    const TRect R{0, 0, 100, 100};
    auto StarPts = [&](double Ratio, double Start) {
        TrecStarParam P = Star(5, Ratio);
        P.StartAngle = Start;
        TrecPolyLine Path;
        MakeStarPath(R, P, Path);
        return PointsOf(Path);
    };
    for (double Odd : {std::nan(""), double(INFINITY), -double(INFINITY)}) {
        EXPECT_EQ(Polygon(R, {5, 0, 0, 0, 0, Odd}), Polygon(R, {5, 0, 0, 0, 0, 0.0})) << Odd;
        EXPECT_EQ(StarPts(Odd, Odd), StarPts(0.0, 0.0)) << Odd;
    }
}

TEST(ShapeOutline, RegularAndJitteredPolygons)
{
    const TRect R{0, 0, 100, 100};
    // Angle 0 points down the page: n + 1 points.
    EXPECT_EQ(Polygon(R, {4, 0, 0, 0, 0, 0.0}),
              (TPts{{50, 100, 6}, {100, 50, 2}, {50, 0, 2}, {0, 50, 2}, {50, 100, 3}}));
    // A triangle in a 100 x 60 box: aspect 61/101, cy = RoundOff(50 x 61/101) = 30.
    EXPECT_EQ(Polygon(TRect{0, 0, 100, 60}, {3, 0, 0, 0, 0, 0.0}),
              (TPts{{50, 60, 6}, {93, 15, 2}, {7, 15, 2}, {50, 60, 3}}));
    // A start angle of pi puts the first vertex at the top.
    EXPECT_EQ(Polygon(R, {4, 0, 0, 0, Seed123, 3.141592653589793})[0], TPt(50, 0, 6));
    // Radius jitter 100: rad = 50 - r x 50 with the 2nd, 4th... draws.
    EXPECT_EQ(Polygon(R, {4, 0, 0, 100, Seed123, 0.0}),
              (TPts{{50, 61, 6}, {63, 50, 2}, {50, 49, 2}, {36, 50, 2}, {50, 61, 3}}));
    // Angle jitter 50: a = r x step/2 + i step - step/4.
    const TPts First = Polygon(R, {4, 0, 50, 0, Seed123, 0.0});
    EXPECT_EQ(First, (TPts{{32, 97, 6}, {97, 67, 2}, {50, 0, 2}, {1, 62, 2}, {32, 97, 3}}));
    // Reproducible whatever ran in between; another seed differs.
    EXPECT_NE(Polygon(R, {4, 0, 50, 50, 0x12345, 0.0}), First);
    EXPECT_EQ(Polygon(R, {4, 0, 50, 0, Seed123, 0.0}), First);
}

TEST(ShapeOutline, PolygonRoundedVertices)
{
    TrecPolyLine Path;
    TrecPolygonParam Param{4, 32768, 0, 0, 0, 0.0};
    MakePolygonPath(TRect{0, 0, 100, 100}, Param, Path);
    const TPts P = PointsOf(Path);
    // Vertex (50,100) between (0,50) and (100,50): both equally near, so the
    // previous one; T = V + ((-50 x 32768 + 65535) div 32768) div 2 = V - 24.
    TPoint Curve[4];
    ASSERT_TRUE(MakeCornerBezier(TPoint{0, 50}, TPoint{50, 100}, TPoint{100, 50},
                                 TPoint{26, 76}, Curve));
    ASSERT_EQ(P.size(), 17u); // four curves with their line points and the closing copy
    EXPECT_EQ(P[0], TPt(26, 76, 6));
    for (int I = 1; I <= 3; ++I)
        EXPECT_EQ(P[I], TPt(Curve[I].X, Curve[I].Y, 4));
    // The next vertex (100,50): T = (100 - 24, 50 + 25).
    EXPECT_EQ(P[4], TPt(76, 75, 2));
    EXPECT_EQ(P[16], TPt(26, 76, 3));
    // Convex controls lie on the vertex's side of the chord, mirrored ones
    // on the other.
    auto SideOf = [&](int I) {
        const TPoint* Q = Path.Points.data();
        return Side(Q[0], Q[3], Q[I]) * Side(Q[0], Q[3], TPoint{50, 100});
    };
    EXPECT_GT(SideOf(1), 0);
    Param.CornerSize = -32768;
    MakePolygonPath(TRect{0, 0, 100, 100}, Param, Path);
    EXPECT_EQ(Path.Points[0], (TPoint{26, 76}));
    EXPECT_EQ(Path.Points[3], Curve[3]);
    EXPECT_LT(SideOf(1), 0);
    EXPECT_LT(SideOf(2), 0);
}


TEST(ShapeOutline, SharpJitteredAndRoundedStars)
{
    const TRect R{0, 0, 100, 100};
    TrecPolyLine Path;
    auto StarPts = [&](TrecStarParam P) {
        MakeStarPath(R, P, Path);
        return PointsOf(Path);
    };
    // Sharp, starting mid edge. Inner radius RoundOff(50 x 0.5) = 25 at 45 degrees: 17.68 -> 18.
    EXPECT_EQ(StarPts(Star(4, 0.5)), (TPts{{59, 84, 6}, {68, 68, 2}, {100, 50, 2}, {68, 32, 2},
                                           {50, 0, 2},  {32, 32, 2}, {0, 50, 2},   {32, 68, 2},
                                           {50, 100, 2}, {59, 84, 3}}));
    // Outer jitter 100: tip radius 50 - r x 25 with the 2nd draw 0.7775: 30.56.
    TrecStarParam P = Star(4, 0.5, Seed123);
    P.OuterVariation = 100;
    const TPts First = StarPts(P);
    EXPECT_EQ(First, (TPts{{59, 74, 6}, {68, 68, 2}, {75, 50, 2}, {68, 32, 2}, {50, 25, 2},
                           {32, 32, 2}, {23, 50, 2}, {32, 68, 2}, {50, 81, 2}, {59, 74, 3}}));
    TrecStarParam Copy;
    GetStarPath(R, P, Copy, Path);
    EXPECT_EQ(PointsOf(Path), First);
    P.Seed = Seed123 + 1;
    EXPECT_NE(StarPts(P), First);
    P = Star(4, 0.5);
    P.Corner2 = 32768;   // the tips
    const TPts Pts = StarPts(P);
    // Tip (50,100) between (32,68) and (68,68), the previous one taken:
    // T = V + ((Q - V) x 32768 + 65535) div 32768 div 2: -524289 div 32768 = -16
    // gives x 50 - 8, -983041 div 32768 = -30 gives y 100 - 15.
    TPoint Curve[4];
    ASSERT_TRUE(MakeCornerBezier(TPoint{32, 68}, TPoint{50, 100}, TPoint{68, 68}, TPoint{42, 85},
                                 Curve));
    // Inner vertices stay sharp; four tip curves; the close bit on the copy.
    ASSERT_EQ(Pts.size(), 4u * 4 + 4 + 1);
    EXPECT_EQ(Pts[0], TPt(42, 85, 6));
    EXPECT_EQ(std::get<2>(Pts[1]), 4);
    EXPECT_EQ(Pts[3], TPt(Curve[3].X, Curve[3].Y, 4));
    EXPECT_EQ(Pts.back(), TPt(42, 85, 3));
}
