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

// A shape's frame: the rectangle X, Y, Width x Height before it is turned
// about (X, Y).
struct TShapeFrame {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 1;
    int32_t Height = 1;
    bool operator==(const TShapeFrame&) const = default;
};

// The bounding box of the frame's sides turned by Angle, in whole pixels.
void ShapeFrameBox(int64_t Width, int64_t Height, double Angle, int64_t& BoxWidth, int64_t& BoxHeight);
// True when the frame can be drawn: both corners within the item reach,
// sides from 1 up, the turned box within BoxWithinPicture.
bool ShapeFrameDrawable(const TShapeFrame& F, double Angle);
// The frame brought to one ShapeFrameDrawable takes: sides below 1 become
// 1; a frame too large to draw is scaled down about its origin by one
// factor for both sides, so that the shape keeps its proportions (a side
// never below 1), until its box is one that paints (BoxHeldToPaint); then
// X and Y are moved just as far as it takes for both corners to lie within
// the reach. True when it changed.
bool HoldShapeFrame(TShapeFrame& F, double Angle);
