#include "ui/ctrl_grid_tav.h"

#include <QPainter>
#include <QTimer>

#include <cstdlib>

TCtrlGridTav::TCtrlGridTav(QWidget* Parent) : TCtrlGridQ(Parent), FAutoScroll(new QTimer(this))
{
    FAutoScroll->setInterval(kAutoScrollInterval);
    connect(FAutoScroll, &QTimer::timeout, this, &TCtrlGridTav::AutoScrollTick);
}

TCtrlGridTav::~TCtrlGridTav() = default;

void TCtrlGridTav::InvalidateItem(int Index)
{
    const int First = 2 * Index;
    if (Index < 0 || First >= ColCount())
        return;
    const int Last = std::min(First + 1, ColCount() - 1);
    const int Left = ColumnLeft(First);
    viewport()->update(Left, 0, ColumnLeft(Last) + ColWidths(Last) + GridLineWidth() - Left, viewport()->height());
}

void TCtrlGridTav::SetItemIndex(int Value)
{
    if (Value == FItemIndex)
        return;
    InvalidateItem(FItemIndex);
    FItemIndex = Value;
    InvalidateItem(Value);
    if (OnSelColumnChange)
        OnSelColumnChange(this);
}

// ---------------------------------------------------------------- dragging

int TCtrlGridTav::InsertionLineX() const
{
    const int Last = ColCount() - 1;
    auto RightOf = [this](int Col) { return ColumnLeft(Col) + ColWidths(Col); };
    if (2 * FDragTarget > Last)
        return RightOf(Last);
    if (FDragTarget <= FDragItem)
        return ColumnLeft(2 * FDragTarget);
    return RightOf(std::min(2 * FDragTarget + 1, Last));
}

void TCtrlGridTav::DragTo(int X)
{
    if (ColCount() == 0)
        return;
    int Col = X < 0 ? LeftCol() - 1 : ColumnAt(X);
    if (X >= 0 && Col < 0)
        Col = ColCount() - 1;
    Col = std::clamp(Col, FixedCols(), ColCount() - 1);
    int Target = (Col + 1) / 2;
    if (Target > FDragItem)
        --Target;
    if (Target == FDragTarget)
        return;
    // The line moves: its old and new strips are painted again.
    const int Half = kInsertionLineWidth;
    if (FDragTarget >= 0)
        viewport()->update(InsertionLineX() - Half, 0, 2 * Half + 1, viewport()->height());
    FDragTarget = Target;
    viewport()->update(InsertionLineX() - Half, 0, 2 * Half + 1, viewport()->height());
}

void TCtrlGridTav::AutoScrollTick()
{
    if (FDragState != 2)
        return;
    const int Left = LeftCol();
    const int Last = Left + std::max(1, VisibleColCount()) - 1; // the last column wholly in view
    if (FLastX < 0 && Left > 1)
        SetLeftCol(Left - 2);
    else if (Last < ColCount() - 1 && FLastX >= ColumnLeft(Last) + ColWidths(Last) + GridLineWidth())
        SetLeftCol(Left + 2);
    if (LeftCol() == Left)
        return;
    viewport()->update();
    DragTo(FLastX);
}

void TCtrlGridTav::EndDrag()
{
    if (FDragState == 2) {
        FAutoScroll->stop();
        viewport()->unsetCursor();
        viewport()->update();
        FGridState = gsNormal;
    }
    FDragState = 0;
    FDragTarget = -1;
}

void TCtrlGridTav::PaintOverlay(QPainter& Canvas)
{
    if (FDragState != 2 || FDragTarget < 0 || ColCount() == 0)
        return;
    // Drawn with XOR, so that it shows on any cell colour.
    Canvas.save();
    Canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    Canvas.setPen(QPen(Qt::white, kInsertionLineWidth, Qt::DotLine, Qt::FlatCap));
    const int X = InsertionLineX();
    Canvas.drawLine(X, 0, X, viewport()->height());
    Canvas.restore();
}

// ---------------------------------------------------------------- mouse and keys

void TCtrlGridTav::CellToSelectByMouse(int& Col, int& Row) const
{
    // Pressing a header selects the cell below it.
    if (Row == 0) {
        if (RowCount() > 1)
            Row = 1;
        else
            Col = -1;
    }
}

void TCtrlGridTav::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    int Sized = -1;
    if (Button == Qt::LeftButton && CalcSizingState(X, Y, Sized) != gsColSizing) {
        InvalidateItem(FItemIndex);
        int Col = -1;
        int Row = -1;
        MouseToCell(X, Y, Col, Row);
        // The square at the header's left belongs to the item's check box.
        if (Row == 0 && X >= ColumnLeft(Col) + RowHeights(0)) {
            SetItemIndex(Col / 2);
            FDragItem = Col / 2;
            FPressPoint = QPoint(X, Y);
            FLastX = X;
            FDragState = 1;
        } else
            SetItemIndex(-1);
    }
    TCtrlGridQ::MouseDown(Button, Shift, X, Y);
}

void TCtrlGridTav::MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y)
{
    FLastX = X;
    if (FDragState == 1 &&
        (std::abs(X - FPressPoint.x()) > kDragThreshold || std::abs(Y - FPressPoint.y()) > kDragThreshold)) {
        FDragState = 2;
        FGridState = gsNormal;
        viewport()->setCursor(Qt::DragMoveCursor);
        FAutoScroll->start();
    }
    if (FDragState == 2)
        DragTo(X);
    else
        TCtrlGridQ::MouseMove(Buttons, Shift, X, Y);
}

void TCtrlGridTav::MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (FDragState == 2) {
        FAutoScroll->stop();
        viewport()->unsetCursor();
        const int From = FDragItem;
        const int To = FDragTarget;
        if (To >= 0 && To != From && OnColumnMoved)
            OnColumnMoved(this, From, To);
        EndDrag();
        SetItemIndex(-1);
        return;
    }
    EndDrag();
    TCtrlGridQ::MouseUp(Button, Shift, X, Y);
    int Col = -1;
    int Row = -1;
    MouseToCell(X, Y, Col, Row);
    const int Item = Col / 2;
    if (Col >= 0 && Row >= 1 && Item < int(ItemRows.size()) && Row <= ItemRows[Item] && 2 * Item + 1 < ColCount())
        MoveToCell(2 * Item + 1, Row);
    ShowCellControl();
}

void TCtrlGridTav::KeyDown(int& Key, Qt::KeyboardModifiers Shift)
{
    // A selected item keeps the current cell where it is.
    if (FItemIndex >= 0) {
        switch (Key) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down: Key = 0; return;
        default: break;
        }
    }
    TCtrlGridQ::KeyDown(Key, Shift);
}

void TCtrlGridTav::focusOutEvent(QFocusEvent* Event)
{
    EndDrag();
    TCtrlGridQ::focusOutEvent(Event);
}

void TCtrlGridTav::hideEvent(QHideEvent* Event)
{
    EndDrag();
    TCtrlGridQ::hideEvent(Event);
}
