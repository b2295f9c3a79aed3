// In-place quicksort of fixed-size records (at most 256 bytes each), used
// wherever arrays of plain records are sorted. Not stable.
#pragma once

#include <cstdint>

// Negative when A sorts before B, 0 when equal, positive after.
using TRecordCompare = int32_t (*)(const void* A, const void* B);
using TRecordCompareEx = int32_t (*)(const void* A, const void* B, void* Data);

// Sorts records First..Last (inclusive indexes) of ElemSize bytes at Base.
// Raises EUserError for ElemSize above 256 (or below 1) even when the range is empty.
void q_qsort(void* Base, int32_t First, int32_t Last, int32_t ElemSize, TRecordCompare Compare);
// The same with Data passed to every Compare call.
void q_qsortEx(void* Base, int32_t First, int32_t Last, int32_t ElemSize, TRecordCompareEx Compare,
               void* Data);
