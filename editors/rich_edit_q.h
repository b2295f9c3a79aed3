// The rich edit control of the text page: a QTextEdit that shows a text
// object's characters in their formats. It keeps no undo of its own (the
// document's history is the undo) and has no context menu; what it shows is
// kept in step with the text object by a TRichEditTav.
#pragma once

#include <QTextEdit>

class TCustomRichEditWex : public QTextEdit {
    Q_OBJECT
public:
    explicit TCustomRichEditWex(QWidget* Parent = nullptr);

    // While False the control takes no drops and ignores mouse moves, so
    // that no drag starts from it either. Default True.
    bool AllowOLEDragDrop() const { return FbAllowOLEDragDrop; }
    void SetAllowOLEDragDrop(bool Value);
    // Takes the control's drop target away for good: drops over it go to
    // whatever its windows above take, while selecting with the mouse and
    // dragging out of it keep working. Default: a drop target.
    bool IsDropTarget() const { return FbDropTarget; }
    void RevokeDropTarget();

protected:
    void mouseMoveEvent(QMouseEvent* Event) override;

private:
    bool FbAllowOLEDragDrop = true;
    bool FbDropTarget = true;
};

class TRichEditWex : public TCustomRichEditWex {
    Q_OBJECT
public:
    using TCustomRichEditWex::TCustomRichEditWex;
};
