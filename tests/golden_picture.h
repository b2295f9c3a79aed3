// Golden pictures of the render tests: written as PNG by our own writer after
// a person looked at them, compared with a per-channel tolerance.
#pragma once

#include "foundation/platform_wrappers.h"
#include "foundation/streams.h"
#include "raster/png_io.h"
#include "raster/rec_picture.h"

#include <cstdlib>
#include <filesystem>
#include <string>

inline void SavePng(const TrecPicture& P, const std::string& FileName)
{
    TFileStream File(FileName, fmCreate);
    bool Cancel = false;
    PNGSaveToStream(File, RecPictureHeader(P), P.pBits, -1, false, nullptr, {}, Cancel);
}

// Pixels of a 24-bit picture whose channels differ from the golden's by more
// than Tolerance; -1 when the golden cannot be read or has another size.
inline int64_t CountDifferences(const TrecPicture& P, const std::string& FileName, int32_t Tolerance)
{
    if (!std::filesystem::exists(FileName))
        return -1;
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    bool Cancel = false;
    PNGLoadFromFile(FileName, Header, Bits, Cancel);
    const auto* H = static_cast<const BITMAPINFOHEADER*>(Header);
    const BITMAPINFOHEADER* Mine = RecPictureHeader(P);
    int64_t Count = -1;
    if (H && H->biWidth == Mine->biWidth && H->biHeight == Mine->biHeight && H->biBitCount == 24) {
        Count = 0;
        const int64_t Line = CalcLineBytes(H->biWidth, 24);
        for (int32_t Y = 0; Y < H->biHeight; ++Y)
            for (int32_t X = 0; X < H->biWidth; ++X) {
                const uint8_t* A = Bits + Y * Line + 3 * X;
                const uint8_t* B = P.pBits + Y * Line + 3 * X;
                for (int K = 0; K < 3; ++K)
                    if (std::abs(A[K] - B[K]) > Tolerance) {
                        ++Count;
                        break;
                    }
            }
    }
    HGLOBAL BitsBlock = Bits;
    GlobalFreeQ(BitsBlock);
    GlobalFreeQ(Header);
    return Count;
}
