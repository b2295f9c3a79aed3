#include "ui/edit_track_bar_wex.h"

#include "foundation/numbers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "platform/qt/qt_services.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionSlider>
#include <QFontMetrics>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace {

constexpr int RepeatButtonWidth = 12;
constexpr int PopupTrackBarHeight = 29;
constexpr int PopupLabelTop = 24;
constexpr int PopupLeastWidth = 200;
constexpr int MaxLabels = 100;

// X rounded to a multiple of 10^E. Negative powers divide by their exact
// reciprocal, so that 1.23 stays the double nearest to 1.23.
double RoundToPower(double X, int E)
{
    if (E >= 0) {
        const double Q = std::pow(10.0, E);
        return double(RoundOff(X / Q)) * Q;
    }
    const double R = std::pow(10.0, -E);
    return double(RoundOff(X * R)) / R;
}

// The step of the 1-2-...-9 ladder that X stands on: nine steps a decade.
int32_t LadderStep(double X)
{
    const double L = std::log10(X);
    const double Whole = std::trunc(L);
    return Sat32(int64_t(Whole) * 9 + RoundOff(std::pow(10.0, L - Whole) - 1));
}

double LadderValue(int32_t M)
{
    return std::pow(10.0, M / 9) * (M % 9 + 1);
}

bool IsSteppingKey(int Key)
{
    return Key == Qt::Key_PageUp || Key == Qt::Key_PageDown || Key == Qt::Key_Up || Key == Qt::Key_Down;
}

} // namespace

// ---------------------------------------------------------------- TTimerSpeedButtonWex

TTimerSpeedButtonWex::TTimerSpeedButtonWex(QWidget* Parent) : TSpeedButtonWex(Parent) {}

TTimerSpeedButtonWex::~TTimerSpeedButtonWex() = default;

void TTimerSpeedButtonWex::mousePressEvent(QMouseEvent* Event)
{
    TSpeedButtonWex::mousePressEvent(Event);
    if (Event->button() != Qt::LeftButton)
        return;
    if (!FTimer) {
        FTimer = std::make_unique<QTimer>();
        FTimer->setTimerType(Qt::PreciseTimer);
        connect(FTimer.get(), &QTimer::timeout, this, [this] {
            FTimer->setInterval(RepeatInterval);
            if (isDown() && OnClick)
                OnClick(this);
        });
    }
    FTimer->start(RepeatDelay);
    if (OnClick)
        OnClick(this);
}

void TTimerSpeedButtonWex::mouseReleaseEvent(QMouseEvent* Event)
{
    if (FTimer)
        FTimer->stop();
    TSpeedButtonWex::mouseReleaseEvent(Event);
}

// ---------------------------------------------------------------- TTrackBarWex

TTrackBarWex::TTrackBarWex(QWidget* Parent) : QSlider(Qt::Horizontal, Parent) {}

void TTrackBarWex::SetTick(int Position)
{
    FTicks.push_back(Position);
    update();
}

void TTrackBarWex::ClearTicks()
{
    FTicks.clear();
    update();
}

int TTrackBarWex::PositionX(int Position) const
{
    QStyleOptionSlider Opt;
    initStyleOption(&Opt);
    const QRect Groove = style()->subControlRect(QStyle::CC_Slider, &Opt, QStyle::SC_SliderGroove, this);
    const QRect Handle = style()->subControlRect(QStyle::CC_Slider, &Opt, QStyle::SC_SliderHandle, this);
    return Groove.x() +
           QStyle::sliderPositionFromValue(minimum(), maximum(), Position, Groove.width() - Handle.width(),
                                           Opt.upsideDown) +
           Handle.width() / 2;
}

int TTrackBarWex::PositionAtX(int X) const
{
    QStyleOptionSlider Opt;
    initStyleOption(&Opt);
    const QRect Groove = style()->subControlRect(QStyle::CC_Slider, &Opt, QStyle::SC_SliderGroove, this);
    const QRect Handle = style()->subControlRect(QStyle::CC_Slider, &Opt, QStyle::SC_SliderHandle, this);
    const int Span = Groove.width() - Handle.width();
    const int Pixel = std::clamp(X - Groove.x() - Handle.width() / 2, 0, std::max(0, Span));
    return QStyle::sliderValueFromPosition(minimum(), maximum(), Pixel, Span, Opt.upsideDown);
}

QPoint TTrackBarWex::ThumbCentre() const
{
    QStyleOptionSlider Opt;
    initStyleOption(&Opt);
    return style()->subControlRect(QStyle::CC_Slider, &Opt, QStyle::SC_SliderHandle, this).center();
}

void TTrackBarWex::paintEvent(QPaintEvent*)
{
    // Groove, selection, thumb: the selection lies in the channel under the thumb.
    QPainter P(this);
    QStyleOptionSlider Opt;
    initStyleOption(&Opt);
    const QStyle::SubControls Active = Opt.activeSubControls;
    Opt.subControls = QStyle::SC_SliderGroove;
    style()->drawComplexControl(QStyle::CC_Slider, &Opt, &P, this);
    const QRect Groove = style()->subControlRect(QStyle::CC_Slider, &Opt, QStyle::SC_SliderGroove, this);
    if (EnableSelRange && SelEnd > SelStart) {
        const int X0 = PositionX(std::max(SelStart, minimum()));
        const int X1 = PositionX(std::min(SelEnd, maximum()));
        P.fillRect(X0, Groove.center().y() - 1, X1 - X0 + 1, 3, palette().color(QPalette::Highlight));
    }
    Opt.subControls = QStyle::SC_SliderHandle;
    Opt.activeSubControls = Active;
    style()->drawComplexControl(QStyle::CC_Slider, &Opt, &P, this);
    // The ticks just under the thumb.
    const int Y0 = style()->subControlRect(QStyle::CC_Slider, &Opt, QStyle::SC_SliderHandle, this).bottom() + 1;
    P.setPen(palette().color(QPalette::WindowText));
    auto Tick = [&](int Position) { P.drawLine(PositionX(Position), Y0, PositionX(Position), Y0 + 2); };
    Tick(minimum());
    Tick(maximum());
    for (int T : FTicks)
        Tick(T);
}

void TTrackBarWexChild::mouseReleaseEvent(QMouseEvent* Event)
{
    TTrackBarWex::mouseReleaseEvent(Event);
    if (OnMouseUp)
        OnMouseUp(this);
}

// ---------------------------------------------------------------- TfrmPopup

TfrmPopup::TfrmPopup(TCustomEditTrackBarWex* Edit)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint), FTrackBar(new TTrackBarWexChild(this))
{
    // It never takes the focus: the edit keeps it, and the held button of the
    // edit drives the track bar.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    QFont F = font();
    F.setPixelSize(12);
    setFont(F);
    const int Width = std::max(PopupLeastWidth, Edit->width());
    resize(Width, PopupTrackBarHeight + 8 + 2);

    TTrackBarWexChild* T = FTrackBar;
    T->setFocusPolicy(Qt::NoFocus);
    T->EnableSelRange = false;
    T->setGeometry(1, 1, Width - 2, PopupTrackBarHeight);
    T->setRange(0, Edit->TrackBarCount() - 1);
    T->setSingleStep(std::max<int>(1, Sat32(RoundOff(Edit->LineSize / Edit->Precision()))));
    T->setPageStep(std::max<int>(1, Sat32(RoundOff(Edit->PageSize / Edit->Precision()))));
    T->setValue(Edit->TrackBarIndex(Edit->Position()));

    // Labels on a round scale: in values, in decades or in ladder steps.
    double Low = 0;
    double High = 0;
    Edit->TrackBarRange(Low, High);
    const TEditTrackBarWexStyle Style = Edit->TrackBarStyle();
    auto Unit = [Style](double V) {
        return Style == etbksNormal ? V : Style == etbksExp1 ? std::log10(V) : double(LadderStep(V));
    };
    auto ValueOfUnit = [Style](double U) {
        return Style == etbksNormal ? U : Style == etbksExp1 ? std::pow(10.0, U) : LadderValue(Sat32(RoundOff(U)));
    };
    std::vector<std::pair<QLabel*, int>> Placed;
    auto AddLabel = [this, &Placed](double Value, int Position) {
        auto* L = new QLabel(QString::fromStdString(FloatToStr(RoundToDigits(3, Value))), this);
        L->adjustSize();
        Placed.emplace_back(L, Position);
    };
    AddLabel(Edit->TrackBarValue(0), 0);
    double Lower = 0;
    double Upper = 0;
    double Step = 0;
    NiceScale(Lower, Upper, Step, Unit(Low), Unit(High));
    const double Last = Unit(High) - Step / 2 + Edit->LineSize;
    for (int J = 1; Step > 0 && J <= MaxLabels; ++J) {
        const double V = Lower + J * Step;
        if (!(V < Last))
            break;
        const double Value = ValueOfUnit(V);
        const int Position = Edit->TrackBarIndex(Value);
        T->SetTick(Position);
        AddLabel(Value, Position);
    }
    PlaceLabels(Placed);
    connect(T, &QSlider::valueChanged, Edit, [Edit](int Index) { Edit->TrackBarMoved(Index); });
    T->OnMouseUp = [Edit](QObject*) { Edit->ClosePopup(); };
}

void TfrmPopup::PlaceLabels(const std::vector<std::pair<QLabel*, int>>& Placed)
{
    // Each label stands centred under its tick; those at the ends are moved
    // inside the pop-up rather than widening it, and a round value too close
    // to the lower end's label (-300 beside -360) is left out. Long numbers
    // on a short bar would still run into each other: then the pop-up grows
    // by an eighth at a time until every label stands apart, at most to the
    // screen's width.
    constexpr int Gap = 6;
    const QScreen* S = QGuiApplication::primaryScreen();
    const int Widest = std::max(width(), S ? S->availableGeometry().width() : 1600);
    TTrackBarWexChild* T = FTrackBar;
    for (int Width = width();; Width = std::min(Widest, Width + std::max(16, Width / 8))) {
        resize(Width, height());
        T->setGeometry(1, 1, Width - 2, PopupTrackBarHeight);
        int Right = 1 - Gap;
        bool Fits = true;
        for (size_t I = 0; I < Placed.size(); ++I) {
            QLabel* L = Placed[I].first;
            const int Centred = T->x() + T->PositionX(Placed[I].second) - L->width() / 2;
            const int X = std::max(1, std::min(Centred, Width - 1 - L->width()));
            L->move(X, T->y() + PopupLabelTop);
            const bool Apart = X >= Right + Gap;
            const bool BesideFirst = I == 1 && Placed.size() > 2;
            L->setVisible(Apart || !BesideFirst);
            if (L->isHidden())
                continue;
            Fits = Fits && Apart;
            Right = X + L->width();
        }
        if (Fits || Width >= Widest)
            break;
    }
}

std::vector<QLabel*> TfrmPopup::Labels() const
{
    std::vector<QLabel*> Shown;
    for (QLabel* L : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (!L->isHidden())
            Shown.push_back(L);
    return Shown;
}

void TfrmPopup::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.fillRect(rect(), palette().color(QPalette::Window));
    P.setPen(Qt::black);
    P.drawRect(rect().adjusted(0, 0, -1, -1));
}

QPoint PopupPlace(int MouseX, int ThumbX, int Top, QSize Size, const QRect& Area)
{
    const int X = std::clamp(MouseX - ThumbX, Area.left(), std::max(Area.left(), Area.right() + 1 - Size.width()));
    const int Y = std::clamp(Top, Area.top(), std::max(Area.top(), Area.bottom() + 1 - Size.height()));
    return QPoint(X, Y);
}

// ---------------------------------------------------------------- TCustomEditTrackBarWex

TCustomEditTrackBarWex::TCustomEditTrackBarWex(QWidget* Parent)
    : TCustomEditWex(Parent), FUp(new TTimerSpeedButtonWex(this)), FDown(new TTimerSpeedButtonWex(this))
{
    SetStyle(eksEllipsis);
    EllipsisButton()->SetGlyph(":/bitmaps/ETBKDIV");
    FUp->SetGlyph(":/bitmaps/ETBKUP");
    FDown->SetGlyph(":/bitmaps/ETBKDOWN");
    for (TTimerSpeedButtonWex* B : {FUp, FDown}) {
        const bool Up = B == FUp;
        B->OnMouseDown = [this](QObject*, QMouseEvent*) {
            if (isEnabled() && isVisible() && focusPolicy() != Qt::NoFocus)
                setFocus(Qt::MouseFocusReason);
        };
        B->OnClick = [this, Up](QObject*) { ButtonStep(Up); };
        B->OnMouseUp = [this](QObject*, QMouseEvent*) { EndModify(); };
    }
    UpdateInputType();
    Reapply();
    UpdateLayout();
}

TCustomEditTrackBarWex::~TCustomEditTrackBarWex()
{
    FPopup.reset();
}

double TCustomEditTrackBarWex::Limited(double Value) const
{
    Value = double(RoundOff(Value / FPrecision)) * FPrecision;
    if (Value > FMax)
        Value = FMax;
    if (Value < FMin)
        Value = FMin;
    return Value;
}

void TCustomEditTrackBarWex::PutPosition(double Value)
{
    Value = Limited(Value);
    FPosition = Value;
    if (FUpdating != 0)
        return;
    FWriting = true;
    setText(ShownText(Value));
    FWriting = false;
}

QString TCustomEditTrackBarWex::ShownText(double Value) const
{
    return FHex ? QString::number(uint32_t(Sat32(RoundOff(Value))), 16).toUpper()
                : QString::fromStdString(FloatToStr(Value));
}

void TCustomEditTrackBarWex::Reapply()
{
    PutPosition(FPosition);
    FCommittedText = text();
    FTyped = false;
}

void TCustomEditTrackBarWex::SetPosition(double Value)
{
    PutPosition(Value);
    FCommittedText = text();
    FTyped = false;
}

void TCustomEditTrackBarWex::SetMin(double Value)
{
    FMin = Value;
    if (FMin > FMax)
        FMax = FMin;
    Reapply();
    UpdateInputType();
}

void TCustomEditTrackBarWex::SetMax(double Value)
{
    FMax = Value;
    if (FMax < FMin)
        FMin = FMax;
    Reapply();
    UpdateInputType();
}

void TCustomEditTrackBarWex::SetPrecision(double Value)
{
    if (!(Value > 0))
        return;
    if (FHex && Value != 1)
        throw EUserError("TCustomEditTrackBarWex.SetPrecision: (Value <> 1) and (Hex)");
    FPrecision = Value;
    Reapply();
    UpdateInputType();
}

void TCustomEditTrackBarWex::SetTrackBarMin(double Value)
{
    FTrackBarMin = Value;
    if (FTrackBarMin > FTrackBarMax)
        FTrackBarMax = FTrackBarMin;
}

void TCustomEditTrackBarWex::SetTrackBarMax(double Value)
{
    FTrackBarMax = Value;
    if (FTrackBarMax < FTrackBarMin)
        FTrackBarMin = FTrackBarMax;
}

void TCustomEditTrackBarWex::SetTrackBarStyle(TEditTrackBarWexStyle Value)
{
    FTrackBarStyle = Value;
    if (Value != etbksNormal && !(FMin > 0))
        SetMin(FPrecision);
}

void TCustomEditTrackBarWex::SetHex(bool Value)
{
    if (Value == FHex)
        return;
    FHex = Value;
    SetPrecision(1);
    Reapply(); // the text changes base even when the precision was 1 already
}

void TCustomEditTrackBarWex::SetButtons(TEditTrackBarWexButtons Value)
{
    if (Value == FButtons)
        return;
    FButtons = Value;
    SetStyle(FButtons & etbkbTrackBar ? eksEllipsis : eksSimple);
    FUp->setVisible(FButtons & etbkbUpDown);
    FDown->setVisible(FButtons & etbkbUpDown);
    UpdateLayout();
}

void TCustomEditTrackBarWex::UpdateInputType()
{
    if (FHex)
        InputType = ekitHex;
    else if (FPrecision != std::floor(FPrecision))
        InputType = FMin >= 0 ? ekitPlusReal : ekitReal;
    else
        InputType = FMin >= 0 ? ekitPlusInteger : ekitInteger;
}

int TCustomEditTrackBarWex::LayoutButtons()
{
    int Width = TCustomEditWex::LayoutButtons();
    if (FButtons & etbkbUpDown) {
        const int H = (height() - 4) / 2;
        const int X = width() - 2 - Width - RepeatButtonWidth;
        FUp->setGeometry(X, 2, RepeatButtonWidth, H);
        FDown->setGeometry(X, 2 + H, RepeatButtonWidth, H);
        Width += RepeatButtonWidth;
    }
    return Width;
}

double TCustomEditTrackBarWex::RoundSignificant(double Value) const
{
    const double M = std::max(std::fabs(FMax), std::fabs(FMin));
    if (M == 0)
        return 0;
    return RoundToPower(Value, int(std::floor(std::log10(M) - 3)));
}

QString TCustomEditTrackBarWex::WidestText() const
{
    // The ends of the range and the values one step inside them: those have
    // the most digits before and after the point.
    auto Shown = [this](double Value) { return ShownText(Limited(Value)); };
    const QFontMetrics Metrics(font());
    QString Widest;
    for (double Value : {FMin, FMax, FMin + FPrecision, FMax - FPrecision}) {
        const QString Text = Shown(Value);
        if (Metrics.horizontalAdvance(Text) > Metrics.horizontalAdvance(Widest))
            Widest = Text;
    }
    return Widest;
}

namespace {

// Digits after the point in the text of X ("0.25" has two).
int Decimals(const std::string& Text)
{
    const size_t Point = Text.find('.');
    if (Point == std::string::npos)
        return 0;
    size_t End = Point + 1;
    while (End < Text.size() && Text[End] >= '0' && Text[End] <= '9')
        ++End;
    return int(End - Point - 1);
}

} // namespace

TCustomEditTrackBarWex::TTyped TCustomEditTrackBarWex::ReadTyped(const QString& Text) const
{
    TTyped T;
    const std::string S = Text.trimmed().toStdString();
    if (S.empty())
        return T;
    if (FHex) {
        for (char C : S) {
            if (!std::isxdigit(static_cast<unsigned char>(C)))
                return T;
            T.Number = T.Number * 16 + HexDigitValue(C);
        }
    } else {
        T.Number = StrToFloatDef(S, std::numeric_limits<double>::quiet_NaN());
        if (!std::isfinite(T.Number))
            return T; // "-", "." and the like: no number yet
    }
    if (RefuseBelowMin && T.Number < FMin) {
        T.Refused = true;
        return T;
    }
    // Past a limit: more digits only take a number further from zero, so a
    // number past the limit on its own side of zero stays past it and is the
    // limit now; one on the other side may yet come into the range.
    T.Kind = TTyped::Taken;
    if (T.Number > FMax || T.Number < FMin) {
        const bool Above = T.Number > FMax;
        if (Above ? T.Number <= 0 : T.Number >= 0)
            T.Kind = TTyped::Short;
        T.Reshow = T.Kind == TTyped::Taken;
    } else {
        // Digits finer than the quantum cannot be stored: shown as stored.
        T.Reshow = !FHex && Decimals(S) > Decimals(FloatToStr(FPrecision));
    }
    T.Value = Limited(T.Number);
    return T;
}

void TCustomEditTrackBarWex::TextChanged()
{
    if (FReverting)
        return;
    // The control's own text, or the owner's inside the update counter.
    if (FWriting || FUpdating != 0) {
        TCustomEditWex::TextChanged();
        return;
    }
    // What the user types is the value at once, so that a live change sees it.
    const TTyped T = ReadTyped(text());
    if (T.Kind != TTyped::Taken)
        return; // no value yet: nothing changes
    FTyped = true;
    if (T.Reshow) {
        if (T.Number > FMax || T.Number < FMin)
            MessageBeep(0);
        PutPosition(T.Number); // shows it, and tells the owner
        return;
    }
    ++FUpdating;
    PutPosition(T.Number);
    --FUpdating;
    TCustomEditWex::TextChanged();
}

void TCustomEditTrackBarWex::Settle()
{
    if (FUpdating != 0)
        return;
    const TTyped T = ReadTyped(text());
    switch (T.Kind) {
    case TTyped::Taken:
        // "1.0", "05", "-0": the value's own text.
        if (text() != ShownText(T.Value))
            PutPosition(T.Number);
        break;
    case TTyped::Short:
        MessageBeep(0);
        FTyped = true;
        PutPosition(T.Number);
        break;
    case TTyped::None:
        if (T.Refused)
            MessageBeep(0);
        if (text() == FCommittedText)
            break; // nothing typed: a mixed value stays empty
        if (FTyped) {
            PutPosition(FPosition); // the last value taken, which the owner has
        } else {
            FWriting = true;
            setText(FCommittedText);
            FWriting = false;
        }
        break;
    }
}

void TCustomEditTrackBarWex::DoExit()
{
    Settle();
    TCustomEditWex::DoExit();
}

void TCustomEditTrackBarWex::StartModify()
{
    if (FModifying)
        return;
    FModifying = true;
    if (OnModifyStart)
        OnModifyStart(this);
}

void TCustomEditTrackBarWex::EndModify()
{
    if (!FModifying)
        return;
    FModifying = false;
    if (OnModifyEnd)
        OnModifyEnd(this);
    // The end of a run is a commit as Enter is: a text typed before it that
    // holds no value yet (the pop-up opened and closed without a move)
    // settles first, so that a commit always carries a value.
    Settle();
    Commit();
}

void TCustomEditTrackBarWex::Commit()
{
    if (text().isEmpty() || text() == FCommittedText)
        return;
    FCommittedText = text();
    FTyped = false;
    if (OnCommit)
        OnCommit(this);
}

void TCustomEditTrackBarWex::StepTo(double Value)
{
    if (Wrap) {
        if (Value > FMax)
            Value = FMin;
        else if (Value < FMin)
            Value = FMax;
    } else {
        Value = std::clamp(Value, FMin, FMax);
    }
    const int Caret = cursorPosition();
    PutPosition(RoundSignificant(Value));
    setCursorPosition(Caret);
}

void TCustomEditTrackBarWex::Step(bool Up, double Size, double Below)
{
    if (!(Size > 0))
        return;
    const double P = FPosition;
    StepTo(Up ? std::floor((P + 0.01 * FPrecision) / Size) * Size + Size : std::floor((P - Below) / Size) * Size);
}

void TCustomEditTrackBarWex::ButtonStep(bool Up)
{
    StartModify();
    Step(Up, GetAsyncShiftState() == ssShift ? PageSize : LineSize, 0.01 * FPrecision);
}

bool TCustomEditTrackBarWex::event(QEvent* Event)
{
    // Escape during a drag is the edit's, before any shortcut of its window.
    if (Event->type() == QEvent::ShortcutOverride && FPopup &&
        static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Escape) {
        Event->accept();
        return true;
    }
    return TCustomEditWex::event(Event);
}

void TCustomEditTrackBarWex::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape && FPopup) {
        CancelDrag();
        Event->accept();
        return;
    }
    const Qt::KeyboardModifiers Mods = Event->modifiers() & ~(Qt::KeypadModifier | Qt::ControlModifier);
    if (IsSteppingKey(Event->key()) && Mods == Qt::NoModifier) {
        StartModify();
        const bool Page = Event->key() == Qt::Key_PageUp || Event->key() == Qt::Key_PageDown;
        const bool Up = Event->key() == Qt::Key_PageUp || Event->key() == Qt::Key_Up;
        Step(Up, Page ? PageSize : LineSize, FPrecision);
        Event->accept();
        return;
    }
    if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter)
        CommitTyped();
    // Escape with nothing to put back goes on (a dialog's cancel).
    if (Event->key() == Qt::Key_Escape && OnRevert && !FModifying && (FTyped || text() != FCommittedText)) {
        Revert();
        Event->accept();
        return;
    }
    TCustomEditWex::keyPressEvent(Event);
}

void TCustomEditTrackBarWex::CommitTyped()
{
    if (FPopup) {
        ClosePopup(); // ends the run, which commits
        return;
    }
    if (FModifying) {
        EndModify();
        return;
    }
    Settle();
    Commit();
}

void TCustomEditTrackBarWex::Revert()
{
    // The value the text shows, as the owner had it at that commit.
    const TTyped T = ReadTyped(FCommittedText);
    if (T.Kind == TTyped::Taken)
        FPosition = T.Value;
    FReverting = true;
    setText(FCommittedText);
    FReverting = false;
    FTyped = false;
    selectAll();
    if (OnRevert)
        OnRevert(this);
}

void TCustomEditTrackBarWex::CancelDrag()
{
    TfrmPopup* P = FPopup.release();
    P->hide();
    P->deleteLater();
    // The owner takes the value back as it took each step, live.
    FPosition = FDragStartPosition;
    FWriting = true;
    setText(FDragStartText);
    FWriting = false;
    FTyped = FDragStartTyped;
    // The run ends without its commit: the drag is undone, not taken.
    if (FModifying) {
        FModifying = false;
        if (OnModifyEnd)
            OnModifyEnd(this);
    }
    if (OnRevert && !FTyped && text() == FCommittedText)
        OnRevert(this);
}

void TCustomEditTrackBarWex::keyReleaseEvent(QKeyEvent* Event)
{
    // A held key repeats as pairs of press and release: the run ends at the
    // real release only.
    if (IsSteppingKey(Event->key()) && !Event->isAutoRepeat())
        EndModify();
    TCustomEditWex::keyReleaseEvent(Event);
}

void TCustomEditTrackBarWex::mouseReleaseEvent(QMouseEvent* Event)
{
    TCustomEditWex::mouseReleaseEvent(Event);
    EndModify();
}

void TCustomEditTrackBarWex::focusInEvent(QFocusEvent* Event)
{
    FCommittedText = text();
    FTyped = false;
    TCustomEditWex::focusInEvent(Event);
}

void TCustomEditTrackBarWex::focusOutEvent(QFocusEvent* Event)
{
    ClosePopup();
    TCustomEditWex::focusOutEvent(Event);
    if (IsLeaving(Event))
        Commit();
}

void TCustomEditTrackBarWex::hideEvent(QHideEvent* Event)
{
    ClosePopup();
    TCustomEditWex::hideEvent(Event);
}

// ---------------------------------------------------------------- pop-up track bar

void TCustomEditTrackBarWex::TrackBarRange(double& Low, double& High) const
{
    if (FTrackBarMin < FTrackBarMax) {
        Low = std::max(FMin, FTrackBarMin);
        High = std::min(FMax, FTrackBarMax);
    } else {
        Low = FMin;
        High = FMax;
    }
}

int TCustomEditTrackBarWex::TrackBarCount() const
{
    double Low = 0;
    double High = 0;
    TrackBarRange(Low, High);
    int64_t N = 1;
    switch (FTrackBarStyle) {
    case etbksNormal:
        N = LineSize > 0 ? RoundOff((High - Low) / LineSize) + 1 : 1;
        break;
    case etbksExp1:
        N = LineSize > 0 ? RoundOff((std::log10(High) - std::log10(Low)) / LineSize) + 1 : 1;
        break;
    case etbksExp2:
        N = int64_t(LadderStep(High)) - LadderStep(Low) + 1;
        break;
    }
    return int(std::clamp<int64_t>(N, 1, std::numeric_limits<int>::max()));
}

double TCustomEditTrackBarWex::TrackBarValue(int Index) const
{
    double Low = 0;
    double High = 0;
    TrackBarRange(Low, High);
    switch (FTrackBarStyle) {
    case etbksNormal: {
        const double V = Low + Index * LineSize;
        if (std::fabs(V) < LineSize / 2)
            return 0;
        return RoundToDigits(3, double(RoundOff(V / LineSize)) * LineSize);
    }
    case etbksExp1:
        return std::pow(10.0, std::log10(Low) + Index * LineSize);
    case etbksExp2:
        return LadderValue(LadderStep(Low) + Index);
    }
    return Low;
}

int TCustomEditTrackBarWex::TrackBarIndex(double Value) const
{
    double Low = 0;
    double High = 0;
    TrackBarRange(Low, High);
    int64_t I = 0;
    switch (FTrackBarStyle) {
    case etbksNormal:
        I = LineSize > 0 ? RoundOff((Value - Low) / LineSize) : 0;
        break;
    case etbksExp1:
        I = LineSize > 0 && Value > 0 ? RoundOff((std::log10(Value) - std::log10(Low)) / LineSize) : 0;
        break;
    case etbksExp2:
        I = Value > 0 ? int64_t(LadderStep(Value)) - LadderStep(Low) : 0;
        break;
    }
    return int(std::clamp<int64_t>(I, 0, TrackBarCount() - 1));
}

void TCustomEditTrackBarWex::ButtonMouseDown(QMouseEvent* Event)
{
    TCustomEditWex::ButtonMouseDown(Event);
    if (Event->button() != Qt::LeftButton || !(FButtons & etbkbTrackBar) || FPopup)
        return;
    FDragStartPosition = FPosition;
    FDragStartText = text();
    FDragStartTyped = FTyped;
    StartModify();
    FPopup = std::make_unique<TfrmPopup>(this);
    TTrackBarWexChild* T = FPopup->TrackBar();
    // Under the edit, with the thumb of the value under the pointer, inside
    // the screen.
    const QPoint Mouse = Event->globalPosition().toPoint();
    const int ThumbX = T->mapTo(FPopup.get(), QPoint(T->PositionX(T->value()), 0)).x();
    const int Top = mapToGlobal(QPoint(0, height())).y();
    const QScreen* S = screen();
    const QRect Area = S ? S->availableGeometry() : QRect(Mouse - QPoint(4000, 4000), QSize(8000, 8000));
    FPopup->move(PopupPlace(Mouse.x(), ThumbX, Top, FPopup->size(), Area));
    FPopup->show();
    connect(qApp, &QGuiApplication::applicationStateChanged, FPopup.get(), [this](Qt::ApplicationState State) {
        if (State != Qt::ApplicationActive)
            ClosePopup();
    });
    // The thumb is held from here on; it moves by what the pointer moves,
    // also where the screen's edge kept it from standing under the pointer.
    FDragMouseX = Mouse.x();
    FDragThumbX = T->PositionX(T->value());
    T->setSliderDown(true);
}

void TCustomEditTrackBarWex::DragTo(int GlobalX)
{
    TTrackBarWexChild* T = FPopup->TrackBar();
    T->setValue(T->PositionAtX(FDragThumbX + GlobalX - FDragMouseX));
}

void TCustomEditTrackBarWex::ButtonMouseMove(QMouseEvent* Event)
{
    if (!FPopup)
        return;
    if (!(Event->buttons() & Qt::LeftButton))
        ClosePopup();
    else
        DragTo(Event->globalPosition().toPoint().x());
}

void TCustomEditTrackBarWex::ButtonMouseUp(QMouseEvent* Event)
{
    // The value is where the last move left the thumb.
    ClosePopup();
    TCustomEditWex::ButtonMouseUp(Event);
}

void TCustomEditTrackBarWex::TrackBarMoved(int Index)
{
    const double Size = GetAsyncShiftState() == ssShift ? PageSize : LineSize;
    double Value = TrackBarValue(Index);
    if (Size > 0)
        Value = double(RoundOff(Value / Size)) * Size;
    Value = RoundSignificant(Value);
    if (Value != FPosition)
        PutPosition(Value);
}

void TCustomEditTrackBarWex::ClosePopup()
{
    if (!FPopup)
        return;
    // It may be closing from inside its own track bar's event.
    TfrmPopup* P = FPopup.release();
    P->hide();
    P->deleteLater();
    EndModify();
}
