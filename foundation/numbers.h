// The number routines of the system: its own random generator (noise effects
// give the same picture every run), rounding, round scale steps for rulers,
// length units, cubic splines for gradation curves, byte selection for median
// filters and the line-step table of nearest-neighbour scaling.
#pragma once

#include "foundation/geometry_types.h"

#include <cmath>
#include <cstdint>
#include <memory>

// Random numbers. The seed starts at 0 and nothing else sets it, so the
// sequence is the same in every run; tests may set it.
extern uint32_t RandomSeed;

int32_t RandomInt(int32_t Range);                  // 0 .. Range-1
double RandomFloat();                              // [0, 1)
double RandomGauss(double Mean, double StdDev);    // polar method

// Rounding. Results that do not fit the integer type saturate; NaN gives 0.
// Halves away from zero; NaN gives 0 and values beyond int64 saturate. Inline:
// it sits in the inner loops of the lighting and geometry code.
inline int64_t RoundOff(double X)
{
    const double R = X >= 0 ? std::trunc(X + 0.5) : std::trunc(X - 0.5);
    if (!(R == R))
        return 0;
    if (R >= 9223372036854775808.0)
        return INT64_MAX;
    if (R < -9223372036854775808.0)
        return INT64_MIN;
    return static_cast<int64_t>(R);
}
// An int64 into int32, saturating.
// V held to Lo..Hi, taken and given by value: it serves the fields of packed
// records, to which std::clamp's references may not bind (they may lie at
// addresses their type cannot be read from).
template <class T>
constexpr T ClampedValue(T V, T Lo, T Hi)
{
    return V < Lo ? Lo : Hi < V ? Hi : V;
}

inline int32_t Sat32(int64_t V)
{
    return V > INT32_MAX ? INT32_MAX : V < INT32_MIN ? INT32_MIN : static_cast<int32_t>(V);
}
double FloorFloat(double X);
int32_t FloorInt(double X);
double CeilFloat(double X);
int32_t CeilInt(double X);
double RoundToDigits(int32_t N, double X);         // N significant digits; 0 stays 0
double SignFloat(double X);                        // -1.0, 0.0 or 1.0
void SwapInt(int32_t& A, int32_t& B);
void SwapPoint(TPoint& A, TPoint& B);

// Scale steps: 1, 2, 5 or 10 times a power of ten near X (X > 0).
double NiceNum(double X);
void NiceScale(double& Lower, double& Upper, double& Step, double Min, double Max);

// Length units, one code each: 0 pixel, 1 cm, 2 inch, 3 point.
// Source unit, resolution in dpi, value. Pixels come out whole, cm and inches
// with two decimals, points with one. Another unit raises EUserError.
double ToPixel(int32_t Unit, int32_t Dpi, double X);
double ToCm(int32_t Unit, int32_t Dpi, double X);
double ToInch(int32_t Unit, int32_t Dpi, double X);
double ToPoint(int32_t Unit, int32_t Dpi, double X);
double ConvUnit(int32_t SrcUnit, int32_t DstUnit, int32_t Dpi, double X);

// Cubic splines; z receives one sixth of the second derivative at each point.
// Natural: N points (N >= 4), x strictly increasing. False, with z untouched,
// when N is too small, x does not increase or the result is not finite.
bool NaturalSplineSetup(int32_t N, const double* X, const double* Y, double* Z);
double NaturalSplineEval(int32_t N, const double* X, const double* Y, const double* Z, double T);
// Periodic: N intervals, arrays of N + 1 with Y[N] = Y[0]. False, with z
// untouched, for N < 1, x not strictly increasing or a non-finite result.
bool PeriodicSplineSetup(int32_t N, const double* X, const double* Y, double* Z);
// T is first brought into [X[0], X[N]] by whole periods; a non-finite T gives NaN.
double PeriodicSplineEval(int32_t N, const double* X, const double* Y, const double* Z, double T);

// The M-th smallest (M from 0) of the N bytes of A; A is partly reordered.
uint8_t SelectNthByte(uint8_t* A, int32_t N, int32_t M);

// Fills Table[0..n] with the y reached at each x step of the line, n being
// |X1 - X0| (+1 with Full); the caller allocates n + 1 entries.
void MakeLineSteps(int32_t X0, int32_t X1, int32_t Y0, int32_t Y1, int32_t* Table, bool Full);

// Empties the variable first, then frees what it held, so that the object's
// destructor already sees the variable empty.
template <class T>
void FreeObjAndNil(std::unique_ptr<T>& Obj)
{
    Obj.reset(); // stores nullptr before deleting the old object
}
