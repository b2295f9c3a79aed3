#include "platform/qt/qt_services.h"

#include <QApplication>
#include <QGuiApplication>

#include <utility>

namespace {

TShiftStateReader& ShiftReader()
{
    static TShiftStateReader Reader;
    return Reader;
}

TMessageBeepHandler& BeepHandler()
{
    static TMessageBeepHandler Handler;
    return Handler;
}

} // namespace

TShiftState ShiftStateFromModifiers(Qt::KeyboardModifiers Modifiers)
{
    TShiftState State = 0;
    if (Modifiers & Qt::ShiftModifier)
        State |= ssShift;
    if (Modifiers & Qt::AltModifier)
        State |= ssAlt;
    if (Modifiers & Qt::ControlModifier)
        State |= ssCtrl;
    return State;
}

TShiftState GetAsyncShiftState()
{
    if (ShiftReader())
        return ShiftReader()();
    return ShiftStateFromModifiers(QGuiApplication::queryKeyboardModifiers());
}

TShiftStateReader SetShiftStateReader(TShiftStateReader Reader)
{
    return std::exchange(ShiftReader(), std::move(Reader));
}

void MessageBeep(uint32_t Type)
{
    if (BeepHandler())
        BeepHandler()(Type);
    else
        QApplication::beep();
}

TMessageBeepHandler SetMessageBeepHandler(TMessageBeepHandler Handler)
{
    return std::exchange(BeepHandler(), std::move(Handler));
}
