#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <functional>
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

// Boxes asked for under a hold (the user interface holds them while it
// paints) are answered by default at once and shown when the last hold has
// ended, through the poster, each text once, without their owner.
TEST(MessageBoxHub, BoxesAskedForUnderAHoldComeOnceAfterIt)
{
    std::vector<std::string> Shown;
    int Owner = 0;
    TMessageBoxHandler Previous = SetMessageBoxHandler(
        [&](void* O, const std::string& Text, const std::string& Caption, uint32_t Flags) {
            Shown.push_back(Text + "|" + Caption + "|" + std::to_string(Flags) + (O ? "|owner" : ""));
            return IDNO;
        });
    std::vector<std::function<void()>> Posted;
    TMessageBoxPoster PreviousPoster =
        SetMessageBoxPoster([&](std::function<void()> Show) { Posted.push_back(std::move(Show)); });
    {
        TMessageBoxHold Outer;
        EXPECT_TRUE(MessageBoxesHeld());
        {
            TMessageBoxHold Inner;
            EXPECT_EQ(MessageBox(&Owner, "描けません", "エラー", MB_ICONHAND), IDOK);
            EXPECT_EQ(MessageBox(&Owner, "描けません", "エラー", MB_ICONHAND), IDOK);
            EXPECT_EQ(MessageBox(nullptr, "保存しますか？", "確認", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
        }
        // The inner hold's end shows nothing: the outer one still holds.
        EXPECT_TRUE(Posted.empty());
        EXPECT_EQ(MessageBox(nullptr, "描けません", "警告", MB_ICONEXCLAMATION), IDOK);
    }
    EXPECT_FALSE(MessageBoxesHeld());
    EXPECT_TRUE(Shown.empty());
    ASSERT_EQ(Posted.size(), 1u);
    Posted.front()();
    EXPECT_EQ(Shown, (std::vector<std::string>{"描けません|エラー|16", "保存しますか？|確認|259", "描けません|警告|48"}));
    // Nothing is kept any more; a box outside a hold comes at once.
    Shown.clear();
    Posted.front()();
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(MessageBox(&Owner, "今", "", MB_OK), IDNO);
    EXPECT_EQ(Shown, std::vector<std::string>{"今||0|owner"});
    // Without a poster the kept boxes come as the hold ends.
    SetMessageBoxPoster(nullptr);
    Shown.clear();
    {
        TMessageBoxHold Hold;
        MessageBox(nullptr, "後で", "", MB_OK);
        EXPECT_TRUE(Shown.empty());
    }
    EXPECT_EQ(Shown, std::vector<std::string>{"後で||0"});
    SetMessageBoxPoster(PreviousPoster);
    SetMessageBoxHandler(Previous);
}
