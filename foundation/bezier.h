// Cubic Bezier segments P0 (start), P1, P2 (controls), P3 (end), on integer
// page points and on double points: evaluation, splitting, flattening into
// line points, subdivision into short pieces, nearest point, tangent, and the
// smooth-node and rounded-corner constructions of the editors.
//
// A curve is passed as a pointer to its four consecutive points, so a path's
// point array can be passed in place. List routines come in two forms: one
// returns a new list that starts with P0 (and parameter 0.0); the ...Append
// form adds to a caller's vectors only what follows P0 (parameters run 0..1
// within this curve), so that a path flattener fills one buffer per path.
#pragma once

#include "foundation/geometry.h"

#include <cstdint>
#include <vector>

struct TBezierPolyLine {
    std::vector<TPoint> Points;
    std::vector<double> Params;   // curve parameter of each point
};

struct TDBezierPolyLine {
    std::vector<TDPoint> Points;
    std::vector<double> Params;
};

// Bernstein form; the integer result rounds each coordinate half to even.
TPoint BezierPoint(const TPoint P[4], double T);
TDPoint DBezierPoint(const TDPoint P[4], double T);

// De Casteljau at 0.5. The integer form rounds each point by adding half the
// divisor before a truncating division. Q or R may be P itself.
void BezierSplitHalf(const TPoint P[4], TPoint Q[4], TPoint R[4]);
void DBezierSplitHalf(const TDPoint P[4], TDPoint Q[4], TDPoint R[4]);
// De Casteljau at T, every point rounded half to even.
void BezierSplitAt(const TPoint P[4], double T, TPoint Q[4], TPoint R[4]);

// A Bezier run P0 followed by triples whose pieces have chords of at most Step.
std::vector<TPoint> BezierSubdivideByStep(const TPoint P[4], int32_t Step);
void BezierSubdivideByStepAppend(const TPoint P[4], int32_t Step, std::vector<TPoint>& Out);

// Line points; Tol is a squared distance of the control points from the chord.
std::vector<TPoint> BezierFlatten(const TPoint P[4], double Tol);
void BezierFlattenAppend(const TPoint P[4], double Tol, std::vector<TPoint>& Out);

// Line points with their curve parameters; Tol is a distance. Halving stops
// at depth 32; the double form also treats deviations below 1e-9 of the
// curve's largest coordinate as flat, so a tolerance of 0 ends.
TBezierPolyLine BezierToPolyLine(const TPoint P[4], double Tol);
void BezierToPolyLineAppend(const TPoint P[4], double Tol, std::vector<TPoint>& Points,
                            std::vector<double>& Params);
TDBezierPolyLine DBezierToPolyLine(const TDPoint P[4], double Tol);
void DBezierToPolyLineAppend(const TDPoint P[4], double Tol, std::vector<TDPoint>& Points,
                             std::vector<double>& Params);

// Nearest point of the curve to Pt: flattened with Tol, then a bisection on
// the nearest chord's parameters until its ends lie closer than Eps (at most
// 64 halvings, so Eps <= 0 ends too).
void BezierNearestPoint(const TPoint& Pt, const TPoint P[4], double Tol, double Eps,
                        double* T, TPoint* Nearest, int64_t* SqrDist);

// t / 3 times the derivative; at an end with a zero handle the chord to the
// point at 0.01 (or from 0.99). Raises EUserError
// "DBezierGetTanT: Can't Get Tangent" when that chord is zero too.
TDPoint DBezierGetTanT(const TDPoint P[4], double T);

// A curve rounding the corner B between legs B-A and B-C, tangent to both,
// starting at T on one leg; from the A side to the C side. False, with Out
// untouched, when the construction has no intersection.
bool MakeCornerBezier(const TPoint& A, const TPoint& B, const TPoint& C, const TPoint& T,
                      TPoint Out[4]);

// P[0..6] are two joined curves; makes P[3] a smooth node (P2, P4, P5 change).
void SmoothBezierNode(TPoint P[7]);
// As SmoothBezierNode, then P1 mirrors P2 across the bisector of P0-P3.
void SmoothBezierNodeBoth(TPoint P[7]);
