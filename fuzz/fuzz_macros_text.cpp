// Macro lists in their text stream form; the first byte is the document
// version the list is read as (0..31).
#include "fuzz/fuzz_support.h"
#include "fuzz/seed_macros.h"
#include "paint/macro_list.h"
#include "paint/macro_param_range.h"
#include "paint/paint_macro.h"

namespace {

constexpr int32_t CurrentVersion = 25;

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    InstallSeedLibraries();
    TFuzzInput In(Data, Size);
    const int32_t Version = In.Byte() % 32;
    TMemoryStreamWex S;
    In.Attach(S);
    TMacros Macros;
    Macros.ReadFromStreamAsText(S, Version);
    // What a document's reader makes of them: every value held to one its
    // paint function takes, once and for all, and every macro on or off.
    HoldMacrosValues(Macros);
    if (!MacrosValuesAccepted(Macros))
        FuzzFault("a held macro value is refused");
    if (HoldMacrosValues(Macros))
        FuzzFault("a held macro value is held again to another");
    for (int32_t I = 0; I < Macros.Count(); ++I)
        if (Macros.GetMacro(I)->Enabled() > 1)
            FuzzFault("an enabled byte neither on nor off");
    TMemoryStream Out;
    Macros.WriteToStreamAsText(Out);
    return true;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    InstallSeedLibraries();
    const std::string Version(1, static_cast<char>(CurrentVersion));
    TMacros List;
    List.Add(TMacro::CreateByName("塗りつぶし"));
    List.GetMacro(0)->SetParamValue("濃さ", "200");
    List.Add(TMacro::CreateByName("影"));
    List.Add(TMacro::CreateByName("ラフ"));
    TMemoryStream S;
    List.WriteToStreamAsText(S);
    Seeds.Add("three", S, Version);
    TMacros Unknown;
    Unknown.Add(TMacro::CreateByName("どこにもない"));
    TMemoryStream U;
    Unknown.WriteToStreamAsText(U);
    Seeds.Add("unknown", U, Version);
    TMacros Held;
    Held.Add(TMacro::CreateByName("影"));
    Held.GetMacro(0)->SetParamValue("ずれX", "nan");
    Held.GetMacro(0)->SetParamValue("ずれY", "99999");
    Held.GetMacro(0)->SetEnabled(255);
    TMemoryStream H;
    Held.WriteToStreamAsText(H);
    Seeds.Add("nan", H, Version);
}

} // namespace

TAVRO_FUZZ_TARGET(macros_text)
