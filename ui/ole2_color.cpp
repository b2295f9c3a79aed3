#include "ui/ole2_color.h"

#include "foundation/colour_models.h"
#include "foundation/text_fields.h"
#include "platform/clipboard_formats.h"
#include "platform/qt/clipboard.h"
#include "ui/drop_source.h"
#include "ui/ole_qt_bridge.h"

#include <cctype>
#include <cstdio>

namespace {

std::string ColorText(int32_t Color)
{
    char S[8];
    std::snprintf(S, sizeof S, "#%06X", static_cast<unsigned>(SwapRB(Color)));
    return S;
}

} // namespace

uint16_t CFWexColor()
{
    static const uint16_t Format =
        RegisterClipboardFormatOrRaise("Wex_Color", "uOLE2Color : RegisterClipboardFormat Failed.");
    return Format;
}

int32_t ColorOfText(const std::string& Text)
{
    if (Text.empty())
        return -1;
    if (Text[0] == '#') {
        // As the colour is written: six digits, neither fewer nor more. "#"
        // alone or "#12" names no colour (read as hexadecimal it would be
        // black or a dark blue nobody meant).
        const std::string Digits = Text.substr(1);
        if (Digits.size() != 6)
            return -1;
        for (char C : Digits)
            if (!std::isxdigit(static_cast<unsigned char>(C)))
                return -1;
        return SwapRB(HexToInt(Digits));
    }
    int32_t V = 0;
    return TryStrToInt(Text, V) && V >= 0 && V <= 0xFFFFFF ? V : -1;
}

TOle2DataObjColorWex::TOle2DataObjColorWex(int32_t Color) : TTextDataObject(ColorText(Color), GetFormats()) {}

TFormatEtcList TOle2DataObjColorWex::GetFormats()
{
    return {MakeFormatEtc(CFWexColor()), MakeFormatEtc(CF_TEXT)};
}

int32_t TOle2DataObjColorWex::GetColor(IDataObject* Source)
{
    std::string Text;
    if (!GetDataString(Source, Text, GetFormats(), MaxColorTextBytes))
        return -1;
    return ColorOfText(Text);
}

bool ClipboardHasColor()
{
    if (IsClipboardFormatAvailable(CFWexColor()))
        return true;
    if (!IsClipboardFormatAvailable(CF_TEXT))
        return false;
    TComPtr<IDataObject> Data;
    std::string Text;
    if (OleGetClipboard(Data) != S_OK ||
        !TDataObject::GetDataString(Data.Get(), Text, TTextDataObject::GetFormats(), MaxColorTextBytes))
        return false;
    return ColorOfText(Text) >= 0;
}

void DragDropColor(int32_t Color)
{
    const auto Data = MakeCom<TOle2DataObjColorWex>(Color);
    const auto Source = MakeCom<TDropSource>();
    uint32_t Effect = 0;
    DoDragDrop(Data.Get(), Source.Get(), DROPEFFECT_COPY, Effect);
}
