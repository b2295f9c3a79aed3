// Placing a control or window by a rectangle that is kept reachable in the
// desktop work area.
#pragma once

#include "foundation/geometry_types.h"

#include <cstdint>
#include <string>

class QWidget;

// A rectangle (left, top, width, height; Right and Bottom of the result
// exclusive) made usable in Area: a side larger than the area's becomes the
// area's, a negative one 0, and the position is then kept reachable
// (KeepPosInArea: 16 pixels inside across, the top edge inside). The values
// are 64-bit so that stored numbers of any size, with an origin added or a
// side taken as right - left, arrive unharmed.
TRect FitBoundsInArea(const TRect& Area, int64_t Left, int64_t Top, int64_t Width, int64_t Height);

// Fits the rectangle in the work area (FitBoundsInArea) and gives it to the
// control (SetWindowBounds: for a window, its frame's position and its
// client size). Without a screen the rectangle is applied as it is, within
// 32 bits. A null control is ignored.
void SetBoundsInWorkArea(QWidget* Control, int64_t Left, int64_t Top, int64_t Width, int64_t Height);

// A stored window place "left,top" (the frame's top-left; blanks around the
// numbers allowed, more fields ignored): true with both numbers, in 64 bits
// so that any stored value arrives to be fitted; false for anything else.
bool ReadStoredPlace(const std::string& Text, int64_t& Left, int64_t& Top);

// The stored place of a window as written: its frame's top-left "left,top".
std::string StoredPlaceText(const QWidget* Window);

// Places Window, at the size its contents ask for, by the stored place Text
// (ReadStoredPlace) kept in the work area, or, without a readable one,
// centred over Owner's window when that is shown, else over the work area.
// Call it before the window is first shown: the frame is placed then, and a
// window not yet mapped cannot be told apart from its frame afterwards.
void PlaceWindowStoredOrCentred(QWidget* Window, const QWidget* Owner, const std::string& Text);
