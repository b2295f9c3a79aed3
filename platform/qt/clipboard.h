// The platform's clipboard functions over QClipboard. Between OpenClipboard
// and CloseClipboard the formats given to SetClipboardData (which needs an
// EmptyClipboard first in the same opening) are gathered, and CloseClipboard
// puts them on QClipboard in one piece, each rendered to its MIME types only
// when asked. Blocks from GetClipboardData belong to the clipboard and are
// freed when it is emptied or closed.
#pragma once

#include "platform/global_memory.h"

#include <cstdint>
#include <QByteArray>

// False while the clipboard is already open or there is no application.
bool OpenClipboard(void* Owner);
bool CloseClipboard();
// Empties QClipboard at once; False when the clipboard is not open.
bool EmptyClipboard();
// Takes Data over (it is freed; the caller must not use it again) and gives
// a non-nil value. Nil, with Data still the caller's, when the clipboard is
// not open and emptied, Data is no block or Format cannot travel.
HGLOBAL SetClipboardData(uint16_t Format, HGLOBAL Data);
// A moveable block of Format's bytes; nil when the clipboard is not open or
// does not hold the format.
HGLOBAL GetClipboardData(uint16_t Format);
bool IsClipboardFormatAvailable(uint16_t Format);
// The clipboard's plain text as it stands, in UTF-8, without the CP932
// rendering GetClipboardData(CF_TEXT) makes of all of it: for looking at the
// first bytes of the text whenever the clipboard changes, which must not cost
// the conversion of a text of many megabytes. Empty when there is none. The
// array shares the clipboard's own bytes: nothing is copied, nothing kept.
QByteArray ClipboardPlainTextUtf8();
