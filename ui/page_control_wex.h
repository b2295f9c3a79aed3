// A page control whose pages tear off: dragging a tab more than 5 pixels
// and dropping it outside every floating page window puts the page into a
// new floating roll-up window (TfrmPltChild); dropping it on such a window
// moves the page there. A window whose last page leaves is freed; closing
// one hides its tabs and posts TToolWindowClosedEvent to its owner window,
// which brings the pages home.
//
// Every page's "Tag" property holds its index at start-up (Loaded), by which
// the page's anchors are found wherever it lives.
#pragma once

#include "ui/frm_rollup.h"
#include "ui/wex_events.h"

#include <QMenu>
#include <QPointer>
#include <QTabWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TAnchorsControlWex;
class TfrmPltChild;

// Page is the page's start-up index.
using TGetMinMaxInfoEvent = std::function<void(QObject* Sender, int32_t Page, TMinMaxInfo& Info)>;
using TResizeOwnerEvent = std::function<void(QObject* Sender, QWidget* Form)>;

// Where a page torn off at Dropped (its page area where the drag left it)
// opens in the work area Area: no side larger than half the area's (a page
// area of a window as wide as the screen would make a window as wide) nor
// smaller than Min, none larger than the area's; then moved as little as
// needed to lie wholly inside the area, caption buttons and all. An empty
// Area leaves Dropped as it is.
QRect TearOffBounds(const QRect& Dropped, const QSize& Min, const QRect& Area);

// A page of a TPageControlWex.
class TTabsheetWex : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

class TPageControlWex : public QTabWidget {
    Q_OBJECT
public:
    explicit TPageControlWex(QWidget* Parent = nullptr);
    ~TPageControlWex() override;

    // The window the floating windows stay above and tell when they close.
    QWidget* OwnerWindow() const { return FOwnerWindow; }
    void SetOwnerWindow(QWidget* Value) { FOwnerWindow = Value; }
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Value) { FPopupMenu = Value; }

    // Asked for each page of a floating window, in client sizes.
    TGetMinMaxInfoEvent OnGetMinMaxInfo;
    // A floating window changed size.
    TResizeOwnerEvent OnResizeOwner;
    // The active page changed (also in the floating windows' controls).
    TNotifyEvent OnChange;

    // Start-up: numbers the pages (Tag) and records each page's anchored
    // layout.
    void Loaded();
    // The pages in their start-up order.
    const std::vector<QWidget*>& TabSheets() const { return FTabSheets; }
    // The anchors of the page with start-up index Tag; null for none.
    TAnchorsControlWex* AnchorsControl(int32_t Tag) const;
    // The floating windows this control made and that still hold pages.
    std::vector<TfrmPltChild*> FloatingWindows() const;
    // The control that made this one's floating window; itself for others.
    TPageControlWex* Origin() const { return FOrigin ? FOrigin.data() : const_cast<TPageControlWex*>(this); }

    // Puts Page into a new floating window at ScreenRect (fitted to the
    // window's size limits, kept in the work area) and shows it. A window
    // new to the user (torn off by a drag or a command, not a layout being
    // restored) is moreover sized and placed by TearOffBounds.
    enum class TTearOffPlace { AsGiven, New };
    virtual TfrmPltChild* TearOffPage(QWidget* Page, const QRect& ScreenRect,
                                      TTearOffPlace Place = TTearOffPlace::AsGiven);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;

private:
    friend class TfrmPltChild;
    class TDragOutline;

    // The tab handlers of this control and of its floating windows' ones.
    void TabMouseDown(TPageControlWex* Source, const QPoint& Local, const QPoint& Global);
    void TabMouseMove(const QPoint& Global);
    void TabMouseUp(const QPoint& Global);
    void ShowOutline(const QPoint& Global);
    TfrmPltChild* FloatingWindowAt(const QPoint& Global) const;
    void ChildResized(TfrmPltChild* Child);

    QPointer<QWidget> FOwnerWindow;
    QPointer<QMenu> FPopupMenu;
    QPointer<TPageControlWex> FOrigin;
    std::vector<QPointer<TfrmPltChild>> FFloating;
    std::vector<QWidget*> FTabSheets;
    std::vector<std::unique_ptr<TAnchorsControlWex>> FAnchors;

    // The tab drag.
    bool FPressed = false;
    bool FDragging = false;
    QPointer<TPageControlWex> FSource;
    int32_t FPressedIndex = -1;
    QPoint FPressPoint;
    QPoint FLastPoint;
    QRect FTabRect;  // screen
    QRect FPageRect; // screen
    QPoint FTabOffset;
    std::unique_ptr<TDragOutline> FOutline;
};

// A floating window holding torn-off pages.
class TfrmPltChild : public TfrmRollup {
    Q_OBJECT
public:
    TfrmPltChild(QWidget* OwnerWindow, TPageControlWex* Origin);

    TPageControlWex* PageControl() const { return FPageControl; }
    QWidget* OwnerWindow() const { return FOwnerWindow; }
    TPageControlWex* Origin() const { return FOrigin; }

    void GetMinMaxInfo(TMinMaxInfo& Info) override;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TPageControlWex* FPageControl;
    QPointer<QWidget> FOwnerWindow;
    QPointer<TPageControlWex> FOrigin;
};
