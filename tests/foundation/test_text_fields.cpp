#include "foundation/text_fields.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/test_support.h"

namespace {

// Every field up to the end as "field@next position" (Default "-").
std::vector<std::string> Walk(const std::string& S, char Sep,
                              TTextEncoding Enc = TTextEncoding::Utf8)
{
    std::vector<std::string> R;
    for (int32_t Pos = 1; Pos <= static_cast<int32_t>(S.size()) && R.size() < 10;) {
        std::string F;
        GetField(S, Pos, Sep, F, "-", Enc);
        R.push_back(F + "@" + std::to_string(Pos));
    }
    return R;
}

using VS = std::vector<std::string>;

} // namespace

TEST(TextFields, CharClassTableAndLeadBytes)
{
    const std::pair<int, uint16_t> Classes[] = {{'A', 0x81}, {'G', 0x01}, {'f', 0x82}, {'z', 0x02}, {'7', 0x84},
                                                {'!', 0},    {0x80, 0x300}, {0x9F, 0x200}, {0xA0, 0}, {0xF0, 0x300}};
    for (auto [C, V] : Classes)
        EXPECT_EQ(CharClassTable[C], V) << C;
    for (int C : {0x80, 0x81, 0x9F, 0xA0, 0xE0, 0xFC, 0xFD})
        EXPECT_EQ(IsLeadByteChar(uint8_t(C)), C != 0x80 && C != 0xA0 && C != 0xFD) << C;
}

TEST(TextFields, GetFieldWalksAndKeepsCharactersWhole)
{
    EXPECT_EQ(Walk("ab,cd", ','), (VS{"ab@4", "cd@6"}));
    EXPECT_EQ(Walk(",x", ','), (VS{"-@2", "x@3"}));
    // Past the end: the default, position unchanged.
    std::string F;
    int32_t Pos = 6;
    GetField("ab,cd", Pos, ',', F, "def");
    EXPECT_EQ(F + "@" + std::to_string(Pos), "def@6");
    // CP932 "表" is 0x95 0x5C: its trail byte is "\".
    EXPECT_EQ(Walk("\x95\x5C\x5C" "x", '\\', TTextEncoding::Cp932), (VS{"\x95\x5C@4", "x@5"}));
    EXPECT_EQ(Walk("日本,語", ','), (VS{"日本@8", "語@11"}));
    // "ぁ" is E3 81 81 in UTF-8; read as CP932 its last byte would swallow the separator.
    EXPECT_EQ(Walk("ぁ,x", ','), (VS{"ぁ@5", "x@6"}));
    // A lead byte or a cut sequence at the very end is taken alone.
    EXPECT_EQ(Walk("ab\x95", ',', TTextEncoding::Cp932), (VS{"ab\x95@4"}));
    EXPECT_EQ(Walk("ab\xE6\x97", ','), (VS{"ab\xE6\x97@5"}));
    for (auto [Text, Want] : {std::pair{"12,,x", std::vector{12, -7, -7}}, {"-2147483648,2147483648", {INT32_MIN, -7}}}) {
        std::vector<int32_t> Got;
        for (Pos = 1; Got.size() < Want.size();)
            Got.push_back(GetFieldInt(Text, Pos, ',', -7));
        EXPECT_EQ(Got, Want) << Text;
    }
}

TEST(TextFields, NumbersAndHex)
{
    EXPECT_EQ(StrToFloatDef(" -0.25 ", -1.0), -0.25);
    for (const char* Bad : {"", "abc", "1,5", "inf", "1e999"})
        EXPECT_EQ(StrToFloatDef(Bad, -1.0), -1.0) << Bad;
    EXPECT_EQ(HexDigitValue('9') + HexDigitValue('a') + HexDigitValue('F'), 9 + 10 + 15);
    EXPECT_EQ(HexDigitValue('g'), 0);
    EXPECT_EQ(HexToInt("1g"), 16);
    EXPECT_EQ(HexToInt("7fFFffFF"), INT32_MAX);
    EXPECT_EQ(HexToInt("ffffffff"), -1);
    EXPECT_EQ(HexToInt("100000001"), 1); // 32-bit wrap
    EXPECT_EQ(HexToIntDef("zz", 5), 0);
}

TEST(TextFields, GeneralFloatFormatAndItsReverse)
{
    const std::vector<std::pair<double, std::string>> Rows = {
        {0.0, "0"}, {1.5, "1.5"}, {-123.25, "-123.25"}, {0.0001, "0.0001"}, {0.00001, "1E-5"},
        {-1.5e-7, "-1.5E-7"}, {1e14, "100000000000000"}, {1e15, "1E15"}, {1.7e308, "1.7E308"},
        {0.1 + 0.2, "0.3"},                                   // 15 digits hide the binary error
        {3.141592653589793, "3.14159265358979"}};
    for (const auto& [V, Text] : Rows) {
        EXPECT_EQ(FloatToStr(V), Text) << V;
        EXPECT_EQ(FloatToStr(StrToFloat(Text)), Text);
    }
    EXPECT_EQ(FloatToStr(2.6, 1), "3");  // one digit: no decimal point
    EXPECT_EQ(FloatToStr(123456.0, 2), "120000");
    EXPECT_EQ(FloatToStr(std::nan("")) + FloatToStr(HUGE_VAL) + FloatToStr(-HUGE_VAL), "NANINF-INF");
    EXPECT_TRUE(std::isnan(StrToFloat("NAN")));
    EXPECT_EQ(StrToFloat("-INF"), -HUGE_VAL);
    EXPECT_EQ(MessageOf<EConvertError>([] { StrToFloat("1,5"); }),
              "'1,5' は有効な浮動小数点数値ではありません");
}

TEST(TextFields, CommonPrefixPathDelimitersAndBaseNames)
{
    // "本" (E6 9C AC) and "曜" (E6 9B 9C) share a first byte only.
    EXPECT_EQ((std::vector{CommonPrefixLength("abc", "abd"), CommonPrefixLength("abc", ""), CommonPrefixLength("日本", "日曜")}),
              (std::vector{2, 0, 3}));
    EXPECT_EQ(CommonPrefixLength("a\x95\x5C", "a\x95\x5D", TTextEncoding::Cp932), 1);
    EXPECT_EQ(CommonPrefixLength("a\x95\x5C", "a\x95\x5C!", TTextEncoding::Cp932), 3);
    EXPECT_EQ(CommonPrefixLength("x\x95", "x\x95", TTextEncoding::Cp932), 2);
    EXPECT_EQ(CommonPrefixLength("x\x95", "x\x95\x5C", TTextEncoding::Cp932), 1);
    std::string P = "a";
    AddPathDelimiter(P);
    AddPathDelimiter(P);
    EXPECT_EQ(P + " " + RemovePathDelimiter("a/") + " " + RemovePathDelimiter("a//"), "a/ a a/");
    EXPECT_EQ(ExtractFileBaseName("/x/y/file.tar.gz") + " " + ExtractFileBaseName("/x.d/file"), "file.tar file");
}

TEST(TextFields, GetLongFileNameSpellsComponentsAsStored)
{
    TTempDir Tmp;
    const std::string Sub = Tmp / "SubDir";
    std::filesystem::create_directory(Sub);
    for (const char* F : {"/MixedCase.txt", "/ab", "/AB"})
        std::ofstream(Sub + F) << "x";
    EXPECT_EQ(GetLongFileName(Tmp / "subdir/./mixedcase.TXT"), Sub + "/MixedCase.txt");
    EXPECT_EQ(GetLongFileName(Tmp.Dir + "//SUBDIR/../subdir/NoSuch/rest.txt"), Sub + "/NoSuch/rest.txt");
    EXPECT_EQ(GetLongFileName(Sub + "/Ab"), Sub + "/Ab"); // two candidates: kept
    EXPECT_EQ(GetLongFileName(Sub + "/ab"), Sub + "/ab");
    EXPECT_EQ(GetLongFileName(Tmp / "subdir/"), Sub + "/");
    const auto Cwd = std::filesystem::current_path();
    std::filesystem::current_path(Sub);
    EXPECT_EQ(GetLongFileName("mixedCASE.txt"), Sub + "/MixedCase.txt");
    std::filesystem::current_path(Cwd);
}

TEST(TextFields, MakeTmpFilenameCreatesAFile)
{
    std::string Name;
    makeTmpFilename("tvr", Name);
    EXPECT_TRUE(std::filesystem::is_regular_file(Name)) << Name;
    EXPECT_EQ(std::filesystem::file_size(Name), 0u);
    const char* T = std::getenv("TMPDIR");
    EXPECT_EQ(Name.rfind(T != nullptr && *T != '\0' ? T : "/tmp", 0), 0u) << Name;
    ::unlink(Name.c_str());
}

TEST(TextFields, FileURLToPath)
{
    EXPECT_EQ(FileURLToPath("file:///home/a/b.txt"), "/home/a/b.txt");
    EXPECT_EQ(FileURLToPath("FILE:///C:/a/b.txt"), "/C:/a/b.txt");
    EXPECT_EQ(FileURLToPath("File://host/share/x"), "//host/share/x");
    EXPECT_EQ(MessageOf<EUserError>([] { FileURLToPath("http://host/x"); }),
              "MyUnit.FileURLToPath: ファイル名が不正です。(http://host/x)");
    EXPECT_THROW(FileURLToPath("file:/x"), EUserError);
}
