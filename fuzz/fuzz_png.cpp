// PNG through the front end's stream reader (first byte even) and through
// LoadPicture of a ".png" file (first byte odd).
#include "foundation/platform_wrappers.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/picture_checks.h"
#include "fuzz/seed_pictures.h"
#include "raster/picture_file.h"
#include "raster/png_io.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    const bool ThroughFile = In.Byte() & 1;
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    bool Accepted = true;
    if (ThroughFile) {
        const std::string Path = TFuzzEnvironment::Get().WriteInput("input.png", In.Rest(), In.RestSize());
        std::string Info;
        TPictureInfo PI;
        Accepted = LoadPicture(Path, Header, Bits, 2, nullptr, 0, false, Info, PI) == lpOK;
        if (!Accepted && (Header || Bits))
            FuzzFault("LoadPicture failed but set its blocks");
    } else {
        TMemoryStreamWex S;
        In.Attach(S);
        bool Cancel = false;
        PNGLoadFromStream(S, Header, Bits, Cancel);
    }
    if (Accepted)
        FuzzTouchDIB(Header, Bits);
    GlobalFreeQ(Header);
    HGLOBAL B = Bits;
    GlobalFreeQ(B);
    return Accepted;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    const int32_t Depths[] = {1, 4, 8, 24, 32};
    for (int32_t Bits : Depths) {
        TSeedPicture Pic;
        MakeSeedPicture(Pic.P, 6, 5, Bits, static_cast<uint32_t>(Bits) * 11);
        const std::string Name = "png-" + std::to_string(Bits);
        Seeds.Add(Name, std::string(1, '\0') + SeedPngBytes(Pic.P));
        Seeds.Add(Name + "-file", std::string(1, '\1') + SeedPngBytes(Pic.P));
        if (Bits == 8)
            Seeds.Add(Name + "-trns-interlaced", std::string(1, '\0') + SeedPngBytes(Pic.P, 0, true));
        if (Bits == 24)
            Seeds.Add(Name + "-trns", std::string(1, '\0') + SeedPngBytes(Pic.P, 0x00FF00FF, false));
    }
}

} // namespace

TAVRO_FUZZ_TARGET(png)
