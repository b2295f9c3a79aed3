// The frame's status text, command enabling and property panel show the
// active document window's selection: at the window's creation, at every
// change of the active window, after a document is opened in place of the
// untouched untitled one, and never the state of a window in the background.
#include "shell_test_support.h"

#include "model/draw_group.h"
#include "shell/status_panel.h"
#include "shell/tavro_action.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/paint_box_wex.h"
#include "ui/panel_button.h"
#include "ui/preview_dialogs.h"
#include "ui/toolbar_button97.h"

#include <QTimer>

#include <functional>

namespace {

class TActiveWindowTest : public TFrameTest {
protected:
    TSelectedObjects& SelOf(TDocWindow* W) const
    {
        return *dynamic_cast<TSelectedObjects*>(W->DrawingPage()->Selection());
    }
    static TDrawItem* AddRect(TDocWindow* W, int32_t X)
    {
        auto R = std::make_unique<TRectObj>(W->DrawingPage(), -1);
        R->SetFrame(X, 5, 20, 10);
        return W->DrawingPage()->RootGroup().AddChild(std::move(R), -1);
    }
    std::string Status() const { return Frame->StatusPanel(1)->GetText(); }
    void Activate(TDocWindow* W)
    {
        Frame->MdiArea()->setActiveSubWindow(W->SubWindow());
        Settle();
    }
    // The commands a selection enables, by name, that are enabled now.
    std::vector<std::string> SelectionCommandsEnabled() const
    {
        const std::pair<const char*, TAction*> Commands[] = {
            {"undo", Frame->actUndo},          {"redo", Frame->actRedo},
            {"cut", Frame->actCut},            {"copy", Frame->actCopy},
            {"delete", Frame->actDel},         {"duplicate", Frame->actDup},
            {"merge", Frame->actMerge},        {"unmerge", Frame->actUnMerge},
            {"to line", Frame->actToPolyLine}, {"one up", Frame->act1Up},
            {"top", Frame->actTop},            {"bottom", Frame->actBottom},
            {"align left", Frame->actArngLeft}, {"centre h", Frame->actCenterH},
            {"image centre v", Frame->actImgCenterV}, {"equal v", Frame->actEqualV},
            {"node smooth", Frame->actNodeSmooth}};
        std::vector<std::string> On;
        for (const auto& [Name, A] : Commands)
            if (A->isEnabled())
                On.push_back(Name);
        return On;
    }
};

using Names = std::vector<std::string>;

} // namespace

// A new window starts with its own empty selection: no status, an empty
// panel bound to no document, the selection commands off. Each change of the
// active window, also to one whose predecessor has gone, shows that
// window's selection.
TEST_F(TActiveWindowTest, StatusAndPanelFollowTheActiveWindow)
{
    Start();
    TDocWindow* First = Frame->ActiveDocWindow();
    ASSERT_NE(First, nullptr);
    ASSERT_TRUE(frmObjProperty);
    const std::vector<TDrawItem*> Three{AddRect(First, 0), AddRect(First, 30), AddRect(First, 60)};
    Frame->actSelAll->trigger();
    ASSERT_EQ(SelOf(First).Items(), Three);
    EXPECT_EQ(Status(), "3個の図形を選択中");
    EXPECT_EQ(frmObjProperty->Targets(), Three);

    Frame->actNew->trigger();
    Settle();
    TDocWindow* Second = Frame->ActiveDocWindow();
    ASSERT_NE(Second, First);
    struct TCase {
        const char* Name;
        std::function<void()> Go;
        TDocWindow* Shown;
        std::vector<TDrawItem*> Targets;
        std::string Status;
    };
    const TCase Cases[] = {
        {"new window", [] {}, Second, {}, ""},
        {"back to the first", [&] { Activate(First); }, First, Three, "3個の図形を選択中"},
        {"to the second again", [&] { Activate(Second); }, Second, {}, ""},
        {"first again", [&] { Activate(First); }, First, Three, "3個の図形を選択中"},
    };
    for (const TCase& C : Cases) {
        C.Go();
        EXPECT_EQ(Frame->ActiveDocWindow(), C.Shown) << C.Name;
        EXPECT_EQ(Status(), C.Status) << C.Name;
        EXPECT_EQ(frmObjProperty->Targets(), C.Targets) << C.Name;
        EXPECT_EQ(frmObjProperty->DocLink(), C.Targets.empty() ? nullptr : C.Shown) << C.Name;
        EXPECT_EQ(Frame->actCut->isEnabled(), !C.Targets.empty()) << C.Name;
        EXPECT_EQ(frmObjProperty->pnlcolbtnDrawCol->isEnabled(), !C.Targets.empty()) << C.Name;
    }

    // The first window goes while the second waits behind it: the second,
    // active again, shows its own one selected item.
    Activate(Second);
    TDrawItem* Lone = AddRect(Second, 10);
    SelOf(Second).AddItem(Lone);
    EXPECT_EQ(frmObjProperty->Targets(), std::vector<TDrawItem*>{Lone});
    Activate(First);
    First->Document()->SetModified(false);
    First->SubWindow()->close();
    Settle();
    ASSERT_EQ(Frame->ActiveDocWindow(), Second);
    EXPECT_EQ(frmObjProperty->Targets(), std::vector<TDrawItem*>{Lone});
    EXPECT_EQ(frmObjProperty->DocLink(), Second);
    EXPECT_EQ(Status(), "中心=(20,10),回転角=0.0'");
    EXPECT_EQ(SelectionCommandsEnabled(), (Names{"cut", "copy", "delete", "duplicate", "to line", "one up", "top",
                                                 "bottom", "image centre v"}));
}

// A selection change in a window behind the active one leaves the frame's
// status and panel to the active window: an edit in the panel then reaches
// the active window's document only.
TEST_F(TActiveWindowTest, AWindowBehindTheActiveOneNeverTakesThePanel)
{
    Start();
    TDocWindow* Back = Frame->ActiveDocWindow();
    TDrawItem* A = AddRect(Back, 0);
    TDrawItem* B = AddRect(Back, 30);
    SelOf(Back).AddItem(A);
    Frame->actNew->trigger();
    Settle();
    TDocWindow* Front = Frame->ActiveDocWindow();
    ASSERT_NE(Front, Back);
    TDrawItem* R = AddRect(Front, 10);
    SelOf(Front).AddItem(R);
    ASSERT_EQ(frmObjProperty->Targets(), std::vector<TDrawItem*>{R});

    THistoryCommand& BackHistory = *Back->Document()->History();
    BackHistory.ClearHistory();
    Back->Document()->SetModified(false);
    const std::string BackWidth = std::to_string(static_cast<TRectObj*>(A)->Width());
    Front->Document()->History()->ClearHistory();
    Front->UpdateActionStates();
    ASSERT_FALSE(Frame->actUndo->isEnabled());
    // A step of the document behind leaves the undo command to the front one.
    const std::function<void()> Changes[] = {[&] { SelOf(Back).AddItem(B); },
                                             [&] { SelOf(Back).MoveCommand(0, 5); },
                                             [&] { SelOf(Back).ClearSelection(); }};
    for (const std::function<void()>& Change : Changes) {
        Change();
        EXPECT_FALSE(Frame->actUndo->isEnabled());
        EXPECT_EQ(frmObjProperty->Targets(), std::vector<TDrawItem*>{R});
        EXPECT_EQ(frmObjProperty->DocLink(), Front);
        EXPECT_EQ(Status(), "中心=(20,10),回転角=0.0'");
        EXPECT_TRUE(Frame->act1Up->isEnabled());
    }
    BackHistory.ClearHistory();
    frmObjProperty->edtWidth->setText("40");
    frmObjProperty->CommitEdit(frmObjProperty->edtWidth);
    EXPECT_EQ(static_cast<TRectObj*>(R)->Width(), 40);
    EXPECT_EQ(static_cast<TRectObj*>(A)->Width(), 20);
    EXPECT_FALSE(BackHistory.CanUndo());
    EXPECT_EQ(Front->Document()->History()->UndoCaption(), "幅の設定");
    Front->Document()->SetModified(false);
}

// Opened through the menu in place of the untouched untitled document: the
// new window's commands follow its empty selection and empty history, and an
// undo with nothing to undo leaves the document unmodified.
TEST_F(TActiveWindowTest, ADocumentOpenedInPlaceOfTheUntitledOneStartsWithItsOwnCommandStates)
{
    const std::string Doc = Tmp / "doc.srn";
    SaveDocumentFile(Doc, 2);
    Start();
    QTimer::singleShot(0, Frame->dlgOpen(), [&] {
        ChooseFile(Frame->dlgOpen(), Doc);
    });
    Frame->actOpen->trigger();
    Settle();
    ASSERT_EQ(DocNames(), std::vector<std::string>{"doc.srn"});
    TDocWindow* W = Frame->ActiveDocWindow();
    ASSERT_NE(W, nullptr);
    EXPECT_EQ(SelectionCommandsEnabled(), Names{});
    EXPECT_TRUE(Frame->actSelAll->isEnabled());
    EXPECT_EQ(Status(), "");

    // Undo and redo with nothing to replay mark nothing.
    W->actUndoExecute();
    W->actRedoExecute();
    EXPECT_FALSE(W->Document()->Modified());
    EXPECT_EQ(W->GetCaption(), "doc");

    // The commands then follow the selection as ever.
    Frame->actSelAll->trigger();
    // (Select all is a step of its own.)
    EXPECT_EQ(SelectionCommandsEnabled(), (Names{"undo", "cut", "copy", "delete", "duplicate", "to line", "top",
                                                 "bottom", "align left", "centre h", "image centre v", "equal v"}));
    EXPECT_EQ(Status(), "2個の図形を選択中");
}

// Ctrl+Tab steps through the document windows in the frame; with a modal
// dialog open over a document (page setup, the text tool's entry) the keys
// stay with the dialog and the window behind it stays the active one.
TEST_F(TActiveWindowTest, CtrlTabSwitchesNoWindowBehindAModalDialog)
{
    Start();
    Frame->actNew->trigger();
    Settle();
    ASSERT_EQ(Frame->DocWindows().size(), 2u);
    QMdiArea* Area = Frame->MdiArea();
    const auto CtrlTab = [](QWidget* W) {
        QTest::keyClick(W, Qt::Key_Tab, Qt::ControlModifier);
        Settle();
    };
    // In the frame the keys switch: the control of what follows.
    QMdiSubWindow* First = Area->currentSubWindow();
    CtrlTab(Frame->ActiveDocWindow()->pboxkClient);
    ASSERT_NE(Area->currentSubWindow(), First);
    QMdiSubWindow* Active = Area->currentSubWindow();

    struct TCase {
        const char* Name;
        std::function<void()> Open;
    } const Cases[] = {
        {"ページ設定", [&] { Frame->actPrintSetup->trigger(); }},
        {"テキスト作成",
         [&] {
             QTest::mouseClick(Frame->sbtnText, Qt::LeftButton);
             TDocWindow* W = Frame->ActiveDocWindow();
             QTest::mouseClick(W->pboxkClient, Qt::LeftButton, {}, W->pboxkClient->rect().center());
         }},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        QString Title;
        std::vector<QMdiSubWindow*> During;
        QTimer::singleShot(0, [&] {
            QWidget* D = QApplication::activeModalWidget();
            ASSERT_NE(D, nullptr);
            Title = D->windowTitle();
            // As the window system hands them on, then to the dialog and to
            // the control with the keys.
            QTest::keyClick(D->windowHandle(), Qt::Key_Tab, Qt::ControlModifier);
            Settle();
            During.push_back(Area->currentSubWindow());
            for (QWidget* W : {D, D->focusWidget()})
                if (W) {
                    CtrlTab(W);
                    During.push_back(Area->currentSubWindow());
                }
            static_cast<QDialog*>(D)->reject();
        });
        C.Open();
        Settle();
        EXPECT_EQ(Title, C.Name);
        ASSERT_GE(During.size(), 2u);
        EXPECT_EQ(During, std::vector<QMdiSubWindow*>(During.size(), Active));
        EXPECT_EQ(Area->currentSubWindow(), Active);
    }
}
