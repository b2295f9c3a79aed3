// Shape outline generators: a bounding rectangle and a shape's parameter
// record give a closed point path. Rectangles with bevelled or rounded
// corners, regular polygons and stars (with seeded jitter and rounded
// vertices) and ellipses. The only state is the three seeds of the shape
// random generator, which every polygon and star call sets afresh from its
// record, so equal parameters always give the same outline.
//
// Coordinates are int32 page units, y growing downwards. Everything is
// computed in 64 bits; a point that would leave the int32 range saturates.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/poly_line.h"

#include <cstdint>

// The parameter records (model/draw_item.h). Fields read here:
// TrecRectParam: Bevel (non-zero: straight cuts, 0: Bezier arcs),
//   CornerRadius (1/32768 of the available side; negative: concave),
//   CornerCount (1, 2 or 4), CornerPosition (0 TL, 1 TR, 2 BR, 3 BL; for two
//   corners it names the pair).
// TrecPolygonParam: Count, CornerSize (1/65536 of the nearer edge; negative
//   mirrors the curve inwards), AngleVariation (percent of the angular step),
//   RadiusVariation (percent of the radius), Seed (three 10-bit seeds),
//   StartAngle (radians).
// TrecStarParam: InnerRadius (ratio of the outer radius), Count (tips),
//   Corner1 / Corner2 (rounding of the inner vertices / the tips),
//   AngleVariation (percent of the half step), InnerVariation (percent of the
//   inner radius), OuterVariation (percent of outer - inner), Seed, StartAngle.
// Records are taken as stored: leave-unchanged values are drawn as the numbers
// they are, a start angle or inner ratio that is infinite or NaN as 0.
struct TrecRectParam;
struct TrecPolygonParam;
struct TrecStarParam;

// Vertex (polygon) and tip (star) counts are kept within 3 .. this; a stored
// count beyond it would ask for billions of points.
inline constexpr int32_t MaxShapeVertexCount = 100000;

// Wichmann-Hill (AS 183) on the three module seeds: a double in [0, 1).
double ShapeRandom();
// s1 := Seed and $3FF, s2 := (Seed shr 10) and $3FF, s3 := (Seed shr 20) and $3FF.
// A seed part of 0 keeps its term 0.
void SetShapeRandomSeed(uint32_t Seed);

// Corner counts other than 1 and 2 make four corners; positions above 3 are
// taken as 0 (the values of a new rectangle and of old files).
uint16_t RectCornerCount(const TrecRectParam& Param);
uint16_t RectCornerPosition(const TrecRectParam& Param);

// The outline runs TL, TR, BR, BL (clockwise on screen). Always True.
bool MakeRectPath(const TRect& Rect, const TrecRectParam& Param, TrecPolyLine& Path);
// The count used (3 .. MaxShapeVertexCount) is written back into Param.
bool MakePolygonPath(const TRect& Rect, TrecPolygonParam& Param, TrecPolyLine& Path);
bool MakeStarPath(const TRect& Rect, TrecStarParam& Param, TrecPolyLine& Path);
// 13 points: one closed figure of four Bezier quarters from the top centre.
void GetEllipsePath(const TRect& Rect, TrecPolyLine& Path);

// Copy := Param, then the generator on the copy (the caller's record stays).
bool GetRectPath(const TRect& Rect, const TrecRectParam& Param, TrecRectParam& Copy,
                 TrecPolyLine& Path);
bool GetPolygonPath(const TRect& Rect, const TrecPolygonParam& Param, TrecPolygonParam& Copy,
                    TrecPolyLine& Path);
bool GetStarPath(const TRect& Rect, const TrecStarParam& Param, TrecStarParam& Copy,
                 TrecPolyLine& Path);
