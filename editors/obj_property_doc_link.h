// What the object property panel needs of the document window whose
// selection it shows: the selection's bounds and handles rebuilt after an
// edit, the handles hidden while a value is dragged, and a repaint. The
// document window implements it; tests use a recording double.
#pragma once

class TObjPropertyDocLink {
public:
    virtual ~TObjPropertyDocLink() = default;

    // An edit changed the selected items: recompute the selection's bounds,
    // rebuild its handles and repaint (the panel is not reloaded).
    virtual void SelectionEdited() = 0;
    // Hidden: the handles go while a value is dragged; shown again: as the
    // frame's show-handles setting says.
    virtual void SetHandlesHidden(bool Hidden) = 0;
    // Repaints the view (a live change while a value is dragged).
    virtual void RepaintView() = 0;
};
