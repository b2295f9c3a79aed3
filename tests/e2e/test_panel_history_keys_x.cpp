// The property panel's undo and redo keys at a real display (Xvfb with
// openbox), in this process, typed by xdotool: Ctrl+Z and Ctrl+Y in the
// page window's number edits and in the text page's edit undo and redo the
// document, and the control keeps the keys and shows the value undone.
#include "shell/shell_test_support.h"

#include "e2e/x_session.h"

#include "model/text_object.h"
#include "platform/cp932.h"
#include "shell/status_panel.h"
#include "shell/tavro_action.h"
#include "store/history.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/page_control_wex.h"

#include <QCursor>
#include <QTabWidget>
#include <QTextEdit>

#include <cmath>
#include <functional>

namespace {

using namespace e2e;

const auto* const gShellEnvironment = ::testing::AddGlobalTestEnvironment(new TShellEnvironment);

class PanelHistoryKeysX : public TWithWindowManager<TFrameTest> {
protected:
    void SetUp() override
    {
        ASSERT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");
        TFrameTest::SetUp();
    }
    void StartShown()
    {
        Start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Frame.get(), Deadline(5000)));
        ASSERT_TRUE(ActivateAndSettle(Frame->winId())) << DescribeDisplay();
    }
    TSelectedObjects& Sel() const { return *dynamic_cast<TSelectedObjects*>(ActivePage()->Selection()); }
    THistoryCommand& History() const { return *ActivePage()->GetHistory(); }
    void Select(TDrawItem* Item)
    {
        Sel().ClearSelection();
        Sel().AddItem(Item);
        Frame->ActiveDocWindow()->SelectionChanged(true);
        Settle();
        History().ClearHistory();
        Frame->ActiveDocWindow()->UpdateActionStates();
    }
    // Sheet brought forward in its page window and Control clicked: the
    // window is active and Control has the keys.
    void ClickInto(QWidget* Sheet, QWidget* Control)
    {
        for (QWidget* W = Sheet->parentWidget(); W; W = W->parentWidget())
            if (auto* Tabs = qobject_cast<QTabWidget*>(W)) {
                Tabs->setCurrentWidget(Sheet);
                break;
            }
        // The window manager makes the window active first: a click on a
        // window it has not taken in yet would give it nothing. Settled,
        // the sheet brought forward is laid out where the click goes.
        QWidget* Window = Sheet->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window, Deadline(5000)));
        ASSERT_TRUE(ActivateAndSettle(Window->winId())) << DescribeDisplay();
        ASSERT_TRUE(WaitFor([&] { return Control->isVisible(); }, 5000));
        QPoint At = Control->mapToGlobal(Control->rect().center());
        // xdotool's waiting move waits for a motion, which never comes when
        // the pointer is there already.
        if (QCursor::pos() == At)
            At += QPoint(1, 0);
        Click(At);
        ASSERT_TRUE(WaitFor([&] { return Control->hasFocus() && QApplication::activeWindow() == Window; }, 5000))
            << "the click did not give the control the keys";
    }
};

TEST_F(PanelHistoryKeysX, CtrlZAndCtrlYInThePanelUndoAndRedoTheDocument)
{
    StartShown();
    // Both added as the drawing tools add them.
    TPage* Page = ActivePage();
    auto NewStar = std::make_unique<TStarObj>(Page, -1);
    NewStar->SetFrame(100, 110, 60, 40);
    NewStar->SetParam(TrecStarParam{});
    auto* Star = NewStar.get();
    Sel().CommandAddNewDrawItem(std::move(NewStar), nullptr);
    auto NewText = std::make_unique<TTextObj>(Page, -1);
    NewText->SetPosition(60, 200);
    NewText->SetNewText("AB");
    auto* Text = NewText.get();
    Sel().CommandAddNewDrawItem(std::move(NewText), nullptr);
    TfrmObjProperty& Panel = *frmObjProperty;

    // Typed and entered, then undone and redone from the edit; the status
    // line says where the star is each time.
    Select(Star);
    auto StatusShowsStar = [&] {
        const std::string Centre = "中心=(" + std::to_string(Star->X() + Star->Width() / 2) + "," +
                                   std::to_string(Star->Y() + Star->Height() / 2) + "),";
        return Frame->StatusPanel(1)->GetText().rfind(Centre, 0) == 0;
    };
    struct TCase {
        const char* Name;
        TEditTrackBarWex* Edit;
        const char* Typed;
        std::function<double()> Held;
    };
    const TCase Cases[] = {
        {"位置X", Panel.edtPosiX, "150", [&] { return double(Star->X()); }},
        {"回転角", Panel.edtObjAngle, "30", [&] { return std::round(Star->Angle() * 180 / M_PI); }},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        ClickInto(Panel.TabSheetGeneral, C.Edit);
        const double Old = C.Held();
        const QString OldText = C.Edit->text();
        const double New = QString(C.Typed).toDouble();
        Key("ctrl+a");
        Type(C.Typed);
        Key("Return");
        ASSERT_TRUE(WaitFor([&] { return C.Held() == New && History().CanUndo(); }, 5000));
        EXPECT_TRUE(WaitFor(StatusShowsStar, 5000)) << Frame->StatusPanel(1)->GetText();
        auto Shows = [&](double Value, const QString& Text) {
            return WaitFor([&] { return C.Held() == Value && C.Edit->text() == Text && StatusShowsStar(); }, 5000);
        };
        Key("ctrl+z");
        EXPECT_TRUE(Shows(Old, OldText)) << "held " << C.Held() << ", shown " << C.Edit->text().toStdString();
        EXPECT_TRUE(Frame->actRedo->isEnabled());
        EXPECT_FALSE(History().CanUndo());
        EXPECT_TRUE(C.Edit->hasFocus());
        Key("ctrl+y");
        EXPECT_TRUE(Shows(New, C.Typed)) << "held " << C.Held() << ", shown " << C.Edit->text().toStdString();
        EXPECT_FALSE(History().CanRedo());
        EXPECT_TRUE(C.Edit->hasFocus());
        History().ClearHistory();
        Frame->ActiveDocWindow()->UpdateActionStates();
    }

    // The text page's edit: a character typed, undone and redone; the
    // caret stays where the typing left it.
    Select(Text);
    QTextEdit* Edit = Panel.RichEdit;
    ClickInto(Panel.TabSheetText, Edit);
    Key("ctrl+End");
    Type("x");
    ASSERT_TRUE(WaitFor([&] { return Text->Text() == "ABx"; }, 5000));
    Key("ctrl+z");
    EXPECT_TRUE(WaitFor([&] { return Text->Text() == "AB" && Edit->toPlainText() == "AB"; }, 5000))
        << Text->Text();
    EXPECT_TRUE(Frame->actRedo->isEnabled());
    EXPECT_TRUE(Edit->hasFocus());
    EXPECT_EQ(Edit->textCursor().position(), 2);
    Key("ctrl+y");
    EXPECT_TRUE(WaitFor([&] { return Text->Text() == "ABx" && Edit->toPlainText() == "ABx"; }, 5000))
        << Text->Text();
    // Where it stood before the step.
    EXPECT_EQ(Edit->textCursor().position(), 2);
    EXPECT_TRUE(Edit->hasFocus());
    Frame->ActiveDocWindow()->Document()->SetModified(false);
}

} // namespace
