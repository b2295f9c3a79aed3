// Light sets on the clipboard: "Zelbar Light" and CF_TEXT, both the header
// line "Zelbar Light" CR LF followed by the light set's text.
#pragma once

#include "ui/data_object.h"

#include <string>

inline constexpr char LightClipboardHeader[] = "Zelbar Light\r\n";

// "Zelbar Light", registered on first use; EUserError "uOLE2Light:
// RegisterClipboardFormat Failed." when the platform gives no number.
uint16_t CFZelbarLight();

class TLightDataObject : public TTextDataObject {
public:
    // Text: the whole payload, header line included.
    explicit TLightDataObject(const std::string& Text);
    static TFormatEtcList GetFormats(); // "Zelbar Light", CF_TEXT
};

// "Zelbar Light" on the clipboard, or CF_TEXT that begins with the header
// (in any case) followed by a light-set text.
bool ClipboardHasLight();
