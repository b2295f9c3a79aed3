// Placing a control or window by a rectangle that is kept reachable in the
// desktop work area.
#pragma once

#include <cstdint>

class QWidget;

// Moves the rectangle so that at least 16 pixels of it stay inside the work
// area (KeepPosInWorkArea) and gives it to the control (QWidget::setGeometry:
// for a window, its client rectangle). A null control is ignored.
void SetBoundsInWorkArea(QWidget* Control, int32_t Left, int32_t Top, int32_t Width, int32_t Height);
