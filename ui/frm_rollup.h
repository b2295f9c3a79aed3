// Roll-up tool windows and window snapping.
//
// TfrmRollup is a frameless tool window that draws its own frame and caption
// and moves and sizes itself by tracking the mouse on them, so that it
// behaves the same under every window manager. A button in the caption (the
// third place from the right end) rolls the window up to its caption and
// back. While moved or sized it snaps to the edges of the work area, of the
// other visible windows and of their MDI client areas; a moved window keeps
// to an edge until the mouse has gone more than the snap distance past it.
//
// Window rectangles are QRects in screen coordinates; an edge's place is
// x + width (right) and y + height (bottom), so that windows that touch
// share the value.
#pragma once

#include "ui/restore_pos.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Edges within this many pixels (inclusive) snap together.
constexpr int32_t kSnapDistance = 6;

// The edge or corner being dragged while a window is sized.
constexpr int32_t WMSZ_LEFT = 1;
constexpr int32_t WMSZ_RIGHT = 2;
constexpr int32_t WMSZ_TOP = 3;
constexpr int32_t WMSZ_TOPLEFT = 4;
constexpr int32_t WMSZ_TOPRIGHT = 5;
constexpr int32_t WMSZ_BOTTOM = 6;
constexpr int32_t WMSZ_BOTTOMLEFT = 7;
constexpr int32_t WMSZ_BOTTOMRIGHT = 8;

// What a moving or sizing window snaps to: the work area, then the other
// windows, each window's frame followed by its MDI client area when it has
// one.
struct TSnapTargets {
    QRect WorkArea;
    std::vector<QRect> Windows;
};

// The targets for Form: the work area and every other visible, not
// minimised top-level window (document windows live inside the frame's MDI
// area and are no top-level windows). Taken once when a move or size begins.
TSnapTargets GetSnapTargets(const QWidget* Form);

// Rect moved (its size kept): horizontally to the first edge within the snap
// distance of the work area, else of the first window that has one, and
// vertically the same way.
QRect SnapMovingRect(const QRect& Rect, const TSnapTargets& Targets);
// Rect with the dragged edges (SizingEdge, WMSZ_...) snapped one by one to
// the work area and every window; the other edges stay.
QRect SnapSizingRect(const QRect& Rect, int32_t SizingEdge, const TSnapTargets& Targets);
// The same against Form's targets.
void SnapMovingRect(const QWidget* Form, QRect& Rect);
void SnapSizingRect(const QWidget* Form, QRect& Rect, int32_t SizingEdge);

// Moves Control (its size kept) so that it lies inside the work area as far
// as it fits, its left and top edges winning.
void SetPosInWorkArea(QWidget* Control, int32_t Left, int32_t Top);

// 0 when the MDI frame form has no document windows, 1 when one of them is
// maximised, else 2.
int32_t GetMDIChildrenState(const QWidget* MDIForm);

// A help request: for a window (HELPINFO_WINDOW) the mouse position on the
// screen names the control it is about.
constexpr int32_t HELPINFO_WINDOW = 1;
constexpr int32_t HELPINFO_MENUITEM = 2;
struct THelpInfo {
    int32_t ContextType = HELPINFO_WINDOW;
    QPoint MousePos;
};

// How the application shows help for a help context (the shell sets it).
void SetShowHelpContextHook(std::function<void(int32_t HelpContext)> Hook);
// Asks the application's help for Context (0: none of its own); nothing
// while no hook is set.
void ShowApplicationHelp(int32_t Context);

// For a window help request: the control of Form under the mouse (disabled
// ones too), or the nearest of its parents up to Form with a non-zero
// "HelpContext" property, has its help shown; true when there was one.
bool HandleWMHelp(QWidget* Form, const THelpInfo& HelpInfo);
// F1 in Form: the help of the control under the mouse while the mouse is
// over Form, else of the focused control (each as HandleWMHelp finds it);
// Context when neither has one (0: the contents).
void ShowKeyHelp(QWidget* Form, int32_t Context = 0);

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

// The size limits a window may be given by dragging its frame.
struct TMinMaxInfo {
    QSize MinTrackSize;
    QSize MaxTrackSize;
};

using TRollUpEvent = std::function<void(QObject* Sender, QRect& Rect)>;

class TfrmRollup : public QWidget {
    Q_OBJECT
public:
    explicit TfrmRollup(QWidget* Parent = nullptr, TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeToolWin);
    ~TfrmRollup() override;

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    // The form's client area: its controls go here. It keeps its size while
    // the window is rolled up; only its top stays in view.
    QWidget* ClientArea() const { return FClient; }
    // In window coordinates.
    int32_t FrameSize() const;
    QRect CaptionRect() const;
    QRect RollButtonRect() const;
    QRect CloseButtonRect() const;
    QRect ClientRect() const;

    bool RolledUp() const { return FRolledUp; }
    void SetRolledUp(bool Value);
    // The window's size when it is unrolled.
    QSize UnrolledSize() const { return FRolledUp ? FUnrolledSize : size(); }

    // "left,top,width,height,rolled" with left and top relative to the work
    // area, the unrolled size and 1 when rolled up. Reading it back keeps the
    // window's own value for a missing field (0 for the rolled flag).
    std::string GetPositionString() const;
    void SetPositionString(const std::string& S);

    // The limits for dragging the frame; a rolled-up window cannot be sized.
    virtual void GetMinMaxInfo(TMinMaxInfo& Info);
    // Gives the window (and so the window manager, which sizes it by the
    // keyboard, a tiling or a request of its own) the least size of
    // GetMinMaxInfo, which it returns. Called when shown and by
    // ApplyMinMaxInfo; a window whose contents change what they need calls
    // it again.
    TMinMaxInfo UpdateMinimumSize();

    // Fired when rolling up, with the window's new bounds.
    TRollUpEvent OnRollUp;

protected:
    bool event(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    enum class TTracking { None, Moving, Sizing, CloseButton };

    QSize ButtonSize() const;
    bool Sizeable() const;
    int32_t SizingEdgeAt(const QPoint& P) const;
    void ToggleRoll();
    // Shown again once it and its owner are on the screen.
    void ShowAgainAboveOwnerOnScreen();
    void LayoutClient();
    void PaintRollButton(QPainter& P, const QRect& R) const;

    TFormBorderStyle FBorderStyle;
    QWidget* FClient;
    bool FRolledUp = false;
    bool FRolling = false;
    // Shown while its owner was hidden: shown again after the owner, once
    // both are on the screen.
    enum class TReshow { None, AfterOwnerShown, AfterExposed };
    TReshow FReshow = TReshow::None;
    QSize FUnrolledSize;

    TTracking FTracking = TTracking::None;
    TSnapTargets FTargets;
    QPoint FLastMouse;
    // Moving: where the window would be without snapping, and where it is.
    QPoint FUnsnappedPos;
    QPoint FAppliedPos;
    // Sizing: the edge, and the bounds and mouse point at the start.
    int32_t FSizingEdge = 0;
    QRect FSizeStartRect;
    QPoint FSizeStartMouse;
};

// Fits Rect's size into Form's track limits, its left and top kept; the
// second form fits the window's own bounds.
void ApplyMinMaxInfo(TfrmRollup* Form, QRect& Rect);
void ApplyMinMaxInfo(TfrmRollup* Form);

// Keeps a roll-up window's placement with its rolled-up state (its placement
// text, as GetPositionString); for any other owner it behaves as
// TRestorePos.
class TRestorePosRollUp : public TRestorePos {
public:
    explicit TRestorePosRollUp(QWidget* Owner);

    void Restore() override;
    void Save() override;

private:
    friend class TfrmRollup;
    // The roll-up form is being destroyed and can still tell its placement.
    void RollupDestroying();

    TfrmRollup* FRollup = nullptr;
    bool FRollupGone = false;
};
