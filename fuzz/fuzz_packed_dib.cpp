// Packed DIBs as the clipboard carries them: the record's clipboard reader
// (first byte 0 or 1: without or with a DIB section) and the checks of the
// picture-file loader (first byte 2).
#include "foundation/platform_wrappers.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/picture_checks.h"
#include "fuzz/seed_pictures.h"
#include "raster/picture_file.h"
#include "raster/rec_picture.h"

#include <cstring>

namespace {

// Frees a global block at the end of the scope.
struct TBlock {
    HGLOBAL H = nullptr;
    ~TBlock() { GlobalFreeQ(H); }
};

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    const uint8_t Op = In.Byte() % 3;
    if (Op == 2) {
        const int64_t Offset = PackedDIBBitsOffset(In.Rest(), In.RestSize());
        if (Offset < 0)
            return false;
        if (static_cast<uint64_t>(Offset) > In.RestSize())
            FuzzFault("rows start past the block");
        TBlock Header;
        uint8_t* Bits = nullptr;
        const int32_t R = CopyCheckedDIB(In.Rest(), static_cast<size_t>(Offset), In.Rest() + Offset,
                                         In.RestSize() - static_cast<size_t>(Offset), Header.H, Bits);
        TBlock Pixels{Bits};
        if (R != lpOK)
            return false;
        FuzzTouchDIB(Header.H, Bits);
        return true;
    }
    // The block is exactly as long as the input.
    TBlock Block{GlobalAllocQ(GMEM_MOVEABLE, In.RestSize())};
    if (In.RestSize()) {
        void* P = GlobalLock(Block.H);
        std::memcpy(P, In.Rest(), In.RestSize());
        GlobalUnlock(Block.H);
    }
    TSeedPicture Pic;
    RecPictureLoadFromClipboardFormat(Pic.P, CF_DIB, Block.H, Op == 1);
    FuzzTouchPicture(Pic.P);
    return Pic.P.pBIHeader != nullptr;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    const int32_t Depths[] = {1, 4, 8, 16, 24, 32};
    for (int32_t Bits : Depths) {
        TSeedPicture Pic;
        MakeSeedPicture(Pic.P, 3, 2, Bits, static_cast<uint32_t>(Bits) + 1);
        TBlock Block{RecPictureSaveToClipboardFormat(Pic.P)};
        const void* P = GlobalLock(Block.H);
        const std::string Dib(static_cast<const char*>(P), GlobalSize(Block.H));
        GlobalUnlock(Block.H);
        const std::string Name = "dib-" + std::to_string(Bits);
        Seeds.Add(Name, std::string(1, '\0') + Dib);
        Seeds.Add(Name + "-section", std::string(1, '\1') + Dib);
        Seeds.Add(Name + "-checked", std::string(1, '\2') + Dib);
    }
}

} // namespace

TAVRO_FUZZ_TARGET(packed_dib)
