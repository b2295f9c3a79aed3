// The pop-up track bar of a number edit as the pointer uses it: pressed on
// the edit's track-bar button, moved a little, released.
#pragma once

#include "ui/edit_track_bar_wex.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace test_support {

inline void SendButtonMouse(QWidget* W, QEvent::Type Type, QPoint Pos, Qt::MouseButtons Held)
{
    QMouseEvent E(Type, Pos, W->mapToGlobal(Pos), Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Held,
                  Qt::NoModifier);
    QApplication::sendEvent(W, &E);
}

// Presses the track-bar button of Edit at its centre: the pop-up has its own
// size (not the screen's), stands inside the screen, and, when UnderPointer,
// with the thumb of the value under the pointer. Moving the pointer 2 pixels
// either way changes the value by at most what 2 pixels of the bar mean
// (give or take the half pixel the thumb stands on, and one step of the
// scale); the release closes it.
inline void ExpectPopupFollowsThePointer(TCustomEditTrackBarWex& Edit, bool UnderPointer = true)
{
    QWidget* B = Edit.EllipsisButton();
    const QPoint At = B->rect().center();
    const QPoint Mouse = B->mapToGlobal(At);
    SendButtonMouse(B, QEvent::MouseButtonPress, At, Qt::LeftButton);
    TfrmPopup* P = Edit.Popup();
    ASSERT_TRUE(P);
    TTrackBarWexChild* T = P->TrackBar();
    const QRect Screen = Edit.screen()->availableGeometry();
    EXPECT_TRUE(Screen.contains(P->geometry())) << P->x() << "," << P->y() << " " << P->width();
    EXPECT_LE(P->width(), std::max(400, Edit.width())) << "the pop-up spans " << P->width() << " pixels";
    const int ThumbX = T->mapToGlobal(QPoint(T->PositionX(T->value()), 0)).x();
    if (UnderPointer)
        EXPECT_EQ(ThumbX, Mouse.x());
    double Low = 0;
    double High = 0;
    Edit.TrackBarRange(Low, High);
    const double PerPixel = (High - Low) / std::max(1, T->PositionX(T->maximum()) - T->PositionX(T->minimum()));
    const double Before = Edit.Position();
    for (const int Dx : {2, -2, 0}) {
        SendButtonMouse(B, QEvent::MouseMove, At + QPoint(Dx, 0), Qt::LeftButton);
        EXPECT_LE(std::fabs(Edit.Position() - Before), 2.5 * PerPixel + Edit.LineSize)
            << "a move of " << Dx << " pixels took " << Before << " to " << Edit.Position();
    }
    SendButtonMouse(B, QEvent::MouseButtonRelease, At, Qt::NoButton);
    EXPECT_EQ(Edit.Popup(), nullptr);
}

} // namespace test_support
