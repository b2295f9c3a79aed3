#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/list_utils.h"
#include "foundation/lists.h"
#include "foundation/string_list.h"
#include "foundation/user_error.h"
#include "platform/test_support.h"

namespace {

using Vi = std::vector<intptr_t>;
using Log = std::vector<int>;

void* P(intptr_t V) { return reinterpret_cast<void*>(V); }

Vi Values(const TCustomListWex& L)
{
    Vi Result;
    for (int32_t I = 0; I < L.Count(); ++I)
        Result.push_back(reinterpret_cast<intptr_t>(L.Get(I)));
    return Result;
}

TCustomListWex& Fill(TCustomListWex& L, std::initializer_list<intptr_t> Items)
{
    L.Clear();
    for (intptr_t Item : Items)
        L.Add(P(Item));
    return L;
}

std::string ListError(const std::function<void()>& Fn) { return MessageOf<EListError>(Fn); }
std::string IndexMsg(int64_t V) { return "リストのインデックスが範囲を超えています (" + std::to_string(V) + ")"; }
std::string CapacityMsg(int64_t V) { return "リストの容量が超えました (" + std::to_string(V) + ")"; }
std::string CountMsg(int64_t V) { return "リストの個数を超えました (" + std::to_string(V) + ")"; }

// Counts its own destructions in a shared log.
struct TCounted : TObject {
    Log& Freed;
    int Id;
    TCounted(Log& L, int I) : Freed(L), Id(I) {}
    ~TCounted() override { ++Freed[static_cast<size_t>(Id)]; }
};

TObject* NewCounted(Log& L, int Id) { return std::make_unique<TCounted>(L, Id).release(); }

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
        {[&] { L.Get(5); }, IndexMsg(5)},           {[&] { L.Get(-1); }, IndexMsg(-1)},
        {[&] { L.Put(5, P(1)); }, IndexMsg(5)},     {[&] { L.Insert(6, P(1)); }, IndexMsg(6)},
        {[&] { L.Delete(5); }, IndexMsg(5)},        {[&] { Empty.Last(); }, IndexMsg(-1)},
        {[&] { Empty.First(); }, IndexMsg(0)},      {[&] { L.InsertList(6, L); }, IndexMsg(6)},
        {[&] { L.Exchange(7, 9); }, IndexMsg(7)},   {[&] { L.Exchange(0, 9); }, IndexMsg(9)}, // first index first
        {[&] { L.Move(9, 8); }, IndexMsg(8)},       {[&] { L.Move(9, 0); }, IndexMsg(9)},     // new index first
        {[&] { L.SetCount(-1); }, CountMsg(-1)},    {[&] { L.SetCount(134217728); }, CountMsg(134217728)},
        {[&] { L.SetCapacity(4); }, CapacityMsg(4)}, {[&] { L.SetCapacity(134217728); }, CapacityMsg(134217728)},
        {[&] { L.InsertSpace(0, -1); }, CountMsg(-1)}, {[&] { L.InsertFill(1, -2, P(5)); }, CountMsg(-2)},
        {[&] { L.InsertFill(-1, 1, P(1)); }, IndexMsg(-1)}, {[&] { L.DeleteRange(0, -1); }, CountMsg(-1)},
        {[&] { L.DeleteRange(5, 1); }, IndexMsg(5)}, {[&] { L.DeleteRangeFree(0, -3); }, CountMsg(-3)},
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
    L.Delete(1);
    L.Put(3, P(99));
    EXPECT_EQ(Values(L), (Vi{5, 20, 30, 99}));
    EXPECT_EQ(std::pair(L.IndexOf(P(30)), L.IndexOf(P(31))), std::pair(2, -1));
    EXPECT_EQ(L.Remove(P(20)), 1);
    EXPECT_EQ(L.Remove(P(20)), -1);
    EXPECT_EQ(std::pair(L.First(), L.Last()), std::pair(P(5), P(99)));
    Fill(L, {1, 2, 3, 4, 5});
    L.Exchange(0, 2);
    L.SwapUnchecked(0, 1);
    EXPECT_EQ(Values(L), (Vi{2, 3, 1, 4, 5}));
    L.Move(1, 3);
    L.Move(4, 0);
    EXPECT_EQ(Values(L), (Vi{5, 2, 1, 4, 3}));
    // Growing the count zeroes the new entries, also those used before.
    L.SetCount(1);
    L.SetCount(4);
    EXPECT_EQ(Values(L), (Vi{5, 0, 0, 0}));
    L.Clear();
    EXPECT_EQ(L.Count() + L.Capacity(), 0);
    Fill(L, {0, 1, 0, 2, 0, 0, 3, 0}).Pack();
    EXPECT_TRUE(Values(L) == (Vi{1, 2, 3}) && L.Capacity() == 8);
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
    Fill(L, {1, 2, 3}).InsertList(1, Fill(O, {7, 8}));
    L.InsertList(5, O);
    EXPECT_EQ(Values(L), (Vi{1, 7, 8, 2, 3, 7, 8}));
    Fill(L, {1, 2}).InsertList(1, L);
    EXPECT_EQ(Values(L), (Vi{1, 1, 2, 2}));
    Fill(L, {1, 2}).InsertFill(1, 3, P(9));
    L.InsertFill(5, 1, P(4));
    L.InsertSpace(0, 2);
    EXPECT_EQ(Values(L), (Vi{0, 0, 1, 9, 9, 9, 2, 4}));
    Fill(L, {1, 2, 3}).AddList(L);
    EXPECT_EQ(Values(L), (Vi{1, 2, 3, 1, 2, 3}));
    Fill(L, {1, 2, 3, 2}).RemoveList(Fill(O, {2, 3, 6}));
    EXPECT_EQ(Values(L), (Vi{1, 2}));
    Fill(L, {1, 2, 2}).RemoveList(L);
    EXPECT_EQ(L.Count(), 0);
    Fill(L, {5}).Assign(Fill(O, {4, 5, 6, 7, 8, 9}));
    L.Assign(L);
    EXPECT_EQ(Values(L), (Vi{4, 5, 6, 7, 8, 9}));
}

TEST(TCustomListWex, FreeingFreesOnlyTheClampedRangeAndListsOwnNothing)
{
    Log Freed(8, 0);
    // Objects 5 and 6 stay in the array past Count after SetCount(5); the
    // test owns them, so freeing them would be a double free.
    auto Stale5 = std::make_unique<TCounted>(Freed, 5), Stale6 = std::make_unique<TCounted>(Freed, 6);
    auto Kept = std::make_unique<TCounted>(Freed, 7);
    {
        TListPtrWex L;
        for (int I = 0; I < 4; ++I)
            L.Add(NewCounted(Freed, I));
        L.Add(nullptr); // skipped by the free
        L.Add(Stale5.get());
        L.Add(Stale6.get());
        L.SetCount(5);
        EXPECT_EQ(ListError([&] { L.DeleteRangeFree(5, 1); }), IndexMsg(5));
        EXPECT_EQ(Freed, Log(8, 0));
        L.DeleteRangeFree(3, 100);
        EXPECT_EQ(L.Count(), 3);
        EXPECT_EQ(Freed, (Log{0, 0, 0, 1, 0, 0, 0, 0}));
        L.DeleteRangeFree(0, 0);
        L.DeleteRangeFree(1, 1);
        EXPECT_EQ(Freed, (Log{0, 1, 0, 1, 0, 0, 0, 0}));
        ClearListObjects(&L);
        EXPECT_EQ(L.Count(), 0);
        L.Add(Kept.get());
    }
    EXPECT_EQ(Freed, (Log{1, 1, 1, 1, 0, 0, 0, 0})); // destroying a list frees no target
    TListPtrWex L;
    L.Add(NewCounted(Freed, 4));
    L.Add(nullptr);
    L.FreeObjects(); // frees and zeroes, keeps the count
    EXPECT_EQ(Freed[4], 1);
    L.Add(std::malloc(16));
    L.FreePointers();
    EXPECT_EQ(Values(L), (Vi{0, 0, 0}));
}

TEST(TCustomListWex, SortOrdersLikeStdSort)
{
    std::mt19937 Rng(7);
    for (int Size : {0, 1, 2, 257}) {
        TListPtrWex L;
        Vi Expected;
        for (int I = 0; I < Size; ++I) {
            Expected.push_back(static_cast<intptr_t>(Rng() % 50) - 25);
            L.Add(P(Expected.back()));
        }
        std::sort(Expected.begin(), Expected.end());
        L.Sort([](void* A, void* B) {
            auto X = reinterpret_cast<intptr_t>(A), Y = reinterpret_cast<intptr_t>(B);
            return X < Y ? -1 : (X > Y ? 1 : 0);
        });
        EXPECT_EQ(Values(L), Expected) << Size;
    }
}

TEST(TList2Item, AddLookupSortAndIndexErrors)
{
    TList2Item M;
    std::vector<int32_t> Seen;
    for (int32_t I = 0; I < 30; ++I) {
        EXPECT_EQ(M.Add(100 + I, 1000 + I), I);
        if (Seen.empty() || Seen.back() != M.Capacity())
            Seen.push_back(M.Capacity());
    }
    EXPECT_EQ(Seen, (std::vector<int32_t>{4, 8, 12, 28, 44}));
    EXPECT_EQ(std::tuple(M.IndexOfKey(117), M.GetItem(17), M.IndexOfKey(99)), std::tuple(17, 1017, -1));
    M.SetKey(20, 117);
    M.SetItem(0, -5);
    EXPECT_EQ(std::pair(M.IndexOfKey(117), M.GetItem(0)), std::pair(17, intptr_t{-5})); // the first match wins
    EXPECT_EQ(ListError([&] { M.GetKey(30); }) + ListError([&] { M.GetItem(-1); }), IndexMsg(30) + IndexMsg(-1));
    EXPECT_EQ(ListError([&] { M.SetKey(30, 0); }) + ListError([&] { M.SetItem(31, 0); }), IndexMsg(30) + IndexMsg(31));
    EXPECT_EQ(ListError([&] { M.SetCount(134217728); }), CountMsg(134217728));
    EXPECT_EQ(ListError([&] { M.SetCapacity(29); }), CapacityMsg(29));
    M.SetCount(2);
    M.SetCount(4);
    EXPECT_EQ(M.GetKey(3) + M.GetItem(3), 0);
    // Sorting keeps the pairs together.
    std::mt19937 Rng(11);
    std::vector<std::pair<int32_t, intptr_t>> Pairs, Got;
    M.Clear();
    for (int I = 0; I < 300; ++I) {
        Pairs.emplace_back(static_cast<int32_t>(Rng() % 100000), static_cast<intptr_t>(Rng() % 100000) * 1000 + I);
        M.Add(Pairs.back().first, Pairs.back().second);
    }
    const auto Contents = [&] {
        std::vector<std::pair<int32_t, intptr_t>> R;
        for (int32_t I = 0; I < M.Count(); ++I)
            R.emplace_back(M.GetKey(I), M.GetItem(I));
        return R;
    };
    const auto ByItemDown = [](auto& A, auto& B) { return A.second > B.second; }; // items are unique
    M.SortByKey([](int32_t A, int32_t B) { return A < B ? -1 : (A > B ? 1 : 0); });
    Got = Contents();
    EXPECT_TRUE(std::is_sorted(Got.begin(), Got.end(), [](auto& A, auto& B) { return A.first < B.first; }));
    M.SortByItem([](intptr_t A, intptr_t B) { return A > B ? -1 : (A < B ? 1 : 0); });
    std::sort(Pairs.begin(), Pairs.end(), ByItemDown);
    EXPECT_EQ(Contents(), Pairs);
    std::sort(Got.begin(), Got.end(), ByItemDown);
    EXPECT_EQ(Got, Pairs);
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
    EXPECT_EQ(std::tuple(S.Objects(0), S.Objects(2), S.Objects(3)), std::tuple(nullptr, &A, &B));
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
    Log Freed(4, 0);
    TStringList S;
    S.AddObject("a", NewCounted(Freed, 0));
    S.Add("b");
    S.AddObject("c", NewCounted(Freed, 1));
    FreeStringsObjects(&S);
    FreeStringsObjects(&S); // nothing left to free twice
    EXPECT_EQ(Freed, (Log{1, 1, 0, 0}));
    EXPECT_TRUE(S.Objects(0) == nullptr && S.Count() == 3);
    S.PutObject(1, std::malloc(60));
    FreeStringsPointers(&S);
    EXPECT_EQ(S.Objects(1), nullptr);
    FreeStringsObjects(nullptr);
    FreeStringsPointers(nullptr);
    auto L = std::make_unique<TListPtrWex>();
    L->Add(NewCounted(Freed, 2));
    L->Add(NewCounted(Freed, 3));
    FreeListAndObjects(L);
    FreeListAndObjects(L);
    EXPECT_TRUE(L == nullptr && Freed == (Log{1, 1, 1, 1}));
    ClearListObjects(nullptr);
    TListPtrWex D, Src;
    Fill(D, {9, 9, 9, 9});
    AssignList(&D, &Fill(Src, {1, 2}));
    AssignList(&D, &D);
    EXPECT_EQ(Values(D), (Vi{1, 2}));
    AssignList(&D, nullptr);
    EXPECT_EQ(D.Count(), 0);
    AssignList(nullptr, &Src);
}
