// The clipboard's CF_TEXT after a header line, for the can-paste tests of
// the text value formats.
#pragma once

#include <string>

// Body := the clipboard text after Header when CF_TEXT is there and its
// first Header.size() bytes equal Header ignoring ASCII case.
bool ClipboardTextAfterHeader(const std::string& Header, std::string& Body);
