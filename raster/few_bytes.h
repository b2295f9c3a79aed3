// Copying and setting a few bytes without a library call. A picture a pixel
// or two wide has rows of a few bytes, and a call to memcpy or memset for
// each row costs more than the row itself: the routines that go row by row
// use these where a row can be that short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline void CopyFewBytes(uint8_t* Dest, const uint8_t* Src, size_t N)
{
    // Copies of a known size of up to 8 bytes are a move or two; two
    // overlapping ones cover 5 to 8 bytes.
    switch (N) {
    case 0:
        return;
    case 1:
        Dest[0] = Src[0];
        return;
    case 2:
        std::memcpy(Dest, Src, 2);
        return;
    case 3:
        std::memcpy(Dest, Src, 3);
        return;
    case 4:
        std::memcpy(Dest, Src, 4);
        return;
    default:
        if (N <= 8) {
            std::memcpy(Dest, Src, 4);
            std::memcpy(Dest + N - 4, Src + N - 4, 4);
            return;
        }
        std::memcpy(Dest, Src, N);
    }
}

inline void SetFewBytes(uint8_t* Dest, uint8_t Value, size_t N)
{
    if (N >= 4 && N <= 8) {
        const uint32_t Word = Value * 0x01010101u;
        std::memcpy(Dest, &Word, 4);
        std::memcpy(Dest + N - 4, &Word, 4);
        return;
    }
    switch (N) {
    case 3:
        Dest[2] = Value;
        [[fallthrough]];
    case 2:
        Dest[1] = Value;
        [[fallthrough]];
    case 1:
        Dest[0] = Value;
        [[fallthrough]];
    case 0:
        return;
    default:
        std::memset(Dest, Value, N);
    }
}
