#include "model/draw_group.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "foundation/geometry.h"
#include "foundation/lists.h"
#include "foundation/platform_wrappers.h"
#include "foundation/record_sort.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/draw_progress.h"
#include "model/layer.h"
#include "model/line_object.h"
#include "model/page_link.h"
#include "model/poly_line_obj.h"

namespace {

// Reads the int32 values of an undo record, refusing a short one.
class TRecordReader {
public:
    TRecordReader(const void* Data, int32_t Size, const char* Caller)
        : FData(static_cast<const uint8_t*>(Data)), FSize(Data ? Size : 0), FCaller(Caller)
    {
    }
    int32_t Int()
    {
        if (FPos + 4 > FSize)
            throw EUserError(std::string(FCaller) + ": Illegal Data.");
        uint32_t U = 0;
        std::memcpy(&U, FData + FPos, 4);
        FPos += 4;
        return static_cast<int32_t>(U);
    }
    const uint8_t* Rest() const { return FData + FPos; }
    int32_t RestSize() const { return FSize - FPos; }

private:
    const uint8_t* FData;
    int32_t FSize;
    int32_t FPos = 0;
    const char* FCaller;
};

std::unique_ptr<TDrawItem> NewGroup(TPageLink* Page, int32_t ID)
{
    return std::make_unique<TDrawGroup>(Page, ID);
}

// Set while a deleted item is restored: the children of a restored group
// take their stored IDs again, so later records that name them still find
// them and the history sees no new objects.
bool GRestoreStoredIDs = false;

class TRestoreIDsScope {
public:
    TRestoreIDsScope() : FOld(GRestoreStoredIDs) { GRestoreStoredIDs = true; }
    ~TRestoreIDsScope() { GRestoreStoredIDs = FOld; }
    TRestoreIDsScope(const TRestoreIDsScope&) = delete;
    TRestoreIDsScope& operator=(const TRestoreIDsScope&) = delete;

private:
    bool FOld;
};

// The smallest stored child: type byte, ID, name length, parent ID, and the
// visible flag from version 22.
int64_t MinBinaryItemSize(int32_t Version)
{
    return Version >= 22 ? 14 : 13;
}

// The smallest text child: a type line, an ID line, a name line (maybe
// empty) and a parent line, each ended by at least one byte except the very
// last line of the stream.
constexpr int64_t MinTextItemSize = 6;

void CheckChildCount(int64_t Count, int64_t BytesLeft, int64_t MinSize, const char* Caller)
{
    if (Count < 0 || Count > (BytesLeft + 1) / MinSize)
        throw EUserError(std::string(Caller) + ": child count " + std::to_string(Count) +
                         " does not fit the " + std::to_string(BytesLeft) + " bytes left");
}

TDrawGroup* FindGroup(THistoryCommand* H, int32_t ID, const char* Caller)
{
    auto* G = H ? dynamic_cast<TDrawGroup*>(H->GetObj(ID)) : nullptr;
    if (!G)
        throw EUserError(std::string(Caller) + ": group " + std::to_string(ID) + " not found");
    return G;
}

TDrawItem* FindItem(THistoryCommand* H, int32_t ID, const char* Caller)
{
    auto* I = H ? dynamic_cast<TDrawItem*>(H->GetObj(ID)) : nullptr;
    if (!I)
        throw EUserError(std::string(Caller) + ": item " + std::to_string(ID) + " not found");
    return I;
}

void RelinkLayerOf(TDrawItem& Item, TPageLink* Page)
{
    if (Page && Page->GetLayers())
        TDrawItem::RelinkLayers(Item, *Page->GetLayers());
}

} // namespace

const TDrawItemClass TDrawGroup::ClassInfo{"TDrawGroup", &TDrawItem::ClassInfo, &NewGroup};

TDrawGroup::TDrawGroup(TPageLink* APage, int32_t AID) : TDrawItem(APage, AID) {}

TDrawGroup::~TDrawGroup()
{
    Clear();
}

TDrawItem* TDrawGroup::GetItem(int32_t Index) const
{
    if (Index < 0 || Index >= GetCount())
        throw EListError(SListIndexError, Index);
    return FItems[static_cast<size_t>(Index)].get();
}

int32_t TDrawGroup::IndexOf(const TDrawItem* Item) const
{
    for (size_t I = 0; I < FItems.size(); ++I)
        if (FItems[I].get() == Item)
            return static_cast<int32_t>(I);
    return -1;
}

std::unique_ptr<TDrawItem> TDrawGroup::TakeChild(int32_t Index)
{
    std::unique_ptr<TDrawItem> Item = std::move(FItems[static_cast<size_t>(Index)]);
    FItems.erase(FItems.begin() + Index);
    return Item;
}

void TDrawGroup::InsertChild(std::unique_ptr<TDrawItem> Item, int32_t Index)
{
    Index = std::clamp(Index, 0, GetCount());
    Item->FParent = this;
    FItems.insert(FItems.begin() + Index, std::move(Item));
}

void TDrawGroup::FreeChild(std::unique_ptr<TDrawItem> Item)
{
    if (!Item)
        return;
    TPageLink* P = Item->Page();
    if (P && !Item->IsSilent() && !P->IsDestroying())
        Item->Invalidate(true);
    Item.reset();
}

void TDrawGroup::Clear()
{
    while (!FItems.empty()) {
        std::unique_ptr<TDrawItem> Item = std::move(FItems.back());
        FItems.pop_back();
        FreeChild(std::move(Item));
    }
}

void TDrawGroup::DropEmptyGroups()
{
    // Children first, without recursion (the tree may be deep): a group
    // whose groups all went is empty in its turn when its walk ends.
    struct TStep {
        TDrawGroup* Group;
        size_t Next;
    };
    std::vector<TStep> Path{{this, 0}};
    while (!Path.empty()) {
        TStep& Top = Path.back();
        if (Top.Next < Top.Group->FItems.size()) {
            auto* Sub = dynamic_cast<TDrawGroup*>(Top.Group->FItems[Top.Next++].get());
            if (Sub)
                Path.push_back({Sub, 0});
            continue;
        }
        TDrawGroup* Done = Top.Group;
        Path.pop_back();
        if (Path.empty() || !Done->FItems.empty())
            continue;
        TStep& Up = Path.back();
        std::unique_ptr<TDrawItem> Gone = Up.Group->TakeChild(static_cast<int32_t>(--Up.Next));
        MarkDrawItemSilent(*Gone);
    }
}

// ---------------------------------------------------------------------------
// Undo and redo

void TDrawGroup::Undo(int32_t Command, const void* Data, int32_t Size)
{
    switch (Command & 0x7F) {
    case 2: {
        TRecordReader R(Data, Size, "TDrawGroup.Undo");
        const int32_t Index = R.Int();
        if (Index < 0 || Index >= GetCount())
            throw EUserError("TDrawGroup.Undo: Illegal Index.");
        GetItem(Index)->DeleteFromParent();
        break;
    }
    case 4:
    case 6:
    case 7:
        RestorePositions(Data, Size);
        break;
    case 5:
        UndoDeleteChild(Data, Size);
        break;
    case 8: {
        TRecordReader R(Data, Size, "TDrawGroup.Undo");
        SwapChildren(R.Int());
        break;
    }
    default:
        TDrawItem::Undo(Command, Data, Size);
    }
}

void TDrawGroup::Redo(int32_t Command, const void* Data, int32_t Size)
{
    switch (Command & 0x7F) {
    case 3: {
        TMemoryStreamWex S;
        S.SetPointer(Data, Data ? Size : 0);
        std::unique_ptr<TDrawItem> Item =
            DrawItemReadFromStreamNew(S, Page(), nullptr, -1, DrawItemStreamVersion);
        try {
            RelinkLayerOf(*Item, Page());
        } catch (...) {
            MarkDrawItemSilent(*Item);
            throw;
        }
        AddChild(std::move(Item), -1);
        break;
    }
    case 4:
    case 6:
    case 7: {
        TRecordReader R(Data, Size, "TDrawGroup.Redo");
        const int32_t Count = R.Int();
        if (Count < 0 || Count > R.RestSize() / 4)
            throw EUserError("TDrawGroup.Redo: Illegal Data.");
        std::vector<TDrawItem*> Items;
        for (int32_t I = 0; I < Count; ++I)
            Items.push_back(FindItem(HistoryCommand(), R.Int(), "TDrawGroup.Redo"));
        if ((Command & 0x7F) == 4) {
            for (TDrawItem* Item : Items)
                AddChildToEnd(Item);
        } else if ((Command & 0x7F) == 6) {
            ToTop(Items);
        } else {
            ToBottom(Items);
        }
        break;
    }
    case 8: {
        TRecordReader R(Data, Size, "TDrawGroup.Redo");
        SwapChildren(R.Int());
        break;
    }
    default:
        TDrawItem::Redo(Command, Data, Size);
    }
}

void TDrawGroup::RestorePositions(const void* Data, int32_t Size)
{
    static const char* const Caller = "TDrawGroup.Undo";
    TRecordReader R(Data, Size, Caller);
    const int32_t Count = R.Int();
    if (Count < 0 || Count > R.RestSize() / 12)
        throw EUserError("TDrawGroup.Undo: Illegal Data.");
    struct TEntry {
        TDrawItem* Item;
        TDrawGroup* Group;
        int32_t Index;
    };
    std::vector<TEntry> Entries;
    THistoryCommand* H = HistoryCommand();
    for (int32_t I = 0; I < Count; ++I) {
        TDrawItem* Item = FindItem(H, R.Int(), Caller);
        TDrawGroup* Group = FindGroup(H, R.Int(), Caller);
        const int32_t Index = R.Int();
        if (!Item->Parent())
            throw EUserError("TDrawGroup.Undo: item without parent");
        Entries.push_back({Item, Group, Index});
    }
    // Everything was found: only now does the tree change.
    std::unordered_map<TDrawItem*, std::unique_ptr<TDrawItem>> Taken;
    for (const TEntry& E : Entries) {
        if (Taken.count(E.Item))
            continue;
        TDrawGroup* Old = E.Item->Parent();
        Taken[E.Item] = Old->TakeChild(Old->IndexOf(E.Item));
    }
    for (const TEntry& E : Entries) {
        auto It = Taken.find(E.Item);
        if (It == Taken.end() || !It->second)
            continue;
        E.Group->InsertChild(std::move(It->second), E.Index);
        E.Item->Invalidate(true);
    }
    SetModified();
}

void TDrawGroup::UndoDeleteChild(const void* Data, int32_t Size)
{
    TRecordReader R(Data, Size, "TDrawGroup.Undo");
    const int32_t ID = R.Int();
    const int32_t Index = R.Int();
    TMemoryStreamWex S;
    S.SetPointer(R.Rest(), R.RestSize());
    std::unique_ptr<TDrawItem> Item;
    {
        TRestoreIDsScope Restore;
        Item = DrawItemReadFromStreamNew(S, Page(), nullptr, ID, DrawItemStreamVersion);
    }
    try {
        RelinkLayerOf(*Item, Page());
    } catch (...) {
        MarkDrawItemSilent(*Item);
        throw;
    }
    TDrawItem* P = Item.get();
    InsertChild(std::move(Item), Index);
    P->Invalidate(true);
    if (Page())
        Page()->SetAnchorsValid(false);
    SetModified();
}

void TDrawGroup::SwapChildren(int32_t Index)
{
    if (Index < 0 || Index + 1 >= GetCount())
        throw EUserError("TDrawGroup.Undo: Illegal Index.");
    std::swap(FItems[static_cast<size_t>(Index)], FItems[static_cast<size_t>(Index) + 1]);
    FItems[static_cast<size_t>(Index)]->Invalidate(true);
    FItems[static_cast<size_t>(Index) + 1]->Invalidate(true);
    SetModified();
}

// ---------------------------------------------------------------------------
// Operations passed on to the children

TRect TDrawGroup::GetPaintExtent()
{
    TRect R = EmptyExtent;
    for (auto& C : FItems)
        RectUnion(R, C->GetPaintExtent(), R);
    return R;
}

TRect TDrawGroup::GetSourceExtent()
{
    TRect R = EmptyExtent;
    for (auto& C : FItems)
        RectUnion(R, C->GetSourceExtent(), R);
    return R;
}

void TDrawGroup::CalcExtents()
{
    if (!FbVisible)
        return;
    for (auto& C : FItems)
        C->CalcExtents();
}

void TDrawGroup::ResetExtents()
{
    for (auto& C : FItems)
        C->ResetExtents();
}

void TDrawGroup::Paint(TrecDrawTarget& Target, uint8_t DisplayMode, TListRecPict* PictureStore,
                       uint8_t* AbortFlag, int32_t Flags)
{
    PaintFrom(0, Target, DisplayMode, PictureStore, AbortFlag, Flags);
}

void TDrawGroup::PaintFrom(int32_t First, TrecDrawTarget& Target, uint8_t DisplayMode,
                           TListRecPict* PictureStore, uint8_t* AbortFlag, int32_t Flags)
{
    if (!FbVisible)
        return;
    TDrawProgressPanel* Panel = GetProgressStatusPanel();
    TrecDrawProgress Progress;
    if (Panel) {
        Progress.Count = GetCount();
        Panel->SetText("");
    }
    // Shown at most every 300 ms: Step of Steps through the item Index.
    auto Show = [&](int32_t Index, int32_t Step, int32_t Steps) {
        const uint32_t Now = DrawTickCount();
        if (Now - Page()->GetDrawStartTime() < 300)
            return;
        Page()->SetDrawStartTime(Now);
        Progress.Index = Index;
        Progress.SubStep = Step;
        Progress.SubCount = Steps;
        Panel->ShowProgress(Progress);
    };
    // A group inside a group paints its children with steps of its own; the
    // outer group's are back once it is done.
    struct TRestoreSteps {
        TrecDrawTarget& T;
        std::function<void(int32_t, int32_t)> Old;
        ~TRestoreSteps() { T.ItemSteps = std::move(Old); }
    } RestoreSteps{Target, Target.ItemSteps};
    for (int32_t I = std::max(First, 0); I < GetCount(); ++I) {
        if (Panel && Page())
            Target.ItemSteps = [&Show, I](int32_t Done, int32_t Total) {
                if (Total > 0)
                    Show(I + 1, std::clamp(Done, 0, Total), Total);
            };
        else
            Target.ItemSteps = nullptr;
        try {
            FItems[static_cast<size_t>(I)]->Paint(Target, DisplayMode, PictureStore, AbortFlag, Flags);
        } catch (...) {
            if (!Target.Failure)
                throw;
            if (!*Target.Failure)
                *Target.Failure = std::current_exception();
        }
        if (AbortFlag && *AbortFlag)
            break;
        // Item I + 1 painted whole.
        if (Panel && Page())
            Show(I + 1, 1, 1);
    }
    if (Panel) {
        Panel->SetText(" ");
        Panel->SetText("");
    }
}

void TDrawGroup::CalcExtentsAndInvalidate()
{
    if (!FbVisible)
        return;
    for (auto& C : FItems)
        C->CalcExtentsAndInvalidate();
}

void TDrawGroup::Invalidate(bool Flag)
{
    for (auto& C : FItems)
        C->Invalidate(Flag);
}

void TDrawGroup::DrawDragFrame(TDragFrameDC& DC, int32_t Mode)
{
    for (auto& C : FItems)
        C->DrawDragFrame(DC, Mode);
}

TRect TDrawGroup::GetBounds()
{
    TRect R{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (auto& C : FItems) {
        const TRect B = C->GetBounds();
        R.Left = std::min(R.Left, B.Left);
        R.Top = std::min(R.Top, B.Top);
        R.Right = std::max(R.Right, B.Right);
        R.Bottom = std::max(R.Bottom, B.Bottom);
    }
    return R;
}

bool TDrawGroup::SameAttributes(TDrawItem* Other)
{
    auto* G = dynamic_cast<TDrawGroup*>(Other);
    if (!G || G->GetCount() != GetCount())
        return false;
    for (int32_t I = 0; I < GetCount(); ++I)
        if (!FItems[static_cast<size_t>(I)]->SameAttributes(G->GetItem(I)))
            return false;
    return true;
}

void TDrawGroup::RebuildPath()
{
    for (auto& C : FItems)
        C->RebuildPath();
}

bool TDrawGroup::IsSameItem(const TDrawItem* Other) const
{
    return IndexOf(Other) >= 0;
}

void TDrawGroup::ReplaceReference(TDrawItem* OldItem, TDrawItem* NewItem)
{
    for (auto& C : FItems)
        C->ReplaceReference(OldItem, NewItem);
}

void TDrawGroup::NotifyItemChanged(TDrawItem* Item)
{
    for (auto& C : FItems)
        C->NotifyItemChanged(Item);
}

void TDrawGroup::CollectPictureHandles(TListPtrWex& List, const TListRecPict& Store)
{
    for (auto& C : FItems)
        C->CollectPictureHandles(List, Store);
}

void TDrawGroup::SetLayer(TLayer* Layer)
{
    for (auto& C : FItems)
        C->SetLayer(Layer);
}

void TDrawGroup::MoveBy(int32_t DX, int32_t DY)
{
    if (DX == 0 && DY == 0)
        return;
    for (auto& C : FItems)
        C->MoveBy(DX, DY);
}

bool TDrawGroup::MoveKeepsReach(int32_t DX, int32_t DY)
{
    return std::all_of(FItems.begin(), FItems.end(), [&](const auto& C) { return C->MoveKeepsReach(DX, DY); });
}

void TDrawGroup::Rotate(double CX, double CY, double Angle)
{
    for (auto& C : FItems)
        C->Rotate(CX, CY, Angle);
}

void TDrawGroup::ScaleTo(double CX, double CY, double FX, double FY)
{
    for (auto& C : FItems)
        C->ScaleTo(CX, CY, FX, FY);
}

bool TDrawGroup::SnapPoint(TPoint& Point, int32_t SqrRadius)
{
    for (auto& C : FItems)
        if (C->SnapPoint(Point, SqrRadius))
            return true;
    return false;
}

int32_t TDrawGroup::DistanceTo(const TPoint& Point)
{
    int32_t D = INT32_MAX;
    for (auto& C : FItems)
        D = std::min(D, C->DistanceTo(Point));
    return D;
}

bool TDrawGroup::HitTest(const TPoint& Point, int32_t Tolerance)
{
    for (auto& C : FItems)
        if (C->HitTest(Point, Tolerance))
            return true;
    return false;
}

bool TDrawGroup::NodeNear(const TPoint& Point, int32_t SqrTolerance)
{
    for (auto& C : FItems) {
        const TPoint P = Point;
        if (C->NodeNear(P, SqrTolerance))
            return true;
    }
    return false;
}

bool TDrawGroup::ValuesDrawable(int32_t Dpi) const
{
    return TDrawItem::ValuesDrawable(Dpi) &&
           std::all_of(FItems.begin(), FItems.end(), [Dpi](const auto& C) { return C->ValuesDrawable(Dpi); });
}

void TDrawGroup::BringValuesIntoRange(int32_t Dpi)
{
    TDrawItem::BringValuesIntoRange(Dpi);
    for (auto& C : FItems)
        C->BringValuesIntoRange(Dpi);
}

void TDrawGroup::RelinkReadItems(const TList2Item* IDMap)
{
    for (auto& C : FItems) {
        C->FParent = this;
        C->RelinkReadItems(IDMap);
    }
}

// ---------------------------------------------------------------------------
// Stream forms

void TDrawGroup::WriteToStream(TStream& Stream)
{
    const uint8_t Type = doftGroup;
    Stream.WriteBuffer(&Type, 1);
    TDrawItem::WriteToStream(Stream);
    StreamWriteInt32(Stream, GetCount());
    for (auto& C : FItems)
        C->WriteToStream(Stream);
}

void TDrawGroup::WriteToStreamAsText(TStream& Stream)
{
    StreamWriteln(Stream, "0");
    TDrawItem::WriteToStreamAsText(Stream);
    StreamWriteln(Stream, std::to_string(GetCount()));
    for (auto& C : FItems)
        C->WriteToStreamAsText(Stream);
}

template <class Reader>
void TDrawGroup::ReadBody(int32_t Count, Reader ReadChild)
{
    std::vector<std::unique_ptr<TDrawItem>> Items;
    try {
        for (int32_t I = 0; I < Count; ++I)
            Items.push_back(ReadChild());
    } catch (...) {
        for (auto& Item : Items)
            MarkDrawItemSilent(*Item);
        throw;
    }
    Clear();
    for (auto& Item : Items)
        InsertChild(std::move(Item), GetCount());
}

void TDrawGroup::ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    static const char* const Caller = "TDrawGroup.ReadFromStream";
    const std::string OldName = Name();
    const uint8_t OldVisible = FbVisible;
    const int32_t OldParentID = ReadParentID();
    try {
        TDrawItem::ReadFromStream(Stream, IDMap, Version);
        const int32_t Count = StreamReadInt32(Stream);
        CheckChildCount(Count, Stream.Size() - Stream.Position(), MinBinaryItemSize(Version),
                        Caller);
        ReadBody(Count, [&] {
            int32_t AID = -1;
            if (GRestoreStoredIDs) {
                const int64_t Pos = Stream.Position();
                uint8_t Type = 0;
                Stream.ReadBuffer(&Type, 1);
                AID = StreamReadInt32(Stream);
                Stream.SetPosition(Pos);
            }
            return DrawItemReadFromStreamNew(Stream, Page(), IDMap, AID, Version);
        });
    } catch (...) {
        FstrName = OldName;
        FbVisible = OldVisible;
        FiReadParentID = OldParentID;
        throw;
    }
}

void TDrawGroup::ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    static const char* const Caller = "TDrawGroup.ReadFromStreamAsText";
    const std::string OldName = Name();
    const uint8_t OldVisible = FbVisible;
    const int32_t OldParentID = ReadParentID();
    try {
        TDrawItem::ReadFromStreamAsText(Stream, IDMap, Version);
        const int32_t Count = StrToInt(StreamReadln(Stream));
        CheckChildCount(Count, Stream.Size() - Stream.Position(), MinTextItemSize, Caller);
        ReadBody(Count, [&] {
            return DrawItemReadFromStreamAsTextNew(Stream, Page(), IDMap, Version);
        });
    } catch (...) {
        FstrName = OldName;
        FbVisible = OldVisible;
        FiReadParentID = OldParentID;
        throw;
    }
}

// ---------------------------------------------------------------------------
// Structural edits

void TDrawGroup::Assign(TDrawItem* Source)
{
    auto* Src = dynamic_cast<TDrawGroup*>(Source);
    if (!Src)
        throw EConvertError("TDrawGroup.Assign: DrawItemSrc is not TDrawGroup");
    if (Src == this)
        return;
    TDrawItem::Assign(Source);
    for (int32_t I = 0; I < Src->GetCount(); ++I) {
        TDrawItem* SrcChild = Src->GetItem(I);
        if (I >= GetCount()) {
            InsertChild(CreateDrawItem(SrcChild->GetClass(), Page(), -1), I);
        } else if (&FItems[static_cast<size_t>(I)]->GetClass() != &SrcChild->GetClass()) {
            std::unique_ptr<TDrawItem> Old = TakeChild(I);
            FreeChild(std::move(Old));
            InsertChild(CreateDrawItem(SrcChild->GetClass(), Page(), -1), I);
        }
        FItems[static_cast<size_t>(I)]->Assign(SrcChild);
    }
    while (GetCount() > Src->GetCount())
        FreeChild(TakeChild(GetCount() - 1));
    SetModified();
}

TDrawItem* TDrawGroup::AddChild(std::unique_ptr<TDrawItem> Item, int32_t Index)
{
    if (!Item)
        throw EUserError("TDrawGroup.AddChild: (Item = nil)");
    TDrawItem* P = Item.get();
    if (Index < 0 || Index > GetCount())
        Index = GetCount();
    InsertChild(std::move(Item), Index);
    if (CanRecord()) {
        const int32_t Rec = Index;
        AddHistory(0, 2, &Rec, 4);
    }
    P->Invalidate(true);
    SetModified();
    return P;
}

TDrawItem* TDrawGroup::AddChildCommand(std::unique_ptr<TDrawItem> Item)
{
    if (!Item)
        throw EUserError("TDrawGroup.AddChildCommand: (Item = nil)");
    TMemoryStream S;
    Item->WriteToStream(S);
    AddHistory(1, 3, S.Memory(), static_cast<int32_t>(S.Size()));
    return AddChild(std::move(Item), -1);
}

void TDrawGroup::AddChildToEnd(TDrawItem* Item)
{
    TDrawGroup* Old = Item ? Item->Parent() : nullptr;
    if (!Old)
        throw EUserError("TDrawGroup.AddChildToEnd: (Parent = nil)");
    for (const TDrawItem* G = this; G; G = G->Parent())
        if (G == Item)
            throw EUserError("TDrawGroup.AddChildToEnd: item contains the group");
    const int32_t OldIndex = Old->IndexOf(Item);
    if (OldIndex < 0)
        throw EUserError("TDrawGroup.AddChildToEnd: Not Found");
    if (CanRecord()) {
        const int32_t Undo[4] = {1, Item->ObjID(), Old->ObjID(), OldIndex};
        const int32_t Redo[2] = {1, Item->ObjID()};
        AddHistory(0, 4, Undo, sizeof(Undo));
        AddHistory(1, 4, Redo, sizeof(Redo));
    }
    InsertChild(Old->TakeChild(OldIndex), GetCount());
    Item->Invalidate(true);
    SetModified();
    // An emptied group would stay behind unseen, yet selectable and saved.
    if (Old->FItems.empty() && Old->Parent())
        Old->Parent()->DeleteChild(Old);
}

void TDrawGroup::DeleteChild(TDrawItem* Item)
{
    // This group may be freed below (an emptied group leaves its parent):
    // everything needed afterwards is taken now.
    TDocumentLink* Doc = GetDocument();
    const int32_t Index = IndexOf(Item);
    if (Index < 0)
        throw EUserError("TDrawGroup.DeleteChild: Not Found");
    Item->Invalidate(true);
    if (CanRecord()) {
        TMemoryStream S;
        StreamWriteInt32(S, Item->ObjID());
        StreamWriteInt32(S, Index);
        {
            TDeletionRecordScope Record;
            Item->WriteToStream(S);
        }
        AddHistory(0, 5, S.Memory(), static_cast<int32_t>(S.Size()));
    }
    TakeChild(Index).reset();
    if (FItems.empty() && Parent())
        Parent()->DeleteChild(this); // frees this group
    if (Doc)
        Doc->SetModified(true);
}

void TDrawGroup::OneDown(TDrawItem* Item)
{
    const int32_t Index = IndexOf(Item);
    if (Index < 0)
        throw EUserError("TDrawGroup.OneDown: DrawItem Not Found.");
    if (Index == 0)
        return;
    const int32_t Rec = Index - 1;
    AddHistory(0, 8, &Rec, 4);
    AddHistory(1, 8, &Rec, 4);
    SwapChildren(Rec);
}

void TDrawGroup::OneUp(TDrawItem* Item)
{
    const int32_t Index = IndexOf(Item);
    if (Index < 0)
        throw EUserError("TDrawGroup.OneUp: DrawItem Not Found.");
    if (Index + 1 >= GetCount())
        return;
    const int32_t Rec = Index;
    AddHistory(0, 8, &Rec, 4);
    AddHistory(1, 8, &Rec, 4);
    SwapChildren(Rec);
}

void TDrawGroup::ToTop(const std::vector<TDrawItem*>& Items)
{
    StackItems(Items, true);
}

void TDrawGroup::ToBottom(const std::vector<TDrawItem*>& Items)
{
    StackItems(Items, false);
}

void TDrawGroup::StackItems(const std::vector<TDrawItem*>& Items, bool ToFront)
{
    if (Items.empty())
        return;
    const char* const Caller = ToFront ? "TDrawGroup.ToTop" : "TDrawGroup.ToBottom";
    for (TDrawItem* Item : Items)
        if (IndexOf(Item) < 0)
            throw EUserError(Caller);
    std::vector<TDrawItem*> Sorted;
    SortByZOrder(Items, Sorted);
    Sorted.erase(std::unique(Sorted.begin(), Sorted.end()), Sorted.end());

    if (CanRecord()) {
        // Position record sorted by index; ID list in z-order.
        std::vector<int32_t> Pos(Sorted.size() * 3);
        for (size_t I = 0; I < Sorted.size(); ++I) {
            Pos[I * 3] = Sorted[I]->ObjID();
            Pos[I * 3 + 1] = ObjID();
            Pos[I * 3 + 2] = IndexOf(Sorted[I]);
        }
        q_qsort(Pos.data(), 0, static_cast<int32_t>(Sorted.size()) - 1, 12, CompareRec12ByThird);
        std::vector<int32_t> Undo{static_cast<int32_t>(Sorted.size())};
        Undo.insert(Undo.end(), Pos.begin(), Pos.end());
        std::vector<int32_t> Redo{static_cast<int32_t>(Sorted.size())};
        for (TDrawItem* Item : Sorted)
            Redo.push_back(Item->ObjID());
        const int32_t Code = ToFront ? 6 : 7;
        AddHistory(0, Code, Undo.data(), static_cast<int32_t>(Undo.size() * 4));
        AddHistory(1, Code, Redo.data(), static_cast<int32_t>(Redo.size() * 4));
    }

    const std::unordered_set<TDrawItem*> Moving(Sorted.begin(), Sorted.end());
    std::vector<std::unique_ptr<TDrawItem>> Others;
    std::unordered_map<TDrawItem*, std::unique_ptr<TDrawItem>> Moved;
    for (auto& C : FItems) {
        TDrawItem* P = C.get();
        if (Moving.count(P))
            Moved[P] = std::move(C);
        else
            Others.push_back(std::move(C));
    }
    FItems.clear();
    if (ToFront)
        for (auto& C : Others)
            FItems.push_back(std::move(C));
    for (TDrawItem* Item : Sorted)
        FItems.push_back(std::move(Moved[Item]));
    if (!ToFront)
        for (auto& C : Others)
            FItems.push_back(std::move(C));
    for (TDrawItem* Item : Sorted)
        Item->Invalidate(true);
    SetModified();
}

void TDrawGroup::SortByZOrder(const std::vector<TDrawItem*>& Items,
                              std::vector<TDrawItem*>& Result) const
{
    std::unordered_map<const TDrawItem*, int32_t> Numbers;
    int32_t Next = 0;
    Numbers[this] = Next++;
    // Depth-first: a group before its children, children in list order.
    std::function<void(const TDrawGroup&)> Walk = [&](const TDrawGroup& G) {
        for (const auto& C : G.FItems) {
            Numbers[C.get()] = Next++;
            if (const auto* Sub = dynamic_cast<const TDrawGroup*>(C.get()))
                Walk(*Sub);
        }
    };
    Walk(*this);
    std::vector<std::pair<int32_t, TDrawItem*>> Found;
    for (TDrawItem* Item : Items) {
        auto It = Numbers.find(Item);
        if (It != Numbers.end())
            Found.emplace_back(It->second, Item);
    }
    std::stable_sort(Found.begin(), Found.end(),
                     [](const auto& A, const auto& B) { return A.first < B.first; });
    Result.clear();
    for (const auto& F : Found)
        Result.push_back(F.second);
}

void TDrawGroup::DuplicateItems(const std::vector<TDrawItem*>& Items,
                                std::vector<TDrawItem*>& Result)
{
    std::vector<TDrawItem*> Sorted;
    SortByZOrder(Items, Sorted);
    for (TDrawItem* Item : Sorted) {
        std::unique_ptr<TDrawItem> Clone = CreateDrawItem(Item->GetClass(), Page(), -1);
        Clone->Assign(Item);
        Result.push_back(AddChild(std::move(Clone), -1));
    }
}

const TDrawItemClass& TDrawGroup::GetCommonClass() const
{
    const TDrawItemClass* Common = nullptr;
    std::function<void(const TDrawGroup&)> Walk = [&](const TDrawGroup& G) {
        for (const auto& C : G.FItems) {
            if (const auto* Sub = dynamic_cast<const TDrawGroup*>(C.get())) {
                Walk(*Sub);
                continue;
            }
            if (!Common) {
                Common = &C->GetClass();
                continue;
            }
            while (!C->InheritsFrom(*Common))
                Common = Common->Parent;
        }
    };
    Walk(*this);
    return Common ? *Common : TDrawItem::ClassInfo;
}

std::unique_ptr<TDrawItem> TDrawGroup::MakePropertyObject()
{
    static const char* const Message = "TDrawGroup.MakePropertyObject: DrawItem is not TDrawObject";
    const TDrawItemClass& Class = GetCommonClass();
    // No leaf: nothing has properties to show, which is no fault (groups
    // that hold nothing come from files of earlier versions).
    if (&Class == &TDrawItem::ClassInfo)
        return nullptr;
    if (!Class.Create) {
        ErrorMessageBox(Message);
        return nullptr;
    }
    // Never on a page: it records nothing and marks nothing modified.
    std::unique_ptr<TDrawItem> Obj = CreateDrawItem(Class, nullptr, -1);
    MarkDrawItemSilent(*Obj);
    if (!Obj->TakeCommonAttributes(*this)) {
        ErrorMessageBox(Message);
        return nullptr;
    }
    return Obj;
}

void FindTopItemNearPoint(TDrawGroup& Group, const TPoint& Point, int32_t Limit,
                          int32_t& Distance, TDrawItem*& Item)
{
    Distance = INT32_MAX;
    Item = nullptr;
    for (int32_t I = 0; I < Group.GetCount(); ++I) {
        TDrawItem* Child = Group.GetItem(I);
        int32_t D = INT32_MAX;
        TDrawItem* Found = nullptr;
        if (auto* Sub = dynamic_cast<TDrawGroup*>(Child)) {
            FindTopItemNearPoint(*Sub, Point, Limit, D, Found);
        } else {
            D = Child->DistanceTo(Point);
            Found = Child;
        }
        if (Found && D <= Limit) {
            Item = Found;
            Distance = D;
        }
    }
}

// ---------------------------------------------------------------------------
// Line operations over the tree

namespace {

// From the last child to the first: every polyline drops its degenerate
// figures; those left with fewer than 2 points are listed, each once.
void CollectShortLines(TDrawItem* Item, std::vector<TPolyLineObj*>& Short)
{
    if (auto* G = dynamic_cast<TDrawGroup*>(Item)) {
        for (int32_t I = G->GetCount(); I-- > 0;)
            CollectShortLines(G->GetItem(I), Short);
    } else if (auto* P = dynamic_cast<TPolyLineObj*>(Item)) {
        P->RemoveDegenerateFigures();
        if (P->PointCount() < 2 && std::find(Short.begin(), Short.end(), P) == Short.end())
            Short.push_back(P);
    }
}

} // namespace

void TDrawGroup::DeleteShortLines()
{
    std::vector<TDrawItem*> Children;
    for (const auto& C : FItems)
        Children.push_back(C.get());
    DeleteShortLines(Children);
}

void TDrawGroup::DeleteShortLines(
    const std::vector<TDrawItem*>& Items,
    const std::function<void(const std::vector<TPolyLineObj*>&)>& BeforeDelete)
{
    std::vector<TPolyLineObj*> Short;
    for (size_t I = Items.size(); I-- > 0;)
        CollectShortLines(Items[I], Short);
    if (Short.empty())
        return;
    if (BeforeDelete)
        BeforeDelete(Short);
    // A line's parent lives as long as the line does: a group freed because
    // a deletion emptied it held only lines already deleted.
    for (TPolyLineObj* P : Short)
        if (TDrawGroup* G = P->Parent())
            G->DeleteChild(P);
}

void TDrawGroup::UnmergeLines(std::vector<TPolyLineObj*>* Pieces)
{
    // The children as they are now: the pieces are appended meanwhile.
    std::vector<TDrawItem*> Children;
    for (const auto& C : FItems)
        Children.push_back(C.get());
    UnmergeLines(Children, Pieces);
}

void TDrawGroup::UnmergeLines(const std::vector<TDrawItem*>& Items,
                              std::vector<TPolyLineObj*>* Pieces)
{
    for (TDrawItem* Item : Items)
        if (auto* P = dynamic_cast<TPolyLineObj*>(Item))
            P->SplitFigures(Pieces);
}

void UpdateGroupLinePaths(TDrawGroup& Group)
{
    for (int32_t I = Group.GetCount(); I-- > 0;) {
        TDrawItem* Child = Group.GetItem(I);
        if (auto* G = dynamic_cast<TDrawGroup*>(Child))
            UpdateGroupLinePaths(*G);
        else if (auto* L = dynamic_cast<TLineObject*>(Child))
            L->RebuildPath();
    }
}
