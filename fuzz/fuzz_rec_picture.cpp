// Picture records in their binary stream forms: the PNG form, and with the
// first byte odd the old raw form.
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
        RecPictureLoadFromStreamRaw(Pic.P, S);
    else
        RecPictureLoadFromStream(Pic.P, S);
    FuzzTouchPicture(Pic.P);
    return true;
}

// The old form: position, the 40-byte header, the rows.
std::string OldForm(const TrecPicture& P)
{
    TMemoryStream S;
    S.WriteBuffer(&P.iLeft, 4);
    S.WriteBuffer(&P.iTop, 4);
    S.WriteBuffer(P.pBIHeader, sizeof(BITMAPINFOHEADER));
    S.WriteBuffer(P.pBits, static_cast<int32_t>(RecPictureGetImageSize(P)));
    return std::string(1, '\1') + std::string(static_cast<const char*>(S.Memory()), S.Size());
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    const int32_t Depths[] = {1, 4, 8, 16, 24, 32};
    for (int32_t Bits : Depths) {
        TSeedPicture Pic;
        MakeSeedPicture(Pic.P, 5, 3, Bits, static_cast<uint32_t>(Bits), {-7, 12});
        TMemoryStream S;
        RecPictureSaveToStream(Pic.P, S);
        Seeds.Add("png-" + std::to_string(Bits), S, std::string(1, '\0'));
        if (Bits == 24)
            Seeds.Add("old-24", OldForm(Pic.P));
    }
}

} // namespace

TAVRO_FUZZ_TARGET(rec_picture)
