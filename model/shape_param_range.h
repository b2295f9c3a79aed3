// The ranges of the shapes' parameter records: what the shape page offers
// and the generators draw. One rule for every road: the shapes' setters hold
// a record to it, an item from outside (a paste) is refused beyond it, and a
// record read from a document (or the drawing defaults) is brought into it.
#pragma once

#include "model/draw_item.h"

#include <cstdint>

// A corner radius of 100 %: rectangles count it in 1/32768 of the available
// side, polygons and stars in 1/65536 of the nearer edge (so 100 % is half
// of it). The page offers -100 % (concave) to 100 %.
inline constexpr int32_t ShapeCornerFull = 32768;
inline constexpr int32_t MaxShapeCornerPercent = 100;
// Jitters (angle, radius, inner and outer radius) in percent.
inline constexpr int32_t MaxShapeJitterPercent = 100;
// Corner and point counts. The generators draw a star of three points
// and more: a stored count of 3 is kept as it is, one below is raised to
// it. The shape page starts its typing range at MinStarPoints.
inline constexpr int32_t MinPolygonCorners = 3;
inline constexpr int32_t MinStarPoints = 4;
inline constexpr int32_t MinStoredStarPoints = 3;
inline constexpr int32_t MaxShapeCorners = 10000;

// Percent x 32768 div 100, and back to the nearest percent.
int32_t ShapeCornerOfPercent(int32_t Percent);
int32_t ShapeCornerPercent(int32_t Stored);

// True when every field lies in its range; the leave-unchanged values are
// no values and lie outside.
bool RectParamInRange(const TrecRectParam& P);
bool PolygonParamInRange(const TrecPolygonParam& P);
bool StarParamInRange(const TrecStarParam& P);

// Every field brought to the nearest value of its range. With KeepUnchanged
// a leave-unchanged value stays (a change for the merge routines, a property
// object's mixed field); without, it too is brought into the range. Fields
// the generators do not judge (seeds, start angles, the star's two kept
// fields) stay as they are.
void HoldRectParam(TrecRectParam& P, bool KeepUnchanged);
void HoldPolygonParam(TrecPolygonParam& P, bool KeepUnchanged);
void HoldStarParam(TrecStarParam& P, bool KeepUnchanged);
