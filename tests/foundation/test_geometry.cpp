#include "foundation/geometry.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <tuple>

#include "platform/test_support.h"

namespace {

constexpr double Pi = std::numbers::pi;

TRect R(int32_t L, int32_t T, int32_t Ri, int32_t B) { return TRect{L, T, Ri, B}; }

// V after an operation that changes it in place.
template <class T, class F>
T After(T V, F Op)
{
    Op(V);
    return V;
}

template <class TPt, class TD, class F>
std::tuple<TPt, TD> Nearest(F Fn, TPt P, TPt A, TPt B)
{
    TPt N{};
    TD D{};
    Fn(P, A, B, &N, &D);
    return {N, D};
}

} // namespace

TEST(Geometry, PointsAndVectors)
{
    EXPECT_EQ(PointSqrDistance({0, 0}, {3, 4}), 25);
    EXPECT_EQ(PointSqrDistance({0, 0}, {46341, 0}), -2147479015);   // 46341^2 wraps in 32 bits
    EXPECT_DOUBLE_EQ(PointDistance({1, 1}, {4, 5}), 5.0);
    EXPECT_DOUBLE_EQ(DPointSqrDistance({0.5, 0}, {0, 1}), 1.25);
    EXPECT_DOUBLE_EQ(DPointSqrDistance3D({1, 2, 3}, {2, 4, 6}), 14.0);
    EXPECT_EQ(InterpolatePoint({-10, 10}, {0, 0}, 1, 2), (TPoint{-3, 3}));  // truncates toward zero
    EXPECT_EQ(InterpolatePoint({5, 6}, {7, 8}, 1, -1), (TPoint{5, 6}));     // zero weight sum: no trap
    EXPECT_EQ(MirrorPoint({1, 2}, {5, 5}), (TPoint{9, 8}));
    // {-7, 3}: length Round(7.6158) = 8, then -7000 div 8, 3000 div 8.
    EXPECT_EQ(After(TPoint{-7, 3}, NormalizeVector), (TPoint{-875, 375}));
    EXPECT_EQ(After(TPoint{0, 0}, NormalizeVector), (TPoint{0, 0}));
    EXPECT_EQ(After(TPoint{10, 0}, [](TPoint& P) { RotatePoint(P, Pi / 2); }), (TPoint{0, 10}));
    EXPECT_EQ(After(TPoint{1, 0}, [](TPoint& P) { RotatePoint(P, Pi / 4); }), (TPoint{1, 1}));   // 0.7071
    EXPECT_EQ(std::pair(After(TDPoint{3, 4}, DNormalizeVector), After(TDPoint{}, DNormalizeVector)),
              std::pair(TDPoint{0.6, 0.8}, TDPoint{}));
    EXPECT_EQ(std::pair(After(TDPoint3D{0, 3, 4}, NormalizeVector3D), After(TDPoint3D{}, NormalizeVector3D)),
              std::pair(TDPoint3D{0, 0.6, 0.8}, TDPoint3D{}));
    EXPECT_DOUBLE_EQ(VectorLength3D({2, 3, 6}), 7.0);
    EXPECT_DOUBLE_EQ(DotProduct3D({1, 2, 3}, {4, -5, 6}), 12.0);
    TDPoint3D A{1, 0, 0};
    CrossProduct3D(A, A, {0, 1, 0});   // the result may be an argument
    EXPECT_EQ(A, (TDPoint3D{0, 0, 1}));
    CrossProduct3D(A, {1, 2, 3}, {4, 5, 6});
    EXPECT_EQ(A, (TDPoint3D{-3, 6, -3}));
    EXPECT_DOUBLE_EQ(DVectorAngle({1, 0}, {-5, 0}), Pi);
    EXPECT_NEAR(DVectorAngle({1, 1}, {0, 3}), Pi / 4, 1e-12);
    EXPECT_DOUBLE_EQ(VectorAngle3D({0, 0, 2}, {0, 3, 0}), Pi / 2);
    // Rounding may put the cosine a hair beyond -1; the angle is still pi.
    EXPECT_NEAR(VectorAngle3D({1, 1, 1}, {-2, -2, -2}), Pi, 1e-7);
}

TEST(Geometry, Rectangles)
{
    auto Intersect = [](TRect A, TRect B) { return std::tuple(RectIntersect(A, B), A); };
    EXPECT_EQ(Intersect(R(0, 0, 10, 10), R(10, 10, 20, 20)), std::tuple(true, R(10, 10, 10, 10)));
    EXPECT_EQ(Intersect(R(0, 0, 10, 10), R(11, 11, 20, 20)), std::tuple(false, R(-1, -1, -2, -2)));
    // An empty rectangle (Left > Right) does not count in a union.
    auto Union = [](TRect A, TRect B) {
        TRect U;
        RectUnion(A, B, U);
        return U;
    };
    EXPECT_EQ(Union(R(5, 0, 4, 9), R(1, 1, 2, 2)), R(1, 1, 2, 2));
    EXPECT_EQ(Union(R(1, 1, 2, 2), R(-1, -1, -2, -2)), R(1, 1, 2, 2));
    EXPECT_EQ(Union(R(0, 5, 3, 6), R(2, -1, 8, 4)), R(0, -1, 8, 6));
    const TRect C = R(0, 0, 10, 10); // edges count
    EXPECT_EQ((std::vector{RectsIntersect(C, R(10, 0, 12, 3)), RectsIntersect(C, R(11, 0, 12, 3)),
                           RectInRect(R(0, 0, 10, 10), C), RectInRect(R(2, 3, 11, 5), C),
                           PointInRectIncl({10, 10}, C), PointInRectIncl({11, 10}, C)}),
              (std::vector{true, false, true, false, true, false}));
    EXPECT_EQ(After(R(9, 8, 1, 2), NormalizeRect), R(1, 2, 9, 8));
}

// Pixels of a rectangle, its right and bottom edges its own: never
// overflowing, however large it is.
TEST(Geometry, RectPixelCount)
{
    constexpr int32_t Min = std::numeric_limits<int32_t>::min();
    constexpr int32_t Max = std::numeric_limits<int32_t>::max();
    constexpr int64_t Largest = std::numeric_limits<int64_t>::max();
    const std::tuple<TRect, int64_t> Cases[] = {
        {{0, 0, 0, 0}, 1},
        {{0, 0, 399, 299}, 120000},
        {{-1, -1, -2, -2}, 0},
        {{5, 0, 4, 10}, 0},
        {{0, 5, 10, 4}, 0},
        {{Min, 0, Max, 0}, int64_t{1} << 32},
        {{Min, Min, Max, Max}, Largest},                  // 2^64
        {{Min, 0, Max, (1 << 30) - 1}, int64_t{1} << 62}, // 2^32 x 2^30
        {{Min, 0, Max, (1 << 30) - 2}, (int64_t{1} << 62) - (int64_t{1} << 32)},
        {{Min, 0, Max, Max}, Largest},                    // 2^32 x 2^31 = 2^63
        {{Min, 1, Max, Max}, Largest - (int64_t{1} << 32) + 1}, // 2^63 - 2^32
        {{0, 0, Max, Max}, int64_t{1} << 62},             // 2^31 x 2^31
        {{Min, Min, Max, Min + 1}, int64_t{1} << 33},
    };
    for (const auto& [R, Count] : Cases)
        EXPECT_EQ(RectPixelCount(R), Count) << R.Left << "," << R.Top << "," << R.Right << "," << R.Bottom;
}

TEST(Geometry, NearestPoints)
{
    auto Seg = [](TPoint P, TPoint A, TPoint B) { return Nearest<TPoint, int32_t>(NearestPointOnSegment, P, A, B); };
    using TI = std::tuple<TPoint, int32_t>;
    EXPECT_EQ(Seg({5, 5}, {0, 0}, {0, 0}), TI({0, 0}, 50));
    EXPECT_EQ(Seg({-3, 0}, {0, 0}, {10, 0}), TI({0, 0}, 9));
    EXPECT_EQ(Seg({13, 4}, {0, 0}, {10, 0}), TI({10, 0}, 25));
    // Foot (0.5, 0.5) at squared distance 0.5: both round half away from zero.
    EXPECT_EQ(Seg({1, 0}, {0, 0}, {2, 2}), TI({1, 1}, 1));
    EXPECT_EQ(Seg({-1, 0}, {0, 0}, {-2, -2}), TI({-1, -1}, 1));
    TPoint N;
    EXPECT_EQ(NearestPointOnSegment64({0, 100000}, {0, 0}, {0, -10}, &N), 10000000000LL);   // beyond int32
    EXPECT_EQ(N, (TPoint{0, 0}));
    // Opposite corners of the coordinate range: far apart, never a wrapped 0.
    EXPECT_EQ(NearestPointOnSegment64({INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX},
                                      {INT32_MAX, INT32_MAX}, &N), INT64_MAX);
    using TD = std::tuple<TDPoint, double>;
    auto DSeg = [](TDPoint P, TDPoint A, TDPoint B) { return Nearest<TDPoint, double>(DNearestPointOnSegment, P, A, B); };
    EXPECT_EQ(DSeg({1, 0}, {0, 0}, {2, 2}), TD({0.5, 0.5}, 0.5));
    // Unbounded lines. Exact foot (1.5, 0.5): t = 5, L2 = 10, offsets 15 div 10 and 5 div 10.
    auto Line = [](TPoint P, TPoint A, TPoint B) { return Nearest<TPoint, int64_t>(NearestPointOnLine, P, A, B); };
    using TL = std::tuple<TPoint, int64_t>;
    EXPECT_EQ(Line({20, 3}, {0, 0}, {10, 0}), TL({20, 0}, 9));   // beyond B: not clamped
    EXPECT_EQ(Line({3, 4}, {1, 1}, {1, 1}), TL({1, 1}, 13));
    EXPECT_EQ(Line({1, 2}, {0, 0}, {3, 1}), TL({1, 0}, 4));
    EXPECT_EQ(std::get<0>(Line({-1, -2}, {0, 0}, {3, 1})), (TPoint{-1, 0}));   // -15 div 10 = -1
    auto DLine = [](TDPoint P, TDPoint A, TDPoint B) { return Nearest<TDPoint, double>(DNearestPointOnLine, P, A, B); };
    EXPECT_EQ(DLine({1, 2}, {0, 0}, {3, 1}), TD({1.5, 0.5}, 2.5));
    EXPECT_EQ(DLine({1, 2}, {4, 4}, {4, 4}), TD({4, 4}, 13.0));
    auto Ray = [](TDPoint P, TDPoint A, TDPoint B) { return Nearest<TDPoint, double>(DNearestPointOnRay, P, A, B); };
    EXPECT_EQ(Ray({-2, 5}, {0, 0}, {1, 0}), TD({0, 0}, 29.0));   // behind the start
    EXPECT_EQ(Ray({7, 5}, {0, 0}, {1, 0}), TD({7, 0}, 25.0));    // beyond B: unclamped
    auto Line3 = [](TDPoint3D P, TDPoint3D A, TDPoint3D B) { return Nearest<TDPoint3D, double>(NearestPointOnLine3D, P, A, B); };
    EXPECT_EQ(Line3({1, 2, 3}, {5, 5, 5}, {5, 5, 5}), std::tuple(TDPoint3D{1, 2, 3}, 0.0));
    EXPECT_EQ(Line3({1, 2, 3}, {0, 0, 0}, {-2, 0, 0}), std::tuple(TDPoint3D{1, 0, 0}, 13.0));
    EXPECT_EQ(ReflectPointOnLine({3, 0}, {1, 1}, {1, 1}), (TPoint{-1, 2}));
    // Foot truncated to (1, 0), so the image is (1, -2) rather than (2, -1).
    EXPECT_EQ(ReflectPointOnLine({1, 2}, {0, 0}, {3, 1}), (TPoint{1, -2}));
    TPoint S1, S2, S3, S4;
    PerpendicularBisector({0, 0}, {10, 0}, S1, S2);
    PerpendicularBisector({0, 0}, {-3, 0}, S3, S4);   // midpoint -3 div 2 = -1
    EXPECT_EQ(std::tuple(S1, S2, S3, S4), std::tuple(TPoint{5, 5}, TPoint{5, -5}, TPoint{-1, -2}, TPoint{-1, 2}));
}

TEST(Geometry, LineIntersection)
{
    auto Cut = [](TPoint A, TPoint B, TPoint C, TPoint D) {
        TPoint P{77, 88};   // stays when the lines do not cross
        return std::tuple(LineIntersection(A, B, C, D, &P), P);
    };
    using T = std::tuple<bool, TPoint>;
    EXPECT_EQ(Cut({0, 0}, {10, 10}, {0, 10}, {10, 0}), T(true, {5, 5}));
    // Lines, not segments; x = 0.5 and 1.5 round half to even.
    EXPECT_EQ(Cut({0, 0}, {2, 0}, {0, -1}, {1, 1}), T(true, {0, 0}));
    EXPECT_EQ(Cut({0, 0}, {2, 0}, {1, -1}, {2, 1}), T(true, {2, 0}));
    EXPECT_EQ(Cut({0, 0}, {10, 0}, {0, 5}, {10, 5}), T(false, {77, 88}));
    EXPECT_EQ(Cut({0, 0}, {0, 0}, {0, 5}, {10, 5}), T(false, {77, 88}));
    auto DCut = [](TDPoint A, TDPoint B, TDPoint C, TDPoint D) {
        TDPoint P{7, 8};
        return std::tuple(DLineIntersection(A, B, C, D, &P), P);
    };
    using TD = std::tuple<bool, TDPoint>;
    EXPECT_EQ(DCut({0, 0}, {1, 0}, {2.5, -1}, {2.5, 1}), TD(true, {2, 0}));   // to whole numbers, even
    EXPECT_EQ(DCut({0, 0}, {1, 1}, {0, 1}, {2, 3}), TD(false, {7, 8}));
}

TEST(Geometry, Offsets)
{
    EXPECT_EQ(OffsetPointFromLine({0, 0}, {0, 0}, {10, 0}, 2.5), (TPoint{0, -2}));   // -Round(2.5)
    EXPECT_EQ(OffsetPointFromLine({1, 1}, {0, 0}, {0, 4}, 3.5), (TPoint{5, 1}));    // Round(3.5) = 4
    EXPECT_EQ(OffsetPointFromLine({1, 1}, {2, 2}, {2, 2}, 3.0), (TPoint{1, 1}));
    EXPECT_EQ(DOffsetPointFromLine({0, 0}, {0, 0}, {10, 0}, 2.5), (TDPoint{0, -2.5}));
    TDPoint S1, S2;
    DPerpendicularSegment({5, 0}, {0, 0}, {4, 0}, 1.0, S1, S2);
    EXPECT_EQ(std::tuple(S1, S2), std::tuple(TDPoint{5, -1}, TDPoint{5, 1}));
    DPerpendicularLine({3, 4}, {0, 0}, {10, 0}, S1, S2);
    EXPECT_EQ(std::tuple(S1, S2), std::tuple(TDPoint{3, 0}, TDPoint{3, -10}));
    TPoint A1, B1, A2, B2;
    OffsetLine({0, 0}, {4, 0}, 2.5, A1, B1, A2, B2);   // Round(2.5) = 2
    EXPECT_EQ(std::tuple(A1, B2), std::tuple(TPoint{0, -2}, TPoint{4, 2}));
    // A 4000-pixel segment at 16x scale: 64000^2 does not fit an int32.
    // Length 80000: ox = Round(12.8) = 13, oy = Round(9.6) = 10.
    OffsetLine({0, 0}, {64000, 48000}, 16, A1, B1, A2, B2);
    EXPECT_EQ(std::tuple(A1, B1, A2, B2),
              std::tuple(TPoint{10, -13}, TPoint{64010, 47987}, TPoint{-10, 13}, TPoint{63990, 48013}));
    EXPECT_EQ(MessageOf<EUserError>([&] { OffsetLine({5, 5}, {5, 5}, 2, A1, B1, A2, B2); }),
              "OffsetLine: dLength <= 0");
}

TEST(Geometry, SnapPointToAngle)
{
    auto Snap = [](TPoint O, TPoint P, double Step) {
        SnapPointToAngle(O, P, Step);
        return P;
    };
    EXPECT_EQ(Snap({0, 0}, {10, -8}, 45), (TPoint{9, -9}));
    EXPECT_EQ(Snap({100, 100}, {110, 99}, 90), (TPoint{110, 100}));   // about O, not the origin
    // Only the ray straight up: a point below falls on the origin.
    EXPECT_EQ(Snap({0, 0}, {0, 5}, 360), (TPoint{0, 0}));
    EXPECT_EQ(Snap({0, 0}, {0, 5}, 180), (TPoint{0, 5}));
    // Steps that count no rays leave the point where it is.
    for (double Step : {0.0, -15.0, std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(), 1e-300})
        EXPECT_EQ(Snap({0, 0}, {10, -8}, Step), (TPoint{10, -8})) << Step;
}
