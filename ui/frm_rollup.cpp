#include "ui/frm_rollup.h"

#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "platform/qt/window_routines.h"
#include "ui/work_area.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QVariant>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <utility>

namespace {

// The classic desktop's metrics: frame of a sizeable and of a fixed window,
// caption height (caption less its border line) and caption button sizes.
constexpr int32_t kFrameSizeable = 4;
constexpr int32_t kFrameFixed = 3;
constexpr int32_t kCaptionHeight = 18;
constexpr QSize kButtonSize(16, 14);
constexpr QSize kToolButtonSize(13, 11);
// Along an edge, this far from a corner the corner is dragged.
constexpr int32_t kCornerReach = 16;

constexpr uint32_t kButtonFace = 0xC0C0C0;

// The edges of a window rectangle, right and bottom where the next pixel
// outside begins.
struct TEdges {
    int32_t L, T, R, B;
};

TEdges Edges(const QRect& Q)
{
    return {Q.x(), Q.y(), Q.x() + Q.width(), Q.y() + Q.height()};
}

QRect FromEdges(const TEdges& E)
{
    return QRect(E.L, E.T, E.R - E.L, E.B - E.T);
}

bool Near(int32_t A, int32_t B)
{
    return std::abs(A - B) <= kSnapDistance;
}

bool OverlapVert(const TEdges& A, const TEdges& R)
{
    return A.B + kSnapDistance >= R.T && A.T - kSnapDistance <= R.B;
}

bool OverlapHorz(const TEdges& A, const TEdges& R)
{
    return A.R + kSnapDistance >= R.L && A.L - kSnapDistance <= R.R;
}

// Edges move on their own: each goes to the nearer-listed edge of R in reach.
void SnapBySizing(TEdges& A, const TEdges& R)
{
    if (OverlapVert(A, R)) {
        if (Near(A.L, R.L))
            A.L = R.L;
        else if (Near(A.L, R.R))
            A.L = R.R;
        if (Near(A.R, R.R))
            A.R = R.R;
        else if (Near(A.R, R.L))
            A.R = R.L;
    }
    if (OverlapHorz(A, R)) {
        if (Near(A.T, R.T))
            A.T = R.T;
        else if (Near(A.T, R.B))
            A.T = R.B;
        if (Near(A.B, R.B))
            A.B = R.B;
        else if (Near(A.B, R.T))
            A.B = R.T;
    }
}

// The rectangle moves whole; true when an edge pair was in reach.
bool SnapMoveHorz(TEdges& A, const TEdges& R)
{
    if (!OverlapVert(A, R))
        return false;
    int32_t Shift;
    if (Near(A.L, R.L))
        Shift = R.L - A.L;
    else if (Near(A.R, R.R))
        Shift = R.R - A.R;
    else if (Near(A.L, R.R))
        Shift = R.R - A.L;
    else if (Near(A.R, R.L))
        Shift = R.L - A.R;
    else
        return false;
    A.L += Shift;
    A.R += Shift;
    return true;
}

bool SnapMoveVert(TEdges& A, const TEdges& R)
{
    if (!OverlapHorz(A, R))
        return false;
    int32_t Shift;
    if (Near(A.T, R.T))
        Shift = R.T - A.T;
    else if (Near(A.B, R.B))
        Shift = R.B - A.B;
    else if (Near(A.T, R.B))
        Shift = R.B - A.T;
    else if (Near(A.B, R.T))
        Shift = R.T - A.B;
    else
        return false;
    A.T += Shift;
    A.B += Shift;
    return true;
}

bool DragsLeft(int32_t E)
{
    return E == WMSZ_LEFT || E == WMSZ_TOPLEFT || E == WMSZ_BOTTOMLEFT;
}
bool DragsRight(int32_t E)
{
    return E == WMSZ_RIGHT || E == WMSZ_TOPRIGHT || E == WMSZ_BOTTOMRIGHT;
}
bool DragsTop(int32_t E)
{
    return E == WMSZ_TOP || E == WMSZ_TOPLEFT || E == WMSZ_TOPRIGHT;
}
bool DragsBottom(int32_t E)
{
    return E == WMSZ_BOTTOM || E == WMSZ_BOTTOMLEFT || E == WMSZ_BOTTOMRIGHT;
}

QRect WorkAreaOrEmpty()
{
    TRect R;
    if (!GetWorkAreaRect(R))
        return QRect();
    return QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
}

std::function<void(int32_t)>& ShowHelpContextHook()
{
    static std::function<void(int32_t)> Hook;
    return Hook;
}

} // namespace

// ---------------------------------------------------------------------------
// Snapping

TSnapTargets GetSnapTargets(const QWidget* Form)
{
    TSnapTargets Targets;
    Targets.WorkArea = WorkAreaOrEmpty();
    // In the order the windows were made, so that the first window in reach
    // is the same from one run to the next.
    const QWindowList Order = QGuiApplication::topLevelWindows();
    std::vector<std::pair<qsizetype, const QWidget*>> Forms;
    for (const QWidget* W : QApplication::topLevelWidgets()) {
        const Qt::WindowType Type = W->windowType();
        if (W == Form || !W->isVisible() || W->isMinimized() || !W->windowHandle() ||
            (Type != Qt::Window && Type != Qt::Dialog && Type != Qt::Tool))
            continue;
        Forms.emplace_back(Order.indexOf(W->windowHandle()), W);
    }
    std::sort(Forms.begin(), Forms.end());
    for (const auto& [Index, W] : Forms) {
        Targets.Windows.push_back(W->frameGeometry());
        if (const auto* Mdi = W->findChild<QMdiArea*>()) {
            const QWidget* Client = Mdi->viewport();
            Targets.Windows.push_back(QRect(Client->mapToGlobal(QPoint(0, 0)), Client->size()));
        }
    }
    return Targets;
}

QRect SnapMovingRect(const QRect& Rect, const TSnapTargets& Targets)
{
    TEdges A = Edges(Rect);
    if (!SnapMoveHorz(A, Edges(Targets.WorkArea)))
        for (const QRect& W : Targets.Windows)
            if (SnapMoveHorz(A, Edges(W)))
                break;
    if (!SnapMoveVert(A, Edges(Targets.WorkArea)))
        for (const QRect& W : Targets.Windows)
            if (SnapMoveVert(A, Edges(W)))
                break;
    return FromEdges(A);
}

QRect SnapSizingRect(const QRect& Rect, int32_t SizingEdge, const TSnapTargets& Targets)
{
    TEdges Copy = Edges(Rect);
    SnapBySizing(Copy, Edges(Targets.WorkArea));
    for (const QRect& W : Targets.Windows)
        SnapBySizing(Copy, Edges(W));
    TEdges A = Edges(Rect);
    if (DragsLeft(SizingEdge))
        A.L = Copy.L;
    if (DragsRight(SizingEdge))
        A.R = Copy.R;
    if (DragsTop(SizingEdge))
        A.T = Copy.T;
    if (DragsBottom(SizingEdge))
        A.B = Copy.B;
    return FromEdges(A);
}

void SnapMovingRect(const QWidget* Form, QRect& Rect)
{
    Rect = SnapMovingRect(Rect, GetSnapTargets(Form));
}

void SnapSizingRect(const QWidget* Form, QRect& Rect, int32_t SizingEdge)
{
    Rect = SnapSizingRect(Rect, SizingEdge, GetSnapTargets(Form));
}

// ---------------------------------------------------------------------------
// Placement and help

void SetPosInWorkArea(QWidget* Control, int32_t Left, int32_t Top)
{
    if (!Control)
        return;
    const int32_t W = Control->width();
    const int32_t H = Control->height();
    if (const QRect A = WorkAreaOrEmpty(); !A.isNull()) {
        Left = std::max(std::min(Left, A.x() + A.width() - W), A.x());
        Top = std::max(std::min(Top, A.y() + A.height() - H), A.y());
    }
    Control->setGeometry(Left, Top, W, H);
}

int32_t GetMDIChildrenState(const QWidget* MDIForm)
{
    const auto* Mdi = MDIForm ? MDIForm->findChild<QMdiArea*>() : nullptr;
    const QList<QMdiSubWindow*> Children = Mdi ? Mdi->subWindowList() : QList<QMdiSubWindow*>();
    if (Children.isEmpty())
        return 0;
    for (const QMdiSubWindow* C : Children)
        if (C->isMaximized())
            return 1;
    return 2;
}

void SetShowHelpContextHook(std::function<void(int32_t HelpContext)> Hook)
{
    ShowHelpContextHook() = std::move(Hook);
}

void ShowApplicationHelp(int32_t Context)
{
    if (ShowHelpContextHook())
        ShowHelpContextHook()(Context);
}

bool HandleWMHelp(QWidget* Form, const THelpInfo& HelpInfo)
{
    if (!Form || HelpInfo.ContextType != HELPINFO_WINDOW)
        return false;
    const QPoint P = Form->mapFromGlobal(HelpInfo.MousePos);
    if (!Form->rect().contains(P))
        return false;
    QWidget* Control = Form->childAt(P);
    for (QWidget* W = Control ? Control : Form; W; W = W == Form ? nullptr : W->parentWidget()) {
        const int32_t Context = W->property("HelpContext").toInt();
        if (Context != 0) {
            ShowApplicationHelp(Context);
            return true;
        }
    }
    return false;
}

void ShowKeyHelp(QWidget* Form, int32_t Context)
{
    QPoint At = QCursor::pos();
    if (!Form->rect().contains(Form->mapFromGlobal(At)))
        if (QWidget* Focus = QApplication::focusWidget(); Focus && Form->isAncestorOf(Focus))
            At = Focus->mapToGlobal(Focus->rect().center());
    if (!HandleWMHelp(Form, THelpInfo{HELPINFO_WINDOW, At}))
        ShowApplicationHelp(Context);
}

// ---------------------------------------------------------------------------
// TfrmRollup

TfrmRollup::TfrmRollup(QWidget* Parent, TFormBorderStyle BorderStyle)
    : QWidget(Parent, Qt::Tool | Qt::FramelessWindowHint), FBorderStyle(BorderStyle), FClient(new QWidget(this))
{
    FClient->setAutoFillBackground(true);
    setMouseTracking(true);
    LayoutClient();
}

TfrmRollup::~TfrmRollup()
{
    // The placement components would otherwise only hear of the form once
    // it no longer is a roll-up window.
    for (QObject* C : children())
        if (auto* Pos = dynamic_cast<TRestorePosRollUp*>(C))
            Pos->RollupDestroying();
}

int32_t TfrmRollup::FrameSize() const
{
    switch (FBorderStyle) {
    case TFormBorderStyle::bsNone:
        return 0;
    case TFormBorderStyle::bsSizeable:
    case TFormBorderStyle::bsSizeToolWin:
        return kFrameSizeable;
    default:
        return kFrameFixed;
    }
}

bool TfrmRollup::Sizeable() const
{
    return FBorderStyle == TFormBorderStyle::bsSizeable || FBorderStyle == TFormBorderStyle::bsSizeToolWin;
}

QSize TfrmRollup::ButtonSize() const
{
    const bool Tool = FBorderStyle == TFormBorderStyle::bsToolWindow || FBorderStyle == TFormBorderStyle::bsSizeToolWin;
    return Tool ? kToolButtonSize : kButtonSize;
}

QRect TfrmRollup::CaptionRect() const
{
    if (FBorderStyle == TFormBorderStyle::bsNone)
        return QRect();
    const int32_t F = FrameSize();
    return QRect(F, F, std::max(width() - 2 * F, 0), kCaptionHeight);
}

QRect TfrmRollup::RollButtonRect() const
{
    if (FBorderStyle == TFormBorderStyle::bsNone)
        return QRect();
    const QRect C = CaptionRect();
    const QSize B = ButtonSize();
    return QRect(C.x() + C.width() - 3 * B.width() - 6, C.y() + 2, B.width(), B.height());
}

QRect TfrmRollup::CloseButtonRect() const
{
    if (FBorderStyle == TFormBorderStyle::bsNone)
        return QRect();
    const QRect C = CaptionRect();
    const QSize B = ButtonSize();
    return QRect(C.x() + C.width() - B.width() - 2, C.y() + 2, B.width(), B.height());
}

QRect TfrmRollup::ClientRect() const
{
    const int32_t F = FrameSize();
    const int32_t Top = F + CaptionRect().height();
    return QRect(F, Top, std::max(width() - 2 * F, 0), std::max(height() - Top - F, 0));
}

void TfrmRollup::LayoutClient()
{
    if (!FRolledUp) {
        FClient->clearMask();
        FClient->setGeometry(ClientRect());
        FClient->setVisible(true);
        return;
    }
    // Rolled up: the client keeps its size and only what the window still
    // has room for above its bottom frame shows.
    const int32_t Visible = height() - FrameSize() - FClient->y();
    if (Visible <= 0) {
        FClient->setVisible(false);
        return;
    }
    FClient->setMask(QRegion(0, 0, FClient->width(), Visible));
    FClient->setVisible(true);
}

void TfrmRollup::ToggleRoll()
{
    if (!FRolledUp) {
        // The control with the keys goes out of sight: it gives them up
        // first, to the window, so that it is left as a click elsewhere
        // leaves it (an edit commits the value it shows live) and no key
        // typed next reaches a control no one sees.
        if (const QWidget* Focus = focusWidget(); Focus && FClient->isAncestorOf(Focus))
            setFocus(Qt::OtherFocusReason);
        // Rolled up it is only its caption: below any unrolled minimum.
        setMinimumSize(0, 0);
        FUnrolledSize = size();
        QRect R = geometry();
        R.setHeight(height() - ClientRect().height());
        if (OnRollUp)
            OnRollUp(this, R);
        FRolledUp = true;
        FRolling = true;
        setGeometry(R);
        FRolling = false;
    } else {
        FRolledUp = false;
        FRolling = true;
        setGeometry(QRect(geometry().topLeft(), FUnrolledSize));
        FRolling = false;
        UpdateMinimumSize();
    }
    LayoutClient();
    update();
}

void TfrmRollup::SetRolledUp(bool Value)
{
    if (Value != FRolledUp)
        ToggleRoll();
}

std::string TfrmRollup::GetPositionString() const
{
    const QRect A = WorkAreaOrEmpty();
    const QSize S = UnrolledSize();
    const int32_t Fields[5] = {x() - A.x(), y() - A.y(), S.width(), S.height(), FRolledUp ? 1 : 0};
    std::string Text;
    for (int32_t V : Fields)
        Text += (Text.empty() ? "" : ",") + std::to_string(V);
    return Text;
}

void TfrmRollup::SetPositionString(const std::string& S)
{
    const QRect A = WorkAreaOrEmpty();
    const QSize U = UnrolledSize();
    int32_t Pos = 1;
    // Added in 64 bits: the stored numbers may be any.
    const int64_t Left = A.x() + int64_t(GetFieldInt(S, Pos, ',', x() - A.x()));
    const int64_t Top = A.y() + int64_t(GetFieldInt(S, Pos, ',', y() - A.y()));
    const int32_t Width = GetFieldInt(S, Pos, ',', U.width());
    const int32_t Height = GetFieldInt(S, Pos, ',', U.height());
    const int32_t Rolled = GetFieldInt(S, Pos, ',', 0);
    SetRolledUp(false);
    SetBoundsInWorkArea(this, Left, Top, Width, Height);
    SetRolledUp(Rolled != 0);
}

void TfrmRollup::GetMinMaxInfo(TMinMaxInfo& Info)
{
    const int32_t F = FrameSize();
    Info.MinTrackSize = QSize(2 * F + 3 * (ButtonSize().width() + 2) + 4, 2 * F + CaptionRect().height());
    Info.MaxTrackSize = QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (FRolledUp && !FRolling) {
        Info.MinTrackSize = size();
        Info.MaxTrackSize = size();
    }
}

TMinMaxInfo TfrmRollup::UpdateMinimumSize()
{
    TMinMaxInfo Info;
    GetMinMaxInfo(Info);
    // A rolled-up window keeps no minimum: its own sizing is off and the
    // caption alone is less than the unrolled minimum.
    const QSize Min = FRolledUp ? QSize(0, 0)
                                : Info.MinTrackSize.expandedTo(QSize(0, 0))
                                      .boundedTo(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    if (minimumSize() != Min)
        setMinimumSize(Min);
    return Info;
}

void ApplyMinMaxInfo(TfrmRollup* Form, QRect& Rect)
{
    const TMinMaxInfo Info = Form->UpdateMinimumSize();
    Rect.setSize(Rect.size().expandedTo(Info.MinTrackSize).boundedTo(Info.MaxTrackSize));
}

void ApplyMinMaxInfo(TfrmRollup* Form)
{
    QRect R = Form->geometry();
    ApplyMinMaxInfo(Form, R);
    if (R != Form->geometry())
        Form->setGeometry(R);
}

int32_t TfrmRollup::SizingEdgeAt(const QPoint& P) const
{
    if (!Sizeable())
        return 0;
    const int32_t F = FrameSize();
    const bool OnLeft = P.x() < F;
    const bool OnRight = P.x() >= width() - F;
    const bool OnTop = P.y() < F;
    const bool OnBottom = P.y() >= height() - F;
    if (!OnLeft && !OnRight && !OnTop && !OnBottom)
        return 0;
    const bool Left = OnLeft || ((OnTop || OnBottom) && P.x() < kCornerReach);
    const bool Right = OnRight || ((OnTop || OnBottom) && P.x() >= width() - kCornerReach);
    const bool Top = OnTop || ((OnLeft || OnRight) && P.y() < kCornerReach);
    const bool Bottom = OnBottom || ((OnLeft || OnRight) && P.y() >= height() - kCornerReach);
    if (Top)
        return Left ? WMSZ_TOPLEFT : Right ? WMSZ_TOPRIGHT : WMSZ_TOP;
    if (Bottom)
        return Left ? WMSZ_BOTTOMLEFT : Right ? WMSZ_BOTTOMRIGHT : WMSZ_BOTTOM;
    return Left ? WMSZ_LEFT : WMSZ_RIGHT;
}

void TfrmRollup::mousePressEvent(QMouseEvent* Event)
{
    const QPoint P = Event->position().toPoint();
    if (Event->button() != Qt::LeftButton || FBorderStyle == TFormBorderStyle::bsNone || ClientRect().contains(P)) {
        QWidget::mousePressEvent(Event);
        return;
    }
    const QPoint G = Event->globalPosition().toPoint();
    if (RollButtonRect().contains(P)) {
        activateWindow();
        ToggleRoll();
    } else if (CloseButtonRect().contains(P)) {
        FTracking = TTracking::CloseButton;
        update(CloseButtonRect());
    } else if (const int32_t Edge = SizingEdgeAt(P)) {
        FTracking = TTracking::Sizing;
        FSizingEdge = Edge;
        FSizeStartRect = geometry();
        FSizeStartMouse = G;
        FTargets = GetSnapTargets(this);
    } else if (CaptionRect().contains(P)) {
        FTracking = TTracking::Moving;
        FUnsnappedPos = FAppliedPos = geometry().topLeft();
        FLastMouse = G;
        FTargets = GetSnapTargets(this);
    } else {
        QWidget::mousePressEvent(Event);
        return;
    }
    Event->accept();
}

void TfrmRollup::mouseMoveEvent(QMouseEvent* Event)
{
    const QPoint G = Event->globalPosition().toPoint();
    switch (FTracking) {
    case TTracking::Moving: {
        // The window goes where the mouse takes it; the unsnapped place
        // follows the mouse alone, so a snapped window stays until the mouse
        // is out of the edge's reach.
        const QPoint Proposed = FAppliedPos + (G - FLastMouse);
        FLastMouse = G;
        FUnsnappedPos += Proposed - FAppliedPos;
        FAppliedPos = SnapMovingRect(QRect(FUnsnappedPos, size()), FTargets).topLeft();
        move(FAppliedPos);
        break;
    }
    case TTracking::Sizing: {
        const QPoint D = G - FSizeStartMouse;
        TEdges E = Edges(FSizeStartRect);
        if (DragsLeft(FSizingEdge))
            E.L += D.x();
        if (DragsRight(FSizingEdge))
            E.R += D.x();
        if (DragsTop(FSizingEdge))
            E.T += D.y();
        if (DragsBottom(FSizingEdge))
            E.B += D.y();
        TMinMaxInfo Info;
        GetMinMaxInfo(Info);
        const int32_t W = std::clamp(E.R - E.L, Info.MinTrackSize.width(), Info.MaxTrackSize.width());
        const int32_t H = std::clamp(E.B - E.T, Info.MinTrackSize.height(), Info.MaxTrackSize.height());
        if (DragsLeft(FSizingEdge))
            E.L = E.R - W;
        else
            E.R = E.L + W;
        if (DragsTop(FSizingEdge))
            E.T = E.B - H;
        else
            E.B = E.T + H;
        const QRect R = SnapSizingRect(FromEdges(E), FSizingEdge, FTargets);
        if (R != geometry())
            setGeometry(R);
        break;
    }
    case TTracking::CloseButton:
        break;
    case TTracking::None: {
        static constexpr Qt::CursorShape kShapes[9] = {Qt::ArrowCursor,   Qt::SizeHorCursor,   Qt::SizeHorCursor,
                                                       Qt::SizeVerCursor, Qt::SizeFDiagCursor, Qt::SizeBDiagCursor,
                                                       Qt::SizeVerCursor, Qt::SizeBDiagCursor, Qt::SizeFDiagCursor};
        const QPoint P = Event->position().toPoint();
        const int32_t Edge = ClientRect().contains(P) ? 0 : SizingEdgeAt(P);
        if (Edge)
            setCursor(kShapes[Edge]);
        else
            unsetCursor();
        QWidget::mouseMoveEvent(Event);
        return;
    }
    }
    Event->accept();
}

void TfrmRollup::mouseReleaseEvent(QMouseEvent* Event)
{
    if (FTracking == TTracking::None || Event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(Event);
        return;
    }
    const TTracking Was = std::exchange(FTracking, TTracking::None);
    FTargets.Windows.clear();
    if (Was == TTracking::CloseButton) {
        update(CloseButtonRect());
        if (CloseButtonRect().contains(Event->position().toPoint()))
            close();
    }
    Event->accept();
}

void TfrmRollup::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    LayoutClient();
}

bool TfrmRollup::event(QEvent* Event)
{
    switch (Event->type()) {
    case QEvent::Show:
        UpdateMinimumSize();
        // Shown before the window it belongs to (a layout restored at
        // start-up), it was handed to the window manager while its owner
        // was none yet: the manager does not keep it above the owner. It is
        // shown once more after the owner is.
        if (QWidget* Owner = parentWidget() ? parentWidget()->window() : nullptr;
            Owner && !Owner->isVisible() && FReshow == TReshow::None) {
            FReshow = TReshow::AfterOwnerShown;
            Owner->installEventFilter(this);
        }
        break;
    case QEvent::ActivationChange:
    case QEvent::WindowTitleChange:
        update(QRect(0, 0, width(), FrameSize() + CaptionRect().height()));
        break;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(Event)->key() == Qt::Key_F1) {
            ShowKeyHelp(this);
            Event->accept();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::event(Event);
}

bool TfrmRollup::eventFilter(QObject* Watched, QEvent* Event)
{
    QWidget* Owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (FReshow == TReshow::AfterOwnerShown && Event->type() == QEvent::Show && Watched == Owner) {
        // Only once the window manager has put both on the screen: taken off
        // before it has handled the first showing, the window could be lost.
        // Their system windows say so when they are exposed.
        Owner->removeEventFilter(this);
        FReshow = TReshow::AfterExposed;
        for (QWidget* W : {static_cast<QWidget*>(this), Owner})
            if (QWindow* Handle = W->windowHandle())
                Handle->installEventFilter(this);
        ShowAgainAboveOwnerOnScreen();
    } else if (FReshow == TReshow::AfterExposed && Event->type() == QEvent::Expose) {
        ShowAgainAboveOwnerOnScreen();
    }
    return QWidget::eventFilter(Watched, Event);
}

void TfrmRollup::ShowAgainAboveOwnerOnScreen()
{
    QWidget* Owner = parentWidget() ? parentWidget()->window() : nullptr;
    const auto OnScreen = [](const QWidget* W) { return W->windowHandle() && W->windowHandle()->isExposed(); };
    const bool Gone = !isVisible() || !Owner || !Owner->isVisible();
    if (!Gone && (!OnScreen(this) || !OnScreen(Owner)))
        return;
    FReshow = TReshow::None;
    for (QWidget* W : {static_cast<QWidget*>(this), Owner})
        if (QWindow* Handle = W ? W->windowHandle() : nullptr)
            Handle->removeEventFilter(this);
    if (Gone)
        return;
    // Not inside the delivery of the expose itself.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible()) {
                hide();
                show();
            }
        },
        Qt::QueuedConnection);
}

void TfrmRollup::PaintRollButton(QPainter& P, const QRect& R) const
{
    DrawBevelFrame(P, TRect{R.x(), R.y(), R.x() + R.width(), R.y() + R.height()}, true, kButtonFace);
    const QColor Black(Qt::black);
    // A bar at the top and a stroke down from it with the arrow head up
    // under the bar, or down at the stroke's end when rolled up.
    const int32_t BarY = R.y() + 2;
    const int32_t Bottom = R.y() + R.height() - 3;
    const int32_t CX = R.x() + (R.width() - 1) / 2;
    P.fillRect(R.x() + 2, BarY, R.width() - 4, 1, Black);
    P.fillRect(CX, BarY + 1, 1, Bottom - BarY, Black);
    if (FRolledUp) {
        P.fillRect(CX - 2, Bottom - 2, 5, 1, Black);
        P.fillRect(CX - 1, Bottom - 1, 3, 1, Black);
    } else {
        P.fillRect(CX - 1, BarY + 2, 3, 1, Black);
        P.fillRect(CX - 2, BarY + 3, 5, 1, Black);
    }
}

void TfrmRollup::paintEvent(QPaintEvent*)
{
    if (FBorderStyle == TFormBorderStyle::bsNone)
        return;
    QPainter P(this);
    const QColor Face = QColor::fromRgb(kButtonFace);
    P.fillRect(rect(), Face);
    DrawBevelFrame(P, TRect{0, 0, width(), height()}, true, -1);

    const QRect C = CaptionRect();
    const bool Active = isActiveWindow();
    QLinearGradient G(C.topLeft(), C.topRight());
    G.setColorAt(0, Active ? QColor(0x00, 0x00, 0x80) : QColor(0x80, 0x80, 0x80));
    G.setColorAt(1, Active ? QColor(0x10, 0x84, 0xD0) : QColor(0xC0, 0xC0, 0xC0));
    P.fillRect(C, G);

    QFont Bold = font();
    Bold.setBold(true);
    P.setFont(Bold);
    P.setPen(Active ? QColor(Qt::white) : QColor(0xD4, 0xD0, 0xC8));
    const QRect TextRect(C.x() + 3, C.y(), RollButtonRect().x() - 2 - (C.x() + 3), C.height());
    P.drawText(TextRect, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(Bold).elidedText(windowTitle(), Qt::ElideRight, TextRect.width()));

    PaintRollButton(P, RollButtonRect());

    const QRect X = CloseButtonRect();
    const bool Pressed = FTracking == TTracking::CloseButton && X.contains(mapFromGlobal(QCursor::pos()));
    DrawBevelFrame(P, TRect{X.x(), X.y(), X.x() + X.width(), X.y() + X.height()}, !Pressed, kButtonFace);
    const int32_t S = X.height() - 5;
    const int32_t X0 = X.x() + (X.width() - S - 1) / 2 + (Pressed ? 1 : 0);
    const int32_t Y0 = X.y() + (X.height() - S) / 2 + (Pressed ? 1 : 0);
    for (int32_t I = 0; I < S; ++I) {
        P.fillRect(X0 + I, Y0 + I, 2, 1, Qt::black);
        P.fillRect(X0 + S - 1 - I, Y0 + I, 2, 1, Qt::black);
    }
}

// ---------------------------------------------------------------------------
// TRestorePosRollUp

TRestorePosRollUp::TRestorePosRollUp(QWidget* Owner) : TRestorePos(Owner), FRollup(qobject_cast<TfrmRollup*>(Owner))
{
    // A roll-up form tells its placement from its own destructor.
    if (FRollup)
        disconnect(Owner, &QObject::destroyed, this, nullptr);
}

void TRestorePosRollUp::Restore()
{
    if (!FRollup) {
        if (!FRollupGone)
            TRestorePos::Restore();
        return;
    }
    if (RegistryName().empty())
        return;
    const std::string S = ReadText();
    if (!S.empty())
        FRollup->SetPositionString(S);
    SetRestorePending(false);
}

void TRestorePosRollUp::Save()
{
    if (!FRollup) {
        if (!FRollupGone)
            TRestorePos::Save();
        return;
    }
    if (RegistryKey().empty() || RegistryName().empty())
        return;
    WriteText(FRollup->GetPositionString());
}

void TRestorePosRollUp::RollupDestroying()
{
    // Nothing may leave a destructor: a store that refuses is reported.
    try {
        Save();
    } catch (const std::exception& E) {
        ErrorMessageBox(nullptr, E.what());
    }
    FRollup = nullptr;
    FRollupGone = true;
}
