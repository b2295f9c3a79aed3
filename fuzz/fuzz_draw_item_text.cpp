// Draw items in their text form; the first byte is the version the item
// is read as (0..31).
// fuzz-link: tavro_model
#include "foundation/lists.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/render_checks.h"
#include "fuzz/seed_model.h"

namespace {

constexpr int32_t CurrentVersion = 25;

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    const int32_t Version = In.Byte() % 32;
    TMemoryStreamWex S;
    In.Attach(S);
    TSeedDocument D;
    TList2Item IDMap;
    std::unique_ptr<TDrawItem> Item = DrawItemReadFromStreamAsTextNew(S, D.Page, &IDMap, Version);
    // What was accepted must be usable: both forms written back.
    TMemoryStream Out;
    Item->WriteToStream(Out);
    Item->WriteToStreamAsText(Out);
    // Taken onto a page as a document's page takes its items, it renders.
    FuzzAdmitStoredAndRender(*D.Page, std::move(Item), IDMap);
    return true;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    const std::string Version(1, static_cast<char>(CurrentVersion));
    TSeedDocument Source;
    TDrawGroup Items(Source.Page, -1);
    AddSeedItems(Items);
    for (int32_t I = 0; I < Items.GetCount(); ++I) {
        TMemoryStream S;
        Items.GetItem(I)->WriteToStreamAsText(S);
        Seeds.Add("item" + std::to_string(I), S, Version);
    }
    TMemoryStream G;
    Items.WriteToStreamAsText(G);
    Seeds.Add("group", G, Version);
}

} // namespace

TAVRO_FUZZ_TARGET(draw_item_text)
