// The text form of picture-fill parameter sets.
#include "fuzz/fuzz_support.h"
#include "paint/fill_value.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    TFillPictParam P;
    StrToFillPictParam(In.RestString(), P);
    FillPictParamToStr(P);
    return true;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    Seeds.Add("default", FillPictParamToStr(TFillPictParam{}));
    Seeds.Add("set", FillPictParamToStr(TFillPictParam{-5, 9, 640, 480, -135.25, 3, 2, 1, 12}));
    Seeds.Add("empty", "");
}

} // namespace

TAVRO_FUZZ_TARGET(fill_pict_text)
