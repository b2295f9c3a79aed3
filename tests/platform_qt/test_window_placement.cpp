// Placement of windows by their frames, and positions kept in reach for any
// stored numbers.
#include "platform/qt/window_routines.h"
#include "window_wait.h"

#include <QGuiApplication>
#include <QMargins>
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
    ASSERT_TRUE(BecomesExposed(&Window));
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

TEST(WindowPlacement, ClientRectInFrameTakesTheFrameOffEachSide)
{
    struct TCase {
        TRect Frame;
        QMargins Margins;
        TRect Want;
    };
    const TCase Cases[] = {
        {{230, 0, 1400, 700}, {1, 20, 1, 5}, {231, 20, 1399, 695}}, // openbox's frame
        {{230, 0, 1400, 700}, {}, {230, 0, 1400, 700}},             // not framed (yet)
        {{10, 10, 20, 30}, {8, 25, 8, 5}, {18, 35, 18, 35}},        // frame thicker than the window
        {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {4, 4, 4, 4}, {INT_MIN + 4, INT_MIN + 4, INT_MAX - 4, INT_MAX - 4}},
    };
    for (const TCase& C : Cases) {
        const TRect R = ClientRectInFrame(C.Frame, C.Margins);
        EXPECT_EQ(R, C.Want) << C.Frame.Left << "," << C.Frame.Top << " " << R.Left << "," << R.Top << ","
                             << R.Right << "," << R.Bottom;
    }
}

TEST(WindowPlacement, SetWindowFrameBoundsFitsTheWholeWindowOnceFramed)
{
    TRect A;
    ASSERT_TRUE(GetWorkAreaRect(A));
    const QRect Whole(A.Left + 20, A.Top + 10, 300, 200);
    QWidget Window;
    SetWindowFrameBounds(&Window, Whole.left(), Whole.top(), Whole.width(), Whole.height());
    Window.show();
    ASSERT_TRUE(BecomesExposed(&Window));
    EXPECT_TRUE(WaitUntil([&] { return Window.frameGeometry() == Whole; }));
    const QMargins M = Window.windowHandle()->frameMargins();
    ASSERT_FALSE(M.isNull());
    EXPECT_EQ(Window.size(), Whole.size().shrunkBy(M));

    // Framed already: at once.
    const QRect Moved = Whole.translated(15, 5).adjusted(0, 0, 10, 20);
    SetWindowFrameBounds(&Window, Moved.left(), Moved.top(), Moved.width(), Moved.height());
    EXPECT_EQ(Window.frameGeometry(), Moved);
}

TEST(WindowPlacement, ALaterPlacementSupersedesAPendingWholeWindowOne)
{
    TRect A;
    ASSERT_TRUE(GetWorkAreaRect(A));
    // As a stored placement (client size) restored over the first one: the
    // client keeps that size, no frame taken off it.
    QWidget Window;
    SetWindowFrameBounds(&Window, A.Left, A.Top, 300, 200);
    SetWindowBounds(&Window, A.Left + 5, A.Top + 6, 280, 190);
    Window.show();
    ASSERT_TRUE(BecomesExposed(&Window));
    QTest::qWait(200);
    EXPECT_EQ(Window.size(), QSize(280, 190));
    EXPECT_EQ(Window.frameGeometry().topLeft(), QPoint(A.Left + 5, A.Top + 6));

    // Resized by anyone else before the frame is known: left as it is.
    QWidget Other;
    SetWindowFrameBounds(&Other, A.Left, A.Top, 300, 200);
    Other.resize(250, 150);
    Other.show();
    ASSERT_TRUE(BecomesExposed(&Other));
    QTest::qWait(200);
    EXPECT_EQ(Other.size(), QSize(250, 150));
}
