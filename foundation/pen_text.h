// The pen record carried by the pen clipboard format and the pen buttons, and
// its three-field text form "width,style,miter limit" (e.g. "-1,65280,-1.00"
// for the default record).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#pragma pack(push, 4)
struct TrecPenData {
    uint32_t Style;       // end cap in bits 8-11, join in bits 12-15
    int32_t Width;        // pixels
    uint32_t Reserved[5]; // carried unchanged
    double MiterLimit;
};
#pragma pack(pop)

static_assert(sizeof(TrecPenData) == 36);
static_assert(offsetof(TrecPenData, MiterLimit) == 28);

// The pen dialogs' ranges: a width up to 100 pixels, a miter limit up to 5,
// either of them -1 for "as it is" (0 where a palette's edit is empty), and
// the end caps and joins the dialogs offer: each 4-bit field round, square
// or flat (bevel, miter or round), or all ones for "as it is", with no other
// bit of the style word set. Pens from outside are held to them.
inline constexpr int32_t MaxPenWidth = 100;
inline constexpr double MaxPenMiterLimit = 5;
bool PenDataInRange(const TrecPenData& Pen);
// Pen brought into those ranges; True when a field changed. A width past
// them goes to the nearer end; a miter limit above 5 to 5, one below 0 or
// no number to 0, which the stroker draws as the 1 it drew before. A cap or
// join field the dialogs do not offer becomes the one the stroker drew for
// it (it reads the field's low two bits); the other style bits, which
// nothing reads, are cleared.
bool HoldPenData(TrecPenData& Pen);
// True when S is a pen text whose every field reads: empty (no pen), or
// width and style as integers and the miter limit as a finite real, three
// fields. A field that does not read takes its default in StrToPenData and
// would be written back as that default.
bool PenTextReads(const std::string& S);

// Parses pen text into a zero-filled record; a missing or unreadable field
// takes its default (-1, 65280, -1.0). True only when no field holds its
// default value.
bool StrToPenData(const std::string& S, TrecPenData& Pen);
// Takes over from the text only the width, the end-cap and join fields and
// the miter limit that it sets; defaults and all-ones fields leave Pen as is.
void MergePenDataStr(TrecPenData& Pen, const std::string& S);
// "Width,Style,MiterLimit" with two decimals, always with a "." point.
void PenDataToStr(const TrecPenData& Pen, std::string& S);
