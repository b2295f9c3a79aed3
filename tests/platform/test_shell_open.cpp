#include "platform/shell_open.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/test_support.h"

namespace {

// State letter of a process in /proc, or 0 when it is gone.
char ProcessState(long Pid)
{
    std::ifstream In("/proc/" + std::to_string(Pid) + "/stat");
    std::string Line;
    if (!std::getline(In, Line))
        return 0;
    size_t Paren = Line.rfind(')');
    return Paren + 2 < Line.size() ? Line[Paren + 2] : 0;
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
    for (int I = 0; I < 500 && (Text.size() < 4 || Text.substr(Text.size() - 4) != "end\n"); ++I) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Text = Tmp.Get("out");
    }
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
    const long Pid = std::stol(PidLine);
    char State = 'R';
    for (int I = 0; I < 500 && State != 0; ++I) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        State = ProcessState(Pid);
    }
    EXPECT_EQ(State, 0) << "child " << Pid << " left in state " << State;
    EXPECT_FALSE(SpawnDetached({"/nonexistent/tavro-no-such-program"}));
    EXPECT_FALSE(SpawnDetached({"tavro-no-such-program-in-path"}));
}
