// The values a paint macro's parameters may take, as its library definition
// declares them: the range a caption's tag gives ("caption|min,max,...") or
// else the paint function's own limits, and the choice texts. Readers of
// macros from outside check them here (the clipboard refuses, files are held
// to them), so that a value no editor could set never reaches the paint
// functions.
#pragma once

#include <cstdint>
#include <optional>
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
// what the paint function reads (a kind integer or real), one of its choices
// (a choice), a colour 0 to 0xFFFFFF, a light set that reads whole, a pen
// text whose every field reads and that the pen dialogs could make (a line
// type), or a fill that reads whole within the fill editor's ranges;
// reflection sets are not judged here and pass. Caption is the library's
// caption of the parameter; Kind and Limits come from the paint function's
// table entry.
bool ParamValueInDeclaredRange(int32_t Kind, const void* Limits, const std::string& Caption,
                               const std::string& Value);

// Value brought into the range ParamValueInDeclaredRange judges: a number to
// its range's nearer end, a colour to its low three bytes, the fields of a
// fill, a light set or a pen to the editors' ranges (a pen written whole, as
// drawn). A value with no nearest one - a text that reads as no number
// ("nan", "inf", an integer beyond 32 bits, a real beyond a double), a
// choice no list holds, a fill or light set that does not read - becomes
// Default (the library's value of the parameter), or where that is none the
// parameter takes either, the parameter's own: the number nearest 0 in its
// range, the first choice, black, no fill, a light set without lights.
std::string ParamValueHeld(int32_t Kind, const void* Limits, const std::string& Caption, const std::string& Value,
                           const std::optional<std::string>& Default);

// The lowest number that every paint function taking a parameter captioned
// Caption (its display part) in Macro accepts: -999, or lower where each
// function's own minimum is. The number edits start there.
double MacroParamFloor(const TMacro& Macro, const std::string& Caption);

// True when Value may stand as parameter Param of line Line of Macro: what
// the paint function reads, within the range the library's caption of the
// parameter declares, or the function's own limits. Every value the
// function reads is judged, internal ones too: a macro with lines of its own
// (older files carry them) brought them from the file. A macro with such
// lines takes the range of the library's parameter of the same caption where
// the library holds the macro by name. This is the check of every value set
// into a macro of the model; object arguments and lines of a function the
// table lacks are not judged here.
bool MacroParamValueAccepted(const TMacro& Macro, int32_t Line, size_t Param, const std::string& Value);

// Value brought to a value MacroParamValueAccepted takes (ParamValueHeld): its
// nearest one, else the library's value of that parameter, else the
// parameter's own default. Value itself when it is taken.
std::string MacroParamValueHeld(const TMacro& Macro, int32_t Line, size_t Param, const std::string& Value);

// MacroParamValueAccepted for every set value of every macro of Macros.
// Refused (when given) := the display caption of the first value refused, or
// its macro's name where the parameter has no user caption.
bool MacrosValuesAccepted(const TMacros& Macros, std::string* Refused = nullptr);
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
