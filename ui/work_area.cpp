#include "ui/work_area.h"

#include "platform/qt/window_routines.h"

#include <QGuiApplication>
#include <QScreen>
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

bool ReadStoredPlace(const std::string& Text, int64_t& Left, int64_t& Top)
{
    int64_t V[2] = {0, 0};
    size_t Start = 0;
    for (int I = 0; I < 2; ++I) {
        if (Start > Text.size())
            return false;
        const size_t Comma = std::min(Text.find(',', Start), Text.size());
        size_t B = Start, E = Comma;
        while (B < E && (Text[B] == ' ' || Text[B] == '\t'))
            ++B;
        while (E > B && (Text[E - 1] == ' ' || Text[E - 1] == '\t'))
            --E;
        size_t P = B;
        bool Minus = false;
        if (P < E && (Text[P] == '-' || Text[P] == '+')) {
            Minus = Text[P] == '-';
            ++P;
        }
        if (P == E || E - P > 18)
            return false;
        int64_t N = 0;
        for (; P < E; ++P) {
            if (Text[P] < '0' || Text[P] > '9')
                return false;
            N = N * 10 + (Text[P] - '0');
        }
        V[I] = Minus ? -N : N;
        Start = Comma + 1;
    }
    Left = V[0];
    Top = V[1];
    return true;
}

std::string StoredPlaceText(const QWidget* Window)
{
    // QWidget::pos is the frame's place for a window, as placing takes it.
    return std::to_string(Window->x()) + "," + std::to_string(Window->y());
}

void PlaceWindowStoredOrCentred(QWidget* Window, const QWidget* Owner, const std::string& Text)
{
    if (!Window)
        return;
    Window->adjustSize();
    const QSize Size = Window->size();
    int64_t X = 0, Y = 0;
    if (!ReadStoredPlace(Text, X, Y)) {
        QRect Over;
        if (Owner && Owner->window()->isVisible())
            Over = Owner->window()->frameGeometry();
        else if (const QScreen* S = QGuiApplication::primaryScreen())
            Over = S->availableGeometry();
        const QPoint At = Over.center() - QPoint(Size.width() / 2, Size.height() / 2);
        X = At.x();
        Y = At.y();
    }
    SetBoundsInWorkArea(Window, X, Y, Size.width(), Size.height());
}
