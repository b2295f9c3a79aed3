#include "ui/draw_item_clipboard.h"

#include "foundation/platform_wrappers.h"
#include "foundation/stream_text.h"
#include "model/page.h"
#include "platform/clipboard_formats.h"
#include "platform/qt/clipboard.h"

#include <cstring>

uint16_t CFDrawItem()
{
    static const uint16_t Format = RegisterClipboardFormat(gcstrCFDrawItem);
    return Format;
}

bool BlockBeginsWithDrawItem(const void* Data, size_t Size)
{
    const auto* B = static_cast<const char*>(Data);
    size_t At = 0;
    while (At < Size && (B[At] == 13 || B[At] == 10))
        ++At;
    const size_t N = std::strlen(gcstrCFDrawItem);
    return Size - At >= N && std::memcmp(B + At, gcstrCFDrawItem, N) == 0;
}

bool ClipboardHasDrawItem()
{
    if (CFDrawItem() != 0 && IsClipboardFormatAvailable(CFDrawItem()))
        return true;
    // The marker and the line breaks before it are ASCII, which the CP932
    // rendering of the text keeps byte for byte: the UTF-8 text answers the
    // same without converting a text that may run to many megabytes.
    const QByteArray Text = ClipboardPlainTextUtf8();
    return BlockBeginsWithDrawItem(Text.constData(), static_cast<size_t>(Text.size()));
}

void SetClipboardStream(uint32_t Format, TMemoryStream& Stream)
{
    HGLOBAL H = nullptr;
    StreamToGlobal(Stream, H, GMEM_MOVEABLE | GMEM_DDESHARE);
    if (H && Format <= 0xFFFF && ::SetClipboardData(static_cast<uint16_t>(Format), H))
        return;
    ErrorMessageBox("クリップボードにデータを転送できません。");
    GlobalFreeQ(H);
}

bool TClipboardServiceQt::OpenClipboard()
{
    return ::OpenClipboard(nullptr);
}

void TClipboardServiceQt::EmptyClipboard()
{
    ::EmptyClipboard();
}

void TClipboardServiceQt::SetClipboardStream(uint32_t Format, TMemoryStream& Stream)
{
    ::SetClipboardStream(Format, Stream);
}

void TClipboardServiceQt::CloseClipboard()
{
    ::CloseClipboard();
}
