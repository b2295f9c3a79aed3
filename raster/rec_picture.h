// The picture record: a device-independent bitmap placed at a position in page
// coordinates. Every pixel picture of the system (page renderings, fill
// pictures, masks, gradation buffers, stored images, previews) is one.
//
// Layout: a header block (BITMAPINFOHEADER, then the colour table for 1 to 8
// bits or the three BI_BITFIELDS masks for 16 and 32 bits) and the pixel rows,
// bottom-up, each padded to 4 bytes. The rectangle in page coordinates is
// (iLeft, iTop, iLeft + width - 1, iTop + height - 1); page row y is memory
// row height - 1 - (y - iTop).
//
// Ownership: a record owns its DIB section (or, without one, its pixel block)
// and its header block; RecPictureClear frees them and zeroes the record. A
// record is not reference counted. The one exception is RecPictureConvertTo24
// of a 24-bit source: the destination then names the very handles of the
// source (equal pBIHeader) and exactly one of the two may be cleared; the
// other must be zeroed without freeing (TrecPicture{}) or turned into a real
// copy with RecPictureCopy, which detects the shared handles.
//
// Stream forms (little-endian; text lines end in CR LF):
//   binary:     iLeft, iTop (int32 each), then one PNG stream that ends itself;
//   old binary: iLeft, iTop, the 40-byte BITMAPINFOHEADER, biSizeImage bytes
//               of rows (read only);
//   text:       iLeft line, iTop line, PNG byte count line, the PNG as one
//               "JIS7" binary block (its length line repeats the count);
//   old text:   iLeft line, iTop line, a binary block of the 40-byte header,
//               a binary block of the rows (read only).
// Clipboard: one packed DIB (header, colour table or masks, rows), CF_DIB.
//
// Readers free what the record held first and leave it cleared when they
// fail; the clipboard reader leaves it unchanged instead.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/rec_path.h"
#include "foundation/streams.h"
#include "foundation/tobject.h"
#include "platform/dib.h"
#include "platform/global_memory.h"

#include <cstdint>

struct TrecPicture {
    HBITMAP hDIBSection = nullptr; // DIB section holding the pixels, or null
    HGLOBAL pBIHeader = nullptr;   // fixed global block: BITMAPINFOHEADER + colour table or masks
    uint8_t* pBits = nullptr;      // first byte of the bottom row
    int32_t iLeft = 0;
    int32_t iTop = 0;
};

// The header of a record with a header block (fixed blocks are their own address).
inline BITMAPINFOHEADER* RecPictureHeader(const TrecPicture& P)
{
    return static_cast<BITMAPINFOHEADER*>(P.pBIHeader);
}

// (Re)makes the record at Pt with the given size and depth. An unchanged size,
// depth and DIB-section state only moves the record and keeps the pixels
// (no allocation). New pixels are undefined; an 8-bit record gets the grey
// colour table, 16 and 32 bits get BI_BITFIELDS masks (5-5-5, 8-8-8).
void RecPictureCreate(TrecPicture& P, const TPoint& Pt, int32_t iWidth, int32_t iHeight,
                      int32_t BitCount, bool bDIBSection);
// Frees what the record owns and zeroes it.
void RecPictureClear(TrecPicture& P);
// Dest := an independent copy of Src (header block content, pixels, position).
// An empty Src gives an empty Dest. A Dest that shares Src's handles is
// detached first, never freed.
void RecPictureCopy(TrecPicture& Dest, const TrecPicture& Src, bool bDIBSection);
// Dest := a 24-bit version of Src at the same size and position. A 24-bit
// Src is not copied: Dest is cleared and takes Src's handles (see Ownership).
void RecPictureConvertTo24(TrecPicture& Dest, const TrecPicture& Src, bool bDIBSection);
// A record covering the path's bounds widened by the margins.
void RecPictureCreateForRect(TrecPicture& P, const TrecPath& Path, int32_t BitCount,
                             int32_t LeftMargin, int32_t TopMargin, int32_t RightMargin,
                             int32_t BottomMargin, bool bDIBSection);

// Geometry. An empty record has width and height 0.
void RecPictureGetRect(const TrecPicture& P, TRect& R);
// The overlap; false (R = (-1, -1, -2, -2)) when there is none.
bool RecPictureIntersectRect(const TrecPicture& A, const TrecPicture& B, TRect& R);
bool RecPictureIntersectWithRect(const TrecPicture& P, const TRect& Rect, TRect& R);
// First byte of the pixel at page (X, Y), or nullptr outside the picture.
uint8_t* RecPictureGetPixelPtr(const TrecPicture& P, int32_t X, int32_t Y);
// The pixel covering Pt when the picture is repeated over the whole page,
// and the row size (nullptr and 0 for an empty record).
void RecPictureGetTilePixelPtr(const TrecPicture& P, const TPoint& Pt, uint8_t*& Pixel,
                               int32_t& LineSize);
// Row size x height.
int64_t RecPictureGetImageSize(const TrecPicture& P);

// Stream forms. The loaded record has its pixels in plain global memory (no
// DIB section) for the PNG forms and a DIB section for the old forms.
void RecPictureSaveToStream(const TrecPicture& P, TStream& Stream);
void RecPictureLoadFromStream(TrecPicture& P, TStream& Stream);
void RecPictureLoadFromStreamRaw(TrecPicture& P, TStream& Stream);
void RecPictureSaveToTextStream(const TrecPicture& P, TStream& Stream);
void RecPictureLoadFromTextStream(TrecPicture& P, TStream& Stream);
void RecPictureLoadFromTextStreamRaw(TrecPicture& P, TStream& Stream);

// Packed DIB in a new global block (GMEM_DDESHARE) that the caller owns;
// Format := CF_DIB.
void RecPictureSaveToClipboardFormat(const TrecPicture& P, uint16_t& Format, HGLOBAL& Data);
HGLOBAL RecPictureSaveToClipboardFormat(const TrecPicture& P);
// Record from a packed DIB (CF_DIB; CF_BITMAP handles are read the same way).
// The block stays the caller's. A header whose biSize is not 40 is ignored.
void RecPictureLoadFromClipboardFormat(TrecPicture& P, uint16_t Format, HGLOBAL Data,
                                       bool bDIBSection);

// One picture record as an object: a scratch buffer of the gradation routines.
class TDIBPicture : public TObject {
public:
    // An empty record with a 1064-byte header block (grey colour table).
    TDIBPicture();
    TDIBPicture(const TDIBPicture&) = delete;
    TDIBPicture& operator=(const TDIBPicture&) = delete;
    ~TDIBPicture() override;

    std::string ClassName() const override { return "TDIBPicture"; }

    // RecPictureCreate at (0, 0) as a DIB section.
    void SetSize(int32_t Width, int32_t Height, int32_t BitCount);

    TrecPicture FrecPicture;
};
