/* A well-behaved plug-in for a made-up format, "TPIX":
     "TPIX", width (uint16 LE), height (uint16 LE), flags (bit 0: the file
     has a comment), then width x height pixels of red, green, blue bytes,
     top row first.
   The picture may follow a 128-byte preamble. The preview is the top-left
   pixel alone. */
#include "spi_plugin.h"

#include <stdio.h>

typedef struct {
    int32_t Width;
    int32_t Height;
    int Flags;
    long DataStart;
} TpixHeader;

static int ReadTpixHeader(FILE* F, long Offset, TpixHeader* H)
{
    uint8_t B[9];
    if (fseek(F, Offset, SEEK_SET) != 0 || fread(B, 1, 9, F) != 9)
        return 0;
    if (memcmp(B, "TPIX", 4) != 0)
        return 0;
    H->Width = B[4] | B[5] << 8;
    H->Height = B[6] | B[7] << 8;
    H->Flags = B[8];
    H->DataStart = Offset + 9;
    return H->Width > 0 && H->Height > 0;
}

SPI_EXPORT int32_t GetPluginInfo(int32_t InfoNo, char* Buffer, int32_t BufferLength)
{
    switch (InfoNo) {
    case 0:
        return SpiCopyInfo("00IN", Buffer, BufferLength);
    case 1:
        return SpiCopyInfo("Tavro test plug-in", Buffer, BufferLength);
    case 2:
        return SpiCopyInfo("*.tpx;;*.tpix", Buffer, BufferLength);
    case 3:
        return SpiCopyInfo("Test pixels", Buffer, BufferLength);
    default:
        return 0;
    }
}

SPI_EXPORT int32_t GetPictureInfo(const char* Name, intptr_t Offset, uint32_t Flag,
                                  SpiPictureInfo* Info)
{
    if (Flag != 0)
        return -1;
    FILE* F = fopen(Name, "rb");
    if (!F)
        return 6;
    TpixHeader H;
    const int Ok = ReadTpixHeader(F, (long)Offset, &H);
    fclose(F);
    if (!Ok)
        return 2;
    memset(Info, 0, sizeof(*Info));
    Info->left = 0;
    Info->top = 0;
    Info->width = H.Width;
    Info->height = H.Height;
    Info->x_density = 0;
    Info->y_density = 72;
    Info->colorDepth = 24;
    if (H.Flags & 1) {
        static const char Comment[] = "made by the good plug-in";
        Info->hInfo = malloc(sizeof(Comment));
        memcpy(Info->hInfo, Comment, sizeof(Comment));
    }
    return 0;
}

/* Reads the picture at Offset; Preview keeps the top-left pixel only. */
static int32_t ReadPicture(const char* Name, intptr_t Offset, uint32_t Flag, void** HInfo,
                           void** HBits, SpiProgressCallback Progress, intptr_t Data, int Preview)
{
    if (Flag != 0)
        return -1;
    FILE* F = fopen(Name, "rb");
    if (!F)
        return 6;
    TpixHeader H;
    if (!ReadTpixHeader(F, (long)Offset, &H)) {
        fclose(F);
        return 2;
    }
    const int32_t W = Preview ? 1 : H.Width;
    const int32_t Rows = Preview ? 1 : H.Height;
    const int32_t Stride = ((W * 24 + 31) / 32) * 4;
    uint8_t* Head = malloc(40);
    uint8_t* Bits = calloc((size_t)Stride * (size_t)Rows, 1);
    uint8_t* Line = malloc((size_t)H.Width * 3);
    SpiWriteInfoHeader(Head, W, Rows, 24, 0);
    int32_t Result = 0;
    for (int32_t Y = 0; Y < Rows; ++Y) {
        if (Progress && Progress(Y, Rows, Data) != 0) {
            Result = 1;
            break;
        }
        if (fread(Line, 3, (size_t)H.Width, F) != (size_t)H.Width) {
            Result = 3;
            break;
        }
        uint8_t* D = Bits + (size_t)(Rows - 1 - Y) * (size_t)Stride;
        for (int32_t X = 0; X < W; ++X) {
            D[X * 3] = Line[X * 3 + 2];
            D[X * 3 + 1] = Line[X * 3 + 1];
            D[X * 3 + 2] = Line[X * 3];
        }
    }
    free(Line);
    fclose(F);
    if (Result != 0) {
        free(Head);
        free(Bits);
        return Result;
    }
    *HInfo = Head;
    *HBits = Bits;
    return 0;
}

SPI_EXPORT int32_t GetPicture(const char* Name, intptr_t Offset, uint32_t Flag, void** HInfo,
                              void** HBits, SpiProgressCallback Progress, intptr_t Data)
{
    return ReadPicture(Name, Offset, Flag, HInfo, HBits, Progress, Data, 0);
}

SPI_EXPORT int32_t GetPreview(const char* Name, intptr_t Offset, uint32_t Flag, void** HInfo,
                              void** HBits, SpiProgressCallback Progress, intptr_t Data)
{
    return ReadPicture(Name, Offset, Flag, HInfo, HBits, Progress, Data, 1);
}
