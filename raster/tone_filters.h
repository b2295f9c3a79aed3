// Tone and colour operations: one point operation or generator applied in
// place to an 8- or 24-bit picture, limited to its overlap with an optional
// 8-bit mask picture and weighted by the mask (a mask value m turns a byte
// into (m x new + (255 - m) x old + 255) shr 8; m = 0 leaves it alone).
//
// Kinds and their parameters A..F (E is read by kind 7 only):
//   0 contrast and brightness: A brightness, B contrast 0..200, C average
//     (negative = the mean byte of the area), D CutInRange flag
//   1 inversion
//   2 levels: A, B input minimum and maximum, C, D output minimum and
//     maximum, F address of the gamma (const double*; nullptr = 1.0)
//   3 tone curve: A number of points n, F address of n points (const TPoint*,
//     x strictly increasing) through which a natural spline runs
//   4 HSI shift: A hue degrees, B saturation percent, C brightness percent,
//     D colourise flag (24-bit only)
//   5 HLS shift: A hue degrees, B saturation percent, C lightness percent,
//     D colourise flag (24-bit only)
//   6 YCbCr shift: A, B, C the Y, Cb, Cr percent, D colourise flag (24-bit only)
//   7 lighting (RecPictureLight): A const TLightsAmb*, B bump picture, C
//     reflection picture (const TrecPicture*, or nullptr), D reflectance
//     percent, E const TRect* or nullptr, F const uint8_t* quality or nullptr
//   8 cloud texture: A base value, B height, C attenuation; the mask is not
//     consulted and the whole picture is drawn
//   9 noise: A colour flag, B distribution (0 Gaussian, else uniform), C size
//     (1000 = impulse noise), D standard deviation x 100
// Kinds 8 and 9 draw from the system's random generator (RandomSeed), so a
// given seed paints the same picture every time.
#pragma once

#include "raster/rec_picture.h"

#include <cstdint>

// One parameter: an integer or, for the kinds that take one, an address.
struct TFilterParam {
    int32_t Int = 0;
    const void* Ptr = nullptr;

    TFilterParam() = default;
    TFilterParam(int32_t V) : Int(V) {}
    TFilterParam(const void* P) : Ptr(P) {}
};

// Results of RecPictureFilter.
constexpr int32_t FilterResultOK = 0;           // also: a mask that misses the picture
constexpr int32_t FilterResultBadPicture = 3;   // empty, or a depth not served
constexpr int32_t FilterResultBadContrast = 4;  // kind 0, contrast outside 0..200
constexpr int32_t FilterResultBadKind = 5;      // kind outside 0..9
constexpr int32_t FilterResultBumpMissed = 6;   // kind 7, bump misses the area

// Applies the operation Kind. A mask record without a header block counts as
// absent; a mask of another depth than 8 bits gives 3. Kinds 4 to 6 on an
// 8-bit picture give 3 and change nothing. Kind 8 raises EUserError
// "メモリが足りません" when its grid cannot be held in memory, before it
// draws any random number.
int32_t RecPictureFilter(uint8_t Kind, TrecPicture& Picture, const TrecPicture* Mask,
                         TFilterParam A = {}, TFilterParam B = {}, TFilterParam C = {},
                         TFilterParam D = {}, TFilterParam E = {}, TFilterParam F = {});
