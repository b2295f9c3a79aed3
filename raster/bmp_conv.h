// Device-independent bitmaps held as two fixed global blocks: the geometry
// every raster routine asks for (row size, pixel address, tiles, overlap of
// placed rectangles), conversions between the depths 1, 2, 4, 8, 16, 24 and
// 32 bits, grey images, palette objects and BMP files. The palette
// reductions (BmpConv24to8C, BmpConv24to4B, BmpConv24toNHigh) are declared in
// raster/palette_reduce.h, included below.
//
// Argument conventions:
// - A header is the BITMAPINFOHEADER at the start of a fixed global block
//   (its handle is its address), followed by the colour table, or by the
//   three BITFIELDS masks (red, green, blue) of a 16- or 32-bit DIB.
// - A "var header" is an HGLOBAL& (the caller's variable, e.g.
//   TrecPicture::pBIHeader) that the routine may free and replace.
// - Pixel blocks are fixed global blocks addressed by uint8_t*; a "var bits"
//   is a uint8_t*& (e.g. TrecPicture::pBits) that the routine may free with
//   GlobalFreeQ and replace. Rows are bottom-up, padded to 4 bytes.
// - Sizes are 64-bit. A routine that reads or makes pixels refuses a nil
//   header or bits ("<routine>: Illegal Param"), a non-positive width or
//   height or more than MaxPicturePixels pixels ("<routine>: Illegal Size")
//   with EUserError, before it changes anything; BmpConv24to8Gray, which
//   painting uses on its working records, takes up to MaxWorkPixels.
// - Pixels are looked up through a table padded to 2^bits entries: an index
//   beyond biClrUsed, or beyond what the header block holds, reads black.
// - Row padding of every pixel block made here is zero.
#pragma once

#include "foundation/geometry_types.h"
#include "platform/dib.h"
#include "platform/global_memory.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// The largest picture any reader of the raster layer accepts, in pixels.
constexpr int64_t MaxPicturePixels = int64_t{1} << 28;
// The largest record painting makes and works on, in pixels. An item may be
// as large as the largest picture, and the planes its effects paint reach
// past it: by the pixel the far edge of its frame adds on each axis, and by
// the margins of outlines, spreads, blurs and offsets (a 16384 x 16384
// picture under the widest blur and spread of the library needs about
// 1.7 x 2^28 pixels; a 1 x 2^28 one, 2^29 + 2). Every pixel count below it
// still fits int32, and a row never holds more than 2^31 - 1 bytes, since a
// record is made with no longer rows.
constexpr int64_t MaxWorkPixels = int64_t{1} << 30;

// Bytes per row: ((Width * BitCount + 31) div 32) * 4.
int64_t GetDIBLineSize(int64_t Width, int32_t BitCount);
// Row size times height.
int64_t GetDIBImageSize(const BITMAPINFOHEADER* Header);
// The common refusal of the routines here: EUserError "<Routine>: Illegal
// Param" for a nil header or bits, "<Routine>: Illegal Size" for a
// non-positive side or more than MaxPixels pixels.
void CheckDIBPicture(const BITMAPINFOHEADER* Header, const void* Bits, const char* Routine,
                     int64_t MaxPixels = MaxPicturePixels);
// Address of the byte holding pixel (X, Y), Y = 0 being the top row; nullptr
// outside the picture.
uint8_t* GetDIBPixelPtr(const BITMAPINFOHEADER* Header, uint8_t* Bits, int32_t X, int32_t Y);
const uint8_t* GetDIBPixelPtr(const BITMAPINFOHEADER* Header, const uint8_t* Bits, int32_t X, int32_t Y);
// Address of the pixel covering Pt when the picture is repeated from Origin,
// and the row size. Address is nullptr for an empty picture.
void GetDIBTilePixelPtr(TPoint Origin, const BITMAPINFOHEADER* Header, uint8_t* Bits, TPoint Pt,
                        uint8_t*& Address, int64_t& LineSize);
// Overlap of two placed rectangles per axis: the larger start, the smaller end
// minus it (zero or negative when they do not overlap).
void IntersectPlacedRects(TPoint PosA, int32_t WidthA, int32_t HeightA, TPoint PosB, int32_t WidthB,
                          int32_t HeightB, TPoint& Pos, int32_t& Width, int32_t& Height);
// Replaces Header by a new block of NewSize bytes (not zeroed) holding the
// first 40 bytes of the old one; the old block is freed.
void ResizeDIBHeader(HGLOBAL& Header, size_t NewSize);

// The number of colour-table entries: biClrUsed, or 2^bits when it is 0 and
// the depth is at most 8 (0 above).
int64_t GetDIBColorCount(const BITMAPINFOHEADER* Header);
// The header's colour table padded with black to 256 entries: entries beyond
// the colour count or beyond the header block read black. Returns the colour
// count, at most 256.
int32_t GetDIBPaddedColorTable(const BITMAPINFOHEADER* Header, std::array<RGBQUAD, 256>& Table);

// The stand-in for a GDI palette: up to 256 colours and the nearest-colour
// search (least squared distance, the lowest index on ties).
struct TDIBPalette {
    int32_t Count = 0;
    std::array<RGBQUAD, 256> Entries{};
};
uint32_t GetNearestPaletteIndex(const TDIBPalette& Palette, uint8_t R, uint8_t G, uint8_t B);
// A palette of the header's colour table; empty (no object) when the colour
// count lies outside 1..256.
std::unique_ptr<TDIBPalette> CreateDIBPalette(const BITMAPINFOHEADER* Header);

// Writes a .bmp file, through a new file renamed over the old one. False
// when the file cannot be created (a pipe, device or folder in its place is
// refused, left as it is); EWriteError when writing fails afterwards (the
// old file kept). FullTable (or biClrUsed 0) writes 2^bits entries
// for depths up to 8. BITFIELDS DIBs of 16 and 32 bits get their three masks
// after the header.
bool SaveBmpFile(const std::string& FileName, const BITMAPINFOHEADER* Header, const uint8_t* Bits,
                 bool FullTable);

// Expansion into a caller-provided 24-bit block (24-bit row size); the header
// is not changed. The header's depth must match the routine.
void BmpConv1to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst);
void BmpConv4to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst);
void BmpConv8to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst);
void BmpConv16to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst);
void BmpConv32to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst);

// Unpacking and packing: a new pixel block (the caller's); the header gets the
// new depth and biSizeImage. Indices are taken as they are.
// 1- and 4-bit to 8: a biClrUsed of 0 becomes the old implied count (2, 16),
// so that the table keeps its meaning at the new depth.
uint8_t* BmpConv1to8(BITMAPINFOHEADER* Header, const uint8_t* Bits);
uint8_t* BmpConv4to8(BITMAPINFOHEADER* Header, const uint8_t* Bits);
uint8_t* BmpConv8to1(BITMAPINFOHEADER* Header, const uint8_t* Bits);
uint8_t* BmpConv8to2(BITMAPINFOHEADER* Header, const uint8_t* Bits);
uint8_t* BmpConv8to4(BITMAPINFOHEADER* Header, const uint8_t* Bits);

// In-place wrappers: the old pixel block is freed and replaced; depths a
// wrapper does not handle are left unchanged.
void ConvBmpTo24(HGLOBAL& Header, uint8_t*& Bits); // 1, 4, 8 bits
void ConvBmpTo8(HGLOBAL& Header, uint8_t*& Bits);  // 1, 4, 24 bits
void ConvBmpTo1(HGLOBAL& Header, uint8_t*& Bits);  // 8 bits
void ConvBmpTo2(HGLOBAL& Header, uint8_t*& Bits);  // 8 bits
void ConvBmpTo4(HGLOBAL& Header, uint8_t*& Bits);  // 8, 24 bits; 1 bit raises

// Grey images: DstHeader receives a new 1064-byte header with the grey ramp,
// DstBits the source block itself (SameBuffer: converted in place) or a new
// block. Grey = (1225 R + 2404 G + 467 B) shr 12. HeaderOnly writes no pixel.
// Neither frees its source nor what the destination variables held.
void BmpConv24to8Gray(const BITMAPINFOHEADER* SrcHeader, uint8_t* pbDataSrc, HGLOBAL& DstHeader,
                      uint8_t*& DstBits, bool SameBuffer, bool HeaderOnly);
// From 16-bit grey samples (little-endian words, rows padded to 4 bytes):
// grey = min((sample + 128) div 256, 255).
void BmpConv16to8Gray(const BITMAPINFOHEADER* SrcHeader, uint8_t* SrcBits, HGLOBAL& DstHeader,
                      uint8_t*& DstBits, bool SameBuffer);

#include "raster/palette_reduce.h"
