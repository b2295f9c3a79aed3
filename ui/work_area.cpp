#include "ui/work_area.h"

#include "platform/qt/window_routines.h"

#include <QWidget>

#include <algorithm>

TRect FitBoundsInArea(const TRect& Area, int32_t Left, int32_t Top, int32_t Width, int32_t Height)
{
    // The sides as 64-bit values: Right - Left of a stored rectangle may not
    // fit in 32 bits.
    const int64_t AreaW = std::max<int64_t>(int64_t(Area.Right) - Area.Left, 0);
    const int64_t AreaH = std::max<int64_t>(int64_t(Area.Bottom) - Area.Top, 0);
    const auto W = static_cast<int32_t>(std::clamp<int64_t>(Width, 0, AreaW));
    const auto H = static_cast<int32_t>(std::clamp<int64_t>(Height, 0, AreaH));
    KeepPosInArea(Area, Left, Top, W, H);
    return TRect{Left, Top, Left + W, Top + H};
}

void SetBoundsInWorkArea(QWidget* Control, int32_t Left, int32_t Top, int32_t Width, int32_t Height)
{
    if (!Control)
        return;
    if (TRect Area; GetWorkAreaRect(Area)) {
        const TRect R = FitBoundsInArea(Area, Left, Top, Width, Height);
        Left = R.Left;
        Top = R.Top;
        Width = R.Right - R.Left;
        Height = R.Bottom - R.Top;
    }
    SetWindowBounds(Control, Left, Top, Width, Height);
}
