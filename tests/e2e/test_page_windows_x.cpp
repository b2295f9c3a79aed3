// Page windows and the palette at a real display: the program under Xvfb with
// openbox, on the built-in wide layout of the property panel's pages. A tab
// dragged by the mouse onto the canvas opens a window wholly on the screen,
// and every such window tells the window manager its least size
// (WM_NORMAL_HINTS), which a resize by the window manager keeps to. Only X
// input and the X server's own records are used.
#include "e2e/x_session.h"
#include "platform/test_support.h"

#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace e2e;

constexpr int WindowTimeout = 20000;
// The roll-up windows' own frame and caption.
constexpr int kFrame = 4;
constexpr int kCaption = 18;

// The least size the window asked the window manager for; empty without one.
QSize MinimumHint(unsigned long Id)
{
    const QString Out = e2e::Run("xprop", {"-id", QString::number(Id), "WM_NORMAL_HINTS"});
    const QRegularExpressionMatch M =
        QRegularExpression("program specified minimum size: (\\d+) by (\\d+)").match(Out);
    return M.hasMatch() ? QSize(M.captured(1).toInt(), M.captured(2).toInt()) : QSize();
}

class PageWindowsX : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(Tmp / "data/tavro");
        ASSERT_TRUE(StartWindowManager(Openbox));
        StartProgram(Tavro, Tmp.Dir, {}, Tmp / "work");
    }

    void TearDown() override
    {
        Tavro.Stop();
        Openbox.Stop();
    }

    TTempDir Tmp;
    TOwnedProcess Openbox;
    TOwnedProcess Tavro;
};

TEST_F(PageWindowsX, ATabDraggedOntoTheCanvasOpensWhollyOnTheScreenAndWindowsKeepTheirLeastSize)
{
    const unsigned long Frame = WaitWindow("^タヴロ", WindowTimeout);
    ASSERT_NE(Frame, 0u) << "the frame never came";
    const unsigned long Panel = WaitWindow("^図形のプロパティ", WindowTimeout);
    ASSERT_NE(Panel, 0u) << "the page window never came";
    const unsigned long Palette = WaitWindow("^ドラッグパレット", WindowTimeout);
    ASSERT_NE(Palette, 0u) << "the colour palette never came";
    const QRect Screen(0, 0, 1600, 1200);
    // The wide layout: one page window as wide as the screen at its bottom.
    ASSERT_TRUE(WaitFor([&] { return Geometry(Panel).width() > 1500; }, 5000)) << Geometry(Panel).width();
    // The drag below starts on a tab the program has laid out.
    ASSERT_TRUE(Settled(Panel));

    // The palette and the window holding the text page (which needs the
    // most width of all pages) ask for at least their least client sizes.
    const QSize PaletteMin = MinimumHint(Palette);
    EXPECT_GE(PaletteMin.width(), 222 + 2 * kFrame);
    EXPECT_GE(PaletteMin.height(), 160 + 2 * kFrame + kCaption);
    const QSize PanelMin = MinimumHint(Panel);
    std::printf("least sizes: palette %d x %d, page window %d x %d\n", PaletteMin.width(), PaletteMin.height(),
                PanelMin.width(), PanelMin.height());
    EXPECT_GE(PanelMin.width(), 297 + 2 * kFrame);
    EXPECT_GE(PanelMin.height(), 196 + 2 * kFrame + kCaption);

    // 一般, the first tab, dragged onto the canvas in the middle of the screen.
    const QRect P = Geometry(Panel);
    const QPoint Tab(P.x() + kFrame + 16, P.y() + kFrame + kCaption + 10);
    const QList<unsigned long> Known = VisibleWindows();
    Drag(Tab, QPoint(807, 500));
    const unsigned long Torn = WaitNewWindow(Known, 5000);
    ASSERT_NE(Torn, 0u) << "no window was torn off";
    EXPECT_TRUE(WaitFor([&] { return !MinimumHint(Torn).isEmpty(); }, 3000));
    QRect T;
    // Placed once shown; then it stays.
    EXPECT_TRUE(WaitFor(
        [&] {
            T = FrameGeometry(Torn);
            return Screen.contains(T);
        },
        3000))
        << T.x() << "," << T.y() << " " << T.width() << " x " << T.height();
    EXPECT_LE(T.width(), Screen.width() / 2);
    const QSize TornMin = MinimumHint(Torn);
    EXPECT_GE(TornMin.width(), 160 + 2 * kFrame);
    EXPECT_GE(TornMin.height(), 76 + 2 * kFrame + kCaption);

    // The window manager sizing the windows to almost nothing stops at the
    // least sizes.
    for (const auto& [W, Min] :
         {std::pair{Torn, QSize(160, 76)}, {Panel, QSize(297, 196)}, {Palette, QSize(222, 160)}}) {
        const QSize Least = Min + QSize(2 * kFrame, 2 * kFrame + kCaption);
        e2e::Run("xdotool", {"windowsize", QString::number(W), "20", "20"});
        QSize Now;
        EXPECT_TRUE(WaitFor(
            [&] {
                Now = Geometry(W).size();
                return Now.width() >= Least.width() && Now.height() >= Least.height();
            },
            3000))
            << WindowName(W).toStdString() << ": " << Now.width() << " x " << Now.height() << " below "
            << Least.width() << " x " << Least.height();
    }
}

} // namespace
