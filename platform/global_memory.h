// Movable global memory blocks with handles: the currency of bitmap blocks and
// clipboard data. A fixed block (flags without GMEM_MOVEABLE) has its data
// address as its handle, so callers may use it directly as a pointer; a
// moveable block has an opaque handle and is reached through GlobalLock.
// Failures are reported the platform way: a null handle or 0, with the reason
// in GetLastError.
#pragma once

#include <cstddef>
#include <cstdint>

using HGLOBAL = void*;

constexpr uint32_t GMEM_FIXED = 0x0000;
constexpr uint32_t GMEM_MOVEABLE = 0x0002;
constexpr uint32_t GMEM_ZEROINIT = 0x0040;
constexpr uint32_t GMEM_SHARE = 0x2000;
constexpr uint32_t GMEM_DDESHARE = GMEM_SHARE;
constexpr uint32_t GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr uint32_t GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// GlobalFlags results.
constexpr uint32_t GMEM_DISCARDED = 0x4000;
constexpr uint32_t GMEM_INVALID_HANDLE = 0x8000;
constexpr uint32_t GMEM_LOCKCOUNT = 0x00FF;

// GetLastError codes used here.
constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NOT_LOCKED = 158;
constexpr uint32_t ERROR_DISCARDED = 157;

HGLOBAL GlobalAlloc(uint32_t Flags, size_t Bytes);          // nullptr on failure
HGLOBAL GlobalReAlloc(HGLOBAL H, size_t Bytes, uint32_t Flags); // nullptr on failure, H unchanged
void* GlobalLock(HGLOBAL H);                                 // nullptr for an invalid handle
bool GlobalUnlock(HGLOBAL H);                                // true while still locked (platform rule)
size_t GlobalSize(HGLOBAL H);                                // 0 for an invalid handle
uint32_t GlobalFlags(HGLOBAL H);                             // GMEM_INVALID_HANDLE for an unknown handle
HGLOBAL GlobalFree(HGLOBAL H);                               // nullptr on success, H on failure
HGLOBAL GlobalHandle(const void* Mem);                       // handle of a block's data address, or nullptr

uint32_t GetLastError();
void SetLastError(uint32_t Code);

// Number of live blocks (for tests that check nothing leaks).
size_t GlobalBlockCount();

// Bytes held by live blocks and DIB sections together, and the most they held
// at once since the last reset: tests bound a routine's working memory by it.
size_t HeldPixelBytes();
size_t PeakHeldPixelBytes();
void ResetPeakHeldPixelBytes();
// Counts Delta bytes taken (positive) or given back (negative); the DIB
// sections report here.
void NoteHeldPixelBytes(int64_t Delta);
