// The page paste stream (binary): int32 version, the group, the pictures.
// fuzz-link: tavro_model
#include "fuzz/fuzz_support.h"
#include "fuzz/render_checks.h"
#include "fuzz/seed_model.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    TMemoryStreamWex S;
    In.Attach(S);
    TSeedDocument D;
    D.Page->PasteFromStream(S);
    // What was pasted must be usable: the page written back.
    TMemoryStream Out;
    D.Page->WriteToStream(Out);
    // ... and renders.
    FuzzRenderPage(*D.Page);
    return true;
}

void AddPaste(TFuzzSeeds& Seeds, const std::string& Name, TDrawGroup& Items, int32_t Version)
{
    TMemoryStream S;
    S.WriteBuffer(&Version, 4);
    Items.WriteToStream(S);
    TListRecPict Store(nullptr);
    Store.WriteToStream(S, nullptr);
    Seeds.Add(Name, S);
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TSeedDocument Source;
    TDrawGroup Empty(Source.Page, -1);
    AddPaste(Seeds, "empty", Empty, 25);
    TDrawGroup Items(Source.Page, -1);
    AddSeedItems(Items);
    AddPaste(Seeds, "items", Items, 25);
}

} // namespace

TAVRO_FUZZ_TARGET(page_paste)
