#include "ui/ole2_gradation.h"

#include "paint/gradation_object.h"
#include "platform/clipboard_formats.h"
#include "platform/qt/clipboard.h"
#include "ui/drop_source.h"
#include "ui/ole2_text_header.h"
#include "ui/ole_qt_bridge.h"

uint16_t CFZelbarGradation()
{
    static const uint16_t Format =
        RegisterClipboardFormatOrRaise("Zelbar Gradation", "uOLE2Gra: RegisterClipboardFormat Failed.");
    return Format;
}

TDataObjectGradation::TDataObjectGradation(const std::string& Text) : TTextDataObject(Text, GetFormats()) {}

TFormatEtcList TDataObjectGradation::GetFormats()
{
    return {MakeFormatEtc(CFZelbarGradation()), MakeFormatEtc(CF_TEXT)};
}

TClipboardText ReadClipboardGradation(std::string& Body)
{
    return ReadClipboardTextAfterHeader(GradationClipboardHeader, TDataObjectGradation::GetFormats(),
                                        MaxGradationTextBytes, Body);
}

bool ClipboardHasGradation()
{
    if (IsClipboardFormatAvailable(CFZelbarGradation()))
        return true;
    std::string Body;
    const TClipboardText Got = ReadClipboardTextAfterHeader(GradationClipboardHeader, TTextDataObject::GetFormats(),
                                                            MaxGradationTextBytes, Body);
    // A payload too large is offered, so that the paste can say why it refuses it.
    if (Got != TClipboardText::Read)
        return Got == TClipboardText::TooLarge;
    try {
        TGradationObject Gradation;
        return Gradation.StrToGradation(Body);
    } catch (...) {
        return false;
    }
}

void DragDropGradation(const std::string& Text)
{
    const auto Data = MakeCom<TDataObjectGradation>(GradationClipboardHeader + Text);
    const auto Source = MakeCom<TDropSource>();
    uint32_t Effect = 0;
    DoDragDrop(Data.Get(), Source.Get(), DROPEFFECT_COPY, Effect);
}
