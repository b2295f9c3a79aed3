// Pages: the drawing surface of a document. TOLECustomPage is the framework's
// page (size, resolution, units, background, print position, the 24-bit page
// picture, the dirty rectangle and the views); TPage adds the drawing: the
// root group with every item, the layers, the grid, the mouse mode, the
// selection, rendering of the dirty rectangle and pasting items.
//
// Every setting change is undoable (codes 0 to 12; the undo record holds the
// old value, the redo record the new one).
//
// Page stream form (inside the document's "DOCD" chunk), little-endian:
//   TrecGrid (36 bytes); display mode byte, ruler unit byte, TrecPrintPosition
//   (10), width, height, resolution (int32), unit byte, the two further bytes,
//   background colour int32, picture left and top int32, the picture's 40-byte
//   BITMAPINFOHEADER (no pixels); the layers; the root group in the binary
//   draw-item form (type byte 0 first).
//
// Paste stream (binary): int32 version, the items as one group in the binary
// draw-item form, the pictures in the picture store's binary form. Clipboard
// text: CR LF lines "Tavro DrawItem", the version, the group in text form
// starting with "0", the pictures in text form, then one 0 byte.
#pragma once

#include <cstdint>
#include <exception>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "foundation/app_environment.h"
#include "foundation/geometry_types.h"
#include "model/draw_group.h"
#include "model/layer.h"
#include "model/page_link.h"
#include "model/page_selection.h"
#include "model/page_views.h"
#include "store/history.h"
#include "raster/rec_picture.h"

class TStream;
class TListPtrWex;
class TDrawObject;
struct TRenderLeaveOut;

// The newest stream version pages read and paste.
constexpr int32_t PageStreamVersion = 25;

// The clipboard format name and first line of the clipboard text form.
extern const char* const gcstrCFDrawItem;

// The page's display unit (0 pixel, 1 centimetre, 2 inch), resolution and
// background colour (0x00BBGGRR) keep to these ranges wherever they enter:
// a stored value outside its range (settings, a document) counts as missing
// and gives the default, and a setter refuses one. The resolution runs from
// 1 DPI (below it a page has no printed size) to 9600 DPI, the finest that
// printers and scanners offer; the page setup's resolution box keeps to it.
inline constexpr uint8_t DefaultPageUnit = 1;
inline constexpr int32_t DefaultPageDPI = 72;
inline constexpr int32_t DefaultPageBkColor = 0xFFFFFF;
inline constexpr int32_t MaxPageUnit = 2;
inline constexpr int32_t MinPageDPI = 1;
inline constexpr int32_t MaxPageDPI = 9600;
constexpr bool PageUnitInRange(int64_t Unit) { return Unit >= 0 && Unit <= MaxPageUnit; }
constexpr bool PageDPIInRange(int64_t DPI) { return DPI >= MinPageDPI && DPI <= MaxPageDPI; }
constexpr bool PageBkColorInRange(int64_t Color) { return Color >= 0 && Color <= 0xFFFFFF; }
// A stored value, or the default when it lies outside its range.
constexpr uint8_t StoredPageUnit(int64_t Unit) { return PageUnitInRange(Unit) ? uint8_t(Unit) : DefaultPageUnit; }
// The display mode (0 outlines, 1 low, 2 middle, 3 normal quality) and the
// ruler unit (0 pixel, 1 centimetre, 2 inch, 3 point) a page keeps: a stored
// byte beyond them counts as missing and gives the page's default, normal
// quality and pixels, which is also how such a byte was drawn and ruled.
inline constexpr uint8_t DefaultPageDisplayMode = 3;
inline constexpr uint8_t DefaultPageRulerUnit = 0;
inline constexpr uint8_t MaxPageDisplayMode = 3;
inline constexpr uint8_t MaxPageRulerUnit = 3;
constexpr uint8_t StoredPageDisplayMode(uint8_t Mode)
{
    return Mode <= MaxPageDisplayMode ? Mode : DefaultPageDisplayMode;
}
constexpr uint8_t StoredPageRulerUnit(uint8_t Unit) { return Unit <= MaxPageRulerUnit ? Unit : DefaultPageRulerUnit; }
constexpr int32_t StoredPageDPI(int64_t DPI) { return PageDPIInRange(DPI) ? int32_t(DPI) : DefaultPageDPI; }
constexpr int32_t StoredPageBkColor(int64_t Color)
{
    return PageBkColorInRange(Color) ? int32_t(Color) : DefaultPageBkColor;
}

#pragma pack(push, 1)
// Whether a page may be Width x Height: no side negative, no side and no
// area of more than MaxPicturePixels pixels (a page of 0 x 0 is allowed).
bool PageSizeAllowed(int64_t Width, int64_t Height);

struct TrecPrintPosition {
    int32_t Left = 0;
    int32_t Top = 0;
    uint8_t CenterH = 0;
    uint8_t CenterV = 0;
};
#pragma pack(pop)
static_assert(sizeof(TrecPrintPosition) == 10);

// The grid every new page copies: snap on, show off, then 0, 0, 1, 1, 10, 10.
TrecGrid& DefaultPageGrid();

// The modifier-key hint of status panel 2 for a mouse mode.
std::string MouseModeHint(uint8_t Mode, uint8_t SubMode);

// Paints the whole picture of Target with its background colour.
void FillDrawTarget(TrecDrawTarget& Target);

// What a page calls of its document besides the item-level calls.
class TPageDocumentLink : public TDocumentLink {
public:
    // The document's own list of the views of all its pages.
    virtual void AddForm(TOLEFormDoc* View) = 0;
    // Removes the view; when the document has no view left it frees itself
    // and with it this page: the caller must not touch the page afterwards.
    virtual void RemoveForm(TOLEFormDoc* View) = 0;
};

// What undo code 10 changes of a polyline; the polyline class implements it
// (a line object whose IsPolyLine is True).
class TPolyLineNodes {
public:
    virtual ~TPolyLineNodes() = default;
    // Points of the base path (one node kind each).
    virtual int32_t GetNodeCount() = 0;
    // Store without records, invalidation or path states.
    virtual void SetNodeKindRaw(int32_t Index, uint8_t Kind) = 0;
    virtual void SetNodePointRaw(int32_t Index, const TPoint& Point) = 0;
};

class TOLECustomPage : public TUndoObject, public TPageLink {
public:
    // Undo command codes of the page base.
    static constexpr int32_t CmdPageSize = 0;
    static constexpr int32_t CmdRulerUnit = 1;
    static constexpr int32_t CmdPrintPosition = 2;
    static constexpr int32_t CmdDPI = 3;
    static constexpr int32_t CmdBkColor = 4;
    static constexpr int32_t CmdUnit = 5;
    static constexpr int32_t CmdDisplayMode = 6;

    // Display mode 3, 72 dpi, unit 1, white; a 24-bit header of size 0 and
    // no pixels; an empty dirty rectangle.
    explicit TOLECustomPage(THistoryCommand* AHistory);
    // Sets the destroying flag, detaches every view (last first), frees the
    // page picture.
    ~TOLECustomPage() override;

    std::string ClassName() const override { return "TOLECustomPage"; }

    // Codes 0 to 6; others raise "TOLECustomPage.Undo: Illegal Command.".
    // Undoing or redoing a background colour makes the whole page dirty.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    virtual void SetRulerUnit(uint8_t Value);
    virtual void SetDisplayMode(uint8_t Value);
    // Renders in Mode (temporarily the display mode) with the whole page dirty.
    virtual void RenderInMode(uint8_t Mode);
    // The same for a command that hands the picture on (printing, a BMP
    // file, the clipboard): a page whose items can fail to draw tries again
    // those its views leave out, and raises the first failure once the rest
    // was drawn, so that the command says so instead of handing on a
    // picture without the item.
    virtual void RenderForOutput(uint8_t Mode) { RenderInMode(Mode); }
    // Renders the dirty rectangle into the page picture.
    virtual void Update() = 0;
    virtual void CollectPictureHandles(TListPtrWex& List) = 0;
    // The base pictures the items' fills name, found without rebuilding
    // anything (a change about to start must not fail on it);
    // CollectPictureHandles unless a page knows better.
    virtual void CollectNamedPictures(TListPtrWex& List) { CollectPictureHandles(List); }
    virtual void WriteToStream(TStream& Stream);
    // A page without a view reads only its picture's header: the pixels
    // come with the first view (AddForm), so that reading a document of
    // many large pages allocates nothing for the pages nobody shows.
    virtual void ReadFromStream(TStream& Stream, int32_t Version);

    // The undoable setters: nothing when unchanged.
    // The size is compared with the page picture's; a 24-bit picture of the
    // new size replaces it (pixels undefined until rendered). The views are
    // told of the layout and the whole page becomes dirty in every case.
    // EUserError for a negative side, a side or an area of more than
    // MaxPicturePixels pixels.
    void SetPageSize(int32_t Width, int32_t Height);
    void SetPrintPosition(const TrecPrintPosition& Rec);
    // EUserError for a value outside its range (PageDPIInRange and the like).
    void SetDPI(int32_t Value);
    void SetBkColor(int32_t Value);
    // Does not set the document modified.
    void SetUnit(uint8_t Value);

    // TPageLink
    THistoryCommand* GetHistory() override { return HistoryCommand(); }
    TDocumentLink* GetDocument() override { return FDocument; }
    bool IsDestroying() const override { return FbDestroying != 0; }
    // Only with a page picture: the dirty rectangle grows by the part of
    // Rect on the picture (nil: the whole picture); with Invalidate the
    // views repaint that rectangle.
    void InvalidateRect(const TRect* Rect, bool Invalidate) override;
    TLayers* GetLayers() override { return nullptr; }
    uint8_t GetDisplayMode() const override { return FbDisplayMode; }
    // Nil while the picture has no pixels.
    TrecPicture* GetPagePicture() override;
    uint32_t GetDrawStartTime() const override { return FiDrawStartTime; }
    void SetDrawStartTime(uint32_t Value) override { FiDrawStartTime = Value; }
    void SetAnchorsValid(bool) override {}

    TPageDocumentLink* Document() const { return FDocument; }
    void SetDocument(TPageDocumentLink* Document) { FDocument = Document; }

    // Views. AddForm makes the picture's pixels when it has none (failure:
    // the error box "TOLECustomPage.AddForm: CreateDIBSection Error!").
    void AddForm(TOLEFormDoc* View);
    // The picture's pixels go with the last view; the document may free
    // itself and this page (see TPageDocumentLink::RemoveForm).
    void RemoveForm(TOLEFormDoc* View);
    int32_t GetFormCount() const { return static_cast<int32_t>(FViews.size()); }
    // EListError outside 0..Count-1.
    TOLEFormDoc* GetForm(int32_t Index) const;
    // The active document window when it shows this page, else nil.
    TOLEFormDoc* ActiveForm() const;

    int32_t Width() const { return FiWidth; }
    int32_t Height() const { return FiHeight; }
    int32_t DPI() const { return FiDPI; }
    uint8_t Unit() const { return FbUnit; }
    uint8_t RulerUnit() const { return FbRulerUnit; }
    uint8_t DisplayMode() const { return FbDisplayMode; }
    // The two further bytes: stored and copied into drawing targets.
    uint8_t NextByte() const { return FbNext; }
    uint8_t NextByte2() const { return FbNext2; }
    void SetNextBytes(uint8_t B1, uint8_t B2) { FbNext = B1; FbNext2 = B2; }
    int32_t BkColor() const { return FiBkColor; }
    const TrecPrintPosition& PrintPosition() const { return FPrintPosition; }
    const TrecPicture& PagePicture() const { return FPagePicture; }
    const TRect& DirtyRect() const { return FrectDirty; }

protected:
    // Records code Command (undo: Old, redo: New) in the page's history.
    void Record(int32_t Command, const void* Old, const void* New, int32_t Size);
    void SetModified();
    void InvalidateViews(const TRect* Rect);
    // Dirty := the whole picture (views repaint it).
    void InvalidateAll() { InvalidateRect(nullptr, true); }
    // The picture is replaced by Width x Height, 24-bit, at (0, 0).
    void RecreatePicture(int32_t Width, int32_t Height);
    // Reads the base data (the part after the grid) for Version into the
    // fields; nothing changes on failure.
    void ReadBaseData(TStream& Stream, int32_t Version, uint8_t DisplayModeBefore);

    uint8_t FbDestroying = 0;
    uint8_t FbRulerUnit = DefaultPageRulerUnit;
    uint8_t FbDisplayMode = DefaultPageDisplayMode;
    std::vector<TOLEFormDoc*> FViews; // not owned
    TrecPrintPosition FPrintPosition;
    int32_t FiWidth = 0;
    int32_t FiHeight = 0;
    int32_t FiDPI = DefaultPageDPI;
    uint8_t FbUnit = DefaultPageUnit;
    uint8_t FbNext = 0;
    uint8_t FbNext2 = 0;
    int32_t FiBkColor = DefaultPageBkColor;
    TrecPicture FPagePicture; // owned
    TRect FrectDirty = EmptyExtent;
    uint32_t FiDrawStartTime = 0;

private:
    TPageDocumentLink* FDocument = nullptr; // not owned: the document owns the page
};

class TPage : public TOLECustomPage {
public:
    static constexpr int32_t CmdGridOption = 7;
    static constexpr int32_t CmdSnapGrid = 8;
    static constexpr int32_t CmdShowGrid = 9;
    static constexpr int32_t CmdNodeChange = 10;
    static constexpr int32_t CmdMouseMode = 11;
    static constexpr int32_t CmdPaste = 12;

    // The base defaults overridden by the settings of section "4.0"
    // ("PgDDPI", "PgDLeft", "PgDTop", "PgDHCtr", "PgDVCtr", "PgDBkCol",
    // "PgDUnit"; a unit, resolution or colour out of its range counts as
    // missing); the default grid; an empty root group and one layer; the
    // selection from the installed factory.
    explicit TPage(THistoryCommand* AHistory);
    // Frees the selection, the layers and the root group (the items do not
    // invalidate themselves), then the base detaches the views.
    ~TPage() override;

    std::string ClassName() const override { return "TPage"; }
    friend std::string PageReadFault(TOLECustomPage& Page);

    // Codes 7 to 12 here, the others to the base. Redo of 12 pastes the
    // stored stream again, all others replay like Undo.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    void SetRulerUnit(uint8_t Value) override;
    void SetDisplayMode(uint8_t Value) override;
    void Update() override;
    void CollectPictureHandles(TListPtrWex& List) override;
    void CollectNamedPictures(TListPtrWex& List) override;
    void WriteToStream(TStream& Stream) override;
    // Versions up to PageStreamVersion. Builds the new layers and item tree
    // apart and takes them only when everything was read; a bad picture
    // header, layer index or item raises and leaves the page unchanged.
    void ReadFromStream(TStream& Stream, int32_t Version) override;

    TLayers* GetLayers() override { return FLayers.get(); }
    void SetAnchorsValid(bool Value) override;
    // Besides growing the dirty rectangle: a change of pixels that is not
    // the pasted items' own measuring forgets them as fresh (see Paste).
    void InvalidateRect(const TRect* Rect, bool Invalidate) override;

    void SetGridOption(const TrecGrid& Rec);
    void SetSnapGrid(uint8_t Flag);
    void SetShowGrid(uint8_t Flag);
    const TrecGrid& Grid() const { return FGrid; }

    // Stores the mode; the active window showing this page updates its
    // cursor and the status panels (selection status, modifier hint).
    void SetMouseMode(uint8_t Mode);
    // The undoable tool change (code 11) with its selection updates.
    void SetMouseModeCommand(uint8_t Mode, uint8_t SubMode);
    uint8_t MouseMode() const { return FbMouseMode; }
    uint8_t PolySubMode() const { return FbPolySubMode; }

    TDrawGroup& RootGroup() const { return *FRootGroup; }
    // Nil when no selection factory is installed.
    TPageSelection* Selection() const { return FSelection.get(); }
    // The selection's change event: every view's SelectionChanged.
    void SelectionChanged(bool Flag);
    void InvalidateSelection();
    void InvalidateSelectionHandles();
    void RedrawAnchors();

    // Renders the first Count children of the root group into Target in
    // display mode Mode; the progress panel's text is kept.
    void DrawItems(TrecDrawTarget& Target, int32_t Count, uint8_t Mode);

    // Rendering can be cancelled from the progress display (or any code the
    // painting calls): the dirty rectangle then stays as it was, so the next
    // Update renders the area again. A part of the page renders aside and the
    // page picture keeps its pixels; the whole page renders in place (it
    // cannot afford a second picture of its size), so a cancel leaves the
    // page picture partly drawn.
    void CancelUpdate() { FbAbort = 1; }
    bool UpdateCancelled() const { return FbCancelled; }
    // An item that fails to draw as the page renders (its path, its
    // measuring or its painting raises) is left out of the page's renders in
    // that display mode until it changes (TDrawItem::LeftOutAt), and the
    // area is rendered without it; the rest still paint. The failures met so
    // far and not yet taken, oldest first; taking them clears them. The
    // views take them after each render and tell each once.
    std::vector<TItemDrawFailure> TakeDrawFailures() { return std::exchange(FDrawFailures, {}); }
    // The first of them (all are taken).
    std::exception_ptr TakePaintFailure();
    void RenderForOutput(uint8_t Mode) override;

    // Pastes the items of a paste stream (binary) or of the clipboard text
    // on top of the root group; they become the selection. Records code 12.
    // Any failure raises "TPage.PasteFromStream: フォーマットが不正です" /
    // "TPage.PasteFromStreamAsText: フォーマットが不正です" (with the first
    // failure's text) and pastes nothing.
    void PasteFromStream(TStream& Stream);
    void PasteFromStreamAsText(TStream& Stream);

private:
    template <class ReadBody>
    void Paste(TStream& Stream, const char* ErrorText, ReadBody&& Read);
    void UndoNodeChange(const void* Data, int32_t Size, bool Forward);
    void UndoPaste(const void* Data, int32_t Size);
    // Measures the fresh items (their invalidations keep them fresh), and
    // tells whether they are still the last items of the root, over a
    // picture that is complete but for them.
    bool FreshItemsOnTop(TRenderLeaveOut& LeaveOut);
    // The dirty rectangle grown over what re-renders with it: the closure
    // over the objects (in painting order) and what reading objects spread,
    // kept on the picture.
    void ExtendDirtyRect(std::vector<TDrawObject*>& Objects, TRenderLeaveOut& LeaveOut);
    // One round of Update; true when an item failed as it painted and the
    // area is to be rendered again without it (never in the last round).
    bool RenderDirty(bool LastRound);
    static void CollectLeftOut(TDrawGroup& Group, uint8_t Mode, std::vector<TDrawItem*>& Items);
    static void KeepDrawFailureMarks(TDrawGroup& Group,
                                     std::vector<std::pair<TDrawItem*, TDrawItem::TDrawFailureMark>>& Marks);
    // Rect := its part on the page picture.
    void ClipToPicture(TRect& Rect) const;
    void ShowMouseModeStatus();

    std::unique_ptr<TDrawGroup> FRootGroup;
    std::unique_ptr<TLayers> FLayers;
    TrecGrid FGrid;
    uint8_t FbMouseMode = 0;
    uint8_t FbPolySubMode = 0;
    std::unique_ptr<TPageSelection> FSelection;
    uint8_t FbAbort = 0;
    bool FbCancelled = false;
    std::vector<TItemDrawFailure> FDrawFailures;
    // The items pasted on top of a page picture that was complete: never
    // painted, the last children of the root, and all the dirty rectangle
    // is theirs. The next Update paints them alone over the picture as it
    // is, for nothing beneath them changed. Any other invalidation forgets
    // them, and that Update renders the dirty area whole.
    std::vector<TDrawItem*> FFreshItems;
    bool FbFreshInvalidating = false;
};
