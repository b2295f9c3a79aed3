#include "ui/ole2_text_header.h"

#include "platform/clipboard_formats.h"
#include "platform/qt/clipboard.h"
#include "ui/ole_qt_bridge.h"

#include <algorithm>
#include <cctype>

TClipboardText ReadClipboardTextAfterHeader(const std::string& Header, const TFormatEtcList& Formats,
                                            size_t MaxBytes, std::string& Body)
{
    if (std::none_of(Formats.begin(), Formats.end(),
                     [](const FORMATETC& F) { return IsClipboardFormatAvailable(F.cfFormat); }))
        return TClipboardText::Missing;
    TComPtr<IDataObject> Data;
    if (OleGetClipboard(Data) != S_OK)
        return TClipboardText::Missing;
    const auto IsHeader = [&Header](const std::string& Text) {
        return Text.size() >= Header.size() &&
               std::equal(Header.begin(), Header.end(), Text.begin(), [](unsigned char A, unsigned char B) {
                   return std::tolower(A) == std::tolower(B);
               });
    };
    std::string Text;
    if (!TDataObject::GetDataString(Data.Get(), Text, Formats, MaxBytes)) {
        // The header is ASCII: it is looked for in the block's own bytes, so
        // that a payload too large to convert is still told from foreign text.
        std::string Head(Header.size(), '\0');
        return TDataObject::GetDataBuffer(Data.Get(), Head.data(), Head.size(), Formats) && IsHeader(Head)
                   ? TClipboardText::TooLarge
                   : TClipboardText::Missing;
    }
    if (!IsHeader(Text))
        return TClipboardText::Missing;
    Body = Text.substr(Header.size());
    return TClipboardText::Read;
}

bool ClipboardTextAfterHeader(const std::string& Header, std::string& Body)
{
    return ReadClipboardTextAfterHeader(Header, TTextDataObject::GetFormats(), SIZE_MAX, Body) ==
           TClipboardText::Read;
}

std::string ClipboardTooLargeMessage(size_t MaxBytes)
{
    return "クリップボードのデータが大きすぎるため、貼り付けできません。\r\n(" + std::to_string(MaxBytes) +
           "バイトまで)";
}
