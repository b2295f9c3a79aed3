// The picture store's binary collection, read whole (LoadFromStream, first
// byte even) or merged (ReadFromStreamBinary, first byte odd); the second
// byte is the document version (0..31).
#include "foundation/lists.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/picture_checks.h"
#include "fuzz/seed_pictures.h"
#include "store/picture_store.h"

namespace {

constexpr int32_t CurrentVersion = 25;

void TouchStore(const TListRecPict& Store)
{
    for (int32_t I = 0; I < Store.Items().Count(); ++I)
        if (const TListRecPictItem* Item = Store.ItemAt(I))
            FuzzTouchPicture(Item->Picture);
}

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    const bool Merge = In.Byte() & 1;
    const int32_t Version = In.Byte() % 32;
    TMemoryStreamWex S;
    In.Attach(S);
    TListRecPict Store(nullptr);
    if (Merge) {
        // Merged into a store that already holds a picture.
        TSeedPicture Pic;
        MakeSeedPicture(Pic.P, 2, 2, 24, 1);
        Store.AddPicture(-1, 0, 0, 0.0, {}, 0, 0, 0, Pic.P, "");
        TList2Item Map;
        Store.ReadFromStreamBinary(S, Map, Version);
    } else {
        Store.LoadFromStream(S, Version);
    }
    TouchStore(Store);
    TMemoryStream Out;
    Store.WriteToStream(Out, nullptr);
    return true;
}

// A store with an 8-bit and a 24-bit picture, a derived one and a JPEG file.
void FillStore(TListRecPict& Store)
{
    TSeedPicture A, B, C;
    MakeSeedPicture(A.P, 3, 2, 8, 5, {10, 20});
    Store.AddPicture(-1, 0, 0, 0.0, {}, 0, 0, 0, A.P, "");
    MakeSeedPicture(B.P, 2, 3, 24, 6);
    const int32_t Base = Store.AddPicture(-1, 0, 0, 0.0, {}, 0, 0, 0, B.P, "");
    MakeSeedPicture(C.P, 4, 4, 24, 7);
    Store.AddPicture(Base, 4, 4, 45.0, {1, 1}, 4, 4, 1, C.P, "");
    const std::string Jpeg = SeedJpegBytes(8, 8, 3, false, 20);
    const std::string Path = TFuzzEnvironment::Get().WriteInput("seed.jpg", Jpeg.data(), Jpeg.size());
    TSeedPicture J;
    SeedLoadPicture(J.P, Path);
    Store.AddPicture(-1, 0, 0, 0.0, {}, 0, 0, 0, J.P, Path);
    std::remove(Path.c_str());
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TListRecPict Store(nullptr);
    const std::string Load{'\0', static_cast<char>(CurrentVersion)};
    const std::string Merge{'\1', static_cast<char>(CurrentVersion)};
    {
        TMemoryStream S;
        Store.WriteToStream(S, nullptr);
        Seeds.Add("empty", S, Load);
    }
    FillStore(Store);
    TMemoryStream S;
    Store.WriteToStream(S, nullptr);
    Seeds.Add("four", S, Load);
    Seeds.Add("four-merged", S, Merge);
}

} // namespace

TAVRO_FUZZ_TARGET(picture_store)
