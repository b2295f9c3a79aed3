// Small DIBs in global blocks for the colour-depth tests.
#pragma once

#include "foundation/user_error.h"
#include "platform/global_memory.h"
#include "raster/bmp_conv.h"

#include <cstring>
#include <string>
#include <vector>

// Owns a header block and a pixel block; frees what it still holds.
struct TBmpTestDib {
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    TBmpTestDib() = default;
    TBmpTestDib(const TBmpTestDib&) = delete;
    TBmpTestDib& operator=(const TBmpTestDib&) = delete;
    ~TBmpTestDib()
    {
        if (Bits)
            GlobalFree(Bits);
        if (Header)
            GlobalFree(Header);
    }
    BITMAPINFOHEADER* H() const { return static_cast<BITMAPINFOHEADER*>(Header); }
    RGBQUAD* Table() const { return DIBColorTable(H()); }
    int64_t Line() const { return GetDIBLineSize(H()->biWidth, H()->biBitCount); }
    // Row Y counted from the top of the picture.
    uint8_t* Row(int32_t Y) const { return Bits + (H()->biHeight - 1 - Y) * Line(); }
};

// A zero-filled DIB: header block of 40 + TableBytes bytes, pixels of the computed size.
inline void MakeBmpTestDib(TBmpTestDib& D, int32_t W, int32_t Height, uint16_t BitCount, uint32_t ClrUsed = 0,
                           size_t TableBytes = 1024)
{
    D.Header = GlobalAlloc(GPTR, sizeof(BITMAPINFOHEADER) + TableBytes);
    const int64_t Size = GetDIBLineSize(W, BitCount) * Height;
    *D.H() = BITMAPINFOHEADER{40, W, Height, 1, BitCount, BI_RGB, static_cast<uint32_t>(Size), 0, 0, ClrUsed, 0};
    D.Bits = static_cast<uint8_t*>(GlobalAlloc(GPTR, static_cast<size_t>(Size)));
}

// Width, height, depth, biSizeImage and biClrUsed of a header, for one-line checks.
inline std::vector<int64_t> BmpShape(const void* Header)
{
    const auto* H = static_cast<const BITMAPINFOHEADER*>(Header);
    return {H->biWidth, H->biHeight, H->biBitCount, H->biSizeImage, H->biClrUsed};
}

inline void SetBmpBGR(uint8_t* P, uint8_t R, uint8_t G, uint8_t B)
{
    P[0] = B;
    P[1] = G;
    P[2] = R;
}

template <class E = EUserError, class F>
std::string BmpMessageOf(F&& Call)
{
    try {
        Call();
    } catch (const E& Ex) {
        return Ex.Message();
    }
    return "(nothing raised)";
}
