// TDrawGroup: the container of the draw-item tree. It owns its children in
// z-order (index 0 at the back), performs the undoable structural edits
// (add, delete, move into a group, stacking order, duplicate) and passes the
// item operations on to its children.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "model/draw_item.h"

class TPolyLineObj;

class TDrawGroup : public TDrawItem {
public:
    TDrawGroup(TPageLink* APage, int32_t AID);
    // Frees the children from the last to the first, each taken out of the
    // list and invalidated first (unless the page is being destroyed).
    ~TDrawGroup() override;

    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    // Codes 2 and 4-8 undo, 3, 4, 6, 7 (and 8) redo; others go to TDrawItem.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    TRect GetPaintExtent() override;
    TRect GetSourceExtent() override;
    void CalcExtents() override;
    void ResetExtents() override;
    void Paint(TrecDrawTarget& Target, uint8_t DisplayMode, TListRecPict* PictureStore,
               uint8_t* AbortFlag, int32_t Flags) override;
    // Paint of the children from First on only (those below are in Target
    // already).
    void PaintFrom(int32_t First, TrecDrawTarget& Target, uint8_t DisplayMode, TListRecPict* PictureStore,
                   uint8_t* AbortFlag, int32_t Flags);
    void CalcExtentsAndInvalidate() override;
    void Invalidate(bool Flag) override;
    void DrawDragFrame(TDragFrameDC& DC, int32_t Mode) override;
    // (MaxInt, MaxInt, MinInt, MinInt) widened by every child's bounds.
    TRect GetBounds() override;
    bool SameAttributes(TDrawItem* Other) override;
    void RebuildPath() override;
    // True when Other is a direct child.
    bool IsSameItem(const TDrawItem* Other) const override;
    // Passed on to every child. Children are owned, so a child is never
    // swapped for an item owned elsewhere.
    void ReplaceReference(TDrawItem* OldItem, TDrawItem* NewItem) override;
    void NotifyItemChanged(TDrawItem* Item) override;

    // Binary: type byte 0, the common part, int32 child count, each child.
    // Text: line "0", the common part, a count line, each child. The readers
    // read the children into a new list first; the group's own state and
    // children change only when the whole group was read.
    void WriteToStream(TStream& Stream) override;
    void ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version) override;
    void WriteToStreamAsText(TStream& Stream) override;
    void ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version) override;

    // Source must be a group ("TDrawGroup.Assign: DrawItemSrc is not
    // TDrawGroup", EConvertError); children are matched by index and class.
    void Assign(TDrawItem* Source) override;
    void CollectPictureHandles(TListPtrWex& List, const TListRecPict& Store) override;
    void SetLayer(TLayer* Layer) override;
    // Every child, also for a move along one axis only; (0, 0) does nothing.
    void MoveBy(int32_t DX, int32_t DY) override;
    bool MoveKeepsReach(int32_t DX, int32_t DY) override;
    void Rotate(double CX, double CY, double Angle) override;
    void ScaleTo(double CX, double CY, double FX, double FY) override;
    bool SnapPoint(TPoint& Point, int32_t SqrRadius) override;
    // Smallest of the children's distances; MaxInt when empty.
    int32_t DistanceTo(const TPoint& Point) override;
    bool HitTest(const TPoint& Point, int32_t Tolerance) override;
    bool NodeNear(const TPoint& Point, int32_t SqrTolerance) override;
    // Every child becomes a child of this group (its parent link and read
    // parent ID); recurses, and lets every child relink its own links.
    void RelinkReadItems(const TList2Item* IDMap) override;
    bool ValuesDrawable(int32_t Dpi) const override;
    void BringValuesIntoRange(int32_t Dpi) override;

    int32_t GetCount() const { return static_cast<int32_t>(FItems.size()); }
    // 0-based; EListError outside 0..Count-1.
    TDrawItem* GetItem(int32_t Index) const;
    int32_t IndexOf(const TDrawItem* Item) const;

    // Inserts at Index (>= 0, clamped to the count) or appends; the item's
    // parent becomes this group; records undo code 2 with the final index;
    // invalidates the item; sets the modified flag. Returns the item.
    TDrawItem* AddChild(std::unique_ptr<TDrawItem> Item, int32_t Index);
    // Records redo code 3 with the item's binary form, then AddChild at the end.
    TDrawItem* AddChildCommand(std::unique_ptr<TDrawItem> Item);
    // Moves an item that a group holds to the end of this group (undo code 4:
    // position record; redo code 4: its ID). EUserError when the item has no
    // parent group or is this group or one of its ancestors. A nested group
    // the move leaves empty is deleted from its parent as DeleteChild does.
    void AddChildToEnd(TDrawItem* Item);
    // Records undo code 5 (ID, index, binary form) and frees the item. A
    // nested group left empty is deleted from its parent in turn (and so on
    // upwards); this group may then be freed: the caller must not touch it
    // afterwards. "TDrawGroup.DeleteChild: Not Found" for a non-child.
    void DeleteChild(TDrawItem* Item);
    // One step back / forward (code 8); nothing at the first / last place.
    void OneDown(TDrawItem* Item);
    void OneUp(TDrawItem* Item);
    // The items (children of this group) to the front / back in z-order
    // (codes 6 / 7); a non-child raises "TDrawGroup.ToTop" /
    // "TDrawGroup.ToBottom" before anything changes.
    void ToTop(const std::vector<TDrawItem*>& Items);
    void ToBottom(const std::vector<TDrawItem*>& Items);
    // Clones of the items (z-order kept) appended to this group; Result
    // receives the clones.
    void DuplicateItems(const std::vector<TDrawItem*>& Items, std::vector<TDrawItem*>& Result);
    // The items found in this tree, in depth-first order (a group before its
    // children); items not in the tree are left out.
    void SortByZOrder(const std::vector<TDrawItem*>& Items, std::vector<TDrawItem*>& Result) const;
    // The most derived class every leaf inherits from; TDrawItem when there
    // is no leaf.
    const TDrawItemClass& GetCommonClass() const;
    // An object of the common class holding the merged properties of every
    // leaf; nothing when there is no leaf. When that object takes no
    // properties the error box "TDrawGroup.MakePropertyObject: DrawItem is
    // not TDrawObject" is shown and nothing is returned.
    std::unique_ptr<TDrawItem> MakePropertyObject();
    // Frees every child and empties the list (no records).
    void Clear();
    // Frees, without records, every group below this one that holds no
    // leaf (groups holding only such groups included): a tree just read
    // may carry them from files written before empty groups were removed.
    void DropEmptyGroups();

    // From the last child to the first, recursing into groups: every
    // polyline drops its degenerate figures (recorded) and each one left
    // with fewer than 2 points is deleted from its group, once. A group
    // emptied so leaves its parent: this group may then be freed, and the
    // caller must not touch it afterwards.
    void DeleteShortLines();
    // The same over Items, listed as the children of a group that does not
    // own them (the selection's items): a short line is deleted from its
    // own parent group. BeforeDelete, when given, receives the lines that
    // go before any of them is deleted.
    static void DeleteShortLines(
        const std::vector<TDrawItem*>& Items,
        const std::function<void(const std::vector<TPolyLineObj*>&)>& BeforeDelete = {});
    // Every direct child that is a polyline splits its figures into
    // separate polylines appended to this group (recorded); Pieces, when
    // given, receives the new ones.
    void UnmergeLines(std::vector<TPolyLineObj*>* Pieces);
    // The same over Items (see above): the pieces go to each line's parent.
    static void UnmergeLines(const std::vector<TDrawItem*>& Items,
                             std::vector<TPolyLineObj*>* Pieces);

private:
    std::unique_ptr<TDrawItem> TakeChild(int32_t Index);
    void InsertChild(std::unique_ptr<TDrawItem> Item, int32_t Index);
    void FreeChild(std::unique_ptr<TDrawItem> Item);
    void StackItems(const std::vector<TDrawItem*>& Items, bool ToFront);
    void RestorePositions(const void* Data, int32_t Size);
    void UndoDeleteChild(const void* Data, int32_t Size);
    void SwapChildren(int32_t Index);
    template <class Reader>
    void ReadBody(int32_t Count, Reader ReadChild);

    std::vector<std::unique_ptr<TDrawItem>> FItems;
};

// Walks Group's children in list order, recursing into groups: the last leaf
// (in depth-first order, i.e. the topmost) whose distance to Point is at most
// Limit wins. Item nil and Distance MaxInt when none.
void FindTopItemNearPoint(TDrawGroup& Group, const TPoint& Point, int32_t Limit,
                          int32_t& Distance, TDrawItem*& Item);

// From the last child to the first, recursing into groups: every line object
// brings its output path up to date with its base path (its path macros
// would apply there, but none is ever switched on), so that paths whose
// points were moved in place (node dragging) are current.
void UpdateGroupLinePaths(TDrawGroup& Group);
