// Device contexts without a window system: what the picture transfer needs to
// put rows of 24-bit pixels onto a surface. TMemoryDC draws into a 24-bit BGR
// buffer (top-down rows); the windows add a Qt-backed context later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Raster operations (source S, destination D).
constexpr uint32_t SRCCOPY = 0x00CC0020;    // S
constexpr uint32_t SRCPAINT = 0x00EE0086;   // S or D
constexpr uint32_t SRCAND = 0x008800C6;     // S and D
constexpr uint32_t SRCINVERT = 0x00660046;  // S xor D
constexpr uint32_t NOTSRCCOPY = 0x00330008; // not S

// Clip rectangle of a device context: Left, Top inclusive, Right, Bottom exclusive.
struct TDCClip {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
};

class TDeviceContext {
public:
    virtual ~TDeviceContext() = default;

    // Puts Width pixels of Row (blue, green, red bytes) at (X, Y), combined
    // with what is there by Rop; pixels outside the surface or the clip are
    // left alone. False for an unknown raster operation or a bad argument.
    virtual bool BitBlt(int32_t X, int32_t Y, int32_t Width, const uint8_t* Row, uint32_t Rop) = 0;

    // Limits later drawing to Clip (intersected with the surface); nullopt
    // removes the limit.
    void SetClip(const std::optional<TDCClip>& Clip) { FClip = Clip; }
    const std::optional<TDCClip>& Clip() const { return FClip; }

    // Number of BitBlt calls that were accepted.
    int64_t BlitCount() const { return FBlitCount; }

protected:
    std::optional<TDCClip> FClip;
    int64_t FBlitCount = 0;
};

// A surface of Width x Height 24-bit pixels, rows top-down, RowBytes apart.
// It owns its buffer, or draws into a caller's buffer that outlives it.
class TMemoryDC : public TDeviceContext {
public:
    TMemoryDC(int32_t Width, int32_t Height); // zero-filled (black)
    TMemoryDC(uint8_t* Bits, int32_t Width, int32_t Height, ptrdiff_t RowBytes);

    bool BitBlt(int32_t X, int32_t Y, int32_t Width, const uint8_t* Row, uint32_t Rop) override;

    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    ptrdiff_t RowBytes() const { return FRowBytes; }
    uint8_t* Bits() { return FBits; }
    const uint8_t* Bits() const { return FBits; }
    // First byte (blue) of pixel (X, Y); nullptr outside.
    uint8_t* PixelPtr(int32_t X, int32_t Y);
    const uint8_t* PixelPtr(int32_t X, int32_t Y) const;
    // The pixel as 0xRRGGBB; 0 outside.
    uint32_t Pixel(int32_t X, int32_t Y) const;

private:
    std::vector<uint8_t> FOwned;
    uint8_t* FBits = nullptr;
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    ptrdiff_t FRowBytes = 0;
};
