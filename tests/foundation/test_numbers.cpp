#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "foundation/wrap_int.h"

#include <gtest/gtest.h>

#include "platform/test_support.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

TEST(Numbers, RandomSequenceFromStart)
{
    RandomSeed = 0;
    EXPECT_EQ(RandomInt(1000), 0);
    EXPECT_EQ(RandomSeed, 1u);
    EXPECT_EQ(RandomInt(1000), 31);
    EXPECT_EQ(RandomInt(1000), 861);
    RandomSeed = 0;
    EXPECT_EQ(RandomFloat(), 1.0 / 4294967296.0);
    RandomSeed = 0xFFFFFFFFu;  // the step wraps modulo 2^32
    RandomFloat();
    EXPECT_EQ(RandomSeed, 4160191484u);
    RandomSeed = 0xFFFFFFFFu;
    EXPECT_EQ(RandomInt(std::numeric_limits<int32_t>::max()), 2080095741); // (2^31-1) * 4160191484 >> 32
}

TEST(Numbers, RandomGaussHasItsMeanAndDeviation)
{
    RandomSeed = 12345;
    const int Count = 40000;
    double Sum = 0, SumSq = 0;
    for (int I = 0; I < Count; ++I) {
        const double G = RandomGauss(10.0, 2.0);
        ASSERT_TRUE(std::isfinite(G));
        Sum += G;
        SumSq += G * G;
    }
    const double Mean = Sum / Count;
    EXPECT_NEAR(Mean, 10.0, 0.05);
    EXPECT_NEAR(std::sqrt(SumSq / Count - Mean * Mean), 2.0, 0.05);
    // A seed that makes u exactly 0 (next seed 2^31) gives the mean itself.
    uint32_t Inv = 134775813u;
    for (int I = 0; I < 5; ++I)
        Inv *= 2u - 134775813u * Inv;
    RandomSeed = (0x80000000u - 1u) * Inv;
    EXPECT_EQ(RandomGauss(3.0, 5.0), 3.0);
}

TEST(Numbers, Rounding)
{
    using L64 = std::numeric_limits<int64_t>;
    EXPECT_EQ(std::vector<int64_t>({RoundOff(2.5), RoundOff(-2.5), RoundOff(-2.4), RoundOff(1e300), RoundOff(-1e300),
                                    RoundOff(std::nan(""))}),
              std::vector<int64_t>({3, -3, -2, L64::max(), L64::min(), 0}));
    EXPECT_EQ(std::vector<double>({FloorFloat(-2.0), FloorFloat(-2.1), CeilFloat(-2.9)}), std::vector<double>({-2, -3, -2}));
    EXPECT_EQ(std::vector<int32_t>({FloorInt(-0.5), CeilInt(2.0), CeilInt(2.1), FloorInt(1e20)}),
              std::vector<int32_t>({-1, 2, 3, std::numeric_limits<int32_t>::max()}));
    EXPECT_EQ(RoundToDigits(3, 123456), 123000);
    EXPECT_DOUBLE_EQ(RoundToDigits(3, -0.0012345), -0.00123);
    EXPECT_EQ(RoundToDigits(1, 95), 100);   // the half rounds away from zero
    EXPECT_EQ(RoundToDigits(4, 0), 0);
    EXPECT_EQ(std::tuple(SignFloat(-0.1), SignFloat(0.0), SignFloat(7.0)), std::tuple(-1.0, 0.0, 1.0));
    int32_t A = 1, B = 2;
    TPoint P{1, 2}, Q{3, 4};
    SwapInt(A, B);
    SwapPoint(P, Q);
    EXPECT_EQ(std::tuple(A, B, P, Q), std::tuple(2, 1, TPoint{3, 4}, TPoint{1, 2}));
}

TEST(Numbers, NiceNumAndScale)
{
    // The step boundaries 1.5, 3 and 7 of the 1-2-5-10 choice.
    std::vector<double> Got;
    for (double X : {1.4, 1.5, 2.9, 3.0, 7.0, 450.0, 0.012})
        Got.push_back(NiceNum(X));
    EXPECT_EQ(Got, (std::vector<double>{1, 2, 2, 5, 10, 500, 0.01}));
    double Lower, Upper, Step;
    NiceScale(Lower, Upper, Step, 3, 97);
    EXPECT_EQ(std::tuple(Lower, Upper, Step), std::tuple(0.0, 100.0, 20.0));
    NiceScale(Lower, Upper, Step, -7, 12);   // |range| / 5 = 3.8 -> 5
    EXPECT_EQ(std::tuple(Lower, Upper, Step), std::tuple(-10.0, 15.0, 5.0));
}

TEST(Numbers, LengthUnits)
{
    // 28.35; the last is floor(x + 0.5), not away from zero.
    EXPECT_EQ((std::vector{ToPixel(1, 72, 1), ToPixel(2, 300, 1.5), ToPixel(3, 144, 10), ToPixel(0, 96, -2.5)}),
              (std::vector<double>{28, 450, 20, -2}));
    EXPECT_DOUBLE_EQ(ToPoint(1, 96, 1), 28.3);
    EXPECT_DOUBLE_EQ(ToCm(0, 96, 100), 2.65); // 2.6458
    EXPECT_DOUBLE_EQ(ToCm(3, 96, 72), 2.54);
    EXPECT_DOUBLE_EQ(ToInch(0, 96, 100), 1.04); // 1.0417
    EXPECT_DOUBLE_EQ(ToInch(1, 96, 2.54), 1);
    EXPECT_EQ(ConvUnit(1, 0, 72, 1), 28);
    EXPECT_DOUBLE_EQ(ConvUnit(0, 3, 96, 96), 72);
    auto Message = [](auto Call) { return MessageOf<EUserError>(Call); };
    EXPECT_EQ(Message([] { ToPixel(4, 96, 1); }), "ToPixel: Invalid gut");
    EXPECT_EQ(Message([] { ToCm(-1, 96, 1); }), "ToCm: Invalid gut");
    EXPECT_EQ(Message([] { ToInch(256, 96, 1); }), "ToInch: Invalid gut");
    EXPECT_EQ(Message([] { ToPoint(9, 96, 1); }), "ToPoint: Invalid gut");
    EXPECT_EQ(Message([] { ConvUnit(0, 4, 96, 1); }), "ConvUnit: Invalid Dst");
    EXPECT_EQ(Message([] { ConvUnit(7, 1, 96, 1); }), "ToCm: Invalid gut");
}

namespace {

// First derivative of the spline piece that starts at I, at offset D.
double PieceSlope(const double* X, const double* Y, const double* Z, int I, double D)
{
    const double H = X[I + 1] - X[I];
    return 3 * (Z[I + 1] - Z[I]) / H * D * D + 6 * Z[I] * D
           + (Y[I + 1] - Y[I]) / H - (2 * Z[I] + Z[I + 1]) * H;
}

} // namespace

TEST(Numbers, NaturalSpline)
{
    const double X[] = {0, 1, 2, 3};
    const double Y[] = {0, 1, 0, 1};
    double Z[4] = {9, 9, 9, 9};
    EXPECT_FALSE(NaturalSplineSetup(3, X, Y, Z));
    const double Equal[] = {0, 1, 1, 3}, Falling[] = {0, 2, 1, 3}, Huge[] = {0, 1e308, -1e308, 1};
    EXPECT_FALSE(NaturalSplineSetup(4, Equal, Y, Z));
    EXPECT_FALSE(NaturalSplineSetup(4, Falling, Y, Z));
    EXPECT_FALSE(NaturalSplineSetup(4, X, Huge, Z));   // overflows to inf
    EXPECT_EQ(Z[1], 9);   // untouched on failure
    // By hand: 4 z1 + z2 = -2, z1 + 4 z2 = 2.
    ASSERT_TRUE(NaturalSplineSetup(4, X, Y, Z));
    EXPECT_EQ(std::vector<double>(Z, Z + 4), (std::vector<double>{0, -2.0 / 3, 2.0 / 3, 0}));
    EXPECT_DOUBLE_EQ(NaturalSplineEval(4, X, Y, Z, 0.5), 0.75);
    for (int I = 0; I < 4; ++I)
        EXPECT_DOUBLE_EQ(NaturalSplineEval(4, X, Y, Z, X[I]), Y[I]);
    // Straight data stays straight, also outside the table.
    const double LX[] = {-1, 0.5, 2, 6, 7};
    double LY[5], LZ[5];
    for (int I = 0; I < 5; ++I)
        LY[I] = 3 * LX[I] - 1;
    ASSERT_TRUE(NaturalSplineSetup(5, LX, LY, LZ));
    for (double T : {-3.0, 0.1, 4.0, 9.0})
        EXPECT_NEAR(NaturalSplineEval(5, LX, LY, LZ, T), 3 * T - 1, 1e-12);
    // A natural spline sampled at more knots (the old ones included) is
    // reproduced exactly: the spline through given points is unique.
    const double FX[] = {0, 0.5, 1, 1.7, 2, 2.5, 3};
    double FY[7], FZ[7];
    for (int I = 0; I < 7; ++I)
        FY[I] = NaturalSplineEval(4, X, Y, Z, FX[I]);
    ASSERT_TRUE(NaturalSplineSetup(7, FX, FY, FZ));
    for (double T = -0.5; T <= 3.5; T += 0.05)
        EXPECT_NEAR(NaturalSplineEval(7, FX, FY, FZ, T), NaturalSplineEval(4, X, Y, Z, T), 1e-12);
}

TEST(Numbers, PeriodicSpline)
{
    const double Bad[] = {0, 1, 1, 3};
    const double Y4[] = {1, 2, 0, 1};
    double Z[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_FALSE(PeriodicSplineSetup(0, Bad, Y4, Z));
    EXPECT_FALSE(PeriodicSplineSetup(3, Bad, Y4, Z));
    const double Good[] = {0, 1, 2, 3};
    const double Huge[] = {0, 1e308, -1e308, 0};
    EXPECT_FALSE(PeriodicSplineSetup(3, Good, Huge, Z));
    EXPECT_EQ(Z[0], 9);
    std::mt19937 Gen(7);
    std::uniform_real_distribution<double> Step(0.3, 2.0), Value(-5, 5);
    for (int N : {1, 2, 3, 7}) {
        double X[8], Y[8];
        X[0] = Value(Gen);
        for (int I = 1; I <= N; ++I)
            X[I] = X[I - 1] + Step(Gen);
        for (int I = 0; I < N; ++I)
            Y[I] = Value(Gen);
        Y[N] = Y[0];
        ASSERT_TRUE(PeriodicSplineSetup(N, X, Y, Z)) << N;
        EXPECT_DOUBLE_EQ(Z[0], Z[N]);
        const double Period = X[N] - X[0];
        EXPECT_NEAR(PeriodicSplineEval(N, X, Y, Z, X[0]), Y[0], 1e-12);
        for (int I = 1; I <= N; ++I) {
            EXPECT_NEAR(PeriodicSplineEval(N, X, Y, Z, X[I]), Y[I], 1e-12);
            // Slope continuous at every knot, the closing one included.
            EXPECT_NEAR(PieceSlope(X, Y, Z, I - 1, X[I] - X[I - 1]), PieceSlope(X, Y, Z, I % N, 0), 1e-9)
                << "N " << N << " knot " << I;
        }
        for (double F : {0.1, 0.45, 0.8}) {
            const double T = X[0] + F * Period, V = PeriodicSplineEval(N, X, Y, Z, T);
            EXPECT_NEAR(PeriodicSplineEval(N, X, Y, Z, T + 3 * Period), V, 1e-9);
            EXPECT_NEAR(PeriodicSplineEval(N, X, Y, Z, T - 2 * Period), V, 1e-9);
        }
    }
    // Far-away and non-finite arguments return at once.
    const double X[] = {0, 1, 2.5, 4};
    const double Y[] = {1, 3, -1, 1};
    ASSERT_TRUE(PeriodicSplineSetup(3, X, Y, Z));
    EXPECT_NEAR(PeriodicSplineEval(3, X, Y, Z, 0.25 + 4e9), PeriodicSplineEval(3, X, Y, Z, 0.25), 1e-6);
    EXPECT_TRUE(std::isnan(PeriodicSplineEval(3, X, Y, Z, INFINITY)));
}

TEST(Numbers, SelectNthByte)
{
    std::mt19937 Gen(42);
    for (int Round = 0; Round < 40; ++Round) {
        const int N = 1 + static_cast<int>(Gen() % 64);
        const int Span = Round % 2 ? 256 : 4;   // many equal bytes, or few
        std::vector<uint8_t> A(N);
        for (auto& B : A)
            B = static_cast<uint8_t>(Gen() % Span);
        std::vector<uint8_t> Sorted = A;
        std::sort(Sorted.begin(), Sorted.end());
        for (int M = 0; M < N; ++M) {
            std::vector<uint8_t> Work = A, Ref = A;
            std::nth_element(Ref.begin(), Ref.begin() + M, Ref.end());
            ASSERT_EQ(SelectNthByte(Work.data(), N, M), Ref[M]);
            std::sort(Work.begin(), Work.end());   // only reordered
            ASSERT_EQ(Work, Sorted);
        }
    }
}

TEST(Numbers, MakeLineSteps)
{
    auto Steps = [](int32_t X0, int32_t X1, int32_t Y0, int32_t Y1, bool Full, int Count) {
        std::vector<int32_t> T(Count + 1, -99);   // one spare entry stays -99
        MakeLineSteps(X0, X1, Y0, Y1, T.data(), Full);
        return T;
    };
    using V = std::vector<int32_t>;
    EXPECT_EQ(Steps(0, 4, 0, 2, false, 5), (V{0, 0, 1, 1, 2, -99}));
    EXPECT_EQ(Steps(0, 2, 0, 5, false, 3), (V{0, 2, 5, -99}));
    EXPECT_EQ(Steps(0, 3, 0, 7, true, 5), (V{0, 2, 4, 6, 8, -99}));
    EXPECT_EQ(Steps(0, 7, 0, 3, true, 9), (V{0, 0, 1, 1, 2, 2, 3, 3, 4, -99}));
    EXPECT_EQ(Steps(0, 3, 5, 5, true, 5), (V{5, 5, 5, 5, 4, -99}));
}

TEST(WrapInt, WrapsAtTheLimits)
{
    constexpr int32_t Max = std::numeric_limits<int32_t>::max();
    constexpr int32_t Min = std::numeric_limits<int32_t>::min();
    // The last: the shift count is taken modulo 32.
    EXPECT_EQ((std::vector{WrapAdd(Max, 1), WrapSub(Min, 1), WrapMul(Min, -1), WrapMul(65536, 65536), WrapNeg(Min),
                           WrapShl(1, 31), WrapShl(Max, 1), WrapShl(3, 33)}),
              (std::vector{Min, Max, Min, 0, Min, Min, -2, 6}));
}
