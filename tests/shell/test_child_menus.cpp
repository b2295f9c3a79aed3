// The document window's menus in the frame's bar: their entries are the
// frame's commands themselves, they are there only while a document window
// is active, and an entry runs its command.
#include "shell_test_support.h"

#include "shell/child_menus.h"
#include "shell/tavro_action.h"

#include <QMenu>
#include <QMenuBar>

#include <map>

namespace {

const auto* const gShellEnvironment = ::testing::AddGlobalTestEnvironment(new TShellEnvironment);

class ChildMenusTest : public TFrameTest {
protected:
    // The frame's document menus (checked to exist at start).
    TChildMenus& Menus() const { return *Frame->findChild<TChildMenus*>(); }
    void Start()
    {
        TFrameTest::Start();
        ASSERT_NE(Frame->findChild<TChildMenus*>(), nullptr);
    }
    QStringList TopTitles() const
    {
        QStringList Titles;
        for (QAction* A : Frame->menuBar()->actions())
            Titles << A->text();
        return Titles;
    }
    // Every command entry of the bar (submenus walked) with the title of
    // its top-level menu.
    std::map<QAction*, QString> Entries() const
    {
        std::map<QAction*, QString> Result;
        for (QAction* Top : Frame->menuBar()->actions()) {
            std::vector<QMenu*> Open{Top->menu()};
            while (!Open.empty()) {
                QMenu* M = Open.back();
                Open.pop_back();
                for (QAction* A : M->actions())
                    A->menu() ? Open.push_back(A->menu()) : void(Result[A] = Top->text());
            }
        }
        return Result;
    }
    QAction* Command(const char* Name) const
    {
        if (QAction* A = Frame->ActionByName(Name))
            return A;
        return Menus().findChild<TAction*>(Name);
    }
};

// The document commands and the menu that shows each.
const std::pair<const char*, std::vector<const char*>> DocumentEntries[] = {
    {"ファイル(&F)",
     {"actClose", "actSave", "actSaveAs", "actSaveBMP", "actBmpTrace", "actMorvo", "actPrintSetup", "actPrint"}},
    {"編集(&E)",
     {"actUndo", "actRedo", "actCut", "actCopy", "actPaste", "actDel", "actDup", "actSelAll", "actCopyAsBMP",
      "actToPolyLine", "actMerge", "actUnMerge", "actBezierToLine", "actLineToBezier", "actNodeSym",
      "actNodeSmooth", "actNodeSharp", "actNodeConnect", "actNodeDivide"}},
    {"表示(&V)",
     {"actDispHigh", "actDispMid", "actDispLow", "actDispWire", "actZoomIn", "actZoomOut", "actDispSmooth",
      "actShowGrid", "actDispAnchor", "actRuler"}},
    {"配置(&A)",
     {"act1Up", "act1Down", "actTop", "actBottom", "actArngLeft", "actArngRight", "actCenterH", "actImgCenterH",
      "actEqualH", "actArngTop", "actArngBottom", "actCenterV", "actImgCenterV", "actEqualV", "actGroup",
      "actUngroup", "actTextWithPath"}},
    {"設定(&S)", {"actGridOption", "actSnapGrid", "actSnapObj"}},
};

TEST_F(ChildMenusTest, TheBarShowsEveryDocumentCommandOnlyWhileADocumentWindowIsActive)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const QStringList Frame0 = {"ファイル(&F)", "表示(&V)", "設定(&S)", "ウィンドウ(&W)", "ヘルプ(H)"};
    EXPECT_EQ(TopTitles(), QStringList({"ファイル(&F)", "編集(&E)", "表示(&V)", "配置(&A)", "設定(&S)",
                                        "ウィンドウ(&W)", "ヘルプ(H)"}));
    auto Shown = Entries();
    for (const auto& [Title, Names] : DocumentEntries)
        for (const char* Name : Names) {
            QAction* A = Command(Name);
            ASSERT_NE(A, nullptr) << Name;
            EXPECT_EQ(Shown[A], Title) << Name;
        }
    // The frame's own entries stay in their places.
    const QList<QAction*> File = Frame->menuBar()->actions()[0]->menu()->actions();
    EXPECT_EQ(File.mid(0, 4), QList<QAction*>({Frame->actNew, Frame->actOpen, Frame->actOpenImage, Frame->actClose}));
    EXPECT_EQ(File.last(), Frame->actExit);

    Frame->actClose->trigger();
    Settle();
    ASSERT_TRUE(Frame->DocWindows().empty());
    EXPECT_EQ(TopTitles(), Frame0);
    Shown = Entries();
    for (const auto& [Title, Names] : DocumentEntries)
        for (const char* Name : Names)
            EXPECT_EQ(Shown.count(Command(Name)), 0u) << Name;
    // Counted without the entries that left: the document commands are off.
    EXPECT_FALSE(Frame->actSave->isEnabled());
    EXPECT_FALSE(Frame->actGridOption->isEnabled());

    Frame->actNew->trigger();
    EXPECT_TRUE(Menus().Merged());
    EXPECT_EQ(Entries()[Frame->actSave], "ファイル(&F)");
}

TEST_F(ChildMenusTest, EntriesShowTheEnablingCheckMarksAndShortcutsTheWindowSets)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    QMenu* Edit = Menus().EditMenu();
    EXPECT_EQ(Edit->actions()[0]->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_FALSE(Frame->actCut->isEnabled()); // nothing selected
    // One display quality checked: the page's.
    const std::vector<QAction*> Qualities = {Frame->actDispWire, Frame->actDispLow, Frame->actDispMid,
                                             Frame->actDispHigh};
    auto Checked = [&] {
        std::vector<bool> R;
        for (QAction* A : Qualities)
            R.push_back(A->isChecked());
        return R;
    };
    std::vector<bool> Expected(4, false);
    Expected[ActivePage()->DisplayMode()] = true;
    EXPECT_EQ(Checked(), Expected);
    QAction* Other = Qualities[(ActivePage()->DisplayMode() + 1) % 4];
    Other->trigger();
    Expected.assign(4, false);
    Expected[ActivePage()->DisplayMode()] = true;
    EXPECT_EQ(Checked(), Expected);
    EXPECT_TRUE(Other->isChecked());
    Other->trigger(); // chosen again: stays
    EXPECT_EQ(Checked(), Expected);
    // Nothing is behind these yet: greyed whatever the enabling says.
    Frame->UpdateDocumentActions();
    for (const char* Name : {"actSaveBMP", "actBmpTrace", "actMorvo", "actPrintSetup", "actPrint", "actCopyAsBMP"})
        EXPECT_FALSE(Command(Name)->isEnabled()) << Name;
    EXPECT_TRUE(Frame->actSave->isEnabled());
}

TEST_F(ChildMenusTest, GroupChosenFromItsMenuIsOneUndoStep)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    TPage* Page = ActivePage();
    auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
    QMenu* Arrange = Menus().ArrangeMenu();
    auto Open = [&] {
        Arrange->popup(Frame->mapToGlobal(QPoint(40, 40)));
        return QTest::qWaitForWindowExposed(Arrange);
    };
    auto States = [&] {
        return std::vector<bool>{Menus().actGroup->isEnabled(), Menus().actUngroup->isEnabled(),
                                 Menus().actTextWithPath->isEnabled()};
    };
    // Nothing selected: nothing to group, ungroup or link.
    ASSERT_TRUE(Open());
    EXPECT_EQ(States(), std::vector<bool>({false, false, false}));
    Arrange->hide();
    for (int I = 0; I < 3; ++I) {
        auto R = std::make_unique<TRectObj>(Page, -1);
        R->SetFrame(10 + 30 * I, 10, 20, 20);
        Sel->AddItem(Page->RootGroup().AddChild(std::move(R), -1));
    }
    THistoryCommand* History = gDocuments->GetDocument(0)->History();
    // The items as a document read from a file holds them.
    History->ClearHistory();
    History->ResetObjCount();

    ASSERT_TRUE(Open());
    EXPECT_EQ(States(), std::vector<bool>({true, false, false}));
    const QRect Entry = Arrange->actionGeometry(Menus().actGroup);
    ASSERT_FALSE(Entry.isEmpty());
    QTest::mouseClick(Arrange, Qt::LeftButton, {}, Entry.center());
    ASSERT_EQ(Page->RootGroup().GetCount(), 1);
    EXPECT_NE(dynamic_cast<TDrawGroup*>(Page->RootGroup().GetItem(0)), nullptr);
    EXPECT_EQ(History->UndoCaption(), "グループ化");
    Frame->actUndo->trigger();
    EXPECT_EQ(Page->RootGroup().GetCount(), 3);
    EXPECT_FALSE(History->CanUndo());
    // A selected group can be ungrouped.
    Frame->actRedo->trigger();
    ASSERT_EQ(Page->RootGroup().GetCount(), 1);
    Sel->ClearSelection();
    Sel->AddItem(Page->RootGroup().GetItem(0));
    ASSERT_TRUE(Open());
    EXPECT_EQ(States(), std::vector<bool>({true, true, false}));
    Arrange->hide();
}

} // namespace
