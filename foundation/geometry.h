// Plane geometry on integer page points (TPoint, TRect) and double points
// (TDPoint), plus a few 3-D vector routines for lighting. Rounding is part of
// each routine's result: "Round" is to nearest with halves to even, RoundOff
// halves away from zero, integer division truncates toward zero. Rectangles
// include their Right and Bottom; Left > Right means empty. Optional outputs
// are pointers that may be null.
#pragma once

#include "foundation/geometry_types.h"

#include <cmath>
#include <cstdint>
#include <limits>

struct TDPoint3D {
    double X = 0.0;
    double Y = 0.0;
    double Z = 0.0;
    friend bool operator==(const TDPoint3D&, const TDPoint3D&) = default;
};

// To nearest, halves to even (the processor's default rounding); saturates
// outside int32, NaN gives 0.
inline int32_t RoundEven32(double X)
{
    double R = std::nearbyint(X);
    if (!(R == R))
        return 0;
    if (R >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (R <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(R);
}

// Points and vectors.
TDPoint DPoint(double X, double Y);
bool PointsEqual(const TPoint& A, const TPoint& B);
int32_t PointSqrDistance(const TPoint& A, const TPoint& B);   // 32-bit, wraps
// DX * DX + DY * DY of int32 differences (each up to 2^32 in size), saturated
// at INT64_MAX: points at opposite ends of the coordinate range are far apart,
// never "near" through a wrapped square.
int64_t SqrDist64(int64_t DX, int64_t DY);
double PointDistance(const TPoint& A, const TPoint& B);       // sqrt of the int32 above
double DPointSqrDistance(const TDPoint& A, const TDPoint& B);
double DPointDistance(const TDPoint& A, const TDPoint& B);
double DPointSqrDistance3D(const TDPoint3D& A, const TDPoint3D& B);
// (P1 W1 + P2 W2) div (W1 + W2) per coordinate in 32-bit wrapping arithmetic.
// W1 + W2 = 0 has no meaning; it gives P1.
TPoint InterpolatePoint(const TPoint& P1, const TPoint& P2, int32_t W1, int32_t W2);
TPoint MirrorPoint(const TPoint& P, const TPoint& C);          // 2 C - P
void NormalizeVector(TPoint& V);                               // length 1000; (0,0) stays
void RotatePoint(TPoint& P, double Angle);                     // radians, about the origin
void DNormalizeVector(TDPoint& V);                             // length 1; zero stays
void NormalizeVector3D(TDPoint3D& V);
double VectorLength3D(const TDPoint3D& V);
double DotProduct3D(const TDPoint3D& A, const TDPoint3D& B);
void CrossProduct3D(TDPoint3D& R, const TDPoint3D& A, const TDPoint3D& B);
double DVectorAngle(const TDPoint& A, const TDPoint& B);       // radians, 0..pi
double VectorAngle3D(const TDPoint3D& A, const TDPoint3D& B);

// Rectangles.
void RectUnion(const TRect& A, const TRect& B, TRect& R);
// A := the overlap; False, with A := (-1, -1, -2, -2), when it is empty.
bool RectIntersect(TRect& A, const TRect& B);
bool RectsIntersect(const TRect& A, const TRect& B);
bool RectInRect(const TRect& A, const TRect& B);               // A inside B, edges may touch
bool PointInRectIncl(const TPoint& P, const TRect& R);
void NormalizeRect(TRect& R);
bool RectsEqual(const TRect& A, const TRect& B);
// The pixels of R, its right and bottom edges its own; 0 when it is empty.
// A rectangle over the whole int32 range holds 2^64 pixels, past int64:
// the count stops at the largest int64.
int64_t RectPixelCount(const TRect& R);

// Segments and lines. A segment or line is given by its two points A, B.
// Nearest point of P on segment A-B; the squared distance is an int32.
void NearestPointOnSegment(const TPoint& P, const TPoint& A, const TPoint& B,
                           TPoint* Nearest, int32_t* SqrDist);
// The same, with the squared distance in 64 bits for points farther apart
// than an int32 square can hold (the flatteners use it).
int64_t NearestPointOnSegment64(const TPoint& P, const TPoint& A, const TPoint& B,
                                TPoint* Nearest);
void DNearestPointOnSegment(const TDPoint& P, const TDPoint& A, const TDPoint& B,
                            TDPoint* Nearest, double* SqrDist);
// Foot of P on the unbounded line through A and B (A when A = B).
void NearestPointOnLine(const TPoint& P, const TPoint& A, const TPoint& B,
                        TPoint* Foot, int64_t* SqrDist);
void DNearestPointOnLine(const TDPoint& P, const TDPoint& A, const TDPoint& B,
                         TDPoint* Foot, double* SqrDist);
// Nearest point of P on the ray from A through B; points behind A give A.
void DNearestPointOnRay(const TDPoint& P, const TDPoint& A, const TDPoint& B,
                        TDPoint* Nearest, double* SqrDist);
// A zero-length line gives P itself and distance 0.
void NearestPointOnLine3D(const TDPoint3D& P, const TDPoint3D& A, const TDPoint3D& B,
                          TDPoint3D* Foot, double* SqrDist);
TPoint ReflectPointOnLine(const TPoint& P, const TPoint& A, const TPoint& B);
// Intersection of the lines through A-B and C-D. False for parallel or
// degenerate lines, leaving *Pt untouched. Both round the point to whole numbers.
bool LineIntersection(const TPoint& A, const TPoint& B, const TPoint& C, const TPoint& D,
                      TPoint* Pt);
bool DLineIntersection(const TDPoint& A, const TDPoint& B, const TDPoint& C, const TDPoint& D,
                       TDPoint* Pt);
// P1-P2 turned by 90 degrees about its (truncated) midpoint, as segment S1-S2.
void PerpendicularBisector(const TPoint& P1, const TPoint& P2, TPoint& S1, TPoint& S2);
// P moved by D along the normal (dy, -dx) / length of the line A-B.
// The integer form leaves P where it is for a zero-length line.
TPoint OffsetPointFromLine(const TPoint& P, const TDPoint& A, const TDPoint& B, double D);
TDPoint DOffsetPointFromLine(const TDPoint& P, const TDPoint& A, const TDPoint& B, double D);
// The segment through P across the line A-B, D to either side.
void DPerpendicularSegment(const TDPoint& P, const TDPoint& A, const TDPoint& B, double D,
                           TDPoint& S1, TDPoint& S2);
// The line through the foot of P on A-B, perpendicular to A-B.
void DPerpendicularLine(const TDPoint& P, const TDPoint& A, const TDPoint& B,
                        TDPoint& L1, TDPoint& L2);
// The segment A-B moved by D to each side: A1-B1 by (+oy, -ox), A2-B2 by
// (-oy, +ox). Raises EUserError "OffsetLine: dLength <= 0" for A = B.
void OffsetLine(const TPoint& A, const TPoint& B, double D,
                TPoint& A1, TPoint& B1, TPoint& A2, TPoint& B2);
// Moves P to its projection on the nearest ray from O at a multiple of Step
// degrees (clockwise from straight up). A step that is not a positive finite
// number, or one too small to count its rays in an int32, leaves P unchanged.
void SnapPointToAngle(const TPoint& O, TPoint& P, double Step);
