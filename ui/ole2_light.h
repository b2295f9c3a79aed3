// Light sets on the clipboard: "Zelbar Light" and CF_TEXT, both the header
// line "Zelbar Light" CR LF followed by the light set's text.
#pragma once

#include "ui/data_object.h"
#include "ui/ole2_text_header.h"

#include <string>

inline constexpr char LightClipboardHeader[] = "Zelbar Light\r\n";
// A light set's text runs to some hundred bytes a light: a larger payload is
// no light set and is refused before it is read.
inline constexpr size_t MaxLightTextBytes = 65536;

// "Zelbar Light", registered on first use; EUserError "uOLE2Light:
// RegisterClipboardFormat Failed." when the platform gives no number.
uint16_t CFZelbarLight();

class TLightDataObject : public TTextDataObject {
public:
    // Text: the whole payload, header line included.
    explicit TLightDataObject(const std::string& Text);
    static TFormatEtcList GetFormats(); // "Zelbar Light", CF_TEXT
};

// What a paste of a light-set text that does not read whole says.
inline constexpr char LightPasteRefused[] = "クリップボードのライトは読み込めないため、貼り付けできません。";

// Body := the light-set text after the header, from "Zelbar Light" or else
// CF_TEXT, as UTF-8 (the blocks are CP932); TooLarge past MaxLightTextBytes.
TClipboardText ReadClipboardLight(std::string& Body);

// "Zelbar Light" on the clipboard, or CF_TEXT that begins with the header
// (in any case) followed by a light-set text.
bool ClipboardHasLight();
