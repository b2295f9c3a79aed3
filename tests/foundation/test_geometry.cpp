#include "foundation/geometry.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

TRect R(int32_t L, int32_t T, int32_t Ri, int32_t B)
{
    return TRect{L, T, Ri, B};
}

} // namespace

TEST(Geometry, PointDistancesWrapIn32Bits)
{
    EXPECT_EQ(PointSqrDistance({0, 0}, {3, 4}), 25);
    EXPECT_DOUBLE_EQ(PointDistance({1, 1}, {4, 5}), 5.0);
    // 46341^2 = 2147488281 wraps to 2147488281 - 2^32.
    EXPECT_EQ(PointSqrDistance({0, 0}, {46341, 0}), -2147479015);
    EXPECT_DOUBLE_EQ(DPointSqrDistance({0.5, 0}, {0, 1}), 1.25);
    EXPECT_DOUBLE_EQ(DPointDistance({0, 0}, {-3, 4}), 5.0);
    EXPECT_DOUBLE_EQ(DPointSqrDistance3D({1, 2, 3}, {2, 4, 6}), 14.0);
    EXPECT_TRUE(PointsEqual({3, -4}, {3, -4}));
    EXPECT_FALSE(PointsEqual({3, -4}, {3, 4}));
    EXPECT_EQ(DPoint(1.5, -2.0), (TDPoint{1.5, -2.0}));
}

TEST(Geometry, InterpolateAndMirror)
{
    EXPECT_EQ(InterpolatePoint({0, 0}, {10, 20}, 1, 3), (TPoint{7, 15}));   // 30/4, 60/4
    EXPECT_EQ(InterpolatePoint({-10, 10}, {0, 0}, 1, 2), (TPoint{-3, 3}));  // truncates toward zero
    // A zero weight sum has no meaning; it must not trap.
    EXPECT_EQ(InterpolatePoint({5, 6}, {7, 8}, 1, -1), (TPoint{5, 6}));
    EXPECT_EQ(MirrorPoint({1, 2}, {5, 5}), (TPoint{9, 8}));
}

TEST(Geometry, NormalizeAndRotate)
{
    TPoint V{3, 4};
    NormalizeVector(V);
    EXPECT_EQ(V, (TPoint{600, 800}));
    V = {0, 0};
    NormalizeVector(V);
    EXPECT_EQ(V, (TPoint{0, 0}));
    V = {1, 1};   // length rounds to 1
    NormalizeVector(V);
    EXPECT_EQ(V, (TPoint{1000, 1000}));
    V = {-7, 3};  // length Round(7.6158) = 8: -7000 div 8, 3000 div 8
    NormalizeVector(V);
    EXPECT_EQ(V, (TPoint{-875, 375}));

    TPoint P{10, 0};
    RotatePoint(P, Pi / 2);
    EXPECT_EQ(P, (TPoint{0, 10}));
    P = {3, 1};
    RotatePoint(P, Pi);
    EXPECT_EQ(P, (TPoint{-3, -1}));
    P = {1, 0};   // (0.7071, 0.7071) rounds to (1, 1)
    RotatePoint(P, Pi / 4);
    EXPECT_EQ(P, (TPoint{1, 1}));

    TDPoint D{3, 4};
    DNormalizeVector(D);
    EXPECT_DOUBLE_EQ(D.X, 0.6);
    EXPECT_DOUBLE_EQ(D.Y, 0.8);
    D = {0, 0};
    DNormalizeVector(D);
    EXPECT_EQ(D, (TDPoint{0, 0}));
}

TEST(Geometry, Vectors3D)
{
    TDPoint3D V{0, 3, 4};
    NormalizeVector3D(V);
    EXPECT_DOUBLE_EQ(V.Y, 0.6);
    EXPECT_DOUBLE_EQ(V.Z, 0.8);
    TDPoint3D Z{};
    NormalizeVector3D(Z);
    EXPECT_EQ(Z, (TDPoint3D{0, 0, 0}));
    EXPECT_DOUBLE_EQ(VectorLength3D({2, 3, 6}), 7.0);
    EXPECT_DOUBLE_EQ(DotProduct3D({1, 2, 3}, {4, -5, 6}), 12.0);
    TDPoint3D A{1, 0, 0};
    CrossProduct3D(A, A, {0, 1, 0});   // the result may be an argument
    EXPECT_EQ(A, (TDPoint3D{0, 0, 1}));
    TDPoint3D C;
    CrossProduct3D(C, {1, 2, 3}, {4, 5, 6});
    EXPECT_EQ(C, (TDPoint3D{-3, 6, -3}));

    EXPECT_DOUBLE_EQ(DVectorAngle({1, 0}, {0, 2}), Pi / 2);
    EXPECT_DOUBLE_EQ(DVectorAngle({1, 0}, {-5, 0}), Pi);
    EXPECT_DOUBLE_EQ(DVectorAngle({2, 0}, {3, 0}), 0.0);
    EXPECT_NEAR(DVectorAngle({1, 1}, {0, 3}), Pi / 4, 1e-12);
    EXPECT_DOUBLE_EQ(VectorAngle3D({0, 0, 2}, {0, 3, 0}), Pi / 2);
    EXPECT_DOUBLE_EQ(VectorAngle3D({0, 0, 1}, {0, 0, -2}), Pi);
    // Rounding may put the cosine a hair beyond -1; the angle is still pi.
    EXPECT_NEAR(VectorAngle3D({1, 1, 1}, {-2, -2, -2}), Pi, 1e-7);
}

TEST(Geometry, Rectangles)
{
    TRect A = R(0, 0, 10, 10);
    EXPECT_TRUE(RectIntersect(A, R(10, 10, 20, 20)));
    EXPECT_EQ(A, R(10, 10, 10, 10));
    A = R(0, 0, 10, 10);
    EXPECT_FALSE(RectIntersect(A, R(11, 11, 20, 20)));
    EXPECT_EQ(A, R(-1, -1, -2, -2));
    A = R(0, 0, 10, 10);
    EXPECT_FALSE(RectIntersect(A, R(0, 11, 10, 20)));   // apart vertically only
    EXPECT_EQ(A, R(-1, -1, -2, -2));

    TRect U;
    RectUnion(R(5, 0, 4, 9), R(1, 1, 2, 2), U);
    EXPECT_EQ(U, R(1, 1, 2, 2));
    RectUnion(R(1, 1, 2, 2), R(-1, -1, -2, -2), U);
    EXPECT_EQ(U, R(1, 1, 2, 2));
    RectUnion(R(0, 5, 3, 6), R(2, -1, 8, 4), U);
    EXPECT_EQ(U, R(0, -1, 8, 6));

    const TRect C = R(0, 0, 10, 10);
    EXPECT_TRUE(RectsIntersect(C, R(10, 0, 12, 3)));
    EXPECT_EQ(C, R(0, 0, 10, 10));
    EXPECT_FALSE(RectsIntersect(C, R(11, 0, 12, 3)));

    EXPECT_TRUE(RectInRect(R(0, 0, 10, 10), C));
    EXPECT_TRUE(RectInRect(R(2, 3, 4, 5), C));
    EXPECT_FALSE(RectInRect(R(2, 3, 11, 5), C));
    EXPECT_TRUE(PointInRectIncl({10, 10}, C));
    EXPECT_FALSE(PointInRectIncl({11, 10}, C));
    EXPECT_FALSE(PointInRectIncl({5, -1}, C));

    TRect N = R(9, 8, 1, 2);
    NormalizeRect(N);
    EXPECT_EQ(N, R(1, 2, 9, 8));
    EXPECT_TRUE(RectsEqual(N, R(1, 2, 9, 8)));
    EXPECT_FALSE(RectsEqual(N, R(1, 2, 9, 9)));
}

TEST(Geometry, NearestPointOnSegment)
{
    TPoint N{99, 99};
    int32_t D = -1;
    NearestPointOnSegment({5, 5}, {0, 0}, {0, 0}, &N, &D);
    EXPECT_EQ(N, (TPoint{0, 0}));
    EXPECT_EQ(D, 50);
    NearestPointOnSegment({-3, 0}, {0, 0}, {10, 0}, &N, &D);
    EXPECT_EQ(N, (TPoint{0, 0}));
    EXPECT_EQ(D, 9);
    NearestPointOnSegment({4, 7}, {0, 0}, {10, 0}, &N, &D);
    EXPECT_EQ(N, (TPoint{4, 0}));
    EXPECT_EQ(D, 49);
    NearestPointOnSegment({13, 4}, {0, 0}, {10, 0}, &N, &D);
    EXPECT_EQ(N, (TPoint{10, 0}));
    EXPECT_EQ(D, 25);
    // Foot (0.5, 0.5) at squared distance 0.5: both round half away from zero.
    NearestPointOnSegment({1, 0}, {0, 0}, {2, 2}, &N, &D);
    EXPECT_EQ(N, (TPoint{1, 1}));
    EXPECT_EQ(D, 1);
    NearestPointOnSegment({-1, 0}, {0, 0}, {-2, -2}, &N, nullptr);
    EXPECT_EQ(N, (TPoint{-1, -1}));
    NearestPointOnSegment({1, 0}, {0, 0}, {2, 2}, nullptr, nullptr);   // outputs optional

    // The 64-bit form holds what an int32 square cannot.
    EXPECT_EQ(NearestPointOnSegment64({0, 100000}, {0, 0}, {0, -10}, &N), 10000000000LL);
    EXPECT_EQ(N, (TPoint{0, 0}));

    TDPoint DN;
    double DD;
    DNearestPointOnSegment({5, 5}, {0, 0}, {0, 0}, &DN, &DD);
    EXPECT_EQ(DN, (TDPoint{0, 0}));
    EXPECT_DOUBLE_EQ(DD, 50.0);
    DNearestPointOnSegment({1, 0}, {0, 0}, {2, 2}, &DN, &DD);
    EXPECT_EQ(DN, (TDPoint{0.5, 0.5}));
    EXPECT_DOUBLE_EQ(DD, 0.5);
    DNearestPointOnSegment({12, 1}, {0, 0}, {10, 0}, &DN, &DD);
    EXPECT_EQ(DN, (TDPoint{10, 0}));
    EXPECT_DOUBLE_EQ(DD, 5.0);
}

TEST(Geometry, NearestPointOnLinesAndRays)
{
    TPoint F;
    int64_t D;
    NearestPointOnLine({20, 3}, {0, 0}, {10, 0}, &F, &D);   // beyond B: not clamped
    EXPECT_EQ(F, (TPoint{20, 0}));
    EXPECT_EQ(D, 9);
    NearestPointOnLine({3, 4}, {1, 1}, {1, 1}, &F, &D);
    EXPECT_EQ(F, (TPoint{1, 1}));
    EXPECT_EQ(D, 13);
    // Exact foot (1.5, 0.5): t = 5, L2 = 10, offsets 15 div 10 and 5 div 10.
    NearestPointOnLine({1, 2}, {0, 0}, {3, 1}, &F, &D);
    EXPECT_EQ(F, (TPoint{1, 0}));
    EXPECT_EQ(D, 4);
    NearestPointOnLine({-1, -2}, {0, 0}, {3, 1}, &F, &D);   // -15 div 10 = -1
    EXPECT_EQ(F, (TPoint{-1, 0}));
    EXPECT_EQ(D, 4);

    TDPoint DF;
    double DD;
    DNearestPointOnLine({1, 2}, {0, 0}, {3, 1}, &DF, &DD);
    EXPECT_DOUBLE_EQ(DF.X, 1.5);
    EXPECT_DOUBLE_EQ(DF.Y, 0.5);
    EXPECT_DOUBLE_EQ(DD, 2.5);
    DNearestPointOnLine({1, 2}, {4, 4}, {4, 4}, &DF, &DD);
    EXPECT_EQ(DF, (TDPoint{4, 4}));
    EXPECT_DOUBLE_EQ(DD, 13.0);

    DNearestPointOnRay({-2, 5}, {0, 0}, {1, 0}, &DF, &DD);   // behind the start
    EXPECT_EQ(DF, (TDPoint{0, 0}));
    EXPECT_DOUBLE_EQ(DD, 29.0);
    DNearestPointOnRay({7, 5}, {0, 0}, {1, 0}, &DF, &DD);    // beyond B: unclamped
    EXPECT_EQ(DF, (TDPoint{7, 0}));
    EXPECT_DOUBLE_EQ(DD, 25.0);

    TDPoint3D F3;
    NearestPointOnLine3D({1, 2, 3}, {5, 5, 5}, {5, 5, 5}, &F3, &DD);
    EXPECT_EQ(F3, (TDPoint3D{1, 2, 3}));
    EXPECT_EQ(DD, 0.0);
    NearestPointOnLine3D({1, 2, 3}, {0, 0, 0}, {-2, 0, 0}, &F3, &DD);
    EXPECT_EQ(F3, (TDPoint3D{1, 0, 0}));
    EXPECT_DOUBLE_EQ(DD, 13.0);
}

TEST(Geometry, ReflectAndBisect)
{
    EXPECT_EQ(ReflectPointOnLine({1, 2}, {0, 0}, {5, 0}), (TPoint{1, -2}));
    EXPECT_EQ(ReflectPointOnLine({3, 0}, {1, 1}, {1, 1}), (TPoint{-1, 2}));
    // Foot truncated to (1, 0), so the image is (1, -2) rather than (2, -1).
    EXPECT_EQ(ReflectPointOnLine({1, 2}, {0, 0}, {3, 1}), (TPoint{1, -2}));

    TPoint S1, S2;
    PerpendicularBisector({0, 0}, {10, 0}, S1, S2);
    EXPECT_EQ(S1, (TPoint{5, 5}));
    EXPECT_EQ(S2, (TPoint{5, -5}));
    PerpendicularBisector({0, 0}, {-3, 0}, S1, S2);   // midpoint -3 div 2 = -1
    EXPECT_EQ(S1, (TPoint{-1, -2}));
    EXPECT_EQ(S2, (TPoint{-1, 2}));
}

TEST(Geometry, LineIntersection)
{
    TPoint P{77, 88};
    EXPECT_TRUE(LineIntersection({0, 0}, {10, 10}, {0, 10}, {10, 0}, &P));
    EXPECT_EQ(P, (TPoint{5, 5}));
    // Lines, not segments; x = 0.5 and 1.5 round half to even.
    EXPECT_TRUE(LineIntersection({0, 0}, {2, 0}, {0, -1}, {1, 1}, &P));
    EXPECT_EQ(P, (TPoint{0, 0}));
    EXPECT_TRUE(LineIntersection({0, 0}, {2, 0}, {1, -1}, {2, 1}, &P));
    EXPECT_EQ(P, (TPoint{2, 0}));
    P = {77, 88};
    EXPECT_FALSE(LineIntersection({0, 0}, {10, 0}, {0, 5}, {10, 5}, &P));
    EXPECT_EQ(P, (TPoint{77, 88}));
    EXPECT_FALSE(LineIntersection({0, 0}, {0, 0}, {0, 5}, {10, 5}, &P));
    EXPECT_EQ(P, (TPoint{77, 88}));

    TDPoint Q{7, 8};
    EXPECT_TRUE(DLineIntersection({0, 0}, {1, 0}, {2.5, -1}, {2.5, 1}, &Q));
    EXPECT_EQ(Q, (TDPoint{2, 0}));
    EXPECT_TRUE(DLineIntersection({0, 0}, {1, 0}, {3.25, -1}, {3.25, 1}, &Q));
    EXPECT_EQ(Q, (TDPoint{3, 0}));
    Q = {7, 8};
    EXPECT_FALSE(DLineIntersection({0, 0}, {1, 1}, {0, 1}, {2, 3}, &Q));
    EXPECT_EQ(Q, (TDPoint{7, 8}));
}

TEST(Geometry, Offsets)
{
    EXPECT_EQ(OffsetPointFromLine({0, 0}, {0, 0}, {10, 0}, 2.5), (TPoint{0, -2}));   // -Round(2.5)
    EXPECT_EQ(OffsetPointFromLine({1, 1}, {0, 0}, {0, 4}, 3.5), (TPoint{5, 1}));    // Round(3.5) = 4
    EXPECT_EQ(OffsetPointFromLine({1, 1}, {2, 2}, {2, 2}, 3.0), (TPoint{1, 1}));
    EXPECT_EQ(DOffsetPointFromLine({0, 0}, {0, 0}, {10, 0}, 2.5), (TDPoint{0, -2.5}));

    TDPoint S1, S2;
    DPerpendicularSegment({5, 0}, {0, 0}, {4, 0}, 1.0, S1, S2);
    EXPECT_EQ(S1, (TDPoint{5, -1}));
    EXPECT_EQ(S2, (TDPoint{5, 1}));
    DPerpendicularLine({3, 4}, {0, 0}, {10, 0}, S1, S2);
    EXPECT_EQ(S1, (TDPoint{3, 0}));
    EXPECT_EQ(S2, (TDPoint{3, -10}));
}

TEST(Geometry, OffsetLine)
{
    TPoint A1, B1, A2, B2;
    OffsetLine({0, 0}, {10, 0}, 2, A1, B1, A2, B2);
    EXPECT_EQ(A1, (TPoint{0, -2}));
    EXPECT_EQ(B1, (TPoint{10, -2}));
    EXPECT_EQ(A2, (TPoint{0, 2}));
    EXPECT_EQ(B2, (TPoint{10, 2}));
    OffsetLine({0, 0}, {4, 0}, 2.5, A1, B1, A2, B2);   // Round(2.5) = 2
    EXPECT_EQ(A1, (TPoint{0, -2}));
    EXPECT_EQ(B2, (TPoint{4, 2}));

    // A 4000-pixel segment at 16x scale: 64000^2 does not fit an int32.
    // Length 80000: ox = Round(12.8) = 13, oy = Round(9.6) = 10.
    OffsetLine({0, 0}, {64000, 48000}, 16, A1, B1, A2, B2);
    EXPECT_EQ(A1, (TPoint{10, -13}));
    EXPECT_EQ(B1, (TPoint{64010, 47987}));
    EXPECT_EQ(A2, (TPoint{-10, 13}));
    EXPECT_EQ(B2, (TPoint{63990, 48013}));

    try {
        OffsetLine({5, 5}, {5, 5}, 2, A1, B1, A2, B2);
        FAIL() << "no error for a zero-length segment";
    } catch (const EUserError& E) {
        EXPECT_STREQ(E.what(), "OffsetLine: dLength <= 0");
    }
}

TEST(Geometry, SnapPointToAngle)
{
    TPoint P{10, -1};
    SnapPointToAngle({0, 0}, P, 90);
    EXPECT_EQ(P, (TPoint{10, 0}));
    P = {10, -8};
    SnapPointToAngle({0, 0}, P, 45);
    EXPECT_EQ(P, (TPoint{9, -9}));
    P = {110, 99};
    SnapPointToAngle({100, 100}, P, 90);
    EXPECT_EQ(P, (TPoint{110, 100}));
    P = {0, 5};    // only the ray straight up: a point below falls on the origin
    SnapPointToAngle({0, 0}, P, 360);
    EXPECT_EQ(P, (TPoint{0, 0}));
    P = {0, 5};
    SnapPointToAngle({0, 0}, P, 180);
    EXPECT_EQ(P, (TPoint{0, 5}));

    // Steps that count no rays leave the point where it is.
    for (double Step : {0.0, -15.0, std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(), 1e-300}) {
        P = {10, -8};
        SnapPointToAngle({0, 0}, P, Step);
        EXPECT_EQ(P, (TPoint{10, -8})) << Step;
    }
}
