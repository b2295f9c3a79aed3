// Neighbourhood filters over DIB pixel buffers, in place: the window drivers
// (BMPBufFilter for square windows, BMPVHMaskFilter8 for separable kernels,
// BMPCircleMaskFilter for circular minimum and maximum), the kernel builders
// and the Gaussian blur built on them.
//
// Buffers: 8-bit (one grey or mask byte per pixel), 24-bit (blue, green, red)
// and, for BMPVHMaskFilter8, 16-bit (one unsigned little-endian sample per
// pixel: height maps, not 5-5-5 colour). Rows bottom-up, 4-byte aligned; row
// y = 0 is the top row. Only rows that stay unfiltered are read: each driver
// keeps a ring of padded copies of the rows around the one it writes.
//
// Edges: with Wrap clear, pixels outside the picture repeat the nearest edge
// pixel; with Wrap set, column x stands for x mod width and row y for y mod
// height.
//
// Mask plane (8-bit, same size as the buffer): w = 0 leaves a pixel exactly
// unchanged; elsewhere each byte becomes (w new + (255 - w) old + 255) shr 8,
// each 16-bit sample min(65535, (w new + (255 - w) old + 255) div 255).
//
// Handle-or-address arguments (HGLOBAL parameters of BMPBufFilter,
// BMPCircleMaskFilter, BMPVHMaskFilter8): a global-memory handle or a plain
// address; what GlobalLock refuses is used as the address. Whatever was
// locked is unlocked again on every exit.
//
// Limits: a radius above MaxFilterRadius, a window side above
// 2 MaxFilterRadius + 1 or a one-dimensional kernel longer than
// MaxFilterKernelLength raises EUserParamError "<Routine>: Radius Too Large"
// before anything changes. Bad parameters raise EUserParamError
// "<Routine>: Illegal Param".
//
// Kernel handles made here are fixed GlobalAlloc blocks (handle = address)
// owned by the caller, who frees them with GlobalFreeQ. A builder giving
// length or side 0 gives a nil handle.
#pragma once

#include "platform/dib.h"
#include "platform/global_memory.h"
#include "raster/rec_picture.h"

#include <cstdint>

constexpr int32_t MaxFilterRadius = 1000;
constexpr int32_t MaxFilterKernelLength = 3 * MaxFilterRadius + 1;

// ---------------------------------------------------------------------------
// Drivers

// Square-window filters of an 8- or 24-bit buffer, by FilterType:
//   0 convolution with Kernel (Size x Size int32, row-major, centre
//     (Size div 2, Size div 2); zero entries are not part of the window),
//     Divisor and Bias; Divisor 0 does nothing; mask weights the result;
//     MeasureOnly writes nothing and reports the range of the results in
//     Min and Max instead
//   1 diffuse, always 3 x 3 whatever Size says; Param = mode (0 any
//     neighbour, 1 only darker, 2 only lighter); mask weights the result
//   2 anti-JPEG-noise smoothing; 3 oil-painting strokes (mask ignored)
//   4 Sobel edges; 5 facets (5 x 5)
//   6 rank: the Param-th smallest (0 = smallest) of the Size x Size window
//     from (x - Size div 2, y - Size div 2), per channel; Param must lie in
//     0 .. Size^2 - 1
//   7 threshold smoothing, 3 x 3 cross; Param = threshold
// Types 2 and 4 to 7 refuse a mask plane with EUserError
// "<SubFilter>: Mask Not Supported" (SubAntiJpegNoise, SubSobel,
// SubPixelateMen, SubRankFilter, SubThresholdSmooth) before anything
// changes. Min and Max (each may be nil) receive the smallest and largest
// measured result, 255 and 0 when nothing was measured; types 2 and 3 leave
// them alone. Types above 7 do nothing. Depths other than 8 and 24 raise
// "BMPBufFilter: (pBInfo^.biBitCount in [8, 24]". Kernel follows the
// handle-or-address rule; a handle smaller than Size^2 entries is refused.
void BMPBufFilter(uint8_t FilterType, HGLOBAL Header, HGLOBAL Bits, HGLOBAL MaskPlane, int32_t Size,
                  HGLOBAL Kernel, int32_t Divisor, int32_t Bias, int32_t Param, int32_t* Min,
                  int32_t* Max, uint8_t MeasureOnly, uint8_t Wrap);

// Separable filter of an 8-, 16- or 24-bit picture: Kernel holds N int32
// weights (centre N div 2; only weights above 0 take part). Each pass is
// (sum + 2^(Shift-1)) shr Shift; the horizontal one keeps 16-bit samples,
// the vertical one adds Offset and clamps to the depth's range. With a mask
// picture (8-bit; other depths are refused) only the overlap is written,
// weighted by the mask; the window still reads the pixels around the
// overlap, with edges at the picture's own edges. With
// SharpPercent (24-bit, no mask) the result is the unsharp operation with
// SharpThreshold instead of the blur. Reserved is ignored.
void BMPVHMaskFilter8(const TrecPicture& Picture, const TrecPicture* Mask, HGLOBAL Kernel, int32_t N,
                      int32_t Shift, int32_t Offset, uint8_t Wrap, int32_t Reserved = 0,
                      const int32_t* SharpPercent = nullptr, const int32_t* SharpThreshold = nullptr);

// Gaussian blur: MakeGaussKernel of Radius through BMPVHMaskFilter8 (shift
// 12, Offset 0). A radius without a kernel (<= 0) leaves the picture alone.
void BMPGaussBlur8(const TrecPicture& Picture, const TrecPicture* Mask, uint8_t Wrap, double Radius,
                   int32_t Reserved = 0);

// Circular minimum (Kind 0) or maximum (Kind 1) of an 8-bit buffer over the
// pixels with dx^2 + dy^2 <= (Radius + 0.5)^2. Header must be a handle.
// Results: 0 done (other kinds and negative radii do nothing), 1 header
// block under 40 bytes, 3 empty bitmap, or kind 0/1 on a buffer that is not
// 8-bit.
int32_t BMPCircleMaskFilter(uint8_t Kind, HGLOBAL Header, HGLOBAL Bits, HGLOBAL MaskPlane,
                            int32_t Radius, uint8_t Wrap);

// Whole-picture filters; type 0 is the glass refraction of Dest through the
// tiled 16-bit Bump picture, reading Source (a copy of Dest). Other types
// raise EUserError "BMPAllBufFilter: Invalid AllBufFilterType ".
void BMPAllBufFilter(uint8_t AllBufFilterType, const TrecPicture& Dest, const TrecPicture& Source,
                     const TrecPicture* Mask, uint8_t Wrap, const TrecPicture& Bump, int32_t Depth,
                     int32_t Reserved1 = 0, int32_t Reserved2 = 0, int32_t Reserved3 = 0);

// ---------------------------------------------------------------------------
// Kernel builders

// Side 2R + 1; entry (x, y) is 1 where RoundOff(sqrt(x^2 + y^2)) <= R.
// R < 0 gives side 0, nil and count 0.
void MakeCircleMask(int32_t R, int32_t& Side, HGLOBAL& Kernel, int32_t& Count);
// Half-width n of the Gaussian whose weight at distance R is a tenth of the
// centre's: the first n whose weight falls below 1/128 of the centre's.
// Shift := 12; S := the variance R^2 / (2 ln 10). R <= 0 or NaN gives 0.
int32_t GetGaussKernelSize(double R, int32_t& Shift, double& S);
// The 2n + 1 weights of that Gaussian in fixed point (sum 4096, or a little
// more). The rounding remainder goes to the largest fractions first; equal
// fractions take it from left to right (lower index first).
void MakeGaussKernel(double R, int32_t& Length, HGLOBAL& Kernel, int32_t& Shift);
// A line of the given length through the centre at Angle degrees, drawn
// with bilinear shares scaled by 128; Sum is the sum of the entries.
// Length <= 1 gives side 0.
void MakeFilterGradateMove(int32_t Length, double Angle, int32_t& Side, HGLOBAL& Kernel, int32_t& Sum);
// +256 forward and -256 backward along Angle (degrees); Scale = 65536 div
// Divisor (unsigned), to be passed as BMPBufFilter's Divisor. Size < 2 gives
// side 0; Divisor 0 raises EUserParamError.
void MakeFilterEmboss(int32_t Size, int32_t Angle, int32_t Divisor, int32_t& Side, HGLOBAL& Kernel,
                      int32_t& Scale);

// ---------------------------------------------------------------------------
// Per-pixel arithmetic of the window filters, called by the drivers above
// and defined with the filters themselves (raster/neighbour_filters.cpp).
//
// TFilterRow is one output row of a window filter. Rows[0 .. 2 HalfY] are
// unfiltered padded copies of the source rows Y - HalfY .. Y + HalfY (edges
// already applied), each (Width + 2 HalfX) x BytesPerPixel bytes, so window
// entry (dx, dy) of pixel x (|dx| <= HalfX, |dy| <= HalfY) starts at
//   Rows[HalfY + dy] + (x + HalfX + dx) * BytesPerPixel.
// Dest is row Y of the buffer (Width pixels) and may be written freely; Mask
// is row Y of the mask plane, or nullptr. BytesPerPixel is 1 for 8-bit and
// 3 for 24-bit buffers; filters that work on three bytes per pixel decide
// what an 8-bit row gets, touching nothing outside Dest. Type 6 (rank) is
// computed by the driver itself.

struct TFilterRow {
    const uint8_t* const* Rows = nullptr;
    int32_t HalfX = 0;
    int32_t HalfY = 0;
    int32_t Width = 0;
    int32_t BytesPerPixel = 1;
    int32_t Y = 0;
    uint8_t* Dest = nullptr;
    const uint8_t* Mask = nullptr;
};

// The mask weighting (w = 0 must be skipped by the caller: it leaves the
// pixel exactly unchanged, which these formulas do not promise).
inline uint8_t MaskBlend8(int32_t W, int32_t New, int32_t Old)
{
    return static_cast<uint8_t>((W * New + (255 - W) * Old + 255) >> 8);
}
inline uint16_t MaskBlend16(int32_t W, int32_t New, int32_t Old)
{
    const int32_t V = (W * New + (255 - W) * Old + 255) / 255;
    return static_cast<uint16_t>(V > 65535 ? 65535 : V); // 255 x 65535 + 255 would wrap to 0
}

// A kept (non-zero) kernel entry, relative to the window centre.
struct TFilterTap {
    int32_t DX = 0;
    int32_t DY = 0;
    int32_t Weight = 0;
};

// Range of the results of a measuring convolution; starts at Min 255, Max 0.
struct TFilterMeasure {
    int32_t Min = 255;
    int32_t Max = 0;
};

// Type 0. Measure non-null: write nothing, widen Measure by the clamped
// results. Weights are arbitrary int32: sums must not overflow.
void SubConvolution(const TFilterRow& R, const TFilterTap* Taps, int32_t TapCount, int32_t Divisor,
                    int32_t Bias, TFilterMeasure* Measure);
// Kept entries DX = Left .. Right of kernel row DY, all carrying Weight.
struct TFilterRun {
    int32_t DY = 0;
    int32_t Left = 0;
    int32_t Right = 0;
    int32_t Weight = 0;
};
// Type 0 for kernels made of such runs (the circular mean): the same
// results as SubConvolution, at one difference per run instead of one
// product per entry. Each row of R.Rows carries, PrefixOffset bytes after
// its start, the running sums of its padded bytes channel by channel,
// (PaddedWidth + 1) x BytesPerPixel unsigned values of SumBytes (2 or 4)
// bytes kept modulo their range, the first pixel's zero. The caller makes
// sure that ConvolutionRunsBound stays below that range's half (2^15 or
// 2^31).
void SubConvolutionRuns(const TFilterRow& R, const TFilterRun* Runs, int32_t RunCount, size_t PrefixOffset,
                        int32_t SumBytes, int32_t Divisor, int32_t Bias, TFilterMeasure* Measure);
// The largest weighted sum of bytes the runs can make, plus half the divisor.
int64_t ConvolutionRunsBound(const TFilterRun* Runs, int32_t RunCount, int32_t Divisor);
// Type 1 (HalfX = HalfY = 1).
void SubDiffuse(const TFilterRow& R, int32_t Mode);
// Type 4 (HalfX = HalfY = 1, Mask nullptr).
void SubSobel(const TFilterRow& R);
// Type 5 (HalfX = HalfY = 2, Mask nullptr).
void SubPixelateMen(const TFilterRow& R);
// Type 7 (HalfX = HalfY = 1, Mask nullptr).
void SubThresholdSmooth(const TFilterRow& R, int32_t Threshold);
// Types 2 and 3 work on the whole buffer directly (no ring, no mask).
// Bits is the first byte of the bottom row; row y (0 = top) starts at
// Bits + (Height - 1 - y) * LineSize.
void SubAntiJpegNoise(uint8_t* Bits, int64_t LineSize, int32_t Width, int32_t Height,
                      int32_t BytesPerPixel);
void SubOilPaint(uint8_t* Bits, int64_t LineSize, int32_t Width, int32_t Height, int32_t BytesPerPixel);

// One row of BMPVHMaskFilter8's unsharp operation (24-bit, no mask). Row is
// the row to write, still unfiltered on entry; Below is the next row down
// (unfiltered) or nullptr for the last row. Blurred holds Width x 3 values:
// the vertical pass plus Offset, not clamped, blue, green, red per pixel.
// FlagsCur and FlagsNext have Width bytes each; the driver clears both
// before the first row, clears FlagsNext before each row and swaps the two
// after it.
void SubUnsharp(uint8_t* Row, const uint8_t* Below, const int32_t* Blurred, int32_t Width,
                int32_t Amount, int32_t Threshold, uint8_t* FlagsCur, uint8_t* FlagsNext);

// BMPAllBufFilter type 0, with all its checks and refusals.
void SubGlassRefraction(const TrecPicture& Dest, const TrecPicture& Source, const TrecPicture* Mask,
                        bool Wrap, const TrecPicture& Bump, int32_t Depth);
