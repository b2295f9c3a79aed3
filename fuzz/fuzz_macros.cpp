// Macro lists in their binary stream form; the first byte is the document
// version the list is read as (0..31). The macros are rebuilt from the seed
// libraries by name.
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
    Macros.ReadFromStream(S, Version);
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
}

} // namespace

TAVRO_FUZZ_TARGET(macros)
