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

// The number a number parameter's text holds, as the paint function reads
// it; nullopt when it holds none (an integer beyond 32 bits, a real beyond a
// double's reach, "nan", "inf" and any text that is no number).
std::optional<double> NumberOf(int32_t Kind, const std::string& Value)
{
    if (Kind == pkInteger) {
        const TIntArg I = ReadIntArg(Value.c_str(), 0);
        return I.Parsed ? std::optional<double>(I.Value) : std::nullopt;
    }
    const TRealArg A = ReadRealArg(Value.c_str(), 0.0);
    if (!A.Parsed || !std::isfinite(A.Value))
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

// The picture-fill text of a fill value of method 4.
std::string PictText(const std::string& Value)
{
    return Value.size() > 2 ? Value.substr(2) : std::string();
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
        return PictParamInRange(Fill.PictParam) && FillPictOptionsAsStored(PictText(Value));
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
        // The option bytes were held as they were read.
        Changed = HoldPictParam(Fill.PictParam) || !FillPictOptionsAsStored(PictText(Value));
    }
    return Changed ? FillValueToStr(Fill) : Value;
}

// A reflection picture as its editor offers it: none ("5" as the editor
// writes it, "0" as a fill's none, or left empty: no mirror image), or a
// picture fill within the fill editor's ranges; a colour or a gradation is
// no picture to mirror.
bool ReflectionValueInRange(const std::string& Value)
{
    if (Value.empty())
        return true;
    TFillValue Fill;
    if (!StrToFillValue(Value, Fill))
        return false;
    if (Fill.Method == FillMethodNone || Fill.Method == FillMethodNoPaint)
        return Value.size() == 1;
    return Fill.Method == FillMethodPicture && FillValueInRange(Value);
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

// Value brought to the range ParamValueInDeclaredRange judges, where a
// nearest value exists; Value itself where none does.
std::string NearestValue(int32_t Kind, const void* Limits, const std::string& Caption, const std::string& Value)
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
            // Every pen text reads, a field that does not taking its
            // default: the pen as drawn, written whole.
            TrecPenData Pen{};
            StrToPenData(Value, Pen);
            if (!HoldPenData(Pen) && PenTextReads(Value))
                return Value;
            std::string Held;
            PenDataToStr(Pen, Held);
            return Held;
        }
        case pkFill:
        case pkPlaneFill:
            return FillValueHeld(Value);
        case pkReflection:
            return !Value.empty() && Value[0] == FillMethodPicture ? FillValueHeld(Value) : Value;
        default:
            return Value;
        }
    } catch (const std::exception&) {
        return Value;
    }
}

// The value a parameter takes when neither its text nor its library
// declares one it takes: a number the nearest to 0 in its range, the first
// choice, black, no fill, a light set without lights.
std::string OwnDefault(int32_t Kind, const void* Limits, const std::string& Caption)
{
    switch (Kind) {
    case pkInteger:
    case pkReal: {
        double Min, Max;
        NumberBounds(Kind, Limits, CaptionRangeTag(Caption), Min, Max);
        return NumberText(Kind, Min > 0 ? Min : Max < 0 ? Max : 0.0);
    }
    case pkChoice: {
        const std::string Tag = CaptionRangeTag(Caption);
        if (!Tag.empty())
            return SplitCommaFields(Tag).front();
        const auto* Choices = static_cast<const char* const*>(Limits);
        return Choices && Choices[0] ? Choices[0] : std::string();
    }
    case pkColor:
        return "0";
    case pkFill:
    case pkPlaneFill:
        return std::string(1, FillMethodNone);
    case pkReflection:
        return std::string(1, FillMethodNoPaint);
    case pkLights: {
        TLightsAmb None;
        None.Sh = MinLightShininess;
        return LightsToStr(None);
    }
    default:
        return {};
    }
}





// The library macro whose lines Macro runs: the one of its name when it calls
// the same functions with as many parameters, line by line. Nil for a macro
// with lines of its own that differ or a name no
// library holds.
const TMacro* LibraryDefinition(const TMacro& Macro)
{
    const TMacro* Found = TMacro::FindInLibrary(Macro.Name());
    if (!Found || Found->LineCount() != Macro.LineCount())
        return nullptr;
    for (int32_t L = 0; L < Found->LineCount(); ++L) {
        const TMacroLine& Def = Found->Line(L);
        const TMacroLine& Own = Macro.Line(L);
        if (Def.FunctionName != Own.FunctionName || Def.Params.size() != Own.Params.size())
            return nullptr;
    }
    return Found;
}

// How one parameter's value is judged.
struct TJudge {
    const TPaintParamDesc* Desc = nullptr; // nil: not judged
    std::string Caption;                   // its tag declares the range or choices
    std::optional<std::string> Default;    // the library's value
};

// The judge of parameter Param of line Line of Macro, whose library
// definition (LibraryDefinition) is Definition. The paint function's kind
// and limits judge every value it reads, internal ones too; the library's
// caption declares the range and its value the default. A macro with lines
// of its own takes the range and default of the library's parameter of the
// same caption where the library holds the macro, and the function's limits
// otherwise: its own captions are not the library's. Object arguments, unused
// parameters and lines of a function the table lacks are not judged here.
TJudge JudgeOf(const TMacro& Macro, const TMacro* Definition, int32_t Line, size_t Param)
{
    const TMacroLine& Own = Macro.Line(Line);
    const TPaintFunctionRec* Table = PaintFunctionTable();
    const int32_t Pos = FindPaintFunction(Table, Own.FunctionName);
    if (Pos < 0 || !Table[Pos].Params || int32_t(Param) >= Table[Pos].ParamCount)
        return {};
    const TPaintParamDesc* Desc = &Table[Pos].Params[Param];
    if (IsObjectKind(Desc->Kind) || Desc->Kind == pkUnused)
        return {};
    if (Definition) {
        const TMacroParam& Def = Definition->Line(Line).Params[Param];
        const std::string Caption = Def.Caption.value_or(std::string());
        return {Desc, IsUserCaption(Caption) ? Caption : std::string(), Def.Value};
    }
    const std::string OwnCaption = Own.Params[Param].Caption.value_or(std::string());
    if (!IsUserCaption(OwnCaption))
        return {Desc, {}, {}};
    const std::string Shown = DisplayPart(OwnCaption);
    if (const TMacro* Library = TMacro::FindInLibrary(Macro.Name()))
        for (int32_t L = 0; L < Library->LineCount(); ++L) {
            const TMacroLine& Def = Library->Line(L);
            const int32_t DefPos = FindPaintFunction(Table, Def.FunctionName);
            for (size_t P = 0; DefPos >= 0 && P < Def.Params.size() && int32_t(P) < Table[DefPos].ParamCount; ++P) {
                const std::string Caption = Def.Params[P].Caption.value_or(std::string());
                const int32_t Kind = Table[DefPos].Params[P].Kind;
                if (!IsUserCaption(Caption) || DisplayPart(Caption) != Shown)
                    continue;
                if (Kind == Desc->Kind || (IsNumberKind(Kind) && IsNumberKind(Desc->Kind)))
                    return {Desc, Caption, Def.Params[P].Value};
                return {Desc, Shown, {}};
            }
        }
    return {Desc, Shown, {}};
}

bool JudgeAccepts(const TJudge& J, const std::string& Value)
{
    return !J.Desc || ParamValueInDeclaredRange(J.Desc->Kind, J.Desc->Limits.None, J.Caption, Value);
}

std::string JudgeHolds(const TJudge& J, const std::string& Value)
{
    if (!J.Desc)
        return Value;
    return ParamValueHeld(J.Desc->Kind, J.Desc->Limits.None, J.Caption, Value, J.Default);
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
    case pkReflection:
        try {
            return ReflectionValueInRange(Value);
        } catch (const std::exception&) {
            return false;
        }
    case pkLineType: {
        TrecPenData Pen{};
        StrToPenData(Value, Pen);
        return PenTextReads(Value) && PenDataInRange(Pen);
    }
    default:
        return true;
    }
}

std::string ParamValueHeld(int32_t Kind, const void* Limits, const std::string& Caption, const std::string& Value,
                           const std::optional<std::string>& Default)
{
    const std::string Held = NearestValue(Kind, Limits, Caption, Value);
    if (ParamValueInDeclaredRange(Kind, Limits, Caption, Held))
        return Held;
    if (Default && ParamValueInDeclaredRange(Kind, Limits, Caption, *Default))
        return *Default;
    try {
        std::string Own = OwnDefault(Kind, Limits, Caption);
        if (ParamValueInDeclaredRange(Kind, Limits, Caption, Own))
            return Own;
    } catch (const std::exception&) {
    }
    return Held;
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
    return JudgeAccepts(JudgeOf(Macro, LibraryDefinition(Macro), Line, Param), Value);
}

std::string MacroParamValueHeld(const TMacro& Macro, int32_t Line, size_t Param, const std::string& Value)
{
    if (Line < 0 || Line >= Macro.LineCount() || Param >= Macro.Line(Line).Params.size())
        return Value;
    return JudgeHolds(JudgeOf(Macro, LibraryDefinition(Macro), Line, Param), Value);
}

bool MacrosValuesAccepted(const TMacros& Macros, std::string* Refused)
{
    for (int32_t M = 0; M < Macros.Count(); ++M) {
        const TMacro& Macro = *Macros.GetMacro(M);
        const TMacro* Definition = LibraryDefinition(Macro);
        for (int32_t L = 0; L < Macro.LineCount(); ++L) {
            const auto& Params = Macro.Line(L).Params;
            for (size_t P = 0; P < Params.size(); ++P) {
                if (!Params[P].Value)
                    continue;
                const TJudge J = JudgeOf(Macro, Definition, L, P);
                if (JudgeAccepts(J, *Params[P].Value))
                    continue;
                if (Refused)
                    *Refused = J.Caption.empty() ? Macro.Name() : DisplayPart(J.Caption);
                return false;
            }
        }
    }
    return true;
}

bool HoldMacrosValues(TMacros& Macros)
{
    bool Changed = false;
    for (int32_t M = 0; M < Macros.Count(); ++M) {
        TMacro& Macro = *Macros.GetMacro(M);
        const TMacro* Definition = LibraryDefinition(Macro);
        for (int32_t L = 0; L < Macro.LineCount(); ++L)
            for (size_t P = 0; P < Macro.Line(L).Params.size(); ++P) {
                const std::optional<std::string>& Value = Macro.Line(L).Params[P].Value;
                if (!Value)
                    continue;
                const std::string Held = JudgeHolds(JudgeOf(Macro, Definition, L, P), *Value);
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
