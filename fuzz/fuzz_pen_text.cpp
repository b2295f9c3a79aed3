// The text form of pen records, read whole and merged into a record.
#include "foundation/pen_text.h"
#include "fuzz/fuzz_support.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    const std::string Text = In.RestString();
    TrecPenData Pen{};
    StrToPenData(Text, Pen);
    std::string Back;
    PenDataToStr(Pen, Back);
    TrecPenData Merged{0x1200, 3, {1, 2, 3, 4, 5}, 4.0};
    MergePenDataStr(Merged, Text);
    PenDataToStr(Merged, Back);
    return true;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    std::string S;
    TrecPenData Pen{};
    StrToPenData("", Pen);
    PenDataToStr(Pen, S);
    Seeds.Add("default", S);
    Pen.Width = 12;
    Pen.Style = 0x2100;
    Pen.MiterLimit = 10.5;
    PenDataToStr(Pen, S);
    Seeds.Add("set", S);
}

} // namespace

TAVRO_FUZZ_TARGET(pen_text)
