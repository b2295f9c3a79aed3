#include "ui/string_grid_wex.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QToolTip>

#include <algorithm>

namespace {

const char* const SGridIndexOutOfRange = "グリッドのインデックスが範囲を超えています";
const char* const SGridBadSize = "グリッドの大きさが負です";

// Half the band around a column or row edge where a press starts sizing.
constexpr int kSizingBack = 3;

const QColor kLineColor(0xC0, 0xC0, 0xC0);
const QColor kFixedLineColor(0x80, 0x80, 0x80);

TScrollCode ScrollCodeOf(int Action, bool& Known)
{
    Known = true;
    switch (Action) {
    case QAbstractSlider::SliderSingleStepAdd: return scLineDown;
    case QAbstractSlider::SliderSingleStepSub: return scLineUp;
    case QAbstractSlider::SliderPageStepAdd: return scPageDown;
    case QAbstractSlider::SliderPageStepSub: return scPageUp;
    case QAbstractSlider::SliderToMinimum: return scTop;
    case QAbstractSlider::SliderToMaximum: return scBottom;
    case QAbstractSlider::SliderMove: return scTrack;
    default: Known = false; return scEndScroll;
    }
}

} // namespace

TStringGridWex::TStringGridWex(QWidget* Parent) : QAbstractScrollArea(Parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    FColWidths.assign(FColCount, FDefaultColWidth);
    FRowHeights.assign(FRowCount, FDefaultRowHeight);
    FCells.resize(size_t(FColCount) * FRowCount);
    for (auto [Bar, Orientation] : {std::pair{horizontalScrollBar(), Qt::Horizontal},
                                    std::pair{verticalScrollBar(), Qt::Vertical}})
        connect(Bar, &QAbstractSlider::actionTriggered, this, [this, Bar, Orientation](int Action) {
            bool Known = false;
            const TScrollCode Code = ScrollCodeOf(Action, Known);
            if (Known && DoScroll(Orientation, Bar->sliderPosition(), Code))
                Bar->setSliderPosition(Bar->value());
        });
    UpdateScrollBars();
}

TStringGridWex::~TStringGridWex() = default;

// ---------------------------------------------------------------- sizes

void TStringGridWex::CheckCell(int Col, int Row) const
{
    if (Col < 0 || Col >= FColCount || Row < 0 || Row >= FRowCount)
        throw EInvalidGridOperation(SGridIndexOutOfRange);
}

void TStringGridWex::Resize(int Cols, int Rows)
{
    if (Cols < 0 || Rows < 0)
        throw EInvalidGridOperation(SGridBadSize);
    std::vector<QString> Cells(size_t(Cols) * Rows);
    for (int R = 0; R < std::min(Rows, FRowCount); ++R)
        for (int C = 0; C < std::min(Cols, FColCount); ++C)
            Cells[size_t(R) * Cols + C] = std::move(FCells[size_t(R) * FColCount + C]);
    FCells = std::move(Cells);
    FColWidths.resize(Cols, FDefaultColWidth);
    FRowHeights.resize(Rows, FDefaultRowHeight);
    FColCount = Cols;
    FRowCount = Rows;
    FFixedCols = std::min(FFixedCols, Cols);
    FFixedRows = std::min(FFixedRows, Rows);
    const int NewCol = std::clamp(FCol, FFixedCols, std::max(FFixedCols, Cols - 1));
    const int NewRow = std::clamp(FRow, FFixedRows, std::max(FFixedRows, Rows - 1));
    const bool Moved = NewCol != FCol || NewRow != FRow;
    FCol = NewCol;
    FRow = NewRow;
    UpdateScrollBars();
    viewport()->update();
    if (Moved)
        CurrentChanged();
}

void TStringGridWex::SetColCount(int Value)
{
    if (Value != FColCount)
        Resize(Value, FRowCount);
}

void TStringGridWex::SetRowCount(int Value)
{
    if (Value != FRowCount)
        Resize(FColCount, Value);
}

void TStringGridWex::SetFixedCols(int Value)
{
    if (Value < 0 || Value > FColCount)
        throw EInvalidGridOperation(SGridIndexOutOfRange);
    FFixedCols = Value;
    FLeftCol = Value;
    FCol = std::max(FCol, Value);
    UpdateScrollBars();
    viewport()->update();
}

void TStringGridWex::SetFixedRows(int Value)
{
    if (Value < 0 || Value > FRowCount)
        throw EInvalidGridOperation(SGridIndexOutOfRange);
    FFixedRows = Value;
    FTopRow = Value;
    FRow = std::max(FRow, Value);
    UpdateScrollBars();
    viewport()->update();
}

void TStringGridWex::SetDefaultColWidth(int Value)
{
    if (Value < 0)
        throw EInvalidGridOperation(SGridBadSize);
    FDefaultColWidth = Value;
    FColWidths.assign(FColCount, Value);
    ColWidthsChanged();
}

void TStringGridWex::SetDefaultRowHeight(int Value)
{
    if (Value < 0)
        throw EInvalidGridOperation(SGridBadSize);
    FDefaultRowHeight = Value;
    FRowHeights.assign(FRowCount, Value);
    RowHeightsChanged();
}

int TStringGridWex::ColWidths(int Col) const
{
    if (Col < 0 || Col >= FColCount)
        throw EInvalidGridOperation(SGridIndexOutOfRange);
    return FColWidths[Col];
}

int TStringGridWex::RowHeights(int Row) const
{
    if (Row < 0 || Row >= FRowCount)
        throw EInvalidGridOperation(SGridIndexOutOfRange);
    return FRowHeights[Row];
}

void TStringGridWex::SetColWidths(int Col, int Value)
{
    if (Col < 0 || Col >= FColCount)
        throw EInvalidGridOperation(SGridIndexOutOfRange);
    if (Value < 0)
        throw EInvalidGridOperation(SGridBadSize);
    if (FColWidths[Col] == Value)
        return;
    FColWidths[Col] = Value;
    ColWidthsChanged();
}

void TStringGridWex::SetRowHeights(int Row, int Value)
{
    if (Row < 0 || Row >= FRowCount)
        throw EInvalidGridOperation(SGridIndexOutOfRange);
    if (Value < 0)
        throw EInvalidGridOperation(SGridBadSize);
    if (FRowHeights[Row] == Value)
        return;
    FRowHeights[Row] = Value;
    RowHeightsChanged();
}

void TStringGridWex::SetGridLineWidth(int Value)
{
    if (Value < 0)
        throw EInvalidGridOperation(SGridBadSize);
    FGridLineWidth = Value;
    ColWidthsChanged();
}

void TStringGridWex::ColWidthsChanged()
{
    HideEditor(true);
    UpdateScrollBars();
    viewport()->update();
}

void TStringGridWex::RowHeightsChanged()
{
    HideEditor(true);
    UpdateScrollBars();
    viewport()->update();
}

QString TStringGridWex::Cells(int Col, int Row) const
{
    CheckCell(Col, Row);
    return FCells[size_t(Row) * FColCount + Col];
}

void TStringGridWex::SetCells(int Col, int Row, const QString& Value)
{
    CheckCell(Col, Row);
    FCells[size_t(Row) * FColCount + Col] = Value;
    InvalidateCell(Col, Row);
}

// ---------------------------------------------------------------- geometry

int TStringGridWex::ExtentOfCols(int From, int To) const
{
    int Extent = 0;
    for (int C = From; C < To; ++C)
        Extent += FColWidths[C] + FGridLineWidth;
    return Extent;
}

int TStringGridWex::ExtentOfRows(int From, int To) const
{
    int Extent = 0;
    for (int R = From; R < To; ++R)
        Extent += FRowHeights[R] + FGridLineWidth;
    return Extent;
}

int TStringGridWex::ColumnLeft(int Col) const
{
    if (Col < FFixedCols)
        return ExtentOfCols(0, Col);
    const int Fixed = ExtentOfCols(0, FFixedCols);
    return Col >= FLeftCol ? Fixed + ExtentOfCols(FLeftCol, Col) : Fixed - ExtentOfCols(Col, FLeftCol);
}

int TStringGridWex::RowTop(int Row) const
{
    if (Row < FFixedRows)
        return ExtentOfRows(0, Row);
    const int Fixed = ExtentOfRows(0, FFixedRows);
    return Row >= FTopRow ? Fixed + ExtentOfRows(FTopRow, Row) : Fixed - ExtentOfRows(Row, FTopRow);
}

QRect TStringGridWex::FullCellRect(int Col, int Row) const
{
    return QRect(ColumnLeft(Col), RowTop(Row), FColWidths[Col], FRowHeights[Row]);
}

QRect TStringGridWex::CellRect(int Col, int Row) const
{
    if (Col < 0 || Col >= FColCount || Row < 0 || Row >= FRowCount)
        return QRect();
    if ((Col >= FFixedCols && Col < FLeftCol) || (Row >= FFixedRows && Row < FTopRow))
        return QRect();
    const QRect Visible = FullCellRect(Col, Row) & viewport()->rect();
    return Visible.isEmpty() ? QRect() : Visible;
}

int TStringGridWex::ColumnAt(int X) const
{
    if (X < 0 || X >= viewport()->width())
        return -1;
    int End = 0;
    for (int Col = FirstCol(); Col < FColCount; Col = NextCol(Col)) {
        End += FColWidths[Col] + FGridLineWidth;
        if (X < End)
            return Col;
    }
    return -1;
}

int TStringGridWex::RowAt(int Y) const
{
    if (Y < 0 || Y >= viewport()->height())
        return -1;
    int End = 0;
    for (int Row = FirstRow(); Row < FRowCount; Row = NextRow(Row)) {
        End += FRowHeights[Row] + FGridLineWidth;
        if (Y < End)
            return Row;
    }
    return -1;
}

void TStringGridWex::MouseToCell(int X, int Y, int& Col, int& Row) const
{
    Col = ColumnAt(X);
    Row = RowAt(Y);
    if (Col < 0 || Row < 0)
        Col = Row = -1;
}

int TStringGridWex::VisibleColCount() const
{
    int Count = 0;
    for (int C = FLeftCol, X = ExtentOfCols(0, FFixedCols);
         C < FColCount && X + FColWidths[C] <= viewport()->width(); X += FColWidths[C++] + FGridLineWidth)
        ++Count;
    return Count;
}

int TStringGridWex::VisibleRowCount() const
{
    int Count = 0;
    for (int R = FTopRow, Y = ExtentOfRows(0, FFixedRows);
         R < FRowCount && Y + FRowHeights[R] <= viewport()->height(); Y += FRowHeights[R++] + FGridLineWidth)
        ++Count;
    return Count;
}

int TStringGridWex::MaxLeftCol() const
{
    if (FColCount - 1 < FFixedCols)
        return FFixedCols;
    int Result = FColCount - 1;
    int Extent = ExtentOfCols(0, FFixedCols) + FColWidths[Result];
    for (int C = Result - 1; C >= FFixedCols; --C) {
        Extent += FColWidths[C] + FGridLineWidth;
        if (Extent > viewport()->width())
            break;
        Result = C;
    }
    return Result;
}

int TStringGridWex::MaxTopRow() const
{
    if (FRowCount - 1 < FFixedRows)
        return FFixedRows;
    int Result = FRowCount - 1;
    int Extent = ExtentOfRows(0, FFixedRows) + FRowHeights[Result];
    for (int R = Result - 1; R >= FFixedRows; --R) {
        Extent += FRowHeights[R] + FGridLineWidth;
        if (Extent > viewport()->height())
            break;
        Result = R;
    }
    return Result;
}

// ---------------------------------------------------------------- scrolling

void TStringGridWex::UpdateScrollBars()
{
    const int MaxLeft = MaxLeftCol();
    const int MaxTop = MaxTopRow();
    const int Left = std::clamp(FLeftCol, FFixedCols, MaxLeft);
    const int Top = std::clamp(FTopRow, FFixedRows, MaxTop);
    {
        // A bar shown or hidden here resizes the view and comes back here.
        const QScopedValueRollback Syncing(FSyncingBars, true);
        horizontalScrollBar()->setRange(FFixedCols, MaxLeft);
        horizontalScrollBar()->setPageStep(std::max(1, VisibleColCount()));
        horizontalScrollBar()->setValue(Left);
        verticalScrollBar()->setRange(FFixedRows, MaxTop);
        verticalScrollBar()->setPageStep(std::max(1, VisibleRowCount()));
        verticalScrollBar()->setValue(Top);
    }
    SetTopLeft(Left, Top);
}

void TStringGridWex::SetTopLeft(int LeftCol, int TopRow)
{
    LeftCol = std::clamp(LeftCol, FFixedCols, MaxLeftCol());
    TopRow = std::clamp(TopRow, FFixedRows, MaxTopRow());
    if (LeftCol == FLeftCol && TopRow == FTopRow)
        return;
    FLeftCol = LeftCol;
    FTopRow = TopRow;
    {
        const QScopedValueRollback Syncing(FSyncingBars, true);
        horizontalScrollBar()->setValue(LeftCol);
        verticalScrollBar()->setValue(TopRow);
    }
    viewport()->update();
    TopLeftChanged();
}

void TStringGridWex::SetLeftCol(int Value) { SetTopLeft(Value, FTopRow); }

void TStringGridWex::SetTopRow(int Value) { SetTopLeft(FLeftCol, Value); }

void TStringGridWex::scrollContentsBy(int, int)
{
    if (!FSyncingBars)
        SetTopLeft(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void TStringGridWex::TopLeftChanged()
{
    HideEditor(true);
    if (OnTopLeftChanged)
        OnTopLeftChanged(this);
}

void TStringGridWex::ClampInView(int Col, int Row)
{
    int Left = FLeftCol;
    int Top = FTopRow;
    const int FixedWidth = ExtentOfCols(0, FFixedCols);
    const int FixedHeight = ExtentOfRows(0, FFixedRows);
    if (Col >= FFixedCols) {
        if (Col < Left)
            Left = Col;
        else if (ColumnLeft(Col) + FColWidths[Col] > viewport()->width()) {
            // The column becomes the last one wholly in view.
            Left = Col;
            while (Left > FFixedCols &&
                   FixedWidth + ExtentOfCols(Left - 1, Col) + FColWidths[Col] <= viewport()->width())
                --Left;
        }
    }
    if (Row >= FFixedRows) {
        if (Row < Top)
            Top = Row;
        else if (RowTop(Row) + FRowHeights[Row] > viewport()->height()) {
            Top = Row;
            while (Top > FFixedRows &&
                   FixedHeight + ExtentOfRows(Top - 1, Row) + FRowHeights[Row] <= viewport()->height())
                --Top;
        }
    }
    SetTopLeft(Left, Top);
}

// ---------------------------------------------------------------- current cell

bool TStringGridWex::SelectCell(int Col, int Row)
{
    bool CanSelect = true;
    if (OnSelectCell)
        OnSelectCell(this, Col, Row, CanSelect);
    return CanSelect;
}

bool TStringGridWex::MoveCurrent(int Col, int Row, bool Show)
{
    CheckCell(Col, Row);
    if (Col < FFixedCols || Row < FFixedRows || !SelectCell(Col, Row))
        return false;
    HideEditor(true);
    InvalidateCell(FCol, FRow);
    FCol = Col;
    FRow = Row;
    if (Show) {
        const QScopedValueRollback Moving(FMovingCurrent, true);
        ClampInView(Col, Row);
    }
    InvalidateCell(Col, Row);
    CurrentChanged();
    return true;
}

void TStringGridWex::SetCol(int Value)
{
    if (Value != FCol && MoveCurrent(Value, FRow, true))
        Click();
}

void TStringGridWex::SetRow(int Value)
{
    if (Value != FRow && MoveCurrent(FCol, Value, true))
        Click();
}

void TStringGridWex::Click()
{
    if (OnClick)
        OnClick(this);
}

void TStringGridWex::InvalidateCell(int Col, int Row)
{
    if (Col < FColCount && Row < FRowCount)
        viewport()->update(CellRect(Col, Row).adjusted(0, 0, FGridLineWidth, FGridLineWidth));
}

// ---------------------------------------------------------------- editor

bool TStringGridWex::CanEditShow() const
{
    return (Options & goEditing) && FCol < FColCount && FRow < FRowCount && FCol >= FFixedCols &&
           FRow >= FFixedRows;
}

void TStringGridWex::ShowEditor()
{
    if (FEditing || !CanEditShow())
        return;
    ClampInView(FCol, FRow);
    if (!FEditor) {
        FEditor = new QLineEdit(viewport());
        FEditor->setFrame(false);
        FEditor->installEventFilter(this);
    }
    FEditing = true;
    FEditor->setGeometry(CellRect(FCol, FRow));
    FEditor->setText(Cells(FCol, FRow));
    FEditor->selectAll();
    FEditor->show();
    FEditor->setFocus();
}

void TStringGridWex::HideEditor(bool Commit)
{
    if (!FEditing)
        return;
    FEditing = false;
    const QString Text = FEditor->text();
    if (FEditor->hasFocus())
        setFocus();
    FEditor->hide();
    if (Commit)
        SetEditText(FCol, FRow, Text);
}

void TStringGridWex::SetEditText(int Col, int Row, const QString& Value)
{
    if (Cells(Col, Row) != Value)
        SetCells(Col, Row, Value);
    if (OnSetEditText)
        OnSetEditText(this, Col, Row, Value);
}

bool TStringGridWex::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched != FEditor)
        return QAbstractScrollArea::eventFilter(Watched, Event);
    if (Event->type() == QEvent::KeyPress) {
        const int Key = static_cast<QKeyEvent*>(Event)->key();
        if (Key == Qt::Key_Return || Key == Qt::Key_Enter || Key == Qt::Key_Escape) {
            HideEditor(Key != Qt::Key_Escape);
            return true;
        }
    } else if (Event->type() == QEvent::FocusOut) {
        const Qt::FocusReason Reason = static_cast<QFocusEvent*>(Event)->reason();
        if (Reason != Qt::PopupFocusReason && Reason != Qt::ActiveWindowFocusReason)
            HideEditor(true);
    }
    return false;
}

// ---------------------------------------------------------------- keys

void TStringGridWex::KeyDown(int& Key, Qt::KeyboardModifiers Shift)
{
    int Col = FCol;
    int Row = FRow;
    switch (Key) {
    case Qt::Key_Up: --Row; break;
    case Qt::Key_Down: ++Row; break;
    case Qt::Key_Left: --Col; break;
    case Qt::Key_Right: ++Col; break;
    case Qt::Key_PageUp: Row -= std::max(1, VisibleRowCount()); break;
    case Qt::Key_PageDown: Row += std::max(1, VisibleRowCount()); break;
    case Qt::Key_Home: (Shift & Qt::ControlModifier ? Row : Col) = 0; break;
    case Qt::Key_End: (Shift & Qt::ControlModifier ? Row : Col) = INT32_MAX; break;
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!CanEditShow())
            return;
        ShowEditor();
        Key = 0;
        return;
    default: return;
    }
    Key = 0;
    if (FColCount <= FFixedCols || FRowCount <= FFixedRows)
        return;
    Col = std::clamp(Col, FFixedCols, FColCount - 1);
    Row = std::clamp(Row, FFixedRows, FRowCount - 1);
    if ((Col != FCol || Row != FRow) && MoveCurrent(Col, Row, true))
        Click();
}

void TStringGridWex::keyPressEvent(QKeyEvent* Event)
{
    // Keys that a hosted window left go on to the grid's parents, as
    // they would without the grid.
    if (!hasFocus()) {
        Event->ignore();
        return;
    }
    int Key = Event->key();
    KeyDown(Key, Event->modifiers());
    if (Key == 0) {
        Event->accept();
        return;
    }
    const QString Text = Event->text();
    if (!Text.isEmpty() && Text[0] >= QChar(' ') && CanEditShow()) {
        ShowEditor();
        QApplication::sendEvent(FEditor, Event);
        return;
    }
    QAbstractScrollArea::keyPressEvent(Event);
}

// ---------------------------------------------------------------- mouse

TGridState TStringGridWex::CalcSizingState(int X, int Y, int& Index) const
{
    Index = -1;
    auto InBand = [this](int Pos, int Edge) {
        return Pos >= Edge - kSizingBack && Pos <= Edge + FGridLineWidth - 1 + kSizingBack;
    };
    if ((Options & goColSizing) && Y >= 0 && Y < ExtentOfRows(0, FFixedRows))
        for (int C = FirstCol(), Left = 0; C < FColCount && Left < viewport()->width(); C = NextCol(C)) {
            Left += FColWidths[C];
            if (InBand(X, Left)) {
                Index = C;
                return gsColSizing;
            }
            Left += FGridLineWidth;
        }
    // Every row edge counts, also below the last row and past the view's
    // bottom, so that the last row can be sized from just below it.
    if ((Options & goRowSizing) && X >= 0 && X < ExtentOfCols(0, FFixedCols))
        for (int R = FirstRow(), Top = 0; R < FRowCount; R = NextRow(R)) {
            Top += FRowHeights[R];
            if (InBand(Y, Top)) {
                Index = R;
                return gsRowSizing;
            }
            Top += FGridLineWidth;
        }
    return gsNormal;
}

void TStringGridWex::CellToSelectByMouse(int&, int&) const {}

void TStringGridWex::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (Button == Qt::LeftButton) {
        if (!hasFocus())
            setFocus(Qt::MouseFocusReason);
        int Index = -1;
        FGridState = CalcSizingState(X, Y, Index);
        if (FGridState == gsColSizing) {
            FSizingIndex = Index;
            FSizingOffset = ColumnLeft(Index) + FColWidths[Index] - X;
        } else if (FGridState == gsRowSizing) {
            FSizingIndex = Index;
            FSizingOffset = RowTop(Index) + FRowHeights[Index] - Y;
        } else {
            int Col = -1;
            int Row = -1;
            MouseToCell(X, Y, Col, Row);
            CellToSelectByMouse(Col, Row);
            if (Col >= FFixedCols && Row >= FFixedRows) {
                MoveCurrent(Col, Row, true);
                FGridState = gsSelecting;
            }
        }
    }
    if (OnMouseDown)
        OnMouseDown(this, Button, ShiftStateFromModifiers(Shift), X, Y);
}

void TStringGridWex::MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, int X, int Y)
{
    switch (FGridState) {
    case gsSelecting: {
        int Col = -1;
        int Row = -1;
        MouseToCell(X, Y, Col, Row);
        CellToSelectByMouse(Col, Row);
        if (Col >= FFixedCols && Row >= FFixedRows && (Col != FCol || Row != FRow))
            MoveCurrent(Col, Row, true);
        break;
    }
    case gsColSizing:
        SetColWidths(FSizingIndex, std::max(0, X + FSizingOffset - ColumnLeft(FSizingIndex)));
        break;
    case gsRowSizing:
        SetRowHeights(FSizingIndex, std::max(0, Y + FSizingOffset - RowTop(FSizingIndex)));
        break;
    case gsNormal:
        if (Options & (goColSizing | goRowSizing)) {
            int Index = -1;
            switch (CalcSizingState(X, Y, Index)) {
            case gsColSizing: viewport()->setCursor(Qt::SplitHCursor); break;
            case gsRowSizing: viewport()->setCursor(Qt::SplitVCursor); break;
            default: viewport()->unsetCursor(); break;
            }
        }
        break;
    }
}

void TStringGridWex::MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (Button == Qt::LeftButton) {
        const TGridState State = FGridState;
        FGridState = gsNormal;
        if (State == gsSelecting)
            Click();
    }
    if (OnMouseUp)
        OnMouseUp(this, Button, ShiftStateFromModifiers(Shift), X, Y);
}

void TStringGridWex::mousePressEvent(QMouseEvent* Event)
{
    const QPoint P = Event->position().toPoint();
    MouseDown(Event->button(), Event->modifiers(), P.x(), P.y());
}

// The second press of a double click is a press as well.
void TStringGridWex::mouseDoubleClickEvent(QMouseEvent* Event) { mousePressEvent(Event); }

void TStringGridWex::mouseMoveEvent(QMouseEvent* Event)
{
    const QPoint P = Event->position().toPoint();
    MouseMove(Event->buttons(), Event->modifiers(), P.x(), P.y());
}

void TStringGridWex::mouseReleaseEvent(QMouseEvent* Event)
{
    const QPoint P = Event->position().toPoint();
    MouseUp(Event->button(), Event->modifiers(), P.x(), P.y());
}

// ---------------------------------------------------------------- painting

void TStringGridWex::DrawCell(QPainter& Canvas, int Col, int Row, const QRect& Rect, TGridDrawState State)
{
    if (DefaultDrawing) {
        Canvas.setPen(palette().color(State & gdSelected ? QPalette::HighlightedText
                                      : State & gdFixed   ? QPalette::ButtonText
                                                          : QPalette::Text));
        Canvas.drawText(Rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, Cells(Col, Row));
    }
    if (OnDrawCell)
        OnDrawCell(this, Canvas, Col, Row, Rect, State);
}

void TStringGridWex::paintEvent(QPaintEvent*)
{
    QPainter Canvas(viewport());
    const int Width = viewport()->width();
    const int Height = viewport()->height();
    const QColor Window = palette().color(QPalette::Base);
    int Right = 0;  // where the last column's line ends
    int Bottom = 0; // where the last row's line ends
    for (int Row = FirstRow(), Top = 0; Row < FRowCount && Top < Height; Row = NextRow(Row)) {
        for (int Col = FirstCol(), Left = 0; Col < FColCount && Left < Width; Col = NextCol(Col)) {
            const QRect Rect(Left, Top, FColWidths[Col], FRowHeights[Row]);
            Left += FColWidths[Col] + FGridLineWidth;
            TGridDrawState State = 0;
            if (Col < FFixedCols || Row < FFixedRows)
                State |= gdFixed;
            else if (Col == FCol && Row == FRow)
                State |= hasFocus() ? gdSelected | gdFocused : gdSelected;
            if (DefaultDrawing)
                Canvas.fillRect(Rect, State & gdSelected ? palette().color(QPalette::Highlight)
                                      : State & gdFixed  ? palette().color(QPalette::Button)
                                                         : Window);
            Canvas.save();
            Canvas.setClipRect(Rect);
            DrawCell(Canvas, Col, Row, Rect, State);
            Canvas.restore();
            if (DefaultDrawing && (State & gdFocused)) {
                QStyleOptionFocusRect Focus;
                Focus.initFrom(this);
                Focus.rect = Rect;
                Focus.backgroundColor = palette().color(QPalette::Highlight);
                style()->drawPrimitive(QStyle::PE_FrameFocusRect, &Focus, &Canvas, this);
            }
            const QColor Line = State & gdFixed ? kFixedLineColor : kLineColor;
            Canvas.fillRect(QRect(Rect.right() + 1, Rect.top(), FGridLineWidth, Rect.height() + FGridLineWidth), Line);
            Canvas.fillRect(QRect(Rect.left(), Rect.bottom() + 1, Rect.width(), FGridLineWidth), Line);
            Right = Rect.right() + 1 + FGridLineWidth;
        }
        Top += FRowHeights[Row] + FGridLineWidth;
        Bottom = Top;
    }
    // Only the parts that no cell covers get the grid's own colour.
    Canvas.fillRect(QRect(Right, 0, Width - Right, Bottom), Window);
    Canvas.fillRect(QRect(0, Bottom, Width, Height - Bottom), Window);
    PaintOverlay(Canvas);
}

// ---------------------------------------------------------------- events

void TStringGridWex::focusInEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusInEvent(Event);
    InvalidateCell(FCol, FRow);
}

void TStringGridWex::focusOutEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusOutEvent(Event);
    InvalidateCell(FCol, FRow);
}

void TStringGridWex::resizeEvent(QResizeEvent* Event)
{
    QAbstractScrollArea::resizeEvent(Event);
    UpdateScrollBars();
}

bool TStringGridWex::viewportEvent(QEvent* Event)
{
    if (Event->type() != QEvent::ToolTip || !OnShowHint)
        return QAbstractScrollArea::viewportEvent(Event);
    const auto* Help = static_cast<QHelpEvent*>(Event);
    THintInfo Info{toolTip(), Help->globalPos(), viewport()->rect()};
    bool CanShow = true;
    OnShowHint(this, CanShow, Info);
    if (CanShow && !Info.HintStr.isEmpty())
        QToolTip::showText(Info.HintPos, Info.HintStr, viewport(), Info.CursorRect);
    else
        QToolTip::hideText();
    return true;
}
