// The real program at a display (Xvfb, openbox, xdotool) with its registry
// stand-in a named pipe and its settings file a link to another: it never
// waits on them. One box tells of both before the frame, the frame comes
// once it is closed, and at the end a box says the settings could not be
// written; both pipes are still pipes, and nothing ever opened them.
#include "e2e/x_session.h"
#include "platform/fifo_watch.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <sys/stat.h>

namespace {

using namespace e2e;

constexpr int WindowTimeout = 20000;

bool IsPipe(const std::string& Path)
{
    struct stat St {};
    return ::lstat(Path.c_str(), &St) == 0 && S_ISFIFO(St.st_mode);
}

// The box that Return closes, once it has the keys.
void CloseBox(const char* What)
{
    const unsigned long Box = WaitWindow("^エラー", WindowTimeout);
    ASSERT_NE(Box, 0u) << "no box told of " << What << "; " << DescribeDisplay();
    ASSERT_TRUE(WaitActiveAndSettled(Box)) << DescribeDisplay();
    Key("Return");
    ASSERT_TRUE(WaitWindowGone("^エラー", 5000)) << DescribeDisplay();
}

TEST(FilesNotRegularX, PipesForTheRegistryAndTheSettingsNeverHoldTheProgramUp)
{
    TTempDir Tmp;
    MakeSandbox(Tmp.Dir);
    std::filesystem::create_directories(Tmp / "config/tavro");
    std::filesystem::create_directories(Tmp / "data/tavro");
    // A reader that waited in open() would be let go by the watch, which
    // notes it: the test cannot hang on them.
    TFifoWatch Registry(Tmp / "config/tavro/registry.ini");
    TFifoWatch Settings(Tmp / "settings-pipe");
    std::filesystem::create_symlink(Settings.Path(), Tmp / "data/tavro/tavro.ini");

    TOwnedProcess Openbox;
    ASSERT_TRUE(StartWindowManager(Openbox));
    TOwnedProcess Tavro;
    StartProgram(Tavro, Tmp.Dir);
    ASSERT_TRUE(Tavro.P.waitForStarted(Deadline(10000)));

    CloseBox("the registry stand-in and the settings");
    const unsigned long Frame = WaitWindow("^タヴロ", WindowTimeout);
    ASSERT_NE(Frame, 0u) << "the frame never came; " << DescribeDisplay();
    ASSERT_TRUE(WaitActiveAndSettled(Frame)) << DescribeDisplay();
    EXPECT_FALSE(Registry.ReaderBlocked()) << "the start waited on the registry stand-in";
    EXPECT_FALSE(Settings.ReaderBlocked()) << "the start waited on the settings";

    Key("alt+F4");
    CloseBox("the settings that could not be written");
    ASSERT_TRUE(WaitEnded(Tavro.P)) << "the program did not end; " << DescribeDisplay();
    EXPECT_EQ(Tavro.P.exitCode(), 0);
    EXPECT_TRUE(IsPipe(Registry.Path())) << "the registry stand-in was written over";
    EXPECT_TRUE(IsPipe(Settings.Path())) << "the settings' pipe was written over";
    EXPECT_TRUE(std::filesystem::is_symlink(Tmp / "data/tavro/tavro.ini")) << "the settings' link was replaced";
    EXPECT_FALSE(Registry.ReaderBlocked());
    EXPECT_FALSE(Settings.ReaderBlocked());
    Openbox.Stop();
}

} // namespace
