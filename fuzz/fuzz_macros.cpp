// Macro lists in their binary stream form; the first byte is the document
// version the list is read as (0..31). The macros are rebuilt from the seed
// libraries by name.
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
    Macros.ReadFromStream(S, Version);
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
    Macros.WriteToStream(Out);
    return true;
}

std::unique_ptr<TMacro> Named(const std::string& Name)
{
    return TMacro::CreateByName(Name);
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    InstallSeedLibraries();
    const std::string Version(1, static_cast<char>(CurrentVersion));
    TMacros List;
    {
        TMemoryStream S;
        List.WriteToStream(S);
        Seeds.Add("empty", S, Version);
    }
    List.Add(Named("塗りつぶし"));
    List.GetMacro(0)->SetParamValue("余白", "7");
    List.Add(Named("影"));
    List.GetMacro(1)->SetEnabled(0);
    List.Add(Named("Empty"));
    TMemoryStream S;
    List.WriteToStream(S);
    Seeds.Add("three", S, Version);
    // Before the lines came from the libraries.
    TMemoryStream Old;
    const auto Text = [&Old](const std::string& T) {
        const int32_t N = static_cast<int32_t>(T.size());
        Old.WriteBuffer(&N, 4);
        Old.WriteBuffer(T.data(), N);
    };
    const int32_t One = 1, Two = 2;
    Old.WriteBuffer(&One, 4);  // macros
    Text("Old");
    Old.WriteBuffer(&One, 4);  // lines
    Text("NilPlaneMove");
    Old.WriteBuffer(&Two, 4);  // parameters
    Text("");
    Text("Plane1");
    Text("");
    Text("4");
    Text("Dx");
    Seeds.Add("lines-v5", Old, std::string(1, '\x05'));
    // Values that do not read as numbers, in lines of their own and in
    // stored pairs; an enabled byte neither on nor off.
    TMemoryStream Hostile;
    const auto HostileText = [&Hostile](const std::string& T) {
        const int32_t N = static_cast<int32_t>(T.size());
        Hostile.WriteBuffer(&N, 4);
        Hostile.WriteBuffer(T.data(), N);
    };
    const int32_t Four = 4;
    Hostile.WriteBuffer(&One, 4);
    HostileText("Old");
    Hostile.WriteBuffer(&One, 4);
    HostileText("NilPlaneMove");
    Hostile.WriteBuffer(&Four, 4);
    HostileText("");
    for (const char* T : {"Plane1", "", "", "", "nan", "Dx", "\x81", ""})
        HostileText(T);
    Seeds.Add("lines-v5-nan", Hostile, std::string(1, '\x05'));
    TMacros Held;
    Held.Add(Named("影"));
    Held.GetMacro(0)->SetParamValue("ずれX", "nan");
    Held.GetMacro(0)->SetParamValue("ずれY", "1e308");
    Held.GetMacro(0)->SetEnabled(255);
    TMemoryStream H;
    Held.WriteToStream(H);
    Seeds.Add("nan", H, Version);
}

} // namespace

TAVRO_FUZZ_TARGET(macros)
