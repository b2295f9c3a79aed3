// A text edit whose change fails half way: the text object goes back to its
// exact bytes, the history records nothing, the control shows the text as it
// is, and the failure is reported once.
#include "editors/rich_edit_q.h"
#include "editors/rich_edit_tav.h"

#include "model/draw_test_doubles.h"
#include "model/text_object.h"
#include "platform/cp932.h"
#include "platform/message_box.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr const char* Unmeasurable = "PlaneMakeForPath2 の実行に失敗。";

// A text object that cannot be measured while it holds an 'X' (as a
// character too large for the model): its extents raise, also when the
// object is invalidated before a later change.
class TFragileText : public TTextObj {
public:
    using TTextObj::TTextObj;
    void CalcExtents() override
    {
        if (Text().find('X') != std::string::npos)
            throw EUserError(Unmeasurable);
        TTextObj::CalcExtents();
    }
};

struct RichEditRollback : ::testing::Test {
    RichEditRollback()
    {
        Text.SetText("ab");
        Binding.SetTextObj(&Text);
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Message, const std::string&, uint32_t) {
            Boxes.push_back(Message);
            return IDOK;
        });
    }
    ~RichEditRollback() override { SetMessageBoxHandler(OldBox); }
    std::vector<uint8_t> Stream()
    {
        TMemoryStream S;
        Text.WriteToStream(S);
        const auto* P = static_cast<const uint8_t*>(S.Memory());
        return {P, P + S.Size()};
    }
    std::string Shown() const { return Utf8ToCp932(Control.toPlainText().toStdString()); }
    void ExpectAsBefore(const std::vector<uint8_t>& Before)
    {
        EXPECT_EQ(Text.Text(), "ab");
        EXPECT_EQ(Stream(), Before);
        EXPECT_EQ(Shown(), "ab");
        EXPECT_FALSE(Page.History.CanUndo());
        EXPECT_FALSE(Page.History.IsCommandOpen());
        EXPECT_EQ(Page.History.LockCount(), 0);
    }

    TTestPage Page;
    TFragileText Text{&Page, -1};
    TRichEditWex Control;
    TRichEditTav Binding{&Control};
    TMessageBoxHandler OldBox;
    std::vector<std::string> Boxes;
};

TEST_F(RichEditRollback, APasteThatFailsAfterChangingTheTextLeavesItAsItWas)
{
    TRTFTav Huge;
    Huge.Text = "XY";
    const auto Before = Stream();
    Binding.SetSelection(2, 0);
    // The paste changes the text, then the drawing of the new text fails.
    try {
        Binding.RunCommand("貼り付け", [&] {
            Binding.InsertRichText(Huge);
            Text.CalcExtentsAndInvalidate();
        });
        ADD_FAILURE() << "the failure was not passed on";
    } catch (const EUserError& E) {
        EXPECT_EQ(E.Message(), Unmeasurable);
    }
    ExpectAsBefore(Before);
    // The object is drawn and edited as before.
    Binding.SetSelection(2, 0);
    Binding.RunCommand("１文字挿入", [&] { Binding.InsertText("c", true); });
    EXPECT_EQ(Text.Text(), "abc");
    Page.History.Undo();
    EXPECT_EQ(Stream(), Before);
}

TEST_F(RichEditRollback, AnInputMethodCommitThatFailsIsReportedOnce)
{
    const auto Before = Stream();
    Binding.SetSelection(2, 0);
    // As the input method's commit runs it: the failure cannot pass on
    // through the input method's event, so it is shown here.
    Binding.RunCommand("IME入力", [&] {
        Binding.InsertText("X", true);
        Text.CalcExtentsAndInvalidate();
    }, true);
    EXPECT_EQ(Boxes, std::vector<std::string>{Unmeasurable});
    ExpectAsBefore(Before);
}

} // namespace
