// The text form of fill values (colour, gradation, picture fill).
#include "fuzz/fuzz_support.h"
#include "paint/fill_value.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    TFillValue V;
    const bool Read = StrToFillValue(In.RestString(), V);
    FillValueToStr(V);
    return Read;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TFillValue V;
    Seeds.Add("none", FillValueToStr(V));
    V.Method = FillMethodNoPaint;
    Seeds.Add("no-paint", FillValueToStr(V));
    V.Method = FillMethodColor;
    V.Color = 0x00A0B0C0;
    Seeds.Add("colour", FillValueToStr(V));
    V.Method = FillMethodGradation;
    V.Option = '1';
    V.Gradation.SetColStop(0, 0xFFFFFF);
    V.Gradation.SetColStop(1023, 0);
    V.Gradation.SetTransStop(300, 128);
    Seeds.Add("gradation", FillValueToStr(V));
    V.Method = FillMethodPicture;
    V.Option = '0';
    V.PictParam = TFillPictParam{12, -3, 64, 32, 22.5, 2, 1, 0, 7};
    Seeds.Add("picture", FillValueToStr(V));
}

} // namespace

TAVRO_FUZZ_TARGET(fill_value_text)
