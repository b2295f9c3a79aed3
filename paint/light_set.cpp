#include "paint/light_set.h"

#include "foundation/text_fields.h"
#include "platform/cp932.h"
#include "foundation/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

// Shape values written for a kind.
int ShapeCount(uint8_t Kind)
{
    switch (Kind) {
    case LightKindPoint:
    case LightKindParallel:
        return 4;
    case LightKindLine:
        return 8;
    case LightKindSpot:
        return 6;
    default:
        return 0;
    }
}

// Colour bytes are held blue, green, red; the text runs red, green, blue.
std::string ColorText(const uint8_t* Bgr)
{
    char Buf[8];
    std::snprintf(Buf, sizeof Buf, "%02X%02X%02X", Bgr[2], Bgr[1], Bgr[0]);
    return Buf;
}

class TLightReader {
public:
    explicit TLightReader(const std::string& Text) : FText(Text) {}

    bool Int(int32_t& V)
    {
        int32_t R;
        if (!TryStrToInt(NextField(), R))
            return false;
        V = R;
        return true;
    }

    bool Real(double& V)
    {
        const double R = StrToFloatDef(NextField(), std::numeric_limits<double>::quiet_NaN());
        if (std::isnan(R))
            return false;
        V = R;
        return true;
    }

    bool Color(uint8_t* Bgr)
    {
        if (FText.size() - FPos < 6)
            return false;
        for (size_t I = 0; I < 6; ++I)
            if (!(CharClassTable[static_cast<uint8_t>(FText[FPos + I])] & 0x0080))
                return false;
        for (int I = 0; I < 3; ++I)
            Bgr[2 - I] = static_cast<uint8_t>(HexToInt(FText.substr(FPos + 2 * I, 2)));
        FPos += 6;
        return true;
    }

    // Whole characters whose stored (CP932) bytes add up to the length.
    bool Text(std::string& S)
    {
        int32_t Length;
        if (!Int(Length) || Length < 0)
            return false;
        size_t End = FPos;
        int64_t Bytes = 0;
        while (Bytes < Length) {
            if (End >= FText.size())
                return false;
            const size_t N = CharLength(FText, End);
            Bytes += static_cast<int64_t>(Utf8ToCp932(std::string_view(FText).substr(End, N)).size());
            End += N;
        }
        if (Bytes != Length)
            return false; // the length ends inside a character
        S = FText.substr(FPos, End - FPos);
        FPos = End;
        return true;
    }

private:
    std::string NextField()
    {
        size_t Comma = FText.find(',', FPos);
        if (Comma == std::string::npos)
            Comma = FText.size();
        std::string Field = FText.substr(FPos, Comma - FPos);
        FPos = std::min(Comma + 1, FText.size());
        return Field;
    }

    const std::string& FText;
    size_t FPos = 0;
};

bool ReadLight(TLightReader& R, TrecLightUnion& Light)
{
    int32_t Kind;
    if (!R.Text(Light.Name) || !R.Color(Light.Color) || !R.Int(Light.Intensity) || !R.Int(Kind))
        return false;
    // A kind beyond a byte is no kind the editor offers, not the one its low
    // byte names: it reads as an unknown kind (no points), which the range
    // check refuses and holding makes an ambient light.
    Light.Kind = Kind >= 0 && Kind <= UINT8_MAX ? static_cast<uint8_t>(Kind) : UINT8_MAX;
    for (int I = 0; I < ShapeCount(Light.Kind); ++I)
        if (!R.Real(Light.Shape[I]))
            return false;
    return true;
}

} // namespace

std::string LightsToStr(const TLightsAmb& Lights)
{
    std::string S = FloatToStrShortest(Lights.Dp) + ',' + ColorText(Lights.Color);
    for (int32_t V : {Lights.Ks, Lights.Sh, Lights.M, static_cast<int32_t>(Lights.Lights.size())})
        S += std::to_string(V) + ',';
    for (const TrecLightUnion& Light : Lights.Lights) {
        S += std::to_string(Utf8ToCp932(Light.Name).size()) + ',' + Light.Name;
        S += ColorText(Light.Color) + std::to_string(Light.Intensity) + ',' +
             std::to_string(Light.Kind) + ',';
        for (int I = 0; I < ShapeCount(Light.Kind); ++I)
            S += FloatToStrShortest(Light.Shape[I]) + ',';
    }
    return S;
}

bool StrToLights(TLightsAmb& Lights, const std::string& Text)
{
    if (Text.empty())
        return false;
    TLightReader R(Text);
    int32_t Count;
    if (!R.Real(Lights.Dp) || !R.Color(Lights.Color) || !R.Int(Lights.Ks) || !R.Int(Lights.Sh) ||
        !R.Int(Lights.M) || !R.Int(Count))
        return false;
    for (int32_t I = 0; I < Count; ++I) {
        TrecLightUnion Light;
        if (!ReadLight(R, Light))
            return false;
        Lights.Lights.push_back(std::move(Light));
    }
    return true;
}

namespace {

bool RealWithin(double V, double Low, double High) { return V >= Low && V <= High; }

template <class V>
void Put(V& Field, V Value, bool& Changed)
{
    // Compared by value: NaN never equals itself, so it always counts.
    if (!(Field == Value)) {
        Field = Value;
        Changed = true;
    }
}

double RealHeld(double V, double Low, double High) { return std::isnan(V) ? 0.0 : std::clamp(V, Low, High); }

} // namespace

bool LightsInEditorRange(const TLightsAmb& Lights)
{
    if (!RealWithin(Lights.Dp, 0, MaxLightBumpDepth) || Lights.Ks < 0 || Lights.Ks > MaxLightPercent ||
        Lights.Sh < MinLightShininess || Lights.Sh > MaxLightShininess || Lights.M < 0 || Lights.M > MaxLightPercent)
        return false;
    for (const TrecLightUnion& L : Lights.Lights) {
        if (L.Intensity < -MaxLightIntensity || L.Intensity > MaxLightIntensity || L.Kind > MaxLightKind)
            return false;
        for (int I = 0; I < ShapeCount(L.Kind); ++I)
            if (!std::isfinite(L.Shape[I]))
                return false;
        if (L.Kind == LightKindSpot && !RealWithin(L.Shape[5], 0, MaxLightSpotSoftness))
            return false;
    }
    return true;
}

bool HoldLightsInEditorRange(TLightsAmb& Lights)
{
    bool Changed = false;
    Put(Lights.Dp, RealHeld(Lights.Dp, 0, MaxLightBumpDepth), Changed);
    Put(Lights.Ks, ClampedValue(Lights.Ks, 0, MaxLightPercent), Changed);
    Put(Lights.Sh, ClampedValue(Lights.Sh, MinLightShininess, MaxLightShininess), Changed);
    Put(Lights.M, ClampedValue(Lights.M, 0, MaxLightPercent), Changed);
    for (TrecLightUnion& L : Lights.Lights) {
        Put(L.Intensity, ClampedValue(L.Intensity, -MaxLightIntensity, MaxLightIntensity), Changed);
        Put(L.Kind, L.Kind > MaxLightKind ? LightKindAmbient : L.Kind, Changed);
        const double Limit = std::numeric_limits<double>::max();
        for (int I = 0; I < ShapeCount(L.Kind); ++I)
            Put(L.Shape[I], RealHeld(L.Shape[I], -Limit, Limit), Changed);
        if (L.Kind == LightKindSpot)
            Put(L.Shape[5], ClampedValue(L.Shape[5], 0.0, MaxLightSpotSoftness), Changed);
    }
    return Changed;
}
