// The ".tvm" macro library files.
#include "fuzz/fuzz_support.h"
#include "fuzz/seed_macros.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"

#include <memory>

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    const std::string Path = TFuzzEnvironment::Get().WriteInput("input.tvm", Data, Size);
    std::unique_ptr<TMacroLibrary> Library;
    TMacro::ReadMacroFile(Library, Path);
    if (!Library)
        FuzzFault("a library read without error but none made");
    // Every macro, line and parameter read must be there to use.
    size_t Texts = 0;
    for (int32_t I = 0; I < Library->Count(); ++I) {
        const TMacro* M = Library->Objects(I);
        Texts += Library->Strings(I).size() + M->Name().size();
        for (int32_t L = 0; L < M->LineCount(); ++L) {
            const TMacroLine& Line = M->Line(L);
            if (Line.Params.size() > Line.ParamCount())
                FuzzFault("a line with more parameters than its count");
            for (const TMacroParam& P : Line.Params)
                Texts += P.Value.value_or("").size() + P.Caption.value_or("").size();
        }
    }
    volatile size_t Sink = Texts;
    (void)Sink;
    return true;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    Seeds.Add("paint", SeedPaintLibrary());
    Seeds.Add("path", SeedPathLibrary());
    Seeds.Add("empty", TSeedTvm().Bytes());
    // A CP932 text whose trail byte is 0x00-like in value: 0x81 0x40.
    Seeds.Add("wide", TSeedTvm().Macro("全角\x81\x40名").Line("Dummy", "", {{"値", "説明"}}).Bytes());
}

} // namespace

TAVRO_FUZZ_TARGET(macro_library)
