// The document file (.srn): the whole input is the file, header first.
// fuzz-link: tavro_model
#include "fuzz/fuzz_support.h"
#include "fuzz/render_checks.h"
#include "fuzz/seed_model.h"
#include "model/document_file.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    TMemoryStreamWex S;
    In.Attach(S);
    TSeedDocument D;
    D.Doc->LoadFromStream(S);
    // What was let in renders. Not written back: saving renders the
    // thumbnail of the first page, which this has done already.
    for (int32_t I = 0; I < D.Doc->GetPageCount(); ++I)
        if (auto* Page = dynamic_cast<TPage*>(D.Doc->GetPage(I)))
            FuzzRenderPage(*Page);
    return true;
}

void AddDocument(TFuzzSeeds& Seeds, const std::string& Name, TOLEDocumentWex& Doc)
{
    TMemoryStream S;
    Doc.SaveToStream(S);
    Seeds.Add(Name, S);
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    {
        RegisterSeedItemTypes();
        auto Empty = NewDocumentTDocument(nullptr, nullptr);
        AddDocument(Seeds, "no-page", *Empty);
    }
    TSeedDocument Blank;
    AddDocument(Seeds, "blank-page", *Blank.Doc);
    TSeedDocument Full;
    Full.Page->SetPageSize(64, 48);
    AddSeedItems(Full.Page->RootGroup(), false);
    Full.Doc->AddPage(NewPageTPage(Full.Doc->History()));
    AddDocument(Seeds, "items", *Full.Doc);
}

} // namespace

TAVRO_FUZZ_TARGET(document)
