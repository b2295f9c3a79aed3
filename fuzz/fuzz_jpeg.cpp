// JPEG through the front end's stream reader, the first byte choosing its
// options (bit 0 first scan only, bits 1-2 scale, bit 3 block smoothing, bit 4
// fast, bit 5 blocks given for reuse), or with bit 7 set through LoadPicture
// of a ".jpg" file (bit 0: reduced).
#include "foundation/platform_wrappers.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/picture_checks.h"
#include "fuzz/seed_pictures.h"
#include "raster/jpeg_io.h"
#include "raster/picture_file.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    const uint8_t Options = In.Byte();
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    bool Accepted = true;
    if (Options & 0x80) {
        const std::string Path = TFuzzEnvironment::Get().WriteInput("input.jpg", In.Rest(), In.RestSize());
        std::string Info;
        TPictureInfo PI;
        Accepted = LoadPicture(Path, Header, Bits, 2, nullptr, 0, Options & 1, Info, PI) == lpOK;
        if (!Accepted && (Header || Bits))
            FuzzFault("LoadPicture failed but set its blocks");
    } else {
        if (Options & 0x20) {
            // Blocks the decoder may reuse: a grey-palette header and 4 KB of rows.
            Header = GlobalAllocQ(GMEM_FIXED | GMEM_ZEROINIT, 1064);
            Bits = static_cast<uint8_t*>(GlobalAllocQ(GMEM_FIXED, 4096));
        }
        TMemoryStreamWex S;
        In.Attach(S);
        bool Cancel = false;
        try {
            JpegLoadFromStream(S, Header, Bits, Options & 1, (Options >> 1) & 3, Options & 8,
                               Options & 16, nullptr, {}, Cancel);
        } catch (const Exception&) {
            Accepted = false;
        }
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
    Seeds.Add("rgb", std::string(1, '\0') + SeedJpegBytes(17, 9, 3, false));
    Seeds.Add("rgb-reuse", std::string(1, '\x20') + SeedJpegBytes(8, 8, 3, false, 30));
    Seeds.Add("grey-half", std::string(1, '\x02') + SeedJpegBytes(16, 16, 1, false));
    Seeds.Add("progressive", std::string(1, '\0') + SeedJpegBytes(16, 8, 3, true));
    Seeds.Add("progressive-first-scan", std::string(1, '\x19') + SeedJpegBytes(9, 16, 3, true));
    Seeds.Add("file", std::string(1, '\x80') + SeedJpegBytes(12, 12, 3, false));
    Seeds.Add("file-reduced", std::string(1, '\x81') + SeedJpegBytes(24, 16, 1, true));
}

} // namespace

TAVRO_FUZZ_TARGET(jpeg)
