#include "paint/macro_param_range.h"

#include "foundation/pen_text.h"
#include "foundation/text_fields.h"
#include "paint/fill_value.h"
#include "paint/light_set.h"
#include "paint/macro_list.h"
#include "paint/paint_function_table.h"
#include "paint/paint_macro.h"
#include "foundation/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

// The range of a number parameter: the paint function's limits, or the
// first two fields of the caption's tag where they are numbers, never below
// what the function reads.
void NumberBounds(int32_t Kind, const void* Limits, const std::string& Tag, double& Min, double& Max)
{
    Min = -INFINITY;
    Max = INFINITY;
    if (Kind == pkInteger && Limits) {
        Min = static_cast<const TIntParamRange*>(Limits)->Min;
        Max = static_cast<const TIntParamRange*>(Limits)->Max;
    } else if (Kind == pkReal && Limits) {
        Min = static_cast<const TFloatParamRange*>(Limits)->Min;
        Max = static_cast<const TFloatParamRange*>(Limits)->Max;
    }
    const std::vector<std::string> F = Tag.empty() ? std::vector<std::string>() : SplitCommaFields(Tag);
    double* Bounds[2] = {&Min, &Max};
    for (size_t I = 0; I < 2 && I < F.size(); ++I) {
        const TRealArg B = ReadRealArg(F[I].c_str(), 0.0);
        if (B.Parsed && std::isfinite(B.Value))
            *Bounds[I] = Kind == pkInteger ? std::round(B.Value) : B.Value;
    }
    // A declared range may reach below what the function reads.
    TParamLimits Own;
    Own.None = Limits;
    Min = std::max(Min, ParamArgFloor(TPaintParamDesc{nullptr, Kind, Own}));
}

// The number a number parameter's text holds; nullopt when it holds none.
std::optional<double> NumberOf(int32_t Kind, const std::string& Value)
{
    const TRealArg A = ReadRealArg(Value.c_str(), 0.0);
    if (!A.Parsed || !std::isfinite(A.Value) || (Kind == pkInteger && !ReadIntArg(Value.c_str(), 0).Parsed))
        return std::nullopt;
    return A.Value;
}

bool InNumberRange(int32_t Kind, const void* Limits, const std::string& Tag, const std::string& Value)
{
    const std::optional<double> V = NumberOf(Kind, Value);
    if (!V)
        return false;
    double Min, Max;
    NumberBounds(Kind, Limits, Tag, Min, Max);
    return *V >= Min && *V <= Max;
}

bool InChoices(const void* Limits, const std::string& Tag, const std::string& Value)
{
    if (!Tag.empty()) {
        for (const std::string& C : SplitCommaFields(Tag))
            if (C == Value)
                return true;
        return false;
    }
    const auto* Choices = static_cast<const char* const*>(Limits);
    if (!Choices)
        return true;
    for (int I = 0; Choices[I]; ++I)
        if (Value == Choices[I])
            return true;
    return false;
}

// The fill editor's ranges: a colour of 24 bits, a gradation's fields as
// GradationInEditorRange holds them, a picture fill within
// MaxFillPictExtent pixels that turns at most a full turn either way.
constexpr double MaxFillPictAngle = 360;

bool PictParamInRange(const TFillPictParam& P)
{
    const auto Within = [](int32_t V, int32_t Low) { return V >= Low && V <= MaxFillPictExtent; };
    return Within(P.iOffsetX, -MaxFillPictExtent) && Within(P.iOffsetY, -MaxFillPictExtent) && Within(P.iWidth, 0) &&
           Within(P.iHeight, 0) && std::isfinite(P.dAngle) && std::fabs(P.dAngle) <= MaxFillPictAngle;
}

bool HoldPictParam(TFillPictParam& P)
{
    const TFillPictParam Was = P;
    P.iOffsetX = ClampedValue(P.iOffsetX, -MaxFillPictExtent, MaxFillPictExtent);
    P.iOffsetY = ClampedValue(P.iOffsetY, -MaxFillPictExtent, MaxFillPictExtent);
    P.iWidth = ClampedValue(P.iWidth, 0, MaxFillPictExtent);
    P.iHeight = ClampedValue(P.iHeight, 0, MaxFillPictExtent);
    P.dAngle = std::isnan(P.dAngle) ? 0.0 : ClampedValue(P.dAngle, -MaxFillPictAngle, MaxFillPictAngle);
    return !(P == Was);
}

bool FillValueInRange(const std::string& Value)
{
    TFillValue Fill;
    if (!StrToFillValue(Value, Fill))
        return false;
    // The reader takes the kind alone of these; anything after it is a
    // value of no kind the fill editor knows, not one to paint as none.
    if ((Fill.Method == FillMethodNone || Fill.Method == FillMethodNoPaint) && Value.size() != 1)
        return false;
    if (Fill.Method == FillMethodColor)
        return Fill.Color >= 0 && Fill.Color <= 0xFFFFFF;
    if (Fill.Method == FillMethodGradation)
        return GradationInEditorRange(Fill.Gradation);
    if (Fill.Method == FillMethodPicture)
        return PictParamInRange(Fill.PictParam);
    return true;
}

// The fill value with its fields held to the editor's ranges; the value
// itself when it does not read or needs nothing.
std::string FillValueHeld(const std::string& Value)
{
    TFillValue Fill;
    if (!StrToFillValue(Value, Fill))
        return Value;
    bool Changed = false;
    if (Fill.Method == FillMethodColor && (Fill.Color < 0 || Fill.Color > 0xFFFFFF)) {
        // The colour as painted: its low three bytes.
        Fill.Color &= 0xFFFFFF;
        Changed = true;
    } else if (Fill.Method == FillMethodGradation) {
        Changed = HoldGradationInEditorRange(Fill.Gradation);
    } else if (Fill.Method == FillMethodPicture) {
        Changed = HoldPictParam(Fill.PictParam);
    }
    return Changed ? FillValueToStr(Fill) : Value;
}

bool LightsInRange(const std::string& Value)
{
    TLightsAmb Lights;
    return StrToLights(Lights, Value) && LightsInEditorRange(Lights);
}

std::string LightsHeld(const std::string& Value)
{
    TLightsAmb Lights;
    if (!StrToLights(Lights, Value) || !HoldLightsInEditorRange(Lights))
        return Value;
    return LightsToStr(Lights);
}

std::string NumberText(int32_t Kind, double V)
{
    return Kind == pkInteger ? std::to_string(static_cast<int64_t>(std::llround(V))) : FloatToStrShortest(V);
}

// Value held to the range ParamValueInDeclaredRange judges, where a nearest
// value exists.
std::string ParamValueHeld(int32_t Kind, const void* Limits, const std::string& Caption, const std::string& Value)
{
    try {
        switch (Kind) {
        case pkInteger:
        case pkReal: {
            const std::optional<double> V = NumberOf(Kind, Value);
            if (!V)
                return Value;
            double Min, Max;
            NumberBounds(Kind, Limits, CaptionRangeTag(Caption), Min, Max);
            return *V < Min ? NumberText(Kind, Min) : *V > Max ? NumberText(Kind, Max) : Value;
        }
        case pkColor: {
            const TIntArg C = ReadIntArg(Value.c_str(), 0);
            return C.Parsed && (C.Value < 0 || C.Value > 0xFFFFFF) ? std::to_string(C.Value & 0xFFFFFF) : Value;
        }
        case pkLights:
            return LightsHeld(Value);
        case pkLineType: {
            TrecPenData Pen{};
            StrToPenData(Value, Pen);
            if (!HoldPenData(Pen))
                return Value;
            std::string Held;
            PenDataToStr(Pen, Held);
            return Held;
        }
        case pkFill:
        case pkPlaneFill:
            return FillValueHeld(Value);
        default:
            return Value;
        }
    } catch (const std::exception&) {
        return Value;
    }
}

// The paint function's description of parameter Param of line Line of
// Macro and the caption that declares its range; nil where the value is
// not judged (no user caption, a function the table lacks).
const TPaintParamDesc* JudgedParam(const TMacro& Macro, int32_t Line, size_t Param, std::string& Caption)
{
    Caption = Macro.Line(Line).Params[Param].Caption.value_or(std::string());
    // The library's caption declares the range where the library holds the
    // macro; an object's copy may have come from an older file.
    const TMacro* Definition = TMacro::FindInLibrary(Macro.Name());
    if (Definition && Line < Definition->LineCount() && Param < Definition->Line(Line).Params.size())
        Caption = Definition->Line(Line).Params[Param].Caption.value_or(std::string());
    if (Caption.empty() || Caption[0] == '*')
        return nullptr;
    const TPaintFunctionRec* Table = PaintFunctionTable();
    const int32_t Pos = FindPaintFunction(Table, Macro.Line(Line).FunctionName);
    if (Pos < 0 || int32_t(Param) >= Table[Pos].ParamCount)
        return nullptr;
    return &Table[Pos].Params[Param];
}

} // namespace

bool ParamValueInDeclaredRange(int32_t Kind, const void* Limits, const std::string& Caption,
                               const std::string& Value)
{
    const std::string Tag = CaptionRangeTag(Caption);
    switch (Kind) {
    case pkInteger:
    case pkReal:
        return InNumberRange(Kind, Limits, Tag, Value);
    case pkChoice:
        return InChoices(Limits, Tag, Value);
    case pkColor: {
        // A colour is 0x00BBGGRR in decimal.
        const TIntArg C = ReadIntArg(Value.c_str(), 0);
        return C.Parsed && C.Value >= 0 && C.Value <= 0xFFFFFF;
    }
    case pkLights:
        try {
            return LightsInRange(Value);
        } catch (const std::exception&) {
            return false;
        }
    case pkFill:
    case pkPlaneFill:
        try {
            return FillValueInRange(Value);
        } catch (const std::exception&) {
            return false;
        }
    case pkLineType: {
        TrecPenData Pen{};
        StrToPenData(Value, Pen);
        return PenDataInRange(Pen);
    }
    default:
        return true;
    }
}

bool MacroValuesInDeclaredRange(const TMacro& Macro, std::string* BadCaption)
{
    const TMacro* Found = TMacro::FindInLibrary(Macro.Name());
    if (!Found || Found->LineCount() != Macro.LineCount())
        return false;
    const TMacro& Definition = *Found;
    const TPaintFunctionRec* Table = PaintFunctionTable();
    for (int32_t L = 0; L < Definition.LineCount(); ++L) {
        const TMacroLine& Def = Definition.Line(L);
        const TMacroLine& Own = Macro.Line(L);
        if (Own.FunctionName != Def.FunctionName || Own.Params.size() != Def.Params.size())
            return false;
        const int32_t Pos = FindPaintFunction(Table, Def.FunctionName);
        for (size_t P = 0; P < Def.Params.size(); ++P) {
            const std::string Caption = Def.Params[P].Caption.value_or(std::string());
            const std::optional<std::string>& Value = Own.Params[P].Value;
            // Internal parameters keep the library's values: a caption read
            // from outside could otherwise reach them.
            if (Caption.empty() || Caption[0] == '*') {
                if (Value != Def.Params[P].Value) {
                    if (BadCaption)
                        BadCaption->clear();
                    return false;
                }
                continue;
            }
            // An unset value is a merged multi-selection's and reaches no
            // paint function.
            if (!Value || Pos < 0 || int32_t(P) >= Table[Pos].ParamCount)
                continue;
            const TPaintParamDesc& Desc = Table[Pos].Params[P];
            if (!ParamValueInDeclaredRange(Desc.Kind, Desc.Limits.None, Caption, *Value)) {
                if (BadCaption)
                    *BadCaption = Caption.substr(0, Caption.find('|'));
                return false;
            }
        }
    }
    return true;
}

double MacroParamFloor(const TMacro& Macro, const std::string& Caption)
{
    const std::string Shown = Caption.substr(0, Caption.find('|'));
    const TPaintFunctionRec* Table = PaintFunctionTable();
    double Floor = -INFINITY;
    for (int32_t L = 0; L < Macro.LineCount(); ++L) {
        const TMacroLine& Line = Macro.Line(L);
        const int32_t Pos = FindPaintFunction(Table, Line.FunctionName);
        for (size_t P = 0; Pos >= 0 && P < Line.Params.size() && int32_t(P) < Table[Pos].ParamCount; ++P) {
            const std::string Own = Line.Params[P].Caption.value_or(std::string());
            const int32_t Kind = Table[Pos].Params[P].Kind;
            if (MatchParamCaption(Own, Shown) && (Kind == pkInteger || Kind == pkReal))
                Floor = std::max(Floor, ParamArgFloor(Table[Pos].Params[P]));
        }
    }
    return Floor;
}

bool MacroParamValueAccepted(const TMacro& Macro, int32_t Line, size_t Param, const std::string& Value)
{
    if (Line < 0 || Line >= Macro.LineCount() || Param >= Macro.Line(Line).Params.size())
        return false;
    std::string Caption;
    const TPaintParamDesc* Desc = JudgedParam(Macro, Line, Param, Caption);
    return !Desc || ParamValueInDeclaredRange(Desc->Kind, Desc->Limits.None, Caption, Value);
}

std::string MacroParamValueHeld(const TMacro& Macro, int32_t Line, size_t Param, const std::string& Value)
{
    if (Line < 0 || Line >= Macro.LineCount() || Param >= Macro.Line(Line).Params.size())
        return Value;
    std::string Caption;
    const TPaintParamDesc* Desc = JudgedParam(Macro, Line, Param, Caption);
    return Desc ? ParamValueHeld(Desc->Kind, Desc->Limits.None, Caption, Value) : Value;
}

bool MacrosValuesAccepted(const TMacros& Macros)
{
    for (int32_t M = 0; M < Macros.Count(); ++M) {
        const TMacro& Macro = *Macros.GetMacro(M);
        for (int32_t L = 0; L < Macro.LineCount(); ++L) {
            const auto& Params = Macro.Line(L).Params;
            for (size_t P = 0; P < Params.size(); ++P)
                if (Params[P].Value && !MacroParamValueAccepted(Macro, L, P, *Params[P].Value))
                    return false;
        }
    }
    return true;
}

bool HoldMacrosValues(TMacros& Macros)
{
    bool Changed = false;
    for (int32_t M = 0; M < Macros.Count(); ++M) {
        TMacro& Macro = *Macros.GetMacro(M);
        for (int32_t L = 0; L < Macro.LineCount(); ++L)
            for (size_t P = 0; P < Macro.Line(L).Params.size(); ++P) {
                const std::optional<std::string>& Value = Macro.Line(L).Params[P].Value;
                if (!Value)
                    continue;
                const std::string Held = MacroParamValueHeld(Macro, L, P, *Value);
                if (Held != *Value) {
                    Macro.SetLineParamValue(L, int32_t(P), Held);
                    Changed = true;
                }
            }
    }
    return Changed;
}

bool MacroCaptionValueAccepted(const TMacro& Macro, const std::string& Caption, const std::string& Value)
{
    const std::string Shown = Caption.substr(0, Caption.find('|'));
    for (int32_t L = 0; L < Macro.LineCount(); ++L) {
        const TMacroLine& Line = Macro.Line(L);
        for (size_t P = 0; P < Line.Params.size(); ++P) {
            const std::string Own = Line.Params[P].Caption.value_or(std::string());
            if (MatchParamCaption(Own, Shown) && !MacroParamValueAccepted(Macro, L, P, Value))
                return false;
        }
    }
    return true;
}

std::vector<std::string> SplitCommaFields(const std::string& Text)
{
    std::vector<std::string> Fields;
    size_t Start = 0;
    for (;;) {
        const size_t Comma = Text.find(',', Start);
        Fields.push_back(Text.substr(Start, Comma == std::string::npos ? std::string::npos : Comma - Start));
        if (Comma == std::string::npos)
            return Fields;
        Start = Comma + 1;
    }
}

std::string CaptionRangeTag(const std::string& Caption)
{
    const size_t Bar = Caption.find('|');
    if (Bar == std::string::npos)
        return {};
    std::string Tag = Caption.substr(Bar + 1);
    return Tag.find(',') == std::string::npos ? std::string() : Tag;
}
