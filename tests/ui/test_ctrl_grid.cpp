// The control grids: cell geometry and sizing of the string grid, hosted
// controls found by cell, shown over the current cell and following the
// scrolling, their keys, and the item dragging of the macro grid.
#include "ui/ctrl_grid_tav.h"
#include "ui/string_grid_wex.h"

#include "foundation/user_error.h"
#include "window_wait.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

// Cells of 60 x 20 with one-pixel lines: column c starts at 61c, row r at 21r.
constexpr int kStep = 61;

// The macro grid with its protected steps reachable.
struct TTestGrid : TCtrlGridTav {
    using TCtrlGridTav::AutoScrollTick;
    using TCtrlGridTav::TCtrlGridTav;
};

// A shown, active window holding a grid of Cols x Rows scrolling cells
// whose view is Width x Height.
template <class TGrid = TTestGrid>
struct TGridWindowOf {
    TGridWindowOf(int Width = 250, int Height = 140, int Cols = 8, int Rows = 5)
    {
        Grid = new TGrid(&Window);
        QFont Font("IPAGothic");
        Font.setPixelSize(12);
        Grid->setFont(Font);
        Grid->setFrameShape(QFrame::NoFrame);
        Grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        Grid->SetColCount(Cols);
        Grid->SetRowCount(Rows);
        Grid->SetFixedCols(0);
        Grid->SetFixedRows(0);
        Grid->SetDefaultColWidth(60);
        Grid->SetDefaultRowHeight(20);
        Grid->setGeometry(0, 0, Width, Height);
        Window.resize(Width, Height + 40);
        Window.show();
        EXPECT_TRUE(ActivateAndWait(&Window));
        Grid->setFocus();
    }
    QWidget Window;
    TGrid* Grid;
};
using TGridWindow = TGridWindowOf<>;

void SendMouse(TStringGridWex& Grid, QEvent::Type Type, QPoint Pos, Qt::MouseButton Button = Qt::LeftButton)
{
    QWidget* View = Grid.viewport();
    const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button);
    QMouseEvent Event(Type, QPointF(Pos), View->mapToGlobal(QPointF(Pos)), Type == QEvent::MouseMove ? Qt::NoButton : Button,
                      Held, Qt::NoModifier);
    QApplication::sendEvent(View, &Event);
}

void Press(TStringGridWex& G, QPoint P) { SendMouse(G, QEvent::MouseButtonPress, P); }
void Move(TStringGridWex& G, QPoint P) { SendMouse(G, QEvent::MouseMove, P); }
void Release(TStringGridWex& G, QPoint P) { SendMouse(G, QEvent::MouseButtonRelease, P); }

std::optional<QRect> ShownAt(const QWidget* Control)
{
    if (!Control->isVisible())
        return std::nullopt;
    return Control->geometry();
}

// ---------------------------------------------------------------- string grid

TEST(StringGridWex, CellsInViewAndUnderThePointerFollowTheScrolling)
{
    TGridWindowOf<TStringGridWex> W;
    TStringGridWex& G = *W.Grid;
    G.SetFixedCols(1);
    G.SetColWidths(0, 30); // a fixed column of 30: the others start at 31
    EXPECT_EQ(G.VisibleColCount(), 3);  // 31 + 3 * 61 - 1 = 213 <= 250
    G.SetLeftCol(3);
    struct TCase {
        int Col, Row;
        QRect Rect;
    } Cases[] = {
        {0, 2, QRect(0, 42, 30, 20)},   // fixed: stays
        {1, 2, QRect()},                // scrolled out at the left
        {3, 0, QRect(31, 0, 60, 20)},   // the first scrolling column in view
        {6, 4, QRect(214, 84, 36, 20)}, // cut at the right
        {7, 0, QRect()},                // beyond the view
        {8, 0, QRect()},                // beyond the grid
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(G.CellRect(C.Col, C.Row), C.Rect) << C.Col << "," << C.Row;
        if (C.Rect.isEmpty())
            continue;
        int Col = -1;
        int Row = -1;
        G.MouseToCell(C.Rect.right(), C.Rect.bottom(), Col, Row);
        EXPECT_EQ(QPoint(Col, Row), QPoint(C.Col, C.Row));
        if (C.Rect.width() < G.ColWidths(C.Col))
            continue;
        G.MouseToCell(C.Rect.right() + 1, C.Rect.bottom() + 1, Col, Row); // on the lines: still this cell
        EXPECT_EQ(QPoint(Col, Row), QPoint(C.Col, C.Row));
    }
    int Col = 0;
    int Row = 0;
    G.MouseToCell(100, 200, Col, Row); // below the rows
    EXPECT_EQ(QPoint(Col, Row), QPoint(-1, -1));
    // The current cell is brought into view as the last column wholly in it.
    G.SetCol(7);
    EXPECT_EQ(G.LeftCol(), 5);
    G.SetCol(2);
    EXPECT_EQ(G.LeftCol(), 2);
    EXPECT_THROW(G.SetCells(8, 0, "x"), EInvalidGridOperation);
    EXPECT_THROW(G.SetColWidths(0, -1), EInvalidGridOperation);
    EXPECT_EQ(G.ColWidths(0), 30);
}

TEST(StringGridWex, EdgesOfFixedCellsSizeColumnsAndRowsAlsoBelowTheLastRow)
{
    TGridWindowOf<TStringGridWex> W(250, 140, 4, 3);
    TStringGridWex& G = *W.Grid;
    G.SetFixedCols(1);
    G.SetFixedRows(1);
    G.Options = goColSizing | goRowSizing;
    // Row 2's edge (its line) is at y 62, column 1's at x 121.
    struct TCase {
        QPoint Press;
        TGridState State;
        int Index;
    } Cases[] = {
        {{10, 58}, gsNormal, -1},       {{10, 59}, gsRowSizing, 2},  {{10, 65}, gsRowSizing, 2},
        {{10, 66}, gsNormal, -1},       {{70, 62}, gsSelecting, -1}, // not in the fixed column
        {{117, 10}, gsNormal, -1},      {{118, 10}, gsColSizing, 1}, {{124, 10}, gsColSizing, 1},
        {{125, 10}, gsNormal, -1},      {{121, 30}, gsSelecting, -1}, // not in the fixed row
    };
    for (const TCase& C : Cases) {
        Press(G, C.Press);
        EXPECT_EQ(G.GridState(), C.State) << C.Press.x() << "," << C.Press.y();
        Move(G, C.Press + QPoint(7, 7));
        Release(G, C.Press + QPoint(7, 7));
        if (C.State == gsRowSizing) {
            EXPECT_EQ(G.RowHeights(C.Index), 27);
            G.SetRowHeights(C.Index, 20);
        } else if (C.State == gsColSizing) {
            EXPECT_EQ(G.ColWidths(C.Index), 67);
            G.SetColWidths(C.Index, 60);
        }
        EXPECT_EQ(G.GridState(), gsNormal);
    }
}

TEST(StringGridWex, TextEditorOpensOnTypingAndCommitsOnEnter)
{
    struct TCase {
        const char* Typed;
        int Last; // the key that ends the edit
        const char* Cell;
        int Sets; // OnSetEditText calls
    } Cases[] = {{"ab", Qt::Key_Return, "ab", 1}, {"ab", Qt::Key_Escape, "old", 0}, {"", Qt::Key_F2, "old", 0}};
    for (const TCase& C : Cases) {
        TGridWindowOf<TStringGridWex> W;
        TStringGridWex& G = *W.Grid;
        G.Options = goEditing;
        G.SetCells(2, 1, "old");
        G.SetCol(2);
        int Sets = 0;
        G.OnSetEditText = [&](QObject*, int Col, int Row, const QString& Text) {
            ++Sets;
            EXPECT_EQ(QPoint(Col, Row), QPoint(2, 1));
            EXPECT_EQ(Text, "ab");
        };
        if (*C.Typed) {
            QTest::keyClick(&G, C.Typed[0]); // opens the editor, which takes the rest
            ASSERT_TRUE(G.EditorMode());
            QWidget* Editor = QApplication::focusWidget();
            QTest::keyClicks(Editor, C.Typed + 1);
            EXPECT_EQ(Editor->geometry(), G.CellRect(2, 1));
            QTest::keyClick(Editor, Qt::Key(C.Last));
        } else
            QTest::keyClick(&G, Qt::Key(C.Last));
        EXPECT_EQ(G.EditorMode(), !*C.Typed) << C.Typed << C.Last;
        EXPECT_EQ(G.Cells(2, 1), C.Cell);
        EXPECT_EQ(Sets, C.Sets);
    }
}

// ---------------------------------------------------------------- hosted controls

TEST(CtrlGridQ, CellItemsAreTheFirstInListOrderWithWildcards)
{
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    auto* Cell32 = new QLineEdit(G.viewport());
    auto* Row2 = new QLineEdit(G.viewport());
    auto* Col1 = new QLineEdit(G.viewport());
    G.Ctrls().Add(3, 2, Cell32, "a");
    G.Ctrls().Add(-1, 2, Row2, "b");
    EXPECT_EQ(G.Ctrls().Add(1, -1, Col1, "c"), 2);
    struct TCase {
        int Col, Row;
        QWidget* Control;
        const char* Text;
    } Cases[] = {
        {3, 2, Cell32, "a"}, {0, 2, Row2, "b"}, {1, 2, Row2, "b"}, {1, 4, Col1, "c"}, {3, 1, nullptr, ""},
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(G.GetCellControl(C.Col, C.Row), C.Control) << C.Col << "," << C.Row;
        EXPECT_EQ(G.GetCellItemText(C.Col, C.Row), C.Text);
        EXPECT_EQ(G.CellItemIndex(C.Col, C.Row) >= 0, C.Control != nullptr);
    }
    ASSERT_NE(G.FindItemByControl(Row2), nullptr);
    EXPECT_EQ(G.FindItemByControl(Row2)->Col, -1);
    EXPECT_EQ(G.FindItemByControl(&W.Window), nullptr);
    TrecCtrlGridQCtrl Rec;
    G.Ctrls().GetItem(2, Rec);
    EXPECT_EQ(Rec.Control, Col1);
    EXPECT_EQ(Rec.Text, "c");
    try {
        G.Ctrls().GetItem(3, Rec);
        ADD_FAILURE() << "no exception";
    } catch (const EListError& E) {
        EXPECT_EQ(E.Message(), "リストのインデックスが範囲を超えています (3)");
    }
    // Freeing the controls before the items leaves nothing dangling.
    int Clicks = 0;
    G.OnClick = [&](QObject*) { ++Clicks; };
    delete Col1;
    G.MoveToCell(1, 3);
    G.MoveToCell(1, 3); // already there: no click
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(G.CurrentControl(), nullptr);
    // Clearing forgets the current control without taking its text.
    G.MoveToCell(3, 2);
    Cell32->setText("kept");
    ASSERT_EQ(G.CurrentControl(), Cell32);
    G.Ctrls().Clear();
    EXPECT_EQ(G.Ctrls().GetCount(), 0);
    EXPECT_EQ(G.GetCellControl(3, 2), nullptr);
    EXPECT_EQ(G.CurrentControl(), nullptr);
    EXPECT_TRUE(Cell32->isVisible());
    G.MoveToCell(0, 0);
    EXPECT_EQ(G.Cells(3, 2), "");
}

// Hosting and finding cost the same for every cell however many items the
// grid holds (a pasted paint style hosts controls for every macro): 200,000
// items, one control shared, each cell found; scanning the items one by one
// for every lookup took half a minute here.
TEST(CtrlGridQ, ManyItemsAreFoundWithoutScanning)
{
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    auto* Shared = new QLineEdit(G.viewport());
    constexpr int N = 200000;
    G.Ctrls().Add(-1, 7, Shared, "row");  // earlier than every cell of row 7
    for (int I = 0; I < N; ++I)
        G.Ctrls().Add(I / 100, I % 100, Shared, QString::number(I));
    G.Ctrls().Add(5, -1, Shared, "col");  // later than the cells of column 5
    int Found = 0;
    for (int I = 0; I < N; ++I)
        Found += G.GetCellItemText(I / 100, I % 100) == (I % 100 == 7 ? QString("row") : QString::number(I));
    EXPECT_EQ(Found, N);
    EXPECT_EQ(G.GetCellItemText(5, 100), "col");
    EXPECT_EQ(G.CellItemIndex(5, 7), 0);
    EXPECT_EQ(G.CellItemIndex(N / 100, 3), -1);
    G.Ctrls().Clear();
    EXPECT_EQ(G.CellItemIndex(5, 100), -1);
    EXPECT_EQ(G.CellItemIndex(0, 0), -1);
}

TEST(CtrlGridQ, ButtonsAndPanelsStayOthersFloat)
{
    QPushButton Button;
    QFrame Panel;
    QLineEdit Edit;
    QComboBox Combo;
    QLabel Label;
    QPlainTextEdit Memo;
    struct TCase {
        QWidget* Control;
        bool Stays;
    } Cases[] = {{&Button, true}, {&Panel, true}, {&Edit, false}, {&Combo, false}, {&Label, false}, {&Memo, false}};
    for (const TCase& C : Cases)
        EXPECT_EQ(TCtrlGridQ::IsAlwaysVisible(C.Control), C.Stays) << C.Control->metaObject()->className();
}

TEST(StringGridWex, HintCanBeChangedOrSuppressed)
{
    TGridWindowOf<TStringGridWex> W;
    TStringGridWex& G = *W.Grid;
    G.setToolTip("元のヒント");
    bool Show = true;
    QString Seen;
    G.OnShowHint = [&](QObject*, bool& CanShow, THintInfo& Info) {
        Seen = Info.HintStr;
        Info.HintStr = "変えたヒント";
        CanShow = Show;
    };
    QHelpEvent Help(QEvent::ToolTip, QPoint(5, 5), G.viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(G.viewport(), &Help);
    EXPECT_EQ(Seen, "元のヒント");
    EXPECT_EQ(QToolTip::text(), "変えたヒント");
    Show = false;
    QApplication::sendEvent(G.viewport(), &Help);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

TEST(CtrlGridQ, FloatingControlTakesTheCellTextAndGivesItBack)
{
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    std::vector<std::string> Log;
    G.OnControlShow = [&](QObject*, QWidget*, const QString& Text) { Log.push_back("show " + Text.toStdString()); };
    G.OnControlHide = [&](QObject*, int Col, int Row, QString& Text) {
        Log.push_back("hide " + std::to_string(Col) + "," + std::to_string(Row) + " " + Text.toStdString());
        Text += "!";
    };
    G.OnSetEditText = [&](QObject*, int Col, int Row, const QString& Text) {
        Log.push_back("set " + std::to_string(Col) + "," + std::to_string(Row) + " " + Text.toStdString());
    };
    G.MoveToCell(0, 1);
    auto* Edit = new QLineEdit(&W.Window);
    Edit->show();
    G.Ctrls().Add(1, -1, Edit, "");
    EXPECT_FALSE(Edit->isVisible()); // floating controls wait for their cell
    G.SetCells(1, 2, "abc");
    G.MoveToCell(1, 2);
    EXPECT_EQ(ShownAt(Edit), QRect(61, 42, 60, 20));
    EXPECT_EQ(Edit->text(), "abc");
    Edit->setText(QString(300, 'x'));
    G.MoveToCell(0, 2);
    EXPECT_FALSE(Edit->isVisible());
    EXPECT_EQ(G.CurrentControl(), nullptr);
    const std::string Cut(255, 'x');
    EXPECT_EQ(G.Cells(1, 2).toStdString(), Cut + "!");
    EXPECT_EQ(Log, (std::vector<std::string>{"show abc", "hide 1,2 " + Cut, "set 1,2 " + Cut + "!"}));
}

TEST(CtrlGridQ, ComboBoxTakesTheMatchingItemOrTheText)
{
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    auto* Fixed = new QComboBox(G.viewport());
    auto* Editable = new QComboBox(G.viewport());
    Editable->setEditable(true);
    for (QComboBox* Combo : {Fixed, Editable}) {
        Combo->addItems({"赤", "緑", "青"});
        Combo->setCurrentIndex(2);
    }
    G.Ctrls().Add(1, -1, Fixed, "");
    G.Ctrls().Add(2, -1, Editable, "");
    struct TCase {
        const char* Cell;
        int Index, EditableIndex;
        const char* EditableText;
    } Cases[] = {{"緑", 1, 1, "緑"}, {"紫", -1, -1, "紫"}, {"", -1, -1, ""}};
    for (const TCase& C : Cases) {
        G.SetCells(1, 3, C.Cell);
        G.SetCells(2, 3, C.Cell);
        G.MoveToCell(1, 3);
        EXPECT_EQ(Fixed->currentIndex(), C.Index) << C.Cell;
        G.MoveToCell(2, 3);
        EXPECT_EQ(Editable->currentIndex(), C.EditableIndex) << C.Cell;
        EXPECT_EQ(Editable->currentText(), C.EditableText);
        G.MoveToCell(0, 0);
        EXPECT_EQ(G.Cells(2, 3), C.EditableText); // given back unchanged
    }
}

TEST(CtrlGridQ, HostedControlsFollowTheScrolling)
{
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    auto* Button = new QPushButton("…", G.viewport());
    auto* Edit = new QLineEdit(G.viewport());
    G.Ctrls().Add(4, 3, Button, "");
    G.Ctrls().Add(-1, 1, Edit, "");
    struct TCase {
        int Current, LeftCol;
        std::optional<QRect> Button, Edit;
    } Cases[] = {
        {3, 0, std::nullopt, QRect(183, 21, 60, 20)}, // the button's cell is cut at the right
        {3, 1, QRect(183, 63, 60, 20), QRect(122, 21, 60, 20)},
        {3, 4, QRect(0, 63, 60, 20), std::nullopt}, // the current cell is out at the left
        {3, 3, QRect(61, 63, 60, 20), QRect(0, 21, 60, 20)},
        {4, 0, std::nullopt, QRect(244, 21, 6, 20)}, // a floating control may be cut at the right
        {0, 2, QRect(122, 63, 60, 20), std::nullopt},
    };
    for (const TCase& C : Cases) {
        G.MoveToCell(C.Current, 1);
        G.SetLeftCol(C.LeftCol);
        EXPECT_EQ(ShownAt(Button), C.Button) << C.Current << " " << C.LeftCol;
        EXPECT_EQ(ShownAt(Edit), C.Edit) << C.Current << " " << C.LeftCol;
    }
    // The user's scroll bar moves them too, unless the owner keeps the view.
    bool Keep = false;
    std::vector<std::string> Scrolls;
    G.OnScroll = [&](QObject*, int Bar, bool& Handled, int Pos, TScrollCode Code) {
        Scrolls.push_back(std::to_string(Bar) + ":" + std::to_string(Pos) + ":" + std::to_string(Code));
        Handled = Keep;
    };
    G.SetLeftCol(0);
    G.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(G.LeftCol(), 1);
    EXPECT_EQ(ShownAt(Button), QRect(183, 63, 60, 20));
    Keep = true;
    G.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(G.LeftCol(), 1);
    EXPECT_EQ(Scrolls, (std::vector<std::string>{"0:1:1", "0:4:3"}));
}

TEST(CtrlGridQ, LockedControlsStayAndUpdatesReplaceThemAtTheEnd)
{
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    auto* Button = new QPushButton(G.viewport());
    auto* Edit = new QLineEdit(G.viewport());
    G.Ctrls().Add(2, 0, Button, "");
    G.Ctrls().Add(1, 1, Edit, "");
    G.MoveToCell(1, 1);
    G.RealignControls();
    const QRect Before = Button->geometry();

    G.LockControls();
    G.LockControls();
    Edit->setText("typed");
    G.MoveToCell(3, 1);
    G.SetShowControls(false); // ignored
    G.SetLeftCol(1);
    EXPECT_TRUE(Edit->isVisible());
    EXPECT_EQ(G.Cells(1, 1), "");
    EXPECT_EQ(Button->geometry(), Before);
    G.UnlockControls();
    EXPECT_EQ(Button->geometry(), Before);
    G.UnlockControls();
    EXPECT_EQ(Button->geometry(), QRect(61, 0, 60, 20));
    EXPECT_TRUE(G.ShowControls());
    G.SetShowControls(false);
    G.MoveToCell(1, 1);
    EXPECT_FALSE(Edit->isVisible());
    G.SetShowControls(true);
    EXPECT_EQ(ShownAt(Edit), QRect(0, 21, 60, 20));

    G.BeginUpdate();
    G.BeginUpdate();
    EXPECT_FALSE(G.updatesEnabled());
    G.SetLeftCol(0);
    G.EndUpdate();
    EXPECT_FALSE(G.updatesEnabled());
    EXPECT_EQ(Button->geometry(), QRect(61, 0, 60, 20));
    G.EndUpdate();
    EXPECT_TRUE(G.updatesEnabled());
    EXPECT_EQ(Button->geometry(), QRect(122, 0, 60, 20));
}

TEST(CtrlGridQ, UpAndDownInAHostedControlMoveTheRowAndReturnToTheGrid)
{
    struct TCase {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        int Row, NewRow;
        bool GridFocused;
    } Cases[] = {
        {Qt::Key_Up, Qt::NoModifier, 2, 1, true},     {Qt::Key_Up, Qt::NoModifier, 0, 0, true},
        {Qt::Key_Down, Qt::NoModifier, 2, 3, true},   {Qt::Key_Down, Qt::NoModifier, 4, 4, true},
        {Qt::Key_Down, Qt::ControlModifier, 2, 2, false}, {Qt::Key_Up, Qt::AltModifier, 2, 2, false},
    };
    for (const TCase& C : Cases) {
        TGridWindow W;
        TTestGrid& G = *W.Grid;
        auto* Edit = new QLineEdit(G.viewport());
        G.Ctrls().Add(1, -1, Edit, "");
        G.MoveToCell(1, C.Row);
        Edit->setFocus();
        Edit->setText("new");
        QTest::keyClick(Edit, Qt::Key(C.Key), C.Modifiers);
        EXPECT_EQ(G.Row(), C.NewRow) << C.Key << " " << C.Row;
        EXPECT_EQ(G.hasFocus(), C.GridFocused);
        EXPECT_EQ(G.Cells(1, C.Row), C.GridFocused ? "new" : "");
        EXPECT_EQ(ShownAt(Edit), QRect(61, 21 * C.NewRow, 60, 20));
    }
    // A dropped-down list keeps its arrows.
    TGridWindow W;
    auto* Combo = new QComboBox(W.Grid->viewport());
    Combo->addItems({"a", "b", "c"});
    W.Grid->Ctrls().Add(1, -1, Combo, "");
    W.Grid->MoveToCell(1, 2);
    Combo->setFocus();
    Combo->showPopup();
    QTest::keyClick(Combo, Qt::Key_Down);
    EXPECT_TRUE(Combo->view()->isVisible());
    EXPECT_EQ(W.Grid->Row(), 2);
    Combo->hidePopup();
}

TEST(CtrlGridQ, EscapePutsTheCellTextBackAndReturnsToTheGrid)
{
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    auto* Edit = new QLineEdit(G.viewport());
    G.Ctrls().Add(1, 2, Edit, "");
    G.SetCells(1, 2, "abc");
    G.MoveToCell(1, 2);
    Edit->setFocus();
    Edit->setText("zzz");
    QTest::keyClick(Edit, Qt::Key_Escape);
    EXPECT_TRUE(G.hasFocus());
    EXPECT_EQ(G.Cells(1, 2), "abc");
    EXPECT_EQ(Edit->text(), "abc");
    EXPECT_TRUE(Edit->isVisible()); // back over the current cell
    // Leaving the control for another window gives its text to the cell.
    auto* Other = new QLineEdit(&W.Window);
    Other->move(0, 150);
    Other->show();
    Edit->setFocus();
    Edit->setText("left");
    Other->setFocus();
    EXPECT_EQ(G.Cells(1, 2), "left");
    EXPECT_FALSE(Edit->isVisible());
    EXPECT_EQ(G.CurrentControl(), nullptr);
    // So does the grid's leaving while the control shows.
    G.setFocus();
    ASSERT_TRUE(Edit->isVisible());
    Edit->setText("grid left");
    Other->setFocus();
    EXPECT_EQ(G.Cells(1, 2), "grid left");
    EXPECT_FALSE(Edit->isVisible());
    // A control freed while it has the focus leaves its cell as it was.
    G.setFocus();
    Edit->setFocus();
    Edit->setText("freed");
    delete Edit;
    EXPECT_EQ(G.Cells(1, 2), "grid left");
}

TEST(CtrlGridQ, EnteringTheControlFillsAnEmptyCellsDefault)
{
    struct TCase {
        bool ByEnter; // else by focusing the control from the grid
        const char* Cell;
        const char* Text;
    } Cases[] = {{true, "", "5"}, {true, "7", "7"}, {false, "", "5"}, {false, "7", "7"}};
    for (const TCase& C : Cases) {
        TGridWindow W;
        TTestGrid& G = *W.Grid;
        G.Options = goEditing; // not used while a control shows
        auto* Edit = new QLineEdit(G.viewport());
        G.Ctrls().Add(1, -1, Edit, "5");
        G.SetCells(1, 3, C.Cell);
        G.MoveToCell(1, 3);
        G.setFocus();
        if (C.ByEnter)
            QTest::keyClick(&G, Qt::Key_Return);
        else
            Edit->setFocus();
        EXPECT_TRUE(Edit->hasFocus()) << C.ByEnter << C.Cell;
        EXPECT_EQ(Edit->text(), C.Text);
        EXPECT_FALSE(G.EditorMode());
    }
    TGridWindow W;
    auto* Combo = new QComboBox(W.Grid->viewport());
    Combo->addItems({"1", "5"});
    W.Grid->Ctrls().Add(2, -1, Combo, "5");
    W.Grid->MoveToCell(2, 3);
    QTest::keyClick(W.Grid, Qt::Key_Return);
    EXPECT_EQ(Combo->currentIndex(), 1);
    EXPECT_TRUE(Combo->hasFocus());
}

// ---------------------------------------------------------------- item dragging

TEST(CtrlGridTav, PressingAHeaderRightOfItsSquareSelectsTheItem)
{
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    int Changes = 0;
    G.OnSelColumnChange = [&](QObject*) { ++Changes; };
    std::vector<std::string> Mouse; // what the owner hears
    auto Hear = [&](const char* What) {
        return [&Mouse, What](QObject*, Qt::MouseButton Button, TShiftState, int X, int Y) {
            Mouse.push_back(std::string(What) + std::to_string(Button) + ":" + std::to_string(X) + "," +
                            std::to_string(Y));
        };
    };
    G.OnMouseDown = Hear("down");
    G.OnMouseUp = Hear("up");
    struct TCase {
        QPoint Press;
        int Item, State;
        QPoint Current;
    } Cases[] = {
        {{150, 10}, 1, 1, {2, 1}},  // the header of item 1: the cell below becomes current
        {{141, 10}, -1, 0, {2, 1}}, // in the square of the caption column's header
        {{215, 10}, 1, 1, {3, 1}},  // the value column's header
        {{150, 50}, -1, 0, {2, 2}},
    };
    int Expected = 0;
    int Item = -1;
    for (const TCase& C : Cases) {
        Press(G, C.Press);
        Expected += Item != C.Item;
        Item = C.Item;
        EXPECT_EQ(G.ItemIndex(), C.Item) << C.Press.x() << "," << C.Press.y();
        EXPECT_EQ(G.DragState(), C.State);
        EXPECT_EQ(QPoint(G.Col(), G.Row()), C.Current);
        Release(G, C.Press);
        EXPECT_EQ(G.DragState(), 0);
    }
    EXPECT_EQ(Changes, Expected);
    EXPECT_EQ(Mouse.size(), 8u);
    EXPECT_EQ(Mouse[6], "down1:150,50");
    EXPECT_EQ(Mouse[7], "up1:150,50");
    // A selected item keeps the keys from moving the current cell.
    G.SetItemIndex(2);
    QTest::keyClick(&G, Qt::Key_Right);
    QTest::keyClick(&G, Qt::Key_Down);
    EXPECT_EQ(QPoint(G.Col(), G.Row()), QPoint(2, 2));
    G.SetItemIndex(-1);
    QTest::keyClick(&G, Qt::Key_Right);
    EXPECT_EQ(QPoint(G.Col(), G.Row()), QPoint(3, 2));
}

TEST(CtrlGridTav, ADragStartsBeyondThreePixels)
{
    struct TCase {
        int Dx, Dy, State;
    } Cases[] = {{3, 0, 1}, {0, -3, 1}, {-3, 3, 1}, {4, 0, 2}, {0, 4, 2}, {-4, -1, 2}};
    for (const TCase& C : Cases) {
        TGridWindow W;
        TTestGrid& G = *W.Grid;
        auto* Timer = G.findChild<QTimer*>();
        ASSERT_NE(Timer, nullptr);
        Press(G, {150, 10});
        Move(G, QPoint(150 + C.Dx, 10 + C.Dy));
        EXPECT_EQ(G.DragState(), C.State) << C.Dx << "," << C.Dy;
        EXPECT_EQ(Timer->isActive(), C.State == 2);
        EXPECT_EQ(Timer->interval(), 200);
        EXPECT_EQ(G.viewport()->cursor().shape(), C.State == 2 ? Qt::DragMoveCursor : Qt::ArrowCursor);
        Release(G, QPoint(150 + C.Dx, 10 + C.Dy));
        EXPECT_FALSE(Timer->isActive());
        EXPECT_EQ(G.viewport()->cursor().shape(), Qt::ArrowCursor);
    }
}

TEST(CtrlGridTav, DroppingAnItemMovesItUnlessItLandsWhereItWas)
{
    // Item 1 (columns 2 and 3) is dragged.
    struct TCase {
        int X;
        int To; // -1: no move
    } Cases[] = {{30, 0}, {90, -1}, {150, -1}, {210, -1}, {246, -1}, {400, 3}};
    for (const TCase& C : Cases) {
        TGridWindow W;
        TTestGrid& G = *W.Grid;
        std::vector<QPoint> Moves;
        G.OnColumnMoved = [&](QObject*, int From, int To) { Moves.emplace_back(From, To); };
        int Ups = 0;
        G.OnMouseUp = [&](QObject*, Qt::MouseButton, TShiftState, int, int) { ++Ups; };
        Press(G, {150, 10});
        Move(G, {160, 10});
        Move(G, {C.X, 30});
        Release(G, {C.X, 30});
        const std::vector<QPoint> Expected = C.To < 0 ? std::vector<QPoint>{} : std::vector<QPoint>{{1, C.To}};
        EXPECT_EQ(Moves, Expected) << C.X;
        EXPECT_EQ(Ups, 0); // a drop is no click
        EXPECT_EQ(G.ItemIndex(), -1);
        EXPECT_EQ(G.DragState(), 0);
        EXPECT_EQ(G.DragTarget(), -1);
    }
}

TEST(CtrlGridTav, InsertionLineShowsWhereTheItemLands)
{
    TGridWindow W(500, 110);
    TTestGrid& G = *W.Grid;
    Press(G, {274, 10}); // item 2
    const QImage Before = G.viewport()->grab().toImage();
    Move(G, {280, 10});
    struct TCase {
        int X, Target, LineX;
    } Cases[] = {
        {91, 1, 122},  // before item 1: at its caption column's left
        {335, 2, 244}, // its own place
        {457, 3, 487}, // after item 3: at its value column's right
        {20, 0, 0},
    };
    for (const TCase& C : Cases) {
        Move(G, {C.X, 60});
        EXPECT_EQ(G.DragTarget(), C.Target) << C.X;
        const QImage During = G.viewport()->grab().toImage();
        int Left = INT32_MAX;
        int Right = -1;
        int Rows = 0;
        for (int Y = 0; Y < During.height(); ++Y) {
            bool Changed = false;
            for (int X = 0; X < During.width(); ++X)
                if (During.pixel(X, Y) != Before.pixel(X, Y)) {
                    Left = std::min(Left, X);
                    Right = std::max(Right, X);
                    Changed = true;
                }
            Rows += Changed;
        }
        EXPECT_EQ(Left, std::max(0, C.LineX - 2)) << C.X;
        EXPECT_EQ(Right, C.LineX + 2);
        EXPECT_GT(Rows, During.height() / 4); // dotted from top to bottom
        EXPECT_LT(Rows, During.height());
    }
    Release(G, {20, 60});
    EXPECT_EQ(G.viewport()->grab().toImage(), Before);
}

TEST(CtrlGridTav, DraggingBeyondTheViewScrollsTwoColumnsPerTick)
{
    {
        // The window timer ticks by itself.
        TGridWindow W;
        W.Grid->SetLeftCol(4);
        Press(*W.Grid, {152, 10});
        Move(*W.Grid, {-10, 10});
        QElapsedTimer Clock;
        Clock.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return W.Grid->LeftCol() == 2; }, 10000));
        EXPECT_GE(Clock.elapsed(), 150);
        // Leaving the grid ends the drag.
        auto* Other = new QLineEdit(&W.Window);
        Other->move(0, 150);
        Other->show();
        Other->setFocus();
        EXPECT_EQ(W.Grid->DragState(), 0);
        EXPECT_FALSE(W.Grid->findChild<QTimer*>()->isActive());
    }
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    G.SetLeftCol(4);
    Press(G, {152, 10}); // item 3 at columns 6 and 7
    struct TCase {
        int X;
        int LeftCol, Target; // after the tick
    } Cases[] = {
        {-10, 2, 1}, {-10, 0, 0}, {-10, 0, 0}, // left of the grid: down to the first column
        {100, 0, 1},                           // inside: no scrolling
        {300, 2, 3}, {300, 4, 3}, {300, 4, 3}, // right of the columns in view: up to the last
    };
    for (const TCase& C : Cases) {
        Move(G, {C.X, 10});
        G.AutoScrollTick();
        EXPECT_EQ(G.LeftCol(), C.LeftCol) << C.X;
        EXPECT_EQ(G.DragTarget(), C.Target);
    }
}

TEST(CtrlGridTav, ReleaseOnAnItemRowGoesToItsValueCell)
{
    TGridWindow W;
    TTestGrid& G = *W.Grid;
    G.ItemRows = {3, 1, 2, 0};
    auto* Edit = new QLineEdit(G.viewport());
    G.Ctrls().Add(1, -1, Edit, "");
    struct TCase {
        int Col, Row;
        QPoint Current;
    } Cases[] = {
        {0, 2, {1, 2}}, // item 0 uses rows 1 to 3
        {0, 4, {0, 4}}, // beyond its rows: the cell clicked
        {2, 1, {3, 1}}, {2, 2, {2, 2}}, {3, 2, {3, 2}},
        {0, 0, {0, 1}}, // a header: the cell below
    };
    for (const TCase& C : Cases) {
        const QPoint P(kStep * C.Col + 30, 21 * C.Row + 10);
        Press(G, P);
        Release(G, P);
        EXPECT_EQ(QPoint(G.Col(), G.Row()), C.Current) << C.Col << "," << C.Row;
        EXPECT_EQ(Edit->isVisible(), C.Current.x() == 1);
    }
}

// ---------------------------------------------------------------- face

TEST(CtrlGridTav, FaceMatchesTheGolden)
{
    TGridWindow W(370, 106, 6, 5);
    TTestGrid& G = *W.Grid;
    const char* Texts[6][5] = {{"ぼかし", "半径", "強さ", "", ""}, {"", "3", "0.5", "", ""},
                               {"影", "距離", "色", "角度", ""},    {"", "4", "", "45", ""},
                               {"縁取り", "幅", "", "", ""},        {"", "2", "", "", ""}};
    for (int C = 0; C < 6; ++C)
        for (int R = 0; R < 5; ++R)
            G.SetCells(C, R, Texts[C][R]);
    G.ItemRows = {2, 3, 1};
    G.Ctrls().Add(3, 2, new QPushButton("設定...", G.viewport()), "");
    G.Ctrls().Add(5, -1, new QLineEdit(G.viewport()), "");
    G.RealignControls();
    Press(G, {335, 10}); // item 2; its first value cell becomes current
    Move(G, {150, 60});  // it would go before item 1
    const QImage Image = G.grab().toImage().convertToFormat(QImage::Format_RGB32);
    Release(G, {150, 60});

    const std::string Golden = std::string(TAVRO_TEST_DATA_DIR) + "/ui/ctrl_grid.png";
    const char* Write = std::getenv("TAVRO_GRID_WRITE");
    if (Write && *Write) {
        std::filesystem::create_directories(std::filesystem::path(Golden).parent_path());
        ASSERT_TRUE(Image.save(QString::fromStdString(Golden)));
        return;
    }
    const QImage Expected(QString::fromStdString(Golden));
    ASSERT_EQ(Expected.size(), Image.size()) << Golden;
    int Differences = 0;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X) {
            const QRgb A = Image.pixel(X, Y);
            const QRgb B = Expected.pixel(X, Y);
            Differences += std::abs(qRed(A) - qRed(B)) > 8 || std::abs(qGreen(A) - qGreen(B)) > 8 ||
                           std::abs(qBlue(A) - qBlue(B)) > 8;
        }
    EXPECT_LE(Differences, 4);
}

} // namespace
