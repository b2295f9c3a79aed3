// The modifier keys and the beep of the window system, each behind one
// routine that tests can redirect.
#pragma once

#include <Qt>

#include <cstdint>
#include <functional>

// Modifier sets as the windows pass them around: Shift 1, Alt 2, Ctrl 4.
using TShiftState = uint8_t;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;

TShiftState ShiftStateFromModifiers(Qt::KeyboardModifiers Modifiers);

// The modifier keys held now (QGuiApplication::queryKeyboardModifiers),
// or what the installed reader says.
TShiftState GetAsyncShiftState();
using TShiftStateReader = std::function<TShiftState()>;
// An empty reader restores the keyboard's; returns the one replaced.
TShiftStateReader SetShiftStateReader(TShiftStateReader Reader);

// The system's alert sound (QApplication::beep), or the installed handler.
void MessageBeep(uint32_t Type);
using TMessageBeepHandler = std::function<void(uint32_t Type)>;
TMessageBeepHandler SetMessageBeepHandler(TMessageBeepHandler Handler);
