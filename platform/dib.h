// Device-independent bitmaps: the header records of the BMP and packed-DIB
// layouts, and the "DIB section" stand-in (a pixel block with a handle that
// DeleteObject frees). Header blocks live in global memory exactly in the
// stored byte layout (little-endian, packed), so a block can be written to a
// stream or the clipboard as it is; the explicit Read/Write helpers are for
// code that takes headers out of foreign bytes.
#pragma once

// CF_DIB and CF_BITMAP, the clipboard numbers of the packed forms.
#include "platform/clipboard_formats.h"

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "header blocks are kept in their little-endian stored layout");

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
    uint16_t bfType;      // "BM" = 0x4D42
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
};

struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct RGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};
#pragma pack(pop)

static_assert(sizeof(BITMAPFILEHEADER) == 14);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(RGBQUAD) == 4);

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

constexpr uint32_t DIB_RGB_COLORS = 0;


// Header fields from and to little-endian bytes (40 bytes each way).
void ReadBitmapInfoHeader(const uint8_t* Bytes, BITMAPINFOHEADER& H);
void WriteBitmapInfoHeader(const BITMAPINFOHEADER& H, uint8_t* Bytes);

// The header block that follows a BITMAPINFOHEADER in memory: colour table or masks.
inline RGBQUAD* DIBColorTable(BITMAPINFOHEADER* H)
{
    return reinterpret_cast<RGBQUAD*>(reinterpret_cast<uint8_t*>(H) + sizeof(BITMAPINFOHEADER));
}
inline const RGBQUAD* DIBColorTable(const BITMAPINFOHEADER* H)
{
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(H) +
                                            sizeof(BITMAPINFOHEADER));
}

// DIB sections: a pixel block of the header's biSizeImage (or the computed row
// size times the height when biSizeImage is 0) behind an opaque handle.
using HBITMAP = void*;

// Makes the pixel block for Header; *Bits receives its address. nullptr (and
// *Bits = nullptr) when the header is unusable or memory runs out; the reason
// is in GetLastError.
HBITMAP CreateDIBSection(const BITMAPINFOHEADER* Header, uint32_t Usage, void** Bits);
// Frees a DIB section; false for an unknown handle.
bool DeleteObject(HBITMAP H);
// Number of live DIB sections (for tests that check nothing leaks).
size_t DIBSectionCount();
