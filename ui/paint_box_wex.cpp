#include "ui/paint_box_wex.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

TPaintBoxWex::TPaintBoxWex(QWidget* Parent) : QWidget(Parent) {}

void TPaintBoxWex::SetOpaque(bool Value)
{
    FOpaque = Value;
    setAttribute(Qt::WA_OpaquePaintEvent, Value);
    update();
}

bool TPaintBoxWex::event(QEvent* Event)
{
    if (Event->type() != QEvent::ToolTip || !OnShowHint)
        return QWidget::event(Event);
    const auto* Help = static_cast<QHelpEvent*>(Event);
    THintInfo Info{toolTip(), Help->globalPos(), rect()};
    bool CanShow = true;
    OnShowHint(this, CanShow, Info);
    if (CanShow && !Info.HintStr.isEmpty())
        QToolTip::showText(Info.HintPos, Info.HintStr, this, Info.CursorRect);
    else
        QToolTip::hideText();
    return true;
}

void TPaintBoxWex::paintEvent(QPaintEvent*)
{
    if (!OnPaint)
        return;
    QPainter Canvas(this);
    OnPaint(this, Canvas);
}

void TPaintBoxWex::enterEvent(QEnterEvent* Event)
{
    QWidget::enterEvent(Event);
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TPaintBoxWex::leaveEvent(QEvent* Event)
{
    QWidget::leaveEvent(Event);
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TPaintBoxWex::wheelEvent(QWheelEvent* Event)
{
    QWidget* Parent = parentWidget();
    if (!Parent) {
        Event->ignore();
        return;
    }
    // Handed to the parent's own handler, at the point moved into the parent
    // and with the modifiers kept; it goes no further than that.
    QWheelEvent Moved(Event->position() + QPointF(pos()), Event->globalPosition(), Event->pixelDelta(),
                      Event->angleDelta(), Event->buttons(), Event->modifiers(), Event->phase(), Event->inverted(),
                      Event->source());
    QApplication::sendEvent(Parent, &Moved);
    Event->accept();
}
