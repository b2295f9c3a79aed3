// A person at an X display, played by xdotool, xclip and screen grabs: the
// helpers of the end-to-end session. Every action is real X input to the
// program under test; nothing reaches into it.
#pragma once

#include "slow_machine.h"

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace e2e {

// Every deadline of the session derives from the shared factor of a loaded
// machine (Deadline).
using ::Deadline;
using ::SlowMachineFactor;

// Runs a helper program to its end; its standard output, trimmed. (Its
// deadline is Deadline(TimeoutMs).)
QString Run(const QString& Program, const QStringList& Args, int TimeoutMs = 10000);
// The window list the root window holds under Property ("_NET_CLIENT_LIST",
// "_NET_CLIENT_LIST_STACKING"): the managed windows, empty when none.
QList<unsigned long> RootWindowList(const char* Property);

// Polls Check every 25 ms until it is true or Deadline(TimeoutMs) has
// passed; true when it came true. TimeoutMs is what the step may take on an
// idle machine. The only way the session waits for the program.
bool WaitFor(const std::function<bool()>& Check, int TimeoutMs);

// Waits until Process, started by the session, has ended (it may have
// already); false when it is still running after Deadline(TimeoutMs).
bool WaitEnded(QProcess& Process, int TimeoutMs = 10000);

// The visible top-level window whose name matches the regular expression
// Name (xdotool's), or 0 after Deadline(TimeoutMs).
unsigned long WaitWindow(const QString& Name, int TimeoutMs);
unsigned long FindWindow(const QString& Name);
bool WaitWindowGone(const QString& Name, int TimeoutMs);
QString WindowName(unsigned long Id);
// Every visible top-level window, and the first one not among Known that
// comes within TimeoutMs (0 if none).
QList<unsigned long> VisibleWindows();
unsigned long WaitNewWindow(const QList<unsigned long>& Known, int TimeoutMs);
QString ActiveWindowName();
// The window's inside on the screen.
QRect Geometry(unsigned long Id);
// The whole window on the screen: its inside grown by the window manager's
// frame (_NET_FRAME_EXTENTS; none when the window has no frame).
QRect FrameGeometry(unsigned long Id);

// Waits until the program that owns the top-level window Id has handled
// every X event sent to it before the call, and what handling them set
// going (posted events, Qt's deferred focus changes): its GUI thread
// sleeps and has not run for a while. False when it did not come to rest
// within the deadline. For a window of this process, the events are
// handled here (QGuiApplication::sync()).
bool Settled(unsigned long Id, int TimeoutMs = 5000);

// Waits until the window Id is the active one, its program has handled
// everything sent to it so far (Settled), and it is still active: a
// program may hand the activation on as it takes it (to a window it
// remembers, or one it shows). False when Id did not become or stay active.
bool WaitActiveAndSettled(unsigned long Id, int TimeoutMs = 5000);
// Activates the window Id, then WaitActiveAndSettled.
bool ActivateAndSettle(unsigned long Id, int TimeoutMs = 5000);

// The visible top-level windows (named ones) and the active one, for a
// failure's message.
std::string DescribeDisplay();

void Key(const QString& Keys);
// Text typed key by key. A character the keyboard map lacks has xdotool
// change the map for it, and openbox then takes its key bindings anew (see
// StartWindowManager): what the tests type stays within the map.
void Type(const QString& Text);
void Click(QPoint At, int Button = 1);
void Drag(QPoint From, QPoint To);
// A drag up to its last point, the button still down: MouseUp ends it.
void DragHold(QPoint From, QPoint To);
void MouseUp();
void Activate(unsigned long Id);

// The whole screen, grabbed from the X server.
QImage Screen();

// The centre of the tool palette's glyph Resource (":/tools/NAME") inside
// Area of Screen, drawn on a tool button at the picture's own size or as a
// 16 x 16 icon, standing out from the button's face; nullopt when it is
// not there.
std::optional<QPoint> FindIcon(const QImage& Screen, const QString& Resource, QRect Area);

// The bounding box of the largest run of pure white inside Area: the
// empty part of the page as the document window shows it.
QRect WhiteBox(const QImage& Screen, QRect Area);

// Pixels that differ between A and B by more than Tolerance in a channel.
int DifferentPixels(const QImage& A, const QImage& B, int Tolerance);

// A helper process the session started and ends itself, by its own id.
class TOwnedProcess {
public:
    ~TOwnedProcess() { Stop(); }
    QProcess P;
    void Stop();
};

// Starts the window manager (openbox) in WM and waits until it is at work:
// it has taken a window of this process into its list of managed windows
// and out again, so that what is shown next is managed, and it has taken
// its key bindings anew after the display's first key (a lone Shift sent
// here), so that its own combinations sent later reach it. A start that
// fails (the window manager ends at once) is tried again. False when no
// start came to work within the deadline.
bool StartWindowManager(TOwnedProcess& WM);

// A test suite at the display with a window manager: openbox starts after
// Base's own suite set-up, before the first test, and ends after the last.
template <class Base = ::testing::Test>
class TWithWindowManager : public Base {
protected:
    static void SetUpTestSuite()
    {
        Base::SetUpTestSuite();
        WindowManager = std::make_unique<TOwnedProcess>();
        if (!StartWindowManager(*WindowManager))
            ADD_FAILURE() << "the window manager (openbox) did not come to work";
    }
    static void TearDownTestSuite()
    {
        WindowManager.reset();
        Base::TearDownTestSuite();
    }

private:
    static inline std::unique_ptr<TOwnedProcess> WindowManager;
};

// The program under test kept to a sandbox: its settings, data, cache,
// runtime and temporary folders (config, data, cache, run, tmp) under
// Sandbox, made when missing, the runtime one private to its owner as the
// X libraries demand.
void MakeSandbox(const std::filesystem::path& Sandbox);
// The environment that keeps a program to Sandbox, at the X display.
QProcessEnvironment SandboxEnvironment(const std::filesystem::path& Sandbox);
// Starts the program under test ($TAVRO_PROGRAM) with Args in Program, kept
// to Sandbox (made when missing), in WorkDir (made when missing; the test's
// own when empty); its output goes with the test's own. Does not wait.
void StartProgram(TOwnedProcess& Program, const std::filesystem::path& Sandbox, const QStringList& Args = {},
                  const std::filesystem::path& WorkDir = {});

} // namespace e2e
