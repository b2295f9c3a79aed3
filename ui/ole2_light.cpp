#include "ui/ole2_light.h"

#include "paint/light_set.h"
#include "platform/clipboard_formats.h"
#include "platform/qt/clipboard.h"
#include "ui/ole2_text_header.h"

uint16_t CFZelbarLight()
{
    static const uint16_t Format =
        RegisterClipboardFormatOrRaise("Zelbar Light", "uOLE2Light: RegisterClipboardFormat Failed.");
    return Format;
}

TLightDataObject::TLightDataObject(const std::string& Text) : TTextDataObject(Text, GetFormats()) {}

TFormatEtcList TLightDataObject::GetFormats()
{
    return {MakeFormatEtc(CFZelbarLight()), MakeFormatEtc(CF_TEXT)};
}

TClipboardText ReadClipboardLight(std::string& Body)
{
    return ReadClipboardTextAfterHeader(LightClipboardHeader, TLightDataObject::GetFormats(), MaxLightTextBytes,
                                        Body);
}

bool ClipboardHasLight()
{
    if (IsClipboardFormatAvailable(CFZelbarLight()))
        return true;
    std::string Body;
    const TClipboardText Got =
        ReadClipboardTextAfterHeader(LightClipboardHeader, TTextDataObject::GetFormats(), MaxLightTextBytes, Body);
    // A payload too large is offered, so that the paste can say why it refuses it.
    if (Got != TClipboardText::Read)
        return Got == TClipboardText::TooLarge;
    try {
        TLightsAmb Lights;
        return StrToLights(Lights, Body);
    } catch (...) {
        return false;
    }
}
