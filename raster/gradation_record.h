// The plain gradation record read by the gradation renderers, and the table
// builders that turn it into per-position colour and opacity tables.
//
// Positions run over 1024 table entries (0 the start of the gradation, 1023
// its end); colours are 0x00BBGGRR. The paint engine's gradation object
// builds on this record with its text form and editing.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// Shapes (bShape).
inline constexpr uint8_t GradShapeLinear = 0;
inline constexpr uint8_t GradShapeAngle = 1;
inline constexpr uint8_t GradShapeEllipse = 2;
inline constexpr uint8_t GradShapeCircle = 3;
inline constexpr uint8_t GradShapeRectangle = 4;
inline constexpr uint8_t GradShapeSquare = 5;

// Repetition modes (bRepetition).
inline constexpr uint8_t GradRepeatOneWay = 0;
inline constexpr uint8_t GradRepeatReflect = 1;
inline constexpr uint8_t GradRepeatWrap = 2;

// Interpolations (bInterpolation).
inline constexpr uint8_t GradInterpLinear = 0;
inline constexpr uint8_t GradInterpSmooth = 1;

// Geometry points are in 1/GradGeometryUnit of the filled rectangle.
inline constexpr int32_t GradGeometryUnit = 16384;
inline constexpr int32_t GradationTableSize = 1024;

struct TrecGradColStop {
    int32_t iPosition = 0; // 0..1023
    int32_t Color = 0;     // 0x00BBGGRR
    friend bool operator==(const TrecGradColStop&, const TrecGradColStop&) = default;
};

struct TrecGradTransStop {
    int32_t iPosition = 0; // 0..1023
    int32_t iValue = 0;    // low byte: the opacity
    friend bool operator==(const TrecGradTransStop&, const TrecGradTransStop&) = default;
};

// Hue shift in degrees, offsets and scales in percent; the identity is
// {0, 0, 100, 0, 100}.
struct TrecColorAdjust {
    int32_t iHueShift = 0;
    int32_t iBrightOffset = 0;
    int32_t iBrightScale = 100;
    int32_t iSatOffset = 0;
    int32_t iSatScale = 100;
    friend bool operator==(const TrecColorAdjust&, const TrecColorAdjust&) = default;
};

// A new record: no stops, identity adjustment, every other field 0.
struct TrecGradation {
    uint8_t bShape = 0;         // GradShape*
    int32_t iOpacity = 0;       // overall opacity 0..255
    uint8_t bRepetition = 0;    // GradRepeat*
    int32_t iRepeatCount = 0;   // the editor offers 1..100
    uint8_t bInterpolation = 0; // GradInterp*
    uint8_t bOption = 0;        // fourth option byte, passed through
    int32_t iX1 = 0;            // start and end points in 1/16384 of the
    int32_t iY1 = 0;            // rectangle's width (x) and height (y)
    int32_t iX2 = 0;
    int32_t iY2 = 0;
    std::vector<TrecGradColStop> ColStops;     // in position order
    std::vector<TrecGradTransStop> TransStops; // in position order
    TrecColorAdjust Adjust;

    friend bool operator==(const TrecGradation&, const TrecGradation&) = default;
};

// One stop of the gradation along a path.
#pragma pack(push, 4)
struct TrecDrawPathStop {
    int32_t iPosition = 0;
    int32_t Color = 0;    // 0x00BBGGRR
    double dCurve = 1.0;  // below 1000: t^curve; else (1 - sqrt(1 - t^2))^(curve - 1000)
};
#pragma pack(pop)
static_assert(sizeof(TrecDrawPathStop) == 16);

using TGradationTable = std::array<uint8_t, GradationTableSize>;

// The colour moved in hue, brightness and saturation; the identity
// adjustment returns it unchanged.
int32_t AdjustColorHSB(int32_t Color, const TrecColorAdjust& Adjust);

// Red, green, blue and opacity per position. No colour stops: 255 in all three
// colour tables; no transparency stops: 255 in the opacity table. An unknown
// interpolation or repetition leaves the tables with more than one stop
// unchanged; smooth stops out of position order get straight lines. Reports
// no failure.
void MakeGradationTable(const TrecGradation& Gradation, TGradationTable& Red, TGradationTable& Green,
                        TGradationTable& Blue, TGradationTable& Opacity);

// Entry i of EntryCount evenly spaced entries from the first stop's position
// to the last's, as 0x00BBGGRR. Entry 0 and the last are the end stops'
// colours. StopCount must be at least 1.
int32_t DrawPathColorTableEntry(const TrecDrawPathStop* Stops, int32_t StopCount, int32_t Index,
                                int32_t EntryCount);
// Table[0 .. EntryCount - 1] := the entries above; nothing without stops or
// entries.
void MakeDrawPathColorTable(const TrecDrawPathStop* Stops, int32_t StopCount, int32_t* Table,
                            int32_t EntryCount);
