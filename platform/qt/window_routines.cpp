#include "platform/qt/window_routines.h"

#include <QColor>
#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <limits>

namespace {

QColor ColorRefToQColor(uint32_t C)
{
    return QColor(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF);
}

// A line from (X1, Y1) to (X2, Y2), horizontal or vertical, without its end
// pixel.
void LineTo(QPainter& DC, const QColor& C, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2)
{
    if (Y1 == Y2) {
        if (X2 > X1)
            DC.fillRect(X1, Y1, X2 - X1, 1, C);
        else if (X2 < X1)
            DC.fillRect(X2 + 1, Y1, X1 - X2, 1, C);
    } else if (Y2 > Y1) {
        DC.fillRect(X1, Y1, 1, Y2 - Y1, C);
    } else {
        DC.fillRect(X1, Y2 + 1, 1, Y1 - Y2, C);
    }
}

// The window manager's frame around a top-level window; null while the
// window is not framed (not shown yet, or not reparented yet).
QMargins FrameMarginsOf(const QWidget* Control)
{
    const QWindow* Window = Control->windowHandle();
    return Window && Control->isVisible() ? Window->frameMargins() : QMargins();
}

void PlaceFrameWithin(QWidget* Control, const TRect& Frame, const QMargins& Margins)
{
    const TRect C = ClientRectInFrame(Frame, Margins);
    // QWidget::move places the frame; the client size is what is left.
    Control->move(Frame.Left, Frame.Top);
    Control->resize(C.Right - C.Left, C.Bottom - C.Top);
}

// Redoes a whole-window placement once the window manager has framed the
// window. It watches the window from its first show for a short while: on
// X11 the frame is added after the window is mapped, and Qt learns its
// extents only then. A window resized by anyone else meanwhile is left as it
// is.
class TFramePlacementKeeper : public QObject {
public:
    static constexpr const char* Name = "tavro_frame_placement_keeper";

    TFramePlacementKeeper(QWidget* Control, const TRect& Frame) :
        QObject(Control), FControl(Control), FFrame(Frame), FClientSize(Control->size())
    {
        setObjectName(Name);
        FTimer.setInterval(20);
        connect(&FTimer, &QTimer::timeout, this, [this] { Check(); });
        Control->installEventFilter(this);
        if (Control->isVisible())
            FTimer.start();
    }

    static void Cancel(QWidget* Control)
    {
        const auto Keepers = Control->findChildren<TFramePlacementKeeper*>(Name, Qt::FindDirectChildrenOnly);
        for (TFramePlacementKeeper* K : Keepers) {
            Control->removeEventFilter(K);
            K->FTimer.stop();
            K->deleteLater();
        }
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Watched == FControl && Event->type() == QEvent::Show && !FTimer.isActive())
            FTimer.start();
        return false;
    }

private:
    void Check()
    {
        // About two seconds: a window manager that adds no frame by then
        // adds none.
        if (++FTicks > 100) {
            Cancel(FControl);
            return;
        }
        const QMargins M = FrameMarginsOf(FControl);
        if (M.isNull())
            return;
        if (FControl->size() == FClientSize)
            PlaceFrameWithin(FControl, FFrame, M);
        Cancel(FControl);
    }

    QWidget* FControl;
    TRect FFrame;
    QSize FClientSize;
    QTimer FTimer;
    int32_t FTicks = 0;
};

} // namespace

// A 64-bit coordinate brought into int32 range.
static int32_t ClampInt32(int64_t V)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

TRect ClientRectInFrame(const TRect& Frame, const QMargins& Margins)
{
    const int64_t L = int64_t(Frame.Left) + Margins.left();
    const int64_t T = int64_t(Frame.Top) + Margins.top();
    const int64_t R = std::max<int64_t>(L, int64_t(Frame.Right) - Margins.right());
    const int64_t B = std::max<int64_t>(T, int64_t(Frame.Bottom) - Margins.bottom());
    return TRect{ClampInt32(L), ClampInt32(T), ClampInt32(R), ClampInt32(B)};
}

void SetWindowFrameBounds(QWidget* Control, int32_t Left, int32_t Top, int32_t Width, int32_t Height)
{
    if (!Control)
        return;
    if (!Control->isWindow()) {
        Control->setGeometry(Left, Top, Width, Height);
        return;
    }
    TFramePlacementKeeper::Cancel(Control);
    const TRect Frame{Left, Top, int32_t(Left + int64_t(std::max(Width, 0))),
                      int32_t(Top + int64_t(std::max(Height, 0)))};
    const QMargins M = FrameMarginsOf(Control);
    PlaceFrameWithin(Control, Frame, M);
    if (M.isNull())
        new TFramePlacementKeeper(Control, Frame);
}

bool GetWorkAreaRect(TRect& R)
{
    const QScreen* Screen = QGuiApplication::primaryScreen();
    if (!Screen)
        return false;
    QRect A = Screen->availableGeometry();
    if (A.isEmpty())
        A = Screen->geometry();
    R = TRect{A.left(), A.top(), A.left() + A.width(), A.top() + A.height()};
    return true;
}

void KeepPosInArea(const TRect& Area, int32_t& X, int32_t& Y, int32_t W, [[maybe_unused]] int32_t H)
{
    constexpr int64_t Reach = 16;
    int64_t NX = X;
    int64_t NY = Y;
    const int64_t NW = std::max<int64_t>(W, 0);
    if (NX + NW < Area.Left + Reach)
        NX = Area.Left + Reach - NW;
    if (NX > Area.Right - Reach)
        NX = int64_t(Area.Right) - Reach;
    if (NY > Area.Bottom - Reach)
        NY = int64_t(Area.Bottom) - Reach;
    // Last, so that in an area lower than the reach the top edge still wins.
    if (NY < Area.Top)
        NY = Area.Top;
    X = ClampInt32(NX);
    Y = ClampInt32(NY);
}

void KeepPosInWorkArea(int32_t& X, int32_t& Y, int32_t W, int32_t H)
{
    TRect R;
    if (GetWorkAreaRect(R))
        KeepPosInArea(R, X, Y, W, H);
}

void SetWindowBounds(QWidget* Control, int32_t Left, int32_t Top, int32_t Width, int32_t Height)
{
    if (!Control)
        return;
    if (!Control->isWindow()) {
        Control->setGeometry(Left, Top, Width, Height);
        return;
    }
    TFramePlacementKeeper::Cancel(Control);
    // QWidget::move places a window's frame (before the window exists too:
    // the window system is then asked to put the frame there), whereas
    // setGeometry would put the client area there and the title bar above.
    Control->move(Left, Top);
    Control->resize(std::max(Width, 0), std::max(Height, 0));
}

void CenterWindowInWorkArea(QWidget* A, const QWidget* B)
{
    if (!A || !B)
        return;
    const QRect FA = A->frameGeometry();
    // A control's geometry is within its parent: over it means over its
    // place on the screen.
    const QRect FB = B->isWindow() ? B->frameGeometry() : QRect(B->mapToGlobal(QPoint(0, 0)), B->size());
    int64_t X = int64_t(FB.left()) + FB.width() / 2 - FA.width() / 2;
    int64_t Y = int64_t(FB.top()) + FB.height() / 2 - FA.height() / 2;
    TRect R;
    if (GetWorkAreaRect(R)) {
        if (X + FA.width() > R.Right)
            X = int64_t(R.Right) - FA.width();
        if (Y + FA.height() > R.Bottom)
            Y = int64_t(R.Bottom) - FA.height();
        if (X < R.Left)
            X = R.Left;
        if (Y < R.Top)
            Y = R.Top;
    }
    A->move(static_cast<int>(X), static_cast<int>(Y));
}

bool IsPaletteDevice()
{
    const QScreen* Screen = QGuiApplication::primaryScreen();
    return Screen && Screen->depth() > 0 && Screen->depth() <= 8;
}

void DrawBevelFrame(QPainter& DC, const TRect& R, bool Raised, int32_t FillColor)
{
    const QColor White = ColorRefToQColor(0xFFFFFF);
    const QColor Silver = ColorRefToQColor(0xC0C0C0);
    const QColor Black = ColorRefToQColor(0x000000);
    const QColor Grey = ColorRefToQColor(0x808080);
    const QColor& OuterTopLeft = Raised ? White : Black;
    const QColor& InnerTopLeft = Raised ? Silver : Grey;
    const QColor& OuterBottomRight = Raised ? Black : White;
    const QColor& InnerBottomRight = Raised ? Grey : Silver;
    const int32_t L = R.Left, T = R.Top, Rt = R.Right, B = R.Bottom;

    DC.save();
    LineTo(DC, OuterTopLeft, L, B - 2, L, T);
    LineTo(DC, OuterTopLeft, L, T, Rt - 1, T);
    LineTo(DC, InnerTopLeft, L + 1, B - 3, L + 1, T + 1);
    LineTo(DC, InnerTopLeft, L + 1, T + 1, Rt - 2, T + 1);
    LineTo(DC, OuterBottomRight, L, B - 1, Rt - 1, B - 1);
    LineTo(DC, OuterBottomRight, Rt - 1, B - 1, Rt - 1, T);
    LineTo(DC, InnerBottomRight, L + 1, B - 2, Rt - 2, B - 2);
    LineTo(DC, InnerBottomRight, Rt - 2, B - 2, Rt - 2, T + 1);
    if (FillColor != -1 && Rt - 2 > L + 2 && B - 2 > T + 2)
        DC.fillRect(L + 2, T + 2, Rt - L - 4, B - T - 4,
                    ColorRefToQColor(static_cast<uint32_t>(FillColor)));
    DC.restore();
}
