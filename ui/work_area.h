// Placing a control or window by a rectangle that is kept reachable in the
// desktop work area.
#pragma once

#include "foundation/geometry_types.h"

#include <cstdint>

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
