// Progress of long conversions (palette reduction, PNG writing, JPEG
// reading): called with the sender the caller gave, a percentage, a message
// and a cancel flag that the handler sets to stop the work. An empty function
// means no progress is reported.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

using TConvertProgressEvent =
    std::function<void(void* Sender, int32_t Percent, const std::string& Msg, bool& Cancel)>;
