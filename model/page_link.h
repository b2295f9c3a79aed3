// What the draw items use of their page and its document, as narrow
// interfaces: the page that owns the item tree implements TPageLink, its
// document TDocumentLink. Tests install recording doubles.
#pragma once

#include <exception>
#include <functional>
#include <vector>

#include <cstdint>

#include "foundation/geometry_types.h"
#include "raster/rec_picture.h"

class THistoryCommand;
class TLayers;
class TListRecPict;

class TDocumentLink {
public:
    virtual ~TDocumentLink() = default;
    virtual void SetModified(bool Value) = 0;
    // The document's picture store (fill pictures of the macros).
    virtual TListRecPict* GetPictureStore() = 0;
};

class TPageLink {
public:
    virtual ~TPageLink() = default;

    // The page's history; the items record into it. Nil: nothing is recorded.
    virtual THistoryCommand* GetHistory() = 0;
    // Nil: changes set no modified flag.
    virtual TDocumentLink* GetDocument() = 0;
    // True while the page frees its items: they skip their own invalidation.
    virtual bool IsDestroying() const = 0;
    // Adds Rect (nil: the whole page) to the dirty rectangle; with
    // Invalidate True the views repaint it too.
    virtual void InvalidateRect(const TRect* Rect, bool Invalidate) = 0;
    virtual TLayers* GetLayers() = 0;
    // 0 wireframe, 1 low, 2 middle, 3 high quality.
    virtual uint8_t GetDisplayMode() const = 0;
    // The page picture the fill macros measure against; nil without a view.
    virtual TrecPicture* GetPagePicture() = 0;
    // Milliseconds (DrawTickCount) when rendering started or progress was
    // last shown; group painting compares against it.
    virtual uint32_t GetDrawStartTime() const = 0;
    virtual void SetDrawStartTime(uint32_t Value) = 0;
    // The selection's anchors: items pass False after a change of geometry.
    virtual void SetAnchorsValid(bool Value) = 0;
};

// An item left out of a page's renders because drawing it failed, and the
// failure.
struct TItemDrawFailure {
    int32_t ItemID = -1;
    std::exception_ptr Error;
};

// The record items paint into: the page's settings and a picture placed at
// the area being rendered.
struct TrecDrawTarget {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t DPI = 72;
    uint8_t Unit = 1;
    uint8_t Next = 0;
    int32_t BkColor = 0xFFFFFF;
    TrecPicture Picture;
    // While a page renders (TPage::Update gives one), an item whose painting
    // raises is left out (TDrawItem::LeaveOutOfRenders), its failure added
    // here, and the rest still paint; an item left out is skipped until it
    // changes, so that the page reports the failure once instead of raising
    // out of every repaint of the same state. Without one painting raises
    // as it comes and skips nothing.
    std::vector<TItemDrawFailure>* Failures = nullptr;
    // Set by a group around each child it paints (empty otherwise): a child
    // that paints in steps (the lines of its fill macros) reports Done of
    // Total, so that the status bar moves while one large item paints.
    std::function<void(int32_t Done, int32_t Total)> ItemSteps;
};

// Millisecond tick counter of the drawing progress (wraps like GetTickCount).
uint32_t DrawTickCount();
// Tests replace the clock behind DrawTickCount (nil: the steady clock).
void SetDrawTickSource(uint32_t (*Source)());
