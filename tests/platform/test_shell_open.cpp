#include "platform/shell_open.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/test_support.h"

namespace {

// Polls Done every 10 ms for up to 5 s.
template <class F>
bool WaitFor(F Done)
{
    for (int I = 0; I < 500 && !Done(); ++I)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Done();
}

} // namespace

TEST(ShellOpen, SplitCommandLine)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("  \"/opt/my browser/run\"   -new %1  "), (V{"/opt/my browser/run", "-new", "%1"}));
    EXPECT_EQ(SplitCommandLine("a\"b c\"d \"\" e\tf"), (V{"ab cd", "", "e", "f"}));
    EXPECT_EQ(SplitCommandLine("prog \"unclosed arg"), (V{"prog", "unclosed arg"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(ShellOpen, HandlerRecordsInsteadOfStarting)
{
    std::vector<std::vector<std::string>> Calls;
    TSpawnHandler Previous = SetSpawnHandler([&](const std::vector<std::string>& Argv) {
        Calls.push_back(Argv);
        return true;
    });
    EXPECT_TRUE(ShellExecuteOpen("https://example.org/a b?c=\"d\";e"));
    EXPECT_FALSE(ShellExecuteOpen(""));
    EXPECT_FALSE(SpawnDetached({}));
    SetSpawnHandler(Previous);
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_EQ(Calls[0], (std::vector<std::string>{"xdg-open", "https://example.org/a b?c=\"d\";e"}));
}

TEST(ShellOpen, SpawnPassesArgumentsUntouchedAndLeavesNoZombie)
{
    TTempDir Tmp;
    const std::string Hostile = "x\"; rm -rf ~; \" $(touch " + Tmp / "pwned" + ") `id`";
    // sh is the program under test's child here, given its script as data.
    ASSERT_TRUE(SpawnDetached({"sh", "-c", "{ echo $$; printf '%s\\n' \"$@\"; echo end; } > \"$0\"",
                               Tmp / "out", "a b", Hostile}));
    std::string Text;
    WaitFor([&] { return (Text = Tmp.Get("out")).ends_with("end\n"); });
    std::istringstream In(Text);
    std::string PidLine, A1, A2;
    std::getline(In, PidLine);
    std::getline(In, A1);
    std::getline(In, A2);
    EXPECT_EQ(A1, "a b");
    EXPECT_EQ(A2, Hostile);
    EXPECT_FALSE(std::filesystem::exists(Tmp / "pwned"));
    // The child is reaped: its /proc entry goes away rather than staying a zombie.
    ASSERT_FALSE(PidLine.empty());
    EXPECT_TRUE(WaitFor([&] { return !std::filesystem::exists("/proc/" + PidLine); })) << "child " << PidLine;
    EXPECT_FALSE(SpawnDetached({"/nonexistent/tavro-no-such-program"}));
    EXPECT_FALSE(SpawnDetached({"tavro-no-such-program-in-path"}));
}

TEST(ShellOpen, AWatchedProgramToldHowItEnded)
{
    // Each exit status reaches the watcher, a signal as -1; a program that
    // cannot start is told by the result alone.
    for (const auto& [Script, Want] : std::vector<std::pair<std::string, int>>{
             {"exit 0", 0}, {"exit 3", 3}, {"exit 255", 255}, {"kill -TERM $$", -1}}) {
        std::atomic<int> Status{-2};
        ASSERT_TRUE(SpawnWatched({"sh", "-c", Script}, [&](int S) { Status = S; })) << Script;
        EXPECT_TRUE(WaitFor([&] { return Status != -2; })) << Script;
        EXPECT_EQ(Status, Want) << Script;
    }
    bool Called = false;
    EXPECT_FALSE(SpawnWatched({"tavro-no-such-program-in-path"}, [&](int) { Called = true; }));
    EXPECT_FALSE(SpawnWatched({}, [&](int) { Called = true; }));
    // A spawn handler stands in for the program: it never ends.
    const TSpawnHandler Previous = SetSpawnHandler([](const std::vector<std::string>&) { return true; });
    EXPECT_TRUE(SpawnWatched({"sh", "-c", "exit 3"}, [&](int) { Called = true; }));
    SetSpawnHandler(Previous);
    EXPECT_FALSE(Called);
}
