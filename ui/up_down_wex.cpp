#include "ui/up_down_wex.h"

#include "ui/edit_track_bar_wex.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

TCustomUpDownWex::TCustomUpDownWex(QWidget* Parent)
    : QWidget(Parent), FUp(new TTimerSpeedButtonWex(this)), FDown(new TTimerSpeedButtonWex(this))
{
    FUp->SetGlyph(":/bitmaps/ETBKUP");
    FDown->SetGlyph(":/bitmaps/ETBKDOWN");
    for (TTimerSpeedButtonWex* B : {FUp, FDown}) {
        B->OnMouseDown = [this](QObject*, QMouseEvent*) { ButtonDown(); };
        B->OnClick = [this, Up = B == FUp](QObject*) { StepBy(Up ? Increment : -Increment); };
    }
    resize(15, 21);
}

void TCustomUpDownWex::resizeEvent(QResizeEvent*)
{
    const int H = height() / 2;
    FUp->setGeometry(0, 0, width(), H);
    FDown->setGeometry(0, H, width(), height() - H);
}

void TCustomUpDownWex::SetPosition(int Value)
{
    FPosition = std::clamp(Value, Min, std::max(Min, Max));
    if (!FAssociate)
        return;
    const int Caret = FAssociate->cursorPosition();
    FAssociate->setText(QString::number(FPosition));
    FAssociate->setCursorPosition(Caret);
}

void TCustomUpDownWex::StepBy(int Delta)
{
    int64_t New = int64_t(FPosition) + Delta;
    if (New > Max)
        New = Wrap ? Min : Max;
    else if (New < Min)
        New = Wrap ? Max : Min;
    if (New == FPosition)
        return;
    if (OnClick)
        OnClick(this, New > FPosition ? btNext : btPrev);
    SetPosition(int(New));
}

void TCustomUpDownWex::SetAssociate(QLineEdit* Edit)
{
    if (FAssociate)
        FAssociate->removeEventFilter(this);
    FAssociate = Edit;
    if (!Edit)
        return;
    Edit->installEventFilter(this);
    Place();
    SetPosition(FPosition);
}

void TCustomUpDownWex::Place()
{
    QLineEdit* E = FAssociate;
    E->resize(E->width() - width(), E->height());
    setGeometry(E->x() + E->width(), E->y(), width(), E->height());
}

bool TCustomUpDownWex::eventFilter(QObject* Watched, QEvent* Event)
{
    // The type first: while the edit is being destroyed it is no QLineEdit
    // any more, and the guarded pointer may not be read as one.
    if (Event->type() == QEvent::KeyPress && ArrowKeys && Watched == FAssociate) {
        const auto* K = static_cast<QKeyEvent*>(Event);
        if ((K->key() == Qt::Key_Up || K->key() == Qt::Key_Down) &&
            (K->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            StepBy(K->key() == Qt::Key_Up ? Increment : -Increment);
            return true;
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void TUpDownWex::SetInner(bool Value)
{
    if (Value == FInner)
        return;
    FInner = Value;
    if (FAssociate)
        Place();
}

void TUpDownWex::Place()
{
    if (!FInner) {
        TCustomUpDownWex::Place();
        return;
    }
    QLineEdit* E = FAssociate;
    if (parentWidget() != E->parentWidget()) {
        setParent(E->parentWidget());
        show();
    }
    setGeometry(E->x() + E->width() - width() - 2, E->y() + 2, width(), E->height() - 4);
    raise();
}

void TUpDownWex::ButtonDown()
{
    QLineEdit* E = FAssociate;
    if (FocusControl && E && E->isVisible() && E->isEnabled() && E->focusPolicy() != Qt::NoFocus)
        E->setFocus(Qt::MouseFocusReason);
}
