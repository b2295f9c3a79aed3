// TDrawItem: the base of everything drawn on a page (groups and draw
// objects). Identity, name, visibility, parent and page; the common part of
// the binary and text stream forms; the readers that create an item by its
// stored type number through a registry of factories; the tree walks that
// relink layers and apply the tree-wide undoable changes; the parameter
// records of the shapes with their merge routines.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "foundation/geometry_types.h"
#include "raster/bmp_conv.h"
#include "store/history.h"

class TStream;
class TList2Item;
class TListPtrWex;
class TListRecPict;
class TDrawItem;
class TDrawGroup;
class TLayer;
class TLayers;
class TPageLink;
class TDocumentLink;
class TDragFrameDC;
struct TrecDrawTarget;
class TMacro;
class TMacros;
class TOutline;

// Version of the stream forms written now.
constexpr int32_t DrawItemStreamVersion = 25;

// The extent of an item that covers nothing.
inline constexpr TRect EmptyExtent{-1, -1, -2, -2};

// Stored type numbers (DrawObjFileType): 0 group, 1 polyline, 2 star,
// 3 rectangle, 4 polygon, 5 ellipse, 6 text.
constexpr uint8_t doftGroup = 0;
constexpr int32_t DrawObjFileTypeCount = 7;

// Nesting of groups the readers accept; deeper data is refused.
constexpr int32_t DrawItemMaxDepth = 256;

// How far an item's coordinates and sizes may reach from the page's origin:
// as far as the longest side a page may have (MaxPicturePixels, the limit
// every page is read and resized with). The sum or difference of two such
// values stays far inside int32, which placing and measuring items relies on.
inline constexpr int32_t MaxItemReach = static_cast<int32_t>(MaxPicturePixels);
// True when V lies within MaxItemReach of the origin.
inline bool WithinItemReach(int64_t V)
{
    return V >= -int64_t{MaxItemReach} && V <= int64_t{MaxItemReach};
}
// True when the span Low..High moved by D pixels ends within MaxItemReach
// on the side it moves to, or moves back towards the origin: a move never
// takes anything beyond the reach, nor further out where a file left it
// beyond, so that every coordinate moves by exactly D.
inline bool SpanKeepsReach(int64_t Low, int64_t High, int32_t D)
{
    if (D > 0)
        return High + D <= int64_t{MaxItemReach};
    if (D < 0)
        return Low + D >= -int64_t{MaxItemReach};
    return true;
}
// True when a box of Width x Height pixels (each within twice MaxItemReach,
// so the product stays inside 64 bits) holds no more pixels than the
// largest picture the program makes: an item whose box is larger could not
// be painted.
inline bool BoxWithinPicture(int64_t Width, int64_t Height)
{
    return Width >= 0 && Height >= 0 && Width <= 2 * int64_t{MaxItemReach} &&
           Height <= 2 * int64_t{MaxItemReach} && Width * Height <= MaxPicturePixels;
}
// What a stored item too large to be drawn is brought down to: a box with
// no side past MaxHeldItemSide and no more pixels than the largest picture.
// The fill styles paint on planes that reach past the box by their margins
// (pens, blurs, offsets); for such a box, a plane with margins of up to
// MaxItemPaintMargin on every side still lies within what the raster
// routines work on (MaxWorkPixels), so the item brought down paints. The
// worst boxes are the longest thin one and the square.
inline constexpr int32_t MaxHeldItemSide = 65536;
inline constexpr int32_t MaxItemPaintMargin = 4096;
static_assert((int64_t{MaxHeldItemSide} + 2 * MaxItemPaintMargin) *
                      (MaxPicturePixels / MaxHeldItemSide + 2 * MaxItemPaintMargin) <=
                  MaxWorkPixels &&
              (int64_t{16384} + 2 * MaxItemPaintMargin) * (16384 + 2 * MaxItemPaintMargin) <= MaxWorkPixels &&
              int64_t{16384} * 16384 == MaxPicturePixels);
inline bool BoxHeldToPaint(int64_t Width, int64_t Height)
{
    return Width >= 0 && Height >= 0 && Width <= MaxHeldItemSide && Height <= MaxHeldItemSide &&
           Width * Height <= MaxPicturePixels;
}

// The longest item name, in CP932 bytes: what an undo record's short
// string holds. HeldItemName cuts a longer one where a character begins.
inline constexpr size_t MaxItemNameBytes = 255;
std::string HeldItemName(const std::string& Cp932Name);

// ---------------------------------------------------------------------------
// Classes as values: what the virtual constructor and the common-class search
// work with. Every item class has one static descriptor.

using TDrawItemFactory = std::unique_ptr<TDrawItem> (*)(TPageLink* Page, int32_t ID);

struct TDrawItemClass {
    const char* Name;
    const TDrawItemClass* Parent;  // nil for TDrawItem
    TDrawItemFactory Create;       // nil for a class that is never made
};

// A new item of Class (page, ID -1 for a new ID); EUserError for a class
// without a factory.
std::unique_ptr<TDrawItem> CreateDrawItem(const TDrawItemClass& Class, TPageLink* Page, int32_t ID);

// ---------------------------------------------------------------------------
// Shape parameter records, raw as stored; each field has a leave-unchanged
// value that the merge routines skip.

struct TrecTextParam {                // 20 bytes
    int32_t Value1 = 0;               // -1
    int32_t Value2 = 0;               // -1
    uint8_t Byte1 = 0;                // always copied
    uint8_t Byte2 = 0;                // always copied
    uint8_t Filler1[2] = {0, 0};
    int32_t Value3 = 0;               // -1
    uint8_t Byte3 = 0;                // always copied
    uint8_t Byte4 = 0;                // always copied
    uint8_t Filler2[2] = {0, 0};
};
static_assert(sizeof(TrecTextParam) == 20);

struct TrecRectParam {                // 12 bytes
    uint8_t Bevel = 0;                // 255
    uint8_t Filler[3] = {0, 0, 0};
    int32_t CornerRadius = 0;         // MinInt
    uint16_t CornerCount = 4;         // 65535
    uint16_t CornerPosition = 0;      // 65535
};
static_assert(sizeof(TrecRectParam) == 12);

#pragma pack(push, 4)
struct TrecPolygonParam {             // 28 bytes
    int32_t Count = 5;                // -1 (0xFFFFFFFF)
    int32_t CornerSize = 0;           // MinInt
    int32_t AngleVariation = 0;       // -1
    int32_t RadiusVariation = 0;      // -1
    int32_t Seed = 0;                 // -1
    double StartAngle = 0.0;          // 1.7e308
};
static_assert(sizeof(TrecPolygonParam) == 28);

struct TrecStarParam {                // 52 bytes
    double InnerRadius = 0.5;         // -1.0
    int32_t Count = 5;                // -1
    int32_t Corner1 = 0;              // MinInt
    int32_t Corner2 = 0;              // MinInt
    int32_t AngleVariation = 0;       // -1
    int32_t InnerVariation = 0;       // -1
    int32_t OuterVariation = 0;       // -1
    int32_t Kept1 = 0;                // -1
    int32_t Kept2 = 0;                // -1
    int32_t Seed = 0;                 // -1
    double StartAngle = 0.0;          // 1.7e308
};
static_assert(sizeof(TrecStarParam) == 52);
#pragma pack(pop)

constexpr double ParamDoubleUnchanged = 1.7e308;

void MergeTextParam(TrecTextParam& Dst, const TrecTextParam& Src);
void MergeRectParam(TrecRectParam& Dst, const TrecRectParam& Src);
void MergePolygonParam(TrecPolygonParam& Dst, const TrecPolygonParam& Src);
void MergeStarParam(TrecStarParam& Dst, const TrecStarParam& Src);

// ---------------------------------------------------------------------------

class TDrawItem : public TUndoObject {
public:
    // Visible; takes the page's history and registers under AID (-1: a new
    // ID, else re-created under that ID). APage may be nil.
    TDrawItem(TPageLink* APage, int32_t AID);
    // Sets the document modified unless the page is being destroyed. The
    // owner invalidates the item before freeing it (a destructor cannot
    // reach the derived Invalidate); groups do so for their children.
    ~TDrawItem() override;

    std::string ClassName() const override { return GetClass().Name; }
    static const TDrawItemClass ClassInfo;
    virtual const TDrawItemClass& GetClass() const { return ClassInfo; }
    bool InheritsFrom(const TDrawItemClass& Class) const;

    // Code 0: the name from a short string (length byte, bytes); code 1: the
    // visible flag from a byte; others raise "TDrawItem.Undo: Illegal Command.".
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;
    // Records, then sets the modified flag when a command is open and
    // recording is not locked.
    void AddHistory(uint8_t Kind, int32_t Command, const void* Data, int32_t Size) override;

    // Extents: the area the painting changes and the area it reads.
    virtual TRect GetPaintExtent() = 0;
    virtual TRect GetSourceExtent() = 0;
    virtual void CalcExtents() = 0;
    virtual void ResetExtents() = 0;
    // AbortFlag: a set byte stops a group's painting (nil from the page);
    // Flags is 0 from the page.
    virtual void Paint(TrecDrawTarget& Target, uint8_t DisplayMode, TListRecPict* PictureStore,
                       uint8_t* AbortFlag, int32_t Flags) = 0;
    virtual void CalcExtentsAndInvalidate() = 0;
    virtual void Invalidate(bool Flag) = 0;
    virtual void DrawDragFrame(TDragFrameDC& DC, int32_t Mode) = 0;
    virtual TRect GetBounds() = 0;
    virtual bool SameAttributes(TDrawItem* Other) = 0;
    virtual void RebuildPath() = 0;
    virtual bool IsSameItem(const TDrawItem* Other) const = 0;
    virtual void ReplaceReference(TDrawItem* OldItem, TDrawItem* NewItem);
    virtual void NotifyItemChanged(TDrawItem* Item);

    // The stream forms. A class writes its type byte (line) first, then calls
    // the inherited writer; TDrawItem's writers write the common part:
    // object ID, name, parent's ID (0 without a parent), visible flag.
    // Readers start after the type: TDrawItem's readers reset the extents,
    // read the common part (the parent's ID is kept as ReadParentID), add
    // (stored ID, new ID) to IDMap when given and the stored ID is not 0, and
    // read the visible flag only for Version >= 22.
    virtual void WriteToStream(TStream& Stream);
    virtual void ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version);
    virtual void WriteToStreamAsText(TStream& Stream);
    virtual void ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version);

    // Copies the name and the parent link, then SetModified.
    virtual void Assign(TDrawItem* Source);
    // The parent's DeleteChild of this item: this item is freed.
    virtual void DeleteFromParent();
    virtual void CollectPictureHandles(TListPtrWex& List, const TListRecPict& Store) = 0;
    virtual void SetLayer(TLayer* Layer) = 0;
    // Undoable geometry changes. Angle in radians; factors in 1/1024.
    virtual void MoveBy(int32_t DX, int32_t DY) = 0;
    // True when MoveBy (DX, DY) keeps every coordinate the item holds or
    // draws at within SpanKeepsReach: such a move moves the item whole.
    // True here (an item without coordinates); groups ask every child.
    virtual bool MoveKeepsReach(int32_t DX, int32_t DY);
    virtual void Rotate(double CX, double CY, double Angle) = 0;
    virtual void ScaleTo(double CX, double CY, double FX, double FY) = 0;
    virtual bool SnapPoint(TPoint& Point, int32_t SqrRadius) = 0;
    virtual int32_t DistanceTo(const TPoint& Point) = 0;
    virtual bool HitTest(const TPoint& Point, int32_t Tolerance) = 0;
    virtual bool NodeNear(const TPoint& Point, int32_t SqrTolerance) = 0;

    // Merges the properties of every leaf of Group into this item (property
    // object of a selection). False, doing nothing, for items that hold no
    // such properties; draw objects return True.
    virtual bool TakeCommonAttributes(TDrawGroup& Group);

    // True when the model can draw the item as it stands on a page of Dpi
    // pixels an inch: every coordinate within MaxItemReach, every size from 1
    // to that reach, a bounding box of no more pixels than the largest
    // picture (BoxWithinPicture), every character style drawable, every
    // fill macro value one its parameter takes (MacroParamValueAccepted;
    // groups: every child), and every other field within its range (here:
    // the name within MaxItemNameBytes, the visible flag 0 or 1). Items
    // that come from outside (a paste) are refused otherwise.
    virtual bool ValuesDrawable(int32_t Dpi) const;
    // Brings every value that has a range of its own (the name and visible
    // flag, a shape's frame and parameters, a line's points, point types
    // and outline, a text's origin, styles and layout, the fill-path flag
    // and wireframe colour, the values of its macros) into that range at
    // Dpi, without recording and
    // without the modified flag: what a document holds is opened, not
    // refused, and then draws and saves so. Groups bring every child.
    virtual void BringValuesIntoRange(int32_t Dpi);

    // After a read: restores links to other items through IDMap (stored ID
    // to new ID). Groups make themselves the parent of every child and
    // recurse; a text object relinks its path link.
    virtual void RelinkReadItems(const TList2Item* IDMap);

    // Items that lie on a layer: the layer index to resolve after a read
    // (the stored one, or that of the current layer); nullopt for others.
    virtual std::optional<int32_t> GetStoredLayerIndex() const;
    // Stores the resolved layer; no invalidation, no modified flag.
    virtual void LinkLayer(TLayer* Layer);

    // Per-object parts of the tree-wide changes below: when the change
    // applies to the object's class, record the undo and redo records with
    // the code given (in the object's own history), apply, invalidate, set
    // the modified flag and return True; otherwise do nothing and return False.
    virtual bool DoSetWireframeColor(int32_t Colour);                 // 10: colour int32
    virtual bool DoDeleteFMacro(int32_t Index);                       // 11
    virtual bool DoExchangeFMacro(int32_t Index1, int32_t Index2);    // 12
    virtual bool DoMoveFMacro(int32_t FromIndex, int32_t ToIndex);    // 13
    virtual bool DoInsertFMacro(int32_t Index, const TMacro& Macro);  // 14
    // 15: reads the new list from Stream at its position.
    virtual bool DoSetFMacros(TStream& Stream);
    // 16: raises the "TDrawItem.SetFMacrosPaintParam: ..." mismatch errors.
    virtual bool DoSetFMacrosPaintParam(const TMacros& Macros);
    virtual bool DoSetFMacroEnabled(int32_t Index, uint8_t Flag);     // 17
    // Invalidates, then clears the cached pictures of the fill macro at
    // Index (all when Index < 0); Index >= count raises
    // "TDrawItem.ClearMacrosPictCache: iIndex >= MacrosDst.Count".
    virtual bool DoClearMacrosPictCache(int32_t Index);
    // A paste's pictures: every picture fill's handle to the one Map gives
    // it; a handle Map lacks names a picture the pasted data does not
    // carry and is refused (EUserError), nothing changed.
    virtual bool DoTranslatePictureHandles(const TList2Item& Map);
    // A document's pictures: a picture fill naming a picture Store does not
    // hold names none (-1), so that a picture stored later is not taken for
    // it; it paints the placeholder it painted.
    virtual bool DoDropMissingPictures(const TListRecPict& Store);
    virtual bool DoSetItemsFillPath(uint8_t Flag);                    // 19
    virtual bool DoSetOutline(const TOutline& Outline);               // 20
    virtual bool DoSetParamSize(int32_t Width, int32_t Height);       // 25, 26
    virtual bool DoSetRectParam(const TrecRectParam& Rec);            // 29
    virtual bool DoSetPolygonParam(const TrecPolygonParam& Rec);      // 30
    virtual bool DoSetStarParam(const TrecStarParam& Rec);            // 31
    virtual bool DoSetTextPaintKind(uint8_t Kind);                    // 32
    virtual bool DoSetTextLayoutParam(const TrecTextParam& Rec);      // 33
    // Rotate about the own centre by the difference to the stored angle, or
    // move by the difference to the stored position.
    virtual bool DoSetItemAngle(double Angle);
    virtual bool DoSetItemPosX(int32_t X);
    virtual bool DoSetItemPosY(int32_t Y);
    // 24: the layer index int32 (the layer at that index of the page's
    // layers when replayed); nothing recorded when the layer is the same.
    virtual bool DoSetItemLayer(TLayer* Layer);

    // Tree-wide changes: walk Item (groups recurse into their children in
    // list order) and apply the per-object part to every object it applies to.
    static void SetWireframeColor(TDrawItem& Item, int32_t Colour);
    static void DeleteFMacro(TDrawItem& Item, int32_t Index);
    static void ExchangeFMacro(TDrawItem& Item, int32_t Index1, int32_t Index2);
    static void MoveFMacro(TDrawItem& Item, int32_t FromIndex, int32_t ToIndex);
    static void InsertFMacro(TDrawItem& Item, int32_t Index, const TMacro& Macro);
    // Every object reads the list from the stream's position at the call.
    static void SetFMacros(TDrawItem& Item, TStream& Stream);
    static void SetFMacrosPaintParam(TDrawItem& Item, const TMacros& Macros);
    // A leaf that is no draw object raises "TDrawItem.SetFMacroEnabled: Illegal Class".
    static void SetFMacroEnabled(TDrawItem& Item, int32_t Index, uint8_t Flag);
    // A leaf that is no draw object raises "TDrawItem.ClearMacrosPictCache: Illegal Class".
    static void ClearMacrosPictCache(TDrawItem& Item, int32_t Index);
    static void TranslatePictureHandles(TDrawItem& Item, const TList2Item& Map);
    static void DropMissingPictures(TDrawItem& Item, const TListRecPict& Store);
    static void SetItemsFillPath(TDrawItem& Item, uint8_t Flag);
    static void SetOutline(TDrawItem& Item, const TOutline& Outline);
    static void SetParamSize(TDrawItem& Item, int32_t Width, int32_t Height);
    static void SetRectParam(TDrawItem& Item, const TrecRectParam& Rec);
    static void SetPolygonParam(TDrawItem& Item, const TrecPolygonParam& Rec);
    static void SetStarParam(TDrawItem& Item, const TrecStarParam& Rec);
    static void SetTextPaintKind(TDrawItem& Item, uint8_t Kind);
    static void SetTextLayoutParam(TDrawItem& Item, const TrecTextParam& Rec);
    static void SetItemsAngle(TDrawItem& Item, double Angle);
    static void SetItemsPosX(TDrawItem& Item, int32_t X);
    static void SetItemsPosY(TDrawItem& Item, int32_t Y);
    static void SetItemsLayer(TDrawItem& Item, TLayer* Layer);

    // The item itself when it is no group; for a group the first leaf of its
    // first child, recursively, and so for a stand-in for several items
    // (FirstStoodFor) the first leaf of its first item; nil when a group on
    // the way is empty.
    static TDrawItem* GetFirstDrawObject(TDrawItem* Item);
    // A stand-in that hands its changes on to several items (the property
    // panel's multi-selection): the first of them. Nil for every other item.
    virtual TDrawItem* FirstStoodFor() { return nullptr; }
    // Replaces every stored layer index in the tree by the layer at that
    // index of Layers. All indexes are checked first: one outside
    // 0..Count-1 raises EUserError and nothing is changed; with
    // HoldIndexes (a document's items) it takes the nearest layer instead.
    static void RelinkLayers(TDrawItem& Item, TLayers& Layers, bool HoldIndexes = false);

    // The name as the stored forms hold it: CP932 bytes, kept as read so
    // that a load and save changes nothing; converted only to show or edit.
    const std::string& Name() const { return FstrName; }
    // Records code 0 (old and new name as short strings) when it differs.
    // The name is held to MaxItemNameBytes (HeldItemName), so that its undo
    // record gives it back whole.
    void SetName(const std::string& Cp932Name);
    uint8_t Visible() const { return FbVisible; }
    TDrawGroup* Parent() const { return FParent; }
    TPageLink* Page() const { return FPage; }
    // The parent's ID read from a stream (0: none), until relinked.
    int32_t ReadParentID() const { return FiReadParentID; }
    // The document of the item's page; nil without page or document.
    TDocumentLink* GetDocument() const;
    void SetModified();
    // True when recording is possible: a history that is not locked.
    bool CanRecord() const;

protected:
    uint8_t FbVisible = 1;

    // Sets the visible flag without recording (undo code 1).
    void SetVisibleFlag(uint8_t Value) { FbVisible = Value; }

    // True for an item (and its subtree) freed after a failed read or as a
    // discarded copy: it never was on the page, so freeing it neither
    // invalidates nor sets the modified flag.
    bool IsSilent() const { return FbSilent; }

private:
    friend class TDrawGroup;
    friend void MarkDrawItemSilent(TDrawItem& Item);

    std::string FstrName;
    TPageLink* FPage = nullptr;     // not owned
    TDrawGroup* FParent = nullptr;  // not owned: the group whose list holds this item
    int32_t FiReadParentID = 0;
    bool FbSilent = false;
};

// Marks Item and its subtree silent (see IsSilent) before it is freed.
void MarkDrawItemSilent(TDrawItem& Item);

// While one lives, the items written are the undo record of their own
// deletion: a text keeps its link to a path that is gone for now, since
// undoing further may bring the path back after the text. Every other form
// (files, the clipboard, the other records) writes such a link as none, as
// the text stands.
class TDeletionRecordScope {
public:
    TDeletionRecordScope();
    ~TDeletionRecordScope();
    TDeletionRecordScope(const TDeletionRecordScope&) = delete;
    TDeletionRecordScope& operator=(const TDeletionRecordScope&) = delete;

private:
    bool FOld;
};
bool WritingDeletionRecord();

// The readers by type. The binary one reads the type byte, the text one a
// line with the type number, read with bit 7 cleared (128 is a group); a
// number outside 0..6 raises
// "DrawItemReadFromStreamNew :DrawObjFileType incorrect" /
// "DrawItemReadFromStreamAsTextNew:DrawObjFileType incorrect", a number
// whose class is not registered raises EUserError naming it. The item is
// created with (Page, AID) (the text reader uses -1) and reads itself; on
// failure it is freed silently and the error passes on. Groups nest at most
// DrawItemMaxDepth deep.
std::unique_ptr<TDrawItem> DrawItemReadFromStreamNew(TStream& Stream, TPageLink* Page,
                                                     TList2Item* IDMap, int32_t AID,
                                                     int32_t Version);
std::unique_ptr<TDrawItem> DrawItemReadFromStreamAsTextNew(TStream& Stream, TPageLink* Page,
                                                           TList2Item* IDMap, int32_t Version);

// The registry of item classes by stored type number. The group (0) is
// registered from the start; the shape and text classes register at start-up
// (and in the tests that read them). TypeNo outside 0..6 raises EUserError.
void RegisterDrawItemType(int32_t TypeNo, TDrawItemFactory Factory);
// Nil when the type number is unknown or not registered.
TDrawItemFactory GetDrawItemFactory(int32_t TypeNo);

// Sort comparisons used by the group: 12-byte records by their third 32-bit
// field, and plain unsigned 32-bit values; both ascending.
int32_t CompareRec12ByThird(const void* A, const void* B);
int32_t CompareUInt32(const void* A, const void* B);
