// The mouse side of tool windows: what the frame answers, dragging between
// docks and the floating state, sizing a floating window by its edges and
// the close button. Each runs while the window holds the mouse (and the
// keyboard, for Escape and Ctrl); the handlers below are its loop.
#include "ui/tool_window_drag97.h"

#include "ui/tool_window97.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

// ---------------------------------------------------------------------------
// TDragOutline97

TDragOutline97::TDragOutline97()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName("DragOutline97");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void TDragOutline97::SetOutline(const QRect& Rect, int32_t Thickness)
{
    FRect = Rect;
    FThickness = Thickness;
    if (Rect.isEmpty()) {
        hide();
        return;
    }
    setGeometry(Rect);
    const QRect Inner = QRect(QPoint(0, 0), Rect.size()).adjusted(Thickness, Thickness, -Thickness, -Thickness);
    QRegion Frame(0, 0, Rect.width(), Rect.height());
    if (Inner.isValid())
        Frame -= QRegion(Inner);
    setMask(Frame);
    show();
    // Above the floating tool windows too, which the window manager stacks.
    raise();
    update();
}

void TDragOutline97::paintEvent(QPaintEvent*)
{
    static const QImage Pattern = [] {
        QImage I(8, 8, QImage::Format_RGB32);
        for (int32_t Y = 0; Y < 8; ++Y)
            for (int32_t X = 0; X < 8; ++X)
                I.setPixel(X, Y, PatternDark(X, Y) ? qRgb(0, 0, 0) : qRgb(0xFF, 0xFF, 0xFF));
        return I;
    }();
    QPainter P(this);
    QBrush B(Pattern);
    // Anchored to the screen: the pattern keeps its place as the outline moves.
    B.setTransform(QTransform::fromTranslate(-(FRect.x() & 7), -(FRect.y() & 7)));
    P.fillRect(rect(), B);
}

// ---------------------------------------------------------------------------
// Hit testing

TToolWindowHit TCustomToolWindow97::HitTest(const QPoint& P) const
{
    if (!rect().contains(P))
        return htNowhere;
    if (FDocked) {
        if (CloseButtonRect().contains(P))
            return htClose;
        return htClient;
    }
    if (ClientRect().contains(P))
        return htClient;
    if (CloseButtonRect().contains(P))
        return htClose;
    if (CaptionRect().contains(P))
        return htClient;
    if (!FResizable)
        return htNowhere;
    const int32_t B = FloatingFrameMargins().left();
    const int32_t W = width(), H = height();
    const bool L = P.x() < B, R = P.x() >= W - B, T = P.y() < B, Bt = P.y() >= H - B;
    if (!L && !R && !T && !Bt)
        return htClient;
    TToolWindowOptions Options = const_cast<TCustomToolWindow97*>(this)->GetOptions();
    if (Options.ResizeEightCorner) {
        const int32_t C = kSmallCaption97 - 1 + B;
        const bool NearLeft = P.x() < C, NearRight = P.x() >= W - C, NearTop = P.y() < C, NearBottom = P.y() >= H - C;
        if ((L || T) && NearLeft && NearTop)
            return htTopLeft;
        if ((R || T) && NearRight && NearTop)
            return htTopRight;
        if ((L || Bt) && NearLeft && NearBottom)
            return htBottomLeft;
        if ((R || Bt) && NearRight && NearBottom)
            return htBottomRight;
    }
    if (L)
        return htLeft;
    if (R)
        return htRight;
    if (T)
        return htTop;
    return htBottom;
}

// ---------------------------------------------------------------------------
// Mouse handlers

void TCustomToolWindow97::ClientMouse(QMouseEvent* Event)
{
    const QPointF Local = Event->position() + QPointF(FClient->pos());
    QMouseEvent E(Event->type(), Local, Event->globalPosition(), Event->button(), Event->buttons(),
                  Event->modifiers());
    switch (Event->type()) {
    case QEvent::MouseButtonPress:
        mousePressEvent(&E);
        break;
    case QEvent::MouseButtonDblClick:
        mouseDoubleClickEvent(&E);
        break;
    case QEvent::MouseMove:
        mouseMoveEvent(&E);
        break;
    case QEvent::MouseButtonRelease:
        mouseReleaseEvent(&E);
        break;
    default:
        break;
    }
    Event->setAccepted(E.isAccepted());
}

namespace {

// A press a control let through (it ignored it) is still the control's.
bool OnControl(const QWidget* Client, const QPoint& InWindow)
{
    const QWidget* C = Client->childAt(InWindow - Client->pos());
    return C && !C->testAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace

void TCustomToolWindow97::mousePressEvent(QMouseEvent* Event)
{
    if (FTrack != TTrack::None) {
        // A second press ends moving and sizing without taking them;
        // other buttons are ignored.
        if (Event->button() == Qt::LeftButton)
            EndTracking(false);
        return;
    }
    if (Event->button() != Qt::LeftButton || OnControl(FClient, Event->position().toPoint())) {
        Event->ignore();
        return;
    }
    const QPoint Global = Event->globalPosition().toPoint();
    switch (const TToolWindowHit Hit = HitTest(Event->position().toPoint())) {
    case htClose:
        FCloseButtonDown = true;
        FTrack = TTrack::Close;
        grabMouse();
        update(CloseButtonRect());
        break;
    case htClient:
        ToolWindowMouseDown(Global, false, Event->modifiers());
        break;
    case htNowhere:
        break;
    default:
        if (Floating())
            BeginSizing(Hit, Global);
        break;
    }
}

void TCustomToolWindow97::mouseDoubleClickEvent(QMouseEvent* Event)
{
    if (FTrack != TTrack::None) {
        EndTracking(false);
        return;
    }
    if (Event->button() != Qt::LeftButton || OnControl(FClient, Event->position().toPoint())) {
        Event->ignore();
        return;
    }
    if (HitTest(Event->position().toPoint()) == htClient)
        ToolWindowMouseDown(Event->globalPosition().toPoint(), true, Event->modifiers());
}

void TCustomToolWindow97::mouseMoveEvent(QMouseEvent* Event)
{
    const QPoint Global = Event->globalPosition().toPoint();
    switch (FTrack) {
    case TTrack::Moving:
        ReEvaluate(Global);
        break;
    case TTrack::Sizing:
        SizingMove(Global);
        break;
    case TTrack::Close: {
        const bool Down = CloseButtonRect().contains(mapFromGlobal(Global));
        if (Down != FCloseButtonDown) {
            FCloseButtonDown = Down;
            update(CloseButtonRect());
        }
        break;
    }
    case TTrack::None:
        QWidget::mouseMoveEvent(Event);
        break;
    }
}

void TCustomToolWindow97::mouseReleaseEvent(QMouseEvent* Event)
{
    if (FTrack == TTrack::None || Event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(Event);
        return;
    }
    if (FTrack == TTrack::Close) {
        const bool Accept = FCloseButtonDown && CloseButtonRect().contains(Event->position().toPoint());
        EndTracking(false);
        if (Accept)
            CloseButtonClicked();
        return;
    }
    EndTracking(true);
}

void TCustomToolWindow97::keyPressEvent(QKeyEvent* Event)
{
    if (FTrack == TTrack::None) {
        // Escape in a floating window hands the keyboard back to its form.
        if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier && Floating()) {
            QWidget* Form = GetToolWindowParentForm();
            Form->activateWindow();
            Form->setFocus(Qt::OtherFocusReason);
            return;
        }
        QWidget::keyPressEvent(Event);
        return;
    }
    if (FTrack == TTrack::Close)
        return;
    if (Event->key() == Qt::Key_Escape) {
        EndTracking(false);
    } else if (Event->key() == Qt::Key_Control && FTrack == TTrack::Moving && !Event->isAutoRepeat()) {
        FPreventDocking = true;
        ReEvaluate(FLastCursor);
    }
}

void TCustomToolWindow97::keyReleaseEvent(QKeyEvent* Event)
{
    if (FTrack == TTrack::None) {
        QWidget::keyReleaseEvent(Event);
        return;
    }
    if (Event->key() == Qt::Key_Control && FTrack == TTrack::Moving && !Event->isAutoRepeat()) {
        FPreventDocking = false;
        ReEvaluate(FLastCursor);
    }
}

void TCustomToolWindow97::ToolWindowMouseDown(const QPoint& Global, bool DoubleClick, Qt::KeyboardModifiers Modifiers)
{
    TDock97* D = CurrentDock();
    if (!Floating() && !(D && D->AllowDrag()))
        return;
    if (Floating() && FActivateParent && FFloatingMode == fmOnTopOfParentForm)
        if (QWidget* Form = GetToolWindowParentForm())
            Form->window()->activateWindow();
    if (DoubleClick) {
        if (D) {
            if (FDockMode == dmCanFloat) {
                SetDockedTo(nullptr);
                MoveOnScreen(true);
            }
        } else if (TDock97* Last = FLastDock.data()) {
            SetDockedTo(Last);
        } else if (TDock97* Default = FDefaultDock.data()) {
            FDockRow = 0;
            FDockPos = -8;
            SetDockedTo(Default);
        }
        return;
    }
    BeginMoving(Global, Modifiers);
}

// ---------------------------------------------------------------------------
// Moving

namespace {

// The docks of Parent's tree a dragged window may enter, top docks first,
// then bottom, left and right, then those of the other controls in turn.
void CollectDocks(QWidget* Parent, const QWidget* Skip, std::vector<TDock97*>& Docks)
{
    std::vector<QWidget*> Children;
    for (QObject* C : Parent->children())
        if (C->isWidgetType())
            Children.push_back(static_cast<QWidget*>(C));
    for (int32_t Pos = dpTop; Pos <= dpRight; ++Pos)
        for (QWidget* W : Children)
            if (auto* D = qobject_cast<TDock97*>(W); D && D->Position() == Pos && !D->isHidden())
                Docks.push_back(D);
    for (QWidget* W : Children)
        if (W != Skip && !qobject_cast<TDock97*>(W) && !W->isHidden() && !W->isWindow())
            CollectDocks(W, Skip, Docks);
}

QRect ScreenRect(const QWidget* W)
{
    return QRect(W->mapToGlobal(QPoint(0, 0)), W->size());
}

} // namespace

void TCustomToolWindow97::BeginMoving(const QPoint& Global, Qt::KeyboardModifiers Modifiers)
{
    const QRect Outer = ScreenRect(this);
    FGrab = Global - Outer.topLeft();
    FStartSize = Outer.size();
    FPreventDocking = (Modifiers & Qt::ControlModifier) != 0;
    FPreventFloating = FDockMode != dmCanFloat;

    FCandidates.clear();
    std::vector<TDock97*> Docks;
    if (FDockMode == dmCannotFloatOrChangeDocks) {
        if (TDock97* D = CurrentDock())
            Docks.push_back(D);
    } else if (QWidget* Form = GetToolWindowParentForm()) {
        CollectDocks(Form, this, Docks);
    }
    const QSize CurrentClient = ClientRect().size();
    for (TDock97* D : Docks) {
        if (!D->AllowDrag() || !(FDockableTo & (1u << D->Position())))
            continue;
        const QMargins M = DockedFrameMargins(D);
        QSize C = D == CurrentDock() ? CurrentClient : ComputeLayout(false, FLastOrientation, D);
        FCandidates.push_back({D, QSize(C.width() + M.left() + M.right(), C.height() + M.top() + M.bottom())});
    }
    const QMargins F = FloatingFrameMargins();
    const QSize C = ComputeLayout(false, FLastOrientation, nullptr);
    FFloatSize = QSize(C.width() + F.left() + F.right(), C.height() + F.top() + F.bottom());

    if (!FOutlineWidget)
        FOutlineWidget = std::make_unique<TDragOutline97>();
    FTrack = TTrack::Moving;
    grabMouse();
    grabKeyboard();
    ReEvaluate(Global);
}

void TCustomToolWindow97::ReEvaluate(const QPoint& CursorIn)
{
    QPoint Cursor = CursorIn;
    FLastCursor = Cursor;
    FTarget = nullptr;
    const auto Place = [&](const QSize& S) {
        return QRect(Cursor.x() - MulDiv97(S.width() - 1, FGrab.x(), FStartSize.width() - 1),
                     Cursor.y() - MulDiv97(S.height() - 1, FGrab.y(), FStartSize.height() - 1), S.width(),
                     S.height());
    };
    QSize Size = FFloatSize;
    if (!FPreventDocking)
        for (const TCandidate& C : FCandidates) {
            TDock97* D = C.Dock.data();
            if (!D)
                continue;
            const bool Vertical = DockOrientationOf(D) == 2;
            QRect R = ScreenRect(D);
            if (Vertical && R.width() == 0)
                R.adjust(-1, 0, 1, 0);
            else if (!Vertical && R.height() == 0)
                R.adjust(0, -1, 0, 1);
            if (!Place(C.Size).intersects(R))
                continue;
            const int32_t MX = MulDiv97(32, FGrab.x(), FStartSize.width() - 1);
            if (Cursor.x() < R.left() - (32 - MX) || Cursor.x() > R.right() + MX)
                continue;
            if (Vertical && (Cursor.y() < R.top() || Cursor.y() > R.bottom()))
                continue;
            const int32_t MY = MulDiv97(20, FGrab.y(), FStartSize.height() - 1);
            if (Cursor.y() < R.top() - (20 - MY) || Cursor.y() > R.bottom() + MY)
                continue;
            bool Accept = true;
            if (D->OnRequestDock)
                D->OnRequestDock(D, this, Accept);
            if (!Accept)
                continue;
            FTarget = D;
            Size = C.Size;
            break;
        }
    const QRect WA = WorkAreaAt(Cursor);
    if (!FTarget) {
        Cursor.setX(std::clamp(Cursor.x(), WA.left(), WA.right()));
        Cursor.setY(std::clamp(Cursor.y(), WA.top(), WA.bottom()));
    }
    QRect R = Place(Size);
    if (!FTarget) {
        const QMargins F = FloatingFrameMargins();
        const int32_t Keep = F.left() + 4;
        const QRect S = WA.adjusted(Keep, Keep, -Keep, -Keep);
        if (R.right() < S.left())
            R.moveRight(S.left());
        if (R.left() > S.right())
            R.moveLeft(S.right());
        if (R.bottom() < S.top())
            R.moveBottom(S.top());
        if (R.top() > S.bottom())
            R.moveTop(S.bottom());
        if (R.top() < WA.top() + 4 - F.top())
            R.moveTop(WA.top() + 4 - F.top());
    }
    if (!FTarget && FPreventFloating) {
        R = QRect();
        setCursor(Qt::ForbiddenCursor);
    } else {
        unsetCursor();
    }
    ShowOutline(R, FTarget ? 1 : FloatingFrameMargins().left());
}

void TCustomToolWindow97::ShowOutline(const QRect& R, int32_t Thickness)
{
    FOutline = R;
    FOutlineThickness = R.isEmpty() ? 0 : Thickness;
    if (!FOutlineWidget)
        FOutlineWidget = std::make_unique<TDragOutline97>();
    FOutlineWidget->SetOutline(R, Thickness);
}

void TCustomToolWindow97::EndTracking(bool Accept)
{
    const TTrack Was = FTrack;
    FTrack = TTrack::None;
    releaseMouse();
    releaseKeyboard();
    unsetCursor();
    if (FOutlineWidget)
        FOutlineWidget->SetOutline(QRect(), 0);
    if (Was == TTrack::Close) {
        FCloseButtonDown = false;
        update(CloseButtonRect());
        return;
    }
    if (Was == TTrack::Sizing) {
        SizingEnded(Accept);
        if (Accept) {
            BeginUpdate();
            const QMargins F = FrameMargins();
            FClientAreaSize = FSizingRect.size().shrunkBy(F);
            FFloatingTopLeft = FSizingRect.topLeft();
            FLayoutPending = true;
            SetBoundsInternal(FSizingRect);
            EndUpdate();
            MoveOnScreen(true);
        }
        FOutline = QRect();
        return;
    }
    if (Was == TTrack::Moving && Accept && !FOutline.isEmpty())
        DropMoving();
    FOutline = QRect();
    FTarget = nullptr;
}

void TCustomToolWindow97::DropMoving()
{
    if (TDock97* D = FTarget.data()) {
        const bool Vertical = DockOrientationOf(D) == 2;
        const QPoint Local = FOutline.topLeft() - D->mapToGlobal(D->ClientRect().topLeft());
        const int32_t Across = Vertical ? Local.x() + FOutline.width() / 2 : Local.y() + FOutline.height() / 2;
        D->BeginUpdate();
        bool Before = false;
        int32_t Row = D->FindRowAt(Across, Before);
        if (Before) {
            D->OpenRowBefore(Row);
        } else if (FFullSize && D->CountOnRow(Row, this) > 0) {
            ++Row;
            D->OpenRowBefore(Row);
        }
        FDockRow = Row;
        FDockPos = Vertical ? Local.y() : Local.x();
        SetDockedTo(D);
        D->LayOutRows(true);
        D->EndUpdate();
    } else {
        FFloatingTopLeft = FOutline.topLeft();
        if (Floating())
            SetBoundsInternal(QRect(FFloatingTopLeft, size()));
        else
            SetDockedTo(nullptr);
    }
    MoveOnScreen(true);
}

// ---------------------------------------------------------------------------
// Sizing

void TCustomToolWindow97::BeginSizing(TToolWindowHit Hit, const QPoint& Global)
{
    if (!Floating())
        return;
    int32_t MW = 0, MH = 0;
    GetMinimumSize(MW, MH);
    const QMargins F = FloatingFrameMargins();
    FSizingMin = QSize(MW + F.left() + F.right(), MH + F.top() + F.bottom());
    FSizingHit = Hit;
    FSizingOrig = ScreenRect(this);
    FSizingRect = FSizingOrig;
    FSizingStart = Global;
    SizingStarted(Hit);
    FTrack = TTrack::Sizing;
    grabMouse();
    grabKeyboard();
    ShowOutline(FSizingRect, F.left());
}

void TCustomToolWindow97::SizingMove(const QPoint& CursorIn)
{
    QPoint Cursor = CursorIn;
    if (GetOptions().ResizeClipCursor) {
        const QRect WA = WorkAreaAt(FSizingStart);
        Cursor.setX(std::clamp(Cursor.x(), WA.left(), WA.right()));
        Cursor.setY(std::clamp(Cursor.y(), WA.top(), WA.bottom()));
    }
    const QPoint D = Cursor - FSizingStart;
    const TToolWindowHit H = FSizingHit;
    const bool L = H == htLeft || H == htTopLeft || H == htBottomLeft;
    const bool R = H == htRight || H == htTopRight || H == htBottomRight;
    const bool T = H == htTop || H == htTopLeft || H == htTopRight;
    const bool B = H == htBottom || H == htBottomLeft || H == htBottomRight;
    QRect N = FSizingOrig;
    if (L) {
        N.setLeft(FSizingOrig.left() + D.x());
        if (N.width() < FSizingMin.width())
            N.setLeft(N.right() + 1 - FSizingMin.width());
    }
    if (R) {
        N.setRight(FSizingOrig.right() + D.x());
        if (N.width() < FSizingMin.width())
            N.setRight(N.left() - 1 + FSizingMin.width());
    }
    if (T) {
        N.setTop(FSizingOrig.top() + D.y());
        if (N.height() < FSizingMin.height())
            N.setTop(N.bottom() + 1 - FSizingMin.height());
    }
    if (B) {
        N.setBottom(FSizingOrig.bottom() + D.y());
        if (N.height() < FSizingMin.height())
            N.setBottom(N.top() - 1 + FSizingMin.height());
    }
    SizingTrack(N, FSizingOrig);
    FSizingRect = N;
    ShowOutline(N, FloatingFrameMargins().left());
}

// ---------------------------------------------------------------------------
// Close button

void TCustomToolWindow97::CloseButtonClicked()
{
    bool CanClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, CanClose);
    if (!CanClose)
        return;
    setVisible(false);
    if (OnClose)
        OnClose(this);
}
