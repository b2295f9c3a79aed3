// The page paste from the clipboard text "Tavro DrawItem".
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
    D.Page->PasteFromStreamAsText(S);
    // What was pasted must be usable: the page written back.
    TMemoryStream Out;
    D.Page->WriteToStream(Out);
    // ... and renders.
    FuzzRenderPage(*D.Page);
    return true;
}

void AddPaste(TFuzzSeeds& Seeds, const std::string& Name, TDrawGroup& Items, const std::string& Version)
{
    TMemoryStream S;
    StreamWriteln(S, gcstrCFDrawItem);
    StreamWriteln(S, Version);
    Items.WriteToStreamAsText(S);
    TListRecPict Store(nullptr);
    Store.WriteToStreamAsText(S, nullptr);
    const uint8_t Zero = 0;
    S.WriteBuffer(&Zero, 1);
    Seeds.Add(Name, S);
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TSeedDocument Source;
    TDrawGroup Empty(Source.Page, -1);
    AddPaste(Seeds, "empty", Empty, "25");
    TDrawGroup Items(Source.Page, -1);
    AddSeedItems(Items);
    AddPaste(Seeds, "items", Items, "25");
}

} // namespace

TAVRO_FUZZ_TARGET(page_paste_text)
