#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/list_utils.h"
#include "foundation/lists.h"
#include "foundation/string_list.h"
#include "foundation/user_error.h"
#include "platform/test_support.h"

namespace {

using Vi = std::vector<intptr_t>;

void* P(intptr_t V) { return reinterpret_cast<void*>(V); }

Vi Values(const TCustomListWex& L)
{
    Vi Result;
    for (int32_t I = 0; I < L.Count(); ++I)
        Result.push_back(reinterpret_cast<intptr_t>(L.Get(I)));
    return Result;
}

void Fill(TCustomListWex& L, std::initializer_list<intptr_t> Items)
{
    L.Clear();
    for (intptr_t Item : Items)
        L.Add(P(Item));
}

std::string ListError(const std::function<void()>& Fn) { return MessageOf<EListError>(Fn); }
std::string N(int64_t V) { return " (" + std::to_string(V) + ")"; }
std::string IndexMsg(int64_t V) { return "リストのインデックスが範囲を超えています" + N(V); }
std::string CapacityMsg(int64_t V) { return "リストの容量が超えました" + N(V); }
std::string CountMsg(int64_t V) { return "リストの個数を超えました" + N(V); }

// Counts its own destructions in a shared log.
struct TCounted : TObject {
    std::vector<int>& Log;
    int Id;
    TCounted(std::vector<int>& L, int I) : Log(L), Id(I) {}
    ~TCounted() override { ++Log[static_cast<size_t>(Id)]; }
};

TObject* NewCounted(std::vector<int>& Log, int Id) { return std::make_unique<TCounted>(Log, Id).release(); }

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
    EXPECT_TRUE(L.Expand() == &L && L.Expand() == &L);
    EXPECT_EQ(L.Capacity(), 125);
}

TEST(TCustomListWex, RangeErrorsNameTheValueAndChangeNothing)
{
    TListPtrWex L, Empty;
    Fill(L, {1, 2, 3, 4, 5});
    const std::pair<std::function<void()>, std::string> Cases[] = {
        {[&] { L.Get(5); }, IndexMsg(5)},
        {[&] { L.Get(-1); }, IndexMsg(-1)},
        {[&] { L.Put(5, P(1)); }, IndexMsg(5)},
        {[&] { L.Insert(6, P(1)); }, IndexMsg(6)},
        {[&] { L.Delete(5); }, IndexMsg(5)},
        {[&] { Empty.Last(); }, IndexMsg(-1)},
        {[&] { Empty.First(); }, IndexMsg(0)},
        {[&] { L.Exchange(7, 9); }, IndexMsg(7)},   // first index first
        {[&] { L.Exchange(0, 9); }, IndexMsg(9)},
        {[&] { L.Move(9, 8); }, IndexMsg(8)},       // new index first
        {[&] { L.Move(9, 0); }, IndexMsg(9)},
        {[&] { L.SetCount(134217728); }, CountMsg(134217728)},
        {[&] { L.SetCount(-1); }, CountMsg(-1)},
        {[&] { L.SetCapacity(134217728); }, CapacityMsg(134217728)},
        {[&] { L.SetCapacity(4); }, CapacityMsg(4)},
        {[&] { L.InsertSpace(0, -1); }, CountMsg(-1)},
        {[&] { L.InsertFill(1, -2, P(5)); }, CountMsg(-2)},
        {[&] { L.InsertFill(-1, 1, P(1)); }, IndexMsg(-1)},
        {[&] { L.DeleteRange(0, -1); }, CountMsg(-1)},
        {[&] { L.DeleteRange(5, 1); }, IndexMsg(5)},
        {[&] { L.DeleteRangeFree(0, -3); }, CountMsg(-3)},
        {[&] { L.InsertList(6, L); }, IndexMsg(6)},
    };
    for (const auto& [Call, Msg] : Cases)
        EXPECT_EQ(ListError(Call), Msg);
    EXPECT_EQ(Values(L), (Vi{1, 2, 3, 4, 5}));
    EXPECT_EQ(L.Capacity(), 8);
}

TEST(TCustomListWex, EditingOperations)
{
    TListPtrWex L;
    Fill(L, {10, 20, 30});
    L.Insert(3, P(40));
    L.Insert(0, P(5));
    L.Insert(2, P(15));
    EXPECT_EQ(Values(L), (Vi{5, 10, 15, 20, 30, 40}));
    L.Delete(2);
    L.Delete(0);
    L.Put(3, P(99));
    EXPECT_EQ(Values(L), (Vi{10, 20, 30, 99}));
    EXPECT_EQ(L.IndexOf(P(30)), 2);
    EXPECT_EQ(L.IndexOf(P(31)), -1);
    EXPECT_EQ(L.Remove(P(20)), 1);
    EXPECT_EQ(L.Remove(P(20)), -1);
    EXPECT_EQ(L.First(), P(10));
    EXPECT_EQ(L.Last(), P(99));
    Fill(L, {1, 2, 3, 4, 5});
    L.Move(2, 2);
    L.Exchange(0, 2);
    L.SwapUnchecked(0, 1);
    EXPECT_EQ(Values(L), (Vi{2, 3, 1, 4, 5}));
    L.Move(1, 3);
    L.Move(4, 0);
    L.Move(1, 4);
    EXPECT_EQ(Values(L), (Vi{5, 1, 4, 3, 2}));
    // Growing the count zeroes the new entries, also those used before.
    L.SetCount(1);
    L.SetCount(4);
    EXPECT_EQ(Values(L), (Vi{5, 0, 0, 0}));
    L.SetCount(10);
    EXPECT_EQ(L.Capacity(), 10);
    L.Clear();
    EXPECT_EQ(L.Count() + L.Capacity(), 0);
    Fill(L, {0, 1, 0, 2, 0, 0, 3, 0});
    L.Pack();
    EXPECT_EQ(Values(L), (Vi{1, 2, 3}));
    EXPECT_EQ(L.Capacity(), 8);
    // DeleteRange clamps to the end and ignores empty ranges.
    Fill(L, {1, 2, 3, 4, 5});
    L.DeleteRange(7, 0);
    L.DeleteRange(3, 100);
    L.DeleteRange(1, 1);
    EXPECT_EQ(Values(L), (Vi{1, 3}));
}

TEST(TCustomListWex, BulkInsertAddRemoveAssignAlsoWithItself)
{
    TListPtrWex L, O;
    Fill(L, {1, 2, 3});
    Fill(O, {7, 8});
    L.InsertList(1, O);
    L.InsertList(5, O);
    EXPECT_EQ(Values(L), (Vi{1, 7, 8, 2, 3, 7, 8}));
    Fill(L, {1, 2});
    L.InsertList(1, L);
    EXPECT_EQ(Values(L), (Vi{1, 1, 2, 2}));
    Fill(L, {1, 2});
    L.InsertFill(1, 3, P(9));
    L.InsertFill(5, 1, P(4));
    L.InsertSpace(0, 2);
    EXPECT_EQ(Values(L), (Vi{0, 0, 1, 9, 9, 9, 2, 4}));
    Fill(L, {1, 2, 3});
    L.AddList(L);
    EXPECT_EQ(Values(L), (Vi{1, 2, 3, 1, 2, 3}));
    Fill(L, {1, 2, 3, 2});
    Fill(O, {2, 3, 6});
    L.RemoveList(O);
    EXPECT_EQ(Values(L), (Vi{1, 2}));
    Fill(L, {1, 2, 2});
    L.RemoveList(L);
    EXPECT_EQ(L.Count(), 0);
    Fill(L, {5});
    Fill(O, {4, 5, 6, 7, 8, 9});
    L.Assign(O);
    L.Assign(L);
    EXPECT_EQ(Values(L), (Vi{4, 5, 6, 7, 8, 9}));
}

TEST(TCustomListWex, DeleteRangeFreeFreesOnlyTheClampedRange)
{
    std::vector<int> Log(8, 0);
    // Objects 5 and 6 stay in the array past Count after SetCount(5); the
    // test owns them, so freeing them would be a double free.
    auto Stale5 = std::make_unique<TCounted>(Log, 5);
    auto Stale6 = std::make_unique<TCounted>(Log, 6);
    {
        TListPtrWex L;
        for (int I = 0; I < 4; ++I)
            L.Add(NewCounted(Log, I));
        L.Add(nullptr); // skipped by the free
        L.Add(Stale5.get());
        L.Add(Stale6.get());
        L.SetCount(5);
        EXPECT_EQ(ListError([&] { L.DeleteRangeFree(5, 1); }), IndexMsg(5));
        EXPECT_EQ(Log, (std::vector<int>(8, 0)));
        L.DeleteRangeFree(3, 100);
        EXPECT_EQ(L.Count(), 3);
        EXPECT_EQ(Log, (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0}));
        L.DeleteRangeFree(0, 0);
        L.DeleteRangeFree(1, 1);
        EXPECT_EQ(Log, (std::vector<int>{0, 1, 0, 1, 0, 0, 0, 0}));
        ClearListObjects(&L);
        EXPECT_EQ(L.Count(), 0);
    }
    EXPECT_EQ(Log, (std::vector<int>{1, 1, 1, 1, 0, 0, 0, 0}));
}

TEST(TCustomListWex, FreeObjectsAndFreePointersZeroEntriesAndListOwnsNothing)
{
    std::vector<int> Log(4, 0);
    auto Kept = std::make_unique<TCounted>(Log, 3);
    {
        TListPtrWex L;
        L.Add(NewCounted(Log, 0));
        L.Add(nullptr);
        L.Add(NewCounted(Log, 2));
        L.FreeObjects();
        EXPECT_EQ(Log, (std::vector<int>{1, 0, 1, 0}));
        EXPECT_EQ(Values(L), (Vi{0, 0, 0}));
        L.Add(Kept.get());
    }
    EXPECT_EQ(Log, (std::vector<int>{1, 0, 1, 0}));   // destroying a list frees no target
    TListPtrWex L;
    L.Add(std::malloc(16));
    L.Add(nullptr);
    L.Add(std::malloc(1));
    L.FreePointers();
    EXPECT_EQ(Values(L), (Vi{0, 0, 0}));
}

TEST(TCustomListWex, SortOrdersLikeStdSort)
{
    std::mt19937 Rng(7);
    for (int Size : {0, 1, 2, 10, 257}) {
        TListPtrWex L;
        Vi Expected;
        for (int I = 0; I < Size; ++I) {
            intptr_t X = static_cast<intptr_t>(Rng() % 50) - 25;
            L.Add(P(X));
            Expected.push_back(X);
        }
        std::sort(Expected.begin(), Expected.end());
        L.Sort([](void* A, void* B) {
            auto X = reinterpret_cast<intptr_t>(A), Y = reinterpret_cast<intptr_t>(B);
            return X < Y ? -1 : (X > Y ? 1 : 0);
        });
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
    EXPECT_EQ(ListError([&] { M.GetKey(30); }) + ListError([&] { M.GetItem(-1); }), IndexMsg(30) + IndexMsg(-1));
    EXPECT_EQ(ListError([&] { M.SetKey(30, 0); }) + ListError([&] { M.SetItem(31, 0); }), IndexMsg(30) + IndexMsg(31));
    EXPECT_EQ(ListError([&] { M.SetCount(134217728); }), CountMsg(134217728));
    EXPECT_EQ(ListError([&] { M.SetCapacity(29); }), CapacityMsg(29));
    M.SetCount(2);
    M.SetCount(4);
    EXPECT_EQ(M.GetKey(3) + M.GetItem(3), 0);
    M.Clear();
    EXPECT_EQ(M.Count() + M.Capacity(), 0);
}

TEST(TList2Item, SortingKeepsPairsTogether)
{
    std::mt19937 Rng(11);
    TList2Item M;
    std::vector<std::pair<int32_t, intptr_t>> Pairs;
    for (int I = 0; I < 300; ++I) {
        const int32_t Key = static_cast<int32_t>(Rng() % 100000);
        const intptr_t Item = static_cast<intptr_t>(Rng() % 100000) * 1000 + I; // unique
        M.Add(Key, Item);
        Pairs.emplace_back(Key, Item);
    }
    std::sort(Pairs.begin(), Pairs.end());
    auto Check = [&](auto Less) {
        std::vector<std::pair<int32_t, intptr_t>> Got;
        for (int32_t I = 0; I < M.Count(); ++I)
            Got.emplace_back(M.GetKey(I), M.GetItem(I));
        EXPECT_TRUE(std::is_sorted(Got.begin(), Got.end(), Less));
        std::sort(Got.begin(), Got.end());
        EXPECT_EQ(Got, Pairs);
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
    EXPECT_EQ(MessageOf<EConvertError>([&] { RaiseAssignError(&Dest, &Source); }),
              "TList2Item を TListPtrWex に代入することはできません");
    EXPECT_EQ(MessageOf<EConvertError>([&] { RaiseAssignError(&Dest, nullptr); }),
              "nil を TListPtrWex に代入することはできません");
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
    EXPECT_EQ(S.Strings(0) + S.Strings(2), "ZeroBeta");
    EXPECT_EQ(S.Objects(2), &A);
    EXPECT_EQ(S.Objects(3), &B);
    EXPECT_EQ(S.Objects(0), nullptr);
    EXPECT_EQ(S.IndexOf("beta"), 2);
    EXPECT_EQ(S.IndexOf("ＭＳ"), -1);
    EXPECT_EQ(ListError([&] { S.Strings(4); }) + ListError([&] { S.Insert(5, "x"); }) +
                  ListError([&] { S.Delete(-1); }),
              IndexMsg(4) + IndexMsg(5) + IndexMsg(-1));
    S.Delete(0);
    EXPECT_EQ(S.Strings(0), "Alpha");
    S.BeginUpdate();
    S.BeginUpdate();
    S.EndUpdate();
    EXPECT_EQ(S.UpdateCount(), 1);
}

TEST(ListUtils, FreeClearAndAssign)
{
    std::vector<int> Log(4, 0);
    TStringList S;
    S.AddObject("a", NewCounted(Log, 0));
    S.Add("b");
    S.AddObject("c", NewCounted(Log, 1));
    FreeStringsObjects(&S);
    FreeStringsObjects(&S); // nothing left to free twice
    EXPECT_EQ(Log, (std::vector<int>{1, 1, 0, 0}));
    EXPECT_EQ(S.Objects(0), nullptr);
    EXPECT_EQ(S.Count(), 3);
    S.PutObject(1, std::malloc(60));
    FreeStringsPointers(&S);
    EXPECT_EQ(S.Objects(1), nullptr);
    FreeStringsObjects(nullptr);
    FreeStringsPointers(nullptr);
    auto L = std::make_unique<TListPtrWex>();
    L->Add(NewCounted(Log, 2));
    L->Add(NewCounted(Log, 3));
    FreeListAndObjects(L);
    FreeListAndObjects(L);
    EXPECT_EQ(L, nullptr);
    EXPECT_EQ(Log, (std::vector<int>{1, 1, 1, 1}));
    ClearListObjects(nullptr);
    TListPtrWex D, Src;
    Fill(D, {9, 9, 9, 9});
    Fill(Src, {1, 2});
    AssignList(&D, &Src);
    AssignList(&D, &D);
    EXPECT_EQ(Values(D), (Vi{1, 2}));
    AssignList(&D, nullptr);
    EXPECT_EQ(D.Count(), 0);
    AssignList(nullptr, &Src);
}
