// The hand-off's local server: one name per user and display, and a request
// counts as taken only when the server answers so (a name held by a program
// that never answers is tried in the shell's hand-off tests).
#include "platform/qt/dde_server.h"
#include "platform/test_support.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

std::string Service(const char* Tag)
{
    return std::string("TAVROTEST") + Tag + std::to_string(QCoreApplication::applicationPid());
}

// DdeClientExecute from another thread, the way another process would send,
// while this thread's event loop serves.
bool SendFromElsewhere(const QString& Name, const std::string& Text, int TimeoutMs = 3000)
{
    std::atomic<int> Result{-1};
    std::thread Client([&] { Result = DdeClientExecute(Name, Text, TimeoutMs) ? 1 : 0; });
    while (Result < 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    Client.join();
    return Result == 1;
}

void Settle(int Ms)
{
    for (int I = 0; I < Ms / 5; ++I) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

struct TServer {
    TDdeServerConv Conv;
    std::vector<std::string> Taken;
    TServer()
    {
        Conv.OnExecuteMacro = [this](TDdeServerConv*, const std::string& Text) { Taken.push_back(Text); };
    }
};

class DdeServerTest : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("XDG_RUNTIME_DIR"); }
    TSavedEnv Runtime{"XDG_RUNTIME_DIR"}, Display{"DISPLAY"};
};

} // namespace

TEST(DdeServerName, DisplayKey)
{
    const std::pair<const char*, const char*> Cases[] = {
        {":0", "0"},          {":0.1", "0"},     {"unix:1", "1"}, {"localhost:10.0", "localhost_10"},
        {"wayland-0", "wayland-0"}, {"", ""}, {"a/b:2", "a_b_2"},
    };
    for (const auto& [Display, Key] : Cases)
        EXPECT_EQ(DdeDisplayKey(Display).toStdString(), Key) << Display;
}

TEST_F(DdeServerTest, NamedPerUserAndDisplayUnderTheRuntimeFolder)
{
    const QString Uid = QString::number(::getuid());
    EXPECT_EQ(DdeServerName("TAVRO", ":1.0"), "TAVRO-" + Uid + "-1");
    setenv("DISPLAY", ":7", 1);
    EXPECT_EQ(DdeServerName("TAVRO"), "TAVRO-" + Uid + "-7");
    TTempDir Tmp;
    setenv("XDG_RUNTIME_DIR", Tmp.Dir.c_str(), 1);
    const QString Name = DdeServerName("TAVRO", ":2");
    EXPECT_EQ(Name, QString::fromStdString(Tmp / "tavro-TAVRO-") + Uid + "-2");
    TServer Server;
    ASSERT_TRUE(Server.Conv.Start(Name));
    EXPECT_TRUE(std::filesystem::exists(Name.toStdString()));
}

TEST_F(DdeServerTest, TwoDisplaysServeTwoInstances)
{
    const std::string S = Service("disp");
    TServer First, Second;
    ASSERT_NE(DdeServerName(S, ":0"), DdeServerName(S, ":1"));
    ASSERT_TRUE(First.Conv.Start(DdeServerName(S, ":0")));
    ASSERT_TRUE(Second.Conv.Start(DdeServerName(S, ":1")));
    EXPECT_TRUE(SendFromElsewhere(DdeServerName(S, ":1"), "[open(\"b\")]"));
    Settle(50);
    EXPECT_TRUE(First.Taken.empty());
    EXPECT_EQ(Second.Taken, std::vector<std::string>{"[open(\"b\")]"});
}

TEST_F(DdeServerTest, TakenOnlyWhenTheServerAnswers)
{
    const QString Name = DdeServerName(Service("ack"), ":0");
    TServer Server;
    ASSERT_TRUE(Server.Conv.Start(Name));
    EXPECT_TRUE(SendFromElsewhere(Name, "[open(\"a\")]\r\nsecond"));
    Settle(50);
    EXPECT_EQ(Server.Taken, (std::vector<std::string>{"[open(\"a\")]\r\nsecond"}));

    // Refused requests: too long, or holding the end marker itself.
    Server.Taken.clear();
    EXPECT_FALSE(SendFromElsewhere(Name, std::string(TDdeServerConv::MaxExecuteBytes + 1, 'x')));
    EXPECT_FALSE(SendFromElsewhere(Name, std::string("a\0b", 3)));
    Settle(50);
    EXPECT_TRUE(Server.Taken.empty());
}

TEST_F(DdeServerTest, ARequestWhoseSenderGaveUpIsDropped)
{
    const QString Name = DdeServerName(Service("late"), ":0");
    TServer Server;
    ASSERT_TRUE(Server.Conv.Start(Name));
    // The server's loop does not run while the sender waits: a hung instance.
    EXPECT_FALSE(DdeClientExecute(Name, "[open(\"a\")]", 200));
    Settle(100);
    EXPECT_TRUE(Server.Taken.empty());
}
