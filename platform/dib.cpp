#include "platform/dib.h"

#include "platform/global_memory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

uint32_t Get32(const uint8_t* P)
{
    return uint32_t{P[0]} | uint32_t{P[1]} << 8 | uint32_t{P[2]} << 16 | uint32_t{P[3]} << 24;
}
uint16_t Get16(const uint8_t* P)
{
    return static_cast<uint16_t>(P[0] | P[1] << 8);
}
void Put32(uint8_t* P, uint32_t V)
{
    P[0] = static_cast<uint8_t>(V);
    P[1] = static_cast<uint8_t>(V >> 8);
    P[2] = static_cast<uint8_t>(V >> 16);
    P[3] = static_cast<uint8_t>(V >> 24);
}
void Put16(uint8_t* P, uint16_t V)
{
    P[0] = static_cast<uint8_t>(V);
    P[1] = static_cast<uint8_t>(V >> 8);
}

std::mutex gSectionLock;
std::unordered_map<void*, size_t> gSections; // section -> bytes

// Largest pixel block a DIB section may have: far beyond any real picture,
// small enough that size arithmetic cannot overflow.
constexpr uint64_t MaxSectionBytes = uint64_t{1} << 34;

} // namespace

void ReadBitmapInfoHeader(const uint8_t* B, BITMAPINFOHEADER& H)
{
    H.biSize = Get32(B + 0);
    H.biWidth = static_cast<int32_t>(Get32(B + 4));
    H.biHeight = static_cast<int32_t>(Get32(B + 8));
    H.biPlanes = Get16(B + 12);
    H.biBitCount = Get16(B + 14);
    H.biCompression = Get32(B + 16);
    H.biSizeImage = Get32(B + 20);
    H.biXPelsPerMeter = static_cast<int32_t>(Get32(B + 24));
    H.biYPelsPerMeter = static_cast<int32_t>(Get32(B + 28));
    H.biClrUsed = Get32(B + 32);
    H.biClrImportant = Get32(B + 36);
}

void WriteBitmapInfoHeader(const BITMAPINFOHEADER& H, uint8_t* B)
{
    Put32(B + 0, H.biSize);
    Put32(B + 4, static_cast<uint32_t>(H.biWidth));
    Put32(B + 8, static_cast<uint32_t>(H.biHeight));
    Put16(B + 12, H.biPlanes);
    Put16(B + 14, H.biBitCount);
    Put32(B + 16, H.biCompression);
    Put32(B + 20, H.biSizeImage);
    Put32(B + 24, static_cast<uint32_t>(H.biXPelsPerMeter));
    Put32(B + 28, static_cast<uint32_t>(H.biYPelsPerMeter));
    Put32(B + 32, H.biClrUsed);
    Put32(B + 36, H.biClrImportant);
}

HBITMAP CreateDIBSection(const BITMAPINFOHEADER* Header, uint32_t Usage, void** Bits)
{
    if (Bits)
        *Bits = nullptr;
    if (!Header || !Bits || Usage != DIB_RGB_COLORS || Header->biWidth <= 0 ||
        Header->biHeight == 0 || Header->biPlanes != 1) {
        SetLastError(87); // invalid parameter
        return nullptr;
    }
    const uint16_t BitCount = Header->biBitCount;
    if (BitCount != 1 && BitCount != 2 && BitCount != 4 && BitCount != 8 && BitCount != 16 &&
        BitCount != 24 && BitCount != 32) {
        SetLastError(87);
        return nullptr;
    }
    const uint64_t Row = (uint64_t(Header->biWidth) * BitCount + 31) / 32 * 4;
    const uint64_t Height = Header->biHeight < 0 ? uint64_t(-int64_t(Header->biHeight))
                                                 : uint64_t(Header->biHeight);
    const uint64_t Size = Row * Height;
    if (Size == 0 || Size > MaxSectionBytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* Mem = std::calloc(1, static_cast<size_t>(Size));
    if (!Mem) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> Guard(gSectionLock);
        gSections.emplace(Mem, static_cast<size_t>(Size));
    }
    NoteHeldPixelBytes(int64_t(Size));
    *Bits = Mem;
    return Mem;
}

bool DeleteObject(HBITMAP H)
{
    if (!H)
        return false;
    size_t Bytes = 0;
    {
        std::lock_guard<std::mutex> Guard(gSectionLock);
        auto It = gSections.find(H);
        if (It == gSections.end())
            return false;
        Bytes = It->second;
        gSections.erase(It);
    }
    std::free(H);
    NoteHeldPixelBytes(-int64_t(Bytes));
    return true;
}

size_t DIBSectionCount()
{
    std::lock_guard<std::mutex> Guard(gSectionLock);
    return gSections.size();
}
