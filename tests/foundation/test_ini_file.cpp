#include "foundation/ini_file.h"
#include "foundation/string_list.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/test_support.h"

namespace fs = std::filesystem;

namespace {

using VS = std::vector<std::string>;

class IniFileTest : public ::testing::Test {
protected:
    // The file's bytes after loading Bytes, editing and writing back.
    template <class F>
    std::string Rewrite(const std::string& Bytes, F Edit)
    {
        Tmp.Put("r.ini", Bytes);
        TMemIniFile Ini(Tmp / "r.ini");
        Edit(Ini);
        Ini.UpdateFile();
        return Tmp.Get("r.ini");
    }
    TTempDir Tmp;
};

}  // namespace

TEST_F(IniFileTest, MissingFileIsEmptyAndNotCreatedUntilUpdate)
{
    TMemIniFile Ini(Tmp / "none.ini");
    EXPECT_EQ(Ini.ReadString("4.0", "PgDWidth", "400"), "400");
    Ini.WriteInteger("4.0", "PgDWidth", 640);
    EXPECT_FALSE(fs::exists(Tmp / "none.ini"));
    Ini.UpdateFile();
    EXPECT_EQ(Tmp.Get("none.ini"), "[4.0]\r\nPgDWidth=640\r\n");
}

TEST_F(IniFileTest, TextIsCp932OnDisk)
{
    // 日 93FA, 本 967B, 語 8CEA; read back from the CP932 bytes.
    EXPECT_EQ(Rewrite("", [](TMemIniFile& I) { I.WriteString("4.0", "Name", "日本語"); }),
              "[4.0]\r\nName=\x93\xFA\x96\x7B\x8C\xEA\r\n");
    EXPECT_EQ(TMemIniFile(Tmp / "r.ini").ReadString("4.0", "Name", ""), "日本語");
    // What CP932 cannot hold stays CP932, as a character reference.
    EXPECT_EQ(Rewrite("", [](TMemIniFile& I) { I.WriteString("4.0", "DirData", "/home/josé/データ"); }),
              "[4.0]\r\nDirData=/home/jos&#xE9;/\x83\x66\x81\x5B\x83\x5E\r\n");
    EXPECT_EQ(TMemIniFile(Tmp / "r.ini").ReadString("4.0", "DirData", ""), "/home/josé/データ");
    // A Shift-JIS file written elsewhere (あ is 82A0), and one that is not
    // CP932 (0x82 before CR cannot start a character) but valid UTF-8.
    Tmp.Put("sjis.ini", "[s]\r\nk=\x82\xA0\r\n");
    EXPECT_EQ(TMemIniFile(Tmp / "sjis.ini").ReadString("s", "k", ""), "あ");
    Tmp.Put("utf8.ini", "[s]\r\nk=あ\r\n");
    EXPECT_EQ(TMemIniFile(Tmp / "utf8.ini").ReadString("s", "k", ""), "あ");
}

TEST_F(IniFileTest, TheFileStaysCp932AndGivesBackWhatItCannotHold)
{
    // Ω is 83B6 in CP932; the emoji and é it has not.
    struct {
        const char* Text;
        const char* Stored;
    } const Cases[] = {
        {"Ω😀", "\x83\xB6&#x1F600;"},
        {"Ω😃", "\x83\xB6&#x1F603;"},
        {"é", "&#xE9;"},
        {"&#x1F600;", "&#x26;#x1F600;"},
        {"&#x26;", "&#x26;#x26;"},
        {"a&b&#&#", "a&b&#&#"},
        {"&&#x", "&&#x26;#x"},
        {"plain", "plain"},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(Rewrite("", [&](TMemIniFile& I) { I.WriteString("s", "k", C.Text); }),
                  std::string("[s]\r\nk=") + C.Stored + "\r\n")
            << C.Text;
        EXPECT_EQ(TMemIniFile(Tmp / "r.ini").ReadString("s", "k", ""), C.Text);
        EXPECT_EQ(SettingsTextFromCp932(SettingsTextForCp932(C.Text)), C.Text);
    }
    // A section or key name CP932 cannot hold comes back too.
    Rewrite("", [](TMemIniFile& I) { I.WriteString("TBar😀", "鍵😃", "1"); });
    EXPECT_EQ(TMemIniFile(Tmp / "r.ini").ReadString("TBar😀", "鍵😃", ""), "1");
    // References of other forms are text: lower-case digits, a leading zero,
    // a surrogate, characters CP932 holds, no semicolon.
    const std::string Foreign = "&#x1f600;&#x01F600;&#xD800;&#x41;&#x3042;&#x1F600&#x;&#x1234567;";
    Tmp.Put("f.ini", "[s]\r\nk=" + Foreign + "\r\n");
    EXPECT_EQ(TMemIniFile(Tmp / "f.ini").ReadString("s", "k", ""), Foreign);
    // A UTF-8 file, with or without a byte-order mark, is written back as CP932.
    for (const std::string Bom : {"\xEF\xBB\xBF", ""})
        EXPECT_EQ(Rewrite(Bom + "[s]\r\nk=Ω😀\r\n", [](TMemIniFile& I) { I.WriteString("s", "n", "1"); }),
                  "[s]\r\nk=\x83\xB6&#x1F600;\r\nn=1\r\n");
}

TEST_F(IniFileTest, LinesAreKeptWhereTheyAreAndNewOnesAppended)
{
    // FA54 (IBM "not" sign) decodes to the same character as 81CA, so only a
    // copy of the raw bytes brings it back unchanged.
    const std::string Head = "; settings \x82\xA0 \xFA\x54\r\n\r\n[Other]\r\n# kept\r\nStrange = spaced value \r\n\t\r\n";
    EXPECT_EQ(Rewrite(Head + "[4.0]\r\nA=1\r\n", [](TMemIniFile& I) {
                  EXPECT_EQ(I.ReadString("Other", "Strange", ""), " spaced value ");
                  I.WriteString("4.0", "A", "2");
              }),
              Head + "[4.0]\r\nA=2\r\n");
    // Names ignore ASCII case; a replaced value keeps the file's spelling; a
    // new key goes to the end of its section, a new section to the end.
    EXPECT_EQ(Rewrite("[A]\r\na=1\r\nb=2\r\n\r\n[B]\r\nx=1\r\n", [](TMemIniFile& I) {
                  EXPECT_EQ(I.ReadString("a", "B", "d"), "2");
                  EXPECT_TRUE(I.ValueExists("b", "X"));
                  I.WriteString("a", "A", "0");
                  I.WriteString("A", "c", "3");
                  I.WriteString("C", "k", "v");
                  I.WriteString("B", "y", "2");
              }),
              "[A]\r\na=0\r\nb=2\r\nc=3\r\n\r\n[B]\r\nx=1\r\ny=2\r\n\r\n[C]\r\nk=v\r\n");
    // Every section of the name goes, with its lines; missing ones are no error.
    EXPECT_EQ(Rewrite("[A]\r\na=1\r\n; about A\r\n[TBar4.0]\r\nb=2\r\n[a]\r\nc=3\r\n[B]\r\nd=4\r\ne=5\r\n",
                      [](TMemIniFile& I) {
                          I.EraseSection("a");
                          I.DeleteKey("b", "D");
                          I.EraseSection("missing");
                          I.DeleteKey("missing", "k");
                          EXPECT_FALSE(I.SectionExists("A"));
                      }),
              "[TBar4.0]\r\nb=2\r\n[B]\r\ne=5\r\n");
    // CR, LF and CR LF are all read; CR LF is written.
    EXPECT_EQ(Rewrite("[s]\rk1=a\nk2=b\r\nk3=c", [](TMemIniFile& I) {
                  EXPECT_EQ(I.ReadString("s", "k1", "") + I.ReadString("s", "k2", "") + I.ReadString("s", "k3", ""), "abc");
              }),
              "[s]\r\nk1=a\r\nk2=b\r\nk3=c\r\n");
    // Line breaks in a value cannot forge lines.
    Rewrite("", [](TMemIniFile& I) { I.WriteString("s", "k", "a\r\n[x]\nb=c"); });
    TMemIniFile Back(Tmp / "r.ini");
    EXPECT_EQ(Back.ReadString("s", "k", ""), "a  [x] b=c");
    EXPECT_FALSE(Back.SectionExists("x"));
}

TEST_F(IniFileTest, ReadSectionKeepsFileOrder)
{
    Tmp.Put("r.ini", "[T]\r\nzeta=1\r\nalpha=2\r\n; c\r\nmid=3\r\nALPHA=4\r\n[U]\r\n[t]\r\nlate=5\r\n");
    TMemIniFile Ini(Tmp / "r.ini");
    VS Keys{"stale"};
    Ini.ReadSection("t", Keys);
    EXPECT_EQ(Keys, (VS{"zeta", "alpha", "mid"}));
    TStringList List;
    List.Add("stale");
    Ini.ReadSection("T", List);
    EXPECT_EQ(List.Count() == 3 ? List.Strings(0) + List.Strings(2) : "", "zetamid");
    EXPECT_EQ(Ini.ReadString("T", "alpha", ""), "2");   // the first of two equal keys wins
    VS Sections;
    Ini.ReadSections(Sections);
    EXPECT_EQ(Sections, (VS{"T", "U"}));
    Ini.ReadSection("none", Keys);
    EXPECT_TRUE(Keys.empty());
}

TEST_F(IniFileTest, MalformedFileReadsWithoutCrash)
{
    const std::string Bad = "k0=v0\r\nnoequals\r\n[bad\r\n[s]\r\n=v\r\nnoeq\r\nk=v\r\n[t";
    EXPECT_EQ(Rewrite(Bad, [](TMemIniFile& I) {
                  EXPECT_EQ(I.ReadString("s", "k", ""), "v");
                  EXPECT_FALSE(I.ValueExists("s", ""));
                  VS Sections;
                  I.ReadSections(Sections);
                  EXPECT_EQ(Sections, VS{"s"});
              }),
              Bad + "\r\n");
    // Neither CP932 nor UTF-8, with NULs and a lead byte cut off at the end.
    Rewrite(std::string("[s]\r\nk=\x80\x00\xFF=\r\n[\xE0]\r\nz=1\r\nq=\x81", 26), [](TMemIniFile& I) {
        EXPECT_EQ(I.ReadString("\xE0", "z", ""), "");
        EXPECT_TRUE(I.ValueExists("s", "k"));
        I.WriteString("s", "k", "ok");
    });
    EXPECT_EQ(TMemIniFile(Tmp / "r.ini").ReadString("s", "k", ""), "ok");
}

TEST_F(IniFileTest, IntegersAndBooleans)
{
    Tmp.Put("i.ini", "[s]\r\nhex=$FF\r\nneg= -2147483648\r\nbig=2147483648\r\nword=abc\r\nfive=5\r\nzero=0\r\nempty=\r\n");
    TMemIniFile Ini(Tmp / "i.ini");
    EXPECT_EQ(std::pair(Ini.ReadInteger("s", "hex", 0), Ini.ReadInteger("s", "neg", 0)), std::pair(255, INT32_MIN));
    for (const char* K : {"big", "word", "empty"})
        EXPECT_EQ(Ini.ReadInteger("s", K, 7), 7) << K;
    EXPECT_EQ((std::vector{Ini.ReadBool("s", "five", false), Ini.ReadBool("s", "zero", true), Ini.ReadBool("s", "word", true)}),
              (std::vector{true, false, true}));
    Ini.WriteBool("s", "t", true);
    Ini.WriteBool("s", "f", false);
    EXPECT_EQ(Ini.ReadString("s", "t", "") + Ini.ReadString("s", "f", ""), "10");
}

TEST_F(IniFileTest, FullDiskKeepsTheOldSettings)
{
    const std::string Old = "[Window]\r\nLeft=10\r\n";
    Tmp.Put("s.ini", Old);
    TMemIniFile Ini(Tmp / "s.ini");
    Ini.WriteString("Window", "Left", "20");
    Ini.WriteString("Recent", "File1", "/home/user/画像/ロゴ.srn");
    // Fails at every size short of the whole file, then succeeds.
    size_t N = 0;
    for (;; ++N) {
        ASSERT_LT(N, 4096u);
        bool Failed = false;
        try {
            TFileSizeLimit Full(N);
            Ini.UpdateFile();
        } catch (const EFCreateError&) {
            Failed = true;
        }
        if (!Failed)
            break;
        ASSERT_EQ(Tmp.Get("s.ini"), Old) << N;
    }
    EXPECT_EQ(N, Tmp.Get("s.ini").size());
    EXPECT_EQ(std::distance(fs::directory_iterator(Tmp.Dir), fs::directory_iterator()), 1);
    EXPECT_EQ(TMemIniFile(Tmp / "s.ini").ReadString("Recent", "File1", ""), "/home/user/画像/ロゴ.srn");
}

TEST_F(IniFileTest, UpdateFileErrorsRenameAndSymlinks)
{
    const std::string Bad = Tmp / "no-such-dir/tavro.ini";
    TMemIniFile Ini(Bad);
    Ini.WriteString("s", "k", "v");
    const std::string Msg = MessageOf<EFCreateError>([&] { Ini.UpdateFile(); });
    EXPECT_NE(Msg.find("ファイル " + Bad + " を作成できません"), std::string::npos) << Msg;
    // Rename keeps the contents for the new file and leaves the old one; with
    // Reload the new file's contents replace them.
    Tmp.Put("old.ini", "[s]\r\nk=old\r\n");
    Tmp.Put("other.ini", "[o]\r\nq=1\r\n");
    TMemIniFile R(Tmp / "old.ini");
    R.WriteString("s", "k", "new");
    R.Rename(Tmp / "new.ini");
    EXPECT_EQ(R.FileName(), Tmp / "new.ini");
    R.UpdateFile();
    EXPECT_EQ(Tmp.Get("new.ini") + Tmp.Get("old.ini"), "[s]\r\nk=new\r\n[s]\r\nk=old\r\n");
    R.Rename(Tmp / "other.ini", true);
    EXPECT_FALSE(R.SectionExists("s"));
    EXPECT_EQ(R.ReadString("o", "q", ""), "1");
    // Writing through a symbolic link keeps the link.
    Tmp.Put("real.ini", "[s]\r\nk=1\r\n");
    fs::create_symlink(Tmp / "real.ini", Tmp / "link.ini");
    TMemIniFile L(Tmp / "link.ini");
    L.WriteString("s", "k", "2");
    L.UpdateFile();
    EXPECT_TRUE(fs::is_symlink(Tmp / "link.ini"));
    EXPECT_EQ(Tmp.Get("real.ini"), "[s]\r\nk=2\r\n");
}
