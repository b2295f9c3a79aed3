// Scaling of a rectangle of one 8- or 24-bit DIB into a rectangle of another
// of the same depth. Every scaling of pixel pictures goes through StretchDIB.
//
// Flags (the last three arguments):
//   expand mode: 0 pixel repetition or sampling, 1 linear, other cubic
//                (linear when the source is narrower or lower than 4);
//   reduce mode: 1 averaging, other sampling;
//   tile:        the source is one period of a repeating pattern (used by the
//                linear and cubic enlargements).
// An optional 8-bit mask of the source's size and geometry makes the equal-size
// copy and the general sampling blend into the destination,
//   dst = (src x m + dst x (255 - m) + 255) shr 8;
// the other methods overwrite the destination rectangle.
//
// Rectangles are left, top (top row = 0), width, height. Both are clipped to
// their pictures, the other rectangle losing the matching share. Pixels of the
// destination outside its rectangle are never touched.
//
// Workers: pbTopLeft* address the top-left pixel of a rectangle; the next row
// down lies iLine* bytes lower in memory (rows are stored bottom-up). Bpp is
// 1 or 3.
#pragma once

#include "platform/dib.h"

#include <array>
#include <cstdint>

void StretchDIB(const BITMAPINFOHEADER* pBIHSrc, const uint8_t* pbBitsSrc, int32_t iXSrc,
                int32_t iYSrc, int32_t iWSrc, int32_t iHSrc, const BITMAPINFOHEADER* pBIHDst,
                uint8_t* pbBitsDst, int32_t iXDst, int32_t iYDst, int32_t iWDst, int32_t iHDst,
                const BITMAPINFOHEADER* pBIHMask, const uint8_t* pbBitsMask, uint8_t bExpandMode,
                uint8_t bReduceMode, uint8_t bTile);

// Equal sizes: row copy, or a blend through the mask (pbTopLeftMask may be null).
void SubStretchDIBCopy(const uint8_t* pbTopLeftSrc, int64_t iLineSrc, uint8_t* pbTopLeftDst,
                       int64_t iLineDst, int32_t iW, int32_t iH, int32_t Bpp,
                       const uint8_t* pbTopLeftMask, int64_t iLineMask);
// Whole-factor reduction by sampling the top-left pixel of each FX x FY block.
void SubStretchDIBReduceN_NoIP(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                               uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWDst,
                               int32_t iHDst, int32_t FX, int32_t FY, int32_t Bpp);
// Whole-factor reduction by the block mean, truncated.
void SubStretchDIBReduceN_Average(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                                  uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWDst,
                                  int32_t iHDst, int32_t FX, int32_t FY, int32_t Bpp);
// Any reduction by exact area weights, rounded (two passes).
void SubStretchDIBReduceArea(const uint8_t* pbTopLeftSrc, int64_t iLineSrc, uint8_t* pbTopLeftDst,
                             int64_t iLineDst, int32_t iWSrc, int32_t iHSrc, int32_t iWDst,
                             int32_t iHDst, int32_t Bpp);
// Sampling at the truncated end-point-aligned position; blends through the
// mask when pbTopLeftMask is not null.
void SubStretchDIBSample(const uint8_t* pbTopLeftSrc, int64_t iLineSrc, uint8_t* pbTopLeftDst,
                         int64_t iLineDst, int32_t iWSrc, int32_t iHSrc, int32_t iWDst,
                         int32_t iHDst, int32_t Bpp, const uint8_t* pbTopLeftMask,
                         int64_t iLineMask);
// Whole-factor enlargement by pixel repetition.
void SubStretchDIBExpandN_NoIP(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                               uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWSrc,
                               int32_t iHSrc, int32_t FX, int32_t FY, int32_t Bpp);
// Two-tap enlargement, weights in 1/1024.
void SubStretchDIBExpandLinear(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                               uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWSrc,
                               int32_t iHSrc, int32_t iWDst, int32_t iHDst, int32_t Bpp,
                               bool bTile);
// Four-tap Lagrange enlargement, weights in 1/2048; needs a source of at
// least 4 x 4.
void SubStretchDIBExpandCubic(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                              uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWSrc,
                              int32_t iHSrc, int32_t iWDst, int32_t iHDst, int32_t Bpp,
                              bool bTile);

// Position tables of the enlargements for destination index I of DstExt
// (source extent SrcExt). An extent of 1 maps every index to source 0 with
// weight 0 (t = 0 for the cubic taps).
// Linear: source index and weight (0..1023) of the next pixel.
void StretchLinearStep(int32_t I, int32_t SrcExt, int32_t DstExt, bool bTile, int32_t& Index,
                       int32_t& Weight);
// Cubic: first tap (may be -1 or run past the end with the tile flag; the
// taps then wrap) and the position t within the four taps (0..3).
void StretchCubicStep(int32_t I, int32_t SrcExt, int32_t DstExt, bool bTile, int32_t& Start,
                      double& T);
// The four Lagrange weights through the nodes 0..3 at T, times 2048, rounded
// half away from zero.
std::array<int32_t, 4> StretchCubicWeights(double T);
