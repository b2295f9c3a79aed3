#include "model/selection.h"

#include <algorithm>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/lists.h"
#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/page.h"
#include "model/poly_line_obj.h"
#include "store/history_bracket.h"
#include "store/picture_store.h"

namespace {

constexpr const char* kIllegalCommand = "TSelectedObjects.Undo: Illegal Command.";

void PutInt32(std::vector<uint8_t>& B, int32_t V)
{
    const auto U = static_cast<uint32_t>(V);
    for (int I = 0; I < 4; ++I)
        B.push_back(static_cast<uint8_t>(U >> (8 * I)));
}

int32_t GetInt32(const uint8_t* P)
{
    uint32_t U = 0;
    for (int I = 0; I < 4; ++I)
        U |= static_cast<uint32_t>(P[I]) << (8 * I);
    return static_cast<int32_t>(U);
}

void WriteInt32LE(TStream& Stream, int32_t V)
{
    std::vector<uint8_t> B;
    PutInt32(B, V);
    Stream.WriteBuffer(B.data(), 4);
}

TRect UnionRect(const TRect& A, const TRect& B)
{
    return {std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
            std::max(A.Bottom, B.Bottom)};
}

// Writes Item as a child of a group whose ID is GroupID: the common part's
// parent field names that group (as when the items stand in a temporary
// group), not the item's real parent.
void WriteAsChildOf(TDrawItem& Item, TStream& Out, bool AsText, int32_t GroupID)
{
    TMemoryStream S;
    if (AsText)
        Item.WriteToStreamAsText(S);
    else
        Item.WriteToStream(S);
    auto* P = static_cast<uint8_t*>(S.Memory());
    const int64_t Size = S.Size();
    const int32_t RealParent = Item.Parent() ? Item.Parent()->ObjID() : 0;
    if (!AsText) {
        // type byte, ID, name (int32 length and bytes), parent ID
        const int64_t NameLen = static_cast<int64_t>(Item.Name().size());
        const int64_t Off = 1 + 4 + 4 + NameLen;
        if (Off + 4 <= Size && GetInt32(P + Off) == RealParent) {
            std::vector<uint8_t> B;
            PutInt32(B, GroupID);
            std::memcpy(P + Off, B.data(), 4);
        }
        Out.WriteBuffer(P, static_cast<int32_t>(Size));
        return;
    }
    // Lines: type, ID, name, parent ID.
    int64_t Pos = 0;
    for (int Line = 0; Line < 3 && Pos >= 0; ++Line) {
        const auto* Hit = static_cast<const uint8_t*>(
            Size > Pos ? std::memchr(P + Pos, '\n', static_cast<size_t>(Size - Pos)) : nullptr);
        Pos = Hit ? (Hit - P) + 1 : -1;
    }
    const std::string Expected = std::to_string(RealParent) + "\r\n";
    if (Pos >= 0 && Pos + static_cast<int64_t>(Expected.size()) <= Size &&
        std::memcmp(P + Pos, Expected.data(), Expected.size()) == 0) {
        Out.WriteBuffer(P, static_cast<int32_t>(Pos));
        StreamWriteln(Out, std::to_string(GroupID));
        const int64_t Rest = Pos + static_cast<int64_t>(Expected.size());
        if (Size > Rest)
            Out.WriteBuffer(P + Rest, static_cast<int32_t>(Size - Rest));
        return;
    }
    Out.WriteBuffer(P, static_cast<int32_t>(Size));
}

} // namespace

// ---------------------------------------------------------------------------

TSelectedObjects::TSelectedObjects(THistoryCommand* AHistory, TPage* APage)
    : TUndoObject(AHistory),
      FAnchors(std::make_unique<TAnchors>(this)),
      FPage(APage),
      FDragGroup(std::make_unique<TDrawGroup>(nullptr, -1))
{
}

TSelectedObjects::~TSelectedObjects()
{
    FItems.clear();
    MarkDrawItemSilent(*FDragGroup);
    FDragGroup.reset();
    FAnchors.reset();
}

std::unique_ptr<TPageSelection> NewSelectedObjects(TPage& Page)
{
    auto Sel = std::make_unique<TSelectedObjects>(Page.GetHistory(), &Page);
    TPage* P = &Page;
    Sel->OnChange = [P](TSelectedObjects*, bool Flag) { P->SelectionChanged(Flag); };
    return Sel;
}

TDrawItem* TSelectedObjects::GetItem(int32_t Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(SListIndexError, Index);
    return FItems[static_cast<size_t>(Index)];
}

TDrawItem* TSelectedObjects::FindItem(int32_t ID, const char* Caller) const
{
    THistoryCommand* H = HistoryCommand();
    auto* Item = H ? dynamic_cast<TDrawItem*>(H->GetObj(ID)) : nullptr;
    if (!Item)
        throw EUserError(std::string(Caller) + ": Item Not Found (" + std::to_string(ID) + ")");
    return Item;
}

// ---------------------------------------------------------------------------
// The set

void TSelectedObjects::AddItem(TDrawItem* Item)
{
    const int32_t ID = Item->ObjID();
    AddHistory(1, CmdAddItem, &ID, 4);
    AddItemSub(Item);
}

void TSelectedObjects::AddItemSub(TDrawItem* Item)
{
    if (!Item)
        throw EUserError("TSelectedObjects.AddItemSub: (Item = nil)");
    const int32_t ID = Item->ObjID();
    AddHistory(0, CmdAddItem, &ID, 4);
    FItems.push_back(Item);
    FbBoundsValid = 0;
    FbAnchorsValid = 0;
    Changed(true);
}

void TSelectedObjects::RemoveItem(TDrawItem* Item)
{
    const int32_t ID = Item->ObjID();
    AddHistory(1, CmdRemoveItem, &ID, 4);
    RemoveItemSub(Item);
}

void TSelectedObjects::RemoveFromList(TDrawItem* Item)
{
    auto It = std::find(FItems.begin(), FItems.end(), Item);
    if (It == FItems.end())
        return;
    FItems.erase(It);
    // Anchors never outlive their object's place in the list: the item
    // may be freed next.
    for (int32_t I = 0; I < FAnchors->GetCount(); ++I) {
        auto* N = dynamic_cast<TNodeAnchor*>(FAnchors->GetNodeAnchor(I));
        if (N && static_cast<TDrawItem*>(N->Owner) == Item) {
            RebuildNodeAnchors();
            break;
        }
    }
}

void TSelectedObjects::RemoveItemSub(TDrawItem* Item)
{
    // The undo record also keeps the place in the list, so that undo puts
    // the item back where it was (a record of the ID alone appends it).
    const auto It = std::find(FItems.begin(), FItems.end(), Item);
    RecordNodeStatesOf(Item);
    std::vector<uint8_t> Rec;
    PutInt32(Rec, Item->ObjID());
    if (It != FItems.end())
        PutInt32(Rec, static_cast<int32_t>(It - FItems.begin()));
    AddHistory(0, CmdRemoveItem, Rec.data(), static_cast<int32_t>(Rec.size()));
    RemoveFromList(Item);
    FbBoundsValid = 0;
    FbAnchorsValid = 0;
    Changed(true);
}

// Before an item leaves the list its node selection goes with its anchors:
// an undo-only record 53 brings it back after the item is back (closing
// points first, since setting one also sets its figure's first node).
void TSelectedObjects::RecordNodeStatesOf(TDrawItem* Item)
{
    THistoryCommand* H = HistoryCommand();
    if (!H || H->IsLockAddHistory())
        return;
    std::vector<uint8_t> Rec;
    for (int Pass = 0; Pass < 2; ++Pass)
        for (int32_t I = 0; I < FAnchors->GetCount(); ++I) {
            auto* N = dynamic_cast<TNodeAnchor*>(FAnchors->GetNodeAnchor(I));
            if (!N || N->Kind != akNode || static_cast<TDrawItem*>(N->Owner) != Item)
                continue;
            if (((N->PointType & 1) != 0) != (Pass == 0))
                continue;
            PutInt32(Rec, Item->ObjID());
            PutInt32(Rec, N->Index);
            Rec.push_back(N->Selected);
        }
    if (!Rec.empty())
        AddHistory(0, CmdNodeSelect, Rec.data(), static_cast<int32_t>(Rec.size()));
}

void TSelectedObjects::InsertItem(int32_t Index, TDrawItem* Item)
{
    const int32_t ID = Item->ObjID();
    AddHistory(0, CmdInsertItem, &ID, 4);
    Index = std::clamp(Index, 0, Count());
    FItems.insert(FItems.begin() + Index, Item);
    Changed(true);
}

bool TSelectedObjects::IsSelected(const TDrawItem* Item) const
{
    return std::find(FItems.begin(), FItems.end(), Item) != FItems.end();
}

void TSelectedObjects::ClearSelection()
{
    if (FItems.empty())
        return;
    AddHistory(1, CmdClearSelection, nullptr, 0);
    ClearSelectionSub();
}

void TSelectedObjects::ClearSelectionSub()
{
    if (FItems.empty())
        return;
    if (FbEditMode == 1)
        SnapshotNodeSelection();
    else
        RecordSelectedItems();
    EmptyItems();
}

void TSelectedObjects::EmptyItems()
{
    if (FItems.empty())
        return;
    FItems.clear();
    FAnchors->Clear();
    FbBoundsValid = 0;
    FBounds = SelectionEmptyRect;
    Changed(true);
}

void TSelectedObjects::SetItems(const std::vector<TDrawItem*>& Items)
{
    FAnchors->Clear();
    FItems = Items;
    FbBoundsValid = 0;
    FbAnchorsValid = 0;
    Changed(true);
}

void TSelectedObjects::RecordSelectedItems()
{
    THistoryCommand* H = HistoryCommand();
    if (!H || H->IsLockAddHistory())
        return;
    std::vector<uint8_t> B;
    for (TDrawItem* Item : FItems)
        PutInt32(B, Item->ObjID());
    AddHistory(0, CmdSelectedItems, B.data(), static_cast<int32_t>(B.size()));
}

void TSelectedObjects::SelectInRect(const TRect& Rect, bool InsideOnly, TDrawGroup& Group)
{
    bool Added = false;
    BeginUpdate();
    try {
        for (int32_t I = 0; I < Group.GetCount(); ++I) {
            TDrawItem* Item = Group.GetItem(I);
            if (IsSelected(Item))
                continue;
            const TRect B = Item->GetBounds();
            const bool Match = InsideOnly ? RectInRect(B, Rect) : RectsIntersect(B, Rect);
            if (Match) {
                AddItem(Item);
                Added = true;
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    if (Added)
        Changed(true);
}

// ---------------------------------------------------------------------------
// Update bracket

void TSelectedObjects::BeginUpdate()
{
    ++FiUpdateCount;
}

void TSelectedObjects::EndUpdate()
{
    if (FiUpdateCount > 0)
        --FiUpdateCount;
    if (FiUpdateCount == 0)
        Changed(false);
}

void TSelectedObjects::Changed(bool Flag)
{
    FbBoundsValid = 0;
    if (FiUpdateCount == 0 && OnChange)
        OnChange(this, Flag);
}

// ---------------------------------------------------------------------------
// Bounds, anchors, hit test

void TSelectedObjects::CalcBounds()
{
    TRect R = SelectionEmptyRect;
    for (TDrawItem* Item : FItems)
        R = UnionRect(R, Item->GetBounds());
    FBounds = R;
    FbBoundsValid = 1;
    if (FbEditMode != 1)
        RebuildAnchors();
}

TRect TSelectedObjects::GetExtent()
{
    if (!FbBoundsValid)
        CalcBounds();
    TRect R = FBounds;
    if (TAnchor* C = FAnchors->GetRotationCenter())
        R = UnionRect(R, TRect{C->X, C->Y, C->X, C->Y});
    return R;
}

TRect TSelectedObjects::GetBounds()
{
    if (!FbBoundsValid)
        CalcBounds();
    return FBounds;
}

void TSelectedObjects::RebuildAnchors()
{
    InvalidateView();
    if (FbEditMode == 1)
        RebuildNodeAnchors();
    else
        FAnchors->SetHandlesForItems(FItems, 0);
    FbBoundsValid = 1;
    FbAnchorsValid = 1;
    InvalidateView();
}

TAnchors& TSelectedObjects::GetAnchors()
{
    if (!FbAnchorsValid)
        RebuildAnchors();
    return *FAnchors;
}

void TSelectedObjects::SetAnchorsValid(bool Value)
{
    const uint8_t V = Value ? 1 : 0;
    if (V == FbAnchorsValid)
        return;
    if (FPage)
        for (int32_t I = 0; I < FPage->GetFormCount(); ++I)
            FPage->GetForm(I)->InvalidatePageRect(nullptr);
    FbAnchorsValid = V;
}

void TSelectedObjects::SetAnchorsVisible(bool Value)
{
    const uint8_t V = Value ? 1 : 0;
    if (V == FAnchors->Visible)
        return;
    if (FPage)
        for (int32_t I = 0; I < FPage->GetFormCount(); ++I)
            FPage->GetForm(I)->InvalidatePageRect(nullptr);
    FAnchors->Visible = V;
}

bool TSelectedObjects::GetAnchorsVisible() const
{
    return FAnchors->Visible != 0;
}

void TSelectedObjects::InvalidateView()
{
    if (!FPage || FPage->GetFormCount() == 0)
        return;
    const TRect R = GetExtent();
    for (int32_t I = 0; I < FPage->GetFormCount(); ++I)
        FPage->GetForm(I)->InvalidatePageRect(&R);
}

void TSelectedObjects::InvalidatePageRect(const TRect& Rect)
{
    if (!FPage)
        return;
    for (int32_t I = 0; I < FPage->GetFormCount(); ++I)
        FPage->GetForm(I)->InvalidatePageRect(&Rect);
}

uint8_t TSelectedObjects::HitTest(int32_t X, int32_t Y, int32_t ZoomPercent)
{
    const uint8_t Kind = FAnchors->HitTest(X, Y, ZoomPercent);
    if (Kind != 0)
        return Kind;
    const TRect& B = FBounds;
    return (B.Left <= X && X <= B.Right && B.Top <= Y && Y <= B.Bottom) ? 1 : 0;
}

void TSelectedObjects::AnchorsAddHistory(uint8_t Kind, int32_t Command, const void* Data,
                                         int32_t Size)
{
    AddHistory(Kind, Command, Data, Size);
}

// ---------------------------------------------------------------------------
// Moving and feedback

void TSelectedObjects::AfterTransform()
{
    CalcBounds();
    if (FbEditMode != 1)
        FAnchors->SetHandlesForItems(FItems, 0);
}

void TSelectedObjects::MoveBy(int32_t DX, int32_t DY)
{
    // Refused before anything moves: an item at the edge of the reach would
    // not move whole (a side held at the int32 limit narrows it).
    for (TDrawItem* Item : FItems)
        if (!Item->MoveKeepsReach(DX, DY))
            throw EUserError(MoveBeyondReachText);
    for (TDrawItem* Item : FItems)
        Item->MoveBy(DX, DY);
    AfterTransform();
}

void TSelectedObjects::ScaleTo(double CX, double CY, double FX, double FY)
{
    for (TDrawItem* Item : FItems)
        Item->ScaleTo(CX, CY, FX, FY);
    AfterTransform();
}

void TSelectedObjects::RotateBy(double CX, double CY, double Angle)
{
    for (TDrawItem* Item : FItems)
        Item->Rotate(CX, CY, Angle);
    AfterTransform();
}

void TSelectedObjects::DuplicateToDragGroup()
{
    MarkDrawItemSilent(*FDragGroup);
    FDragGroup->Clear();
    for (TDrawItem* Item : FItems) {
        std::unique_ptr<TDrawItem> Clone = CreateDrawItem(Item->GetClass(), nullptr, -1);
        Clone->Assign(Item);
        FDragGroup->AddChild(std::move(Clone), -1);
    }
}

void TSelectedObjects::RestoreFromDragGroup()
{
    // The real items are only shown transformed: nothing of it is recorded.
    {
        THistoryLock Lock(HistoryCommand());
        const int32_t N = std::min(Count(), FDragGroup->GetCount());
        for (int32_t I = 0; I < N; ++I)
            FItems[static_cast<size_t>(I)]->Assign(FDragGroup->GetItem(I));
    }
    FbBoundsValid = 0;
}

void TSelectedObjects::ScaleDragGroup(TDragFrameDC& DC, double CX, double CY, double FX,
                                      double FY)
{
    try {
        THistoryLock Lock(HistoryCommand());
        for (TDrawItem* Item : FItems) {
            Item->ScaleTo(CX, CY, FX, FY);
            Item->DrawDragFrame(DC, 1);
        }
    } catch (...) {
        RestoreFromDragGroup();
        throw;
    }
    RestoreFromDragGroup();
}

void TSelectedObjects::RotateDragGroup(TDragFrameDC& DC, double CX, double CY, double Angle)
{
    try {
        THistoryLock Lock(HistoryCommand());
        for (TDrawItem* Item : FItems) {
            Item->Rotate(CX, CY, Angle);
            Item->DrawDragFrame(DC, 1);
        }
    } catch (...) {
        RestoreFromDragGroup();
        throw;
    }
    RestoreFromDragGroup();
}

void TSelectedObjects::DrawDragOutline(TDragFrameDC& DC)
{
    for (TDrawItem* Item : FItems)
        Item->DrawDragFrame(DC, 1);
}

void TSelectedObjects::DrawXorOutline(TDragFrameDC& DC, int32_t Flag)
{
    for (TDrawItem* Item : FItems)
        Item->DrawDragFrame(DC, Flag);
}

// ---------------------------------------------------------------------------
// Streams

void TSelectedObjects::WriteItems(TStream& Stream, TDrawGroup& RootGroup, bool AsText)
{
    std::vector<TDrawItem*> Ordered;
    RootGroup.SortByZOrder(FItems, Ordered);
    // The envelope of a temporary group (no page, so ID -1) holding them.
    TDrawGroup Temp(nullptr, -1);
    if (AsText) {
        StreamWriteln(Stream, "0");
        Temp.TDrawItem::WriteToStreamAsText(Stream);
        StreamWriteln(Stream, std::to_string(Ordered.size()));
    } else {
        const uint8_t Type = doftGroup;
        Stream.WriteBuffer(&Type, 1);
        Temp.TDrawItem::WriteToStream(Stream);
        WriteInt32LE(Stream, static_cast<int32_t>(Ordered.size()));
    }
    for (TDrawItem* Item : Ordered)
        WriteAsChildOf(*Item, Stream, AsText, Temp.ObjID());
}

void TSelectedObjects::WriteItemsAsText(TStream& Stream, TDrawGroup& RootGroup)
{
    WriteItems(Stream, RootGroup, true);
}

void TSelectedObjects::WriteItemsBinary(TStream& Stream, TDrawGroup& RootGroup)
{
    WriteItems(Stream, RootGroup, false);
}

void TSelectedObjects::CollectPictureHandles(TListPtrWex& List)
{
    TDocumentLink* Doc = FPage ? FPage->GetDocument() : nullptr;
    TListRecPict* Store = Doc ? Doc->GetPictureStore() : nullptr;
    if (!Store)
        return;
    for (TDrawItem* Item : FItems)
        Item->CollectPictureHandles(List, *Store);
}

void TSelectedObjects::SaveToStream(TStream& Stream, bool WithPictures)
{
    if (!FPage)
        throw EUserError("TSelectedObjects.SaveToStream: (Page = nil)");
    Stream.SetPosition(0);
    Stream.SetSize(0);
    WriteInt32LE(Stream, SelectionStreamVersion);
    WriteItemsBinary(Stream, FPage->RootGroup());
    TListPtrWex Handles;
    if (WithPictures)
        CollectPictureHandles(Handles);
    TDocumentLink* Doc = FPage->GetDocument();
    TListRecPict* Store = Doc ? Doc->GetPictureStore() : nullptr;
    if (Store) {
        Store->WriteToStream(Stream, &Handles);
    } else {
        TListRecPict Empty(nullptr);
        Empty.WriteToStream(Stream, &Handles);
    }
}

// ---------------------------------------------------------------------------
// Undo and redo

void TSelectedObjects::Undo(int32_t Command, const void* Data, int32_t Size)
{
    const auto* P = static_cast<const uint8_t*>(Data);
    switch (Command & 0x7F) {
    case CmdAddItem:
    case CmdInsertItem:
        if (Size != 4)
            throw EUserError(kIllegalCommand);
        RemoveItemSub(FindItem(GetInt32(P), "TSelectedObjects.Undo"));
        break;
    case CmdRemoveItem: {
        if (Size != 4 && Size != 8)
            throw EUserError(kIllegalCommand);
        TDrawItem* Item = FindItem(GetInt32(P), "TSelectedObjects.Undo");
        if (Size == 4) {
            AddItemSub(Item);
            break;
        }
        const int32_t Index = std::clamp(GetInt32(P + 4), 0, Count());
        FItems.insert(FItems.begin() + Index, Item);
        FbBoundsValid = 0;
        FbAnchorsValid = 0;
        Changed(true);
        break;
    }
    case CmdSelectedItems: {
        if (Size < 0 || Size % 4 != 0)
            throw EUserError(kIllegalCommand);
        std::vector<TDrawItem*> Items;
        for (int32_t Off = 0; Off < Size; Off += 4)
            Items.push_back(FindItem(GetInt32(P + Off), "TSelectedObjects.Undo"));
        EmptyItems();
        BeginUpdate();
        try {
            for (TDrawItem* Item : Items)
                AddItemSub(Item);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        break;
    }
    case CmdNodeSnapshot:
        UndoNodeSnapshot(Data, Size);
        break;
    case CmdNodeSelect:
        ReplayNodeSelect(Data, Size, false);
        break;
    default:
        throw EUserError(kIllegalCommand);
    }
}

void TSelectedObjects::Redo(int32_t Command, const void* Data, int32_t Size)
{
    const auto* P = static_cast<const uint8_t*>(Data);
    const int32_t Code = Command & 0x7F;
    switch (Code) {
    case CmdAddItem:
        if (Size != 4)
            throw EUserError(kIllegalCommand);
        AddItemSub(FindItem(GetInt32(P), "TSelectedObjects.Redo"));
        break;
    case CmdRemoveItem:
        if (Size != 4)
            throw EUserError(kIllegalCommand);
        RemoveItemSub(FindItem(GetInt32(P), "TSelectedObjects.Redo"));
        break;
    case CmdNodeSelect:
        ReplayNodeSelect(Data, Size, true);
        break;
    case CmdClearSelection:
        ClearSelectionSub();
        break;
    case CmdSetNodeType:
        if (Size != 1)
            throw EUserError(kIllegalCommand);
        CommandSetNodeType(P[0]);
        break;
    case CmdDeleteNodes:
        CommandDeleteNodes();
        break;
    case CmdJoinEndNodes: {
        std::string Message;
        JoinEndNodes(Message);
        break;
    }
    case CmdToPolyLine:
        CommandToPolyLine();
        break;
    case CmdMergeLines:
        MergeLines();
        break;
    case CmdUnmergeLines:
        UnmergeLines();
        break;
    case CmdDelete:
        DeleteCommand("");
        break;
    case CmdUngroup:
        Ungroup();
        break;
    case CmdAddNewDrawItem:
        RedoAddNewDrawItem(Data, Size);
        break;
    case CmdCut:
        CutToClipboard();
        break;
    case CmdCopy:
        CopyToClipboard();
        break;
    case 67:
    case 68:
    case 69:
        CommandSetSegmentType(static_cast<uint8_t>(Code - CmdSegmentType0));
        break;
    default:
        Undo(Command, Data, Size);
    }
}

void TSelectedObjects::RedoAddNewDrawItem(const void* Data, int32_t Size)
{
    if (!FPage)
        throw EUserError("TSelectedObjects.Redo: (Page = nil)");
    // The item comes back under its old ID when that slot is free (an item
    // made before the command opened keeps its slot after undo).
    int32_t AID = -1;
    THistoryCommand* H = HistoryCommand();
    if (H && Size >= 5) {
        const int32_t Stored = GetInt32(static_cast<const uint8_t*>(Data) + 1);
        if (Stored >= 0 && Stored < H->ObjListCount() && !H->GetObj(Stored))
            AID = Stored;
    }
    TMemoryStreamWex S;
    S.SetPointer(Data, Data ? Size : 0);
    std::unique_ptr<TDrawItem> Item =
        DrawItemReadFromStreamNew(S, FPage, nullptr, AID, SelectionStreamVersion);
    try {
        if (TLayers* Layers = FPage->GetLayers())
            TDrawItem::RelinkLayers(*Item, *Layers);
    } catch (...) {
        MarkDrawItemSilent(*Item);
        throw;
    }
    CommandAddNewDrawItem(std::move(Item), nullptr);
}
