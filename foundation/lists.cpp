#include "foundation/lists.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/user_error.h"

const char* const SListIndexError = "リストのインデックスが範囲を超えています (%d)";
const char* const SListCapacityError = "リストの容量が超えました (%d)";
const char* const SListCountError = "リストの個数を超えました (%d)";

namespace {

// Capacity after one growth step.
int32_t GrownCapacity(int32_t Capacity)
{
    if (Capacity > 64)
        return Capacity + Capacity / 4;
    if (Capacity > 8)
        return Capacity + 16;
    return Capacity + 4;
}

// Overlap-safe move of N entries; N may be 0 with null pointers.
void MoveEntries(void** Dest, void* const* Source, int32_t N)
{
    if (N > 0)
        std::memmove(Dest, Source, static_cast<size_t>(N) * sizeof(void*));
}

// Count + N as the 32-bit sum the callers expect (wraps; SetCount rejects it).
int32_t AddCount(int32_t Count, int32_t N)
{
    return static_cast<int32_t>(static_cast<uint32_t>(Count) + static_cast<uint32_t>(N));
}

} // namespace

// ---------------------------------------------------------------------------
// TCustomListWex

TCustomListWex::~TCustomListWex()
{
    TCustomListWex::Clear();
}

void TCustomListWex::CheckIndex(int32_t Index) const
{
    if (Index < 0 || Index >= FCount)
        Error(SListIndexError, Index);
}

void TCustomListWex::SetCapacity(int32_t NewCapacity)
{
    if (NewCapacity < FCount || NewCapacity >= MaxListSize)
        Error(SListCapacityError, NewCapacity);
    if (NewCapacity == FCapacity)
        return;
    std::unique_ptr<void*[]> NewList;
    if (NewCapacity > 0) {
        NewList.reset(new void*[static_cast<size_t>(NewCapacity)]());
        MoveEntries(NewList.get(), FList.get(), FCount);
    }
    FList = std::move(NewList);
    FCapacity = NewCapacity;
}

void TCustomListWex::SetCount(int32_t NewCount)
{
    if (NewCount < 0 || NewCount >= MaxListSize)
        Error(SListCountError, NewCount);
    if (NewCount > FCapacity)
        SetCapacity(NewCount);
    if (NewCount > FCount)
        std::fill(FList.get() + FCount, FList.get() + NewCount, nullptr);
    FCount = NewCount;
}

void* TCustomListWex::Get(int32_t Index) const
{
    CheckIndex(Index);
    return FList[Index];
}

void TCustomListWex::Put(int32_t Index, void* Item)
{
    CheckIndex(Index);
    FList[Index] = Item;
}

void TCustomListWex::Error(const std::string& Msg, int32_t Data) const
{
    throw EListError(Msg, Data);
}

void TCustomListWex::InsertList(int32_t Index, const TCustomListWex& Other)
{
    const int32_t N = Other.FCount;
    if (&Other == this) {
        // The gap would move the entries being copied: copy them first.
        std::vector<void*> Copy(FList.get(), FList.get() + N);
        InsertSpace(Index, N);
        std::copy(Copy.begin(), Copy.end(), FList.get() + Index);
        return;
    }
    InsertSpace(Index, N);
    MoveEntries(FList.get() + Index, Other.FList.get(), N);
}

void TCustomListWex::Clear()
{
    SetCount(0);
    SetCapacity(0);
}

void TCustomListWex::Delete(int32_t Index)
{
    CheckIndex(Index);
    MoveEntries(FList.get() + Index, FList.get() + Index + 1, FCount - Index - 1);
    --FCount;
}

void TCustomListWex::Exchange(int32_t Index1, int32_t Index2)
{
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(FList[Index1], FList[Index2]);
}

void TCustomListWex::Move(int32_t CurIndex, int32_t NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    CheckIndex(NewIndex);
    CheckIndex(CurIndex);
    void* Item = FList[CurIndex];
    if (CurIndex < NewIndex)
        MoveEntries(FList.get() + CurIndex, FList.get() + CurIndex + 1, NewIndex - CurIndex);
    else
        MoveEntries(FList.get() + NewIndex + 1, FList.get() + NewIndex, CurIndex - NewIndex);
    FList[NewIndex] = Item;
}

void TCustomListWex::QuickSort(int32_t L, int32_t R, TListSortCompare Compare)
{
    void** List = FList.get();
    int32_t I;
    do {
        I = L;
        int32_t J = R;
        void* Pivot = List[(L + R) >> 1];
        do {
            while (Compare(List[I], Pivot) < 0)
                ++I;
            while (Compare(List[J], Pivot) > 0)
                --J;
            if (I <= J) {
                std::swap(List[I], List[J]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (L < J)
            QuickSort(L, J, Compare);
        L = I;
    } while (I < R);
}

void TCustomListWex::Sort(TListSortCompare Compare)
{
    if (FList && FCount > 0)
        QuickSort(0, FCount - 1, Compare);
}

TCustomListWex* TCustomListWex::Expand()
{
    if (FCount == FCapacity)
        Grow();
    return this;
}

void TCustomListWex::Grow()
{
    SetCapacity(GrownCapacity(FCapacity));
}

void TCustomListWex::Pack()
{
    for (int32_t I = FCount - 1; I >= 0; --I)
        if (FList[I] == nullptr)
            Delete(I);
}

void TCustomListWex::Insert(int32_t Index, void* Item)
{
    if (Index < 0 || Index > FCount)
        Error(SListIndexError, Index);
    if (FCount == FCapacity)
        Grow();
    MoveEntries(FList.get() + Index + 1, FList.get() + Index, FCount - Index);
    FList[Index] = Item;
    ++FCount;
}

int32_t TCustomListWex::Add(void* Item)
{
    if (FCount == FCapacity)
        Grow();
    FList[FCount] = Item;
    return FCount++;
}

int32_t TCustomListWex::IndexOf(void* Item) const
{
    for (int32_t I = 0; I < FCount; ++I)
        if (FList[I] == Item)
            return I;
    return -1;
}

int32_t TCustomListWex::Remove(void* Item)
{
    const int32_t Index = IndexOf(Item);
    if (Index >= 0)
        Delete(Index);
    return Index;
}

void* TCustomListWex::First() const
{
    return Get(0);
}

void* TCustomListWex::Last() const
{
    return Get(FCount - 1);
}

void TCustomListWex::SwapUnchecked(int32_t Index1, int32_t Index2)
{
    std::swap(FList[Index1], FList[Index2]);
}

void TCustomListWex::Assign(const TCustomListWex& Other)
{
    SetCount(Other.FCount);
    if (&Other != this)
        MoveEntries(FList.get(), Other.FList.get(), FCount);
}

void TCustomListWex::AddList(const TCustomListWex& Other)
{
    // Taken before SetCount so that adding a list to itself doubles it.
    const int32_t N = Other.FCount;
    const int32_t OldCount = FCount;
    SetCount(AddCount(OldCount, N));
    MoveEntries(FList.get() + OldCount, Other.FList.get(), N);
}

void TCustomListWex::RemoveList(const TCustomListWex& Other)
{
    // A snapshot, as removing changes Other when it is this list.
    const std::vector<void*> Items(Other.FList.get(), Other.FList.get() + Other.FCount);
    for (void* Item : Items)
        Remove(Item);
}

void TCustomListWex::InsertSpace(int32_t Index, int32_t N)
{
    if (Index < 0 || Index > FCount)
        Error(SListIndexError, Index);
    if (N < 0)
        Error(SListCountError, N);
    const int32_t OldCount = FCount;
    SetCount(AddCount(OldCount, N));
    MoveEntries(FList.get() + Index + N, FList.get() + Index, OldCount - Index);
    std::fill(FList.get() + Index, FList.get() + Index + N, nullptr);
}

void TCustomListWex::InsertFill(int32_t Index, int32_t N, void* Item)
{
    InsertSpace(Index, N);
    std::fill(FList.get() + Index, FList.get() + Index + N, Item);
}

void TCustomListWex::DeleteRange(int32_t Index, int32_t N)
{
    if (N < 0)
        Error(SListCountError, N);
    if (N == 0)
        return;
    CheckIndex(Index);
    N = std::min(N, FCount - Index);
    MoveEntries(FList.get() + Index, FList.get() + Index + N, FCount - Index - N);
    SetCount(FCount - N);
}

void TCustomListWex::DeleteRangeFree(int32_t Index, int32_t N)
{
    if (N < 0)
        Error(SListCountError, N);
    if (N == 0)
        return;
    CheckIndex(Index);
    N = std::min(N, FCount - Index);
    for (int32_t I = Index; I < Index + N; ++I) {
        std::unique_ptr<TObject> Target(static_cast<TObject*>(FList[I]));
        FList[I] = nullptr;
    }
    DeleteRange(Index, N);
}

void TCustomListWex::FreeObjects()
{
    for (int32_t I = 0; I < FCount; ++I) {
        std::unique_ptr<TObject> Target(static_cast<TObject*>(FList[I]));
        FList[I] = nullptr;
    }
}

void TCustomListWex::FreePointers()
{
    for (int32_t I = 0; I < FCount; ++I) {
        void* Block = FList[I];
        FList[I] = nullptr;
        std::free(Block);
    }
}

// ---------------------------------------------------------------------------
// TList2Item

TList2Item::~TList2Item()
{
    Clear();
}

void TList2Item::CheckIndex(int32_t Index) const
{
    if (Index < 0 || Index >= FCount)
        Error(SListIndexError, Index);
}

void TList2Item::Grow()
{
    SetCapacity(GrownCapacity(FCapacity));
}

void TList2Item::Error(const std::string& Msg, int32_t Data) const
{
    throw EListError(Msg, Data);
}

int32_t TList2Item::Add(int32_t Key, intptr_t Item)
{
    if (FCount == FCapacity)
        Grow();
    FKeys[FCount] = Key;
    FItems[FCount] = Item;
    return FCount++;
}

int32_t TList2Item::GetKey(int32_t Index) const
{
    CheckIndex(Index);
    return FKeys[Index];
}

void TList2Item::SetKey(int32_t Index, int32_t Key)
{
    CheckIndex(Index);
    FKeys[Index] = Key;
}

intptr_t TList2Item::GetItem(int32_t Index) const
{
    CheckIndex(Index);
    return FItems[Index];
}

void TList2Item::SetItem(int32_t Index, intptr_t Item)
{
    CheckIndex(Index);
    FItems[Index] = Item;
}

int32_t TList2Item::IndexOfKey(int32_t Key) const
{
    for (int32_t I = 0; I < FCount; ++I)
        if (FKeys[I] == Key)
            return I;
    return -1;
}

void TList2Item::SetCount(int32_t NewCount)
{
    if (NewCount < 0 || NewCount >= MaxListSize)
        Error(SListCountError, NewCount);
    if (NewCount > FCapacity)
        SetCapacity(NewCount);
    if (NewCount > FCount) {
        std::fill(FKeys.get() + FCount, FKeys.get() + NewCount, 0);
        std::fill(FItems.get() + FCount, FItems.get() + NewCount, 0);
    }
    FCount = NewCount;
}

void TList2Item::SetCapacity(int32_t NewCapacity)
{
    if (NewCapacity < FCount || NewCapacity >= MaxListSize)
        Error(SListCapacityError, NewCapacity);
    if (NewCapacity == FCapacity)
        return;
    std::unique_ptr<int32_t[]> NewKeys;
    std::unique_ptr<intptr_t[]> NewItems;
    if (NewCapacity > 0) {
        NewKeys.reset(new int32_t[static_cast<size_t>(NewCapacity)]());
        NewItems.reset(new intptr_t[static_cast<size_t>(NewCapacity)]());
        std::copy(FKeys.get(), FKeys.get() + FCount, NewKeys.get());
        std::copy(FItems.get(), FItems.get() + FCount, NewItems.get());
    }
    FKeys = std::move(NewKeys);
    FItems = std::move(NewItems);
    FCapacity = NewCapacity;
}

void TList2Item::Clear()
{
    SetCount(0);
    SetCapacity(0);
}

void TList2Item::SwapPairs(int32_t I, int32_t J)
{
    std::swap(FKeys[I], FKeys[J]);
    std::swap(FItems[I], FItems[J]);
}

template <class T, class C>
void TList2Item::QuickSort(const T* Values, int32_t L, int32_t R, C Compare)
{
    int32_t I;
    do {
        I = L;
        int32_t J = R;
        const T Pivot = Values[(L + R) >> 1];
        do {
            while (Compare(Values[I], Pivot) < 0)
                ++I;
            while (Compare(Values[J], Pivot) > 0)
                --J;
            if (I <= J) {
                SwapPairs(I, J);
                ++I;
                --J;
            }
        } while (I <= J);
        if (L < J)
            QuickSort(Values, L, J, Compare);
        L = I;
    } while (I < R);
}

void TList2Item::SortByKey(TKeyCompare Compare)
{
    if (FKeys && FCount > 0)
        QuickSort(FKeys.get(), 0, FCount - 1, Compare);
}

void TList2Item::SortByItem(TItemCompare Compare)
{
    if (FItems && FCount > 0)
        QuickSort(FItems.get(), 0, FCount - 1, Compare);
}

// ---------------------------------------------------------------------------

void RaiseAssignError(const TObject* Dest, const TObject* Source)
{
    std::string Msg = "%s を %s に代入することはできません";
    const std::string SourceName = Source ? Source->ClassName() : "nil";
    const std::string DestName = Dest ? Dest->ClassName() : "nil";
    size_t Pos = Msg.find("%s");
    Msg.replace(Pos, 2, SourceName);
    Pos = Msg.find("%s", Pos + SourceName.size());
    Msg.replace(Pos, 2, DestName);
    throw EConvertError(Msg);
}
