#include "ui/toolbar_button97.h"

#include "ui/tool_window97.h"
#include "ui/tool_window_hooks.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

namespace {

const QColor kFace(0xC0, 0xC0, 0xC0);
const QColor kHighlight(0xFF, 0xFF, 0xFF);
const QColor kShadow(0x80, 0x80, 0x80);
const QColor kDkShadow(0x00, 0x00, 0x00);
const QColor kLight(0xDF, 0xDF, 0xDF);

// Shared by every button of the program.
QPointer<TToolbarButton97> gHotButton;
QTimer* gHoverTimer = nullptr;
int32_t gButtonCount = 0;
QPixmap* gDither = nullptr;

const QPixmap& DitherBitmap()
{
    if (!gDither) {
        QImage I(8, 8, QImage::Format_RGB32);
        for (int Y = 0; Y < 8; ++Y)
            for (int X = 0; X < 8; ++X)
                I.setPixelColor(X, Y, (X % 2) == (Y % 2) ? kHighlight : kFace);
        gDither = new QPixmap(QPixmap::fromImage(I));
    }
    return *gDither;
}

void Edge(QPainter& P, const QRect& R, const QColor& TopLeft, const QColor& BottomRight)
{
    P.fillRect(R.left(), R.top(), R.width(), 1, TopLeft);
    P.fillRect(R.left(), R.top(), 1, R.height(), TopLeft);
    P.fillRect(R.left(), R.bottom(), R.width(), 1, BottomRight);
    P.fillRect(R.right(), R.top(), 1, R.height(), BottomRight);
}

// The glyph's opaque pixels: an explicit alpha channel, else everything
// but the bottom-left pixel's colour.
// Both by rows of 32-bit pixels: a disabled button makes its picture at
// every paint, and the window shows dozens of them at start-up.
QImage GlyphMask(const QImage& Glyph)
{
    QImage Mask(Glyph.size(), QImage::Format_ARGB32);
    Mask.fill(Qt::transparent);
    if (Glyph.isNull())
        return Mask;
    const QImage Source = Glyph.convertToFormat(QImage::Format_ARGB32);
    const bool Alpha = Glyph.hasAlphaChannel();
    const QRgb Transparent = Glyph.pixel(0, Glyph.height() - 1);
    for (int Y = 0; Y < Glyph.height(); ++Y) {
        const auto* In = reinterpret_cast<const QRgb*>(Source.constScanLine(Y));
        auto* Out = reinterpret_cast<QRgb*>(Mask.scanLine(Y));
        for (int X = 0; X < Glyph.width(); ++X) {
            const QRgb C = In[X];
            const bool Background = Alpha ? qAlpha(C) < 128 : C == Transparent;
            // A plain glyph's white and light grey count as background too.
            const bool Light = !Alpha && (C == 0xFFFFFFFF || C == 0xFFC0C0C0);
            if (!Background && !Light)
                Out[X] = 0xFF000000;
        }
    }
    return Mask;
}

QImage Tinted(const QImage& Mask, const QColor& Color)
{
    QImage R = Mask;
    const QRgb Tint = Color.rgba();
    for (int Y = 0; Y < R.height(); ++Y) {
        auto* Row = reinterpret_cast<QRgb*>(R.scanLine(Y));
        for (int X = 0; X < R.width(); ++X)
            if (qAlpha(Row[X]))
                Row[X] = Tint;
    }
    return R;
}

} // namespace

std::function<QWidget*()> TToolbarButton97::ControlUnderCursor = [] { return QApplication::widgetAt(QCursor::pos()); };

void ToolbarButtonHookProc(int32_t Code, QObject* Target, QEvent* Event)
{
    TToolbarButton97* Hot = gHotButton.data();
    if (!Hot)
        return;
    if (Code == hpAppActivateDeactivate) {
        if (!ApplicationIsActive() && !Hot->FShowBorderWhenInactive)
            Hot->MouseLeft();
    } else if (Code == hpGetMessageMouseMove) {
        // Window-system windows see every move first, and a parent sees the
        // moves its children pass on: only a move that lands elsewhere counts.
        if (Target == Hot || !Target->isWidgetType())
            return;
        auto* W = static_cast<QWidget*>(Target);
        const QPoint Global = static_cast<QMouseEvent*>(Event)->globalPosition().toPoint();
        if (W->isAncestorOf(Hot) && Hot->rect().contains(Hot->mapFromGlobal(Global)))
            return;
        Hot->MouseLeft();
    }
}

TButtonLayoutResult CalcButtonLayout(const QSize& Client, const QSize& GlyphSize, const QSize& TextSize,
                                     int32_t ArrowWidth, TButtonLayout97 Layout, int32_t Margin, int32_t Spacing)
{
    const bool Horizontal = Layout == blGlyphLeft || Layout == blGlyphRight;
    const auto Along = [Horizontal](const QSize& S) { return Horizontal ? S.width() : S.height(); };
    const auto Across = [Horizontal](const QSize& S) { return Horizontal ? S.height() : S.width(); };
    const QSize Arrow = ArrowWidth > 0 ? QSize(ArrowWidth, 3) : QSize(0, 0);
    const int32_t G = GlyphSize.isEmpty() ? 0 : Along(GlyphSize);
    const int32_t T = TextSize.isEmpty() ? 0 : Along(TextSize);
    const int32_t A = ArrowWidth > 0 ? (Horizontal ? Arrow.width() : Arrow.height()) : 0;
    if (GlyphSize.isEmpty() || TextSize.isEmpty())
        Spacing = 0;
    const int32_t Room = Along(Client);
    if (Margin == -1 && Spacing != -1) {
        Margin = (Room - (G + Spacing + T + A) + 1) / 2;
    } else if (Margin == -1) {
        Margin = (Room - (G + T + A)) / 3;
        Spacing = Margin;
    } else if (Spacing == -1) {
        Spacing = (Room - (Margin + G + A + T)) / 2;
    }
    int32_t GlyphAt = 0, TextAt = 0;
    if (Layout == blGlyphLeft || Layout == blGlyphTop) {
        GlyphAt = Margin;
        TextAt = Margin + G + Spacing;
    } else {
        GlyphAt = Room - Margin - A - G;
        TextAt = GlyphAt - Spacing - T;
    }
    const int32_t GlyphAcross = (Across(Client) - Across(GlyphSize) + 1) / 2;
    const int32_t TextAcross = (Across(Client) - Across(TextSize) + 1) / 2;
    TButtonLayoutResult R;
    if (Horizontal) {
        R.GlyphPos = QPoint(GlyphAt, GlyphAcross);
        R.TextRect = QRect(QPoint(TextAt, TextAcross), TextSize);
    } else {
        R.GlyphPos = QPoint(GlyphAcross, GlyphAt);
        R.TextRect = QRect(QPoint(TextAcross, TextAt), TextSize);
    }
    if (ArrowWidth > 0) {
        const int32_t End = std::max(G ? (Horizontal ? R.GlyphPos.x() + GlyphSize.width() : R.GlyphPos.y() + GlyphSize.height()) : 0,
                                     T ? (Horizontal ? R.TextRect.right() + 1 : R.TextRect.bottom() + 1) : 0);
        const QRect On = G ? QRect(R.GlyphPos, GlyphSize) : R.TextRect;
        if (Horizontal)
            R.ArrowRect = QRect(End + 1, On.top() + (On.height() - 3) / 2, ArrowWidth, 3);
        else
            R.ArrowRect = QRect(On.left() + (On.width() - ArrowWidth) / 2, End + 1, ArrowWidth, 3);
    }
    return R;
}

// ---------------------------------------------------------------------------

TToolbarButton97::TToolbarButton97(QWidget* Parent) : QWidget(Parent)
{
    resize(23, 22);
    setMouseTracking(true);
    if (gButtonCount++ == 0) {
        gHoverTimer = new QTimer();
        gHoverTimer->setInterval(125);
        gHoverTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(gHoverTimer, &QTimer::timeout, [] { HoverTick(); });
    }
    InstallHookProc(&ToolbarButtonHookProc, HookBit(hpAppActivateDeactivate) | HookBit(hpGetMessageMouseMove), false);
}

TToolbarButton97::~TToolbarButton97()
{
    if (gHotButton == this) {
        gHoverTimer->stop();
        gHotButton = nullptr;
    }
    UninstallHookProc(&ToolbarButtonHookProc);
    if (--gButtonCount == 0) {
        delete gHoverTimer;
        gHoverTimer = nullptr;
        delete gDither;
        gDither = nullptr;
    }
}

TToolbarButton97* TToolbarButton97::HotButton()
{
    return gHotButton.data();
}

int32_t TToolbarButton97::HoverInterval()
{
    return gHoverTimer ? gHoverTimer->interval() : 125;
}

bool TToolbarButton97::HoverTimerActive()
{
    return gHoverTimer && gHoverTimer->isActive();
}

void TToolbarButton97::HoverTick()
{
    TToolbarButton97* Hot = gHotButton.data();
    if (!Hot) {
        gHoverTimer->stop();
        return;
    }
    if (ControlUnderCursor() != Hot)
        Hot->MouseLeft();
}

void TToolbarButton97::Redraw()
{
    update();
}

// --- properties

void TToolbarButton97::SetAction(QAction* Value)
{
    if (FAction)
        disconnect(FAction, nullptr, this, nullptr);
    FAction = Value;
    if (!Value)
        return;
    connect(Value, &QAction::changed, this, [this] { ActionChanged(); });
    connect(Value, &QObject::destroyed, this, [this] { FAction = nullptr; });
    ActionChanged();
}

void TToolbarButton97::ActionChanged()
{
    QAction* A = FAction.data();
    if (!A)
        return;
    setEnabled(A->isEnabled());
    if (A->isCheckable() && FGroupIndex != 0) {
        // Released straight so a group that may not be all up still follows.
        if (A->isChecked() != FDown) {
            const bool All = FAllowAllUp;
            FAllowAllUp = true;
            SetDown(A->isChecked());
            FAllowAllUp = All;
        }
    }
}

void TToolbarButton97::SetAlignment(Qt::Alignment Value)
{
    FAlignment = Value;
    Redraw();
}

void TToolbarButton97::SetAllowAllUp(bool Value)
{
    FAllowAllUp = Value;
    UpdateExclusive();
}

void TToolbarButton97::SetCaption(const QString& Value)
{
    FCaption = Value;
    // The caption's accelerator clicks the button from anywhere in its window.
    delete FAccelerator;
    FAccelerator = nullptr;
    if (const QKeySequence Key = QKeySequence::mnemonic(Value); !Key.isEmpty()) {
        FAccelerator = new QShortcut(Key, this);
        connect(FAccelerator, &QShortcut::activated, this, [this] {
            if (isEnabled() && isVisible() && FDisplayMode != dmGlyphOnly)
                Click();
        });
    }
    Redraw();
}

void TToolbarButton97::SetDisplayMode(TButtonDisplayMode Value)
{
    FDisplayMode = Value;
    Redraw();
}

void TToolbarButton97::SetDown(bool Value)
{
    if (FGroupIndex == 0)
        Value = false;
    if (Value == FDown)
        return;
    if (FDown && !FAllowAllUp)
        return;
    FDown = Value;
    FState = !isEnabled() ? bsDisabled : Value ? bsExclusive : (FMouseInControl ? bsHot : bsUp);
    Redraw();
    if (Value)
        UpdateExclusive();
}

void TToolbarButton97::UpdateExclusive()
{
    if (FGroupIndex == 0 || !parentWidget())
        return;
    for (QObject* O : parentWidget()->children()) {
        auto* B = qobject_cast<TToolbarButton97*>(O);
        if (!B || B == this || B->FGroupIndex != FGroupIndex)
            continue;
        if (FDown && B->FDown) {
            B->FDown = false;
            B->FState = B->isEnabled() ? bsUp : bsDisabled;
            B->Redraw();
        }
        B->FAllowAllUp = FAllowAllUp;
    }
}

void TToolbarButton97::SetDropdownAlways(bool Value)
{
    FDropdownAlways = Value;
    UpdateUsesDropdown();
}

void TToolbarButton97::SetDropdownArrow(bool Value)
{
    FDropdownArrow = Value;
    Redraw();
}

void TToolbarButton97::SetDropdownArrowWidth(int32_t Value)
{
    FDropdownArrowWidth = Value;
    Redraw();
}

void TToolbarButton97::SetDropdownCombo(bool Value)
{
    FDropdownCombo = Value;
    Redraw();
}

void TToolbarButton97::SetDropdownMenu(QMenu* Value)
{
    FDropdownMenu = Value;
    UpdateUsesDropdown();
}

void TToolbarButton97::UpdateUsesDropdown()
{
    FUsesDropdown = FDropdownMenu || FDropdownAlways;
    Redraw();
}

void TToolbarButton97::SetFlat(bool Value)
{
    FFlat = Value;
    setAttribute(Qt::WA_OpaquePaintEvent, FOpaque || !FFlat);
    Redraw();
}

void TToolbarButton97::SetOpaque(bool Value)
{
    FOpaque = Value;
    setAttribute(Qt::WA_OpaquePaintEvent, FOpaque || !FFlat);
    Redraw();
}

void TToolbarButton97::SetGlyph(const QPixmap& Value)
{
    FGlyph = Value;
    // A strip of square images tells how many it holds.
    if (!Value.isNull() && Value.height() > 0 && Value.width() % Value.height() == 0)
        SetNumGlyphs(Value.width() / Value.height());
    Redraw();
}

void TToolbarButton97::SetGroupIndex(int32_t Value)
{
    FGroupIndex = Value;
    UpdateExclusive();
}

void TToolbarButton97::SetHighlightWhenDown(bool Value)
{
    FHighlightWhenDown = Value;
    Redraw();
}

void TToolbarButton97::SetImageIndex(int32_t Value)
{
    FImageIndex = Value;
    Redraw();
}

void TToolbarButton97::SetImages(const TImageList97* Value)
{
    FImages = Value;
    if (Value)
        FNumGlyphs = 1;
    Redraw();
}

void TToolbarButton97::SetLayout(TButtonLayout97 Value)
{
    FLayout = Value;
    Redraw();
}

void TToolbarButton97::SetMargin(int32_t Value)
{
    if (Value < -1)
        return;
    FMargin = Value;
    Redraw();
}

void TToolbarButton97::SetNoBorder(bool Value)
{
    FNoBorder = Value;
    Redraw();
}

void TToolbarButton97::SetNumGlyphs(int32_t Value)
{
    FNumGlyphs = (Value < 1 || Value > 5 || FImages) ? 1 : Value;
    Redraw();
}

void TToolbarButton97::SetSpacing(int32_t Value)
{
    FSpacing = Value;
    Redraw();
}

void TToolbarButton97::SetWordWrap(bool Value)
{
    FWordWrap = Value;
    Redraw();
}

// --- hot tracking

void TToolbarButton97::MouseEntered()
{
    if (!isEnabled() || FMouseInControl)
        return;
    FMouseInControl = true;
    if (FState == bsUp)
        FState = bsHot;
    if (FFlat || FNumGlyphs >= 5)
        Redraw();
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TToolbarButton97::MouseLeft()
{
    if (gHotButton == this) {
        gHotButton = nullptr;
        if (gHoverTimer)
            gHoverTimer->stop();
    }
    if (!isEnabled() || !FMouseInControl || FDragging)
        return;
    FMouseInControl = false;
    const TButtonState97 Old = FState;
    if (FState == bsHot || (FState == bsDown && !FMenuIsDown))
        FState = (FDown && FGroupIndex != 0) ? bsExclusive : bsUp;
    if (FFlat || FNumGlyphs >= 5 || (Old != FState && Old != bsHot))
        Redraw();
    if (OnMouseExit)
        OnMouseExit(this);
}

bool TToolbarButton97::event(QEvent* Event)
{
    switch (Event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
        if (gHotButton != this && ControlUnderCursor() == this) {
            if (TToolbarButton97* Old = gHotButton.data())
                Old->MouseLeft();
            if (FShowBorderWhenInactive || ApplicationIsActive() || QApplication::activeWindow()) {
                gHotButton = this;
                if (gHoverTimer)
                    gHoverTimer->start();
                MouseEntered();
            }
        }
        break;
    case QEvent::FontChange:
        Redraw();
        break;
    default:
        break;
    }
    return QWidget::event(Event);
}

void TToolbarButton97::changeEvent(QEvent* Event)
{
    if (Event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) {
            FState = bsDisabled;
            FMouseInControl = false;
            FDragging = false;
            if (gHotButton == this) {
                gHotButton = nullptr;
                gHoverTimer->stop();
            }
            if (FRepeatTimer)
                FRepeatTimer->stop();
        } else if (FState == bsDisabled) {
            FState = (FDown && FGroupIndex != 0) ? bsExclusive : bsUp;
        }
        Redraw();
    }
    QWidget::changeEvent(Event);
}

// --- pressing

bool TToolbarButton97::InsideMainPart(const QPoint& P) const
{
    QRect R = rect();
    if (FUsesDropdown && FDropdownCombo)
        R.setRight(R.right() - (FDropdownArrowWidth + 2));
    return R.contains(P);
}

void TToolbarButton97::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(Event);
        return;
    }
    if (FDropPresses) {
        // The press that closed this button's menu.
        FDropPresses = false;
        return;
    }
    MouseEntered();
    const int32_t X = int32_t(Event->position().x());
    FArrowPressed = FUsesDropdown && (!FDropdownCombo || X >= width() - (FDropdownArrowWidth + 2));
    if (!FDown)
        FState = bsDown;
    Redraw();
    if (!FArrowPressed) {
        FDragging = true;
        FInsideWhileDragging = true;
    }
    if (FArrowPressed) {
        Click();
    } else if (FRepeating) {
        Click();
        if (!FRepeatTimer) {
            FRepeatTimer = new QTimer(this);
            // A coarse timer may fire 5 % early; the delays are the user's.
            FRepeatTimer->setTimerType(Qt::PreciseTimer);
            connect(FRepeatTimer, &QTimer::timeout, this, [this] { RepeatTick(); });
        }
        FRepeatTimer->start(RepeatDelay);
    }
    FArrowPressed = false;
}

void TToolbarButton97::RepeatTick()
{
    FRepeatTimer->setInterval(RepeatInterval);
    if (FDragging && FInsideWhileDragging)
        Click();
    else
        FRepeatTimer->stop();
}

void TToolbarButton97::mouseMoveEvent(QMouseEvent* Event)
{
    Event->accept();
    if (!FDragging)
        return;
    const bool Inside = InsideMainPart(Event->position().toPoint());
    const TButtonState97 New = Inside ? (FDown ? bsExclusive : bsDown) : (FDown ? bsExclusive : bsUp);
    if (New != FState) {
        FState = New;
        Redraw();
    }
    if (Inside && !FInsideWhileDragging && FRepeating && FRepeatTimer && !FRepeatTimer->isActive())
        FRepeatTimer->start(RepeatInterval);
    FInsideWhileDragging = Inside;
}

void TToolbarButton97::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::RightButton && isEnabled()) {
        FDragging = false;
        MouseLeft();
        return;
    }
    if (Event->button() != Qt::LeftButton || !FDragging) {
        QWidget::mouseReleaseEvent(Event);
        return;
    }
    FDragging = false;
    if (FRepeatTimer)
        FRepeatTimer->stop();
    const bool Inside = InsideMainPart(Event->position().toPoint());
    if (!FDown)
        FState = Inside && FMouseInControl ? bsHot : bsUp;
    else
        FState = bsExclusive;
    if (Inside && !FRepeating)
        Click();
    else if (!Inside)
        MouseLeft();
    Redraw();
}

void TToolbarButton97::mouseDoubleClickEvent(QMouseEvent* Event)
{
    if (FDown && OnDblClick)
        OnDblClick(this);
    mousePressEvent(Event);
}

void TToolbarButton97::FrameworkClick()
{
    if (OnClick)
        OnClick(this);
    else if (FAction)
        FAction->trigger();
}

void TToolbarButton97::Click()
{
    if (FRepeating && !FArrowPressed) {
        FrameworkClick();
        return;
    }
    QPointer<TToolbarButton97> Self(this);
    FMenuIsDown = true;
    if (FGroupIndex != 0 && !FArrowPressed)
        SetDown(!FDown);
    if (FState == bsUp || FState == bsHot) {
        FState = bsDown;
        Redraw();
    }
    if (!FUsesDropdown || (FDropdownCombo && !FArrowPressed)) {
        FrameworkClick();
    } else {
        if (!FDropdownCombo)
            FrameworkClick();
        if (!Self)
            return;
        if (QWidget* G = mouseGrabber(); G == this)
            releaseMouse();
        bool ShowMenu = FDropdownMenu != nullptr;
        bool RemoveClicks = true;
        if (OnDropdown)
            OnDropdown(this, ShowMenu, RemoveClicks);
        if (Self && ShowMenu && FDropdownMenu) {
            QPoint At;
            switch (ControlDockPosition(this)) {
            case dpLeft: At = mapToGlobal(QPoint(width(), 0)); break;
            case dpRight: At = mapToGlobal(QPoint(0, 0)) - QPoint(FDropdownMenu->sizeHint().width(), 0); break;
            default: At = mapToGlobal(QPoint(0, height())); break;
            }
            // A press that closes the menu over this button must not press it
            // again, whether it comes while the menu closes or just after; one
            // meant for another control still reaches that control.
            FDropPresses = RemoveClicks;
            FDropdownMenu->exec(At);
            if (Self && RemoveClicks)
                QTimer::singleShot(0, this, [this] { FDropPresses = false; });
        }
    }
    if (!Self)
        return;
    FMenuIsDown = false;
    if (FState == bsDown)
        FState = (FDown && FGroupIndex != 0) ? bsExclusive : bsUp;
    Redraw();
    if (FMouseInControl && ControlUnderCursor() != this)
        MouseLeft();
}

// --- painting

QPixmap DisabledGlyph97(const QImage& Glyph)
{
    const QImage Mask = GlyphMask(Glyph);
    QImage Out(Glyph.width() + 1, Glyph.height() + 1, QImage::Format_ARGB32);
    Out.fill(Qt::transparent);
    QPainter P(&Out);
    P.drawImage(1, 1, Tinted(Mask, kHighlight));
    P.drawImage(0, 0, Tinted(Mask, kShadow));
    P.end();
    return QPixmap::fromImage(Out);
}

QPixmap TToolbarButton97::StateImage(TButtonState97 State)
{
    QImage Base;
    int32_t Count = 1;
    if (FImages) {
        if (FImageIndex >= 0 && size_t(FImageIndex) < FImages->Images.size())
            Base = FImages->Images[size_t(FImageIndex)].toImage();
    } else if (!FGlyph.isNull()) {
        Count = FNumGlyphs;
        const int32_t W = FGlyph.width() / Count;
        const int32_t Index = int32_t(State);
        if (Index > 0 && Index < Count)
            return FGlyph.copy(Index * W, 0, W, FGlyph.height());
        Base = FGlyph.copy(0, 0, W, FGlyph.height()).toImage();
    }
    if (Base.isNull())
        return QPixmap();
    if (State != bsDisabled)
        return QPixmap::fromImage(Base);
    return DisabledGlyph97(Base);
}

void TToolbarButton97::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    if (FOpaque || !FFlat)
        P.fillRect(rect(), palette().color(QPalette::Button));
    const bool Combo = FUsesDropdown && FDropdownCombo;
    const bool ShowBorder = !FNoBorder && (!FFlat || FDown || FState == bsExclusive || FState == bsDown ||
                                           (FState == bsHot && isEnabled()));
    const bool Pressed = FState == bsExclusive || (FState == bsDown && !(Combo && FArrowPressed));
    QRect Main = rect();
    if (Combo) {
        const QRect ArrowPart(width() - 2 - FDropdownArrowWidth, 0, FDropdownArrowWidth + 2, height());
        if (ShowBorder)
            Edge(P, ArrowPart, FMenuIsDown ? kShadow : kHighlight, FMenuIsDown ? kHighlight : kShadow);
        const int32_t CX = ArrowPart.left() + (ArrowPart.width() - 5) / 2;
        const int32_t CY = ArrowPart.height() / 2 - 1;
        for (int I = 0; I < 3; ++I)
            P.fillRect(CX + I, CY + I, 5 - 2 * I, 1, isEnabled() ? palette().color(QPalette::WindowText) : kShadow);
        Main.setRight(ArrowPart.left() - 1);
    }
    if (ShowBorder) {
        if (FFlat) {
            Edge(P, Main, Pressed ? kShadow : kHighlight, Pressed ? kHighlight : kShadow);
        } else {
            Edge(P, Main, Pressed ? kDkShadow : kHighlight, Pressed ? kHighlight : kDkShadow);
            Edge(P, Main.adjusted(1, 1, -1, -1), Pressed ? kShadow : kLight, Pressed ? kLight : kShadow);
        }
    }
    QRect Content = FNoBorder ? Main : Main.adjusted(FFlat ? 1 : 2, FFlat ? 1 : 2, FFlat ? -1 : -2, FFlat ? -1 : -2);
    if (FState == bsExclusive && !(FFlat && FMouseInControl) && FHighlightWhenDown)
        P.drawTiledPixmap(Content, DitherBitmap());
    const QPixmap Image = FDisplayMode == dmTextOnly ? QPixmap() : StateImage(isEnabled() ? FState : bsDisabled);
    const QString Text = FDisplayMode == dmGlyphOnly ? QString() : FCaption;
    const QFontMetrics FM(font());
    const int TextFlags = FWordWrap ? Qt::TextWordWrap : Qt::TextSingleLine;
    const QSize TextSize = Text.isEmpty() ? QSize()
                                          : FM.boundingRect(QRect(0, 0, std::max(Content.width() - 8, 1), 1000),
                                                            TextFlags | Qt::TextShowMnemonic, Text)
                                                .size();
    const int32_t ArrowW = (FUsesDropdown && !FDropdownCombo && FDropdownArrow) ? FDropdownArrowWidth : 0;
    const TButtonLayoutResult L =
        CalcButtonLayout(Content.size(), Image.size(), TextSize, ArrowW, FLayout, FMargin, FSpacing);
    const QPoint Offset = Content.topLeft() + (Pressed ? QPoint(1, 1) : QPoint(0, 0));
    if (!Image.isNull())
        P.drawPixmap(L.GlyphPos + Offset, Image);
    if (!Text.isEmpty()) {
        const int Align = int(FAlignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | TextFlags | Qt::TextShowMnemonic;
        if (!isEnabled()) {
            P.setPen(kHighlight);
            P.drawText(L.TextRect.translated(Offset + QPoint(1, 1)), Align, Text);
            P.setPen(kShadow);
        } else {
            P.setPen(palette().color(QPalette::ButtonText));
        }
        P.drawText(L.TextRect.translated(Offset), Align, Text);
    }
    if (ArrowW > 0) {
        const QRect A = L.ArrowRect.translated(Offset);
        const int32_t CX = A.left() + (A.width() - 5) / 2;
        const auto Triangle = [&](int32_t DX, const QColor& C) {
            for (int I = 0; I < 3; ++I)
                P.fillRect(CX + DX + I, A.top() + DX + I, 5 - 2 * I, 1, C);
        };
        if (isEnabled()) {
            Triangle(0, palette().color(QPalette::ButtonText));
        } else {
            Triangle(1, kHighlight);
            Triangle(0, kShadow);
        }
    }
}
