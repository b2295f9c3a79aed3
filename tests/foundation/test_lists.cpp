#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/list_utils.h"
#include "foundation/lists.h"
#include "foundation/string_list.h"
#include "foundation/user_error.h"

namespace {

void* P(intptr_t V)
{
    return reinterpret_cast<void*>(V);
}

intptr_t V(void* P)
{
    return reinterpret_cast<intptr_t>(P);
}

std::vector<intptr_t> Values(const TCustomListWex& L)
{
    std::vector<intptr_t> Result;
    for (int32_t I = 0; I < L.Count(); ++I)
        Result.push_back(V(L.Get(I)));
    return Result;
}

void Fill(TCustomListWex& L, std::initializer_list<intptr_t> Items)
{
    L.Clear();
    for (intptr_t Item : Items)
        L.Add(P(Item));
}

// Runs F and returns the message of the EListError it must raise.
template <class F>
std::string ListErrorOf(F&& Fn)
{
    try {
        Fn();
    } catch (const EListError& E) {
        return E.Message();
    }
    ADD_FAILURE() << "no EListError raised";
    return {};
}

std::string IndexMsg(int64_t N)
{
    return "リストのインデックスが範囲を超えています (" + std::to_string(N) + ")";
}
std::string CapacityMsg(int64_t N)
{
    return "リストの容量が超えました (" + std::to_string(N) + ")";
}
std::string CountMsg(int64_t N)
{
    return "リストの個数を超えました (" + std::to_string(N) + ")";
}

// Records its own destruction in a shared flag array.
class TCounted : public TObject {
public:
    TCounted(std::vector<int>& Log, int Id) : FLog(Log), FId(Id) {}
    ~TCounted() override { ++FLog[static_cast<size_t>(FId)]; }
    std::string ClassName() const override { return "TCounted"; }

private:
    std::vector<int>& FLog;
    int FId;
};

int32_t CompareInt(void* A, void* B)
{
    return V(A) < V(B) ? -1 : (V(A) > V(B) ? 1 : 0);
}

} // namespace

TEST(TCustomListWex, CapacityGrowsThroughTheFixedSequence)
{
    TListPtrWex L;
    std::vector<int32_t> Seen;
    for (int I = 0; I < 100; ++I) {
        EXPECT_EQ(L.Add(P(I)), I);
        if (Seen.empty() || Seen.back() != L.Capacity())
            Seen.push_back(L.Capacity());
    }
    EXPECT_EQ(Seen, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
    EXPECT_EQ(L.Get(99), P(99));
    // Expand grows only a full list and returns it.
    L.SetCapacity(100);
    EXPECT_EQ(L.Expand(), &L);
    EXPECT_EQ(L.Capacity(), 125);
    EXPECT_EQ(L.Expand(), &L);
    EXPECT_EQ(L.Capacity(), 125);
}

TEST(TCustomListWex, IndexChecksOfGetPutInsertDelete)
{
    TListPtrWex L;
    Fill(L, {10, 20, 30});
    EXPECT_EQ(ListErrorOf([&] { L.Get(3); }), IndexMsg(3));
    EXPECT_EQ(ListErrorOf([&] { L.Get(-1); }), IndexMsg(-1));
    EXPECT_EQ(ListErrorOf([&] { L.Put(3, P(1)); }), IndexMsg(3));
    EXPECT_EQ(ListErrorOf([&] { L.Insert(4, P(1)); }), IndexMsg(4));
    EXPECT_EQ(ListErrorOf([&] { L.Delete(3); }), IndexMsg(3));
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{10, 20, 30}));

    L.Insert(3, P(40));
    L.Insert(0, P(5));
    L.Insert(2, P(15));
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{5, 10, 15, 20, 30, 40}));
    L.Delete(2);
    L.Delete(0);
    L.Put(3, P(99));
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{10, 20, 30, 99}));
    EXPECT_EQ(L.IndexOf(P(30)), 2);
    EXPECT_EQ(L.IndexOf(P(31)), -1);
    EXPECT_EQ(L.Remove(P(20)), 1);
    EXPECT_EQ(L.Remove(P(20)), -1);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{10, 30, 99}));
    EXPECT_EQ(L.First(), P(10));
    EXPECT_EQ(L.Last(), P(99));

    TListPtrWex Empty;
    EXPECT_EQ(ListErrorOf([&] { Empty.Last(); }), IndexMsg(-1));
    EXPECT_EQ(ListErrorOf([&] { Empty.First(); }), IndexMsg(0));
}

TEST(TCustomListWex, CountAndCapacityLimits)
{
    TListPtrWex L;
    EXPECT_EQ(ListErrorOf([&] { L.SetCount(134217728); }), CountMsg(134217728));
    EXPECT_EQ(ListErrorOf([&] { L.SetCount(-1); }), CountMsg(-1));
    EXPECT_EQ(ListErrorOf([&] { L.SetCapacity(134217728); }), CapacityMsg(134217728));
    Fill(L, {1, 2, 3});
    EXPECT_EQ(ListErrorOf([&] { L.SetCapacity(2); }), CapacityMsg(2));
    EXPECT_EQ(L.Count(), 3);

    // Growing the count zeroes the new entries, also those used before.
    L.SetCount(1);
    L.SetCount(4);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 0, 0, 0}));
    L.SetCount(10);
    EXPECT_EQ(L.Capacity(), 10);
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
    EXPECT_EQ(L.Capacity(), 0);
}

TEST(TCustomListWex, ExchangeChecksFirstIndexThenSecond)
{
    TListPtrWex L;
    Fill(L, {1, 2, 3});
    EXPECT_EQ(ListErrorOf([&] { L.Exchange(7, 9); }), IndexMsg(7));
    EXPECT_EQ(ListErrorOf([&] { L.Exchange(0, 9); }), IndexMsg(9));
    EXPECT_EQ(ListErrorOf([&] { L.Exchange(-2, 0); }), IndexMsg(-2));
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 2, 3}));
    L.Exchange(0, 2);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{3, 2, 1}));
    L.SwapUnchecked(0, 1);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{2, 3, 1}));
}

TEST(TCustomListWex, MoveChecksNewIndexThenCurIndexBeforeChanging)
{
    TListPtrWex L;
    L.Move(2, 2); // equal indexes: nothing, whatever the count
    Fill(L, {1, 2, 3, 4, 5});
    L.Move(2, 2);
    EXPECT_EQ(ListErrorOf([&] { L.Move(0, 5); }), IndexMsg(5));
    EXPECT_EQ(ListErrorOf([&] { L.Move(9, 8); }), IndexMsg(8));
    EXPECT_EQ(ListErrorOf([&] { L.Move(9, 0); }), IndexMsg(9));
    EXPECT_EQ(ListErrorOf([&] { L.Move(-1, 4); }), IndexMsg(-1));
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 2, 3, 4, 5}));

    L.Move(1, 3);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 3, 4, 2, 5}));
    L.Move(3, 1);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 2, 3, 4, 5}));
    L.Move(4, 0);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{5, 1, 2, 3, 4}));
}

TEST(TCustomListWex, PackDeletesNilEntries)
{
    TListPtrWex L;
    Fill(L, {0, 1, 0, 2, 0, 0, 3, 0});
    const int32_t Capacity = L.Capacity();
    L.Pack();
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 2, 3}));
    EXPECT_EQ(L.Capacity(), Capacity);
}

TEST(TCustomListWex, BulkInsertAddRemoveAssign)
{
    TListPtrWex L, O;
    Fill(L, {1, 2, 3});
    Fill(O, {7, 8});
    L.InsertList(1, O);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 7, 8, 2, 3}));
    L.InsertList(5, O);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 7, 8, 2, 3, 7, 8}));
    EXPECT_EQ(ListErrorOf([&] { L.InsertList(8, O); }), IndexMsg(8));
    EXPECT_EQ(L.Count(), 7);

    Fill(L, {1, 2});
    L.InsertList(1, L);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 1, 2, 2}));

    Fill(L, {1, 2});
    L.InsertFill(1, 3, P(9));
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 9, 9, 9, 2}));
    L.InsertFill(5, 1, P(4));
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 9, 9, 9, 2, 4}));
    L.InsertSpace(0, 2);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{0, 0, 1, 9, 9, 9, 2, 4}));
    EXPECT_EQ(ListErrorOf([&] { L.InsertFill(-1, 1, P(1)); }), IndexMsg(-1));

    Fill(L, {1, 2});
    Fill(O, {3});
    L.AddList(O);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 2, 3}));
    L.AddList(L);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 2, 3, 1, 2, 3}));

    Fill(L, {1, 2, 3, 2});
    Fill(O, {2, 3, 6});
    L.RemoveList(O);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 2}));
    Fill(L, {1, 2, 2});
    L.RemoveList(L);
    EXPECT_EQ(L.Count(), 0);

    Fill(L, {5, 6, 7});
    Fill(O, {1});
    L.Assign(O);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1}));
    Fill(O, {4, 5, 6, 7, 8, 9});
    L.Assign(O);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{4, 5, 6, 7, 8, 9}));
    L.Assign(L);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{4, 5, 6, 7, 8, 9}));
}

TEST(TCustomListWex, DeleteRangeClampsAndIgnoresEmptyRanges)
{
    TListPtrWex L;
    Fill(L, {1, 2, 3, 4, 5});
    L.DeleteRange(7, 0);
    EXPECT_EQ(L.Count(), 5);
    L.DeleteRange(3, 100);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 2, 3}));
    EXPECT_EQ(ListErrorOf([&] { L.DeleteRange(3, 1); }), IndexMsg(3));
    Fill(L, {1, 2, 3, 4, 5, 6});
    L.DeleteRange(1, 2);
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 4, 5, 6}));
}

TEST(TCustomListWex, NegativeCountsRaiseBeforeChanging)
{
    TListPtrWex L;
    Fill(L, {1, 2, 3});
    EXPECT_EQ(ListErrorOf([&] { L.InsertSpace(0, -1); }), CountMsg(-1));
    EXPECT_EQ(ListErrorOf([&] { L.InsertFill(1, -2, P(5)); }), CountMsg(-2));
    EXPECT_EQ(ListErrorOf([&] { L.DeleteRange(0, -1); }), CountMsg(-1));
    EXPECT_EQ(ListErrorOf([&] { L.DeleteRangeFree(0, -3); }), CountMsg(-3));
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{1, 2, 3}));
    EXPECT_EQ(L.Capacity(), 4);
}

TEST(TCustomListWex, DeleteRangeFreeFreesOnlyTheClampedRange)
{
    std::vector<int> Log(8, 0);
    // Objects 5 and 6 stay in the array past Count after SetCount(5); the
    // test owns them, so freeing them would be a double free.
    std::unique_ptr<TCounted> Stale5 = std::make_unique<TCounted>(Log, 5);
    std::unique_ptr<TCounted> Stale6 = std::make_unique<TCounted>(Log, 6);
    {
        TListPtrWex L;
        for (int I = 0; I < 4; ++I)
            L.Add(std::make_unique<TCounted>(Log, I).release());
        L.Add(nullptr); // skipped by the free
        L.Add(Stale5.get());
        L.Add(Stale6.get());
        L.SetCount(5);

        EXPECT_EQ(ListErrorOf([&] { L.DeleteRangeFree(5, 1); }), IndexMsg(5));
        EXPECT_EQ(Log, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0}));

        L.DeleteRangeFree(3, 100);
        EXPECT_EQ(L.Count(), 3);
        EXPECT_EQ(Log, (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0}));

        L.DeleteRangeFree(0, 0);
        L.DeleteRangeFree(1, 1);
        EXPECT_EQ(Log, (std::vector<int>{0, 1, 0, 1, 0, 0, 0, 0}));
        EXPECT_EQ(L.Count(), 2);
        ClearListObjects(&L);
        EXPECT_EQ(L.Count(), 0);
    }
    EXPECT_EQ(Log, (std::vector<int>{1, 1, 1, 1, 0, 0, 0, 0}));
}

TEST(TCustomListWex, FreeObjectsAndFreePointersZeroEntries)
{
    std::vector<int> Log(3, 0);
    {
        TListPtrWex L;
        L.Add(std::make_unique<TCounted>(Log, 0).release());
        L.Add(nullptr);
        L.Add(std::make_unique<TCounted>(Log, 2).release());
        L.FreeObjects();
        EXPECT_EQ(Log, (std::vector<int>{1, 0, 1}));
        EXPECT_EQ(Values(L), (std::vector<intptr_t>{0, 0, 0}));
    }
    EXPECT_EQ(Log, (std::vector<int>{1, 0, 1}));

    TListPtrWex L;
    L.Add(std::malloc(16));
    L.Add(nullptr);
    L.Add(std::malloc(1));
    L.FreePointers();
    EXPECT_EQ(Values(L), (std::vector<intptr_t>{0, 0, 0}));
}

TEST(TCustomListWex, DestroyingTheListLeavesTargetsAlone)
{
    std::vector<int> Log(1, 0);
    auto Obj = std::make_unique<TCounted>(Log, 0);
    {
        TListPtrWex L;
        L.Add(Obj.get());
    }
    EXPECT_EQ(Log[0], 0);
}

TEST(TCustomListWex, SortOrdersLikeStdSort)
{
    std::mt19937 Rng(7);
    for (int Size : {0, 1, 2, 3, 10, 257, 1000}) {
        TListPtrWex L;
        std::vector<intptr_t> Expected;
        for (int I = 0; I < Size; ++I) {
            intptr_t X = static_cast<intptr_t>(Rng() % 50) - 25;
            L.Add(P(X));
            Expected.push_back(X);
        }
        std::sort(Expected.begin(), Expected.end());
        L.Sort(CompareInt);
        EXPECT_EQ(Values(L), Expected) << Size;
    }
}

TEST(TList2Item, AddLookupAndIndexErrors)
{
    TList2Item M;
    std::vector<int32_t> Seen;
    for (int32_t I = 0; I < 30; ++I) {
        EXPECT_EQ(M.Add(100 + I, 1000 + I), I);
        if (Seen.empty() || Seen.back() != M.Capacity())
            Seen.push_back(M.Capacity());
    }
    EXPECT_EQ(Seen, (std::vector<int32_t>{4, 8, 12, 28, 44}));
    EXPECT_EQ(M.IndexOfKey(117), 17);
    EXPECT_EQ(M.GetItem(17), 1017);
    EXPECT_EQ(M.IndexOfKey(99), -1);
    M.SetKey(20, 117);
    EXPECT_EQ(M.IndexOfKey(117), 17); // the first match wins
    M.SetItem(0, -5);
    EXPECT_EQ(M.GetItem(0), -5);

    EXPECT_EQ(ListErrorOf([&] { M.GetKey(30); }), IndexMsg(30));
    EXPECT_EQ(ListErrorOf([&] { M.GetItem(-1); }), IndexMsg(-1));
    EXPECT_EQ(ListErrorOf([&] { M.SetKey(30, 0); }), IndexMsg(30));
    EXPECT_EQ(ListErrorOf([&] { M.SetItem(31, 0); }), IndexMsg(31));
    EXPECT_EQ(ListErrorOf([&] { M.SetCount(134217728); }), CountMsg(134217728));
    EXPECT_EQ(ListErrorOf([&] { M.SetCapacity(29); }), CapacityMsg(29));

    M.SetCount(2);
    M.SetCount(4);
    EXPECT_EQ(M.GetKey(3), 0);
    EXPECT_EQ(M.GetItem(3), 0);
    M.Clear();
    EXPECT_EQ(M.Count(), 0);
    EXPECT_EQ(M.Capacity(), 0);
}

TEST(TList2Item, SortingKeepsPairsTogether)
{
    std::mt19937 Rng(11);
    TList2Item M;
    std::vector<std::pair<int32_t, intptr_t>> Pairs;
    for (int I = 0; I < 500; ++I) {
        const int32_t Key = static_cast<int32_t>(Rng() % 100000);
        const intptr_t Item = static_cast<intptr_t>(Rng() % 100000) * 1000 + I; // unique
        M.Add(Key, Item);
        Pairs.emplace_back(Key, Item);
    }
    auto Check = [&](auto Less) {
        std::vector<std::pair<int32_t, intptr_t>> Got;
        for (int32_t I = 0; I < M.Count(); ++I)
            Got.emplace_back(M.GetKey(I), M.GetItem(I));
        EXPECT_TRUE(std::is_sorted(Got.begin(), Got.end(), Less));
        std::sort(Got.begin(), Got.end());
        auto Want = Pairs;
        std::sort(Want.begin(), Want.end());
        EXPECT_EQ(Got, Want);
    };
    M.SortByKey([](int32_t A, int32_t B) { return A < B ? -1 : (A > B ? 1 : 0); });
    Check([](const auto& A, const auto& B) { return A.first < B.first; });
    M.SortByItem([](intptr_t A, intptr_t B) { return A > B ? -1 : (A < B ? 1 : 0); });
    Check([](const auto& A, const auto& B) { return A.second > B.second; });
}

TEST(RaiseAssignError, NamesSourceThenDest)
{
    TListPtrWex Dest;
    TList2Item Source;
    try {
        RaiseAssignError(&Dest, &Source);
        ADD_FAILURE();
    } catch (const EConvertError& E) {
        EXPECT_EQ(E.Message(), "TList2Item を TListPtrWex に代入することはできません");
    }
    try {
        RaiseAssignError(&Dest, nullptr);
        ADD_FAILURE();
    } catch (const EConvertError& E) {
        EXPECT_EQ(E.Message(), "nil を TListPtrWex に代入することはできません");
    }
}

TEST(TStringList, EntriesWithObjects)
{
    TStringList S;
    int A = 0, B = 0;
    EXPECT_EQ(S.Add("Alpha"), 0);
    EXPECT_EQ(S.AddObject("Beta", &A), 1);
    S.Insert(0, "Zero");
    S.InsertObject(3, "Last", &B);
    ASSERT_EQ(S.Count(), 4);
    EXPECT_EQ(S.Strings(0), "Zero");
    EXPECT_EQ(S.Strings(2), "Beta");
    EXPECT_EQ(S.Objects(2), &A);
    EXPECT_EQ(S.Objects(3), &B);
    EXPECT_EQ(S.Objects(0), nullptr);
    EXPECT_EQ(S.IndexOf("beta"), 2);
    EXPECT_EQ(S.IndexOf("ＭＳ"), -1);
    EXPECT_EQ(ListErrorOf([&] { S.Strings(4); }), IndexMsg(4));
    EXPECT_EQ(ListErrorOf([&] { S.Insert(5, "x"); }), IndexMsg(5));
    EXPECT_EQ(ListErrorOf([&] { S.Delete(-1); }), IndexMsg(-1));
    S.Delete(0);
    EXPECT_EQ(S.Strings(0), "Alpha");
    S.BeginUpdate();
    S.BeginUpdate();
    S.EndUpdate();
    EXPECT_EQ(S.UpdateCount(), 1);
    S.EndUpdate();
    S.Clear();
    EXPECT_EQ(S.Count(), 0);
}

TEST(ListUtils, FreeStringsObjectsAndPointers)
{
    std::vector<int> Log(2, 0);
    TStringList S;
    S.AddObject("a", std::make_unique<TCounted>(Log, 0).release());
    S.Add("b");
    S.AddObject("c", std::make_unique<TCounted>(Log, 1).release());
    FreeStringsObjects(&S);
    EXPECT_EQ(Log, (std::vector<int>{1, 1}));
    EXPECT_EQ(S.Objects(0), nullptr);
    EXPECT_EQ(S.Count(), 3);
    FreeStringsObjects(&S); // nothing left to free twice
    EXPECT_EQ(Log, (std::vector<int>{1, 1}));

    S.PutObject(1, std::malloc(60));
    FreeStringsPointers(&S);
    EXPECT_EQ(S.Objects(1), nullptr);
    FreeStringsObjects(nullptr);
    FreeStringsPointers(nullptr);
}

TEST(ListUtils, ClearFreeAndAssignLists)
{
    std::vector<int> Log(2, 0);
    auto L = std::make_unique<TListPtrWex>();
    L->Add(std::make_unique<TCounted>(Log, 0).release());
    L->Add(std::make_unique<TCounted>(Log, 1).release());
    FreeListAndObjects(L);
    EXPECT_EQ(L, nullptr);
    EXPECT_EQ(Log, (std::vector<int>{1, 1}));
    FreeListAndObjects(L);
    ClearListObjects(nullptr);

    TListPtrWex D, S;
    Fill(D, {9, 9, 9, 9});
    Fill(S, {1, 2});
    AssignList(&D, &S);
    EXPECT_EQ(Values(D), (std::vector<intptr_t>{1, 2}));
    AssignList(&D, &D);
    EXPECT_EQ(Values(D), (std::vector<intptr_t>{1, 2}));
    AssignList(&D, nullptr);
    EXPECT_EQ(D.Count(), 0);
    AssignList(nullptr, &S);
}
