/* A plug-in that misbehaves. It claims *.bad and *.bmp files. Its description fills the whole info buffer
   without a terminator and claims more than it was given. Files are "BADP"
   followed by one byte choosing the fault of GetPicture:
     1 the bits block is far shorter than the header states (8 x 8, 24 bits);
     2 the header block is shorter than a header;
     3 an 8-bit header stating 256 colours in a block with room for 4;
     4 a sound 2 x 2 top-down picture, with a comment that has no terminator;
     5 a bit count of 0;
     6 GetPictureInfo fails. */
#include "spi_plugin.h"

#include <stdio.h>

static int ReadMode(const char* Name, intptr_t Offset)
{
    FILE* F = fopen(Name, "rb");
    if (!F)
        return -1;
    uint8_t B[5];
    const int Ok = fseek(F, (long)Offset, SEEK_SET) == 0 && fread(B, 1, 5, F) == 5 &&
                   memcmp(B, "BADP", 4) == 0;
    fclose(F);
    return Ok ? B[4] : -1;
}

SPI_EXPORT int32_t GetPluginInfo(int32_t InfoNo, char* Buffer, int32_t BufferLength)
{
    switch (InfoNo) {
    case 2:
        return SpiCopyInfo("*.bad;*.bmp", Buffer, BufferLength);
    case 3:
        memset(Buffer, 'D', (size_t)BufferLength);
        return BufferLength + 100;
    default:
        return 0;
    }
}

SPI_EXPORT int32_t GetPictureInfo(const char* Name, intptr_t Offset, uint32_t Flag,
                                  SpiPictureInfo* Info)
{
    const int Mode = ReadMode(Name, Offset);
    if (Mode < 0 || Mode == 6)
        return 2;
    memset(Info, 0, sizeof(*Info));
    Info->width = 2;
    Info->height = 2;
    Info->x_density = 96;
    Info->y_density = 96;
    Info->colorDepth = 24;
    if (Mode == 4) {
        /* 24 bytes is a whole heap chunk: nothing follows the text. */
        Info->hInfo = malloc(24);
        memset(Info->hInfo, 'X', 24);
    }
    return 0;
}

SPI_EXPORT int32_t GetPicture(const char* Name, intptr_t Offset, uint32_t Flag, void** HInfo,
                              void** HBits, SpiProgressCallback Progress, intptr_t Data)
{
    const int Mode = ReadMode(Name, Offset);
    uint8_t* Head = NULL;
    uint8_t* Bits = NULL;
    switch (Mode) {
    case 1:
        Head = malloc(40);
        SpiWriteInfoHeader(Head, 8, 8, 24, 0);
        Bits = calloc(16, 1);
        break;
    case 2:
        Head = calloc(20, 1);
        Bits = calloc(64, 1);
        break;
    case 3:
        Head = calloc(56, 1);
        SpiWriteInfoHeader(Head, 2, 2, 8, 0);
        Bits = calloc(8, 1);
        break;
    case 4: {
        Head = malloc(40);
        SpiWriteInfoHeader(Head, 2, -2, 24, 0);
        Bits = calloc(16, 1);
        /* top row: blue pixel then green one; bottom row: red, white */
        const uint8_t Rows[16] = {255, 0, 0, 0, 255, 0, 0, 0,
                                  0, 0, 255, 255, 255, 255, 0, 0};
        memcpy(Bits, Rows, 16);
        break;
    }
    case 5:
        Head = malloc(40);
        SpiWriteInfoHeader(Head, 2, 2, 0, 0);
        Bits = calloc(64, 1);
        break;
    default:
        return 2;
    }
    *HInfo = Head;
    *HBits = Bits;
    return 0;
}

SPI_EXPORT int32_t GetPreview(const char* Name, intptr_t Offset, uint32_t Flag, void** HInfo,
                              void** HBits, SpiProgressCallback Progress, intptr_t Data)
{
    return GetPicture(Name, Offset, Flag, HInfo, HBits, Progress, Data);
}
