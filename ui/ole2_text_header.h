// The clipboard's text after a header line, for the text value formats
// (light sets, gradations): the can-paste tests and the pastes themselves.
#pragma once

#include "ui/data_object.h"

#include <cstddef>
#include <string>

enum class TClipboardText { Missing, Read, TooLarge };

// Body := the text of the first of Formats the clipboard serves, after
// Header, when its first Header.size() bytes equal Header ignoring ASCII
// case (Missing otherwise). A text of more than MaxBytes bytes is TooLarge
// and is not converted. The CP932 block comes back as UTF-8.
TClipboardText ReadClipboardTextAfterHeader(const std::string& Header, const TFormatEtcList& Formats,
                                            size_t MaxBytes, std::string& Body);
// The message that refuses a clipboard block of more than MaxBytes bytes.
std::string ClipboardTooLargeMessage(size_t MaxBytes);

// The same over CF_TEXT alone, without a size limit: True when Read.
bool ClipboardTextAfterHeader(const std::string& Header, std::string& Body);
