#include "platform/message_box.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

std::mutex HandlerLock;
TMessageBoxHandler CurrentHandler;
TMessageBoxPoster CurrentPoster;

// A box asked for while a hold was on.
struct TKeptBox {
    std::string Text;
    std::string Caption;
    uint32_t Flags;
    friend bool operator==(const TKeptBox&, const TKeptBox&) = default;
};
int HoldDepth = 0;
std::vector<TKeptBox> KeptBoxes;
bool ShowPosted = false;

// Shows the kept boxes, each once, in the order they were asked for.
void ShowKeptBoxes()
{
    std::vector<TKeptBox> Boxes;
    {
        std::lock_guard<std::mutex> G(HandlerLock);
        ShowPosted = false;
        Boxes.swap(KeptBoxes);
    }
    for (const TKeptBox& B : Boxes)
        MessageBox(nullptr, B.Text, B.Caption, B.Flags);
}

int StderrMessageBox(void*, const std::string& Text, const std::string& Caption, uint32_t Flags)
{
    std::fprintf(stderr, "[%s] %s\n", Caption.c_str(), Text.c_str());
    return DefaultMessageBoxAnswer(Flags);
}

bool IsContinuationByte(char C)
{
    return (static_cast<unsigned char>(C) & 0xC0) == 0x80;
}

// Byte offsets of the first Count characters of S[Begin, End) counted
// forwards, or of the last Count counted backwards; never inside a character.
size_t SkipForward(const std::string& S, size_t Begin, size_t End, size_t Count)
{
    size_t I = Begin;
    for (size_t N = 0; I < End && N < Count; ++N)
        do
            ++I;
        while (I < End && IsContinuationByte(S[I]));
    return I;
}

size_t SkipBackward(const std::string& S, size_t Begin, size_t End, size_t Count)
{
    size_t I = End;
    for (size_t N = 0; I > Begin && N < Count; ++N)
        do
            --I;
        while (I > Begin && IsContinuationByte(S[I]));
    return I;
}

size_t CharCount(const std::string& S, size_t Begin, size_t End)
{
    size_t N = 0;
    for (size_t I = Begin; I < End; ++I)
        N += !IsContinuationByte(S[I]);
    return N;
}

// S[Begin, End) cut to Max characters: a third from its head, the rest from
// its tail (where a file's own name is).
void AppendElided(std::string& Out, const std::string& S, size_t Begin, size_t End, size_t Max)
{
    if (End - Begin <= Max || CharCount(S, Begin, End) <= Max) {
        Out.append(S, Begin, End - Begin);
        return;
    }
    const size_t Head = (Max - 1) / 3;
    const size_t HeadEnd = SkipForward(S, Begin, End, Head);
    const size_t TailBegin = SkipBackward(S, HeadEnd, End, Max - 1 - Head);
    Out.append(S, Begin, HeadEnd - Begin);
    Out += "…";
    Out.append(S, TailBegin, End - TailBegin);
}

bool IsSpace(char C)
{
    return C == ' ' || C == '\t' || C == '\r' || C == '\n';
}

} // namespace

std::string ElideMessageText(const std::string& Text)
{
    std::string Runs;
    Runs.reserve(std::min(Text.size(), MaxMessageText * 4));
    for (size_t I = 0; I < Text.size();) {
        size_t End = I;
        if (IsSpace(Text[I])) {
            while (End < Text.size() && IsSpace(Text[End]))
                ++End;
            Runs.append(Text, I, End - I);
        } else {
            while (End < Text.size() && !IsSpace(Text[End]))
                ++End;
            AppendElided(Runs, Text, I, End, MaxMessageRun);
        }
        I = End;
    }
    std::string Out;
    AppendElided(Out, Runs, 0, Runs.size(), MaxMessageText);
    return Out;
}

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

TMessageBoxHold::TMessageBoxHold()
{
    std::lock_guard<std::mutex> G(HandlerLock);
    ++HoldDepth;
}

TMessageBoxHold::~TMessageBoxHold()
{
    TMessageBoxPoster Poster;
    {
        std::lock_guard<std::mutex> G(HandlerLock);
        if (--HoldDepth > 0 || KeptBoxes.empty() || ShowPosted)
            return;
        ShowPosted = true;
        Poster = CurrentPoster;
    }
    try {
        if (Poster)
            Poster(&ShowKeptBoxes);
        else
            ShowKeptBoxes();
    } catch (...) {
        // A destructor cannot raise: the boxes stay kept for the next hold's end.
        std::lock_guard<std::mutex> G(HandlerLock);
        ShowPosted = false;
    }
}

bool MessageBoxesHeld()
{
    std::lock_guard<std::mutex> G(HandlerLock);
    return HoldDepth > 0;
}

TMessageBoxPoster SetMessageBoxPoster(TMessageBoxPoster Poster)
{
    std::lock_guard<std::mutex> G(HandlerLock);
    TMessageBoxPoster Previous = std::move(CurrentPoster);
    CurrentPoster = std::move(Poster);
    return Previous;
}

int MessageBox(void* Owner, const std::string& Text, const std::string& Caption, uint32_t Flags)
{
    TMessageBoxHandler Handler;
    {
        std::lock_guard<std::mutex> G(HandlerLock);
        if (HoldDepth > 0) {
            TKeptBox Box{Text, Caption, Flags};
            if (std::find(KeptBoxes.begin(), KeptBoxes.end(), Box) == KeptBoxes.end())
                KeptBoxes.push_back(std::move(Box));
            return DefaultMessageBoxAnswer(Flags);
        }
        Handler = CurrentHandler;
    }
    const std::string Shown = ElideMessageText(Text);
    if (!Handler)
        return StderrMessageBox(Owner, Shown, Caption, Flags);
    return Handler(Owner, Shown, Caption, Flags);
}
