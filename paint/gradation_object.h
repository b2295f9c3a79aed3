// The gradation value of the paint engine: the plain gradation record with
// stop editing and its comma text form, which paint-macro fill values, the
// gradation clipboard format and the gradation style library carry.
//
// Text form: four characters "0" + byte (shape, repetition, interpolation,
// fourth option byte), then with no comma the opacity, then "," repeat
// count, x1, y1, x2, y2, colour-stop count and {position, colour} pairs,
// transparency-stop count and {position, value} pairs, and the five colour
// adjustment numbers, all in decimal. Example:
//   0000255,1,0,8192,16384,8192,2,0,0,1023,16777215,0,0,0,100,0,100
// The colour tables come from MakeGradationTable of the record.
#pragma once

#include "foundation/tobject.h"
#include "raster/gradation_record.h"

#include <cstdint>
#include <string>

// The ranges the fill editor gives a gradation's fields. Every reader of a
// gradation from outside holds it to them: a paste beyond them is refused,
// a document's value is brought into them. The start and end points have
// none: turning an object turns them anywhere, and the renderer takes any.
inline constexpr uint8_t MaxGradShape = GradShapeSquare;
inline constexpr uint8_t MaxGradRepetition = GradRepeatWrap;
inline constexpr uint8_t MaxGradInterpolation = GradInterpSmooth;
inline constexpr uint8_t MaxGradOption = 9;            // written as one digit
inline constexpr int32_t MaxGradOpacity = 255;
inline constexpr int32_t MinGradRepeat = 1;
inline constexpr int32_t MaxGradRepeat = 100;
inline constexpr int32_t MaxGradHueShift = 360;        // either way, degrees
inline constexpr int32_t MaxGradOffset = 100;          // brightness, saturation; either way
inline constexpr int32_t MaxGradScale = 900;           // brightness, saturation; from 0 %
inline constexpr int32_t MaxGradStopColor = 0xFFFFFF;
inline constexpr int32_t MaxGradStopOpacity = 255;

// True when every field lies in its range and the stops are in position order.
bool GradationInEditorRange(const TrecGradation& G);
// Every field brought to the nearest value of its range (a stop's colour and
// opacity to the bytes the renderer reads of them), the stops put in
// position order; True when anything changed.
bool HoldGradationInEditorRange(TrecGradation& G);

class TGradationObject : public TObject, public TrecGradation {
public:
    std::string ClassName() const override { return "TGradationObject"; }

    // From the end, the last stop at or before Position: the same position
    // takes the new colour (value), otherwise the stop goes in after it (in
    // front when there is none), so the lists stay in position order.
    void SetColStop(int32_t Position, int32_t Color);
    void SetTransStop(int32_t Position, int32_t Value);
    // An index out of range is ignored.
    void DeleteColStop(int32_t Index);
    void DeleteTransStop(int32_t Index);
    // Removes the stop with exactly this position; True when there was one.
    bool DeleteColStopAt(int32_t Position);
    bool DeleteTransStopAt(int32_t Position);
    // By position; stops at one position keep no particular order.
    void SortColStops();
    void SortTransStops();
    // Both lists run the other way: reversed, each position p becoming 1023 - p.
    void Reverse();

    std::string GradationToStr() const;
    // False for an empty text, which changes nothing. A bad number raises
    // EConvertError; what was read before it keeps its new value, and a stop
    // list changes only when all its pairs were read. A stop count that is
    // negative or larger than the pairs that follow is a bad number. A text
    // that ends after the transparency stops gets the identity adjustment.
    bool StrToGradation(const std::string& Text);
};
