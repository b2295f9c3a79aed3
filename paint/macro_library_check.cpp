#include "paint/macro_library_check.h"

#include "foundation/pen_text.h"
#include "paint/fill_value.h"
#include "paint/light_set.h"
#include "paint/macro_interpreter.h"
#include "paint/macro_library.h"
#include "paint/macro_param_range.h"
#include "paint/paint_function_table.h"
#include "paint/paint_macro.h"

#include <cstdint>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Names compare as the look-ups compare them: ASCII letters without case.
std::string Folded(std::string S)
{
    for (char& C : S)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return S;
}

bool SameName(const std::string& A, const std::string& B)
{
    return Folded(A) == Folded(B);
}

// The library's CP932 text as read: a malformed byte arrives as U+FFFD,
// which CP932 cannot hold, and no name, value or caption holds a control
// character (a tab would even pass for the interpreter's instance suffix).
bool CleanText(std::string_view Text)
{
    if (Text.find("\xEF\xBF\xBD") != std::string_view::npos)
        return false;
    for (const char C : Text)
        if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F)
            return false;
    return true;
}





bool InChoiceList(const std::string& Text, const char* const* Choices)
{
    if (!Choices)
        return false;
    for (int32_t I = 0; Choices[I]; ++I)
        if (Text == Choices[I])
            return true;
    return false;
}

// A caption's range text as the panel's editor reads it: numbers (minimum
// not above maximum) for a number, the function's own choices for a
// choice; other kinds have no editor that takes one.
bool RangeTagFits(const TPaintParamDesc& D, const std::string& Tag)
{
    if (Tag.empty())
        return true;
    const std::vector<std::string> Fields = SplitCommaFields(Tag);
    if (IsNumberKind(D.Kind)) {
        if (Fields.size() < 2 || Fields.size() > 8)
            return false;
        std::vector<double> Numbers;
        for (size_t I = 0; I < Fields.size() && I < 7; ++I) {
            const TRealArg N = ReadRealArg(Fields[I].c_str(), 0);
            if (!N.Parsed)
                return false;
            Numbers.push_back(N.Value);
        }
        return Numbers[0] <= Numbers[1];
    }
    if (D.Kind == pkChoice) {
        for (const std::string& Choice : Fields)
            if (!InChoiceList(Choice, D.Limits.Choices))
                return false;
        return true;
    }
    return false;
}

// A fill, light set or pen as the program writes it: its readers pass over
// what they do not know (an option letter, a field that is no number), so
// only the text they would write back is known to say what it was made to.
bool WrittenAsRead(int32_t Kind, const std::string& Value)
{
    switch (Kind) {
    case pkFill:
    case pkPlaneFill:
    case pkReflection: {
        TFillValue Fill;
        if (!StrToFillValue(Value, Fill) || FillValueToStr(Fill) != Value)
            return false;
        return (Fill.Method != FillMethodGradation && Fill.Method != FillMethodPicture) ||
               (Fill.Option >= '0' && Fill.Option <= '9');
    }
    case pkLights: {
        TLightsAmb Lights;
        return StrToLights(Lights, Value) && LightsToStr(Lights) == Value;
    }
    case pkLineType: {
        TrecPenData Pen{};
        std::string Written;
        if (!StrToPenData(Value, Pen))
            return false;
        PenDataToStr(Pen, Written);
        return Written == Value && PenDataInRange(Pen);
    }
    default:
        return true;
    }
}

// A value the function reads for its kind, within the range its caption or
// the function declares. Only a pen (no outline) and a reflection (no mirror
// image) may be left empty, and only where the function does not need them.
bool ValueFits(const TPaintParamDesc& D, bool Required, const std::string& Caption, const std::string& Value)
{
    if (Value.empty())
        return !Required && (D.Kind == pkLineType || D.Kind == pkReflection);
    try {
        return WrittenAsRead(D.Kind, Value) &&
               ParamValueInDeclaredRange(D.Kind, D.Limits.None, IsUserCaption(Caption) ? Caption : "", Value);
    } catch (const std::exception&) {
        return false;
    }
}

// One editor, built from the first parameter of a caption, sets every
// parameter of that caption (and the variants' too): each must read what it
// sets.
bool ShareAnEditor(const TPaintParamDesc& First, const TPaintParamDesc& Other)
{
    if (IsNumberKind(First.Kind) && IsNumberKind(Other.Kind))
        return !(First.Kind == pkReal && Other.Kind == pkInteger);
    if (First.Kind != Other.Kind)
        return false;
    if (First.Kind == pkChoice && First.Limits.Choices)
        for (int32_t I = 0; First.Limits.Choices[I]; ++I)
            if (!InChoiceList(First.Limits.Choices[I], Other.Limits.Choices))
                return false;
    return true;
}

// A macro's user captions by their display part: the first parameter that
// shows each, with its description.
using TUserCaptions = std::map<std::string, std::pair<const TPaintParamDesc*, const TMacroParam*>>;

std::string LineFault(const TMacroLine& Line, bool Paths, std::map<std::string, int32_t>& Results,
                      TUserCaptions& Captions, bool& Final, bool& BindsTarget, bool& TakesObjects)
{
    const TPaintFunctionRec* Table = PaintFunctionTable();
    const int32_t Pos = FindPaintFunction(Table, Line.FunctionName);
    if (Pos < 0 || !Table[Pos].Entry)
        return "no paint function " + Line.FunctionName;
    const TPaintFunctionRec& F = Table[Pos];
    if (Line.ParamCount() != F.ParamCount || Line.Params.size() != static_cast<size_t>(F.ParamCount))
        return F.Name + std::string(" with ") + std::to_string(Line.ParamCount()) + " parameters";
    // The one flag is the final line's, and path macros are never cached.
    if (Line.Flags() > (Paths ? 0 : 1))
        return "line flags " + std::to_string(Line.Flags());
    Final = Line.Flags() != 0;
    BindsTarget = false;
    TakesObjects = false;
    for (int32_t I = 0; I < F.ParamCount; ++I) {
        const TPaintParamDesc& D = F.Params[I];
        const TMacroParam& P = Line.Params[static_cast<size_t>(I)];
        const std::string What = "parameter " + std::to_string(I + 1) + " ";
        // Every parameter's pair is in the file.
        if (!P.Value || !P.Caption)
            return What + "missing";
        const std::string& Value = *P.Value;
        const std::string& Caption = *P.Caption;
        if (!CleanText(Value) || !CleanText(Caption))
            return What + "not text";
        const bool Required = F.Required.Contains(I);
        if (IsObjectKind(D.Kind)) {
            TakesObjects = true;
            // An object is bound by name, or by the one internal caption.
            const bool Primary = MatchParamCaptionI(Caption, "*Primary");
            if (!Caption.empty() && !Primary)
                return What + "captioned " + Caption;
            if (Paths && D.Kind != pkPath)
                return What + "not a path";
            if (Value.empty()) {
                // The primary object is a path or a picture, never a plane.
                if (Primary ? D.Kind == pkPlane : Required)
                    return What + "names nothing";
            } else if (SameName(Value, cPictureBackGround)) {
                if (Paths || D.Kind != pkPicture)
                    return What + "names the target";
                BindsTarget = true;
            } else {
                const auto It = Results.find(Folded(Value));
                if (It == Results.end() || It->second != D.Kind)
                    return What + "names " + Value + ", which no earlier line makes";
            }
            continue;
        }
        // "*Primary" is the only internal caption; the interpreter refuses others.
        if (!Caption.empty() && !IsUserCaption(Caption))
            return What + "captioned " + Caption;
        if (D.Kind == pkUnused) {
            if (!Caption.empty())
                return What + "unused but captioned";
            continue;
        }
        if (!ValueFits(D, Required, Caption, Value))
            return What + "value " + Value;
        if (!IsUserCaption(Caption))
            continue;
        if (!RangeTagFits(D, CaptionRangeTag(Caption)))
            return What + "range " + Caption;
        const auto [It, New] = Captions.try_emplace(DisplayPart(Caption), &D, &P);
        // Parameters of one caption are one value to the user.
        if (!New && (*It->second.second->Caption != Caption || *It->second.second->Value != Value ||
                     !ShareAnEditor(*It->second.first, D)))
            return What + "shares " + Caption + " unlike its first";
    }
    if (Paths && F.ResultKind != rkNone && F.ResultKind != rkPath)
        return "makes no path";
    if (F.ResultKind == rkNone) {
        if (!Line.ResultName.empty())
            return "names a result it does not make";
    } else {
        if (Line.ResultName.empty() || !CleanText(Line.ResultName) || SameName(Line.ResultName, cPictureBackGround))
            return "result name " + Line.ResultName;
        Results[Folded(Line.ResultName)] = F.ResultKind;
    }
    return {};
}

std::string MacroFault(const TMacro& Macro, bool Paths, TUserCaptions& Captions)
{
    if (Macro.LineCount() == 0)
        return "no lines";
    std::map<std::string, int32_t> Results;
    bool SeenFinal = false;
    for (int32_t L = 0; L < Macro.LineCount(); ++L) {
        bool Final = false, BindsTarget = false, TakesObjects = false;
        std::string Fault = LineFault(Macro.Line(L), Paths, Results, Captions, Final, BindsTarget, TakesObjects);
        // A cached paint runs the final lines alone, on the inputs the first
        // run kept: they come last, and they are the lines that paint the
        // target (or set up its painting without objects).
        if (Fault.empty() && !Paths &&
            ((SeenFinal && !Final) || (BindsTarget != Final && (BindsTarget || TakesObjects))))
            Fault = "final flag";
        if (!Fault.empty())
            return "line " + std::to_string(L + 1) + ": " + Fault;
        SeenFinal = SeenFinal || Final;
    }
    if (Paths && !Results.contains(Folded(cResultPath)))
        return std::string("no ") + cResultPath;
    if (!Paths && !SeenFinal)
        return "paints nothing";
    return {};
}

// The base name of a quality variant ("_Low", "_Mid" as the interpreter
// finds them, without case); empty for a macro of its own.
std::string VariantBase(const std::string& Name)
{
    if (Name.size() <= 4)
        return {};
    const std::string Suffix = Folded(Name.substr(Name.size() - 4));
    return Suffix == "_low" || Suffix == "_mid" ? Name.substr(0, Name.size() - 4) : std::string();
}

} // namespace

std::string MacroLibraryFault(const TMacroLibrary& Library, bool Paths, const TMacroLibrary* Before)
{
    std::vector<TUserCaptions> Captions(static_cast<size_t>(Library.Count()));
    for (int32_t I = 0; I < Library.Count(); ++I) {
        const std::string& Name = Library.Strings(I);
        if (Name.empty() || !CleanText(Name))
            return "macro " + std::to_string(I + 1) + ": name";
        if (Library.IndexOf(Name) != I || (Before && Before->IndexOf(Name) >= 0))
            return Name + ": held twice";
        // An older name is brought to its new one before any look-up.
        if (MigrateMacroName(Name, INT32_MAX) != Name)
            return Name + ": an older name";
        if (std::string Fault = MacroFault(*Library.Objects(I), Paths, Captions[static_cast<size_t>(I)]);
            !Fault.empty())
            return Name + " " + Fault;
    }
    if (!Paths)
        for (const std::string& Name : MigratedMacroNames())
            if (Library.IndexOf(Name) < 0)
                return Name + ": missing";
    for (int32_t I = 0; I < Library.Count(); ++I) {
        const std::string& Name = Library.Strings(I);
        const std::string Base = VariantBase(Name);
        if (Paths) {
            if (!Base.empty())
                return Name + ": a path macro with a quality";
            continue;
        }
        // The low quality paints every effect by its variant, which takes
        // the effect's values by caption.
        if (Base.empty()) {
            if (Library.IndexOf(Name + "_Low") < 0)
                return Name + ": no _Low";
            continue;
        }
        const int32_t BaseIndex = Library.IndexOf(Base);
        if (BaseIndex < 0 || !VariantBase(Base).empty())
            return Name + ": a variant of nothing";
        const TUserCaptions& Own = Captions[static_cast<size_t>(BaseIndex)];
        for (const auto& [Display, Use] : Captions[static_cast<size_t>(I)]) {
            const auto It = Own.find(Display);
            if (It == Own.end() || !ShareAnEditor(*It->second.first, *Use.first))
                return Name + ": " + Display + " unlike " + Base;
        }
    }
    return {};
}

std::string MacroLinesFault(const TMacro& Macro)
{
    const TPaintFunctionRec* Table = PaintFunctionTable();
    std::map<std::string, int32_t> Results;
    for (int32_t L = 0; L < Macro.LineCount(); ++L) {
        const TMacroLine& Line = Macro.Line(L);
        const std::string Where = "line " + std::to_string(L + 1) + ": ";
        const int32_t Pos = FindPaintFunction(Table, Line.FunctionName);
        if (Pos < 0 || !Table[Pos].Entry)
            return Where + "no paint function " + Line.FunctionName;
        const TPaintFunctionRec& F = Table[Pos];
        if (Line.ParamCount() != F.ParamCount || Line.Params.size() != static_cast<size_t>(F.ParamCount))
            return Where + F.Name + " with " + std::to_string(Line.Params.size()) + " parameters";
        for (int32_t I = 0; I < F.ParamCount; ++I) {
            const TPaintParamDesc& D = F.Params[I];
            const std::string Value = Line.Params[static_cast<size_t>(I)].Value.value_or(std::string());
            if (!IsObjectKind(D.Kind) || Value.empty() || SameName(Value, cPictureBackGround))
                continue;
            const auto It = Results.find(Folded(Value));
            if (It == Results.end() || It->second != D.Kind)
                return Where + "parameter " + std::to_string(I + 1) + " names " + Value +
                       ", which no earlier line makes";
        }
        if (F.ResultKind != rkNone) {
            if (Line.ResultName.empty())
                return Where + "no result name";
            Results[Folded(Line.ResultName)] = F.ResultKind;
        }
    }
    return {};
}
