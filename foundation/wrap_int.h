// 32-bit integer arithmetic that wraps modulo 2^32 instead of overflowing.
// Signed overflow is undefined in C++, so the operations run in uint32_t and
// the result is cast back (a defined, modular conversion since C++20).
#pragma once

#include <cstdint>

inline int32_t WrapAdd(int32_t A, int32_t B)
{
    return static_cast<int32_t>(static_cast<uint32_t>(A) + static_cast<uint32_t>(B));
}

inline int32_t WrapSub(int32_t A, int32_t B)
{
    return static_cast<int32_t>(static_cast<uint32_t>(A) - static_cast<uint32_t>(B));
}

inline int32_t WrapMul(int32_t A, int32_t B)
{
    return static_cast<int32_t>(static_cast<uint32_t>(A) * static_cast<uint32_t>(B));
}

inline int32_t WrapNeg(int32_t A)
{
    return static_cast<int32_t>(0u - static_cast<uint32_t>(A));
}

// The count is taken modulo 32, as the processor's shift does.
inline int32_t WrapShl(int32_t A, int32_t Count)
{
    return static_cast<int32_t>(static_cast<uint32_t>(A) << (static_cast<uint32_t>(Count) & 31u));
}
