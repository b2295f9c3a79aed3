// The values a paint macro's user parameters may take, as its library
// definition declares them: the range a caption's tag gives ("caption|min,
// max,...") or else the paint function's own limits, and the choice texts.
// Readers of macros from outside (the clipboard) check them here, so that a
// value no editor could set never reaches the paint functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TMacro;
class TMacros;

// The tag of a parameter caption when it declares a range or choices: the
// text after "|" when it holds a comma, else empty.
std::string CaptionRangeTag(const std::string& Caption);
// The comma-separated fields of a range tag or value (an empty text is one
// empty field).
std::vector<std::string> SplitCommaFields(const std::string& Text);

// True when Value is a number within the parameter's range and not below
// what the paint function reads (a kind integer or real), one of its choices (a choice), a colour 0 to 0xFFFFFF,
// a light set that reads whole, a pen the pen dialogs could make (a line
// type), or a fill that reads whole within the fill editor's ranges;
// reflection sets are not judged here and pass. Caption is the library's caption of the
// parameter; Kind and Limits come from the paint function's table entry.
bool ParamValueInDeclaredRange(int32_t Kind, const void* Limits, const std::string& Caption,
                               const std::string& Value);

// The lowest number that every paint function taking a parameter captioned
// Caption (its display part) in Macro accepts: -999, or lower where each
// function's own minimum is. The number edits start there.
double MacroParamFloor(const TMacro& Macro, const std::string& Caption);

// True when Value may stand as parameter Param of line Line of Macro: the
// range its library caption declares (or the paint function's limits), and
// what the paint function reads. This is the check of every value set into
// a macro of the model; parameters of no user caption and functions the
// table lacks are not judged here.
bool MacroParamValueAccepted(const TMacro& Macro, int32_t Line, size_t Param, const std::string& Value);

// Value brought to the nearest value MacroParamValueAccepted takes, where
// one exists: a number to its range's nearer end, a colour to its low three
// bytes, the fields of a fill, a light set or a pen to the editors' ranges
// (HoldPenData). Value
// itself when it is taken or has no nearest value (a text that does not
// read, a choice no list holds).
std::string MacroParamValueHeld(const TMacro& Macro, int32_t Line, size_t Param, const std::string& Value);

// MacroParamValueAccepted for every set value of every macro of Macros.
bool MacrosValuesAccepted(const TMacros& Macros);
// Every set value of Macros := MacroParamValueHeld of it; True when one
// changed.
bool HoldMacrosValues(TMacros& Macros);

// MacroParamValueAccepted for every parameter of Macro captioned Caption
// (its display part): what setting Value by caption would have to pass.
bool MacroCaptionValueAccepted(const TMacro& Macro, const std::string& Caption, const std::string& Value);

// True when a library holds Macro's name with the same lines and every set
// value of Macro's user parameters lies in its declared range. BadCaption
// (when given) := the display caption of the first value refused.
bool MacroValuesInDeclaredRange(const TMacro& Macro, std::string* BadCaption = nullptr);
