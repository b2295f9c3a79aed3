// The rulers of the document window: the tick step for a zoom, resolution
// and ruler unit, the ticks and labels along a ruler, their painting with
// the digit strips, and the pictures of the ruler head.
//
// Ruler units (the page's ruler-unit byte): 0 pixel, 1 centimetre, 2 inch,
// 3 point; any other value counts as pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class QPainter;
class QPixmap;

constexpr uint8_t RulerUnitPixel = 0;
constexpr uint8_t RulerUnitCm = 1;
constexpr uint8_t RulerUnitInch = 2;
constexpr uint8_t RulerUnitPoint = 3;

// The ruler thickness and the head's size, in pixels.
constexpr int32_t RulerThickness = 16;

struct TRulerStep {
    // The labelled step s in ruler units.
    double UnitStep = 0.0;
    // s in page pixels.
    double PixelStep = 0.0;
    // 1, 2 or 5: which multiples of s get long and medium ticks. 0: the
    // ruler has no ticks (a unit of length on a page without a resolution).
    int32_t Kind = 0;
};

// The tick step at Zoom percent: b = 2000 / Zoom page pixels (20 view
// pixels) in ruler units, s the power of ten below b times 1, 2 or 5 by the
// mantissa of log10 b. Units of length need a resolution of at least 1 dpi;
// below that the ruler gets no ticks.
TRulerStep GetRulerStep(int32_t Zoom, int32_t DPI, uint8_t Unit);

// Page pixels in ruler units, and back.
double PixelsToRulerUnits(double Pixels, int32_t DPI, uint8_t Unit);

enum class TTickLength : uint8_t { Long, Medium, Short };

struct TRulerTick {
    int32_t Pos;         // view pixels along the ruler
    TTickLength Length;
    std::string Label;   // "" for ticks without a label
};

// The view mapping along one axis at Zoom percent with the page coordinate
// Origin at view pixel 0: ((Doc - Origin) x Zoom + 50) div 100, and back
// (View x 100 + Zoom div 2) div Zoom + Origin (division towards zero).
int32_t DocToViewCoord(int32_t Doc, int32_t Origin, int32_t Zoom);
int32_t ViewToDocCoord(int32_t View, int32_t Origin, int32_t Zoom);

// The ticks of a ruler whose view starts at page coordinate Origin and is
// Extent view pixels long.
std::vector<TRulerTick> RulerTicks(int32_t Origin, int32_t Extent, int32_t Zoom, int32_t DPI,
                                   uint8_t Unit);

// A label value rounded to 4 decimal places in its shortest decimal form
// ("5", "2.5", "-0.25").
std::string RulerLabel(double Value);

// Paints a ruler of Length pixels: white, the ticks with their labels, the
// line along the inner edge, and the XOR mouse-position line at CursorPos
// (-1: none). Horizontal ticks run down from y 1, 6 or 11 to y 15; the
// vertical ruler is the same with x and y exchanged.
void PaintRuler(QPainter& DC, bool Horizontal, int32_t Length, const std::vector<TRulerTick>& Ticks,
                int32_t CursorPos);

// Resource name of the head picture of a unit: "RHPIXEL", "RHCM", "RHINCH",
// "RHPOINT".
const char* RulerHeadName(uint8_t Unit);
// The head picture (16 x 16) of a unit from the resources.
QPixmap RulerHeadPixmap(uint8_t Unit);

// Image index of a label character in the digit strips: "0"-"9" 0 to 9,
// "-" 10, "." 11, anything else 0.
int32_t RulerDigitIndex(char C);
// Width of one character of a label along the ruler.
constexpr int32_t RulerDigitAdvance = 7;
