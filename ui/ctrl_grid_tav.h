// The control grid of a list of items shown side by side: item i covers
// column 2i (its captions) and 2i + 1 (its values), row 0 is the header
// row. Pressing an item's header cell, right of the square at the cell's
// left where its owner draws a check box, selects the item; dragging that
// header by more than 3 pixels drags the item: an insertion line shows where
// it would land, the grid scrolls by two columns every 200 ms while the
// pointer is beyond the columns in view, and the drop tells OnColumnMoved
// (dragged item, its new index) unless that is where it was.
#pragma once

#include "ui/ctrl_grid_q.h"

#include <QPoint>

#include <cstdint>
#include <vector>

class QTimer;

class TCtrlGridTav : public TCtrlGridQ {
    Q_OBJECT
public:
    explicit TCtrlGridTav(QWidget* Parent = nullptr);
    ~TCtrlGridTav() override;

    int ItemIndex() const { return FItemIndex; } // -1 none
    // Repaints the old and the new item and tells OnSelColumnChange.
    void SetItemIndex(int Value);
    TNotifyEvent OnSelColumnChange;

    // The rows each item uses below its header, filled by the owner.
    std::vector<int32_t> ItemRows;

    // 0 idle, 1 pressed on a header, 2 dragging.
    int DragState() const { return FDragState; }
    // Where the dragged item would land, -1 none.
    int DragTarget() const { return FDragTarget; }

    static constexpr int kDragThreshold = 3;     // pixels a press may move and stay a press
    static constexpr int kAutoScrollInterval = 200; // ms
    static constexpr int kInsertionLineWidth = 5;

protected:
    // One step of the scrolling while an item is dragged beyond the view.
    void AutoScrollTick();
    // The x of the insertion line for the current target.
    int InsertionLineX() const;

    void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y) override;
    void MouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y) override;
    void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y) override;
    void KeyDown(int& Key, Qt::KeyboardModifiers Shift) override;
    void CellToSelectByMouse(int& Col, int& Row) const override;
    void PaintOverlay(QPainter& Canvas) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    void InvalidateItem(int Index);
    void DragTo(int X); // the target under the pointer at X
    void EndDrag();

    int FItemIndex = -1;
    int FDragState = 0;
    int FDragItem = -1;
    QPoint FPressPoint;
    int FLastX = 0; // the pointer's x at the last move
    int FDragTarget = -1;
    QTimer* FAutoScroll;
};
