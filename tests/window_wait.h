// Waiting in the window tests for what the window system does in its own
// time: a window made active, the keys going to a control, a window shown.
// Such a step arrives as queued window-system events, and what they set
// going (timers, posted events) comes a varying number of event rounds
// later; on a loaded machine many more. A test waits for the state it then
// asserts and never asserts it right after a fixed round of events or a
// fixed sleep. On failure the assertions say which window is active and
// which widget has the keys.
#pragma once

#include "slow_machine.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QString>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <string>

// What a step may take on an idle machine, unless a caller names its own.
constexpr int WindowStepMs = 2000;

// Processes events until Check holds or Deadline(IdleMs) has passed; whether
// it holds.
inline bool WaitUntil(const std::function<bool()>& Check, int IdleMs = WindowStepMs)
{
    return QTest::qWaitFor(Check, Deadline(IdleMs));
}

// Handles every event that is due now and what handling them sets going at
// once (posted events, zero-time timers, the window system's queued
// activations and exposures, deferred deletes), until a round of the event
// loop finds nothing to do. Timers due later are not waited for.
inline void HandleDueEvents()
{
    QAbstractEventDispatcher* Dispatcher = QAbstractEventDispatcher::instance();
    // A round that always finds work (a window repainting itself without
    // end) is not waited out.
    for (int Round = 0; Round < 1000; ++Round) {
        const bool Worked = Dispatcher && Dispatcher->processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!Worked)
            break;
    }
}

// A widget for a failure's message: class, object name and title.
inline std::string DescribeWidget(const QWidget* W)
{
    if (!W)
        return "none";
    std::string S = W->metaObject()->className();
    if (!W->objectName().isEmpty())
        S += " \"" + W->objectName().toStdString() + "\"";
    if (W->isWindow() && !W->windowTitle().isEmpty())
        S += " titled \"" + W->windowTitle().toStdString() + "\"";
    return S;
}

// The active window and the widget with the keys, for a failure's message.
inline std::string DescribeActivation()
{
    return "active window: " + DescribeWidget(QApplication::activeWindow()) +
           "; keys with: " + DescribeWidget(QApplication::focusWidget());
}

// Waits until Window is shown on the screen (exposed).
inline ::testing::AssertionResult BecomesExposed(QWidget* Window, int IdleMs = WindowStepMs)
{
    if (QTest::qWaitForWindowExposed(Window, Deadline(IdleMs)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << DescribeWidget(Window) << " was not shown on the screen";
}

// The waits below first handle what is due (HandleDueEvents): an
// activation asked for earlier and still queued would otherwise be taken
// for the state waited for, or come after it.

// Waits until Window (a top-level window) is the active one.
inline ::testing::AssertionResult BecomesActive(const QWidget* Window, int IdleMs = WindowStepMs)
{
    HandleDueEvents();
    if (WaitUntil([&] { return QApplication::activeWindow() == Window; }, IdleMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << DescribeWidget(Window) << " did not become active; "
                                         << DescribeActivation();
}

// Asks the window system to make Window active, then BecomesActive.
inline ::testing::AssertionResult ActivateAndWait(QWidget* Window, int IdleMs = WindowStepMs)
{
    Window->activateWindow();
    return BecomesActive(Window, IdleMs);
}

// Waits until Widget has the keys (its window active, and it, or the
// widget it hands its focus to, the focus widget there).
inline ::testing::AssertionResult GetsKeys(const QWidget* Widget, int IdleMs = WindowStepMs)
{
    HandleDueEvents();
    if (WaitUntil([&] { return Widget->hasFocus(); }, IdleMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << DescribeWidget(Widget) << " did not get the keys; "
                                         << DescribeActivation();
}

// Waits until Widget no longer has the keys.
inline ::testing::AssertionResult LosesKeys(const QWidget* Widget, int IdleMs = WindowStepMs)
{
    HandleDueEvents();
    if (WaitUntil([&] { return !Widget->hasFocus(); }, IdleMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << DescribeWidget(Widget) << " kept the keys; " << DescribeActivation();
}
