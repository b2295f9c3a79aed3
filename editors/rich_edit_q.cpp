#include "editors/rich_edit_q.h"

#include <QMouseEvent>
#include <QtGlobal>

namespace {

// A face without a bold file is drawn bold by emboldening its outlines. The
// page does so at every size; Qt's font engine stops at 64 pixels unless told
// otherwise, and a large bold character would show regular here while the
// page draws it bold. The setting is read whenever a font engine is made, so
// it takes effect for every font shown after the first edit exists.
void EmboldenAtEverySize()
{
    static const bool Done = [] {
        if (!qEnvironmentVariableIsSet("QT_NO_SYNTHESIZED_BOLD_LIMIT"))
            qputenv("QT_NO_SYNTHESIZED_BOLD_LIMIT", "1");
        return true;
    }();
    (void)Done;
}

} // namespace

TCustomRichEditWex::TCustomRichEditWex(QWidget* Parent) : QTextEdit(Parent)
{
    EmboldenAtEverySize();
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
