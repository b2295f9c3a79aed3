// Toolbars: tool windows that line their items (buttons, the zoom box,
// separators) up in one line when docked and in wrapped lines when
// floating, keep the order the items were added in, and snap a floating
// toolbar to the shapes its items allow while it is resized.
//
// Items are children of ClientArea(). Items between two separators form a
// group that moves to the next line whole; a separator at a line break
// shrinks to nothing and an etched 6-pixel gap stands for it.
#pragma once

#include "ui/tool_window97.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCustomToolbar97;

// The separator item. It takes no mouse press of its own: a press on it
// drags the toolbar.
class TToolbarSep97 : public QWidget {
    Q_OBJECT
    // The owner's number for the separator, also as the "Tag" property.
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
public:
    // Toolbar may be null; the separator is then placed later.
    explicit TToolbarSep97(TCustomToolbar97* Toolbar = nullptr);

    int Tag() const { return FTag; }
    void SetTag(int Value) { FTag = Value; }

    // Only a toolbar (or nothing) holds a separator; anything else raises
    // EInvalidOperation "TToolbarSep97 can only be placed on a TToolbar97".
    void SetParent(TCustomToolbar97* Toolbar);
    void SetParent(QWidget* Parent);
    TCustomToolbar97* Toolbar() const;

    bool Blank() const { return FBlank; }
    void SetBlank(bool Value);
    // Lengths in horizontal and vertical layouts; below 1 becomes 1.
    int32_t SizeHorz() const { return FSizeHorz; }
    void SetSizeHorz(int32_t Value);
    int32_t SizeVert() const { return FSizeVert; }
    void SetSizeVert(int32_t Value);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    int FTag = 0;
    bool FBlank = false;
    int32_t FSizeHorz = 6;
    int32_t FSizeVert = 6;
};

class TCustomToolbar97 : public TCustomToolWindow97 {
    Q_OBJECT
public:
    explicit TCustomToolbar97(QWidget* Owner);
    ~TCustomToolbar97() override;

    // The items in their order; entries whose parent is no longer this
    // toolbar are dropped first.
    QWidget* GetOrderedControl(int32_t Index);
    int32_t OrderedControlCount();
    // All of them at once, for one pass over a long toolbar: each call
    // above cleans the whole list first.
    std::vector<QWidget*> OrderedControls();

    // The owner's number for an item (a command, -1 a separator), kept in
    // the order list beside it: a walk over a long toolbar's numbers reads
    // the list alone, not every item. An item not on the toolbar is
    // ignored; an item's number is 0 until set.
    void SetItemTag(QWidget* Item, int32_t Tag);
    std::vector<int32_t> OrderedTags();
    // The order-list entries cleaning has looked at so far; for tests.
    uint64_t OrderCleanVisits() const { return FOrderCleanVisits; }

    // The client width at which a floating toolbar wraps; 0 never wraps.
    int32_t FloatRightX() const { return FFloatRightX; }
    void SetFloatRightX(int32_t Value);

    // Whether a load sorts the items by their positions.
    bool OrderByPositionAtLoad = true;

    // A line break of the last floating layout: the y where the next line
    // starts and whether the separator it stands for was blank.
    struct TLineSep {
        int32_t Y;
        bool Blank;
    };
    const std::vector<TLineSep>& LineSeps() const { return FLineSeps; }

    // TCustomToolWindow97
    QSize ComputeLayout(bool CanMoveControls, int32_t LastOrientation, TDock97* DockingTo) override;
    void CalcBarThickness(int32_t& Size, int32_t Orientation) override;
    void GetMinimumSize(int32_t& Width, int32_t& Height) override;
    bool IsTransparentChild(QWidget* Control) override;
    TToolWindowOptions GetOptions() override;
    void InitializeItemOrder() override;
    void SizingStarted(TToolWindowHit Hit) override;
    void SizingTrack(QRect& Rect, const QRect& OrigRect) override;
    void SizingEnded(bool Accepted) override;
    // The values a toolbar keeps beyond those of every tool window.
    void LoadExtraPosition(const std::function<int32_t(const std::string&, int32_t)>& ReadInt);
    void SaveExtraPosition(const std::function<void(const std::string&, int32_t)>& WriteInt);

    // The sizes the current sizing offers, frame included, in the order
    // the moved edge walks them; for tests.
    const std::vector<QSize>& SizingSizes() const { return FSizes; }
    int32_t SizingSensitivity() const { return FSensitivity; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void PaintClient(QPainter& P, const QRect& Rect) override;

private:
    struct TOrderItem {
        QWidget* Control;
        int32_t Tag;
    };
    // Except: an entry that is no item whatever the children say (the
    // child being added, which cannot be in the list yet).
    void CleanOrderList(const QObject* Except = nullptr);
    void ChildAdded(QWidget* Child);

    std::vector<TOrderItem> FOrderList;
    // A child left since the last cleaning: its entry may still be there.
    bool FOrderStale = false;
    uint64_t FOrderCleanVisits = 0;
    std::vector<TLineSep> FLineSeps;
    int32_t FFloatRightX = 0;

    // Sizing a floating toolbar.
    TToolWindowHit FSizingHit = htNowhere;
    std::vector<QSize> FSizes;
    int32_t FPendingFloatRightX = 0;
    bool FLeftBand = false;
    int32_t FLastDirection = 0;
    int32_t FSensitivity = 0;
    int32_t FWidestWidth = 0;
    bool FSizingActive = false;
};

// What the form's designer would publish; nothing more at run time.
class TToolbar97 : public TCustomToolbar97 {
    Q_OBJECT
public:
    using TCustomToolbar97::TCustomToolbar97;
};
