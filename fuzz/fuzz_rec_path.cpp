// Path records in their binary stream form.
#include "foundation/rec_path.h"
#include "fuzz/fuzz_support.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    TMemoryStreamWex S;
    In.Attach(S);
    TrecPath Path;
    RecPathReadFromStream(Path, S);
    // What was accepted must be usable: bounds and the form written back.
    RecPathCalcBounds(Path);
    TMemoryStream Out;
    RecPathWriteToStream(Path, Out);
    return true;
}

void AddPath(TFuzzSeeds& Seeds, const std::string& Name, const TrecPath& Path)
{
    TMemoryStream S;
    RecPathWriteToStream(Path, S);
    Seeds.Add(Name, S);
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TrecPath Empty;
    AddPath(Seeds, "empty", Empty);

    TrecPath P;
    const TPoint Pts[] = {{0, 0}, {100, 0}, {100, 50}, {120, 80}, {140, 60}, {160, 100}, {0, 100}};
    const uint8_t Types[] = {PT_MOVETO, PT_LINETO, PT_LINETO, PT_BEZIERTO, PT_BEZIERTO, PT_BEZIERTO,
                             PT_LINETO | PT_CLOSEFIGURE};
    RecPolyLineSetCount(P, 7);
    for (int32_t I = 0; I < 7; ++I) {
        P.Points[I] = Pts[I];
        P.pabType[I] = Types[I];
    }
    P.Flag = 3;
    RecPathCalcBounds(P);
    AddPath(Seeds, "figure", P);
    RecPathOffset(P, -2147483000, 2147483000);
    AddPath(Seeds, "far", P);
}

} // namespace

TAVRO_FUZZ_TARGET(rec_path)
