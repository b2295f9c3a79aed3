// The message-box hub: the core asks its questions here, and the user
// interface installs a handler that shows them. Without one, the question is
// written to stderr and answered with its default button.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

constexpr uint32_t MB_OK = 0x0;
constexpr uint32_t MB_OKCANCEL = 0x1;
constexpr uint32_t MB_YESNOCANCEL = 0x3;
constexpr uint32_t MB_YESNO = 0x4;
constexpr uint32_t MB_RETRYCANCEL = 0x5;
constexpr uint32_t MB_TYPEMASK = 0xF;
constexpr uint32_t MB_ICONHAND = 0x10;
constexpr uint32_t MB_ICONSTOP = MB_ICONHAND;
constexpr uint32_t MB_ICONERROR = MB_ICONHAND;
constexpr uint32_t MB_ICONQUESTION = 0x20;
constexpr uint32_t MB_ICONEXCLAMATION = 0x30;
constexpr uint32_t MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr uint32_t MB_ICONASTERISK = 0x40;
constexpr uint32_t MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr uint32_t MB_ICONMASK = 0xF0;
constexpr uint32_t MB_DEFBUTTON1 = 0x000;
constexpr uint32_t MB_DEFBUTTON2 = 0x100;
constexpr uint32_t MB_DEFBUTTON3 = 0x200;
constexpr uint32_t MB_DEFMASK = 0xF00;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDRETRY = 4;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

using TMessageBoxHandler =
    std::function<int(void* Owner, const std::string& Text, const std::string& Caption, uint32_t Flags)>;

// Installs Handler (an empty one restores the default) and returns the one
// it replaces.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler);

int MessageBox(void* Owner, const std::string& Text, const std::string& Caption, uint32_t Flags);

// Text as a box shows it: any run without white space longer than
// MaxMessageRun characters (a file name, mostly) keeps its head and its tail
// around "…", and the whole text is cut the same way to MaxMessageText
// characters, so that no path however long makes a box unreadable or slow to
// lay out. MessageBox applies it before any handler sees the text.
constexpr size_t MaxMessageRun = 160;
constexpr size_t MaxMessageText = 2000;
std::string ElideMessageText(const std::string& Text);

// The button a box of these flags answers when nobody presses one: the
// MB_DEFBUTTONn-th of its buttons, the first when there is no such button.
int DefaultMessageBoxAnswer(uint32_t Flags);

// While a hold is on, MessageBox shows no box: the user interface holds the
// boxes while it paints, for a modal box opened inside a paint would paint
// again from within it. A box asked for meanwhile is answered with its
// default button and kept (without its owner, which may be gone by then; a
// box already kept is not kept twice); when the last hold ends, the kept
// boxes go to the poster, which has them shown once the paint is over (the
// user interface posts them to its event loop). Without a poster they are
// shown as the hold ends. Holds nest.
class TMessageBoxHold {
public:
    TMessageBoxHold();
    ~TMessageBoxHold();
    TMessageBoxHold(const TMessageBoxHold&) = delete;
    TMessageBoxHold& operator=(const TMessageBoxHold&) = delete;
};
bool MessageBoxesHeld();

// Runs Show later, outside whatever is under way now.
using TMessageBoxPoster = std::function<void(std::function<void()> Show)>;
// Installs Poster (an empty one: none) and returns the one it replaces.
TMessageBoxPoster SetMessageBoxPoster(TMessageBoxPoster Poster);
