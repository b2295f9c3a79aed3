#include "platform/global_memory.h"

#include "platform/dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

const HGLOBAL Bogus = reinterpret_cast<HGLOBAL>(uintptr_t(0x12340));

// Checks that a test frees every block it allocates.
struct GlobalMemory : ::testing::Test {
    const size_t Start = GlobalBlockCount();
    void TearDown() override { EXPECT_EQ(GlobalBlockCount(), Start); }
};

} // namespace

TEST_F(GlobalMemory, FixedBlockHandleIsItsAddress)
{
    HGLOBAL H = GlobalAlloc(GMEM_FIXED, 16);
    ASSERT_NE(H, nullptr);
    EXPECT_EQ(GlobalBlockCount(), Start + 1);
    EXPECT_EQ(GlobalLock(H), H);
    EXPECT_EQ(GlobalFlags(H), 0u); // fixed blocks keep no lock count
    EXPECT_FALSE(GlobalUnlock(H));
    EXPECT_EQ(GlobalSize(H), 16u);
    EXPECT_EQ(GlobalHandle(static_cast<char*>(H)), H);
    EXPECT_EQ(GlobalHandle(static_cast<char*>(H) + 1), nullptr);
    EXPECT_EQ(GlobalFree(H), nullptr);
    for (uint32_t Flags : {GPTR, GHND}) {
        HGLOBAL Z = GlobalAlloc(Flags, 4096);
        auto* P = static_cast<const uint8_t*>(GlobalLock(Z));
        ASSERT_NE(P, nullptr);
        EXPECT_EQ(std::count(P, P + 4096, 0), 4096) << Flags; // zero-initialised
        GlobalUnlock(Z);
        GlobalFree(Z);
    }
}

TEST_F(GlobalMemory, MoveableLockCountsAndHandle)
{
    HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, 10);
    ASSERT_NE(H, nullptr);
    EXPECT_EQ(GlobalFlags(H), GMEM_SHARE);
    void* P = GlobalLock(H);
    ASSERT_NE(P, nullptr);
    EXPECT_NE(P, H);
    EXPECT_EQ(GlobalHandle(P), H);
    EXPECT_EQ(GlobalLock(H), P);
    EXPECT_EQ(GlobalFlags(H), GMEM_SHARE | 2u);
    EXPECT_TRUE(GlobalUnlock(H)); // still locked once
    SetLastError(12345);
    EXPECT_FALSE(GlobalUnlock(H));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(GlobalUnlock(H));
    EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
    EXPECT_EQ(GlobalFlags(H) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(GlobalFree(H), nullptr);
    EXPECT_EQ(GlobalHandle(P), nullptr);
    // An empty moveable block is discarded until it is given a size.
    H = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(H, nullptr);
    EXPECT_EQ(GlobalFlags(H), GMEM_DISCARDED);
    EXPECT_EQ(GlobalLock(H), nullptr);
    EXPECT_EQ(GlobalSize(H), 0u);
    ASSERT_EQ(GlobalReAlloc(H, 8, GMEM_MOVEABLE | GMEM_ZEROINIT), H);
    EXPECT_EQ(GlobalFlags(H), 0u);
    EXPECT_NE(GlobalLock(H), nullptr);
    GlobalFree(H);
}

TEST_F(GlobalMemory, ReAllocKeepsContent)
{
    // Moveable: the handle stays, the new part is zeroed on request.
    HGLOBAL M = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(M), "abcd", 4);
    GlobalUnlock(M);
    ASSERT_EQ(GlobalReAlloc(M, 4000, GMEM_MOVEABLE | GMEM_ZEROINIT), M);
    EXPECT_EQ(GlobalSize(M), 4000u);
    auto* P = static_cast<const char*>(GlobalLock(M));
    EXPECT_EQ(std::memcmp(P, "abcd", 4), 0);
    EXPECT_EQ(std::count(P + 4, P + 4000, 0), 3996);
    // A locked block may not move unless the caller allows it.
    EXPECT_EQ(GlobalReAlloc(M, 100000, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GlobalReAlloc(M, 100000, GMEM_MOVEABLE), M);
    EXPECT_EQ(std::memcmp(GlobalLock(M), "abcd", 4), 0);
    GlobalUnlock(M);
    GlobalUnlock(M);
    EXPECT_EQ(GlobalReAlloc(M, 2, 0), M);
    EXPECT_EQ(GlobalSize(M), 2u);
    GlobalFree(M);
    // Fixed: growing moves the block, and its address is its new handle.
    HGLOBAL F = GlobalAlloc(GMEM_FIXED, 3);
    std::memcpy(F, "xyz", 3);
    HGLOBAL F2 = GlobalReAlloc(F, 1 << 20, GMEM_MOVEABLE | GMEM_ZEROINIT);
    ASSERT_NE(F2, nullptr);
    EXPECT_EQ(GlobalLock(F2), F2);
    EXPECT_EQ(std::memcmp(F2, "xyz", 3), 0);
    EXPECT_EQ(static_cast<char*>(F2)[(1 << 20) - 1], 0);
    EXPECT_TRUE(F2 == F || GlobalFlags(F) == GMEM_INVALID_HANDLE);
    EXPECT_EQ(GlobalReAlloc(F2, 1, 0), F2); // shrinking stays in place
    EXPECT_EQ(GlobalSize(F2), 1u);
    GlobalFree(F2);
}

TEST_F(GlobalMemory, UnknownHandlesAndFailedAllocations)
{
    EXPECT_EQ(GlobalFlags(Bogus), GMEM_INVALID_HANDLE);
    EXPECT_EQ(GlobalSize(Bogus), 0u);
    EXPECT_EQ(GlobalLock(Bogus), nullptr);
    EXPECT_FALSE(GlobalUnlock(Bogus));
    SetLastError(0);
    EXPECT_EQ(GlobalFree(Bogus), Bogus);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_EQ(GlobalReAlloc(Bogus, 10, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    // A freed handle is unknown from then on.
    HGLOBAL H = GlobalAlloc(GHND, 32);
    ASSERT_EQ(GlobalFree(H), nullptr);
    EXPECT_EQ(GlobalFree(H), H);
    EXPECT_EQ(GlobalFlags(H), GMEM_INVALID_HANDLE);
    for (size_t Bytes : {SIZE_MAX, SIZE_MAX / 2})
        for (uint32_t Flags : {GMEM_FIXED, GHND}) {
            SetLastError(0);
            EXPECT_EQ(GlobalAlloc(Flags, Bytes), nullptr);
            EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
        }
    H = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(H), "keep", 4);
    GlobalUnlock(H);
    EXPECT_EQ(GlobalReAlloc(H, SIZE_MAX, GMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GlobalSize(H), 4u);
    EXPECT_EQ(std::memcmp(GlobalLock(H), "keep", 4), 0);
    GlobalUnlock(H);
    GlobalFree(H);
}

TEST_F(GlobalMemory, HeldBytesFollowEveryBlockAndSection)
{
    const size_t Base = HeldPixelBytes();
    ResetPeakHeldPixelBytes();
    EXPECT_EQ(PeakHeldPixelBytes(), Base);
    HGLOBAL Fixed = GlobalAlloc(GMEM_FIXED, 1000);
    HGLOBAL Moveable = GlobalAlloc(GHND, 500);
    HGLOBAL Empty = GlobalAlloc(GMEM_MOVEABLE, 0); // discarded: holds nothing
    EXPECT_EQ(HeldPixelBytes(), Base + 1500);
    // Growing moves the data: the old bytes go once the new ones are there.
    Fixed = GlobalReAlloc(Fixed, 3000, 0);
    EXPECT_EQ(HeldPixelBytes(), Base + 3500);
    EXPECT_EQ(PeakHeldPixelBytes(), Base + 4500);
    // Shrinking keeps the bytes where they are.
    Fixed = GlobalReAlloc(Fixed, 10, 0);
    EXPECT_EQ(HeldPixelBytes(), Base + 3500);
    Moveable = GlobalReAlloc(Moveable, 0, GMEM_MOVEABLE); // discarded
    EXPECT_EQ(HeldPixelBytes(), Base + 3000);
    Empty = GlobalReAlloc(Empty, 64, GMEM_MOVEABLE);
    EXPECT_EQ(HeldPixelBytes(), Base + 3064);
    BITMAPINFOHEADER H{40, 3, 10, 1, 24, 0, 0, 0, 0, 0, 0};
    void* Bits = nullptr;
    HBITMAP Section = CreateDIBSection(&H, DIB_RGB_COLORS, &Bits);
    ASSERT_NE(Section, nullptr);
    EXPECT_EQ(HeldPixelBytes(), Base + 3064 + 12 * 10); // rows of whole 4-byte words
    EXPECT_TRUE(DeleteObject(Section));
    for (HGLOBAL B : {Fixed, Moveable, Empty})
        EXPECT_EQ(GlobalFree(B), nullptr);
    EXPECT_EQ(HeldPixelBytes(), Base);
    EXPECT_EQ(PeakHeldPixelBytes(), Base + 4500);
    ResetPeakHeldPixelBytes();
    EXPECT_EQ(PeakHeldPixelBytes(), Base);
}
