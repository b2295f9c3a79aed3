#include "ui/edit_wex.h"

#include "foundation/geometry_types.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/window_routines.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QFontMetrics>

#include <algorithm>

namespace {

constexpr int EllipsisWidth = 12;

int32_t ColorRefOf(const QColor& C)
{
    return C.red() | (C.green() << 8) | (C.blue() << 16);
}

bool IsHexDigit(QChar C)
{
    const char16_t U = C.unicode();
    return (U >= u'0' && U <= u'9') || (U >= u'A' && U <= u'F') || (U >= u'a' && U <= u'f');
}

int CommonPrefix(const QString& A, const QString& B)
{
    int N = 0;
    while (N < A.size() && N < B.size() && A[N] == B[N])
        ++N;
    return N;
}

} // namespace

// ---------------------------------------------------------------- TSpeedButtonWex

TSpeedButtonWex::TSpeedButtonWex(QWidget* Parent) : QAbstractButton(Parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void TSpeedButtonWex::SetGlyph(const QString& ResourceName)
{
    // Every number edit has three such buttons and the macro grid makes a
    // dozen edits per selection: the glyphs are decoded once, not per button.
    const QString Key = QStringLiteral("TSpeedButtonWex:") + ResourceName;
    if (!QPixmapCache::find(Key, &FGlyph)) {
        FGlyph = QPixmap(ResourceName);
        if (!FGlyph.isNull())
            QPixmapCache::insert(Key, FGlyph);
    }
    update();
}

QSize TSpeedButtonWex::sizeHint() const
{
    return FGlyph.size() + QSize(6, 6);
}

void TSpeedButtonWex::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    const bool Down = isDown();
    DrawBevelFrame(P, TRect{0, 0, width(), height()}, !Down, ColorRefOf(palette().color(QPalette::Button)));
    if (!FGlyph.isNull()) {
        if (!isEnabled())
            P.setOpacity(0.4);
        const int Shift = Down ? 1 : 0;
        P.drawPixmap((width() - FGlyph.width()) / 2 + Shift, (height() - FGlyph.height()) / 2 + Shift, FGlyph);
        P.setOpacity(1);
    }
    if (OnPaint)
        OnPaint(this, P);
}

void TSpeedButtonWex::mousePressEvent(QMouseEvent* Event)
{
    QAbstractButton::mousePressEvent(Event);
    if (OnMouseDown)
        OnMouseDown(this, Event);
}

void TSpeedButtonWex::mouseMoveEvent(QMouseEvent* Event)
{
    QAbstractButton::mouseMoveEvent(Event);
    if (OnMouseMove)
        OnMouseMove(this, Event);
}

void TSpeedButtonWex::mouseReleaseEvent(QMouseEvent* Event)
{
    QAbstractButton::mouseReleaseEvent(Event);
    if (OnMouseUp)
        OnMouseUp(this, Event);
}

// ---------------------------------------------------------------- TCustomEditWex

TCustomEditWex::TCustomEditWex(QWidget* Parent) : QLineEdit(Parent), FButton(new TSpeedButtonWex(this))
{
    FButton->SetGlyph(":/bitmaps/EKELLIPS");
    FButton->hide();
    FButton->OnMouseDown = [this](QObject*, QMouseEvent* E) { ButtonMouseDown(E); };
    FButton->OnMouseMove = [this](QObject*, QMouseEvent* E) { ButtonMouseMove(E); };
    FButton->OnMouseUp = [this](QObject*, QMouseEvent* E) { ButtonMouseUp(E); };
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
}

void TCustomEditWex::SetStyle(TEditWexStyle Value)
{
    if (Value == FStyle)
        return;
    FStyle = Value;
    FButton->setVisible(FStyle == eksEllipsis);
    UpdateLayout();
}

int TCustomEditWex::LayoutButtons()
{
    if (FStyle != eksEllipsis)
        return 0;
    FButton->setGeometry(width() - 2 - EllipsisWidth, 2, EllipsisWidth, height() - 4);
    return EllipsisWidth;
}

void TCustomEditWex::UpdateLayout()
{
    setTextMargins(0, 0, LayoutButtons(), 0);
}

void TCustomEditWex::resizeEvent(QResizeEvent* Event)
{
    QLineEdit::resizeEvent(Event);
    UpdateLayout();
}

void TCustomEditWex::ButtonMouseDown(QMouseEvent* Event)
{
    if (isEnabled() && isVisible() && focusPolicy() != Qt::NoFocus)
        setFocus(Qt::MouseFocusReason);
    if (OnButtonMouseDown)
        OnButtonMouseDown(this, Event);
}

void TCustomEditWex::ButtonMouseMove(QMouseEvent*) {}

void TCustomEditWex::ButtonMouseUp(QMouseEvent* Event)
{
    if (OnButtonMouseUp)
        OnButtonMouseUp(this, Event);
    end(false);
}

void TCustomEditWex::keyPressEvent(QKeyEvent* Event)
{
    const int K = Event->key();
    const bool Enter = K == Qt::Key_Return || K == Qt::Key_Enter;
    if (K == Qt::Key_Escape && UseCancel) {
        QString Text = CancelText;
        if (OnCancel)
            OnCancel(this, Text);
        setText(Text);
        Event->accept();
        return;
    }
    if (Enter && EnterNext) {
        focusNextChild();
        Event->accept();
        return;
    }
    QChar Key = TypedKey(Event->text());
    if (!Key.isNull() && !Enter && Key.unicode() >= 32) {
        bool Point = false;
        bool Sign = false;
        if (NumberFilterOptions(InputType, Point, Sign)) {
            NumberKeyFilter(*this, Point, Sign, Key);
            if (Key.isNull()) {
                Event->accept();
                return;
            }
        } else if (InputType == ekitHex) {
            if (!IsHexDigit(Key))
                MessageBeep(0);
            else
                insert(Key.toUpper());
            Event->accept();
            return;
        }
    }
    // An edit with a button keeps Enter to itself, as a multi-line edit does.
    if (Enter && FStyle == eksEllipsis) {
        Event->accept();
        return;
    }
    QLineEdit::keyPressEvent(Event);
}

void TCustomEditWex::focusInEvent(QFocusEvent* Event)
{
    CancelText = text();
    QLineEdit::focusInEvent(Event);
    if (OnSetFocus)
        OnSetFocus(this, nullptr);
}

bool TCustomEditWex::IsLeaving(const QFocusEvent* Event)
{
    return Event->reason() != Qt::PopupFocusReason;
}

void TCustomEditWex::focusOutEvent(QFocusEvent* Event)
{
    if (IsLeaving(Event))
        DoExit();
    QLineEdit::focusOutEvent(Event);
    if (OnKillFocus)
        OnKillFocus(this, QApplication::focusWidget());
}

void TCustomEditWex::DoExit()
{
    if (FUpdating != 0 || !OnChanging || text() == FLastText)
        return;
    bool Accept = true;
    OnChanging(this, text(), FLastText, Accept);
    if (Accept) {
        FLastText = text();
        return;
    }
    const int Common = CommonPrefix(FLastText, text());
    WriteText(FLastText);
    setCursorPosition(Common);
    deselect();
}

void TCustomEditWex::WriteText(const QString& Text)
{
    ++FUpdating;
    setText(Text);
    --FUpdating;
}

void TCustomEditWex::TextChanged()
{
    if (OnChange)
        OnChange(this);
}

int EditTextRoom(const QLineEdit* Edit)
{
    QStyleOptionFrame Option;
    Option.initFrom(Edit);
    Option.rect = Edit->rect();
    Option.lineWidth = Edit->hasFrame() ? Edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &Option, Edit) : 0;
    Option.midLineWidth = 0;
    Option.state |= QStyle::State_Sunken;
    Option.features = QStyleOptionFrame::None;
    const QRect Contents =
        Edit->style()->subElementRect(QStyle::SE_LineEditContents, &Option, Edit).marginsRemoved(Edit->textMargins());
    return Contents.width() - 2 * 2;
}

int EditWidthFor(const QLineEdit* Edit, const QString& Text)
{
    // The caret stands one pixel past the text.
    const int Needed = QFontMetrics(Edit->font()).horizontalAdvance(Text) + 1;
    return Edit->width() + Needed - EditTextRoom(Edit);
}

void FitEditWidth(QLineEdit* Edit, const QStringList& Texts)
{
    int Needed = 0;
    for (const QString& Text : Texts)
        Needed = std::max(Needed, EditWidthFor(Edit, Text));
    // A layout may not squeeze it below; a placed edit grows.
    Edit->setMinimumWidth(std::max(Edit->minimumWidth(), Needed));
    if (Edit->width() < Needed)
        Edit->resize(Needed, Edit->height());
}
