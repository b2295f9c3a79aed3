// The per-pixel arithmetic of the neighbourhood filters that the drivers of
// raster/bmp_filter.h run (their declarations live there, with the row and
// tap records they share):
//   SubConvolution      BMPBufFilter type 0: integer kernel, divisor, bias
//   SubDiffuse          type 1: a random neighbour out of the 3 x 3 window
//   SubAntiJpegNoise    type 2: smoothing of JPEG block noise
//   SubOilPaint         type 3: random oil-painting strokes
//   SubSobel            type 4: Sobel edges, white where flat
//   SubPixelateMen      type 5: facets, the mean of the calmest 3 x 3
//   SubThresholdSmooth  type 7: cross mean where the neighbours are close
//   SubUnsharp          BMPVHMaskFilter8's sharpening
//   SubGlassRefraction  BMPAllBufFilter type 0: glass over a bump picture
// (The rank filter, type 6, is computed by the driver itself.)
//
// Random choices come from RandomInt of foundation/numbers.h in a fixed
// order, so a seeded macro paints the same picture every time:
// - diffuse draws RandomInt(9) once per pixel, row by row from the top, left
//   to right, whatever the mode and whatever the mask plane says: a pixel the
//   mask leaves alone still draws its number, so masking part of a picture
//   never changes the choices made for the rest;
// - oil painting draws RandomInt(2) then RandomInt(4) per stroke attempt.
//
// On 8-bit buffers the filters that work on colour pixels (types 2, 3, 7 and
// the glass) treat each byte as a one-channel pixel.
//
// The glass filter refuses, with EUserParamError and before writing anything:
//   "BMPAllBufFilter: Illegal Param"           destination neither 8- nor 24-bit
//   "BMPAllBufFilter: Illegal Source Picture"  source empty or of another depth
//   "BMPAllBufFilter: Illegal Bump Picture"    bump picture empty or not 16-bit
//   "BMPAllBufFilter: Illegal Mask Picture"    mask picture not 8-bit
// The source may have any size and position: the source point is taken
// relative to it and wrapped or clamped to its own extent. Source points far
// off the page (huge depths) are reduced in floating point, never through a
// 32-bit integer.
#pragma once

#include "raster/bmp_filter.h"

#include <cstdint>

// Relative refractive index of the glass.
constexpr double GlassRefractiveIndex = 0.4133129493430295;
