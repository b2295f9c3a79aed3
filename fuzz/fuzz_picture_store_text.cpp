// The picture store's text collection, merged into a store; the first byte
// is the document version (0..31).
#include "foundation/lists.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/picture_checks.h"
#include "fuzz/seed_pictures.h"
#include "store/picture_store.h"

namespace {

constexpr int32_t CurrentVersion = 25;

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    const int32_t Version = In.Byte() % 32;
    TMemoryStreamWex S;
    In.Attach(S);
    TListRecPict Store(nullptr);
    TList2Item Map;
    Store.ReadFromStreamAsText(S, Map, Version);
    for (int32_t I = 0; I < Store.Items().Count(); ++I)
        if (const TListRecPictItem* Item = Store.ItemAt(I))
            FuzzTouchPicture(Item->Picture);
    TMemoryStream Out;
    Store.WriteToStreamAsText(Out, nullptr);
    return true;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TListRecPict Store(nullptr);
    const std::string Version(1, static_cast<char>(CurrentVersion));
    TSeedPicture A, B;
    MakeSeedPicture(A.P, 3, 2, 8, 8, {-1, 2});
    Store.AddPicture(-1, 0, 0, 0.0, {}, 0, 0, 0, A.P, "");
    MakeSeedPicture(B.P, 2, 2, 24, 9);
    Store.AddPicture(-1, 0, 0, 0.0, {}, 0, 0, 0, B.P, "");
    const std::string Jpeg = SeedJpegBytes(8, 8, 1, false, 20);
    const std::string Path = TFuzzEnvironment::Get().WriteInput("seed.jpg", Jpeg.data(), Jpeg.size());
    TSeedPicture J;
    SeedLoadPicture(J.P, Path);
    Store.AddPicture(-1, 0, 0, 0.0, {}, 0, 0, 0, J.P, Path);
    std::remove(Path.c_str());
    TMemoryStream S;
    Store.WriteToStreamAsText(S, nullptr);
    Seeds.Add("three", S, Version);
}

} // namespace

TAVRO_FUZZ_TARGET(picture_store_text)
