#include "ui/work_area.h"

#include "platform/qt/window_routines.h"

#include <QWidget>

#include <algorithm>
#include <limits>

namespace {

int32_t ToInt32(int64_t V)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

TRect FitBoundsInArea(const TRect& Area, int64_t Left, int64_t Top, int64_t Width, int64_t Height)
{
    const int64_t AreaW = std::max<int64_t>(int64_t(Area.Right) - Area.Left, 0);
    const int64_t AreaH = std::max<int64_t>(int64_t(Area.Bottom) - Area.Top, 0);
    const auto W = static_cast<int32_t>(std::clamp<int64_t>(Width, 0, AreaW));
    const auto H = static_cast<int32_t>(std::clamp<int64_t>(Height, 0, AreaH));
    // Far outside the area is as good as just outside: within 32 bits the
    // reach rules decide.
    int32_t X = ToInt32(Left);
    int32_t Y = ToInt32(Top);
    KeepPosInArea(Area, X, Y, W, H);
    return TRect{X, Y, X + W, Y + H};
}

void SetBoundsInWorkArea(QWidget* Control, int64_t Left, int64_t Top, int64_t Width, int64_t Height)
{
    if (!Control)
        return;
    TRect R{ToInt32(Left), ToInt32(Top), 0, 0};
    int32_t W = ToInt32(Width), H = ToInt32(Height);
    if (TRect Area; GetWorkAreaRect(Area)) {
        R = FitBoundsInArea(Area, Left, Top, Width, Height);
        W = R.Right - R.Left;
        H = R.Bottom - R.Top;
    }
    SetWindowBounds(Control, R.Left, R.Top, W, H);
}
