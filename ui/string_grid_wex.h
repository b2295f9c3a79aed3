// A grid of text cells that paints itself: fixed columns and rows at the top
// left stay while the others scroll by whole cells; a current cell moved by
// the mouse and the keys; column and row sizing with the mouse; a plain text
// editor over the current cell; owner drawing of cells, mouse notices and
// hints for the grid's owner.
//
// Positions are in the viewport's coordinates. Every cell is followed by a
// grid line of GridLineWidth at its right and bottom; a point on that line
// belongs to the cell before it.
#pragma once

#include "foundation/user_error.h"
#include "platform/qt/qt_services.h"
#include "ui/wex_events.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QLineEdit;
class QPainter;

using TGridDrawState = uint8_t;
constexpr TGridDrawState gdSelected = 1; // the current cell
constexpr TGridDrawState gdFocused = 2;  // the current cell of the focused grid
constexpr TGridDrawState gdFixed = 4;

using TGridOptions = uint8_t;
constexpr TGridOptions goEditing = 1;   // the text editor opens on Enter, F2 or typing
constexpr TGridOptions goColSizing = 2; // column edges in the fixed rows drag
constexpr TGridOptions goRowSizing = 4; // row edges in the fixed columns drag

enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing };

// Scroll codes of a bar's action: line, page, thumb and end moves.
enum TScrollCode {
    scLineUp = 0,
    scLineDown = 1,
    scPageUp = 2,
    scPageDown = 3,
    scPosition = 4,
    scTrack = 5,
    scTop = 6,
    scBottom = 7,
    scEndScroll = 8
};

class TStringGridWex;

using TDrawCellEvent =
    std::function<void(TStringGridWex* Sender, QPainter& Canvas, int Col, int Row, const QRect& Rect,
                       TGridDrawState State)>;
using TSelectCellEvent = std::function<void(QObject* Sender, int Col, int Row, bool& CanSelect)>;
using TSetEditEvent = std::function<void(QObject* Sender, int Col, int Row, const QString& Value)>;
using TMovedEvent = std::function<void(QObject* Sender, int FromIndex, int ToIndex)>;
using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button, TShiftState Shift, int X, int Y)>;

class TStringGridWex : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TStringGridWex(QWidget* Parent = nullptr);
    ~TStringGridWex() override;

    int ColCount() const { return FColCount; }
    int RowCount() const { return FRowCount; }
    void SetColCount(int Value);
    void SetRowCount(int Value);
    int FixedCols() const { return FFixedCols; }
    int FixedRows() const { return FFixedRows; }
    void SetFixedCols(int Value);
    void SetFixedRows(int Value);

    // Setting a default size gives every column (row) that size.
    int DefaultColWidth() const { return FDefaultColWidth; }
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultColWidth(int Value);
    void SetDefaultRowHeight(int Value);
    int ColWidths(int Col) const;
    int RowHeights(int Row) const;
    void SetColWidths(int Col, int Value);
    void SetRowHeights(int Row, int Value);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int Value);

    QString Cells(int Col, int Row) const;
    void SetCells(int Col, int Row, const QString& Value);

    // The current cell; setting it selects the cell as a click would and
    // brings it into view.
    int Col() const { return FCol; }
    int Row() const { return FRow; }
    void SetCol(int Value);
    void SetRow(int Value);
    // The first scrolling column and row in view.
    int LeftCol() const { return FLeftCol; }
    int TopRow() const { return FTopRow; }
    void SetLeftCol(int Value);
    void SetTopRow(int Value);
    // Scrolling columns (rows) wholly in view from LeftCol (TopRow) on.
    int VisibleColCount() const;
    int VisibleRowCount() const;

    // The part of the cell in view; an empty rectangle at (0, 0) when none
    // of it is.
    QRect CellRect(int Col, int Row) const;
    // Col and Row -1 when the point is on no cell.
    void MouseToCell(int X, int Y, int& Col, int& Row) const;

    TGridOptions Options = 0;
    bool DefaultDrawing = true; // cell background and text before OnDrawCell
    TGridState GridState() const { return FGridState; }
    bool EditorMode() const { return FEditing; }

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TSetEditEvent OnSetEditText;
    TNotifyEvent OnClick;
    TNotifyEvent OnTopLeftChanged;
    TMovedEvent OnColumnMoved;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TShowHintEvent OnShowHint;

protected:
    // The cell's rectangle at its full size, where it is or would be with
    // the current scrolling; only meaningful for cells not scrolled out at
    // the left or top.
    QRect FullCellRect(int Col, int Row) const;
    int ColumnLeft(int Col) const;
    int RowTop(int Row) const;
    // The column (row) in view at X (Y), -1 when none.
    int ColumnAt(int X) const;
    int RowAt(int Y) const;

    // Background and text when DefaultDrawing, then OnDrawCell.
    virtual void DrawCell(QPainter& Canvas, int Col, int Row, const QRect& Rect, TGridDrawState State);
    // Painted over the cells, before the hosted windows.
    virtual void PaintOverlay(QPainter&) {}
    // Asks OnSelectCell.
    virtual bool SelectCell(int Col, int Row);
    // Stores the text and tells OnSetEditText.
    virtual void SetEditText(int Col, int Row, const QString& Value);
    virtual bool CanEditShow() const;
    virtual void Click();
    virtual void TopLeftChanged();
    virtual void CurrentChanged() {}
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    // The cell a press or a drag with the button down selects; Col -1 none.
    virtual void CellToSelectByMouse(int& Col, int& Row) const;
    // A bar's action about to move the view to Pos; true stops it.
    virtual bool DoScroll(Qt::Orientation, int /*Pos*/, TScrollCode) { return false; }

    // Key handlers of the grid; a handled key becomes 0.
    virtual void KeyDown(int& Key, Qt::KeyboardModifiers Shift);
    virtual void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    virtual void MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y);
    virtual void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);

    // Moves the current cell (asking SelectCell); Show brings it into view.
    // CurrentChanged follows any scrolling this causes.
    bool MoveCurrent(int Col, int Row, bool Show);
    bool MovingCurrent() const { return FMovingCurrent; }
    // The sizing state a press at the point would start, and the column or
    // row whose edge it is.
    TGridState CalcSizingState(int X, int Y, int& Index) const;
    void ShowEditor();
    void HideEditor(bool Commit);

    void paintEvent(QPaintEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void scrollContentsBy(int Dx, int Dy) override;
    bool viewportEvent(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

    TGridState FGridState = gsNormal;

private:
    // The columns (rows) in view are the fixed ones, then those from
    // LeftCol (TopRow) on.
    int FirstCol() const { return FFixedCols > 0 ? 0 : FLeftCol; }
    int NextCol(int Col) const { return Col + 1 == FFixedCols ? FLeftCol : Col + 1; }
    int FirstRow() const { return FFixedRows > 0 ? 0 : FTopRow; }
    int NextRow(int Row) const { return Row + 1 == FFixedRows ? FTopRow : Row + 1; }
    int ExtentOfCols(int From, int To) const; // columns [From, To) with their lines
    int ExtentOfRows(int From, int To) const;
    int MaxLeftCol() const;
    int MaxTopRow() const;
    void UpdateScrollBars();
    void SetTopLeft(int LeftCol, int TopRow);
    void ClampInView(int Col, int Row);
    void InvalidateCell(int Col, int Row);
    void CheckCell(int Col, int Row) const;
    void Resize(int Cols, int Rows);

    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    int FGridLineWidth = 1;
    std::vector<int> FColWidths;
    std::vector<int> FRowHeights;
    std::vector<QString> FCells; // row by row
    int FCol = 1;
    int FRow = 1;
    int FLeftCol = 1;
    int FTopRow = 1;
    int FSizingIndex = -1;
    int FSizingOffset = 0; // from the pointer to the sized edge
    QPointer<QLineEdit> FEditor;
    bool FEditing = false;
    bool FMovingCurrent = false;
    bool FSyncingBars = false; // the bars follow the grid: no scrolling back
};

// Raised for a cell, column or row outside the grid and for counts and sizes
// below zero; the grid is left as it was.
class EInvalidGridOperation : public Exception {
public:
    using Exception::Exception;
};
