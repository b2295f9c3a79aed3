#include "ui/work_area.h"

#include "platform/qt/window_routines.h"

#include <QWidget>

void SetBoundsInWorkArea(QWidget* Control, int32_t Left, int32_t Top, int32_t Width, int32_t Height)
{
    if (!Control)
        return;
    KeepPosInWorkArea(Left, Top, Width, Height);
    Control->setGeometry(Left, Top, Width, Height);
}
