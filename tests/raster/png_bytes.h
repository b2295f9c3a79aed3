// PNG files made byte by byte for tests of what the reader refuses: any
// header (size, depth, colour type) with one row of zero pixels as data,
// which is all a reader needs before it decides.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

inline void PngPut32(std::string& S, uint32_t V)
{
    for (int Shift = 24; Shift >= 0; Shift -= 8)
        S += static_cast<char>((V >> Shift) & 0xFF);
}

inline void PngChunk(std::string& File, const char* Type, const std::string& Data)
{
    PngPut32(File, static_cast<uint32_t>(Data.size()));
    const std::string Body = std::string(Type, 4) + Data;
    File += Body;
    PngPut32(File, static_cast<uint32_t>(
                       crc32(0, reinterpret_cast<const Bytef*>(Body.data()), uInt(Body.size()))));
}

// ColorType 0 grey, 2 RGB; BitDepth 8 or 16.
inline std::string PngBytes(uint32_t Width, uint32_t Height, int BitDepth, int ColorType)
{
    std::string File = "\x89PNG\r\n\x1a\n";
    std::string Ihdr;
    PngPut32(Ihdr, Width);
    PngPut32(Ihdr, Height);
    Ihdr += {char(BitDepth), char(ColorType), 0, 0, 0};
    PngChunk(File, "IHDR", Ihdr);
    const size_t Channels = ColorType == 2 ? 3 : 1;
    const std::string Row(1 + Width * Channels * size_t(BitDepth / 8), '\0');
    uLongf Packed = compressBound(uLong(Row.size()));
    std::string Idat(Packed, '\0');
    compress(reinterpret_cast<Bytef*>(Idat.data()), &Packed, reinterpret_cast<const Bytef*>(Row.data()),
             uLong(Row.size()));
    Idat.resize(Packed);
    PngChunk(File, "IDAT", Idat);
    PngChunk(File, "IEND", "");
    return File;
}
