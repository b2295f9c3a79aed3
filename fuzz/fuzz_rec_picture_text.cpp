// Picture records in their text stream forms: the PNG form, and with the
// first byte odd the old raw form.
#include "foundation/stream_text.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/picture_checks.h"
#include "fuzz/seed_pictures.h"
#include "raster/rec_picture.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    const bool Raw = In.Byte() & 1;
    TMemoryStreamWex S;
    In.Attach(S);
    TSeedPicture Pic;
    if (Raw)
        RecPictureLoadFromTextStreamRaw(Pic.P, S);
    else
        RecPictureLoadFromTextStream(Pic.P, S);
    FuzzTouchPicture(Pic.P);
    return true;
}

// The old form: position lines, the header and the rows as binary blocks.
std::string OldForm(const TrecPicture& P, int32_t BlockType)
{
    TMemoryStream S;
    StreamWriteln(S, std::to_string(P.iLeft));
    StreamWriteln(S, std::to_string(P.iTop));
    StreamWritelnBin(S, P.pBIHeader, sizeof(BITMAPINFOHEADER), BlockType);
    StreamWritelnBin(S, P.pBits, static_cast<int32_t>(RecPictureGetImageSize(P)), BlockType);
    return std::string(1, '\1') + std::string(static_cast<const char*>(S.Memory()), S.Size());
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    const int32_t Depths[] = {1, 8, 24, 32};
    for (int32_t Bits : Depths) {
        TSeedPicture Pic;
        MakeSeedPicture(Pic.P, 4, 3, Bits, static_cast<uint32_t>(Bits) * 3, {3, -9});
        TMemoryStream S;
        RecPictureSaveToTextStream(Pic.P, S);
        Seeds.Add("png-" + std::to_string(Bits), S, std::string(1, '\0'));
        if (Bits == 24) {
            Seeds.Add("old-16", OldForm(Pic.P, 0));
            Seeds.Add("old-jis7", OldForm(Pic.P, 1));
        }
    }
}

} // namespace

TAVRO_FUZZ_TARGET(rec_picture_text)
