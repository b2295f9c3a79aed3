// What every road into the model ends with. A document (of every version the
// reader takes) and a paste (binary or clipboard text) hand the items they
// read to AdmitReadItems before anything of the page changes, so that no
// road can forget a field: what a page holds answers ValuesDrawable, and so
// paints. PageReadFault and PageRenderFault tell whether a page as it
// stands keeps that promise, for the tests and the fuzz targets, which
// hold every reader to it.
#pragma once

#include <cstdint>
#include <string>

class TDrawItem;
class TOLECustomPage;
class TPage;

enum class TItemsRoad {
    // A document's items: every value is brought into its range. The user
    // opened their own work: what cannot be brought stays as it is (the
    // page tells once that it cannot draw it, and a save keeps it), rather
    // than the whole drawing being refused for one value.
    Stored,
    // Items from outside (the clipboard, a drop): taken only as they stand.
    Pasted,
};

// Stored: brings Items into range at Dpi. Pasted: checks that every item
// answers ValuesDrawable; one that does not raises EUserError "<Caller>:
// values that cannot be drawn" and Items is left to the caller to free.
void AdmitReadItems(TDrawItem& Items, int32_t Dpi, TItemsRoad Road, const char* Caller);

// The first fault of Page against what a read leaves, "" when none: the
// page picture's header agreeing with the page (its size, 24 bits, at the
// origin), the print centring and grid flags 0 or 1, and for a TPage every
// item of its root group ValuesDrawable at the page's resolution.
std::string PageReadFault(TOLECustomPage& Page);

// Renders Page whole into its page picture, as a window's paint does (a
// view is attached for the time), then paints every draw object into a
// small picture at its own extent, so that an item off the page is painted
// too. The first failure as a text, "" when none: a render or paint that
// raises, a paint failure the page records, a message box shown meanwhile
// (the boxes take their default answers and are counted, not shown).
std::string PageRenderFault(TPage& Page);
