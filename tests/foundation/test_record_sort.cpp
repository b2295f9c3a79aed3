#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/record_sort.h"
#include "foundation/user_error.h"

namespace {

int32_t GSize = 0; // record size the byte compare uses

int32_t CompareBytes(const void* A, const void* B)
{
    return std::memcmp(A, B, static_cast<size_t>(GSize));
}

struct TExData {
    int Calls = 0;
    bool Descending = false;
};

int32_t CompareIntEx(const void* A, const void* B, void* Data)
{
    auto* D = static_cast<TExData*>(Data);
    ++D->Calls;
    int32_t X, Y;
    std::memcpy(&X, A, 4);
    std::memcpy(&Y, B, 4);
    const int32_t R = X < Y ? -1 : (X > Y ? 1 : 0);
    return D->Descending ? -R : R;
}

int32_t MustNotCompare(const void*, const void*)
{
    ADD_FAILURE() << "compared";
    return 0;
}

std::string ErrorOf(void (*Fn)())
{
    try {
        Fn();
    } catch (const EUserError& E) {
        return E.Message();
    }
    return "no error";
}

} // namespace

TEST(RecordSort, MatchesStdSortForSeveralRecordSizes)
{
    std::mt19937 Rng(3);
    for (int32_t Size : {1, 2, 3, 8, 17, 100, 255, 256}) {
        for (int Count : {0, 1, 2, 5, 64, 333}) {
            GSize = Size;
            // Few distinct leading bytes, so many records tie on the first bytes.
            std::vector<std::vector<unsigned char>> Recs(static_cast<size_t>(Count));
            std::vector<unsigned char> Flat;
            for (auto& R : Recs) {
                R.resize(static_cast<size_t>(Size));
                for (int32_t B = 0; B < Size; ++B)
                    R[static_cast<size_t>(B)] = static_cast<unsigned char>(B < 2 ? Rng() % 3 : Rng() % 256);
                Flat.insert(Flat.end(), R.begin(), R.end());
            }
            std::sort(Recs.begin(), Recs.end());
            q_qsort(Flat.data(), 0, Count - 1, Size, CompareBytes);
            std::vector<unsigned char> Want;
            for (auto& R : Recs)
                Want.insert(Want.end(), R.begin(), R.end());
            EXPECT_EQ(Flat, Want) << "size " << Size << " count " << Count;
        }
    }
}

TEST(RecordSort, SortsOnlyTheGivenRange)
{
    GSize = 1;
    std::vector<unsigned char> A = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    q_qsort(A.data(), 2, 6, 1, CompareBytes);
    EXPECT_EQ(A, (std::vector<unsigned char>{9, 8, 3, 4, 5, 6, 7, 2, 1, 0}));
    unsigned char One = 5;
    q_qsort(&One, 3, 3, 1, MustNotCompare);
    q_qsort(&One, 4, 3, 1, MustNotCompare);
}

TEST(RecordSort, ExPassesDataToEveryCompare)
{
    std::mt19937 Rng(5);
    std::vector<int32_t> A(200);
    for (auto& X : A)
        X = static_cast<int32_t>(Rng() % 1000) - 500;
    std::vector<int32_t> Want = A;
    std::sort(Want.begin(), Want.end(), std::greater<int32_t>());
    TExData Data;
    Data.Descending = true;
    q_qsortEx(A.data(), 0, 199, 4, CompareIntEx, &Data);
    EXPECT_EQ(A, Want);
    EXPECT_GT(Data.Calls, 199);
}

TEST(RecordSort, RejectsRecordsAbove256BytesEvenForEmptyRanges)
{
    const std::string Msg = "q_qsort: Too Large iElemSize.";
    EXPECT_EQ(ErrorOf([] { q_qsort(nullptr, 5, 2, 257, MustNotCompare); }), Msg);
    EXPECT_EQ(ErrorOf([] { q_qsortEx(nullptr, 0, 0, 300, nullptr, nullptr); }), Msg);
    EXPECT_EQ(ErrorOf([] { q_qsort(nullptr, 0, -1, 0, MustNotCompare); }), "q_qsort: Invalid iElemSize.");
    EXPECT_EQ(ErrorOf([] { q_qsort(nullptr, 0, -1, 256, MustNotCompare); }), "no error");
}
