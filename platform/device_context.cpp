#include "platform/device_context.h"

#include <algorithm>
#include <cstring>

TMemoryDC::TMemoryDC(int32_t Width, int32_t Height)
{
    if (Width <= 0 || Height <= 0)
        return; // an empty surface: every blit misses it
    FWidth = Width;
    FHeight = Height;
    FRowBytes = static_cast<ptrdiff_t>(Width) * 3;
    FOwned.assign(static_cast<size_t>(FRowBytes) * static_cast<size_t>(Height), 0);
    FBits = FOwned.data();
}

TMemoryDC::TMemoryDC(uint8_t* Bits, int32_t Width, int32_t Height, ptrdiff_t RowBytes)
{
    if (!Bits || Width <= 0 || Height <= 0 || RowBytes < static_cast<ptrdiff_t>(Width) * 3)
        return;
    FBits = Bits;
    FWidth = Width;
    FHeight = Height;
    FRowBytes = RowBytes;
}

uint8_t* TMemoryDC::PixelPtr(int32_t X, int32_t Y)
{
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
        return nullptr;
    return FBits + Y * FRowBytes + static_cast<ptrdiff_t>(X) * 3;
}

const uint8_t* TMemoryDC::PixelPtr(int32_t X, int32_t Y) const
{
    return const_cast<TMemoryDC*>(this)->PixelPtr(X, Y);
}

uint32_t TMemoryDC::Pixel(int32_t X, int32_t Y) const
{
    const uint8_t* P = PixelPtr(X, Y);
    if (!P)
        return 0;
    return uint32_t{P[2]} << 16 | uint32_t{P[1]} << 8 | P[0];
}

bool TMemoryDC::BitBlt(int32_t X, int32_t Y, int32_t Width, const uint8_t* Row, uint32_t Rop)
{
    if (Rop != SRCCOPY && Rop != SRCPAINT && Rop != SRCAND && Rop != SRCINVERT && Rop != NOTSRCCOPY)
        return false;
    if (Width < 0 || (!Row && Width > 0))
        return false;
    ++FBlitCount;

    // Visible span in 64 bits: X + Width may pass the int32 range.
    int64_t Left = std::max<int64_t>(X, 0);
    int64_t Right = std::min<int64_t>(int64_t{X} + Width, FWidth);
    int64_t Top = 0, Bottom = FHeight;
    if (FClip) {
        Left = std::max<int64_t>(Left, FClip->Left);
        Right = std::min<int64_t>(Right, FClip->Right);
        Top = FClip->Top;
        Bottom = FClip->Bottom;
    }
    if (Y < Top || Y >= Bottom || Y < 0 || Y >= FHeight || Left >= Right)
        return true;

    const uint8_t* S = Row + (Left - X) * 3;
    uint8_t* D = FBits + Y * FRowBytes + Left * 3;
    const size_t N = static_cast<size_t>(Right - Left) * 3;
    switch (Rop) {
    case SRCCOPY:
        std::memcpy(D, S, N);
        break;
    case SRCPAINT:
        for (size_t I = 0; I < N; ++I)
            D[I] |= S[I];
        break;
    case SRCAND:
        for (size_t I = 0; I < N; ++I)
            D[I] &= S[I];
        break;
    case SRCINVERT:
        for (size_t I = 0; I < N; ++I)
            D[I] ^= S[I];
        break;
    case NOTSRCCOPY:
        for (size_t I = 0; I < N; ++I)
            D[I] = static_cast<uint8_t>(~S[I]);
        break;
    }
    return true;
}
