// A value typed into the マクロ page while twenty objects are selected, at a
// real display (Xvfb with openbox), in this process, with xdotool's keys and
// clicks in one session: one click on the cell and the digits reach its edit;
// the document window's close button and Alt+F4 on the page window each
// first record the value as one step; Escape puts the value before it back.
#include "shell/shell_test_support.h"
#include "shell/tavro_action.h"

#include "e2e/x_session.h"

#include "editors/macro_paint_page.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/page_control_wex.h"

#include <QCursor>
#include <QMenuBar>
#include <QStyleOptionComplex>
#include <QTabWidget>

#include <set>

namespace {

using namespace e2e;

const auto* const gShellEnvironment = ::testing::AddGlobalTestEnvironment(new TShellEnvironment);


class LiveValueX : public TWithWindowManager<TFrameTest> {};

TEST_F(LiveValueX, OneClickTakesTheKeysEveryRoadOutRecordsOneStepAndEscapeNone)
{
    ASSERT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");
    Start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Frame.get(), Deadline(5000)));
    TDocWindow* W = Frame->ActiveDocWindow();
    std::vector<TRectObj*> Rects;
    for (int I = 0; I < 20; ++I) {
        auto R = std::make_unique<TRectObj>(W->DrawingPage(), -1);
        R->SetFrame(10 + 18 * I, 40, 15, 30);
        Rects.push_back(static_cast<TRectObj*>(W->DrawingPage()->RootGroup().AddChild(std::move(R), -1)));
    }
    Frame->actSelAll->trigger();
    TMacroPaintPage::PickMacro = [](QWidget*, std::string& Name) {
        Name = "塗り(ボカシ)";
        return true;
    };
    frmObjProperty->MacroPage->MacroAddClick();
    TMacroPaintPage::PickMacro = nullptr;
    Settle();
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    W->Document()->SetModified(false);
    const auto Saved = [&] {
        TMemoryStream S;
        W->Document()->SaveToStream(S);
        return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
    };
    const std::string Before = Saved();
    // The spread of all twenty objects, "" where they differ.
    const auto Spread = [&] {
        std::set<std::string> Values;
        for (TRectObj* R : Rects) {
            std::string V;
            R->Macros().GetMacro(R->Macros().Count() - 1)->GetParamValue("図形の広がり", V);
            Values.insert(V);
        }
        return Values.size() == 1 ? *Values.begin() : std::string();
    };
    TCtrlGridTav& Grid = *frmObjProperty->MacroPage->cgridMacroPaint;
    const int Col = 2 * Rects[0]->Macros().Count() - 1;
    int Row = 1;
    while (Row < Grid.RowCount() && Grid.Cells(Col - 1, Row) != QString::fromUtf8("図形の広がり"))
        ++Row;
    ASSERT_LT(Row, Grid.RowCount());
    // The grid makes its controls anew at every load.
    const auto Edit = [&] { return qobject_cast<TEditTrackBarWex*>(Grid.GetCellControl(Col, Row)); };
    QWidget* Sheet = frmObjProperty->TabSheetPaintProperty;
    if (auto* Tabs = qobject_cast<QTabWidget*>(Sheet->parentWidget()->parentWidget()))
        Tabs->setCurrentWidget(Sheet);

    std::vector<std::string> Boxes;
    const TMessageBoxHandler Recording =
        SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDCANCEL;
        });
    // From the row below, one click on the cell, then -30 (which xdotool's
    // type would read as an option): the keys reach the edit, the value is
    // live in the objects and recorded nowhere.
    const auto TypeIntoCell = [&] {
        // Shown by Qt is not yet taken in by the window manager: the window
        // is activated once it is on the screen, and clicked once it has
        // the keys where the manager put it.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Sheet->window(), Deadline(5000)));
        ASSERT_TRUE(ActivateAndSettle(Sheet->window()->winId())) << DescribeDisplay();
        ASSERT_TRUE(WaitFor([&] { return Grid.isVisible(); }, 5000));
        Click(Grid.viewport()->mapToGlobal(Grid.CellRect(Col - 1, Row + 1).center()));
        EXPECT_TRUE(WaitFor([&] { return !Edit()->isVisible(); }, 3000));
        Click(Grid.viewport()->mapToGlobal(Grid.CellRect(Col, Row).center()));
        // The digits only once the grid has the keys (it hands what is
        // typed to the cell's edit).
        EXPECT_TRUE(WaitFor([&] {
            QWidget* Focus = QApplication::focusWidget();
            return Edit()->isVisible() && Focus && (Focus == &Grid || Grid.isAncestorOf(Focus));
        }, 3000)) << "the click did not give the grid the keys: " << DescribeDisplay();
        Key("minus 3 0");
        EXPECT_TRUE(WaitFor([&] { return Spread() == "-30"; }, 3000))
            << "the edit shows \"" << Edit()->text().toStdString() << "\"";
        EXPECT_FALSE(H.CanUndo());
    };
    // The one step a road left, undone to the exact bytes.
    const auto OneStep = [&](const char* Road) {
        SCOPED_TRACE(Road);
        EXPECT_EQ(Spread(), "-30");
        EXPECT_TRUE(W->Document()->Modified());
        EXPECT_EQ(H.MenuNo(), 0) << "steps: " << H.MenuNo() + 1;
        EXPECT_EQ(H.UndoCaption(), "プロパティの設定");
        Frame->actUndo->trigger();
        EXPECT_TRUE(Saved() == Before);
        H.ClearHistory();
        W->Document()->SetModified(false);
        Settle(50);
    };

    // (a) The document window's close button at the menu bar's end asks to
    // save; cancelled, the document stays.
    TypeIntoCell();
    QWidget* Buttons = Frame->menuBar()->cornerWidget(Qt::TopRightCorner);
    ASSERT_TRUE(Buttons && Buttons->isVisible()) << "the document window is not maximised";
    QStyleOptionComplex Option;
    Option.initFrom(Buttons);
    Option.subControls = QStyle::SC_MdiMinButton | QStyle::SC_MdiNormalButton | QStyle::SC_MdiCloseButton;
    Click(Buttons->mapToGlobal(
        Buttons->style()->subControlRect(QStyle::CC_MdiControls, &Option, QStyle::SC_MdiCloseButton, Buttons).center()));
    EXPECT_TRUE(WaitFor([&] { return !Boxes.empty(); }, 5000)) << "the close asked nothing";
    EXPECT_EQ(Boxes, std::vector<std::string>{"画像1 は変更されています。保存しますか？"});
    ASSERT_EQ(Frame->DocWindows().size(), 1u) << "the document was closed";
    OneStep("close button");

    // (b) Alt+F4 on the page window.
    Boxes.clear();
    TypeIntoCell();
    QWidget* Closed = Sheet->window();
    Key("alt+F4");
    ASSERT_TRUE(WaitFor([&] { return !Closed->isVisible(); }, 5000)) << "the page window stayed";
    Settle(50);
    OneStep("Alt+F4");

    // Escape, in the page shown again: the value before, in the edit, the
    // cell and the objects, and nothing recorded.
    Frame->actMacPaintPropertyPage->trigger();
    TypeIntoCell();
    Key("Escape");
    EXPECT_TRUE(WaitFor([&] { return Spread() == "0"; }, 3000)) << Spread();
    EXPECT_EQ(Edit()->text().toStdString(), "0");
    EXPECT_EQ(Grid.Cells(Col, Row).toStdString(), "0");
    EXPECT_TRUE(Saved() == Before);
    EXPECT_FALSE(H.CanUndo());
    EXPECT_FALSE(W->Document()->Modified());
    EXPECT_EQ(Boxes, std::vector<std::string>());
    SetMessageBoxHandler(Recording);
}

} // namespace
