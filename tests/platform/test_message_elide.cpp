// Texts of message boxes are cut to a size a box can lay out: long runs (file
// names) keep their head and tail, whole characters only.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <string>

namespace {

size_t Chars(const std::string& S)
{
    size_t N = 0;
    for (char C : S)
        N += (static_cast<unsigned char>(C) & 0xC0) != 0x80;
    return N;
}

std::string Repeat(const std::string& Unit, size_t Times)
{
    std::string S;
    for (size_t I = 0; I < Times; ++I)
        S += Unit;
    return S;
}

} // namespace

TEST(MessageElide, ShortTextsAreKept)
{
    for (const std::string& T : {std::string("保存しますか？"), std::string("/tmp/a.srn の読み込みに失敗しました。"),
                                 Repeat("あ", MaxMessageRun), Repeat("ab ", 600)})
        EXPECT_EQ(ElideMessageText(T), T);
}

TEST(MessageElide, ALongNameKeepsItsEndsAndTheSentence)
{
    const std::string Name = "/home/" + Repeat("フォルダ/", 2000) + "作品.srn";
    const std::string Shown = ElideMessageText(Name + " の読み込みに失敗しました。");
    EXPECT_EQ(Chars(Shown), MaxMessageRun + Chars(" の読み込みに失敗しました。"));
    EXPECT_EQ(Shown.rfind("/home/フォルダ/", 0), 0u);
    EXPECT_NE(Shown.find("…"), std::string::npos);
    EXPECT_NE(Shown.find("フォルダ/作品.srn の読み込みに失敗しました。"), std::string::npos);
}

TEST(MessageElide, ManyWordsAreCutAsAWhole)
{
    const std::string Shown = ElideMessageText("始め " + Repeat("語 ", 10'000'000 / 4) + "終わり");
    EXPECT_EQ(Chars(Shown), MaxMessageText);
    EXPECT_EQ(Shown.rfind("始め ", 0), 0u);
    EXPECT_EQ(Shown.substr(Shown.size() - 9), "終わり");
}

TEST(MessageElide, TheHubShowsTheCutText)
{
    std::string Seen;
    TMessageBoxHandler Old =
        SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
            Seen = Text;
            return IDOK;
        });
    const std::string Long(10'000'000, 'x');
    MessageBox(nullptr, Long, "エラー", MB_OK);
    SetMessageBoxHandler(Old);
    EXPECT_EQ(Seen, ElideMessageText(Long));
    EXPECT_EQ(Seen.size(), MaxMessageRun - 1 + std::string("…").size());
}
