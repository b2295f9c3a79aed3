#include "foundation/record_sort.h"

#include <cstring>

#include "foundation/user_error.h"

namespace {

constexpr int32_t MaxElemSize = 256;

// Both entry points share one sort; Cmp adapts the two compare forms.
template <class Cmp>
void SortRange(unsigned char* Base, int32_t L, int32_t R, size_t Size, const Cmp& Compare)
{
    unsigned char Pivot[MaxElemSize];
    unsigned char Temp[MaxElemSize];
    auto Rec = [Base, Size](int32_t Index) { return Base + static_cast<ptrdiff_t>(Index) * static_cast<ptrdiff_t>(Size); };
    // The larger side is sorted by the loop rather than a recursive call, which
    // keeps the depth logarithmic; the order of work is unchanged.
    while (L < R) {
        std::memcpy(Pivot, Rec(static_cast<int32_t>((static_cast<int64_t>(L) + R) / 2)), Size);
        int32_t I = L;
        int32_t J = R;
        do {
            while (Compare(Rec(I), Pivot) < 0)
                ++I;
            while (Compare(Pivot, Rec(J)) < 0)
                --J;
            if (I <= J) {
                if (I != J) {
                    std::memcpy(Temp, Rec(I), Size);
                    std::memcpy(Rec(I), Rec(J), Size);
                    std::memcpy(Rec(J), Temp, Size);
                }
                ++I;
                --J;
            }
        } while (I <= J);
        if (J - L >= R - I) {
            if (I < R)
                SortRange(Base, I, R, Size, Compare);
            R = J;
        } else {
            if (L < J)
                SortRange(Base, L, J, Size, Compare);
            L = I;
        }
    }
}

void CheckElemSize(int32_t ElemSize)
{
    if (ElemSize > MaxElemSize)
        throw EUserError("q_qsort: Too Large iElemSize.");
    if (ElemSize < 1)
        throw EUserError("q_qsort: Invalid iElemSize.");
}

} // namespace

void q_qsort(void* Base, int32_t First, int32_t Last, int32_t ElemSize, TRecordCompare Compare)
{
    CheckElemSize(ElemSize);
    if (Last > First)
        SortRange(static_cast<unsigned char*>(Base), First, Last, static_cast<size_t>(ElemSize),
                  [Compare](const void* A, const void* B) { return Compare(A, B); });
}

void q_qsortEx(void* Base, int32_t First, int32_t Last, int32_t ElemSize, TRecordCompareEx Compare,
               void* Data)
{
    CheckElemSize(ElemSize);
    if (Last > First)
        SortRange(static_cast<unsigned char*>(Base), First, Last, static_cast<size_t>(ElemSize),
                  [Compare, Data](const void* A, const void* B) { return Compare(A, B, Data); });
}
