// A picture a reader accepted must be usable: its blocks must hold what its
// header claims. Reading every claimed byte lets the sanitizer see a block
// that is too small; a header no routine could work with is a finding.
#pragma once

#include "fuzz/fuzz_support.h"
#include "platform/dib.h"
#include "platform/global_memory.h"
#include "raster/bmp_conv.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <cstdlib>
#include <string>

// The header block, its colour table (2^bits entries at most, as biClrUsed
// says) or masks, and every row.
inline void FuzzTouchDIB(const void* HeaderBlock, const uint8_t* Bits)
{
    if (!HeaderBlock)
        FuzzFault("accepted picture without a header");
    const auto* H = static_cast<const BITMAPINFOHEADER*>(HeaderBlock);
    const int32_t B = H->biBitCount;
    if (H->biWidth <= 0 || H->biHeight == 0 || (B != 1 && B != 4 && B != 8 && B != 16 && B != 24 && B != 32))
        FuzzFault("accepted picture with an unusable header: " + std::to_string(H->biWidth) + " x " +
                  std::to_string(H->biHeight) + " x " + std::to_string(B));
    if (!Bits)
        FuzzFault("accepted picture without pixels");
    const int64_t Height = H->biHeight < 0 ? -int64_t{H->biHeight} : int64_t{H->biHeight};
    if (Height * H->biWidth > MaxPicturePixels)
        FuzzFault("accepted picture above the pixel cap");
    size_t Extra = 0;
    if (B <= 8) {
        const uint32_t Full = 1u << B;
        Extra = 4 * static_cast<size_t>(H->biClrUsed && H->biClrUsed < Full ? H->biClrUsed : Full);
    } else if (H->biCompression == BI_BITFIELDS) {
        Extra = 12;
    }
    const auto* HeaderBytes = static_cast<const uint8_t*>(HeaderBlock);
    volatile uint8_t Sum = 0;
    for (size_t I = 0; I < sizeof(BITMAPINFOHEADER) + Extra; ++I)
        Sum = Sum + HeaderBytes[I];
    const int64_t Image = GetDIBLineSize(H->biWidth, B) * Height;
    for (int64_t I = 0; I < Image; ++I)
        Sum = Sum + Bits[I];
}

inline void FuzzTouchPicture(const TrecPicture& P)
{
    if (!P.pBIHeader && !P.pBits)
        return; // an empty record
    FuzzTouchDIB(P.pBIHeader, P.pBits);
}
