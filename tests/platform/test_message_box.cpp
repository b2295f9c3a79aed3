#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(MessageBoxHub, DefaultAnswerIsTheDefaultButton)
{
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_OK), IDOK);
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_OK | MB_DEFBUTTON2), IDOK); // no second button
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_RETRYCANCEL), IDCANCEL); // unattended: never retry
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNO | MB_DEFBUTTON3), IDYES);
}

TEST(MessageBoxHub, HandlerIsCalledAndReplaceable)
{
    std::vector<std::string> Calls;
    int Owner = 0;
    TMessageBoxHandler Previous = SetMessageBoxHandler(
        [&](void* O, const std::string& Text, const std::string& Caption, uint32_t Flags) {
            Calls.push_back(Text + "|" + Caption + "|" + std::to_string(Flags) + (O == &Owner ? "|owner" : ""));
            return IDNO;
        });
    EXPECT_EQ(MessageBox(&Owner, "保存しますか？", "確認", MB_YESNOCANCEL | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(Calls, std::vector<std::string>{"保存しますか？|確認|35|owner"});
    // Putting the old handler back returns ours; the default answers by flags.
    TMessageBoxHandler Ours = SetMessageBoxHandler(Previous);
    ASSERT_TRUE(Ours);
    testing::internal::CaptureStderr();
    int Answer = MessageBox(nullptr, "本文", "見出し", MB_OKCANCEL | MB_DEFBUTTON2);
    std::string Err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Calls.size(), 1u);
    if (!Previous) {
        EXPECT_EQ(Answer, IDCANCEL);
        EXPECT_NE(Err.find("見出し"), std::string::npos);
        EXPECT_NE(Err.find("本文"), std::string::npos);
    }
}
