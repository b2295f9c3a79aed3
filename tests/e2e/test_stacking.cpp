// Page windows over the frame at a real display: the program under Xvfb with
// openbox, started with a stored layout of the property panel's pages. The
// windows the layout brings back must stay above the frame, as windows torn
// off during a session do, also when the frame is clicked. Only X input and
// the window manager's own lists are used.
#include "e2e/x_session.h"
#include "platform/test_support.h"

#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

using namespace e2e;

constexpr int WindowTimeout = 20000;

// The managed windows from the bottom of the stack to its top.
QList<unsigned long> StackingOrder() { return RootWindowList("_NET_CLIENT_LIST_STACKING"); }

// Where Id is in the stack (higher is nearer the top); -1 when not there.
qsizetype StackPlace(unsigned long Id)
{
    return StackingOrder().indexOf(Id);
}

class Stacking : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(Tmp / "data/tavro");
        ASSERT_TRUE(StartWindowManager(Openbox));
    }

    void TearDown() override
    {
        Tavro.Stop();
        Openbox.Stop();
    }

    void Start(const std::string& DispPage)
    {
        Tmp.Put("data/tavro/tavro.ini", "[4.0]\r\nDispPage=" + DispPage + "\r\n");
        StartProgram(Tavro, Tmp.Dir, {}, Tmp / "work");
    }

    TTempDir Tmp;
    TOwnedProcess Openbox;
    TOwnedProcess Tavro;
};

TEST_F(Stacking, ARestoredPageWindowStaysAboveTheFrame)
{
    Start("600,300,600,300,0,0,1,1,1,2,1,3,1,4,1,1,-1");
    const unsigned long Frame = WaitWindow("^タヴロ", WindowTimeout);
    ASSERT_NE(Frame, 0u) << "the frame never came";
    const unsigned long Panel = WaitWindow("^図形のプロパティ", WindowTimeout);
    ASSERT_NE(Panel, 0u) << "the page window never came";
    // The program settles: the page window ends above the frame.
    EXPECT_TRUE(WaitFor([&] { return StackPlace(Panel) > StackPlace(Frame) && StackPlace(Frame) >= 0; }, 5000))
        << "frame at " << StackPlace(Frame) << ", page window at " << StackPlace(Panel);
    // The colour palette, shown at start-up as well, likewise.
    const unsigned long Palette = WaitWindow("^ドラッグパレット", WindowTimeout);
    if (!Palette)
        for (unsigned long W : StackingOrder())
            std::printf("window %lx %s\n", W, qPrintable(WindowName(W)));
    ASSERT_NE(Palette, 0u) << "the colour palette never came";
    EXPECT_TRUE(WaitFor([&] { return StackPlace(Palette) > StackPlace(Frame); }, 5000))
        << "frame at " << StackPlace(Frame) << ", colour palette at " << StackPlace(Palette);
    // It stays where the layout put it: read once the program has come to
    // rest from its start.
    ASSERT_TRUE(Settled(Frame));
    const QRect Page = FrameGeometry(Panel);
    EXPECT_EQ(Geometry(Panel).size(), QSize(600, 300));

    // A click on the frame's title bar, away from every other window,
    // raises the frame: the page window stays above it.
    const QRect F = FrameGeometry(Frame), Inside = Geometry(Frame);
    QPoint At(F.x() + 40, (F.y() + Inside.y()) / 2);
    for (unsigned long W : VisibleWindows())
        if (W != Frame && FrameGeometry(W).contains(At))
            At.setX(std::max(At.x(), FrameGeometry(W).right() + 20));
    ASSERT_LT(At.x(), F.right()) << "no free place on the frame's title bar";
    Click(At);
    EXPECT_TRUE(WaitFor([] { return ActiveWindowName().startsWith("タヴロ"); }, 3000))
        << "the click did not reach the frame: " << ActiveWindowName().toStdString();
    // Once the program has handled the click and the window manager what
    // the program asked of it, the windows stand above the frame.
    EXPECT_TRUE(Settled(Frame));
    EXPECT_TRUE(WaitFor([&] { return StackPlace(Panel) > StackPlace(Frame); }, 3000))
        << "the page window went under the frame after a click on it";
    EXPECT_TRUE(WaitFor([&] { return StackPlace(Palette) > StackPlace(Frame); }, 3000))
        << "the colour palette went under the frame after a click on it";
    EXPECT_EQ(FrameGeometry(Panel), Page);
}

} // namespace
