// Placement of windows by their frames, and positions kept in reach for any
// stored numbers.
#include "platform/qt/window_routines.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <climits>

TEST(WindowPlacement, KeepPosInAreaTakesAnyNumbersAndKeepsTheTopEdgeInside)
{
    const TRect A{100, 50, 1100, 850};
    struct TCase {
        int32_t X, Y, W, H, WantX, WantY;
    };
    const TCase Cases[] = {
        {INT_MIN, INT_MIN, 300, 200, 100 + 16 - 300, 50},
        {INT_MAX, INT_MAX, 300, 200, 1100 - 16, 850 - 16}, // X + W beyond 32 bits
        {INT_MIN, 60, INT_MIN, INT_MIN, 116, 60},          // a negative size counts as 0
        {INT_MIN, 60, INT_MAX, 10, 116 - INT_MAX, 60},
        {200, 49, 300, 200, 200, 50},                     // one pixel above: title bar pulled in
        {200, 850 - 16, 300, 200, 200, 850 - 16},
    };
    for (const TCase& C : Cases) {
        int32_t X = C.X, Y = C.Y;
        KeepPosInArea(A, X, Y, C.W, C.H);
        EXPECT_EQ(X, C.WantX) << C.X << "," << C.Y << " " << C.W << "x" << C.H;
        EXPECT_EQ(Y, C.WantY) << C.X << "," << C.Y << " " << C.W << "x" << C.H;
    }
    // An area lower than the reach: the top edge wins over the bottom.
    int32_t X = 0, Y = 5;
    KeepPosInArea(TRect{0, 10, 500, 20}, X, Y, 100, 100);
    EXPECT_EQ(Y, 10);
}

TEST(WindowPlacement, SetWindowBoundsPlacesATopLevelWindowByItsFrame)
{
    TRect A;
    ASSERT_TRUE(GetWorkAreaRect(A));
    QWidget Window;
    SetWindowBounds(&Window, A.Left, A.Top, 300, 200);
    Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    // The screen's window frame has margins: the client lies inside them.
    ASSERT_NE(Window.frameGeometry(), Window.geometry());
    EXPECT_EQ(Window.frameGeometry().topLeft(), QPoint(A.Left, A.Top));
    EXPECT_EQ(Window.size(), QSize(300, 200));

    // Moved again while shown: still by the frame. A child control by its
    // own rectangle.
    SetWindowBounds(&Window, A.Left + 40, A.Top + 30, 310, 210);
    EXPECT_EQ(Window.frameGeometry().topLeft(), QPoint(A.Left + 40, A.Top + 30));
    EXPECT_EQ(Window.size(), QSize(310, 210));
    QWidget Child(&Window);
    SetWindowBounds(&Child, 5, 6, 70, 80);
    EXPECT_EQ(Child.geometry(), QRect(5, 6, 70, 80));
}
