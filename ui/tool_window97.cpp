#include "ui/tool_window97.h"

#include "ui/tool_window_drag97.h"
#include "ui/tool_window_hooks.h"

#include <QApplication>
#include <QChildEvent>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {

const QColor kBtnFace(0xC0, 0xC0, 0xC0);
const QColor kBtnShadow(0x80, 0x80, 0x80);
const QColor kBtnHighlight(0xFF, 0xFF, 0xFF);
const QColor k3DLight(0xDF, 0xDF, 0xDF);
const QColor k3DDkShadow(0x00, 0x00, 0x00);
const QColor kActiveCaption(0x00, 0x00, 0x80);
const QColor kInactiveCaption(0x80, 0x80, 0x80);
const QColor kCaptionText(0xFF, 0xFF, 0xFF);
const QColor kInactiveCaptionText(0xC0, 0xC0, 0xC0);

std::vector<TCustomToolWindow97*>& FloatingList()
{
    static std::vector<TCustomToolWindow97*> List;
    return List;
}

// One-pixel edge: TopLeft colour on the top and left, BottomRight on the
// bottom and right.
void Edge(QPainter& P, const QRect& R, const QColor& TopLeft, const QColor& BottomRight)
{
    if (R.width() <= 0 || R.height() <= 0)
        return;
    P.fillRect(R.left(), R.top(), R.width(), 1, TopLeft);
    P.fillRect(R.left(), R.top(), 1, R.height(), TopLeft);
    P.fillRect(R.left(), R.bottom(), R.width(), 1, BottomRight);
    P.fillRect(R.right(), R.top(), 1, R.height(), BottomRight);
}

// The caption close button: a push button face with a cross.
void DrawCaptionClose(QPainter& P, const QRect& R, bool Pushed)
{
    P.fillRect(R, kBtnFace);
    if (Pushed) {
        Edge(P, R, k3DDkShadow, kBtnHighlight);
        Edge(P, R.adjusted(1, 1, -1, -1), kBtnShadow, k3DLight);
    } else {
        Edge(P, R, k3DLight, k3DDkShadow);
        Edge(P, R.adjusted(1, 1, -1, -1), kBtnHighlight, kBtnShadow);
    }
    const int32_t S = std::max(R.width() - 6 - (R.width() + 1) % 2, 3);
    const int32_t X0 = R.left() + (R.width() - S) / 2 + (Pushed ? 1 : 0);
    const int32_t Y0 = R.top() + (R.height() - S) / 2 + (Pushed ? 1 : 0);
    for (int32_t I = 0; I < S; ++I) {
        P.fillRect(X0 + I, Y0 + I, 2, 1, Qt::black);
        P.fillRect(X0 + S - 2 - I, Y0 + I, 2, 1, Qt::black);
    }
}

} // namespace

// The client area: paints the window's background and hands presses on
// itself (not on the controls) to the window.
class TToolWindowClient97 : public QWidget {
public:
    explicit TToolWindowClient97(TCustomToolWindow97* Owner) : QWidget(Owner), FOwner(Owner) {}

protected:
    bool event(QEvent* Event) override
    {
        // Presses on transparent controls (separators) fall through to the
        // client area and so drag the window.
        if (Event->type() == QEvent::ChildPolished)
            if (QObject* C = static_cast<QChildEvent*>(Event)->child(); C && C->isWidgetType())
                if (FOwner->IsTransparentChild(static_cast<QWidget*>(C)))
                    static_cast<QWidget*>(C)->setAttribute(Qt::WA_TransparentForMouseEvents);
        return QWidget::event(Event);
    }
    void paintEvent(QPaintEvent* Event) override
    {
        QPainter P(this);
        FOwner->PaintClient(P, Event->rect());
    }
    void mousePressEvent(QMouseEvent* E) override { FOwner->ClientMouse(E); }
    void mouseDoubleClickEvent(QMouseEvent* E) override { FOwner->ClientMouse(E); }
    void mouseMoveEvent(QMouseEvent* E) override { FOwner->ClientMouse(E); }
    void mouseReleaseEvent(QMouseEvent* E) override { FOwner->ClientMouse(E); }

private:
    TCustomToolWindow97* FOwner;
};

void ToolWindowHookProc(int32_t Code, QObject* Target, QEvent* Event)
{
    const std::vector<TCustomToolWindow97*> Floating = FloatingList();
    if (Code == hpAppActivateDeactivate) {
        for (TCustomToolWindow97* W : Floating) {
            W->UpdateVisibility();
            W->update();
        }
        return;
    }
    if (Code != hpWindowPosChanged || qobject_cast<TCustomToolWindow97*>(Target))
        return;
    const QEvent::Type T = Event->type();
    if (T != QEvent::Show && T != QEvent::Hide && T != QEvent::WindowStateChange)
        return;
    auto* Window = static_cast<QWidget*>(Target);
    for (TCustomToolWindow97* W : Floating) {
        if (W->FFloatingMode != fmOnTopOfParentForm || !W->FFloatParent)
            continue;
        QWidget* Form = W->FFloatParent->ParentForm();
        if (Form && (Form == Window || Window->isAncestorOf(Form)))
            W->UpdateVisibility();
    }
}

// ---------------------------------------------------------------------------
// TFloatingWindowParent

TFloatingWindowParent::TFloatingWindowParent(QWidget* Form) : QWidget(Form), FParentForm(Form)
{
    setGeometry(0, 0, 0, 0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    show();
}

// ---------------------------------------------------------------------------
// Creation

TCustomToolWindow97::TCustomToolWindow97(QWidget* Owner) : QWidget(Owner), FOwnerForm(Owner), FColor(kBtnFace)
{
    static uint64_t Serial = 0;
    FComponentSerial = ++Serial;
    setObjectName("ToolWindow97");
    // Until placed the window waits hidden on its form.
    ++FQtVisibilityGuard;
    QWidget::setVisible(false);
    --FQtVisibilityGuard;
    FClient = new TToolWindowClient97(this);
    InstallHookProc(&ToolWindowHookProc, HookBit(hpAppActivateDeactivate) | HookBit(hpWindowPosChanged), false);
    UpdateFrame();
    Arrange();
}

TCustomToolWindow97::~TCustomToolWindow97()
{
    FDestroying = true;
    if (FTrack != TTrack::None) {
        releaseMouse();
        releaseKeyboard();
    }
    FOutlineWidget.reset();
    if (TDock97* D = FDockedTo.data())
        D->ForgetToolWindow(this);
    if (TDock97* D = FLastDock.data(); D && D != FDockedTo.data())
        D->ForgetToolWindow(this);
    SetFloatingList(false);
    if (FFloatParent)
        FFloatParent->deleteLater();
    UninstallHookProc(&ToolWindowHookProc);
}

void TCustomToolWindow97::DockForgotten(TDock97* Dock)
{
    if (FDockedTo.data() == Dock) {
        FDockedTo = nullptr;
        FDocked = false;
    }
    if (FLastDock.data() == Dock)
        FLastDock = nullptr;
    if (FDefaultDock.data() == Dock)
        FDefaultDock = nullptr;
}

const std::vector<TCustomToolWindow97*>& TCustomToolWindow97::FloatingToolWindows()
{
    return FloatingList();
}

void TCustomToolWindow97::SetFloatingList(bool Floating)
{
    auto& L = FloatingList();
    auto It = std::find(L.begin(), L.end(), this);
    if (Floating && It == L.end())
        L.push_back(this);
    else if (!Floating && It != L.end())
        L.erase(It);
}

// ---------------------------------------------------------------------------
// Re-parenting

QWidget* TCustomToolWindow97::GetToolWindowParentForm() const
{
    if (FDocked && FDockedTo)
        return FDockedTo->window();
    if (FFloatParent && FFloatParent->ParentForm())
        return FFloatParent->ParentForm();
    if (FOwnerForm)
        return FOwnerForm->window();
    throw EInvalidOperation("コントロール '" + objectName().toStdString() + "' は親ウィンドウを持っていません");
}

void TCustomToolWindow97::SetDockedTo(TDock97* Value)
{
    if (Value)
        SetParent(Value);
    else
        SetParent(GetToolWindowParentForm());
}

void TCustomToolWindow97::SetParent(QWidget* AParent)
{
    auto* NewDock = qobject_cast<TDock97*>(AParent);
    if (AParent && !NewDock && (!AParent->isWindow() || qobject_cast<TCustomToolWindow97*>(AParent)))
        throw EInvalidOperation("A tool window can only be placed on a TDock97 or directly on the form");
    QWidget* Target = AParent;
    if (AParent && !NewDock) {
        if (!FFloatParent || FFloatParent->ParentForm() != AParent) {
            auto* FP = new TFloatingWindowParent(AParent);
            FP->setObjectName(QString::asprintf("TB97FloatingWindowParent_%.8x",
                                                unsigned(reinterpret_cast<uintptr_t>(FP) & 0xFFFFFFFFu)));
            FFloatParent = FP;
        }
        Target = FFloatParent;
    }
    QWidget* OldLogical = FDocked ? static_cast<QWidget*>(FDockedTo.data()) : Floating() ? parentWidget() : nullptr;
    if (OldLogical == Target) {
        FDockedTo = NewDock;
        FDocked = NewDock != nullptr;
        SetFloatingList(Floating());
        return;
    }
    TDock97* OldDock = CurrentDock();
    if (!FDestroying && Target) {
        if (OnDockChanging)
            OnDockChanging(this);
        if (OnDockChangingEx)
            OnDockChangingEx(this, NewDock);
        if (OnRecreating)
            OnRecreating(this);
    }
    ++FHiddenCount;
    ++FMoveEventsOff;
    UpdateVisibility();
    if (OldDock)
        OldDock->BeginUpdate();
    if (NewDock)
        NewDock->BeginUpdate();
    ++FInSetBounds;
    if (Target) {
        if (OnDockChangingHidden)
            OnDockChangingHidden(this, NewDock);
        if (FLastOrientationValid)
            ComputeLayout(true, FLastOrientation, NewDock);
    }
    FLayoutPending = true;
    BeginUpdate();

    if (OldDock) {
        if (!FUseLastDock)
            OldDock->RegisterToolWindow(false, this);
        OldDock->UpdateShownList(this, true);
    }

    QWidget* OldQtParent = parentWidget();
    FDockedTo = NewDock;
    FDocked = NewDock != nullptr;
    ++FQtVisibilityGuard;
    if (NewDock) {
        QWidget::setParent(NewDock, Qt::Widget);
    } else if (Target) {
        // A press on a floating window must leave the activation (and the
        // keyboard) with the form: the window refuses the focus.
        Qt::WindowFlags Flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
        if (FFloatingMode == fmOnTopOfAllForms)
            Flags |= Qt::WindowStaysOnTopHint;
        QWidget::setParent(Target, Flags);
        setAttribute(Qt::WA_ShowWithoutActivating);
    } else {
        QWidget::setParent(FOwnerForm.data(), Qt::Widget);
    }
    QWidget::setVisible(false);
    --FQtVisibilityGuard;
    UpdateFrame();
    if (auto* OldFP = qobject_cast<TFloatingWindowParent*>(OldQtParent); OldFP && OldFP != parentWidget()) {
        if (OldFP == FFloatParent)
            FFloatParent = nullptr;
        OldFP->deleteLater();
    }

    if (NewDock) {
        if (FUseLastDock) {
            SetLastDock(NewDock);
            NewDock->UpdateShownList(this, false);
        } else {
            NewDock->RegisterToolWindow(true, this);
        }
    }
    SetFloatingList(Floating());
    if (Floating())
        SetBoundsInternal(QRect(FFloatingTopLeft, size()));

    EndUpdate();
    if (Target) {
        FLastOrientation = DockOrientationOf(NewDock);
        FLastOrientationValid = true;
    }
    --FInSetBounds;
    if (OldDock)
        OldDock->EndUpdate();
    if (NewDock)
        NewDock->EndUpdate();
    --FHiddenCount;
    // Showing sends the move the window missed while hidden; the one move
    // event of the re-parenting follows.
    UpdateVisibility();
    --FMoveEventsOff;
    if (OnMove && FMoveEventsOff == 0)
        OnMove(this);
    if (!FDestroying && Target) {
        if (OnRecreated)
            OnRecreated(this);
        if (OnDockChanged)
            OnDockChanged(this);
    }
}

void TCustomToolWindow97::SetLastDock(TDock97* Value)
{
    if (FUseLastDock && FDocked && FDockedTo)
        Value = FDockedTo.data();
    if (FLastDock.data() == Value)
        return;
    if (TDock97* Old = FLastDock.data(); Old && Old != parentWidget())
        Old->RegisterToolWindow(false, this);
    FLastDock = Value;
    if (Value) {
        FUseLastDock = true;
        Value->RegisterToolWindow(true, this);
    }
}

void TCustomToolWindow97::SetUseLastDock(bool Value)
{
    if (FUseLastDock == Value)
        return;
    FUseLastDock = Value;
    if (Value) {
        SetLastDock(CurrentDock());
    } else {
        // The current dock keeps the window registered as its child.
        if (TDock97* Old = FLastDock.data(); Old && Old != parentWidget())
            Old->RegisterToolWindow(false, this);
        FLastDock = nullptr;
    }
}

void TCustomToolWindow97::SetDockRow(int32_t Value)
{
    // A dock counts rows up to one past its highest.
    FDockRow = std::min(Value, kToolWindowRowLimit97);
    if (TDock97* D = CurrentDock())
        D->LayOutRows(false);
}

void TCustomToolWindow97::SetDockPos(int32_t Value)
{
    // The dock adds the windows' lengths to it.
    FDockPos = WithinToolWindowReach97(Value);
    if (TDock97* D = CurrentDock())
        D->LayOutRows(false);
}

void TCustomToolWindow97::SetFloatingPosition(const QPoint& Value)
{
    // A rectangle's right edge is its left plus its width, in int.
    FFloatingTopLeft = QPoint(WithinToolWindowReach97(Value.x()), WithinToolWindowReach97(Value.y()));
    if (Floating())
        SetBoundsInternal(QRect(FFloatingTopLeft, size()));
}

// ---------------------------------------------------------------------------
// Properties

void TCustomToolWindow97::SetBorderStyle(TBorderStyle97 Value)
{
    FBorderStyle = Value;
    if (FDocked)
        UpdateFrame();
}

void TCustomToolWindow97::SetCaption(const QString& Value)
{
    FCaption = Value;
    setWindowTitle(Value);
    update(CaptionRect());
}

void TCustomToolWindow97::SetColor(const QColor& Value)
{
    FColor = Value;
    update();
    FClient->update();
}

void TCustomToolWindow97::SetCloseButton(bool Value)
{
    FCloseButton = Value;
    update();
}

void TCustomToolWindow97::SetCloseButtonWhenDocked(bool Value)
{
    FCloseButtonWhenDocked = Value;
    if (FDocked)
        UpdateFrame();
}

void TCustomToolWindow97::SetDragHandleStyle(TDragHandleStyle Value)
{
    FDragHandleStyle = Value;
    if (FDocked)
        UpdateFrame();
}

void TCustomToolWindow97::SetFloatingMode(TToolWindowFloatingMode Value)
{
    if (FFloatingMode == Value)
        return;
    FFloatingMode = Value;
    if (Floating()) {
        ++FQtVisibilityGuard;
        setWindowFlag(Qt::WindowStaysOnTopHint, Value == fmOnTopOfAllForms);
        --FQtVisibilityGuard;
    }
    UpdateVisibility();
}

void TCustomToolWindow97::SetFullSize(bool Value)
{
    if (FFullSize == Value)
        return;
    FFullSize = Value;
    Arrange();
    if (TDock97* D = CurrentDock())
        D->LayOutRows(false);
}

void TCustomToolWindow97::SetHideWhenInactive(bool Value)
{
    FHideWhenInactive = Value;
    UpdateVisibility();
}

void TCustomToolWindow97::SetShowCaption(bool Value)
{
    FShowCaption = Value;
    if (Floating())
        UpdateFrame();
}

void TCustomToolWindow97::SetResizable(bool Value)
{
    FResizable = Value;
    if (Floating())
        UpdateFrame();
}

void TCustomToolWindow97::SetClientAreaSize(const QSize& Value)
{
    FClientAreaSize = Value;
    Arrange();
}

void TCustomToolWindow97::setVisible(bool Visible)
{
    if (FQtVisibilityGuard > 0) {
        QWidget::setVisible(Visible);
        return;
    }
    if (FVisible != Visible) {
        FVisible = Visible;
        if (TDock97* D = CurrentDock())
            D->UpdateShownList(this, false);
        UpdateVisibility();
        if (OnVisibleChanged)
            OnVisibleChanged(this);
        return;
    }
    UpdateVisibility();
}

// ---------------------------------------------------------------------------
// Showing

bool TCustomToolWindow97::ShouldBeShown() const
{
    if (!FVisible || FHiddenCount > 0)
        return false;
    if (FDocked)
        return FDockedTo != nullptr;
    if (!Floating() || !FFloatParent)
        return false;
    QWidget* Form = FFloatParent->ParentForm();
    if (!Form)
        return false;
    QWidget* Top = Form->window();
    if (!Form->isVisible() || !Top->isVisible() || Top->isMinimized())
        return false;
    if (FHideWhenInactive && !ApplicationIsActive())
        return false;
    return true;
}

void TCustomToolWindow97::UpdateVisibility()
{
    const bool Show = ShouldBeShown();
    const bool Inactive = Floating() && !FHideWhenInactive && !ApplicationIsActive();
    if (Inactive != FInactiveCaption) {
        FInactiveCaption = Inactive;
        update(CaptionRect());
    }
    if (Floating() && FFloatParent)
        FFloatParent->SetShouldShow(Show);
    if (Show == !isHidden())
        return;
    ++FQtVisibilityGuard;
    // The window manager minimises a floating window with its form, and the
    // window keeps that state while hidden: shown minimised, it would be
    // taken for the user minimising it and minimise the form again.
    if (Show && (windowState() & Qt::WindowMinimized))
        setWindowState(windowState() & ~Qt::WindowMinimized);
    QWidget::setVisible(Show);
    --FQtVisibilityGuard;
    if (Show && Floating())
        raise();
}

// ---------------------------------------------------------------------------
// Frames and layout

QMargins TCustomToolWindow97::DockedFrameMargins(const TDock97* Dock) const
{
    QMargins M(2, 2, 2, 2);
    if (Dock && Dock->AllowDrag()) {
        int32_t Handle = FDragHandleStyle == dhDouble ? 9 : FDragHandleStyle == dhSingle ? 6 : 0;
        if (FCloseButtonWhenDocked)
            Handle = 14;
        if (DockOrientationOf(Dock) == 2)
            M.setTop(M.top() + Handle);
        else
            M.setLeft(M.left() + Handle);
    }
    return M;
}

QMargins TCustomToolWindow97::FloatingFrameMargins() const
{
    const int32_t B = FResizable ? kSizingFrame97 : kDialogFrame97;
    return QMargins(B, B + (FShowCaption ? kSmallCaption97 : 0), B, B);
}

QMargins TCustomToolWindow97::FrameMargins() const
{
    return FDocked ? DockedFrameMargins(FDockedTo.data()) : FloatingFrameMargins();
}

QRect TCustomToolWindow97::ClientRect() const
{
    return rect().marginsRemoved(FrameMargins());
}

QRect TCustomToolWindow97::CaptionRect() const
{
    if (FDocked || !FShowCaption)
        return QRect();
    const int32_t B = FloatingFrameMargins().left();
    return QRect(B, B, std::max(width() - 2 * B, 0), kSmallCaption97);
}

QRect TCustomToolWindow97::CloseButtonRect() const
{
    if (FDocked) {
        TDock97* D = FDockedTo.data();
        if (!FCloseButtonWhenDocked || !D || !D->AllowDrag())
            return QRect();
        if (DockOrientationOf(D) == 2)
            return QRect(width() - 2 - 11, 3, 11, 11);
        return QRect(3, 2, 11, 11);
    }
    if (!FCloseButton || !FShowCaption)
        return QRect();
    const QRect C = CaptionRect();
    const int32_t S = kSmallCaption97 - 1;
    return QRect(C.right() + 1 - S, C.top(), S, S);
}

void TCustomToolWindow97::UpdateFrame()
{
    FClient->setGeometry(ClientRect());
    update();
    Arrange();
}

void TCustomToolWindow97::SetBoundsInternal(const QRect& R)
{
    if (R.size() != size() && FInSetBounds == 0)
        BeforeSizeChange(R.width(), R.height());
    ++FInSetBounds;
    setGeometry(R);
    --FInSetBounds;
    FClient->setGeometry(ClientRect());
}

void TCustomToolWindow97::BeginUpdate()
{
    ++FUpdateCount;
}

void TCustomToolWindow97::EndUpdate()
{
    if (FUpdateCount > 0)
        --FUpdateCount;
    if (FUpdateCount == 0 && FLayoutPending)
        Arrange();
}

void TCustomToolWindow97::CalcBarThickness(int32_t& Size, int32_t Orientation)
{
    const QSize C = ComputeLayout(false, Orientation, nullptr);
    Size = Orientation == 2 ? C.width() : C.height();
}

void TCustomToolWindow97::GetMinimumSize(int32_t& Width, int32_t& Height)
{
    Width = 0;
    Height = 0;
}

QSize TCustomToolWindow97::ComputeLayout(bool, int32_t, TDock97*)
{
    return FClientAreaSize;
}

void TCustomToolWindow97::BeforeSizeChange(int32_t, int32_t) {}

bool TCustomToolWindow97::IsTransparentChild(QWidget*)
{
    return false;
}

void TCustomToolWindow97::Arrange()
{
    if (FUpdateCount >= 1 || FDestroying) {
        FLayoutPending = true;
        return;
    }
    FLayoutPending = false;
    TDock97* D = CurrentDock();
    const int32_t O = DockOrientationOf(D);
    QSize C = ComputeLayout(true, O, D);
    const QMargins M = FrameMargins();
    if (D) {
        const int32_t Row = D->RowExtent(FDockRow, this);
        if (O == 2)
            C.setWidth(std::max(C.width(), Row));
        else
            C.setHeight(std::max(C.height(), Row));
        if (FFullSize) {
            if (O == 2)
                C.setHeight(std::max(D->height() - D->FBorderY, 0) - M.top() - M.bottom());
            else
                C.setWidth(std::max(D->width() - D->FBorderX, 0) - M.left() - M.right());
        }
    }
    const QSize S(C.width() + M.left() + M.right(), C.height() + M.top() + M.bottom());
    if (S != size()) {
        ++FInSetBounds;
        SetBoundsInternal(QRect(Floating() ? FFloatingTopLeft : pos(), S));
        --FInSetBounds;
        if (D)
            D->LayOutRows(false);
    }
    FClient->setGeometry(ClientRect());
}

QString FitCaptionText(const QString& Text, const std::function<int32_t(const QString&)>& WidthOf,
                       int32_t Available)
{
    if (WidthOf(Text) <= Available)
        return Text;
    QString S = Text;
    while (S.length() >= 5 && WidthOf(S + "...") > Available)
        S.chop(1);
    return S + "...";
}

int32_t ControlDockPosition(const QWidget* Control)
{
    for (const QWidget* W = Control; W; W = W->parentWidget())
        if (auto* T = qobject_cast<const TCustomToolWindow97*>(W))
            return T->DockedTo() ? int32_t(T->DockedTo()->Position()) : 4;
    return 4;
}

// ---------------------------------------------------------------------------
// Screen

QRect WorkAreaAt(const QPoint& P)
{
    QScreen* S = QGuiApplication::screenAt(P);
    if (!S)
        S = QGuiApplication::primaryScreen();
    return S ? S->availableGeometry() : QRect(0, 0, 640, 480);
}

QRect WorkAreaNear(const QRect& R)
{
    QScreen* Best = nullptr;
    int64_t BestArea = -1;
    for (QScreen* S : QGuiApplication::screens()) {
        const QRect I = S->geometry() & R;
        const int64_t A = int64_t(I.width()) * I.height();
        if (A > BestArea) {
            BestArea = A;
            Best = S;
        }
    }
    if (BestArea <= 0)
        return WorkAreaAt(R.center());
    return Best->availableGeometry();
}

int32_t MulDiv97(int32_t A, int32_t B, int32_t C)
{
    if (C == 0)
        return 0;
    return int32_t(std::llround(double(int64_t(A) * B) / C));
}

void TCustomToolWindow97::MoveOnScreen(bool OnlyIfFullyOffscreen)
{
    if (!Floating())
        return;
    // In 64 bits: the position may have come from anywhere.
    const QPoint P(WithinToolWindowReach97(FFloatingTopLeft.x()), WithinToolWindowReach97(FFloatingTopLeft.y()));
    const QRect WA = WorkAreaNear(QRect(P, size()));
    if (OnlyIfFullyOffscreen && QRect(P, size()).intersects(WA)) {
        FFloatingTopLeft = P;
        return;
    }
    int64_t L = P.x(), T = P.y();
    const int64_t W = width(), H = height();
    if (L + W - 1 > WA.right())
        L = int64_t(WA.right()) - W + 1;
    if (T + H - 1 > WA.bottom())
        T = int64_t(WA.bottom()) - H + 1;
    if (L < WA.left())
        L = WA.left();
    if (T < WA.top())
        T = WA.top();
    FFloatingTopLeft = QPoint(WithinToolWindowReach97(L), WithinToolWindowReach97(T));
    SetBoundsInternal(QRect(FFloatingTopLeft, size()));
}

// ---------------------------------------------------------------------------
// Events

bool TCustomToolWindow97::event(QEvent* Event)
{
    if (Event->type() == QEvent::Close && Floating()) {
        // The frame's close button belongs to the main form.
        Event->ignore();
        if (QWidget* Form = GetToolWindowParentForm())
            Form->window()->close();
        return true;
    }
    // A floating window's presses all pass its system window first, before
    // any control of it sees them.
    if (Event->type() == QEvent::Show && Floating())
        if (QWindow* W = windowHandle())
            W->installEventFilter(this);
    return QWidget::event(Event);
}

bool TCustomToolWindow97::eventFilter(QObject* Watched, QEvent* Event)
{
    // A press takes no activation (the window refuses the focus): it goes to
    // the top, and hands the activation to its form.
    if (Event->type() == QEvent::MouseButtonPress && Floating() && Watched == windowHandle()) {
        raise();
        if (FActivateParent && FFloatingMode == fmOnTopOfParentForm && FFloatParent)
            if (QWidget* Form = FFloatParent->ParentForm(); Form && !Form->window()->isActiveWindow())
                Form->window()->activateWindow();
    }
    return QWidget::eventFilter(Watched, Event);
}

void TCustomToolWindow97::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    FClient->setGeometry(ClientRect());
    if (OnResize)
        OnResize(this);
}

void TCustomToolWindow97::moveEvent(QMoveEvent* Event)
{
    QWidget::moveEvent(Event);
    if (Floating() && FInSetBounds == 0)
        FFloatingTopLeft = pos();
    if (TDock97* D = CurrentDock(); D && D->HasBackground()) {
        update();
        FClient->update();
    }
    if (OnMove && FMoveEventsOff == 0)
        OnMove(this);
}

// ---------------------------------------------------------------------------
// Painting

void TCustomToolWindow97::PaintClient(QPainter& P, const QRect& Rect)
{
    TDock97* D = CurrentDock();
    if (D && D->HasBackground() && D->BackgroundOnToolbars()) {
        const QPoint Origin = -(FClient->pos() + pos() + D->pos());
        D->PaintBackgroundTiles(P, Rect, QRect(Origin, QSize(1 << 20, 1 << 20)), nullptr);
        return;
    }
    P.fillRect(Rect, FColor);
}

void TCustomToolWindow97::paintEvent(QPaintEvent* Event)
{
    QPainter P(this);
    P.setClipRegion(Event->region());
    if (FDocked)
        PaintDockedFrame(P);
    else
        PaintFloatingFrame(P);
}

void TCustomToolWindow97::PaintDockedFrame(QPainter& P)
{
    TDock97* D = FDockedTo.data();
    if (!D)
        return;
    const QRect All = rect();
    const QRect Client = ClientRect();
    if (D->HasBackground() && D->BackgroundOnToolbars())
        D->PaintBackgroundTiles(P, All, QRect(-(pos() + D->pos()), QSize(1 << 20, 1 << 20)), &Client);
    else
        P.fillRect(All, FColor);
    if (FBorderStyle == bsSingle)
        Edge(P, All, kBtnHighlight, kBtnShadow);
    else
        Edge(P, All, FColor, FColor);

    if (!D->AllowDrag())
        return;
    const bool Vertical = DockOrientationOf(D) == 2;
    const bool Close = FCloseButtonWhenDocked;
    const int32_t Handle = DockedFrameMargins(D).left() + DockedFrameMargins(D).top() - 4;
    const int32_t Bars = FDragHandleStyle == dhDouble ? 2 : FDragHandleStyle == dhSingle ? 1 : 0;
    const int32_t Offset = 2 + (Close ? (FDragHandleStyle == dhDouble ? 3 : 5) : (FDragHandleStyle == dhDouble ? 2 : 1));
    const int32_t ClientThick = Vertical ? Client.width() : Client.height();
    int32_t From = 2, To = ClientThick + 2;
    if (Close) {
        if (Vertical)
            To -= Handle - 2;
        else
            From += Handle - 2;
    }
    for (int32_t I = 0; I < Bars; ++I) {
        const int32_t A = Offset + 3 * I;
        const QRect Bar = Vertical ? QRect(From, A, To - From, 3) : QRect(A, From, 3, To - From);
        if (Bar.isEmpty())
            continue;
        P.fillRect(Bar, FColor);
        Edge(P, Bar, kBtnHighlight, kBtnShadow);
        if (Vertical)
            P.fillRect(Bar.right(), Bar.top(), 1, 1, kBtnHighlight);
        else
            P.fillRect(Bar.left(), Bar.bottom(), 1, 1, kBtnHighlight);
    }
    if (Close)
        DrawCaptionClose(P, CloseButtonRect(), FCloseButtonDown);
}

void TCustomToolWindow97::PaintFloatingFrame(QPainter& P)
{
    const QRect All = rect();
    P.fillRect(All, kBtnFace);
    Edge(P, All, k3DLight, k3DDkShadow);
    Edge(P, All.adjusted(1, 1, -1, -1), kBtnHighlight, kBtnShadow);
    const QRect C = CaptionRect();
    if (C.isEmpty())
        return;
    const QRect Bar(C.left(), C.top(), C.width(), C.height() - 1);
    P.fillRect(Bar, FInactiveCaption ? kInactiveCaption : kActiveCaption);
    P.fillRect(C.left(), C.bottom(), C.width(), 1, kBtnFace);

    const QRect X = CloseButtonRect();
    QFont F = font();
    F.setPixelSize(11);
    F.setBold(false);
    P.setFont(F);
    const QFontMetrics FM(F);
    const QRect TextRect(Bar.left() + 2, Bar.top(), (X.isEmpty() ? Bar.right() : X.left() - 1) - Bar.left() - 2,
                         Bar.height());
    const QString Text =
        FitCaptionText(FCaption, [&FM](const QString& S) { return FM.horizontalAdvance(S); }, TextRect.width());
    P.setPen(FInactiveCaption ? kInactiveCaptionText : kCaptionText);
    P.drawText(TextRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Text);
    if (!X.isEmpty())
        DrawCaptionClose(P, X.adjusted(1, 1, -1, -1), FCloseButtonDown);
}
