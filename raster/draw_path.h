// Anti-aliased fill and stroke of point paths straight into the pixels of an
// 8- or 24-bit picture record. Outlines are scanned on a grid of O x O
// sub-samples per pixel (O a power of two: 16 smoothed, 1 aliased) with the
// even-odd rule, and each pixel takes the colour in proportion to the share
// of its sub-samples inside.
//
// Edges step down the sub-rows with Bresenham's rule: an edge from (x0, y0)
// to (x1, y1), y0 < y1, crosses sub-rows y0 .. y1 - 1, at row y0 + k at
// x0 + sign(dx) * floor((2 k |dx| + dy) / (2 dy)). A span [a, b) between two
// paired crossings covers the sub-samples a .. b - 1.
//
// Coordinates are scaled in 64 bits, so paths anywhere in the int32 page
// range draw the same pixels as near ones. Every routine raises EUserError
// for a picture that is not 8 or 24 bits; DIBSectionDrawPath turns any
// failure into its result 9.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/pen_text.h"
#include "foundation/rec_path.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <vector>

// Pen style bits as the rasteriser reads them.
inline constexpr uint32_t PenCapMask = 0x300;
inline constexpr uint32_t PenCapRound = 0x000;
inline constexpr uint32_t PenCapSquare = 0x100;
inline constexpr uint32_t PenCapNone = 0x200;
inline constexpr uint32_t PenJoinMask = 0x3000;
inline constexpr uint32_t PenJoinRound = 0x0000;
inline constexpr uint32_t PenJoinBevel = 0x1000;
inline constexpr uint32_t PenJoinMiter = 0x2000;
inline constexpr uint32_t PenJoinNone = 0x3000;

// Word 3 of the pen record is its colour, 0x00BBGGRR; an 8-bit picture takes
// its low byte.
inline uint32_t PenDataColor(const TrecPenData& Pen)
{
    return Pen.Reserved[1];
}
inline void SetPenDataColor(TrecPenData& Pen, uint32_t Color)
{
    Pen.Reserved[1] = Color;
}

// Result of DIBSectionDrawPath when the rasteriser failed.
inline constexpr int32_t DrawPathFailed = 9;

// Fills (Stroke false: the pen's colour, even-odd) or strokes (Stroke true:
// width, caps, joins and miter ratio of the pen) Path into Picture at 16 x 16
// sub-samples (AntiAlias) or 1. Tolerance flattens curves in sub-samples (a
// squared distance for the fill, a distance for the stroke). 0 on success,
// also at once for a path with empty bounds; 9 when anything failed
// (nothing escapes).
int32_t DIBSectionDrawPath(TrecPicture& Picture, const TrecPath& Path, const TrecPenData& Pen,
                           bool Stroke, double Tolerance, bool AntiAlias);

// Even-odd fill of the path's figures: curves flattened, open figures closed
// to their start, and a close bit away from the start of its run of edges
// joined back to that start, so that every run is a closed loop. With Scale
// the path is in page units and is moved to the picture and scaled by
// OverSample; without, it is already in sub-samples of the picture.
// Tolerance is the squared flattening distance in sub-samples. OverSample
// must be a power of two up to 256.
void RecPictureFillPathAntiAlias(TrecPicture& Picture, const TrecPath& Path, uint32_t Color,
                                 int32_t OverSample, double Tolerance, bool Scale);

// Strokes the path (page units) with the pen: every straight segment and
// every half curve is outlined as a polygon, with joins, caps and miter
// limit from the pen. Tolerance is the flattening distance of curves and
// arcs in sub-samples (at least 1/64). Zero-length segments are skipped;
// caps take their direction from the first point that differs from the end.
// A figure with the close bit is stroked back to its start and joined there,
// without caps.
void RecPictureDrawPathAntiAlias(TrecPicture& Picture, const TrecPath& Path,
                                 const TrecPenData& Pen, int32_t OverSample, double Tolerance);

// Fills the polygon through Points (page units, each rounded half away from
// zero; the last joined to the first), even-odd.
void RecPictureFillConvexPolygon(TrecPicture& Picture, const std::vector<TDPoint>& Points,
                                 uint32_t Color, int32_t OverSample);

// The stroker's outline: closed polygons in sub-samples of a picture whose
// top-left pixel is at (OriginX, OriginY). Polygon i is
// Points[Starts[i] .. Starts[i + 1] - 1]; its last point repeats its first.
// The stroke paints the sum of the polygons' even-odd coverages.
struct TDrawPathPoint {
    int64_t X = 0;
    int64_t Y = 0;
    friend bool operator==(const TDrawPathPoint&, const TDrawPathPoint&) = default;
};

struct TStrokeOutline {
    std::vector<TDrawPathPoint> Points;
    std::vector<int32_t> Starts; // one entry more than there are polygons
};

void MakeStrokeOutline(const TrecPath& Path, const TrecPenData& Pen, int32_t OverSample,
                       double Tolerance, int32_t OriginX, int32_t OriginY,
                       TStrokeOutline& Outline);
