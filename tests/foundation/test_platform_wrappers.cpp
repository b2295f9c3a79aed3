#include "foundation/platform_wrappers.h"

#include "foundation/user_error.h"
#include "platform/message_box.h"
#include "platform/registry_store.h"
#include "platform/shell_open.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/test_support.h"

namespace {

using Argv = std::vector<std::string>;

// A private registry file for each test, and a recording spawner.
class PlatformWrappersStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", Tmp.Dir.c_str(), 1);
        RegistryReload();
        FPreviousSpawn = SetSpawnHandler([this](const Argv& A) {
            Spawned.push_back(A);
            return A[0] == "xdg-open" ? XdgOpenWorks : OthersWork;
        });
    }
    void TearDown() override
    {
        SetSpawnHandler(FPreviousSpawn);
        Saved.reset();
        RegistryReload();
    }
    void RegisterHtml(const std::string& Command)
    {
        SetRegistryVal(HKEY_CLASSES_ROOT, ".html", "", "htmlfile");
        SetRegistryVal(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command", "", Command);
    }
    std::string Reg(HKEY Root, const std::string& Key, const std::string& Name)
    {
        std::string S = "stale";
        GetRegistryVal(Root, Key, Name, S);
        return S;
    }

    TTempDir Tmp;
    std::optional<TSavedEnv> Saved{std::in_place, "XDG_CONFIG_HOME"};
    TSpawnHandler FPreviousSpawn;
    bool XdgOpenWorks = true, OthersWork = true;
    std::vector<Argv> Spawned;
};

const HGLOBAL Bogus = reinterpret_cast<HGLOBAL>(uintptr_t(0x12340));

// Checks that a test frees every block it allocates.
struct PlatformWrappers : ::testing::Test {
    const size_t Start = GlobalBlockCount();
    void TearDown() override { EXPECT_EQ(GlobalBlockCount(), Start); }
};

} // namespace

TEST_F(PlatformWrappers, GlobalAllocQAndFreeQ)
{
    HGLOBAL H = GlobalAllocQ(GHND, 64);
    ASSERT_NE(H, nullptr);
    GlobalFreeQ(H);
    EXPECT_EQ(H, nullptr);
    GlobalFreeQ(H); // nothing for 0
    EXPECT_EQ(GlobalBlockCount(), Start);
    EXPECT_EQ(MessageOf<EUserError>([] { GlobalAllocQ(GMEM_FIXED, SIZE_MAX); }), "メモリが足りません");
    // A handle that is no block: the error code in decimal, and H zeroed all the same.
    HGLOBAL Bad = Bogus;
    EXPECT_EQ(MessageOf<EUserError>([&] { GlobalFreeQ(Bad); }), "GlobalFreeQ: GlobalFreeFailed(6)");
    EXPECT_EQ(Bad, nullptr);
}

TEST_F(PlatformWrappers, GlobalEnsureSize)
{
    HGLOBAL H = nullptr;
    GlobalEnsureSize(H, 100);
    ASSERT_NE(H, nullptr);
    EXPECT_EQ(GlobalLock(H), H); // a fixed block
    HGLOBAL Kept = H;
    GlobalEnsureSize(H, 80);
    GlobalEnsureSize(H, 100);
    EXPECT_EQ(H, Kept);
    GlobalEnsureSize(H, 120);
    EXPECT_EQ(GlobalSize(H), 120u);
    // A moveable block too small is replaced by a fixed one.
    HGLOBAL M = GlobalAllocQ(GMEM_MOVEABLE, 10);
    GlobalEnsureSize(M, 20);
    EXPECT_TRUE(GlobalLock(M) == M && GlobalSize(M) == 20u);
    // The new allocation is checked: the old block is gone and H is 0.
    EXPECT_EQ(MessageOf<EUserError>([&] { GlobalEnsureSize(H, SIZE_MAX); }), "メモリが足りません");
    EXPECT_EQ(H, nullptr);
    GlobalFreeQ(M);
}

TEST_F(PlatformWrappers, SubCopyHandleAndSizeSafe)
{
    HGLOBAL M = GlobalAllocQ(GMEM_MOVEABLE, 5);
    std::memcpy(GlobalLock(M), "hello", 5);
    GlobalUnlock(M);
    HGLOBAL C = SubCopyHandle(M);
    EXPECT_EQ(GlobalLock(C), C);
    EXPECT_EQ(std::string(static_cast<const char*>(C), GlobalSize(C)), "hello");
    EXPECT_EQ(GlobalFlags(M) & GMEM_LOCKCOUNT, 0u); // source unlocked again
    HGLOBAL Discarded = GlobalAllocQ(GMEM_MOVEABLE, 0), Empty = GlobalAllocQ(GMEM_FIXED, 0);
    EXPECT_EQ((std::vector{GlobalSizeSafe(M), GlobalSizeSafe(Discarded), GlobalSizeSafe(Empty), GlobalSizeSafe(Bogus)}),
              (std::vector<decltype(GlobalSizeSafe(M))>{5, -1, 0, -1}));
    for (HGLOBAL H : {Discarded, Empty, Bogus})
        EXPECT_EQ(MessageOf<EUserError>([&] { SubCopyHandle(H); }), "SubCopyHandle: GlobalSize Failed");
    for (HGLOBAL* H : {&M, &C, &Discarded, &Empty})
        GlobalFreeQ(*H);
}

TEST_F(PlatformWrappers, LineBytesAndBuildNumbers)
{
    EXPECT_EQ(CalcLineBytes(33, 1), 8);
    EXPECT_EQ(CalcLineBytes(3, 24), 12); // 9 bytes padded to 12
    EXPECT_EQ(ParseBuildNumber("1.2.3.2147483647"), 2147483647);
    EXPECT_EQ(ParseBuildNumber("...7"), 7);
    for (const char* Bad : {"1.2.3.2147483648", "1.2.3", "1.2.3.", "1.2.3.x", "1.2.3.4.5", "1.2.3.4 beta", ""})
        EXPECT_EQ(ParseBuildNumber(Bad), -1) << Bad;
    EXPECT_EQ(GetFileBuildNumber(std::filesystem::read_symlink("/proc/self/exe").string()), 1);
    EXPECT_EQ(GetFileBuildNumber("/bin/sh") + GetFileBuildNumber("/nonexistent"), -2);
}

TEST_F(PlatformWrappers, MessageBoxes)
{
    std::vector<std::string> Calls;
    int Owner;
    TMessageBoxHandler Previous =
        SetMessageBoxHandler([&](void* O, const std::string& T, const std::string& C, uint32_t F) {
            Calls.push_back(T + "|" + C + "|" + std::to_string(F) + (O == &Owner ? "|owner" : O ? "|?" : ""));
            return IDNO;
        });
    EXPECT_EQ(WarningMessageBox(&Owner, "注意"), IDNO);
    EXPECT_EQ(ErrorMessageBox(&Owner, "失敗"), IDNO);
    ErrorMessageBox("所有者なし");
    SetMessageBoxHandler(Previous);
    EXPECT_EQ(Calls, (std::vector<std::string>{"注意|警告|48|owner", "失敗|エラー|16|owner", "所有者なし|エラー|16"}));
}

TEST_F(PlatformWrappersStore, RegistryValues)
{
    const HKEY CU = HKEY_CURRENT_USER;
    EXPECT_EQ(Reg(CU, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData"), "");
    SetRegistryVal(CU, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData", "/data/タブロ");
    SetRegistryVal(CU, "", "RootValue", "r");
    RegistryReload();
    EXPECT_EQ(Reg(CU, "software\\zelbar\\tavro\\4", "envdata"), "/data/タブロ");
    EXPECT_EQ(Reg(CU, "", "RootValue"), "");   // an empty key reads nothing
    std::string S = "stale";
    EXPECT_FALSE(GetRegDefaultValue(HKEY_CLASSES_ROOT, ".srn", S));
    EXPECT_EQ(S, "");
    SetRegistryVal(HKEY_CLASSES_ROOT, ".srn\\ShellNew", "x", "y");
    S = "stale";
    EXPECT_TRUE(GetRegDefaultValue(HKEY_CLASSES_ROOT, ".srn", S)); // key without a default value
    EXPECT_EQ(S, "");
    SetRegistryVal(HKEY_CLASSES_ROOT, ".srn", "", "TavroData");
    EXPECT_TRUE(GetRegDefaultValue(HKEY_CLASSES_ROOT, ".SRN", S));
    EXPECT_EQ(S, "TavroData");
}

TEST_F(PlatformWrappersStore, SetRegistryValErrors)
{
    SetRegistryVal(HKEY_CURRENT_USER, "Kept", "V", "old");
    std::filesystem::remove_all(Tmp / "tavro");
    Tmp.Put("tavro", "a file where the folder was");
    // The key exists, so only the value write fails.
    auto SetValue = [] { SetRegistryVal(HKEY_CURRENT_USER, "Kept", "V", "new"); };
    EXPECT_EQ(MessageOf<ERegistryError>(SetValue), "SetRegistryVal: RegSetValueEx failed");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, "Kept", "V"), "old");
    // XDG_CONFIG_HOME naming a file: the key cannot be made.
    setenv("XDG_CONFIG_HOME", (Tmp / "tavro").c_str(), 1);
    RegistryReload();
    auto NewKey = [] { SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData", "x"); };
    EXPECT_EQ(MessageOf<ERegistryError>(NewKey), "SetRegistryVal: RegCreateKeyEx failed");
}

TEST_F(PlatformWrappersStore, ShellOpenUrlTriesTheDesktopThenTheRegisteredCommand)
{
    EXPECT_TRUE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    EXPECT_EQ(Spawned, (std::vector<Argv>{{"xdg-open", "https://example.org/"}}));
    // Without a desktop opener: nothing registered, a type without a command,
    // an empty command all fail after xdg-open alone.
    XdgOpenWorks = false;
    EXPECT_FALSE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    SetRegistryVal(HKEY_CLASSES_ROOT, ".html", "", "htmlfile");
    EXPECT_FALSE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    RegisterHtml("  ");
    EXPECT_FALSE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    EXPECT_EQ(Spawned.size(), 4u);
    // The target replaces "%1" inside an argument, or is added at the end;
    // quotes in it stay inside its one argument.
    const std::string Hostile = "x\"; rm -rf ~; \"";
    for (auto [Command, Want] : {std::pair<std::string, Argv>{"browser \"%1\"", {"browser", Hostile}},
                                 {"\"/opt/My Browser/run\" -new \"%1\" --x", {"/opt/My Browser/run", "-new", Hostile, "--x"}},
                                 {"browser --url=%1", {"browser", "--url=" + Hostile}},
                                 {"browser -nosplash", {"browser", "-nosplash", Hostile}}}) {
        Spawned.clear();
        RegisterHtml(Command);
        EXPECT_TRUE(ShellOpenURL(Hostile, SW_SHOWNORMAL)) << Command;
        EXPECT_EQ(Spawned, (std::vector<Argv>{{"xdg-open", Hostile}, Want}));
    }
    // The registered program does not start.
    OthersWork = false;
    Spawned.clear();
    EXPECT_FALSE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    EXPECT_EQ(Spawned.size(), 2u); // xdg-open, then the registered program
}
