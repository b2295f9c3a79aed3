// Draw items on the clipboard: the document model's copy writes their text
// (first line "Tavro DrawItem") as CF_TEXT through the clipboard service,
// which this unit serves with the real clipboard.
#pragma once

#include "model/clipboard_service.h"

#include <cstddef>
#include <cstdint>

class TMemoryStream;

// "Tavro DrawItem", registered on first use; 0 when the platform gives no
// number (not reported).
uint16_t CFDrawItem();

// "Tavro DrawItem" on the clipboard, or CF_TEXT whose first bytes after any
// CR and LF are "Tavro DrawItem".
bool ClipboardHasDrawItem();
// The test on a CF_TEXT block of Size bytes: never reads past them.
bool BlockBeginsWithDrawItem(const void* Data, size_t Size);

// Hands the whole of Stream to the open, emptied clipboard under Format (a
// 0x2002 block). When the clipboard refuses, the error box "クリップボードに
// データを転送できません。" and the block is freed.
void SetClipboardStream(uint32_t Format, TMemoryStream& Stream);

// The core's clipboard over the real one.
class TClipboardServiceQt : public TClipboardService {
public:
    bool OpenClipboard() override;
    void EmptyClipboard() override;
    void SetClipboardStream(uint32_t Format, TMemoryStream& Stream) override;
    void CloseClipboard() override;
};
