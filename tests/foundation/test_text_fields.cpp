#include "foundation/text_fields.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

TEST(TextFields, CharClassTableAndLeadBytes)
{
    EXPECT_EQ(CharClassTable['A'], 0x0081);
    EXPECT_EQ(CharClassTable['G'], 0x0001);
    EXPECT_EQ(CharClassTable['f'], 0x0082);
    EXPECT_EQ(CharClassTable['z'], 0x0002);
    EXPECT_EQ(CharClassTable['7'], 0x0084);
    EXPECT_EQ(CharClassTable['!'], 0);
    EXPECT_EQ(CharClassTable[0x80], 0x0300);
    EXPECT_EQ(CharClassTable[0x9F], 0x0200);
    EXPECT_EQ(CharClassTable[0xA0], 0);
    EXPECT_EQ(CharClassTable[0xDF], 0);
    EXPECT_EQ(CharClassTable[0xE0], 0x0200);
    EXPECT_EQ(CharClassTable[0xF0], 0x0300);
    EXPECT_EQ(CharClassTable[0xFF], 0x0300);

    EXPECT_FALSE(IsLeadByteChar(0x80));
    EXPECT_TRUE(IsLeadByteChar(0x81));
    EXPECT_TRUE(IsLeadByteChar(0x9F));
    EXPECT_FALSE(IsLeadByteChar(0xA0));
    EXPECT_TRUE(IsLeadByteChar(0xE0));
    EXPECT_TRUE(IsLeadByteChar(0xFC));
    EXPECT_FALSE(IsLeadByteChar(0xFD));
    EXPECT_FALSE(IsLeadByteChar('a'));
}

TEST(TextFields, GetFieldWalksTheFields)
{
    std::string F;
    int32_t Pos = 1;
    GetField("ab,cd", Pos, ',', F, "def");
    EXPECT_EQ(F, "ab");
    EXPECT_EQ(Pos, 4);
    GetField("ab,cd", Pos, ',', F, "def");
    EXPECT_EQ(F, "cd");
    EXPECT_EQ(Pos, 6);
    GetField("ab,cd", Pos, ',', F, "def");
    EXPECT_EQ(F, "def");
    EXPECT_EQ(Pos, 6);

    Pos = 1;
    GetField(",x", Pos, ',', F, "def");
    EXPECT_EQ(F, "def");
    EXPECT_EQ(Pos, 2);
}

TEST(TextFields, GetFieldKeepsMultiByteCharactersWhole)
{
    // CP932 "表" is 0x95 0x5C: its trail byte is "\".
    const std::string Sjis = "\x95\x5C\x5C" "x";
    std::string F;
    int32_t Pos = 1;
    GetField(Sjis, Pos, '\\', F, "", TTextEncoding::Cp932);
    EXPECT_EQ(F, "\x95\x5C");
    EXPECT_EQ(Pos, 4);
    GetField(Sjis, Pos, '\\', F, "", TTextEncoding::Cp932);
    EXPECT_EQ(F, "x");

    const std::string Utf8 = "日本,語";
    Pos = 1;
    GetField(Utf8, Pos, ',', F, "");
    EXPECT_EQ(F, "日本");
    GetField(Utf8, Pos, ',', F, "");
    EXPECT_EQ(F, "語");

    // "ぁ" is E3 81 81 in UTF-8; read as CP932 its last byte would swallow
    // the separator.
    Pos = 1;
    GetField("ぁ,x", Pos, ',', F, "");
    EXPECT_EQ(F, "ぁ");
    EXPECT_EQ(Pos, 5);
}

TEST(TextFields, LeadByteAtTheEndIsTakenAlone)
{
    std::string F;
    int32_t Pos = 1;
    GetField("ab\x95", Pos, ',', F, "", TTextEncoding::Cp932);
    EXPECT_EQ(F, "ab\x95");
    EXPECT_EQ(Pos, 4);
    Pos = 1;
    GetField("ab\xE6\x97", Pos, ',', F, ""); // cut UTF-8 sequence
    EXPECT_EQ(F, "ab\xE6\x97");
    EXPECT_EQ(Pos, 5);

    EXPECT_EQ(CommonPrefixLength("x\x95", "x\x95", TTextEncoding::Cp932), 2);
    EXPECT_EQ(CommonPrefixLength("x\x95", "x\x95\x5C", TTextEncoding::Cp932), 1);
}

TEST(TextFields, GetFieldIntDefaults)
{
    int32_t Pos = 1;
    EXPECT_EQ(GetFieldInt("12,,x", Pos, ',', -7), 12);
    EXPECT_EQ(GetFieldInt("12,,x", Pos, ',', -7), -7);
    EXPECT_EQ(GetFieldInt("12,,x", Pos, ',', -7), -7);
    Pos = 1;
    EXPECT_EQ(GetFieldInt("", Pos, ',', 9), 9);
    Pos = 1;
    EXPECT_EQ(GetFieldInt("-2147483648,2147483648", Pos, ',', 9), INT32_MIN);
    EXPECT_EQ(GetFieldInt("-2147483648,2147483648", Pos, ',', 9), 9);
}

TEST(TextFields, NumbersAndHex)
{
    EXPECT_EQ(StrToFloatDef("2.5", -1.0), 2.5);
    EXPECT_EQ(StrToFloatDef(" -0.25 ", -1.0), -0.25);
    EXPECT_EQ(StrToFloatDef("1e3", -1.0), 1000.0);
    EXPECT_EQ(StrToFloatDef("", -1.0), -1.0);
    EXPECT_EQ(StrToFloatDef("abc", -1.0), -1.0);
    EXPECT_EQ(StrToFloatDef("1,5", -1.0), -1.0);
    EXPECT_EQ(StrToFloatDef("inf", -1.0), -1.0);
    EXPECT_EQ(StrToFloatDef("1e999", -1.0), -1.0);

    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('g'), 0);
    EXPECT_EQ(HexToInt("1g"), 16);
    EXPECT_EQ(HexToInt(""), 0);
    EXPECT_EQ(HexToInt("7fFFffFF"), INT32_MAX);
    EXPECT_EQ(HexToInt("ffffffff"), -1);
    EXPECT_EQ(HexToInt("100000001"), 1); // 32-bit wrap
    EXPECT_EQ(HexToIntDef("zz", 5), 0);
}

TEST(TextFields, CommonPrefixLength)
{
    EXPECT_EQ(CommonPrefixLength("abc", "abd"), 2);
    EXPECT_EQ(CommonPrefixLength("abc", "abc"), 3);
    EXPECT_EQ(CommonPrefixLength("", "abc"), 0);
    EXPECT_EQ(CommonPrefixLength("abc", ""), 0);
    // "本" (E6 9C AC) and "曜" (E6 9B 9C) share a first byte only.
    EXPECT_EQ(CommonPrefixLength("日本", "日曜"), 3);
    EXPECT_EQ(CommonPrefixLength("a\x95\x5C", "a\x95\x5D", TTextEncoding::Cp932), 1);
    EXPECT_EQ(CommonPrefixLength("a\x95\x5C", "a\x95\x5C!", TTextEncoding::Cp932), 3);
}

TEST(TextFields, PathDelimitersAndBaseNames)
{
    std::string P = "a";
    AddPathDelimiter(P);
    EXPECT_EQ(P, "a/");
    AddPathDelimiter(P);
    EXPECT_EQ(P, "a/");
    EXPECT_EQ(RemovePathDelimiter("a/"), "a");
    EXPECT_EQ(RemovePathDelimiter("a"), "a");
    EXPECT_EQ(RemovePathDelimiter("a//"), "a/");

    EXPECT_EQ(ExtractFileBaseName("/x/y/file.tar.gz"), "file.tar");
    EXPECT_EQ(ExtractFileBaseName("/x.d/file"), "file");
    EXPECT_EQ(ExtractFileBaseName("file"), "file");
    EXPECT_EQ(ExtractFileBaseName(""), "");
}

TEST(TextFields, GetLongFileNameSpellsComponentsAsStored)
{
    std::string Dir;
    makeTmpFilename("tlf", Dir); // a unique name for our folder
    ASSERT_EQ(::unlink(Dir.c_str()), 0);
    ASSERT_EQ(::mkdir(Dir.c_str(), 0700), 0);
    const std::string Sub = Dir + "/SubDir";
    ASSERT_EQ(::mkdir(Sub.c_str(), 0700), 0);
    std::ofstream(Sub + "/MixedCase.txt") << "x";
    std::ofstream(Sub + "/ab") << "x";
    std::ofstream(Sub + "/AB") << "x";

    EXPECT_EQ(GetLongFileName(Dir + "/subdir/./mixedcase.TXT"), Sub + "/MixedCase.txt");
    EXPECT_EQ(GetLongFileName(Dir + "//SUBDIR/../subdir/NoSuch/rest.txt"),
              Sub + "/NoSuch/rest.txt");
    EXPECT_EQ(GetLongFileName(Sub + "/Ab"), Sub + "/Ab"); // two candidates: kept
    EXPECT_EQ(GetLongFileName(Sub + "/ab"), Sub + "/ab");
    EXPECT_EQ(GetLongFileName(Dir + "/subdir/"), Sub + "/");

    char Cwd[4096];
    ASSERT_NE(::getcwd(Cwd, sizeof Cwd), nullptr);
    ASSERT_EQ(::chdir(Sub.c_str()), 0);
    EXPECT_EQ(GetLongFileName("mixedCASE.txt"), Sub + "/MixedCase.txt");
    ASSERT_EQ(::chdir(Cwd), 0);

    for (const char* F : {"/MixedCase.txt", "/ab", "/AB"})
        ::unlink((Sub + F).c_str());
    ::rmdir(Sub.c_str());
    ::rmdir(Dir.c_str());
}

TEST(TextFields, MakeTmpFilenameCreatesAFile)
{
    std::string Name;
    makeTmpFilename("tvr", Name);
    struct stat St;
    ASSERT_EQ(::stat(Name.c_str(), &St), 0) << Name;
    EXPECT_TRUE(S_ISREG(St.st_mode));
    EXPECT_EQ(St.st_size, 0);
    if (const char* T = std::getenv("TMPDIR"); T != nullptr && *T != '\0') {
        EXPECT_EQ(Name.rfind(T, 0), 0u) << Name;
    }
    ::unlink(Name.c_str());
}

TEST(TextFields, FileURLToPath)
{
    EXPECT_EQ(FileURLToPath("file:///home/a/b.txt"), "/home/a/b.txt");
    EXPECT_EQ(FileURLToPath("FILE:///C:/a/b.txt"), "/C:/a/b.txt");
    EXPECT_EQ(FileURLToPath("File://host/share/x"), "//host/share/x");
    try {
        FileURLToPath("http://host/x");
        FAIL() << "no error";
    } catch (const EUserError& E) {
        EXPECT_EQ(E.Message(), "MyUnit.FileURLToPath: ファイル名が不正です。(http://host/x)");
    }
    EXPECT_THROW(FileURLToPath("file:/x"), EUserError);
    EXPECT_THROW(FileURLToPath(""), EUserError);
}
