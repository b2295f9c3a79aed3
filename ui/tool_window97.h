// Tool windows: windows that live in a dock (TDock97) or float above their
// form, draw their own frame (border, drag handle, caption, close button),
// are dragged between docks and the floating state and sized while floating.
//
// A tool window is one QWidget re-parented between a dock and a floating
// parent (TFloatingWindowParent, an invisible child of the form); while
// floating it is a frameless Qt::Tool window painting its own frame. Its
// controls go on ClientArea(), whose origin is the frame's client origin.
// Sizes are outer sizes (frame included) as Width and Height are.
#pragma once

#include "ui/dock97.h"

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

class QPainter;
class TDragOutline97;

enum TBorderStyle97 { bsNone, bsSingle };
enum TDragHandleStyle { dhDouble, dhNone, dhSingle };
enum TToolWindowDockMode { dmCanFloat, dmCannotFloat, dmCannotFloatOrChangeDocks };
enum TToolWindowFloatingMode { fmOnTopOfParentForm, fmOnTopOfAllForms };
// A set of TDockPosition, one bit each (1 << position).
using TDockableTo = uint32_t;
inline constexpr TDockableTo kDockableToAll = 0xF;

struct TToolWindowOptions {
    bool CallAlignControls = true;
    bool ResizeEightCorner = true;
    bool ResizeClipCursor = true;
};

// What a point of the tool window answers to the mouse.
enum TToolWindowHit { htNowhere, htClient, htClose, htLeft, htRight, htTop, htTopLeft, htTopRight, htBottom,
                      htBottomLeft, htBottomRight };

// Frame metrics of the floating frame.
inline constexpr int32_t kDialogFrame97 = 3;
inline constexpr int32_t kSizingFrame97 = 4;
inline constexpr int32_t kSmallCaption97 = 15;

// The reach of positions along a dock and on the screen: no screen is that
// large, and widgets stop at 2^24 - 1 pixels, so a position and a size
// together stay well within 32 bits. Rows beyond the row limit are no rows
// anyone made.
inline constexpr int32_t kToolWindowCoordinateLimit97 = 1 << 24;
inline constexpr int32_t kToolWindowRowLimit97 = 1 << 16;

// V brought within +-kToolWindowCoordinateLimit97.
inline int32_t WithinToolWindowReach97(int64_t V)
{
    return int32_t(std::clamp<int64_t>(V, -kToolWindowCoordinateLimit97, kToolWindowCoordinateLimit97));
}

using TDockChangingExEvent = std::function<void(QObject* Sender, TDock97* DockingTo)>;
using TNotifyEvent97 = std::function<void(QObject* Sender)>;
using TCloseQueryEvent97 = std::function<void(QObject* Sender, bool& CanClose)>;

class TCustomToolWindow97;

// The invisible parent of a floating tool window: remembers the form the
// window belongs to and whether it should show.
class TFloatingWindowParent : public QWidget {
    Q_OBJECT
public:
    explicit TFloatingWindowParent(QWidget* Form);
    QWidget* ParentForm() const { return FParentForm; }
    bool ShouldShow() const { return FShouldShow; }
    void SetShouldShow(bool Value) { FShouldShow = Value; }

private:
    QPointer<QWidget> FParentForm;
    bool FShouldShow = false;
};

class TCustomToolWindow97 : public QWidget {
    Q_OBJECT
public:
    // Owner is the form the window belongs to; it starts floating there,
    // hidden, until placed (SetParent, DockedTo) and shown.
    explicit TCustomToolWindow97(QWidget* Owner);
    ~TCustomToolWindow97() override;

    // The window's controls go here.
    QWidget* ClientArea() const { return FClient; }
    // The form that owns the window, and the window's place among the tool
    // windows made so far (owners list them in this order).
    QWidget* OwnerForm() const { return FOwnerForm.data(); }
    uint64_t ComponentSerial() const { return FComponentSerial; }

    // --- placement
    // AParent: nullptr, a dock or a form (floating); anything else raises
    // EInvalidOperation "A tool window can only be placed on a TDock97 or
    // directly on the form" and keeps the parent.
    void SetParent(QWidget* AParent);
    TDock97* DockedTo() const { return FDocked ? FDockedTo.data() : nullptr; }
    // nullptr floats the window on its form.
    void SetDockedTo(TDock97* Value);
    bool Docked() const { return FDocked; }
    bool Floating() const { return !FDocked && parentWidget() != nullptr; }
    // The form the window belongs to; raises EInvalidOperation when none.
    QWidget* GetToolWindowParentForm() const;
    int32_t DockRow() const { return FDockRow; }
    // Rows above kToolWindowRowLimit97 count as that row.
    void SetDockRow(int32_t Value);
    int32_t DockPos() const { return FDockPos; }
    // Brought within +-kToolWindowCoordinateLimit97.
    void SetDockPos(int32_t Value);
    TDock97* LastDock() const { return FLastDock.data(); }
    void SetLastDock(TDock97* Value);
    bool UseLastDock() const { return FUseLastDock; }
    void SetUseLastDock(bool Value);
    TDock97* DefaultDock() const { return FDefaultDock.data(); }
    void SetDefaultDock(TDock97* Value) { FDefaultDock = Value; }
    // The floating window's top-left on the screen.
    QPoint FloatingPosition() const { return FFloatingTopLeft; }
    // Each coordinate brought within +-kToolWindowCoordinateLimit97.
    void SetFloatingPosition(const QPoint& Value);
    void MoveOnScreen(bool OnlyIfFullyOffscreen);

    // --- properties
    bool ActivateParent() const { return FActivateParent; }
    void SetActivateParent(bool Value) { FActivateParent = Value; }
    TBorderStyle97 BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle97 Value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Value);
    QColor Color() const { return FColor; }
    void SetColor(const QColor& Value);
    bool CloseButton() const { return FCloseButton; }
    void SetCloseButton(bool Value);
    bool CloseButtonWhenDocked() const { return FCloseButtonWhenDocked; }
    void SetCloseButtonWhenDocked(bool Value);
    TDockableTo DockableTo() const { return FDockableTo; }
    void SetDockableTo(TDockableTo Value) { FDockableTo = Value; }
    TToolWindowDockMode DockMode() const { return FDockMode; }
    void SetDockMode(TToolWindowDockMode Value) { FDockMode = Value; }
    TDragHandleStyle DragHandleStyle() const { return FDragHandleStyle; }
    void SetDragHandleStyle(TDragHandleStyle Value);
    TToolWindowFloatingMode FloatingMode() const { return FFloatingMode; }
    void SetFloatingMode(TToolWindowFloatingMode Value);
    bool FullSize() const { return FFullSize; }
    void SetFullSize(bool Value);
    bool HideWhenInactive() const { return FHideWhenInactive; }
    void SetHideWhenInactive(bool Value);
    bool ShowCaption() const { return FShowCaption; }
    void SetShowCaption(bool Value);
    bool Resizable() const { return FResizable; }
    void SetResizable(bool Value);
    static const char* Version() { return kToolbar97Version; }
    // The Visible property; whether the window shows also depends on its
    // dock or form and on the application (ShouldBeShown).
    bool Visible() const { return FVisible; }
    void setVisible(bool Visible) override;
    bool InactiveCaption() const { return FInactiveCaption; }
    bool CloseButtonDown() const { return FCloseButtonDown; }

    // A plain tool window's client size; ComputeLayout answers it.
    QSize ClientAreaSize() const { return FClientAreaSize; }
    void SetClientAreaSize(const QSize& Value);

    // --- events
    TNotifyEvent97 OnClose;
    TCloseQueryEvent97 OnCloseQuery;
    TNotifyEvent97 OnDockChanged;
    TNotifyEvent97 OnDockChanging;
    TDockChangingExEvent OnDockChangingEx;
    TDockChangingExEvent OnDockChangingHidden;
    TNotifyEvent97 OnMove;
    TNotifyEvent97 OnRecreated;
    TNotifyEvent97 OnRecreating;
    TNotifyEvent97 OnResize;
    TNotifyEvent97 OnVisibleChanged;

    // --- layout
    void BeginUpdate();
    void EndUpdate();
    void Arrange();
    // The frame around the client area: left, top, right, bottom widths.
    QMargins FrameMargins() const;
    // The docked frame this window has (or would have) in Dock.
    QMargins DockedFrameMargins(const TDock97* Dock) const;
    QMargins FloatingFrameMargins() const;
    // Thickness across a row for a dock orientation (0 floating, 1, 2).
    virtual void CalcBarThickness(int32_t& Size, int32_t Orientation);
    virtual void GetMinimumSize(int32_t& Width, int32_t& Height);
    // Lays the controls out for DockingTo (floating when nullptr) and
    // answers the client size; only with CanMoveControls are they moved.
    virtual QSize ComputeLayout(bool CanMoveControls, int32_t LastOrientation, TDock97* DockingTo);
    virtual void BeforeSizeChange(int32_t NewWidth, int32_t NewHeight);
    virtual bool IsTransparentChild(QWidget* Control);
    virtual TToolWindowOptions GetOptions() { return TToolWindowOptions(); }
    virtual void InitializeItemOrder() {}
    virtual void SizingStarted(TToolWindowHit) {}
    virtual void SizingEnded(bool /*Accepted*/) {}
    virtual void SizingTrack(QRect& /*Rect*/, const QRect& /*OrigRect*/) {}
    virtual void AfterPositionLoad() {}

    // --- frame parts, in window coordinates
    QRect ClientRect() const;
    QRect CaptionRect() const;
    QRect CloseButtonRect() const;
    TToolWindowHit HitTest(const QPoint& P) const;

    // --- mouse (the client area and transparent children pass theirs here)
    // A left press at a global point: drag, double-click or close button.
    void ToolWindowMouseDown(const QPoint& Global, bool DoubleClick, Qt::KeyboardModifiers Modifiers);
    void BeginMoving(const QPoint& Global, Qt::KeyboardModifiers Modifiers);
    void BeginSizing(TToolWindowHit Hit, const QPoint& Global);
    // What a drag in progress shows; for tests and the outline.
    bool Moving() const { return FTrack == TTrack::Moving; }
    bool Sizing() const { return FTrack == TTrack::Sizing; }
    QRect DragOutlineRect() const { return FOutline; }
    int32_t DragOutlineThickness() const { return FOutlineThickness; }
    TDock97* DragTarget() const { return FTarget.data(); }

    // Shows or hides the window as its dock or form and the application say.
    void UpdateVisibility();
    bool ShouldBeShown() const;

    // Floating tool windows, in the order they started floating.
    static const std::vector<TCustomToolWindow97*>& FloatingToolWindows();

protected:
    bool event(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void moveEvent(QMoveEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;

    // Paints the client area's background (dock tiles or Color).
    virtual void PaintClient(QPainter& P, const QRect& Rect);

private:
    friend class TDock97;
    friend class TToolWindowClient97;
    friend void ToolWindowHookProc(int32_t Code, QObject* Target, QEvent* Event);
    enum class TTrack { None, Moving, Sizing, Close };

    void SetBoundsInternal(const QRect& R);
    void UpdateFrame();
    void PaintDockedFrame(QPainter& P);
    void PaintFloatingFrame(QPainter& P);
    void SetFloatingList(bool Floating);
    void DockForgotten(TDock97* Dock);
    TDock97* CurrentDock() const { return FDocked ? FDockedTo.data() : nullptr; }
    void ClientMouse(QMouseEvent* Event);
    // drag and size
    void ReEvaluate(const QPoint& Cursor);
    void ShowOutline(const QRect& R, int32_t Thickness);
    void EndTracking(bool Accept);
    void DropMoving();
    void SizingMove(const QPoint& Cursor);
    void CloseButtonClicked();

    QWidget* FClient = nullptr;
    uint64_t FComponentSerial = 0;
    QPointer<TDock97> FDockedTo;
    bool FDocked = false;
    QPointer<TDock97> FLastDock;
    QPointer<TDock97> FDefaultDock;
    QPointer<QWidget> FOwnerForm;
    QPoint FFloatingTopLeft;
    TFloatingWindowParent* FFloatParent = nullptr;
    bool FResizable = true;
    bool FInactiveCaption = false;
    bool FCloseButtonDown = false;
    int32_t FLastOrientation = 0;
    bool FLastOrientationValid = false;
    int32_t FUpdateCount = 0;
    int32_t FHiddenCount = 0;
    int32_t FMoveEventsOff = 0;
    int32_t FInSetBounds = 0;
    bool FLayoutPending = false;
    bool FDestroying = false;
    int32_t FQtVisibilityGuard = 0;

    bool FActivateParent = true;
    TBorderStyle97 FBorderStyle = bsSingle;
    QString FCaption;
    QColor FColor;
    bool FCloseButton = true;
    bool FCloseButtonWhenDocked = false;
    TDockableTo FDockableTo = kDockableToAll;
    TToolWindowDockMode FDockMode = dmCanFloat;
    int32_t FDockPos = -1;
    int32_t FDockRow = 0;
    TDragHandleStyle FDragHandleStyle = dhDouble;
    TToolWindowFloatingMode FFloatingMode = fmOnTopOfParentForm;
    bool FFullSize = false;
    bool FHideWhenInactive = true;
    bool FShowCaption = true;
    bool FUseLastDock = true;
    bool FVisible = true;
    QSize FClientAreaSize{8, 8};

    // mouse tracking
    TTrack FTrack = TTrack::None;
    QPoint FGrab;
    QSize FStartSize;
    bool FPreventDocking = false;
    bool FPreventFloating = false;
    struct TCandidate {
        QPointer<TDock97> Dock;
        QSize Size;
    };
    std::vector<TCandidate> FCandidates;
    QSize FFloatSize;
    QPointer<TDock97> FTarget;
    QPoint FLastCursor;
    QRect FOutline;
    int32_t FOutlineThickness = 0;
    std::unique_ptr<TDragOutline97> FOutlineWidget;
    TToolWindowHit FSizingHit = htNowhere;
    QRect FSizingOrig;
    QRect FSizingRect;
    QPoint FSizingStart;
    QSize FSizingMin;
};

// The caption text as the floating frame shows it in Available pixels:
// text too long gets "..." and loses the character before it until it fits
// or is shorter than 5 characters.
QString FitCaptionText(const QString& Text, const std::function<int32_t(const QString&)>& WidthOf,
                       int32_t Available);

// The position (TDockPosition) of the dock holding the tool window that
// Control sits in; 4 when that window floats or there is none. Buttons ask
// it to open their menus away from the edge.
int32_t ControlDockPosition(const QWidget* Control);

// The work area of the screen nearest to a rectangle or a point.
QRect WorkAreaNear(const QRect& R);
QRect WorkAreaAt(const QPoint& P);
// MulDiv as the tool windows use it: rounded, 0 for a zero divisor.
int32_t MulDiv97(int32_t A, int32_t B, int32_t C);
