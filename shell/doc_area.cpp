#include "shell/doc_area.h"

#include <QEvent>

bool TDocArea::eventFilter(QObject* Watched, QEvent* Event)
{
    // The area watches the keys of everything its windows own, dialogs
    // opened over them included; a key of another window is not its own.
    if (Event->type() == QEvent::KeyPress || Event->type() == QEvent::KeyRelease)
        if (auto* W = qobject_cast<QWidget*>(Watched); W && W->window() != window())
            return QAbstractScrollArea::eventFilter(Watched, Event);
    return QMdiArea::eventFilter(Watched, Event);
}
