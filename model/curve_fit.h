// Fitting a run of points with a chain of cubic Bezier segments: the
// least-squares fit with chord-length parameters and Newton-Raphson
// reparameterisation, with a straight-run shortcut, a grid search over
// rotated end tangents and splitting of failed runs at their middle point.
// Used by the bitmap tracer and the free-hand tool.
//
// The tolerance is compared with squared distances. Results are a curve
// block of Count segments of four points each (start, first control, second
// control, end); the end of one segment is the start of the next. Nothing is
// kept between calls.
#pragma once

#include "foundation/geometry_types.h"

#include <cstdint>
#include <vector>

// One curve parameter per point of a fitted run.
using TdaDouble = std::vector<double>;

// Vector operations; a zero vector stays zero when normalised or resized.
inline TDPoint V2Add(const TDPoint& A, const TDPoint& B) { return TDPoint{A.X + B.X, A.Y + B.Y}; }
inline TDPoint V2Sub(const TDPoint& A, const TDPoint& B) { return TDPoint{A.X - B.X, A.Y - B.Y}; }
inline TDPoint V2Scale(const TDPoint& V, double S) { return TDPoint{V.X * S, V.Y * S}; }
inline double V2Dot(const TDPoint& A, const TDPoint& B) { return A.X * B.X + A.Y * B.Y; }
inline double V2SquaredLength(const TDPoint& V) { return V.X * V.X + V.Y * V.Y; }
double V2Length(const TDPoint& V);
double V2DistanceBetween2Points(const TDPoint& A, const TDPoint& B);
TDPoint V2Normalize(const TDPoint& V);
// V x NewLength / |V|.
TDPoint V2SetLength(const TDPoint& V, double NewLength);
// Radians: (x cos a - y sin a, x sin a + y cos a).
TDPoint V2Rotate(const TDPoint& V, double Angle);

// Bernstein weights of the cubic.
inline double Bernstein0(double T) { const double S = 1.0 - T; return S * S * S; }
inline double Bernstein1(double T) { const double S = 1.0 - T; return 3.0 * T * S * S; }
inline double Bernstein2(double T) { return 3.0 * T * T * (1.0 - T); }
inline double Bernstein3(double T) { return T * T * T; }

// De Casteljau evaluation of the curve of Degree + 1 control points at T.
TDPoint BezierAt(int32_t Degree, const TDPoint* V, double T);

// Unit tangents of a run of points P: at its start (towards P[I + 1]), at its
// end (towards P[I - 1], back into the run) and at a split point (towards
// P[I - 1]).
TDPoint ComputeLeftTangent(const TDPoint* P, int32_t I);
TDPoint ComputeRightTangent(const TDPoint* P, int32_t I);
TDPoint ComputeCenterTangent(const TDPoint* P, int32_t I);

// U := the chord-length parameters of P[First .. Last], 0 to 1.
void ChordLengthParameterize(const TDPoint* P, int32_t First, int32_t Last, TdaDouble& U);

// The least-squares segment from P[First] to P[Last] with end tangents T1, T2
// and parameters U (one per point of the run).
void MakeFitBezier(const TDPoint* P, int32_t First, int32_t Last, const TdaDouble& U,
                   const TDPoint& T1, const TDPoint& T2, TDPoint Bez[4]);

// The largest, over the inner points of the run, of the smallest squared
// distance from the point to the segment at the parameters of the points up
// to two places either side; -1.0 when the run has no inner point.
double MaxFitError(const TDPoint* P, int32_t First, int32_t Last, const TDPoint Bez[4],
                   const TdaDouble& U);

// One Newton-Raphson step towards the parameter of the curve point nearest
// to Pt; U unchanged where the step has no denominator.
double NewtonRaphsonRootFind(const TDPoint Q[4], const TDPoint& Pt, double U);
// Every U of the run replaced by its Newton-Raphson step.
void Reparameterize(const TDPoint* P, int32_t First, int32_t Last, TdaDouble& U,
                    const TDPoint Bez[4]);

// Fits P[0 .. N-1] (N >= 2): Curve := 4 Count points, Count := the number of
// segments. Error is a squared distance. Runs of fewer than 2 points give no
// segment.
void FitCurve(const TDPoint* P, int32_t N, std::vector<TDPoint>& Curve, double Error,
              int32_t& Count);
