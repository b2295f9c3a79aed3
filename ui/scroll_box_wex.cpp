#include "ui/scroll_box_wex.h"

#include <QScrollBar>

TScrollBoxWex::TScrollBoxWex(QWidget* Parent) : QScrollArea(Parent)
{
    // A bar announces a user's action before it moves; queued, the event
    // comes after the move has been handled.
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] {
        if (OnHScroll && horizontalScrollBar()->isVisible())
            OnHScroll(this);
    }, Qt::QueuedConnection);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] {
        if (OnVScroll && verticalScrollBar()->isVisible())
            OnVScroll(this);
    }, Qt::QueuedConnection);
}
