#include "platform/message_box.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex HandlerLock;
TMessageBoxHandler CurrentHandler;

int StderrMessageBox(void*, const std::string& Text, const std::string& Caption, uint32_t Flags)
{
    std::fprintf(stderr, "[%s] %s\n", Caption.c_str(), Text.c_str());
    return DefaultMessageBoxAnswer(Flags);
}

} // namespace

int DefaultMessageBoxAnswer(uint32_t Flags)
{
    static const int OkButtons[] = {IDOK};
    static const int OkCancelButtons[] = {IDOK, IDCANCEL};
    static const int YesNoCancelButtons[] = {IDYES, IDNO, IDCANCEL};
    static const int YesNoButtons[] = {IDYES, IDNO};
    const int* Buttons = OkButtons;
    unsigned Count = 1;
    switch (Flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        Buttons = OkCancelButtons;
        Count = 2;
        break;
    case MB_YESNOCANCEL:
        Buttons = YesNoCancelButtons;
        Count = 3;
        break;
    case MB_YESNO:
        Buttons = YesNoButtons;
        Count = 2;
        break;
    case MB_RETRYCANCEL:
        // Nobody is there to fix what failed: retrying would never end.
        return IDCANCEL;
    default:
        break;
    }
    unsigned Default = (Flags & MB_DEFMASK) >> 8;
    return Default < Count ? Buttons[Default] : Buttons[0];
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler)
{
    std::lock_guard<std::mutex> G(HandlerLock);
    TMessageBoxHandler Previous = std::move(CurrentHandler);
    CurrentHandler = std::move(Handler);
    return Previous;
}

int MessageBox(void* Owner, const std::string& Text, const std::string& Caption, uint32_t Flags)
{
    TMessageBoxHandler Handler;
    {
        std::lock_guard<std::mutex> G(HandlerLock);
        Handler = CurrentHandler;
    }
    if (!Handler)
        return StderrMessageBox(Owner, Text, Caption, Flags);
    return Handler(Owner, Text, Caption, Flags);
}
