#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/hostile_files.h"
#include "platform/regular_file.h"
#include "platform/test_support.h"

namespace {

namespace fs = std::filesystem;

const HKEY CU = HKEY_CURRENT_USER, CR = HKEY_CLASSES_ROOT;
const char* const Key4 = "SOFTWARE\\ZELBAR\\Tavro\\4";

// A fresh XDG_CONFIG_HOME for each test.
class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", Tmp.Dir.c_str(), 1);
        RegistryReload();
    }
    void TearDown() override
    {
        Saved.reset();
        RegistryReload();
    }
    // The string value, or "<none>".
    static std::string Q(HKEY Root, const std::string& Key, const std::string& Name)
    {
        std::string S;
        return RegQueryString(Root, Key, Name, S) ? S : "<none>";
    }
    bool Has(const std::string& Text) { return Tmp.Get("tavro/registry.ini").find(Text) != std::string::npos; }

    TTempDir Tmp;
    std::optional<TSavedEnv> Saved{std::in_place, "XDG_CONFIG_HOME"};
};

} // namespace

TEST_F(RegistryStore, FileIsUnderXdgConfigHome)
{
    EXPECT_EQ(RegistryFilePath(), Tmp / "tavro/registry.ini");
    // Without it (or with a relative one), $HOME/.config.
    TSavedEnv Home("HOME");
    setenv("HOME", (Tmp / "home").c_str(), 1);
    for (const char* Xdg : {"", "relative/dir"}) {
        *Xdg ? setenv("XDG_CONFIG_HOME", Xdg, 1) : unsetenv("XDG_CONFIG_HOME");
        RegistryReload();
        EXPECT_EQ(RegistryFilePath(), Tmp / "home/.config/tavro/registry.ini") << Xdg;
    }
}

TEST_F(RegistryStore, RoundTripAcrossReload)
{
    const std::string Hostile = "a=b [c] \\d\\ \"q\"\n second line\r\tend; ;x \x01\x7f 画像1 ①";
    ASSERT_TRUE(RegCreateKey(CU, Key4));
    ASSERT_TRUE(RegSetString(CU, Key4, "Odd=Name[\"x\"]", Hostile));
    ASSERT_TRUE(RegSetString(CU, Key4, "", "default"));
    ASSERT_TRUE(RegSetString(CU, Key4, "Empty", ""));
    ASSERT_TRUE(RegSetDword(CU, Key4, "Count", 0xDEADBEEF));
    ASSERT_TRUE(RegCreateKey(CR, "Empty\\Key [1]"));
    RegistryReload();
    EXPECT_EQ(Q(CU, Key4, "Odd=Name[\"x\"]"), Hostile);
    EXPECT_EQ(Q(CU, Key4, "") + Q(CU, Key4, "Empty"), "default");
    uint32_t D = 0, Type = 0;
    EXPECT_TRUE(RegQueryDword(CU, Key4, "Count", D) && RegQueryValueType(CU, Key4, "Count", Type));
    EXPECT_EQ(std::pair(D, Type), std::pair(0xDEADBEEFu, uint32_t(REG_DWORD)));
    EXPECT_TRUE(RegKeyExists(CR, "Empty\\Key [1]"));
    EXPECT_TRUE(RegKeyExists(CU, "SOFTWARE\\ZELBAR")); // parents made too
    EXPECT_FALSE(RegKeyExists(CR, Key4));               // the roots are separate
    // A value of the other type is no value.
    EXPECT_EQ(Q(CU, Key4, "Count"), "<none>");
    EXPECT_FALSE(RegQueryDword(CU, Key4, "Odd=Name[\"x\"]", D));
}

TEST_F(RegistryStore, StoredLayoutAndCaseInsensitiveNames)
{
    ASSERT_TRUE(RegCreateKey(CU, "A\\B"));
    ASSERT_TRUE(RegSetDword(CU, "A\\B", "Count", 10));
    ASSERT_TRUE(RegSetString(CU, "A\\B", "", "x\"y\\z\n"));
    for (const char* Line : {"\n[HKEY_CURRENT_USER\\A\\B]\n", "\n\"Count\"=dword:0000000a\n", "\n@=sz:\"x\\\"y\\\\z\\n\"\n"})
        EXPECT_TRUE(Has(Line)) << Line;
    // Written whole by rename: no temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(Tmp / "tavro"), fs::directory_iterator()), 1);
    // Setting under another spelling replaces the value, keeping its first name.
    ASSERT_TRUE(RegCreateKey(CU, "Software\\Zelbar\\LIB"));
    ASSERT_TRUE(RegSetString(CU, "Software\\Zelbar\\LIB", "SpiDir", "/opt/spi"));
    EXPECT_TRUE(RegKeyExists(CU, "SOFTWARE\\zelbar\\lib"));
    ASSERT_TRUE(RegSetString(CU, "software\\ZELBAR\\lib", "spidir", "/usr/spi"));
    RegistryReload();
    EXPECT_EQ(Q(CU, "SOFTWARE\\ZELBAR\\Lib", "SPIDIR"), "/usr/spi");
    EXPECT_TRUE(Has("[HKEY_CURRENT_USER\\Software\\Zelbar\\LIB]") && Has("\"SpiDir\"=sz:\"/usr/spi\"") && !Has("spidir"));
    // Non-ASCII letters are compared as they are.
    ASSERT_TRUE(RegSetString(CU, "Software", "Ä", "1"));
    EXPECT_EQ(Q(CU, "Software", "ä"), "<none>");
}

TEST_F(RegistryStore, MissingThingsAndDeletes)
{
    std::string S = "unchanged";
    uint32_t D = 7;
    EXPECT_FALSE(RegQueryString(CR, ".html", "", S) || RegQueryDword(CR, ".html", "x", D));
    EXPECT_EQ(S + std::to_string(D), "unchanged7");
    // Values need their key.
    EXPECT_FALSE(RegSetString(CR, ".html", "", "htmlfile"));
    ASSERT_TRUE(RegCreateKey(CR, ".html"));
    ASSERT_TRUE(RegSetString(CR, ".html", "", "htmlfile"));
    EXPECT_EQ(Q(CR, "\\.html\\", ""), "htmlfile"); // stray separators ignored
    // Unknown roots and control characters in key names are refused.
    EXPECT_FALSE(RegCreateKey(0x80000002, "X") || RegCreateKey(CU, "Bad\nKey") || RegKeyExists(CU, "Bad"));
    for (const char* Key : {"TavroData\\shell\\open\\command", "TavroData2", "TavroData x"})
        ASSERT_TRUE(RegCreateKey(CR, Key));
    ASSERT_TRUE(RegSetString(CR, "TavroData", "", "Tavro") && RegSetString(CR, "TavroData", "Other", "o"));
    ASSERT_TRUE(RegDeleteValue(CR, "TavroData", "OTHER"));
    EXPECT_FALSE(RegDeleteValue(CR, "TavroData", "Other"));
    EXPECT_EQ(Q(CR, "TavroData", "Other") + Q(CR, "TavroData", ""), "<none>Tavro");
    ASSERT_TRUE(RegDeleteKeyTree(CR, "tavrodata"));
    RegistryReload();
    EXPECT_FALSE(RegKeyExists(CR, "TavroData\\shell\\open\\command"));
    // Keys that merely share the prefix stay.
    EXPECT_TRUE(RegKeyExists(CR, "TavroData2") && RegKeyExists(CR, "TavroData x"));
    EXPECT_FALSE(RegDeleteKeyTree(CR, "TavroData") || RegDeleteKeyTree(CR, "")); // "": never a root
}

TEST_F(RegistryStore, CorruptFileLosesOnlyBadLines)
{
    fs::create_directories(Tmp / "tavro");
    Tmp.Put("tavro/registry.ini",
            "garbage line\n\"Orphan\"=sz:\"before any key\"\n[HKEY_CURRENT_USER\\Good]\n\"A\"=sz:\"1\"\n"
            "\"B\"=sz:\"unterminated\n\"C\"=dword:12\n\"D\"=dword:0000001g\n\"E\"=blob:\"x\"\n"
            "\"F\"=sz:\"bad escape \\q\"\n\"G\" = sz:\"spaces\"\n\"H\"=dword:000000FF\r\n@=sz:\"def\"\n"
            "[HKEY_LOCAL_MACHINE\\Bad]\n\"Lost\"=sz:\"in a bad section\"\n"
            "[HKEY_CURRENT_USER\\Broken\n\"Lost2\"=sz:\"x\"\n"
            "[HKEY_CURRENT_USER\\Good]\n\"I\"=sz:\"again\"\n\"J\"=sz:\"trunc");
    RegistryReload();
    uint32_t D = 0;
    EXPECT_EQ(Q(CU, "Good", "A") + Q(CU, "Good", "") + Q(CU, "Good", "I"), "1defagain");
    EXPECT_TRUE(RegQueryDword(CU, "Good", "H", D));
    EXPECT_EQ(D, 255u);
    for (const char* Name : {"B", "C", "D", "E", "F", "G", "J", "Lost", "Lost2"})
        EXPECT_FALSE(RegQueryValueType(CU, "Good", Name, D)) << Name;
    EXPECT_FALSE(RegKeyExists(CU, "Broken"));
    // Bytes that are not text at all; the store still works afterwards.
    std::string Junk;
    for (int I = 0; I < 4096; ++I)
        Junk += char((I * 131 + 7) & 0xFF);
    Tmp.Put("tavro/registry.ini", Junk);
    RegistryReload();
    EXPECT_FALSE(RegKeyExists(CU, "Good"));
    ASSERT_TRUE(RegCreateKey(CU, "New"));
    RegistryReload();
    EXPECT_TRUE(RegKeyExists(CU, "New"));
}

TEST_F(RegistryStore, UnwritableStoreRefusesChanges)
{
    ASSERT_TRUE(RegCreateKey(CU, "Kept"));
    ASSERT_TRUE(RegSetString(CU, "Kept", "V", "old"));
    // The folder of the file turns into a plain file.
    fs::remove_all(Tmp / "tavro");
    Tmp.Put("tavro", "not a folder");
    EXPECT_FALSE(RegSetString(CU, "Kept", "V", "new") || RegCreateKey(CU, "Other") || RegDeleteValue(CU, "Kept", "V"));
    // What is held stays as the file had it.
    EXPECT_TRUE(Q(CU, "Kept", "V") == "old" && !RegKeyExists(CU, "Other"));
    // Opening an existing key writes nothing, so it still succeeds.
    EXPECT_TRUE(RegCreateKey(CU, "Kept"));
    // XDG_CONFIG_HOME naming a file.
    setenv("XDG_CONFIG_HOME", (Tmp / "tavro").c_str(), 1);
    RegistryReload();
    EXPECT_FALSE(RegCreateKey(CU, "X"));
}

// The file in every kind of name: what is no regular file is never waited
// on, counts as missing (and says why), and no write of the run touches it;
// a link to a file is read and written through.
TEST_F(RegistryStore, AFileThatIsNoFileCountsAsMissingAndIsNeverWritten)
{
    for (const THostileRow& Row : HostileRows(ErrNotRegularFile)) {
        SCOPED_TRACE(Row.What);
        fs::remove_all(Tmp / "tavro");
        fs::create_directories(Tmp / "tavro");
        std::vector<std::string> Pipes;
        MakeHostile(Tmp / "tavro", "registry.ini", Row.Kind, Pipes);
        // A file (or a link to one) holding a key of the store's own form.
        if (Row.ReadError == 0)
            std::ofstream(Tmp / "tavro/registry.ini", std::ios::binary) << "[HKEY_CURRENT_USER\\Kept]\n\"V\"=sz:\"old\"\n";
        const auto Before = FolderPrint(Tmp / "tavro");
        const int LoadError = WithinDeadline(
            [] {
                RegistryReload();
                return RegistryLoadError();
            },
            Pipes, "the load");
        EXPECT_EQ(LoadError, Row.ReadError == ENOENT ? 0 : Row.ReadError);
        EXPECT_EQ(Q(CU, "Kept", "V"), Row.ReadError == 0 ? "old" : "<none>");
        const bool Written = RegCreateKey(CU, "Kept") && RegSetString(CU, "Kept", "V", "new");
        if (LoadError != 0) {
            EXPECT_FALSE(Written);
            EXPECT_EQ(FolderPrint(Tmp / "tavro"), Before);
            EXPECT_EQ(Q(CU, "Kept", "V"), "<none>");
        } else {
            EXPECT_TRUE(Written);
            WithinDeadline(
                [] {
                    RegistryReload();
                    return 0;
                },
                Pipes, "the reload");
            EXPECT_EQ(Q(CU, "Kept", "V"), "new");
            EXPECT_EQ(fs::is_symlink(Tmp / "tavro/registry.ini"), Row.Kind == THostileKind::LinkToFile);
        }
    }
}

// A name that is there but does not read (a link that leads round in a
// circle) is told and never written over with the little a run would put
// into it: a write would replace the link.
TEST_F(RegistryStore, ANameThatDoesNotReadIsNotWrittenOver)
{
    fs::create_directories(Tmp / "tavro");
    fs::create_symlink("registry.ini", Tmp / "tavro/registry.ini");
    RegistryReload();
    EXPECT_EQ(RegistryLoadError(), ELOOP);
    EXPECT_FALSE(RegCreateKey(CU, "Other"));
    EXPECT_FALSE(RegSetString(CU, "", "V", "new"));
    EXPECT_EQ(fs::read_symlink(Tmp / "tavro/registry.ini"), "registry.ini");
    EXPECT_EQ(std::distance(fs::directory_iterator(Tmp / "tavro"), fs::directory_iterator()), 1);
}
