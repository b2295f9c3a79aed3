// Colours on the clipboard and in drags: "Wex_Color" and CF_TEXT, both the
// text "#RRGGBB" (upper-case hexadecimal, red first) of a 0x00BBGGRR colour.
#pragma once

#include "ui/data_object.h"

#include <cstdint>
#include <string>

// "Wex_Color", registered on first use; EUserError "uOLE2Color :
// RegisterClipboardFormat Failed." when the platform gives no number.
uint16_t CFWexColor();

// The colour a text names: "#" and exactly six hexadecimal digits (either
// case), or a decimal integer; -1 for anything else and for a value outside
// 0 .. 0xFFFFFF.
int32_t ColorOfText(const std::string& Text);
// No colour text is longer than this (a sign, ten digits and some slack):
// a longer block names no colour and is not even converted.
inline constexpr size_t MaxColorTextBytes = 256;

class TOle2DataObjColorWex : public TTextDataObject {
public:
    explicit TOle2DataObjColorWex(int32_t Color);
    static TFormatEtcList GetFormats(); // "Wex_Color", CF_TEXT

    // The colour of Source's text ("Wex_Color" first, then CF_TEXT); -1 when
    // it has none or its text is longer than MaxColorTextBytes.
    static int32_t GetColor(IDataObject* Source);
};

// "Wex_Color" on the clipboard, or CF_TEXT that names a colour.
bool ClipboardHasColor();
// Drags Color, allowing a copy only.
void DragDropColor(int32_t Color);
