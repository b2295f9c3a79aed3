#include "foundation/app_environment.h"
#include "foundation/platform_wrappers.h"
#include "platform/font_query.h"
#include "platform/message_box.h"
#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kEnvKey[] = "SOFTWARE\\ZELBAR\\Tavro\\4";

struct TRecordedBox {
    std::string Text, Caption;
    uint32_t Flags;
};

class SavedEnv {
public:
    explicit SavedEnv(const char* Name) : FName(Name)
    {
        if (const char* V = std::getenv(Name))
            FValue = V;
    }
    ~SavedEnv()
    {
        if (FValue)
            setenv(FName, FValue->c_str(), 1);
        else
            unsetenv(FName);
    }

private:
    const char* FName;
    std::optional<std::string> FValue;
};

class AppEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* Tmp = std::getenv("TMPDIR");
        std::string Templ = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/appenv_test_XXXXXX";
        ASSERT_NE(mkdtemp(Templ.data()), nullptr);
        Base = Templ;
        setenv("XDG_CONFIG_HOME", (Base / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (Base / "data").c_str(), 1);
        RegistryReload();
        DiscardAppIniFile();
        SetDirWritableCheck({});
        OldHandler = SetMessageBoxHandler(
            [this](void*, const std::string& Text, const std::string& Caption, uint32_t Flags) {
                Boxes.push_back({Text, Caption, Flags});
                return IDOK;
            });
    }
    void TearDown() override
    {
        SetMessageBoxHandler(OldHandler);
        SetDirWritableCheck({});
        DiscardAppIniFile();
        std::error_code Ec;
        fs::permissions(Base / "ro", fs::perms::owner_all, Ec);
        fs::remove_all(Base, Ec);
    }
    std::string MakeDir(const std::string& Name) const
    {
        fs::create_directories(Base / Name);
        return (Base / Name).string();
    }
    static void SetEnvData(const std::string& Value)
    {
        SetRegistryVal(HKEY_CURRENT_USER, kEnvKey, "EnvData", Value);
    }
    static std::string ReadFile(const std::string& Path)
    {
        std::ifstream In(Path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
    }

    SavedEnv Config{"XDG_CONFIG_HOME"}, Data{"XDG_DATA_HOME"}, Home{"HOME"};
    fs::path Base;
    TMessageBoxHandler OldHandler;
    std::vector<TRecordedBox> Boxes;
};

}  // namespace

TEST_F(AppEnvironmentTest, NoEnvDataGivesExecutableFolder)
{
    SetDirWritableCheck([](const std::string&) { return true; });
    std::string Dir;
    GetEnvDataDir(Dir);
    EXPECT_EQ(Dir, fs::canonical("/proc/self/exe").parent_path().string() + "/");
}

TEST_F(AppEnvironmentTest, EnvDataGetsExactlyOneTrailingSlash)
{
    const std::string Env = MakeDir("env");
    std::string Dir;
    SetEnvData(Env);
    GetEnvDataDir(Dir);
    EXPECT_EQ(Dir, Env + "/");
    SetEnvData(Env + "/");
    GetEnvDataDir(Dir);
    EXPECT_EQ(Dir, Env + "/");
}

TEST_F(AppEnvironmentTest, UnwritableFolderFallsBackToUserDataFolder)
{
    const std::string Env = MakeDir("env");
    SetEnvData(Env);
    std::vector<std::string> Asked;
    SetDirWritableCheck([&](const std::string& D) {
        Asked.push_back(D);
        return false;
    });
    std::string Dir;
    GetEnvDataDir(Dir);
    EXPECT_EQ(Asked, std::vector<std::string>{Env + "/"});
    EXPECT_EQ(Dir, (Base / "data").string() + "/tavro/");
    EXPECT_TRUE(fs::is_directory(Dir));

    // Without XDG_DATA_HOME (or with a relative one): under HOME.
    setenv("HOME", MakeDir("home").c_str(), 1);
    setenv("XDG_DATA_HOME", "relative/data", 1);
    GetEnvDataDir(Dir);
    EXPECT_EQ(Dir, (Base / "home").string() + "/.local/share/tavro/");
    EXPECT_TRUE(fs::is_directory(Dir));
    unsetenv("XDG_DATA_HOME");
    GetEnvDataDir(Dir);
    EXPECT_EQ(Dir, (Base / "home").string() + "/.local/share/tavro/");

    // The settings object follows the data folder.
    EXPECT_EQ(AppIniFile().FileName(), Dir + "tavro.ini");
}

TEST_F(AppEnvironmentTest, ReadOnlyProgramFolderWithRealPermissions)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: root can write into a 0555 folder, so the real "
                        "permission check cannot fail (the forced check is tested above)";
    const std::string Ro = MakeDir("ro");
    ASSERT_EQ(chmod(Ro.c_str(), 0555), 0);
    SetEnvData(Ro);
    std::string Dir;
    GetEnvDataDir(Dir);
    EXPECT_EQ(Dir, (Base / "data").string() + "/tavro/");
}

TEST_F(AppEnvironmentTest, SettingsReachTheFileOnlyAtFinalize)
{
    const std::string Env = MakeDir("env");
    SetEnvData(Env);
    InitAppEnvironment();
    TMemIniFile& Ini = AppIniFile();
    EXPECT_EQ(&Ini, &AppIniFile());
    EXPECT_EQ(Ini.FileName(), Env + "/tavro.ini");
    Ini.WriteInteger("4.0", "PgDWidth", 640);
    Ini.WriteString("TBar4.0", "Name", "ツール");
    EXPECT_FALSE(fs::exists(Env + "/tavro.ini"));
    // Starting again does not replace the object and its unsaved changes.
    InitAppEnvironment();
    EXPECT_EQ(AppIniFile().ReadInteger("4.0", "PgDWidth", 0), 640);
    EXPECT_TRUE(FinalizeAppEnvironment());
    EXPECT_TRUE(Boxes.empty());
    // ツ 8363, ー 815B, ル 838B
    EXPECT_EQ(ReadFile(Env + "/tavro.ini"),
              "[4.0]\r\nPgDWidth=640\r\n\r\n[TBar4.0]\r\nName=\x83\x63\x81\x5B\x83\x8B\r\n");
}

TEST_F(AppEnvironmentTest, FailedWriteIsReportedNotThrown)
{
    const std::string Env = MakeDir("env");
    SetEnvData(Env);
    AppIniFile().WriteBool("4.0", "DspSmth", true);
    fs::remove_all(Env);  // the data folder vanished during the run
    bool Ok = true;
    EXPECT_NO_THROW(Ok = FinalizeAppEnvironment());
    EXPECT_FALSE(Ok);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Caption, "エラー");
    EXPECT_EQ(Boxes[0].Flags & MB_ICONMASK, MB_ICONHAND);
    EXPECT_NE(Boxes[0].Text.find(Env + "/tavro.ini"), std::string::npos) << Boxes[0].Text;
}

TEST_F(AppEnvironmentTest, FinalizeWithoutSettingsObjectWritesNothing)
{
    const std::string Env = MakeDir("env");
    SetEnvData(Env);
    EXPECT_TRUE(FinalizeAppEnvironment());
    EXPECT_FALSE(fs::exists(Env + "/tavro.ini"));
}

TEST(FontQuery, FindsInstalledFamiliesOnly)
{
    EXPECT_FALSE(IsFontFamilyInstalled(""));
    EXPECT_FALSE(IsFontFamilyInstalled("No Such Family Tavro 7f3a"));
    // Some family the machine has, asked for in another letter case.
    FcPattern* P = FcPatternCreate();
    FcObjectSet* Os = FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr));
    FcFontSet* Fs = FcFontList(nullptr, P, Os);
    std::string Family;
    FcChar8* S = nullptr;
    if (Fs && Fs->nfont > 0 && FcPatternGetString(Fs->fonts[0], FC_FAMILY, 0, &S) == FcResultMatch)
        Family = reinterpret_cast<const char*>(S);
    if (Fs)
        FcFontSetDestroy(Fs);
    FcObjectSetDestroy(Os);
    FcPatternDestroy(P);
    if (Family.empty())
        GTEST_SKIP() << "no fonts installed";
    EXPECT_TRUE(IsFontFamilyInstalled(Family)) << Family;
    std::string Upper = Family;
    for (char& C : Upper)
        if (C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
    EXPECT_TRUE(IsFontFamilyInstalled(Upper)) << Upper;
}

TEST(GridOption, EqualComparesFieldsNotFillers)
{
    TrecGrid A, B;
    std::memset(&A, 0xAA, sizeof A);
    std::memset(&B, 0x55, sizeof B);
    for (TrecGrid* G : {&A, &B}) {
        G->Value0 = 0;
        G->Byte0 = 0;
        G->ShowGrid = 0;
        G->SnapGrid = 1;
        G->Value1 = 0;
        G->Value2 = 0;
        G->Value3 = 1;
        G->Value4 = 1;
        G->Value5 = 10;
        G->Value6 = 10;
        G->Byte1 = 0;
    }
    EXPECT_TRUE(GridOptionEqual(A, B));
    B.Byte1 = 1;
    EXPECT_FALSE(GridOptionEqual(A, B));
    B.Byte1 = 0;

    // Every field counts.
    auto Differs = [&](auto Change) {
        TrecGrid C = A;
        Change(C);
        return !GridOptionEqual(A, C) && !GridOptionEqual(C, A);
    };
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.Value0 = -1; }));
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.Byte0 = 2; }));
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.ShowGrid = 1; }));
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.SnapGrid = 0; }));
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.Value1 = 5; }));
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.Value2 = 5; }));
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.Value3 = 5; }));
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.Value4 = 5; }));
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.Value5 = 5; }));
    EXPECT_TRUE(Differs([](TrecGrid& G) { G.Value6 = 5; }));
}
