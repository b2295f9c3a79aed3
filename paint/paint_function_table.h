// The table of the 53 built-in paint functions: their names, result kinds and
// parameter descriptors. Paint macros name the functions, the interpreter looks
// them up and binds their arguments, and the quick-parameter grid builds its
// editors from the descriptors. Every name, display name and choice text is the
// vocabulary of the macro library files and stored parameter values, so none
// may change. Texts are UTF-8 here; stored forms convert them to CP932.
//
// The descriptors are static data; the run-time table takes each function's
// entry point from paint_function_entries.h when it is made.
#pragma once

#include "foundation/geometry_types.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

// Parameter kinds.
constexpr int32_t pkUnused = 0;     // only Dummy's; nothing is read
constexpr int32_t pkInteger = 1;    // value text, converted by the function
constexpr int32_t pkReal = 4;       // value text, a floating-point number
constexpr int32_t pkChoice = 5;     // value text, one of the choice texts
constexpr int32_t pkPath = 8;       // object: a path record (TrecPath) or nil
constexpr int32_t pkPlane = 9;      // object: an 8-bit picture record or nil
constexpr int32_t pkPicture = 10;   // object: a 24-bit picture record or nil
constexpr int32_t pkColor = 11;     // value text: decimal 0x00BBGGRR
constexpr int32_t pkFill = 12;      // value text: fill method of a picture
constexpr int32_t pkPlaneFill = 13; // value text: fill method of a plane
constexpr int32_t pkReflection = 14; // value text: fill-picture parameter set
constexpr int32_t pkLights = 15;    // value text: light set
constexpr int32_t pkLineType = 18;  // value text: pen (three comma-separated fields)

// An object parameter (a path, plane or picture the lines pass on).
constexpr bool IsObjectKind(int32_t Kind)
{
    return Kind == pkPath || Kind == pkPlane || Kind == pkPicture;
}
constexpr bool IsNumberKind(int32_t Kind)
{
    return Kind == pkInteger || Kind == pkReal;
}

// A caption is "<shown text>|<range tag>"; one starting with '*' names an
// internal value the user never sets.
inline std::string DisplayPart(const std::string& Caption)
{
    return Caption.substr(0, Caption.find('|'));
}
inline bool IsUserCaption(const std::string& Caption)
{
    return !Caption.empty() && Caption[0] != '*';
}

// Result kinds.
constexpr int32_t rkNone = 0;
constexpr int32_t rkPath = pkPath;
constexpr int32_t rkPlane = pkPlane;
constexpr int32_t rkPicture = pkPicture;

// Limits of an integer parameter. A track-bar range of 0..0 means Min..Max.
struct TIntParamRange {
    int32_t Min;
    int32_t Max;
    int32_t TrackBarMin;
    int32_t TrackBarMax;
    uint8_t TrackBarStyle;
};

// Limits of a real parameter. A track-bar range of 0..0 means Min..Max.
struct TFloatParamRange {
    double Min;
    double Max;
    double TrackBarMin;
    double TrackBarMax;
    double Precision;
    double LineSize;
    double PageSize;
    uint8_t TrackBarStyle;
};

// The limits of a parameter; which member is meant follows from its kind:
// Int for pkInteger, Real for pkReal, Choices (a nil-terminated list) for
// pkChoice. Other kinds have none.
union TParamLimits {
    const void* None = nullptr;
    const TIntParamRange* Int;
    const TFloatParamRange* Real;
    const char* const* Choices;
};

struct TPaintParamDesc {
    const char* Name; // display name, spaces significant
    int32_t Kind;
    TParamLimits Limits;
};

// A set of argument positions, 256 bits: bit i stands for argument i (0-based).
struct TArgSet {
    uint64_t Bits[4] = {};

    constexpr bool Contains(int32_t I) const
    {
        return I >= 0 && I < 256 && ((Bits[I / 64] >> (I % 64)) & 1u) != 0;
    }
};

// The set of the given argument numbers, 1-based as the table lists them.
constexpr TArgSet ArgNumbers(std::initializer_list<int32_t> Numbers)
{
    TArgSet S;
    for (int32_t N : Numbers)
        if (N >= 1 && N <= 256)
            S.Bits[(N - 1) / 64] |= uint64_t{1} << ((N - 1) % 64);
    return S;
}

// Entry point of a paint function; the result is the error code.
//   Result     the new path, plane or picture (functions with a result kind),
//              set to nil first; stays nil for the others.
//   Args       one pointer per parameter in order (object kinds: the record or
//              nil; other kinds: the zero-terminated value text or nil), then
//              the document's picture store (TListRecPict) or nil.
//   Abort      the caller's abort byte, or nil.
//   Rect1/2    the page areas the call affected; empty is (-1, -1, -2, -2).
//   MeasureOnly: compute the rectangles, allocate results without pixels,
//              paint nothing.
using TPaintFunctionEntry = int32_t (*)(void*& Result, void* const* Args, const uint8_t* Abort,
                                        TRect& Rect1, TRect& Rect2, bool MeasureOnly);

struct TPaintFunctionRec {
    const char* Name; // case-sensitive; nil only in the terminator
    int32_t ResultKind;
    int32_t ParamCount;
    const TPaintParamDesc* Params;
    TPaintFunctionEntry Entry;
    TArgSet Required; // arguments that must not be nil (the last may be the picture store)
};

constexpr int32_t cPaintFunctionCount = 53;

// Error codes of the paint functions besides 0 and the 1-based position of a
// missing required argument.
constexpr int32_t cPaintErrorOutOfMemory = 0x80000;
// The code by which a function refuses the value of argument Number (1-based).
constexpr int32_t PaintArgRefused(int32_t Number) { return 0x10000 + Number; }

// A fresh block of plain global memory holding the 53 entries and a
// terminator whose name is nil; nil when the allocation fails. The caller
// frees it with GlobalFree.
TPaintFunctionRec* MakePaintFunctionTable();

// The program's table, made at start-up (or at an earlier first use) and freed
// at exit; nil when it could not be allocated.
const TPaintFunctionRec* PaintFunctionTable();

// Position of the first entry named exactly Name, or -1 (also for an empty
// name, and for any name when Table is nil). A name held twice is found at
// its first position.
int32_t FindPaintFunction(const TPaintFunctionRec* Table, std::string_view Name);
int32_t FindPaintFunction(std::string_view Name);

// Position of Text in a nil-terminated choice list (exact comparison); 0 when
// Text or the list is nil or the text is not in it.
int32_t IndexOfChoice(const char* Text, const char* const* Choices);

// 0 when every argument in Set is present, else i + 1 for the lowest i in Set
// whose argument is nil; an argument beyond Args counts as nil.
int32_t CheckRequiredArgs(const TArgSet& Set, std::span<void* const> Args);

// A number read from an argument's value text. Parsed is false when the text
// is nil, empty or not a number, and Value then holds the caller's default:
// a failed read is a flag of its own, never a value, so that every number of
// a parameter's range stays usable.
struct TIntArg {
    int32_t Value;
    bool Parsed;
};
struct TRealArg {
    double Value;
    bool Parsed;
};
TIntArg ReadIntArg(const char* Text, int32_t Default);
TRealArg ReadRealArg(const char* Text, double Default);

// The lowest value a function accepts for a numeric parameter: -999, or the
// parameter's own minimum where that lies lower (positions and margins reach
// -99999).
double ParamArgFloor(const TPaintParamDesc& Desc);

// 0 when the argument was read and is not below Floor, else the refusal code
// of argument Number (1-based).
int32_t CheckNumberArg(bool Parsed, double Value, double Floor, int32_t Number);
