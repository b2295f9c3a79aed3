// What the property panel's macro page needs of the panel that hosts it: the
// selection handed over, the property object the page shows and edits, the
// page whose history takes the commands, and the panel's update lock. The
// panel implements it; tests use a recording double.
#pragma once

class QWidget;
class TDrawItem;
class TPage;

class TMacroPageLink {
public:
    virtual ~TMacroPageLink() = default;

    // The item handed to the panel (one draw item, or the selection's group);
    // nullptr when nothing is selected. Every edit is applied to it.
    virtual TDrawItem* DrawItem() const = 0;
    // The property object the panel shows (merged values of the selection);
    // the page reads the macro list from it and keeps it in step with edits.
    virtual TDrawItem* DrawItemBuf() const = 0;
    // The page of the loaded item; its document's history takes the commands.
    virtual TPage* Page() const = 0;

    // The panel's loading lock: while it is held, change handlers do nothing.
    virtual bool Updating() const = 0;
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;

    // After an edit was applied to DrawItem inside a command: the panel takes
    // new copies of the selection and the property object for the next
    // commit, and the document window refreshes the selection and repaints.
    virtual void ItemsEdited() = 0;
    // A live change with no command open (while a value is dragged): the
    // document window repaints only.
    virtual void ItemsChangedLive() = 0;
    // A value drag in the page starts or ends: the document window hides the
    // selection handles while it lasts and shows them again afterwards.
    virtual void SetHandlesHidden(bool Hidden) = 0;

    // Owner of the dialogs the page opens.
    virtual QWidget* DialogOwner() const = 0;
};
