#include "editors/rich_edit_q.h"

#include <QMouseEvent>

TCustomRichEditWex::TCustomRichEditWex(QWidget* Parent) : QTextEdit(Parent)
{
    setUndoRedoEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptRichText(true);
    setAttribute(Qt::WA_InputMethodEnabled, true);
}

void TCustomRichEditWex::SetAllowOLEDragDrop(bool Value)
{
    FbAllowOLEDragDrop = Value;
    setAcceptDrops(Value && FbDropTarget);
    viewport()->setAcceptDrops(Value && FbDropTarget);
}

void TCustomRichEditWex::RevokeDropTarget()
{
    FbDropTarget = false;
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
}

void TCustomRichEditWex::mouseMoveEvent(QMouseEvent* Event)
{
    if (!FbAllowOLEDragDrop) {
        Event->ignore();
        return;
    }
    QTextEdit::mouseMoveEvent(Event);
}
