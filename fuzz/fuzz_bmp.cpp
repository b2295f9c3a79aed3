// BMP files through LoadPicture.
#include "foundation/platform_wrappers.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/picture_checks.h"
#include "fuzz/seed_pictures.h"
#include "raster/picture_file.h"

#include <cstring>

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    const std::string Path = TFuzzEnvironment::Get().WriteInput("input.bmp", Data, Size);
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    std::string Info;
    TPictureInfo PI;
    const bool Accepted = LoadPicture(Path, Header, Bits, 2, nullptr, 0, false, Info, PI) == lpOK;
    if (!Accepted && (Header || Bits))
        FuzzFault("LoadPicture failed but set its blocks");
    if (Accepted)
        FuzzTouchDIB(Header, Bits);
    GlobalFreeQ(Header);
    HGLOBAL B = Bits;
    GlobalFreeQ(B);
    return Accepted;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    const int32_t Depths[] = {1, 4, 8, 16, 24, 32};
    for (int32_t Bits : Depths) {
        TSeedPicture Pic;
        MakeSeedPicture(Pic.P, 5, 3, Bits, static_cast<uint32_t>(Bits) * 5);
        const std::string Name = "bmp-" + std::to_string(Bits);
        Seeds.Add(Name, SeedBmpBytes(Pic.P, true));
        if (Bits <= 8) {
            // Two colours used: the short colour table.
            RecPictureHeader(Pic.P)->biClrUsed = 2;
            Seeds.Add(Name + "-short-table", SeedBmpBytes(Pic.P, false));
        }
        if (Bits == 24) {
            // Top-down rows: the file's height negative.
            std::string TopDown = SeedBmpBytes(Pic.P, true);
            int32_t Height = 0;
            std::memcpy(&Height, TopDown.data() + 22, 4);
            Height = -Height;
            std::memcpy(TopDown.data() + 22, &Height, 4);
            Seeds.Add(Name + "-top-down", TopDown);
        }
    }
}

} // namespace

TAVRO_FUZZ_TARGET(bmp)
