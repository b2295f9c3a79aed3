// The toolbar customisation at a real display (Xvfb, openbox, xdotool): a
// right click on the top dock, the menu's "ツールバーの設定(C)...", Enter in
// the dialog. OK without a change leaves every toolbar and the settings
// file as they were, byte for byte, however often it is done.
#include "e2e/x_session.h"
#include "platform/test_support.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace {

using namespace e2e;

std::string FileBytes(const std::filesystem::path& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}

// Every visible window of the program, named or not (a pop-up menu has no
// name to search for).
QList<unsigned long> ProgramWindows()
{
    QList<unsigned long> Ids;
    for (const QString& Id : Run("xdotool", {"search", "--onlyvisible", "--class", "^tavro$"}).split('\n', Qt::SkipEmptyParts))
        Ids.push_back(Id.toULong());
    return Ids;
}

TEST(ToolbarCustomize, OkWithoutAChangeLeavesTheSettingsFileByteForByte)
{
    TTempDir Tmp;
    const std::filesystem::path Ini = Tmp / "data/tavro/tavro.ini";

    TOwnedProcess Openbox;
    ASSERT_TRUE(StartWindowManager(Openbox));

    // One run of the program on the same settings: Act with its frame, then
    // the frame's close button (Alt+F4) and the end of the process.
    const auto RunProgram = [&](const std::function<void(unsigned long Frame)>& Act) {
        TOwnedProcess Tavro;
        StartProgram(Tavro, Tmp.Dir);
        ASSERT_TRUE(Tavro.P.waitForStarted(Deadline(10000)));
        const unsigned long Frame = WaitWindow("^タヴロ", 20000);
        ASSERT_NE(Frame, 0u) << "the frame never came";
        // The program shows its tool windows as it starts and may hand the
        // activation on as it gets it: the keys are sent once the frame has
        // it for good.
        ASSERT_TRUE(ActivateAndSettle(Frame)) << DescribeDisplay();
        Act(Frame);
        ASSERT_TRUE(ActivateAndSettle(Frame)) << DescribeDisplay();
        Key("alt+F4");
        ASSERT_TRUE(WaitEnded(Tavro.P)) << "the program did not end; " << DescribeDisplay();
    };

    // A first start writes the settings; the second writes what every
    // start after it writes (the first save moves the sections that other
    // closings rewrite).
    RunProgram([](unsigned long) {});
    RunProgram([](unsigned long) {});
    if (HasFatalFailure())
        return;
    const std::string Before = FileBytes(Ini);
    ASSERT_NE(Before.find("[TBar4.0]"), std::string::npos) << Before;

    // Twice OK in one run: each adds what the first one left behind.
    RunProgram([](unsigned long Frame) {
        // The top dock lies under the menu bar; its right end holds no
        // toolbar (the widest, 一般, ends half-way across).
        const QRect G = Geometry(Frame);
        const QPoint OnDock(G.right() - 60, G.top() + 50);
        for (int Round = 0; Round < 2; ++Round) {
            SCOPED_TRACE(Round);
            const QList<unsigned long> Known = ProgramWindows();
            Click(OnDock, 3);
            ASSERT_TRUE(WaitFor([&] {
                for (unsigned long Id : ProgramWindows())
                    if (!Known.contains(Id) && Geometry(Id).contains(OnDock + QPoint(-5, 5)))
                        return true;
                return false;
            }, 5000)) << "no menu came at the dock";
            // The menu takes the keys once the program has handled its own
            // showing of it.
            ASSERT_TRUE(Settled(Frame));
            // The last item: "ツールバーの設定(C)...".
            Key("Up");
            Key("Return");
            const unsigned long Dialog = WaitWindow("^ユーザー設定", 5000);
            ASSERT_NE(Dialog, 0u) << "the dialog did not come";
            ASSERT_TRUE(WaitActiveAndSettled(Dialog)) << DescribeDisplay();
            Key("Return");
            ASSERT_TRUE(WaitWindowGone("^ユーザー設定", 5000)) << "Enter did not close the dialog";
        }
    });
    if (HasFatalFailure())
        return;
    const std::string After = FileBytes(Ini);
    EXPECT_EQ(After, Before);

    // The next start reads the same toolbars and writes them back as such.
    RunProgram([](unsigned long) {});
    EXPECT_EQ(FileBytes(Ini), Before);
    Openbox.Stop();
}

} // namespace
