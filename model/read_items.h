// What every road into the model ends with. A document (of every version the
// reader takes) and a paste (binary or clipboard text) hand the items they
// read to AdmitReadItems before anything of the page changes, so that no
// road can forget a field: what a page holds answers ValuesDrawable, and so
// paints. PageReadFault and PageRenderFault tell whether a page as it
// stands keeps that promise, for the tests and the fuzz targets, which
// hold every reader to it.
#pragma once

#include "foundation/user_error.h"

#include <cstdint>
#include <string>

class TDrawItem;
class TOLECustomPage;
class TPage;

enum class TItemsRoad {
    // A document's items: every value is brought into its range, and a
    // shape or line whose effects make planes past the working limit is
    // brought down to a box that paints. What still cannot be drawn
    // refuses the document (EUndrawableDocument): nothing of it opens.
    Stored,
    // Items from outside (the clipboard, a drop): taken only as they stand.
    Pasted,
};

// A document holding an item that cannot be drawn even brought into range.
// The message says which item and why; the document's opener puts the
// file's name before it.
class EUndrawableDocument : public EUserError {
public:
    using EUserError::EUserError;
};

// What EUndrawableDocument says of the top-level item at Index (from 0):
// "<Index + 1> 番目の図形を描画できません。 (大きすぎます)" for planes past
// the working limit, "... (範囲外の値があります)" for another value.
std::string ItemTooLargeText(int32_t Index);
std::string ItemValuesText(int32_t Index);

// Stored: brings Items into range at Dpi (see TItemsRoad), else raises
// EUndrawableDocument. Pasted: checks that every item answers
// ValuesDrawable and paints its planes within the working limit
// (TDrawObject::PlanesWorkable); one that does not raises EUserError
// "<Caller>: values that cannot be drawn" and Items is left to the caller
// to free. A group's items are told by their index in it.
void AdmitReadItems(TDrawItem& Items, int32_t Dpi, TItemsRoad Road, const char* Caller);

// True when every draw object of Item (itself, or every one below a group)
// paints its planes within the working limit.
bool ItemPlanesWorkable(TDrawItem& Item);

// The first fault of Page against what a read leaves, "" when none: the
// page picture's header agreeing with the page (its size, 24 bits, at the
// origin), the print centring, grid and layer display flags 0 or 1, the
// display mode and ruler unit within their ranges, and for a TPage every
// item of its root group ValuesDrawable at the page's resolution and
// painting its planes within the working limit (ItemPlanesWorkable).
std::string PageReadFault(TOLECustomPage& Page);

// Renders Page whole into its page picture, as a window's paint does (a
// view is attached for the time), then paints every draw object into a
// small picture at its own extent, so that an item off the page is painted
// too. The first failure as a text, "" when none: a render or paint that
// raises, a paint failure the page records, a message box shown meanwhile
// (the boxes take their default answers and are counted, not shown).
std::string PageRenderFault(TPage& Page);
