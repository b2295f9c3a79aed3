// A floating toolbar at a real display (Xvfb, openbox, xdotool): a click on
// one of its buttons leaves the frame active, so the keys meant for the
// document still reach it; it goes and comes back with its minimised frame.
#include "e2e/x_session.h"
#include "platform/test_support.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace e2e;

TEST(FloatingToolbar, AClickLeavesTheFrameActiveAndMinimisingKeepsItOpen)
{
    TTempDir Tmp;
    std::filesystem::create_directories(Tmp / "data/tavro");
    // One toolbar "Zoom" (zoom out, zoom in) floating away from the frame;
    // the drag palette starts hidden.
    std::ofstream(Tmp / "data/tavro/tavro.ini", std::ios::binary)
        << "[4.0]\r\nFlags=1,1,1,0\r\n[TBar4.0]\r\n1=Zoom,1,29,28\r\n"
           "[TBar4.0N5A6F6F6D]\r\nRev=3\r\nVisible=1\r\nDockedTo=+\r\nFloatLeft=60\r\nFloatTop=300\r\n";

    TOwnedProcess Openbox;
    ASSERT_TRUE(StartWindowManager(Openbox));

    TOwnedProcess Tavro;
    StartProgram(Tavro, Tmp.Dir);
    ASSERT_TRUE(Tavro.P.waitForStarted(Deadline(10000)));
    const unsigned long Frame = WaitWindow("^タヴロ", 20000);
    ASSERT_NE(Frame, 0u) << "the frame never came";
    const unsigned long Bar = WaitWindow("^Zoom", 10000);
    ASSERT_NE(Bar, 0u) << "the floating toolbar \"Zoom\" never came";

    // The page: a white box that stays the same in two grabs in a row.
    const auto Page = [Frame] {
        QRect Box, Last;
        WaitFor([&] {
            Last = Box;
            Box = WhiteBox(Screen(), Geometry(Frame));
            return Box == Last && Box.width() > 50;
        }, 5000);
        return Box;
    };
    ASSERT_TRUE(ActivateAndSettle(Frame)) << DescribeDisplay();
    const QRect AtStart = Page();

    // The first button of the toolbar: zoom out. Its sizing frame is 4
    // pixels and its caption 15, its buttons 24 pixels square.
    const QRect G = Geometry(Bar);
    Click(G.topLeft() + QPoint(4 + 12, 4 + 15 + 12));
    ASSERT_TRUE(WaitFor([&] { return Page().width() < AtStart.width(); }, 5000))
        << "the toolbar's zoom-out button did not zoom out";
    const QRect AfterClick = Page();
    // Once the program has handled the click, the frame is (still) active.
    EXPECT_TRUE(WaitActiveAndSettled(Frame)) << "the toolbar took the activation: " << DescribeDisplay();
    // The keypad's minus zooms the document out once more.
    Key("KP_Subtract");
    ASSERT_TRUE(WaitFor([&] { return Page().width() < AfterClick.width(); }, 5000))
        << "the keypad's minus after the click did not reach the document";

    // With the property panel active, a click on the toolbar hands the
    // activation to the frame.
    const unsigned long Panel = WaitWindow("^図形のプロパティ", 5000);
    ASSERT_NE(Panel, 0u);
    ASSERT_TRUE(ActivateAndSettle(Panel)) << DescribeDisplay();
    const QRect BeforeSecond = Page();
    Click(G.topLeft() + QPoint(4 + 24 + 12, 4 + 15 + 12)); // zoom in
    ASSERT_TRUE(WaitFor([&] { return Page().width() > BeforeSecond.width(); }, 5000))
        << "the toolbar's zoom-in button did not zoom in";
    EXPECT_TRUE(WaitFor([] { return ActiveWindowName().startsWith("タヴロ"); }, 5000))
        << "the frame did not become active: the active window is \"" << ActiveWindowName().toStdString() << "\"";

    // Minimised, the frame takes its toolbar along; restored, it brings it
    // back, and quitting keeps it open for the next start.
    e2e::Run("xdotool", {"windowminimize", "--sync", QString::number(Frame)});
    EXPECT_TRUE(WaitWindowGone("^Zoom", 5000)) << "the toolbar stayed on the screen of a minimised frame";
    Activate(Frame);
    EXPECT_NE(WaitWindow("^Zoom", 5000), 0u) << "the toolbar did not come back with the frame";
    // The property panel, minimised along with the frame, comes back shown
    // without taking the frame down again.
    EXPECT_NE(WaitWindow("^図形のプロパティ", 5000), 0u) << "the property panel did not come back with the frame";
    EXPECT_TRUE(WaitActiveAndSettled(Frame)) << "the frame is not active after its restore: " << DescribeDisplay();
    Key("alt+F4");
    ASSERT_TRUE(WaitEnded(Tavro.P)) << "the program did not end; " << DescribeDisplay();
    std::ifstream In(Tmp / "data/tavro/tavro.ini", std::ios::binary);
    const std::string Ini((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    EXPECT_NE(Ini.find("[TBar4.0N5A6F6F6D]\r\nRev=3\r\nVisible=1\r\nDockedTo=+\r\n"), std::string::npos) << Ini;
    EXPECT_NE(Ini.find("1=Zoom,1,29,28\r\n"), std::string::npos) << Ini;
    Openbox.Stop();
}

} // namespace
