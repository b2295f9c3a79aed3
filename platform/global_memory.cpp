#include "platform/global_memory.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

// Sizes beyond this are refused outright: no heap can serve them, and an
// overcommitting allocator might otherwise hand out memory it cannot back.
constexpr size_t MaxBlockBytes = size_t(1) << 46;

struct TBlock {
    void* Data = nullptr;   // malloc'ed, at least 1 byte; null while discarded
    size_t Size = 0;
    size_t Held = 0;        // bytes malloc'ed for Data (a shrink keeps them)
    uint32_t Flags = 0;     // allocation flags
    uint32_t LockCount = 0; // moveable blocks only
};

thread_local uint32_t LastError = ERROR_SUCCESS;

// Moveable handles are small tagged numbers; malloc addresses are 16-byte
// aligned, so the tag keeps the two kinds of handle apart and a moveable
// handle used as a pointer faults at once.
constexpr uintptr_t MoveableTag = 0x4;

struct TTable {
    std::mutex Lock;
    std::unordered_map<HGLOBAL, TBlock> Blocks;
    std::unordered_map<const void*, HGLOBAL> ByData; // moveable blocks' data -> handle
    uintptr_t NextMoveable = 1;
};

TTable& Table()
{
    static TTable T;
    return T;
}

bool IsMoveable(const TBlock& B) { return (B.Flags & GMEM_MOVEABLE) != 0; }

std::atomic<size_t> gHeld{0};
std::atomic<size_t> gPeakHeld{0};

void* AllocData(size_t Bytes, bool Zero)
{
    if (Bytes > MaxBlockBytes)
        return nullptr;
    size_t N = Bytes ? Bytes : 1;
    void* P = Zero ? std::calloc(N, 1) : std::malloc(N);
    if (P)
        NoteHeldPixelBytes(int64_t(N));
    return P;
}

void FreeData(void* Data, size_t Held)
{
    std::free(Data);
    NoteHeldPixelBytes(-int64_t(Held));
}

TBlock* Find(TTable& T, HGLOBAL H)
{
    if (!H)
        return nullptr;
    auto It = T.Blocks.find(H);
    return It == T.Blocks.end() ? nullptr : &It->second;
}

HGLOBAL Fail(uint32_t Code)
{
    LastError = Code;
    return nullptr;
}

} // namespace

uint32_t GetLastError() { return LastError; }
void SetLastError(uint32_t Code) { LastError = Code; }

HGLOBAL GlobalAlloc(uint32_t Flags, size_t Bytes)
{
    TTable& T = Table();
    std::lock_guard<std::mutex> G(T.Lock);
    TBlock B;
    B.Flags = Flags;
    B.Size = Bytes;
    // A moveable block of no bytes starts out discarded, as on the platform
    // this stands in for.
    bool Discarded = (Flags & GMEM_MOVEABLE) && Bytes == 0;
    if (!Discarded) {
        B.Data = AllocData(Bytes, (Flags & GMEM_ZEROINIT) != 0);
        if (!B.Data)
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        B.Held = Bytes ? Bytes : 1;
    }
    try {
        HGLOBAL H;
        if (Flags & GMEM_MOVEABLE) {
            H = reinterpret_cast<HGLOBAL>((T.NextMoveable++ << 4) | MoveableTag);
            if (B.Data)
                T.ByData.emplace(B.Data, H);
        } else {
            H = B.Data;
        }
        try {
            T.Blocks.emplace(H, B);
        } catch (...) {
            if (B.Data)
                T.ByData.erase(B.Data);
            throw;
        }
        return H;
    } catch (const std::bad_alloc&) {
        if (B.Data)
            FreeData(B.Data, B.Held);
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

HGLOBAL GlobalReAlloc(HGLOBAL H, size_t Bytes, uint32_t Flags)
{
    TTable& T = Table();
    std::lock_guard<std::mutex> G(T.Lock);
    TBlock* B = Find(T, H);
    if (!B)
        return Fail(ERROR_INVALID_HANDLE);
    if (Bytes > MaxBlockBytes)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    const bool Zero = (Flags & GMEM_ZEROINIT) != 0;
    const size_t Old = B->Data ? B->Size : 0;

    if (IsMoveable(*B)) {
        if (Bytes == 0) {
            // Shrinking a moveable block to nothing discards it.
            if (B->LockCount)
                return Fail(ERROR_NOT_ENOUGH_MEMORY);
            if (B->Data) {
                T.ByData.erase(B->Data);
                FreeData(B->Data, B->Held);
                B->Data = nullptr;
            }
            B->Size = 0;
            B->Held = 0;
            return H;
        }
        // Shrinking keeps the data where it is; growing a locked block would
        // pull the data from under its lock unless the caller allows moving.
        if (B->Data && Bytes <= B->Size) {
            B->Size = Bytes;
            return H;
        }
        if (B->LockCount && !(Flags & GMEM_MOVEABLE))
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        void* New = AllocData(Bytes, false);
        if (!New)
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        try {
            T.ByData.emplace(New, H);
        } catch (const std::bad_alloc&) {
            FreeData(New, Bytes);
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        }
        if (B->Data) {
            std::memcpy(New, B->Data, Old < Bytes ? Old : Bytes);
            T.ByData.erase(B->Data);
            FreeData(B->Data, B->Held);
        }
        if (Zero && Bytes > Old)
            std::memset(static_cast<uint8_t*>(New) + Old, 0, Bytes - Old);
        B->Data = New;
        B->Size = Bytes;
        B->Held = Bytes;
        return H;
    }

    // A fixed block's handle is its address: shrinking keeps it, growing
    // moves the data and gives the block a new handle.
    if (Bytes <= B->Size) {
        B->Size = Bytes;
        return H;
    }
    void* New = AllocData(Bytes, false);
    if (!New)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    TBlock Moved = *B;
    Moved.Data = New;
    Moved.Size = Bytes;
    Moved.Held = Bytes;
    try {
        T.Blocks.emplace(New, Moved);
    } catch (const std::bad_alloc&) {
        FreeData(New, Bytes);
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    std::memcpy(New, B->Data, Old);
    if (Zero)
        std::memset(static_cast<uint8_t*>(New) + Old, 0, Bytes - Old);
    FreeData(B->Data, B->Held);
    T.Blocks.erase(H);
    return New;
}

void* GlobalLock(HGLOBAL H)
{
    TTable& T = Table();
    std::lock_guard<std::mutex> G(T.Lock);
    TBlock* B = Find(T, H);
    if (!B) {
        LastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (!B->Data) {
        LastError = ERROR_DISCARDED;
        return nullptr;
    }
    if (IsMoveable(*B))
        ++B->LockCount;
    return B->Data;
}

bool GlobalUnlock(HGLOBAL H)
{
    TTable& T = Table();
    std::lock_guard<std::mutex> G(T.Lock);
    TBlock* B = Find(T, H);
    if (!B) {
        LastError = ERROR_INVALID_HANDLE;
        return false;
    }
    if (!IsMoveable(*B))
        return false;
    if (B->LockCount == 0) {
        LastError = ERROR_NOT_LOCKED;
        return false;
    }
    if (--B->LockCount == 0) {
        LastError = ERROR_SUCCESS;
        return false;
    }
    return true;
}

size_t GlobalSize(HGLOBAL H)
{
    TTable& T = Table();
    std::lock_guard<std::mutex> G(T.Lock);
    TBlock* B = Find(T, H);
    if (!B) {
        LastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    return B->Data ? B->Size : 0;
}

uint32_t GlobalFlags(HGLOBAL H)
{
    TTable& T = Table();
    std::lock_guard<std::mutex> G(T.Lock);
    TBlock* B = Find(T, H);
    if (!B) {
        LastError = ERROR_INVALID_HANDLE;
        return GMEM_INVALID_HANDLE;
    }
    uint32_t Result = B->LockCount < GMEM_LOCKCOUNT ? B->LockCount : GMEM_LOCKCOUNT;
    if (B->Flags & GMEM_SHARE)
        Result |= GMEM_SHARE;
    if (!B->Data)
        Result |= GMEM_DISCARDED;
    return Result;
}

HGLOBAL GlobalFree(HGLOBAL H)
{
    if (!H)
        return nullptr;
    TTable& T = Table();
    std::lock_guard<std::mutex> G(T.Lock);
    TBlock* B = Find(T, H);
    if (!B) {
        LastError = ERROR_INVALID_HANDLE;
        return H;
    }
    if (B->Data) {
        if (IsMoveable(*B))
            T.ByData.erase(B->Data);
        FreeData(B->Data, B->Held);
    }
    T.Blocks.erase(H);
    return nullptr;
}

HGLOBAL GlobalHandle(const void* Mem)
{
    if (!Mem)
        return nullptr;
    TTable& T = Table();
    std::lock_guard<std::mutex> G(T.Lock);
    auto It = T.ByData.find(Mem);
    if (It != T.ByData.end())
        return It->second;
    TBlock* B = Find(T, const_cast<void*>(Mem));
    if (B && !IsMoveable(*B))
        return const_cast<void*>(Mem);
    LastError = ERROR_INVALID_HANDLE;
    return nullptr;
}

size_t GlobalBlockCount()
{
    TTable& T = Table();
    std::lock_guard<std::mutex> G(T.Lock);
    return T.Blocks.size();
}

size_t HeldPixelBytes()
{
    return gHeld.load();
}

size_t PeakHeldPixelBytes()
{
    return gPeakHeld.load();
}

void ResetPeakHeldPixelBytes()
{
    gPeakHeld.store(gHeld.load());
}

void NoteHeldPixelBytes(int64_t Delta)
{
    const size_t Now = gHeld.fetch_add(size_t(Delta)) + size_t(Delta);
    size_t Peak = gPeakHeld.load();
    while (Now > Peak && !gPeakHeld.compare_exchange_weak(Peak, Now)) {
    }
}
