// The document window's menus in the frame's bar: their entries are the
// frame's commands themselves, there only while a document window is
// active, and an entry chosen runs its command.
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
    TChildMenus& Menus() const { return *Frame->findChild<TChildMenus*>(); }
    void Start()
    {
        TFrameTest::Start();
        ASSERT_NE(Frame->findChild<TChildMenus*>(), nullptr);
    }
    // Every command entry of the bar (submenus walked) with the title of its
    // top-level menu.
    std::map<QAction*, QString> Entries() const
    {
        std::map<QAction*, QString> Result;
        for (QAction* Top : Frame->menuBar()->actions())
            for (std::vector<QMenu*> Open{Top->menu()}; !Open.empty();) {
                QMenu* M = Open.back();
                Open.pop_back();
                for (QAction* A : M->actions())
                    A->menu() ? Open.push_back(A->menu()) : void(Result[A] = Top->text());
            }
        return Result;
    }
    QAction* Command(const char* Name) const
    {
        QAction* A = Frame->ActionByName(Name);
        return A ? A : Menus().findChild<TAction*>(Name);
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
    for (bool Open : {true, false}) {
        const auto Shown = Entries();
        for (const auto& [Title, Names] : DocumentEntries)
            for (const char* Name : Names) {
                const auto It = Shown.find(Command(Name));
                EXPECT_EQ(It != Shown.end() ? It->second : QString(), Open ? Title : "") << Name;
            }
        Frame->actClose->trigger();
        Settle();
    }
    EXPECT_EQ(Frame->menuBar()->actions().size(), 5); // the frame's own
    // Counted without the entries that left: the document commands are off.
    EXPECT_FALSE(Frame->actGridOption->isEnabled());
    Frame->actNew->trigger();
    EXPECT_EQ(Entries()[Frame->actSave], "ファイル(&F)");
}

TEST_F(ChildMenusTest, EntriesShowTheEnablingAndCheckMarksTheWindowSets)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    // One display quality checked, the page's, also after another is chosen.
    const QList<QAction*> Qualities = {Frame->actDispWire, Frame->actDispLow, Frame->actDispMid,
                                       Frame->actDispHigh};
    for (int Step = 0; Step < 3; ++Step) {
        for (int I = 0; I < 4; ++I)
            EXPECT_EQ(Qualities[I]->isChecked(), I == ActivePage()->DisplayMode()) << Step << " " << I;
        Qualities[(ActivePage()->DisplayMode() + Step) % 4]->trigger(); // the checked one again at 0
    }
    // Every command has its window side: enabled with the document commands.
    Frame->UpdateDocumentActions();
    for (const char* Name : {"actSaveBMP", "actBmpTrace", "actMorvo", "actPrint", "actCopyAsBMP", "actPrintSetup"})
        EXPECT_TRUE(Command(Name)->isEnabled()) << Name;
    EXPECT_TRUE(Frame->actSave->isEnabled());
}

// The display quality's check as the 表示 menu draws it: the entry under the
// keyboard or the mouse (画質高, the first, whenever the menu is opened from
// the keyboard) shows its check just as the others do.
TEST_F(ChildMenusTest, TheCheckedQualityIsDrawnCheckedAlsoUnderTheHighlight)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    QMenu* View = nullptr;
    for (QAction* Top : Frame->menuBar()->actions())
        if (Top->text() == "表示(&V)")
            View = Top->menu();
    ASSERT_NE(View, nullptr);
    View->popup(Frame->mapToGlobal(QPoint(40, 40)));
    ASSERT_TRUE(BecomesExposed(View));
    struct TCase {
        QAction* Quality; // the page's display quality
        QAction* Entry;   // the entry drawn
    };
    // The entry's row as drawn with Active the highlighted entry.
    const auto Row = [&](const TCase& C, QAction* Active) {
        C.Quality->trigger();
        EXPECT_TRUE(C.Quality->isChecked());
        View->setActiveAction(Active);
        return View->grab(View->actionGeometry(C.Entry)).toImage().convertToFormat(QImage::Format_RGB32);
    };
    for (const TCase& C : {TCase{Frame->actDispHigh, Frame->actDispHigh}, TCase{Frame->actDispMid, Frame->actDispMid},
                           TCase{Frame->actDispLow, Frame->actDispLow}}) {
        QAction* Other = C.Entry == Frame->actDispWire ? Frame->actDispLow : Frame->actDispWire;
        const QImage Checked = Row(C, Other);
        const QImage Highlighted = Row(C, C.Entry);
        const QImage HighlightedUnchecked = Row({Other, C.Entry}, C.Entry);
        ASSERT_EQ(Checked.size(), Highlighted.size());
        // The check's own pixels: where checking changes the highlighted
        // row. They are drawn as in the row without the highlight, but for
        // the panel's anti-aliased outline, which blends with what lies
        // behind it (about a tenth of them).
        int CheckPixels = 0, Unlike = 0;
        for (int Y = 0; Y < Highlighted.height(); ++Y)
            for (int X = 0; X < Highlighted.width(); ++X)
                if (Highlighted.pixel(X, Y) != HighlightedUnchecked.pixel(X, Y)) {
                    ++CheckPixels;
                    Unlike += Highlighted.pixel(X, Y) != Checked.pixel(X, Y);
                }
        EXPECT_GT(CheckPixels, 40) << C.Entry->text().toStdString();
        EXPECT_LE(Unlike, CheckPixels / 5) << C.Entry->text().toStdString() << ": " << Unlike << " of " << CheckPixels;
    }
    View->hide();
}

TEST_F(ChildMenusTest, GroupChosenFromItsMenuIsOneUndoStep)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    TPage* Page = ActivePage();
    auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
    QMenu* Arrange = Menus().ArrangeMenu();
    // Group, ungroup and text on a path as the selection allows, when the menu opens.
    auto States = [&] {
        Arrange->popup(Frame->mapToGlobal(QPoint(40, 40)));
        EXPECT_TRUE(BecomesExposed(Arrange));
        return std::vector<bool>{Menus().actGroup->isEnabled(), Menus().actUngroup->isEnabled(),
                                 Menus().actTextWithPath->isEnabled()};
    };
    EXPECT_EQ(States(), std::vector<bool>({false, false, false}));
    for (int I = 0; I < 3; ++I) {
        auto R = std::make_unique<TRectObj>(Page, -1);
        R->SetFrame(10 + 30 * I, 10, 20, 20);
        Sel->AddItem(Page->RootGroup().AddChild(std::move(R), -1));
    }
    // The items as a document read from a file holds them.
    THistoryCommand* History = gDocuments->GetDocument(0)->History();
    History->ClearHistory();
    History->ResetObjCount();

    EXPECT_EQ(States(), std::vector<bool>({true, false, false}));
    QTest::mouseClick(Arrange, Qt::LeftButton, {}, Arrange->actionGeometry(Menus().actGroup).center());
    ASSERT_EQ(Page->RootGroup().GetCount(), 1);
    EXPECT_EQ(History->UndoCaption(), "グループ化");
    Frame->actUndo->trigger();
    EXPECT_EQ(Page->RootGroup().GetCount(), 3);
    EXPECT_FALSE(History->CanUndo());
    Frame->actRedo->trigger();
    Sel->ClearSelection();
    Sel->AddItem(Page->RootGroup().GetItem(0));
    EXPECT_EQ(States(), std::vector<bool>({true, true, false}));
    Arrange->hide();
}

} // namespace
