// The filter and tone paint functions: tone operations, lighting, clouds and
// noise, the neighbourhood filters (size, emboss, directional blur, Sobel,
// diffusion), glass refraction and stained glass. Each has the calling
// convention of TPaintFunctionEntry and works in place on its destination
// plane (8-bit) or picture (24-bit) over the destination's overlap with the
// mask plane, weighted by the mask.
//
// Shared rules:
// - Results are error codes: 0, the number of a missing required argument,
//   PaintArgRefused(number) for an unreadable or too low number, or a code
//   passed up from the pixel routine.
// - A number with a default reads as that default when its text is absent
//   or unreadable; one without a default is refused then.
// - The first rectangle is empty and the second the destination's overlap
//   with the mask, unless a function says otherwise.
// - The first rectangle holds what a pixel's result depends on beyond the
//   pixels round it (PaintDestinationReach): the whole page range
//   (-2147483648 .. 2147483647 both ways) where results follow the
//   destination's size or may come from anywhere in it (clouds, diffusion,
//   oil painting, stained glass, glass, and every filter that wraps round
//   the edges); the work area for noise, whose random numbers are drawn over
//   it, and for a contrast about the work area's mean (a negative average).
// - A measure-only call, and a call whose destination, mask or bump record
//   carries no pixels (a measure-only record), paints nothing and reports
//   the rectangles.
// - Filters that cannot weight by a mask themselves (clouds, oil painting,
//   Sobel, facets, median, stained glass) run on a copy that is then laid
//   over the destination through the mask.
#pragma once

#include "foundation/geometry_types.h"

#include <cstdint>
#include <string_view>

// How far from each pixel it writes the call of the picture function Name
// with Args reads its destination (argument 1), in pixels along either axis:
// a neighbourhood filter's window over all its passes; 0 for point
// operations and for calls whose first rectangle already takes in all they
// read. A part of the page rendered alone must hold that much more round
// what it keeps.
int32_t PaintDestinationReach(std::string_view Name, void* const* Args);

int32_t NilPlaneContBright(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                           TRect& Rect2, bool MeasureOnly);
int32_t NilPictureContBright(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneFilterNoParam(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                              TRect& Rect2, bool MeasureOnly);
int32_t NilPictureFilterNoParam(void*& Result, void* const* Args, const uint8_t* Abort,
                                TRect& Rect1, TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneLevel(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                      TRect& Rect2, bool MeasureOnly);
int32_t NilPictureLevel(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                        TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneToneMetal(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                          TRect& Rect2, bool MeasureOnly);
int32_t NilPictureToneMetal(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                            TRect& Rect2, bool MeasureOnly);
int32_t NilPictureHSI(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                      TRect& Rect2, bool MeasureOnly);
int32_t NilPictureHLS(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                      TRect& Rect2, bool MeasureOnly);
int32_t NilPictureYCbCr(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                        TRect& Rect2, bool MeasureOnly);
// The second rectangle is also limited to the bump plane. An empty light
// text returns 1; a text that does not parse is refused; a set without
// lights paints nothing.
int32_t NilPictureLight(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                        TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneCloud(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                      TRect& Rect2, bool MeasureOnly);
int32_t NilPictureCloud(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                        TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneNoise(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                      TRect& Rect2, bool MeasureOnly);
int32_t NilPictureNoise(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                        TRect& Rect2, bool MeasureOnly);
// A size of 0 or fewer than one pass reports two empty rectangles.
int32_t NilPlaneFilterSize(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                           TRect& Rect2, bool MeasureOnly);
int32_t NilPictureFilterSize(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneFilterEmboss(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly);
int32_t NilPictureFilterEmboss(void*& Result, void* const* Args, const uint8_t* Abort,
                               TRect& Rect1, TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneFilterGradateMove(void*& Result, void* const* Args, const uint8_t* Abort,
                                  TRect& Rect1, TRect& Rect2, bool MeasureOnly);
int32_t NilPictureFilterGradateMove(void*& Result, void* const* Args, const uint8_t* Abort,
                                    TRect& Rect1, TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneFilterSobel(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                            TRect& Rect2, bool MeasureOnly);
int32_t NilPictureFilterSobel(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                              TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneFilterDiffuse(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                              TRect& Rect2, bool MeasureOnly);
int32_t NilPictureFilterDiffuse(void*& Result, void* const* Args, const uint8_t* Abort,
                                TRect& Rect1, TRect& Rect2, bool MeasureOnly);
// The refracted pixels may come from anywhere: the first rectangle is the
// whole page range.
int32_t NilPictureGlass1(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                         TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneStainedGlass(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly);
int32_t NilPictureStainedGlass(void*& Result, void* const* Args, const uint8_t* Abort,
                               TRect& Rect1, TRect& Rect2, bool MeasureOnly);
