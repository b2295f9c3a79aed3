// A string grid whose cells are edited through real controls laid over
// them. Each hosted control is an item keyed by cell; an item's column or
// row -1 stands for every column or row, and the first item in list order
// that matches a cell is that cell's.
//
// Push buttons and panels (a QFrame used as such, or one of the program's
// own controls built directly on QFrame) always stay over their cells while
// those lie wholly in view. Every other control floats: it is shown over the
// current cell only, takes the cell's text when shown and gives its text
// back to the cell when it is left or another cell becomes current. In a
// hosted control Up and Down move the grid's current row and Escape puts the
// cell's text back; both return to the grid. A character typed on the grid
// while a floating control is shown goes into that control, which takes the
// keys from then on (an edit replaces its text with it): the grid's own
// editor is not used then, and nothing typed is lost.
//
// Hosted controls become children of the grid's viewport, so they go with
// the grid; their owner may free them at any time, the items only watch
// them.
#pragma once

#include "ui/string_grid_wex.h"

#include <QPointer>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class TCtrlGridQ;

// One hosted control. While the item exists the grid watches the control's
// keys and its leaving before (Up, Down) or after (Escape, leaving) the
// control's own handling.
struct TCtrlGridQItem {
    int32_t Col = 0;
    int32_t Row = 0;
    QPointer<QWidget> Control;
    QString Text; // the default text Enter puts into an empty cell's control
    // The control's class when it was hosted; while the control is being
    // destroyed its class reads as a base class and its leaving commits
    // nothing.
    const QMetaObject* Class = nullptr;
};

// The public copy of an item.
struct TrecCtrlGridQCtrl {
    int32_t Col = 0;
    int32_t Row = 0;
    QWidget* Control = nullptr;
    QString Text;
};

class TCtrlGridQCtrls {
public:
    explicit TCtrlGridQCtrls(TCtrlGridQ* Grid) : FGrid(Grid) {}
    TCtrlGridQCtrls(const TCtrlGridQCtrls&) = delete;
    TCtrlGridQCtrls& operator=(const TCtrlGridQCtrls&) = delete;
    ~TCtrlGridQCtrls() { Clear(); }

    // Hosts Control over cell (Col, Row); a floating control is hidden until
    // its cell becomes current. Returns the item's index.
    int Add(int32_t Col, int32_t Row, QWidget* Control, const QString& Text);
    int GetCount() const { return int(FItems.size()); }
    // EListError for an index outside the list.
    void GetItem(int Index, TrecCtrlGridQCtrl& Rec) const;
    // Frees every item (not the controls); the grid forgets its current control.
    void Clear();

    std::function<void()> OnChange; // the grid re-shows its current cell's control

private:
    friend class TCtrlGridQ;
    // The index of the first item of a cell: the first item hosted exactly
    // there, unless an earlier item standing for a whole row or column (the
    // few in FWildItems) matches. Kept as items come and go, so that a
    // grid of many hosted controls finds a cell's control at once.
    int IndexOf(int Col, int Row) const;

    TCtrlGridQ* FGrid;
    std::vector<std::unique_ptr<TCtrlGridQItem>> FItems;
    std::unordered_map<uint64_t, int> FFirstAt;
    std::vector<int> FWildItems;
};

using TControlShowEvent = std::function<void(QObject* Sender, QWidget* Control, const QString& Text)>;
using TControlHideEvent = std::function<void(QObject* Sender, int Col, int Row, QString& Text)>;
// Bar 0 horizontal, 1 vertical; Handled true keeps the view where it is.
using TGridScrollEvent = std::function<void(QObject* Sender, int Bar, bool& Handled, int Pos, TScrollCode Code)>;

class TCtrlGridQ : public TStringGridWex {
    Q_OBJECT
public:
    explicit TCtrlGridQ(QWidget* Parent = nullptr);
    ~TCtrlGridQ() override;

    TCtrlGridQCtrls& Ctrls() { return *FCtrls; }
    const TCtrlGridQCtrls& Ctrls() const { return *FCtrls; }
    bool ShowControls() const { return FShowControls; }
    // Ignored while the controls are locked; true re-shows the current
    // cell's control.
    void SetShowControls(bool Value);

    // The index of the cell's item, -1 when none.
    int CellItemIndex(int Col, int Row) const;
    QWidget* GetCellControl(int Col, int Row) const;
    QString GetCellItemText(int Col, int Row) const;
    TCtrlGridQItem* FindItemByControl(const QWidget* Control) const;

    // The control over the current cell, nil when none shows, and its cell.
    QWidget* CurrentControl() const { return FCurrentControl; }
    int CurrentControlCol() const { return FCurrentCol; }
    int CurrentControlRow() const { return FCurrentRow; }

    // Makes (Col, Row) the current cell, in view, unless it already is,
    // and tells OnClick.
    void MoveToCell(int Col, int Row);
    // Painting waits until the last EndUpdate, which re-places the
    // always-visible controls and repaints everything.
    void BeginUpdate();
    void EndUpdate();
    // While locked, controls are neither shown, hidden nor committed; the
    // last unlock re-places the always-visible ones.
    void LockControls();
    void UnlockControls();
    // Gives the current floating control's text to its cell and hides it.
    void EndCellEdit();
    // Puts each always-visible control over its cell, or hides it when the
    // cell is not wholly in view (a control on every column or row has no
    // single cell and stays hidden).
    void RealignControls();

    static bool IsAlwaysVisible(const QWidget* Control);

    TControlShowEvent OnControlShow;
    TControlHideEvent OnControlHide;
    TGridScrollEvent OnScroll;

protected:
    // Shows the current cell's control in place of the last one.
    void ShowCellControl();

    void KeyDown(int& Key, Qt::KeyboardModifiers Shift) override;
    void keyPressEvent(QKeyEvent* Event) override;
    bool CanEditShow() const override;
    void CurrentChanged() override;
    void TopLeftChanged() override;
    void ColWidthsChanged() override;
    void RowHeightsChanged() override;
    bool DoScroll(Qt::Orientation Orientation, int Pos, TScrollCode Code) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend class TCtrlGridQCtrls;
    void Host(QWidget* Control);
    void Unhost(QWidget* Control);
    TCtrlGridQItem* HostItemOf(QObject* Object) const;
    void HideControl(QWidget* Control);
    void ControlsMoved(); // re-show and re-place after the cells moved or sized

    std::unique_ptr<TCtrlGridQCtrls> FCtrls;
    bool FShowControls = true;
    QPointer<QWidget> FCurrentControl;
    int FCurrentCol = -1;
    int FCurrentRow = -1;
    int FUpdateCount = 0;
    int FLockCount = 0;
    bool FShowing = false;
};
