// Typed lists of the document model: a list of pointer-sized entries
// (TCustomListWex, TListPtrWex) and a two-array map (TList2Item) used to map
// stored identifiers to new objects or handles. Lists never own what their
// entries point to; FreeObjects, FreePointers and DeleteRangeFree are the only
// operations that release targets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/tobject.h"

// Messages of the list range errors; "%d" is the offending index or size.
extern const char* const SListIndexError;
extern const char* const SListCapacityError;
extern const char* const SListCountError;

// Count and capacity stay below this.
constexpr int32_t MaxListSize = 134217728;

// Negative when Item1 sorts before Item2, 0 when equal, positive after.
using TListSortCompare = int32_t (*)(void* Item1, void* Item2);

// Entries are void*; integers are stored cast through intptr_t.
class TCustomListWex : public TObject {
public:
    TCustomListWex() = default;
    TCustomListWex(const TCustomListWex&) = delete;
    TCustomListWex& operator=(const TCustomListWex&) = delete;
    // Runs this class's Clear; a derived class that overrides Clear to release
    // more must call its own Clear from its own destructor.
    ~TCustomListWex() override;

    std::string ClassName() const override { return "TCustomListWex"; }

    virtual void SetCapacity(int32_t NewCapacity);
    virtual void SetCount(int32_t NewCount);
    virtual void* Get(int32_t Index) const;
    virtual void Put(int32_t Index, void* Item);
    // Raises EListError with Msg formatted with Data.
    [[noreturn]] virtual void Error(const std::string& Msg, int32_t Data) const;
    virtual void InsertList(int32_t Index, const TCustomListWex& Other);
    virtual void Clear();
    virtual void Delete(int32_t Index);
    virtual void Exchange(int32_t Index1, int32_t Index2);
    virtual void Move(int32_t CurIndex, int32_t NewIndex);
    virtual void Sort(TListSortCompare Compare);
    virtual TCustomListWex* Expand();
    virtual void Grow();
    virtual void Pack();
    virtual void Insert(int32_t Index, void* Item);
    virtual int32_t Add(void* Item);
    virtual int32_t IndexOf(void* Item) const;
    virtual int32_t Remove(void* Item);
    virtual void* First() const;
    virtual void* Last() const;
    virtual void SwapUnchecked(int32_t Index1, int32_t Index2);
    virtual void Assign(const TCustomListWex& Other);
    virtual void AddList(const TCustomListWex& Other);
    virtual void RemoveList(const TCustomListWex& Other);
    virtual void InsertFill(int32_t Index, int32_t N, void* Item);
    virtual void DeleteRange(int32_t Index, int32_t N);
    // Deletes the entries' TObject targets (nil entries skipped), then the range.
    virtual void DeleteRangeFree(int32_t Index, int32_t N);

    // Opens a gap of N zeroed entries at Index for the caller to fill.
    void InsertSpace(int32_t Index, int32_t N);
    // Deletes every entry's TObject and zeroes the entry; Count stays.
    void FreeObjects();
    // std::free of every entry's block and zeroes the entry; Count stays.
    void FreePointers();

    int32_t Count() const { return FCount; }
    int32_t Capacity() const { return FCapacity; }

protected:
    std::unique_ptr<void*[]> FList;
    int32_t FCount = 0;
    int32_t FCapacity = 0;

private:
    void CheckIndex(int32_t Index) const;
    void QuickSort(int32_t L, int32_t R, TListSortCompare Compare);
};

// The list class other units derive from or use directly.
class TListPtrWex : public TCustomListWex {
public:
    std::string ClassName() const override { return "TListPtrWex"; }
};

// Parallel keys and items; pair i is (GetKey(i), GetItem(i)).
class TList2Item : public TObject {
public:
    using TKeyCompare = int32_t (*)(int32_t Key1, int32_t Key2);
    using TItemCompare = int32_t (*)(intptr_t Item1, intptr_t Item2);

    TList2Item() = default;
    TList2Item(const TList2Item&) = delete;
    TList2Item& operator=(const TList2Item&) = delete;
    ~TList2Item() override;

    std::string ClassName() const override { return "TList2Item"; }

    virtual void Grow();
    [[noreturn]] virtual void Error(const std::string& Msg, int32_t Data) const;

    int32_t Add(int32_t Key, intptr_t Item);
    int32_t GetKey(int32_t Index) const;
    void SetKey(int32_t Index, int32_t Key);
    intptr_t GetItem(int32_t Index) const;
    void SetItem(int32_t Index, intptr_t Item);
    int32_t IndexOfKey(int32_t Key) const;
    void SetCount(int32_t NewCount);
    void SetCapacity(int32_t NewCapacity);
    void Clear();
    void SortByKey(TKeyCompare Compare);
    void SortByItem(TItemCompare Compare);

    int32_t Count() const { return FCount; }
    int32_t Capacity() const { return FCapacity; }

private:
    void CheckIndex(int32_t Index) const;
    void SwapPairs(int32_t I, int32_t J);
    template <class T, class C>
    void QuickSort(const T* Values, int32_t L, int32_t R, C Compare);

    std::unique_ptr<int32_t[]> FKeys;
    std::unique_ptr<intptr_t[]> FItems;
    int32_t FCount = 0;
    int32_t FCapacity = 0;
};

// The common failure of Assign: EConvertError naming Source's class ("nil"
// when null) and Dest's class.
[[noreturn]] void RaiseAssignError(const TObject* Dest, const TObject* Source);
