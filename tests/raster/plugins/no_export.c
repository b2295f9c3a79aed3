/* A plug-in that lacks GetPreview: listed by its masks, but never used to
   read a picture. Were it used, every *.tpx file would read as one 3 x 3
   white picture. */
#include "spi_plugin.h"

SPI_EXPORT int32_t GetPluginInfo(int32_t InfoNo, char* Buffer, int32_t BufferLength)
{
    switch (InfoNo) {
    case 2:
        return SpiCopyInfo("*.tpx", Buffer, BufferLength);
    case 3:
        return SpiCopyInfo("Incomplete", Buffer, BufferLength);
    default:
        return 0;
    }
}

SPI_EXPORT int32_t GetPictureInfo(const char* Name, intptr_t Offset, uint32_t Flag,
                                  SpiPictureInfo* Info)
{
    memset(Info, 0, sizeof(*Info));
    Info->width = 3;
    Info->height = 3;
    Info->colorDepth = 24;
    return 0;
}

SPI_EXPORT int32_t GetPicture(const char* Name, intptr_t Offset, uint32_t Flag, void** HInfo,
                              void** HBits, SpiProgressCallback Progress, intptr_t Data)
{
    uint8_t* Head = malloc(40);
    SpiWriteInfoHeader(Head, 3, 3, 24, 0);
    uint8_t* Bits = malloc(36);
    memset(Bits, 255, 36);
    *HInfo = Head;
    *HBits = Bits;
    return 0;
}
