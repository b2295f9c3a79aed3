#include "foundation/ini_file.h"
#include "foundation/string_list.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* Tmp = std::getenv("TMPDIR");
        std::string Templ = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/ini_test_XXXXXX";
        ASSERT_NE(mkdtemp(Templ.data()), nullptr);
        Dir = Templ;
    }
    void TearDown() override
    {
        std::error_code Ec;
        fs::remove_all(Dir, Ec);
    }
    std::string PathOf(const std::string& Name) const { return (Dir / Name).string(); }
    void Put(const std::string& Name, const std::string& Bytes) const
    {
        std::ofstream(PathOf(Name), std::ios::binary) << Bytes;
    }
    std::string Get(const std::string& Name) const
    {
        std::ifstream In(PathOf(Name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
    }
    fs::path Dir;
};

}  // namespace

TEST_F(IniFileTest, MissingFileIsEmptyAndNotCreatedUntilUpdate)
{
    TMemIniFile Ini(PathOf("none.ini"));
    EXPECT_EQ(Ini.FileName(), PathOf("none.ini"));
    EXPECT_EQ(Ini.ReadString("4.0", "PgDWidth", "400"), "400");
    EXPECT_FALSE(Ini.SectionExists("4.0"));
    Ini.WriteInteger("4.0", "PgDWidth", 640);
    EXPECT_FALSE(fs::exists(PathOf("none.ini")));
    Ini.UpdateFile();
    EXPECT_EQ(Get("none.ini"), "[4.0]\r\nPgDWidth=640\r\n");
}

TEST_F(IniFileTest, JapaneseValuesAreCp932OnDiskAndRoundTrip)
{
    {
        TMemIniFile Ini(PathOf("a.ini"));
        Ini.WriteString("4.0", "Name", "日本語");
        Ini.UpdateFile();
    }
    // 日 93FA, 本 967B, 語 8CEA
    EXPECT_EQ(Get("a.ini"), "[4.0]\r\nName=\x93\xFA\x96\x7B\x8C\xEA\r\n");
    TMemIniFile Back(PathOf("a.ini"));
    EXPECT_EQ(Back.ReadString("4.0", "Name", ""), "日本語");

    // A Shift-JIS file written elsewhere: あ is 82A0.
    Put("sjis.ini", "[s]\r\nk=\x82\xA0\r\n");
    EXPECT_EQ(TMemIniFile(PathOf("sjis.ini")).ReadString("s", "k", ""), "あ");

    // Not CP932 (0x82 before CR cannot start a character) but valid UTF-8.
    Put("utf8.ini", "[s]\r\nk=あ\r\n");
    EXPECT_EQ(TMemIniFile(PathOf("utf8.ini")).ReadString("s", "k", ""), "あ");
}

TEST_F(IniFileTest, TextCp932CannotHoldIsKeptAsUtf8)
{
    TMemIniFile Ini(PathOf("e.ini"));
    Ini.WriteString("4.0", "DirData", "/home/josé/データ");
    Ini.UpdateFile();
    EXPECT_EQ(Get("e.ini"), "\xEF\xBB\xBF[4.0]\r\nDirData=/home/josé/データ\r\n");
    EXPECT_EQ(TMemIniFile(PathOf("e.ini")).ReadString("4.0", "DirData", ""), "/home/josé/データ");
}

TEST_F(IniFileTest, SectionsAndKeysIgnoreAsciiCase)
{
    Put("c.ini", "[Sect]\r\nKey=1\r\n");
    TMemIniFile Ini(PathOf("c.ini"));
    EXPECT_EQ(Ini.ReadString("sect", "KEY", "d"), "1");
    EXPECT_TRUE(Ini.SectionExists("SECT"));
    EXPECT_TRUE(Ini.ValueExists("sEcT", "kEy"));
    Ini.WriteString("SECT", "key", "2");
    Ini.UpdateFile();
    EXPECT_EQ(Get("c.ini"), "[Sect]\r\nKey=2\r\n");
}

TEST_F(IniFileTest, CommentsAndUnknownLinesKeptByteForByte)
{
    // FA54 (IBM "not" sign) decodes to the same character as 81CA, so only a
    // copy of the raw bytes brings it back unchanged.
    const std::string Head =
        "; settings \x82\xA0 \xFA\x54\r\n"
        "\r\n"
        "[Other]\r\n"
        "# kept\r\n"
        "Strange = spaced value \r\n"
        "\t\r\n";
    Put("k.ini", Head + "[4.0]\r\nA=1\r\n");
    TMemIniFile Ini(PathOf("k.ini"));
    EXPECT_EQ(Ini.ReadString("Other", "Strange", ""), " spaced value ");
    Ini.WriteString("4.0", "A", "2");
    Ini.UpdateFile();
    EXPECT_EQ(Get("k.ini"), Head + "[4.0]\r\nA=2\r\n");
}

TEST_F(IniFileTest, NewKeyAtEndOfItsSectionNewSectionAtEndOfFile)
{
    Put("n.ini", "[A]\r\na=1\r\nb=2\r\n\r\n[B]\r\nx=1\r\n");
    TMemIniFile Ini(PathOf("n.ini"));
    Ini.WriteString("A", "c", "3");
    Ini.WriteString("C", "k", "v");
    Ini.WriteString("B", "y", "2");
    Ini.UpdateFile();
    EXPECT_EQ(Get("n.ini"), "[A]\r\na=1\r\nb=2\r\nc=3\r\n\r\n[B]\r\nx=1\r\ny=2\r\n\r\n[C]\r\nk=v\r\n");
}

TEST_F(IniFileTest, ReadSectionKeepsFileOrder)
{
    Put("r.ini", "[T]\r\nzeta=1\r\nalpha=2\r\n; c\r\nmid=3\r\nALPHA=4\r\n[U]\r\n[t]\r\nlate=5\r\n");
    TMemIniFile Ini(PathOf("r.ini"));
    std::vector<std::string> Keys{"stale"};
    Ini.ReadSection("t", Keys);
    EXPECT_EQ(Keys, (std::vector<std::string>{"zeta", "alpha", "mid"}));
    TStringList List;
    List.Add("stale");
    Ini.ReadSection("T", List);
    ASSERT_EQ(List.Count(), 3);
    EXPECT_EQ(List.Strings(0), "zeta");
    EXPECT_EQ(List.Strings(2), "mid");
    // The first of two equal keys wins.
    EXPECT_EQ(Ini.ReadString("T", "alpha", ""), "2");
    std::vector<std::string> Sections;
    Ini.ReadSections(Sections);
    EXPECT_EQ(Sections, (std::vector<std::string>{"T", "U"}));
    Ini.ReadSection("none", Keys);
    EXPECT_TRUE(Keys.empty());
}

TEST_F(IniFileTest, EraseSectionAndDeleteKey)
{
    Put("x.ini", "[A]\r\na=1\r\n; about A\r\n[TBar4.0]\r\nb=2\r\n[a]\r\nc=3\r\n[B]\r\nd=4\r\ne=5\r\n");
    TMemIniFile Ini(PathOf("x.ini"));
    Ini.EraseSection("a");
    EXPECT_FALSE(Ini.SectionExists("A"));
    EXPECT_EQ(Ini.ReadString("A", "c", "none"), "none");
    Ini.DeleteKey("b", "D");
    EXPECT_FALSE(Ini.ValueExists("B", "d"));
    EXPECT_TRUE(Ini.ValueExists("B", "e"));
    Ini.EraseSection("missing");
    Ini.DeleteKey("missing", "k");
    Ini.UpdateFile();
    EXPECT_EQ(Get("x.ini"), "[TBar4.0]\r\nb=2\r\n[B]\r\ne=5\r\n");
}

TEST_F(IniFileTest, AcceptsCrLfAndCrLfLineEnds)
{
    Put("l.ini", "[s]\rk1=a\nk2=b\r\nk3=c");
    TMemIniFile Ini(PathOf("l.ini"));
    EXPECT_EQ(Ini.ReadString("s", "k1", ""), "a");
    EXPECT_EQ(Ini.ReadString("s", "k2", ""), "b");
    EXPECT_EQ(Ini.ReadString("s", "k3", ""), "c");
    Ini.UpdateFile();
    EXPECT_EQ(Get("l.ini"), "[s]\r\nk1=a\r\nk2=b\r\nk3=c\r\n");
}

TEST_F(IniFileTest, MalformedFileReadsWithoutCrash)
{
    const std::string Bad = "k0=v0\r\nnoequals\r\n[bad\r\n[s]\r\n=v\r\nnoeq\r\nk=v\r\n[t";
    Put("m.ini", Bad);
    TMemIniFile Ini(PathOf("m.ini"));
    EXPECT_EQ(Ini.ReadString("s", "k", ""), "v");
    EXPECT_FALSE(Ini.ValueExists("s", ""));
    EXPECT_FALSE(Ini.SectionExists("t"));
    std::vector<std::string> Sections;
    Ini.ReadSections(Sections);
    EXPECT_EQ(Sections, std::vector<std::string>{"s"});
    Ini.UpdateFile();
    EXPECT_EQ(Get("m.ini"), Bad + "\r\n");

    // Neither CP932 nor UTF-8, with NULs and a lead byte cut off at the end.
    Put("g.ini", std::string("[s]\r\nk=\x80\x00\xFF=\r\n[\xE0]\r\nz=1\r\nq=\x81", 26));
    TMemIniFile G(PathOf("g.ini"));
    EXPECT_EQ(G.ReadString("\xE0", "z", ""), "");
    EXPECT_TRUE(G.ValueExists("s", "k"));
    G.WriteString("s", "k", "ok");
    G.UpdateFile();
    EXPECT_EQ(TMemIniFile(PathOf("g.ini")).ReadString("s", "k", ""), "ok");
}

TEST_F(IniFileTest, IntegersAndBooleans)
{
    Put("i.ini", "[s]\r\nhex=$FF\r\nhex2=0x10\r\nneg= -2147483648\r\nbig=2147483648\r\n"
                 "word=abc\r\nfive=5\r\nzero=0\r\nempty=\r\n");
    TMemIniFile Ini(PathOf("i.ini"));
    EXPECT_EQ(Ini.ReadInteger("s", "hex", 0), 255);
    EXPECT_EQ(Ini.ReadInteger("s", "hex2", 0), 16);
    EXPECT_EQ(Ini.ReadInteger("s", "neg", 0), INT32_MIN);
    EXPECT_EQ(Ini.ReadInteger("s", "big", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("s", "word", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("s", "empty", 7), 7);
    EXPECT_TRUE(Ini.ReadBool("s", "five", false));
    EXPECT_FALSE(Ini.ReadBool("s", "zero", true));
    EXPECT_TRUE(Ini.ReadBool("s", "word", true));
    EXPECT_FALSE(Ini.ReadBool("s", "missing", false));
    Ini.WriteBool("s", "t", true);
    Ini.WriteBool("s", "f", false);
    Ini.WriteInteger("s", "n", -42);
    EXPECT_EQ(Ini.ReadString("s", "t", ""), "1");
    EXPECT_EQ(Ini.ReadString("s", "f", ""), "0");
    EXPECT_EQ(Ini.ReadString("s", "n", ""), "-42");
}

TEST_F(IniFileTest, LineBreaksInValuesCannotForgeLines)
{
    TMemIniFile Ini(PathOf("f.ini"));
    Ini.WriteString("s", "k", "a\r\n[x]\nb=c");
    Ini.UpdateFile();
    TMemIniFile Back(PathOf("f.ini"));
    EXPECT_EQ(Back.ReadString("s", "k", ""), "a  [x] b=c");
    EXPECT_FALSE(Back.SectionExists("x"));
}

TEST_F(IniFileTest, UpdateFileErrorNamesTheFile)
{
    const std::string Bad = PathOf("no-such-dir/tavro.ini");
    TMemIniFile Ini(Bad);
    Ini.WriteString("s", "k", "v");
    try {
        Ini.UpdateFile();
        FAIL() << "no error";
    } catch (const EFCreateError& E) {
        EXPECT_NE(E.Message().find("ファイル " + Bad + " を作成できません"), std::string::npos) << E.Message();
    }
    // A file in place of the folder.
    Put("plain", "x");
    TMemIniFile Ini2(PathOf("plain/tavro.ini"));
    EXPECT_THROW(Ini2.UpdateFile(), EFCreateError);
}

TEST_F(IniFileTest, ReadOnlyFileIsNotReplaced)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: root may write a read-only file, so the refusal cannot be seen";
    Put("ro.ini", "[s]\r\nk=1\r\n");
    fs::permissions(PathOf("ro.ini"), fs::perms::owner_read);
    TMemIniFile Ini(PathOf("ro.ini"));
    Ini.WriteString("s", "k", "2");
    EXPECT_THROW(Ini.UpdateFile(), EFCreateError);
    EXPECT_EQ(Get("ro.ini"), "[s]\r\nk=1\r\n");
}

TEST_F(IniFileTest, RenameWritesNewFileAndLeavesOldOne)
{
    Put("old.ini", "[s]\r\nk=old\r\n");
    Put("other.ini", "[o]\r\nq=1\r\n");
    TMemIniFile Ini(PathOf("old.ini"));
    Ini.WriteString("s", "k", "new");
    Ini.Rename(PathOf("new.ini"));
    EXPECT_EQ(Ini.FileName(), PathOf("new.ini"));
    EXPECT_EQ(Ini.ReadString("s", "k", ""), "new");
    Ini.UpdateFile();
    EXPECT_EQ(Get("new.ini"), "[s]\r\nk=new\r\n");
    EXPECT_EQ(Get("old.ini"), "[s]\r\nk=old\r\n");

    Ini.Rename(PathOf("other.ini"), true);
    EXPECT_FALSE(Ini.SectionExists("s"));
    EXPECT_EQ(Ini.ReadString("o", "q", ""), "1");
}

TEST_F(IniFileTest, UpdateThroughSymlinkKeepsTheLink)
{
    Put("real.ini", "[s]\r\nk=1\r\n");
    fs::create_symlink(PathOf("real.ini"), PathOf("link.ini"));
    TMemIniFile Ini(PathOf("link.ini"));
    Ini.WriteString("s", "k", "2");
    Ini.UpdateFile();
    EXPECT_TRUE(fs::is_symlink(PathOf("link.ini")));
    EXPECT_EQ(Get("real.ini"), "[s]\r\nk=2\r\n");
}
