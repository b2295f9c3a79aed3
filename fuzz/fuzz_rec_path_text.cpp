// Path records in their text stream form.
#include "foundation/rec_path.h"
#include "fuzz/fuzz_support.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    TMemoryStreamWex S;
    In.Attach(S);
    TrecPath Path;
    RecPathReadFromStreamAsText(Path, S);
    RecPathCalcBounds(Path);
    TMemoryStream Out;
    RecPathWriteToStreamAsText(Path, Out);
    return true;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TrecPath P;
    {
        TMemoryStream S;
        RecPathWriteToStreamAsText(P, S);
        Seeds.Add("empty", S);
    }
    const TPoint Pts[] = {{-5, 7}, {100, 0}, {120, 80}, {140, 60}, {160, 100}, {0, 100}};
    const uint8_t Types[] = {PT_MOVETO, PT_LINETO, PT_BEZIERTO, PT_BEZIERTO, PT_BEZIERTO,
                             PT_LINETO | PT_CLOSEFIGURE};
    RecPolyLineSetCount(P, 6);
    for (int32_t I = 0; I < 6; ++I) {
        P.Points[I] = Pts[I];
        P.pabType[I] = Types[I];
    }
    P.Flag = 255;
    RecPathCalcBounds(P);
    TMemoryStream S;
    RecPathWriteToStreamAsText(P, S);
    Seeds.Add("figure", S);
}

} // namespace

TAVRO_FUZZ_TARGET(rec_path_text)
