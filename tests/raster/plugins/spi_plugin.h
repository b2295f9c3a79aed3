/* What a test image plug-in needs: the picture information record and the
   progress callback, in the layout the loader expects. */
#ifndef TAVRO_TEST_SPI_PLUGIN_H
#define TAVRO_TEST_SPI_PLUGIN_H

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#define SPI_EXPORT __attribute__((visibility("default")))

typedef struct {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t x_density;
    uint16_t y_density;
    int16_t colorDepth;
    void* hInfo;
} SpiPictureInfo;

typedef int32_t (*SpiProgressCallback)(int32_t Num, int32_t Denom, intptr_t Data);

/* Copies Text into Buffer as plug-ins do: at most BufferLength bytes, with a
   terminator when it fits; returns the bytes copied. */
static inline int32_t SpiCopyInfo(const char* Text, char* Buffer, int32_t BufferLength)
{
    int32_t N = (int32_t)strlen(Text);
    if (N >= BufferLength)
        N = BufferLength - 1;
    if (N < 0)
        return 0;
    memcpy(Buffer, Text, (size_t)N);
    Buffer[N] = 0;
    return N;
}

/* Little-endian BITMAPINFOHEADER fields into a 40-byte block. */
static inline void SpiPut32(uint8_t* P, uint32_t V)
{
    P[0] = (uint8_t)V;
    P[1] = (uint8_t)(V >> 8);
    P[2] = (uint8_t)(V >> 16);
    P[3] = (uint8_t)(V >> 24);
}

static inline void SpiWriteInfoHeader(uint8_t* P, int32_t Width, int32_t Height, uint16_t Bits,
                                      uint32_t ClrUsed)
{
    memset(P, 0, 40);
    SpiPut32(P, 40);
    SpiPut32(P + 4, (uint32_t)Width);
    SpiPut32(P + 8, (uint32_t)Height);
    P[12] = 1;
    P[14] = (uint8_t)Bits;
    SpiPut32(P + 32, ClrUsed);
}

#endif
