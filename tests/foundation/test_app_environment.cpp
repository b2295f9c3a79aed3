#include "foundation/app_environment.h"
#include "foundation/platform_wrappers.h"
#include "platform/font_query.h"
#include "platform/message_box.h"
#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "platform/hostile_files.h"
#include "platform/regular_file.h"
#include "platform/test_support.h"

namespace fs = std::filesystem;

namespace {

class AppEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (Tmp / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (Tmp / "data").c_str(), 1);
        RegistryReload();
        DiscardAppIniFile();
        OldHandler = SetMessageBoxHandler(
            [this](void*, const std::string& Text, const std::string& Caption, uint32_t Flags) {
                Boxes.push_back({Text, Caption, std::to_string(Flags & MB_ICONMASK)});
                return IDOK;
            });
    }
    void TearDown() override
    {
        SetMessageBoxHandler(OldHandler);
        DiscardAppIniFile();
    }
    static std::string DataDir()
    {
        std::string Dir;
        GetEnvDataDir(Dir);
        return Dir;
    }
    // A folder under the test's base, set as the registry's "EnvData".
    std::string EnvDataDir(const std::string& Value = "env")
    {
        fs::create_directories(Tmp / "env");
        SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData", Tmp / Value);
        return Tmp / "env";
    }

    TSavedEnv Config{"XDG_CONFIG_HOME"}, Data{"XDG_DATA_HOME"}, Home{"HOME"};
    TTempDir Tmp;
    TMessageBoxHandler OldHandler;
    std::vector<std::vector<std::string>> Boxes;  // text, caption, icon
};

}  // namespace

TEST_F(AppEnvironmentTest, DataFolderIsTheRegistrysElseTheUsersNeverTheProgramsOwn)
{
    // The program's folder is writable here (the build tree), and still not
    // where a user's settings go.
    const std::string ProgramDir = fs::canonical("/proc/self/exe").parent_path().string() + "/";
    EXPECT_EQ(DataDir(), Tmp / "data/tavro/");
    EXPECT_NE(DataDir(), ProgramDir);
    EXPECT_TRUE(fs::is_directory(Tmp / "data/tavro"));
    EXPECT_EQ(AppIniFile().FileName(), Tmp / "data/tavro/tavro.ini");
    // Exactly one trailing slash, whether the value has one or not.
    const std::string Env = EnvDataDir();
    EXPECT_EQ(DataDir(), Env + "/");
    EnvDataDir("env/");
    EXPECT_EQ(DataDir(), Env + "/");
    // A relative XDG_DATA_HOME is ignored: under HOME.
    SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData", "");
    setenv("HOME", (Tmp / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(DataDir(), Tmp / "home/.local/share/tavro/");
    EXPECT_TRUE(fs::is_directory(Tmp / "home/.local/share/tavro"));
}

TEST_F(AppEnvironmentTest, DataFolderThatTakesNoFilesIsNamedOnceAndTheProgramRuns)
{
    // Under a plain file no folder can be made, whoever runs the test.
    Tmp.Put("plain", "x");
    SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData", Tmp / "plain/env");
    EXPECT_NO_THROW(InitAppEnvironment());
    InitAppEnvironment();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0][0], "データフォルダ " + Tmp / "plain/env/" + " に書き込めません。(" +
                               std::strerror(ENOTDIR) + ")\r\n設定と既定値はこの実行の終わりに保存されません。");
    EXPECT_EQ(UnwritableDataDir(), Tmp / "plain/env/");
    // Settings are the user's file there, not some other place's.
    EXPECT_EQ(AppIniFile().FileName(), Tmp / "plain/env/tavro.ini");
    AppIniFile().WriteInteger("4.0", "PgDWidth", 640);
    EXPECT_FALSE(FinalizeAppEnvironment());
    EXPECT_EQ(Boxes.size(), 1u);
}

TEST_F(AppEnvironmentTest, SettingsFileThatIsNoFileIsNamedAndDefaultsServe)
{
    struct TCase {
        const char* What;
        void (*Make)(const std::string& Path);
        std::string Reason;
    };
    const TCase Cases[] = {
        {"folder", [](const std::string& P) { fs::create_directories(P + "/inside"); }, std::strerror(EISDIR)},
        // Opening a named pipe for reading waits for a writer: never here.
        {"pipe", [](const std::string& P) { ASSERT_EQ(::mkfifo(P.c_str(), 0600), 0); },
         "通常のファイルではありません"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        DiscardAppIniFile();
        Boxes.clear();
        const std::string Env = EnvDataDir();
        fs::remove_all(Env + "/tavro.ini");
        C.Make(Env + "/tavro.ini");
        EXPECT_NO_THROW(InitAppEnvironment());
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0][0], "設定ファイル " + Env + "/tavro.ini を読み込めません。(" + C.Reason +
                                   ")\r\n既定の設定で起動します。");
        EXPECT_EQ(AppIniFile().ReadInteger("4.0", "PgDWidth", 400), 400);
        fs::remove_all(Env + "/tavro.ini");
    }
}

TEST_F(AppEnvironmentTest, FullDiskNamesTheSettingsFileAndTheReason)
{
    const std::string Env = EnvDataDir();
    InitAppEnvironment();
    AppIniFile().WriteString("4.0", "DirData", std::string(200, 'd'));
    {
        TFileSizeLimit Full(16);
        EXPECT_FALSE(FinalizeAppEnvironment());
    }
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0][0], "ファイル " + Env + "/tavro.ini を作成できません。(" + std::strerror(EFBIG) + ")");
    EXPECT_FALSE(fs::exists(Env + "/tavro.ini"));
}

TEST_F(AppEnvironmentTest, SettingsReachTheFileOnlyAtFinalize)
{
    const std::string Env = EnvDataDir();
    EXPECT_TRUE(FinalizeAppEnvironment());  // no settings object yet: nothing written
    EXPECT_FALSE(fs::exists(Env + "/tavro.ini"));
    InitAppEnvironment();
    TMemIniFile& Ini = AppIniFile();
    EXPECT_EQ(Ini.FileName(), Env + "/tavro.ini");
    Ini.WriteInteger("4.0", "PgDWidth", 640);
    Ini.WriteString("TBar4.0", "Name", "ツール");
    EXPECT_FALSE(fs::exists(Env + "/tavro.ini"));
    // Starting again keeps the object and its unsaved changes.
    InitAppEnvironment();
    EXPECT_EQ(&AppIniFile(), &Ini);
    EXPECT_TRUE(FinalizeAppEnvironment());
    EXPECT_TRUE(Boxes.empty());
    // ツ 8363, ー 815B, ル 838B
    EXPECT_EQ(Tmp.Get("env/tavro.ini"),
              "[4.0]\r\nPgDWidth=640\r\n\r\n[TBar4.0]\r\nName=\x83\x63\x81\x5B\x83\x8B\r\n");
}

TEST_F(AppEnvironmentTest, FailedWriteIsReportedNotThrown)
{
    const std::string Env = EnvDataDir();
    AppIniFile().WriteBool("4.0", "DspSmth", true);
    fs::remove_all(Env);  // the data folder vanished during the run
    bool Ok = true;
    EXPECT_NO_THROW(Ok = FinalizeAppEnvironment());
    EXPECT_FALSE(Ok);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0][1], "エラー");
    EXPECT_EQ(Boxes[0][2], std::to_string(MB_ICONHAND));
    EXPECT_NE(Boxes[0][0].find(Env + "/tavro.ini"), std::string::npos) << Boxes[0][0];
}

TEST(FontQuery, FindsInstalledFamiliesInAnyCase)
{
    // tools/setup installs DejaVu.
    EXPECT_TRUE(IsFontFamilyInstalled("DejaVu Sans"));
    EXPECT_TRUE(IsFontFamilyInstalled("DEJAVU SANS"));
    EXPECT_FALSE(IsFontFamilyInstalled(""));
    EXPECT_FALSE(IsFontFamilyInstalled("No Such Family Tavro 7f3a"));
}

TEST(GridOption, EqualComparesEveryFieldButNotFillers)
{
    TrecGrid A, B;
    std::memset(&A, 0xAA, sizeof A);
    std::memset(&B, 0x55, sizeof B);
    for (TrecGrid* G : {&A, &B}) {
        G->Value0 = G->Value1 = G->Value2 = 0;
        G->Value3 = G->Value4 = 1;
        G->Value5 = G->Value6 = 10;
        G->Byte0 = G->ShowGrid = G->Byte1 = 0;
        G->SnapGrid = 1;
    }
    EXPECT_TRUE(GridOptionEqual(A, B));
    // One changed byte in any field makes them differ, either way round.
    for (size_t Off : {0, 4, 5, 6, 8, 12, 16, 20, 24, 28, 32}) {
        TrecGrid C = A;
        reinterpret_cast<uint8_t*>(&C)[Off] ^= 1;
        EXPECT_FALSE(GridOptionEqual(A, C) || GridOptionEqual(C, A)) << "offset " << Off;
    }
}

TEST_F(AppEnvironmentTest, AnEnvDataTooLongForAFolderIsRefusedOnceAndTheUsersFolderServes)
{
    const std::string Absurd(10 * 1024 * 1024, 'a');
    SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "EnvData", "/" + Absurd);
    InitAppEnvironment();
    EXPECT_EQ(AppIniFile().FileName(), Tmp / "data/tavro/tavro.ini");
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0][0], "データフォルダの設定 (EnvData, " + std::to_string(Absurd.size() + 1) +
                               " バイト) はフォルダ名として長すぎるため使いません。");
}

// The settings file and the registry stand-in in every kind of name, each
// alone: start-up never waits, tells in one box what does not read, and
// goes on with the built-in settings; the end of the run replaces only a
// file (through a link to one), and names what it refused.
TEST_F(AppEnvironmentTest, SettingsThatAreNoFileAreToldOnceAndNeverWrittenOver)
{
    const auto NotRead = [](const std::string& Path, int Err) {
        return "設定ファイル " + Path + " を読み込めません。(" + FileErrorText(Err) + ")\r\n既定の設定で起動します。";
    };
    for (const bool Registry : {false, true})
        for (const THostileRow& Row : HostileRows(ErrNotRegularFile)) {
            SCOPED_TRACE(std::string(Registry ? "registry.ini: " : "tavro.ini: ") + Row.What);
            DiscardAppIniFile();
            Boxes.clear();
            fs::remove_all(Tmp / "config");
            fs::remove_all(Tmp / "data");
            const std::string Folder = Tmp / (Registry ? "config/tavro" : "data/tavro");
            const std::string Path = Folder + (Registry ? "/registry.ini" : "/tavro.ini");
            fs::create_directories(Folder);
            std::vector<std::string> Pipes;
            MakeHostile(Folder, Registry ? "registry.ini" : "tavro.ini", Row.Kind, Pipes);
            if (Row.ReadError == 0)
                std::ofstream(Path, std::ios::binary)
                    << (Registry ? "[HKEY_CURRENT_USER\\SOFTWARE\\ZELBAR\\Tavro\\4]\n\"Flag\"=dword:00000007\n"
                                 : "[4.0]\r\nPgDWidth=640\r\n");
            const auto Before = FolderPrint(Folder);
            WithinDeadline(
                [] {
                    RegistryReload();
                    InitAppEnvironment();
                    return 0;
                },
                Pipes, "start-up");
            if (Row.ReadError == 0 || Row.ReadError == ENOENT) {
                EXPECT_TRUE(Boxes.empty()) << (Boxes.empty() ? "" : Boxes[0][0]);
            } else {
                ASSERT_EQ(Boxes.size(), 1u);
                EXPECT_EQ(Boxes[0][0], NotRead(Path, Row.ReadError));
            }
            uint32_t Flag = 0;
            EXPECT_EQ(RegQueryDword(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Tavro\\4", "Flag", Flag),
                      Registry && Row.ReadError == 0);
            EXPECT_EQ(AppIniFile().ReadInteger("4.0", "PgDWidth", 400), !Registry && Row.ReadError == 0 ? 640 : 400);

            Boxes.clear();
            AppIniFile().WriteInteger("4.0", "PgDHeight", 480);
            const bool Written = FinalizeAppEnvironment();
            if (Registry || Row.WriteError == 0) {
                EXPECT_TRUE(Written);
                EXPECT_TRUE(Boxes.empty());
            } else {
                EXPECT_FALSE(Written);
                ASSERT_EQ(Boxes.size(), 1u);
                EXPECT_EQ(Boxes[0][0], "ファイル " + Path + " を作成できません。(" + FileErrorText(Row.WriteError) + ")");
            }
            if (Registry ? Row.ReadError != 0 && Row.ReadError != ENOENT : Row.WriteError != 0)
                EXPECT_EQ(FolderPrint(Folder), Before);
        }
}
