// The property panel and the document's history through the frame: Ctrl+Z
// and Ctrl+Y in the controls of the panel's page windows undo and redo the
// document (never a control's own text) and the control keeps the keys;
// after every commit of its own the panel and the status line show what the
// items hold; a size below 1 typed into 幅 or 高さ changes nothing.
#include "shell_test_support.h"

#include "editors/macro_paint_page.h"
#include "model/text_object.h"
#include "shell/status_panel.h"
#include "shell/tavro_action.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/page_control_wex.h"

#include <QTabWidget>
#include <QTextEdit>

#include <functional>

namespace {

class TPanelHistoryTest : public TFrameTest {
protected:
    TfrmObjProperty* P = nullptr;
    TStarObj* Star = nullptr;
    THistoryCommand& History() const { return *ActivePage()->GetHistory(); }
    std::string Bytes() const
    {
        TMemoryStream S;
        Frame->ActiveDocWindow()->Document()->SaveToStream(S);
        return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
    }
    std::string Status() const { return Frame->StatusPanel(1)->GetText(); }
    // A frame whose page holds the item Make makes, selected, with no history.
    template <class T>
    T* StartWith(const std::function<void(T&)>& Make)
    {
        Start();
        P = frmObjProperty.get();
        auto Item = std::make_unique<T>(ActivePage(), -1);
        Make(*Item);
        auto* Added = static_cast<T*>(ActivePage()->RootGroup().AddChild(std::move(Item), -1));
        Frame->actSelAll->trigger();
        Settle();
        History().ClearHistory();
        Frame->ActiveDocWindow()->UpdateActionStates();
        return Added;
    }
    TStarObj* StartWithStar()
    {
        return Star = StartWith<TStarObj>([](TStarObj& S) {
                   S.SetFrame(100, 110, 60, 40);
                   S.SetParam(TrecStarParam{}); // five tips, inner radius a half
               });
    }
    // The page shown in its window, that window active, Control focused.
    static void FocusIn(QWidget* Sheet, QWidget* Control)
    {
        Sheet->window()->show();
        ASSERT_TRUE(ActivateAndWait(Sheet->window()));
        for (QWidget* W = Sheet->parentWidget(); W; W = W->parentWidget())
            if (auto* Tabs = qobject_cast<QTabWidget*>(W)) {
                Tabs->setCurrentWidget(Sheet);
                break;
            }
        Control->setFocus();
        ASSERT_TRUE(GetsKeys(Control));
    }
    static void Type(TEditTrackBarWex* E, const char* Text, bool Enter = true)
    {
        E->selectAll();
        QTest::keyClicks(E, Text);
        if (Enter)
            QTest::keyClick(E, Qt::Key_Return);
        Settle();
    }
    static void Keys(Qt::Key Key)
    {
        QTest::keyClick(QApplication::focusWidget(), Key, Qt::ControlModifier);
        Settle();
    }
    // Every number edit of the pages as shown (the macro grid's aside).
    std::vector<std::string> Shown() const
    {
        std::vector<std::string> Texts;
        for (QWidget* Sheet : P->FTabSheets)
            for (auto* E : Sheet->findChildren<TEditTrackBarWex*>(QString(), Qt::FindDirectChildrenOnly))
                Texts.push_back(E->objectName().toStdString() + "=" + E->text().toStdString());
        return Texts;
    }
};

} // namespace

TEST_F(TPanelHistoryTest, CtrlZAndCtrlYInThePanelRunTheDocumentsUndoAndRedo)
{
    StartWithStar();
    struct TCase {
        QWidget* Sheet;
        TEditTrackBarWex* Edit;
        const char* Typed;
        bool Enter;  // else the value waits, typed, for its commit
    };
    const TCase Cases[] = {
        {P->TabSheetGeneral, P->edtPosiX, "150", true},
        {P->TabSheetGeneral, P->edtObjAngle, "30", true},
        {P->TabSheetShape, P->edtWidth, "120", true},
        {P->TabSheetGeneral, P->edtPosiX, "77", false},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Edit->objectName().toStdString() + " " + C.Typed);
        FocusIn(C.Sheet, C.Edit);
        const std::string Before = Bytes();
        const QString OldText = C.Edit->text();
        Type(C.Edit, C.Typed, C.Enter);
        const std::string After = Bytes();
        ASSERT_TRUE(After != Before);
        Keys(Qt::Key_Z);
        EXPECT_TRUE(Bytes() == Before);
        EXPECT_TRUE(Frame->actRedo->isEnabled());
        EXPECT_EQ(C.Edit->text(), OldText);
        EXPECT_TRUE(GetsKeys(C.Edit));
        Keys(Qt::Key_Y);
        EXPECT_TRUE(Bytes() == After);
        EXPECT_EQ(C.Edit->text(), C.Typed);
        EXPECT_EQ(History().UndoCaption(), P->EditCaption(C.Edit));
        Keys(Qt::Key_Z);
        EXPECT_TRUE(Bytes() == Before);
        // Leaving the edit records nothing: the redo stays.
        C.Sheet->window()->setFocus();
        Settle();
        EXPECT_TRUE(History().CanRedo());
        History().ClearHistory();
    }

    // A page torn off into a window of its own, the macro grid focused.
    TPageControlWex* Holder = nullptr;
    for (QWidget* W = P->TabSheetPaintProperty->parentWidget(); W && !Holder; W = W->parentWidget())
        Holder = qobject_cast<TPageControlWex*>(W);
    ASSERT_TRUE(Holder && Holder->TearOffPage(P->TabSheetPaintProperty, QRect(300, 300, 300, 200)));
    Settle();
    FocusIn(P->TabSheetShape, P->edtHeight);
    const std::string Before = Bytes();
    Type(P->edtHeight, "70");
    const std::string After = Bytes();
    QWidget* Grid = P->MacroPage->cgridMacroPaint;
    FocusIn(P->TabSheetPaintProperty, Grid);
    Keys(Qt::Key_Z);
    EXPECT_TRUE(Bytes() == Before);
    EXPECT_EQ(P->edtHeight->text(), "40");
    Keys(Qt::Key_Y);
    EXPECT_TRUE(Bytes() == After);
    EXPECT_TRUE(GetsKeys(Grid));
    Frame->ActiveDocWindow()->Document()->SetModified(false);
}

TEST_F(TPanelHistoryTest, CtrlZInTheTextPageKeepsItsCaret)
{
    TTextObj* T = StartWith<TTextObj>([](TTextObj& T) {
        T.SetPosition(60, 60);
        T.SetNewText("AB");
    });
    QTextEdit* Edit = P->RichEdit;
    FocusIn(P->TabSheetText, Edit);
    QTextCursor C = Edit->textCursor();
    C.setPosition(1);
    Edit->setTextCursor(C);
    QTest::keyClick(Edit, Qt::Key_X);
    Settle();
    ASSERT_EQ(T->Text(), "AxB");
    for (const char* Shows : {"AB", "AxB"}) {
        Keys(Shows == std::string("AB") ? Qt::Key_Z : Qt::Key_Y);
        EXPECT_EQ(T->Text(), Shows);
        EXPECT_EQ(Edit->toPlainText(), Shows);
        EXPECT_TRUE(GetsKeys(Edit));
        // Where it stood before the step.
        EXPECT_EQ(Edit->textCursor().position(), 2);
    }
    Frame->ActiveDocWindow()->Document()->SetModified(false);
}

TEST_F(TPanelHistoryTest, ThePanelAndTheStatusShowTheItemsAfterItsOwnCommits)
{
    StartWithStar();
    ASSERT_EQ(Status(), "中心=(130,130),回転角=0.0'");
    const std::pair<QWidget*, TEditTrackBarWex*> Cases[] = {
        {P->TabSheetGeneral, P->edtObjAngle}, {P->TabSheetShape, P->edtWidth}, {P->TabSheetGeneral, P->edtPosiY}};
    const char* Typed[] = {"30", "120", "20"};
    for (size_t I = 0; I < std::size(Cases); ++I) {
        auto [Sheet, Edit] = Cases[I];
        SCOPED_TRACE(Typed[I]);
        const std::vector<std::string> Old = Shown();
        const std::string OldStatus = Status();
        FocusIn(Sheet, Edit);
        // Entered with the caret moved to the front: it stays there.
        Edit->selectAll();
        QTest::keyClicks(Edit, Typed[I]);
        QTest::keyClick(Edit, Qt::Key_Home);
        QTest::keyClick(Edit, Qt::Key_Return);
        Settle();
        EXPECT_EQ(Edit->cursorPosition(), 0);
        EXPECT_TRUE(GetsKeys(Edit));
        const std::string Centre = "中心=(" + std::to_string(Star->X() + Star->Width() / 2) + "," +
                                   std::to_string(Star->Y() + Star->Height() / 2) + "),";
        EXPECT_EQ(Status().rfind(Centre, 0), 0u) << Status();
        // What the star holds now, as a fresh load shows it.
        const std::vector<std::string> Now = Shown();
        EXPECT_NE(Now, Old);
        P->SetParam(std::vector<TDrawItem*>(P->Targets()), P->DocLink(), ActivePage()->DPI());
        EXPECT_EQ(Now, Shown());
        Keys(Qt::Key_Z);
        EXPECT_EQ(Shown(), Old);
        EXPECT_EQ(Status(), OldStatus);
        Keys(Qt::Key_Y);
        EXPECT_EQ(Shown(), Now);
    }
    EXPECT_EQ(P->edtAbsRIn->text(), "30");
    Frame->ActiveDocWindow()->Document()->SetModified(false);
}

TEST_F(TPanelHistoryTest, ASizeBelowOneChangesNothing)
{
    StartWithStar();
    struct TCase {
        TEditTrackBarWex* Edit;
        const char* Typed;
        const char* Shows;
    };
    // A 0 is on its way: 05 is 5.
    const TCase Cases[] = {
        {P->edtWidth, "0", "60"}, {P->edtHeight, "00", "40"}, {P->edtWidth, "05", "5"}};
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Typed);
        const std::string Before = Bytes();
        FocusIn(P->TabSheetShape, C.Edit);
        Type(C.Edit, C.Typed);
        // Entered, then left: it stays.
        for (int Left = 0; Left < 2; ++Left) {
            EXPECT_EQ(C.Edit->text(), C.Shows);
            EXPECT_EQ(History().CanUndo(), C.Shows == std::string("5"));
            EXPECT_EQ(Bytes() == Before, !History().CanUndo());
            P->TabSheetShape->window()->setFocus();
            Settle();
        }
    }
    Frame->ActiveDocWindow()->Document()->SetModified(false);
}
