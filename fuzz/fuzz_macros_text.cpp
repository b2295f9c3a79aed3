// Macro lists in their text stream form; the first byte is the document
// version the list is read as (0..31).
#include "fuzz/fuzz_support.h"
#include "fuzz/seed_macros.h"
#include "paint/macro_list.h"
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
}

} // namespace

TAVRO_FUZZ_TARGET(macros_text)
