// Docks: thickness, rows, positions along a row, compaction, reserved rows,
// the refusals and row finding for drops.
#include "tool_window_test_support.h"
#include "thread_cpu_time.h"

#include <QPainter>

#include <chrono>
#include <climits>

using TDock97Test = TDockFormTest;

TEST_F(TDock97Test, EmptyDockIsZeroThickAndOneWithFixAlignWithoutBoundLines)
{
    EXPECT_EQ(Top->height(), 0);
    EXPECT_EQ(Left->width(), 0);
    Top->SetBoundLines(BoundLineBit(blTop));
    Top->SetFixAlign(true);
    EXPECT_EQ(Top->height(), 1);
    // Nothing shown: the bound line is not drawn, the dock's colour is.
    const QImage I = Top->grab().toImage();
    EXPECT_EQ(QColor(I.pixel(5, 0)), Top->Color());
    Top->SetFixAlign(false);
    EXPECT_EQ(Top->height(), 0);
}

TEST_F(TDock97Test, RowOfThinWindowsIsEightThick)
{
    TCustomToolWindow97* A = Make(Top, 0, 0, 30, 3);
    EXPECT_EQ(Top->RowSizes(), std::vector<int32_t>{8});
    EXPECT_EQ(Top->height(), 12);
    EXPECT_EQ(A->height(), 12);
    Top->SetBoundLines(BoundLineBit(blTop) | BoundLineBit(blBottom));
    EXPECT_EQ(Top->height(), 14);
    EXPECT_EQ(A->y(), 1);
}

TEST_F(TDock97Test, RowIsAsThickAsItsThickestWindow)
{
    Make(Top, 0, 0, 30, 16);
    Make(Top, 0, 100, 30, 22);
    Make(Top, 1, 0, 30, 10);
    EXPECT_EQ(Top->RowSizes(), (std::vector<int32_t>{22, 10}));
    EXPECT_EQ(Top->height(), 26 + 14);
}

TEST_F(TDock97Test, WindowsAtOneDockPosLieSideBySideInListOrder)
{
    TCustomToolWindow97* A = Make(Top, 0, 10, 40);
    TCustomToolWindow97* B = Make(Top, 0, 10, 50);
    EXPECT_EQ(A->DockPos(), 10);
    EXPECT_EQ(B->DockPos(), 10 + A->width());
    EXPECT_EQ(B->x(), A->x() + A->width());
}

// Windows on one row of a 400-pixel top dock: asked positions and client
// lengths (each window is 11 + 2 pixels longer) to the positions they show at.
struct TSlideCase {
    std::vector<std::pair<int32_t, int32_t>> Windows;
    std::vector<int32_t> Expected;
};

class TDockSlideBack : public TDockFormTest, public ::testing::WithParamInterface<TSlideCase> {};

TEST_P(TDockSlideBack, WindowsBeyondTheEndSlideBackButNotBelowZero)
{
    const TSlideCase& C = GetParam();
    std::vector<TCustomToolWindow97*> W;
    for (const auto& [Pos, Len] : C.Windows)
        W.push_back(Make(Top, 0, Pos, Len));
    for (size_t I = 0; I < W.size(); ++I)
        EXPECT_EQ(W[I]->x(), C.Expected[I]) << I;
}

INSTANTIATE_TEST_SUITE_P(Cases, TDockSlideBack,
                         ::testing::Values(TSlideCase{{{50, 47}, {380, 47}}, {50, 340}},
                                           TSlideCase{{{300, 47}, {380, 47}}, {280, 340}},
                                           TSlideCase{{{0, 187}, {150, 87}, {390, 87}}, {0, 200, 300}},
                                           TSlideCase{{{0, 287}, {10, 287}}, {0, 300}}));

TEST_F(TDock97Test, SlidingBackLeavesStoredPositionsUnlessKept)
{
    TCustomToolWindow97* A = Make(Top, 0, 380, 47);
    EXPECT_EQ(A->x(), 340);
    EXPECT_EQ(A->DockPos(), 380);
    Top->LayOutRows(true);
    EXPECT_EQ(A->DockPos(), 340);
}

TEST_F(TDock97Test, FullSizeWindowTakesARowOfItsOwnAndTheWholeLength)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    TCustomToolWindow97* F = Make(Top, 0, 60);
    TCustomToolWindow97* B = Make(Top, 1, 0);
    F->SetFullSize(true);
    EXPECT_EQ(F->DockRow(), 0);
    EXPECT_EQ(A->DockRow(), 1);
    EXPECT_EQ(B->DockRow(), 2);
    EXPECT_EQ(F->x(), 0);
    EXPECT_EQ(F->width(), Top->width());
    EXPECT_EQ(F->ClientArea()->width(), Top->width() - F->FrameMargins().left() - F->FrameMargins().right());
}

TEST_F(TDock97Test, RowNumbersAreCompacted)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    TCustomToolWindow97* B = Make(Top, 3, 0);
    TCustomToolWindow97* C = Make(Top, 7, 0);
    EXPECT_EQ(A->DockRow(), 0);
    EXPECT_EQ(B->DockRow(), 1);
    EXPECT_EQ(C->DockRow(), 2);
    EXPECT_EQ(Top->height(), 3 * 20);
}

// Stored rows are taken as they come: a huge one must not make the layout
// walk every row number below it, and a negative one is row 0.
TEST_F(TDock97Test, HugeAndNegativeStoredRowsAreCompactedByTheirValues)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    TCustomToolWindow97* B = Make(Top, 1, 0);
    Top->BeginUpdate();
    A->SetDockRow(-5);
    B->SetDockRow(INT_MAX);
    const auto Start = ThreadCpuTime();
    Top->EndUpdate();
    EXPECT_LT(ThreadCpuTime() - Start, std::chrono::seconds(1));
    EXPECT_EQ(A->DockRow(), 0);
    EXPECT_EQ(B->DockRow(), 1);
    EXPECT_EQ(Top->RowSizes().size(), 2u);
}

// Positions at the end of the range, for windows sharing a row on each
// dock: the lengths are added after them, and every window still lies in
// its dock.
TEST_F(TDock97Test, PositionsAtTheEndOfTheRangeLieInTheDock)
{
    for (TDock97* D : {Top, Left, Right, Bottom}) {
        TCustomToolWindow97* A = Make(D, 0, 0);
        TCustomToolWindow97* B = Make(D, 0, 60);
        D->BeginUpdate();
        A->SetDockPos(INT_MAX);
        B->SetDockPos(INT_MAX);
        D->EndUpdate();
        EXPECT_EQ(A->DockPos(), kToolWindowCoordinateLimit97);
        D->LayOutRows(true);
        for (TCustomToolWindow97* W : {A, B}) {
            EXPECT_TRUE(D->rect().contains(W->geometry())) << D->objectName().toStdString();
            EXPECT_LT(W->DockPos(), D->width() + D->height());
        }
        delete A;
        delete B;
    }
}

TEST(CompactRows, KeepsOrderOfDistinctValues)
{
    std::vector<int32_t> Rows{7, 0, 3, 3, -2, INT_MAX};
    CompactRows(Rows);
    EXPECT_EQ(Rows, (std::vector<int32_t>{2, 0, 1, 1, 0, 3}));
}

TEST_F(TDock97Test, FloatingWindowKeepsItsRowReservedInItsLastDock)
{
    Make(Top, 0, 0);
    TCustomToolWindow97* M = Make(Top, 1, 0);
    TCustomToolWindow97* C = Make(Top, 2, 0);
    M->SetDockedTo(nullptr);
    ASSERT_TRUE(M->Floating());
    EXPECT_EQ(M->LastDock(), Top);
    Top->LayOutRows(false);
    EXPECT_EQ(M->DockRow(), 1);
    EXPECT_EQ(C->DockRow(), 2);
    EXPECT_EQ(Top->RowSizes(), (std::vector<int32_t>{16, 0, 16}));
    EXPECT_EQ(Top->height(), 40);
    // Without a last dock the row goes.
    M->SetUseLastDock(false);
    Top->LayOutRows(false);
    EXPECT_EQ(C->DockRow(), 1);
}

TEST_F(TDock97Test, PositionOfADockWithControlsCannotChange)
{
    Make(Top, 0, 0);
    try {
        Top->SetPosition(dpLeft);
        FAIL();
    } catch (const EInvalidOperation& E) {
        EXPECT_STREQ(E.what(), "Cannot change Position of a TDock97 if it already contains controls");
    }
    EXPECT_EQ(Top->Position(), dpTop);
}

TEST_F(TDock97Test, PositionOfAnEmptyDockRealignsIt)
{
    Bottom->SetPosition(dpRight);
    TCustomToolWindow97* A = Make(Bottom, 0, 0, 20, 30);
    EXPECT_EQ(Bottom->width(), 24);
    EXPECT_EQ(Bottom->x() + Bottom->width(), Form->width());
    EXPECT_EQ(Bottom->height(), Form->height());
    EXPECT_EQ(A->height(), 30 + 4 + 9);
}

TEST_F(TDock97Test, DockCannotBePlacedInADockOrToolWindow)
{
    auto* D = new TDock97(Form.get(), dpTop);
    TCustomToolWindow97* T = Make(Top, 0, 0);
    for (QWidget* Parent : std::initializer_list<QWidget*>{Top, T}) {
        try {
            D->SetParent(Parent);
            FAIL();
        } catch (const EInvalidOperation& E) {
            EXPECT_STREQ(E.what(), "A TDock97 control cannot be placed inside a tool window or another TDock97");
        }
        EXPECT_EQ(D->parentWidget(), Form.get());
    }
}

TEST_F(TDock97Test, LimitToOneRowPutsEveryWindowOnRowZero)
{
    Top->SetLimitToOneRow(true);
    TCustomToolWindow97* A = Make(Top, 0, 0);
    TCustomToolWindow97* B = Make(Top, 4, 0);
    EXPECT_EQ(B->DockRow(), 0);
    EXPECT_EQ(B->x(), A->width());
}

TEST_F(TDock97Test, VerticalDockStacksAlongItsHeight)
{
    TCustomToolWindow97* A = Make(Left, 0, 0, 20, 30);
    TCustomToolWindow97* B = Make(Left, 0, 0, 24, 30);
    EXPECT_EQ(Left->width(), 28);
    EXPECT_EQ(A->geometry(), QRect(0, 0, 28, 43));
    EXPECT_EQ(B->geometry(), QRect(0, 43, 28, 43));
    EXPECT_EQ(Left->RowSizes(), std::vector<int32_t>{24});
}

// Rows 16 and 10 thick (20 and 14 with borders): bands of 5 pixels at each
// boundary open a new row; past the last row is a new last row.
TEST_F(TDock97Test, FindRowAtOpensRowsAtTheBoundaries)
{
    Make(Top, 0, 0, 30, 16);
    Make(Top, 1, 0, 30, 10);
    struct {
        int32_t Offset, Row;
        bool Before;
    } Cases[] = {{0, 0, true}, {4, 0, true}, {5, 0, false}, {14, 0, false}, {15, 1, true}, {24, 1, true},
                 {25, 1, false}, {28, 1, false}, {29, 2, true}, {38, 2, true}, {39, 2, false}, {500, 2, false}};
    for (const auto& C : Cases) {
        bool Before = !C.Before;
        EXPECT_EQ(Top->FindRowAt(C.Offset, Before), C.Row) << C.Offset;
        EXPECT_EQ(Before, C.Before) << C.Offset;
    }
    EXPECT_EQ(Top->RowAtOffset(19), 0);
    EXPECT_EQ(Top->RowAtOffset(20), 1);
    EXPECT_EQ(Top->RowAtOffset(34), 2);
}

TEST_F(TDock97Test, InsertRemoveEventFollowsShowingAndHiding)
{
    std::vector<bool> Seen;
    Top->OnInsertRemoveBar = [&](QObject*, bool Inserting, TCustomToolWindow97*) { Seen.push_back(Inserting); };
    TCustomToolWindow97* A = Make(Top, 0, 0);
    A->setVisible(false);
    EXPECT_EQ(Top->height(), 0);
    A->setVisible(true);
    EXPECT_EQ(Seen, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(Top->height(), 20);
}

TEST_F(TDock97Test, BackgroundTilesAreAnchoredAtTheParentAndContinueOnToolbars)
{
    QImage Tile(4, 4, QImage::Format_RGB32);
    Tile.fill(qRgb(0, 0x80, 0));
    Tile.setPixel(0, 0, qRgb(0xFF, 0, 0));
    Tile.setPixel(3, 3, qRgb(0, 0, 0xFF));
    Bottom->SetBackground(Tile);
    TCustomToolWindow97* A = Make(Bottom, 0, 10, 40, 16);
    const QImage D = Bottom->grab().toImage();
    // The tile grid starts at the form's origin: red where both coordinates
    // are multiples of 4 in form coordinates.
    const QPoint FormPoint(100, ((Bottom->y() + 3) / 4) * 4);
    const QPoint InDock = FormPoint - Bottom->pos();
    EXPECT_EQ(QColor(D.pixel(InDock)), QColor(0xFF, 0, 0));
    // Inside the docked window's client area the same grid goes on.
    const QPoint InClient = A->ClientArea()->mapFrom(Form.get(), QPoint(24, FormPoint.y() + 4));
    ASSERT_TRUE(A->ClientArea()->rect().contains(InClient));
    EXPECT_EQ(QColor(A->ClientArea()->grab().toImage().pixel(InClient)), QColor(0xFF, 0, 0));
    Bottom->SetBackgroundTransparent(true);
    // The bottom-left pixel's colour (green) gives way to the dock's colour.
    EXPECT_EQ(QColor(Bottom->grab().toImage().pixel(InDock + QPoint(1, 1))), Bottom->Color());
}
