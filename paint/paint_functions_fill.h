// The paint functions that make planes and pictures, fill and merge them:
// the object makers, the area fills along a path, the path gradations, the
// colour fills and the merges. Each has the entry-point signature of the
// paint-function table and returns its error code.
//
// A function with a result kind hands back, in Result, a TrecPicture made
// with new (TPaintRecordPtr's deleter frees it: RecPictureClear, then delete).
//
// Rect1 and Rect2 may name one variable: both are written at the end, Rect1
// first.
//
// Derived fill pictures: a picture fill whose set asks for another size or an
// angle tiles a picture derived from the stored one, scaled to the set's size
// and turned over the fill area. The picture store keeps it under the
// condition (set's handle, Param1 = set's width, Param2 = set's height,
// ParamD = set's angle, Flag = first option byte, Offset = set's offset,
// Width and Height = the fill area's Right - Left + 1 and Bottom - Top + 1).
#pragma once

#include "foundation/geometry_types.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <memory>

struct TPaintRecordDeleter {
    void operator()(TrecPicture* P) const;
};
using TPaintRecordPtr = std::unique_ptr<TrecPicture, TPaintRecordDeleter>;

// Making objects.
int32_t Dummy(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1, TRect& Rect2,
              bool MeasureOnly);
int32_t SetRandomSeed(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                      TRect& Rect2, bool MeasureOnly);
int32_t PlaneMake(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                  TRect& Rect2, bool MeasureOnly);
int32_t PictureMake(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                    TRect& Rect2, bool MeasureOnly);
int32_t PlaneMakeForPath(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                         TRect& Rect2, bool MeasureOnly);
int32_t PlaneMakeForPath2(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                          TRect& Rect2, bool MeasureOnly);
int32_t PictureMakeForPath2(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                            TRect& Rect2, bool MeasureOnly);
int32_t PlaneSetReferSize(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                          TRect& Rect2, bool MeasureOnly);
int32_t PlaneDuplicate(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                       TRect& Rect2, bool MeasureOnly);
int32_t PictureDuplicate(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                         TRect& Rect2, bool MeasureOnly);
int32_t PathRough(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                  TRect& Rect2, bool MeasureOnly);

// Filling and merging. A paint fill without a path lays a gradation or a
// picture over its whole destination: its first rectangle is then the whole
// page range.
int32_t NilPlanePaintFill2(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                           TRect& Rect2, bool MeasureOnly);
int32_t NilPicturePaintFill2(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly);
int32_t NilPlanePaintFillCol(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly);
int32_t NilPlanePaintFillCol100(void*& Result, void* const* Args, const uint8_t* Abort,
                                TRect& Rect1, TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneDrawPathGradation(void*& Result, void* const* Args, const uint8_t* Abort,
                                  TRect& Rect1, TRect& Rect2, bool MeasureOnly);
int32_t NilPictureDrawPathGradation(void*& Result, void* const* Args, const uint8_t* Abort,
                                    TRect& Rect1, TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneFillCol(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                        TRect& Rect2, bool MeasureOnly);
int32_t NilPictureFillColEmboss(void*& Result, void* const* Args, const uint8_t* Abort,
                                TRect& Rect1, TRect& Rect2, bool MeasureOnly);
int32_t NilPictureMerge(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                        TRect& Rect2, bool MeasureOnly);
int32_t NilPictureMergePlane(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneMerge(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                      TRect& Rect2, bool MeasureOnly);
int32_t NilPlaneMove(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                     TRect& Rect2, bool MeasureOnly);
