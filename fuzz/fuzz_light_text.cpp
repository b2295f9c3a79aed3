// The text form of light sets.
#include "fuzz/fuzz_support.h"
#include "paint/light_set.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    TLightsAmb Lights;
    const bool Read = StrToLights(Lights, In.RestString());
    LightsToStr(Lights);
    return Read;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TLightsAmb L;
    L.Dp = 50;
    L.Color[0] = L.Color[1] = L.Color[2] = 0x80;
    L.Ks = 20;
    L.Sh = 3;
    L.M = 40;
    Seeds.Add("no-lights", LightsToStr(L));
    for (uint8_t Kind = LightKindAmbient; Kind <= LightKindSpot; ++Kind) {
        TrecLightUnion U;
        U.Name = LightKindNames[Kind];
        U.Color[0] = 0xFF;
        U.Color[2] = static_cast<uint8_t>(Kind * 40);
        U.Intensity = Kind == LightKindLine ? -60 : 100;
        U.Kind = Kind;
        for (int I = 0; I < 8; ++I)
            U.Shape[I] = 0.125 * (I + 1) - (Kind == LightKindSpot ? 0.3 : 0.0);
        L.Lights.push_back(U);
    }
    Seeds.Add("every-kind", LightsToStr(L));
}

} // namespace

TAVRO_FUZZ_TARGET(light_text)
