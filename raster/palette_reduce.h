// Reduction of 24-bit pictures to a palette. The fast method counts 5-6-5
// colour cells and cuts the histogram at the weighted means; the
// high-quality method divides the pixels themselves into a tree (optional
// dithering, a reserved transparent entry, a fixed palette, progress). Both
// map pixels with the same two-row error diffusion.
// Argument conventions as in raster/bmp_conv.h (which includes this file).
#pragma once

#include "platform/dib.h"
#include "platform/global_memory.h"
#include "raster/convert_progress.h"

#include <array>
#include <cstdint>

// Fast reduction to at most 256 (16) colours. Header is replaced by a
// 1064-byte block holding the palette (biBitCount 8 or 4, biClrUsed the
// colours made); the result is a new pixel block. The source block stays the
// caller's.
uint8_t* BmpConv24to8C(HGLOBAL& Header, const uint8_t* Bits);
uint8_t* BmpConv24to4B(HGLOBAL& Header, const uint8_t* Bits);

// A node of the colour-division tree: channel DivideID (0 red, 1 green,
// 2 blue, 3 leaf) at most Threshold goes to Lower, above it to Upper.
struct TDivideNode {
    uint8_t DivideID = 3;
    uint8_t Pad[3] = {0, 0, 0};
    int32_t Threshold = 0;
    int32_t PaletteIndex = 0;
    int32_t Lower = 0;
    int32_t Upper = 0;
};
static_assert(sizeof(TDivideNode) == 20);

constexpr int32_t DivideTreeNodes = 511; // a full tree of depth 8

struct TDivideTree {
    int32_t Count = 0;
    std::array<TDivideNode, DivideTreeNodes> Nodes{}; // all leaves of entry 0 until built
};

// Divides the pixels Lo..Hi-1 of a packed RGB array (3 bytes each, red
// first) into boxes down to DepthLimit; each box becomes a palette entry and
// a leaf of the tree. cpType 0 splits on the weighted variance, 1 on the
// weighted range. Scores[i] receives the spread of the split above entry i.
// A DepthLimit outside 0..8 or a node index outside the tree raises
// "CutPixels: Illegal Param".
void CutPixels(int64_t Lo, int64_t Hi, int32_t Depth, int32_t DepthLimit, uint8_t* Pixels,
               RGBQUAD* ColorTable, int32_t& ColorCount, TDivideTree& Tree, int32_t NodeIndex,
               const TConvertProgressEvent& OnProgress, int32_t cpType, double ParentScore,
               double* Scores, int32_t& ProgressCounter, void* Sender, bool& Abort);

// Builds the colour table (256 entries, cleared first) and the tree of a
// 24-bit picture at tree depth Depth. With MaskFlag and a mask, pixels whose
// mask byte is non-zero are left out and the transparent colour (COLORREF)
// is placed at index ColorCount, outside the count (merging the closest pair
// of siblings when the palette is full). Mask addresses the mask row of the
// top image row; rows below it lie MaskStride bytes lower. Depth 0..8.
void GetReducedColorsHigh(const BITMAPINFOHEADER* SrcHeader, const uint8_t* SrcBits,
                          int32_t& ColorCount, RGBQUAD* ColorTable, TDivideTree& Tree, int32_t Depth,
                          const TConvertProgressEvent& OnProgress, int32_t cpType, bool MaskFlag,
                          const uint8_t* Mask, int32_t MaskStride, uint32_t TransparentColor,
                          void* Sender, bool& Abort);

// High-quality reduction of a 24-bit picture to an 8-bit one with at most N
// (1..256, else "BmpConv24toNHigh: Parameter Error") colours, cpType as for
// CutPixels. DstHeader and DstBits must be empty on entry and receive
// new blocks; both are empty again after a failure (re-raised) or a user
// abort. Fixed colours (COLORREF) replace the reduction when they fit.
// With Transparent, pixels whose mask byte is non-zero take entry 0, the
// transparent colour; without a mask no pixel is transparent but the entry
// is still made.
void BmpConv24toNHigh(HGLOBAL& DstHeader, uint8_t*& DstBits, const BITMAPINFOHEADER* SrcHeader,
                      const uint8_t* SrcBits, int32_t N, int32_t cpType, bool Dither,
                      bool GDINearest, bool Transparent, const uint8_t* Mask, int32_t MaskStride,
                      uint32_t TransparentColor, const uint32_t* FixedColors, int32_t FixedCount,
                      void* Sender, const TConvertProgressEvent& OnProgress);
