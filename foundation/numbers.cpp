#include "foundation/numbers.h"

#include "foundation/user_error.h"

#include <cassert>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

uint32_t RandomSeed = 0;

namespace {

void NextSeed()
{
    RandomSeed = RandomSeed * 134775813u + 1u;
}

// Double to integer without the undefined behaviour of an out-of-range cast.
template <class I>
I SaturateToInt(double R)
{
    if (std::isnan(R))
        return 0;
    // The bounds are powers of two, exact in a double.
    const double Lo = static_cast<double>(std::numeric_limits<I>::min());
    const double Hi = -Lo;
    if (R >= Hi)
        return std::numeric_limits<I>::max();
    if (R < Lo)
        return std::numeric_limits<I>::min();
    return static_cast<I>(R);
}

} // namespace

// ---------------------------------------------------------------- random

int32_t RandomInt(int32_t Range)
{
    NextSeed();
    return static_cast<int32_t>((static_cast<uint64_t>(static_cast<uint32_t>(Range)) * RandomSeed) >> 32);
}

double RandomFloat()
{
    NextSeed();
    return RandomSeed * (1.0 / 4294967296.0);
}

double RandomGauss(double Mean, double StdDev)
{
    double U, V, S;
    do {
        U = 2.0 * RandomFloat() - 1.0;
        V = 2.0 * RandomFloat() - 1.0;
        S = U * U + V * V;
    } while (S >= 1.0 || S == 0.0); // log(0) would give an infinite result
    return Mean + StdDev * U * std::sqrt(-2.0 * std::log(S) / S);
}

// ---------------------------------------------------------------- rounding

double FloorFloat(double X)
{
    return std::floor(X);
}

int32_t FloorInt(double X)
{
    return SaturateToInt<int32_t>(std::floor(X));
}

double CeilFloat(double X)
{
    return std::ceil(X);
}

int32_t CeilInt(double X)
{
    return SaturateToInt<int32_t>(std::ceil(X));
}

double RoundToDigits(int32_t N, double X)
{
    if (X == 0)
        return 0;
    // The exponent stays a double so that odd inputs cannot overflow an int.
    const double P = std::pow(10.0, std::floor(std::log10(std::fabs(X))) - N + 1);
    return static_cast<double>(RoundOff(X / P)) * P;
}

double SignFloat(double X)
{
    if (X > 0)
        return 1.0;
    if (X < 0)
        return -1.0;
    return 0.0;
}

void SwapInt(int32_t& A, int32_t& B)
{
    std::swap(A, B);
}

void SwapPoint(TPoint& A, TPoint& B)
{
    std::swap(A, B);
}

// ---------------------------------------------------------------- scale steps

double NiceNum(double X)
{
    const double E = std::floor(std::log10(X));
    const double Scale = std::pow(10.0, E);
    const double F = X / Scale;
    double Nice;
    if (F < 1.5)
        Nice = 1;
    else if (F < 3)
        Nice = 2;
    else if (F < 7)
        Nice = 5;
    else
        Nice = 10;
    return Nice * Scale;
}

void NiceScale(double& Lower, double& Upper, double& Step, double Min, double Max)
{
    Step = NiceNum(std::fabs(Max - Min) / 5);
    Lower = std::floor(Min / Step) * Step;
    Upper = std::ceil(Max / Step) * Step;
}

// ---------------------------------------------------------------- length units

namespace {

constexpr double CmPerInch = 2.54;
constexpr double PointsPerInch = 72;
constexpr double PointsPerCm = 28.346456692913385;   // 72 / 2.54
constexpr double CmPerPoint = 0.035277777777777776;  // 2.54 / 72

double RoundHundredths(double X)
{
    return FloorFloat(X * 100 + 0.5) / 100;
}

} // namespace

double ToPixel(int32_t Unit, int32_t Dpi, double X)
{
    switch (Unit) {
    case 0: break;
    case 1: X = X * Dpi / CmPerInch; break;
    case 2: X = X * Dpi; break;
    case 3: X = X * Dpi / PointsPerInch; break;
    default: throw EUserError("ToPixel: Invalid gut");
    }
    return FloorFloat(X + 0.5);
}

double ToCm(int32_t Unit, int32_t Dpi, double X)
{
    switch (Unit) {
    case 0: X = X * CmPerInch / Dpi; break;
    case 1: break;
    case 2: X = X * CmPerInch; break;
    case 3: X = X * CmPerPoint; break;
    default: throw EUserError("ToCm: Invalid gut");
    }
    return RoundHundredths(X);
}

double ToInch(int32_t Unit, int32_t Dpi, double X)
{
    switch (Unit) {
    case 0: X = X / Dpi; break;
    case 1: X = X / CmPerInch; break;
    case 2: break;
    case 3: X = X / PointsPerInch; break;
    default: throw EUserError("ToInch: Invalid gut");
    }
    return RoundHundredths(X);
}

double ToPoint(int32_t Unit, int32_t Dpi, double X)
{
    switch (Unit) {
    case 0: X = X * PointsPerInch / Dpi; break;
    case 1: X = X * PointsPerCm; break;
    case 2: X = X * PointsPerInch; break;
    case 3: break;
    default: throw EUserError("ToPoint: Invalid gut");
    }
    return FloorFloat(X * 10 + 0.5) / 10;
}

double ConvUnit(int32_t SrcUnit, int32_t DstUnit, int32_t Dpi, double X)
{
    switch (DstUnit) {
    case 0: return ToPixel(SrcUnit, Dpi, X);
    case 1: return ToCm(SrcUnit, Dpi, X);
    case 2: return ToInch(SrcUnit, Dpi, X);
    case 3: return ToPoint(SrcUnit, Dpi, X);
    default: throw EUserError("ConvUnit: Invalid Dst");
    }
}

// ---------------------------------------------------------------- splines

namespace {

bool StrictlyIncreasing(int32_t Count, const double* X)
{
    for (int32_t I = 1; I < Count; ++I)
        if (!(X[I - 1] < X[I]))   // also false for NaN
            return false;
    return true;
}

bool AllFinite(const std::vector<double>& V)
{
    for (double D : V)
        if (!std::isfinite(D))
            return false;
    return true;
}

// Value of the piecewise cubic over Count points at T.
double SplineEval(int32_t Count, const double* X, const double* Y, const double* Z, double T)
{
    if (Count < 2)
        return Count == 1 ? Y[0] : 0.0;
    int32_t Lo = 0;
    int32_t Hi = Count - 1;
    while (Lo < Hi) {
        const int32_t K = (Lo + Hi) / 2;
        if (X[K] < T)
            Lo = K + 1;
        else
            Hi = K;
    }
    const int32_t I = Lo > 0 ? Lo - 1 : 0;
    const double H = X[I + 1] - X[I];
    const double D = T - X[I];
    return (((Z[I + 1] - Z[I]) * D / H + 3 * Z[I]) * D
            + (Y[I + 1] - Y[I]) / H - (2 * Z[I] + Z[I + 1]) * H) * D + Y[I];
}

} // namespace

bool NaturalSplineSetup(int32_t N, const double* X, const double* Y, double* Z)
{
    if (N < 4 || !StrictlyIncreasing(N, X))
        return false;
    std::vector<double> H(N), D(N), R(N);
    for (int32_t I = 0; I <= N - 2; ++I) {
        H[I] = X[I + 1] - X[I];
        D[I + 1] = (Y[I + 1] - Y[I]) / H[I];
    }
    R[0] = 0;
    R[N - 1] = 0;
    R[1] = D[2] - D[1] - H[0] * R[0];
    D[1] = 2 * (X[2] - X[0]);
    for (int32_t I = 1; I <= N - 3; ++I) {
        const double T = H[I] / D[I];
        R[I + 1] = D[I + 2] - D[I + 1] - R[I] * T;
        D[I + 1] = 2 * (X[I + 2] - X[I]) - H[I] * T;
    }
    R[N - 2] -= H[N - 2] * R[N - 1];
    for (int32_t I = N - 2; I >= 1; --I)
        R[I] = (R[I] - H[I] * R[I + 1]) / D[I];
    if (!AllFinite(R))
        return false;
    std::copy(R.begin(), R.end(), Z);
    return true;
}

double NaturalSplineEval(int32_t N, const double* X, const double* Y, const double* Z, double T)
{
    return SplineEval(N, X, Y, Z, T);
}

bool PeriodicSplineSetup(int32_t N, const double* X, const double* Y, double* Z)
{
    if (N < 1 || !StrictlyIncreasing(N + 1, X))
        return false;
    std::vector<double> H(N + 1), W(N + 1), D(N + 1), R(N + 1);
    for (int32_t I = 0; I <= N - 1; ++I) {
        H[I] = X[I + 1] - X[I];
        W[I] = (Y[I + 1] - Y[I]) / H[I];
    }
    W[N] = W[0];
    for (int32_t I = 1; I <= N - 1; ++I)
        D[I] = 2 * (X[I + 1] - X[I - 1]);
    D[N] = 2 * (H[N - 1] + H[0]);
    for (int32_t I = 1; I <= N; ++I)
        R[I] = W[I] - W[I - 1];
    // W becomes the column of the last unknown, which closes the cycle.
    W[1] = H[0];
    W[N - 1] = H[N - 1];
    W[N] = D[N];
    for (int32_t I = 2; I <= N - 2; ++I)
        W[I] = 0;
    // With two intervals both neighbours of the first inner point are the
    // last point, so its coefficients add up.
    if (N == 2)
        W[1] = H[0] + H[1];
    for (int32_t I = 1; I <= N - 1; ++I) {
        const double T = H[I] / D[I];
        R[I + 1] -= R[I] * T;
        D[I + 1] -= H[I] * T;
        W[I + 1] -= W[I] * T;
    }
    W[0] = W[N];
    R[0] = R[N];
    for (int32_t I = N - 2; I >= 0; --I) {
        const double T = H[I] / D[I + 1];
        R[I] -= R[I + 1] * T;
        W[I] -= W[I + 1] * T;
    }
    const double T = R[0] / W[0];
    R[0] = T;
    R[N] = T;
    for (int32_t I = 1; I <= N - 1; ++I)
        R[I] = (R[I] - W[I] * T) / D[I];
    if (!AllFinite(R))
        return false;
    std::copy(R.begin(), R.end(), Z);
    return true;
}

double PeriodicSplineEval(int32_t N, const double* X, const double* Y, const double* Z, double T)
{
    if (N < 1)
        return N == 0 ? Y[0] : 0.0;
    if (!std::isfinite(T))
        return std::numeric_limits<double>::quiet_NaN();
    // Whole periods are removed in one step: subtracting them one at a time
    // would take forever for a far-away T.
    const double Period = X[N] - X[0];
    if (Period > 0 && (T > X[N] || T < X[0])) {
        double Offset = std::fmod(T - X[0], Period);
        if (Offset < 0)
            Offset += Period;
        T = X[0] + Offset;
    }
    return SplineEval(N + 1, X, Y, Z, T);
}

// ---------------------------------------------------------------- other

uint8_t SelectNthByte(uint8_t* A, int32_t N, int32_t M)
{
    assert(M >= 0 && M < N);
    int32_t L = 0;
    int32_t R = N - 1;
    while (L < R) {
        const uint8_t Pivot = A[M];
        int32_t I = L;
        int32_t J = R;
        do {
            while (A[I] < Pivot)
                ++I;
            while (Pivot < A[J])
                --J;
            if (I <= J) {
                std::swap(A[I], A[J]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (J < M)
            L = I;
        if (M < I)
            R = J;
    }
    return A[M];
}

void MakeLineSteps(int32_t X0, int32_t X1, int32_t Y0, int32_t Y1, int32_t* Table, bool Full)
{
    // 64-bit so that lines across the whole int32 range cannot overflow.
    const int64_t Dx = std::llabs(static_cast<int64_t>(X1) - X0);
    const int64_t Dy = std::llabs(static_cast<int64_t>(Y1) - Y0);
    int64_t N, M, E;
    if (Full) {
        N = Dx + 1;
        M = Dy + 1;
        E = Dx;
    } else {
        N = Dx;
        M = Dy;
        E = N / 2;
    }
    const int64_t Dir = Y1 > Y0 ? 1 : -1;
    int64_t Y = Y0;
    Table[0] = Y0;
    for (int64_t K = 1; K <= N; ++K) {
        E -= M;
        while (E < 0) {
            E += N;
            Y += Dir;
        }
        Table[K] = static_cast<int32_t>(Y);
    }
}
