// The surface the XOR drag outlines of draw items are drawn on; the document
// window implements it.
#pragma once

#include <cstdint>

struct TrecPath;

constexpr int32_t R2_XORPEN = 7;
constexpr int32_t R2_COPYPEN = 13;

class TDragFrameDC {
public:
    virtual ~TDragFrameDC() = default;
    virtual int32_t GetROP2() const = 0;
    // Returns the previous raster operation.
    virtual int32_t SetROP2(int32_t Mode) = 0;
    // A solid pen of width 0 in Colour (0x00BBGGRR) for the drawing that
    // follows, until RestorePen.
    virtual void SelectSolidPen(int32_t Colour) = 0;
    virtual void RestorePen() = 0;
    // Draws the point path with the current pen.
    virtual void PolyDrawPath(const TrecPath& Path) = 0;
};
