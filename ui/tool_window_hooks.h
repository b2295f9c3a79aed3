// Application-wide notices for tool windows and toolbar buttons: the
// application activated or deactivated, a window shown, hidden, moved or
// changed in state, a window destroyed, a mouse move anywhere. One event
// filter on the application serves every registered procedure; it is
// installed with the first user that needs it and removed with the last.
#pragma once

#include <cstdint>

class QEvent;
class QObject;

enum THookProcCode : int32_t {
    // The application became active or inactive (Target: the application).
    hpAppActivateDeactivate = 0,
    // A window was shown, hidden, moved, resized or changed its state.
    hpWindowPosChanged = 1,
    // A window is about to go through a deferred delete (deleteLater);
    // windows deleted at once give no notice: their children go with them.
    hpDestroyWindow = 2,
    // The mouse moved over any widget.
    hpGetMessageMouseMove = 3,
};
// A set of THookProcCode, one bit each (1 << code).
using THookProcCodes = uint32_t;
constexpr THookProcCodes HookBit(THookProcCode C) { return 1u << C; }

// Target is the object the event went to (the application for activation
// changes, the window for position changes and destruction).
using THookProc = void (*)(int32_t Code, QObject* Target, QEvent* Event);

// A second install of the same procedure raises its use count and needs a
// second uninstall. RegisterOnly records the procedure without asking for
// any notice.
void InstallHookProc(THookProc Proc, THookProcCodes Codes, bool RegisterOnly);
void UninstallHookProc(THookProc Proc);

// What is installed now: the users of the notices of one code, and whether
// the application's event filter is in place.
int32_t HookUseCount(THookProcCode Code);
bool HookFilterInstalled();

// Whether the application is active as the last activation notice said
// (the application's state until one came).
bool ApplicationIsActive();
