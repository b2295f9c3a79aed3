// The property panel and the document's history through the frame: Ctrl+Z
// and Ctrl+Y typed in any control of the panel's page windows undo and redo
// the document (never the control's own text), the focus and the text
// page's caret stay; after every commit of its own the panel and the status
// line show what the items hold; a size below 1 typed into 幅 or 高さ
// changes nothing.
#include "shell_test_support.h"

#include "editors/macro_paint_page.h"
#include "model/text_object.h"
#include "platform/cp932.h"
#include "shell/status_panel.h"
#include "shell/tavro_action.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/page_control_wex.h"

#include <QTabWidget>
#include <QTextEdit>

#include <cmath>
#include <functional>

namespace {

class TPanelHistoryTest : public TFrameTest {
protected:
    TfrmObjProperty& Panel() const { return *frmObjProperty; }
    THistoryCommand& History() const { return *ActivePage()->GetHistory(); }
    std::string Bytes() const
    {
        TMemoryStream S;
        Frame->ActiveDocWindow()->Document()->SaveToStream(S);
        return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
    }
    std::string Status() const { return Frame->StatusPanel(1)->GetText(); }
    template <class T>
    T* Add(int32_t X, int32_t Y, int32_t W, int32_t H)
    {
        auto Item = std::make_unique<T>(ActivePage(), -1);
        Item->SetFrame(X, Y, W, H);
        if constexpr (std::is_same_v<T, TStarObj>)
            Item->SetParam(TrecStarParam{}); // five tips, inner radius a half
        return static_cast<T*>(ActivePage()->RootGroup().AddChild(std::move(Item), -1));
    }
    TTextObj* AddText(const char* Text)
    {
        auto* T = static_cast<TTextObj*>(
            ActivePage()->RootGroup().AddChild(std::make_unique<TTextObj>(ActivePage(), -1), -1));
        T->SetPosition(60, 60);
        T->SetNewText(Utf8ToCp932(Text));
        return T;
    }
    void SelectAll()
    {
        Frame->actSelAll->trigger();
        Settle();
        History().ClearHistory();
        Frame->ActiveDocWindow()->UpdateActionStates();
    }
    // The page shown in its window, that window active, Control focused.
    void FocusIn(QWidget* Sheet, QWidget* Control)
    {
        QWidget* Window = Sheet->window();
        Window->show();
        Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window));
        for (QWidget* W = Sheet->parentWidget(); W; W = W->parentWidget())
            if (auto* Tabs = qobject_cast<QTabWidget*>(W)) {
                Tabs->setCurrentWidget(Sheet);
                break;
            }
        Control->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(Control->hasFocus());
    }
    static void Type(TEditTrackBarWex* E, const char* Text)
    {
        E->selectAll();
        QTest::keyClicks(E, Text);
        QTest::keyClick(E, Qt::Key_Return);
        Settle();
    }
    static void Keys(Qt::Key Key)
    {
        QTest::keyClick(QApplication::focusWidget(), Key, Qt::ControlModifier);
        Settle();
    }
    // Every number edit of the panel's pages as it shows now (the macro
    // grid's own edits aside).
    std::vector<std::string> Shown() const
    {
        std::vector<std::string> Texts;
        for (QWidget* Sheet : Panel().FTabSheets)
            for (auto* E : Sheet->findChildren<TEditTrackBarWex*>(QString(), Qt::FindDirectChildrenOnly))
                Texts.push_back(E->objectName().toStdString() + "=" + E->text().toStdString());
        return Texts;
    }
    // What a fresh load of the selection shows, the panel left as it was.
    std::vector<std::string> Loaded()
    {
        Panel().SetParam(std::vector<TDrawItem*>(Panel().Targets()), Panel().DocLink(), ActivePage()->DPI());
        return Shown();
    }
};

} // namespace

TEST_F(TPanelHistoryTest, CtrlZAndCtrlYInThePanelRunTheDocumentsUndoAndRedo)
{
    Start();
    TStarObj* Star = Add<TStarObj>(100, 110, 60, 40);
    SelectAll();
    struct TCase {
        const char* Name;
        QWidget* Sheet;
        TEditTrackBarWex* Edit;
        const char* Typed;
        const char* Caption;
    };
    const TCase Cases[] = {
        {"位置X", Panel().TabSheetGeneral, Panel().edtPosiX, "150", "位置Xの設定"},
        {"回転角", Panel().TabSheetGeneral, Panel().edtObjAngle, "30", "回転角の設定"},
        {"幅", Panel().TabSheetShape, Panel().edtWidth, "120", "幅の設定"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        FocusIn(C.Sheet, C.Edit);
        const std::string Before = Bytes();
        const QString OldText = C.Edit->text();
        Type(C.Edit, C.Typed);
        const std::string After = Bytes();
        ASSERT_TRUE(After != Before);
        ASSERT_EQ(History().UndoCaption(), C.Caption);
        for (int Round = 0; Round < 2; ++Round) {
            Keys(Qt::Key_Z);
            EXPECT_TRUE(Bytes() == Before) << "not the bytes Before";
            EXPECT_TRUE(Frame->actRedo->isEnabled());
            EXPECT_EQ(C.Edit->text(), OldText);
            EXPECT_TRUE(C.Edit->hasFocus());
            Keys(Qt::Key_Y);
            EXPECT_TRUE(Bytes() == After) << "not the bytes After";
            EXPECT_EQ(C.Edit->text(), C.Typed);
            EXPECT_TRUE(C.Edit->hasFocus());
        }
        EXPECT_EQ(History().UndoCaption(), C.Caption);
        Keys(Qt::Key_Z);
        EXPECT_TRUE(Bytes() == Before) << "not the bytes Before";
        EXPECT_TRUE(C.Edit->hasFocus());
        // Leaving the edit records nothing: the redo stays.
        Panel().TabSheetGeneral->window()->setFocus();
        Settle();
        EXPECT_TRUE(History().CanRedo());
        History().ClearHistory();
    }
    EXPECT_EQ(Star->X(), 100);

    // A value typed and not yet entered is settled first: the key undoes it.
    {
        FocusIn(Panel().TabSheetGeneral, Panel().edtPosiX);
        const std::string Before = Bytes();
        Panel().edtPosiX->selectAll();
        QTest::keyClicks(Panel().edtPosiX, "77");
        Settle();
        ASSERT_EQ(Star->X(), 77);
        Keys(Qt::Key_Z);
        EXPECT_TRUE(Bytes() == Before) << "not the bytes Before";
        EXPECT_EQ(Panel().edtPosiX->text(), "100");
        Keys(Qt::Key_Y);
        EXPECT_EQ(Star->X(), 77);
        EXPECT_EQ(History().UndoCaption(), "位置Xの設定");
        History().ClearHistory();
    }

    // A page torn off into a window of its own, the macro grid focused.
    TPageControlWex* Holder = nullptr;
    for (QWidget* W = Panel().TabSheetPaintProperty->parentWidget(); W && !Holder; W = W->parentWidget())
        Holder = qobject_cast<TPageControlWex*>(W);
    ASSERT_NE(Holder, nullptr);
    TfrmPltChild* Own = Holder->TearOffPage(Panel().TabSheetPaintProperty, QRect(300, 300, 300, 200));
    ASSERT_NE(Own, nullptr);
    Settle();
    Star->SetFrame(100, 110, 60, 40); // nothing recorded
    const std::string Before = Bytes();
    Frame->ActiveDocWindow()->actSelAllExecute();
    FocusIn(Panel().TabSheetShape, Panel().edtHeight);
    Type(Panel().edtHeight, "70");
    const std::string After = Bytes();
    ASSERT_TRUE(After != Before);
    QWidget* Grid = Panel().MacroPage->cgridMacroPaint;
    FocusIn(Panel().TabSheetPaintProperty, Grid);
    Keys(Qt::Key_Z);
    EXPECT_TRUE(Bytes() == Before) << "not the bytes Before";
    EXPECT_EQ(Panel().edtHeight->text(), "40");
    EXPECT_TRUE(Grid->hasFocus());
    Keys(Qt::Key_Y);
    EXPECT_TRUE(Bytes() == After) << "not the bytes After";
    EXPECT_TRUE(Grid->hasFocus());
    Frame->ActiveDocWindow()->Document()->SetModified(false);
}

TEST_F(TPanelHistoryTest, CtrlZInTheTextPageKeepsItsCaret)
{
    Start();
    TTextObj* T = AddText("AB");
    SelectAll();
    QTextEdit* Edit = Panel().RichEdit;
    FocusIn(Panel().TabSheetText, Edit);
    QTextCursor C = Edit->textCursor();
    C.setPosition(1);
    Edit->setTextCursor(C);
    const std::string Before = Bytes();
    QTest::keyClick(Edit, Qt::Key_X);
    Settle();
    ASSERT_EQ(T->Text(), "AxB");
    ASSERT_EQ(History().UndoCaption(), "１文字挿入");
    const std::string After = Bytes();
    Keys(Qt::Key_Z);
    EXPECT_EQ(T->Text(), "AB");
    EXPECT_TRUE(Bytes() == Before) << "not the bytes Before";
    EXPECT_EQ(Edit->toPlainText(), "AB");
    EXPECT_TRUE(Edit->hasFocus());
    EXPECT_EQ(Edit->textCursor().position(), 2);
    EXPECT_TRUE(Frame->actRedo->isEnabled());
    Keys(Qt::Key_Y);
    EXPECT_TRUE(Bytes() == After) << "not the bytes After";
    EXPECT_EQ(Edit->toPlainText(), "AxB");
    EXPECT_EQ(Edit->textCursor().position(), 2);
    EXPECT_TRUE(Edit->hasFocus());
    Frame->ActiveDocWindow()->Document()->SetModified(false);
}

TEST_F(TPanelHistoryTest, ThePanelAndTheStatusShowTheItemsAfterItsOwnCommits)
{
    Start();
    TStarObj* Star = Add<TStarObj>(100, 110, 60, 40);
    SelectAll();
    ASSERT_EQ(Status(), "中心=(130,130),回転角=0.0'");
    struct TCase {
        const char* Name;
        QWidget* Sheet;
        TEditTrackBarWex* Edit;
        const char* Typed;
    };
    const TCase Cases[] = {
        {"回転角", Panel().TabSheetGeneral, Panel().edtObjAngle, "30"},
        {"幅", Panel().TabSheetShape, Panel().edtWidth, "120"},
        {"位置Y", Panel().TabSheetGeneral, Panel().edtPosiY, "20"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::vector<std::string> Old = Shown();
        const std::string OldStatus = Status();
        FocusIn(C.Sheet, C.Edit);
        // Entered with the caret moved to the front: it stays there.
        C.Edit->selectAll();
        QTest::keyClicks(C.Edit, C.Typed);
        QTest::keyClick(C.Edit, Qt::Key_Home);
        QTest::keyClick(C.Edit, Qt::Key_Return);
        Settle();
        EXPECT_EQ(C.Edit->cursorPosition(), 0);
        // What the star holds now, as a load shows it and the status says.
        const std::string Centre = "中心=(" + std::to_string(Star->X() + Star->Width() / 2) + "," +
                                   std::to_string(Star->Y() + Star->Height() / 2) + "),";
        EXPECT_EQ(Status().rfind(Centre, 0), 0u) << Status();
        const std::vector<std::string> Now = Shown();
        EXPECT_NE(Now, Old);
        EXPECT_TRUE(C.Edit->hasFocus());
        EXPECT_EQ(Now, Loaded());
        // Undone by key: the old values and status again.
        Keys(Qt::Key_Z);
        EXPECT_EQ(Shown(), Old);
        EXPECT_EQ(Status(), OldStatus);
        Keys(Qt::Key_Y);
        EXPECT_EQ(Shown(), Now);
        EXPECT_EQ(Status().rfind(Centre, 0), 0u) << Status();
    }
    // The star's absolute inner radius follows its new width.
    EXPECT_EQ(Panel().edtAbsRIn->text(), QString::number(std::lround(Star->Width() / 2 * Star->Param().InnerRadius)));
    Frame->ActiveDocWindow()->Document()->SetModified(false);
}

TEST_F(TPanelHistoryTest, ASizeBelowOneChangesNothing)
{
    Start();
    Add<TStarObj>(100, 110, 60, 40);
    SelectAll();
    struct TCase {
        TEditTrackBarWex* Edit;
        const char* Typed;
        const char* Shows;
        bool Recorded;
    };
    const TCase Cases[] = {
        {Panel().edtWidth, "0", "60", false},
        {Panel().edtHeight, "0", "40", false},
        {Panel().edtHeight, "00", "40", false},
        // On its way: 0 then 5 is 5.
        {Panel().edtWidth, "05", "5", true},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Typed);
        const std::string Before = Bytes();
        FocusIn(Panel().TabSheetShape, C.Edit);
        Type(C.Edit, C.Typed);
        EXPECT_EQ(C.Edit->text(), C.Shows);
        EXPECT_EQ(History().CanUndo(), C.Recorded);
        if (!C.Recorded) {
            EXPECT_TRUE(Bytes() == Before) << "not the bytes Before";
        }
        // Left, it stays.
        Panel().TabSheetShape->window()->setFocus();
        Settle();
        EXPECT_EQ(C.Edit->text(), C.Shows);
        EXPECT_EQ(History().CanUndo(), C.Recorded);
    }
    Frame->ActiveDocWindow()->Document()->SetModified(false);
}
