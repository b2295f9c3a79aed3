#include "ui/ole2_text_header.h"

#include "platform/clipboard_formats.h"
#include "platform/qt/clipboard.h"
#include "ui/data_object.h"
#include "ui/ole_qt_bridge.h"

#include <algorithm>
#include <cctype>

bool ClipboardTextAfterHeader(const std::string& Header, std::string& Body)
{
    if (!IsClipboardFormatAvailable(CF_TEXT))
        return false;
    TComPtr<IDataObject> Data;
    std::string Text;
    if (OleGetClipboard(Data) == S_OK)
        TDataObject::GetDataString(Data.Get(), Text, TTextDataObject::GetFormats());
    if (Text.size() < Header.size() ||
        !std::equal(Header.begin(), Header.end(), Text.begin(), [](unsigned char A, unsigned char B) {
            return std::tolower(A) == std::tolower(B);
        }))
        return false;
    Body = Text.substr(Header.size());
    return true;
}
