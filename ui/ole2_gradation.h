// Gradations on the clipboard and in drags: "Zelbar Gradation" and CF_TEXT,
// both the header line "Zelbar Gradation" CR LF followed by the gradation's
// comma text.
#pragma once

#include "ui/data_object.h"
#include "ui/ole2_text_header.h"

#include <string>

inline constexpr char GradationClipboardHeader[] = "Zelbar Gradation\r\n";
// A gradation holds at most one colour and one opacity stop per table slot,
// some thirty kilobytes of text: a larger payload is refused unread.
inline constexpr size_t MaxGradationTextBytes = 65536;

// "Zelbar Gradation", registered on first use; EUserError "uOLE2Gra:
// RegisterClipboardFormat Failed." when the platform gives no number.
uint16_t CFZelbarGradation();

class TDataObjectGradation : public TTextDataObject {
public:
    // Text: the whole payload, header line included.
    explicit TDataObjectGradation(const std::string& Text);
    static TFormatEtcList GetFormats(); // "Zelbar Gradation", CF_TEXT
};

// What a paste of a gradation text that does not read whole says.
inline constexpr char GradationPasteRefused[] = "クリップボードのグラデーションは読み込めないため、貼り付けできません。";

// Body := the gradation text after the header, from "Zelbar Gradation" or
// else CF_TEXT; TooLarge past MaxGradationTextBytes.
TClipboardText ReadClipboardGradation(std::string& Body);

// "Zelbar Gradation" on the clipboard, or CF_TEXT that begins with the
// header (in any case) followed by a gradation text.
bool ClipboardHasGradation();
// Drags the gradation text Text (without header), allowing a copy only.
void DragDropGradation(const std::string& Text);
