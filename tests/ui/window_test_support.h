// Helpers of the window tests: mouse events at screen points and the work
// area.
#pragma once

#include "platform/qt/window_routines.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

// A left-button press, move (button held) or release at a screen point,
// sent to Target as the window system would after the press grabbed it.
inline void SendMouse(QWidget* Target, QEvent::Type Type, const QPoint& Global)
{
    const QPointF Local = Target->mapFromGlobal(QPointF(Global));
    const Qt::MouseButton Button = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent E(Type, Local, QPointF(Global), Button, Held, Qt::NoModifier);
    QApplication::sendEvent(Target, &E);
}

// The desktop work area as a Qt rectangle.
inline QRect WorkArea()
{
    TRect R;
    EXPECT_TRUE(GetWorkAreaRect(R));
    return QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
}
