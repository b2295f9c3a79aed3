#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/record_sort.h"
#include "foundation/user_error.h"
#include "platform/test_support.h"

namespace {

int32_t GSize = 0; // record size the byte compares use

int32_t CompareBytes(const void* A, const void* B) { return std::memcmp(A, B, static_cast<size_t>(GSize)); }

// Counts its calls in Data.
int32_t CountingCompare(const void* A, const void* B, void* Data)
{
    ++*static_cast<int*>(Data);
    return CompareBytes(A, B);
}

int32_t MustNotCompare(const void*, const void*)
{
    ADD_FAILURE() << "compared";
    return 0;
}

} // namespace

TEST(RecordSort, MatchesStdSortForSeveralRecordSizes)
{
    std::mt19937 Rng(3);
    for (int32_t Size : {1, 3, 17, 256})
        for (int Count : {0, 1, 2, 64, 333}) {
            GSize = Size;
            // Few distinct leading bytes, so many records tie on the first bytes.
            std::vector<std::string> Recs(static_cast<size_t>(Count));
            std::string Flat, Want;
            for (auto& R : Recs) {
                for (int32_t B = 0; B < Size; ++B)
                    R += static_cast<char>(B < 2 ? Rng() % 3 : Rng() % 256);
                Flat += R;
            }
            std::sort(Recs.begin(), Recs.end()); // compares like memcmp
            for (auto& R : Recs)
                Want += R;
            std::string Ex = Flat;
            q_qsort(Flat.data(), 0, Count - 1, Size, CompareBytes);
            EXPECT_EQ(Flat, Want) << "size " << Size << " count " << Count;
            int Calls = 0; // q_qsortEx passes Data to every compare
            q_qsortEx(Ex.data(), 0, Count - 1, Size, CountingCompare, &Calls);
            EXPECT_EQ(Ex, Want) << "size " << Size << " count " << Count;
            EXPECT_GE(Calls, Count - 1);
        }
    // Only the given range; empty ranges compare nothing.
    std::vector<unsigned char> A = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    GSize = 1;
    q_qsort(A.data(), 2, 6, 1, CompareBytes);
    EXPECT_EQ(A, (std::vector<unsigned char>{9, 8, 3, 4, 5, 6, 7, 2, 1, 0}));
    q_qsort(A.data(), 3, 3, 1, MustNotCompare);
    q_qsort(A.data(), 4, 3, 1, MustNotCompare);
}

TEST(RecordSort, RejectsBadRecordSizesEvenForEmptyRanges)
{
    auto Err = [](auto Fn) { return MessageOf<EUserError>(Fn); };
    EXPECT_EQ(Err([] { q_qsort(nullptr, 5, 2, 257, MustNotCompare); }), "q_qsort: Too Large iElemSize.");
    EXPECT_EQ(Err([] { q_qsortEx(nullptr, 0, 0, 300, nullptr, nullptr); }), "q_qsort: Too Large iElemSize.");
    EXPECT_EQ(Err([] { q_qsort(nullptr, 0, -1, 0, MustNotCompare); }), "q_qsort: Invalid iElemSize.");
    EXPECT_EQ(Err([] { q_qsort(nullptr, 0, -1, 256, MustNotCompare); }), "(nothing raised)");
}
