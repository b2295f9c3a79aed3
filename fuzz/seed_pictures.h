// Small pictures for the seeds of the picture readers, and their stored
// forms written by our own writers: PNG by the PNG front end, BMP by
// SaveBmpFile, JPEG by libjpeg's compressor (the program writes none).
#pragma once

#include "foundation/streams.h"
#include "fuzz/fuzz_support.h"
#include "platform/dib.h"
#include "raster/bmp_conv.h"
#include "raster/picture_file.h"
#include "raster/png_io.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <cstdio>
#include <jpeglib.h>

// Frees its record at the end of the scope.
struct TSeedPicture {
    TrecPicture P{};
    TSeedPicture() = default;
    TSeedPicture(const TSeedPicture&) = delete;
    TSeedPicture& operator=(const TSeedPicture&) = delete;
    ~TSeedPicture() { RecPictureClear(P); }
};

// W x H pixels of Bits depth with deterministic pixels; pictures up to 8 bits
// get a colour table of their own.
inline void MakeSeedPicture(TrecPicture& P, int32_t W, int32_t H, int32_t Bits, uint32_t Seed,
                            TPoint At = {})
{
    RecPictureCreate(P, At, W, H, Bits, false);
    uint32_t S = Seed;
    for (int64_t I = 0; I < RecPictureGetImageSize(P); ++I) {
        S = S * 1103515245u + 12345u;
        P.pBits[I] = static_cast<uint8_t>(S >> 16);
    }
    if (Bits <= 8) {
        auto* Table = reinterpret_cast<RGBQUAD*>(static_cast<uint8_t*>(P.pBIHeader) + sizeof(BITMAPINFOHEADER));
        for (int32_t I = 0; I < (1 << Bits); ++I)
            Table[I] = RGBQUAD{static_cast<uint8_t>(I * 37), static_cast<uint8_t>(I * 91),
                               static_cast<uint8_t>(255 - I), 0};
    }
}

inline std::string SeedPngBytes(const TrecPicture& P, int32_t TransCol = -1, bool Interlace = false)
{
    TMemoryStream S;
    bool Cancel = false;
    PNGSaveToStream(S, RecPictureHeader(P), P.pBits, TransCol, Interlace, nullptr, {}, Cancel);
    return {static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size())};
}

inline std::string SeedBmpBytes(const TrecPicture& P, bool FullTable)
{
    const std::string Path = TFuzzEnvironment::Get().Inputs() + "/seed.bmp";
    if (!SaveBmpFile(Path, RecPictureHeader(P), P.pBits, FullTable))
        throw std::runtime_error("cannot write " + Path);
    std::string Bytes = FuzzReadFile(Path);
    std::remove(Path.c_str());
    return Bytes;
}

// Components 1 (grey) or 3 (RGB).
inline std::string SeedJpegBytes(int W, int H, int Components, bool Progressive, int Quality = 75)
{
    jpeg_compress_struct C;
    jpeg_error_mgr E;
    C.err = jpeg_std_error(&E);
    jpeg_create_compress(&C);
    unsigned char* Out = nullptr;
    unsigned long Len = 0;
    jpeg_mem_dest(&C, &Out, &Len);
    C.image_width = static_cast<JDIMENSION>(W);
    C.image_height = static_cast<JDIMENSION>(H);
    C.input_components = Components;
    C.in_color_space = Components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&C);
    jpeg_set_quality(&C, Quality, TRUE);
    if (Progressive)
        jpeg_simple_progression(&C);
    jpeg_start_compress(&C, TRUE);
    std::vector<unsigned char> Row(static_cast<size_t>(W) * static_cast<size_t>(Components));
    while (C.next_scanline < C.image_height) {
        for (size_t I = 0; I < Row.size(); ++I)
            Row[I] = static_cast<unsigned char>(I * 255 / Row.size() + C.next_scanline * 16);
        JSAMPROW R = Row.data();
        jpeg_write_scanlines(&C, &R, 1);
    }
    jpeg_finish_compress(&C);
    jpeg_destroy_compress(&C);
    std::string Bytes(reinterpret_cast<const char*>(Out), Len);
    std::free(Out);
    return Bytes;
}

// The picture of an image file, read by LoadPicture into P (emptied first).
inline void SeedLoadPicture(TrecPicture& P, const std::string& Path)
{
    RecPictureClear(P);
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    std::string Info;
    TPictureInfo PI;
    if (LoadPicture(Path, Header, Bits, 2, nullptr, 0, false, Info, PI) != lpOK)
        throw std::runtime_error("seed picture not read: " + Path);
    P.pBIHeader = Header;
    P.pBits = Bits;
}
