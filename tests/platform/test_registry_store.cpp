#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Points XDG_CONFIG_HOME at a fresh folder for each test.
class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* Old = std::getenv("XDG_CONFIG_HOME")) {
            FHadOld = true;
            FOld = Old;
        }
        std::string Template = (fs::temp_directory_path() / "tavro-reg-XXXXXX").string();
        ASSERT_NE(mkdtemp(Template.data()), nullptr);
        FDir = Template;
        setenv("XDG_CONFIG_HOME", FDir.c_str(), 1);
        RegistryReload();
    }
    void TearDown() override
    {
        if (FHadOld)
            setenv("XDG_CONFIG_HOME", FOld.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code Ec;
        fs::remove_all(FDir, Ec);
        RegistryReload();
    }
    std::string FileText()
    {
        std::ifstream In(RegistryFilePath(), std::ios::binary);
        std::stringstream S;
        S << In.rdbuf();
        return S.str();
    }
    void WriteFileText(const std::string& Text)
    {
        fs::create_directories(FDir + "/tavro");
        std::ofstream(FDir + "/tavro/registry.ini", std::ios::binary) << Text;
        RegistryReload();
    }

    std::string FDir;
    std::string FOld;
    bool FHadOld = false;
};

const char* const Key4 = "SOFTWARE\\ZELBAR\\Tavro\\4";

} // namespace

TEST_F(RegistryStore, FileIsUnderXdgConfigHome)
{
    EXPECT_EQ(RegistryFilePath(), FDir + "/tavro/registry.ini");
    // Without it (or with a relative one), $HOME/.config.
    const char* OldHome = std::getenv("HOME");
    const std::string SavedHome = OldHome ? OldHome : "";
    setenv("HOME", (FDir + "/home").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    RegistryReload();
    EXPECT_EQ(RegistryFilePath(), FDir + "/home/.config/tavro/registry.ini");
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    RegistryReload();
    EXPECT_EQ(RegistryFilePath(), FDir + "/home/.config/tavro/registry.ini");
    if (OldHome)
        setenv("HOME", SavedHome.c_str(), 1);
    else
        unsetenv("HOME");
}

TEST_F(RegistryStore, RoundTripAcrossReload)
{
    const std::string Hostile = "a=b [c] \\d\\ \"q\"\n second line\r\tend; ;x \x01\x7f 画像1 ①";
    ASSERT_TRUE(RegCreateKey(HKEY_CURRENT_USER, Key4));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, Key4, "EnvData", "/home/u/tavro"));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, Key4, "Odd=Name[\"x\"]", Hostile));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, Key4, "", "default"));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, Key4, "Empty", ""));
    ASSERT_TRUE(RegSetDword(HKEY_CURRENT_USER, Key4, "Count", 0xDEADBEEF));
    ASSERT_TRUE(RegCreateKey(HKEY_CLASSES_ROOT, "Empty\\Key [1]"));

    RegistryReload();
    std::string S;
    uint32_t D = 0, Type = 0;
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, Key4, "EnvData", S));
    EXPECT_EQ(S, "/home/u/tavro");
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, Key4, "Odd=Name[\"x\"]", S));
    EXPECT_EQ(S, Hostile);
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, Key4, "", S));
    EXPECT_EQ(S, "default");
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, Key4, "Empty", S));
    EXPECT_EQ(S, "");
    EXPECT_TRUE(RegQueryDword(HKEY_CURRENT_USER, Key4, "Count", D));
    EXPECT_EQ(D, 0xDEADBEEFu);
    EXPECT_TRUE(RegQueryValueType(HKEY_CURRENT_USER, Key4, "Count", Type));
    EXPECT_EQ(Type, REG_DWORD);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "Empty\\Key [1]"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR")); // parents made too
    // The two roots are separate.
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, Key4));
    // Wrong type is no value.
    EXPECT_FALSE(RegQueryString(HKEY_CURRENT_USER, Key4, "Count", S));
    EXPECT_FALSE(RegQueryDword(HKEY_CURRENT_USER, Key4, "EnvData", D));
}

TEST_F(RegistryStore, StoredLayout)
{
    ASSERT_TRUE(RegCreateKey(HKEY_CURRENT_USER, "A\\B"));
    ASSERT_TRUE(RegSetDword(HKEY_CURRENT_USER, "A\\B", "Count", 10));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, "A\\B", "", "x\"y\\z\n"));
    const std::string Text = FileText();
    EXPECT_NE(Text.find("\n[HKEY_CURRENT_USER\\A\\B]\n"), std::string::npos) << Text;
    EXPECT_NE(Text.find("\n\"Count\"=dword:0000000a\n"), std::string::npos) << Text;
    EXPECT_NE(Text.find("\n@=sz:\"x\\\"y\\\\z\\n\"\n"), std::string::npos) << Text;
    // Written whole by rename: no temporary file is left beside it.
    int Files = 0;
    for (const auto& E : fs::directory_iterator(FDir + "/tavro"))
        Files += E.is_regular_file();
    EXPECT_EQ(Files, 1);
}

TEST_F(RegistryStore, NamesAreCaseInsensitive)
{
    ASSERT_TRUE(RegCreateKey(HKEY_CURRENT_USER, "Software\\Zelbar\\LIB"));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, "Software\\Zelbar\\LIB", "SpiDir", "/opt/spi"));
    std::string S;
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "SOFTWARE\\zelbar\\lib"));
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\Lib", "SPIDIR", S));
    EXPECT_EQ(S, "/opt/spi");
    // Setting under another spelling replaces the value, keeping its first name.
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, "software\\ZELBAR\\lib", "spidir", "/usr/spi"));
    RegistryReload();
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, "Software\\Zelbar\\LIB", "SpiDir", S));
    EXPECT_EQ(S, "/usr/spi");
    const std::string Text = FileText();
    EXPECT_NE(Text.find("[HKEY_CURRENT_USER\\Software\\Zelbar\\LIB]"), std::string::npos) << Text;
    EXPECT_NE(Text.find("\"SpiDir\"=sz:\"/usr/spi\""), std::string::npos) << Text;
    EXPECT_EQ(Text.find("spidir"), std::string::npos) << Text;
    // Non-ASCII letters are compared as they are.
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, "Software", "Ä", "1"));
    EXPECT_FALSE(RegQueryString(HKEY_CURRENT_USER, "Software", "ä", S));
}

TEST_F(RegistryStore, DefaultValueAndMissingThings)
{
    std::string S = "unchanged";
    uint32_t D = 7;
    EXPECT_FALSE(RegQueryString(HKEY_CLASSES_ROOT, ".html", "", S));
    EXPECT_EQ(S, "unchanged");
    EXPECT_FALSE(RegQueryDword(HKEY_CLASSES_ROOT, ".html", "x", D));
    EXPECT_EQ(D, 7u);
    // Values need their key.
    EXPECT_FALSE(RegSetString(HKEY_CLASSES_ROOT, ".html", "", "htmlfile"));
    ASSERT_TRUE(RegCreateKey(HKEY_CLASSES_ROOT, ".html"));
    ASSERT_TRUE(RegSetString(HKEY_CLASSES_ROOT, ".html", "", "htmlfile"));
    EXPECT_TRUE(RegQueryString(HKEY_CLASSES_ROOT, "\\.html\\", "", S)); // stray separators ignored
    EXPECT_EQ(S, "htmlfile");
    EXPECT_FALSE(RegQueryString(HKEY_CLASSES_ROOT, ".html", "Other", S));
    // Unknown roots and control characters in key names are refused.
    EXPECT_FALSE(RegCreateKey(0x80000002, "X"));
    EXPECT_FALSE(RegCreateKey(HKEY_CURRENT_USER, "Bad\nKey"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Bad"));
}

TEST_F(RegistryStore, DeleteValueAndTree)
{
    ASSERT_TRUE(RegCreateKey(HKEY_CLASSES_ROOT, "TavroData\\shell\\open\\command"));
    ASSERT_TRUE(RegCreateKey(HKEY_CLASSES_ROOT, "TavroData2"));
    ASSERT_TRUE(RegCreateKey(HKEY_CLASSES_ROOT, "TavroData x"));
    ASSERT_TRUE(RegSetString(HKEY_CLASSES_ROOT, "TavroData", "", "Tavro"));
    ASSERT_TRUE(RegSetString(HKEY_CLASSES_ROOT, "TavroData", "Other", "o"));
    ASSERT_TRUE(RegDeleteValue(HKEY_CLASSES_ROOT, "TavroData", "OTHER"));
    EXPECT_FALSE(RegDeleteValue(HKEY_CLASSES_ROOT, "TavroData", "Other"));
    std::string S;
    EXPECT_FALSE(RegQueryString(HKEY_CLASSES_ROOT, "TavroData", "Other", S));
    EXPECT_TRUE(RegQueryString(HKEY_CLASSES_ROOT, "TavroData", "", S));

    ASSERT_TRUE(RegDeleteKeyTree(HKEY_CLASSES_ROOT, "tavrodata"));
    RegistryReload();
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "TavroData"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "TavroData\\shell\\open\\command"));
    // Keys that merely share the prefix stay.
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "TavroData2"));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "TavroData x"));
    EXPECT_FALSE(RegDeleteKeyTree(HKEY_CLASSES_ROOT, "TavroData"));
    EXPECT_FALSE(RegDeleteKeyTree(HKEY_CLASSES_ROOT, "")); // never a root
}

TEST_F(RegistryStore, CorruptFileLosesOnlyBadLines)
{
    WriteFileText("garbage line\n"
                  "\"Orphan\"=sz:\"before any key\"\n"
                  "[HKEY_CURRENT_USER\\Good]\n"
                  "\"A\"=sz:\"1\"\n"
                  "\"B\"=sz:\"unterminated\n"
                  "\"C\"=dword:12\n"
                  "\"D\"=dword:0000001g\n"
                  "\"E\"=blob:\"x\"\n"
                  "\"F\"=sz:\"bad escape \\q\"\n"
                  "\"G\" = sz:\"spaces\"\n"
                  "\"H\"=dword:000000FF\r\n"
                  "@=sz:\"def\"\n"
                  "[HKEY_LOCAL_MACHINE\\Bad]\n"
                  "\"Lost\"=sz:\"in a bad section\"\n"
                  "[HKEY_CURRENT_USER\\Broken\n"
                  "\"Lost2\"=sz:\"x\"\n"
                  "[HKEY_CURRENT_USER\\Good]\n"
                  "\"I\"=sz:\"again\"\n"
                  "\"J\"=sz:\"trunc");
    std::string S;
    uint32_t D = 0;
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, "Good", "A", S));
    EXPECT_EQ(S, "1");
    EXPECT_TRUE(RegQueryDword(HKEY_CURRENT_USER, "Good", "H", D));
    EXPECT_EQ(D, 255u);
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, "Good", "", S));
    EXPECT_EQ(S, "def");
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, "Good", "I", S));
    EXPECT_EQ(S, "again");
    for (const char* Name : {"B", "C", "D", "E", "F", "G", "J", "Lost", "Lost2"}) {
        uint32_t Type;
        EXPECT_FALSE(RegQueryValueType(HKEY_CURRENT_USER, "Good", Name, Type)) << Name;
    }
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Broken"));

    // Bytes that are not text at all.
    std::string Junk;
    for (int I = 0; I < 4096; ++I)
        Junk += char((I * 131 + 7) & 0xFF);
    WriteFileText(Junk);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Good"));
    // The store still works afterwards and rewrites the file cleanly.
    ASSERT_TRUE(RegCreateKey(HKEY_CURRENT_USER, "New"));
    RegistryReload();
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "New"));
}

TEST_F(RegistryStore, UnwritableStoreRefusesChanges)
{
    ASSERT_TRUE(RegCreateKey(HKEY_CURRENT_USER, "Kept"));
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, "Kept", "V", "old"));
    // The folder of the file turns into a plain file.
    fs::remove_all(FDir + "/tavro");
    std::ofstream(FDir + "/tavro") << "not a folder";
    EXPECT_FALSE(RegSetString(HKEY_CURRENT_USER, "Kept", "V", "new"));
    EXPECT_FALSE(RegCreateKey(HKEY_CURRENT_USER, "Other"));
    EXPECT_FALSE(RegDeleteValue(HKEY_CURRENT_USER, "Kept", "V"));
    // What is held stays as the file had it.
    std::string S;
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, "Kept", "V", S));
    EXPECT_EQ(S, "old");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Other"));
    // Opening an existing key writes nothing, so it still succeeds.
    EXPECT_TRUE(RegCreateKey(HKEY_CURRENT_USER, "Kept"));

    // XDG_CONFIG_HOME naming a file.
    setenv("XDG_CONFIG_HOME", (FDir + "/tavro").c_str(), 1);
    RegistryReload();
    EXPECT_FALSE(RegCreateKey(HKEY_CURRENT_USER, "X"));
}
