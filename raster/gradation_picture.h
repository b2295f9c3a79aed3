// Gradation pictures: a gradation record turned into pixels over a
// rectangle, inside a path, or along a path with narrowing pens.
//
// Over a rectangle (Left, Top, Right, Bottom) with W = Right - Left + 1 and
// H = Bottom - Top + 1 the start point is P0 = (RoundOff(Left + X1 W / 16384),
// RoundOff(Top + Y1 H / 16384)) and the end point P1 likewise. Output pixel
// (x, y), y = 0 the top row, takes a parameter t by the shape, then the
// table index 1023 for t >= 1, else Trunc(r t 1024) mod 1024 (r the repeat
// count); the angle sweep computes its index directly.
//
// All coordinate arithmetic is in 64-bit integers and doubles, so pictures and
// paths anywhere in the int32 page range give the same pixels as near ones.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/pen_text.h"
#include "foundation/rec_path.h"
#include "raster/gradation_record.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <functional>

// The index computation of one gradation over one rectangle, and its tables.
class TGradationRenderer {
public:
    // Left..Right and Top..Bottom may span more than int32 (a path's bounds).
    TGradationRenderer(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom,
                       const TrecGradation& Gradation);

    // Table index 0..1023 of output pixel (X, Y).
    int32_t Index(int64_t X, int64_t Y) const;
    // Count pixels of output row Y from column X: blue, green, red into
    // Color (3 bytes a pixel) and the opacity into Opacity; either may be null.
    void RenderRow(int64_t X, int64_t Y, int32_t Count, uint8_t* Color, uint8_t* Opacity) const;

    TGradationTable Red, Green, Blue, Alpha;

private:
    uint8_t FShape;
    double FRepeat;
    double FP0X, FP0Y;
    double FVX, FVY;
    // Per shape: the constants of its formula.
    double FVV = 0;      // linear: v . v
    double FA0 = 0;      // angle: start angle
    double FK = 0;       // ellipse and rectangle: |vy| / |vx|
    double FDivisor = 0; // |vx|, |v| or max(|vx|, |vy|), zero replaced
};

// Makes ColorPicture (24 bits) and OpacityPicture (8 bits) of Width x Height
// as DIB sections at (0, 0) and renders the gradation over Rect into them.
void RecPictureRenderGradation(const TRect& Rect, int32_t Width, int32_t Height,
                               TrecPicture& ColorPicture, TrecPicture& OpacityPicture,
                               const TrecGradation& Gradation);

// Paints the gradation, placed over the path's bounds, inside the path (a
// path whose flag byte is 0 is stroked with a 5-pixel pen instead of filled)
// into the 24-bit Dest, through the 8-bit Mask when given. Only the part of
// the bounds inside Dest (and Mask) is rendered. EUserError for other depths
// and for a failed rasterisation ("uGradation/MakeGradation :
// DIBSectionDrawPath Failed").
void MakeGradation(const TrecPath& Path, const TrecPicture& Dest, const TrecPicture* Mask,
                   const TrecGradation& Gradation, double Tolerance, bool AntiAlias);

// Called before each step of RecPictureDrawPathGradation with its cancel
// flag; it may set the flag and must do nothing else (no message loop: the
// objects being painted must not change under the painter).
using TDrawPathGradationPoll = std::function<void(bool& Cancel)>;

// Strokes Path into Picture (8 or 24 bits) with pens from Pen's width down by
// 2 pixels a step, coloured along the stops: (width + 1) / 2 steps over as
// many table entries, or one more entry when TableFlag is false. A pen of
// width 1 or 2 strokes once in the first stop's colour. A step whose colour
// equals the previous one is not drawn. When Cancel is given, Poll (when
// assigned) runs before each step and a set flag ends the loop; what was drawn
// stays. 0, or 9 when anything failed (nothing escapes).
int32_t RecPictureDrawPathGradation(TrecPicture& Picture, const TrecPath& Path,
                                    const TrecPenData& Pen, const TrecDrawPathStop* Stops,
                                    int32_t StopCount, double Tolerance, bool AntiAlias,
                                    bool* Cancel, bool TableFlag,
                                    const TDrawPathGradationPoll& Poll = {});
