#include "foundation/platform_wrappers.h"

#include "foundation/user_error.h"
#include "platform/message_box.h"
#include "platform/registry_store.h"
#include "platform/shell_open.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

template <class E, class F>
std::string MessageOf(F&& Call)
{
    try {
        Call();
    } catch (const E& Ex) {
        return Ex.Message();
    }
    return "(nothing raised)";
}

// A private registry file for each test, and a recording spawner.
class PlatformWrappersStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* Old = std::getenv("XDG_CONFIG_HOME")) {
            FHadOld = true;
            FOld = Old;
        }
        std::string Template = (fs::temp_directory_path() / "tavro-pw-XXXXXX").string();
        ASSERT_NE(mkdtemp(Template.data()), nullptr);
        FDir = Template;
        setenv("XDG_CONFIG_HOME", FDir.c_str(), 1);
        RegistryReload();
        FPreviousSpawn = SetSpawnHandler([this](const std::vector<std::string>& Argv) {
            Spawned.push_back(Argv);
            return Argv[0] == "xdg-open" ? XdgOpenWorks : true;
        });
    }
    void TearDown() override
    {
        SetSpawnHandler(FPreviousSpawn);
        if (FHadOld)
            setenv("XDG_CONFIG_HOME", FOld.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code Ec;
        fs::remove_all(FDir, Ec);
        RegistryReload();
    }
    void RegisterHtml(const std::string& Command)
    {
        SetRegistryVal(HKEY_CLASSES_ROOT, ".html", "", "htmlfile");
        SetRegistryVal(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command", "", Command);
    }

    std::string FDir, FOld;
    bool FHadOld = false;
    TSpawnHandler FPreviousSpawn;
    bool XdgOpenWorks = true;
    std::vector<std::vector<std::string>> Spawned;
};

using Argv = std::vector<std::string>;

} // namespace

TEST(PlatformWrappers, GlobalAllocQAndFreeQ)
{
    const size_t Start = GlobalBlockCount();
    HGLOBAL H = GlobalAllocQ(GHND, 64);
    ASSERT_NE(H, nullptr);
    GlobalFreeQ(H);
    EXPECT_EQ(H, nullptr);
    GlobalFreeQ(H); // nothing for 0
    EXPECT_EQ(GlobalBlockCount(), Start);

    EXPECT_EQ(MessageOf<EUserError>([] { GlobalAllocQ(GMEM_FIXED, SIZE_MAX); }), "メモリが足りません");

    // A handle that is no block: the error code in decimal, and H zeroed all the same.
    HGLOBAL Bad = reinterpret_cast<HGLOBAL>(uintptr_t(0x12340));
    EXPECT_EQ(MessageOf<EUserError>([&] { GlobalFreeQ(Bad); }), "GlobalFreeQ: GlobalFreeFailed(6)");
    EXPECT_EQ(Bad, nullptr);
    EXPECT_EQ(GlobalBlockCount(), Start);
}

TEST(PlatformWrappers, GlobalEnsureSize)
{
    const size_t Start = GlobalBlockCount();
    HGLOBAL H = nullptr;
    GlobalEnsureSize(H, 100);
    ASSERT_NE(H, nullptr);
    EXPECT_EQ(GlobalLock(H), H); // a fixed block
    EXPECT_EQ(GlobalSize(H), 100u);
    HGLOBAL Spacer = GlobalAllocQ(GMEM_FIXED, 100); // keeps the heap from reusing the address

    HGLOBAL Kept = H;
    GlobalEnsureSize(H, 80);
    EXPECT_EQ(H, Kept);
    GlobalEnsureSize(H, 100);
    EXPECT_EQ(H, Kept);
    GlobalEnsureSize(H, 120);
    EXPECT_NE(H, Kept);
    EXPECT_EQ(GlobalSize(H), 120u);
    EXPECT_EQ(GlobalFlags(Kept), GMEM_INVALID_HANDLE);

    // A moveable block too small is replaced by a fixed one.
    HGLOBAL M = GlobalAllocQ(GMEM_MOVEABLE, 10);
    GlobalEnsureSize(M, 20);
    EXPECT_EQ(GlobalLock(M), M);
    EXPECT_EQ(GlobalSize(M), 20u);

    // The new allocation is checked: the old block is gone and H is 0.
    EXPECT_EQ(MessageOf<EUserError>([&] { GlobalEnsureSize(H, SIZE_MAX); }), "メモリが足りません");
    EXPECT_EQ(H, nullptr);
    GlobalFreeQ(M);
    GlobalFreeQ(Spacer);
    EXPECT_EQ(GlobalBlockCount(), Start);
}

TEST(PlatformWrappers, SubCopyHandleAndSizeSafe)
{
    const size_t Start = GlobalBlockCount();
    HGLOBAL M = GlobalAllocQ(GMEM_MOVEABLE, 5);
    std::memcpy(GlobalLock(M), "hello", 5);
    GlobalUnlock(M);
    HGLOBAL C = SubCopyHandle(M);
    EXPECT_EQ(GlobalLock(C), C);
    EXPECT_EQ(GlobalSize(C), 5u);
    EXPECT_EQ(std::memcmp(C, "hello", 5), 0);
    EXPECT_EQ(GlobalFlags(M) & GMEM_LOCKCOUNT, 0u); // source unlocked again

    EXPECT_EQ(GlobalSizeSafe(M), 5);
    HGLOBAL Discarded = GlobalAllocQ(GMEM_MOVEABLE, 0);
    HGLOBAL Empty = GlobalAllocQ(GMEM_FIXED, 0);
    EXPECT_EQ(GlobalSizeSafe(Discarded), -1);
    EXPECT_EQ(GlobalSizeSafe(Empty), 0);
    EXPECT_EQ(GlobalSizeSafe(reinterpret_cast<HGLOBAL>(uintptr_t(0x12340))), -1);
    for (HGLOBAL H : {Discarded, Empty, reinterpret_cast<HGLOBAL>(uintptr_t(0x12340))})
        EXPECT_EQ(MessageOf<EUserError>([&] { SubCopyHandle(H); }), "SubCopyHandle: GlobalSize Failed");

    for (HGLOBAL* H : {&M, &C, &Discarded, &Empty})
        GlobalFreeQ(*H);
    EXPECT_EQ(GlobalBlockCount(), Start);
}

TEST(PlatformWrappers, CalcLineBytes)
{
    EXPECT_EQ(CalcLineBytes(1, 1), 4);
    EXPECT_EQ(CalcLineBytes(32, 1), 4);
    EXPECT_EQ(CalcLineBytes(33, 1), 8);
    EXPECT_EQ(CalcLineBytes(3, 24), 12);  // 9 bytes padded to 12
    EXPECT_EQ(CalcLineBytes(5, 8), 8);
    EXPECT_EQ(CalcLineBytes(100, 32), 400);
    EXPECT_EQ(CalcLineBytes(0, 24), 0);
}

TEST(PlatformWrappers, ParseBuildNumber)
{
    EXPECT_EQ(ParseBuildNumber("4.0.0.1"), 1);
    EXPECT_EQ(ParseBuildNumber("4.1.2.345"), 345);
    EXPECT_EQ(ParseBuildNumber("1.2.3.2147483647"), 2147483647);
    EXPECT_EQ(ParseBuildNumber("...7"), 7);
    EXPECT_EQ(ParseBuildNumber("1.2.3.2147483648"), -1);
    EXPECT_EQ(ParseBuildNumber("1.2.3"), -1);
    EXPECT_EQ(ParseBuildNumber("1.2.3."), -1);
    EXPECT_EQ(ParseBuildNumber("1.2.3.x"), -1);
    EXPECT_EQ(ParseBuildNumber("1.2.3.4.5"), -1);
    EXPECT_EQ(ParseBuildNumber("1.2.3.4 beta"), -1);
    EXPECT_EQ(ParseBuildNumber(""), -1);
}

TEST(PlatformWrappers, GetFileBuildNumber)
{
    EXPECT_EQ(GetFileBuildNumber("/proc/self/exe"), 1);
    EXPECT_EQ(GetFileBuildNumber(fs::read_symlink("/proc/self/exe").string()), 1);
    EXPECT_EQ(GetFileBuildNumber("/bin/sh"), -1);
    EXPECT_EQ(GetFileBuildNumber("/nonexistent"), -1);
}

TEST(PlatformWrappers, MessageBoxes)
{
    struct TCall {
        void* Owner;
        std::string Text, Caption;
        uint32_t Flags;
    };
    std::vector<TCall> Calls;
    TMessageBoxHandler Previous =
        SetMessageBoxHandler([&](void* O, const std::string& T, const std::string& C, uint32_t F) {
            Calls.push_back({O, T, C, F});
            return IDOK;
        });
    int Owner;
    EXPECT_EQ(WarningMessageBox(&Owner, "注意"), IDOK);
    EXPECT_EQ(ErrorMessageBox(&Owner, "失敗"), IDOK);
    ErrorMessageBox("所有者なし");
    SetMessageBoxHandler(Previous);
    ASSERT_EQ(Calls.size(), 3u);
    EXPECT_EQ(Calls[0].Owner, &Owner);
    EXPECT_EQ(Calls[0].Text, "注意");
    EXPECT_EQ(Calls[0].Caption, "警告");
    EXPECT_EQ(Calls[0].Flags, 48u);
    EXPECT_EQ(Calls[1].Text, "失敗");
    EXPECT_EQ(Calls[1].Caption, "エラー");
    EXPECT_EQ(Calls[1].Flags, 16u);
    EXPECT_EQ(Calls[2].Owner, nullptr);
    EXPECT_EQ(Calls[2].Caption, "エラー");
}

TEST_F(PlatformWrappersStore, RegistryValues)
{
    std::string S = "stale";
    GetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData", S);
    EXPECT_EQ(S, "");

    SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData", "/data/タブロ");
    SetRegistryVal(HKEY_CURRENT_USER, "", "RootValue", "r");
    RegistryReload();
    GetRegistryVal(HKEY_CURRENT_USER, "software\\zelbar\\tavro\\4", "envdata", S);
    EXPECT_EQ(S, "/data/タブロ");
    S = "stale";
    GetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "Help", S);
    EXPECT_EQ(S, "");
    S = "stale";
    GetRegistryVal(HKEY_CURRENT_USER, "", "RootValue", S); // an empty key reads nothing
    EXPECT_EQ(S, "");

    // Long values come back whole.
    const std::string Long(1000, 'x');
    SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\LIB", "SpiDir", Long);
    GetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\LIB", "SpiDir", S);
    EXPECT_EQ(S, Long);

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
    fs::remove_all(FDir + "/tavro");
    std::ofstream(FDir + "/tavro") << "a file where the folder was";

    // The key exists, so only the value write fails.
    auto SetValue = [] { SetRegistryVal(HKEY_CURRENT_USER, "Kept", "V", "new"); };
    EXPECT_EQ(MessageOf<ERegistryError>(SetValue), "SetRegistryVal: RegSetValueEx failed");
    std::string S;
    GetRegistryVal(HKEY_CURRENT_USER, "Kept", "V", S);
    EXPECT_EQ(S, "old");

    // XDG_CONFIG_HOME naming a file: the key cannot be made.
    setenv("XDG_CONFIG_HOME", (FDir + "/tavro").c_str(), 1);
    RegistryReload();
    auto NewKey = [] { SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData", "x"); };
    EXPECT_EQ(MessageOf<ERegistryError>(NewKey), "SetRegistryVal: RegCreateKeyEx failed");
    // A class-library error, not a user error.
    try {
        NewKey();
        ADD_FAILURE() << "nothing raised";
    } catch (const Exception& E) {
        EXPECT_EQ(dynamic_cast<const EUserError*>(&E), nullptr);
    }
}

TEST_F(PlatformWrappersStore, ShellOpenUrlUsesTheShellFirst)
{
    RegisterHtml("browser \"%1\"");
    EXPECT_TRUE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    EXPECT_EQ(Spawned, (std::vector<Argv>{{"xdg-open", "https://example.org/"}}));
}

TEST_F(PlatformWrappersStore, ShellOpenUrlFallbackKeepsTargetWhole)
{
    XdgOpenWorks = false;
    const std::string Hostile = "x\"; rm -rf ~; \"";
    RegisterHtml("browser \"%1\"");
    EXPECT_TRUE(ShellOpenURL(Hostile, SW_SHOWNORMAL));
    EXPECT_EQ(Spawned, (std::vector<Argv>{{"xdg-open", Hostile}, {"browser", Hostile}}));

    struct TCase {
        std::string Command;
        Argv Expected;
    };
    const TCase Cases[] = {
        {"browser %1", {"browser", "a b"}},
        {"\"/opt/My Browser/run\" -new-window \"%1\" --x", {"/opt/My Browser/run", "-new-window", "a b", "--x"}},
        {"browser --url=%1", {"browser", "--url=a b"}},
        {"browser -nosplash", {"browser", "-nosplash", "a b"}},
        {"\"browser\"", {"browser", "a b"}},
    };
    for (const TCase& C : Cases) {
        Spawned.clear();
        RegisterHtml(C.Command);
        EXPECT_TRUE(ShellOpenURL("a b", SW_SHOWNORMAL)) << C.Command;
        ASSERT_EQ(Spawned.size(), 2u) << C.Command;
        EXPECT_EQ(Spawned[1], C.Expected) << C.Command;
    }
}

TEST_F(PlatformWrappersStore, ShellOpenUrlFallbackFailures)
{
    XdgOpenWorks = false;
    // Nothing registered.
    EXPECT_FALSE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    EXPECT_EQ(Spawned.size(), 1u);
    // A type without a command.
    SetRegistryVal(HKEY_CLASSES_ROOT, ".html", "", "htmlfile");
    EXPECT_FALSE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    EXPECT_EQ(Spawned.size(), 2u);
    // An empty command.
    RegisterHtml("  ");
    EXPECT_FALSE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    EXPECT_EQ(Spawned.size(), 3u);
    // The registered program does not start.
    SetSpawnHandler([this](const std::vector<std::string>& A) {
        Spawned.push_back(A);
        return false;
    });
    RegisterHtml("browser %1");
    EXPECT_FALSE(ShellOpenURL("https://example.org/", SW_SHOWNORMAL));
    EXPECT_EQ(Spawned.size(), 5u);
}
