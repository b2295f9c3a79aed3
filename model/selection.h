// TSelectedObjects: the selection of one page. It keeps the selected items
// (in the order they were selected; the page owns them), the anchors drawn
// around them, snapshots for drag feedback, and records every change of the
// set in the page's history (codes 48 to 69). The captioned editing commands
// that act on the selection are methods of this class too; they live in
// selection_commands.cpp.
//
// Records (int32 little-endian; items named by object ID):
//   48 item added, 49 item removed (its undo record also holds the
//   item's place in the list), 50 item inserted (undo only),
//   51 the whole item list (undo only), 52 node-selection snapshot: per
//   polyline its ID and one byte per path point (undo only), 53 node
//   selection changes (9-byte records), 55 clear, 56 to 69 the commands
//   re-run on redo.
//
// Stream of the selection (SaveToStream): int32 25, the selected items in
// tree order as one group in the binary draw-item form, then the picture
// store's binary form restricted to the pictures they use.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/geometry_types.h"
#include "model/anchors.h"
#include "model/draw_group.h"
#include "model/page_selection.h"
#include "store/history.h"

class TPage;
class TPolyLineObj;
class TStream;
class TMemoryStream;
class TDragFrameDC;
class TListPtrWex;

// The empty bounds of a selection.
inline constexpr TRect SelectionEmptyRect{2147483647, 2147483647, -2147483647 - 1,
                                          -2147483647 - 1};

// Stream version of the selection's stream and clipboard text.
constexpr int32_t SelectionStreamVersion = 25;

// Why a move of the selection was refused (EUserError).
inline constexpr const char* MoveBeyondReachText = "TSelectedObjects.MoveBy: an item would leave the reach of the page";

class TSelectedObjects : public TUndoObject, public TPageSelection, public TAnchorsOwner {
public:
    static constexpr int32_t CmdAddItem = 48;
    static constexpr int32_t CmdRemoveItem = 49;
    static constexpr int32_t CmdInsertItem = 50;
    static constexpr int32_t CmdSelectedItems = 51;
    static constexpr int32_t CmdNodeSnapshot = 52;
    static constexpr int32_t CmdNodeSelect = 53;
    static constexpr int32_t CmdClearSelection = 55;
    static constexpr int32_t CmdSetNodeType = 56;
    static constexpr int32_t CmdDeleteNodes = 57;
    static constexpr int32_t CmdJoinEndNodes = 58;
    static constexpr int32_t CmdToPolyLine = 59;
    static constexpr int32_t CmdMergeLines = 60;
    static constexpr int32_t CmdUnmergeLines = 61;
    static constexpr int32_t CmdDelete = 62;
    static constexpr int32_t CmdUngroup = 63;
    static constexpr int32_t CmdAddNewDrawItem = 64;
    static constexpr int32_t CmdCut = 65;
    static constexpr int32_t CmdCopy = 66;
    static constexpr int32_t CmdSegmentType0 = 67;

    using TChangeEvent = std::function<void(TSelectedObjects* Sender, bool Flag)>;
    // Called when a new item's command ends with a tool to return to.
    using TToolButton = std::function<void()>;

    // Registers in AHistory (may be nil: nothing is recorded). APage may be
    // nil for a selection without a page (no views, no tree).
    TSelectedObjects(THistoryCommand* AHistory, TPage* APage);
    // Forgets the items (the page owns them), frees the drag clones.
    ~TSelectedObjects() override;

    std::string ClassName() const override { return "TSelectedObjects"; }

    // Codes 48 to 53; others raise "TSelectedObjects.Undo: Illegal Command.".
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    // Codes 48, 49, 53 and 55 to 69; others go to Undo.
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    // --- the set
    void AddItem(TDrawItem* Item);
    void AddItemSub(TDrawItem* Item);
    void RemoveItem(TDrawItem* Item);
    void RemoveItemSub(TDrawItem* Item);
    void InsertItem(int32_t Index, TDrawItem* Item);
    bool IsSelected(const TDrawItem* Item) const override;
    void ClearSelection() override;
    void ClearSelectionSub();
    void EmptyItems() override;
    void SetItems(const std::vector<TDrawItem*>& Items) override;
    void RecordSelectedItems();
    void SelectInRect(const TRect& Rect, bool InsideOnly, TDrawGroup& Group);
    uint8_t GetEditMode() const override { return FbEditMode; }
    void SetEditMode(uint8_t Mode) override { FbEditMode = Mode; }
    void SelectNodesInRect(const TRect& Rect, int32_t Code, TDrawGroup& Group);
    void ClearNodeSelection() override;

    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
    TDrawItem* GetItem(int32_t Index) const;
    const std::vector<TDrawItem*>& Items() const { return FItems; }

    // --- update bracket
    void BeginUpdate() override;
    void EndUpdate() override;
    void Changed(bool Flag);
    int32_t UpdateCount() const { return FiUpdateCount; }
    TChangeEvent OnChange;

    // --- bounds, anchors, hit test
    void CalcBounds();
    TRect GetExtent() override;
    // The stored bounds, recomputed first when stale.
    TRect GetBounds() override;
    const TRect& Bounds() const { return FBounds; }
    bool BoundsValid() const { return FbBoundsValid != 0; }
    bool AnchorsValid() const { return FbAnchorsValid != 0; }
    void RebuildAnchors() override;
    TAnchors& GetAnchors();
    void SetAnchorsValid(bool Value) override;
    void SetAnchorsVisible(bool Value);
    bool GetAnchorsVisible() const;
    void InvalidateView();
    // Anchor kind under (X, Y), else 1 inside the stored bounds (inclusive),
    // else 0.
    uint8_t HitTest(int32_t X, int32_t Y, int32_t ZoomPercent);

    // --- moving and feedback
    // Every item by (DX, DY); refused whole (EUserError MoveBeyondReachText,
    // nothing moved) when one would not keep its reach (MoveKeepsReach).
    void MoveBy(int32_t DX, int32_t DY);
    void ScaleTo(double CX, double CY, double FX, double FY);
    void RotateBy(double CX, double CY, double Angle);
    void DuplicateToDragGroup();
    void ScaleDragGroup(TDragFrameDC& DC, double CX, double CY, double FX, double FY);
    void RotateDragGroup(TDragFrameDC& DC, double CX, double CY, double Angle);
    void RestoreFromDragGroup();
    void DrawDragOutline(TDragFrameDC& DC);
    void DrawXorOutline(TDragFrameDC& DC, int32_t Flag);
    TDrawGroup& DragGroup() const { return *FDragGroup; }

    // --- streams (items in tree order of RootGroup)
    void WriteItemsAsText(TStream& Stream, TDrawGroup& RootGroup);
    void WriteItemsBinary(TStream& Stream, TDrawGroup& RootGroup);
    void SaveToStream(TStream& Stream, bool WithPictures);
    // The picture handles the selected items use.
    void CollectPictureHandles(TListPtrWex& List);

    // --- commands (selection_commands.cpp). A captioned command is one
    // history command: cancelled when anything raises, not recorded when it
    // would change nothing.
    void CommandAddNewDrawItem(std::unique_ptr<TDrawItem> Item, const TToolButton& ToolButton);
    void DeleteCommand(const std::string& Caption);
    void DeleteEmptyTexts();
    bool IsOnlyEmptyTexts() const;
    void DeleteItems();
    void CutToClipboard();
    void CopyToClipboard();
    void WriteDrawItemClipboard();
    void Ungroup();
    void CommandToPolyLine();
    void MergeLines();
    void UnmergeLines();
    void CommandSetNodeType(uint8_t NodeType);
    void CommandDeleteNodes();
    // Runs inside the caller's command.
    void CommandSetSegmentType(uint8_t SegmentType);
    bool JoinEndNodes(std::string& Message);
    // Commands of the document window on the selection.
    void PasteCommand(TStream& Stream, bool AsText, const std::string& Caption);
    void DuplicateCommand(const std::string& Caption);
    void GroupCommand(const std::string& Caption);
    void MoveCommand(int32_t DX, int32_t DY);
    void ScaleCommand(double CX, double CY, double FX, double FY);
    void RotateCommand(double CX, double CY, double Angle);

    // Node selection helpers (also the node-edit commands' bookkeeping).
    struct TNodeEntry {
        TPolyLineObj* Object;
        std::vector<int32_t> Indexes;
    };
    // Per polyline met going through the anchors from the last to the
    // first, the indexes of its selected node anchors.
    std::vector<TNodeEntry> CollectSelectedNodes();
    std::vector<TNodeAnchor*> OrderedNodeAnchors();
    void RecordNodeSelection(const std::vector<TNodeEntry>& Entries);
    void SnapshotNodeSelection();
    void RebuildNodeAnchors();

    // TAnchorsOwner
    void AnchorsAddHistory(uint8_t Kind, int32_t Command, const void* Data,
                           int32_t Size) override;
    bool IsItemSelected(const TDrawItem* Item) const override { return IsSelected(Item); }
    void InvalidateAnchorViews() override { InvalidateView(); }
    void InvalidatePageRect(const TRect& Rect) override;

    TPage* Page() const { return FPage; }

private:
    TDrawItem* FindItem(int32_t ID, const char* Caller) const;
    TPolyLineObj* FindPolyLine(int32_t ID, const char* Caller) const;
    void RemoveFromList(TDrawItem* Item);
    void RecordNodeStatesOf(TDrawItem* Item);
    void AfterTransform();
    void WriteItems(TStream& Stream, TDrawGroup& RootGroup, bool AsText);
    void UndoNodeSnapshot(const void* Data, int32_t Size);
    void ReplayNodeSelect(const void* Data, int32_t Size, bool Invert);
    void RedoAddNewDrawItem(const void* Data, int32_t Size);
    template <class F>
    void RunCommand(const std::string& Caption, F&& Body);
    void ApplySegmentType(uint8_t SegmentType, TPolyLineObj* Object, std::vector<int32_t>& Indexes);
    void DivideAtNodes(TPolyLineObj* Object, const std::vector<int32_t>& Indexes);
    void SelectListedNodes(TPolyLineObj* Object, const std::vector<int32_t>& Indexes);

    std::vector<TDrawItem*> FItems;  // not owned: the page's items
    uint8_t FbAnchorsValid = 0;
    std::unique_ptr<TAnchors> FAnchors;
    uint8_t FbBoundsValid = 0;
    TRect FBounds = SelectionEmptyRect;
    TPage* FPage = nullptr;  // not owned: the page owns the selection
    std::unique_ptr<TDrawGroup> FDragGroup;
    uint8_t FbEditMode = 0;
    int32_t FiUpdateCount = 0;
};

// The page selection factory that makes a TSelectedObjects wired to its page
// (history, change event); SetPageSelectionFactory(NewSelectedObjects).
std::unique_ptr<TPageSelection> NewSelectedObjects(TPage& Page);
