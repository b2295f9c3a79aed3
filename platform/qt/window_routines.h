// Window and screen routines on Qt: the desktop work area (the primary
// screen's available geometry), keeping a window reachable inside it,
// centring one window over another, the palette-device test and the
// two-pixel 3-D frame of panel buttons, roll buttons and the preview pane.
#pragma once

#include "foundation/geometry_types.h"

#include <cstdint>

class QMargins;
class QPainter;
class QWidget;

// The work area of the primary screen (Right and Bottom exclusive); the
// whole screen when the available part is empty; false (R untouched) when
// there is no screen.
bool GetWorkAreaRect(TRect& R);

// Moves (X, Y), the top-left corner of a W x H window's frame, so that the
// window stays reachable in Area (Right and Bottom exclusive): at least 16
// pixels of it inside horizontally, and its top edge, where the title bar
// is, inside vertically (not above the top, at least 16 pixels above the
// bottom). A negative size counts as 0. Worked in 64 bits: any values,
// stored ones included, give a position inside Area's reach.
void KeepPosInArea(const TRect& Area, int32_t& X, int32_t& Y, int32_t W, int32_t H);

// KeepPosInArea in the work area. Without a screen nothing changes.
void KeepPosInWorkArea(int32_t& X, int32_t& Y, int32_t W, int32_t H);

// Places a control by a rectangle; for a top-level window the position is
// that of its frame (title bar and border included, as a window manager
// places it) and the size that of its client area. It supersedes a pending
// SetWindowFrameBounds placement of the same window.
void SetWindowBounds(QWidget* Control, int32_t Left, int32_t Top, int32_t Width, int32_t Height);

// The client rectangle of a top-level window whose whole window, frame
// included, covers Frame (Right and Bottom exclusive) when the window
// manager's frame is Margins thick on each side. No side shrinks below 0.
TRect ClientRectInFrame(const TRect& Frame, const QMargins& Margins);

// Places a top-level window by its whole-window bounds: the frame's top-left
// at (Left, Top) and the frame's outer size Width x Height. The frame's
// thickness is known only once the window manager has framed the shown
// window; until then the client gets the whole size and the placement is
// redone once, when the frame is first known, unless the window was placed
// or resized otherwise in between. A child control is placed by its own
// rectangle, as SetWindowBounds does.
void SetWindowFrameBounds(QWidget* Control, int32_t Left, int32_t Top, int32_t Width, int32_t Height);

// Centres window A (its frame) over window B (its frame; a control inside a
// window: its rectangle on the screen), then pulls it left/up until
// its right/bottom edge is inside the work area and pushes it right/down
// until its left/top edge, and so its title bar, is. Only A's position
// changes.
void CenterWindowInWorkArea(QWidget* A, const QWidget* B);

// True for an indexed-colour screen of at most 8 bits per pixel. Qt 6 drives
// only true-colour screens, so the screen depth is the one sign there is and
// in practice the answer is false. Never raises.
bool IsPaletteDevice();

// Two one-pixel frames around R (Right and Bottom exclusive): raised gives
// white outside and silver inside on the top and left, black outside and
// grey inside on the bottom and right; sunken swaps the two sides. Each
// stroke leaves out its end pixel as a line to a point does, so the outer
// top-right and inner top-right corners stay untouched. Unless FillColor is
// -1 the inside (R inset by 2) is filled with FillColor (0x00BBGGRR). The
// painter's state is restored.
void DrawBevelFrame(QPainter& DC, const TRect& R, bool Raised, int32_t FillColor);
