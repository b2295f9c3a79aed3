#include "paint/macro_param_range.h"

#include "foundation/pen_text.h"
#include "paint/fill_value.h"
#include "paint/light_set.h"
#include "paint/paint_function_table.h"
#include "paint/paint_macro.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

bool InNumberRange(int32_t Kind, const void* Limits, const std::string& Tag, const std::string& Value)
{
    const TRealArg A = ReadRealArg(Value.c_str(), 0.0);
    if (!A.Parsed || !std::isfinite(A.Value))
        return false;
    if (Kind == pkInteger && !ReadIntArg(Value.c_str(), 0).Parsed)
        return false;
    double Min = -INFINITY, Max = INFINITY;
    if (Kind == pkInteger && Limits) {
        Min = static_cast<const TIntParamRange*>(Limits)->Min;
        Max = static_cast<const TIntParamRange*>(Limits)->Max;
    } else if (Kind == pkReal && Limits) {
        Min = static_cast<const TFloatParamRange*>(Limits)->Min;
        Max = static_cast<const TFloatParamRange*>(Limits)->Max;
    }
    // The tag's first two fields, where they are numbers, replace the limits.
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
    return A.Value >= Min && A.Value <= Max;
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

// The fill editor's ranges: a gradation repeats 1 to 100 times with stops
// on its 1024 slots, a picture fill stays within MaxFillPictExtent pixels
// and turns at most a full turn either way.
constexpr int32_t MaxGradationRepeat = 100;
constexpr double MaxFillPictAngle = 360;

bool FillValueInRange(const std::string& Value)
{
    TFillValue Fill;
    if (!StrToFillValue(Value, Fill))
        return false;
    // The reader takes the kind alone of these; anything after it is a
    // value of no kind the fill editor knows, not one to paint as none.
    if ((Fill.Method == FillMethodNone || Fill.Method == FillMethodNoPaint) && Value.size() != 1)
        return false;
    if (Fill.Method == FillMethodGradation) {
        const TGradationObject& G = Fill.Gradation;
        if (G.iRepeatCount < 1 || G.iRepeatCount > MaxGradationRepeat || G.iOpacity < 0 || G.iOpacity > 255)
            return false;
        for (const TrecGradColStop& S : G.ColStops)
            if (S.iPosition < 0 || S.iPosition >= GradationTableSize)
                return false;
        for (const TrecGradTransStop& S : G.TransStops)
            if (S.iPosition < 0 || S.iPosition >= GradationTableSize)
                return false;
    } else if (Fill.Method == FillMethodPicture) {
        const TFillPictParam& P = Fill.PictParam;
        const auto Within = [](int32_t V, int32_t Low) { return V >= Low && V <= MaxFillPictExtent; };
        if (!Within(P.iOffsetX, -MaxFillPictExtent) || !Within(P.iOffsetY, -MaxFillPictExtent) ||
            !Within(P.iWidth, 0) || !Within(P.iHeight, 0) || !std::isfinite(P.dAngle) ||
            std::fabs(P.dAngle) > MaxFillPictAngle)
            return false;
    }
    return true;
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
    case pkLights: {
        TLightsAmb Lights;
        try {
            return StrToLights(Lights, Value);
        } catch (const std::exception&) {
            return false;
        }
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
    std::string Caption = Macro.Line(Line).Params[Param].Caption.value_or(std::string());
    // The library's caption declares the range where the library holds the
    // macro; an object's copy may have come from an older file.
    const TMacro* Definition = TMacro::FindInLibrary(Macro.Name());
    if (Definition && Line < Definition->LineCount() && Param < Definition->Line(Line).Params.size())
        Caption = Definition->Line(Line).Params[Param].Caption.value_or(std::string());
    if (Caption.empty() || Caption[0] == '*')
        return true;
    const TPaintFunctionRec* Table = PaintFunctionTable();
    const int32_t Pos = FindPaintFunction(Table, Macro.Line(Line).FunctionName);
    if (Pos < 0 || int32_t(Param) >= Table[Pos].ParamCount)
        return true;
    const TPaintParamDesc& Desc = Table[Pos].Params[Param];
    return ParamValueInDeclaredRange(Desc.Kind, Desc.Limits.None, Caption, Value);
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
